// Poisson variates.
//
// _hoxiRngPoisson, method 0 (PTPE) and method 1: below 27 inversion of the cumulative table
// kept in the stream's kind-20 chunk for the last lambda (rebuilt when lambda changes; one
// uniform per result, the guide table finds the value in one or two comparisons); from 27 on,
// PTPE (Schmeiser and Kachitvichyanukul 1981; set-up and acceptance in discrete.cpp), two
// uniforms per candidate. Method 1 names the normal-based method; its tabulated normal
// approximation does not give exact Poisson variates, so method 1 draws the same exact variates
// as method 0 (the same numbers for the same stream). Other methods: HOX_ERR_BAD_ARGUMENT.
// _hoxiRngPoissonV: one result per lambda[i], by the same two methods chosen per element
// (inversion by the recursion from 0 below 27, PTPE with its set-up per element above).
// Lambda must be a number in [0, 2e9] (results stay below 2^31); others give
// HOX_ERR_BAD_ARGUMENT, nothing drawn.
#include "random/distributions/discrete/discrete.h"

using namespace qor::rng;

namespace {

constexpr double kMaxLambda = 2e9;
constexpr double kPtpeFrom = 27.0;

bool good_lambda(double lambda) { return lambda >= 0.0 && lambda <= kMaxLambda; }

}  // namespace

extern "C" QOR_API int32_t _hoxiRngPoisson(int32_t method, HoxStream stream, int32_t n, int32_t* r,
                                           double lambda) {
  if (null_output(n, r) || (method != 0 && method != 1) || !good_lambda(lambda)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (!row_of_stream(stream)) return HOX_ERR_INVALID_BRNG;
  const dist::Frame frame(nullptr);
  if (lambda < kPtpeFrom) {
    int32_t status = 0;
    const double key[4] = {lambda, 0, 0, 0};
    const dist::CdfTable* t = dist::cdf_table(
        stream, dist::kPoissonChunk, key, int64_t(lambda), 0, INT32_MAX, 1 << 10,
        [lambda](int64_t k) { return lambda / double(k + 1); }, &status);
    if (!t) return status;
    return dist::invert_blocks(stream, n, r, [t](double u) { return t->invert(u); });
  }
  dist::Ptpe s;
  dist::ptpe_setup(lambda, &s, true);
  dist::Uniforms src(stream);
  for (int32_t i = 0; i < n; ++i) {
    const int64_t x = dist::ptpe_one(s, src, 2 * int64_t(n - 1 - i));
    if (x < 0) return src.status();
    r[i] = dist::saturate(x);
  }
  return 0;
}

extern "C" QOR_API int32_t _hoxiRngPoissonV(int32_t method, HoxStream stream, int32_t n, int32_t* r,
                                            const double* lambda) {
  if (null_output(n, r) || (n > 0 && !lambda) || method != 0) return HOX_ERR_BAD_ARGUMENT;
  for (int32_t i = 0; i < n; ++i)
    if (!good_lambda(lambda[i])) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (!row_of_stream(stream)) return HOX_ERR_INVALID_BRNG;
  const dist::Frame frame(nullptr);
  dist::Uniforms src(stream);
  for (int32_t i = 0; i < n; ++i) {
    const int64_t x = dist::poisson_one(lambda[i], src, int64_t(n - 1 - i));
    if (x < 0) return src.status();
    r[i] = dist::saturate(x);
  }
  return 0;
}
