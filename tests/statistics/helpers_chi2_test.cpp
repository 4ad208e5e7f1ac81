// ln Gamma, the chi-square density, distribution function and quantile against MPFR and
// closed forms.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "qor/stats_helpers.h"
#include "support/scale.h"
#include "support/ulp.h"

namespace {

constexpr mpfr_prec_t kBits = 320;

struct Mp {
  mpfr_t v;
  Mp() { mpfr_init2(v, kBits); }
  explicit Mp(double d) : Mp() { mpfr_set_d(v, d, MPFR_RNDN); }
  ~Mp() { mpfr_clear(v); }
  Mp(const Mp&) = delete;
  double get() const { return mpfr_get_d(v, MPFR_RNDN); }
};

// Exact P(a, x) and Q(a, x) (regularised incomplete gamma), rounded to double.
void exact_pq(double a, double x, double* p, double* q) {
  Mp A(a), X(x), up, g, r;
  mpfr_gamma_inc(up.v, A.v, X.v, MPFR_RNDN);
  mpfr_gamma(g.v, A.v, MPFR_RNDN);
  mpfr_div(r.v, up.v, g.v, MPFR_RNDN);
  *q = r.get();
  mpfr_ui_sub(r.v, 1, r.v, MPFR_RNDN);
  *p = r.get();
}

// Exact chi-square density with ln 2 replaced by `ln2` (the density's coefficient).
double exact_pdf(double df, double x, double ln2) {
  Mp a(0.5 * df), X(x), t, u, L(ln2);
  mpfr_log(t.v, X.v, MPFR_RNDN);
  mpfr_sub_ui(u.v, a.v, 1, MPFR_RNDN);
  mpfr_mul(t.v, t.v, u.v, MPFR_RNDN);       // (a - 1) ln x
  mpfr_div_ui(u.v, X.v, 2, MPFR_RNDN);
  mpfr_sub(t.v, t.v, u.v, MPFR_RNDN);       // - x/2
  mpfr_mul(u.v, a.v, L.v, MPFR_RNDN);
  mpfr_sub(t.v, t.v, u.v, MPFR_RNDN);       // - a ln 2
  mpfr_lngamma(u.v, a.v, MPFR_RNDN);
  mpfr_sub(t.v, t.v, u.v, MPFR_RNDN);       // - ln Gamma(a)
  mpfr_exp(t.v, t.v, MPFR_RNDN);
  return t.get();
}

TEST(LGammaHelper, WithinOneUlpOfMpfr) {
  qor::test::UlpAccumulator acc;
  auto check = [&](double x) { acc.add(x, __hoxdLGamma(x), qor::test::ulp_error(mpfr_lngamma, x, __hoxdLGamma(x))); };
  // Near the zeros at 1 and 2, the branch points 0.5, 1.5, 2.5 and 20, and extremes.
  for (double c : {1.0, 2.0})
    for (int e = 1; e <= 50; e += 3) {
      check(c + std::ldexp(1.0, -e));
      check(c - std::ldexp(1.0, -e));
    }
  for (double x : {0.5, 1.5, 2.5, 20.0, 3.0, 10.0, 0.25, 1e-300, 4.9e-324, 1e-8, 1e15, 1e100, 1e300, 2.5e305})
    for (double y : {std::nextafter(x, 0.0), x, std::nextafter(x, HUGE_VAL)})
      if (y > 0) check(y);
  std::mt19937_64 rng(9);
  const long n = qor::test::scaled(6000, 500);
  for (long i = 0; i < n; ++i) check(std::exp(std::uniform_real_distribution<double>(-20, 30)(rng)));
  RecordProperty("lgamma", acc.summary());
  std::printf("ln Gamma: %s\n", acc.summary().c_str());
  EXPECT_LE(acc.max_ulps(), 1.0) << acc.summary();
  EXPECT_TRUE(std::isnan(__hoxdLGamma(0.0)));
  EXPECT_TRUE(std::isnan(__hoxdLGamma(-1.5)));
  EXPECT_EQ(__hoxdLGamma(INFINITY), INFINITY);
}

const double kDfs[] = {0.3, 1, 2, 3, 7, 10, 31, 100, 400, 2000};

// Error budget of the series and the fraction: exp(t) with t = a ln y - y - ln Gamma(a)
// carries the rounding errors of the terms of t.
double cdf_tolerance(double df, double x) {
  const double a = 0.5 * df, y = 0.5 * x;
  return 4e-16 * (std::fabs(a * std::log(y)) + y + std::fabs(std::lgamma(a)) + 8);
}

TEST(Chi2Helper, DistributionFunctionMatchesMpfr) {
  for (double df : kDfs)
    for (double f : {1e-3, 0.05, 0.3, 0.8, 0.97, 1.0, 1.03, 1.3, 2.0, 3.0, 6.0}) {
      if (df > 500 && f > 2) continue;  // the oracle is slow far in the upper tail of large df
      const double x = df * f;
      double p, q;
      exact_pq(0.5 * df, 0.5 * x, &p, &q);
      if (p < 1e-280) continue;
      const double got = __hoxdChi2CDF(df, x);
      EXPECT_LE(std::fabs(got - p), cdf_tolerance(df, x) * p) << "df " << df << " x " << x;
    }
}

TEST(Chi2Helper, ClosedFormsForTwoDegreesOfFreedomAndOne) {
  for (double x : {1e-6, 0.1, 1.0, 2.0, 5.0, 20.0, 60.0}) {
    EXPECT_NEAR(__hoxdChi2CDF(2, x), -std::expm1(-0.5 * x), 2e-16 * (1 - std::exp(-0.5 * x)) + 1e-300) << x;
    EXPECT_NEAR(__hoxdChi2CDF(1, x), std::erf(std::sqrt(0.5 * x)), 4e-15 * std::erf(std::sqrt(0.5 * x))) << x;
  }
  for (double x : {0.0, -1.0, -HUGE_VAL}) {
    EXPECT_EQ(__hoxdChi2CDF(3, x), 0.0);
    EXPECT_EQ(__hoxdChi2PDF(3, x), 0.0);
  }
  EXPECT_EQ(__hoxdChi2CDF(0, 1), 0.0);
  EXPECT_EQ(__hoxdChi2CDF(4, INFINITY), 1.0);
}

// The density's ln 2 coefficient is 0.6931471805999999, which is ln 2 + 4.0e-11: the result is
// the true density times exp(-4.0e-11 df/2). Both facts are checked against MPFR.
TEST(Chi2Helper, DensityMatchesMpfrWithItsLn2Coefficient) {
  for (double df : kDfs)
    for (double f : {1e-3, 0.1, 0.5, 1.0, 2.0, 5.0}) {
      const double x = df * f, got = __hoxdChi2PDF(df, x);
      const double want = exact_pdf(df, x, 0.6931471805999999);
      EXPECT_LE(std::fabs(got - want), cdf_tolerance(df, x) * want) << "df " << df << " x " << x;
      const double truth = exact_pdf(df, x, std::log(2.0L));
      if (truth < 1e-280) continue;
      EXPECT_NEAR(got / truth, std::exp(-0.5 * df * (0.6931471805999999 - 0.69314718055994530942)), 1e-12);
    }
}

TEST(Chi2Helper, QuantileInvertsTheDistributionFunction) {
  for (double df : kDfs)
    for (double p : {1e-12, 1e-6, 1e-3, 0.02, 0.1, 0.5, 0.9, 0.99, 0.999999, 1 - 1e-10}) {
      const double x = __hoxdChi2ICDF(df, p);
      ASSERT_TRUE(std::isfinite(x) && x > 0) << "df " << df << " p " << p;
      // Round trip through our distribution function.
      const double back = __hoxdChi2CDF(df, x);
      if (p <= 0.5)
        EXPECT_NEAR(back, p, 1e-12 * p) << "df " << df << " p " << p;
      else
        EXPECT_NEAR(1 - back, 1 - p, 1e-12 * (1 - p) + 2.3e-16) << "df " << df << " p " << p;
      // Accuracy in x against MPFR: the exact distance in probability, divided by the density,
      // is the distance of x from the true quantile.
      double pe, qe;
      exact_pq(0.5 * df, 0.5 * x, &pe, &qe);
      const double miss = p <= 0.5 ? pe - p : (1 - p) - qe;
      const double dens = exact_pdf(df, x, std::log(2.0L));
      EXPECT_LE(std::fabs(miss / dens), 1e-13 * x * (1 + 1e-3 * df)) << "df " << df << " p " << p;
    }
}

TEST(Chi2Helper, QuantileEdges) {
  EXPECT_EQ(__hoxdChi2ICDF(3, 0.0), 0.0);
  EXPECT_EQ(__hoxdChi2ICDF(3, 1.0), INFINITY);
  EXPECT_TRUE(std::isnan(__hoxdChi2ICDF(0, 0.5)));
  EXPECT_TRUE(std::isnan(__hoxdChi2ICDF(3, NAN)));
  // Two degrees of freedom: x = -2 ln(1 - p).
  for (double p : {1e-9, 0.25, 0.5, 0.75, 0.999})
    EXPECT_NEAR(__hoxdChi2ICDF(2, p), -2 * std::log1p(-p), 1e-13 * -2 * std::log1p(-p)) << p;
}

// Huge degrees of freedom: the distribution function returns (it used to loop for ever once
// df/2 reached 2^53) and is accurate where the power series cancels. References: P(a, x) by
// 60-digit mpmath quadrature of the gamma density, substituted t = a (1 + v / sqrt(a)) and
// divided by Gamma(a) from mpmath's loggamma; P + Q - 1 was below 1e-43 for every row.
TEST(Chi2Helper, HugeDegreesOfFreedom) {
  struct Row {
    double df, x, p;
  };
  const Row rows[] = {
      {1e14, 1e14, 0.500000018806319452},
      {1e15, 1e15, 0.500000005947080387},
      {1e17, 1e17, 0.500000000594708039},
      {2e6, 2e6, 0.500132980760872591},
      {2e6, 2004000.0, 0.977195904101230137},
      {2e6, 1994000.0, 0.00133810416731359969},
      {1e10, 10000300000.0, 0.983051879480608248},
      {1e10, 9999000000.0, 7.67451078541475e-13},
      {2e8, 200200000.0, 1.0 - 7.87785617857835869e-24},
      {4e6, 3960000.0, 5.33463285791517279e-46},
  };
  for (const Row& r : rows) {
    const double got = __hoxdChi2CDF(r.df, r.x);
    EXPECT_NEAR(got, r.p, 1e-14 * r.p) << "df " << r.df << " x " << r.x;
  }
  // P(a, a) = 1/2 + 1/(3 sqrt(2 pi a)) + O(1/a): 1/2 in double for these.
  EXPECT_EQ(__hoxdChi2CDF(1e300, 1e300), 0.5);
  EXPECT_EQ(__hoxdChi2CDF(1e300, 0.5e300), 0.0);
  EXPECT_EQ(__hoxdChi2CDF(1e300, 2e300), 1.0);
  EXPECT_EQ(__hoxdChi2CDF(HUGE_VAL, 1e300), 0.0);
  // The quantile returns, within four units in the last place of the exact one: p lies between
  // the distribution function four representable points below and above it.
  for (double df : {2e6, 1e10, 1e14, 1e17, 1e20}) {
    for (double p : {0.25, 0.5, 0.999}) {
      const double x = __hoxdChi2ICDF(df, p);
      double below = x, above = x;
      for (int k = 0; k < 4; ++k) below = std::nextafter(below, 0.0), above = std::nextafter(above, HUGE_VAL);
      EXPECT_LE(__hoxdChi2CDF(df, below), p) << df << " " << p;
      EXPECT_GE(__hoxdChi2CDF(df, above), p) << df << " " << p;
    }
  }
  // Relative spread 1e-150: every quantile rounds to df.
  EXPECT_EQ(__hoxdChi2ICDF(1e300, 0.001), 1e300);
  EXPECT_EQ(__hoxdChi2ICDF(1e300, 0.999), 1e300);
}

}  // namespace
