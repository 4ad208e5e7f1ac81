// The packed core of the single-precision powers (sPow, sPowr, sPowx, sPow2o3, sPow3o2): plain
// double arithmetic on the widened lanes, one rounding to float at the end.
//
// log2 x, x a positive normal float: x = 2^k m, m in [1, 2), j = round(64 (m - 1)) from the top
// fraction bits, R_j ~ 1/(1 + j/64) with 8 significant bits and H_j + L_j = -ln R_j from the
// single logarithm's table (kSLn), u = m R_j - 1 exact (24 x 8 bits, |u| < 2^-6.9), and
//     log2 x = k + (H_j + L_j) / ln 2 + p(u),  p(u) = sum_{i=1..7} (-1)^(i+1) u^i / (i ln 2),
// the Taylor polynomial of log2(1 + u) (truncation below |u|^8 / 5.5 < 2^-57). x = 1 gives 0
// exactly; near 1 (k = j = 0) the error is relative to u.
// t = y log2 x in double; the lanes with t outside (-125.99, 127.99) go to the per-element
// routine (the double-double core, which rounds results near overflow and in the subnormal range
// once), so every packed result is a normal float and the packed path never has to judge
// overflow or underflow.
// 2^t: N = round(256 t) through the shifter, r = t - N/256 exact (|r| <= 2^-9), j = N & 255,
// 2^t = 2^(N >> 8) T_j (1 + P(r)), T_j = RN(2^(j/256)) from the exponentials' table (kDExpT256),
// P(r) = r (c1 + r (c2 + r (c3 + r c4))), c_i = (ln 2)^i / i! (truncation below 2^-49).
//
// Errors: log2 x within about 2^-52 |log2 x| (and the table's rounding, 2^-53 absolute), t within
// about 2^-52 |t| + 2^-46 < 2^-45 absolute, 2^t within 2^-48 relative: the double result is
// within 2^-24 float ulp, so the float result is the correctly rounded one except when the exact
// power lies within that distance of a midpoint between floats (about one argument in 2^23), and
// then it is within 0.5 + 2^-24 ulp.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"
#include "vector_math/kernels/exp_log/exp_log_tables.h"

