// The arctangent core: atan |x| as a double-double for a pair of doubles, shared by Atan, Atanpi
// (atan.h), and atan2 of double-double arguments (atan2_core), shared by Atan2, Atan2pi
// (atan2.h) and the arcsines and arccosines (asin.h).
//
//   |x| <= 1: j = round(64 |x|), c = j/64, t = (|x| - c) / (1 + |x| c) with |t| <= 1/128, formed as
//     a double-double (the denominator's product and the quotient's remainder exact), and
//     atan |x| = atan c + atan t with atan c = A_hi + A_lo from the 65-entry table (MPFR,
//     tools/gen_trig_tables.cpp) and atan t - t = t^3 (-1/3 + t^2 (1/5 + t^2 (-1/7 + t^2/9)))
//     (Taylor; the next term is below 2^-73 of t); A_hi + t_hi is summed exactly.
//   |x| > 1: y = 1/|x| as a double-double (the remainder 1 - y |x| exact), the same on y, and
//     atan |x| = pi/2 - atan y.
// Arguments beyond 2^900 are taken as 2^900 (pi/2 - 2^-900 rounds to pi/2 as pi/2 - 1/|x| does);
// the callers handle infinities and NaNs (a NaN lane yields a NaN).
#pragma once

#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/trig/dd.h"
#include "vector_math/kernels/trig/trig_tables.h"

