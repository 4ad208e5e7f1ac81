// Single-precision hyperbolic functions and their inverses in float arithmetic on four lanes
// (the LA and EP slots; HA: single_ha.h for Sinh, Cosh and Tanh, the widened double formulas of
// single_plain.h for the inverses).
//
// Sinh, Cosh and Tanh share one table-free split exponential of a = x clamped to [-87.5, 87.5]
// for Sinh (n, r, S and dm below change sign with x, so the formula needs no sign operations),
// a = |x| clamped to 87.5 for Cosh, b = 2|x| for Tanh LA, x clamped to [-10, 10] for Tanh EP
// (Cosh EP rescales the same polynomials and applies 2^+-n to the bits, see FCosh):
//     n = round(a / ln 2),  r = a - n ln 2 in [-ln 2 / 2, ln 2 / 2]  (LA: Cody-Waite, ln 2 =
//     A_hi + A_lo with A_hi a multiple of 2^-16, so that n A_hi and a - n A_hi are exact; EP:
//     ln 2 rounded once, r within 2^-18),
//     e^+-a = 2^+-n (C +- S),  C = cosh r = 1 + Cm1(r),  S = sinh r  (minimax even and odd
//     polynomials, see kSHypRows),
//     dp = (2^n + 2^-n) / 2,  dm = (2^n - 2^-n) / 2  (n rounded by adding a magic number whose
//     low bits then hold n + 126: shifted by 23 they are 2^(n-1), and 252 << 23 less them
//     2^(-n-1); exact for |n| <= 12, within 2^-26 relative beyond),
//   Sinh: dm + (dm Cm1 + dp S);   Cosh: dp + (dp Cm1 + dm S);
//   Tanh: E = e^b - 1 = 2^n (Cm1 + S) + (2^n - 1), tanh a = E / (E + 2), a clamped to 10
//         (LA halves both: E / 2 = 2^(n-1) (Cm1 + S) + (2^(n-1) - 1/2) over E / 2 + 1)
//         (EP reduces a itself, r = 2 (a - n ln 2 / 2), with the coefficients scaled, e^r - 1
//         by Horner's scheme in r / 2 and E = 2^n (e^r - 1) - (1 - 2^n), so that -0 stays -0;
//         for x < 0, E is in (-1, 0) and E + 2 in (1, 2): nothing cancels more than for x > 0).
// At n = 0, dm = 0 and Sinh is S(a) itself (r = a exactly), Tanh is E / (E + 2) with E the
// series of 2a less 1 formed without the 1, so both keep their relative accuracy near 0 and
// subnormal arguments come back unchanged. At n = 1 with r < 0 the terms of Sinh cancel by a
// factor of at most about 2.4 (a just above ln 2 / 2), those of Tanh's E by about 1.4: the
// largest errors sit there and near 0 for Tanh (the roundings of E, E + 2 and the quotient;
// LA rounds e^r - 1 once on its exact head r).
// Measured at every 16th input: LA Sinh 1.99, Cosh 1.85, Tanh 2.48 ulp; EP at least 12.3
// correct bits.
//
// The inverses are logarithms of 1 + t (the float Log1p core of exp_log/slog_core.h: k from
// RN(1 + t), f = (1 + t) 2^-k - 1 formed from t itself, so it stays relative near t = 0) with
// t formed without cancellation, a = |x|:
//   Asinh: t = a + a^2 / (1 + sqrt(1 + a^2)) for a <= 2^12, 2a - 1 beyond (the dropped
//          1 / (2a) changes the logarithm by less than 2^-26 relative);
//   Acosh: d = x - 1, t = d + sqrt(d (2 + d)) for x <= 2^12, 2x - 1 beyond (EP; LA carries t as
//          th + tl with the root's residual into a logarithm of a sum of two floats, FAcoshLA
//          below: 1.06 ulp over every input against EP's 3.56);
//   Atanh: t = 2a / (1 - a), the logarithm halved.
//
// Screens: Sinh and Cosh the lanes their clamp moves (|x| > 87.5, infinities, NaN: n <= 126,
// so that 2^(-n-1) stays a normal number or 0; screen and formula in one), Tanh NaN (its clamp
// gives +-1 for +-inf), and on the bits (NaN and infinities included) Asinh |x| > 2^60, Acosh x outside [1, 2^60], Atanh |x| >= 1. The
// flagged lanes take the double formula's per-element routine, rounded once (with its
// overflow and domain statuses); an element routine called on an ordinary lane gives the packed
// result. Arguments are clamped into the packed domain first, so that the lanes sent away
// raise no invalid or overflow flag on the packed path.
#pragma once

