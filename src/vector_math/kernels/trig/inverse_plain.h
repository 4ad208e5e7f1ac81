// Plain double-precision formulas of the inverse functions: the packed formula of the
// single-precision Asin, Acos, Atan and their pi-scaled forms (on the widened lanes, rounded once
// to single precision), and of the EP slot of double-precision Atan (below).
//
// Every one is an angle atan2(y, x) with y >= 0 (asin x = sign(x) atan2(|x|, s), acos x =
// atan2(s, x), atan x = sign(x) atan2(|x|, 1), s = sqrt((1 - |x|)(1 + |x|))). With u = min(y, |x|),
// w = max(y, |x|) and v = u / w <= 1:
//   j = round(64 v) from v ~ u rcp(w) (the 12-bit reciprocal estimate, so that only one division
//     is needed), c = j/64, t = (u - c w) / (w + u c) = tan(atan v - atan c), |t| <= 1/128 + 2^-11;
//   atan v = A_j + t + t^3 (-1/3 + t^2 (1/5 - t^2/7)) (A_j = atan(j/64) rounded to double, from the
//     table of the double-precision core; the first omitted term is below 2^-58 of t);
//   the angle k pi/2 +- atan v with k = 1 where y > |x| (minus) and k = 2 where x < 0 and y <= |x|
//     (minus; plus where both); the pi-scaled forms scale atan v by 1/pi and add k/2 instead.
// Every step is a double-precision operation whose rounding error is a few units of 2^-53 of the
// angle (c w and u c are exact where u and w are widened floats: c has 7 significant bits; the
// rounded square root adds 2^-53 relative), so the angle is within a few units of 2^-53
// relative before it is rounded to single precision: within 0.5 + 2^-27 ulp, correctly rounded
// on all but the rare inputs next to a midpoint.
// |x| is clamped to 1 for the square root (the screen sends |x| >= 1 to the rare-value routines)
// and w to 2^127 (atan of larger |x| and infinities is pi/2 - 2^-127, which rounds as pi/2 does),
// so no lane raises a flag the result does not.
#pragma once

#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/trig/atan_core.h"
#include "vector_math/kernels/trig/dd.h"
#include "vector_math/kernels/trig/trig_tables.h"

