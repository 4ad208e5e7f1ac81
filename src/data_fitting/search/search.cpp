// Cell search: seven methods (uniform, quasi-uniform, sorted sites, peak, hybrid, and the user
// callback on a non-uniform or a uniform partition), their per-method functions, the drivers
// that split large searches into blocks of 128 sites through the caller's ThreadingServices,
// and the search entry point.
//
// Convention: cell 0 left of x[0]; i for x[i-1] <= s < x[i]; nx-1 for s = x[nx-1]; nx right of
// x[nx-1]. NaN sites get cell 0 in the uniform, quasi-uniform and hybrid methods.
#include "data_fitting/search/search.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "qor/service.h"
#include "service/size_math.h"

namespace qor::df {
namespace {

constexpr int64_t kSiteBlock = 128;

// Integer guess trunc(v) + 1 limited to [1, nx]; v >= 0 and not NaN.
template <class T>
inline int64_t guess(T v, int64_t nx) {
  if (!(v < T(nx))) return nx;
  if (!(v >= T(0))) return 1;
  return static_cast<int64_t>(v) + 1;
}

// Binary search: the first index in [lo, hi) whose breakpoint exceeds s, or hi; callers know
// that x[lo-1] <= s (or lo = 0) and x[hi] > s (or hi = nx).
template <class T>
inline int64_t bisect(const T* x, int64_t lo, int64_t hi, T s) {
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (x[mid] > s) hi = mid; else lo = mid + 1;
  }
  return lo;
}

// Walks up from c while x[c] <= s (given c = 0 or x[c-1] <= s): a few steps one by one, then
// steps that double, then a bisection of the last stride.
template <class T>
inline int64_t walk_up(const T* x, int64_t nx, T s, int64_t c) {
  for (int k = 0; k < 8; ++k, ++c)
    if (c >= nx || x[c] > s) return c;
  int64_t lo = c, step = 8;
  for (;;) {
    const int64_t p = lo + step;
    if (p >= nx) return bisect(x, lo, nx, s);
    if (x[p] > s) return bisect(x, lo, p, s);
    lo = p + 1;
    step *= 2;
  }
}

// Walks down from c while x[c-1] > s, the same way (a NaN site does not move).
template <class T>
inline int64_t walk_down(const T* x, T s, int64_t c) {
  for (int k = 0; k < 8; ++k, --c)
    if (c == 0 || !(x[c - 1] > s)) return c;
  int64_t hi = c, step = 8;  // x[hi] > s
  for (;;) {
    const int64_t p = hi - step;
    if (p <= 0) return bisect(x, 0, hi, s);
    if (!(x[p] > s)) return bisect(x, p + 1, hi, s);
    hi = p;
    step *= 2;
  }
}

// From a starting cell to the cell of s (the quasi-uniform correction).
template <class T>
inline int64_t correct_from(const T* x, int64_t nx, T s, int64_t c) {
  if (c >= nx) return walk_down(x, s, nx);
  if (c < 0) c = 0;
  if (s >= x[c]) return walk_up(x, nx, s, c);
  if (c > 0 && x[c - 1] > s) return walk_down(x, s, c);
  return c;
}

// ---- per-site rules ----------------------------------------------------------------------------

template <class T, class C>
void uniform_sites(int64_t nx, const T* x, int64_t n, const T* site, T scale, C* cell) {
  const T x0 = x[0], x1 = x[1];
  const T h = T(T(x1 - x0) / T(nx - 1));
  for (int64_t k = 0; k < n; ++k) {
    const T s = site[k];
    int64_t c;
    if (s == x1) {
      c = nx - 1;
    } else if (!(s >= x0)) {
      c = 0;
    } else {
      c = guess(T(T(s - x0) * scale), nx);
      // Agree exactly with the breakpoints x0 + i h whatever the rounding of the guess.
      while (c > 1 && s < uniform_breakpoint(x, nx, h, c - 1)) --c;
      while (c < nx && s >= uniform_breakpoint(x, nx, h, c)) ++c;
    }
    cell[k] = static_cast<C>(c);
  }
}

template <class T, class C>
void quasi_uniform_sites(int64_t nx, const T* x, int64_t n, const T* site, T scale, C* cell) {
  const T x0 = x[0], xl = x[nx - 1];
  for (int64_t k = 0; k < n; ++k) {
    const T s = site[k];
    int64_t c;
    if (s == xl) c = nx - 1;
    else if (!(s >= x0)) c = 0;
    else c = correct_from(x, nx, s, guess(T(T(s - x0) * scale), nx));
    cell[k] = static_cast<C>(c);
  }
}

template <class T, class C>
void sorted_sites(int64_t nx, const T* x, int64_t n, const T* site, int64_t* running, C* cell) {
  int64_t c = running ? *running : 0;
  if (c < 0) c = 0;
  if (c > nx) c = nx;
  const T xl = x[nx - 1];
  for (int64_t k = 0; k < n; ++k) {
    const T s = site[k];
    if (s == xl) {
      cell[k] = static_cast<C>(nx - 1);
      continue;
    }
    if (k == 0 && c < nx && x[c] <= s) c = bisect(x, c, nx, s);
    c = walk_up(x, nx, s, c);
    c = walk_down(x, s, c);  // sites that are not sorted after all
    cell[k] = static_cast<C>(c);
  }
  if (running) *running = c;
}

template <class T, class C>
void peak_sites(int64_t nx, const T* x, int64_t n, const T* site, T peak, C* cell) {
  int64_t p = peak >= T(0) && peak <= T(nx) ? static_cast<int64_t>(peak) : 0;
  const T xl = x[nx - 1];
  for (int64_t k = 0; k < n; ++k) {
    const T s = site[k];
    int64_t c;
    if (s == xl) {
      c = nx - 1;
    } else if (p >= nx) {
      if (s > xl) {
        c = nx;
      } else {
        c = walk_down(x, s, nx - 1);
      }
    } else if (s >= x[p]) {
      c = walk_up(x, nx, s, p);
    } else if (p > 0 && x[p - 1] > s) {
      c = walk_down(x, s, p);
    } else {
      c = p;
    }
    cell[k] = static_cast<C>(c);
  }
}

// Hybrid: the bucket of a site gives breakpoints lo, hi around it; the cell is found between
// them. Sites are handled sixteen at a time with a branch-free bisection run in lock-step, so
// that their memory accesses overlap; the result is checked against its two breakpoints and a
// site whose pair does not bracket it (a table built for other breakpoints) is bisected over
// the whole partition.
template <class T, class C>
void hybrid_sites(int64_t nx, const T* x, int64_t n, const T* site, T bscale, const uint32_t* table, C* cell) {
  const T x0 = x[0], xl = x[nx - 1];
  constexpr int kGroup = 16;
  for (int64_t k0 = 0; k0 < n; k0 += kGroup) {
    const int g = static_cast<int>(std::min<int64_t>(kGroup, n - k0));
    int64_t base[kGroup], len[kGroup];
    T sv[kGroup];
    for (int i = 0; i < g; ++i) {
      const T s = site[k0 + i];
      sv[i] = s;
      len[i] = 0;
      if (!(s >= x0)) {
        base[i] = -1;  // cell 0
      } else if (s > xl) {
        base[i] = nx - 1;  // cell nx
      } else if (s == xl) {
        base[i] = nx - 2;  // cell nx - 1
      } else if (nx <= 8 || !table) {
        int64_t c = 0;
        while (x[c] <= s) ++c;
        base[i] = c - 1;
      } else {
        const T v = T(T(s - x0) * bscale);
        const int64_t b = v >= T(kBucketPairs - 1) ? kBucketPairs - 1 : (v >= T(0) ? static_cast<int64_t>(v) : 0);
        int64_t lo = table[2 * b], hi = table[2 * b + 1];
        if (lo > nx - 1 || hi > nx - 1 || lo >= hi) lo = 0, hi = nx - 1;
        base[i] = lo;
        len[i] = hi - lo;  // search x[lo .. hi-1] for the last breakpoint <= s
      }
    }
    bool active = true;
    while (active) {
      active = false;
      for (int i = 0; i < g; ++i) {
        if (len[i] > 1) {
          const int64_t half = len[i] >> 1;
          base[i] = x[base[i] + half] <= sv[i] ? base[i] + half : base[i];
          len[i] -= half;
          active |= len[i] > 1;
        }
      }
    }
    for (int i = 0; i < g; ++i) {
      int64_t c = base[i] + 1;
      const T s = sv[i];
      if (c >= 1 && c <= nx - 1 && s < xl && !(x[c - 1] <= s && s < x[c])) c = bisect(x, 0, nx - 1, s);
      cell[k0 + i] = static_cast<C>(c);
    }
  }
}

// User callback on one block of at most 128 sites; the callback's cells are corrected by the
// quasi-uniform walk (or the uniform formula) where the callback did not flag them final.
template <class T, class CB>
int32_t user_block(int64_t nx, const T* x, int64_t n, const T* site, int32_t* cell, CB callback,
                   const void* params, int32_t* flag_out, bool uniform, T scale) {
  int64_t cells[kSiteBlock];
  int32_t flags[kSiteBlock];
  int64_t count = n;
  for (int64_t k = 0; k < n; ++k) {
    cells[k] = 0;
    flags[k] = 0;
  }
  const int32_t st = callback(&count, site, cells, flags, params, 0);
  if (st < 0) return st;
  for (int64_t k = 0; k < n; ++k) {
    int64_t c = cells[k];
    if (st != QOR_DF_SEARCH_CALLBACK_FINAL && flags[k] == 0) {
      if (uniform) {
        int32_t u;
        uniform_sites<T, int32_t>(nx, x, 1, site + k, scale, &u);
        c = u;
      } else {
        const T s = site[k];
        if (s == x[nx - 1]) c = nx - 1;
        else if (!(s >= x[0])) c = 0;
        else c = correct_from(x, nx, s, c < 0 ? 0 : c);
      }
    }
    cell[k] = static_cast<int32_t>(c);
    if (flag_out) flag_out[k] = flags[k];
  }
  return st == QOR_DF_SEARCH_CALLBACK_FINAL ? DfOk : st;
}

template <class T>
struct CallbackOf;
template <>
struct CallbackOf<double> {
  using type = DfdSearchCallBack;
};
template <>
struct CallbackOf<float> {
  using type = DfsSearchCallBack;
};

}  // namespace

