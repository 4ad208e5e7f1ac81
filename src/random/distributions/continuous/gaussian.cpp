// Gaussian variates with mean a and deviation sigma, three methods:
//   0  Box-Muller, one result per pair of uniforms: sqrt(-2 ln u1) sin(2 pi u2);
//   1  Box-Muller with pairs: the sine and then the cosine result of each pair; an odd count
//      leaves the last pair's (u1, u2) in the stream's kind-2 chunk, and the next call starts
//      with its cosine result, so a sequence of calls gives the numbers of one call;
//   2  inverse error function: sqrt(2) erfinv(u) for u uniform on [-1, 1).
// Any other method returns HOX_ERR_BAD_ARGUMENT and draws nothing.
#include <algorithm>

#include "qor/service.h"
#include "random/core/stream.h"
#include "random/distributions/continuous/normal.h"

using namespace qor::rng;

namespace qor::rng::dist {

double* pair_chunk(HoxStream stream, int32_t kind, int32_t* status) {
  if (void* found = __hoxSearchChunk(stream, kind)) return static_cast<double*>(found);
  auto* p = static_cast<double*>(qor_serv_allocate(2 * sizeof(double), 128));
  if (!p) {
    *status = HOX_ERR_NO_MEMORY;
    return nullptr;
  }
  p[0] = p[1] = -1.0;
  const int32_t st = __hoxAddChunk(stream, kind, nullptr, p, int32_t(2 * sizeof(double)));
  if (st < 0) {
    qor_serv_deallocate(p);
    *status = st;
    return nullptr;
  }
  return p;
}

}  // namespace qor::rng::dist

namespace {

constexpr int32_t kBlock = 1024;

template <class T>
int32_t box_muller_single(HoxStream stream, int32_t n, T* r, T a, T sigma) {
  const T two_pi = sizeof(T) == sizeof(double) ? T(6.283185307179586) : T(6.2831855f);
  return dist::generate(stream, n, r, dist::Draw<T, 2>{}, dist::gauss_callback<T>, [=](T* u, int32_t m, T* out) {
    alignas(16) T u1[kBlock], u2[kBlock];
    for (int32_t i = 0; i < m; ++i) {
      u1[i] = u[2 * i];
      u2[i] = u[2 * i + 1] * two_pi;
    }
    dist::Sin(m, u2);
    dist::Ln(m, u1);
    for (int32_t i = 0; i < m; ++i) u1[i] = T(-2) * u1[i];
    dist::Sqrt(m, u1);
    for (int32_t i = 0; i < m; ++i) out[i] = u1[i] * sigma * u2[i] + a;
  });
}

template <class T>
int32_t box_muller_pairs(HoxStream stream, int32_t n, T* r, T a, T sigma) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (!row_of_stream(stream)) return HOX_ERR_INVALID_BRNG;
  int32_t status = 0;
  double* saved = dist::pair_chunk(stream, dist::kGaussianPairChunk, &status);
  if (!saved) return status;
  const dist::Frame frame(dist::gauss_callback<T>);
  alignas(16) T u[kBlock], u1[kBlock / 2], u2[kBlock / 2], s[kBlock / 2], c[kBlock / 2];
  int32_t done = 0;
  if (saved[0] != -1.0) {  // the cosine result of the pair whose sine result went out last
    u1[0] = T(saved[0]);
    u2[0] = T(saved[1]);
    dist::box_muller(1, u1, u2, s, c);
    r[0] = c[0] * sigma + a;
    saved[0] = saved[1] = -1.0;
    done = 1;
  }
  while (done < n) {
    const int32_t want = n - done;
    const int32_t k = std::min(kBlock / 2, (want + 1) / 2);  // pairs in this block
    const int32_t st = dist::uniforms(stream, 2 * k, u, T(0), T(1));
    if (st < 0) return st;
    for (int32_t i = 0; i < k; ++i) {
      u1[i] = u[2 * i];
      u2[i] = u[2 * i + 1];
    }
    if (2 * k > want) {  // odd rest: the last pair's cosine result waits for the next call
      saved[0] = double(u[2 * k - 2]);
      saved[1] = double(u[2 * k - 1]);
    }
    dist::box_muller(k, u1, u2, s, c);
    T* out = r + done;
    const int32_t m = std::min(2 * k, want);
    for (int32_t i = 0; i < m; ++i) out[i] = ((i & 1) ? c[i / 2] : s[i / 2]) * sigma + a;
    done += m;
  }
  return 0;
}

template <class T>
int32_t inverse_erf(HoxStream stream, int32_t n, T* r, T a, T sigma) {
  const T scale = sigma * (sizeof(T) == sizeof(double) ? T(1.4142135623730951) : T(1.41421354f));
  return dist::generate(stream, n, r, dist::Draw<T>{T(-1), T(1)}, dist::gauss_callback<T>,
                        [=](T* u, int32_t m, T* out) {
                          dist::ErfInv(m, u);
                          for (int32_t i = 0; i < m; ++i) out[i] = a + scale * u[i];
                        });
}

template <class T>
int32_t gaussian_any(int32_t method, HoxStream stream, int32_t n, T* r, T a, T sigma) {
  switch (method) {
    case 0: return box_muller_single(stream, n, r, a, sigma);
    case 1: return box_muller_pairs(stream, n, r, a, sigma);
    case 2: return inverse_erf(stream, n, r, a, sigma);
    default: return HOX_ERR_BAD_ARGUMENT;
  }
}

}  // namespace

namespace qor::rng::dist {
int32_t gaussian(int32_t method, HoxStream stream, int32_t n, double* r, double a, double sigma) {
  return gaussian_any(method, stream, n, r, a, sigma);
}
int32_t gaussian(int32_t method, HoxStream stream, int32_t n, float* r, float a, float sigma) {
  return gaussian_any(method, stream, n, r, a, sigma);
}
}  // namespace qor::rng::dist

extern "C" QOR_API int32_t _hoxdRngGaussian(int32_t method, HoxStream stream, int32_t n, double* r, double a,
                                            double sigma) {
  return dist::gaussian(method, stream, n, r, a, sigma);
}

extern "C" QOR_API int32_t _hoxsRngGaussian(int32_t method, HoxStream stream, int32_t n, float* r, float a,
                                            float sigma) {
  return dist::gaussian(method, stream, n, r, a, sigma);
}
