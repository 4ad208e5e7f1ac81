// Two-argument functions against their anchors, at n = 1,000 and 1,000,000: Pow and Hypot
// against libmvec's SSE entry points, SLEEF's SSE2 variants (pow u10, hypot u05, fmod) and the
// C library loop; the exact functions (Div, Fmod, Remainder, Fmax, Fmin, Fdim, NextAfter) and
// Powx against the plain compiled loop. Run with interleaved repetitions, e.g.
//   bench_vector_math --benchmark_filter='Pow|Hypot|TwoArg' --benchmark_repetitions=5
//     --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
// and compare medians of one run (see README-power.md).
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <cmath>
#include <random>
#include <vector>

#include "qor/vm.h"
#include "vector_math/anchors.h"

QOR_MVEC2(pow) QOR_MVEC2(hypot)
QOR_SLEEF2(pow, u10) QOR_SLEEF2(hypot, u05) QOR_SLEEF2(fmod, )

namespace {

// Bases in [0.1, 10] and exponents in [-20, 20] (Pow), magnitudes 1e-3 .. 1e3 of both signs
// (the others): ordinary arguments, the packed paths.
template <class T>
struct Args {
  std::vector<T> a, b;
};
template <class T>
const Args<T>& args(int64_t n, bool pow) {
  static thread_local std::vector<std::pair<std::pair<int64_t, bool>, Args<T>>> cache;
  for (auto& [k, v] : cache)
    if (k == std::make_pair(n, pow)) return v;
  std::mt19937_64 g(777);
  std::uniform_real_distribution<double> ua(0.1, 10), ub(-20, 20), e(-3, 3), s(0, 1);
  Args<T> v;
  for (int64_t i = 0; i < n; ++i) {
    if (pow) {
      v.a.push_back(static_cast<T>(ua(g)));
      v.b.push_back(static_cast<T>(ub(g)));
    } else {
      v.a.push_back(static_cast<T>((s(g) < 0.5 ? -1 : 1) * std::pow(10.0, e(g))));
      v.b.push_back(static_cast<T>((s(g) < 0.5 ? -1 : 1) * std::pow(10.0, e(g))));
    }
  }
  cache.emplace_back(std::make_pair(n, pow), std::move(v));
  return cache.back().second;
}

template <class T, class Body>
void run(benchmark::State& st, bool pow, Body&& body) {
  const int64_t n = st.range(0);
  const Args<T>& x = args<T>(n, pow);
  std::vector<T> r(static_cast<size_t>(n));
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (auto _ : st) {
    body(static_cast<int32_t>(n), x.a.data(), x.b.data(), r.data());
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * n);
}

// A packed two-argument anchor over the arrays (n a multiple of the width here).
template <class F>
void vec2_d(int32_t n, const double* a, const double* b, double* r, F f) {
  for (int32_t i = 0; i + 2 <= n; i += 2) _mm_storeu_pd(r + i, f(_mm_loadu_pd(a + i), _mm_loadu_pd(b + i)));
}
template <class F>
void vec2_s(int32_t n, const float* a, const float* b, float* r, F f) {
  for (int32_t i = 0; i + 4 <= n; i += 4) _mm_storeu_ps(r + i, f(_mm_loadu_ps(a + i), _mm_loadu_ps(b + i)));
}
template <class T, class F>
void loop2(int32_t n, const T* a, const T* b, T* r, F f) {
  for (int32_t i = 0; i < n; ++i) r[i] = f(a[i], b[i]);
}

#define SIZES ->Arg(1000)->Arg(1000000)
#define QOR_KERNEL2(T, fn) [](int32_t n, const T* a, const T* b, T* r) { fn(n, a, b, r); }

// ---- Pow ---------------------------------------------------------------------------------
void Pow_dPow_qor_HA(benchmark::State& s) { run<double>(s, true, QOR_KERNEL2(double, _fnxdPow_HA)); }
void Pow_dPow_qor_LA(benchmark::State& s) { run<double>(s, true, QOR_KERNEL2(double, _fnxdPow_50)); }
void Pow_dPow_qor_EP(benchmark::State& s) { run<double>(s, true, QOR_KERNEL2(double, _fnxdPow_26)); }
void Pow_dPow_mvec(benchmark::State& s) {
  run<double>(s, true, [](int32_t n, const double* a, const double* b, double* r) { vec2_d(n, a, b, r, _ZGVbN2vv_pow); });
}
void Pow_dPow_sleef_u10(benchmark::State& s) {
  run<double>(s, true,
              [](int32_t n, const double* a, const double* b, double* r) { vec2_d(n, a, b, r, Sleef_powd2_u10sse2); });
}
void Pow_dPow_libm(benchmark::State& s) {
  run<double>(s, true, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return std::pow(x, y); });
  });
}
void Pow_sPow_qor_HA(benchmark::State& s) { run<float>(s, true, QOR_KERNEL2(float, _fnxsPow_HA)); }
void Pow_sPow_qor_EP(benchmark::State& s) { run<float>(s, true, QOR_KERNEL2(float, _fnxsPow_11)); }
void Pow_sPow_mvec(benchmark::State& s) {
  run<float>(s, true, [](int32_t n, const float* a, const float* b, float* r) { vec2_s(n, a, b, r, _ZGVbN4vv_powf); });
}
void Pow_sPow_sleef_u10(benchmark::State& s) {
  run<float>(s, true,
             [](int32_t n, const float* a, const float* b, float* r) { vec2_s(n, a, b, r, Sleef_powf4_u10sse2); });
}
void Pow_sPow_libm(benchmark::State& s) {
  run<float>(s, true, [](int32_t n, const float* a, const float* b, float* r) {
    loop2(n, a, b, r, [](float x, float y) { return std::pow(x, y); });
  });
}
void Pow_dPowx_qor_HA(benchmark::State& s) {
  run<double>(s, true, [](int32_t n, const double* a, const double*, double* r) { _fnxdPowx(n, a, 2.5, r); });
}
void Pow_dPowx_libm(benchmark::State& s) {
  run<double>(s, true, [](int32_t n, const double* a, const double*, double* r) {
    for (int32_t i = 0; i < n; ++i) r[i] = std::pow(a[i], 2.5);
  });
}

