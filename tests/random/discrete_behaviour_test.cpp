// Behaviour of the discrete distributions beyond their laws (discrete_fit_test.cpp checks those):
// reproducibility across split calls, the chunk set-ups (made on a parameter change, reused
// otherwise), the stream left untouched where nothing is drawn, refusals, allocation failure,
// the uniform-bits routines, and means and variances at extreme parameters.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "support/alloc_failure.h"
#include "random/distributions/discrete/discrete.h"
#include "rng_test_util.h"
#include "support/scale.h"

using qor::test::Stream;

namespace {

using Draw = std::function<int32_t(HoxStream, int32_t, int32_t*)>;

// A regime's call for n results starting at result `at` of a longer sequence (PoissonV takes
// its means from there).
struct Gen {
  std::string name;
  std::function<int32_t(HoxStream, int32_t, int32_t*, int32_t at)> draw;
};

std::vector<Gen> regimes() {
  static const std::vector<double> lambdas = [] {
    std::vector<double> v(4000);
    for (size_t i = 0; i < v.size(); ++i) v[i] = (i % 3 == 0) ? 2.5 : (i % 3 == 1) ? 80.0 : 1e6;
    return v;
  }();
  return {
      {"Bernoulli", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngBernoulli(0, s, n, r, 0.4); }},
      {"Geometric", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngGeometric(0, s, n, r, 0.1); }},
      {"BinomialCdf", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngBinomial(0, s, n, r, 50, 0.3); }},
      {"BinomialBtpe", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngBinomial(0, s, n, r, 5000, 0.7); }},
      {"PoissonTable", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngPoisson(0, s, n, r, 4.0); }},
      {"PoissonPtpe", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngPoisson(1, s, n, r, 400.0); }},
      {"PoissonV", [](HoxStream s, int32_t n, int32_t* r, int32_t at) { return _hoxiRngPoissonV(0, s, n, r, lambdas.data() + at); }},
      {"NegbinTable", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngNegbinomial(0, s, n, r, 3.0, 0.2); }},
      {"NegbinMixture", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngNegbinomial(0, s, n, r, 0.7, 1e-3); }},
      {"HyperTable", [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngHypergeometric(0, s, n, r, 500, 40, 100); }},
      {"HyperHrua",
       [](HoxStream s, int32_t n, int32_t* r, int32_t) { return _hoxiRngHypergeometric(0, s, n, r, 100000, 60000, 30000); }},
  };
}

double next_uniform(HoxStream s) {
  double u = -1;
  EXPECT_EQ(_hoxdRngUniform(0, s, 1, &u, 0.0, 1.0), 0);
  return u;
}

// A call for 3000 results gives the numbers of calls for 1, 7, 999, 1 and 1992 results, and
// leaves the stream at the same place: the rejection methods take no uniform they do not use.
TEST(DiscreteBehaviour, SplitCallsEqualOneCall) {
  for (const Gen& g : regimes()) {
    SCOPED_TRACE(g.name);
    Stream a(HOX_BRNG_MRG32K3A, {5, 6, 7}), b(HOX_BRNG_MRG32K3A, {5, 6, 7});
    std::vector<int32_t> one(3000), split(3000);
    ASSERT_EQ(g.draw(a, 3000, one.data(), 0), 0);
    int32_t done = 0;
    for (int32_t part : {1, 7, 999, 1, 1992}) {
      ASSERT_EQ(g.draw(b, part, split.data() + done, done), 0);
      done += part;
    }
    EXPECT_EQ(one, split);
    EXPECT_EQ(next_uniform(a), next_uniform(b));
  }
}

