// Packed (SSE2) single-precision LGamma, TGamma and ExpInt1: the formulas below evaluated in
// double precision on widened lanes (two registers of two doubles per four floats) and rounded
// once to single precision. Their relative error stays below about 2^-40 (2^-16 of a float ulp
// beside the final rounding), so every slot is within about 0.5 ulp; one kernel serves every
// slot but sLGamma's EP, which takes the same formulas with shorter series (LGammaPackedT<true>:
// relative error below about 2^-17, against the EP contract's 2^-11). The lanes the formulas do not take (NaN, infinities, zero, the poles, the overflow and
// underflow ranges, LGamma near its negative zeros) are recomputed by the per-element
// extended-precision routines of gamma.h and expint.h, unchanged, statuses included
// (Scheme::Patch: the other lanes of the block keep their packed results).
//
// Pieces (double precision): ln by the logarithm's HA core (exp_log/dlog_core.h, about 0.6 ulp
// of double), e^x by the exponential's HA core (exp_log/dexp_core.h, about 0.51 ulp), and
//   Stirling  S(y) = (y - 1/2) ln y - y + ln(2 pi)/2 + sum_{k=1..7} B_2k / (2k (2k-1) y^(2k-1)),
//             y >= 8: the first omitted term is below 9e-16, against lgamma(8) = 8.5;
//   shift     for x < 8, y = x + 8 and P = x (x+1) ... (x+7) (eight factors in every lane, no
//             branch): lgamma(x) = S(y) - ln P, Gamma(x) = e^S(y) / P;
//   series    lgamma(2 + z) = z sum_{k<24} c_k z^k, |z| <= 1/2, c_k the first coefficients
//             of tables/lgamma_tables.inc ((-1)^k (zeta(k+1) - 1)/(k+1), c_0 = 1 - gamma; the
//             first omitted term is below 2^-54 |z|).
// sLGamma (packed for 2^-149 <= x <= 4e36):
//   [1.5, 2.5)  series(x - 2)           relative accuracy through the zero at 2;
//   [0.5, 1.5)  series(x - 1) - ln x    through the zero at 1 (the difference cancels by a
//                                       factor of about 2.7 near 1, 6 at 1.5);
//   x >= 8      S(x);
//   elsewhere   S(x + 8) - ln P        (results of at least 0.28 there: an absolute error of a
//                                       few 2^-50 stays far below a float ulp).
//   x < 0       ln pi - ln|sin(pi x)| - lgamma(1 - x) for -2^23 < x < 0 not an integer; the
//               lanes whose result is below 2^-10 in magnitude (near the negative zeros, where
//               this difference cancels) go to the per-element routine.
// sTGamma (packed for the least normal float <= x <= 35.04 and -33 <= x <= -2^-126 not an
//   integer): e^S(x) for x >= 8, e^S(x+8) / P below (from 1/x ~ 8.5e37 at the least normal
//   float to the overflow threshold 35.0401); pi / (sin(pi x) Gamma(1 - x)) for x < 0.
//   sin(pi x) from f = x - round(x), exact, by a Taylor series.
// sExpInt1 (packed for 2^-149 <= x <= 82): the two branches of vsexpint1_cout_rare (expint.h)
//   with their coefficients, the logarithm and exponential packed.
// Blocks whose lanes all lie on one side of a switch point skip the other side's formula.
//
// Double-precision LGamma and TGamma EP: the same formulas on doubles (relative error below
// about 2^-40, against the EP contract's 2^-26; 1 - x may round here, which costs no more), packed
// for LGamma on 2^-1000 <= x <= 2.5e305 and -2^51 < x <= -2^-1000 not an integer (results below
// 2^-10 in magnitude for negative x per element), for TGamma on the normal range up to 171 and
// -170 <= x <= -2^-1022, integers excluded. Their LA and HA slots: gamma_dd.h (double-double).
#pragma once

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/special/expint.h"
#include "vector_math/kernels/special/gamma.h"

