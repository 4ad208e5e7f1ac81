// Exponential and logarithmic kernels against the anchors users would pick instead:
// the glibc libm scalar loop, glibc libmvec SSE entry points (_ZGVbN4v_* / _ZGVbN2v_*), and
// SLEEF's SSE2 variants (1.0-ulp _u10 and, where present, 3.5-ulp _u35).
//
// Each benchmark transforms one array of n random inputs (a sensible range per function, fresh
// values, not a repeated small array) into a result array; items/s is elements per second.
//   bench_vector_math --benchmark_filter='ExpLog' --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "qor/vm.h"

extern "C" {
// glibc libmvec, SSE variants (4 floats / 2 doubles).
#define QOR_MVEC(f, fs) __m128 _ZGVbN4v_##fs(__m128); __m128d _ZGVbN2v_##f(__m128d);
QOR_MVEC(exp, expf) QOR_MVEC(exp2, exp2f) QOR_MVEC(exp10, exp10f) QOR_MVEC(expm1, expm1f)
QOR_MVEC(log, logf) QOR_MVEC(log2, log2f) QOR_MVEC(log10, log10f) QOR_MVEC(log1p, log1pf)
#undef QOR_MVEC
// SLEEF, SSE2 variants.
#define QOR_SLEEF(f, u) __m128 Sleef_##f##f4_##u##sse2(__m128); __m128d Sleef_##f##d2_##u##sse2(__m128d);
QOR_SLEEF(exp, u10) QOR_SLEEF(exp2, u10) QOR_SLEEF(exp10, u10) QOR_SLEEF(expm1, u10)
QOR_SLEEF(log, u10) QOR_SLEEF(log2, u10) QOR_SLEEF(log10, u10) QOR_SLEEF(log1p, u10)
QOR_SLEEF(exp2, u35) QOR_SLEEF(exp10, u35) QOR_SLEEF(log, u35) QOR_SLEEF(log2, u35)
#undef QOR_SLEEF
double exp10(double);
float exp10f(float);
}

