// Interpolation: every spline kind against closed forms, result layouts, cells, callbacks.
#include <cstring>
#include <limits>

#include "df_helpers.h"
#include "support/alloc_failure.h"

namespace {

using qor::test::df::reference_cell;
using qor::test::df::Task;

int64_t at(int64_t rhint, int64_t ny, int64_t nsite, int64_t nder, int64_t j, int64_t s, int64_t d) {
  switch (rhint) {
    case 32: return (j * nder + d) * nsite + s;
    case 256: return (s * ny + j) * nder + d;
    case 512: return (s * nder + d) * ny + j;
    default: return (j * nsite + s) * nder + d;
  }
}

// Random sites inside and around [a, b], with the breakpoints themselves.
std::vector<double> sites_around(const std::vector<double>& x, int64_t n, std::mt19937_64& g) {
  std::uniform_real_distribution<double> u(x.front() - 0.7, x.back() + 0.7);
  std::vector<double> s(n);
  for (auto& v : s) v = u(g);
  for (size_t i = 0; i < x.size() && i < s.size() / 4; ++i) s[i] = x[i];
  return s;
}

// ---- linear -----------------------------------------------------------------------------------

struct LinCase {
  bool uniform, cols;
  int64_t rhint;
};

class LinearEval : public ::testing::TestWithParam<LinCase> {};

TEST_P(LinearEval, ValuesSlopesAndCellsMatchTheData) {
  const LinCase lc = GetParam();
  std::mt19937_64 g(lc.rhint + lc.uniform * 2 + lc.cols);
  for (int64_t nx : {2L, 7L, 400L}) {
    const int64_t ny = 3, nsite = 300, nder = 3;
    std::vector<double> x = lc.uniform ? qor::test::df::uniform_breakpoints(-1.0, 3.0, nx)
                                       : qor::test::df::random_partition(nx, g);
    std::vector<double> arg = lc.uniform ? std::vector<double>{x[0], x[nx - 1]} : x;
    std::vector<double> y(nx * ny), c(2 * (nx - 1) * ny);
    std::uniform_real_distribution<double> u(-2, 2);
    for (auto& v : y) v = u(g);
    auto yv = [&](int64_t j, int64_t i) { return lc.cols ? y[i * ny + j] : y[j * nx + i]; };
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, arg.data(), lc.uniform ? QOR_DF_HINT_UNIFORM : QOR_DF_HINT_NONE, ny,
                                       y.data(), lc.cols ? QOR_DF_STORAGE_COLS : QOR_DF_STORAGE_ROWS, 0),
              DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                            QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
              DfOk);
    ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
    const std::vector<double> s = sites_around(x, nsite, g);
    const int32_t dorder[3] = {1, 1, 1};
    std::vector<double> r(nsite * ny * nder, 77.0);
    std::vector<int32_t> cell(nsite, -1);
    ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES | QOR_DF_REQUEST_CELLS, 0, nsite, s.data(),
                                             QOR_DF_HINT_NONE, 3, dorder, nullptr, r.data(), lc.rhint, cell.data(),
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             qor_threading_sequential()),
              DfOk);
    for (int64_t k = 0; k < nsite; ++k) {
      ASSERT_EQ(cell[k], reference_cell(x, s[k]));
      const int64_t p = std::clamp<int64_t>(cell[k] - 1, 0, nx - 2);
      for (int64_t j = 0; j < ny; ++j) {
        const long double slope = ((long double)yv(j, p + 1) - yv(j, p)) / ((long double)x[p + 1] - x[p]);
        const long double value = yv(j, p) + slope * ((long double)s[k] - x[p]);
        const double tol = 1e-14 * (std::fabs(double(slope)) * 8 + 4);
        EXPECT_NEAR(r[at(lc.rhint, ny, nsite, nder, j, k, 0)], double(value), tol);
        EXPECT_NEAR(r[at(lc.rhint, ny, nsite, nder, j, k, 1)], double(slope), 1e-10 * std::fabs(double(slope)) + 1e-12);
        EXPECT_EQ(r[at(lc.rhint, ny, nsite, nder, j, k, 2)], 0.0);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LinearEval,
                         ::testing::Values(LinCase{false, false, 16}, LinCase{true, false, 32},
                                           LinCase{false, true, 256}, LinCase{true, true, 512},
                                           LinCase{false, false, 0}, LinCase{true, true, 128}));

// ---- cubic and arbitrary order from caller coefficients -------------------------------------------

// P(x) = sum p[m] x^m and its derivatives.
long double poly(const std::vector<long double>& p, int k, long double v) {
  long double acc = 0;
  for (int m = int(p.size()) - 1; m >= k; --m) {
    long double f = 1;
    for (int i = 0; i < k; ++i) f *= m - i;
    acc = acc * v + p[m] * f;
  }
  return acc;
}

class PolynomialPieces : public ::testing::TestWithParam<int64_t> {};

// Cell coefficients are the Taylor coefficients of one polynomial at x[i], so every piece is
// that polynomial and every derivative at every site (inside or outside) is its derivative.
TEST_P(PolynomialPieces, EveryDerivativeIsThePolynomials) {
  const int64_t order = GetParam();
  std::mt19937_64 g(order);
  std::vector<long double> p(order);
  std::uniform_real_distribution<double> u(-1, 1);
  for (auto& v : p) v = u(g);
  for (bool uniform : {false, true}) {
    const int64_t nx = 25, nsite = 200;
    std::vector<double> x = uniform ? qor::test::df::uniform_breakpoints(-1.0, 1.5, nx)
                                    : qor::test::df::random_partition(nx, g, -1.0, 1.5);
    std::vector<double> arg = uniform ? std::vector<double>{x[0], x[nx - 1]} : x;
    std::vector<double> c(order * (nx - 1));
    for (int64_t i = 0; i + 1 < nx; ++i) {
      long double fact = 1;
      for (int64_t m = 0; m < order; ++m) {
        if (m > 0) fact *= m;
        c[i * order + m] = double(poly(p, int(m), x[i]) / fact);
      }
    }
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, arg.data(), uniform ? QOR_DF_HINT_UNIFORM : QOR_DF_HINT_NONE, 0,
                                       nullptr, QOR_DF_HINT_NONE, 1),
              DfOk);
    ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamNy, 1), DfOk);
    ASSERT_EQ(
        qor_df_kernel_dEditPPSpline1D(t, order, order == QOR_DF_ORDER_CUBIC ? QOR_DF_TYPE_NATURAL : QOR_DF_TYPE_DEFAULT,
                                      QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
        DfOk);
    const std::vector<double> s = sites_around(x, nsite, g);
    const int64_t nd = order + 1;
    std::vector<int64_t> dorder(nd, 1);
    std::vector<double> r(nsite * nd);
    ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, nsite, s.data(), QOR_DF_HINT_NONE, nd,
                                             dorder.data(), nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             qor_threading_openmp()),
              DfOk);
    for (int64_t k = 0; k < nsite; ++k)
      for (int64_t d = 0; d < nd; ++d) {
        const double want = double(poly(p, int(d), s[k]));
        ASSERT_NEAR(r[k * nd + d], want, 1e-12 * (1 + std::fabs(want)) * std::pow(4.0, double(d)))
            << "order " << order << " site " << s[k] << " derivative " << d;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Orders, PolynomialPieces, ::testing::Values(4, 5, 7));

