// The single-precision inverse error functions against MPFR where their formulas can go wrong.
// EP computes in float with a logarithm: the seams between its pieces (w = -ln(1 - a^2) = 5,
// s = sqrt(w) = 4.1), blocks whose lanes take different pieces, ErfcInv's arguments below 1/2
// (1 - q is not exact in float there), and the ends of the float path (ErfcInv from 2^-126 and
// CdfNormInv from 2^-127 down; below, the per-element routine). HA and LA (one kernel) take float
// rows in q' = 1 - |t| from 2^-20 to 1 and the double EP kernel for the other lanes of a flagged
// block: the rows' edges and the ends of their screen. Every sweep runs all three slots.
// Then the double-precision kernels' rows (section at the end).
#include <cfenv>
#include <cmath>
#include <utility>
#include <vector>

#include "accuracy_harness.h"

namespace {
using namespace vm_test;

// q = 1 - a with (1 - a)(1 + a) = e^-w, in double.
double q_of_w(double w) {
  const double e = std::exp(-w), a = std::sqrt(1 - e);
  return e / (1 + a);
}

// n consecutive floats upward from about n/2 below x.
std::vector<float> around(float x, long n) {
  for (long i = 0; i < n / 2; ++i) x = std::nextafter(x, 0.0f);
  return consecutive<float>(x, n);
}

// Interleaves xs with lanes of other pieces, so that every block of eight holds several.
std::vector<float> interleave(const std::vector<float>& xs, const std::vector<float>& others) {
  std::vector<float> v;
  for (size_t i = 0; i < xs.size(); ++i) {
    v.push_back(xs[i]);
    if (i % 2 == 0) v.push_back(others[(i / 2) % others.size()]);
  }
  return v;
}

// The seams of the float pieces, approached from both sides, each argument in a block with
// central and tail lanes; then each element alone gives the same bits as in its block.
TEST(SingleInverseErf, FloatPiecesAgreeAcrossTheirSeams) {
  const long n = qor::test::scaled(64, 16);
  std::vector<float> x, q, p;
  for (double w : {5.0, 4.1 * 4.1}) {
    const double qd = q_of_w(w);
    if (qd > 0x1p-25) {  // ErfInv reaches w = 16.6 only (1 - 2^-24)
      for (float v : around(static_cast<float>(1 - qd), n)) {
        x.push_back(v);
        x.push_back(-v);
      }
    }
    for (float v : around(static_cast<float>(qd), n)) {
      q.push_back(v);
      q.push_back(2 - v);
      p.push_back(v / 2);
      p.push_back(1 - v / 2);
    }
  }
  // central (0.3, 1e-30) and tail (0.99999, 1e-20, 1e-37) lanes
  const std::vector<float> xo = {0.3f, -0.99999f, 1e-30f, 0.9999999f}, qo = {0.7f, 1e-20f, 1.3f, 1e-37f},
                           po = {0.35f, 1e-20f, 0.65f, 1e-37f};
  for (const auto& [f, v] : {std::pair{"ErfInv", interleave(x, xo)}, std::pair{"ErfcInv", interleave(q, qo)},
                              std::pair{"CdfNormInv", interleave(p, po)}}) {
    sweep_function<float>(f, v);
    expect_same_alone<float>(f, v);
  }
}

// Every pattern of central and tail lanes in a block of eight (256 blocks): the tail pieces are
// evaluated for the whole block and chosen by mask, so each lane must get its own piece.
TEST(SingleInverseErf, EveryMixOfCentralAndTailLanesInABlock) {
  std::vector<float> x, q;
  for (int m = 0; m < 256; ++m) {
    for (int j = 0; j < 8; ++j) {
      const bool tail = (m >> j) & 1;
      // arguments differ from block to block, so that a lane taking another's piece shows
      const float k = static_cast<float>(m * 8 + j) / 2048.0f;
      x.push_back(tail ? 1 - 0x1p-20f * (1 + k) : 0.9f * k - 0.45f);
      q.push_back(tail ? 0x1p-60f * (1 + 7 * k) : 0.02f + 1.9f * k);
    }
  }
  sweep_function<float>("ErfInv", x);
  sweep_function<float>("ErfcInv", q);
  expect_same_alone<float>("ErfInv", x);
  expect_same_alone<float>("ErfcInv", q);
}

// ErfcInv below 1/2: t = 1 - q rounds in float and its low part carries the rest; around 1/2
// (where it starts), 1/4, and at random; CdfNormInv at the same 2p; the results' signs and zero
// at the centre.
TEST(SingleInverseErf, ErfcInvBelowOneHalfKeepsTheLowPartOfOneMinusQ) {
  std::vector<float> q = around(0.5f, qor::test::scaled(200, 40));
  append(q, around(0.25f, qor::test::scaled(100, 20)));
  append(q, uniform<float>(0.0067, 0.5, qor::test::scaled(3000, 300), 71));  // the central piece
  std::vector<float> p;
  for (float v : q) p.push_back(v / 2);
  sweep_function<float>("ErfcInv", q);
  sweep_function<float>("CdfNormInv", p);
  for (int s : {LA, HA, EP}) {
    EXPECT_EQ(one<float>(kernel<float>("ErfcInv", s), 1.0f), 0.0f) << slot_name(s);
    const float c = one<float>(kernel<float>("CdfNormInv", s), 0.5f);
    EXPECT_TRUE(c == 0.0f && !std::signbit(c)) << slot_name(s);
    EXPECT_LT(one<float>(kernel<float>("ErfcInv", s), 1.0f + 0x1p-23f), 0.0f) << slot_name(s);
    EXPECT_GT(one<float>(kernel<float>("ErfcInv", s), 1.0f - 0x1p-24f), 0.0f) << slot_name(s);
  }
}

// The float path ends where q (2 - q) would leave the normal range: ErfcInv at 2^-126,
// CdfNormInv at 2^-127; below, and on subnormal arguments, the per-element routine. Both sides
// in mixed blocks, no reports for any of them, each element alone as in its block.
TEST(SingleInverseErf, EndsOfTheFloatPathAndSubnormalArguments) {
  std::vector<float> q = around(0x1p-126f, 64), p = around(0x1p-127f, 64);
  append(q, log_uniform<float>(-149, -100, qor::test::scaled(400, 100), 72));
  append(p, log_uniform<float>(-149, -100, qor::test::scaled(400, 100), 73));
  q = interleave(q, {0.5f, 1.5f, 1e-10f});
  p = interleave(p, {0.25f, 0.75f, 1e-10f});
  sweep_function<float>("ErfcInv", q);
  sweep_function<float>("CdfNormInv", p);
  expect_same_alone<float>("ErfcInv", q);
  expect_same_alone<float>("CdfNormInv", p);
  for (int s : {LA, HA, EP}) {
    Recording rec;
    std::vector<float> r(q.size());
    kernel<float>("ErfcInv", s)(static_cast<int32_t>(q.size()), q.data(), r.data());
    kernel<float>("CdfNormInv", s)(static_cast<int32_t>(p.size()), p.data(), r.data());
    EXPECT_TRUE(reports().empty()) << slot_name(s);
  }
}

// The screens of the float path compare bit patterns against the ends of the domain: the last
// floats below 1 (ErfInv, both signs; CdfNormInv) and 2 (ErfcInv) stay on it; the ends
// themselves, what lies beyond, -0 and the negative numbers (ErfcInv, CdfNormInv) and NaN go to
// the per-element routine, in the same blocks: the poles and domain errors of the closed forms.
TEST(SingleInverseErf, TheBitScreensAtBothEndsOfTheDomain) {
  std::vector<float> x = around(0x1.fffffep-1f, 32), q = around(0x1.fffffep0f, 32), p;
  x.resize(16);
  q.resize(16);
  for (float v : x) p.push_back(v), x.push_back(-v);
  sweep_function<float>("ErfInv", x);
  sweep_function<float>("ErfcInv", q);
  sweep_function<float>("CdfNormInv", p);
  const float inf = INFINITY, nan = NAN;
  struct Case {
    const char* f;
    float x, want;
  };
  const Case cases[] = {{"ErfInv", 1.0f, inf},          {"ErfInv", -1.0f, -inf},           {"ErfInv", 0x1.000002p0f, nan},
                        {"ErfInv", -inf, nan},          {"ErfInv", nan, nan},              {"ErfcInv", 2.0f, -inf},
                        {"ErfcInv", 0x1.000002p1f, nan}, {"ErfcInv", 0.0f, inf},           {"ErfcInv", -0.0f, inf},
                        {"ErfcInv", -0x1p-149f, nan},   {"ErfcInv", inf, nan},             {"CdfNormInv", 1.0f, inf},
                        {"CdfNormInv", 0x1.000002p0f, nan}, {"CdfNormInv", 0.0f, -inf},    {"CdfNormInv", -0.0f, -inf},
                        {"CdfNormInv", -1.0f, nan},     {"CdfNormInv", nan, nan}};
  for (int s : {LA, HA, EP}) {
    for (const Case& c : cases) {
      // the case between ordinary lanes of the float path
      std::vector<float> v = {0.25f, c.x, 0.75f, 0.5f, 0.125f, 0.375f, 0.625f, 0.875f};
      std::vector<float> r(v.size());
      kernel<float>(c.f, s)(static_cast<int32_t>(v.size()), v.data(), r.data());
      if (std::isnan(c.want)) EXPECT_TRUE(std::isnan(r[1])) << c.f << " " << c.x << " " << slot_name(s);
      else EXPECT_EQ(r[1], c.want) << c.f << " " << c.x << " " << slot_name(s);
      EXPECT_EQ(r[0], one<float>(kernel<float>(c.f, s), 0.25f)) << c.f;
    }
  }
}

// Ordinary arguments raise no invalid, divide-by-zero or overflow flag, also in blocks that mix
// w = 0 (ErfInv(0), ErfcInv(1)) with tail lanes (the LA tails divide by 2 sqrt(w) for the whole
// register) and with lanes of the per-element routine.
TEST(SingleInverseErf, OrdinaryBlocksRaiseNoSpuriousFlags) {
  const std::vector<float> x = {0.0f, 1 - 0x1p-24f, 0x1p-140f, -0.0f, 0.5f, -0.9999f, 0x1p-30f, -(1 - 0x1p-22f), 0.0f};
  const std::vector<float> q = {1.0f, 0x1p-140f, 1.0f, 2 - 0x1p-23f, 1e-30f, 1 + 0x1p-23f, 0.5f, 0x1p-126f, 1.0f};
  std::vector<float> p(q.size());
  for (size_t i = 0; i < q.size(); ++i) p[i] = q[i] / 2;
  for (const auto& [f, v] : {std::pair{"ErfInv", x}, std::pair{"ErfcInv", q}, std::pair{"CdfNormInv", p}})
    expect_no_spurious_flags<float>(f, v);
}

// The float rows of HA and LA (128 a binade of q'): both sides of row edges in the first, a
// middle and the last binades (a binade's first and last rows, one inside), q' = 1 (the row of
// its own: |x| below 2^-25), ErfInv around |x| = 1/2 (where q' = 1 - |x| starts to round and its
// low part enters), and the ends of the rows' screen (q' = 2^-20, p' = 2^-21, ErfInv's |x| =
// 2^-100), each in blocks with lanes of the double kernel; each element alone as in its block.
TEST(SingleInverseErf, FloatRowsAgreeAcrossTheirEdgesAndEnds) {
  const long n = qor::test::scaled(8, 4);
  std::vector<float> x, q, p;
  const auto add_q = [&](float qq) {  // q' exact in each function's argument
    x.push_back(1 - qq);
    x.push_back(qq - 1);
    q.push_back(qq);
    q.push_back(2 - qq);
    p.push_back(qq / 2);
    p.push_back(1 - qq / 2);
  };
  for (int e : {-1, -2, -11, -20})
    for (int k : {0, 1, 77, 127})
      for (float v : around(std::ldexp(1 + k / 128.0f, e), n)) add_q(v);
  for (float v : around(1.0f, n)) add_q(v);  // q' = 1 and just below (ErfcInv 1 +- ulp)
  append(x, around(0.5f, n));
  append(x, around(-0.5f, n));
  append(x, around(0x1p-25f, n));
  append(x, around(0x1p-100f, n));
  append(x, around(-0x1p-100f, n));
  append(x, log_uniform<float>(-126, -60, qor::test::scaled(200, 50), 77));
  append(p, around(0.5f, n));
  // (p = 1/2 itself, +0 where the reference's -sqrt(2) erfc^-1(1) is -0, is in the special-value table)
  std::erase(p, 0.5f);
  // lanes of the double kernel: tails, ErfInv's element routine below 2^-35, subnormal arguments
  x = interleave(x, {1 - 0x1p-22f, 0x1p-40f, -0x1p-140f});
  q = interleave(q, {0x1p-30f, 2 - 0x1p-22f, 0x1p-140f});
  p = interleave(p, {0x1p-60f, 1 - 0x1p-23f, 0x1p-148f});
  for (const auto& [f, v] : {std::pair{"ErfInv", x}, std::pair{"ErfcInv", q}, std::pair{"CdfNormInv", p}}) {
    sweep_function<float>(f, v);
    expect_same_alone<float>(f, v);
  }
}

// ErfInv over the whole float range of its argument: near 0 (w nearly 0, subnormals), the
// central piece at random, and the last 2^20 floats below 1 (the tail to s = 4.08), both signs.
TEST(SingleInverseErf, ErfInvAcrossItsRange) {
  std::vector<float> x = log_uniform<float>(-149, -1, qor::test::scaled(2000, 200), 74);
  append(x, uniform<float>(0, 0.9933, qor::test::scaled(4000, 400), 75));
  for (float v : uniform<float>(0, 1, qor::test::scaled(4000, 400), 76))
    x.push_back(1 - std::ldexp(1.0f, -static_cast<int>(3 + 21 * v)) * (1 + v));
  append(x, around(1.0f - 0x1p-24f, 16));
  std::vector<float> both;
  for (float v : x) {
    if (!(v < 1)) continue;
    both.push_back(v);
    both.push_back(-v);
  }
  sweep_function<float>("ErfInv", both);
}

}  // namespace