// Private to the including code-path file (an anonymous namespace).
namespace qor::vm {
namespace {
namespace spow {

using exp_log::kDExpT256;
using exp_log::kSLn;

inline constexpr double kInvLn2 = 1.4426950408889634;  // 1 / ln 2 rounded

struct alignas(16) SPowRows {
  double lc[7][2];   // (-1)^(i+1) / (i ln 2), i = 1 .. 7
  double ec[4][2];   // (ln 2)^i / i!, i = 1 .. 4
  double inv_ln2[2];
  double shifter[2];  // 1.5 * 2^52
  double t_hi[2], t_lo[2];      // the packed range of t, single precision
  double t_hi_d[2], t_lo_d[2];  // and double precision (EP)
};
inline constexpr SPowRows kSPow = {
    {QOR_ROW2(kInvLn2), QOR_ROW2(-kInvLn2 / 2), QOR_ROW2(kInvLn2 / 3), QOR_ROW2(-kInvLn2 / 4),
     QOR_ROW2(kInvLn2 / 5), QOR_ROW2(-kInvLn2 / 6), QOR_ROW2(kInvLn2 / 7)},
    {QOR_ROW2(0.6931471805599453), QOR_ROW2(0.2402265069591007), QOR_ROW2(0.055504108664821576),
     QOR_ROW2(0.009618129107628477)},
    QOR_ROW2(kInvLn2),
    QOR_ROW2(0x1.8p52),
    QOR_ROW2(127.99),
    QOR_ROW2(-125.99),
    QOR_ROW2(1023.0),
    QOR_ROW2(-1021.0),
};

// (R, (H + L) / ln 2) of the kSLn rows a and b.
QOR_SIMD_INLINE void log_rows(uint32_t a, uint32_t b, f64x2& R, f64x2& T) {
  const SPowRows& c = opaque(kSPow);
  R = _mm_loadh_pd(_mm_load_sd(&kSLn.e[a][0]), &kSLn.e[b][0]);
  const __m128d ea = _mm_loadu_pd(&kSLn.e[a][1]), eb = _mm_loadu_pd(&kSLn.e[b][1]);
  T = (f64x2(_mm_unpacklo_pd(ea, eb)) + f64x2(_mm_unpackhi_pd(ea, eb))) * row(c.inv_ln2);
}

// 2^(y log2 x) of two lanes: m the significands as doubles, k the exponents, R and T the rows.
// Returns the lanes whose t is outside the packed range (bit per lane): results that are normal
// floats (kDouble false) or normal doubles (kDouble true).
template <bool kDouble = false>
QOR_SIMD_INLINE int pow2_half(f64x2 m, f64x2 k, f64x2 R, f64x2 T, f64x2 y, f64x2& r) {
  const SPowRows& c = opaque(kSPow);
  const f64x2 u = m * R - kc<1.0>();  // exact
  const f64x2 p =
      u * (row(c.lc[0]) +
           u * (row(c.lc[1]) +
                u * (row(c.lc[2]) + u * (row(c.lc[3]) + u * (row(c.lc[4]) + u * (row(c.lc[5]) + u * row(c.lc[6])))))));
  const f64x2 t = y * ((k + T) + p);
  const f64x2 shifted = t * kc<256.0>() + row(c.shifter);
  const f64x2 f = t - (shifted - row(c.shifter)) * kc<0.00390625>();  // exact
  const f64x2 P = f * (row(c.ec[0]) + f * (row(c.ec[1]) + f * (row(c.ec[2]) + f * row(c.ec[3]))));
  const f64x2 B = gather_first<255>(kDExpT256.e, shifted);
  const f64x2 S = _mm_castsi128_pd(_mm_add_epi64(B.bits().v, _mm_slli_epi64(shifted.bits().v, 44)));
  r = S + S * P;
  const f64x2 ok = kDouble ? simd::cmp_lt(t, row(c.t_hi_d)) & simd::cmp_lt(row(c.t_lo_d), t)
                           : simd::cmp_lt(t, row(c.t_hi)) & simd::cmp_lt(row(c.t_lo), t);
  return simd::mask(ok) ^ 3;
}

// Lanes of a float vector that are not positive normal finite numbers (zeros, subnormals,
// negatives, infinities, NaNs).
QOR_SIMD_INLINE int not_positive_normal_f(f32x4 x) {
  const i32x4 b = x.bits();
  return simd::mask(simd::cmp_gt(i32x4::splat(0x00800000), b) | simd::cmp_gt(b, i32x4::splat(0x7F7FFFFF)));
}

// x^y of four float lanes, y given as two double vectors (lanes 0, 1 and 2, 3: a constant
// exponent keeps its double value). Returns the lanes the formula does not take: x not positive
// normal, t outside the packed range (which includes every y that makes t huge); non-finite y
// are the caller's to screen.
QOR_SIMD_INLINE int pow_packed_f(f32x4 x, f64x2 y0, f64x2 y1, f32x4& r) {
  const __m128i b = x.bits().v;
  const __m128i fr = _mm_and_si128(b, _mm_set1_epi32(0x007FFFFF));
  const __m128i jj = _mm_srli_epi32(_mm_add_epi32(fr, _mm_set1_epi32(0x10000)), 17);  // 0 .. 64
  const __m128i kk = _mm_sub_epi32(_mm_srli_epi32(b, 23), _mm_set1_epi32(127));
  const f32x4 m = _mm_castsi128_ps(_mm_or_si128(fr, _mm_set1_epi32(0x3F800000)));
  uint32_t j[4];
  lane_indices(i32x4(jj), j);
  f64x2 R0, T0, R1, T1, r0, r1;
  log_rows(j[0], j[1], R0, T0);
  log_rows(j[2], j[3], R1, T1);
  const int m0 = pow2_half(widen_lo(m), _mm_cvtepi32_pd(kk), R0, T0, y0, r0);
  const int m1 = pow2_half(widen_hi(m), _mm_cvtepi32_pd(_mm_unpackhi_epi64(kk, kk)), R1, T1, y1, r1);
  r = narrow(r0, r1);
  return m0 | (m1 << 2) | not_positive_normal_f(x);
}

// The same formula on two double lanes (the EP kernels of the double powers): m R_j - 1 is now
// rounded (2^-53 absolute), and t reaches 1075, so the result is within about 2^-42 relative
// (some 2^11 ulp, 42 correct bits) where it is a normal double; the other lanes (x not positive
// normal, t outside (-1021, 1023), y not finite) are the caller's per-element routine's.
QOR_SIMD_INLINE int pow_packed_d(f64x2 x, f64x2 y, f64x2& r) {
  const __m128i h = _mm_shuffle_epi32(x.bits().v, _MM_SHUFFLE(3, 1, 3, 1));  // high words
  const __m128i fr = _mm_and_si128(h, _mm_set1_epi32(0x000FFFFF));
  const __m128i jj = _mm_srli_epi32(_mm_add_epi32(fr, _mm_set1_epi32(0x2000)), 14);  // 0 .. 64
  const __m128i kk = _mm_sub_epi32(_mm_srli_epi32(h, 20), _mm_set1_epi32(1023));
  const f64x2 m = (x & f64x2(_mm_castsi128_pd(_mm_set1_epi64x(0x000FFFFFFFFFFFFFll)))) | kc<1.0>();
  uint32_t j[4];
  lane_indices(i32x4(jj), j);
  f64x2 R, T;
  log_rows(j[0], j[1], R, T);
  // not positive normal: high word - 0x00100000 at or above 0x7FE00000, unsigned
  const __m128i d = _mm_xor_si128(_mm_sub_epi32(h, _mm_set1_epi32(0x00100000)), _mm_set1_epi32(INT32_MIN));
  const int bad = _mm_movemask_ps(_mm_castsi128_ps(
                      _mm_cmpgt_epi32(d, _mm_set1_epi32(static_cast<int32_t>(0x7FE00000u ^ 0x80000000u) - 1)))) &
                  3;
  return pow2_half<true>(m, _mm_cvtepi32_pd(kk), R, T, y, r) | bad;
}

}  // namespace spow
}  // namespace
}  // namespace qor::vm
