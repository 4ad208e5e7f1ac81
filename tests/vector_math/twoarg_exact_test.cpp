// The exact two-argument kernels beyond the accuracy sweep: the error records of two-argument
// and scalar-argument kernels (both arguments), the statuses of Div, Fmod, Remainder and
// NextAfter, the signed-zero and NaN rules of the min/max family, and LinearFrac's three cases.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "accuracy_harness.h"
#include "qor/vm.h"

namespace {
using namespace vm_test;


bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(TwoArgExact, DivReportsAZeroDivisorWithBothArguments) {
  Recording rec;
  std::vector<float> a = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, b(11, 4.0f), r(11);
  b[5] = 0.0f;
  b[9] = -0.0f;
  a[9] = 0.0f;
  _fnxsDiv(11, a.data(), b.data(), r.data());
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_EQ(reports()[0].code, 2);
  EXPECT_EQ(reports()[0].index, 5);
  EXPECT_EQ(reports()[0].arg, 6.0);
  EXPECT_TRUE(same_bits(reports()[0].arg2, 0.0));
  EXPECT_EQ(reports()[0].res, INFINITY);
  EXPECT_EQ(reports()[0].name, "vsDiv");
  EXPECT_EQ(reports()[1].index, 9);  // 0 / -0: NaN, reported too
  EXPECT_TRUE(std::isnan(reports()[1].res));
  EXPECT_EQ(r[4], 1.25f);
  EXPECT_EQ(r[5], INFINITY);
  EXPECT_TRUE(std::isnan(r[9]));
  EXPECT_EQ(_fnxGetErrStatus(), 2);
  // the double kernel, in every slot
  for (auto k : {_fnxdDiv_50, _fnxdDiv, _fnxdDiv_26}) {
    reports().clear();
    const double x[3] = {-1, 1, 2}, y[3] = {0, 3, -0.0};
    double z[3];
    k(3, x, y, z);
    ASSERT_EQ(reports().size(), 2u);
    EXPECT_EQ(z[0], -INFINITY);
    EXPECT_EQ(z[1], 1.0 / 3.0);
    EXPECT_EQ(z[2], -INFINITY);
    EXPECT_EQ(reports()[1].index, 2);
    EXPECT_TRUE(same_bits(reports()[1].arg2, -0.0));
    EXPECT_EQ(reports()[1].name, "vdDiv");
  }
}

TEST(TwoArgExact, FmodAndRemainderCases) {
  Recording rec;
  const float a[] = {5.5f, -5.5f, 7.0f, 3.0f, INFINITY, 1.0f, 0x1.fffffep127f, -0x1p-149f, 5.0f, NAN};
  const float b[] = {2.0f, 2.0f, 0.0f, INFINITY, 2.0f, 1.0f, 0x1p-149f, 0x1p-148f, -1.5f, 0.0f};
  constexpr int n = 10;
  float r[n];
  _fnxsFmod(n, a, b, r);
  EXPECT_EQ(r[0], 1.5f);
  EXPECT_EQ(r[1], -1.5f);
  EXPECT_TRUE(std::isnan(r[2]));
  EXPECT_EQ(r[3], 3.0f);
  EXPECT_TRUE(std::isnan(r[4]));
  EXPECT_TRUE(same_bits(r[5], 0.0f));
  EXPECT_TRUE(same_bits(r[6], 0.0f));   // every float is a multiple of the least subnormal
  EXPECT_EQ(r[7], -0x1p-149f);
  EXPECT_EQ(r[8], 0.5f);
  EXPECT_TRUE(std::isnan(r[9]));  // NaN operand: no report
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_EQ(reports()[0].code, 2);
  EXPECT_EQ(reports()[0].index, 2);
  EXPECT_EQ(reports()[0].arg, 7.0);
  EXPECT_EQ(reports()[0].arg2, 0.0);
  EXPECT_EQ(reports()[1].index, 4);
  reports().clear();
  _fnxsRemainder(n, a, b, r);
  EXPECT_EQ(r[0], -0.5f);  // 5.5 / 2 = 2.75 -> 3
  EXPECT_EQ(r[1], 0.5f);
  EXPECT_EQ(r[8], 0.5f);  // 5 / -1.5 = -3.33 -> -3: 5 - 4.5
  EXPECT_TRUE(same_bits(r[5], 0.0f));
  EXPECT_EQ(reports().size(), 2u);
  // ties go to the even quotient; |a| = |b| gives a zero with a's sign
  const double c[] = {2.5, 3.5, -2.5, -4.0, 0x1p1023, 1e-320};
  const double d[] = {1.0, 1.0, 1.0, 4.0, 0x1.8p-1070, 3e-321};
  double s[6];
  _fnxdRemainder(6, c, d, s);
  EXPECT_EQ(s[0], 0.5);
  EXPECT_EQ(s[1], -0.5);
  EXPECT_EQ(s[2], -0.5);
  EXPECT_TRUE(same_bits(s[3], -0.0));
  EXPECT_EQ(s[4], std::remainder(0x1p1023, 0x1.8p-1070));
  EXPECT_EQ(s[5], std::remainder(1e-320, 3e-321));
}

// Random pairs with close and far exponents against the C library, both precisions.
TEST(TwoArgExact, FmodMatchesTheCLibraryOverExponentSpreads) {
  std::mt19937_64 g(11);
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_int_distribution<int> e(-1074, 1023), de(-60, 60);
  const int n = static_cast<int>(qor::test::scaled(20000));
  std::vector<double> a(n), b(n), r(n), q(n);
  for (int i = 0; i < n; ++i) {
    const int ea = e(g);
    a[i] = std::ldexp(u(g), ea);
    b[i] = std::ldexp(u(g), i % 2 ? std::clamp(ea + de(g), -1074, 1023) : e(g));
  }
  _fnxdFmod(n, a.data(), b.data(), r.data());
  _fnxdRemainder(n, a.data(), b.data(), q.data());
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(same_bits(r[i], std::fmod(a[i], b[i]))) << a[i] << " fmod " << b[i];
    ASSERT_TRUE(same_bits(q[i], std::remainder(a[i], b[i]))) << a[i] << " remainder " << b[i];
  }
}

