// Continuous distributions, double precision on MT19937, against GSL's generators on
// gsl_rng_mt19937 in the same run (numpy's Generator(MT19937) by continuous_vs_numpy.py, which
// alternates its timings with this binary's), at n = 1,000 and 1,000,000. Names:
// Continuous/<dist>/qor|gsl/<n>.
#include <benchmark/benchmark.h>
#include <gsl/gsl_randist.h>
#include <gsl/gsl_rng.h>

#include <functional>
#include <vector>

#include "dist_pairs.h"
#include "qor/rng.h"

namespace {

using Ours = std::function<void(HoxStream, int32_t, double*)>;
using Theirs = std::function<double(gsl_rng*)>;
void ours(benchmark::State& state, Ours f) { qor::bench::ours<double>(state, f); }
void theirs(benchmark::State& state, Theirs f) { qor::bench::theirs<double>(state, f); }
using qor::bench::sizes;

#define PAIR(name, our_call, gsl_call)                                                                          \
  BENCHMARK_CAPTURE(ours, name##_qor, [](HoxStream s, int32_t n, double* r) { our_call; })->Name("Continuous/" #name "/qor")->Apply(sizes); \
  BENCHMARK_CAPTURE(theirs, name##_gsl, [](gsl_rng* g) { return gsl_call; })->Name("Continuous/" #name "/gsl")->Apply(sizes);

PAIR(gaussian_bm, _hoxdRngGaussian(0, s, n, r, 0.0, 1.0), gsl_ran_gaussian_ziggurat(g, 1.0))
PAIR(gaussian_pairs, _hoxdRngGaussian(1, s, n, r, 0.0, 1.0), gsl_ran_gaussian(g, 1.0))
PAIR(gaussian_icdf, _hoxdRngGaussian(2, s, n, r, 0.0, 1.0), gsl_ran_ugaussian(g))
PAIR(exponential, _hoxdRngExponential(0, s, n, r, 0.0, 1.0), gsl_ran_exponential(g, 1.0))
PAIR(laplace, _hoxdRngLaplace(0, s, n, r, 0.0, 1.0), gsl_ran_laplace(g, 1.0))
PAIR(weibull, _hoxdRngWeibull(0, s, n, r, 1.5, 0.0, 1.0), gsl_ran_weibull(g, 1.0, 1.5))
PAIR(cauchy, _hoxdRngCauchy(0, s, n, r, 0.0, 1.0), gsl_ran_cauchy(g, 1.0))
PAIR(rayleigh, _hoxdRngRayleigh(0, s, n, r, 0.0, 1.0), gsl_ran_rayleigh(g, 1.0))
PAIR(lognormal, _hoxdRngLognormal(0, s, n, r, 0.0, 1.0, 0.0, 1.0), gsl_ran_lognormal(g, 0.0, 1.0))
PAIR(gumbel, _hoxdRngGumbel(0, s, n, r, 0.0, 1.0), -gsl_ran_gumbel1(g, 1.0, 1.0))
PAIR(gamma0_3, _hoxdRngGamma(0, s, n, r, 0.3, 0.0, 1.0), gsl_ran_gamma(g, 0.3, 1.0))
PAIR(gamma0_8, _hoxdRngGamma(0, s, n, r, 0.8, 0.0, 1.0), gsl_ran_gamma(g, 0.8, 1.0))
PAIR(gamma2_5, _hoxdRngGamma(0, s, n, r, 2.5, 0.0, 1.0), gsl_ran_gamma(g, 2.5, 1.0))
PAIR(beta0_5_0_5, _hoxdRngBeta(0, s, n, r, 0.5, 0.5, 0.0, 1.0), gsl_ran_beta(g, 0.5, 0.5))
PAIR(beta0_5_3, _hoxdRngBeta(0, s, n, r, 0.5, 3.0, 0.0, 1.0), gsl_ran_beta(g, 0.5, 3.0))
PAIR(beta2_3, _hoxdRngBeta(0, s, n, r, 2.0, 3.0, 0.0, 1.0), gsl_ran_beta(g, 2.0, 3.0))

}  // namespace
