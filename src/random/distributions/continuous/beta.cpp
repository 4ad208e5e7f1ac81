// Beta variates with shapes p, q, shift a and scale beta: r = a + beta x, x standard beta on
// [0, 1]. The method follows the shapes:
//   p = 1 (checked first)   x = 1 - u^(1/q) (x = 1 - u when q = 1 too, no kernels);
//   q = 1                   x = u^(1/p);
//   p < 1, q < 1            t = 0.8522552176537243 p^2 + q - 0.9562409713408151: for t > 0
//                           Atkinson and Whittaker's switching method (below) with the switch
//                           point s = sqrt(p(1-p)) / (sqrt(p(1-p)) + sqrt(q(1-q))); otherwise
//                           Johnk (1964): x = u1^(1/p), y = u2^(1/q), accepted when x + y <= 1,
//                           result x / (x + y) (through ln(y) - ln(x) when both underflow);
//   p < 1 < q               Atkinson's switching method with s = (1 - p) / (1 - p + q);
//   q < 1 < p               the same for Beta(q, p), delivering 1 - x;
//   p > 1, q > 1            Cheng's BA (1978): a = p + q, b = sqrt((a - 2) / (2pq - a)),
//                           g = p + 1/b; V = b ln(u1 / (1 - u1)), W = p e^V, accepted when
//                           a ln(a / (q + W)) + g V - ln 4 >= ln(u1^2 u2) (u1 = 0 rejected);
//                           x = W / (q + W);
//   a NaN shape             uniform results on [a, a + beta];
//   a shape <= 0 or infinite, or 2pq beyond the double range: HOX_ERR_BAD_ARGUMENT (no method
//                           ends on it).
// The switching method (p < 1): the proposal is x^(p-1) on [0, s] (a scaled power variate
// s u^(1/p)) and (1-x)^(q-1) on [s, 1] (1 - (1-s) u^(1/q)), mixed by their weights
// w1 = s^p / p * k1^(q-1) and w2 = (1-s)^q / q * s^(p-1), with k1 = 1 - s when q < 1 and 1 when
// q > 1; the first uniform picks the part and (rescaled) places x, the second accepts it when
// ln u2 <= (q-1) ln((1-x)/k1) on the first part and ln u2 <= (p-1) ln(x/s) on the second.
// Atkinson's and Cheng's results are clamped to [a, a + beta].
#include <cmath>

#include "random/distributions/continuous/rejection.h"

using namespace qor::rng;

