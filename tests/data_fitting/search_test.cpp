// Cell search: every method against std::upper_bound with the documented convention.
#include <atomic>
#include <cstring>
#include <limits>

#include "df_helpers.h"
#include "support/alloc_failure.h"

namespace {

using qor::test::df::reference_cell;
using qor::test::df::Task;

// How a method is reached: partition hint, site hint, data hint.
struct Route {
  const char* name;
  int64_t xhint;
  bool sorted_sites;
  int data;  // -1 none, 0 hybrid, 1 peak
};

constexpr Route kRoutes[] = {{"uniform", 4, false, -1},     {"quasi-uniform", 2, false, -1},
                             {"sorted", 1, true, -1},       {"peak", 0, false, 1},
                             {"hybrid", 0, false, 0},       {"hybrid-default", 1, false, -1}};

struct SearchCase {
  Route route;
  int64_t nx;
  const char* sites;  // random, adversarial, dense
};

std::string case_name(const ::testing::TestParamInfo<SearchCase>& i) {
  std::string n = std::string(i.param.route.name) + "_" + std::to_string(i.param.nx) + "_" + i.param.sites;
  for (char& c : n)
    if (c == '-') c = '_';
  return n;
}

class SearchMethods : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchMethods, CellsFollowTheConvention) {
  const SearchCase& c = GetParam();
  const int64_t nx = c.nx;
  std::mt19937_64 g(nx * 31 + c.route.xhint);
  const bool uniform = c.route.xhint == 4;
  std::vector<double> x = uniform ? qor::test::df::uniform_breakpoints(-2.5, 7.25, nx)
                                  : qor::test::df::random_partition(nx, g);
  std::vector<double> ends{x[0], x[nx - 1]};
  if (c.route.xhint == 2) {  // a nearly uniform partition with jitter
    const double h = 10.0 / double(nx - 1);
    std::uniform_real_distribution<double> j(-0.3 * h, 0.3 * h);
    for (int64_t i = 0; i < nx; ++i) x[i] = i * h + (i > 0 && i < nx - 1 ? j(g) : 0.0);
  }
  // Sites: random inside and outside, every breakpoint, both ends, their neighbours, NaN.
  std::vector<double> s;
  std::uniform_real_distribution<double> u(x[0] - 1.0, x[nx - 1] + 1.0);
  const int64_t nrandom = std::string(c.sites) == "dense" ? qor::test::scaled(200000, 1000) : 3000;
  for (int64_t k = 0; k < nrandom; ++k) s.push_back(u(g));
  if (std::string(c.sites) == "adversarial") {
    const int64_t step = std::max<int64_t>(1, nx / 3000);
    for (int64_t i = 0; i < nx; i += step) {
      s.push_back(x[i]);
      s.push_back(std::nextafter(x[i], -1e300));
      s.push_back(std::nextafter(x[i], 1e300));
    }
    for (double v : {x[0], x[nx - 1], x[0] - 1e-300, x[nx - 1] * 2 + 1, -1e300, 1e300,
                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
      s.push_back(v);
  }
  const bool with_nan = !c.route.sorted_sites && c.route.data != 1;
  if (with_nan) s.push_back(std::numeric_limits<double>::quiet_NaN());
  if (c.route.sorted_sites) std::sort(s.begin(), s.end());
  std::vector<double> datahint(5, 0.0);
  if (c.route.data == 1) datahint[1] = 1, datahint[4] = double(nx / 3);

  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, uniform ? ends.data() : x.data(), c.route.xhint, 0, nullptr,
                                     QOR_DF_HINT_NONE, 0),
            DfOk);
  for (const ThreadingServices* ts : {qor_threading_sequential(), qor_threading_openmp()}) {
    std::vector<int32_t> cell(s.size(), -7);
    ASSERT_EQ(qor_df_kernel_dDFSearch1D(t, 0, static_cast<int64_t>(s.size()), s.data(),
                                        c.route.sorted_sites ? 64 : 0, c.route.data >= 0 ? datahint.data() : nullptr,
                                        cell.data(), nullptr, nullptr, ts),
              DfOk);
    int64_t bad = 0;
    for (size_t k = 0; k < s.size(); ++k) {
      const int64_t want = std::isnan(s[k]) ? 0 : reference_cell(x, s[k]);
      if (cell[k] != want && bad++ < 5)
        ADD_FAILURE() << c.route.name << " nx " << nx << " site " << s[k] << " cell " << cell[k] << " want " << want;
    }
    EXPECT_EQ(bad, 0);
  }
}

