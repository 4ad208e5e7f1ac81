// Helpers shared by the exponential and logarithmic kernels: bit casts, table gathers, and
// values built so that they raise the right floating-point exceptions.
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/simd.h"
#include "vector_math/kernels/exp_log/exp_log_tables.h"

namespace qor::vm::exp_log {

using simd::f32x4;
using simd::f64x2;
using simd::i32x4;
using simd::i64x2;

inline uint32_t bits_of(float x) {
  uint32_t u;
  std::memcpy(&u, &x, 4);
  return u;
}
inline uint64_t bits_of(double x) {
  uint64_t u;
  std::memcpy(&u, &x, 8);
  return u;
}
inline float float_of(uint32_t u) {
  float x;
  std::memcpy(&x, &u, 4);
  return x;
}
inline double double_of(uint64_t u) {
  double x;
  std::memcpy(&x, &u, 8);
  return x;
}

// Row loads from the constant tables.
QOR_SIMD_INLINE f32x4 row(const uint32_t (&r)[4]) { return _mm_load_ps(reinterpret_cast<const float*>(r)); }
QOR_SIMD_INLINE i32x4 irow(const uint32_t (&r)[4]) { return _mm_load_si128(reinterpret_cast<const __m128i*>(r)); }
QOR_SIMD_INLINE f64x2 row(const double (&r)[2]) { return _mm_load_pd(r); }
QOR_SIMD_INLINE f64x2 row(const uint64_t (&r)[2]) { return _mm_load_pd(reinterpret_cast<const double*>(r)); }
QOR_SIMD_INLINE i64x2 irow(const uint64_t (&r)[2]) { return _mm_load_si128(reinterpret_cast<const __m128i*>(r)); }

// Lane 0 of a vector.
QOR_SIMD_INLINE float lane0(f32x4 v) { return _mm_cvtss_f32(v.v); }
QOR_SIMD_INLINE double lane0(f64x2 v) { return _mm_cvtsd_f64(v.v); }

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

// Gathers rows of a double table whose entries start with two doubles: j in the low 32 bits of
// each 64-bit lane. Returns (first words, second words).
template <class Row>
QOR_SIMD_INLINE void gather2(const Row* t, i64x2 j, f64x2& a, f64x2& b) {
  const int32_t j0 = _mm_cvtsi128_si32(j.v);
  const int32_t j1 = _mm_cvtsi128_si32(_mm_srli_si128(j.v, 8));
  const __m128d e0 = _mm_load_pd(&t[j0][0]);
  const __m128d e1 = _mm_load_pd(&t[j1][0]);
  a = _mm_unpacklo_pd(e0, e1);
  b = _mm_unpackhi_pd(e0, e1);
}
// Gathers the third and fourth doubles of rows of four.
QOR_SIMD_INLINE void gather2_hi(const double (*t)[4], i64x2 j, f64x2& a, f64x2& b) {
  const int32_t j0 = _mm_cvtsi128_si32(j.v);
  const int32_t j1 = _mm_cvtsi128_si32(_mm_srli_si128(j.v, 8));
  const __m128d e0 = _mm_load_pd(&t[j0][2]);
  const __m128d e1 = _mm_load_pd(&t[j1][2]);
  a = _mm_unpacklo_pd(e0, e1);
  b = _mm_unpackhi_pd(e0, e1);
}

// Two floats of a f32x4 as doubles (lanes 0,1 and lanes 2,3), and back.
QOR_SIMD_INLINE f64x2 widen_lo(f32x4 x) { return _mm_cvtps_pd(x.v); }
QOR_SIMD_INLINE f64x2 widen_hi(f32x4 x) { return _mm_cvtps_pd(_mm_movehl_ps(x.v, x.v)); }
QOR_SIMD_INLINE f32x4 narrow(f64x2 lo, f64x2 hi) {
  return _mm_movelh_ps(_mm_cvtpd_ps(lo.v), _mm_cvtpd_ps(hi.v));
}

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

// Special values of a logarithm: NaN (itself, quiet), +-0 (-inf, division by zero, status 2),
// negative x (NaN, invalid, status 1) and +inf (itself). Returns false, setting nothing, when x is
// positive and finite.
template <class T>
inline bool log_special(T x, T* out, int* status) {
  if (std::isnan(x)) {
    *out = x + x;
    *status = kOk;
    return true;
  }
  if (x == T(0)) {
    *out = div_rt(T(-1), T(0));
    *status = kSing;
    return true;
  }
  if (x < T(0)) {
    *out = div_rt(T(0), T(0));
    *status = kErrDom;
    return true;
  }
  if (std::isinf(x)) {
    *out = x;
    *status = kOk;
    return true;
  }
  return false;
}

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

// Vectors with one value in every lane, for running the packed formula on one element.
template <class F>
inline float packed_one(float x) {
  return lane0(F::packed(f32x4::splat(x)));
}
template <class F>
inline double packed_one(double x) {
  return lane0(F::packed(f64x2::splat(x)));
}

}  // namespace qor::vm::exp_log
