// What the reciprocal and root kernels (inv.h, sqrt.h, invsqrt.h, cbrt.h, invcbrt.h) share:
// exact products (Dekker's two-product without a fused multiply-add), the division-free inverse
// cube root, and the screens on the sign and the exponent field.
//
// The double-precision kernels that are not a single IEEE operation (InvSqrt, Cbrt, InvCbrt)
// compute an approximation y0 with an error of a few ulps or better, then one correction step
// whose residual (x y0^2 - 1, y0^3 - x, x y0^3 - 1) is formed exactly with two-products, so that
// the result is y0 plus a correction rounded once: within 0.5 ulp plus a few 2^-100 relative.
// The two-products split their factors (Veltkamp), which needs |factor| < 2^995; the screens
// send arguments whose exponent lies outside the range where every factor stays inside that
// bound, and outside the normal range, to the per-element routines, which scale them.
#pragma once

#include <emmintrin.h>

#include <cmath>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"

namespace qor::vm::roots {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

QOR_SIMD_INLINE f64x2 sqrt(f64x2 x) { return _mm_sqrt_pd(x.v); }
QOR_SIMD_INLINE f32x4 sqrt(f32x4 x) { return _mm_sqrt_ps(x.v); }

// a = hi + lo with hi holding the top 26 significant bits (Veltkamp split by 2^27 + 1).
QOR_SIMD_INLINE void split(f64x2 a, f64x2& hi, f64x2& lo) {
  const f64x2 c = a * kc<134217729.0>();
  hi = c - (c - a);
  lo = a - hi;
}
// a b = p + e exactly (no overflow or underflow in the partial products).
QOR_SIMD_INLINE void two_prod(f64x2 a, f64x2 b, f64x2& p, f64x2& e) {
  p = a * b;
  f64x2 ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// Lanes whose sign bit is set (negative numbers, -0, NaNs with the sign set).
QOR_SIMD_INLINE int sign_lanes(f64x2 x) { return mask(x); }
QOR_SIMD_INLINE int sign_lanes(f32x4 x) { return mask(x); }
// Lanes whose pattern read as a signed integer is below 1: negative, -0 and +0.
QOR_SIMD_INLINE int not_positive_lanes(f32x4 x) { return mask(cmp_gt(i32x4::splat(1), x.bits())); }
// Lanes of a double vector whose |x| high word lies outside [lo, hi].
QOR_SIMD_INLINE int abs_high_outside(f64x2 x, int32_t lo, int32_t hi) {
  const __m128i h = _mm_shuffle_epi32(abs(x).bits().v, _MM_SHUFFLE(3, 3, 1, 1));
  const __m128i out = _mm_or_si128(_mm_cmpgt_epi32(_mm_set1_epi32(lo), h), _mm_cmpgt_epi32(h, _mm_set1_epi32(hi)));
  return _mm_movemask_pd(_mm_castsi128_pd(out));
}
// Lanes of a float vector that are zero, infinite or NaN.
QOR_SIMD_INLINE int zero_inf_nan_lanes(f32x4 x) {
  const i32x4 a = abs(x).bits();
  return mask(cmp_eq(a, i32x4())) | mask(cmp_gt(a, i32x4::splat(0x7F7FFFFF)));
}

// ---- cube root --------------------------------------------------------------------------------
// z ~ a^(-1/3) for a positive normal, without division: the seed's high word is
// 0x553EF0E8 - trunc(h / 3), h the high word of a (the bit trick for the inverse cube root; the
// constant chosen for the smallest relative error, 3.5%), then two steps
//     z <- z (1 + e/3 + 2e^2/9 + 14e^3/81),  e = 1 - a z^3,
// the series of (1 - e)^(-1/3) to e^3 (the first step leaves about 2^-16, the second the
// roundings): within 0.83 2^-52 relative (checked on 200,000 arguments over 2^+-60 against exact
// rationals). a z^3 and a z^2 stay normal for a in [2^-1000, 2^1000]. (Double Cbrt only: where
// the Halley steps are followed by nothing or by a division anyway, single Cbrt and InvCbrt,
// their divisions cost less than these extra products, measured.)
QOR_SIMD_INLINE f64x2 inv_cbrt_seed(f64x2 a) {
  const __m128i h = _mm_shuffle_epi32(a.bits().v, _MM_SHUFFLE(3, 3, 3, 1));  // high words in lanes 0, 1
  const __m128d hd = _mm_cvtepi32_pd(h);
  const __m128i q = _mm_sub_epi32(_mm_set1_epi32(0x553EF0E8), _mm_cvttpd_epi32(_mm_mul_pd(hd, kc<1.0 / 3.0>().v)));
  // back to the high words of two doubles with zero low words
  return _mm_castsi128_pd(_mm_unpacklo_epi32(_mm_setzero_si128(), q));
}
QOR_SIMD_INLINE f64x2 inv_cbrt_step(f64x2 z, f64x2 a) {
  const f64x2 e = kc<1.0>() - a * ((z * z) * z);
  return z + z * (e * (kc<1.0 / 3.0>() + e * (kc<2.0 / 9.0>() + e * kc<14.0 / 81.0>())));
}
QOR_SIMD_INLINE f64x2 inv_cbrt52(f64x2 a) { return inv_cbrt_step(inv_cbrt_step(inv_cbrt_seed(a), a), a); }

// Seed of cbrt(a), a positive normal: the high word divided by 3 plus the bias that makes it a
// cube root with about 5 correct bits (the classical bit trick), then two Halley steps
// t <- t (t^3 + 2a) / (2 t^3 + a), each tripling the correct bits: about 45 bits.
QOR_SIMD_INLINE f64x2 cbrt_seed(f64x2 a) {
  const __m128i h = _mm_shuffle_epi32(a.bits().v, _MM_SHUFFLE(3, 3, 3, 1));  // high words in lanes 0, 1
  const __m128d hd = _mm_cvtepi32_pd(h);
  const __m128i q = _mm_add_epi32(_mm_cvttpd_epi32(_mm_mul_pd(hd, kc<1.0 / 3.0>().v)), _mm_set1_epi32(0x2A9F7893));
  // back to the high words of two doubles with zero low words
  return _mm_castsi128_pd(_mm_unpacklo_epi32(_mm_setzero_si128(), q));
}
QOR_SIMD_INLINE f64x2 halley_cbrt(f64x2 t, f64x2 a) {
  const f64x2 t3 = t * t * t;
  return t * ((t3 + a + a) / (t3 + t3 + a));
}
QOR_SIMD_INLINE f64x2 cbrt45(f64x2 a) { return halley_cbrt(halley_cbrt(cbrt_seed(a), a), a); }

// cbrt(a) = y0 - (y0^3 - a) z^2 / 3 from y0 = a z^2 (within about 2^-51) and z of inv_cbrt52, the
// residual formed exactly enough without two-products: y0 = yh + yl with yh the top 17 bits,
// so that yh^3 (51 bits) is exact and within a factor 2 of a (yh^3 - a exact), and the terms
// with yl (about 2^-16 a each, cancelling against yh^3 - a) add rounding errors near 2^-67 a,
// which reach the result as about 2^-69 y; the rest of the correction (about 2^-51 y, computed
// to about 2^-50 of itself) is far smaller. So: within 0.5 ulp plus about 2^-16 ulp, correctly
// rounded but for about one argument in 30,000 (measured: 1 of 35,313 test inputs, 0 of 20,000
// random ones checked exactly). For a in [2^-900, 2^993).
QOR_SIMD_INLINE f64x2 cbrt_correct(f64x2 a, f64x2 z) {
  const f64x2 z2 = z * z;
  const f64x2 y0 = a * z2;
  const f64x2 yh = y0 & f64x2(_mm_castsi128_pd(_mm_set1_epi64x(static_cast<long long>(0xFFFFFFF000000000ull))));
  const f64x2 yl = y0 - yh;
  const f64x2 h2 = yh * yh;
  const f64x2 e = (h2 * yh - a) + yl * (kc<3.0>() * h2 + yl * (kc<3.0>() * yh + yl));
  return y0 - e * (z2 * kc<1.0 / 3.0>());
}

}  // namespace
}  // namespace qor::vm::roots
