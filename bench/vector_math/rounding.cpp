// Rounding kernels against plain loops of the C library's std::floor / std::ceil / std::round
// (compiled with the same flags: the x86-64 baseline, SSE2).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "qor/vm.h"

namespace {

template <class T>
std::vector<T> random_inputs(size_t n) {
  std::vector<T> v(n);
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> d(-1e6, 1e6);
  for (auto& x : v) x = static_cast<T>(d(rng));
  return v;
}

template <class T>
void run(benchmark::State& state, void (*kernel)(int32_t, const T*, T*)) {
  const auto n = static_cast<size_t>(state.range(0));
  const auto a = random_inputs<T>(n);
  std::vector<T> r(n);
  for (auto _ : state) {
    kernel(static_cast<int32_t>(n), a.data(), r.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
}

template <class T, class F>
void run_loop(benchmark::State& state, F f) {
  const auto n = static_cast<size_t>(state.range(0));
  const auto a = random_inputs<T>(n);
  std::vector<T> r(n);
  for (auto _ : state) {
    for (size_t i = 0; i < n; ++i) r[i] = f(a[i]);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * n));
}

#define SIZES ->Arg(1000)->Arg(1000000)

void sFloor_qor(benchmark::State& s) { run<float>(s, _fnxsFloor); }
void sFloor_std(benchmark::State& s) { run_loop<float>(s, [](float x) { return std::floor(x); }); }
void sCeil_qor(benchmark::State& s) { run<float>(s, _fnxsCeil); }
void sCeil_std(benchmark::State& s) { run_loop<float>(s, [](float x) { return std::ceil(x); }); }
void sRound_qor(benchmark::State& s) { run<float>(s, _fnxsRound); }
void sRound_std(benchmark::State& s) { run_loop<float>(s, [](float x) { return std::round(x); }); }
void dFloor_qor(benchmark::State& s) { run<double>(s, _fnxdFloor); }
void dFloor_std(benchmark::State& s) { run_loop<double>(s, [](double x) { return std::floor(x); }); }
void dCeil_qor(benchmark::State& s) { run<double>(s, _fnxdCeil); }
void dCeil_std(benchmark::State& s) { run_loop<double>(s, [](double x) { return std::ceil(x); }); }
void dRound_qor(benchmark::State& s) { run<double>(s, _fnxdRound); }
void dRound_std(benchmark::State& s) { run_loop<double>(s, [](double x) { return std::round(x); }); }
void sTrunc_qor(benchmark::State& s) { run<float>(s, _fnxsTrunc); }
void sTrunc_std(benchmark::State& s) { run_loop<float>(s, [](float x) { return std::trunc(x); }); }
void dRint_qor(benchmark::State& s) { run<double>(s, _fnxdRint); }
void dRint_std(benchmark::State& s) { run_loop<double>(s, [](double x) { return std::nearbyint(x); }); }

BENCHMARK(sFloor_qor) SIZES;
BENCHMARK(sFloor_std) SIZES;
BENCHMARK(sCeil_qor) SIZES;
BENCHMARK(sCeil_std) SIZES;
BENCHMARK(sRound_qor) SIZES;
BENCHMARK(sRound_std) SIZES;
BENCHMARK(sTrunc_qor) SIZES;
BENCHMARK(sTrunc_std) SIZES;
BENCHMARK(dFloor_qor) SIZES;
BENCHMARK(dFloor_std) SIZES;
BENCHMARK(dCeil_qor) SIZES;
BENCHMARK(dCeil_std) SIZES;
BENCHMARK(dRound_qor) SIZES;
BENCHMARK(dRound_std) SIZES;
BENCHMARK(dRint_qor) SIZES;
BENCHMARK(dRint_std) SIZES;

}  // namespace