// ---- plans and blocks ----------------------------------------------------------------------------

template <class T>
int32_t choose_search_method(const DfTask1D* t, int64_t sitehint, const T* datahint, bool callback,
                             int32_t* method) {
  if (callback) {
    *method = t->xhint == QOR_DF_HINT_UNIFORM ? kSearchUserUniform : kSearchUser;
    return DfOk;
  }
  if (t->xhint == QOR_DF_HINT_UNIFORM) {
    *method = kSearchUniform;
    return DfOk;
  }
  if (t->xhint == QOR_DF_HINT_QUASI_UNIFORM) {
    *method = kSearchQuasiUniform;
    return DfOk;
  }
  if (sitehint == QOR_DF_SITES_SORTED) {
    *method = kSearchSorted;
    return DfOk;
  }
  if (datahint) {
    const T e1 = datahint[kDataHintMethod];
    if (e1 == T(kDataHintHybrid)) {
      *method = kSearchHybrid;
      return DfOk;
    }
    if (e1 == T(kDataHintPeak) && datahint[kDataHintPeakCell] >= T(0) && datahint[kDataHintPeakCell] <= T(t->nx)) {
      *method = kSearchPeak;
      return DfOk;
    }
    return DfErrDataHint;
  }
  *method = kSearchHybrid;
  return DfOk;
}

