// Rounding and exact arithmetic kernels against the C library's scalar functions, under the
// caller's floating-point environment and the mode's denormal field.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "qor/vm.h"
#include "support/scale.h"

namespace {

template <class T>
bool same(T a, T b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// Inputs that exercise every branch: zeros, subnormals, fractions, half-integers, the shift
// constant's neighbourhood, huge values, infinities and NaN, then random magnitudes.
template <class T>
std::vector<T> inputs(size_t random_count) {
  using L = std::numeric_limits<T>;
  const T shift = sizeof(T) == 4 ? T(0x1p23) : T(0x1p52);
  std::vector<T> v = {T(0), -T(0), L::denorm_min(), -L::denorm_min(), L::min(), -L::min() / 2,
                      T(0.5), T(-0.5), T(1.5), T(-1.5), T(2.5), T(-2.5), T(0.49999997), T(-0.49999997),
                      T(2.1), T(-2.7), T(1), T(-1), shift, -shift, shift + 1, -(shift + 1), shift - T(0.5),
                      -(shift - T(0.5)), shift / 2 + T(0.5), shift * 2 + 2, L::max(), -L::max(), L::infinity(),
                      -L::infinity(), L::quiet_NaN(), -L::quiet_NaN()};
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> mant(1.0, 2.0);
  std::uniform_int_distribution<int> ex(sizeof(T) == 4 ? -30 : -60, sizeof(T) == 4 ? 30 : 60);
  std::uniform_int_distribution<int> kind(0, 9);
  for (size_t i = 0; i < random_count; ++i) {
    double m = mant(rng) * std::ldexp(1.0, ex(rng));
    if (kind(rng) == 0) m = std::floor(m) + 0.5;  // exact halves
    if (kind(rng) == 1) m = std::floor(m);          // integers
    T x = static_cast<T>(m);
    v.push_back(rng() & 1 ? -x : x);
  }
  return v;
}

template <class T>
using Kernel1 = void (*)(int32_t, const T*, T*);

template <class T>
struct UnaryCase {
  const char* name;
  Kernel1<T> kernel;
  std::function<T(T)> oracle;
};

template <class T>
double frac_oracle(T x) {
  if (std::isinf(x)) return std::copysign(T(0), x);
  return std::copysign(x - std::trunc(x), x);
}

template <class T>
std::vector<UnaryCase<T>> unary_cases();

template <>
std::vector<UnaryCase<float>> unary_cases<float>() {
  return {{"Ceil", _fnxsCeil, [](float x) { return std::ceil(x); }},
          {"Floor", _fnxsFloor, [](float x) { return std::floor(x); }},
          {"Trunc", _fnxsTrunc, [](float x) { return std::trunc(x); }},
          {"Round", _fnxsRound, [](float x) { return std::round(x); }},
          {"Rint", _fnxsRint, [](float x) { return std::nearbyint(x); }},
          {"NearbyInt", _fnxsNearbyInt, [](float x) { return std::nearbyint(x); }},
          {"Frac", _fnxsFrac, [](float x) { return static_cast<float>(frac_oracle(x)); }},
          {"Abs", _fnxsAbs, [](float x) { return std::fabs(x); }},
          {"Sqr", _fnxsSqr, [](float x) { return x * x; }}};
}
template <>
std::vector<UnaryCase<double>> unary_cases<double>() {
  return {{"Ceil", _fnxdCeil, [](double x) { return std::ceil(x); }},
          {"Floor", _fnxdFloor, [](double x) { return std::floor(x); }},
          {"Trunc", _fnxdTrunc, [](double x) { return std::trunc(x); }},
          {"Round", _fnxdRound, [](double x) { return std::round(x); }},
          {"Rint", _fnxdRint, [](double x) { return std::nearbyint(x); }},
          {"NearbyInt", _fnxdNearbyInt, [](double x) { return std::nearbyint(x); }},
          {"Frac", _fnxdFrac, [](double x) { return frac_oracle(x); }},
          {"Abs", _fnxdAbs, [](double x) { return std::fabs(x); }},
          {"Sqr", _fnxdSqr, [](double x) { return x * x; }}};
}

template <class T>
class RoundingKernels : public ::testing::Test {};
using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(RoundingKernels, Types);

TYPED_TEST(RoundingKernels, MatchTheCLibraryOnEveryKindOfInput) {
  using T = TypeParam;
  const auto in = inputs<T>(qor::test::scaled(20000, 2000));
  std::vector<T> out(in.size() + 1);
  for (const auto& c : unary_cases<T>()) {
    // Odd offset: unaligned vectors; the specials sit at the front, inside the first blocks.
    c.kernel(static_cast<int32_t>(in.size()), in.data(), out.data() + 1);
    for (size_t i = 0; i < in.size(); ++i)
      ASSERT_TRUE(same(out[i + 1], c.oracle(in[i]))) << c.name << "(" << in[i] << ") = " << out[i + 1];
  }
}

TYPED_TEST(RoundingKernels, ResultsDoNotDependOnBlockBoundaries) {
  using T = TypeParam;
  const auto in = inputs<T>(64);
  for (const auto& c : unary_cases<T>()) {
    for (int32_t n = 0; n <= 19; ++n) {
      for (int32_t start = 0; start + n <= static_cast<int32_t>(in.size()); start += 7) {
        std::vector<T> whole(n + 1, T(-77)), single(n + 1, T(-77));
        c.kernel(n, in.data() + start, whole.data());
        for (int32_t i = 0; i < n; ++i) c.kernel(1, in.data() + start + i, single.data() + i);
        for (int32_t i = 0; i <= n; ++i) ASSERT_TRUE(same(whole[i], single[i])) << c.name << " n=" << n;
        ASSERT_EQ(whole[n], T(-77)) << c.name << " wrote past n=" << n;
      }
    }
  }
}

TYPED_TEST(RoundingKernels, WorkInPlace) {
  using T = TypeParam;
  for (const auto& c : unary_cases<T>()) {
    auto v = inputs<T>(100);
    const auto orig = v;
    c.kernel(static_cast<int32_t>(v.size()), v.data(), v.data());
    for (size_t i = 0; i < v.size(); ++i) ASSERT_TRUE(same(v[i], c.oracle(orig[i]))) << c.name;
  }
}

TEST(RoundingKernels, ModfSplitsIntoIntegerAndFraction) {
  const auto fin = inputs<float>(3000);
  std::vector<float> fi(fin.size()), ff(fin.size());
  _fnxsModf(static_cast<int32_t>(fin.size()), fin.data(), fi.data(), ff.data());
  for (size_t i = 0; i < fin.size(); ++i) {
    float ip;
    float fp = std::modf(fin[i], &ip);
    ASSERT_TRUE(same(fi[i], ip) && same(ff[i], fp)) << fin[i];
  }
  const auto din = inputs<double>(3000);
  std::vector<double> di(din.size()), df(din.size());
  _fnxdModf(static_cast<int32_t>(din.size()), din.data(), di.data(), df.data());
  for (size_t i = 0; i < din.size(); ++i) {
    double ip;
    double fp = std::modf(din[i], &ip);
    ASSERT_TRUE(same(di[i], ip) && same(df[i], fp)) << din[i];
  }
}

TEST(RoundingKernels, BinaryOperationsAreSingleIeeeOperations) {
  const auto a = inputs<double>(2000);
  auto b = a;
  std::mt19937 rng(7);
  std::shuffle(b.begin(), b.end(), rng);
  const int32_t n = static_cast<int32_t>(a.size());
  std::vector<double> r(a.size());
  struct { void (*k)(int32_t, const double*, const double*, double*); double (*f)(double, double); } ops[] = {
      {_fnxdAdd, [](double x, double y) { return x + y; }},
      {_fnxdSub, [](double x, double y) { return x - y; }},
      {_fnxdMul, [](double x, double y) { return x * y; }},
      {_fnxdCopySign, [](double x, double y) { return std::copysign(x, y); }}};
  for (auto op : ops) {
    op.k(n, a.data(), b.data(), r.data());
    for (int32_t i = 0; i < n; ++i) ASSERT_TRUE(same(r[i], op.f(a[i], b[i]))) << a[i] << " " << b[i];
  }
  const auto fa = inputs<float>(2000);
  auto fb = fa;
  std::shuffle(fb.begin(), fb.end(), rng);
  std::vector<float> fr(fa.size());
  _fnxsMul(n, fa.data(), fb.data(), fr.data());
  for (int32_t i = 0; i < n; ++i) ASSERT_TRUE(same(fr[i], fa[i] * fb[i]));
  _fnxsCopySign(n, fa.data(), fb.data(), fr.data());
  for (int32_t i = 0; i < n; ++i) ASSERT_TRUE(same(fr[i], std::copysign(fa[i], fb[i])));
}

TEST(RoundingKernels, ListedCases) {
  float in[] = {-0.5f, 0.5f, -2.7f, 2.5f, -2.5f, 0.49999997f, 8388609.0f, -INFINITY};
  float r[8];
  _fnxsCeil(1, in, r);
  EXPECT_TRUE(same(r[0], -0.0f));
  _fnxsFloor(1, in + 1, r);
  EXPECT_TRUE(same(r[0], 0.0f));
  _fnxsTrunc(1, in + 2, r);
  EXPECT_EQ(r[0], -2.0f);
  _fnxsRound(3, in + 3, r);
  EXPECT_EQ(r[0], 3.0f);
  EXPECT_EQ(r[1], -3.0f);
  EXPECT_EQ(r[2], 0.0f);
  _fnxsCeil(2, in + 6, r);
  EXPECT_EQ(r[0], 8388609.0f);
  EXPECT_EQ(r[1], -INFINITY);
  const uint32_t snan_bits = 0x7FA00000u;
  float snan;
  std::memcpy(&snan, &snan_bits, 4);
  _fnxsCeil(1, &snan, r);
  uint32_t out_bits;
  std::memcpy(&out_bits, r, 4);
  EXPECT_EQ(out_bits, 0x7FE00000u);  // quietened
}

// The caller's MXCSR: its rounding direction and masks survive the call, flags raised by the
// kernel are added, and the kernels compute under their own direction.
class CallerEnvironment : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = _mm_getcsr(); }
  void TearDown() override { _mm_setcsr(saved_); }
  unsigned saved_ = 0;
};