namespace qor::vm::trig {

struct alignas(16) AtanRows {
  double sixty_four[2];
  double shifter[2];      // 1.5 2^52
  double one[2];
  double pio2_hi[2], pio2_lo[2];
  double p[4][2];         // -1/3, 1/5, -1/7, 1/9
  double inv_pi_hi[2], inv_pi_lo[2];
};
inline constexpr AtanRows kAtanRows = {
    QOR_ROW2(64.0),
    QOR_ROW2(0x1.8p52),
    QOR_ROW2(1.0),
    QOR_ROW2(0x1.921fb54442d18p+0), QOR_ROW2(0x1.1a62633145c07p-54),
    {QOR_ROW2(-0x1.5555555555555p-2), QOR_ROW2(0x1.999999999999ap-3), QOR_ROW2(-0x1.2492492492492p-3),
     QOR_ROW2(0x1.c71c71c71c71cp-4)},
    QOR_ROW2(0x1.45f306dc9c883p-2), QOR_ROW2(-0x1.6b01ec5417056p-56),
};

// atan(vh + vl) for 0 <= vh <= 1 (vl a correction below an ulp of vh) as a double-double.
QOR_SIMD_INLINE void atan_small(f64x2 vh, f64x2 vl, f64x2& rh, f64x2& rl) {
  const AtanRows& k = opaque(kAtanRows);
  const f64x2 tj = vh * row(k.sixty_four) + row(k.shifter);
  const f64x2 jd = tj - row(k.shifter);
  const f64x2 c = jd * f64x2::splat(1.0 / 64);
  // numerator vh - c (exact) + vl, vl entering the quotient's remainder (added to vh - c it would
  // be rounded away where c = 0); denominator 1 + (vh + vl) c = dh + dl
  const f64x2 num = vh - c;
  f64x2 pc, pce;
  two_prod(vh, c, pc, pce);
  f64x2 dh, dl;
  fast_two_sum(row(k.one), pc, dh, dl);
  dl = dl + (pce + vl * c);
  const f64x2 th = num / dh;
  f64x2 q, qe;
  two_prod(th, dh, q, qe);
  const f64x2 tl = ((((num - q) - qe) + vl) - th * dl) / dh;
  const f64x2 t2 = th * th;
  const f64x2 poly = th * t2 * (row(k.p[0]) + t2 * (row(k.p[1]) + t2 * (row(k.p[2]) + t2 * row(k.p[3]))));
  // j <= 64 for |v| <= 1; lanes the frame replaces later (NaN) may give up to 127: clamp them to the table
  const i64x2 j = i64x2(_mm_min_epi16((tj.bits() & i64x2(_mm_set1_epi64x(127))).v, _mm_set1_epi64x(64)));
  f64x2 ah, al;
  gather2<0>(kAtanJ64, j, ah, al);
  f64x2 s, e;
  fast_two_sum(ah, th, s, e);
  fast_two_sum(s, e + (al + (tl + poly)), rh, rl);
}

// k pi/2 + (ah + al) as a double-double, per lane k = 0, 1 or 2 (kv holds 0.0, 1.0 or 2.0), for
// |ah| <= pi/2 (|ah| <= pi/4 where k = 1), so that the leading sum is exact by Fast2Sum.
QOR_SIMD_INLINE void add_pio2_multiple(f64x2 kv, f64x2 ah, f64x2 al, f64x2& rh, f64x2& rl) {
  const AtanRows& k = opaque(kAtanRows);
  f64x2 bh, bl;
  fast_two_sum(kv * row(k.pio2_hi), ah, bh, bl);
  bl = bl + (kv * row(k.pio2_lo) + al);
  fast_two_sum(bh, bl, rh, rl);
}

// (h + l) / pi, rounded once to a double (the low parts of the product summed first).
QOR_SIMD_INLINE f64x2 times_inv_pi(f64x2 h, f64x2 l) {
  const AtanRows& k = opaque(kAtanRows);
  f64x2 p, pe;
  two_prod(h, row(k.inv_pi_hi), p, pe);
  return p + (pe + (h * row(k.inv_pi_lo) + l * row(k.inv_pi_hi)));
}

// atan |x| as a double-double (|x| not NaN; infinities give pi/2).
QOR_SIMD_INLINE void atan_abs(f64x2 x, f64x2& rh, f64x2& rl) {
  const AtanRows& k = opaque(kAtanRows);
  const f64x2 ax = abs(x);
  const f64x2 big = cmp_lt(row(k.one), ax);
  // y = 1/|x| = yh + yl for the lanes above 1 (|x| clamped to 2^900 so that y and the splits stay in range)
  // (1 in the other lanes, so that 1/|x| raises nothing there, at 0 in particular)
  const f64x2 axc = _mm_min_pd(select(big, ax, row(k.one)).v, _mm_set1_pd(0x1p900));
  const f64x2 yh = row(k.one) / axc;
  f64x2 p, pe;
  two_prod(yh, axc, p, pe);
  const f64x2 yl = ((row(k.one) - p) - pe) / axc;
  const f64x2 vh = select(big, yh, ax), vl = select(big, yl, f64x2());
  f64x2 ah, al;
  atan_small(vh, vl, ah, al);
  // pi/2 - atan y where |x| > 1
  const f64x2 neg = big & f64x2::splat(-0.0);
  add_pio2_multiple(big & row(k.one), flip(ah, neg), flip(al, neg), rh, rl);
}

// The angle of the point (dh + dl, nh + nl) as a double-double, i.e. atan2(n, d), for n >= 0 given
// as a double-double, d as its magnitude (dh + dl >= 0) and a lane mask `dneg` of negative d. Both
// are finite and not both zero, and the quotient of the smaller by the larger is 0 or at least
// 2^-960 (the products below stay normal). With v = min/max <= 1 and a = atan v:
//   n <= |d|: a (d > 0) or pi - a (d < 0);   n > |d|: pi/2 - a (d > 0) or pi/2 + a (d < 0).
QOR_SIMD_INLINE void atan2_core(f64x2 nh, f64x2 nl, f64x2 dh, f64x2 dl, f64x2 dneg, f64x2& rh, f64x2& rl) {
  const AtanRows& k = opaque(kAtanRows);
  const f64x2 big = cmp_lt(dh, nh) | (cmp_eq(dh, nh) & cmp_lt(dl, nl));
  const f64x2 uh = select(big, dh, nh), ul = select(big, dl, nl);
  const f64x2 wh = select(big, nh, dh), wl = select(big, nl, dl);
  // v = u / w as a double-double (the remainder u - vh w exact)
  const f64x2 vh = uh / wh;
  f64x2 p, pe;
  two_prod(vh, wh, p, pe);
  const f64x2 vl = ((((uh - p) - pe) + ul) - vh * wl) / wh;
  f64x2 ah, al;
  atan_small(vh, vl, ah, al);
  const f64x2 neg = _mm_xor_pd(big.v, dneg.v) & f64x2::splat(-0.0);
  const f64x2 kv = select(big, row(k.one), dneg & f64x2::splat(2.0));
  add_pio2_multiple(kv, flip(ah, neg), flip(al, neg), rh, rl);
}

}  // namespace qor::vm::trig
