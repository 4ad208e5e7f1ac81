// A failing call changes nothing: for bad arguments, hostile parameter ids and every allocation
// that can fail, the task (record, tables, bucket table), the caller's outputs and the count of
// live blocks are the same after the call as before it.
#include <cstring>
#include <limits>

#include "df_helpers.h"
#include "support/alloc_failure.h"

namespace {

using qor::test::df::Task;

std::vector<const void*> table_of(const void* const* tab) {
  const int64_t n = qor::df::table_entries(tab);
  return std::vector<const void*>(tab, tab + n);
}

// Everything a call could change in a task.
struct State {
  std::vector<unsigned char> record, buckets;
  std::vector<const void*> y, coeff;
  explicit State(const DfTask1D* t)
      : record(reinterpret_cast<const unsigned char*>(t), reinterpret_cast<const unsigned char*>(t + 1)),
        buckets(reinterpret_cast<const unsigned char*>(t->bucketTable),
                reinterpret_cast<const unsigned char*>(t->bucketTable) + qor::df::kBucketTableBytes),
        y(table_of(t->yTable)),
        coeff(table_of(const_cast<const void* const*>(t->coeffTable))) {}
  bool operator==(const State&) const = default;
};

struct Fixture {
  static constexpr int64_t nx = 8, ny = 2;
  std::vector<double> x{0, 1, 2, 3.5, 4, 5, 6.25, 7}, y = std::vector<double>(nx * ny, 1.5),
                      c = std::vector<double>(2 * (nx - 1) * ny);
  Task t;
  Fixture() {
    EXPECT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NON_UNIFORM, ny, y.data(),
                                       QOR_DF_STORAGE_ROWS, 0),
              DfOk);
    EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                            QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_STORAGE_ROWS),
              DfOk);
    EXPECT_EQ(qor_df_kernel_dDFLinearSpline1D(t, 0, 0, nullptr), DfOk);
  }
};

TEST(DfFailingCalls, HostileIdsAndBadArgumentsChangeNothing) {
  Fixture f;
  const State before(f.t);
  const long live = qor::serv::live_allocations();
  std::vector<double> other(64, 2.0);
  const int64_t ids[] = {0, 6, 13, 24, -1, -5, INT64_MIN, INT64_MAX, (int64_t{1} << 32) | 2, (int64_t{1} << 32) | 16};
  for (int64_t id : ids) {
    SCOPED_TRACE(id);
    EXPECT_NE(qor_df_kernel_dEditPtr(f.t, id, other.data()), DfOk);
    EXPECT_NE(qor_df_kernel_dEditIdxPtr(f.t, id, 0, other.data()), DfOk);
    EXPECT_NE(qor_df_kernel_iEditVal(f.t, id, 3), DfOk);
    const double* q = other.data();
    EXPECT_NE(qor_df_kernel_dQueryPtr(f.t, id, &q), DfOk);
    EXPECT_NE(qor_df_kernel_dQueryIdxPtr(f.t, id, 0, &q), DfOk);
    EXPECT_EQ(q, other.data());
    int64_t v = -77;
    EXPECT_NE(qor_df_kernel_iQueryVal(f.t, id, &v), DfOk);
    EXPECT_EQ(v, -77);
  }
  // Bad values and indices.
  const double* q = other.data();
  EXPECT_NE(qor_df_kernel_dEditIdxPtr(f.t, DfParamY, -1, other.data()), DfOk);
  EXPECT_NE(qor_df_kernel_dEditIdxPtr(f.t, DfParamCoeff, Fixture::ny, other.data()), DfOk);
  EXPECT_NE(qor_df_kernel_dQueryIdxPtr(f.t, DfParamY, INT64_MIN, &q), DfOk);
  EXPECT_EQ(q, other.data());
  for (int64_t v : {int64_t{1}, int64_t{0}, int64_t{-1}, INT64_MIN})
    EXPECT_NE(qor_df_kernel_iEditVal(f.t, DfParamNx, v), DfOk) << v;
  EXPECT_NE(qor_df_kernel_iEditVal(f.t, DfParamXHint, 3), DfOk);
  EXPECT_NE(qor_df_kernel_iEditVal(f.t, DfParamYHint, 8), DfOk);
  EXPECT_NE(qor_df_kernel_dEditPtr(f.t, DfParamY, nullptr), DfOk);
  EXPECT_NE(qor_df_kernel_dEditPtr(f.t, DfParamCoeff, nullptr), DfOk);
  // A search with a data hint that names no method, an interpolation without a result array.
  std::vector<double> s{0.5, 3.0, 6.5}, r(6, -9.0), hint{0, 7, 0, 0, 0};
  std::vector<int32_t> cell(3, -3);
  EXPECT_NE(qor_df_kernel_dDFSearch1D(f.t, 0, 3, s.data(), 0, hint.data(), cell.data(), nullptr, nullptr,
                                      qor_threading_sequential()),
            DfOk);
  EXPECT_NE(qor_df_kernel_dDFInterpolate1D(f.t, QOR_DF_REQUEST_VALUES | QOR_DF_REQUEST_CELLS, 0, 3, s.data(),
                                           QOR_DF_HINT_NONE, 0, nullptr, nullptr, nullptr, 0, cell.data(), nullptr,
                                           nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           qor_threading_sequential()),
            DfOk);
  // Site counts no array can hold (more than 2^64 bytes of sites, cells or results) are refused.
  for (int64_t n : {INT64_MAX, int64_t{1} << 61}) {
    EXPECT_EQ(qor_df_kernel_dDFSearch1D(f.t, 0, n, s.data(), 0, nullptr, cell.data(), nullptr, nullptr,
                                        qor_threading_sequential()),
              DfErrMemory);
    EXPECT_EQ(qor_df_kernel_dDFInterpolate1D(f.t, QOR_DF_REQUEST_VALUES, 0, n, s.data(), QOR_DF_HINT_NONE, 0,
                                             nullptr, nullptr, r.data(), 0, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr, nullptr, nullptr, nullptr, qor_threading_sequential()),
              DfErrMemory);
  }
  EXPECT_EQ(cell, std::vector<int32_t>(3, -3));
  EXPECT_EQ(r, std::vector<double>(6, -9.0));
  EXPECT_TRUE(State(f.t) == before);
  EXPECT_EQ(qor::serv::live_allocations(), live);
}

