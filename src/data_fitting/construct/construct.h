// Helpers shared by the spline constructions.
#pragma once

#include "data_fitting/task.h"
#include "qor/service.h"

namespace qor::df {

// True when the task's precision matches the entry point's.
template <class T>
inline bool precision_matches(const DfTask1D* t) {
  return (t->isDouble != 0) == (sizeof(T) == sizeof(double));
}

// Every function has its y values and its coefficient run: DfOk, DfErrNullY or DfErrNullCoeff.
// Column storage has one base pointer for all functions, so its check does not depend on ny; the
// other checks end at the first missing entry, at the latest at the end of the tables the task
// holds: the cost is bounded by what was allocated, not by a stored count.
template <class T>
int32_t check_function_tables(const DfTask1D* t) {
  if (y_by_columns(t)) {
    if (t->ny > 0 && !y_of<T>(t, 0).fy) return DfErrNullY;
  } else {
    for (int64_t j = 0; j < t->ny; ++j)
      if (!y_of<T>(t, j).fy) return DfErrNullY;
  }
  for (int64_t j = 0; j < t->ny; ++j)
    if (!coeff_of<T>(t, j)) return DfErrNullCoeff;
  return DfOk;
}

// Periodic data: y[0] == y[nx-1] for every function (NaN never equal).
template <class T>
bool periodic_ends_match(const DfTask1D* t) {
  for (int64_t j = 0; j < t->ny; ++j) {
    const YView<T> y = y_of<T>(t, j);
    if (!(y[0] == y[t->nx - 1])) return false;
  }
  return true;
}

// The imported tridiagonal solvers of the task's precision: factor (?dttrfb_4dfl), solve with
// the factors (?dttrsb_4dfl, no transpose) and both in one call (?dtsvb_4dfl).
template <class T>
struct Tridiagonal;
#define QOR_DF_TRIDIAGONAL(T, p)                                                                       \
  template <>                                                                                          \
  struct Tridiagonal<T> {                                                                              \
    static void factor(const qor_int* n, T* dl, T* d, T* du, qor_int* info) {                         \
      p##dttrfb_4dfl(n, dl, d, du, info);                                                              \
    }                                                                                                  \
    static void solve(const qor_int* n, const qor_int* nrhs, const T* dl, const T* d, const T* du, T* b, \
                      const qor_int* ldb, qor_int* info) {                                             \
      p##dttrsb_4dfl("N", n, nrhs, dl, d, du, b, ldb, info);                                           \
    }                                                                                                  \
    static void factor_solve(const qor_int* n, const qor_int* nrhs, T* dl, T* d, T* du, T* b,          \
                             const qor_int* ldb, qor_int* info) {                                      \
      p##dtsvb_4dfl(n, nrhs, dl, d, du, b, ldb, info);                                                 \
    }                                                                                                  \
  };
QOR_DF_TRIDIAGONAL(double, d)
QOR_DF_TRIDIAGONAL(float, s)
#undef QOR_DF_TRIDIAGONAL

}  // namespace qor::df