std::vector<SearchCase> search_cases() {
  std::vector<SearchCase> v;
  // The peak method walks from its peak cell: it is meant for sites crowded around it, so it
  // is not run over the large partitions with sites spread everywhere.
  for (const Route& r : kRoutes)
    for (int64_t nx : {2L, 3L, 8L, 9L, 40L, 1000L, 100000L})
      if (r.data != 1 || nx <= 1000) v.push_back({r, nx, nx <= 9 ? "random" : "adversarial"});
  for (const Route& r : kRoutes)
    if (r.data != 1) v.push_back({r, qor::test::scaled(1000000, 1000), "dense"});
  return v;
}

INSTANTIATE_TEST_SUITE_P(All, SearchMethods, ::testing::ValuesIn(search_cases()), case_name);

TEST(DfSearch, SixtyFourBitCellsAndUniformSites) {
  const int64_t nx = 50;
  std::mt19937_64 g(3);
  std::vector<double> x = qor::test::df::random_partition(nx, g);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 1), DfOk);
  for (int64_t n : {5L, 4096L, 5001L}) {
    std::vector<double> ends{x[0] - 0.5, x[nx - 1] + 0.5};
    std::vector<int64_t> cell(n, -1);
    ASSERT_EQ(qor_df_kernel_dDFSearch1D(t, 0, n, ends.data(), QOR_DF_SITES_UNIFORM, nullptr, cell.data(), nullptr,
                                        nullptr, qor_threading_openmp()),
              DfOk);
    const double step = (ends[1] - ends[0]) / double(n - 1);
    for (int64_t k = 0; k < n; ++k) {
      const double s = k == n - 1 ? ends[1] : ends[0] + double(k) * step;
      ASSERT_EQ(cell[k], reference_cell(x, s)) << k;
    }
  }
}

