// Moments method: progressive calls, threads, matrix storages, variable selection, weights,
// conversions, validation order and allocation failure.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "moments_runner.h"
#include "statistics/task.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

namespace qor::test::ss {
namespace {

// Every output of a and b agrees to `tol` relative to the largest entry of its array
// (entries near zero, such as third central moments of symmetric data, are judged on the
// array's scale); sentinels must match exactly.
template <class T>
void expect_close(const Outputs<T>& a, const Outputs<T>& b, double tol) {
  auto cmp = [&](const std::vector<T>& x, const std::vector<T>& y, const char* what) {
    ASSERT_EQ(x.size(), y.size());
    double scale = 0;
    for (size_t i = 0; i < x.size(); ++i)
      if (x[i] != T(kSentinel)) scale = std::max({scale, std::fabs(double(x[i])), std::fabs(double(y[i]))});
    for (size_t i = 0; i < x.size(); ++i) {
      const double u = x[i], v = y[i];
      if (u == v || (std::isnan(u) && std::isnan(v))) continue;
      EXPECT_LE(std::fabs(u - v), tol * scale) << what << "[" << i << "] " << u << " vs " << v;
    }
  };
  const char* mn[] = {"mean", "raw2", "raw3", "raw4", "cen2", "cen3", "cen4"};
  const char* sn[] = {"sum", "raw2 sum", "raw3 sum", "raw4 sum", "cen2 sum", "cen3 sum", "cen4 sum"};
  for (int k = 0; k < 7; ++k) cmp(a.moment[k], b.moment[k], mn[k]), cmp(a.sums[k], b.sums[k], sn[k]);
  cmp(a.kurt, b.kurt, "kurtosis"), cmp(a.skew, b.skew, "skewness"), cmp(a.var, b.var, "variation");
  cmp(a.cov, b.cov, "cov"), cmp(a.cor, b.cor, "cor"), cmp(a.cp, b.cp, "cross-product");
  cmp(a.aw, b.aw, "accumulated weights");
}

struct Variant {
  const char* name;
  uint64_t method;
  bool rows, weighted;
};
const Variant kVariants[] = {
    {"one-pass rows", HOX_SS_METHOD_ONE_PASS, true, false},
    {"one-pass columns weighted", HOX_SS_METHOD_ONE_PASS, false, true},
    {"fast rows weighted", HOX_SS_METHOD_FAST, true, true},
    {"fast columns", HOX_SS_METHOD_FAST, false, false},
    {"given-mean rows", HOX_SS_METHOD_GIVEN_MEAN, true, false},
    {"given-mean columns weighted", HOX_SS_METHOD_GIVEN_MEAN, false, true},
};

template <class T>
void given_mean_of(Outputs<T>& o, const DataSet& d) {
  for (int i = 0; i < d.p; ++i) o.moment[0][i] = T(1e4 + 0.25 * i);
}

TEST(MomentsProgressive, ThreeUnevenCallsEqualOneCall) {
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    // the fast method loses the digits of offset data by design: plain data for it
    const bool fast = v.method == HOX_SS_METHOD_FAST;
    const DataSet d = make_data(fast ? Shape::normal : Shape::small_offset, 4, int(scaled(5000, 800)), v.rows, v.weighted, 7);
    Config c;
    c.method = v.method;
    Outputs<double> one(d.p), three(d.p);
    if (v.method == HOX_SS_METHOD_GIVEN_MEAN) given_mean_of(one, d), given_mean_of(three, d);
    ASSERT_EQ(run_all(d, one, c), 0);
    const int cut1 = d.n / 7, cut2 = d.n / 7 + d.n / 2;
    ASSERT_EQ(run_block(d, 0, cut1, three, c), 0);
    ASSERT_EQ(run_block(d, cut1, cut2, three, c), 0);
    ASSERT_EQ(run_block(d, cut2, d.n, three, c), 0);
    // the fast method carries its loss of digits on offset data from call to call
    expect_close(one, three, fast ? 1e-11 : 1e-12);
  }
}

TEST(MomentsProgressive, SingleObservationMean) {
  DataSet d = make_data(Shape::normal, 3, 1, true, false, 3);
  Outputs<double> o(3);
  Config c;
  c.est = HOX_SS_EST_MEAN;
  ASSERT_EQ(run_all(d, o, c), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(o.moment[0][i], d.at(i, 0));
  EXPECT_EQ(o.aw[0], 1.0);
  EXPECT_EQ(o.aw[1], 1.0);
}

TEST(MomentsThreads, AnyThreadCountMatchesOneThread) {
  const ThreadingServices* tables[] = {qor_threading_sequential(), nullptr};
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    // n p (and n p p for the matrices) large enough that up to 5 threads get work
    const bool fast = v.method == HOX_SS_METHOD_FAST;
    const DataSet d = make_data(fast ? Shape::normal : Shape::offset_1e9, 3, int(scaled(20000, 4000)), v.rows, v.weighted, 11);
    Config c;
    c.method = v.method;
    Outputs<double> base(d.p);
    if (v.method == HOX_SS_METHOD_GIVEN_MEAN) given_mean_of(base, d);
    Outputs<double> start = base;
    c.th = qor_threading_sequential();
    ASSERT_EQ(run_all(d, base, c), 0);
    for (int count : {2, 3, 5}) {
      for (int omp = 0; omp < 2; ++omp) {
        SCOPED_TRACE(std::to_string(count) + (omp ? " OpenMP threads" : " in turn"));
        ThreadingServices in_turn = *tables[0];
        static int s_count;
        s_count = count;
        in_turn.max_threads = [] { return int32_t(s_count); };
        c.th = omp ? threads_table(count) : &in_turn;
        Outputs<double> o = start;
        ASSERT_EQ(run_all(d, o, c), 0);
        expect_close(base, o, fast ? 1e-11 : 1e-12);
      }
    }
  }
}

TEST(MomentsStorage, PackedMatricesHoldTheirTriangleRowByRow) {
  const DataSet d = make_data(Shape::normal, 5, 200, false, false, 5);
  const int p = d.p;
  Config full;
  Outputs<double> f(p);
  ASSERT_EQ(run_all(d, f, full), 0);
  for (int form : {HOX_SS_MATRIX_PACKED_1, HOX_SS_MATRIX_PACKED_2, 3 /* bit 2 wins */}) {
    SCOPED_TRACE(form);
    Config c;
    c.cov_storage = c.cor_storage = c.cp_storage = form;
    Outputs<double> o(p);
    ASSERT_EQ(run_all(d, o, c), 0);
    const bool lower = form == HOX_SS_MATRIX_PACKED_1;
    for (const auto& [packed, whole] : {std::pair{&o.cov, &f.cov}, {&o.cor, &f.cor}, {&o.cp, &f.cp}}) {
      size_t pos = 0;
      for (int i = 0; i < p; ++i)
        for (int j = lower ? 0 : i; j <= (lower ? i : p - 1); ++j)
          EXPECT_EQ((*packed)[pos++], (*whole)[size_t(i) * p + j]) << i << "," << j;
      EXPECT_EQ(pos, size_t(p) * (p + 1) / 2);
      for (; pos < packed->size(); ++pos) EXPECT_EQ((*packed)[pos], kSentinel);
    }
  }
}

TEST(MomentsSelection, OnlySelectedVariablesAreComputedAndWritten) {
  for (bool rows : {true, false}) {
    const DataSet d = make_data(Shape::mixed_scales, 5, 300, rows, true, 9);
    const Expected e = oracle(d);
    for (int form : {HOX_SS_MATRIX_FULL, HOX_SS_MATRIX_PACKED_2}) {
      Config c;
      c.indices = {1, 0, 1, 0, 1};
      c.cov_storage = form;
      Outputs<double> o(d.p);
      ASSERT_EQ(run_all(d, o, c), 0);
      for (int i = 0; i < d.p; ++i) {
        if (c.indices[i]) EXPECT_NEAR(o.moment[4][i], double(e.c2[i]), 1e-12 * double(e.c2[i]));
        else EXPECT_EQ(o.moment[4][i], kSentinel);
      }
      Outputs<double> full(d.p);
      ASSERT_EQ(run_all(d, full, Config{}), 0);
      for (int i = 0; i < d.p; ++i)
        for (int j = 0; j < d.p; ++j) {
          const bool sel = c.indices[i] && c.indices[j];
          const size_t at = size_t(i) * d.p + j;
          if (form == HOX_SS_MATRIX_FULL) {
            if (sel) EXPECT_NEAR(o.cov[at], full.cov[at], 1e-12 * std::fabs(full.cov[at]) + 1e-300);
            else EXPECT_EQ(o.cov[at], kSentinel);
          }
        }
      if (form == HOX_SS_MATRIX_PACKED_2) {
        size_t pos = 0;
        for (int i = 0; i < d.p; ++i)
          for (int j = i; j < d.p; ++j, ++pos) {
            if (c.indices[i] && c.indices[j]) EXPECT_NE(o.cov[pos], kSentinel);
            else EXPECT_EQ(o.cov[pos], kSentinel) << i << "," << j;
          }
      }
    }
  }
  // nothing selected: nothing written, not even the accumulated weights
  const DataSet d = make_data(Shape::normal, 3, 50, true, false, 1);
  Config c;
  c.indices = {0, 0, 0};
  Outputs<double> o(3), untouched(3);
  ASSERT_EQ(run_all(d, o, c), 0);
  EXPECT_TRUE(o == untouched);
}

TEST(MomentsWeights, LeadingZeroWeightsAreTheSameAsNoObservations) {
  for (uint64_t m : {HOX_SS_METHOD_ONE_PASS, HOX_SS_METHOD_FAST}) {
    for (bool rows : {true, false}) {
      const DataSet d = make_data(Shape::small_offset, 3, 600, rows, true, 21);
      DataSet z = d;  // the same data with 100 zero-weight observations (inf, NaN) in front
      z.n = d.n + 100;
      z.x.assign(size_t(z.p) * z.n, 0.0);
      z.w.assign(z.n, 0.0);
      for (int j = 0; j < z.n; ++j) {
        if (j >= 100) z.w[j] = d.w[j - 100];
        for (int i = 0; i < z.p; ++i)
          (rows ? z.x[size_t(i) * z.n + j] : z.x[size_t(j) * z.p + i]) = j < 100 ? (j % 2 ? INFINITY : NAN) : d.at(i, j - 100);
      }
      Config c;
      c.method = m;
      Outputs<double> a(3), b(3);
      ASSERT_EQ(run_all(d, a, c), 0);
      ASSERT_EQ(run_all(z, b, c), 0);
      // passed over, not multiplied by zero: infinities and NaNs there do not matter
      expect_close(a, b, m == HOX_SS_METHOD_ONE_PASS ? 1e-13 : 1e-11);
    }
  }
}

TEST(MomentsConversions, FromSumsAndFromCrossProductReproduceTheDataMethod) {
  const DataSet d = make_data(Shape::skewed, 4, 500, true, true, 13);
  Outputs<double> ref(d.p);
  ASSERT_EQ(run_all(d, ref, Config{}), 0);
  // keep the sums, cross-product and weights; clear everything the conversion writes
  Outputs<double> o(d.p);
  for (int k = 0; k < 7; ++k) o.sums[k] = ref.sums[k];
  o.cp = ref.cp;
  o.aw = ref.aw;
  Config c;
  c.method = HOX_SS_METHOD_FROM_SUMS;
  c.est = kAllEstimates & ~(HOX_SS_EST_SUM | HOX_SS_EST_RAW2_SUM | HOX_SS_EST_RAW3_SUM |
                            HOX_SS_EST_RAW4_SUM | HOX_SS_EST_CEN2_SUM | HOX_SS_EST_CEN3_SUM |
                            HOX_SS_EST_CEN4_SUM | HOX_SS_EST_CROSS_PRODUCT);
  ASSERT_EQ(run_all(d, o, c), 0);
  expect_close(ref, o, 1e-14);
  // without the accumulated weights the count stands for them, when there are no weights
  const DataSet u = make_data(Shape::normal, 2, 50, false, false, 2);
  Outputs<double> r2(2);
  ASSERT_EQ(run_all(u, r2, Config{}), 0);
  Outputs<double> o2(2);
  o2.cp = r2.cp;
  Config c2;
  c2.method = HOX_SS_METHOD_FROM_CROSS_PRODUCT;
  c2.est = HOX_SS_EST_COV | HOX_SS_EST_COR;
  c2.accumulate = false;
  ASSERT_EQ(run_all(u, o2, c2), 0);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(o2.cov[i], r2.cov[i], 1e-14 * std::fabs(r2.cov[i]));
    EXPECT_NEAR(o2.cor[i], r2.cor[i], 1e-14);
  }
}

