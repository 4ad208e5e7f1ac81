// Double-precision exponentials: their tables, and the hard regions of their reductions and
// packed paths, every slot against MPFR (the whole domain is in the accuracy test).
#include "accuracy_harness.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"

namespace {
using namespace vm_test;

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

// Where the packed range of Exp2 ends.
TEST(DExp2, PackedRangeEdges) {
  std::vector<double> xs = uniform<double>(1011, 1013, qor::test::scaled(2000), 25);
  append(xs, uniform<double>(-1013, -1011, qor::test::scaled(2000), 26));
  sweep_function<double>("Exp2", xs);
}

TEST(DExpm1, HardRegionsOfTheReduction) {
  // N = round(256 x / ln 2) near 0, where Ts - 1 and Ts r are of the result's size
  std::vector<double> xs = uniform<double>(-0.007, 0.007, qor::test::scaled(10000), 46);
  append(xs, uniform<double>(-1.1, -0.95, qor::test::scaled(3000), 47));   // 2^n below 1/2: Ts - 1 inexact
  append(xs, uniform<double>(36.0, 37.5, qor::test::scaled(3000), 48));    // 2^n above 2^52: likewise
  // HA: below 2^n = 2^-27, Ts - 1 rounds and Fast2Sum carries its error; from 2^n = 2^53 on
  // (x = 36.74), Ts - 1 rounds to Ts and the -1 is carried separately
  append(xs, uniform<double>(-38.5, -18.0, qor::test::scaled(3000), 51));
  append(xs, uniform<double>(36.72, 36.76, qor::test::scaled(2000), 52));
  append(xs, uniform<double>(707.5, 708.5, qor::test::scaled(1000), 49));  // where the packed range ends
  append(xs, log_uniform<double>(-56, -52, qor::test::scaled(1000), 50));  // the small-argument screen
  sweep_function<double>("Expm1", xs);
}

}  // namespace
