// Integration of every spline kind. References: closed forms (polynomials a spline reproduces,
// the trapezoid sum of a linear spline), Gauss-Legendre quadrature of the pieces (exact for the
// degrees involved) over the breakpoints or sub-grid points between the limits, and sums of
// step heights times lengths.
#include <cstring>

#include "df_helpers.h"
#include "support/alloc_failure.h"

namespace {

using qor::test::df::Task;

// A task with its arrays (the task keeps their addresses).
struct Spline {
  Task t;
  int64_t nx, ny, order;
  std::vector<double> x, arg, y, c, bc, ic;
  bool uniform;
  Spline(int64_t nx_, int64_t ny_, bool uniform_, std::mt19937_64& g) : nx(nx_), ny(ny_), order(0), uniform(uniform_) {
    x = uniform ? qor::test::df::uniform_breakpoints(-1.0, 3.0, nx) : qor::test::df::random_partition(nx, g, -1.0, 3.0);
    arg = uniform ? std::vector<double>{x[0], x[nx - 1]} : x;
    y.resize(nx * ny);
    std::uniform_real_distribution<double> u(-1, 1);
    for (auto& v : y) v = u(g);
    EXPECT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, arg.data(), uniform ? QOR_DF_HINT_UNIFORM : QOR_DF_HINT_NON_UNIFORM,
                                       ny, y.data(), QOR_DF_STORAGE_ROWS, 0),
              DfOk);
  }
  void edit(int64_t ord, int64_t type, int64_t bcType, int64_t icType = 0) {
    order = ord;
    const int64_t cells = type == QOR_DF_TYPE_SUBBOTIN && ord == 3 ? nx : nx - 1;
    c.assign(std::max<int64_t>(ord, 1) * cells * ny, 0.0);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, ord, type, bcType, bc.empty() ? nullptr : bc.data(), icType,
                                            ic.empty() ? nullptr : ic.data(), ord ? c.data() : nullptr,
                                            QOR_DF_STORAGE_ROWS),
              DfOk);
  }
  int32_t integrate(const std::vector<double>& l, const std::vector<double>& r, std::vector<double>& out,
                    int64_t lhint = 0, int64_t rhint = 0, int64_t nlim = -1, int64_t reshint = 0,
                    const double* ldh = nullptr, const double* rdh = nullptr,
                    const ThreadingServices* ts = qor_threading_sequential()) {
    if (nlim < 0) nlim = static_cast<int64_t>(l.size());
    return qor_df_kernel_dDFIntegrate1D(t, 0, nlim, l.data(), lhint, r.data(), rhint, ldh, rdh, out.data(), reshint,
                                        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, ts);
  }
};

// Integral of the polynomial with coefficients p[0..n-1] in t = s - o, over [a, b], by 4-point
// Gauss-Legendre (exact to degree 7).
long double gauss(const double* p, int64_t n, double o, long double a, long double b) {
  static const long double nodes[4] = {-0.861136311594052575224L, -0.339981043584856264803L,
                                       0.339981043584856264803L, 0.861136311594052575224L};
  static const long double weights[4] = {0.347854845137453857373L, 0.652145154862546142627L,
                                         0.652145154862546142627L, 0.347854845137453857373L};
  long double s = 0;
  for (int q = 0; q < 4; ++q) {
    const long double v = (a + b) / 2 + (b - a) / 2 * nodes[q] - o;
    long double acc = 0;
    for (int64_t k = n - 1; k >= 0; --k) acc = acc * v + p[k];
    s += weights[q] * acc;
  }
  return s * (b - a) / 2;
}

