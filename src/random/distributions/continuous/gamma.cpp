// Gamma variates with shape alpha, shift a and scale beta: r = a + beta x, x standard gamma.
// The method follows alpha:
//   alpha = 1        Exponential with (a, beta): n uniforms, n results.
//   alpha > 1        Marsaglia and Tsang (2000): d = alpha - 1/3, c = 1 / sqrt(9 d); x standard
//                    normal by the pair Box-Muller transform, v = (1 + c x)^3 > 0, accepted when
//                    u < 1 - 0.0331 x^4 or ln u < x^2 / 2 + d (1 - v + ln v); result d v. Each
//                    two candidates take four uniforms (u1, u2 of the pair, then u for the sine
//                    candidate and u for the cosine one); a call ending after a sine candidate
//                    keeps (u1, u2) in the stream's kind-7 chunk, and the next call starts with
//                    the cosine candidate.
//   alpha < 0.6      Ahrens and Dieter's GS (1974) on pairs (u1, u2): b = 1 + alpha / e,
//                    p = b u1; p <= 1: x = p^(1/alpha), accepted when ln u2 <= -x; p > 1:
//                    x = -ln((b - p) / alpha), accepted when ln u2 <= (alpha - 1) ln x. The pair
//                    is split at u1 = 1 / b = e / (e + alpha), the weight of the power part in
//                    GS's proposal mixture.
//   0.6 <= alpha < 1 Weibull candidates: E1, E2 standard exponentials (-ln u), x = E1^(1/alpha),
//                    accepted when E1 + E2 >= x + c with c = (1 - alpha) alpha^(alpha/(1-alpha)),
//                    the largest value of x^alpha - x (the gamma density over the Weibull
//                    density of shape alpha is proportional to exp(x^alpha - x)).
// A shape that is not a positive number returns HOX_ERR_BAD_ARGUMENT (a rejection loop would
// not end on it).
#include <cmath>

#include "random/distributions/continuous/normal.h"
#include "random/distributions/continuous/rejection.h"

using namespace qor::rng;

namespace {

struct Gamma;

constexpr int32_t kK = dist::kCandidates;

template <class T>
int32_t marsaglia_tsang(HoxStream stream, int32_t n, T* r, T alpha, T a, T beta) {
  if (!row_of_stream(stream)) return HOX_ERR_INVALID_BRNG;
  int32_t status = 0;
  double* chunk = dist::pair_chunk(stream, dist::kGammaPairChunk, &status);
  if (!chunk) return status;
  const double dd = double(alpha) - 1.0 / 3.0;
  const T d = T(dd), c = T(1.0 / std::sqrt(9.0 * dd)), scale = beta * d;
  const dist::Frame frame(dist::ln_callback<T, Gamma>);
  alignas(16) T u[4 * (kK / 2) + 4], u1[kK / 2 + 1], u2[kK / 2 + 1], s[kK / 2 + 1], co[kK / 2 + 1];
  alignas(16) T x[kK], acc[2 * kK];
  bool saved = chunk[0] != -1.0;
  T su1 = T(chunk[0]), su2 = T(chunk[1]);
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kK, n - done);
    const int32_t first = saved ? 1 : 0;  // candidates from the saved pair
    const int32_t rest = k - first, pairs = (rest + 1) / 2;
    const int32_t count = first + 4 * (rest / 2) + (rest & 1) * 3;
    const int32_t st = dist::uniforms(stream, count, u, T(0), T(1));
    if (st < 0) {
      chunk[0] = saved ? double(su1) : -1.0;
      chunk[1] = saved ? double(su2) : -1.0;
      return st;
    }
    // Pair arrays: the saved pair first (its cosine only), then the block's pairs.
    int32_t np = 0, j = 0;  // pairs, position in u
    if (saved) {
      u1[0] = su1;
      u2[0] = su2;
      acc[0] = u[0];
      np = 1;
      j = 1;
    }
    for (int32_t p = 0; p < pairs; ++p, ++np) {
      u1[np] = u[j];
      u2[np] = u[j + 1];
      acc[first + 2 * p] = u[j + 2];
      if (first + 2 * p + 1 < k) acc[first + 2 * p + 1] = u[j + 3];
      j += 4;
    }
    saved = (rest & 1) != 0;
    if (saved) {
      su1 = u1[np - 1];
      su2 = u2[np - 1];
    }
    dist::box_muller(np, u1, u2, s, co);
    if (first) x[0] = co[0];
    for (int32_t i = 0; i < rest; ++i) x[first + i] = (i & 1) ? co[first + i / 2] : s[first + i / 2];
    // v = (1 + c x)^3, and ln of the acceptance uniforms and of v (1 where v <= 0) together.
    T* lnv = acc + kK;
    for (int32_t i = 0; i < k; ++i) {
      const T t = T(1) + c * x[i];
      const T v = t * t * t;
      lnv[i] = v > T(0) ? v : T(1);
    }
    alignas(16) T v[kK];
    for (int32_t i = 0; i < k; ++i) v[i] = lnv[i];
    T uacc[kK];
    for (int32_t i = 0; i < k; ++i) uacc[i] = acc[i];
    dist::Ln(k, acc);
    dist::Ln(k, lnv);
    int32_t m = 0;
    T* out = r + done;
    for (int32_t i = 0; i < k; ++i) {
      const T t = T(1) + c * x[i];
      if (!(t > T(0))) continue;
      const T x2 = x[i] * x[i];
      if (uacc[i] < T(1) - T(0.0331) * x2 * x2 || acc[i] < T(0.5) * x2 + d * (T(1) - v[i] + lnv[i]))
        out[m++] = a + scale * v[i];
    }
    done += m;
  }
  chunk[0] = saved ? double(su1) : -1.0;
  chunk[1] = saved ? double(su2) : -1.0;
  return 0;
}

