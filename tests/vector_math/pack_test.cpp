// Pack/unpack kernels against plain loops over raw element bytes, for the four element types,
// both width flags, strides of every sign, repeated indices and masks with high bits only;
// and the entry points, which pass the width flag 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "qor/vm.h"

namespace {

// Element types by size; the kernels of each type, indexed by function.
enum Fn { PackI, PackV, PackM, UnpackI, UnpackV, UnpackM };
constexpr const char* kFnName[] = {"PackI", "PackV", "PackM", "UnpackI", "UnpackV", "UnpackM"};

struct Kernels {
  // All six as one signature: (n, a, y, increment, index/mask array, width)
  void (*call)(Fn, int64_t, const void*, void*, int64_t, const void*, int32_t);
  void (*entry)(Fn, int64_t, const void*, void*, int64_t, const void*);
  size_t bytes;
  const char* name;
};

#define QOR_PACK_KERNELS(t)                                                                       \
  Kernels{[](Fn f, int64_t n, const void* a, void* y, int64_t inc, const void* ix, int32_t w) {   \
            using T = QOR_FNX_T_##t;                                                              \
            auto A = static_cast<const T*>(a);                                                    \
            auto Y = static_cast<T*>(y);                                                          \
            switch (f) {                                                                          \
              case PackI: return qor_fnx_kernel_##t##PackI_PXHAynn(n, A, inc, Y, w);              \
              case PackV: return qor_fnx_kernel_##t##PackV_PXHAynn(n, A, ix, Y, w);               \
              case PackM: return qor_fnx_kernel_##t##PackM_PXHAynn(n, A, ix, Y, w);               \
              case UnpackI: return qor_fnx_kernel_##t##UnpackI_PXHAynn(n, A, Y, inc, w);          \
              case UnpackV: return qor_fnx_kernel_##t##UnpackV_PXHAynn(n, A, Y, ix, w);           \
              case UnpackM: return qor_fnx_kernel_##t##UnpackM_PXHAynn(n, A, Y, ix, w);           \
            }                                                                                     \
          },                                                                                      \
          [](Fn f, int64_t n, const void* a, void* y, int64_t inc, const void* ix) {              \
            using T = QOR_FNX_T_##t;                                                              \
            auto A = static_cast<const T*>(a);                                                    \
            auto Y = static_cast<T*>(y);                                                          \
            switch (f) {                                                                          \
              case PackI: return _fnx##t##PackI(n, A, inc, Y);                                    \
              case PackV: return _fnx##t##PackV_HA(n, A, ix, Y);                                  \
              case PackM: return QOR_FNX_ENTRY_LA_##t(PackM)(n, A, ix, Y);                        \
              case UnpackI: return QOR_FNX_ENTRY_EP_##t(UnpackI)(n, A, Y, inc);                   \
              case UnpackV: return _fnx##t##UnpackV(n, A, Y, ix);                                 \
              case UnpackM: return QOR_FNX_ENTRY_EP_##t(UnpackM)(n, A, Y, ix);                    \
            }                                                                                     \
          },                                                                                      \
          sizeof(QOR_FNX_T_##t), #t}

void PrintTo(const Kernels& k, std::ostream* os) { *os << k.name; }

const Kernels kTypes[] = {QOR_PACK_KERNELS(s), QOR_PACK_KERNELS(d), QOR_PACK_KERNELS(c), QOR_PACK_KERNELS(z)};

// Byte buffers with the element arithmetic of the reference loops.
struct Buf {
  size_t b;
  std::vector<unsigned char> v;
  Buf(size_t bytes, size_t count, std::mt19937& g) : b(bytes), v(bytes * count) {
    for (auto& c : v) c = static_cast<unsigned char>(g());
  }
  unsigned char* at(int64_t i) { return v.data() + i * int64_t(b); }
};

// The reference: the definition, one element at a time. `origin` is the element of the
// strided side that index 0 maps to (so negative increments stay inside the buffer).
void reference(Fn f, int64_t n, Buf& a, Buf& y, int64_t inc, const std::vector<int64_t>& ix, int64_t origin) {
  const size_t B = a.b;
  int64_t j = 0;
  for (int64_t i = 0; i < n; ++i) switch (f) {
      case PackI: std::memcpy(y.at(i), a.at(origin + i * inc), B); break;
      case PackV: std::memcpy(y.at(i), a.at(ix[i]), B); break;
      case PackM: if (ix[i] != 0) std::memcpy(y.at(j++), a.at(i), B); break;
      case UnpackI: std::memcpy(y.at(origin + i * inc), a.at(i), B); break;
      case UnpackV: std::memcpy(y.at(ix[i]), a.at(i), B); break;
      case UnpackM: if (ix[i] != 0) std::memcpy(y.at(i), a.at(j++), B); break;
    }
}

// Index/mask array in the layout of the width flag.
std::vector<unsigned char> layout(const std::vector<int64_t>& ix, bool narrow) {
  std::vector<unsigned char> out(ix.size() * (narrow ? 4 : 8) + 8);
  for (size_t i = 0; i < ix.size(); ++i) {
    if (narrow) {
      const int32_t v = static_cast<int32_t>(ix[i]);
      std::memcpy(out.data() + 4 * i, &v, 4);
    } else {
      std::memcpy(out.data() + 8 * i, &ix[i], 8);
    }
  }
  return out;
}

class PackKernels : public ::testing::TestWithParam<Kernels> {};

TEST_P(PackKernels, MatchReferenceLoopsForEveryLayout) {
  const Kernels k = GetParam();
  std::mt19937 g(1234);
  for (int f = 0; f < 6; ++f)
    for (int32_t width : {1, 0, 2})
      for (int64_t n : {0, 1, 2, 3, 8, 33, -1, -5})
        for (int64_t inc : {1, 2, 3, 0, -1, -3}) {
          const Fn fn = Fn(f);
          const bool strided = fn == PackI || fn == UnpackI;
          if (!strided && inc != 1) continue;
          const int64_t cnt = n > 0 ? n : 0;
          const int64_t span = strided ? cnt * (inc < 0 ? -inc : inc) + 1 : 40;
          const int64_t origin = strided && inc < 0 ? span - 1 : 0;
          const bool packs = fn == PackI || fn == PackV || fn == PackM;
          Buf a(k.bytes, size_t(packs ? span : cnt + 1), g), y(k.bytes, size_t(packs ? cnt + 1 : span), g);
          std::vector<int64_t> ix(static_cast<size_t>(cnt));
          for (auto& v : ix) v = (fn == PackM || fn == UnpackM) ? int64_t(g() % 3 == 0 ? 0 : g() % 5) : int64_t(g() % 40);
          Buf ry = y;
          reference(fn, n, a, ry, inc, ix, origin);
          const std::vector<unsigned char> arr = layout(ix, width == 1);
          const int64_t off = origin * int64_t(k.bytes);
          if (packs)
            k.call(fn, n, a.v.data() + off, y.v.data(), inc, arr.data(), width);
          else
            k.call(fn, n, a.v.data(), y.v.data() + off, inc, arr.data(), width);
          EXPECT_EQ(y.v, ry.v) << k.name << kFnName[f] << " width " << width << " n " << n << " inc " << inc;
        }
}

TEST_P(PackKernels, WidthOneUsesTheSignedLowWordOfCountAndIncrement) {
  const Kernels k = GetParam();
  std::mt19937 g(99);
  const int64_t hi = int64_t(1) << 32;
  Buf a(k.bytes, 16, g), y(k.bytes, 16, g);
  // n = 2^32 + 3 reads as 3; the increment 2^32 + 2 as 2
  Buf want = y;
  reference(PackI, 3, a, want, 2, {}, 0);
  k.call(PackI, hi + 3, a.v.data(), y.v.data(), hi + 2, nullptr, 1);
  EXPECT_EQ(y.v, want.v) << k.name;
  // increment 0xFFFFFFFF reads as -1
  Buf y2 = y, want2 = y;
  reference(UnpackI, 4, a, want2, -1, {}, 10);
  k.call(UnpackI, 4, a.v.data(), y2.at(10), 0xFFFFFFFFLL, nullptr, 1);
  EXPECT_EQ(y2.v, want2.v) << k.name;
  // a count whose low word is negative does nothing, whatever the high word
  const int32_t idx32[4] = {0, 1, 2, 3};
  for (int f = 0; f < 6; ++f) {
    Buf y3 = y;
    k.call(Fn(f), 0x00000000FFFFFFF0LL, a.v.data(), y3.v.data(), 1, idx32, 1);
    k.call(Fn(f), 0x7FFFFFFF80000000LL, a.v.data(), y3.v.data(), 1, idx32, 1);
    EXPECT_EQ(y3.v, y.v) << k.name << kFnName[f];
  }
}

TEST_P(PackKernels, WideMasksTestAllSixtyFourBits) {
  const Kernels k = GetParam();
  std::mt19937 g(7);
  Buf a(k.bytes, 4, g), y(k.bytes, 4, g);
  const int64_t mask[2] = {int64_t(1) << 32, 0};
  Buf y1 = y;
  k.call(PackM, 2, a.v.data(), y1.v.data(), 0, mask, 0);
  EXPECT_EQ(0, std::memcmp(y1.at(0), a.at(0), k.bytes)) << k.name;
  EXPECT_EQ(0, std::memcmp(y1.at(1), y.at(1), k.bytes)) << k.name;
  Buf y2 = y;
  k.call(UnpackM, 2, a.v.data(), y2.v.data(), 0, mask, 0);
  EXPECT_EQ(0, std::memcmp(y2.at(0), a.at(0), k.bytes)) << k.name;
  EXPECT_EQ(0, std::memcmp(y2.at(1), y.at(1), k.bytes)) << k.name;
  // read as 32-bit entries the same memory is {0, 1, 0, 0}
  Buf y3 = y;
  k.call(PackM, 2, a.v.data(), y3.v.data(), 0, mask, 1);
  EXPECT_EQ(0, std::memcmp(y3.at(0), a.at(1), k.bytes)) << k.name;
}

TEST_P(PackKernels, ListedCases) {
  const Kernels k = GetParam();
  std::mt19937 g(5);
  Buf a(k.bytes, 4, g), y(k.bytes, 4, g);
  const int32_t none[3] = {0, 0, 0}, some[3] = {1, 0, 1}, twice[3] = {2, 0, 2};
  Buf y1 = y;  // all-zero mask writes nothing
  k.call(PackM, 3, a.v.data(), y1.v.data(), 0, none, 1);
  EXPECT_EQ(y1.v, y.v);
  k.call(PackM, 3, a.v.data(), y1.v.data(), 0, some, 1);  // {1, 0, 1}: a[0], a[2]
  EXPECT_EQ(0, std::memcmp(y1.at(0), a.at(0), k.bytes));
  EXPECT_EQ(0, std::memcmp(y1.at(1), a.at(2), k.bytes));
  EXPECT_EQ(0, std::memcmp(y1.at(2), y.at(2), k.bytes));
  Buf y2 = y;  // repeated indices: the later element wins
  k.call(UnpackV, 3, a.v.data(), y2.v.data(), 0, twice, 1);
  EXPECT_EQ(0, std::memcmp(y2.at(2), a.at(2), k.bytes));
  EXPECT_EQ(0, std::memcmp(y2.at(0), a.at(1), k.bytes));
  Buf y3 = y;  // increment 0 replicates a[0]
  k.call(PackI, 4, a.v.data(), y3.v.data(), 0, nullptr, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(0, std::memcmp(y3.at(i), a.at(0), k.bytes)) << i;
}

// Signalling NaNs and NaN payloads arrive bit for bit (a float register would quiet them).
TEST_P(PackKernels, NaNPayloadsAreCopiedExactly) {
  const Kernels k = GetParam();
  const uint32_t f[] = {0x7F800001u, 0xFFA00005u, 0x7FC12345u, 0x00000001u, 0x80000000u, 0x7FBFFFFFu};
  const uint64_t d[] = {0x7FF0000000000001ull, 0xFFF4000000000abcull, 0x7FF8DEADBEEF0001ull,
                        0x0000000000000001ull, 0x8000000000000000ull, 0x7FF7FFFFFFFFFFFFull};
  std::vector<unsigned char> a(6 * k.bytes);
  for (size_t i = 0; i < a.size(); i += 4) std::memcpy(&a[i], &f[(i / 4) % 6], 4);
  if (k.name[0] == 'd' || k.name[0] == 'z')
    for (size_t i = 0; i < a.size(); i += 8) std::memcpy(&a[i], &d[(i / 8) % 6], 8);
  const int32_t all[6] = {1, 1, 1, 1, 1, 1}, rev[6] = {5, 4, 3, 2, 1, 0};
  for (int fn = 0; fn < 6; ++fn) {
    std::vector<unsigned char> y(a.size(), 0), back(a.size(), 0);
    const void* ix = (fn == PackV || fn == UnpackV) ? static_cast<const void*>(rev) : all;
    k.call(Fn(fn), 6, a.data(), y.data(), 1, ix, 1);
    k.call(Fn(fn), 6, y.data(), back.data(), 1, ix, 1);  // the reversal undoes itself
    EXPECT_EQ(back, a) << k.name << kFnName[fn];
  }
}

// The entry points take four arguments and always pass the width flag 1.
TEST_P(PackKernels, EntryPointsPassWidthOne) {
  const Kernels k = GetParam();
  std::mt19937 g(3);
  const int64_t hi = int64_t(1) << 32;
  const int32_t idx[3] = {2, 0, 1}, mask[3] = {0, 1, 1};
  std::vector<int64_t> idx64 = {2, 0, 1}, mask64 = {0, 1, 1};
  for (int f = 0; f < 6; ++f) {
    const Fn fn = Fn(f);
    const bool idxd = fn == PackV || fn == UnpackV;
    Buf a(k.bytes, 8, g), y(k.bytes, 8, g);
    Buf want = y;
    reference(fn, 3, a, want, 2, idxd ? idx64 : mask64, 0);
    k.entry(fn, hi + 3, a.v.data(), y.v.data(), hi + 2, idxd ? idx : mask);
    EXPECT_EQ(y.v, want.v) << k.name << kFnName[f];
  }
}

INSTANTIATE_TEST_SUITE_P(Types, PackKernels, ::testing::ValuesIn(kTypes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