// Reference integral of function j from l to r: pieces with bounds [lo(q), hi(q)] (the first and
// last extended to infinity) and origin x[q].
long double reference(const Spline& s, int64_t j, const std::vector<double>& bounds, int64_t order, double l, double r,
                      bool step) {
  const double a = std::min(l, r), b = std::max(l, r);
  const int64_t np = static_cast<int64_t>(bounds.size()) - 1;  // pieces
  const int64_t stride = step ? 1 : order * np;
  long double sum = 0;
  for (int64_t q = 0; q < np; ++q) {
    const long double lo = q == 0 ? -1e300L : bounds[q];
    const long double hi = q == np - 1 ? 1e300L : bounds[q + 1];
    const long double u = std::max<long double>(a, lo), v = std::min<long double>(b, hi);
    if (!(v > u)) continue;
    const double origin = s.x[std::min<int64_t>(q, s.nx - 1)];
    if (step) sum += (long double)s.y[j * s.nx + q] * (v - u);
    else sum += gauss(&s.c[j * stride + q * order], order, origin, u, v);
  }
  return r < l ? -sum : sum;
}

std::vector<double> random_limits(int64_t n, std::mt19937_64& g, double lo = -2.0, double hi = 4.0) {
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<double> v(n);
  for (auto& e : v) e = u(g);
  return v;
}

// Every kind against the quadrature of its own pieces, limits inside and outside the partition,
// on breakpoints, equal and reversed.
TEST(Integration, EveryKindEqualsTheIntegralOfItsPieces) {
  std::mt19937_64 g(31);
  struct KindCase {
    const char* name;
    int64_t order, type, bcType, icType;
  };
  const KindCase kinds[] = {{"linear", 2, 0, 0, 0},         {"quadratic", 3, 0, 128, 0},
                            {"subbotin", 3, 1, 12, 0},      {"natural", 4, 2, 1, 0},
                            {"akima", 4, 5, 0, 0},          {"hyman", 4, 9, 2, 0},
                            {"arbitrary", 6, 0, 0, 0},      {"step left", 0, 8, 0, 0},
                            {"step right", 0, 7, 0, 0}};
  for (const KindCase& kc : kinds)
    for (bool uniform : {false, true}) {
      SCOPED_TRACE(std::string(kc.name) + (uniform ? " uniform" : " random"));
      Spline s(37, 2, uniform, g);
      s.bc = {0.3, -0.2};
      s.edit(kc.order, kc.type, kc.bcType, kc.icType);
      std::vector<double> bounds = s.x;
      if (kc.type == 1 && kc.order == 3) {  // Subbotin: sub-grid at the cell middles
        ASSERT_EQ(qor_df_kernel_iEditVal(s.t, DfParamIcType, QOR_DF_IC_SUBGRID), DfOk);
        bounds = {s.x[0]};
        for (int64_t i = 1; i < s.nx; ++i) bounds.push_back((s.x[i - 1] + s.x[i]) / 2);
        bounds.push_back(s.x[s.nx - 1]);
      }
      const bool step = kc.order == 0;
      int32_t st = DfOk;
      switch (kc.order) {
        case 2: st = qor_df_kernel_dDFLinearSpline1D(s.t, 0, 0, nullptr); break;
        case 3: st = qor_df_kernel_dDFQuadraticSpline1D(s.t, 0, 0, nullptr); break;
        case 4:
          st = kc.type == 2 ? qor_df_kernel_dDFNaturalCubicSpline1D(s.t, 0, 0, nullptr)
               : kc.type == 5 ? qor_df_kernel_dDFAkimaCubicSpline1D(s.t, 0, 0, nullptr)
                              : qor_df_kernel_dDFHymanCubicSpline1D(s.t, 0, 0, nullptr);
          break;
        case 6:
          for (auto& v : s.c) v = std::uniform_real_distribution<double>(-1, 1)(g);
          break;
      }
      ASSERT_EQ(st, DfOk);
      if (step) bounds.push_back(s.x[s.nx - 1]);  // the last step continues right of x[nx-1]
      std::vector<double> l = random_limits(300, g), r = random_limits(300, g);
      // breakpoints, equal limits, whole partition, reversed whole partition
      l.insert(l.end(), {s.x[0], s.x[3], 1.0, s.x[0], s.x[s.nx - 1], -5.0, s.x[5]});
      r.insert(r.end(), {s.x[s.nx - 1], s.x[10], 1.0, s.x[s.nx - 1], s.x[0], 7.0, s.x[5]});
      std::vector<double> out(l.size() * s.ny, -99.0);
      ASSERT_EQ(s.integrate(l, r, out), DfOk);
      const int64_t order = step ? 1 : kc.order;
      for (int64_t j = 0; j < s.ny; ++j)
        for (size_t k = 0; k < l.size(); ++k) {
          const long double want = reference(s, j, bounds, order, l[k], r[k], step);
          const double mag = 1 + std::fabs(double(want)) + std::fabs(r[k] - l[k]) * 10;
          ASSERT_NEAR(out[j * l.size() + k], double(want), 1e-12 * mag * (order == 6 ? 1e3 : 1))
              << j << " [" << l[k] << ", " << r[k] << "]";
        }
      // Swapping the limits negates exactly; equal limits give 0.
      std::vector<double> swapped(out.size());
      ASSERT_EQ(s.integrate(r, l, swapped), DfOk);
      for (size_t k = 0; k < out.size(); ++k) ASSERT_EQ(swapped[k], -out[k]);
      EXPECT_EQ(out[302], 0.0);
    }
}

