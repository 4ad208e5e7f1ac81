// The packed formula of double-precision Sin HA and the cores the other sine-family kernels
// build on (sin.h).
//
// HA, two elements per register: |x| < 90112 (high word of |x| below 0x40F60000; the rest,
// infinities and NaNs included, is taken by sin.h: the wide reduction below 2^23, the
// per-element routine's arithmetic beyond);
//   t = |x| 64/pi + 1.5 2^52, N = the low bits of t, k = t - 1.5 2^52,
//   r = ((|x| - k P1) - k P2) - k P3 with pi/64 = P1 + P2 + P3 (k P1, k P2 exact for k < 2^21),
//     carried as a high part and a correction (a TwoDiff and a Fast2Sum), so r keeps its
//     relative accuracy near the multiples of pi, where the result is about r itself;
//   j = N & 127 (the entry (C_j - c_j, S_hi, S_lo, c_j) of the angle j pi/64);
//   sin r - r = r^3 (-1/6 + r^2 (1/120 - r^2/5040)), cos r - 1 = r^2 (-1/2 + r^2 (1/24 - r^2/720));
//   sin |x| = S_hi + c_j r + (S_lo + c_j r_corr + S_hi (cos r - 1) + c_j (sin r - r)
//             + (C_j - c_j) sin r), summed from the small terms up, S_hi + c_j r formed exactly
//             (|c_j r| <= pi/128 < |S_hi| unless S_hi = 0); the result is s + t with t
//             not normalised (it holds terms up to |(C_j - c_j) r|);
//   the sign of x reattached. Cosine takes the entry j + 32 (cos y = sin(y + pi/2)) and no sign.
// The result before its last addition is a double-double (s, t), which the tangent and SinCos
// use.
//
// LA: the same with r not carried (one rounding of each subtraction) and the last sum plain.
// EP: LA with sin r - r = -r^3/6 and cos r - 1 = r^2 (-1/2 + r^2/24) and no S_lo: 2^-28.
// Lanes the screen flags are clamped first (min with 2^17, which also turns a NaN into 2^17), so
// that they raise no exception in the packed formula; their results are replaced.
#pragma once

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/trig/dd.h"
#include "vector_math/kernels/trig/trig_tables.h"

