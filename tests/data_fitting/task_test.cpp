// Task creation, editors, queries and the quasi-uniform bucket table.
#include <cstring>

#include "df_helpers.h"
#include "support/alloc_failure.h"

namespace {

using qor::test::df::Task;

struct NewCase {
  const char* what;
  int64_t nx;
  bool x;
  int64_t xhint;
  int64_t ny;
  bool y;
  int64_t yhint;
  int32_t status;
};

class NewTaskStatus : public ::testing::TestWithParam<NewCase> {};

TEST_P(NewTaskStatus, FirstFailingCheckDecidesAndNothingIsWritten) {
  const NewCase& c = GetParam();
  std::vector<double> x{0, 1, 2, 3}, y(8, 1.0);
  DfTask1D* sentinel = reinterpret_cast<DfTask1D*>(uintptr_t{0x1234});
  DfTask1D* task = sentinel;
  const int32_t st = qor_df_kernel_dNewTask1D(&task, c.nx, c.x ? x.data() : nullptr, c.xhint, c.ny,
                                              c.y ? y.data() : nullptr, c.yhint, 0);
  EXPECT_EQ(st, c.status) << c.what;
  if (c.status != DfOk) {
    EXPECT_EQ(task, sentinel) << c.what;
  } else {
    qor_df_kernel_DeleteTask(&task);
    EXPECT_EQ(task, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NewTaskStatus,
    ::testing::Values(NewCase{"nx 2 accepted", 2, true, 0, 2, true, 16, DfOk},
                      NewCase{"no functions", 4, true, 1, 0, false, 0, DfOk},
                      NewCase{"nx 1", 1, true, 0, 1, true, 16, DfErrNx},
                      NewCase{"nx before x", 1, false, 9, 0, true, 9, DfErrNx},
                      NewCase{"x null", 4, false, 0, 1, true, 16, DfErrNullX},
                      NewCase{"x null before hint", 4, false, 3, 1, true, 16, DfErrNullX},
                      NewCase{"xhint 3", 4, true, 3, 1, true, 16, DfErrXHint},
                      NewCase{"y with no functions", 4, true, 2, 0, true, 16, DfErrNy},
                      NewCase{"y missing", 4, true, 2, 2, false, 16, DfErrNullY},
                      NewCase{"yhint 8", 4, true, 4, 2, true, 8, DfErrYHint},
                      NewCase{"yhint 64", 4, true, 4, 2, true, 64, DfErrYHint}));

TEST(DfTask, QueriesReportStoredValuesInTheTasksIntegerWidth) {
  std::vector<double> x{0, 1, 2, 3, 4}, y(10);
  for (int width : {0, 1}) {
    Task t;
    ASSERT_EQ(
        qor_df_kernel_dNewTask1D(&t.t, 5, x.data(), QOR_DF_HINT_NON_UNIFORM, 2, y.data(), QOR_DF_STORAGE_ROWS, width),
        DfOk);
    unsigned char out[8];
    std::memset(out, 0xAB, sizeof out);
    ASSERT_EQ(qor_df_kernel_iQueryVal(t, DfParamNx, out), DfOk);
    if (width) {
      int64_t v;
      std::memcpy(&v, out, 8);
      EXPECT_EQ(v, 5);
    } else {
      int32_t v;
      std::memcpy(&v, out, 4);
      EXPECT_EQ(v, 5);
      EXPECT_EQ(out[4], 0xAB) << "a 32-bit query writes 4 bytes";
    }
    EXPECT_EQ(qor_df_kernel_iQueryVal(t, DfParamNy, nullptr), DfErrNullOut);
    EXPECT_EQ(qor_df_kernel_iQueryVal(nullptr, DfParamNy, out), DfErrNullTask);
  }
}

struct ValCase {
  int64_t param;
  int64_t bad;
  int32_t status;
  int64_t good;
};

class ValueEditor : public ::testing::TestWithParam<ValCase> {};

TEST_P(ValueEditor, RejectsBadValueKeepsOldAndStoresGoodOne) {
  const ValCase c = GetParam();
  std::vector<double> x{0, 1, 2, 3, 4}, y(10);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 5, x.data(), QOR_DF_HINT_NON_UNIFORM, 2, y.data(), QOR_DF_STORAGE_ROWS, 1),
            DfOk);
  int64_t before, after;
  ASSERT_EQ(qor_df_kernel_iQueryVal(t, c.param, &before), DfOk);
  EXPECT_EQ(qor_df_kernel_iEditVal(t, c.param, c.bad), c.status);
  ASSERT_EQ(qor_df_kernel_iQueryVal(t, c.param, &after), DfOk);
  EXPECT_EQ(after, before);
  EXPECT_EQ(qor_df_kernel_iEditVal(t, c.param, c.good), DfOk);
  ASSERT_EQ(qor_df_kernel_iQueryVal(t, c.param, &after), DfOk);
  EXPECT_EQ(after, c.good);
}

INSTANTIATE_TEST_SUITE_P(Params, ValueEditor,
                         ::testing::Values(ValCase{DfParamNx, 1, DfErrNx, 3}, ValCase{DfParamXHint, 3, DfErrXHint, 2},
                                           ValCase{DfParamNy, 0, DfErrNy, 1}, ValCase{DfParamYHint, 17, DfErrYHint, 32},
                                           ValCase{DfParamOrder, -1, DfErrOrder, 7},
                                           ValCase{DfParamType, 6, DfErrType, 9},
                                           ValCase{DfParamIcType, 4, DfErrIcType, 12},
                                           ValCase{DfParamBcType, -2, DfErrBcType, 48},
                                           ValCase{DfParamCoeffHint, 1, DfErrCoeffHint, 128},
                                           ValCase{DfParamCheckFlag, 2, DfErrCheckFlag, 1}));

TEST(DfTask, UnknownParametersAreRefused) {
  std::vector<double> x{0, 1, 2}, y(3);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 0), DfOk);
  const double* p = nullptr;
  for (int64_t id : std::vector<int64_t>{0, 6, 13, 24, -1, int64_t{1} << 40}) {
    EXPECT_EQ(qor_df_kernel_iEditVal(t, id, 0), DfErrParam) << id;
    EXPECT_EQ(qor_df_kernel_dEditPtr(t, id, x.data()), DfErrParam) << id;
    EXPECT_EQ(qor_df_kernel_dQueryPtr(t, id, &p), DfErrParam) << id;
  }
  for (int64_t id : {1, 3, 4, 14}) {
    EXPECT_EQ(qor_df_kernel_dEditIdxPtr(t, id, 0, x.data()), DfErrParam) << id;
    EXPECT_EQ(qor_df_kernel_dQueryIdxPtr(t, id, 0, &p), DfErrParam) << id;
  }
}

