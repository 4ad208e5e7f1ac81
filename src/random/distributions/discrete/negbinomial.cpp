// Negative binomial variates: the number of failures before the a-th success, a > 0 real,
// success probability p in (0, 1]: P(k) = Gamma(k + a) / (Gamma(a) k!) p^a (1 - p)^k.
// With the mean m = a (1 - p) / p:
//   m >= 10737418.24               the mixture below, results saturated at 2^31 - 1
//   (a - 1)(1 - p) / p >= 100      the mixture below (the mode is 100 or more)
//   otherwise                      inversion of a cumulative table kept in the stream's kind-21
//                                  chunk for the last (a, p), one uniform per result; a table
//                                  that would need more than 2^15 entries (a near or below 1
//                                  with a large mean: a long, slowly decaying tail) is not
//                                  built and the mixture is used instead.
// The mixture: G standard gamma with shape a (Marsaglia and Tsang, normals by Leva's ratio of
// uniforms; for a < 1, G = G' U^(1/a) with G' of shape a + 1), then Poisson with mean
// G (1 - p) / p (inversion below 27, PTPE above). Exact, since a gamma-mixed Poisson is the
// negative binomial. At least four uniforms per result.
// a not a positive finite number, p outside (0, 1] or NaN, a method other than 0:
// HOX_ERR_BAD_ARGUMENT, nothing drawn.
#include "random/distributions/discrete/discrete.h"

using namespace qor::rng;

namespace {

constexpr double kSpecFrom = 10737418.24;
constexpr double kModeFrom = 100.0;
constexpr int32_t kMaxTable = 1 << 15;
constexpr int64_t kPerResult = 4;  // least uniforms of one mixture result

// A standard normal by Leva's ratio of uniforms (ACM TOMS 18, 1992): x = v / u with
// v = 1.7156 (w - 1/2), accepted inside v^2 <= -4 u^2 ln u; two quadratic bounds decide all but
// about 1% of the candidates without the logarithm. Two uniforms per candidate, 73% accepted.
// False when a draw failed.
bool normal(dist::Uniforms& src, int64_t ahead, double* z) {
  for (;;) {
    const double* w = src.take(2, ahead);
    if (!w) return false;
    const double u = w[0], v = 1.7156 * (w[1] - 0.5);
    if (u == 0.0) continue;
    const double x = u - 0.449871, y = std::fabs(v) + 0.386595, q = x * x + y * (0.19600 * y - 0.25472 * x);
    if (q > 0.27597 && (q > 0.27846 || v * v > -4.0 * u * u * dist::ln1(u))) continue;
    *z = v / u;
    return true;
  }
}

// A standard gamma variate with shape a; `ahead` uniforms follow it. Negative when a draw failed.
double gamma_one(double a, dist::Uniforms& src, int64_t ahead) {
  const bool boost = a < 1.0;
  const double d = (boost ? a + 1.0 : a) - 1.0 / 3.0, c = 1.0 / std::sqrt(9.0 * d);
  const int64_t after = ahead + (boost ? 1 : 0);
  double g;
  for (;;) {
    double z;
    if (!normal(src, after + 1, &z)) return -1.0;
    const double t = 1.0 + c * z;
    if (t <= 0.0) continue;
    const double v = t * t * t;
    const double* w = src.take(1, after);
    if (!w) return -1.0;
    const double u = w[0], z2 = z * z;
    if (u < 1.0 - 0.0331 * z2 * z2 || (u > 0.0 && dist::ln1(u) < 0.5 * z2 + d * (1.0 - v + dist::ln1(v)))) {
      g = d * v;
      break;
    }
  }
  if (boost) {
    const double* w = src.take(1, ahead);
    if (!w) return -1.0;
    g *= w[0] > 0.0 ? dist::exp1(dist::ln1(w[0]) / a) : 0.0;
  }
  return g;
}

int32_t mixture(HoxStream stream, int32_t n, int32_t* r, double a, double p) {
  const double scale = (1.0 - p) / p;
  dist::Uniforms src(stream);
  for (int32_t i = 0; i < n; ++i) {
    const int64_t after = kPerResult * int64_t(n - 1 - i);
    const double g = gamma_one(a, src, after + 1);
    if (g < 0.0) return src.status();
    const int64_t x = dist::poisson_one(g * scale, src, after);
    if (x < 0) return src.status();
    r[i] = dist::saturate(x);
  }
  return 0;
}

}  // namespace

extern "C" QOR_API int32_t _hoxiRngNegbinomial(int32_t method, HoxStream stream, int32_t n, int32_t* r, double a,
                                               double p) {
  if (null_output(n, r) || method != 0 || !(a > 0.0 && a < HUGE_VAL) || !(p > 0.0 && p <= 1.0))
    return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (!row_of_stream(stream)) return HOX_ERR_INVALID_BRNG;
  const dist::Frame frame(nullptr);
  const double q = 1.0 - p, m = a * q / p;
  if (m >= kSpecFrom || (a - 1.0) * q / p >= kModeFrom) return mixture(stream, n, r, a, p);
  // A table longer than kMaxTable is not attempted: the tail beyond the mode decays like q^k, so
  // it needs about 44 / p entries past mode + 10 standard deviations to fall below 2^-64.
  if ((a > 1.0 ? (a - 1.0) * q / p : 0.0) + 10.0 * std::sqrt(a * q) / p + 44.0 / p > kMaxTable)
    return mixture(stream, n, r, a, p);
  const double key[4] = {a, p, 0, 0};
  const int64_t mode = a > 1.0 ? int64_t((a - 1.0) * q / p) : 0;
  int32_t status = 0;
  const dist::CdfTable* t = dist::cdf_table(
      stream, dist::kNegbinomialChunk, key, mode, 0, INT32_MAX, kMaxTable,
      [a, q](int64_t k) { return (double(k) + a) / double(k + 1) * q; }, &status);
  if (!t) return status < 0 ? status : mixture(stream, n, r, a, p);
  return dist::invert_blocks(stream, n, r, [t](double u) { return t->invert(u); });
}
