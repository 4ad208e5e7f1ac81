// Every function with a benchmark group in the reference list (vector_math/frame/reference.def)
// whose row of functions.def is built: the kernels in its LA, HA and EP slots against the anchors
// users would pick instead: the glibc libm scalar loop and, for the row's `vec` anchors, glibc
// libmvec SSE entry points (_ZGVbN4v_* / _ZGVbN2v_*) and SLEEF's SSE2 1.0-ulp variants (_u10);
// for the row's `sleef` anchors (functions libmvec lacks: lgamma, tgamma) SLEEF's only.
//
// Each benchmark transforms one array of n random inputs (the row's range, fresh values, not a
// repeated small array) into a result array; items/s is elements per second.
//   bench_vector_math --benchmark_filter='ExpLog' --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "qor/vm.h"

// The row's anchors: glibc libmvec and SLEEF, SSE variants (4 floats / 2 doubles).
#define QOR_REF(F, mpfr, libm, bench, s, d) QOR_BENCH_SELECT(F, bench)
#define QOR_BENCH(group, name, anchors, rs, rd) 1, group, name, anchors, rs, rd
#define QOR_NOBENCH 0, , , , ,
#define QOR_BENCH_SELECT(F, ...) QOR_BENCH_SELECT2(F, __VA_ARGS__)
#define QOR_BENCH_SELECT2(F, on, group, name, anchors, rs, rd) QOR_BENCH_ROW_##on(F, group, name, anchors, rs, rd)
#define QOR_BENCH_ROW_0(...)
#define QOR_BENCH_ROW_1(F, group, name, anchors, rs, rd) QOR_BENCH_DECLARE_##anchors(name)
#define QOR_BENCH_DECLARE_scalar(name)
#define QOR_BENCH_DECLARE_sleef(name)          \
  __m128 Sleef_##name##f4_u10sse2(__m128); \
  __m128d Sleef_##name##d2_u10sse2(__m128d);
#define QOR_BENCH_DECLARE_vec(name)      \
  __m128 _ZGVbN4v_##name##f(__m128);     \
  __m128d _ZGVbN2v_##name(__m128d);      \
  QOR_BENCH_DECLARE_sleef(name)
#define QOR_BENCH_DECLARE_vec15(name)       \
  __m128 _ZGVbN4v_##name##f(__m128);        \
  __m128d _ZGVbN2v_##name(__m128d);         \
  __m128 Sleef_##name##f4_u15sse2(__m128);  \
  __m128d Sleef_##name##d2_u15sse2(__m128d);
extern "C" {
#include "vector_math/frame/reference.def"
}
#undef QOR_BENCH_ROW_1
#undef QOR_BENCH_DECLARE_scalar
#undef QOR_BENCH_DECLARE_sleef
#undef QOR_BENCH_DECLARE_vec
#undef QOR_BENCH_DECLARE_vec15

