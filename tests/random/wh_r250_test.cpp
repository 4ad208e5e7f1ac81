// R250 and Wichmann-Hill against straightforward implementations written here from the
// generators' definitions, the WH tables re-checked (primes, primitive roots, reciprocals),
// WH leapfrog against every s-th element, skip-ahead against generate-and-discard and against
// independent modular powers, split calls against one call, and the seeding rules.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "rng_test_util.h"

using qor::test::Stream;

namespace {

// ---- R250 ---------------------------------------------------------------------------------
struct R250Ref {
  uint32_t x[250];
  int k = 0;
  explicit R250Ref(const std::vector<uint32_t>& s) {
    if (s.size() >= 250) {
      for (int i = 0; i < 250; ++i) x[i] = s[size_t(i)];
      return;
    }
    uint32_t v = s.empty() || s[0] == 0 ? 1 : s[0];
    for (int i = 0; i < 250; ++i) x[i] = v *= 69069u;
    uint32_t mask = 0xFFFFFFFFu, msb = 0x80000000u;
    for (int i = 0; i < 32; ++i, mask >>= 1, msb >>= 1) x[7 * i + 3] = (x[7 * i + 3] & mask) | msb;
  }
  uint32_t next() {
    const uint32_t y = x[k] ^ x[(k + 103) % 250];
    x[k] = y;
    k = (k + 1) % 250;
    return y;
  }
};

std::vector<uint32_t> draw(HoxStream s, int32_t n, int32_t per = 1) {
  std::vector<uint32_t> w(static_cast<size_t>(n * per));
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(__hoxGetStreamStateBrng(s), &p), 0);
  EXPECT_EQ(p.iBRng(s, n, w.data()), 0);
  return w;
}

TEST(R250, AgreesWithTheWordByWordDefinition) {
  const std::vector<uint32_t> many = [] {
    std::vector<uint32_t> v(260);
    std::mt19937 g(3);
    for (auto& w : v) w = g();
    return v;
  }();
  for (const std::vector<uint32_t>& seed : {std::vector<uint32_t>{777}, {0}, {1}, {}, {5, 6, 7}, many}) {
    Stream s(HOX_BRNG_R250, seed);
    R250Ref ref(seed);
    const auto w = draw(s, 3000);
    for (size_t i = 0; i < w.size(); ++i) ASSERT_EQ(w[i], ref.next()) << "seed size " << seed.size() << ", word " << i;
  }
  // One zero word seeds like the word 1; 250 zero words give zeros for ever.
  Stream z(HOX_BRNG_R250, {0}), one(HOX_BRNG_R250, {1});
  EXPECT_EQ(draw(z, 600), draw(one, 600));
  Stream zeros(HOX_BRNG_R250, std::vector<uint32_t>(250, 0));
  for (uint32_t v : draw(zeros, 700)) ASSERT_EQ(v, 0u);
  // Doubles are y 2^-32 on [0, 1).
  Stream d(HOX_BRNG_R250, {42}), i(HOX_BRNG_R250, {42});
  std::vector<double> u(300);
  ASSERT_EQ(__hoxdBRngR250(d, 300, u.data(), 0.0, 1.0), 0);
  const auto y = draw(i, 300);
  for (size_t k = 0; k < u.size(); ++k) ASSERT_EQ(u[k], std::ldexp(double(y[k]), -32));
}

