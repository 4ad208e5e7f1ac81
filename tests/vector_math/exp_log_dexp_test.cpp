// Double-precision exponentials against MPFR.
#include "exp_log_harness.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"

namespace {
using namespace exp_log_test;

// The 2^(j/256) tables: B's pattern plus j << 44 is T, 2^(j/256) rounded to the table's width
// (53 or 27 significant bits), and T (1 + L) reproduces 2^(j/256) to far below an ulp.
TEST(DExpTables, EntriesAreBiasedPowersOfTwoWithTheirRelativeError) {
  mpfr_t e, t, d;
  mpfr_inits2(256, e, t, d, static_cast<mpfr_ptr>(nullptr));
  for (const auto& [tab, bits] : {std::pair{&qor::vm::exp_log::kDExpT256, 53}, std::pair{&qor::vm::exp_log::kDExpm1T256, 27}}) {
    for (int j = 0; j < 256; ++j) {
      mpfr_set_si(e, j, MPFR_RNDN);
      mpfr_div_ui(e, e, 256, MPFR_RNDN);
      mpfr_exp2(e, e, MPFR_RNDN);
      uint64_t u;
      std::memcpy(&u, &tab->e[j][0], 8);
      u += static_cast<uint64_t>(j) << 44;
      double T;
      std::memcpy(&T, &u, 8);
      mpfr_set_prec(t, bits);
      mpfr_set(t, e, MPFR_RNDN);
      EXPECT_EQ(T, mpfr_get_d(t, MPFR_RNDN)) << bits << " bits, j = " << j;
      mpfr_set_prec(t, 256);
      mpfr_set_d(t, T, MPFR_RNDN);
      mpfr_mul_d(d, t, tab->e[j][1], MPFR_RNDN);
      mpfr_add(d, d, t, MPFR_RNDN);  // T (1 + L)
      mpfr_sub(d, d, e, MPFR_RNDN);
      mpfr_div(d, d, e, MPFR_RNDN);
      EXPECT_LT(std::fabs(mpfr_get_d(d, MPFR_RNDN)), 0x1p-80) << bits << " bits, j = " << j;
    }
  }
  // the 1024-entry table of Exp LA: T only, RN(2^(j/1024)) after removing the bias j << 42
  for (int j = 0; j < 1024; ++j) {
    mpfr_set_si(e, j, MPFR_RNDN);
    mpfr_div_ui(e, e, 1024, MPFR_RNDN);
    mpfr_exp2(e, e, MPFR_RNDN);
    uint64_t u;
    std::memcpy(&u, &qor::vm::exp_log::kDExpT1024.e[j], 8);
    u += static_cast<uint64_t>(j) << 42;
    double T;
    std::memcpy(&T, &u, 8);
    EXPECT_EQ(T, mpfr_get_d(e, MPFR_RNDN)) << "j = " << j;
  }
  mpfr_clears(e, t, d, static_cast<mpfr_ptr>(nullptr));
}

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
  append(xs, uniform<double>(1011, 1013, qor::test::scaled(2000), 25));   // where the packed range ends
  append(xs, uniform<double>(-1013, -1011, qor::test::scaled(2000), 26));
  for (int k = -1074; k <= 1023; ++k) xs.push_back(k);                   // exact powers of two
  for (int j = -512; j <= 512; ++j) xs.push_back(j / 256.0);             // table nodes
  sweep<double>("dExp2", mpfr_exp2, xs, {{"HA", qor_fnx_kernel_dExp2_W7HAynn, Contract::HA}}, 0.6);
}

TEST(DExp10, WholeDomainAndHardRegions) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 31);
  append(xs, uniform<double>(-324, -300, qor::test::scaled(10000), 32));
  append(xs, uniform<double>(300, 309, qor::test::scaled(5000), 33));
  append(xs, uniform<double>(-3, 3, qor::test::scaled(10000), 34));
  for (int k = -323; k <= 308; ++k) xs.push_back(k);  // exact powers of ten up to 10^22
  sweep<double>("dExp10", mpfr_exp10, xs, {{"HA", qor_fnx_kernel_dExp10_W7HAynn, Contract::HA}}, 0.6);
}

TEST(DExpm1, WholeDomainAndHardRegions) {
  std::vector<double> xs = random_bits_d(qor::test::scaled(20000), 41);
  append(xs, uniform<double>(-1, 1, qor::test::scaled(10000), 42));
  append(xs, uniform<double>(-0.02, 0.02, qor::test::scaled(10000), 43));
  append(xs, uniform<double>(-45, 710, qor::test::scaled(5000), 44));
  append(xs, log_uniform<double>(-1074, -3, qor::test::scaled(3000), 45));
  // N = round(256 x / ln 2) near 0, where Ts - 1 and Ts r are of the result's size
  append(xs, uniform<double>(-0.007, 0.007, qor::test::scaled(10000), 46));
  append(xs, uniform<double>(-1.1, -0.95, qor::test::scaled(3000), 47));   // 2^n below 1/2: Ts - 1 inexact
  append(xs, uniform<double>(36.0, 37.5, qor::test::scaled(3000), 48));    // 2^n above 2^52: likewise
  // HA: below 2^n = 2^-27, Ts - 1 rounds and Fast2Sum carries its error; from 2^n = 2^53 on
  // (x = 36.74), Ts - 1 rounds to Ts and the -1 is carried separately
  append(xs, uniform<double>(-38.5, -18.0, qor::test::scaled(3000), 51));
  append(xs, uniform<double>(36.72, 36.76, qor::test::scaled(2000), 52));
  append(xs, uniform<double>(707.5, 708.5, qor::test::scaled(1000), 49));  // where the packed range ends
  append(xs, log_uniform<double>(-56, -52, qor::test::scaled(1000), 50));  // the small-argument screen
  sweep<double>("dExpm1", mpfr_expm1, xs,
                {{"LA", qor_fnx_kernel_dExpm1_V8LAynn, Contract::LA},
                 {"HA", qor_fnx_kernel_dExpm1_V8HAynn, Contract::HA},
                 {"EP", qor_fnx_kernel_dExpm1_V8EPnnn, Contract::EP}},
                0.6);
}

}  // namespace
