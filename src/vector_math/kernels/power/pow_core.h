// The core of the power functions (Pow, Powr, Powx, Pow2o3, Pow3o2, both precisions):
// x^y = 2^(y log2 x) with log2 x and its product with y carried in double-double arithmetic.
//
// log2 x, x positive and normal: x = 2^k m with the reduction of the double logarithms
// (exp_log/dlog_core.h: m in about [0.75, 1.5), R_j ~ 1/(1 + j/512) with 21 bits, j from the
// top fraction bits), u = m R_j - 1 = uhi + ulo exactly (|u| < 2^-9.5), v = u / ln 2 as a
// double-double, and
//     log2 x = k + T_j + p(v),   T_j = -log2 R_j (the base-2 table of the logarithms, hi + lo),
//     p(v) = v + c2 v^2 + ... + c7 v^7 = log2(1 + v ln 2),  c_k = (-1)^(k+1) (ln 2)^(k-1) / k.
// The leading sum k + T_hi + v_hi + c2 v^2 is formed exactly (k + T_hi is exact, then two
// TwoSums, c2 v^2 itself as a double-double; the constants' Dekker splits are precomputed); the
// rest (T_lo, v_lo, the polynomial's tail from v^3, below 2^-29) is added once. The truncation
// after v^7 is below 2^-82 and the rounding of the tail near 2^-82, against |log2 x| >= 2^-9 wherever k or j is non-zero (and
// relative to v where both are zero): log2 x is good to about 2^-70 relative.
//
// t = y log2 x = th + tl by an exact product (Dekker's splitting: no fused multiply-add on these
// code paths) plus y times the low part; a scalar exponent given as a double-double (2/3 in
// Pow2o3) adds its low part times log2 x.
//
// 2^t: N = round(256 th) through the shifter 1.5 * 2^52, f = th - N/256 exactly, r = f + tl,
// n = N >> 8, j = N & 255 and, with T_j = RN(2^(j/256)) (1 + L_j) from the exponentials' table,
//     2^t = 2^n T_j (1 + q),  q = L_j + P(r) + L_j P(r),
//     P(r) = r (c1 + r (c2 + r (c3 + r (c4 + r c5)))) = 2^r - 1 on |r| <= 2^-9,
// with the Taylor coefficients c_k = (ln 2)^k / k! (truncation below 2^-66). The packed formula
// builds 2^n T_j in the exponent field (valid for -960 < th < 1020, where the result and its
// correction term are normal) and rounds once: 2^n T_j + 2^n T_j q. Outside that range the per-element routine scales in steps
// so that the result is still rounded once: by 2^(n-1) and 2 near overflow, and near underflow
// by adding 1 at the subnormal result's precision before the final exact scaling.
//
// Errors: |y log2 x| <= 1075 where the result is finite and not zero, so an error of 2^-63
// relative in log2 x is below 2^-53 absolute in t; with the rest, the result is within about
// 0.52 ulp (0.5 from the final rounding), and near 0.5 for |t| of a few units.
//
// The polynomial of log2(1 + v ln 2) uses the closed-form coefficients above. (A coefficient set
// that differs from them by a factor 1 + k 9.6e-8 in the k-th coefficient would leave an error
// of 2^-42 relative in log2 x near x = 1 + 2^-9, thousands of ulps once multiplied by a large
// exponent; degree 7 rather than 6 keeps the truncation below the double-double's own error.)
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"
#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/exp_log/exp_log_tables.h"