// Polynomials the spline reproduces integrate exactly, also on the extended end pieces.
TEST(Integration, ReproducedPolynomialsIntegrateToTheirClosedForm) {
  std::mt19937_64 g(37);
  auto f = [](double v) { return 0.3 - 1.1 * v + 0.45 * v * v - 0.2 * v * v * v; };
  auto F = [](long double v) { return 0.3L * v - 0.55L * v * v + 0.15L * v * v * v - 0.05L * v * v * v * v; };
  for (bool uniform : {false, true}) {
    Spline s(25, 1, uniform, g);
    for (int64_t i = 0; i < s.nx; ++i) s.y[i] = f(s.x[i]);
    s.edit(4, QOR_DF_TYPE_NATURAL, QOR_DF_BC_NOT_A_KNOT);
    ASSERT_EQ(qor_df_kernel_dDFNaturalCubicSpline1D(s.t, 0, 0, nullptr), DfOk);
    std::vector<double> l = random_limits(200, g, -3, 5), r = random_limits(200, g, -3, 5), out(200);
    ASSERT_EQ(s.integrate(l, r, out), DfOk);
    for (int k = 0; k < 200; ++k) EXPECT_NEAR(out[k], double(F(r[k]) - F(l[k])), 1e-9) << l[k] << " " << r[k];
  }
}

// A linear spline over the whole partition is the trapezoid sum of the data.
TEST(Integration, LinearSplineOverThePartitionIsTheTrapezoidSum) {
  std::mt19937_64 g(41);
  for (bool uniform : {false, true}) {
    Spline s(1000, 3, uniform, g);
    s.edit(2, 0, 0);
    ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(s.t, 0, 0, nullptr), DfOk);
    std::vector<double> l{s.x[0]}, r{s.x[s.nx - 1]}, out(3);
    ASSERT_EQ(s.integrate(l, r, out), DfOk);
    for (int64_t j = 0; j < 3; ++j) {
      long double trap = 0;
      for (int64_t i = 0; i + 1 < s.nx; ++i)
        trap += ((long double)s.x[i + 1] - s.x[i]) * ((long double)s.y[j * s.nx + i] + s.y[j * s.nx + i + 1]) / 2;
      EXPECT_NEAR(out[j], double(trap), 1e-12 * s.nx);
    }
  }
}

