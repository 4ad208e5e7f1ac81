// The packed single-precision paths of LGamma, TGamma and ExpInt1 (gamma_packed.h) at their
// seams: both sides of every point where the formula or the screen changes, against MPFR in
// every slot; and blocks mixing lanes of every region (packed lanes of each formula, lanes sent
// to the per-element routine, statuses), whose results and reports must be those of each
// element computed alone.
#include <algorithm>
#include <cfloat>

#include "accuracy_harness.h"

namespace {
using namespace vm_test;

// 2k + 1 consecutive numbers centred on x.
template <class T = float>
std::vector<T> around(T x, int k) {
  for (int i = 0; i < k; ++i) x = std::nextafter(x, T(-INFINITY));
  return consecutive<T>(x, 2 * k + 1);
}

// The numbers of type T next to the points on (-n-1, -n), n = 2..8, where lgamma(x) = c
// (bisection on the sign of MPFR's lgamma(x) - c between the middle of the interval and each pole).
template <class T = float>
std::vector<T> lgamma_level(double c) {
  std::vector<T> r;
  mpfr_t m, y;
  mpfr_inits2(80, m, y, static_cast<mpfr_ptr>(nullptr));
  auto sign = [&](T x) {
    mpfr_set_d(m, x, MPFR_RNDN);
    int s;
    mpfr_lgamma(y, &s, m, MPFR_RNDN);
    mpfr_sub_d(y, y, c, MPFR_RNDN);
    return mpfr_sgn(y);
  };
  for (int n = 2; n <= 8; ++n) {
    const T mid = static_cast<T>(-n) - T(0.5);
    for (T pole : {std::nextafter(static_cast<T>(-n - 1), T(0)), std::nextafter(static_cast<T>(-n), T(-100))}) {
      T a = mid, b = pole;
      const int sa = sign(a);
      if (sa == sign(b)) continue;
      for (int i = 0; i < 80; ++i) {
        const T h = a + (b - a) / 2;
        if (h == a || h == b) break;
        (sign(h) == sa ? a : b) = h;
      }
      r.push_back(a);
    }
  }
  mpfr_clears(m, y, static_cast<mpfr_ptr>(nullptr));
  return r;
}

TEST(GammaPacked, SwitchPointsAgainstMpfr) {
  const int k = static_cast<int>(qor::test::scaled(16, 4));
  std::vector<float> lg;
  // series / shift / Stirling switches, the ends of the packed ranges, the overflow threshold
  for (float x : {0.5f, 1.5f, 2.5f, 8.0f, 0x1p-149f, 4e36f, 4.0850e36f, -0x1p23f + 0.5f, -0.5f, -1.5f, -19.5f})
    append(lg, around(x, k));
  // where the reflection's result crosses +-2^-10 (packed on one side, per element on the other)
  const std::vector<float> up = lgamma_level(0x1p-10), down = lgamma_level(-0x1p-10);
  EXPECT_EQ(up.size(), 14u);  // both sides of each interval
  EXPECT_EQ(down.size(), 14u);
  for (float x : up) append(lg, around(x, k));
  for (float x : down) append(lg, around(x, k));
  sweep_function<float>("LGamma", lg);

  std::vector<float> tg;
  for (float x : {8.0f, FLT_MIN, 35.04f, 35.0401f, -33.0f, -32.5f, -FLT_MIN, -0.5f, -8.0f + 0x1p-19f, -7.0f - 0x1p-19f})
    append(tg, around(x, k));
  sweep_function<float>("TGamma", tg);

  std::vector<float> e1;
  for (float x : {1.0f, 82.0f, 0x1p-149f, 0x1p-126f}) append(e1, around(x, k));
  sweep_function<float>("ExpInt1", e1);

  std::vector<double> dlg, dtg;  // the double EP kernels' switches
  for (double x : {0.5, 1.5, 2.5, 8.0, 0x1p-1000, 2.5e305, -0x1p51 + 2, -0x1p-1000, -0.5, -19.5}) append(dlg, around(x, k));
  sweep_function<double>("LGamma", dlg);
  for (double x : {8.0, 0x1p-1022, 171.0, -170.0, -0x1p-1022, -0.5, -8.0 + 0x1p-40, -7.0 - 0x1p-40}) append(dtg, around(x, k));
  sweep_function<double>("TGamma", dtg);
}

// Every region in one array, shuffled (so that blocks mix them) and of a length that leaves a
// tail: each result and report equals the one of the element computed alone.
template <class T>
void check_mixed(const char* func, std::vector<T> xs) {
  std::mt19937 g(7);
  std::shuffle(xs.begin(), xs.end(), g);
  if (xs.size() % 4 == 0) xs.push_back(xs[3]);
  expect_same_alone<T>(func, xs);
  sweep_function<T>(func, xs);
}

TEST(GammaPacked, MixedBlocksMatchElementsAlone) {
  const int n = static_cast<int>(qor::test::scaled(40, 8));
  std::vector<float> special = {0.0f, -0.0f, -3.0f, -0x1p30f, INFINITY, -INFINITY, NAN, 0x1p-140f, -0x1p-140f};
  std::vector<float> lg = special;
  append(lg, uniform<float>(0, 0.5, n, 1));      // shift
  append(lg, uniform<float>(0.5, 2.5, n, 2));    // series
  append(lg, uniform<float>(2.5, 8, n, 3));      // shift
  append(lg, uniform<float>(8, 1e6, n, 4));      // Stirling
  append(lg, uniform<float>(-20, 0, 2 * n, 5));  // reflection, near zeros per element
  append(lg, {-2.4570327f, -2.7476826f, 4.1e36f, 4e36f});
  check_mixed("LGamma", lg);

  std::vector<float> tg = special;
  append(tg, uniform<float>(0, 8, n, 6));
  append(tg, uniform<float>(8, 35, n, 7));
  append(tg, uniform<float>(-45, 0, 2 * n, 8));  // below -33 per element (underflow near -42)
  append(tg, {35.05f, 35.04f, 1e-39f, -1e-39f, FLT_MIN, -FLT_MIN});
  check_mixed("TGamma", tg);

  std::vector<float> e1 = special;
  append(e1, uniform<float>(0, 1, n, 9));
  append(e1, uniform<float>(1, 82, n, 10));
  append(e1, uniform<float>(82, 110, n, 11));  // underflow, per element
  check_mixed("ExpInt1", e1);

  // double precision (packed in the EP slot)
  std::vector<double> dspecial = {0.0, -0.0, -3.0, -0x1p60, INFINITY, -INFINITY, NAN, 0x1p-1060, -0x1p-1060, 5.0, 24.0};
  std::vector<double> dlg = dspecial;
  append(dlg, uniform<double>(0, 8, n, 12));
  append(dlg, uniform<double>(8, 1e300, n, 13));
  append(dlg, uniform<double>(-20, 0, 2 * n, 14));
  append(dlg, {-2.457024738220815, -0x1p51 + 0.5, -0x1p51 - 1, 2.5e305, 2.6e305, 0x1p-1000, -0x1p-1000});
  check_mixed("LGamma", dlg);
  std::vector<double> dtg = dspecial;
  append(dtg, uniform<double>(0, 171.6, 2 * n, 15));
  append(dtg, uniform<double>(-185, 0, 2 * n, 16));  // below -170 per element (underflow near -177)
  append(dtg, {171.0, 171.62, 171.63, -170.0, -169.5, 0x1p-1022, -0x1p-1022, 0x1p-1030});
  check_mixed("TGamma", dtg);
}

}  // namespace

