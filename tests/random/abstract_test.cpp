// Abstract streams: the refill protocol of the ring buffer, interval mapping, and callbacks
// that misbehave.
#include <gtest/gtest.h>

#include <vector>

#include "rng_test_util.h"
#include "support/alloc_failure.h"

namespace {

// A refill callback that writes consecutive integers 0, 1, 2, ... and records its calls.
struct Feeder {
  uint32_t next = 0;
  int32_t per_call = -1;   // how many to write (-1: as many as wanted)
  int32_t result = 0;      // forced result when `force`
  bool force = false;
  struct Call {
    int32_t n, wanted, most, position;
  };
  std::vector<Call> calls;
};
Feeder g_feed;

template <class T>
int32_t feed(HoxStream, int32_t* n, T* buffer, int32_t* wanted, int32_t* most, int32_t* position) {
  g_feed.calls.push_back({*n, *wanted, *most, *position});
  if (g_feed.force) return g_feed.result;
  const int32_t k = g_feed.per_call < 0 ? *wanted : g_feed.per_call;
  for (int32_t i = 0; i < k; ++i) buffer[(*position + i) % *n] = T(g_feed.next++);
  return k;
}

struct Protocol {
  int32_t size, per_call;
  std::vector<int32_t> requests;
};
class AbstractRefill : public ::testing::TestWithParam<Protocol> {};

TEST_P(AbstractRefill, DeliversTheFedSequenceWhateverTheRequestSizes) {
  const Protocol& p = GetParam();
  g_feed = Feeder{};
  g_feed.per_call = p.per_call;
  std::vector<uint32_t> buffer(p.size);
  HoxStream s = nullptr;
  ASSERT_EQ(__hoxiNewAbstractStream(&s, p.size, buffer.data(), feed<uint32_t>), 0);
  EXPECT_EQ(__hoxGetStreamStateBrng(s), HOX_BRNG_IABSTRACT);
  uint32_t expect = 0;
  for (int32_t req : p.requests) {
    std::vector<uint32_t> out(req + 1, 0xDEADBEEF);
    ASSERT_EQ(_hoxiRngUniformBits(0, s, req, out.data()), 0);
    for (int32_t i = 0; i < req; ++i) ASSERT_EQ(out[i], expect++) << "request " << req;
    EXPECT_EQ(out[req], 0xDEADBEEF);
  }
  // Every call asked for at most the buffer, was allowed the whole ring and wrote where the
  // unread numbers end.
  int32_t pos = 0;
  for (const auto& c : g_feed.calls) {
    EXPECT_EQ(c.n, p.size);
    EXPECT_EQ(c.most, p.size);
    EXPECT_GE(c.wanted, 1);
    EXPECT_LE(c.wanted, p.size);
    EXPECT_EQ(c.position, pos);
    pos = (pos + (p.per_call < 0 ? c.wanted : p.per_call)) % p.size;
  }
  __hoxDeleteStream(&s);
}
INSTANTIATE_TEST_SUITE_P(Abstract, AbstractRefill,
                         ::testing::Values(Protocol{5, -1, {3, 4, 12, 1, 0, 5}},
                                           Protocol{5, 2, {3, 4, 12, 1, 1, 7}},  // short refills
                                           Protocol{7, 7, {1, 1, 1, 9, 20, 2}},  // full refills, leftovers
                                           Protocol{1, -1, {1, 3, 2}}));

TEST(Abstract, CreationRefusesBadArgumentsWithoutAllocating) {
  const long base = qor::serv::live_allocations();
  uint32_t ib[4];
  double db[4];
  float sb[4];
  HoxStream s = nullptr;
  EXPECT_EQ(__hoxiNewAbstractStream(&s, 0, ib, feed<uint32_t>), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxiNewAbstractStream(&s, 4, nullptr, feed<uint32_t>), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxiNewAbstractStream(&s, 4, ib, nullptr), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxdNewAbstractStream(&s, 4, db, 1.0, 1.0, feed<double>), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxdNewAbstractStream(&s, 4, db, 2.0, 1.0, feed<double>), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxdNewAbstractStream(&s, 4, db, 0.0, __builtin_nan(""), feed<double>), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxsNewAbstractStream(&s, 4, sb, 1.0f, 1.0f, feed<float>), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxsNewAbstractStream(&s, -1, sb, 0.0f, 1.0f, feed<float>), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(qor::serv::live_allocations(), base);
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [&] {
                  HoxStream t = nullptr;
                  const int32_t st = __hoxdNewAbstractStream(&t, 4, db, 0.0, 1.0, feed<double>);
                  __hoxDeleteStream(&t);
                  return st;
                },
                HOX_ERR_NO_MEMORY),
            1);
}

// A callback's number below its stream's interval maps below a; with a = -2^31 its floor is
// outside the 32-bit range and the integer uniform gives -2^31 (once an undefined conversion).
TEST(Abstract, IntegerUniformKeepsValuesBelowTheRangeAtItsEnd) {
  g_feed = Feeder{};
  double db[4];
  HoxStream d = nullptr;
  ASSERT_EQ(__hoxdNewAbstractStream(&d, 4, db, 1.0, 9.0, feed<double>), 0);
  int32_t r[3];
  const int32_t a = INT32_MIN;
  ASSERT_EQ(_hoxiRngUniform(0, d, 3, r, a, a + 4), 0);  // fed 0, 1, 2: a - 1/2, a, a + 1/2
  for (int32_t v : r) EXPECT_EQ(v, a);
  __hoxDeleteStream(&d);
}

