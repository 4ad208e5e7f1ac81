// Partial covariance and correlation (against the Schur complement in long double), pooled and
// group covariance and means (against per-group two-pass long double sums), Mahalanobis
// distances (against a long-double Cholesky solve) and the correlation parametrization; statuses
// in order and allocation failure.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "qor/stats.h"
#include "statistics/task.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

namespace qor::test::ss {
const ThreadingServices* threads_table(int count);
namespace {

using LD = long double;
using Mtx = std::vector<LD>;  // p x p, row-major

Mtx random_spd(int p, unsigned seed) {
  std::mt19937_64 g(seed);
  std::normal_distribution<double> nd;
  Mtx m(size_t(p) * p), a(size_t(p) * p);
  for (auto& v : m) v = nd(g);
  for (int i = 0; i < p; ++i)
    for (int j = 0; j < p; ++j) {
      LD s = 0;
      for (int k = 0; k < p; ++k) s += m[i * p + k] * m[j * p + k];
      a[i * p + j] = s + (i == j ? 0.5L : 0);
    }
  return a;
}

// Inverse by Gauss-Jordan with partial pivoting, in long double.
Mtx inverse(Mtx a, int p) {
  Mtx inv(size_t(p) * p, 0);
  for (int i = 0; i < p; ++i) inv[i * p + i] = 1;
  for (int c = 0; c < p; ++c) {
    int piv = c;
    for (int r = c + 1; r < p; ++r)
      if (std::fabs(a[r * p + c]) > std::fabs(a[piv * p + c])) piv = r;
    for (int k = 0; k < p; ++k) std::swap(a[c * p + k], a[piv * p + k]), std::swap(inv[c * p + k], inv[piv * p + k]);
    const LD d = a[c * p + c];
    for (int k = 0; k < p; ++k) a[c * p + k] /= d, inv[c * p + k] /= d;
    for (int r = 0; r < p; ++r)
      if (r != c) {
        const LD f = a[r * p + c];
        for (int k = 0; k < p; ++k) a[r * p + k] -= f * a[c * p + k], inv[r * p + k] -= f * inv[c * p + k];
      }
  }
  return inv;
}

// Packs a symmetric p x p matrix into storage code st (full, packed 1: row i columns 0..i,
// packed 2: row i columns i..p-1).
template <class T>
std::vector<T> pack(const Mtx& a, int p, int st) {
  std::vector<T> out;
  for (int i = 0; i < p; ++i)
    for (int j = 0; j < p; ++j)
      if (st == 0 || (st == 1 && j <= i) || (st == 2 && j >= i)) out.push_back(T(a[i * p + j]));
  return out;
}
template <class T>
LD unpack(const std::vector<T>& v, int p, int st, int i, int j) {
  if (st == 0) return v[size_t(i) * p + j];
  if (i > j) std::swap(i, j);
  if (st == 1) return v[size_t(j) * (j + 1) / 2 + i];
  return v[size_t(i) * p - size_t(i) * (i - 1) / 2 + (j - i)];
}

// ---- partial covariance -----------------------------------------------------------------------------
TEST(PartialCovariance, SchurComplementInEveryStorage) {
  const int p = 7;
  const std::vector<int32_t> roles = {1, -1, 1, 0, -1, 1, -1};
  const Mtx S = random_spd(p, 3);
  std::vector<int> Y, Z;
  for (int i = 0; i < p; ++i) {
    if (roles[i] == 1) Y.push_back(i);
    if (roles[i] == -1) Z.push_back(i);
  }
  // oracle: P = S_YY - S_YZ S_ZZ^-1 S_ZY
  const int l = int(Z.size());
  Mtx szz(size_t(l) * l);
  for (int a = 0; a < l; ++a)
    for (int b = 0; b < l; ++b) szz[a * l + b] = S[Z[a] * p + Z[b]];
  const Mtx inv = inverse(szz, l);
  auto P = [&](int i, int j) {
    LD s = S[i * p + j];
    for (int a = 0; a < l; ++a)
      for (int b = 0; b < l; ++b) s -= S[i * p + Z[a]] * inv[a * l + b] * S[Z[b] * p + j];
    return s;
  };
  for (int st_in : {0, 1, 2})
    for (int st_out : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "storages " << st_in << " " << st_out);
      int32_t pp = p, n = 1, obs = HOX_SS_STORAGE_ROWS, sin = st_in, sout = st_out;
      std::vector<double> cov = pack<double>(S, p, st_in);
      const size_t size = st_out == 0 ? size_t(p) * p : size_t(p) * (p + 1) / 2;
      std::vector<double> pc(size, -7), pr(size, -7);
      HoxSSTask* t = nullptr;
      ASSERT_EQ(__hoxdSSNewTask(&t, &pp, &n, &obs, nullptr, nullptr, nullptr, nullptr), 0);
      __hoxdSSEditPartialCovCor(t, roles.data(), cov.data(), &sin, nullptr, nullptr, pc.data(), &sout, pr.data(), &sout);
      ASSERT_EQ(_hoxdSSPartialCovariance(t, HOX_SS_EST_PARTIAL_COV | HOX_SS_EST_PARTIAL_COR, HOX_SS_METHOD_FAST, nullptr), 0);
      __hoxSSDeleteTask(&t);
      for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j) {
          const bool yy = roles[i] == 1 && roles[j] == 1;
          if (!yy) {  // positions of other variables stay untouched
            if (st_out == 0 || (st_out == 1 ? j <= i : j >= i)) {
              EXPECT_EQ(unpack(pc, p, st_out, i, j), -7);
            }
            continue;
          }
          EXPECT_NEAR(double(unpack(pc, p, st_out, i, j)), double(P(i, j)), 1e-13 * std::sqrt(double(P(i, i) * P(j, j))));
          EXPECT_NEAR(double(unpack(pr, p, st_out, i, j)), double(P(i, j) / std::sqrt(P(i, i) * P(j, j))), 1e-13);
        }
    }
}

