// Asin, Acos, Asinpi and Acospi, single and double precision, on the arctangent core (atan_core.h).
//
// For |x| < 1 with s = sqrt(1 - x^2): asin x = sign(x) atan2(|x|, s) and acos x = atan2(s, x),
// both from atan2_core, whose quotient of the smaller by the larger argument stays in [0, 1]: near
// |x| = 1 the arcsine is pi/2 - atan(s/|x|) and the arccosine atan(s/x) (or pi - atan(s/|x|)), so
// neither loses accuracy to cancellation. s is a double-double: 1 - x^2 from Dekker's exact x^2
// (the difference with 1 exact by Fast2Sum, the product's error subtracted after it), its square
// root corrected by one step, sqrt(w) + (w - sqrt(w)^2) / (2 sqrt(w)). The pi-scaled forms multiply
// the double-double angle by 1/pi (hi + lo) before the one rounding.
//
// The screen sends |x| >= 1 (with infinities and NaNs) to the element routine: x = +-1 has exact
// limits (asin +-pi/2, acos 0 and pi, asinpi +-1/2, acospi 0 and 1), |x| > 1 and +-inf are domain
// errors (NaN, status 1), NaN passes without a report. Double Asinpi also sends |x| < 2^-900 there,
// where x/pi is rounded once from a scaled product (the atanpi element routine: asin x and atan x
// agree to far below an ulp of x/pi there, both are x (1 + O(x^2))). Single precision runs a
// plain double-precision formula on the widened lanes (inverse_plain.h) and rounds once; its Acos
// rare-value routine is vsacos_cout_rare below. The three slots of a function run the same
// formula; double Asin and Acos run the series formula of dasin_acos_ha below (faster than the
// arctangent, within 0.55 ulp for HA, 0.63 for LA and EP), Asinpi and Acospi the arctangent.
#pragma once

#include <cmath>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/kernels/trig/atan.h"

