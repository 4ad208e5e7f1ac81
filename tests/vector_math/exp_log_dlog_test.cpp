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
                {{"LA", qor_fnx_kernel_dLog10_V8LAynn, Contract::LA},
                 {"EP", qor_fnx_kernel_dLog10_V8LAynn, Contract::EP},
                 {"HA", qor_fnx_kernel_dLog10_W7HAynn, Contract::HA}},
                0.6);
}

// Inputs at the edges of the reduction: m = 1 + (2j + 1)/1024 (where the row changes from j to
// j + 1) and its neighbours, at several exponents; the exponent split near 0.75; x = 1 +- i 2^-21
// +- a few ulps, where the two halves of m R - 1 nearly cancel; 1 +- 2^-k; the edges of the
// rows next to 1; subnormals.
std::vector<double> reduction_edges() {
  std::vector<double> xs;
  for (int j = 0; j < 512; ++j) {
    const double m = 1.0 + (2 * j + 1) / 1024.0;
    for (int e : {0, -1, 1, 700, -1000}) {
      const double b = std::ldexp(m, e);
      append(xs, consecutive<double>(std::nextafter(std::nextafter(b, 0.0), 0.0), 5));
    }
  }
  for (int e : {0, 1, -5, 1000, -1020}) append(xs, consecutive<double>(std::ldexp(0.74951171875, e) - 3 * std::ldexp(0x1p-53, e), 7));
  for (int i = 1; i <= 64; ++i) {
    for (double b : {1.0 + i * 0x1p-21, 1.0 - i * 0x1p-21, 1.0 - i * 0x1p-22}) append(xs, consecutive<double>(b - 3 * 0x1p-53, 7));
  }
  for (int k = 10; k <= 53; ++k) append(xs, {1.0 + std::ldexp(1.0, -k), 1.0 - std::ldexp(1.0, -k), std::nextafter(1.0 - std::ldexp(1.0, -k), 0.0)});
  // the edges of the rows with k A + H_j = 0 ([1 - 2^-11, 1 + 2^-10)), with whole blocks of four on
  // either side
  append(xs, consecutive<double>(1.0 - 0x1p-11 - 40 * 0x1p-53, 80));
  append(xs, consecutive<double>(1.0 + 0x1p-10 - 40 * 0x1p-52, 80));
  append(xs, log_uniform<double>(-1074, -1022, 2000, 99));
  append(xs, consecutive<double>(0x1p-1074, 20));
  return xs;
}

TEST(DLogReduction, EdgesOfTheTableRowsAndOfTheSplit) {
  const std::vector<double> xs = reduction_edges();
  sweep<double>("dLn", mpfr_log, xs,
                {{"HA", qor_fnx_kernel_dLn_W7HAynn, Contract::HA}, {"EP", qor_fnx_kernel_dLn_W7EPnnn, Contract::EP}},
                0.6);
  sweep<double>("dLog2", mpfr_log2, xs,
                {{"LA", qor_fnx_kernel_dLog2_W7LAynn, Contract::LA},
                 {"HA", qor_fnx_kernel_dLog2_W7HAynn, Contract::HA},
                 {"EP", qor_fnx_kernel_dLog2_W7EPnnn, Contract::EP}},
                0.6);
  sweep<double>("dLog10", mpfr_log10, xs,
                {{"LA", qor_fnx_kernel_dLog10_V8LAynn, Contract::LA},
                 {"EP", qor_fnx_kernel_dLog10_V8LAynn, Contract::EP},
                 {"HA", qor_fnx_kernel_dLog10_W7HAynn, Contract::HA}},
                0.6);
  // the same points as 1 + x for Log1p: x = xs - 1 (exact for xs in [0.5, 2]), and small x
  std::vector<double> ps;
  for (double v : xs)
    if (v >= 0.5 && v <= 2.0) ps.push_back(v - 1.0);
  for (int i = 1; i <= 64; ++i) append(ps, {i * 0x1p-22, -i * 0x1p-22, i * 0x1p-40, -i * 0x1p-40, i * 0x1p-53, -i * 0x1p-53});
  for (int k = 10; k <= 60; ++k) append(ps, {std::ldexp(1.0, -k), -std::ldexp(1.0, -k), std::ldexp(1.5, -k), -std::ldexp(1.5, -k)});
  sweep<double>("dLog1p", mpfr_log1p, ps,
                {{"LA", qor_fnx_kernel_dLog1p_V8LAynn, Contract::LA},
                 {"HA", qor_fnx_kernel_dLog1p_V8HAynn, Contract::HA},
                 {"EP", qor_fnx_kernel_dLog1p_V8EPnnn, Contract::EP}},
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
