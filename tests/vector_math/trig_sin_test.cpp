// Sine, cosine, tangent and SinCos: the tables against MPFR (and the entries the interface
// publishes), the hardest arguments of the reduction for every slot, the edges of the packed paths,
// the special values and their reports, and the one-element routines.
#include <cfenv>
#include <cfloat>

#include "accuracy_harness.h"
#include "qor/vm_trig.h"
#include "vector_math/kernels/trig/trig_tables.h"

namespace {
using namespace vm_test;
using qor::vm::trig::kDSinHA;
using qor::vm::trig::kSSinHA;

// sin and cos of j pi / den at 400 bits.
void angle(mpfr_ptr s, mpfr_ptr c, int j, int den) {
  mpfr_t a;
  mpfr_init2(a, 400);
  mpfr_const_pi(a, MPFR_RNDN);
  mpfr_mul_si(a, a, j, MPFR_RNDN);
  mpfr_div_si(a, a, den, MPFR_RNDN);
  mpfr_sin_cos(s, c, a, MPFR_RNDN);
  mpfr_clear(a);
  if ((2 * j) % den == 0) {  // a multiple of pi/2: exact values (MPFR's pi leaves 2^-400)
    const int q = (2 * j / den) % 4;
    mpfr_set_si(s, q == 1 ? 1 : q == 3 ? -1 : 0, MPFR_RNDN);
    mpfr_set_si(c, q == 0 ? 1 : q == 2 ? -1 : 0, MPFR_RNDN);
  }
}

TEST(SinTables, EntriesAreSineAndCosineOfTheirAngles) {
  mpfr_t s, c, d;
  mpfr_inits2(400, s, c, d, static_cast<mpfr_ptr>(nullptr));
  for (int j = 0; j < 128; ++j) {
    angle(s, c, j, 64);
    const double* e = kDSinHA.e[j];
    // S_hi = RN(sin), S_lo = sin - S_hi to 24 bits, c_j is +-1, C_j - c_j = RN(cos - c_j)
    EXPECT_EQ(e[1], mpfr_get_d(s, MPFR_RNDN)) << "j = " << j;
    mpfr_sub_d(d, s, e[1], MPFR_RNDN);
    EXPECT_EQ(e[2], static_cast<double>(mpfr_get_flt(d, MPFR_RNDN))) << "j = " << j;
    EXPECT_TRUE(e[3] == 1.0 || e[3] == -1.0);
    mpfr_sub_d(d, c, e[3], MPFR_RNDN);
    EXPECT_EQ(e[0], mpfr_get_d(d, MPFR_RNDN)) << "j = " << j;
  }
  // the entries the interface publishes
  EXPECT_EQ(kDSinHA.e[1][0], -0.0012045437948276074);
  EXPECT_EQ(kDSinHA.e[1][1], 0.049067674327418015);
  EXPECT_EQ(kDSinHA.e[1][2], -6.796103505026487e-19);
  EXPECT_EQ(kDSinHA.e[1][3], 1.0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(kDSinHA.e[64][i], 0.0);
  EXPECT_EQ(kDSinHA.e[64][3], -1.0);
  EXPECT_EQ(kDSinHA.inv_pio64[0], 20.371832715762604);
  EXPECT_EQ(kDSinHA.p1[1] + kDSinHA.p2[1], 0.049087385210441425 + 1.8990939082199894e-12);
  for (int j = 0; j < 256; ++j) {
    angle(s, c, j, 128);
    float v[4];
    std::memcpy(v, kSSinHA.e[j], 16);
    for (int k = 0; k < 2; ++k) {
      mpfr_sub_d(d, k == 0 ? s : c, v[2 * k], MPFR_RNDN);
      mpfr_sub_d(d, d, v[2 * k + 1], MPFR_RNDN);
      EXPECT_LE(std::fabs(mpfr_get_d(d, MPFR_RNDN)), 0x1p-46) << "j = " << j;
    }
  }
  mpfr_clears(s, c, d, static_cast<mpfr_ptr>(nullptr));
}

// The double nearest k pi/2 (and its neighbours).
std::vector<double> near_multiples(double k0, int count, int around) {
  std::vector<double> v;
  mpfr_t m;
  mpfr_init2(m, 2400);
  for (int i = 0; i < count; ++i) {
    mpfr_const_pi(m, MPFR_RNDN);
    mpfr_mul_d(m, m, (k0 + i) / 2, MPFR_RNDN);
    double x = mpfr_get_d(m, MPFR_RNDN);
    for (int a = 0; a < around; ++a) x = std::nextafter(x, 0.0);
    for (int a = 0; a <= 2 * around; ++a, x = std::nextafter(x, INFINITY)) v.push_back(x);
  }
  mpfr_clear(m);
  return v;
}

const char* const kFunctions[] = {"Sin", "Cos", "Tan"};

uint64_t bits_of_d(double x) {
  uint64_t u;
  std::memcpy(&u, &x, 8);
  return u;
}
uint32_t bits_of_f(float x) {
  uint32_t u;
  std::memcpy(&u, &x, 4);
  return u;
}

TEST(SinCosTan, HardestArgumentsOfTheReduction) {
  std::vector<double> d = {0x1.6ac5b262ca1ffp+849, -0x1.6ac5b262ca1ffp+849,  // closest to a multiple of pi/2
                           DBL_MAX, -DBL_MAX, 1e22, 1e300, 0x1.f37c8ap+95};
  append(d, near_multiples(1, qor::test::scaled(3000, 200), 1));
  append(d, near_multiples(0x1p40, 20, 2));
  append(d, near_multiples(0x1p60, 20, 2));
  append(d, near_multiples(0x1p600, 10, 2));
  std::vector<float> s = {0x1.f37c8ap+95f, -0x1.f37c8ap+95f, FLT_MAX, 1e10f};
  for (double x : near_multiples(1, qor::test::scaled(3000, 200), 0)) s.push_back(static_cast<float>(x));
  for (const char* f : kFunctions) {
    sweep_function<double>(f, d);
    sweep_function<float>(f, s);
  }
}

TEST(SinCosTan, EdgesOfThePackedPathsAndOfTheReductionRegimes) {
  std::vector<double> d = consecutive(90111.9999, 200);
  append(d, consecutive(90111.0, 4));
  append(d, consecutive(std::nextafter(0x1p17, 0.0), 20));
  append(d, consecutive(std::nextafter(0x1p23, 0.0), 20));
  append(d, consecutive(std::nextafter(0x1p30, 0.0), 20));
  append(d, uniform<double>(0x1p17, 0x1p30, qor::test::scaled(5000), 61));
  append(d, uniform<double>(-1e6, 1e6, qor::test::scaled(5000), 62));
  std::vector<float> s = consecutive(9999.0f, 300);
  append(s, uniform<float>(-20000, 20000, qor::test::scaled(5000), 63));
  for (const char* f : kFunctions) {
    sweep_function<double>(f, d);
    sweep_function<float>(f, s);
  }
}

// Lanes at and above the packed formula's screen (90112) stay in the block: below 2^23 the formula
// with the wide reduction, up to 2^30 the per-element arithmetic two lanes at a time. Each register
// below pairs such a lane with a partner from another range (ordinary, wide, per-element
// arithmetic, one-by-one, the other set of reduction pieces, the other sign). Every lane is within
// its slot's bound, and the lanes from 2^23 up equal the one-element routine (which computes on
// lane 0 alone) bit for bit. Arguments: the doubles nearest multiples of pi/2 at the screen, at
// 2^17, 2^23 and just below 2^30 and the closest of all in each binade, the boundaries on both
// sides, random ones, all of both signs.
TEST(SinCosTan, LanesBeyondTheScreenStayInTheBlock) {
  std::vector<double> medium;
  for (double k0 : {57368.0, 83444.0, 5340354.0, 683565270.0}) append(medium, near_multiples(k0, 6, 2));
  for (double b : {90112.0, 0x1p17, 0x1p23}) append(medium, consecutive(std::nextafter(b, 0.0), 3));
  append(medium, {std::nextafter(0x1p30, 0.0), 90112.0 + 0.5});
  // the doubles closest to a multiple of pi/2 in each binade from 2^16 to 2^29 (within 2^-51 to
  // 2^-59 of it; continued fractions of pi/2)
  for (double w : {0x1.67e57cdd4dc54p+16, 0x1.0dec1da5fa53fp+17, 0x1.39c6fd67805a7p+18, 0x1.9eb7148f354d6p+20,
                   0x1.b951f1572eba5p+23})
    for (double m = 1; w * m < 0x1p30; m *= 2) medium.push_back(w * m);
  append(medium, uniform<double>(90112, 0x1p30, qor::test::scaled(400, 40), 66));
  const size_t half = medium.size();
  for (size_t i = 0; i < half; ++i) medium.push_back(-medium[i]);
  const double partners[] = {2.5, 1e300, -0x1.7p22, 0x1.8p24, -123456.75, 90111.0, 0x1p30};
  std::vector<double> x;
  for (size_t i = 0; i < medium.size(); ++i) {
    x.push_back(medium[i]);
    x.push_back(partners[i % 7]);
    if (i % 3 == 0) std::swap(x[x.size() - 1], x[x.size() - 2]);  // the medium lane first or second
  }
  using OneRoutine = void (*)(int32_t, const double*, double*, const char*);
  const OneRoutine ones[] = {qor_fnx_kernel_dSin_SC, qor_fnx_kernel_dCos_SC, qor_fnx_kernel_dTan_SC};
  const int32_t n = static_cast<int32_t>(x.size());
  for (int slot : {LA, HA, EP}) {
    std::vector<double> r[3];
    for (int f = 0; f < 3; ++f) {
      std::vector<double> e(x.size());
      r[f].resize(x.size());
      kernel<double>(kFunctions[f], slot)(n, x.data(), r[f].data());
      for (int32_t i = 0; i < n; ++i) {
        ones[f](i, x.data(), e.data(), nullptr);
        if (std::fabs(x[i]) < 0x1p23) continue;
        EXPECT_EQ(bits_of_d(r[f][i]), bits_of_d(e[i])) << kFunctions[f] << " " << slot_name(slot) << " x = " << x[i];
      }
    }
    // SinCos: in every range the sine and cosine of the slot's Sin and Cos
    std::vector<double> s(x.size()), c(x.size());
    qor_fnx_kernel_dSinCos_ttab[slot](n, x.data(), s.data(), c.data());
    for (int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(bits_of_d(s[i]), bits_of_d(r[0][i])) << "SinCos " << slot_name(slot) << " x = " << x[i];
      EXPECT_EQ(bits_of_d(c[i]), bits_of_d(r[1][i])) << "SinCos " << slot_name(slot) << " x = " << x[i];
    }
  }
  for (const char* f : kFunctions) sweep_function<double>(f, x);
}

template <class T>
bool inexact_after(Kernel<T> k, T x, T* r) {
  std::feclearexcept(FE_ALL_EXCEPT);
  k(1, &x, r);
  return std::fetestexcept(FE_INEXACT) != 0;
}

TEST(SinCosTan, ZerosAndTheSmallestSubnormal) {
  for (int slot : {LA, HA, EP}) {
    for (const char* f : {"Sin", "Tan"}) {
      const DKernel k = kernel<double>(f, slot);
      EXPECT_EQ(bits_of_d(one(k, 0.0)), bits_of_d(0.0)) << f;
      EXPECT_EQ(bits_of_d(one(k, -0.0)), bits_of_d(-0.0)) << f;
      double r;
      EXPECT_TRUE(inexact_after(k, 0x1p-1074, &r)) << f;
      EXPECT_EQ(r, 0x1p-1074) << f;
      EXPECT_TRUE(inexact_after(k, -0x1p-1074, &r)) << f;
      EXPECT_EQ(r, -0x1p-1074) << f;
      const SKernel ks = kernel<float>(f, slot);
      EXPECT_EQ(std::signbit(one(ks, -0.0f)), true) << f;
      float rs;
      EXPECT_TRUE(inexact_after(ks, 0x1p-149f, &rs)) << f;
      EXPECT_EQ(rs, 0x1p-149f) << f;
    }
    EXPECT_EQ(one(kernel<double>("Cos", slot), -0.0), 1.0);
    EXPECT_EQ(one(kernel<float>("Cos", slot), 0x1p-149f), 1.0f);
  }
}

TEST(SinCosTan, InfinitiesAreDomainErrorsAndNaNsPassSilently) {
  for (int slot : {LA, HA, EP}) {
    for (const char* f : kFunctions) {
      std::vector<double> x(11, 0.5);
      x[3] = INFINITY;
      x[7] = NAN;
      x[9] = -INFINITY;
      Recording rec;
      std::vector<double> r(x.size());
      kernel<double>(f, slot)(11, x.data(), r.data());
      ASSERT_EQ(reports().size(), 2u) << f;
      EXPECT_EQ(reports()[0].index, 3);
      EXPECT_EQ(reports()[1].index, 9);
      for (const Report& e : reports()) {
        EXPECT_EQ(e.code, QOR_FNX_STATUS_ERRDOM);
        EXPECT_TRUE(std::isnan(e.res));
      }
      EXPECT_TRUE(std::isnan(r[3]) && std::isnan(r[7]) && std::isnan(r[9]));
      std::vector<float> xs(x.begin(), x.end()), rs(xs.size());
      reports().clear();
      kernel<float>(f, slot)(11, xs.data(), rs.data());
      ASSERT_EQ(reports().size(), 2u) << f;
      EXPECT_EQ(reports()[1].index, 9);
      EXPECT_TRUE(std::isnan(rs[3]) && std::isnan(rs[7]));
    }
  }
}

int replace_with_42(FnxErrorContext* c) {
  c->res1 = 42.0;
  c->res2 = 43.0;
  return 0;
}

// A flagged element's result is the one the callback leaves, also among ordinary packed lanes;
// the ordinary elements get what a one-element call gives them.
TEST(SinCosTan, CallbackReplacesFlaggedResultsAndBlocksDoNotMatter) {
  const uint32_t old = qor_fnx_kernel_GetMode();
  FnxErrorCallBack prev = qor_fnx_kernel_SetErrorCallBack(replace_with_42);
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_CALLBACK);
  std::vector<double> x = uniform<double>(-100, 100, 13, 64);
  x[0] = INFINITY;
  x[5] = 1e300;
  for (int slot : {LA, HA, EP}) {
    for (const char* f : kFunctions) {
      std::vector<double> r(x.size());
      kernel<double>(f, slot)(13, x.data(), r.data());
      EXPECT_EQ(r[0], 42.0) << f;
      for (size_t i = 1; i < x.size(); ++i) EXPECT_EQ(r[i], one(kernel<double>(f, slot), x[i])) << f << " " << i;
    }
    std::vector<double> s(x.size()), c(x.size());
    qor_fnx_kernel_dSinCos_ttab[slot](13, x.data(), s.data(), c.data());
    EXPECT_EQ(s[0], 42.0);
    EXPECT_EQ(c[0], 43.0);
    std::vector<float> xs(x.begin(), x.end()), ss(x.size()), cs(x.size());
    qor_fnx_kernel_sSinCos_ttab[slot](13, xs.data(), ss.data(), cs.data());
    EXPECT_EQ(ss[0], 42.0f);
    EXPECT_EQ(cs[0], 43.0f);
  }
  qor_fnx_kernel_SetErrorCallBack(prev);
  qor_fnx_kernel_SetMode(old & QOR_FNX_ERRMODE_MASK);
}

// SinCos gives the sine and cosine of its slot's accuracy, against MPFR.
TEST(SinCos, BothResultsAgainstMpfr) {
  std::vector<double> d = uniform<double>(-1e6, 1e6, qor::test::scaled(20000), 65);
  append(d, near_multiples(1, qor::test::scaled(1000, 100), 0));
  append(d, {1e300, DBL_MAX, 0x1.6ac5b262ca1ffp+849, 0x1p-1074, -0.0});
  for (int slot : {LA, HA, EP}) {
    std::vector<double> s(d.size()), c(d.size());
    qor_fnx_kernel_dSinCos_ttab[slot](static_cast<int32_t>(d.size()), d.data(), s.data(), c.data());
    qor::test::UlpAccumulator as, ac;
    double worst_rel = 0;
    for (size_t i = 0; i < d.size(); ++i) {
      const double es = qor::test::mpfr_reference(mpfr_sin, d[i]), ec = qor::test::mpfr_reference(mpfr_cos, d[i]);
      as.add(d[i], s[i], qor::test::ulp_error(mpfr_sin, d[i], s[i]));
      ac.add(d[i], c[i], qor::test::ulp_error(mpfr_cos, d[i], c[i]));
      if (es != 0) worst_rel = std::max(worst_rel, std::fabs(s[i] - es) / std::fabs(es));
      worst_rel = std::max(worst_rel, std::fabs(c[i] - ec) / std::fabs(ec));
    }
    const double bound = slot == HA ? 0.65 : slot == LA ? 4.0 : INFINITY;
    EXPECT_LE(as.max_ulps(), bound) << slot_name(slot) << " sin: " << as.summary();
    EXPECT_LE(ac.max_ulps(), bound) << slot_name(slot) << " cos: " << ac.summary();
    EXPECT_LE(worst_rel, 0x1p-26) << slot_name(slot);
  }
}

// Single-precision Sin, Cos and SinCos LA and EP reduce by pi in double precision on widened lanes
// up to the 10000 screen and evaluate the polynomial in single precision. Their seams: the floats
// nearest every multiple of pi/2 up to the screen (the closest, 252.898208 for the cosine, is
// within 2^-27.8 of one), both sides of the screen, and registers mixing lanes on either side
// (a flagged lane leaves the block's other lanes as they were). SinCos gives the slot's Sin and
// Cos bit for bit (the LA kernel serves SinCos's EP slot too).
TEST(SinCosTan, SinglePrecisionLowAccuracyFormulaAndItsScreen) {
  std::vector<float> x;
  const int step = qor::test::scaled(1, 8);
  for (double v : near_multiples(3000, qor::test::scaled(3370, 400), 0)) x.push_back(static_cast<float>(v));
  for (size_t i = 0; i < x.size(); i += static_cast<size_t>(step)) x.push_back(std::nextafter(x[i], 0.0f));
  append(x, {252.898208f, 505.796417f, 4.71238899f, 1.57079637f, 9999.99902f, 10000.0f, 10000.001f});
  append(x, consecutive(10000.0f - 40 * 0x1p-10f, 80));  // 40 floats on either side
  const size_t base = x.size();
  for (size_t i = 0; i < base; ++i) x.push_back(-x[i]);
  for (const char* f : {"Sin", "Cos"}) sweep_function<float>(f, x);
  // mixed registers: every fourth lane beyond the screen or special
  const float odd[] = {10000.0f, -3e7f, INFINITY, NAN, 1e38f};
  std::vector<float> m = uniform<float>(-10000, 10000, qor::test::scaled(4000, 400), 67);
  for (size_t i = 0; i + 3 < m.size(); i += 4) m[i + (i / 4) % 4] = odd[(i / 4) % 5];
  const int32_t n = static_cast<int32_t>(m.size());
  std::vector<float> sl(m.size()), cl(m.size());  // the LA slot's Sin and Cos
  for (int slot : {LA, EP}) {
    std::vector<float> rs(m.size()), rc(m.size()), s(m.size()), c(m.size());
    kernel<float>("Sin", slot)(n, m.data(), rs.data());
    kernel<float>("Cos", slot)(n, m.data(), rc.data());
    if (slot == LA) sl = rs, cl = rc;
    qor_fnx_kernel_sSinCos_ttab[slot](n, m.data(), s.data(), c.data());  // the LA kernel in both slots
    for (int32_t i = 0; i < n; ++i) {
      EXPECT_EQ(bits_of_f(s[i]), bits_of_f(sl[i])) << "SinCos " << slot_name(slot) << " x = " << m[i];
      EXPECT_EQ(bits_of_f(c[i]), bits_of_f(cl[i])) << "SinCos " << slot_name(slot) << " x = " << m[i];
      // each lane as if alone
      EXPECT_EQ(bits_of_f(rs[i]), bits_of_f(one(kernel<float>("Sin", slot), m[i]))) << slot_name(slot) << " x = " << m[i];
      EXPECT_EQ(bits_of_f(rc[i]), bits_of_f(one(kernel<float>("Cos", slot), m[i]))) << slot_name(slot) << " x = " << m[i];
    }
  }
  std::vector<float> finite;
  for (float v : m)
    if (std::isfinite(v)) finite.push_back(v);
  for (const char* f : {"Sin", "Cos"}) sweep_function<float>(f, finite);
}

// The one-element routines: the HA result, reports under the names given.
struct NameRecord {
  static std::vector<std::string>& names() {
    static std::vector<std::string> n;
    return n;
  }
  static int cb(FnxErrorContext* c) {
    names().emplace_back(c->funcName);
    return 0;
  }
};

TEST(SinCosTanOneElement, ResultsAndReportNames) {
  const uint32_t old = qor_fnx_kernel_GetMode();
  FnxErrorCallBack prev = qor_fnx_kernel_SetErrorCallBack(NameRecord::cb);
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_CALLBACK);
  NameRecord::names().clear();
  const double x[3] = {2.5, 1e300, INFINITY};
  double r[3], r2[3];
  for (int i = 0; i < 2; ++i) {
    qor_fnx_kernel_dSin_SC(i, x, r, nullptr);
    EXPECT_LE(qor::test::ulp_error(mpfr_sin, x[i], r[i]).ulps, 0.65);
    qor_fnx_kernel_dCos_SC_A11(i, x, r);
    EXPECT_LE(qor::test::ulp_error(mpfr_cos, x[i], r[i]).ulps, 0.65);
    qor_fnx_kernel_dTan_SC(i, x, r, "dTan_LA");
    EXPECT_LE(qor::test::ulp_error(mpfr_tan, x[i], r[i]).ulps, 0.65);
    qor_fnx_kernel_dSinCos_SC(i, x, r, r2, nullptr);
    EXPECT_LE(qor::test::ulp_error(mpfr_sin, x[i], r[i]).ulps, 0.65);
    EXPECT_LE(qor::test::ulp_error(mpfr_cos, x[i], r2[i]).ulps, 0.65);
  }
  EXPECT_TRUE(NameRecord::names().empty());
  qor_fnx_kernel_dSin_SC(2, x, r, nullptr);
  qor_fnx_kernel_dSin_SC(2, x, r, "dSin_LA");
  qor_fnx_kernel_dSin_SC_A11(2, x, r);
  qor_fnx_kernel_dTan_SC_A11(2, x, r);
  qor_fnx_kernel_dSinCos_SC_A11(2, x, r, r2);
  const float xs[2] = {0.75f, -INFINITY};
  float rs[2], rs2[2];
  qor_fnx_kernel_sSin_SC(0, xs, rs, nullptr);
  EXPECT_EQ(rs[0], qor::test::mpfr_reference(mpfr_sin, 0.75f));
  qor_fnx_kernel_sSin_SC(1, xs, rs, nullptr);
  qor_fnx_kernel_sCos_SC_A11(1, xs, rs);
  qor_fnx_kernel_sSinCos_SC(1, xs, rs, rs2, "sSinCos_LA");
  const std::vector<std::string> want = {"dSin_HA", "dSin_LA", "dSin_A11", "dTan_A11", "dSinCos_A11",
                                         "sSin_HA", "sCos_A11", "sSinCos_LA"};
  EXPECT_EQ(NameRecord::names(), want);
  EXPECT_TRUE(std::isnan(r[2]) && std::isnan(rs[1]));
  qor_fnx_kernel_SetErrorCallBack(prev);
  qor_fnx_kernel_SetMode(old & QOR_FNX_ERRMODE_MASK);
}

}  // namespace
