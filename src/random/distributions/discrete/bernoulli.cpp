// Bernoulli and geometric variates from single-precision uniforms on [0, 1).
//
// Bernoulli: r = 1 where u < p, p rounded to single precision; the comparison is made on the bit
// patterns of u and p as signed 32-bit integers, which order non-negative floats as the floats.
// p = 0 gives zeros, p = 1 ones (every u is below 1).
// Geometric (number of failures before the first success): L = ln(1 - p) once, r = floor(ln u / L)
// with the single-precision ln kernel on whole blocks; ln 0 becomes -103.2789306640625 through
// the generator's callback (so u = 0 gives a large finite result instead of infinity); results
// beyond 2^31 - 1 (p below about 1e-8) saturate there. p = 1 gives zeros.
// A p outside [0, 1] (or 0 for the geometric) or NaN, or a method other than 0: HOX_ERR_BAD_ARGUMENT,
// nothing drawn.
#include <cmath>
#include <cstring>

#include "random/distributions/discrete/discrete.h"

using namespace qor::rng;

namespace {
struct Geometric;
}

extern "C" QOR_API int32_t _hoxiRngBernoulli(int32_t method, HoxStream stream, int32_t n, int32_t* r, double p) {
  if (method != 0 || !(p >= 0.0 && p <= 1.0)) return HOX_ERR_BAD_ARGUMENT;
  const float pf = float(p);
  int32_t pbits;
  std::memcpy(&pbits, &pf, 4);
  return dist::generate(stream, n, reinterpret_cast<float*>(r), dist::Draw<float>{}, nullptr,
                        [pbits](float* u, int32_t m, float* out) {
                          auto* o = reinterpret_cast<int32_t*>(out);
                          for (int32_t i = 0; i < m; ++i) {
                            int32_t b;
                            std::memcpy(&b, u + i, 4);
                            o[i] = b < pbits ? 1 : 0;
                          }
                        });
}

extern "C" QOR_API int32_t _hoxiRngGeometric(int32_t method, HoxStream stream, int32_t n, int32_t* r, double p) {
  if (method != 0 || !(p > 0.0 && p <= 1.0)) return HOX_ERR_BAD_ARGUMENT;
  const double L = dist::ln1(1.0 - p);  // -inf at p = 1: every result is 0
  return dist::generate(stream, n, reinterpret_cast<float*>(r), dist::Draw<float>{},
                        dist::ln_callback<float, Geometric>, [L](float* u, int32_t m, float* out) {
                          dist::Ln(m, u);
                          auto* o = reinterpret_cast<int32_t*>(out);
                          for (int32_t i = 0; i < m; ++i) {
                            const double x = std::floor(double(u[i]) / L);
                            o[i] = x < 2147483647.0 ? int32_t(x) : INT32_MAX;
                          }
                        });
}
