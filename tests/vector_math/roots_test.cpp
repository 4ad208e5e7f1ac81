// Reciprocals and roots: special values and statuses, the approximate reciprocal of
// single-precision Inv EP and where its scalar routine takes over, and the scaled ranges of the
// double-precision roots (the rest of the domain is in the accuracy test).
#include "special_cases.h"

namespace {
using namespace vm_test;

TEST(Roots, SpecialValuesAndStatusesInEverySlot) {
  check_specials({
      {"Inv", 0.0, INFINITY, 2},          {"Inv", -0.0, -INFINITY, 2},     {"Inv", INFINITY, 0.0, 0},
      {"Inv", -INFINITY, -0.0, 0},        {"Inv", NAN, NAN, 0},
      {"Sqrt", -0.0, -0.0, 0},            {"Sqrt", 0.0, 0.0, 0},           {"Sqrt", -1.0, NAN, 1},
      {"Sqrt", -INFINITY, NAN, 1},        {"Sqrt", INFINITY, INFINITY, 0}, {"Sqrt", NAN, NAN, 0},
      {"Sqrt", -NAN, NAN, 0},             {"Sqrt", 0x1p-148, 0x1p-74, 0},  {"InvSqrt", 0.0, INFINITY, 2},
      {"InvSqrt", -0.0, -INFINITY, 2},    {"InvSqrt", -2.0, NAN, 1},       {"InvSqrt", INFINITY, 0.0, 0},
      {"InvSqrt", NAN, NAN, 0},           {"InvSqrt", 0x1p-148, 0x1p74, 0}, {"InvSqrt", 0.25, 2.0, 0},
      {"Cbrt", -0.0, -0.0, 0},            {"Cbrt", -INFINITY, -INFINITY, 0}, {"Cbrt", NAN, NAN, 0},
      {"InvCbrt", 0.0, INFINITY, 2},
      {"InvCbrt", -0.0, -INFINITY, 2},    {"InvCbrt", -INFINITY, -0.0, 0}, {"InvCbrt", -0.125, -2.0, 0},
      {"InvCbrt", 0x1p-147, 0x1p49, 0},   {"InvCbrt", NAN, NAN, 0},
  });
  // exact cubes: HA (the LA and EP slots are held to their contracts by the sweeps below and the
  // accuracy test); single precision in the test below
  EXPECT_EQ(one<double>(kernel<double>("Cbrt", HA), -27.0), -3.0);
  EXPECT_EQ(one<double>(kernel<double>("Cbrt", HA), 0x1p-147), 0x1p-49);
  // exact cubes and squares far out in double precision, through the scaled per-element paths
  EXPECT_EQ(one<double>(kernel<double>("Cbrt", HA), 0x1p-1074), 0x1p-358);
  EXPECT_EQ(one<double>(kernel<double>("Cbrt", HA), -0x1p1020), -0x1p340);
  EXPECT_EQ(one<double>(kernel<double>("InvCbrt", HA), 0x1p-1074), 0x1p358);
  EXPECT_EQ(one<double>(kernel<double>("InvSqrt", HA), 0x1p-1074), 0x1p537);
  EXPECT_EQ(one<double>(kernel<double>("InvSqrt", HA), 0x1p1022), 0x1p-511);
}

// Zero lanes among ordinary ones: the ordinary lanes keep their quotients, each zero is reported
// with its index, in order.
TEST(SInv, ZeroLanesAreReportedInOrderAndTheOthersKeepTheirQuotients) {
  for (int s : {LA, HA, EP}) {
    std::vector<float> x(19, 2.0f), r(19);
    x[3] = -0.0f;
    x[4] = 0.0f;
    x[18] = 0.0f;
    Recording rec;
    kernel<float>("Inv", s)(19, x.data(), r.data());
    ASSERT_EQ(reports().size(), 3u) << slot_name(s);
    EXPECT_EQ(reports()[0].index, 3);
    EXPECT_EQ(reports()[1].index, 4);
    EXPECT_EQ(reports()[2].index, 18);
    for (const Report& p : reports()) EXPECT_EQ(p.code, 2);
    EXPECT_EQ(r[3], -INFINITY);
    EXPECT_EQ(r[18], INFINITY);
    for (int i : {0, 2, 5, 15, 17}) EXPECT_NEAR(r[i], 0.5f, 0.5f * 1.5f * 0x1p-12f) << slot_name(s);
  }
}

// EP is the hardware's approximate reciprocal (relative error at most 1.5 * 2^-12; whether it
// equals the correctly rounded quotient depends on the processor, and qemu computes it exactly) where the argument and its reciprocal are normal numbers; beyond,
// the exact quotient. HA is the correctly rounded quotient everywhere.
TEST(SInv, ApproximateReciprocalOfEPAndItsRange) {
  const SKernel ep = kernel<float>("Inv", EP), ha = kernel<float>("Inv", HA);
  const float third = one<float>(ep, 3.0f);
  EXPECT_LE(std::fabs(static_cast<double>(third) * 3.0 - 1.0), 1.5 * 0x1p-12);
  EXPECT_EQ(one<float>(ha, 3.0f), 1.0f / 3.0f);
  // every lane position of a block, ordinary arguments spread over the binades
  std::vector<float> x, r;
  for (int e = -125; e <= 125; ++e) x.push_back(std::ldexp(1.2345f + 0.001f * static_cast<float>(e), e));
  r.resize(x.size());
  ep(static_cast<int32_t>(x.size()), x.data(), r.data());
  for (size_t i = 0; i < x.size(); ++i)
    EXPECT_LE(std::fabs(static_cast<double>(r[i]) * x[i] - 1.0), 1.5 * 0x1p-12) << x[i];
  // outside the range: subnormal arguments, arguments whose reciprocal is subnormal, huge and
  // infinite ones, NaN: the exact quotient, no report, also inside blocks of ordinary lanes
  const float outside[] = {0x1p-149f, -0x1.8p-130f, 0x1p-127f, 0x1.fffffep127f, -0x1p126f, 0x1.8p126f, INFINITY, -INFINITY};
  for (float v : outside) {
    float block[8] = {3.0f, 5.0f, v, 7.0f, -v, 9.0f, 11.0f, v}, out[8];
    Recording rec;
    ep(8, block, out);
    EXPECT_TRUE(reports().empty()) << v;
    EXPECT_EQ(out[2], 1.0f / v) << v;
    EXPECT_EQ(out[4], -1.0f / v) << v;
    EXPECT_EQ(out[7], 1.0f / v) << v;
    EXPECT_LE(std::fabs(static_cast<double>(out[0]) * 3.0 - 1.0), 1.5 * 0x1p-12);
  }
  EXPECT_TRUE(std::isnan(one<float>(ep, NAN)));
}

// The double-precision roots scale arguments outside [2^-900, 2^993) in the per-element routine:
// runs across both edges (and 2^994, the end of the binade the screen must not let through), in
// blocks and alone, against MPFR (correctly rounded but for rare
// cases within 2^-60 of a midpoint, which these runs meet: the results near 2^-1022 lie close to
// midpoints by construction).
TEST(DRoots, ScaledEdgesAreCorrectlyRoundedInBlocksAndAlone) {
  std::vector<double> xs;
  for (double b : {0x1p-900, 0x1p993, 0x1p994, 0x1p-1022, 0x1.8p-1070})
    for (double s : {1.0, -1.0}) append(xs, consecutive<double>(s * b * (1 - 0x1p-48), 400));
  for (const char* f : {"Cbrt", "InvCbrt"}) {
    sweep_function<double>(f, xs, 0.5001);
    // the screen and the per-element routine agree on where scaling starts: the EP and LA slots
    // (not correctly rounded) give other bits for a scaled argument
    expect_same_alone(f, xs);
  }
  std::vector<double> pos;
  for (double v : xs)
    if (v > 0) pos.push_back(v);
  sweep_function<double>("InvSqrt", pos, 0.5001);
  expect_same_alone("InvSqrt", pos);
  for (double v : {0x1p-900 * (1 - 0x1p-52), 0x1p993, 0x1.23456789p-1050}) {
    const double c = one<double>(kernel<double>("Cbrt", HA), v);
    EXPECT_LE(qor::test::ulp_error(mpfr_cbrt, v, c).ulps, 0.5001) << v;
  }
}

// Double InvSqrt HA starts from the approximate reciprocal square root of x rounded to float, so
// its packed formula takes [2^-126, 2^126) only; the per-element routine scales the rest by 4^-j
// into [1, 4). The approximation's error pattern repeats every two binades and the scaling
// depends on the exponent's parity: runs across both ends of the packed range, the subnormals,
// 2^-1022, the powers of two around 1 and the top binade, in blocks and alone, against MPFR
// (within 0.5 ulp plus about 2^-8), and the even powers of two from 2^-1074 to 2^1022, whose
// reciprocal roots must come out exact.
TEST(DInvSqrt, FloatApproximationAcrossThePackedRangeAndTheScaledArguments) {
  std::vector<double> xs;
  for (double b : {0x1p-1072, 0x1p-1030, 0x1p-1022, 0x1p-127, 0x1p-126, 0x1p-125, 0.5, 1.0, 2.0, 4.0, 0x1p125,
                   0x1p126, 0x1p127, 0x1p1023})
    append(xs, consecutive<double>(b * (1 - 0x1p-46), 64));
  sweep_function<double>("InvSqrt", xs, 0.504);
  expect_same_alone("InvSqrt", xs);
  std::vector<double> squares, roots;
  for (int k = -537; k <= 511; ++k) {
    squares.push_back(std::ldexp(1.0, 2 * k));
    roots.push_back(std::ldexp(1.0, -k));
  }
  std::vector<double> r(squares.size());
  kernel<double>("InvSqrt", HA)(static_cast<int32_t>(squares.size()), squares.data(), r.data());
  for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i], roots[i]) << squares[i];
}

