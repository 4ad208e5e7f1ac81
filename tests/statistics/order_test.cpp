// Order statistics: quantiles and order statistics, sort, median and mean absolute deviation,
// weighted median, minimum and maximum. Oracles: std::sort with the interpolation rule in long
// double, numpy's default quantile (values printed by numpy 1.24), hand-worked cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "moments_runner.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

namespace qor::test::ss {
namespace {

template <class T>
struct Api;
template <>
struct Api<double> {
  static int32_t make(HoxSSTask** t, const int32_t* p, const int32_t* n, const int32_t* s, const double* x,
                      const double* w, const int32_t* ind) {
    return __hoxdSSNewTask(t, p, n, s, x, w, ind, nullptr);
  }
  static int32_t edit(HoxSSTask* t, int64_t id, const double* a) { return __hoxdSSEditTask(t, id, a); }
  static int32_t quantiles(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxdSSQuantiles(t, e, m, th); }
  static int32_t sort(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxdSSSort(t, e, m, th); }
  static int32_t mad(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxdSSMAD(t, e, m, th); }
  static int32_t minmax(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxdSSMinmax(t, e, m, th); }
  static int32_t wmedian(HoxSSTask* t) { return _hoxdSSWMedian(t); }
};
template <>
struct Api<float> {
  static int32_t make(HoxSSTask** t, const int32_t* p, const int32_t* n, const int32_t* s, const float* x,
                      const float* w, const int32_t* ind) {
    return __hoxsSSNewTask(t, p, n, s, x, w, ind, nullptr);
  }
  static int32_t edit(HoxSSTask* t, int64_t id, const float* a) { return __hoxsSSEditTask(t, id, a); }
  static int32_t quantiles(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxsSSQuantiles(t, e, m, th); }
  static int32_t sort(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxsSSSort(t, e, m, th); }
  static int32_t mad(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxsSSMAD(t, e, m, th); }
  static int32_t minmax(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) { return _hoxsSSMinmax(t, e, m, th); }
  static int32_t wmedian(HoxSSTask* t) { return _hoxsSSWMedian(t); }
};

// A task over a p x n matrix (variable i, observation j) in rows or columns storage.
template <class T>
struct Fixture {
  int32_t p, n, storage;
  std::vector<T> x, w;
  std::vector<int32_t> ind;
  HoxSSTask* t = nullptr;
  int32_t made;  // the creator's status
  Fixture(const std::vector<std::vector<T>>& vars, bool rows, std::vector<T> weights = {},
          std::vector<int32_t> indices = {})
      : p(int32_t(vars.size())), n(int32_t(vars[0].size())),
        storage(rows ? HOX_SS_STORAGE_ROWS : HOX_SS_STORAGE_COLUMNS), w(std::move(weights)), ind(std::move(indices)) {
    x.resize(size_t(p) * n);
    for (int i = 0; i < p; ++i)
      for (int j = 0; j < n; ++j) (rows ? x[size_t(i) * n + j] : x[size_t(j) * p + i]) = vars[i][j];
    made = Api<T>::make(&t, &p, &n, &storage, x.data(), w.empty() ? nullptr : w.data(),
                        ind.empty() ? nullptr : ind.data());
  }
  ~Fixture() { __hoxSSDeleteTask(&t); }
};

template <class T>
std::vector<std::vector<T>> random_vars(int p, int n, unsigned seed, bool ties = false) {
  std::mt19937_64 g(seed);
  std::normal_distribution<double> nd(3, 10);
  std::vector<std::vector<T>> v(p, std::vector<T>(n));
  for (auto& r : v)
    for (auto& e : r) e = ties ? T(std::floor(nd(g) / 4)) : T(nd(g));
  return v;
}

// The quantile of order q of sorted s (h = q (n - 1), linear), in long double.
template <class T>
long double oracle_quantile(const std::vector<T>& sorted, double q) {
  // h as the definition computes it, in double (its rounding moves the result by up to
  // ulp(h) (b - a)); the interpolation itself in long double
  const long double h = q * double(sorted.size() - 1);
  const size_t k = static_cast<size_t>(h);
  const long double f = h - k;
  const long double a = sorted[k], b = sorted[std::min(k + 1, sorted.size() - 1)];
  return a + f * (b - a);
}

template <class T>
void check_quantiles(bool rows, int m_orders, bool order_stats, const ThreadingServices* th) {
  const int p = 3, n = int(scaled(1001, 101));
  const auto vars = random_vars<T>(p, n, 11 + m_orders, m_orders > 16);
  Fixture<T> f(vars, rows);
  std::vector<T> orders(m_orders), qs(size_t(p) * m_orders, T(-7)), os(size_t(p) * n, T(-7));
  for (int k = 0; k < m_orders; ++k) orders[k] = T(k == 0 ? 0 : k == m_orders - 1 ? 1 : (k * 0.37 - std::floor(k * 0.37)));
  const int32_t m = m_orders, os_storage = rows ? HOX_SS_STORAGE_COLUMNS : HOX_SS_STORAGE_ROWS;
  ASSERT_EQ(__hoxiSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER_N, &m), 0);
  Api<T>::edit(f.t, HOX_SS_ED_QUANT_ORDER, orders.data());
  Api<T>::edit(f.t, HOX_SS_ED_QUANT_QUANTILES, qs.data());
  Api<T>::edit(f.t, HOX_SS_ED_ORDER_STATS, os.data());
  __hoxiSSEditTask(f.t, HOX_SS_ED_ORDER_STATS_STORAGE, &os_storage);
  const uint64_t est = HOX_SS_EST_QUANTILES | (order_stats ? HOX_SS_EST_ORDER_STATS : 0);
  ASSERT_EQ(Api<T>::quantiles(f.t, est, HOX_SS_METHOD_FAST, th), 0);
  for (int i = 0; i < p; ++i) {
    std::vector<T> s = vars[i];
    std::sort(s.begin(), s.end());
    for (int k = 0; k < m; ++k) {
      const long double want = oracle_quantile(s, orders[k]);
      const T got = qs[size_t(i) * m + k];
      // interpolation between neighbours of opposite signs cancels: the error scales with them
      const size_t lo = size_t(orders[k] * (n - 1));
      const double scale = std::max(std::fabs(double(s[lo])), std::fabs(double(s[std::min<size_t>(lo + 1, n - 1)])));
      EXPECT_NEAR(double(got), double(want), 2 * std::numeric_limits<T>::epsilon() * scale)
          << "variable " << i << " order " << orders[k];
    }
    for (int j = 0; j < n; ++j)
      ASSERT_EQ(os[os_storage == HOX_SS_STORAGE_ROWS ? size_t(i) * n + j : size_t(j) * p + i],
                order_stats ? s[j] : T(-7));
  }
}

TEST(Quantiles, EqualSortedInterpolationAndStdSort) {
  const ThreadingServices* seq = qor_threading_sequential();
  for (bool rows : {true, false}) {
    check_quantiles<double>(rows, 7, false, seq);   // selection
    check_quantiles<double>(rows, 23, false, seq);  // sort (many orders, ties)
    check_quantiles<double>(rows, 5, true, threads_table(2));
    check_quantiles<float>(rows, 7, false, threads_table(2));
    check_quantiles<float>(rows, 5, true, seq);
  }
}

// Long variables select through a histogram of the keys' top bits: spread, tied, constant and
// two-valued data, both precisions, against std::sort; the median absolute deviation too.
template <class T>
void check_long_selection() {
  const int n = 270000;  // above the histogram path's threshold, whatever the test scale
  std::mt19937_64 g(5);
  std::normal_distribution<double> nd(0, 1);
  std::vector<std::vector<T>> vars(4, std::vector<T>(n));
  for (int j = 0; j < n; ++j) {
    vars[0][j] = T(nd(g));
    vars[1][j] = T(std::floor(nd(g) * 3));
    vars[2][j] = T(2.5);
    vars[3][j] = j % 3 ? T(-1) : T(1e30);
  }
  Fixture<T> f(vars, true);
  std::vector<T> orders = {0, 0.05, 0.5, 0.95, 1}, qs(4 * 5), md(4);
  const int32_t m = 5;
  __hoxiSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER_N, &m);
  Api<T>::edit(f.t, HOX_SS_ED_QUANT_ORDER, orders.data());
  Api<T>::edit(f.t, HOX_SS_ED_QUANT_QUANTILES, qs.data());
  Api<T>::edit(f.t, HOX_SS_ED_MDAD, md.data());
  ASSERT_EQ(Api<T>::quantiles(f.t, HOX_SS_EST_QUANTILES, HOX_SS_METHOD_FAST, threads_table(2)), 0);
  ASSERT_EQ(Api<T>::mad(f.t, HOX_SS_EST_MEDIAN_ABS_DEV, HOX_SS_METHOD_FAST, threads_table(2)), 0);
  for (int i = 0; i < 4; ++i) {
    std::vector<T> s = vars[i];
    std::sort(s.begin(), s.end());
    for (int k = 0; k < m; ++k) {
      const long double want = oracle_quantile(s, orders[k]);
      const size_t lo = size_t(orders[k] * (n - 1));
      const double scale = std::max(std::fabs(double(s[lo])), std::fabs(double(s[std::min<size_t>(lo + 1, n - 1)])));
      EXPECT_NEAR(double(qs[i * m + k]), double(want), 2 * std::numeric_limits<T>::epsilon() * scale) << i << " " << orders[k];
    }
    const T med = T(oracle_quantile(s, 0.5));
    std::vector<T> dev(n);
    for (int j = 0; j < n; ++j) dev[j] = T(std::fabs(vars[i][j] - double(med)));
    std::sort(dev.begin(), dev.end());
    EXPECT_EQ(md[i], T(oracle_quantile(dev, 0.5))) << i;
  }
}