// Every limit hint, data hint, search callback and result hint gives the same integrals.
TEST(Integration, HintsAndSearchCallbacksGiveTheSameIntegrals) {
  std::mt19937_64 g(43);
  Spline s(60, 2, false, g);
  s.edit(2, 0, 0);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(s.t, 0, 0, nullptr), DfOk);
  const int64_t n = 500;
  std::vector<double> l(n), r = random_limits(n, g), ends{-1.5, 3.5};
  for (int64_t k = 0; k < n; ++k) l[k] = ends[0] + double(k) * ((ends[1] - ends[0]) / double(n - 1));
  l[n - 1] = ends[1];
  std::vector<double> want(n * 2), out(n * 2);
  ASSERT_EQ(s.integrate(l, r, want), DfOk);
  ASSERT_EQ(s.integrate(ends, r, out, QOR_DF_SITES_UNIFORM, 0, n), DfOk);  // uniform left limits
  EXPECT_EQ(out, want);
  ASSERT_EQ(s.integrate(l, r, out, QOR_DF_SITES_SORTED, 0), DfOk);
  EXPECT_EQ(out, want);
  std::vector<double> rs = r;
  std::sort(rs.begin(), rs.end());
  std::vector<double> want2(n * 2);
  ASSERT_EQ(s.integrate(l, rs, want2), DfOk);
  ASSERT_EQ(s.integrate(ends, rs, out, QOR_DF_SITES_UNIFORM, QOR_DF_SITES_SORTED, n), DfOk);
  EXPECT_EQ(out, want2);
  const double hybrid[5] = {0, 0, 0, 0, 0}, peak[5] = {0, 1, 0, 0, 30}, bad[5] = {0, 0.5, 0, 0, 0},
               far[5] = {0, 1, 0, 0, 61};
  ASSERT_EQ(s.integrate(l, r, out, 0, 0, -1, 0, hybrid, peak), DfOk);
  EXPECT_EQ(out, want);
  EXPECT_EQ(s.integrate(l, r, out, 0, 0, -1, 0, bad, nullptr), DfErrDataHint);
  EXPECT_EQ(s.integrate(l, r, out, 0, 0, -1, 0, nullptr, far), DfErrDataHint);
  // right limits sorted: their data hint is not examined
  EXPECT_EQ(s.integrate(l, rs, out, 0, QOR_DF_SITES_SORTED, -1, 0, nullptr, bad), DfOk);
  // result hint 32: per pair, the functions together
  std::vector<double> byp(n * 2);
  ASSERT_EQ(s.integrate(l, r, byp, 0, 0, -1, QOR_DF_STORAGE_COLS), DfOk);
  for (int64_t k = 0; k < n; ++k)
    for (int64_t j = 0; j < 2; ++j) ASSERT_EQ(byp[k * 2 + j], want[j * n + k]);
  for (int64_t h : {16, 128}) {
    ASSERT_EQ(s.integrate(l, r, out, 0, 0, -1, h), DfOk);
    EXPECT_EQ(out, want);
  }
  // A user search callback that guesses cell 0 for every limit (corrected by the library).
  auto guess = [](int64_t* m, const double*, int64_t* cell, int32_t* flag, const void*, int64_t) -> int32_t {
    for (int64_t q = 0; q < *m; ++q) cell[q] = 0, flag[q] = 0;
    return 0;
  };
  std::fill(out.begin(), out.end(), 0.0);
  ASSERT_EQ(qor_df_kernel_dDFIntegrate1D(s.t, 0, n, l.data(), 0, r.data(), 0, bad, bad, out.data(), 0, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, guess, nullptr, qor_threading_sequential()),
            DfOk);
  EXPECT_EQ(out, want);
  auto failing = [](int64_t*, const double*, int64_t*, int32_t*, const void*, int64_t) -> int32_t { return -7; };
  EXPECT_EQ(qor_df_kernel_dDFIntegrate1D(s.t, 0, n, l.data(), 0, r.data(), 0, nullptr, nullptr, out.data(), 0, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, failing, nullptr,
                                         qor_threading_sequential()),
            -7);
}

// The left and right callbacks integrate the parts outside the partition; the interpolation
// callback the inside of the arbitrary kind.
struct Const {
  double value;
  int calls = 0;
};
int32_t const_integral(int64_t* n, int64_t, const double* a, const double* b, double* r, const void* p, int64_t) {
  auto* c = const_cast<Const*>(static_cast<const Const*>(p));
  ++c->calls;
  for (int64_t k = 0; k < *n; ++k) {
    EXPECT_LE(a[k], b[k]);
    r[k] = c->value * (b[k] - a[k]);
  }
  return c->value < 0 ? -3 : 0;
}

