// Philox4x32x10, ARS5 and the hardware generator: published known answers, Philox against the
// test's own one-block-at-a-time implementation, skip-ahead against generate-and-discard and
// against a stream seeded at the later counter, split calls against one call, the 128-bit
// counter carry, the missing-instruction statuses (through the test switch) and the hardware
// generator's retry rule and scaling (through a scripted word source).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "random/core/cpu.h"
#include "rng_test_util.h"

using qor::test::Stream;

namespace {

// Philox4x32 with R rounds, written from the paper's description (one block).
std::vector<uint32_t> philox_block(uint32_t k0, uint32_t k1, const uint32_t c[4], int rounds = 10) {
  uint32_t x[4] = {c[0], c[1], c[2], c[3]};
  for (int r = 0; r < rounds; ++r) {
    if (r > 0) {
      k0 += 0x9E3779B9u;
      k1 += 0xBB67AE85u;
    }
    const uint64_t a = uint64_t(0xD2511F53u) * x[0], b = uint64_t(0xCD9E8D57u) * x[2];
    const uint32_t y[4] = {uint32_t(b >> 32) ^ x[1] ^ k0, uint32_t(b), uint32_t(a >> 32) ^ x[3] ^ k1, uint32_t(a)};
    std::memcpy(x, y, sizeof x);
  }
  return {x[0], x[1], x[2], x[3]};
}

std::vector<uint32_t> words(HoxStream s, int32_t n, int32_t brng) {
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(brng, &p), 0);
  std::vector<uint32_t> w(static_cast<size_t>(n));
  EXPECT_EQ(p.iBRng(s, n, w.data()), 0);
  return w;
}

TEST(Philox, PublishedKnownAnswers) {
  const uint32_t zero[4] = {0, 0, 0, 0};
  EXPECT_EQ(philox_block(0, 0, zero), (std::vector<uint32_t>{0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}));
  EXPECT_EQ(philox_block(0, 0, zero, 7), (std::vector<uint32_t>{0x5f6fb709, 0x0d893f64, 0x4f121f81, 0x4f730a48}));
  Stream z(HOX_BRNG_PHILOX4X32X10, {}), o(HOX_BRNG_PHILOX4X32X10, {~0u, ~0u, ~0u, ~0u, ~0u, ~0u});
  EXPECT_EQ(words(z, 4, HOX_BRNG_PHILOX4X32X10), (std::vector<uint32_t>{0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}));
  EXPECT_EQ(words(o, 4, HOX_BRNG_PHILOX4X32X10), (std::vector<uint32_t>{0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}));
  // The counter wraps from 2^128 - 1 to 0: the next blocks are those of counters 0 and 1.
  Stream wrap(HOX_BRNG_PHILOX4X32X10, {~0u, ~0u, ~0u, ~0u, ~0u, ~0u});
  const auto w = words(wrap, 12, HOX_BRNG_PHILOX4X32X10);
  const uint32_t c1[4] = {1, 0, 0, 0};
  EXPECT_EQ(std::vector<uint32_t>(w.begin() + 4, w.begin() + 8), philox_block(~0u, ~0u, zero));
  EXPECT_EQ(std::vector<uint32_t>(w.begin() + 8, w.end()), philox_block(~0u, ~0u, c1));
}

// Long requests (eight counters at once), counters crossing the 32-, 64- and 96-bit carries.
TEST(Philox, AgreesWithOneBlockAtATime) {
  std::mt19937 pick(5);
  for (const std::vector<uint32_t>& start : {std::vector<uint32_t>{1, 2, 3, 4}, {0xFFFFFFF3u, 7, 0, 0},
                                            {0xFFFFFFFAu, ~0u, 9, 1}, {0xFFFFFFFFu, ~0u, ~0u, 3}}) {
    const uint32_t k0 = pick(), k1 = pick();
    Stream s(HOX_BRNG_PHILOX4X32X10, {k0, k1, start[0], start[1], start[2], start[3]});
    const int32_t n = 4 * 70 + 3;
    const auto w = words(s, n, HOX_BRNG_PHILOX4X32X10);
    uint32_t c[4] = {start[0], start[1], start[2], start[3]};
    for (int32_t b = 0; b * 4 < n; ++b) {
      const auto e = philox_block(k0, k1, c);
      for (int j = 0; j < 4 && 4 * b + j < n; ++j) ASSERT_EQ(w[size_t(4 * b + j)], e[size_t(j)]) << "block " << b;
      for (int i = 0; i < 4 && ++c[i] == 0; ++i) {
      }
    }
  }
}