namespace qor::vm::trig {

enum class InvKind { Asin, Acos };

// The angle for |x| < 1 (the arcsine of |x|), before the 1/pi scaling.
template <InvKind kKind>
QOR_SIMD_INLINE void asin_acos_dd(f64x2 x, f64x2& rh, f64x2& rl) {
  const f64x2 one = f64x2::splat(1.0);
  const f64x2 ax = abs(x);
  // w = 1 - x^2 = wh + wl
  f64x2 p, pe, wh, wl;
  two_prod(ax, ax, p, pe);
  fast_two_sum(one, f64x2() - p, wh, wl);
  wl = wl - pe;
  // s = sqrt(w) = sh + sl
  const f64x2 sh = _mm_sqrt_pd(wh.v);
  f64x2 q, qe;
  two_prod(sh, sh, q, qe);
  // (the divisor kept from 0 for the lanes at |x| = 1, which the screen sends away: no 0/0 there)
  const f64x2 sl = (((wh - q) - qe) + wl) / max(sh + sh, kc<0x1p-1000>());
  if constexpr (kKind == InvKind::Asin) {
    atan2_core(ax, f64x2(), sh, sl, f64x2(), rh, rl);
  } else {
    atan2_core(sh, sl, ax, f64x2(), cmp_lt(x, f64x2()), rh, rl);
  }
}

template <InvKind kKind, bool kPi>
QOR_SIMD_INLINE f64x2 asin_acos_packed(f64x2 x) {
  f64x2 h, l;
  asin_acos_dd<kKind>(x, h, l);
  const f64x2 r = kPi ? times_inv_pi(h, l) : h + l;
  return kKind == InvKind::Asin ? flip(r, sign_bits(x)) : r;
}

// Double-precision Asin and Acos, every slot, without the double-double arctangent (the asin series on a
// reduced argument, as in the classical libm scheme). With z = x^2 for |x| < 1/2 and z = (1 - |x|)/2
// (exact) for |x| >= 1/2, both in [0, 1/4], and g(z) = asin(sqrt z) / sqrt z - 1 approximated by
// z P(z) (P of degree 13, a least-squares fit at Chebyshev nodes reweighted towards the minimax one,
// made in 70-digit decimal arithmetic from the series' exact coefficients; |error| below 2^-58.4
// on [0, 1/4] with the coefficients rounded to double; evaluated by Estrin's scheme):
//   |x| < 1/2:  asin x = x + x g;  acos x = pi/2 - x - x g, with pi/2_hi - x formed exactly
//     (Fast2Sum) and pi/2_lo added to the small terms;
//   |x| >= 1/2: s = sqrt z = s_hi + c, s_hi the square root with its low 27 bits cleared (s_hi^2
//     exact, z - s_hi^2 exact) and c = (z - s_hi^2) / (s + s_hi);
//     with 2 asin s = 2 (s_hi + c)(1 + g) = 2 s_hi + 2 s_hi g + 2c (1 + g),
//     asin |x| = pi/2 - 2 asin s = (pi/2_hi - 2 s_hi) - 2 s_hi g + (pi/2_lo - 2c (1 + g)),
//     acos x = 2 asin s = 2 s_hi + 2 s_hi g + 2c (1 + g) for x > 0,
//     acos x = pi - 2 asin s = (pi_hi - 2 s_hi) - 2 s_hi g + (pi_lo - 2c (1 + g)) for x < 0.
// The leading differences are exact (s_hi has 26 bits, and the difference is a multiple of the
// ulp of pi/2_hi or pi_hi below 2 or 4); the term m g (m = 2 s_hi, or x), |m g| <= 0.05 of the
// result, joins it by an exact sum (Fast2Sum) and the rest is added to the error term, so the
// result is rounded once. kExact (HA) also forms m g's leading part exactly: g = g1 + g2 with
// g1 = z_h p0_h on 27 bits, and m_h g1 on 53 bits (m_h = 2 s_hi, or x to 26 bits): 0.55 ulp in
// 2^20 samples of the accuracy tool. The short form (LA, EP) rounds g and m g: 0.62 ulp. |x| is clamped to 1 (NaN
// to 1; the screen sends |x| >= 1 to the element routine), z to at least 2^-60 in the first
// range (asin x - x is then far below an ulp) and the divisor of c kept from 0, so that no lane
// raises invalid or divide-by-zero.
struct alignas(16) DAsinRows {
  double p[14][2];
  double pio2_hi[2], pio2_lo[2], pi_hi[2], pi_lo[2];
};
inline constexpr DAsinRows kDAsin = {
    {QOR_ROW2(0x1.5555555555546p-3), QOR_ROW2(0x1.33333333355e9p-4), QOR_ROW2(0x1.6db6db6bf4c4ap-5),
     QOR_ROW2(0x1.f1c71d2cddd09p-6), QOR_ROW2(0x1.6e8b8b8147582p-6), QOR_ROW2(0x1.1c50b0434b2d9p-6),
     QOR_ROW2(0x1.c96214af6a6a8p-7), QOR_ROW2(0x1.7cc0b9c7aaec7p-7), QOR_ROW2(0x1.2f7eb93c1083fp-7),
     QOR_ROW2(0x1.6984fb3b2f304p-7), QOR_ROW2(-0x1.50893ec46f6efp-9), QOR_ROW2(0x1.02e2665650f5ap-5),
     QOR_ROW2(-0x1.1a9622a28181dp-5), QOR_ROW2(0x1.39515924e2887p-5)},
    QOR_ROW2(0x1.921fb54442d18p+0), QOR_ROW2(0x1.1a62633145c07p-54),
    QOR_ROW2(0x1.921fb54442d18p+1), QOR_ROW2(0x1.1a62633145c07p-53),
};
template <InvKind kKind, bool kExact>
QOR_SIMD_INLINE f64x2 dasin_acos_series(f64x2 x) {
  const DAsinRows& k = opaque(kDAsin);
  const f64x2 one = kc<1.0>(), half = kc<0.5>();
  const f64x2 ax = min(abs(x), one);
  const f64x2 big = cmp_le(half, ax);
  const f64x2 zb = (one - ax) * half;
  const f64x2 as = max(ax, kc<0x1p-30>());
  const f64x2 hi_mask = kl<static_cast<int64_t>(0xFFFFFFFFF8000000ull)>().as_f64();  // keeps 26 bits
  const f64x2 zs = as * as;
  const f64x2 z = select(big, zb, zs);
  // g = z p_0 + z^2 (p_1 + p_2 z + ... + p_13 z^12), the second part by Estrin's scheme (a short
  // dependency chain; its rounding errors are scaled down by z, below 1/4)
  f64x2 q[7];
  for (int i = 0; i < 6; ++i) q[i] = row(k.p[2 * i + 1]) + row(k.p[2 * i + 2]) * z;
  q[6] = row(k.p[13]);
  const f64x2 z2 = z * z, z4 = z2 * z2;
  const f64x2 u0 = (q[0] + q[1] * z2) + (q[2] + q[3] * z2) * z4;
  const f64x2 u1 = (q[4] + q[5] * z2) + q[6] * z4;
  // g = g1 + g2 with g1 = z_h p0_h exact on 27 bits (z_h: z to 14 bits, p0_h: p_0 to 13 bits)
  f64x2 g1, g2;
  if constexpr (kExact) {
    const f64x2 zh = z & kl<static_cast<int64_t>(0xFFFFFF8000000000ull)>().as_f64();
    g1 = zh * kc<0x1.555p-3>();
    g2 = (z - zh) * kc<0x1.555p-3>() +
         (z * kc<0x1.5555555518p-17>() + z2 * (u0 + u1 * (z4 * z4)));
  } else {
    g1 = z * row(k.p[0]) + z2 * (u0 + u1 * (z4 * z4));
  }
  const f64x2 s = _mm_sqrt_pd(zb.v);
  const f64x2 sh = s & hi_mask;
  const f64x2 c2 = (zb - sh * sh) / max((s + sh) * half, kc<0x1p-600>());  // 2c
  const f64x2 sh2 = sh + sh;
  // The term m g, m = 2 s_hi (second range: 2 asin s = 2 (s_hi + c)(1 + g) = 2 s_hi + 2 s_hi g +
  // 2c (1 + g)) or |x| = x_h + x_l (first range), as t1 + t2 with t1 = m_h g1 exact (26 + 27 bits)
  // and t2 = m_h g2 + m_l g small; cc = 2c (1 + g), far below an ulp of the result.
  f64x2 t1, t2, cc;
  if constexpr (kExact) {
    const f64x2 axh = ax & hi_mask;
    const f64x2 mh = select(big, sh2, axh), ml = andnot(big, ax - axh);
    t1 = mh * g1;
    t2 = mh * g2 + ml * (g1 + g2);
    cc = c2 + c2 * (g1 + g2);
  } else {  // t1 rounded, t2 = 0
    t1 = select(big, sh2, ax) * g1;
    cc = c2 + c2 * g1;
  }
  // the result: a + (+-t1) + corr with a exact; a +- t1 is summed exactly (Fast2Sum, |a| > |t1|)
  // and the rest joins its error term. sg: the sign bit that subtracts t1 and t2.
  const f64x2 minus = f64x2::splat(-0.0);
  f64x2 a, base, sg;
  if constexpr (kKind == InvKind::Asin) {
    a = select(big, row(k.pio2_hi) - sh2, ax);
    base = big & (row(k.pio2_lo) - cc);
    sg = big & minus;
  } else {
    f64x2 h, l;
    fast_two_sum(row(k.pio2_hi), f64x2() - flip(ax, sign_bits(x)), h, l);  // (clamped: no NaN operand)
    const f64x2 neg = cmp_lt(x, f64x2());
    a = select(big, select(neg, row(k.pi_hi) - sh2, sh2), h);
    base = select(big, select(neg, row(k.pi_lo) - cc, cc), l + row(k.pio2_lo));
    sg = select(big, neg & minus, andnot(sign_bits(x), minus));  // first range: minus x g
  }
  f64x2 r, re;
  fast_two_sum(a, flip(t1, sg), r, re);
  const f64x2 res = r + (re + (base + flip(t2, sg)));
  if constexpr (kKind == InvKind::Asin) return flip(res, sign_bits(x));
  else return res;
}

// The element routine of the double-precision kernels (and, on the widened value, of the single ones).
template <InvKind kKind, bool kPi>
inline int asin_acos_element(const double* px, double* out) {
  const double x = *px;
  if (std::isnan(x)) {
    *out = x + x;
    return kOk;
  }
  const double ax = std::fabs(x);
  if (ax > 1) {  // also +-inf
    *out = nan_invalid_d();
    return kErrDom;
  }
  if (ax == 1) {
    if constexpr (kKind == InvKind::Asin) *out = std::copysign(kPi ? 0.5 : kAtanRows.pio2_hi[0], x);
    else *out = x > 0 ? 0.0 : kPi ? 1.0 : 2 * kAtanRows.pio2_hi[0];
    return kOk;
  }
  if (kKind == InvKind::Asin && kPi && ax < 0x1p-900) return atan_element<true>(px, out);
  *out = lane0(asin_acos_packed<kKind, kPi>(f64x2::splat(x)));
  return kOk;
}

// kExact: the HA form of dasin_acos_series (LA and EP take the short one).
template <InvKind kKind, bool kPi, class Tag = void, bool kExact = true>
struct DAsinAcos : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 packed(f64x2 x) {
    if constexpr (!kPi) return dasin_acos_series<kKind, kExact>(x);
    else return asin_acos_packed<kKind, kPi>(x);
  }
  static int screen(f64x2 x) {
    int m = mask_abs_high_above(x, 0x3FEFFFFF);  // |x| >= 1, infinities, NaNs
    if constexpr (kKind == InvKind::Asin && kPi) m |= mask_below_2m900(x);
    return m;
  }
  static int element(const double* x, double* r) { return asin_acos_element<kKind, kPi>(x, r); }
};

