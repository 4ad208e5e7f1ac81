// Packed (SSE2) double-precision LGamma and TGamma for the HA and LA slots: ln|Gamma(x)| as a
// double-double h + l on one register, rounded once (LGamma), or e^(h + l) with its sign
// (TGamma). One kernel serves both slots (0.54 ulp at worst measured, in about 0.45 of SLEEF
// u10's time: bench/vector_math/README-special.md; an LA of its own, plain double where the
// contract's 4 ulp allow it, is not written); the EP slots keep the plain-double formulas of
// gamma_packed.h. The negative lanes' per-element threshold 2^-3 was chosen by measurement: with
// it the packed lanes stay within 0.55 ulp (0.94 ulp seen just above 2^-4 before the sine's
// cross term was carried, 0.50 now).
//
// The pieces (l is small beside h; the error of h + l is given against ln|Gamma|):
//   ln A      the logarithm's HA core (exp_log/dlog_core.h, ln_ha2) split into its leading sum
//             v and the rest, with the Taylor terms to u^7 (the fitted quintic's 2^-64, times x
//             in Stirling's sum, cost TGamma 2 ulp near 170), plus A_l / A_h for a double-double A;
//   series    lgamma(2 + z) = z (c0 + c1 z + c2 z^2 + z^3 Q(z)), |z| <= 1/2, c_k = (-1)^k
//             (zeta(k+1) - 1) / (k+1), c0 = 1 - gamma: c0, c1, c2 in two parts, c1 z, z^2, c2 z^2
//             and the final product by z exact (Dekker), Q = c3 + ... + c30 z^27 by Estrin's
//             scheme (the first omitted term is below 2^-64 |z| against |lgamma(2 + z)| >= 0.24
//             |z|): relative error near 2^-60, so the zero at 2 keeps its relative accuracy
//             (with c2 z^2 rounded, z = -1/2 reached 0.63 ulp);
//   Stirling  x >= 8: x (ln x - 1) - (ln x)/2 + ln(2 pi)/2 + sum_{k=1..11} B_2k / (2k (2k-1)
//             x^(2k-1)) (the first omitted term below 2.7e-19 at 8); ln x - 1 is exact (ln x >=
//             2) and x (ln x - 1) an exact product (x split by masking its low bits, so that
//             nothing overflows up to 2.5e305); the sum's argument is min(x, 2^40) (beyond, the
//             sum is below an ulp of the result's 2^-40, and its powers stay normal);
//   [0.5, 8)  lgamma(2 + z) + ln P: x in [1.5, 8): z = x - 2 - k (k = round(x - 2), 0..6, x - j
//             exact), P = (x-1)(x-2)...(x-k) a double-double product of exact factors (1 for k =
//             0: no logarithm cancels at 2); x in [0.5, 1.5): z = x - 1 (exact), P = 1/x: near
//             1 both terms are about z and the logarithm's core gives x - 1 exactly (the
//             difference cancels by less than 3.4 against errors near 2^-60);
//   (0, 0.5)  lgamma(2 + x) - ln(x (1 + x)), 1 + x and the product double-doubles;
//   x < 0     ln pi - ln(|x| |sin(pi x)|) - lgamma(|x|) (Gamma(x) Gamma(1 - x) = pi / sin(pi x),
//             Gamma(1 - x) = |x| Gamma(|x|): no rounded 1 - x); f = x - round(x) exact, g = |f|;
//             |sin(pi f)| = y (1 - y^2 S(y^2)) with y = pi g for g <= 1/4, cos(y) = 1 - y^2 K(y^2)
//             with y = pi (1/2 - g) above (Taylor, to y^19 and y^18; 1/2 - g exact), y and y^2
//             double-doubles, S = 1/6 + y^2 S' and K = 1/2 + y^2 K' with the leading constants
//             in two parts and y^2 S' carrying its cross term 2 q_h q_l S': relative error near
//             2^-60.
// Absolute error of h + l: about 2^-59 max(1, |result|) (x >= -20; for huge |x| it stays far
// below the result's ulp). LGamma of negative x: the lanes with |result| < 2^-3 (around the
// negative zeros -2.457..., -2.747..., where the difference cancels) go to the per-element
// routine (gamma.h, its zero regions). TGamma: e^h (1 + l) by the exponential's HA core
// (exp_log/dexp_core.h, the 64-entry table), the relative error of e^(h + l) near 2^-59 beside
// the final rounding; the sign of Gamma(x) for x < 0 is that of sin(pi x), (-1)^round(x) sign(f).
// Packed lanes: LGamma 2^-1022 <= x <= 2.5e305 and -2^51 < x <= -2^-500 not an integer (|x|
// |sin(pi x)| ~ pi x^2 stays normal); TGamma 2^-1022 <= x <= 171 and -170 <= x <= -2^-500, not
// an integer (the per-element routine gives the factorials exactly where double holds them).
// Every other lane (specials, poles, overflow, results beyond the normal range, tiny or
// negative-integer arguments, and the LGamma lanes above) takes the per-element routine of
// gamma.h, statuses unchanged (Scheme::Patch: a lane's result never depends on its block).
#pragma once

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/special/gamma_packed.h"
#include "vector_math/kernels/trig/dd.h"

