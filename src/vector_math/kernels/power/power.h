// The families of the power functions and Hypot, float and double, on the core of pow_core.h.
//
//   Pow, Powx     C's pow: every special case (x^0 = 1 and 1^y = 1 even for NaN, signed zeros
//                 and infinities, negative bases with integer exponents), a negative finite base
//                 with a non-integer finite exponent gives NaN with status 1, 0^(y < 0) an
//                 infinity with status 2, an overflowing result +-inf with status 3 and a result
//                 below the least normal number (subnormal or zero) status 4. Powx is the same
//                 family with the exponent a scalar.
//   Powr          IEEE powr = exp(y log x): NaN with status 1 for x < 0, 0^0, inf^0 and 1^inf;
//                 0^(y < 0) = +inf with status 2; -0 counts as +0; overflow and underflow as Pow.
//   Pow2o3        |x|^(2/3) (the real cube root of x^2, so negative x are in the domain), with
//                 2/3 carried as a double-double; +-0 -> +0, +-inf -> +inf; underflow status 4.
//   Pow3o2        x^(3/2) = Pow(x, 1.5): x < 0 gives NaN with status 1, overflow status 3,
//                 underflow status 4.
//   Hypot         sqrt(a^2 + b^2) without intermediate overflow or underflow; an infinite
//                 argument gives +inf even beside a NaN; nothing is reported (an overflowing
//                 result is +inf). Single precision sums the squares in double precision (both
//                 arguments scaled by a power of two from the larger exponent in the per-element
//                 routine); double precision sums them as a double-double and corrects the square
//                 root once (about 0.5 ulp), scaling outside [2^-500, 2^500].
//
// Single-precision kernels run the lighter packed core of spow_core.h (plain double arithmetic on
// the widened lanes, within 0.5 + 2^-24 ulp); lanes whose result would not be a normal float go to
// the per-element routine, which evaluates the double-double core and judges overflow and
// underflow on the float result. Double precision: the HA kernels run the double-double core,
// the LA kernels the natural-logarithm core (pow_packed_la), the EP kernels the plain-double
// core (Acc below); Hypot runs one formula in every slot. Every flavour's per-element routine is
// the HA one.
//
// Included by one source file per code path; everything here is private to that file.
#pragma once

#include <cmath>
#include <limits>

#include "vector_math/kernels/power/pow_core.h"
#include "vector_math/kernels/power/spow_core.h"

namespace qor::vm {
namespace {
namespace power_fam {

using namespace qor::vm::power;
using spow::pow_packed_f;

// 2/3 as a double-double.
constexpr double kTwoThirdsHi = 0x1.5555555555555p-1, kTwoThirdsLo = 0x1.5555555555555p-55;

enum class Kind { Pow, Powr };

// The double kernels' formula: HA the double-double core (pow_core.h), LA the natural-logarithm
// core (pow_packed_la), EP the plain-double core of spow_core.h. The float kernels run the
// plain-double core in every slot.
enum class Acc { HA, LA, EP };

template <class T, Kind kK, Acc kA = Acc::HA>
struct PowFamily : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr int kIn = 2;
  static QOR_SIMD_INLINE int packed_checked(V x, V y, V& r) {
    if constexpr (sizeof(T) == 8 && kA == Acc::EP) {
      return spow::pow_packed_d(x, y, r);
    } else if constexpr (sizeof(T) == 8 && kA == Acc::LA) {
      return pow_packed_la(x, y, f64x2(), r);
    } else if constexpr (sizeof(T) == 8) {
      return pow_packed(x, y, f64x2(), r);
    } else {
      return pow_packed_f(x, widen_lo(y), widen_hi(y), r);
    }
  }
  static int element(const T* x, const T* y, T* r) {
    if constexpr (kK == Kind::Pow) return pow_c<T>(static_cast<double>(*x), static_cast<double>(*y), 0.0, r);
    else return powr_c<T>(static_cast<double>(*x), static_cast<double>(*y), r);
  }
};

template <class T, Acc kA = Acc::HA>
struct Pow2o3 : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static QOR_SIMD_INLINE int packed_checked(V x, V& r) {
    const auto f = [](f64x2 a, f64x2, f64x2& o) {
      return pow_packed(simd::abs(a), kc<kTwoThirdsHi>(), kc<kTwoThirdsLo>(), o);
    };
    if constexpr (sizeof(T) == 8 && kA == Acc::EP) return spow::pow_packed_d(simd::abs(x), kc<kTwoThirdsHi>(), r);
    else if constexpr (sizeof(T) == 8 && kA == Acc::LA) return pow_packed_la(simd::abs(x), kc<kTwoThirdsHi>(), kc<kTwoThirdsLo>(), r);
    else if constexpr (sizeof(T) == 8) return f(x, x, r);
    else return pow_packed_f(simd::abs(x), kc<kTwoThirdsHi>(), kc<kTwoThirdsHi>(), r);
  }
  static int element(const T* px, T* r) {
    const double x = std::fabs(static_cast<double>(*px));
    if (std::isnan(x) || std::isinf(x) || x == 0) {
      *r = static_cast<T>(x + x);  // NaN, +inf, +0
      return kOk;
    }
    T v = static_cast<T>(pow_positive(x, kTwoThirdsHi, kTwoThirdsLo));
    simd::barrier(v);
    *r = v;
    return range_status(v);
  }
};

template <class T, Acc kA = Acc::HA>
struct Pow3o2 : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static QOR_SIMD_INLINE int packed_checked(V x, V& r) {
    const auto f = [](f64x2 a, f64x2, f64x2& o) { return pow_packed(a, kc<1.5>(), f64x2(), o); };
    if constexpr (sizeof(T) == 8 && kA == Acc::EP) return spow::pow_packed_d(x, kc<1.5>(), r);
    else if constexpr (sizeof(T) == 8 && kA == Acc::LA) return pow_packed_la(x, kc<1.5>(), f64x2(), r);
    else if constexpr (sizeof(T) == 8) return f(x, x, r);
    else return pow_packed_f(x, kc<1.5>(), kc<1.5>(), r);
  }
  static int element(const T* x, T* r) { return pow_c<T>(static_cast<double>(*x), 1.5, 0.0, r); }
};

