// Linear, standard quadratic and Subbotin quadratic construction.
#include <cstring>

#include "data_fitting/construct/kernel_table.h"
#include "df_helpers.h"
#include "support/alloc_failure.h"

namespace {

using qor::test::df::Task;
constexpr double kEps = 0x1p-52;

// A task over nx breakpoints (x holds the two ends when uniform) and ny functions in rows or
// columns, with the breakpoints it stands for.
struct Fixture {
  Task t;
  std::vector<double> x;    // the breakpoints
  std::vector<double> arg;  // what the task was given
  std::vector<double> y;    // as stored
  int64_t nx, ny;
  bool cols;
  double yv(int64_t j, int64_t i) const { return cols ? y[i * ny + j] : y[j * nx + i]; }
  Fixture(int64_t nx_, int64_t ny_, bool uniform, bool cols_, std::mt19937_64& g, std::vector<double> xs = {})
      : nx(nx_), ny(ny_), cols(cols_) {
    x = !xs.empty() ? xs : uniform ? qor::test::df::uniform_breakpoints(-1.5, 2.0, nx) : qor::test::df::random_partition(nx, g);
    arg = uniform ? std::vector<double>{x[0], x[nx - 1]} : x;
    y.resize(nx * ny);
    std::uniform_real_distribution<double> u(-1, 1);
    for (auto& v : y) v = u(g);
    EXPECT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, arg.data(), uniform ? QOR_DF_HINT_UNIFORM : QOR_DF_HINT_NON_UNIFORM,
                                       ny, y.data(), cols ? QOR_DF_STORAGE_COLS : QOR_DF_STORAGE_ROWS, 0),
              DfOk);
  }
};

struct Shape {
  bool uniform, cols;
};
const Shape kShapes[] = {{false, false}, {false, true}, {true, false}, {true, true}};

// ---- linear ---------------------------------------------------------------------------------------

TEST(LinearSpline, EveryPieceJoinsItsTwoBreakpoints) {
  std::mt19937_64 g(1);
  for (const Shape& sh : kShapes) {
    for (int64_t nx : {2L, 3L, 17L, 1000L, 5000L}) {
      const int64_t ny = nx > 1000 ? 3 : 5;
      Fixture f(nx, ny, sh.uniform, sh.cols, g);
      std::vector<double> c(2 * (nx - 1) * ny, 99.0);
      ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(f.t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                              QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_STORAGE_ROWS),
                DfOk);
      ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(f.t, 0, 0, qor_threading_openmp()), DfOk);
      for (int64_t j = 0; j < ny; ++j)
        for (int64_t i = 0; i + 1 < nx; ++i) {
          const double* p = &c[j * 2 * (nx - 1) + 2 * i];
          const double y0 = f.yv(j, i), y1 = f.yv(j, i + 1);
          ASSERT_EQ(p[0], y0);
          const long double end = (long double)p[0] + (long double)p[1] * ((long double)f.x[i + 1] - f.x[i]);
          const double tol = 16 * kEps * (std::fabs(y0) + std::fabs(y1)) +
                             8 * kEps * std::fabs(p[1]) *
                                 (std::fabs(f.x[i]) + std::fabs(f.x[i + 1]) + std::fabs(f.x[0]) + std::fabs(f.x[nx - 1]));
          ASSERT_LE(std::fabs(double(end - y1)), tol) << "nx " << nx << " cell " << i;
        }
    }
  }
}

TEST(LinearSpline, TwoBreakpointsHandWorked) {
  std::vector<double> x{1.0, 3.0}, y{2.0, 7.0, -1.0, -1.0}, c(4, 0.0);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 2, x.data(), QOR_DF_HINT_NONE, 2, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  EXPECT_EQ(c, (std::vector<double>{2.0, 2.5, -1.0, 0.0}));
}