// ---- quadratic kinds built by the library ----------------------------------------------------------

TEST(QuadraticEval, StandardQuadraticReproducesAQuadraticEverywhere) {
  auto q = [](double v) { return 2.0 - v + 0.25 * v * v; };
  std::mt19937_64 g(4);
  const int64_t nx = 30;
  std::vector<double> x = qor::test::df::random_partition(nx, g), y(nx), c(3 * (nx - 1));
  for (int64_t i = 0; i < nx; ++i) y[i] = q(x[i]);
  const double bc = q(0.5 * (x[0] + x[1]));
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_MIDPOINT_VALUE, &bc,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfOk);
  const std::vector<double> s = sites_around(x, 100, g);
  const int32_t dorder[] = {1, 1, 1};
  std::vector<double> r(300);
  ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 100, s.data(), QOR_DF_HINT_NONE, 3, dorder,
                                           nullptr, r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr),
            DfOk);
  for (int k = 0; k < 100; ++k) {
    EXPECT_NEAR(r[3 * k], q(s[k]), 1e-10);
    EXPECT_NEAR(r[3 * k + 1], -1 + 0.5 * s[k], 1e-9);
    EXPECT_NEAR(r[3 * k + 2], 0.5, 1e-7);
  }
}

// The Subbotin piece of a site is its sub-grid cell: checked with a per-site oracle that
// searches the sub-grid itself.
TEST(QuadraticEval, SubbotinUsesTheSubgridCellOfEverySite) {
  std::mt19937_64 g(5);
  const int64_t nx = 40;
  std::vector<double> x = qor::test::df::random_partition(nx, g), y(nx), c(3 * nx), ic(nx + 1);
  std::uniform_real_distribution<double> u(-1, 1), f(0.2, 0.8);
  for (auto& v : y) v = u(g);
  ic[0] = x[0];
  ic[nx] = x[nx - 1];
  for (int64_t i = 1; i < nx; ++i) ic[i] = x[i - 1] + f(g) * (x[i] - x[i - 1]);
  const double bc[2] = {0.3, -0.2};
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                          QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_1ST, bc, QOR_DF_IC_SUBGRID, ic.data(),
                                          c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFQuadraticSpline1D(t, 0, 0, nullptr), DfOk);
  std::vector<double> s = sites_around(x, 400, g);
  for (int64_t i = 1; i < nx; ++i) s.push_back(ic[i]), s.push_back(std::nextafter(ic[i], -1e300));
  const int64_t n = int64_t(s.size());
  std::vector<double> r(2 * n);
  const int32_t dorder[] = {1, 1};
  ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, n, s.data(), QOR_DF_HINT_NONE, 2, dorder,
                                           nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfOk);
  for (int64_t k = 0; k < n; ++k) {
    int64_t piece = std::upper_bound(ic.begin() + 1, ic.end() - 1, s[k]) - (ic.begin() + 1);
    piece = std::clamp<int64_t>(piece, 0, nx - 1);
    const long double tt = (long double)s[k] - x[piece];
    const long double v = c[3 * piece] + tt * (c[3 * piece + 1] + tt * c[3 * piece + 2]);
    const long double d = c[3 * piece + 1] + 2 * c[3 * piece + 2] * tt;
    ASSERT_NEAR(r[2 * k], double(v), 1e-12 * (1 + std::fabs(double(v)))) << s[k];
    ASSERT_NEAR(r[2 * k + 1], double(d), 1e-12 * (1 + std::fabs(double(d)))) << s[k];
  }
}

