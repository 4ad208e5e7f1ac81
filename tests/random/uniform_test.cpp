// Uniform distributions: ranges, the accurate bit, goodness of fit with fixed seeds, the
// discrete uniform and the raw-bit generators.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "rng_test_util.h"
#include "support/scale.h"

using qor::test::Gen;
using qor::test::Stream;

namespace {

using qor::test::built_generators;
const auto kGens = ::testing::ValuesIn(built_generators());
auto gen_name = [](const auto& i) { return std::string(i.param.name); };

class Uniform : public ::testing::TestWithParam<Gen> {};

TEST_P(Uniform, RealOutputsStayInTheHalfOpenInterval) {
  Stream s(GetParam().brng, GetParam().seed);
  const int32_t n = int32_t(qor::test::scaled(100000, 5000));
  std::vector<double> d(n);
  std::vector<float> f(n);
  for (auto [a, b] : {std::pair{0.0, 1.0}, std::pair{-3.0, -2.5}, std::pair{1e-300, 2e-300}, std::pair{-1e6, 1e6}}) {
    ASSERT_EQ(_hoxdRngUniform(0, s, n, d.data(), a, b), 0);
    for (double v : d) ASSERT_TRUE(v >= a && v < b) << v << " on [" << a << ", " << b << ")";
  }
  ASSERT_EQ(_hoxsRngUniform(0, s, n, f.data(), -1.0f, 1.0f), 0);
  for (float v : f) ASSERT_TRUE(v >= -1.0f && v <= 1.0f) << v;  // rounding to single may reach b
  // n <= 0 writes nothing and does not advance the stream.
  Stream t(GetParam().brng, GetParam().seed), u(GetParam().brng, GetParam().seed);
  double sentinel = 42.0;
  EXPECT_EQ(_hoxdRngUniform(0, t, 0, &sentinel, 0.0, 1.0), 0);
  EXPECT_EQ(_hoxdRngUniform(HOX_RNG_METHOD_ACCURATE, t, -5, &sentinel, 0.0, 1.0), 0);
  EXPECT_EQ(sentinel, 42.0);
  double x, y;
  ASSERT_EQ(_hoxdRngUniform(0, t, 1, &x, 0.0, 1.0), 0);
  ASSERT_EQ(_hoxdRngUniform(0, u, 1, &y, 0.0, 1.0), 0);
  EXPECT_EQ(x, y);
}

TEST_P(Uniform, AccurateBitKeepsHugeIntervalsClosed) {
  // b - a overflows to infinity: the plain method leaves the interval, the accurate one not.
  const double a = -DBL_MAX, b = DBL_MAX;
  const int32_t n = 4096;
  std::vector<double> plain(n), accurate(n);
  Stream s(GetParam().brng, GetParam().seed), t(GetParam().brng, GetParam().seed);
  ASSERT_EQ(_hoxdRngUniform(0, s, n, plain.data(), a, b), 0);
  ASSERT_EQ(_hoxdRngUniform(HOX_RNG_METHOD_ACCURATE, t, n, accurate.data(), a, b), 0);
  int outside = 0;
  for (int32_t i = 0; i < n; ++i) {
    outside += !(plain[i] >= a && plain[i] <= b);
    ASSERT_TRUE(accurate[i] >= a && accurate[i] <= b) << accurate[i];
    if (plain[i] >= a && plain[i] <= b) {
      ASSERT_EQ(accurate[i], plain[i]);
    }
  }
  EXPECT_GT(outside, 0);
  // A one-ulp interval: every result is a or b.
  const float fa = 1.0f, fb = std::nextafter(1.0f, 2.0f);
  std::vector<float> f(n);
  ASSERT_EQ(_hoxsRngUniform(HOX_RNG_METHOD_ACCURATE, t, n, f.data(), fa, fb), 0);
  for (float v : f) ASSERT_TRUE(v == fa || v == fb);
}

// Chi-square on 512 equal cells of [0, 1): fails for a correct generator with p < 1e-6
// (two-sided).
TEST_P(Uniform, ChiSquareOnEqualCells) {
  Stream s(GetParam().brng, GetParam().seed);
  constexpr int kCells = 512;
  const int64_t n = qor::test::scaled(1 << 21, 1 << 18);
  std::vector<int64_t> count(kCells, 0), fcount(kCells, 0);
  std::vector<double> d(1 << 14);
  std::vector<float> f(1 << 14);
  for (int64_t done = 0; done < n; done += int64_t(d.size())) {
    ASSERT_EQ(_hoxdRngUniform(0, s, int32_t(d.size()), d.data(), 0.0, 1.0), 0);
    ASSERT_EQ(_hoxsRngUniform(0, s, int32_t(f.size()), f.data(), 0.0f, 1.0f), 0);
    for (double v : d) ++count[size_t(v * kCells)];
    for (float v : f) ++fcount[std::min<size_t>(size_t(v * kCells), kCells - 1)];
  }
  const int64_t total = (n + int64_t(d.size()) - 1) / int64_t(d.size()) * int64_t(d.size());
  for (const auto* c : {&count, &fcount}) {
    const double e = double(total) / kCells;
    double chi2 = 0;
    for (int64_t k : *c) chi2 += (double(k) - e) * (double(k) - e) / e;
    EXPECT_LT(chi2, qor::test::chi2_quantile(kCells - 1, qor::test::kZ1e6));
    if (!qor::test::is_quasi(GetParam().brng)) {
      EXPECT_GT(chi2, qor::test::chi2_quantile(kCells - 1, -qor::test::kZ1e6));
    }
  }
}

// Serial pairs on a 32 x 32 grid catch correlation between neighbours.
TEST_P(Uniform, ChiSquareOnSuccessivePairs) {
  if (qor::test::is_quasi(GetParam().brng)) GTEST_SKIP() << "successive elements of a one-dimensional quasi-random stream are correlated by design";
  Stream s(GetParam().brng, GetParam().seed);
  constexpr int kSide = 32;
  const int64_t pairs = qor::test::scaled(1 << 20, 1 << 17);
  std::vector<int64_t> count(kSide * kSide, 0);
  std::vector<double> d(1 << 14);
  int64_t done = 0;
  for (; done < pairs; done += int64_t(d.size() / 2)) {
    ASSERT_EQ(_hoxdRngUniform(0, s, int32_t(d.size()), d.data(), 0.0, 1.0), 0);
    for (size_t i = 0; i + 1 < d.size(); i += 2) ++count[size_t(d[i] * kSide) * kSide + size_t(d[i + 1] * kSide)];
  }
  const double e = double(done) / (kSide * kSide);
  double chi2 = 0;
  for (int64_t k : count) chi2 += (double(k) - e) * (double(k) - e) / e;
  EXPECT_LT(chi2, qor::test::chi2_quantile(kSide * kSide - 1, qor::test::kZ1e6));
}

TEST_P(Uniform, DiscreteUniformCoversItsRangeEvenly) {
  Stream s(GetParam().brng, GetParam().seed);
  for (auto [a, b] : {std::pair{-7, 5}, std::pair{0, 2}, std::pair{1000000, 1000017}, std::pair{-2000000000, -1999999990}}) {
    const int32_t cells = b - a;
    const int32_t n = int32_t(qor::test::scaled(300000, 30000));
    std::vector<int32_t> r(n);
    ASSERT_EQ(_hoxiRngUniform(0, s, n, r.data(), a, b), 0);
    std::vector<int64_t> count(cells, 0);
    for (int32_t v : r) {
      ASSERT_TRUE(v >= a && v < b) << v;
      ++count[size_t(v - a)];
    }
    const double e = double(n) / cells;
    double chi2 = 0;
    for (int64_t k : count) chi2 += (double(k) - e) * (double(k) - e) / e;
    EXPECT_LT(chi2, qor::test::chi2_quantile(cells - 1, qor::test::kZ1e6)) << a << ".." << b;
  }
  std::vector<int32_t> one(3000, 99);
  ASSERT_EQ(_hoxiRngUniform(0, s, 3000, one.data(), -4, -3), 0);
  for (int32_t v : one) ASSERT_EQ(v, -4);
}

INSTANTIATE_TEST_SUITE_P(Built, Uniform, kGens, gen_name);

TEST(UniformBits, ThirtyTwoAndSixtyFourBitsOfMcg59) {
  Stream s(HOX_BRNG_MCG59, {31337}), raw(HOX_BRNG_MCG59, {31337});
  const int32_t n = 5000;  // more than one internal block of 2048 words
  std::vector<uint32_t> b32(n);
  std::vector<uint64_t> b64(n), w(3 * size_t(n));
  ASSERT_EQ(_hoxiRngUniformBits32(0, s, n, b32.data()), 0);
  ASSERT_EQ(_hoxiRngUniformBits64(0, s, n, b64.data()), 0);
  ASSERT_EQ(__hoxiBRngMCG59(raw, 3 * n, reinterpret_cast<uint32_t*>(w.data())), 0);
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(b32[i], uint32_t(w[i] >> 27)) << i;
    const uint64_t lo = w[n + 2 * i] >> 27, hi = w[n + 2 * i + 1] >> 27;
    ASSERT_EQ(b64[i], lo | (hi << 32)) << i;
  }
  // Every bit of the 32 is fair: each one-count within 5.3 standard deviations (p < 1e-6 overall).
  Stream t(HOX_BRNG_MCG59, {5});
  const int32_t m = int32_t(qor::test::scaled(1 << 18, 1 << 14));
  std::vector<uint32_t> v(m);
  ASSERT_EQ(_hoxiRngUniformBits32(0, t, m, v.data()), 0);
  for (int bit = 0; bit < 32; ++bit) {
    int64_t ones = 0;
    for (uint32_t x : v) ones += (x >> bit) & 1;
    EXPECT_LT(std::fabs(double(ones) - m / 2.0) / std::sqrt(m / 4.0), 5.3) << "bit " << bit;
  }
}