TEST(LinearSpline, ThreadedEqualsSequential) {
  std::mt19937_64 g(2);
  for (const Shape& sh : kShapes) {
    Fixture f(qor::test::scaled(20000, 3000), 9, sh.uniform, sh.cols, g);
    std::vector<double> a(2 * (f.nx - 1) * f.ny), b(a.size());
    qor_df_kernel_dEditPPSpline1D(f.t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                  QOR_DF_IC_NONE, nullptr, a.data(), QOR_DF_HINT_NONE);
    ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(f.t, 0, 0, qor_threading_sequential()), DfOk);
    qor_df_kernel_dEditPtr(f.t, DfParamCoeff, b.data());
    ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(f.t, 0, 0, qor_threading_openmp()), DfOk);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
  }
}

TEST(LinearSpline, StatusesInOrderAndNothingWritten) {
  std::vector<double> x{0, 1, 2}, y{1, 2, 3, 5, 0, 5}, c(8, 42.0);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 2, y.data(), QOR_DF_STORAGE_ROWS, 0), DfOk);
  EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(nullptr, 0, 0, nullptr), DfErrNullTask);
  EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfErrNullCoeff);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_PERIODIC, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  t->yhint = 3;  // as a corrupted record would hold it
  EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 1, nullptr), DfErrMethod);
  EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfErrYHint);
  t->yhint = 16;
  EXPECT_EQ(qor_df_kernel_sDFLinearSpline1D(t, 0, 0, nullptr), DfErrType);
  // Periodic: function 0 has y[0] = 1 != y[2] = 3.
  EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfErrPeriodic);
  EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](double v) { return v == 42.0; }));
  y[2] = 1.0;
  EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  y[3] = std::nan("");
  y[5] = std::nan("");
  EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfErrPeriodic);
}

TEST(LinearSpline, SinglePrecision) {
  std::vector<float> x{0.f, 0.5f, 2.f}, y{1.f, 2.f, -1.f}, c(4);
  Task t;
  ASSERT_EQ(qor_df_kernel_sNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_sEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_sDFLinearSpline1D(t, 0, 0, qor_threading_openmp()), DfOk);
  EXPECT_EQ(c, (std::vector<float>{1.f, 2.f, 2.f, -2.f}));
}

// ---- standard quadratic ------------------------------------------------------------------------------

TEST(QuadraticSpline, HandWorkedThreePoints) {
  // Through (0,0), (1,1), (2,0) with value 1/4 at x = 1/2: t^2 on [0,1], then 1 + 2t - 3t^2.
  std::vector<double> x{0, 1, 2}, y{0, 1, 0}, bc{0.25}, c(6);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE,
                                          bc.data(), QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfOk);
  EXPECT_EQ(c, (std::vector<double>{0, 0, 1, 1, 2, -3}));
}

double q(double v) { return 0.7 - 1.3 * v + 0.45 * v * v; }
double dq(double v) { return -1.3 + 0.9 * v; }

