// Square root, selection and quicksort of double and float vectors (contiguous or strided).
//
// Both the selection and the sort partition around the median of three: the middle element
// is swapped next to the left end, the left end, that element and the right end are put in
// order, and the middle one of them is the pivot; the two ends then stop the inner scans, so
// the scans need no bounds checks (NaNs included, which leave the order unspecified but never
// make a scan leave the range).
#include <emmintrin.h>

#include <cmath>
#include <cstddef>
#include <utility>

#include "qor/stats_helpers.h"

namespace qor::ss::helpers {
namespace {

template <class T>
struct Strided {
  T* a;
  ptrdiff_t stride;
  T& operator[](ptrdiff_t i) const { return a[i * stride]; }
};

template <class A>
inline void order_pair(A& a, ptrdiff_t i, ptrdiff_t j) {
  if (a[i] > a[j]) std::swap(a[i], a[j]);
}

// Median-of-three partition of [l, r] (r - l >= 2). Returns the pivot's final position j and
// the first index i of the right part.
template <class A>
inline void partition(A& a, ptrdiff_t l, ptrdiff_t r, ptrdiff_t& i_out, ptrdiff_t& j_out) {
  std::swap(a[l + (r - l) / 2], a[l + 1]);
  order_pair(a, l, r);
  order_pair(a, l + 1, r);
  order_pair(a, l, l + 1);
  ptrdiff_t i = l + 1, j = r;
  const auto pivot = a[l + 1];
  for (;;) {
    do ++i; while (a[i] < pivot);
    do --j; while (a[j] > pivot);
    if (j < i) break;
    std::swap(a[i], a[j]);
  }
  a[l + 1] = a[j];
  a[j] = pivot;
  i_out = i;
  j_out = j;
}

template <class A>
auto select(A a, ptrdiff_t n, ptrdiff_t k) {
  ptrdiff_t l = 0, r = n - 1;
  while (r > l + 1) {
    ptrdiff_t i, j;
    partition(a, l, r, i, j);
    if (j >= k) r = j - 1;
    if (j <= k) l = i;
  }
  if (r == l + 1) order_pair(a, l, r);
  return a[k];
}

template <class A>
void quicksort(A a, ptrdiff_t n) {
  constexpr ptrdiff_t kInsertion = 6;  // ranges of fewer than 7 elements: straight insertion
  ptrdiff_t stack[2 * 8 * sizeof(ptrdiff_t)];  // the smaller part goes first: depth <= log2(n)
  int top = 0;
  ptrdiff_t l = 0, r = n - 1;
  for (;;) {
    if (r - l < kInsertion) {
      for (ptrdiff_t j = l + 1; j <= r; ++j) {
        const auto v = a[j];
        ptrdiff_t i = j - 1;
        for (; i >= l; --i) {
          if (a[i] <= v) break;
          a[i + 1] = a[i];
        }
        a[i + 1] = v;
      }
      if (top == 0) return;
      r = stack[--top];
      l = stack[--top];
    } else {
      ptrdiff_t i, j;
      partition(a, l, r, i, j);
      if (r - i + 1 >= j - l) {  // right part [i, r] is the larger: keep it for later
        stack[top++] = i;
        stack[top++] = r;
        r = j - 1;
      } else {
        stack[top++] = l;
        stack[top++] = j - 1;
        l = i;
      }
    }
  }
}

template <class T>
T select_checked(int32_t n, T* a, int32_t k) {
  if (!a || n < 1 || k < 0 || k >= n) return static_cast<T>(NAN);
  return select(a, n, k);
}

template <class T>
int32_t sort_checked(int32_t n, T* a, int32_t stride) {
  if (!a || n < 2 || stride < 1) return 0;
  if (stride == 1)
    quicksort(a, n);
  else
    quicksort(Strided<T>{a, stride}, n);
  return 0;
}

}  // namespace
}  // namespace qor::ss::helpers

using namespace qor::ss::helpers;

extern "C" QOR_API double __hoxdSqrt(double x) { return _mm_cvtsd_f64(_mm_sqrt_sd(_mm_setzero_pd(), _mm_set_sd(x))); }

extern "C" QOR_API double __hoxdQSortSelect(int32_t n, double* a, int32_t k) { return select_checked(n, a, k); }
extern "C" QOR_API float __hoxsQSortSelect(int32_t n, float* a, int32_t k) { return select_checked(n, a, k); }
extern "C" QOR_API int32_t __hoxdQSort(int32_t n, double* a) { return sort_checked(n, a, 1); }
extern "C" QOR_API int32_t __hoxsQSort(int32_t n, float* a) { return sort_checked(n, a, 1); }
extern "C" QOR_API int32_t __hoxdQSortStep(int32_t n, double* a, int32_t stride) { return sort_checked(n, a, stride); }
extern "C" QOR_API int32_t __hoxsQSortStep(int32_t n, float* a, int32_t stride) { return sort_checked(n, a, stride); }