TEST(DfTask, PointerEditorsCheckNullAndFillTables) {
  const int64_t nx = 6, ny = 3;
  std::vector<double> x{0, 1, 2, 3, 4, 5}, y(nx * ny), y2(nx * ny), c(3 * nx * ny);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, ny, y.data(), QOR_DF_STORAGE_ROWS, 0), DfOk);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamX, nullptr), DfErrNullX);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamY, nullptr), DfErrNullY);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamIc, nullptr), DfErrNullIc);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamBc, nullptr), DfErrNullBc);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamCoeff, nullptr), DfErrNullCoeff);
  // Rows: function j at y + j nx; the query reports entry j.
  ASSERT_EQ(qor_df_kernel_dEditPtr(t, DfParamY, y2.data()), DfOk);
  const double* q = nullptr;
  for (int64_t j = 0; j < ny; ++j) {
    ASSERT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamY, j, &q), DfOk);
    EXPECT_EQ(q, y2.data() + j * nx);
  }
  EXPECT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamY, ny, &q), DfErrIndex);
  EXPECT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamY, -1, &q), DfErrIndex);
  // Subbotin coefficient runs are order * nx long, others order * (nx - 1).
  for (int64_t type : {0, 1}) {
    ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, type, QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE,
                                            nullptr, c.data(), QOR_DF_STORAGE_ROWS),
              DfOk);
    for (int64_t j = 0; j < ny; ++j) {
      ASSERT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamCoeff, j, &q), DfOk);
      EXPECT_EQ(q, c.data() + j * 3 * (type == 1 ? nx : nx - 1));
    }
  }
  // Separate pointers: only the first is filled, the others are set one by one.
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_STORAGE_PER_FUNCTION),
            DfOk);
  ASSERT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamCoeff, 1, &q), DfOk);
  EXPECT_EQ(q, nullptr);
  EXPECT_EQ(qor_df_kernel_dEditIdxPtr(t, DfParamCoeff, 1, nullptr), DfErrNullCoeff);
  EXPECT_EQ(qor_df_kernel_dEditIdxPtr(t, DfParamCoeff, 3, c.data()), DfErrIndex);
  ASSERT_EQ(qor_df_kernel_dEditIdxPtr(t, DfParamCoeff, 1, c.data() + 7), DfOk);
  ASSERT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamCoeff, 1, &q), DfOk);
  EXPECT_EQ(q, c.data() + 7);
  // Columns: one entry; per-function access is refused.
  ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamYHint, QOR_DF_STORAGE_COLS), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPtr(t, DfParamY, y.data()), DfOk);
  EXPECT_EQ(qor_df_kernel_dEditIdxPtr(t, DfParamY, 0, y.data()), DfErrYHint);
  EXPECT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamY, 0, &q), DfErrYHint);
  ASSERT_EQ(qor_df_kernel_dQueryPtr(t, DfParamY, &q), DfOk);
  EXPECT_EQ(q, y.data());
  EXPECT_EQ(qor_df_kernel_dQueryPtr(t, DfParamY, nullptr), DfErrNullOut);
}

