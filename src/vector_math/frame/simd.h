// Thin SIMD layer over SSE2 intrinsics: f32x4 (4 floats), f64x2 (2 doubles), i32x4 and i64x2
// (integer lanes), with the operations the kernels need, so kernels read as math.
//
// Everything is inline and works on values; loads and stores are unaligned unless named
// *_aligned. Comparisons return lane masks of all ones / all zeros in the float type, and
// mask() gives one bit per lane (movmskps / movmskpd).
#pragma once

#include <emmintrin.h>

#include <cstdint>

#define QOR_SIMD_INLINE inline __attribute__((always_inline))

namespace qor::vm::simd {

struct i32x4;
struct i64x2;

struct f32x4 {
  __m128 v;
  QOR_SIMD_INLINE f32x4() : v(_mm_setzero_ps()) {}
  QOR_SIMD_INLINE f32x4(__m128 x) : v(x) {}
  QOR_SIMD_INLINE static f32x4 load(const float* p) { return _mm_loadu_ps(p); }
  QOR_SIMD_INLINE static f32x4 load_aligned(const float* p) { return _mm_load_ps(p); }
  QOR_SIMD_INLINE static f32x4 splat(float x) { return _mm_set1_ps(x); }
  QOR_SIMD_INLINE static f32x4 from_bits(uint32_t bits) { return _mm_castsi128_ps(_mm_set1_epi32(static_cast<int32_t>(bits))); }
  QOR_SIMD_INLINE void store(float* p) const { _mm_storeu_ps(p, v); }
  QOR_SIMD_INLINE void store_aligned(float* p) const { _mm_store_ps(p, v); }
  QOR_SIMD_INLINE i32x4 bits() const;
};

struct f64x2 {
  __m128d v;
  QOR_SIMD_INLINE f64x2() : v(_mm_setzero_pd()) {}
  QOR_SIMD_INLINE f64x2(__m128d x) : v(x) {}
  QOR_SIMD_INLINE static f64x2 load(const double* p) { return _mm_loadu_pd(p); }
  QOR_SIMD_INLINE static f64x2 load_aligned(const double* p) { return _mm_load_pd(p); }
  QOR_SIMD_INLINE static f64x2 splat(double x) { return _mm_set1_pd(x); }
  QOR_SIMD_INLINE static f64x2 from_bits(uint64_t bits) { return _mm_castsi128_pd(_mm_set1_epi64x(static_cast<int64_t>(bits))); }
  QOR_SIMD_INLINE void store(double* p) const { _mm_storeu_pd(p, v); }
  QOR_SIMD_INLINE void store_aligned(double* p) const { _mm_store_pd(p, v); }
  QOR_SIMD_INLINE i64x2 bits() const;
};

struct i32x4 {
  __m128i v;
  QOR_SIMD_INLINE i32x4() : v(_mm_setzero_si128()) {}
  QOR_SIMD_INLINE i32x4(__m128i x) : v(x) {}
  QOR_SIMD_INLINE static i32x4 splat(int32_t x) { return _mm_set1_epi32(x); }
  QOR_SIMD_INLINE static i32x4 load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  QOR_SIMD_INLINE void store(int32_t* p) const { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  QOR_SIMD_INLINE f32x4 as_f32() const { return _mm_castsi128_ps(v); }
  QOR_SIMD_INLINE f64x2 as_f64() const { return _mm_castsi128_pd(v); }
};

struct i64x2 {
  __m128i v;
  QOR_SIMD_INLINE i64x2() : v(_mm_setzero_si128()) {}
  QOR_SIMD_INLINE i64x2(__m128i x) : v(x) {}
  QOR_SIMD_INLINE static i64x2 splat(int64_t x) { return _mm_set1_epi64x(x); }
  QOR_SIMD_INLINE f64x2 as_f64() const { return _mm_castsi128_pd(v); }
  QOR_SIMD_INLINE i32x4 as_i32() const { return v; }
};

QOR_SIMD_INLINE i32x4 f32x4::bits() const { return _mm_castps_si128(v); }
QOR_SIMD_INLINE i64x2 f64x2::bits() const { return _mm_castpd_si128(v); }

// ---- f32x4 arithmetic and logic ------------------------------------------------------------
QOR_SIMD_INLINE f32x4 operator+(f32x4 a, f32x4 b) { return _mm_add_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 operator-(f32x4 a, f32x4 b) { return _mm_sub_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 operator*(f32x4 a, f32x4 b) { return _mm_mul_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 operator/(f32x4 a, f32x4 b) { return _mm_div_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 operator&(f32x4 a, f32x4 b) { return _mm_and_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 operator|(f32x4 a, f32x4 b) { return _mm_or_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 operator^(f32x4 a, f32x4 b) { return _mm_xor_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 andnot(f32x4 a, f32x4 b) { return _mm_andnot_ps(a.v, b.v); }  // ~a & b
QOR_SIMD_INLINE f32x4 min(f32x4 a, f32x4 b) { return _mm_min_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 max(f32x4 a, f32x4 b) { return _mm_max_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 sqrt(f32x4 a) { return _mm_sqrt_ps(a.v); }
QOR_SIMD_INLINE f32x4 cmp_lt(f32x4 a, f32x4 b) { return _mm_cmplt_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 cmp_le(f32x4 a, f32x4 b) { return _mm_cmple_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 cmp_eq(f32x4 a, f32x4 b) { return _mm_cmpeq_ps(a.v, b.v); }
QOR_SIMD_INLINE f32x4 select(f32x4 m, f32x4 a, f32x4 b) { return (m & a) | andnot(m, b); }  // m ? a : b
QOR_SIMD_INLINE int mask(f32x4 m) { return _mm_movemask_ps(m.v); }
QOR_SIMD_INLINE f32x4 sign_bits(f32x4 a) { return a & f32x4::from_bits(0x80000000u); }
QOR_SIMD_INLINE f32x4 abs(f32x4 a) { return a & f32x4::from_bits(0x7FFFFFFFu); }
QOR_SIMD_INLINE i32x4 to_int_nearest(f32x4 a) { return _mm_cvtps_epi32(a.v); }   // current MXCSR rounding
QOR_SIMD_INLINE i32x4 to_int_trunc(f32x4 a) { return _mm_cvttps_epi32(a.v); }
QOR_SIMD_INLINE f32x4 to_float(i32x4 a) { return _mm_cvtepi32_ps(a.v); }

// ---- f64x2 arithmetic and logic ------------------------------------------------------------
QOR_SIMD_INLINE f64x2 operator+(f64x2 a, f64x2 b) { return _mm_add_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 operator-(f64x2 a, f64x2 b) { return _mm_sub_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 operator*(f64x2 a, f64x2 b) { return _mm_mul_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 operator/(f64x2 a, f64x2 b) { return _mm_div_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 operator&(f64x2 a, f64x2 b) { return _mm_and_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 operator|(f64x2 a, f64x2 b) { return _mm_or_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 operator^(f64x2 a, f64x2 b) { return _mm_xor_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 andnot(f64x2 a, f64x2 b) { return _mm_andnot_pd(a.v, b.v); }  // ~a & b
QOR_SIMD_INLINE f64x2 min(f64x2 a, f64x2 b) { return _mm_min_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 max(f64x2 a, f64x2 b) { return _mm_max_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 sqrt(f64x2 a) { return _mm_sqrt_pd(a.v); }
QOR_SIMD_INLINE f64x2 cmp_lt(f64x2 a, f64x2 b) { return _mm_cmplt_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 cmp_le(f64x2 a, f64x2 b) { return _mm_cmple_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 cmp_eq(f64x2 a, f64x2 b) { return _mm_cmpeq_pd(a.v, b.v); }
QOR_SIMD_INLINE f64x2 select(f64x2 m, f64x2 a, f64x2 b) { return (m & a) | andnot(m, b); }
QOR_SIMD_INLINE int mask(f64x2 m) { return _mm_movemask_pd(m.v); }
QOR_SIMD_INLINE f64x2 sign_bits(f64x2 a) { return a & f64x2::from_bits(0x8000000000000000ull); }
QOR_SIMD_INLINE f64x2 abs(f64x2 a) { return a & f64x2::from_bits(0x7FFFFFFFFFFFFFFFull); }

// ---- i32x4 ---------------------------------------------------------------------------------
QOR_SIMD_INLINE i32x4 operator+(i32x4 a, i32x4 b) { return _mm_add_epi32(a.v, b.v); }
QOR_SIMD_INLINE i32x4 operator-(i32x4 a, i32x4 b) { return _mm_sub_epi32(a.v, b.v); }
QOR_SIMD_INLINE i32x4 operator&(i32x4 a, i32x4 b) { return _mm_and_si128(a.v, b.v); }
QOR_SIMD_INLINE i32x4 operator|(i32x4 a, i32x4 b) { return _mm_or_si128(a.v, b.v); }
QOR_SIMD_INLINE i32x4 operator^(i32x4 a, i32x4 b) { return _mm_xor_si128(a.v, b.v); }
QOR_SIMD_INLINE i32x4 shl(i32x4 a, int k) { return _mm_slli_epi32(a.v, k); }
QOR_SIMD_INLINE i32x4 shr_logical(i32x4 a, int k) { return _mm_srli_epi32(a.v, k); }
QOR_SIMD_INLINE i32x4 shr_arith(i32x4 a, int k) { return _mm_srai_epi32(a.v, k); }
QOR_SIMD_INLINE i32x4 cmp_gt(i32x4 a, i32x4 b) { return _mm_cmpgt_epi32(a.v, b.v); }  // signed
QOR_SIMD_INLINE i32x4 cmp_eq(i32x4 a, i32x4 b) { return _mm_cmpeq_epi32(a.v, b.v); }
QOR_SIMD_INLINE int mask(i32x4 m) { return _mm_movemask_ps(_mm_castsi128_ps(m.v)); }

// ---- i64x2 ---------------------------------------------------------------------------------
QOR_SIMD_INLINE i64x2 operator+(i64x2 a, i64x2 b) { return _mm_add_epi64(a.v, b.v); }
QOR_SIMD_INLINE i64x2 operator-(i64x2 a, i64x2 b) { return _mm_sub_epi64(a.v, b.v); }
QOR_SIMD_INLINE i64x2 operator&(i64x2 a, i64x2 b) { return _mm_and_si128(a.v, b.v); }
QOR_SIMD_INLINE i64x2 operator|(i64x2 a, i64x2 b) { return _mm_or_si128(a.v, b.v); }
QOR_SIMD_INLINE i64x2 shl(i64x2 a, int k) { return _mm_slli_epi64(a.v, k); }
QOR_SIMD_INLINE i64x2 shr_logical(i64x2 a, int k) { return _mm_srli_epi64(a.v, k); }

// Lanes of a double vector whose |x| bit pattern's high word exceeds `hi` (a signed compare of
// the high 32 bits; enough for screens on exponent ranges). One bit per double lane.
QOR_SIMD_INLINE int mask_abs_high_above(f64x2 x, uint32_t hi) {
  __m128i h = _mm_shuffle_epi32(abs(x).bits().v, _MM_SHUFFLE(3, 3, 1, 1));
  __m128i gt = _mm_cmpgt_epi32(h, _mm_set1_epi32(static_cast<int32_t>(hi)));
  return _mm_movemask_pd(_mm_castsi128_pd(gt));
}

// Lanes of a float vector whose |x| bit pattern exceeds `bits` (signed compare; |x| < 2^31).
QOR_SIMD_INLINE int mask_abs_above(f32x4 x, uint32_t bits) {
  return mask(cmp_gt(abs(x).bits(), i32x4::splat(static_cast<int32_t>(bits))));
}

// Optimisation barrier: the compiler must assume the value is read and changed here, so it
// can neither fold arithmetic across it nor move it across an MXCSR write.
template <class V>
QOR_SIMD_INLINE void barrier(V& v) { asm volatile("" : "+x"(v.v)); }
QOR_SIMD_INLINE void barrier(float& v) { asm volatile("" : "+x"(v)); }
QOR_SIMD_INLINE void barrier(double& v) { asm volatile("" : "+x"(v)); }

}  // namespace qor::vm::simd
