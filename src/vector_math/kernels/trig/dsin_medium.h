// The arithmetic of the double-precision per-element routines (scalar.h) for two lanes at a time:
// the reduction by pi/4 below 2^30 (the first regime of qor_fnx_kernel_reduce_pio2d) and the
// second stage by pi/32 that turns (q, r) into sin and cos as double-doubles. The per-element
// routines run these on one lane (lane 0 of a splat), so the packed kernels' medium range gives
// the per-element results bit for bit:
//
//   lanes at or above the packed formula's screen (|x| >= 90112) but below 2^30 are computed here
//   two at a time, inside the block, instead of one by one; only |x| >= 2^30, infinities and
//   NaNs still leave for the per-element routine (and its 4/pi chunk table).
//
// Reduction (reduce.h): k = trunc(|x| 4/pi) raised to even, r = |x| - k pi/4 with pi/4 in four
// pieces (|x| < 2^23; 27, 28 and 27 significant bits and a full double) or five (20, 21, 20, 20
// bits and a full double): k times every piece but the last is exact (k < 2^24 and k < 2^31), and
// the differences are carried in double-double. A register whose lanes are all below 2^23 (or
// all above) takes its set of pieces directly; a mixed one the five-piece sequence with the
// four-piece constants (and a zero fifth piece, which changes nothing) in its small lanes.
// Second stage (scalar.h): N = round(r 32/pi), j = (16 q + N) mod 64,
// r' = ((r - N P1) - N P2) - N P3 carried with a correction that also takes the reduction's low
// part, degree-9/8 Taylor polynomials, and the table of the angles j pi/32 (the even entries of
// the packed formula's 128-entry table).
#pragma once

#include <emmintrin.h>

#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/trig/dd.h"
#include "vector_math/kernels/trig/trig_tables.h"