TEST(Ars5, KnownAnswers) {
  if (!__hoxCPUisAES()) GTEST_SKIP() << "no AES instructions";
  // Counter 0 and counter 1 under key 0 are the first two blocks of a zero-seeded stream.
  Stream s(HOX_BRNG_ARS5, {});
  EXPECT_EQ(words(s, 8, HOX_BRNG_ARS5), (std::vector<uint32_t>{0x7ecce06f, 0x7cdc3bca, 0x15513c87, 0x29d24c9b, 0x3b424772,
                                                              0x84da4a94, 0xbb5dbd82, 0xcb1c3db8}));
}

struct Counter {
  const char* name;
  int32_t brng;
  int key_words;
};
std::ostream& operator<<(std::ostream& o, const Counter& c) { return o << c.name; }

class CounterBased : public ::testing::TestWithParam<Counter> {
 protected:
  void SetUp() override {
    if (GetParam().brng == HOX_BRNG_ARS5 && !__hoxCPUisAES()) GTEST_SKIP() << "no AES instructions";
  }
  std::vector<uint32_t> seed(const uint32_t c[4]) const {
    std::vector<uint32_t> s;
    for (int i = 0; i < GetParam().key_words; ++i) s.push_back(0x1234567u * uint32_t(i + 3));
    s.insert(s.end(), c, c + 4);
    return s;
  }
  std::vector<uint32_t> draw(HoxStream s, int32_t n) const { return words(s, n, GetParam().brng); }
};

TEST_P(CounterBased, SkipAheadEqualsGenerateAndDiscard) {
  const uint32_t c[4] = {0xFFFFFFF0u, ~0u, 2, 0};  // crosses the 64-bit carry
  for (int32_t used : {0, 1, 2, 3, 4, 37}) {
    for (uint64_t N : {0ull, 1ull, 2ull, 3ull, 4ull, 5ull, 6ull, 7ull, 31ull, 32ull, 33ull, 61ull, 130ull}) {
      Stream a(GetParam().brng, seed(c)), b(GetParam().brng, seed(c));
      draw(a, used);
      draw(b, used);
      ASSERT_EQ(__hoxSkipAheadStream(a, N), 0);
      const auto skipped = draw(a, 45);
      const auto all = draw(b, int32_t(N) + 45);
      ASSERT_EQ(skipped, std::vector<uint32_t>(all.begin() + int64_t(N), all.end())) << "used " << used << ", N " << N;
    }
  }
  // Skip 6 on a fresh stream, then one value: the seventh value.
  Stream a(GetParam().brng, seed(c)), b(GetParam().brng, seed(c));
  ASSERT_EQ(__hoxSkipAheadStream(a, 6), 0);
  EXPECT_EQ(draw(a, 1)[0], draw(b, 7)[6]);
}

// A long skip lands where a stream seeded at the later counter starts, carries included.
TEST_P(CounterBased, LongSkipEqualsSeedingTheLaterCounter) {
  const uint32_t c[4] = {0xFFFFFFFEu, 0xFFFFFFFFu, 0xFFFFFFFFu, 6};
  const uint64_t blocks = (1ull << 61) + 12345;  // c + blocks carries into words 2 and 3
  Stream a(GetParam().brng, seed(c));
  draw(a, 2);
  ASSERT_EQ(__hoxSkipAheadStream(a, 4 * blocks + 1), 0);  // word 3 of block `blocks`
  const uint32_t later[4] = {0x3037u, 0x20000000u, 0, 7};   // c + blocks
  Stream b(GetParam().brng, seed(later));
  const auto expect = draw(b, 12);
  EXPECT_EQ(draw(a, 9), std::vector<uint32_t>(expect.begin() + 3, expect.end()));
  // The largest count.
  Stream d(GetParam().brng, seed(c)), e(GetParam().brng, seed(c));
  ASSERT_EQ(__hoxSkipAheadStream(d, ~0ull), 0);  // 2^62 - 1 blocks and 3 words
  const uint32_t far[4] = {0xFFFFFFFDu, 0x3FFFFFFFu, 0, 7};
  Stream f(GetParam().brng, seed(far));
  EXPECT_EQ(draw(d, 1)[0], draw(f, 4)[3]);
}