TEST(DfSearch, SinglePrecisionTasks) {
  const int64_t nx = 300;
  std::vector<float> x(nx);
  for (int64_t i = 0; i < nx; ++i) x[i] = float(i) * 0.5f + float(i % 3) * 0.1f;
  Task t;
  ASSERT_EQ(qor_df_kernel_sNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
  std::vector<float> s;
  for (int64_t i = 0; i < nx; ++i) s.push_back(x[i]), s.push_back(x[i] + 0.05f);
  s.push_back(-1.f);
  s.push_back(1e9f);
  std::vector<int32_t> cell(s.size());
  ASSERT_EQ(qor_df_kernel_sDFSearch1D(t, 0, int64_t(s.size()), s.data(), QOR_DF_HINT_NONE, nullptr, cell.data(),
                                      nullptr, nullptr, qor_threading_openmp()),
            DfOk);
  for (size_t k = 0; k < s.size(); ++k) ASSERT_EQ(cell[k], reference_cell(x, s[k])) << s[k];
  // A double entry point on a single-precision task is refused without writing.
  std::vector<double> sd{1.0};
  int32_t c = -9;
  EXPECT_EQ(qor_df_kernel_dDFSearch1D(t, 0, 1, sd.data(), QOR_DF_HINT_NONE, nullptr, &c, nullptr, nullptr, nullptr),
            DfErrType);
  EXPECT_EQ(c, -9);
}

TEST(DfSearch, DataHintsThatNameNoMethodAreRefused) {
  std::vector<double> x{0, 1, 2, 3};
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
  double s = 1.5;
  int32_t cell = -3;
  for (auto [e1, e4] : {std::pair{0.5, 0.0}, {1.0, 5.0}, {1.0, -1.0}, {2.0, 0.0}}) {
    double dh[5] = {0, e1, 0, 0, e4};
    EXPECT_EQ(qor_df_kernel_dDFSearch1D(t, 0, 1, &s, QOR_DF_HINT_NONE, dh, &cell, nullptr, nullptr, nullptr),
              DfErrDataHint);
    EXPECT_EQ(cell, -3);
  }
  double ok[5] = {0, 1, 0, 0, 4};
  EXPECT_EQ(qor_df_kernel_dDFSearch1D(t, 0, 1, &s, QOR_DF_HINT_NONE, ok, &cell, nullptr, nullptr, nullptr), DfOk);
  EXPECT_EQ(cell, 2);
  EXPECT_EQ(qor_df_kernel_dDFSearch1D(nullptr, 0, 1, &s, QOR_DF_HINT_NONE, ok, &cell, nullptr, nullptr, nullptr),
            DfErrNullTask);
}

// Callback: claims the cells of even sites (writing a deliberately wrong value that must be
// kept) and gives a poor guess for odd ones.
struct CallbackParams {
  int32_t status;
  int64_t calls;
  int64_t max_block;
};

int32_t user_search(int64_t* n, const double*, int64_t* cell, int32_t* flag, const void* params, int64_t) {
  auto* p = static_cast<CallbackParams*>(const_cast<void*>(params));
  ++p->calls;
  p->max_block = std::max(p->max_block, *n);
  for (int64_t k = 0; k < *n; ++k) {
    cell[k] = k % 2 == 0 ? 12345 : -40;
    flag[k] = k % 2 == 0;
  }
  return p->status;
}

TEST(DfSearch, UserCallbackCellsAreFinalOrCorrected) {
  for (int64_t xhint : {0, 4}) {
    const int64_t nx = 500;
    std::mt19937_64 g(11);
    std::vector<double> x = xhint == 4 ? qor::test::df::uniform_breakpoints(0.0, 1.0, nx)
                                       : qor::test::df::random_partition(nx, g);
    std::vector<double> ends{0.0, 1.0};
    Task t;
    ASSERT_EQ(
        qor_df_kernel_dNewTask1D(&t.t, nx, xhint == 4 ? ends.data() : x.data(), xhint, 0, nullptr, QOR_DF_HINT_NONE, 0),
        DfOk);
    std::uniform_real_distribution<double> u(x[0] - 0.1, x[nx - 1] + 0.1);
    std::vector<double> s(1000);
    for (auto& v : s) v = u(g);
    for (int32_t status : {0, 1000, -5, 7}) {
      CallbackParams p{status, 0, 0};
      std::vector<int32_t> cell(s.size(), -1);
      const int32_t st = qor_df_kernel_dDFSearch1D(t, 0, int64_t(s.size()), s.data(), QOR_DF_HINT_NONE, nullptr,
                                                   cell.data(), user_search, &p, qor_threading_sequential());
      EXPECT_LE(p.max_block, 128);
      if (status < 0) {
        EXPECT_EQ(st, status);
        EXPECT_EQ(p.calls, 1) << "the first negative status stops the search";
        EXPECT_TRUE(std::all_of(cell.begin(), cell.end(), [](int32_t c) { return c == -1; }));
        continue;
      }
      EXPECT_EQ(st, status == 1000 ? 0 : status);
      EXPECT_EQ(p.calls, 8);
      for (size_t k = 0; k < s.size(); ++k) {
        const int64_t block_k = k % 128;
        if (block_k % 2 == 0 || status == 1000)
          ASSERT_EQ(cell[k], block_k % 2 == 0 ? 12345 : -40) << k;
        else
          ASSERT_EQ(cell[k], reference_cell(x, s[k])) << k;
      }
    }
  }
}

// The callback must be safe to call from several threads; this one is (it only counts).
int32_t guess_zero(int64_t* n, const double*, int64_t* cell, int32_t* flag, const void* params, int64_t) {
  static_cast<std::atomic<int64_t>*>(const_cast<void*>(params))->fetch_add(*n);
  for (int64_t k = 0; k < *n; ++k) cell[k] = 0, flag[k] = 0;
  return 0;
}

TEST(DfSearch, UserCallbackThreadedEqualsSequential) {
  const int64_t nx = 2000, n = qor::test::scaled(100000, 10000);
  std::mt19937_64 g(21);
  std::vector<double> x = qor::test::df::random_partition(nx, g), s(n);
  std::uniform_real_distribution<double> u(x[0] - 1, x[nx - 1] + 1);
  for (auto& v : s) v = u(g);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 1), DfOk);
  std::vector<int64_t> a(n), b(n);
  std::atomic<int64_t> seen{0};
  ASSERT_EQ(qor_df_kernel_dDFSearch1D(t, 0, n, s.data(), QOR_DF_HINT_NONE, nullptr, a.data(), guess_zero, &seen,
                                      qor_threading_sequential()),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dDFSearch1D(t, 0, n, s.data(), QOR_DF_HINT_NONE, nullptr, b.data(), guess_zero, &seen,
                                      qor_threading_openmp()),
            DfOk);
  EXPECT_EQ(seen.load(), 2 * n);
  EXPECT_EQ(a, b);
  for (int64_t k = 0; k < n; k += 97) ASSERT_EQ(a[k], reference_cell(x, s[k]));
  // Missing arrays are refused.
  EXPECT_EQ(qor_df_kernel_dDFSearch1D(t, 0, n, nullptr, QOR_DF_HINT_NONE, nullptr, b.data(), nullptr, nullptr, nullptr),
            DfErrNullOut);
  EXPECT_EQ(qor_df_kernel_dDFSearch1D(t, 0, n, s.data(), QOR_DF_HINT_NONE, nullptr, nullptr, nullptr, nullptr, nullptr),
            DfErrNullOut);
}