namespace qor::vm::trig {

struct alignas(16) DMediumRows {
  double four_over_pi[2];          // 4/pi = 1.2732395447351628
  double pio4x4[4][2];             // pi/4 in four pieces (|x| < 2^23)
  double pio4x5[5][2];             // pi/4 in five pieces (2^23 <= |x| < 2^30)
  double two23[2], two17[2];
  double inv_pio32[2];             // 32/pi = 10.185916357881302
  double shifter[2];               // 1.5 2^52
  double p1[2], p2[2], p3[2];      // pi/32 in three pieces (N P1, N P2 exact for |N| < 2^21)
  double s[4][2];                  // -1/6, 1/120, -1/5040, 1/362880
  double c[4][2];                  // -1/2, 1/24, -1/720, 1/40320
};
inline constexpr DMediumRows kDMedium = {
    QOR_ROW2(0x1.45f306dc9c883p0),
    {QOR_ROW2(0x1.921fb54000000p-1), QOR_ROW2(0x1.10b4612000000p-31), QOR_ROW2(-0x1.676733c000000p-61),
     QOR_ROW2(0x1.1701b839a2520p-89)},
    {QOR_ROW2(0x1.921fa00000000p-1), QOR_ROW2(0x1.5444300000000p-21), QOR_ROW2(-0x1.73dca00000000p-44),
     QOR_ROW2(-0x1.3b39a00000000p-64), QOR_ROW2(0x1.45c06e0e68948p-87)},
    QOR_ROW2(0x1p23), QOR_ROW2(0x1p17),
    QOR_ROW2(0x1.45f306dc9c883p+3),
    QOR_ROW2(0x1.8p52),
    QOR_ROW2(0x1.921fb54400000p-4), QOR_ROW2(0x1.0b4611a600000p-38), QOR_ROW2(0x1.3198a2e037073p-73),
    {QOR_ROW2(-0x1.5555555555555p-3), QOR_ROW2(0x1.1111111111111p-7), QOR_ROW2(-0x1.a01a01a01a01ap-13),
     QOR_ROW2(0x1.71de3a556c734p-19)},
    {QOR_ROW2(-0.5), QOR_ROW2(0x1.5555555555555p-5), QOR_ROW2(-0x1.6c16c16c16c17p-10),
     QOR_ROW2(0x1.a01a01a01a01ap-16)},
};

// |x| - k pi/4 = hi + lo (k even, as a double) for 0 <= ax < 2^30, with kN pieces (four or five);
// `pieces` returns piece i. n = k/2 in the two low 32-bit lanes.
template <int kN, class Pieces>
QOR_SIMD_INLINE void reduce_pio4_steps(f64x2 ax, f64x2 k, Pieces pieces, f64x2& hi, f64x2& lo) {
  f64x2 h = ax - k * pieces(0);  // exact
  f64x2 l;
  for (int i = 1; i < kN; ++i) {
    f64x2 s, e;
    two_sum(h, f64x2() - k * pieces(i), s, e);  // k p_i exact but for the last piece
    h = s;
    l = l + e;
  }
  fast_two_sum(h, l, hi, lo);
}

QOR_SIMD_INLINE void reduce_pio2_medium(f64x2 ax, f64x2& hi, f64x2& lo, __m128i& n) {
  const DMediumRows& c = opaque(kDMedium);
  __m128i ki = _mm_cvttpd_epi32((ax * row(c.four_over_pi)).v);
  ki = _mm_add_epi32(ki, _mm_and_si128(ki, _mm_set1_epi32(1)));
  const f64x2 k = _mm_cvtepi32_pd(ki);
  n = _mm_srai_epi32(ki, 1);
  const int big = mask(cmp_le(row(c.two23), ax));
  if (big == 0) {
    reduce_pio4_steps<4>(ax, k, [&](int i) { return row(c.pio4x4[i]); }, hi, lo);
  } else if (big == 3) {
    reduce_pio4_steps<5>(ax, k, [&](int i) { return row(c.pio4x5[i]); }, hi, lo);
  } else {
    const f64x2 m = cmp_le(row(c.two23), ax);
    reduce_pio4_steps<5>(
        ax, k, [&](int i) { return select(m, row(c.pio4x5[i]), i < 4 ? row(c.pio4x4[i]) : f64x2()); }, hi, lo);
  }
}

// The per-element routines' first step for finite x with |x| < 2^30: |x| >= 2^17 is reduced
// (r = s (hi + lo), q = (s k/2) mod 4 with s the sign of x), smaller x is taken as it is (q = 0).
// q in the two low 32-bit lanes.
QOR_SIMD_INLINE void dsin_first_step(f64x2 x, f64x2& r, f64x2& rlo, __m128i& q) {
  const DMediumRows& c = opaque(kDMedium);
  const f64x2 ax = abs(x), sg = sign_bits(x);
  f64x2 hi, lo;
  __m128i n;
  reduce_pio2_medium(ax, hi, lo, n);
  // s n: negate the lanes of negative x (two's complement: (n ^ m) - m)
  const __m128i neg = _mm_srai_epi32(_mm_shuffle_epi32(x.bits().v, _MM_SHUFFLE(3, 3, 3, 1)), 31);
  n = _mm_sub_epi32(_mm_xor_si128(n, neg), neg);
  const f64x2 red = cmp_le(row(c.two17), ax);
  r = select(red, flip(hi, sg), x);
  rlo = red & flip(lo, sg);
  const __m128i redi = _mm_shuffle_epi32(red.bits().v, _MM_SHUFFLE(3, 3, 2, 0));
  q = _mm_and_si128(_mm_and_si128(n, redi), _mm_set1_epi32(3));
}

// sin(a_idx + r + rc) as hi + lo for the table entries idx (64-bit lanes), sp and cp the
// polynomials at r; rc enters with the slope C_idx.
QOR_SIMD_INLINE void dsin_combine(i64x2 idx, f64x2 r, f64x2 rc, f64x2 sp, f64x2 cp, f64x2& hi, f64x2& lo) {
  f64x2 cm, shi, slo, cc;
  gather2<0>(kDSinHA.e, idx, cm, shi);
  gather2<2>(kDSinHA.e, idx, slo, cc);
  const f64x2 small = slo + ((cc + cm) * rc + (shi * cp + (cc * sp + cm * (r + sp))));
  f64x2 s, t;
  fast_two_sum(shi, cc * r, s, t);
  fast_two_sum(s, t + small, hi, lo);
}

// The second stage: sin (kSin) and cos (kCos) of q pi/2 + r + rlo as double-doubles.
template <bool kSin, bool kCos>
QOR_SIMD_INLINE void dsin_second_step(f64x2 r, f64x2 rlo, __m128i q, f64x2* sh, f64x2* sl, f64x2* ch, f64x2* cl) {
  const DMediumRows& c = opaque(kDMedium);
  const f64x2 t = r * row(c.inv_pio32) + row(c.shifter);
  const f64x2 k = t - row(c.shifter);
  const f64x2 a = r - k * row(c.p1);  // exact
  f64x2 rh, e1;
  two_diff(a, k * row(c.p2), rh, e1);
  const f64x2 c3 = k * row(c.p3);
  const f64x2 rr = rh - c3;
  const f64x2 e2 = (rh - rr) - c3;
  const f64x2 rc = (e1 + e2) + rlo;
  const f64x2 r2 = rr * rr;
  const f64x2 sp = rr * r2 * (row(c.s[0]) + r2 * (row(c.s[1]) + r2 * (row(c.s[2]) + r2 * row(c.s[3]))));
  const f64x2 cp = r2 * (row(c.c[0]) + r2 * (row(c.c[1]) + r2 * (row(c.c[2]) + r2 * row(c.c[3]))));
  // j = (16 q + N) mod 64 in 64-bit lanes; the entry of angle j pi/32 is 2j of the 128-entry table
  const __m128i q64 = _mm_shuffle_epi32(q, _MM_SHUFFLE(3, 1, 3, 0));
  const __m128i j = _mm_add_epi32(_mm_slli_epi32(q64, 4), t.bits().v);
  const __m128i m63 = _mm_set_epi32(0, 63, 0, 63);
  if constexpr (kSin) dsin_combine(i64x2(_mm_slli_epi32(_mm_and_si128(j, m63), 1)), rr, rc, sp, cp, *sh, *sl);
  if constexpr (kCos) {
    const __m128i jc = _mm_and_si128(_mm_add_epi32(j, _mm_set1_epi32(16)), m63);
    dsin_combine(i64x2(_mm_slli_epi32(jc, 1)), rr, rc, sp, cp, *ch, *cl);
  }
}

// tan = (sh + sl) / (ch + cl): q = sh / ch, then q + ((sh - q ch) + sl - q cl) / ch with q ch
// exact.
template <class V>
QOR_SIMD_INLINE V tan_of_dd(V sh, V sl, V ch, V cl) {
  const V q = sh / ch;
  V p, pe;
  two_prod(q, ch, p, pe);
  return q + (((sh - p) - pe) + (sl - q * cl)) / ch;
}

}  // namespace qor::vm::trig
