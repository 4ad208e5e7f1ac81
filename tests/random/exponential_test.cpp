// Exponential variates (double and single): goodness of fit, moments, accuracy against the
// same uniforms, independence of call splitting, the ln(0) value, failing draws, and the
// caller's floating-point and vector-math state around the call.
#include <gtest/gtest.h>

#include <xmmintrin.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

#include "qor/vm.h"
#include "rng_test_util.h"
#include "support/scale.h"

using qor::test::Gen;
using qor::test::Stream;

namespace {


// Both precisions behind one interface.
int32_t exponential(HoxStream s, int32_t n, double* r, double a, double beta) {
  return _hoxdRngExponential(0, s, n, r, a, beta);
}
int32_t exponential(HoxStream s, int32_t n, float* r, float a, float beta) {
  return _hoxsRngExponential(0, s, n, r, a, beta);
}
int32_t uniform(HoxStream s, int32_t n, double* r) { return _hoxdRngUniform(0, s, n, r, 0.0, 1.0); }
int32_t uniform(HoxStream s, int32_t n, float* r) { return _hoxsRngUniform(0, s, n, r, 0.0f, 1.0f); }

template <class T>
class Exponential : public ::testing::Test {};
using Precisions = ::testing::Types<double, float>;
class PrecisionName {
 public:
  template <class T>
  static std::string GetName(int) {
    return sizeof(T) == 8 ? "Double" : "Single";
  }
};
TYPED_TEST_SUITE(Exponential, Precisions, PrecisionName);

// Kolmogorov-Smirnov against F(x) = 1 - exp(-(x - a) / beta) and the first two moments
// (mean a + beta, variance beta^2), for every generator. Thresholds: a correct generator fails
// each with probability below 1e-6 (KS: P(sqrt(n) D > x) <= 2 exp(-2 x^2); moments: normal
// deviate 4.89 of the sample mean and variance).
TYPED_TEST(Exponential, FitsTheDistributionWithItsMoments) {
  using T = TypeParam;
  const int32_t n = int32_t(qor::test::scaled(200000, 20000));
  const double a = 1.5, beta = 2.0;
  for (const Gen& g : {Gen{"MCG31M1", HOX_BRNG_MCG31, {4321}}, Gen{"MCG59", HOX_BRNG_MCG59, {4321, 7}},
                       Gen{"MRG32K3A", HOX_BRNG_MRG32K3A, {4321, 1, 2, 3, 4, 5}}}) {
    SCOPED_TRACE(g.name);
    Stream s(g.brng, g.seed);
    std::vector<T> r(n);
    ASSERT_EQ(exponential(s, n, r.data(), T(a), T(beta)), 0);
    std::vector<double> x(r.begin(), r.end());
    std::sort(x.begin(), x.end());
    ASSERT_GE(x.front(), a);
    double d = 0, sum = 0;
    for (int32_t i = 0; i < n; ++i) {
      const double F = -std::expm1(-(x[i] - a) / beta);
      d = std::max({d, F - double(i) / n, double(i + 1) / n - F});
      sum += x[i];
    }
    EXPECT_LT(std::sqrt(double(n)) * d, std::sqrt(std::log(2.0 / 1e-6) / 2.0));
    const double mean = sum / n;
    double m2 = 0;
    for (double v : x) m2 += (v - mean) * (v - mean);
    const double var = m2 / (n - 1);
    EXPECT_NEAR(mean, a + beta, qor::test::kZ1e6 * beta / std::sqrt(double(n)));
    // Var(sample variance) = (mu4 - sigma^4) / n = 8 beta^4 / n for the exponential.
    EXPECT_NEAR(var, beta * beta, qor::test::kZ1e6 * std::sqrt(8.0 / n) * beta * beta);
  }
}

// Each result against a - beta ln u from the same uniforms with a long-double logarithm: the
// double generator runs the EP logarithm (at least 26 correct bits), the single one the LA
// logarithm (4 ulp); a - beta ln u with a, beta > 0 adds no cancellation.
TYPED_TEST(Exponential, MatchesTheSameUniformsWithinKernelAccuracy) {
  using T = TypeParam;
  const int32_t n = 5000;
  const T a = T(0.25), beta = T(3.0);
  const double tol = sizeof(T) == 8 ? 0x1p-25 : 0x1p-19;
  for (const Gen& g : {Gen{"MCG31M1", HOX_BRNG_MCG31, {99}}, Gen{"MRG32K3A", HOX_BRNG_MRG32K3A, {99, 1, 2, 3, 4, 5}}}) {
    Stream s(g.brng, g.seed), t(g.brng, g.seed);
    std::vector<T> r(n), u(n);
    ASSERT_EQ(exponential(s, n, r.data(), a, beta), 0);
    ASSERT_EQ(uniform(t, n, u.data()), 0);
    for (int32_t i = 0; i < n; ++i) {
      const long double want = (long double)a - (long double)beta * std::log((long double)u[i]);
      ASSERT_LE(std::fabs((long double)r[i] - want), tol * want) << g.name << " u = " << u[i];
    }
  }
}

// One call, or the same count in calls of any sizes (crossing the 1024-result blocks), gives
// the same numbers; n <= 0 writes nothing and draws nothing.
TYPED_TEST(Exponential, SequenceDoesNotDependOnHowItIsSplitIntoCalls) {
  using T = TypeParam;
  const int32_t n = 5000;
  for (const Gen& g : {Gen{"MCG59", HOX_BRNG_MCG59, {5}}, Gen{"MRG32K3A", HOX_BRNG_MRG32K3A, {5, 6, 7, 8, 9, 10}}}) {
    Stream whole(g.brng, g.seed), parts(g.brng, g.seed);
    std::vector<T> one(n), split(n, T(-1));
    ASSERT_EQ(exponential(whole, n, one.data(), T(-2), T(0.5)), 0);
    int32_t done = 0;
    for (int32_t m : {1, 1023, 0, 1025, 7, 2048, -3, 1000, 9999}) {
      m = std::min(m, n - done);
      ASSERT_EQ(exponential(parts, m, split.data() + done, T(-2), T(0.5)), 0);
      done += std::max(m, 0);
    }
    ASSERT_EQ(done, n);
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(one[i], split[i]) << g.name << " at " << i;
  }
}

// Abstract streams feed exact zeros: ln 0 becomes the logarithm of the smallest positive value
// of the precision through the generator's own callback, whatever callback the caller has.
double g_feed_value = 0.0;
template <class T>
int32_t feed_zeros(HoxStream, int32_t* n, T* buffer, int32_t*, int32_t*, int32_t* pos) {
  for (int32_t i = 0; i < *n; ++i) buffer[(*pos + i) % *n] = (i % 2) ? T(g_feed_value) : T(0);
  return *n;
}
int caller_callback(FnxErrorContext* c) {
  c->res1 = c->res2 = 12345.0;
  return 0;
}
int32_t new_abstract(HoxStream* s, int32_t n, double* b) { return __hoxdNewAbstractStream(s, n, b, 0.0, 1.0, feed_zeros<double>); }
int32_t new_abstract(HoxStream* s, int32_t n, float* b) { return __hoxsNewAbstractStream(s, n, b, 0.0f, 1.0f, feed_zeros<float>); }

TYPED_TEST(Exponential, ZeroUniformGivesTheSmallestLogarithm) {
  using T = TypeParam;
  g_feed_value = 0.5;
  T buffer[16];
  HoxStream s = nullptr;
  ASSERT_EQ(new_abstract(&s, 16, buffer), 0);
  const FnxErrorCallBack old = qor_fnx_kernel_SetErrorCallBack(caller_callback);
  const T a = T(0.25), beta = T(2.0);
  T r[40];
  ASSERT_EQ(exponential(s, 40, r, a, beta), 0);
  EXPECT_EQ(qor_fnx_kernel_GetErrorCallBack(), caller_callback);
  qor_fnx_kernel_SetErrorCallBack(old);
  // ln of the smallest subnormal: -1074 ln 2 in double, -149 ln 2 in single.
  const T lmin = T(std::log((long double)std::numeric_limits<T>::denorm_min()));
  EXPECT_EQ(lmin, sizeof(T) == 8 ? T(-744.4400719213812) : T(-103.2789306640625));
  for (int i = 0; i < 40; i += 2) ASSERT_EQ(r[i], a - beta * lmin) << i;
  for (int i = 1; i < 40; i += 2) ASSERT_NEAR(r[i], a + beta * std::log(2.0), 1e-5) << i;
  __hoxDeleteStream(&s);
}

// A failing uniform draw stops the generator with its status; the caller's state is back.
TYPED_TEST(Exponential, FailingDrawsReturnTheirStatus) {
  using T = TypeParam;
  HoxStream s = nullptr;
  uint32_t words[4];
  ASSERT_EQ(__hoxiNewAbstractStream(&s, 4, words, feed_zeros<uint32_t>), 0);
  const uint32_t mode = qor_fnx_kernel_GetMode();
  T r[3] = {T(7), T(7), T(7)};
  EXPECT_EQ(exponential(s, 3, r, T(0), T(1)), HOX_ERR_ABSTRACT_WRONG_TYPE);
  EXPECT_EQ(qor_fnx_kernel_GetMode(), mode);
  EXPECT_EQ(exponential(s, 0, r, T(0), T(1)), 0);
  EXPECT_EQ(exponential(s, -4, r, T(0), T(1)), 0);
  EXPECT_EQ(r[2], T(7));
  __hoxDeleteStream(&s);
}

// The caller's vector-math mode and callback, MXCSR (unusual rounding, an unmasked exception)
// and x87 control word (an unmasked exception, other rounding) are as they were after a call;
// exceptions raised inside stay raised as flags.
TYPED_TEST(Exponential, LeavesTheCallersStateAsItWas) {
  using T = TypeParam;
  Stream s(HOX_BRNG_MRG32K3A, {1, 2, 3, 4, 5, 6});
  std::vector<T> r(3000);
  const uint32_t mode = QOR_FNX_EP | QOR_FNX_ERRMODE_ERRNO | QOR_FNX_DENORMAL_FLUSH;
  const uint32_t old_mode = qor_fnx_kernel_SetMode(mode);
  const FnxErrorCallBack old_cb = qor_fnx_kernel_SetErrorCallBack(caller_callback);
  const uint32_t mode_with_cb = qor_fnx_kernel_GetMode();
  const unsigned csr = _mm_getcsr();
  uint16_t cw, cw_after;
  asm volatile("fnstcw %0" : "=m"(cw));
  const uint16_t my_cw = static_cast<uint16_t>((cw & ~0x0C04u) | 0x0C00u);  // zero-divide unmasked, round toward zero
  const unsigned my_csr = (csr & ~0x7FBFu) | 0x1D80u | 0x6000u;  // zero-divide unmasked, toward zero
  asm volatile("fldcw %0" : : "m"(my_cw));
  _mm_setcsr(my_csr);
  const int32_t status = exponential(s, int32_t(r.size()), r.data(), T(0), T(1));
  const unsigned csr_after = _mm_getcsr();
  _mm_setcsr(csr);
  asm volatile("fnstcw %0" : "=m"(cw_after));
  asm volatile("fldcw %0" : : "m"(cw));
  const uint32_t mode_after = qor_fnx_kernel_GetMode();
  const FnxErrorCallBack cb_after = qor_fnx_kernel_SetErrorCallBack(old_cb);
  qor_fnx_kernel_SetMode(old_mode);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(cw_after, my_cw);
  EXPECT_EQ(csr_after & ~0x3Fu, my_csr & ~0x3Fu);
  EXPECT_NE(csr_after & 0x20u, 0u) << "the inexact results leave their flag";
  EXPECT_EQ(mode_after, mode_with_cb);
  EXPECT_EQ(cb_after, caller_callback);
}

}  // namespace