// ---- Hypot -------------------------------------------------------------------------------
void Hypot_dHypot_qor_HA(benchmark::State& s) { run<double>(s, false, QOR_KERNEL2(double, _fnxdHypot)); }
void Hypot_dHypot_mvec(benchmark::State& s) {
  run<double>(s, false,
              [](int32_t n, const double* a, const double* b, double* r) { vec2_d(n, a, b, r, _ZGVbN2vv_hypot); });
}
void Hypot_dHypot_sleef_u05(benchmark::State& s) {
  run<double>(s, false,
              [](int32_t n, const double* a, const double* b, double* r) { vec2_d(n, a, b, r, Sleef_hypotd2_u05sse2); });
}
void Hypot_dHypot_libm(benchmark::State& s) {
  run<double>(s, false, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return std::hypot(x, y); });
  });
}
void Hypot_sHypot_qor_HA(benchmark::State& s) { run<float>(s, false, QOR_KERNEL2(float, _fnxsHypot)); }
void Hypot_sHypot_mvec(benchmark::State& s) {
  run<float>(s, false, [](int32_t n, const float* a, const float* b, float* r) { vec2_s(n, a, b, r, _ZGVbN4vv_hypotf); });
}
void Hypot_sHypot_sleef_u05(benchmark::State& s) {
  run<float>(s, false,
             [](int32_t n, const float* a, const float* b, float* r) { vec2_s(n, a, b, r, Sleef_hypotf4_u05sse2); });
}

