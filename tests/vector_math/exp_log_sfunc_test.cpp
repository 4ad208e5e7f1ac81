// Single-precision Exp2, Exp10, Expm1, Ln, Log2, Log10 and Log1p: the edges of their reductions
// and of their packed paths, every slot against MPFR (the whole domain is in the accuracy test).
#include "accuracy_harness.h"

namespace {
using namespace vm_test;

// Runs of consecutive floats upward from each start.
std::vector<float> runs(std::initializer_list<float> starts, long n) {
  std::vector<float> xs;
  for (float s : starts) append(xs, consecutive<float>(s, n));
  return xs;
}

// Where the packed path of Exp2 and Exp10 ends (the result stops being a normal float) and the
// per-element routine takes over, including subnormal results and the overflow edge.
TEST(SExp2, PackedDomainEdges) {
  const std::vector<float> xs = runs({-126.0005f, 127.98f, 127.999f, -149.01f, -150.0005f}, 2000);
  sweep_function<float>("Exp2", xs);
}
TEST(SExp10, PackedDomainEdges) {
  const std::vector<float> xs = runs({-37.9065f, -37.93f, 38.4998f, 38.5315f, -44.86f, -45.16f}, 2000);
  sweep_function<float>("Exp10", xs);
}
// Expm1 leaves the N = 0 cell of its 2048-entry reduction at |x| = ln 2 / 4096 (where the
// result stops being the quadratic alone), crosses table cells and binades of 2^n near 0.35 and
// 1.04, rounds to -1 below -17.33, and hands |x| >= 88 to the per-element routine; runs of
// consecutive inputs across each of these, and subnormal arguments and -0 among neighbours
// that take the packed path.
TEST(SExpm1, ReductionStepsAndLargeArguments) {
  std::vector<float> xs = runs({0x1.62e4p-13f, -0x1.62e44p-13f, 0.3464f, -0.3468f, 1.0394f, -1.0399f, 16.98f, -16.983f,
                                17.6748f, -17.3288f, -17.1f, -17.676f, 87.999f, -88.0005f, 88.7227f},
                               3000);
  for (float s : {0x1p-149f, 0x1.8p-140f, 0x1p-127f, -0x1p-149f, -0x1.234p-130f, 0.0f, -0.0f}) {
    const float block[8] = {0.5f, s, -2.0f, 3.0f, s, -s, 7.5f, s};
    xs.insert(xs.end(), block, block + 8);
  }
  sweep_function<float>("Expm1", xs);
  // signed zeros inside a block that takes the packed path
  const float z[8] = {0.5f, -0.0f, -2.0f, 3.0f, 0.0f, -0x1p-149f, 7.5f, -0.0f};
  float out[8];
  kernel<float>("Expm1", HA)(8, z, out);
  EXPECT_TRUE(std::signbit(out[1]));
  EXPECT_TRUE(std::signbit(out[7]));
  EXPECT_FALSE(std::signbit(out[4]));
  EXPECT_EQ(out[5], -0x1p-149f);
}

// Where the reduction switches exponent (sqrt(1/2) and sqrt(2)), and the ends of the reduced
// interval where f^2/2 is largest against the result, each times a few powers of two; the powers of
// two themselves; the ends of the normal range.
std::vector<float> log_edges(uint32_t sd) {
  std::vector<float> xs;
  for (float b : {0x1.6a09e6p-1f, 0x1.6a09e6p+0f})
    for (float s : {1.0f, 2.0f, 0.5f, 0x1p-60f, 0x1p100f}) append(xs, consecutive<float>(b * s * (1 - 0x1p-18f), 64));
  for (float s : {1.0f, 2.0f, 0.5f, 0x1p-100f, 0x1p90f}) {
    append(xs, uniform<float>(1.33 * s, 1.4143 * s, qor::test::scaled(3000), sd++));
    append(xs, uniform<float>(0.7071 * s, 0.76 * s, qor::test::scaled(3000), sd++));
  }
  for (int e = -126; e <= 127; e += 7) append(xs, consecutive<float>(std::ldexp(1.0f - 0x1p-21f, e), 16));
  append(xs, consecutive<float>(0x1.fffff0p-127f, 64));
  append(xs, consecutive<float>(0x1.ffffc0p+127f, 63));
  return xs;
}

TEST(SLog, ReductionEdgesOfEveryLogarithm) {
  sweep_function<float>("Ln", log_edges(134));
  sweep_function<float>("Log2", log_edges(144));
  sweep_function<float>("Log10", log_edges(154));
}

// 1 + x at the reduction's exponent steps and near 1, the screen limits 2^-60, 2^-40 and 2^125,
// the ends of the reduced interval (k = 0, 1, -1), and the arguments whose 1 + x is inexact by up
// to half an ulp.
TEST(SLog1p, ReductionAndScreenEdges) {
  std::vector<float> xs;
  for (float b : {-0.25f, 0.5f, 0x1.6a09e6p-1f - 1, 0x1.6a09e6p+0f - 1, -0x1p-9f, 0x1p-8f, 2.0f, 3.0f})
    append(xs, consecutive<float>(b * (1 - 0x1p-18f), 64));
  append(xs, uniform<float>(0.33, 0.4143, qor::test::scaled(3000), 166));
  append(xs, uniform<float>(-0.293, -0.24, qor::test::scaled(3000), 167));
  append(xs, uniform<float>(1.66, 1.8285, qor::test::scaled(3000), 168));
  append(xs, uniform<float>(-0.65, -0.58, qor::test::scaled(3000), 169));
  for (float b : {0x1p-60f, 0x1p-40f}) {
    append(xs, consecutive<float>(b * (1 - 0x1p-20f), 40));
    append(xs, consecutive<float>(-b * (1 + 0x1p-20f), 40));
  }
  append(xs, consecutive<float>(0x1p-25f * (1 - 0x1p-20f), 40));
  append(xs, consecutive<float>(0x1p125f * (1 - 0x1p-20f), 40));
  append(xs, log_uniform<float>(-40, -20, qor::test::scaled(3000), 165));
  sweep_function<float>("Log1p", xs);
}

// Log1p LA reduces 1 + x = 2^k (1 + f) with f = x 2^-k + (2^-k - 1) formed from x itself: exact
// for |k| <= 24 (down to x = -1 + 2^-24), 2^-k - 1 rounded beyond. Runs across 1 + x = 2^k
// (f near 0, where k log 2 and log1p(f) nearly cancel for k = -1) and 1 + x = 2^k sqrt(2)
// (the exponent step) for k over the whole range.
TEST(SLog1p, ReductionAcrossExponents) {
  std::vector<float> xs;
  for (int k : {-24, -23, -20, -12, -3, -2, -1, 1, 2, 3, 12, 23, 24, 25, 26, 40, 100, 124}) {
    const float p = std::ldexp(1.0f, k);
    for (float m : {1.0f, 0x1.6a09e6p+0f, 0x1.6a09e6p-1f}) {
      const float x = p * m - 1;
      if (x > -1) append(xs, consecutive<float>(x - std::fabs(x) * 0x1p-20f, 60));
    }
  }
  append(xs, consecutive<float>(-1 + 0x1p-24f, 60));
  sweep_function<float>("Log1p", xs);
}

}  // namespace