// Single InvSqrt HA refines the approximate reciprocal square root in single precision on
// [2^-100, 2^100) (the rest goes to the per-element routine), and the approximation's error
// pattern repeats every two binades: runs across 2^-126, both ends of the packed range, the
// powers of two around 1 and the top of the range, in blocks and alone, against MPFR (within 0.5
// ulp plus about 2^-7: 0.5094 ulp at worst over every float).
TEST(SInvSqrt, RefinedApproximationAcrossTheSubnormalSeamAndTheBinades) {
  std::vector<float> xs;
  for (float b : {0x1p-126f, 0x1p-100f, 0.5f, 1.0f, 2.0f, 4.0f, 0x1p100f, 0x1.fffe00p127f})
    append(xs, consecutive<float>(b * (1 - 0x1p-19f), 64));
  sweep_function<float>("InvSqrt", xs, 0.5095);
  expect_same_alone("InvSqrt", xs);
}

// Single InvSqrt HA splits x into its top 6 bits and the rest: the low part is a few ulps of x at
// least, and its product with y^2 normal only while x and 1/x stay inside the packed range. In
// the flush modes (denormals read as zero) a subnormal product would drop a term of the
// residual: arguments at both sides of the ends of the range and in between, some with low
// parts of a single last bit, against MPFR.
TEST(SInvSqrt, LowHalvesStayNormalInTheFlushModes) {
  std::vector<float> xs;
  for (float b : {0x1p-126f, 0x1p-113f, 0x1p-100f, 0x1p-90f, 1.0f, 0x1p90f, 0x1p99f, 0x1p110f, 0x1p126f}) {
    append(xs, consecutive<float>(b, 16));
    append(xs, consecutive<float>(b * 1.5f * (1 - 0x1p-18f), 16));
    append(xs, consecutive<float>(b * 2 * (1 - 0x1p-20f), 16));
  }
  const uint32_t old = qor_fnx_kernel_GetMode();
  qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_FLUSH | QOR_FNX_ERRMODE_IGNORE);
  std::vector<float> r(xs.size());
  kernel<float>("InvSqrt", HA)(static_cast<int32_t>(xs.size()), xs.data(), r.data());
  qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_KEEP | (old & QOR_FNX_ERRMODE_MASK));
  const auto f = find_reference("InvSqrt")->mpfr.f1;
  for (size_t i = 0; i < xs.size(); ++i) EXPECT_LE(qor::test::ulp_error(f, xs[i], r[i]).ulps, 0.5095) << xs[i];
}

