// The loops the generator benchmarks share: n numbers per iteration from one of our streams (one
// call) or from a GSL generator (one gsl_rng_uniform per number), items counted per number.
#pragma once

#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <vector>

#include "qor/rng.h"

namespace bench_rng {

// Doubles on [0, 1) (T = double) or raw 32-bit words (T = uint32_t) from a stream of `brng`
// seeded with `seed`.
template <class T>
void qor_uniform(benchmark::State& state, int32_t brng, const std::vector<uint32_t>& seed) {
  const int32_t n = int32_t(state.range(0));
  std::vector<T> r(static_cast<size_t>(n));
  HoxStream s = nullptr;
  if (__hoxNewStreamEx(&s, brng, int32_t(seed.size()), seed.data()) != 0) {
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

// Doubles on [0, 1) from GSL's generator `type` seeded with 12345.
inline void gsl_uniform(benchmark::State& state, const gsl_rng_type* type) {
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

}  // namespace bench_rng
