// Cubic spline construction: natural, default, Hermite, Bessel, Akima and Hyman.
//
// Every type ends in the Hermite form: a slope d(i) at each breakpoint, and per cell
//   c0 = y[i], c1 = d(i), c2 = (3 m(i) - 2 d(i) - d(i+1)) / h(i), c3 = (d(i) + d(i+1) - 2 m(i)) / h(i)^2
// with h(i) = x[i+1] - x[i] and m(i) = (y[i+1] - y[i]) / h(i).
//
// The natural and default types find the slopes from the tridiagonal system that makes the second
// derivative continuous (the matrix depends only on x: it is factorized once per call and every
// function is a right-hand side); periodic conditions solve the cyclic system with a rank-one
// correction. The natural type uses the imported solvers and splits the functions across threads;
// the default type uses its own elimination on the calling thread. The local types take each
// interior slope from neighbouring divided differences (Bessel, Akima, Hyman) or from the caller
// (Hermite), and the two end slopes from the boundary condition; they run in blocks of cells and
// functions through the caller's ThreadingServices.
#include <algorithm>
#include <cmath>

#include "data_fitting/construct/construct.h"
#include "data_fitting/construct/kernel_table.h"
#include "service/size_math.h"

namespace qor::df {
namespace {

// ---- common ---------------------------------------------------------------------------------------

// Function j's y values with a compile-time stride for rows.
template <class T, bool Cols>
struct Ys {
  const T* fy;
  int64_t inc;
  T operator[](int64_t i) const { return Cols ? fy[i * inc] : fy[i]; }
};
template <class T, bool Cols>
Ys<T, Cols> ys_of(const DfTask1D* t, int64_t j) {
  const YView<T> v = y_of<T>(t, j);
  return {v.fy, v.inc};
}

template <class T, bool Uniform>
inline T width(const Partition<T>& p, int64_t i) {
  return Uniform ? p.h : T(p.x[i + 1] - p.x[i]);
}

// Cells [i0, i1) of one function from the slopes d (d[k] is the slope at breakpoint i0 + k).
template <class T, bool Cols, bool Uniform>
void hermite_cells(const Partition<T>& p, Ys<T, Cols> y, const T* d, T* c, int64_t i0, int64_t i1) {
  for (int64_t i = i0; i < i1; ++i) {
    const T h = width<T, Uniform>(p, i);
    const T y0 = y[i], d0 = d[i - i0], d1 = d[i - i0 + 1];
    const T m = T(T(y[i + 1] - y0) / h);
    T* o = c + 4 * i;
    o[0] = y0;
    o[1] = d0;
    o[2] = T(T(T(T(T(3) * m) - T(T(2) * d0)) - d1) / h);
    o[3] = T(T(T(d0 + d1) - T(T(2) * m)) / T(h * h));
  }
}

// Slope at the left end from the boundary condition (d1 the slope at x[1], H = h0 + h1). The right
// end uses the same formulas on the mirrored data (see right_end_slope).
template <class T>
inline T end_slope(BcKind b, T bc, T h0, T h1, T m0, T m1, T d1, T sign) {
  switch (b) {
    case BcKind::free_end: return T(T(T(1.5) * m0) - T(T(0.5) * d1));
    case BcKind::none: return T(T(T(T(3) * m0) - m1) * T(0.5));
    case BcKind::not_a_knot: {
      const T H = T(h0 + h1);
      const T rhs = T(T(T(T(h0 * h0) * m1) + T(T(T(h0 + T(T(2) * H)) * h1) * m0)) / H);
      return T(T(rhs - T(d1 * H)) / h1);
    }
    default:
      if (sign > T(0) ? left_second(b) : right_second(b))
        return T(T(T(T(1.5) * m0) - T(T(T(0.25) * h0) * T(sign * bc))) - T(T(0.5) * d1));
      return bc;  // first derivative given
  }
}

// ---- natural and default types: the tridiagonal system ------------------------------------------

// The system's unknowns are d(0 .. n-1): n = nx, or nx - 1 for periodic conditions (d(nx-1) = d(0)).
// Rows 1 .. nx-2: h(i) d(i-1) + 2 (h(i-1) + h(i)) d(i) + h(i-1) d(i+1) = 3 (h(i) m(i-1) + h(i-1) m(i)).
// End rows: free end 2 d(0) + d(1) = 3 m(0); second derivative 2 d(0) + d(1) = 3 m(0) - h(0) bc/2;
// first derivative d(0) = bc; not-a-knot h(1) d(0) + H d(1) = ((h(0) + 2H) h(1) m(0) + h(0)^2 m(1)) / H,
// H = h(0) + h(1); the right end mirrored. Periodic rows wrap around (cell nx-2 precedes cell 0);
// the corners alpha = A(0, n-1) and beta = A(n-1, 0) are removed by a rank-one correction.
//
// Not-a-knot with nx = 3 asks for the third derivative to be continuous at x[1] twice: the rows are
// dependent and every cubic through the three points whose two pieces are one polynomial solves
// them. The spline built is the parabola through the three points (the identity matrix with the
// parabola's slopes as right-hand side).
template <class T>
struct Matrix {
  int64_t n;
  T *dl, *dd, *du;
  T alpha, beta;  // periodic corners (n >= 3)
  T* z;           // periodic: the correction T z = u, u = (gamma, 0, ..., beta)
  T ratio;        // alpha / gamma
  T denom;        // 1 + v . z
  bool parabola;
};

template <class T, BcKind B, bool Uniform>
void assemble(Matrix<T>& a, const Partition<T>& p, int64_t nx) {
  auto hs = [&](int64_t i) { return width<T, Uniform>(p, i); };
  const int64_t n = a.n;
  std::fill(a.dl, a.dl + n, T(0));
  std::fill(a.dd, a.dd + n, T(0));
  std::fill(a.du, a.du + n, T(0));
  a.alpha = a.beta = T(0);
  if (a.parabola) {
    std::fill(a.dd, a.dd + n, T(1));
    return;
  }
  if constexpr (B == BcKind::periodic) {
    auto add = [&](int64_t row, int64_t col, T v) {
      if (col == row) a.dd[row] = T(a.dd[row] + v);
      else if (col == row - 1) a.dl[row - 1] = T(a.dl[row - 1] + v);
      else if (col == row + 1) a.du[row] = T(a.du[row] + v);
      else if (row == 0) a.alpha = T(a.alpha + v);
      else a.beta = T(a.beta + v);
    };
    for (int64_t i = 0; i < n; ++i) {
      const T hp = hs(i == 0 ? n - 1 : i - 1), h = hs(i);
      add(i, i == 0 ? n - 1 : i - 1, h);
      add(i, i, T(T(2) * T(hp + h)));
      add(i, i + 1 == n ? 0 : i + 1, hp);
    }
  } else {
    for (int64_t i = 1; i + 1 < nx; ++i) {
      a.dl[i - 1] = hs(i);
      a.dd[i] = T(T(2) * T(hs(i - 1) + hs(i)));
      a.du[i] = hs(i - 1);
    }
    if (B == BcKind::not_a_knot) {
      a.dd[0] = hs(1);
      a.du[0] = T(hs(0) + hs(1));
      a.dd[nx - 1] = hs(nx - 3);
      a.dl[nx - 2] = T(hs(nx - 2) + hs(nx - 3));
    } else {
      const bool l1 = B == BcKind::first_first || B == BcKind::first_second;
      const bool r1 = B == BcKind::first_first || B == BcKind::second_first;
      a.dd[0] = l1 ? T(1) : T(2);
      a.du[0] = l1 ? T(0) : T(1);
      a.dd[nx - 1] = r1 ? T(1) : T(2);
      a.dl[nx - 2] = r1 ? T(0) : T(1);
    }
  }
}

// Right-hand side of one function into b (n values).
template <class T, BcKind B, bool Cols, bool Uniform>
void fill_rhs(const Matrix<T>& a, const Partition<T>& p, int64_t nx, Ys<T, Cols> y, const T* bc, T* b) {
  auto hs = [&](int64_t i) { return width<T, Uniform>(p, i); };
  auto m = [&](int64_t i) { return T(T(y[i + 1] - y[i]) / hs(i)); };
  if (a.parabola) {  // not-a-knot, nx = 3
    const T m0 = m(0), m1 = m(1);
    const T q = T(T(m1 - m0) / T(hs(0) + hs(1)));
    b[0] = T(m0 - T(q * hs(0)));
    b[1] = T(m0 + T(q * hs(0)));
    b[2] = T(m1 + T(q * hs(1)));
    return;
  }
  const int64_t first = B == BcKind::periodic ? 0 : 1;
  const int64_t last = B == BcKind::periodic ? a.n : nx - 1;  // rows [first, last)
  T hp = hs(first == 0 ? nx - 2 : 0);
  T mp = m(first == 0 ? nx - 2 : 0);
  for (int64_t i = first; i < last; ++i) {
    const T h = hs(i), mi = m(i);
    b[i] = T(T(3) * T(T(h * mp) + T(hp * mi)));
    hp = h;
    mp = mi;
  }
  if constexpr (B != BcKind::periodic) {
    const T m0 = m(0), mr = m(nx - 2);
    if (B == BcKind::not_a_knot) {
      const T h0 = hs(0), h1 = hs(1), H = T(h0 + h1);
      b[0] = T(T(T(T(T(h0 + T(T(2) * H)) * h1) * m0) + T(T(h0 * h0) * m(1))) / H);
      const T g0 = hs(nx - 2), g1 = hs(nx - 3), G = T(g0 + g1);
      b[nx - 1] = T(T(T(T(T(g0 + T(T(2) * G)) * g1) * mr) + T(T(g0 * g0) * m(nx - 3))) / G);
    } else {
      if (B == BcKind::free_end) b[0] = T(T(3) * m0);
      else if (left_second(B)) b[0] = T(T(T(3) * m0) - T(T(hs(0) * bc[0]) * T(0.5)));
      else b[0] = bc[0];
      if (B == BcKind::free_end) b[nx - 1] = T(T(3) * mr);
      else if (right_second(B)) b[nx - 1] = T(T(T(3) * mr) + T(T(hs(nx - 2) * bc[1]) * T(0.5)));
      else b[nx - 1] = bc[1];
    }
  }
}

// The default type's own elimination: the factorization keeps the reciprocal pivots in dd and the
// ratios du(i) / pivot(i) in du, so that every right-hand side is solved with multiplications only.
// Returns 0 or the 1-based row of a zero pivot.
template <class T>
qor_int own_factor(int64_t n, const T* dl, T* dd, T* du) {
  T w = T(0);
  for (int64_t i = 0; i < n; ++i) {
    const T piv = i == 0 ? dd[0] : T(dd[i] - T(dl[i - 1] * w));
    if (piv == T(0)) return static_cast<qor_int>(i + 1);
    const T r = T(T(1) / piv);
    dd[i] = r;
    w = T(du[i] * r);
    du[i] = w;
  }
  return 0;
}
template <class T>
void own_solve(int64_t n, const T* dl, const T* rp, const T* w, T* b) {
  b[0] = T(b[0] * rp[0]);
  for (int64_t i = 1; i < n; ++i) b[i] = T(T(b[i] - T(dl[i - 1] * b[i - 1])) * rp[i]);
  for (int64_t i = n - 2; i >= 0; --i) b[i] = T(b[i] - T(w[i] * b[i + 1]));
}

// Solver policies: factor the matrix once; solve nrhs columns of b (leading dimension ldb).
template <class T, bool Own>
struct SystemSolver {
  static qor_int factor(Matrix<T>& a) {
    if (Own) return own_factor(a.n, a.dl, a.dd, a.du);
    const qor_int n = static_cast<qor_int>(a.n);
    qor_int info = 0;
    Tridiagonal<T>::factor(&n, a.dl, a.dd, a.du, &info);
    return info;
  }
  static qor_int solve(const Matrix<T>& a, int64_t nrhs, T* b, int64_t ldb) {
    if (Own) {
      for (int64_t k = 0; k < nrhs; ++k) own_solve(a.n, a.dl, a.dd, a.du, b + k * ldb);
      return 0;
    }
    const qor_int n = static_cast<qor_int>(a.n), nr = static_cast<qor_int>(nrhs), ld = static_cast<qor_int>(ldb);
    qor_int info = 0;
    Tridiagonal<T>::solve(&n, &nr, a.dl, a.dd, a.du, b, &ld, &info);
    return info;
  }
};

// Periodic correction (Sherman-Morrison): A = T + u v^T with gamma = -A(0,0), T(0,0) = 2 A(0,0),
// T(n-1,n-1) = A(n-1,n-1) + alpha beta / A(0,0), u = (gamma, 0, ..., beta), v = (1, 0, ..., alpha/gamma).
// Then A x = r is x = y - (v.y / (1 + v.z)) z with T y = r and T z = u.
template <class T>
void periodic_split(Matrix<T>& a) {
  const T gamma = T(-a.dd[0]);
  a.dd[0] = T(a.dd[0] - gamma);
  a.dd[a.n - 1] = T(a.dd[a.n - 1] - T(T(a.alpha * a.beta) / gamma));
  a.ratio = T(a.alpha / gamma);
  std::fill(a.z, a.z + a.n, T(0));
  a.z[0] = gamma;
  a.z[a.n - 1] = a.beta;
}
template <class T>
void periodic_combine(const Matrix<T>& a, T* y) {
  const T f = T(T(y[0] + T(a.ratio * y[a.n - 1])) / a.denom);
  for (int64_t i = 0; i < a.n; ++i) y[i] = T(y[i] - T(f * a.z[i]));
}

constexpr int64_t kSystemGroup = 4;  // functions solved together

// One function's right-hand side and slopes in place: the last nx values of its coefficient run
// (4 (nx - 1) values). The cells are written in increasing order and cell i reads slopes i and
// i + 1 before it writes positions 4i .. 4i+3, which lie below every slope still to be read.
template <class T>
T* in_place_column(const DfTask1D* t) {
  return coeff_of<T>(t, 0) + 3 * (t->nx - 1) - 1;
}

template <class T>
struct SystemJob {
  const DfTask1D* task;
  Partition<T> p;
  Matrix<T> a;
  T* columns;          // per thread: `group` columns of nx values (null: one function, solved in place)
  int64_t group;       // functions per item
  int32_t* status;     // per item
};

template <class T, bool Own, BcKind B, bool Cols, bool Uniform>
int32_t system_item(const SystemJob<T>& job, int64_t item, T* col) {
  const DfTask1D* t = job.task;
  const int64_t nx = t->nx;
  if (!job.columns) col = in_place_column<T>(t);
  const int64_t j0 = item * job.group, j1 = std::min(t->ny, j0 + job.group);
  const T* bc = static_cast<const T*>(t->bc);
  for (int64_t j = j0; j < j1; ++j)
    fill_rhs<T, B, Cols, Uniform>(job.a, job.p, nx, ys_of<T, Cols>(t, j), bc, col + (j - j0) * nx);
  if (SystemSolver<T, Own>::solve(job.a, j1 - j0, col, nx) != 0) return DfErrSolver;
  for (int64_t j = j0; j < j1; ++j) {
    T* d = col + (j - j0) * nx;
    if (B == BcKind::periodic) {
      if (job.a.alpha != T(0) || job.a.beta != T(0)) periodic_combine(job.a, d);
      d[nx - 1] = d[0];
    }
    hermite_cells<T, Cols, Uniform>(job.p, ys_of<T, Cols>(t, j), d, coeff_of<T>(t, j), 0, nx - 1);
  }
  return DfOk;
}

template <class T, bool Own, BcKind B, bool Cols, bool Uniform>
void system_threader(int32_t item, int32_t thread, void*, void* context) {
  const auto* job = static_cast<const SystemJob<T>*>(context);
  const int64_t nx = job->task->nx;
  job->status[item] =
      system_item<T, Own, B, Cols, Uniform>(*job, item, job->columns + static_cast<int64_t>(thread) * job->group * nx);
}

// Own = false: the natural type (imported solvers, parallel over functions); true: the default type.
template <class T, bool Own, BcKind B, bool Cols, bool Uniform>
int32_t system_kernel(const DfTask1D* t, const ThreadingServices* ts) {
  const int64_t nx = t->nx, ny = t->ny;
  constexpr bool periodic = B == BcKind::periodic;
  const int64_t n = periodic ? nx - 1 : nx;
  if (nx > INT32_MAX / kSystemGroup) return DfErrNx;  // the solvers' orders and leading dimensions are 32-bit
  // Threads: solves of different functions on different threads.
  int32_t nt = 1;
  if (!Own) {
    const int64_t tt = std::min<int64_t>(threads_available(ts), ny);
    if (ny > 1 && tt > 1 && nx >= 300 && (nx >= 600 || tt >= 8)) nt = static_cast<int32_t>(tt);
  }
  const bool factor_once = ny > 1 || periodic || nt > 1 || Own;
  const int64_t group = std::min(ny, (ny + kSystemGroup - 1) / kSystemGroup >= nt ? kSystemGroup : int64_t{1});
  const bool in_place = ny == 1;
  const int64_t items = (ny + group - 1) / group;
  // Work: the three diagonals (3 n), the periodic correction (n), nt groups of columns (none for
  // one function on the calling thread: its right-hand side and slopes sit at the end of its own
  // coefficient run, which the cells overwrite only after reading them), item statuses.
  const int64_t matrix_values = (periodic ? 4 : 3) * nx;
  size_t values, bytes, cols_values = 0;
  if ((!in_place && !serv::checked_mul(nx, group * int64_t{nt}, &cols_values)) ||
      !serv::checked_add(cols_values, static_cast<size_t>(matrix_values), &values) ||
      !serv::checked_mul(values, sizeof(T), &bytes) || !serv::checked_add(bytes, items * sizeof(int32_t), &bytes) ||
      items > INT32_MAX)
    return DfErrMemory;
  T* work = static_cast<T*>(qor_serv_allocate(bytes, 128));
  if (!work) return DfErrMemory;
  const Partition<T> p = partition_of<T>(t);
  SystemJob<T> job{t, p, {}, in_place ? nullptr : work + matrix_values, group, reinterpret_cast<int32_t*>(work + values)};
  Matrix<T>& a = job.a;
  a.n = n;
  a.dl = work;
  a.dd = a.dl + nx;
  a.du = a.dd + nx;
  a.z = periodic ? a.du + nx : nullptr;
  a.parabola = B == BcKind::not_a_knot && nx == 3;
  assemble<T, B, Uniform>(a, p, nx);
  const bool corrected = periodic && (a.alpha != T(0) || a.beta != T(0));
  if (corrected) periodic_split(a);
  int32_t status = DfOk;
  if (!factor_once) {  // one function, natural type: one call of the combined solver
    T* col = in_place_column<T>(t);
    fill_rhs<T, B, Cols, Uniform>(a, p, nx, ys_of<T, Cols>(t, 0), static_cast<const T*>(t->bc), col);
    const qor_int nn = static_cast<qor_int>(n), one = 1;
    qor_int info = 0;
    Tridiagonal<T>::factor_solve(&nn, &one, a.dl, a.dd, a.du, col, &nn, &info);
    if (info != 0) status = DfErrSolver;
    else hermite_cells<T, Cols, Uniform>(p, ys_of<T, Cols>(t, 0), col, coeff_of<T>(t, 0), 0, nx - 1);
  } else if (SystemSolver<T, Own>::factor(a) != 0) {
    status = DfErrSolver;
  } else {
    if (corrected) {
      SystemSolver<T, Own>::solve(a, 1, a.z, n);
      a.denom = T(T(T(1) + a.z[0]) + T(a.ratio * a.z[n - 1]));
    }
    if (nt > 1) {
      ts->parallel_for(static_cast<int32_t>(items), nt, &job, system_threader<T, Own, B, Cols, Uniform>);
    } else {
      for (int64_t it = 0; it < items; ++it) job.status[it] = system_item<T, Own, B, Cols, Uniform>(job, it, job.columns);
    }
    for (int64_t it = 0; it < items && status == DfOk; ++it) status = job.status[it];
  }
  qor_serv_deallocate(work);
  return status;
}

// ---- local types --------------------------------------------------------------------------------

constexpr int64_t kCellBlock = 2048;
constexpr int64_t kFunctionBlock = 4;
constexpr int64_t kHalo = 3;  // divided differences needed on each side of a block's slopes
constexpr int64_t kLocalStride = kCellBlock + 2 * kHalo + 2;  // values per work array
constexpr int64_t kLocalWork = 3 * kLocalStride;               // values per thread
constexpr int64_t kSmallStride = 512 + 2 * kHalo + 2;         // the same for tasks of fewer than 512 values

// Interior slope at breakpoint i from the divided differences m(i-2) .. m(i+1) and widths h(i-1), h(i).
template <class T, SplineKind K>
inline T local_slope(T hl, T hr, T mll, T ml, T mr, T mrr) {
  if constexpr (K == SplineKind::cubic_akima) {
    const T a = std::fabs(T(mrr - mr)), b = std::fabs(T(ml - mll));
    const T s = T(a + b);
    if (s < T(1e-10)) return T(T(ml + mr) * T(0.5));
    return T(T(T(a * ml) + T(b * mr)) / s);
  } else {
    const T bessel = T(T(T(hr * ml) + T(hl * mr)) / T(hl + hr));
    if constexpr (K == SplineKind::cubic_hyman) {
      if (!(T(ml * mr) > T(0))) return T(0);
      const T lim = T(T(3) * std::min(std::fabs(ml), std::fabs(mr)));
      return std::fabs(bessel) > lim ? std::copysign(lim, bessel) : bessel;
    }
    return bessel;
  }
}

// The Hyman limit of an end slope d next to the divided difference m.
template <class T>
inline T hyman_end(T d, T m) {
  if (!(T(d * m) > T(0))) return T(0);
  const T lim = T(T(3) * std::fabs(m));
  return std::fabs(d) > lim ? std::copysign(lim, d) : d;
}

template <class T>
struct LocalJob {
  const DfTask1D* task;
  Partition<T> p;
  BcKind bc;
  int64_t cell_blocks;
  T* work;  // kLocalWork values per thread
};

// Cells [i0, i1) of functions [j0, j1).
template <class T, SplineKind K, bool Cols, bool Uniform>
void local_cells(const LocalJob<T>& job, int64_t i0, int64_t i1, int64_t j0, int64_t j1, T* work, int64_t stride) {
  const DfTask1D* t = job.task;
  const Partition<T>& p = job.p;
  const int64_t nx = t->nx, ncell = nx - 1;
  const BcKind bk = job.bc;
  const bool periodic = bk == BcKind::periodic;
  const T* bc = static_cast<const T*>(t->bc);
  const T* ic = static_cast<const T*>(t->ic);
  // Widths and divided differences of cells [k0, k1), slopes at breakpoints [i0, i1].
  const int64_t k0 = std::max<int64_t>(0, i0 - kHalo), k1 = std::min(ncell, i1 + kHalo);
  T* hb = work;
  T* mb = hb + stride;
  T* d = mb + stride;
  for (int64_t k = k0; k < k1; ++k) hb[k - k0] = width<T, Uniform>(p, k);
  auto h = [&](int64_t k) {  // any cell, wrapped around for periodic conditions
    k = k < 0 ? k + ncell : (k >= ncell ? k - ncell : k);
    return k >= k0 && k < k1 ? hb[k - k0] : width<T, Uniform>(p, k);
  };
  for (int64_t j = j0; j < j1; ++j) {
    const Ys<T, Cols> y = ys_of<T, Cols>(t, j);
    for (int64_t k = k0; k < k1; ++k) mb[k - k0] = T(T(y[k + 1] - y[k]) / hb[k - k0]);
    auto m = [&](int64_t k) {
      k = k < 0 ? k + ncell : (k >= ncell ? k - ncell : k);
      return k >= k0 && k < k1 ? mb[k - k0] : T(T(y[k + 1] - y[k]) / width<T, Uniform>(p, k));
    };
    // Interior slope at breakpoint i, 1 <= i <= nx-2 (Akima near the ends: the missing difference
    // repeats the nearest one, unless the conditions are periodic and nothing is missing).
    auto interior = [&](int64_t i) -> T {
      if constexpr (K == SplineKind::cubic_hermite) {
        return ic[i - 1];
      } else if constexpr (K == SplineKind::cubic_akima) {
        const T ml = m(i - 1), mr = m(i);
        const T mll = i >= 2 || periodic ? m(i - 2) : T(T(T(2) * ml) - mr);
        const T mrr = i + 1 < ncell || periodic ? m(i + 1) : T(T(T(2) * mr) - ml);
        return local_slope<T, K>(T(0), T(0), mll, ml, mr, mrr);
      } else {
        return local_slope<T, K>(h(i - 1), h(i), T(0), m(i - 1), m(i), T(0));
      }
    };
    auto left = [&]() -> T {
      if (periodic) {
        if constexpr (K == SplineKind::cubic_hermite) return bc[0];
        else if constexpr (K == SplineKind::cubic_akima)
          return local_slope<T, K>(T(0), T(0), m(ncell - 2), m(ncell - 1), m(0), m(1));
        else return local_slope<T, K>(h(ncell - 1), h(0), T(0), m(ncell - 1), m(0), T(0));
      }
      const T d1 = interior(1);
      const T v = end_slope<T>(bk, bc ? bc[0] : T(0), h(0), h(1), m(0), m(1), d1, T(1));
      const bool given = bk == BcKind::first_first || bk == BcKind::first_second;
      return K == SplineKind::cubic_hyman && !given ? hyman_end(v, m(0)) : v;
    };
    auto right = [&]() -> T {
      if (periodic) return left();
      const T dn = interior(nx - 2);
      const T v = end_slope<T>(bk, bc ? bc[1] : T(0), h(ncell - 1), h(ncell - 2), m(ncell - 1), m(ncell - 2), dn, T(-1));
      const bool given = bk == BcKind::first_first || bk == BcKind::second_first;
      return K == SplineKind::cubic_hyman && !given ? hyman_end(v, m(ncell - 1)) : v;
    };
    // Slopes: the ends and the breakpoints next to them through the general accessors, the rest
    // straight from the block's buffers.
    const int64_t fast0 = std::max<int64_t>(i0, 2), fast1 = std::min<int64_t>(i1, nx - 3);  // [fast0, fast1]
    for (int64_t i = i0; i <= i1; ++i) {
      if (i >= fast0 && i <= fast1) {
        const int64_t q = i - k0;
        if constexpr (K == SplineKind::cubic_hermite) d[i - i0] = ic[i - 1];
        else d[i - i0] = local_slope<T, K>(hb[q - 1], hb[q], mb[q - 2], mb[q - 1], mb[q], mb[q + 1]);
        continue;
      }
      d[i - i0] = i == 0 ? left() : (i == nx - 1 ? right() : interior(i));
    }
    hermite_cells<T, Cols, Uniform>(p, y, d, coeff_of<T>(t, j), i0, i1);
  }
}

template <class T, SplineKind K, bool Cols, bool Uniform>
void local_block(int32_t block, int32_t thread, void*, void* context) {
  const auto* job = static_cast<const LocalJob<T>*>(context);
  const DfTask1D* t = job->task;
  const int64_t cb = block % job->cell_blocks, fb = block / job->cell_blocks;
  const int64_t i0 = cb * kCellBlock, i1 = std::min(i0 + kCellBlock, t->nx - 1);
  const int64_t j0 = fb * kFunctionBlock, j1 = std::min(j0 + kFunctionBlock, t->ny);
  local_cells<T, K, Cols, Uniform>(*job, i0, i1, j0, j1, job->work + static_cast<int64_t>(thread) * kLocalWork, kLocalStride);
}

template <class T, SplineKind K, bool Cols, bool Uniform>
int32_t local_kernel(const DfTask1D* t, const ThreadingServices* ts) {
  LocalJob<T> job{t, partition_of<T>(t), bc_kind(t->bcType), 0, nullptr};
  const int64_t ncell = t->nx - 1;
  job.cell_blocks = (ncell + kCellBlock - 1) / kCellBlock;
  const int64_t fblocks = (t->ny + kFunctionBlock - 1) / kFunctionBlock;
  int64_t blocks;
  if (!serv::checked_mul(job.cell_blocks, fblocks, &blocks) || blocks > INT32_MAX) return DfErrMemory;
  int64_t values;
  const bool small = serv::checked_mul(t->nx, t->ny, &values) && values < 512;
  if (small) {  // fewer than 512 breakpoints: one block on the calling thread, stack work area
    T area[3 * kSmallStride];
    local_cells<T, K, Cols, Uniform>(job, 0, ncell, 0, t->ny, area, kSmallStride);
    return DfOk;
  }
  const int32_t avail = threads_available(ts);
  const int32_t nt = static_cast<int32_t>(std::min<int64_t>(blocks, avail));
  size_t bytes;
  if (!serv::checked_mul(int64_t{nt} * kLocalWork, sizeof(T), &bytes)) return DfErrMemory;
  job.work = static_cast<T*>(qor_serv_allocate(bytes, 128));
  if (!job.work) return DfErrMemory;
  if (nt > 1)
    ts->parallel_for(static_cast<int32_t>(blocks), nt, &job, local_block<T, K, Cols, Uniform>);
  else
    for (int64_t b = 0; b < blocks; ++b) local_block<T, K, Cols, Uniform>(static_cast<int32_t>(b), 0, nullptr, &job);
  qor_serv_deallocate(job.work);
  return DfOk;
}

// Boundary kinds of the cubic types: not-a-knot .. periodic; none for Akima alone.
constexpr bool cubic_bc(BcKind b) { return static_cast<int>(b) <= static_cast<int>(BcKind::periodic); }

}  // namespace

// The natural and default types keep one kernel per boundary kind, storage and partition
// (_v1DCSNaturalYRowsNoUniformGridFreeEnd and the like); the local types one per storage and
// partition, taking the boundary kind at run time.
template <>
struct Construct<SplineKind::cubic_natural> : ConstructDefaults {
  static constexpr bool builds(BcKind b) { return cubic_bc(b); }
  template <class T, BcKind B, bool Cols, bool UniformGrid, bool>
  static int32_t run(const DfTask1D* t, int64_t, const ThreadingServices* ts) {
    return system_kernel<T, false, B, Cols, UniformGrid>(t, ts);
  }
};
template <>
struct Construct<SplineKind::cubic_default> : ConstructDefaults {
  static constexpr bool builds(BcKind b) { return cubic_bc(b); }
  template <class T, BcKind B, bool Cols, bool UniformGrid, bool>
  static int32_t run(const DfTask1D* t, int64_t, const ThreadingServices* ts) {
    return system_kernel<T, true, B, Cols, UniformGrid>(t, ts);
  }
};
template <SplineKind K>
struct LocalConstruct : ConstructDefaults {
  static constexpr bool builds(BcKind b) { return cubic_bc(b) || (K == SplineKind::cubic_akima && b == BcKind::none); }
  static constexpr BcKind kernel_bc(BcKind) { return BcKind::none; }
  template <class T, BcKind, bool Cols, bool UniformGrid, bool>
  static int32_t run(const DfTask1D* t, int64_t, const ThreadingServices* ts) {
    return local_kernel<T, K, Cols, UniformGrid>(t, ts);
  }
};
template <> struct Construct<SplineKind::cubic_hermite> : LocalConstruct<SplineKind::cubic_hermite> {};
template <> struct Construct<SplineKind::cubic_bessel> : LocalConstruct<SplineKind::cubic_bessel> {};
template <> struct Construct<SplineKind::cubic_akima> : LocalConstruct<SplineKind::cubic_akima> {};
template <> struct Construct<SplineKind::cubic_hyman> : LocalConstruct<SplineKind::cubic_hyman> {};

namespace {

// Fewest breakpoints each type builds on.
constexpr int64_t min_nx(SplineKind k, BcKind b) {
  switch (k) {
    case SplineKind::cubic_natural: return b == BcKind::not_a_knot ? 3 : 2;
    case SplineKind::cubic_bessel: case SplineKind::cubic_hyman: return 4;
    case SplineKind::cubic_akima: return 5;
    default: return 3;  // default, Hermite
  }
}

template <class T, SplineKind K>
int32_t cubic_spline(DfTask1D* t, int64_t method, const ThreadingServices* ts) {
  if (!t) return DfErrNullTask;
  if (!precision_matches<T>(t)) return DfErrType;
  if (K == SplineKind::cubic_natural && method != QOR_DF_METHOD_DEFAULT) return DfErrMethod;
  const BcKind b = bc_kind(t->bcType);
  if (t->nx < min_nx(K, b)) return DfErrNx;
  if (!valid_storage_hint(t->yhint)) return DfErrYHint;
  const ConstructKernel kernel = construct_kernel<K, T>(b, y_by_columns(t), uniform_partition(t), false);
  if (!kernel) return DfErrBcType;
  const bool pair = b == BcKind::first_first || b == BcKind::first_second || b == BcKind::second_first ||
                    b == BcKind::second_second;
  if (pair && !t->bc) return DfErrNullBc;
  if (b == BcKind::periodic && (K == SplineKind::cubic_default || K == SplineKind::cubic_hermite) && !t->bc)
    return DfErrNullBc;
  if (K == SplineKind::cubic_hermite && !t->ic) return DfErrNullIc;
  if (t->ny <= 0) return DfOk;
  if (const int32_t st = check_function_tables<T>(t); st != DfOk) return st;
  if (b == BcKind::periodic && !periodic_ends_match<T>(t)) return DfErrPeriodic;
  return kernel(t, method, ts);
}

}  // namespace
}  // namespace qor::df