// ---- step and look-up kinds ------------------------------------------------------------------------

TEST(StepAndLookUp, HandWorkedValues) {
  std::vector<double> x{0, 1, 2, 3}, y{10, 20, 30, 40};
  std::vector<double> s{-1, 0, 0.5, 1, 2.5, 3, 4};
  const int32_t dorder[] = {1, 1};
  struct Want {
    int64_t type;
    std::vector<double> v;
  };
  for (const Want& w : {Want{8, {10, 10, 10, 20, 30, 30, 40}}, Want{7, {10, 10, 10, 20, 30, 40, 40}}}) {
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_NONE, w.type, QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE,
                                            nullptr, nullptr, QOR_DF_HINT_NONE),
              DfOk);
    std::vector<double> r(14, 5.0);
    ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 7, s.data(), QOR_DF_HINT_NONE, 2, dorder,
                                             nullptr, r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr),
              DfOk);
    for (int k = 0; k < 7; ++k) {
      EXPECT_EQ(r[2 * k], w.v[k]) << "type " << w.type << " site " << s[k];
      EXPECT_EQ(r[2 * k + 1], 0.0);
    }
  }
  for (bool uniform : {false, true}) {
    std::vector<double> ends{0, 3};
    Task t;
    ASSERT_EQ(
        qor_df_kernel_dNewTask1D(&t.t, 4, uniform ? ends.data() : x.data(),
                                 uniform ? QOR_DF_HINT_UNIFORM : QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0),
        DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_NONE, QOR_DF_TYPE_LOOKUP, QOR_DF_BC_NONE, nullptr,
                                            QOR_DF_IC_NONE, nullptr, nullptr, QOR_DF_HINT_NONE),
              DfOk);
    std::vector<double> ls{0, 3, 1, 2};
    if (uniform) ls[2] += 1e-13;
    const int32_t one[] = {1}, zero[] = {0};
    std::vector<double> r(4, 0.0);
    ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 4, ls.data(), QOR_DF_HINT_NONE, 1, one,
                                             nullptr, r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr),
              DfOk);
    EXPECT_EQ(r, (std::vector<double>{10, 40, 20, 30}));
    double bad[] = {0.5};
    EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 1, bad, QOR_DF_HINT_NONE, 1, one, nullptr,
                                             r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr),
              DfErrLookUpSite);
    bad[0] = 3.5;
    EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 1, bad, QOR_DF_HINT_NONE, 1, one, nullptr,
                                             r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr),
              DfErrLookUpSite);
    EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 1, ls.data(), QOR_DF_HINT_NONE, 2, dorder,
                                             nullptr, r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr),
              DfErrLookUpOrders);
    EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 1, ls.data(), QOR_DF_HINT_NONE, 1, zero,
                                             nullptr, r.data(), 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr),
              DfErrLookUpValue);
  }
}

