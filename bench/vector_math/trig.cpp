// Trigonometric functions against their anchors at n = 1,000 and 1,000,000, beyond the reference
// list's |x| <= 10 rows (functions.cpp): Sin, Cos, Tan at |x| <= 1e4 (single) and 1e6 (double),
// Asin, Acos, Atan and the same at |x| <= 10 against SLEEF's SSE2 u35 variants too, Sinpi and
// Cospi against SLEEF's sinpi/cospi (u05), and the two-argument Atan2 (and Atan2pi, against the
// same anchors: no library has a vector atan2pi) against libmvec, SLEEF u10/u35 and the libm loop.
// Each slot's kernel is called through the function table. Run with interleaved repetitions:
//   bench_vector_math --benchmark_filter='^TrigX_' --benchmark_repetitions=5
//     --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "qor/vm.h"
#include "vector_math/anchors.h"

QOR_MVEC1(sin) QOR_MVEC1(cos) QOR_MVEC1(tan) QOR_MVEC1(asin) QOR_MVEC1(acos) QOR_MVEC1(atan)
QOR_SLEEF1(sin, u10) QOR_SLEEF1(cos, u10) QOR_SLEEF1(tan, u10) QOR_SLEEF1(asin, u10) QOR_SLEEF1(acos, u10)
QOR_SLEEF1(atan, u10)
QOR_SLEEF1(sin, u35) QOR_SLEEF1(cos, u35) QOR_SLEEF1(tan, u35) QOR_SLEEF1(asin, u35) QOR_SLEEF1(acos, u35)
QOR_SLEEF1(atan, u35)
QOR_SLEEF1(sinpi, u05) QOR_SLEEF1(cospi, u05)
QOR_MVEC2(atan2) QOR_SLEEF2(atan2, u10) QOR_SLEEF2(atan2, u35)

namespace {

template <class T>
const std::vector<T>& inputs(int64_t n, double lim, int which) {
  static thread_local std::vector<std::pair<std::tuple<int64_t, double, int>, std::vector<T>>> cache;
  for (auto& [key, v] : cache)
    if (key == std::make_tuple(n, lim, which)) return v;
  std::mt19937_64 g(12345 + which);
  std::uniform_real_distribution<double> u(-lim, lim);
  std::vector<T> v(static_cast<size_t>(n));
  for (auto& x : v) x = static_cast<T>(u(g));
  cache.emplace_back(std::make_tuple(n, lim, which), std::move(v));
  return cache.back().second;
}

// body(n, a, b, r): b is a second input array (used by the two-argument functions only).
template <class T, class Body>
void add(const std::string& name, double lim, Body body) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [lim, body](benchmark::State& st) {
                                 const int64_t n = st.range(0);
                                 const std::vector<T>& a = inputs<T>(n, lim, 0);
                                 const std::vector<T>& b = inputs<T>(n, lim, 1);
                                 std::vector<T> r(static_cast<size_t>(n));
                                 qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
                                 for (auto _ : st) {
                                   body(static_cast<int32_t>(n), a.data(), b.data(), r.data());
                                   benchmark::DoNotOptimize(r.data());
                                   benchmark::ClobberMemory();
                                 }
                                 st.SetItemsProcessed(st.iterations() * n);
                               })
      ->Arg(1000)
      ->Arg(1000000)
      ->Unit(benchmark::kMicrosecond);
}

// A vector anchor over the array, the last elements in a padded register.
template <class T, class V, class F>
void vec_loop(int32_t n, const T* a, const T* b, T* r, F f) {
  constexpr int w = 16 / sizeof(T);
  auto ld = [](const T* p) {
    if constexpr (sizeof(T) == 4) return _mm_loadu_ps(p);
    else return _mm_loadu_pd(p);
  };
  auto st = [](T* p, V v) {
    if constexpr (sizeof(T) == 4) _mm_storeu_ps(p, v);
    else _mm_storeu_pd(p, v);
  };
  int32_t i = 0;
  for (; i + w <= n; i += w) st(r + i, f(ld(a + i), ld(b + i)));
  if (i < n) {
    T ta[w] = {}, tb[w] = {}, tr[w];
    for (int j = 0; j < n - i; ++j) ta[j] = a[i + j], tb[j] = b[i + j];
    st(tr, f(ld(ta), ld(tb)));
    for (int j = 0; j < n - i; ++j) r[i + j] = tr[j];
  }
}

template <class T, class K>
void add_slots(const std::string& base, double lim, K* ttab) {
  const char* slot[3] = {"LA", "HA", "EP"};
  for (int s = 0; s < 3; ++s) {
    K k = ttab[s];
    if constexpr (requires { k(0, nullptr, nullptr, nullptr); })
      add<T>(base + "_qor_" + slot[s], lim, [k](int32_t n, const T* a, const T* b, T* r) { k(n, a, b, r); });
    else
      add<T>(base + "_qor_" + slot[s], lim, [k](int32_t n, const T* a, const T*, T* r) { k(n, a, r); });
  }
}

#define QOR_ONE(V, f) [](int32_t n, const T* a, const T* b, T* r) { vec_loop<T, V>(n, a, b, r, [](V x, V) { return f(x); }); }
#define QOR_TWO(V, f) [](int32_t n, const T* a, const T* b, T* r) { vec_loop<T, V>(n, a, b, r, [](V x, V y) { return f(x, y); }); }

