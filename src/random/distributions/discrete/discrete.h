// Pieces shared by the discrete distributions (Poisson, PoissonV, Binomial, Negative binomial,
// Hypergeometric):
//
// - Uniforms: a scalar source of double uniforms on [0, 1) for the rejection methods, which
//   use a varying number of uniforms per result. It draws from the stream only what the call
//   is sure to use (the caller passes a lower bound of what it still needs after the current
//   request), so a call consumes exactly the uniforms its results used, and a sequence of calls
//   gives the numbers of one call for the total count.
// - ln n! and differences of them, accurate for arguments up to 2^31 (a table below 256,
//   Stirling's series above, differences of close arguments through log1p).
// - CdfTable: a cumulative table around the mode with a guide table (Chen and Asau), kept in a
//   stream chunk keyed by the parameters; rebuilt when they change, reused otherwise.
// - The per-result Poisson variate (inversion from 0 below 27, PTPE above), shared by
//   PoissonV and the negative binomial's gamma-Poisson mixture.
//
// Scalar ln, exp and log1p go through our own kernels (HA slot), so results are the same on
// both targets.
#pragma once

#include <cmath>
#include <cstdint>

#include "qor/service.h"
#include "random/distributions/frame.h"

namespace qor::rng::dist {

// Chunk kinds of the discrete generators.
constexpr int32_t kBinomialChunk = 5;  // 544 bytes: (ntrial, p) and the set-up for them
constexpr int32_t kPoissonChunk = 20;
constexpr int32_t kNegbinomialChunk = 21;
constexpr int32_t kHypergeometricChunk = 22;

// Number of chunk set-ups the discrete generators have made in this process (read by tests:
// a set-up happens when the parameters differ from the ones the chunk was made for).
int64_t discrete_setups();
void count_setup();

double ln1(double x);     // ln x
double exp1(double x);    // e^x
double log1p1(double x);  // ln(1 + x)

class Uniforms {
 public:
  explicit Uniforms(HoxStream stream) : stream_(stream) {}
  // k (at most kCap) fresh uniforms, or null when the draw failed (status()). `ahead` is a
  // lower bound of the uniforms the call takes after these k.
  const double* take(int32_t k, int64_t ahead) {
    if (len_ - pos_ < k) {
      const int32_t left = len_ - pos_;
      for (int32_t i = 0; i < left; ++i) buf_[i] = buf_[pos_ + i];
      const int64_t want = std::min<int64_t>(kCap - left, int64_t(k) - left + ahead);
      status_ = uniforms(stream_, int32_t(want), buf_ + left, 0.0, 1.0);
      if (status_ < 0) return nullptr;
      pos_ = 0;
      len_ = left + int32_t(want);
    }
    const double* p = buf_ + pos_;
    pos_ += k;
    return p;
  }
  int32_t status() const { return status_; }

