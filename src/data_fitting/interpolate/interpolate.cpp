// Interpolation: the evaluators of every spline kind (piecewise polynomials of order 2, 3, 4 and
// any higher order, the Subbotin quadratic on its sub-grid, the two step kinds and the look-up
// interpolant), and the dispatcher that checks a request, finds the cells, evaluates blocks of
// 64 sites per function (through the caller's ThreadingServices for large requests), serves
// sites outside the partition with the extrapolation callbacks and arranges the results in the
// caller's layout.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "data_fitting/eval_kind.h"
#include "data_fitting/search/search.h"
#include "data_fitting/subgrid.h"
#include "qor/service.h"
#include "service/size_math.h"

namespace qor::df {
namespace {

constexpr int64_t kBlock = 64;
constexpr int64_t kChunk = 4096;  // sites per parallel work item
constexpr size_t kWorkArea = 18256;

template <class T> struct Types;
template <> struct Types<double> {
  using Part = DfdEvalPartition;
  using Callback = DfdInterpCallBack;
};
template <> struct Types<float> {
  using Part = DfsEvalPartition;
  using Callback = DfsInterpCallBack;
};

template <class T>
using Evaluator = int32_t (*)(const typename Types<T>::Part*, int64_t, const T*, const int32_t*, const T*, int64_t,
                              int64_t, int64_t, const int32_t*, T*);

template <class T, class P>
Partition<T> partition_from(const P* e) {
  Partition<T> p;
  p.x = e->x;
  p.nx = e->nx;
  p.uniform = (e->flags & QOR_DF_HINT_UNIFORM) != 0;
  p.h = e->h;
  return p;
}

// k-th derivative at t of the polynomial with `order` coefficients c (Horner's rule).
template <class T>
inline T derivative(const T* c, int64_t order, int32_t k, T t) {
  if (k >= order) return T(0);
  auto fall = [k](int64_t m) {
    T f = T(1);
    for (int32_t i = 0; i < k; ++i) f = T(f * T(m - i));
    return f;
  };
  T acc = k == 0 ? c[order - 1] : T(c[order - 1] * fall(order - 1));
  for (int64_t m = order - 2; m >= k; --m) acc = T(T(acc * t) + (k == 0 ? c[m] : T(c[m] * fall(m))));
  return acc;
}

// Piecewise polynomials: the piece of a site in cell c is c - 1 limited to [0, nx-2] (the
// Subbotin spline: sub-grid cell c - 1 left of t(c), else c, limited to [0, nx-1]).
template <class T, int Order, bool Subbotin>
int32_t pp_eval(const typename Types<T>::Part* e, int64_t n, const T* site, const int32_t* cell, const T* data,
                int64_t, int64_t, int64_t nder, const int32_t* ders, T* out) {
  const Partition<T> p = partition_from<T>(e);
  const int64_t nx = p.nx;
  const int64_t order = Order ? Order : e->order;
  Subgrid<T> g{};
  if (Subbotin) g = make_subgrid(p, e->ic, e->icType);
  const int64_t last = Subbotin ? nx - 1 : nx - 2;
  for (int64_t k = 0; k < n; ++k) {
    const T s = site[k];
    const int64_t c = cell[k];
    int64_t piece;
    if (Subbotin)
      piece = c < 1 ? 0 : (c >= nx ? nx - 1 : (s < g(c) ? c - 1 : c));
    else
      piece = c - 1;
    piece = piece < 0 ? 0 : (piece > last ? last : piece);
    const T t = T(s - p[piece]);
    const T* cp = data + piece * order;
    T* o = out + k * nder;
    if (Order == 2) {
      for (int64_t d = 0; d < nder; ++d)
        o[d] = ders[d] == 0 ? T(cp[0] + T(t * cp[1])) : (ders[d] == 1 ? cp[1] : T(0));
    } else {
      for (int64_t d = 0; d < nder; ++d) o[d] = derivative(cp, order, ders[d], t);
    }
  }
  return DfOk;
}

// Step kinds: y at breakpoint max(c - 1, 0); the right variant takes y[nx-1] at s = x[nx-1].
template <class T, bool Right>
int32_t step_eval(const typename Types<T>::Part* e, int64_t n, const T* site, const int32_t* cell, const T* fy,
                  int64_t inc, int64_t, int64_t nder, const int32_t* ders, T* out) {
  const Partition<T> p = partition_from<T>(e);
  const int64_t nx = p.nx;
  const T xl = p.last();
  for (int64_t k = 0; k < n; ++k) {
    int64_t c = cell[k];
    c = c < 0 ? 0 : (c > nx ? nx : c);
    int64_t i = c - 1 < 0 ? 0 : c - 1;
    if (Right && site[k] == xl) i = nx - 1;
    const T v = fy[i * inc];
    for (int64_t d = 0; d < nder; ++d) out[k * nder + d] = ders[d] == 0 ? v : T(0);
  }
  return DfOk;
}

// Look-up: every site must be a breakpoint (within 2^-40 on a uniform partition).
template <class T>
int32_t lookup_eval(const typename Types<T>::Part* e, int64_t n, const T* site, const int32_t* cell, const T* fy,
                    int64_t inc, int64_t, int64_t nder, const int32_t* ders, T* out) {
  const Partition<T> p = partition_from<T>(e);
  const int64_t nx = p.nx;
  const T tol = T(0x1p-40);
  for (int64_t k = 0; k < n; ++k) {
    const T s = site[k];
    const int64_t c = cell[k];
    if (c < 1 || c > nx - 1) return DfErrLookUpSite;
    int64_t i = -1;
    if (p.uniform) {
      const T x0 = p.x[0];
      if (std::fabs(T(T(s - x0) - T(T(c - 1) * p.h))) <= tol) i = c - 1;
      else if (std::fabs(T(T(s - x0) - T(T(c) * p.h))) <= tol) i = c;
    } else {
      if (s == p.x[c - 1]) i = c - 1;
      else if (s == p.x[c]) i = c;
    }
    if (i < 0) return DfErrLookUpSite;
    for (int64_t d = 0; d < nder; ++d) out[k * nder + d] = ders[d] == 0 ? fy[i * inc] : T(0);
  }
  return DfOk;
}

// Evaluator with a callback: the callback serves every site given, the evaluator when null.
template <class T>
int32_t with_callback(Evaluator<T> eval, const typename Types<T>::Part* e, int64_t n, const T* site,
                      const int32_t* cell, const T* data, int64_t inc, int64_t j, int64_t nder, const int32_t* ders,
                      T* out, typename Types<T>::Callback cb, const void* params) {
  if (!cb) return eval(e, n, site, cell, data, inc, j, nder, ders, out);
  int64_t cells[kBlock];
  for (int64_t k0 = 0; k0 < n; k0 += kBlock) {
    int64_t m = std::min(kBlock, n - k0);
    for (int64_t k = 0; k < m; ++k) cells[k] = cell[k0 + k];
    const int32_t st = cb(&m, j, cells, site + k0, out + k0 * nder, params, 0);
    if (st < 0) return st;
  }
  return DfOk;
}

template <class T>
Evaluator<T> evaluator_of(Kind kind) {
  switch (kind) {
    case kLinear: return pp_eval<T, 2, false>;
    case kQuadratic: return pp_eval<T, 3, false>;
    case kCubic: return pp_eval<T, 4, false>;
    case kSubbotin: return pp_eval<T, 3, true>;
    case kArbitrary: return pp_eval<T, 0, false>;
    case kStepLeft: return step_eval<T, false>;
    case kStepRight: return step_eval<T, true>;
    case kLookUp: return lookup_eval<T>;
  }
  return nullptr;
}

template <class T>
struct Job {
  using CB = typename Types<T>::Callback;
  const DfTask1D* t;
  Kind kind;
  Evaluator<T> eval;
  typename Types<T>::Part part;
  SearchPlan<T> plan;
  bool search;
  int64_t nsite;
  const T* site;
  bool uniform_sites;
  int64_t ny;
  int64_t nder;
  const int32_t* ders;
  T* r;
  int64_t rhint;
  void* cell;
  bool write_cells;
  bool cell64;
  CB left, right, interp;
  const void *lparams, *rparams, *iparams;
  bool any_cb;
  unsigned char* scratch;
  size_t scratch_bytes;
  std::atomic<int32_t> status{0};
};

template <class T>
struct Scratch {
  T* sites;
  int32_t* cells;
  T* tmp;
  T* gsites;
  int32_t* gcells;
  int32_t* gidx;
  T* gout;
};

// Bytes of one work area for nder orders, rounded up to 128; false when that does not fit size_t.
template <class T>
bool scratch_bytes(int64_t nder, size_t* bytes) {
  const int64_t n = nder < 1 ? 1 : nder;
  size_t b;
  return serv::checked_mul(n, 2 * kBlock * sizeof(T), &b) &&
         serv::checked_add(b, kBlock * (2 * sizeof(T) + 3 * sizeof(int32_t)) + 64 + 127, &b) &&
         ((*bytes = b / 128 * 128), true);
}

template <class T>
Scratch<T> carve(unsigned char* base, int64_t nder) {
  const size_t n = static_cast<size_t>(nder < 1 ? 1 : nder);
  Scratch<T> s;
  s.sites = reinterpret_cast<T*>(base);
  s.gsites = s.sites + kBlock;
  s.tmp = s.gsites + kBlock;
  s.gout = s.tmp + kBlock * n;
  s.cells = reinterpret_cast<int32_t*>(s.gout + kBlock * n);
  s.gcells = s.cells + kBlock;
  s.gidx = s.gcells + kBlock;
  return s;
}

template <class T>
const T* function_data(const Job<T>& job, int64_t j, int64_t* inc) {
  if (job.kind == kStepLeft || job.kind == kStepRight || job.kind == kLookUp) {
    const YView<T> y = y_of<T>(job.t, j);
    *inc = y.inc;
    return y.fy;
  }
  *inc = 1;
  return coeff_of<T>(job.t, j);
}

// One function on one block: evaluator, or callbacks for the sites they serve.
template <class T>
int32_t eval_block(const Job<T>& job, Scratch<T>& s, int64_t m, const T* sites, const int32_t* cells, int64_t j,
                   T* out) {
  int64_t inc;
  const T* data = function_data(job, j, &inc);
  const int64_t nder = job.nder;
  if (!job.any_cb) return job.eval(&job.part, m, sites, cells, data, inc, j, nder, job.ders, out);
  const Partition<T> p = partition_from<T>(&job.part);
  const T x0 = p.first(), xl = p.last();
  // group 0: evaluator, 1: left callback, 2: right callback, 3: interpolation callback
  for (int group = 0; group < 4; ++group) {
    int64_t g = 0;
    for (int64_t k = 0; k < m; ++k) {
      const T v = sites[k];
      int which = 0;
      if (job.left && v < x0) which = 1;
      else if (job.right && v > xl) which = 2;
      else if (job.kind == kArbitrary && job.interp) which = 3;
      if (which != group) continue;
      s.gsites[g] = v;
      s.gcells[g] = cells[k];
      s.gidx[g] = static_cast<int32_t>(k);
      ++g;
    }
    if (g == 0) continue;
    typename Types<T>::Callback cb = group == 1 ? job.left : group == 2 ? job.right : group == 3 ? job.interp : nullptr;
    const void* params = group == 1 ? job.lparams : group == 2 ? job.rparams : job.iparams;
    const int32_t st = with_callback<T>(job.eval, &job.part, g, s.gsites, s.gcells, data, inc, j, nder, job.ders,
                                        s.gout, cb, params);
    if (st < 0) return st;
    for (int64_t q = 0; q < g; ++q)
      for (int64_t d = 0; d < nder; ++d) out[s.gidx[q] * nder + d] = s.gout[q * nder + d];
  }
  return DfOk;
}

template <class T>
void scatter(const Job<T>& job, const T* tmp, int64_t b0, int64_t m, int64_t j) {
  const int64_t nder = job.nder, nsite = job.nsite, ny = job.ny;
  T* r = job.r;
  switch (job.rhint) {
    case QOR_DF_RESULT_FUNC_SITE_ORDER:
      for (int64_t k = 0; k < m; ++k)
        for (int64_t d = 0; d < nder; ++d) r[(j * nsite + b0 + k) * nder + d] = tmp[k * nder + d];
      break;
    case QOR_DF_RESULT_FUNC_ORDER_SITE:
      for (int64_t d = 0; d < nder; ++d)
        for (int64_t k = 0; k < m; ++k) r[(j * nder + d) * nsite + b0 + k] = tmp[k * nder + d];
      break;
    case QOR_DF_RESULT_SITE_FUNC_ORDER:
      for (int64_t k = 0; k < m; ++k)
        for (int64_t d = 0; d < nder; ++d) r[((b0 + k) * ny + j) * nder + d] = tmp[k * nder + d];
      break;
    default:  // QOR_DF_RESULT_SITE_ORDER_FUNC
      for (int64_t k = 0; k < m; ++k)
        for (int64_t d = 0; d < nder; ++d) r[((b0 + k) * nder + d) * ny + j] = tmp[k * nder + d];
      break;
  }
}

// Sites [begin, end) in blocks of 64.
template <class T>
int32_t run_range(Job<T>& job, unsigned char* area, int64_t begin, int64_t end) {
  Scratch<T> s = carve<T>(area, job.nder);
  const int64_t nx = job.t->nx;
  T step = T(0);
  if (job.uniform_sites && job.nsite > 1) step = T(T(job.site[1] - job.site[0]) / T(job.nsite - 1));
  for (int64_t b0 = begin; b0 < end; b0 += kBlock) {
    if (job.status.load(std::memory_order_relaxed) < 0) return DfOk;
    const int64_t m = std::min(kBlock, end - b0);
    const T* sites = job.site + b0;
    if (job.uniform_sites) {
      for (int64_t k = 0; k < m; ++k) {
        const int64_t q = b0 + k;
        s.sites[k] = (q == job.nsite - 1 && job.nsite > 1) ? job.site[1] : T(job.site[0] + T(q) * step);
      }
      sites = s.sites;
    }
    if (job.search) {
      const int32_t st = search_block(job.plan, m, sites, s.cells);
      if (st < 0) return st;
    } else {
      for (int64_t k = 0; k < m; ++k) {
        int64_t c = job.cell64 ? static_cast<const int64_t*>(job.cell)[b0 + k] : static_cast<const int32_t*>(job.cell)[b0 + k];
        s.cells[k] = static_cast<int32_t>(c < 0 ? 0 : (c > nx ? nx : c));
      }
    }
    if (job.write_cells) {
      if (job.cell64)
        for (int64_t k = 0; k < m; ++k) static_cast<int64_t*>(job.cell)[b0 + k] = s.cells[k];
      else
        std::memcpy(static_cast<int32_t*>(job.cell) + b0, s.cells, static_cast<size_t>(m) * sizeof(int32_t));
    }
    if (job.nder == 0) continue;
    for (int64_t j = 0; j < job.ny; ++j) {
      const bool direct = job.rhint == QOR_DF_RESULT_FUNC_SITE_ORDER && !job.any_cb;
      T* out = direct ? job.r + (j * job.nsite + b0) * job.nder : s.tmp;
      const int32_t st = eval_block(job, s, m, sites, s.cells, j, out);
      if (st < 0) return st;
      if (!direct) scatter(job, s.tmp, b0, m, j);
    }
  }
  return DfOk;
}

template <class T>
void interp_threader(int32_t item, int32_t thread, void*, void* context) {
  auto* job = static_cast<Job<T>*>(context);
  const int64_t begin = static_cast<int64_t>(item) * kChunk;
  const int64_t end = std::min(begin + kChunk, job->nsite);
  const int32_t st = run_range(*job, job->scratch + static_cast<size_t>(thread) * job->scratch_bytes, begin, end);
  if (st < 0) {
    int32_t expected = 0;
    job->status.compare_exchange_strong(expected, st);
  }
}

template <class T>
int32_t interpolate(DfTask1D* t, int64_t type, int64_t nsite, const T* site, int64_t sitehint, int64_t ndorder,
                    const void* dorder, const T* datahint, T* r, int64_t rhint, void* cell,
                    typename Types<T>::Callback left, const void* lparams, typename Types<T>::Callback right,
                    const void* rparams, typename Types<T>::Callback interp, const void* iparams,
                    const void* searchCallback, const void* searchParams, const ThreadingServices* ts) {
  if (!t) return DfErrNullTask;
  if ((t->isDouble != 0) != (sizeof(T) == sizeof(double))) return DfErrType;
  Kind kind;
  if (const int32_t st = select_kind(t->order, t->type, left && right && interp, &kind); st != DfOk) return st;
  const bool given_cells = (type & QOR_DF_REQUEST_GIVEN_CELLS) != 0;
  int32_t method = kSearchHybrid;
  if (!given_cells) {
    if (const int32_t st = choose_search_method(t, sitehint, datahint, searchCallback != nullptr, &method); st != DfOk)
      return st;
  }
  if (rhint == QOR_DF_HINT_NONE || rhint == QOR_DF_STORAGE_PER_FUNCTION) rhint = QOR_DF_RESULT_FUNC_SITE_ORDER;
  if (rhint != QOR_DF_RESULT_FUNC_SITE_ORDER && rhint != QOR_DF_RESULT_FUNC_ORDER_SITE &&
      rhint != QOR_DF_RESULT_SITE_FUNC_ORDER && rhint != QOR_DF_RESULT_SITE_ORDER_FUNC)
    return DfErrResultHint;
  // Requested orders.
  int32_t ders_stack[64];
  int32_t* ders = ders_stack;
  int64_t nder = 0;
  const bool has_dorder = dorder && ndorder > 0;
  if (!has_dorder) {
    ders[nder++] = 0;
  } else {
    int64_t cnt = 0;
    for (int64_t k = 0; k < ndorder; ++k) {
      const int64_t v = t->intWidth ? static_cast<const int64_t*>(dorder)[k] : static_cast<const int32_t*>(dorder)[k];
      cnt += v != 0;
    }
    if (cnt > 64) {
      size_t bytes;
      if (!serv::checked_mul(cnt, sizeof(int32_t), &bytes)) return DfErrMemory;
      ders = static_cast<int32_t*>(qor_serv_allocate(bytes, 128));
      if (!ders) return DfErrMemory;
    }
    for (int64_t k = 0; k < ndorder; ++k) {
      const int64_t v = t->intWidth ? static_cast<const int64_t*>(dorder)[k] : static_cast<const int32_t*>(dorder)[k];
      if (v != 0) ders[nder++] = static_cast<int32_t>(k < INT32_MAX ? k : INT32_MAX);
    }
  }
  struct Release {
    int32_t* p;
    int32_t* stack;
    ~Release() { if (p != stack) qor_serv_deallocate(p); }
  } release{ders, ders_stack};
  if (kind == kLookUp) {
    if (has_dorder && ndorder != 1) return DfErrLookUpOrders;
    if (nder == 0 || ders[0] != 0) return DfErrLookUpValue;
  }
  if (nsite <= 0) return DfOk;
  if (!site || (nder > 0 && !r) || ((type & (QOR_DF_REQUEST_CELLS | QOR_DF_REQUEST_GIVEN_CELLS)) && !cell) || !t->x)
    return DfErrNullOut;
  const int64_t ny = t->ny > 0 ? t->ny : 1;
  // The sites, the cells and the ny * nsite * nder results must be arrays that can exist.
  {
    int64_t values;
    size_t bytes;
    const size_t cell_bytes = t->intWidth ? sizeof(int64_t) : sizeof(int32_t);
    if (!serv::checked_mul(nsite, sizeof(T) > cell_bytes ? sizeof(T) : cell_bytes, &bytes) ||
        (nder > 0 && !(serv::checked_mul(ny, nsite, &values) && serv::checked_mul(values, nder, &values) &&
                       serv::checked_mul(values, sizeof(T), &bytes))))
      return DfErrMemory;
  }

  Job<T> job;
  job.t = t;
  job.kind = kind;
  job.eval = evaluator_of<T>(kind);
  // Data of every function must be there (the arbitrary kind of order 0 lives on callbacks).
  if (nder > 0 && !(kind == kArbitrary && t->order == 0)) {
    for (int64_t j = 0; j < ny; ++j) {
      int64_t inc;
      if (!function_data(job, j, &inc)) return (kind >= kStepLeft) ? DfErrNullY : DfErrNullCoeff;
    }
  }
  const Partition<T> p = partition_of<T>(t);
  job.part.nx = t->nx;
  job.part.x = p.x;
  job.part.flags = p.uniform ? QOR_DF_HINT_UNIFORM : 0;
  job.part.h = p.h;
  job.part.order = t->order;
  job.part.icType = t->icType;
  job.part.ic = static_cast<const T*>(t->ic);
  job.search = !given_cells;
  if (job.search) job.plan = make_search_plan(t, method, datahint, searchCallback, searchParams);
  job.nsite = nsite;
  job.site = site;
  job.uniform_sites = sitehint == QOR_DF_SITES_UNIFORM;
  job.ny = ny;
  job.nder = nder;
  job.ders = ders;
  job.r = r;
  job.rhint = rhint;
  job.cell = cell;
  job.write_cells = (type & QOR_DF_REQUEST_CELLS) && !given_cells;
  job.cell64 = t->intWidth != 0;
  job.left = left;
  job.right = right;
  job.interp = interp;
  job.lparams = lparams;
  job.rparams = rparams;
  job.iparams = iparams;
  job.any_cb = left || right || (kind == kArbitrary && interp);
  if (!scratch_bytes<T>(nder, &job.scratch_bytes)) return DfErrMemory;

  // Small requests on the calling thread with a stack work area.
  alignas(16) unsigned char stack_area[kWorkArea];
  if (nsite < 32 && !job.write_cells && !t->intWidth && job.scratch_bytes <= kWorkArea)
    return run_range(job, stack_area, 0, nsite);

  const int32_t threads = threads_available(ts);
  const int64_t items = (nsite + kChunk - 1) / kChunk;
  const int32_t nt = (threads > 1 && nsite >= 2 * kChunk && items <= INT32_MAX)
                         ? static_cast<int32_t>(std::min<int64_t>(items, threads)) : 1;
  const size_t area = std::max(job.scratch_bytes, kWorkArea);
  job.scratch_bytes = area;
  size_t total;
  if (!serv::checked_mul(area, nt, &total)) return DfErrMemory;
  job.scratch = static_cast<unsigned char*>(qor_serv_allocate(total, 128));
  if (!job.scratch) return DfErrMemory;
  int32_t st;
  if (nt > 1) {
    ts->parallel_for(static_cast<int32_t>(items), nt, &job, interp_threader<T>);
    st = job.status.load();
  } else {
    st = run_range(job, job.scratch, 0, nsite);
  }
  qor_serv_deallocate(job.scratch);
  return st < 0 ? st : DfOk;
}

}  // namespace
}  // namespace qor::df

