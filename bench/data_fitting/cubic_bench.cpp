// Cubic splines and integration against GSL (gsl_interp_cspline, gsl_interp_akima); scipy's
// numbers come from cubic_scipy.py, run interleaved with this binary (see README.md).
//
//   BM_Cubic_Build_Qor/K:  one function on 1,000,000 random breakpoints, on the calling thread;
//                          K = 0 natural (free ends), 1 natural (not-a-knot), 2 default (free ends),
//                          3 Akima, 4 Bessel (free ends), 5 natural, 4 functions (per breakpoint and
//                          function).
//   BM_Cubic_Build_GSL/K:  gsl_spline_init, K = 0 cspline (natural), 1 akima.
//   BM_Cubic_Eval_*:       values of a natural spline on 100,000 breakpoints at 1,000,000 unsorted
//                          sites (GSL: gsl_spline_eval with an accelerator).
//   BM_Integrate_*:        integrals of that spline over 1,000,000 random limit pairs (GSL:
//                          gsl_spline_eval_integ).
#include <benchmark/benchmark.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_spline.h>

#include <cmath>
#include <random>
#include <vector>

#include "df_bench_data.h"
#include "qor/df.h"

namespace {

using qor_bench_df::partition;
using qor_bench_df::sites;

constexpr int64_t kBuildNx = 1000000;
constexpr int64_t kEvalNx = 100000;
constexpr int64_t kSites = 1000000;

void BM_Cubic_Build_Qor(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int64_t ny = kind == 5 ? 4 : 1;
  const std::vector<double> x = partition(kBuildNx, 1);
  std::vector<double> y(kBuildNx * ny), c(4 * (kBuildNx - 1) * ny);
  for (int64_t i = 0; i < kBuildNx * ny; ++i) y[i] = std::sin(0.01 * x[i % kBuildNx] + double(i / kBuildNx));
  DfTask1D* task = nullptr;
  qor_df_kernel_dNewTask1D(&task, kBuildNx, x.data(), QOR_DF_HINT_NON_UNIFORM, ny, y.data(), QOR_DF_STORAGE_ROWS, 0);
  const int64_t type = kind == 2 ? QOR_DF_TYPE_DEFAULT : kind == 3 ? QOR_DF_TYPE_AKIMA : kind == 4 ? QOR_DF_TYPE_BESSEL
                                                                                                  : QOR_DF_TYPE_NATURAL;
  const int64_t bc = kind == 1 ? QOR_DF_BC_NOT_A_KNOT : kind == 3 ? QOR_DF_BC_NONE : QOR_DF_BC_FREE_END;
  qor_df_kernel_dEditPPSpline1D(task, 4, type, bc, nullptr, 0, nullptr, c.data(), QOR_DF_STORAGE_ROWS);
  auto build = kind == 2   ? qor_df_kernel_dDFDefaultCubicSpline1D
               : kind == 3 ? qor_df_kernel_dDFAkimaCubicSpline1D
               : kind == 4 ? qor_df_kernel_dDFBesselCubicSpline1D
                           : qor_df_kernel_dDFNaturalCubicSpline1D;
  for (auto _ : state) {
    if (build(task, 0, 0, qor_threading_sequential()) != DfOk) state.SkipWithError("construction failed");
    benchmark::DoNotOptimize(c.data());
  }
  qor_df_kernel_DeleteTask(&task);
  state.SetItemsProcessed(state.iterations() * kBuildNx * ny);
}

void BM_Cubic_Build_GSL(benchmark::State& state) {
  const std::vector<double> x = partition(kBuildNx, 1);
  std::vector<double> y(kBuildNx);
  for (int64_t i = 0; i < kBuildNx; ++i) y[i] = std::sin(0.01 * x[i]);
  gsl_set_error_handler_off();
  gsl_spline* sp = gsl_spline_alloc(state.range(0) ? gsl_interp_akima : gsl_interp_cspline, kBuildNx);
  for (auto _ : state) {
    gsl_spline_init(sp, x.data(), y.data(), kBuildNx);
    benchmark::ClobberMemory();
  }
  gsl_spline_free(sp);
  state.SetItemsProcessed(state.iterations() * kBuildNx);
}

// A natural spline on kEvalNx breakpoints, built by the library and by GSL.
struct Built {
  std::vector<double> x, y, c;
  DfTask1D* task = nullptr;
  gsl_spline* sp = nullptr;
  Built() : x(partition(kEvalNx, 3)), y(kEvalNx), c(4 * (kEvalNx - 1)) {
    for (int64_t i = 0; i < kEvalNx; ++i) y[i] = std::sin(0.01 * x[i]);
    qor_df_kernel_dNewTask1D(&task, kEvalNx, x.data(), QOR_DF_HINT_NON_UNIFORM, 1, y.data(), QOR_DF_STORAGE_ROWS, 0);
    qor_df_kernel_dEditPPSpline1D(task, 4, QOR_DF_TYPE_NATURAL, QOR_DF_BC_FREE_END, nullptr, 0, nullptr, c.data(),
                                  QOR_DF_STORAGE_ROWS);
    qor_df_kernel_dDFNaturalCubicSpline1D(task, 0, 0, qor_threading_sequential());
    gsl_set_error_handler_off();
    sp = gsl_spline_alloc(gsl_interp_cspline, kEvalNx);
    gsl_spline_init(sp, x.data(), y.data(), kEvalNx);
  }
  ~Built() {
    qor_df_kernel_DeleteTask(&task);
    gsl_spline_free(sp);
  }
};

void BM_Cubic_Eval_Qor(benchmark::State& state, const ThreadingServices* ts) {
  Built b;
  const std::vector<double> s = sites(kSites, b.x.front(), b.x.back(), 4);
  std::vector<double> r(kSites);
  for (auto _ : state) {
    qor_df_kernel_dDFInterpolate1D(b.task, QOR_DF_REQUEST_VALUES, 0, kSites, s.data(), 0, 0, nullptr, nullptr,
                                   r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, ts);
    benchmark::DoNotOptimize(r.data());
  }
  state.SetItemsProcessed(state.iterations() * kSites);
}
void BM_Cubic_Eval_Qor_Sequential(benchmark::State& s) { BM_Cubic_Eval_Qor(s, qor_threading_sequential()); }
void BM_Cubic_Eval_Qor_OpenMP(benchmark::State& s) { BM_Cubic_Eval_Qor(s, qor_threading_openmp()); }

void BM_Cubic_Eval_GSL(benchmark::State& state) {
  Built b;
  const std::vector<double> s = sites(kSites, b.x.front(), b.x.back(), 4);
  std::vector<double> r(kSites);
  gsl_interp_accel* acc = gsl_interp_accel_alloc();
  for (auto _ : state) {
    for (int64_t k = 0; k < kSites; ++k) r[k] = gsl_spline_eval(b.sp, s[k], acc);
    benchmark::DoNotOptimize(r.data());
  }
  gsl_interp_accel_free(acc);
  state.SetItemsProcessed(state.iterations() * kSites);
}

void BM_Integrate_Qor(benchmark::State& state, const ThreadingServices* ts) {
  Built b;
  const std::vector<double> l = sites(kSites, b.x.front(), b.x.back(), 5);
  const std::vector<double> u = sites(kSites, b.x.front(), b.x.back(), 6);
  std::vector<double> r(kSites);
  for (auto _ : state) {
    qor_df_kernel_dDFIntegrate1D(b.task, 0, kSites, l.data(), 0, u.data(), 0, nullptr, nullptr, r.data(), 0, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, ts);
    benchmark::DoNotOptimize(r.data());
  }
  state.SetItemsProcessed(state.iterations() * kSites);
}
void BM_Integrate_Qor_Sequential(benchmark::State& s) { BM_Integrate_Qor(s, qor_threading_sequential()); }
void BM_Integrate_Qor_OpenMP(benchmark::State& s) { BM_Integrate_Qor(s, qor_threading_openmp()); }

void BM_Integrate_GSL(benchmark::State& state) {
  Built b;
  const std::vector<double> l = sites(kSites, b.x.front(), b.x.back(), 5);
  const std::vector<double> u = sites(kSites, b.x.front(), b.x.back(), 6);
  std::vector<double> r(kSites);
  gsl_interp_accel* acc = gsl_interp_accel_alloc();
  for (auto _ : state) {
    for (int64_t k = 0; k < kSites; ++k)  // GSL wants a <= b
      r[k] = l[k] <= u[k] ? gsl_spline_eval_integ(b.sp, l[k], u[k], acc) : -gsl_spline_eval_integ(b.sp, u[k], l[k], acc);
    benchmark::DoNotOptimize(r.data());
  }
  gsl_interp_accel_free(acc);
  state.SetItemsProcessed(state.iterations() * kSites);
}

}  // namespace

BENCHMARK(BM_Cubic_Build_Qor)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cubic_Build_GSL)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cubic_Eval_Qor_Sequential)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cubic_Eval_Qor_OpenMP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Cubic_Eval_GSL)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Integrate_Qor_Sequential)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Integrate_Qor_OpenMP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Integrate_GSL)->Unit(benchmark::kMillisecond)->UseRealTime();
