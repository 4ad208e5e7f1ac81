// ErfInv, ErfcInv and CdfNormInv (single and double precision). Every slot takes the packed
// polynomial paths below; the per-element routines (the lanes the screens send away: double
// ErfInv below 2^-35, double ErfcInv below 2^-1020 and CdfNormInv below 2^-1021, the special
// values; single ErfcInv below 2^-126 and CdfNormInv below 2^-127 in EP) are the Halley
// iterations of common.h in extended precision, rounded once, with these results:
//   ErfInv(x), |x| < 1: odd; on erf for |x| < 1/2 and on erfc(y) = 1 - |x| (exact) beyond, so
//     that arguments near +-1 keep their accuracy. Double precision sends |x| >= 1, |x| < 2^-35,
//     infinities and NaNs to vderfinv_cout_rare (below); single precision sends |x| >= 1 and NaNs
//     to its per-element routine (HA and LA: the double EP kernel's), with the same results and
//     statuses.
//   ErfcInv(q), 0 < q < 2: erfc y = q for q < 1/2 (also the tiniest q: ErfcInv(1e-300) =
//     26.209...), erf y = 1 - q for 1/2 <= q <= 1, and -ErfcInv(2 - q) above 1 (2 - q exact).
//     q = 0: +inf, q = 2: -inf, status 2; q outside [0, 2] (and infinities): NaN, status 1.
//   CdfNormInv(p) = -sqrt(2) ErfcInv(2p) (2p exact): p = 0: -inf, p = 1: +inf, status 2; p
//     outside [0, 1]: NaN, status 1.
// NaNs propagate without a report.
#pragma once

#include <bit>
#include <cstdint>

#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/exp_log/slog_core.h"
#include "vector_math/kernels/special/common.h"
#include "vector_math/kernels/trig/dd.h"