TEST(R250, SplitCallsEqualOneCallAndNoJumps) {
  Stream one(HOX_BRNG_R250, {9});
  const auto all = draw(one, 2000);
  std::mt19937 pick(1);
  for (int round = 0; round < 10; ++round) {
    Stream s(HOX_BRNG_R250, {9});
    std::vector<uint32_t> got;
    while (got.size() < all.size()) {
      const int32_t m = std::min<int32_t>(int32_t(all.size() - got.size()), int32_t(pick() % (round < 5 ? 40 : 600)));
      const auto part = draw(s, m);
      got.insert(got.end(), part.begin(), part.end());
    }
    ASSERT_EQ(got, all);
  }
  EXPECT_EQ(__hoxSkipAheadStream(one, 5), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
  EXPECT_EQ(__hoxLeapfrogStream(one, 0, 3), HOX_ERR_LEAPFROG_UNSUPPORTED);
  uint32_t w = 7;
  EXPECT_EQ(_hoxiRngUniformBits32(0, one, 1, &w), HOX_ERR_BITS32_UNSUPPORTED);
  EXPECT_EQ(w, 7u);
}

// ---- Wichmann-Hill ------------------------------------------------------------------------
bool prime(uint32_t m) {
  if (m < 2) return false;
  for (uint32_t d = 2; d * d <= m; ++d)
    if (m % d == 0) return false;
  return true;
}

bool primitive_root(uint32_t a, uint32_t m) {
  uint32_t rest = m - 1;
  std::vector<uint32_t> q;
  for (uint32_t d = 2; d * d <= rest; ++d)
    if (rest % d == 0) {
      q.push_back(d);
      while (rest % d == 0) rest /= d;
    }
  if (rest > 1) q.push_back(rest);
  for (uint32_t f : q)
    if (qor::test::powmod_slow(a, (m - 1) / f, m) == 1) return false;
  return a % m != 0;
}

TEST(WichmannHill, TablesHoldDistinctPrimesAndPrimitiveRoots) {
  EXPECT_EQ((std::vector<uint32_t>(_hox_WH_M[0], _hox_WH_M[0] + 4)), (std::vector<uint32_t>{16770647, 16770643, 16770623, 16770617}));
  EXPECT_EQ((std::vector<int>(_hox_WH_A[0], _hox_WH_A[0] + 4)), (std::vector<int>{125, 117, 127, 126}));
  EXPECT_EQ(_hoxdWH_IM_Tab[0][0], 5.962799169286671e-08);
  std::set<uint32_t> seen;
  for (int g = 0; g < 273; ++g)
    for (int i = 0; i < 4; ++i) {
      const uint32_t m = _hox_WH_M[g][i], a = _hox_WH_A[g][i];
      ASSERT_TRUE(prime(m)) << g << " " << m;
      // Just below 2^24; the generator's one-fold reduction needs 2^24 - m < 2^15.
      ASSERT_TRUE(m < (1u << 24) && (1u << 24) - m < (1u << 15)) << m;
      ASSERT_TRUE(seen.insert(m).second) << "prime used twice: " << m;
      ASSERT_TRUE(a > 1 && primitive_root(a, m)) << g << ": " << a << " mod " << m;
      ASSERT_EQ(_hoxdWH_IM_Tab[g][i], 1.0 / double(m));
    }
}

struct WHRef {
  uint64_t a[4], m[4], x[4];
  const double* r;
  WHRef(int g, const std::vector<uint32_t>& s) : r(_hoxdWH_IM_Tab[g]) {
    for (int i = 0; i < 4; ++i) {
      a[i] = _hox_WH_A[g][i];
      m[i] = _hox_WH_M[g][i];
      x[i] = size_t(i) < s.size() ? s[size_t(i)] % m[i] : 1;
      if (x[i] == 0) x[i] = 1;
    }
  }
  void step() {
    for (int i = 0; i < 4; ++i) x[i] = a[i] * x[i] % m[i];
  }
  double u() const {
    const double s = double(x[0]) * r[0] + double(x[1]) * r[1] + double(x[2]) * r[2] + double(x[3]) * r[3];
    return s - std::floor(s);
  }
};

TEST(WichmannHill, MembersAgreeWithTheDefinition) {
  for (int g : {0, 1, 136, 272}) {
    for (const std::vector<uint32_t>& seed : {std::vector<uint32_t>{1, 2, 3, 4}, {}, {0, 16770643, 16770647 + 5}, {7, 8, 9, 10, 11}}) {
      Stream s(HOX_BRNG_WH + g, seed), d(HOX_BRNG_WH + g, seed), legacy(4 + g, seed);
      WHRef ref(g, seed);
      const int32_t n = 700;
      const auto w = draw(s, n, 4);
      std::vector<double> u(n);
      ASSERT_EQ(__hoxdBRngWH(d, n, u.data(), 0.0, 1.0), 0);
      EXPECT_EQ(draw(legacy, n, 4), w);
      for (int32_t i = 0; i < n; ++i) {
        for (int k = 0; k < 4; ++k) ASSERT_EQ(w[size_t(4 * i + k)], ref.x[k]) << "member " << g << ", element " << i;
        ASSERT_EQ(u[size_t(i)], ref.u());
        // The same value by division, within the rounding of the four terms and the sum.
        double q = double(ref.x[0]) / double(ref.m[0]) + double(ref.x[1]) / double(ref.m[1]) +
                   double(ref.x[2]) / double(ref.m[2]) + double(ref.x[3]) / double(ref.m[3]);
        q -= std::floor(q);
        ASSERT_NEAR(u[size_t(i)], q, 2e-15);
        ref.step();
      }
    }
  }
  EXPECT_NE(_hox_WH_M[272][0], _hox_WH_M[0][0]);
}

TEST(WichmannHill, LeapfrogTakesEveryStreamsElement) {
  const std::vector<uint32_t> seed{11, 22, 33, 44};
  Stream full(HOX_BRNG_WH + 5, seed);
  const int32_t total = 2000;
  const auto all = draw(full, total, 4);
  for (auto [k, s] : {std::pair{0, 1}, std::pair{0, 3}, std::pair{2, 3}, std::pair{4, 7}, std::pair{0, 100}}) {
    Stream st(HOX_BRNG_WH + 5, seed), d(HOX_BRNG_WH + 5, seed), ref(HOX_BRNG_WH + 5, seed);
    ASSERT_EQ(__hoxLeapfrogStream(st, k, s), 0);
    ASSERT_EQ(__hoxLeapfrogStream(d, k, s), 0);
    const int32_t m = (total - k) / s;
    const auto w = draw(st, m, 4);
    for (int32_t i = 0; i < m; ++i)
      for (int c = 0; c < 4; ++c) ASSERT_EQ(w[size_t(4 * i + c)], all[size_t(4 * (k + i * s) + c)]) << k << " of " << s;
    // Doubles of a leapfrogged stream (full-size multipliers) follow the same elements.
    std::vector<double> u(static_cast<size_t>(m)), all_u(static_cast<size_t>(total));
    ASSERT_EQ(__hoxdBRngWH(d, m, u.data(), 0.0, 1.0), 0);
    ASSERT_EQ(__hoxdBRngWH(ref, total, all_u.data(), 0.0, 1.0), 0);
    for (int32_t i = 0; i < m; ++i) ASSERT_EQ(u[size_t(i)], all_u[size_t(k + i * s)]);
  }
}

TEST(WichmannHill, SkipAheadEqualsDiscardAndModularPowers) {
  const std::vector<uint32_t> seed{5, 6, 7, 8};
  for (uint64_t N : {0ull, 1ull, 17ull, 1000ull, 65537ull}) {
    Stream a(HOX_BRNG_WH + 9, seed), b(HOX_BRNG_WH + 9, seed);
    draw(a, 3, 4);
    draw(b, 3, 4);
    ASSERT_EQ(__hoxSkipAheadStream(a, N), 0);
    const auto all = draw(b, int32_t(N) + 10, 4);
    EXPECT_EQ(draw(a, 10, 4), std::vector<uint32_t>(all.end() - 40, all.end())) << N;
  }
  for (uint64_t N : {1ull << 40, ~0ull, 123456789012345ull}) {
    Stream a(HOX_BRNG_WH + 272, seed);
    ASSERT_EQ(__hoxSkipAheadStream(a, N), 0);
    const auto w = draw(a, 1, 4);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(w[size_t(i)], qor::test::mulmod_slow(qor::test::powmod_slow(_hox_WH_A[272][i], N, _hox_WH_M[272][i]),
                                                     seed[size_t(i)], _hox_WH_M[272][i]));
  }
}

TEST(WichmannHill, SplitCallsEqualOneCall) {
  const std::vector<uint32_t> seed{99, 98, 97, 96};
  const int32_t n = 1000;
  Stream w1(HOX_BRNG_WH + 3, seed), d1(HOX_BRNG_WH + 3, seed), s1(HOX_BRNG_WH + 3, seed);
  const auto all = draw(w1, n, 4);
  std::vector<double> dall(n);
  std::vector<float> sall(n);
  ASSERT_EQ(__hoxdBRngWH(d1, n, dall.data(), -1.0, 3.0), 0);
  ASSERT_EQ(__hoxsBRngWH(s1, n, sall.data(), 2.0f, 4.0f), 0);
  std::mt19937 pick(4);
  Stream w(HOX_BRNG_WH + 3, seed), d(HOX_BRNG_WH + 3, seed), s(HOX_BRNG_WH + 3, seed);
  std::vector<uint32_t> wp(size_t(4 * n));
  std::vector<double> dp(n);
  std::vector<float> sp(n);
  for (int32_t i = 0; i < n;) {
    const int32_t m = std::min<int32_t>(n - i, int32_t(pick() % 50));
    ASSERT_EQ(__hoxiBRngWH(w, m, wp.data() + 4 * i), 0);
    ASSERT_EQ(__hoxdBRngWH(d, m, dp.data() + i, -1.0, 3.0), 0);
    ASSERT_EQ(__hoxsBRngWH(s, m, sp.data() + i, 2.0f, 4.0f), 0);
    i += m;
  }
  EXPECT_EQ(wp, all);
  EXPECT_EQ(dp, dall);
  EXPECT_EQ(sp, sall);
  EXPECT_EQ(_hoxiRngUniformBits32(0, w, 1, wp.data()), HOX_ERR_BITS32_UNSUPPORTED);
}

}  // namespace
