// The arctangent core: atan |x| as a double-double for a pair of doubles, shared by Atan, Atanpi
// (atan.h) and the two-argument functions built on it.
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
  // numerator vh - c (exact) + vl; denominator 1 + vh c = dh + dl
  const f64x2 num = (vh - c) + vl;
  f64x2 pc, pce;
  two_prod(vh, c, pc, pce);
  f64x2 dh, dl;
  fast_two_sum(row(k.one), pc, dh, dl);
  dl = dl + pce;
  const f64x2 th = num / dh;
  f64x2 q, qe;
  two_prod(th, dh, q, qe);
  const f64x2 tl = (((num - q) - qe) - th * dl) / dh;
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

// atan |x| as a double-double (|x| not NaN; infinities give pi/2).
QOR_SIMD_INLINE void atan_abs(f64x2 x, f64x2& rh, f64x2& rl) {
  const AtanRows& k = opaque(kAtanRows);
  const f64x2 ax = abs(x);
  const f64x2 big = cmp_lt(row(k.one), ax);
  // y = 1/|x| = yh + yl for the lanes above 1 (|x| clamped to 2^900 so that y and the splits stay in range)
  const f64x2 axc = _mm_min_pd(ax.v, _mm_set1_pd(0x1p900));
  const f64x2 yh = row(k.one) / axc;
  f64x2 p, pe;
  two_prod(yh, axc, p, pe);
  const f64x2 yl = ((row(k.one) - p) - pe) / axc;
  const f64x2 vh = select(big, yh, ax), vl = select(big, yl, f64x2());
  f64x2 ah, al;
  atan_small(vh, vl, ah, al);
  // pi/2 - atan y
  f64x2 bh, bl;
  fast_two_sum(row(k.pio2_hi), f64x2() - ah, bh, bl);
  bl = bl + (row(k.pio2_lo) - al);
  f64x2 ch, cl;
  fast_two_sum(bh, bl, ch, cl);
  rh = select(big, ch, ah);
  rl = select(big, cl, al);
}

}  // namespace qor::vm::trig
