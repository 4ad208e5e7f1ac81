// Integration: the integral of a task's spline from llim[k] to rlim[k] for every function.
//
// Every integrable kind is a sequence of polynomial pieces in a local variable t = s - x[p]: the
// linear, quadratic, cubic and arbitrary kinds on the cells (piece p on [x[p], x[p+1]]), the
// Subbotin quadratic on its sub-grid cells ([t(p), t(p+1)], which holds x[p]), and the step kinds
// as constant pieces y[p] on [x[p], x[p+1]) (the last one, y[nx-1], right of x[nx-1]). With a
// = min(llim, rlim), b = max(llim, rlim) and F the antiderivative of a piece,
//   integral = F(pa, hi(pa)) - F(pa, a) + (whole pieces strictly between) + F(pb, b) - F(pb, lo(pb))
// (one piece: F(pa, b) - F(pa, a)), times the sign of rlim - llim. Sites outside the partition
// belong to the end pieces, extended. The whole pieces come from a running sum of the pieces'
// integrals, built once per function, so a pair costs the same however many cells it spans.
//
// Left and right callbacks integrate the parts of [a, b] outside the partition instead; the
// interpolation callback integrates the rest for the arbitrary kind. Limits are searched in
// blocks with the search method chosen for each limit array; large
// requests split their pairs across threads, every pair computed by the same code whatever the
// split, so the results do not depend on the thread count.
#include <algorithm>
#include <atomic>

#include "data_fitting/eval_kind.h"
#include "data_fitting/search/search.h"
#include "data_fitting/subgrid.h"
#include "qor/service.h"
#include "service/size_math.h"

namespace qor::df {
namespace {

constexpr int64_t kBlock = 128;      // limit pairs searched and integrated together
constexpr int64_t kItem = 4096;      // pairs per parallel work item
constexpr int64_t kParallel = 8192;  // fewest pairs that are split across threads

template <class T> struct CallbackOf;
template <> struct CallbackOf<double> { using type = DfdIntegrCallBack; };
template <> struct CallbackOf<float> { using type = DfsIntegrCallBack; };
template <class T> using Callback = typename CallbackOf<T>::type;

// One function's spline as pieces.
template <class T>
struct Pieces {
  Kind kind;
  Partition<T> p;
  Subgrid<T> g;
  int64_t order;    // coefficients per piece (1 for the step kinds)
  int64_t npieces;
  const T* c;       // coefficients, or y for the step kinds
  int64_t inc;      // stride of y (step kinds)
  const T* sum;     // sum[q] = integral of pieces 0 .. q-1