// The single-precision Acos rare-value routine (|x| >= 1, infinities, NaNs): NaN with status 1
// beyond 1 and at the infinities, +0 at 1, pi at -1 (3.141592653589793 + 1.2246467991473532e-16
// rounded to single precision), a NaN passed through without a report.
inline int vsacos_cout_rare(const float* px, float* r) {
  const float x = *px;
  if (std::isnan(x)) {
    *r = x + x;
    return kOk;
  }
  if (x == 1.0f) {
    *r = 0.0f;
    return kOk;
  }
  if (x == -1.0f) {
    volatile double lo = 1.2246467991473532e-16;  // the sum rounded at run time (raises inexact)
    *r = static_cast<float>(3.141592653589793 + lo);
    return kOk;
  }
  if (std::fabs(x) > 1.0f) {
    *r = nan_invalid_f();
    return kErrDom;
  }
  // |x| < 1 (an element of a recomputed block, or a padding lane): the packed formula
  *r = lane0(sacos_plain<false>(f32x4::splat(x)));
  return kOk;
}

template <InvKind kKind, bool kPi, class Tag = void>
struct SAsinAcos : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) {
    if constexpr (kKind == InvKind::Asin) return satan_asin_plain<true, kPi>(x);
    else return sacos_plain<kPi>(x);
  }
  static int screen(f32x4 x) { return mask_abs_above(x, 0x3F7FFFFF); }  // |x| >= 1, infinities, NaNs
  static int element(const float* x, float* r) {
    if constexpr (kKind == InvKind::Acos && !kPi) {
      return vsacos_cout_rare(x, r);
    } else {
      const double xd = *x;
      double rd;
      const int st = asin_acos_element<kKind, kPi>(&xd, &rd);
      *r = static_cast<float>(rd);
      return st;
    }
  }
};

}  // namespace qor::vm::trig
