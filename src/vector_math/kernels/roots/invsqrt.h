// InvSqrt: 1/sqrt(x).
//   single HA: the approximate reciprocal square root (rsqrtps) cut to 12 bits and corrected in
//     single precision with the residual 1 - x y^2 from four exact products and the series of
//     (1 - e)^(-1/2) to e^3 (SInvSqrt below): within 0.5 ulp plus about 2^-10 ulp, no square
//     root or division. (Replaced: the same series in double precision on widened lanes, 1.4x
//     slower.) Arguments outside [2^-100, 2^100) go to the per-element routine (1 / sqrt in
//     double, rounded once).
//   single LA (LA and EP slots): 1 / sqrt(x) in single precision (sqrtps, divps), two
//     roundings: below 1.5 ulp (about 22.4 correct bits), as fast as the two instructions.
//   double HA: y = 1 / sqrt(x) cut to 26 bits, then y (1 + e/2 + 3e^2/8) with e = 1 - x y^2
//     from four exact products (DInvSqrt below): within 0.5 ulp plus about 2^-20 ulp.
//   double LA (LA and EP slots): 1 / sqrt(x) alone, two roundings: below 1.5 ulp.
// Per element: NaN itself; +-0: +-inf, status 2; negative: NaN, status 1; +inf: +0. The double
// kernels also send |x| outside [2^-900, 2^993) there, where the argument is scaled by an even
// power of two for the packed formula.
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

// Single HA, all in single precision: y = rsqrtps(x) cut to its top 12 bits (within 2^-10.2
// relative), so that y^2 (24 bits) is exact and x y^2 splits into four exact products (x and y^2
// cut into 12 + 12 bits); e = 1 - x y^2 (|e| < 2^-9.2; 1 - xh th exact, the other three summed
// first: about 2^-34 absolute), then y (1 + e/2 + 3e^2/8 + 5e^3/16) (the next term below 2^-38),
// the correction (about 2^-10 y) evaluated in single precision (2^-33 y): within 0.5 ulp plus
// about 2^-10 ulp. The products of the low parts stay normal, also in the flush-to-zero modes,
// for x in [2^-100, 2^100): the screen sends the rest to the per-element routine (1 / sqrt in
// double precision, rounded once).
struct alignas(16) SInvSqrtRows {
  uint32_t top12[4];
  float one[4], c1[4], c2[4], c3[4];
};
inline constexpr SInvSqrtRows kSInvSqrtRows = {QOR_ROW4(0xFFFFF000u), QOR_ROW4(1.0f), QOR_ROW4(0.5f), QOR_ROW4(0.375f),
                                               QOR_ROW4(0.3125f)};

struct SInvSqrt : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kInlineBlocks = true;
  static f32x4 packed(f32x4 x) {
    const SInvSqrtRows& c = opaque(kSInvSqrtRows);
    const f32x4 m = row(c.top12);
    const f32x4 y = f32x4(_mm_rsqrt_ps(x.v)) & m;
    const f32x4 t = y * y;
    const f32x4 xh = x & m, xl = x - xh, th = t & m, tl = t - th;
    const f32x4 e = (row(c.one) - xh * th) - ((xh * tl + xl * th) + xl * tl);
    return y + y * (e * (row(c.c1) + e * (row(c.c2) + e * row(c.c3))));
  }
  // outside [2^-100, 2^100) (zeros, negatives, subnormals, +inf, NaN included): the pattern
  // minus 2^-100's above the width of the range as unsigned words, compared as signed ones after
  // adding 2^31 to both
  static int screen(f32x4 x) {
    const __m128i d = _mm_add_epi32(x.bits().v, _mm_set1_epi32(static_cast<int32_t>(0x80000000u - 0x0D800000u)));
    const __m128i limit = _mm_set1_epi32(static_cast<int32_t>(0x71800000u - 0x0D800000u - 1u + 0x80000000u));
    return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(d, limit)));
  }
  static int element(const float* x, float* r) {
    int status;
    if (invsqrt_special(*x, r, &status)) return status;
    if (*x < 0x1p-100f || *x >= 0x1p100f) *r = static_cast<float>(1.0 / std::sqrt(static_cast<double>(*x)));
    else *r = packed_one<SInvSqrt>(*x);
    return status;
  }
};

struct SInvSqrtLA : SInvSqrt {
  static constexpr bool kInlineBlocks = false;
  static f32x4 packed(f32x4 x) { return f32x4::splat(1.0f) / sqrt(x); }
  static int screen(f32x4 x) { return not_positive_lanes(x) | mask_abs_above(x, 0x7F7FFFFF); }
  static int element(const float* x, float* r) {
    int status;
    if (!invsqrt_special(*x, r, &status)) *r = packed_one<SInvSqrtLA>(*x);
    return status;
  }
};

// Double HA: y = 1 / sqrt(x) cut to its top 26 bits (within 2^-25 relative), so that y^2 is
// exact and x y^2 splits into four exact products (x and y^2 cut into 26 + 27 and 26 + 26 bits):
// e = 1 - x y^2 within about 2^-76 (|e| < 2^-24, 1 - xh th exact), then y (1 + e/2 + 3e^2/8)
// (the next term below 2^-73): within 0.5 ulp plus about 2^-20 ulp. (Replaced: the rounded
// quotient and two Dekker two-products, 1.6x slower.)
struct alignas(16) DInvSqrtRows {
  uint64_t top26[2];
  double one[2], half[2], three_eighths[2];
};
inline constexpr DInvSqrtRows kDInvSqrtRows = {QOR_ROW2(0xFFFFFFFFF8000000ull), QOR_ROW2(1.0), QOR_ROW2(0.5),
                                               QOR_ROW2(0.375)};

template <bool kCorrect>
struct DInvSqrt : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    if constexpr (!kCorrect) {
      return kc<1.0>() / sqrt(x);
    } else {
      const DInvSqrtRows& c = opaque(kDInvSqrtRows);
      const f64x2 m = row(c.top26);
      const f64x2 y = (row(c.one) / sqrt(x)) & m;
      const f64x2 t = y * y;
      const f64x2 xh = x & m, xl = x - xh, th = t & m, tl = t - th;
      const f64x2 e = (((row(c.one) - xh * th) - xh * tl) - xl * th) - xl * tl;
      return y + y * (e * (row(c.half) + e * row(c.three_eighths)));
    }
  }
  static int screen(f64x2 x) { return high_outside(x, 0x07B00000, 0x7DFFFFFF); }  // negatives too
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