#include "vector_math/kernels/exp_log/slog_core.h"
#include "vector_math/kernels/hyperbolic/single_plain.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// Constant rows (each value four times), read through opaque() so that the loop takes them as
// memory operands instead of holding copies in registers (or spilling them).
struct alignas(16) SHypRows {
  float log2e[4];
  float ln2_hi[4], ln2_lo[4];  // ln 2 = A_hi + A_lo, A_hi a multiple of 2^-16
  float ln2[4];                // ln 2 rounded once (EP)
  float s[2][4];               // LA: sinh r = r + r^3 (s[0] + s[1] r^2)
  float c[3][4];               // LA: cosh r - 1 = r^2 (c[0] + c[1] r^2 + c[2] r^4)
  float se[4];                 // EP: sinh r = r + r^3 se
  float ce[2][4];              // EP Tanh: cosh r - 1 = r^2 (ce[0] + ce[1] r^2)
  float ce1[4];                // EP Sinh, Cosh: cosh r = 1 + r^2 ce1
  // EP Tanh, reduced in h = b / 2 (rh = h - n ln 2 / 2, r = 2 rh): 2 log2(e), ln 2 / 2 rounded
  // once, and the polynomials in rh (se and ce scaled by powers of 2): sinh r = rh (2 + q ts),
  // cosh r - 1 = q (tc[0] + q tc[1]), q = rh^2
  float tl2e[4], tln2h[4];
  float ts[4], tc[2][4];
  float clamp[4];              // 87.5 (Sinh, Cosh: n <= 126), 10 (Tanh), and their negatives
  float tclamp[4];
  float nclamp[4], ntclamp[4];
  float one[4], two[4];
  // a / ln 2 + magic rounds to the integer n + 126 in the low bits (RN, its ulp 1: ties to
  // even as cvtps2dq, magic being even), which shifted by 23 is 2^(n-1); 252 << 23 less that
  // is 2^(-n-1). tmagic: n + 127 (2^n, Tanh EP).
  float magic[4], tmagic[4];
  uint32_t bias2[4];           // 252 << 23
  // EP Cosh: magic0 rounds to n in the low bits; e^r / 2 = E2 + O2 in f = r / ln 2 with
  // E2 = 1/2 + f^2 fc2, O2 = f (lh + f^2 fs2): ce1 and se above rescaled (fc2 = ce1 ln 2^2 / 2,
  // lh = ln 2 / 2, fs2 = se ln 2^3 / 2)
  float magic0[4], half[4], fc2[4], lh[4], fs2[4];
};
// The polynomials are minimax for the relative error on |r| <= ln 2 / 2 (tools/gen_log_poly.cpp,
// sinh and cosh forms, float coefficients): sinh r 2^-26.2 (LA), 2^-15.6 (EP); cosh r 2^-30.0
// (LA), 2^-23.4 (EP Tanh), 2^-13.3 (EP Sinh and Cosh; its cosh r - 1 is not relative near 0,
// which Tanh needs).
#define QOR_R4(v) {v, v, v, v}
inline constexpr SHypRows kSHypRows = {
    QOR_R4(0x1.715476p0f), QOR_R4(0x1.62e4p-1f), QOR_R4(0x1.7f7d1cp-20f), QOR_R4(0x1.62e430p-1f),
    {QOR_R4(0x1.5554bp-3f), QOR_R4(0x1.12278ap-7f)},
    {QOR_R4(0x1p-1f), QOR_R4(0x1.55548p-5f), QOR_R4(0x1.6d9626p-10f)},
    QOR_R4(0x1.57087cp-3f),
    {QOR_R4(0x1.fffdc2p-2f), QOR_R4(0x1.573b7ep-5f)}, QOR_R4(0x1.021eaap-1f),
    QOR_R4(0x1.715476p1f), QOR_R4(0x1.62e430p-2f),
    QOR_R4(0x1.57087cp0f), {QOR_R4(0x1.fffdc2p0f), QOR_R4(0x1.573b7ep-1f)},
    QOR_R4(87.5f), QOR_R4(10.0f), QOR_R4(-87.5f), QOR_R4(-10.0f), QOR_R4(1.0f), QOR_R4(2.0f),
    QOR_R4(0x1.8p23f + 126.0f), QOR_R4(0x1.8p23f + 127.0f), QOR_R4(252u << 23),
    QOR_R4(0x1.8p23f), QOR_R4(0.5f),
    QOR_R4(0x1.021eaap-2f * 0x1.62e430p-1f * 0x1.62e430p-1f), QOR_R4(0x1.62e430p-2f),
    QOR_R4(0x1.57087cp-4f * 0x1.62e430p-1f * 0x1.62e430p-1f * 0x1.62e430p-1f)};
