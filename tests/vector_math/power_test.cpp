// The power functions and Hypot beyond the accuracy sweep: every pairing of special values
// against MPFR (pow, powr), the statuses with both arguments in the error record (the scalar of
// Powx included), results rounded once at both ends of the range, and block results equal to
// one-element calls.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "accuracy_harness.h"
#include "qor/vm.h"

namespace {
using namespace vm_test;


template <class T>
using K2 = void (*)(int32_t, const T*, const T*, T*);

template <class T>
std::vector<T> specials() {
  const T tiny = std::numeric_limits<T>::denorm_min(), big = std::numeric_limits<T>::max();
  return {T(0), T(-0.0), tiny, -tiny, T(0.5), T(-0.5), T(1), T(-1), T(1.5), T(-1.5), T(2), T(-2), T(3), T(-3),
          T(0.75), T(-1) / 3, big, -big, T(INFINITY), T(-INFINITY), T(NAN)};
}

// Every pairing of special values, in every slot, against MPFR (sign of zero and NaN included),
// within the HA bound of the reference rows (the double EP kernels: within their contract of 26
// correct bits). One pairing is decided differently: powr(1, NaN) is
// NaN here (a NaN operand gives NaN; only a finite y makes powr(1, y) = 1), MPFR gives 1.
template <class T>
void special_pairs(const char* func, Mpfr2 ref) {
  const std::vector<T> v = specials<T>();
  std::vector<T> a, b;
  for (T x : v)
    for (T y : v) {
      a.push_back(x);
      b.push_back(y);
    }
  const Function& f = function<T>(func);
  std::vector<T> r(a.size());
  Exact m(3);
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (int s : {LA, HA, EP}) {
    f.slot<K2<T>>(s)(static_cast<int32_t>(a.size()), a.data(), b.data(), r.data());
    for (size_t i = 0; i < a.size(); ++i) {
      if (ref == mpfr_powr && a[i] == 1 && std::isnan(b[i])) {
        EXPECT_TRUE(std::isnan(r[i]));
        continue;
      }
      set_exact(m[0], static_cast<double>(a[i]));
      set_exact(m[1], static_cast<double>(b[i]));
      ref(m[2], m[0], m[1], MPFR_RNDN);
      EXPECT_LE(qor::test::ulp_error(m[2], r[i]).ulps, sizeof(T) == 8 && s == EP ? 0x1p26 : 0.6)
          << f.name() << " " << slot_name(s) << "(" << a[i] << ", " << b[i] << ") = " << r[i];
    }
  }
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
}

TEST(Power, SpecialValuePairsAgainstMpfr) {
  special_pairs<float>("Pow", mpfr_pow);
  special_pairs<double>("Pow", mpfr_pow);
  special_pairs<float>("Powr", mpfr_powr);
  special_pairs<double>("Powr", mpfr_powr);
  special_pairs<float>("Hypot", mpfr_hypot);
  special_pairs<double>("Hypot", mpfr_hypot);
}

TEST(Power, StatusesWithBothArguments) {
  Recording rec;
  const double a[] = {-8.0, -0.0, 10.0, 10.0, 2.0, 2.0, NAN, -2.0, 0.0, 1.0};
  const double b[] = {1.0 / 3, -1.0, 400.0, -400.0, -1074.0, -1022.0, 0.0, 3.0, -0.5, NAN};
  double r[10];
  _fnxdPow(10, a, b, r);
  EXPECT_TRUE(std::isnan(r[0]));
  EXPECT_EQ(r[1], -INFINITY);
  EXPECT_EQ(r[2], INFINITY);
  EXPECT_EQ(r[3], 0.0);
  EXPECT_EQ(r[4], 0x1p-1074);
  EXPECT_EQ(r[5], 0x1p-1022);
  EXPECT_EQ(r[6], 1.0);
  EXPECT_EQ(r[7], -8.0);
  EXPECT_EQ(r[8], INFINITY);
  EXPECT_EQ(r[9], 1.0);
  const int want_index[] = {0, 1, 2, 3, 4, 8}, want_code[] = {1, 2, 3, 4, 4, 2};
  ASSERT_EQ(reports().size(), 6u);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(reports()[k].index, want_index[k]);
    EXPECT_EQ(reports()[k].code, want_code[k]);
    EXPECT_EQ(reports()[k].arg, a[want_index[k]]);
    EXPECT_EQ(reports()[k].arg2, b[want_index[k]]);
  }
  // single precision judges overflow and underflow in float
  reports().clear();
  const float fa[] = {10.0f, 10.0f, 2.0f, -8.0f}, fb[] = {39.0f, -46.0f, -149.0f, 1.0f / 3};
  float fr[4];
  _fnxsPow(4, fa, fb, fr);
  EXPECT_EQ(fr[0], INFINITY);
  EXPECT_EQ(fr[1], 0.0f);
  EXPECT_EQ(fr[2], 0x1p-149f);
  ASSERT_EQ(reports().size(), 4u);
  EXPECT_EQ(reports()[0].code, 3);
  EXPECT_EQ(reports()[1].code, 4);
  EXPECT_EQ(reports()[2].code, 4);
  EXPECT_EQ(reports()[3].code, 1);
  // Powr: a negative base, 0^0 and 1^inf are outside its domain
  reports().clear();
  const double pa[] = {-2.0, 0.0, 1.0, INFINITY, -0.0}, pb[] = {2.0, 0.0, INFINITY, 0.0, -1.0};
  double pr[5];
  _fnxdPowr(5, pa, pb, pr);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::isnan(pr[i])) << i;
  EXPECT_EQ(pr[4], INFINITY);  // -0 counts as +0
  ASSERT_EQ(reports().size(), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(reports()[i].code, 1);
  EXPECT_EQ(reports()[4].code, 2);
}