// One-argument rows: the slots, libmvec, SLEEF u10 and u35 (where they exist).
#define QOR_TRIG_ROW(F, name, lim_s, lim_d)                                                              \
  {                                                                                                       \
    using T = float;                                                                                      \
    add_slots<T>("TrigX_s" #F, lim_s, qor_fnx_kernel_s##F##_ttab);                                       \
    add<T>("TrigX_s" #F "_mvec", lim_s, QOR_ONE(__m128, _ZGVbN4v_##name##f));                            \
    add<T>("TrigX_s" #F "_sleef_u10", lim_s, QOR_ONE(__m128, Sleef_##name##f4_u10sse2));                 \
    add<T>("TrigX_s" #F "_sleef_u35", lim_s, QOR_ONE(__m128, Sleef_##name##f4_u35sse2));                 \
  }                                                                                                       \
  {                                                                                                       \
    using T = double;                                                                                     \
    add_slots<T>("TrigX_d" #F, lim_d, qor_fnx_kernel_d##F##_ttab);                                       \
    add<T>("TrigX_d" #F "_mvec", lim_d, QOR_ONE(__m128d, _ZGVbN2v_##name));                              \
    add<T>("TrigX_d" #F "_sleef_u10", lim_d, QOR_ONE(__m128d, Sleef_##name##d2_u10sse2));                \
    add<T>("TrigX_d" #F "_sleef_u35", lim_d, QOR_ONE(__m128d, Sleef_##name##d2_u35sse2));                \
  }

// Sinpi and Cospi against SLEEF's u05 variants; Atan2 and Atan2pi against libmvec, SLEEF u10 and
// u35 and the libm loop, on arguments in [-10, 10] (all four quadrants).
template <class T>
using Body = void (*)(int32_t, const T*, const T*, T*);
template <class T, class K1, class K2>
void add_pi_atan2(const std::string& p, K1* sinpi, K1* cospi, K2* atan2, K2* atan2pi, Body<T> sleef_sinpi,
                  Body<T> sleef_cospi, Body<T> mvec_atan2, Body<T> sleef_atan2_u10, Body<T> sleef_atan2_u35,
                  Body<T> libm_atan2) {
  add_slots<T>(p + "Sinpi", 10, sinpi);
  add<T>(p + "Sinpi_sleef_u05", 10, sleef_sinpi);
  add_slots<T>(p + "Cospi", 10, cospi);
  add<T>(p + "Cospi_sleef_u05", 10, sleef_cospi);
  add_slots<T>(p + "Atan2", 10, atan2);
  add_slots<T>(p + "Atan2pi", 10, atan2pi);
  add<T>(p + "Atan2_mvec", 10, mvec_atan2);
  add<T>(p + "Atan2_sleef_u10", 10, sleef_atan2_u10);
  add<T>(p + "Atan2_sleef_u35", 10, sleef_atan2_u35);
  add<T>(p + "Atan2_libm", 10, libm_atan2);
}

const bool registered = [] {
  QOR_TRIG_ROW(Sin, sin, 1e4, 1e6)
  QOR_TRIG_ROW(Cos, cos, 1e4, 1e6)
  QOR_TRIG_ROW(Tan, tan, 1e4, 1e6)
  QOR_TRIG_ROW(Asin, asin, 1.0, 1.0)
  QOR_TRIG_ROW(Acos, acos, 1.0, 1.0)
  QOR_TRIG_ROW(Atan, atan, 10.0, 10.0)
  {
  using T = float;
  add_pi_atan2<T>("TrigX_s", qor_fnx_kernel_sSinpi_ttab, qor_fnx_kernel_sCospi_ttab, qor_fnx_kernel_sAtan2_ttab,
                      qor_fnx_kernel_sAtan2pi_ttab, QOR_ONE(__m128, Sleef_sinpif4_u05sse2),
                      QOR_ONE(__m128, Sleef_cospif4_u05sse2), QOR_TWO(__m128, _ZGVbN4vv_atan2f),
                      QOR_TWO(__m128, Sleef_atan2f4_u10sse2), QOR_TWO(__m128, Sleef_atan2f4_u35sse2),
                      [](int32_t n, const float* a, const float* b, float* r) {
                        for (int32_t i = 0; i < n; ++i) r[i] = ::atan2f(a[i], b[i]);
                      });
  }
  {
  using T = double;
  add_pi_atan2<T>("TrigX_d", qor_fnx_kernel_dSinpi_ttab, qor_fnx_kernel_dCospi_ttab, qor_fnx_kernel_dAtan2_ttab,
                       qor_fnx_kernel_dAtan2pi_ttab, QOR_ONE(__m128d, Sleef_sinpid2_u05sse2),
                       QOR_ONE(__m128d, Sleef_cospid2_u05sse2), QOR_TWO(__m128d, _ZGVbN2vv_atan2),
                       QOR_TWO(__m128d, Sleef_atan2d2_u10sse2), QOR_TWO(__m128d, Sleef_atan2d2_u35sse2),
                       [](int32_t n, const double* a, const double* b, double* r) {
                         for (int32_t i = 0; i < n; ++i) r[i] = ::atan2(a[i], b[i]);
                       });
  }
  return true;
}();

}  // namespace