// Double Cbrt's seed divides the exponent by 3, so its error pattern changes at every binade and
// repeats every third; the correction's residual is formed from a 17-bit split of the
// approximation: runs across 2^(3k), 2^(3k+1) and 2^(3k+2) in blocks and alone against MPFR, and
// exact cubes (integers up to 2^17, scaled by 2^(3j)), whose roots must come out exact.
TEST(DRoots, CbrtAcrossTheExponentResiduesAndOnExactCubes) {
  std::vector<double> xs;
  for (int e : {-897, -3, -2, -1, 0, 1, 2, 3, 990})
    for (double s : {1.0, -1.0}) append(xs, consecutive<double>(s * std::ldexp(1 - 0x1p-50, e), 40));
  sweep_function<double>("Cbrt", xs, 0.5001);
  std::vector<double> cubes, roots;
  for (double k = 1; k < 131072; k = std::floor(k * 1.37) + 1)
    for (int j : {-290, 0, 300}) {
      cubes.push_back(std::ldexp(k * k * k, 3 * j));
      roots.push_back(std::ldexp(k, j));
    }
  std::vector<double> r(cubes.size());
  kernel<double>("Cbrt", HA)(static_cast<int32_t>(cubes.size()), cubes.data(), r.data());
  for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i], roots[i]) << cubes[i];
}

