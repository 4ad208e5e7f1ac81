// The exponential/logarithmic kernels inside the kernel frame: statuses in index order,
// callbacks that replace results, the caller's floating-point environment, block independence,
// and the special values of every logarithm.
#include <xmmintrin.h>

#include "accuracy_harness.h"

namespace {
using namespace vm_test;

struct SCase {
  const char* name;
  SKernel k;
};
const SCase kSKernels[] = {
    {"sExp LA", kernel<float>("Exp", LA)}, {"sExp HA", kernel<float>("Exp", HA)},
    {"sExp EP", kernel<float>("Exp", EP)}, {"sLn HA", kernel<float>("Ln", HA)},
    {"sLog1p", kernel<float>("Log1p", HA)}, {"sExpm1", kernel<float>("Expm1", HA)},
};

// Inputs with bad elements at 2 (overflow / domain), 9 and 17; ordinary elsewhere.
TEST(ExpLogFrame, StatusesAreReportedInIndexOrderWithTheirIndices) {
  std::vector<float> exp_x(21, 0.5f), ln_x(21, 2.0f);
  exp_x[2] = 200.0f;    // overflow
  exp_x[9] = -120.0f;   // underflow to zero
  exp_x[17] = 100.0f;   // overflow
  ln_x[2] = -1.0f;      // domain
  ln_x[9] = 0.0f;       // singularity
  ln_x[17] = -5.0f;     // domain
  struct Expect {
    SKernel k;
    const std::vector<float>* x;
    int codes[3];
  } cases[] = {
      {kernel<float>("Exp", HA), &exp_x, {3, 4, 3}},
      {kernel<float>("Exp", EP), &exp_x, {3, 4, 3}},
      {kernel<float>("Ln", HA), &ln_x, {1, 2, 1}},
      {kernel<float>("Log10", EP), &ln_x, {1, 2, 1}},
  };
  for (const Expect& c : cases) {
    Recording rec;
    std::vector<float> r(c.x->size());
    c.k(static_cast<int32_t>(r.size()), c.x->data(), r.data());
    ASSERT_EQ(reports().size(), 3u);
    const int idx[3] = {2, 9, 17};
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(reports()[i].index, idx[i]);
      EXPECT_EQ(reports()[i].code, c.codes[i]);
      EXPECT_EQ(reports()[i].arg, (*c.x)[idx[i]]);
    }
  }
  // Double kernels too.
  std::vector<double> dx(11, 1.5);
  dx[1] = 800.0;
  dx[6] = -800.0;
  Recording rec;
  std::vector<double> dr(dx.size());
  kernel<double>("Exp", HA)(11, dx.data(), dr.data());
  ASSERT_EQ(reports().size(), 2u);
  EXPECT_EQ(reports()[0].index, 1);
  EXPECT_EQ(reports()[0].code, 3);
  EXPECT_EQ(reports()[1].index, 6);
  EXPECT_EQ(reports()[1].code, 4);
}

int replace_with_42(FnxErrorContext* c) {
  c->res1 = 42.0;
  return 0;
}

TEST(ExpLogFrame, CallbackReplacesTheResultOfAFlaggedElement) {
  const uint32_t old = qor_fnx_kernel_GetMode();
  FnxErrorCallBack prev = qor_fnx_kernel_SetErrorCallBack(replace_with_42);
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_CALLBACK);
  std::vector<float> x(12, 1.0f);
  x[5] = 150.0f;
  for (SKernel k : {kernel<float>("Exp", HA), kernel<float>("Exp", LA), kernel<float>("Exp", EP)}) {
    std::vector<float> r(x.size());
    k(static_cast<int32_t>(x.size()), x.data(), r.data());
    EXPECT_EQ(r[5], 42.0f);
    EXPECT_NEAR(r[4], 2.7182818f, 1e-3f);
  }
  std::vector<double> dx(7, 2.0);
  dx[3] = -3.0;
  std::vector<double> dr(dx.size());
  kernel<double>("Ln", HA)(7, dx.data(), dr.data());
  EXPECT_EQ(dr[3], 42.0);
  qor_fnx_kernel_SetErrorCallBack(prev);
  qor_fnx_kernel_SetMode(old & QOR_FNX_ERRMODE_MASK);
}

