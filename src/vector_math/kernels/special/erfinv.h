// ErfInv, ErfcInv and CdfNormInv (single and double precision, one formula in every slot): the
// Halley iterations of common.h in extended precision, rounded once.
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

#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/special/common.h"

namespace qor::vm::special {
namespace {

// ---- Packed single precision ------------------------------------------------------------------
// Every lane the screen passes is evaluated in double precision on the widened lanes and rounded
// once. With a = |x| (ErfInv) or |1 - q| (ErfcInv, CdfNormInv with q = 2p) and q' = 1 - a (q' = q
// or 2 - q, exact), erfinv a is a function of w = -ln(q' (1 + a)) = -ln(1 - a^2), whose product
// keeps its relative accuracy however small q' is:
//   w < 6.25 (a < 0.998):  a P_W(w - 3.125), P_W ~ erfinv(a) / a; an error of w moves P_W by
//                          at most its slope times it, so w needs absolute accuracy only;
//   s = sqrt(w) < 4.1:     P_S1(s - 3.3) (every float ErfInv argument below 1 ends here);
//   s in [4.1, 10.2]:      P_S2(s - 7.15) (down to ErfcInv(2^-149): s = 10.14).
// The polynomials interpolate erfinv at Chebyshev nodes (tools/gen_erfinv_poly, MPFR), one set
// per slot: relative errors about 2^-28 (HA), 2^-23 (LA), 2^-13 (EP) before the final rounding.
// The logarithm is the double-precision EP core of exp_log (about 2^-31 relative). A block
// evaluates only the pieces its lanes need (most blocks: the central one alone).
#include "vector_math/kernels/special/tables/erfinv_poly.inc"

template <size_t N>
QOR_SIMD_INLINE f64x2 horner(const double (&a)[N], f64x2 t) {
  f64x2 p = f64x2::splat(a[N - 1]);
  for (size_t i = N - 1; i-- > 0;) p = p * t + f64x2::splat(a[i]);
  return p;
}

struct SErfinvHA {
  static constexpr const auto& W = kSErfinvHA_W;
  static constexpr const auto& S1 = kSErfinvHA_S1;
  static constexpr const auto& S2 = kSErfinvHA_S2;
};
struct SErfinvLA {
  static constexpr const auto& W = kSErfinvLA_W;
  static constexpr const auto& S1 = kSErfinvLA_S1;
  static constexpr const auto& S2 = kSErfinvLA_S2;
};
struct SErfinvEP {
  static constexpr const auto& W = kSErfinvEP_W;
  static constexpr const auto& S1 = kSErfinvEP_S1;
  static constexpr const auto& S2 = kSErfinvEP_S2;
};

// erfinv a for 0 <= a < 1, q = 1 - a (both doubles from float arguments).
template <class P>
QOR_SIMD_INLINE f64x2 serfinv_core(f64x2 a, f64x2 q) {
  using namespace exp_log;
  const f64x2 w = f64x2::splat(0.0) - dlog_ep<BaseE>(dlog_reduce(q * (a + f64x2::splat(1.0))));
  const f64x2 central = simd::cmp_lt(w, f64x2::splat(6.25));
  const int cm = mask(central);
  f64x2 y = f64x2::splat(0.0);
  if (cm) y = a * horner(P::W, w - f64x2::splat(kSErfinvHA_W_c));
  if (cm != 3) {
    const f64x2 s = _mm_sqrt_pd(w.v);
    const f64x2 near = simd::cmp_lt(s, f64x2::splat(4.1));
    const int nm = mask(near) & ~cm;
    f64x2 t = f64x2::splat(0.0);
    if (nm) t = horner(P::S1, s - f64x2::splat(kSErfinvHA_S1_c));
    if ((nm | cm) != 3) t = simd::select(near, t, horner(P::S2, s - f64x2::splat(kSErfinvHA_S2_c)));
    y = simd::select(central, y, t);
  }
  return y;
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

struct DErfInv : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 packed(f64x2 x) { return each_lane<double, DErfInv>(x); }
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
    *r = x == 0.0f ? x : erfinv_ordinary(x);
    return kOk;
  }
};

// ErfcInv (kCdf false) and CdfNormInv (kCdf true); P: the polynomial set of a single-precision
// slot (unused in double precision).
template <class T, bool kCdf, class P = SErfinvHA>
struct InvErfc : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static V packed(V x) {
    if constexpr (std::is_same_v<T, float>) return serfcinv_packed<P, kCdf>(x);
    else return each_lane<T, InvErfc>(x);
  }
  // the open interval (0, 2) or (0, 1)
  static int screen(V x) {
    const T top = kCdf ? T(1) : T(2);
    return Range<T>::outside(x, std::numeric_limits<T>::denorm_min(), std::nextafter(top, T(0)));
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
    const LD q = kCdf ? 2 * static_cast<LD>(x) : static_cast<LD>(x);
    const LD y = erfcinv_ld(q);
    *r = static_cast<T>(kCdf ? 0 - kSqrt2 * y : y);  // +0 at p = 1/2
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::special
