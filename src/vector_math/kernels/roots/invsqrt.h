// InvSqrt: 1/sqrt(x).
//   single HA: the approximate reciprocal square root (rsqrtps, relative error below 1.5 2^-12)
//     refined in double precision on widened lanes by the series of (1 - e)^(-1/2) to e^3,
//     e = 1 - x y0^2 (truncation below 2^-43, the rest below 2^-51), rounded once to single:
//     within 0.5 ulp plus 2^-19, and correctly rounded except within 2^-43 of a midpoint (the
//     approximation differs between processors, so such rare results may too). No square root
//     or division: about 3x faster than the double quotient it replaced. Subnormal arguments go
//     to the per-element routine (1 / sqrt in double, rounded once).
//   single LA (LA and EP slots): 1 / sqrt(x) in single precision (sqrtps, divps), two
//     roundings: below 1.5 ulp (about 22.4 correct bits), as fast as the two instructions.
//   double HA: y0 = 1 / sqrt(x) (within about 1 ulp), then y = y0 + y0 e / 2 with
//     e = 1 - x y0^2 formed exactly (two-products): within 0.5 ulp plus a few 2^-100.
//   double LA (LA and EP slots): 1 / sqrt(x) alone, two roundings: below 1.5 ulp.
// Per element: NaN itself; +-0: +-inf, status 2; negative: NaN, status 1; +inf: +0. The double
// kernels also send |x| outside [2^-900, 2^993) there, where the argument is scaled by an even
// power of two for the packed formula (the two-products need factors below 2^995).
#pragma once

#include "vector_math/kernels/roots/common.h"

namespace qor::vm::roots {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// The special values; false for a positive finite x.
template <class T>
inline bool invsqrt_special(T x, T* r, int* status) {
  *status = kOk;
  if (std::isnan(x)) *r = x + x;
  else if (x == T(0)) {
    *r = div_rt(T(1), x);
    *status = kSing;
  } else if (x < T(0)) {
    *r = div_rt(T(0), T(0));
    *status = kErrDom;
  } else if (std::isinf(x)) *r = T(0);
  else return false;
  return true;
}

struct SInvSqrt : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  // e = 1 - x y0^2 (y0^2 exact, the product rounded once: 2^-53 absolute) and
  // (1 - e)^(-1/2) = 1 + e/2 + 3e^2/8 + 5e^3/16 + 35e^4/128 + ...
  static f64x2 half(f64x2 x, f64x2 y0) {
    const f64x2 e = kc<1.0>() - x * (y0 * y0);
    return y0 + y0 * (e * (kc<0.5>() + e * (kc<0.375>() + e * kc<0.3125>())));
  }
  static f32x4 packed(f32x4 x) {
    const f32x4 y0 = _mm_rsqrt_ps(x.v);
    return narrow(half(widen_lo(x), widen_lo(y0)), half(widen_hi(x), widen_hi(y0)));
  }
  // zeros, negatives and subnormals (the approximation's range is the normal floats), +inf, NaN
  static int screen(f32x4 x) {
    return mask(cmp_gt(i32x4::splat(0x00800000), x.bits())) | mask_abs_above(x, 0x7F7FFFFF);
  }
  static int element(const float* x, float* r) {
    int status;
    if (invsqrt_special(*x, r, &status)) return status;
    if (*x < 0x1p-126f) *r = static_cast<float>(1.0 / std::sqrt(static_cast<double>(*x)));
    else *r = packed_one<SInvSqrt>(*x);
    return status;
  }
};

struct SInvSqrtLA : SInvSqrt {
  static f32x4 packed(f32x4 x) { return f32x4::splat(1.0f) / sqrt(x); }
  static int screen(f32x4 x) { return not_positive_lanes(x) | mask_abs_above(x, 0x7F7FFFFF); }
  static int element(const float* x, float* r) {
    int status;
    if (!invsqrt_special(*x, r, &status)) *r = packed_one<SInvSqrtLA>(*x);
    return status;
  }
};

template <bool kCorrect>
struct DInvSqrt : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 y0 = kc<1.0>() / sqrt(x);
    if constexpr (!kCorrect) {
      return y0;
    } else {
      f64x2 t, tl, p, pl;
      two_prod(y0, y0, t, tl);
      two_prod(x, t, p, pl);
      const f64x2 e = (kc<1.0>() - p) - (pl + x * tl);
      return y0 + y0 * (e * kc<0.5>());
    }
  }
  static int screen(f64x2 x) { return sign_lanes(x) | abs_high_outside(x, 0x07B00000, 0x7DFFFFFF); }
  static int element(const double* px, double* r) {
    const double x = *px;
    int status;
    if (invsqrt_special(x, r, &status)) return status;
    if (x < 0x1p-900) *r = packed_one<DInvSqrt>(x * 0x1p200) * 0x1p100;
    else if (x >= 0x1p993) *r = packed_one<DInvSqrt>(x * 0x1p-200) * 0x1p-100;
    else *r = packed_one<DInvSqrt>(x);
    return kOk;
  }
};
using DInvSqrtHA = DInvSqrt<true>;
using DInvSqrtLA = DInvSqrt<false>;

}  // namespace
}  // namespace qor::vm::roots