namespace qor::vm::special {
namespace {

using dlogk_flavour = exp_log::dlogk::Flavour;

// ---- Packed paths --------------------------------------------------------------------------
// Double precision and single HA and LA take rows of short polynomials in q' = 1 - |t| chosen
// lane by lane from the bits of q' (sections "Double precision: rows in q" and "Single precision
// HA and LA" below) and, for q' below 2^-20 only, the double tail pieces in s = sqrt(w) of this
// section (single HA and LA: the double EP kernel's). Single EP (and those tails) work on
// w = -ln(q' (1 + a)) = -ln(1 - a^2), a = |x| (ErfInv) or |1 - q| (ErfcInv, CdfNormInv with
// q = 2p), q' = 1 - a (q or 2 - q, exact where it matters), whose product keeps its relative
// accuracy however small q' is:
//   w < 6.25 (a < 0.998):  a P_W(w - c), P_W ~ erfinv(a) / a; an error of w moves P_W by at
//                          most its slope (below 0.25) times it, so w needs absolute accuracy
//                          only;
//   s = sqrt(w) beyond:    P_Si(s - c_i) on consecutive pieces of s (no factor a: a is within
//                          0.2 % of 1 there).
// The polynomials interpolate erfinv at Chebyshev nodes (tools/gen_erfinv_poly with MPFR; the
// pieces and errors are listed in tables/erfinv_poly.inc), one set per slot and precision:
//   single precision EP: in float on four lanes (section "Single precision EP" below; central
//     piece w < 5);
//   double precision tails, EP (about 2^-29; exp_log's EP logarithm): up to s = 27.3 (ErfcInv of
//     2^-1020; smaller arguments go to the per-element routine);
//   double precision tails, LA and HA: one set of about 2^-59 (s in [2.5, 4.1], [4.1, 6.1],
//     [6.1, 10.2], [10.2, 17], [17, 27.3]), evaluated with a double-double last step (section
//     "Double precision LA and HA" below); LA takes the same pieces with w and s rounded to one
//     double each.
//   Why not a correction step (Newton or Halley on erf / erfc): the residual erf(y) - a needs
//     erf to well below half an ulp of a (a double-double erf), which costs more than the whole
//     polynomial path.
// A block evaluates only the pieces its lanes need (most blocks: the central one alone).
#include "vector_math/kernels/special/tables/erfinv_poly.inc"

// sum a_i t^i (rows of piece P) by Estrin's scheme: pairs a_2i + a_2i+1 t, then pairs of those
// in t^2, ... (a dependency chain of about log2 N steps instead of N).
template <class P, size_t kFrom = 0>
QOR_SIMD_INLINE f64x2 estrin(f64x2 t) {
  constexpr size_t N = sizeof(P::a) / sizeof(P::a[0]) - kFrom;
  f64x2 v[N];
  for (size_t i = 0; i < N; ++i) v[i] = row(P::a[i + kFrom]);
  size_t n = N;
  while (n > 1) {
    for (size_t i = 0; i < n / 2; ++i) v[i] = v[2 * i] + v[2 * i + 1] * t;
    if (n & 1) v[n / 2] = v[n - 1];
    n = (n + 1) / 2;
    t = t * t;
  }
  return v[0];
}

// One tail piece: the lanes not yet done with s below its upper end.
template <class S>
QOR_SIMD_INLINE void tail_piece(f64x2 s, f64x2& y, int& done, f64x2& donev) {
  if (done == 3) return;
  const f64x2 in = simd::andnot(donev, simd::cmp_lt(s, f64x2::splat(S::hi)));
  const int m = mask(in);
  if (!m) return;
  y = simd::select(in, estrin<S>(s - f64x2::splat(S::c)), y);
  done |= m;
  donev = donev | in;
}

// c split into 26 + 27 significant bits (the high part).
constexpr double split_hi(double c) { return std::bit_cast<double>(std::bit_cast<uint64_t>(c) & ~uint64_t{0x7FFFFFF}); }

// One central piece: the lanes not yet done with w below its upper end, a P(w - c) (plus al P).
template <class W, bool kLow>
QOR_SIMD_INLINE void central_piece(f64x2 w, f64x2 a, f64x2 al, f64x2& y, int& done, f64x2& donev) {
  if (done == 3) return;
  const f64x2 in = simd::andnot(donev, simd::cmp_lt(w, f64x2::splat(W::hi)));
  const int m = mask(in);
  if (!m) return;
  const f64x2 p = estrin<W>(w - f64x2::splat(W::c));
  y = simd::select(in, kLow ? a * p + al * p : a * p, y);
  done |= m;
  donev = donev | in;
}

// A slot's polynomial set: the central pieces W... (in w), the tail pieces S... (in s), and the
// flavour of the double-precision logarithm it takes.
template <class... W>
struct Central {};
template <dlogk_flavour kLog, class C, class... S>
struct Pieces;
template <dlogk_flavour kLog, class... W, class... S>
struct Pieces<kLog, Central<W...>, S...> {
  static constexpr dlogk_flavour kLogFlavour = kLog;
  // erfinv a from a in [0, 1) and w = -ln(1 - a^2); kLow: the argument is a + al (al below
  // half an ulp of a; it matters in the central pieces only).
  template <bool kLow = false>
  static QOR_SIMD_INLINE f64x2 eval([[maybe_unused]] f64x2 a, f64x2 w, [[maybe_unused]] f64x2 al = f64x2()) {
    f64x2 y = f64x2::splat(0.0), donev = f64x2::splat(0.0);
    int done = 0;
    (central_piece<W, kLow>(w, a, al, y, done, donev), ...);
    if (done != 3) {
      const f64x2 s = _mm_sqrt_pd(w.v);
      (tail_piece<S>(s, y, done, donev), ...);
    }
    return y;
  }
};
// The tails of the double EP rows (s from 3.6 on).
using DErfinvTailsEP = Pieces<dlogk_flavour::EP, Central<>, DErfinvEP_S1, DErfinvEP_S2, DErfinvEP_S3>;

// ---- Double precision LA and HA tails: a double-double last step ----------------------------
// The tail lanes' result is formed as yh + yl with an error far below half an ulp before its
// one rounding (CdfNormInv: before the product with sqrt 2, itself formed exactly). What a plain
// double evaluation loses, and what replaces it (the LA slot keeps all but the two-part w and s):
//   z = q' (2 - q') in two parts, zh + zl (q' exact, 2 - q' in two parts, the product by
//     Dekker's);
//   w = -ln z = wh + wl: the HA logarithm's exact leading sum kept apart from its small terms
//     (ln_dd below; the table logarithm of exp_log with its reduction), plus zl / zh;
//   s = sqrt w = sh + sl: sl = (wh - sh^2 + wl) / (2 sh) with sh^2 exact;
//   P(t), t = s - c: t = th + tl exactly (TwoDiff, plus the low part of s), then
//     a_0 + a_1 t (a_0, a_1 in two parts; a_1 th exact) + t^2 R(t) + P'(t) tl, the sum of the
//     leading two by Fast2Sum (|a_1 t| < |a_0| on every piece) and the rest added to its low
//     part; the pieces' relative errors are about 2^-60 (tables/erfinv_poly.inc).
// The other parts' errors (the logarithm's polynomial, the small terms' roundings, the rest
// R evaluated in double) stay below about 2^-58 relative.
namespace ddx = ::qor::vm::trig;

// ln x = hi + lo (returned: hi; the sum not normalized) for a positive normal x with exponent k
// and table rows oa, ob: exp_log's HA reduction with the exact leading sum
// v + e = (k ln2_hi + H_j + uhi) + ulo.
QOR_SIMD_INLINE f64x2 ln_dd(f64x2 x, f64x2 k, uint32_t oa, uint32_t ob, f64x2& lo) {
  using namespace exp_log::dlogk;
  const auto& c = exp_log::kDLn;
  const f64x2 R = load_r(oa, ob);
  f64x2 H, L;
  load_hl(ln_row(oa) + 2, ln_row(ob) + 2, H, L);
  const USplit w = u_split(x, R);
  const f64x2 P = poly5<false>(w.uhi + w.ulo);
  const f64x2 s = (k * row(c.ln2_hi) + H) + w.uhi;  // exact
  f64x2 v, e;
  ddx::fast_two_sum(s, w.ulo, v, e);  // |s| >= |ulo| unless s = 0
  lo = (e + (k * row(c.ln2_lo) + L)) + P;
  return v;
}

// P(vh + vl - c) = ph + pl for one piece (see above).
template <class W>
QOR_SIMD_INLINE void poly_dd(f64x2 vh, f64x2 vl, f64x2& ph, f64x2& pl) {
  f64x2 th, te;
  ddx::two_diff(vh, f64x2::splat(W::c), th, te);
  const f64x2 tl = te + vl;
  const f64x2 r = estrin<W, 2>(th);
  constexpr double a0 = W::a[0][0], a1 = W::a[1][0], a2 = W::a[2][0];
  constexpr double a1h = split_hi(a1), a1m = a1 - a1h;
  f64x2 p, pe, e;
  ddx::two_prod_split(th, f64x2::splat(a1), f64x2::splat(a1h), f64x2::splat(a1m), p, pe);
  ddx::fast_two_sum(f64x2::splat(a0), p, ph, e);
  const f64x2 small = (f64x2::splat(W::a0l) + f64x2::splat(W::a1l) * th) +
                      (tl * (f64x2::splat(a1) + f64x2::splat(2 * a2) * th) + (th * th) * r);
  pl = e + (pe + small);
}

// One piece of the set: the lanes not yet done with vh below its upper end; central pieces
// multiply by a + al.
template <class W, bool kCentral>
QOR_SIMD_INLINE void piece_dd(f64x2 vh, f64x2 vl, f64x2 a, f64x2 al, f64x2& yh, f64x2& yl, int& done,
                              f64x2& donev) {
  if (done == 3) return;
  const f64x2 in = simd::andnot(donev, simd::cmp_lt(vh, f64x2::splat(W::hi)));
  const int m = mask(in);
  if (!m) return;
  f64x2 ph, pl;
  poly_dd<W>(vh, vl, ph, pl);
  if constexpr (kCentral) {
    f64x2 h, e;
    ddx::two_prod(a, ph, h, e);
    pl = e + (a * pl + al * ph);
    ph = h;
  }
  yh = simd::select(in, ph, yh);
  yl = simd::select(in, pl, yl);
  done |= m;
  donev = donev | in;
}

// kLA: the LA slot's shortcut, w and s rounded to one double each (no zl, wl, sl).
template <bool kLA, class C, class... S>
struct PiecesDD;
template <bool kLA, class... W, class... S>
struct PiecesDD<kLA, Central<W...>, S...> {
  static constexpr bool kShort = kLA;
  // erfinv(a + al) = yh + yl (returned: yh) from w = wh + wl = -ln(1 - (a + al)^2)
  static QOR_SIMD_INLINE f64x2 eval([[maybe_unused]] f64x2 a, [[maybe_unused]] f64x2 al, f64x2 wh, f64x2 wl, f64x2& yl) {
    f64x2 yh = f64x2::splat(0.0), donev = f64x2::splat(0.0);
    yl = yh;
    int done = 0;
    (piece_dd<W, true>(wh, wl, a, al, yh, yl, done, donev), ...);
    if (done != 3) {
      const f64x2 sh = _mm_sqrt_pd(wh.v);
      f64x2 sl = f64x2::splat(0.0);
      if constexpr (!kLA) {
        f64x2 p, pe;
        ddx::two_prod(sh, sh, p, pe);
        // the divisor kept from 0 (w = 0 in a central lane of the register: no 0 / 0)
        sl = (((wh - p) - pe) + wl) / f64x2(_mm_max_pd((sh + sh).v, _mm_set1_pd(0x1p-500)));
      }
      (piece_dd<S, false>(sh, sl, a, al, yh, yl, done, donev), ...);
    }
    return yh;
  }
};
// The tails of the double LA and HA rows (s from 3.6 on).
using DErfinvTailsLA = PiecesDD<true, Central<>, DErfinvHA_S1, DErfinvHA_S2, DErfinvHA_S3, DErfinvHA_S4, DErfinvHA_S5>;
using DErfinvTailsHA = PiecesDD<false, Central<>, DErfinvHA_S1, DErfinvHA_S2, DErfinvHA_S3, DErfinvHA_S4, DErfinvHA_S5>;

// q' (2 - q') = zh + zl for q' in (0, 1] exact (ErfcInv, CdfNormInv).
QOR_SIMD_INLINE void q_times_two_minus_q(f64x2 q, f64x2& zh, f64x2& zl) {
  f64x2 bh, bl, e;
  ddx::two_diff(f64x2::splat(2.0), q, bh, bl);
  ddx::two_prod(q, bh, zh, e);
  zl = e + q * bl;
}

// w = -ln(zh + zl) = wh + wl for one register (k, oa, ob: the pair's reduction of zh); kShort:
// -ln zh rounded once, wl = 0.
template <bool kShort>
QOR_SIMD_INLINE void neg_ln_dd(f64x2 zh, f64x2 zl, f64x2 k, uint32_t oa, uint32_t ob, f64x2& wh, f64x2& wl) {
  f64x2 lo, h, e;
  const f64x2 v = ln_dd(zh, k, oa, ob, lo);  // lo holds u^2 P(u): up to 2^-20, not below an ulp of v
  if constexpr (kShort) {
    wh = f64x2::splat(0.0) - (v + lo);
    wl = f64x2::splat(0.0);
    return;
  }
  ddx::fast_two_sum(v, lo + zl / zh, h, e);   // |v| >= |lo| unless v = 0
  wh = f64x2::splat(0.0) - h;
  wl = f64x2::splat(0.0) - e;
}

// A block of two registers: erfinv(a_i + al_i) = yh_i + yl_i (yh returned in y_i) from
// z_i = zh_i + zl_i = 1 - (a_i + al_i)^2 (positive normal).
template <class P>
QOR_SIMD_INLINE void derfinv_dd_pair(const f64x2 (&a)[2], const f64x2 (&al)[2], const f64x2 (&zh)[2],
                                     const f64x2 (&zl)[2], f64x2 (&y)[2], f64x2 (&yl)[2]) {
  using namespace exp_log;
  const dlogk::Reduced4 r = dlogk::reduce4(dlogk::high_words(zh[0], zh[1]));
  for (int i = 0; i < 2; ++i) {
    f64x2 wh, wl;
    neg_ln_dd<P::kShort>(zh[i], zl[i], i ? r.k1 : r.k0, r.o[2 * i], r.o[2 * i + 1], wh, wl);
    y[i] = P::eval(a[i], al[i], wh, wl, yl[i]);
    simd::barrier(y[i]);
  }
}

// Double precision EP tails, a block of two registers: erfinv(1 - q_i) from z_i = q_i (2 - q_i)
// (positive normal numbers).
template <class P>
QOR_SIMD_INLINE void dtails_ep(const f64x2 (&z)[2], f64x2 (&y)[2]) {
  using namespace exp_log;
  const dlogk::Reduced4 r = dlogk::reduce4(dlogk::high_words(z[0], z[1]));
  const f64x2 w0 = f64x2::splat(0.0) - dlogk::log2x<BaseE, P::kLogFlavour, 0>(z[0], r);
  const f64x2 w1 = f64x2::splat(0.0) - dlogk::log2x<BaseE, P::kLogFlavour, 1>(z[1], r);
  y[0] = P::eval(f64x2(), w0);
  simd::barrier(y[0]);
  y[1] = P::eval(f64x2(), w1);
}

// ---- Single precision EP: float arithmetic on four lanes ------------------------------------
// z = (1 - a)(1 + a) (ErfInv; 1 - a exact from 1/2 on) or q' (2 - q') (ErfcInv, CdfNormInv),
// each factor within half an ulp, so w = -ln z has an absolute error of about 2^-24 where w is
// small (all the central piece needs) and a relative one of about 2^-24 in the tails (z is a
// normal number: the screens send ErfcInv below 2^-126 and CdfNormInv below 2^-127 to the
// per-element routine). The logarithm: z = 2^k m, m in [sqrt(1/2), sqrt(2)), f = m - 1 exact,
// ln z = k ln 2 (rounded once) + f R(f) (exp_log's EP polynomial, 2^-11.5). Two pieces cover
// ErfInv (Giles' split): w < 5, a P_W(w); s = sqrt(w) in [2.2, 4.1], P_S1(s - 2.2) (up to
// ErfInv(1 - 2^-24), s = 4.08); ErfcInv's smaller arguments (to s = 9.3) take a third,
// P_S2(s - 4.1). Each polynomial is in powers of its variable minus the piece's lower end (every
// term adds: no cancellation at either end), with float coefficients (tables/erfinv_poly.inc:
// about 2^-14). CdfNormInv has its own sets, the functions times sqrt 2 (no product with sqrt 2
// rounded). A block computes the central piece on both registers and the tail pieces only when
// one of its lanes needs them (the lanes then chosen by mask: the same bits wherever the lane
// sits). The result's sign comes from the signed argument (x, 1 - q, or q - 1 for CdfNormInv)
// that multiplies the central piece, and is set on the tail lanes only. Measured 13.8 bits.
// A float constant in every lane, one aligned 16-byte row (a memory operand); v's sign.
template <float V>
struct FRow4 {
  alignas(16) static constexpr float v[4] = {V, V, V, V};
};
// The constants of the hot paths are rows of one table, so that every one is read through the
// same hidden pointer (one address computation a block instead of one a constant).
struct alignas(16) FRows {
  float v[8][4];
};
#define QOR_R4(v) {v, v, v, v}
inline constexpr float kFRowValues[8] = {1.0f, 2.0f, 0x1.4p+2f, -0x1.62e430p-1f, -0x1.62e4p-1f,
                                         0x1.7f7d1cp-20f, -0.0f, 4097.0f};
inline constexpr FRows kFRows = {{QOR_R4(1.0f), QOR_R4(2.0f), QOR_R4(0x1.4p+2f), QOR_R4(-0x1.62e430p-1f),
                                  QOR_R4(-0x1.62e4p-1f), QOR_R4(0x1.7f7d1cp-20f), QOR_R4(-0.0f),
                                  QOR_R4(4097.0f)}};
#undef QOR_R4
consteval int frow_index(float v) {
  for (int i = 0; i < 8; ++i)
    if (__builtin_bit_cast(uint32_t, kFRowValues[i]) == __builtin_bit_cast(uint32_t, v)) return i;
  return -1;
}
template <float V>
QOR_SIMD_INLINE f32x4 fk() {
  if constexpr (frow_index(V) >= 0) return _mm_load_ps(opaque(kFRows).v[frow_index(V)]);
  else return _mm_load_ps(opaque(FRow4<V>::v));
}
QOR_SIMD_INLINE f32x4 fsign4(f32x4 v) { return v & fk<-0.0f>(); }

// sum a_i t^i (rows of piece P, from a_kFrom) by Horner's scheme: fewer operations than
// Estrin's, and measured faster and more accurate here (the two registers of a block, and
// consecutive blocks, overlap their chains).
template <class P, size_t kFrom>
QOR_SIMD_INLINE f32x4 fhorner(f32x4 t) {
  constexpr size_t N = sizeof(P::a) / sizeof(P::a[0]) - kFrom;
  const auto& a = opaque(P::a);
  f32x4 h = row(a[N - 1 + kFrom]);
  for (size_t i = N - 1; i-- > 0;) h = row(a[i + kFrom]) + h * t;
  return h;
}

// One float piece at v: a_0 + t R(t), t = v - c (exact: c is the piece's lower end).
template <class P>
QOR_SIMD_INLINE f32x4 fpiece(f32x4 v) {
  const auto& a = opaque(P::a);
  const f32x4 t = P::c == 0.0f ? v : v - fk<P::c>();
  return row(a[0]) + t * fhorner<P, 1>(t);
}

// -ln z for positive normal floats z (see above).
QOR_SIMD_INLINE f32x4 neg_ln_f(f32x4 z) {
  const i32x4 off = ki<0x3F3504F3>();
  const i32x4 t = z.bits() - off;
  const f32x4 kf = simd::to_float(simd::shr_arith(t, 23));
  const f32x4 f = ((t & i32x4(ki<0x007FFFFF>())) + off).as_f32() - fk<1.0f>();  // exact
  const auto& c = opaque(exp_log::kSLnEPRows).c;
  const f32x4 f2 = f * f;
  const f32x4 l = f * ((row(c[0]) + row(c[1]) * f) + f2 * (row(c[2]) + row(c[3]) * f));
  // k ln 2 rounded once (2^-24 relative: w is either that small in absolute terms, k = 0 giving
  // w = -l, or at least ln 2 / 2)
  return kf * fk<-0x1.62e430p-1f>() - l;
}

// A float set: the central piece W (in w), the tails S1, S2 (in s).
template <class W, class S1, class S2>
struct FPieces {
  // erfinv a (times the set's factor) from w = -ln(1 - a^2), a signed (the pieces are even in
  // a: the central one is multiplied by a, the tails take a's sign).
  static QOR_SIMD_INLINE void eval2(const f32x4 (&a)[2], const f32x4 (&z)[2], f32x4 (&y)[2]) {
    f32x4 w[2], tail[2];
    for (int i = 0; i < 2; ++i) {
      w[i] = neg_ln_f(z[i]);
      y[i] = a[i] * fpiece<W>(w[i]);
      tail[i] = simd::cmp_le(fk<W::hi>(), w[i]);
    }
    if (__builtin_expect(simd::mask(tail[0] | tail[1]) != 0, 0))
      for (int i = 0; i < 2; ++i) y[i] = simd::select(tail[i], tails(z[i]) | fsign4(a[i]), y[i]);
  }
  // the tail pieces from z (w computed again: nothing of the central evaluation kept alive)
  static QOR_SIMD_INLINE f32x4 tails(f32x4 z) {
    const f32x4 s = _mm_sqrt_ps(neg_ln_f(z).v);
    f32x4 yt = fpiece<S1>(s);
    const f32x4 far = simd::cmp_le(fk<S1::hi>(), s);
    if (simd::mask(far)) yt = simd::select(far, fpiece<S2>(s), yt);
    return yt;
  }
};
template <class W, class S1, class S2, class Cdf>
struct FSet : FPieces<W, S1, S2> {
  using CdfSet = Cdf;  // CdfNormInv's pieces (the same times sqrt 2)
};
using SErfinvEP = FSet<SErfinvEP_W, SErfinvEP_S1, SErfinvEP_S2, FPieces<SCdfinvEP_W, SCdfinvEP_S1, SCdfinvEP_S2>>;

// ErfInv on two registers of four floats (float sets): odd, x itself times the central piece
// ((1 - x)(1 + x) is the product for |x|, its factors swapped for x < 0).
template <class P>
QOR_SIMD_INLINE void serfinv_f(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
  const f32x4 one = fk<1.0f>(), x[2] = {x0, x1};
  f32x4 z[2], y[2];
  for (int i = 0; i < 2; ++i) z[i] = (one - x[i]) * (one + x[i]);
  P::eval2(x, z, y);
  r0 = y[0];
  r1 = y[1];
}

// ErfcInv (kCdf false) or CdfNormInv (kCdf true) on two registers of four floats (float sets)
// in [2^-126, 2) / [2^-127, 1): erfinv t with t = 1 - q (rounded below q = 1/2: EP's few bits
// do not see it), q' = min(q, 2 - q) exact. CdfNormInv = -sqrt(2) erfinv t takes a = q - 1 =
// -t (the same rounding, and +0 at p = 1/2): no sign operations.
template <class P, bool kCdf>
QOR_SIMD_INLINE void serfcinv_f(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
  const f32x4 one = fk<1.0f>(), two = fk<2.0f>(), x[2] = {x0, x1};
  f32x4 a[2], z[2], y[2];
  for (int i = 0; i < 2; ++i) {
    const f32x4 q = kCdf ? x[i] + x[i] : x[i];
    a[i] = kCdf ? q - one : one - q;
    const f32x4 qq = simd::min(q, two - q);
    z[i] = qq * (two - qq);
  }
  using E = std::conditional_t<kCdf, typename P::CdfSet, P>;
  E::eval2(a, z, y);
  r0 = y[0];
  r1 = y[1];
}

// ---- Double precision: rows in q ------------------------------------------------------------
// With t the signed argument of erfinv (ErfInv: x; ErfcInv: 1 - q; CdfNormInv: p - 1/2, with
// sqrt 2 and the factor 2 of 2p - 1 in its rows) and q' = 1 - |t| (ErfInv: 1 - |x|, exact from
// |x| = 1/2 on; ErfcInv: min(q, 2 - q), exact; CdfNormInv: p' = min(p, 1 - p), exact, the rows
// one binade lower), erfinv t = t g(q') with g(q') = erfinv(1 - q') / (1 - q'). For q' in
// [2^-20, 1] g is a polynomial of a small degree on each of 2^sub equal rows of every binade of
// q' (tables/erfinv_rows.inc; sub = 7 for EP and HA, 8 for LA): the row
// is chosen lane by lane from the bits of q' (its exponent and top sub fraction bits: one integer
// register for the four lanes of a block, a shift and a mask, the four offsets read out two at a
// time), so one gather and one short polynomial serve every lane, with no logarithm and no
// branch. g's singularity (at q' = 0) is 2^(sub+1) half-widths away from each row, so one degree
// serves every row of a set; each doubling of the rows buys about degree + 1 bits:
//   EP: 128 rows, degree 2 (2^-29.5), in powers of q' itself (no subtraction; the terms cancel
//       to a few bits only), Horner's scheme, 32-byte rows c_0, c_1, c_2, 0 (32 rows of degree 3,
//       2^-30.9, cost a fourth coefficient: 1.25 against 1.02 us per 1,000);
//   LA: 256 rows, degree 4 (2^-52.5), in powers of v = q' - lo (lo: q' with the bits below its
//       row cleared, v exact), 40-byte rows c_0 .. c_4 (the offsets: the index times 8, then
//       times 5), t P(v) by Horner's scheme; ErfcInv's t rounded below q = 1/2 (half an ulp).
//       Table: 200 KB per set (ErfInv/ErfcInv, CdfNormInv); the 128 rows of degree 5 that HA
//       reads, with one coefficient more, cost 1.85 against 1.70 us per 1,000;
//   HA: 128 rows, degree 5 (2^-57.5), in powers of v = q' - mid (mid from the bits of q'; the
//       terms beyond c_0 are below 0.0008 of g), 64-byte rows c0h, c0l, c_1 .. c_5, 0, all four
//       pairs read, c_0 = c0h + c0l (c0h: c_0 with its low 27 bits cleared, 26 significant
//       bits), t = th + tm with th of 26 bits (t's low 27 bits cleared), and
//         y = th c0h + ((tm + tl) c0h + t (c0l + v R(v))),
//       the first product exact: the only rounding of size is the last sum's (half an ulp), the
//       others sit on terms below 0.01 of y. ErfcInv's and CdfNormInv's t carry their low part
//       tl below q = 1/2; ErfInv's v is (1 - mid) - |x| (the first difference exact, the
//       second rounded once at the size of v: q' rounded below |x| = 1/2 only chooses the row).
// The screen passes the lanes whose q' lies in [2^-20, 1 - 2^-21) (one compare on the high words
// the rows' offsets come from); a flagged block (the frame's packed_pair_flagged) reads the
// rows clamped to the table, and for a lane with q' below 2^-20 (s above 3.6) the tail pieces in
// s of the sections above (EP: exp_log's logarithm; LA, HA: the double-double logarithm and
// square root), chosen by mask; the element routine gets only the special arguments, ErfInv's
// |x| < 2^-35 and the arguments whose q' (2 - q') is not a normal number.
#include "vector_math/kernels/special/tables/erfinv_rows.inc"

// The constants of the rows' hot paths: rows of one table read through one hidden pointer (as
// the float kernels' kFRows below), so that they stay memory operands instead of vectors built
// from scalars inside the loop.
// Per row set of 2^kSub rows a binade: the bits of q' that name its row (sign, exponent, the top
// kSub fraction bits), half a row (the bit below), the first row's index.
template <int kSub>
inline constexpr uint64_t kRowMaskBits = ~((uint64_t{1} << (52 - kSub)) - 1);
template <int kSub>
inline constexpr uint64_t kRowMidBit = uint64_t{1} << (51 - kSub);
template <int kSub>
inline constexpr int32_t kRowBase = (1023 - kRowBinades) << kSub;
inline constexpr uint64_t kHigh26Bits = ~uint64_t{0x7FFFFFF};  // sign, exponent, top 25 fraction bits
// Four 32-bit words v as two doubles' bits.
constexpr double words_row(uint32_t v) { return std::bit_cast<double>((uint64_t{v} << 32) | v); }
inline constexpr double kDRowValues[] = {
    0.5, 1.0, 2.0, std::bit_cast<double>(kRowMaskBits<kRowSub>), std::bit_cast<double>(kRowMaskBits<7>),
    std::bit_cast<double>(kRowMidBit<7>), std::bit_cast<double>(0x7FFFFFFFFFFFFFFFull),
    std::bit_cast<double>(kHigh26Bits),
    // the screens (words_inside) of ErfInv, ErfcInv and CdfNormInv: 0x80000000 - lo, (hi - lo + 1) ^ 0x80000000
    words_row(0x80000000u - 0x3EB00000u), words_row((0x3FEFFFFEu - 0x3EB00000u + 1) ^ 0x80000000u),
    words_row(0x80000000u - 0x3EA00000u), words_row((0x3FDFFFFEu - 0x3EA00000u + 1) ^ 0x80000000u),
    // the row offsets: the first row's index (q', p'; EP), the row bytes
    words_row(kRowBase<kRowSub>), words_row(kRowBase<kRowSub> - (1 << kRowSub)), words_row(-32u), words_row(-64u),
    // LA's rows: the bits of q' that name its row; row offsets of 8 bytes a unit
    std::bit_cast<double>(kRowMaskBits<DErfinvLA_Rows_Sub>), words_row(-8u)};
inline constexpr int kDRowCount = sizeof(kDRowValues) / sizeof(kDRowValues[0]);
struct alignas(16) DRowsK {
  double v[kDRowCount][2];
};
inline constexpr DRowsK kDRowsK = [] {
  DRowsK k{};
  for (int i = 0; i < kDRowCount; ++i) k.v[i][0] = k.v[i][1] = kDRowValues[i];
  return k;
}();
consteval int drow_index(uint64_t bits) {
  for (int i = 0; i < kDRowCount; ++i)
    if (std::bit_cast<uint64_t>(kDRowValues[i]) == bits) return i;
  return -1;
}
template <uint64_t kBits>
QOR_SIMD_INLINE f64x2 dkb() {
  static_assert(drow_index(kBits) >= 0, "a constant of kDRowValues");
  return _mm_load_pd(opaque(kDRowsK).v[drow_index(kBits)]);
}
template <double V>
QOR_SIMD_INLINE f64x2 dk() { return dkb<std::bit_cast<uint64_t>(V)>(); }
// Four 32-bit words V: a row of the table where it has one, else a row of its own, both read
// through a hidden pointer.
template <int32_t V>
QOR_SIMD_INLINE __m128i dki() {
  constexpr int i = drow_index(std::bit_cast<uint64_t>(words_row(static_cast<uint32_t>(V))));
  if constexpr (i >= 0) return _mm_castpd_si128(_mm_load_pd(opaque(kDRowsK).v[i]));
  else return _mm_load_si128(reinterpret_cast<const __m128i*>(opaque(IRow4<V>::v)));
}

// The row offsets (bytes) of the four lanes of a block from the high words h of their q', for
// 2^kSub rows a binade of kBytes each: (h >> (20 - kSub)) - (1023 - kRowBinades) 2^kSub times the
// row size. kClamp: the index clamped to [0, rows - 1] (h first masked below 2^30, which changes
// no q' <= 1 and keeps whatever other lanes hold inside the table), for the flagged blocks; the
// screened ones have every q' in the table, their offsets counted from row -kBase (the caller's
// base moved back kBase rows).
template <int kBytes>
inline constexpr bool kPow2Row = (kBytes & (kBytes - 1)) == 0;
// Rows of 40 bytes (five doubles): the index times 8, then times 5 (a shift and an addition).
QOR_SIMD_INLINE __m128i times5(__m128i i) { return _mm_add_epi32(i, _mm_slli_epi32(i, 2)); }
template <int kBytes, int kSub, bool kClamp, int32_t kBase, bool kStore = false>
QOR_SIMD_INLINE void row_offsets4(i32x4 h, uint32_t (&o)[4]) {
  static_assert(kPow2Row<kBytes> || kBytes == 40, "rows of a power of two bytes, or of five doubles");
  constexpr int kRowsOf = kRowBinades << kSub;
  __m128i i;
  if constexpr (kClamp) {
    i = _mm_srli_epi32(_mm_and_si128(h.v, dki<0x3FFFFFFF>()), 20 - kSub);
    if constexpr ((0x3FFFFFFF >> (20 - kSub)) <= 0xFFFF) {
      // 16-bit saturating subtraction and minimum
      i = _mm_subs_epu16(i, dki<kBase>());
      i = _mm_min_epi16(i, dki<kRowsOf - 1>());
    } else {
      // in 32 bits: below 0 to 0 (the sign as a mask), above the last row to it
      i = _mm_sub_epi32(i, dki<kBase>());
      i = _mm_andnot_si128(_mm_srai_epi32(i, 31), i);
      const __m128i over = _mm_cmpgt_epi32(i, dki<kRowsOf - 1>());
      i = _mm_or_si128(_mm_andnot_si128(over, i), _mm_and_si128(over, dki<kRowsOf - 1>()));
    }
  } else if constexpr (kBytes == 40) {
    // (h >> (20 - kSub)) times 8 at once, then times 5
    i = times5(_mm_and_si128(_mm_srli_epi32(h.v, 20 - kSub - 3), dki<-8>()));
    lane_indices(i, o);
    return;
  } else {
    // (h >> (20 - kSub)) times the row size at once
    constexpr int kShift = 20 - kSub - std::countr_zero(static_cast<unsigned>(kBytes));
    i = _mm_and_si128(_mm_srli_epi32(h.v, kShift), dki<-kBytes>());
    if constexpr (kStore) {  // through memory: measured 3-4% faster for the EP rows, slower for LA
      alignas(16) uint32_t w[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(w), i);
      for (int k = 0; k < 4; ++k) o[k] = w[k];
    } else {
      lane_indices(i, o);
    }
    return;
  }
  if constexpr (kBytes == 40) i = times5(_mm_slli_epi32(i, 3));
  else i = _mm_slli_epi32(i, std::countr_zero(static_cast<unsigned>(kBytes)));
  lane_indices(i, o);
}

// Columns kFrom .. kFrom + N - 1 of the rows ra (lane 0) and rb (lane 1), kFrom even. Rows of a
// power of two bytes are 16-byte aligned and padded (an odd last column reads its pair);
// kPacked: rows of an odd number of doubles, neither (unaligned loads, the last column alone).
template <int kFrom, int N, bool kPacked = false>
QOR_SIMD_INLINE void row_columns(const double* ra, const double* rb, f64x2 (&c)[N]) {
  for (int k = 0; k < N; k += 2) {
    if (kPacked && k + 1 == N) {
      c[k] = _mm_loadh_pd(_mm_load_sd(ra + kFrom + k), rb + kFrom + k);
      break;
    }
    __m128d ea = kPacked ? _mm_loadu_pd(ra + kFrom + k) : _mm_load_pd(ra + kFrom + k);
    __m128d eb = kPacked ? _mm_loadu_pd(rb + kFrom + k) : _mm_load_pd(rb + kFrom + k);
    // one load a pair of coefficients and a shuffle each (GCC otherwise loads every half anew:
    // movapd + movhpd, two loads a coefficient)
    asm("" : "+x"(ea), "+x"(eb));
    c[k] = _mm_unpacklo_pd(ea, eb);
    if (k + 1 < N) c[k + 1] = _mm_unpackhi_pd(ea, eb);
  }
}
// sum c_k v^k by Horner's scheme.
template <int N>
QOR_SIMD_INLINE f64x2 horner(const f64x2 (&c)[N], f64x2 v) {
  f64x2 h = c[N - 1];
  for (int k = N - 2; k >= 0; --k) h = c[k] + h * v;
  return h;
}

// The slots. eval: y = erfinv(t + tl) (times sqrt 2: kCdf) for one register from t + tl (tl:
// ErfcInv's and CdfNormInv's low part, non-zero only where |t| > 1/2), q' (ErfInv's HA: and
// ql = |x|) and the two rows; tails: erfinv(1 - q') for q' below 2^-20
// (unsigned; times sqrt 2: kCdf).
struct DRowsEP {
  static constexpr int kBytes = 32, kSub = DErfinvEP_Rows_Sub;
  static_assert(DCdfinvEP_Rows_Sub == kSub);
  static constexpr bool kStoreOffsets = true;  // the screened blocks' offsets through memory
  static constexpr bool kLow = false, kTl = false;
  static const double* table(bool cdf) { return cdf ? &opaque(DCdfinvEP_Rows)[0][0] : &opaque(DErfinvEP_Rows)[0][0]; }
  template <bool kCdf, bool kLowT>
  static QOR_SIMD_INLINE f64x2 eval(f64x2 t, f64x2, f64x2 q, f64x2, const double* ra, const double* rb) {
    f64x2 c[3];
    row_columns<0, 3>(ra, rb, c);
    return t * horner(c, q);
  }
  template <bool kCdf>
  static void tails(const f64x2 (&q)[2], f64x2 (&y)[2]) {
    f64x2 z[2];    for (int i = 0; i < 2; ++i) z[i] = q[i] * (kc<2.0>() - q[i]);
    dtails_ep<DErfinvTailsEP>(z, y);
    if constexpr (kCdf)
      for (int i = 0; i < 2; ++i) y[i] = y[i] * kc<0x1.6a09e667f3bcdp+0>();
  }
};

// LA and HA tails: erfinv(1 - q') = yh + yl from z = q' (2 - q') in two parts; CdfNormInv's
// times sqrt 2 in two parts (the leading product exact).
template <class P, bool kCdf>
QOR_SIMD_INLINE void dtails_dd(const f64x2 (&q)[2], f64x2 (&y)[2]) {
  const f64x2 a[2] = {}, al[2] = {};
  f64x2 zh[2], zl[2], yl[2];
  for (int i = 0; i < 2; ++i) q_times_two_minus_q(q[i], zh[i], zl[i]);
  derfinv_dd_pair<P>(a, al, zh, zl, y, yl);
  for (int i = 0; i < 2; ++i) {
    if constexpr (kCdf) {
      constexpr double kS2 = 0x1.6a09e667f3bcdp+0, kS2l = -0x1.bdd3413b26456p-54;
      f64x2 p, pe;
      ddx::two_prod(y[i], f64x2::splat(kS2), p, pe);
      y[i] = p + (pe + (y[i] * f64x2::splat(kS2l) + yl[i] * f64x2::splat(kS2)));
    } else {
      y[i] = y[i] + yl[i];
    }
  }
}

// The rows of HA: c0h, c0l, c_1 .. c_5 in powers of v = q' - mid, then a zero.
struct DRowsLH {
  static constexpr int kBytes = 64, kSub = DErfinv_Rows_Sub;
  static_assert(DCdfinv_Rows_Sub == kSub);
  static constexpr bool kStoreOffsets = false;
  static const double* table(bool cdf) { return cdf ? &opaque(DCdfinv_Rows)[0][0] : &opaque(DErfinv_Rows)[0][0]; }
  // the variable from the middle of the row: q' less its row's bits with the next bit set (ErfInv's
  // HA, a = |x| given: (1 - mid) - a, the first difference exact, so that q' rounded below
  // |x| = 1/2 only chooses the row)
  static QOR_SIMD_INLINE f64x2 mid(f64x2 q) { return (q & dkb<kRowMaskBits<kSub>>()) | dkb<kRowMidBit<kSub>>(); }
};

// LA's own rows: 256 a binade, c_0 .. c_4 in powers of v = q' - lo (lo: q' with the bits below
// its row's cleared; v exact), 40 bytes a row.
struct DRowsLA {
  static constexpr int kBytes = 40, kSub = DErfinvLA_Rows_Sub;
  static_assert(DCdfinvLA_Rows_Sub == kSub);
  static constexpr bool kStoreOffsets = false;
  static constexpr bool kLow = false, kTl = false;  // t rounded: at most half an ulp more
  static const double* table(bool cdf) { return cdf ? &opaque(DCdfinvLA_Rows)[0][0] : &opaque(DErfinvLA_Rows)[0][0]; }
  template <bool kCdf, bool kLowT>
  static QOR_SIMD_INLINE f64x2 eval(f64x2 t, f64x2 tl, f64x2 q, f64x2, const double* ra, const double* rb) {
    f64x2 c[5];
    row_columns<0, 5, true>(ra, rb, c);
    const f64x2 y = t * horner(c, q - (q & dkb<kRowMaskBits<kSub>>()));
    return kLowT ? y + tl * c[0] : y;
  }
  template <bool kCdf>
  static void tails(const f64x2 (&q)[2], f64x2 (&y)[2]) {
    dtails_dd<DErfinvTailsLA, kCdf>(q, y);
  }
};

struct DRowsHA : DRowsLH {
  static constexpr bool kLow = true, kTl = true;
  template <bool kCdf, bool kLowT>
  static QOR_SIMD_INLINE f64x2 eval(f64x2 t, f64x2 tl, f64x2 q, f64x2 ql, const double* ra, const double* rb) {
    f64x2 c[7];
    row_columns<0, 7>(ra, rb, c);  // c0h, c0l, c_1 .. c_5
    // ErfInv (no tl): ql = |x|; ErfcInv, CdfNormInv: q' exact
    const f64x2 m = mid(q);
    const f64x2 v = kLowT ? q - m : (dk<1.0>() - m) - ql;
    f64x2 r = c[6];
    for (int k = 5; k >= 2; --k) r = c[k] + r * v;
    const f64x2 rest = c[1] + v * r;
    // c_0 = c0h + c0l, c0h of 26 significant bits; t = th + tm, th of 26 (t's low 27 bits cleared)
    const f64x2 c0h = c[0];
    const f64x2 th = t & dkb<kHigh26Bits>(), tm = t - th;
    if constexpr (kLowT) return th * c0h + ((tm + tl) * c0h + t * rest);
    else return th * c0h + (tm * c0h + t * rest);
  }
  template <bool kCdf>
  static void tails(const f64x2 (&q)[2], f64x2 (&y)[2]) {
    dtails_dd<DErfinvTailsHA, kCdf>(q, y);
  }
};

// erfinv(t_i + tl_i) (times sqrt 2: kCdf) for a block of two registers from the rows, q_i =
// 1 - |t_i| (+ ql_i) with high words h; kClamp: the flagged blocks' offsets.
template <class S, bool kCdf, bool kLowT, bool kClamp>
QOR_SIMD_INLINE void rows_pair(const f64x2 (&t)[2], const f64x2 (&tl)[2], const f64x2 (&q)[2], const f64x2 (&ql)[2],
                               i32x4 h, f64x2& y0, f64x2& y1) {
  constexpr int32_t kBase = kCdf ? kRowBase<S::kSub> - (1 << S::kSub) : kRowBase<S::kSub>;
  uint32_t o[4];
  row_offsets4<S::kBytes, S::kSub, kClamp, kBase, S::kStoreOffsets>(h, o);
  const char* base = reinterpret_cast<const char*>(S::table(kCdf));
  if constexpr (!kClamp)  // offsets counted from row -kBase
    base = reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(base) - uintptr_t{kBase} * S::kBytes);
  const auto row = [&](int k) { return reinterpret_cast<const double*>(base + o[k]); };
  y0 = S::template eval<kCdf, kLowT>(t[0], tl[0], q[0], ql[0], row(0), row(1));
  y1 = S::template eval<kCdf, kLowT>(t[1], tl[1], q[1], ql[1], row(2), row(3));
}

// Lanes whose high word u lies in [kLo, kHi] (unsigned; see bits_inside below).
template <uint32_t kLo, uint32_t kHi>
QOR_SIMD_INLINE i32x4 words_inside(i32x4 u) {
  return simd::cmp_gt(i32x4(dki<static_cast<int32_t>((kHi - kLo + 1) ^ 0x80000000u)>()),
                      u + i32x4(dki<static_cast<int32_t>(0x80000000u - kLo)>()));
}
// The lanes the rows serve in the screened blocks: q' in [2^-20, 1 - 2^-21) (every row but the
// top end's neighbourhood, where the flagged blocks clamp), from the high words; CdfNormInv's
// p' = q' / 2 in [2^-21, 1/2 - 2^-22).
template <bool kCdf>
QOR_SIMD_INLINE i32x4 rows_inside(i32x4 h) {
  if constexpr (kCdf) return words_inside<0x3EA00000u, 0x3FDFFFFEu>(h);
  else return words_inside<0x3EB00000u, 0x3FEFFFFEu>(h);
}

// A flagged block: the rows (clamped) for every lane, then the tail pieces for the blocks with
// a lane whose q' lies below 2^-20 (or is not in (0, 1]: those lanes are the element routine's),
// chosen by mask, with the signs of t.
template <class S, bool kCdf, bool kLowT>
__attribute__((noinline)) void rows_pair_flagged(const f64x2 (&t)[2], const f64x2 (&tl)[2], const f64x2 (&q)[2],
                                                 const f64x2 (&ql)[2], i32x4 h, f64x2 (&y)[2]) {
  rows_pair<S, kCdf, kLowT, true>(t, tl, q, ql, h, y[0], y[1]);
  const i32x4 c = simd::cmp_gt(i32x4(dki<kCdf ? 0x3EA00000 : 0x3EB00000>()), h);
  if (!mask(c)) return;
  f64x2 r[2];
  if constexpr (kCdf) {
    const f64x2 q2[2] = {q[0] + q[0], q[1] + q[1]};
    S::template tails<kCdf>(q2, r);
  } else {
    S::template tails<kCdf>(q, r);
  }
  const f64x2 m[2] = {_mm_castsi128_pd(_mm_unpacklo_epi32(c.v, c.v)), _mm_castsi128_pd(_mm_unpackhi_epi32(c.v, c.v))};
  for (int i = 0; i < 2; ++i) y[i] = simd::select(m[i], r[i] | sign_bits(t[i]), y[i]);
}


// y with erfc y = q, 0 < q < 2, in extended precision.
inline LD erfcinv_ld(LD q) {
  if (q <= 1) return erfinv_ld(1 - q, q);
  return -erfinv_ld(q - 1, 2 - q);
}

// The per-element routine of double-precision ErfInv (|x| >= 1, |x| < 2^-35, infinities, NaNs).
// For 0 < |x| < 2^-35 erfinv x = x sqrt(pi)/2 to within 2^-72 relative: x is scaled by 2^256 and
// split (1.5 * 2^36 + 1) into a high part of at most 26 significant bits and a low part, each
// multiplied by sqrt(pi)/2 = 0.88623046875 (11 bits: exact products) + c; x c is added with the
// low product first, and the sum scaled back by 2^-256. A result in the subnormal range is
// rounded once more, at the granularity that the scaling maps to the least subnormal (adding and
// removing 2^-766 with the sign of the sum, the sum's error joined before), so that the scaling is exact and the
// result rounds only once.
inline int vderfinv_cout_rare(const double* px, double* r) {
  const double x = *px;
  const double ax = std::fabs(x);
  if (std::isnan(x)) {
    *r = x + x;
    return kOk;
  }
  if (std::isinf(x)) {
    *r = nan_invalid_d();
    return kErrDom;
  }
  if (ax == 1.0) {
    *r = div_rt(x, 0.0);
    return kSing;
  }
  if (ax > 1.0) {
    *r = nan_invalid_d();
    return kErrDom;
  }
  if (x == 0.0) {
    *r = x;
    return kOk;
  }
  if (ax < 0x1p-35) {
    const double xs = x * 1.157920892373162e77;  // 2^256
    const double c = xs * 103079215105.0;        // 1.5 * 2^36 + 1
    const double hi = c - (c - xs);
    const double lo = xs - hi;
    const double ph = hi * 0.88623046875;           // exact
    const double pl = lo * 0.88623046875 + xs * -3.543297241986351e-6;
    double s = ph + pl;
    if (std::fabs(s) < 2.5764595078388533e-231) {  // a subnormal result: round at 2^-818 once
      const double e = (ph - s) + pl;               // s + e = ph + pl
      const double k = std::copysign(0x1p-766, s);  // s + k in [2^-766, 2^-765]: spacing 2^-818
      const double u = s + k;                        // s rounded to a multiple of 2^-818, plus k
      const double rem = s - (u - k);                // exact
      s = (u + (rem + e)) - k;
    }
    *r = s * double_of(0x2FF0000000000000ull);  // 2^-256
    return kOk;
  }
  *r = static_cast<double>(erfinv_ld(ax, 1 - static_cast<LD>(ax))) * (x < 0 ? -1.0 : 1.0);
  return kOk;
}

// One register of family F: its packed pair on the register twice (kPair), or lane by lane.
template <class F, bool kPair, class T>
QOR_SIMD_INLINE typename VecOf<T>::type pair_or_lanes(typename VecOf<T>::type x) {
  if constexpr (kPair) {
    typename VecOf<T>::type r0, r1;
    F::packed_pair(x, x, r0, r1);
    return r0;
  } else {
    return each_lane<T, F>(x);
  }
}

// ErfInv, S: the rows of the slot (DRowsLA, DRowsHA, DRowsEP). t = x, q' = 1 - |x| (HA: and
// ql = |x|, its variable's source). The screen passes the lanes the rows serve (q' in
// [2^-20, 1 - 2^-21): |x| in (2^-21, 1 - 2^-20]); the flagged blocks take the rows clamped to
// the table and the tails, and leave to the element routine |x| >= 1, NaN and |x| < 2^-35.
template <class S>
struct DErfInv : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kInlineBlocks = true;
  struct Args {
    f64x2 t[2], tl[2], q[2], ql[2];
    i32x4 h;  // the high words of q'
  };
  static QOR_SIMD_INLINE Args args(f64x2 x0, f64x2 x1) {
    const f64x2 one = dk<1.0>();
    Args g{{x0, x1}, {}, {}, {}, {}};
    for (int i = 0; i < 2; ++i) {
      const f64x2 a = g.t[i] & dkb<0x7FFFFFFFFFFFFFFFull>();
      g.q[i] = one - a;
      if constexpr (S::kLow) g.ql[i] = a;  // HA: its variable from |x| (DRowsHA::eval)
    }
    g.h = exp_log::dlogk::high_words(g.q[0], g.q[1]);
    return g;
  }
  static f64x2 packed(f64x2 x) {
    f64x2 r0, r1;
    packed_pair_flagged(x, x, r0, r1);
    return r0;
  }
  static QOR_SIMD_INLINE void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const Args g = args(x0, x1);
    rows_pair<S, false, false, false>(g.t, g.tl, g.q, g.ql, g.h, r0, r1);
  }
  static QOR_SIMD_INLINE int screen_pair(f64x2 x0, f64x2 x1) { return mask(rows_inside<false>(args(x0, x1).h)) ^ 0xF; }
  static int screen(f64x2 x) { return screen_pair(x, x) & 0x3; }
  // |x| >= 1 or NaN, |x| < 2^-35 (high words of |x| outside [0x3DC00000, 0x3FEFFFFF])
  static QOR_SIMD_INLINE int rare(f64x2 x0, f64x2 x1) {
    const i32x4 h = exp_log::dlogk::high_words(x0, x1) & i32x4(dki<0x7FFFFFFF>());
    return mask(words_inside<0x3DC00000u, 0x3FEFFFFFu>(h)) ^ 0xF;
  }
  static int packed_pair_flagged(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const Args g = args(x0, x1);
    f64x2 y[2];
    rows_pair_flagged<S, false, false>(g.t, g.tl, g.q, g.ql, g.h, y);
    r0 = y[0];
    r1 = y[1];
    return rare(x0, x1);
  }
  static int element(const double* px, double* r) {
    if (rare(f64x2::splat(*px), f64x2::splat(*px))) return vderfinv_cout_rare(px, r);
    *r = packed_one<DErfInv>(*px);  // the blocks' formula: a lane's result does not depend on its place
    return kOk;
  }
};

