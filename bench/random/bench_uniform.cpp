// Double uniforms on [0, 1): our generators against the C++ <random> engines with
// uniform_real_distribution and GSL's gsl_rng_uniform, at n = 1,000 and 1,000,000; our raw
// integer words too.
#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <random>
#include <vector>

#include "qor/rng.h"

namespace {

void qor_uniform(benchmark::State& state, int32_t brng, std::vector<uint32_t> seed) {
  const int32_t n = int32_t(state.range(0));
  std::vector<double> r(n);
  HoxStream s = nullptr;
  if (__hoxNewStreamEx(&s, brng, int32_t(seed.size()), seed.data()) != 0) {
    state.SkipWithError("stream creation failed");
    return;
  }
  for (auto _ : state) {
    _hoxdRngUniform(0, s, n, r.data(), 0.0, 1.0);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  __hoxDeleteStream(&s);
  state.SetItemsProcessed(state.iterations() * n);
}

void qor_uniform_single(benchmark::State& state, int32_t brng, std::vector<uint32_t> seed) {
  const int32_t n = int32_t(state.range(0));
  std::vector<float> r(n);
  HoxStream s = nullptr;
  __hoxNewStreamEx(&s, brng, int32_t(seed.size()), seed.data());
  for (auto _ : state) {
    _hoxsRngUniform(0, s, n, r.data(), 0.0f, 1.0f);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  __hoxDeleteStream(&s);
  state.SetItemsProcessed(state.iterations() * n);
}

void qor_bits(benchmark::State& state, int32_t brng, std::vector<uint32_t> seed) {
  const int32_t n = int32_t(state.range(0));
  std::vector<uint32_t> r(size_t(n) * 2);
  HoxStream s = nullptr;
  __hoxNewStreamEx(&s, brng, int32_t(seed.size()), seed.data());
  for (auto _ : state) {
    _hoxiRngUniformBits(0, s, n, r.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  __hoxDeleteStream(&s);
  state.SetItemsProcessed(state.iterations() * n);
}

template <class Engine>
void std_uniform(benchmark::State& state) {
  const int32_t n = int32_t(state.range(0));
  std::vector<double> r(n);
  Engine e(12345);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[i] = u(e);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void gsl_uniform(benchmark::State& state, const gsl_rng_type* type) {
  const int32_t n = int32_t(state.range(0));
  std::vector<double> r(n);
  gsl_rng* g = gsl_rng_alloc(type);
  gsl_rng_set(g, 12345);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[i] = gsl_rng_uniform(g);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  gsl_rng_free(g);
  state.SetItemsProcessed(state.iterations() * n);
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(1000000); }

BENCHMARK_CAPTURE(qor_uniform, MCG31M1, HOX_BRNG_MCG31, {12345})->Apply(sizes);
BENCHMARK_CAPTURE(qor_uniform, MRG32K3A, HOX_BRNG_MRG32K3A, {12345, 12345, 12345, 12345, 12345, 12345})->Apply(sizes);
BENCHMARK_CAPTURE(qor_uniform, MCG59, HOX_BRNG_MCG59, {12345})->Apply(sizes);
BENCHMARK_CAPTURE(qor_uniform_single, MCG31M1, HOX_BRNG_MCG31, {12345})->Apply(sizes);
BENCHMARK_CAPTURE(qor_bits, MCG31M1, HOX_BRNG_MCG31, {12345})->Apply(sizes);
BENCHMARK_CAPTURE(qor_bits, MCG59, HOX_BRNG_MCG59, {12345})->Apply(sizes);
BENCHMARK_TEMPLATE(std_uniform, std::minstd_rand)->Apply(sizes);
BENCHMARK_TEMPLATE(std_uniform, std::mt19937)->Apply(sizes);
BENCHMARK_CAPTURE(gsl_uniform, minstd, gsl_rng_minstd)->Apply(sizes);
BENCHMARK_CAPTURE(gsl_uniform, mrg, gsl_rng_mrg)->Apply(sizes);
BENCHMARK_CAPTURE(gsl_uniform, mt19937, gsl_rng_mt19937)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
