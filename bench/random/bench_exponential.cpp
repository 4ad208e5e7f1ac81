// Exponential variates (mean 1): ours against C++ <random>'s exponential_distribution and GSL's
// gsl_ran_exponential, both on MT19937, at n = 1,000 and 1,000,000.
#include <benchmark/benchmark.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <random>
#include <vector>

#include "qor/rng.h"

namespace {

template <class T>
void qor_exponential(benchmark::State& state, T, int32_t brng, std::vector<uint32_t> seed) {
  const int32_t n = int32_t(state.range(0));
  std::vector<T> r(n);
  HoxStream s = nullptr;
  __hoxNewStreamEx(&s, brng, int32_t(seed.size()), seed.data());
  for (auto _ : state) {
    if constexpr (sizeof(T) == 8)
      _hoxdRngExponential(0, s, n, r.data(), 0.0, 1.0);
    else
      _hoxsRngExponential(0, s, n, r.data(), 0.0f, 1.0f);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  __hoxDeleteStream(&s);
  state.SetItemsProcessed(state.iterations() * n);
}

void std_exponential(benchmark::State& state) {
  const int32_t n = int32_t(state.range(0));
  std::vector<double> r(n);
  std::mt19937 e(12345);
  std::exponential_distribution<double> d(1.0);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[i] = d(e);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void gsl_exponential(benchmark::State& state) {
  const int32_t n = int32_t(state.range(0));
  std::vector<double> r(n);
  gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
  gsl_rng_set(g, 12345);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[i] = gsl_ran_exponential(g, 1.0);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  gsl_rng_free(g);
  state.SetItemsProcessed(state.iterations() * n);
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(1000000); }

BENCHMARK_CAPTURE(qor_exponential, MCG31M1_double, 0.0, HOX_BRNG_MCG31, {12345})->Apply(sizes);
BENCHMARK_CAPTURE(qor_exponential, MRG32K3A_double, 0.0, HOX_BRNG_MRG32K3A, {12345, 12345, 12345, 12345, 12345, 12345})
    ->Apply(sizes);
BENCHMARK_CAPTURE(qor_exponential, MCG31M1_single, 0.0f, HOX_BRNG_MCG31, {12345})->Apply(sizes);
BENCHMARK(std_exponential)->Apply(sizes);
BENCHMARK(gsl_exponential)->Apply(sizes);

}  // namespace
