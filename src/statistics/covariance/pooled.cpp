// _hoxdSSPooledCovariance / _hoxsSSPooledCovariance: per-group means and covariances and the
// pooled mean and covariance of observations that carry a group number, weighted, in one pass.
//
// Each thread takes its range of observations (slot 2 of the threading table) in blocks of up to
// kBlock observations. Within a block the observations of one group are summed exactly about
// the block's own group mean (the cross-product by a rank-k update, qor_blas_dsyrk, of the
// centred observations times sqrt(w)), and that block part is merged into the thread's running
// part of the group with the pairwise update (mean, W, V, C += C_b + W_a W_b / W d d^T); the
// threads' parts are merged in thread order on the calling thread. Accumulation is in double.
//
// Outputs: group g's mean m_g and covariance C_g / (W_g - V_g / W_g) for every group whose entry
// in the group-selection array is non-zero, packed one after another in group order; the pooled
// mean sum_g W_g m_g / sum_g W_g and the pooled covariance sum_g C_g / sum_g (W_g - V_g / W_g).
// G, the number of groups, is one more than the largest group number; a negative group number is
// refused (-4038). A group without observations of positive weight gets NaN means and
// covariances.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "qor/service.h"
#include "service/size_math.h"
#include "statistics/entry.h"
#include "statistics/order/order_internal.h"

