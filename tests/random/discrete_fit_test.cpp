// Goodness of fit of the discrete distributions against their exact probability mass, computed
// here in long double from lgamma sums (independently of the library): every generator and every
// regime, on both sides of each switch point (Binomial ntrial min(p, q) = 29 / 31, Poisson
// lambda 26 / 28, the negative binomial's mode 99 / 101 and mean 10737418.24, the
// hypergeometric's deviation 29 / 31), and extreme parameters (ntrial and lot sizes near 2^31,
// p near 0 and 1, lambda 1e9). Chi-square over adjacent values grouped into cells of enough
// expected count; the threshold fails a correct generator with probability below 1e-6. Fixed
// seeds; draw counts as fit_util.h (10^6 natively).
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "fit_util.h"

using qor::test::chi2_quantile;
using qor::test::Stream;

namespace {

using Pmf = std::function<long double(long double)>;

long double lchoose(long double n, long double k) { return std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1); }

Pmf binomial(double n, double p) {
  return [=](long double k) {
    return std::exp(lchoose(n, k) + k * std::log((long double)p) + (n - k) * std::log1p(-(long double)p));
  };
}
Pmf poisson(double mu) {
  return [=](long double k) { return std::exp(k * std::log((long double)mu) - mu - std::lgamma(k + 1)); };
}
Pmf negbinomial(double a, double p) {
  return [=](long double k) {
    return std::exp(std::lgamma(k + a) - std::lgamma((long double)a) - std::lgamma(k + 1) +
                    a * std::log((long double)p) + k * std::log1p(-(long double)p));
  };
}
Pmf hypergeometric(double l, double s, double m) {
  return [=](long double k) { return std::exp(lchoose(m, k) + lchoose(l - m, s - k) - lchoose(l, s)); };
}
Pmf geometric(double p) {
  // The generator rounds through single precision (u, ln u); the mass is that of floor(ln u / L)
  // for a single-precision uniform u, but at p = 0.2 the exact geometric law is within the
  // test's resolution: P(k) = (1 - p)^k p.
  return [=](long double k) { return std::exp(k * std::log1p(-(long double)p)) * p; };
}

struct Case {
  std::string name;
  std::function<int32_t(HoxStream, int32_t, int32_t*)> draw;
  Pmf pmf;
  double lo, hi;  // support
  double mean, sd;
  double width = 14;  // deviations each side of the mean that the test's window covers
  // f(k + 1) / f(k), when given: the window's masses come from the lgamma form every 256 values
  // and from products of ratios in between (long double; cheap under an emulator).
  Pmf ratio = nullptr;
};
std::ostream& operator<<(std::ostream& o, const Case& c) { return o << c.name; }

Case binomial_case(const std::string& name, int32_t n, double p) {
  const long double odds = (long double)p / (1 - (long double)p);
  return {name, [=](HoxStream s, int32_t k, int32_t* r) { return _hoxiRngBinomial(0, s, k, r, n, p); },
          binomial(n, p), 0, double(n), n * p, std::sqrt(n * p * (1 - p)), 14,
          [=](long double k) { return (n - k) / (k + 1) * odds; }};
}
Case poisson_case(const std::string& name, int method, double mu) {
  return {name, [=](HoxStream s, int32_t k, int32_t* r) { return _hoxiRngPoisson(method, s, k, r, mu); }, poisson(mu),
          0, 4e9, mu, std::sqrt(mu), 14, [=](long double k) { return mu / (k + 1); }};
}
Case negbinomial_case(const std::string& name, double a, double p) {
  const double q = 1 - p;
  // Below a = 1 the tail decays like (1 - p)^k only: a wider window.
  return {name, [=](HoxStream s, int32_t k, int32_t* r) { return _hoxiRngNegbinomial(0, s, k, r, a, p); },
          negbinomial(a, p), 0, 4e9, a * q / p, std::sqrt(a * q) / p, a < 1 ? 60.0 : 14.0,
          [=](long double k) { return (k + a) / (k + 1) * (1 - (long double)p); }};
}
Case hyper_case(const std::string& name, int32_t l, int32_t s, int32_t m) {
  const double L = l, S = s, M = m;
  return {name, [=](HoxStream st, int32_t k, int32_t* r) { return _hoxiRngHypergeometric(0, st, k, r, l, s, m); },
          hypergeometric(L, S, M), std::max(0.0, S + M - L), std::min(S, M), S * M / L,
          std::sqrt(S * (M / L) * (1 - M / L) * (L - S) / (L - 1)), 14,
          [=](long double k) { return (M - k) * (S - k) / ((k + 1) * (L - M - S + k + 1)); }};
}

