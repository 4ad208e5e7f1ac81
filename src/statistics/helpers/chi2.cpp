// The chi-square distribution (density, distribution function, quantile) and the regularised
// incomplete gamma functions behind it.
//
// With a = df/2 the chi-square distribution function at x is P(a, x/2). P comes from its power
// series, Q = 1 - P from its continued fraction (evaluated by the three-term recurrence of the
// convergents, rescaled when they grow large); each is used where it converges fast and is
// accurate, and the other is one minus it. Every ln and exp goes through the vector-math
// bridge, except in the expansion for large a (see gamma_large_a).
#include <cfloat>
#include <cmath>

#include "qor/stats_helpers.h"
#include "statistics/helpers/internal.h"
#include "random/distributions/vm_bridge.h"

namespace qor::ss { namespace vm = ::qor::vm_bridge; }

namespace qor::ss::helpers {
namespace {

constexpr double kMinExp = -709.7827129;        // exp below this underflows
constexpr double kEps = 9.999999999999999e-16;  // stopping threshold of the series and fraction
constexpr double kBig = 4503599627185248.0;     // rescaling threshold of the convergents
constexpr double kBigInv = 2.2204460491251566e-16;
constexpr double kLn2 = 0.6931471805999999;     // the density's ln 2 (see docs/primitives.md)

// Below kLargeA the series and the fraction converge within about 9 sqrt(a) + 100 steps; their
// loops stop after kMaxSteps whatever happens. From kLargeA on, P and Q come from the uniform
// asymptotic expansion below.
constexpr double kLargeA = 1e6;
constexpr int kMaxSteps = 100000;

// P(a, x) by the series, a > 0 and x > 0.
double lower_series(double a, double x) {
  const double t = a * vm::ln(x) - x - ln_gamma(a);
  if (t < kMinExp) return 0.0;
  double ap = a, term = 1.0, sum = 1.0;
  int steps = 0;
  do {
    ap += 1.0;
    term *= x / ap;
    sum += term;
  } while (term / sum > kEps && ++steps < kMaxSteps);
  return vm::exp(t) * sum / a;
}

// Q(a, x) by the continued fraction, for x >= 1 and x >= a.
double upper_fraction(double a, double x) {
  const double t = a * vm::ln(x) - x - ln_gamma(a);
  if (t < kMinExp) return 0.0;
  double y = 1.0 - a, z = x + y + 1.0, c = 0.0;
  double p_prev = 1.0, q_prev = x, p = x + 1.0, q = z * x;
  double ans = p / q, change;
  do {
    c += 1.0;
    y += 1.0;
    z += 2.0;
    const double yc = y * c;
    const double pk = p * z - p_prev * yc, qk = q * z - q_prev * yc;
    if (qk != 0.0) {
      const double r = pk / qk;
      change = std::fabs((ans - r) / r);
      ans = r;
    } else {
      change = 1.0;
    }
    p_prev = p;
    p = pk;
    q_prev = q;
    q = qk;
    if (std::fabs(pk) > kBig) {
      p_prev *= kBigInv;
      p *= kBigInv;
      q_prev *= kBigInv;
      q *= kBigInv;
    }
  } while (change > kEps && c < kMaxSteps);
  return ans * vm::exp(t);
}

// Q(a, x) (upper) or P(a, x) (lower) for a >= kLargeA by Temme's uniform expansion:
//   Q(a, x) = erfc(eta sqrt(a/2)) / 2 + exp(-a eta^2 / 2) / sqrt(2 pi a) * sum_k c_k(eta) a^-k,
//   P(a, x) = erfc(-eta sqrt(a/2)) / 2 - the same sum term,
// with lambda = x / a, eta^2 / 2 = lambda - 1 - ln lambda, eta of the sign of lambda - 1,
// c_0 = 1/(lambda - 1) - 1/eta. Where the result is representable, |eta| < sqrt(1418 / a) < 0.04,
// so c_0 (exact form, or its Taylor series near 0), c_1 to eta^2 and c_2(0) leave an error
// below the double rounding. Evaluated in extended precision: a eta^2 / 2 is a difference of
// terms of size a, which the double logarithm of the vector-math bridge cannot resolve.
double gamma_large_a(double a, double x, bool lower) {
  using ld = long double;
  if (std::isinf(a)) return lower ? 0.0 : 1.0;  // x is finite here
  const ld d = (ld(x) - ld(a)) / ld(a);           // lambda - 1
  ld half_eta2;                                   // lambda - 1 - ln lambda
  if (std::fabs(static_cast<double>(d)) < 0.25L) {
    ld term = d * d, sum = 0;
    for (int k = 2; k < 80; ++k, term *= -d) sum += term / k;  // |d|^80 / 80 < 2^-160
    half_eta2 = sum;
  } else {
    half_eta2 = d - std::log1p(d);
  }
  const ld eta = (d < 0 ? -1 : 1) * std::sqrt(2 * half_eta2);
  ld c0;
  if (std::fabs(static_cast<double>(eta)) < 1e-3)
    c0 = -1.0L / 3 + eta * (1.0L / 12 + eta * (-2.0L / 135 + eta * (1.0L / 864 + eta * (1.0L / 2835))));
  else
    c0 = 1 / d - 1 / eta;
  const ld c1 = -1.0L / 540 + eta * (-1.0L / 288 + eta * (1.0L / 378));
  const ld c2 = 25.0L / 6048;
  const ld ra = 1 / ld(a);
  const ld r = std::exp(-ld(a) * half_eta2) / std::sqrt(2 * 3.141592653589793238462643383279502884L * ld(a)) *
               (c0 + ra * (c1 + ra * c2));
  const ld z = eta * std::sqrt(ld(a) / 2);
  const ld v = lower ? std::erfc(-z) / 2 - r : std::erfc(z) / 2 + r;
  return static_cast<double>(v < 0 ? 0 : (v > 1 ? 1 : v));
}

inline bool fraction_region(double a, double x) { return !(x < 1.0 || x < a); }

// Q(a, x) - q for the quantile search, where q = 1 - p. Where P comes from the series, the
// difference is evaluated as p - P(a, x), which keeps small p accurate.
double q_residual(double a, double x, double p, double q) {
  if (x <= 0.0) return 1.0 - q;
  if (a >= kLargeA) return std::isinf(x) ? -q : gamma_large_a(a, x, false) - q;
  if (fraction_region(a, x)) return upper_fraction(a, x) - q;
  return p - lower_series(a, x);
}

}  // namespace

double gamma_q(double a, double x) {
  if (x <= 0.0 || a <= 0.0) return 1.0;
  if (std::isinf(x)) return 0.0;
  if (a >= kLargeA) return gamma_large_a(a, x, false);
  if (!fraction_region(a, x)) return 1.0 - lower_series(a, x);
  return upper_fraction(a, x);
}

double gamma_p(double a, double x) {
  if (a <= 0.0 || x <= 0.0) return 0.0;
  if (std::isinf(x)) return 1.0;
  if (a >= kLargeA) return gamma_large_a(a, x, true);
  if (x > 1.0 && x > a) return 1.0 - upper_fraction(a, x);
  return lower_series(a, x);
}

double chi2_pdf(double df, double x) {
  if (std::isnan(df) || std::isnan(x)) return NAN;
  if (x <= 0.0) return 0.0;
  const double a = 0.5 * df;
  return vm::exp((a - 1.0) * vm::ln(x) - 0.5 * x - a * kLn2 - ln_gamma(a));
}

double chi2_cdf(double df, double x) {
  if (std::isnan(df) || std::isnan(x)) return NAN;
  return gamma_p(0.5 * df, 0.5 * x);
}

double chi2_icdf(double df, double p) {
  if (std::isnan(df) || std::isnan(p) || !(df > 0.0)) return NAN;
  if (p <= 0.0) return 0.0;
  if (p >= 1.0) return HUGE_VAL;
  const double a = 0.5 * df, q = 1.0 - p, lg = ln_gamma(a);

  // Start from the Wilson-Hilferty cube of a normal quantile.
  const double d = 0.1111111111111111 / a;
  const double z = 1.4142135623730951 * vm::erfinv(2.0 * q - 1.0);
  const double y = 1.0 - d - z * vm::sqrt(d);
  double x = a * y * y * y;

  // Bracket [lo, hi] with residuals r = Q(a, x) - q (decreasing in x) at its ends.
  // The top of the search: kBig, or 8a for large a (Q(a, 8a) < exp(-4.9e6) there).
  const double top = a < kLargeA ? kBig : std::fmin(8.0 * a, DBL_MAX);
  double lo = 0.0, r_lo = 1.0 - q, hi = top, r_hi = -q;

  // Newton steps on Q(a, x) = q while they stay inside the bracket.
  for (int i = 0; i < 10; ++i) {
    if (x > hi || x < lo) break;
    const double r = q_residual(a, x, p, q);
    if (r < r_hi || r > r_lo) break;
    if (r < 0.0) {
      hi = x;
      r_hi = r;
    } else {
      lo = x;
      r_lo = r;
    }
    const double e = (a - 1.0) * vm::ln(x) - x - lg;
    if (e < kMinExp) break;
    const double step = r / -vm::exp(e);
    if (std::fabs(step / x) < kEps) return 2.0 * x;
    x -= step;
  }

  // No upper end found yet: move up by growing factors until Q falls below q.
  if (hi == top) {
    if (!(x > lo)) x = lo > 0.0 ? lo : 1.0;
    for (double s = 0.0625;; s += s) {
      x *= 1.0 + s;
      if (!(x < top)) break;
      const double r = q_residual(a, x, p, q);
      if (r < 0.0) {
        hi = x;
        r_hi = r;
        break;
      }
      lo = x;
      r_lo = r;
    }
  }

  // Refine inside the bracket: Newton where it lands well inside and shrinks fast enough,
  // otherwise bisection (geometric while the bracket spans more than a factor of four).
  double xr = (x > lo && x < hi) ? x : 0.5 * (lo + hi);
  double dx_old = hi - lo, dx = dx_old;
  for (int it = 0; it < 400; ++it) {
    const double r = q_residual(a, xr, p, q);
    if (r == 0.0) break;
    if (r < 0.0) {
      hi = xr;
      r_hi = r;
    } else {
      lo = xr;
      r_lo = r;
    }
    const double e = (a - 1.0) * vm::ln(xr) - xr - lg;
    const double slope = e < kMinExp ? 0.0 : -vm::exp(e);
    const double newton = slope != 0.0 ? xr - r / slope : NAN;
    double next;
    if (newton > lo && newton < hi && std::fabs(2.0 * r) <= std::fabs(dx_old * slope)) {
      dx_old = dx;
      dx = r / slope;
      next = newton;
    } else {
      dx_old = dx;
      next = (lo > 0.0 && hi > 4.0 * lo) ? vm::sqrt(lo) * vm::sqrt(hi) : lo + 0.5 * (hi - lo);
      dx = next - xr;
    }
    if (next == xr || next <= lo || next >= hi) break;
    xr = next;
    if (std::fabs(dx) <= 2.220446049250313e-16 * xr) break;
  }
  return 2.0 * xr;
}

}  // namespace qor::ss::helpers

using namespace qor::ss::helpers;

extern "C" QOR_API double __hoxdChi2PDF(double df, double x) { return chi2_pdf(df, x); }
extern "C" QOR_API double __hoxdChi2CDF(double df, double x) { return chi2_cdf(df, x); }
extern "C" QOR_API double __hoxdChi2ICDF(double df, double p) { return chi2_icdf(df, p); }
