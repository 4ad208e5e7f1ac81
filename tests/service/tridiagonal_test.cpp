// Tridiagonal solvers: residuals of A X = B and A^T X = B in long double, factor+solve equals
// the one-call driver, zero pivots and bad arguments reported through info.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "service/linalg_util.h"

namespace qor::test {
namespace {

using LD = long double;

template <class T>
class Tridiagonal : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(Tridiagonal, Precisions);

template <class T>
struct Tri {
  std::vector<T> dl, d, du;
  Tri(int n, std::mt19937& g) : dl(n > 1 ? n - 1 : 1), d(n), du(n > 1 ? n - 1 : 1) {
    fill_random(dl, g);
    fill_random(du, g);
    fill_random(d, g, T(2.5), T(4));  // diagonally dominant: no pivoting needed
    for (size_t i = 0; i < d.size(); i += 3) d[i] = -d[i];
  }
  // (A x)_i or (A^T x)_i
  LD apply(bool trans, const T* x, int n, int i) const {
    LD r = LD(d[i]) * x[i];
    if (i > 0) r += LD(trans ? du[i - 1] : dl[i - 1]) * x[i - 1];
    if (i + 1 < n) r += LD(trans ? dl[i] : du[i]) * x[i + 1];
    return r;
  }
};

TYPED_TEST(Tridiagonal, SolvesManyRightHandSidesWithPaddedColumns) {
  using T = TypeParam;
  std::mt19937 g(21);
  for (int n : {1, 2, 5, 33})
    for (int nrhs : {1, 3, 4, 9})
      for (bool trans : {false, true}) {
        const Tri<T> a(n, g);
        const int ldb = n + 3;
        std::vector<T> b(size_t(ldb) * nrhs);
        fill_random(b, g);
        std::vector<T> x = b;
        Tri<T> f = a;
        qor_int info = -99;
        LA<T>::dttrf(&n, f.dl.data(), f.d.data(), f.du.data(), &info);
        ASSERT_EQ(info, 0);
        info = -99;
        LA<T>::dttrs(trans ? "T" : "N", &n, &nrhs, f.dl.data(), f.d.data(), f.du.data(), x.data(), &ldb, &info);
        ASSERT_EQ(info, 0);
        for (int j = 0; j < nrhs; ++j) {
          const T* xj = x.data() + size_t(j) * ldb;
          for (int i = 0; i < n; ++i)
            EXPECT_NEAR(double(a.apply(trans, xj, n, i)), double(b[i + size_t(j) * ldb]), 4 * tol<T>(3))
                << "n=" << n << " nrhs=" << nrhs << " trans=" << trans << " (" << i << "," << j << ")";
          for (int i = n; i < ldb; ++i) EXPECT_EQ(xj[i], b[i + size_t(j) * ldb]) << "padding row written";
        }
        if (!trans) {  // the one-call driver gives the same bits
          Tri<T> h = a;
          std::vector<T> y = b;
          LA<T>::dtsv(&n, &nrhs, h.dl.data(), h.d.data(), h.du.data(), y.data(), &ldb, &info);
          ASSERT_EQ(info, 0);
          EXPECT_EQ(y, x);
          EXPECT_EQ(h.d, f.d);
          EXPECT_EQ(h.dl, f.dl);
        }
      }
}

TYPED_TEST(Tridiagonal, OneByOneAndEmptySystems) {
  using T = TypeParam;
  const int one = 1, zero = 0, two = 2;
  T dl = 9, d = 4, du = 9, b[2] = {2, 6};
  qor_int info = -99;
  LA<T>::dtsv(&one, &two, &dl, &d, &du, b, &one, &info);
  EXPECT_EQ(info, 0);
  EXPECT_EQ(b[0], T(0.5));
  EXPECT_EQ(b[1], T(1.5));
  info = -99;
  LA<T>::dtsv(&zero, &two, nullptr, nullptr, nullptr, nullptr, &one, &info);
  EXPECT_EQ(info, 0);
  info = -99;
  LA<T>::dttrs("N", &one, &zero, &dl, &d, &du, nullptr, &one, &info);
  EXPECT_EQ(info, 0);
}

TYPED_TEST(Tridiagonal, ZeroPivotIsReportedByPosition) {
  using T = TypeParam;
  const int n = 4, nrhs = 1;
  struct Case {
    T d[4];
    qor_int want;
  };
  // dl = du = 1 everywhere; pivots: d0, d1 - 1/d0, ...
  const Case cases[] = {{{0, 1, 1, 1}, 1}, {{1, 1, 1, 1}, 2}, {{2, 2, 2, T(1.5)}, 0}, {{1, 2, 1, 1}, 3}, {{1, 2, 2, 1}, 4}};
  for (const Case& c : cases) {
    T dl[3] = {1, 1, 1}, du[3] = {1, 1, 1}, d[4];
    std::copy(c.d, c.d + 4, d);
    qor_int info = -99;
    LA<T>::dttrf(&n, dl, d, du, &info);
    EXPECT_EQ(info, c.want) << c.d[0] << c.d[1] << c.d[2] << c.d[3];
    T dl2[3] = {1, 1, 1}, du2[3] = {1, 1, 1}, d2[4], b[4] = {1, 2, 3, 4};
    std::copy(c.d, c.d + 4, d2);
    LA<T>::dtsv(&n, &nrhs, dl2, d2, du2, b, &n, &info);
    EXPECT_EQ(info, c.want);
    if (c.want != 0) {
      EXPECT_EQ(b[0], T(1));  // nothing solved
      EXPECT_EQ(b[3], T(4));
    }
  }
}

TYPED_TEST(Tridiagonal, BadArgumentsNameTheArgument) {
  using T = TypeParam;
  T dl[2] = {1, 1}, d[3] = {4, 4, 4}, du[2] = {1, 1}, b[3] = {1, 2, 3};
  const int n = 3, neg = -1, one = 1, two = 2;
  qor_int info = 0;
  LA<T>::dttrf(&neg, dl, d, du, &info);
  EXPECT_EQ(info, -1);
  LA<T>::dttrs("X", &n, &one, dl, d, du, b, &n, &info);
  EXPECT_EQ(info, -1);
  LA<T>::dttrs("N", &neg, &one, dl, d, du, b, &n, &info);
  EXPECT_EQ(info, -2);
  LA<T>::dttrs("N", &n, &neg, dl, d, du, b, &n, &info);
  EXPECT_EQ(info, -3);
  LA<T>::dttrs("N", &n, &one, dl, d, du, b, &two, &info);
  EXPECT_EQ(info, -8);
  LA<T>::dtsv(&neg, &one, dl, d, du, b, &n, &info);
  EXPECT_EQ(info, -1);
  LA<T>::dtsv(&n, &neg, dl, d, du, b, &n, &info);
  EXPECT_EQ(info, -2);
  LA<T>::dtsv(&n, &one, dl, d, du, b, &two, &info);
  EXPECT_EQ(info, -7);
  // nothing was changed by the rejected calls
  EXPECT_EQ(d[0], T(4));
  EXPECT_EQ(dl[0], T(1));
  EXPECT_EQ(b[2], T(3));
}

}  // namespace
}  // namespace qor::test
