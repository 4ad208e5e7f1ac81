// InvSqrt: 1/sqrt(x).
//   single HA: the approximate reciprocal square root (rsqrtps) cut to 9 bits and corrected in
//     single precision with the residual e = 1 - x y^2 from two exact products and one rounded
//     one and a polynomial in e (SInvSqrt below): within 0.5 ulp plus about 2^-7 ulp (0.5094 ulp
//     over every float), no square root or division. Arguments outside [2^-100, 2^100) go to the
//     per-element routine (1 / sqrt in double, rounded once).
//   double HA: the same from rsqrtps on x rounded to float and one Newton step in double, y cut
//     to 22 bits, then y (1 + e/2 + 3e^2/8) with e = 1 - x y^2 from two exact products and one
//     rounded one (DInvSqrtHA below): within 0.5 ulp plus about 2^-8 ulp, no square root or
//     division. Arguments outside [2^-126, 2^126) go to the per-element routine, which scales
//     them by an even power of two.
//   Both HA kernels serve the LA and EP slots too: faster than 1 / sqrt(x) by sqrtps/sqrtpd and
//     divps/divpd (two roundings, 1.5 ulp), which those slots took before.
// Per element: NaN itself; +-0: +-inf, status 2; negative: NaN, status 1; +inf: +0.
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

// Single HA, all in single precision: y = rsqrtps(x) cut to its top 9 bits (within 2^-7.9
// relative), so that t = y^2 (18 bits) is exact; x = xh + xl with xh its top 6 bits, so that xh t
// (24 bits) is exact and 1 - xh t too (x t lies within 1% of 1); e = (1 - xh t) - xl t lies in
// [-2^-10.4, 2^-6.9] and carries the rounding of xl t (|xl| < 2^-5 x: below 2^-29) and of the
// subtraction (2^-31); then y + y e Q(e) with Q of degree 2 fitted to ((1 - e)^(-1/2) - 1) / e on
// that interval (relative error 2^-34.1 with its coefficients in float): within 0.5 ulp plus
// about 2^-7 ulp. (Replaced: y cut to 12 bits and x y^2 from four exact products with the
// series to e^3, 22 operations against 16 now, 1.3-1.5x the loop; before that the series in
// double on widened lanes, 1.8x.) The products of the low parts stay normal, also in the
// flush-to-zero modes, for x in [2^-100, 2^100): the screen sends the rest to the per-element
// routine (1 / sqrt in double precision, rounded once).
struct alignas(16) SInvSqrtRows {
  uint32_t top9[4], top6[4];
  float one[4], q0[4], q1[4], q2[4];
};
inline constexpr SInvSqrtRows kSInvSqrtRows = {QOR_ROW4(0xFFFF8000u), QOR_ROW4(0xFFFC0000u), QOR_ROW4(1.0f),
                                               QOR_ROW4(0x1p-1f),     QOR_ROW4(0x1.7ffdd6p-2f), QOR_ROW4(0x1.43531cp-2f)};

struct SInvSqrt : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kInlineBlocks = true;
  static f32x4 packed(f32x4 x) {
    const SInvSqrtRows& c = opaque(kSInvSqrtRows);
    const f32x4 y = f32x4(_mm_rsqrt_ps(x.v)) & row(c.top9);
    const f32x4 t = y * y;
    const f32x4 xh = x & row(c.top6), xl = x - xh;
    const f32x4 e = (row(c.one) - xh * t) - xl * t;
    return y + (y * e) * (row(c.q0) + e * (row(c.q1) + e * row(c.q2)));
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

// Double HA, no square root or division: y0 = rsqrtps(x rounded to float) (within 2^-11.4
// relative), one Newton step y1 = y0 (3/2 - (x/2) y0^2) in double (within 2^-22.2), y1 cut to
// its top 22 bits (y, within 2^-20.6), so that t = y^2 (44 bits) is exact; x = xh + xl with xh
// its top 9 bits, so that xh t (53 bits) is exact and 1 - xh t too; e = (1 - xh t) - xl t
// (|e| < 2^-19.6) carries the rounding of xl t (|xl| < 2^-8 x: below 2^-61), then
// y + y e (1/2 + 3e/8) (the next term below 2^-60.4): within 0.5 ulp plus about 2^-8 ulp.
// x in [2^-126, 2^126) (a normal float, and every product normal); the per-element routine
// scales the rest by an even power of two into [1, 4) (the result by its square root).
// (Replaced: y from 1 / sqrt(x) by sqrtpd and divpd, 1.1-1.4x the loop of the two.)
struct alignas(16) DInvSqrtRows {
  uint64_t top22[2], top9[2];
  double one[2], half[2], three_halves[2], three_eighths[2];
};
inline constexpr DInvSqrtRows kDInvSqrtRows = {QOR_ROW2(0xFFFFFFFF80000000ull), QOR_ROW2(0xFFFFF00000000000ull),
                                               QOR_ROW2(1.0),
                                               QOR_ROW2(0.5),
                                               QOR_ROW2(1.5),
                                               QOR_ROW2(0.375)};

struct DInvSqrtHA : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const DInvSqrtRows& c = opaque(kDInvSqrtRows);
    const f64x2 y0 = _mm_cvtps_pd(_mm_rsqrt_ps(_mm_cvtpd_ps(x.v)));
    const f64x2 y1 = y0 * (row(c.three_halves) - (x * row(c.half)) * (y0 * y0));
    const f64x2 y = y1 & row(c.top22);
    const f64x2 t = y * y;
    const f64x2 xh = x & row(c.top9), xl = x - xh;
    const f64x2 e = (row(c.one) - xh * t) - xl * t;
    return y + (y * e) * (row(c.half) + e * row(c.three_eighths));
  }
  static int screen(f64x2 x) { return high_outside(x, 0x38100000, 0x47CFFFFF); }  // negatives too
  static int element(const double* px, double* r) {
    const double x = *px;
    int status;
    if (invsqrt_special(x, r, &status)) return status;
    if (x >= 0x1p-126 && x < 0x1p126) {
      *r = packed_one<DInvSqrtHA>(x);
    } else {
      int ex;
      (void)std::frexp(x, &ex);     // x = m 2^ex, m in [1/2, 1)
      const int j = (ex - 1) >> 1;  // x 4^-j in [1, 4); the result 2^-j times its root's reciprocal
      *r = std::ldexp(packed_one<DInvSqrtHA>(std::ldexp(x, -2 * j)), -j);
    }
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::roots
