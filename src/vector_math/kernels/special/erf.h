// Erf, Erfc and CdfNorm (single and double precision, one formula in every slot).
//   Erf:     odd; +-inf give +-1; no status.
//   Erfc:    -inf gives 2, +inf gives 0; results below the normal range (x beyond 26.543 in
//            double, 9.194 in single) are rounded once (double: the packed formula's result at
//            the scale 2^128, rounded once when scaled back) and reported as underflow (status
//            4), up to and including 0 beyond the least subnormal.
//   CdfNorm: Phi(x) = erfc(-x / sqrt 2) / 2 with the argument kept exact as a sum th + tl, tl
//            joined to erfc through its slope, erfc(t + d) = erfc(t) - d 2/sqrt(pi) e^-t^2. So
//            the relative accuracy holds down to the underflow threshold (-37.519 in double,
//            -12.99 in single); below it status 4 as for Erfc. -inf gives 0 and +inf 1 without
//            a report.
//
// Double Erf and Erfc take their own packed formulas (piecewise polynomials per lane,
// erf_poly.h, which also computes double Erfc's lanes beyond its screen, 26.5 < x <= 27.3, in the
// blocks the screen flags); the table-and-series formula below serves single precision (HA, and
// CdfNorm) and double CdfNorm.
// Packed formula (both precisions; single precision evaluates in double on widened lanes and
// rounds once). With a = |x| (or |t|, t = -x/sqrt 2), r = k/128 the nearest grid point, d = a - r
// (|d| <= 1/256), the table of erf_table.h gives erfc r = C_hi + C_lo, erf r = RN(1 - C_hi) +
// E_lo and the slope D = 2/sqrt(pi) e^-r^2, and Taylor's series at r,
//     erf(r + d) = erf r + D S,   erfc(r + d) = erfc r - D S,   S = sum_{n>=1} T_n,
//     T_n = (-1)^(n-1) H_{n-1}(r) d^n / n!   (H the Hermite polynomials: erf^(n) = D (-1)^(n-1)
//                                             H_{n-1}),
// A second table holds the coefficients c_n = (-1)^(n-1) H_(n-1)(r) / n! (n = 2..9) of each grid
// point, T_n = c_n d^n (Estrin's scheme; single precision reads the rows up to 10.1); double
// precision beyond a = 6 needs more terms, which follow from H_{n+1} = 2r H_n - 2n H_{n-1}
// (from T_8 and T_9):
//     T_1 = d,  T_2 = -r d^2,  T_{n+1} = -u T_n / (n+1) - (n-1) v T_{n-1} / (n (n+1)),
//     u = 2rd, v = 2d^2.
// Relative to erfc(r + d), which is about D / (2r) for large r, T_n is about (2rd)^n / n!; so the
// series needs 6 terms for 2^-37 in single precision (a <= 10.1, 2rd <= 0.079), and in double 8
// terms where a < 6 (2rd <= 0.047, the ninth below 2^-58) and 13 up to a = 27.3 (2rd <= 0.214),
// each below 2^-58. Nothing cancels: |D S| stays below 0.21 of erfc(r + d) (0.05 below 6) and
// below half of erf(r + d). Then
//     erfc(a)  = C_hi + (C_lo - D S),      erf(a) = RN(1 - C_hi) + (E_lo + D S),
//     erfc(-a) = 2 - erfc(a)  (2 - RN(C_hi - D S) with its rounding error, Fast2Sum).
// Double CdfNorm forms t = -x/sqrt 2 as th + tl (Dekker's product with 1/sqrt 2 as two doubles)
// and puts tl into d: d = (|th| - r) + sign(th) tl. Single precision takes t = -x/sqrt 2 rounded
// in double (its relative error 2^-53 costs at most 2 t^2 2^-53 < 2^-45 in erfc).
// The table rows from r = 26 on hold erfc r and the slope scaled by 2^128 (double Erfc's range
// beyond 26 once took them). Double CdfNorm's packed path still reads rows up to 3331 (r =
// 26.02): it clamps -x to +-36.8, so lanes with x >= 36.764 (whose result, 1, is kept) and NaN or
// x < -36.75 (recomputed per element) land there. A clamp at 36.75 would leave them unread.
// Screens: NaNs, infinities, |x| < 2^-100 (single) / 2^-1000 (double) for Erf, and the ranges
// where results leave the normal range (Erfc x > 9.19 / 26.5, CdfNorm x < -12.99 / -36.75; in
// double CdfNorm the packed range stops a little short of the underflow threshold, so that D S
// stays normal) go to the per-element routines: those of common.h (x87 extended precision,
// rounded once), except single-precision Erfc and CdfNorm, whose packed formula (clamped at a =
// 10.1, where erfc already rounds to 0) also serves their per-element routines, and double Erfc,
// whose flagged blocks compute the lanes up to 27.3 packed (the per-element routine keeps those
// results and reports underflow).
// The scheme is Patch: the packed formula runs on every lane (its clamps keep NaNs, infinities
// and huge arguments inside the table) and only the flagged lanes are recomputed.
#pragma once

