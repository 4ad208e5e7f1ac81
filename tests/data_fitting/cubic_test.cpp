// Cubic spline construction: natural, default, Hermite, Bessel, Akima and Hyman.
//
// The coefficients are compared with an independent computation: cubic_oracle.py, run once per
// test program through /usr/bin/python3 with scipy (CubicSpline, Akima1DInterpolator,
// CubicHermiteSpline; see the script). The test fails, naming the missing package, when python3
// or scipy is not installed (scripts/install-deps.sh installs python3-scipy). Closed forms and
// hand-worked cases cover what needs no oracle.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include <unistd.h>

#include "df_helpers.h"
#include "support/alloc_failure.h"

namespace {

using qor::test::df::Task;

using Build = int32_t (*)(DfTask1D*, int64_t, int64_t, const ThreadingServices*);
using BuildS = int32_t (*)(DfTask1D*, int64_t, int64_t, const ThreadingServices*);

struct Type {
  const char* name;
  int64_t type;
  Build d;
  BuildS s;
  const char* oracle;  // kind of oracle computation
};
const Type kNatural{"natural", QOR_DF_TYPE_NATURAL, qor_df_kernel_dDFNaturalCubicSpline1D,
                    qor_df_kernel_sDFNaturalCubicSpline1D, "system"};
const Type kDefault{"default", QOR_DF_TYPE_DEFAULT, qor_df_kernel_dDFDefaultCubicSpline1D,
                    qor_df_kernel_sDFDefaultCubicSpline1D, "system"};
const Type kHermite{"hermite", QOR_DF_TYPE_HERMITE, qor_df_kernel_dDFHermiteCubicSpline1D,
                    qor_df_kernel_sDFHermiteCubicSpline1D, "hermite"};
const Type kBessel{"bessel", QOR_DF_TYPE_BESSEL, qor_df_kernel_dDFBesselCubicSpline1D,
                   qor_df_kernel_sDFBesselCubicSpline1D, "bessel"};
const Type kAkima{"akima", QOR_DF_TYPE_AKIMA, qor_df_kernel_dDFAkimaCubicSpline1D,
                  qor_df_kernel_sDFAkimaCubicSpline1D, "akima"};
const Type kHyman{"hyman", QOR_DF_TYPE_HYMAN, qor_df_kernel_dDFHymanCubicSpline1D,
                  qor_df_kernel_sDFHymanCubicSpline1D, "hyman"};
const Type* const kTypes[] = {&kNatural, &kDefault, &kHermite, &kBessel, &kAkima, &kHyman};

const int64_t kBcTypes[] = {QOR_DF_BC_NOT_A_KNOT, QOR_DF_BC_FREE_END, 12, 36, 24, 48, QOR_DF_BC_PERIODIC};

// One construction: partition, ny functions (rows or columns), conditions, and the coefficients.
struct Case {
  const Type* type;
  int64_t bcType;
  int64_t nx, ny;
  bool uniform, cols;
  std::vector<double> x, y, bc, ic, c;
  std::vector<double> arg;  // what the task is given as x (it keeps the address)
  double yv(int64_t j, int64_t i) const { return cols ? y[i * ny + j] : y[j * nx + i]; }
};

Case make_case(const Type* type, int64_t bcType, int64_t nx, int64_t ny, bool uniform, bool cols, std::mt19937_64& g) {
  Case k{type, bcType, nx, ny, uniform, cols, {}, {}, {}, {}, {}, {}};
  k.x = uniform ? qor::test::df::uniform_breakpoints(-1.5, 2.25, nx) : qor::test::df::random_partition(nx, g);
  std::uniform_real_distribution<double> u(-1, 1);
  k.y.resize(nx * ny);
  for (auto& v : k.y) v = u(g);
  if (bcType == QOR_DF_BC_PERIODIC)
    for (int64_t j = 0; j < ny; ++j) (cols ? k.y[(nx - 1) * ny + j] : k.y[j * nx + nx - 1]) = k.yv(j, 0);
  k.bc = {u(g) * 2, u(g) * 2};
  if (type == &kHermite)
    for (int64_t i = 1; i + 1 < nx; ++i) k.ic.push_back(u(g) * 3);
  return k;
}

// Makes the case's task (coefficients into k.c).
void prepare(Case& k, Task& t) {
  k.arg = k.uniform ? std::vector<double>{k.x[0], k.x[k.nx - 1]} : k.x;
  EXPECT_EQ(qor_df_kernel_dNewTask1D(&t.t, k.nx, k.arg.data(), k.uniform ? QOR_DF_HINT_UNIFORM : QOR_DF_HINT_NON_UNIFORM,
                                     k.ny, k.y.data(), k.cols ? QOR_DF_STORAGE_COLS : QOR_DF_STORAGE_ROWS, 0),
            DfOk);
  k.c.assign(4 * (k.nx - 1) * k.ny, -777.0);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_CUBIC, k.type->type, k.bcType, k.bc.data(),
                                          k.ic.empty() ? QOR_DF_IC_NONE : QOR_DF_IC_1ST_DER,
                                          k.ic.empty() ? nullptr : k.ic.data(), k.c.data(), QOR_DF_STORAGE_ROWS),
            DfOk);
}