TEST(ExpLogFrame, CallersRoundingModeIsKeptAndResultsAreRoundToNearest) {
  const std::vector<float> x = uniform<float>(-20, 20, 37, 201);
  std::vector<float> pos(x.size());
  for (size_t i = 0; i < x.size(); ++i) pos[i] = std::fabs(x[i]) + 0.5f;
  for (const SCase& c : kSKernels) {
    const std::vector<float>& in = (std::string(c.name).find("Ln") != std::string::npos) ? pos : x;
    std::vector<float> rn(in.size()), rz(in.size());
    c.k(static_cast<int32_t>(in.size()), in.data(), rn.data());
    const unsigned saved = _mm_getcsr();
    _mm_setcsr((saved & ~0x6000u) | 0x6000u);  // round toward zero
    c.k(static_cast<int32_t>(in.size()), in.data(), rz.data());
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(after & 0xFFC0u, (saved & ~0x6000u & 0xFFC0u) | 0x6000u) << c.name;
    EXPECT_EQ(0, std::memcmp(rn.data(), rz.data(), rn.size() * sizeof(float))) << c.name;
  }
}

TEST(ExpLogFrame, FlushModeReadsSubnormalsAsZeroAndRestoresMxcsr) {
  const uint32_t old = qor_fnx_kernel_GetMode();
  qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_FLUSH | QOR_FNX_ERRMODE_IGNORE);
  const unsigned saved = _mm_getcsr();
  EXPECT_EQ(one<float>(kernel<float>("Exp", HA), -100.0f), 0.0f);  // subnormal result flushed
  EXPECT_EQ(one<float>(kernel<float>("Ln", HA), 0x1p-140f), -INFINITY);
  EXPECT_EQ(one<double>(kernel<double>("Ln", HA), 0x1p-1040), -INFINITY);
  EXPECT_EQ(_mm_getcsr() & 0xFFC0u, saved & 0xFFC0u);
  qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_KEEP | (old & QOR_FNX_ERRMODE_MASK));
  EXPECT_GT(one<float>(kernel<float>("Exp", HA), -100.0f), 0.0f);
}

TEST(ExpLogFrame, ASpecialFirstElementDoesNotChangeTheOthers) {
  std::vector<float> x = uniform<float>(-80, 80, 8, 211);
  x[0] = NAN;
  for (const SCase& c : kSKernels) {
    std::vector<float> in = x;
    if (std::string(c.name).find("Ln") != std::string::npos)
      for (float& v : in) v = std::fabs(v);
    std::vector<float> block(8);
    c.k(8, in.data(), block.data());
    for (int i = 0; i < 8; ++i) {
      const float single = one(c.k, in[i]);
      if (std::isnan(single)) EXPECT_TRUE(std::isnan(block[i])) << c.name;
      else EXPECT_EQ(block[i], single) << c.name << " element " << i;
    }
  }
  // dExp: 708.0 stays on the packed path, 708.4 takes the per-element routine; both exact to
  // half an ulp and independent of their neighbours.
  std::vector<double> d = {708.0, 708.4, 1.0, -708.4};
  std::vector<double> dr(4);
  kernel<double>("Exp", HA)(4, d.data(), dr.data());
  for (int i = 0; i < 4; ++i) {
    EXPECT_LE(qor::test::ulp_error(mpfr_exp, d[i], dr[i]).ulps, 0.52) << d[i];
    EXPECT_EQ(dr[i], one<double>(kernel<double>("Exp", HA), d[i]));
  }
}

// Special values of the logarithms: (x, expected result, status), for every slot.
struct LogSpecial {
  double x;
  double expect;  // NaN: any NaN
  int status;
};
class LogSpecials : public ::testing::TestWithParam<LogSpecial> {};