#include <type_traits>

#include "vector_math/kernels/special/common.h"
#include "vector_math/kernels/special/erf_poly.h"
#include "vector_math/kernels/special/erf_table.h"

namespace qor::vm::special {
namespace {

// ---- packed core -----------------------------------------------------------------------------
// A constant in both lanes as a memory operand (kc<V>() lets the compiler rebuild it from a
// scalar, two instructions per use).
template <double V>
QOR_SIMD_INLINE f64x2 km() {
  return row(opaque(Row2<V>::v));
}
// Constants of the series: rows -1/(n+1) and -(n-1)/(n(n+1)) for n = 2..12.
struct alignas(16) ErfSeriesRows {
  double inv[13][2];
  double rat[13][2];
};
inline constexpr ErfSeriesRows kErfSeries = [] {
  ErfSeriesRows c{};
  for (int n = 0; n < 13; ++n) {
    const double a = -1.0 / (n + 1), b = n == 0 ? 0.0 : -static_cast<double>(n - 1) / (n * (n + 1));
    c.inv[n][0] = c.inv[n][1] = a;
    c.rat[n][0] = c.rat[n][1] = b;
  }
  return c;
}();

// The grid point r = k/128 nearest to a (0 <= a <= 27.3) and the byte offsets of the lanes'
// rows; returns d = a - r (exact).
QOR_SIMD_INLINE f64x2 erf_grid(f64x2 a, f64x2& r, uint32_t& o0, uint32_t& o1) {
  const f64x2 sh = km<0x1.8p52>();
  const f64x2 t = a * km<128.0>() + sh;  // k in the low word
  r = (t - sh) * km<0x1p-7>();
  const __m128i o = _mm_slli_epi32(t.bits().v, 5);  // 32-byte rows
  o0 = static_cast<uint32_t>(_mm_cvtsi128_si32(o));
  o1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(o, _MM_SHUFFLE(3, 2, 3, 2))));
  return a - r;
}
// Columns kCol and kCol + 1 of the two rows.
template <int kCol>
QOR_SIMD_INLINE void erf_cols(uint32_t o0, uint32_t o1, f64x2& p, f64x2& q) {
  const char* base = reinterpret_cast<const char*>(&kErfT128[0][kCol]);
  const __m128d e0 = _mm_load_pd(reinterpret_cast<const double*>(base + o0));
  const __m128d e1 = _mm_load_pd(reinterpret_cast<const double*>(base + o1));
  p = _mm_unpacklo_pd(e0, e1);
  q = _mm_unpackhi_pd(e0, e1);
}
// T_(n0+1) + ... + T_N (see the head of this file) by the recurrence from tp = T_(n0-1), tc =
// T_n0 (u = 2rd, v = 2d^2). The recurrence T_(n+1) = A_n T_n + B_n T_(n-1) (A_n = -u/(n+1),
// B_n = -(n-1) v/(n(n+1)), both off the dependency chain) runs two terms per step,
//     T_(n+2) = (A_(n+1) A_n + B_(n+1)) T_n + A_(n+1) B_n T_(n-1),
// so that each step costs one product and one sum of latency for two terms.
template <int N, int n0>
QOR_SIMD_INLINE f64x2 erf_recur(f64x2 u, f64x2 v, f64x2 tp, f64x2 tc) {
  const auto& c = opaque(kErfSeries);
  f64x2 tail = f64x2();
#pragma GCC unroll 16
  for (int n = n0; n < N; n += 2) {
    const f64x2 a0 = u * row(c.inv[n]), b0 = v * row(c.rat[n]);
    const f64x2 t1 = tc * a0 + tp * b0;  // T_(n+1)
    tail = tail + t1;
    if (n + 1 < N) {
      const f64x2 a1 = u * row(c.inv[n + 1]), b1 = v * row(c.rat[n + 1]);
      const f64x2 t2 = tc * (a1 * a0 + b1) + tp * (a1 * b0);  // T_(n+2)
      tail = tail + t2;
      tp = t1;
      tc = t2;
    }
  }
  return tail;
}
// T_2 (the single-precision EP series: S = d + T_2).
QOR_SIMD_INLINE f64x2 erf_t2(f64x2 r, f64x2 d) { return ((r + r) * d * d) * km<-0.5>(); }
// T_2 + ... + T_N from the coefficient table (T_n = c_n d^n), d^2 (c_2 + c_3 d + ... + c_M
// d^(M-2)) with M = min(N, 9) by Estrin's scheme (a short dependency chain: pairs in d, pairs of
// those in d^2, then d^4), and beyond 9 (double Erfc and CdfNorm beyond 6) the recurrence from
// T_8 = c_8 d^8 and T_9 = c_9 d^9. Lanes beyond the table read its last row.
template <int N>
QOR_SIMD_INLINE f64x2 erf_tail_table(f64x2 r, f64x2 d, uint32_t o0, uint32_t o1) {
  static_assert(N >= 2);
  constexpr int M = N < 9 ? N : 9;
  constexpr uint32_t kLast = (kErfTaylorRows - 1) * 32;  // in 32-byte rows of kErfT128
  const size_t p0 = size_t{o0 < kLast ? o0 : kLast} * 2, p1 = size_t{o1 < kLast ? o1 : kLast} * 2;
  const char* b0 = reinterpret_cast<const char*>(kErfTaylor) + p0;
  const char* b1 = reinterpret_cast<const char*>(kErfTaylor) + p1;
  f64x2 c[8];
#pragma GCC unroll 4
  for (int j = 0; 2 * j < M - 1; ++j) {
    const __m128d e0 = _mm_load_pd(reinterpret_cast<const double*>(b0 + 16 * j));
    const __m128d e1 = _mm_load_pd(reinterpret_cast<const double*>(b1 + 16 * j));
    c[2 * j] = _mm_unpacklo_pd(e0, e1);
    c[2 * j + 1] = _mm_unpackhi_pd(e0, e1);
  }
  constexpr int m = M - 1, nq = (m + 1) / 2, ns = (nq + 1) / 2;
  const f64x2 d2 = d * d, d4 = d2 * d2;
  f64x2 q[4], t[2];
#pragma GCC unroll 4
  for (int i = 0; i < nq; ++i) q[i] = 2 * i + 1 < m ? c[2 * i] + c[2 * i + 1] * d : c[2 * i];
#pragma GCC unroll 2
  for (int i = 0; i < ns; ++i) t[i] = 2 * i + 1 < nq ? q[2 * i] + q[2 * i + 1] * d2 : q[2 * i];
  const f64x2 s = d2 * (ns == 2 ? t[0] + t[1] * d4 : t[0]);
  if constexpr (N <= 9) {
    return s;
  } else {
    const f64x2 d8 = d4 * d4, t8 = c[6] * d8, t9 = c[7] * (d8 * d);
    return s + erf_recur<N, 9>((r + r) * d, (d + d) * d, t8, t9);
  }
}
// The slots differ only in the number of terms and, in double HA beyond 6, the two-part slope
// term: single precision HA 6 terms (2^-37), LA 4 (2^-25), EP 2 (2^-13); double precision where
// a < 6 / otherwise HA 8 (Erf 6) / 13 terms (2^-58 / 2^-62), LA 8 (Erf 6) / 11 (2^-58 /
// 2^-56), EP 4 / 7 (2^-29), per lane.
inline constexpr int kErfLA = 0, kErfHA = 1, kErfEP = 2;

