// What the error-function kernels (erf.h, erfc.h, cdfnorm.h, erfinv.h, erfcinv.h, cdfnorminv.h)
// share: scalar evaluations in x87 extended precision (64-bit significands), so that a result
// computed with a relative error of a few 2^-64 and rounded once to double or single precision
// is within about 0.5 ulp plus 2^-10 (the double rounding of a long double result).
//
//   e^x:     x = k ln 2 + r (ln 2 in two parts), Taylor series of e^r to degree 20 (|r| <= 0.35);
//   ln x:    x = 2^k m, m in [sqrt(1/2), sqrt(2)), ln m = 2 atanh((m - 1) / (m + 1)) by its series;
//   erf x:   |x| < 1.5: the series 2x/sqrt(pi) e^-x^2 sum (2x^2)^n / (1 3 5 ... (2n+1)), all
//            terms positive (no cancellation);
//   erfc x:  x >= 1.5: e^-x^2 / sqrt(pi) times the continued fraction 1/(x + (1/2)/(x + 1/(x +
//            (3/2)/(x + ...)))) (modified Lentz), with x^2 formed exactly as a sum of two long
//            doubles so that e^-x^2 keeps its relative accuracy up to the underflow threshold;
//            x < 1.5: 1 - erf x (at least 0.034: nothing cancels).
// The inverse functions solve erf y = x or erfc y = q by Halley steps from a few-bit start.
// These routines serve the packed paths lane by lane: the kernels are accurate first; their
// speed is that of the scalar evaluation.
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"