template <class T>
int32_t ahrens_dieter(HoxStream stream, int32_t n, T* r, T alpha, T a, T beta) {
  const T b = T(1.0 + double(alpha) / 2.718281828459045), inv = T(1) / alpha, am1 = alpha - T(1);
  return dist::rejection<T, 2>(stream, n, r, dist::ln_callback<T, Gamma>, [=](T* u, int32_t k, T* out) {
    alignas(16) T A[kK], B[kK], C[kK], L[kK];
    for (int32_t i = 0; i < k; ++i) {
      const T p = b * u[2 * i];
      A[i] = p <= T(1) ? p : (b - p) * inv;
      L[i] = u[2 * i + 1];
    }
    dist::Ln(k, A);
    dist::Ln(k, L);
    for (int32_t i = 0; i < k; ++i) B[i] = b * u[2 * i] <= T(1) ? A[i] * inv : T(0);
    dist::Exp(k, B);
    for (int32_t i = 0; i < k; ++i) C[i] = b * u[2 * i] <= T(1) ? T(1) : -A[i];
    dist::Ln(k, C);
    int32_t m = 0;
    for (int32_t i = 0; i < k; ++i) {
      if (b * u[2 * i] <= T(1)) {
        if (L[i] <= -B[i]) out[m++] = a + beta * B[i];
      } else if (L[i] <= am1 * C[i]) {
        out[m++] = a + beta * -A[i];
      }
    }
    return m;
  });
}

template <class T>
int32_t weibull_rejection(HoxStream stream, int32_t n, T* r, T alpha, T a, T beta) {
  const double al = double(alpha);
  const T c = T((1.0 - al) * qor::vm_bridge::exp(al / (1.0 - al) * qor::vm_bridge::ln(al))), inv = T(1) / alpha;
  return dist::rejection<T, 2>(stream, n, r, dist::ln_callback<T, Gamma>, [=](T* u, int32_t k, T* out) {
    alignas(16) T x[kK];
    dist::Ln(2 * k, u);
    for (int32_t i = 0; i < k; ++i) x[i] = -u[2 * i];
    dist::Powx(k, x, inv);
    int32_t m = 0;
    for (int32_t i = 0; i < k; ++i)
      if (-u[2 * i] - u[2 * i + 1] >= x[i] + c) out[m++] = a + beta * x[i];
    return m;
  });
}

template <class T>
int32_t gamma(HoxStream stream, int32_t n, T* r, T alpha, T a, T beta) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (!(alpha > T(0)) || !std::isfinite(alpha)) return HOX_ERR_BAD_ARGUMENT;
  if (alpha == T(1)) {
    if constexpr (sizeof(T) == sizeof(double))
      return _hoxdRngExponential(0, stream, n, r, a, beta);
    else
      return _hoxsRngExponential(0, stream, n, r, a, beta);
  }
  if (alpha > T(1)) return marsaglia_tsang(stream, n, r, alpha, a, beta);
  if (alpha < T(0.6)) return ahrens_dieter(stream, n, r, alpha, a, beta);
  return weibull_rejection(stream, n, r, alpha, a, beta);
}

}  // namespace

extern "C" QOR_API int32_t _hoxdRngGamma(int32_t, HoxStream stream, int32_t n, double* r, double alpha, double a,
                                         double beta) {
  return gamma(stream, n, r, alpha, a, beta);
}

extern "C" QOR_API int32_t _hoxsRngGamma(int32_t, HoxStream stream, int32_t n, float* r, float alpha, float a,
                                         float beta) {
  return gamma(stream, n, r, alpha, a, beta);
}