// The packed path of Fmod and Remainder takes quotients below 2^26 (double) or 2^28 (float):
// quotients just below, at and just above integers (where the rounded quotient's truncation is
// one too large) and at half-integers (Remainder's ties to even), on both sides of those limits.
template <class T>
void near_integer_quotients(void (*fmod)(int32_t, const T*, const T*, T*),
                            void (*rem)(int32_t, const T*, const T*, T*)) {
  std::mt19937_64 g(5);
  std::uniform_real_distribution<double> m(1, 2);
  std::uniform_int_distribution<int> e(-100, 100), kb(0, sizeof(T) == 8 ? 27 : 29);
  std::vector<T> a, b;
  for (int i = 0; i < static_cast<int>(qor::test::scaled(3000)); ++i) {
    const T y = static_cast<T>(std::ldexp(m(g), e(g)));
    const double k = std::floor(std::ldexp(m(g), kb(g)));
    for (double f : {0.0, 0.5}) {
      const T x = static_cast<T>((k + f) * static_cast<double>(y));
      for (T v : {std::nextafter(x, T(0)), x, std::nextafter(x, std::numeric_limits<T>::infinity())}) {
        a.push_back(i % 3 ? v : -v);
        b.push_back(i % 5 ? y : -y);
      }
    }
  }
  const int n = static_cast<int>(a.size());
  std::vector<T> r(n), q(n);
  fmod(n, a.data(), b.data(), r.data());
  rem(n, a.data(), b.data(), q.data());
  for (int i = 0; i < n; ++i) {
    ASSERT_TRUE(same_bits(r[i], std::fmod(a[i], b[i]))) << a[i] << " fmod " << b[i] << " = " << r[i];
    ASSERT_TRUE(same_bits(q[i], std::remainder(a[i], b[i]))) << a[i] << " remainder " << b[i] << " = " << q[i];
  }
}