TEST_F(CallerEnvironment, ControlBitsPreservedAndRaisedFlagsKept) {
  // Round toward zero, inexact unmasked (a kernel that kept these masks would trap).
  const unsigned caller = (0x1F80u & ~0x1000u) | 0x6000u;
  float a[9] = {0.5f, 1.5f, 2.5f, -2.5f, 0.25f, 1.75f, -0.75f, 3.5f, 9.5f}, r[9];
  double da[3] = {0.5, 2.5, -1.5}, dr[3];
  struct Check {
    void (*k)(int32_t, const float*, float*);
    float expect0;
  } checks[] = {{_fnxsCeil, 1.0f}, {_fnxsFloor, 0.0f}, {_fnxsRound, 1.0f}, {_fnxsFrac, 0.5f}, {_fnxsTrunc, 0.0f}};
  for (const Check& c : checks) {
    _mm_setcsr(caller);
    c.k(9, a, r);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved_);
    EXPECT_EQ(after & 0xFFC0u, caller & 0xFFC0u);
    EXPECT_EQ(r[0], c.expect0);
    if (c.k != _fnxsFrac) {
      EXPECT_NE(after & 0x20u, 0u) << "inexact flag lost";
    }
  }
  _mm_setcsr(caller);
  _fnxdRound(3, da, dr);
  _mm_setcsr(saved_);
  EXPECT_EQ(dr[0], 1.0);
  EXPECT_EQ(dr[1], 3.0);
  EXPECT_EQ(dr[2], -2.0);
  // Addition rounds to nearest whatever the caller's direction.
  float x[8] = {1.0f, 1, 1, 1, 1, 1, 1, 1}, y[8] = {0x1p-24f * 3, 0, 0, 0, 0, 0, 0, 0}, s[8];
  _mm_setcsr(0x1F80u | 0x6000u);
  _fnxsAdd(8, x, y, s);
  _mm_setcsr(saved_);
  EXPECT_EQ(s[0], 1.0f + 0x1p-22f);
}

