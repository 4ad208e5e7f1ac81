// Single-precision Logb, and the double-precision cores that the single-precision logarithms
// (slog.h) use for rare inputs (Exp2, Exp10 and Expm1 are in sexp_more.h).
//
// The packed formulas widen four floats to two pairs of doubles, evaluate the double-precision
// cores (relative error below 2^-33, far below half a float ulp) and round once to single
// precision, so results are correctly rounded except within 2^-9 ulp of a midpoint. Subnormal
// inputs are ordinary doubles, and results in the float subnormal range are rounded once by the
// narrowing. The screens send what needs a status or special value to the per-element routines.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp.h"
#include "vector_math/kernels/exp_log/dlog.h"
#include "vector_math/kernels/exp_log/sexp.h"

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
struct Log1pEvalEP {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) { return dlog1p_eval<true>(x); }
};

// Lanes whose |x| bits are >= lo_bits, or < tiny_bits.
QOR_SIMD_INLINE int screen_abs_range(f32x4 x, uint32_t big_bits, uint32_t tiny_bits) {
  const i32x4 ax = simd::abs(x).bits();
  const i32x4 big = simd::cmp_gt(ax, i32x4::splat(static_cast<int32_t>(big_bits - 1)));
  const i32x4 tiny = simd::cmp_gt(i32x4::splat(static_cast<int32_t>(tiny_bits)), ax);
  return simd::mask(big | tiny);
}

// ---- Logb ----------------------------------------------------------------------------------
struct SLogb : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) {
    const i32x4 e = simd::shr_logical(x.bits() & i32x4::splat(0x7F800000), 23) - i32x4::splat(127);
    return simd::to_float(e);
  }
  static int screen(f32x4 x) {
    const i32x4 e = x.bits() & i32x4::splat(0x7F800000);
    return simd::mask(simd::cmp_eq(e, i32x4()) | simd::cmp_eq(e, i32x4::splat(0x7F800000)));
  }
  static int element(const float* px, float* out) {
    const float x = *px;
    if (nan_inf_head(x, out, float(INFINITY), float(INFINITY))) return kOk;
    if (x == 0.0f) {
      *out = minus_inf_divzero_f();
      return kSing;
    }
    const uint32_t ax = bits_of(x) & 0x7FFFFFFFu;
    if (ax < 0x00800000u) {
      *out = static_cast<float>(31 - __builtin_clz(ax) - 149);
      return kOk;
    }
    *out = packed_one<SLogb>(x);
    return kOk;
  }
};

}  // namespace qor::vm::exp_log