// The set-up chunks: made when the parameters differ from the chunk's, reused otherwise; a
// copied stream carries its chunk (and so makes no set-up for the same parameters).
TEST(DiscreteBehaviour, ChunkSetUpsMadeOnChangeOnly) {
  struct Kind {
    const char* name;
    int32_t kind;
    std::function<int32_t(HoxStream, int32_t*, int)> call;  // parameter set 0 or 1
  };
  const std::vector<Kind> kinds = {
      {"Binomial", qor::rng::dist::kBinomialChunk,
       [](HoxStream s, int32_t* r, int v) { return _hoxiRngBinomial(0, s, 16, r, v ? 1000 : 40, 0.25); }},
      {"BinomialBtpe", qor::rng::dist::kBinomialChunk,
       [](HoxStream s, int32_t* r, int v) { return _hoxiRngBinomial(0, s, 16, r, 1000, v ? 0.5 : 0.25); }},
      {"Poisson", qor::rng::dist::kPoissonChunk,
       [](HoxStream s, int32_t* r, int v) { return _hoxiRngPoisson(0, s, 16, r, v ? 7.5 : 3.0); }},
      {"Negbinomial", qor::rng::dist::kNegbinomialChunk,
       [](HoxStream s, int32_t* r, int v) { return _hoxiRngNegbinomial(0, s, 16, r, 2.0, v ? 0.5 : 0.25); }},
      {"Hypergeometric", qor::rng::dist::kHypergeometricChunk,
       [](HoxStream s, int32_t* r, int v) { return _hoxiRngHypergeometric(0, s, 16, r, 1000, 100, v ? 300 : 200); }},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    Stream s(HOX_BRNG_MCG59, {1});
    int32_t r[16];
    const int64_t start = qor::rng::dist::discrete_setups();
    for (int v : {0, 0, 0, 1, 1, 0}) ASSERT_EQ(k.call(s, r, v), 0);
    EXPECT_EQ(qor::rng::dist::discrete_setups() - start, 3);  // 0, then 1, then 0 again
    EXPECT_EQ(__hoxGetNumChunks(s), 1);                       // one chunk of the kind, replaced
    EXPECT_NE(__hoxSearchChunk(s, k.kind), nullptr);
    HoxStream copy = nullptr;
    ASSERT_EQ(__hoxCopyStream(&copy, s), 0);
    int32_t rc[16];
    ASSERT_EQ(k.call(s, r, 0), 0);
    ASSERT_EQ(k.call(copy, rc, 0), 0);
    EXPECT_EQ(qor::rng::dist::discrete_setups() - start, 3);
    EXPECT_EQ(std::vector<int32_t>(r, r + 16), std::vector<int32_t>(rc, rc + 16));
    __hoxDeleteStream(&copy);
  }
}

TEST(DiscreteBehaviour, EdgeCases) {
  Stream s(HOX_BRNG_MT19937, {42}), fresh(HOX_BRNG_MT19937, {42});
  std::vector<int32_t> r(100, -7);
  // Binomial with ntrial = 0: zeros, the stream (and its chunks) untouched.
  ASSERT_EQ(_hoxiRngBinomial(0, s, 100, r.data(), 0, 0.3), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 0));
  EXPECT_EQ(__hoxGetNumChunks(s), 0);
  EXPECT_EQ(next_uniform(s), next_uniform(fresh));
  // Bernoulli at p = 0 and 1; Binomial at p = 0 and 1; Poisson at 0; Hypergeometric with
  // nothing marked or everything sampled.
  ASSERT_EQ(_hoxiRngBernoulli(0, s, 100, r.data(), 0.0), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 0));
  ASSERT_EQ(_hoxiRngBernoulli(0, s, 100, r.data(), 1.0), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 1));
  ASSERT_EQ(_hoxiRngBinomial(0, s, 100, r.data(), 77, 0.0), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 0));
  ASSERT_EQ(_hoxiRngBinomial(0, s, 100, r.data(), INT32_MAX, 1.0), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, INT32_MAX));
  ASSERT_EQ(_hoxiRngPoisson(0, s, 100, r.data(), 0.0), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 0));
  ASSERT_EQ(_hoxiRngGeometric(0, s, 100, r.data(), 1.0), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 0));
  ASSERT_EQ(_hoxiRngHypergeometric(0, s, 100, r.data(), 50, 20, 0), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 0));
  ASSERT_EQ(_hoxiRngHypergeometric(0, s, 100, r.data(), 50, 50, 17), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, 17));
  // Discrete uniform on [a, a + 1).
  ASSERT_EQ(_hoxiRngUniform(0, s, 100, r.data(), -3, -2), 0);
  EXPECT_EQ(r, std::vector<int32_t>(100, -3));
}

