// The shared pieces of the discrete distributions (see discrete.h).
#include "random/distributions/discrete/discrete.h"

#include <atomic>
#include <cstring>

#include "qor/service.h"

namespace qor::rng::dist {

namespace {
std::atomic<int64_t> g_setups{0};
}
int64_t discrete_setups() { return g_setups.load(std::memory_order_relaxed); }
void count_setup() { g_setups.fetch_add(1, std::memory_order_relaxed); }

// One element through the HA kernels. The arguments here never raise an error (ln of a positive
// normal number, log1p above -1, exp of a moderate value) nor meet a denormal, so the kernels
// are called without switching the vector-math mode (a switch costs a third of the call).
double ln1(double x) {
  double r;
  qor_fnx_kernel_dLn_ttab[1](1, &x, &r);
  return r;
}
double exp1(double x) {
  double r;
  qor_fnx_kernel_dExp_ttab[1](1, &x, &r);
  return r;
}
double log1p1(double x) {
  double r;
  qor_fnx_kernel_dLog1p_ttab[1](1, &x, &r);
  return r;
}

namespace {

constexpr int kTableSize = kLfactTable;

// ln k! for k < 256 by sums of ln k (the sum's rounding stays far below an ulp of 1).
struct LfactTable {
  double v[kTableSize];
  LfactTable() {
    v[0] = 0.0;
    for (int k = 1; k < kTableSize; ++k) v[k] = v[k - 1] + ln1(double(k));
  }
};

}  // namespace

const double* lfact_table() {
  static const LfactTable t;
  return t.v;
}

double lfact(double k) {
  if (k < kTableSize) return lfact_table()[int(k)];
  const double y = k + 1.0;
  return (y - 0.5) * ln1(y) - y + 0.91893853320467274178 + stirling_tail_r(1.0 / y);
}

LfactRef lfact_ref(double y) {
  LfactRef r{y, 0, 0, 0};
  if (y >= kTableSize) {
    r.ln_Y = ln1(y + 1.0);
    r.inv_Y = 1.0 / (y + 1.0);
    r.tail_Y = stirling_tail_r(r.inv_Y);
  }
  return r;
}

double lfact_diff(double x, double y) { return lfact_diff(x, lfact_ref(y)); }

const CdfTable* find_table(HoxStream stream, int32_t kind, const double (&key)[4]) {
  const auto* t = static_cast<const CdfTable*>(__hoxSearchChunk(stream, kind));
  if (t && std::memcmp(t->key, key, sizeof key) == 0) return t;
  return nullptr;
}

const CdfTable* store_table(HoxStream stream, int32_t kind, const double (&key)[4], int64_t lo, const double* w,
                            int32_t count, int32_t* status) {
  const int32_t guides = count;
  const size_t bytes = sizeof(CdfTable) + size_t(count) * sizeof(double) + size_t(guides) * sizeof(int32_t);
  auto* t = static_cast<CdfTable*>(qor_serv_allocate(bytes, 128));
  if (!t) {
    *status = HOX_ERR_NO_MEMORY;
    return nullptr;
  }
  std::memcpy(t->key, key, sizeof key);
  t->lo = int32_t(lo);
  t->count = count;
  t->guides = guides;
  t->pad = 0;
  auto* F = const_cast<double*>(t->F());
  // Sums from the small weights up keep the rounding small; F[count - 1] is exactly 1.
  double total = 0;
  for (int32_t i = 0; i < count; ++i) total += w[i];
  double cum = 0;
  for (int32_t i = 0; i < count; ++i) F[i] = (cum += w[i]) / total;
  F[count - 1] = 1.0;
  auto* g = const_cast<int32_t*>(t->guide());
  for (int32_t j = 0, k = 0; j < guides; ++j) {
    while (F[k] <= double(j) / guides) ++k;
    g[j] = k;
  }
  __hoxDeleteChunksById(stream, kind);
  const int32_t st = __hoxAddChunk(stream, kind, nullptr, t, int32_t(bytes));
  if (st < 0) {
    qor_serv_deallocate(t);
    *status = st;
    return nullptr;
  }
  count_setup();
  return t;
}

// PTPE (Schmeiser and Kachitvichyanukul 1981), mu >= 27. The hat around the mode M: a triangle
// of height 1 on [xl, xr] (xl, xr = M + 1/2 -/+ p1), accepted without a test; a band of height
// c above it; exponential tails c exp(-ll (xl - x)) and c exp(-lr (x - xr)). The acceptance
// test compares v with f(ix) / f(M) = mu^(ix - M) M! / ix!: by the product for |ix - M| <= 20,
// else by its logarithm through lfact_diff (exact; no squeeze). The slopes are the binomial
// method's with the binomial's n r -> mu, r -> 0: ll = a (1 + a / 2), a = (mu - xl) / mu;
// lr = a (1 + a / 2), a = (xr - mu) / xr.
void ptpe_setup(double mu, Ptpe* s, bool logs) {
  s->mu = mu;
  s->M = std::floor(mu);
  s->xm = s->M + 0.5;
  s->p1 = std::floor(2.195 * std::sqrt(mu) - 2.2) + 0.5;
  s->c = 0.133 + 8.56 / (6.83 + mu);
  s->xl = s->xm - s->p1;
  s->xr = s->xm + s->p1;
  double a = (mu - s->xl) / mu;
  s->ll = a * (1.0 + 0.5 * a);
  a = (s->xr - mu) / s->xr;
  s->lr = a * (1.0 + 0.5 * a);
  s->p2 = s->p1 * (1.0 + 2.0 * s->c);
  s->p3 = s->p2 + s->c / s->ll;
  s->p4 = s->p3 + s->c / s->lr;
  s->logs = logs;
  if (logs) {
    s->lnmu = ln1(mu);
    s->lnM = lfact_ref(s->M);
  }
}

int64_t ptpe_one(const Ptpe& s, Uniforms& src, int64_t ahead) {
  for (;;) {
    const double* w = src.take(2, ahead);
    if (!w) return -1;
    const double u = w[0] * s.p4;
    double v = w[1];
    if (u <= s.p1) return int64_t(std::floor(s.xm - s.p1 * v + u));
    double ix;
    if (u <= s.p2) {
      const double x = s.xl + (u - s.p1) / s.c;
      v = v * s.c + 1.0 - std::fabs(s.xm - x) / s.p1;
      if (v > 1.0) continue;
      ix = std::floor(x);
    } else if (u <= s.p3) {
      if (v == 0.0) continue;
      ix = std::floor(s.xl + ln1(v) / s.ll);
      if (ix < 0) continue;
      v *= (u - s.p2) * s.ll;
    } else {
      if (v == 0.0) continue;
      ix = std::floor(s.xr - ln1(v) / s.lr);
      v *= (u - s.p3) * s.lr;
    }
    const double k = ix - s.M;
    if (std::fabs(k) <= 20) {
      // f(ix) / f(M) as a quotient of two products (no division in the loop).
      double num = 1.0, den = 1.0;
      if (k > 0) {
        for (double i = s.M + 1; i <= ix; ++i) {
          num *= s.mu;
          den *= i;
        }
      } else {
        for (double i = ix + 1; i <= s.M; ++i) {
          num *= i;
          den *= s.mu;
        }
      }
      if (v * den <= num) return int64_t(ix);
    } else if (v > 0) {
      const double lnmu = s.logs ? s.lnmu : ln1(s.mu);
      if (ln1(v) <= k * lnmu - (s.logs ? lfact_diff(ix, s.lnM) : lfact_diff(ix, s.M))) return int64_t(ix);
    }
  }
}

int64_t poisson_one(double mu, Uniforms& src, int64_t ahead) {
  if (mu >= 27.0) {
    Ptpe s;
    ptpe_setup(mu, &s, false);
    return ptpe_one(s, src, ahead);
  }
  const double* w = src.take(1, ahead);
  if (!w) return -1;
  const double u = w[0];
  double p = exp1(-mu), F = p;
  int64_t k = 0;
  while (u >= F && p > F * 0x1p-64) {
    ++k;
    p *= mu / double(k);
    F += p;
  }
  return k;
}

}  // namespace qor::rng::dist