// Builds the case with the library: the status.
int32_t build(Case& k, const ThreadingServices* ts = qor_threading_sequential()) {
  Task t;
  prepare(k, t);
  return k.type->d(t, 0, 0, ts);
}

// ---- the oracle ----------------------------------------------------------------------------------

// Runs cubic_oracle.py on the cases; one coefficient vector per case (empty, with a test failure,
// when the oracle could not compute it).
std::vector<std::vector<double>> oracle(const std::vector<const Case*>& cases) {
  char in[] = "/tmp/qor_cubic_in_XXXXXX";
  char out[] = "/tmp/qor_cubic_out_XXXXXX";
  const int fi = mkstemp(in), fo = mkstemp(out);
  EXPECT_TRUE(fi >= 0 && fo >= 0);
  close(fi);
  close(fo);
  {
    std::ofstream f(in);
    f.precision(17);
    f << cases.size() << "\n";
    for (const Case* k : cases) {
      f << k->type->oracle << " " << k->bcType << " " << k->nx << " " << k->ny << "\n";
      for (double v : k->x) f << v << " ";
      f << "\n";
      for (int64_t j = 0; j < k->ny; ++j) {
        for (int64_t i = 0; i < k->nx; ++i) f << k->yv(j, i) << " ";
        f << "\n";
      }
      f << k->bc[0] << " " << k->bc[1] << "\n";
      for (double v : k->ic) f << v << " ";
      f << "\n";
    }
  }
  const std::string cmd = std::string("/usr/bin/python3 ") + QOR_DF_TEST_DIR + "/cubic_oracle.py " + in + " " + out +
                          " > " + out + ".log 2>&1";
  const int rc = std::system(cmd.c_str());
  std::vector<std::vector<double>> res(cases.size());
  if (rc != 0) {
    std::ifstream log(std::string(out) + ".log");
    std::stringstream msg;
    msg << log.rdbuf();
    ADD_FAILURE() << "the scipy oracle did not run (" << cmd << ", status " << rc << "): " << msg.str();
  } else {
    std::ifstream f(out);
    std::string line;
    for (size_t q = 0; q < cases.size() && std::getline(f, line); ++q) {
      if (line.rfind("error", 0) == 0) {
        ADD_FAILURE() << "oracle: " << line << " (" << cases[q]->type->name << ", bc " << cases[q]->bcType << ", nx "
                      << cases[q]->nx << ")";
        continue;
      }
      std::istringstream s(line);
      double v;
      while (s >> v) res[q].push_back(v);
    }
  }
  std::remove(in);
  std::remove(out);
  std::remove((std::string(out) + ".log").c_str());
  return res;
}

// Per cell, c_k h^k agrees with the oracle to rel times the cell's scale (its largest c_k h^k).
void expect_coefficients(const Case& k, const std::vector<double>& ref, double rel) {
  ASSERT_EQ(ref.size(), k.c.size()) << k.type->name << " bc " << k.bcType << " nx " << k.nx;
  for (int64_t j = 0; j < k.ny; ++j)
    for (int64_t i = 0; i + 1 < k.nx; ++i) {
      const double h = k.x[i + 1] - k.x[i];
      const size_t o = static_cast<size_t>((j * (k.nx - 1) + i) * 4);
      double scale = 0, hk = 1;
      for (int q = 0; q < 4; ++q, hk *= h) scale = std::max(scale, std::fabs(ref[o + q]) * hk);
      hk = 1;
      for (int q = 0; q < 4; ++q, hk *= h)
        ASSERT_LE(std::fabs(k.c[o + q] - ref[o + q]) * hk, rel * scale)
            << k.type->name << " bc " << k.bcType << " nx " << k.nx << (k.uniform ? " uniform" : " random")
            << (k.cols ? " cols" : " rows") << " function " << j << " cell " << i << " c" << q << ": " << k.c[o + q]
            << " vs " << ref[o + q];
    }
}