namespace qor::vm::trig {

struct alignas(16) SInvRows {
  double sixty_four[2];
  double one_64th[2];
  double shifter[2];  // 1.5 2^52
  double one[2];
  double big[2];      // 2^127
  double p3[2], p5[2], p7[2];
  double pio2[2], half[2], inv_pi[2];
};
inline constexpr SInvRows kSInv = {
    QOR_ROW2(64.0), QOR_ROW2(0x1p-6), QOR_ROW2(0x1.8p52), QOR_ROW2(1.0), QOR_ROW2(0x1p127),
    QOR_ROW2(-0x1.5555555555555p-2), QOR_ROW2(0x1.999999999999ap-3), QOR_ROW2(-0x1.2492492492492p-3),
    QOR_ROW2(0x1.921fb54442d18p+0), QOR_ROW2(0.5), QOR_ROW2(0x1.45f306dc9c883p-2),
};

// atan2(y, x) (kPi: divided by pi) for y >= 0, x given as ax = |x| and the lane mask xneg of x < 0.
template <bool kPi>
QOR_SIMD_INLINE f64x2 satan2_plain(f64x2 y, f64x2 ax, f64x2 xneg) {
  const SInvRows& k = opaque(kSInv);
  const f64x2 big = cmp_lt(ax, y);
  const f64x2 u = min(y, ax), w = min(max(y, ax), row(k.big));
  const __m128 rw = _mm_rcp_ps(_mm_cvtpd_ps(w.v));
  const f64x2 v = u * f64x2(_mm_cvtps_pd(rw));
  const f64x2 tj = v * row(k.sixty_four) + row(k.shifter);
  const f64x2 c = (tj - row(k.shifter)) * row(k.one_64th);
  const f64x2 t = (u - c * w) / (w + u * c);
  const f64x2 t2 = t * t;
  const f64x2 p = t + t * t2 * (row(k.p3) + t2 * (row(k.p5) + t2 * row(k.p7)));
  const i64x2 j = i64x2(_mm_min_epi16((tj.bits() & i64x2(_mm_set1_epi64x(127))).v, _mm_set1_epi64x(64)));
  f64x2 ah, al;
  gather2<0>(kAtanJ64, j, ah, al);
  f64x2 a = ah + p;
  const f64x2 neg = _mm_xor_pd(big.v, xneg.v) & f64x2::splat(-0.0);
  const f64x2 kv = select(big, row(k.one), xneg & f64x2::splat(2.0));
  if constexpr (kPi) return kv * row(k.half) + flip(a * row(k.inv_pi), neg);
  else return kv * row(k.pio2) + flip(a, neg);
}

// atan (kAsin false) or asin of a float vector's lanes (|x| < 1 for asin), with the sign of x.
template <bool kAsin, bool kPi>
QOR_SIMD_INLINE f32x4 satan_asin_plain(f32x4 x) {
  const SInvRows& k = opaque(kSInv);
  auto half = [&](f64x2 xd) {
    const f64x2 ax = abs(xd);
    f64x2 other = row(k.one);
    if constexpr (kAsin) {
      const f64x2 a1 = min(ax, row(k.one));
      other = _mm_sqrt_pd(((row(k.one) - a1) * (row(k.one) + a1)).v);
    }
    return flip(satan2_plain<kPi>(ax, other, f64x2()), sign_bits(xd));
  };
  return narrow(half(widen_lo(x)), half(widen_hi(x)));
}

// acos of a float vector's lanes (|x| < 1).
template <bool kPi>
QOR_SIMD_INLINE f32x4 sacos_plain(f32x4 x) {
  const SInvRows& k = opaque(kSInv);
  auto half = [&](f64x2 xd) {
    const f64x2 ax = min(abs(xd), row(k.one));
    const f64x2 s = _mm_sqrt_pd(((row(k.one) - ax) * (row(k.one) + ax)).v);
    return satan2_plain<kPi>(s, ax, cmp_lt(xd, f64x2()));
  };
  return narrow(half(widen_lo(x)), half(widen_hi(x)));
}

// Double precision (Atan EP): the same angle for double operands. v = u / w is a division (its
// rounding moves j at most across a table boundary, |t| <= 1/128 + 2^-52), c w and u c are rounded
// products (2^-53 of a term no larger than u), atan t - t takes the terms to t^9 (the first omitted
// one is below 2^-56 of t), and atan c = A_hi + A_lo. Below 2 ulp in the accuracy sweeps (1.93 at
// worst), within LA's 4 ulp and EP's 2^-26. w is clamped to 2^900.
QOR_SIMD_INLINE f64x2 datan2_plain(f64x2 y, f64x2 ax, f64x2 xneg) {
  const SInvRows& k = opaque(kSInv);
  const AtanRows& ar = opaque(kAtanRows);
  const f64x2 big = cmp_lt(ax, y);
  const f64x2 u = min(y, ax), w = min(max(y, ax), kc<0x1p900>());
  const f64x2 v = u / w;
  const f64x2 tj = v * row(k.sixty_four) + row(k.shifter);
  const f64x2 c = (tj - row(k.shifter)) * row(k.one_64th);
  const f64x2 t = (u - c * w) / (w + u * c);
  const f64x2 t2 = t * t;
  const f64x2 p =
      t * t2 * (row(ar.p[0]) + t2 * (row(ar.p[1]) + t2 * (row(ar.p[2]) + t2 * row(ar.p[3]))));
  const i64x2 j = i64x2(_mm_min_epi16((tj.bits() & i64x2(_mm_set1_epi64x(127))).v, _mm_set1_epi64x(64)));
  f64x2 ah, al;
  gather2<0>(kAtanJ64, j, ah, al);
  const f64x2 a = ah + (t + (al + p));
  const f64x2 neg = _mm_xor_pd(big.v, xneg.v) & f64x2::splat(-0.0);
  const f64x2 kv = select(big, row(k.one), xneg & f64x2::splat(2.0));
  return kv * row(k.pio2) + flip(a, neg);
}

// atan of double lanes by datan2_plain.
QOR_SIMD_INLINE f64x2 datan_plain(f64x2 x) {
  return flip(datan2_plain(abs(x), row(opaque(kSInv).one), f64x2()), sign_bits(x));
}

}  // namespace qor::vm::trig
