// Mersenne twisters: MT19937, SFMT19937 and MT2203 doubles on [0, 1) and 32-bit words, against
// std::mt19937 and GSL's gsl_rng_mt19937 in the same run (numpy's MT19937 by
// bench/random/twister_vs_numpy.py, which alternates its timings with this binary's), at
// n = 1,000 and 1,000,000; and the time of one skip-ahead by N (the jump-time table).
#include <benchmark/benchmark.h>
#include <gsl/gsl_rng.h>

#include <random>
#include <vector>

#include "stream_loops.h"

namespace {

// Doubles on [0, 1) (T = double) or raw words (T = uint32_t) from a stream of `brng`.
template <class T>
void qor_out(benchmark::State& state, T, int32_t brng) {
  bench_rng::qor_uniform<T>(state, brng, {0x123, 0x234, 0x345, 0x456});
}

// std::mt19937: words, and doubles as word * 2^-32 (what ours computes) and through
// uniform_real_distribution.
void std_words(benchmark::State& state) {
  const int32_t n = int32_t(state.range(0));
  std::vector<uint32_t> r(static_cast<size_t>(n));
  std::mt19937 e(12345);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[size_t(i)] = uint32_t(e());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void std_doubles(benchmark::State& state) {
  const int32_t n = int32_t(state.range(0));
  std::vector<double> r(static_cast<size_t>(n));
  std::mt19937 e(12345);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[size_t(i)] = double(e()) * 0x1p-32;
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void gsl_doubles(benchmark::State& state) { bench_rng::gsl_uniform(state, gsl_rng_mt19937); }

void gsl_words(benchmark::State& state) {
  const int32_t n = int32_t(state.range(0));
  std::vector<uint32_t> r(static_cast<size_t>(n));
  gsl_rng* g = gsl_rng_alloc(gsl_rng_mt19937);
  gsl_rng_set(g, 12345);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; ++i) r[size_t(i)] = uint32_t(gsl_rng_get(g));
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  gsl_rng_free(g);
  state.SetItemsProcessed(state.iterations() * n);
}

// One skip-ahead by N = 2^k (k = state.range(0); 64 means 2^64 - 1), from a fresh copy each time.
void qor_jump(benchmark::State& state, int32_t brng) {
  const int k = int(state.range(0));
  const uint64_t N = k >= 64 ? ~uint64_t(0) : uint64_t(1) << k;
  HoxStream s = nullptr, t = nullptr;
  const uint32_t seed = 1;
  __hoxNewStreamEx(&s, brng, 1, &seed);
  __hoxCopyStream(&t, s);
  for (auto _ : state) {
    state.PauseTiming();
    __hoxCopyStreamState(t, s);
    state.ResumeTiming();
    benchmark::DoNotOptimize(__hoxSkipAheadStream(t, N));
  }
  __hoxDeleteStream(&s);
  __hoxDeleteStream(&t);
}

void sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(1000000); }
void exponents(benchmark::internal::Benchmark* b) {
  for (int k : {10, 19, 20, 32, 40, 63, 64}) b->Arg(k);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(qor_out, Twister_MT19937_double, 0.0, HOX_BRNG_MT19937)->Apply(sizes);
BENCHMARK_CAPTURE(qor_out, Twister_MT19937_word, 0u, HOX_BRNG_MT19937)->Apply(sizes);
BENCHMARK_CAPTURE(qor_out, Twister_SFMT19937_double, 0.0, HOX_BRNG_SFMT19937)->Apply(sizes);
BENCHMARK_CAPTURE(qor_out, Twister_SFMT19937_word, 0u, HOX_BRNG_SFMT19937)->Apply(sizes);
BENCHMARK_CAPTURE(qor_out, Twister_MT2203_double, 0.0, HOX_BRNG_MT2203)->Apply(sizes);
BENCHMARK(std_words)->Name("Twister_std_mt19937_word")->Apply(sizes);
BENCHMARK(std_doubles)->Name("Twister_std_mt19937_double")->Apply(sizes);
BENCHMARK(gsl_words)->Name("Twister_gsl_mt19937_word")->Apply(sizes);
BENCHMARK(gsl_doubles)->Name("Twister_gsl_mt19937_double")->Apply(sizes);
BENCHMARK_CAPTURE(qor_jump, Jump_MT19937, HOX_BRNG_MT19937)->Apply(exponents);
BENCHMARK_CAPTURE(qor_jump, Jump_SFMT19937, HOX_BRNG_SFMT19937)->Apply(exponents);

}  // namespace
