// Exponential with shift a and scale beta: r = max(a, a - beta ln u) for u uniform on [0, 1).
// A uniform of exactly 0 gives ln u = the logarithm of the smallest positive value (through the
// generator's ln callback), so r stays finite.
#include <algorithm>

#include "random/distributions/frame.h"

using namespace qor::rng;

namespace {

struct Exponential;

template <class T>
int32_t exponential(HoxStream stream, int32_t n, T* r, T a, T beta) {
  return dist::generate(stream, n, r, dist::Draw<T>{}, dist::ln_callback<T, Exponential>,
                        [a, beta](T* u, int32_t m, T* out) {
                          dist::Ln(m, u);
                          for (int32_t i = 0; i < m; ++i) out[i] = std::max(a, a - beta * u[i]);
                        });
}

}  // namespace

extern "C" QOR_API int32_t _hoxdRngExponential(int32_t method, HoxStream stream, int32_t n, double* r,
                                               double a, double beta) {
  return exponential(stream, n, r, a, beta);
}

extern "C" QOR_API int32_t _hoxsRngExponential(int32_t method, HoxStream stream, int32_t n, float* r,
                                               float a, float beta) {
  return exponential(stream, n, r, a, beta);
}
