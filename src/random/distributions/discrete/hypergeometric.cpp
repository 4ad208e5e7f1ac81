// Hypergeometric variates: the number of marked items in a sample of s drawn without
// replacement from a lot of l items of which m are marked. Support max(0, s + m - l) ..
// min(s, m), mode floor((s + 1)(m + 1) / (l + 2)).
//   standard deviation below 30   inversion of a cumulative table (around the mode, down to
//                                 weights of 2^-64) kept in the stream's kind-22 chunk for the
//                                 last (l, s, m): rebuilt when they change, reused otherwise;
//                                 one uniform per result.
//   otherwise                     Stadlober's ratio-of-uniforms method (HRUA, 1989/1990) on the
//                                 reduced problem (the smaller of m and l - m, the smaller of s
//                                 and l - s), two uniforms per candidate: W = d6 + d8 (Y - 1/2) / X
//                                 with d6 = mean + 1/2, d8 = 2 sqrt(2/e) sqrt(var + 1/2) +
//                                 3 - 2 sqrt(3/e); candidates outside the support are rejected
//                                 (no truncation at mean + 16 deviations); accepted when
//                                 X^2 <= f(floor W) / f(mode), tested through two squeezes and then
//                                 exactly with lfact_diff (accurate for lot sizes up to 2^31).
// Double-precision uniforms throughout: single-precision ones take only 2^24 values, too coarse
// for exact variates at lot sizes near 2^31.
// l < 0, s or m outside [0, l], a method other than 0: HOX_ERR_BAD_ARGUMENT, nothing drawn.
#include "random/distributions/discrete/discrete.h"

using namespace qor::rng;

namespace {

constexpr double kTableBelowSd = 30.0;

struct Hrua {
  double N, s, m, d6, d8, mode, hi;
  dist::LfactRef at[4];  // the four factorial arguments at the mode
};

// ln f(z) - ln f(mode) for the reduced problem: f(z) ~ 1 / (z! (m - z)! (s - z)! (N - m - s + z)!).
double log_ratio(const Hrua& h, double z) {
  const double b = h.N - h.m - h.s;
  return -(dist::lfact_diff(z, h.at[0]) + dist::lfact_diff(h.m - z, h.at[1]) + dist::lfact_diff(h.s - z, h.at[2]) +
           dist::lfact_diff(b + z, h.at[3]));
}

int64_t hrua_one(const Hrua& h, dist::Uniforms& src, int64_t ahead) {
  for (;;) {
    const double* w = src.take(2, ahead);
    if (!w) return -1;
    const double X = w[0], Y = w[1];
    if (X == 0.0) continue;
    const double W = h.d6 + h.d8 * (Y - 0.5) / X;
    if (W < 0.0 || W >= h.hi + 1.0) continue;
    const double z = std::floor(W), T = log_ratio(h, z);
    if (X * (4.0 - X) - 3.0 <= T) return int64_t(z);  // 2 ln X <= X (4 - X) - 3
    if (X * (X - T) >= 1.0) continue;                  // 2 ln X >= X - 1/X
    if (2.0 * dist::ln1(X) <= T) return int64_t(z);
  }
}

}  // namespace

extern "C" QOR_API int32_t _hoxiRngHypergeometric(int32_t method, HoxStream stream, int32_t n, int32_t* r, int32_t l,
                                                  int32_t s, int32_t m) {
  if (null_output(n, r) || method != 0 || l < 0 || s < 0 || s > l || m < 0 || m > l) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (!row_of_stream(stream)) return HOX_ERR_INVALID_BRNG;
  const dist::Frame frame(nullptr);
  const double L = l, S = s, Mk = m;
  const double var = L > 1 ? S * (Mk / L) * (1.0 - Mk / L) * (L - S) / (L - 1.0) : 0.0;
  if (std::sqrt(var) < kTableBelowSd) {
    const double key[4] = {L, S, Mk, 0};
    const int64_t lo = std::max<int64_t>(0, int64_t(s) + m - l), hi = std::min(s, m);
    const int64_t mode = std::min<int64_t>(hi, std::max<int64_t>(lo, int64_t((S + 1) * (Mk + 1) / (L + 2))));
    int32_t status = 0;
    const dist::CdfTable* t = dist::cdf_table(
        stream, dist::kHypergeometricChunk, key, mode, lo, hi, 1 << 14,
        [=](int64_t k) {
          const double K = double(k);
          return (Mk - K) * (S - K) / ((K + 1) * (L - Mk - S + K + 1));
        },
        &status);
    if (status < 0) return status;
    if (t) return dist::invert_blocks(stream, n, r, [t](double u) { return t->invert(u); });
    // (a table longer than 2^14 entries: the ratio of uniforms below)
  }
  // Reduced problem: mg = min(m, l - m) items of the counted kind, a sample of ss = min(s, l - s).
  const double mg = std::min(Mk, L - Mk), ss = std::min(S, L - S);
  Hrua h;
  h.N = L;
  h.s = ss;
  h.m = mg;
  const double p = mg / L;
  h.d6 = ss * p + 0.5;
  h.d8 = 1.7155277699214135 * std::sqrt((L - ss) * ss * p * (1.0 - p) / (L - 1.0) + 0.5) + 0.8989161620588988;
  h.mode = std::floor((ss + 1.0) * (mg + 1.0) / (L + 2.0));
  h.hi = std::min(ss, mg);
  const double at_mode[4] = {h.mode, mg - h.mode, ss - h.mode, L - mg - ss + h.mode};
  for (int j = 0; j < 4; ++j) h.at[j] = dist::lfact_ref(at_mode[j]);
  dist::Uniforms src(stream);
  for (int32_t i = 0; i < n; ++i) {
    const int64_t z0 = hrua_one(h, src, 2 * int64_t(n - 1 - i));
    if (z0 < 0) return src.status();
    const int64_t z1 = ss == S ? z0 : int64_t(mg) - z0;  // counted kind in the sample
    r[i] = int32_t(mg == Mk ? z1 : s - z1);
  }
  return 0;
}
