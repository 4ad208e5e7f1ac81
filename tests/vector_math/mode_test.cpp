// Per-thread mode, status and callback; the environment variable; the error routine's branches.
#include <gtest/gtest.h>

#include <cerrno>
#include <cfenv>
#include <cmath>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "qor/vm.h"
#include "service/testing.h"

namespace {

// The packed error context as the callback sees it, on every target.
static_assert(sizeof(FnxErrorContext) == 140);
static_assert(offsetof(FnxErrorContext, code) == 0);
static_assert(offsetof(FnxErrorContext, index) == 4);
static_assert(offsetof(FnxErrorContext, arg1) == 8);
static_assert(offsetof(FnxErrorContext, arg2) == 16);
static_assert(offsetof(FnxErrorContext, res1) == 24);
static_assert(offsetof(FnxErrorContext, res2) == 32);
static_assert(offsetof(FnxErrorContext, funcName) == 40);
static_assert(offsetof(FnxErrorContext, funcNameLen) == 104);
static_assert(offsetof(FnxErrorContext, arg1Im) == 108);
static_assert(offsetof(FnxErrorContext, arg2Im) == 116);
static_assert(offsetof(FnxErrorContext, res1Im) == 124);
static_assert(offsetof(FnxErrorContext, res2Im) == 132);

// Runs `f` on a fresh thread (fresh per-thread state) and returns its result.
template <class F>
auto on_fresh_thread(F f) {
  decltype(f()) out{};
  std::thread([&] { out = f(); }).join();
  return out;
}

uint32_t mode_from_env(const char* value) {
  if (value) setenv(QOR_FNX_MODE_ENV, value, 1);
  else unsetenv(QOR_FNX_MODE_ENV);
  uint32_t m = on_fresh_thread([] { return _fnxGetMode(); });
  unsetenv(QOR_FNX_MODE_ENV);
  return m;
}

struct EnvCase {
  const char* value;
  uint32_t mode;
};

class ModeFromEnvironment : public ::testing::TestWithParam<EnvCase> {};

TEST_P(ModeFromEnvironment, ParsesWholeValueOrFallsBackToDefault) {
  EXPECT_EQ(mode_from_env(GetParam().value), GetParam().mode) << (GetParam().value ? GetParam().value : "(unset)");
}

INSTANTIATE_TEST_SUITE_P(
    Values, ModeFromEnvironment,
    ::testing::Values(EnvCase{nullptr, 0x1A02}, EnvCase{"", 0x1A02}, EnvCase{"FNX_EP,FNX_ERRMODE_IGNORE", 0x103},
                      EnvCase{"FNX_LA", 0x1}, EnvCase{"FNX_HA,FNX_ERRMODE_DEFAULT,FNX_TRAP_OVERFLOW", 0x4001A02},
                      EnvCase{"FNX_DOUBLE_CONSISTEN,FNX_HA", 0x22},
                      EnvCase{"FNX_DOUBLE_CONSISTENT", 0x1A02},  // seventeen letters: rejected
                      EnvCase{"EP", 0x1A02},                     // token without FNX_
                      EnvCase{"FNX_XX", 0x1A02},                 // unknown keyword
                      EnvCase{"FNX_EP;FNX_HA", 0x1A02},          // wrong separator
                      EnvCase{"FNX_EP,", 0x1A02},                // trailing comma
                      EnvCase{"FNX_LAX", 0x1A02},                // keyword followed by a letter
                      EnvCase{"FNX_ERRMODE_STDERR,FNX_TRAP_INVALID,FNX_TRAP_DIVBYZERO,FNX_TRAP_UNDERFLOW", 0xB000400}));

TEST(ModeFromEnvironment, ParsedZeroIsReadAgainOnNextCall) {
  setenv(QOR_FNX_MODE_ENV, "FNX_DEFAULT_PRECISION", 1);
  const auto modes = on_fresh_thread([] {
    uint32_t first = _fnxGetMode();
    setenv(QOR_FNX_MODE_ENV, "FNX_LA", 1);
    uint32_t second = _fnxGetMode();
    return std::make_pair(first, second);
  });
  unsetenv(QOR_FNX_MODE_ENV);
  EXPECT_EQ(modes.first, 0u);
  EXPECT_EQ(modes.second, 0x1u);
}

TEST(ModeFromEnvironment, ReadEnvVarModeReportsNoSettingAsAllOnes) {
  unsetenv(QOR_FNX_MODE_ENV);
  EXPECT_EQ(qor_fnx_kernel_ReadEnvVarMode(), 0xFFFFFFFFFFFFFFFFull);
  setenv(QOR_FNX_MODE_ENV, "FNX_EP", 1);
  EXPECT_EQ(qor_fnx_kernel_ReadEnvVarMode(), 0x3ull);
  unsetenv(QOR_FNX_MODE_ENV);
}

TEST(Mode, SetModeReplacesOnlyFieldsThatHaveBits) {
  on_fresh_thread([] {
    EXPECT_EQ(_fnxGetMode(), 0x1A02u);
    EXPECT_EQ(qor_fnx_kernel_GetTTableIndex(), 1u);
    EXPECT_EQ(_fnxSetMode(0x3), 0x1A02u);      // accuracy only
    EXPECT_EQ(_fnxGetMode(), 0x1A03u);
    EXPECT_EQ(_fnxSetMode(0), 0x1A03u);        // changes nothing
    EXPECT_EQ(_fnxGetMode(), 0x1A03u);
    _fnxSetMode(0x100 | 0x280000 | 0x1000000);  // error mode, denormal, traps
    EXPECT_EQ(_fnxGetMode(), 0x1280103u);
    _fnxSetMode(0x30);                          // the consistency field is not settable
    EXPECT_EQ(_fnxGetMode(), 0x1280103u);
    EXPECT_EQ(qor_fnx_kernel_GetTTableIndex(), 2u);
    EXPECT_EQ(qor_fnx_kernel_SetMode(0x1), 0x1280103u);  // the second name set is the same state
    EXPECT_EQ(_fnxGetMode(), 0x1280101u);
    return 0;
  });
  EXPECT_EQ(qor_fnx_kernel_GetTTableIndexM(0, 0x1A03), 2u);
  EXPECT_EQ(qor_fnx_kernel_GetTTableIndexM(0, 0x1A00), 0xFFFFFFFFu);
}

TEST(Mode, StateIsPerThread) {
  _fnxSetMode(0x1);
  _fnxSetErrStatus(7);
  const uint32_t other = on_fresh_thread([] { return _fnxGetMode() | (static_cast<uint32_t>(_fnxGetErrStatus()) << 28); });
  EXPECT_EQ(other, 0x1A02u);
  EXPECT_EQ(_fnxGetMode() & 0xF, 0x1u);
  EXPECT_EQ(_fnxClearErrStatus(), 7);
  EXPECT_EQ(_fnxGetErrStatus(), 0);
  _fnxSetMode(0x2);
}

int dummy_callback(FnxErrorContext*) { return 1; }

TEST(Callback, SettingAndClearingMaintainTheCallbackBit) {
  on_fresh_thread([] {
    _fnxSetMode(0x100);  // ERRMODE_IGNORE only
    EXPECT_EQ(_fnxSetErrorCallBack(dummy_callback), nullptr);
    EXPECT_EQ(_fnxGetMode() & 0xFF00, 0x1100u);
    EXPECT_EQ(_fnxGetErrorCallBack(), dummy_callback);
    EXPECT_EQ(_fnxClearErrorCallBack(), dummy_callback);
    EXPECT_EQ(_fnxGetMode() & 0xFF00, 0x100u);
    EXPECT_EQ(_fnxGetErrorCallBack(), nullptr);
    // With the callback bit as the only error-mode bit, clearing leaves the field as it was.
    _fnxSetMode(0x1000);
    _fnxSetErrorCallBack(nullptr);
    EXPECT_EQ(_fnxGetMode() & 0xFF00, 0x1000u);
    return 0;
  });
}

// ---- the error routine ------------------------------------------------------------------------

FnxErrorContext g_seen;  // packed: fields are read by value (+g_seen.x), never bound to references
int g_calls = 0;
int g_return = 0;
double g_replacement = 0;
bool g_replace = false;

int recording_callback(FnxErrorContext* c) {
  g_seen = *c;
  ++g_calls;
  if (g_replace) c->res1 = g_replacement;
  return g_return;
}

class ErrorRoutine : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_mode_ = _fnxGetMode();
    _fnxClearErrStatus();
    _fnxSetInterfInputVectorPointer(nullptr);
    g_calls = 0;
    g_return = 0;
    g_replace = false;
    std::memset(&g_seen, 0, sizeof g_seen);
  }
  void TearDown() override {
    _fnxClearErrorCallBack();
    _fnxSetInterfInputVectorPointer(nullptr);
    _fnxSetMode(saved_mode_);  // its error field is non-zero, so it replaces ours
    _fnxClearErrStatus();
  }
  uint32_t saved_mode_ = 0;
};