TEST_P(LogSpecials, EverySlotOfEveryLogarithm) {
  const LogSpecial c = GetParam();
  auto check = [&](double r, const std::string& what) {
    if (std::isnan(c.expect)) EXPECT_TRUE(std::isnan(r)) << what << " x = " << c.x;
    else EXPECT_EQ(r, c.expect) << what << " x = " << c.x;
    if (c.status) {
      ASSERT_EQ(reports().size(), 1u) << what << " x = " << c.x;
      EXPECT_EQ(reports()[0].code, c.status);
    } else {
      EXPECT_TRUE(reports().empty()) << what << " x = " << c.x;
    }
  };
  for (const char* f : {"Ln", "Log2", "Log10"}) {
    for (int s : {LA, HA, EP}) {
      {
        Recording rec;
        check(one<float>(kernel<float>(f, s), static_cast<float>(c.x)), std::string("s") + f + " " + slot_name(s));
      }
      Recording rec;
      check(one<double>(kernel<double>(f, s), c.x), std::string("d") + f + " " + slot_name(s));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Logarithms, LogSpecials,
                         ::testing::Values(LogSpecial{0.0, -INFINITY, 2}, LogSpecial{-0.0, -INFINITY, 2},
                                           LogSpecial{-1.0, NAN, 1}, LogSpecial{-INFINITY, NAN, 1},
                                           LogSpecial{INFINITY, INFINITY, 0}, LogSpecial{NAN, NAN, 0},
                                           LogSpecial{1.0, 0.0, 0}));

TEST(SLn, ScalarRoutineBranchesAndSubnormals) {
  // One-element calls take the per-element routine: its polynomial branch near 1, its table
  // branch, and subnormal inputs scaled by 2^60.
  const float xs[] = {1.005f, 0.995f, 1.0097f, 0.9903f, 1.5f, 3.0e-5f, 0x1p-149f, 0x1.fffffcp-127f, 3.0e38f};
  for (float x : xs) {
    const float r = one<float>(kernel<float>("Ln", HA), x);
    EXPECT_LE(qor::test::ulp_error(mpfr_log, x, r).ulps, 0.51) << x;
  }
  EXPECT_NEAR(one<float>(kernel<float>("Ln", HA), 0x1p-149f), -103.27893f, 1e-4f);
}

TEST(Log1pExpm1, SignedZerosTinyArgumentsAndPoles) {
  for (SKernel k : {kernel<float>("Log1p", LA), kernel<float>("Log1p", HA), kernel<float>("Expm1", HA)}) {
    EXPECT_TRUE(std::signbit(one<float>(k, -0.0f)));
    EXPECT_EQ(one<float>(k, 0x1p-140f), 0x1p-140f);
  }
  for (DKernel k : {kernel<double>("Log1p", LA), kernel<double>("Log1p", HA), kernel<double>("Log1p", EP),
                    kernel<double>("Expm1", LA), kernel<double>("Expm1", HA), kernel<double>("Expm1", EP)}) {
    EXPECT_TRUE(std::signbit(one<double>(k, -0.0)));
    EXPECT_EQ(one<double>(k, 0x1p-1060), 0x1p-1060);
  }
  Recording rec;
  EXPECT_EQ(one<double>(kernel<double>("Log1p", HA), -1.0), -INFINITY);
  EXPECT_TRUE(std::isnan(one<double>(kernel<double>("Log1p", HA), -2.0)));
  EXPECT_EQ(one<double>(kernel<double>("Expm1", HA), -INFINITY), -1.0);
  EXPECT_EQ(one<float>(kernel<float>("Expm1", HA), 100.0f), INFINITY);
  ASSERT_EQ(reports().size(), 3u);
  EXPECT_EQ(reports()[0].code, 2);
  EXPECT_EQ(reports()[1].code, 1);
  EXPECT_EQ(reports()[2].code, 3);
}

}  // namespace
