// Double-precision exponentials against MPFR.
#include "exp_log_harness.h"

namespace {
using namespace exp_log_test;

TEST(DExp, WholeDomainAndHardRegionsMeetTheirContracts) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 11);
  append(xs, uniform<double>(-746, -707, qor::test::scaled(10000), 12));
  append(xs, uniform<double>(707, 710, qor::test::scaled(5000), 13));
  append(xs, uniform<double>(-5, 5, qor::test::scaled(10000), 14));
  append(xs, log_uniform<double>(-1074, 0, qor::test::scaled(3000), 15));
  sweep<double>("dExp", mpfr_exp, xs,
                {{"LA", qor_fnx_kernel_dExp_W7LAynn, Contract::LA},
                 {"HA", qor_fnx_kernel_dExp_W7HAynn, Contract::HA},
                 {"EP", qor_fnx_kernel_dExp_W7EPnnn, Contract::EP}},
                0.6);
}

TEST(DExp2, WholeDomainAndHardRegions) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 21);
  append(xs, uniform<double>(-1076, -1020, qor::test::scaled(10000), 22));
  append(xs, uniform<double>(1020, 1025, qor::test::scaled(5000), 23));
  append(xs, uniform<double>(-3, 3, qor::test::scaled(10000), 24));
  sweep<double>("dExp2", mpfr_exp2, xs, {{"HA", qor_fnx_kernel_dExp2_W7HAynn, Contract::HA}}, 0.6);
}

TEST(DExp10, WholeDomainAndHardRegions) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 31);
  append(xs, uniform<double>(-324, -300, qor::test::scaled(10000), 32));
  append(xs, uniform<double>(300, 309, qor::test::scaled(5000), 33));
  append(xs, uniform<double>(-3, 3, qor::test::scaled(10000), 34));
  sweep<double>("dExp10", mpfr_exp10, xs, {{"HA", qor_fnx_kernel_dExp10_W7HAynn, Contract::HA}}, 0.6);
}

TEST(DExpm1, WholeDomainAndHardRegions) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 41);
  append(xs, uniform<double>(-1, 1, qor::test::scaled(10000), 42));
  append(xs, uniform<double>(-0.02, 0.02, qor::test::scaled(10000), 43));
  append(xs, uniform<double>(-45, 710, qor::test::scaled(5000), 44));
  append(xs, log_uniform<double>(-1074, -3, qor::test::scaled(3000), 45));
  sweep<double>("dExpm1", mpfr_expm1, xs,
                {{"LA", qor_fnx_kernel_dExpm1_V8LAynn, Contract::LA},
                 {"HA", qor_fnx_kernel_dExpm1_V8HAynn, Contract::HA},
                 {"EP", qor_fnx_kernel_dExpm1_V8EPnnn, Contract::EP}},
                0.6);
}

}  // namespace