// Validation: each case breaks one more thing than the checks before it look at, so the
// expected status is the first failing check; nothing is written on failure.
struct Invalid {
  const char* what;
  uint64_t est, method;
  int32_t p, n, storage;
  bool x_null, storage_null, accumulate, weighted, drop_raw4, drop_cen4, drop_sum;
  int32_t status;
};

TEST(MomentsValidation, FirstFailingCheckDecidesAndNothingIsWritten) {
  const uint64_t OP = HOX_SS_METHOD_ONE_PASS, R = HOX_SS_STORAGE_ROWS;
  const Invalid cases[] = {
      {"no method", kAllEstimates, 0, 0, 0, 0, true, true, false, true, true, true, true, -4029},
      {"two methods", HOX_SS_EST_MEAN, HOX_SS_METHOD_FAST | HOX_SS_METHOD_GIVEN_MEAN, 2, 5, R, false, false, true, false, false, false, false, -4029},
      {"conversion of a sum", HOX_SS_EST_SUM, HOX_SS_METHOD_FROM_SUMS, 2, 5, R, false, false, true, false, false, false, false, -4029},
      {"kurtosis without raw 4th (before central)", HOX_SS_EST_KURTOSIS, OP, 0, 0, 0, true, true, false, false, true, true, false, -4009},
      {"kurtosis without central 4th", HOX_SS_EST_KURTOSIS, OP, 0, 0, 0, true, true, false, false, false, true, false, -4012},
      {"fast central 2nd sum needs raw 2nd", HOX_SS_EST_CEN2_SUM, HOX_SS_METHOD_FAST, 2, 5, R, false, false, true, false, false, false, false, 0},
      {"from sums: mean needs the sum", HOX_SS_EST_MEAN, HOX_SS_METHOD_FROM_SUMS, 0, 0, 0, true, true, false, true, false, false, true, -4074},
      {"dimension", HOX_SS_EST_MEAN, OP, 0, 0, 0, true, true, false, false, false, false, false, -4001},
      {"conversion without weights pair, weighted", HOX_SS_EST_MEAN, HOX_SS_METHOD_FROM_SUMS, 2, 0, 0, true, true, false, true, false, false, false, -4020},
      {"count", HOX_SS_EST_MEAN, OP, 2, 0, 0, true, true, true, false, false, false, false, -4002},
      {"observations", HOX_SS_EST_MEAN, OP, 2, 5, 0, true, true, true, false, false, false, false, -4032},
      {"storage address", HOX_SS_EST_MEAN, OP, 2, 5, 0, false, true, true, false, false, false, false, -4044},
      {"storage code", HOX_SS_EST_MEAN, OP, 2, 5, 0x40000, false, false, true, false, false, false, false, -4003},
      {"good", kAllEstimates, OP, 2, 5, HOX_SS_STORAGE_COLUMNS, false, false, true, true, false, false, false, 0},
  };
  double x[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11}, w[5] = {1, 1, 2, 2, 1};
  for (const Invalid& v : cases) {
    SCOPED_TRACE(v.what);
    // the task is made valid (p = 2, n = 5, rows), then its values are broken through the
    // addresses it holds, as a caller could do between two calls
    int32_t p = 2, n = 5, s = R;
    HoxSSTask* t = nullptr;
    ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &s, v.x_null ? nullptr : x, v.weighted ? w : nullptr, nullptr, nullptr), 0);
    Outputs<double> o(2);
    Config c;
    c.accumulate = v.accumulate;
    attach(t, o, c);
    if (v.storage_null) {
      // a task made without observations and without a storage address
      __hoxSSDeleteTask(&t);
      ASSERT_EQ(__hoxdSSNewTask(&t, &p, nullptr, nullptr, nullptr, v.weighted ? w : nullptr, nullptr, nullptr), 0);
      attach(t, o, c);
      if (v.n) __hoxiSSEditTask(t, HOX_SS_ED_OBSERV_N, &n);
      if (!v.x_null) __hoxdSSEditTask(t, HOX_SS_ED_OBSERV, x);
    }
    HoxSSTask* raw = t;
    if (v.drop_raw4) raw->moment[3] = nullptr;
    if (v.drop_cen4) raw->moment[6] = nullptr;
    if (v.drop_sum) raw->sum[0] = nullptr;
    p = v.p;
    n = v.n;
    s = v.storage;
    const Outputs<double> before = o;
    EXPECT_EQ(_hoxdSSBasic(t, v.est, v.method, qor_threading_sequential()), v.status);
    if (v.status) {
      EXPECT_TRUE(o == before);
    }
    EXPECT_EQ(_hoxsSSBasic(nullptr, v.est, v.method, nullptr), HOX_SS_ERR_NULL_TASK);
    __hoxSSDeleteTask(&t);
  }
}

