// Binomial variates (ntrial, p). With r = min(p, 1 - p) (results for p > 1/2 are ntrial minus a
// variate for 1 - p):
//   ntrial r >= 30  BTPE (Kachitvichyanukul and Schmeiser 1988): triangle, parallelogram and
//                   exponential regions around the mode; two uniforms per candidate. The final
//                   acceptance test is exact: the ratio f(ix) / f(M) by its product for
//                   |ix - M| <= 20, otherwise its logarithm ln M! - ln ix! + ln (n - M)! -
//                   ln (n - ix)! + (ix - M) ln(r / q) through lfact_diff (Stirling's series with
//                   the corrections of M + 1 and n - M + 1 added and those of ix + 1 and n - ix + 1
//                   subtracted: the published test adds all four, which is not the logarithm of
//                   the ratio). No squeeze.
//   otherwise       inversion of the distribution function by a search from the mode M: one
//                   uniform per result, f(M) and F(M) kept in the chunk.
// Both keep their set-up for the last (ntrial, p) in the stream's kind-5 chunk of 544 bytes
// (68 doubles: ntrial and p, both 0.0 in a new chunk, then the set-up).
// ntrial = 0: zeros, status 0, the stream untouched. ntrial < 0, p outside [0, 1] or NaN, or a
// method other than 0: HOX_ERR_BAD_ARGUMENT, nothing drawn.
#include <cstring>

#include "random/distributions/discrete/discrete.h"

using namespace qor::rng;

namespace {

constexpr int32_t kChunkBytes = 544;

struct Setup {
  double ntrial, p;  // the key
  double flip, n, r, q, M, s, a;
  // inversion
  double fM, FM;
  // BTPE
  double npq, lnrq;
  dist::TpeHat hat;
  dist::LfactRef lnM, lnnM;  // M and n - M
};
static_assert(sizeof(Setup) <= kChunkBytes);

void setup(Setup* S, int32_t ntrial, double p) {
  std::memset(S, 0, sizeof *S);
  S->ntrial = ntrial;
  S->p = p;
  S->flip = p > 0.5;
  const double n = ntrial, r = p > 0.5 ? 1.0 - p : p, q = 1.0 - r;
  S->n = n;
  S->r = r;
  S->q = q;
  S->s = r / q;
  S->a = (n + 1) * S->s;
  if (n * r < 30) {
    // Mode floor((n + 1) r) and its probability and cumulative probability by the recursion
    // from f(0) = q^n (at least e^-42 here).
    const double M = std::min(n, std::floor((n + 1) * r));
    double f = r == 0 ? 1.0 : dist::exp1(n * dist::log1p1(-r)), F = f;
    for (double k = 0; k < M; ++k) {
      f *= (n - k) / (k + 1) * S->s;
      F += f;
    }
    S->M = M;
    S->fM = f;
    S->FM = F;
  } else {
    const double fm = n * r + r, M = std::floor(fm);
    S->M = M;
    S->npq = n * r * q;
    dist::TpeHat& h = S->hat;
    dist::tpe_frame(&h, M, std::floor(2.195 * std::sqrt(S->npq) - 4.6 * q) + 0.5, 0.134 + 20.5 / (15.3 + M));
    const double al = (fm - h.xl) / (fm - h.xl * r), ar = (h.xr - fm) / (h.xr * q);
    dist::tpe_areas(&h, al * (1.0 + 0.5 * al), ar * (1.0 + 0.5 * ar));
    S->lnrq = dist::ln1(S->s);
    S->lnM = dist::lfact_ref(M);
    S->lnnM = dist::lfact_ref(n - M);
  }
  dist::count_setup();
}

// Inversion: u < F(M) searches down from M, otherwise up.
int32_t invert(const Setup& S, double u) {
  double k = S.M, f = S.fM, F = S.FM;
  if (u < F) {
    while (k > 0) {
      F -= f;
      if (u >= F) break;
      f *= k / ((S.n - k + 1) * S.s);
      --k;
    }
  } else {
    while (k < S.n) {
      ++k;
      f *= (S.n - k + 1) / k * S.s;
      F += f;
      if (u < F || !(f > F * 0x1p-64)) break;
    }
  }
  return int32_t(k);
}

// One BTPE variate, -1 when a draw failed.
int32_t btpe(const Setup& S, dist::Uniforms& src, int64_t ahead) {
  for (;;) {
    const double* w = src.take(2, ahead);
    if (!w) return -1;
    double ix, v;
    const int kind = dist::tpe_candidate(S.hat, w, S.n, &ix, &v);
    if (kind > 0) return int32_t(ix);
    if (kind < 0) continue;
    const double k = ix - S.M;
    if (std::fabs(k) <= 20) {
      // f(i) / f(i - 1) = (a - s i) / i
      const double a = S.a, sr = S.s;
      if (dist::products_accept(S.M, ix, v, [a, sr](double i) { return a - sr * i; }, [](double i) { return i; }))
        return int32_t(ix);
    } else if (v > 0 && dist::ln1(v) <= k * S.lnrq - dist::lfact_diff(ix, S.lnM) - dist::lfact_diff(S.n - ix, S.lnnM)) {
      return int32_t(ix);
    }
  }
}

}  // namespace

extern "C" QOR_API int32_t _hoxiRngBinomial(int32_t method, HoxStream stream, int32_t n, int32_t* r, int32_t ntrial,
                                            double p) {
  if (null_output(n, r) || method != 0 || ntrial < 0 || !(p >= 0.0 && p <= 1.0)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (ntrial == 0) {
    for (int32_t i = 0; i < n; ++i) r[i] = 0;
    return 0;
  }
  if (!row_of_stream(stream)) return HOX_ERR_INVALID_BRNG;
  auto* S = static_cast<Setup*>(__hoxSearchChunk(stream, dist::kBinomialChunk));
  if (!S) {
    S = static_cast<Setup*>(qor_serv_allocate(kChunkBytes, 128));
    if (!S) return HOX_ERR_NO_MEMORY;
    std::memset(S, 0, kChunkBytes);
    const int32_t st = __hoxAddChunk(stream, dist::kBinomialChunk, nullptr, S, kChunkBytes);
    if (st < 0) {
      qor_serv_deallocate(S);
      return st;
    }
  }
  const dist::Frame frame(nullptr);
  if (S->ntrial != double(ntrial) || S->p != p) setup(S, ntrial, p);
  const Setup& T = *S;
  const int32_t nt = ntrial;
  const bool flip = T.flip != 0;
  if (T.n * T.r < 30) {
    return dist::invert_blocks(stream, n, r, [&T, flip, nt](double u) {
      const int32_t x = invert(T, u);
      return flip ? nt - x : x;
    });
  }
  dist::Uniforms src(stream);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t x = btpe(T, src, 2 * int64_t(n - 1 - i));
    if (x < 0) return src.status();
    r[i] = flip ? nt - x : x;
  }
  return 0;
}
