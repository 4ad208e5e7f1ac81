// The BLAS/LAPACK wrappers against plain long-double loops, and the LAPACK routines through
// their defining properties. Both precisions, transposes, padded leading dimensions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "service/linalg_util.h"

namespace qor::test {
namespace {

using LD = long double;

template <class T>
class LinAlg : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
TYPED_TEST_SUITE(LinAlg, Precisions);

template <class T>
LD op(const Dense<T>& a, bool trans, int i, int j) {
  return trans ? a(j, i) : a(i, j);
}

// max |x - ref| over the matrix
template <class T>
double maxdiff(const Dense<T>& x, const std::vector<std::vector<LD>>& ref) {
  double m = 0;
  for (int i = 0; i < x.rows; ++i)
    for (int j = 0; j < x.cols; ++j) m = std::max(m, double(std::fabs(LD(x(i, j)) - ref[i][j])));
  return m;
}

TYPED_TEST(LinAlg, GemmMatchesLoopsForEveryTransposeAndShape) {
  using T = TypeParam;
  std::mt19937 g(11);
  const int shapes[][3] = {{1, 1, 1}, {3, 5, 4}, {7, 2, 9}, {16, 17, 3}};
  const T alpha = T(0.75), beta = T(-1.25);
  for (auto fn : {LA<T>::gemm, LA<T>::xgemm})
    for (const auto& s : shapes)
      for (bool ta : {false, true})
        for (bool tb : {false, true}) {
          const int m = s[0], n = s[1], k = s[2];
          Dense<T> a(ta ? k : m, ta ? m : k, 2), b(tb ? n : k, tb ? k : n, 1), c(m, n, 3);
          fill_random(a.v, g);
          fill_random(b.v, g);
          fill_random(c.v, g);
          std::vector<std::vector<LD>> ref(m, std::vector<LD>(n));
          for (int i = 0; i < m; ++i)
            for (int j = 0; j < n; ++j) {
              LD acc = 0;
              for (int l = 0; l < k; ++l) acc += op(a, ta, i, l) * op(b, tb, l, j);
              ref[i][j] = alpha * acc + beta * LD(c(i, j));
            }
          const char* sa = ta ? "T" : "N";
          const char* sb = tb ? "t" : "n";  // lower-case codes are accepted too
          fn(sa, sb, &m, &n, &k, &alpha, a.data(), &a.ld, b.data(), &b.ld, &beta, c.data(), &c.ld);
          EXPECT_LE(maxdiff(c, ref), tol<T>(k)) << m << "x" << n << "x" << k << " " << sa << sb;
        }
}

TYPED_TEST(LinAlg, GemvMatchesLoopsWithStrides) {
  using T = TypeParam;
  std::mt19937 g(12);
  const T alpha = T(-0.5), beta = T(2);
  for (bool tr : {false, true})
    for (int incx : {1, 2})
      for (int incy : {1, 3}) {
        const int m = 6, n = 4;
        Dense<T> a(m, n, 1);
        fill_random(a.v, g);
        const int lx = tr ? m : n, ly = tr ? n : m;
        std::vector<T> x(size_t(lx) * incx), y(size_t(ly) * incy);
        fill_random(x, g);
        fill_random(y, g);
        std::vector<T> y0 = y;
        qor_int ix = incx, iy = incy;
        LA<T>::gemv(tr ? "T" : "N", &m, &n, &alpha, a.data(), &a.ld, x.data(), &ix, &beta, y.data(), &iy);
        for (int i = 0; i < ly; ++i) {
          LD acc = 0;
          for (int l = 0; l < lx; ++l) acc += op(a, tr, i, l) * LD(x[size_t(l) * incx]);
          EXPECT_NEAR(double(y[size_t(i) * incy]), double(alpha * acc + beta * LD(y0[size_t(i) * incy])), tol<T>(lx));
          for (int s = 1; s < incy; ++s) EXPECT_EQ(y[size_t(i) * incy + s], y0[size_t(i) * incy + s]);
        }
      }
}

// Rank-1 and rank-k updates touch only the named triangle.
TYPED_TEST(LinAlg, SyrAndSyrkUpdateOnlyTheirTriangle) {
  using T = TypeParam;
  std::mt19937 g(13);
  const int n = 5, k = 3;
  const T alpha = T(1.5), beta = T(0.5);
  for (bool up : {false, true}) {
    const char* u = up ? "U" : "L";
    auto in_tri = [&](int i, int j) { return up ? i <= j : i >= j; };
    for (auto fn : {LA<T>::syr, LA<T>::xsyr}) {
      Dense<T> c(n, n, 2);
      fill_random(c.v, g);
      const Dense<T> c0 = c;
      std::vector<T> x(size_t(2) * n);
      fill_random(x, g);
      const qor_int inc = 2;
      fn(u, &n, &alpha, x.data(), &inc, c.data(), &c.ld);
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
          const LD want = in_tri(i, j) ? LD(c0(i, j)) + alpha * LD(x[2 * i]) * x[2 * j] : LD(c0(i, j));
          EXPECT_NEAR(double(c(i, j)), double(want), tol<T>(1)) << u << i << j;
        }
    }
    for (auto fn : {LA<T>::syrk, LA<T>::xsyrk})
      for (bool tr : {false, true}) {
        Dense<T> a(tr ? k : n, tr ? n : k, 1), c(n, n, 1);
        fill_random(a.v, g);
        fill_random(c.v, g);
        const Dense<T> c0 = c;
        fn(u, tr ? "T" : "N", &n, &k, &alpha, a.data(), &a.ld, &beta, c.data(), &c.ld);
        for (int i = 0; i < n; ++i)
          for (int j = 0; j < n; ++j) {
            LD acc = 0;
            for (int l = 0; l < k; ++l) acc += op(a, tr, i, l) * op(a, tr, j, l);
            const LD want = in_tri(i, j) ? alpha * acc + beta * LD(c0(i, j)) : LD(c0(i, j));
            EXPECT_NEAR(double(c(i, j)), double(want), tol<T>(k)) << u << tr << i << j;
          }
      }
  }
}

TYPED_TEST(LinAlg, SymmReadsOnlyTheNamedTriangle) {
  using T = TypeParam;
  std::mt19937 g(14);
  const int m = 4, n = 6;
  const T alpha = T(0.5), beta = T(-1);
  for (bool left : {true, false})
    for (bool up : {false, true}) {
      const int ka = left ? m : n;
      Dense<T> a(ka, ka, 1), b(m, n, 2), c(m, n, 1);
      fill_random(a.v, g);
      fill_random(b.v, g);
      fill_random(c.v, g);
      auto sym = [&](int i, int j) -> LD { return (up ? i <= j : i >= j) ? a(i, j) : a(j, i); };
      std::vector<std::vector<LD>> ref(m, std::vector<LD>(n));
      for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) {
          LD acc = 0;
          for (int l = 0; l < ka; ++l) acc += left ? sym(i, l) * LD(b(l, j)) : LD(b(i, l)) * sym(l, j);
          ref[i][j] = alpha * acc + beta * LD(c(i, j));
        }
      LA<T>::xsymm(left ? "L" : "R", up ? "U" : "L", &m, &n, &alpha, a.data(), &a.ld, b.data(), &b.ld, &beta, c.data(), &c.ld);
      EXPECT_LE(maxdiff(c, ref), tol<T>(ka)) << left << up;
    }
}