TEST(QuadraticSpline, ReproducesAQuadraticAndJoinsSmoothly) {
  std::mt19937_64 g(3);
  for (const Shape& sh : kShapes) {
    for (int64_t nx : {2L, 5L, 60L, 5000L}) {
      Fixture f(nx, 2, sh.uniform, sh.cols, g);
      // function 0: the quadratic q; function 1: random data
      for (int64_t i = 0; i < nx; ++i) (f.cols ? f.y[i * 2] : f.y[i]) = q(f.x[i]);
      const double bc = q(0.5 * (f.x[0] + f.x[1]));
      std::vector<double> c(3 * (nx - 1) * 2);
      ASSERT_EQ(
          qor_df_kernel_dEditPPSpline1D(f.t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE, &bc,
                                        QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
          DfOk);
      ASSERT_EQ(qor_df_kernel_dDFQuadraticSpline1D(f.t, 0, 0, nullptr), DfOk);
      const double* c1 = c.data() + 3 * (nx - 1);
      const double tol = nx > 100 ? 1e-7 : 1e-10;
      for (int64_t i = 0; i + 1 < nx; ++i) {
        const double h = f.x[i + 1] - f.x[i];
        EXPECT_NEAR(c[3 * i + 1], dq(f.x[i]), tol + 1e-13 / h);
        EXPECT_NEAR(c[3 * i + 2], 0.45, tol + 1e-12 / (h * h));
        // random data: takes y at both ends; slope continuous at x[i+1]
        const double* p = c1 + 3 * i;
        EXPECT_EQ(p[0], f.yv(1, i));
        const double scale = std::fabs(p[1]) * h + std::fabs(p[2]) * h * h + 1;
        EXPECT_NEAR(p[0] + h * (p[1] + h * p[2]), f.yv(1, i + 1), 1e-9 * scale);
        if (i + 2 < nx) {
          EXPECT_NEAR(p[1] + 2 * p[2] * h, p[4], 1e-9 * (std::fabs(p[1]) + std::fabs(p[2]) * h + 1));
        }
      }
    }
  }
}

TEST(QuadraticSpline, StatusesInOrder) {
  std::vector<double> x{0, 1, 2}, y{0, 1, 0}, bc{0.25, 1}, c(9, 5.0);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT,
                                          QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, bc.data(), QOR_DF_IC_NONE, nullptr,
                                          c.data(), QOR_DF_HINT_NONE),
            DfOk);
  EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrBcType);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamBcType, QOR_DF_BC_MIDPOINT_VALUE), DfOk);
  EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrNullBc);
  for (int64_t type : {2, 3, 9}) {
    ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamType, type), DfOk);
    EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrMethod);
  }
  // Subbotin: sub-grid flag, then the boundary pair, then its values.
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                          QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, bc.data(), QOR_DF_IC_1ST_DER,
                                          x.data(), c.data(), QOR_DF_HINT_NONE),
            DfOk);
  EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrIcType);
  for (int64_t bcType : {1, 2, 64, 4, 128}) {
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN, bcType, bc.data(),
                                            QOR_DF_IC_SUBGRID, nullptr, nullptr, QOR_DF_HINT_NONE),
              DfErrNullIc);
    ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamIcType, QOR_DF_IC_SUBGRID), DfOk);
    EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrBcType) << bcType;
  }
  ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamBcType, QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_2ND), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPtr(t, DfParamBc, bc.data()), DfOk);
  // An interior sub-grid point on a breakpoint; then ends that differ from the partition's.
  std::vector<double> ic{0, 1, 1.5, 2};
  ASSERT_EQ(qor_df_kernel_dEditPtr(t, DfParamIc, ic.data()), DfOk);
  EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrNullIc);
  ic = {0.1, 0.5, 1.5, 2};
  ASSERT_EQ(qor_df_kernel_dEditPtr(t, DfParamIc, ic.data()), DfOk);
  EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrNullIc);
  EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](double v) { return v == 5.0; }));
  ic = {0, 0.5, 1.5, 2};
  ASSERT_EQ(qor_df_kernel_dEditPtr(t, DfParamIc, ic.data()), DfOk);
  EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfOk);
}

// ---- Subbotin ---------------------------------------------------------------------------------------

struct SubbCase {
  int64_t bcType;
  int subgrid;  // 0 midpoints (no ic), 8 given, 12 uniform
  bool uniform, cols;
};

std::string subb_name(const ::testing::TestParamInfo<SubbCase>& i) {
  const SubbCase& c = i.param;
  return "bc" + std::to_string(c.bcType) + "_ic" + std::to_string(c.subgrid) + (c.uniform ? "_uniform" : "_random") +
         (c.cols ? "_cols" : "_rows");
}

class Subbotin : public ::testing::TestWithParam<SubbCase> {};

// Breakpoints near the integers, so that t(i) = i - 1/2 is a valid uniform sub-grid.
std::vector<double> jittered(int64_t nx, std::mt19937_64& g, bool uniform) {
  std::vector<double> x(nx);
  std::uniform_real_distribution<double> u(-0.2, 0.2);
  for (int64_t i = 0; i < nx; ++i) x[i] = double(i) + (uniform || i == 0 || i == nx - 1 ? 0.0 : u(g));
  return x;
}