// Single precision on one pair of widened lanes: kind 0 erf x, 1 erfc x, 2 Phi(x).
template <int kKind, int kSlot>
QOR_SIMD_INLINE f64x2 s_erf_pair(f64x2 x) {
  constexpr int kTerms = kSlot == kErfHA ? 6 : kSlot == kErfLA ? 4 : 2;
  if constexpr (kKind == 2) x = x * km<-0x1.6a09e667f3bcdp-1>();
  const f64x2 a = min(abs(x), kKind == 0 ? km<6.0>() : km<10.1>());
  f64x2 r, ch, dl;
  uint32_t o0, o1;
  const f64x2 d = erf_grid(a, r, o0, o1);
  erf_cols<0>(o0, o1, ch, dl);
  const f64x2 p = dl * (d + (kTerms == 2 ? erf_t2(r, d) : erf_tail_table<kTerms>(r, d, o0, o1)));
  if constexpr (kKind == 0) return ((km<1.0>() - ch) + p) | sign_bits(x);
  const f64x2 y = select(cmp_lt(x, f64x2()), (km<2.0>() - ch) + p, ch - p);
  return kKind == 2 ? y * km<0.5>() : y;
}
// One finite float by the same formula (the per-element routines of single-precision Erfc and
// CdfNorm: the formula holds on the whole finite range, its result below the normal range rounded
// once by the narrowing).
template <int kKind>
inline float s_erf_one(double x) {
  return static_cast<float>(lane0(s_erf_pair<kKind, kErfHA>(f64x2::splat(x))));
}
template <int kKind, int kSlot>
QOR_SIMD_INLINE f32x4 s_erf_packed(f32x4 x) {
  return narrow(s_erf_pair<kKind, kSlot>(widen_lo(x)), s_erf_pair<kKind, kSlot>(widen_hi(x)));
}

