// ln Gamma(x) for x > 0, to double precision everywhere including near its zeros at 1 and 2.
//
// Evaluated in x87 extended precision (64-bit significand), then rounded once:
//   x in [0.5, 1.5]:  ln Gamma(1 + z) = -gamma z + sum_{k>=2} (-1)^k zeta(k) z^k / k, z = x - 1;
//   x in (1.5, 2.5]:  ln Gamma(2 + z) = ln Gamma(1 + z) + ln(1 + z),               z = x - 2;
//   x below 0.5:      ln Gamma(x) = ln Gamma(1 + x) - ln x;
//   x in (2.5, 20):   shifted down into (1.5, 2.5] with the product of the shifts;
//   x of 20 and more: Stirling's series with eight Bernoulli terms.
// The series around 1 converges like 2^-k for |z| <= 1/2, so 64 terms leave an error below
// 2^-64; the zeta values are computed once by Euler-Maclaurin summation.
#include <cmath>

#include "qor/stats_helpers.h"
#include "statistics/helpers/internal.h"

namespace qor::ss::helpers {
namespace {

using ld = long double;
constexpr int kTerms = 64;

struct Series {
  ld c[kTerms + 1];  // c[k] = (-1)^k zeta(k) / k for k >= 2, c[1] = -gamma
  Series() {
    // Bernoulli numbers B2..B16.
    const ld b[8] = {1.0L / 6, -1.0L / 30, 1.0L / 42, -1.0L / 30, 5.0L / 66, -691.0L / 2730, 7.0L / 6, -3617.0L / 510};
    const int n_direct = 20;
    c[0] = 0;
    c[1] = -0.577215664901532860606512090082402431L;
    for (int s = 2; s <= kTerms; ++s) {
      ld sum = 0;
      for (int n = n_direct - 1; n >= 1; --n) sum += std::pow(ld(n), ld(-s));
      const ld N = n_direct, Ns = std::pow(N, ld(-s));
      sum += N * Ns / (s - 1) + Ns / 2;
      // Euler-Maclaurin tail: B_2j / (2j)! * s (s+1) ... (s+2j-2) * N^(-s-2j+1)
      ld rising = s, fact = 2, Npow = Ns / N;  // s, 2!, N^(-s-1)
      for (int j = 1; j <= 8; ++j) {
        sum += b[j - 1] / fact * rising * Npow;
        rising *= ld(s + 2 * j - 1) * ld(s + 2 * j);
        fact *= ld(2 * j + 1) * ld(2 * j + 2);
        Npow /= N * N;
      }
      c[s] = ((s & 1) ? -sum : sum) / s;
    }
  }
};

const Series& series() {
  static const Series s;
  return s;
}

// ln Gamma(1 + z), |z| <= 1/2.
ld lgamma1p(ld z) {
  const ld* c = series().c;
  ld s = c[kTerms];
  for (int k = kTerms - 1; k >= 1; --k) s = s * z + c[k];
  return s * z;
}

// Extended-precision logarithms (x87).
inline ld ln_ext(ld x) { return std::log(x); }
inline ld ln1p_ext(ld x) { return std::log1p(x); }

ld lgamma_ext(double xd) {
  const ld x = xd;
  if (xd < 0.5) return lgamma1p(x) - ln_ext(x);
  if (xd <= 1.5) return lgamma1p(x - 1);
  if (xd <= 2.5) return lgamma1p(x - 2) + ln1p_ext(x - 2);
  if (xd < 20) {
    ld t = x, prod = 1;
    while (t > 2.5L) {
      t -= 1;
      prod *= t;
    }
    return lgamma1p(t - 2) + ln1p_ext(t - 2) + ln_ext(prod);
  }
  const ld r = 1 / x, r2 = r * r;
  const ld tail =
      r * (1.0L / 12 +
           r2 * (-1.0L / 360 +
                 r2 * (1.0L / 1260 +
                       r2 * (-1.0L / 1680 +
                             r2 * (1.0L / 1188 + r2 * (-691.0L / 360360 + r2 * (1.0L / 156 + r2 * (-3617.0L / 122400))))))));
  const ld half_ln_2pi = 0.918938533204672741780329736405617639861L;
  return (x - 0.5L) * ln_ext(x) - x + half_ln_2pi + tail;
}

}  // namespace

double ln_gamma(double x) {
  if (!(x > 0)) return NAN;
  if (std::isinf(x)) return x;
  return static_cast<double>(lgamma_ext(x));
}

}  // namespace qor::ss::helpers

extern "C" QOR_API double __hoxdLGamma(double x) { return qor::ss::helpers::ln_gamma(x); }