// ---- the exact functions against the plain compiled loop ---------------------------------
void TwoArg_dDiv_qor(benchmark::State& s) { run<double>(s, false, QOR_KERNEL2(double, _fnxdDiv)); }
void TwoArg_dDiv_loop(benchmark::State& s) {
  run<double>(s, false, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return x / y; });
  });
}
void TwoArg_dFmod_qor(benchmark::State& s) { run<double>(s, false, QOR_KERNEL2(double, _fnxdFmod)); }
void TwoArg_dFmod_libm(benchmark::State& s) {
  run<double>(s, false, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return std::fmod(x, y); });
  });
}
void TwoArg_dFmod_sleef(benchmark::State& s) {
  run<double>(s, false,
              [](int32_t n, const double* a, const double* b, double* r) { vec2_d(n, a, b, r, Sleef_fmodd2_sse2); });
}
void TwoArg_sFmod_qor(benchmark::State& s) { run<float>(s, false, QOR_KERNEL2(float, _fnxsFmod)); }
void TwoArg_sFmod_sleef(benchmark::State& s) {
  run<float>(s, false, [](int32_t n, const float* a, const float* b, float* r) { vec2_s(n, a, b, r, Sleef_fmodf4_sse2); });
}
void TwoArg_sFmod_libm(benchmark::State& s) {
  run<float>(s, false, [](int32_t n, const float* a, const float* b, float* r) {
    loop2(n, a, b, r, [](float x, float y) { return std::fmod(x, y); });
  });
}
void TwoArg_dRemainder_qor(benchmark::State& s) { run<double>(s, false, QOR_KERNEL2(double, _fnxdRemainder)); }
void TwoArg_dRemainder_libm(benchmark::State& s) {
  run<double>(s, false, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return std::remainder(x, y); });
  });
}
void TwoArg_dFmax_qor(benchmark::State& s) { run<double>(s, false, QOR_KERNEL2(double, _fnxdFmax)); }
void TwoArg_dFmax_libm(benchmark::State& s) {
  run<double>(s, false, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return std::fmax(x, y); });
  });
}
void TwoArg_sFmin_qor(benchmark::State& s) { run<float>(s, false, QOR_KERNEL2(float, _fnxsFmin)); }
void TwoArg_sFmin_libm(benchmark::State& s) {
  run<float>(s, false, [](int32_t n, const float* a, const float* b, float* r) {
    loop2(n, a, b, r, [](float x, float y) { return std::fmin(x, y); });
  });
}
void TwoArg_dFdim_qor(benchmark::State& s) { run<double>(s, false, QOR_KERNEL2(double, _fnxdFdim)); }
void TwoArg_dFdim_libm(benchmark::State& s) {
  run<double>(s, false, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return std::fdim(x, y); });
  });
}
void TwoArg_dNextAfter_qor(benchmark::State& s) { run<double>(s, false, QOR_KERNEL2(double, _fnxdNextAfter)); }
void TwoArg_dNextAfter_libm(benchmark::State& s) {
  run<double>(s, false, [](int32_t n, const double* a, const double* b, double* r) {
    loop2(n, a, b, r, [](double x, double y) { return std::nextafter(x, y); });
  });
}

BENCHMARK(Pow_dPow_qor_HA) SIZES;
BENCHMARK(Pow_dPow_qor_LA) SIZES;
BENCHMARK(Pow_dPow_qor_EP) SIZES;
BENCHMARK(Pow_dPow_mvec) SIZES;
BENCHMARK(Pow_dPow_sleef_u10) SIZES;
BENCHMARK(Pow_dPow_libm) SIZES;
BENCHMARK(Pow_sPow_qor_HA) SIZES;
BENCHMARK(Pow_sPow_qor_EP) SIZES;
BENCHMARK(Pow_sPow_mvec) SIZES;
BENCHMARK(Pow_sPow_sleef_u10) SIZES;
BENCHMARK(Pow_sPow_libm) SIZES;
BENCHMARK(Pow_dPowx_qor_HA) SIZES;
BENCHMARK(Pow_dPowx_libm) SIZES;
BENCHMARK(Hypot_dHypot_qor_HA) SIZES;
BENCHMARK(Hypot_dHypot_mvec) SIZES;
BENCHMARK(Hypot_dHypot_sleef_u05) SIZES;
BENCHMARK(Hypot_dHypot_libm) SIZES;
BENCHMARK(Hypot_sHypot_qor_HA) SIZES;
BENCHMARK(Hypot_sHypot_mvec) SIZES;
BENCHMARK(Hypot_sHypot_sleef_u05) SIZES;
BENCHMARK(TwoArg_dDiv_qor) SIZES;
BENCHMARK(TwoArg_dDiv_loop) SIZES;
BENCHMARK(TwoArg_dFmod_qor) SIZES;
BENCHMARK(TwoArg_dFmod_libm) SIZES;
BENCHMARK(TwoArg_dFmod_sleef) SIZES;
BENCHMARK(TwoArg_sFmod_qor) SIZES;
BENCHMARK(TwoArg_sFmod_sleef) SIZES;
BENCHMARK(TwoArg_sFmod_libm) SIZES;
BENCHMARK(TwoArg_dRemainder_qor) SIZES;
BENCHMARK(TwoArg_dRemainder_libm) SIZES;
BENCHMARK(TwoArg_dFmax_qor) SIZES;
BENCHMARK(TwoArg_dFmax_libm) SIZES;
BENCHMARK(TwoArg_sFmin_qor) SIZES;
BENCHMARK(TwoArg_sFmin_libm) SIZES;
BENCHMARK(TwoArg_dFdim_qor) SIZES;
BENCHMARK(TwoArg_dFdim_libm) SIZES;
BENCHMARK(TwoArg_dNextAfter_qor) SIZES;
BENCHMARK(TwoArg_dNextAfter_libm) SIZES;

}  // namespace
