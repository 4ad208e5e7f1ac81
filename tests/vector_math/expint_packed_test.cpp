// The packed double-precision ExpInt1 (expint_packed.h) at its seams, against MPFR in every
// slot: both sides of the switch between its two formulas (1/2), of every piece of the
// polynomial table (2^e (1 + j/8)), of the ends of its range (2^-1022, 740), where -ln x - gamma
// vanishes (e^-gamma) and where the results leave the normal range (about 701.84) and round to 0
// (about 738.5); then blocks mixing every region, whose results and statuses must be those of
// each element alone (underflow reported exactly for the results below the normal range).
#include <cfloat>

#include "accuracy_harness.h"

namespace {
using namespace vm_test;

// 2k + 1 consecutive doubles centred on x.
std::vector<double> centred(double x, int k) {
  for (int i = 0; i < k; ++i) x = std::nextafter(x, -INFINITY);
  return consecutive<double>(x, 2 * k + 1);
}

// The least double whose E1 is below the normal range, by bisection on MPFR's E1.
double first_subnormal_result() {
  mpfr_t m, y;
  mpfr_inits2(80, m, y, static_cast<mpfr_ptr>(nullptr));
  double a = 690, b = 720;  // E1(a) >= DBL_MIN > E1(b)
  while (std::nextafter(a, b) != b) {
    const double h = a + (b - a) / 2;
    mpfr_set_d(m, h, MPFR_RNDN);
    ref_expint1(y, m, MPFR_RNDN);
    (mpfr_cmp_d(y, DBL_MIN) >= 0 ? a : b) = h;
  }
  mpfr_clears(m, y, static_cast<mpfr_ptr>(nullptr));
  return b;
}

TEST(ExpInt1Packed, SeamsAgainstMpfr) {
  const int k = static_cast<int>(qor::test::scaled(12, 3));
  std::vector<double> xs;
  for (double x : {0.5, 0x1p-1022, 740.0, 0.56145948356688516982, 738.5, 701.84, 1.0, 2.0})
    append(xs, centred(x, 4 * k));
  for (int e = -1; e <= 9; ++e)  // the table's pieces
    for (int j = 0; j < 8; ++j) append(xs, centred(std::ldexp(1.0 + j / 8.0, e), k / 3 + 1));
  append(xs, uniform<double>(0.3, 0.9, qor::test::scaled(400), 21));  // the cancellation of -ln x - gamma
  append(xs, uniform<double>(700, 745, qor::test::scaled(200), 22));
  append(xs, log_uniform<double>(-1022, -1, qor::test::scaled(200), 23));
  sweep_function<double>("ExpInt1", xs);
}

// Underflow is reported for exactly the results below the normal range (in HA, exactly the
// arguments whose E1 is).
TEST(ExpInt1Packed, UnderflowStatusExactlyBelowTheNormalRange) {
  const double t = first_subnormal_result();
  EXPECT_GT(t, 701.0);
  EXPECT_LT(t, 702.0);
  std::vector<double> xs = centred(t, 8);
  for (int s : {LA, HA, EP}) {
    const Kernel<double> kern = kernel<double>("ExpInt1", s);
    std::vector<double> r(xs.size());
    Recording rec;
    kern(static_cast<int32_t>(xs.size()), xs.data(), r.data());
    std::vector<int> want, got;
    for (size_t i = 0; i < xs.size(); ++i) {
      if (r[i] < DBL_MIN) want.push_back(static_cast<int>(i));
      if (s == HA) EXPECT_EQ(r[i] < DBL_MIN, xs[i] >= t) << " x = " << xs[i] << ": " << r[i];
    }
    for (const Report& p : reports()) {
      EXPECT_EQ(p.code, 4);
      got.push_back(p.index);
    }
    EXPECT_EQ(got, want) << slot_name(s);
  }
}

TEST(ExpInt1Packed, MixedBlocksMatchElementsAlone) {
  const long n = qor::test::scaled(40, 8);
  std::vector<double> xs = {0.0, -0.0, -1.0, INFINITY, -INFINITY, NAN, 0x1p-1060, 0x1p-1022, 740.0, 745.5, 800.0};
  append(xs, log_uniform<double>(-60, -1, n, 24));  // -ln x - gamma + Ein(x)
  append(xs, uniform<double>(0.5, 700, n, 25));     // e^-x g(x)
  append(xs, uniform<double>(700, 745, n, 26));     // subnormal results, then 0
  std::mt19937 g(5);
  std::shuffle(xs.begin(), xs.end(), g);
  if (xs.size() % 4 == 0) xs.push_back(0.75);
  for (int s : {LA, HA, EP}) {
    const Kernel<double> kern = kernel<double>("ExpInt1", s);
    std::vector<double> r(xs.size());
    std::vector<std::pair<int, int>> got, want;  // (index, status)
    {
      Recording rec;
      kern(static_cast<int32_t>(xs.size()), xs.data(), r.data());
      for (const Report& p : reports()) got.push_back({p.index, p.code});
    }
    for (size_t i = 0; i < xs.size(); ++i) {
      Recording rec;
      const double alone = one<double>(kern, xs[i]);
      for (const Report& p : reports()) want.push_back({static_cast<int>(i), p.code});
      EXPECT_TRUE(std::memcmp(&alone, &r[i], sizeof alone) == 0 || (std::isnan(alone) && std::isnan(r[i])))
          << slot_name(s) << " x = " << xs[i] << ": " << r[i] << " in a block, " << alone << " alone";
    }
    EXPECT_EQ(got, want) << slot_name(s);
  }
  sweep_function<double>("ExpInt1", xs);
}

}  // namespace