 private:
  static constexpr int32_t kCap = 1024;
  HoxStream stream_;
  int32_t pos_ = 0, len_ = 0, status_ = 0;
  alignas(16) double buf_[kCap];
};

// ln k! for an integer k >= 0 held in a double, and ln x! - ln y!.
double lfact(double k);
double lfact_diff(double x, double y);
// A fixed second argument y (of a set-up) with what the difference needs of it, so that
// lfact_diff(x, ref) costs no logarithm and one division when x is near y.
struct LfactRef {
  double y, ln_Y, inv_Y, tail_Y;  // Y = y + 1
};
LfactRef lfact_ref(double y);
inline double lfact_diff(double x, const LfactRef& y);

// ln 0!, ln 1!, ..., ln 255!
constexpr int kLfactTable = 256;
const double* lfact_table();

// ln(1 + t) for |t| <= 1/32 as 2 atanh(w), w = t / (2 + t): 2w (1 + w^2/3 + ... + w^10/11)
// (|w| < 1/63, relative error below 1e-19), the powers of w^2 paired to shorten the chain.
inline double log1p_small(double t) {
  const double w = t / (2.0 + t), w2 = w * w, w4 = w2 * w2;
  const double lo = 1.0 + w2 * (1.0 / 3), mid = 1.0 / 5 + w2 * (1.0 / 7), hi = 1.0 / 9 + w2 * (1.0 / 11);
  return 2.0 * w * (lo + w4 * (mid + w4 * hi));
}

// Stirling's correction d(y) = ln Gamma(y) - ((y - 1/2) ln y - y + ln(2 pi) / 2) for y >= 256,
// from r = 1 / y: r/12 - r^3/360 + r^5/1260 - r^7/1680 + r^9/1188.
inline double stirling_tail_r(double r) {
  const double r2 = r * r;
  return r * (1.0 / 12 - r2 * (1.0 / 360 - r2 * (1.0 / 1260 - r2 * (1.0 / 1680 - r2 / 1188))));
}

// Inline, so that the several differences of an acceptance test overlap.
inline double lfact_diff(double x, const LfactRef& y) {
  if (x < kLfactTable && y.y < kLfactTable) {
    const double* t = lfact_table();
    return t[int(x)] - t[int(y.y)];
  }
  if (x < kLfactTable || y.y < kLfactTable) return lfact(x) - lfact(y.y);
  // With X = x + 1, Y = y + 1, d = x - y, l = ln(1 + d / Y) (so ln X = ln Y + l):
  // ln Gamma(X) - ln Gamma(Y) = (Y - 1/2) l + d (ln X - 1) + d(X) - d(Y).
  const double d = x - y.y, t = d * y.inv_Y;
  const double l = std::fabs(t) <= 0x1p-5 ? log1p_small(t) : log1p1(t);
  return (y.y + 0.5) * l + d * (y.ln_Y + l - 1.0) + stirling_tail_r(1.0 / (x + 1.0)) - y.tail_Y;
}

// Cumulative table of a distribution on the integers lo .. lo + count - 1 (F[count - 1] = 1),
// with `guides` guide entries: guide[j] is the first index whose F exceeds j / guides.
struct CdfTable {
  double key[4];
  int32_t lo, count, guides, pad;
  const double* F() const { return reinterpret_cast<const double*>(this + 1); }
  const int32_t* guide() const { return reinterpret_cast<const int32_t*>(F() + count); }
  // The smallest value whose cumulative probability exceeds u in [0, 1).
  int32_t invert(double u) const {
    const double* f = F();
    int32_t j = int32_t(u * guides);
    int32_t k = guide()[j < guides ? j : guides - 1];
    while (u >= f[k]) ++k;
    return lo + k;
  }
};

// The stream's table of chunk `kind` for `key`: reused when its key matches, otherwise the
// chunks of that kind are deleted and a new table made from the weights around `mode` on
// [lo, hi]: w(mode) = 1, w(k + 1) = w(k) ratio(k), walking out from the mode until a weight
// falls below 2^-64 of the total or the support ends. Null with *status set (HOX_ERR_NO_MEMORY)
// when it cannot be made; null with *status = 0 when the table would need more than
// `max_count` entries.
template <class Ratio>
const CdfTable* cdf_table(HoxStream stream, int32_t kind, const double (&key)[4], int64_t mode, int64_t lo,
                          int64_t hi, int32_t max_count, Ratio ratio, int32_t* status);
const CdfTable* find_table(HoxStream stream, int32_t kind, const double (&key)[4]);
const CdfTable* store_table(HoxStream stream, int32_t kind, const double (&key)[4], int64_t lo, const double* w,
                            int32_t count, int32_t* status);

template <class Ratio>
const CdfTable* cdf_table(HoxStream stream, int32_t kind, const double (&key)[4], int64_t mode, int64_t lo,
                          int64_t hi, int32_t max_count, Ratio ratio, int32_t* status) {
  *status = 0;
  if (const CdfTable* t = find_table(stream, kind, key)) return t;
  constexpr double kTiny = 0x1p-64;
  // Weights below the mode are gathered backwards in `down`, above it in `up`.
  const int32_t cap = max_count;
  double* w = static_cast<double*>(qor_serv_allocate(size_t(2 * cap + 1) * sizeof(double), 64));
  if (!w) {
    *status = HOX_ERR_NO_MEMORY;
    return nullptr;
  }
  double* mid = w + cap;  // mid[0] is the mode, mid[-i] below, mid[i] above
  mid[0] = 1.0;
  double total = 1.0;
  int32_t nup = 0, ndown = 0;
  for (int64_t k = mode; k < hi && nup < cap; ++k) {
    const double v = mid[nup] * ratio(k);
    if (!(v > kTiny * total)) break;
    mid[++nup] = v;
    total += v;
  }
  for (int64_t k = mode; k > lo && ndown < cap; --k) {
    const double r = ratio(k - 1);
    const double v = r > 0 ? mid[-ndown] / r : 0.0;
    if (!(v > kTiny * total)) break;
    mid[-++ndown] = v;
    total += v;
  }
  const CdfTable* t = nullptr;
  if (ndown + nup + 1 <= max_count && nup < cap && ndown < cap)
    t = store_table(stream, kind, key, mode - ndown, mid - ndown, ndown + nup + 1, status);
  qor_serv_deallocate(w);
  return t;
}

// Inversion on blocks of uniforms: one uniform per result, out[i] = invert(u[i]) (the uniforms
// of a call are exactly n).
template <class Invert>
int32_t invert_blocks(HoxStream stream, int32_t n, int32_t* r, Invert invert) {
  constexpr int32_t kBlock = 1024;
  alignas(16) double u[kBlock];
  for (int32_t done = 0; done < n;) {
    const int32_t m = std::min(kBlock, n - done);
    const int32_t status = uniforms(stream, m, u, 0.0, 1.0);
    if (status < 0) return status;
    for (int32_t i = 0; i < m; ++i) r[done + i] = invert(u[i]);
    done += m;
  }
  return 0;
}

// A variate held in 64 bits, saturated to the 32-bit result range.
inline int32_t saturate(int64_t x) { return x > INT32_MAX ? INT32_MAX : int32_t(x); }

// The hat of BTPE and PTPE around the mode M: a triangle of height 1 on [xl, xr]
// (xl, xr = M + 1/2 -/+ p1), accepted without a test; a band of height c above it; exponential
// tails c exp(-ll (xl - x)) and c exp(-lr (x - xr)). p2, p3, p4 are the cumulative areas.
struct TpeHat {
  double M, xm, p1, xl, xr, c, ll, lr, p2, p3, p4;
};
inline void tpe_frame(TpeHat* h, double M, double p1, double c) {
  h->M = M;
  h->xm = M + 0.5;
  h->p1 = p1;
  h->xl = h->xm - p1;
  h->xr = h->xm + p1;
  h->c = c;
}
inline void tpe_areas(TpeHat* h, double ll, double lr) {
  h->ll = ll;
  h->lr = lr;
  h->p2 = h->p1 * (1.0 + 2.0 * h->c);
  h->p3 = h->p2 + h->c / ll;
  h->p4 = h->p3 + h->c / lr;
}
// One candidate from two uniforms w: 1 when *ix is accepted (the triangle), 0 when *ix is
// accepted if *v <= f(ix) / f(M), -1 when rejected (outside [0, top] or above the band).
inline int tpe_candidate(const TpeHat& h, const double* w, double top, double* ix, double* v) {
  const double u = w[0] * h.p4;
  double t = w[1];
  if (u <= h.p1) {
    *ix = std::floor(h.xm - h.p1 * t + u);
    return 1;
  }
  if (u <= h.p2) {
    const double x = h.xl + (u - h.p1) / h.c;
    t = t * h.c + 1.0 - std::fabs(h.xm - x) / h.p1;
    if (t > 1.0) return -1;
    *ix = std::floor(x);
  } else if (u <= h.p3) {
    if (t == 0.0) return -1;
    *ix = std::floor(h.xl + ln1(t) / h.ll);
    if (*ix < 0) return -1;
    t *= (u - h.p2) * h.ll;
  } else {
    if (t == 0.0) return -1;
    *ix = std::floor(h.xr - ln1(t) / h.lr);
    if (*ix > top) return -1;
    t *= (u - h.p3) * h.lr;
  }
  *v = t;
  return 0;
}

// The acceptance test v <= f(ix) / f(M) for |ix - M| small, with f(i) / f(i - 1) =
// up(i) / down(i): a quotient of two products, no division in the loop.
template <class Up, class Down>
inline bool products_accept(double M, double ix, double v, Up up, Down down) {
  double num = 1.0, den = 1.0;
  if (ix > M) {
    for (double i = M + 1; i <= ix; ++i) {
      num *= up(i);
      den *= down(i);
    }
  } else {
    for (double i = ix + 1; i <= M; ++i) {
      num *= down(i);
      den *= up(i);
    }
  }
  return v * den <= num;
}

// Poisson variates one at a time from a source (PoissonV and the negative binomial's mixture).
// Below 27, inversion by the recursion from 0; from 27 on, PTPE with its set-up below.
struct Ptpe {
  double mu;
  TpeHat hat;
  bool logs;  // lnmu and lnM are made (else the rare exact test makes them itself)
  double lnmu;
  LfactRef lnM;
};
void ptpe_setup(double mu, Ptpe* s, bool logs);
// One variate, or -1 when a draw failed. `ahead` as for Uniforms::take.
int64_t ptpe_one(const Ptpe& s, Uniforms& src, int64_t ahead);
int64_t poisson_one(double mu, Uniforms& src, int64_t ahead);

}  // namespace qor::rng::dist