TEST(TwoArgExact, FmodAndRemainderNearIntegerQuotients) {
  near_integer_quotients<float>(_fnxsFmod, _fnxsRemainder);
  near_integer_quotients<double>(_fnxdFmod, _fnxdRemainder);
}

TEST(TwoArgExact, NextAfterStatuses) {
  Recording rec;
  const float a[] = {0.0f, 0x1p-126f, 0x1.fffffep127f, 1.0f, -0x1p-149f, 2.0f, NAN, -0.0f};
  const float b[] = {1.0f, 0.0f, INFINITY, 2.0f, 1.0f, 2.0f, 1.0f, 0.0f};
  float r[8];
  _fnxsNextAfter(8, a, b, r);
  EXPECT_EQ(r[0], 0x1p-149f);
  EXPECT_EQ(r[1], 0x1.fffffcp-127f);
  EXPECT_EQ(r[2], INFINITY);
  EXPECT_EQ(r[3], 0x1.000002p0f);
  EXPECT_TRUE(same_bits(r[4], -0.0f));
  EXPECT_EQ(r[5], 2.0f);
  EXPECT_TRUE(std::isnan(r[6]));
  EXPECT_TRUE(same_bits(r[7], 0.0f));  // a = b: b itself, no step
  ASSERT_EQ(reports().size(), 4u);
  const int want_index[] = {0, 1, 2, 4}, want_code[] = {4, 4, 3, 4};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(reports()[k].index, want_index[k]);
    EXPECT_EQ(reports()[k].code, want_code[k]);
  }
  EXPECT_EQ(reports()[2].arg2, INFINITY);
  EXPECT_EQ(reports()[2].res, INFINITY);
  // the double kernel: 0 steps to the least subnormal with b's sign, reported as underflow
  reports().clear();
  const double x[2] = {0.0, 0x1.fffffffffffffp1023}, y[2] = {-1.0, INFINITY};
  double z[2];
  _fnxdNextAfter(2, x, y, z);
  EXPECT_EQ(z[0], -0x1p-1074);
  EXPECT_EQ(z[1], INFINITY);
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_EQ(reports()[0].code, 4);
  EXPECT_EQ(reports()[1].code, 3);
}

// maximumNumber / minimumNumber and their magnitude twins: signed zeros and NaNs, in blocks and
// the tail, against the rule written out here.
TEST(TwoArgExact, MinMaxSignedZerosAndNaNs) {
  const double q = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double a, b, fmax, fmin, maxmag, minmag;
  } cases[] = {
      {0.0, -0.0, 0.0, -0.0, 0.0, -0.0},   {-0.0, 0.0, 0.0, -0.0, 0.0, -0.0},
      {q, 1.0, 1.0, 1.0, 1.0, 1.0},        {-2.0, q, -2.0, -2.0, -2.0, -2.0},
      {-2.0, 2.0, 2.0, -2.0, 2.0, -2.0},   {-3.0, 2.0, 2.0, -3.0, -3.0, 2.0},
      {INFINITY, -INFINITY, INFINITY, -INFINITY, INFINITY, -INFINITY},
      {1e-310, -1e-300, 1e-310, -1e-300, -1e-300, 1e-310},
  };
  constexpr int n = sizeof cases / sizeof cases[0];
  double a[n], b[n], r[4][n];
  for (int i = 0; i < n; ++i) {
    a[i] = cases[i].a;
    b[i] = cases[i].b;
  }
  _fnxdFmax(n, a, b, r[0]);
  _fnxdFmin(n, a, b, r[1]);
  _fnxdMaxMag(n, a, b, r[2]);
  _fnxdMinMag(n, a, b, r[3]);
  for (int i = 0; i < n; ++i) {
    EXPECT_TRUE(same_bits(r[0][i], cases[i].fmax)) << i;
    EXPECT_TRUE(same_bits(r[1][i], cases[i].fmin)) << i;
    EXPECT_TRUE(same_bits(r[2][i], cases[i].maxmag)) << i;
    EXPECT_TRUE(same_bits(r[3][i], cases[i].minmag)) << i;
  }
  // two NaNs: a quiet NaN; float kernel on the same cases
  const double nn[2] = {q, q};
  double o[1];
  _fnxdFmax(1, nn, nn + 1, o);
  EXPECT_TRUE(std::isnan(o[0]));
  float fa[n], fb[n], fr[n];
  for (int i = 0; i < n; ++i) {
    fa[i] = static_cast<float>(cases[i].a);
    fb[i] = static_cast<float>(cases[i].b);
  }
  _fnxsMinMag(n, fa, fb, fr);
  for (int i = 0; i < n - 1; ++i) EXPECT_TRUE(same_bits(fr[i], static_cast<float>(cases[i].minmag))) << i;
  // Fdim: +0 (never -0) when a <= b, NaN when either is NaN
  const float da[] = {-0.0f, 1.0f, 3.0f, NAN}, db[] = {0.0f, 1.0f, 1.0f, 0.0f};
  float dr[4];
  _fnxsFdim(4, da, db, dr);
  EXPECT_TRUE(same_bits(dr[0], 0.0f));
  EXPECT_TRUE(same_bits(dr[1], 0.0f));
  EXPECT_EQ(dr[2], 2.0f);
  EXPECT_TRUE(std::isnan(dr[3]));
}

