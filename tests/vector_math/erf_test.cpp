// The error-function family: special values, poles and domain statuses in every slot, the
// per-element routine of double-precision ErfInv (its tiny-argument product and the subnormal
// results), the far tails of Erfc, CdfNorm and the inverse functions against MPFR, and the seams
// of the packed Erf, Erfc and CdfNorm (table cells, region ends, mixed blocks, patched lanes)
// and of the inverse functions' packed pieces.
#include <cfenv>

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

// Arguments on both sides of the seams of the packed formulas of erf.h, given as |x|: the
// switch between table cells at (k + 1/2)/128 (every `step`-th cell up to `top`), and `ends`
// (region boundaries: the small-argument series of double Erf, the clamps, the screens), each
// with its neighbours one and two units in the last place away.
template <class T>
std::vector<T> seams(double top, int step, std::initializer_list<double> ends) {
  std::vector<T> xs;
  auto around = [&](T v) {
    T lo = v, hi = v;
    for (int i = 0; i < 2; ++i) {
      lo = std::nextafter(lo, T(0));
      hi = std::nextafter(hi, T(INFINITY));
      xs.insert(xs.end(), {lo, hi});
    }
    xs.push_back(v);
  };
  for (int k = 0; (k + 0.5) / 128 < top; k += step) around(static_cast<T>((k + 0.5) / 128));
  for (double e : ends) around(static_cast<T>(e));
  return xs;
}
// xs with each value followed by its negative (the two signs in one block).
template <class T>
std::vector<T> both_signs(const std::vector<T>& xs) {
  std::vector<T> out;
  for (T v : xs) out.insert(out.end(), {v, -v});
  return out;
}

TEST(ErfFamily, PackedSeamsAgainstMpfr) {
  const int sstep = qor::test::scale() < 1 ? 41 : 13;  // every 13th cell (every 41st when scaled down)
  const int dstep = sstep * 3;
  sweep_function<float>("Erf", both_signs(seams<float>(6.1, sstep, {0x1p-100, 3.92, 6.0})));
  sweep_function<float>("Erfc", both_signs(seams<float>(10.1, sstep, {6.0, 9.19, 9.194, 10.05, 10.1})));
  sweep_function<float>("CdfNorm", both_signs(seams<float>(14.3, sstep, {6.0 * 1.4142135623730951, 12.99, 13.0, 14.1})));
  sweep_function<double>("Erf", both_signs(seams<double>(6.1, dstep, {0x1p-1000, 0.25, 5.93, 6.0})));
  sweep_function<double>("Erfc", both_signs(seams<double>(27.3, dstep, {6.0, 25.99609375, 26.5, 26.54, 27.23, 27.3})));
  // CdfNorm's cells are those of t = -x / sqrt 2
  std::vector<double> cd = seams<double>(37, dstep, {6.0, 36.75, 36.8, 37.5});
  for (double& v : cd) v *= 1.4142135623730951;
  sweep_function<double>("CdfNorm", both_signs(cd));
}