// ---- callbacks, given cells, statuses -----------------------------------------------------------------

struct Calls {
  int64_t left = 0, right = 0, interp = 0;
  int32_t fail_right = 0;
};

int32_t left_cb(int64_t* n, int64_t j, const int64_t* cell, const double* s, double* r, const void* p, int64_t) {
  auto* c = static_cast<Calls*>(const_cast<void*>(p));
  for (int64_t k = 0; k < *n; ++k) {
    EXPECT_LT(s[k], 0.0);
    EXPECT_EQ(cell[k], 0);
    r[2 * k] = -100.0 - double(j);
    r[2 * k + 1] = s[k];
  }
  c->left += *n;
  return 0;
}
int32_t right_cb(int64_t* n, int64_t j, const int64_t*, const double* s, double* r, const void* p, int64_t) {
  auto* c = static_cast<Calls*>(const_cast<void*>(p));
  if (c->fail_right) return c->fail_right;
  for (int64_t k = 0; k < *n; ++k) {
    EXPECT_GT(s[k], 4.0);
    r[2 * k] = 100.0 + double(j);
    r[2 * k + 1] = s[k];
  }
  c->right += *n;
  return 0;
}
int32_t interp_cb(int64_t* n, int64_t j, const int64_t*, const double* s, double* r, const void* p, int64_t) {
  auto* c = static_cast<Calls*>(const_cast<void*>(p));
  for (int64_t k = 0; k < *n; ++k) r[2 * k] = 7.0 * double(j + 1), r[2 * k + 1] = s[k];
  c->interp += *n;
  return 0;
}