TEST_P(CounterBased, SplitCallsEqualOneCall) {
  const uint32_t c[4] = {0xFFFFFF00u, 0, 0, 0};
  const int32_t brng = GetParam().brng;
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(brng, &p), 0);
  Stream one(brng, seed(c)), d1(brng, seed(c)), s1(brng, seed(c));
  const int32_t n = 1000;
  const auto all = draw(one, n);
  std::vector<double> dall(n);
  std::vector<float> sall(n);
  ASSERT_EQ(p.dBRng(d1, n, dall.data(), -3.0, 5.0), 0);
  ASSERT_EQ(p.sBRng(s1, n, sall.data(), 0.0f, 1.0f), 0);
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_EQ(dall[size_t(i)], double(all[size_t(i)]) * 0x1p-32 * 8.0 - 3.0) << i;
    ASSERT_EQ(sall[size_t(i)], float(double(all[size_t(i)]) * 0x1p-32)) << i;
  }
  std::mt19937 pick(11);
  for (int round = 0; round < 20; ++round) {
    Stream w(brng, seed(c)), d(brng, seed(c)), s(brng, seed(c));
    std::vector<uint32_t> wp(n);
    std::vector<double> dp(n);
    std::vector<float> sp(n);
    for (int32_t i = 0; i < n;) {
      const int32_t m = std::min<int32_t>(n - i, int32_t(round < 2 ? 3 + 2 * round : pick() % 70));
      ASSERT_EQ(p.iBRng(w, m, wp.data() + i), 0);
      ASSERT_EQ(p.dBRng(d, m, dp.data() + i, -3.0, 5.0), 0);
      ASSERT_EQ(p.sBRng(s, m, sp.data() + i, 0.0f, 1.0f), 0);
      i += m;
    }
    ASSERT_EQ(wp, all);
    ASSERT_EQ(dp, dall);
    ASSERT_EQ(sp, sall);
  }
}

TEST_P(CounterBased, UniformBitsPassTheWordsOn) {
  const uint32_t c[4] = {5, 0, 0, 0};
  Stream raw(GetParam().brng, seed(c)), b32(GetParam().brng, seed(c)), b64(GetParam().brng, seed(c));
  const auto w = draw(raw, 2 * 101);
  std::vector<uint32_t> v32(101);
  std::vector<uint64_t> v64(51);
  ASSERT_EQ(_hoxiRngUniformBits32(0, b32, 101, v32.data()), 0);
  ASSERT_EQ(_hoxiRngUniformBits32(0, b32, 101, v32.data() + 0), 0);  // the next 101 words
  ASSERT_EQ(_hoxiRngUniformBits64(0, b64, 51, v64.data()), 0);
  for (size_t i = 0; i < 101; ++i) ASSERT_EQ(v32[i], w[101 + i]);
  for (size_t i = 0; i < 51; ++i) ASSERT_EQ(v64[i], uint64_t(w[2 * i]) | uint64_t(w[2 * i + 1]) << 32);
}

TEST_P(CounterBased, MethodsItDoesNotHave) {
  const uint32_t c[4] = {};
  Stream s(GetParam().brng, seed(c));
  const uint32_t k = 0;
  EXPECT_EQ(__hoxLeapfrogStream(s, 0, 2), HOX_ERR_LEAPFROG_UNSUPPORTED);
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(GetParam().brng, &p), 0);
  EXPECT_EQ(p.InitStream(3, s, 1, &k), HOX_ERR_BAD_INIT_METHOD);
  EXPECT_EQ(p.InitStream(0, s, 2, nullptr), HOX_ERR_BAD_ARGUMENT);
}

INSTANTIATE_TEST_SUITE_P(Both, CounterBased,
                         ::testing::Values(Counter{"Philox", HOX_BRNG_PHILOX4X32X10, 2}, Counter{"ARS5", HOX_BRNG_ARS5, 4}),
                         [](const auto& i) { return std::string(i.param.name); });

// Pretends for the scope of a test that the processor lacks AES and RDRAND.
struct PretendMissing {
  PretendMissing() { qor::rng::cpu::pretend_missing(true); }
  ~PretendMissing() { qor::rng::cpu::pretend_missing(false); }
};