// The series' coefficients come from a table (one row per cell; single precision up to 10.1,
// double up to 27.3: 8 terms below 6, beyond it 9 from the table and the rest, up to 13, by the
// recurrence, lane by lane): two points in every cell the double kernels read (Erf up to 6) and
// in every fourth the single ones read (both signs, CdfNorm at the same t = -x / sqrt 2) against
// MPFR with HA held to 0.6 ulp (single CdfNorm HA, which widens to double, to correct rounding),
// and blocks mixing lanes on both sides of 6 (and the per-element routine's lanes) give each
// element's result alone.
TEST(ErfFamily, EveryTaylorCellAndLanesOnBothSidesOfItsEnd) {
  const double root2 = 1.4142135623730951;
  std::vector<double> e, ec, c;
  std::vector<float> ef, cf;
  // Every cell at full scale; every fourth (those the single kernels read) at QOR_TEST_SCALE
  // 0.25, the emulated and sanitizer runs, which compute the same tables.
  const int stride = qor::test::scale() < 1 ? 4 : 1;
  for (int k = 0; k < 3496; k += stride) {
    for (double u : {-0.37, 0.29}) {
      const double a = (k + u) / 128;
      if (a <= 0 || a > 27.3) continue;
      if (k <= 768) e.insert(e.end(), {a, -a});
      ec.insert(ec.end(), {a, -a});
      if (a < 26.5) c.insert(c.end(), {-a * root2, a * root2});
      if (k % 4 == 0 && k < 1294) {
        ef.insert(ef.end(), {static_cast<float>(a), static_cast<float>(-a)});
        cf.insert(cf.end(), {static_cast<float>(-a * root2), static_cast<float>(a * root2)});
      }
    }
  }
  sweep_function<double>("Erf", e, 0.6);
  sweep_function<double>("Erfc", ec, 0.6);
  sweep_function<double>("CdfNorm", c, 0.6);
  sweep_function<float>("Erf", ef, 0.6);  // HA in float (erf_float.h), no longer correctly rounded
  sweep_function<float>("Erfc", ef, 0.61);  // 0.606 over every float
  sweep_function<float>("CdfNorm", cf, 0.5001);
  const std::vector<double> m = {5.999, 6.001, -6.0, 5.9, 6.2, 0.3, 6.0, 5.99999, 0.1, 7.5, -6.3, 27.0, 2.0, 6.5};
  std::vector<double> mc;
  for (double v : m) mc.push_back(-v * root2);
  std::vector<float> mf(m.begin(), m.end()), mcf(mc.begin(), mc.end());
  for (const char* f : {"Erf", "Erfc"}) {
    expect_same_alone<double>(f, m);
    expect_same_alone<float>(f, mf);
  }
  expect_same_alone<double>("CdfNorm", mc);
  expect_same_alone<float>("CdfNorm", mcf);
}

// Blocks whose lanes fall in different regions (series and table, both signs, lanes the screen
// sends to the per-element routine, which reports only its own lanes).
TEST(ErfFamily, MixedBlocksAndPatchedLanes) {
  const std::vector<double> d = {0.1, 27.0, 0.3, -5.0, 0x1p-1005, 7.0, 25.9, -0.2, 3.0, 26.2, 1.5, -30.0, 0.24};
  sweep_function<double>("Erf", d);
  sweep_function<double>("Erfc", d);
  std::vector<double> c;
  for (double v : d) c.push_back(-1.45 * v);
  sweep_function<double>("CdfNorm", c);
  const std::vector<float> f = {0.1f, 9.5f, -0.3f, 4.0f, 1e-40f, -7.0f, 9.0f, 0.2f, 3.0f, 10.0f, -1.5f, 2.0f};
  sweep_function<float>("Erf", f);
  sweep_function<float>("Erfc", f);
  std::vector<float> cf;
  for (float v : f) cf.push_back(-1.4f * v);
  sweep_function<float>("CdfNorm", cf);
  // statuses: only the lanes below the normal range report, at their own index
  for (int s : {LA, HA, EP}) {
    std::vector<double> out(d.size());
    {
      Recording rec;
      kernel<double>("Erfc", s)(static_cast<int32_t>(d.size()), d.data(), out.data());
      ASSERT_EQ(reports().size(), 1u) << slot_name(s);
      EXPECT_EQ(reports()[0].index, 1);
      EXPECT_EQ(reports()[0].code, 4);
    }
    std::vector<float> fo(f.size());
    {
      Recording rec;
      kernel<float>("Erfc", s)(static_cast<int32_t>(f.size()), f.data(), fo.data());
      ASSERT_EQ(reports().size(), 2u) << slot_name(s);
      EXPECT_EQ(reports()[0].index, 1);
      EXPECT_EQ(reports()[1].index, 9);
      EXPECT_EQ(reports()[1].code, 4);
    }
  }
}