TEST(UniformBits, GeneratorsWithoutFullWordsRefuseAndWriteNothing) {
  for (int32_t id : {HOX_BRNG_MCG31, HOX_BRNG_MRG32K3A, 0 /* legacy MCG31M1 */, 2}) {
    Stream s(id, {1}), ref(id, {1});
    uint32_t w[4] = {7, 7, 7, 7};
    uint64_t q[2] = {7, 7};
    EXPECT_EQ(_hoxiRngUniformBits32(0, s, 4, w), HOX_ERR_BITS32_UNSUPPORTED);
    EXPECT_EQ(_hoxiRngUniformBits64(0, s, 2, q), HOX_ERR_BITS32_UNSUPPORTED);
    EXPECT_EQ(w[0] + w[3], 14u);
    EXPECT_EQ(q[1], 7u);
    uint32_t x, y;
    ASSERT_EQ(_hoxiRngUniformBits(0, s, 1, &x), 0);
    ASSERT_EQ(_hoxiRngUniformBits(0, ref, 1, &y), 0);
    EXPECT_EQ(x, y);
  }
  Stream legacy59(3, {1});  // legacy MCG59 identifier: row 3 of the bit table
  uint32_t w[2];
  EXPECT_EQ(_hoxiRngUniformBits32(0, legacy59, 2, w), 0);
}

}  // namespace
