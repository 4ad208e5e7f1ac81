// Statistics tasks: creation checks, the parameter table behind the editors, hostile ids,
// convenience editors, release and allocation failure.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "qor/stats.h"
#include "statistics/task.h"
#include "support/alloc_failure.h"

namespace {

struct Bytes {
  std::vector<unsigned char> b;
  explicit Bytes(const HoxSSTask* t)
      : b(reinterpret_cast<const unsigned char*>(t), reinterpret_cast<const unsigned char*>(t) + sizeof(HoxSSTask)) {}
  bool operator==(const Bytes&) const = default;
};

struct NewCase {
  const char* what;
  bool p_null;
  int32_t p, n;
  bool n_null, x_null, storage_null;
  int32_t storage;
  int32_t status;
};

TEST(StatsTask, CreationChecksInOrder) {
  const NewCase cases[] = {
      {"no dimension address", true, 3, 10, false, false, false, HOX_SS_STORAGE_ROWS, -4001},
      {"dimension 0 beats bad storage", false, 0, 10, false, false, false, 7, -4001},
      {"storage address null", false, 3, 10, false, false, true, 0, -4044},
      {"storage neither rows nor columns", false, 3, 0, false, false, false, 0x30000, -4003},
      {"count zero", false, 3, 0, false, false, false, HOX_SS_STORAGE_COLUMNS, -4002},
      {"count address null", false, 3, 0, true, false, false, HOX_SS_STORAGE_COLUMNS, -4002},
      {"no observations: nothing else checked", false, 3, 0, true, true, true, 0, 0},
      {"good", false, 3, 10, false, false, false, HOX_SS_STORAGE_ROWS, 0},
  };
  double x[30] = {};
  for (const NewCase& c : cases) {
    SCOPED_TRACE(c.what);
    HoxSSTask* sentinel = reinterpret_cast<HoxSSTask*>(0x1234);
    HoxSSTask* t = sentinel;
    const int32_t st = __hoxdSSNewTask(&t, c.p_null ? nullptr : &c.p, c.n_null ? nullptr : &c.n,
                                       c.storage_null ? nullptr : &c.storage,
                                       c.x_null ? nullptr : x, nullptr, nullptr, nullptr);
    EXPECT_EQ(st, c.status);
    if (st == 0) {
      ASSERT_NE(t, sentinel);
      EXPECT_EQ(t->kind, 2u);
      EXPECT_EQ(t->precision, 1);
      EXPECT_EQ(__hoxSSDeleteTask(&t), 0);
      EXPECT_EQ(t, nullptr);
    } else {
      EXPECT_EQ(t, sentinel);
    }
  }
}

TEST(StatsTask, WideIntegersAreReadWhole) {
  const int64_t p = 2, n = 5;
  const int64_t storage_high = (int64_t(1) << 32) | HOX_SS_STORAGE_ROWS;
  const int64_t storage = HOX_SS_STORAGE_ROWS;
  const int64_t p_high = int64_t(1) << 32;  // low word 0, high word 1: not a 32-bit "0"
  float x[10] = {};
  int wide = 1;
  HoxSSTask* t = nullptr;
  EXPECT_EQ(__hoxsSSNewTask(&t, &p, &n, &storage_high, x, nullptr, nullptr, &wide), -4003);
  EXPECT_EQ(__hoxsSSNewTask(&t, &p_high, &n, &storage, x, nullptr, nullptr, &wide), 0);
  EXPECT_EQ(t->precision, 0);
  __hoxSSDeleteTask(&t);
  // 32-bit task reading the same 64-bit storage word sees only its low half
  EXPECT_EQ(__hoxsSSNewTask(&t, &p, &n, &storage_high, x, nullptr, nullptr, nullptr), 0);
  __hoxSSDeleteTask(&t);
}

// Parameters taken by the integer editor; all others 3..78 by the real editors.
const std::set<int> kIntegerIds = {1,  2,  4,  5,  20, 22, 24, 28, 29, 32, 34, 36, 37, 41,
                                   44, 45, 47, 49, 50, 52, 54, 56, 58, 61, 62, 64, 75, 79};

// Status for a null address, per id, as the interface documents it.
int32_t null_status(int id) {
  static const std::pair<int, int32_t> special[] = {
      {1, -4001}, {2, -4002}, {3, -4032}, {5, -4004}, {23, -4020}, {24, -4022}, {25, -4021},
      {26, -4023}, {27, -4024}, {28, -4038}, {30, -4035}, {31, -4034}, {32, -4038}, {33, -4037},
      {35, -4036}, {37, -4043}, {38, -4042}, {39, -4028}, {40, -4027}, {41, -4040}, {42, -4039},
      {43, -4041}, {45, -4045}, {46, -4046}, {48, -4047}, {50, -4049}, {51, -4048}, {52, -4052},
      {53, -4053}, {54, -4055}, {55, -4054}, {56, -4056}, {57, -4057}, {58, -4061}, {59, -4062},
      {60, -4071}, {62, -4066}, {63, -4065}, {64, -4069}, {65, -4068}, {66, -4070}, {74, -4081},
      {76, -4082}, {77, -4083}, {78, -4084}};
  for (auto [i, s] : special)
    if (i == id) return s;
  if (id >= 6 && id <= 18) {  // weights, moments, kurtosis ... variation in table order
    static const int32_t s[] = {-4005, -4006, -4007, -4008, -4009, -4010, -4011, -4012, -4013,
                                -4014, -4015, -4016, -4017};
    return s[id - 6];
  }
  if (id == 19) return -4018;
  if (id == 21) return -4019;
  if (id >= 67 && id <= 73) return -4074 - (id - 67);
  return -4044;  // storage codes
}

class Editors : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &s, x, nullptr, nullptr, nullptr), 0); }
  void TearDown() override { __hoxSSDeleteTask(&t); }
  int32_t p = 2, n = 3, s = HOX_SS_STORAGE_ROWS;
  double x[6] = {};
  HoxSSTask* t = nullptr;
};