TEST(Integration, CallbacksServeThePartsOutsideThePartition) {
  std::mt19937_64 g(47);
  Spline s(20, 1, false, g);
  for (int64_t i = 0; i < s.nx; ++i) s.y[i] = 2.0;  // the constant 2 inside
  s.edit(2, 0, 0);
  ASSERT_EQ(qor_df_kernel_dDFLinearSpline1D(s.t, 0, 0, nullptr), DfOk);
  const double x0 = s.x[0], xl = s.x[s.nx - 1];
  std::vector<double> l{-3, -3, 0, 5, 0, -2}, r{-2, 0, 2, 6, 5, 5}, out(6);
  Const left{10}, right{100};
  ASSERT_EQ(qor_df_kernel_dDFIntegrate1D(s.t, 0, 6, l.data(), 0, r.data(), 0, nullptr, nullptr, out.data(), 0,
                                         const_integral, &left, const_integral, &right, nullptr, nullptr, nullptr,
                                         nullptr, qor_threading_sequential()),
            DfOk);
  auto piecewise = [&](double a, double b) {
    auto part = [](double u, double v) { return v > u ? v - u : 0.0; };
    return 10 * part(a, std::min(b, x0)) + 2 * part(std::max(a, x0), std::min(b, xl)) + 100 * part(std::max(a, xl), b);
  };
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(out[k], piecewise(l[k], r[k]), 1e-12) << k;
  EXPECT_EQ(left.calls, 1);  // one block
  // reversed limits: negated, the callbacks still see a <= b
  ASSERT_EQ(qor_df_kernel_dDFIntegrate1D(s.t, 0, 6, r.data(), 0, l.data(), 0, nullptr, nullptr, out.data(), 0,
                                         const_integral, &left, const_integral, &right, nullptr, nullptr, nullptr,
                                         nullptr, qor_threading_sequential()),
            DfOk);
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(out[k], -piecewise(l[k], r[k]), 1e-12) << k;
  // A negative status stops the integration and is returned.
  Const failing{-1};
  EXPECT_EQ(qor_df_kernel_dDFIntegrate1D(s.t, 0, 6, l.data(), 0, r.data(), 0, nullptr, nullptr, out.data(), 0,
                                         const_integral, &failing, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         nullptr, qor_threading_sequential()),
            -3);
  // Arbitrary kind of order 0: everything from the three callbacks.
  Const inside{7};
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(s.t, 0, QOR_DF_TYPE_DEFAULT, 0, nullptr, 0, nullptr, nullptr, 16), DfOk);
  ASSERT_EQ(qor_df_kernel_dDFIntegrate1D(s.t, 0, 6, l.data(), 0, r.data(), 0, nullptr, nullptr, out.data(), 0,
                                         const_integral, &left, const_integral, &right, const_integral, &inside,
                                         nullptr, nullptr, qor_threading_sequential()),
            DfOk);
  for (int k = 0; k < 6; ++k) {
    const double a = std::min(l[k], r[k]), b = std::max(l[k], r[k]);
    auto part = [](double u, double v) { return v > u ? v - u : 0.0; };
    EXPECT_NEAR(out[k], 10 * part(a, std::min(b, x0)) + 7 * part(std::max(a, x0), std::min(b, xl)) +
                            100 * part(std::max(a, xl), b), 1e-12) << k;
  }
}

