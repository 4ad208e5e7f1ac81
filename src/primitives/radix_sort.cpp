// Least-significant-digit radix sorts of keys (in place) and of index arrays.
//
// Each key is mapped to an unsigned value whose ascending order is the wanted order (the
// transforms below); one pass over the keys counts the digits of every pass at once
// (11-, 11- and 10-bit digits for 32-bit keys, those of the low and then the high word for
// 64-bit keys, two 8-bit digits for 16-bit keys); a pass whose digit is the same for every
// key is skipped; each remaining pass is a stable scatter. The in-place sorts store the
// transformed keys during counting and apply the inverse transform in their last pass; they
// end with a copy when the last pass wrote into the buffer. Index sorts move 32-bit indices
// instead and read (and transform) the keys through the stride on every pass; the number of
// passes decides which of the two index arrays the first pass writes, so that the last one
// writes the output. Counters live on the stack; nothing is allocated.
//
// Below 1,024 keys of 32 or 64 bits the fixed cost of the counters outweighs the passes: the
// transformed keys are sorted by comparison instead (for index sorts as (key, index) pairs,
// which keeps equal keys in index order), with the same result.
#include <algorithm>
#include <cstring>

#include "qor/prim.h"

namespace qor::prim {
namespace {

// ---- digit layouts -----------------------------------------------------------------------
struct Layout16 {
  static constexpr int kPasses = 2;
  static constexpr int kShift[2] = {0, 8};
  static constexpr int kBits[2] = {8, 8};
};
struct Layout32 {
  static constexpr int kPasses = 3;
  static constexpr int kShift[3] = {0, 11, 22};
  static constexpr int kBits[3] = {11, 11, 10};
};
struct Layout64 {
  static constexpr int kPasses = 6;
  static constexpr int kShift[6] = {0, 11, 22, 32, 43, 54};
  static constexpr int kBits[6] = {11, 11, 10, 11, 11, 10};
};

template <class L>
constexpr int total_bins() {
  int t = 0;
  for (int p = 0; p < L::kPasses; ++p) t += 1 << L::kBits[p];
  return t;
}

template <class L, class U>
inline uint32_t digit(U k, int p) {
  return static_cast<uint32_t>(k >> L::kShift[p]) & ((1u << L::kBits[p]) - 1u);
}

// ---- key transforms: fwd maps a key's bits to the sort key, inv maps back -----------------
template <class U, U Mask>
struct XorTransform {  // unsigned and signed integers
  static U fwd(U k) { return k ^ Mask; }
  static U inv(U k) { return k ^ Mask; }
};

template <class U, class S>
struct FloatAscend {
  static constexpr U kSign = U(1) << (sizeof(U) * 8 - 1);
  // sign set: all bits flipped; sign clear: only the sign bit flipped
  static U fwd(U k) { return k ^ (static_cast<U>(static_cast<S>(k) >> (sizeof(U) * 8 - 1)) | kSign); }
  static U inv(U t) { return t ^ (static_cast<U>(static_cast<S>(~t) >> (sizeof(U) * 8 - 1)) | kSign); }
};

template <class U, class S>
struct FloatDescend {
  static constexpr U kRest = ~(U(1) << (sizeof(U) * 8 - 1));
  // sign set: unchanged; sign clear: all bits but the sign flipped (the sign bit is kept, so
  // the inverse is the same map)
  static U fwd(U k) { return k ^ (~static_cast<U>(static_cast<S>(k) >> (sizeof(U) * 8 - 1)) & kRest); }
  static U inv(U t) { return fwd(t); }
};

// ---- in-place sort -------------------------------------------------------------------------
template <class U, class L, class Tr, bool Last>
void scatter(const U* src, U* dst, size_t n, uint32_t* pos, int p) {
  for (size_t i = 0; i < n; ++i) {
    const U k = src[i];
    dst[pos[digit<L>(k, p)]++] = Last ? Tr::inv(k) : k;
  }
}

// Exclusive prefix sums of the histograms of the passes that do work; returns their number
// and lists them in `order`.
template <class L, class U>
int plan_passes(uint32_t* const* hist, U first, uint32_t n, int* order) {
  int active = 0;
  for (int p = 0; p < L::kPasses; ++p) {
    uint32_t* h = hist[p];
    if (h[digit<L>(first, p)] == n) continue;  // every key has this digit
    uint32_t sum = 0;
    for (int b = 0; b < (1 << L::kBits[p]); ++b) {
      const uint32_t c = h[b];
      h[b] = sum;
      sum += c;
    }
    order[active++] = p;
  }
  return active;
}

template <class L>
void split_histograms(int32_t* counters, uint32_t** hist) {
  int off = 0;
  for (int p = 0; p < L::kPasses; ++p) {
    hist[p] = reinterpret_cast<uint32_t*>(counters) + off;
    off += 1 << L::kBits[p];
  }
}

constexpr size_t kComparisonBelow = 1024;

template <class U, class L, class Tr, class CopyFn>
int32_t sort_in_place(void* keys_v, void* buf_v, int32_t len, CopyFn copy_back) {
  if (!keys_v || !buf_v) return QOR_PRIM_STATUS_NULL_PTR;
  if (len < 1) return QOR_PRIM_STATUS_SIZE_ERR;
  U* const keys = static_cast<U*>(keys_v);
  U* const buf = static_cast<U*>(buf_v);
  const size_t n = static_cast<size_t>(len);
  if constexpr (sizeof(U) >= 4) {
    if (n < kComparisonBelow) {
      for (size_t i = 0; i < n; ++i) keys[i] = Tr::fwd(keys[i]);
      std::sort(keys, keys + n);
      for (size_t i = 0; i < n; ++i) keys[i] = Tr::inv(keys[i]);
      return QOR_PRIM_STATUS_OK;
    }
  }

  int32_t counters[total_bins<L>()];
  qor_dft_e8r_ochaZero_32s(counters, total_bins<L>());
  uint32_t* hist[L::kPasses];
  split_histograms<L>(counters, hist);

  for (size_t i = 0; i < n; ++i) {
    const U k = Tr::fwd(keys[i]);
    keys[i] = k;
    for (int p = 0; p < L::kPasses; ++p) ++hist[p][digit<L>(k, p)];
  }
  int order[L::kPasses];
  const int active = plan_passes<L>(hist, keys[0], static_cast<uint32_t>(n), order);
  if (active == 0) {
    for (size_t i = 0; i < n; ++i) keys[i] = Tr::inv(keys[i]);
    return QOR_PRIM_STATUS_OK;
  }
  U* src = keys;
  U* dst = buf;
  for (int a = 0; a < active; ++a) {
    const int p = order[a];
    if (a + 1 == active)
      scatter<U, L, Tr, true>(src, dst, n, hist[p], p);
    else
      scatter<U, L, Tr, false>(src, dst, n, hist[p], p);
    U* t = src;
    src = dst;
    dst = t;
  }
  if (src != keys) copy_back(src, keys, len);
  return QOR_PRIM_STATUS_OK;
}

// ---- index sort ----------------------------------------------------------------------------
template <class U, class Tr>
inline U key_at(const unsigned char* base, size_t stride, size_t i) {
  U k;
  std::memcpy(&k, base + i * stride, sizeof k);
  return Tr::fwd(k);
}

template <class U, class L, class Tr>
int32_t sort_index(const void* keys_v, int32_t stride, int32_t* index, int32_t* ibuf, int32_t len) {
  if (!keys_v || !index || !ibuf) return QOR_PRIM_STATUS_NULL_PTR;
  if (len < 1 || stride < static_cast<int32_t>(sizeof(U))) return QOR_PRIM_STATUS_SIZE_ERR;
  const unsigned char* const base = static_cast<const unsigned char*>(keys_v);
  const size_t n = static_cast<size_t>(len), st = static_cast<size_t>(stride);
  if constexpr (sizeof(U) == 4) {
    if (n < kComparisonBelow) {
      uint64_t pairs[kComparisonBelow];
      for (size_t i = 0; i < n; ++i) pairs[i] = uint64_t(key_at<U, Tr>(base, st, i)) << 32 | i;
      std::sort(pairs, pairs + n);
      for (size_t i = 0; i < n; ++i) index[i] = static_cast<int32_t>(pairs[i] & 0xFFFFFFFFu);
      return QOR_PRIM_STATUS_OK;
    }
  }

  int32_t counters[total_bins<L>()];
  qor_dft_e8r_ochaZero_32s(counters, total_bins<L>());
  uint32_t* hist[L::kPasses];
  split_histograms<L>(counters, hist);
  for (size_t i = 0; i < n; ++i) {
    const U k = key_at<U, Tr>(base, st, i);
    for (int p = 0; p < L::kPasses; ++p) ++hist[p][digit<L>(k, p)];
  }
  int order[L::kPasses];
  const int active = plan_passes<L>(hist, key_at<U, Tr>(base, st, 0), static_cast<uint32_t>(n), order);
  if (active == 0) {
    for (size_t i = 0; i < n; ++i) index[i] = static_cast<int32_t>(i);
    return QOR_PRIM_STATUS_OK;
  }
  // The first pass reads the keys in index order and writes where an odd number of passes
  // later ends in `index`.
  int32_t* dst = (active & 1) ? index : ibuf;
  int32_t* other = (active & 1) ? ibuf : index;
  {
    uint32_t* pos = hist[order[0]];
    for (size_t i = 0; i < n; ++i)
      dst[pos[digit<L>(key_at<U, Tr>(base, st, i), order[0])]++] = static_cast<int32_t>(i);
  }
  for (int a = 1; a < active; ++a) {
    const int p = order[a];
    uint32_t* pos = hist[p];
    const int32_t* src = dst;
    dst = other;
    other = const_cast<int32_t*>(src);
    for (size_t j = 0; j < n; ++j) {
      const int32_t i = src[j];
      dst[pos[digit<L>(key_at<U, Tr>(base, st, static_cast<size_t>(i)), p)]++] = i;
    }
  }
  return QOR_PRIM_STATUS_OK;
}

// ---- 8-bit keys: counting ------------------------------------------------------------------
template <bool Descend>
int32_t sort_8u(uint8_t* keys, uint8_t* buf, int32_t len) {
  if (!keys || !buf) return QOR_PRIM_STATUS_NULL_PTR;
  if (len < 1) return QOR_PRIM_STATUS_SIZE_ERR;
  int32_t count[256];
  qor_dft_e8r_ochaZero_32s(count, 256);
  for (int32_t i = 0; i < len; ++i) ++count[Descend ? 255 - keys[i] : keys[i]];
  uint8_t* p = keys;
  for (int v = 0; v < 256; ++v) {
    if (count[v] == 0) continue;
    qor_dft_e8r_ochaSet_8u(static_cast<uint8_t>(Descend ? 255 - v : v), p, count[v]);
    p += count[v];
  }
  return QOR_PRIM_STATUS_OK;
}

template <bool Descend>
int32_t sort_index_8u(const uint8_t* keys, int32_t stride, int32_t* index, int32_t* ibuf, int32_t len) {
  if (!keys || !index || !ibuf) return QOR_PRIM_STATUS_NULL_PTR;
  if (len < 1 || stride < 1) return QOR_PRIM_STATUS_SIZE_ERR;
  const size_t n = static_cast<size_t>(len), st = static_cast<size_t>(stride);
  int32_t count[256];
  qor_dft_e8r_ochaZero_32s(count, 256);
  for (size_t i = 0; i < n; ++i) ++count[Descend ? 255 - keys[i * st] : keys[i * st]];
  int32_t sum = 0;
  for (int v = 0; v < 256; ++v) {
    const int32_t c = count[v];
    count[v] = sum;
    sum += c;
  }
  for (size_t i = 0; i < n; ++i) index[count[Descend ? 255 - keys[i * st] : keys[i * st]]++] = static_cast<int32_t>(i);
  return QOR_PRIM_STATUS_OK;
}

inline void copy32(const uint32_t* s, uint32_t* d, int32_t n) {
  qor_dft_e8r_ochaCopy_32s(reinterpret_cast<const int32_t*>(s), reinterpret_cast<int32_t*>(d), n);
}
inline void copy16(const uint16_t* s, uint16_t* d, int32_t n) {
  qor_dft_e8r_ochaCopy_16s(reinterpret_cast<const int16_t*>(s), reinterpret_cast<int16_t*>(d), n);
}
inline void copy64(const uint64_t* s, uint64_t* d, int32_t n) {
  qor_dft_e8r_ochaCopy_64s(reinterpret_cast<const int64_t*>(s), reinterpret_cast<int64_t*>(d), n);
}

using U32Asc = XorTransform<uint32_t, 0u>;
using U32Desc = XorTransform<uint32_t, 0xFFFFFFFFu>;
using S32Asc = XorTransform<uint32_t, 0x80000000u>;
using S32Desc = XorTransform<uint32_t, 0x7FFFFFFFu>;
using U16Asc = XorTransform<uint16_t, uint16_t(0)>;
using U16Desc = XorTransform<uint16_t, uint16_t(0xFFFF)>;
using S16Asc = XorTransform<uint16_t, uint16_t(0x8000)>;
using S16Desc = XorTransform<uint16_t, uint16_t(0x7FFF)>;
using F32Asc = FloatAscend<uint32_t, int32_t>;
using F32Desc = FloatDescend<uint32_t, int32_t>;
using F64Asc = FloatAscend<uint64_t, int64_t>;
using F64Desc = FloatDescend<uint64_t, int64_t>;

}  // namespace
}  // namespace qor::prim

