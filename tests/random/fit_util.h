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
#include <vector>

#include "rng_test_util.h"
#include "support/scale.h"

namespace qor::test {

// Draw count of one goodness-of-fit case: 10^6 natively, scale^2 of it on slow targets
// (62,500 under qemu-i386 and ASan).
inline int32_t fit_count() {
  const double s = scale();
  return int32_t(std::max(20000.0, 1e6 * std::min(1.0, s * s)));
}

template <class T, class Cdf>
void expect_fits(const std::vector<T>& x, Cdf F) {
  constexpr int kCells = 1 << 16, kBins = 128;
  std::vector<uint32_t> h(kCells, 0);
  for (T v : x) {
    const double p = F(double(v));
    ASSERT_TRUE(p >= 0.0 && p <= 1.0) << "x = " << v << " F = " << p;
    h[std::min(kCells - 1, int(p * kCells))]++;
  }
  const double n = double(x.size());
  double cum = 0, d = 0, chi2 = 0, bin = 0;
  for (int i = 0; i < kCells; ++i) {
    cum += h[i];
    bin += h[i];
    d = std::max(d, std::fabs(cum / n - double(i + 1) / kCells));
    if ((i + 1) % (kCells / kBins) == 0) {
      const double e = n / kBins;
      chi2 += (bin - e) * (bin - e) / e;
      bin = 0;
    }
  }
  EXPECT_LT(std::sqrt(n) * d, std::sqrt(std::log(2.0 / 1e-6) / 2.0)) << "Kolmogorov-Smirnov";
  EXPECT_LT(chi2, chi2_quantile(kBins - 1, 4.7534)) << "chi-square, " << kBins << " bins";
}

// Standard normal distribution function.
inline double Phi(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

}  // namespace qor::test
