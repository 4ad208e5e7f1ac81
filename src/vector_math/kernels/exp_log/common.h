// What the exponential and logarithmic kernels share beyond the frame's lane helpers
// (vector_math/frame/lanes.h): the special values of a logarithm, and the tables of
// exp_log_tables.h.
#pragma once

#include <cmath>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/exp_log/exp_log_tables.h"

namespace qor::vm::exp_log {

// Special values of a logarithm: NaN (itself, quiet), +-0 (-inf, division by zero, kSing),
// negative x (NaN, invalid, kErrDom) and +inf (itself). Returns false, setting nothing, when x
// is positive and finite.
template <class T>
inline bool log_special(T x, T* out, int* status) {
  if (std::isnan(x)) {
    *out = x + x;
    *status = kOk;
    return true;
  }
  if (x == T(0)) {
    *out = div_rt(T(-1), T(0));
    *status = kSing;
    return true;
  }
  if (x < T(0)) {
    *out = div_rt(T(0), T(0));
    *status = kErrDom;
    return true;
  }
  if (std::isinf(x)) {
    *out = x;
    *status = kOk;
    return true;
  }
  return false;
}

}  // namespace qor::vm::exp_log
