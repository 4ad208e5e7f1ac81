// ErfInv, ErfcInv and CdfNormInv (single and double precision). Every slot but double HA takes
// the packed polynomial paths below; the per-element routines (the lanes the screens send away,
// and every lane of double HA) are the Halley iterations of common.h in extended precision,
// rounded once, with these results:
//   ErfInv(x), |x| < 1: odd; on erf for |x| < 1/2 and on erfc(y) = 1 - |x| (exact) beyond, so
//     that arguments near +-1 keep their accuracy. Double precision sends |x| >= 1, |x| < 2^-35,
//     infinities and NaNs to vderfinv_cout_rare (below); single precision sends |x| >= 1 and NaNs
//     to its per-element routine, with the same results and statuses.
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
#include "vector_math/kernels/special/common.h"

namespace qor::vm::special {
namespace {

using dlogk_flavour = exp_log::dlogk::Flavour;

// ---- Packed paths --------------------------------------------------------------------------
// With a = |x| (ErfInv) or |1 - q| (ErfcInv, CdfNormInv with q = 2p) and q' = 1 - a (q' = q or
// 2 - q, exact where it matters), erfinv a is a function of w = -ln(q' (1 + a)) = -ln(1 - a^2),
// whose product keeps its relative accuracy however small q' is:
//   w < 6.25 (a < 0.998):  a P_W(w - c), P_W ~ erfinv(a) / a (one piece, or two split at w = 2
//                          in double LA); an error of w moves P_W by at most its slope times
//                          it, so w needs absolute accuracy only;
//   s = sqrt(w) beyond:    P_Si(s - c_i) on consecutive pieces of s (no factor a: a is within
//                          0.2 % of 1 there).
// The polynomials interpolate erfinv at Chebyshev nodes (tools/gen_erfinv_poly with MPFR; the
// pieces and errors are listed in tables/erfinv_poly.inc), one set per slot and precision:
//   single precision (double evaluation on the widened lanes, rounded once): relative errors
//     about 2^-28 (HA), 2^-23 (LA), 2^-13 (EP); tails s in [2.5, 4.1] (every float ErfInv
//     argument below 1) and beyond (to ErfcInv(2^-149): s = 10.14); the logarithm is the EP core
//     of exp_log (about 2^-31 relative);
//   double precision EP (about 2^-29; exp_log's EP logarithm): tails up to s = 27.3 (ErfcInv of
//     2^-1020; smaller arguments go to the per-element routine). LA and HA in double precision
//     stay with the per-element extended-precision routine (correctly rounded but slow). The LA
//     set below (DErfinvLA: about 2^-53 per piece, exp_log's HA logarithm, the central pieces'
//     leading term exact) is built but not registered: against the correctly rounded results it
//     differs by up to 5 ulp (dCdfNormInv near p = 1 - 6e-12, and 4 ulp near the seam s = 4.1),
//     beyond the LA bound. The roundings of s = sqrt(w) (half an ulp of the result), of the
//     coefficients (2^-53.5 per piece) and of the factor sqrt 2 add up; a packed LA/HA path
//     needs s in two parts and a correction step with an accurate erfc.
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
// kLead (double LA): P = a_0 + t Q(t) with a a_0 formed exactly (Dekker's product, a_0 split at
// compile time) and the rest added to its low part, so that the result rounds about once:
// P lies in [0.88, 2) while a P is often below 1, and P rounded alone would cost up to an ulp of
// the result.
template <class W, bool kLow, bool kLead>
QOR_SIMD_INLINE void central_piece(f64x2 w, f64x2 a, f64x2 al, f64x2& y, int& done, f64x2& donev) {
  if (done == 3) return;
  const f64x2 in = simd::andnot(donev, simd::cmp_lt(w, f64x2::splat(W::hi)));
  const int m = mask(in);
  if (!m) return;
  const f64x2 t = w - f64x2::splat(W::c);
  f64x2 r;
  if constexpr (kLead) {
    constexpr double c0 = W::a[0][0], ch = split_hi(c0), cl = c0 - ch;
    const f64x2 q = estrin<W, 1>(t);
    const f64x2 sp = a * f64x2::splat(134217729.0);  // 2^27 + 1
    const f64x2 ah = sp - (sp - a), am = a - ah;
    const f64x2 ph = a * f64x2::splat(c0);
    const f64x2 pl = ((ah * f64x2::splat(ch) - ph) + ah * f64x2::splat(cl) + am * f64x2::splat(ch)) + am * f64x2::splat(cl);
    f64x2 small = pl + (a * t) * q;
    if constexpr (kLow) small = small + al * f64x2::splat(c0);
    r = ph + small;
  } else {
    const f64x2 p = estrin<W>(t);
    r = kLow ? a * p + al * p : a * p;
  }
  y = simd::select(in, r, y);
  done |= m;
  donev = donev | in;
}

// A slot's polynomial set: the central pieces W... (in w), the tail pieces S... (in s), and the
// flavour of the double-precision logarithm it takes.
template <class... W>
struct Central {};
template <dlogk_flavour kLog, bool kLead, class C, class... S>
struct Pieces;
template <dlogk_flavour kLog, bool kLead, class... W, class... S>
struct Pieces<kLog, kLead, Central<W...>, S...> {
  static constexpr dlogk_flavour kLogFlavour = kLog;
  // erfinv a from a in [0, 1) and w = -ln(1 - a^2); kLow: the argument is a + al (al below
  // half an ulp of a; it matters in the central pieces only).
  template <bool kLow = false>
  static QOR_SIMD_INLINE f64x2 eval(f64x2 a, f64x2 w, f64x2 al = f64x2()) {
    f64x2 y = f64x2::splat(0.0), donev = f64x2::splat(0.0);
    int done = 0;
    (central_piece<W, kLow, kLead>(w, a, al, y, done, donev), ...);
    if (done != 3) {
      const f64x2 s = _mm_sqrt_pd(w.v);
      (tail_piece<S>(s, y, done, donev), ...);
    }
    return y;
  }
};
using SErfinvHA = Pieces<dlogk_flavour::EP, false, Central<SErfinvHA_W>, SErfinvHA_S1, SErfinvHA_S2>;
using SErfinvLA = Pieces<dlogk_flavour::EP, false, Central<SErfinvLA_W>, SErfinvLA_S1, SErfinvLA_S2>;
using SErfinvEP = Pieces<dlogk_flavour::EP, false, Central<SErfinvEP_W>, SErfinvEP_S1, SErfinvEP_S2>;
using DErfinvLA = Pieces<dlogk_flavour::HA, true, Central<DErfinvLA_W1, DErfinvLA_W2>, DErfinvLA_S1, DErfinvLA_S2,
                         DErfinvLA_S3, DErfinvLA_S4, DErfinvLA_S5>;
using DErfinvEP = Pieces<dlogk_flavour::EP, false, Central<DErfinvEP_W>, DErfinvEP_S1, DErfinvEP_S2, DErfinvEP_S3>;
// The double-precision HA slot: lane by lane in extended precision.
struct Extended {};

// erfinv a for 0 <= a < 1, q = 1 - a (both doubles from float arguments).
template <class P>
QOR_SIMD_INLINE f64x2 serfinv_core(f64x2 a, f64x2 q) {
  using namespace exp_log;
  const f64x2 w = f64x2::splat(0.0) - dlog_ep<BaseE>(dlog_reduce(q * (a + f64x2::splat(1.0))));
  return P::eval(a, w);
}

// Double precision, a block of two registers: erfinv (a_i + al_i) with q_i = 1 - a_i - al_i
// (q_i (1 + a_i) a positive normal number; al_i zero unless kLow).
template <class P, bool kLow = false>
QOR_SIMD_INLINE void derfinv_pair(f64x2 a0, f64x2 q0, f64x2 a1, f64x2 q1, f64x2& y0, f64x2& y1,
                                  f64x2 al0 = f64x2(), f64x2 al1 = f64x2()) {
  using namespace exp_log;
  const f64x2 one = f64x2::splat(1.0);
  const f64x2 z0 = q0 * (a0 + one), z1 = q1 * (a1 + one);
  const dlogk::Reduced4 r = dlogk::reduce4(dlogk::high_words(z0, z1));
  const f64x2 w0 = f64x2::splat(0.0) - dlogk::log2x<BaseE, P::kLogFlavour, 0>(z0, r);
  const f64x2 w1 = f64x2::splat(0.0) - dlogk::log2x<BaseE, P::kLogFlavour, 1>(z1, r);
  y0 = P::template eval<kLow>(a0, w0, al0);
  simd::barrier(y0);
  y1 = P::template eval<kLow>(a1, w1, al1);
}

// ErfInv on four floats: odd.
template <class P>
QOR_SIMD_INLINE f32x4 serfinv_packed(f32x4 x) {
  const f64x2 one = f64x2::splat(1.0);
  f64x2 r[2];
  for (int h = 0; h < 2; ++h) {
    const f64x2 xd = h ? widen_hi(x) : widen_lo(x);
    const f64x2 a = abs(xd);
    r[h] = serfinv_core<P>(a, one - a) | sign_bits(xd);
  }
  return narrow(r[0], r[1]);
}

// ErfcInv (kCdf false) or CdfNormInv (kCdf true) on four floats in (0, 2) / (0, 1).
template <class P, bool kCdf>
QOR_SIMD_INLINE f32x4 serfcinv_packed(f32x4 x) {
  const f64x2 one = f64x2::splat(1.0), two = f64x2::splat(2.0);
  f64x2 r[2];
  for (int h = 0; h < 2; ++h) {
    f64x2 q = h ? widen_hi(x) : widen_lo(x);
    if constexpr (kCdf) q = q + q;
    const f64x2 t = one - q;                 // exact from 2^-29 on; erfc^-1 q = erfinv t
    const f64x2 qq = simd::min(q, two - q);  // 1 - |t|, exact
    const f64x2 y = serfinv_core<P>(abs(t), qq) | sign_bits(t);
    // CdfNormInv = -sqrt(2) erfinv t, written 0 - ... so that p = 1/2 gives +0
    r[h] = kCdf ? f64x2::splat(0.0) - f64x2::splat(1.4142135623730951) * y : y;
  }
  return narrow(r[0], r[1]);
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

// Ordinary arguments of ErfInv in either precision.
template <class T>
inline T erfinv_ordinary(T x) {
  const LD a = std::fabs(static_cast<LD>(x));
  const T y = static_cast<T>(erfinv_ld(a, 1 - a));
  return x < 0 ? -y : y;
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

// P: the polynomial set of the slot (DErfinvLA, DErfinvEP), or Extended (lane by lane).
template <class P>
struct DErfInv : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kPacked = !std::is_same_v<P, Extended>;
  static f64x2 packed(f64x2 x) { return pair_or_lanes<DErfInv, kPacked, double>(x); }
  // the lanes the screen flags (patched afterwards) computed as 1 - 2^-53 (no spurious exception)
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1)
    requires kPacked
  {
    const f64x2 top = f64x2::splat(0x1.fffffffffffffp-1), one = f64x2::splat(1.0);
    const f64x2 a0 = simd::min(abs(x0), top), a1 = simd::min(abs(x1), top);
    derfinv_pair<P>(a0, one - a0, a1, one - a1, r0, r1);
    r0 = r0 | sign_bits(x0);
    r1 = r1 | sign_bits(x1);
  }
  // |x| >= 1 or NaN, |x| < 2^-35
  static int screen(f64x2 x) {
    const f64x2 a = abs(x);
    return mask(simd::cmp_le(kc<0x1p-35>(), a) & simd::cmp_lt(a, kc<1.0>())) ^ 0x3;
  }
  static int element(const double* px, double* r) {
    if (screen(f64x2::splat(*px))) return vderfinv_cout_rare(px, r);
    *r = erfinv_ordinary(*px);
    return kOk;
  }
};

// P: the polynomial set of the slot (SErfinvHA, SErfinvLA, SErfinvEP).
template <class P>
struct SErfInv : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) { return serfinv_packed<P>(x); }
  static int screen(f32x4 x) { return Range<float>::outside(x, -0x1.fffffep-1f, 0x1.fffffep-1f); }
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

// ErfcInv (kCdf false) and CdfNormInv (kCdf true); P: the polynomial set of the slot (Extended:
// lane by lane).
template <class T, bool kCdf, class P>
struct InvErfc : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr bool kPair = std::is_same_v<T, double> && !std::is_same_v<P, Extended>;
  static V packed(V x) {
    if constexpr (std::is_same_v<T, float>) return serfcinv_packed<P, kCdf>(x);
    else return pair_or_lanes<InvErfc, kPair, T>(x);
  }
  // ErfcInv(q) = erfinv(1 - q): 1 - q = t + tl (Fast2Sum; tl is zero from q = 1/2 on), a = |t|
  // with the low part tl signed alike, q' = min(q, 2 - q) (exact); CdfNormInv(p) = -sqrt(2)
  // ErfcInv(2p), written 0 - ... so that p = 1/2 gives +0
  static void packed_pair(V x0, V x1, V& r0, V& r1)
    requires kPair
  {
    const f64x2 one = f64x2::splat(1.0), two = f64x2::splat(2.0);
    f64x2 q0 = x0, q1 = x1;
    if constexpr (kCdf) {
      q0 = q0 + q0;
      q1 = q1 + q1;
    }
    const f64x2 t0 = one - q0, t1 = one - q1;
    const f64x2 s0 = sign_bits(t0), s1 = sign_bits(t1);
    const f64x2 tl0 = _mm_xor_pd(((one - t0) - q0).v, s0.v), tl1 = _mm_xor_pd(((one - t1) - q1).v, s1.v);
    derfinv_pair<P, true>(abs(t0), simd::min(q0, two - q0), abs(t1), simd::min(q1, two - q1), r0, r1, tl0, tl1);
    r0 = r0 | s0;
    r1 = r1 | s1;
    if constexpr (kCdf) {
      r0 = f64x2::splat(0.0) - f64x2::splat(1.4142135623730951) * r0;
      r1 = f64x2::splat(0.0) - f64x2::splat(1.4142135623730951) * r1;
    }
  }
  // the open interval (0, 2) or (0, 1); double precision packed: from 2^-1020 (2^-1021) on, so
  // that q (2 - q) is a normal number
  static int screen(V x) {
    const T top = kCdf ? T(1) : T(2);
    const T bottom = kPair ? T(kCdf ? 0x1p-1021 : 0x1p-1020) : std::numeric_limits<T>::denorm_min();
    return Range<T>::outside(x, bottom, std::nextafter(top, T(0)));
  }
  static int element(const T* px, T* r) {
    const T x = *px;
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
    // the packed formula where it takes x (a lane's result does not depend on its place)
    if constexpr (!std::is_same_v<P, Extended>)
      if (!screen(V::splat(x))) {
        *r = packed_one<InvErfc>(x);
        return kOk;
      }
    const LD q = kCdf ? 2 * static_cast<LD>(x) : static_cast<LD>(x);
    const LD y = erfcinv_ld(q);
    *r = static_cast<T>(kCdf ? 0 - kSqrt2 * y : y);  // +0 at p = 1/2
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::special