TEST(CubicSpline, EveryTypeAndConditionEqualsTheScipyComputation) {
  std::mt19937_64 g(19);
  std::vector<Case> cases;
  for (const Type* type : kTypes) {
    std::vector<int64_t> bcs(std::begin(kBcTypes), std::end(kBcTypes));
    if (type == &kAkima) bcs.push_back(QOR_DF_BC_NONE);
    for (int64_t bc : bcs)
      for (int shape = 0; shape < 4; ++shape)
        for (int64_t nx : {2, 3, 4, 5, 6, 9, 40, 700}) {
          const int64_t minimum = type == &kAkima ? 5 : type == &kBessel || type == &kHyman ? 4 :
                                  type == &kNatural && bc != QOR_DF_BC_NOT_A_KNOT ? 2 : 3;
          if (nx < minimum || (nx == 700 && shape != 1)) continue;
          cases.push_back(make_case(type, bc, nx, nx == 700 ? 2 : 3, shape & 1, shape & 2, g));
        }
  }
  std::vector<const Case*> ptrs;
  for (Case& k : cases) {
    ASSERT_EQ(build(k), DfOk) << k.type->name << " bc " << k.bcType << " nx " << k.nx;
    ptrs.push_back(&k);
  }
  const auto ref = oracle(ptrs);
  // Akima's weights are differences of divided differences: their cancellation makes its
  // coefficients an order of magnitude more sensitive to rounding than the other types'.
  for (size_t q = 0; q < cases.size(); ++q)
    if (!ref[q].empty()) expect_coefficients(cases[q], ref[q], cases[q].type == &kAkima ? 1e-11 : 1e-12);
}

// ---- closed forms and hand-worked cases ---------------------------------------------------------

double cubic(double v) { return 0.3 - 1.1 * v + 0.45 * v * v - 0.2 * v * v * v; }
double dcubic(double v) { return -1.1 + 0.9 * v - 0.6 * v * v; }
double ddcubic(double v) { return 0.9 - 1.2 * v; }

// Splines that must reproduce a polynomial: not-a-knot and exact end derivatives reproduce a cubic
// (natural and default types), a quadratic (Bessel, Hyman on a monotone stretch) and a given
// cubic's slopes (Hermite).
TEST(CubicSpline, ReproducesThePolynomialsItCan) {
  std::mt19937_64 g(5);
  for (const Type* type : {&kNatural, &kDefault, &kHermite, &kBessel}) {
    for (int64_t bc : {int64_t(QOR_DF_BC_NOT_A_KNOT), int64_t(12), int64_t(36), int64_t(24), int64_t(48)}) {
      for (bool uniform : {false, true}) {
        Case k = make_case(type, bc, 30, 1, uniform, false, g);
        const bool quad = type == &kBessel;
        auto f = [&](double v) { return quad ? 0.3 - 1.1 * v + 0.45 * v * v : cubic(v); };
        auto df = [&](double v) { return quad ? -1.1 + 0.9 * v : dcubic(v); };
        auto ddf = [&](double v) { return quad ? 0.9 : ddcubic(v); };
        for (int64_t i = 0; i < k.nx; ++i) k.y[i] = f(k.x[i]);
        const double a = k.x[0], b = k.x[k.nx - 1];
        k.bc = {(bc & QOR_DF_BC_LEFT_2ND) ? ddf(a) : df(a), (bc & QOR_DF_BC_RIGHT_2ND) ? ddf(b) : df(b)};
        for (int64_t i = 1; i + 1 < k.nx && type == &kHermite; ++i) k.ic[i - 1] = df(k.x[i]);
        ASSERT_EQ(build(k), DfOk);
        for (int64_t i = 0; i + 1 < k.nx; ++i) {
          const double xi = k.x[i];
          EXPECT_NEAR(k.c[4 * i + 1], df(xi), 1e-10) << type->name << " bc " << bc << " cell " << i;
          EXPECT_NEAR(k.c[4 * i + 2], ddf(xi) / 2, 1e-8) << type->name << " bc " << bc << " cell " << i;
          EXPECT_NEAR(k.c[4 * i + 3], quad ? 0.0 : -0.2, 1e-6) << type->name << " bc " << bc << " cell " << i;
        }
      }
    }
  }
}

