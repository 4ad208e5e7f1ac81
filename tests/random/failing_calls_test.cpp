// Calls that must fail: state copies between generators of different state sizes, null result
// buffers, hostile identifiers, allocation failure. A failing call
// returns its status, writes nothing to the caller's outputs, leaves the stream as it was and
// holds no memory afterwards.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rng_test_util.h"
#include "service/testing.h"

using qor::test::Stream;

namespace {

// Byte image of a stream record (header and state) and its chunk count.
struct Snapshot {
  std::vector<unsigned char> bytes;
  int32_t chunks = 0;
  explicit Snapshot(HoxStream s) {
    BrngProperties p{};
    EXPECT_EQ(__hoxGetBrngProperties(*static_cast<int32_t*>(s), &p), 0);
    const auto* b = static_cast<const unsigned char*>(s);
    bytes.assign(b, b + std::max(p.stateBytes, 16));
    chunks = __hoxGetNumChunks(s);
  }
  bool operator==(const Snapshot&) const = default;
};

int32_t fill_words(HoxStream, int32_t*, uint32_t* buffer, int32_t* wanted, int32_t*, int32_t* pos) {
  for (int32_t i = 0; i < *wanted; ++i) buffer[(*pos + i) % 16] = uint32_t(i);
  return *wanted;
}
int32_t fill_doubles(HoxStream, int32_t*, double* buffer, int32_t* wanted, int32_t*, int32_t* pos) {
  for (int32_t i = 0; i < *wanted; ++i) buffer[(*pos + i) % 16] = 0.25;
  return *wanted;
}
int32_t fill_singles(HoxStream, int32_t*, float* buffer, int32_t* wanted, int32_t*, int32_t* pos) {
  for (int32_t i = 0; i < *wanted; ++i) buffer[(*pos + i) % 16] = 0.25f;
  return *wanted;
}

const std::vector<qor::test::Gen>& generators() {
  static const std::vector<qor::test::Gen> g = {
      {"mcg31", HOX_BRNG_MCG31, {7}}, {"mcg59", HOX_BRNG_MCG59, {7}}, {"mrg32k3a", HOX_BRNG_MRG32K3A, {7, 8, 9}}};
  return g;
}

// Every output entry with a null buffer: the distributions and the row functions (the
// generators' exported output functions) of `s`.
std::vector<std::pair<std::string, std::function<int32_t(int32_t n)>>> null_buffer_calls(HoxStream s) {
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(*static_cast<int32_t*>(s), &p), 0);
  return {
      {"dUniform", [=](int32_t n) { return _hoxdRngUniform(0, s, n, nullptr, 0.0, 1.0); }},
      {"sUniform", [=](int32_t n) { return _hoxsRngUniform(0, s, n, nullptr, 0.0f, 1.0f); }},
      {"dUniform accurate", [=](int32_t n) { return _hoxdRngUniform(HOX_RNG_METHOD_ACCURATE, s, n, nullptr, 0.0, 1.0); }},
      {"iUniform", [=](int32_t n) { return _hoxiRngUniform(0, s, n, nullptr, -5, 5); }},
      {"Bits", [=](int32_t n) { return _hoxiRngUniformBits(0, s, n, nullptr); }},
      {"Bits32", [=](int32_t n) { return _hoxiRngUniformBits32(0, s, n, nullptr); }},
      {"Bits64", [=](int32_t n) { return _hoxiRngUniformBits64(0, s, n, nullptr); }},
      {"dExponential", [=](int32_t n) { return _hoxdRngExponential(0, s, n, nullptr, 0.0, 1.0); }},
      {"sExponential", [=](int32_t n) { return _hoxsRngExponential(0, s, n, nullptr, 0.0f, 1.0f); }},
      {"Bernoulli", [=](int32_t n) { return _hoxiRngBernoulli(0, s, n, nullptr, 0.5); }},
      {"Geometric", [=](int32_t n) { return _hoxiRngGeometric(0, s, n, nullptr, 0.5); }},
      {"Binomial", [=](int32_t n) { return _hoxiRngBinomial(0, s, n, nullptr, 100, 0.5); }},
      {"Hypergeometric", [=](int32_t n) { return _hoxiRngHypergeometric(0, s, n, nullptr, 100, 10, 20); }},
      {"Poisson", [=](int32_t n) { return _hoxiRngPoisson(0, s, n, nullptr, 100.0); }},
      {"PoissonV", [=](int32_t n) { static const double l[8] = {1, 2, 3, 4, 50, 60, 70, 80}; return _hoxiRngPoissonV(0, s, n, nullptr, l); }},
      {"Negbinomial", [=](int32_t n) { return _hoxiRngNegbinomial(0, s, n, nullptr, 2.5, 0.5); }},
      {"row dBRng", [=](int32_t n) { return p.dBRng(s, n, nullptr, 0.0, 1.0); }},
      {"row sBRng", [=](int32_t n) { return p.sBRng(s, n, nullptr, 0.0f, 1.0f); }},
      {"row iBRng", [=](int32_t n) { return p.iBRng(s, n, nullptr); }},
  };
}

