// Selection and quicksort helpers against std::nth_element and std::sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "qor/stats_helpers.h"
#include "support/scale.h"

namespace {

enum class Shape { Random, FewValues, Sorted, Reversed, OrganPipe, AllEqual };
constexpr Shape kShapes[] = {Shape::Random, Shape::FewValues, Shape::Sorted, Shape::Reversed, Shape::OrganPipe,
                             Shape::AllEqual};

template <class T>
std::vector<T> make(Shape s, size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> g;
  std::vector<T> v(n);
  for (auto& x : v) x = s == Shape::FewValues ? T(rng() % 4) : T(g(rng));
  if (s == Shape::Sorted || s == Shape::Reversed || s == Shape::OrganPipe) std::sort(v.begin(), v.end());
  if (s == Shape::Reversed) std::reverse(v.begin(), v.end());
  if (s == Shape::OrganPipe) std::reverse(v.begin() + n / 2, v.end());
  if (s == Shape::AllEqual) std::fill(v.begin(), v.end(), T(1.5));
  return v;
}

template <class T>
struct Fns;
template <>
struct Fns<double> {
  static double select(int32_t n, double* a, int32_t k) { return __hoxdQSortSelect(n, a, k); }
  static int32_t sort(int32_t n, double* a) { return __hoxdQSort(n, a); }
  static int32_t step(int32_t n, double* a, int32_t s) { return __hoxdQSortStep(n, a, s); }
};
template <>
struct Fns<float> {
  static float select(int32_t n, float* a, int32_t k) { return __hoxsQSortSelect(n, a, k); }
  static int32_t sort(int32_t n, float* a) { return __hoxsQSort(n, a); }
  static int32_t step(int32_t n, float* a, int32_t s) { return __hoxsQSortStep(n, a, s); }
};

template <class T>
class QuickSortHelpers : public ::testing::Test {};
using Reals = ::testing::Types<double, float>;
TYPED_TEST_SUITE(QuickSortHelpers, Reals);

std::vector<size_t> sizes() { return {1, 2, 3, 5, 6, 7, 8, 9, 31, 1000, size_t(qor::test::scaled(100000, 5000))}; }

TYPED_TEST(QuickSortHelpers, SelectionPartitionsAroundTheKthValue) {
  using T = TypeParam;
  uint32_t seed = 1;
  for (Shape s : kShapes)
    for (size_t n : sizes())
      for (size_t k : {size_t(0), n / 3, n / 2, n - 1}) {
        const std::vector<T> in = make<T>(s, n, seed++);
        std::vector<T> want = in;
        std::nth_element(want.begin(), want.begin() + k, want.end());
        std::vector<T> a = in;
        const T got = Fns<T>::select(int32_t(n), a.data(), int32_t(k));
        ASSERT_EQ(got, want[k]) << "shape " << int(s) << " n " << n << " k " << k;
        ASSERT_EQ(a[k], got);
        for (size_t i = 0; i < k; ++i) ASSERT_LE(a[i], got);
        for (size_t i = k + 1; i < n; ++i) ASSERT_GE(a[i], got);
        std::sort(a.begin(), a.end());
        std::sort(want.begin(), want.end());
        ASSERT_EQ(a, want) << "not a permutation";
      }
}

TYPED_TEST(QuickSortHelpers, TwoElementsAreSwappedWhenOutOfOrder) {
  using T = TypeParam;
  T a[2] = {T(3), T(1)};
  EXPECT_EQ(Fns<T>::select(2, a, 1), T(3));
  EXPECT_EQ(a[0], T(1));
  T b[2] = {T(3), T(1)};
  EXPECT_EQ(Fns<T>::select(2, b, 0), T(1));
}

TYPED_TEST(QuickSortHelpers, SortMatchesStdSort) {
  using T = TypeParam;
  uint32_t seed = 100;
  for (Shape s : kShapes)
    for (size_t n : sizes()) {
      std::vector<T> a = make<T>(s, n, seed++), want = a;
      std::sort(want.begin(), want.end());
      ASSERT_EQ(Fns<T>::sort(int32_t(n), a.data()), 0);
      ASSERT_EQ(a, want) << "shape " << int(s) << " n " << n;
    }
}

TYPED_TEST(QuickSortHelpers, StridedSortTouchesOnlyItsElements) {
  using T = TypeParam;
  uint32_t seed = 200;
  for (int32_t stride : {1, 3, 8})
    for (Shape s : kShapes)
      for (size_t n : {size_t(2), size_t(7), size_t(500)}) {
        const std::vector<T> vals = make<T>(s, n, seed++);
        std::vector<T> a(n * stride, T(-99));
        for (size_t i = 0; i < n; ++i) a[i * stride] = vals[i];
        std::vector<T> want = vals;
        std::sort(want.begin(), want.end());
        ASSERT_EQ(Fns<T>::step(int32_t(n), a.data(), stride), 0);
        for (size_t i = 0; i < n * stride; ++i)
          ASSERT_EQ(a[i], i % stride ? T(-99) : want[i / stride]) << "stride " << stride << " n " << n << " at " << i;
      }
}

TEST(QuickSortHelpersArguments, SelectionOutsideTheRangeChangesNothing) {
  double a[3] = {3, 2, 1};
  EXPECT_TRUE(std::isnan(__hoxdQSortSelect(3, a, 3)));
  EXPECT_TRUE(std::isnan(__hoxdQSortSelect(3, a, -1)));
  EXPECT_TRUE(std::isnan(__hoxdQSortSelect(0, a, 0)));
  EXPECT_TRUE(std::isnan(__hoxdQSortSelect(3, nullptr, 0)));
  EXPECT_EQ(__hoxdQSort(3, nullptr), 0);
  EXPECT_EQ(__hoxdQSortStep(3, a, 0), 0);
  EXPECT_EQ(a[0], 3);
  EXPECT_EQ(a[2], 1);
}

TEST(SqrtHelper, IsTheCorrectlyRoundedSquareRoot) {
  std::mt19937_64 rng(3);
  for (int i = 0; i < 1000; ++i) {
    const double x = std::ldexp(double(rng() >> 11), int(rng() % 200) - 150);
    EXPECT_EQ(__hoxdSqrt(x), std::sqrt(x));
  }
  EXPECT_TRUE(std::isnan(__hoxdSqrt(-1.0)));
  EXPECT_TRUE(std::signbit(__hoxdSqrt(-0.0)));
}

}  // namespace