using namespace qor::prim;

// The four entry points of one key type: in-place and index sorts, ascending and descending,
// on keys seen as unsigned words U of the given layout.
#define QOR_SORT(sfx, T, U, Lay, copy, Asc, Desc)                                                 \
  extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixAscend_##sfx##_I(T* k, T* b, int32_t n) {   \
    return sort_in_place<U, Lay, Asc>(k, b, n, copy);                                             \
  }                                                                                              \
  extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixDescend_##sfx##_I(T* k, T* b, int32_t n) {  \
    return sort_in_place<U, Lay, Desc>(k, b, n, copy);                                            \
  }                                                                                              \
  extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixIndexAscend_##sfx(const T* k, int32_t s,    \
      int32_t* i, int32_t* ib, int32_t n) {                                                      \
    return sort_index<U, Lay, Asc>(k, s, i, ib, n);                                               \
  }                                                                                              \
  extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixIndexDescend_##sfx(const T* k, int32_t s,   \
      int32_t* i, int32_t* ib, int32_t n) {                                                      \
    return sort_index<U, Lay, Desc>(k, s, i, ib, n);                                              \
  }
#define QOR_SORT32(sfx, T, Asc, Desc) QOR_SORT(sfx, T, uint32_t, Layout32, copy32, Asc, Desc)
#define QOR_SORT16(sfx, T, Asc, Desc) QOR_SORT(sfx, T, uint16_t, Layout16, copy16, Asc, Desc)

