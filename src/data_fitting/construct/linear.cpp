// Linear spline construction: c0 = y[i], c1 = (y[i+1] - y[i]) / (x[i+1] - x[i]) per cell.
// One kernel per (y rows or columns) x (uniform or non-uniform partition), chosen once per call
// from the construction kernel table; large tasks are split into blocks of 1024 cells x 4
// functions run through the caller's ThreadingServices.
#include <algorithm>

#include "data_fitting/construct/construct.h"
#include "data_fitting/construct/kernel_table.h"
#include "service/size_math.h"

namespace qor::df {
namespace {

constexpr int64_t kCellBlock = 1024;
constexpr int64_t kFunctionBlock = 4;

// Cells [i0, i1) of one function. Inc is the distance between consecutive y values (1 for
// rows; ny for columns, given at run time through y.inc).
template <class T, bool Cols, bool Uniform>
inline void linear_cells(const Partition<T>& p, T rstep, YView<T> y, T* c, int64_t i0, int64_t i1) {
  const T* fy = y.fy;
  const int64_t inc = Cols ? y.inc : 1;
  for (int64_t i = i0; i < i1; ++i) {
    const T y0 = fy[i * inc];
    const T y1 = fy[(i + 1) * inc];
    c[2 * i] = y0;
    if constexpr (Uniform)
      c[2 * i + 1] = T((y1 - y0) * rstep);
    else
      c[2 * i + 1] = T((y1 - y0) / T(p.x[i + 1] - p.x[i]));
  }
}

template <class T>
struct LinearJob {
  const DfTask1D* task;
  Partition<T> p;
  T rstep;  // (nx - 1) / (x[1] - x[0]) on a uniform partition
  int64_t cell_blocks;
};

template <class T, bool Cols, bool Uniform>
void linear_block(int32_t block, int32_t, void*, void* context) {
  const auto* job = static_cast<const LinearJob<T>*>(context);
  const DfTask1D* t = job->task;
  const int64_t cb = block % job->cell_blocks;
  const int64_t fb = block / job->cell_blocks;
  const int64_t i0 = cb * kCellBlock;
  const int64_t i1 = std::min(i0 + kCellBlock, t->nx - 1);
  const int64_t j1 = std::min((fb + 1) * kFunctionBlock, t->ny);
  for (int64_t j = fb * kFunctionBlock; j < j1; ++j)
    linear_cells<T, Cols, Uniform>(job->p, job->rstep, y_of<T>(t, j), coeff_of<T>(t, j), i0, i1);
}

template <class T, bool Cols, bool Uniform>
int32_t linear_kernel(const DfTask1D* t, const ThreadingServices* ts) {
  LinearJob<T> job{t, partition_of<T>(t), T(0), 0};
  if (Uniform) job.rstep = T(T(t->nx - 1) / T(job.p.x[1] - job.p.x[0]));
  const int64_t ncell = t->nx - 1;
  int64_t values;
  if (!serv::checked_mul(t->nx, t->ny, &values) || values < 128) {
    for (int64_t j = 0; j < t->ny; ++j)
      linear_cells<T, Cols, Uniform>(job.p, job.rstep, y_of<T>(t, j), coeff_of<T>(t, j), 0, ncell);
    return DfOk;
  }
  job.cell_blocks = (ncell + kCellBlock - 1) / kCellBlock;
  const int64_t blocks = job.cell_blocks * ((t->ny + kFunctionBlock - 1) / kFunctionBlock);
  const int32_t threads = threads_available(ts);
  if (blocks >= 5 && threads > 1 && blocks <= INT32_MAX) {
    const int32_t nt = static_cast<int32_t>(std::min<int64_t>(blocks, threads));
    ts->parallel_for(static_cast<int32_t>(blocks), nt, &job, linear_block<T, Cols, Uniform>);
  } else {
    for (int64_t b = 0; b < blocks; ++b) linear_block<T, Cols, Uniform>(static_cast<int32_t>(b), 0, nullptr, &job);
  }
  return DfOk;
}

}  // namespace

// One kernel per storage of y and kind of partition (its block function is linear_block); the
// boundary condition is only checked, never built, so the table holds it under BcKind::none.
template <>
struct Construct<SplineKind::linear> : ConstructDefaults {
  static constexpr bool builds(BcKind b) { return b == BcKind::none; }
  template <class T, BcKind, bool Cols, bool UniformGrid, bool>
  static int32_t run(const DfTask1D* t, int64_t, const ThreadingServices* ts) {
    return linear_kernel<T, Cols, UniformGrid>(t, ts);
  }
};

namespace {

template <class T>
int32_t linear_spline(DfTask1D* t, int64_t method, const ThreadingServices* ts) {
  if (!t) return DfErrNullTask;
  if (!precision_matches<T>(t)) return DfErrType;
  if (method != QOR_DF_METHOD_DEFAULT) return DfErrMethod;
  if (t->nx < 2) return DfErrNx;
  if (!valid_storage_hint(t->yhint)) return DfErrYHint;
  if (t->ny <= 0) return DfOk;
  if (const int32_t st = check_function_tables<T>(t); st != DfOk) return st;
  if (t->bcType == QOR_DF_BC_PERIODIC && !periodic_ends_match<T>(t)) return DfErrPeriodic;
  const ConstructKernel kernel =
      construct_kernel<SplineKind::linear, T>(BcKind::none, y_by_columns(t), uniform_partition(t), false);
  return kernel(t, method, ts);
}

}  // namespace
}  // namespace qor::df

extern "C" {
QOR_API int32_t qor_df_kernel_dDFLinearSpline1D(DfTask1D* task, int64_t, int64_t method, const ThreadingServices* ts) {
  return qor::df::linear_spline<double>(task, method, ts);
}
QOR_API int32_t qor_df_kernel_sDFLinearSpline1D(DfTask1D* task, int64_t, int64_t method, const ThreadingServices* ts) {
  return qor::df::linear_spline<float>(task, method, ts);
}
}