TEST(CubicSpline, HandWorkedSmallCases) {
  // Natural, two points, free ends: the straight line.
  {
    std::vector<double> x{1, 3}, y{2, 7}, c(4);
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 2, x.data(), 0, 1, y.data(), 0, 0), DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, 4, QOR_DF_TYPE_NATURAL, QOR_DF_BC_FREE_END, nullptr, 0, nullptr,
                                            c.data(), 0),
              DfOk);
    ASSERT_EQ(qor_df_kernel_dDFNaturalCubicSpline1D(t, 0, 0, nullptr), DfOk);
    EXPECT_EQ(c, (std::vector<double>{2, 2.5, 0, 0}));
  }
  // Free ends on 0, 1, 2 through 0, 1, 0: slopes 3/2, 0, -3/2 (2 d0 + d1 = 3, d0 + 4 d1 + d2 = 0).
  // Cell 0: t (3/2 - t^2/2); cell 1: 1 - 3 t^2 / 2 + t^3 / 2.
  {
    std::vector<double> x{0, 1, 2}, y{0, 1, 0}, c(8);
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), 0, 1, y.data(), 0, 0), DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, 4, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_FREE_END, nullptr, 0, nullptr,
                                            c.data(), 0),
              DfOk);
    ASSERT_EQ(qor_df_kernel_dDFDefaultCubicSpline1D(t, 0, 0, nullptr), DfOk);
    const std::vector<double> want{0, 1.5, 0, -0.5, 1, 0, -1.5, 0.5};
    for (int q = 0; q < 8; ++q) EXPECT_NEAR(c[q], want[q], 1e-15) << q;
  }
  // Bessel on 0, 1, 3, 4 through 0, 1, 0, 2 with first derivatives 1 and -1:
  // d1 = (2 * 1 + 1 * (-1/2)) / 3 = 1/2, d2 = (1 * (-1/2) + 2 * 2) / 3 = 7/6.
  // Cell 1 (h = 2, m = -1/2): c2 = (-3/2 - 1 - 7/6) / 2 = -11/6, c3 = (1/2 + 7/6 + 1) / 4 = 2/3.
  {
    std::vector<double> x{0, 1, 3, 4}, y{0, 1, 0, 2}, bc{1, -1}, c(12);
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), 0, 1, y.data(), 0, 0), DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, 4, QOR_DF_TYPE_BESSEL, 12, bc.data(), 0, nullptr, c.data(), 0), DfOk);
    ASSERT_EQ(qor_df_kernel_dDFBesselCubicSpline1D(t, 0, 0, nullptr), DfOk);
    EXPECT_NEAR(c[1], 1, 1e-15);
    EXPECT_NEAR(c[5], 0.5, 1e-15);
    EXPECT_NEAR(c[9], 7.0 / 6, 1e-15);
    EXPECT_NEAR(c[6], -11.0 / 6, 1e-15);
    EXPECT_NEAR(c[7], 2.0 / 3, 1e-15);
  }
  // Hermite on 0, 1, 2 through 0, 1, 0 with slope 2 at x = 1 and free ends:
  // d0 = 3/2 - 1 = 1/2, d2 = -3/2 - 1 = -5/2.
  {
    std::vector<double> x{0, 1, 2}, y{0, 1, 0}, ic{2}, c(8);
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), 0, 1, y.data(), 0, 0), DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, 4, QOR_DF_TYPE_HERMITE, QOR_DF_BC_FREE_END, nullptr, QOR_DF_IC_1ST_DER,
                                            ic.data(), c.data(), 0),
              DfOk);
    ASSERT_EQ(qor_df_kernel_dDFHermiteCubicSpline1D(t, 0, 0, nullptr), DfOk);
    EXPECT_EQ(c[1], 0.5);
    EXPECT_EQ(c[5], 2.0);
    // right end: the cell's second derivative 2 c2 + 6 c3 is 0 at t = 1
    EXPECT_NEAR(2 * c[6] + 6 * c[7], 0.0, 1e-15);
  }
  // Akima with no condition on 0..4 through 0, 0, 1, 1, 1: m = 0, 1, 0, 0.
  // d0 = (3 m0 - m1) / 2 = -1/2; d1: a = |m2 - m1| = 1, b = |m1 - m0| = 1 -> 1/2; d2: a = 0, b = 1 -> m2 = 0;
  // d3: a = |m2 - m3| (the missing difference) = 0, b = |m1 - m0| ... = 1 -> 0; d4 = (3 m3 - m2) / 2 = 0.
  {
    std::vector<double> x{0, 1, 2, 3, 4}, y{0, 0, 1, 1, 1}, c(16);
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 5, x.data(), 0, 1, y.data(), 0, 0), DfOk);
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, 4, QOR_DF_TYPE_AKIMA, QOR_DF_BC_NONE, nullptr, 0, nullptr, c.data(), 0),
              DfOk);
    ASSERT_EQ(qor_df_kernel_dDFAkimaCubicSpline1D(t, 0, 0, nullptr), DfOk);
    EXPECT_EQ(c[1], -0.5);
    EXPECT_EQ(c[5], 0.5);
    EXPECT_EQ(c[9], 0.0);
    EXPECT_EQ(c[13], 0.0);
    EXPECT_EQ(c[12] + c[13] + c[14] + c[15], 1.0);
  }
}