std::vector<Case> cases() {
  std::vector<Case> v;
  v.push_back({"Bernoulli0.3", [](HoxStream s, int32_t k, int32_t* r) { return _hoxiRngBernoulli(0, s, k, r, 0.3); },
               [](long double k) -> long double { return k == 0 ? 1 - (long double)0.3f : (long double)0.3f; }, 0, 1,
               0.3, 0.5});
  v.push_back({"Geometric0.2", [](HoxStream s, int32_t k, int32_t* r) { return _hoxiRngGeometric(0, s, k, r, 0.2); },
               geometric(0.2), 0, 4e9, 4, 4.5});
  // Binomial: inversion below ntrial r = 30, BTPE from 30 on; p > 1/2 mirrored.
  v.push_back(binomial_case("BinomialCdf_nq29", 1000, 0.029));
  v.push_back(binomial_case("BinomialBtpe_nq31", 1000, 0.031));
  v.push_back(binomial_case("BinomialBtpe_100_0.3", 100, 0.3));
  v.push_back(binomial_case("BinomialCdf_p0.975", 1000, 0.975));
  v.push_back(binomial_case("BinomialBtpe_p0.9", 500, 0.9));
  v.push_back(binomial_case("BinomialCdf_small", 7, 0.4));
  v.push_back(binomial_case("BinomialBtpe_2^31_0.4", INT32_MAX, 0.4));
  v.push_back(binomial_case("BinomialCdf_2^31_1e-8", INT32_MAX, 1e-8));
  v.push_back(binomial_case("BinomialBtpe_2^31_1-1e-7", INT32_MAX, 1 - 1e-7));
  // Poisson: table inversion below 27, PTPE from 27 on; method 1 too.
  for (int method : {0, 1}) {
    const std::string m = std::to_string(method);
    v.push_back(poisson_case("Poisson" + m + "_26", method, 26));
    v.push_back(poisson_case("Poisson" + m + "_28", method, 28));
  }
  v.push_back(poisson_case("Poisson_0.5", 0, 0.5));
  v.push_back(poisson_case("Poisson_27", 0, 27));
  v.push_back(poisson_case("Poisson_1000", 0, 1000));
  v.push_back(poisson_case("Poisson_1e9", 0, 1e9));
  // Negative binomial: table inversion; the mixture from mode 100 (a = 11: p = 1/10.9 gives
  // mode 99, 1/11.1 mode 101) and from mean 10737418.24; a long tail with a below 1.
  v.push_back(negbinomial_case("NegbinTable_2.5_0.3", 2.5, 0.3));
  v.push_back(negbinomial_case("NegbinTable_mode99", 11, 1 / 10.9));
  v.push_back(negbinomial_case("NegbinMixture_mode101", 11, 1 / 11.1));
  v.push_back(negbinomial_case("NegbinTable_a0.5_p0.01", 0.5, 0.01));
  v.push_back(negbinomial_case("NegbinMixture_a0.5_p1e-4", 0.5, 1e-4));
  v.push_back(negbinomial_case("NegbinMixture_mean2e7", 1e6, 1e6 / 2.1e7));
  // Hypergeometric: table below a deviation of 30, ratio of uniforms from 30 on, with the
  // reductions for s > l / 2 and m > l / 2, and lots near 2^31.
  v.push_back(hyper_case("HyperTable_100_30_20", 100, 30, 20));
  v.push_back(hyper_case("HyperTable_sd29.6", 14000, 7000, 7000));
  v.push_back(hyper_case("HyperHrua_sd31.6", 16000, 8000, 8000));
  v.push_back(hyper_case("HyperHrua_mirrored", 20000, 14000, 12000));
  v.push_back(hyper_case("HyperTable_2^31", INT32_MAX, 1000, 1 << 30));
  v.push_back(hyper_case("HyperHrua_2^31", INT32_MAX, 1 << 30, 300000000));
  return v;
}