// Abstract streams of the three kinds over a 16-element buffer.
struct Abstracts {
  uint32_t ib[16] = {};
  double db[16] = {};
  float sb[16] = {};
  HoxStream i = nullptr, d = nullptr, s = nullptr;
  Abstracts() {
    EXPECT_EQ(__hoxiNewAbstractStream(&i, 16, ib, fill_words), 0);
    EXPECT_EQ(__hoxdNewAbstractStream(&d, 16, db, 0.0, 1.0, fill_doubles), 0);
    EXPECT_EQ(__hoxsNewAbstractStream(&s, 16, sb, 0.0f, 1.0f, fill_singles), 0);
  }
  ~Abstracts() {
    __hoxDeleteStream(&i);
    __hoxDeleteStream(&d);
    __hoxDeleteStream(&s);
  }
};

TEST(NullBuffers, EveryOutputEntryRefusesThemAndLeavesTheStream) {
  Abstracts abs;
  std::vector<std::pair<std::string, HoxStream>> streams;
  std::vector<Stream> owned(generators().size());
  for (size_t k = 0; k < generators().size(); ++k) {
    const auto& g = generators()[k];
    ASSERT_EQ(__hoxNewStreamEx(&owned[k].s, g.brng, int32_t(g.seed.size()), g.seed.data()), 0);
    streams.emplace_back(g.name, owned[k].s);
  }
  streams.emplace_back("iAbstract", abs.i);
  streams.emplace_back("dAbstract", abs.d);
  streams.emplace_back("sAbstract", abs.s);
  for (const auto& [name, s] : streams) {
    for (const auto& [entry, call] : null_buffer_calls(s)) {
      SCOPED_TRACE(name + " " + entry);
      const Snapshot before(s);
      const long live = qor::serv::live_allocations();
      EXPECT_EQ(call(8), HOX_ERR_BAD_ARGUMENT);
      EXPECT_EQ(call(1), HOX_ERR_BAD_ARGUMENT);
      // Nothing to write: a null buffer is fine (or the entry's own refusal of the type).
      for (int32_t n : {0, -1}) {
        const int32_t st = call(n);
        EXPECT_TRUE(st == 0 || st == HOX_ERR_ABSTRACT_WRONG_TYPE || st == HOX_ERR_BITS32_UNSUPPORTED) << st;
      }
      EXPECT_TRUE(Snapshot(s) == before);
      EXPECT_EQ(qor::serv::live_allocations(), live);
    }
  }
}

