// Logb: double and single precision (one kernel for every flavour).
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/common.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

// ---- Logb ----------------------------------------------------------------------------------
// floor(log2 |x|): the unbiased exponent; zeros -inf (singularity), infinities +inf, NaN NaN;
// subnormal inputs through the per-element routine.
struct DLogb : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const i64x2 e = simd::shr_logical(x.bits() & i64x2::splat(0x7FF0000000000000ll), 52);
    // exponent into the low bits of 2^52 + e, minus 2^52 + 1023
    return (e | f64x2::splat(0x1p52).bits()).as_f64() - f64x2::splat(0x1p52 + 1023.0);
  }
  // zero, subnormal, infinite or NaN: exponent field 0 or 0x7FF
  static int screen(f64x2 x) {
    const __m128i h = _mm_shuffle_epi32(x.bits().v, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128i e = _mm_and_si128(h, _mm_set1_epi32(0x7FF00000));
    const __m128i lo = _mm_cmpeq_epi32(e, _mm_setzero_si128());
    const __m128i hi = _mm_cmpeq_epi32(e, _mm_set1_epi32(0x7FF00000));
    return _mm_movemask_pd(_mm_castsi128_pd(_mm_or_si128(lo, hi)));
  }
  static int element(const double* px, double* out) {
    const double x = *px;
    if (nan_inf_head(x, out, HUGE_VAL, HUGE_VAL)) return kOk;
    if (x == 0.0) {
      *out = minus_inf_divzero_d();
      return kSing;
    }
    const uint64_t ax = bits_of(x) & 0x7FFFFFFFFFFFFFFFull;
    if (ax < 0x0010000000000000ull) {  // subnormal: position of the leading bit
      *out = static_cast<double>(63 - __builtin_clzll(ax) - 1074);
      return kOk;
    }
    *out = lane0(packed(f64x2::splat(x)));
    return kOk;
  }
};

// ==== single precision ======================================================================

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