// The screens of the float sets on the bits, one integer compare per register, as the lanes
// inside: x in [lo, hi] for 0 < lo <= hi (bit patterns kLo, kHi; negative numbers, -0 and NaNs
// are outside): the bits less kLo, taken unsigned, at most kHi - kLo (the unsigned compare as
// a signed one after flipping the sign bit, which the same addition does); |x| at most kHi.
template <uint32_t kLo, uint32_t kHi>
QOR_SIMD_INLINE i32x4 bits_inside(f32x4 x) {
  const i32x4 u = x.bits() + i32x4(ki<static_cast<int32_t>(0x80000000u - kLo)>());
  return simd::cmp_gt(i32x4(ki<static_cast<int32_t>((kHi - kLo + 1) ^ 0x80000000u)>()), u);
}
template <uint32_t kHi>
QOR_SIMD_INLINE i32x4 abs_bits_inside(f32x4 x) {
  return simd::cmp_gt(i32x4(ki<static_cast<int32_t>(kHi + 1)>()), x.bits() & i32x4(ki<0x7FFFFFFF>()));
}
// The lanes outside of both registers of a block: one mask extraction when none is.
QOR_SIMD_INLINE int pair_outside(i32x4 in0, i32x4 in1) {
  if (__builtin_expect(simd::mask(in0 & in1) == 0xF, 1)) return 0;
  return (simd::mask(in0) | (simd::mask(in1) << 4)) ^ 0xFF;
}

