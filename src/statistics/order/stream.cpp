// _hoxdSSStreamQuantiles / _hoxsSSStreamQuantiles: epsilon-approximate quantiles over data that
// arrive block by block (the summary and its rank-error bound: stream.h).
//
// A call validates, creates the state on the first call (registering its release in the task),
// then allocates every segment this call's observations will open and the query scratch, all
// before any observation is added: an allocation failure returns -4000 and leaves the state as it
// was (a first call's state is released again). Adding observations and reading the quantiles
// then cannot fail; both run per variable through slot 0 of the threading table.
#include "statistics/order/stream.h"

#include <cmath>

#include "statistics/entry.h"
#include "statistics/order/order_internal.h"

namespace qor::ss::order {
namespace {

constexpr double kMaxSize = 4.0e18;  // segment sizes are capped (a segment this long never fills)

// Size, block capacity and levels of segment s (0, 1, ...).
void segment_shape(int64_t s, double eps, StreamSegment* g) {
  auto cum = [&](int64_t k) {  // floor((2^(k+2) - 1) / eps), capped
    const double v = std::floor((std::ldexp(1.0, static_cast<int>(std::min<int64_t>(k + 2, 1000))) - 1) / eps);
    return v < kMaxSize ? v : kMaxSize;
  };
  double d = cum(s) - cum(s - 1);
  if (!(d >= 1)) d = 1;
  const int64_t size = static_cast<int64_t>(d);
  const double lg = std::log(eps * d) * 1.4426950408889634;
  double b = std::floor(lg / eps);
  if (!(b >= 1)) b = 1;
  if (b > d) b = d;
  int64_t block = static_cast<int64_t>(b);
  // raise b until the deepest level this segment reaches keeps the error within eps (stream.h)
  auto deepest = [&](int64_t bb) {
    int64_t k = size / bb, l = 0;
    while (k > 1) k >>= 1, ++l;
    return l;
  };
  while (block < size && static_cast<double>(deepest(block)) > 2 * eps * static_cast<double>(block)) ++block;
  int64_t L = static_cast<int64_t>(std::floor(lg + 2));
  const int64_t need = deepest(block) + 1;
  if (L < need) L = need;
  g->size = size;
  g->seen = 0;
  g->block = static_cast<int32_t>(std::min<int64_t>(block, std::numeric_limits<int32_t>::max()));
  g->levels = static_cast<int32_t>(L);
  g->fill = 0;
  g->parity = 0;
  g->occupied = 0;
  g->values = nullptr;
}

template <class T>
T* block_of(const StreamSegment& g) { return static_cast<T*>(g.values); }
template <class T>
T* level_of(const StreamSegment& g, int l) { return static_cast<T*>(g.values) + static_cast<size_t>(g.block) * (1 + l); }
template <class T>
T* merge_of(const StreamSegment& g) { return static_cast<T*>(g.values) + static_cast<size_t>(g.block) * (1 + g.levels); }

bool segment_bytes(const StreamSegment& g, size_t elem, size_t* bytes) {
  return serv::checked_mul(static_cast<uint64_t>(g.levels) + 3, static_cast<uint64_t>(g.block), bytes) &&
         serv::checked_mul(*bytes, elem, bytes);
}

// ---- the state and its release ------------------------------------------------------------------
void release_state(HoxSSTask* t) {
  StreamState* s = static_cast<StreamState*>(t->squant_state);
  if (s) {
    for (int64_t i = 0; i < s->p; ++i) {
      StreamVariable& v = s->var[i];
      for (int32_t k = 0; k < v.segments; ++k) qor_serv_deallocate(v.seg[k].values);
      qor_serv_deallocate(v.seg);
    }
    qor_serv_deallocate(s);
  }
  t->squant_state = nullptr;
  t->release = nullptr;
  t->release_count = 0;
}

// ---- adding observations ---------------------------------------------------------------------------
// Carries the sorted block up the levels of segment g.
template <class T>
void carry(StreamSegment& g) {
  const size_t b = static_cast<size_t>(g.block);
  T* cur = block_of<T>(g);
  T* tmp = merge_of<T>(g);
  int l = 0;
  while (g.occupied & (uint64_t(1) << l)) {
    std::merge(level_of<T>(g, l), level_of<T>(g, l) + b, cur, cur + b, tmp,
               [](T a, T c) { return to_key(a) < to_key(c); });
    for (size_t k = 0; k < b; ++k) cur[k] = tmp[2 * k + g.parity];
    g.parity ^= 1;
    g.occupied &= ~(uint64_t(1) << l);
    ++l;
  }
  std::memcpy(level_of<T>(g, l), cur, sizeof(T) * b);
  g.occupied |= uint64_t(1) << l;
}

template <class T>
void add(StreamVariable& v, Column<T> col, int64_t n) {
  int64_t j = 0;
  while (j < n) {
    if (v.current < 0 || v.seg[v.current].seen == v.seg[v.current].size) ++v.current;
    StreamSegment& g = v.seg[v.current];
    // a chunk that ends at the block's or the segment's end
    const int64_t room = std::min<int64_t>(g.block - g.fill, g.size - g.seen);
    const int64_t len = std::min(room, n - j);
    T* blk = block_of<T>(g) + g.fill;
    for (int64_t k = 0; k < len; ++k) blk[k] = col[j + k];
    g.fill += static_cast<int32_t>(len);
    g.seen += len;
    j += len;
    if (g.fill == g.block) {
      if (g.block > 1) Real<T>::radix(block_of<T>(g), merge_of<T>(g), g.block);
      carry<T>(g);
      g.fill = 0;
    }
  }
}

// Number of segments that n more observations open for variable v.
int64_t segments_opened(const StreamVariable& v, int64_t n, double eps, int64_t* last_index) {
  int64_t opened = 0, cur = v.current;
  int64_t room = cur < 0 ? 0 : v.seg[cur].size - v.seg[cur].seen;
  while (n > room) {
    n -= room;
    ++cur;
    ++opened;
    StreamSegment g;
    segment_shape(cur, eps, &g);
    room = g.size;
  }
  *last_index = cur;
  return opened;
}

// Summary values of v (capacity), an upper bound of what a query gathers.
int64_t gather_capacity(const StreamVariable& v) {
  int64_t c = 0;
  for (int32_t k = 0; k < v.segments; ++k) c += static_cast<int64_t>(v.seg[k].levels + 1) * v.seg[k].block;
  return c;
}

// ---- quantiles from the summary ---------------------------------------------------------------------
template <class T>
struct Weighted {
  KeyOf<T> key;
  double w;  // weight, then the cumulative weight up to and including this value
};

template <class T>
void query(const StreamVariable& v, Weighted<T>* scr, const T* orders, int64_t m, T* out) {
  int64_t G = 0;
  double N = 0;
  for (int32_t s = 0; s < v.segments; ++s) {
    const StreamSegment& g = v.seg[s];
    for (int32_t k = 0; k < g.fill; ++k) scr[G++] = {to_key(block_of<T>(g)[k]), 1.0};
    for (int l = 0; l < g.levels; ++l)
      if (g.occupied & (uint64_t(1) << l)) {
        const double w = std::ldexp(1.0, l);
        const T* lv = level_of<T>(g, l);
        for (int32_t k = 0; k < g.block; ++k) scr[G++] = {to_key(lv[k]), w};
      }
    N += static_cast<double>(g.seen);
  }
  if (G == 0) return;
  std::sort(scr, scr + G, [](const Weighted<T>& a, const Weighted<T>& b) { return a.key < b.key; });
  double c = 0;
  for (int64_t k = 0; k < G; ++k) scr[k].w = (c += scr[k].w);
  for (int64_t o = 0; o < m; ++o) {
    double r = std::ceil(static_cast<double>(orders[o]) * N);
    if (r < 1) r = 1;
    if (r > N) r = N;
    // the first value whose estimated count of values <= it reaches r (among equal values, the
    // last one carries the count)
    const Weighted<T>* it = std::lower_bound(scr, scr + G, r, [](const Weighted<T>& a, double rr) { return a.w < rr; });
    if (it == scr + G) it = scr + G - 1;
    out[o] = from_key<T>(it->key);
  }
}

template <class T>
int32_t stream_quantiles(HoxSSTask* t, uint64_t, uint64_t method, const ThreadingServices* th) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  // 1. checks
  if (!t->observ_n) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  const int64_t n = read_int(t, t->observ_n);
  if (n < 0 || n > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  bool rows = true;
  if (n > 0) {
    if (!t->observ) return HOX_SS_ERR_NULL_OBSERV;
    if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
    if (!observ_storage_by_bits(read_int(t, t->observ_storage), &rows)) return HOX_SS_ERR_BAD_STORAGE;
  }
  if (!t->squantiles) return HOX_SS_ERR_NULL_STREAM_QUANTILES;
  const T* orders = static_cast<const T*>(t->squant_order);
  if (!orders) return HOX_SS_ERR_BAD_STREAM_QUANT_ORDER;
  if (!t->squant_order_n) return HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N;
  const int64_t m = read_int(t, t->squant_order_n);
  if (m < 0 || m > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N;
  if (!t->squant_params_n) return HOX_SS_ERR_NULL_STREAM_QUANT_PARAMS_ALT;
  if (read_int(t, t->squant_params_n) != 1) return HOX_SS_ERR_BAD_STREAM_QUANT_PARAMS_N;
  for (int64_t k = 0; k < m; ++k)
    if (!(orders[k] >= 0 && orders[k] <= 1)) return HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N;
  if (!t->squant_params) return HOX_SS_ERR_NULL_STREAM_QUANT_PARAMS;
  if (!(method & (HOX_SS_METHOD_STREAM_QUANTILES | HOX_SS_METHOD_STREAM_QUANTILES_ALT))) return HOX_SS_ERR_BAD_METHOD;
  const double eps = static_cast<const T*>(t->squant_params)[0];
  if (!(eps > 0 && eps <= 1)) return HOX_SS_ERR_BAD_STREAM_QUANT_EPS;
  int64_t p;
  if (int32_t st = read_dimension(t, &p)) return st;
  Dims d{p, n};
  if (n > 0) {
    size_t bytes;
    if (!serv::checked_mul(p, n, &bytes) || !serv::checked_mul(bytes, sizeof(T), &bytes)) return HOX_SS_ERR_NO_MEMORY;
  }
  if (p == 1) rows = true;
  size_t out_bytes;
  if (!serv::checked_mul(p, m, &out_bytes) || !serv::checked_mul(out_bytes, sizeof(T), &out_bytes))
    return HOX_SS_ERR_NO_MEMORY;
  auto selected = [&](int64_t i) { return !t->indices || read_int_at(t, t->indices, i) != 0; };

  // 2. the state
  StreamState* s = static_cast<StreamState*>(t->squant_state);
  const bool first = s == nullptr;
  if (first) {
    size_t bytes;
    if (!serv::checked_mul(p, sizeof(StreamVariable), &bytes) || !serv::checked_add(bytes, sizeof(StreamState), &bytes))
      return HOX_SS_ERR_NO_MEMORY;
    s = static_cast<StreamState*>(qor_serv_allocate(bytes, 128));
    if (!s) return HOX_SS_ERR_NO_MEMORY;
    s->p = p;
    s->precision = sizeof(T) == sizeof(double) ? 1 : 0;
    s->mode = (method & HOX_SS_METHOD_STREAM_QUANTILES) ? 1 : 0;
    for (int64_t i = 0; i < p; ++i) s->var[i] = {0, -1, selected(i) ? 1 : 0, nullptr};
    t->squant_state = s;
    t->release = &release_state;
    t->release_count = 1;
  } else {
    if (s->p != p) return HOX_SS_ERR_BAD_DIMENSION;
    bool any = false;
    for (int64_t i = 0; i < p; ++i) {
      if (!selected(i)) continue;
      if (!s->var[i].active) return HOX_SS_ERR_BAD_INDICES;
      any = true;
    }
    if (!any) return HOX_SS_ERR_BAD_INDICES;
  }
  auto fail = [&]() {
    if (first) release_state(t);
    return HOX_SS_ERR_NO_MEMORY;
  };

  // the variables of this call
  int64_t q = 0;
  for (int64_t i = 0; i < p; ++i) q += selected(i) && s->var[i].active;
  if (q == 0) return 0;
  Carver count;
  count.take<int32_t>(static_cast<uint64_t>(q));
  if (count.overflow) return fail();
  int32_t* sel = static_cast<int32_t*>(qor_serv_allocate(count.used, 128));
  if (!sel) return fail();
  {
    int64_t k = 0;
    for (int64_t i = 0; i < p; ++i)
      if (selected(i) && s->var[i].active) sel[k++] = static_cast<int32_t>(i);
  }

  // 3. every segment this call opens, before anything changes
  struct Grow {
    StreamSegment* seg;  // the new records array, or null when no segment opens
  };
  Grow* grow = static_cast<Grow*>(qor_serv_allocate(sizeof(Grow) * static_cast<size_t>(q), 128));
  bool ok = grow != nullptr;
  int64_t made = 0;  // variables whose new records are complete
  for (; ok && made < q; ++made) {
    StreamVariable& v = s->var[sel[made]];
    grow[made].seg = nullptr;
    int64_t last;
    const int64_t opened = segments_opened(v, n, eps, &last);
    if (opened == 0) continue;
    const int64_t total = v.segments + opened;
    size_t bytes;
    if (total > std::numeric_limits<int32_t>::max() || !serv::checked_mul(total, sizeof(StreamSegment), &bytes)) {
      ok = false;
      break;
    }
    StreamSegment* rec = static_cast<StreamSegment*>(qor_serv_allocate(bytes, 128));
    if (!rec) {
      ok = false;
      break;
    }
    if (v.segments > 0) std::memcpy(rec, v.seg, sizeof(StreamSegment) * static_cast<size_t>(v.segments));
    int64_t k = v.segments;
    for (; k < total; ++k) {
      segment_shape(k, eps, &rec[k]);
      size_t vb;
      if (!segment_bytes(rec[k], sizeof(T), &vb) || !(rec[k].values = qor_serv_allocate(vb, 128))) break;
    }
    if (k < total) {
      for (int64_t u = v.segments; u < k; ++u) qor_serv_deallocate(rec[u].values);
      qor_serv_deallocate(rec);
      ok = false;
      break;
    }
    grow[made].seg = rec;
  }
  // the query scratch: one gather array per thread, as long as the largest summary
  int64_t cap = 0;
  const int64_t nthreads = std::min(thread_budget(th), q);
  void* qscr = nullptr;
  size_t per_thread = 0;
  if (ok && m > 0) {
    for (int64_t k = 0; k < q; ++k) {
      const StreamVariable& v = s->var[sel[k]];
      StreamVariable nv = v;
      if (grow[k].seg) {
        int64_t last;
        nv.segments = static_cast<int32_t>(v.segments + segments_opened(v, n, eps, &last));
        nv.seg = grow[k].seg;
      }
      cap = std::max(cap, gather_capacity(nv));
    }
    Carver c2;
    for (int64_t k = 0; k < nthreads; ++k) c2.take<Weighted<T>>(static_cast<uint64_t>(cap));
    per_thread = c2.used / static_cast<size_t>(nthreads);
    if (c2.overflow || !(qscr = qor_serv_allocate(c2.used, 128))) ok = false;
  }
  if (!ok) {
    for (int64_t k = 0; k < made; ++k)
      if (grow[k].seg) {
        const StreamVariable& v = s->var[sel[k]];
        int64_t last;
        const int64_t total = v.segments + segments_opened(v, n, eps, &last);
        for (int64_t u = v.segments; u < total; ++u) qor_serv_deallocate(grow[k].seg[u].values);
        qor_serv_deallocate(grow[k].seg);
      }
    qor_serv_deallocate(grow);
    qor_serv_deallocate(sel);
    return fail();
  }
  for (int64_t k = 0; k < q; ++k) {
    if (!grow[k].seg) continue;
    StreamVariable& v = s->var[sel[k]];
    int64_t last;
    const int64_t total = v.segments + segments_opened(v, n, eps, &last);
    qor_serv_deallocate(v.seg);
    v.seg = grow[k].seg;
    v.segments = static_cast<int32_t>(total);
  }
  qor_serv_deallocate(grow);

  // 4. add and read, per variable
  const T* x = static_cast<const T*>(t->observ);
  T* out = static_cast<T*>(t->squantiles);
  auto body = [&](int32_t item, int32_t thread) -> int32_t {
    const int64_t i = sel[item];
    StreamVariable& v = s->var[i];
    if (n > 0) add<T>(v, column(x, d, rows, i), n);
    if (m > 0) query<T>(v, reinterpret_cast<Weighted<T>*>(static_cast<char*>(qscr) + per_thread * thread), orders, m, out + i * m);
    return 0;
  };
  const int32_t st = parallel_items(th, q, nthreads, body);
  qor_serv_deallocate(qscr);
  qor_serv_deallocate(sel);
  return st;
}

}  // namespace

size_t stream_summary_reals(const HoxSSTask* t, int64_t i, int64_t* observations) {
  *observations = 0;
  const StreamState* s = t ? static_cast<const StreamState*>(t->squant_state) : nullptr;
  if (!s || i < 0 || i >= s->p) return 0;
  size_t reals = 0;
  const StreamVariable& v = s->var[i];
  for (int32_t k = 0; k < v.segments; ++k) {
    reals += static_cast<size_t>(v.seg[k].levels + 3) * static_cast<size_t>(v.seg[k].block);
    *observations += v.seg[k].seen;
  }
  return reals;
}

}  // namespace qor::ss::order

using qor::ss::order::stream_quantiles;
QOR_SS_COMPUTE_ENTRY(StreamQuantiles, stream_quantiles)