namespace qor::vm::trig {

enum class DAcc { HA, LA, EP };

// The wide form of the reduction (kWide), for the lanes from the screen (90112) up to 2^23:
// pi/64 in five pieces, four of 24 significant bits and a full double (about 160 bits), so that
// k times each of the first four is exact for k < 2^29 (|x| < 2^23 gives k < 2^27.4); the
// differences are carried like the three-piece ones. The closest a double in [2^16, 2^23) comes to
// a multiple of pi/2 is above 2^-55 (continued fractions of pi/2 at each binade), so r + rc keeps
// about 100 correct bits there. LA and EP fold the correction into r (their formula has none).
struct alignas(16) DWideRows {
  double q[5][2];
};
inline constexpr DWideRows kDWide = {{
    QOR_ROW2(0x1.921fb60000000p-5), QOR_ROW2(-0x1.777a5c0000000p-30), QOR_ROW2(-0x1.ee59da0000000p-55),
    QOR_ROW2(0x1.98a2e00000000p-82), QOR_ROW2(0x1.b839a252049c1p-109),
}};

// |x| clamped to 2^17 (2^23 for the wide reduction; NaN to the same: the screen flags those
// lanes).
template <bool kWide = false>
QOR_SIMD_INLINE f64x2 dclamp_abs(f64x2 x) {
  return _mm_min_pd(abs(x).v, _mm_set1_pd(kWide ? 0x1p23 : 0x1p17));
}

// sin of ax (|x| clamped) shifted by kOffset pi/64, as s + t (HA, LA) or s (t = 0, EP).
template <DAcc kAcc, int kOffset, bool kWide = false>
QOR_SIMD_INLINE void dsin_core(f64x2 ax, f64x2& s, f64x2& t) {
  const DSinHATable& c = opaque(kDSinHA);
  const f64x2 tt = ax * row(c.inv_pio64) + row(c.shifter);
  const f64x2 k = tt - row(c.shifter);
  f64x2 r, rc;
  if constexpr (kWide) {
    const DWideRows& w = opaque(kDWide);
    f64x2 h = ax - k * row(w.q[0]), e = f64x2();
    for (int i = 1; i < 4; ++i) {
      f64x2 hn, ei;
      two_diff(h, k * row(w.q[i]), hn, ei);
      h = hn;
      e = e + ei;
    }
    const f64x2 c5 = k * row(w.q[4]);
    r = h - c5;
    rc = e + ((h - r) - c5);
    if constexpr (kAcc != DAcc::HA) r = r + rc;
  } else {
    const f64x2 a = ax - k * row(c.p1);
    if constexpr (kAcc == DAcc::HA) {
      f64x2 rh, e1;
      two_diff(a, k * row(c.p2), rh, e1);
      const f64x2 c3 = k * row(c.p3);
      r = rh - c3;
      rc = e1 + ((rh - r) - c3);
    } else {
      r = (a - k * row(c.p2)) - k * row(c.p3);
    }
  }
  i64x2 j = tt.bits();
  if constexpr (kOffset != 0) j = j + i64x2(_mm_set1_epi64x(kOffset));
  j = j & i64x2(_mm_set1_epi64x(127));
  f64x2 cm, shi, slo, cc;
  gather2<0>(c.e, j, cm, shi);
  gather2<2>(c.e, j, slo, cc);
  const f64x2 r2 = r * r;
  f64x2 sp, cp;
  if constexpr (kAcc == DAcc::EP) {
    sp = r * r2 * row(c.s3);
    cp = r2 * (row(c.c2) + r2 * row(c.c4));
    s = shi + (cc * r + ((shi * cp + cc * sp) + cm * (r + sp)));
    t = f64x2();
    return;
  } else {
    sp = r * r2 * (row(c.s3) + r2 * (row(c.s5) + r2 * row(c.s7)));
    cp = r2 * (row(c.c2) + r2 * (row(c.c4) + r2 * row(c.c6)));
  }
  if constexpr (kAcc == DAcc::HA) {
    const f64x2 small = slo + (cc * rc + (shi * cp + (cc * sp + cm * (r + sp))));
    f64x2 t0;
    fast_two_sum(shi, cc * r, s, t0);
    t = t0 + small;
  } else {
    s = shi;
    t = cc * r + (slo + (shi * cp + (cc * sp + cm * (r + sp))));
  }
}

template <DAcc kAcc, bool kWide = false>
QOR_SIMD_INLINE f64x2 dsin_packed(f64x2 x) {
  f64x2 s, t;
  dsin_core<kAcc, 0, kWide>(dclamp_abs<kWide>(x), s, t);
  return flip(s + t, sign_bits(x));
}
template <DAcc kAcc, bool kWide = false>
QOR_SIMD_INLINE f64x2 dcos_packed(f64x2 x) {
  f64x2 s, t;
  dsin_core<kAcc, 32, kWide>(dclamp_abs<kWide>(x), s, t);
  return s + t;
}
// tan |x| = (s1 + t1) / (s2 + t2): (HA) both normalised, q = s1 / s2, then
// q + ((s1 - q s2) + t1 - q t2) / s2 with q s2 exact; LA and EP: the plain quotient of the sums.
template <DAcc kAcc, bool kWide = false>
QOR_SIMD_INLINE f64x2 dtan_packed(f64x2 x) {
  const f64x2 ax = dclamp_abs<kWide>(x);
  f64x2 s1, t1, s2, t2;
  dsin_core<kAcc, 0, kWide>(ax, s1, t1);
  dsin_core<kAcc, 32, kWide>(ax, s2, t2);
  f64x2 res;
  if constexpr (kAcc == DAcc::HA) {
    fast_two_sum(s1, t1, s1, t1);  // |t| <= ulp(s) / 2, so that dividing the residual by s2 suffices
    fast_two_sum(s2, t2, s2, t2);
    const f64x2 q = s1 / s2;
    f64x2 p, pe;
    two_prod(q, s2, p, pe);
    res = q + (((s1 - p) - pe) + (t1 - q * t2)) / s2;
  } else {
    res = (s1 + t1) / (s2 + t2);
  }
  return flip(res, sign_bits(x));
}
template <DAcc kAcc, bool kWide = false>
QOR_SIMD_INLINE void dsincos_packed(f64x2 x, f64x2& sn, f64x2& cs) {
  const f64x2 ax = dclamp_abs<kWide>(x);
  f64x2 s1, t1, s2, t2;
  dsin_core<kAcc, 0, kWide>(ax, s1, t1);
  dsin_core<kAcc, 32, kWide>(ax, s2, t2);
  sn = flip(s1 + t1, sign_bits(x));
  cs = s2 + t2;
}

}  // namespace qor::vm::trig