TEST(MomentsAllocation, EveryAllocationSiteFailsCleanly) {
  const DataSet d = make_data(Shape::normal, 3, 6000, false, true, 17);
  for (uint64_t m : {HOX_SS_METHOD_ONE_PASS, HOX_SS_METHOD_FAST, HOX_SS_METHOD_GIVEN_MEAN}) {
    SCOPED_TRACE(m);
    Config c;
    c.method = m;
    c.th = threads_table(3);
    const int sites = sweep_allocation_failures(
        [&] {
          Outputs<double> o(d.p);
          // two calls on one task: the second one continues from the first
          const int32_t p = d.p, n = d.n, s = HOX_SS_STORAGE_COLUMNS;
          HoxSSTask* t = nullptr;
          int32_t st = __hoxdSSNewTask(&t, &p, &n, &s, d.x.data(), d.w.data(), nullptr, nullptr);
          if (st) return st;
          attach(t, o, c);
          const Outputs<double> before = o;
          st = _hoxdSSBasic(t, kAllEstimates, m, c.th);
          if (st) {
            EXPECT_TRUE(o == before);
          }
          if (!st) st = _hoxdSSBasic(t, kAllEstimates, m, c.th);
          __hoxSSDeleteTask(&t);
          return st;
        },
        HOX_SS_ERR_NO_MEMORY);
    // task, per-call scratch (twice), and the saved means for the fast and given-mean methods
    EXPECT_EQ(sites, m == HOX_SS_METHOD_ONE_PASS ? 3 : 4);
  }
}