TEST_F(Editors, EveryIdGoesToItsOwnFieldThroughTheRightEditorOnly) {
  std::set<size_t> offsets;
  double target[4];
  for (int id = 1; id <= 79; ++id) {
    SCOPED_TRACE(id);
    const bool integer = kIntegerIds.count(id) != 0;
    const Bytes before(t);
    // the other kind of editor refuses the id and changes nothing
    if (integer) {
      EXPECT_EQ(__hoxdSSEditTask(t, id, target), HOX_ERR_BAD_ARGUMENT);
      EXPECT_EQ(__hoxsSSEditTask(t, id, reinterpret_cast<float*>(target)), HOX_ERR_BAD_ARGUMENT);
    } else {
      EXPECT_EQ(__hoxiSSEditTask(t, id, target), HOX_ERR_BAD_ARGUMENT);
    }
    // a null address gives the parameter's status and changes nothing
    EXPECT_EQ(integer ? __hoxiSSEditTask(t, id, nullptr) : __hoxdSSEditTask(t, id, nullptr), null_status(id));
    EXPECT_TRUE(Bytes(t) == before);
    // storing changes exactly one address-sized word, different for every id
    EXPECT_EQ(integer ? __hoxiSSEditTask(t, id, target) : __hoxdSSEditTask(t, id, target), 0);
    const Bytes after(t);
    size_t first = SIZE_MAX, last = 0;
    for (size_t i = 0; i < after.b.size(); ++i)
      if (after.b[i] != before.b[i]) first = std::min(first, i), last = i;
    if (first == SIZE_MAX) {  // the field already held `target`? it can not: all start null
      ADD_FAILURE() << "nothing stored";
      continue;
    }
    const size_t field = first / sizeof(void*) * sizeof(void*);
    EXPECT_LT(last, field + sizeof(void*));
    void* stored;
    std::memcpy(&stored, after.b.data() + field, sizeof(stored));
    EXPECT_EQ(stored, static_cast<void*>(target));
    EXPECT_TRUE(offsets.insert(field).second) << "two ids share a field";
    // never the header, the release fields or the task's own buffer
    EXPECT_GE(field, offsetof(HoxSSTask, dimension));
    EXPECT_TRUE(field < offsetof(HoxSSTask, release_count) ||
                (field >= offsetof(HoxSSTask, sorted) && field < offsetof(HoxSSTask, internal)));
  }
}

