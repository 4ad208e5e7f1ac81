// Cell search shared by the search, interpolation (and integration) entry points.
#pragma once

#include "data_fitting/task.h"

namespace qor::df {

enum SearchMethod : int32_t {
  kSearchUniform = 0,
  kSearchQuasiUniform = 1,
  kSearchSorted = 2,
  kSearchPeak = 3,
  kSearchHybrid = 4,
  kSearchUser = 5,
  kSearchUserUniform = 6,
};

// The data hint: element kDataHintMethod chooses the hybrid (kDataHintHybrid) or the peak
// (kDataHintPeak) method, element kDataHintPeakCell holds the peak cell.
constexpr int kDataHintMethod = 1;
constexpr int kDataHintPeakCell = 4;
constexpr int kDataHintHybrid = 0;
constexpr int kDataHintPeak = 1;

// Chooses the method from the partition hint, the site hint, the data hint and the callback:
// DfOk with *method set, or DfErrDataHint.
template <class T>
int32_t choose_search_method(const DfTask1D* t, int64_t sitehint, const T* datahint, bool callback,
                             int32_t* method);

// Everything a search of one batch of sites needs, fixed once per call.
template <class T>
struct SearchPlan {
  const DfTask1D* task;
  int32_t method;
  int64_t nx;
  const T* x;
  T scale;          // uniform and quasi-uniform methods
  T peak;           // peak method
  T bucketScale;    // hybrid method
  const uint32_t* bucketTable;
  const void* callback;  // user search callback (DfdSearchCallBack or DfsSearchCallBack)
  const void* params;
};

template <class T>
SearchPlan<T> make_search_plan(const DfTask1D* t, int32_t method, const T* datahint, const void* callback,
                               const void* params);

// Cells of n sites into cell (32-bit), on the calling thread. Returns DfOk or the callback's status
// (a negative one stops the search; a positive one other than 1000 is returned after the search).
template <class T>
int32_t search_block(const SearchPlan<T>& plan, int64_t n, const T* site, int32_t* cell);

// Expands uniform sites (first and last given) into n sites.
template <class T>
void expand_uniform_sites(const T* ends, int64_t n, T* out);

}  // namespace qor::df