TEST(MomentsSingle, SingleTasksAgreeWithDoubleTasksOnFloatData) {
  DataSet d = make_data(Shape::small_offset, 4, 2000, false, true, 23);
  d.round_to_float();
  Outputs<double> od(d.p);
  Outputs<float> of(d.p);
  ASSERT_EQ(run_all(d, od, Config{}), 0);
  ASSERT_EQ(run_all(d, of, Config{}), 0);
  for (int i = 0; i < d.p; ++i) {
    EXPECT_EQ(of.moment[0][i], float(od.moment[0][i]));
    EXPECT_NEAR(of.moment[4][i], od.moment[4][i], 1e-6 * od.moment[4][i]);
  }
}

}  // namespace
}  // namespace qor::test::ss

namespace qor::test::ss {
namespace {

// Each estimate without its own output array gives that array's status, for the data methods
// (every other array present); the conversions refuse the sum estimates.
TEST(MomentsValidation, EachEstimateNeedsItsOwnArray) {
  struct Row {
    uint64_t est;
    int32_t status;
  };
  const Row rows[] = {
      {HOX_SS_EST_MEAN, -4006},      {HOX_SS_EST_RAW2, -4007},      {HOX_SS_EST_RAW3, -4008},
      {HOX_SS_EST_RAW4, -4009},      {HOX_SS_EST_CEN2, -4010},      {HOX_SS_EST_CEN3, -4011},
      {HOX_SS_EST_CEN4, -4012},      {HOX_SS_EST_KURTOSIS, -4013},  {HOX_SS_EST_SKEWNESS, -4014},
      {HOX_SS_EST_VARIATION, -4017}, {HOX_SS_EST_COV, -4018},       {HOX_SS_EST_COR, -4019},
      {HOX_SS_EST_SUM, -4074},       {HOX_SS_EST_RAW2_SUM, -4075},  {HOX_SS_EST_RAW3_SUM, -4076},
      {HOX_SS_EST_RAW4_SUM, -4077},  {HOX_SS_EST_CEN2_SUM, -4078},  {HOX_SS_EST_CEN3_SUM, -4079},
      {HOX_SS_EST_CEN4_SUM, -4080},  {HOX_SS_EST_CROSS_PRODUCT, -4081}};
  const DataSet d = make_data(Shape::normal, 2, 20, true, false, 4);
  for (uint64_t method : {HOX_SS_METHOD_ONE_PASS, HOX_SS_METHOD_FAST, HOX_SS_METHOD_GIVEN_MEAN,
                          HOX_SS_METHOD_FROM_SUMS}) {
    for (size_t r = 0; r < std::size(rows); ++r) {
      SCOPED_TRACE(std::to_string(method) + " estimate " + std::to_string(r));
      const int32_t p = d.p, n = d.n, s = HOX_SS_STORAGE_ROWS;
      HoxSSTask* t = nullptr;
      ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &s, d.x.data(), nullptr, nullptr, nullptr), 0);
      Outputs<double> o(d.p);
      const Config codes;  // attach stores the addresses of its storage codes
      attach(t, o, codes);
      void** own[] = {&t->moment[0], &t->moment[1], &t->moment[2], &t->moment[3], &t->moment[4],
                      &t->moment[5], &t->moment[6], &t->kurtosis, &t->skewness, &t->variation,
                      &t->cov, &t->cor, &t->sum[0], &t->sum[1], &t->sum[2], &t->sum[3],
                      &t->sum[4], &t->sum[5], &t->sum[6], &t->cp};
      *own[r] = nullptr;
      const bool conversion = method == HOX_SS_METHOD_FROM_SUMS;
      const bool sum_estimate = r >= 12;
      const Outputs<double> before = o;
      EXPECT_EQ(_hoxdSSBasic(t, rows[r].est, method, nullptr),
                conversion && sum_estimate ? HOX_SS_ERR_BAD_METHOD : rows[r].status);
      EXPECT_TRUE(o == before);
      __hoxSSDeleteTask(&t);
    }
  }
}

}  // namespace
}  // namespace qor::test::ss