// The triangular factor as a dense matrix: the named triangle of `a`, unit diagonal if asked.
template <class T>
LD tri(const Dense<T>& a, bool up, bool unit, int i, int j) {
  if (i == j) return unit ? 1 : a(i, i);
  return (up ? i < j : i > j) ? LD(a(i, j)) : 0;
}

template <class T>
std::vector<std::vector<LD>> trmm_ref(const Dense<T>& a, const Dense<T>& b, bool left, bool up,
                                      bool tr, bool unit, LD alpha) {
  const int m = b.rows, n = b.cols, k = left ? m : n;
  auto opa = [&](int i, int j) { return tr ? tri(a, up, unit, j, i) : tri(a, up, unit, i, j); };
  std::vector<std::vector<LD>> r(m, std::vector<LD>(n));
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < n; ++j) {
      LD acc = 0;
      for (int l = 0; l < k; ++l) acc += left ? opa(i, l) * LD(b(l, j)) : LD(b(i, l)) * opa(l, j);
      r[i][j] = alpha * acc;
    }
  return r;
}

// Column-packed copy of the named triangle.
template <class T>
std::vector<T> pack(const Dense<T>& a, bool up) {
  std::vector<T> ap;
  const int k = a.rows;
  for (int j = 0; j < k; ++j)
    for (int i = up ? 0 : j; i < (up ? j + 1 : k); ++i) ap.push_back(a(i, j));
  return ap;
}

