// Sobol and Niederreiter: published first points and tables, van der Corput in Gray-code order,
// stratification and the (t, m, s)-net property, direct computation of any point, skip-ahead,
// split calls, leapfrog, the period limit, the user-parameter forms (and their fallbacks), the
// user-table chunks and their sharing, and the irreducibility of Niederreiter's polynomials.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "rng_test_util.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

extern "C" const uint32_t uSobolIrredPoly[39];
extern "C" const int32_t iSobolIrredPolyDeg[39];
extern "C" const uint32_t uSobolMInit[39][8];
extern "C" const uint32_t uNiederrIrredPoly[318];
extern "C" const int32_t iNiederrIrredPolyDeg[318];

using qor::test::Stream;

namespace {

// Bratley and Fox's table (ACM TOMS Algorithm 659) for dimensions 2 ... 40: polynomial and the
// initial integers m_1 ... m_deg.
struct BFRow {
  uint32_t poly;
  std::vector<uint32_t> m;
};
const std::vector<BFRow> kBratleyFox = {
    {3, {1}}, {7, {1, 1}}, {11, {1, 3, 7}}, {13, {1, 1, 5}}, {19, {1, 3, 1, 1}}, {25, {1, 1, 3, 7}},
    {37, {1, 3, 3, 9, 9}}, {59, {1, 3, 7, 13, 3}}, {47, {1, 1, 5, 11, 27}}, {61, {1, 3, 5, 1, 15}},
    {55, {1, 1, 7, 3, 29}}, {41, {1, 3, 7, 7, 21}}, {67, {1, 1, 1, 9, 23, 37}}, {97, {1, 3, 3, 5, 19, 33}},
    {91, {1, 1, 3, 13, 11, 7}}, {109, {1, 1, 7, 13, 25, 5}}, {103, {1, 3, 5, 11, 7, 11}},
    {115, {1, 1, 1, 3, 13, 39}}, {131, {1, 3, 1, 15, 17, 63, 13}}, {193, {1, 1, 5, 5, 1, 27, 33}},
    {137, {1, 3, 3, 3, 25, 17, 115}}, {145, {1, 1, 3, 15, 29, 15, 41}}, {143, {1, 3, 1, 7, 3, 23, 79}},
    {241, {1, 3, 7, 9, 31, 29, 17}}, {157, {1, 1, 5, 13, 11, 3, 29}}, {185, {1, 3, 1, 9, 5, 21, 119}},
    {167, {1, 1, 3, 1, 23, 13, 75}}, {229, {1, 3, 3, 11, 27, 31, 73}}, {171, {1, 1, 7, 7, 19, 25, 105}},
    {213, {1, 3, 5, 5, 21, 9, 7}}, {191, {1, 1, 1, 15, 5, 49, 59}}, {253, {1, 1, 1, 1, 1, 33, 65}},
    {203, {1, 3, 5, 15, 17, 19, 21}}, {211, {1, 1, 7, 11, 13, 29, 3}}, {239, {1, 3, 7, 5, 7, 11, 113}},
    {247, {1, 1, 5, 3, 15, 19, 61}}, {285, {1, 3, 1, 1, 9, 27, 89, 7}}, {369, {1, 1, 3, 7, 31, 15, 45, 23}},
    {299, {1, 3, 3, 9, 9, 25, 107, 39}}};

int deg(uint64_t p) { return 63 - __builtin_clzll(p); }
uint64_t polymod(uint64_t a, uint64_t p) {
  while (a && deg(a) >= deg(p)) a ^= p << (deg(a) - deg(p));
  return a;
}
uint64_t mulmod(uint64_t a, uint64_t b, uint64_t p) {
  uint64_t r = 0;
  for (; b; b >>= 1, a = polymod(a << 1, p))
    if (b & 1) r ^= a;
  return r;
}
uint64_t gcd(uint64_t a, uint64_t b) {
  while (b) {
    a = polymod(a, b);
    std::swap(a, b);
  }
  return a;
}
// x^(2^k) mod p by k squarings.
uint64_t frob(uint64_t p, int k) {
  uint64_t x = polymod(2, p);
  for (int i = 0; i < k; ++i) x = mulmod(x, x, p);
  return x;
}
// Rabin's test: p of degree e is irreducible iff x^(2^e) = x mod p and
// gcd(x^(2^(e/q)) - x, p) = 1 for every prime q dividing e.
bool irreducible(uint64_t p) {
  const int e = deg(p);
  if (e < 1) return false;
  if (frob(p, e) != polymod(2, p)) return false;
  for (int q = 2; q <= e; ++q) {
    bool prime = true;
    for (int r = 2; r * r <= q; ++r) prime = prime && q % r;
    if (prime && e % q == 0 && gcd(p, frob(p, e / q) ^ polymod(2, p)) != 1) return false;
  }
  return true;
}
// Primitive: irreducible and x has order 2^e - 1 (no x^((2^e - 1) / q) = 1 for prime q).
bool primitive(uint64_t p) {
  if (!irreducible(p)) return false;
  const uint64_t order = (uint64_t(1) << deg(p)) - 1;
  auto xpow = [&](uint64_t k) {
    uint64_t r = 1, b = 2;
    for (; k; k >>= 1, b = mulmod(b, b, p))
      if (k & 1) r = mulmod(r, b, p);
    return r;
  };
  for (uint64_t q = 2; q <= order; ++q)
    if (order % q == 0) {
      bool prime = true;
      for (uint64_t r = 2; r * r <= q; ++r) prime = prime && q % r;
      if (prime && xpow(order / q) == 1) return false;
    }
  return true;
}

// The test's own Sobol direction numbers of dimension j (0-based) as 32-bit integers.
std::vector<uint32_t> sobol_v(int j) {
  std::vector<uint64_t> m(33, 1);
  if (j > 0) {
    const BFRow& row = kBratleyFox[size_t(j - 1)];
    const int s = deg(row.poly);
    for (int k = 1; k <= 32; ++k) {
      if (k <= s) {
        m[size_t(k)] = row.m[size_t(k - 1)];
        continue;
      }
      uint64_t t = m[size_t(k - s)];  // the constant term
      for (int i = 1; i <= s; ++i)     // c_i = coefficient of x^(s - i); x^s's is 1
        if (row.poly >> (s - i) & 1) t ^= m[size_t(k - i)] << i;
      m[size_t(k)] = t;
    }
  }
  std::vector<uint32_t> v(32);
  for (int k = 1; k <= 32; ++k) v[size_t(k - 1)] = uint32_t(m[size_t(k)] << (32 - k));
  return v;
}

uint32_t point(const std::vector<uint32_t>& v, uint64_t i) {
  const uint64_t g = i ^ (i >> 1);
  uint32_t x = 0;
  for (int b = 0; b < 32; ++b)
    if (g >> b & 1) x ^= v[size_t(b)];
  return x;
}

std::vector<uint32_t> words(HoxStream s, int32_t n) {
  std::vector<uint32_t> r(size_t(std::max(n, 1)), 0xDEADBEEFu);
  EXPECT_EQ(_hoxiRngUniformBits(0, s, n, r.data()), 0);
  r.resize(size_t(n));
  return r;
}

uint32_t bit_reverse(uint32_t g) {
  uint32_t r = 0;
  for (int b = 0; b < 32; ++b) r |= (g >> b & 1) << (31 - b);
  return r;
}

const int32_t kQuasi[] = {HOX_BRNG_SOBOL, HOX_BRNG_NIEDERREITER};

TEST(Quasi, PublishedFirstPoints) {
  // Points 1 ... 8 of the three-dimensional sequences (the origin, point 0, is not emitted).
  const double sobol[] = {0.5,   0.5,   0.5,   0.75,  0.25,  0.75,  0.25,  0.75,  0.25,  0.375, 0.375,  0.625,
                          0.875, 0.875, 0.125, 0.625, 0.125, 0.375, 0.125, 0.625, 0.875, 0.1875, 0.3125, 0.3125};
  const double nied[] = {0.5,   0.5,   0.75,   0.75,  0.25,  0.3125, 0.25,  0.75,  0.5625, 0.375, 0.375,
                         0.875, 0.875, 0.875, 0.125,  0.625, 0.125, 0.6875, 0.125, 0.625, 0.4375};
  for (auto [brng, want, n] : {std::tuple{HOX_BRNG_SOBOL, sobol, 24}, std::tuple{HOX_BRNG_NIEDERREITER, nied, 21}}) {
    Stream s(brng, {3});
    std::vector<double> r(static_cast<size_t>(n));
    ASSERT_EQ(_hoxdRngUniform(0, s, n, r.data(), 0.0, 1.0), 0);
    for (int i = 0; i < n; ++i) EXPECT_EQ(r[size_t(i)], want[i]) << brng << " element " << i;
  }
}

TEST(Quasi, BratleyFoxTableAndPrimitivePolynomials) {
  for (int j = 0; j < 39; ++j) {
    const BFRow& row = kBratleyFox[size_t(j)];
    EXPECT_EQ(uSobolIrredPoly[j], row.poly) << j;
    EXPECT_EQ(iSobolIrredPolyDeg[j], deg(row.poly)) << j;
    EXPECT_TRUE(primitive(row.poly)) << row.poly;
    for (int k = 0; k < 8; ++k) {
      const uint32_t m = k < int(row.m.size()) ? row.m[size_t(k)] : 0;
      EXPECT_EQ(uSobolMInit[j][k], m) << j << " " << k;
      if (m) {
        EXPECT_TRUE(m % 2 == 1 && m < (1u << (k + 1)));
      }
    }
  }
}

TEST(Quasi, NiederreiterPolynomialsAreTheIrreduciblesInOrder) {
  std::vector<uint32_t> all;
  for (uint32_t p = 2; all.size() < 318; ++p)
    if (irreducible(p)) all.push_back(p);
  EXPECT_EQ(all.back(), 3047u);
  for (int j = 0; j < 318; ++j) {
    ASSERT_EQ(uNiederrIrredPoly[j], all[size_t(j)]) << j;
    EXPECT_EQ(iNiederrIrredPolyDeg[j], deg(all[size_t(j)])) << j;
  }
  // The test's irreducibility check itself: products are caught, known irreducibles pass.
  EXPECT_FALSE(irreducible(mulmod(11, 13, uint64_t(1) << 20 | 9)));  // x^6 + ... reducible
  EXPECT_FALSE(irreducible(5));                                      // (x + 1)^2
  EXPECT_TRUE(irreducible(0x11B));                                   // AES's polynomial
}

TEST(Quasi, VanDerCorputInGrayCodeOrder) {
  for (int32_t brng : kQuasi) {
    Stream s(brng, {});  // no seed words: one dimension
    const int32_t n = int32_t(qor::test::scaled(1 << 16, 1 << 12));
    const std::vector<uint32_t> r = words(s, n);
    for (int32_t i = 0; i < n; ++i) {
      const uint32_t g = uint32_t(i + 1) ^ (uint32_t(i + 1) >> 1);
      ASSERT_EQ(r[size_t(i)], bit_reverse(g)) << brng << " point " << i + 1;
    }
  }
  Stream s(HOX_BRNG_SOBOL, {});
  double d[4];
  ASSERT_EQ(_hoxdRngUniform(0, s, 4, d, 0.0, 1.0), 0);
  EXPECT_EQ(d[0], 0.5);
  EXPECT_EQ(d[1], 0.75);
  EXPECT_EQ(d[2], 0.25);
  EXPECT_EQ(d[3], 0.375);
}

TEST(Quasi, SobolMatchesDirectComputationInEveryDimension) {
  const int32_t points = int32_t(qor::test::scaled(4000, 500));
  Stream s(HOX_BRNG_SOBOL, {40});
  const std::vector<uint32_t> r = words(s, points * 40);
  for (int j = 0; j < 40; ++j) {
    const std::vector<uint32_t> v = sobol_v(j);
    for (int32_t i = 0; i < points; ++i) ASSERT_EQ(r[size_t(i) * 40 + size_t(j)], point(v, uint64_t(i) + 1)) << j << " " << i;
  }
  // Far out: points 2^31 - 1 ... 2^31 + 2 and the last one, 2^32 - 1, reached by skip-ahead.
  for (uint64_t start : {(uint64_t(1) << 31) - 1, (uint64_t(1) << 32) - 1}) {
    Stream t(HOX_BRNG_SOBOL, {40});
    ASSERT_EQ(__hoxSkipAheadStream(t, (start - 1) * 40), 0);
    const int32_t k = start == (uint64_t(1) << 32) - 1 ? 1 : 4;
    const std::vector<uint32_t> w = words(t, k * 40);
    for (int j = 0; j < 40; ++j)
      for (int i = 0; i < k; ++i) EXPECT_EQ(w[size_t(i) * 40 + size_t(j)], point(sobol_v(j), start + uint64_t(i)));
  }
}

// Each of the first 2^m points (the origin included) of every Sobol dimension lies in its own
// cell of width 2^-m. Niederreiter's dimension with a polynomial of degree e is a (t, 1)-sequence
// with t = e - 1: each cell of width 2^(t-m) holds 2^t of those points (its 32 x 32 matrix can
// be singular in the last rows, so the finest cells are not one point each).
TEST(Quasi, EveryDimensionIsStratified) {
  const int m = qor::test::scale() < 1 ? 12 : 16;
  for (auto [brng, d] : {std::pair{HOX_BRNG_SOBOL, 40}, std::pair{HOX_BRNG_NIEDERREITER, 318}}) {
    const int mm = brng == HOX_BRNG_SOBOL ? m : 12;
    Stream s(brng, {uint32_t(d)});
    const std::vector<uint32_t> r = words(s, ((1 << mm) - 1) * d);
    for (int j = 0; j < d; ++j) {
      const int t = brng == HOX_BRNG_SOBOL ? 0 : deg(uNiederrIrredPoly[j]) - 1;
      std::vector<int> count(size_t(1) << (mm - t), 0);
      count[0] = 1;  // the origin
      for (int i = 0; i + 1 < (1 << mm); ++i) ++count[r[size_t(i) * size_t(d) + size_t(j)] >> (32 - mm + t)];
      for (int c : count) ASSERT_EQ(c, 1 << t) << brng << " dimension " << j + 1;
    }
  }
}

// The first four dimensions of both sequences form (t, s)-sequences with t = 3 (degrees 1, 1,
// 2, 3): among the first 2^m points every elementary interval of volume 2^(t - m) holds exactly
// 2^t points.
TEST(Quasi, FirstFourDimensionsFormNets) {
  constexpr int m = 10, t = 3, s = 4;
  for (int32_t brng : kQuasi) {
    Stream st(brng, {4});
    std::vector<uint32_t> r = words(st, ((1 << m) - 1) * s);
    r.insert(r.begin(), {0, 0, 0, 0});
    for (int d0 = 0; d0 <= m - t; ++d0)
      for (int d1 = 0; d0 + d1 <= m - t; ++d1)
        for (int d2 = 0; d0 + d1 + d2 <= m - t; ++d2) {
          const int dd[4] = {d0, d1, d2, m - t - d0 - d1 - d2};
          std::vector<int> count(size_t(1) << (m - t), 0);
          for (int i = 0; i < (1 << m); ++i) {
            uint32_t box = 0;
            for (int j = 0; j < s; ++j)
              box = (box << dd[j]) | (dd[j] ? r[size_t(i) * s + size_t(j)] >> (32 - dd[j]) : 0);
            ++count[box];
          }
          for (int c : count) ASSERT_EQ(c, 1 << t) << brng << " " << d0 << d1 << d2;
        }
  }
}

TEST(Quasi, SkipAheadEqualsGenerateAndDiscardAndSplitCallsEqualOneCall) {
  for (int32_t brng : kQuasi)
    for (uint32_t d : {1u, 5u}) {
      Stream whole(brng, {d});
      const std::vector<uint32_t> ref = words(whole, 3000);
      for (uint64_t used : {0u, 3u})
        for (uint64_t skip : {0u, 1u, 4u, 5u, 6u, 999u, 2047u}) {
          Stream s(brng, {d});
          words(s, int32_t(used));
          ASSERT_EQ(__hoxSkipAheadStream(s, skip), 0);
          const std::vector<uint32_t> w = words(s, 50);
          for (int i = 0; i < 50; ++i) ASSERT_EQ(w[size_t(i)], ref[used + skip + size_t(i)]) << brng << " " << d;
        }
      // One 32-bit word of N is accepted too; no words is refused.
      BrngProperties props;
      ASSERT_EQ(__hoxGetBrngProperties(brng, &props), 0);
      Stream s(brng, {d});
      const uint32_t seven = 7;
      EXPECT_EQ(props.InitStream(HOX_INIT_METHOD_SKIPAHEAD, s, 1, &seven), 0);
      EXPECT_EQ(words(s, 1)[0], ref[7]);
      EXPECT_EQ(props.InitStream(HOX_INIT_METHOD_SKIPAHEAD, s, 0, &seven), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
      EXPECT_EQ(props.InitStream(3, s, 0, &seven), HOX_ERR_BAD_INIT_METHOD);
      // Split calls of every output type against one call: a + (b - a) x 2^-32.
      Stream a(brng, {d}), b(brng, {d}), c(brng, {d});
      std::vector<double> dd;
      std::vector<float> ff;
      std::vector<uint32_t> w;
      for (int32_t step : {1, 2, 3, 7, 64, 500, 1000}) {
        std::vector<double> d2(static_cast<size_t>(step));
        std::vector<float> f2(static_cast<size_t>(step));
        ASSERT_EQ(_hoxdRngUniform(0, a, step, d2.data(), -1.0, 3.0), 0);
        ASSERT_EQ(_hoxsRngUniform(0, b, step, f2.data(), -1.0f, 3.0f), 0);
        const std::vector<uint32_t> part = words(c, step);
        dd.insert(dd.end(), d2.begin(), d2.end());
        ff.insert(ff.end(), f2.begin(), f2.end());
        w.insert(w.end(), part.begin(), part.end());
      }
      for (size_t i = 0; i < w.size(); ++i) {
        ASSERT_EQ(w[i], ref[i]);
        const double want = -1.0 + 4.0 * (double(ref[i]) * 0x1p-32);
        ASSERT_EQ(dd[i], want);
        ASSERT_EQ(ff[i], float(want));
      }
    }
}

TEST(Quasi, LeapfrogSelectsOneCoordinate) {
  for (int32_t brng : kQuasi) {
    Stream whole(brng, {7});
    const std::vector<uint32_t> ref = words(whole, 7 * 200);
    for (uint32_t k : {0u, 3u, 6u}) {
      Stream s(brng, {7});
      ASSERT_EQ(__hoxLeapfrogStream(s, k, 2147483647), 0);
      std::vector<uint32_t> w = words(s, 100);
      ASSERT_EQ(__hoxSkipAheadStream(s, 10), 0);  // now in points
      const std::vector<uint32_t> w2 = words(s, 10);
      for (int i = 0; i < 100; ++i) ASSERT_EQ(w[size_t(i)], ref[size_t(i) * 7 + k]);
      for (int i = 0; i < 10; ++i) ASSERT_EQ(w2[size_t(i)], ref[size_t(110 + i) * 7 + k]);
      // Switching coordinate, or starting mid-point: the next output is from the next point.
      ASSERT_EQ(__hoxLeapfrogStream(s, 6 - k, 2147483647), 0);
      EXPECT_EQ(words(s, 1)[0], ref[size_t(120) * 7 + 6 - k]);
      Stream t(brng, {7});
      words(t, 9);  // point 1 and two coordinates of point 2
      ASSERT_EQ(__hoxLeapfrogStream(t, k, 2147483647), 0);
      EXPECT_EQ(words(t, 1)[0], ref[size_t(2) * 7 + k]);
    }
    // Refusals change nothing.
    Stream s(brng, {7}), u(brng, {7});
    EXPECT_EQ(__hoxLeapfrogStream(s, 7, 2147483647), HOX_ERR_LEAPFROG_UNSUPPORTED);
    EXPECT_EQ(__hoxLeapfrogStream(s, 0, 2), HOX_ERR_LEAPFROG_UNSUPPORTED);
    EXPECT_EQ(__hoxLeapfrogStream(s, 0, -1), HOX_ERR_LEAPFROG_NSTREAMS);
    EXPECT_EQ(words(s, 20), words(u, 20));
  }
}

TEST(Quasi, PeriodLimitIsRefusedWithoutWriting) {
  for (int32_t brng : kQuasi) {
    const uint64_t last = (uint64_t(1) << 32) - 1;  // highest point index
    Stream s(brng, {2});
    ASSERT_EQ(__hoxSkipAheadStream(s, (last - 2) * 2 + 1), 0);  // point last - 1, second coordinate next
    Stream copy;
    ASSERT_EQ(__hoxCopyStream(&copy.s, s), 0);
    std::vector<uint32_t> r(5, 7u);
    EXPECT_EQ(_hoxiRngUniformBits(0, s, 4, r.data()), HOX_ERR_QRNG_PERIOD_ELAPSED);
    EXPECT_EQ(r, std::vector<uint32_t>(5, 7u));
    double d = 2.0;
    float f = 2.0f;
    EXPECT_EQ(_hoxdRngUniform(0, s, 4, &d, 0.0, 1.0), HOX_ERR_QRNG_PERIOD_ELAPSED);
    EXPECT_EQ(_hoxsRngUniform(0, s, 4, &f, 0.0f, 1.0f), HOX_ERR_QRNG_PERIOD_ELAPSED);
    EXPECT_EQ(d, 2.0);
    EXPECT_EQ(f, 2.0f);
    EXPECT_EQ(__hoxSkipAheadStream(s, 4), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
    EXPECT_EQ(__hoxSkipAheadStream(s, ~uint64_t(0)), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
    EXPECT_EQ(words(s, 3), words(copy, 3));  // the three elements left
    EXPECT_EQ(_hoxiRngUniformBits(0, s, 1, r.data()), HOX_ERR_QRNG_PERIOD_ELAPSED);
    EXPECT_EQ(__hoxSkipAheadStream(s, 1), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
    EXPECT_EQ(__hoxSkipAheadStream(s, 0), 0);
    Stream fresh(brng, {2});
    EXPECT_EQ(__hoxSkipAheadStream(fresh, last * 2 + 1), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
    EXPECT_EQ(__hoxSkipAheadStream(fresh, last * 2), 0);
  }
}

// Seeds that fall back to the built-in tables give the built-in stream of the dimension named.
TEST(Quasi, SeedingAndFallbacks) {
  auto same = [](int32_t brng, std::vector<uint32_t> seed, uint32_t d) {
    Stream s(brng, seed), t(brng, {d});
    return words(s, 400) == words(t, 400);
  };
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {41}, 1));
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {0}, 1));
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {40, 5}, 40));
  EXPECT_FALSE(same(HOX_BRNG_SOBOL, {40}, 39));
  EXPECT_TRUE(same(HOX_BRNG_NIEDERREITER, {318}, 318));
  EXPECT_TRUE(same(HOX_BRNG_NIEDERREITER, {319}, 1));
  // Unknown forms and forms whose length condition fails fall back with status 0.
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {5, 1, 7, 0}, 5));
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {5, 1, 1, 3, 7, 11}, 5));         // form 1 needs d + 2 = 7 words
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {3, 1, 2, 2, 1u << 31, 1u << 30, 3u << 30}, 3));  // (d-1)L+4 = 8
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {2, 1, 4}, 2));                      // fewer than 4 words
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {2, 1, 4, 0}, 2));                   // form 4 needs 67 words
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {2, 1, 3, 7, 2, 1}, 2));             // form 3 needs 7 words
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {2, 1, 3, 7, 2, 1, 2}, 2));          // m_2 = 2 is even
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {2, 1, 3, 11, 2, 1, 3}, 2));         // degree 3 > D = 2
  EXPECT_TRUE(same(HOX_BRNG_SOBOL, {2, 1, 11, 1, 7, 2, 1, 1, 1}, 2));  // form 11 needs 10 words
  EXPECT_TRUE(same(HOX_BRNG_NIEDERREITER, {2, 1, 1, 2}, 2));           // form 1 needs d + 3 words
  EXPECT_TRUE(same(HOX_BRNG_NIEDERREITER, {2, 1, 1, 2, 0}, 2));        // polynomial 0
  // Null seed words with n > 0.
  HoxStream h = nullptr;
  EXPECT_EQ(__hoxNewStreamEx(&h, HOX_BRNG_SOBOL, 1, nullptr), HOX_ERR_BAD_ARGUMENT);
  __hoxDeleteStream(&h);
}

