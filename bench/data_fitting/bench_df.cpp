// Data fitting against the anchors: GSL linear splines (gsl_spline with gsl_interp_accel) and
// std::upper_bound for cell search.
//
//   BM_Build_Eval_*: build a linear spline on 100,000 random breakpoints and evaluate value and
//                    first derivative at N random sites (inside the partition, as GSL requires).
//   BM_Construct_*:  linear, standard quadratic and Subbotin construction of 4 functions on
//                    1,000,000 breakpoints, on the calling thread.
//   BM_Search_*:     cells of 10,000,000 random sites among 1,000,000 breakpoints, with random
//                    gaps (argument 0) or on a jittered uniform grid (argument 1).
// The library runs with the OpenMP threading table (as the tool does) and with the
// sequential one, so both the speed a user gets and the single-thread speed are visible.
#include <benchmark/benchmark.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_spline.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "df_bench_data.h"
#include "qor/df.h"

namespace {

using qor_bench_df::partition;
using qor_bench_df::sites;

constexpr int64_t kEvalNx = 100000;

struct EvalData {
  std::vector<double> x, y, s;
  explicit EvalData(int64_t n) : x(partition(kEvalNx, 1)), y(kEvalNx), s(sites(n, x.front(), x.back(), 2)) {
    for (int64_t i = 0; i < kEvalNx; ++i) y[i] = std::sin(0.01 * x[i]);
  }
};

void BM_Build_Eval_Qor(benchmark::State& state, const ThreadingServices* ts) {
  const int64_t n = state.range(0);
  EvalData d(n);
  std::vector<double> c(2 * (kEvalNx - 1)), r(2 * n);
  DfTask1D* task = nullptr;
  qor_df_kernel_dNewTask1D(&task, kEvalNx, d.x.data(), QOR_DF_HINT_NONE, 1, d.y.data(), QOR_DF_HINT_NONE, 0);
  qor_df_kernel_dEditPPSpline1D(task, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE,
                                nullptr, c.data(), QOR_DF_HINT_NONE);
  const int32_t dorder[] = {1, 1};
  for (auto _ : state) {
    qor_df_kernel_dDFLinearSpline1D(task, 0, 0, ts);
    qor_df_kernel_dDFInterpolate1D(task, QOR_DF_REQUEST_VALUES, 0, n, d.s.data(), QOR_DF_HINT_NONE, 2, dorder, nullptr,
                                   r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, ts);
    benchmark::DoNotOptimize(r.data());
  }
  qor_df_kernel_DeleteTask(&task);
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_Build_Eval_Qor_OpenMP(benchmark::State& s) { BM_Build_Eval_Qor(s, qor_threading_openmp()); }
void BM_Build_Eval_Qor_Sequential(benchmark::State& s) { BM_Build_Eval_Qor(s, qor_threading_sequential()); }

void BM_Build_Eval_GSL(benchmark::State& state) {
  const int64_t n = state.range(0);
  EvalData d(n);
  gsl_set_error_handler_off();
  std::vector<double> r(2 * n);
  gsl_interp_accel* acc = gsl_interp_accel_alloc();
  gsl_spline* sp = gsl_spline_alloc(gsl_interp_linear, kEvalNx);
  for (auto _ : state) {
    gsl_spline_init(sp, d.x.data(), d.y.data(), kEvalNx);
    gsl_interp_accel_reset(acc);
    for (int64_t k = 0; k < n; ++k) {
      r[2 * k] = gsl_spline_eval(sp, d.s[k], acc);
      r[2 * k + 1] = gsl_spline_eval_deriv(sp, d.s[k], acc);
    }
    benchmark::DoNotOptimize(r.data());
  }
  gsl_spline_free(sp);
  gsl_interp_accel_free(acc);
  state.SetItemsProcessed(state.iterations() * n);
}

// Construction alone, on the calling thread: 1,000,000 random breakpoints, 4 functions in rows.
// Argument: 0 linear, 1 standard quadratic, 2 Subbotin quadratic (second derivatives at both
// ends, sub-grid at the cell middles), 3 Subbotin on a uniform partition and sub-grid.
constexpr int64_t kBuildNx = 1000000, kBuildNy = 4;

void BM_Construct_Qor(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const bool uniform = kind == 3;
  static const std::vector<double> xs = partition(kBuildNx, 5);
  std::vector<double> ends{xs.front(), xs.back()};
  std::vector<double> y(kBuildNx * kBuildNy);
  for (int64_t i = 0; i < kBuildNx * kBuildNy; ++i) y[i] = std::sin(0.001 * double(i));
  std::vector<double> c(3 * kBuildNx * kBuildNy), bc{0.5, -0.5};
  DfTask1D* task = nullptr;
  qor_df_kernel_dNewTask1D(&task, kBuildNx, uniform ? ends.data() : xs.data(),
                           uniform ? QOR_DF_HINT_UNIFORM : QOR_DF_HINT_NON_UNIFORM, kBuildNy, y.data(),
                           QOR_DF_STORAGE_ROWS, 0);
  if (kind == 0)
    qor_df_kernel_dEditPPSpline1D(task, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                  QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_STORAGE_ROWS);
  else if (kind == 1)
    qor_df_kernel_dEditPPSpline1D(task, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE,
                                  bc.data(), QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_STORAGE_ROWS);
  else
    qor_df_kernel_dEditPPSpline1D(task, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                  QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_2ND, bc.data(), QOR_DF_IC_NONE, nullptr,
                                  c.data(), QOR_DF_STORAGE_ROWS);
  if (kind >= 2)
    qor_df_kernel_iEditVal(task, DfParamIcType, uniform ? QOR_DF_IC_SUBGRID_UNIFORM : QOR_DF_IC_SUBGRID);
  const ThreadingServices* ts = qor_threading_sequential();
  for (auto _ : state) {
    if (kind == 0)
      qor_df_kernel_dDFLinearSpline1D(task, 0, QOR_DF_METHOD_DEFAULT, ts);
    else
      qor_df_kernel_dDFQuadraticSpline1D(task, 0, QOR_DF_METHOD_DEFAULT, ts);
    benchmark::DoNotOptimize(c.data());
  }
  qor_df_kernel_DeleteTask(&task);
  state.SetItemsProcessed(state.iterations() * (kBuildNx - 1) * kBuildNy);
}

constexpr int64_t kSearchNx = 1000000;
constexpr int64_t kSearchSites = 10000000;

// Breakpoints with independent random gaps (they drift from the straight line by hundreds of
// cells), or a uniform grid moved by up to 30% of a cell (a quasi-uniform partition).
std::vector<double> jittered(int64_t nx, uint64_t seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(-0.3, 0.3);
  std::vector<double> x(nx);
  for (int64_t i = 0; i < nx; ++i) x[i] = double(i) + (i > 0 && i < nx - 1 ? u(g) : 0.0);
  return x;
}

struct SearchData {
  std::vector<double> x, s;
  explicit SearchData(std::vector<double> xs) : x(std::move(xs)), s(sites(kSearchSites, x.front() - 1.0, x.back() + 1.0, 4)) {}
};
SearchData& search_data(bool jitter) {
  static SearchData random_gaps(partition(kSearchNx, 3));
  static SearchData quasi(jittered(kSearchNx, 3));
  return jitter ? quasi : random_gaps;
}

void BM_Search_Qor(benchmark::State& state, int64_t xhint, const ThreadingServices* ts) {
  SearchData& d = search_data(state.range(0) != 0);
  std::vector<int32_t> cell(kSearchSites);
  DfTask1D* task = nullptr;
  qor_df_kernel_dNewTask1D(&task, kSearchNx, d.x.data(), xhint, 0, nullptr, QOR_DF_HINT_NONE, 0);
  for (auto _ : state) {
    qor_df_kernel_dDFSearch1D(task, 0, kSearchSites, d.s.data(), QOR_DF_HINT_NONE, nullptr, cell.data(), nullptr,
                              nullptr, ts);
    benchmark::DoNotOptimize(cell.data());
  }
  qor_df_kernel_DeleteTask(&task);
  state.SetItemsProcessed(state.iterations() * kSearchSites);
}

void BM_Search_Qor_Hybrid_OpenMP(benchmark::State& s) { BM_Search_Qor(s, 0, qor_threading_openmp()); }
void BM_Search_Qor_Hybrid_Sequential(benchmark::State& s) { BM_Search_Qor(s, 0, qor_threading_sequential()); }
void BM_Search_Qor_QuasiUniform_OpenMP(benchmark::State& s) { BM_Search_Qor(s, 2, qor_threading_openmp()); }
void BM_Search_Qor_QuasiUniform_Sequential(benchmark::State& s) { BM_Search_Qor(s, 2, qor_threading_sequential()); }

void BM_Search_UpperBound(benchmark::State& state) {
  SearchData& d = search_data(state.range(0) != 0);
  std::vector<int32_t> cell(kSearchSites);
  for (auto _ : state) {
    for (int64_t k = 0; k < kSearchSites; ++k)
      cell[k] = static_cast<int32_t>(std::upper_bound(d.x.begin(), d.x.end(), d.s[k]) - d.x.begin());
    benchmark::DoNotOptimize(cell.data());
  }
  state.SetItemsProcessed(state.iterations() * kSearchSites);
}

}  // namespace

BENCHMARK(BM_Build_Eval_Qor_OpenMP)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Build_Eval_Qor_Sequential)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Build_Eval_GSL)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Construct_Qor)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();
// Argument: 0 random gaps, 1 jittered uniform grid.
BENCHMARK(BM_Search_Qor_Hybrid_OpenMP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search_Qor_Hybrid_Sequential)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search_Qor_QuasiUniform_OpenMP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search_Qor_QuasiUniform_Sequential)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Search_UpperBound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
