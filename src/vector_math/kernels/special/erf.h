// Erf, Erfc and CdfNorm (single and double precision, one formula in every slot): the extended
// precision evaluations of common.h rounded once.
//   Erf:     odd; +-inf give +-1; no status.
//   Erfc:    -inf gives 2, +inf gives 0; results below the normal range (x beyond 26.543 in
//            double, 9.194 in single) are rounded once from the extended value and reported as
//            underflow (status 4), up to and including 0 beyond the least subnormal.
//   CdfNorm: Phi(x) = erfc(-x / sqrt 2) / 2 with the argument kept exact as a sum th + tl (see
//            cdfnorm_ld), tl joined to erfc through its slope,
//            erfc(t + d) = erfc(t) - d 2/sqrt(pi) e^-t^2. So the relative accuracy holds
//            down to the underflow threshold (-37.519 in double, -12.99 in single); below it
//            status 4 as for Erfc. -inf gives 0 and +inf 1 without a report.
// The screens send NaNs, infinities and the underflow ranges to the per-element routines.
#pragma once

#include "vector_math/kernels/special/common.h"

namespace qor::vm::special {
namespace {

template <class T>
struct Erf : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static V packed(V x) { return each_lane<T, Erf>(x); }
  static int screen(V x) { return Range<T>::outside(x, -std::numeric_limits<T>::max(), std::numeric_limits<T>::max()); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::isinf(x)) *r = x > 0 ? T(1) : T(-1);
    else *r = static_cast<T>(erf_ld(x));
    return kOk;
  }
};

template <class T>
struct ErfcLimits;
template <>
struct ErfcLimits<float> {
  static constexpr float kErfcUnder = 9.19f, kCdfUnder = -12.99f;
};
template <>
struct ErfcLimits<double> {
  static constexpr double kErfcUnder = 26.54, kCdfUnder = -37.51;
};

template <class T>
struct Erfc : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static V packed(V x) { return each_lane<T, Erfc>(x); }
  static int screen(V x) { return Range<T>::outside(x, -std::numeric_limits<T>::max(), ErfcLimits<T>::kErfcUnder); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::isinf(x)) *r = x > 0 ? T(0) : T(2);
    else {
      *r = static_cast<T>(erfc_ld(x));
      return underflow_status(*r);
    }
    return kOk;
  }
};

// Phi(x) in extended precision for finite x: t = -x / sqrt 2 = th + tl, th = -x C rounded (C =
// 1/sqrt 2 rounded to 64 bits), tl its exact rounding error (two-product on 32-bit halves) plus
// -x (1/sqrt 2 - C); then erfc(th + tl) = erfc(th) - tl 2/sqrt(pi) e^-th^2 (tl is below 2^-63 th).
inline LD cdfnorm_ld(LD x) {
  const LD v = -x, c = kInvSqrt2;
  const LD th = v * c;
  LD vh, vl, ch, cl;
  split_ld(v, vh, vl);
  split_ld(c, ch, cl);
  const LD tl = (((vh * ch - th) + vh * cl + vl * ch) + vl * cl) + v * 1.8950325588932570797e-20L;
  return (erfc_ld(th) - tl * erf_slope(th)) * 0.5L;
}

template <class T>
struct CdfNorm : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static V packed(V x) { return each_lane<T, CdfNorm>(x); }
  static int screen(V x) { return Range<T>::outside(x, ErfcLimits<T>::kCdfUnder, std::numeric_limits<T>::max()); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::isinf(x)) *r = x > 0 ? T(1) : T(0);
    else {
      *r = static_cast<T>(cdfnorm_ld(x));
      return underflow_status(*r);
    }
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::special