TEST(Quantiles, LongVariablesSelectByHistogram) {
  check_long_selection<double>();
  check_long_selection<float>();
}

TEST(Quantiles, NumpyDefaultOnAFixedSet) {
  // numpy.quantile(x, q) (linear), printed by numpy 1.24; exact where both are exact.
  const std::vector<double> x = {3.5, -1.25, 7, 2, 2, 9.75, 0.5, -4, 6, 1.5, 8};
  const std::vector<double> orders = {0, 0.1, 0.25, 0.33, 0.5, 0.9, 1};
  const double odd[] = {-4.0, -1.25, 1.0, 1.6500000000000001, 2.0, 8.0, 9.75};
  const double even[] = {-4.0, -1.525, 0.75, 1.4700000000000002, 2.0, 7.274999999999999, 9.75};
  for (int len : {11, 10}) {
    Fixture<double> f({std::vector<double>(x.begin(), x.begin() + len)}, true);
    std::vector<double> qs(orders.size());
    const int32_t m = int32_t(orders.size());
    __hoxiSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER_N, &m);
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER, orders.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_QUANTILES, qs.data());
    ASSERT_EQ(_hoxdSSQuantiles(f.t, HOX_SS_EST_QUANTILES, HOX_SS_METHOD_FAST, nullptr), 0);
    const double* want = len == 11 ? odd : even;
    for (size_t k = 0; k < orders.size(); ++k) {
      const bool exact = want[k] == std::round(want[k] * 4) / 4;  // quarter-integers: both exact
      if (exact) EXPECT_EQ(qs[k], want[k]) << len << " " << orders[k];
      else EXPECT_NEAR(qs[k], want[k], 4e-16 * std::fabs(want[k])) << len << " " << orders[k];
    }
  }
}

