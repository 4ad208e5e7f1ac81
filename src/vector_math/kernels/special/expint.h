// ExpInt1, E1(x) = integral from x to inf of e^-t / t dt (single and double precision).
//   Single precision: every slot evaluates the per-element routine vsexpint1_cout_rare in double
//     precision (its two branches and coefficients below), rounded once to single precision.
//   Double precision: the per-element routine below, for the lanes the packed kernels
//     (expint_packed.h) do not take: x87 extended precision, rounded once:
//     0 < x <= 2: -gamma - ln x + sum (-1)^(k+1) x^k / (k k!)  (at x = 2 the terms cancel by a
//                 factor of 27 at most: the error stays below 2^-58);
//     x > 2:      e^-x times the continued fraction 1/(x + 1 - 1/(x + 3 - 4/(x + 5 - ...)))
//                 (modified Lentz).
// Statuses: 0 (and -0): +inf, status 2; negative arguments and -inf: NaN, status 1; +inf: 0, no
// report; NaNs propagate without a report; results below the normal range (x beyond 701.8
// double, 82.9 single) are reported as underflow (status 4), as Erfc's, up to 0 beyond the
// least subnormal (x above 738.5 / 99.4). The routine vsexpint1_cout_rare itself reports only
// the statuses of its own cases; the single-precision kernels add the underflow status.
#pragma once

#include "vector_math/kernels/special/common.h"

namespace qor::vm::special {
namespace {

constexpr LD kEulerGamma = 0.577215664901532860606512090082402431L;

// The double-precision scalar exponential and logarithm of this kernel (extended precision
// rounded once to double).
inline double exp_d(double x) { return static_cast<double>(exp_ld(x)); }
inline double log_d(double x) { return static_cast<double>(log_ld(x)); }

// The per-element routine of single-precision ExpInt1 (computes in double precision).
inline int vsexpint1_cout_rare(const float* px, float* r) {
  const float xf = *px;
  if (std::isnan(xf)) {
    *r = xf + xf;
    return kOk;
  }
  if (xf < 0.0f) {
    *r = div_rt(0.0f, 0.0f);
    return kErrDom;
  }
  if (xf == 0.0f) {
    *r = div_rt(1.0f, 0.0f);
    return kSing;
  }
  const double x = xf;
  if (x > 1.0) {
    const double t = 1.0 / x;
    const double num =
        -1.2013801209220235e-8 +
        t * (-0.9999976104792418 + t * (-9.455840776761047 + t * (-21.565361245507454 + t * (-10.554020246737661))));
    const double den =
        1.0 + t * (11.455661919214464 +
                   t * (38.483550640132584 + t * (42.62522842229367 + t * (12.011634815872881 + t * (-0.10118168443070157)))));
    const double e = x == INFINITY ? 0.0 : exp_d(-x);
    *r = static_cast<float>(e * t * (1.0 + num / den));
    return kOk;
  }
  const double s = x * x;
  const double odd =
      x * (0.9999999999820334 +
           s * (0.05555555605588732 + s * (0.0016666648204369892 + s * (2.834548993535146e-5 + s * 3.0899947531462533e-7))));
  const double even =
      s * (-0.24999999904144565 + s * (-0.010416679568784044 + s * (-0.00023143478488755293 + s * (-3.1625701461956103e-6))));
  *r = static_cast<float>(odd - 0.5772156649015329 - log_d(x) + even);
  return kOk;
}

// E1(x), x > 0 finite, in extended precision.
inline LD expint1_ld(LD x) {
  if (x <= 2) {
    LD term = -1, sum = 0;
    for (int k = 1; k < 60; ++k) {
      term *= -x / k;  // (-1)^(k+1) x^k / k!
      sum += term / k;
      if (std::fabs(term) < 1e-22L * std::fabs(sum)) break;
    }
    return (sum - kEulerGamma) - log_ld(x);
  }
  // modified Lentz on b0 = 0; a1 = 1, b1 = x + 1; a_k = -(k-1)^2, b_k = x + 2k - 1
  const LD tiny = 1e-4000L;
  LD b = x + 1, c = 1 / tiny, d = 1 / b, f = d;
  for (int k = 2; k < 1000; ++k) {
    const LD a = -static_cast<LD>(k - 1) * (k - 1);
    b += 2;
    d = a * d + b;
    if (d == 0) d = tiny;
    c = b + a / c;
    if (c == 0) c = tiny;
    d = 1 / d;
    const LD delta = c * d;
    f *= delta;
    if (std::fabs(delta - 1) < 1e-20L) break;
  }
  return exp_ld(-x) * f;
}

template <class T>
inline int expint1_special(T x, T* r) {
  if (x < T(0)) {  // also -inf
    *r = div_rt(T(0), T(0));
    return kErrDom;
  }
  *r = div_rt(T(1), T(0));  // x = 0
  return kSing;
}

struct SExpInt1 : LaneByLane<float, SExpInt1> {
  static float lo() { return 0x1p-149f; }
  static float hi() { return 82.0f; }  // below the underflow threshold
  static int element(const float* px, float* r) {
    const int status = vsexpint1_cout_rare(px, r);
    if (status != kOk || !(*px > 0.0f) || std::isinf(*px)) return status;
    return underflow_status(*r);
  }
};

struct DExpInt1 : LaneByLane<double, DExpInt1> {
  static double lo() { return 0x1p-1074; }
  static double hi() { return 700.0; }  // below the underflow threshold
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::isnan(x)) {
      *r = x + x;
      return kOk;
    }
    if (!(x > 0)) return expint1_special(x, r);
    if (std::isinf(x)) {
      *r = 0;
      return kOk;
    }
    *r = static_cast<double>(expint1_ld(x));
    return underflow_status(*r);
  }
};

}  // namespace
}  // namespace qor::vm::special
