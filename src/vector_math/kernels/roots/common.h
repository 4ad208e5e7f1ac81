// What the reciprocal and root kernels (inv.h, sqrt.h, invsqrt.h, cbrt.h, invcbrt.h) share:
// exact products (Dekker's two-product without a fused multiply-add), the cube-root seed and
// Halley steps, and the screens on the sign and the exponent field.
//
// The double-precision HA kernels that are not a single IEEE operation (InvSqrt, Cbrt, InvCbrt)
// compute an approximation y0, then one correction step whose residual (x y0^2 - 1, y0^3 - x,
// x y0^3 - 1) is formed exactly or nearly so (two-products, or a split of y0 whose cube is
// exact), so that the result is y0 plus a correction rounded once.
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
// Lanes of a double vector whose high word h (of x, or of |x|) lies outside [lo, hi]: h - lo above
// hi - lo as unsigned words, compared as signed ones after adding 2^31 to both (with lo > 0, the
// negative numbers of x are outside too). movmskpd reads the compare of the high words only.
QOR_SIMD_INLINE int high_outside(f64x2 x, int32_t lo, int32_t hi) {
  const __m128i d = _mm_add_epi32(x.bits().v, _mm_set1_epi32(static_cast<int32_t>(0x80000000u - static_cast<uint32_t>(lo))));
  const __m128i limit = _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(hi - lo) + 0x80000000u));
  return _mm_movemask_pd(_mm_castsi128_pd(_mm_cmpgt_epi32(d, limit)));
}
QOR_SIMD_INLINE int abs_high_outside(f64x2 x, int32_t lo, int32_t hi) { return high_outside(abs(x), lo, hi); }
// Lanes of a float vector that are zero, infinite or NaN.
QOR_SIMD_INLINE int zero_inf_nan_lanes(f32x4 x) {
  const i32x4 a = abs(x).bits();
  return mask(cmp_eq(a, i32x4())) | mask(cmp_gt(a, i32x4::splat(0x7F7FFFFF)));
}

// ---- cube root --------------------------------------------------------------------------------
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

}  // namespace
}  // namespace qor::vm::roots