namespace {

struct Beta;

constexpr int32_t kK = dist::kCandidates;

template <class T>
T clamp(T v, T lo, T hi) {
  return std::min(std::max(v, lo), hi);
}

// x = 1 - u^(1/q) (one_minus) or u^(1/p).
template <class T>
int32_t power_form(HoxStream stream, int32_t n, T* r, T e, bool one_minus, T a, T beta) {
  const T inv = T(1) / e;
  return dist::generate(stream, n, r, dist::Draw<T>{}, dist::ln_callback<T, Beta>, [=](T* u, int32_t m, T* out) {
    if (inv != T(1)) {
      dist::Ln(m, u);
      for (int32_t i = 0; i < m; ++i) u[i] *= inv;
      dist::Exp(m, u);
    }
    for (int32_t i = 0; i < m; ++i) out[i] = a + beta * (one_minus ? T(1) - u[i] : u[i]);
  });
}

template <class T>
int32_t switching(HoxStream stream, int32_t n, T* r, T p, T q, T s, bool flip, T a, T beta) {
  using qor::vm_bridge::exp;
  using qor::vm_bridge::ln;
  const double P = p, Q = q, S = s, K1 = q < T(1) ? 1.0 - S : 1.0;
  const double w1 = exp(P * ln(S) - ln(P) + (Q - 1) * ln(K1));
  const double w2 = exp(Q * ln(1.0 - S) - ln(Q) + (P - 1) * ln(S));
  const T r1 = T(w1 / (w1 + w2)), inv_r1 = T(1) / r1, inv_r2 = T(1) / (T(1) - r1), k1 = T(K1);
  const T ip = T(1) / p, iq = T(1) / q, hi = a + beta;
  return dist::rejection<T, 2>(stream, n, r, dist::ln_callback<T, Beta>, [=](T* u, int32_t k, T* out) {
    alignas(16) T x[kK], z[kK], l[kK];
    for (int32_t i = 0; i < k; ++i) {
      const T v = u[2 * i];
      x[i] = v < r1 ? v * inv_r1 : (v - r1) * inv_r2;
      l[i] = u[2 * i + 1];
    }
    dist::Ln(k, x);
    dist::Ln(k, l);
    for (int32_t i = 0; i < k; ++i) x[i] *= u[2 * i] < r1 ? ip : iq;
    dist::Exp(k, x);
    for (int32_t i = 0; i < k; ++i) {
      if (u[2 * i] < r1) {
        x[i] = s * x[i];
        z[i] = (T(1) - x[i]) / k1;
      } else {
        x[i] = T(1) - (T(1) - s) * x[i];
        z[i] = x[i] / s;
      }
    }
    dist::Ln(k, z);
    int32_t m = 0;
    for (int32_t i = 0; i < k; ++i) {
      const bool first = u[2 * i] < r1;
      if (l[i] <= (first ? (q - T(1)) : (p - T(1))) * z[i]) out[m++] = clamp(a + beta * (flip ? T(1) - x[i] : x[i]), a, hi);
    }
    return m;
  });
}

template <class T>
int32_t johnk(HoxStream stream, int32_t n, T* r, T p, T q, T a, T beta) {
  const T ip = T(1) / p, iq = T(1) / q;
  return dist::rejection<T, 2>(stream, n, r, dist::ln_callback<T, Beta>, [=](T* u, int32_t k, T* out) {
    alignas(16) T e[2 * kK], d[kK];
    dist::Ln(2 * k, u);
    for (int32_t i = 0; i < k; ++i) {
      u[2 * i] *= ip;
      u[2 * i + 1] *= iq;
      d[i] = u[2 * i + 1] - u[2 * i];
    }
    for (int32_t i = 0; i < 2 * k; ++i) e[i] = u[i];
    dist::Exp(2 * k, e);
    bool tiny = false;
    for (int32_t i = 0; i < k; ++i) tiny |= e[2 * i] + e[2 * i + 1] == T(0);
    if (tiny) dist::Exp(k, d);  // exp(ln y - ln x) for the pairs whose x and y both underflow
    int32_t m = 0;
    for (int32_t i = 0; i < k; ++i) {
      const T sum = e[2 * i] + e[2 * i + 1];
      if (sum > T(1)) continue;
      out[m++] = a + beta * (sum > T(0) ? e[2 * i] / sum : T(1) / (T(1) + d[i]));
    }
    return m;
  });
}

template <class T>
int32_t cheng_ba(HoxStream stream, int32_t n, T* r, T p, T q, T a, T beta) {
  const double P = p, Q = q, A = P + Q, B = std::sqrt((A - 2) / (2 * P * Q - A)), G = P + 1 / B;
  const T al = T(A), be = T(B), ga = T(G), ln4 = T(1.3862943611198906), hi = a + beta;
  return dist::rejection<T, 2>(stream, n, r, dist::ln_callback<T, Beta>, [=](T* u, int32_t k, T* out) {
    alignas(16) T v[kK], w[kK], t[kK], l[kK];
    for (int32_t i = 0; i < k; ++i) {
      const T u1 = u[2 * i];
      v[i] = u1 > T(0) ? u1 / (T(1) - u1) : T(1);
      l[i] = u1 * u1 * u[2 * i + 1];
    }
    dist::Ln(k, v);
    for (int32_t i = 0; i < k; ++i) w[i] = v[i] = be * v[i];
    dist::Exp(k, w);
    for (int32_t i = 0; i < k; ++i) {
      w[i] *= p;
      t[i] = al / (q + w[i]);
    }
    dist::Ln(k, t);
    dist::Ln(k, l);
    int32_t m = 0;
    for (int32_t i = 0; i < k; ++i)
      if (u[2 * i] > T(0) && al * t[i] + ga * v[i] - ln4 >= l[i]) out[m++] = clamp(a + beta * (w[i] / (q + w[i])), a, hi);
    return m;
  });
}

template <class T>
int32_t beta_variates(HoxStream stream, int32_t n, T* r, T p, T q, T a, T beta) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (std::isnan(p) || std::isnan(q)) {
    if constexpr (sizeof(T) == sizeof(double))
      return _hoxdRngUniform(0, stream, n, r, a, a + beta);
    else
      return _hoxsRngUniform(0, stream, n, r, a, a + beta);
  }
  if (!(p > T(0) && q > T(0)) || !std::isfinite(p) || !std::isfinite(q)) return HOX_ERR_BAD_ARGUMENT;
  if (p == T(1)) return power_form(stream, n, r, q, true, a, beta);
  if (q == T(1)) return power_form(stream, n, r, p, false, a, beta);
  if (p < T(1) && q < T(1)) {
    const T t = T(0.8522552176537243) * p * p + q + T(-0.9562409713408151);
    if (!(t > T(0))) return johnk(stream, n, r, p, q, a, beta);
    const double sp = std::sqrt(double(p) * (1 - double(p))), sq = std::sqrt(double(q) * (1 - double(q)));
    return switching(stream, n, r, p, q, T(sp / (sp + sq)), false, a, beta);
  }
  if (p < T(1)) return switching(stream, n, r, p, q, T((1 - double(p)) / (1 - double(p) + double(q))), false, a, beta);
  if (q < T(1)) return switching(stream, n, r, q, p, T((1 - double(q)) / (1 - double(q) + double(p))), true, a, beta);
  if (!std::isfinite(2 * double(p) * double(q))) return HOX_ERR_BAD_ARGUMENT;
  return cheng_ba(stream, n, r, p, q, a, beta);
}

}  // namespace

extern "C" QOR_API int32_t _hoxdRngBeta(int32_t, HoxStream stream, int32_t n, double* r, double p, double q,
                                        double a, double beta) {
  return beta_variates(stream, n, r, p, q, a, beta);
}

extern "C" QOR_API int32_t _hoxsRngBeta(int32_t, HoxStream stream, int32_t n, float* r, float p, float q, float a,
                                        float beta) {
  return beta_variates(stream, n, r, p, q, a, beta);
}
