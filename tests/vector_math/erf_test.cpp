// The error-function family: special values, poles and domain statuses in every slot, the
// per-element routine of double-precision ErfInv (its tiny-argument product and the subnormal
// results), the far tails of Erfc, CdfNorm and the inverse functions, and the seams of the
// inverse functions' packed pieces, against MPFR.
#include "special_cases.h"

namespace {
using namespace vm_test;

TEST(ErfFamily, SpecialValuesPolesAndDomainInEverySlot) {
  check_specials({
      {"Erf", -0.0, -0.0, 0},          {"Erf", INFINITY, 1.0, 0},         {"Erf", -INFINITY, -1.0, 0},
      {"Erf", NAN, NAN, 0},            {"Erfc", INFINITY, 0.0, 0},        {"Erfc", -INFINITY, 2.0, 0},
      {"Erfc", 0.0, 1.0, 0},           {"Erfc", 30.0, 0.0, 4},            {"Erfc", NAN, NAN, 0},
      {"CdfNorm", -INFINITY, 0.0, 0},  {"CdfNorm", INFINITY, 1.0, 0},     {"CdfNorm", 0.0, 0.5, 0},
      {"CdfNorm", -40.0, 0.0, 4},      {"CdfNorm", NAN, NAN, 0},          {"ErfInv", 1.0, INFINITY, 2},
      {"ErfInv", -1.0, -INFINITY, 2},  {"ErfInv", -1.5, NAN, 1},          {"ErfInv", INFINITY, NAN, 1},
      {"ErfInv", -0.0, -0.0, 0},       {"ErfInv", NAN, NAN, 0},           {"ErfcInv", 0.0, INFINITY, 2},
      {"ErfcInv", 2.0, -INFINITY, 2},  {"ErfcInv", 1.0, 0.0, 0},          {"ErfcInv", -0.5, NAN, 1},
      {"ErfcInv", 2.5, NAN, 1},        {"ErfcInv", INFINITY, NAN, 1},     {"ErfcInv", NAN, NAN, 0},
      {"CdfNormInv", 0.0, -INFINITY, 2}, {"CdfNormInv", 1.0, INFINITY, 2}, {"CdfNormInv", 0.5, 0.0, 0},
      {"CdfNormInv", 1.5, NAN, 1},     {"CdfNormInv", -INFINITY, NAN, 1}, {"CdfNormInv", NAN, NAN, 0},
  });
}

// dErfInv below 2^-35 is x sqrt(pi)/2 rounded once, also where the result is subnormal; the
// per-element routine takes these lanes inside blocks of ordinary ones.
TEST(DErfInv, TinyArgumentsAreTheCorrectlyRoundedProduct) {
  mpfr_t m, c;
  mpfr_inits2(300, m, c, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_pi(c, MPFR_RNDN);
  mpfr_sqrt(c, c, MPFR_RNDN);
  mpfr_div_2ui(c, c, 1, MPFR_RNDN);
  std::vector<double> xs = {1e-300, -1e-300, 0x1p-36, 0x1.fffffffffffffp-36, 1e-310, -4e-320, 0x1p-1074,
                            0x1p-1022, 0x1.0000000000001p-1022, 2.2250738585072014e-308 * 1.1283791670955126};
  append(xs, log_uniform<double>(-1074, -35, qor::test::scaled(3000), 5));
  append(xs, consecutive<double>(0x1.ffffffffffff0p-1023, 64));
  for (int s : {LA, HA, EP}) {
    std::vector<double> in, out;
    for (double v : xs) in.insert(in.end(), {0.25, v, -0.5});
    out.resize(in.size());
    kernel<double>("ErfInv", s)(static_cast<int32_t>(in.size()), in.data(), out.data());
    for (size_t i = 1; i < in.size(); i += 3) {
      mpfr_set_d(m, in[i], MPFR_RNDN);
      mpfr_mul(m, m, c, MPFR_RNDN);
      EXPECT_EQ(out[i], mpfr_get_d(m, MPFR_RNDN)) << in[i] << " " << slot_name(s);
    }
  }
  mpfr_clears(m, c, static_cast<mpfr_ptr>(nullptr));
}

// The far tails: Erfc to its underflow threshold, CdfNorm to its own (relative accuracy, not
// the rounded x / sqrt 2), the inverse functions for the tiniest arguments and near 1.
TEST(ErfFamily, FarTailsKeepTheirRelativeAccuracy) {
  sweep_function<double>("Erfc", uniform<double>(20, 27.3, qor::test::scaled(300), 1));
  sweep_function<double>("CdfNorm", uniform<double>(-38.5, -30, qor::test::scaled(300), 2));
  sweep_function<float>("CdfNorm", uniform<float>(-14.1, -10, qor::test::scaled(300), 3));
  sweep_function<double>("ErfcInv", {1e-300, 4.9e-324, 1e-310, 2 - 0x1p-52, 1e-20});
  sweep_function<double>("CdfNormInv", {1e-300, 4.9e-324, 1 - 0x1p-53, 1e-20, 0.5 - 0x1p-54});
  sweep_function<double>("ErfInv", consecutive<double>(1 - 0x1p-45, 128));
  sweep_function<float>("ErfInv", consecutive<float>(1 - 0x1p-20f, 16));
  // CdfNorm(-37.5) = 4.605353e-308 (the standard normal's lower tail, published tables)
  EXPECT_NEAR(one<double>(kernel<double>("CdfNorm", HA), -37.5) / 4.605353e-308, 1.0, 1e-6);
}

// The packed inverse functions switch pieces at w = -ln(1 - a^2) = 2 (double LA), 6.25 and at
// s = sqrt(w) = 4.1, 6.1 (double LA) and 10.2 (double): a few consecutive arguments on both sides
// of each seam, as ErfInv (a), ErfcInv (1 - a and 1 + a) and CdfNormInv ((1 -+ a) / 2), in
// every slot, in blocks that mix the pieces (the seams' neighbours are interleaved with central
// and far-tail arguments, so that every block needs several pieces at once); then the extremes:
// the packed double path down to ErfcInv(2^-1020) and the per-element routine below it.
template <class T>
void sweep_seams(long per_side) {
  std::vector<T> erfinv, erfcinv, cdfinv;
  const T mixers[] = {T(0.3), T(1e-30), T(0.99999)};
  size_t k = 0;
  auto add = [&](std::vector<T>& v, T x) {
    v.push_back(x);
    if (v.size() % 3 == 1) v.push_back(mixers[k++ % 3]);  // in the domain of all three
  };
  for (double w : {2.0, 6.25, 4.1 * 4.1, 6.1 * 6.1, 10.2 * 10.2}) {
    const double e = std::exp(-w);
    const double a = std::sqrt(1 - e), q = e / (1 + a);  // (1 - a)(1 + a) = e^-w
    if (q < static_cast<double>(std::numeric_limits<T>::min())) continue;
    for (T x : consecutive<T>(static_cast<T>(a), per_side)) add(erfinv, x);
    for (T x : consecutive<T>(std::nextafter(static_cast<T>(a), T(0)), 1)) add(erfinv, -x);
    const T qt = static_cast<T>(q);
    T lo = qt;
    for (long i = 0; i < per_side / 2; ++i) lo = std::nextafter(lo, T(0));
    for (T x : consecutive<T>(lo, per_side + 1)) {
      add(erfcinv, x);
      add(erfcinv, T(2) - x);
      add(cdfinv, x / 2);
      add(cdfinv, T(1) - x / 2);
    }
  }
  sweep_function<T>("ErfInv", erfinv);
  sweep_function<T>("ErfcInv", erfcinv);
  sweep_function<T>("CdfNormInv", cdfinv);
}

TEST(InverseErfFamily, PackedPiecesAgreeAcrossTheirSeams) {
  const long n = qor::test::scaled(6, 1);
  sweep_seams<float>(n);
  sweep_seams<double>(n);
}

TEST(InverseErfFamily, ExtremeArgumentsInMixedBlocks) {
  // double: ErfcInv's packed path ends at 2^-1020 (CdfNormInv's at 2^-1021): two blocks of four
  // on the packed path, then the largest argument below it (the per-element routine; the
  // far-tail test above has the smaller ones)
  std::vector<double> dq = {1e-300,     0x1p-1020,   0x1.0000000000001p-1020, 2 - 0x1p-52,
                            1 - 0x1p-53, 1 + 0x1p-52, 0x1p-54,                 1e-100,
                            0x1.fffffffffffffp-1021};
  std::vector<double> dp = {1e-300,        0x1p-1021,     0x1.0000000000001p-1021, 1 - 0x1p-53,
                            0.5 - 0x1p-54, 0.5 + 0x1p-53, 0x1p-55,                 1e-100,
                            0x1.fffffffffffffp-1022};
  // ErfInv's packed path from 2^-35 on, the per-element routine's lanes patched in
  std::vector<double> dx = {0x1p-35, 0x1.fffffffffffffp-36, -0x1p-35, 1 - 0x1p-53, -(1 - 0x1p-53), 0.5, 1e-300,
                            0x1.0000000000001p-35, 1 - 0x1p-52, 0.25};
  sweep_function<double>("ErfcInv", dq);
  sweep_function<double>("CdfNormInv", dp);
  sweep_function<double>("ErfInv", dx);
  // single: the smallest arguments (subnormal ones included) stay on the packed path
  std::vector<float> sq = {0x1p-149f, 0x1p-126f, 1e-30f, 2 - 0x1p-23f, 1 - 0x1p-24f, 1 + 0x1p-23f, 0x1p-25f, 0.75f};
  std::vector<float> sp = {0x1p-149f, 0x1p-127f, 1e-30f, 1 - 0x1p-24f, 0.5f - 0x1p-25f, 0.5f + 0x1p-24f, 0x1p-26f, 0.75f};
  std::vector<float> sx = {0x1p-149f, -0x1p-140f, 1e-30f, 1 - 0x1p-24f, -(1 - 0x1p-24f), 0x1p-20f, 0.5f, -0.75f};
  sweep_function<float>("ErfcInv", sq);
  sweep_function<float>("CdfNormInv", sp);
  sweep_function<float>("ErfInv", sx);
}

}  // namespace