TEST(Quantiles, EdgesSingleObservationInfinitiesAndSelection) {
  const std::vector<double> orders = {0, 0.25, 0.5, 1};
  const int32_t m = 4;
  {  // n = 1: every quantile is the observation
    Fixture<double> f({{2.5}, {-1}}, false);
    std::vector<double> qs(8);
    __hoxiSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER_N, &m);
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER, orders.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_QUANTILES, qs.data());
    ASSERT_EQ(_hoxdSSQuantiles(f.t, HOX_SS_EST_QUANTILES, HOX_SS_METHOD_FAST, nullptr), 0);
    EXPECT_EQ(qs, (std::vector<double>{2.5, 2.5, 2.5, 2.5, -1, -1, -1, -1}));
  }
  {  // an infinite neighbour at weight 0 does not make NaN; unselected outputs stay untouched
    const double inf = INFINITY;
    Fixture<double> f({{inf, 1, 2, -inf, 3}, {4, 3, 2, 1, 0}}, true, {}, {0, 1});
    std::vector<double> qs(8, -7);
    __hoxiSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER_N, &m);
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER, orders.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_QUANTILES, qs.data());
    ASSERT_EQ(_hoxdSSQuantiles(f.t, HOX_SS_EST_QUANTILES, HOX_SS_METHOD_FAST, nullptr), 0);
    EXPECT_EQ(qs, (std::vector<double>{-7, -7, -7, -7, 0, 1, 2, 4}));
    f.ind = {1, 0};
    ASSERT_EQ(_hoxdSSQuantiles(f.t, HOX_SS_EST_QUANTILES, HOX_SS_METHOD_FAST, nullptr), 0);
    EXPECT_EQ(qs[0], -inf);
    EXPECT_EQ(qs[1], 1);
    EXPECT_EQ(qs[2], 2);
    EXPECT_EQ(qs[3], inf);
  }
}

