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

// PTPE (Schmeiser and Kachitvichyanukul 1981), mu >= 27, on the hat of discrete.h. The
// acceptance test compares v with f(ix) / f(M) = mu^(ix - M) M! / ix!: as a quotient of two
// products for |ix - M| <= 20, else by its logarithm through lfact_diff (exact; no squeeze). The
// slopes are the binomial method's with the binomial's n r -> mu, r -> 0:
// ll = a (1 + a / 2), a = (mu - xl) / mu; lr = a (1 + a / 2), a = (xr - mu) / xr.
void ptpe_setup(double mu, Ptpe* s, bool logs) {
  s->mu = mu;
  TpeHat& h = s->hat;
  tpe_frame(&h, std::floor(mu), std::floor(2.195 * std::sqrt(mu) - 2.2) + 0.5, 0.133 + 8.56 / (6.83 + mu));
  const double al = (mu - h.xl) / mu, ar = (h.xr - mu) / h.xr;
  tpe_areas(&h, al * (1.0 + 0.5 * al), ar * (1.0 + 0.5 * ar));
  s->logs = logs;
  if (logs) {
    s->lnmu = ln1(mu);
    s->lnM = lfact_ref(h.M);
  }
}

int64_t ptpe_one(const Ptpe& s, Uniforms& src, int64_t ahead) {
  const double M = s.hat.M;
  for (;;) {
    const double* w = src.take(2, ahead);
    if (!w) return -1;
    double ix, v;
    const int kind = tpe_candidate(s.hat, w, HUGE_VAL, &ix, &v);
    if (kind > 0) return int64_t(ix);
    if (kind < 0) continue;
    const double k = ix - M;
    const double mu = s.mu;
    if (std::fabs(k) <= 20) {
      if (products_accept(M, ix, v, [mu](double) { return mu; }, [](double i) { return i; })) return int64_t(ix);
    } else if (v > 0) {
      const double lnmu = s.logs ? s.lnmu : ln1(s.mu);
      if (ln1(v) <= k * lnmu - (s.logs ? lfact_diff(ix, s.lnM) : lfact_diff(ix, M))) return int64_t(ix);
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