// The EP slot: P the float set (SErfinvEP).
template <class P>
struct SErfInv : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr bool kInlineBlocks = true;
  static QOR_SIMD_INLINE f32x4 packed(f32x4 x) {
    f32x4 r0, r1;
    serfinv_f<P>(x, x, r0, r1);
    return r0;
  }
  static QOR_SIMD_INLINE void packed_pair(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) { serfinv_f<P>(x0, x1, r0, r1); }
  // |x| < 1 (on the bits, 0x3F7FFFFF the float below 1)
  static int screen(f32x4 x) { return simd::mask(abs_bits_inside<0x3F7FFFFF>(x)) ^ 0xF; }
  static int screen_pair(f32x4 x0, f32x4 x1) {
    return pair_outside(abs_bits_inside<0x3F7FFFFF>(x0), abs_bits_inside<0x3F7FFFFF>(x1));
  }
  static int element(const float* px, float* r) {
    const float x = *px;
    if (std::isnan(x) || std::fabs(x) >= 1.0f) {
      const double xd = x;
      double rd;
      const int status = vderfinv_cout_rare(&xd, &rd);
      *r = static_cast<float>(rd);
      return status;
    }
    *r = packed_one<SErfInv>(x);  // the packed formula: a lane's result does not depend on its place
    return kOk;
  }
};

