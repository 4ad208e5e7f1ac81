// The inverse trigonometric functions beyond the accuracy sweep: the limits and domain errors of
// Asin, Acos, Asinpi and Acospi (with the single-precision Acos rare-value results), their reports
// and the callback's replacement, and Atan2 / Atan2pi over every pairing of special values (C99
// Annex F) and over far exponents on both sides of the element routine's regimes, against MPFR.
#include <cfenv>
#include <cfloat>

#include "accuracy_harness.h"
#include "special_cases.h"

namespace {
using namespace vm_test;

constexpr double kPi = 3.141592653589793;

TEST(AsinAcos, LimitsAndDomainErrorsInEverySlot) {
  check_specials({
      {"Asin", 0.0, 0.0, 0},          {"Asin", -0.0, -0.0, 0},         {"Asin", 1.0, kPi / 2, 0},
      {"Asin", -1.0, -kPi / 2, 0},    {"Asin", 1.5, NAN, 1},           {"Asin", -INFINITY, NAN, 1},
      {"Asin", NAN, NAN, 0},          {"Acos", 1.0, 0.0, 0},           {"Acos", -1.0, kPi, 0},
      {"Acos", 0.0, kPi / 2, 0},      {"Acos", -1.25, NAN, 1},         {"Acos", INFINITY, NAN, 1},
      {"Acos", -INFINITY, NAN, 1},    {"Acos", NAN, NAN, 0},           {"Asinpi", -0.0, -0.0, 0},
      {"Asinpi", 1.0, 0.5, 0},        {"Asinpi", -1.0, -0.5, 0},       {"Asinpi", 0.5, 1.0 / 6, 0},
      {"Asinpi", 3.0, NAN, 1},        {"Asinpi", INFINITY, NAN, 1},    {"Acospi", 1.0, 0.0, 0},
      {"Acospi", -1.0, 1.0, 0},       {"Acospi", 0.0, 0.5, 0},         {"Acospi", -0.0, 0.5, 0},
      {"Acospi", -0.5, 2.0 / 3, 0},   {"Acospi", -INFINITY, NAN, 1},   {"Acospi", NAN, NAN, 0},
  });
  // the single-precision arccosine of -1: 3.141592653589793 + 1.2246467991473532e-16 in float
  EXPECT_EQ(one(kernel<float>("Acos", HA), -1.0f), static_cast<float>(3.141592653589793 + 1.2246467991473532e-16));
}

// Around the ends of the domain, where sqrt(1 - x^2) vanishes, and the smallest arguments.
TEST(AsinAcos, EndsOfTheDomainAndTinyArguments) {
  std::vector<double> d = consecutive(std::nextafter(1.0, 0.0) - 300 * 0x1p-53, 300);
  append(d, consecutive(-1.0, 300));
  append(d, log_uniform<double>(-1074, -1, qor::test::scaled(3000, 300), 71));
  append(d, consecutive(0x1p-900 - 0x1p-950, 40));  // double Asinpi's switch to the scaled product
  std::vector<float> s = consecutive(0.99f, 2000);
  append(s, consecutive(-1.0f, 2000));
  append(s, log_uniform<float>(-149, -1, qor::test::scaled(3000, 300), 72));
  for (const char* f : {"Asin", "Acos", "Asinpi", "Acospi"}) {
    sweep_function<double>(f, d);
    sweep_function<float>(f, s);
  }
}

// Double Asin and Acos switch from z = x^2 to z = (1 - |x|)/2 at |x| = 1/2, lane by lane; asin
// crosses 1/2 (a binade of the result) at sin(1/2) and acos at cos(1/2), where the small terms
// weigh most in ulps. Both sides of each, registers that mix the two ranges (each lane as if
// alone), against MPFR in every slot.
TEST(AsinAcos, DoubleSeriesAtItsSwitchAndTheResultsBinades) {
  std::vector<double> d;
  for (double c : {0.5, 0.479425538604203, 0.8775825618903728, 0.25, 0.7071067811865476})
    for (double sg : {1.0, -1.0}) append(d, consecutive(sg * c - 0x1p-44, qor::test::scaled(400, 60)));
  append(d, uniform<double>(0.45, 0.62, qor::test::scaled(4000, 400), 73));
  append(d, uniform<double>(-0.62, -0.45, qor::test::scaled(4000, 400), 74));
  for (const char* f : {"Asin", "Acos"}) sweep_function<double>(f, d);
  std::vector<double> m = uniform<double>(-1, 1, qor::test::scaled(2000, 200), 75);
  for (size_t i = 0; i + 1 < m.size(); i += 2) m[i] = m[i] * 0.5;  // the first lane of each pair below 1/2
  for (size_t i = 0; i < m.size(); i += 7) m[i] = i % 2 ? 1.0 : -1.0;  // a lane for the element routine
  const int32_t n = static_cast<int32_t>(m.size());
  for (const char* f : {"Asin", "Acos"}) {
    for (int slot : {LA, HA, EP}) {
      std::vector<double> r(m.size());
      kernel<double>(f, slot)(n, m.data(), r.data());
      for (int32_t i = 0; i < n; ++i)
        EXPECT_EQ(r[i], one(kernel<double>(f, slot), m[i])) << f << " " << slot_name(slot) << " x = " << m[i];
    }
    sweep_function<double>(f, m);
  }
}

// Ordinary lanes of Asin, Acos, Atan and their pi-scaled forms raise no invalid, divide-by-zero or
// overflow flag, also beside lanes that leave for the rare-value routines (+-1) and at 0: the
// formulas clamp their operands (|x| to 1 under the square root, the larger operand of the angle
// to 2^127 or 2^900, 1/|x| formed only where |x| > 1, the square root's correction never divided
// by 0). The results stay within each slot's bound; atan of the infinities is +-pi/2 (+-1/2).
template <class T>
void no_spurious_flags(const std::vector<T>& unit, const std::vector<T>& line) {
  for (const char* f : {"Asin", "Acos", "Asinpi", "Acospi", "Atan", "Atanpi"}) {
    const std::vector<T>& x = f[1] == 't' ? line : unit;
    expect_no_spurious_flags<T>(f, x);
    sweep_function<T>(f, x);
  }
  const T inf[4] = {INFINITY, -INFINITY, 2, -3};
  T r[4];
  for (int slot : {LA, HA, EP}) {
    std::feclearexcept(FE_ALL_EXCEPT);
    kernel<T>("Atan", slot)(4, inf, r);
    EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0);
    EXPECT_EQ(r[0], static_cast<T>(kPi / 2));
    EXPECT_EQ(r[1], -static_cast<T>(kPi / 2));
    kernel<T>("Atanpi", slot)(4, inf, r);
    EXPECT_EQ(r[0], T(0.5));
    EXPECT_EQ(r[1], T(-0.5));
  }
}

