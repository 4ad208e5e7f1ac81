// Goodness of fit of the continuous distributions, double and single, against their exact
// distribution functions (closed forms; Gamma and Beta through the regularised incomplete
// functions computed here independently of the library): every method and every regime of
// the shape parameters, on both sides of each switch point. Fixed seeds; see fit_util.h for
// the statistics and thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fit_util.h"

using qor::test::expect_fits;
using qor::test::Phi;
using qor::test::Stream;

namespace {

// One case: the generator call for each precision and the distribution function.
struct Case {
  std::string name;
  std::function<int32_t(HoxStream, int32_t, double*)> d;
  std::function<int32_t(HoxStream, int32_t, float*)> s;
  std::function<double(double)> F;
  int32_t divisor = 1;  // draws are fit_count() / divisor
};
std::ostream& operator<<(std::ostream& o, const Case& c) { return o << c.name; }

// The same call in both precisions: `CALL(P, T)` expands with P = d or s and T the type.
#define BOTH(CALL) \
  [=](HoxStream st, int32_t n, double* r) { return CALL(d, double); }, [=](HoxStream st, int32_t n, float* r) { return CALL(s, float); }

// The inverse error function kernel costs several microseconds per element (extended-precision
// iterations), so its cases draw a twentieth of the count (50,000 natively).
constexpr int32_t kSlowKernel = 20;

std::vector<Case> cases() {
  std::vector<Case> v;
  for (int method : {0, 1, 2}) {
#define G(P, T) _hox##P##RngGaussian(method, st, n, r, T(1.5), T(2))
    v.push_back({"Gaussian" + std::to_string(method), BOTH(G), [](double x) { return Phi((x - 1.5) / 2); },
                 method == 2 ? kSlowKernel : 1});
#undef G
  }
#define L(P, T) _hox##P##RngLaplace(0, st, n, r, T(-1), T(0.5))
  v.push_back({"Laplace", BOTH(L), [](double x) {
                 const double t = (x + 1) / 0.5;
                 return t < 0 ? 0.5 * std::exp(t) : 1 - 0.5 * std::exp(-t);
               }});
#undef L
  for (double alpha : {0.5, 1.0, 3.25}) {
#define W(P, T) _hox##P##RngWeibull(0, st, n, r, T(alpha), T(2), T(1.5))
    v.push_back({"Weibull" + std::to_string(alpha), BOTH(W),
                 [alpha](double x) { return x <= 2 ? 0.0 : -std::expm1(-std::pow((x - 2) / 1.5, alpha)); }});
#undef W
  }
#define C(P, T) _hox##P##RngCauchy(0, st, n, r, T(0.5), T(2))
  v.push_back({"Cauchy", BOTH(C), [](double x) { return 0.5 + std::atan((x - 0.5) / 2) / M_PI; }});
#undef C
#define R(P, T) _hox##P##RngRayleigh(0, st, n, r, T(1), T(0.75))
  v.push_back({"Rayleigh", BOTH(R), [](double x) { return x <= 1 ? 0.0 : -std::expm1(-std::pow((x - 1) / 0.75, 2)); }});
#undef R
  for (int method : {0, 1}) {
#define LN(P, T) _hox##P##RngLognormal(method, st, n, r, T(0.25), T(0.75), T(1), T(2))
    v.push_back({"Lognormal" + std::to_string(method), BOTH(LN),
                 [](double x) { return x <= 1 ? 0.0 : Phi((std::log((x - 1) / 2) - 0.25) / 0.75); },
                 method == 0 ? 1 : kSlowKernel});
#undef LN
  }
#define GU(P, T) _hox##P##RngGumbel(0, st, n, r, T(3), T(0.5))
  v.push_back({"Gumbel", BOTH(GU), [](double x) { return -std::expm1(-std::exp((x - 3) / 0.5)); }});
#undef GU
  return v;
}

class Fit : public ::testing::TestWithParam<Case> {};

TEST_P(Fit, Double) {
  const Case& c = GetParam();
  Stream s(HOX_BRNG_MRG32K3A, {20261206, 1, 2, 3, 4, 5});
  std::vector<double> r(qor::test::fit_count() / c.divisor);
  ASSERT_EQ(c.d(s, int32_t(r.size()), r.data()), 0);
  expect_fits(r, c.F);
}

TEST_P(Fit, Single) {
  const Case& c = GetParam();
  Stream s(HOX_BRNG_MT19937, {20261206});
  std::vector<float> r(qor::test::fit_count() / c.divisor);
  ASSERT_EQ(c.s(s, int32_t(r.size()), r.data()), 0);
  expect_fits(r, c.F);
}

INSTANTIATE_TEST_SUITE_P(Continuous, Fit, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& i) {
                           std::string n = i.param.name;
                           for (char& ch : n)
                             if (!isalnum((unsigned char)ch)) ch = '_';
                           return n;
                         });

}  // namespace

