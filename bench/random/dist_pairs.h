// The harness of the distribution benchmarks (bench_continuous.cpp, bench_discrete.cpp): our
// generator on an MT19937 stream filling n results per iteration, against GSL's generator on
// gsl_rng_mt19937 called n times, both seeded with 12345. T is the result type.
#pragma once

#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <functional>
#include <vector>

#include "qor/rng.h"

namespace qor::bench {

template <class T>
void ours(benchmark::State& state, std::function<void(HoxStream, int32_t, T*)> f) {
  const int32_t n = int32_t(state.range(0));
  std::vector<T> r(n);
  HoxStream s = nullptr;
  const uint32_t seed = 12345;
  __hoxNewStreamEx(&s, HOX_BRNG_MT19937, 1, &seed);
  for (auto _ : state) {
    f(s, n, r.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  __hoxDeleteStream(&s);
  state.SetItemsProcessed(state.iterations() * n);
}

template <class T>
void theirs(benchmark::State& state, std::function<T(gsl_rng*)> f) {
  const int32_t n = int32_t(state.range(0));
  std::vector<T> r(n);
  gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
  gsl_rng_set(g, 12345);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[i] = f(g);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  gsl_rng_free(g);
  state.SetItemsProcessed(state.iterations() * n);
}

inline void sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(1000000); }

}  // namespace qor::bench