namespace {

enum class Dist { uniform, log_uniform };
struct Range {
  double lo, hi;
  Dist dist;
};

template <class T>
const std::vector<T>& inputs(int64_t n, double lo, double hi, Dist d) {
  // One array per (type, range, distribution, size), made once.
  static thread_local std::vector<std::pair<std::tuple<int64_t, double, double, Dist>, std::vector<T>>> cache;
  for (auto& [key, v] : cache)
    if (key == std::make_tuple(n, lo, hi, d)) return v;
  std::mt19937_64 g(12345);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<T> v(static_cast<size_t>(n));
  for (auto& x : v) x = static_cast<T>(d == Dist::uniform ? u(g) : std::exp2(u(g)));
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

// The kernels in the LA, HA and EP slots of every built one-argument function, called by name
// (a direct call, as a caller of the kernel makes it), from the function list.
#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) QOR_BENCH_FN_##built(t, F, shape, la, ha, ep)
#define QOR_BENCH_FN_0(t, F, shape, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_FN_1(t, F, shape, la, ha, ep) QOR_BENCH_SHAPE_##shape(t, F, la, ha, ep)
#define QOR_BENCH_NONE(t, F) \
  struct row_##t##F {        \
    static constexpr bool kernels = false; \
  };
#define QOR_BENCH_SHAPE_V1(t, F, la, ha, ep)                                                          \
  struct row_##t##F {                                                                                \
    static constexpr bool kernels = true;                                                            \
    using T = QOR_FNX_T_##t;                                                                         \
    static void LA(int32_t n, const T* a, T* r) { qor_fnx_kernel_##t##F##_##la(n, a, r); }           \
    static void HA(int32_t n, const T* a, T* r) { qor_fnx_kernel_##t##F##_##ha(n, a, r); }           \
    static void EP(int32_t n, const T* a, T* r) { qor_fnx_kernel_##t##F##_##ep(n, a, r); }           \
  };
#define QOR_BENCH_SHAPE_V2(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_VX(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_V1R2(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_LF(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_CIS(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_CR(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_PACKI(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_PACKV(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_PACKM(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_UNPACKI(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_UNPACKV(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#define QOR_BENCH_SHAPE_UNPACKM(t, F, la, ha, ep) QOR_BENCH_NONE(t, F)
#include "qor/functions.def"
#undef QOR_FN

// Registers {base}_{what}/1000 and /1000000 timing `body` on the range.
template <class T, class Body>
void add(const std::string& name, Range g, Body body) {
  benchmark::RegisterBenchmark(name.c_str(), [g, body](benchmark::State& st) { run<T>(st, g.lo, g.hi, g.dist, body); })
      ->Arg(1000)
      ->Arg(1000000)
      ->Unit(benchmark::kMicrosecond);
}

// One function of one type: its three slots, then its anchors (null: none).
template <class T, class Row, class Libm, class Mvec, class Sleef>
void add_function(const std::string& base, Range g, Libm libm, Mvec mvec, Sleef sleef, const char* sleef_tag) {
  if constexpr (Row::kernels) {
    add<T>(base + "_qor_LA", g, [](int32_t n, const T* x, T* r) { Row::LA(n, x, r); });
    add<T>(base + "_qor_HA", g, [](int32_t n, const T* x, T* r) { Row::HA(n, x, r); });
    add<T>(base + "_qor_EP", g, [](int32_t n, const T* x, T* r) { Row::EP(n, x, r); });
    add<T>(base + "_libm", g, libm);
    if constexpr (!std::is_same_v<Mvec, std::nullptr_t>) add<T>(base + "_mvec", g, mvec);
    if constexpr (!std::is_same_v<Sleef, std::nullptr_t>) add<T>(base + sleef_tag, g, sleef);
  }
}

#define QOR_RANGE(lo, hi, dist) (Range{lo, hi, Dist::dist})
#define QOR_BENCH_ROW_1(F, group, name, anchors, rs, rd)                                         \
  if constexpr (t == 's')                                                                       \
    add_function<float, row_s##F>(#group "_s" #F, rs, QOR_BENCH_LIBM(float, name##f),             \
                                  QOR_BENCH_ANCHORS_##anchors(s, float, __m128, 4, name##f, name##f4)); \
  else                                                                                          \
    add_function<double, row_d##F>(#group "_d" #F, rd, QOR_BENCH_LIBM(double, name),             \
                                    QOR_BENCH_ANCHORS_##anchors(d, double, __m128d, 2, name, name##d2));
#define QOR_BENCH_LIBM(T, fn) \
  [](int32_t n, const T* x, T* r) {                \
    for (int32_t i = 0; i < n; ++i) r[i] = ::fn(x[i]); \
  }
#define QOR_BENCH_ANCHORS_scalar(t, T, V, w, mvec, sleef) nullptr, nullptr, ""
#define QOR_BENCH_SLEEF_LOOP(t, T, V, sleef, u) \
  [](int32_t n, const T* x, T* r) { vec_loop_##t<V>(n, x, r, Sleef_##sleef##_##u##sse2); }
#define QOR_BENCH_ANCHORS_sleef(t, T, V, w, mvec, sleef) nullptr, QOR_BENCH_SLEEF_LOOP(t, T, V, sleef, u10), "_sleef_u10"
#define QOR_BENCH_MVEC_LOOP(t, T, V, w, mvec) \
  [](int32_t n, const T* x, T* r) { vec_loop_##t<V>(n, x, r, _ZGVbN##w##v_##mvec); }
#define QOR_BENCH_ANCHORS_vec(t, T, V, w, mvec, sleef) \
  QOR_BENCH_MVEC_LOOP(t, T, V, w, mvec), QOR_BENCH_SLEEF_LOOP(t, T, V, sleef, u10), "_sleef_u10"
// libmvec and SLEEF's 1.5-ulp variant (erfc: SLEEF has no u10 one)
#define QOR_BENCH_ANCHORS_vec15(t, T, V, w, mvec, sleef) \
  QOR_BENCH_MVEC_LOOP(t, T, V, w, mvec), QOR_BENCH_SLEEF_LOOP(t, T, V, sleef, u15), "_sleef_u15"

// Every benchmarked function of one type, in the reference list's order.
template <char t>
void add_all() {
#include "vector_math/frame/reference.def"
}

// Inv, Sqrt and InvSqrt against the loops a caller would write with the SSE instructions
// (Roots_{t}{Func}_sse): divps/divpd, sqrtps/sqrtpd, and both for 1/sqrt; on (0, 1e6]. Sqrt's
// slots and libm loop are registered from the reference list; Inv and InvSqrt have no row there.
template <class T, class Row, class V, bool kRoot, bool kInverse>
void add_sse_root(const std::string& base) {
  const Range g{1e-3, 1e6, Dist::uniform};
  auto op = [](V v) {
    V r = v;
    if constexpr (sizeof(T) == 4) {
      if constexpr (kRoot) r = _mm_sqrt_ps(r);
      if constexpr (kInverse) r = _mm_div_ps(_mm_set1_ps(1), r);
    } else {
      if constexpr (kRoot) r = _mm_sqrt_pd(r);
      if constexpr (kInverse) r = _mm_div_pd(_mm_set1_pd(1), r);
    }
    return r;
  };
  if constexpr (kInverse) {
    auto libm = [](int32_t n, const T* x, T* r) {
      for (int32_t i = 0; i < n; ++i) r[i] = kRoot ? 1 / std::sqrt(x[i]) : 1 / x[i];
    };
    add_function<T, Row>(base, g, libm, nullptr, nullptr, "");
  }
  if constexpr (sizeof(T) == 4) add<T>(base + "_sse", g, [op](int32_t n, const T* x, T* r) { vec_loop_s<V>(n, x, r, op); });
  else add<T>(base + "_sse", g, [op](int32_t n, const T* x, T* r) { vec_loop_d<V>(n, x, r, op); });
}
void add_sse_roots() {
  add_sse_root<float, row_sInv, __m128, false, true>("Roots_sInv");
  add_sse_root<double, row_dInv, __m128d, false, true>("Roots_dInv");
  add_sse_root<float, row_sSqrt, __m128, true, false>("Roots_sSqrt");
  add_sse_root<double, row_dSqrt, __m128d, true, false>("Roots_dSqrt");
  add_sse_root<float, row_sInvSqrt, __m128, true, true>("Roots_sInvSqrt");
  add_sse_root<double, row_dInvSqrt, __m128d, true, true>("Roots_dInvSqrt");
}

// Single precision first, then double.
const bool registered = (add_all<'s'>(), add_all<'d'>(), add_sse_roots(), true);

}  // namespace
