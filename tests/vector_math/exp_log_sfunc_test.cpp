// Single-precision Exp2, Exp10, Expm1, Ln, Log2, Log10, Log1p, Logb against MPFR.
#include "exp_log_harness.h"

namespace {
using namespace exp_log_test;

std::vector<float> exp_inputs(double lo, double hi, uint32_t seed) {
  std::vector<float> xs = random_bits_f(qor::test::scaled(30000), seed);
  append(xs, uniform<float>(lo, hi, qor::test::scaled(20000), seed + 1));
  append(xs, uniform<float>(-1, 1, qor::test::scaled(5000), seed + 2));
  append(xs, log_uniform<float>(-149, -10, qor::test::scaled(2000), seed + 3));
  return xs;
}

TEST(SExp2, WholeDomainAndThresholds) {
  sweep<float>("sExp2", mpfr_exp2, exp_inputs(-152, 129, 101), {{"HA", qor_fnx_kernel_sExp2_W7HAynn, Contract::HA}}, 0.6);
}
TEST(SExp10, WholeDomainAndThresholds) {
  sweep<float>("sExp10", mpfr_exp10, exp_inputs(-46, 39, 111), {{"HA", qor_fnx_kernel_sExp10_W7HAynn, Contract::HA}}, 0.6);
}
TEST(SExpm1, WholeDomainAndNearZero) {
  std::vector<float> xs = exp_inputs(-90, 89, 121);
  append(xs, uniform<float>(-0.02, 0.02, qor::test::scaled(10000), 125));
  sweep<float>("sExpm1", mpfr_expm1, xs, {{"HA", qor_fnx_kernel_sExpm1_V8HAynn, Contract::HA}}, 0.6);
}

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
  sweep<float>("sExp2", mpfr_exp2, xs, {{"HA", qor_fnx_kernel_sExp2_W7HAynn, Contract::HA}}, 0.6);
}
TEST(SExp10, PackedDomainEdges) {
  const std::vector<float> xs = runs({-37.9065f, -37.93f, 38.4998f, 38.5315f, -44.86f, -45.16f}, 2000);
  sweep<float>("sExp10", mpfr_exp10, xs, {{"HA", qor_fnx_kernel_sExp10_W7HAynn, Contract::HA}}, 0.6);
}
// Expm1 changes its reduction step at x = (i + 1/2) ln 2, stops having 2^k - 1 exact beyond
// |k| = 24 (|x| near 17), rounds to -1 below -17.33, and hands |x| >= 88 to the per-element
// routine; runs of consecutive inputs across each of these.
TEST(SExpm1, ReductionStepsAndLargeArguments) {
  const std::vector<float> xs = runs({0.3464f, -0.3468f, 1.0394f, -1.0399f, 16.98f, -16.983f, 17.6748f, -17.3288f, -17.1f,
                                      -17.676f, 87.999f, -88.0005f, 88.7227f},
                                     3000);
  sweep<float>("sExpm1", mpfr_expm1, xs, {{"HA", qor_fnx_kernel_sExpm1_V8HAynn, Contract::HA}}, 0.6);
}

std::vector<float> log_inputs(uint32_t seed) {
  std::vector<float> xs = random_bits_f(qor::test::scaled(30000), seed);
  append(xs, log_uniform<float>(-149, 128, qor::test::scaled(15000), seed + 1));
  append(xs, uniform<float>(0.98, 1.02, qor::test::scaled(10000), seed + 2));
  append(xs, consecutive<float>(0.9999f, 2000));  // across 1
  return xs;
}

TEST(SLn, WholeDomainNearOneAndSubnormals) {
  sweep<float>("sLn", mpfr_log, log_inputs(131),
               {{"LA", qor_fnx_kernel_sLn_V8LAynn, Contract::LA},
                {"HA", qor_fnx_kernel_sLn_V8HAynn, Contract::HA},
                {"EP", qor_fnx_kernel_sLn_V8EPnnn, Contract::EP}},
               0.501);
}
TEST(SLog2, WholeDomainNearOneAndSubnormals) {
  sweep<float>("sLog2", mpfr_log2, log_inputs(141),
               {{"LA", qor_fnx_kernel_sLog2_W7LAynn, Contract::LA},
                {"HA", qor_fnx_kernel_sLog2_W7HAynn, Contract::HA},
                {"EP", qor_fnx_kernel_sLog2_W7EPnnn, Contract::EP}},
               0.501);
}
TEST(SLog10, WholeDomainNearOneAndSubnormals) {
  sweep<float>("sLog10", mpfr_log10, log_inputs(151),
               {{"LA", qor_fnx_kernel_sLog10_V8LAynn, Contract::LA},
                {"HA", qor_fnx_kernel_sLog10_V8HAynn, Contract::HA},
                {"EP", qor_fnx_kernel_sLog10_W7EPnnn, Contract::EP}},
               0.501);
}
TEST(SLog1p, WholeDomainAndNearZero) {
  std::vector<float> xs = random_bits_f(qor::test::scaled(30000), 161);
  append(xs, uniform<float>(-1, 1, qor::test::scaled(10000), 162));
  append(xs, uniform<float>(-0.01, 0.01, qor::test::scaled(5000), 163));
  append(xs, log_uniform<float>(-149, 128, qor::test::scaled(5000), 164));
  append(xs, consecutive<float>(-1.0f, 100));
  sweep<float>("sLog1p", mpfr_log1p, xs,
               {{"LA", qor_fnx_kernel_sLog1p_V8LAynn, Contract::LA}, {"HA", qor_fnx_kernel_sLog1p_V8HAynn, Contract::HA}},
               0.501);
}
TEST(SLogb, WholeDomainIsExact) {
  std::vector<float> xs = random_bits_f(qor::test::scaled(20000), 171);
  append(xs, {0.0f, -0.0f, INFINITY, -INFINITY, 0x1p-149f, 0x1.8p-140f, -0x1p-126f, 1.0f, 0.75f, NAN});
  auto out = sweep<float>("sLogb", exp_log_test::mpfr_logb, xs, {{"HA", qor_fnx_kernel_sLogb_W7HAynn, Contract::HA}});
  EXPECT_EQ(out[0].acc.max_ulps(), 0.0);
}

}  // namespace
