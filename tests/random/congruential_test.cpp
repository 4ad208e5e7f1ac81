// The congruential generators against published and independently computed values, and the
// ways a sequence may be cut: skip-ahead, leapfrog, and arbitrary splits into calls.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "rng_test_util.h"
#include "support/scale.h"

using qor::test::Stream;

namespace {

constexpr uint64_t kM31 = 2147483647u;
constexpr uint64_t kA31 = 1132489760u;
constexpr uint64_t kA59 = 302875106592253ull;
constexpr uint64_t kM1 = 4294967087u, kM2 = 4294944443u;

std::vector<uint32_t> words(HoxStream s, int32_t n) {
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(__hoxGetStreamStateBrng(s), &p), 0);
  std::vector<uint32_t> w(size_t(n) * size_t(p.wordBytes / 4));
  EXPECT_EQ(_hoxiRngUniformBits(0, s, n, w.data()), 0);
  return w;
}
std::vector<uint64_t> mcg59(HoxStream s, int32_t n) {
  std::vector<uint64_t> w(n);
  EXPECT_EQ(__hoxiBRngMCG59(s, n, reinterpret_cast<uint32_t*>(w.data())), 0);
  return w;
}

// x at index N of MCG59 from 1: 13^(13 N) mod 2^59 with the 128-bit product of the test helpers.
uint64_t mcg59_oracle(uint64_t x, uint64_t e) {
  auto mul = [](uint64_t a, uint64_t b) {
    uint64_t hi, lo;
    qor::test::mul128(a, b, &hi, &lo);
    return lo & ((uint64_t(1) << 59) - 1);  // 2^59 divides 2^64: the low word decides
  };
  uint64_t r = 1, b = kA59;
  for (; e; e >>= 1) {
    if (e & 1) r = mul(r, b);
    b = mul(b, b);
  }
  return mul(r, x);
}

TEST(Mcg31m1, KnownAnswersFromSeedOne) {
  Stream s(HOX_BRNG_MCG31, {1});
  EXPECT_EQ(words(s, 6), (std::vector<uint32_t>{1, 1132489760, 826537482, 289798557, 480863449, 1381340036}));
  Stream t(HOX_BRNG_MCG31, {1});
  ASSERT_EQ(__hoxSkipAheadStream(t, 1000000000000ull), 0);
  EXPECT_EQ(words(t, 1)[0], 957121669u);
}

TEST(Mcg59, KnownAnswersAndWideOracle) {
  Stream s(HOX_BRNG_MCG59, {1});
  EXPECT_EQ(mcg59(s, 5), (std::vector<uint64_t>{1, 302875106592253ull, 458357793578900489ull,
                                                 130117127544889829ull, 214028503895537745ull}));
  Stream t(HOX_BRNG_MCG59, {1});
  ASSERT_EQ(__hoxSkipAheadStream(t, 1000000000000ull), 0);
  EXPECT_EQ(mcg59(t, 1)[0], 419807510706470913ull);
  EXPECT_EQ(mcg59_oracle(1, 1000000000000ull), 419807510706470913ull);  // the oracle itself
  // A long run from a two-word seed against the oracle, element by element.
  const uint64_t x0 = (uint64_t(0x5A5A5A5 & 0x7FFFFFF) << 32) | 0x12345678u;
  Stream u(HOX_BRNG_MCG59, {0x12345678u, 0xF5A5A5A5u});
  const int32_t n = int32_t(qor::test::scaled(20000, 64));
  const auto v = mcg59(u, n);
  uint64_t x = x0;
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(v[i], x) << i;
    x = mcg59_oracle(x, 1);
  }
#if defined(__SIZEOF_INT128__)
  unsigned __int128 w = x0;
  for (int32_t i = 0; i < 1000; ++i) w = (w * kA59) % ((unsigned __int128)1 << 59);
  EXPECT_EQ(uint64_t(w), mcg59_oracle(x0, 1000));