// The long-double masses leave x87 exception flags (underflow, inexact) raised; a later test that
// unmasks x87 exceptions would trap on them, so every test here clears them when it ends.
struct ClearFlags {
  ~ClearFlags() { std::feclearexcept(FE_ALL_EXCEPT); }
};

class DiscreteFit : public ::testing::TestWithParam<Case> {};

TEST_P(DiscreteFit, ChiSquareAgainstExactMass) {
  const ClearFlags clear;
  const Case& c = GetParam();
  const int32_t n = qor::test::fit_count();
  Stream s(HOX_BRNG_MT19937, {20261206});
  std::vector<int32_t> x(n);
  ASSERT_EQ(c.draw(s, n, x.data()), 0);
  // Values within mean -/+ (width sd + 40), clipped to the support: the mass outside is below
  // 1e-15 for every case here (gathered into the end cells all the same).
  const double lo = std::max(c.lo, std::floor(c.mean - c.width * c.sd - 40));
  const double hi = std::min(c.hi, std::ceil(c.mean + c.width * c.sd + 40));
  const int64_t span = int64_t(hi - lo) + 1;
  std::vector<uint32_t> count(span, 0);
  for (int32_t v : x) {
    ASSERT_TRUE(v >= c.lo && v <= c.hi) << v;
    count[std::min<int64_t>(span - 1, std::max<int64_t>(0, int64_t(v - lo)))]++;
  }
  // Cells of adjacent values with an expected count of at least max(20, n / 2000).
  const double want = std::max(20.0, n / 2000.0);
  double chi2 = 0, e = 0, o = 0, mass = 0;
  int cells = 0;
  std::vector<std::pair<double, double>> cell;
  long double f = 0;
  for (int64_t i = 0; i < span; ++i) {
    const long double k = lo + double(i);
    f = (i % 256 == 0 || !c.ratio || !(f > 0)) ? c.pmf(k) : f * c.ratio(k - 1);
    const double p = double(f);
    mass += p;
    e += p * n;
    o += count[i];
    if (e >= want) {
      cell.push_back({o, e});
      e = o = 0;
    }
  }
  if (e > 0 || o > 0) {
    if (cell.empty()) cell.push_back({0, 0});
    cell.back().first += o;
    cell.back().second += e;
  }
  // (lgamma sums near 2^31 carry relative errors of about 1e-9 in long double)
  EXPECT_NEAR(mass, 1.0, 1e-7) << "window of the test";
  for (auto [oo, ee] : cell) {
    chi2 += (oo - ee) * (oo - ee) / ee;
    ++cells;
  }
  ASSERT_GE(cells, 2);
  EXPECT_LT(chi2, chi2_quantile(cells - 1, 4.7534)) << cells << " cells";
}

INSTANTIATE_TEST_SUITE_P(All, DiscreteFit, ::testing::ValuesIn(cases()),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& ch : n)
                             if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return n;
                         });

// PoissonV: lambdas alternating between the two methods' ranges; each half fits its own law.
TEST(DiscreteFit, PoissonVPerElementMeans) {
  const ClearFlags clear;
  const int32_t n = qor::test::fit_count();
  std::vector<double> lambda(n);
  for (int32_t i = 0; i < n; ++i) lambda[i] = i % 2 ? 300.0 : 3.5;
  Stream s(HOX_BRNG_PHILOX4X32X10, {99});
  std::vector<int32_t> x(n);
  ASSERT_EQ(_hoxiRngPoissonV(0, s, n, x.data(), lambda.data()), 0);
  for (double mu : {3.5, 300.0}) {
    SCOPED_TRACE(mu);
    const Pmf f = poisson(mu);
    const int32_t hi = int32_t(mu + 14 * std::sqrt(mu) + 40);
    std::vector<double> obs(hi + 1, 0.0);
    double total = 0;
    for (int32_t i = mu == 300.0; i < n; i += 2) {
      obs[std::min(x[i], hi)]++;
      ++total;
    }
    double chi2 = 0, o = 0, e = 0;
    int cells = 0;
    for (int32_t k = 0; k <= hi; ++k) {
      o += obs[k];
      e += double(f(k)) * total;
      if (e >= 20 || k == hi) {
        chi2 += (o - e) * (o - e) / e;
        ++cells;
        o = e = 0;
      }
    }
    EXPECT_LT(chi2, chi2_quantile(cells - 1, 4.7534)) << cells << " cells";
  }
}

}  // namespace