TEST_F(CallerEnvironment, RintFollowsTheCallersDirection) {
  float a[2] = {2.1f, 2.5f}, r[2];
  double da[2] = {2.1, -2.5}, dr[2];
  _mm_setcsr(0x1F80u | 0x4000u);  // round up
  _fnxsRint(2, a, r);
  _fnxdNearbyInt(2, da, dr);
  _mm_setcsr(0x1F80u);
  EXPECT_EQ(r[0], 3.0f);
  EXPECT_EQ(r[1], 3.0f);
  EXPECT_EQ(dr[0], 3.0);
  EXPECT_EQ(dr[1], -2.0);
  _fnxsRint(2, a, r);
  EXPECT_EQ(r[0], 2.0f);
  EXPECT_EQ(r[1], 2.0f);  // ties to even
}

TEST_F(CallerEnvironment, X87ControlWordPreserved) {
  unsigned short cw_in = 0x037A, cw_out;  // some x87 exceptions unmasked
  asm volatile("fnclex\n\tfldcw %0" : : "m"(cw_in));
  float a[3] = {1.5f, -0.5f, 2.0f}, r[3];
  _fnxsFloor(3, a, r);
  asm volatile("fnstcw %0" : "=m"(cw_out));
  unsigned short std_cw = 0x037F;
  asm volatile("fldcw %0" : : "m"(std_cw));
  EXPECT_EQ(cw_out, cw_in);
}

TEST_F(CallerEnvironment, FlushDenormalFieldReadsSubnormalInputsAsZero) {
  const uint32_t old_mode = _fnxSetMode(QOR_FNX_DENORMAL_FLUSH);
  float a[2] = {-1e-40f, 1e-40f}, r[2];
  _fnxsFloor(2, a, r);
  EXPECT_TRUE(same(r[0], -0.0f));
  EXPECT_TRUE(same(r[1], 0.0f));
  double da[2] = {1e-300, 1e-300}, db[2] = {1e-20, 1e-10}, dr[2];
  _fnxdMul(2, da, db, dr);  // results below the normal range flush
  EXPECT_TRUE(same(dr[0], 0.0));
  EXPECT_EQ(_mm_getcsr() & 0xFFC0u, saved_ & 0xFFC0u);
  _fnxSetMode(QOR_FNX_DENORMAL_KEEP);
  _fnxsFloor(2, a, r);
  EXPECT_EQ(r[0], -1.0f);
  _fnxdMul(2, da, db, dr);
  EXPECT_GT(dr[0], 0.0);
  _fnxSetMode(old_mode | QOR_FNX_DENORMAL_KEEP);
}

}  // namespace
