// Lognormal variates: g Gaussian with mean a and deviation sigma (the pair method 1 for
// Lognormal method 0, the inverse error function, method 2, for every other method), then
// r = max(b, b + beta exp(g)). The normal draw runs in the Gaussian generator's frame; the
// exponential runs in a frame of its own without a callback (an overflow goes to the caller's
// error mode), on the results in blocks of 1024.
#include <algorithm>

#include "random/distributions/continuous/normal.h"

using namespace qor::rng;

namespace {

template <class T>
int32_t lognormal(int32_t method, HoxStream stream, int32_t n, T* r, T a, T sigma, T b, T beta) {
  const int32_t status = dist::gaussian(method == 0 ? 1 : 2, stream, n, r, a, sigma);
  if (status < 0 || n <= 0) return status;
  const dist::Frame frame(nullptr);
  for (int32_t done = 0; done < n; done += 1024) {
    const int32_t m = std::min<int32_t>(1024, n - done);
    T* x = r + done;
    dist::Exp(m, x);
    for (int32_t i = 0; i < m; ++i) x[i] = std::max(b, b + beta * x[i]);
  }
  return 0;
}

}  // namespace

extern "C" QOR_API int32_t _hoxdRngLognormal(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                             double sigma, double b, double beta) {
  return lognormal(method, stream, n, r, a, sigma, b, beta);
}

extern "C" QOR_API int32_t _hoxsRngLognormal(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                                             float sigma, float b, float beta) {
  return lognormal(method, stream, n, r, a, sigma, b, beta);
}
