// Moments, sums and covariance: the pieces shared by the entry point and its kernels, with the
// method's requirement tables and the storage forms of its outputs.
#pragma once

#include <cstdint>

#include "statistics/moments/requirements.h"
#include "statistics/storage.h"
#include "statistics/task.h"

namespace qor::ss::basic {

enum class Mode { one_pass, fast, given };

// Accumulators of one part of the observations (one thread's range, the state carried over
// from earlier calls, or the total). Sums are over the weighted observations of the part:
// S[k] = sum w x^k (k = 1..4), M[k] = sum w (x - m)^k (k = 2..4) about the part's mean m (about
// the caller's mean in the given-mean method), C = sum w (x - m)(x - m)^T (raw sum w x x^T in the
// fast method until the end), upper triangle, column-major with leading dimension q.
struct Part {
  double W, V;
  double* m;       // mean, with its rounding error in mlo (m + mlo is the mean to ~2x precision)
  double* mlo;
  double* S[5];
  double* M[5];
  double* C;
};

// Per-thread scratch of the block kernels.
struct Scratch {
  double* Z;       // centred (or raw) block for the rank-k update: q x B
  double* sw;      // B: square roots of the block's weights
  double* t[10];   // q each: block means, deviation sums, raw sums, corrections, mean shifts
  void* xc;        // B x q observations of the selected variables (column storage, selection)
};

template <class T>
struct Ctx {
  const T* x;
  const T* w;
  int64_t n, p, q;
  const int32_t* sel;  // q selected variables in increasing order
  bool all_selected;
  int64_t B;           // observations per block
  const double* g;     // given means (q), given-mean method
  Part* parts;         // one per thread
  Scratch* scr;        // one per thread
  int nthreads;
  void (*block)(Ctx<T>&, int, int64_t, int64_t);
  // optional: the whole range [lo, hi) of a thread in one call (same blocks, other loop order)
  void (*range)(Ctx<T>&, int, int64_t, int64_t);
};

// The kernel for one observation block [j0, j1) of thread t, chosen once per call.
template <class T>
using BlockFn = void (*)(Ctx<T>&, int, int64_t, int64_t);

template <class T>
BlockFn<T> choose_kernel(Mode mode, bool rows, bool weighted, int rr, int cc, bool cov);

// A kernel for a thread's whole range that gives the same results as the block kernel run block
// by block, or nullptr when there is none for this case.
template <class T>
BlockFn<T> choose_range_kernel(Mode mode, bool rows, bool weighted, int rr, int cc, bool cov);

}  // namespace qor::ss::basic
