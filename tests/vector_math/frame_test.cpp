// The kernel frame's mechanics with a small family of its own: reciprocal, whose packed
// formula cannot handle zeros (flagged by the screen, reported as singularities).
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <vector>

#include "vector_math/frame/kernel_frame.h"

namespace {

using namespace qor::vm;

template <class T, Scheme S, bool kPeel = false, bool kInline = false>
struct Recip : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = S;
  static constexpr bool kAlignPeel = kPeel;
  static constexpr bool kInlineBlocks = kInline;
  static V packed(V x) { return V::splat(T(1)) / x; }
  static int screen(V x) { return simd::mask(simd::cmp_eq(x, V::splat(T(0)))); }
  static int element(const T* x, T* r) {
    if (*x == T(0)) {
      *r = std::copysign(std::numeric_limits<T>::infinity(), *x);
      return QOR_FNX_STATUS_SING;
    }
    // The per-element path is marked (+0.0 would be invisible), so tests can tell which path
    // produced a result.
    *r = T(1) / *x + T(1000);
    return 0;
  }
};

std::vector<int> g_indices;
int g_replace_with_42 = 0;
int recorder(FnxErrorContext* c) {
  g_indices.push_back(+c->index);
  if (g_replace_with_42) c->res1 = 42;
  return 0;
}

class KernelFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    mode_ = _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
    _fnxSetErrorCallBack(recorder);
    g_indices.clear();
    g_replace_with_42 = 0;
  }
  void TearDown() override {
    _fnxClearErrorCallBack();
    _fnxSetMode(mode_);
    _fnxClearErrStatus();
  }
  uint32_t mode_ = 0;
};

TEST_F(KernelFrame, RecomputeSchemeSendsWholeFlaggedBlocksToTheElementPath) {
  std::vector<float> a(20, 2.0f), r(20);
  a[3] = 0;
  a[17] = -0.0f;
  run_v1<Named<Recip<float, Scheme::Recompute>, "vsRecip">>(20, a.data(), r.data());
  for (int i = 0; i < 8; ++i) {
    if (i != 3) {
      EXPECT_EQ(r[i], 1000.5f) << i;  // block 0..7 recomputed element by element
    }
  }
  EXPECT_EQ(r[3], INFINITY);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(r[i], 0.5f) << i;  // clean block: packed
  EXPECT_EQ(r[17], -INFINITY);
  EXPECT_EQ(r[16], 1000.5f);  // the tail goes element by element
  EXPECT_EQ(g_indices, (std::vector<int>{3, 17}));
  EXPECT_EQ(_fnxGetErrStatus(), QOR_FNX_STATUS_SING);
}

TEST_F(KernelFrame, PatchSchemeKeepsPackedLanesAndPatchesFlaggedOnes) {
  std::vector<double> a(11, 4.0), r(11);
  a[1] = 0;
  a[2] = 0;
  a[9] = 0;
  run_v1<Named<Recip<double, Scheme::Patch>, "vdRecip">>(11, a.data(), r.data());
  EXPECT_EQ(r[0], 0.25);
  EXPECT_EQ(r[3], 0.25);
  EXPECT_EQ(r[1], INFINITY);
  EXPECT_EQ(r[2], INFINITY);
  EXPECT_EQ(r[8], 0.25);  // tail lanes take the packed formula too
  EXPECT_EQ(r[9], INFINITY);
  EXPECT_EQ(r[10], 0.25);
  EXPECT_EQ(g_indices, (std::vector<int>{1, 2, 9}));
}

// The inline block loop (flagged blocks out of line) against the block routine, in place
// (outputs overwrite the inputs), flagged lanes at the start, middle and end of blocks and in
// the tail.
template <class T, Scheme S>
void expect_inline_loop_matches() {
  std::vector<T> a(27);
  for (size_t i = 0; i < a.size(); ++i) a[i] = T(1) + T(i);
  for (int z : {0, 5, 7, 12, 24, 26}) a[z] = z == 12 ? -T(0) : T(0);
  std::vector<T> ref = a, in = a;
  g_indices.clear();
  run_v1<Named<Recip<T, S>, "vRecip">>(27, ref.data(), ref.data());
  const std::vector<int> ref_indices = g_indices;
  g_indices.clear();
  run_v1<Named<Recip<T, S, false, true>, "vRecip">>(27, in.data(), in.data());
  EXPECT_EQ(g_indices, ref_indices);
  EXPECT_EQ(ref_indices, (std::vector<int>{0, 5, 7, 12, 24, 26}));
  for (size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(in[i], ref[i]) << i;
    EXPECT_EQ(std::signbit(in[i]), std::signbit(ref[i])) << i;
  }
}
TEST_F(KernelFrame, InlineBlockLoopMatchesTheBlockRoutine) {
  expect_inline_loop_matches<float, Scheme::Recompute>();
  expect_inline_loop_matches<float, Scheme::Patch>();
  expect_inline_loop_matches<double, Scheme::Recompute>();
  expect_inline_loop_matches<double, Scheme::Patch>();
}

TEST_F(KernelFrame, CallbackReplacementIsTheResultKept) {
  g_replace_with_42 = 1;
  std::vector<float> a(13, 1.0f), r(13), p(13);
  a[5] = 0;
  a[12] = 0;
  run_v1<Named<Recip<float, Scheme::Recompute>, "vsRecip">>(13, a.data(), r.data());
  run_v1<Named<Recip<float, Scheme::Patch>, "vsRecip">>(13, a.data(), p.data());
  EXPECT_EQ(r[5], 42.0f);
  EXPECT_EQ(r[12], 42.0f);
  EXPECT_EQ(p[5], 42.0f);
  EXPECT_EQ(p[12], 42.0f);
}

TEST_F(KernelFrame, AlignmentPeelAndZeroLength) {
  alignas(16) float buf[40];
  for (float& x : buf) x = 2.0f;
  buf[1] = 0;
  std::vector<float> r(39, -1.0f);
  run_v1<Named<Recip<float, Scheme::Patch, true>, "vsRecip">>(0, buf + 1, r.data());
  EXPECT_EQ(r[0], -1.0f);
  EXPECT_TRUE(g_indices.empty());
  run_v1<Named<Recip<float, Scheme::Patch, true>, "vsRecip">>(39, buf + 1, r.data());
  EXPECT_EQ(r[0], INFINITY);
  for (int i = 1; i < 39; ++i) EXPECT_EQ(r[i], 0.5f) << i;  // peeled lanes take the packed formula too
  EXPECT_EQ(g_indices, (std::vector<int>{0}));
}

TEST_F(KernelFrame, EnvironmentFollowsTheDenormalFieldAndIsRestored) {
  const unsigned saved = _mm_getcsr();
  _fnxSetMode(QOR_FNX_DENORMAL_FLUSH);
  std::vector<float> a(8, 1e38f), r(8);  // 1/1e39 is subnormal in float: flushed
  _mm_setcsr(0x1F80u | 0x2000u);          // caller: round down
  run_v1<Named<Recip<float, Scheme::Patch>, "vsRecip">>(8, a.data(), r.data());
  const unsigned after = _mm_getcsr();
  _mm_setcsr(saved);
  EXPECT_EQ(r[0], 0.0f);
  EXPECT_EQ(after & 0xFFC0u, 0x3F80u);
  _fnxSetMode(QOR_FNX_DENORMAL_KEEP);
  run_v1<Named<Recip<float, Scheme::Patch>, "vsRecip">>(8, a.data(), r.data());
  EXPECT_GT(r[0], 0.0f);
}

}  // namespace
