// Lane helpers shared by the kernel families, on top of the SIMD layer (simd.h): bit casts,
// constant rows, gathers from tables, widening and narrowing, values computed at run time so
// that they raise their exceptions, and the packed formula applied to one element.
#pragma once

#include <emmintrin.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "vector_math/frame/simd.h"

// A value replicated into a 16-byte constant row: two doubles or 64-bit words, four floats or
// 32-bit words (initialisers of the families' constant tables).
#define QOR_ROW2(x) {x, x}
#define QOR_ROW4(x) {x, x, x, x}

namespace qor::vm {

using simd::f32x4;
using simd::f64x2;
using simd::i32x4;
using simd::i64x2;

// ---- bit casts -----------------------------------------------------------------------------
inline uint32_t bits_of(float x) { return std::bit_cast<uint32_t>(x); }
inline uint64_t bits_of(double x) { return std::bit_cast<uint64_t>(x); }
inline float float_of(uint32_t u) { return std::bit_cast<float>(u); }
inline double double_of(uint64_t u) { return std::bit_cast<double>(u); }
// The value of type T with the bit pattern b (of T's width).
template <class T, class B>
inline T from_bits(B b) {
  return std::bit_cast<T>(b);
}

// ---- constant rows -------------------------------------------------------------------------
// Loads of a family's 16-byte table rows.
QOR_SIMD_INLINE f32x4 row(const uint32_t (&r)[4]) { return _mm_load_ps(reinterpret_cast<const float*>(r)); }
QOR_SIMD_INLINE f32x4 row(const float (&r)[4]) { return _mm_load_ps(r); }
QOR_SIMD_INLINE i32x4 irow(const uint32_t (&r)[4]) { return _mm_load_si128(reinterpret_cast<const __m128i*>(r)); }
QOR_SIMD_INLINE f64x2 row(const double (&r)[2]) { return _mm_load_pd(r); }
QOR_SIMD_INLINE f64x2 row(const uint64_t (&r)[2]) { return _mm_load_pd(reinterpret_cast<const double*>(r)); }
QOR_SIMD_INLINE i64x2 irow(const uint64_t (&r)[2]) { return _mm_load_si128(reinterpret_cast<const __m128i*>(r)); }

// Rows of one compile-time constant, each an aligned 16-byte object of its own (one aligned
// load or memory operand): kc<V>() two doubles, ki<V>() four 32-bit words, kl<V>() two 64-bit
// words.
template <double V>
struct Row2 {
  alignas(16) static constexpr double v[2] = {V, V};
};
template <double V>
QOR_SIMD_INLINE f64x2 kc() { return _mm_load_pd(Row2<V>::v); }
template <int32_t V>
struct IRow4 {
  alignas(16) static constexpr int32_t v[4] = {V, V, V, V};
};
template <int32_t V>
QOR_SIMD_INLINE __m128i ki() { return _mm_load_si128(reinterpret_cast<const __m128i*>(IRow4<V>::v)); }
template <int64_t V>
struct IRow2 {
  alignas(16) static constexpr int64_t v[2] = {V, V};
};
template <int64_t V>
QOR_SIMD_INLINE i64x2 kl() { return _mm_load_si128(reinterpret_cast<const __m128i*>(IRow2<V>::v)); }
// A float constant in every lane, left to the compiler (emitted as one 16-byte literal).
template <float V>
QOR_SIMD_INLINE f32x4 cst() {
  return f32x4::splat(V);
}

// The object itself, its contents hidden from the optimiser: a constant table read through it
// keeps its rows as packed memory operands instead of vectors rebuilt from scalars in the loop.
template <class T>
QOR_SIMD_INLINE const T& opaque(const T& x) {
  const T* p = &x;
  asm("" : "+r"(p));
  return *p;
}
// The same, hidden anew at each use (the asm is volatile, so it is neither merged with another
// use nor hoisted out of the loop): the rows are read where they are needed instead of being
// held in registers across the block, which can spill.
template <class T>
QOR_SIMD_INLINE const T& hidden(const T& x) {
  const T* p = &x;
  asm volatile("" : "+r"(p));
  return *p;
}

// ---- lanes ---------------------------------------------------------------------------------
// Lane 0 of a vector.
QOR_SIMD_INLINE float lane0(f32x4 v) { return _mm_cvtss_f32(v.v); }
QOR_SIMD_INLINE double lane0(f64x2 v) { return _mm_cvtsd_f64(v.v); }

// Two floats of a f32x4 as doubles (lanes 0,1 and lanes 2,3), and back.
QOR_SIMD_INLINE f64x2 widen_lo(f32x4 x) { return _mm_cvtps_pd(x.v); }
QOR_SIMD_INLINE f64x2 widen_hi(f32x4 x) { return _mm_cvtps_pd(_mm_movehl_ps(x.v, x.v)); }
QOR_SIMD_INLINE f32x4 narrow(f64x2 lo, f64x2 hi) {
  return _mm_movelh_ps(_mm_cvtpd_ps(lo.v), _mm_cvtpd_ps(hi.v));
}

// ---- gathers -------------------------------------------------------------------------------
// The four 32-bit lanes of j as table indices. On x86-64 they reach general registers two at a
// time (no store and reload through the stack, which costs a store-forwarding delay per load).
QOR_SIMD_INLINE void lane_indices(i32x4 j, uint32_t (&k)[4]) {
#if defined(__x86_64__)
  const uint64_t w01 = static_cast<uint64_t>(_mm_cvtsi128_si64(j.v));
  const uint64_t w23 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(j.v, j.v)));
  k[0] = static_cast<uint32_t>(w01);
  k[1] = static_cast<uint32_t>(w01 >> 32);
  k[2] = static_cast<uint32_t>(w23);
  k[3] = static_cast<uint32_t>(w23 >> 32);