#undef QOR_R4

// cosh r - 1 and sinh r for |r| <= ln 2 / 2 (a little beyond: n comes from a rounded product),
// n << 23 for n = round(a / ln 2), 0 <= a <= 87.5 (n <= 126).
struct SplitF {
  f32x4 cm1, s;
  f32x4 r, st;  // s = r + st (st = r^3 S(r^2): Tanh LA adds cm1 to it before r)
  i32x4 hp;  // 2^(n-1) (bits)
};
// kEP: the EP reduction and sinh r; kShortC (EP Sinh and Cosh): cosh r of one term (2^-13.3),
// which is not relative as cosh r - 1 (Tanh needs that: 2^-23.4 for EP).
template <bool kEP, bool kShortC>
QOR_SIMD_INLINE SplitF split_f(const SHypRows& c, f32x4 a) {
  SplitF o;
  const f32x4 t = a * row(c.log2e) + row(c.magic);
  o.hp = simd::shl(t.bits(), 23);
  const f32x4 nf = t - row(c.magic);  // n (exact)
  // EP: one rounded ln 2, r within 2^-18 of a - n ln 2
  const f32x4 r = kEP ? a - nf * row(c.ln2) : (a - nf * row(c.ln2_hi)) - nf * row(c.ln2_lo);
  const f32x4 r2 = r * r;
  o.r = r;
  if constexpr (kEP) o.st = (r * r2) * row(c.se);
  else o.st = (r * r2) * (row(c.s[0]) + r2 * row(c.s[1]));
  o.s = r + o.st;
  if constexpr (kShortC) o.cm1 = r2 * row(c.ce1);
  else if constexpr (kEP) o.cm1 = r2 * (row(c.ce[0]) + r2 * row(c.ce[1]));
  else o.cm1 = r2 * (row(c.c[0]) + r2 * (row(c.c[1]) + r2 * row(c.c[2])));
  return o;
}

// (2^n + 2^-n) / 2 and (2^n - 2^-n) / 2 for 0 <= n <= 126 (2^(-n-1) is 0 at n = 126).
QOR_SIMD_INLINE void half_pows(const SHypRows& c, i32x4 hpi, f32x4& dp, f32x4& dm) {
  const f32x4 hp = hpi.as_f32();
  const f32x4 hm = (irow(c.bias2) - hpi).as_f32();
  dp = hp + hm;
  dm = hp - hm;
}