namespace {

enum class Dist { Uniform, LogUniform };

template <class T>
const std::vector<T>& inputs(int64_t n, double lo, double hi, Dist d) {
  // One array per (type, range, distribution, size), made once.
  static thread_local std::vector<std::pair<std::tuple<int64_t, double, double, Dist>, std::vector<T>>> cache;
  for (auto& [key, v] : cache)
    if (key == std::make_tuple(n, lo, hi, d)) return v;
  std::mt19937_64 g(12345);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<T> v(static_cast<size_t>(n));
  for (auto& x : v) x = static_cast<T>(d == Dist::Uniform ? u(g) : std::exp2(u(g)));
  cache.emplace_back(std::make_tuple(n, lo, hi, d), std::move(v));
  return cache.back().second;
}

template <class T, class Body>
void run(benchmark::State& st, double lo, double hi, Dist dist, Body&& body) {
  const int64_t n = st.range(0);
  const std::vector<T>& x = inputs<T>(n, lo, hi, dist);
  std::vector<T> r(static_cast<size_t>(n));
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (auto _ : st) {
    body(static_cast<int32_t>(n), x.data(), r.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * n);
}

template <class V, class F>
void vec_loop_s(int32_t n, const float* x, float* r, F f) {
  int32_t i = 0;
  for (; i + 4 <= n; i += 4) _mm_storeu_ps(r + i, f(_mm_loadu_ps(x + i)));
  for (; i < n; ++i) {
    alignas(16) float t[4] = {x[i], x[i], x[i], x[i]};
    _mm_store_ps(t, f(_mm_load_ps(t)));
    r[i] = t[0];
  }
}
template <class V, class F>
void vec_loop_d(int32_t n, const double* x, double* r, F f) {
  int32_t i = 0;
  for (; i + 2 <= n; i += 2) _mm_storeu_pd(r + i, f(_mm_loadu_pd(x + i)));
  for (; i < n; ++i) {
    alignas(16) double t[2] = {x[i], x[i]};
    _mm_store_pd(t, f(_mm_load_pd(t)));
    r[i] = t[0];
  }
}

}  // namespace

#define QOR_ARGS ->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond)

// ours: kernel by slot suffix; scalar: libm; mvec; sleef
#define QOR_BENCH_OURS(t, T, F, slot, lo, hi, dist)                                                     \
  static void ExpLog_##t##F##_qor_##slot(benchmark::State& st) {                                    \
    run<T>(st, lo, hi, dist, [](int32_t n, const T* x, T* r) { bench_##t##F##_##slot(n, x, r); });       \
  }                                                                                                  \
  BENCHMARK(ExpLog_##t##F##_qor_##slot) QOR_ARGS;

#define QOR_BENCH_S(F, f, fs, lo, hi, dist)                                                     \
  QOR_BENCH_OURS(s, float, F, LA, lo, hi, dist)                                                         \
  QOR_BENCH_OURS(s, float, F, HA, lo, hi, dist)                                                         \
  QOR_BENCH_OURS(s, float, F, EP, lo, hi, dist)                                                         \
  static void ExpLog_s##F##_libm(benchmark::State& st) {                                             \
    run<float>(st, lo, hi, dist, [](int32_t n, const float* x, float* r) {                              \
      for (int32_t i = 0; i < n; ++i) r[i] = fs(x[i]);                                             \
    });                                                                                              \
  }                                                                                                  \
  BENCHMARK(ExpLog_s##F##_libm) QOR_ARGS;                                                            \
  static void ExpLog_s##F##_mvec(benchmark::State& st) {                                             \
    run<float>(st, lo, hi, dist, [](int32_t n, const float* x, float* r) {                              \
      vec_loop_s<__m128>(n, x, r, _ZGVbN4v_##fs);                                                  \
    });                                                                                              \
  }                                                                                                  \
  BENCHMARK(ExpLog_s##F##_mvec) QOR_ARGS;                                                            \
  static void ExpLog_s##F##_sleef_u10(benchmark::State& st) {                                        \
    run<float>(st, lo, hi, dist, [](int32_t n, const float* x, float* r) {                              \
      vec_loop_s<__m128>(n, x, r, Sleef_##f##f4_u10sse2);                                            \
    });                                                                                              \
  }                                                                                                  \
  BENCHMARK(ExpLog_s##F##_sleef_u10) QOR_ARGS;

#define QOR_BENCH_D(F, f, lo, hi, dist)                                                     \
  QOR_BENCH_OURS(d, double, F, LA, lo, hi, dist)                                                        \
  QOR_BENCH_OURS(d, double, F, HA, lo, hi, dist)                                                        \
  QOR_BENCH_OURS(d, double, F, EP, lo, hi, dist)                                                        \
  static void ExpLog_d##F##_libm(benchmark::State& st) {                                             \
    run<double>(st, lo, hi, dist, [](int32_t n, const double* x, double* r) {                           \
      for (int32_t i = 0; i < n; ++i) r[i] = f(x[i]);                                                \
    });                                                                                              \
  }                                                                                                  \
  BENCHMARK(ExpLog_d##F##_libm) QOR_ARGS;                                                            \
  static void ExpLog_d##F##_mvec(benchmark::State& st) {                                             \
    run<double>(st, lo, hi, dist, [](int32_t n, const double* x, double* r) {                           \
      vec_loop_d<__m128d>(n, x, r, _ZGVbN2v_##f);                                                    \
    });                                                                                              \
  }                                                                                                  \
  BENCHMARK(ExpLog_d##F##_mvec) QOR_ARGS;                                                            \
  static void ExpLog_d##F##_sleef_u10(benchmark::State& st) {                                        \
    run<double>(st, lo, hi, dist, [](int32_t n, const double* x, double* r) {                           \
      vec_loop_d<__m128d>(n, x, r, Sleef_##f##d2_u10sse2);                                           \
    });                                                                                              \
  }                                                                                                  \
  BENCHMARK(ExpLog_d##F##_sleef_u10) QOR_ARGS;

// The kernels in the LA, HA and EP slots of each function's table.
#define QOR_ALIAS(t, T, F, la, ha, ep)                                                               \
  static inline void bench_##t##F##_LA(int32_t n, const T* a, T* r) { qor_fnx_kernel_##t##F##_##la(n, a, r); } \
  static inline void bench_##t##F##_HA(int32_t n, const T* a, T* r) { qor_fnx_kernel_##t##F##_##ha(n, a, r); } \
  static inline void bench_##t##F##_EP(int32_t n, const T* a, T* r) { qor_fnx_kernel_##t##F##_##ep(n, a, r); }

// Single precision (LA, HA, EP kernels as in the function table).
QOR_ALIAS(s, float, Exp, W7LAynn, W7HAynn, V8EPnnn)
QOR_ALIAS(s, float, Exp2, W7HAynn, W7HAynn, W7HAynn)
QOR_ALIAS(s, float, Exp10, W7HAynn, W7HAynn, W7HAynn)
QOR_ALIAS(s, float, Expm1, V8HAynn, V8HAynn, V8HAynn)
QOR_ALIAS(s, float, Ln, V8LAynn, V8HAynn, V8EPnnn)
QOR_ALIAS(s, float, Log2, W7LAynn, W7HAynn, W7EPnnn)
QOR_ALIAS(s, float, Log10, V8LAynn, V8HAynn, W7EPnnn)
QOR_ALIAS(s, float, Log1p, V8LAynn, V8HAynn, V8LAynn)
QOR_ALIAS(d, double, Exp, W7LAynn, W7HAynn, W7EPnnn)
QOR_ALIAS(d, double, Exp2, W7HAynn, W7HAynn, W7HAynn)
QOR_ALIAS(d, double, Exp10, W7HAynn, W7HAynn, W7HAynn)
QOR_ALIAS(d, double, Expm1, V8LAynn, V8HAynn, V8EPnnn)
QOR_ALIAS(d, double, Ln, W7HAynn, W7HAynn, W7EPnnn)
QOR_ALIAS(d, double, Log2, W7LAynn, W7HAynn, W7EPnnn)
QOR_ALIAS(d, double, Log10, V8LAynn, W7HAynn, V8LAynn)
QOR_ALIAS(d, double, Log1p, V8LAynn, V8HAynn, V8EPnnn)

QOR_BENCH_S(Exp, exp, expf, -87.0, 88.0, Dist::Uniform)
QOR_BENCH_S(Exp2, exp2, exp2f, -125.0, 127.0, Dist::Uniform)
QOR_BENCH_S(Exp10, exp10, exp10f, -37.0, 38.0, Dist::Uniform)
QOR_BENCH_S(Expm1, expm1, expm1f, -10.0, 10.0, Dist::Uniform)
QOR_BENCH_S(Ln, log, logf, -100.0, 100.0, Dist::LogUniform)
QOR_BENCH_S(Log2, log2, log2f, -100.0, 100.0, Dist::LogUniform)
QOR_BENCH_S(Log10, log10, log10f, -100.0, 100.0, Dist::LogUniform)
QOR_BENCH_S(Log1p, log1p, log1pf, -20.0, 20.0, Dist::LogUniform)
QOR_BENCH_D(Exp, exp, -700.0, 700.0, Dist::Uniform)
QOR_BENCH_D(Exp2, exp2, -1000.0, 1000.0, Dist::Uniform)
QOR_BENCH_D(Exp10, exp10, -300.0, 300.0, Dist::Uniform)
QOR_BENCH_D(Expm1, expm1, -10.0, 10.0, Dist::Uniform)
QOR_BENCH_D(Ln, log, -1000.0, 1000.0, Dist::LogUniform)
QOR_BENCH_D(Log2, log2, -1000.0, 1000.0, Dist::LogUniform)
QOR_BENCH_D(Log10, log10, -1000.0, 1000.0, Dist::LogUniform)
QOR_BENCH_D(Log1p, log1p, -20.0, 20.0, Dist::LogUniform)