// The special arguments of ErfcInv (kCdf false) and CdfNormInv (kCdf true) in either
// precision: sets *r and returns the status for NaN, the ends (poles) and what lies outside;
// returns -1 for an argument inside the open interval.
template <class T, bool kCdf>
inline int inverse_erfc_special(T x, T* r) {
  const T top = kCdf ? T(1) : T(2);
  if (std::isnan(x)) {
    *r = x + x;
    return kOk;
  }
  if (x == T(0) || x == top) {
    const T s = (x == T(0)) == kCdf ? T(-1) : T(1);  // ErfcInv(0) = +inf, CdfNormInv(0) = -inf
    *r = div_rt(s, T(0));
    return kSing;
  }
  if (!(x > T(0) && x < top)) {
    *r = div_rt(T(0), T(0));
    return kErrDom;
  }
  return -1;
}
// ErfcInv or CdfNormInv of an ordinary argument in extended precision, rounded once.
template <class T, bool kCdf>
inline T inverse_erfc_ld(T x) {
  const LD q = kCdf ? 2 * static_cast<LD>(x) : static_cast<LD>(x);
  const LD y = erfcinv_ld(q);
  return static_cast<T>(kCdf ? 0 - kSqrt2 * y : y);  // +0 at p = 1/2
}

// Single-precision ErfcInv (kCdf false) and CdfNormInv (kCdf true), the EP slot: P the float set
// (SErfinvEP).
template <class T, bool kCdf, class P>
struct InvErfc : FamilyBase<T> {
  static_assert(std::is_same_v<T, float>);
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr bool kInlineBlocks = true;
  static QOR_SIMD_INLINE V packed(V x) { return pair_or_lanes<InvErfc, true, T>(x); }
  static QOR_SIMD_INLINE void packed_pair(V x0, V x1, V& r0, V& r1) { serfcinv_f<P, kCdf>(x0, x1, r0, r1); }
  // the open interval (0, 2) or (0, 1) from 2^-126 (2^-127) on, so that q (2 - q) is a normal
  // number, on the bits: [2^-127, 1) is [0x00400000, 0x3F7FFFFF], [2^-126, 2) is
  // [0x00800000, 0x3FFFFFFF]
  static QOR_SIMD_INLINE i32x4 float_set_inside(f32x4 x) {
    if constexpr (kCdf) return bits_inside<0x00400000u, 0x3F7FFFFFu>(x);
    else return bits_inside<0x00800000u, 0x3FFFFFFFu>(x);
  }
  static int screen_pair(V x0, V x1) { return pair_outside(float_set_inside(x0), float_set_inside(x1)); }
  static int screen(V x) { return simd::mask(float_set_inside(x)) ^ 0xF; }
  static int element(const T* px, T* r) {
    const T x = *px;
    const int st = inverse_erfc_special<T, kCdf>(x, r);
    if (st >= 0) return st;
    // the packed formula where it takes x (a lane's result does not depend on its place)
    if (!screen(V::splat(x))) *r = packed_one<InvErfc>(x);
    else *r = inverse_erfc_ld<T, kCdf>(x);
    return kOk;
  }
};

