// LGamma and TGamma (single and double precision), the per-element routines: scalar evaluations
// in x87 extended precision (common.h), rounded once. The packed kernels (gamma_packed.h: single
// precision and double EP; gamma_dd.h: double LA and HA) hand them the lanes their screens
// reject (negative zeros, poles, specials, overflow and underflow ranges), one by one.
//
// ln|Gamma(x)|:
//   x >= 10:      Stirling's series, (x - 1/2) ln x - x + ln(2 pi)/2 + sum of 12 terms
//                 B_2k / (2k (2k-1) x^(2k-1)); the leading part as a sum of two long doubles
//                 (two-products), so that TGamma's e^lgamma keeps its relative accuracy;
//   [2.5, 10):    lgamma(y) + ln((x-1)(x-2)...(y)), y = x - k in [1.5, 2.5) (x - j exact);
//   [1.5, 2.5):   the series of lgamma(2 + z) in z = x - 2 (coefficients (zeta(k) - 1) / k,
//                 tables/lgamma_tables.inc): relative accuracy through the zero at 2;
//   [0.5, 1.5):   lgamma(2 + z) - ln x, z = x - 1 (exact): relative accuracy through the zero at 1;
//   (0, 0.5):     lgamma(2 + x) - ln(x (1 + x));
//   (-20, 0):     x = -n + e, |e| <= 1/2: lgamma(1 + e) - ln|x (x+1) ... (x+n)|, the product
//                 kept as a sum of two long doubles; near the negative zeros (-2.457..., -2.747...,
//                 ... up to the interval (-18, -17); beyond it no double lies near a zero) this
//                 difference cancels, and the kernel evaluates (x - x0) g(x) instead, with x0 in
//                 128 bits and g a Chebyshev series (tables/lgamma_tables.inc,
//                 tools/gen_lgamma_zeros.cpp);
//   x <= -20:     reflection, ln pi - ln|sin(pi x)| - lgamma(1 - x) (1 - x exact), sin(pi x)
//                 from the exact fraction x - round(x).
// Gamma(x):
//   x >= 10:      e^(hi + lo) from Stirling's sum (hi + lo), overflow above 171.6243 (double) /
//                 35.0402 (single);
//   [0.5, 10):    e^lgamma(x) (lgamma below 12.8: its rounding error stays below 2^-59);
//   (0, 0.5):     e^lgamma(1 + x) / x;
//   (-20, 0):     Gamma(1 + e) / (x (x+1) ... (x+n)), the factors exact;
//   x <= -20:     pi / (sin(pi x) Gamma(1 - x)) through e^(ln pi - ln|sin(pi x)| - lgamma(1 - x));
//                 the results underflow (status 4) below about -177.8 (double) / -42.1 (single).
// Statuses (chosen here, as C's lgamma and tgamma do):
//   LGamma: +-0 and the negative integers: +inf, status 2; +-inf: +inf, no report; results
//           beyond the largest finite number (x > 2.55e305 double, 4.08e36 single): +inf,
//           status 3. Every negative number of magnitude 2^52 (double) / 2^23 (single) and
//           above is an integer.
//   TGamma: +-0: +-inf, status 2; negative integers and -inf: NaN, status 1; +inf: +inf, no
//           report; overflow (also for the tiniest arguments, Gamma(x) ~ 1/x): +-inf,
//           status 3; results below the normal range: status 4.
// NaNs propagate without a report.
#pragma once

#include "vector_math/kernels/special/common.h"

