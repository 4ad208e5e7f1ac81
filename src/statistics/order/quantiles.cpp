// Quantiles and order statistics, sort, median and mean absolute deviation, weighted median,
// minimum and maximum (double and single).
//
// Every entry point validates in the documented order and allocates nothing before every check
// has passed; its scratch (the selected variables and one block per thread) is one allocation,
// released before it returns. Work is split by variable through slot 0 of the threading table;
// each thread uses the scratch block of its thread index.
#include <cmath>

#include "statistics/entry.h"
#include "statistics/order/order_internal.h"

namespace qor::ss::order {
namespace {

// Per-thread scratch is bounded to 1 GiB in total.
constexpr double kScratchLimit = 1073741824.0;

// Threads for a loop over q variables whose per-thread scratch is `bytes`.
int64_t threads_for(const ThreadingServices* th, int64_t q, double bytes) {
  int64_t T = std::min(thread_budget(th), q);
  const int64_t cap = static_cast<int64_t>(kScratchLimit / (bytes > 0 ? bytes : 1));
  T = std::min(T, std::max<int64_t>(1, cap));
  return T < 1 ? 1 : T;
}

// The selected variables and `T` per-thread blocks of `per_thread` bytes, in one allocation.
struct Scratch {
  void* block = nullptr;
  int32_t* sel = nullptr;
  char* threads = nullptr;
  size_t per_thread = 0;
  ~Scratch() { qor_serv_deallocate(block); }
  char* of(int32_t thread) const { return threads + per_thread * static_cast<size_t>(thread); }
};
int32_t make_scratch(Scratch* s, const HoxSSTask* t, int64_t p, int64_t q, int64_t nthreads,
                     uint64_t per_thread_bytes) {
  Carver count;
  count.take<int32_t>(static_cast<uint64_t>(q));
  count.take<char>(per_thread_bytes);
  for (int64_t k = 1; k < nthreads; ++k) count.take<char>(per_thread_bytes);
  if (count.overflow) return HOX_SS_ERR_NO_MEMORY;
  s->block = qor_serv_allocate(count.used, 128);
  if (!s->block) return HOX_SS_ERR_NO_MEMORY;
  Carver cv{static_cast<char*>(s->block)};
  s->sel = cv.take<int32_t>(static_cast<uint64_t>(q));
  s->threads = cv.take<char>(per_thread_bytes);
  s->per_thread = (per_thread_bytes + 127) & ~uint64_t(127);
  list_selected(t, p, s->sel);
  return 0;
}

// Per-thread scratch of a selection: n keys, and the radix histogram for long variables.
template <class T>
uint64_t select_scratch(int64_t n) {
  return static_cast<uint64_t>(n) * sizeof(KeyOf<T>) + (n >= kRadixSelectMin ? sizeof(uint32_t) * kRadixBuckets : 0);
}

// Quantiles of orders q[0 .. m) (m <= kSelectOrders) of the n keys get(0 .. n-1), into out; the
// scratch is select_scratch<T>(n) bytes at keys.
constexpr int64_t kSelectOrders = 16;
template <class T, class Get>
void select_quantiles(Get get, int64_t n, KeyOf<T>* keys, const T* q, int64_t m, T* out) {
  using K = KeyOf<T>;
  int64_t pos[2 * kSelectOrders];
  const int64_t np = quantile_positions(q, m, n, pos);
  if (n >= kRadixSelectMin) {
    // the selected keys by rank position, then each order from its one or two positions
    K found[2 * kSelectOrders];
    radix_select(get, n, keys, reinterpret_cast<uint32_t*>(keys + n), pos, np, found);
    for (int64_t o = 0; o < m; ++o) {
      int64_t k;
      double f;
      quantile_position(static_cast<double>(q[o]), n, &k, &f);
      const int64_t a = std::lower_bound(pos, pos + np, k) - pos;
      const T va = from_key<T>(found[a]);
      out[o] = f > 0 && k + 1 < n ? interpolate(va, from_key<T>(found[a + 1]), f) : va;
    }
    return;
  }
  for (int64_t j = 0; j < n; ++j) keys[j] = get(j);
  select_positions(keys, 0, n, pos, np);
  for (int64_t o = 0; o < m; ++o) out[o] = quantile_from_keys<T>(keys, q[o], n);
}

template <class T>
int64_t observ_storage(const HoxSSTask* t) {
  return read_int(t, t->observ_storage);
}

// Copies variable i into v (n reals), sorts it (buf: n reals) and, when out is set, writes it in
// rows or columns storage.
template <class T>
void sort_variable(Column<T> col, const Dims& d, int64_t i, T* v, T* buf, T* out, bool out_rows) {
  const int64_t n = d.n;
  for (int64_t j = 0; j < n; ++j) v[j] = col[j];
  if (n > 1) Real<T>::radix(v, buf, static_cast<int32_t>(n));
  if (!out) return;
  if (out_rows) std::memcpy(out + i * n, v, sizeof(T) * n);
  else
    for (int64_t j = 0; j < n; ++j) out[j * d.p + i] = v[j];
}

// ---- quantiles and order statistics ------------------------------------------------------------


template <class T>
int32_t quantiles(HoxSSTask* t, uint64_t estimates, uint64_t method, const ThreadingServices* th) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  const bool want_q = estimates & HOX_SS_EST_QUANTILES, want_os = estimates & HOX_SS_EST_ORDER_STATS;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  bool rows;
  if (!observ_storage_by_bits(observ_storage<T>(t), &rows)) return HOX_SS_ERR_BAD_STORAGE;
  int64_t m = 0;
  const T* orders = static_cast<const T*>(t->quant_order);
  if (want_q) {
    if (!t->quantiles) return HOX_SS_ERR_NULL_QUANTILES;
    if (!orders) return HOX_SS_ERR_NULL_QUANT_ORDER;
    if (!t->quant_order_n) return HOX_SS_ERR_BAD_QUANT_ORDER_N;
    m = read_int(t, t->quant_order_n);
    if (m < 0 || m > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_QUANT_ORDER_N;
    for (int64_t k = 0; k < m; ++k)
      if (!(orders[k] >= 0 && orders[k] <= 1)) return HOX_SS_ERR_BAD_QUANT_ORDER_N;
  }
  bool os_rows = true;
  if (want_os) {
    if (!t->order_stats) return HOX_SS_ERR_NULL_ORDER_STATS;
    if (!t->order_stats_storage) return HOX_SS_ERR_NULL_STORAGE;
    if (!observ_storage_by_bits(read_int(t, t->order_stats_storage), &os_rows)) return HOX_SS_ERR_BAD_STORAGE;
  }
  if (!(method & HOX_SS_METHOD_FAST)) return HOX_SS_ERR_BAD_METHOD;
  Dims d;
  if (int32_t st = read_observations<T>(t, &d)) return st;
  if (d.p == 1) rows = os_rows = true;
  if (!(want_q && m > 0) && !want_os) return 0;
  const int64_t q = selected_count(t, d.p);
  if (q == 0) return 0;
  if (want_q) {
    size_t out;
    if (!serv::checked_mul(d.p, m, &out) || !serv::checked_mul(out, sizeof(T), &out)) return HOX_SS_ERR_NO_MEMORY;
  }

  using K = KeyOf<T>;
  const bool select = !want_os && m <= kSelectOrders;
  // sorting: the copy and the radix sort's buffer; selection: the keys
  const uint64_t per_thread = select ? select_scratch<T>(d.n) : static_cast<uint64_t>(d.n) * 2 * sizeof(T);
  const int64_t nthreads = threads_for(th, q, static_cast<double>(per_thread));
  Scratch s;
  if (int32_t st = make_scratch(&s, t, d.p, q, nthreads, per_thread)) return st;

  const T* x = static_cast<const T*>(t->observ);
  T* qout = static_cast<T*>(t->quantiles);
  T* osout = static_cast<T*>(t->order_stats);
  const int64_t n = d.n;
  auto body = [&](int32_t item, int32_t thread) -> int32_t {
    const int64_t i = s.sel[item];
    const Column<T> col = column(x, d, rows, i);
    if (select) {
      K* keys = reinterpret_cast<K*>(s.of(thread));
      select_quantiles<T>([&](int64_t j) { return to_key(col[j]); }, n, keys, orders, m, qout + i * m);
      return 0;
    }
    T* v = reinterpret_cast<T*>(s.of(thread));
    sort_variable(col, d, i, v, v + n, want_os ? osout : nullptr, os_rows);
    for (int64_t o = 0; o < m; ++o) {
      int64_t k;
      double f;
      quantile_position(static_cast<double>(orders[o]), n, &k, &f);
      qout[i * m + o] = interpolate(v[k], v[k + 1 < n ? k + 1 : k], f);
    }
    return 0;
  };
  return parallel_items(th, q, nthreads, body);
}

// ---- sort ----------------------------------------------------------------------------------------
template <class T>
int32_t sort(HoxSSTask* t, uint64_t, uint64_t method, const ThreadingServices* th) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  if (!t->sorted) return HOX_SS_ERR_NULL_SORTED_OBSERV;
  if (!t->sorted_storage) return HOX_SS_ERR_NULL_STORAGE;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  const int64_t xcode = observ_storage<T>(t), scode = read_int(t, t->sorted_storage);
  const bool in_place = t->sorted == t->observ;
  if (in_place) {
    if ((xcode & HOX_SS_STORAGE_ROWS) != (scode & HOX_SS_STORAGE_ROWS)) return HOX_SS_ERR_NULL_STORAGE;
    if (t->indices) return HOX_SS_ERR_SORT_IN_PLACE_WITH_INDC;
  }
  bool rows, srows;
  if (!observ_storage_by_bits(xcode, &rows) || !observ_storage_by_bits(scode, &srows)) return HOX_SS_ERR_BAD_STORAGE;
  if (!(method & HOX_SS_METHOD_RADIX_SORT)) return HOX_SS_ERR_BAD_METHOD;
  Dims d;
  if (int32_t st = read_observations<T>(t, &d)) return st;
  if (d.p == 1) rows = srows = true;
  const int64_t q = selected_count(t, d.p);
  if (q == 0) return 0;
  const int64_t n = d.n;
  // a contiguous copy (none when a row is sorted where it lies) and the radix sort's buffer
  const bool direct = in_place && rows;
  const uint64_t per_thread = static_cast<uint64_t>(n) * sizeof(T) * (direct ? 1 : 2);
  const int64_t nthreads = threads_for(th, q, static_cast<double>(per_thread));
  Scratch s;
  if (int32_t st = make_scratch(&s, t, d.p, q, nthreads, per_thread)) return st;
  const T* x = static_cast<const T*>(t->observ);
  T* out = static_cast<T*>(t->sorted);
  auto body = [&](int32_t item, int32_t thread) -> int32_t {
    const int64_t i = s.sel[item];
    T* scr = reinterpret_cast<T*>(s.of(thread));
    if (direct) {
      if (n > 1) Real<T>::radix(out + i * n, scr, static_cast<int32_t>(n));
      return 0;
    }
    sort_variable(column(x, d, rows, i), d, i, scr, scr + n, out, srows);
    return 0;
  };
  return parallel_items(th, q, nthreads, body);
}

// ---- median and mean absolute deviation -----------------------------------------------------------


template <class T>
int32_t mad(HoxSSTask* t, uint64_t estimates, uint64_t method, const ThreadingServices* th) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  const int64_t code = observ_storage<T>(t);
  if (!observ_storage_exact(code)) return HOX_SS_ERR_BAD_STORAGE;
  bool rows = code == HOX_SS_STORAGE_ROWS;
  const bool want_md = estimates & HOX_SS_EST_MEDIAN_ABS_DEV, want_mn = estimates & HOX_SS_EST_MEAN_ABS_DEV;
  const bool given = method & HOX_SS_METHOD_GIVEN_MEAN;
  if (want_md) {
    if (!(method & HOX_SS_METHOD_FAST)) return HOX_SS_ERR_BAD_METHOD;
    if (!t->mdad) return HOX_SS_ERR_NULL_MDAD;
  }
  if (want_mn) {
    if (!t->mnad) return HOX_SS_ERR_NULL_MNAD;
    if (!(method & (HOX_SS_METHOD_FAST | HOX_SS_METHOD_GIVEN_MEAN))) return HOX_SS_ERR_BAD_METHOD;
    if (given && !t->moment[0]) return HOX_SS_ERR_NULL_MEAN;
  }
  Dims d;
  if (int32_t st = read_observations<T>(t, &d)) return st;
  if (d.p == 1) rows = true;
  if (!want_md && !want_mn) return 0;
  const int64_t q = selected_count(t, d.p);
  if (q == 0) return 0;
  using K = KeyOf<T>;
  const int64_t n = d.n;
  const uint64_t per_thread = want_md ? select_scratch<T>(n) : 0;
  const int64_t nthreads = threads_for(th, q, static_cast<double>(per_thread));
  Scratch s;
  if (int32_t st = make_scratch(&s, t, d.p, q, nthreads, per_thread)) return st;
  const T* x = static_cast<const T*>(t->observ);
  const T* w = static_cast<const T*>(t->weights);
  const T* given_mean = static_cast<const T*>(t->moment[0]);
  T* md = static_cast<T*>(t->mdad);
  T* mn = static_cast<T*>(t->mnad);
  auto body = [&](int32_t item, int32_t thread) -> int32_t {
    const int64_t i = s.sel[item];
    const Column<T> col = column(x, d, rows, i);
    if (want_md) {
      K* keys = reinterpret_cast<K*>(s.of(thread));
      const T half = static_cast<T>(0.5);
      T med;
      select_quantiles<T>([&](int64_t j) { return to_key(col[j]); }, n, keys, &half, 1, &med);
      select_quantiles<T>([&](int64_t j) { return to_key(static_cast<T>(std::fabs(col[j] - static_cast<double>(med)))); },
                          n, keys, &half, 1, md + i);
    }
    if (want_mn) {
      // the weighted mean (or the caller's), then the weighted mean of |x - mean|
      double mean;
      if (given) {
        mean = given_mean[i];
      } else {
        double sw = 0, swx = 0;
        for (int64_t j = 0; j < n; ++j) {
          const double wj = w ? w[j] : 1.0;
          sw += wj;
          swx += wj * col[j];
        }
        mean = static_cast<T>(swx / sw);
      }
      double sw = 0, swd = 0;
      for (int64_t j = 0; j < n; ++j) {
        const double wj = w ? w[j] : 1.0;
        sw += wj;
        swd += wj * std::fabs(col[j] - mean);
      }
      mn[i] = static_cast<T>(swd / sw);
    }
    return 0;
  };
  return parallel_items(th, q, nthreads, body);
}