// Double Cbrt's seed has a residual e = 1 - |x| z0^3 that sweeps [-0.102, 0.102] once per three
// binades, and every slot evaluates a polynomial in e fitted on just that interval: every slot
// over three whole binades near 1 and at both ends of the packed range, dense enough to meet the
// extremes of e, against MPFR and the slots' contracts (HA within 0.5 ulp plus 2^-14).
TEST(DRoots, CbrtEverySlotOverWholeSeedPeriods) {
  std::vector<double> xs;
  for (int e0 : {-900, -1, 990})
    for (double v : uniform<double>(0, 3, 6000, 1000 + e0)) xs.push_back(std::ldexp(std::exp2(v), e0));
  sweep_function<double>("Cbrt", xs, 0.50007);
}

// Single Cbrt computes in float from a seed that divides the bits by 3 (its error pattern repeats
// every third binade), with |x| clamped into [2^-120, 2^120] and the lanes beyond scaled per
// element (HA: beyond [2^-90, 2^90)); HA finishes with a Halley step whose residual comes from an
// 8-bit split: runs across 2^(3k), 2^(3k+1), 2^(3k+2), both ends of both packed ranges, the
// subnormals and the top binade, in blocks and alone, against MPFR (HA within 0.5 ulp plus about
// 2^-8), and exact cubes k^3 2^(3j), whose roots HA must give exactly in and out of the packed
// range.
TEST(SRoots, CbrtAcrossTheExponentResiduesTheClampedRangeAndTheSubnormals) {
  std::vector<float> xs;
  for (float b : {0x1p-143f, 0x1p-126f, 0x1p-120f, 0x1p-90f, 0.125f, 0.25f, 0.5f, 1.0f, 2.0f, 4.0f, 8.0f, 0x1p90f,
                  0x1p120f, 0x1p127f})
    for (float s : {1.0f, -1.0f}) append(xs, consecutive<float>(s * b * (1 - 0x1p-20f), 48));
  sweep_function<float>("Cbrt", xs, 0.505);
  expect_same_alone("Cbrt", xs);
  std::vector<float> cubes, roots;
  for (int k = 1; k < 256; k = k * 3 / 2 + 1)
    for (int j : {-47, -40, -30, 0, 12, 30, 34}) {
      cubes.push_back(std::ldexp(static_cast<float>(k * k * k), 3 * j));
      roots.push_back(std::ldexp(static_cast<float>(-k), j));
      cubes.back() = -cubes.back();
    }
  std::vector<float> r(cubes.size());
  kernel<float>("Cbrt", HA)(static_cast<int32_t>(cubes.size()), cubes.data(), r.data());
  for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i], roots[i]) << cubes[i];
}

// Single Cbrt HA forms its residual from products of the approximation's low part, down to about
// 2^-21 of |x| (and the residual itself to zero): its packed range stops at 2^-90, where these
// stay normal, also when denormal results are flushed. Arguments at both sides of 2^-90 and 2^90
// and near the end of the LA range (2^-120), some with a low part of a single last bit, in the
// flush mode, against MPFR.
TEST(SRoots, CbrtHATermsStayNormalInTheFlushModes) {
  std::vector<float> xs;
  for (float b : {0x1p-126f, 0x1p-120f, 0x1p-100f, 0x1p-90f, 0x1p-89f, 1.0f, 0x1p89f, 0x1p90f, 0x1p120f}) {
    append(xs, consecutive<float>(b, 16));
    append(xs, consecutive<float>(b * 1.25f * (1 - 0x1p-18f), 16));
    append(xs, consecutive<float>(b * 2 * (1 - 0x1p-20f), 16));
  }
  for (size_t i = 0, n = xs.size(); i < n; i += 2) xs.push_back(-xs[i]);
  const uint32_t old = qor_fnx_kernel_GetMode();
  qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_FLUSH | QOR_FNX_ERRMODE_IGNORE);
  std::vector<float> r(xs.size());
  kernel<float>("Cbrt", HA)(static_cast<int32_t>(xs.size()), xs.data(), r.data());
  qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_KEEP | (old & QOR_FNX_ERRMODE_MASK));
  const auto f = find_reference("Cbrt")->mpfr.f1;
  for (size_t i = 0; i < xs.size(); ++i) EXPECT_LE(qor::test::ulp_error(f, xs[i], r[i]).ulps, 0.505) << xs[i];
}

}  // namespace
