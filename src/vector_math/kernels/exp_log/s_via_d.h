// Single precision through double precision: the double-precision cores that the single-precision
// logarithms use for rare inputs (slog_core.h, log1p.h).
//
// The packed formulas widen four floats to two pairs of doubles, evaluate the double-precision
// cores (relative error below 2^-33, far below half a float ulp) and round once to single
// precision, so results are correctly rounded except within 2^-9 ulp of a midpoint. Subnormal
// inputs are ordinary doubles, and results in the float subnormal range are rounded once by the
// narrowing. The screens send what needs a status or special value to the per-element routines.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dlog_core.h"

namespace qor::vm::exp_log {

template <class DEval>
QOR_SIMD_INLINE f32x4 via_double(f32x4 x) {
  return narrow(DEval::eval(widen_lo(x)), DEval::eval(widen_hi(x)));
}

// Double cores as DEval types.
template <class Base>
struct LogEvalEP {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) { return dlog_ep<Base>(dlog_reduce(x)); }
};

}  // namespace qor::vm::exp_log