TEST(StateCopy, BetweenGeneratorsStaysWithinBothStates) {
  // MRG32K3A seeds 24 bytes of state; MCG31M1 has 8 (x, a). Only those 8 are taken.
  Stream big(HOX_BRNG_MRG32K3A, {11, 12, 13, 14, 15, 16}), small(HOX_BRNG_MCG31, {5});
  ASSERT_EQ(__hoxCopyStreamState(small, big), 0);
  const auto* b = static_cast<const unsigned char*>(big.s);
  const auto* s = static_cast<const unsigned char*>(small.s);
  EXPECT_EQ(*reinterpret_cast<const int32_t*>(s), HOX_BRNG_MCG31);  // identifier kept
  EXPECT_EQ(std::memcmp(s + 16, b + 16, 8), 0);
  const uint32_t x1[3] = {11, 12, 13};
  EXPECT_EQ(std::memcmp(s + 16, x1, 8), 0);

  // The other way: MCG31M1 seeds 4 bytes (x); MRG32K3A keeps the rest of its state.
  Stream to(HOX_BRNG_MRG32K3A, {11, 12, 13, 14, 15, 16}), from(HOX_BRNG_MCG31, {5});
  ASSERT_EQ(__hoxCopyStreamState(to, from), 0);
  const uint32_t expect[6] = {5, 12, 13, 14, 15, 16};
  EXPECT_EQ(std::memcmp(static_cast<unsigned char*>(to.s) + 16, expect, sizeof expect), 0);

}

// A record with the same layout as a stream, carrying an identifier of the caller's choice.
struct Forged {
  alignas(16) unsigned char bytes[256] = {};
  explicit Forged(int32_t brng) { std::memcpy(bytes, &brng, 4); }
  HoxStream get() { return bytes; }
};

constexpr int32_t kHostileIds[] = {
    -1, -2147483647 - 1, 279, 512, HOX_BRNG_MCG31 + 1, HOX_BRNG_WH + 273, 600 << 20, 0x7FFFFFFF,
};