TYPED_TEST(LinAlg, TrmmAndPackedTrmmMatchLoopsForEverySideUploTransDiag) {
  using T = TypeParam;
  std::mt19937 g(15);
  const int shapes[][2] = {{1, 1}, {5, 3}, {3, 6}, {9, 8}};
  for (const auto& s : shapes)
    for (int code = 0; code < 16; ++code) {
      const bool left = code & 1, up = code & 2, tr = code & 4, unit = code & 8;
      const int m = s[0], n = s[1], k = left ? m : n;
      const T alpha = T(-1.5);
      Dense<T> a(k, k, 1), b(m, n, 3);
      fill_random(a.v, g);
      fill_random(b.v, g);
      for (int i = 0; i < k; ++i) a(i, i) = T(0.5) + std::fabs(a(i, i));
      const auto ref = trmm_ref(a, b, left, up, tr, unit, alpha);
      const char *sd = left ? "L" : "R", *ul = up ? "U" : "L", *ta = tr ? "T" : "N", *dg = unit ? "U" : "N";
      Dense<T> a_junk = a;  // the other triangle (and a unit diagonal) must not be read
      for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j)
          if ((up ? i > j : i < j) || (unit && i == j)) a_junk(i, j) = T(NAN);
      Dense<T> full = b;  // the dense product, to compare the packed one with
      for (auto fn : {LA<T>::trmm, LA<T>::xtrmm, LA<T>::trmm4}) {
        Dense<T> x = b;
        fn(sd, ul, ta, dg, &m, &n, &alpha, a_junk.data(), &a_junk.ld, x.data(), &x.ld);
        EXPECT_LE(maxdiff(x, ref), tol<T>(k)) << sd << ul << ta << dg << " " << m << "x" << n;
        full = x;
      }
      std::vector<T> ap = pack(a, up);
      if (unit)
        for (int i = 0; i < k; ++i) ap[up ? i * (i + 3) / 2 : i * (2 * k - i + 1) / 2] = T(NAN);
      Dense<T> x = b;
      LA<T>::ptrmm(sd, ul, ta, dg, &m, &n, &alpha, ap.data(), x.data(), &x.ld);
      EXPECT_LE(maxdiff(x, ref), tol<T>(k)) << "packed " << sd << ul << ta << dg << " " << m << "x" << n;
      for (int j = 0; j < n; ++j)
        for (int i = 0; i < m; ++i) EXPECT_NEAR(double(x(i, j)), double(full(i, j)), 2 * tol<T>(k));
      for (int j = 0; j < n; ++j)  // rows between m and ldb are not ours
        for (int i = m; i < x.ld; ++i) EXPECT_EQ(x.v[i + size_t(j) * x.ld], b.v[i + size_t(j) * b.ld]);
    }
}

