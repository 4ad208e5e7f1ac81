// Runs the moments method on a data set with every output array attached.
#pragma once

#include <cstring>
#include <vector>

#include "qor/stats.h"
#include "moments_oracle.h"

namespace qor::test::ss {

constexpr uint64_t kAllEstimates =
    HOX_SS_EST_MEAN | HOX_SS_EST_RAW2 | HOX_SS_EST_RAW3 | HOX_SS_EST_RAW4 | HOX_SS_EST_CEN2 |
    HOX_SS_EST_CEN3 | HOX_SS_EST_CEN4 | HOX_SS_EST_KURTOSIS | HOX_SS_EST_SKEWNESS |
    HOX_SS_EST_VARIATION | HOX_SS_EST_COV | HOX_SS_EST_COR | HOX_SS_EST_SUM |
    HOX_SS_EST_RAW2_SUM | HOX_SS_EST_RAW3_SUM | HOX_SS_EST_RAW4_SUM | HOX_SS_EST_CEN2_SUM |
    HOX_SS_EST_CEN3_SUM | HOX_SS_EST_CEN4_SUM | HOX_SS_EST_CROSS_PRODUCT;

constexpr double kSentinel = -7777.0;

template <class T>
struct Outputs {
  int p;
  // moment[0..6]: mean, raw 2..4, central 2..4; sums[0..6]: sum, raw sums 2..4, central sums 2..4
  std::vector<T> moment[7], sums[7], kurt, skew, var, cov, cor, cp, aw;
  explicit Outputs(int p_) : p(p_) {
    for (auto& v : moment) v.assign(p, T(kSentinel));
    for (auto& v : sums) v.assign(p, T(kSentinel));
    kurt.assign(p, T(kSentinel)), skew.assign(p, T(kSentinel)), var.assign(p, T(kSentinel));
    cov.assign(size_t(p) * p, T(kSentinel)), cor = cov, cp = cov;
    aw.assign(2, T(0));
  }
  bool operator==(const Outputs&) const = default;
};

struct Config {
  uint64_t est = kAllEstimates;
  uint64_t method = HOX_SS_METHOD_ONE_PASS;
  const ThreadingServices* th = nullptr;
  int32_t cov_storage = HOX_SS_MATRIX_FULL, cor_storage = HOX_SS_MATRIX_FULL,
          cp_storage = HOX_SS_MATRIX_FULL;
  std::vector<int32_t> indices;  // empty: all variables
  bool accumulate = true;        // attach the accumulated-weights array
};

template <class T>
struct Typed;
template <>
struct Typed<double> {
  static int32_t make(HoxSSTask** t, const int32_t* p, const int32_t* n, const int32_t* s,
                      const double* x, const double* w, const int32_t* ind) {
    return __hoxdSSNewTask(t, p, n, s, x, w, ind, nullptr);
  }
  static int32_t edit(HoxSSTask* t, int64_t id, double* a) { return __hoxdSSEditTask(t, id, a); }
  static int32_t basic(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) {
    return _hoxdSSBasic(t, e, m, th);
  }
};
template <>
struct Typed<float> {
  static int32_t make(HoxSSTask** t, const int32_t* p, const int32_t* n, const int32_t* s,
                      const float* x, const float* w, const int32_t* ind) {
    return __hoxsSSNewTask(t, p, n, s, x, w, ind, nullptr);
  }
  static int32_t edit(HoxSSTask* t, int64_t id, float* a) { return __hoxsSSEditTask(t, id, a); }
  static int32_t basic(HoxSSTask* t, uint64_t e, uint64_t m, const ThreadingServices* th) {
    return _hoxsSSBasic(t, e, m, th);
  }
};

// Attaches every output of `o` to task `t`; the task keeps the addresses of c's storage codes,
// so `c` must outlive the task's use.
template <class T>
void attach(HoxSSTask* t, Outputs<T>& o, const Config& c) {
  for (int k = 0; k < 7; ++k) Typed<T>::edit(t, HOX_SS_ED_MEAN + k, o.moment[k].data());
  for (int k = 0; k < 7; ++k) Typed<T>::edit(t, HOX_SS_ED_SUM + k, o.sums[k].data());
  Typed<T>::edit(t, HOX_SS_ED_KURTOSIS, o.kurt.data());
  Typed<T>::edit(t, HOX_SS_ED_SKEWNESS, o.skew.data());
  Typed<T>::edit(t, HOX_SS_ED_VARIATION, o.var.data());
  Typed<T>::edit(t, HOX_SS_ED_COV, o.cov.data());
  Typed<T>::edit(t, HOX_SS_ED_COR, o.cor.data());
  Typed<T>::edit(t, HOX_SS_ED_CP, o.cp.data());
  __hoxiSSEditTask(t, HOX_SS_ED_COV_STORAGE, &c.cov_storage);
  __hoxiSSEditTask(t, HOX_SS_ED_COR_STORAGE, &c.cor_storage);
  __hoxiSSEditTask(t, HOX_SS_ED_CP_STORAGE, &c.cp_storage);
  if (c.accumulate) Typed<T>::edit(t, HOX_SS_ED_ACCUM_WEIGHT, o.aw.data());
}

// One call over observations [j0, j1) of `d` (a copy of that block, as a caller streaming its
// data would pass it), continuing from what `o` holds.
template <class T>
int32_t run_block(const DataSet& d, int j0, int j1, Outputs<T>& o, const Config& c) {
  const int32_t p = d.p, n = j1 - j0;
  const int32_t storage = d.rows ? HOX_SS_STORAGE_ROWS : HOX_SS_STORAGE_COLUMNS;
  std::vector<T> x(size_t(p) * n), w;
  for (int i = 0; i < p; ++i)
    for (int j = 0; j < n; ++j)
      (d.rows ? x[size_t(i) * n + j] : x[size_t(j) * p + i]) = T(d.at(i, j0 + j));
  if (!d.w.empty()) w.assign(d.w.begin() + j0, d.w.begin() + j1);
  HoxSSTask* t = nullptr;
  int32_t st = Typed<T>::make(&t, &p, &n, &storage, x.data(), w.empty() ? nullptr : w.data(),
                              c.indices.empty() ? nullptr : c.indices.data());
  if (st) return st;
  attach(t, o, c);
  st = Typed<T>::basic(t, c.est, c.method, c.th);
  __hoxSSDeleteTask(&t);
  return st;
}

template <class T>
int32_t run_all(const DataSet& d, Outputs<T>& o, const Config& c) {
  return run_block(d, 0, d.n, o, c);
}

// A threading table over OpenMP that offers a chosen number of threads.
const ThreadingServices* threads_table(int count);

}  // namespace qor::test::ss