TEST(DfSearch, PerMethodFunctionsAgree) {
  const int64_t nx = 777;
  std::mt19937_64 g(5);
  std::vector<double> x = qor::test::df::random_partition(nx, g, 0.0, 1.0);
  std::vector<double> s(2000);
  std::uniform_real_distribution<double> u(-0.1, 1.1);
  for (auto& v : s) v = u(g);
  std::vector<int32_t> cell(s.size());
  const double qscale = double(nx - 1) / (x[nx - 1] - x[0]);
  ASSERT_EQ(qor_df_kernel_dDFQuasiUniformSearch1D32(nx, x.data(), 2000, s.data(), 0, qscale, 0, 0, 0, cell.data()), 0);
  for (size_t k = 0; k < s.size(); ++k) ASSERT_EQ(cell[k], reference_cell(x, s[k]));
  ASSERT_EQ(qor_df_kernel_dDFPeakSearch1D(nx, x.data(), 2000, s.data(), 0, double(nx), 0, 0, 0, cell.data()), 0);
  for (size_t k = 0; k < s.size(); ++k) ASSERT_EQ(cell[k], reference_cell(x, s[k]));
  std::sort(s.begin(), s.end());
  int64_t running = 0;
  ASSERT_EQ(qor_df_kernel_dDFSortedSearch1D(nx, x.data(), 1000, s.data(), &running, 0, 0, 0, 0, 0, cell.data()), 0);
  ASSERT_EQ(qor_df_kernel_dDFSortedSearch1D32(nx, x.data(), 1000, s.data() + 1000, &running, 0, 0, 0, 0, 0,
                                              cell.data() + 1000),
            0);
  for (size_t k = 0; k < s.size(); ++k) ASSERT_EQ(cell[k], reference_cell(x, s[k]));
  EXPECT_EQ(running, reference_cell(x, s.back()));
}

TEST(DfSearch, UniformSiteBufferAllocationFailure) {
  std::vector<double> x{0, 1, 2, 3};
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
  std::vector<double> ends{-1, 4};
  std::vector<int32_t> cell(5000, -2);
  const int sites = qor::test::sweep_allocation_failures(
      [&] {
        return qor_df_kernel_dDFSearch1D(t, 0, 5000, ends.data(), QOR_DF_SITES_UNIFORM, nullptr, cell.data(), nullptr,
                                         nullptr, qor_threading_sequential());
      },
      DfErrMemory);
  EXPECT_EQ(sites, 1);
}

// The peak walk: a NaN site compares false with every breakpoint, so it never walks; from a peak
// cell at nx or beyond it stays at nx - 1, from an inner peak cell it stays there.
TEST(DfSearch, PeakWalkLeavesNaNSitesWhereTheyStart) {
  std::vector<double> x(40);
  for (size_t i = 0; i < x.size(); ++i) x[i] = double(i) * 0.5;
  const int64_t nx = static_cast<int64_t>(x.size());
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> s{nan, 3.2, nan, 100.0, -1.0};
  for (auto [peak, want] : {std::pair<double, int32_t>{double(nx), int32_t(nx - 1)}, {double(nx) - 0.5, int32_t(nx - 1)},
                            {17.0, 17}, {0.0, 0}}) {
    std::vector<double> datahint{0, 1, 0, 0, peak};
    std::vector<int32_t> cell(s.size(), -7);
    ASSERT_EQ(qor_df_kernel_dDFSearch1D(t, 0, static_cast<int64_t>(s.size()), s.data(), 0, datahint.data(),
                                        cell.data(), nullptr, nullptr, qor_threading_sequential()),
              DfOk);
    EXPECT_EQ(cell[0], want) << "peak " << peak;
    EXPECT_EQ(cell[2], want) << "peak " << peak;
    EXPECT_EQ(cell[1], 7);
    EXPECT_EQ(cell[3], nx);
    EXPECT_EQ(cell[4], 0);
  }
}

}  // namespace