TEST(FailingCalls, LeaveOutputsAndStreamsUnchangedAndHoldNoMemory) {
  Stream src(HOX_BRNG_MCG31, {1}), dst(HOX_BRNG_MCG59, {2}), mrg(HOX_BRNG_MRG32K3A, {3});
  void* data = qor_serv_allocate(8, 128);
  std::memset(data, 7, 8);
  ASSERT_EQ(__hoxAddChunk(dst, 5, nullptr, data, 8), 0);
  const long base = qor::serv::live_allocations();
  constexpr uint64_t kSentinel = 0x5A5A5A5A5A5A5A5Aull;
  uint64_t out[8];
  auto fresh = [&] { std::fill(std::begin(out), std::end(out), kSentinel); };
  auto untouched = [&] {
    for (uint64_t w : out)
      if (w != kSentinel) return false;
    return true;
  };
  auto d = [&] { return reinterpret_cast<double*>(out); };
  auto f = [&] { return reinterpret_cast<float*>(out); };
  auto w = [&] { return reinterpret_cast<uint32_t*>(out); };

  struct Case {
    std::string name;
    std::function<int32_t()> call;
    int32_t status;
  };
  std::vector<Case> cases;
  std::vector<std::unique_ptr<Forged>> forged_records;
  for (int32_t id : kHostileIds) {
    Forged* forged = forged_records.emplace_back(std::make_unique<Forged>(id)).get();
    const std::string tag = " id " + std::to_string(id);
    HoxStream s = forged->get();
    cases.push_back({"dUniform" + tag, [=] { return _hoxdRngUniform(0, s, 8, d(), 0.0, 1.0); }, HOX_ERR_INVALID_BRNG});
    cases.push_back({"sUniform" + tag, [=] { return _hoxsRngUniform(0, s, 8, f(), 0.0f, 1.0f); }, HOX_ERR_INVALID_BRNG});
    cases.push_back({"iUniform" + tag, [=] { return _hoxiRngUniform(0, s, 8, reinterpret_cast<int32_t*>(w()), 0, 9); },
                     HOX_ERR_INVALID_BRNG});
    cases.push_back({"Bits" + tag, [=] { return _hoxiRngUniformBits(0, s, 8, w()); }, HOX_ERR_INVALID_BRNG});
    cases.push_back({"Bits32" + tag, [=] { return _hoxiRngUniformBits32(0, s, 8, w()); }, HOX_ERR_BITS32_UNSUPPORTED});
    cases.push_back({"dExponential" + tag, [=] { return _hoxdRngExponential(0, s, 8, d(), 0.0, 1.0); },
                     HOX_ERR_INVALID_BRNG});
    cases.push_back({"skip-ahead" + tag, [=] { return __hoxSkipAheadStream(s, 5); }, HOX_ERR_INVALID_BRNG});
    cases.push_back({"leapfrog" + tag, [=] { return __hoxLeapfrogStream(s, 0, 2); }, HOX_ERR_INVALID_BRNG});
    cases.push_back({"state copy to" + tag, [=, &src] { return __hoxCopyStreamState(s, src); }, HOX_ERR_INVALID_BRNG});
    cases.push_back({"state copy from" + tag, [=, &dst] { return __hoxCopyStreamState(dst, s); }, HOX_ERR_INVALID_BRNG});
    cases.push_back({"copy" + tag, [=] {
                       HoxStream c = nullptr;
                       return __hoxCopyStream(&c, s);
                     },
                     HOX_ERR_INVALID_BRNG});
    cases.push_back({"new" + tag, [=] {
                       HoxStream c = nullptr;
                       const uint32_t seed = 1;
                       return __hoxNewStreamEx(&c, id, 1, &seed);
                     },
                     HOX_ERR_INVALID_BRNG});
    cases.push_back({"properties" + tag, [=, &out] { return __hoxGetBrngProperties(id, reinterpret_cast<BrngProperties*>(out)); },
                     HOX_ERR_INVALID_BRNG});
  }
  // Null streams.
  cases.push_back({"dUniform null stream", [&] { return _hoxdRngUniform(0, nullptr, 8, d(), 0.0, 1.0); },
                   HOX_ERR_INVALID_BRNG});
  cases.push_back({"Bits null stream", [&] { return _hoxiRngUniformBits(0, nullptr, 8, w()); }, HOX_ERR_INVALID_BRNG});
  cases.push_back({"sExponential null stream", [&] { return _hoxsRngExponential(0, nullptr, 8, f(), 0.0f, 1.0f); },
                   HOX_ERR_INVALID_BRNG});
  cases.push_back({"leapfrog s = -1", [&] { return __hoxLeapfrogStream(src, 0, -1); }, HOX_ERR_LEAPFROG_NSTREAMS});
  cases.push_back({"skip-ahead MRG32K3A bad method", [&] {
                     BrngProperties p{};
                     __hoxGetBrngProperties(HOX_BRNG_MRG32K3A, &p);
                     return p.InitStream(7, mrg, 0, nullptr);
                   },
                   HOX_ERR_BAD_INIT_METHOD});

  const Snapshot s0(src), d0(dst), m0(mrg);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fresh();
    EXPECT_EQ(c.call(), c.status);
    EXPECT_TRUE(untouched());
    EXPECT_TRUE(Snapshot(src) == s0);
    EXPECT_TRUE(Snapshot(dst) == d0);
    EXPECT_TRUE(Snapshot(mrg) == m0);
    EXPECT_EQ(qor::serv::live_allocations(), base);
  }

  // Allocation failure at every site of a state copy: the destination keeps its state and its
  // chunk; a copy leaves the handle null.
  ASSERT_EQ(__hoxAddChunk(src, 6, nullptr, qor_serv_allocate(16, 128), 16), 0);
  ASSERT_EQ(__hoxAddChunk(src, 7, nullptr, qor_serv_allocate(16, 128), 16), 0);
  const long with_chunks = qor::serv::live_allocations();
  // Two chunks, each a record and a data block: four allocation sites.
  for (int k = 1; k <= 4; ++k) {
    SCOPED_TRACE(k);
    qor::serv::fail_allocation_number(k);
    EXPECT_EQ(__hoxCopyStreamState(dst, src), HOX_ERR_NO_MEMORY);
    EXPECT_FALSE(qor::serv::allocation_failure_pending());
    qor::serv::fail_allocation_number(0);
    EXPECT_TRUE(Snapshot(dst) == d0);
    EXPECT_EQ(__hoxSearchChunk(dst, 5), data);
    EXPECT_EQ(qor::serv::live_allocations(), with_chunks);
  }
  ASSERT_EQ(__hoxCopyStreamState(dst, src), 0);
  // Now dst holds src's two chunks instead of its own.
  EXPECT_EQ(__hoxGetNumChunks(dst), 2);
  EXPECT_EQ(__hoxSearchChunk(dst, 5), nullptr);
  EXPECT_EQ(qor::serv::live_allocations(), with_chunks - 2 + 4);
}

}  // namespace