#endif
}

TEST(Mrg32k3a, PublishedOutputsStateAndJump) {
  Stream s(HOX_BRNG_MRG32K3A, {12345, 12345, 12345, 12345, 12345, 12345});
  EXPECT_EQ(words(s, 10), (std::vector<uint32_t>{545508589, 1368065410, 1327943761, 3546985096, 951893194,
                                                  2290915636, 2064909380, 1527117980, 584065747, 3246360482}));
  // After 35 steps from the same seed (25 more here).
  words(s, 25);
  std::vector<uint32_t> st(6);
  std::memcpy(st.data(), static_cast<unsigned char*>(s.s) + 16, 24);
  EXPECT_EQ(st, (std::vector<uint32_t>{1040577685, 3747037609, 277208355, 1712706441, 627445683, 2408037141}));
}

// Long calls run many chains started by jump matrices, a rest block of a length that depends
// on the call, and a short serial tail: every element and the final state must still be those
// of the plain recurrence, computed here one step at a time with signed 64-bit remainders.
TEST(Mrg32k3a, LongCallsFollowTheRecurrenceElementByElement) {
  const uint32_t seed[6] = {4294967086u, 7, 4294967000u, 4294944442u, 1, 4294944000u};
  int64_t x1[3] = {seed[0], seed[1], seed[2]}, x2[3] = {seed[3], seed[4], seed[5]};
  auto next = [&] {
    int64_t y1 = (1403580 * x1[1] - 810728 * x1[0]) % int64_t(kM1);
    int64_t y2 = (527612 * x2[2] - 1370589 * x2[0]) % int64_t(kM2);
    if (y1 < 0) y1 += int64_t(kM1);
    if (y2 < 0) y2 += int64_t(kM2);
    x1[0] = x1[1], x1[1] = x1[2], x1[2] = y1;
    x2[0] = x2[1], x2[1] = x2[2], x2[2] = y2;
    return uint32_t(y1 >= y2 ? y1 - y2 : y1 - y2 + int64_t(kM1));
  };
  Stream s(HOX_BRNG_MRG32K3A, std::vector<uint32_t>(seed, seed + 6));
  // Around the rest-block and full-block sizes of both targets, and sums of several blocks.
  for (int32_t n : {15, 16, 19, 20, 21, 39, 40, 41, 999, 1000, 2047, 2048, 2049, 2559, 2560, 2561,
                    2579, 2580, 5137, 3 * 2560 + 1999}) {
    std::vector<uint32_t> w(n);
    std::vector<double> d(n);
    ASSERT_EQ(__hoxiBRngMRG32K3A(s, n, w.data()), 0);
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(w[i], next()) << "n " << n << " i " << i;
    ASSERT_EQ(__hoxdBRngMRG32K3A(s, n, d.data(), 0.0, 1.0), 0);
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(d[i], double(next()) * (1.0 / double(kM1))) << "n " << n << " i " << i;
    uint32_t st[6];
    std::memcpy(st, static_cast<unsigned char*>(s.s) + 16, 24);
    ASSERT_EQ((std::vector<int64_t>{st[0], st[1], st[2], st[3], st[4], st[5]}),
              (std::vector<int64_t>{x1[0], x1[1], x1[2], x2[0], x2[1], x2[2]}))
        << "n " << n;
  }
}

// Independent 3x3 matrix power for MRG32K3A: checked against the published 2^127 jump, then
// used as the oracle of skip-ahead for large counts.
struct M3 {
  uint64_t e[3][3];
};
M3 mmul(const M3& a, const M3& b, uint64_t m) {
  M3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) c.e[i][j] = (c.e[i][j] + qor::test::mulmod_slow(a.e[i][k], b.e[k][j], m)) % m;
  return c;
}
void apply(const M3& a, uint64_t* v, uint64_t m) {
  uint64_t r[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k) r[i] = (r[i] + qor::test::mulmod_slow(a.e[i][k], v[k], m)) % m;
  std::memcpy(v, r, sizeof r);
}
const M3 kC1{{{0, 1, 0}, {0, 0, 1}, {kM1 - 810728, 1403580, 0}}};
const M3 kC2{{{0, 1, 0}, {0, 0, 1}, {kM2 - 1370589, 0, 527612}}};