// Double-precision ErfcInv (kCdf false) and CdfNormInv (kCdf true); S: the rows of the slot
// (DRowsLA, DRowsHA, DRowsEP). q = x (ErfcInv) or 2x (CdfNormInv, exact); t + tl = 1 - q
// (ErfcInv) or q - 1 (CdfNormInv: +0 at p = 1/2), tl non-zero below q = 1/2 only (LA and HA;
// EP leaves it out); q' = min(q, 2 - q) (exact). The screen passes the lanes the rows serve
// (q' in [2^-20, 1 - 2^-21)); the flagged blocks take the rows clamped and the tails, and leave
// to the element routine the arguments outside [2^-1020, 2) (ErfcInv) or [2^-1021, 1)
// (CdfNormInv), where q' (2 - q') is not a normal number.
template <bool kCdf, class S>
struct DInvErfc : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kInlineBlocks = true;
  static constexpr bool kLowT = S::kTl;
  struct Args {
    f64x2 t[2], tl[2], q[2], ql[2];
    i32x4 h;  // the high words of q'
  };
  static QOR_SIMD_INLINE Args args(f64x2 x0, f64x2 x1) {
    const f64x2 one = dk<1.0>(), two = dk<2.0>(), half = dk<0.5>(), x[2] = {x0, x1};
    Args g{};
    for (int i = 0; i < 2; ++i) {
      const f64x2 v = x[i];
      if constexpr (kCdf) {
        g.t[i] = v - half;
        if constexpr (kLowT) g.tl[i] = v - (g.t[i] + half);  // exact (Fast2Sum)
        g.q[i] = simd::min(v, one - v);
      } else {
        g.t[i] = one - v;
        if constexpr (kLowT) g.tl[i] = (one - g.t[i]) - v;  // exact (Fast2Sum)
        g.q[i] = simd::min(v, two - v);
      }
    }
    g.h = exp_log::dlogk::high_words(g.q[0], g.q[1]);
    return g;
  }
  static f64x2 packed(f64x2 x) {
    f64x2 r0, r1;
    packed_pair_flagged(x, x, r0, r1);
    return r0;
  }
  static QOR_SIMD_INLINE void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const Args g = args(x0, x1);
    rows_pair<S, kCdf, kLowT, false>(g.t, g.tl, g.q, g.ql, g.h, r0, r1);
  }
  static QOR_SIMD_INLINE int screen_pair(f64x2 x0, f64x2 x1) { return mask(rows_inside<kCdf>(args(x0, x1).h)) ^ 0xF; }
  static int screen(f64x2 x) { return screen_pair(x, x) & 0x3; }
  // outside [2^-1020, 2) or [2^-1021, 1), on the high words
  static QOR_SIMD_INLINE int rare(f64x2 x0, f64x2 x1) {
    const i32x4 h = exp_log::dlogk::high_words(x0, x1);
    if constexpr (kCdf) return mask(words_inside<0x00200000u, 0x3FEFFFFFu>(h)) ^ 0xF;
    else return mask(words_inside<0x00300000u, 0x3FFFFFFFu>(h)) ^ 0xF;
  }
  static int packed_pair_flagged(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const Args g = args(x0, x1);
    f64x2 y[2];
    rows_pair_flagged<S, kCdf, kLowT>(g.t, g.tl, g.q, g.ql, g.h, y);
    r0 = y[0];
    r1 = y[1];
    return rare(x0, x1);
  }
  static int element(const double* px, double* r) {
    const double x = *px;
    const int st = inverse_erfc_special<double, kCdf>(x, r);
    if (st >= 0) return st;
    if (rare(f64x2::splat(x), f64x2::splat(x))) *r = inverse_erfc_ld<double, kCdf>(x);
    else *r = packed_one<DInvErfc>(x);  // the blocks' formula: a lane's result does not depend on its place
    return kOk;
  }
};


