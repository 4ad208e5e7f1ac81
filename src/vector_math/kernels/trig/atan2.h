// Atan2 and Atan2pi, single and double precision, on the arctangent core (atan_core.h):
// atan2(y, x) = sign(y) atan2_core(|y|, |x|), the core choosing atan(v) with v = min/max <= 1 and
// the multiple of pi/2 it is added to or subtracted from by the quadrant; Atan2pi multiplies the
// double-double angle by 1/pi (hi + lo) before the one rounding.
//
// Double precision: the packed formula takes lanes with 2^-480 <= |x|, |y| < 2^480 (the quotient
// min/max then stays at or above 2^-961, so that its double-double remainder stays normal); the
// screen sends the rest, with zeros, subnormals, infinities and NaNs, to the element routine:
//   - the special values of C99 Annex F (F.9.1.4), none of them reported: a NaN argument gives
//     NaN; atan2(+-0, x) = +-0 for x > 0 or x = +0 and +-pi for x < 0 or x = -0; atan2(+-inf, x) =
//     +-pi/4 (x = +inf), +-3pi/4 (x = -inf), +-pi/2 (x finite); atan2(y, +-0) = +-pi/2 for finite
//     y != 0; atan2(+-y, +inf) = +-0 and atan2(+-y, -inf) = +-pi for finite y > 0;
//   - finite non-zero pairs whose exponents differ by at most 950 are scaled by a common power of
//     two (exactly) into the packed formula's range;
//   - |y| >> |x| (exponents more than 950 apart): +-(pi/2 - x/y), which rounds to +-pi/2
//     (Atan2pi +-1/2);
//   - |y| << |x|: for x < 0, +-(pi - |y/x|), rounding to +-pi (Atan2pi +-1); for x > 0, atan2 =
//     y/x rounded once (atan v = v (1 - v^2/3 ...) with v below 2^-950: the correctly rounded
//     quotient is within 2^-1900 relative of the correctly rounded arctangent), and Atan2pi
//     (y/x)/pi from the quotient of y and x scaled to about 2^-100 and 1 (the scaled quotient
//     is (y/x) 2^m, m = the exponent difference - 100) as a double-double, times 1/pi, and one
//     scaling back by 2^-m (rounded twice where the result is subnormal, as Atanpi's tiny
//     arguments: up to 0.75 ulp), or +-0 with underflow beyond an exponent difference of 1080.
// Single precision runs plain double arithmetic on the widened lanes (satan2_half) and rounds
// once; zeros, subnormals (read as zero under denormals-are-zero), infinities and NaNs take the
// double-precision element routine. The three slots of a function run the same formula.
#pragma once

#include <cmath>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/kernels/trig/atan_core.h"