QOR_SORT32(32f, float, F32Asc, F32Desc)
QOR_SORT32(32s, int32_t, S32Asc, S32Desc)
QOR_SORT32(32u, uint32_t, U32Asc, U32Desc)
QOR_SORT16(16s, int16_t, S16Asc, S16Desc)
QOR_SORT16(16u, uint16_t, U16Asc, U16Desc)

extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixAscend_64f_I(double* k, double* b, int32_t n) {
  return sort_in_place<uint64_t, Layout64, F64Asc>(k, b, n, copy64);
}
extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixDescend_64f_I(double* k, double* b, int32_t n) {
  return sort_in_place<uint64_t, Layout64, F64Desc>(k, b, n, copy64);
}
extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixAscend_8u_I(uint8_t* k, uint8_t* b, int32_t n) {
  return sort_8u<false>(k, b, n);
}
extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixDescend_8u_I(uint8_t* k, uint8_t* b, int32_t n) {
  return sort_8u<true>(k, b, n);
}
extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixIndexAscend_8u(const uint8_t* k, int32_t s, int32_t* i,
                                                                   int32_t* ib, int32_t n) {
  return sort_index_8u<false>(k, s, i, ib, n);
}
extern "C" QOR_API int32_t qor_dft_e8r_ochaSortRadixIndexDescend_8u(const uint8_t* k, int32_t s, int32_t* i,
                                                                    int32_t* ib, int32_t n) {
  return sort_index_8u<true>(k, s, i, ib, n);
}
