// Order statistics: what the quantile, sort, absolute-deviation, min/max and streaming entry
// points share — reading the observations, the selected variables, sort keys that order
// floating-point values as the radix sort does, the per-variable parallel loop, and selection.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "qor/prim.h"
#include "qor/service.h"
#include "service/size_math.h"
#include "statistics/carver.h"
#include "statistics/storage.h"
#include "statistics/task.h"

namespace qor::ss::order {

// ---- element types ------------------------------------------------------------------------------
// Key<T>: an unsigned integer whose ascending order is the radix sort's ascending order of T
// (-NaN < -inf < negatives < -0 < +0 < positives < +inf < +NaN). Keys make selection exact and
// safe on any bit pattern (std::nth_element needs a strict weak order, which NaN breaks).
template <class T>
struct Real;
template <>
struct Real<double> {
  using Key = uint64_t;
  static int32_t radix(double* keys, double* buffer, int32_t n) {
    return qor_dft_e8r_ochaSortRadixAscend_64f_I(keys, buffer, n);
  }
};
template <>
struct Real<float> {
  using Key = uint32_t;
  static int32_t radix(float* keys, float* buffer, int32_t n) {
    return qor_dft_e8r_ochaSortRadixAscend_32f_I(keys, buffer, n);
  }
};
template <class T>
using KeyOf = typename Real<T>::Key;

template <class T>
inline KeyOf<T> to_key(T x) {
  using K = KeyOf<T>;
  K u;
  std::memcpy(&u, &x, sizeof u);
  constexpr K sign = K(1) << (8 * sizeof(K) - 1);
  return (u & sign) ? ~u : (u | sign);
}
template <class T>
inline T from_key(KeyOf<T> k) {
  using K = KeyOf<T>;
  constexpr K sign = K(1) << (8 * sizeof(K) - 1);
  const K u = (k & sign) ? (k & ~sign) : ~k;
  T x;
  std::memcpy(&x, &u, sizeof x);
  return x;
}

// ---- the task's observations ------------------------------------------------------------------
struct Dims {
  int64_t p = 0, n = 0;
};

// Dimension (-4001) from the task's address.
inline int32_t read_dimension(const HoxSSTask* t, int64_t* p) {
  if (!t->dimension) return HOX_SS_ERR_BAD_DIMENSION;
  const int64_t v = read_int(t, t->dimension);
  if (v < 1 || v > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_DIMENSION;
  *p = v;
  return 0;
}
// Observation count (-4002), at least `min_n`.
inline int32_t read_count(const HoxSSTask* t, int64_t* n, int64_t min_n = 1) {
  if (!t->observ_n) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  const int64_t v = read_int(t, t->observ_n);
  if (v < min_n || v > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  *n = v;
  return 0;
}
// Dimension, count and observation matrix, in that order (-4001, -4002, -4032); the p x n
// matrix must be able to exist (-4000 otherwise).
template <class T>
int32_t read_observations(const HoxSSTask* t, Dims* d) {
  if (int32_t st = read_dimension(t, &d->p)) return st;
  if (int32_t st = read_count(t, &d->n)) return st;
  if (!t->observ) return HOX_SS_ERR_NULL_OBSERV;
  size_t bytes;
  if (!serv::checked_mul(d->p, d->n, &bytes) || !serv::checked_mul(bytes, sizeof(T), &bytes))
    return HOX_SS_ERR_NO_MEMORY;
  return 0;
}

// Variable i of the observations: its first element and the stride between observations.
template <class T>
struct Column {
  const T* x;
  int64_t stride;
  T operator[](int64_t j) const { return x[j * stride]; }
};
template <class T>
Column<T> column(const T* x, const Dims& d, bool rows, int64_t i) {
  return rows ? Column<T>{x + i * d.n, 1} : Column<T>{x + i, d.p};
}

// Number of selected variables (all when the task has no selection array).
inline int64_t selected_count(const HoxSSTask* t, int64_t p) {
  if (!t->indices) return p;
  int64_t q = 0;
  for (int64_t i = 0; i < p; ++i) q += read_int_at(t, t->indices, i) != 0;
  return q;
}
inline void list_selected(const HoxSSTask* t, int64_t p, int32_t* sel) {
  int64_t k = 0;
  for (int64_t i = 0; i < p; ++i)
    if (!t->indices || read_int_at(t, t->indices, i) != 0) sel[k++] = static_cast<int32_t>(i);
}

// ---- threads ------------------------------------------------------------------------------------
inline int64_t thread_budget(const ThreadingServices* th) {
  int64_t b = 1;
  if (th && th->parallel_for && th->max_threads) b = th->max_threads();
  return b < 1 ? 1 : b;
}

// Runs body(item, thread) for item = 0 .. count-1 through slot 0 of the threading table (on
// the calling thread when nthreads is 1 or there is no table). `status` collects the first
// negative status a body stores.
template <class Body>
struct Loop {
  Body* body;
  int32_t status;
  static void run(int32_t item, int32_t thread, void*, void* context) {
    Loop& l = *static_cast<Loop*>(context);
    const int32_t st = (*l.body)(item, thread);
    if (st < 0) __atomic_store_n(&l.status, st, __ATOMIC_RELAXED);
  }
};
template <class Body>
int32_t parallel_items(const ThreadingServices* th, int64_t count, int64_t nthreads, Body&& body) {
  Loop<std::remove_reference_t<Body>> l{&body, 0};
  if (nthreads > 1 && th && th->parallel_for) {
    th->parallel_for(static_cast<int32_t>(count), static_cast<int32_t>(nthreads), &l, &decltype(l)::run);
  } else {
    for (int64_t i = 0; i < count; ++i) decltype(l)::run(static_cast<int32_t>(i), 0, nullptr, &l);
  }
  return l.status;
}

// ---- selection over keys -------------------------------------------------------------------------
// Quantile of order q from the sorted values: h = q (n - 1), k = floor(h), f = h - k, and
// (1 - f) s_k + f s_{k+1}. When f is 0 or the two values are equal the order statistic itself is
// returned (so an infinite neighbour with weight 0 does not turn the result into NaN, and equal
// neighbours give that value exactly).
template <class T>
inline T interpolate(T a, T b, double f) {
  if (f == 0 || a == b) return a;
  return static_cast<T>((1 - f) * static_cast<double>(a) + f * static_cast<double>(b));
}
inline void quantile_position(double q, int64_t n, int64_t* k, double* f) {
  const double h = q * static_cast<double>(n - 1);
  int64_t kk = static_cast<int64_t>(h);
  if (kk > n - 1) kk = n - 1;
  if (kk < 0) kk = 0;
  *k = kk;
  *f = h - static_cast<double>(kk);
}

// Rearranges keys[lo, hi) so that every position of pos[0 .. np) (ascending, distinct, inside
// [lo, hi)) holds the key of that rank: the middle position is selected first and the two sides
// recursively, so a few positions cost about two passes over the keys rather than one each.
template <class K>
void select_positions(K* keys, int64_t lo, int64_t hi, const int64_t* pos, int64_t np) {
  if (np == 0 || hi - lo <= 1) return;
  const int64_t mid = np / 2, k = pos[mid];
  if (k == lo) std::iter_swap(keys + lo, std::min_element(keys + lo, keys + hi));
  else std::nth_element(keys + lo, keys + k, keys + hi);
  select_positions(keys, lo, k, pos, mid);
  select_positions(keys, k + 1, hi, pos + mid + 1, np - mid - 1);
}

// The positions the quantiles of orders q[0 .. m) need (k, and k + 1 when f > 0), sorted and
// distinct, into pos (room for 2m); returns their number.
template <class T>
int64_t quantile_positions(const T* q, int64_t m, int64_t n, int64_t* pos) {
  int64_t np = 0;
  for (int64_t o = 0; o < m; ++o) {
    int64_t k;
    double f;
    quantile_position(static_cast<double>(q[o]), n, &k, &f);
    pos[np++] = k;
    if (f > 0 && k + 1 < n) pos[np++] = k + 1;
  }
  std::sort(pos, pos + np);
  return std::unique(pos, pos + np) - pos;
}

// Quantile of order q from keys whose needed positions have been selected.
template <class T>
T quantile_from_keys(const KeyOf<T>* keys, double q, int64_t n) {
  int64_t k;
  double f;
  quantile_position(q, n, &k, &f);
  const T a = from_key<T>(keys[k]);
  return f > 0 && k + 1 < n ? interpolate(a, from_key<T>(keys[k + 1]), f) : a;
}

// ---- selection by a radix histogram -----------------------------------------------------------
// For long variables: one pass counts the keys by their top 16 bits, the buckets that hold the
// wanted ranks are gathered (a second pass) into `gather`, and only they are selected in. Gives
// exactly the keys of the ranks pos[0 .. np) (ascending, distinct) into out[0 .. np).
constexpr int kRadixBits = 16;
constexpr int64_t kRadixBuckets = int64_t(1) << kRadixBits;
constexpr int64_t kRadixSelectMin = 4 * kRadixBuckets;  // shorter variables select directly

template <class K, class Get>
void radix_select(Get get, int64_t n, K* gather, uint32_t* count, const int64_t* pos, int64_t np, K* out) {
  constexpr int shift = 8 * sizeof(K) - kRadixBits;
  std::fill(count, count + kRadixBuckets, 0u);
  for (int64_t j = 0; j < n; ++j) ++count[get(j) >> shift];
  // the bucket of each wanted rank, and each wanted bucket's place in the gathered array: the
  // counts of wanted buckets become their gather offsets, the others are marked 0xFFFFFFFF
  int64_t below = 0, gathered = 0, w = 0;
  int64_t tpos[64];
  for (int64_t b = 0; b < kRadixBuckets; ++b) {
    const int64_t c = count[b];
    bool wanted = false;
    while (w < np && pos[w] < below + c) {
      tpos[w] = gathered + (pos[w] - below);
      ++w;
      wanted = true;
    }
    count[b] = wanted ? static_cast<uint32_t>(gathered) : 0xFFFFFFFFu;
    if (wanted) gathered += c;
    below += c;
  }
  for (int64_t j = 0; j < n; ++j) {
    const K k = get(j);
    uint32_t& slot = count[k >> shift];
    if (slot != 0xFFFFFFFFu) gather[slot++] = k;
  }
  select_positions(gather, 0, gathered, tpos, np);
  for (int64_t i = 0; i < np; ++i) out[i] = gather[tpos[i]];
}

}  // namespace qor::ss::order