namespace qor::ss::pooled {
namespace {

using order::Dims;

constexpr int64_t kBlock = 4096;

struct GroupPart {
  double W, V;
  double* m;  // q
  double* C;  // q x q upper triangle (column-major), or null
};

template <class T>
struct Ctx {
  const T* x;
  const T* w;
  const HoxSSTask* t;
  Dims d;
  bool rows, cov;
  int64_t q, G;
  const int32_t* sel;
  int nthreads;
  GroupPart* parts;   // nthreads x G
  double* scratch;    // per thread: Z (q x kBlock), Cb (q x q), e (q), d (q), rows: xb (q x kBlock)
  int64_t scratch_stride;
  int64_t* order;     // per thread: kBlock (group, observation) keys
};

// part a := a merged with the block part (Wb, Vb, e, Cb).
void merge(GroupPart& a, double Wb, double Vb, const double* e, const double* Cb, int64_t q, double* dl) {
  if (!(Wb > 0)) return;
  if (a.W == 0) {
    a.W = Wb;
    a.V = Vb;
    std::memcpy(a.m, e, sizeof(double) * q);
    if (a.C) std::memcpy(a.C, Cb, sizeof(double) * q * q);
    return;
  }
  const double W = a.W + Wb, g = a.W * Wb / W;
  for (int64_t k = 0; k < q; ++k) {
    dl[k] = e[k] - a.m[k];
    a.m[k] += dl[k] * (Wb / W);
  }
  if (a.C)
    for (int64_t j = 0; j < q; ++j)
      for (int64_t i = 0; i <= j; ++i) a.C[i + j * q] += Cb[i + j * q] + g * dl[i] * dl[j];
  a.W = W;
  a.V += Vb;
}

template <class T>
void thread_body(int32_t thread, void*, int32_t, void* context) {
  Ctx<T>& c = *static_cast<Ctx<T>*>(context);
  const int64_t n = c.d.n, share = n / c.nthreads;
  const int64_t lo = thread * share, hi = thread == c.nthreads - 1 ? n : lo + share;
  const int64_t q = c.q;
  GroupPart* parts = c.parts + static_cast<int64_t>(thread) * c.G;
  double* Z = c.scratch + thread * c.scratch_stride;
  double* Cb = Z + q * kBlock;
  double* e = Cb + (c.cov ? q * q : 0);
  double* dl = e + q;
  double* xb = dl + q;  // rows storage: the block's observations, one q-vector each
  int64_t* ord = c.order + thread * kBlock;
  const qor_int qi = static_cast<qor_int>(q);
  int64_t base = 0;  // first observation of the block in xb
  auto at = [&](int64_t k, int64_t j) -> double {
    return c.rows ? xb[(j - base) * q + k] : static_cast<double>(c.x[j * c.d.p + c.sel[k]]);
  };
  for (int64_t j0 = lo; j0 < hi; j0 += kBlock) {
    const int64_t j1 = std::min(hi, j0 + kBlock);
    if (c.rows) {  // each variable's run read once, in order, into observation vectors
      base = j0;
      for (int64_t k = 0; k < q; ++k) {
        const T* r = c.x + c.sel[k] * n;
        for (int64_t j = j0; j < j1; ++j) xb[(j - j0) * q + k] = r[j];
      }
    }
    // the block's observations of positive weight, by group (group in the high bits)
    int64_t nb = 0;
    for (int64_t j = j0; j < j1; ++j) {
      if (c.w && !(c.w[j] > 0)) continue;
      const int64_t g = read_int_at(c.t, c.t->group_indc, j);
      ord[nb++] = g * kBlock + (j - j0);
    }
    std::sort(ord, ord + nb);
    for (int64_t a = 0; a < nb;) {
      const int64_t g = ord[a] / kBlock;
      int64_t b = a;
      while (b < nb && ord[b] / kBlock == g) ++b;
      const int64_t len = b - a;
      double Wb = 0, Vb = 0;
      std::fill(e, e + q, 0.0);
      for (int64_t r = a; r < b; ++r) {
        const int64_t j = j0 + ord[r] % kBlock;
        const double wj = c.w ? static_cast<double>(c.w[j]) : 1.0;
        Wb += wj;
        Vb += wj * wj;
        for (int64_t k = 0; k < q; ++k) e[k] += wj * at(k, j);
      }
      for (int64_t k = 0; k < q; ++k) e[k] /= Wb;
      if (c.cov) {
        for (int64_t r = a; r < b; ++r) {
          const int64_t j = j0 + ord[r] % kBlock;
          const double sw = c.w ? std::sqrt(static_cast<double>(c.w[j])) : 1.0;
          double* z = Z + (r - a) * q;
          for (int64_t k = 0; k < q; ++k) z[k] = sw * (at(k, j) - e[k]);
        }
        const qor_int li = static_cast<qor_int>(len);
        const double one = 1, zero = 0;
        qor_blas_dsyrk("U", "N", &qi, &li, &one, Z, &qi, &zero, Cb, &qi);
      }
      merge(parts[g], Wb, Vb, e, Cb, q, dl);
      a = b;
    }
  }
}

template <class T>
int32_t pooled(HoxSSTask* t, uint64_t estimates, uint64_t method, const ThreadingServices* th) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  bool rows;
  if (!observ_storage_by_bits(read_int(t, t->observ_storage), &rows)) return HOX_SS_ERR_BAD_STORAGE;
  if (!t->group_indc) return HOX_SS_ERR_NULL_GROUPS;
  const bool want_pm = estimates & HOX_SS_EST_POOLED_MEAN, want_pc = estimates & HOX_SS_EST_POOLED_COV;
  const bool want_gm = estimates & HOX_SS_EST_GROUP_MEAN, want_gc = estimates & HOX_SS_EST_GROUP_COV;
  if (want_pm && !t->pooled_mean) return HOX_SS_ERR_NULL_POOLED_MEAN;
  if (want_pc) {
    if (!t->pooled_cov_storage) return HOX_SS_ERR_NULL_STORAGE;
    if (!t->pooled_cov) return HOX_SS_ERR_NULL_POOLED_COV;
  }
  if (want_gc || want_gm) {
    if (!t->group_cov_indc) return HOX_SS_ERR_NULL_GROUPS;
    if (!t->group_mean) return HOX_SS_ERR_NULL_GROUP_MEAN;
  }
  if (want_gc) {
    if (!t->group_cov_storage) return HOX_SS_ERR_NULL_STORAGE;
    if (!t->group_cov) return HOX_SS_ERR_NULL_GROUP_COV;
  }
  if (!(method & HOX_SS_METHOD_ONE_PASS)) return HOX_SS_ERR_BAD_METHOD;
  Dims d;
  if (int32_t st = order::read_observations<T>(t, &d)) return st;
  if (d.p == 1) rows = true;
  if (!want_pm && !want_pc && !want_gm && !want_gc) return 0;
  int64_t G = 0;
  for (int64_t j = 0; j < d.n; ++j) {
    const int64_t g = read_int_at(t, t->group_indc, j);
    if (g < 0 || g >= std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_GROUP_INDC;
    G = std::max(G, g + 1);
  }
  const int64_t q = order::selected_count(t, d.p);
  if (q == 0) return 0;
  const bool cov = want_pc || want_gc;
  size_t mbytes;
  if (cov && !(serv::checked_mul(d.p, d.p, &mbytes) && serv::checked_mul(mbytes, sizeof(T), &mbytes)))
    return HOX_SS_ERR_NO_MEMORY;

  // threads: more than 8192 units of work (n q^2 with a matrix, else n q) and 16 observations each
  int64_t T_ = 1;
  if (th && th->parallel_run && th->max_threads) T_ = std::max<int32_t>(1, th->max_threads());
  const double work = static_cast<double>(d.n) * static_cast<double>(q) * (cov ? static_cast<double>(q) : 1.0);
  T_ = std::min<int64_t>(T_, static_cast<int64_t>(work / 8192));
  T_ = std::min<int64_t>(T_, d.n / 16);
  if (T_ < 1) T_ = 1;

  const uint64_t Q = static_cast<uint64_t>(q);
  const uint64_t per_group = Q + (cov ? Q * Q : 0);
  const uint64_t stride = Q * (cov ? kBlock : 0) + (cov ? Q * Q : 0) + 2 * Q + (rows ? Q * kBlock : 0);
  Carver count;
  auto carve = [&](Carver& cv, Ctx<T>* c) {
    int32_t* sel = cv.take<int32_t>(Q);
    GroupPart* parts = cv.take<GroupPart>(static_cast<uint64_t>(T_) * static_cast<uint64_t>(G));
    uint64_t cells = 0;
    if (!serv::checked_mul(static_cast<uint64_t>(T_) * static_cast<uint64_t>(G), per_group, &cells)) cv.overflow = true;
    double* arrays = cv.take<double>(cells);
    double* scratch = cv.take<double>(static_cast<uint64_t>(T_) * stride + 4 * Q);
    int64_t* ord = cv.take<int64_t>(static_cast<uint64_t>(T_) * kBlock);
    if (!c) return;
    c->sel = sel;
    c->parts = parts;
    c->scratch = scratch;
    c->order = ord;
    for (int64_t k = 0; k < T_ * G; ++k) {
      parts[k].W = parts[k].V = 0;
      parts[k].m = arrays + k * per_group;
      parts[k].C = cov ? parts[k].m + Q : nullptr;
      std::memset(parts[k].m, 0, sizeof(double) * per_group);
    }
  };
  carve(count, nullptr);
  if (count.overflow) return HOX_SS_ERR_NO_MEMORY;
  void* block = qor_serv_allocate(count.used, 128);
  if (!block) return HOX_SS_ERR_NO_MEMORY;
  Ctx<T> c{};
  Carver cv{static_cast<char*>(block)};
  carve(cv, &c);
  order::list_selected(t, d.p, const_cast<int32_t*>(c.sel));
  c.x = static_cast<const T*>(t->observ);
  c.w = static_cast<const T*>(t->weights);
  c.t = t;
  c.d = d;
  c.rows = rows;
  c.cov = cov;
  c.q = q;
  c.G = G;
  c.nthreads = static_cast<int>(T_);
  c.scratch_stride = static_cast<int64_t>(stride);
  if (T_ > 1) th->parallel_run(static_cast<int32_t>(T_), &c, &thread_body<T>);
  else thread_body<T>(0, nullptr, 1, &c);

  // threads in order into thread 0's parts
  double* dl = c.scratch + T_ * static_cast<int64_t>(stride);
  for (int64_t k = 1; k < T_; ++k)
    for (int64_t g = 0; g < G; ++g) {
      const GroupPart& b = c.parts[k * G + g];
      merge(c.parts[g], b.W, b.V, b.m, b.C, q, dl);
    }
  const int32_t* sel = c.sel;
  const int64_t p = d.p;
  // pooled: the merge of all groups' means, and sum of cross-products over sum of divisors
  double* pm = dl + Q;
  double* pc = c.scratch;  // thread 0's scratch is free now: q x q
  double Wt = 0, den = 0;
  std::fill(pm, pm + q, 0.0);
  if (cov) std::fill(pc, pc + q * q, 0.0);
  for (int64_t g = 0; g < G; ++g) {
    const GroupPart& a = c.parts[g];
    if (!(a.W > 0)) continue;
    Wt += a.W;
    for (int64_t k = 0; k < q; ++k) pm[k] += (a.m[k] - pm[k]) * (a.W / Wt);
    den += a.W - a.V / a.W;
    if (cov)
      for (int64_t j = 0; j < q; ++j)
        for (int64_t i = 0; i <= j; ++i) pc[i + j * q] += a.C[i + j * q];
  }
  if (want_pm) {
    T* out = static_cast<T*>(t->pooled_mean);
    for (int64_t k = 0; k < q; ++k) out[sel[k]] = static_cast<T>(Wt > 0 ? pm[k] : NAN);
  }
  if (want_pc)
    write_matrix(static_cast<T*>(t->pooled_cov), decode_matrix(t, t->pooled_cov_storage), p, sel, q, pc, q, 1.0 / den);
  if (want_gm || want_gc) {
    const Mat gst = want_gc ? decode_matrix(t, t->group_cov_storage) : Mat::full;
    const int64_t msize = gst == Mat::full ? p * p : p * (p + 1) / 2;
    int64_t s = 0;
    for (int64_t g = 0; g < G; ++g) {
      if (read_int_at(t, t->group_cov_indc, g) == 0) continue;
      const GroupPart& a = c.parts[g];
      const bool empty = !(a.W > 0);
      T* gm = static_cast<T*>(t->group_mean) + s * p;
      for (int64_t k = 0; k < q; ++k) gm[sel[k]] = static_cast<T>(empty ? NAN : a.m[k]);
      if (want_gc)
        write_matrix(static_cast<T*>(t->group_cov) + s * msize, gst, p, sel, q, a.C, q,
                     empty ? NAN : 1.0 / (a.W - a.V / a.W));
      ++s;
    }
  }
  qor_serv_deallocate(block);
  return 0;
}

}  // namespace
}  // namespace qor::ss::pooled

using qor::ss::pooled::pooled;
QOR_SS_COMPUTE_ENTRY(PooledCovariance, pooled)
