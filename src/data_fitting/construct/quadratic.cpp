// Quadratic spline construction: the standard C1 quadratic through the breakpoints (its value
// at the middle of the first cell given), and the Subbotin quadratic on a sub-grid whose cells
// each hold one breakpoint (end derivatives given; tridiagonal system in the breakpoint slopes).
#include <algorithm>

#include "data_fitting/construct/construct.h"
#include "data_fitting/construct/kernel_table.h"
#include "data_fitting/subgrid.h"
#include "qor/service.h"
#include "service/size_math.h"

namespace qor::df {
namespace {

// ---- standard quadratic -------------------------------------------------------------------------

// Midpoint values w(i) from w(0) = bc[0] by first-derivative continuity at x[i+1], then the
// cells: c2 = (y[i] + y[i+1] - 2 w(i)) / (2 h^2), c1 = (w(i) - y[i] - h^2 c2) / h, h = H(i)/2.
template <class T, bool Cols, bool Uniform>
int32_t std_quadratic_kernel(const DfTask1D* t) {
  const Partition<T> p = partition_of<T>(t);
  const int64_t nx = t->nx;
  T stack_w[4095];
  T* w = stack_w;
  if (nx >= 4095) {
    size_t bytes;
    if (!serv::checked_mul(nx, 8, &bytes) || !serv::checked_add(bytes, 8, &bytes)) return DfErrMemory;
    w = static_cast<T*>(qor_serv_allocate(bytes, 128));
    if (!w) return DfErrMemory;
  }
  const T w0 = static_cast<const T*>(t->bc)[0];
  for (int64_t j = 0; j < t->ny; ++j) {
    YView<T> y = y_of<T>(t, j);
    if (!Cols) y.inc = 1;
    T* c = coeff_of<T>(t, j);
    w[0] = w0;
    for (int64_t i = 0; i + 2 < nx; ++i) {
      const T hi = Uniform ? p.h : T(p.x[i + 1] - p.x[i]);
      const T hn = Uniform ? p.h : T(p.x[i + 2] - p.x[i + 1]);
      const T y0 = y[i], y1 = y[i + 1], y2 = y[i + 2];
      w[i + 1] = T(T(T(0.25) * hn) * T(T((y0 + T(3) * y1) / hi) + T((T(3) * y1 + y2) / hn)) - T(hn / hi) * w[i]);
    }
    for (int64_t i = 0; i + 1 < nx; ++i) {
      const T h = T((Uniform ? p.h : T(p.x[i + 1] - p.x[i])) * T(0.5));
      const T y0 = y[i], y1 = y[i + 1];
      const T c2 = T(T(T(0.5) * T(y0 + y1 - T(2) * w[i])) / T(h * h));
      c[3 * i] = y0;
      c[3 * i + 1] = T(T(w[i] - y0 - T(h * h) * c2) / h);
      c[3 * i + 2] = c2;
    }
  }
  if (w != stack_w) qor_serv_deallocate(w);
  return DfOk;
}

// ---- Subbotin quadratic --------------------------------------------------------------------------

// Interior sub-grid points strictly inside their cells; given ends equal to the partition's.
template <class T>
bool subgrid_valid(const DfTask1D* t, const Subgrid<T>& g) {
  if (!g.ic) return true;
  const int64_t nx = t->nx;
  if (!g.uniform && (!(g.ic[0] == g.p.first()) || !(g.ic[nx] == g.p.last()))) return false;
  for (int64_t k = 1; k < nx; ++k) {
    const T s = g(k);
    if (!(g.p[k - 1] < s && s < g.p[k])) return false;
  }
  return true;
}

// Slopes d(i) at the breakpoints; cell i is y[i] + d(i) t + a(i) t^2 on [t(i), t(i+1)], t = s - x[i].
// Rows: the boundary conditions first and last; between them first-derivative continuity at
// t(i+1), i = 0 .. nx-3, with a(i) eliminated through value and slope continuity.
template <class T, bool Cols, bool UniformGrid, bool UniformSubgrid, bool LeftSecond, bool RightSecond>
int32_t subbotin_kernel(const DfTask1D* t) {
  const int64_t nx = t->nx;
  const Subgrid<T> g = subgrid_of<T>(t);
  if (!subgrid_valid(t, g)) return DfErrNullIc;
  if (nx > INT32_MAX) return DfErrNx;
  size_t bytes;
  if (!serv::checked_mul(nx + 1, 8 * sizeof(T), &bytes)) return DfErrMemory;
  T* work = static_cast<T*>(qor_serv_allocate(bytes, 128));
  if (!work) return DfErrMemory;
  T* xs = work;            // breakpoints, nx
  T* al = xs + nx;         // alpha(i) = t(i+1) - x[i], nx
  T* dl = al + nx;         // sub-diagonal
  T* dd = dl + nx;         // diagonal
  T* du = dd + nx;         // super-diagonal
  T* b = du + nx;          // right-hand side, then slopes
  T* hs = b + nx;          // cell widths
  for (int64_t i = 0; i < nx; ++i) xs[i] = g.p[i];
  for (int64_t i = 0; i < nx; ++i) al[i] = T(g(i + 1) - xs[i]);
  for (int64_t i = 0; i + 1 < nx; ++i) hs[i] = UniformGrid ? g.p.h : T(xs[i + 1] - xs[i]);
  const T* bc = static_cast<const T*>(t->bc);
  const qor_int n = static_cast<qor_int>(nx), one = 1;
  int32_t status = DfOk;
  for (int64_t j = 0; j < t->ny && status == DfOk; ++j) {
    YView<T> y = y_of<T>(t, j);
    if (!Cols) y.inc = 1;
    T* c = coeff_of<T>(t, j);
    // left end
    {
      const T h = hs[0], a = al[0], m = T(T(y[1] - y[0]) / h);
      if (LeftSecond) {
        dd[0] = T(T(-T(1) / h) - T(T(1) / a));
        du[0] = T(T(T(1) / h) - T(T(1) / a));
        b[0] = T(bc[0] - T(T(2) * m) / a);
      } else {
        dd[0] = T(1);
        du[0] = T(0);
        b[0] = bc[0];
      }
    }
    for (int64_t i = 0; i + 2 < nx; ++i) {
      const T h = hs[i], a = al[i], gam = T(h - a);
      const T hn = hs[i + 1], an = al[i + 1];
      const T m = T(T(y[i + 1] - y[i]) / h), mn = T(T(y[i + 2] - y[i + 1]) / hn);
      dl[i] = T(a / h);
      dd[i + 1] = T(T(1) + T(gam / h) + T(gam / hn) + T(gam / an));
      du[i + 1] = T(T(gam / an) - T(gam / hn));
      b[i + 1] = T(T(T(2) * m) + T(T(T(T(2) * gam) * mn) / an));
    }
    // right end
    {
      const int64_t i = nx - 2;
      const T h = hs[i], a = al[i], beta = T(h - a), m = T(T(y[i + 1] - y[i]) / h);
      if (RightSecond) {
        dl[i] = T(a / T(h * beta));
        dd[nx - 1] = T(T(T(1) + T(beta / h)) / beta);
        b[nx - 1] = T(bc[1] + T(T(2) * m) / beta);
      } else {
        dl[i] = T(0);
        dd[nx - 1] = T(1);
        b[nx - 1] = bc[1];
      }
    }
    qor_int info = 0;
    Tridiagonal<T>::factor_solve(&n, &one, dl, dd, du, b, &n, &info);
    if (info != 0) {
      status = DfErrSolver;
      break;
    }
    T a_prev = T(0);
    for (int64_t i = 0; i + 1 < nx; ++i) {
      const T h = hs[i], a = al[i];
      const T delta = T(y[i + 1] - y[i]);
      const T ai = T(T(T(b[i + 1] - b[i]) / T(T(2) * h)) +
                     T(T(T(2) * delta) - T(h * T(b[i] + b[i + 1]))) / T(T(T(2) * h) * a));
      c[3 * i] = y[i];
      c[3 * i + 1] = b[i];
      c[3 * i + 2] = ai;
      a_prev = ai;
    }
    {
      const int64_t i = nx - 2;
      const T beta = T(hs[i] - al[i]);
      c[3 * (nx - 1)] = y[nx - 1];
      c[3 * (nx - 1) + 1] = b[nx - 1];
      c[3 * (nx - 1) + 2] = T(T(b[nx - 1] - b[nx - 2] - T(T(T(2) * a_prev) * al[i])) / T(T(2) * beta));
    }
  }
  qor_serv_deallocate(work);
  return status;
}

}  // namespace

// The kernel tables. Standard quadratic: one kernel per storage of y and kind of partition, under
// its own condition (the midpoint value). Subbotin: per sub-grid kind, storage, partition kind
// and boundary pair (left end first).
template <>
struct Construct<SplineKind::quadratic> : ConstructDefaults {
  static constexpr bool builds(BcKind b) { return b == BcKind::midpoint_value; }
  template <class T, BcKind, bool Cols, bool UniformGrid, bool>
  static int32_t run(const DfTask1D* t, int64_t, const ThreadingServices*) {
    return std_quadratic_kernel<T, Cols, UniformGrid>(t);
  }
};

template <>
struct Construct<SplineKind::subbotin> : ConstructDefaults {
  // Not-a-knot, free-end and periodic Subbotin splines are not built.
  static constexpr bool builds(BcKind b) {
    return b == BcKind::first_first || b == BcKind::first_second || b == BcKind::second_first ||
           b == BcKind::second_second;
  }
  static constexpr bool by_subgrid = true;
  template <class T, BcKind B, bool Cols, bool UniformGrid, bool UniformSubgrid>
  static int32_t run(const DfTask1D* t, int64_t, const ThreadingServices*) {
    return subbotin_kernel<T, Cols, UniformGrid, UniformSubgrid, left_second(B), right_second(B)>(t);
  }
};

namespace {

template <class T>
int32_t quadratic_spline(DfTask1D* t, const ThreadingServices* ts) {
  if (!t) return DfErrNullTask;
  if (!precision_matches<T>(t)) return DfErrType;
  if (!valid_storage_hint(t->yhint)) return DfErrYHint;
  const BcKind bc = bc_kind(t->bcType);
  const bool cols = y_by_columns(t), uniform = uniform_partition(t);
  ConstructKernel kernel = nullptr;
  if (t->type == QOR_DF_TYPE_DEFAULT) {
    kernel = construct_kernel<SplineKind::quadratic, T>(bc, cols, uniform, false);
  } else if (t->type == QOR_DF_TYPE_SUBBOTIN) {
    if (!(t->icType & QOR_DF_IC_SUBGRID)) return DfErrIcType;
    const bool uniform_subgrid = (t->icType & QOR_DF_IC_UNIFORM) != 0;
    kernel = construct_kernel<SplineKind::subbotin, T>(bc, cols, uniform, uniform_subgrid);
  } else {
    return DfErrMethod;
  }
  if (!kernel) return DfErrBcType;
  if (!t->bc) return DfErrNullBc;
  if (t->nx < 2) return DfErrNx;
  if (t->ny <= 0) return DfOk;
  if (const int32_t st = check_function_tables<T>(t); st != DfOk) return st;
  return kernel(t, QOR_DF_METHOD_DEFAULT, ts);
}

}  // namespace
}  // namespace qor::df

extern "C" {
QOR_API int32_t qor_df_kernel_dDFQuadraticSpline1D(DfTask1D* task, int64_t, int64_t, const ThreadingServices* ts) {
  return qor::df::quadratic_spline<double>(task, ts);
}
QOR_API int32_t qor_df_kernel_sDFQuadraticSpline1D(DfTask1D* task, int64_t, int64_t, const ThreadingServices* ts) {
  return qor::df::quadratic_spline<float>(task, ts);
}
}