TEST(DfTask, TaskWithoutFunctionsRefusesCoefficients) {
  std::vector<double> x{0, 1, 2}, c(8);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamCoeff, c.data()), DfErrNy);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE),
            DfErrNy);
}

TEST(DfTask, SplineEditorChecksInOrderAndKeepsWhatItStored) {
  std::vector<double> x{0, 1, 2}, y(3), bc(2), ic(4);
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 3, x.data(), QOR_DF_HINT_NONE, 1, y.data(), QOR_DF_HINT_NONE, 1), DfOk);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(nullptr, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, nullptr, QOR_DF_HINT_NONE),
            DfErrNullTask);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, -1, -1, QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE, nullptr, nullptr,
                                          QOR_DF_HINT_NONE),
            DfErrOrder);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, -1, QOR_DF_BC_NONE, nullptr, QOR_DF_IC_NONE,
                                          nullptr, nullptr, QOR_DF_HINT_NONE),
            DfErrType);
  // Order and type are stored before the boundary conditions are checked.
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                          QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, nullptr, QOR_DF_IC_SUBGRID,
                                          ic.data(), nullptr, QOR_DF_HINT_NONE),
            DfErrNullBc);
  int64_t v;
  qor_df_kernel_iQueryVal(t, DfParamOrder, &v);
  EXPECT_EQ(v, 3);
  qor_df_kernel_iQueryVal(t, DfParamType, &v);
  EXPECT_EQ(v, 1);
  for (int64_t bcType : {0, 1, 2, 64})
    EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, bcType, nullptr,
                                            QOR_DF_IC_NONE, nullptr, nullptr, QOR_DF_HINT_NONE),
              DfOk);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                          QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, bc.data(), QOR_DF_IC_SUBGRID,
                                          nullptr, nullptr, QOR_DF_HINT_NONE),
            DfErrNullIc);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_SUBBOTIN,
                                          QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST, bc.data(), QOR_DF_IC_NONE,
                                          ic.data(), nullptr, QOR_DF_HINT_NONE),
            DfErrIcType);
  const double* q;
  ASSERT_EQ(qor_df_kernel_dQueryPtr(t, DfParamBc, &q), DfOk);
  EXPECT_EQ(q, bc.data());
}

// The hybrid search relies on this: a site in bucket k lies between breakpoints lo and hi of
// the bucket's pair.
TEST(DfTask, BucketTableBracketsEverySite) {
  std::mt19937_64 g(7);
  for (int64_t nx : {2, 9, 40, 1000, 100000}) {
    std::vector<double> x = qor::test::df::random_partition(nx, g);
    Task t;
    ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, nx, x.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
    const int64_t b = std::min<int64_t>(1024, std::max<int64_t>(16, nx / 16));
    EXPECT_EQ(t->bucketCount, b) << nx;
    std::uniform_real_distribution<double> u(x[0], x[nx - 1]);
    for (int k = 0; k < 2000; ++k) {
      const double s = k < 1000 ? u(g) : x[g() % nx];
      if (s == x[nx - 1]) continue;
      const int64_t bucket = static_cast<int64_t>((s - x[0]) * t->bucketScale.d);
      const uint32_t lo = t->bucketTable[2 * bucket], hi = t->bucketTable[2 * bucket + 1];
      ASSERT_LE(lo, hi);
      ASSERT_LT(hi, nx);
      EXPECT_LE(x[lo], s) << nx << " bucket " << bucket;
      EXPECT_GT(x[hi], s) << nx << " bucket " << bucket;
    }
  }
}

TEST(DfTask, BucketTableIsRebuiltOnlyForTheNonUniformHint) {
  std::vector<double> x1(200), x2(200);
  for (int i = 0; i < 200; ++i) x1[i] = i, x2[i] = i * i;
  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 200, x1.data(), QOR_DF_HINT_NONE, 0, nullptr, QOR_DF_HINT_NONE, 0), DfOk);
  std::vector<uint32_t> before(t->bucketTable, t->bucketTable + 2 * 18);
  ASSERT_EQ(qor_df_kernel_dEditPtr(t, DfParamX, x2.data()), DfOk);
  ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamXHint, QOR_DF_HINT_QUASI_UNIFORM), DfOk);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), t->bucketTable));
  ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamXHint, QOR_DF_HINT_NON_UNIFORM), DfOk);
  EXPECT_FALSE(std::equal(before.begin(), before.end(), t->bucketTable));
  EXPECT_DOUBLE_EQ(t->bucketScale.d, 16.0 / (199.0 * 199.0));
}