// Evaluates piece i of function j at t.
double piece(const Case& k, int64_t j, int64_t i, double t, int der = 0) {
  const double* p = &k.c[(j * (k.nx - 1) + i) * 4];
  if (der == 1) return p[1] + t * (2 * p[2] + 3 * t * p[3]);
  if (der == 2) return 2 * p[2] + 6 * t * p[3];
  return p[0] + t * (p[1] + t * (p[2] + t * p[3]));
}

// Every piece takes y at both ends; the slope is continuous for every type and the second
// derivative for the natural and default types; periodic splines join their ends.
TEST(CubicSpline, PiecesInterpolateAndJoinAsTheTypePromises) {
  std::mt19937_64 g(7);
  for (const Type* type : kTypes)
    for (int64_t bc : kBcTypes)
      for (bool uniform : {false, true}) {
        Case k = make_case(type, bc, 64, 2, uniform, true, g);
        ASSERT_EQ(build(k), DfOk);
        for (int64_t j = 0; j < k.ny; ++j) {
          double mag = 1;
          for (double v : k.c) mag = std::max(mag, std::fabs(v));
          const double tol = 1e-12 * mag;
          for (int64_t i = 0; i + 1 < k.nx; ++i) {
            const double h = k.x[i + 1] - k.x[i];
            EXPECT_EQ(piece(k, j, i, 0), k.yv(j, i));
            EXPECT_NEAR(piece(k, j, i, h), k.yv(j, i + 1), tol) << type->name << " " << bc << " cell " << i;
            if (i + 2 < k.nx) {
              EXPECT_NEAR(piece(k, j, i, h, 1), piece(k, j, i + 1, 0, 1), tol) << type->name << " " << bc << " " << i;
              if (type == &kNatural || type == &kDefault) {
                EXPECT_NEAR(piece(k, j, i, h, 2), piece(k, j, i + 1, 0, 2), 1e-9 * mag) << type->name << " " << i;
              }
            }
          }
          const double hl = k.x[k.nx - 1] - k.x[k.nx - 2];
          if (bc == QOR_DF_BC_PERIODIC) {
            EXPECT_NEAR(piece(k, j, 0, 0, 1), piece(k, j, k.nx - 2, hl, 1), tol) << type->name;
            if (type == &kNatural || type == &kDefault) {
              EXPECT_NEAR(piece(k, j, 0, 0, 2), piece(k, j, k.nx - 2, hl, 2), 1e-9 * mag) << type->name;
            }
          }
        }
      }
}