TEST(PartialCovariance, DiagonalInputFloatCorrelationInputAndStatuses) {
  const int p = 4;
  int32_t pp = p, n = 1, obs = HOX_SS_STORAGE_ROWS, full = 0, neg = -1;
  std::vector<int32_t> roles = {1, 1, -1, -1};
  // a diagonal matrix: the partial covariance is the Y block itself
  std::vector<float> diag = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 5, 0, 0, 0, 0, 7}, pc(16, -7), pr(16, -7);
  HoxSSTask* t = nullptr;
  ASSERT_EQ(__hoxsSSNewTask(&t, &pp, &n, &obs, nullptr, nullptr, nullptr, nullptr), 0);
  auto run = [&](uint64_t e = HOX_SS_EST_PARTIAL_COV | HOX_SS_EST_PARTIAL_COR, uint64_t m = HOX_SS_METHOD_FAST) {
    return _hoxsSSPartialCovariance(t, e, m, nullptr);
  };
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_COV);
  __hoxsSSEditTask(t, HOX_SS_ED_COR, diag.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxsSSEditTask(t, HOX_SS_ED_COV, diag.data());  // the covariance is used when it is set
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxiSSEditTask(t, HOX_SS_ED_COV_STORAGE, &full);
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_PARTIAL_COV_IDX);
  std::vector<int32_t> only_y = {1, 1, 0, 0};
  __hoxiSSEditTask(t, HOX_SS_ED_PARTIAL_COV_IDX, only_y.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_PARTIAL_COV);
  __hoxsSSEditTask(t, HOX_SS_ED_PARTIAL_COV, pc.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxiSSEditTask(t, HOX_SS_ED_PARTIAL_COV_STORAGE, &full);
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_PARTIAL_COR);
  __hoxsSSEditTask(t, HOX_SS_ED_PARTIAL_COR, pr.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxiSSEditTask(t, HOX_SS_ED_PARTIAL_COR_STORAGE, &full);
  EXPECT_EQ(run(HOX_SS_EST_PARTIAL_COV, HOX_SS_METHOD_ONE_PASS), HOX_SS_ERR_BAD_METHOD);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_ROLES);  // no variable of role -1
  only_y = {-1, -1, 0, 0};
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_ROLES);  // none of role 1
  pp = 0;
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_ROLES);
  pp = p;
  (void)neg;
  EXPECT_EQ(pc, std::vector<float>(16, -7));
  __hoxiSSEditTask(t, HOX_SS_ED_PARTIAL_COV_IDX, roles.data());
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(pc, (std::vector<float>{2, 0, -7, -7, 0, 3, -7, -7, -7, -7, -7, -7, -7, -7, -7, -7}));
  EXPECT_EQ(pr, (std::vector<float>{1, 0, -7, -7, 0, 1, -7, -7, -7, -7, -7, -7, -7, -7, -7, -7}));
  // allocation failure: -4000, nothing written, nothing leaked
  std::fill(pc.begin(), pc.end(), -7.0f);
  const int sites = sweep_allocation_failures([&] { return run(); }, HOX_SS_ERR_NO_MEMORY);
  EXPECT_EQ(sites, 1);
  __hoxSSDeleteTask(&t);
}

