// Rank test and inverse of covariance matrices of known spectrum and rank.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "qor/stats_helpers.h"
#include "support/alloc_failure.h"

namespace {

// Q diag(eig) Q^T with Q a random orthogonal matrix (product of Householder reflections),
// computed in long double and rounded.
template <class T>
std::vector<T> with_spectrum(const std::vector<double>& eig, uint32_t seed) {
  const size_t p = eig.size();
  std::mt19937 rng(seed);
  std::normal_distribution<double> g;
  std::vector<long double> q(p * p, 0);
  for (size_t i = 0; i < p; ++i) q[i * p + i] = 1;
  for (int r = 0; r < 3; ++r) {
    std::vector<long double> v(p);
    long double nn = 0;
    for (auto& x : v) {
      x = g(rng);
      nn += x * x;
    }
    for (size_t i = 0; i < p; ++i)  // Q := Q (I - 2 v v^T / |v|^2)
    {
      long double d = 0;
      for (size_t k = 0; k < p; ++k) d += q[i * p + k] * v[k];
      for (size_t k = 0; k < p; ++k) q[i * p + k] -= 2 * d * v[k] / nn;
    }
  }
  std::vector<T> a(p * p);
  for (size_t i = 0; i < p; ++i)
    for (size_t j = 0; j < p; ++j) {
      long double s = 0;
      for (size_t k = 0; k < p; ++k) s += q[i * p + k] * eig[k] * q[j * p + k];
      a[i * p + j] = static_cast<T>(s);
    }
  for (size_t i = 0; i < p; ++i)  // exact symmetry
    for (size_t j = 0; j < i; ++j) a[i * p + j] = a[j * p + i];
  return a;
}

TEST(TestCovRank, OneByOne) {
  struct Case {
    double in, out;
    int32_t status;
  } cases[] = {{2.0, 2.0, 0}, {-1e-322, 4.94e-321, 0}, {0.0, 4.94e-321, 0}, {-1.0, -1.0, HOX_SS_ERR_COV_NOT_PSD}};
  for (const Case& c : cases) {
    double m = c.in;
    EXPECT_EQ(__hoxdTestCovRank(1, &m), c.status) << c.in;
    EXPECT_EQ(m, c.out) << c.in;
  }
  // Single precision: the floor is 1.4e-42 (a thousand times the smallest subnormal).
  float f = -1e-43f, g = -1e-40f;
  EXPECT_EQ(__hoxsTestCovRank(1, &f), 0);
  EXPECT_EQ(f, 1.4e-42f);
  EXPECT_EQ(__hoxsTestCovRank(1, &g), HOX_SS_ERR_COV_NOT_PSD);
  // Exactly singular in single precision too: eigenvalues 0 and 2.
  float s[4] = {1, 1, 1, 1};
  EXPECT_EQ(__hoxsTestCovRank(2, s), 0);
  EXPECT_FLOAT_EQ(s[0], 1.02f);
  EXPECT_FLOAT_EQ(s[3], 1.02f);
  EXPECT_EQ(s[1], 1.0f);
}

struct RankCase {
  std::vector<double> eig;
  int32_t status;
  double shift;  // added to every diagonal entry
};

template <class T>
void check_rank(const RankCase& c, double tol, int32_t (*fn)(int32_t, T*)) {
  const size_t p = c.eig.size();
  const std::vector<T> a0 = with_spectrum<T>(c.eig, static_cast<uint32_t>(p * 7 + c.eig.back()));
  std::vector<T> a = a0;
  EXPECT_EQ(fn(int32_t(p), a.data()), c.status);
  for (size_t i = 0; i < p; ++i)
    for (size_t j = i; j < p; ++j) {
      const double want = double(a0[i * p + j]) + (i == j ? c.shift : 0.0);
      EXPECT_NEAR(double(a[i * p + j]), want, tol * (1 + std::fabs(c.shift))) << "p " << p << " (" << i << "," << j << ")";
    }
}

const RankCase kRankCases[] = {
    {{1, 2, 3, 4}, 0, 0.0},                     // full rank: unchanged
    {{0, 2, 5}, 0, 0.02},                       // one zero eigenvalue: 1% of the second smallest
    {{-1e-3, 0.5, 8, 9, 9}, 0, 0.005},          // slightly negative one
    {{0, 0, 0}, HOX_SS_ERR_COV_NOT_PSD, 0.0},   // nothing to lift from
    {{-3, -2, -1}, HOX_SS_ERR_COV_NOT_PSD, 0.0},
};

TEST(TestCovRank, RepairsOrRejectsByTheSpectrum) {
  for (const RankCase& c : kRankCases) {
    check_rank<double>(c, 1e-12, __hoxdTestCovRank);
    if (c.eig[0] > 0 || c.eig.back() <= 0) check_rank<float>(c, 1e-5, __hoxsTestCovRank);
  }
}

TEST(TestCovRank, AllocationFailureLeavesTheMatrix) {
  const std::vector<double> a0 = with_spectrum<double>({0, 1, 2, 3}, 5);
  std::vector<double> a;
  const int sites = qor::test::sweep_allocation_failures(
      [&] {
        a = a0;
        return __hoxdTestCovRank(4, a.data());
      },
      HOX_SS_ERR_NO_MEMORY);
  EXPECT_EQ(sites, 1);
  std::vector<float> f(4, 1.0f);
  qor::serv::fail_allocation_number(1);
  EXPECT_EQ(__hoxsTestCovRank(2, f.data()), HOX_SS_ERR_NO_MEMORY);
  qor::serv::fail_allocation_number(0);
  EXPECT_EQ(f, std::vector<float>(4, 1.0f));
  EXPECT_EQ(__hoxdTestCovRank(0, a.data()), HOX_SS_ERR_BAD_DIMENSION);
  EXPECT_EQ(__hoxdTestCovRank(3, nullptr), HOX_SS_ERR_BAD_DIMENSION);
}

template <class T>
double inverse_residual(size_t p, const std::vector<T>& a, const std::vector<T>& inv_upper) {
  double worst = 0;
  for (size_t i = 0; i < p; ++i)
    for (size_t j = 0; j < p; ++j) {
      long double s = 0;
      for (size_t k = 0; k < p; ++k) {
        const T b = k <= j ? inv_upper[k * p + j] : inv_upper[j * p + k];
        s += static_cast<long double>(a[i * p + k]) * b;
      }
      worst = std::max(worst, double(std::fabs(s - (i == j ? 1 : 0))));
    }
  return worst;
}

TEST(InvCov, ProductWithTheMatrixIsTheIdentity) {
  for (size_t p = 1; p <= 9; ++p) {
    std::vector<double> eig(p);
    for (size_t i = 0; i < p; ++i) eig[i] = 0.5 + 1.5 * double(i);  // condition number <= 25
    const std::vector<double> a = with_spectrum<double>(eig, uint32_t(p));
    std::vector<double> inv = a;
    ASSERT_EQ(__hoxdInvCov(int32_t(p), inv.data()), 0);
    EXPECT_LT(inverse_residual(p, a, inv), 1e-13) << "p " << p;
    const std::vector<float> af = with_spectrum<float>(eig, uint32_t(p));
    std::vector<float> invf = af;
    ASSERT_EQ(__hoxsInvCov(int32_t(p), invf.data()), 0);
    EXPECT_LT(inverse_residual(p, af, invf), 2e-5) << "p " << p;
  }
}

TEST(InvCov, IndefiniteAndBadArguments) {
  std::vector<double> a = with_spectrum<double>({-1, 1, 2, 3, 4}, 11);
  EXPECT_EQ(__hoxdInvCov(5, a.data()), HOX_SS_ERR_CHOLESKY_FAILED);
  std::vector<float> f = with_spectrum<float>({1, 2, -3, 4}, 12);
  EXPECT_EQ(__hoxsInvCov(4, f.data()), HOX_SS_ERR_CHOLESKY_FAILED);
  EXPECT_EQ(__hoxdInvCov(0, a.data()), HOX_SS_ERR_BAD_DIMENSION);
  EXPECT_EQ(__hoxdInvCov(2, nullptr), HOX_SS_ERR_BAD_DIMENSION);
}

}  // namespace
