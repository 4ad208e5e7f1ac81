// The data-fitting task record and the helpers every data-fitting operation shares.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qor/df.h"

// The record. Integer parameters are signed 64-bit, pointers native; the layout is fixed
// (132 bytes on i386, where 64-bit fields sit on 4-byte boundaries; on x86-64 only the pointer
// fields widen and the natural alignment applies).
struct DfTask1D {
  int32_t intWidth;        // 0: integers exchanged with the caller are 32-bit; else 64-bit
  int8_t kindTag;          // always kKindTag (4)
  int32_t isDouble;        // 1: made by the double constructor
  int32_t dimension;       // always 1
  int64_t nx;
  const void* x;
  int64_t xhint;
  int64_t ny;
  const void** yTable;     // per-function pointers into y (owned by the task)
  int64_t yhint;
  int64_t order;
  int64_t type;
  int64_t icType;
  const void* ic;
  int64_t bcType;
  const void* bc;
  void** coeffTable;       // per-function coefficient pointers (owned by the task)
  int64_t coeffHint;
  int32_t checkFlag;
  int64_t bucketCount;
  uint32_t* bucketTable;   // quasi-uniform table: (lo, hi) pairs (owned by the task)
  union {
    double d;
    float f;
  } bucketScale;           // bucketCount / (x[nx-1] - x[0]) in the task's precision
};

#if defined(__i386__)
static_assert(sizeof(DfTask1D) == 132);
static_assert(offsetof(DfTask1D, kindTag) == 4);
static_assert(offsetof(DfTask1D, isDouble) == 8);
static_assert(offsetof(DfTask1D, dimension) == 12);
static_assert(offsetof(DfTask1D, nx) == 16);
static_assert(offsetof(DfTask1D, x) == 24);
static_assert(offsetof(DfTask1D, xhint) == 28);
static_assert(offsetof(DfTask1D, ny) == 36);
static_assert(offsetof(DfTask1D, yTable) == 44);
static_assert(offsetof(DfTask1D, yhint) == 48);
static_assert(offsetof(DfTask1D, order) == 56);
static_assert(offsetof(DfTask1D, type) == 64);
static_assert(offsetof(DfTask1D, icType) == 72);
static_assert(offsetof(DfTask1D, ic) == 80);
static_assert(offsetof(DfTask1D, bcType) == 84);
static_assert(offsetof(DfTask1D, bc) == 92);
static_assert(offsetof(DfTask1D, coeffTable) == 96);
static_assert(offsetof(DfTask1D, coeffHint) == 100);
static_assert(offsetof(DfTask1D, checkFlag) == 108);
static_assert(offsetof(DfTask1D, bucketCount) == 112);
static_assert(offsetof(DfTask1D, bucketTable) == 120);
static_assert(offsetof(DfTask1D, bucketScale) == 124);
#elif defined(__x86_64__)
static_assert(sizeof(DfTask1D) == 160);
static_assert(offsetof(DfTask1D, x) == 24);
static_assert(offsetof(DfTask1D, xhint) == 32);
static_assert(offsetof(DfTask1D, yTable) == 48);
static_assert(offsetof(DfTask1D, ic) == 88);
static_assert(offsetof(DfTask1D, bc) == 104);
static_assert(offsetof(DfTask1D, coeffTable) == 112);
static_assert(offsetof(DfTask1D, checkFlag) == 128);
static_assert(offsetof(DfTask1D, bucketCount) == 136);
static_assert(offsetof(DfTask1D, bucketTable) == 144);
static_assert(offsetof(DfTask1D, bucketScale) == 152);
#endif

namespace qor::df {

constexpr int64_t kBucketPairs = 1026;               // 1024 buckets + end pair + spare pair
constexpr size_t kBucketTableBytes = kBucketPairs * 8;  // 8,208 bytes
constexpr uint32_t kUnset = 0xFFFFFFFFu;
constexpr int8_t kKindTag = 4;  // the kind tag of every data-fitting task

// Pointer tables (yTable, coeffTable) carry their entry count in a 16-byte prefix, so that an
// editor or kernel never reads past the table after nx or ny changed.
void** table_allocate(int64_t entries);  // zero-filled; null on failure
void table_release(void* table);
int64_t table_entries(const void* table);  // 0 for null

// Builds the quasi-uniform bucket table of the task from its current x and nx.
void build_bucket_table(DfTask1D* task);

inline bool uniform_partition(const DfTask1D* t) { return t->xhint == QOR_DF_HINT_UNIFORM; }
inline bool valid_storage_hint(int64_t h) {
  return h == QOR_DF_HINT_NONE || h == QOR_DF_STORAGE_ROWS || h == QOR_DF_STORAGE_COLS ||
         h == QOR_DF_STORAGE_PER_FUNCTION;
}
inline bool y_by_columns(const DfTask1D* t) { return t->yhint == QOR_DF_STORAGE_COLS; }

// Reads function j's y values: element i is at fy[i * inc].
template <class T>
struct YView {
  const T* fy;
  int64_t inc;
  T operator[](int64_t i) const { return fy[i * inc]; }
};

// Function j's y values, or fy = null when the task does not hold them.
template <class T>
YView<T> y_of(const DfTask1D* t, int64_t j) {
  const int64_t n = table_entries(t->yTable);
  if (y_by_columns(t)) {
    const T* base = n >= 1 ? static_cast<const T*>(t->yTable[0]) : nullptr;
    return {base ? base + j : nullptr, t->ny};
  }
  return {j < n ? static_cast<const T*>(t->yTable[j]) : nullptr, 1};
}

// Function j's coefficient run, or null.
template <class T>
T* coeff_of(const DfTask1D* t, int64_t j) {
  const int64_t n = table_entries(t->coeffTable);
  return j < n ? static_cast<T*>(t->coeffTable[j]) : nullptr;
}

// Breakpoint i (uniform partitions hold only the two ends).
template <class T>
struct Partition {
  const T* x;
  int64_t nx;
  bool uniform;
  T h;  // uniform step
  T operator[](int64_t i) const { return uniform ? (i == nx - 1 ? x[1] : T(x[0] + T(i) * h)) : x[i]; }
  T width(int64_t i) const { return uniform ? h : T(x[i + 1] - x[i]); }
  T first() const { return x[0]; }
  T last() const { return uniform ? x[1] : x[nx - 1]; }
};

template <class T>
Partition<T> partition_of(const DfTask1D* t) {
  Partition<T> p;
  p.x = static_cast<const T*>(t->x);
  p.nx = t->nx;
  p.uniform = uniform_partition(t);
  p.h = p.uniform ? T((p.x[1] - p.x[0]) / T(t->nx - 1)) : T(0);
  return p;
}

// Uniform breakpoint i from the two ends: x0 + i * h, and x1 itself for the last one.
template <class T>
inline T uniform_breakpoint(const T* x, int64_t nx, T h, int64_t i) {
  return i >= nx - 1 ? x[1] : T(x[0] + T(i) * h);
}

// Number of threads the caller's table allows (1 without a table).
inline int32_t threads_available(const ThreadingServices* ts) {
  if (!ts || !ts->parallel_for || !ts->max_threads) return 1;
  const int32_t n = ts->max_threads();
  return n < 1 ? 1 : n;
}

}  // namespace qor::df