TEST_F(ErrorRoutine, CallbackSeesTheContextAndItsEditIsStored) {
  _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
  _fnxSetErrorCallBack(recording_callback);
  float a[4] = {1, 2, -3, 4}, r[4] = {10, 20, 30, 40};
  g_replace = true;
  g_replacement = 42;
  qor_fnx_kernel_sError(1, 2, a, a, r, r, "vsLn");
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(+g_seen.code, 1);
  EXPECT_EQ(+g_seen.index, 2);
  EXPECT_EQ(+g_seen.arg1, -3.0);
  EXPECT_EQ(+g_seen.arg2, -3.0);
  EXPECT_EQ(+g_seen.res1, 30.0);
  EXPECT_STREQ(g_seen.funcName, "vsLn");
  EXPECT_EQ(+g_seen.funcNameLen, 4);
  EXPECT_EQ(r[2], 42.0f);
  EXPECT_EQ(_fnxGetErrStatus(), 1);
}

TEST_F(ErrorRoutine, CallbackReturningNonZeroKeepsResultsAsTheyAre) {
  _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK | QOR_FNX_ERRMODE_ERRNO);
  _fnxSetErrorCallBack(recording_callback);
  g_replace = true;
  g_replacement = 42;
  g_return = 1;
  errno = 0;
  double a[2] = {5, 6}, b[2] = {7, 8}, r1[2] = {1, 2}, r2[2] = {3, 4};
  qor_fnx_kernel_dError(3, 1, a, b, r1, r2, "vdSinCos");
  EXPECT_EQ(r1[1], 2.0);
  EXPECT_EQ(+g_seen.arg2, 8.0);
  EXPECT_EQ(+g_seen.res2, 4.0);
  EXPECT_EQ(errno, 0);  // returned before the errno branch
}

