// Single-precision Exp2 and Exp10, evaluated in single precision, and Expm1, in double precision.
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
//
// Expm1 works in double precision: the four floats are widened to two pairs of doubles,
//     y = 2048 x / ln 2,  N = round(y) = 2048 n + j,  f = y - N (exact, |f| <= 1/2),
//     e^x - 1 = 2^n T_j (1 + q) - 1 = Ts q - (1 - Ts),  q = f (c1 + c2 f) ~ 2^(f/2048) - 1,
// with T_j = RN(2^(j/2048)) from a 2048-entry table (Ts = 2^n T_j by one integer addition) and
// q a relative minimax quadratic (2^-28.6). 1 - Ts is exact for the n that occur (|x| < 88), Ts q
// carries a relative error near 2^-28.6 for N = 0 (then Ts = 1 and the result is q) and far less
// elsewhere, so the double result is within 2^-28 of e^x - 1 and the narrowing rounds it once:
// measured over all 2^32 inputs, 0.540 ulp at most on this path (0.558 ulp overall, at the
// overflow edge) and 99.86% of results correctly rounded. For x = -0 the last subtraction
// gives -0 - (+0) = -0. |x| >= 88 and NaN go to the per-element routine (overflow near 88.72,
// and -1 for large negative x); a flagged block is recomputed element by element, so the
// packed formula (and its cvtpd2dq) only sees finite arguments below 88 in magnitude.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp.h"
#include "vector_math/kernels/exp_log/sexp.h"

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
inline constexpr SExp2Table kSExp2Rows = {
    QOR_ROW4(0x4B400000u), QOR_ROW4(0x43000000u), QOR_ROW4(0u), QOR_ROW4(0u),
    {QOR_ROW4(0x3BB17218u), QOR_ROW4(0x3775FDF0u), QOR_ROW4(0x32E35847u)},  // (ln 2 / 128)^i / i!
    QOR_ROW4(127u), QOR_ROW4(0xFF800000u),
};
inline constexpr SExp2Table kSExp10Rows = {
    QOR_ROW4(0x4B400000u), QOR_ROW4(0x43D49A78u), QOR_ROW4(0x3B1A4000u), QOR_ROW4(0xB5FB2BD8u),
    {QOR_ROW4(0x40135D8Eu), QOR_ROW4(0x4029A926u), QOR_ROW4(0x4002382Du)},  // (ln 10)^i / i!
    QOR_ROW4(127u), QOR_ROW4(0xFF800000u),
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

struct SExp2Eval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExp2Table& c = opaque(kSExp2Rows);
    const f32x4 sh = row(c.shifter);
    const f32x4 u = x * row(c.scale);  // 128 x, exact
    const f32x4 t = u + sh;
    const f32x4 d = u - (t - sh);  // exact, |d| <= 1/2; 2^(d/128) - 1 = d (a1 + d (a2 + d a3))
    return sexp_tab_finish(c, t, d);
  }
};
struct SExp10Eval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExp2Table& c = opaque(kSExp10Rows);
    const f32x4 sh = row(c.shifter);
    const f32x4 t = x * row(c.scale) + sh;
    const f32x4 k = t - sh;
    // d = x - N log10(2)/128 (the first difference exact); 10^d - 1 = d (b1 + d (b2 + d b3))
    const f32x4 d = (x - k * row(c.d1)) - k * row(c.d2);
    return sexp_tab_finish(c, t, d);
  }
};

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
// Packed domains (in 1/64): Exp2 -126 < x < 127.984375 (2^m normal for every N rounded from
// there), Exp10 -37.90625 < x < 38.5.
struct SExp2HA : SExpBase<SExp2Eval, DExpCoreEP<RedExp2>, -126 * 64, 8191, 128, -152> {};
struct SExp10HA : SExpBase<SExp10Eval, DExpCoreEP<RedExp10>, -2426, 38 * 64 + 32, 39, -46> {};

// ---- Expm1 ---------------------------------------------------------------------------------
// Constant rows of Expm1 (each value twice).
struct alignas(16) SExpm1Rows {
  double inv_ln2_2048[2];  // 2048 / ln 2
  double c[2][2];          // 2^(f/2048) - 1 = f (c1 + c2 f), relative minimax on |f| <= 1/2: 2^-28.6
  double one[2];
};
inline constexpr SExpm1Rows kSExpm1 = {
    {0x1.71547652b82fep+11, 0x1.71547652b82fep+11},
    {{0x1.62e42ffdd9236p-12, 0x1.62e42ffdd9236p-12}, {0x1.ebfbe006f2598p-25, 0x1.ebfbe006f2598p-25}},
    {1.0, 1.0},
};

