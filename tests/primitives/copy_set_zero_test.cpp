// Copy, Set and Zero: exact results at every alignment, nothing written outside the range,
// both the cached and the cache-bypassing paths, and bad arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "primitives/owns.h"
#include "qor/prim.h"

namespace {

constexpr unsigned char kGuard = 0xC3;

// A 16-byte aligned arena with guard bytes around the region [off, off + bytes).
struct Arena {
  std::vector<unsigned char> raw;
  unsigned char* base;
  explicit Arena(size_t bytes) : raw(bytes + 96, kGuard) {
    base = raw.data() + ((16 - reinterpret_cast<uintptr_t>(raw.data()) % 16) % 16) + 32;
  }
  bool guards_intact(size_t off, size_t bytes) const {
    for (const unsigned char* p = raw.data(); p < base + off; ++p)
      if (*p != kGuard) return false;
    for (const unsigned char* p = base + off + bytes; p < raw.data() + raw.size(); ++p)
      if (*p != kGuard) return false;
    return true;
  }
};

struct CacheOverride {  // makes 1 MiB and more count as "at least half the cache"
  CacheOverride() { qor::prim::set_cache_size_for_testing(2 << 20); }
  ~CacheOverride() { qor::prim::set_cache_size_for_testing(-1); }
};

TEST(ByteCopy, ExactAtEveryAlignmentAndSize) {
  std::mt19937 rng(5);
  std::vector<unsigned char> src(5000 + 64);
  for (auto& b : src) b = static_cast<unsigned char>(rng());
  for (size_t n : {1u, 15u, 16u, 17u, 63u, 64u, 65u, 127u, 1000u, 4099u})
    for (size_t doff = 0; doff < 16; doff += 3)
      for (size_t soff = 0; soff < 16; soff += 5) {
        Arena dst(n + 16);
        qor_dft_e8r_ownsCopy_8u(src.data() + soff, dst.base + doff, n);
        EXPECT_EQ(std::memcmp(dst.base + doff, src.data() + soff, n), 0) << n << " " << doff << " " << soff;
        EXPECT_TRUE(dst.guards_intact(doff, n)) << n << " " << doff << " " << soff;
      }
}

TEST(ByteCopy, LargeCopiesBypassingTheCacheAreExact) {
  CacheOverride large;
  const size_t n = (1 << 20) + 300037;  // spans several 256 KiB chunks and ends mid-block
  std::vector<unsigned char> src(n + 16);
  std::mt19937 rng(6);
  for (auto& b : src) b = static_cast<unsigned char>(rng());
  for (size_t doff : {0u, 7u})
    for (size_t soff : {0u, 9u}) {
      Arena dst(n + 16);
      qor_dft_e8r_ownsCopy_8u(src.data() + soff, dst.base + doff, n);
      EXPECT_EQ(std::memcmp(dst.base + doff, src.data() + soff, n), 0);
      EXPECT_TRUE(dst.guards_intact(doff, n));
    }
}

// Every element type: Set writes the value's bytes into each element, Zero clears them, Copy
// copies them, at element counts around the 64-byte threshold and at element-aligned offsets.
template <class T>
struct Typed;
#define TYPED(T, sfx)                                                                       \
  template <>                                                                               \
  struct Typed<T> {                                                                         \
    static int32_t copy(const T* s, T* d, int32_t n) { return qor_dft_e8r_ochaCopy_##sfx(s, d, n); } \
    static int32_t zero(T* d, int32_t n) { return qor_dft_e8r_ochaZero_##sfx(d, n); }                \
    static int32_t set(T v, T* d, int32_t n) { return qor_dft_e8r_ochaSet_##sfx(v, d, n); }          \
  };
TYPED(uint8_t, 8u)
TYPED(int16_t, 16s)
TYPED(QorPrim16sc, 16sc)
TYPED(int32_t, 32s)
TYPED(QorPrim32sc, 32sc)
TYPED(float, 32f)
TYPED(QorComplex8, 32fc)
TYPED(int64_t, 64s)
TYPED(QorPrim64sc, 64sc)
TYPED(double, 64f)
TYPED(QorComplex16, 64fc)
#undef TYPED

template <class T>
class CopySetZero : public ::testing::Test {};
using ElementTypes = ::testing::Types<uint8_t, int16_t, QorPrim16sc, int32_t, QorPrim32sc, float, QorComplex8,
                                      int64_t, QorPrim64sc, double, QorComplex16>;
TYPED_TEST_SUITE(CopySetZero, ElementTypes);

template <class T>
T distinct_value() {  // every byte different, so a misplaced pattern phase shows
  unsigned char b[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<unsigned char>(0x11 * (i + 1) + 0x20);
  T v;
  std::memcpy(&v, b, sizeof v);
  return v;
}

TYPED_TEST(CopySetZero, WholeRangeAndNothingElse) {
  using T = TypeParam;
  const T v = distinct_value<T>();
  for (int32_t n : {1, 3, 63 / int(sizeof(T)) + 1, 100, 1001})
    for (size_t off = 0; off < 32; off += alignof(T) * 3) {
      const size_t bytes = n * sizeof(T);
      Arena a(bytes + 32);
      T* d = reinterpret_cast<T*>(a.base + off);
      ASSERT_EQ(Typed<T>::set(v, d, n), 0);
      for (int32_t i = 0; i < n; ++i) ASSERT_EQ(std::memcmp(&d[i], &v, sizeof v), 0) << "set, n " << n << " i " << i;
      EXPECT_TRUE(a.guards_intact(off, bytes));

      Arena c(bytes + 32);
      T* e = reinterpret_cast<T*>(c.base + (off + alignof(T)) % 32);
      ASSERT_EQ(Typed<T>::copy(d, e, n), 0);
      EXPECT_EQ(std::memcmp(d, e, bytes), 0);
      EXPECT_TRUE(c.guards_intact((off + alignof(T)) % 32, bytes));

      ASSERT_EQ(Typed<T>::zero(d, n), 0);
      EXPECT_EQ(std::vector<unsigned char>(a.base + off, a.base + off + bytes), std::vector<unsigned char>(bytes, 0));
      EXPECT_TRUE(a.guards_intact(off, bytes));
    }
}

TYPED_TEST(CopySetZero, LargeFillsBypassingTheCacheAreExact) {
  using T = TypeParam;
  CacheOverride large;
  const T v = distinct_value<T>();
  const int32_t n = static_cast<int32_t>(((1 << 20) + 4093) / sizeof(T));
  const size_t off = alignof(T);
  Arena a(n * sizeof(T) + 16);
  T* d = reinterpret_cast<T*>(a.base + off);
  ASSERT_EQ(Typed<T>::set(v, d, n), 0);
  size_t bad = 0;
  for (int32_t i = 0; i < n; ++i) bad += std::memcmp(&d[i], &v, sizeof v) != 0;
  EXPECT_EQ(bad, 0u);
  EXPECT_TRUE(a.guards_intact(off, n * sizeof(T)));
}

TYPED_TEST(CopySetZero, BadArgumentsWriteNothing) {
  using T = TypeParam;
  Arena a(64);
  T* d = reinterpret_cast<T*>(a.base);
  const T v = distinct_value<T>();
  EXPECT_EQ(Typed<T>::set(v, nullptr, 4), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(Typed<T>::set(v, d, 0), QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(Typed<T>::zero(nullptr, 0), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(Typed<T>::zero(d, -1), QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(Typed<T>::copy(nullptr, d, 2), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(Typed<T>::copy(d, nullptr, 2), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(Typed<T>::copy(d + 1, d, -3), QOR_PRIM_STATUS_SIZE_ERR);
  if constexpr (sizeof(size_t) == 4 && sizeof(T) >= 4) {
    // A byte count beyond the 32-bit address space is refused, not wrapped into a short one.
    EXPECT_EQ(Typed<T>::zero(d, INT32_MAX), QOR_PRIM_STATUS_SIZE_ERR);
    EXPECT_EQ(Typed<T>::copy(d + 1, d, INT32_MAX), QOR_PRIM_STATUS_SIZE_ERR);
    EXPECT_EQ(Typed<T>::set(v, d, INT32_MAX), QOR_PRIM_STATUS_SIZE_ERR);
  }
  EXPECT_TRUE(a.guards_intact(0, 0));
}

}  // namespace