TEST_F(ErrorRoutine, ComplexElementsCarryImaginaryParts) {
  _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
  _fnxSetErrorCallBack(recording_callback);
  QorComplex16 a[2] = {{1, 2}, {3, 4}}, r[2] = {{5, 6}, {7, 8}};
  qor_fnx_kernel_zError(2, 1, a, a, r, r, "vzLn");
  EXPECT_EQ(+g_seen.arg1Im, 4.0);
  EXPECT_EQ(+g_seen.res1Im, 8.0);
  QorComplex8 ca[1] = {{1.5f, -2.5f}}, cr[1] = {{0.5f, 0.25f}};
  qor_fnx_kernel_cError(4, 0, ca, ca, cr, cr, "vcExp");
  EXPECT_EQ(+g_seen.arg1Im, -2.5);
  EXPECT_EQ(+g_seen.res1Im, 0.25);
}

TEST_F(ErrorRoutine, IndexIsRelativeToTheInterfaceInputVector) {
  _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
  _fnxSetErrorCallBack(recording_callback);
  float whole[200] = {}, r[200] = {};
  whole[103] = -1;
  _fnxSetInterfInputVectorPointer(whole);
  qor_fnx_kernel_sError(1, 3, whole + 100, whole + 100, r + 100, r + 100, "vsLn");
  EXPECT_EQ(+g_seen.index, 103);
  EXPECT_EQ(+g_seen.arg1, -1.0);  // values are read with the index as passed
}

TEST_F(ErrorRoutine, BadSizeAndBadPointerCarryNoValues) {
  _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
  _fnxSetErrorCallBack(recording_callback);
  qor_fnx_kernel_sError(-1, -5, nullptr, nullptr, nullptr, nullptr, "vsExp");
  EXPECT_EQ(+g_seen.code, -1);
  EXPECT_EQ(+g_seen.index, -5);
  EXPECT_EQ(+g_seen.arg1, 0.0);
  qor_fnx_kernel_dError(-2, 0, nullptr, nullptr, nullptr, nullptr, "vdExp");
  EXPECT_EQ(+g_seen.code, -2);
}

TEST_F(ErrorRoutine, LongNamesAreCutTo63Characters) {
  _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
  _fnxSetErrorCallBack(recording_callback);
  std::string name(100, 'x');
  float a[1] = {0}, r[1] = {0};
  qor_fnx_kernel_sError(1, 0, a, a, r, r, name.c_str());
  EXPECT_EQ(+g_seen.funcNameLen, 63);
  EXPECT_EQ(std::strlen(g_seen.funcName), 63u);
}

TEST_F(ErrorRoutine, NoErrAloneLeavesStatusButNotInCombination) {
  _fnxSetErrStatus(9);
  _fnxSetMode(QOR_FNX_ERRMODE_NOERR);
  float a[1] = {0}, r[1] = {0};
  qor_fnx_kernel_sError(2, 0, a, a, r, r, "vsInv");
  EXPECT_EQ(_fnxGetErrStatus(), 9);
  _fnxSetMode(QOR_FNX_ERRMODE_NOERR | QOR_FNX_ERRMODE_ERRNO);
  qor_fnx_kernel_sError(2, 0, a, a, r, r, "vsInv");
  EXPECT_EQ(_fnxGetErrStatus(), 2);
}

