// Order statistics and pooled covariance on a 100 x 1,000,000 double matrix (variable by row,
// as numpy's C-ordered (100, 10^6) array with axis=1): three quantiles, the median, the sort,
// streaming quantiles, and pooled covariance against the covariance of the moments method on
// the same data. numpy's times come from bench/statistics/numpy_anchor.py, run interleaved with
// this executable by bench/statistics/order_vs_numpy.sh.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "qor/stats.h"

namespace {

constexpr int32_t kP = 100;
constexpr int32_t kN = 1000000;

// N(0, 1) + a neighbour's share, the same shape as numpy_anchor.py's data.
const std::vector<double>& data() {
  static const std::vector<double> x = [] {
    std::vector<double> v(size_t(kP) * kN);
    std::mt19937_64 g(7);
    std::normal_distribution<double> nd;
    for (auto& e : v) e = nd(g);
    return v;
  }();
  return x;
}

const ThreadingServices* table(int64_t threads) {
  return threads > 1 ? qor_threading_openmp() : qor_threading_sequential();
}

struct Task {
  int32_t p = kP, n = kN, rows = HOX_SS_STORAGE_ROWS;
  HoxSSTask* t = nullptr;
  explicit Task(const double* x, int32_t n_ = kN) : n(n_) { __hoxdSSNewTask(&t, &p, &n, &rows, x, nullptr, nullptr, nullptr); }
  ~Task() { __hoxSSDeleteTask(&t); }
};

void elements(benchmark::State& st, int64_t per_iteration = int64_t(kP) * kN) {
  st.SetItemsProcessed(int64_t(st.iterations()) * per_iteration);
}

// range 0: number of orders (3: 0.05, 0.5, 0.95; 1: the median), range 1: threads
void BM_QorQuantiles(benchmark::State& st) {
  Task task(data().data());
  const int32_t m = int32_t(st.range(0));
  std::vector<double> orders = m == 1 ? std::vector<double>{0.5} : std::vector<double>{0.05, 0.5, 0.95};
  std::vector<double> q(size_t(kP) * m);
  __hoxdSSEditQuantiles(task.t, &m, orders.data(), q.data(), nullptr, nullptr);
  for (auto _ : st) {
    if (_hoxdSSQuantiles(task.t, HOX_SS_EST_QUANTILES, HOX_SS_METHOD_FAST, table(st.range(1)))) st.SkipWithError("status");
    benchmark::DoNotOptimize(q.data());
  }
  elements(st);
}

void BM_QorSort(benchmark::State& st) {
  Task task(data().data());
  static std::vector<double> out(size_t(kP) * kN, 0.0);  // warm: first touched outside the loop
  const int32_t rows = HOX_SS_STORAGE_ROWS;
  __hoxdSSEditTask(task.t, HOX_SS_ED_SORTED_OBSERV, out.data());
  __hoxiSSEditTask(task.t, HOX_SS_ED_SORTED_OBSERV_STORAGE, &rows);
  for (auto _ : st) {
    if (_hoxdSSSort(task.t, 0, HOX_SS_METHOD_RADIX_SORT, table(st.range(0)))) st.SkipWithError("status");
    benchmark::DoNotOptimize(out.data());
  }
  elements(st);
}

// Streaming quantiles over the first variable's 10^6 values repeated: range 0 = block size,
// range 1 = observations per run in millions (10^8 = 100 passes over the variable); eps 1e-3.
void BM_QorStreamQuantiles(benchmark::State& st) {
  const int64_t block = st.range(0), total = st.range(1) * 1000000;
  std::vector<double> orders = {0.05, 0.5, 0.95}, q(3), eps = {1e-3};
  for (auto _ : st) {
    int32_t p = 1, n = 0, rows = HOX_SS_STORAGE_ROWS, m = 0, np = 1;
    HoxSSTask* t = nullptr;
    __hoxdSSNewTask(&t, &p, &n, &rows, nullptr, nullptr, nullptr, nullptr);  // observations set below
    __hoxdSSEditStreamQuantiles(t, &m, orders.data(), q.data(), &np, eps.data());
    for (int64_t j = 0; j < total; j += block) {
      const int64_t start = j % kN;
      n = int32_t(std::min<int64_t>(block, kN - start));
      __hoxdSSEditTask(t, HOX_SS_ED_OBSERV, data().data() + start);
      if (_hoxdSSStreamQuantiles(t, 0, HOX_SS_METHOD_STREAM_QUANTILES, nullptr)) st.SkipWithError("status");
      if (n < block) j -= block - n;
    }
    n = 0;
    m = 3;
    _hoxdSSStreamQuantiles(t, 0, HOX_SS_METHOD_STREAM_QUANTILES, nullptr);
    benchmark::DoNotOptimize(q.data());
    __hoxSSDeleteTask(&t);
  }
  elements(st, total);
}

// Pooled covariance (10 groups, unweighted) against the moments method's covariance on the same
// data (range 0 = 1: pooled, 0: covariance), range 1: threads.
void BM_QorPooledVsCovariance(benchmark::State& st) {
  Task task(data().data());
  const bool pooled = st.range(0) != 0;
  std::vector<int32_t> groups(kN), sel(10, 0);
  for (int32_t j = 0; j < kN; ++j) groups[j] = j % 10;
  std::vector<double> pm(kP), pc(size_t(kP) * kP), gm(10 * kP), mean(kP), cov(size_t(kP) * kP);
  const int32_t full = HOX_SS_MATRIX_FULL;
  __hoxdSSEditPooledCovariance(task.t, groups.data(), pm.data(), pc.data(), sel.data(), gm.data(), nullptr);
  __hoxiSSEditTask(task.t, HOX_SS_ED_POOLED_COV_STORAGE, &full);
  __hoxdSSEditCovCor(task.t, mean.data(), cov.data(), &full, nullptr, nullptr);
  for (auto _ : st) {
    const int32_t s = pooled ? _hoxdSSPooledCovariance(task.t, HOX_SS_EST_POOLED_COV | HOX_SS_EST_POOLED_MEAN,
                                                       HOX_SS_METHOD_ONE_PASS, table(st.range(1)))
                             : _hoxdSSBasic(task.t, HOX_SS_EST_MEAN | HOX_SS_EST_COV, HOX_SS_METHOD_ONE_PASS, table(st.range(1)));
    if (s) st.SkipWithError("status");
    benchmark::DoNotOptimize(pc.data());
  }
  elements(st);
}

#define ORDER_ARGS ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1)
BENCHMARK(BM_QorQuantiles)->ArgNames({"orders", "threads"})->Args({3, 1})->Args({1, 1})->Args({3, 2}) ORDER_ARGS;
BENCHMARK(BM_QorSort)->ArgNames({"threads"})->Args({1})->Args({2}) ORDER_ARGS;
BENCHMARK(BM_QorStreamQuantiles)->ArgNames({"block", "millions"})->Args({1000000, 100})->Args({4096, 10})->Args({1, 1}) ORDER_ARGS;
BENCHMARK(BM_QorPooledVsCovariance)->ArgNames({"pooled", "threads"})->Args({1, 1})->Args({0, 1})->Args({1, 2})->Args({0, 2}) ORDER_ARGS;

}  // namespace
