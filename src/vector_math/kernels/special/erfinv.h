// ErfInv, ErfcInv and CdfNormInv (single and double precision, one formula in every slot): the
// Halley iterations of common.h in extended precision, rounded once.
//   ErfInv(x), |x| < 1: odd; on erf for |x| < 1/2 and on erfc(y) = 1 - |x| (exact) beyond, so
//     that arguments near +-1 keep their accuracy. Double precision sends |x| >= 1, |x| < 2^-35,
//     infinities and NaNs to vderfinv_cout_rare (below); single precision sends |x| >= 1 and NaNs
//     to its per-element routine, with the same results and statuses.
//   ErfcInv(q), 0 < q < 2: erfc y = q for q < 1/2 (also the tiniest q: ErfcInv(1e-300) =
//     26.209...), erf y = 1 - q for 1/2 <= q <= 1, and -ErfcInv(2 - q) above 1 (2 - q exact).
//     q = 0: +inf, q = 2: -inf, status 2; q outside [0, 2] (and infinities): NaN, status 1.
//   CdfNormInv(p) = -sqrt(2) ErfcInv(2p) (2p exact): p = 0: -inf, p = 1: +inf, status 2; p
//     outside [0, 1]: NaN, status 1.
// NaNs propagate without a report.
#pragma once

#include "vector_math/kernels/special/common.h"

namespace qor::vm::special {
namespace {

// y with erfc y = q, 0 < q < 2, in extended precision.
inline LD erfcinv_ld(LD q) {
  if (q <= 1) return erfinv_ld(1 - q, q);
  return -erfinv_ld(q - 1, 2 - q);
}

// The per-element routine of double-precision ErfInv (|x| >= 1, |x| < 2^-35, infinities, NaNs).
// For 0 < |x| < 2^-35 erfinv x = x sqrt(pi)/2 to within 2^-72 relative: x is scaled by 2^256 and
// split (1.5 * 2^36 + 1) into a high part of at most 26 significant bits and a low part, each
// multiplied by sqrt(pi)/2 = 0.88623046875 (11 bits: exact products) + c; x c is added with the
// low product first, and the sum scaled back by 2^-256. A result in the subnormal range is
// rounded once more, at the granularity that the scaling maps to the least subnormal (adding and
// removing 2^-766 with the sign of the sum, the sum's error joined before), so that the scaling is exact and the
// result rounds only once.
inline int vderfinv_cout_rare(const double* px, double* r) {
  const double x = *px;
  const double ax = std::fabs(x);
  if (std::isnan(x)) {
    *r = x + x;
    return kOk;
  }
  if (std::isinf(x)) {
    *r = nan_invalid_d();
    return kErrDom;
  }
  if (ax == 1.0) {
    *r = div_rt(x, 0.0);
    return kSing;
  }
  if (ax > 1.0) {
    *r = nan_invalid_d();
    return kErrDom;
  }
  if (x == 0.0) {
    *r = x;
    return kOk;
  }
  if (ax < 0x1p-35) {
    const double xs = x * 1.157920892373162e77;  // 2^256
    const double c = xs * 103079215105.0;        // 1.5 * 2^36 + 1
    const double hi = c - (c - xs);
    const double lo = xs - hi;
    const double ph = hi * 0.88623046875;           // exact
    const double pl = lo * 0.88623046875 + xs * -3.543297241986351e-6;
    double s = ph + pl;
    if (std::fabs(s) < 2.5764595078388533e-231) {  // a subnormal result: round at 2^-818 once
      const double e = (ph - s) + pl;               // s + e = ph + pl
      const double k = std::copysign(0x1p-766, s);  // s + k in [2^-766, 2^-765]: spacing 2^-818
      const double u = s + k;                        // s rounded to a multiple of 2^-818, plus k
      const double rem = s - (u - k);                // exact
      s = (u + (rem + e)) - k;
    }
    *r = s * double_of(0x2FF0000000000000ull);  // 2^-256
    return kOk;
  }
  *r = static_cast<double>(erfinv_ld(ax, 1 - static_cast<LD>(ax))) * (x < 0 ? -1.0 : 1.0);
  return kOk;
}

// Ordinary arguments of ErfInv in either precision.
template <class T>
inline T erfinv_ordinary(T x) {
  const LD a = std::fabs(static_cast<LD>(x));
  const T y = static_cast<T>(erfinv_ld(a, 1 - a));
  return x < 0 ? -y : y;
}

struct DErfInv : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 packed(f64x2 x) { return each_lane<double, DErfInv>(x); }
  // |x| >= 1 or NaN, |x| < 2^-35
  static int screen(f64x2 x) {
    const f64x2 a = abs(x);
    return mask(simd::cmp_le(kc<0x1p-35>(), a) & simd::cmp_lt(a, kc<1.0>())) ^ 0x3;
  }
  static int element(const double* px, double* r) {
    if (screen(f64x2::splat(*px))) return vderfinv_cout_rare(px, r);
    *r = erfinv_ordinary(*px);
    return kOk;
  }
};

struct SErfInv : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) { return each_lane<float, SErfInv>(x); }
  static int screen(f32x4 x) { return Range<float>::outside(x, -0x1.fffffep-1f, 0x1.fffffep-1f); }
  static int element(const float* px, float* r) {
    const float x = *px;
    if (std::isnan(x) || std::fabs(x) >= 1.0f) {
      const double xd = x;
      double rd;
      const int status = vderfinv_cout_rare(&xd, &rd);
      *r = static_cast<float>(rd);
      return status;
    }
    *r = x == 0.0f ? x : erfinv_ordinary(x);
    return kOk;
  }
};

// ErfcInv (kCdf false) and CdfNormInv (kCdf true).
template <class T, bool kCdf>
struct InvErfc : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static V packed(V x) { return each_lane<T, InvErfc>(x); }
  // the open interval (0, 2) or (0, 1)
  static int screen(V x) {
    const T top = kCdf ? T(1) : T(2);
    return Range<T>::outside(x, std::numeric_limits<T>::denorm_min(), std::nextafter(top, T(0)));
  }
  static int element(const T* px, T* r) {
    const T x = *px;
    const T top = kCdf ? T(1) : T(2);
    if (std::isnan(x)) {
      *r = x + x;
      return kOk;
    }
    if (x == T(0) || x == top) {
      const T s = (x == T(0)) == kCdf ? T(-1) : T(1);  // ErfcInv(0) = +inf, CdfNormInv(0) = -inf
      *r = div_rt(s, T(0));
      return kSing;
    }
    if (!(x > T(0) && x < top)) {
      *r = div_rt(T(0), T(0));
      return kErrDom;
    }
    const LD q = kCdf ? 2 * static_cast<LD>(x) : static_cast<LD>(x);
    const LD y = erfcinv_ld(q);
    *r = static_cast<T>(kCdf ? 0 - kSqrt2 * y : y);  // +0 at p = 1/2
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::special
