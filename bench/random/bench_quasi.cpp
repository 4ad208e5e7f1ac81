// Quasi-random points per coordinate: our Sobol and Niederreiter streams (_hoxdRngUniform,
// doubles on [0, 1)) against GSL's gsl_qrng_sobol and gsl_qrng_niederreiter_2 (one
// gsl_qrng_get per point), in dimensions 1, 10 and 40 (GSL's Niederreiter stops at 12), at
// 1,000 and 1,000,000 coordinates per call. Before timing, each pair is checked to give the
// same points (GSL keeps 30 bits for Sobol and 31 for Niederreiter, so the comparison is on
// those bits; GSL's Niederreiter emits the origin first, ours and GSL's Sobol start at point 1).
#include <benchmark/benchmark.h>
#include <gsl/gsl_qrng.h>

#include <cmath>
#include <vector>

#include "qor/rng.h"

namespace {

const gsl_qrng_type* gsl_type(int32_t brng) {
  return brng == HOX_BRNG_SOBOL ? gsl_qrng_sobol : gsl_qrng_niederreiter_2;
}

// Our first points against GSL's, on the bits GSL has.
bool agree(int32_t brng, uint32_t d) {
  const int bits = brng == HOX_BRNG_SOBOL ? 30 : 31;
  HoxStream s = nullptr;
  __hoxNewStreamEx(&s, brng, 1, &d);
  gsl_qrng* q = gsl_qrng_alloc(gsl_type(brng), d);
  std::vector<double> ours(d), theirs(d);
  if (brng == HOX_BRNG_NIEDERREITER) gsl_qrng_get(q, theirs.data());  // GSL's starts at the origin
  bool same = true;
  for (int i = 0; i < 4096 && same; ++i) {
    _hoxdRngUniform(0, s, int32_t(d), ours.data(), 0.0, 1.0);
    gsl_qrng_get(q, theirs.data());
    for (uint32_t j = 0; j < d; ++j)
      same = same && std::ldexp(std::floor(std::ldexp(ours[j], bits)), -bits) == theirs[j];
  }
  gsl_qrng_free(q);
  __hoxDeleteStream(&s);
  return same;
}

void qor_points(benchmark::State& state, int32_t brng) {
  const uint32_t d = uint32_t(state.range(0));
  const int32_t n = int32_t(state.range(1) / d * d);
  if (!agree(brng, d)) {
    state.SkipWithError("points differ from GSL's");
    return;
  }
  std::vector<double> r(static_cast<size_t>(n));
  HoxStream s = nullptr;
  __hoxNewStreamEx(&s, brng, 1, &d);
  for (auto _ : state) {
    if (_hoxdRngUniform(0, s, n, r.data(), 0.0, 1.0) == HOX_ERR_QRNG_PERIOD_ELAPSED) {
      state.PauseTiming();
      __hoxDeleteStream(&s);
      __hoxNewStreamEx(&s, brng, 1, &d);
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  __hoxDeleteStream(&s);
  state.SetItemsProcessed(state.iterations() * n);
}

void gsl_points(benchmark::State& state, int32_t brng) {
  const uint32_t d = uint32_t(state.range(0));
  const int32_t n = int32_t(state.range(1) / d * d);
  std::vector<double> r(static_cast<size_t>(n));
  gsl_qrng* q = gsl_qrng_alloc(gsl_type(brng), d);
  for (auto _ : state) {
    for (int32_t i = 0; i < n; i += int32_t(d)) gsl_qrng_get(q, r.data() + i);
    benchmark::DoNotOptimize(r.data());
    benchmark::ClobberMemory();
  }
  gsl_qrng_free(q);
  state.SetItemsProcessed(state.iterations() * n);
}

void sobol_args(benchmark::internal::Benchmark* b) {
  for (int d : {1, 10, 40})
    for (int n : {1000, 1000000}) b->Args({d, n});
}
void niederr_args(benchmark::internal::Benchmark* b) {
  for (int d : {1, 10})
    for (int n : {1000, 1000000}) b->Args({d, n});
}

BENCHMARK_CAPTURE(qor_points, sobol, HOX_BRNG_SOBOL)->Apply(sobol_args);
BENCHMARK_CAPTURE(gsl_points, sobol, HOX_BRNG_SOBOL)->Apply(sobol_args);
BENCHMARK_CAPTURE(qor_points, niederreiter, HOX_BRNG_NIEDERREITER)->Apply(niederr_args);
BENCHMARK_CAPTURE(gsl_points, niederreiter, HOX_BRNG_NIEDERREITER)->Apply(niederr_args);

}  // namespace