TEST(Mrg32k3a, SkipAheadMatchesIndependentMatrixPowers) {
  // C^(2^127) by 127 squarings reproduces RngStreams' second stream.
  M3 p1 = kC1, p2 = kC2, q1{}, q2{};
  for (int i = 0; i < 127; ++i) {
    if (i == 63) q1 = p1, q2 = p2;
    p1 = mmul(p1, p1, kM1);
    p2 = mmul(p2, p2, kM2);
  }
  uint64_t v1[3] = {12345, 12345, 12345}, v2[3] = {12345, 12345, 12345};
  apply(p1, v1, kM1);
  apply(p2, v2, kM2);
  EXPECT_EQ((std::vector<uint64_t>{v1[0], v1[1], v1[2], v2[0], v2[1], v2[2]}),
            (std::vector<uint64_t>{3692455944u, 1366884236u, 2968912127u, 335948734u, 4161675175u, 475798818u}));
  // Skip-ahead by 2^63 against q = C^(2^63).
  Stream s(HOX_BRNG_MRG32K3A, {12345, 12345, 12345, 12345, 12345, 12345});
  ASSERT_EQ(__hoxSkipAheadStream(s, uint64_t(1) << 63), 0);
  uint64_t w1[3] = {12345, 12345, 12345}, w2[3] = {12345, 12345, 12345};
  apply(q1, w1, kM1);
  apply(q2, w2, kM2);
  uint32_t st[6];
  std::memcpy(st, static_cast<unsigned char*>(s.s) + 16, 24);
  EXPECT_EQ((std::vector<uint64_t>{st[0], st[1], st[2], st[3], st[4], st[5]}),
            (std::vector<uint64_t>{w1[0], w1[1], w1[2], w2[0], w2[1], w2[2]}));
}

struct SeedCase {
  int32_t brng;
  std::vector<uint32_t> seed;
  std::vector<uint32_t> state;  // expected state words after seeding
};
class Seeding : public ::testing::TestWithParam<SeedCase> {};
TEST_P(Seeding, ReducesAndRepairsSeeds) {
  const SeedCase& c = GetParam();
  Stream s(c.brng, c.seed);
  std::vector<uint32_t> st(c.state.size());
  std::memcpy(st.data(), static_cast<unsigned char*>(s.s) + 16, st.size() * 4);
  EXPECT_EQ(st, c.state);
}
INSTANTIATE_TEST_SUITE_P(
    Congruential, Seeding,
    ::testing::Values(SeedCase{HOX_BRNG_MCG31, {}, {1, 1132489760}},
                      SeedCase{HOX_BRNG_MCG31, {0}, {1, 1132489760}},
                      SeedCase{HOX_BRNG_MCG31, {2147483647u}, {1, 1132489760}},
                      SeedCase{HOX_BRNG_MCG31, {2147483648u}, {1, 1132489760}},
                      SeedCase{HOX_BRNG_MCG31, {4294967295u}, {1, 1132489760}},  // 2^32-1 = 2m + 1
                      SeedCase{HOX_BRNG_MCG59, {0}, {1, 0}},
                      SeedCase{HOX_BRNG_MCG59, {0, 0x08000000u}, {1, 0}},
                      SeedCase{HOX_BRNG_MCG59, {6, 0xFFFFFFFFu}, {6, 0x7FFFFFF}},
                      SeedCase{HOX_BRNG_MCG59, {}, {1, 0}},
                      SeedCase{HOX_BRNG_MRG32K3A, {}, {1, 1, 1, 1, 1, 1}},
                      SeedCase{HOX_BRNG_MRG32K3A, {7, 8}, {7, 8, 1, 1, 1, 1}},
                      SeedCase{HOX_BRNG_MRG32K3A,
                               {4294967087u, 4294967087u, 4294967087u, 4294967087u, 4294967087u, 4294967087u},
                               {1, 0, 0, 22644, 22644, 22644}},
                      SeedCase{HOX_BRNG_MRG32K3A, {1, 2, 3, 4294944443u, 4294944443u, 4294944443u, 99},
                               {1, 2, 3, 1, 0, 0}}));