TEST_P(Subbotin, ReproducesQuadraticsAndIsSmoothOnItsSubgrid) {
  const SubbCase& sc = GetParam();
  std::mt19937_64 g(sc.bcType * 100 + sc.subgrid);
  for (int64_t nx : {2L, 3L, 11L, 300L}) {
    if (sc.subgrid == 12 && nx == 2) continue;
    Fixture f(nx, 2, sc.uniform, sc.cols, g, jittered(nx, g, sc.uniform));
    for (int64_t i = 0; i < nx; ++i) (f.cols ? f.y[i * 2] : f.y[i]) = q(f.x[i]);
    const bool l2 = sc.bcType & 16, r2 = sc.bcType & 32;
    // Both functions get the conditions of q (so function 0 must be q).
    std::vector<double> bc{l2 ? 0.9 : dq(f.x[0]), r2 ? 0.9 : dq(f.x[nx - 1])};
    std::vector<double> ic;
    if (sc.subgrid == 8) {
      ic.push_back(f.x[0]);
      std::uniform_real_distribution<double> u(0.1, 0.9);
      for (int64_t i = 1; i < nx; ++i) ic.push_back(f.x[i - 1] + u(g) * (f.x[i] - f.x[i - 1]));
      ic.push_back(f.x[nx - 1]);
    } else if (sc.subgrid == 12) {
      ic = {0.5, double(nx) - 1.5};
    }
    std::vector<double> c(3 * nx * 2);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(f.t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN, sc.bcType, bc.data(),
                                            sc.subgrid, ic.empty() ? nullptr : ic.data(), c.data(), QOR_DF_HINT_NONE),
              DfOk);
    if (sc.subgrid == 0) {
      ASSERT_EQ(qor_df_kernel_iEditVal(f.t, DfParamIcType, QOR_DF_IC_SUBGRID), DfOk);
    }
    ASSERT_EQ(qor_df_kernel_dDFQuadraticSpline1D(f.t, 0, 0, nullptr), DfOk);
    auto sub = [&](int64_t k) {
      if (k == 0) return f.x[0];
      if (k == nx) return f.x[nx - 1];
      if (sc.subgrid == 8) return ic[k];
      if (sc.subgrid == 12) return nx == 2 ? ic[0] : ic[0] + double(k - 1) * (ic[1] - ic[0]) / double(nx - 2);
      return 0.5 * (f.x[k - 1] + f.x[k]);
    };
    for (int64_t i = 0; i < nx; ++i) {
      EXPECT_NEAR(c[3 * i + 1], dq(f.x[i]), 1e-9) << nx << " cell " << i;
      EXPECT_NEAR(c[3 * i + 2], 0.45, 1e-9) << nx << " cell " << i;
    }
    const double* p = c.data() + 3 * nx;  // random data
    auto val = [&](int64_t i, double s) { const double t = s - f.x[i]; return p[3 * i] + t * (p[3 * i + 1] + t * p[3 * i + 2]); };
    auto der = [&](int64_t i, double s) { return p[3 * i + 1] + 2 * p[3 * i + 2] * (s - f.x[i]); };
    double mag = 1;
    for (int64_t i = 0; i < nx; ++i) mag = std::max({mag, std::fabs(p[3 * i + 1]), std::fabs(p[3 * i + 2])});
    for (int64_t i = 0; i < nx; ++i) EXPECT_EQ(p[3 * i], f.yv(1, i));
    for (int64_t k = 1; k < nx; ++k) {
      EXPECT_NEAR(val(k - 1, sub(k)), val(k, sub(k)), 1e-12 * mag * nx) << "value at t(" << k << ")";
      EXPECT_NEAR(der(k - 1, sub(k)), der(k, sub(k)), 1e-12 * mag * nx) << "slope at t(" << k << ")";
    }
    EXPECT_NEAR(l2 ? 2 * p[2] : p[1], bc[0], 1e-12 * mag * nx);
    EXPECT_NEAR(r2 ? 2 * p[3 * nx - 1] : p[3 * nx - 2], bc[1], 1e-12 * mag * nx);
  }
}