TEST(InterpolationCallbacks, ServeTheSitesOutsideAndTheArbitraryKind) {
  std::vector<double> x{0, 1, 2, 4}, y{0, 1, 2, 4, 0, -1, -2, -4}, c(12);
  std::vector<double> s{-2, -0.5, 0.5, 3, 4, 5, 9, 1};
  const int32_t dorder[] = {1, 1};
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), QOR_DF_HINT_NONE, 2, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  Calls calls;
  std::vector<double> r(32);
  ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 8, s.data(), QOR_DF_HINT_NONE, 2, dorder,
                                           nullptr, r.data(), QOR_DF_RESULT_SITE_FUNC_ORDER, nullptr, left_cb, &calls,
                                           right_cb, &calls, interp_cb, &calls, nullptr, nullptr, nullptr),
            DfOk);
  EXPECT_EQ(calls.left, 4);
  EXPECT_EQ(calls.right, 4);
  EXPECT_EQ(calls.interp, 0) << "only the arbitrary kind uses the interpolation callback";
  for (int64_t j = 0; j < 2; ++j) {
    const double sign = j == 0 ? 1.0 : -1.0;
    for (int64_t k = 0; k < 8; ++k) {
      const double* v = &r[(k * 2 + j) * 2];
      if (s[k] < 0) EXPECT_EQ(v[0], -100.0 - double(j));
      else if (s[k] > 4) EXPECT_EQ(v[0], 100.0 + double(j));
      else EXPECT_DOUBLE_EQ(v[0], sign * s[k]);
    }
  }
  calls.fail_right = -77;
  EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 8, s.data(), QOR_DF_HINT_NONE, 2, dorder,
                                           nullptr, r.data(), QOR_DF_RESULT_SITE_FUNC_ORDER, nullptr, left_cb, &calls,
                                           right_cb, &calls, nullptr, nullptr, nullptr, nullptr, nullptr),
            -77);
  // Order 0 with a type that is no step or look-up: the callbacks are the whole spline.
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_NONE, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, nullptr, QOR_DF_HINT_NONE),
            DfOk);
  EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 8, s.data(), QOR_DF_HINT_NONE, 2, dorder,
                                           nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr, left_cb, &calls,
                                           nullptr, nullptr, interp_cb, &calls, nullptr, nullptr, nullptr),
            DfErrType);
  calls = Calls{};
  ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 8, s.data(), QOR_DF_HINT_NONE, 2, dorder,
                                           nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr, left_cb, &calls,
                                           right_cb, &calls, interp_cb, &calls, nullptr, nullptr, nullptr),
            DfOk);
  EXPECT_EQ(calls.interp, 4 * 2);
  EXPECT_EQ(r[2 * 2], 7.0);
  EXPECT_EQ(r[(8 + 2) * 2], 14.0);
}

TEST(Interpolation, GivenCellsAreUsedAndLeftAlone) {
  std::vector<double> x{0, 1, 2}, y{0, 1, 5}, c(4);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 1), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  std::vector<double> s{1.5, 1.5, 0.5};
  std::vector<int64_t> cell{1, 2, 2};  // deliberately not the search's cells for sites 0 and 2
  const int64_t dorder[] = {1};
  std::vector<double> r(3);
  ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_GIVEN_CELLS, 0, 3, s.data(), QOR_DF_HINT_NONE, 1, dorder,
                                           nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, cell.data(), nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfOk);
  EXPECT_EQ(r, (std::vector<double>{1.5, 3.0, -1.0}));
  EXPECT_EQ(cell, (std::vector<int64_t>{1, 2, 2}));
  std::vector<int64_t> found(3, -1);
  ASSERT_EQ(
      qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES | QOR_DF_REQUEST_CELLS, 0, 3, s.data(), QOR_DF_HINT_NONE,
                                     1, dorder, nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, found.data(), nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
      DfOk);
  EXPECT_EQ(found, (std::vector<int64_t>{2, 2, 1}));
  EXPECT_EQ(r, (std::vector<double>{3.0, 3.0, 0.5}));
}