TEST(Quantiles, StatusesInOrderAndNothingWritten) {
  Fixture<double> f({{1, 2, 3}, {4, 5, 6}}, true);
  std::vector<double> orders = {0.5, -0.1}, qs(4, -7), os(6, -7);
  int32_t m = 2, bad = 0x40000, cols = HOX_SS_STORAGE_COLUMNS;
  const uint64_t both = HOX_SS_EST_QUANTILES | HOX_SS_EST_ORDER_STATS;
  auto run = [&](uint64_t e = HOX_SS_EST_QUANTILES | HOX_SS_EST_ORDER_STATS, uint64_t me = HOX_SS_METHOD_FAST) {
    return _hoxdSSQuantiles(f.t, e, me, nullptr);
  };
  EXPECT_EQ(_hoxdSSQuantiles(nullptr, both, HOX_SS_METHOD_FAST, nullptr), HOX_SS_ERR_NULL_TASK);
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_STORAGE, &bad);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_STORAGE, &f.storage);
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_QUANTILES);
  __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_QUANTILES, qs.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_QUANT_ORDER);
  __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER, orders.data());
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_QUANT_ORDER_N);
  m = -1;
  __hoxiSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER_N, &m);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_QUANT_ORDER_N);
  m = 2;
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_QUANT_ORDER_N);  // order -0.1
  orders[1] = 1.5;
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_QUANT_ORDER_N);
  orders[1] = NAN;
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_QUANT_ORDER_N);
  orders[1] = 1;
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_ORDER_STATS);
  EXPECT_EQ(run(HOX_SS_EST_QUANTILES, 0), HOX_SS_ERR_BAD_METHOD);  // order statistics not asked
  __hoxdSSEditTask(f.t, HOX_SS_ED_ORDER_STATS, os.data());
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxiSSEditTask(f.t, HOX_SS_ED_ORDER_STATS_STORAGE, &bad);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);
  __hoxiSSEditTask(f.t, HOX_SS_ED_ORDER_STATS_STORAGE, &cols);
  EXPECT_EQ(run(both, HOX_SS_METHOD_ONE_PASS), HOX_SS_ERR_BAD_METHOD);
  EXPECT_EQ(qs, std::vector<double>(4, -7));
  EXPECT_EQ(os, std::vector<double>(6, -7));
  int32_t zero = 0;
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_N, &zero);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_OBSERV_COUNT);
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_N, &f.n);
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(qs, (std::vector<double>{2, 3, 5, 6}));
  EXPECT_EQ(os, (std::vector<double>{1, 4, 2, 5, 3, 6}));
}

