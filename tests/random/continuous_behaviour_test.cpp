// Behaviour of the continuous distributions beyond their fit: the Gaussian pair method's saved
// pair (two n = 1 calls, calls with n <= 0, save and load), calls split any way giving one
// call's numbers, refused methods drawing nothing, the values given to exact zeros and to the
// end of the interval, Weibull with shape 1 against Exponential, and allocation failure of the
// pair chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "qor/vm.h"
#include "rng_test_util.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

using qor::test::Stream;

namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559L;

// Two n = 1 calls of the pair method: the sine and then the cosine result of one pair (checked
// against the pair's uniforms from a twin stream, in long double, within the EP kernels'
// accuracy); calls with n <= 0 in between keep the pair; the next pair follows.
TEST(GaussianPairs, TwoSingleCallsGiveBothResultsOfOnePair) {
  Stream s(HOX_BRNG_MRG32K3A, {11, 2, 3, 4, 5, 6}), t(HOX_BRNG_MRG32K3A, {11, 2, 3, 4, 5, 6});
  double u[4], r[4] = {9, 9, 9, 9};
  ASSERT_EQ(_hoxdRngUniform(0, t, 4, u, 0.0, 1.0), 0);
  ASSERT_EQ(_hoxdRngGaussian(1, s, 1, r, 0.5, 2.0), 0);
  const double* saved = static_cast<const double*>(__hoxSearchChunk(s, 2));
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved[0], u[0]);
  EXPECT_EQ(saved[1], u[1]);
  EXPECT_EQ(_hoxdRngGaussian(1, s, 0, r + 1, 0.5, 2.0), 0);
  EXPECT_EQ(_hoxdRngGaussian(1, s, -5, r + 1, 0.5, 2.0), 0);
  EXPECT_EQ(r[1], 9.0);
  ASSERT_EQ(_hoxdRngGaussian(1, s, 1, r + 1, 0.5, 2.0), 0);
  EXPECT_EQ(saved[0], -1.0);
  ASSERT_EQ(_hoxdRngGaussian(1, s, 2, r + 2, 0.5, 2.0), 0);
  EXPECT_EQ(saved[0], -1.0);
  for (int p = 0; p < 2; ++p) {
    const long double rad = std::sqrt(-2.0L * std::log((long double)u[2 * p]));
    const long double ang = kTwoPi * u[2 * p + 1];
    EXPECT_NEAR(r[2 * p], 0.5L + 2.0L * rad * std::sin(ang), 1e-6) << p;
    EXPECT_NEAR(r[2 * p + 1], 0.5L + 2.0L * rad * std::cos(ang), 1e-6) << p;
  }
  EXPECT_EQ(__hoxGetNumChunks(s), 1);
}