template <class T>
SearchPlan<T> make_search_plan(const DfTask1D* t, int32_t method, const T* datahint, const void* callback,
                               const void* params) {
  SearchPlan<T> p{};
  p.task = t;
  p.method = method;
  p.nx = t->nx;
  p.x = static_cast<const T*>(t->x);
  if (method == kSearchUniform || method == kSearchUserUniform)
    p.scale = T(T(t->nx - 1) / T(p.x[1] - p.x[0]));
  else
    p.scale = T(T(t->nx - 1) / T(p.x[t->nx - 1] - p.x[0]));
  p.peak = method == kSearchPeak ? datahint[kDataHintPeakCell] : T(0);
  if constexpr (sizeof(T) == sizeof(double))
    p.bucketScale = t->bucketScale.d;
  else
    p.bucketScale = t->bucketScale.f;
  p.bucketTable = t->bucketTable;
  p.callback = callback;
  p.params = params;
  return p;
}

template <class T>
int32_t search_block(const SearchPlan<T>& p, int64_t n, const T* site, int32_t* cell) {
  using CB = typename CallbackOf<T>::type;
  switch (p.method) {
    case kSearchUniform: uniform_sites(p.nx, p.x, n, site, p.scale, cell); return DfOk;
    case kSearchQuasiUniform: quasi_uniform_sites(p.nx, p.x, n, site, p.scale, cell); return DfOk;
    case kSearchSorted: sorted_sites<T, int32_t>(p.nx, p.x, n, site, nullptr, cell); return DfOk;
    case kSearchPeak: peak_sites(p.nx, p.x, n, site, p.peak, cell); return DfOk;
    case kSearchHybrid: hybrid_sites(p.nx, p.x, n, site, p.bucketScale, p.bucketTable, cell); return DfOk;
    default: {
      int32_t result = DfOk;
      for (int64_t k0 = 0; k0 < n; k0 += kSiteBlock) {
        const int64_t m = std::min(kSiteBlock, n - k0);
        const int32_t st = user_block(p.nx, p.x, m, site + k0, cell + k0, reinterpret_cast<CB>(const_cast<void*>(p.callback)),
                                      p.params, nullptr, p.method == kSearchUserUniform, p.scale);
        if (st < 0) return st;
        if (st != DfOk && result == DfOk) result = st;
      }
      return result;
    }
  }
}

