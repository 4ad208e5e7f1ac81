// Block kernels of the moments method: one instance per (method, storage, weighting, orders,
// cross-product), so that nothing in an inner loop tests what to compute.
//
// One-pass: each block of B observations is reduced on its own in one sweep, as sums of powers
// of deviations from a shift close to the block's mean (the running mean; the block's first
// value for the first block), turned into sums about the block's exact mean by the shift
// formulas, and merged into the thread's running estimate with the pairwise update formulas.
// With a cross-product, the block's deviations are kept in Z and added by a rank-k update.
// Given mean: sums of powers of deviations from the caller's mean, simply added up.
// Fast: raw power sums and the raw cross-product; the central quantities follow at the end.
#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstring>
#include <optional>
#include <type_traits>

#include "qor/service.h"
#include "statistics/moments/basic_internal.h"
#include "random/distributions/vm_bridge.h"

namespace qor::ss { namespace vm = ::qor::vm_bridge; }

namespace qor::ss::basic {
namespace {

// Sum and sum of squares of the block's weights; with a cross-product also their square roots.
template <class T, bool Wt, bool COV>
inline void block_weights(const T* w, int64_t B, double* sw, double& Wb, double& Vb) {
  if constexpr (!Wt) {
    Wb = Vb = static_cast<double>(B);
  } else {
    double a[2] = {0, 0}, b[2] = {0, 0};
    int64_t j = 0;
    for (; j + 2 <= B; j += 2) {
      const double w0 = w[j], w1 = w[j + 1];
      a[0] += w0; a[1] += w1;
      b[0] += w0 * w0; b[1] += w1 * w1;
      if constexpr (COV) { sw[j] = w0; sw[j + 1] = w1; }
    }
    for (; j < B; ++j) {
      const double w0 = w[j];
      a[0] += w0; b[0] += w0 * w0;
      if constexpr (COV) sw[j] = w0;
    }
    if constexpr (COV) vm::sqrt(static_cast<int32_t>(B), sw, sw);
    Wb = a[0] + a[1];
    Vb = b[0] + b[1];
  }
}

// sum of w x over a contiguous run (four independent accumulators).
template <class T, bool Wt>
inline double run_sum(const T* x, const T* w, int64_t B) {
  double a[4] = {0, 0, 0, 0};
  int64_t j = 0;
  for (; j + 4 <= B; j += 4)
    for (int l = 0; l < 4; ++l)
      a[l] += Wt ? static_cast<double>(w[j + l]) * x[j + l] : static_cast<double>(x[j + l]);
  for (; j < B; ++j) a[0] += Wt ? static_cast<double>(w[j]) * x[j] : static_cast<double>(x[j]);
  return (a[0] + a[1]) + (a[2] + a[3]);
}

// Deviation and raw power sums over a contiguous run about `c`; out[0] = sum w x,
// out[1..4] = sum w d^k (k <= CC; out[1] only when D1), out[5..7] = sum w x^k (k = 2..RR).
// With COV, z[j] = sqrt(w_j) d_j (or sqrt(w_j) x_j when RAWZ).
template <class T, bool Wt, bool S1, bool D1, int RR, int CC, bool COV, bool RAWZ>
inline void run_powers(const T* x, const T* w, const double* sw, int64_t B, double c,
                       double* out, double* z) {
  double s1[4] = {}, d1[4] = {}, d2[4] = {}, d3[4] = {}, d4[4] = {}, r2[4] = {}, r3[4] = {},
         r4[4] = {};
  auto body = [&](int64_t j, int l) {
    const double xv = x[j];
    const double wv = Wt ? static_cast<double>(w[j]) : 1.0;
    if constexpr (S1) s1[l] += Wt ? wv * xv : xv;
    if constexpr (CC >= 2 || D1 || (COV && !RAWZ)) {
      const double dv = xv - c;
      const double wd = Wt ? wv * dv : dv;
      if constexpr (D1) d1[l] += wd;
      if constexpr (CC >= 2) {
        const double wd2 = wd * dv;
        d2[l] += wd2;
        if constexpr (CC >= 3) {
          const double wd3 = wd2 * dv;
          d3[l] += wd3;
          if constexpr (CC >= 4) d4[l] += wd3 * dv;
        }
      }
      if constexpr (COV && !RAWZ) z[j] = Wt ? sw[j] * dv : dv;
    }
    if constexpr (COV && RAWZ) z[j] = Wt ? sw[j] * xv : xv;
    if constexpr (RR >= 2) {
      const double wx2 = (Wt ? wv * xv : xv) * xv;
      r2[l] += wx2;
      if constexpr (RR >= 3) {
        const double wx3 = wx2 * xv;
        r3[l] += wx3;
        if constexpr (RR >= 4) r4[l] += wx3 * xv;
      }
    }
  };
  int64_t j = 0;
  for (; j + 4 <= B; j += 4) {
    body(j, 0); body(j + 1, 1); body(j + 2, 2); body(j + 3, 3);
  }
  for (; j < B; ++j) body(j, 0);
  auto red = [](const double* a) { return (a[0] + a[1]) + (a[2] + a[3]); };
  out[0] = red(s1); out[1] = red(d1); out[2] = red(d2); out[3] = red(d3); out[4] = red(d4);
  out[5] = red(r2); out[6] = red(r3); out[7] = red(r4);
}

// hi + lo := big + small, hi the rounded sum and lo its rounding error (|big| >= |small|, or
// big == 0).
inline void two_sum_into(double& hi, double& lo, double big, double small) {
  const double s = big + small;
  lo = small - (s - big);
  hi = s;
}

// Deviation power sums of a contiguous run of doubles about c (SSE2, two vectors of two lanes):
// out[1..CC] = sum w (x - c)^k, with COV z[j] = sqrt(w_j) (x_j - c).
template <bool Wt, int CC, bool COV>
inline void run_deviations_sse2(const double* x, const double* w, const double* sw, int64_t B,
                                double c, double* out, double* z) {
  // four independent vector accumulators per order (eight doubles per step)
  constexpr int L = 4;
  const __m128d vc = _mm_set1_pd(c);
  __m128d s1[L], s2[L], s3[L], s4[L];
  for (int l = 0; l < L; ++l) s1[l] = s2[l] = s3[l] = s4[l] = _mm_setzero_pd();
  int64_t j = 0;
  for (; j + 2 * L <= B; j += 2 * L) {
    for (int l = 0; l < L; ++l) {
      const double* xp = x + j + 2 * l;
      const __m128d d = _mm_sub_pd(_mm_loadu_pd(xp), vc);
      __m128d e = Wt ? _mm_mul_pd(_mm_loadu_pd(w + j + 2 * l), d) : d;
      s1[l] = _mm_add_pd(s1[l], e);
      if constexpr (CC >= 2) {
        e = _mm_mul_pd(e, d);
        s2[l] = _mm_add_pd(s2[l], e);
      }
      if constexpr (CC >= 3) {
        e = _mm_mul_pd(e, d);
        s3[l] = _mm_add_pd(s3[l], e);
      }
      if constexpr (CC >= 4) s4[l] = _mm_add_pd(s4[l], _mm_mul_pd(e, d));
      if constexpr (COV)
        _mm_storeu_pd(z + j + 2 * l, Wt ? _mm_mul_pd(_mm_loadu_pd(sw + j + 2 * l), d) : d);
    }
  }
  auto hsum = [](const __m128d* a) {
    double t[2];
    _mm_storeu_pd(t, _mm_add_pd(_mm_add_pd(a[0], a[1]), _mm_add_pd(a[2], a[3])));
    return t[0] + t[1];
  };
  double r1 = hsum(s1), r2 = hsum(s2), r3 = hsum(s3), r4 = hsum(s4);
  for (; j < B; ++j) {
    const double d = x[j] - c, wv = Wt ? w[j] : 1.0;
    const double e = wv * d;
    r1 += e;
    if constexpr (CC >= 2) r2 += e * d;
    if constexpr (CC >= 3) r3 += e * d * d;
    if constexpr (CC >= 4) r4 += e * d * d * d;
    if constexpr (COV) z[j] = Wt ? sw[j] * d : d;
  }
  out[1] = r1;
  out[2] = r2;
  out[3] = r3;
  out[4] = r4;
}

// Merge a block (weight Wb, sums d[k] = sum w (x - mb)^k, k = 1..max(RR, CC), about a shift mb
// close to its mean) into variable k of part a; records the mean correction e and the mean
// shift delta for the cross-product update. The raw sums follow from the same deviation sums
// (sum w x^k = sum w (mb + d)^k), so the sweep accumulates deviation powers only.
template <int RR, int CC>
inline void merge_block_var(Part& a, int64_t k, double Wa, double Wb, double fa, double fb,
                            double mb, const double* d, double& e_out, double& delta_out) {
  // Sums about the block's exact mean from sums about the rounded mean mb (shift by e).
  const double e = d[1] / Wb;
  double M2b = 0, M3b = 0, M4b = 0;
  if constexpr (CC >= 2) M2b = d[2] - e * d[1];
  if constexpr (CC >= 3) M3b = d[3] - 3 * e * d[2] + 2 * Wb * e * e * e;
  if constexpr (CC >= 4) M4b = d[4] - 4 * e * d[3] + 6 * e * e * d[2] - 3 * Wb * e * e * e * e;
  const double c = mb, cW = c * Wb;
  a.S[1][k] += cW + d[1];
  if constexpr (RR >= 2) a.S[2][k] += c * (cW + 2 * d[1]) + d[2];
  if constexpr (RR >= 3) a.S[3][k] += c * (c * (cW + 3 * d[1]) + 3 * d[2]) + d[3];
  if constexpr (RR >= 4) a.S[4][k] += c * (c * (c * (cW + 4 * d[1]) + 6 * d[2]) + 4 * d[3]) + d[4];
  e_out = e;
  if (Wa == 0) {
    delta_out = 0;
    two_sum_into(a.m[k], a.mlo[k], mb, e);
    if constexpr (CC >= 2) a.M[2][k] = M2b;
    if constexpr (CC >= 3) a.M[3][k] = M3b;
    if constexpr (CC >= 4) a.M[4][k] = M4b;
    return;
  }
  // mean shift: (mb - m) is exact when both are close (the case that matters: large offsets)
  const double dl = (mb - a.m[k]) + (e - a.mlo[k]);
  delta_out = dl;
  if constexpr (CC >= 4) {
    const double M2a = a.M[2][k], M3a = a.M[3][k];
    a.M[4][k] += M4b + dl * dl * dl * dl * Wa * fb * (fa * fa - fa * fb + fb * fb) +
                 6 * dl * dl * (fa * fa * M2b + fb * fb * M2a) + 4 * dl * (fa * M3b - fb * M3a);
  }
  if constexpr (CC >= 3) {
    const double M2a = a.M[2][k];
    a.M[3][k] += M3b + dl * dl * dl * Wa * fb * (fa - fb) + 3 * dl * (fa * M2b - fb * M2a);
  }
  if constexpr (CC >= 2) a.M[2][k] += M2b + dl * dl * Wa * fb;
  two_sum_into(a.m[k], a.mlo[k], a.m[k], a.mlo[k] + dl * fb);
}

inline void rank_k(bool rows, int64_t q, int64_t B, int64_t ldz, const double* Z, double* C) {
  const qor_int n = static_cast<qor_int>(q), k = static_cast<qor_int>(B);
  const qor_int lda = static_cast<qor_int>(ldz), ldc = static_cast<qor_int>(q);
  const double one = 1.0;
  qor_blas_dsyrk("U", rows ? "T" : "N", &n, &k, &one, Z, &lda, &one, C, &ldc);
}

// After a one-pass block: C += (block's sum about its rounded mean, added by rank_k)
//                              - Wb e e^T + Wa (Wb/W) delta delta^T   (upper triangle)
inline void cov_corrections(int64_t q, double* C, const double* e, const double* dl, double Wb,
                            double Wa, double fb) {
  const double g = Wa * fb;
  for (int64_t j = 0; j < q; ++j) {
    double* cj = C + j * q;
    const double ej = Wb * e[j], dj = g * dl[j];
    for (int64_t i = 0; i <= j; ++i) cj[i] += dj * dl[i] - ej * e[i];
  }
}

// ---- variable-by-row storage -----------------------------------------------------------------

// What both storage layouts need of a block [j0, j1) of thread t's part: its first observation
// of non-zero weight (those of zero weight at its start are passed over), its length, weights
// and the fractions of the merged weight. False when the block adds nothing (only zero weights).
// Taken apart by a structured binding at the head of each layout's block routine.
template <class T>
struct BlockHead {
  Part& a;     // thread t's part
  Scratch& s;  // and its scratch
  int64_t j0, B, q;
  const T* w;  // the block's weights (null without weights)
  double Wb, Vb, Wa, W, fa, fb;
};
template <class T, bool Wt, bool COV>
inline std::optional<BlockHead<T>> block_head(Ctx<T>& c, int t, int64_t j0, int64_t j1) {
  if constexpr (Wt) {
    while (j0 < j1 && c.w[j0] == 0) ++j0;
    if (j0 == j1) return std::nullopt;
  }
  const int64_t B = j1 - j0;
  const T* w = Wt ? c.w + j0 : nullptr;
  double Wb, Vb;
  block_weights<T, Wt, COV>(w, B, c.scr[t].sw, Wb, Vb);
  if (Wb == 0) return std::nullopt;
  const double Wa = c.parts[t].W, W = Wa + Wb;
  return BlockHead<T>{c.parts[t], c.scr[t], j0, B, c.q, w, Wb, Vb, Wa, W, Wa / W, Wb / W};
}

template <class T, Mode M, bool Wt, int RR, int CC, bool COV>
void rows_block(Ctx<T>& c, int t, int64_t j0_, int64_t j1) {
  const auto head = block_head<T, Wt, COV>(c, t, j0_, j1);
  if (!head) return;
  const auto& [a, s, j0, B, q, w, Wb, Vb, Wa, W, fa, fb] = *head;
  double* e = s.t[0];
  double* dl = s.t[1];
  for (int64_t k = 0; k < q; ++k) {
    const T* xr = c.x + static_cast<int64_t>(c.sel[k]) * c.n + j0;
    double* z = COV ? s.Z + k * B : nullptr;
    double o[8];
    if constexpr (M == Mode::one_pass) {
      // Deviations from a shift close to the block's mean: the running mean, or the block's
      // own mean (one more sweep, first block only). merge_block_var turns them into sums
      // about the block mean.
      const double c0 = Wa == 0 ? run_sum<T, Wt>(xr, w, B) / Wb : a.m[k];
      if constexpr (std::is_same_v<T, double>)
        run_deviations_sse2<Wt, CC, COV>(xr, w, s.sw, B, c0, o, z);
      else
        run_powers<T, Wt, false, true, 1, CC, COV, false>(xr, w, s.sw, B, c0, o, z);
      merge_block_var<RR, CC>(a, k, Wa, Wb, fa, fb, c0, o, e[k], dl[k]);
    } else if constexpr (M == Mode::given) {
      run_powers<T, Wt, true, false, RR, CC, COV, false>(xr, w, s.sw, B, c.g[k], o, z);
      a.S[1][k] += o[0];
      for (int r = 2; r <= CC; ++r) a.M[r][k] += o[r];
      for (int r = 2; r <= RR; ++r) a.S[r][k] += o[r + 3];
    } else {
      run_powers<T, Wt, true, false, RR, 0, COV, true>(xr, w, s.sw, B, 0.0, o, z);
      a.S[1][k] += o[0];
      for (int r = 2; r <= RR; ++r) a.S[r][k] += o[r + 3];
    }
  }
  if constexpr (COV) {
    rank_k(true, q, B, B, s.Z, a.C);
    if constexpr (M == Mode::one_pass) {
      if (Wa == 0)
        cov_corrections(q, a.C, e, dl, Wb, 0.0, 0.0);
      else
        cov_corrections(q, a.C, e, dl, Wb, Wa, fb);
    }
  }
  a.W = W;
  a.V += Vb;
}

// One-pass method without a cross-product, variable-by-row storage: a thread's range in
// stretches of up to kStretch blocks, each variable swept over the whole stretch before the next
// one, so that memory is read in long runs (a block of one variable is only 32 KB). The blocks,
// their shifts and their merges are those of rows_block, in the same order for each variable, so
// the results are the same as block by block.
template <class T, bool Wt, int RR, int CC>
void rows_range(Ctx<T>& c, int t, int64_t lo, int64_t hi) {
  // weighted: the stretch's weights are read again for each variable and should stay in cache
  constexpr int kStretch = Wt ? 8 : 64;
  struct Blk {
    int64_t j0, B;
    double Wa, Wb, fa, fb;
  };
  Blk blk[kStretch];
  Part& a = c.parts[t];
  const int64_t q = c.q;
  int64_t j = lo;
  while (j < hi) {
    int nb = 0;
    for (; nb < kStretch && j < hi; j += c.B) {
      int64_t j0 = j;
      const int64_t j1 = j + c.B < hi ? j + c.B : hi;
      if constexpr (Wt) {
        while (j0 < j1 && c.w[j0] == 0) ++j0;
        if (j0 == j1) continue;
      }
      double Wb, Vb;
      block_weights<T, Wt, false>(Wt ? c.w + j0 : nullptr, j1 - j0, nullptr, Wb, Vb);
      if (Wb == 0) continue;
      const double Wa = a.W, W = Wa + Wb;
      blk[nb++] = Blk{j0, j1 - j0, Wa, Wb, Wa / W, Wb / W};
      a.W = W;
      a.V += Vb;
    }
    for (int64_t k = 0; k < q; ++k) {
      const T* xk = c.x + static_cast<int64_t>(c.sel[k]) * c.n;
      for (int b = 0; b < nb; ++b) {
        const Blk& bk = blk[b];
        const T* xr = xk + bk.j0;
        const T* w = Wt ? c.w + bk.j0 : nullptr;
        double o[8], e, dl;
        const double c0 = bk.Wa == 0 ? run_sum<T, Wt>(xr, w, bk.B) / bk.Wb : a.m[k];
        if constexpr (std::is_same_v<T, double>)
          run_deviations_sse2<Wt, CC, false>(xr, w, nullptr, bk.B, c0, o, nullptr);
        else
          run_powers<T, Wt, false, true, 1, CC, false, false>(xr, w, nullptr, bk.B, c0, o, nullptr);
        merge_block_var<RR, CC>(a, k, bk.Wa, bk.Wb, bk.fa, bk.fb, c0, o, e, dl);
      }
    }
  }
}

// Accumulator arrays (q each) of the observation-by-row kernels.
struct Acc {
  double *s1, *d1, *d2, *d3, *d4, *r2, *r3, *r4;
};

// N consecutive observations (rows of x, ld apart) added into the accumulators; with COV their
// (weighted) deviations go to N rows of z (q apart).
template <class T, Mode M, bool Wt, int RR, int CC, bool COV, int N>
inline void col_sweep(const T* __restrict x, int64_t ld, int64_t q, const T* __restrict w,
                      const double* __restrict sw, const double* __restrict ctr, const Acc& A,
                      double* __restrict z) {
  constexpr bool kDev = M != Mode::fast;
  constexpr bool kRaw = M != Mode::one_pass;  // one-pass: raw sums follow from the deviations
  double wv[N], sv[N];
  for (int u = 0; u < N; ++u) {
    wv[u] = Wt ? static_cast<double>(w[u]) : 1.0;
    sv[u] = (Wt && COV) ? sw[u] : 1.0;
  }
  double* __restrict s1 = A.s1;
  double* __restrict d1 = A.d1;
  double* __restrict d2 = A.d2;
  double* __restrict d3 = A.d3;
  double* __restrict d4 = A.d4;
  double* __restrict r2 = A.r2;
  double* __restrict r3 = A.r3;
  double* __restrict r4 = A.r4;
  for (int64_t k = 0; k < q; ++k) {
    const double ck = kDev ? ctr[k] : 0.0;
    double a1 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, a2 = 0, a3 = 0, a4 = 0;
#pragma GCC unroll 8
    for (int u = 0; u < N; ++u) {
      const double xv = x[u * ld + k];
      if constexpr (kRaw) a1 += Wt ? wv[u] * xv : xv;
      if constexpr (kDev) {
        const double dv = xv - ck;
        const double wd = Wt ? wv[u] * dv : dv;
        if constexpr (M == Mode::one_pass) b1 += wd;
        if constexpr (CC >= 2) {
          const double wd2 = wd * dv;
          b2 += wd2;
          if constexpr (CC >= 3) {
            const double wd3 = wd2 * dv;
            b3 += wd3;
            if constexpr (CC >= 4) b4 += wd3 * dv;
          }
        }
        if constexpr (COV) z[u * q + k] = Wt ? sv[u] * dv : dv;
      } else if constexpr (COV) {
        z[u * q + k] = Wt ? sv[u] * xv : xv;
      }
      if constexpr (kRaw && RR >= 2) {
        const double wx2 = (Wt ? wv[u] * xv : xv) * xv;
        a2 += wx2;
        if constexpr (RR >= 3) {
          const double wx3 = wx2 * xv;
          a3 += wx3;
          if constexpr (RR >= 4) a4 += wx3 * xv;
        }
      }
    }
    if constexpr (kRaw) s1[k] += a1;
    if constexpr (M == Mode::one_pass) d1[k] += b1;
    if constexpr (CC >= 2) d2[k] += b2;
    if constexpr (CC >= 3) d3[k] += b3;
    if constexpr (CC >= 4) d4[k] += b4;
    if constexpr (kRaw && RR >= 2) r2[k] += a2;
    if constexpr (kRaw && RR >= 3) r3[k] += a3;
    if constexpr (kRaw && RR >= 4) r4[k] += a4;
  }
}

// One-pass, doubles, no cross-product, orders <= 2: d1 += sum w (x - ctr), d2 += sum w (x - ctr)^2
// over the q variables of B observations (rows of x, ld apart). SSE2 over pairs of variables,
// U observations per sweep, two independent accumulators per sum.
template <bool Wt, int CC>
inline void col_dev_sse2(const double* __restrict x, int64_t ld, int64_t q, int64_t B,
                         const double* __restrict w, const double* __restrict ctr,
                         double* __restrict d1, double* __restrict d2) {
  constexpr int U = 16;
  const int64_t kAhead = 16384;
  int64_t j = 0;
  for (; j + U <= B; j += U) {
    const double* xj = x + j * ld;
    __m128d wv[U];
    if constexpr (Wt)
      for (int u = 0; u < U; ++u) wv[u] = _mm_set1_pd(w[j + u]);
    // U rows are read side by side, 16 bytes of each per step, which the hardware prefetcher
    // follows poorly: each step asks for as many bytes (16 U) kAhead bytes further on
    const char* pf = reinterpret_cast<const char*>(xj) + kAhead;
    int64_t k = 0;
    for (; k + 2 <= q; k += 2) {
      for (int l = 0; l < U / 4; ++l) _mm_prefetch(pf + k * (8 * U) + 64 * l, _MM_HINT_T0);
      const __m128d ck = _mm_loadu_pd(ctr + k);
      __m128d a1 = _mm_setzero_pd(), b1 = a1, a2 = a1, b2 = a1;
      for (int u = 0; u < U; u += 2) {
        const __m128d da = _mm_sub_pd(_mm_loadu_pd(xj + u * ld + k), ck);
        const __m128d db = _mm_sub_pd(_mm_loadu_pd(xj + (u + 1) * ld + k), ck);
        const __m128d ea = Wt ? _mm_mul_pd(wv[u], da) : da;
        const __m128d eb = Wt ? _mm_mul_pd(wv[u + 1], db) : db;
        a1 = _mm_add_pd(a1, ea);
        b1 = _mm_add_pd(b1, eb);
        if constexpr (CC >= 2) {
          a2 = _mm_add_pd(a2, _mm_mul_pd(ea, da));
          b2 = _mm_add_pd(b2, _mm_mul_pd(eb, db));
        }
      }
      _mm_storeu_pd(d1 + k, _mm_add_pd(_mm_loadu_pd(d1 + k), _mm_add_pd(a1, b1)));
      if constexpr (CC >= 2)
        _mm_storeu_pd(d2 + k, _mm_add_pd(_mm_loadu_pd(d2 + k), _mm_add_pd(a2, b2)));
    }
    for (; k < q; ++k) {
      const double ck = ctr[k];
      double a1 = 0, b1 = 0, a2 = 0, b2 = 0;
      for (int u = 0; u < U; u += 2) {
        const double da = xj[u * ld + k] - ck, db = xj[(u + 1) * ld + k] - ck;
        const double ea = Wt ? w[j + u] * da : da, eb = Wt ? w[j + u + 1] * db : db;
        a1 += ea;
        b1 += eb;
        a2 += ea * da;
        b2 += eb * db;
      }
      d1[k] += a1 + b1;
      if constexpr (CC >= 2) d2[k] += a2 + b2;
    }
  }
  for (; j < B; ++j) {
    const double* xj = x + j * ld;
    const double wj = Wt ? w[j] : 1.0;
    for (int64_t k = 0; k < q; ++k) {
      const double dv = xj[k] - ctr[k];
      const double e = Wt ? wj * dv : dv;
      d1[k] += e;
      if constexpr (CC >= 2) d2[k] += e * dv;
    }
  }
}

// ---- observation-by-row storage --------------------------------------------------------------
// Sweeps over the variables of each observation; the accumulators are arrays over variables,
// so the inner loops have no carried dependence. With a partial selection the block's
// selected entries are first gathered into s.xc.

template <class T, Mode M, bool Wt, int RR, int CC, bool COV>
void cols_block(Ctx<T>& c, int t, int64_t j0_, int64_t j1) {
  const auto head = block_head<T, Wt, COV>(c, t, j0_, j1);
  if (!head) return;
  const auto& [a, s, j0, B, q, w, Wb, Vb, Wa, W, fa, fb] = *head;
  const T* xb;
  int64_t ld;
  if (c.all_selected) {
    xb = c.x + j0 * c.p;
    ld = c.p;
  } else {
    T* xc = static_cast<T*>(s.xc);
    for (int64_t j = 0; j < B; ++j) {
      const T* xr = c.x + (j0 + j) * c.p;
      for (int64_t k = 0; k < q; ++k) xc[j * q + k] = xr[c.sel[k]];
    }
    xb = xc;
    ld = q;
  }
  double* ctr = s.t[2];
  double* d1 = s.t[3];
  double* d2 = s.t[4];
  double* d3 = s.t[5];
  double* d4 = s.t[6];
  double* r2 = s.t[7];
  double* r3 = s.t[8];
  double* r4 = s.t[9];
  double* s1 = s.t[0];  // raw sums of the block (reused for e in the one-pass merge below)
  if constexpr (M == Mode::one_pass) {
    if (Wa == 0) {  // first block: its own mean
      std::memset(ctr, 0, sizeof(double) * q);
      for (int64_t j = 0; j < B; ++j) {
        const T* xr = xb + j * ld;
        const double wv = Wt ? static_cast<double>(w[j]) : 1.0;
        for (int64_t k = 0; k < q; ++k) ctr[k] += Wt ? wv * xr[k] : static_cast<double>(xr[k]);
      }
      for (int64_t k = 0; k < q; ++k) ctr[k] /= Wb;
    } else {
      for (int64_t k = 0; k < q; ++k) ctr[k] = a.m[k];
    }
  } else if constexpr (M == Mode::given) {
    for (int64_t k = 0; k < q; ++k) ctr[k] = c.g[k];
  }
  std::memset(s1, 0, sizeof(double) * q);
  std::memset(d1, 0, sizeof(double) * q);
  if constexpr (CC >= 2) std::memset(d2, 0, sizeof(double) * q);
  if constexpr (CC >= 3) std::memset(d3, 0, sizeof(double) * q);
  if constexpr (CC >= 4) std::memset(d4, 0, sizeof(double) * q);
  if constexpr (RR >= 2) std::memset(r2, 0, sizeof(double) * q);
  if constexpr (RR >= 3) std::memset(r3, 0, sizeof(double) * q);
  if constexpr (RR >= 4) std::memset(r4, 0, sizeof(double) * q);
  // U observations at a time, so that each accumulator is loaded and stored once per U.
  constexpr int U = 8;
  Acc acc{s1, d1, d2, d3, d4, r2, r3, r4};
  int64_t j = 0;
  if constexpr (std::is_same_v<T, double> && M == Mode::one_pass && !COV && CC <= 2) {
    col_dev_sse2<Wt, CC>(xb, ld, q, B, w, ctr, d1, d2);
    j = B;
  }
  for (; j + U <= B; j += U)
    col_sweep<T, M, Wt, RR, CC, COV, U>(xb + j * ld, ld, q, Wt ? w + j : nullptr,
                                         (Wt && COV) ? s.sw + j : nullptr, ctr, acc,
                                         COV ? s.Z + j * q : nullptr);
  for (; j < B; ++j)
    col_sweep<T, M, Wt, RR, CC, COV, 1>(xb + j * ld, ld, q, Wt ? w + j : nullptr,
                                         (Wt && COV) ? s.sw + j : nullptr, ctr, acc,
                                         COV ? s.Z + j * q : nullptr);
  if constexpr (M == Mode::one_pass) {
    double* e = s.t[0];  // overwrites s1 entry by entry after it has been read
    double* dl = s.t[1];
    for (int64_t k = 0; k < q; ++k) {
      const double o[5] = {0, d1[k], CC >= 2 ? d2[k] : 0, CC >= 3 ? d3[k] : 0,
                           CC >= 4 ? d4[k] : 0};
      merge_block_var<RR, CC>(a, k, Wa, Wb, fa, fb, ctr[k], o, e[k], dl[k]);
    }
    if constexpr (COV) {
      rank_k(false, q, B, q, s.Z, a.C);
      cov_corrections(q, a.C, e, dl, Wb, Wa == 0 ? 0.0 : Wa, Wa == 0 ? 0.0 : fb);
    }
  } else {
    for (int64_t k = 0; k < q; ++k) a.S[1][k] += s1[k];
    if constexpr (M == Mode::given) {
      if constexpr (CC >= 2) for (int64_t k = 0; k < q; ++k) a.M[2][k] += d2[k];
      if constexpr (CC >= 3) for (int64_t k = 0; k < q; ++k) a.M[3][k] += d3[k];
      if constexpr (CC >= 4) for (int64_t k = 0; k < q; ++k) a.M[4][k] += d4[k];
    }
    if constexpr (RR >= 2) for (int64_t k = 0; k < q; ++k) a.S[2][k] += r2[k];
    if constexpr (RR >= 3) for (int64_t k = 0; k < q; ++k) a.S[3][k] += r3[k];
    if constexpr (RR >= 4) for (int64_t k = 0; k < q; ++k) a.S[4][k] += r4[k];
    if constexpr (COV) rank_k(false, q, B, q, s.Z, a.C);
  }
  a.W = W;
  a.V += Vb;
}

template <class T, Mode M, bool Wt, int RR, int CC>
BlockFn<T> pick_cov(bool rows, bool cov) {
  if (rows) return cov ? &rows_block<T, M, Wt, RR, CC, true> : &rows_block<T, M, Wt, RR, CC, false>;
  return cov ? &cols_block<T, M, Wt, RR, CC, true> : &cols_block<T, M, Wt, RR, CC, false>;
}

template <class T, Mode M, bool Wt>
BlockFn<T> pick_level(bool rows, int rr, int cc, bool cov) {
  if constexpr (M == Mode::one_pass) {
    if (rr >= 4) return pick_cov<T, M, Wt, 4, 4>(rows, cov);
    if (rr == 2) return pick_cov<T, M, Wt, 2, 2>(rows, cov);
    if (cc == 2) return pick_cov<T, M, Wt, 1, 2>(rows, cov);
    return pick_cov<T, M, Wt, 1, 0>(rows, cov);
  } else if constexpr (M == Mode::given) {
    if (rr >= 4) return pick_cov<T, M, Wt, 4, 4>(rows, cov);
    if (cc == 4) return pick_cov<T, M, Wt, 1, 4>(rows, cov);
    if (cc == 3) return pick_cov<T, M, Wt, 1, 3>(rows, cov);
    return pick_cov<T, M, Wt, 1, 2>(rows, cov);
  } else {
    if (rr >= 4) return pick_cov<T, M, Wt, 4, 0>(rows, cov);
    if (rr == 3) return pick_cov<T, M, Wt, 3, 0>(rows, cov);
    if (rr == 2) return pick_cov<T, M, Wt, 2, 0>(rows, cov);
    return pick_cov<T, M, Wt, 1, 0>(rows, cov);
  }
}

template <class T, Mode M>
BlockFn<T> pick_weight(bool rows, bool weighted, int rr, int cc, bool cov) {
  return weighted ? pick_level<T, M, true>(rows, rr, cc, cov) : pick_level<T, M, false>(rows, rr, cc, cov);
}

}  // namespace

// rr and cc must be one of the levels of the method (see the entry point).
template <class T>
BlockFn<T> choose_kernel(Mode mode, bool rows, bool weighted, int rr, int cc, bool cov) {
  switch (mode) {
    case Mode::one_pass: return pick_weight<T, Mode::one_pass>(rows, weighted, rr, cc, cov);
    case Mode::given: return pick_weight<T, Mode::given>(rows, weighted, rr, cc, cov);
    default: return pick_weight<T, Mode::fast>(rows, weighted, rr, cc, cov);
  }
}

template <class T>
BlockFn<T> choose_range_kernel(Mode mode, bool rows, bool weighted, int rr, int cc, bool cov) {
  if (mode != Mode::one_pass || !rows || cov) return nullptr;
  if (weighted) {
    if (rr >= 4) return &rows_range<T, true, 4, 4>;
    if (rr == 2) return &rows_range<T, true, 2, 2>;
    if (cc == 2) return &rows_range<T, true, 1, 2>;
    return &rows_range<T, true, 1, 0>;
  }
  if (rr >= 4) return &rows_range<T, false, 4, 4>;
  if (rr == 2) return &rows_range<T, false, 2, 2>;
  if (cc == 2) return &rows_range<T, false, 1, 2>;
  return &rows_range<T, false, 1, 0>;
}

template BlockFn<double> choose_range_kernel<double>(Mode, bool, bool, int, int, bool);
template BlockFn<float> choose_range_kernel<float>(Mode, bool, bool, int, int, bool);
template BlockFn<double> choose_kernel<double>(Mode, bool, bool, int, int, bool);
template BlockFn<float> choose_kernel<float>(Mode, bool, bool, int, int, bool);

}  // namespace qor::ss::basic