// ---- sort -----------------------------------------------------------------------------------------
TEST(Sort, EveryLayoutAndInPlaceEqualStdSort) {
  const int p = 3, n = int(scaled(2000, 200));
  const auto vars = random_vars<double>(p, n, 5, true);
  for (bool rows : {true, false})
    for (int32_t out_storage : {HOX_SS_STORAGE_ROWS, HOX_SS_STORAGE_COLUMNS}) {
      Fixture<double> f(vars, rows, {}, {1, 0, 1});
      std::vector<double> out(size_t(p) * n, -7);
      __hoxdSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV, out.data());
      __hoxiSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &out_storage);
      ASSERT_EQ(_hoxdSSSort(f.t, 0, HOX_SS_METHOD_RADIX_SORT, threads_table(2)), 0);
      for (int i = 0; i < p; ++i) {
        std::vector<double> s = vars[i];
        std::sort(s.begin(), s.end());
        for (int j = 0; j < n; ++j) {
          const double got = out[out_storage == HOX_SS_STORAGE_ROWS ? size_t(i) * n + j : size_t(j) * p + i];
          ASSERT_EQ(got, i == 1 ? -7 : s[j]) << rows << " " << out_storage;
        }
      }
    }
  for (bool rows : {true, false}) {  // in place: every variable sorted where it lies
    Fixture<float> f(random_vars<float>(p, n, 6), rows);
    __hoxsSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV, f.x.data());
    __hoxiSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &f.storage);
    std::vector<float> want = f.x;
    if (rows) for (int i = 0; i < p; ++i) std::sort(want.begin() + size_t(i) * n, want.begin() + size_t(i + 1) * n);
    ASSERT_EQ(_hoxsSSSort(f.t, 0, HOX_SS_METHOD_RADIX_SORT, qor_threading_sequential()), 0);
    if (!rows)
      for (int i = 0; i < p; ++i) {
        std::vector<float> col(n);
        for (int j = 0; j < n; ++j) col[j] = want[size_t(j) * p + i];
        std::sort(col.begin(), col.end());
        for (int j = 0; j < n; ++j) want[size_t(j) * p + i] = col[j];
      }
    EXPECT_EQ(f.x, want);
  }
}

TEST(Sort, StatusesInOrder) {
  Fixture<double> f({{3, 1, 2}, {9, 8, 7}}, true, {}, {1, 1});
  std::vector<double> out(6, -7);
  int32_t rows = HOX_SS_STORAGE_ROWS, cols = HOX_SS_STORAGE_COLUMNS, bad = 0x40000, bad_rows = 0x50000;
  auto run = [&](uint64_t me = HOX_SS_METHOD_RADIX_SORT) { return _hoxdSSSort(f.t, 0, me, nullptr); };
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_SORTED_OBSERV);
  __hoxdSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV, f.x.data());  // in place
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);
  __hoxiSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &cols);
  EXPECT_EQ(run(), HOX_SS_ERR_NULL_STORAGE);  // the layouts disagree
  __hoxiSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &bad_rows);
  EXPECT_EQ(run(), HOX_SS_ERR_SORT_IN_PLACE_WITH_INDC);
  __hoxdSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV, out.data());
  __hoxiSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &bad);
  EXPECT_EQ(run(), HOX_SS_ERR_BAD_STORAGE);
  __hoxiSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &rows);
  EXPECT_EQ(run(HOX_SS_METHOD_FAST), HOX_SS_ERR_BAD_METHOD);
  EXPECT_EQ(out, std::vector<double>(6, -7));
  EXPECT_EQ(run(), 0);
  EXPECT_EQ(out, (std::vector<double>{1, 2, 3, 7, 8, 9}));
}

