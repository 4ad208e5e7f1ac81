// Philox4x32x10, ARS5, Wichmann-Hill and R250: doubles on [0, 1) through _hoxdRngUniform (and
// Philox's raw words), at n = 1,000 and 1,000,000, against GSL's generators in the same run
// (gsl_rng_r250, gsl_rng_mt19937, gsl_rng_taus2 through gsl_rng_uniform). numpy's Philox runs
// alternately with this binary in bench/random/twister_vs_numpy.py (--numpy Philox
// --filter Counter).
#include "stream_loops.h"

namespace {

template <class T>
void Counter_qor(benchmark::State& state, T, int32_t brng) {
  bench_rng::qor_uniform<T>(state, brng, {0x123, 0x234, 0x345, 0x456, 1, 2, 3, 4});
}

void Counter_gsl(benchmark::State& state, const gsl_rng_type* type) { bench_rng::gsl_uniform(state, type); }

void sizes(benchmark::internal::Benchmark* b) { b->Arg(1000)->Arg(1000000); }

BENCHMARK_CAPTURE(Counter_qor, PHILOX4X32X10_double, 0.0, HOX_BRNG_PHILOX4X32X10)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, PHILOX4X32X10_words, uint32_t(0), HOX_BRNG_PHILOX4X32X10)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, ARS5_double, 0.0, HOX_BRNG_ARS5)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, ARS5_words, uint32_t(0), HOX_BRNG_ARS5)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, WH_double, 0.0, HOX_BRNG_WH)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, R250_double, 0.0, HOX_BRNG_R250)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_qor, TRNG_double, 0.0, HOX_BRNG_NONDETERM)->Arg(1000);
BENCHMARK_CAPTURE(Counter_gsl, gsl_r250, gsl_rng_r250)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_gsl, gsl_taus2, gsl_rng_taus2)->Apply(sizes);
BENCHMARK_CAPTURE(Counter_gsl, gsl_mt19937, gsl_rng_mt19937)->Apply(sizes);

}  // namespace
