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
template <class T>
int32_t check_function_tables(const DfTask1D* t) {
  for (int64_t j = 0; j < t->ny; ++j)
    if (!y_of<T>(t, j).fy) return DfErrNullY;
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
template <>
struct Tridiagonal<double> {
  static void factor(const qor_int* n, double* dl, double* d, double* du, qor_int* info) {
    ddttrfb_4dfl(n, dl, d, du, info);
  }
  static void solve(const qor_int* n, const qor_int* nrhs, const double* dl, const double* d, const double* du,
                    double* b, const qor_int* ldb, qor_int* info) {
    ddttrsb_4dfl("N", n, nrhs, dl, d, du, b, ldb, info);
  }
  static void factor_solve(const qor_int* n, const qor_int* nrhs, double* dl, double* d, double* du, double* b,
                           const qor_int* ldb, qor_int* info) {
    ddtsvb_4dfl(n, nrhs, dl, d, du, b, ldb, info);
  }
};
template <>
struct Tridiagonal<float> {
  static void factor(const qor_int* n, float* dl, float* d, float* du, qor_int* info) {
    sdttrfb_4dfl(n, dl, d, du, info);
  }
  static void solve(const qor_int* n, const qor_int* nrhs, const float* dl, const float* d, const float* du,
                    float* b, const qor_int* ldb, qor_int* info) {
    sdttrsb_4dfl("N", n, nrhs, dl, d, du, b, ldb, info);
  }
  static void factor_solve(const qor_int* n, const qor_int* nrhs, float* dl, float* d, float* du, float* b,
                           const qor_int* ldb, qor_int* info) {
    sdtsvb_4dfl(n, nrhs, dl, d, du, b, ldb, info);
  }
};

}  // namespace qor::df