// ---- absolute deviations ---------------------------------------------------------------------------
TEST(MAD, HandWorkedWithWeightsGivenMeanAndConstants) {
  // x = 1 2 3 4 100: median 3, deviations 2 1 0 1 97 -> median 1; mean 22 -> mean deviation 31.2.
  // weights 1 1 1 0 1: mean 26.5 -> (25.5 + 24.5 + 23.5 + 73.5) / 4 = 36.75 (the zero-weight value
  // does not count). Given mean 3: (2 + 1 + 0 + 1 + 97) / 5 = 20.2. A constant variable: 0.
  for (bool rows : {true, false}) {
    for (bool weighted : {false, true}) {
      Fixture<double> f({{1, 2, 3, 4, 100}, {5, 5, 5, 5, 5}}, rows,
                        weighted ? std::vector<double>{1, 1, 1, 0, 1} : std::vector<double>{});
      std::vector<double> md(2, -7), mn(2, -7);
      __hoxdSSEditTask(f.t, HOX_SS_ED_MDAD, md.data());
      __hoxdSSEditTask(f.t, HOX_SS_ED_MNAD, mn.data());
      ASSERT_EQ(_hoxdSSMAD(f.t, HOX_SS_EST_MEDIAN_ABS_DEV | HOX_SS_EST_MEAN_ABS_DEV, HOX_SS_METHOD_FAST, threads_table(2)), 0);
      EXPECT_EQ(md, (std::vector<double>{1, 0}));  // the median is unweighted
      EXPECT_DOUBLE_EQ(mn[0], weighted ? 36.75 : 31.2);
      EXPECT_EQ(mn[1], 0);
    }
    Fixture<float> f({{1, 2, 3, 4, 100}, {5, 5, 5, 5, 5}}, rows);
    std::vector<float> mn(2, -7), mean = {3, 4};
    __hoxsSSEditTask(f.t, HOX_SS_ED_MNAD, mn.data());
    __hoxsSSEditTask(f.t, HOX_SS_ED_MEAN, mean.data());
    ASSERT_EQ(_hoxsSSMAD(f.t, HOX_SS_EST_MEAN_ABS_DEV, HOX_SS_METHOD_GIVEN_MEAN, nullptr), 0);
    EXPECT_FLOAT_EQ(mn[0], 20.2f);
    EXPECT_EQ(mn[1], 1);
  }
}

TEST(MAD, StatusesInOrder) {
  Fixture<double> f({{1, 2, 3}}, true);
  std::vector<double> md(1, -7), mn(1, -7);
  const uint64_t both = HOX_SS_EST_MEDIAN_ABS_DEV | HOX_SS_EST_MEAN_ABS_DEV;
  int32_t bits = 0x10001;
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_STORAGE, &bits);
  EXPECT_EQ(_hoxdSSMAD(f.t, both, HOX_SS_METHOD_FAST, nullptr), HOX_SS_ERR_BAD_STORAGE);  // compared whole
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_STORAGE, &f.storage);
  EXPECT_EQ(_hoxdSSMAD(f.t, both, HOX_SS_METHOD_GIVEN_MEAN, nullptr), HOX_SS_ERR_BAD_METHOD);
  EXPECT_EQ(_hoxdSSMAD(f.t, both, HOX_SS_METHOD_FAST, nullptr), HOX_SS_ERR_NULL_MDAD);
  __hoxdSSEditTask(f.t, HOX_SS_ED_MDAD, md.data());
  EXPECT_EQ(_hoxdSSMAD(f.t, both, HOX_SS_METHOD_FAST, nullptr), HOX_SS_ERR_NULL_MNAD);
  __hoxdSSEditTask(f.t, HOX_SS_ED_MNAD, mn.data());
  EXPECT_EQ(_hoxdSSMAD(f.t, HOX_SS_EST_MEAN_ABS_DEV, HOX_SS_METHOD_ONE_PASS, nullptr), HOX_SS_ERR_BAD_METHOD);
  EXPECT_EQ(_hoxdSSMAD(f.t, both, HOX_SS_METHOD_FAST | HOX_SS_METHOD_GIVEN_MEAN, nullptr), HOX_SS_ERR_NULL_MEAN);
  EXPECT_EQ(md[0], -7);
  EXPECT_EQ(mn[0], -7);
}