// Double precision. The row's columns for the lanes: C_hi, D, C_lo, E_lo (and D_lo for HA).
struct ErfRowD {
  f64x2 ch, dl, cl, el;
};
QOR_SIMD_INLINE ErfRowD erf_row_d(uint32_t o0, uint32_t o1) {
  ErfRowD w;
  erf_cols<0>(o0, o1, w.ch, w.dl);
  erf_cols<2>(o0, o1, w.cl, w.el);
  return w;
}
// D_lo of the lanes (row offsets o0, o1 of 32-byte rows: D_lo at a quarter of them).
QOR_SIMD_INLINE f64x2 erf_dlo(uint32_t o0, uint32_t o1) {
  const char* base = reinterpret_cast<const char*>(kErfDlo);
  return _mm_loadh_pd(_mm_load_sd(reinterpret_cast<const double*>(base + (o0 >> 2))),
                      reinterpret_cast<const double*>(base + (o1 >> 2)));
}

// The slope term D S = ph + pl for d = dh + dl (dh exact, dl a small correction): LA/EP and HA
// below 6 one product (pl = 0); HA beyond 6 ph = D' dh exactly, D' the 11 leading bits of D
// (Veltkamp's split): from a = 6 on, dh = a - r is a multiple of 2^-50 below 2^-8 (at most 42
// bits), so the product has at most 53 bits, and (beyond the scaled rows' start, D >= 2^-940,
// dh >= 2^-48 or 0) stays normal; the rest, (D - D') dh + D_lo dh + D (dl + tail), in pl.
template <int kSlot>
QOR_SIMD_INLINE f64x2 erf_slope_term(f64x2 a, f64x2 r, f64x2 dh, f64x2 dl, const ErfRowD& w, uint32_t o0,
                                     uint32_t o1, f64x2& pl) {
  constexpr int kNear = kSlot == kErfEP ? 4 : 8;
  constexpr int kFar = kSlot == kErfHA ? 13 : kSlot == kErfLA ? 11 : 7;
  const f64x2 d = dh + dl, far = cmp_le(km<6.0>(), a);
  const int mf = mask(far);
  pl = f64x2();
  if (mf == 0) return w.dl * (d + erf_tail_table<kNear>(r, d, o0, o1));  // HA below 6 as LA: |D S| < 0.05 of erfc
  const f64x2 tf = erf_tail_table<kFar>(r, d, o0, o1);
  const f64x2 tail = mf == 3 ? tf : select(far, tf, erf_tail_table<kNear>(r, d, o0, o1));
  const f64x2 p1 = w.dl * (d + tail);
  if constexpr (kSlot != kErfHA) return p1;
  const f64x2 g = w.dl * km<0x1p42 + 1.0>(), dhi = g - (g - w.dl);  // HA beyond 6: the two parts
  const f64x2 ph = dhi * dh;
  pl = (((w.dl - dhi) * dh + erf_dlo(o0, o1) * dh) + w.dl * (dl + tail)) & far;
  return select(far, ph, p1);
}