// Private to the including code-path file (an anonymous namespace): the same functions compiled
// for SSE2 and for SSSE3 must not become one symbol.
namespace qor::vm {
namespace {
namespace power {

using exp_log::kDExpT256;
using exp_log::kDLn;
using exp_log::kDLog2;

// ---- double-double helpers -----------------------------------------------------------------
// s + e = a + b exactly.
QOR_SIMD_INLINE void two_sum(f64x2 a, f64x2 b, f64x2& s, f64x2& e) {
  s = a + b;
  const f64x2 bb = s - a;
  e = (a - (s - bb)) + (b - bb);
}
// s + e = a + b exactly, |a| >= |b| (or a = 0).
QOR_SIMD_INLINE void fast_two_sum(f64x2 a, f64x2 b, f64x2& s, f64x2& e) {
  s = a + b;
  e = b - (s - a);
}
// Veltkamp's splitting: a = hi + lo, each with 26 significant bits (|a| < 2^995).
QOR_SIMD_INLINE void split(f64x2 a, f64x2& hi, f64x2& lo) {
  const f64x2 t = a * kc<134217729.0>();
  hi = t - (t - a);
  lo = a - hi;
}
// p + e = a b exactly (Dekker), given p = a b rounded.
QOR_SIMD_INLINE f64x2 two_prod_err(f64x2 a, f64x2 b, f64x2 p) {
  f64x2 ah, al, bh, bl;
  split(a, ah, al);
  split(b, bh, bl);
  return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}
// The same with b's split given (a constant split beforehand: b = bh + bl, 26 bits each).
QOR_SIMD_INLINE f64x2 two_prod_err_c(f64x2 a, f64x2 bh, f64x2 bl, f64x2 p) {
  f64x2 ah, al;
  split(a, ah, al);
  return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}
// p + e = a^2 exactly, given p = a^2 rounded (one split).
QOR_SIMD_INLINE f64x2 two_sqr_err(f64x2 a, f64x2 p) {
  f64x2 ah, al;
  split(a, ah, al);
  return ((ah * ah - p) + (ah + ah) * al) + al * al;
}

// ---- constants -------------------------------------------------------------------------------
struct alignas(16) PowRows {
  double inv_ln2_hi[2], inv_ln2_lo[2];  // 1 / ln 2
  double lc[6][2];                      // c2 .. c7 of log2(1 + v ln 2)
  double c2_lo[2];                      // c2 = -ln 2 / 2 = lc[0] + c2_lo
  double ec[5][2];                      // (ln 2)^k / k!, k = 1 .. 5
  double shifter[2];                    // 1.5 * 2^52
  double one[2];
  uint64_t frac_mask[2], hi_mask[2];
  double inv_ln2_s[2][2], c2_s[2][2];  // inv_ln2_hi and c2 = lc[0] split in 26-bit halves
};
inline constexpr PowRows kPow = {
    QOR_ROW2(0x1.71547652b82fep+0),
    QOR_ROW2(0x1.777d0ffda0d24p-56),
    {QOR_ROW2(-0.34657359027997264), QOR_ROW2(0.16015100463940046), QOR_ROW2(-0.08325616299723236),
     QOR_ROW2(0.046167019716616686), QOR_ROW2(-0.026667116292856882), QOR_ROW2(0.01584363126176394)},
    QOR_ROW2(-0x1.abc9e3b39803fp-57),
    {QOR_ROW2(0.6931471805599453), QOR_ROW2(0.2402265069591007), QOR_ROW2(0.055504108664821576),
     QOR_ROW2(0.009618129107628477), QOR_ROW2(0.0013333558146428443)},
    QOR_ROW2(0x1.8p52),
    QOR_ROW2(1.0),
    QOR_ROW2(0x000FFFFFFFFFFFFFull),
    QOR_ROW2(0xFFFFFFFF00000000ull),
    {QOR_ROW2(0x1.7154768p+0), QOR_ROW2(-0x1.6a3e81p-27)},
    {QOR_ROW2(-0x1.62e43p-2), QOR_ROW2(0x1.05c611p-30)},
};

// High words of the two lanes of x, in lanes 0 and 1 of an integer vector.
QOR_SIMD_INLINE __m128i high_words(f64x2 x) { return _mm_shuffle_epi32(x.bits().v, _MM_SHUFFLE(3, 1, 3, 1)); }

// log2 x = lh + ll for x positive, normal and finite (kadj is added to the exponent: the
// per-element routine scales subnormal inputs).
QOR_SIMD_INLINE void log2_dd(f64x2 x, f64x2 kadj, f64x2& lh, f64x2& ll) {
  const PowRows& c = opaque(kPow);
  const __m128i h = high_words(x);
  const __m128i kk = _mm_srai_epi32(_mm_sub_epi32(h, _mm_set1_epi32(0x3FE7FC00)), 20);
  const f64x2 k = f64x2(_mm_cvtepi32_pd(kk)) + kadj;
  const __m128i jj = _mm_srli_epi32(
      _mm_and_si128(_mm_add_epi32(_mm_and_si128(h, _mm_set1_epi32(0xFFC00)), _mm_set1_epi32(0x400)),
                    _mm_set1_epi32(0x1FF800)),
      11);
  const int j0 = _mm_cvtsi128_si32(jj), j1 = _mm_cvtsi128_si32(_mm_srli_si128(jj, 4));
  const f64x2 R = _mm_loadh_pd(_mm_load_sd(&kDLn.e[j0][0]), &kDLn.e[j1][0]);
  const __m128d t0 = _mm_load_pd(kDLog2.e[j0]), t1 = _mm_load_pd(kDLog2.e[j1]);
  const f64x2 TH = _mm_unpacklo_pd(t0, t1), TL = _mm_unpackhi_pd(t0, t1);
  const f64x2 m = (x & row(c.frac_mask)) | row(c.one);
  const f64x2 mhi = m & row(c.hi_mask);
  const f64x2 mlo = m - mhi;
  const f64x2 uhi = mhi * R - row(c.one);  // exact
  const f64x2 ulo = mlo * R;               // exact
  f64x2 uh, ul;
  two_sum(uhi, ulo, uh, ul);
  // v = u / ln 2 = vh + vl
  const f64x2 vh = uh * row(c.inv_ln2_hi);
  const f64x2 vl = two_prod_err_c(uh, row(c.inv_ln2_s[0]), row(c.inv_ln2_s[1]), vh) +
                   (uh * row(c.inv_ln2_lo) + ul * row(c.inv_ln2_hi));
  // c2 v^2 as a double-double (it reaches 2^-20, and its rounding would cost 2^-73), the
  // higher terms in double
  const f64x2 v2 = vh * vh;
  const f64x2 v2l = two_sqr_err(vh, v2) + (vh + vh) * vl;
  const f64x2 q2 = v2 * row(c.lc[0]);
  const f64x2 q2l = two_prod_err_c(v2, row(c.c2_s[0]), row(c.c2_s[1]), q2) + (v2 * row(c.c2_lo) + v2l * row(c.lc[0]));
  // Estrin's scheme (shorter chains than Horner's rule)
  const f64x2 P = (v2 * vh) * ((row(c.lc[1]) + vh * row(c.lc[2])) +
                               v2 * ((row(c.lc[3]) + vh * row(c.lc[4])) + v2 * row(c.lc[5])));
  f64x2 s, se, s2, se2;
  const f64x2 a = k + TH;  // exact: TH is a multiple of 2^-42 below 1, |k| < 1100
  two_sum(a, vh, s, se);
  two_sum(s, q2, s2, se2);
  const f64x2 lo = (se + se2) + (((TL + vl) + q2l) + P);
  fast_two_sum(s2, lo, lh, ll);
}

// t = (yh + yl) (lh + ll) = th + tl.
QOR_SIMD_INLINE void mul_dd(f64x2 yh, f64x2 yl, f64x2 lh, f64x2 ll, f64x2& th, f64x2& tl) {
  th = yh * lh;
  tl = two_prod_err(yh, lh, th) + (yh * ll + yl * lh);
}

// 2^(th + tl) = 2^n T (1 + q): the parts the packed formula and the per-element routine share.
struct Exp2Parts {
  f64x2 shifted;  // th * 256 + 1.5 * 2^52: N in the low bits
  f64x2 B;        // the table's biased T_j
  f64x2 q;
};
QOR_SIMD_INLINE Exp2Parts exp2_parts(f64x2 th, f64x2 tl) {
  const PowRows& c = opaque(kPow);
  Exp2Parts o;
  o.shifted = th * kc<256.0>() + row(c.shifter);
  const f64x2 N = o.shifted - row(c.shifter);
  const f64x2 r = (th - N * kc<0.00390625>()) + tl;  // the first difference is exact
  const f64x2 r2 = r * r;
  const f64x2 P =
      r * ((row(c.ec[0]) + r * row(c.ec[1])) + r2 * ((row(c.ec[2]) + r * row(c.ec[3])) + r2 * row(c.ec[4])));
  const __m128i jv = _mm_and_si128(o.shifted.bits().v, _mm_set1_epi32(255));
  const int j0 = _mm_cvtsi128_si32(jv), j1 = _mm_cvtsi128_si32(_mm_srli_si128(jv, 8));
  const __m128d e0 = _mm_load_pd(kDExpT256.e[j0]), e1 = _mm_load_pd(kDExpT256.e[j1]);
  o.B = _mm_unpacklo_pd(e0, e1);
  const f64x2 L = _mm_unpackhi_pd(e0, e1);
  o.q = L + (P + L * P);
  return o;
}
// 2^n T_j, valid while it is a normal number.
QOR_SIMD_INLINE f64x2 scale_of(const Exp2Parts& e) {
  return _mm_castsi128_pd(_mm_add_epi64(e.B.bits().v, _mm_slli_epi64(e.shifted.bits().v, 44)));
}

// Lanes of th outside the packed formula's range (-960 < th < 1020: 2^n T and 2^n T q stay
// normal or far below the result's last place), or NaN, one bit per lane.
QOR_SIMD_INLINE int out_of_range(f64x2 th, f64x2 tl) {
  const f64x2 ok = simd::cmp_lt(th, kc<1020.0>()) & simd::cmp_lt(kc<-960.0>(), th) &
                   f64x2(_mm_cmpord_pd(tl.v, tl.v));
  return simd::mask(ok) ^ 3;
}
// Lanes of x that are not positive normal finite numbers.
QOR_SIMD_INLINE int not_positive_normal(f64x2 x) {
  const __m128i d = _mm_sub_epi32(high_words(x), _mm_set1_epi32(0x00100000));
  // unsigned d >= 0x7FE00000 (zero, subnormal, negative, inf, NaN)
  const __m128i bad = _mm_cmpgt_epi32(_mm_xor_si128(d, _mm_set1_epi32(static_cast<int>(0x80000000u))),
                                      _mm_set1_epi32(static_cast<int>(0x7FE00000u ^ 0x80000000u) - 1));
  return _mm_movemask_ps(_mm_castsi128_ps(bad)) & 3;
}
// Lanes of y that are infinite or NaN.
QOR_SIMD_INLINE int not_finite(f64x2 y) {
  const __m128i e = _mm_and_si128(high_words(y), _mm_set1_epi32(0x7FF00000));
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(e, _mm_set1_epi32(0x7FF00000)))) & 3;
}

// The packed power of two lanes: |x|^y for x positive normal; returns the lanes the formula
// cannot take (x not positive normal, y not finite, t out of range).
QOR_SIMD_INLINE int pow_packed(f64x2 x, f64x2 yh, f64x2 yl, f64x2& r) {
  f64x2 lh, ll, th, tl;
  log2_dd(x, f64x2(), lh, ll);
  mul_dd(yh, yl, lh, ll, th, tl);
  const Exp2Parts e = exp2_parts(th, tl);
  const f64x2 S = scale_of(e);
  r = S + S * e.q;
  return not_positive_normal(x) | not_finite(yh) | out_of_range(th, tl);
}

// ---- the LA kernels: natural logarithm, fewer exact steps ----------------------------------
// x = 2^k m with the double logarithms' reduction (c_j and R_j rows of kDLn, k relative to
// 0x3FE7FC00), u = m R_j - 1 = uhi + ulo exactly (|u| <= 2^-10), and
//     ln x = s + lo,  s + e = (k ln2_hi + H_j) + uhi exactly (the first sum is exact by the
//     table's design, the second a Fast2Sum: k ln2_hi + H_j is zero or at least 2^-10 in
//     magnitude), v + e2 = s + ulo exactly (uhi and ulo nearly cancel just below 1),
//     lo = (e + e2) + (k ln2_lo + L_j) + u^2 (-1/2 + u/3 - ... + u^5/7)
// (Taylor, truncation below 2^-83; the products of the rounded u err by 2^-72 absolute, and
// near 1 by 2^-53 u^2 against ln x ~ u), and v + lo renormalised.
// t = (y + yl) ln x = th + tl (exact product of y and the high part, the rest in double; yl is
// the low part of a constant exponent such as 2/3), then e^t = 2^n T_j (1 + q) with
// N = round(256 t / ln 2) = 256 n + j, r = (th - N C_hi) + (tl - N C_lo), C = ln 2 / 256 split
// with 29 bits in C_hi (N C_hi exact, the difference exact by Sterbenz's lemma), and
// P(r) = e^r - 1 of degree 5 (truncation below 2^-66), q = L_j + P + L_j P, rounded once as in
// the HA formula. The error of lo, |y| 2^-72 with |y| <= 745 / |ln x|, makes t good to about
// 2^-52.5 absolute: within about 1.2 ulp in all, below the LA bound of 4.
struct alignas(16) PowLARows {
  double lc[6][2];  // -1/2, 1/3, -1/4, 1/5, -1/6, 1/7
  double ec[5][2];  // 1/k!, k = 1 .. 5
  double inv_c[2];  // 256 / ln 2
  double c_hi[2], c_lo[2];
  double t_hi[2], t_lo[2];  // the packed range of th: (-665, 707), 2^(t / ln 2) normal
};
inline constexpr PowLARows kPowLA = {
    {QOR_ROW2(-0.5), QOR_ROW2(0x1.5555555555555p-2), QOR_ROW2(-0.25), QOR_ROW2(0.2), QOR_ROW2(-0x1.5555555555555p-3),
     QOR_ROW2(0x1.2492492492492p-3)},
    {QOR_ROW2(1.0), QOR_ROW2(0.5), QOR_ROW2(0x1.5555555555555p-3), QOR_ROW2(0x1.5555555555555p-5),
     QOR_ROW2(0x1.1111111111111p-7)},
    QOR_ROW2(0x1.71547652b82fep+8),
    QOR_ROW2(0x1.62e42ffp-9),
    QOR_ROW2(-0x1.718432a1b0e26p-43),
    QOR_ROW2(707.0),
    QOR_ROW2(-665.0),
};

QOR_SIMD_INLINE int pow_packed_la(f64x2 x, f64x2 y, f64x2 yl, f64x2& r) {
  namespace k4 = exp_log::dlogk;
  const PowLARows& c = opaque(kPowLA);
  const exp_log::DLnTable& ln = kDLn;
  const i32x4 h = k4::high_words(x, x);
  const k4::Reduced4 q = k4::reduce4<true>(h);
  const f64x2 R = k4::load_r(q.o[0], q.o[1]);
  f64x2 H, L;
  k4::load_hl(k4::ln_row(q.o[0]) + 2, k4::ln_row(q.o[1]) + 2, H, L);
  const k4::USplit w = k4::u_split(x, R);
  f64x2 s, e, v, e2;
  fast_two_sum(q.k0 * row(ln.ln2_hi) + H, w.uhi, s, e);
  two_sum(s, w.ulo, v, e2);  // uhi and ulo may nearly cancel (x just below 1)
  const f64x2 u = w.uhi + w.ulo, u2 = u * u;
  const f64x2 P = u2 * ((row(c.lc[0]) + u * row(c.lc[1])) +
                        u2 * ((row(c.lc[2]) + u * row(c.lc[3])) + u2 * (row(c.lc[4]) + u * row(c.lc[5]))));
  f64x2 lh, ll;  // ln x = lh + ll, lh = ln x rounded (|v| >= |lo|)
  fast_two_sum(v, ((e + e2) + (q.k0 * row(ln.ln2_lo) + L)) + P, lh, ll);
  const f64x2 th = y * lh;
  const f64x2 tl = two_prod_err(y, lh, th) + (y * ll + yl * lh);
  // e^(th + tl)
  const f64x2 shifted = th * row(c.inv_c) + row(kPow.shifter);
  const f64x2 N = shifted - row(kPow.shifter);
  const f64x2 rr = (th - N * row(c.c_hi)) + (tl - N * row(c.c_lo));
  const f64x2 r2 = rr * rr;
  const f64x2 E = rr * ((row(c.ec[0]) + rr * row(c.ec[1])) +
                        r2 * ((row(c.ec[2]) + rr * row(c.ec[3])) + r2 * row(c.ec[4])));
  f64x2 B, Lj;
  gather_rows<255>(kDExpT256.e, shifted, B, Lj);
  const f64x2 S = _mm_castsi128_pd(_mm_add_epi64(B.bits().v, _mm_slli_epi64(shifted.bits().v, 44)));
  r = S + S * (Lj + (E + Lj * E));
  const f64x2 ok = simd::cmp_lt(th, row(c.t_hi)) & simd::cmp_lt(row(c.t_lo), th) & f64x2(_mm_cmpord_pd(tl.v, tl.v));
  return (simd::mask(ok) ^ 3) | (k4::screen_positive_normal4(h) & 3);
}

// (hi + lo) 2^e rounded once, for hi + lo in about [0.5, 2) and -1080 < e < -1000, where the
// result is near or below 2^-1022: y = (hi + lo) 2^(e + 1022) is rounded at the precision of
// the subnormal result by adding 1 (whose ulp, 2^-52, is the least subnormal after scaling),
// then scaled by 2^-1022 exactly.
inline double scale_down_once(double hi, double lo, int e) {
  const double sc = double_of(static_cast<uint64_t>(e + 1022 + 1023) << 52);  // e + 1022 >= -58
  const double yh = hi * sc, yl = lo * sc;
  double y = yh + yl;
  if (y < 1.0) {
    double l = (yh - y) + yl;
    const double h = 1.0 + y;
    l = ((1.0 - h) + y) + l;
    y = (h + l) - 1.0;
  }
  return mul_rt(y, 0x1p-1022);
}

// ---- one element: |x|^y for finite positive x (any, subnormal included) and finite y --------
// Returns the result (overflow gives +inf, underflow the correctly rounded subnormal or +0).
inline double pow_positive(double x, double yh, double yl) {
  double kadj = 0;
  if (x < 0x1p-1022) {
    x *= 0x1p64;
    kadj = -64;
  }
  f64x2 lh, ll, th, tl;
  log2_dd(f64x2::splat(x), f64x2::splat(kadj), lh, ll);
  if (lane0(lh) == 0 && lane0(ll) == 0) return 1.0;  // x = 1: any finite y
  mul_dd(f64x2::splat(yh), f64x2::splat(yl), lh, ll, th, tl);
  const double t = lane0(th);
  if (t >= 1025.0) return mul_rt(0x1p1023, 0x1p1023);      // overflow, raised
  if (t <= -1080.0) return mul_rt(0x1p-1022, 0x1p-1022);    // underflow to +0, raised
  const Exp2Parts e = exp2_parts(th, tl);
  const int64_t N = static_cast<int64_t>(bits_of(lane0(e.shifted)) & 0xFFFFFFFFFFFFFull) -
                    static_cast<int64_t>(0x8000000000000ull);
  const int64_t n = N >> 8;  // arithmetic: floor(N / 256)
  const int j = static_cast<int>(N & 255);
  // T_j = RN(2^(j/256)) from its biased entry
  const double T = double_of(bits_of(lane0(e.B)) + (static_cast<uint64_t>(j) << 44));
  const double q = lane0(e.q);
  // T + T q is rounded once near 1; the scalings below are exact unless they overflow
  if (n > 1000) return mul_rt((T + T * q) * double_of(static_cast<uint64_t>(n - 2 + 1023) << 52), 4.0);
  if (n >= -1021) return (T + T * q) * double_of(static_cast<uint64_t>(n + 1023) << 52);
  return scale_down_once(T, T * q, static_cast<int>(n));
}

// ---- C's pow special cases ------------------------------------------------------------------
enum class YKind { NotInteger, Even, Odd };
inline YKind classify(double y) {
  if (std::fabs(y) >= 0x1p53) return YKind::Even;
  if (std::trunc(y) != y) return YKind::NotInteger;
  return std::trunc(y * 0.5) != y * 0.5 ? YKind::Odd : YKind::Even;
}

// Status of a finite non-zero power's result: overflow or underflow (below the least normal).
template <class T>
inline int range_status(T r) {
  const T a = std::fabs(r);
  if (std::isinf(a)) return kOverflow;
  if (a < std::numeric_limits<T>::min()) return kUnderflow;
  return kOk;
}

// x^y with C's special cases, y = yh + yl (yl non-zero only for a constant exponent). Results
// are computed in double; T is the element type (the float kernels round the double result once
// more, and judge overflow and underflow in float).
template <class T>
inline int pow_c(double x, double yh, double yl, T* out) {
  const double y = yh;
  if (y == 0) { *out = T(1); return kOk; }
  if (x == 1) { *out = T(1); return kOk; }
  if (std::isnan(x) || std::isnan(y)) { *out = static_cast<T>(x + y); return kOk; }
  if (std::isinf(y)) {
    const double ax = std::fabs(x);
    if (ax == 1) *out = T(1);
    else *out = (ax < 1) == (y < 0) ? T(INFINITY) : T(0);
    return kOk;
  }
  const YKind yk = classify(y);
  if (x == 0) {
    const bool neg = std::signbit(x) && yk == YKind::Odd;
    if (y < 0) {
      *out = static_cast<T>(div_rt(neg ? -1.0 : 1.0, 0.0));
      return kSing;
    }
    *out = neg ? T(-0.0) : T(0);
    return kOk;
  }
  if (std::isinf(x)) {
    const bool neg = x < 0 && yk == YKind::Odd;
    const T mag = y < 0 ? T(0) : T(INFINITY);
    *out = neg ? -mag : mag;
    return kOk;
  }
  bool neg = false;
  if (x < 0) {
    if (yk == YKind::NotInteger) {
      *out = static_cast<T>(nan_invalid_d());
      return kErrDom;
    }
    neg = yk == YKind::Odd;
    x = -x;
  }
  const double p = pow_positive(x, yh, yl);
  T r = static_cast<T>(neg ? -p : p);
  simd::barrier(r);
  *out = r;
  return range_status(r);
}

// IEEE powr: exp(y log x), x >= 0 (-0 as +0): NaN for negative x, for 0^0, inf^0 and 1^inf (all
// status 1), a pole for 0^(y < 0) (status 2).
template <class T>
inline int powr_c(double x, double y, T* out) {
  if (std::isnan(x) || std::isnan(y)) { *out = static_cast<T>(x + y); return kOk; }
  if (x < 0) { *out = static_cast<T>(nan_invalid_d()); return kErrDom; }
  x = std::fabs(x);
  if (x == 0) {
    if (y == 0) { *out = static_cast<T>(nan_invalid_d()); return kErrDom; }
    if (y < 0) { *out = static_cast<T>(div_rt(1.0, 0.0)); return kSing; }
    *out = T(0);
    return kOk;
  }
  if (std::isinf(x)) {
    if (y == 0) { *out = static_cast<T>(nan_invalid_d()); return kErrDom; }
    *out = y < 0 ? T(0) : T(INFINITY);
    return kOk;
  }
  if (x == 1) {
    if (std::isinf(y)) { *out = static_cast<T>(nan_invalid_d()); return kErrDom; }
    *out = T(1);
    return kOk;
  }
  if (std::isinf(y)) {
    *out = (x < 1) == (y < 0) ? T(INFINITY) : T(0);
    return kOk;
  }
  if (y == 0) { *out = T(1); return kOk; }
  T r = static_cast<T>(pow_positive(x, y, 0.0));
  simd::barrier(r);
  *out = r;
  return range_status(r);
}

}  // namespace power
}  // namespace
}  // namespace qor::vm
