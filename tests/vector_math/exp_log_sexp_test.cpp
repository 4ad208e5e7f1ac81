// Single-precision exponential: its ordinary range, its thresholds and its subnormal results
// (the whole domain is in the accuracy test).
#include "accuracy_harness.h"

namespace {
using namespace vm_test;

TEST(SExp, OrdinaryRangeOfHAIsBelowSixTenthsUlp) {
  std::vector<float> xs = uniform<float>(-87.3, 88.7, qor::test::scaled(60000), 6);
  auto out = sweep<float>("sExp", mpfr_exp, xs, {{"HA", kernel<float>("Exp", HA), Contract::HA, 0.6}});
  EXPECT_GT(out[0].acc.correctly_rounded_share(), 0.9);
}

// Thresholds and special values: result class and status per flavour.
struct Edge {
  float x;
  int status_ha;  // status reported by HA and LA
  int status_ep;
};
class SExpEdges : public ::testing::TestWithParam<Edge> {};

TEST_P(SExpEdges, ResultAndStatus) {
  const Edge e = GetParam();
  struct K {
    SKernel k;
    int status;
  } ks[] = {{kernel<float>("Exp", HA), e.status_ha}, {kernel<float>("Exp", LA), e.status_ha},
            {kernel<float>("Exp", EP), e.status_ep}};
  for (const K& k : ks) {
    Recording rec;
    const float r = one(k.k, e.x);
    const float expect = qor::test::mpfr_reference(mpfr_exp, e.x);
    if (std::isnan(expect)) {
      EXPECT_TRUE(std::isnan(r)) << e.x;
    } else if (expect == 0 || std::isinf(expect)) {
      EXPECT_EQ(r, expect) << e.x;
    } else {
      EXPECT_NEAR(r, expect, std::fabs(expect) * 1e-3) << e.x;
    }
    if (k.status == 0) {
      EXPECT_TRUE(reports().empty()) << e.x;
    } else {
      ASSERT_EQ(reports().size(), 1u) << e.x;
      EXPECT_EQ(reports()[0].code, k.status) << e.x;
      EXPECT_EQ(qor_fnx_kernel_GetErrStatus(), k.status);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, SExpEdges,
    ::testing::Values(Edge{88.72283f, 0, 0},  // finite, just below FLT_MAX
                      Edge{88.72284f, 3, 3}, Edge{100.0f, 3, 3}, Edge{87.5f, 0, 0},
                      Edge{-87.0f, 0, 0},   // EP: still the vector formula, no report
                      Edge{-87.5f, 4, 4},   // subnormal result
                      Edge{-90.0f, 4, 4}, Edge{-104.0f, 4, 4}, Edge{-INFINITY, 0, 0},
                      Edge{INFINITY, 0, 0}, Edge{NAN, 0, 0}, Edge{0.0f, 0, 0}, Edge{-0.0f, 0, 0}));

TEST(SExp, SubnormalResultsAreCorrectlyRounded) {
  // HA and LA compute the underflow range in double and round once.
  const std::vector<float> xs = uniform<float>(-103.2, -87.4, qor::test::scaled(20000), 7);
  for (SKernel k : {kernel<float>("Exp", HA), kernel<float>("Exp", LA)}) {
    std::vector<float> r(xs.size());
    qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
    k(static_cast<int32_t>(xs.size()), xs.data(), r.data());
    qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
    for (size_t i = 0; i < xs.size(); ++i)
      ASSERT_EQ(r[i], qor::test::mpfr_reference(mpfr_exp, xs[i])) << "x = " << xs[i];
  }
}

}  // namespace