TEST(Abstract, RealKindsMapTheirIntervalAndRefuseOtherTypes) {
  g_feed = Feeder{};
  double db[8];
  float sb[8];
  HoxStream d = nullptr, f = nullptr;
  ASSERT_EQ(__hoxdNewAbstractStream(&d, 8, db, 0.0, 8.0, feed<double>), 0);
  ASSERT_EQ(__hoxsNewAbstractStream(&f, 8, sb, 0.0f, 8.0f, feed<float>), 0);
  double r[6];
  g_feed.per_call = 8;  // fills the whole ring: 0..7, of which 6 and 7 stay unread
  ASSERT_EQ(_hoxdRngUniform(0, d, 6, r, 10.0, 12.0), 0);  // u -> u / 4 + 10
  for (int i = 0; i < 6; ++i) EXPECT_EQ(r[i], 10.0 + i * 0.25);
  g_feed.per_call = -1;
  float q[3];
  ASSERT_EQ(_hoxsRngUniform(0, f, 3, q, -8.0f, 8.0f), 0);  // u -> 2u - 8, fed 8, 9, 10
  EXPECT_EQ(q[0], 8.0f);
  EXPECT_EQ(q[1], 10.0f);
  EXPECT_EQ(q[2], 12.0f);
  uint32_t w[2];
  EXPECT_EQ(_hoxiRngUniformBits(0, d, 2, w), HOX_ERR_ABSTRACT_WRONG_TYPE);
  EXPECT_EQ(_hoxsRngUniform(0, d, 2, q, 0.0f, 1.0f), HOX_ERR_ABSTRACT_WRONG_TYPE);
  EXPECT_EQ(_hoxdRngUniform(0, f, 2, r, 0.0, 1.0), HOX_ERR_ABSTRACT_WRONG_TYPE);
  EXPECT_EQ(_hoxiRngUniformBits32(0, f, 2, w), HOX_ERR_BITS32_UNSUPPORTED);
  // The streams cannot be split or reseeded by another method.
  EXPECT_EQ(__hoxSkipAheadStream(d, 5), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
  EXPECT_EQ(__hoxLeapfrogStream(f, 0, 2), HOX_ERR_LEAPFROG_UNSUPPORTED);
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(HOX_BRNG_DABSTRACT, &p), 0);
  EXPECT_EQ(p.InitStream(7, d, 0, nullptr), HOX_ERR_BAD_INIT_METHOD);
  // A copy carries on from the same ring position with its own state: the unread 6 and 7.
  HoxStream c = nullptr;
  ASSERT_EQ(__hoxCopyStream(&c, d), 0);
  const size_t calls = g_feed.calls.size();
  ASSERT_EQ(_hoxdRngUniform(0, c, 2, r, 0.0, 8.0), 0);
  EXPECT_EQ(r[0], 6.0);
  EXPECT_EQ(r[1], 7.0);
  EXPECT_EQ(g_feed.calls.size(), calls);
  ASSERT_EQ(_hoxdRngUniform(0, d, 1, r, 0.0, 8.0), 0);
  EXPECT_EQ(r[0], 6.0);
  __hoxDeleteStream(&c);
  __hoxDeleteStream(&d);
  __hoxDeleteStream(&f);
}

struct Misuse {
  int32_t result;
  int32_t status;
};
class AbstractCallbackMisuse : public ::testing::TestWithParam<Misuse> {};
TEST_P(AbstractCallbackMisuse, IsReportedAndUnreadNumbersSurvive) {
  g_feed = Feeder{};
  uint32_t buffer[4];
  HoxStream s = nullptr;
  ASSERT_EQ(__hoxiNewAbstractStream(&s, 4, buffer, feed<uint32_t>), 0);
  uint32_t out[8];
  ASSERT_EQ(_hoxiRngUniformBits(0, s, 1, out), 0);  // fills 1 of 4 (wanted = 1)
  g_feed.force = true;
  g_feed.result = GetParam().result;
  EXPECT_EQ(_hoxiRngUniformBits(0, s, 3, out), GetParam().status);
  g_feed.force = false;
  ASSERT_EQ(_hoxiRngUniformBits(0, s, 2, out), 0);  // the stream still works afterwards
  EXPECT_EQ(out[0] + 1, out[1]);
  __hoxDeleteStream(&s);
}
INSTANTIATE_TEST_SUITE_P(Abstract, AbstractCallbackMisuse,
                         ::testing::Values(Misuse{-1, HOX_ERR_ABSTRACT_CALLBACK}, Misuse{5, HOX_ERR_ABSTRACT_CALLBACK},
                                           Misuse{0, HOX_ERR_ABSTRACT_CALLBACK_EMPTY},
                                           Misuse{int32_t(0x80000000), HOX_ERR_ABSTRACT_CALLBACK}));

}  // namespace