TEST(DfTask, DeleteChecksTheHandle) {
  EXPECT_EQ(qor_df_kernel_DeleteTask(nullptr), DfErrNullTask);
  DfTask1D* none = nullptr;
  EXPECT_EQ(qor_df_kernel_DeleteTask(&none), DfErrNullTask);
}

TEST(DfTask, AllocationFailuresAreReportedAndNothingLeaks) {
  std::vector<double> x{0, 1, 2, 3}, y(12), c(24);
  std::vector<float> xf{0, 1, 2, 3}, yf(12);
  const int sites = qor::test::sweep_allocation_failures(
      [&] {
        DfTask1D* t = nullptr;
        int32_t st = qor_df_kernel_dNewTask1D(&t, 4, x.data(), QOR_DF_HINT_NONE, 3, y.data(), QOR_DF_STORAGE_ROWS, 0);
        if (st == DfOk) st = qor_df_kernel_dEditPtr(t, DfParamY, y.data());
        if (st == DfOk)
          st = qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_LINEAR, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                             QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_HINT_NONE);
        if (st == DfOk) st = qor_df_kernel_dEditPtr(t, DfParamCoeff, c.data());
        if (t) qor_df_kernel_DeleteTask(&t);
        return st;
      },
      DfErrMemory);
  EXPECT_EQ(sites, 6);
  qor::test::sweep_allocation_failures(
      [&] {
        DfTask1D* t = nullptr;
        const int32_t st =
            qor_df_kernel_sNewTask1D(&t, 4, xf.data(), QOR_DF_HINT_UNIFORM, 3, yf.data(), QOR_DF_STORAGE_COLS, 0);
        if (t) qor_df_kernel_DeleteTask(&t);
        return st;
      },
      DfErrMemory);
}

// Function counts whose tables or arrays can not exist are refused with the memory status,
// before anything is allocated or stored: the task keeps its tables and no block is left.
TEST(DfTask, HugeFunctionCountsAreRefusedAndChangeNothing) {
  const int64_t huge = (int64_t{1} << 61) + 1;  // 16 + huge * 8 wraps to 24 bytes
  std::vector<double> x{0, 1, 2, 3}, y(16, 1.0), c(64);
  DfTask1D* sentinel = reinterpret_cast<DfTask1D*>(uintptr_t{0x1234});
  DfTask1D* out = sentinel;
  const long base = qor::serv::live_allocations();
  for (int64_t ny : {huge, int64_t{1} << 62, INT64_MAX, int64_t{1} << 60}) {
    EXPECT_EQ(qor_df_kernel_dNewTask1D(&out, 8, x.data(), QOR_DF_HINT_NONE, ny, y.data(), QOR_DF_STORAGE_ROWS, 0),
              DfErrMemory) << ny;
    EXPECT_EQ(out, sentinel);
    EXPECT_EQ(qor::serv::live_allocations(), base);
  }

  Task t;
  ASSERT_EQ(qor_df_kernel_dNewTask1D(&t.t, 4, x.data(), QOR_DF_HINT_NONE, 2, y.data(), QOR_DF_STORAGE_ROWS, 0), DfOk);
  ASSERT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, c.data(), QOR_DF_STORAGE_ROWS),
            DfOk);
  const long with_task = qor::serv::live_allocations();
  ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamNy, huge), DfOk);
  std::vector<double> other(16);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamY, other.data()), DfErrMemory);
  EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamCoeff, other.data()), DfErrMemory);
  EXPECT_EQ(qor_df_kernel_dEditPPSpline1D(t, QOR_DF_ORDER_QUADRATIC, QOR_DF_TYPE_DEFAULT, QOR_DF_BC_NONE, nullptr,
                                          QOR_DF_IC_NONE, nullptr, other.data(), QOR_DF_STORAGE_ROWS),
            DfErrMemory);
  EXPECT_EQ(qor::serv::live_allocations(), with_task);
  // The tables set before the refused edits are still there.
  const double* q = nullptr;
  ASSERT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamY, 1, &q), DfOk);
  EXPECT_EQ(q, y.data() + 4);
  ASSERT_EQ(qor_df_kernel_dQueryIdxPtr(t, DfParamCoeff, 1, &q), DfOk);
  EXPECT_EQ(q, c.data() + 9);
  // With 32-bit addresses, a count whose table fits but whose packed coefficients could not
  // exist (9 * 2^28 doubles) is refused the same way.
  if (sizeof(void*) == 4) {
    ASSERT_EQ(qor_df_kernel_iEditVal(t, DfParamNy, int64_t{1} << 28), DfOk);
    EXPECT_EQ(qor_df_kernel_dEditPtr(t, DfParamCoeff, other.data()), DfErrMemory);
    EXPECT_EQ(qor::serv::live_allocations(), with_task);
  }
}

}  // namespace
