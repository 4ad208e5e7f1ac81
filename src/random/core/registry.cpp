// The generator registry: the current table (16 built-in rows, then registered ones) and the
// legacy table, identifier decoding, properties and registration.
//
// The built-in rows come from generators.def: each row's sizes and, for generators that are
// part of the library, its four functions.
#include <array>

#include "random/core/abstract.h"
#include "random/core/stream.h"

#define QOR_BRNG_DECL_0(Name)
#define QOR_BRNG_DECL_1(Name)                                                                       \
  extern "C" int32_t __hoxBRng##Name##InitStream(int32_t, HoxStream, int32_t, const uint32_t*);    \
  extern "C" int32_t __hoxsBRng##Name(HoxStream, int32_t, float*, float, float);                   \
  extern "C" int32_t __hoxdBRng##Name(HoxStream, int32_t, double*, double, double);                \
  extern "C" int32_t __hoxiBRng##Name(HoxStream, int32_t, uint32_t*);
#define QOR_BRNG(row, Name, bytes, seeds, zero, word, bits, members, built, ubits, cli) QOR_BRNG_DECL_##built(Name)
#include "random/core/generators.def"
#undef QOR_BRNG

namespace qor::rng {
namespace {

constexpr int kTableRows = 512;
constexpr int kBuiltInRows = 16;
constexpr int kLegacyRows = 279;  // 0 MCG31M1, 1 R250, 2 MRG32K3A, 3 MCG59, 4..276 WH, 277, 278

#define QOR_BRNG_FNS_0(Name) nullptr, nullptr, nullptr, nullptr
#define QOR_BRNG_FNS_1(Name) __hoxBRng##Name##InitStream, __hoxsBRng##Name, __hoxdBRng##Name, __hoxiBRng##Name
#define QOR_BRNG(row, Name, bytes, seeds, zero, word, bits, members, built, ubits, cli) \
  BrngProperties{bytes, seeds, zero, word, bits, QOR_BRNG_FNS_##built(Name)},
constexpr std::array<BrngProperties, kBuiltInRows> kBuiltIn = {{
#include "random/core/generators.def"
}};
#undef QOR_BRNG
#define QOR_BRNG(row, Name, bytes, seeds, zero, word, bits, members, built, ubits, cli) members,
constexpr std::array<int32_t, kBuiltInRows> kMembers = {{
#include "random/core/generators.def"
}};
#undef QOR_BRNG

constexpr std::array<BrngProperties, kTableRows> make_current() {
  std::array<BrngProperties, kTableRows> t{};
  for (int i = 0; i < kBuiltInRows; ++i) t[i] = kBuiltIn[i];
  return t;
}
constexpr std::array<int32_t, kTableRows> make_offsets() {
  std::array<int32_t, kTableRows> t{};
  for (int i = 0; i < kBuiltInRows; ++i) t[i] = kMembers[i];
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
  return s ? row_of_id(header(s)->brng, row_index) : nullptr;
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
  if (!properties) return HOX_ERR_BAD_ARGUMENT;  // after the identifier: the first failing check decides
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

// A null stream has no identifier: HOX_ERR_INVALID_BRNG, which no identifier equals.
extern "C" QOR_API int32_t __hoxGetStreamStateBrng(HoxStream stream) {
  return stream ? header(stream)->brng : HOX_ERR_INVALID_BRNG;
}