#else
  alignas(16) int32_t w[4];
  j.store(w);
  for (int i = 0; i < 4; ++i) k[i] = static_cast<uint32_t>(w[i]);
#endif
}

// Gathers the pairs t[j0..j3] of a table of float pairs: returns (first words, second words).
QOR_SIMD_INLINE void gather_pairs(const uint32_t (*t)[2], i32x4 j, f32x4& a, f32x4& b) {
  uint32_t k[4];
  lane_indices(j, k);
  const __m128 e0 = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(t[k[0]])));
  const __m128 e1 = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(t[k[1]])));
  const __m128 e2 = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(t[k[2]])));
  const __m128 e3 = _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(t[k[3]])));
  const __m128 u01 = _mm_unpacklo_ps(e0, e1);  // a0 a1 b0 b1
  const __m128 u23 = _mm_unpacklo_ps(e2, e3);  // a2 a3 b2 b3
  a = _mm_movelh_ps(u01, u23);
  b = _mm_movehl_ps(u23, u01);
}

// Gathers two adjacent doubles, columns kCol and kCol + 1, of the rows j of a double table (j in
// the low 32 bits of each 64-bit lane; the pair 16-byte aligned). Returns (column kCol, column
// kCol + 1).
template <int kCol = 0, class Row>
QOR_SIMD_INLINE void gather2(const Row* t, i64x2 j, f64x2& a, f64x2& b) {
  const int32_t j0 = _mm_cvtsi128_si32(j.v);
  const int32_t j1 = _mm_cvtsi128_si32(_mm_srli_si128(j.v, 8));
  const __m128d e0 = _mm_load_pd(&t[j0][kCol]);
  const __m128d e1 = _mm_load_pd(&t[j1][kCol]);
  a = _mm_unpacklo_pd(e0, e1);
  b = _mm_unpackhi_pd(e0, e1);
}

