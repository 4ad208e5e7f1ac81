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
// formula, but for double Asin and Acos, whose LA and EP slots take the plain double-precision
// formula of inverse_plain.h (below 2 ulp).
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

// kPlain: the plain double-precision formula (inverse_plain.h) of the LA and EP slots.
template <InvKind kKind, bool kPi, class Tag = void, bool kPlain = false>
struct DAsinAcos : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 packed(f64x2 x) {
    if constexpr (kPlain) return kKind == InvKind::Asin ? dasin_plain(x) : dacos_plain(x);
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