// Every allocation of the editors, the search and the interpolation fails in turn: the call
// reports the memory status and the task and outputs are as they were.
TEST(DfFailingCalls, AllocationFailuresChangeNothing) {
  Fixture f;
  std::vector<double> y2(Fixture::nx * Fixture::ny, 2.5), c2(f.c.size());
  const int64_t nsite = 5000;
  std::vector<double> ends{-1.0, 8.0}, s(nsite);
  for (int64_t k = 0; k < nsite; ++k) s[k] = -1.0 + 9.0 * double(k) / double(nsite - 1);
  std::vector<int32_t> dorder(70, 0);  // more than 64 requested orders: the order list is allocated
  for (int k = 0; k < 70; k += 7) dorder[k] = 1;
  for (int variant = 0; variant < 6; ++variant) {
    SCOPED_TRACE(variant);
    std::vector<double> r(nsite * Fixture::ny * 10, -9.0);
    std::vector<int32_t> cell(nsite, -3);
    const auto r_before = r;
    const auto cell_before = cell;
    const int reached = qor::test::sweep_allocation_failures(
        [&] {
          const State before(f.t);
          int32_t st = DfOk;
          switch (variant) {
            case 0: st = qor_df_kernel_dEditPtr(f.t, DfParamY, y2.data()); break;
            case 1: st = qor_df_kernel_dEditPtr(f.t, DfParamCoeff, c2.data()); break;
            case 2:
              st = qor_df_kernel_dEditPPSpline1D(f.t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE,
                                                 nullptr, QOR_DF_IC_NONE, nullptr, c2.data(), QOR_DF_STORAGE_ROWS);
              break;
            case 3:
              st = qor_df_kernel_dDFSearch1D(f.t, 0, nsite, ends.data(), QOR_DF_SITES_UNIFORM, nullptr, cell.data(),
                                             nullptr, nullptr, qor_threading_sequential());
              break;
            case 4:
              st = qor_df_kernel_dDFInterpolate1D(f.t, QOR_DF_REQUEST_VALUES | QOR_DF_REQUEST_CELLS, 0, nsite,
                                                  s.data(), QOR_DF_HINT_NONE, 0, nullptr, nullptr, r.data(), 0,
                                                  cell.data(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, qor_threading_openmp());
              break;
            case 5:
              st = qor_df_kernel_dDFInterpolate1D(f.t, QOR_DF_REQUEST_VALUES, 0, nsite, s.data(), QOR_DF_HINT_NONE,
                                                  70, dorder.data(), nullptr, r.data(), 0, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                  qor_threading_sequential());
              break;
          }
          if (st != DfOk) {
            EXPECT_TRUE(State(f.t) == before);
            EXPECT_TRUE(r == r_before);
            EXPECT_TRUE(cell == cell_before);
          }
          return st;
        },
        DfErrMemory);
    EXPECT_GE(reached, 1);
    // The last run succeeded: put the task back for the next variant.
    EXPECT_EQ(qor_df_kernel_dEditPtr(f.t, DfParamY, f.y.data()), DfOk);
    EXPECT_EQ(qor_df_kernel_dEditPtr(f.t, DfParamCoeff, f.c.data()), DfOk);
  }
}

}  // namespace