namespace qor::test::ss {
namespace {

// The task keeps the means of the fast method between calls; when the caller raises the
// dimension behind the task's address, the kept block must grow with it.
TEST(MomentsProgressive, DimensionRaisedBetweenCalls) {
  const DataSet d = make_data(Shape::normal, 3, 64, false, false, 31);
  int32_t p = 2, n = d.n, s = HOX_SS_STORAGE_COLUMNS;
  // observations of 3 variables; with p = 2 the first call reads them as 2-variable rows
  HoxSSTask* t = nullptr;
  ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &s, d.x.data(), nullptr, nullptr, nullptr), 0);
  Outputs<double> o(3);
  const Config codes;  // attach stores the addresses of its storage codes
  attach(t, o, codes);
  ASSERT_EQ(_hoxdSSBasic(t, HOX_SS_EST_MEAN | HOX_SS_EST_COV, HOX_SS_METHOD_FAST, nullptr), 0);
  p = 3;
  o.aw[0] = o.aw[1] = 0;  // start again
  ASSERT_EQ(_hoxdSSBasic(t, HOX_SS_EST_MEAN | HOX_SS_EST_COV, HOX_SS_METHOD_FAST, nullptr), 0);
  ASSERT_EQ(_hoxdSSBasic(t, HOX_SS_EST_MEAN | HOX_SS_EST_COV, HOX_SS_METHOD_FAST, nullptr), 0);
  __hoxSSDeleteTask(&t);
  // two calls over the same data: the mean of the data twice is its mean
  const Expected e = oracle(d);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(o.moment[0][i], double(e.mean[i]), 1e-12);
}

}  // namespace
}  // namespace qor::test::ss