using qor::df::SplineKind;

#define QOR_DF_CUBIC_ENTRY(Name, kind)                                                                        \
  QOR_API int32_t qor_df_kernel_dDF##Name##CubicSpline1D(DfTask1D* task, int64_t, int64_t method,            \
                                                          const ThreadingServices* ts) {                     \
    return qor::df::cubic_spline<double, SplineKind::kind>(task, method, ts);                                \
  }                                                                                                           \
  QOR_API int32_t qor_df_kernel_sDF##Name##CubicSpline1D(DfTask1D* task, int64_t, int64_t method,            \
                                                          const ThreadingServices* ts) {                     \
    return qor::df::cubic_spline<float, SplineKind::kind>(task, method, ts);                                 \
  }

extern "C" {
QOR_DF_CUBIC_ENTRY(Default, cubic_default)
QOR_DF_CUBIC_ENTRY(Natural, cubic_natural)
QOR_DF_CUBIC_ENTRY(Hermite, cubic_hermite)
QOR_DF_CUBIC_ENTRY(Bessel, cubic_bessel)
QOR_DF_CUBIC_ENTRY(Akima, cubic_akima)
QOR_DF_CUBIC_ENTRY(Hyman, cubic_hyman)
}
#undef QOR_DF_CUBIC_ENTRY
