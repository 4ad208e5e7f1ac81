// The generator registry: the current table (16 built-in rows, then registered ones) and the
// legacy table, identifier decoding, properties and registration.
//
// A row binds a generator's four functions by name. Generators are separate sources under
// src/random/generators/; the rows refer to them weakly, so a row whose generator is not part
// of the build has null functions and no stream of it can be created.
#include <array>

#include "random/core/abstract.h"
#include "random/core/stream.h"

#define QOR_WEAK_GENERATOR(Name)                                                                   \
  extern "C" int32_t __hoxBRng##Name##InitStream(int32_t, HoxStream, int32_t, const uint32_t*)    \
      __attribute__((weak));                                                                       \
  extern "C" int32_t __hoxsBRng##Name(HoxStream, int32_t, float*, float, float) __attribute__((weak)); \
  extern "C" int32_t __hoxdBRng##Name(HoxStream, int32_t, double*, double, double)                \
      __attribute__((weak));                                                                       \
  extern "C" int32_t __hoxiBRng##Name(HoxStream, int32_t, uint32_t*) __attribute__((weak));
QOR_WEAK_GENERATOR(R250)
QOR_WEAK_GENERATOR(WH)
QOR_WEAK_GENERATOR(Sobol)
QOR_WEAK_GENERATOR(Niederr)
QOR_WEAK_GENERATOR(MT19937)
QOR_WEAK_GENERATOR(MT2203)
QOR_WEAK_GENERATOR(SFMT19937)
QOR_WEAK_GENERATOR(TRNG)
QOR_WEAK_GENERATOR(ARS5)
QOR_WEAK_GENERATOR(PHILOX4X32X10)
#undef QOR_WEAK_GENERATOR
// The abstract rows live in core/abstract.cpp.
#define QOR_GENERATOR(Name)                                                                        \
  extern "C" int32_t __hoxBRng##Name##InitStream(int32_t, HoxStream, int32_t, const uint32_t*);   \
  extern "C" int32_t __hoxsBRng##Name(HoxStream, int32_t, float*, float, float);                  \
  extern "C" int32_t __hoxdBRng##Name(HoxStream, int32_t, double*, double, double);               \
  extern "C" int32_t __hoxiBRng##Name(HoxStream, int32_t, uint32_t*);
QOR_GENERATOR(iAbstract)
QOR_GENERATOR(dAbstract)
QOR_GENERATOR(sAbstract)
#undef QOR_GENERATOR