// ---- cutting a sequence ---------------------------------------------------------------------

enum class Out { Words, Doubles, Singles };
struct GenCase {
  const char* name;
  int32_t brng;
  std::vector<uint32_t> seed;
  bool leapfrog;
};
std::ostream& operator<<(std::ostream& o, const GenCase& c) { return o << c.name; }

// n outputs as 64-bit patterns (words, double bits or float bits), whatever the output type.
std::vector<uint64_t> draw(HoxStream s, Out kind, int32_t n) {
  std::vector<uint64_t> v(n);
  if (n == 0) return v;
  if (kind == Out::Doubles) {
    std::vector<double> d(n);
    EXPECT_EQ(_hoxdRngUniform(0, s, n, d.data(), -1.5, 2.25), 0);
    std::memcpy(v.data(), d.data(), 8 * size_t(n));
  } else if (kind == Out::Singles) {
    std::vector<float> f(n);
    EXPECT_EQ(_hoxsRngUniform(0, s, n, f.data(), 0.5f, 3.0f), 0);
    for (int32_t i = 0; i < n; ++i) std::memcpy(&v[i], &f[i], 4);
  } else if (__hoxGetStreamStateBrng(s) == HOX_BRNG_MCG59) {
    EXPECT_EQ(__hoxiBRngMCG59(s, n, reinterpret_cast<uint32_t*>(v.data())), 0);
  } else {
    std::vector<uint32_t> w(n);
    EXPECT_EQ(_hoxiRngUniformBits(0, s, n, w.data()), 0);
    for (int32_t i = 0; i < n; ++i) v[i] = w[i];
  }
  return v;
}

class Cutting : public ::testing::TestWithParam<GenCase> {};

TEST_P(Cutting, SequenceDoesNotDependOnHowItIsSplitIntoCalls) {
  const GenCase& c = GetParam();
  std::mt19937 cuts(77);
  for (Out kind : {Out::Words, Out::Doubles, Out::Singles}) {
    const int32_t total = 5000;  // long enough for every block form of every generator
    Stream whole(c.brng, c.seed), pieces(c.brng, c.seed);
    const auto ref = draw(whole, kind, total);
    std::vector<uint64_t> got;
    while (int32_t(got.size()) < total) {
      // Sizes around the block widths: 1..40, sometimes longer runs.
      int32_t k = int32_t(cuts() % 41);
      if (cuts() % 8 == 0) k = int32_t(cuts() % 300);
      k = std::min<int32_t>(k, total - int32_t(got.size()));
      auto part = draw(pieces, kind, k);
      got.insert(got.end(), part.begin(), part.end());
    }
    ASSERT_EQ(got, ref) << "output kind " << int(kind);
    // One by one equals the block from the same point on.
    const auto block = draw(whole, kind, 37);
    for (int i = 0; i < 37; ++i) ASSERT_EQ(draw(pieces, kind, 1)[0], block[i]) << i;
  }
}

