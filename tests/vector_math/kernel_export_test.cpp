// Kernels defined by the one-line export (QOR_FNX_KERNEL): the error routine hears of a bad
// element under the name "v" + type letter + function, with the element's index and status,
// from every code-path file and both precisions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "qor/vm.h"

namespace {

struct Seen {
  int calls = 0;
  int32_t code = 0, index = -1;
  std::string name;
};
Seen g_seen;

int record(FnxErrorContext* c) {
  ++g_seen.calls;
  g_seen.code = c->code;
  g_seen.index = c->index;
  g_seen.name = c->funcName;
  return 0;
}

class KernelExport : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_mode_ = _fnxGetMode();
    _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
    _fnxSetErrorCallBack(record);
    g_seen = Seen{};
  }
  void TearDown() override {
    _fnxClearErrorCallBack();
    _fnxSetMode(saved_mode_);
    _fnxClearErrStatus();
  }
  uint32_t saved_mode_ = 0;
};

// One bad element at index 5 of 11 (the others ordinary, so that the block path runs too).
template <class T>
void run_one_bad(void (*kernel)(int32_t, const T*, T*), T bad) {
  std::vector<T> a(11, T(0.5)), r(11);
  a[5] = bad;
  kernel(11, a.data(), r.data());
}

struct Case {
  const char* name;
  int32_t code;
  void (*call)();
};

TEST_F(KernelExport, ErrorReportsCarryTheRowNameIndexAndStatus) {
  const Case cases[] = {
      {"vdExp", QOR_FNX_STATUS_OVERFLOW, [] { run_one_bad<double>(qor_fnx_kernel_dExp_W7HAynn, 1000.0); }},
      {"vdExp", QOR_FNX_STATUS_UNDERFLOW, [] { run_one_bad<double>(qor_fnx_kernel_dExp_W7EPnnn, -1000.0); }},
      {"vsExp2", QOR_FNX_STATUS_OVERFLOW, [] { run_one_bad<float>(qor_fnx_kernel_sExp2_W7HAynn, 200.0f); }},
      {"vsExpm1", QOR_FNX_STATUS_OVERFLOW, [] { run_one_bad<float>(qor_fnx_kernel_sExpm1_V8HAynn, 100.0f); }},
      {"vsLn", QOR_FNX_STATUS_SING, [] { run_one_bad<float>(qor_fnx_kernel_sLn_V8HAynn, 0.0f); }},
      {"vsLog2", QOR_FNX_STATUS_ERRDOM, [] { run_one_bad<float>(qor_fnx_kernel_sLog2_W7EPnnn, -1.0f); }},
      {"vdLog10", QOR_FNX_STATUS_ERRDOM, [] { run_one_bad<double>(qor_fnx_kernel_dLog10_V8LAynn, -1.0); }},
      {"vdLog1p", QOR_FNX_STATUS_SING, [] { run_one_bad<double>(qor_fnx_kernel_dLog1p_V8HAynn, -1.0); }},
      {"vdLogb", QOR_FNX_STATUS_SING, [] { run_one_bad<double>(qor_fnx_kernel_dLogb_W7HAynn, 0.0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_seen = Seen{};
    c.call();
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.name, c.name);
    EXPECT_EQ(g_seen.code, c.code);
    EXPECT_EQ(g_seen.index, 5);
  }
}

}  // namespace