// ---- weighted median ----------------------------------------------------------------------------------
// The rule by hand on x sorted with weights w and order q.
TEST(WMedian, HandWorkedTiesAndZeroWeights) {
  struct Case {
    std::vector<double> x, w;
    double q, want;
  };
  const Case cases[] = {
      // even n, c reaches t exactly at i = 1: average with the next positive-weight value
      {{4, 1, 3, 2}, {1, 1, 1, 1}, 0.5, 2.5},
      // the next value has weight 0: pass it over (x = 3 skipped), average 2 and 4
      {{1, 2, 3, 4}, {1, 1, 0, 2}, 0.5, 3.0},
      // odd n, c == t: x_i itself
      {{1, 2, 3, 4, 5}, {1, 1, 2, 1, 3}, 0.25, 2.0},
      // c > t: interpolate from the previous positive-weight value: t = 2.5, c' = 2 at x = 3
      // (w = 2), k = the value 2 (the 0-weight 2.5 is passed over): 2 + 0.5/2 (3 - 2) = 2.25
      {{1, 2, 2.5, 3, 4, 5}, {1, 1, 0, 2, 0, 1}, 0.5, 2.25},
      // c > t with c' <= 0: the first value
      {{7, 8, 9}, {5, 1, 1}, 0.5, 7.0},
      // ties: x = 2 2 2 5, weights 1 1 1 1, q = 0.5: c == t at the second 2, next positive is 2
      {{2, 5, 2, 2}, {1, 1, 1, 1}, 0.5, 2.0},
      // odd n, c > t, and c' == q (S - w_i): x_i. S = 5, q = 0.5, t = 2.5; c = 3 at x = 3 (w 1),
      // c' = 2 = 0.5 (5 - 1)
      {{1, 2, 3, 4, 5}, {1, 1, 1, 1, 1}, 0.5, 3.0},
  };
  for (const Case& c : cases)
    for (bool rows : {true, false}) {
      Fixture<double> f({c.x, c.x}, rows, c.w);
      std::vector<double> order = {c.q}, out(2, -7);
      __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER, order.data());
      __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_QUANTILES, out.data());
      ASSERT_EQ(_hoxdSSWMedian(f.t), 0);
      EXPECT_EQ(out[0], c.want) << "q " << c.q << " first x " << c.x[0];
      EXPECT_EQ(out[1], c.want);
    }
  Fixture<float> f({{3, 1, 2}}, true);  // no weights: unit weights; q = 0.5, n odd: c = 2 > 1.5
  std::vector<float> order = {0.5f}, out(1, -7);
  EXPECT_EQ(_hoxsSSWMedian(f.t), HOX_SS_ERR_NULL_QUANT_ORDER);
  __hoxsSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER, order.data());
  EXPECT_EQ(_hoxsSSWMedian(f.t), HOX_SS_ERR_NULL_QUANTILES);
  __hoxsSSEditTask(f.t, HOX_SS_ED_QUANT_QUANTILES, out.data());
  ASSERT_EQ(_hoxsSSWMedian(f.t), 0);
  EXPECT_EQ(out[0], 2.0f);  // c' = 1 == 0.5 (3 - 1): x_i
}

// ---- minimum and maximum ----------------------------------------------------------------------------
TEST(Minmax, ContinuesAcrossCallsInEveryLayout) {
  const int p = 3, n = int(scaled(1000, 100));
  const auto vars = random_vars<double>(p, 2 * n, 9);
  for (bool rows : {true, false}) {
    std::vector<double> lo(p, 1e300), hi(p, -1e300);
    lo[2] = hi[2] = -7;  // unselected: untouched
    for (int half = 0; half < 2; ++half) {
      std::vector<std::vector<double>> block(p);
      for (int i = 0; i < p; ++i) block[i].assign(vars[i].begin() + half * n, vars[i].begin() + (half + 1) * n);
      Fixture<double> f(block, rows, {}, {1, 1, 0});
      __hoxdSSEditTask(f.t, HOX_SS_ED_MIN, lo.data());
      __hoxdSSEditTask(f.t, HOX_SS_ED_MAX, hi.data());
      ASSERT_EQ(_hoxdSSMinmax(f.t, HOX_SS_EST_MIN | HOX_SS_EST_MAX, half ? HOX_SS_METHOD_FAST : HOX_SS_METHOD_ONE_PASS, threads_table(2)), 0);
    }
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(lo[i], *std::min_element(vars[i].begin(), vars[i].end()));
      EXPECT_EQ(hi[i], *std::max_element(vars[i].begin(), vars[i].end()));
    }
    EXPECT_EQ(lo[2], -7);
    EXPECT_EQ(hi[2], -7);
  }
  Fixture<float> f({{1, 2}}, false);
  std::vector<float> lo = {0}, hi = {0};
  int32_t bad = 0x40000;
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_STORAGE, &bad);
  EXPECT_EQ(_hoxsSSMinmax(f.t, HOX_SS_EST_MIN, HOX_SS_METHOD_FAST, nullptr), HOX_SS_ERR_BAD_STORAGE);
  __hoxiSSEditTask(f.t, HOX_SS_ED_OBSERV_STORAGE, &f.storage);
  EXPECT_EQ(_hoxsSSMinmax(f.t, HOX_SS_EST_MIN | HOX_SS_EST_MAX, 0, nullptr), HOX_SS_ERR_NULL_MIN);
  __hoxsSSEditTask(f.t, HOX_SS_ED_MIN, lo.data());
  EXPECT_EQ(_hoxsSSMinmax(f.t, HOX_SS_EST_MIN | HOX_SS_EST_MAX, 0, nullptr), HOX_SS_ERR_NULL_MAX);
  __hoxsSSEditTask(f.t, HOX_SS_ED_MAX, hi.data());
  EXPECT_EQ(_hoxsSSMinmax(f.t, HOX_SS_EST_MIN | HOX_SS_EST_MAX, HOX_SS_METHOD_GIVEN_MEAN, nullptr), HOX_SS_ERR_BAD_METHOD);
  ASSERT_EQ(_hoxsSSMinmax(f.t, HOX_SS_EST_MIN | HOX_SS_EST_MAX, HOX_SS_METHOD_FAST, nullptr), 0);
  EXPECT_EQ(lo[0], 0);  // the starting value 0 is below both observations
  EXPECT_EQ(hi[0], 2);
}