TEST_P(Cutting, RealOutputsAreTheScaledIntegers) {
  const GenCase& c = GetParam();
  const int32_t n = 1001;
  Stream a(c.brng, c.seed), b(c.brng, c.seed), f(c.brng, c.seed);
  const auto w = draw(a, Out::Words, n);
  std::vector<double> d(n);
  std::vector<float> s(n);
  ASSERT_EQ(_hoxdRngUniform(0, b, n, d.data(), -2.0, 3.0), 0);
  ASSERT_EQ(_hoxsRngUniform(0, f, n, s.data(), -2.0f, 3.0f), 0);
  const double scale = c.brng == HOX_BRNG_MCG31   ? 1.0 / 2147483647.0
                       : c.brng == HOX_BRNG_MCG59 ? 0x1p-59
                       : c.brng == HOX_BRNG_MRG32K3A ? 1.0 / 4294967087.0
                                                    : 0x1p-32;
  for (int32_t i = 0; i < n; ++i) {
    const double expect = static_cast<double>(w[i]) * (5.0 * scale) + -2.0;
    ASSERT_EQ(d[i], expect) << i;
    ASSERT_EQ(s[i], static_cast<float>(expect)) << i;
  }
}

TEST_P(Cutting, SkipAheadEqualsGenerateAndDiscard) {
  const GenCase& c = GetParam();
  for (uint64_t N : {uint64_t(0), uint64_t(1), uint64_t(7), uint64_t(8), uint64_t(9), uint64_t(1000),
                     uint64_t(qor::test::scaled(123457, 1000))}) {
    Stream jump(c.brng, c.seed), walk(c.brng, c.seed);
    ASSERT_EQ(__hoxSkipAheadStream(jump, N), 0);
    for (uint64_t left = N; left;) {
      const int32_t k = int32_t(std::min<uint64_t>(left, 4096));
      draw(walk, Out::Words, k);
      left -= uint64_t(k);
    }
    ASSERT_EQ(draw(jump, Out::Words, 50), draw(walk, Out::Words, 50)) << "N = " << N;
  }
}

TEST_P(Cutting, LeapfrogGivesEverySthElementFromK) {
  const GenCase& c = GetParam();
  const int32_t s_max = 11, n = 40;
  Stream ref(c.brng, c.seed);
  const auto all = draw(ref, Out::Words, s_max * n + s_max);
  for (int32_t s : {1, 2, 3, 8, 11}) {
    for (int32_t k : {0, 1, s - 1}) {
      Stream t(c.brng, c.seed);
      const int32_t status = __hoxLeapfrogStream(t, k, s);
      if (!c.leapfrog) {
        ASSERT_EQ(status, HOX_ERR_LEAPFROG_UNSUPPORTED);
        ASSERT_EQ(draw(t, Out::Words, 5), std::vector<uint64_t>(all.begin(), all.begin() + 5));
        continue;
      }
      ASSERT_EQ(status, 0);
      const auto got = draw(t, Out::Words, n);
      for (int32_t i = 0; i < n; ++i) ASSERT_EQ(got[i], all[size_t(k + i * s)]) << "k " << k << " s " << s;
    }
  }
  Stream t(c.brng, c.seed);
  EXPECT_EQ(__hoxLeapfrogStream(t, 0, -1), HOX_ERR_LEAPFROG_NSTREAMS);
  EXPECT_EQ(draw(t, Out::Words, 5), std::vector<uint64_t>(all.begin(), all.begin() + 5));
  const uint32_t zero = 0;
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(c.brng, &p), 0);
  EXPECT_EQ(p.InitStream(3, t, 1, &zero), HOX_ERR_BAD_INIT_METHOD);
  EXPECT_EQ(p.InitStream(-1, t, 1, &zero), HOX_ERR_BAD_INIT_METHOD);
  EXPECT_EQ(draw(t, Out::Words, 1)[0], all[5]);
}

