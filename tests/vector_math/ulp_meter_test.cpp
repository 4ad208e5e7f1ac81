// The ulp meter against hand-built exact values: every vector-math accuracy test trusts it.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "support/ulp.h"

namespace {

using qor::test::ulp_error;
using qor::test::UlpError;

constexpr double kInf = std::numeric_limits<double>::infinity();

// exact = m * 2^e held in MPFR at 256 bits.
struct Exact {
  mpfr_t v;
  Exact(double m, long e = 0) {
    mpfr_init2(v, qor::test::kExactBits);
    mpfr_set_d(v, m, MPFR_RNDN);
    mpfr_mul_2si(v, v, e, MPFR_RNDN);
  }
  Exact& plus_pow2(long e) {  // v += 2^e (exact at 256 bits for the cases below)
    mpfr_t t;
    mpfr_init2(t, 64);
    mpfr_set_ui_2exp(t, 1, e, MPFR_RNDN);
    mpfr_add(v, v, t, MPFR_RNDN);
    mpfr_clear(t);
    return *this;
  }
  ~Exact() { mpfr_clear(v); }
};

float step_f(float x, int k) {
  for (; k > 0; --k) x = std::nextafter(x, HUGE_VALF);
  for (; k < 0; ++k) x = std::nextafter(x, -HUGE_VALF);
  return x;
}
double step_d(double x, int k) {
  for (; k > 0; --k) x = std::nextafter(x, HUGE_VAL);
  for (; k < 0; ++k) x = std::nextafter(x, -HUGE_VAL);
  return x;
}

// Steps of k representable numbers away from an exact representable value inside one binade
// are k ulps, also in the subnormal range.
struct StepCase {
  double start;
  int k;
};
class UlpMeterSteps : public ::testing::TestWithParam<StepCase> {};

TEST_P(UlpMeterSteps, NextafterStepsCountAsUlps) {
  const StepCase c = GetParam();
  const float sf = static_cast<float>(c.start);
  Exact ef(sf);
  const UlpError e1 = ulp_error(ef.v, step_f(sf, c.k));
  EXPECT_DOUBLE_EQ(e1.ulps, std::abs(c.k)) << "float from " << sf;
  EXPECT_EQ(e1.correctly_rounded, c.k == 0);
  Exact ed(c.start);
  const UlpError e2 = ulp_error(ed.v, step_d(c.start, c.k));
  EXPECT_DOUBLE_EQ(e2.ulps, std::abs(c.k)) << "double from " << c.start;
}

INSTANTIATE_TEST_SUITE_P(
    Binades, UlpMeterSteps,
    ::testing::Values(StepCase{1.0, 0}, StepCase{1.0, 1}, StepCase{1.0, 7}, StepCase{1.5, -3},
                      StepCase{-1.75, 2}, StepCase{3.0e38, 4}, StepCase{-3.0e38, -5},
                      StepCase{1.0e-40, 3}, StepCase{1.0e-40, -3}, StepCase{1.0e-310, 2},
                      StepCase{1.0e-320, -9}));

TEST(UlpMeter, UlpOfAPowerOfTwoIsTheSpacingAboveIt) {
  // The number just below 1 is half a spacing of the binade [1, 2) away from 1.
  Exact one(1.0);
  EXPECT_DOUBLE_EQ(ulp_error(one.v, std::nextafter(1.0f, 0.0f)).ulps, 0.5);
  EXPECT_DOUBLE_EQ(ulp_error(one.v, std::nextafter(1.0, 0.0)).ulps, 0.5);
  // Exact just below 1: measured in the spacing of [1/2, 1), so computed 1 is one such spacing.
  const float below = std::nextafter(1.0f, 0.0f);
  Exact b(below);
  EXPECT_DOUBLE_EQ(ulp_error(b.v, 1.0f).ulps, 1.0);
}

TEST(UlpMeter, SubnormalSpacingIsTheLeastSubnormal) {
  // Exact 3.25 * 2^-149: 3 and 4 least subnormals are 0.25 and 0.75 ulp away.
  Exact x(3.25, -149);
  EXPECT_DOUBLE_EQ(ulp_error(x.v, std::ldexp(3.0f, -149)).ulps, 0.25);
  EXPECT_TRUE(ulp_error(x.v, std::ldexp(3.0f, -149)).correctly_rounded);
  EXPECT_DOUBLE_EQ(ulp_error(x.v, std::ldexp(4.0f, -149)).ulps, 0.75);
  EXPECT_FALSE(ulp_error(x.v, std::ldexp(4.0f, -149)).correctly_rounded);
  Exact y(3.25, -1074);
  EXPECT_DOUBLE_EQ(ulp_error(y.v, std::ldexp(3.0, -1074)).ulps, 0.25);
  // Far below the least subnormal: 0 is the correct result, 0.4 ulp off.
  Exact tiny(0.4, -149);
  EXPECT_DOUBLE_EQ(ulp_error(tiny.v, 0.0f).ulps, 0.4);
  EXPECT_TRUE(ulp_error(tiny.v, 0.0f).correctly_rounded);
  // Just below the least normal: spacing is still 2^-149, not 2^-150.
  Exact edge(FLT_MIN);
  EXPECT_DOUBLE_EQ(ulp_error(edge.v, std::nextafter(FLT_MIN, 0.0f)).ulps, 1.0);
}

TEST(UlpMeter, ExactHalfUlpTiesToEven) {
  // 1 + 2^-24 lies halfway between 1 and 1 + 2^-23: both are 0.5 ulp off, 1 is the even one.
  Exact mid(1.0);
  mid.plus_pow2(-24);
  const UlpError lo = ulp_error(mid.v, 1.0f), hi = ulp_error(mid.v, 1.0f + 0x1p-23f);
  EXPECT_DOUBLE_EQ(lo.ulps, 0.5);
  EXPECT_DOUBLE_EQ(hi.ulps, 0.5);
  EXPECT_TRUE(lo.correctly_rounded);
  EXPECT_FALSE(hi.correctly_rounded);
  // Half the least subnormal ties to +0; a hair above it rounds up.
  Exact half(0.5, -149);
  EXPECT_TRUE(ulp_error(half.v, 0.0f).correctly_rounded);
  EXPECT_FALSE(ulp_error(half.v, std::ldexp(1.0f, -149)).correctly_rounded);
  Exact above(0.5, -149);
  above.plus_pow2(-400);
  EXPECT_TRUE(ulp_error(above.v, std::ldexp(1.0f, -149)).correctly_rounded);
  // Double: 1 + 2^-53 between 1 and 1 + 2^-52.
  Exact dmid(1.0);
  dmid.plus_pow2(-53);
  EXPECT_DOUBLE_EQ(ulp_error(dmid.v, 1.0).ulps, 0.5);
  EXPECT_TRUE(ulp_error(dmid.v, 1.0).correctly_rounded);
}

TEST(UlpMeter, SignedZeros) {
  Exact pz(0.0), nz(-0.0);
  EXPECT_EQ(ulp_error(pz.v, 0.0f).ulps, 0.0);
  EXPECT_EQ(ulp_error(nz.v, -0.0).ulps, 0.0);
  EXPECT_EQ(ulp_error(pz.v, -0.0f).ulps, kInf);
  EXPECT_EQ(ulp_error(nz.v, 0.0).ulps, kInf);
  EXPECT_DOUBLE_EQ(ulp_error(pz.v, std::ldexp(2.0f, -149)).ulps, 2.0);
  EXPECT_DOUBLE_EQ(ulp_error(pz.v, std::ldexp(1.0, -1074)).ulps, 1.0);
}

TEST(UlpMeter, InfinitiesAndOverflow) {
  // A finite exact value beyond the rounding threshold: computed +inf is exact.
  Exact big(1.0, 128);
  EXPECT_EQ(ulp_error(big.v, HUGE_VALF).ulps, 0.0);
  EXPECT_TRUE(ulp_error(big.v, HUGE_VALF).correctly_rounded);
  Exact dbig(1.0, 1024);
  EXPECT_EQ(ulp_error(dbig.v, HUGE_VAL).ulps, 0.0);
  EXPECT_EQ(ulp_error(dbig.v, -HUGE_VAL).ulps, kInf);
  // FLT_MAX + half its spacing ties to even, which is +inf (FLT_MAX has an odd significand).
  Exact tie(FLT_MAX);
  tie.plus_pow2(103);
  EXPECT_EQ(ulp_error(tie.v, HUGE_VALF).ulps, 0.0);
  EXPECT_DOUBLE_EQ(ulp_error(tie.v, FLT_MAX).ulps, 0.5);
  EXPECT_FALSE(ulp_error(tie.v, FLT_MAX).correctly_rounded);
  // Just under the threshold the exact value rounds to FLT_MAX: +inf is an infinite error.
  Exact under(FLT_MAX);
  under.plus_pow2(102);
  EXPECT_EQ(ulp_error(under.v, HUGE_VALF).ulps, kInf);
  EXPECT_DOUBLE_EQ(ulp_error(under.v, FLT_MAX).ulps, 0.25);
  // Exact infinities.
  Exact minf(-HUGE_VAL);
  EXPECT_EQ(ulp_error(minf.v, -HUGE_VALF).ulps, 0.0);
  EXPECT_EQ(ulp_error(minf.v, -FLT_MAX).ulps, kInf);
  EXPECT_EQ(ulp_error(minf.v, -DBL_MAX).ulps, kInf);
}

TEST(UlpMeter, NaNs) {
  Exact nan(std::numeric_limits<double>::quiet_NaN());
  const float fnan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(ulp_error(nan.v, fnan).ulps, 0.0);
  EXPECT_EQ(ulp_error(nan.v, 1.0f).ulps, kInf);
  EXPECT_EQ(ulp_error(nan.v, HUGE_VAL).ulps, kInf);
  Exact one(1.0);
  EXPECT_EQ(ulp_error(one.v, fnan).ulps, kInf);
  EXPECT_FALSE(ulp_error(one.v, fnan).correctly_rounded);
}

TEST(UlpMeter, FunctionFormEvaluatesWithMpfr) {
  EXPECT_EQ(ulp_error(mpfr_exp, 0.0f, 1.0f).ulps, 0.0);
  EXPECT_EQ(ulp_error(mpfr_log, 1.0, 0.0).ulps, 0.0);
  EXPECT_EQ(ulp_error(mpfr_log, 0.0, -HUGE_VAL).ulps, 0.0);
  EXPECT_EQ(ulp_error(mpfr_log, -1.0f, std::numeric_limits<float>::quiet_NaN()).ulps, 0.0);
  // exp(1) = 2.71828182845904523536...; the float neighbours of e are 2.7182817 and 2.718282.
  const float e_rn = 0x1.5bf0a8p+1f;
  EXPECT_TRUE(ulp_error(mpfr_exp, 1.0f, e_rn).correctly_rounded);
  EXPECT_LT(ulp_error(mpfr_exp, 1.0f, e_rn).ulps, 0.5);
  EXPECT_GT(ulp_error(mpfr_exp, 1.0f, std::nextafter(e_rn, 0.0f)).ulps, 0.5);
  EXPECT_EQ(qor::test::mpfr_reference(mpfr_exp, 1.0f), e_rn);
  // exp(-104) is below half the least subnormal: reference +0; exp(-103.9) is 2^-149.
  EXPECT_EQ(qor::test::mpfr_reference(mpfr_exp, -104.0f), 0.0f);
  EXPECT_EQ(qor::test::mpfr_reference(mpfr_exp, -103.9f), std::ldexp(1.0f, -149));
  EXPECT_EQ(qor::test::mpfr_reference(mpfr_exp, 709.8), HUGE_VAL);
}

TEST(UlpMeter, AccumulatorKeepsMaxMeanShareAndWorstInput) {
  qor::test::UlpAccumulator acc;
  acc.add(1.0, 10.0, UlpError{0.25, true});
  acc.add(2.0, 20.0, UlpError{0.75, false});
  acc.add(3.0, 30.0, UlpError{0.5, true});
  EXPECT_EQ(acc.count(), 3);
  EXPECT_DOUBLE_EQ(acc.max_ulps(), 0.75);
  EXPECT_DOUBLE_EQ(acc.mean_ulps(), 0.5);
  EXPECT_DOUBLE_EQ(acc.correctly_rounded_share(), 2.0 / 3.0);
  EXPECT_EQ(acc.worst_input(), 2.0);
  EXPECT_EQ(acc.worst_computed(), 20.0);
  qor::test::UlpAccumulator other;
  other.add(4.0, 40.0, UlpError{kInf, false});
  acc.merge(other);
  EXPECT_EQ(acc.max_ulps(), kInf);
  EXPECT_EQ(acc.worst_input(), 4.0);
  EXPECT_EQ(acc.count(), 4);
}

}  // namespace