// ---- weighted median -------------------------------------------------------------------------------
template <class T>
struct Pair {
  KeyOf<T> key;
  T w;
};

// The weighted median rule over values x (ascending) with weights w, target t = q S.
template <class T>
T weighted_median(const Pair<T>* v, int64_t n, double q, double S) {
  const double t = q * S;
  auto x = [&](int64_t i) { return static_cast<double>(from_key<T>(v[i].key)); };
  auto wt = [&](int64_t i) { return static_cast<double>(v[i].w); };
  int64_t i = 0;
  double c = wt(0);
  while (!(c >= t) && i < n - 1) c += wt(++i);
  const bool odd = n % 2 == 1;
  if (c == t) {
    if (odd || i == n - 1) return static_cast<T>(x(i));
    int64_t j = i + 1;
    while (j < n && !(wt(j) > 0)) ++j;
    if (j == n) j = n - 1;
    return static_cast<T>((x(i) + x(j)) * 0.5);
  }
  if (!(c > t)) return static_cast<T>(x(i));  // the last observation without reaching t
  const double c1 = c - wt(i);
  if (c1 <= 0) return static_cast<T>(x(i));
  int64_t k = i - 1;
  while (k > 0 && !(wt(k) > 0)) --k;
  if (k < 0) k = 0;
  if (odd && c1 == q * (S - wt(i))) return static_cast<T>(x(i));
  return static_cast<T>(x(k) + (t - c1) / wt(i) * (x(i) - x(k)));
}