// The row of a's grid point and the slope term ph + pl there, d = (a - r) + dl.
template <int kSlot>
QOR_SIMD_INLINE ErfRowD erf_at(f64x2 a, f64x2 dl, f64x2& ph, f64x2& pl) {
  f64x2 r;
  uint32_t o0, o1;
  const f64x2 dh = erf_grid(a, r, o0, o1);
  const ErfRowD w = erf_row_d(o0, o1);
  ph = erf_slope_term<kSlot>(a, r, dh, dl, w, o0, o1, pl);
  return w;
}

// erfc(+-a) for 0 <= a <= 26.05 (neg: the lanes whose argument is -a) from the slope term:
//   erfc a = C_hi + C_lo - (ph + pl) = s + e  (s = C_hi - ph with its rounding error, Fast2Sum);
//   erfc -a = 2 - s - e                       (2 - s with its rounding error, Fast2Sum).
// erfc a as s + (returned), s = C_hi - ph.
QOR_SIMD_INLINE f64x2 d_erfc_pos_parts(const ErfRowD& w, f64x2 ph, f64x2 pl, f64x2& s) {
  s = w.ch - ph;
  return (((w.ch - s) - ph) + w.cl) - pl;
}
QOR_SIMD_INLINE f64x2 d_erfc_combine(const ErfRowD& w, f64x2 ph, f64x2 pl, f64x2 neg) {
  const f64x2 two = km<2.0>();
  f64x2 s;
  const f64x2 e = d_erfc_pos_parts(w, ph, pl, s);
  const f64x2 h = two - s, l = (two - h) - s;
  return select(neg, h + (l - e), s + e);
}

// Double precision Phi(x) for x >= -36.8: t = -x/sqrt 2 = th + tl (Dekker's product with
// 1/sqrt 2 = c + c2), tl joined to d with the sign of th.
template <int kSlot>
QOR_SIMD_INLINE f64x2 d_cdfnorm_packed(f64x2 x) {
  const f64x2 v = min(max(f64x2() - x, km<-36.8>()), km<36.8>());  // NaN: -36.8
  // Dekker's product with the constant's halves (26 bits and 25 bits) given
  const f64x2 g = v * km<134217729.0>(), vh = g - (g - v), vl = v - vh;
  const f64x2 ch = km<0x1.6a09e68p-1>(), cl = km<-0x1.80c433p-29>();
  const f64x2 th = v * km<0x1.6a09e667f3bcdp-1>();
  const f64x2 e = (((vh * ch - th) + vh * cl) + vl * ch) + vl * cl;
  const f64x2 tl = e + v * km<-0x1.bdd3413b26456p-55>();
  f64x2 ph, pl;
  const ErfRowD w = erf_at<kSlot>(abs(th), _mm_xor_pd(tl.v, sign_bits(th).v), ph, pl);
  return d_erfc_combine(w, ph, pl, cmp_lt(th, f64x2())) * km<0.5>();
}

// Lanes outside tiny <= |x| <= max (NaN included).
template <class T>
inline int erf_screen(typename VecOf<T>::type x) {
  using V = typename VecOf<T>::type;
  if constexpr (std::is_same_v<T, double>) {
    // on the high words h of |x| (2^-1000 is a power of two): outside [h(2^-1000), h(max)] as
    // unsigned offsets from h(2^-1000), compared as signed words after adding 2^31 to both
    constexpr uint32_t lo = 0x01700000u, hi = 0x7FEFFFFFu;
    const __m128i h = _mm_add_epi32(abs(x).bits().v, _mm_set1_epi32(static_cast<int32_t>(0x80000000u - lo)));
    return _mm_movemask_pd(
        _mm_castsi128_pd(_mm_cmpgt_epi32(h, _mm_set1_epi32(static_cast<int32_t>(hi - lo + 0x80000000u)))));
  } else {
    const V a = abs(x);
    return mask(cmp_le(V::splat(T(0x1p-100)), a) & cmp_le(a, V::splat(std::numeric_limits<T>::max()))) ^ 0xF;
  }
}

template <class T, int kSlot = kErfLA>
struct Erf : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static V packed(V x) {
    if constexpr (std::is_same_v<T, float>) return s_erf_packed<0, kSlot>(x);
    else return d_erf_poly<kSlot>(x);
  }
  static int screen(V x) { return erf_screen<T>(x); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::isinf(x)) *r = x > 0 ? T(1) : T(-1);
    else *r = static_cast<T>(erf_ld(x));
    return kOk;
  }
};

