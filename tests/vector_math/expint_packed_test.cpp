// The packed double-precision ExpInt1 (expint_packed.h) at its seams, against MPFR in every
// slot: both sides of the switches between its three formulas (1/2, 32), of every piece of the
// polynomial tables (k / m on [1/2, 32), 2^e (1 + j/16) above), of the ends of its range (2^-1022,
// 740), where -ln x - gamma
// vanishes (e^-gamma) and where the results leave the normal range (about 701.84) and round to 0
// (about 738.5); then blocks mixing every region, whose results and statuses must be those of
// each element alone (underflow reported exactly for the results below the normal range).
#include "accuracy_harness.h"

namespace {
using namespace vm_test;

// 2k + 1 consecutive doubles centred on x.
std::vector<double> centred(double x, int k) {
  for (int i = 0; i < k; ++i) x = std::nextafter(x, -INFINITY);
  return consecutive<double>(x, 2 * k + 1);
}

TEST(ExpInt1Packed, SeamsAgainstMpfr) {
  const int k = static_cast<int>(qor::test::scaled(12, 3));
  std::vector<double> xs;
  for (double x : {0.5, 0x1p-1022, 740.0, 0.56145948356688516982, 738.5, 701.84, 1.0, 2.0, 4.0, 32.0})
    append(xs, centred(x, 4 * k));
  for (int e = 5; e <= 9; ++e)  // the pieces of e^x E1(x)
    for (int j = 0; j < 16; ++j) append(xs, centred(std::ldexp(1.0 + j / 16.0, e), k / 3 + 1));
  append(xs, uniform<double>(0.3, 0.9, qor::test::scaled(400), 21));  // the cancellation of -ln x - gamma
  append(xs, uniform<double>(700, 745, qor::test::scaled(200), 22));
  append(xs, log_uniform<double>(-1022, -1, qor::test::scaled(200), 23));
  sweep_function<double>("ExpInt1", xs);
}

// E1 itself on [1/2, 32): every piece's ends, and the pieces' insides, HA within 0.6 ulp.
TEST(ExpInt1Packed, DirectPiecesWithinSixTenthsUlp) {
  const int k = static_cast<int>(qor::test::scaled(6, 2));
  std::vector<double> xs;
  for (int m : {64, 32, 16})
    for (int j = 32; j < 64; ++j) append(xs, centred(static_cast<double>(j) / m, k));
  for (int j = 32; j < 256; ++j) append(xs, centred(j / 8.0, k));
  append(xs, log_uniform<double>(-1, 5, qor::test::scaled(4000, 500), 27));
  sweep_function<double>("ExpInt1", xs, 0.6);
}

TEST(ExpInt1Packed, UnderflowStatusExactlyBelowTheNormalRange) {
  const double t = expect_underflow_from("ExpInt1", 690, 720);
  EXPECT_GT(t, 701.0);
  EXPECT_LT(t, 702.0);
}

TEST(ExpInt1Packed, MixedBlocksMatchElementsAlone) {
  const long n = qor::test::scaled(40, 8);
  std::vector<double> xs = {0.0, -0.0, -1.0, INFINITY, -INFINITY, NAN, 0x1p-1060, 0x1p-1022, 740.0, 745.5, 800.0};
  append(xs, log_uniform<double>(-60, -1, n, 24));  // -ln x - gamma + Ein(x)
  append(xs, uniform<double>(0.5, 700, n, 25));     // e^-x g(x)
  append(xs, uniform<double>(700, 745, n, 26));     // subnormal results, then 0
  std::mt19937 g(5);
  std::shuffle(xs.begin(), xs.end(), g);
  if (xs.size() % 4 == 0) xs.push_back(0.75);
  expect_same_alone<double>("ExpInt1", xs);
  sweep_function<double>("ExpInt1", xs);
}

}  // namespace
