// Hyperbolic functions and their inverses: special values, poles, the domain and the overflow
// statuses in every slot, the per-element range of Sinh and Cosh up to their overflow
// thresholds, and blocks mixing flagged and ordinary lanes (the rest of the domain, with the
// regions near 0 and near 1, is in the accuracy test).
#include <bit>
#include <cfenv>
#include <cmath>
#include <string>

#include "special_cases.h"

namespace {
using namespace vm_test;

TEST(Hyperbolic, SpecialValuesPolesAndDomainInEverySlot) {
  check_specials({
      {"Sinh", -0.0, -0.0, 0},          {"Sinh", INFINITY, INFINITY, 0},   {"Sinh", -INFINITY, -INFINITY, 0},
      {"Sinh", NAN, NAN, 0},            {"Sinh", 1e-310, 1e-310, 0},       {"Sinh", -1000.0, -INFINITY, 3},
      {"Cosh", -0.0, 1.0, 0},           {"Cosh", -INFINITY, INFINITY, 0},  {"Cosh", NAN, NAN, 0},
      {"Cosh", 1000.0, INFINITY, 3},    {"Cosh", -800.0, INFINITY, 3},     {"Tanh", -0.0, -0.0, 0},
      {"Tanh", INFINITY, 1.0, 0},       {"Tanh", -INFINITY, -1.0, 0},      {"Tanh", -30.0, -1.0, 0},
      {"Tanh", NAN, NAN, 0},            {"Asinh", -0.0, -0.0, 0},          {"Asinh", -INFINITY, -INFINITY, 0},
      {"Asinh", NAN, NAN, 0},           {"Acosh", 1.0, 0.0, 0},            {"Acosh", INFINITY, INFINITY, 0},
      {"Acosh", 0.5, NAN, 1},           {"Acosh", -INFINITY, NAN, 1},      {"Acosh", -0.0, NAN, 1},
      {"Acosh", NAN, NAN, 0},           {"Atanh", -0.0, -0.0, 0},          {"Atanh", 1.0, INFINITY, 2},
      {"Atanh", -1.0, -INFINITY, 2},    {"Atanh", 2.0, NAN, 1},            {"Atanh", -INFINITY, NAN, 1},
      {"Atanh", NAN, NAN, 0},
  });
}

// Sinh and Cosh overflow beyond 89.41599 (single) and 710.47586 (double); up to there the
// per-element routines give e^|x| / 2 scaled in two steps.
TEST(Hyperbolic, OverflowThresholdsAndTheLastFiniteResults) {
  for (const char* f : {"Sinh", "Cosh"}) {
    for (int s : {LA, HA, EP}) {
      {
        Recording rec;
        const float below = 0x1.65a9f8p6f, above = 0x1.65a9fap6f;  // 89.415985, 89.41599
        EXPECT_TRUE(std::isfinite(one<float>(kernel<float>(f, s), below))) << f;
        EXPECT_TRUE(reports().empty()) << f;
        EXPECT_EQ(one<float>(kernel<float>(f, s), above), INFINITY) << f;
        ASSERT_EQ(reports().size(), 1u) << f;
        EXPECT_EQ(reports()[0].code, 3);
      }
      Recording rec;
      EXPECT_TRUE(std::isfinite(one<double>(kernel<double>(f, s), 710.4758600739439))) << f;
      EXPECT_TRUE(reports().empty()) << f;
      EXPECT_EQ(one<double>(kernel<double>(f, s), 710.475860073944), INFINITY) << f;
      ASSERT_EQ(reports().size(), 1u) << f;
      EXPECT_EQ(reports()[0].code, 3);
    }
  }
  std::vector<double> xs = consecutive<double>(710.4758600739439 - 0x1p-40, 600);
  append(xs, uniform<double>(709.0, 710.47, qor::test::scaled(3000), 11));
  std::vector<double> in;
  for (double v : xs)
    if (v <= 710.4758600739439) in.push_back(v), in.push_back(-v);
  sweep_function<double>("Sinh", in);
  sweep_function<double>("Cosh", in);
}

// Flagged lanes (overflow, pole, domain) among ordinary ones: each reported with its index, the
// ordinary lanes keep their packed results (the results one element at a time).
TEST(Hyperbolic, FlaggedLanesAmongOrdinaryOnes) {
  struct Case {
    const char* f;
    double bad, good;
    int code;
  } cases[] = {{"Cosh", 1000.0, 1.25, 3}, {"Sinh", -1000.0, 1.25, 3}, {"Atanh", 1.0, 0.5, 2},
               {"Atanh", -3.0, -0.5, 1}, {"Acosh", 0.25, 1.25, 1}};
  for (const Case& c : cases) {
    std::vector<double> x(11, c.good), r(11);
    x[1] = x[6] = x[10] = c.bad;
    Recording rec;
    kernel<double>(c.f, HA)(11, x.data(), r.data());
    ASSERT_EQ(reports().size(), 3u) << c.f;
    EXPECT_EQ(reports()[0].index, 1);
    EXPECT_EQ(reports()[1].index, 6);
    EXPECT_EQ(reports()[2].index, 10);
    for (const Report& p : reports()) EXPECT_EQ(p.code, c.code);
    for (int i : {0, 2, 5, 7, 9}) EXPECT_EQ(r[i], one<double>(kernel<double>(c.f, HA), c.good)) << c.f;
  }
  // Single Sinh and Cosh, every slot: the float kernels flag the lanes their clamp at 87.5 moves
  // (here overflowing ones, and one that is finite through the per-element routine) among lanes
  // on both sides of the n = 0 / n = 1 seam of the reduction, in one block
  for (const char* f : {"Sinh", "Cosh"}) {
    for (int s : {LA, HA, EP}) {
      std::vector<float> x = {0.3f, -100.0f, -0.4f, 0.35f, 1.25f, -2.5f, 95.0f, 0.0f, 8.7f, -0.3466f, -88.5f};
      std::vector<float> r(x.size());
      Recording rec;
      kernel<float>(f, s)(static_cast<int>(x.size()), x.data(), r.data());
      ASSERT_EQ(reports().size(), 2u) << f << " " << s;
      EXPECT_EQ(reports()[0].index, 1);
      EXPECT_EQ(reports()[1].index, 6);
      for (const Report& p : reports()) EXPECT_EQ(p.code, 3);
      EXPECT_EQ(r[1], std::string(f) == "Sinh" ? -INFINITY : INFINITY) << f;
      EXPECT_EQ(r[6], INFINITY) << f;
      EXPECT_TRUE(std::isfinite(r[10])) << f;
      for (size_t i = 0; i < x.size(); ++i) EXPECT_EQ(r[i], one<float>(kernel<float>(f, s), x[i])) << f << " " << i;
    }
  }
}

// The widened double formula of single-precision Sinh, Cosh and Tanh (the per-element routine
// of Sinh and Cosh beyond 87.5 and of Tanh's NaN lanes; every slot is swept all the same) takes
// its table row from N = round(256 |x| / ln 2): the
// seams are where N goes from 0 to 1 (ln 2 / 512: below it Sinh is the series of x itself,
// above it the difference of the two table values carries it) and from 255 to 256 (the row
// wraps and the scale steps), Tanh's clamp at 20, and |x| > 88 goes to the per-element
// routine: runs of consecutive floats across each seam, both signs, every slot, interleaved so
// that lanes on either side share a block.
// 40 consecutive values across each seam, interleaved with the negated run reversed.
template <class T>
std::vector<T> seam_runs(std::initializer_list<T> seams) {
  std::vector<T> in;
  for (T seam : seams) {
    T lo = seam;
    for (int i = 0; i < 20; ++i) lo = std::nextafter(lo, T(0));
    const std::vector<T> run = consecutive<T>(lo, 40);
    for (size_t i = 0; i < run.size(); ++i) {
      in.push_back(run[i]);
      in.push_back(-run[run.size() - 1 - i]);
    }
  }
  return in;
}

TEST(Hyperbolic, SinglePrecisionFormulaSeams) {
  const std::vector<float> in = seam_runs<float>({0x1.62e43p-10f, 0x1.6232bep-1f, 20.0f, 88.0f});
  for (const char* f : {"Sinh", "Cosh", "Tanh"}) sweep_function<float>(f, in);
}

// The float LA and EP kernels of Sinh, Cosh and Tanh (single_float.h) take n = round(|x| / ln 2)
// (of 2|x| for Tanh), so their pieces meet at odd multiples of ln 2 / 2 (ln 2 / 4 for Tanh): the
// first seam leaves n = 0, where Sinh is the odd series itself, for n = 1, where it is
// assembled from the powers of 2 and the (then negative) reduced argument, the largest
// cancellation of the HA kernels' leading sum (single_ha.h); at 12.5 ln 2 (n from 12 to 13)
// 2^n +- 2^-n stop being exact in single precision and the HA kernels take their rounding errors
// into the small terms. The formulas also meet Tanh's clamp at 10 and the per-element routine
// beyond 87.5. The inverse functions switch
// from the cancellation-free sums to 2|x| - 1 beyond 2^12 and hand |x| > 2^60 to the per-element
// routine; Acosh is taken from 1 up (below is its domain error), Atanh up to the last float
// below 1. Runs of consecutive floats across each seam, every slot against MPFR.
TEST(Hyperbolic, SingleFloatKernelSeams) {
  // n steps at odd multiples of ln 2 / 2: 0 to 1 (Sinh's head changes from dp rh to 2^(n-1) rh),
  // 11 to 12 (Cosh: (2^n + 2^-n) / 2 rounds beyond), 12 to 13 (Sinh: (2^n - 2^-n) / 2 rounds
  // beyond); the packed formula ends at 86, the per-element one takes over.
  const std::vector<float> e = seam_runs<float>({0x1.62e43p-2f, 0x1.0a2b24p0f, 0x1.bb9d3cp0f, 0x1.fe2804p2f,
                                                 0x1.154246p3f, 86.0f, 87.5f});
  // HA held to 0.7 on these runs (0.61 measured; the whole range reaches 0.86): a rounding error
  // of the half sum or difference of 2^n and 2^-n left out beyond its seam shows as 1.65 (Cosh)
  sweep_function<float>("Sinh", e, 0.7);
  sweep_function<float>("Cosh", e, 0.7);
  sweep_function<float>("Tanh", seam_runs<float>({0x1.62e43p-3f, 0x1.62e43p-2f, 0x1.0a2b24p-1f, 10.0f}));
  const std::vector<float> big = seam_runs<float>({0x1p12f, 0x1p60f});
  sweep_function<float>("Asinh", big);
  std::vector<float> acosh = consecutive<float>(1.0f, 200);
  for (float v : big)
    if (v > 0) acosh.push_back(v);
  sweep_function<float>("Acosh", acosh);
  std::vector<float> atanh = consecutive<float>(0x1.ffff38p-1f, 100);  // up to 0x1.fffffep-1
  append(atanh, seam_runs<float>({0.5f}));
  sweep_function<float>("Atanh", atanh);
}

// Single Acosh LA carries t = d + sqrt(d (2 + d)) as th + tl (the root's residual from the halves
// of the rounded root, exact only while 2d - sh^2 is, up to d = 2) into a logarithm that takes k
// from RN(1 + th) and joins tl and the rounding error of its reduced argument: a run from 1 up
// and random arguments up to 1 + 2^-4 (where the result is nearly t itself and every error of t
// shows), runs across t = sqrt(2) - 1 and 2 sqrt(2) - 1 (k steps from 0 to 1 and 1 to 2; just
// above the first, k ln 2 and a negative ln(1 + f) cancel), across d = 2 and the switch to
// 2x - 1 at 2^12. Held to 1.1 ulp (1.06 is the largest error over every float; without the
// residual these inputs show 1.21, without the rounding error of the reduced argument 1.33 and
// 1.19 at the first step). Blocks mixing those lanes with
// the ones the per-element routine takes give each lane its value alone, and x = 1 (a zero
// root, the residual's divisor kept from 0) raises no invalid flag.
TEST(Hyperbolic, SingleAcoshLowAccuracySeams) {
  std::vector<float> near1 = consecutive<float>(1.0f, 400);
  append(near1, log_uniform<float>(-23, -4, qor::test::scaled(3000), 51));
  for (float& v : near1) v = v < 1.0f ? 1.0f + v : v;
  const std::vector<Outcome> n1 = sweep_function<float>("Acosh", near1);
  EXPECT_LE(n1[0].acc.max_ulps(), 1.1) << n1[0].acc.summary();
  std::vector<float> in;
  for (float seam : {0x1.0f876cp+0f, 0x1.974b24p+0f, 3.0f, 0x1p12f}) {
    float lo = seam;
    for (int i = 0; i < 60; ++i) lo = std::nextafter(lo, 0.0f);
    append(in, consecutive<float>(lo, 120));
  }
  const std::vector<Outcome> res = sweep_function<float>("Acosh", in);
  EXPECT_LE(res[0].acc.max_ulps(), 1.1) << res[0].acc.summary();
  const float pieces[] = {1.0f, 1.0000001f, 0.5f, 1.0607f, 2.9999998f, 4096.0f, 4096.0005f, 0x1p60f, INFINITY, NAN, 1.5f};
  std::vector<float> x;
  for (int rot = 0; rot < 11; ++rot)
    for (int i = 0; i < 11; ++i) x.push_back(pieces[(i * 4 + rot) % 11]);
  expect_same_alone<float>("Acosh", x);
  expect_no_spurious_flags<float>("Acosh", std::vector<float>{1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 3.0f});
}

// The HA slots' own seams (single_plain.h, single_ha.h), runs of consecutive floats across each,
// both signs interleaved in a block, against MPFR: Asinh leaves a - a^3/6 for the logarithm at
// 2^-12; the table-free logarithm steps its exponent where y = a + sqrt(1 + a^2) (Acosh:
// x + sqrt(x^2 - 1)) crosses sqrt(2) 2^j, where m - 1 changes sign and k ln 2 starts to carry the
// result; Atanh takes k from the float quotient (1 + a) / (1 - a), so its steps sit where that
// quotient crosses sqrt(2) 2^j (a rounded quotient on the wrong side leaves |s| a little above
// its bound, which the series must still cover). The inverses round a double result within
// about 2^-39 of the exact value (0.51 allows for the midpoint cases).
TEST(Hyperbolic, SingleHighAccuracySeams) {
  sweep_function<float>("Asinh", seam_runs<float>({0x1p-12f, 0x1.6a09e6p-2f, 0x1.3cc8aap+0f, 0x1.5eb998p+1f}), 0.51);
  std::vector<float> acosh;
  for (float seam : {0x1.0f876cp+0f, 0x1.974b24p+0f}) {
    float lo = seam;
    for (int i = 0; i < 40; ++i) lo = std::nextafter(lo, 0.0f);
    append(acosh, consecutive<float>(lo, 80));
  }
  sweep_function<float>("Acosh", acosh, 0.51);
  sweep_function<float>("Atanh", seam_runs<float>({0x1.5f619ap-3f, 0x1.e90df2p-2f, 0x1.662c7p-1f, 0x1.ffffd2p-1f}), 0.51);
}

// Single Tanh HA reads one of 325 interval polynomials, the row chosen by the exponent and the
// five leading mantissa bits of max(|x|, 2^-7) and |x| clamped to 9.125 (tanh rounds to 1 from
// 9.0109 on): runs of consecutive floats across every row boundary (the lowest where the odd
// polynomial of row 0 ends, at 2^-7 (1 + 1/32)), the clamp and the rounding to 1, both signs
// interleaved, held to 0.6 ulp against MPFR (0.5394 over every float); a row off by one or a
// wrong column shows as several ulps. Blocks mixing lanes from distant rows, row 0 (subnormals,
// -0), the clamp and NaN give each lane the bits it gets alone, so that the gathered and
// transposed columns stay with their lanes.
TEST(Hyperbolic, SingleTanhHighAccuracyRows) {
  std::vector<float> in;
  for (uint32_t j = 1; j <= 325; ++j) {
    const float lo = std::bit_cast<float>(((0x3C000000u >> 18) + j) << 18);
    if (lo > 9.125f) break;
    std::vector<float> run = consecutive<float>(std::nextafter(std::nextafter(lo, 0.0f), 0.0f), 4);
    for (float v : run) in.push_back(v), in.push_back(-v);
  }
  for (float v : consecutive<float>(0x1.20593ep+3f, 40)) in.push_back(v), in.push_back(-v);  // 9.0109
  for (float v : consecutive<float>(0x1.23fff8p+3f, 8)) in.push_back(v), in.push_back(-v);  // 9.125
  sweep_function<float>("Tanh", in, 0.6);
  // row starts in the widest intervals (|t| near its largest, where c4 t^4 shows) among the rest
  const float pieces[] = {0x1p-149f, 0.3f, -0x1.07ffcp-7f, 5.0f, -0.0f, 2.5f, -9.5f, 0x1.fffffep-2f, NAN, -3.0f, 0x1.8p-20f, 6.5f, -1.25f};
  std::vector<float> x;
  for (int rot = 0; rot < 13; ++rot)
    for (int i = 0; i < 13; ++i) x.push_back(pieces[(i * 5 + rot) % 13]);
  expect_same_alone<float>("Tanh", x);
}

// Tanh HA keeps the flags of ordinary arguments: below 2^-40 in row 0 (tanh x rounds to x from
// about 2^-12 down) a^2 and a^3 would underflow although the result is x, normal, so tiny normal
// arguments must raise no underflow flag. They sit in blocks with ordinary lanes (one of row 0
// above the cut), each result x itself and all held to the contract against MPFR.
TEST(Hyperbolic, SingleTanhHaTinyArgumentsRaiseNoUnderflow) {
  const float tiny[] = {0x1p-126f, 0x1.000002p-126f, 0x1.8p-100f, 0x1p-63f, 0x1.6p-42f, 0x1.fffffep-41f, 0x1p-40f, 3e-30f};
  std::vector<float> xs;
  for (float v : tiny) xs.insert(xs.end(), {0.75f, v, -v, 0x1.8p-9f, -2.5f});
  std::vector<float> r(xs.size());
  std::feclearexcept(FE_ALL_EXCEPT);
  kernel<float>("Tanh", HA)(static_cast<int32_t>(xs.size()), xs.data(), r.data());
  EXPECT_EQ(std::fetestexcept(FE_UNDERFLOW), 0);
  for (size_t i = 0; i < xs.size(); ++i) {
    if (std::fabs(xs[i]) <= 0x1p-30f) {
      EXPECT_EQ(std::bit_cast<uint32_t>(r[i]), std::bit_cast<uint32_t>(xs[i])) << xs[i];
    }
  }
  sweep_function<float>("Tanh", xs, 0.6);
}

// Near 0 the odd functions keep their relative accuracy (nothing cancels, and r^2 underflowing
// to a subnormal or to 0 does no harm), subnormal arguments included; Cosh and Acosh near their
// minimum. Each slot is held to its contract against MPFR.
TEST(Hyperbolic, SingleNearZeroAndSubnormal) {
  std::vector<float> in = {0x1p-149f, 0x1.8p-140f, 0x1.fffffcp-127f, 0x1p-126f, 0x1p-100f, 0x1p-63f, 0x1.6p-40f, 0x1p-20f};
  append(in, consecutive<float>(0x1p-64f, 100));
  append(in, log_uniform<float>(-149, 0, qor::test::scaled(4000), 21));
  append(in, uniform<float>(0.0, 0.4, qor::test::scaled(4000), 22));
  std::vector<float> both;
  for (float v : in) both.push_back(v), both.push_back(-v);
  for (const char* f : {"Sinh", "Tanh", "Asinh", "Atanh", "Cosh"}) sweep_function<float>(f, both);
  std::vector<float> acosh;
  for (float v : in) acosh.push_back(1.0f + v);
  sweep_function<float>("Acosh", acosh);
}

// The double kernels' seams, every slot against MPFR in interleaved runs: HA Sinh leaves its
// series for the two exponentials at 1/4, Tanh HA returns x itself below 2^-27 and clamps at
// 22; the table row N = round(256 |x| / ln 2) (of 512 |x| / ln 2 for Tanh) goes from 0 to 1
// at ln 2 / 512 (ln 2 / 1024), where the difference of the two table values starts to carry
// Sinh, and wraps from 255 to 256 at 255.5 ln 2 / 256; the LA kernels switch from their series
// at 1; and Sinh and Cosh hand |x| >= 708 to the per-element routine (up to 709 the packed
// formula did so before).
TEST(Hyperbolic, DoublePrecisionFormulaSeams) {
  const double ln2 = 0x1.62e42fefa39efp-1;
  const std::vector<double> in =
      seam_runs<double>({0x1p-27, ln2 / 1024, ln2 / 512, 0.25, 255.5 * ln2 / 256, 1.0, 22.0, 708.0, 709.0});
  for (const char* f : {"Sinh", "Cosh", "Tanh"}) sweep_function<double>(f, in);
}

// Blocks that mix lanes of every piece (series and exponential branches of Sinh, Tanh's x
// itself, subnormals, lanes beyond 708 that the per-element routine takes, and NaN) in
// every position: each slot gives every lane the bits it gives that value alone, and MPFR
// agrees with the finite ones.
TEST(Hyperbolic, DoubleMixedLanesMatchSingleElements) {
  const double pieces[] = {0.1, 3.5, -0x1p-30, 0x1p-1060, -0.2499, 0.2501, 708.5, -1e-5, 20.0, -650.0, 2.0, NAN};
  std::vector<double> x;
  for (int rot = 0; rot < 12; ++rot)
    for (int i = 0; i < 12; ++i) x.push_back(pieces[(i * 5 + rot) % 12]);
  for (const char* f : {"Sinh", "Cosh", "Tanh"}) {
    expect_same_alone<double>(f, x);
    std::vector<double> finite;
    for (double v : x)
      if (!std::isnan(v)) finite.push_back(v);
    sweep_function<double>(f, finite);
  }
}

// The double inverse functions' LA and EP formulas (log1p of an argument in plain double) meet
// their other pieces at 2^-28 (Atanh: x itself), 2^-5 (Asinh EP: the series), 1/2 and 1
// (Atanh's 1 - a, Acosh's d = x - 1) and 2^28 (Asinh, Acosh: ln x + ln 2): runs across each
// against MPFR in every slot, and blocks mixing every piece with the lanes the per-element
// routines take (outside the domain, +-1 for Atanh, infinities, NaN) give each lane the bits
// and the status it gets alone.
TEST(Hyperbolic, DoubleInverseSeamsAndMixedLanes) {
  const std::vector<double> in = seam_runs<double>({0x1p-28, 0x1p-5, 0.5, 1.0, 2.0, 0x1p28});
  for (const char* f : {"Asinh", "Acosh", "Atanh"}) sweep_function<double>(f, in);
  const double pieces[] = {0x1p-30, -0.03, 0.2, -0.75, 1.0 - 0x1p-40, 1.0 + 0x1p-40, 3.5, -1.0, 2.5e8, 1e300, INFINITY, NAN, 0.0};
  std::vector<double> x;
  for (int rot = 0; rot < 13; ++rot)
    for (int i = 0; i < 13; ++i) x.push_back(pieces[(i * 5 + rot) % 13]);
  for (const char* f : {"Asinh", "Acosh", "Atanh"}) expect_same_alone<double>(f, x);
}

// Sinh and Tanh are odd and Cosh even to the bit in every slot: the EP kernels of Sinh and Cosh
// reduce x itself (N and u change sign with x, the table row of N mod 256 and both scales
// follow), so a reduction that rounded -x differently from x, or a row taken for the wrong
// sign, shows as a difference between f(x) and f(-x); the HA kernels take |x| and restore the
// sign. Random arguments over the whole finite range, the small ones densely, and -0.
TEST(Hyperbolic, DoubleSymmetryToTheBit) {
  std::vector<double> pos = uniform<double>(0.0, 710.0, qor::test::scaled(20000), 31);
  append(pos, uniform<double>(0.0, 2.0, qor::test::scaled(20000), 32));
  append(pos, log_uniform<double>(-1074, 3, qor::test::scaled(5000), 33));
  pos.push_back(0.0);
  std::vector<double> neg(pos.size());
  for (size_t i = 0; i < pos.size(); ++i) neg[i] = -pos[i];
  for (const char* f : {"Sinh", "Cosh", "Tanh"}) {
    const bool odd = std::string(f) != "Cosh";
    for (int s : {LA, HA, EP}) {
      std::vector<double> rp(pos.size()), rn(pos.size());
      qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
      kernel<double>(f, s)(static_cast<int32_t>(pos.size()), pos.data(), rp.data());
      kernel<double>(f, s)(static_cast<int32_t>(neg.size()), neg.data(), rn.data());
      qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
      int bad = 0;
      for (size_t i = 0; i < pos.size() && bad < 5; ++i) {
        const double want = odd ? -rp[i] : rp[i];
        if (std::bit_cast<uint64_t>(rn[i]) != std::bit_cast<uint64_t>(want)) {
          ++bad;
          ADD_FAILURE() << f << " slot " << s << ": f(" << neg[i] << ") = " << rn[i] << ", f(" << pos[i] << ") = " << rp[i];
        }
      }
    }
  }
}

}  // namespace