TEST(InversePlain, OrdinaryLanesRaiseNoInvalidDivideOrOverflow) {
  no_spurious_flags<float>({0.0f, -0.0f, 0x1p-149f, -0x1p-126f, 0.5f, -0.99999994f, 0.99999994f, 0.70710677f, -1.0f},
                           {0.0f, -0.0f, FLT_MAX, -FLT_MAX, 0x1p127f, 1.0f, -1.0f, 0x1p-149f, 3e-39f, 64.0f});
  no_spurious_flags<double>({0.0, -0.0, 0x1p-1074, 0.5, -(1 - 0x1p-53), 1 - 0x1p-53, 0.70710678118654757, 1.0},
                            {0.0, -0.0, DBL_MAX, -DBL_MAX, 0x1p900, 1.0, -1.0, 1e-300, 64.0});
}

int replace_with_42(FnxErrorContext* c) {
  c->res1 = 42.0;
  return 0;
}

// Domain errors are reported with their index and argument among ordinary lanes; a result the
// callback replaces is the one kept, and the other lanes are what one-element calls give.
TEST(AsinAcos, ReportsAndTheCallbackAmongOrdinaryLanes) {
  for (const char* f : {"Asin", "Acos", "Asinpi", "Acospi"}) {
    for (int slot : {LA, HA, EP}) {
      std::vector<double> x = uniform<double>(-1, 1, 13, 73);
      x[3] = 1.5;
      x[8] = -INFINITY;
      x[9] = NAN;
      {
        Recording rec;
        std::vector<double> r(x.size());
        kernel<double>(f, slot)(13, x.data(), r.data());
        ASSERT_EQ(reports().size(), 2u) << f;
        EXPECT_EQ(reports()[0].index, 3);
        EXPECT_EQ(reports()[0].arg, 1.5);
        EXPECT_EQ(reports()[1].index, 8);
        for (const Report& e : reports()) {
          EXPECT_EQ(e.code, QOR_FNX_STATUS_ERRDOM);
          EXPECT_TRUE(std::isnan(e.res));
          EXPECT_EQ(e.name, std::string("vd") + f);
        }
        for (int i : {3, 8, 9}) EXPECT_TRUE(std::isnan(r[i])) << f << " " << i;
      }
      const uint32_t old = qor_fnx_kernel_GetMode();
      FnxErrorCallBack prev = qor_fnx_kernel_SetErrorCallBack(replace_with_42);
      qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_CALLBACK);
      std::vector<float> xs(x.begin(), x.end()), rs(x.size());
      kernel<float>(f, slot)(13, xs.data(), rs.data());
      std::vector<double> r(x.size());
      kernel<double>(f, slot)(13, x.data(), r.data());
      qor_fnx_kernel_SetErrorCallBack(prev);
      qor_fnx_kernel_SetMode(old & QOR_FNX_ERRMODE_MASK);
      for (size_t i = 0; i < x.size(); ++i) {
        if (i == 3 || i == 8) {
          EXPECT_EQ(r[i], 42.0) << f;
          EXPECT_EQ(rs[i], 42.0f) << f;
        } else if (i != 9) {
          EXPECT_EQ(r[i], one(kernel<double>(f, slot), x[i])) << f << " " << i;
          EXPECT_EQ(rs[i], one(kernel<float>(f, slot), xs[i])) << f << " " << i;
        }
      }
    }
  }
}