// A stream saved after an odd-length pair call carries the pair: the loaded stream continues
// with the cosine result.
TEST(GaussianPairs, SavedPairTravelsWithTheStreamImage) {
  Stream s(HOX_BRNG_MT19937, {5});
  std::vector<double> r(7);
  ASSERT_EQ(_hoxdRngGaussian(1, s, 3, r.data(), 0.0, 1.0), 0);
  std::vector<char> image(__hoxGetStreamSize(s));
  ASSERT_EQ(__hoxSaveStreamM(s, image.data()), 0);
  ASSERT_EQ(_hoxdRngGaussian(1, s, 4, r.data() + 3, 0.0, 1.0), 0);
  Stream loaded;
  ASSERT_EQ(__hoxLoadStreamM(&loaded.s, image.data()), 0);
  std::vector<double> again(4);
  ASSERT_EQ(_hoxdRngGaussian(1, loaded, 4, again.data(), 0.0, 1.0), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(again[i], r[3 + i]) << i;
}

// Every generator and method in both precisions: one call and the same count in calls of any
// sizes (odd ones leave Gaussian pairs saved; blocks of 1024 crossed) give the same numbers.
template <class T>
using Gen = std::function<int32_t(HoxStream, int32_t, T*)>;

template <class T>
std::vector<std::pair<std::string, Gen<T>>> generators();

#define QOR_GENERATORS(P, T)                                                                                     \
  template <>                                                                                                    \
  std::vector<std::pair<std::string, Gen<T>>> generators<T>() {                                                  \
    std::vector<std::pair<std::string, Gen<T>>> v;                                                               \
    for (int m : {0, 1, 2})                                                                                      \
      v.push_back({"Gaussian" + std::to_string(m),                                                              \
                   [m](HoxStream s, int32_t n, T* r) { return _hox##P##RngGaussian(m, s, n, r, T(1), T(3)); }}); \
    for (int m : {0, 1})                                                                                         \
      v.push_back({"Lognormal" + std::to_string(m), [m](HoxStream s, int32_t n, T* r) {                          \
                     return _hox##P##RngLognormal(m, s, n, r, T(0), T(0.5), T(1), T(1));                         \
                   }});                                                                                          \
    v.push_back({"Laplace", [](HoxStream s, int32_t n, T* r) { return _hox##P##RngLaplace(0, s, n, r, T(1), T(2)); }}); \
    v.push_back({"Weibull", [](HoxStream s, int32_t n, T* r) { return _hox##P##RngWeibull(0, s, n, r, T(2.5), T(1), T(2)); }}); \
    v.push_back({"Cauchy", [](HoxStream s, int32_t n, T* r) { return _hox##P##RngCauchy(0, s, n, r, T(1), T(2)); }}); \
    v.push_back({"Rayleigh", [](HoxStream s, int32_t n, T* r) { return _hox##P##RngRayleigh(0, s, n, r, T(1), T(2)); }}); \
    v.push_back({"Gumbel", [](HoxStream s, int32_t n, T* r) { return _hox##P##RngGumbel(0, s, n, r, T(1), T(2)); }}); \
    for (double al : {0.3, 0.8, 1.0, 2.5, 30.0})                                                                 \
      v.push_back({"Gamma" + std::to_string(al), [al](HoxStream s, int32_t n, T* r) {                            \
                     return _hox##P##RngGamma(0, s, n, r, T(al), T(1), T(2));                                    \
                   }});                                                                                          \
    for (auto [p, q] : {std::pair{0.3, 0.4}, {0.8, 0.9}, {0.5, 3.0}, {2.5, 0.6}, {2.0, 3.0}, {1.0, 2.0}, {0.5, 1.0}}) \
      v.push_back({"Beta" + std::to_string(p) + "," + std::to_string(q), [p, q](HoxStream s, int32_t n, T* r) {  \
                     return _hox##P##RngBeta(0, s, n, r, T(p), T(q), T(1), T(2));                                \
                   }});                                                                                          \
    return v;                                                                                                    \
  }
QOR_GENERATORS(d, double)
QOR_GENERATORS(s, float)
#undef QOR_GENERATORS

template <class T>
void check_split_calls() {
  const int32_t n = int32_t(qor::test::scaled(5000, 2500));  // still crossing blocks of 1024
  for (const auto& [name, gen] : generators<T>()) {
    SCOPED_TRACE(name);
    Stream whole(HOX_BRNG_MRG32K3A, {3, 1, 4, 1, 5, 9}), parts(HOX_BRNG_MRG32K3A, {3, 1, 4, 1, 5, 9});
    std::vector<T> one(n), split(n, T(-7));
    ASSERT_EQ(gen(whole, n, one.data()), 0);
    int32_t done = 0;
    for (int32_t m : {1, 1, 3, 1022, 0, 1025, 7, 2048, -3, 999, 9999}) {
      m = std::min(m, n - done);
      ASSERT_EQ(gen(parts, m, split.data() + done), 0);
      done += std::max(m, 0);
    }
    ASSERT_EQ(done, n);
    for (int32_t i = 0; i < n; ++i) ASSERT_EQ(one[i], split[i]) << "at " << i;
  }
}
TEST(ContinuousCalls, SplitCallsGiveOneCallsNumbersDouble) { check_split_calls<double>(); }
TEST(ContinuousCalls, SplitCallsGiveOneCallsNumbersSingle) { check_split_calls<float>(); }

// Gaussian methods outside 0..2 are refused: nothing written, nothing drawn, no chunk made.
TEST(ContinuousCalls, UnknownGaussianMethodsDrawNothing) {
  Stream s(HOX_BRNG_MCG59, {8}), t(HOX_BRNG_MCG59, {8});
  for (int32_t m : {-1, 3, 4, 0x40000000, 0x40000001}) {
    double r[2] = {5, 5};
    float f[2] = {5, 5};
    EXPECT_EQ(_hoxdRngGaussian(m, s, 2, r, 0.0, 1.0), HOX_ERR_BAD_ARGUMENT) << m;
    EXPECT_EQ(_hoxsRngGaussian(m, s, 2, f, 0.0f, 1.0f), HOX_ERR_BAD_ARGUMENT) << m;
    EXPECT_EQ(r[0], 5.0);
    EXPECT_EQ(f[1], 5.0f);
  }
  EXPECT_EQ(__hoxGetNumChunks(s), 0);
  double a, b;
  ASSERT_EQ(_hoxdRngUniform(0, s, 1, &a, 0.0, 1.0), 0);
  ASSERT_EQ(_hoxdRngUniform(0, t, 1, &b, 0.0, 1.0), 0);
  EXPECT_EQ(a, b);
  // Null results and null streams.
  EXPECT_EQ(_hoxdRngGaussian(1, s, 3, nullptr, 0.0, 1.0), HOX_ERR_BAD_ARGUMENT);
  double r[3];
  EXPECT_EQ(_hoxdRngGaussian(1, nullptr, 3, r, 0.0, 1.0), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(_hoxdRngGaussian(0, nullptr, 3, r, 0.0, 1.0), HOX_ERR_INVALID_BRNG);
}

// Weibull with shape 1 skips the power: the numbers of Exponential with the same a, beta.
TEST(ContinuousCalls, WeibullShapeOneIsExponential) {
  Stream s(HOX_BRNG_MRG32K3A, {9, 9, 9, 9, 9, 9}), t(HOX_BRNG_MRG32K3A, {9, 9, 9, 9, 9, 9});
  std::vector<double> w(3000), e(3000);
  std::vector<float> ws(3000), es(3000);
  ASSERT_EQ(_hoxdRngWeibull(0, s, 3000, w.data(), 1.0, -1.0, 2.5), 0);
  ASSERT_EQ(_hoxdRngExponential(0, t, 3000, e.data(), -1.0, 2.5), 0);
  ASSERT_EQ(_hoxsRngWeibull(0, s, 3000, ws.data(), 1.0f, -1.0f, 2.5f), 0);
  ASSERT_EQ(_hoxsRngExponential(0, t, 3000, es.data(), -1.0f, 2.5f), 0);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(w[i], e[i]) << i;
    ASSERT_EQ(ws[i], es[i]) << i;
  }
}

// Gamma with shape 1 is Exponential: n uniforms for n results. Beta with p = q = 1 gives
// a + beta (1 - u) for the stream's uniforms. Marsaglia-Tsang after an odd count keeps its pair
// in the kind-7 chunk.
TEST(ContinuousCalls, GammaAndBetaSpecialShapes) {
  Stream s(HOX_BRNG_MCG31, {77}), t(HOX_BRNG_MCG31, {77});
  std::vector<double> g(1001), e(1001), u(1001);
  ASSERT_EQ(_hoxdRngGamma(0, s, 1001, g.data(), 1.0, 0.5, 3.0), 0);
  ASSERT_EQ(_hoxdRngExponential(0, t, 1001, e.data(), 0.5, 3.0), 0);
  for (int i = 0; i < 1001; ++i) ASSERT_EQ(g[i], e[i]) << i;
  ASSERT_EQ(_hoxdRngBeta(0, s, 1001, g.data(), 1.0, 1.0, 0.5, 3.0), 0);
  ASSERT_EQ(_hoxdRngUniform(0, t, 1001, u.data(), 0.0, 1.0), 0);
  for (int i = 0; i < 1001; ++i) ASSERT_EQ(g[i], 0.5 + 3.0 * (1.0 - u[i])) << i;
  std::vector<float> f(3);
  ASSERT_EQ(_hoxsRngGamma(0, s, 3, f.data(), 4.5f, 0.0f, 1.0f), 0);
  const double* pair = static_cast<const double*>(__hoxSearchChunk(s, 7));
  ASSERT_NE(pair, nullptr);
  EXPECT_NE(pair[0], -1.0);
  EXPECT_EQ(__hoxSearchChunk(s, 2), nullptr);
}

// Shapes no method ends on are refused and draw nothing; a NaN shape of Beta gives uniform
// results on [a, a + beta].
TEST(ContinuousCalls, GammaAndBetaShapesOutsideTheirRange) {
  Stream s(HOX_BRNG_MRG32K3A, {1, 1, 1, 1, 1, 1}), t(HOX_BRNG_MRG32K3A, {1, 1, 1, 1, 1, 1});
  double r[4] = {7, 7, 7, 7}, u[4];
  for (double bad : {0.0, -1.0, double(NAN), double(INFINITY)}) {
    EXPECT_EQ(_hoxdRngGamma(0, s, 4, r, bad, 0.0, 1.0), HOX_ERR_BAD_ARGUMENT) << bad;
    if (!std::isnan(bad)) {
      EXPECT_EQ(_hoxdRngBeta(0, s, 4, r, 2.0, 1e308, 0.0, 1.0), HOX_ERR_BAD_ARGUMENT);
      EXPECT_EQ(_hoxdRngBeta(0, s, 4, r, bad, 2.0, 0.0, 1.0), HOX_ERR_BAD_ARGUMENT) << bad;
      EXPECT_EQ(_hoxdRngBeta(0, s, 4, r, 0.5, bad, 0.0, 1.0), HOX_ERR_BAD_ARGUMENT) << bad;
    }
  }
  EXPECT_EQ(r[0], 7.0);
  ASSERT_EQ(_hoxdRngBeta(0, s, 4, r, NAN, 2.0, 1.0, 2.0), 0);
  ASSERT_EQ(_hoxdRngUniform(0, t, 4, u, 1.0, 3.0), 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r[i], u[i]);
  EXPECT_EQ(_hoxdRngGamma(0, s, 2, nullptr, 2.0, 0.0, 1.0), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(_hoxdRngBeta(0, nullptr, 2, r, 2.0, 2.0, 0.0, 1.0), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(_hoxdRngGamma(0, nullptr, 2, r, 2.0, 0.0, 1.0), HOX_ERR_INVALID_BRNG);
}

// Exact zeros from an abstract stream: u1 = 0 gives sqrt(-2 ln u1) with ln 0 the logarithm of
// the smallest positive value; the inverse error function of the interval's start -1 gives the
// Gaussian callback's -5.8635847487551676 (single: -3.832507); the caller's callback is back.
template <class T>
int32_t zeros(HoxStream, int32_t* n, T* buffer, int32_t*, int32_t*, int32_t* pos) {
  for (int32_t i = 0; i < *n; ++i) buffer[(*pos + i) % *n] = (i % 2) ? T(0.25) : T(0);
  return *n;
}
int caller_callback(FnxErrorContext* c) {
  c->res1 = 4321.0;
  return 0;
}

TEST(ContinuousCalls, ZeroUniformsGiveTheCallbackValues) {
  double buffer[8];
  float sbuffer[8];
  HoxStream s = nullptr, f = nullptr;
  ASSERT_EQ(__hoxdNewAbstractStream(&s, 8, buffer, 0.0, 1.0, zeros<double>), 0);
  ASSERT_EQ(__hoxsNewAbstractStream(&f, 8, sbuffer, 0.0f, 1.0f, zeros<float>), 0);
  const FnxErrorCallBack old = qor_fnx_kernel_SetErrorCallBack(caller_callback);
  double r[4];
  float q[4];
  ASSERT_EQ(_hoxdRngGaussian(0, s, 2, r, 1.0, 2.0), 0);
  // sqrt(2 * 744.44...) * sin(pi / 2)
  EXPECT_NEAR(r[0], 1.0 + 2.0 * std::sqrt(2 * 744.4400719213812), 1e-9);
  ASSERT_EQ(_hoxdRngGaussian(2, s, 2, r, 1.0, 2.0), 0);
  EXPECT_EQ(r[0], 1.0 + 2.0 * std::sqrt(2.0) * -5.8635847487551676);
  ASSERT_EQ(_hoxsRngGaussian(2, f, 2, q, 1.0f, 2.0f), 0);
  EXPECT_EQ(q[0], 1.0f + 2.0f * 1.41421354f * -3.832507f);
  ASSERT_EQ(_hoxdRngRayleigh(0, s, 2, r, 1.0, 2.0), 0);
  EXPECT_NEAR(r[0], 1.0 + 2.0 * std::sqrt(744.4400719213812), 1e-9);
  EXPECT_EQ(qor_fnx_kernel_GetErrorCallBack(), caller_callback);
  qor_fnx_kernel_SetErrorCallBack(old);
  __hoxDeleteStream(&s);
  __hoxDeleteStream(&f);
}

// The pair chunk's allocation failing (and the stream's own) gives HOX_ERR_NO_MEMORY, leaves
// nothing allocated, and the chunk is made on the next call.
TEST(GaussianPairs, ChunkAllocationFailure) {
  const int sites = qor::test::sweep_allocation_failures(
      [] {
        HoxStream s = nullptr;
        uint32_t seed = 1;
        int32_t status = __hoxNewStreamEx(&s, HOX_BRNG_MCG31, 1, &seed);
        double r[3];
        if (status == 0) status = _hoxdRngGaussian(1, s, 3, r, 0.0, 1.0);
        if (s) __hoxDeleteStream(&s);
        return status;
      },
      HOX_ERR_NO_MEMORY);
  EXPECT_EQ(sites, 3);  // the stream, the pair's block, the chunk record
}

}  // namespace
