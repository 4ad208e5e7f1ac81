// Helpers shared by the spline constructions.
#pragma once

#include "data_fitting/task.h"

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

}  // namespace qor::df