INSTANTIATE_TEST_SUITE_P(Congruential, Cutting,
                         ::testing::Values(GenCase{"MCG31M1", HOX_BRNG_MCG31, {20261205}, true},
                                           GenCase{"MCG59", HOX_BRNG_MCG59, {0x9E3779B9u, 0x7F4A7C15u}, true},
                                           GenCase{"MRG32K3A", HOX_BRNG_MRG32K3A, {1, 2, 3, 4, 5, 6}, false},
                                           GenCase{"MT19937", HOX_BRNG_MT19937, {1, 2, 3}, false},
                                           GenCase{"SFMT19937", HOX_BRNG_SFMT19937, {1, 2, 3}, false},
                                           GenCase{"Sobol", HOX_BRNG_SOBOL, {7}, false},
                                           GenCase{"Niederr", HOX_BRNG_NIEDERREITER, {13}, false}),
                         [](const auto& i) { return std::string(i.param.name); });

// Skip-ahead far beyond what can be walked, against independent modular powers; after a
// leapfrog it skips in the thinned sequence.
TEST(CongruentialSkipAhead, LargeCountsMatchModularPowers) {
  for (uint64_t N : {uint64_t(1) << 32, (uint64_t(1) << 40) + 12345, uint64_t(0xFFFFFFFFFFFFFFFFull)}) {
    Stream a(HOX_BRNG_MCG31, {987654321});
    ASSERT_EQ(__hoxSkipAheadStream(a, N), 0);
    EXPECT_EQ(words(a, 1)[0], qor::test::mulmod_slow(qor::test::powmod_slow(kA31, N, kM31), 987654321, kM31));
    Stream b(HOX_BRNG_MCG59, {987654321, 3});
    ASSERT_EQ(__hoxSkipAheadStream(b, N), 0);
    EXPECT_EQ(mcg59(b, 1)[0], mcg59_oracle((uint64_t(3) << 32) | 987654321u, N));
  }
  // Leapfrog (k = 2, s = 5), then skip 2^40: element 2 + 5 (2^40 + i) of the base sequence.
  Stream c(HOX_BRNG_MCG31, {42});
  ASSERT_EQ(__hoxLeapfrogStream(c, 2, 5), 0);
  ASSERT_EQ(__hoxSkipAheadStream(c, uint64_t(1) << 40), 0);
  const auto w = words(c, 3);
  for (uint64_t i = 0; i < 3; ++i) {
    const uint64_t idx = 2 + 5 * ((uint64_t(1) << 40) + i);
    EXPECT_EQ(w[i], qor::test::mulmod_slow(qor::test::powmod_slow(kA31, idx, kM31), 42, kM31));
  }
}

TEST(CongruentialPowers, ExportedModularPowersAgreeWithTheOracle) {
  std::mt19937_64 g(5);
  for (int i = 0; i < 200; ++i) {
    const uint64_t e = g() >> (g() % 64);
    const uint32_t b = uint32_t(g());
    const uint32_t m = uint32_t(g()) | 1u;
    EXPECT_EQ(__hoxiPowMod2P31M1(b % kM31, uint32_t(e), uint32_t(e >> 32)), qor::test::powmod_slow(b % kM31, e, kM31));
    EXPECT_EQ(__hoxiPowMod(b % m, uint32_t(e), uint32_t(e >> 32), m), qor::test::powmod_slow(b % m, e, m));
    const uint64_t b59 = g() & ((uint64_t(1) << 59) - 1);
    uint64_t expect = 1, sq = b59;
    for (uint64_t k = e; k; k >>= 1) {
      uint64_t hi, lo;
      if (k & 1) qor::test::mul128(expect, sq, &hi, &lo), expect = lo & ((uint64_t(1) << 59) - 1);
      qor::test::mul128(sq, sq, &hi, &lo), sq = lo & ((uint64_t(1) << 59) - 1);
    }
    EXPECT_EQ(__hoxiPowMod2P59(uint32_t(b59), uint32_t(b59 >> 32), uint32_t(e), uint32_t(e >> 32)), expect);
  }
  EXPECT_EQ(__hoxiPowMod2P31M1(12345, 0, 0), 1u);
}

}  // namespace
