// Function tables and entry points: the exported set matches the function list, every entry
// point reaches its slot, and a slot rewritten at run time takes effect at once.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qor/vm.h"

namespace {

struct Row {
  std::string type, func;
  std::vector<std::string> kernels;
  bool built;
};

#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) \
  Row{#t, #F, {#la, #ha, #ep}, built != 0},
const std::vector<Row> kRows = {
#include "qor/functions.def"
};
#undef QOR_FN

std::vector<std::string> exported_names(const Row& r) {
  const bool single = r.type == "s" || r.type == "c";
  const std::string base = r.type + r.func;
  std::vector<std::string> names = {"qor_fnx_kernel_" + base + "_ttab", "qor_fnx_kernel_" + base + "_ctab",
                                    "_fnx" + base, "_fnx" + base + "_HA",
                                    "_fnx" + base + (single ? "_21" : "_50"),
                                    "_fnx" + base + (single ? "_11" : "_26")};
  for (const auto& k : r.kernels) names.push_back("qor_fnx_kernel_" + base + "_" + k);
  return names;
}

TEST(FunctionList, HasEveryFunctionOnce) {
  EXPECT_EQ(kRows.size(), 232u);
  int per_type[4] = {};
  for (const Row& r : kRows) per_type[std::string("sdcz").find(r.type)]++;
  EXPECT_EQ(per_type[0], 83);
  EXPECT_EQ(per_type[1], 83);
  EXPECT_EQ(per_type[2], 33);
  EXPECT_EQ(per_type[3], 33);
}

TEST(FunctionList, SharedLibraryExportsExactlyTheBuiltRows) {
  void* lib = dlopen(QOR_SHARED_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  int built = 0;
  for (const Row& r : kRows) {
    built += r.built;
    for (const auto& name : exported_names(r)) {
      const bool present = dlsym(lib, name.c_str()) != nullptr;
      EXPECT_EQ(present, r.built) << name;
    }
    if (r.built) {
      // The cost table sits right after the three slots of the function table.
      auto* ttab = static_cast<char*>(dlsym(lib, ("qor_fnx_kernel_" + r.type + r.func + "_ttab").c_str()));
      auto* ctab = static_cast<char*>(dlsym(lib, ("qor_fnx_kernel_" + r.type + r.func + "_ctab").c_str()));
      if (!ttab || !ctab) continue;  // already reported as missing
      EXPECT_EQ(ctab - ttab, static_cast<long>(3 * sizeof(void*))) << r.func;
      const float* cost = reinterpret_cast<const float*>(ctab);
      for (int s = 0; s < 3; ++s) EXPECT_GT(cost[s], 0.0f) << r.func;
    }
  }
  EXPECT_GE(built, 52);
  dlclose(lib);
}

TEST(FunctionTable, PublishedCostFigures) {
  EXPECT_EQ(qor_fnx_kernel_sCeil_ctab[0], 2.25f);
  EXPECT_EQ(qor_fnx_kernel_sCeil_ctab[2], 2.25f);
  EXPECT_EQ(qor_fnx_kernel_sPackI_ctab[1], 1111.0f);
}

TEST(FunctionTable, SlotsHoldTheirKernels) {
  EXPECT_EQ(qor_fnx_kernel_sCeil_ttab[0], &qor_fnx_kernel_sCeil_W7HAynn);
  EXPECT_EQ(qor_fnx_kernel_sCeil_ttab[1], &qor_fnx_kernel_sCeil_W7HAynn);
  EXPECT_EQ(qor_fnx_kernel_sCeil_ttab[2], &qor_fnx_kernel_sCeil_W7HAynn);
  EXPECT_EQ(qor_fnx_kernel_dAdd_ttab[1], &qor_fnx_kernel_dAdd_V8HAynn);
  EXPECT_EQ(qor_fnx_kernel_zPackM_ttab[2], &qor_fnx_kernel_zPackM_PXHAynn);
}

// Fake kernels recording which slot an entry point jumped through.
int g_slot_hit = -1;
void fake_la(int32_t, const float*, float* r) { g_slot_hit = 0; r[0] = 0; }
void fake_ha(int32_t, const float*, float* r) { g_slot_hit = 1; r[0] = 1; }
void fake_ep(int32_t, const float*, float* r) { g_slot_hit = 2; r[0] = 2; }
void fake_d(int32_t n, const double* a, const double* b, double* r) { g_slot_hit = 10 + n; r[0] = a[0] * b[0]; }

TEST(EntryPoints, EachReachesItsSlotAndRewritesTakeEffectAtOnce) {
  auto saved = qor_fnx_kernel_sFloor_ttab;
  auto* tab = qor_fnx_kernel_sFloor_ttab;
  auto s0 = tab[0], s1 = tab[1], s2 = tab[2];
  tab[0] = fake_la;
  tab[1] = fake_ha;
  tab[2] = fake_ep;
  float a[1] = {0.5f}, r[1] = {-1};
  _fnxsFloor_21(1, a, r);
  EXPECT_EQ(g_slot_hit, 0);
  _fnxsFloor(1, a, r);
  EXPECT_EQ(g_slot_hit, 1);
  _fnxsFloor_HA(1, a, r);
  EXPECT_EQ(g_slot_hit, 1);
  _fnxsFloor_11(1, a, r);
  EXPECT_EQ(g_slot_hit, 2);
  tab[0] = s0;
  tab[1] = s1;
  tab[2] = s2;
  (void)saved;
  _fnxsFloor_21(1, a, r);
  EXPECT_EQ(r[0], 0.0f);

  auto d0 = qor_fnx_kernel_dMul_ttab[0];
  qor_fnx_kernel_dMul_ttab[0] = fake_d;
  double x[1] = {3}, y[1] = {4}, z[1] = {0};
  _fnxdMul_50(5, x, y, z);  // arguments arrive unchanged
  EXPECT_EQ(g_slot_hit, 15);
  EXPECT_EQ(z[0], 12.0);
  _fnxdMul_26(1, x, y, z);  // EP slot untouched: the real kernel
  EXPECT_EQ(z[0], 12.0);
  EXPECT_EQ(g_slot_hit, 15);
  qor_fnx_kernel_dMul_ttab[0] = d0;
}

int64_t g_pack_flag = -1;
void fake_pack(int64_t n, const double*, int64_t, double*, int32_t width) { g_pack_flag = width + 100 * n; }

TEST(EntryPoints, PackEntryPointsPassWidthFlagOne) {
  auto s1 = qor_fnx_kernel_dPackI_ttab[1];
  qor_fnx_kernel_dPackI_ttab[1] = fake_pack;
  double a[1] = {0}, y[1] = {0};
  _fnxdPackI(3, a, 1, y);
  EXPECT_EQ(g_pack_flag, 301);
  qor_fnx_kernel_dPackI_ttab[1] = s1;
}

}  // namespace