// The scalar exponent of Powx is the second argument of every record.
TEST(Power, PowxRecordsItsScalar) {
  Recording rec;
  std::vector<double> a(11, 3.0), r(11);
  a[5] = 0.0;
  a[9] = -0.0;
  _fnxdPowx(11, a.data(), -1.0, r.data());
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_EQ(reports()[0].index, 5);
  EXPECT_EQ(reports()[0].arg2, -1.0);
  EXPECT_EQ(reports()[1].index, 9);
  EXPECT_EQ(reports()[1].arg2, -1.0);
  EXPECT_EQ(reports()[1].res, -INFINITY);
  EXPECT_EQ(r[0], 1.0 / 3.0);
  std::vector<float> fa(13, 4.0f), fr(13);
  fa[12] = -4.0f;
  reports().clear();
  _fnxsPowx(13, fa.data(), 0.5f, fr.data());
  EXPECT_EQ(fr[0], 2.0f);
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0].index, 12);
  EXPECT_EQ(reports()[0].arg2, 0.5);
  EXPECT_EQ(reports()[0].code, 1);
}

// Results through the subnormal range are rounded once: 2^y for y in steps of 1/8 from -1080 to
// -1015 against MPFR (a double rounding would show as errors above half an ulp).
TEST(Power, SubnormalResultsRoundedOnce) {
  std::vector<double> a, b;
  for (double y = -1080; y <= -1015; y += 0.125) {
    a.push_back(2.0);
    b.push_back(y);
    a.push_back(0.5);
    b.push_back(-y);
    a.push_back(std::cbrt(0.5));  // base not a power of two
    b.push_back(3 * y);
  }
  std::vector<double> r(a.size());
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  _fnxdPow(static_cast<int32_t>(a.size()), a.data(), b.data(), r.data());
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
  Exact m(3);
  for (size_t i = 0; i < a.size(); ++i) {
    set_exact(m[0], a[i]);
    set_exact(m[1], b[i]);
    mpfr_pow(m[2], m[0], m[1], MPFR_RNDN);
    EXPECT_LE(qor::test::ulp_error(m[2], r[i]).ulps, 0.5) << a[i] << "^" << b[i] << " = " << r[i];
  }
  EXPECT_EQ(r[0], 0.0);  // 2^-1080
}

// The single-precision packed core hands a lane to the per-element routine when y log2 x leaves
// (-125.99, 127.99): results across that boundary, the overflow threshold and the subnormal
// range, in every slot, are rounded once (against MPFR) and reported exactly when they are
// infinite (3) or below the least normal float (4).
TEST(Power, SinglePrecisionRangeEnds) {
  std::vector<float> a, b;
  for (float x : {2.0f, 0.5f, 3.0f, 0.7f, 1.0001f})
    for (double t : {-150.0, -149.0, -126.0, -125.99, 127.99, 128.0})
      for (int k = -40; k <= 40; ++k) {
        a.push_back(x);
        b.push_back(static_cast<float>((t + k * 0x1p-10) / std::log2(static_cast<double>(x))));
      }
  const Function& f = function<float>("Pow");
  std::vector<float> r(a.size());
  Exact m(3);
  for (int s : {LA, HA, EP}) {
    Recording rec;
    f.slot<K2<float>>(s)(static_cast<int32_t>(a.size()), a.data(), b.data(), r.data());
    size_t next = 0;
    for (size_t i = 0; i < a.size(); ++i) {
      set_exact(m[0], a[i]);
      set_exact(m[1], b[i]);
      mpfr_pow(m[2], m[0], m[1], MPFR_RNDN);
      EXPECT_LE(qor::test::ulp_error(m[2], r[i]).ulps, 0.5001) << slot_name(s) << " " << a[i] << "^" << b[i];
      const int want = std::isinf(r[i]) ? 3 : std::fabs(r[i]) < 0x1p-126f ? 4 : 0;
      if (want == 0) continue;
      ASSERT_LT(next, reports().size()) << a[i] << "^" << b[i];
      EXPECT_EQ(reports()[next].index, static_cast<int>(i));
      EXPECT_EQ(reports()[next].code, want);
      ++next;
    }
    EXPECT_EQ(next, reports().size()) << slot_name(s);
  }
}