// Gamma and Beta: the cells are placed in x (their distribution functions are costly).
namespace {

struct ShapeCase {
  std::string name;
  double s1, s2;  // Gamma: alpha, -; Beta: p, q
  bool beta;
};

class ShapeFit : public ::testing::TestWithParam<ShapeCase> {};

std::map<std::string, std::vector<double>>& standard_edges() {
  static std::map<std::string, std::vector<double>> edges;
  return edges;
}

template <class T>
void shape_fit(const ShapeCase& c, HoxStream st) {
  std::vector<T> r(qor::test::fit_count());
  const int32_t n = int32_t(r.size());
  // Single precision at shift 0: with a shift, a + beta x rounds the tiny variates of the shapes
  // below 1 (much of their mass) onto the coarse floats next to a.
  const T a = sizeof(T) == 8 ? T(-1) : T(0), beta = T(2.5);
  // Cell edges of the standard variate, computed once per case (for both precisions) and
  // shifted and scaled here.
  std::vector<double>& e = standard_edges()[c.name];
  const double p = c.s1, q = c.s2;
  const double top = c.beta ? 1.0 : p + 40 * std::sqrt(p) + 60;
  if (e.empty()) {
    if (c.beta)
      e = qor::test::cell_edges([=](double x) { return qor::test::beta_i(p, q, x); }, 0.0, 1.0);
    else
      e = qor::test::cell_edges([=](double x) { return qor::test::gamma_p(p, x); }, 0.0, top);
  }
  std::vector<double> edges(e.size());
  for (size_t i = 0; i < e.size(); ++i) edges[i] = double(a) + double(beta) * e[i];
  if (c.beta) {
    if constexpr (sizeof(T) == 8)
      ASSERT_EQ(_hoxdRngBeta(0, st, n, r.data(), c.s1, c.s2, a, beta), 0);
    else
      ASSERT_EQ(_hoxsRngBeta(0, st, n, r.data(), float(c.s1), float(c.s2), a, beta), 0);
  } else {
    if constexpr (sizeof(T) == 8)
      ASSERT_EQ(_hoxdRngGamma(0, st, n, r.data(), c.s1, a, beta), 0);
    else
      ASSERT_EQ(_hoxsRngGamma(0, st, n, r.data(), float(c.s1), a, beta), 0);
  }
  qor::test::expect_fits_by_edges(r, edges, double(a), double(a) + double(beta) * top);
}

TEST_P(ShapeFit, Double) {
  Stream s(HOX_BRNG_MRG32K3A, {777, 1, 2, 3, 4, 5});
  shape_fit<double>(GetParam(), s);
}
TEST_P(ShapeFit, Single) {
  Stream s(HOX_BRNG_MT19937, {777});
  shape_fit<float>(GetParam(), s);
}

// Gamma on both sides of 0.6 and 1; Beta in the four quadrants of (p, q), on both sides of
// Johnk's switch t = 0.852 p^2 + q - 0.956 = 0 (q = 0.74 and 0.76 at p = 0.5), at p = 1, q = 1.
INSTANTIATE_TEST_SUITE_P(Continuous, ShapeFit,
                         ::testing::Values(ShapeCase{"Gamma0_3", 0.3, 0, false}, ShapeCase{"Gamma0_59", 0.59, 0, false},
                                           ShapeCase{"Gamma0_6", 0.6, 0, false}, ShapeCase{"Gamma0_9", 0.9, 0, false},
                                           ShapeCase{"Gamma1", 1, 0, false}, ShapeCase{"Gamma1_5", 1.5, 0, false},
                                           ShapeCase{"Gamma30", 30, 0, false},
                                           ShapeCase{"BetaJohnk", 0.3, 0.4, true},
                                           ShapeCase{"BetaJohnkEdge", 0.5, 0.74, true},
                                           ShapeCase{"BetaAtkinson1Edge", 0.5, 0.76, true},
                                           ShapeCase{"BetaAtkinson1", 0.8, 0.9, true},
                                           ShapeCase{"BetaAtkinson2", 0.5, 3, true},
                                           ShapeCase{"BetaAtkinson2Flip", 2.5, 0.6, true},
                                           ShapeCase{"BetaCheng", 2, 3, true}, ShapeCase{"BetaCheng2", 1.1, 40, true},
                                           ShapeCase{"BetaP1", 1, 2.5, true}, ShapeCase{"BetaQ1", 0.7, 1, true},
                                           ShapeCase{"BetaP1Q1", 1, 1, true}),
                         [](const ::testing::TestParamInfo<ShapeCase>& i) { return i.param.name; });

}  // namespace