TEST(Interpolation, StatusesInOrderAndNothingWritten) {
  std::vector<double> x{0, 1, 2}, y{0, 1, 5}, c(9);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  double s = 0.5, r = 42.0;
  const int32_t dorder[] = {1};
  double dh[5] = {0, 0.5, 0, 0, 0};
  auto call = [&](double* datahint, int64_t rhint) {
    return qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 1, &s, QOR_DF_HINT_NONE, 1, dorder, datahint, &r,
                                          rhint, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          nullptr, nullptr);
  };
  struct Kind {
    int64_t order, type;
    int32_t status;
  };
  for (const Kind& k : {Kind{1, 0, DfErrType}, Kind{3, 2, DfErrType}, Kind{4, 6, DfErrType}, Kind{4, 1, DfErrType},
                        Kind{0, 0, DfErrType}, Kind{0, 5, DfErrType}}) {
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, k.order, k.type, QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE, nullptr,
                                            c.data(), QOR_DF_HINT_NONE),
              DfOk);
    EXPECT_EQ(call(dh, 64), k.status) << k.order << " " << k.type;
  }
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  EXPECT_EQ(call(dh, 64), DfErrDataHint);
  EXPECT_EQ(call(nullptr, 64), DfErrResultHint);
  EXPECT_EQ(call(nullptr, 1), DfErrResultHint);
  EXPECT_EQ(r, 42.0);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  EXPECT_EQ(call(nullptr, 0), DfOk);
  EXPECT_EQ(r, 0.5);
  EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(nullptr, QOR_DF_REQUEST_VALUES, 0, 1, &s, QOR_DF_HINT_NONE, 1, dorder,
                                           nullptr, &r, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr),
            DfErrNullTask);
}

TEST(Interpolation, ThreadedEqualsSequentialAndAllocationFailures) {
  std::mt19937_64 g(8);
  const int64_t nx = 5000, ny = 3, nsite = qor::test::scaled(100000, 20000);
  std::vector<double> x = qor::test::df::random_partition(nx, g), y(nx * ny), c(2 * (nx - 1) * ny);
  for (auto& v : y) v = std::sin(double(&v - y.data()));
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, ny, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, qor_threading_openmp()), DfOk);
  const std::vector<double> s = sites_around(x, nsite, g);
  const int32_t dorder[] = {1, 1};
  for (int64_t rhint : {16, 512}) {
    std::vector<double> a(nsite * ny * 2), b(a.size());
    std::vector<int32_t> ca(nsite), cb(nsite);
    ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES | QOR_DF_REQUEST_CELLS, 0, nsite, s.data(),
                                             QOR_DF_HINT_NONE, 2, dorder, nullptr, a.data(), rhint, ca.data(), nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             qor_threading_sequential()),
              DfOk);
    ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES | QOR_DF_REQUEST_CELLS, 0, nsite, s.data(),
                                             QOR_DF_HINT_NONE, 2, dorder, nullptr, b.data(), rhint, cb.data(), nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             qor_threading_openmp()),
              DfOk);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(double)), 0);
    EXPECT_EQ(ca, cb);
  }
  std::vector<double> r(100 * ny);
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [&] {
                  return qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 100, s.data(), QOR_DF_HINT_NONE, 1,
                                                        dorder, nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER,
                                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr, qor_threading_openmp());
                },
                DfErrMemory),
            1);
}