// Byte offsets of the rows of a table of 16-byte rows for the two lanes of t, the row index
// being (low word of the lane's pattern) & kMask: formed in the register and read out with movd
// (lane 1 after a pshufd, which needs no copy).
template <int kMask>
QOR_SIMD_INLINE void row_offsets(f64x2 t, uint32_t& o0, uint32_t& o1) {
  const __m128i o = _mm_slli_epi32(_mm_and_si128(t.bits().v, _mm_set1_epi32(kMask)), 4);
  o0 = static_cast<uint32_t>(_mm_cvtsi128_si32(o));
  o1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(o, _MM_SHUFFLE(3, 2, 3, 2))));
}
// Rows (a, b) of such a table for the two lanes of t.
template <int kMask>
QOR_SIMD_INLINE void gather_rows(const double (*tab)[2], f64x2 t, f64x2& a, f64x2& b) {
  const char* base = reinterpret_cast<const char*>(tab);
  uint32_t o0, o1;
  row_offsets<kMask>(t, o0, o1);
  const __m128d e0 = _mm_load_pd(reinterpret_cast<const double*>(base + o0));
  const __m128d e1 = _mm_load_pd(reinterpret_cast<const double*>(base + o1));
  a = _mm_unpacklo_pd(e0, e1);
  b = _mm_unpackhi_pd(e0, e1);
}
// The first doubles of the rows only (movsd and movhpd, no unpacking).
template <int kMask>
QOR_SIMD_INLINE f64x2 gather_first(const double (*tab)[2], f64x2 t) {
  const char* base = reinterpret_cast<const char*>(tab);
  uint32_t o0, o1;
  row_offsets<kMask>(t, o0, o1);
  const __m128d e = _mm_load_sd(reinterpret_cast<const double*>(base + o0));
  return _mm_loadh_pd(e, reinterpret_cast<const double*>(base + o1));
}
// Both registers of a block. (Gathering the four offsets in one register and reading them with
// pextrw was slower: pextrw costs two micro-ops on the processors measured.)
template <int kMask>
QOR_SIMD_INLINE void gather_rows_pair(const double (*tab)[2], f64x2 t0, f64x2 t1, f64x2& a0, f64x2& b0, f64x2& a1,
                                      f64x2& b1) {
  gather_rows<kMask>(tab, t0, a0, b0);
  gather_rows<kMask>(tab, t1, a1, b1);
}

// ---- values that raise their exceptions ----------------------------------------------------
// Products and quotients computed at run time (never folded), so that they raise their
// exceptions.
template <class T>
inline T mul_rt(T a, T b) {
  simd::barrier(a);
  T r = a * b;
  simd::barrier(r);
  return r;
}
template <class T>
inline T div_rt(T a, T b) {
  simd::barrier(b);
  T r = a / b;
  simd::barrier(r);
  return r;
}
// A quiet NaN that raises the invalid-operation exception (0 / 0 at run time).
inline float nan_invalid_f() { return div_rt(0.0f, 0.0f); }
inline double nan_invalid_d() { return div_rt(0.0, 0.0); }
// -inf raising division by zero (-1 / 0 at run time).
inline float minus_inf_divzero_f() { return div_rt(-1.0f, 0.0f); }
inline double minus_inf_divzero_d() { return div_rt(-1.0, 0.0); }

// NaN and infinite inputs of a function whose values at +inf and -inf are given: sets *out and
// returns true for those (a NaN comes back quiet); false for a finite x.
template <class T>
inline bool nan_inf_head(T x, T* out, T at_plus_inf, T at_minus_inf) {
  if (std::isnan(x)) {
    *out = x + x;
    return true;
  }
  if (std::isinf(x)) {
    *out = x > 0 ? at_plus_inf : at_minus_inf;
    return true;
  }
  return false;
}

// ---- one element ---------------------------------------------------------------------------
// The family's packed formula on one element (a vector with x in every lane), so that an
// element routine gives what a clean block would.
template <class F>
inline float packed_one(float x) {
  return lane0(F::packed(f32x4::splat(x)));
}
template <class F>
inline double packed_one(double x) {
  return lane0(F::packed(f64x2::splat(x)));
}

}  // namespace qor::vm
