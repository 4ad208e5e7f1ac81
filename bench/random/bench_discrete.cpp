// Discrete distributions on MT19937 against GSL's generators on gsl_rng_mt19937 in the same run
// (numpy's Generator(MT19937) by discrete_vs_numpy.py, which alternates its timings with this
// binary's), at n = 1,000 and 1,000,000. Names: Discrete/<dist>/qor|gsl/<n>.
#include <benchmark/benchmark.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <functional>
#include <vector>

#include "dist_pairs.h"
#include "qor/rng.h"

namespace {

using Ours = std::function<void(HoxStream, int32_t, int32_t*)>;
using Theirs = std::function<int32_t(gsl_rng*)>;
void ours(benchmark::State& state, Ours f) { qor::bench::ours<int32_t>(state, f); }
void theirs(benchmark::State& state, Theirs f) { qor::bench::theirs<int32_t>(state, f); }
using qor::bench::sizes;

#define PAIR(name, our_call, gsl_call)                                                                       \
  BENCHMARK_CAPTURE(ours, name##_qor, [](HoxStream s, int32_t n, int32_t* r) { our_call; })                 \
      ->Name("Discrete/" #name "/qor")                                                                      \
      ->Apply(sizes);                                                                                       \
  BENCHMARK_CAPTURE(theirs, name##_gsl, [](gsl_rng* g) { return int32_t(gsl_call); })                       \
      ->Name("Discrete/" #name "/gsl")                                                                      \
      ->Apply(sizes);

PAIR(bernoulli0_3, _hoxiRngBernoulli(0, s, n, r, 0.3), gsl_ran_bernoulli(g, 0.3))
PAIR(geometric0_1, _hoxiRngGeometric(0, s, n, r, 0.1), gsl_ran_geometric(g, 0.1) - 1)
PAIR(poisson10, _hoxiRngPoisson(0, s, n, r, 10.0), gsl_ran_poisson(g, 10.0))
PAIR(poisson1000, _hoxiRngPoisson(0, s, n, r, 1000.0), gsl_ran_poisson(g, 1000.0))
PAIR(binomial100_0_3, _hoxiRngBinomial(0, s, n, r, 100, 0.3), gsl_ran_binomial(g, 0.3, 100))
PAIR(binomial1e6_0_4, _hoxiRngBinomial(0, s, n, r, 1000000, 0.4), gsl_ran_binomial(g, 0.4, 1000000))
// lot 1000 with 300 marked, samples of 100 (table); lot 10^6 with 3 10^5 marked, samples of
// 5 10^4 (ratio of uniforms).
PAIR(hyper_small, _hoxiRngHypergeometric(0, s, n, r, 1000, 100, 300), gsl_ran_hypergeometric(g, 300, 700, 100))
// (GSL's hypergeometric draws the sample item by item, about 0.5 ms per number here: its
// large case runs at n = 1,000 only.)
BENCHMARK_CAPTURE(ours, hyper_large_qor, [](HoxStream s, int32_t n, int32_t* r) {
  _hoxiRngHypergeometric(0, s, n, r, 1000000, 50000, 300000);
})->Name("Discrete/hyper_large/qor")->Apply(sizes);
BENCHMARK_CAPTURE(theirs, hyper_large_gsl, [](gsl_rng* g) {
  return int32_t(gsl_ran_hypergeometric(g, 300000, 700000, 50000));
})->Name("Discrete/hyper_large/gsl")->Arg(1000);
// a = 5, p = 0.3 (table); a = 10, p = 0.01 (gamma-Poisson mixture).
PAIR(negbin_small, _hoxiRngNegbinomial(0, s, n, r, 5.0, 0.3), gsl_ran_negative_binomial(g, 0.3, 5.0))
PAIR(negbin_large, _hoxiRngNegbinomial(0, s, n, r, 10.0, 0.01), gsl_ran_negative_binomial(g, 0.01, 10.0))

}  // namespace