TEST_F(ErrorRoutine, IgnoreAloneSetsStatusOnly) {
  _fnxSetMode(QOR_FNX_ERRMODE_IGNORE);
  _fnxSetErrorCallBack(recording_callback);  // adds the callback bit: no longer "ignore alone"
  _fnxSetMode(QOR_FNX_ERRMODE_IGNORE);       // the field is replaced: ignore only again
  float a[1] = {0}, r[1] = {0};
  qor_fnx_kernel_sError(3, 0, a, a, r, r, "vsExp");
  EXPECT_EQ(_fnxGetErrStatus(), 3);
  EXPECT_EQ(g_calls, 0);
}

struct ErrnoCase {
  int code;
  int expected;
};
class ErrnoBranch : public ErrorRoutine, public ::testing::WithParamInterface<ErrnoCase> {};

TEST_P(ErrnoBranch, SetsTheMatchingErrno) {
  _fnxSetMode(QOR_FNX_ERRMODE_ERRNO);
  float a[1] = {0}, r[1] = {0};
  errno = 12345;
  qor_fnx_kernel_sError(GetParam().code, 0, a, a, r, r, "vsExp");
  EXPECT_EQ(errno, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, ErrnoBranch,
                         ::testing::Values(ErrnoCase{-2, EACCES}, ErrnoCase{-1, EINVAL}, ErrnoCase{0, 0},
                                           ErrnoCase{1, EDOM}, ErrnoCase{2, ERANGE}, ErrnoCase{3, ERANGE},
                                           ErrnoCase{4, ERANGE}, ErrnoCase{7, EFAULT}));

std::string capture_print(void (*emit)()) {
  FILE* f = std::tmpfile();
  qor::serv::set_print_stream(f);
  emit();
  qor::serv::set_print_stream(nullptr);
  std::rewind(f);
  std::string out;
  char buf[512];
  size_t k;
  while ((k = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, k);
  std::fclose(f);
  return out;
}

TEST_F(ErrorRoutine, StderrReportNamesFunctionAndValues) {
  _fnxSetMode(QOR_FNX_ERRMODE_STDERR);
  std::string one = capture_print([] {
    float a[2] = {0, -1}, r[2] = {0, NAN};
    qor_fnx_kernel_sError(1, 1, a, a, r, r, "vsLn");
  });
  EXPECT_NE(one.find("vsLn"), std::string::npos) << one;
  EXPECT_NE(one.find("x[1] = -1"), std::string::npos) << one;
  EXPECT_NE(one.find("r[1] = nan"), std::string::npos) << one;
  std::string two = capture_print([] {
    double a[1] = {2}, b[1] = {3}, r1[1] = {5}, r2[1] = {6};
    qor_fnx_kernel_dError(3, 0, a, b, r1, r2, "vdTwo");
  });
  EXPECT_NE(two.find("y[0] = 3"), std::string::npos) << two;
  EXPECT_NE(two.find("r2[0] = 6"), std::string::npos) << two;
  std::string size = capture_print([] { qor_fnx_kernel_sError(-1, -7, nullptr, nullptr, nullptr, nullptr, "vsExp"); });
  EXPECT_NE(size.find("-7"), std::string::npos) << size;
  std::string zero = capture_print([] {
    float a[1] = {0}, r[1] = {0};
    qor_fnx_kernel_sError(0, 0, a, a, r, r, "vsExp");
  });
  EXPECT_EQ(zero, "");
}

TEST_F(ErrorRoutine, ExceptBranchRaisesTheMatchingX87Flag) {
  _fnxSetMode(QOR_FNX_ERRMODE_EXCEPT);
  const struct { int code; int flag; } cases[] = {{1, FE_INVALID}, {2, FE_DIVBYZERO}, {3, FE_OVERFLOW}, {4, FE_UNDERFLOW}};
  for (auto c : cases) {
    std::feclearexcept(FE_ALL_EXCEPT);
    float a[1] = {0}, r[1] = {0};
    qor_fnx_kernel_sError(c.code, 0, a, a, r, r, "vsExp");
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT) & (FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW), c.flag)
        << "code " << c.code;
  }
  std::feclearexcept(FE_ALL_EXCEPT);
}

#if defined(__x86_64__)
// qemu's user-mode emulation does not deliver x87 exception traps, so this runs natively only.
void report_with_divbyzero_trap() {
  _fnxSetMode(QOR_FNX_ERRMODE_EXCEPT | QOR_FNX_TRAP_DIVBYZERO);
  float a[1] = {0}, r[1] = {0};
  qor_fnx_kernel_sError(2, 0, a, a, r, r, "vsInv");
  std::exit(0);
}

TEST(ErrorRoutineDeathTest, UnmaskedTrapIsDelivered) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(report_with_divbyzero_trap(), ::testing::KilledBySignal(SIGFPE), "");
}
#endif

}  // namespace