namespace qor::vm::special {
namespace {

struct LgammaZeroRegion {
  long double lo, hi, c, h;  // the region [lo, hi], t = (x - c) / h
  int nz;                    // zeros in the region (1 or 2)
  long double zh[2], zl[2];  // the zeros, zh + zl
  unsigned first, count;     // g's Chebyshev coefficients in kLgammaZeroCoef
};
#include "vector_math/kernels/special/tables/lgamma_tables.inc"

constexpr LD kPi = 3.14159265358979323846264338327950288L;
constexpr LD kLnPi = 1.14472988584940017414342735135305871L;
constexpr LD kHalfLn2Pi = 0.918938533204672741780329736405617640L;

// ---- sums of two long doubles ----
struct LL {
  LD hi, lo;
};
inline LL two_sum(LD a, LD b) {
  const LD s = a + b, bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}
inline LL two_prod(LD a, LD b) {
  LD ah, al, bh, bl;
  split_ld(a, ah, al);
  split_ld(b, bh, bl);
  const LD p = a * b;
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}
// ln x = hi + lo for positive finite x: e ln2_hi exact, the rest within 2^-64 of its size.
inline LL log_ll(LD x) {
  int e;
  const LD r = log_rest(x, e);
  return two_sum(e * kLn2Hi, r + e * kLn2Lo);
}

// lgamma(2 + z), |z| <= 1/2.
inline LD lgamma2(LD z) {
  constexpr int kN = sizeof(kLgamma2Series) / sizeof(kLgamma2Series[0]);
  LD p = 0;
  for (int k = kN - 1; k >= 0; --k) p = p * z + kLgamma2Series[k];
  return p * z;
}
// lgamma(1 + e), |e| <= 1/2 (1 + e exact).
inline LD lgamma1(LD e) { return lgamma2(e) - log_ld(1 + e); }

// Stirling's sum for x >= 10: lgamma(x) = hi + lo.
inline LL lgamma_stirling(LD x) {
  // B_2k / (2k (2k - 1)), k = 1..12
  static constexpr LD kB[] = {1.0L / 12,          -1.0L / 360,       1.0L / 1260,      -1.0L / 1680,
                              1.0L / 1188,        -691.0L / 360360,  1.0L / 156,       -3617.0L / 122400,
                              43867.0L / 244188,  -174611.0L / 125400, 77683.0L / 5796, -236364091.0L / 1506960};
  const LD r = 1 / x, r2 = r * r;
  LD s = 0;
  if (x < 1e10L)
    for (int k = 11; k >= 0; --k) s = s * r2 + kB[k];
  else
    s = kB[0];
  s *= r;
  const LL l = log_ll(x);
  const LD xm = x - 0.5L;
  LL p = two_prod(xm, l.hi);
  p.lo += xm * l.lo;
  LL q = two_sum(p.hi, -x);
  q.lo += p.lo;
  LL t = two_sum(q.hi, kHalfLn2Pi + s);
  t.lo += q.lo;
  return two_sum(t.hi, t.lo);
}

// sin(pi f), |f| <= 1/2.
inline LD sinpi_ld(LD f) {
  const LD a = std::fabs(f);
  LD y, y2, p = 0;
  if (a <= 0.25L) {
    y = kPi * a;
    y2 = y * y;
    for (int n = 25; n >= 3; n -= 2) p = (1 - p) * y2 / (n * (n - 1));
    p = y * (1 - p);
  } else {
    y = kPi * (0.5L - a);
    y2 = y * y;
    for (int n = 26; n >= 2; n -= 2) p = (1 - p) * y2 / (n * (n - 1));
    p = 1 - p;
  }
  return f < 0 ? -p : p;
}
// |sin(pi x)| for a non-integer x (x - round(x) exact).
inline LD abs_sinpi(LD x) { return std::fabs(sinpi_ld(x - std::nearbyint(x))); }

// x (x+1) ... (x+n) as hi + lo (the factors exact).
inline LL rising_product(LD x, int n) {
  LL p{x, 0};
  for (int k = 1; k <= n; ++k) {
    const LL q = two_prod(p.hi, x + k);
    p = two_sum(q.hi, q.lo + p.lo * (x + k));
  }
  return p;
}

// The zero region holding x (-18 < x < -2), or null.
inline const LgammaZeroRegion* zero_region(LD x) {
  const int n = static_cast<int>(-x);  // x in (-n-1, -n)
  if (n < 2 || n > QOR_LGAMMA_ZERO_LAST) return nullptr;
  for (int i = kLgammaZeroFirst[n - 2]; i < kLgammaZeroFirst[n - 1]; ++i)
    if (x >= kLgammaZeroRegions[i].lo && x <= kLgammaZeroRegions[i].hi) return &kLgammaZeroRegions[i];
  return nullptr;
}
inline LD zero_region_value(const LgammaZeroRegion& r, LD x) {
  const LD t = (x - r.c) / r.h;
  const LD* c = kLgammaZeroCoef + r.first;
  LD b1 = 0, b2 = 0;
  for (unsigned j = r.count - 1; j >= 1; --j) {
    const LD b0 = 2 * t * b1 - b2 + c[j];
    b2 = b1;
    b1 = b0;
  }
  LD g = t * b1 - b2 + c[0];
  for (int i = 0; i < r.nz; ++i) g *= (x - r.zh[i]) - r.zl[i];  // x - zh exact
  return g;
}

// ln|Gamma(x)| for finite x other than 0 and the negative integers.
inline LD lgamma_ld(LD x) {
  if (x >= 10) {
    const LL s = lgamma_stirling(x);
    return s.hi + s.lo;
  }
  if (x >= 2.5L) {
    LD y = x, p = 1;
    while (y >= 2.5L) {
      y -= 1;
      p *= y;
    }
    return lgamma2(y - 2) + log_ld(p);
  }
  if (x >= 1.5L) return lgamma2(x - 2);
  if (x >= 0.5L) return lgamma2(x - 1) - log_ld(x);
  if (x > 0) return lgamma2(x) - log_ld(x * (1 + x));
  if (x > -20) {
    if (const LgammaZeroRegion* r = zero_region(x)) return zero_region_value(*r, x);
    const LD n = std::nearbyint(-x);
    const LL p = rising_product(x, static_cast<int>(n));
    const LD a = std::fabs(p.hi), lo = p.hi < 0 ? -p.lo : p.lo;
    return lgamma1(x + n) - (log_ld(a) + lo / a);
  }
  return kLnPi - log_ld(abs_sinpi(x)) - lgamma_ld(1 - x);
}

template <class T>
inline bool negative_integer_or_zero(T x) {
  return x <= 0 && std::nearbyint(x) == x;
}

template <class T>
struct LGamma : LaneByLane<T, LGamma<T>> {
  // finite positive arguments up to the overflow threshold take the packed path
  static T lo() { return std::numeric_limits<T>::denorm_min(); }
  static T hi() { return sizeof(T) == 4 ? T(4e36) : T(2.5e305); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) {
      *r = x + x;
      return kOk;
    }
    if (std::isinf(x)) {
      *r = std::fabs(x);
      return kOk;
    }
    if (negative_integer_or_zero(x)) {
      *r = div_rt(T(1), T(0));
      return kSing;
    }
    *r = static_cast<T>(lgamma_ld(x));
    return std::isinf(*r) ? kOverflow : kOk;
  }
};

// Gamma(x) for finite x other than 0 and the negative integers (may be 0 or inf in long
// double's range only beyond every double).
inline LD tgamma_ld(LD x) {
  if (x >= 10) {
    if (x > 172) return std::numeric_limits<LD>::infinity();
    const LL s = lgamma_stirling(x);
    return exp_ld(s.hi) * (1 + s.lo);
  }
  if (x >= 0.5L) return exp_ld(lgamma_ld(x));
  if (x > 0) return exp_ld(lgamma1(x)) / x;
  if (x > -20) {
    const LD n = std::nearbyint(-x);
    const LL p = rising_product(x, static_cast<int>(n));
    return exp_ld(lgamma1(x + n)) / (p.hi + p.lo);
  }
  // sin(pi x) = (-1)^k sin(pi f), x = k + f; the exponent kept as a sum of two long doubles
  const LD k = std::nearbyint(x);
  const LD sn = sinpi_ld(x - k) * (static_cast<long long>(k) % 2 ? -1 : 1);
  const LL s = lgamma_stirling(1 - x);
  const LL e = two_sum(-s.hi, kLnPi - log_ld(std::fabs(sn)));
  const LD m = exp_ld(e.hi) * (1 + (e.lo - s.lo));
  return sn < 0 ? -m : m;
}

template <class T>
struct TGamma : LaneByLane<T, TGamma<T>> {
  // positive arguments from the least normal number to the overflow threshold
  static T lo() { return std::numeric_limits<T>::min(); }
  static T hi() { return sizeof(T) == 4 ? T(35.04) : T(171.62); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x)) {
      *r = x + x;
      return kOk;
    }
    if (x == T(0)) {
      *r = div_rt(T(1), x);
      return kSing;
    }
    if (std::isinf(x) && x > 0) {
      *r = x;
      return kOk;
    }
    if (negative_integer_or_zero(x)) {  // also -inf
      *r = div_rt(T(0), T(0));
      return kErrDom;
    }
    *r = static_cast<T>(tgamma_ld(x));
    if (std::isinf(*r)) return kOverflow;
    return underflow_status(*r);
  }
};

}  // namespace
}  // namespace qor::vm::special