// The packed inverse functions switch pieces at w = -ln(1 - a^2) = 1.5, 3.5 (double LA/HA), 6.25
// and at s = sqrt(w) = 4.1, 6.1 (double LA/HA), 10.2 (double) and 17 (double LA/HA); double
// LA/HA ErfInv forms 1 - a^2 in two ways below and above a = 1/2 (w = ln(4/3)), and ErfcInv's
// argument carries a low part below 1/2 (w = ln(4/3) too): a few consecutive arguments on both sides
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
  for (double w : {std::log(4.0 / 3.0), 1.5, 3.5, 6.25, 4.1 * 4.1, 6.1 * 6.1, 10.2 * 10.2, 17.0 * 17.0}) {
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

// Ordinary arguments raise no invalid, divide-by-zero or overflow flag in any slot, also where
// a block mixes the argument giving 0 (its w = 0) with tail lanes (the double LA/HA tail pieces
// divide by 2 sqrt(w)) and with lanes of the per-element routine.
TEST(InverseErfFamily, OrdinaryBlocksRaiseNoSpuriousFlags) {
  const std::vector<double> q = {1.0, 1e-10, 1.0, 1e-300, 0.5, 1.5, 2 - 0x1p-52, 1e-3, 1e-310, 1.0};
  const std::vector<double> x = {0.5, 1 - 0x1p-53, 1e-20, -0.999999, 0.3, -0.99, 0x1p-35, -0.7};
  std::vector<double> p(q.size());
  for (size_t i = 0; i < q.size(); ++i) p[i] = q[i] / 2;
  for (const auto& [f, v] : {std::pair{"ErfcInv", q}, std::pair{"CdfNormInv", p}, std::pair{"ErfInv", x}})
    expect_no_spurious_flags<double>(f, v);
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

// Double Erfc beyond r = 26 (its table rows scaled by 2^128): the results leave the normal range
// at 26.543 with the underflow status exactly there, and blocks mixing those lanes (per element
// from 26.5, by the same packed formula) with others give the results of each element alone.
TEST(ErfFamily, DoubleErfcThroughItsUnderflowThreshold) {
  const double t = expect_underflow_from("Erfc", 26.4, 26.7);
  EXPECT_NEAR(t, 26.543, 0.001);
  std::vector<double> xs = uniform<double>(25.9, 27.4, qor::test::scaled(120, 40), 31);
  append(xs, {-26.2, -27.0, 3.0, 26.5, 0.1, INFINITY, 27.3, NAN, 27.2});
  expect_same_alone<double>("Erfc", xs);
  sweep_function<double>("Erfc", xs);
}

// Single-precision Erf and Erfc LA and EP read float rows on three grids (Erf: r = k/64 for EP
// and k/128 for LA, from -4 to 4, on x itself; Erfc: k/256 up to 9.19, then rows scaled by 2^64
// up to 10.1 for the per-element routine). Both ends of every cell (the switch at (k + 1/2) h
// and its neighbours), the clamps and the screen's end, both signs, against MPFR in every slot;
// the cells' inputs are interleaved so that every block mixes cells far apart (and lanes the
// screen sends away), and each lane must give what it gives alone.
template <class T>
std::vector<T> interleave_far(const std::vector<T>& xs) {
  std::vector<T> out;
  const size_t h = xs.size() / 2;
  for (size_t i = 0; i < h; ++i) out.insert(out.end(), {xs[i], xs[h + i]});
  if (xs.size() % 2) out.push_back(xs.back());
  return out;
}
std::vector<float> cell_ends(double h, double lo, double hi) {
  std::vector<float> xs;
  for (double c = std::ceil(lo / h - 0.5) + 0.5; c * h < hi; c += 1) {
    const float v = static_cast<float>(c * h);
    xs.insert(xs.end(), {std::nextafter(v, -INFINITY), v, std::nextafter(v, INFINITY)});
  }
  return xs;
}

TEST(SingleErfFloatRows, EveryCellEndAndMixedBlocksAgainstMpfr) {
  std::vector<float> e64 = cell_ends(1.0 / 64, -4.05, 4.05), e128 = cell_ends(1.0 / 128, -4.05, 4.05);
  append(e64, e128);
  append(e64, {4.0f, -4.0f, std::nextafter(4.0f, 5.0f), std::nextafter(-4.0f, -5.0f), 3.92f, 1e30f, -1e-30f});
  e64 = interleave_far(e64);
  sweep_function<float>("Erf", e64);
  std::vector<float> c = cell_ends(1.0 / 256, -4.2, 10.11);
  append(c, {9.19f, std::nextafter(9.19f, 0.0f), std::nextafter(9.19f, 10.0f), 10.1f, std::nextafter(10.1f, 11.0f),
             -9.19f, -20.0f, 1e30f});
  c = interleave_far(c);
  sweep_function<float>("Erfc", c);
  // a lane of each kind in one block, in every order the blocks' positions give
  const std::vector<float> mix = {0.3f,  9.5f, -0.0f, NAN,   -3.99f, 1e-40f, 10.05f, -7.0f,  9.18f, INFINITY,
                                  -1e-45f, 2.0f, 9.1934f, -INFINITY, 0.0f, 10.2f, 4.5f,  1.0f / 128, -2.5f};
  expect_same_alone<float>("Erf", mix);
  expect_same_alone<float>("Erfc", mix);
}

// Erf keeps the sign of zero and the relative accuracy of the tiniest arguments (subnormal ones
// included, where the result is subnormal too) on the packed path, in every slot.
TEST(SingleErfFloatRows, TinyAndSubnormalArguments) {
  std::vector<float> xs = log_uniform<float>(-149, -20, qor::test::scaled(2000), 41);
  append(xs, consecutive<float>(0x1p-149f, 64));
  append(xs, consecutive<float>(0x1.fffff0p-127f, 32));
  append(xs, consecutive<float>(0x1.ffffe0p-41f, 64));  // the HA screen's end, 2^-40
  append(xs, consecutive<float>(0x1.fffff0p-124f, 32));  // HA: where x/8 would be subnormal
  sweep_function<float>("Erf", both_signs(xs));
}

// Single Erf HA takes a register whose four lanes all lie beyond 15/256 by the rows of |r| >= 1/16
// alone (E_hi + (E_lo + D S)) and any other register by both formulas, each lane the one of its
// row. The seam: arguments a few units in the last place either side of 15/256 (where the row
// changes from r = 7/128, which adds 9x/8, to r = 1/16), both signs, each once among three lanes
// beyond the seam and once beside lanes of the per-element routine (NaN, tiny, zero), against
// MPFR and as each gives alone.
TEST(SingleErfFloatRows, HaRegistersBeyondTheSeamAndMixed) {
  std::vector<float> xs, mixed;
  for (float v : consecutive<float>(0x1.dffffap-5f, 13)) {
    for (float x : {v, -v}) {
      append(xs, {x, 2.5f, -0.9f, 0.13f});      // the others beyond the seam
      append(mixed, {0.3f, x, NAN, 1e-41f});   // the per-element routine's lanes beside it
      append(mixed, {-0.0f, -3.7f, x, 0.05f});
    }
  }
  sweep_function<float>("Erf", xs, 0.6);
  expect_same_alone<float>("Erf", xs);
  expect_same_alone<float>("Erf", mixed);
}

// The float HA kernels keep the flags of ordinary arguments: tiny ones raise no underflow (erf x
// is normal down to 2^-126 / 1.13, erfc x rounds to 1), so the powers of d must not be formed
// from them; their results are checked against MPFR too, in blocks with ordinary lanes.
TEST(SingleErfFloatRows, HaTinyArgumentsRaiseNoUnderflow) {
  std::vector<float> xs;
  for (float v : {0x1p-40f, 0x1.000002p-40f, 0x1.fffffep-41f, 1e-20f, 0x1p-30f, 3e-30f})
    xs.insert(xs.end(), {0.75f, v, -v, -2.5f});
  for (const char* f : {"Erf", "Erfc"}) {
    std::vector<float> r(xs.size());
    std::feclearexcept(FE_ALL_EXCEPT);
    kernel<float>(f, HA)(static_cast<int32_t>(xs.size()), xs.data(), r.data());
    EXPECT_EQ(std::fetestexcept(FE_UNDERFLOW), 0) << f;
    sweep_function<float>(f, xs);
  }
}

// Around erfc's underflow threshold (9.194) every slot reports underflow (status 4) exactly at
// its results below the normal range, at their own index; the values there (the float
// per-element routine of LA and EP, its rows scaled by 2^64 from 9.1934 on) meet the contract.
TEST(SingleErfFloatRows, ErfcThroughItsUnderflowThreshold) {
  // across the packed path's end (9.19), then from below the scaled rows (9.1934) through the
  // threshold (9.19455): the second run must reach it at every test scale
  const bool small = qor::test::scale() < 1;
  std::vector<float> xs = consecutive<float>(9.1898f, small ? 500 : 2000);
  append(xs, consecutive<float>(9.1930f, small ? 2000 : 6000));
  for (size_t i = 0; i < xs.size(); i += 5) xs[i] = -xs[i];  // lanes of the packed path among them
  sweep_function<float>("Erfc", xs);
  for (int s : {LA, HA, EP}) {
    std::vector<float> r(xs.size());
    std::vector<int> want, got;
    {
      Recording rec;
      kernel<float>("Erfc", s)(static_cast<int32_t>(xs.size()), xs.data(), r.data());
      for (const Report& p : reports()) {
        EXPECT_EQ(p.code, 4);
        got.push_back(p.index);
      }
    }
    for (size_t i = 0; i < xs.size(); ++i)
      if (r[i] < 0x1p-126f) want.push_back(static_cast<int>(i));
    EXPECT_EQ(got, want) << slot_name(s);
    EXPECT_FALSE(want.empty());
  }
}

}  // namespace

// Double Erf (every slot) and double Erfc LA and EP choose a polynomial per lane on uniform
// pieces (Erf: h = 1/16 in LA and HA, 1/32 in EP, |x| clamped at 6; Erfc: h = 1/8 up to the screen
// at 26.5, negative arguments through 2 - erfc |x|). Both ends of every piece (the switch at
// (k + 1/2) h and the doubles beside it), the clamp and the screen, both signs, in blocks that
// mix pieces far apart, against MPFR in every slot; each lane gives what it gives alone.
TEST(ErfFamily, DoublePolynomialPieceEndsAgainstMpfr) {
  auto piece_ends = [](double h, double top, std::initializer_list<double> extra) {
    std::vector<double> xs;
    auto around = [&](double v) { xs.insert(xs.end(), {std::nextafter(v, 0.0), v, std::nextafter(v, INFINITY)}); };
    for (double c = 0.5; c * h < top; c += 1) around(c * h);
    for (double v : extra) around(v);
    return interleave_far(both_signs(xs));
  };
  const std::vector<double> e = piece_ends(1.0 / 32, 6.0, {6.0, 5.93, 0x1p-1000, 0x1p-30});
  sweep_function<double>("Erf", e);
  expect_same_alone<double>("Erf", e);
  // Erfc's pieces: 1/8 (LA), 1/16 (HA), 1/32 (EP), to the screen and, in flagged blocks, beyond;
  // LA's rows run on x itself from -6 (its clamp; rows without the exponential below 0)
  for (double h : {1.0 / 8, 1.0 / 16, 1.0 / 32}) {
    const std::vector<double> c = piece_ends(h, 27.3, {26.5, 26.55, 27.3, 0x1p-60, 6.0, 6.0625});
    sweep_function<double>("Erfc", c);
    expect_same_alone<double>("Erfc", c);
  }
}

// Double Erfc LA takes e^(-2cd) with w = -(k/4) d formed by one product (c = k/8), and HA
// a^2 = c^2 + 2cd + d^2 with 2cd = (k/8) d (c = k/16), each exact only because d = a - c has at
// most 52 - log2(k) significant bits; arguments whose d has the most bits (odd last bit, |d| near
// h/2, and a near the top of its binade where k is largest for that ulp) in every binade from
// 1/16 to the screen, for both piece widths: an inexact product costs up to 2^-51.3 there, a few
// ulps in LA and more than the HA bound.
TEST(ErfFamily, DoubleErfcProductTwoCdIsExactForFullArguments) {
  std::vector<double> xs;
  for (double h : {1.0 / 8, 1.0 / 16})
  for (double lo : {0.0625, 0.125, 0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 16.0}) {
    const double hi = std::min(2 * lo, 26.5);
    for (int j = 1; j <= 40; ++j) {
      const double v = lo + (hi - lo) * j / 41.0;
      const double c = std::nearbyint(v / h) * h;
      for (double side : {-1.0, 1.0}) {
        double x = c + side * (h / 2 - 0x1p-20 * j);
        uint64_t b;
        std::memcpy(&b, &x, 8);
        b |= 1;  // every mantissa bit used
        std::memcpy(&x, &b, 8);
        if (x > 0 && x <= 26.5) xs.push_back(x);
      }
    }
  }
  sweep_function<double>("Erfc", interleave_far(both_signs(xs)));
}

// Erfc's results around the least normal number 2^-1022 (x near 26.543) and down to the least
// subnormal (x near 27.2): the lanes beyond 26.5 of a flagged block round once to the subnormal
// grid by integer operations (HA and LA: the bits of 1 + m 2^-52 less those of 1, a sum that
// rounds up to 2 giving 2^-1022; EP: y 2^946 + 2^52), beside lanes below 26.5 in the same
// blocks; a second rounding (the scaled sum rounded, then scaled back) costs up to 0.75 ulp.
TEST(ErfFamily, DoubleErfcRoundsOnceAcrossTheSubnormalBoundary) {
  std::vector<double> xs = uniform<double>(26.535, 26.552, qor::test::scaled(2000), 11);
  const std::vector<double> deep = uniform<double>(26.9, 27.3, qor::test::scaled(300), 12);
  const std::vector<double> near = uniform<double>(26.3, 26.5, qor::test::scaled(300), 13);
  xs.insert(xs.end(), deep.begin(), deep.end());
  xs.insert(xs.end(), near.begin(), near.end());
  sweep_function<double>("Erfc", interleave_far(xs), 0.6);
  expect_same_alone<double>("Erfc", interleave_far(xs));
}

// The pieces' clamps must keep every lane's row inside its table: NaNs, infinities, the largest
// doubles and arguments just past the clamps (6 for Erf, 26.5 for Erfc and its negative side),
// in blocks with ordinary lanes, give the values MPFR gives and what each gives alone.
TEST(ErfFamily, DoublePolynomialClampsInMixedBlocks) {
  const double big = std::numeric_limits<double>::max();
  const std::vector<double> xs = {NAN,    0.7,  INFINITY, -1.3, -INFINITY, 2.2,    big,     -big,
                                  6.0001, -0.4, 1e300,    3.1,  -26.5001,  -6.01,  26.5001, 0.03,
                                  -0.0,   4.9,  0x1p-1074, 1.1, -1e-300,   -26.49, 25.99,   -5.99};
  for (const char* f : {"Erf", "Erfc"}) {
    sweep_function<double>(f, xs);
    expect_same_alone<double>(f, xs);
  }
}
