// The distributions that are a closed-form transform of one uniform each (Laplace two: one for
// the magnitude and one for the sign), each with shift a and scale beta:
//   Laplace   a - beta ln u when the sign uniform v <= 1/2, else a + beta ln u;
//   Weibull   max(a, a + beta (-ln u)^(1/alpha)), the power skipped when alpha = 1 (then it
//             equals Exponential with the same a, beta and uniforms);
//   Cauchy    a + beta tan u, u uniform on [-pi/2, pi/2) (the bounds rounded to the precision);
//   Rayleigh  max(a, a + beta sqrt(-ln u));
//   Gumbel    a + beta ln(E), E = max(0, -ln u) the standard exponential: the distribution of
//             the smallest extreme, F(x) = 1 - exp(-exp((x - a) / beta)).
// u is uniform on [0, 1) unless said; ln 0 gives the logarithm of the smallest positive value
// through each generator's own callback (Cauchy installs none: tan has no error on its range).
#include <algorithm>

#include "random/distributions/frame.h"

using namespace qor::rng;

namespace {

struct Laplace;
struct Weibull;
struct Rayleigh;
struct Gumbel;

template <class T>
int32_t laplace(HoxStream stream, int32_t n, T* r, T a, T beta) {
  return dist::generate(stream, n, r, dist::Draw<T, 2>{}, dist::ln_callback<T, Laplace>,
                        [a, beta](T* u, int32_t m, T* out) {
                          alignas(16) T mag[1024];
                          for (int32_t i = 0; i < m; ++i) mag[i] = u[2 * i];
                          dist::Ln(m, mag);
                          for (int32_t i = 0; i < m; ++i)
                            out[i] = u[2 * i + 1] <= T(0.5) ? a - beta * mag[i] : a + beta * mag[i];
                        });
}

template <class T>
int32_t weibull(HoxStream stream, int32_t n, T* r, T alpha, T a, T beta) {
  const T inv = T(1) / alpha;
  return dist::generate(stream, n, r, dist::Draw<T>{}, dist::ln_callback<T, Weibull>,
                        [=](T* u, int32_t m, T* out) {
                          dist::Ln(m, u);
                          for (int32_t i = 0; i < m; ++i) u[i] = -u[i];
                          if (alpha != T(1)) dist::Powx(m, u, inv);
                          for (int32_t i = 0; i < m; ++i) out[i] = std::max(a, a + beta * u[i]);
                        });
}

template <class T>
int32_t cauchy(HoxStream stream, int32_t n, T* r, T a, T beta) {
  const T half_pi = sizeof(T) == sizeof(double) ? T(1.5707963267948966) : T(1.5707963267948966f);
  return dist::generate(stream, n, r, dist::Draw<T>{-half_pi, half_pi}, nullptr, [=](T* u, int32_t m, T* out) {
    dist::Tan(m, u);
    for (int32_t i = 0; i < m; ++i) out[i] = a + beta * u[i];
  });
}

template <class T>
int32_t rayleigh(HoxStream stream, int32_t n, T* r, T a, T beta) {
  return dist::generate(stream, n, r, dist::Draw<T>{}, dist::ln_callback<T, Rayleigh>, [=](T* u, int32_t m, T* out) {
    dist::Ln(m, u);
    for (int32_t i = 0; i < m; ++i) u[i] = -u[i];
    dist::Sqrt(m, u);
    for (int32_t i = 0; i < m; ++i) out[i] = std::max(a, a + beta * u[i]);
  });
}

template <class T>
int32_t gumbel(HoxStream stream, int32_t n, T* r, T a, T beta) {
  return dist::generate(stream, n, r, dist::Draw<T>{}, dist::ln_callback<T, Gumbel>, [=](T* u, int32_t m, T* out) {
    dist::Ln(m, u);
    for (int32_t i = 0; i < m; ++i) u[i] = std::max(T(0), -u[i]);
    dist::Ln(m, u);
    for (int32_t i = 0; i < m; ++i) out[i] = a + beta * u[i];
  });
}

}  // namespace

#define QOR_TWINS(Name, fn, params, args)                                                            \
  extern "C" QOR_API int32_t _hoxdRng##Name(int32_t, HoxStream stream, int32_t n, double* r,        \
                                            QOR_PARAMS_##params(double)) {                          \
    return fn(stream, n, r, QOR_ARGS_##args);                                                        \
  }                                                                                                  \
  extern "C" QOR_API int32_t _hoxsRng##Name(int32_t, HoxStream stream, int32_t n, float* r,         \
                                            QOR_PARAMS_##params(float)) {                           \
    return fn(stream, n, r, QOR_ARGS_##args);                                                        \
  }
#define QOR_PARAMS_AB(T) T a, T beta
#define QOR_PARAMS_SAB(T) T alpha, T a, T beta
#define QOR_ARGS_AB a, beta
#define QOR_ARGS_SAB alpha, a, beta
QOR_TWINS(Laplace, laplace, AB, AB)
QOR_TWINS(Weibull, weibull, SAB, SAB)
QOR_TWINS(Cauchy, cauchy, AB, AB)
QOR_TWINS(Rayleigh, rayleigh, AB, AB)
QOR_TWINS(Gumbel, gumbel, AB, AB)
