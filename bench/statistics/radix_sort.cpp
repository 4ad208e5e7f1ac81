// Radix sort of float, double and 32-bit integer keys against std::sort on the same random
// data (uniform over many magnitudes and both signs for floats, full-range integers).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "qor/prim.h"

namespace {

template <class T>
std::vector<T> random_keys(size_t n) {
  std::mt19937_64 rng(12345);
  std::vector<T> v(n);
  for (auto& x : v) {
    const uint64_t r = rng();
    if constexpr (std::is_floating_point_v<T>)
      x = static_cast<T>(std::ldexp(static_cast<double>(r >> 11) - 4503599627370496.0, int(r % 40) - 60));
    else
      x = static_cast<T>(r);
  }
  return v;
}

template <class T>
int32_t radix(T* k, T* b, int32_t n);
template <>
int32_t radix<float>(float* k, float* b, int32_t n) { return qor_dft_e8r_ochaSortRadixAscend_32f_I(k, b, n); }
template <>
int32_t radix<double>(double* k, double* b, int32_t n) { return qor_dft_e8r_ochaSortRadixAscend_64f_I(k, b, n); }
template <>
int32_t radix<int32_t>(int32_t* k, int32_t* b, int32_t n) { return qor_dft_e8r_ochaSortRadixAscend_32s_I(k, b, n); }

// Restores the unsorted keys before each sort; outside the timed region for large n.
template <class T, class Sort>
void run(benchmark::State& state, Sort sort) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::vector<T> input = random_keys<T>(n);
  std::vector<T> keys(n), buf(n);
  const bool pause = n >= 100000;
  for (auto _ : state) {
    if (pause) state.PauseTiming();
    std::memcpy(keys.data(), input.data(), n * sizeof(T));
    if (pause) state.ResumeTiming();
    sort(keys.data(), buf.data(), static_cast<int32_t>(n));
    benchmark::DoNotOptimize(keys.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

template <class T>
void BM_RadixSort(benchmark::State& state) {
  run<T>(state, [](T* k, T* b, int32_t n) { radix<T>(k, b, n); });
}
template <class T>
void BM_StdSort(benchmark::State& state) {
  run<T>(state, [](T* k, T*, int32_t n) { std::sort(k, k + n); });
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(1000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK_TEMPLATE(BM_RadixSort, float)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_StdSort, float)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_RadixSort, double)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_StdSort, double)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_RadixSort, int32_t)->Apply(sizes);
BENCHMARK_TEMPLATE(BM_StdSort, int32_t)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
