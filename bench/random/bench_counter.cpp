// Philox4x32x10, ARS5, Wichmann-Hill and R250: doubles on [0, 1) through _hoxdRngUniform (and
// Philox's raw words), at n = 1,000 and 1,000,000, against GSL's generators in the same run
// (gsl_rng_r250, gsl_rng_mt19937, gsl_rng_taus2 through gsl_rng_uniform). numpy's Philox runs
// alternately with this binary in bench/random/twister_vs_numpy.py (--numpy Philox
// --filter Counter).
#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <vector>

#include "qor/rng.h"

namespace {

template <class T>
void Counter_qor(benchmark::State& state, T, int32_t brng) {
  const int32_t n = int32_t(state.range(0));
  std::vector<T> r(static_cast<size_t>(n));
  HoxStream s = nullptr;
  const uint32_t seed[8] = {0x123, 0x234, 0x345, 0x456, 1, 2, 3, 4};
  if (__hoxNewStreamEx(&s, brng, 8, seed) != 0) {
    state.SkipWithError("stream creation failed");
    __hoxDeleteStream(&s);
    return;
  }
  for (auto _ : state) {
    if constexpr (sizeof(T) == 8)
      _hoxdRngUniform(0, s, n, r.data(), 0.0, 1.0);
    else
      _hoxiRngUniformBits(0, s, n, r.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  __hoxDeleteStream(&s);
  state.SetItemsProcessed(state.iterations() * n);
}

void Counter_gsl(benchmark::State& state, const gsl_rng_type* type) {
  const int32_t n = int32_t(state.range(0));
  std::vector<double> r(static_cast<size_t>(n));
  gsl_rng* g = gsl_rng_alloc(type);
  gsl_rng_set(g, 12345);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[size_t(i)] = gsl_rng_uniform(g);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  gsl_rng_free(g);
  state.SetItemsProcessed(state.iterations() * n);
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(1000000); }

BENCHMARK_CAPTURE(Counter_qor, PHILOX4X32X10_double, 0.0, HOX_BRNG_PHILOX4X32X10)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, PHILOX4X32X10_words, uint32_t(0), HOX_BRNG_PHILOX4X32X10)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, ARS5_double, 0.0, HOX_BRNG_ARS5)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, ARS5_words, uint32_t(0), HOX_BRNG_ARS5)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, WH_double, 0.0, HOX_BRNG_WH)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, R250_double, 0.0, HOX_BRNG_R250)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, TRNG_double, 0.0, HOX_BRNG_NONDETERM)->Arg(1000);
BENCHMARK_CAPTURE(Counter_gsl, gsl_r250, gsl_rng_r250)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_gsl, gsl_taus2, gsl_rng_taus2)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_gsl, gsl_mt19937, gsl_rng_mt19937)->Apply(sizes);

}  // namespace