std::vector<SubbCase> subb_cases() {
  std::vector<SubbCase> v;
  for (int64_t bc : {12, 24, 36, 48})
    for (int sg : {0, 8, 12})
      for (bool uni : {false, true}) v.push_back({bc, sg, uni, bc == 36});
  return v;
}
INSTANTIATE_TEST_SUITE_P(Pairs, Subbotin, ::testing::ValuesIn(subb_cases()), subb_name);

TEST(QuadraticSpline, SinglePrecisionKinds) {
  std::vector<float> x{0, 1, 2}, y{0, 1, 0}, bc{0.25f}, c(6);
  Task t;
  ASSERT_EQ(qor_df_kernel_sNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_sEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE,
                                          bc.data(), QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_sDFQuadraticSpline1D(t, 0, 0, nullptr), DfOk);
  EXPECT_EQ(c, (std::vector<float>{0, 0, 1, 1, 2, -3}));
  // Subbotin, second derivatives at both ends, on the uniform partition 0, 1, ..., 7.
  std::vector<float> ends{0.f, 7.f}, yq(8), cq(24), bq{0.9f, 0.9f};
  for (int i = 0; i < 8; ++i) yq[i] = float(q(i));
  Task u;
  ASSERT_EQ(qor_df_kernel_sNewTask1D(&u.t, 8, ends.data(), QOR_DF_HINT_UNIFORM, 1, yq.data(), QOR_DF_HINT_NONE, 0),
            DfOk);
  ASSERT_EQ(qor_df_kernel_sEditPPSpline1D(u, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                          QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_2ND, bq.data(), QOR_DF_IC_NONE, nullptr,
                                          cq.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_iEditVal(u, DfParamIcType, QOR_DF_IC_SUBGRID), DfOk);
  ASSERT_EQ(qor_df_kernel_sDFQuadraticSpline1D(u, 0, 0, nullptr), DfOk);
  for (int i = 0; i < 8; ++i) {
    EXPECT_NEAR(cq[3 * i + 1], dq(i), 2e-5) << i;
    EXPECT_NEAR(cq[3 * i + 2], 0.45, 2e-5) << i;
  }
}

TEST(QuadraticSpline, WorkStorageAllocationFailures) {
  std::mt19937_64 g(9);
  Fixture f(5000, 1, false, false, g);
  std::vector<double> c(3 * 5000), bc{0.3, 0.1};
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(f.t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE,
                                          bc.data(), QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  EXPECT_EQ(qor::test::sweep_allocation_failures([&] { return qor_df_kernel_dDFQuadraticSpline1D(f.t, 0, 0, nullptr); },
                                                 DfErrMemory),
            1);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(f.t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                          QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, bc.data(), QOR_DF_IC_NONE, nullptr,
                                          c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_iEditVal(f.t, DfParamIcType, QOR_DF_IC_SUBGRID), DfOk);
  EXPECT_EQ(qor::test::sweep_allocation_failures([&] { return qor_df_kernel_dDFQuadraticSpline1D(f.t, 0, 0, nullptr); },
                                                 DfErrMemory),
            1);
}

// ---- the construction kernel table ---------------------------------------------------------------

TEST(ConstructionTable, BoundaryKindOfEveryCode) {
  using qor::df::BcKind;
  const struct {
    int64_t code;
    BcKind kind;
  } cases[] = {{QOR_DF_BC_NOT_A_KNOT, BcKind::not_a_knot},
               {QOR_DF_BC_FREE_END, BcKind::free_end},
               {QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, BcKind::first_first},
               {QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_2ND, BcKind::first_second},
               {QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_1ST, BcKind::second_first},
               {QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_2ND, BcKind::second_second},
               {QOR_DF_BC_PERIODIC, BcKind::periodic},
               {QOR_DF_BC_NONE, BcKind::none},
               {QOR_DF_BC_MIDPOINT_VALUE, BcKind::midpoint_value}};
  for (const auto& c : cases) EXPECT_EQ(qor::df::bc_kind(c.code), c.kind) << c.code;
  // The boundary index of the cubic kinds: not-a-knot 0 ... periodic 6, none 7.
  EXPECT_EQ(static_cast<int>(qor::df::bc_kind(12)), 2);
  EXPECT_EQ(static_cast<int>(qor::df::bc_kind(36)), 3);
  EXPECT_EQ(static_cast<int>(qor::df::bc_kind(24)), 4);
  EXPECT_EQ(static_cast<int>(qor::df::bc_kind(64)), 6);
  EXPECT_EQ(static_cast<int>(qor::df::bc_kind(0)), 7);
  for (int64_t code : {int64_t(3), int64_t(4), int64_t(8), int64_t(16), int64_t(28), int64_t(60), int64_t(76),
                       int64_t(129), int64_t(-1), int64_t(-12), INT64_MIN, INT64_MAX, (int64_t(1) << 32) | 12})
    EXPECT_EQ(qor::df::bc_kind(code), BcKind::count) << code;
}

// Codes outside the table (boundary types and spline types no kernel exists for, huge and negative
// values) get the documented status, write nothing and never index past the table.
TEST(ConstructionTable, HostileCodesGetTheDocumentedStatus) {
  std::vector<double> x{0, 1, 2, 3}, y{0, 1, 0, 2}, bc{0.25, 1}, ic{0, 0.5, 1.5, 2.5, 3}, c(12, 5.0);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), QOR_DF_HINT_NON_UNIFORM, 1, y.data(), QOR_DF_STORAGE_ROWS, 0),
            DfOk);
  const int64_t hostile[] = {-1, -12, INT64_MIN, INT64_MAX, (int64_t(1) << 32) | 12, (int64_t(1) << 40) | 128,
                             3, 13, 28, 80, 96, 129, 255, 256};
  for (int64_t type : {QOR_DF_TYPE_DEFAULT, QOR_DF_TYPE_SUBBOTIN}) {
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, type, QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST,
                                            bc.data(), QOR_DF_IC_SUBGRID, ic.data(), c.data(), QOR_DF_STORAGE_ROWS),
              DfOk);
    for (int64_t bcType : hostile) {
      ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamBcType, bcType), bcType < 0 ? DfErrBcType : DfOk);
      t->bcType = bcType;  // negative codes as a corrupted record would hold them
      for (int64_t ictype : {int64_t(QOR_DF_IC_SUBGRID), int64_t(QOR_DF_IC_SUBGRID_UNIFORM), INT64_MIN | QOR_DF_IC_SUBGRID,
                             int64_t(-1)}) {
        t->icType = ictype;
        EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrBcType) << type << " " << bcType;
      }
    }
  }
  EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](double v) { return v == 5.0; }));
  // Spline types the quadratic entry point has no kernel for.
  t->bcType = QOR_DF_BC_MIDPOINT_VALUE;
  for (int64_t type : {int64_t(-1), int64_t(QOR_DF_TYPE_NATURAL), int64_t(QOR_DF_TYPE_HYMAN), int64_t(10), INT64_MIN,
                       INT64_MAX}) {
    t->type = type;
    EXPECT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfErrMethod) << type;
  }
  // The linear spline builds no boundary condition: any code leads to its one kernel.
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_STORAGE_ROWS),
            DfOk);
  for (int64_t bcType : hostile) {
    t->bcType = bcType;
    std::fill(c.begin(), c.end(), 5.0);
    EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, QOR_DF_METHOD_DEFAULT, nullptr), DfOk) << bcType;
    EXPECT_EQ(c[5], 2.0) << bcType;  // last cell: slope (2 - 0) / 1
  }
}

}  // namespace