TYPED_TEST(LinAlg, PackedTrmmZeroAlphaAndEmptyShapes) {
  using T = TypeParam;
  const int m = 3, n = 2, zero = 0;
  Dense<T> b(m, n, 1);
  std::fill(b.v.begin(), b.v.end(), T(7));
  std::vector<T> ap(6, T(1));
  const T alpha0 = 0, alpha1 = 1;
  LA<T>::ptrmm("L", "U", "N", "N", &m, &zero, &alpha1, ap.data(), b.data(), &b.ld);
  LA<T>::ptrmm("L", "U", "N", "N", &zero, &n, &alpha1, ap.data(), b.data(), &b.ld);
  LA<T>::ptrmm("X", "U", "N", "N", &m, &n, &alpha1, ap.data(), b.data(), &b.ld);  // bad side
  for (T v : b.v) EXPECT_EQ(v, T(7));
  LA<T>::ptrmm("R", "L", "T", "U", &m, &n, &alpha0, ap.data(), b.data(), &b.ld);
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < m; ++i) EXPECT_EQ(b(i, j), T(0));
  EXPECT_EQ(b(m, 0), T(7));
}

// A symmetric positive definite test matrix: M M^T + n I.
template <class T>
Dense<T> spd(int n, std::mt19937& g, int pad) {
  Dense<T> m(n, n), a(n, n, pad);
  fill_random(m.v, g);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      LD acc = i == j ? n : 0;
      for (int l = 0; l < n; ++l) acc += LD(m(i, l)) * m(j, l);
      a(i, j) = T(acc);
    }
  return a;
}

TYPED_TEST(LinAlg, PotrfFactorsAndPotriInverts) {
  using T = TypeParam;
  std::mt19937 g(16);
  for (int n : {1, 4, 11})
    for (bool up : {false, true}) {
      const char* u = up ? "U" : "L";
      const Dense<T> a = spd<T>(n, g, 2);
      Dense<T> f = a;
      qor_int info = -99;
      LA<T>::potrf(u, &n, f.data(), &f.ld, &info);
      ASSERT_EQ(info, 0);
      const double scale = 2.0 * n;  // entries of A are about n
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {  // A = L L^T (or U^T U) from the named triangle
          LD acc = 0;
          for (int l = 0; l < n; ++l)
            acc += up ? tri(f, true, false, l, i) * tri(f, true, false, l, j)
                      : tri(f, false, false, i, l) * tri(f, false, false, j, l);
          EXPECT_NEAR(double(acc), double(a(i, j)), scale * tol<T>(n)) << u << i << j;
        }
      LA<T>::potri(u, &n, f.data(), &f.ld, &info);
      ASSERT_EQ(info, 0);
      auto inv = [&](int i, int j) -> LD { return (up ? i <= j : i >= j) ? f(i, j) : f(j, i); };
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
          LD acc = 0;
          for (int l = 0; l < n; ++l) acc += LD(a(i, l)) * inv(l, j);
          EXPECT_NEAR(double(acc), i == j ? 1.0 : 0.0, scale * tol<T>(n));
        }
    }
  // Not positive definite: the order of the failing leading minor comes back.
  const int n = 3;
  T na[9] = {4, 0, 0, 0, -1, 0, 0, 0, 2};
  qor_int info = 0;
  LA<T>::potrf("L", &n, na, &n, &info);
  EXPECT_EQ(info, 2);
}