template <class T>
void expand_uniform_sites(const T* ends, int64_t n, T* out) {
  const T s0 = ends[0];
  const T step = n > 1 ? T(T(ends[1] - s0) / T(n - 1)) : T(0);
  for (int64_t k = 0; k < n; ++k) out[k] = k == n - 1 && n > 1 ? ends[1] : T(s0 + T(k) * step);
}

template int32_t choose_search_method<double>(const DfTask1D*, int64_t, const double*, bool, int32_t*);
template int32_t choose_search_method<float>(const DfTask1D*, int64_t, const float*, bool, int32_t*);
template SearchPlan<double> make_search_plan<double>(const DfTask1D*, int32_t, const double*, const void*, const void*);
template SearchPlan<float> make_search_plan<float>(const DfTask1D*, int32_t, const float*, const void*, const void*);
template int32_t search_block<double>(const SearchPlan<double>&, int64_t, const double*, int32_t*);
template int32_t search_block<float>(const SearchPlan<float>&, int64_t, const float*, int32_t*);
template void expand_uniform_sites<double>(const double*, int64_t, double*);
template void expand_uniform_sites<float>(const float*, int64_t, float*);

// ---- drivers ---------------------------------------------------------------------------------------

namespace {

// Whether a driver splits nsite sites across threads.
bool runs_parallel(int32_t method, int64_t nsite, int64_t nx, int32_t T_) {
  if (T_ < 2) return false;
  switch (method) {
    case kSearchUniform: return nsite > 1000;
    case kSearchQuasiUniform:
      return nsite > 300 || (nsite > 150 && ((nx >= 600) || (nx >= 40 && T_ >= 4)));
    case kSearchSorted: return nsite >= 3001;
    case kSearchPeak: return nsite >= 1201;
    case kSearchHybrid:
      return nx > 8 && (nsite >= 1201 || (nsite >= 601 && T_ <= 4) || (nsite >= 301 && T_ == 2));
    default: return true;
  }
}

template <class T, class C>
struct DriverJob {
  const SearchPlan<T>* plan;
  const T* site;
  C* cell;
  std::atomic<int32_t> negative{0};
  std::atomic<int32_t> other{0};
};

template <class T, class C>
void run_block(DriverJob<T, C>* job, int64_t k0, int64_t m) {
  if (job->negative.load(std::memory_order_relaxed) < 0) return;
  int32_t st;
  if constexpr (sizeof(C) == sizeof(int32_t)) {
    st = search_block(*job->plan, m, job->site + k0, reinterpret_cast<int32_t*>(job->cell + k0));
  } else {
    int32_t tmp[kSiteBlock];
    st = search_block(*job->plan, m, job->site + k0, tmp);
    if (st >= 0)
      for (int64_t k = 0; k < m; ++k) job->cell[k0 + k] = tmp[k];
  }
  if (st < 0) {
    int32_t expected = 0;
    job->negative.compare_exchange_strong(expected, st);
  } else if (st != DfOk) {
    int32_t expected = 0;
    job->other.compare_exchange_strong(expected, st);
  }
}

template <class T, class C>
void driver_threader(int32_t block, int32_t, void*, void* context) {
  auto* job = static_cast<DriverJob<T, C>*>(context);
  run_block(job, static_cast<int64_t>(block) * kSiteBlock, kSiteBlock);
}

template <class T, class C>
int32_t drive(const SearchPlan<T>& plan, int64_t nsite, const T* site, C* cell, const ThreadingServices* ts) {
  DriverJob<T, C> job;
  job.plan = &plan;
  job.site = site;
  job.cell = cell;
  const int32_t threads = threads_available(ts);
  const int64_t full = nsite / kSiteBlock;
  int64_t done = 0;
  if (full >= 2 && full <= INT32_MAX && runs_parallel(plan.method, nsite, plan.nx, threads)) {
    const int32_t nt = static_cast<int32_t>(std::min<int64_t>(full, threads));
    ts->parallel_for(static_cast<int32_t>(full), nt, &job, driver_threader<T, C>);
    done = full * kSiteBlock;
  }
  for (int64_t k0 = done; k0 < nsite; k0 += kSiteBlock) run_block(&job, k0, std::min(kSiteBlock, nsite - k0));
  const int32_t neg = job.negative.load();
  return neg < 0 ? neg : job.other.load();
}

template <class T>
int32_t search_entry(DfTask1D* t, int64_t nsite, const T* site, int64_t sitehint, const T* datahint, void* cell,
                     const void* callback, const void* params, const ThreadingServices* ts) {
  if (!t) return DfErrNullTask;
  if ((t->isDouble != 0) != (sizeof(T) == sizeof(double))) return DfErrType;
  int32_t method;
  if (const int32_t st = choose_search_method(t, sitehint, datahint, callback != nullptr, &method); st != DfOk)
    return st;
  if (nsite <= 0) return DfOk;
  if (!site || !cell || !t->x) return DfErrNullOut;
  // The site and cell arrays must be able to exist (which also bounds the site buffer below).
  size_t bytes;
  if (!serv::checked_mul(nsite, t->intWidth ? sizeof(int64_t) : sizeof(T), &bytes) ||
      !serv::checked_mul(nsite, sizeof(T), &bytes))
    return DfErrMemory;
  const SearchPlan<T> plan = make_search_plan(t, method, datahint, callback, params);
  T stack_sites[4096];
  T* sites = const_cast<T*>(site);
  if (sitehint == QOR_DF_SITES_UNIFORM) {
    sites = stack_sites;
    if (nsite > 4096) {
      sites = static_cast<T*>(qor_serv_allocate(static_cast<size_t>(nsite) * sizeof(T), 128));
      if (!sites) return DfErrMemory;
    }
    expand_uniform_sites(site, nsite, sites);
  }
  // Few sites: on the calling thread, with the same rules.
  const ThreadingServices* run_ts = nsite < 32 ? nullptr : ts;
  int32_t st;
  if (t->intWidth)
    st = drive(plan, nsite, sites, static_cast<int64_t*>(cell), run_ts);
  else
    st = drive(plan, nsite, sites, static_cast<int32_t*>(cell), run_ts);
  if (sites != site && sites != stack_sites) qor_serv_deallocate(sites);
  return st;
}

}  // namespace
}  // namespace qor::df