// A null stream handle is refused or found empty by every call that takes one, never read.
TEST(NullStreams, AreRefusedOrEmptyNeverRead) {
  float r[8] = {};
  EXPECT_EQ(__hoxSkipAheadStream(nullptr, 5), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(__hoxLeapfrogStream(nullptr, 0, 1), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(_hoxsRngUniform(0, nullptr, 8, r, 0.0f, 1.0f), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(__hoxGetStreamStateBrng(nullptr), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(__hoxSearchChunk(nullptr, 1), nullptr);
  EXPECT_EQ(__hoxGetNumChunks(nullptr), 0);
  EXPECT_EQ(__hoxDeleteChunksById(nullptr, 1), 0);
  EXPECT_EQ(__hoxDeleteChunks(nullptr), 0);
  Stream s(HOX_BRNG_MCG31, {7});
  const long before = qor::serv::live_allocations();
  int32_t data = 0;
  EXPECT_EQ(__hoxAddChunk(nullptr, 1, nullptr, &data, 4), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxCopyChunks(nullptr, s.s), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxCopyChunks(s.s, nullptr), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(qor::serv::live_allocations(), before);
  // The identifier is checked first, then the record to fill.
  EXPECT_EQ(__hoxGetBrngProperties(-1, nullptr), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(__hoxGetBrngProperties(HOX_BRNG_MCG31, nullptr), HOX_ERR_BAD_ARGUMENT);
}

// An abstract double stream over an interval wider than the largest double: its numbers map
// onto the caller's interval without overflow (no inf * 0 = NaN) and the integer uniform built on
// it stays in range.
TEST(AbstractStreams, IntervalWiderThanTheLargestDouble) {
  static double buffer[4];
  auto fill = [](HoxStream, int32_t*, double* b, int32_t* wanted, int32_t*, int32_t* pos) -> int32_t {
    const double v[4] = {-1.5e308, -1e300, 1e308, 1.5e308};
    for (int32_t i = 0; i < *wanted; ++i) b[(*pos + i) % 4] = v[(*pos + i) % 4];
    return *wanted;
  };
  HoxStream s = nullptr;
  ASSERT_EQ(__hoxdNewAbstractStream(&s, 4, buffer, -1.7e308, 1.7e308, fill), 0);
  double d[4];
  ASSERT_EQ(_hoxdRngUniform(0, s, 4, d, 0.0, 10.0), 0);
  // (u - A) / (B - A) * 10 for A = -1.7e308, B = 1.7e308.
  const double expect[4] = {0.2 / 3.4 * 10, (0.5 - 1.0 / 3.4e8) * 10, 2.7 / 3.4 * 10, 3.2 / 3.4 * 10};
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(d[i], expect[i], 1e-12) << i;
  int32_t k[4];
  ASSERT_EQ(_hoxiRngUniform(0, s, 4, k, 0, 10), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(k[i], int32_t(expect[i])) << i;
  __hoxDeleteStream(&s);
}

// Copying another generator's state into an abstract stream leaves the abstract stream's buffer
// descriptor alone: it still delivers its own buffer's numbers.
TEST(StateCopy, IntoAnAbstractStreamCopiesNoState) {
  Abstracts ab;
  Stream m(HOX_BRNG_MRG32K3A, {7, 8, 9});
  const Snapshot before(ab.s);
  EXPECT_EQ(__hoxCopyStreamState(ab.s, m.s), 0);
  EXPECT_TRUE(Snapshot(ab.s) == before);
  float r[20];
  ASSERT_EQ(_hoxsRngUniform(0, ab.s, 20, r, 0.0f, 1.0f), 0);
  for (float v : r) EXPECT_EQ(v, 0.25f);
}
