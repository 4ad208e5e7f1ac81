// Multivariate normal vectors: sample means and covariances against mean and L L^T for the
// full (both product paths: dimen <= 10 and > 10), packed and diagonal storages of the factor,
// both precisions; dimension 1 as the plain Gaussian; refused arguments drawing nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "rng_test_util.h"
#include "support/scale.h"

using qor::test::Stream;

namespace {

int32_t mv(int32_t method, HoxStream s, int32_t n, double* r, int32_t d, int32_t st, const double* a, const double* t) {
  return _hoxdRngGaussianMV(method, s, n, r, d, st, a, t);
}
int32_t mv(int32_t method, HoxStream s, int32_t n, float* r, int32_t d, int32_t st, const float* a, const float* t) {
  return _hoxsRngGaussianMV(method, s, n, r, d, st, a, t);
}

// A lower-triangular factor with entries of both signs, its covariance, and the three storages.
struct Factor {
  int d;
  std::vector<double> L, cov, mean;
  explicit Factor(int dim) : d(dim), L(dim * dim, 0.0), cov(dim * dim, 0.0), mean(dim) {
    for (int i = 0; i < d; ++i) {
      mean[i] = 0.5 * i - 1;
      for (int j = 0; j <= i; ++j) L[i * d + j] = i == j ? 1.0 + 0.1 * i : 0.3 * std::sin(1.0 + i * 7 + j * 3);
    }
    for (int i = 0; i < d; ++i)
      for (int j = 0; j < d; ++j)
        for (int k = 0; k < d; ++k) cov[i * d + j] += L[i * d + k] * L[j * d + k];
  }
  template <class T>
  std::vector<T> storage(int s) const {
    std::vector<T> t;
    if (s == 0) {
      for (int i = 0; i < d; ++i)
        for (int j = 0; j < d; ++j) t.push_back(T(j <= i ? L[i * d + j] : 99.0));  // upper part not read
    } else if (s == 1) {
      for (int j = 0; j < d; ++j)
        for (int i = j; i < d; ++i) t.push_back(T(L[i * d + j]));
    } else {
      for (int j = 0; j < d; ++j) t.push_back(T(L[j * d + j]));
    }
    return t;
  }
};

template <class T>
void check_moments(int dim, int storage, int method) {
  SCOPED_TRACE(::testing::Message() << "dimen " << dim << " storage " << storage << " method " << method);
  const Factor f(dim);
  // Method 2 (the costly inverse error function kernel) on a quarter of the vectors.
  const int32_t n = int32_t(qor::test::scaled(method == 2 ? 5000 : 20000, 1000));
  std::vector<T> t = f.storage<T>(storage), a(f.mean.begin(), f.mean.end()), r(size_t(n) * dim);
  Stream s(HOX_BRNG_MRG32K3A, {4, 3, 2, 1, 5, 6});
  ASSERT_EQ(mv(method, s, n, r.data(), dim, storage, a.data(), t.data()), 0);
  std::vector<double> want = f.cov;
  if (storage == 2)
    for (int i = 0; i < dim; ++i)
      for (int j = 0; j < dim; ++j) want[i * dim + j] = i == j ? f.L[i * dim + i] * f.L[i * dim + i] : 0.0;
  std::vector<double> m(dim, 0.0), c(dim * dim, 0.0);
  for (int32_t k = 0; k < n; ++k)
    for (int i = 0; i < dim; ++i) m[i] += r[size_t(k) * dim + i];
  for (double& v : m) v /= n;
  for (int32_t k = 0; k < n; ++k)
    for (int i = 0; i < dim; ++i)
      for (int j = 0; j <= i; ++j)
        c[i * dim + j] += (r[size_t(k) * dim + i] - m[i]) * (r[size_t(k) * dim + j] - m[j]);
  // Normal deviates of 4.89 (each check fails with probability below 1e-6): the mean has
  // variance S_ii / n, a sample covariance (S_ii S_jj + S_ij^2) / n.
  const double z = qor::test::kZ1e6;
  for (int i = 0; i < dim; ++i) {
    EXPECT_NEAR(m[i], f.mean[i], z * std::sqrt(want[i * dim + i] / n)) << i;
    for (int j = 0; j <= i; ++j) {
      const double sij = want[i * dim + j];
      EXPECT_NEAR(c[i * dim + j] / (n - 1), sij, z * std::sqrt((want[i * dim + i] * want[j * dim + j] + sij * sij) / n))
          << i << "," << j;
    }
  }
}

TEST(GaussianMV, MomentsFollowTheFactor) {
  for (int storage : {0, 1, 2}) check_moments<double>(4, storage, storage);
  check_moments<double>(12, 0, 0);
  check_moments<float>(12, 0, 1);
  check_moments<float>(3, 1, 2);
}

// Dimension 1 is the plain Gaussian with mean a[0] and deviation T[0]; an unknown storage
// leaves the standard normals, shifted by the mean.
TEST(GaussianMV, DimensionOneAndUnknownStorage) {
  Stream s(HOX_BRNG_MCG59, {3}), t(HOX_BRNG_MCG59, {3});
  const double a[2] = {2.0, -1.0}, f[4] = {3.0, 0.0, 0.0, 3.0};
  std::vector<double> r(101), g(101);
  ASSERT_EQ(_hoxdRngGaussianMV(1, s, 101, r.data(), 1, 0, a, f), 0);
  ASSERT_EQ(_hoxdRngGaussian(1, t, 101, g.data(), 2.0, 3.0), 0);
  for (int i = 0; i < 101; ++i) ASSERT_EQ(r[i], g[i]) << i;
  ASSERT_EQ(_hoxdRngGaussianMV(0, s, 50, r.data(), 2, 7, a, f), 0);
  ASSERT_EQ(_hoxdRngGaussian(0, t, 100, g.data(), 0.0, 1.0), 0);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(r[i], g[i] + a[i % 2]) << i;
}

TEST(GaussianMV, RefusedArgumentsDrawNothing) {
  Stream s(HOX_BRNG_MCG31, {3}), t(HOX_BRNG_MCG31, {3});
  const double a[2] = {0, 0}, f[4] = {1, 0, 0, 1};
  double r[4] = {5, 5, 5, 5};
  EXPECT_EQ(_hoxdRngGaussianMV(3, s, 2, r, 2, 0, a, f), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(_hoxdRngGaussianMV(0, s, 2, r, 0, 0, a, f), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(_hoxdRngGaussianMV(0, s, 2, r, 2, 0, nullptr, f), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(_hoxdRngGaussianMV(0, s, 2, r, 2, 0, a, nullptr), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(_hoxdRngGaussianMV(0, s, 2, nullptr, 2, 0, a, f), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(_hoxdRngGaussianMV(0, s, 1 << 20, r, 1 << 12, 0, a, f), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(_hoxdRngGaussianMV(0, s, 0, r, 2, 0, a, f), 0);
  EXPECT_EQ(r[0], 5.0);
  double x, y;
  ASSERT_EQ(_hoxdRngUniform(0, s, 1, &x, 0.0, 1.0), 0);
  ASSERT_EQ(_hoxdRngUniform(0, t, 1, &y, 0.0, 1.0), 0);
  EXPECT_EQ(x, y);
}

}  // namespace