using namespace qor::df;

extern "C" {

QOR_API int32_t qor_df_kernel_dDFSearch1D(DfTask1D* task, int64_t, int64_t nsite, const double* site,
                                          int64_t sitehint, const double* datahint, void* cell,
                                          DfdSearchCallBack cb, const void* params, const ThreadingServices* ts) {
  return search_entry<double>(task, nsite, site, sitehint, datahint, cell, reinterpret_cast<const void*>(cb),
                              params, ts);
}
QOR_API int32_t qor_df_kernel_sDFSearch1D(DfTask1D* task, int64_t, int64_t nsite, const float* site,
                                          int64_t sitehint, const float* datahint, void* cell,
                                          DfsSearchCallBack cb, const void* params, const ThreadingServices* ts) {
  return search_entry<float>(task, nsite, site, sitehint, datahint, cell, reinterpret_cast<const void*>(cb),
                             params, ts);
}

#define QOR_DF_SEARCH_DEFS(p, T, CB, suffix)                                                                   \
  QOR_API int32_t qor_df_kernel_##p##DFUniformSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,         \
      const T* site, int64_t, T scale, int64_t, int64_t, int64_t, int32_t* cell) {                            \
    if (nx < 2 || nsite <= 0) return DfOk;                                                                    \
    uniform_sites(nx, x, nsite, site, scale, cell);                                                           \
    return DfOk;                                                                                              \
  }                                                                                                           \
  QOR_API int32_t qor_df_kernel_##p##DFQuasiUniformSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,    \
      const T* site, int64_t, T scale, int64_t, int64_t, int64_t, int32_t* cell) {                            \
    if (nx < 2 || nsite <= 0) return DfOk;                                                                    \
    quasi_uniform_sites(nx, x, nsite, site, scale, cell);                                                     \
    return DfOk;                                                                                              \
  }                                                                                                           \
  QOR_API int32_t qor_df_kernel_##p##DFPeakSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,            \
      const T* site, int64_t, T peak, int64_t, int64_t, int64_t, int32_t* cell) {                             \
    if (nx < 2 || nsite <= 0) return DfOk;                                                                    \
    peak_sites(nx, x, nsite, site, peak, cell);                                                               \
    return DfOk;                                                                                              \
  }                                                                                                           \
  QOR_API int32_t qor_df_kernel_##p##DFHybridSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,          \
      const T* site, int64_t, T bucketScale, int64_t, int64_t, const uint32_t* table, int32_t* cell) {        \
    if (nx < 2 || nsite <= 0) return DfOk;                                                                    \
    hybrid_sites(nx, x, nsite, site, bucketScale, table, cell);                                               \
    return DfOk;                                                                                              \
  }                                                                                                           \
  QOR_API int32_t qor_df_kernel_##p##DFSortedSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,          \
      const T* site, int64_t* running, int64_t, int64_t, int64_t, int64_t, int64_t, int32_t* cell) {          \
    if (nx < 2 || nsite <= 0) return DfOk;                                                                    \
    sorted_sites(nx, x, nsite, site, running, cell);                                                          \
    return DfOk;                                                                                              \
  }                                                                                                           \
  QOR_API int32_t qor_df_kernel_##p##DFUserDefSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,         \
      const T* site, int64_t, int64_t, int64_t, int64_t, int64_t, int64_t, int32_t* cell, int64_t,            \
      CB callback, const void* params, int64_t, int32_t* flag) {                                              \
    if (nx < 2 || nsite <= 0 || !callback) return DfOk;                                                       \
    int32_t result = DfOk;                                                                                    \
    for (int64_t k0 = 0; k0 < nsite; k0 += 128) {                                                             \
      const int64_t m = std::min<int64_t>(128, nsite - k0);                                                   \
      const int32_t st = user_block(nx, x, m, site + k0, cell + k0, callback, params,                         \
                                    flag ? flag + k0 : nullptr, false, T(0));                                 \
      if (st < 0) return st;                                                                                  \
      if (st != DfOk && result == DfOk) result = st;                                                          \
    }                                                                                                         \
    return result;                                                                                            \
  }                                                                                                           \
  QOR_API int32_t qor_df_kernel_##p##DFUniUserDefSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,      \
      const T* site, int64_t, T scale, int64_t, int64_t, int64_t, int32_t* cell, int64_t, CB callback,        \
      const void* params, int64_t, int32_t* flag) {                                                           \
    if (nx < 2 || nsite <= 0 || !callback) return DfOk;                                                       \
    int32_t result = DfOk;                                                                                    \
    for (int64_t k0 = 0; k0 < nsite; k0 += 128) {                                                             \
      const int64_t m = std::min<int64_t>(128, nsite - k0);                                                   \
      const int32_t st = user_block(nx, x, m, site + k0, cell + k0, callback, params,                         \
                                    flag ? flag + k0 : nullptr, true, scale);                                 \
      if (st < 0) return st;                                                                                  \
      if (st != DfOk && result == DfOk) result = st;                                                          \
    }                                                                                                         \
    return result;                                                                                            \
  }

QOR_DF_SEARCH_DEFS(d, double, DfdSearchCallBack, )
QOR_DF_SEARCH_DEFS(d, double, DfdSearchCallBack, 32)
QOR_DF_SEARCH_DEFS(s, float, DfsSearchCallBack, )
QOR_DF_SEARCH_DEFS(s, float, DfsSearchCallBack, 32)

}  // extern "C"