TYPED_TEST(LinAlg, TrtriInvertsTriangularMatrices) {
  using T = TypeParam;
  std::mt19937 g(17);
  const int n = 7;
  for (bool up : {false, true})
    for (bool unit : {false, true}) {
      Dense<T> a(n, n, 1);
      fill_random(a.v, g, T(-0.5), T(0.5));
      for (int i = 0; i < n; ++i) a(i, i) = T(1) + std::fabs(a(i, i));
      Dense<T> x = a;
      qor_int info = -99;
      LA<T>::trtri(up ? "U" : "L", unit ? "U" : "N", &n, x.data(), &x.ld, &info);
      ASSERT_EQ(info, 0);
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
          LD acc = 0;
          for (int l = 0; l < n; ++l) acc += tri(a, up, unit, i, l) * tri(x, up, unit, l, j);
          EXPECT_NEAR(double(acc), i == j ? 1.0 : 0.0, 4 * tol<T>(n));
        }
    }
  T s[4] = {1, 0, 5, 0};  // zero on the diagonal: info names it
  const int two = 2;
  qor_int info = 0;
  LA<T>::trtri("U", "N", &two, s, &two, &info);
  EXPECT_EQ(info, 2);
}

// Checks A v = lambda v for the n eigenpairs (vectors in the columns of z), ascending lambdas.
template <class T>
void expect_eigenpairs(const Dense<T>& a, const T* w, const T* z, int ldz, int n) {
  for (int e = 0; e < n; ++e) {
    if (e > 0) {
      EXPECT_LE(w[e - 1], w[e]);
    }
    LD norm = 0;
    for (int i = 0; i < n; ++i) norm += LD(z[i + e * ldz]) * z[i + e * ldz];
    EXPECT_NEAR(double(norm), 1.0, 4 * tol<T>(n));
    for (int i = 0; i < n; ++i) {
      LD av = 0;
      for (int l = 0; l < n; ++l) av += LD(a(i, l)) * z[l + e * ldz];
      EXPECT_NEAR(double(av), double(LD(w[e]) * z[i + e * ldz]), 8 * n * tol<T>(n)) << "pair " << e;
    }
  }
}

TYPED_TEST(LinAlg, SyevAndSpevdProduceEigenpairs) {
  using T = TypeParam;
  std::mt19937 g(18);
  for (int n : {1, 3, 10})
    for (bool up : {false, true}) {
      const char* u = up ? "U" : "L";
      Dense<T> a(n, n, 1);
      fill_random(a.v, g);
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j) a(j, i) = a(i, j);
      // syev, with a workspace query first
      Dense<T> x = a;
      std::vector<T> w(n);
      T query = 0;
      qor_int lwork = -1, info = -99;
      LA<T>::syev("V", u, &n, x.data(), &x.ld, w.data(), &query, &lwork, &info);
      ASSERT_EQ(info, 0);
      lwork = qor_int(query);
      ASSERT_GE(lwork, 1);
      std::vector<T> work(lwork);
      LA<T>::syev("V", u, &n, x.data(), &x.ld, w.data(), work.data(), &lwork, &info);
      ASSERT_EQ(info, 0);
      expect_eigenpairs(a, w.data(), x.data(), x.ld, n);
      // spevd on the packed triangle
      std::vector<T> ap = pack(a, up), w2(n);
      Dense<T> z(n, n, 2);
      qor_int liwork = -1, iq = 0;
      lwork = -1;
      LA<T>::spevd("V", u, &n, ap.data(), w2.data(), z.data(), &z.ld, &query, &lwork, &iq, &liwork, &info);
      ASSERT_EQ(info, 0);
      lwork = qor_int(query);
      liwork = iq;
      std::vector<T> work2(std::max(lwork, 1));
      std::vector<qor_int> iwork(std::max(liwork, 1));
      LA<T>::spevd("V", u, &n, ap.data(), w2.data(), z.data(), &z.ld, work2.data(), &lwork, iwork.data(), &liwork, &info);
      ASSERT_EQ(info, 0);
      expect_eigenpairs(a, w2.data(), z.data(), z.ld, n);
      for (int e = 0; e < n; ++e) EXPECT_NEAR(double(w[e]), double(w2[e]), 8 * n * tol<T>(n));
    }
}

}  // namespace
}  // namespace qor::test