// Hyman keeps monotone data monotone (as scipy's PchipInterpolator does) where the natural spline
// overshoots; every slope lies between 0 and three times the smaller neighbouring difference.
TEST(CubicSpline, HymanKeepsMonotoneDataMonotone) {
  std::mt19937_64 g(11);
  std::vector<double> x{0, 1, 2, 3, 4, 5, 6, 7}, y{0, 0, 0.1, 5, 5.05, 5.1, 9, 9};
  for (int64_t bc : kBcTypes) {
    if (bc == QOR_DF_BC_PERIODIC) continue;
    for (const Type* type : {&kHyman, &kNatural}) {
      Case k{type, bc, 8, 1, false, false, x, y, {0, 0}, {}, {}, {}};
      ASSERT_EQ(build(k), DfOk);
      bool monotone = true;
      for (int64_t i = 0; i + 1 < k.nx; ++i)
        for (int s = 0; s <= 50; ++s) monotone &= piece(k, 0, i, s / 50.0, 1) >= -1e-14;
      if (type == &kHyman) {
        EXPECT_TRUE(monotone) << bc;
        for (int64_t i = 1; i + 1 < k.nx; ++i) {
          const double ml = y[i] - y[i - 1], mr = y[i + 1] - y[i], d = k.c[4 * i + 1];
          EXPECT_GE(d, 0.0);
          EXPECT_LE(d, 3 * std::min(ml, mr) + 1e-15) << i;
        }
      } else if (bc == QOR_DF_BC_FREE_END) {
        EXPECT_FALSE(monotone);  // the data are chosen so that the C2 spline overshoots
      }
    }
  }
  // A local extremum gets slope 0.
  Case k{&kHyman, QOR_DF_BC_FREE_END, 5, 1, false, false, {0, 1, 2, 3, 4}, {0, 2, 1, 3, 4}, {0, 0}, {}, {}, {}};
  ASSERT_EQ(build(k), DfOk);
  EXPECT_EQ(k.c[5], 0.0);
  EXPECT_EQ(k.c[9], 0.0);
  EXPECT_EQ(k.c[13], 1.5);  // (2 + 1) / 2, below 3 min(2, 1)
  (void)g;
}

// ---- statuses, allocation failure, threads, single precision ----------------------------------