template <class T>
int32_t wmedian(HoxSSTask* t) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  Dims d;
  if (int32_t st = read_observations<T>(t, &d)) return st;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  if (!t->quant_order) return HOX_SS_ERR_NULL_QUANT_ORDER;
  if (!t->quantiles) return HOX_SS_ERR_NULL_QUANTILES;
  const bool rows = observ_storage<T>(t) == HOX_SS_STORAGE_ROWS || d.p == 1;
  const int64_t n = d.n;
  uint64_t bytes;
  if (!serv::checked_mul(static_cast<uint64_t>(n), sizeof(Pair<T>), &bytes)) return HOX_SS_ERR_NO_MEMORY;
  size_t sbytes;
  if (!serv::checked_add(bytes, 0u, &sbytes)) return HOX_SS_ERR_NO_MEMORY;
  Pair<T>* v = static_cast<Pair<T>*>(qor_serv_allocate(sbytes, 128));
  if (!v) return HOX_SS_ERR_NO_MEMORY;
  const T* x = static_cast<const T*>(t->observ);
  const T* w = static_cast<const T*>(t->weights);
  const double q = static_cast<const T*>(t->quant_order)[0];
  T* out = static_cast<T*>(t->quantiles);
  double S = 0;
  for (int64_t j = 0; j < n; ++j) S += w ? w[j] : 1.0;
  for (int64_t i = 0; i < d.p; ++i) {
    const Column<T> col = column(x, d, rows, i);
    for (int64_t j = 0; j < n; ++j) v[j] = {to_key(col[j]), w ? w[j] : T(1)};
    std::sort(v, v + n, [](const Pair<T>& a, const Pair<T>& b) { return a.key < b.key; });
    out[i] = weighted_median(v, n, q, S);
  }
  qor_serv_deallocate(v);
  return 0;
}