using namespace qor::df;

extern "C" {

QOR_API int32_t qor_df_kernel_dDFInterpolate1D(DfTask1D* task, int64_t type, int64_t, int64_t nsite,
    const double* site, int64_t sitehint, int64_t ndorder, const void* dorder, const double* datahint, double* r,
    int64_t rhint, void* cell, DfdInterpCallBack left, const void* lparams, DfdInterpCallBack right,
    const void* rparams, DfdInterpCallBack interp, const void* iparams, DfdSearchCallBack search,
    const void* sparams, const ThreadingServices* ts) {
  return interpolate<double>(task, type, nsite, site, sitehint, ndorder, dorder, datahint, r, rhint, cell, left,
                             lparams, right, rparams, interp, iparams, reinterpret_cast<const void*>(search), sparams,
                             ts);
}
QOR_API int32_t qor_df_kernel_sDFInterpolate1D(DfTask1D* task, int64_t type, int64_t, int64_t nsite,
    const float* site, int64_t sitehint, int64_t ndorder, const void* dorder, const float* datahint, float* r,
    int64_t rhint, void* cell, DfsInterpCallBack left, const void* lparams, DfsInterpCallBack right,
    const void* rparams, DfsInterpCallBack interp, const void* iparams, DfsSearchCallBack search,
    const void* sparams, const ThreadingServices* ts) {
  return interpolate<float>(task, type, nsite, site, sitehint, ndorder, dorder, datahint, r, rhint, cell, left,
                            lparams, right, rparams, interp, iparams, reinterpret_cast<const void*>(search), sparams,
                            ts);
}

#define QOR_DF_EVAL_DEFS(p, T, kind, fn)                                                                         \
  QOR_API int32_t qor_df_kernel_##p##_##kind##Eval32(const Types<T>::Part* part, int64_t n, const T* site,       \
      const int32_t* cell, const T* data, int64_t inc, int64_t function, int64_t nder, const int32_t* ders,      \
      T* out) {                                                                                                  \
    if (!part || n <= 0) return DfOk;                                                                            \
    return fn(part, n, site, cell, data, inc, function, nder, ders, out);                                        \
  }                                                                                                              \
  QOR_API int32_t qor_df_kernel_##p##_##kind##Eval32CB(const Types<T>::Part* part, int64_t n, const T* site,     \
      const int32_t* cell, const T* data, int64_t inc, int64_t function, int64_t nder, const int32_t* ders,      \
      T* out, Types<T>::Callback callback, const void* params) {                                                 \
    if (!part || n <= 0) return DfOk;                                                                            \
    return with_callback<T>(fn, part, n, site, cell, data, inc, function, nder, ders, out, callback, params);    \
  }
#define QOR_DF_EVAL_ALL(p, T)                                      \
  QOR_DF_EVAL_DEFS(p, T, LinearSpline, (pp_eval<T, 2, false>))     \
  QOR_DF_EVAL_DEFS(p, T, QuadraticSpline, (pp_eval<T, 3, false>))  \
  QOR_DF_EVAL_DEFS(p, T, CubicSpline, (pp_eval<T, 4, false>))      \
  QOR_DF_EVAL_DEFS(p, T, QuadSubbSpline, (pp_eval<T, 3, true>))    \
  QOR_DF_EVAL_DEFS(p, T, ArbitrSpline, (pp_eval<T, 0, false>))     \
  QOR_DF_EVAL_DEFS(p, T, StepLeftSpline, (step_eval<T, false>))    \
  QOR_DF_EVAL_DEFS(p, T, StepRightSpline, (step_eval<T, true>))    \
  QOR_DF_EVAL_DEFS(p, T, LookUpSpline, lookup_eval<T>)
QOR_DF_EVAL_ALL(d, double)
QOR_DF_EVAL_ALL(s, float)

}  // extern "C"