// x clamped to [-87.5, 87.5] (Sinh and Cosh; NaN gives 87.5) and the screen made of it: the
// lanes it moves (|x| > 87.5, infinities, NaN), the same test and the same operations as the
// formula's, so that the compiler computes the clamp once for both.
QOR_SIMD_INLINE f32x4 clamp_hyp(const SHypRows& c, f32x4 x) {
  return max(min(x, row(c.clamp)), row(c.nclamp));
}
struct ClampMoves {
  static f32x4 clamp(f32x4 x) { return clamp_hyp(opaque(kSHypRows), x); }
  static int moved(f32x4 x, f32x4 xc) { return mask(f32x4(_mm_cmpneq_ps(x.v, xc.v))); }
  static int screen(f32x4 x) { return moved(x, clamp(x)); }
};
// Cosh: a = |x| clamped to 87.5 (one minimum; NaN gives 87.5: minps returns its second
// operand), the lanes it moves (|x| > 87.5, infinities, NaN) found on the bits of |x|.
struct AbsClampBits {
  static f32x4 clamp(f32x4 x) { return min(abs(x), row(opaque(kSHypRows).clamp)); }
  static int moved(f32x4 x, f32x4) {  // |x| > 87.5
    return mask(simd::cmp_gt(abs(x).bits(), row(opaque(kSHypRows).clamp).bits()));
  }
  static int screen(f32x4 x) { return moved(x, x); }
};
// Tanh: NaN only (x clamped to [-10, 10] gives tanh +-inf = +-1 on the packed path)
struct NanOnly {
  static i32x4 lanes(f32x4 x) { return _mm_castps_si128(_mm_cmpunord_ps(x.v, x.v)); }
  static int screen(f32x4 x) { return mask(lanes(x)); }
};

// The sign bit of x, given a = |x|.
QOR_SIMD_INLINE f32x4 sign_of(f32x4 x, f32x4 a) { return _mm_xor_ps(x.v, a.v); }

