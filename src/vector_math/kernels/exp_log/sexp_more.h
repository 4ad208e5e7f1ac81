// Single-precision Exp2, Exp10 and Expm1, evaluated in single precision.
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
// Expm1: k = round(x log2 e), d = x - k L1 exact (L1 = the leading 15 bits of ln 2), and the
// reduced argument r = d - k L2 (|r| <= 0.35) carried as rh + rl, rh the leading 12 bits of d,
// so that rh^2/2 is exact, and rl = (d - rh) - k L2. Then
//     e^x - 1 = (2^k - 1) + 2^k (rh + rh^2/2) + 2^k (rl (1 + (r + rh)/2) + r^3 Q(r)),
// Q of degree 4 (weighted minimax on [-0.35, 0.35] for the relative error of e^r - 1, fitted
// with its float coefficients fixed one by one from the leading one: 2^-30.9).
// The large terms are added without error (2Sum for 2^k - 1, which is not exact for |k| > 24;
// Fast2Sum for rh + rh^2/2 and for adding 2^k times that, whose magnitudes are ordered for
// every k), so only the small last term and the final sum round: the error stays close to half
// an ulp. k = 0 (|x| < 0.35) needs no special case: 2^k - 1 = 0 and the sum is r + r^2/2 + ...,
// without cancellation. The sign of x is ORed into the result, which keeps
// expm1(-0) = -0 (expm1 has the sign of x everywhere). |x| >= 88 goes to the per-element
// routine (overflow near 88.72, and -1 for large negative x).
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp.h"
#include "vector_math/kernels/exp_log/sexp.h"

namespace qor::vm::exp_log {

// Lanes with x >= hi or x <= lo, or NaN (one bit per lane).
QOR_SIMD_INLINE int screen_outside(f32x4 x, float lo, float hi) {
  return _mm_movemask_ps(_mm_or_ps(_mm_cmpnlt_ps(x.v, _mm_set1_ps(hi)), _mm_cmpngt_ps(x.v, _mm_set1_ps(lo))));
}

// Constant tables are read through a reference the compiler cannot see into, so that their rows
// are used as packed memory operands instead of being rebuilt from scalars in the loop.
template <class T>
QOR_SIMD_INLINE const T& opaque_table(const T& t) {
  const T* p = &t;
  asm("" : "+r"(p));
  return *p;
}
#define QOR_ROW4(v) {v, v, v, v}

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
    const SExp2Table& c = opaque_table(kSExp2Rows);
    const f32x4 sh = row(c.shifter);
    const f32x4 u = x * row(c.scale);  // 128 x, exact
    const f32x4 t = u + sh;
    const f32x4 d = u - (t - sh);  // exact, |d| <= 1/2; 2^(d/128) - 1 = d (a1 + d (a2 + d a3))
    return sexp_tab_finish(c, t, d);
  }
};
struct SExp10Eval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExp2Table& c = opaque_table(kSExp10Rows);
    const f32x4 sh = row(c.shifter);
    const f32x4 t = x * row(c.scale) + sh;
    const f32x4 k = t - sh;
    // d = x - N log10(2)/128 (the first difference exact); 10^d - 1 = d (b1 + d (b2 + d b3))
    const f32x4 d = (x - k * row(c.d1)) - k * row(c.d2);
    return sexp_tab_finish(c, t, d);
  }
};

inline int sexp_status_of(float r) {
  if (std::isinf(r)) return 3;
  if (r < 0x1p-126f) return 4;
  return 0;
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
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (std::isinf(x)) {
      *out = x > 0 ? x : 0.0f;
      return 0;
    }
    if (x >= static_cast<float>(kOver)) {
      *out = mul_rt(0x1p127f, 0x1p127f);
      return 3;
    }
    if (x < static_cast<float>(kZero)) {
      *out = mul_rt(0x1p-126f, 0x1p-126f);
      return 4;
    }
    if (x > kLoF && x < kHiF) {
      *out = packed_one<SExpBase>(x);
      return 0;
    }
    const f32x4 v = f32x4::splat(x);
    *out = lane0(narrow(DEval::eval(widen_lo(v)), DEval::eval(widen_hi(v))));
    return sexp_status_of(*out);
  }
};
// Packed domains (in 1/64): Exp2 -126 < x < 127.984375 (2^m normal for every N rounded from
// there), Exp10 -37.90625 < x < 38.5.
struct SExp2HA : SExpBase<SExp2Eval, DExpCoreEP<RedExp2>, -126 * 64, 8191, 128, -152> {
  static constexpr const char* kName = "vsExp2";
};
struct SExp10HA : SExpBase<SExp10Eval, DExpCoreEP<RedExp10>, -2426, 38 * 64 + 32, 39, -46> {
  static constexpr const char* kName = "vsExp10";
};