TEST(CubicSpline, StatusesInTheirOrderAndNothingWritten) {
  std::vector<double> x{0, 1, 2, 3, 4}, y{1, 2, 0, 1, 3}, bc{0.5, 1}, ic{1, 2, 3}, c(16, 7.0);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 5, x.data(), 0, 1, y.data(), 0, 0), DfOk);
  auto edit = [&](int64_t type, int64_t bcType, const double* b, const double* icp) {
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, 4, type, bcType, b, icp ? QOR_DF_IC_1ST_DER : 0, icp, c.data(), 0),
              DfOk);
  };
  for (const Type* type : kTypes) {
    SCOPED_TRACE(type->name);
    EXPECT_EQ(type->d(nullptr, 0, 0, nullptr), DfErrNullTask);
    EXPECT_EQ(type->s(t, 0, 0, nullptr), DfErrType);  // a double task
    edit(type->type, QOR_DF_BC_FREE_END, nullptr, type == &kHermite ? ic.data() : nullptr);
    // too few breakpoints for the type comes before the storage hint, then the boundary type
    const int64_t minimum = type == &kAkima ? 5 : type == &kBessel || type == &kHyman ? 4 : type == &kNatural ? 2 : 3;
    t->nx = minimum - 1;
    t->yhint = 3;
    EXPECT_EQ(type->d(t, 0, 0, nullptr), DfErrNx);
    t->nx = 5;
    EXPECT_EQ(type->d(t, 0, 0, nullptr), DfErrYHint);
    t->yhint = QOR_DF_STORAGE_ROWS;
    for (int64_t bad : {int64_t(3), int64_t(4), int64_t(16), int64_t(96), int64_t(128), int64_t(-12), INT64_MAX}) {
      t->bcType = bad;
      EXPECT_EQ(type->d(t, 0, 0, nullptr), DfErrBcType) << bad;
    }
    t->bcType = QOR_DF_BC_NONE;
    EXPECT_EQ(type->d(t, 0, 0, nullptr), type == &kAkima ? DfOk : DfErrBcType);
    std::fill(c.begin(), c.end(), 7.0);
    for (int64_t pair : {12, 36, 24, 48}) {
      edit(type->type, QOR_DF_BC_FREE_END, nullptr, type == &kHermite ? ic.data() : nullptr);
      t->bcType = pair;
      EXPECT_EQ(type->d(t, 0, 0, nullptr), DfErrNullBc) << pair;
    }
    t->bcType = QOR_DF_BC_PERIODIC;
    const bool needs_bc = type == &kDefault || type == &kHermite;
    EXPECT_EQ(type->d(t, 0, 0, nullptr), needs_bc ? DfErrNullBc : DfErrPeriodic);
    edit(type->type, QOR_DF_BC_PERIODIC, bc.data(), type == &kHermite ? ic.data() : nullptr);
    EXPECT_EQ(type->d(t, 0, 0, nullptr), DfErrPeriodic);  // y[0] = 1, y[4] = 3
    EXPECT_TRUE(std::all_of(c.begin(), c.end(), [](double v) { return v == 7.0; }));
    if (type == &kNatural) {
      EXPECT_EQ(type->d(t, 0, 1, nullptr), DfErrMethod);
    }
    if (type == &kHermite) {
      t->ic = nullptr;
      t->icType = 0;
      EXPECT_EQ(type->d(t, 0, 0, nullptr), DfErrNullIc);
    }
  }
  // Natural with not-a-knot needs 3 breakpoints, with other conditions 2.
  edit(QOR_DF_TYPE_NATURAL, QOR_DF_BC_NOT_A_KNOT, nullptr, nullptr);
  t->nx = 2;
  EXPECT_EQ(qor_df_kernel_dDFNaturalCubicSpline1D(t, 0, 0, nullptr), DfErrNx);
  t->bcType = QOR_DF_BC_FREE_END;
  EXPECT_EQ(qor_df_kernel_dDFNaturalCubicSpline1D(t, 0, 0, nullptr), DfOk);
  // Periodic with y[0] = y[nx-1] but another function differing; NaN never matches.
  std::vector<double> y2{1, 2, 0, 1, 1, 5, 0, 0, 0, std::nan("")};
  Task u;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&u.t, 5, x.data(), 0, 2, y2.data(), 0, 0), DfOk);
  std::vector<double> c2(32, 7.0);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(u, 4, QOR_DF_TYPE_BESSEL, QOR_DF_BC_PERIODIC, nullptr, 0, nullptr, c2.data(),
                                          0),
            DfOk);
  EXPECT_EQ(qor_df_kernel_dDFBesselCubicSpline1D(u, 0, 0, nullptr), DfErrPeriodic);
  EXPECT_TRUE(std::all_of(c2.begin(), c2.end(), [](double v) { return v == 7.0; }));
  // Missing coefficient storage.
  Task w;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&w.t, 5, x.data(), 0, 2, y2.data(), 0, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(w, 4, QOR_DF_TYPE_BESSEL, QOR_DF_BC_FREE_END, nullptr, 0, nullptr, nullptr,
                                          0),
            DfOk);
  EXPECT_EQ(qor_df_kernel_dDFBesselCubicSpline1D(w, 0, 0, nullptr), DfErrNullCoeff);
}

// Three equal breakpoints with derivatives given at the ends make a zero pivot: the solver's
// failure is reported.
TEST(CubicSpline, SingularSystemIsTheSolverStatus) {
  std::vector<double> x{0, 0, 0, 1}, y{0, 0, 0, 1}, bc{0, 0}, c(12);
  for (const Type* type : {&kNatural, &kDefault}) {
    for (int64_t ny : {1, 2}) {
      std::vector<double> yy(4 * ny, 0.0);
      Task t;
      ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), 0, ny, yy.data(), 0, 0), DfOk);
      std::vector<double> cc(12 * ny);
      ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, 4, type->type, 12, bc.data(), 0, nullptr, cc.data(), 0), DfOk);
      EXPECT_EQ(type->d(t, 0, 0, nullptr), DfErrSolver) << type->name << " " << ny;
    }
  }
}