// LinearFrac: the constant cases exactly (a division by 2 is exact), the general case of single
// precision within 2 ulp of the exact fraction of the rounded numerator and denominator, double
// precision the IEEE quotient of them; every count from 0 to 20 (blocks and the padded tail).
TEST(TwoArgExact, LinearFracCases) {
  Recording rec;
  std::mt19937 g(5);
  std::uniform_real_distribution<float> u(-100, 100);
  for (int n = 0; n <= 20; ++n) {
    std::vector<float> a(n), b(n), r(n + 1, 7.0f);
    for (int i = 0; i < n; ++i) {
      a[i] = u(g);
      b[i] = u(g);
    }
    _fnxsLinearFrac(n, a.data(), b.data(), 3.0f, 1.0f, 0.0f, 2.0f, r.data());
    for (int i = 0; i < n; ++i) EXPECT_EQ(r[i], (3.0f * a[i] + 1.0f) / 2.0f);
    EXPECT_EQ(r[n], 7.0f);  // nothing written past n
    _fnxsLinearFrac(n, a.data(), b.data(), 0.0f, 5.0f, 2.0f, 1.0f, r.data());
    for (int i = 0; i < n; ++i) EXPECT_EQ(r[i], 5.0f / (2.0f * b[i] + 1.0f));
    _fnxsLinearFrac(n, a.data(), b.data(), -1.5f, 0.25f, 0.5f, 3.0f, r.data());
    for (int i = 0; i < n; ++i) {
      const float num = -1.5f * a[i] + 0.25f, den = 0.5f * b[i] + 3.0f;
      const double exact = static_cast<double>(num) / static_cast<double>(den);
      const double ulp = std::ldexp(1.0, std::ilogb(exact) - 23);
      EXPECT_LE(std::fabs(r[i] - exact), 2 * ulp) << a[i] << " " << b[i];
    }
    std::vector<double> da(a.begin(), a.end()), db(b.begin(), b.end()), dr(n);
    _fnxdLinearFrac(n, da.data(), db.data(), -1.5, 0.25, 0.1, 3.0, dr.data());
    for (int i = 0; i < n; ++i) {
      const double num = -1.5 * da[i] + 0.25, den = 0.1 * db[i] + 3.0;
      EXPECT_EQ(dr[i], num / den);
    }
    _fnxdLinearFrac(n, da.data(), db.data(), 0.0, 0.25, 0.0, 4.0, dr.data());
    for (int i = 0; i < n; ++i) EXPECT_EQ(dr[i], 0.0625);
  }
  EXPECT_TRUE(reports().empty());  // nothing reported, even for a zero denominator
  const float z[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  float zr[8];
  _fnxsLinearFrac(8, z, z, 1.0f, 0.0f, 1.0f, -1.0f, zr);
  EXPECT_TRUE(reports().empty());
}

}  // namespace