// ---- Expm1 ---------------------------------------------------------------------------------
// Constant rows of Expm1 (bit patterns, each replicated four times).
struct alignas(16) SExpm1Table {
  uint32_t log2e[4];    // 0x3FB8AA3B  log2 e
  uint32_t shifter[4];  // 0x4B400000  1.5 * 2^23
  uint32_t l1[4];       // 0x3F317200  ln 2 leading part (15 bits)
  uint32_t l2[4];       // 0x35BFBE8E  ln 2 trailing part
  uint32_t mask12[4];   // 0xFFFFF000  the leading 12 bits of a float
  uint32_t q[5][4];     // Q(r) = q0 + q1 r + q2 r^2 + q3 r^3 + q4 r^4
  uint32_t half[4];     // 0.5
  uint32_t mone[4];     // -1.0
  uint32_t one_bits[4]; // 0x3F800000  the exponent bias in place
  uint32_t sign[4];     // 0x80000000
};
inline constexpr SExpm1Table kSExpm1 = {
    QOR_ROW4(0x3FB8AA3Bu), QOR_ROW4(0x4B400000u), QOR_ROW4(0x3F317200u), QOR_ROW4(0x35BFBE8Eu), QOR_ROW4(0xFFFFF000u),
    {QOR_ROW4(0x3E2AAAABu), QOR_ROW4(0x3D2AAA7Cu), QOR_ROW4(0x3C08883Eu), QOR_ROW4(0x3AB69DDBu), QOR_ROW4(0x395099E0u)},
    QOR_ROW4(0x3F000000u), QOR_ROW4(0xBF800000u), QOR_ROW4(0x3F800000u), QOR_ROW4(0x80000000u),
};

struct SExpm1Eval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExpm1Table& c = opaque_table(kSExpm1);
    const f32x4 sh = row(c.shifter);
    const f32x4 t = x * row(c.log2e) + sh;
    const f32x4 k = t - sh;
    const f32x4 d = x - k * row(c.l1);  // exact
    const f32x4 kl = k * row(c.l2);
    // d - kl = rh + rl: rh the leading 12 bits of d (so rh^2 is exact), rl small (|rl| < 2^-11)
    const f32x4 rh = d & row(c.mask12);
    const f32x4 rl = (d - rh) - kl;
    const f32x4 r = rh + rl;
    // e^r - 1 = rh + rh^2/2 + [rl (1 + (r + rh)/2) + r^3 Q(r)]; Q by Estrin
    const f32x4 r2 = r * r;
    const f32x4 q01 = row(c.q[0]) + r * row(c.q[1]);
    const f32x4 q23 = row(c.q[2]) + r * row(c.q[3]);
    const f32x4 q = q01 + r2 * (q23 + r2 * row(c.q[4]));
    const f32x4 half = row(c.half);
    const f32x4 h = rh * (rh * half);  // exact
    const f32x4 rest = (rl + rl * ((r + rh) * half)) + (r2 * r) * q;  // (r^2 - rh^2)/2 = rl (r + rh)/2
    const f32x4 u = rh + h;  // Fast2Sum: |h| < |rh| / 5
    const f32x4 eu = h - (u - rh);
    const f32x4 s = (simd::shl(t.bits(), 23) + irow(c.one_bits)).as_f32();  // 2^k
    // a + e1 = 2^k - 1 exactly (2Sum; a alone is exact for |k| <= 24)
    const f32x4 m1 = row(c.mone);
    const f32x4 a = s + m1;
    const f32x4 bv = a - s;
    const f32x4 e1 = (s - (a - bv)) + (m1 - bv);
    // + 2^k u, exact product, by Fast2Sum (|a| >= |2^k u| for every k, or a = 0)
    const f32x4 b = s * u;
    const f32x4 s2 = a + b;
    const f32x4 e2 = b - (s2 - a);
    const f32x4 res = s2 + ((e1 + e2) + s * (eu + rest));
    return res | (x & row(c.sign));
  }
};

struct SExpm1HA : FamilyBase<float> {
  static constexpr const char* kName = "vsExpm1";
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return SExpm1Eval::eval(x); }
  static int screen(f32x4 x) { return simd::mask_abs_above(x, 0x42AFFFFFu); }  // |x| >= 88, NaN
  static int element(const float* px, float* out) {
    const float x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (x <= -88.0f) {  // -1 + e^x rounds to -1
      *out = (x == -INFINITY) ? -1.0f : mul_rt(0x1p-60f, 0x1p-60f) - 1.0f;
      return 0;
    }
    if (x >= 88.0f) return SExpHA::element(px, out);  // e^x - 1 rounds as e^x; +inf, overflow
    *out = packed_one<SExpm1HA>(x);
    return 0;
  }
};

#undef QOR_ROW4

}  // namespace qor::vm::exp_log