// 2^(j/2048), j = 0..2047, each entry the pattern of T = RN(2^(j/2048)) minus j << 41, so that
// adding N << 41 (N = 2048 n + j) gives the pattern of 2^n T. Generated by
// tools/gen_exp_log_tables.cpp (MPFR).
struct alignas(16) SExpm1T2048Table {
  double b[2048];
};
inline constexpr SExpm1T2048Table kSExpm1T = {{
#include "vector_math/kernels/exp_log/tables/sexpm1_t2048.inc"
}};

struct SExpm1Eval {
  // y = 2048 x / ln 2, N = round(y) (cvtpd2dq under the kernel's round-to-nearest; N in lanes 0
  // and 1), f = y - N exactly
  static QOR_SIMD_INLINE f64x2 reduce(const SExpm1Rows& c, f64x2 x, __m128i& n) {
    const f64x2 y = x * row(c.inv_ln2_2048);
    n = _mm_cvtpd_epi32(y.v);
    return y - f64x2(_mm_cvtepi32_pd(n));
  }
  // Ts = 2^n T from the biased entry and N; (2^n T) (1 + q) - 1 = Ts q - (1 - Ts), which for
  // x = -0 is -0 - (+0) = -0.
  static QOR_SIMD_INLINE f64x2 finish(const SExpm1Rows& c, __m128i n, f64x2 f, f64x2 b) {
    const __m128i n41 = _mm_slli_epi64(_mm_shuffle_epi32(n, _MM_SHUFFLE(1, 1, 0, 0)), 41);
    const f64x2 ts = _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(b.v), n41));
    const f64x2 q = f * (row(c.c[0]) + f * row(c.c[1]));
    return ts * q - (row(c.one) - ts);
  }
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExpm1Rows& c = opaque(kSExpm1);
    __m128i n0, n1;
    const f64x2 f0 = reduce(c, widen_lo(x), n0);
    const f64x2 f1 = reduce(c, widen_hi(x), n1);
    const __m128i w = _mm_unpacklo_epi64(n0, n1);  // N of the four lanes; j = N & 2047
    const double* tab = opaque(kSExpm1T).b;
#if defined(__x86_64__)
    const uint64_t w01 = static_cast<uint64_t>(_mm_cvtsi128_si64(w));
    const uint64_t w23 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(w, w)));
    const uint32_t j0 = static_cast<uint32_t>(w01) & 2047u, j1 = static_cast<uint32_t>(w01 >> 32) & 2047u;
    const uint32_t j2 = static_cast<uint32_t>(w23) & 2047u, j3 = static_cast<uint32_t>(w23 >> 32) & 2047u;
#else
    const uint32_t j0 = static_cast<uint32_t>(_mm_cvtsi128_si32(w)) & 2047u;
    const uint32_t j1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 1))) & 2047u;
    const uint32_t j2 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 2))) & 2047u;
    const uint32_t j3 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 3))) & 2047u;
#endif
    const f64x2 b0 = _mm_loadh_pd(_mm_load_sd(tab + j0), tab + j1);
    const f64x2 b1 = _mm_loadh_pd(_mm_load_sd(tab + j2), tab + j3);
    return narrow(finish(c, n0, f0, b0), finish(c, n1, f1, b1));
  }
};

struct SExpm1HA : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) { return SExpm1Eval::eval(x); }
  static int screen(f32x4 x) { return simd::mask_abs_above(x, 0x42AFFFFFu); }  // |x| >= 88, NaN
  static int element(const float* px, float* out) {
    const float x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    if (x <= -88.0f) {  // -1 + e^x rounds to -1
      *out = (x == -INFINITY) ? -1.0f : mul_rt(0x1p-60f, 0x1p-60f) - 1.0f;
      return kOk;
    }
    if (x >= 88.0f) return SExpHA::element(px, out);  // e^x - 1 rounds as e^x; +inf, overflow
    *out = packed_one<SExpm1HA>(x);
    return kOk;
  }
};


}  // namespace qor::vm::exp_log