namespace qor::test::ss {
namespace {

// A task made with 64-bit integers reads its dimension, count, storage code, selection and
// matrix storage codes as 64-bit values.
TEST(MomentsWideIntegers, SameResultsAsThirtyTwoBitTask) {
  const DataSet d = make_data(Shape::skewed, 4, 100, true, true, 5);
  Config c;
  c.indices = {1, 0, 1, 1};
  c.cov_storage = HOX_SS_MATRIX_PACKED_1;
  Outputs<double> narrow(d.p), wide(d.p);
  ASSERT_EQ(run_all(d, narrow, c), 0);
  const int64_t p = d.p, n = d.n, s = HOX_SS_STORAGE_ROWS, cov_storage = HOX_SS_MATRIX_PACKED_1,
                full = HOX_SS_MATRIX_FULL;
  // high words set where only a 32-bit reader would not notice: selection entries
  const std::vector<int64_t> ind = {1, int64_t(1) << 32, 1, 1};
  const int flag = 1;
  HoxSSTask* t = nullptr;
  ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &s, d.x.data(), d.w.data(), ind.data(), &flag), 0);
  Config wc;
  attach(t, wide, wc);
  __hoxiSSEditTask(t, HOX_SS_ED_COV_STORAGE, &cov_storage);
  __hoxiSSEditTask(t, HOX_SS_ED_COR_STORAGE, &full);
  __hoxiSSEditTask(t, HOX_SS_ED_CP_STORAGE, &full);
  ASSERT_EQ(_hoxdSSBasic(t, kAllEstimates, HOX_SS_METHOD_ONE_PASS, nullptr), 0);
  __hoxSSDeleteTask(&t);
  // variable 1 is selected in the wide task (its 64-bit entry is non-zero)
  for (int i : {0, 2, 3}) EXPECT_EQ(wide.moment[4][i], narrow.moment[4][i]);
  EXPECT_EQ(narrow.moment[4][1], kSentinel);
  EXPECT_NE(wide.moment[4][1], kSentinel);
  EXPECT_EQ(wide.cov[0], narrow.cov[0]);  // packed form 1: (0,0) first in both
}

}  // namespace
}  // namespace qor::test::ss