namespace qor::vm::special {
namespace {

struct DD {
  f64x2 h, l;
};

// p + e = a b exactly for b below 2^995 and a b finite: a split by masking (26 + 27 bits: no
// overflow for any finite a), b by Veltkamp's split (26 + 26 bits).
QOR_SIMD_INLINE void two_prod_masked(f64x2 a, f64x2 b, f64x2& p, f64x2& e) {
  const f64x2 ah = a & f64x2::from_bits(0xFFFFFFFFF8000000ull), al = a - ah;
  f64x2 bh, bl;
  trig::split(b, bh, bl);
  p = a * b;
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}
// ln(A.h + A.l) for positive normal A.h (A.l small beside it).
QOR_SIMD_INLINE DD ln_dd(DD a) {
  using namespace exp_log::dlogk;
  const Reduced4 q = reduce4(high_words(a.h, a.h));
  f64x2 tail;
  const f64x2 v = ln_ha2<false, false, true>(a.h, q.k0, q.o[0], q.o[1], f64x2(), exp_log::kDLn, &tail);
  return {v, tail + a.l / a.h};
}
// a + b (any order of magnitude).
QOR_SIMD_INLINE DD add_dd(DD a, DD b) {
  f64x2 s, e;
  trig::two_sum(a.h, b.h, s, e);
  return {s, e + (a.l + b.l)};
}
QOR_SIMD_INLINE DD neg_dd(DD a) { return {kc<0.0>() - a.h, kc<0.0>() - a.l}; }
// a b for a double-double a and a double b.
QOR_SIMD_INLINE DD mul_dd_d(DD a, f64x2 b) {
  f64x2 p, e;
  trig::two_prod(a.h, b, p, e);
  return {p, e + a.l * b};
}

// Q's coefficients c3 .. c30: rows of kSeriesRows (gamma_packed.h).
constexpr int kQFirst = 3, kQTerms = kSeriesRowCount - kQFirst;
static_assert(kQTerms % 2 == 0);

// lgamma(2 + z), |z| <= 1/2.
QOR_SIMD_INLINE DD lgamma2_dd(f64x2 z) {
  const SeriesRows& c = opaque(kSeriesRows);
  // Estrin: pairs, then pairs of pairs
  f64x2 v[kQTerms / 2];
  for (int i = 0; i < kQTerms / 2; ++i) v[i] = row(c.c[kQFirst + 2 * i]) + z * row(c.c[kQFirst + 2 * i + 1]);
  f64x2 p = z * z;
  const f64x2 z2 = p;
  for (int n = kQTerms / 2; n > 1; n = (n + 1) / 2) {
    for (int i = 0; i < n / 2; ++i) v[i] = v[2 * i] + p * v[2 * i + 1];
    if (n & 1) v[n / 2] = v[n - 1];
    p = p * p;
  }
  // c0 + c1 z + c2 z^2 + z^3 Q: c1 z and c2 z^2 as double-doubles
  f64x2 mh, ml, qh, ql, wh, wl, sh, sl, th, tl, rh, rl;
  trig::two_prod(z, kc<0x1.4a34cc4a60fa6p-2>(), mh, ml);  // c1 z
  trig::two_prod(z, z, qh, ql);
  trig::two_prod(qh, kc<-0x1.13e001a557607p-4>(), wh, wl);  // c2 z^2
  wl = wl + (ql * kc<-0x1.13e001a557607p-4>() + qh * kc<0x1.fb68be2f8821fp-58>());
  trig::fast_two_sum(kc<0x1.b0ee6072093cep-2>(), mh, sh, sl);
  trig::fast_two_sum(sh, wh, th, tl);
  tl = tl + (sl + (ml + (wl + (kc<0x1.6cb90701fbfabp-58>() + (z * kc<0x1.1873d8912200cp-56>() + (z2 * z) * v[0])))));
  trig::fast_two_sum(th, tl, sh, sl);
  trig::two_prod(z, sh, rh, rl);
  return {rh, rl + z * sl};
}

// Stirling's lgamma(x) for x >= 8, given L = ln x.
QOR_SIMD_INLINE DD stirling_dd(f64x2 x, DD L) {
  const f64x2 r = kc<1.0>() / min(x, kc<0x1p40>()), r2 = r * r;
  const f64x2 s = stirling_series<11>(r2);
  f64x2 ph, pl, ch, cl, rh, rl;
  two_prod_masked(x, L.h - kc<1.0>(), ph, pl);
  pl = pl + x * L.l;
  trig::two_sum(kc<0x1.d67f1c864beb5p-1>(), L.h * kc<-0.5>(), ch, cl);  // ln(2 pi)/2 - (ln x)/2
  cl = cl + ((kc<-0x1.65b5a1b7ff5dfp-55>() - L.l * kc<0.5>()) + s * r);
  trig::fast_two_sum(ph, ch, rh, rl);
  return {rh, rl + (pl + cl)};
}

// lgamma(x), x positive normal, at most 2.5e305.
QOR_SIMD_INLINE DD lgamma_pos_dd(f64x2 x) {
  const f64x2 st = cmp_le(kc<8.0>(), x);
  if (mask(st) == 0x3) return stirling_dd(x, ln_dd({x, f64x2()}));
  const f64x2 below1 = cmp_lt(x, kc<1.5>()), below0 = cmp_lt(x, kc<0.5>());
  // x in [1.5, 8): k = round(x - 2) factors x - j (others 1); xc keeps the Stirling lanes at 8
  const f64x2 xc = min(x, kc<8.0>());
  const f64x2 d = xc - kc<2.0>();
  const f64x2 k = (d + kc<0x1.8p52>()) - kc<0x1.8p52>();
  DD P = {select(cmp_le(kc<1.0>(), k), xc - kc<1.0>(), kc<1.0>()), f64x2()};
  P = mul_dd_d(P, select(cmp_le(kc<2.0>(), k), xc - kc<2.0>(), kc<1.0>()));
  P = mul_dd_d(P, select(cmp_le(kc<3.0>(), k), xc - kc<3.0>(), kc<1.0>()));
  P = mul_dd_d(P, select(cmp_le(kc<4.0>(), k), xc - kc<4.0>(), kc<1.0>()));
  P = mul_dd_d(P, select(cmp_le(kc<5.0>(), k), xc - kc<5.0>(), kc<1.0>()));
  P = mul_dd_d(P, select(cmp_le(kc<6.0>(), k), xc - kc<6.0>(), kc<1.0>()));
  // x below 0.5: x (1 + x); [0.5, 1.5): x; the Stirling lanes: x
  f64x2 bh, bl;
  trig::fast_two_sum(kc<1.0>(), x, bh, bl);
  DD xp = mul_dd_d({bh, bl}, x);
  const f64x2 one_x = below1 | st;
  DD A = {select(below0, xp.h, select(one_x, x, P.h)), select(below0, xp.l, select(one_x, f64x2(), P.l))};
  DD L = ln_dd(A);
  const f64x2 z = select(below1, select(below0, x, x - kc<1.0>()), d - k);
  const DD G = lgamma2_dd(z);
  const f64x2 flip = below1 & f64x2::from_bits(0x8000000000000000ull);
  DD r = add_dd(G, {_mm_xor_pd(L.h.v, flip.v), _mm_xor_pd(L.l.v, flip.v)});
  if (mask(st)) {
    const DD S = stirling_dd(x, L);
    r = {select(st, S.h, r.h), select(st, S.l, r.l)};
  }
  return r;
}

// |sin(pi f)| for |f| <= 1/2.
QOR_SIMD_INLINE DD abs_sinpi_dd(f64x2 f) {
  const f64x2 g = abs(f);
  const f64x2 c = cmp_lt(kc<0.25>(), g);  // cosine lanes
  const f64x2 u = select(c, kc<0.5>() - g, g);
  f64x2 yh, yl, qh, ql;
  trig::two_prod(u, kc<0x1.921fb54442d18p+1>(), yh, yl);
  yl = yl + u * kc<0x1.1a62633145c07p-53>();
  trig::two_prod(yh, yh, qh, ql);
  ql = ql + kc<2.0>() * yh * yl;
  // S' and K' (S = 1/6 + q S'(q), K = 1/2 + q K'(q))
  f64x2 s = kc<1.0 / 121645100408832000.0>();
  s = s * qh + kc<-1.0 / 355687428096000.0>();
  s = s * qh + kc<1.0 / 1307674368000.0>();
  s = s * qh + kc<-1.0 / 6227020800.0>();
  s = s * qh + kc<1.0 / 39916800.0>();
  s = s * qh + kc<-1.0 / 362880.0>();
  s = s * qh + kc<1.0 / 5040.0>();
  s = s * qh + kc<-1.0 / 120.0>();
  f64x2 k = kc<1.0 / 6402373705728000.0>();
  k = k * qh + kc<-1.0 / 20922789888000.0>();
  k = k * qh + kc<1.0 / 87178291200.0>();
  k = k * qh + kc<-1.0 / 479001600.0>();
  k = k * qh + kc<1.0 / 3628800.0>();
  k = k * qh + kc<-1.0 / 40320.0>();
  k = k * qh + kc<1.0 / 720.0>();
  k = k * qh + kc<-1.0 / 24.0>();
  const f64x2 ah = select(c, kc<0.5>(), kc<0x1.5555555555555p-3>());
  const f64x2 al = andnot(c, kc<0x1.5555555555555p-57>());
  const f64x2 pr = select(c, k, s);
  // W = q (a + q P'), 1 - W, times y (sine) or 1 (cosine)
  f64x2 ph, pe, wh, wl, oh, ol;
  trig::two_prod(qh, ah, ph, pe);
  trig::fast_two_sum(ph, qh * (al + (qh + kc<2.0>() * ql) * pr) + ql * ah, wh, wl);  // |q P'| < a / 10
  wl = wl + pe;
  trig::fast_two_sum(kc<1.0>(), kc<0.0>() - wh, oh, ol);
  ol = ol - wl;
  const DD y = {select(c, kc<1.0>(), yh), andnot(c, yl)};
  f64x2 rh, rl;
  trig::two_prod(y.h, oh, rh, rl);
  return {rh, rl + (y.h * ol + y.l * oh)};
}

// lgamma(x) for the lanes LGammaDD::ok passes; f receives x - round(x) (0 where x > 0).
QOR_SIMD_INLINE DD lgamma_dd(f64x2 x, f64x2& f) {
  const f64x2 neg = cmp_lt(x, kc<0.0>());
  f = f64x2();
  if (!mask(neg)) return lgamma_pos_dd(x);
  const f64x2 ax = abs(x);
  const DD G = lgamma_pos_dd(ax);
  f = select(neg, x - ((x + kc<0x1.8p52>()) - kc<0x1.8p52>()), kc<0.5>());
  const DD s = mul_dd_d(abs_sinpi_dd(f), ax);  // |x| |sin(pi x)|
  const DD L = ln_dd({select(neg, s.h, kc<1.0>()), neg & s.l});
  const DD R = add_dd(add_dd({kc<0x1.250d048e7a1bdp+0>(), kc<0x1.7abf2ad8d5088p-57>()}, neg_dd(L)), neg_dd(G));
  return {select(neg, R.h, G.h), select(neg, R.l, G.l)};
}

struct DLGammaDD : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static QOR_SIMD_INLINE f64x2 ok(f64x2 x) {
    return (cmp_le(kc<0x1p-1022>(), x) & cmp_le(x, kc<2.5e305>())) |
           (cmp_lt(kc<-0x1p51>(), x) & cmp_le(x, kc<-0x1p-500>()) & non_integer(x));
  }
  static int packed_checked(f64x2 x, f64x2& r) {
    const f64x2 in = ok(x);
    f64x2 f;
    const DD g = lgamma_dd(select(in, x, kc<2.0>()), f);
    r = g.h + g.l;
    return (mask(in) ^ 0x3) | mask(cmp_lt(x, kc<0.0>()) & cmp_lt(abs(r), kc<0x1p-3>()));
  }
  static int element(const double* px, double* r) { return LGamma<double>::element(px, r); }
};

struct DTGammaDD : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static QOR_SIMD_INLINE f64x2 ok(f64x2 x) {
    return ((cmp_le(kc<0x1p-1022>(), x) & cmp_le(x, kc<171.0>())) |
            (cmp_le(kc<-170.0>(), x) & cmp_le(x, kc<-0x1p-500>()))) &
           non_integer(x);
  }
  static int packed_checked(f64x2 x, f64x2& r) {
    const f64x2 in = ok(x);
    const f64x2 xs = select(in, x, kc<2.5>());
    f64x2 f;
    DD g = lgamma_dd(xs, f);
    trig::fast_two_sum(g.h, g.l, g.h, g.l);  // l below an ulp of h, so that e^l = 1 + l
    // e^(h + l) = 2^n (th + (rest + (th + rest) l)), the exponential's HA core (rest is up to
    // 2^-6 th: its share of l counts)
    f64x2 t, th;
    const f64x2 rest = exp_log::DExpCore<exp_log::RedExp>::parts(g.h, t, th);
    const f64x2 e = (th + (rest + (th + rest) * g.l)) * exp_log::scale_of(t);
    // sign: (-1)^round(x) sign(f) for x < 0 (f = 0.5 > 0 where x > 0, rounded x even there)
    const f64x2 odd = simd::shl((xs + kc<0x1.8p52>()).bits(), 63).as_f64() & cmp_lt(xs, kc<0.0>());
    r = _mm_xor_pd(e.v, _mm_xor_pd(odd.v, sign_bits(f).v));
    return mask(in) ^ 0x3;
  }
  static int element(const double* px, double* r) { return TGamma<double>::element(px, r); }
};

}  // namespace
}  // namespace qor::vm::special