// ---- Hypot -----------------------------------------------------------------------------------
// sqrt(a^2 + b^2) of two double lanes, both within [2^-500, 2^500] or zero (the larger not
// zero), as hi + lo: the squares summed as a double-double, the square root corrected once.
QOR_SIMD_INLINE void hypot_parts(f64x2 a, f64x2 b, f64x2& hi, f64x2& lo) {
  const f64x2 ph = a * a, qh = b * b;
  const f64x2 pl = two_sqr_err(a, ph), ql = two_sqr_err(b, qh);
  f64x2 sh, se;
  two_sum(ph, qh, sh, se);
  const f64x2 sl = se + (pl + ql);
  hi = _mm_sqrt_pd(sh.v);
  const f64x2 rr = hi * hi;
  const f64x2 d = ((sh - rr) - two_sqr_err(hi, rr)) + sl;
  lo = d / (hi + hi);
}
// Lanes whose larger magnitude lies outside [2^-500, 2^500) (zeros, infinities and NaNs
// included).
QOR_SIMD_INLINE int hypot_out_of_range(f64x2 a, f64x2 b) {
  const f64x2 m = simd::max(simd::abs(a), simd::abs(b));
  const __m128i d = _mm_sub_epi32(high_words(m), _mm_set1_epi32(0x20B00000));
  const __m128i bad = _mm_cmpgt_epi32(_mm_xor_si128(d, _mm_set1_epi32(static_cast<int>(0x80000000u))),
                                      _mm_set1_epi32(static_cast<int>((0x5F300000u - 0x20B00000u) ^ 0x80000000u) - 1));
  // a NaN in either lane: max() may have dropped it
  const int nan = simd::mask(f64x2(_mm_cmpunord_pd(a.v, b.v)));
  return (_mm_movemask_ps(_mm_castsi128_ps(bad)) & 3) | nan;
}

template <class T>
struct Hypot;

template <>
struct Hypot<float> : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr int kIn = 2;
  static QOR_SIMD_INLINE f64x2 sum2(f64x2 a, f64x2 b) { return _mm_sqrt_pd((a * a + b * b).v); }
  static int screen(f32x4 x, f32x4 y) {  // infinities and NaNs
    const i32x4 e = simd::abs(x).bits(), f = simd::abs(y).bits();
    return simd::mask(simd::cmp_gt(e, i32x4::splat(0x7F7FFFFF)) | simd::cmp_gt(f, i32x4::splat(0x7F7FFFFF)));
  }
  static f32x4 packed(f32x4 x, f32x4 y) {
    return narrow(sum2(widen_lo(x), widen_lo(y)), sum2(widen_hi(x), widen_hi(y)));
  }
  // the rare-value routine: both arguments scaled by a power of two from the larger exponent
  static int element(const float* px, const float* py, float* r) {
    const float a = std::fabs(*px), b = std::fabs(*py);
    if (std::isinf(a) || std::isinf(b)) { *r = INFINITY; return kOk; }
    if (std::isnan(a) || std::isnan(b)) { *r = *px + *py; return kOk; }
    if (a == 0 && b == 0) { *r = 0.0f; return kOk; }
    const int e = std::ilogb(a > b ? a : b);
    const double as = std::ldexp(static_cast<double>(a), -e), bs = std::ldexp(static_cast<double>(b), -e);
    *r = static_cast<float>(std::ldexp(std::sqrt(as * as + bs * bs), e));
    return kOk;
  }
};

template <>
struct Hypot<double> : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr int kIn = 2;
  static QOR_SIMD_INLINE int packed_checked(f64x2 x, f64x2 y, f64x2& r) {
    f64x2 hi, lo;
    hypot_parts(simd::abs(x), simd::abs(y), hi, lo);
    r = hi + lo;
    return hypot_out_of_range(x, y);
  }
  static int element(const double* px, const double* py, double* r) {
    const double a = std::fabs(*px), b = std::fabs(*py);
    if (std::isinf(a) || std::isinf(b)) { *r = INFINITY; return kOk; }
    if (std::isnan(a) || std::isnan(b)) { *r = *px + *py; return kOk; }
    const double m = a > b ? a : b;
    if (m == 0) { *r = 0.0; return kOk; }
    // scale the larger to [1, 2): the smaller, if it underflows, is below 2^-1000 of it
    const int e = std::ilogb(m);
    f64x2 h2, l2;
    hypot_parts(f64x2::splat(std::ldexp(a, -e)), f64x2::splat(std::ldexp(b, -e)), h2, l2);
    const double hi = lane0(h2), lo = lane0(l2);
    if (e >= -1000) {
      const double s = hi + lo;
      if (e > 1000) *r = mul_rt(s * std::ldexp(1.0, e - 2), 4.0);
      else *r = std::ldexp(s, e);
      return kOk;
    }
    *r = scale_down_once(hi, lo, e);
    return kOk;
  }
};

}  // namespace power_fam
}  // namespace
}  // namespace qor::vm