// ---- minimum and maximum -----------------------------------------------------------------------------
template <class T>
int32_t minmax(HoxSSTask* t, uint64_t estimates, uint64_t method, const ThreadingServices* th) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  bool rows;
  if (!observ_storage_by_bits(observ_storage<T>(t), &rows)) return HOX_SS_ERR_BAD_STORAGE;
  const bool want_min = estimates & HOX_SS_EST_MIN, want_max = estimates & HOX_SS_EST_MAX;
  if (want_min && !t->min) return HOX_SS_ERR_NULL_MIN;
  if (want_max && !t->max) return HOX_SS_ERR_NULL_MAX;
  if (!(method & (HOX_SS_METHOD_FAST | HOX_SS_METHOD_ONE_PASS))) return HOX_SS_ERR_BAD_METHOD;
  Dims d;
  if (int32_t st = read_observations<T>(t, &d)) return st;
  if (d.p == 1) rows = true;
  if (!want_min && !want_max) return 0;
  const int64_t q = selected_count(t, d.p);
  if (q == 0) return 0;
  const T* x = static_cast<const T*>(t->observ);
  T* lo = static_cast<T*>(t->min);
  T* hi = static_cast<T*>(t->max);
  const int64_t n = d.n;
  if (rows) {
    // by variable, each a contiguous run
    const int64_t nthreads = threads_for(th, q, 0);
    Scratch s;
    if (int32_t st = make_scratch(&s, t, d.p, q, 1, 0)) return st;
    auto body = [&](int32_t item, int32_t) -> int32_t {
      const int64_t i = s.sel[item];
      const T* r = x + i * n;
      if (want_min) {
        T v = lo[i];
        for (int64_t j = 0; j < n; ++j) v = r[j] < v ? r[j] : v;
        lo[i] = v;
      }
      if (want_max) {
        T v = hi[i];
        for (int64_t j = 0; j < n; ++j) v = r[j] > v ? r[j] : v;
        hi[i] = v;
      }
      return 0;
    };
    return parallel_items(th, q, nthreads, body);
  }
  // observation by observation over a copy of the current extremes of the selected variables
  Scratch s;
  const uint64_t bytes = static_cast<uint64_t>(q) * sizeof(T) * ((want_min && want_max) ? 2 : 1);
  if (int32_t st = make_scratch(&s, t, d.p, q, 1, bytes)) return st;
  T* cmin = reinterpret_cast<T*>(s.of(0));
  T* cmax = want_min ? cmin + q : cmin;
  for (int64_t k = 0; k < q; ++k) {
    if (want_min) cmin[k] = lo[s.sel[k]];
    if (want_max) cmax[k] = hi[s.sel[k]];
  }
  for (int64_t j = 0; j < n; ++j) {
    const T* r = x + j * d.p;
    for (int64_t k = 0; k < q; ++k) {
      const T v = r[s.sel[k]];
      if (want_min && v < cmin[k]) cmin[k] = v;
      if (want_max && v > cmax[k]) cmax[k] = v;
    }
  }
  for (int64_t k = 0; k < q; ++k) {
    if (want_min) lo[s.sel[k]] = cmin[k];
    if (want_max) hi[s.sel[k]] = cmax[k];
  }
  return 0;
}

}  // namespace
}  // namespace qor::ss::order

using namespace qor::ss::order;

QOR_SS_COMPUTE_ENTRY(Quantiles, quantiles)
QOR_SS_COMPUTE_ENTRY(Sort, sort)
QOR_SS_COMPUTE_ENTRY(MAD, mad)
QOR_SS_COMPUTE_ENTRY(Minmax, minmax)

extern "C" QOR_API int32_t _hoxdSSWMedian(HoxSSTask* t) { return wmedian<double>(t); }
extern "C" QOR_API int32_t _hoxsSSWMedian(HoxSSTask* t) { return wmedian<float>(t); }
