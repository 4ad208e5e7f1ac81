// The argument reduction by pi/2 (qor_fnx_kernel_reduce_pio2d) against MPFR: both regimes, their
// boundaries, the published worst cases, the largest double and the sign symmetry.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "qor/vm_trig.h"
#include "support/scale.h"

namespace {

// Checks one reduction: |r| stays near pi/4, q is the quadrant of an integer n with
// x = n pi/2 + r, and r (high + low) is within 2^-70 relative (or 2^-160 absolute; the pieces of pi/4 below 2^30 hold about 137 bits, so the error there is about k 2^-140) of the exact
// x - n pi/2, n being the integer of residue q nearest x 2/pi.
void check_reduction(double x) {
  double rec[2] = {NAN, NAN};
  const int q = qor_fnx_kernel_reduce_pio2d(x, rec);
  ASSERT_GE(q, 0);
  ASSERT_LE(q, 3);
  ASSERT_LE(std::fabs(rec[0]), 0.7853981633974483 * (1 + 0x1p-40)) << "x = " << x;
  ASSERT_LE(std::fabs(rec[1]), std::fabs(rec[0]) * 0x1p-52) << "x = " << x;
  mpfr_t pi2, y, n, r, d;
  mpfr_inits2(2400, pi2, y, n, r, d, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_pi(pi2, MPFR_RNDN);
  mpfr_div_2ui(pi2, pi2, 1, MPFR_RNDN);
  mpfr_set_d(y, x, MPFR_RNDN);
  mpfr_div(y, y, pi2, MPFR_RNDN);
  mpfr_rint(n, y, MPFR_RNDN);
  // n mod 4 -> adjust n by -1, 0 or +1 to have residue q
  mpfr_t m;
  mpfr_init2(m, 2400);
  mpfr_fmod_ui(m, n, 4, MPFR_RNDN);
  long res = mpfr_get_si(m, MPFR_RNDN);
  res = ((res % 4) + 4) % 4;
  const long diff = ((q - res) % 4 + 4) % 4;  // 0, 1, 3 allowed
  ASSERT_NE(diff, 2) << "x = " << x << ": quadrant " << q << " two away from " << res;
  if (diff == 1) mpfr_add_ui(n, n, 1, MPFR_RNDN);
  if (diff == 3) mpfr_sub_ui(n, n, 1, MPFR_RNDN);
  mpfr_mul(r, n, pi2, MPFR_RNDN);
  mpfr_set_d(d, x, MPFR_RNDN);
  mpfr_sub(r, d, r, MPFR_RNDN);  // exact r
  mpfr_set_d(d, rec[0], MPFR_RNDN);
  mpfr_add_d(d, d, rec[1], MPFR_RNDN);
  mpfr_sub(d, d, r, MPFR_RNDN);
  mpfr_abs(d, d, MPFR_RNDN);
  const double err = mpfr_get_d(d, MPFR_RNDU);
  const double rv = std::fabs(mpfr_get_d(r, MPFR_RNDN));
  EXPECT_LE(err, std::max(rv * 0x1p-70, 0x1p-160)) << "x = " << x << " (" << std::hexfloat << x << std::defaultfloat
                                                     << "), r = " << rv << ", error " << err;
  // the sign rule: -x gives -r and -q mod 4, bit for bit
  double neg[2];
  const int qn = qor_fnx_kernel_reduce_pio2d(-x, neg);
  EXPECT_EQ(qn, (4 - q) & 3) << "x = " << x;
  EXPECT_EQ(neg[0], -rec[0]) << "x = " << x;
  EXPECT_EQ(std::signbit(neg[0]), !std::signbit(rec[0])) << "x = " << x;
  EXPECT_EQ(neg[1], -rec[1]) << "x = " << x;
  mpfr_clears(pi2, y, n, r, d, m, static_cast<mpfr_ptr>(nullptr));
}

// The double nearest k pi/2.
double nearest_multiple(double k) {
  mpfr_t v;
  mpfr_init2(v, 2400);
  mpfr_const_pi(v, MPFR_RNDN);
  mpfr_mul_d(v, v, k / 2, MPFR_RNDN);
  const double d = mpfr_get_d(v, MPFR_RNDN);
  mpfr_clear(v);
  return d;
}

TEST(ReducePio2d, PublishedWorstCasesAndLandmarks) {
  const double worst = std::ldexp(6381956970095103.0, 797);  // the double closest to a multiple of pi/2
  const std::vector<double> xs = {
      worst, std::nextafter(worst, 0.0), std::nextafter(worst, INFINITY),
      std::ldexp(16367173.0, 72),          // the float closest to a multiple of pi/2
      DBL_MAX, 1e22, 1e300, 1e308, 0x1p1023, 1e15, 1e10, 90112.0, 90111.0, 65536.0,
      0x1p30, std::nextafter(0x1p30, 0.0), 0x1p23, std::nextafter(0x1p23, 0.0), 0x1p23 + 1, 0x1p17,
      0.7853981633974483, 0.78539816339744828, 0.78539816339744839, 1.5707963267948966, 3.141592653589793,
      4.71238898038469, 6.283185307179586, 1.0, 0.5, 0x1p-20, 0x1p-1022, 0x1p-1074, 0.0,
      355.0, 103993.0, 33215.0, 1e-300, 2.0, 1e5, 1e6, 123456789.0};
  for (double x : xs) check_reduction(x);
}

TEST(ReducePio2d, NearestDoublesToMultiplesOfHalfPi) {
  for (double k = 1; k <= 4000; ++k) check_reduction(nearest_multiple(k));
  for (double k : {0x1p20, 0x1p20 + 1, 0x1p24 - 1, 0x1p28 + 3, 0x1p30 - 5, 0x1p40 + 7, 0x1p50 + 9, 0x1p60})
    for (int d = -20; d <= 20; ++d) check_reduction(nearest_multiple(k + d));
}

TEST(ReducePio2d, RandomArgumentsInEveryBinade) {
  std::mt19937_64 g(20261206);
  std::uniform_real_distribution<double> u(1.0, 2.0);
  const long per = qor::test::scaled(12, 2);
  for (int e = -1074; e <= 1023; ++e)
    for (long i = 0; i < per; ++i) check_reduction(std::ldexp(u(g), e));
  // the medium regime densely
  std::uniform_real_distribution<double> m(0, 0x1p30);
  for (long i = 0; i < qor::test::scaled(20000); ++i) check_reduction(m(g));
}

TEST(ReducePio2d, NonFiniteGiveNaN) {
  for (double x : {INFINITY, -INFINITY, NAN}) {
    double rec[2];
    EXPECT_EQ(qor_fnx_kernel_reduce_pio2d(x, rec), 0);
    EXPECT_TRUE(std::isnan(rec[0]));
  }
}

}  // namespace