TEST(Integration, StatusesInTheirOrder) {
  std::mt19937_64 g(53);
  Spline s(10, 1, false, g);
  s.edit(2, 0, 0);
  std::vector<double> l{0, 1}, r{1, 2}, out(2, 5.0);
  const double bad[5] = {0, 3, 0, 0, 0};
  EXPECT_EQ(qor_df_kernel_dDFIntegrate1D(nullptr, 0, 2, l.data(), 0, r.data(), 0, nullptr, nullptr, out.data(), 0,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfErrNullTask);
  float fl[2] = {0, 1}, fo[2];
  EXPECT_EQ(qor_df_kernel_sDFIntegrate1D(s.t, 0, 2, fl, 0, fl, 0, nullptr, nullptr, fo, 0, nullptr, nullptr, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfErrType);
  // look-up kind, then the data hints, then the result hint
  ASSERT_EQ(qor_df_kernel_iEditVal(s.t, DfParamOrder, 0), DfOk);
  s.t->type = QOR_DF_TYPE_LOOKUP;
  EXPECT_EQ(s.integrate(l, r, out, 0, 0, -1, 64, bad, bad), DfErrType);
  s.t->order = 4;
  s.t->type = 6;
  EXPECT_EQ(s.integrate(l, r, out, 0, 0, -1, 64, bad, bad), DfErrType);
  s.t->order = 2;
  EXPECT_EQ(s.integrate(l, r, out, 0, 0, -1, 64, bad, bad), DfErrDataHint);
  EXPECT_EQ(s.integrate(l, r, out, 0, 0, -1, 64, nullptr, bad), DfErrDataHint);
  EXPECT_EQ(s.integrate(l, r, out, 0, 0, -1, 64), DfErrIntegralHint);
  EXPECT_EQ(out, (std::vector<double>{5.0, 5.0}));
  // A spline without coefficient storage.
  Spline u(10, 1, false, g);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(u.t, 2, 0, 0, nullptr, 0, nullptr, nullptr, 0), DfOk);
  EXPECT_EQ(u.integrate(l, r, out), DfErrNullCoeff);
  EXPECT_EQ(out, (std::vector<double>{5.0, 5.0}));
}

TEST(Integration, ThreadCountsOneAndTwoGiveIdenticalResults) {
  std::mt19937_64 g(59);
  Spline s(3000, 2, false, g);
  s.edit(4, QOR_DF_TYPE_AKIMA, 0);
  ASSERT_EQ(qor_df_kernel_dDFAkimaCubicSpline1D(s.t, 0, 0, nullptr), DfOk);
  const int64_t n = qor::test::scaled(40000, 9000);
  std::vector<double> l = random_limits(n, g), r = random_limits(n, g), one(2 * n), two(2 * n);
  ASSERT_EQ(s.integrate(l, r, one, 0, 0, -1, 0, nullptr, nullptr, qor_threading_sequential()), DfOk);
  ASSERT_EQ(s.integrate(l, r, two, 0, 0, -1, 0, nullptr, nullptr, qor_threading_openmp()), DfOk);
  EXPECT_EQ(std::memcmp(one.data(), two.data(), one.size() * sizeof(double)), 0);
  EXPECT_EQ(qor::test::sweep_allocation_failures(
                [&] { return s.integrate(l, r, two, 0, 0, -1, 0, nullptr, nullptr, qor_threading_openmp()); },
                DfErrMemory),
            1);
}

TEST(Integration, SinglePrecision) {
  std::vector<float> x{0, 1, 2, 4}, y{1, 3, 3, 1}, c(6), l{0, 4, -1, 1.5f}, r{4, 0, 0, 3}, out(4);
  Task t;
  ASSERT_EQ(qor_df_kernel_sNewTask1D(&t.t, 4, x.data(), 0, 1, y.data(), 0, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_sEditPPSpline1D(t, 2, 0, 0, nullptr, 0, nullptr, c.data(), 0), DfOk);
  ASSERT_EQ(qor_df_kernel_sDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  ASSERT_EQ(qor_df_kernel_sDFIntegrate1D(t, 0, 4, l.data(), 0, r.data(), 0, nullptr, nullptr, out.data(), 0, nullptr,
                                         nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfOk);
  // trapezoids 2 + 3 + 4 = 9; [-1, 0] on the first piece extended: 1 - 2 + ... = (-1 + 1) / 2 = 0;
  // [1.5, 3]: 3 * 0.5 + (3 + 2) / 2 * 1 = 4
  EXPECT_EQ(out, (std::vector<float>{9, -9, 0, 4}));
}

}  // namespace