// A vector mixing special and ordinary elements gives what one-element calls give.
template <class T>
void blocks_equal_single(const char* func) {
  std::mt19937 g(3);
  std::uniform_real_distribution<double> u(0.1, 3), v(-30, 30);
  const std::vector<T> sp = specials<T>();
  std::vector<T> a(37), b(37), r(37);
  for (int i = 0; i < 37; ++i) {
    a[i] = i % 5 == 0 ? sp[i % sp.size()] : static_cast<T>(u(g));
    b[i] = i % 7 == 3 ? sp[(i / 2) % sp.size()] : static_cast<T>(v(g));
  }
  const Function& f = function<T>(func);
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (int s : {LA, HA, EP}) {
    f.slot<K2<T>>(s)(37, a.data(), b.data(), r.data());
    for (int i = 0; i < 37; ++i) {
      T one;
      f.slot<K2<T>>(s)(1, &a[i], &b[i], &one);
      EXPECT_EQ(std::memcmp(&one, &r[i], sizeof(T)), 0) << f.name() << " " << i << ": " << a[i] << ", " << b[i];
    }
  }
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
}

TEST(Power, BlocksGiveWhatSingleElementsGive) {
  for (const char* fn : {"Pow", "Powr", "Hypot"}) {
    blocks_equal_single<float>(fn);
    blocks_equal_single<double>(fn);
  }
}

TEST(Hypot, BothEndsOfTheRange) {
  const float a[] = {3e20f, 0.0f, -0.0f, INFINITY, NAN, 0x1p-149f * 3, 3e38f};
  const float b[] = {4e20f, 0.0f, -0.0f, NAN, -INFINITY, 0x1p-149f * 4, 3e38f};
  float r[7];
  _fnxsHypot(7, a, b, r);
  EXPECT_EQ(r[0], 5e20f);
  EXPECT_TRUE(std::signbit(r[1]) == false && r[1] == 0.0f);
  EXPECT_TRUE(std::signbit(r[2]) == false && r[2] == 0.0f);
  EXPECT_EQ(r[3], INFINITY);
  EXPECT_EQ(r[4], INFINITY);
  EXPECT_EQ(r[5], 0x1p-149f * 5);
  EXPECT_EQ(r[6], INFINITY);
  const double c[] = {3e300, 0x1p-1074 * 3, 1e308, 1e-320, 1.0};
  const double d[] = {4e300, 0x1p-1074 * 4, 1e308, 1e-300, 1e-17};
  double s[5];
  _fnxdHypot(5, c, d, s);
  EXPECT_EQ(s[0], 5e300);
  EXPECT_EQ(s[1], 0x1p-1074 * 5);
  EXPECT_EQ(s[2], std::hypot(1e308, 1e308));
  EXPECT_EQ(s[3], 1e-300);
  EXPECT_EQ(s[4], 1.0);
}

// Pow2o3 and Pow3o2 at their edges.
TEST(Power, FixedPowers) {
  Recording rec;
  const double a[] = {-8.0, 8.0, -0.0, -INFINITY, 0x1p-1074, 0x1p683, 4.0, -4.0};
  double r[8];
  _fnxdPow2o3(8, a, r);
  EXPECT_EQ(r[0], 4.0);
  EXPECT_EQ(r[1], 4.0);
  EXPECT_TRUE(r[2] == 0.0 && !std::signbit(r[2]));
  EXPECT_EQ(r[3], INFINITY);
  EXPECT_TRUE(reports().empty());
  _fnxdPow3o2(8, a, r);
  EXPECT_TRUE(std::isnan(r[0]));
  EXPECT_EQ(r[1], std::sqrt(8.0) * 8.0);
  EXPECT_EQ(r[4], 0.0);  // 2^-1611
  EXPECT_EQ(r[5], INFINITY);
  EXPECT_EQ(r[6], 8.0);
  EXPECT_EQ(r[3], INFINITY);  // pow(-inf, 1.5) as C's pow
  // statuses: domain for -8 and -4; underflow for 2^-1074; overflow for 2^683
  std::vector<int> codes;
  for (const Report& x : reports()) codes.push_back(x.code * 10 + x.index);
  EXPECT_EQ(codes, (std::vector<int>{10, 44, 35, 17}));
}

}  // namespace
