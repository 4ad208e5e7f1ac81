// What single-precision Exp2 and Exp10 (exp2.h, exp10.h) share: the formula on the 128-entry table
// of Exp HA and the family around it.
//
// Exp2 and Exp10 share the 128-entry table of Exp HA (T_hi = RN(2^(j/128)), T_lo its relative
// error): x log2(b) = m + j/128 + d/128 with N = 128 m + j = round(128 x log2(b)), and
//     b^x = 2^m T_hi (1 + T_lo + q),   q = 2^(d/128) - 1 (a cubic, |q| < 2^-8),
// finished as ((T_lo + q) T_hi + T_hi) with 2^m added into the exponent field. Only the last
// addition rounds a term of the result's size, so the error stays just above half an ulp.
//   Exp2:  d = 128 x - N exactly (128 x is exact).
//   Exp10: d' = (x - N D1) - N D2 with D1 + D2 = log10(2)/128 (D1 has 10 significant bits, so
//          N D1 and the first difference are exact), q a cubic in d' with the powers of ln 10.
// The packed path covers every x whose result is a normal float (2^m normal): the screen
// (two float compares, which also catch NaNs) sends the rest to the per-element routine,
// which rounds subnormal results once through a double-precision core.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/common.h"

namespace qor::vm::exp_log {

// Lanes with x >= hi or x <= lo, or NaN (one bit per lane).
QOR_SIMD_INLINE int screen_outside(f32x4 x, float lo, float hi) {
  return _mm_movemask_ps(_mm_or_ps(_mm_cmpnlt_ps(x.v, _mm_set1_ps(hi)), _mm_cmpngt_ps(x.v, _mm_set1_ps(lo))));
}


// ---- Exp2, Exp10 ---------------------------------------------------------------------------
// Constant rows of Exp2 and Exp10 (bit patterns, each replicated four times).
struct alignas(16) SExp2Table {
  uint32_t shifter[4];  // 0x4B400000  1.5 * 2^23
  uint32_t scale[4];    // 128.0 (Exp2) or 128 log2(10) (Exp10)
  uint32_t d1[4];       // Exp10: log10(2)/128 = D1 + D2
  uint32_t d2[4];
  uint32_t a[3][4];     // the cubic's coefficients, degree 1 to 3
  uint32_t idx[4];      // 127
  uint32_t expo[4];     // 0xFF800000
};

// T_hi (1 + T_lo + q) scaled by 2^m: t holds N in its low bits (the shifter 1.5 * 2^23 has 22
// zero low bits), so j = t & 127 and 2^m's exponent field is (t << 16) & 0xFF800000.
QOR_SIMD_INLINE f32x4 sexp_tab_finish(const SExp2Table& c, f32x4 t, f32x4 d) {
  const f32x4 q = d * (row(c.a[0]) + d * (row(c.a[1]) + d * row(c.a[2])));
  const i32x4 tb = t.bits();
  f32x4 th, tl;
  gather_pairs(kSExpHA.t, tb & irow(c.idx), th, tl);
  const f32x4 y = (tl + q) * th + th;
  const i32x4 e = simd::shl(tb, 16) & irow(c.expo);
  return (y.bits() + e).as_f32();
}

inline int sexp_status_of(float r) {
  if (std::isinf(r)) return kOverflow;
  if (r < 0x1p-126f) return kUnderflow;
  return kOk;
}

// lo, hi: the packed domain is lo < x < hi; over: +inf from there on (status 3); zero: +0
// below (status 4); between the limits and the packed domain, the double core, rounded once,
// with the status of the rounded result.
template <class FEval, class DEval, int kLo, int kHi, int kOver, int kZero>
struct SExpBase : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr float kLoF = static_cast<float>(kLo) / 64.0f;
  static constexpr float kHiF = static_cast<float>(kHi) / 64.0f;
  static f32x4 packed(f32x4 x) { return FEval::eval(x); }
  static int screen(f32x4 x) { return screen_outside(x, kLoF, kHiF); }
  static int element(const float* px, float* out) {
    const float x = *px;
    if (nan_inf_head(x, out, x, 0.0f)) return kOk;
    if (x >= static_cast<float>(kOver)) {
      *out = mul_rt(0x1p127f, 0x1p127f);
      return kOverflow;
    }
    if (x < static_cast<float>(kZero)) {
      *out = mul_rt(0x1p-126f, 0x1p-126f);
      return kUnderflow;
    }
    if (x > kLoF && x < kHiF) {
      *out = packed_one<SExpBase>(x);
      return kOk;
    }
    const f32x4 v = f32x4::splat(x);
    *out = lane0(narrow(DEval::eval(widen_lo(v)), DEval::eval(widen_hi(v))));
    return sexp_status_of(*out);
  }
};

}  // namespace qor::vm::exp_log