// Sinh reduces x itself (clamped to [-87.5, 87.5]): n, r, S and dm change sign with x, cm1 and
// dp do not, so the result is the one of |x| with x's sign (no sign operations). Written with
// -dm = hm - hp and subtractions, so that x = -0 gives S = -0 and -0 - (+0) keeps it.
template <bool kEP>
struct FSinh {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) { return eval_clamped(ClampMoves::clamp(x)); }
  static QOR_SIMD_INLINE f32x4 eval_clamped(f32x4 xc) {
    const SHypRows& c = opaque(kSHypRows);
    const SplitF e = split_f<kEP, kEP>(c, xc);
    const f32x4 hp = e.hp.as_f32();
    const f32x4 hm = (irow(c.bias2) - e.hp).as_f32();
    const f32x4 ndm = hm - hp;
    return ((hp + hm) * e.s - ndm * e.cm1) - ndm;
  }
};
// Cosh works on a = |x| clamped (n >= 0). EP: the reduction in f = a / ln 2 - n (b = a / ln 2
// rounded once: f within 2^-17 of r / ln 2, r = f ln 2), e^r / 2 = E2 + O2 and e^-r / 2 = E2 - O2
// (the relative errors of ce1 and se, 2^-13.3 and 2^-15.6), and the scales applied to the bits:
//   cosh a = 2^n (E2 + O2) + 2^-n (E2 - O2),
// 2^n by an integer addition of n << 23 (E2 + O2 in [0.35, 0.71]: normal up to n = 126), 2^-n by
// a saturating subtraction of n << 7 from the upper 16-bit half (sign and exponent field, which
// is positive): where the exponent would fall below 0 the half becomes 0 and what is left is
// below 2^-133, against a result above 2^100. No dp, dm and no multiplication by a scale.
// At a = 0 (and subnormal a, f = b below 2^-125): 1/2 + 1/2 = 1 exactly.
template <bool kEP>
struct FCosh {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) { return eval_clamped(AbsClampBits::clamp(x)); }
  static QOR_SIMD_INLINE f32x4 eval_clamped(f32x4 a) {
    const SHypRows& c = opaque(kSHypRows);
    if constexpr (kEP) {
      const f32x4 b = a * row(c.log2e);
      const f32x4 t = b + row(c.magic0);
      const f32x4 f = b - (t - row(c.magic0));
      const i32x4 sc = simd::shl(t.bits(), 23);  // n << 23
      const f32x4 f2 = f * f;
      const f32x4 e2 = row(c.half) + f2 * row(c.fc2);
      const f32x4 o2 = f * (row(c.lh) + f2 * row(c.fs2));
      const f32x4 p = e2 + o2, q = e2 - o2;
      const f32x4 up = (p.bits() + sc).as_f32();
      const f32x4 dn = i32x4(_mm_subs_epu16(q.bits().v, sc.v)).as_f32();
      return up + dn;
    } else {
      const SplitF e = split_f<false, false>(c, a);
      f32x4 dp, dm;
      half_pows(c, e.hp, dp, dm);
      return dp + (dp * e.cm1 + dm * e.s);
    }
  }
};
template <bool kEP>
struct FTanh {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SHypRows& c = opaque(kSHypRows);
    // beyond 10 the quotient is 1 in single precision (tanh 9.1 already rounds to 1)
    if constexpr (kEP) {
      // the split of b = 2h reduced in h: rh = h - n ln 2 / 2, r = 2 rh (one product less; LA
      // keeps the exact head r of r + r^3 S instead). EP takes h = x clamped to [-10, 10]:
      // (e^2h - 1) / (e^2h + 1) is tanh h for either sign (E in (-1, 0) for h < 0, E + 2 in
      // (1, 2)), so no sign operations.
      const f32x4 h = max(min(x, row(c.tclamp)), row(c.ntclamp));
      const f32x4 t = h * row(c.tl2e) + row(c.tmagic);
      const f32x4 p = simd::shl(t.bits(), 23).as_f32();  // 2^n
      const f32x4 rh = h - (t - row(c.tmagic)) * row(c.tln2h);
      // e^r - 1 by Horner's scheme in rh: u keeps the sign of rh = -0
      const f32x4 u = rh * (row(c.two) + rh * (row(c.tc[0]) + rh * (row(c.ts) + rh * row(c.tc[1]))));
      // a subtraction, so that -0 stays -0
      const f32x4 em1 = u * p - (row(c.one) - p);
      return em1 / (em1 + row(c.two));
    } else {
      const f32x4 a = abs(x);
      const f32x4 h = min(a, row(c.tclamp));
      const SplitF e = split_f<false, false>(c, h * row(c.two));
      // E / (E + 2) as (E / 2) / (E / 2 + 1): E / 2 = 2^(n-1) u + (2^(n-1) - 1/2) takes the
      // split's power 2^(n-1) as it comes (the same bits: every term is scaled by 1/2 exactly)
      const f32x4 hp = e.hp.as_f32();
      const f32x4 eh = (e.r + (e.st + e.cm1)) * hp + (hp - row(c.c[0]));  // c[0] = 1/2
      return (eh / (eh + row(c.one))) | sign_of(x, a);
    }
  }
};

// ln(1 + t) for 0 <= t < 2^125 through the float Log1p core.
QOR_SIMD_INLINE f32x4 log1p_f(f32x4 t) {
  return exp_log::SLogPolyEval<0, true, true>::eval(t);
}