// ---- Atan2, Atan2pi ---------------------------------------------------------------------------

template <class T>
using Kernel2 = void (*)(int32_t, const T*, const T*, T*);

// Every slot of Atan2 or Atan2pi on the pairs (y[i], x[i]) in one call, against MPFR: within the
// row's HA bound in every slot (LA and EP too: the three slots share the formula), zeros with
// their sign, NaN for NaN, and nothing reported.
template <class T>
void check_atan2(const char* func, const std::vector<T>& y, const std::vector<T>& x) {
  const Function& fn = function<T>(func);
  const bool pi = std::string(func) == "Atan2pi";
  const double bound = find_reference(func)->of(type_letter<T>).ha;
  for (int slot : {LA, HA, EP}) {
    Recording rec;
    std::vector<T> r(y.size());
    fn.template slot<Kernel2<T>>(slot)(static_cast<int32_t>(y.size()), y.data(), x.data(), r.data());
    EXPECT_TRUE(reports().empty()) << func << " reported " << reports().size();
    Exact m(3);
    qor::test::UlpAccumulator acc;
    for (size_t i = 0; i < y.size(); ++i) {
      set_exact(m[0], static_cast<double>(y[i]));
      set_exact(m[1], static_cast<double>(x[i]));
      (pi ? mpfr_atan2pi : mpfr_atan2)(m[2], m[0], m[1], MPFR_RNDN);
      const qor::test::UlpError e = qor::test::ulp_error(m[2], r[i]);
      acc.add(static_cast<double>(y[i]), static_cast<double>(r[i]), e);
      EXPECT_LE(e.ulps, bound) << type_letter<T> << func << " " << slot_name(slot) << " y = " << y[i] << " x = " << x[i]
                               << " gave " << r[i];
    }
    std::printf("  %c%-8s %-3s %s\n", type_letter<T>, func, slot_name(slot), acc.summary().c_str());
  }
}

