// Radix sorts against std::stable_sort with an independently written order: IEEE total order
// for floats (-NaN < -inf < ... < -0 < +0 < ... < +inf < +NaN), plain order for integers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "qor/prim.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

namespace {

// Strict "a before b" in ascending order.
template <class T>
bool before(T a, T b) {
  if constexpr (std::is_floating_point_v<T>) {
    const bool na = std::isnan(a), nb = std::isnan(b);
    const bool sa = std::signbit(a), sb = std::signbit(b);
    if (na || nb) {
      // NaNs sit outside the infinities on their sign's side, ordered by payload magnitude.
      using U = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
      U ua, ub;
      std::memcpy(&ua, &a, sizeof a);
      std::memcpy(&ub, &b, sizeof b);
      const U mag = std::numeric_limits<U>::max() >> 1;
      if (na && nb) {
        if (sa != sb) return sa;
        return sa ? (ua & mag) > (ub & mag) : (ua & mag) < (ub & mag);
      }
      if (na) return sa;   // -NaN before any number, +NaN after
      return !sb;          // a number is before +NaN
    }
    if (a < b) return true;
    if (a > b) return false;
    return sa && !sb;  // -0 before +0
  } else {
    return a < b;
  }
}

template <class T>
struct Api;
#define API(T, sfx, has_index)                                                                   \
  template <>                                                                                    \
  struct Api<T> {                                                                                \
    static int32_t asc(T* k, T* b, int32_t n) { return qor_dft_e8r_ochaSortRadixAscend_##sfx##_I(k, b, n); }    \
    static int32_t desc(T* k, T* b, int32_t n) { return qor_dft_e8r_ochaSortRadixDescend_##sfx##_I(k, b, n); }  \
    static constexpr bool kIndex = has_index;                                                   \
  };
API(float, 32f, true)
API(int32_t, 32s, true)
API(uint32_t, 32u, true)
API(int16_t, 16s, true)
API(uint16_t, 16u, true)
API(uint8_t, 8u, true)
API(double, 64f, false)
#undef API

template <class T>
int32_t index_sort(bool descend, const T* k, int32_t stride, int32_t* idx, int32_t* ib, int32_t n);
#define IDX(T, sfx)                                                                              \
  template <>                                                                                    \
  int32_t index_sort<T>(bool d, const T* k, int32_t s, int32_t* i, int32_t* ib, int32_t n) {     \
    return d ? qor_dft_e8r_ochaSortRadixIndexDescend_##sfx(k, s, i, ib, n)                       \
             : qor_dft_e8r_ochaSortRadixIndexAscend_##sfx(k, s, i, ib, n);                       \
  }
IDX(float, 32f)
IDX(int32_t, 32s)
IDX(uint32_t, 32u)
IDX(int16_t, 16s)
IDX(uint16_t, 16u)
IDX(uint8_t, 8u)
#undef IDX

template <class T>
T from_bits(uint64_t r) {
  T v;
  std::memcpy(&v, &r, sizeof v);
  return v;
}

enum class Shape { Random, FewValues, Sorted, Reversed, AllEqual, Specials, HighBitsOnly };

template <class T>
std::vector<T> make_keys(Shape shape, size_t n, uint32_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<T> v(n);
  for (auto& x : v) {
    const uint64_t r = rng();
    switch (shape) {
      case Shape::FewValues: x = from_bits<T>(r % 5 * 0x0101010101010101ull); break;
      case Shape::HighBitsOnly:  // only the top digit differs: the lower passes are skipped
        x = from_bits<T>((r % 7) << (sizeof(T) * 8 - 3) | (sizeof(T) > 2 ? 0x1234 : 0x12));
        break;
      default:
        if constexpr (std::is_floating_point_v<T>) {
          // Mostly ordinary numbers of both signs and many scales, some raw bit patterns
          // (NaNs, infinities, subnormals included).
          x = (r & 3) ? static_cast<T>(std::ldexp(static_cast<double>(r >> 11) - 4503599627370496.0, int(r % 40) - 60))
                      : from_bits<T>(rng());
        } else {
          x = from_bits<T>(r);
        }
    }
  }
  if (shape == Shape::Sorted || shape == Shape::Reversed) {
    std::stable_sort(v.begin(), v.end(), before<T>);
    if (shape == Shape::Reversed) std::reverse(v.begin(), v.end());
  } else if (shape == Shape::AllEqual) {
    std::fill(v.begin(), v.end(), v[0]);
  } else if (shape == Shape::Specials) {
    if constexpr (std::is_floating_point_v<T>) {
      using L = std::numeric_limits<T>;
      const T sp[] = {L::infinity(), -L::infinity(), T(0), -T(0), L::quiet_NaN(), -L::quiet_NaN(),
                      L::denorm_min(), -L::denorm_min(), L::max(), L::lowest(), L::min(), -L::min(),
                      T(1), T(-1), from_bits<T>(sizeof(T) == 4 ? 0x7F800001u : 0x7FF0000000000001ull)};
      for (size_t i = 0; i < n; ++i) v[i] = sp[rng() % (sizeof sp / sizeof sp[0])];
    } else {
      using L = std::numeric_limits<T>;
      const T sp[] = {L::min(), L::max(), T(0), T(1), T(L::max() - 1), T(L::min() + 1)};
      for (size_t i = 0; i < n; ++i) v[i] = sp[rng() % (sizeof sp / sizeof sp[0])];
    }
  }
  return v;
}

template <class T>
bool same_bits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

template <class T>
class RadixSort : public ::testing::Test {};
using KeyTypes = ::testing::Types<float, double, int32_t, uint32_t, int16_t, uint16_t, uint8_t>;
TYPED_TEST_SUITE(RadixSort, KeyTypes);

const Shape kShapes[] = {Shape::Random, Shape::FewValues, Shape::Sorted, Shape::Reversed,
                         Shape::AllEqual, Shape::Specials, Shape::HighBitsOnly};

std::vector<size_t> sizes() {
  return {1, 2, 3, 17, 256, 1000, 1023, 1024, 1500, static_cast<size_t>(qor::test::scaled(100003, 2000))};
}

TYPED_TEST(RadixSort, InPlaceMatchesStableSortInBothDirections) {
  using T = TypeParam;
  uint32_t seed = 1;
  for (Shape shape : kShapes)
    for (size_t n : sizes()) {
      const std::vector<T> keys = make_keys<T>(shape, n, seed++);
      std::vector<T> want = keys;
      std::stable_sort(want.begin(), want.end(), before<T>);
      std::vector<T> got = keys, buf(n);
      ASSERT_EQ(Api<T>::asc(got.data(), buf.data(), static_cast<int32_t>(n)), 0);
      EXPECT_TRUE(same_bits(got, want)) << "ascending, shape " << int(shape) << ", n " << n;
      std::reverse(want.begin(), want.end());
      got = keys;
      ASSERT_EQ(Api<T>::desc(got.data(), buf.data(), static_cast<int32_t>(n)), 0);
      EXPECT_TRUE(same_bits(got, want)) << "descending, shape " << int(shape) << ", n " << n;
    }
}

TYPED_TEST(RadixSort, IndexSortIsStableThroughAnyStride) {
  using T = TypeParam;
  if constexpr (Api<T>::kIndex) {
    uint32_t seed = 1000;
    for (Shape shape : kShapes)
      for (size_t n : sizes())
        for (int32_t extra : {0, 3}) {  // records of the key plus `extra` bytes: unaligned keys
          const std::vector<T> keys = make_keys<T>(shape, n, seed++);
          const int32_t stride = static_cast<int32_t>(sizeof(T)) + extra;
          std::vector<unsigned char> records(n * stride, 0xA5);
          for (size_t i = 0; i < n; ++i) std::memcpy(&records[i * stride], &keys[i], sizeof(T));
          for (bool descend : {false, true}) {
            std::vector<int32_t> want(n);
            std::iota(want.begin(), want.end(), 0);
            std::stable_sort(want.begin(), want.end(), [&](int32_t a, int32_t b) {
              return descend ? before(keys[b], keys[a]) : before(keys[a], keys[b]);
            });
            std::vector<int32_t> idx(n, -1), ib(n, -1);
            ASSERT_EQ(index_sort<T>(descend, reinterpret_cast<const T*>(records.data()), stride, idx.data(),
                                    ib.data(), static_cast<int32_t>(n)),
                      0);
            EXPECT_EQ(idx, want) << "shape " << int(shape) << ", n " << n << ", stride " << stride
                                 << (descend ? ", descending" : ", ascending");
          }
        }
  }
}

TEST(RadixSortOrder, FloatSpecialValuesInTheirPlaces) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  std::vector<float> keys = {inf, -0.0f, nan, 1.0f, -inf, 0.0f, -1.0f, -nan, 1e-45f, -2.5f};
  std::vector<float> buf(keys.size());
  ASSERT_EQ(qor_dft_e8r_ochaSortRadixAscend_32f_I(keys.data(), buf.data(), 10), 0);
  EXPECT_TRUE(std::isnan(keys[0]) && std::signbit(keys[0]));
  EXPECT_EQ(keys[1], -inf);
  EXPECT_EQ(keys[2], -2.5f);
  EXPECT_EQ(keys[3], -1.0f);
  EXPECT_TRUE(keys[4] == 0 && std::signbit(keys[4]));
  EXPECT_TRUE(keys[5] == 0 && !std::signbit(keys[5]));
  EXPECT_EQ(keys[6], 1e-45f);
  EXPECT_EQ(keys[7], 1.0f);
  EXPECT_EQ(keys[8], inf);
  EXPECT_TRUE(std::isnan(keys[9]) && !std::signbit(keys[9]));

  std::vector<int32_t> ik = {-1, 5, 0}, ibuf(3);
  ASSERT_EQ(qor_dft_e8r_ochaSortRadixDescend_32s_I(ik.data(), ibuf.data(), 3), 0);
  EXPECT_EQ(ik, (std::vector<int32_t>{5, 0, -1}));
}

TEST(RadixSortArguments, BadArgumentsReturnTheirStatusAndWriteNothing) {
  float k[4] = {3, 1, 2, 0}, b[4] = {9, 9, 9, 9};
  const float k0[4] = {3, 1, 2, 0};
  uint8_t k8[3] = {3, 1, 2};
  int32_t idx[4] = {7, 7, 7, 7}, ib[4] = {7, 7, 7, 7};
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixAscend_32f_I(k, b, 0), QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixDescend_32f_I(k, b, -5), QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixAscend_32f_I(k, nullptr, 4), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixAscend_32f_I(nullptr, b, 0), QOR_PRIM_STATUS_NULL_PTR);  // pointers first
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixAscend_64f_I(nullptr, nullptr, 4), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixAscend_8u_I(k8, nullptr, 3), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixDescend_16s_I(nullptr, nullptr, 0), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixIndexAscend_32f(k, 3, idx, ib, 4), QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixIndexAscend_32s(reinterpret_cast<int32_t*>(k), -4, idx, ib, 4),
            QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixIndexDescend_16u(reinterpret_cast<uint16_t*>(k), 1, idx, ib, 4),
            QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixIndexAscend_8u(k8, 0, idx, ib, 3), QOR_PRIM_STATUS_SIZE_ERR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixIndexAscend_8u(k8, 1, idx, nullptr, 3), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixIndexAscend_32u(nullptr, 1, idx, ib, 0), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(qor_dft_e8r_ochaSortRadixIndexAscend_32f(k, 4, nullptr, ib, 4), QOR_PRIM_STATUS_NULL_PTR);
  EXPECT_EQ(std::memcmp(k, k0, sizeof k), 0);
  EXPECT_EQ((std::vector<float>(b, b + 4)), (std::vector<float>(4, 9.0f)));
  EXPECT_EQ((std::vector<uint8_t>(k8, k8 + 3)), (std::vector<uint8_t>{3, 1, 2}));
  EXPECT_EQ((std::vector<int32_t>(idx, idx + 4)), (std::vector<int32_t>(4, 7)));
  EXPECT_EQ((std::vector<int32_t>(ib, ib + 4)), (std::vector<int32_t>(4, 7)));
}

TEST(RadixSortMemory, SortsTakeNoHeapMemory) {
  std::vector<double> d = make_keys<double>(Shape::Random, 5000, 7), db(5000);
  std::vector<float> f = make_keys<float>(Shape::Random, 5000, 8);
  std::vector<int32_t> idx(5000), ib(5000);
  const int sites = qor::test::sweep_allocation_failures(
      [&] {
        int32_t s = qor_dft_e8r_ochaSortRadixDescend_64f_I(d.data(), db.data(), 5000);
        if (s == 0) s = qor_dft_e8r_ochaSortRadixIndexAscend_32f(f.data(), 4, idx.data(), ib.data(), 5000);
        return s;
      },
      QOR_PRIM_STATUS_OK);
  EXPECT_EQ(sites, 0);
}

}  // namespace