  bool step() const { return kind == kStepLeft || kind == kStepRight; }
  T origin(int64_t q) const { return p[q]; }
  T lo(int64_t q) const { return kind == kSubbotin ? g(q) : p[q]; }
  T hi(int64_t q) const { return kind == kSubbotin ? g(q + 1) : p[q + 1]; }
  int64_t piece(int32_t cell, T s) const {
    const int64_t nx = p.nx;
    int64_t q;
    if (kind == kSubbotin) q = cell < 1 ? 0 : (cell >= nx ? nx - 1 : (s < g(cell) ? cell - 1 : cell));
    else q = cell - 1;
    return q < 0 ? 0 : (q >= npieces ? npieces - 1 : q);
  }
  // Antiderivative of piece q at t, zero at t = 0.
  T F(int64_t q, T t) const {
    if (step()) return T(c[q * inc] * t);
    const T* cq = c + q * order;
    if (order == 2) return T(t * T(cq[0] + T(t * T(cq[1] * T(0.5)))));
    if (order == 3) return T(t * T(cq[0] + T(t * T(T(cq[1] * T(0.5)) + T(t * T(cq[2] / T(3)))))));
    if (order == 4)
      return T(t * T(cq[0] + T(t * T(T(cq[1] * T(0.5)) + T(t * T(T(cq[2] / T(3)) + T(t * T(cq[3] * T(0.25)))))))));
    T acc = T(cq[order - 1] / T(order));
    for (int64_t k = order - 2; k >= 0; --k) acc = T(T(acc * t) + T(cq[k] / T(k + 1)));
    return T(acc * t);
  }
  T whole(int64_t q) const { return T(F(q, T(hi(q) - origin(q))) - F(q, T(lo(q) - origin(q)))); }
  // Integral over [a, b], a <= b, with their cells.
  T integral(T a, int32_t ca, T b, int32_t cb) const {
    const int64_t pa = piece(ca, a), pb = piece(cb, b);
    const T oa = origin(pa);
    if (pb <= pa) return T(F(pa, T(b - oa)) - F(pa, T(a - oa)));
    const T ob = origin(pb);
    const T head = T(F(pa, T(hi(pa) - oa)) - F(pa, T(a - oa)));
    const T tail = T(F(pb, T(b - ob)) - F(pb, T(lo(pb) - ob)));
    return T(T(head + T(sum[pb] - sum[pa + 1])) + tail);
  }
};

template <class T>
struct Job {
  const DfTask1D* t;
  Kind kind;
  int64_t nlim;
  const T* llim;
  const T* rlim;
  bool luniform, runiform;
  SearchPlan<T> lplan, rplan;
  T* r;
  bool by_pair;  // result hint 32: r[k * ny + j]
  int64_t ny;
  Callback<T> left, right, interp;
  const void *lparams, *rparams, *iparams;
  Pieces<T> pieces;  // of the current function
  int64_t j;
  std::atomic<int32_t> status{0};
};

template <class T>
inline T limit(const T* v, bool uniform, int64_t n, int64_t k) {
  if (!uniform) return v[k];
  if (n < 2) return v[0];
  if (k == n - 1) return v[1];
  return T(v[0] + T(T(k) * T(T(v[1] - v[0]) / T(n - 1))));
}

// Calls cb for the m intervals gathered in (ga, gb) and adds its results to acc[gi[q]].
template <class T>
int32_t add_callback(Callback<T> cb, const void* params, int64_t j, int64_t m, const T* ga, const T* gb,
                     const int32_t* gi, T* tmp, T* acc) {
  if (m == 0) return DfOk;
  int64_t n = m;
  const int32_t st = cb(&n, j, ga, gb, tmp, params, 0);
  if (st < 0) return st;
  for (int64_t q = 0; q < m; ++q) acc[gi[q]] = T(acc[gi[q]] + tmp[q]);
  return DfOk;
}

// Pairs [k0, k1) of the current function, in blocks.
template <class T>
int32_t run_range(Job<T>& job, int64_t k0, int64_t k1) {
  const Pieces<T>& pc = job.pieces;
  const int64_t nx = job.t->nx;
  const T x0 = pc.p.first(), xl = pc.p.last();
  T ls[kBlock], rs[kBlock], acc[kBlock], ga[kBlock], gb[kBlock], tmp[kBlock];
  int32_t lc[kBlock], rc[kBlock], gi[kBlock];
  const bool interior_cb = job.kind == kArbitrary && job.interp;
  for (int64_t b0 = k0; b0 < k1; b0 += kBlock) {
    if (job.status.load(std::memory_order_relaxed) < 0) return DfOk;
    const int64_t m = std::min(kBlock, k1 - b0);
    for (int64_t q = 0; q < m; ++q) {
      ls[q] = limit(job.llim, job.luniform, job.nlim, b0 + q);
      rs[q] = limit(job.rlim, job.runiform, job.nlim, b0 + q);
    }
    if (const int32_t st = search_block(job.lplan, m, ls, lc); st < 0) return st;
    if (const int32_t st = search_block(job.rplan, m, rs, rc); st < 0) return st;
    // Parts inside the partition (or all of [a, b] without callbacks).
    int64_t ng[3] = {0, 0, 0};
    for (int64_t q = 0; q < m; ++q) {
      const bool fwd = !(rs[q] < ls[q]);
      T a = fwd ? ls[q] : rs[q], b = fwd ? rs[q] : ls[q];
      int32_t ca = fwd ? lc[q] : rc[q], cb = fwd ? rc[q] : lc[q];
      acc[q] = T(0);
      if (job.left && a < x0) {  // [a, min(b, x0)] by the left callback
        ga[ng[0]] = a;
        gb[ng[0]] = b < x0 ? b : x0;
        gi[ng[0]++] = static_cast<int32_t>(q);
        a = x0;
        ca = 1;
      }
      if (job.right && b > xl) {  // [max(a, xl), b] by the right callback: gathered below
        b = xl;
        cb = static_cast<int32_t>(nx - 1);
      }
      if (b > a && !interior_cb) acc[q] = pc.integral(a, ca, b, cb);
    }
    if (const int32_t st = add_callback(job.left, job.lparams, job.j, ng[0], ga, gb, gi, tmp, acc); st < 0) return st;
    if (job.right) {
      for (int64_t q = 0; q < m; ++q) {
        const T a = std::min(ls[q], rs[q]), b = std::max(ls[q], rs[q]);
        if (!(b > xl)) continue;
        ga[ng[1]] = a > xl ? a : xl;
        gb[ng[1]] = b;
        gi[ng[1]++] = static_cast<int32_t>(q);
      }
      if (const int32_t st = add_callback(job.right, job.rparams, job.j, ng[1], ga, gb, gi, tmp, acc); st < 0) return st;
    }
    if (interior_cb) {
      for (int64_t q = 0; q < m; ++q) {
        T a = std::min(ls[q], rs[q]), b = std::max(ls[q], rs[q]);
        if (job.left && a < x0) a = x0;
        if (job.right && b > xl) b = xl;
        if (!(b > a)) continue;
        ga[ng[2]] = a;
        gb[ng[2]] = b;
        gi[ng[2]++] = static_cast<int32_t>(q);
      }
      if (const int32_t st = add_callback(job.interp, job.iparams, job.j, ng[2], ga, gb, gi, tmp, acc); st < 0)
        return st;
    }
    for (int64_t q = 0; q < m; ++q) {
      const T v = rs[q] < ls[q] ? T(-acc[q]) : acc[q];
      const int64_t k = b0 + q;
      job.r[job.by_pair ? k * job.ny + job.j : job.j * job.nlim + k] = v;
    }
  }
  return DfOk;
}

template <class T>
void integr_threader(int32_t item, int32_t, void*, void* context) {
  auto* job = static_cast<Job<T>*>(context);
  const int64_t k0 = static_cast<int64_t>(item) * kItem;
  const int32_t st = run_range(*job, k0, std::min(k0 + kItem, job->nlim));
  if (st < 0) {
    int32_t expected = 0;
    job->status.compare_exchange_strong(expected, st);
  }
}

template <class T>
int32_t integrate(DfTask1D* t, int64_t nlim, const T* llim, int64_t llimhint, const T* rlim, int64_t rlimhint,
                  const T* ldatahint, const T* rdatahint, T* r, int64_t rhint, Callback<T> left, const void* lparams,
                  Callback<T> right, const void* rparams, Callback<T> interp, const void* iparams,
                  const void* search_cb, const void* sparams, const ThreadingServices* ts) {
  if (!t) return DfErrNullTask;
  if ((t->isDouble != 0) != (sizeof(T) == sizeof(double))) return DfErrType;
  Kind kind;
  if (const int32_t st = select_kind(t->order, t->type, left && right && interp, &kind); st != DfOk) return st;
  if (kind == kLookUp) return DfErrType;
  int32_t lmethod, rmethod;
  if (const int32_t st = choose_search_method(t, llimhint, ldatahint, search_cb != nullptr, &lmethod); st != DfOk)
    return st;
  if (const int32_t st = choose_search_method(t, rlimhint, rdatahint, search_cb != nullptr, &rmethod); st != DfOk)
    return st;
  if (rhint != QOR_DF_HINT_NONE && rhint != QOR_DF_STORAGE_ROWS && rhint != QOR_DF_STORAGE_COLS &&
      rhint != QOR_DF_STORAGE_PER_FUNCTION)
    return DfErrIntegralHint;
  if (nlim <= 0) return DfOk;
  if (!llim || !rlim || !r || !t->x) return DfErrNullOut;
  const int64_t ny = t->ny > 0 ? t->ny : 1;
  {  // the limit and result arrays must be able to exist
    int64_t values;
    size_t bytes;
    if (!serv::checked_mul(nlim, ny, &values) || !serv::checked_mul(values, sizeof(T), &bytes)) return DfErrMemory;
  }
  const bool steps = kind == kStepLeft || kind == kStepRight;
  const bool callbacks_only = kind == kArbitrary && t->order == QOR_DF_ORDER_NONE;
  if (!callbacks_only)
    for (int64_t j = 0; j < ny; ++j)
      if (steps ? !y_of<T>(t, j).fy : !coeff_of<T>(t, j)) return steps ? DfErrNullY : DfErrNullCoeff;

  Job<T> job;
  job.t = t;
  job.kind = kind;
  job.nlim = nlim;
  job.llim = llim;
  job.rlim = rlim;
  job.luniform = llimhint == QOR_DF_SITES_UNIFORM;
  job.runiform = rlimhint == QOR_DF_SITES_UNIFORM;
  job.lplan = make_search_plan(t, lmethod, ldatahint, search_cb, sparams);
  job.rplan = make_search_plan(t, rmethod, rdatahint, search_cb, sparams);
  job.r = r;
  job.by_pair = rhint == QOR_DF_STORAGE_COLS;
  job.ny = ny;
  job.left = left;
  job.right = right;
  job.interp = interp;
  job.lparams = lparams;
  job.rparams = rparams;
  job.iparams = iparams;
  Pieces<T>& pc = job.pieces;
  pc.kind = kind;
  pc.p = partition_of<T>(t);
  pc.g = make_subgrid(pc.p, static_cast<const T*>(t->ic), t->icType);
  pc.order = steps ? 1 : (callbacks_only ? 1 : t->order);
  const int64_t nx = t->nx;
  pc.npieces = kind == kSubbotin || steps ? nx : nx - 1;

  // Running sums of the pieces' integrals, one function at a time.
  size_t bytes;
  if (!serv::checked_mul(nx + 1, sizeof(T), &bytes)) return DfErrMemory;
  T* sum = static_cast<T*>(qor_serv_allocate(bytes, 128));
  if (!sum) return DfErrMemory;
  pc.sum = sum;
  const int32_t threads = threads_available(ts);
  const int64_t items = (nlim + kItem - 1) / kItem;
  const int32_t nt = threads > 1 && nlim >= kParallel && items <= INT32_MAX
                         ? static_cast<int32_t>(std::min<int64_t>(items, threads)) : 1;
  int32_t status = DfOk;
  for (int64_t j = 0; j < ny && status == DfOk; ++j) {
    job.j = j;
    if (callbacks_only) {
      pc.c = nullptr;
    } else if (steps) {
      const YView<T> y = y_of<T>(t, j);
      pc.c = y.fy;
      pc.inc = y.inc;
    } else {
      pc.c = coeff_of<T>(t, j);
      pc.inc = 1;
    }
    sum[0] = T(0);
    if (!callbacks_only)
      for (int64_t q = 0; q + 1 < pc.npieces; ++q) sum[q + 1] = T(sum[q] + pc.whole(q));
    if (nt > 1) {
      ts->parallel_for(static_cast<int32_t>(items), nt, &job, integr_threader<T>);
      status = job.status.load();
    } else {
      status = run_range(job, 0, nlim);
    }
  }
  qor_serv_deallocate(sum);
  return status < 0 ? status : DfOk;
}

}  // namespace
}  // namespace qor::df

using namespace qor::df;

#define QOR_DF_INTEGRATE_ENTRY(p, T, ICB, SCB)                                                               \
  QOR_API int32_t qor_df_kernel_##p##DFIntegrate1D(DfTask1D* task, int64_t, int64_t nlim, const T* llim,         \
      int64_t llimhint, const T* rlim, int64_t rlimhint, const T* ldatahint, const T* rdatahint, T* r,          \
      int64_t rhint, ICB left, const void* lparams, ICB right, const void* rparams, ICB interp,                 \
      const void* iparams, SCB search, const void* sparams, const ThreadingServices* ts) {                      \
    return integrate<T>(task, nlim, llim, llimhint, rlim, rlimhint, ldatahint, rdatahint, r, rhint, left, lparams, \
                        right, rparams, interp, iparams, reinterpret_cast<const void*>(search), sparams, ts);      \
  }

extern "C" {
QOR_DF_INTEGRATE_ENTRY(d, double, DfdIntegrCallBack, DfdSearchCallBack)
QOR_DF_INTEGRATE_ENTRY(s, float, DfsIntegrCallBack, DfsSearchCallBack)
}  // extern "C"

#undef QOR_DF_INTEGRATE_ENTRY
