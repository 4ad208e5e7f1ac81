// The packed core of the single-precision powers (sPow, sPowr, sPowx, sPow2o3, sPow3o2) and of
// the double EP powers: plain double arithmetic (on the widened lanes for float), one rounding to
// the result's format at the end.
//
// log2 x, x a positive normal number: the LA base-2 logarithm of the double logarithms
// (exp_log/dlog_core.h, log_la2): x = 2^k m, c_j = 1 + j/512 from the top fraction bits (the
// exponent taken relative to 0x3FE7FC00), f = m - c_j exact, w = f log2(e) / c_j rounded once,
//     log2 x = (k + log2 c_j) + (w + w^2 P(w)),
// within 3 double ulp (relative 2^-51) and exact (zero) at x = 1.
// t = y log2 x in double, within 2^-51 |t| + 2^-53 |t| < 2^-43 absolute for float results.
// The lanes with t outside the packed range go to the per-element routine (the double-double
// core, which rounds results near overflow and in the subnormal range once): for float
// (-125.99, 127.99), so every packed result is a normal float and the packed path never judges
// overflow or underflow; for double (-1021, 1023).
// 2^t: N = round(256 t) through the shifter, r = t - N/256 exact (|r| <= 2^-9), j = N & 255,
// 2^t = 2^(N >> 8) T_j (1 + P(r)), T_j = RN(2^(j/256)) from the exponentials' table (kDExpT256),
// P(r) = r (c1 + r (c2 + r (c3 + r c4))), c_i = (ln 2)^i / i! (truncation below 2^-49).
//
// Errors, float: the double result is within about 2^-43 relative (2^-19 float ulp), so the
// float result is the correctly rounded one except when the exact power lies within that
// distance of a midpoint between floats (rare), and then within 0.5 + 2^-19 ulp.
// Double (EP): |t| reaches 1075, so the result is within about 2^-41 relative (41 correct bits).
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"
#include "vector_math/kernels/exp_log/dlog_core.h"

// Private to the including code-path file (an anonymous namespace).
namespace qor::vm {
namespace {
namespace spow {

using exp_log::kDExpT256;

struct alignas(16) SPowRows {
  double ec[4][2];   // (ln 2)^i / i!, i = 1 .. 4
  double shifter[2];  // 1.5 * 2^52
  double t_hi[2], t_lo[2];      // the packed range of t, single precision
  double t_hi_d[2], t_lo_d[2];  // and double precision (EP)
};
inline constexpr SPowRows kSPow = {
    {QOR_ROW2(0.6931471805599453), QOR_ROW2(0.2402265069591007), QOR_ROW2(0.055504108664821576),
     QOR_ROW2(0.009618129107628477)},
    QOR_ROW2(0x1.8p52),
    QOR_ROW2(127.99),
    QOR_ROW2(-125.99),
    QOR_ROW2(1023.0),
    QOR_ROW2(-1021.0),
};

// 2^(y l) of two lanes, l = log2 x. Returns the lanes whose t is outside the packed range (bit
// per lane): results that are normal floats (kDouble false) or normal doubles (kDouble true).
template <bool kDouble = false>
QOR_SIMD_INLINE int exp2_half(f64x2 l, f64x2 y, f64x2& r) {
  const SPowRows& c = opaque(kSPow);
  const f64x2 t = y * l;
  const f64x2 shifted = t * kc<256.0>() + row(c.shifter);
  const f64x2 f = t - (shifted - row(c.shifter)) * kc<0.00390625>();  // exact
  const f64x2 P = f * ((row(c.ec[0]) + f * row(c.ec[1])) + (f * f) * (row(c.ec[2]) + f * row(c.ec[3])));
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
// normal, t outside the packed range (which includes every non-finite y, and every y that makes
// t huge).
QOR_SIMD_INLINE int pow_packed_f(f32x4 x, f64x2 y0, f64x2 y1, f32x4& r) {
  // the high words of the widened lanes: exponent rebiased, the fraction's top 20 bits
  const i32x4 h = _mm_add_epi32(_mm_srli_epi32(x.bits().v, 3), _mm_set1_epi32((1023 - 127) << 20));
  const exp_log::dlogk::Reduced4 q = exp_log::dlogk::reduce4<true>(h);
  const f64x2 x0 = widen_lo(x), x1 = widen_hi(x);
  const f64x2 l0 = exp_log::dlogk::log_la2<exp_log::Base2>(x0, q.k0, q.c0, q.o[0], q.o[1]);
  const f64x2 l1 = exp_log::dlogk::log_la2<exp_log::Base2>(x1, q.k1, q.c1, q.o[2], q.o[3]);
  f64x2 r0, r1;
  const int m0 = exp2_half(l0, y0, r0);
  const int m1 = exp2_half(l1, y1, r1);
  r = narrow(r0, r1);
  return m0 | (m1 << 2) | not_positive_normal_f(x);
}

// The same formula on two double lanes (the EP kernels of the double powers); the lanes the
// formula does not take: x not positive normal, t outside (-1021, 1023), y not finite.
QOR_SIMD_INLINE int pow_packed_d(f64x2 x, f64x2 y, f64x2& r) {
  const i32x4 h = exp_log::dlogk::high_words(x, x);
  const exp_log::dlogk::Reduced4 q = exp_log::dlogk::reduce4<true>(h);
  const f64x2 l = exp_log::dlogk::log_la2<exp_log::Base2>(x, q.k0, q.c0, q.o[0], q.o[1]);
  const int bad = exp_log::dlogk::screen_positive_normal4(h) & 3;
  return exp2_half<true>(l, y, r) | bad;
}

}  // namespace spow
}  // namespace
}  // namespace qor::vm
