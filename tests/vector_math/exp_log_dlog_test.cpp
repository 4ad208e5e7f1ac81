// Double-precision logarithms against MPFR.
#include "exp_log_harness.h"

namespace {
using namespace exp_log_test;

std::vector<double> log_inputs(uint32_t seed) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), seed);
  append(xs, log_uniform<double>(-1074, 1024, qor::test::scaled(10000), seed + 1));
  append(xs, uniform<double>(0.5, 2.0, qor::test::scaled(10000), seed + 2));
  append(xs, uniform<double>(0.999, 1.001, qor::test::scaled(5000), seed + 3));
  append(xs, consecutive<double>(std::nextafter(1.0, 0.0) - 200 * 0x1p-53, 400));  // around 1
  return xs;
}

TEST(DLn, WholeDomainAndNearOne) {
  sweep<double>("dLn", mpfr_log, log_inputs(51),
                {{"HA", qor_fnx_kernel_dLn_W7HAynn, Contract::HA}, {"EP", qor_fnx_kernel_dLn_W7EPnnn, Contract::EP}},
                0.6);
}

TEST(DLog2, WholeDomainAndNearOne) {
  sweep<double>("dLog2", mpfr_log2, log_inputs(61),
                {{"LA", qor_fnx_kernel_dLog2_W7LAynn, Contract::LA},
                 {"HA", qor_fnx_kernel_dLog2_W7HAynn, Contract::HA},
                 {"EP", qor_fnx_kernel_dLog2_W7EPnnn, Contract::EP}},
                0.6);
}

TEST(DLog10, WholeDomainAndNearOne) {
  sweep<double>("dLog10", mpfr_log10, log_inputs(71),
                {{"LA", qor_fnx_kernel_dLog10_V8LAynn, Contract::LA}, {"HA", qor_fnx_kernel_dLog10_W7HAynn, Contract::HA}},
                0.6);
}

TEST(DLog1p, WholeDomainAndNearZero) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 81);
  append(xs, uniform<double>(-1, 1, qor::test::scaled(10000), 82));
  append(xs, uniform<double>(-0.01, 0.01, qor::test::scaled(5000), 83));
  append(xs, log_uniform<double>(-1074, 1024, qor::test::scaled(5000), 84));
  std::vector<double> neg = log_uniform<double>(-60, 0, qor::test::scaled(5000), 85);
  for (double& v : neg) v = -v;
  append(xs, neg);
  append(xs, consecutive<double>(-1.0, 50));
  sweep<double>("dLog1p", mpfr_log1p, xs,
                {{"LA", qor_fnx_kernel_dLog1p_V8LAynn, Contract::LA},
                 {"HA", qor_fnx_kernel_dLog1p_V8HAynn, Contract::HA},
                 {"EP", qor_fnx_kernel_dLog1p_V8EPnnn, Contract::EP}},
                0.6);
}

TEST(DLogb, WholeDomainIsExact) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 91);
  append(xs, {0.0, -0.0, INFINITY, -INFINITY, 0x1p-1074, 0x1.8p-1030, -0x1p-1022, 1.0, 0.75, NAN});
  auto out = sweep<double>("dLogb", exp_log_test::mpfr_logb, xs, {{"HA", qor_fnx_kernel_dLogb_W7HAynn, Contract::HA}});
  EXPECT_EQ(out[0].acc.max_ulps(), 0.0);
}

}  // namespace