template <class T>
struct ErfcLimits;
template <>
struct ErfcLimits<float> {
  static constexpr float kErfcUnder = 9.19f, kCdfUnder = -12.99f;  // the packed range's ends
};
template <>
struct ErfcLimits<double> {
  // the screens' ends (Erfc: results from 26.5 on per element, by the packed formula up to 27.3)
  static constexpr double kErfcUnder = 26.5, kCdfUnder = -36.75;
};

// Double erfc x on a flagged register: lanes beyond 26.5 by the scaled formula (see Erfc).
template <int kSlot>
QOR_SIMD_INLINE f64x2 d_erfc_flagged(f64x2 x) {
  return d_erfc_poly<kSlot, true>(x);
}

template <class T, int kSlot = kErfLA>
struct Erfc : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static V packed(V x) {
    if constexpr (std::is_same_v<T, float>) return s_erf_packed<1, kSlot>(x);
    else return d_erfc_poly<kSlot>(x);
  }
  // Double: one compare (NaN, +inf and x > 26.5 fail it; -inf passes, and the packed formula
  // gives it 2 as the per-element routine would).
  static int screen(V x) {
    if constexpr (std::is_same_v<T, double>) return mask(cmp_le(x, km<ErfcLimits<T>::kErfcUnder>())) ^ 3;
    else return Range<T>::outside(x, -std::numeric_limits<T>::max(), ErfcLimits<T>::kErfcUnder);
  }
  // Double: the blocks the screen flags take the formula of packed(), in their lanes beyond 26.5
  // at the scale 2^128 (up to 27.3); every flagged lane still goes to the element routine, which
  // for 26.5 < x <= 27.3 keeps that result and reports its status.
  static constexpr bool kInlineBlocks = std::is_same_v<T, double>;
  static QOR_SIMD_INLINE void packed_pair(V x0, V x1, V& r0, V& r1)
    requires std::is_same_v<T, double>
  {
    r0 = d_erfc_poly<kSlot>(x0);
    r1 = d_erfc_poly<kSlot>(x1);
  }
  static int packed_pair_flagged(V x0, V x1, V& r0, V& r1)
    requires std::is_same_v<T, double>
  {
    r0 = d_erfc_flagged<kSlot>(x0);
    r1 = d_erfc_flagged<kSlot>(x1);
    return 0xF;
  }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::isinf(x)) *r = x > 0 ? T(0) : T(2);
    else {
      if constexpr (std::is_same_v<T, float>) *r = s_erf_one<1>(x);
      else if (x > 27.3) *r = static_cast<T>(erfc_ld(x));
      else if (x > 26.5) return underflow_status(*r);  // packed_pair_flagged's result
      else *r = lane0(d_erfc_poly<kSlot>(f64x2::splat(x)));
      return underflow_status(*r);
    }
    return kOk;
  }
};

// Phi(x) in extended precision for finite x: t = -x / sqrt 2 = th + tl, th = -x C rounded (C =
// 1/sqrt 2 rounded to 64 bits), tl its exact rounding error (two-product on 32-bit halves) plus
// -x (1/sqrt 2 - C); then erfc(th + tl) = erfc(th) - tl 2/sqrt(pi) e^-th^2 (tl is below 2^-63 th).
inline LD cdfnorm_ld(LD x) {
  const LD v = -x, c = kInvSqrt2;
  const LD th = v * c;
  LD vh, vl, ch, cl;
  split_ld(v, vh, vl);
  split_ld(c, ch, cl);
  const LD tl = (((vh * ch - th) + vh * cl + vl * ch) + vl * cl) + v * 1.8950325588932570797e-20L;
  return (erfc_ld(th) - tl * erf_slope(th)) * 0.5L;
}

template <class T, int kSlot = kErfLA>
struct CdfNorm : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static V packed(V x) {
    if constexpr (std::is_same_v<T, float>) return s_erf_packed<2, kSlot>(x);
    else return d_cdfnorm_packed<kSlot>(x);
  }
  static int screen(V x) { return Range<T>::outside(x, ErfcLimits<T>::kCdfUnder, std::numeric_limits<T>::max()); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::isinf(x)) *r = x > 0 ? T(1) : T(0);
    else {
      *r = std::is_same_v<T, float> ? s_erf_one<2>(x) : static_cast<T>(cdfnorm_ld(x));
      return underflow_status(*r);
    }
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::special
