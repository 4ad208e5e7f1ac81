// Error-free transformations (double-double arithmetic) for the trigonometric kernels, written
// once for a double and for a pair of doubles (f64x2): Fast2Sum, TwoSum and Dekker's product with
// Veltkamp's split (SSE2 has no fused multiply-add).
#pragma once

#include "vector_math/frame/lanes.h"

namespace qor::vm::trig {

template <class V>
QOR_SIMD_INLINE V splat_of(double c) {
  if constexpr (std::is_same_v<V, double>) return c;
  else return V::splat(c);
}

// s + e = a + b exactly, when a = 0 or exponent(a) >= exponent(b).
template <class V>
QOR_SIMD_INLINE void fast_two_sum(V a, V b, V& s, V& e) {
  s = a + b;
  e = b - (s - a);
}
// s + e = a + b exactly.
template <class V>
QOR_SIMD_INLINE void two_sum(V a, V b, V& s, V& e) {
  s = a + b;
  const V bv = s - a;
  const V av = s - bv;
  e = (a - av) + (b - bv);
}
// a = hi + lo with hi holding the leading 26 bits (|a| < 2^995).
template <class V>
QOR_SIMD_INLINE void split(V a, V& hi, V& lo) {
  const V c = a * splat_of<V>(134217729.0);  // 2^27 + 1
  hi = c - (c - a);
  lo = a - hi;
}
// p + e = a * b exactly (no overflow or underflow).
template <class V>
QOR_SIMD_INLINE void two_prod(V a, V b, V& p, V& e) {
  V ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  p = a * b;
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}
// The same with b already split.
template <class V>
QOR_SIMD_INLINE void two_prod_split(V a, V b, V bh, V bl, V& p, V& e) {
  V ah, al;
  split(a, ah, al);
  p = a * b;
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

}  // namespace qor::vm::trig

namespace qor::vm::trig {
// s + e = a - b exactly.
template <class V>
QOR_SIMD_INLINE void two_diff(V a, V b, V& s, V& e) {
  s = a - b;
  const V bb = s - a;
  e = (a - (s - bb)) - (b + bb);
}
}  // namespace qor::vm::trig

namespace qor::vm::trig {
// a with its sign flipped where `sign` has the sign bit (sign_bits of another vector).
QOR_SIMD_INLINE f64x2 flip(f64x2 a, f64x2 sign) { return _mm_xor_pd(a.v, sign.v); }
QOR_SIMD_INLINE f32x4 flip(f32x4 a, f32x4 sign) { return _mm_xor_ps(a.v, sign.v); }
}  // namespace qor::vm::trig