// ---- threads and allocation failure ---------------------------------------------------------------------
TEST(OrderStatistics, ThreadsGiveIdenticalResultsAndFailedAllocationsLeakNothing) {
  const int p = 5, n = int(scaled(3000, 300));
  const auto vars = random_vars<double>(p, n, 21, true);
  auto all = [&](const ThreadingServices* th, std::vector<double>& res) {
    Fixture<double> f(vars, false);
    if (f.made) return f.made;
    std::vector<double> orders = {0.1, 0.5, 0.99}, qs(size_t(p) * 3), os(size_t(p) * n), sorted(size_t(p) * n),
                        md(p), mn(p), lo(p, 1e300), hi(p, -1e300);
    const int32_t m = 3, st_rows = HOX_SS_STORAGE_ROWS;
    __hoxiSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER_N, &m);
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_ORDER, orders.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_QUANT_QUANTILES, qs.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_ORDER_STATS, os.data());
    __hoxiSSEditTask(f.t, HOX_SS_ED_ORDER_STATS_STORAGE, &st_rows);
    __hoxdSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV, sorted.data());
    __hoxiSSEditTask(f.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &st_rows);
    __hoxdSSEditTask(f.t, HOX_SS_ED_MDAD, md.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_MNAD, mn.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_MIN, lo.data());
    __hoxdSSEditTask(f.t, HOX_SS_ED_MAX, hi.data());
    int32_t st = _hoxdSSQuantiles(f.t, HOX_SS_EST_QUANTILES, HOX_SS_METHOD_FAST, th);
    if (!st) st = _hoxdSSQuantiles(f.t, HOX_SS_EST_QUANTILES | HOX_SS_EST_ORDER_STATS, HOX_SS_METHOD_FAST, th);
    if (!st) st = _hoxdSSSort(f.t, 0, HOX_SS_METHOD_RADIX_SORT, th);
    if (!st) st = _hoxdSSMAD(f.t, HOX_SS_EST_MEDIAN_ABS_DEV | HOX_SS_EST_MEAN_ABS_DEV, HOX_SS_METHOD_FAST, th);
    if (!st) st = _hoxdSSMinmax(f.t, HOX_SS_EST_MIN | HOX_SS_EST_MAX, HOX_SS_METHOD_FAST, th);
    if (!st) st = _hoxdSSWMedian(f.t);
    res.clear();
    for (auto* v : {&qs, &os, &sorted, &md, &mn, &lo, &hi}) res.insert(res.end(), v->begin(), v->end());
    return st;
  };
  std::vector<double> one, two, scratch;
  ASSERT_EQ(all(qor_threading_sequential(), one), 0);
  ASSERT_EQ(all(threads_table(2), two), 0);
  EXPECT_EQ(one, two);
  const int sites = sweep_allocation_failures([&] { return all(threads_table(2), scratch); }, HOX_SS_ERR_NO_MEMORY);
  EXPECT_GE(sites, 6);
}

}  // namespace
}  // namespace qor::test::ss