namespace qor::vm::trig {

template <bool kPi>
QOR_SIMD_INLINE f64x2 atan2_packed(f64x2 y, f64x2 x) {
  f64x2 h, l;
  atan2_core(abs(y), f64x2(), abs(x), f64x2(), cmp_lt(x, f64x2()), h, l);
  return flip(kPi ? times_inv_pi(h, l) : h + l, sign_bits(y));
}

template <bool kPi>
inline int atan2_element(const double* py, const double* px, double* out) {
  const double y = *py, x = *px;
  constexpr double kPio2 = kPi ? 0.5 : kAtanRows.pio2_hi[0];
  constexpr double kPi1 = 2 * kPio2;
  if (std::isnan(x) || std::isnan(y)) {
    *out = x + y;
    return kOk;
  }
  if (y == 0) {
    *out = std::signbit(x) ? std::copysign(kPi1, y) : y;
    return kOk;
  }
  if (std::isinf(y)) {
    const double a = !std::isinf(x) ? kPio2 : x > 0 ? (kPi ? 0.25 : 0x1.921fb54442d18p-1) : (kPi ? 0.75 : 0x1.2d97c7f3321d2p+1);
    *out = std::copysign(a, y);
    return kOk;
  }
  if (x == 0) {
    *out = std::copysign(kPio2, y);
    return kOk;
  }
  if (std::isinf(x)) {
    *out = std::copysign(x > 0 ? 0.0 : kPi1, y);
    return kOk;
  }
  const int ey = std::ilogb(y), ex = std::ilogb(x);
  const AtanRows& k = kAtanRows;
  if (ey - ex > 950) {  // pi/2 - x/y
    const double t = div_rt(x, y);
    *out = std::copysign(kPi ? 0.5 - t * k.inv_pi_hi[0] : k.pio2_hi[0] + (k.pio2_lo[0] - t), y);
    return kOk;
  }
  if (ex - ey > 950) {
    const double t = std::fabs(div_rt(y, x));
    if (x < 0) {
      *out = std::copysign(kPi ? 1.0 - t * k.inv_pi_hi[0] : 2 * k.pio2_hi[0] + (2 * k.pio2_lo[0] - t), y);
    } else if (!kPi) {
      *out = div_rt(y, x);
    } else if (ex - ey > 1080) {
      *out = std::copysign(mul_rt(0x1p-1000, 0x1p-100), y);
    } else {
      const int m = ex - ey - 100;  // y/x = (ys/xs) 2^-m with |xs| in [1, 2), |ys| in [2^-100, 2^-99)
      const double ys = std::scalbn(y, -ey - 100), xs = std::scalbn(x, -ex);
      const double qh = ys / xs;
      double p, pe;
      two_prod(qh, xs, p, pe);
      const double ql = ((ys - p) - pe) / xs;
      *out = mul_rt(lane0(times_inv_pi(f64x2::splat(qh), f64x2::splat(ql))), std::ldexp(1.0, -m));
    }
    return kOk;
  }
  const int e = ey > ex ? ey : ex;
  *out = lane0(atan2_packed<kPi>(f64x2::splat(std::scalbn(y, -e)), f64x2::splat(std::scalbn(x, -e))));
  return kOk;
}

// Lanes with |v| outside [2^-480, 2^480) (zeros, subnormals, infinities and NaNs included).
QOR_SIMD_INLINE int mask_outside_2p480(f64x2 v) {
  const __m128i h = _mm_shuffle_epi32(abs(v).bits().v, _MM_SHUFFLE(3, 3, 1, 1));
  const __m128i out = _mm_or_si128(_mm_cmplt_epi32(h, _mm_set1_epi32(0x21F00000)),
                                   _mm_cmpgt_epi32(h, _mm_set1_epi32(0x5DEFFFFF)));
  return _mm_movemask_pd(_mm_castsi128_pd(out));
}

template <bool kPi, class Tag = void>
struct DAtan2 : FamilyBase<double> {
  static constexpr int kIn = 2;
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 packed(f64x2 y, f64x2 x) { return atan2_packed<kPi>(y, x); }
  static int screen(f64x2 y, f64x2 x) { return mask_outside_2p480(y) | mask_outside_2p480(x); }
  static int element(const double* y, const double* x, double* r) { return atan2_element<kPi>(y, x, r); }
};

// Single precision, two lanes in double: mn = min(|y|, |x|), mx = max, j from the float quotient
// (j is round(64 mn/mx) or, at a tie, its neighbour, so |t| <= 1/128 + 2^-22), c = j/64,
//   t = (mn - c mx) / (mx + c mn)   (the numerator exact: c has 7 bits and mx 24, and where
//                                     j > 0 mn and c mx are within a factor 2 of each other),
//   atan(mn/mx) = A_j + t + t^3 (-1/3 + t^2 (1/5 - t^2/7))   (truncation below 2^-66 of t;
//                                     A_j = atan(j/64) from the table's high and low parts),
// then pi/2 - a where |y| > |x|, pi - a where x < 0, and the sign of y (Atan2pi: times 1/pi).
// Error about 2^-51 relative: the float result is correctly rounded but for angles within about
// 2^-27 ulp of a midpoint between floats.
template <bool kPi>
QOR_SIMD_INLINE f64x2 satan2_half(f64x2 y, f64x2 x, f64x2 j, uint32_t ja, uint32_t jb) {
  const AtanRows& k = opaque(kAtanRows);
  const f64x2 n = abs(y), d = abs(x);
  const f64x2 mn = min(n, d), mx = max(n, d);
  const f64x2 c = j * f64x2::splat(1.0 / 64);
  const f64x2 t = (mn - c * mx) / (mx + c * mn);
  const f64x2 t2 = t * t;
  const f64x2 p = t + (t * t2) * (row(k.p[0]) + t2 * (row(k.p[1]) + t2 * row(k.p[2])));
  const __m128d ea = _mm_load_pd(kAtanJ64[ja]), eb = _mm_load_pd(kAtanJ64[jb]);
  const f64x2 a = f64x2(_mm_unpacklo_pd(ea, eb)) + (f64x2(_mm_unpackhi_pd(ea, eb)) + p);
  const f64x2 swap = cmp_lt(d, n), xneg = cmp_lt(x, f64x2());
  const f64x2 a1 = (swap & row(k.pio2_hi)) + flip(a, swap & f64x2::splat(-0.0));
  const f64x2 a2 = (xneg & f64x2::splat(2 * kAtanRows.pio2_hi[0])) + flip(a1, xneg & f64x2::splat(-0.0));
  return flip(kPi ? a2 * row(k.inv_pi_hi) : a2, sign_bits(y));
}

template <bool kPi, class Tag = void>
struct SAtan2 : FamilyBase<float> {
  static constexpr int kIn = 2;
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 y, f32x4 x) {
    const f32x4 n = abs(y), d = abs(x);
    const f32x4 q = f32x4(_mm_div_ps(min(n, d).v, max(n, d).v)) * f32x4::splat(64.0f);
    // screened lanes (NaN, zero quotients) may give any integer: clamped to the table's 0 .. 64
    const __m128i j = _mm_min_epi16(_mm_and_si128(_mm_cvtps_epi32(q.v), _mm_set1_epi32(127)), _mm_set1_epi32(64));
    uint32_t ji[4];
    lane_indices(i32x4(j), ji);
    return narrow(satan2_half<kPi>(widen_lo(y), widen_lo(x), _mm_cvtepi32_pd(j), ji[0], ji[1]),
                  satan2_half<kPi>(widen_hi(y), widen_hi(x), _mm_cvtepi32_pd(_mm_unpackhi_epi64(j, j)), ji[2], ji[3]));
  }
  // zeros, subnormals, infinities and NaNs
  static int screen(f32x4 y, f32x4 x) {
    const i32x4 lo = i32x4::splat(0x00800000), hi = i32x4::splat(0x7F7FFFFF);
    const i32x4 ay = abs(y).bits(), ax = abs(x).bits();
    return mask(cmp_gt(lo, ay) | cmp_gt(ay, hi) | cmp_gt(lo, ax) | cmp_gt(ax, hi));
  }
  static int element(const float* y, const float* x, float* r) {
    const double yd = *y, xd = *x;
    double rd;
    const int st = atan2_element<kPi>(&yd, &xd, &rd);
    *r = static_cast<float>(rd);
    return st;
  }
};

}  // namespace qor::vm::trig
