// Thin SIMD layer over SSE2 intrinsics: f32x4 (4 floats), f64x2 (2 doubles), i32x4 and i64x2
// (integer lanes), with the operations the kernels need, so kernels read as math.
//
// Everything is inline and works on values; loads and stores are unaligned unless named
// *_aligned. Comparisons return lane masks of all ones / all zeros in the float type, and
// mask() gives one bit per lane (movmskps / movmskpd).
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <type_traits>

#define QOR_SIMD_INLINE inline __attribute__((always_inline))

namespace qor::vm::simd {

struct i32x4;
struct i64x2;

// f32x4 and f64x2 are the same but for the element: V the vector, T the element, M the
// register type, S the intrinsic suffix (ps, pd), I the integer vector of the same lane width,
// B the unsigned integer of T's width and E the intrinsic that replicates it.
#define QOR_SIMD_FLOAT_VECTOR(V, T, M, S, I, B, E)                                                  \
  struct V {                                                                                        \
    M v;                                                                                            \
    QOR_SIMD_INLINE V() : v(_mm_setzero_##S()) {}                                                   \
    QOR_SIMD_INLINE V(M x) : v(x) {}                                                                \
    QOR_SIMD_INLINE static V load(const T* p) { return _mm_loadu_##S(p); }                          \
    QOR_SIMD_INLINE static V load_aligned(const T* p) { return _mm_load_##S(p); }                   \
    QOR_SIMD_INLINE static V splat(T x) { return _mm_set1_##S(x); }                                 \
    QOR_SIMD_INLINE static V from_bits(B bits) {                                                    \
      return _mm_castsi128_##S(E(static_cast<std::make_signed_t<B>>(bits)));                        \
    }                                                                                               \
    QOR_SIMD_INLINE void store(T* p) const { _mm_storeu_##S(p, v); }                                \
    QOR_SIMD_INLINE I bits() const;                                                                 \
  };
QOR_SIMD_FLOAT_VECTOR(f32x4, float, __m128, ps, i32x4, uint32_t, _mm_set1_epi32)
QOR_SIMD_FLOAT_VECTOR(f64x2, double, __m128d, pd, i64x2, uint64_t, _mm_set1_epi64x)
#undef QOR_SIMD_FLOAT_VECTOR

struct i32x4 {
  __m128i v;
  QOR_SIMD_INLINE i32x4() : v(_mm_setzero_si128()) {}
  QOR_SIMD_INLINE i32x4(__m128i x) : v(x) {}
  QOR_SIMD_INLINE static i32x4 splat(int32_t x) { return _mm_set1_epi32(x); }
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

// ---- f32x4 and f64x2 arithmetic and logic -------------------------------------------------
#define QOR_SIMD_FLOAT_OPS(V, S)                                                                        \
  QOR_SIMD_INLINE V operator+(V a, V b) { return _mm_add_##S(a.v, b.v); }                               \
  QOR_SIMD_INLINE V operator-(V a, V b) { return _mm_sub_##S(a.v, b.v); }                               \
  QOR_SIMD_INLINE V operator*(V a, V b) { return _mm_mul_##S(a.v, b.v); }                               \
  QOR_SIMD_INLINE V operator/(V a, V b) { return _mm_div_##S(a.v, b.v); }                               \
  QOR_SIMD_INLINE V operator&(V a, V b) { return _mm_and_##S(a.v, b.v); }                               \
  QOR_SIMD_INLINE V operator|(V a, V b) { return _mm_or_##S(a.v, b.v); }                                \
  QOR_SIMD_INLINE V andnot(V a, V b) { return _mm_andnot_##S(a.v, b.v); } /* ~a & b */                  \
  QOR_SIMD_INLINE V min(V a, V b) { return _mm_min_##S(a.v, b.v); }                                     \
  QOR_SIMD_INLINE V max(V a, V b) { return _mm_max_##S(a.v, b.v); }                                     \
  QOR_SIMD_INLINE V cmp_lt(V a, V b) { return _mm_cmplt_##S(a.v, b.v); }                                \
  QOR_SIMD_INLINE V cmp_le(V a, V b) { return _mm_cmple_##S(a.v, b.v); }                                \
  QOR_SIMD_INLINE V cmp_eq(V a, V b) { return _mm_cmpeq_##S(a.v, b.v); }                                \
  QOR_SIMD_INLINE V select(V m, V a, V b) { return (m & a) | andnot(m, b); } /* m ? a : b */            \
  QOR_SIMD_INLINE int mask(V m) { return _mm_movemask_##S(m.v); }
QOR_SIMD_FLOAT_OPS(f32x4, ps)
QOR_SIMD_FLOAT_OPS(f64x2, pd)
#undef QOR_SIMD_FLOAT_OPS
QOR_SIMD_INLINE f32x4 sign_bits(f32x4 a) { return a & f32x4::from_bits(0x80000000u); }
QOR_SIMD_INLINE f32x4 abs(f32x4 a) { return a & f32x4::from_bits(0x7FFFFFFFu); }
QOR_SIMD_INLINE f64x2 sign_bits(f64x2 a) { return a & f64x2::from_bits(0x8000000000000000ull); }
QOR_SIMD_INLINE f64x2 abs(f64x2 a) { return a & f64x2::from_bits(0x7FFFFFFFFFFFFFFFull); }
QOR_SIMD_INLINE f32x4 to_float(i32x4 a) { return _mm_cvtepi32_ps(a.v); }

// ---- i32x4 ---------------------------------------------------------------------------------
QOR_SIMD_INLINE i32x4 operator+(i32x4 a, i32x4 b) { return _mm_add_epi32(a.v, b.v); }
QOR_SIMD_INLINE i32x4 operator-(i32x4 a, i32x4 b) { return _mm_sub_epi32(a.v, b.v); }
QOR_SIMD_INLINE i32x4 operator&(i32x4 a, i32x4 b) { return _mm_and_si128(a.v, b.v); }
QOR_SIMD_INLINE i32x4 operator|(i32x4 a, i32x4 b) { return _mm_or_si128(a.v, b.v); }
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