TEST_F(Editors, HostileIdsAreRefusedWithoutChanges) {
  double a[1];
  const int64_t ids[] = {0, 80, 81, -1, -7, INT64_MIN, INT64_MAX, (int64_t(1) << 32) | 7,
                         (int64_t(1) << 32) | 1};
  const Bytes before(t);
  for (int64_t id : ids) {
    SCOPED_TRACE(id);
    EXPECT_EQ(__hoxdSSEditTask(t, id, a), HOX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(__hoxsSSEditTask(t, id, reinterpret_cast<float*>(a)), HOX_ERR_BAD_ARGUMENT);
    EXPECT_EQ(__hoxiSSEditTask(t, id, a), HOX_ERR_BAD_ARGUMENT);
  }
  // the real editors stop at 78, the integer one at 79 and starts at 1
  EXPECT_EQ(__hoxdSSEditTask(t, 79, a), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxdSSEditTask(t, 1, a), HOX_ERR_BAD_ARGUMENT);
  EXPECT_TRUE(Bytes(t) == before);
  EXPECT_EQ(__hoxdSSEditTask(nullptr, 7, a), HOX_SS_ERR_NULL_TASK);
  EXPECT_EQ(__hoxiSSEditTask(nullptr, 1, a), HOX_SS_ERR_NULL_TASK);
  EXPECT_EQ(__hoxdSSEditTask(nullptr, 0, nullptr), HOX_SS_ERR_NULL_TASK);  // task checked first
}

TEST_F(Editors, ConvenienceEditorsStoreWhatTheGenericEditorWouldAndSkipNulls) {
  double a[8][4];
  int32_t code = 1;
  HoxSSTask* u = nullptr;
  ASSERT_EQ(__hoxdSSNewTask(&u, &p, &n, &s, x, nullptr, nullptr, nullptr), 0);
  // all null: nothing changes
  const Bytes before(t);
  EXPECT_EQ(__hoxdSSEditMoments(t, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(__hoxdSSEditCovCor(t, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(__hoxsSSEditMissingVals(t, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_TRUE(Bytes(t) == before);
  // a mix of null and set arguments, against the generic editors
  EXPECT_EQ(__hoxdSSEditMoments(t, a[0], nullptr, a[1], nullptr, a[2], nullptr, a[3]), 0);
  EXPECT_EQ(__hoxdSSEditSums(t, nullptr, a[4], nullptr, nullptr, nullptr, nullptr, a[5]), 0);
  EXPECT_EQ(__hoxdSSEditCovCor(t, nullptr, a[6], &code, nullptr, &code), 0);
  EXPECT_EQ(__hoxdSSEditCP(t, nullptr, nullptr, a[7], &code), 0);
  EXPECT_EQ(__hoxdSSEditRCov(t, &code, &code, a[0], nullptr, a[1]), 0);
  EXPECT_EQ(__hoxdSSEditQuantiles(t, &code, a[2], nullptr, a[3], &code), 0);
  EXPECT_EQ(__hoxdSSEditPooledCovariance(t, &code, a[4], nullptr, &code, a[5], nullptr), 0);
  EXPECT_EQ(__hoxdSSEditMtxParametrz(t, nullptr, nullptr, a[6], &code), 0);
  const std::pair<int, void*> real[] = {{7, a[0]}, {9, a[1]}, {11, a[2]}, {13, a[3]}, {68, a[4]},
                                        {73, a[5]}, {19, a[6]}, {74, a[7]}, {38, a[0]}, {40, a[1]},
                                        {25, a[2]}, {27, a[3]}, {30, a[4]}, {33, a[5]}, {60, a[6]}};
  for (auto [id, ad] : real) __hoxdSSEditTask(u, id, static_cast<double*>(ad));
  for (int id : {20, 22, 75, 36, 37, 24, 44, 28, 32, 61}) __hoxiSSEditTask(u, id, &code);
  EXPECT_TRUE(Bytes(t) == Bytes(u));
  EXPECT_EQ(__hoxsSSEditOutDetect(nullptr, nullptr, nullptr, nullptr), HOX_SS_ERR_NULL_TASK);
  __hoxSSDeleteTask(&u);
}

int g_released = 0;
HoxSSTask* g_released_task = nullptr;
void on_release(HoxSSTask* t) {
  ++g_released;
  g_released_task = t;
}

TEST(StatsTask, DeleteReleasesBufferAndCallsTheReleaseCallbackOnce) {
  const long base = qor::serv::live_allocations();
  int32_t p = 1, n = 1, s = HOX_SS_STORAGE_ROWS;
  HoxSSTask* t = nullptr;
  ASSERT_EQ(__hoxdSSNewTask(&t, &p, &n, &s, nullptr, nullptr, nullptr, nullptr), 0);
  t->internal = qor_serv_allocate(64, 128);
  t->release_count = 1;
  t->release = on_release;
  HoxSSTask* was = t;
  EXPECT_EQ(__hoxSSDeleteTask(&t), 0);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(g_released, 1);
  EXPECT_EQ(g_released_task, was);
  EXPECT_EQ(qor::serv::live_allocations(), base);
  EXPECT_EQ(__hoxSSDeleteTask(nullptr), HOX_SS_ERR_NULL_TASK);
  EXPECT_EQ(__hoxSSDeleteTask(&t), HOX_SS_ERR_NULL_TASK);  // already deleted
}

TEST(StatsTask, AllocationFailureLeavesNoTask) {
  int32_t p = 2, n = 2, s = HOX_SS_STORAGE_COLUMNS;
  double x[4] = {};
  const int sites = qor::test::sweep_allocation_failures(
      [&] {
        HoxSSTask* t = reinterpret_cast<HoxSSTask*>(0x1);
        const int32_t st = __hoxdSSNewTask(&t, &p, &n, &s, x, nullptr, nullptr, nullptr);
        if (st) {
          EXPECT_EQ(t, nullptr);
          return st;
        }
        return __hoxSSDeleteTask(&t);
      },
      HOX_SS_ERR_NO_MEMORY);
  EXPECT_EQ(sites, 1);
}

}  // namespace