TEST(CpuChecks, WithoutTheInstructionsNothingRunsOrChanges) {
  const bool aes = __hoxCPUisAES(), rdrand = __hoxCPUisRDRAND();
  Stream ars(HOX_BRNG_ARS5, {1, 2, 3, 4, 5});
  std::vector<unsigned char> image(size_t(__hoxGetStreamSize(ars)));
  ASSERT_EQ(__hoxSaveStreamM(ars, image.data()), 0);
  {
    PretendMissing off;
    EXPECT_EQ(__hoxCPUisAES(), 0);
    EXPECT_EQ(__hoxCPUisRDRAND(), 0);
    const std::vector<unsigned char> before(static_cast<unsigned char*>(ars.s), static_cast<unsigned char*>(ars.s) + 68);
    double d = 7;
    float f = 7;
    uint32_t w = 7;
    EXPECT_EQ(__hoxdBRngARS5(ars, 1, &d, 0, 1), HOX_ERR_NO_AES);
    EXPECT_EQ(__hoxsBRngARS5(ars, 1, &f, 0, 1), HOX_ERR_NO_AES);
    EXPECT_EQ(__hoxiBRngARS5(ars, 1, &w), HOX_ERR_NO_AES);
    EXPECT_EQ(__hoxiBRngARS5(ars, 1, nullptr), HOX_ERR_NO_AES);  // before anything else
    EXPECT_EQ(_hoxdRngUniform(0, ars, 1, &d, 0.0, 1.0), HOX_ERR_NO_AES);
    EXPECT_EQ(__hoxSkipAheadStream(ars, 5), HOX_ERR_NO_AES);
    EXPECT_EQ(d, 7);
    EXPECT_EQ(f, 7);
    EXPECT_EQ(w, 7u);
    EXPECT_EQ(std::memcmp(before.data(), ars.s, before.size()), 0);
    HoxStream loaded = nullptr;
    EXPECT_EQ(__hoxLoadStreamM(&loaded, image.data()), HOX_ERR_NO_AES);
    EXPECT_EQ(loaded, nullptr);

    HoxStream hw = nullptr;
    EXPECT_EQ(__hoxNewStreamEx(&hw, HOX_BRNG_NONDETERM, 0, nullptr), HOX_ERR_NO_RDRAND);
    ASSERT_NE(hw, nullptr);  // the record stays for the caller to delete
    EXPECT_EQ(__hoxdBRngTRNG(hw, 1, &d, 0, 1), HOX_ERR_NO_RDRAND);
    EXPECT_EQ(__hoxsBRngTRNG(hw, 1, &f, 0, 1), HOX_ERR_NO_RDRAND);
    EXPECT_EQ(__hoxiBRngTRNG(hw, 1, &w), HOX_ERR_NO_RDRAND);
    EXPECT_EQ(_hoxiRngUniformBits32(0, hw, 1, &w), HOX_ERR_NO_RDRAND);
    EXPECT_EQ(w, 7u);
    __hoxDeleteStream(&hw);
  }
  EXPECT_EQ(__hoxCPUisAES(), aes ? 1 : 0);
  EXPECT_EQ(__hoxCPUisRDRAND(), rdrand ? 1 : 0);
  // Seeding ARS5 runs no AES code: it succeeded above whatever the processor has.
}

// A scripted word source: call i fails when it is listed in `fail`, else gives word i + 1.
struct Script {
  static inline int calls = 0;
  static inline int fail_first = 0;
  static inline std::vector<uint32_t> values;
  static int step(uint32_t* w) {
    const int i = calls++;
    if (i < fail_first) {
      *w = 0xDEAD;
      return 0;
    }
    *w = values.empty() ? uint32_t(i + 1) : values[size_t(i - fail_first) % values.size()];
    return 1;
  }
  Script(int fails, std::vector<uint32_t> v = {}) {
    calls = 0;
    fail_first = fails;
    values = std::move(v);
    qor::rng::cpu::use_rdrand_source(step);
  }
  ~Script() { qor::rng::cpu::use_rdrand_source(nullptr); }
};

class Hardware : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!__hoxCPUisRDRAND()) GTEST_SKIP() << "no RDRAND instruction";
  }
};