TEST(CubicSpline, AllocationFailureAtEverySite) {
  std::mt19937_64 g(13);
  for (const Type* type : kTypes)
    for (int64_t bc : {int64_t(QOR_DF_BC_FREE_END), int64_t(QOR_DF_BC_PERIODIC)})
      for (int64_t ny : {1, 3}) {
        Case k = make_case(type, bc, 700, ny, false, false, g);
        Task t;
        prepare(k, t);
        for (const ThreadingServices* ts : {qor_threading_sequential(), qor_threading_openmp()}) {
          const int sites = qor::test::sweep_allocation_failures([&] { return k.type->d(t, 0, 0, ts); }, DfErrMemory);
          EXPECT_EQ(sites, 1) << type->name << " bc " << bc << " ny " << ny;
        }
      }
}

TEST(CubicSpline, ThreadCountsOneAndTwoGiveIdenticalCoefficients) {
  std::mt19937_64 g(17);
  const int64_t nx = qor::test::scaled(6000, 2100);
  for (const Type* type : kTypes)
    for (int64_t bc : {int64_t(QOR_DF_BC_NOT_A_KNOT), int64_t(QOR_DF_BC_PERIODIC), int64_t(24)})
      for (bool cols : {false, true}) {
        Case k = make_case(type, bc, nx, 9, cols, cols, g);
        ASSERT_EQ(build(k, qor_threading_sequential()), DfOk);
        const std::vector<double> one = k.c;
        ASSERT_EQ(build(k, qor_threading_openmp()), DfOk);
        EXPECT_EQ(std::memcmp(one.data(), k.c.data(), one.size() * sizeof(double)), 0) << type->name << " " << bc;
        // and each function alone gives what it gets among others
        Case single = k;
        single.ny = 1;
        single.cols = false;
        single.y.resize(nx);
        for (int64_t i = 0; i < nx; ++i) single.y[i] = k.yv(8, i);
        ASSERT_EQ(build(single), DfOk);
        EXPECT_EQ(std::memcmp(single.c.data(), one.data() + 8 * 4 * (nx - 1), single.c.size() * sizeof(double)), 0)
            << type->name << " " << bc;
      }
}

TEST(CubicSpline, SinglePrecisionAgreesWithDouble) {
  std::mt19937_64 g(23);
  for (const Type* type : kTypes)
    for (int64_t bc : kBcTypes) {
      Case k = make_case(type, bc, 50, 2, bc == 12, bc == 24, g);
      for (auto& v : k.x) v = float(v);
      for (auto& v : k.y) v = float(v);
      for (auto& v : k.bc) v = float(v);
      for (auto& v : k.ic) v = float(v);
      ASSERT_EQ(build(k), DfOk);
      std::vector<float> xf(k.x.begin(), k.x.end()), yf(k.y.begin(), k.y.end()), bf(k.bc.begin(), k.bc.end()),
          icf(k.ic.begin(), k.ic.end()), cf(k.c.size());
      if (k.uniform) xf = {xf[0], xf[k.nx - 1]};
      Task t;
      ASSERT_EQ(qor_df_kernel_sNewTask1D(&t.t, k.nx, xf.data(), k.uniform ? QOR_DF_HINT_UNIFORM : 0, k.ny, yf.data(),
                                         k.cols ? QOR_DF_STORAGE_COLS : QOR_DF_STORAGE_ROWS, 0),
                DfOk);
      ASSERT_EQ(qor_df_kernel_sEditPPSpline1D(t, 4, type->type, bc, bf.data(), icf.empty() ? 0 : QOR_DF_IC_1ST_DER,
                                              icf.empty() ? nullptr : icf.data(), cf.data(), 0),
                DfOk);
      ASSERT_EQ(type->s(t, 0, 0, qor_threading_openmp()), DfOk);
      for (size_t q = 0; q < cf.size(); q += 4) {
        const double h = k.x[q / 4 % (k.nx - 1) + 1] - k.x[q / 4 % (k.nx - 1)];
        double scale = 1, hk = 1;
        for (int r = 0; r < 4; ++r, hk *= h) scale = std::max(scale, std::fabs(k.c[q + r]) * hk);
        hk = 1;
        for (int r = 0; r < 4; ++r, hk *= h)
          ASSERT_LE(std::fabs(cf[q + r] - k.c[q + r]) * hk, 2e-4 * scale) << type->name << " " << bc << " " << q;
      }
    }
}

}  // namespace
