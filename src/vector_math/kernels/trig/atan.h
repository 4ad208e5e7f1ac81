// Atan and Atanpi, single and double precision, on the arctangent core (atan_core.h).
//
// Double precision: atan x = sign(x) (hi + lo) of the core; Atanpi multiplies the double-double by
// 1/pi (hi + lo) before the last rounding. Single precision: a plain double-precision formula on
// the widened lanes (inverse_plain.h), rounded once; its element routine (NaNs) is the double
// one. No element needs a report: +-inf gives +-pi/2 (+-1/2), NaN itself; the screen flags NaNs
// only (and huge |x| > 2^1000 for the double-precision Atanpi's product). Atan's result for
// |x| < 2^-27 is x itself (the core's t is x there), with inexact raised by the polynomial. The
// three slots of a function run the same formula, but for double Atan's EP slot (the plain
// double-precision formula of inverse_plain.h, below 2 ulp).
#pragma once

#include <cmath>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/kernels/trig/atan_core.h"
#include "vector_math/kernels/trig/inverse_plain.h"

namespace qor::vm::trig {

template <bool kPi>
QOR_SIMD_INLINE f64x2 atan_packed(f64x2 x) {
  f64x2 h, l;
  atan_abs(x, h, l);
  return flip(kPi ? times_inv_pi(h, l) : h + l, sign_bits(x));
}

// Lanes with |x| < 2^-900 (zeros included), whose x/pi the element routines round once.
QOR_SIMD_INLINE int mask_below_2m900(f64x2 x) {
  const __m128i h = _mm_shuffle_epi32(abs(x).bits().v, _MM_SHUFFLE(3, 3, 1, 1));
  return _mm_movemask_pd(_mm_castsi128_pd(_mm_cmplt_epi32(h, _mm_set1_epi32(0x07B00000))));
}

template <bool kPi>
inline int atan_element(const double* px, double* out) {
  const double x = *px;
  if (std::isnan(x)) {
    *out = x + x;
    return kOk;
  }
  if (std::isinf(x)) {
    *out = kPi ? std::copysign(0.5, x) : std::copysign(kAtanRows.pio2_hi[0], x);
    return kOk;
  }
  if (kPi && std::fabs(x) < 0x1p-900) {  // x/pi, scaled so that it is rounded once
    if (x == 0) {
      *out = x;
      return kOk;
    }
    const double xs = x * 0x1p600;
    double p, e;
    two_prod(xs, kAtanRows.inv_pi_hi[0], p, e);
    *out = mul_rt(p + (e + xs * kAtanRows.inv_pi_lo[0]), 0x1p-600);
    return kOk;
  }
  *out = lane0(atan_packed<kPi>(f64x2::splat(x)));
  return kOk;
}

// kPlain: the plain double-precision formula (inverse_plain.h) of the EP slot.
template <bool kPi, bool kPlain = false>
struct DAtan : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 packed(f64x2 x) {
    if constexpr (kPlain) return datan_plain(x);
    else return atan_packed<kPi>(x);
  }
  static int screen(f64x2 x) {
    int m = mask(f64x2(_mm_cmpunord_pd(x.v, x.v)));
    if constexpr (kPi) m |= mask_below_2m900(x);
    return m;
  }
  static int element(const double* x, double* r) { return atan_element<kPi>(x, r); }
};
template <bool kPi>
struct SAtan : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return satan_asin_plain<false, kPi>(x); }
  static int screen(f32x4 x) { return mask(f32x4(_mm_cmpunord_ps(x.v, x.v))); }
  static int element(const float* x, float* r) {
    const double xd = *x;
    double rd;
    const int st = atan_element<kPi>(&xd, &rd);
    *r = static_cast<float>(rd);
    return st;
  }
};

}  // namespace qor::vm::trig