namespace qor::vm::special {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

using LD = long double;

// ln 2 = hi + lo, hi with 32 significant bits (k hi is exact for |k| < 2^21)
constexpr LD kLn2Hi = 6.93147180369123816490e-01L;
constexpr LD kLn2Lo = 1.90821492927058770002e-10L;
constexpr LD kInvSqrtPi = 0.564189583547756286948079451560772586L;
constexpr LD kTwoOverSqrtPi = 1.128379167095512573896158903121545172L;
constexpr LD kSqrt2 = 1.414213562373095048801688724209698079L;
constexpr LD kInvSqrt2 = 0.707106781186547524400844362104849039L;

// A long double split into 32 + 32 bits (Veltkamp), for exact squares.
inline void split_ld(LD a, LD& hi, LD& lo) {
  const LD c = a * 4294967297.0L;  // 2^32 + 1
  hi = c - (c - a);
  lo = a - hi;
}

// 1/n for the series below (multiplications instead of x87 divisions).
struct InvInts {
  LD v[32];
  constexpr InvInts() : v{} {
    for (int n = 1; n < 32; ++n) v[n] = 1.0L / n;
  }
};
inline constexpr InvInts kInv{};

// e^x for |x| < 16000 (long double range).
inline LD exp_ld(LD x) {
  if (x < -11400) return 0;
  const LD k = std::nearbyint(x * 1.442695040888963407359924681001892137L);
  const LD r = (x - k * kLn2Hi) - k * kLn2Lo;
  LD p = 1.0L;
  for (int n = 20; n >= 1; --n) p = 1.0L + p * r * kInv.v[n];
  return std::ldexp(p, static_cast<int>(k));
}
// e^-(h + l) for h + l an exact square (|l| tiny against h).
inline LD exp_neg_dd(LD h, LD l) { return exp_ld(-h) * (1.0L - l); }
// e^-(t^2), t^2 formed exactly as h + l.
inline LD exp_neg_sq(LD t) {
  LD th, tl;
  split_ld(t, th, tl);
  const LD h = t * t;
  const LD l = ((th * th - h) + 2 * th * tl) + tl * tl;
  return exp_neg_dd(h, l);
}

// ln x = e ln 2 + rest for positive finite x: returns the rest, ln m for x = 2^e m, m in
// [sqrt(1/2), sqrt(2)), by the series of 2 atanh((m - 1) / (m + 1)).
inline LD log_rest(LD x, int& e) {
  LD m = std::frexp(x, &e);  // [1/2, 1)
  if (m < 0.707106781186547524L) {
    m *= 2;
    --e;
  }
  const LD s = (m - 1) / (m + 1), s2 = s * s;
  LD p = 0;
  for (int n = 31; n >= 3; n -= 2) p = (kInv.v[n] + p) * s2;
  return 2 * s * (1 + p);
}
// ln x for positive finite x.
inline LD log_ld(LD x) {
  int e;
  const LD r = log_rest(x, e);
  return e * kLn2Hi + (r + e * kLn2Lo);
}

// erf x for |x| < 1.5 (the positive series; odd).
inline LD erf_series(LD x) {
  const LD z = 2 * x * x;
  LD term = 1, sum = 1;
  for (int n = 1; n < 200; ++n) {
    term *= z / (2 * n + 1);
    sum += term;
    if (term < sum * 1e-21L) break;
  }
  return kTwoOverSqrtPi * x * exp_neg_sq(x) * sum;
}

// erfc x for x >= 1.5 (continued fraction; below about 1e-4950 long double underflows to 0).
inline LD erfc_cf(LD x) {
  const LD tiny = 1e-4000L;
  LD f = x, c = x, d = 0;
  for (int n = 1; n < 20000; ++n) {
    const LD a = n * 0.5L;
    d = x + a * d;
    if (d == 0) d = tiny;
    d = 1 / d;
    c = x + a / c;
    if (c == 0) c = tiny;
    const LD delta = c * d;
    f *= delta;
    if (std::fabs(delta - 1) < 1e-20L) break;
  }
  return kInvSqrtPi * exp_neg_sq(x) / f;
}

inline LD erf_ld(LD x) {
  const LD a = std::fabs(x);
  if (a < 1.5L) return erf_series(x);
  const LD r = a > 7 ? 1.0L : 1 - erfc_cf(a);
  return x < 0 ? -r : r;
}
inline LD erfc_ld(LD x) {
  if (x < 1.5L) return 1 - erf_ld(x);
  if (x > 110) return 0;  // below every subnormal
  return erfc_cf(x);
}
// d/dy erf y = 2/sqrt(pi) e^-y^2
inline LD erf_slope(LD y) { return kTwoOverSqrtPi * exp_neg_sq(y); }

// A start for erfinv within a few 1e-7 where w = -ln((1 - x)(1 + x)) < 16 (x up to about
// 1 - 5e-8): the single-precision polynomials in w of M. Giles, "Approximating the erfinv
// function" (GPU Computing Gems, 2011). False beyond.
inline bool erfinv_start(LD x, LD q, LD& y) {
  LD w = -log_ld(q * (2 - q));
  if (!(w < 16)) return false;
  LD p;
  if (w < 5) {
    w -= 2.5L;
    p = 2.81022636e-08L;
    for (LD c : {3.43273939e-07L, -3.5233877e-06L, -4.39150654e-06L, 0.00021858087L, -0.00125372503L,
                 -0.00417768164L, 0.246640727L, 1.50140941L})
      p = c + p * w;
  } else {
    w = std::sqrt(w) - 3;
    p = -0.000200214257L;
    for (LD c : {0.000100950558L, 0.00134934322L, -0.00367342844L, 0.00573950773L, -0.0076224613L,
                 0.00943887047L, 1.00167406L, 2.83297682L})
      p = c + p * w;
  }
  y = p * x;
  return true;
}

// y with erf y = x, 0 <= x < 1 and 1 - x given exactly as q (q = 1 - x).
// Halley's step for g(y) = erf y - x (or erfc y - q), g'' = -2 y g': y - g / (g' + y g); its error
// after a step is about (1 + y^2)/3 times the cube of the error before, so a step below 3e-8 y
// leaves less than 2^-64 relative (y <= 27) and ends the iteration.
inline LD erfinv_ld(LD x, LD q) {
  if (x == 0) return x;
  LD y;
  const bool tail = q < 0.25L;
  if (!erfinv_start(x, q, y)) {
    // erfc y ~ e^-y^2 / (y sqrt(pi)); two fixed-point steps of y^2 = -ln(q y sqrt(pi))
    const LD l = -log_ld(q);
    y = std::sqrt(l);
    for (int i = 0; i < 2; ++i) y = std::sqrt(l - log_ld(y * 1.772453850905516027298167483341145182L));
  }
  for (int i = 0; i < 8; ++i) {
    const LD g = tail ? q - erfc_ld(y) : (x < 0.5L ? erf_ld(y) - x : q - erfc_ld(y));
    const LD step = g / (erf_slope(y) + y * g);
    y -= step;
    if (std::fabs(step) <= std::fabs(y) * 3e-8L) break;
  }
  return y;
}

// Lane by lane: family F's element routine on each lane of a vector whose lanes the screen
// passed (ordinary arguments: the status is 0).
template <class T, class F>
inline typename VecOf<T>::type each_lane(typename VecOf<T>::type x) {
  using V = typename VecOf<T>::type;
  constexpr int W = 16 / sizeof(T);
  alignas(16) T in[W], out[W];
  x.store(in);
  for (int i = 0; i < W; ++i) F::element(in + i, out + i);
  return V::load_aligned(out);
}

// Float lanes outside [lo, hi] (NaN included) / double lanes likewise.
template <class T>
struct Range {
  static int outside(f32x4 x, float lo, float hi) {
    return mask(simd::cmp_le(f32x4::splat(lo), x) & simd::cmp_le(x, f32x4::splat(hi))) ^ 0xF;
  }
  static int outside(f64x2 x, double lo, double hi) {
    return mask(simd::cmp_le(f64x2::splat(lo), x) & simd::cmp_le(x, f64x2::splat(hi))) ^ 0x3;
  }
};

// A family that evaluates lane by lane through its element routine F::element, whose packed
// path takes the lanes in [F::lo(), F::hi()] (the others, and every lane of a flagged block, go
// through the same routine, which reports).
template <class T, class F>
struct LaneByLane : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static V packed(V x) { return each_lane<T, F>(x); }
  static int screen(V x) { return Range<T>::outside(x, F::lo(), F::hi()); }
};

// Dekker's product (the packed double-precision kernels of erf.h and expint_packed.h): p + e = a b exactly (Veltkamp's splits; no overflow for |a|, |b| < 2^995).
QOR_SIMD_INLINE f64x2 two_prod(f64x2 a, f64x2 b, f64x2& e) {
  const f64x2 k = kc<134217729.0>();
  const f64x2 ga = a * k, ah = ga - (ga - a), al = a - ah;
  const f64x2 gb = b * k, bh = gb - (gb - b), bl = b - bh;
  const f64x2 p = a * b;
  e = (((ah * bh - p) + ah * bl) + al * bh) + al * bl;
  return p;
}

// The status of a result of a finite argument: underflow (4) below the normal range.
template <class T>
inline int underflow_status(T r) {
  return (r != T(0) && std::fabs(r) >= std::numeric_limits<T>::min()) ? kOk : kUnderflow;
}

}  // namespace
}  // namespace qor::vm::special