namespace {

// With 32-bit addresses a p x p covariance of p = 40000 (12.8e9 bytes) can not exist: the call
// is refused with the memory status before it allocates or writes anything.
TEST(MomentsSizes, MatrixThatCanNotExistIsRefused) {
  if (sizeof(void*) != 4) GTEST_SKIP() << "the matrix fits a 64-bit address space";
  const int32_t p = 40000, n = 1, s = HOX_SS_STORAGE_COLUMNS, full = HOX_SS_MATRIX_FULL;
  std::vector<double> x(p, 1.0), mean(p, -5.0), cov(4, -5.0);
  HoxSSTask* t = nullptr;
  ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &s, x.data(), nullptr, nullptr, nullptr), 0);
  ASSERT_EQ(__hoxdSSEditCovCor(t, mean.data(), cov.data(), &full, nullptr, nullptr), 0);
  const long live = qor::serv::live_allocations();
  for (uint64_t m : {HOX_SS_METHOD_ONE_PASS, HOX_SS_METHOD_FAST})
    EXPECT_EQ(_hoxdSSBasic(t, HOX_SS_EST_MEAN | HOX_SS_EST_COV, m, nullptr), HOX_SS_ERR_NO_MEMORY);
  EXPECT_EQ(qor::serv::live_allocations(), live);
  EXPECT_EQ(mean, std::vector<double>(p, -5.0));
  EXPECT_EQ(cov, std::vector<double>(4, -5.0));
  __hoxSSDeleteTask(&t);
}

}  // namespace
