// The error-function inverses, CdfNorm and ExpInt1 against GSL's scalar loops (the routines a
// user of GSL would call: gsl_cdf_ugaussian_Pinv for the inverses, gsl_sf_erfc for CdfNorm,
// gsl_sf_expint_E1), at n = 1,000 and 1,000,000, every slot; single precision calls GSL in
// double. LGamma and TGamma (SLEEF, libm) and Erf, Erfc (libmvec, SLEEF, libm) are in
// functions.cpp. Run interleaved and compare medians of one run:
//   bench_vector_math --benchmark_filter='SpecialGsl' --benchmark_repetitions=5
//     --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <gsl/gsl_cdf.h>
#include <gsl/gsl_sf_erf.h>
#include <gsl/gsl_sf_expint.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "qor/vm.h"

namespace {

template <class T>
using Kernel = void (*)(int32_t, const T*, T*);

constexpr double kSqrtHalf = 0.70710678118654752440;

template <class T>
void run(benchmark::State& st, double lo, double hi, Kernel<T> k, double (*gsl)(double)) {
  const int64_t n = st.range(0);
  std::mt19937_64 g(4242);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<T> x(static_cast<size_t>(n)), r(static_cast<size_t>(n));
  for (auto& v : x) v = static_cast<T>(u(g));
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (auto _ : st) {
    if (k) k(static_cast<int32_t>(n), x.data(), r.data());
    else
      for (int64_t i = 0; i < n; ++i) r[i] = static_cast<T>(gsl(x[i]));
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * n);
}

template <class T>
void add(const std::string& name, double lo, double hi, Kernel<T> k, double (*gsl)(double)) {
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) { run<T>(st, lo, hi, k, gsl); })
      ->Arg(1000)
      ->Arg(1000000)
      ->Unit(benchmark::kMicrosecond);
}

// A function's three slots (through its table) and the GSL loop, in one precision.
template <class T>
void add_function(const char* type_func, const void* ttab, double lo, double hi, double (*gsl)(double)) {
  const auto* slots = static_cast<const Kernel<T>*>(ttab);
  const std::string base = std::string("SpecialGsl_") + type_func;
  add<T>(base + "_qor_LA", lo, hi, slots[0], nullptr);
  add<T>(base + "_qor_HA", lo, hi, slots[1], nullptr);
  add<T>(base + "_qor_EP", lo, hi, slots[2], nullptr);
  add<T>(base + "_gsl", lo, hi, nullptr, gsl);
}

double gsl_erfinv(double x) { return gsl_cdf_ugaussian_Pinv((x + 1) / 2) * kSqrtHalf; }
double gsl_erfcinv(double q) { return -gsl_cdf_ugaussian_Pinv(q / 2) * kSqrtHalf; }
double gsl_cdfnorm(double x) { return 0.5 * gsl_sf_erfc(-x * kSqrtHalf); }

const bool registered = [] {
  add_function<float>("sErfInv", &qor_fnx_kernel_sErfInv_ttab, -0.999, 0.999, gsl_erfinv);
  add_function<double>("dErfInv", &qor_fnx_kernel_dErfInv_ttab, -0.999, 0.999, gsl_erfinv);
  add_function<float>("sErfcInv", &qor_fnx_kernel_sErfcInv_ttab, 0.001, 1.999, gsl_erfcinv);
  add_function<double>("dErfcInv", &qor_fnx_kernel_dErfcInv_ttab, 0.001, 1.999, gsl_erfcinv);
  add_function<float>("sCdfNorm", &qor_fnx_kernel_sCdfNorm_ttab, -8, 8, gsl_cdfnorm);
  add_function<double>("dCdfNorm", &qor_fnx_kernel_dCdfNorm_ttab, -8, 8, gsl_cdfnorm);
  add_function<float>("sCdfNormInv", &qor_fnx_kernel_sCdfNormInv_ttab, 0.0005, 0.9995, gsl_cdf_ugaussian_Pinv);
  add_function<double>("dCdfNormInv", &qor_fnx_kernel_dCdfNormInv_ttab, 0.0005, 0.9995, gsl_cdf_ugaussian_Pinv);
  add_function<float>("sExpInt1", &qor_fnx_kernel_sExpInt1_ttab, 0.01, 20, gsl_sf_expint_E1);
  add_function<double>("dExpInt1", &qor_fnx_kernel_dExpInt1_ttab, 0.01, 20, gsl_sf_expint_E1);
  return true;
}();

}  // namespace