// Uniform sites given by their ends, sorted sites and a peak data hint reach other search
// methods; the results must not depend on the route.
TEST(Interpolation, SiteHintsAndDataHintsChangeNothingButTheRoute) {
  std::mt19937_64 g(12);
  const int64_t nx = 300, n = 5000;
  std::vector<double> x = qor::test::df::random_partition(nx, g), y(nx), c(2 * (nx - 1));
  for (auto& v : y) v = std::cos(double(&v - y.data()));
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 1), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  const double ends[2] = {x[0] - 1.0, x[nx - 1] + 1.0};
  std::vector<double> s(n);
  for (int64_t k = 0; k < n; ++k) s[k] = k == n - 1 ? ends[1] : ends[0] + double(k) * ((ends[1] - ends[0]) / double(n - 1));
  auto run = [&](const double* sites, int64_t sitehint, const double* datahint, std::vector<double>* r,
                 std::vector<int64_t>* cell) {
    r->assign(n, 0.0);
    cell->assign(n, -1);
    return qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES | QOR_DF_REQUEST_CELLS, 0, n, sites, sitehint, 0,
                                          nullptr, datahint, r->data(), QOR_DF_RESULT_FUNC_SITE_ORDER, cell->data(),
                                          nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                          qor_threading_openmp());
  };
  std::vector<double> r0, r1;
  std::vector<int64_t> c0, c1;
  ASSERT_EQ(run(s.data(), 0, nullptr, &r0, &c0), DfOk);
  for (int64_t k = 0; k < n; ++k) ASSERT_EQ(c0[k], reference_cell(x, s[k]));
  ASSERT_EQ(run(ends, 4, nullptr, &r1, &c1), DfOk);
  EXPECT_EQ(r0, r1);
  EXPECT_EQ(c0, c1);
  ASSERT_EQ(run(s.data(), 64, nullptr, &r1, &c1), DfOk);
  EXPECT_EQ(r0, r1);
  const double peak[5] = {0, 1, 0, 0, double(nx / 2)};
  ASSERT_EQ(run(s.data(), 0, peak, &r1, &c1), DfOk);
  EXPECT_EQ(r0, r1);
  EXPECT_EQ(c0, c1);
}

// Many requested orders need an order list of their own and a work area too large for the
// stack: two allocation sites even for two sites.
TEST(Interpolation, HighDerivativeOrdersOfAnArbitrarySpline) {
  const int64_t order = 6, nx = 4, nd = 70;
  std::vector<double> x{0, 1, 2, 3}, c(order * (nx - 1));
  for (int64_t i = 0; i < nx - 1; ++i) c[i * order + order - 1] = 1.0;  // t^5 on every piece
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamNy, 1), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, order, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE,
                                          nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  std::vector<int32_t> dorder(nd, 1);
  const double s[] = {2.5, 0.5};
  std::vector<double> r(2 * nd, -1.0);
  ASSERT_EQ(qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 2, s, QOR_DF_HINT_NONE, nd, dorder.data(),
                                           nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfOk);
  // t = 0.5 on both pieces: (t^5)^(k) = 5!/(5-k)! t^(5-k)
  const double want[] = {1.0 / 32, 5.0 / 16, 20.0 / 8, 60.0 / 4, 120.0 / 2, 120.0};
  for (int64_t k = 0; k < 2; ++k)
    for (int64_t d = 0; d < nd; ++d) ASSERT_DOUBLE_EQ(r[k * nd + d], d < 6 ? want[d] : 0.0) << d;
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [&] {
                  return qor_df_kernel_dDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 2, s, QOR_DF_HINT_NONE, nd,
                                                        dorder.data(), nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER,
                                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr, nullptr);
                },
                DfErrMemory),
            2);
}

TEST(Interpolation, SinglePrecisionLinear) {
  std::vector<float> x{0.f, 2.f, 3.f}, y{1.f, 5.f, 2.f}, c(4);
  Task t;
  ASSERT_EQ(qor_df_kernel_sNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_sEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfOk);
  ASSERT_EQ(qor_df_kernel_sDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  std::vector<float> s{-1.f, 1.f, 2.f, 2.5f, 4.f}, r(10);
  const int32_t dorder[] = {1, 1};
  ASSERT_EQ(qor_df_kernel_sDFInterpolate1D(t, QOR_DF_REQUEST_VALUES, 0, 5, s.data(), QOR_DF_HINT_NONE, 2, dorder,
                                           nullptr, r.data(), QOR_DF_RESULT_FUNC_SITE_ORDER, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfOk);
  EXPECT_EQ(r, (std::vector<float>{-1.f, 2.f, 3.f, 2.f, 5.f, -3.f, 3.5f, -3.f, -1.f, -3.f}));
}

}  // namespace