namespace qor::vm::special {
namespace {

// ln of four positive normal doubles (two registers).
QOR_SIMD_INLINE void ln_pair(f64x2 a, f64x2 b, f64x2& la, f64x2& lb) {
  using namespace exp_log::dlogk;
  const Reduced4 q = reduce4(high_words(a, b));
  la = ln_ha2<false>(a, q.k0, q.o[0], q.o[1], f64x2());
  simd::barrier(la);
  lb = ln_ha2<false>(b, q.k1, q.o[2], q.o[3], f64x2());
}
// Lanes of x (|x| < 2^31) that are not integers.
QOR_SIMD_INLINE f32x4 non_integer(f32x4 x) { return _mm_cmpneq_ps(_mm_cvtepi32_ps(_mm_cvttps_epi32(x.v)), x.v); }
// Lanes of x (|x| < 2^51) that are not integers (x rounded by the shifter 1.5 * 2^52).
QOR_SIMD_INLINE f64x2 non_integer(f64x2 x) {
  return _mm_cmpneq_pd(((x + kc<0x1.8p52>()) - kc<0x1.8p52>()).v, x.v);
}
QOR_SIMD_INLINE f64x2 exp_d2(f64x2 x) { return exp_log::DExpCore<exp_log::RedExp>::eval(x); }

// The series coefficients kLgamma2Series[0 .. 23] rounded to double, as rows (written out: a
// constexpr conversion from long double is not folded under -frounding-math), and c24 .. c30
// (MPFR) for the double-double kernels (gamma_dd.h).
constexpr int kSeriesTerms = 24;
constexpr int kSeriesRowCount = 31;
struct alignas(16) SeriesRows {
  double c[kSeriesRowCount][2];
};
inline constexpr SeriesRows kSeriesRows = {{
    QOR_ROW2(0x1.b0ee6072093cep-2), QOR_ROW2(0x1.4a34cc4a60fa6p-2),
    QOR_ROW2(-0x1.13e001a557607p-4), QOR_ROW2(0x1.51322ac7d8483p-6),
    QOR_ROW2(-0x1.e404fc218f5f2p-8), QOR_ROW2(0x1.7add6eadb6c3p-9),
    QOR_ROW2(-0x1.38ac5c2bf8e08p-10), QOR_ROW2(0x1.0b36af86396e9p-11),
    QOR_ROW2(-0x1.d3fd4c76d2fc8p-13), QOR_ROW2(0x1.a127b0f17d65ap-14),
    QOR_ROW2(-0x1.78de5bd7c81efp-15), QOR_ROW2(0x1.580dcee66eb02p-16),
    QOR_ROW2(-0x1.3cbc963ce2243p-17), QOR_ROW2(0x1.2597a39f34aacp-18),
    QOR_ROW2(-0x1.11b2eb7679541p-19), QOR_ROW2(0x1.0064cdeb22f0fp-20),
    QOR_ROW2(-0x1.e2600d93cfd2fp-22), QOR_ROW2(0x1.c76bbb3f07a4dp-23),
    QOR_ROW2(-0x1.af5a6cbbf8a97p-24), QOR_ROW2(0x1.99b93c2070b0fp-25),
    QOR_ROW2(-0x1.862c734df3eacp-26), QOR_ROW2(0x1.7469daccfadcdp-27),
    QOR_ROW2(-0x1.6434a8447aeadp-28), QOR_ROW2(0x1.555a877ffd2c3p-29),
    QOR_ROW2(-0x1.47b1679258d0ep-30), QOR_ROW2(0x1.3b15d2b2fc10cp-31),
    QOR_ROW2(-0x1.2f69a9fabe3ep-32), QOR_ROW2(0x1.24932a337434cp-33),
    QOR_ROW2(-0x1.1a7c26ec2523cp-34), QOR_ROW2(0x1.11116e693ed98p-35),
    QOR_ROW2(-0x1.08424cbc543d8p-36),
}};
static_assert(sizeof(kLgamma2Series) / sizeof(kLgamma2Series[0]) >= kSeriesTerms);

// lgamma(2 + z), |z| <= 1/2, by the first kTerms terms of the series.
template <int kTerms = kSeriesTerms>
QOR_SIMD_INLINE f64x2 lgamma2_d(f64x2 z) {
  static_assert(kTerms >= 2 && kTerms <= kSeriesTerms);
  const SeriesRows& c = opaque(kSeriesRows);
  f64x2 p = row(c.c[kTerms - 1]);
  for (int k = kTerms - 2; k >= 0; --k) p = p * z + row(c.c[k]);
  return p * z;
}

// sum_{k=1..kN} B_2k / (2k (2k-1)) r^(2k-2), kN = 7 or 11 (times r: Stirling's correction terms).
template <int kN>
QOR_SIMD_INLINE f64x2 stirling_series(f64x2 r2) {
  static_assert(kN == 7 || kN == 11);
  f64x2 s = kc<1.0 / 156>();
  if constexpr (kN == 11) {
    s = kc<77683.0 / 5796>();
    s = s * r2 + kc<-174611.0 / 125400>();
    s = s * r2 + kc<43867.0 / 244188>();
    s = s * r2 + kc<-3617.0 / 122400>();
    s = s * r2 + kc<1.0 / 156>();
  }
  s = s * r2 + kc<-691.0 / 360360>();
  s = s * r2 + kc<1.0 / 1188>();
  s = s * r2 + kc<-1.0 / 1680>();
  s = s * r2 + kc<1.0 / 1260>();
  s = s * r2 + kc<-1.0 / 360>();
  return s * r2 + kc<1.0 / 12>();
}
// S(y) - ln(2 pi)/2 - (y - 1/2) ln y + y: the sum of Stirling's correction terms (seven, or
// three: for y >= 8 the first omitted term is then below 2.8e-10).
template <int kN = 7>
QOR_SIMD_INLINE f64x2 stirling_tail(f64x2 y) {
  static_assert(kN == 7 || kN == 3);
  const f64x2 r = kc<1.0>() / y;
  if constexpr (kN == 3) {
    const f64x2 r2 = r * r;
    return ((kc<1.0 / 1260>() * r2 + kc<-1.0 / 360>()) * r2 + kc<1.0 / 12>()) * r;
  } else {
    return stirling_series<7>(r * r) * r;
  }
}
// S(y) for y >= 8, given ln y.
template <int kN = 7>
QOR_SIMD_INLINE f64x2 stirling(f64x2 y, f64x2 lny) {
  return (((y - kc<0.5>()) * lny - y) + kc<0.918938533204672741780329736405617640>()) + stirling_tail<kN>(y);
}
// For x < 8: y = x + 8, P = x (x+1) ... (x+7); for x >= 8: y = x, P = 1.
QOR_SIMD_INLINE void shift8(f64x2 x, f64x2& y, f64x2& p) {
  const f64x2 small = cmp_lt(x, kc<8.0>());
  y = select(small, x + kc<8.0>(), x);
  x = min(x, kc<8.0>());  // the product of large x is not used (nor allowed to overflow)
  const f64x2 a = x * (x + kc<1.0>()), b = (x + kc<2.0>()) * (x + kc<3.0>());
  const f64x2 c = (x + kc<4.0>()) * (x + kc<5.0>()), d = (x + kc<6.0>()) * (x + kc<7.0>());
  p = select(small, (a * b) * (c * d), kc<1.0>());
}

// ---- the double-precision formulas on two registers ----------------------------------------
// sin(pi x) for |x| < 2^51: k = round(x) by the shifter 1.5 * 2^52 (its lowest bit is k's
// parity), f = x - k exact, sin(pi f) by its Taylor series to y^23 / 23! (|y| = pi |f| <= pi/2:
// the first omitted term is below 2^-60), or Short to y^11 / 11! (below 5.7e-8), negated for
// odd k.
template <bool Short = false>
QOR_SIMD_INLINE f64x2 sinpi_d(f64x2 x) {
  const f64x2 t = x + kc<0x1.8p52>();
  const f64x2 f = x - (t - kc<0x1.8p52>());
  const f64x2 odd = simd::shl(t.bits(), 63).as_f64();
  const f64x2 y = f * kc<3.14159265358979323846>(), y2 = y * y;
  f64x2 p = kc<-1.0 / 39916800.0>();
  if constexpr (!Short) {
    p = kc<-1.0 / 25852016738884976640000.0>();
    p = p * y2 + kc<1.0 / 51090942171709440000.0>();
    p = p * y2 + kc<-1.0 / 121645100408832000.0>();
    p = p * y2 + kc<1.0 / 355687428096000.0>();
    p = p * y2 + kc<-1.0 / 1307674368000.0>();
    p = p * y2 + kc<1.0 / 6227020800.0>();
    p = p * y2 + kc<-1.0 / 39916800.0>();
  }
  p = p * y2 + kc<1.0 / 362880.0>();
  p = p * y2 + kc<-1.0 / 5040.0>();
  p = p * y2 + kc<1.0 / 120.0>();
  p = p * y2 + kc<-1.0 / 6.0>();
  const f64x2 s = y + (y * y2) * p;
  return _mm_xor_pd(s.v, odd.v);
}

// Terms of the three series: the full ones (relative error below about 2^-40) or the short
// ones of the single-precision EP kernel (below about 2^-17 beside the per-element lanes: eight
// series terms leave c_8 z^8 < 2^-20 of the result's magnitude there, three Stirling terms 2.8e-10
// against results of at least 0.28, sin(pi x) to y^11 an absolute 5.7e-8 against |result| >= 2^-10).
template <bool Short>
struct LGammaPackedT {
  static constexpr int kSeries = Short ? 8 : kSeriesTerms;
  static constexpr int kStirling = Short ? 3 : 7;
  // x > 0
  static QOR_SIMD_INLINE void positive(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    f64x2 y0, y1, p0, p1;
    shift8(x0, y0, p0);
    shift8(x1, y1, p1);
    // series lanes: [0.5, 2.5); their logarithm's argument is x below 1.5, 1 above
    const f64x2 s0 = cmp_le(kc<0.5>(), x0) & cmp_lt(x0, kc<2.5>());
    const f64x2 s1 = cmp_le(kc<0.5>(), x1) & cmp_lt(x1, kc<2.5>());
    const f64x2 lo0 = cmp_lt(x0, kc<1.5>()), lo1 = cmp_lt(x1, kc<1.5>());
    const f64x2 a0 = select(s0, select(lo0, x0, kc<1.0>()), p0);
    const f64x2 a1 = select(s1, select(lo1, x1, kc<1.0>()), p1);
    f64x2 l0, l1, ly0, ly1;
    ln_pair(a0, a1, l0, l1);
    ln_pair(y0, y1, ly0, ly1);
    f64x2 g0 = stirling<kStirling>(y0, ly0), g1 = stirling<kStirling>(y1, ly1);
    if (mask(s0 | s1)) {
      const f64x2 z0 = x0 - select(lo0, kc<1.0>(), kc<2.0>());
      const f64x2 z1 = x1 - select(lo1, kc<1.0>(), kc<2.0>());
      g0 = select(s0, lgamma2_d<kSeries>(z0), g0);
      g1 = select(s1, lgamma2_d<kSeries>(z1), g1);
    }
    r0 = g0 - l0;
    r1 = g1 - l1;
  }
  // x > 0, or x < 0 not an integer: ln pi - ln|sin(pi x)| - lgamma(1 - x) below 0 (1 - x exact)
  static QOR_SIMD_INLINE void eval(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const f64x2 n0 = cmp_lt(x0, kc<0.0>()), n1 = cmp_lt(x1, kc<0.0>());
    if (!mask(n0 | n1)) return positive(x0, x1, r0, r1);
    positive(select(n0, kc<1.0>() - x0, x0), select(n1, kc<1.0>() - x1, x1), r0, r1);
    f64x2 l0, l1;
    ln_pair(select(n0, abs(sinpi_d<Short>(x0)), kc<1.0>()), select(n1, abs(sinpi_d<Short>(x1)), kc<1.0>()), l0, l1);
    const f64x2 lnpi = kc<1.14472988584940017414342735135305871>();
    r0 = select(n0, (lnpi - l0) - r0, r0);
    r1 = select(n1, (lnpi - l1) - r1, r1);
  }
  // lanes the formulas take: 2^-149 <= x <= 4e36, and -2^23 < x < 0 not an integer (below, every
  // float is an integer)
  static QOR_SIMD_INLINE f32x4 ok(f32x4 x) {
    return (cmp_le(cst<0x1p-149f>(), x) & cmp_le(x, cst<4e36f>())) |
           (cmp_lt(cst<-0x1p23f>(), x) & cmp_lt(x, cst<0.0f>()) & non_integer(x));
  }
  // near the negative zeros (-2.457..., -2.747..., ...) the reflection cancels: its absolute
  // error stays below about 2^-45 for x > -20 (the terms are below 45; no float or double
  // beyond -20 lies near a zero), so negative lanes with |result| < 2^-10 (relative error up
  // to 2^-35 there) go to the per-element routine (its zero regions)
  static QOR_SIMD_INLINE int check(f32x4 x, f32x4 r) {
    return mask(cmp_lt(x, cst<0.0f>()) & cmp_lt(abs(r), cst<0x1p-10f>()));
  }
  // double precision (EP): 2^-1000 <= |x| (x (x+1)...(x+7) and sin(pi x) stay normal), x <= 2.5e305
  // (overflow beyond 2.55e305), -2^51 < x not an integer
  static QOR_SIMD_INLINE f64x2 ok(f64x2 x) {
    return (cmp_le(kc<0x1p-1000>(), x) & cmp_le(x, kc<2.5e305>())) |
           (cmp_lt(kc<-0x1p51>(), x) & cmp_le(x, kc<-0x1p-1000>()) & non_integer(x));
  }
  static QOR_SIMD_INLINE int check(f64x2 x, f64x2 r) { return mask(cmp_lt(x, kc<0.0>()) & cmp_lt(abs(r), kc<0x1p-10>())); }
};

struct TGammaPacked {
  static QOR_SIMD_INLINE void positive(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    f64x2 y0, y1, p0, p1, ly0, ly1;
    shift8(x0, y0, p0);
    shift8(x1, y1, p1);
    ln_pair(y0, y1, ly0, ly1);
    r0 = exp_d2(stirling(y0, ly0)) / p0;
    r1 = exp_d2(stirling(y1, ly1)) / p1;
  }
  // x < 0: pi / (sin(pi x) Gamma(1 - x))
  static QOR_SIMD_INLINE void eval(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const f64x2 n0 = cmp_lt(x0, kc<0.0>()), n1 = cmp_lt(x1, kc<0.0>());
    if (!mask(n0 | n1)) return positive(x0, x1, r0, r1);
    positive(select(n0, kc<1.0>() - x0, x0), select(n1, kc<1.0>() - x1, x1), r0, r1);
    const f64x2 pi = kc<3.14159265358979323846>();
    r0 = select(n0, pi / (sinpi_d(x0) * r0), r0);
    r1 = select(n1, pi / (sinpi_d(x1) * r1), r1);
  }
  // the least normal float <= x <= 35.04 (overflow beyond 35.0401); -33 <= x <= -2^-126 not an
  // integer (|Gamma| > 3.6e-37 there: no result below the normal range; 1/|x| < 8.5e37)
  static QOR_SIMD_INLINE f32x4 ok(f32x4 x) {
    return (cmp_le(cst<0x1p-126f>(), x) & cmp_le(x, cst<35.04f>())) |
           (cmp_le(cst<-33.0f>(), x) & cmp_le(x, cst<-0x1p-126f>()) & non_integer(x));
  }
  static QOR_SIMD_INLINE int check(f32x4, f32x4) { return 0; }
  // double precision (EP): the least normal double <= x <= 171 (the packed exponential stops
  // short of 2^1024; overflow beyond 171.6244), -170 <= x <= -2^-1022 (|Gamma| > pi / Gamma(171)
  // = 4.3e-307 there), not an integer (the per-element routine gives the factorials exactly
  // where double holds them)
  static QOR_SIMD_INLINE f64x2 ok(f64x2 x) {
    return ((cmp_le(kc<0x1p-1022>(), x) & cmp_le(x, kc<171.0>())) |
            (cmp_le(kc<-170.0>(), x) & cmp_le(x, kc<-0x1p-1022>()))) &
           non_integer(x);
  }
  static QOR_SIMD_INLINE int check(f64x2, f64x2) { return 0; }
};

// vsexpint1_cout_rare's formulas (expint.h), x > 1 and x <= 1.
QOR_SIMD_INLINE f64x2 expint1_large(f64x2 x) {
  const f64x2 t = kc<1.0>() / x;
  const f64x2 num =
      kc<-1.2013801209220235e-8>() +
      t * (kc<-0.9999976104792418>() +
           t * (kc<-9.455840776761047>() + t * (kc<-21.565361245507454>() + t * kc<-10.554020246737661>())));
  const f64x2 den =
      kc<1.0>() +
      t * (kc<11.455661919214464>() +
           t * (kc<38.483550640132584>() +
                t * (kc<42.62522842229367>() + t * (kc<12.011634815872881>() + t * kc<-0.10118168443070157>()))));
  return exp_d2(kc<0.0>() - x) * t * (kc<1.0>() + num / den);
}
QOR_SIMD_INLINE f64x2 expint1_small(f64x2 x, f64x2 lnx) {
  const f64x2 s = x * x;
  const f64x2 odd =
      x * (kc<0.9999999999820334>() +
           s * (kc<0.05555555605588732>() +
                s * (kc<0.0016666648204369892>() + s * (kc<2.834548993535146e-5>() + s * kc<3.0899947531462533e-7>()))));
  const f64x2 even =
      s * (kc<-0.24999999904144565>() +
           s * (kc<-0.010416679568784044>() + s * (kc<-0.00023143478488755293>() + s * kc<-3.1625701461956103e-6>())));
  return ((odd - kc<0.5772156649015329>()) - lnx) + even;
}

struct ExpInt1Packed {
  static QOR_SIMD_INLINE void eval(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const f64x2 b0 = cmp_lt(kc<1.0>(), x0), b1 = cmp_lt(kc<1.0>(), x1);
    const int big = mask(b0) | mask(b1) << 2;
    if (big != 0xF) {
      f64x2 l0, l1;
      ln_pair(x0, x1, l0, l1);
      r0 = expint1_small(x0, l0);
      r1 = expint1_small(x1, l1);
      if (big == 0) return;
    }
    const f64x2 e0 = expint1_large(x0), e1 = expint1_large(x1);
    r0 = big == 0xF ? e0 : select(b0, e0, r0);
    r1 = big == 0xF ? e1 : select(b1, e1, r1);
  }
  static QOR_SIMD_INLINE f32x4 ok(f32x4 x) { return cmp_le(cst<0x1p-149f>(), x) & cmp_le(x, cst<82.0f>()); }
  static QOR_SIMD_INLINE int check(f32x4, f32x4) { return 0; }
};

// The single-precision family: Formula on the widened lanes Formula::ok() passes (the others
// evaluate at 2 and are patched), Elem's per-element routine for the lanes not passed and
// those Formula::check() flags in the result.
template <class Formula, class Elem>
struct SPacked : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static int packed_checked(f32x4 x, f32x4& r) {
    const f32x4 in = Formula::ok(x);
    const f32x4 xs = select(in, x, f32x4::splat(2.0f));
    f64x2 r0, r1;
    Formula::eval(widen_lo(xs), widen_hi(xs), r0, r1);
    r = narrow(r0, r1);
    return (mask(in) ^ 0xF) | Formula::check(x, r);
  }
  static int element(const float* px, float* r) { return Elem::element(px, r); }
};

// The double-precision family (EP): the same formulas on one register (the second half of the
// pair is the first again, and the compiler merges the two).
template <class Formula, class Elem>
struct DPacked : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static int packed_checked(f64x2 x, f64x2& r) {
    const f64x2 in = Formula::ok(x);
    const f64x2 xs = select(in, x, kc<2.0>());
    f64x2 r1;
    Formula::eval(xs, xs, r, r1);
    return (mask(in) ^ 0x3) | Formula::check(x, r);
  }
  static int element(const double* px, double* r) { return Elem::element(px, r); }
};

using SLGammaPacked = SPacked<LGammaPackedT<false>, LGamma<float>>;
using SLGammaPackedEP = SPacked<LGammaPackedT<true>, LGamma<float>>;
using DLGammaPackedEP = DPacked<LGammaPackedT<false>, LGamma<double>>;
using DTGammaPackedEP = DPacked<TGammaPacked, TGamma<double>>;
using STGammaPacked = SPacked<TGammaPacked, TGamma<float>>;
using SExpInt1Packed = SPacked<ExpInt1Packed, SExpInt1>;

}  // namespace
}  // namespace qor::vm::special