struct FAsinh {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const f32x4 a = min(abs(x), cst<0x1p60f>());
    const f32x4 as = min(a, cst<0x1p12f>());
    const f32x4 a2 = as * as;
    const f32x4 ts = as + a2 / (cst<1.0f>() + _mm_sqrt_ps((cst<1.0f>() + a2).v));
    const f32x4 tb = (a + a) - cst<1.0f>();
    return log1p_f(select(cmp_lt(cst<0x1p12f>(), a), tb, ts)) | sign_bits(x);
  }
};
struct FAcosh {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const f32x4 xc = max(min(x, cst<0x1p60f>()), cst<1.0f>());
    const f32x4 d = min(xc, cst<0x1p12f>()) - cst<1.0f>();
    const f32x4 ts = d + f32x4(_mm_sqrt_ps((d * (cst<2.0f>() + d)).v));
    const f32x4 tb = (xc + xc) - cst<1.0f>();
    return log1p_f(select(cmp_lt(cst<0x1p12f>(), xc), tb, ts));
  }
};
// Acosh LA: t = d + sqrt(d (2 + d)) carried as th + tl, and ln(1 + th + tl) by the Log1p core
// with k ln 2 in two parts and tl joining its reduced argument (log1p_la2 below).
//   p = 2d + d^2 (2d exact, d^2 rounded), s0 = sqrt(p) rounded; the residual p - s0^2 formed
//   from the 12-bit halves of s0 (their products exact; 2d - sh^2 exact for d <= 2 by Sterbenz's
//   lemma, beyond that its rounding and that of d^2 cost at most 2^-25 of t, where the
//   logarithm halves it), ds = residual / (2 s0), th + tl = d + s0 + ds (Fast2Sum: s0 >= d).
// Beyond 2^12, th = 2x - 1 and tl = 0 as in the EP kernel. At x = 1 every term is 0 (the divisor
// is kept away from 0, so that no invalid flag is raised).
// ln(1 + th + tl) for 0 <= th < 2^125, |tl| about an ulp of th at most. The Log1p core's
// reduction (k from RN(1 + th), f = (1 + th) 2^-k - 1 = th 2^-k + (2^-k - 1), rounded once, its
// rounding error (Fast2Sum: the exponent of 2^-k - 1 is at least that of th 2^-k unless their
// sum is exact by Sterbenz's lemma) joining tl 2^-k), then with s = f / (2 + f), q = s^2:
//   ln(1 + f) = 2 atanh s = f - f s + s q P(q)   (z = 2s = f - f s exactly; P the Log1p core's
//                                                polynomial in v = z^2 = 4q, rescaled),
//   result = S + (e + k A_lo + tl 2^-k / (1 + f) + (s q P(q) - f s)),  S + e = k A_hi + f (Fast2Sum:
//            k A_hi is exact and larger than |f| when k != 0),
// 1 / (1 + f) taken as 1 - f (tl and the rounding error of f are about an ulp: their share of the
// result at most 12% off).
// The leading term f is exact, so the rounding errors of s reach only f s (at most 0.2 of the
// result): within about 0.8 ulp before the one final rounding; k A_hi + f, where they cancel
// (k = 1, f near -0.29), is exact.
QOR_SIMD_INLINE f32x4 log1p_la2(f32x4 th, f32x4 tl) {
  const exp_log::SLogPolyRows& c = opaque(exp_log::kSLog1pLARows);
  const f32x4 one = row(c.one);
  const f32x4 u = th + one;
  const i32x4 t = u.bits() - irow(c.off);
  const i32x4 k = simd::shr_arith(t, 23);
  const f32x4 sk = (one.bits() - (t & irow(c.expo))).as_f32();  // 2^-k
  const f32x4 a = th * sk, b = sk - one;  // both exact (b rounds to -1 for k >= 25, far below an ulp)
  const f32x4 f = a + b;
  const f32x4 dl = tl * sk + ((b - f) + a);  // and f's rounding error (Fast2Sum)
  const f32x4 kf = simd::to_float(k);
  const f32x4 s = f / (f + row(c.two));
  const f32x4 q = s * s;
  // P(4q) 8: the coefficients scaled by 8, 32 and 128 (exact)
  const f32x4 tail = s * (q * (cst<0x1.55557ap-1f>() + q * (cst<0x1.995ec6p-2f>() + q * cst<0x1.31e1fcp-2f>())));
  const f32x4 T = kf * cst<0x1.62e4p-1f>();  // exact
  const f32x4 S = T + f;
  const f32x4 e = (T - S) + f;
  return S + ((e + (kf * cst<0x1.7f7d1cp-20f>() + (dl - dl * f))) + (tail - f * s));
}
struct FAcoshLA {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const f32x4 xc = max(min(x, cst<0x1p60f>()), cst<1.0f>());
    const f32x4 big = cmp_lt(cst<0x1p12f>(), xc);
    const f32x4 d = min(xc, cst<0x1p12f>()) - cst<1.0f>();
    const f32x4 dd = d + d, d2 = d * d;
    const f32x4 s0 = _mm_sqrt_ps((dd + d2).v);
    const f32x4 sh = s0 & f32x4::from_bits(0xFFFFF000u), sl = s0 - sh;
    const f32x4 res = (((dd - sh * sh) + d2) - (sh + sh) * sl) - sl * sl;
    const f32x4 ds = res / max(s0 + s0, cst<0x1p-12f>());
    const f32x4 th = d + s0;
    const f32x4 tl = ((s0 - th) + d) + ds;
    return log1p_la2(select(big, (xc + xc) - cst<1.0f>(), th), andnot(big, tl));
  }
};
struct FAtanh {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const f32x4 a = min(abs(x), cst<0x1.fffffep-1f>());
    return (log1p_f((a + a) / (cst<1.0f>() - a)) * cst<0.5f>()) | sign_bits(x);
  }
};

