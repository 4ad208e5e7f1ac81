// Goodness of fit of a sample against the exact distribution function, for the distribution
// tests: chi-square on 128 equiprobable bins of F and Kolmogorov-Smirnov, both read from a
// histogram of F(x) on 2^16 equal cells (O(n), no sort). Thresholds: a correct generator fails
// either with probability below 1e-6. The KS statistic is taken at the cell edges, a lower
// bound of the statistic over all x, so its threshold keeps that probability.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "rng_test_util.h"
#include "support/scale.h"

namespace qor::test {

// Draw count of one goodness-of-fit case: 10^6 natively, 10^6 scale^3 but at least 20,000 on
// slow targets (20,000 under qemu-i386 and ASan); QOR_FIT_DRAWS sets it for a longer run.
inline int32_t fit_count() {
  if (const char* e = std::getenv("QOR_FIT_DRAWS")) return std::max(1000, std::atoi(e));
  const double s = scale();
  return int32_t(std::max(20000.0, 1e6 * std::min(1.0, s * s * s)));
}

// The two statistics from counts of n draws in equiprobable cells (a multiple of 128 of them):
// KS at the cell edges, chi-square on 128 bins of adjacent cells.
inline void expect_uniform_cells(const std::vector<uint32_t>& h, double n) {
  constexpr int kBins = 128;
  const int cells = int(h.size());
  double cum = 0, d = 0, chi2 = 0, bin = 0;
  for (int i = 0; i < cells; ++i) {
    cum += h[i];
    bin += h[i];
    d = std::max(d, std::fabs(cum / n - double(i + 1) / cells));
    if ((i + 1) % (cells / kBins) == 0) {
      const double e = n / kBins;
      chi2 += (bin - e) * (bin - e) / e;
      bin = 0;
    }
  }
  EXPECT_LT(std::sqrt(n) * d, std::sqrt(std::log(2.0 / 1e-6) / 2.0)) << "Kolmogorov-Smirnov";
  EXPECT_LT(chi2, chi2_quantile(kBins - 1, 4.7534)) << "chi-square, " << kBins << " bins";
}

template <class T, class Cdf>
void expect_fits(const std::vector<T>& x, Cdf F) {
  constexpr int kCells = 1 << 16;
  std::vector<uint32_t> h(kCells, 0);
  for (T v : x) {
    const double p = F(double(v));
    ASSERT_TRUE(p >= 0.0 && p <= 1.0) << "x = " << v << " F = " << p;
    h[std::min(kCells - 1, int(p * kCells))]++;
  }
  expect_uniform_cells(h, double(x.size()));
}

// Standard normal distribution function.
inline double Phi(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

// The same test with the cells placed in x, for distribution functions that are costly to
// evaluate (the incomplete gamma and beta functions): `cell_edges` finds the inner edges of
// 2048 equiprobable cells (512 on slow targets, where the long-double evaluations are emulated)
// once by bisection of F on (lo, hi) (each search starts at the previous edge), and each draw is
// placed by binary search; chi-square on 128 bins of adjacent cells, KS at the cell edges (again
// a lower bound of the statistic).
inline int edge_cells() { return scale() < 1 ? 512 : 2048; }
template <class Cdf>
std::vector<double> cell_edges(Cdf F, double lo, double hi) {
  const int cells = edge_cells();
  std::vector<double> edge(cells - 1);
  double start = lo;
  for (int j = 1; j < cells; ++j) {
    const double target = double(j) / cells;
    double a = start, b = hi;
    for (int it = 0; it < 200 && b - a > 1e-13 * std::max(1.0, std::fabs(a)); ++it) {
      const double m = 0.5 * (a + b);
      (F(m) < target ? a : b) = m;
    }
    edge[j - 1] = start = 0.5 * (a + b);
  }
  return edge;
}

template <class T>
void expect_fits_by_edges(const std::vector<T>& x, const std::vector<double>& edge, double lo, double hi) {
  std::vector<uint32_t> h(edge.size() + 1, 0);
  for (T v : x) {
    ASSERT_TRUE(double(v) >= lo && double(v) <= hi) << "x = " << v;
    h[std::upper_bound(edge.begin(), edge.end(), double(v)) - edge.begin()]++;
  }
  expect_uniform_cells(h, double(x.size()));
}

// Regularised lower incomplete gamma function P(s, x) (series below s + 1, Lentz's continued
// fraction above), in long double.
inline double gamma_p(double s, double x) {
  if (x <= 0) return 0;
  const long double S = s, X = x, lead = std::exp(S * std::log(X) - X - std::lgamma(S));
  if (x < s + 1) {
    long double term = 1 / S, sum = term;
    for (int k = 1; k < 100000 && term > sum * 1e-19L; ++k) sum += term *= X / (S + k);
    return double(sum * lead);
  }
  long double b = X + 1 - S, c = 1e4000L, d = 1 / b, h = d;
  for (int k = 1; k < 100000; ++k) {
    const long double an = -k * (k - S);
    b += 2;
    d = an * d + b;
    c = b + an / c;
    d = 1 / d;
    const long double del = d * c;
    h *= del;
    if (std::fabs(del - 1) < 1e-19L) break;
  }
  return double(1 - lead * h);
}

// Regularised incomplete beta function I_x(p, q) (continued fraction, Lentz), in long double.
inline long double beta_cf(long double p, long double q, long double x) {
  long double c = 1, d = 1 - (p + q) * x / (p + 1), h;
  d = 1 / d;
  h = d;
  for (int m = 1; m < 100000; ++m) {
    long double an = m * (q - m) * x / ((p + 2 * m - 1) * (p + 2 * m));
    d = 1 / (1 + an * d);
    c = 1 + an / c;
    h *= d * c;
    an = -(p + m) * (p + q + m) * x / ((p + 2 * m) * (p + 2 * m + 1));
    d = 1 / (1 + an * d);
    c = 1 + an / c;
    const long double del = d * c;
    h *= del;
    if (std::fabs(del - 1) < 1e-19L) break;
  }
  return h;
}
inline double beta_i(double p, double q, double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const long double P = p, Q = q, X = x;
  const long double lead =
      std::exp(std::lgamma(P + Q) - std::lgamma(P) - std::lgamma(Q) + P * std::log(X) + Q * std::log1p(-X));
  if (x < (p + 1) / (p + q + 2)) return double(lead * beta_cf(P, Q, X) / P);
  return double(1 - lead * beta_cf(Q, P, 1 - X) / Q);
}

}  // namespace qor::test