// ---- pooled and group covariance --------------------------------------------------------------------
struct GroupOracle {
  LD W = 0, V = 0;
  std::vector<LD> m;
  Mtx C;
};

TEST(PooledCovariance, GroupsAndPooledAgainstTwoPassLongDouble) {
  const int p = 4, n = int(scaled(5000, 600)), G = 4;
  std::mt19937_64 g(17);
  std::normal_distribution<double> nd;
  std::uniform_int_distribution<int> gd(0, G - 1);
  std::vector<double> x(size_t(p) * n), w(n);
  std::vector<int32_t> grp(n);
  for (int j = 0; j < n; ++j) {
    grp[j] = gd(g);
    w[j] = j % 13 == 0 ? 0.0 : 0.5 + (j % 7) * 0.25;
    for (int i = 0; i < p; ++i) x[size_t(j) * p + i] = 1e3 * grp[j] + (i + 1) * nd(g) + (i == 2 ? 0.5 * x[size_t(j) * p] : 0);
  }
  // oracle: per group, weighted two-pass in long double
  std::vector<GroupOracle> o(G);
  for (auto& go : o) go.m.assign(p, 0), go.C.assign(size_t(p) * p, 0);
  for (int j = 0; j < n; ++j) {
    auto& go = o[grp[j]];
    go.W += w[j], go.V += LD(w[j]) * w[j];
    for (int i = 0; i < p; ++i) go.m[i] += w[j] * LD(x[size_t(j) * p + i]);
  }
  for (auto& go : o)
    for (auto& v : go.m) v /= go.W;
  for (int j = 0; j < n; ++j) {
    auto& go = o[grp[j]];
    for (int a = 0; a < p; ++a)
      for (int b = 0; b < p; ++b)
        go.C[a * p + b] += w[j] * (x[size_t(j) * p + a] - go.m[a]) * (x[size_t(j) * p + b] - go.m[b]);
  }
  LD Wt = 0, den = 0;
  std::vector<LD> pm(p, 0);
  Mtx pcov(size_t(p) * p, 0);
  for (auto& go : o) {
    Wt += go.W, den += go.W - go.V / go.W;
    for (int i = 0; i < p; ++i) pm[i] += go.W * go.m[i];
    for (size_t k = 0; k < pcov.size(); ++k) pcov[k] += go.C[k];
  }
  const std::vector<int32_t> gsel = {1, 0, 1, 1};
  std::vector<std::vector<double>> results;
  for (const ThreadingServices* th : {qor_threading_sequential(), threads_table(2)})
    for (int32_t gst : {0, 2}) {
      int32_t pp = p, nn = n, cols = HOX_SS_STORAGE_COLUMNS, full = 0;
      std::vector<double> pmean(p, -7), pc(size_t(p) * p, -7), gmean(size_t(p) * 3, -7);
      std::vector<double> gcov(size_t(3) * (gst == 0 ? p * p : p * (p + 1) / 2), -7);
      HoxSSTask* t = nullptr;
      ASSERT_EQ(__hoxdSSNewTask(&t, &pp, &nn, &cols, x.data(), w.data(), nullptr, nullptr), 0);
      __hoxdSSEditPooledCovariance(t, grp.data(), pmean.data(), pc.data(), gsel.data(), gmean.data(), gcov.data());
      __hoxiSSEditTask(t, HOX_SS_ED_POOLED_COV_STORAGE, &full);
      __hoxiSSEditTask(t, HOX_SS_ED_GROUP_COV_STORAGE, &gst);
      const uint64_t all = HOX_SS_EST_POOLED_MEAN | HOX_SS_EST_POOLED_COV | HOX_SS_EST_GROUP_MEAN | HOX_SS_EST_GROUP_COV;
      ASSERT_EQ(_hoxdSSPooledCovariance(t, all, HOX_SS_METHOD_ONE_PASS, th), 0);
      const int sites = sweep_allocation_failures([&] { return _hoxdSSPooledCovariance(t, all, HOX_SS_METHOD_ONE_PASS, th); },
                                                  HOX_SS_ERR_NO_MEMORY);
      EXPECT_EQ(sites, 1);
      __hoxSSDeleteTask(&t);
      for (int i = 0; i < p; ++i) {
        EXPECT_NEAR(pmean[i], double(pm[i] / Wt), 1e-13 * 3e3);
        for (int j = 0; j < p; ++j) {
          const LD want = pcov[i * p + j] / den;
          EXPECT_NEAR(pc[size_t(i) * p + j], double(want), 1e-13 * std::sqrt(double(pcov[i * p + i] * pcov[j * p + j])) / double(den));
        }
      }
      int s = 0;
      for (int gg = 0; gg < G; ++gg) {
        if (!gsel[gg]) continue;
        const auto& go = o[gg];
        const LD div = go.W - go.V / go.W;
        for (int i = 0; i < p; ++i) {
          EXPECT_NEAR(gmean[size_t(s) * p + i], double(go.m[i]), 1e-13 * 3e3);
          for (int j = 0; j < p; ++j) {
            const int msize = gst == 0 ? p * p : p * (p + 1) / 2;
            std::vector<double> one(gcov.begin() + s * msize, gcov.begin() + (s + 1) * msize);
            EXPECT_NEAR(double(unpack(one, p, gst, i, j)), double(go.C[i * p + j] / div),
                        1e-12 * std::sqrt(double(go.C[i * p + i] * go.C[j * p + j])) / double(div));
          }
        }
        ++s;
      }
      results.push_back(pc);
    }
  // a single group: the pooled covariance is that group's covariance
  {
    int32_t pp = p, nn = n, cols = HOX_SS_STORAGE_COLUMNS, full = 0;
    std::vector<int32_t> one_group(n, 0), sel1 = {1};
    std::vector<double> pc(size_t(p) * p), gmean(p), gcov(size_t(p) * p);
    HoxSSTask* t = nullptr;
    ASSERT_EQ(__hoxdSSNewTask(&t, &pp, &nn, &cols, x.data(), nullptr, nullptr, nullptr), 0);
    __hoxdSSEditPooledCovariance(t, one_group.data(), nullptr, pc.data(), sel1.data(), gmean.data(), gcov.data());
    __hoxiSSEditTask(t, HOX_SS_ED_POOLED_COV_STORAGE, &full);
    __hoxiSSEditTask(t, HOX_SS_ED_GROUP_COV_STORAGE, &full);
    ASSERT_EQ(_hoxdSSPooledCovariance(t, HOX_SS_EST_POOLED_COV | HOX_SS_EST_GROUP_COV | HOX_SS_EST_GROUP_MEAN,
                                      HOX_SS_METHOD_ONE_PASS, threads_table(2)), 0);
    EXPECT_EQ(pc, gcov);
    __hoxSSDeleteTask(&t);
  }
}