namespace qor::rng {
namespace {

constexpr int kTableRows = 512;
constexpr int kBuiltInRows = 16;
constexpr int kLegacyRows = 279;  // 0 MCG31M1, 1 R250, 2 MRG32K3A, 3 MCG59, 4..276 WH, 277, 278

#define ROW(bytes, seeds, zero, word, bits, Name) \
  BrngProperties { bytes, seeds, zero, word, bits, __hoxBRng##Name##InitStream, __hoxsBRng##Name, \
                   __hoxdBRng##Name, __hoxiBRng##Name }

constexpr std::array<BrngProperties, kBuiltInRows> kBuiltIn = {{
    ROW(24, 1, 0, 4, 31, MCG31M1),
    ROW(1024, 252, 1, 4, 32, R250),
    ROW(40, 6, 1, 4, 32, MRG32K3A),
    ROW(32, 1, 0, 8, 59, MCG59),
    ROW(48, 4, 1, 16, 24, WH),
    ROW(11712, 2604, 0, 4, 32, Sobol),
    ROW(84288, 10498, 0, 4, 32, Niederr),
    ROW(2516, 625, 1, 4, 32, MT19937),
    ROW(308, 70, 1, 4, 32, MT2203),
    ROW(kIAbstractBytes, 0, 1, 4, 32, iAbstract),
    ROW(kDAbstractBytes, 0, 1, 4, 32, dAbstract),
    ROW(kSAbstractBytes, 0, 1, 4, 32, sAbstract),
    ROW(2536, 625, 1, 4, 32, SFMT19937),
    ROW(24, 1, 0, 4, 32, TRNG),
    ROW(68, 8, 1, 4, 32, ARS5),
    ROW(60, 8, 1, 4, 32, PHILOX4X32X10),
}};
#undef ROW

constexpr std::array<BrngProperties, kTableRows> make_current() {
  std::array<BrngProperties, kTableRows> t{};
  for (int i = 0; i < kBuiltInRows; ++i) t[i] = kBuiltIn[i];
  return t;
}
constexpr std::array<int32_t, kTableRows> make_offsets() {
  std::array<int32_t, kTableRows> t{};
  for (int i = 0; i < kBuiltInRows; ++i) t[i] = 1;
  t[4] = 273;   // Wichmann-Hill members
  t[8] = 6024;  // MT2203 members
  return t;
}
constexpr std::array<BrngProperties, kTableRows> make_legacy() {
  std::array<BrngProperties, kTableRows> t{};
  t[0] = kBuiltIn[0];
  t[1] = kBuiltIn[1];
  t[2] = kBuiltIn[2];
  t[3] = kBuiltIn[3];
  for (int i = 4; i <= 276; ++i) t[i] = kBuiltIn[4];
  t[277] = kBuiltIn[5];
  t[278] = kBuiltIn[6];
  return t;
}

}  // namespace

// Process-wide tables. Registration writes a row and then the count, without a lock.
// All of it is constant-initialised (no start-up code runs).
constinit std::array<BrngProperties, kTableRows> g_current = make_current();
constinit const std::array<BrngProperties, kTableRows> g_legacy = make_legacy();
constinit std::array<int32_t, kTableRows> NumOffsets = make_offsets();
constinit int32_t NRegBrngsNew = kBuiltInRows;

const BrngProperties* row_of_id(int32_t brng, int32_t* row_index) {
  int32_t row = 0, member = 0;
  const BrngProperties* table = __hoxGetBrngBaseOffset(brng, &row, &member);
  if (__hoxIsBrngValid(table, row, member) != 0) return nullptr;
  if (row_index) *row_index = row;
  return &table[row];
}

const BrngProperties* row_of_stream(HoxStream s, int32_t* row_index) {
  return row_of_id(header(s)->brng, row_index);
}

}  // namespace qor::rng

using namespace qor::rng;

extern "C" QOR_API const BrngProperties* __hoxGetBrngBaseOffset(int32_t brng, int32_t* row,
                                                               int32_t* member) {
  if (brng >= HOX_BRNG_INC) {
    *row = (brng >> 20) - 1;
    *member = brng & 0xFFFFF;
    return g_current.data();
  }
  if (brng >= 4 && brng <= 276) {
    *row = 4;
    *member = brng - 4;
  } else {
    *row = brng;
    *member = 0;
  }
  return g_legacy.data();
}

extern "C" QOR_API int32_t __hoxIsBrngValid(const BrngProperties* table, int32_t row, int32_t member) {
  if (row < 0 || member < 0) return HOX_ERR_INVALID_BRNG;
  if (table == g_legacy.data()) return row < kLegacyRows ? 0 : HOX_ERR_INVALID_BRNG;
  if (table == g_current.data())
    return (row < NRegBrngsNew && member < NumOffsets[row]) ? 0 : HOX_ERR_INVALID_BRNG;
  return HOX_ERR_INVALID_BRNG;
}

extern "C" QOR_API int32_t __hoxGetBrngProperties(int32_t brng, BrngProperties* properties) {
  const BrngProperties* r = row_of_id(brng);
  if (!r) return HOX_ERR_INVALID_BRNG;
  *properties = *r;
  return 0;
}

extern "C" QOR_API int32_t __hoxGetNumRegBrngs(void) { return NRegBrngsNew; }

extern "C" QOR_API int32_t __hoxRegisterBrng(const BrngProperties* p) {
  if (!p) return HOX_ERR_NULL_POINTER;
  if (p->stateBytes < 0) return HOX_ERR_REG_STATE_SIZE;
  if (p->wordBytes != 4 && p->wordBytes != 8 && p->wordBytes != 16) return HOX_ERR_REG_WORD_SIZE;
  if (p->seedWords < 1) return HOX_ERR_REG_SEED_COUNT;
  if (p->outputBits < 1) return HOX_ERR_REG_BIT_COUNT;
  if (!p->dBRng || !p->sBRng || !p->iBRng || !p->InitStream) return HOX_ERR_NULL_POINTER;
  const int32_t k = NRegBrngsNew;
  if (k >= kTableRows) return HOX_ERR_REG_TABLE_FULL;
  NumOffsets[k] = 1;
  g_current[k] = *p;
  NRegBrngsNew = k + 1;
  return (k << 20) + HOX_BRNG_INC;
}

extern "C" QOR_API int32_t __hoxGetStreamStateBrng(HoxStream stream) { return header(stream)->brng; }