// Refusals: bad parameters and unlisted methods return HOX_ERR_BAD_ARGUMENT, write nothing and
// leave the stream where it was.
TEST(DiscreteBehaviour, RefusalsDrawNothing) {
  const double nan = std::nan("");
  const double lam[2] = {1.0, -1.0};
  const std::vector<std::pair<std::string, std::function<int32_t(HoxStream, int32_t*)>>> bad = {
      {"Poisson method 2", [](HoxStream s, int32_t* r) { return _hoxiRngPoisson(2, s, 2, r, 5.0); }},
      {"Poisson method -1", [](HoxStream s, int32_t* r) { return _hoxiRngPoisson(-1, s, 2, r, 5.0); }},
      {"Poisson NaN", [=](HoxStream s, int32_t* r) { return _hoxiRngPoisson(0, s, 2, r, nan); }},
      {"Poisson negative", [](HoxStream s, int32_t* r) { return _hoxiRngPoisson(0, s, 2, r, -0.5); }},
      {"Poisson 3e9", [](HoxStream s, int32_t* r) { return _hoxiRngPoisson(0, s, 2, r, 3e9); }},
      {"PoissonV negative", [=](HoxStream s, int32_t* r) { return _hoxiRngPoissonV(0, s, 2, r, lam); }},
      {"PoissonV method 1", [=](HoxStream s, int32_t* r) { return _hoxiRngPoissonV(1, s, 1, r, lam); }},
      {"Bernoulli 1.5", [](HoxStream s, int32_t* r) { return _hoxiRngBernoulli(0, s, 2, r, 1.5); }},
      {"Bernoulli method 1", [](HoxStream s, int32_t* r) { return _hoxiRngBernoulli(1, s, 2, r, 0.5); }},
      {"Geometric 0", [](HoxStream s, int32_t* r) { return _hoxiRngGeometric(0, s, 2, r, 0.0); }},
      {"Binomial NaN", [=](HoxStream s, int32_t* r) { return _hoxiRngBinomial(0, s, 2, r, 10, nan); }},
      {"Binomial ntrial -1", [](HoxStream s, int32_t* r) { return _hoxiRngBinomial(0, s, 2, r, -1, 0.5); }},
      {"Binomial method 1", [](HoxStream s, int32_t* r) { return _hoxiRngBinomial(1, s, 2, r, 10, 0.5); }},
      {"Negbinomial a 0", [](HoxStream s, int32_t* r) { return _hoxiRngNegbinomial(0, s, 2, r, 0.0, 0.5); }},
      {"Negbinomial p 0", [](HoxStream s, int32_t* r) { return _hoxiRngNegbinomial(0, s, 2, r, 1.0, 0.0); }},
      {"Hypergeometric s > l", [](HoxStream s, int32_t* r) { return _hoxiRngHypergeometric(0, s, 2, r, 10, 11, 5); }},
      {"Hypergeometric m < 0", [](HoxStream s, int32_t* r) { return _hoxiRngHypergeometric(0, s, 2, r, 10, 5, -1); }},
  };
  for (const auto& [name, call] : bad) {
    SCOPED_TRACE(name);
    Stream s(HOX_BRNG_PHILOX4X32X10, {3}), fresh(HOX_BRNG_PHILOX4X32X10, {3});
    int32_t r[2] = {-9, -9};
    EXPECT_EQ(call(s, r), HOX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(r[0], -9);
    EXPECT_EQ(__hoxGetNumChunks(s), 0);
    EXPECT_EQ(next_uniform(s), next_uniform(fresh));
  }
}

// Allocation failure at the chunk set-ups: HOX_ERR_NO_MEMORY and nothing left allocated.
TEST(DiscreteBehaviour, AllocationFailure) {
  const std::vector<std::function<int32_t(HoxStream, int32_t*)>> calls = {
      [](HoxStream s, int32_t* r) { return _hoxiRngBinomial(0, s, 4, r, 100, 0.5); },
      [](HoxStream s, int32_t* r) { return _hoxiRngPoisson(0, s, 4, r, 5.0); },
      [](HoxStream s, int32_t* r) { return _hoxiRngNegbinomial(0, s, 4, r, 2.0, 0.5); },
      [](HoxStream s, int32_t* r) { return _hoxiRngHypergeometric(0, s, 4, r, 100, 20, 30); },
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE(i);
    const int sites = qor::test::sweep_allocation_failures(
        [&] {
          HoxStream s = nullptr;
          int32_t st = __hoxNewStreamEx(&s, HOX_BRNG_MCG31, 1, std::vector<uint32_t>{9}.data());
          int32_t r[4];
          if (st == 0) st = calls[i](s, r);
          if (s) __hoxDeleteStream(&s);
          return st;
        },
        HOX_ERR_NO_MEMORY);
    EXPECT_GE(sites, 2);  // the stream, then the chunk's blocks
  }
}

// Uniform bits on the rows the discrete generators rely on: MCG31M1 has none, MT19937's 64-bit
// words are its 32-bit words in pairs (2n words consumed), MCG59 gives bits 27..58.
TEST(DiscreteBehaviour, UniformBits) {
  {
    Stream s(HOX_BRNG_MCG31, {1}), fresh(HOX_BRNG_MCG31, {1});
    uint32_t r[4] = {5, 5, 5, 5};
    EXPECT_EQ(_hoxiRngUniformBits32(0, s, 4, r), HOX_ERR_BITS32_UNSUPPORTED);
    EXPECT_EQ(_hoxiRngUniformBits32(0, s, 4, r), -1014);
    EXPECT_EQ(r[0], 5u);
    EXPECT_EQ(next_uniform(s), next_uniform(fresh));
  }
  {
    Stream a(HOX_BRNG_MT19937, {77}), b(HOX_BRNG_MT19937, {77});
    uint64_t w[5];
    uint32_t v[10];
    ASSERT_EQ(_hoxiRngUniformBits64(0, a, 5, w), 0);
    ASSERT_EQ(_hoxiRngUniformBits(0, b, 10, v), 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w[i], uint64_t(v[2 * i]) | uint64_t(v[2 * i + 1]) << 32);
    EXPECT_EQ(next_uniform(a), next_uniform(b));
  }
  {
    Stream a(HOX_BRNG_MCG59, {123}), b(HOX_BRNG_MCG59, {123});
    uint32_t x[3];
    uint64_t raw[3];
    ASSERT_EQ(_hoxiRngUniformBits32(0, a, 3, x), 0);
    ASSERT_EQ(_hoxiRngUniformBits(0, b, 3, reinterpret_cast<uint32_t*>(raw)), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(x[i], uint32_t(raw[i] >> 27));
  }
}

// Means and variances at extreme parameters against the closed forms: |mean - mu| within
// 5.5 standard errors, the variance within 5.5 of its own standard errors (by the fourth
// moment of the normal approximation, sqrt(2 / N) relative, widened for skewed laws).
TEST(DiscreteBehaviour, MomentsAtExtremeParameters) {
  struct M {
    std::string name;
    Draw draw;
    double mean, var;
  };
  const double L = INT32_MAX;
  const std::vector<M> cases = {
      {"Binomial 2^31 0.5", [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngBinomial(0, s, n, r, INT32_MAX, 0.5); },
       L * 0.5, L * 0.25},
      {"Binomial 2^31 1e-9", [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngBinomial(0, s, n, r, INT32_MAX, 1e-9); },
       L * 1e-9, L * 1e-9 * (1 - 1e-9)},
      {"Binomial 2^31 1-2^-20",
       [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngBinomial(0, s, n, r, INT32_MAX, 1 - 0x1p-20); },
       L * (1 - 0x1p-20), L * 0x1p-20 * (1 - 0x1p-20)},
      {"Poisson 1e9", [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngPoisson(0, s, n, r, 1e9); }, 1e9, 1e9},
      {"Poisson 2e9", [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngPoisson(1, s, n, r, 2e9); }, 2e9, 2e9},
      {"Hypergeometric 2^31",
       [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngHypergeometric(0, s, n, r, INT32_MAX, INT32_MAX - 5, 1 << 30); },
       (L - 5) * (1 << 30) / L, (L - 5) * ((1 << 30) / L) * (1 - (1 << 30) / L) * 5 / (L - 1)},
      {"Hypergeometric 2^31 half",
       [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngHypergeometric(0, s, n, r, INT32_MAX, 1 << 30, 1 << 30); },
       double(1 << 30) * (1 << 30) / L, double(1 << 30) * ((1 << 30) / L) * (1 - (1 << 30) / L) * (L - (1 << 30)) / (L - 1)},
      {"Negbinomial mean 1e9",
       [](HoxStream s, int32_t n, int32_t* r) { return _hoxiRngNegbinomial(0, s, n, r, 50.0, 5e-8); },
       50 * (1 - 5e-8) / 5e-8, 50 * (1 - 5e-8) / (5e-8 * 5e-8)},
  };
  const int32_t n = int32_t(qor::test::scaled(100000, 5000));
  for (const M& c : cases) {
    SCOPED_TRACE(c.name);
    Stream s(HOX_BRNG_SFMT19937, {2026});
    std::vector<int32_t> x(n);
    ASSERT_EQ(c.draw(s, n, x.data()), 0);
    long double sum = 0, sq = 0;
    for (int32_t v : x) sum += (long double)v - c.mean;
    const long double mean = sum / n;
    for (int32_t v : x) sq += ((long double)v - c.mean - mean) * ((long double)v - c.mean - mean);
    const double var = double(sq / (n - 1));
    EXPECT_LT(std::fabs(double(mean)), 5.5 * std::sqrt(c.var / n)) << "mean " << double(mean) + c.mean;
    EXPECT_LT(std::fabs(var / c.var - 1), 5.5 * std::sqrt(3.0 / n)) << "variance " << var;
  }
  std::feclearexcept(FE_ALL_EXCEPT);  // long-double flags (see discrete_fit_test.cpp)
}

}  // namespace
