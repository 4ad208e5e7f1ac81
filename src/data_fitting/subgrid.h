// The Subbotin spline's sub-grid t(0) < t(1) < ... < t(nx), one breakpoint in each sub-grid cell.
#pragma once

#include "data_fitting/task.h"

namespace qor::df {

// Sub-grid point k (0 .. nx) of the task.
template <class T>
struct Subgrid {
  Partition<T> p;
  const T* ic;
  bool uniform;  // ic holds the first and last interior points
  T step;
  T operator()(int64_t k) const {
    const int64_t nx = p.nx;
    if (k <= 0) return p.first();
    if (k >= nx) return p.last();
    if (!ic) return T(T(p[k - 1] + p[k]) * T(0.5));
    if (!uniform) return ic[k];
    return nx == 2 ? ic[0] : T(ic[0] + T(k - 1) * step);
  }
};

template <class T>
Subgrid<T> make_subgrid(const Partition<T>& p, const T* ic, int64_t icType) {
  Subgrid<T> g{p, ic, (icType & QOR_DF_IC_UNIFORM) != 0, T(0)};
  if (g.ic && g.uniform && p.nx > 2) g.step = T(T(g.ic[1] - g.ic[0]) / T(p.nx - 2));
  return g;
}

template <class T>
Subgrid<T> subgrid_of(const DfTask1D* t) {
  return make_subgrid(partition_of<T>(t), static_cast<const T*>(t->ic), t->icType);
}

}  // namespace qor::df