TEST_F(Hardware, PairsAreRetriedUpToTheLimit) {
  for (auto [seed, limit] : {std::pair{std::vector<uint32_t>{5}, 10}, std::pair{std::vector<uint32_t>{5, 0}, 10},
                             std::pair{std::vector<uint32_t>{5, 3}, 3}, std::pair{std::vector<uint32_t>{}, 10}}) {
    Stream s(HOX_BRNG_NONDETERM, seed);
    EXPECT_EQ(static_cast<const uint32_t*>(s.s)[4], 0u);  // the word that is always 0
    EXPECT_EQ(static_cast<const uint32_t*>(s.s)[5], uint32_t(limit));
    uint32_t w[3] = {};
    {
      Script ok(2 * limit);  // `limit` failed pairs, then a good one
      EXPECT_EQ(__hoxiBRngTRNG(s, 2, w), 0);
      EXPECT_EQ(Script::calls, 2 * limit + 2);
      EXPECT_EQ(w[0], uint32_t(2 * limit + 1));
      EXPECT_EQ(w[1], uint32_t(2 * limit + 2));
    }
    {
      Script bad(2 * limit + 1);  // the last try fails in its second word
      EXPECT_EQ(__hoxiBRngTRNG(s, 2, w), HOX_ERR_RDRAND_FAILED);
      EXPECT_EQ(Script::calls, 2 * limit + 2);
      double d = 9;
      Script::calls = 0;
      EXPECT_EQ(__hoxdBRngTRNG(s, 1, &d, 0, 1), HOX_ERR_RDRAND_FAILED);
      EXPECT_EQ(d, 9);
    }
    {
      Script odd(limit);  // an odd last word is drawn alone, with the same rule
      EXPECT_EQ(__hoxiBRngTRNG(s, 1, w), 0);
      EXPECT_EQ(Script::calls, limit + 1);
    }
    {
      Script odd(limit + 1);
      EXPECT_EQ(__hoxiBRngTRNG(s, 1, w), HOX_ERR_RDRAND_FAILED);
    }
  }
}

TEST_F(Hardware, Scaling) {
  Stream s(HOX_BRNG_NONDETERM, {1});
  {
    // Doubles: one pair, first word low, times 2^-64.
    Script words(0, {0, 0x80000000u, 0x40000000u, 0, 0xFFFFFFFFu, 0xFFFFFFFFu});
    double d[3];
    ASSERT_EQ(__hoxdBRngTRNG(s, 3, d, -2.0, 6.0), 0);
    EXPECT_EQ(d[0], 2.0);                       // 2^63
    EXPECT_EQ(d[1], -2.0 + 8.0 * 0x1p-34);      // 2^30
    EXPECT_EQ(d[2], 6.0);                       // 2^64 - 1 rounds to 2^64 in the conversion
  }
  {
    Script words(0, {0x40000000u, 0, 0xC0000000u});
    float f[3];
    ASSERT_EQ(__hoxsBRngTRNG(s, 3, f, 1.0f, 3.0f), 0);
    EXPECT_EQ(f[0], 1.5f);
    EXPECT_EQ(f[1], 1.0f);
    EXPECT_EQ(f[2], 2.5f);
  }
  // The real instruction: words that are not all alike, uniforms inside the interval.
  std::vector<uint32_t> w(1001);
  ASSERT_EQ(__hoxiBRngTRNG(s, 1001, w.data()), 0);
  int same = 0;
  for (size_t i = 1; i < w.size(); ++i) same += w[i] == w[i - 1];
  EXPECT_LT(same, 3);
  std::vector<double> d(1000);
  ASSERT_EQ(_hoxdRngUniform(0, s, 1000, d.data(), 0.0, 1.0), 0);
  for (double v : d) ASSERT_TRUE(v >= 0.0 && v <= 1.0);
  EXPECT_EQ(__hoxSkipAheadStream(s, 1), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
  EXPECT_EQ(__hoxLeapfrogStream(s, 0, 2), HOX_ERR_LEAPFROG_UNSUPPORTED);
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(HOX_BRNG_NONDETERM, &p), 0);
  EXPECT_EQ(p.InitStream(3, s, 0, nullptr), HOX_ERR_BAD_INIT_METHOD);
}

}  // namespace