// ---- Double precision: rows in q' = 1 - |t| ------------------------------------------------
// The double kernels choose a row of a polynomial table lane by lane from the bits of q' (EP and
// HA 128 rows a binade, LA 256, q' from 2^-20 to 1), take the tail pieces in sqrt(-ln(q'(2 - q'))) below 2^-20
// in the blocks that hold such a lane, and leave the special arguments to the element routine;
// the screened blocks read the rows unclamped, the flagged ones clamped.
namespace {
using namespace vm_test;

std::vector<double> around_d(double x, long n) {
  for (long i = 0; i < n / 2; ++i) x = std::nextafter(x, 0.0);
  return consecutive<double>(x, n);
}

// The same q' as ErfInv (1 - q', both signs), ErfcInv (q', 2 - q') and CdfNormInv (q' / 2,
// 1 - q' / 2), each followed now and then by a lane of another kind.
struct Triple {
  std::vector<double> x, q, p;
  void add(double qq, const double (&mix)[3]) {
    const double a = 1 - qq;  // exact from q' = 1/2 on; rounded above (HA's low part of q')
    x.push_back(a);
    x.push_back(-a);
    q.push_back(qq);
    q.push_back(2 - qq);
    p.push_back(qq / 2);
    p.push_back(1 - qq / 2);
    if (x.size() % 6 == 0) {
      x.push_back(1 - mix[0]);
      q.push_back(mix[1]);
      p.push_back(mix[2]);
    }
  }
  void check() const {
    for (const auto& [f, v] : {std::pair{"ErfInv", x}, std::pair{"ErfcInv", q}, std::pair{"CdfNormInv", p}}) {
      sweep_function<double>(f, v);
      expect_same_alone<double>(f, v);
    }
  }
};

// Both sides of row edges in the first, a middle and the last binades of the table, on the
// grid of the finest rows (256 a binade: LA's; every other edge EP's and HA's): the first and
// last rows of a binade in each slot and some inside, in blocks with lanes of other rows and of
// the tails.
TEST(DoubleInverseErf, RowsAgreeAcrossTheirEdges) {
  const long n = qor::test::scaled(8, 4);
  Triple t;
  const double mix[3] = {0x1p-30, 0.3, 1e-12};
  for (int e : {-1, -2, -9, -19, -20})
    for (int k : {0, 1, 2, 8, 133, 134, 136, 248, 254, 255}) {
      const double lo = std::ldexp(1 + k / 256.0, e);
      for (double v : around_d(lo, n)) t.add(v, mix);
    }
  // ErfInv's own grid near 1 - lo (x exact, q' = 1 - x exact)
  for (double lo : {0.5, 0.25, 0x1.08p-3, 0x1p-20})
    for (double v : around_d(1 - lo, n)) t.x.push_back(v);
  t.check();
}

// The ends of each path, both sides, in mixed blocks, with no reports: the tails from q' = 2^-20
// down (ErfInv to 1 - 2^-53, ErfcInv to 2^-1020 and the per-element routine below), the rows'
// top end (q' = 1 - 2^-21: |x| = 2^-21, ErfcInv 1 -+ 2^-21, CdfNormInv 1/2 -+ 2^-22, where the
// flagged blocks clamp to the last row), ErfInv's per-element product below 2^-35.
TEST(DoubleInverseErf, EndsOfTheRowsAndOfTheTails) {
  const long n = qor::test::scaled(16, 6);
  std::vector<double> x, q, p;
  for (double v : {0x1p-20, 0x1p-21, 0x1p-35, 1 - 0x1p-20, 1 - 0x1p-21})
    for (double w : around_d(v, n)) x.push_back(w), x.push_back(-w);
  for (double v : {0x1p-20, 2 - 0x1p-20, 1 - 0x1p-21, 1 + 0x1p-21, 0x1p-1020, 1.0})
    append(q, around_d(v, n));
  // (p = 1/2 itself, +0 where the reference's -sqrt(2) erfc^-1(1) is -0, is in the special-value table)
  for (double v : {0x1p-21, 1 - 0x1p-21, 0.5 - 0x1p-22, 0.5 + 0x1p-22, 0x1p-1021, 0.5 - 0x1p-40}) append(p, around_d(v, n));
  append(x, consecutive<double>(1 - 0x1p-47, n));
  append(q, log_uniform<double>(-1074, -20, qor::test::scaled(300, 60), 81));
  append(p, log_uniform<double>(-1074, -21, qor::test::scaled(300, 60), 82));
  for (const auto& [f, v] : {std::pair{"ErfInv", x}, std::pair{"ErfcInv", q}, std::pair{"CdfNormInv", p}}) {
    sweep_function<double>(f, v);
    expect_same_alone<double>(f, v);
    for (int s : {LA, HA, EP}) {
      Recording rec;
      std::vector<double> r(v.size());
      kernel<double>(f, s)(static_cast<int32_t>(v.size()), v.data(), r.data());
      EXPECT_TRUE(reports().empty()) << f << " " << slot_name(s);
    }
  }
}

// Every pattern of row, tail and per-element lanes in a block of four (81 blocks, arguments
// differing from block to block): each lane gets its own path whatever its neighbours take.
TEST(DoubleInverseErf, EveryMixOfRowTailAndElementLanesInABlock) {
  std::vector<double> x, q, p;
  for (int m = 0; m < 81; ++m) {
    int code = m;
    for (int j = 0; j < 4; ++j, code /= 3) {
      const double k = (m * 4 + j) / 324.0;
      switch (code % 3) {
        case 0:  // a row
          x.push_back(0.998 * k - 0.499);
          q.push_back(0.002 + 1.996 * k);
          p.push_back(0.001 + 0.998 * k);
          break;
        case 1:  // the tails
          x.push_back(1 - 0x1p-30 * (1 + k));
          q.push_back(0x1p-400 * (1 + k));
          p.push_back(1 - 0x1p-40 * (1 + k));
          break;
        default:  // the element routine
          x.push_back(0x1p-40 * (1 + k));
          q.push_back(0x1p-1060 * (1 + k));
          p.push_back(0x1p-1070 * (1 + k));
      }
    }
  }
  for (const auto& [f, v] : {std::pair{"ErfInv", x}, std::pair{"ErfcInv", q}, std::pair{"CdfNormInv", p}}) {
    sweep_function<double>(f, v);
    expect_same_alone<double>(f, v);
  }
}

}  // namespace