// The float formula on the packed path, the screen and per-element routine of the widened
// double family Via for the lanes it flags; ordinary lanes given to the element routine take the
// packed formula.
template <class Eval, class Via, class Screen>
struct SFloat : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  // A screen that is the formula's own clamp (ClampMoves): the screen and the formula in one
  // (the lanes the clamp moves are flagged), so that the clamp is computed once.
  static constexpr bool kClampScreen = requires(f32x4 v) { Screen::clamp(v); };
  static f32x4 packed(f32x4 x) { return Eval::eval(x); }
  static int packed_checked(f32x4 x, f32x4& r)
    requires kClampScreen
  {
    const f32x4 xc = Screen::clamp(x);
    // a formula that takes x's sign from x itself and works on the clamped |x|
    if constexpr (requires { Eval::eval_clamped(x, xc); }) r = Eval::eval_clamped(x, xc);
    else r = Eval::eval_clamped(xc);
    return Screen::moved(x, xc);
  }
  static int screen(f32x4 x)
    requires(!kClampScreen)
  {
    return Screen::screen(x);
  }
  // Both registers of a block: one mask extraction when no lane is flagged.
  static int screen_pair(f32x4 x0, f32x4 x1)
    requires(!kClampScreen)
  {
    if constexpr (requires { Screen::lanes(x0); }) {
      const i32x4 b0 = Screen::lanes(x0), b1 = Screen::lanes(x1);
      if (__builtin_expect(simd::mask(b0 | b1) == 0, 1)) return 0;
      return simd::mask(b0) | (simd::mask(b1) << 4);
    } else {
      return Screen::screen(x0) | (Screen::screen(x1) << 4);
    }
  }
  static int element(const float* px, float* r) {
    if (Screen::screen(f32x4::splat(*px)) == 0) {
      *r = packed_one<SFloat>(*px);
      return kOk;
    }
    return Via::element(px, r);
  }
};
template <bool kEP>
using SSinhF = SFloat<FSinh<kEP>, SSinh, ClampMoves>;  // |x| > 87.5, NaN
template <bool kEP>
using SCoshF = SFloat<FCosh<kEP>, SCosh, AbsClampBits>;
template <bool kEP>
using STanhF = SFloat<FTanh<kEP>, STanh, NanOnly>;
using SAsinhF = SFloat<FAsinh, SAsinhPlain, AbsAbove<0x5D800000>>;  // |x| > 2^60
using SAcoshF = SFloat<FAcosh, SAcoshPlain, OutsideClosedOpen<1.0f, 0x1p60f>>;
using SAcoshLA = SFloat<FAcoshLA, SAcoshPlain, OutsideClosedOpen<1.0f, 0x1p60f>>;
using SAtanhF = SFloat<FAtanh, SAtanhPlain, AbsAbove<0x3F7FFFFF>>;  // |x| >= 1

}  // namespace
}  // namespace qor::vm::hyperbolic