TEST(PooledCovariance, StatusesInOrder) {
  int32_t p = 2, n = 3, rows = HOX_SS_STORAGE_ROWS, bad = 0x40000, full = 0;
  std::vector<double> x = {1, 2, 3, 4, 5, 6}, pm(2, -7), pc(4, -7), gm(2, -7), gc(4, -7);
  std::vector<int32_t> grp = {0, 0, -1}, gsel = {1};
  HoxSSTask* t = nullptr;
  ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &rows, x.data(), nullptr, nullptr, nullptr), 0);
  const uint64_t all = HOX_SS_EST_POOLED_MEAN | HOX_SS_EST_POOLED_COV | HOX_SS_EST_GROUP_MEAN | HOX_SS_EST_GROUP_COV;
  auto run = [&](uint64_t m = HOX_SS_METHOD_ONE_PASS) { return _hoxdSSPooledCovariance(t, all, m, nullptr); };
  __hoxiSSEditTask(t, HOX_SS_ED_OBSERV_STORAGE, &bad);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);
  __hoxiSSEditTask(t, HOX_SS_ED_OBSERV_STORAGE, &rows);
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_GROUPS);
  __hoxiSSEditTask(t, HOX_SS_ED_GROUP_INDC, grp.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_POOLED_MEAN);
  __hoxdSSEditTask(t, HOX_SS_ED_POOLED_MEAN, pm.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxiSSEditTask(t, HOX_SS_ED_POOLED_COV_STORAGE, &full);
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_POOLED_COV);
  __hoxdSSEditTask(t, HOX_SS_ED_POOLED_COV, pc.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_GROUPS);
  __hoxiSSEditTask(t, HOX_SS_ED_GROUP_COV_INDC, gsel.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_GROUP_MEAN);
  __hoxdSSEditTask(t, HOX_SS_ED_GROUP_MEAN, gm.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxiSSEditTask(t, HOX_SS_ED_GROUP_COV_STORAGE, &full);
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_GROUP_COV);
  __hoxdSSEditTask(t, HOX_SS_ED_GROUP_COV, gc.data());
  EXPECT_EQ(run(HOX_SS_METHOD_FAST), HOX_SS_ERR_BAD_METHOD);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_GROUP_INDC);  // a negative group number
  for (auto* v : {&pm, &pc, &gm, &gc}) EXPECT_EQ(*v, std::vector<double>(v->size(), -7));
  grp[2] = 0;
  ASSERT_EQ(run(), 0);
  EXPECT_EQ(pm, (std::vector<double>{2, 5}));
  EXPECT_EQ(pc, (std::vector<double>{1, 1, 1, 1}));
  __hoxSSDeleteTask(&t);
}