// ---- Single precision HA and LA: float rows in q' -------------------------------------------
// The double kernels' scheme in float, one kernel for both slots: erfinv t = t g(q') with g's
// row chosen lane by lane from the bits of q' (tables/erfinv_frows.inc: 128 rows a binade of q'
// from 2^-20 to 1, and one row at q' = 1; degree 2, 2^-29.5 relative), no logarithm. With
// c_0 = c0h + c0l (c0h of 12 significant bits) and v = q' - lo (exact; ErfInv adds the low part
// ql of 1 - |x| below |x| = 1/2), t split by Veltkamp's (th of 12 bits, tm the rest):
//   y = th c0h + ((tm + tl) c0h + t (c0l + v (c_1 + c_2 v))),
// th c0h exact and every other term below about 2^-9 of y (|c_1 v + c_2 v^2| < 0.0015 c_0), so
// the last sum is the only rounding of size: about 0.5 ulp plus the rows' 2^-29.5. t + tl is the
// signed argument of erfinv exactly (ErfInv: x; ErfcInv: 1 - q; CdfNormInv: p - 1/2, its rows
// times 2 sqrt 2 in p' = min(p, 1 - p)). The screen passes q' in [2^-20, 1] (ErfInv: |x| in
// [2^-100, 1 - 2^-20], so that th c0h stays exact); a flagged block takes the rows clamped for its
// ordinary lanes and, for the others, the double EP kernel of the same function on the widened
// lanes (its tails below q' = 2^-20 about 2^-29 relative, then rounded to float), whose element
// routine takes the special values.
#include "vector_math/kernels/special/tables/erfinv_frows.inc"