// The user forms reproduce the built-in streams when given the built-in data.
TEST(Quasi, UserFormsWithTheBuiltInData) {
  constexpr uint32_t d = 10;
  Stream ref(HOX_BRNG_SOBOL, {d});
  const std::vector<uint32_t> want = words(ref, int32_t(d) * 300);
  std::vector<std::vector<uint32_t>> seeds(5);
  seeds[0] = {d, 1, 1};  // form 1
  for (uint32_t j = 1; j < d; ++j) seeds[0].push_back(kBratleyFox[j - 1].poly);
  seeds[1] = {d, 1, 2, 32};  // form 2
  for (uint32_t j = 1; j < d; ++j)
    for (uint32_t v : sobol_v(int(j))) seeds[1].push_back(v);
  seeds[2] = {d, 1, 3};  // form 3
  for (uint32_t j = 1; j < d; ++j) seeds[2].push_back(kBratleyFox[j - 1].poly);
  seeds[2].push_back(8);
  for (uint32_t j = 1; j < d; ++j)
    for (int k = 0; k < 8; ++k) seeds[2].push_back(k < int(kBratleyFox[j - 1].m.size()) ? kBratleyFox[j - 1].m[size_t(k)] : 5);
  seeds[3] = {d, 1, 11, 1};  // form 11: the polynomial 1 is van der Corput
  for (uint32_t j = 1; j < d; ++j) seeds[3].push_back(kBratleyFox[j - 1].poly);
  seeds[3].push_back(6);
  for (int k = 0; k < 6; ++k) seeds[3].push_back(1);
  for (uint32_t j = 1; j < d; ++j)
    for (int k = 0; k < 6; ++k) seeds[3].push_back(k < int(kBratleyFox[j - 1].m.size()) ? kBratleyFox[j - 1].m[size_t(k)] : 1);
  seeds[4] = {d, 1, 4};  // form 4
  for (uint32_t j = 0; j < d; ++j)
    for (uint32_t v : sobol_v(int(j))) seeds[4].push_back(v);
  for (size_t f = 0; f < seeds.size(); ++f) {
    Stream s(HOX_BRNG_SOBOL, seeds[f]);
    EXPECT_EQ(words(s, int32_t(d) * 300), want) << "form index " << f;
  }
  // Form 2 with L = 3: only the first three direction numbers, so points repeat after 8.
  Stream s(HOX_BRNG_SOBOL, {2, 1, 2, 3, 1u << 31, 3u << 30, 5u << 29});
  const std::vector<uint32_t> w = words(s, 2 * 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(w[size_t(i) * 2 + 1], point({1u << 31, 3u << 30, 5u << 29, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                                                    uint64_t(i) + 1));
  // Niederreiter's form 1 with the built-in polynomials, form 4 with its own matrix.
  Stream n(HOX_BRNG_NIEDERREITER, {6});
  const std::vector<uint32_t> nwant = words(n, 6 * 300);
  std::vector<uint32_t> seed = {6, 1, 1};
  for (int j = 0; j < 6; ++j) seed.push_back(uNiederrIrredPoly[j]);
  Stream n1(HOX_BRNG_NIEDERREITER, seed);
  EXPECT_EQ(words(n1, 6 * 300), nwant);
  // The generator matrix columns from the points 2^b (Gray code 2^b + 2^(b-1)).
  Stream probe(HOX_BRNG_NIEDERREITER, {6});
  std::vector<uint32_t> cols(6 * 32);
  const std::vector<uint32_t> pts = words(probe, 6 * 2048);
  for (int j = 0; j < 6; ++j) {
    cols[size_t(j) * 32] = pts[size_t(j)];  // point 1 = column 0
    for (int b = 1; b < 11; ++b) {
      const size_t i = size_t(1) << b;  // point 2^b = columns b and b - 1
      cols[size_t(j) * 32 + size_t(b)] = pts[(i - 1) * 6 + size_t(j)] ^ cols[size_t(j) * 32 + size_t(b - 1)];
    }
  }
  std::vector<uint32_t> seed4 = {6, 1, 4};
  seed4.insert(seed4.end(), cols.begin(), cols.end());
  Stream n4(HOX_BRNG_NIEDERREITER, seed4);
  const std::vector<uint32_t> got = words(n4, 6 * 2047);
  EXPECT_EQ(got, std::vector<uint32_t>(pts.begin(), pts.begin() + 6 * 2047));
}

// Tables beyond the state's size live in chunks 9 (direction numbers, shared) and 13 (point).
TEST(Quasi, LargeUserTablesLiveInSharedChunks) {
  constexpr uint32_t d = 45;
  std::vector<uint32_t> seed = {d, 1, 3};
  for (uint32_t j = 1; j < d; ++j) seed.push_back(kBratleyFox[(j - 1) % 39].poly);
  seed.push_back(8);
  for (uint32_t j = 1; j < d; ++j)
    for (int k = 0; k < 8; ++k) seed.push_back(k < int(kBratleyFox[(j - 1) % 39].m.size()) ? kBratleyFox[(j - 1) % 39].m[size_t(k)] : 1);
  Stream s(HOX_BRNG_SOBOL, seed);
  ASSERT_EQ(__hoxGetNumChunks(s), 2);
  const std::vector<uint32_t> w = words(s, int32_t(d) * 100);
  for (uint32_t j = 0; j < d; ++j) {
    const std::vector<uint32_t> v = sobol_v(j == 0 ? 0 : int((j - 1) % 39 + 1));
    for (int i = 0; i < 100; ++i) ASSERT_EQ(w[size_t(i) * d + j], point(v, uint64_t(i) + 1)) << j;
  }
  // A copy shares the direction block and owns its point; both continue alike.
  Stream c;
  ASSERT_EQ(__hoxCopyStream(&c.s, s), 0);
  EXPECT_EQ(__hoxSearchChunk(c, 9), __hoxSearchChunk(s, 9));
  EXPECT_NE(__hoxSearchChunk(c, 13), __hoxSearchChunk(s, 13));
  // Memory image round trip.
  std::vector<unsigned char> image(size_t(__hoxGetStreamSize(s)));
  ASSERT_EQ(__hoxSaveStreamM(s, image.data()), 0);
  Stream l;
  ASSERT_EQ(__hoxLoadStreamM(&l.s, image.data()), 0);
  EXPECT_EQ(__hoxSearchChunk(l, 9), __hoxSearchChunk(s, 9));
  const std::vector<uint32_t> a = words(s, 500), b = words(c, 500), e = words(l, 500);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, e);
  // Leapfrog and skip-ahead on the chunk tables.
  ASSERT_EQ(__hoxLeapfrogStream(c, 44, 2147483647), 0);
  ASSERT_EQ(__hoxSkipAheadStream(c, 3), 0);
  EXPECT_EQ(words(c, 1)[0], point(sobol_v(int(43 % 39 + 1)), 100 + 500 / d + 1 + 1 + 3));
  // Damaged images (dimension beyond the chunks, leapfrog coordinate beyond the dimension, no
  // dimension) are refused by every operation instead of being read out of bounds.
  for (auto [offset, value] : {std::pair{4, d + 1}, std::pair{12, d}, std::pair{4, 0u}}) {
    std::vector<unsigned char> bad = image;
    std::memcpy(bad.data() + 16 + offset, &value, 4);
    Stream b;
    ASSERT_EQ(__hoxLoadStreamM(&b.s, bad.data()), 0);
    uint32_t out = 7;
    EXPECT_EQ(_hoxiRngUniformBits(0, b, 1, &out), HOX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(out, 7u);
    EXPECT_EQ(__hoxSkipAheadStream(b, 1), HOX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(__hoxLeapfrogStream(b, 0, 2147483647), HOX_ERR_BAD_ARGUMENT);
  }
  // Reseeding with built-in tables drops the chunks; the copies keep the shared block.
  ASSERT_EQ(__hoxBRngSobolInitStream(HOX_INIT_METHOD_STANDARD, s, 1, &seed[0]), 0);
  EXPECT_EQ(__hoxGetNumChunks(s), 0);
  EXPECT_EQ(words(c, 1).size(), 1u);
  // Niederreiter with 320 user polynomials: its first 318 coordinates are the built-in ones.
  std::vector<uint32_t> nseed = {320, 1, 1};
  for (uint32_t p = 2; nseed.size() < 323; ++p)
    if (irreducible(p)) nseed.push_back(p);
  Stream n(HOX_BRNG_NIEDERREITER, nseed), nb(HOX_BRNG_NIEDERREITER, {318});
  EXPECT_EQ(__hoxGetNumChunks(n), 2);
  const std::vector<uint32_t> nw = words(n, 320 * 20), nbw = words(nb, 318 * 20);
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 318; ++j) ASSERT_EQ(nw[size_t(i) * 320 + size_t(j)], nbw[size_t(i) * 318 + size_t(j)]);
}

TEST(Quasi, AllocationFailureLeavesTheStreamAsItWas) {
  constexpr uint32_t d = 41;
  std::vector<uint32_t> seed = {d, 1, 4};
  for (uint32_t j = 0; j < d; ++j)
    for (uint32_t v : sobol_v(int(j % 40))) seed.push_back(v);
  Stream s(HOX_BRNG_SOBOL, seed);
  const int sites = qor::test::sweep_allocation_failures(
      [&] { return __hoxBRngSobolInitStream(HOX_INIT_METHOD_STANDARD, s, int32_t(seed.size()), seed.data()); },
      HOX_ERR_NO_MEMORY);
  EXPECT_EQ(sites, 4);  // two blocks, two chunk records
  EXPECT_EQ(__hoxGetNumChunks(s), 2);
  // A reseed failing at any site keeps the old tables (shared with a copy) and the position.
  words(s, 100);
  Stream t;
  ASSERT_EQ(__hoxCopyStream(&t.s, s), 0);
  for (int k = 1; k <= 4; ++k) {
    qor::serv::fail_allocation_number(k);
    EXPECT_EQ(__hoxBRngSobolInitStream(HOX_INIT_METHOD_STANDARD, s, int32_t(seed.size()), seed.data()), HOX_ERR_NO_MEMORY);
    qor::serv::fail_allocation_number(0);
    EXPECT_EQ(__hoxGetNumChunks(s), 2);
    EXPECT_EQ(words(s, 50), words(t, 50)) << k;
  }
}

}  // namespace