// ---- Mahalanobis distances ---------------------------------------------------------------------------
TEST(MahDistance, AgainstCholeskySolve) {
  const int p = 5, n = 700;
  const Mtx S = random_spd(p, 8);
  const Mtx Si = inverse(S, p);
  // the Cholesky factor of S, for the oracle: d^2 = z^T S^-1 z = |L^-1 z|^2
  Mtx Lc(size_t(p) * p, 0);
  for (int i = 0; i < p; ++i)
    for (int j = 0; j <= i; ++j) {
      LD s = S[i * p + j];
      for (int k = 0; k < j; ++k) s -= Lc[i * p + k] * Lc[j * p + k];
      Lc[i * p + j] = i == j ? std::sqrt(s) : s / Lc[j * p + j];
    }
  std::mt19937_64 g(4);
  std::normal_distribution<double> nd;
  std::vector<double> x(size_t(p) * n), mean = {1, -2, 3, 0.5, 10}, inv(size_t(p) * p), out(n, -7);
  for (auto& v : x) v = nd(g) * 3;
  for (size_t k = 0; k < inv.size(); ++k) inv[k] = double(Si[k]);
  for (bool rows : {true, false}) {
    int32_t pp = p, nn = n, st = rows ? HOX_SS_STORAGE_ROWS : HOX_SS_STORAGE_COLUMNS, first = 17, end = 650;
    HoxSSTask* t = nullptr;
    ASSERT_EQ(__hoxdSSNewTask(&t, &pp, &nn, &st, x.data(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(_hoxdSSMahDistance(t), HOX_SS_ERR_BAD_OBSERV_COUNT);
    t->mahal_first = &first;
    t->mahal_end = &end;
    EXPECT_EQ(_hoxdSSMahDistance(t), HOX_SS_ERR_NULL_MEAN);
    t->mahal_mean = mean.data();
    EXPECT_EQ(_hoxdSSMahDistance(t), HOX_SS_ERR_NULL_COV);
    t->mahal_inv_cov = inv.data();
    t->mahal_out = out.data();
    ASSERT_EQ(_hoxdSSMahDistance(t), 0);
    for (int j = first; j < end; ++j) {
      std::vector<LD> y(p);
      for (int i = 0; i < p; ++i) {
        LD s = LD(rows ? x[size_t(i) * n + j] : x[size_t(j) * p + i]) - mean[i];
        for (int k = 0; k < i; ++k) s -= Lc[i * p + k] * y[k];
        y[i] = s / Lc[i * p + i];
      }
      LD d2 = 0;
      for (LD v : y) d2 += v * v;
      EXPECT_NEAR(out[j - first], double(std::sqrt(d2)), 1e-12 * double(std::sqrt(d2))) << j;
    }
    EXPECT_EQ(out[end - first], -7);
    EXPECT_EQ(sweep_allocation_failures([&] { return _hoxdSSMahDistance(t); }, HOX_SS_ERR_NO_MEMORY), 1);
    __hoxSSDeleteTask(&t);
  }
}

// ---- correlation parametrization -----------------------------------------------------------------------
// Smallest eigenvalue of a symmetric matrix by cyclic Jacobi rotations in long double.
LD smallest_eigenvalue(Mtx a, int p) {
  for (int sweep = 0; sweep < 60; ++sweep)
    for (int i = 0; i < p; ++i)
      for (int j = i + 1; j < p; ++j) {
        if (std::fabs(a[i * p + j]) < 1e-30L) continue;
        const LD th = (a[j * p + j] - a[i * p + i]) / (2 * a[i * p + j]);
        const LD tt = (th >= 0 ? 1 : -1) / (std::fabs(th) + std::sqrt(th * th + 1));
        const LD c = 1 / std::sqrt(tt * tt + 1), s = tt * c;
        for (int k = 0; k < p; ++k) {
          const LD u = a[k * p + i], v = a[k * p + j];
          a[k * p + i] = c * u - s * v, a[k * p + j] = s * u + c * v;
        }
        for (int k = 0; k < p; ++k) {
          const LD u = a[i * p + k], v = a[j * p + k];
          a[i * p + k] = c * u - s * v, a[j * p + k] = s * u + c * v;
        }
      }
  LD m = a[0];
  for (int i = 1; i < p; ++i) m = std::min(m, a[i * p + i]);
  return m;
}

TEST(CorParametrization, ValidUnchangedIndefiniteRepairedStatuses) {
  const int p = 5;
  Mtx S = random_spd(p, 12);
  Mtx R(size_t(p) * p);
  for (int i = 0; i < p; ++i)
    for (int j = 0; j < p; ++j) R[i * p + j] = S[i * p + j] / std::sqrt(S[i * p + i] * S[j * p + j]);
  for (int st_in : {0, 1, 2})
    for (int st_out : {0, 2}) {
      int32_t pp = p, n = 1, obs = HOX_SS_STORAGE_ROWS, sin = st_in, sout = st_out;
      std::vector<double> cor = pack<double>(R, p, st_in), out(st_out == 0 ? p * p : p * (p + 1) / 2, -7);
      HoxSSTask* t = nullptr;
      ASSERT_EQ(__hoxdSSNewTask(&t, &pp, &n, &obs, nullptr, nullptr, nullptr, nullptr), 0);
      __hoxdSSEditMtxParametrz(t, cor.data(), &sin, out.data(), &sout);
      ASSERT_EQ(_hoxdSSCorParametrization(t, 0, HOX_SS_METHOD_PARAMETRIZE, nullptr), 0);
      for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j) EXPECT_NEAR(double(unpack(out, p, st_out, i, j)), double(R[i * p + j]), 1e-14);
      __hoxSSDeleteTask(&t);
    }
  // indefinite: eigenvalues of [[1, .9, -.9], [.9, 1, .9], [-.9, .9, 1]] include a negative one
  {
    const Mtx A = {1, .9L, -.9L, .9L, 1, .9L, -.9L, .9L, 1};
    ASSERT_LT(smallest_eigenvalue(A, 3), -0.5);
    int32_t pp = 3, n = 1, obs = HOX_SS_STORAGE_ROWS, full = 0;
    std::vector<float> cor = pack<float>(A, 3, 0), out(9, -7);
    HoxSSTask* t = nullptr;
    ASSERT_EQ(__hoxsSSNewTask(&t, &pp, &n, &obs, nullptr, nullptr, nullptr, nullptr), 0);
    __hoxsSSEditMtxParametrz(t, cor.data(), &full, out.data(), &full);
    ASSERT_EQ(_hoxsSSCorParametrization(t, 0, HOX_SS_METHOD_PARAMETRIZE, nullptr), 0);
    Mtx O(9);
    for (int k = 0; k < 9; ++k) O[k] = out[k];
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out[i * 4], 1.0f);
    EXPECT_GT(smallest_eigenvalue(O, 3), -1e-6);
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) EXPECT_EQ(out[i * 3 + j], out[j * 3 + i]);
    // the same matrix with its sign pattern kept: still a correlation-like matrix
    EXPECT_GT(out[1], 0);
    EXPECT_LT(out[2], 0);
    EXPECT_EQ(sweep_allocation_failures([&] { return _hoxsSSCorParametrization(t, 0, HOX_SS_METHOD_PARAMETRIZE, nullptr); },
                                        HOX_SS_ERR_NO_MEMORY), 1);
    __hoxSSDeleteTask(&t);
  }
  // statuses in order
  {
    int32_t pp = 2, n = 1, obs = HOX_SS_STORAGE_ROWS, full = 0, packed = 1, bad = 3;
    std::vector<double> cor = {0, 0, 0, 0}, out(4, -7);
    HoxSSTask* t = nullptr;
    ASSERT_EQ(__hoxdSSNewTask(&t, &pp, &n, &obs, nullptr, nullptr, nullptr, nullptr), 0);
    auto run = [&](uint64_t m = HOX_SS_METHOD_PARAMETRIZE) { return _hoxdSSCorParametrization(t, 0, m, nullptr); };
    pp = 0;
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_DIMENSION);
    pp = 2;
    EXPECT_EQ(run(), HOX_SS_ERR_NULL_COR);
    __hoxdSSEditTask(t, HOX_SS_ED_COR, cor.data());
    EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
    __hoxiSSEditTask(t, HOX_SS_ED_COR_STORAGE, &bad);
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);
    __hoxiSSEditTask(t, HOX_SS_ED_COR_STORAGE, &packed);
    EXPECT_EQ(run(), HOX_SS_ERR_NULL_PARAMTR_COR);
    __hoxdSSEditTask(t, HOX_SS_ED_PARAMTR_COR, cor.data());
    EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
    __hoxiSSEditTask(t, HOX_SS_ED_PARAMTR_COR_STORAGE, &bad);
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);
    __hoxiSSEditTask(t, HOX_SS_ED_PARAMTR_COR_STORAGE, &full);
    EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);  // full output over its own packed input
    __hoxdSSEditTask(t, HOX_SS_ED_PARAMTR_COR, out.data());
    EXPECT_EQ(run(HOX_SS_METHOD_FAST), HOX_SS_ERR_BAD_METHOD);
    EXPECT_EQ(run(), HOX_SS_ERR_PARAMTR_FLOORED_ALL);  // the zero matrix: every eigenvalue raised
    EXPECT_EQ(out, std::vector<double>(4, -7));
    __hoxSSDeleteTask(&t);
  }
}

}  // namespace
}  // namespace qor::test::ss
