// LGamma, TGamma and ExpInt1: poles, domain, overflow and underflow statuses in every slot, and
// the hard regions against MPFR: lgamma through each negative zero a double can come near (found
// here by bisection on MPFR's lgamma) and across the points where its evaluation changes
// formula, Gamma near its poles and its overflow and underflow thresholds, E1 near 0, around
// the branch point of the single-precision routine and up to the underflow threshold.
#include "special_cases.h"

namespace {
using namespace vm_test;

TEST(GammaExpInt1, PolesDomainAndLimitsInEverySlot) {
  check_specials({
      {"LGamma", 0.0, INFINITY, 2},    {"LGamma", -0.0, INFINITY, 2},  {"LGamma", -3.0, INFINITY, 2},
      {"LGamma", -0x1p40, INFINITY, 2}, {"LGamma", INFINITY, INFINITY, 0}, {"LGamma", -INFINITY, INFINITY, 0},
      {"LGamma", NAN, NAN, 0},         {"LGamma", 1.0, 0.0, 0},        {"LGamma", 2.0, 0.0, 0},
      {"TGamma", 0.0, INFINITY, 2},    {"TGamma", -0.0, -INFINITY, 2}, {"TGamma", -1.0, NAN, 1},
      {"TGamma", -0x1p40, NAN, 1},     {"TGamma", -INFINITY, NAN, 1},  {"TGamma", INFINITY, INFINITY, 0},
      {"TGamma", NAN, NAN, 0},         {"TGamma", 5.0, 24.0, 0},       {"TGamma", 200.0, INFINITY, 3},
      {"TGamma", -200.5, -0.0, 4},     {"TGamma", -201.5, 0.0, 4},     {"ExpInt1", 0.0, INFINITY, 2},
      {"ExpInt1", -0.0, INFINITY, 2},  {"ExpInt1", -1.0, NAN, 1},      {"ExpInt1", -INFINITY, NAN, 1},
      {"ExpInt1", INFINITY, 0.0, 0},   {"ExpInt1", NAN, NAN, 0},       {"ExpInt1", 800.0, 0.0, 4},
  });
  // the overflow thresholds differ between the precisions
  check_special<float>({"LGamma", 4.1e36, INFINITY, 3});
  check_special<double>({"LGamma", 2.6e305, INFINITY, 3});
  check_special<float>({"TGamma", 35.05, INFINITY, 3});
  check_special<float>({"TGamma", 1e-39, INFINITY, 3});  // Gamma(x) ~ 1/x
  check_special<double>({"TGamma", 171.63, INFINITY, 3});
  check_special<double>({"TGamma", 5e-324, INFINITY, 3});
  check_special<double>({"ExpInt1", 745.5, 0.0, 4});
}

// The zeros of lgamma on (-n-1, -n) for n = 2..20: bisection in T on the sign of MPFR's lgamma
// from the interval's middle (where lgamma < 0) towards each pole. Returns a T next to each zero.
template <class T>
std::vector<T> negative_zeros() {
  std::vector<T> zs;
  mpfr_t m, y;  // MPFR rounds correctly: the sign of its lgamma is right at any precision
  mpfr_inits2(80, m, y, static_cast<mpfr_ptr>(nullptr));
  auto eval = [&](T x) {
    mpfr_set_d(m, static_cast<double>(x), MPFR_RNDN);
    int sign;
    mpfr_lgamma(y, &sign, m, MPFR_RNDN);
    return mpfr_sgn(y);
  };
  auto bisect = [&](T a, T b) {  // sign change between a and b
    const int sa = eval(a);
    for (int i = 0; i < 200; ++i) {
      const T mid = a + (b - a) / 2;
      if (mid == a || mid == b) break;
      (eval(mid) == sa ? a : b) = mid;
    }
    return a;
  };
  for (int n = 2; n <= 20; ++n) {
    const T lo = std::nextafter(T(-n - 1), T(0)), hi = std::nextafter(T(-n), T(-100));
    const T mn = T(-n) - T(0.5);  // |Gamma(-n - 1/2)| < 1 for n >= 2
    if (eval(lo) != eval(mn)) zs.push_back(bisect(lo, mn));
    if (eval(mn) != eval(hi)) zs.push_back(bisect(mn, hi));
  }
  mpfr_clears(m, y, static_cast<mpfr_ptr>(nullptr));
  return zs;
}

// 2k + 1 consecutive numbers centred on x.
template <class T>
std::vector<T> around(T x, int k) {
  for (int i = 0; i < k; ++i) x = std::nextafter(x, T(-INFINITY));
  return consecutive<T>(x, 2 * k + 1);
}

template <class T>
void lgamma_hard_regions() {
  std::vector<T> xs;
  const std::vector<T> zs = negative_zeros<T>();
  EXPECT_GE(zs.size(), sizeof(T) == 4 ? 14u : 28u);  // two on each interval up to where T resolves them
  const int k = static_cast<int>(qor::test::scaled(24, 4));
  for (T z : zs) append(xs, around<T>(z, k));
  for (T x : {T(1), T(2)}) append(xs, around<T>(x, 64));
  // where lgamma = +-1/4 near the zeros and where the formulas change: 0.5, 1.5, 2.5, 10, -20
  for (T x : {T(0.5), T(1.5), T(2.5), T(10), T(-20), T(-19.5), T(-2.34), T(-2.83)}) append(xs, around<T>(x, k / 3));
  for (int n = 2; n <= 24; ++n) {  // next to the poles
    append(xs, around<T>(T(-n) + T(n) * std::numeric_limits<T>::epsilon() * 2, 1));
    append(xs, around<T>(T(-n) - T(n) * std::numeric_limits<T>::epsilon() * 2, 1));
  }
  append(xs, log_uniform<T>(std::numeric_limits<T>::min_exponent - std::numeric_limits<T>::digits, -1,
                            qor::test::scaled(300), 11));
  sweep_function<T>("LGamma", xs);
}

TEST(LGamma, ZerosPolesAndFormulaEdgesAgainstMpfr) {
  lgamma_hard_regions<float>();
  lgamma_hard_regions<double>();
}

TEST(TGamma, PolesSmallArgumentsAndThresholdsAgainstMpfr) {
  std::vector<double> xs;
  for (int n = 1; n <= 25; ++n) append(xs, around<double>(-n + 0x1p-40 * n, 2)), append(xs, around<double>(-n - 0x1p-40 * n, 2));
  append(xs, uniform<double>(-185, -150, qor::test::scaled(300), 12));  // the reflection, to underflow
  append(xs, around<double>(171.62437695630271, 8));                    // the last finite results
  append(xs, around<double>(-0x1p-1022, 4));
  append(xs, log_uniform<double>(-1074, 0, qor::test::scaled(200), 13));
  append(xs, around<double>(0.5, 4));
  append(xs, around<double>(10, 4));
  append(xs, around<double>(-20, 4));
  sweep_function<double>("TGamma", xs);
  std::vector<float> fs = uniform<float>(-45, -20, qor::test::scaled(300), 14);
  append(fs, around<float>(35.0401f, 8));
  append(fs, log_uniform<float>(-149, 0, qor::test::scaled(200), 15));
  for (int n = 1; n <= 12; ++n) append(fs, around<float>(-n + 0x1p-16f * n, 2));
  sweep_function<float>("TGamma", fs);
}

TEST(ExpInt1, NearZeroBranchPointAndUnderflowAgainstMpfr) {
  // sExpInt1(1) takes the series branch, sExpInt1(1.0000001) the rational one: both within
  // their contract, and the results on either side of 1 decrease
  std::vector<float> fs = around<float>(1.0f, 32);
  append(fs, uniform<float>(60, 100, qor::test::scaled(300), 16));
  append(fs, log_uniform<float>(-149, -10, qor::test::scaled(200), 17));
  sweep_function<float>("ExpInt1", fs);
  const Kernel<float> ha = kernel<float>("ExpInt1", HA);
  EXPECT_GT(one<float>(ha, 1.0f), one<float>(ha, 1.0000001f));
  EXPECT_LT(one<float>(ha, 1.0f), one<float>(ha, 0.99999994f));
  std::vector<double> xs = uniform<double>(690, 745, qor::test::scaled(300), 18);
  append(xs, around<double>(2.0, 16));
  append(xs, log_uniform<double>(-1074, -20, qor::test::scaled(200), 19));
  sweep_function<double>("ExpInt1", xs);
}

}  // namespace