// kKind: 0 ErfInv, 1 ErfcInv, 2 CdfNormInv; D: the double EP family of the same function.
template <int kKind, class D>
struct SRows : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kInlineBlocks = true;
  static constexpr int kRowShift = 23 - kFRowSub;                            // q' bits to row index
  static constexpr int32_t kBase = (127 - kRowBinades - (kKind == 2)) << kFRowSub;  // first row's index
  static constexpr int kLast = kFRowCount - 1;
  static const float* table() { return &opaque(kKind == 2 ? SCdfinv_FRows : SErfinv_FRows)[0][0]; }

  struct Args {
    f32x4 t, tl, q, ql;
  };
  static QOR_SIMD_INLINE Args args(f32x4 x) {
    Args g;
    if constexpr (kKind == 0) {
      const f32x4 a = abs(x);
      g.t = x;
      g.q = fk<1.0f>() - a;
      g.ql = (fk<1.0f>() - g.q) - a;  // exact (Fast2Sum)
    } else if constexpr (kKind == 1) {
      g.t = fk<1.0f>() - x;
      g.tl = (fk<1.0f>() - g.t) - x;  // exact (Fast2Sum; 0 from x = 1/2 on)
      g.q = simd::min(x, fk<2.0f>() - x);
    } else {
      g.t = x - fk<0.5f>();
      g.tl = x - (g.t + fk<0.5f>());  // exact
      g.q = simd::min(x, fk<1.0f>() - x);
    }
    return g;
  }

  // The lanes of the rows: q' in [2^-20, 1] (p' in [2^-21, 1/2]) on x's bits.
  static QOR_SIMD_INLINE i32x4 inside(f32x4 x) {
    if constexpr (kKind == 0) {
      const i32x4 u = (x.bits() & i32x4(ki<0x7FFFFFFF>())) + i32x4(ki<static_cast<int32_t>(0x80000000u - 0x0D800000u)>());
      return simd::cmp_gt(i32x4(ki<static_cast<int32_t>((0x3F7FFFF0u - 0x0D800000u + 1) ^ 0x80000000u)>()), u);  // [2^-100, 1 - 2^-20]
    } else if constexpr (kKind == 1) {
      return bits_inside<0x35800000u, 0x3FFFFFF8u>(x);  // [2^-20, 2 - 2^-20]
    } else {
      return bits_inside<0x35000000u, 0x3F7FFFF8u>(x);  // [2^-21, 1 - 2^-21]
    }
  }

  // y for one register from its rows (offsets o, bytes from base).
  static QOR_SIMD_INLINE f32x4 eval(const Args& g, const char* base, const uint32_t (&o)[4]) {
    __m128 r0 = _mm_load_ps(reinterpret_cast<const float*>(base + o[0]));
    __m128 r1 = _mm_load_ps(reinterpret_cast<const float*>(base + o[1]));
    __m128 r2 = _mm_load_ps(reinterpret_cast<const float*>(base + o[2]));
    __m128 r3 = _mm_load_ps(reinterpret_cast<const float*>(base + o[3]));
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);  // c0h, c0l, c_1, c_2
    const f32x4 c0h = r0, c0l = r1, c1 = r2, c2 = r3;
    const f32x4 lo = g.q & f32x4(_mm_castsi128_ps(ki<static_cast<int32_t>(~((1u << kRowShift) - 1))>()));
    f32x4 v = g.q - lo;  // exact
    if constexpr (kKind == 0) v = v + g.ql;
    const f32x4 s = c0l + v * (c1 + v * c2);
    const f32x4 gt = g.t * fk<4097.0f>(), th = gt - (gt - g.t), tm = g.t - th;
    const f32x4 tt = kKind == 0 ? tm : tm + g.tl;
    return th * c0h + (tt * c0h + g.t * s);
  }

  // Row offsets (bytes) of the four lanes: unclamped counted from row -kBase, or clamped to
  // [0, kLast] (16-bit saturating subtraction and minimum on the masked bits) from row 0.
  template <bool kClamp>
  static QOR_SIMD_INLINE void offsets(f32x4 q, uint32_t (&o)[4]) {
    __m128i i;
    if constexpr (kClamp) {
      i = _mm_srli_epi32(_mm_and_si128(q.bits().v, ki<0x3FFFFFFF>()), kRowShift);
      i = _mm_subs_epu16(i, ki<kBase>());
      i = _mm_min_epi16(i, ki<kLast>());
      i = _mm_slli_epi32(i, 4);
    } else {
      i = _mm_and_si128(_mm_srli_epi32(q.bits().v, kRowShift - 4), ki<-16>());
    }
    lane_indices(i32x4(i), o);
  }

  template <bool kClamp>
  static QOR_SIMD_INLINE void rows2(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
    const Args g0 = args(x0), g1 = args(x1);
    uint32_t o0[4], o1[4];
    offsets<kClamp>(g0.q, o0);
    offsets<kClamp>(g1.q, o1);
    const char* base = reinterpret_cast<const char*>(table());
    if constexpr (!kClamp) base = reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(base) - uintptr_t{kBase} * 16);
    r0 = eval(g0, base, o0);
    r1 = eval(g1, base, o1);
  }

  static QOR_SIMD_INLINE void packed_pair(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) { rows2<false>(x0, x1, r0, r1); }
  static f32x4 packed(f32x4 x) {
    f32x4 r0, r1;
    packed_pair_flagged(x, x, r0, r1);
    return r0;
  }
  static QOR_SIMD_INLINE int screen_pair(f32x4 x0, f32x4 x1) { return pair_outside(inside(x0), inside(x1)); }
  static int screen(f32x4 x) { return simd::mask(inside(x)) ^ 0xF; }
  // The rows (clamped) for the ordinary lanes, the double EP kernel for the others (their
  // arguments replaced by 1/2 in the rows: no flags from infinities or huge values).
  static __attribute__((noinline)) int packed_pair_flagged(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
    const i32x4 in0 = inside(x0), in1 = inside(x1);
    const f32x4 h = fk<0.5f>();
    const f32x4 s0 = simd::select(f32x4(_mm_castsi128_ps(in0.v)), x0, h);
    const f32x4 s1 = simd::select(f32x4(_mm_castsi128_ps(in1.v)), x1, h);
    rows2<true>(s0, s1, r0, r1);
    const int out = (simd::mask(in0) | (simd::mask(in1) << 4)) ^ 0xFF;
    if (!out) return 0;
    f64x2 d[4];
    const int m0 = D::packed_pair_flagged(widen_lo(x0), widen_hi(x0), d[0], d[1]);
    const int m1 = D::packed_pair_flagged(widen_lo(x1), widen_hi(x1), d[2], d[3]);
    r0 = simd::select(f32x4(_mm_castsi128_ps(in0.v)), r0, narrow(d[0], d[1]));
    r1 = simd::select(f32x4(_mm_castsi128_ps(in1.v)), r1, narrow(d[2], d[3]));
    return (m0 | (m1 << 4)) & out;
  }
  // The lanes the double kernel leaves (special values; ErfInv below 2^-35): its element routine.
  static int element(const float* px, float* r) {
    const double xd = *px;
    double rd;
    const int st = D::element(&xd, &rd);
    *r = static_cast<float>(rd);
    return st;
  }
};

}  // namespace
}  // namespace qor::vm::special