// Every pairing of zeros, infinities, NaNs, the least subnormal, the largest finite value and
// ordinary values of both signs: the special values of C99 Annex F and their neighbours.
TEST(Atan2, EveryPairingOfSpecialValues) {
  const double v[] = {0.0, -0.0, 1.0, -1.0, 0.75, -3.5, INFINITY, -INFINITY, NAN};
  std::vector<double> y, x;
  std::vector<float> ys, xs;
  for (double a : v) {
    for (double b : v) {
      y.push_back(a), x.push_back(b);
      ys.push_back(static_cast<float>(a)), xs.push_back(static_cast<float>(b));
    }
    for (double b : {0x1p-1074, -DBL_MAX}) y.push_back(a), x.push_back(b), y.push_back(b), x.push_back(a);
    for (float b : {0x1p-149f, -FLT_MAX}) ys.push_back(static_cast<float>(a)), xs.push_back(b), ys.push_back(b), xs.push_back(static_cast<float>(a));
  }
  for (const char* f : {"Atan2", "Atan2pi"}) {
    check_atan2<double>(f, y, x);
    check_atan2<float>(f, ys, xs);
  }
}

// Pairs whose exponents differ by up to 2100 in all four quadrants: the packed formula's range
// (2^-480 .. 2^480), the common scaling, the quotient's regimes past a difference of 950 and
// Atan2pi's underflow past 1080, and the switch of the core at |y| = |x|.
TEST(Atan2, FarExponentsInAllFourQuadrants) {
  std::mt19937_64 g(74);
  std::uniform_real_distribution<double> m(1, 2);
  std::vector<double> y, x;
  const int n = qor::test::scaled(4000, 400);
  for (int i = 0; i < n; ++i) {
    const int e1 = static_cast<int>(g() % 2098) - 1074, e2 = static_cast<int>(g() % 2098) - 1074;
    y.push_back(std::ldexp(m(g), e1) * (g() & 1 ? -1 : 1));
    x.push_back(std::ldexp(m(g), e2) * (g() & 1 ? -1 : 1));
  }
  for (int d : {-1100, -1081, -1080, -1079, -960, -951, -950, -949, -700, 0, 949, 950, 951, 1000}) {
    for (double s : {1.0, -1.0}) {
      y.push_back(std::ldexp(1.2345, d / 2 + 10) * s), x.push_back(std::ldexp(1.75, -d + d / 2 + 10));
      y.push_back(std::ldexp(1.2345, d / 2 - 10)), x.push_back(std::ldexp(1.75, -d + d / 2 - 10) * s);
    }
  }
  for (double e : {0x1p-480, 0x1p480, std::nextafter(0x1p-480, 0.0), std::nextafter(0x1p480, 0.0)})
    for (double s : {1.0, -1.0}) y.push_back(e * s), x.push_back(e * 1.5), y.push_back(3 * s), x.push_back(e);
  for (double a : uniform<double>(0.5, 2, qor::test::scaled(500, 50), 75)) {
    for (double d : {0.0, 0x1p-52, -0x1p-52}) y.push_back(a * (1 + d)), x.push_back(-a), y.push_back(-a), x.push_back(a * (1 + d));
  }
  std::vector<float> ys, xs;
  for (int i = 0; i < n; ++i) {
    const int e1 = static_cast<int>(g() % 277) - 149, e2 = static_cast<int>(g() % 277) - 149;
    ys.push_back(std::ldexp(static_cast<float>(m(g)), e1) * (g() & 1 ? -1.0f : 1.0f));
    xs.push_back(std::ldexp(static_cast<float>(m(g)), e2) * (g() & 1 ? -1.0f : 1.0f));
  }
  for (const char* f : {"Atan2", "Atan2pi"}) {
    check_atan2<double>(f, y, x);
    check_atan2<float>(f, ys, xs);
  }
}

}  // namespace