// The double-double kernels of double LGamma and TGamma (gamma_dd.h, the LA and HA slots) at
// their seams, against MPFR in every slot: the series' ends (z = +-1/2) and each added factor of
// the product, Stirling's switch at 8 and its sum's cap at 2^40, the sine/cosine switch of
// sin(pi x) (|x - round(x)| = 1/4), the ends of the packed ranges, TGamma's overflow threshold,
// and where the negative lanes' results cross +-2^-3 (packed on one side, per element on the
// other); then all of them shuffled into blocks, each result and report that of the element
// computed alone.
TEST(GammaPacked, DoubleDoubleSeams) {
  const int k = static_cast<int>(qor::test::scaled(8, 2));
  std::vector<double> lg;
  for (double x : {0x1p-1022, 0x1p-500, 0.5, 1.0, 1.5, 2.0, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.0, 0x1p40, 2.5e305, -0x1p-500,
                   -0.25, -0.75, -1.25, -5.75, -19.25, -0x1p51 + 0.25, -0x1p51 + 0.5})
    append(lg, around(x, k));
  const std::vector<double> up = lgamma_level<double>(0x1p-3), down = lgamma_level<double>(-0x1p-3);
  EXPECT_EQ(up.size(), 14u);
  EXPECT_EQ(down.size(), 12u);  // on (-3, -2) lgamma stays above -0.057
  for (double x : up) append(lg, around(x, k));
  for (double x : down) append(lg, around(x, k));
  check_mixed("LGamma", lg);

  std::vector<double> tg;
  for (double x : {0x1p-1022, 0x1p-500, 0.5, 1.5, 2.5, 7.5, 8.0, 171.0, 171.62437695630272, -0x1p-500, -0.25, -0.75,
                   -2.25, -169.75, -170.0})
    append(tg, around(x, k));
  check_mixed("TGamma", tg);
}
