// _hoxdSSBasic / _hoxsSSBasic: means, raw and central moments, sums, kurtosis, skewness,
// variation, covariance, correlation and cross-product of the selected variables, weighted or
// not, progressively over calls and split over threads.
//
// Call structure: validate (the first failing check decides, nothing is written before all
// checks pass), choose one block kernel for the call, run it per thread over that thread's
// range of observations into the thread's own accumulators, merge the threads in thread order,
// merge the result into the state the task's arrays carried from earlier calls, and write every
// array the request needs.
#include <cmath>
#include <cstring>
#include <limits>

#include "qor/service.h"
#include "service/size_math.h"
#include "statistics/carver.h"
#include "statistics/moments/basic_internal.h"
#include "random/distributions/vm_bridge.h"

namespace qor::ss { namespace vm = ::qor::vm_bridge; }

namespace qor::ss::basic {
namespace {

// Correlation from an upper triangle of a covariance-like matrix (any positive scale).
template <class T>
void write_correlation(T* out, Mat st, int64_t p, const int32_t* sel, int64_t q, const double* C,
                       int64_t ldc) {
  for (int64_t b = 0; b < q; ++b)
    for (int64_t a = 0; a <= b; ++a) {
      const double den = vm::sqrt(C[a + a * ldc] * C[b + b * ldc]);
      const T v = static_cast<T>(C[a + b * ldc] / den);
      const int64_t i = sel[a], j = sel[b];
      out[mat_pos(st, p, i, j)] = v;
      if (st == Mat::full) out[j * p + i] = v;
    }
}

// ---- the call's plan -------------------------------------------------------------------------
struct Plan {
  Mode mode;
  bool rows, weighted, cov;
  int rr, cc;          // raw and central orders the kernel accumulates
  uint32_t need;       // presence bits written (and read when continuing)
  int64_t p, n, q;
};


template <class T>
struct Layout {
  int32_t* sel;
  double* g;
  Part* parts;      // nthreads + 1 (the last one: the state carried over)
  Scratch* scr;
};

template <class T>
Layout<T> carve(Carver& cv, const Plan& pl, int nthreads, int64_t B) {
  Layout<T> L{};
  const uint64_t q = static_cast<uint64_t>(pl.q);
  L.sel = cv.take<int32_t>(q);
  L.g = cv.take<double>(q);
  L.parts = cv.take<Part>(nthreads + 1);
  L.scr = cv.take<Scratch>(nthreads);
  for (int t = 0; t <= nthreads; ++t) {
    Part pt{};
    pt.m = cv.take<double>(q);
    pt.mlo = cv.take<double>(q);
    for (int r = 1; r <= 4; ++r) pt.S[r] = cv.take<double>(q);
    for (int r = 2; r <= 4; ++r) pt.M[r] = cv.take<double>(q);
    pt.C = pl.cov ? cv.take<double>(q * q) : nullptr;
    if (L.parts) L.parts[t] = pt;
  }
  for (int t = 0; t < nthreads; ++t) {
    Scratch s{};
    s.Z = pl.cov ? cv.take<double>(q * static_cast<uint64_t>(B)) : nullptr;
    s.sw = cv.take<double>(static_cast<uint64_t>(B));
    for (double*& a : s.t) a = cv.take<double>(q);
    s.xc = (!pl.rows && pl.q != pl.p) ? cv.take<T>(q * static_cast<uint64_t>(B)) : nullptr;
    if (L.scr) L.scr[t] = s;
  }
  return L;
}

// ---- merging ---------------------------------------------------------------------------------
void clear_part(Part& a, int64_t q, bool cov) {
  a.W = a.V = 0;
  std::memset(a.m, 0, sizeof(double) * q);
  std::memset(a.mlo, 0, sizeof(double) * q);
  for (int r = 1; r <= 4; ++r) std::memset(a.S[r], 0, sizeof(double) * q);
  for (int r = 2; r <= 4; ++r) std::memset(a.M[r], 0, sizeof(double) * q);
  if (cov) std::memset(a.C, 0, sizeof(double) * q * q);
}

void copy_part(Part& a, const Part& b, int64_t q, bool cov) {
  a.W = b.W;
  a.V = b.V;
  std::memcpy(a.m, b.m, sizeof(double) * q);
  std::memcpy(a.mlo, b.mlo, sizeof(double) * q);
  for (int r = 1; r <= 4; ++r) std::memcpy(a.S[r], b.S[r], sizeof(double) * q);
  for (int r = 2; r <= 4; ++r) std::memcpy(a.M[r], b.M[r], sizeof(double) * q);
  if (cov) std::memcpy(a.C, b.C, sizeof(double) * q * q);
}

// a := a + b for sums (fast and given-mean parts).
void add_part(Part& a, const Part& b, int64_t q, bool cov) {
  a.W += b.W;
  a.V += b.V;
  for (int r = 1; r <= 4; ++r)
    for (int64_t k = 0; k < q; ++k) a.S[r][k] += b.S[r][k];
  for (int r = 2; r <= 4; ++r)
    for (int64_t k = 0; k < q; ++k) a.M[r][k] += b.M[r][k];
  if (cov)
    for (int64_t j = 0; j < q; ++j)
      for (int64_t i = 0; i <= j; ++i) a.C[i + j * q] += b.C[i + j * q];
}

// a := a merged with b (pairwise update of means, central sums and the cross-product).
void merge_part(Part& a, const Part& b, int64_t q, int cc, bool cov, double* dl) {
  if (b.W == 0) return;
  if (a.W == 0) {
    copy_part(a, b, q, cov);
    return;
  }
  const double W = a.W + b.W, fa = a.W / W, fb = b.W / W, Wa = a.W;
  for (int64_t k = 0; k < q; ++k) {
    const double d = (b.m[k] - a.m[k]) + (b.mlo[k] - a.mlo[k]);
    dl[k] = d;
    const double M2a = a.M[2][k], M3a = a.M[3][k], M2b = b.M[2][k], M3b = b.M[3][k];
    if (cc >= 4)
      a.M[4][k] += b.M[4][k] + d * d * d * d * Wa * fb * (fa * fa - fa * fb + fb * fb) +
                   6 * d * d * (fa * fa * M2b + fb * fb * M2a) + 4 * d * (fa * M3b - fb * M3a);
    if (cc >= 3) a.M[3][k] += M3b + d * d * d * Wa * fb * (fa - fb) + 3 * d * (fa * M2b - fb * M2a);
    if (cc >= 2) a.M[2][k] += M2b + d * d * Wa * fb;
    const double hi = a.m[k], small = a.mlo[k] + d * fb, sum = hi + small;
    a.mlo[k] = small - (sum - hi);
    a.m[k] = sum;
    for (int r = 1; r <= 4; ++r) a.S[r][k] += b.S[r][k];
  }
  if (cov) {
    const double g = Wa * fb;
    for (int64_t j = 0; j < q; ++j)
      for (int64_t i = 0; i <= j; ++i) a.C[i + j * q] += b.C[i + j * q] + g * dl[i] * dl[j];
  }
  a.W = W;
  a.V += b.V;
}

// Fast method: raw sums -> mean, central sums and centred cross-product.
void raw_to_central(Part& a, int64_t q, int order, bool cov) {
  const double W = a.W;
  for (int64_t k = 0; k < q; ++k) {
    const double m = a.S[1][k] / W;
    a.m[k] = m;
    a.mlo[k] = 0;
    const double R2 = a.S[2][k] / W, R3 = a.S[3][k] / W, R4 = a.S[4][k] / W;
    if (order >= 2) a.M[2][k] = W * (R2 - m * m);
    if (order >= 3) a.M[3][k] = W * (R3 - 3 * m * R2 + 2 * m * m * m);
    if (order >= 4) a.M[4][k] = W * (R4 - 4 * m * R3 + 6 * m * m * R2 - 3 * m * m * m * m);
  }
  if (cov)
    for (int64_t j = 0; j < q; ++j)
      for (int64_t i = 0; i <= j; ++i) a.C[i + j * q] -= W * a.m[i] * a.m[j];
}

// ---- the means the task keeps in its internal buffer ------------------------------------------
int64_t saved_capacity(const HoxSSTask* t) { return static_cast<int64_t>(static_cast<const double*>(t->internal)[0]); }
double* saved_means(const HoxSSTask* t) { return static_cast<double*>(t->internal) + 2; }

// ---- the state carried over from earlier calls -------------------------------------------------
template <class T>
void read_state(const HoxSSTask* t, const Plan& pl, const int32_t* sel, const double* g,
                Part& a, double W, double V, bool saved_valid) {
  const int64_t q = pl.q;
  const uint32_t need = pl.need;
  auto arr = [&](int b) { return static_cast<const T*>(array_of(t, b)); };
  auto has = [&](int b) { return (need & bit(b)) != 0; };
  a.W = W;
  a.V = V;
  const double c2_to_M2 = (W * W - V) / W;
  const double* saved = (pl.mode == Mode::fast && saved_valid) ? saved_means(t) : nullptr;
  for (int64_t k = 0; k < q; ++k) {
    const int64_t i = sel[k];
    double m = 0;
    if (pl.mode == Mode::given) m = g[k];
    else if (saved) m = saved[i];
    else if (has(kMean)) m = arr(kMean)[i];
    a.m[k] = m;
    a.mlo[k] = 0;
    a.S[1][k] = has(kSum) ? static_cast<double>(arr(kSum)[i]) : W * m;
    bool raw_known[5] = {true, true, false, false, false};
    for (int r = 2; r <= 4; ++r) {
      double v = 0;
      if (has(kRaw2Sum + r - 2)) { v = arr(kRaw2Sum + r - 2)[i]; raw_known[r] = true; }
      else if (has(kRaw2 + r - 2)) { v = arr(kRaw2 + r - 2)[i] * W; raw_known[r] = true; }
      a.S[r][k] = v;
    }
    for (int r = 2; r <= pl.cc; ++r) {
      double v = 0;
      if (has(kCen2Sum + r - 2)) v = arr(kCen2Sum + r - 2)[i];
      else if (has(kCen2 + r - 2)) v = arr(kCen2 + r - 2)[i] * (r == 2 ? c2_to_M2 : W);
      else if (pl.mode != Mode::given && raw_known[2] && (r < 3 || raw_known[3]) && (r < 4 || raw_known[4])) {
        const double S1 = W * m, S2 = a.S[2][k], S3 = a.S[3][k], S4 = a.S[4][k];
        if (r == 2) v = S2 - m * S1;
        if (r == 3) v = S3 - 3 * m * S2 + 2 * W * m * m * m;
        if (r == 4) v = S4 - 4 * m * S3 + 6 * m * m * S2 - 3 * W * m * m * m * m;
      }
      a.M[r][k] = v;
    }
  }
  if (pl.cov) {
    if (has(kCP)) {
      read_matrix(static_cast<const T*>(t->cp), decode_matrix(t, t->cp_storage), pl.p, sel, q, a.C, 1.0);
    } else if (has(kCov)) {
      read_matrix(static_cast<const T*>(t->cov), decode_matrix(t, t->cov_storage), pl.p, sel, q, a.C, W - V / W);
    } else {
      read_matrix(static_cast<const T*>(t->cor), decode_matrix(t, t->cor_storage), pl.p, sel, q, a.C, 1.0);
      for (int64_t j = 0; j < q; ++j)
        for (int64_t i = 0; i <= j; ++i) a.C[i + j * q] *= vm::sqrt(a.M[2][i] * a.M[2][j]);
    }
  }
}

// ---- outputs -----------------------------------------------------------------------------------
template <class T>
void write_outputs(HoxSSTask* t, const Plan& pl, const int32_t* sel, const double* g,
                   const Part& a) {
  const int64_t q = pl.q;
  const uint32_t need = pl.need;
  auto out = [&](int b) { return static_cast<T*>(array_of(t, b)); };
  auto has = [&](int b) { return (need & bit(b)) != 0; };
  const double W = a.W, V = a.V;
  const double c2n = W / (W * W - V);
  for (int64_t k = 0; k < q; ++k) {
    const int64_t i = sel[k];
    const double m = pl.mode == Mode::given ? g[k] : a.m[k] + a.mlo[k];
    if (has(kMean) && pl.mode != Mode::given) out(kMean)[i] = static_cast<T>(m);
    for (int r = 2; r <= 4; ++r) {
      if (has(kRaw2 + r - 2)) out(kRaw2 + r - 2)[i] = static_cast<T>(a.S[r][k] / W);
      if (has(kRaw2Sum + r - 2)) out(kRaw2Sum + r - 2)[i] = static_cast<T>(a.S[r][k]);
      if (has(kCen2Sum + r - 2)) out(kCen2Sum + r - 2)[i] = static_cast<T>(a.M[r][k]);
    }
    if (has(kSum)) out(kSum)[i] = static_cast<T>(a.S[1][k]);
    const double c2 = a.M[2][k] * c2n, c3 = a.M[3][k] / W, c4 = a.M[4][k] / W;
    if (has(kCen2)) out(kCen2)[i] = static_cast<T>(c2);
    if (has(kCen3)) out(kCen3)[i] = static_cast<T>(c3);
    if (has(kCen4)) out(kCen4)[i] = static_cast<T>(c4);
    if (has(kKurt)) out(kKurt)[i] = static_cast<T>(c4 / (c2 * c2) - 3.0);
    if (has(kSkew)) out(kSkew)[i] = static_cast<T>(c3 / vm::sqrt(c2 * c2 * c2));
    if (has(kVariation)) out(kVariation)[i] = static_cast<T>(vm::sqrt(c2) / m);
  }
  if (has(kCov))
    write_matrix(static_cast<T*>(t->cov), decode_matrix(t, t->cov_storage), pl.p, sel, q, a.C, q,
                 1.0 / (W - V / W));
  if (has(kCor))
    write_correlation(static_cast<T*>(t->cor), decode_matrix(t, t->cor_storage), pl.p, sel, q, a.C, q);
  if (has(kCP))
    write_matrix(static_cast<T*>(t->cp), decode_matrix(t, t->cp_storage), pl.p, sel, q, a.C, q, 1.0);
  if (t->accum_weight) {
    T* aw = static_cast<T*>(t->accum_weight);
    aw[0] = static_cast<T>(W);
    aw[1] = static_cast<T>(V);
  }
}

// ---- conversions from sums and cross-products already in the task --------------------------------
template <class T>
int32_t convert(HoxSSTask* t, uint32_t req, int64_t p) {
  double W, V;
  if (t->accum_weight) {
    const T* aw = static_cast<const T*>(t->accum_weight);
    W = aw[0];
    V = aw[1];
  } else if (t->observ_n && !t->weights) {
    W = V = static_cast<double>(read_int(t, t->observ_n));
  } else {
    return HOX_SS_ERR_NULL_ACCUM_WEIGHT;
  }
  auto io = [&](int b) { return static_cast<T*>(array_of(t, b)); };
  auto want = [&](int b) { return (req & bit(b)) != 0; };
  // The selected variables, in order, without allocating: walk the selection array.
  auto selected = [&](int64_t i) { return !t->indices || read_int_at(t, t->indices, i) != 0; };
  const double c2n = W / (W * W - V);
  for (int64_t i = 0; i < p; ++i) {
    if (!selected(i)) continue;
    if (want(kMean)) io(kMean)[i] = static_cast<T>(io(kSum)[i] / W);
    for (int r = 2; r <= 4; ++r)
      if (want(kRaw2 + r - 2)) io(kRaw2 + r - 2)[i] = static_cast<T>(io(kRaw2Sum + r - 2)[i] / W);
    if (want(kCen2)) io(kCen2)[i] = static_cast<T>(io(kCen2Sum)[i] * c2n);
    if (want(kCen3)) io(kCen3)[i] = static_cast<T>(io(kCen3Sum)[i] / W);
    if (want(kCen4)) io(kCen4)[i] = static_cast<T>(io(kCen4Sum)[i] / W);
  }
  for (int64_t i = 0; i < p; ++i) {
    if (!selected(i)) continue;
    if (want(kKurt)) {
      const double c2 = io(kCen2)[i], c4 = io(kCen4)[i];
      io(kKurt)[i] = static_cast<T>(c4 / (c2 * c2) - 3.0);
    }
    if (want(kSkew)) {
      const double c2 = io(kCen2)[i], c3 = io(kCen3)[i];
      io(kSkew)[i] = static_cast<T>(c3 / vm::sqrt(c2 * c2 * c2));
    }
    if (want(kVariation)) io(kVariation)[i] = static_cast<T>(vm::sqrt(static_cast<double>(io(kCen2)[i])) / io(kMean)[i]);
  }
  if (want(kCov) || want(kCor)) {
    const T* cp = static_cast<const T*>(t->cp);
    const Mat scp = decode_matrix(t, t->cp_storage);
    const Mat scov = decode_matrix(t, t->cov_storage), scor = decode_matrix(t, t->cor_storage);
    const double f = 1.0 / (W - V / W);
    for (int64_t j = 0; j < p; ++j) {
      if (!selected(j)) continue;
      for (int64_t i = 0; i <= j; ++i) {
        if (!selected(i)) continue;
        const double c = cp[mat_pos(scp, p, i, j)];
        if (want(kCov)) {
          T* o = static_cast<T*>(t->cov);
          o[mat_pos(scov, p, i, j)] = static_cast<T>(c * f);
          if (scov == Mat::full) o[j * p + i] = static_cast<T>(c * f);
        }
        if (want(kCor)) {
          const double den = vm::sqrt(static_cast<double>(cp[mat_pos(scp, p, i, i)]) * cp[mat_pos(scp, p, j, j)]);
          T* o = static_cast<T*>(t->cor);
          o[mat_pos(scor, p, i, j)] = static_cast<T>(c / den);
          if (scor == Mat::full) o[j * p + i] = static_cast<T>(c / den);
        }
      }
    }
  }
  return 0;
}

// ---- threads -------------------------------------------------------------------------------------
template <class T>
void thread_body(int32_t thread, void*, int32_t, void* context) {
  Ctx<T>& c = *static_cast<Ctx<T>*>(context);
  const int64_t T_ = c.nthreads, share = c.n / T_;
  const int64_t lo = thread * share, hi = thread == T_ - 1 ? c.n : lo + share;
  if (c.range) {
    c.range(c, thread, lo, hi);
    return;
  }
  for (int64_t j0 = lo; j0 < hi; j0 += c.B) c.block(c, thread, j0, j0 + c.B < hi ? j0 + c.B : hi);
}

// Threads only for more than kWorkPerThread units of work (n p, or n p^2 with a matrix) and at
// least kMinObservationsPerThread observations per thread.
constexpr double kWorkPerThread = 8192.0;
constexpr int64_t kMinObservationsPerThread = 16;

int thread_count(const ThreadingServices* th, int64_t n, int64_t p, bool cov) {
  int64_t T = 1;
  if (th && th->max_threads && th->parallel_run) T = th->max_threads();
  if (T < 1) T = 1;
  const double work = static_cast<double>(n) * static_cast<double>(p) * (cov ? static_cast<double>(p) : 1.0);
  const double units = std::floor(work / kWorkPerThread);
  if (units < static_cast<double>(T)) T = static_cast<int64_t>(units);
  if (T > n / kMinObservationsPerThread) T = n / kMinObservationsPerThread;
  if (T < 1) T = 1;
  return static_cast<int>(T);
}

template <class T>
int32_t basic(HoxSSTask* t, uint64_t estimates, uint64_t method, const ThreadingServices* th) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  // 1. method
  const uint32_t m = static_cast<uint32_t>(method);
  const int k = ((m & HOX_SS_METHOD_FAST) ? 1 : 0) + ((m & HOX_SS_METHOD_ONE_PASS) ? 1 : 0) +
                ((m & HOX_SS_METHOD_GIVEN_MEAN) ? 1 : 0);
  if (!(k == 1 || (k == 0 && (m & (HOX_SS_METHOD_FROM_CROSS_PRODUCT | HOX_SS_METHOD_FROM_SUMS)))))
    return HOX_SS_ERR_BAD_METHOD;
  // 2. estimates and the arrays present
  const uint32_t req = compact_mask(estimates, kEstBit);
  // 3. requirements
  const uint32_t need =
      needed_mask(req, (m & HOX_SS_METHOD_FAST) ? kFastTable : k == 1 ? kGeneralTable : kConversionTable);
  if (const int32_t st = first_missing(need, present_mask(t), kMissingStatus)) return st;
  // the dimension (the task's address can not be null, but its value may have changed)
  if (!t->dimension) return HOX_SS_ERR_BAD_DIMENSION;
  const int64_t p = read_int(t, t->dimension);
  if (p < 1 || p > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_DIMENSION;
  // 4. conversions
  if (k == 0) return convert<T>(t, req, p);
  // 5. observations
  if (!t->observ_n) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  const int64_t n = read_int(t, t->observ_n);
  if (n < 1 || n > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  if (!t->observ) return HOX_SS_ERR_NULL_OBSERV;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  bool rows;
  if (!observ_storage_by_bits(read_int(t, t->observ_storage), &rows)) return HOX_SS_ERR_BAD_STORAGE;
  if (p == 1) rows = true;

  Plan pl{};
  pl.mode = (m & HOX_SS_METHOD_FAST) ? Mode::fast : (m & HOX_SS_METHOD_ONE_PASS) ? Mode::one_pass : Mode::given;
  pl.rows = rows;
  pl.weighted = t->weights != nullptr;
  pl.need = need;
  pl.p = p;
  pl.n = n;
  pl.cov = (need & (bit(kCov) | bit(kCor) | bit(kCP))) != 0;
  int rr = 1, cc = 0;
  if (need & bit(kSum)) rr = 1;
  for (int r = 2; r <= 4; ++r) {
    if (need & (bit(kRaw2 + r - 2) | bit(kRaw2Sum + r - 2))) rr = r;
    if (need & (bit(kCen2 + r - 2) | bit(kCen2Sum + r - 2))) cc = r;
  }
  switch (pl.mode) {
    case Mode::one_pass:
      if (rr >= 3 || cc >= 3) rr = cc = 4;
      else if (rr == 2) cc = 2;
      break;
    case Mode::given:
      if (rr >= 2) rr = cc = 4;
      else cc = cc < 2 ? 2 : cc;
      break;
    case Mode::fast:
      rr = rr > cc ? rr : cc;
      cc = rr >= 2 ? rr : 0;
      break;
  }
  pl.rr = rr;
  pl.cc = cc;

  // selected variables
  int64_t q = 0;
  if (t->indices) {
    for (int64_t i = 0; i < p; ++i) q += read_int_at(t, t->indices, i) != 0;
  } else {
    q = p;
  }
  if (q == 0) return 0;
  pl.q = q;
  // A p x p matrix output must be able to exist (its positions are computed as i + j p).
  size_t matrix_bytes;
  if (pl.cov && !(serv::checked_mul(p, p, &matrix_bytes) && serv::checked_mul(matrix_bytes, sizeof(T), &matrix_bytes)))
    return HOX_SS_ERR_NO_MEMORY;

  const int nthreads = thread_count(th, n, p, pl.cov);
  // Observations per block: the block's scratch (q x B deviations for the rank-k update, or the
  // accumulators swept over in observation-by-row storage) stays in cache; variable-by-row
  // storage without a matrix reads each variable's run alone, so longer blocks cost nothing.
  int64_t B = (pl.rows && !pl.cov) ? 4096 : 32768 / q;
  // Observation-by-row storage with neither a matrix nor a gathered copy: B only sets how often
  // the block sums are merged (q divisions and merges per block), so blocks are kept long.
  if (!pl.rows && !pl.cov && q == p && B < 2048) B = 2048;
  B = B < 16 ? 16 : (B > 4096 ? 4096 : B);
  if (B > n) B = n;

  Carver count{nullptr};
  carve<T>(count, pl, nthreads, B);
  if (count.overflow || count.used > std::numeric_limits<size_t>::max() / 2) return HOX_SS_ERR_NO_MEMORY;
  const bool keep_means = pl.mode != Mode::one_pass && pl.cov;
  // the saved means: a block of 2 + p doubles, the first one holding the capacity p
  const bool saved_valid = t->internal && saved_capacity(t) >= p;
  size_t saved_bytes = 0;
  if (keep_means && !saved_valid &&
      !(serv::checked_add(p, 2, &saved_bytes) && serv::checked_mul(saved_bytes, sizeof(double), &saved_bytes)))
    return HOX_SS_ERR_NO_MEMORY;
  void* block = qor_serv_allocate(count.used, 128);
  if (!block) return HOX_SS_ERR_NO_MEMORY;
  if (keep_means && !saved_valid) {
    void* buf = qor_serv_allocate(saved_bytes, 128);
    if (!buf) {
      qor_serv_deallocate(block);
      return HOX_SS_ERR_NO_MEMORY;
    }
    std::memset(buf, 0, saved_bytes);
    static_cast<double*>(buf)[0] = static_cast<double>(p);
    if (t->internal) qor_serv_deallocate(t->internal);
    t->internal = buf;
  }
  Carver cv{static_cast<char*>(block)};
  Layout<T> L = carve<T>(cv, pl, nthreads, B);
  {
    int64_t k2 = 0;
    for (int64_t i = 0; i < p; ++i)
      if (!t->indices || read_int_at(t, t->indices, i) != 0) L.sel[k2++] = static_cast<int32_t>(i);
  }
  const T* mean_in = static_cast<const T*>(t->moment[0]);
  for (int64_t k2 = 0; k2 < q; ++k2) L.g[k2] = mean_in ? static_cast<double>(mean_in[L.sel[k2]]) : 0.0;
  for (int i = 0; i <= nthreads; ++i) clear_part(L.parts[i], q, pl.cov);

  Ctx<T> c{};
  c.x = static_cast<const T*>(t->observ);
  c.w = static_cast<const T*>(t->weights);
  c.n = n;
  c.p = p;
  c.q = q;
  c.sel = L.sel;
  c.all_selected = q == p;
  c.B = B;
  c.g = L.g;
  c.parts = L.parts;
  c.scr = L.scr;
  c.nthreads = nthreads;
  c.block = choose_kernel<T>(pl.mode, pl.rows, pl.weighted, pl.rr, pl.cc, pl.cov);
  c.range = choose_range_kernel<T>(pl.mode, pl.rows, pl.weighted, pl.rr, pl.cc, pl.cov);

  if (nthreads > 1) th->parallel_run(nthreads, &c, &thread_body<T>);
  else thread_body<T>(0, nullptr, 1, &c);

  // threads in order
  Part& total = L.parts[0];
  double* dl = L.scr[0].t[1];
  for (int i = 1; i < nthreads; ++i) {
    if (pl.mode == Mode::one_pass) merge_part(total, L.parts[i], q, pl.cc, pl.cov, dl);
    else add_part(total, L.parts[i], q, pl.cov);
  }
  if (pl.mode == Mode::fast && total.W != 0) raw_to_central(total, q, pl.cc, pl.cov);

  // the state carried over from earlier calls
  const Part* result = &total;
  if (t->accum_weight) {
    const T* aw = static_cast<const T*>(t->accum_weight);
    const double W0 = aw[0], V0 = aw[1];
    if (W0 != 0) {
      Part& prev = L.parts[nthreads];
      read_state<T>(t, pl, L.sel, L.g, prev, W0, V0, saved_valid);
      if (pl.mode == Mode::given) add_part(prev, total, q, pl.cov);
      else merge_part(prev, total, q, pl.cc, pl.cov, dl);
      result = &prev;
    }
  }
  write_outputs<T>(t, pl, L.sel, L.g, *result);
  if (t->internal && saved_capacity(t) >= p) {
    double* saved = saved_means(t);
    for (int64_t k2 = 0; k2 < q; ++k2) saved[L.sel[k2]] = pl.mode == Mode::given ? L.g[k2] : result->m[k2] + result->mlo[k2];
  }
  qor_serv_deallocate(block);
  return 0;
}

}  // namespace
}  // namespace qor::ss::basic

extern "C" QOR_API int32_t _hoxdSSBasic(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                        const ThreadingServices* threading) {
  return qor::ss::basic::basic<double>(task, estimates, method, threading);
}

extern "C" QOR_API int32_t _hoxsSSBasic(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                        const ThreadingServices* threading) {
  return qor::ss::basic::basic<float>(task, estimates, method, threading);
}
