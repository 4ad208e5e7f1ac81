// Defining properties of the exponential/logarithmic lookup tables, re-checked with MPFR.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstring>

#include "vector_math/kernels/exp_log/exp_log_tables.h"

namespace {
using namespace qor::vm::exp_log;

float f_of(uint32_t u) {
  float x;
  std::memcpy(&x, &u, 4);
  return x;
}

struct Mp {
  mpfr_t v;
  Mp() { mpfr_init2(v, 256); }
  ~Mp() { mpfr_clear(v); }
};

// |a - b| for an MPFR value and a double sum, as a double.
double distance(mpfr_srcptr exact, double hi, double lo) {
  Mp d;
  mpfr_sub_d(d.v, exact, hi, MPFR_RNDN);
  mpfr_sub_d(d.v, d.v, lo, MPFR_RNDN);
  return std::fabs(mpfr_get_d(d.v, MPFR_RNDN));
}

TEST(ExpLogTables, SingleExpEntriesArePowersOfTwoToTheJOver128) {
  Mp e;
  for (int j = 0; j < 128; ++j) {
    mpfr_set_si(e.v, j, MPFR_RNDN);
    mpfr_div_ui(e.v, e.v, 128, MPFR_RNDN);
    mpfr_exp2(e.v, e.v, MPFR_RNDN);
    const float hi = f_of(kSExpHA.t[j][0]), lo = f_of(kSExpHA.t[j][1]);
    EXPECT_EQ(hi, mpfr_get_flt(e.v, MPFR_RNDN)) << j;  // T_hi is the rounded value
    // T_hi (1 + T_lo) reproduces 2^(j/128) to about 2^-48 relative
    EXPECT_LT(distance(e.v, hi, static_cast<double>(hi) * lo), 0x1p-47) << j;
    // the LA entry is T_hi's fraction field
    EXPECT_EQ(kSExpLA.f[j][0], kSExpHA.t[j][0] & 0x7FFFFFu) << j;
  }
}

TEST(ExpLogTables, DoubleExpEntriesSumToTwoToTheJOver64) {
  Mp e;
  for (int j = 0; j < 64; ++j) {
    mpfr_set_si(e.v, j, MPFR_RNDN);
    mpfr_div_ui(e.v, e.v, 64, MPFR_RNDN);
    mpfr_exp2(e.v, e.v, MPFR_RNDN);
    EXPECT_EQ(kDExp.t[j][0], mpfr_get_d(e.v, MPFR_RNDN)) << j;
    EXPECT_LT(distance(e.v, kDExp.t[j][0], kDExp.t[j][1]), 0x1p-105) << j;
  }
}

// R_j approximates 1/(1 + j/N) with a short significand; H_j is a multiple of 2^-42 and
// H_j + L_j = -log(R_j) (minus log 2 from j = N/2 on for the double tables).
template <class GetH>
void check_log_table(int n, int bits, const double* r_of, size_t r_stride, GetH hl, int base, bool shift) {
  Mp e, t;
  for (int j = 0; j <= n; ++j) {
    const double r = r_of[j * r_stride];
    EXPECT_LE(std::fabs(r * (1.0 + static_cast<double>(j) / n) - 1.0), std::ldexp(1.0, -bits + 1)) << j;
    int ex;
    const double frac = std::frexp(r, &ex);
    EXPECT_EQ(std::ldexp(frac, bits), std::nearbyint(std::ldexp(frac, bits))) << "R has more than " << bits << " bits, j = " << j;
    double h, l;
    hl(j, h, l);
    EXPECT_EQ(h * 0x1p42, std::nearbyint(h * 0x1p42)) << j;
    mpfr_set_d(t.v, (shift && j >= n / 2) ? 2 * r : r, MPFR_RNDN);
    if (base == 0) mpfr_log(e.v, t.v, MPFR_RNDN);
    else if (base == 2) mpfr_log2(e.v, t.v, MPFR_RNDN);
    else mpfr_log10(e.v, t.v, MPFR_RNDN);
    mpfr_neg(e.v, e.v, MPFR_RNDN);
    EXPECT_LT(distance(e.v, h, l), 0x1p-96) << j;
  }
}

TEST(ExpLogTables, LogReductionTables) {
  check_log_table(64, 8, &kSLn.e[0][0], 3, [](int j, double& h, double& l) { h = kSLn.e[j][1]; l = kSLn.e[j][2]; }, 0, false);
  check_log_table(512, 21, &kDLn.e[0][0], 4, [](int j, double& h, double& l) { h = kDLn.e[j][2]; l = kDLn.e[j][3]; }, 0, true);
  check_log_table(512, 21, &kDLn.e[0][0], 4, [](int j, double& h, double& l) { h = kDLog2.e[j][0]; l = kDLog2.e[j][1]; }, 2, true);
  check_log_table(512, 21, &kDLn.e[0][0], 4, [](int j, double& h, double& l) { h = kDLog10.e[j][0]; l = kDLog10.e[j][1]; }, 10, true);
  EXPECT_EQ(kDLn.e[1][0], 0.9980506896972656);
  EXPECT_EQ(kSLn.e[1][0], 0.984375);
  EXPECT_EQ(kSLn.e[64][1] + kSLn.e[64][2], 0.6931471805598903 + 5.497923018708371e-14);
  for (int j = 0; j < 513; ++j) EXPECT_EQ(kDLn.e[j][0], kDLn.e[j][1]);
}

// LA tables of Log2 and Log10: Q_j = log_b(e) / c_j and G_j = log_b(c_j) (log_b(c_j / 2) from
// j = 256 on), c_j = 1 + j/512, both correctly rounded.
TEST(ExpLogTables, LogLATablesHoldScaledReciprocalsAndLogarithmsOfTheRowPoints) {
  Mp c, e, t;
  for (int b : {2, 10}) {
    const DLogLATable& tab = b == 2 ? kDLog2LA : kDLog10LA;
    for (int j = 0; j <= 512; ++j) {
      mpfr_set_si(c.v, 512 + j, MPFR_RNDN);
      mpfr_div_si(c.v, c.v, 512, MPFR_RNDN);
      mpfr_set_si(t.v, b, MPFR_RNDN);
      mpfr_log(t.v, t.v, MPFR_RNDN);
      mpfr_mul(t.v, t.v, c.v, MPFR_RNDN);
      mpfr_ui_div(e.v, 1, t.v, MPFR_RNDN);
      EXPECT_EQ(tab.e[j][0], mpfr_get_d(e.v, MPFR_RNDN)) << b << " " << j;
      if (j >= 256) mpfr_div_2ui(c.v, c.v, 1, MPFR_RNDN);
      if (b == 2) mpfr_log2(e.v, c.v, MPFR_RNDN);
      else mpfr_log10(e.v, c.v, MPFR_RNDN);
      EXPECT_EQ(tab.e[j][1], mpfr_get_d(e.v, MPFR_RNDN)) << b << " " << j;
    }
    EXPECT_EQ(tab.e[0][1], 0.0);
    EXPECT_EQ(tab.e[512][1], 0.0);
  }
}

}  // namespace
