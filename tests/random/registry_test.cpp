// The generator registry: identifier decoding, validity, properties and registration.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "rng_test_util.h"

namespace {

struct IdCase {
  int32_t id;
  bool legacy;
  int32_t row, member;
  bool valid;
};
std::ostream& operator<<(std::ostream& o, const IdCase& c) { return o << std::hex << "0x" << c.id; }

class Identifiers : public ::testing::TestWithParam<IdCase> {};
TEST_P(Identifiers, DecodeAndValidate) {
  const IdCase& c = GetParam();
  int32_t row = -7, member = -7;
  const BrngProperties* t = __hoxGetBrngBaseOffset(c.id, &row, &member);
  int32_t r0 = 0, m0 = 0;
  const BrngProperties* current = __hoxGetBrngBaseOffset(HOX_BRNG_MCG31, &r0, &m0);
  EXPECT_EQ(t != current, c.legacy);
  EXPECT_EQ(row, c.row);
  EXPECT_EQ(member, c.member);
  EXPECT_EQ(__hoxIsBrngValid(t, row, member), c.valid ? 0 : HOX_ERR_INVALID_BRNG);
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(c.id, &p), c.valid ? 0 : HOX_ERR_INVALID_BRNG);
}
INSTANTIATE_TEST_SUITE_P(
    Registry, Identifiers,
    ::testing::Values(IdCase{0x100000, false, 0, 0, true}, IdCase{0x100001, false, 0, 1, false},
                      IdCase{0x500000 + 272, false, 4, 272, true}, IdCase{0x500000 + 273, false, 4, 273, false},
                      IdCase{0x900000 + 6023, false, 8, 6023, true}, IdCase{0x900000 + 6024, false, 8, 6024, false},
                      IdCase{0x1000000, false, 15, 0, true}, IdCase{0x7FF00000, false, 2046, 0, false},
                      IdCase{0, true, 0, 0, true}, IdCase{3, true, 3, 0, true}, IdCase{4, true, 4, 0, true},
                      IdCase{10, true, 4, 6, true}, IdCase{276, true, 4, 272, true},
                      IdCase{277, true, 277, 0, true}, IdCase{278, true, 278, 0, true},
                      IdCase{279, true, 279, 0, false}, IdCase{0xFFFFF, true, 0xFFFFF, 0, false},
                      IdCase{-1, true, -1, 0, false}, IdCase{int32_t(0x80000000), true, int32_t(0x80000000), 0, false}));

struct Numbers {
  int32_t stateBytes, seedWords, mayReturnZero, wordBytes, outputBits;
};
struct RowCase {
  int32_t id;
  Numbers p;
};
class BuiltInRows : public ::testing::TestWithParam<RowCase> {};
TEST_P(BuiltInRows, ReportTheirProperties) {
  BrngProperties p{};
  ASSERT_EQ(__hoxGetBrngProperties(GetParam().id, &p), 0);
  const Numbers& e = GetParam().p;
  EXPECT_EQ(p.stateBytes, e.stateBytes);
  EXPECT_EQ(p.seedWords, e.seedWords);
  EXPECT_EQ(p.mayReturnZero, e.mayReturnZero);
  EXPECT_EQ(p.wordBytes, e.wordBytes);
  EXPECT_EQ(p.outputBits, e.outputBits);
}
// Legacy identifiers reach the rows of their generators (and member identifiers their family).
INSTANTIATE_TEST_SUITE_P(Registry, BuiltInRows,
                         ::testing::Values(RowCase{0, {24, 1, 0, 4, 31}},      // MCG31M1
                                           RowCase{2, {40, 6, 1, 4, 32}},      // MRG32K3A
                                           RowCase{150, {48, 4, 1, 16, 24}},   // Wichmann-Hill
                                           RowCase{277, {11712, 2604, 0, 4, 32}},  // Sobol
                                           RowCase{HOX_BRNG_WH + 17, {48, 4, 1, 16, 24}},
                                           RowCase{HOX_BRNG_NIEDERREITER, {84288, 10498, 0, 4, 32}}));

TEST(Registry, BuiltInGeneratorsOfThisBuildHaveAllFourFunctions) {
  for (int32_t id : {HOX_BRNG_MCG31, HOX_BRNG_MRG32K3A, HOX_BRNG_MCG59, HOX_BRNG_IABSTRACT, HOX_BRNG_DABSTRACT,
                     HOX_BRNG_SABSTRACT, 0, 2, 3}) {
    BrngProperties p{};
    ASSERT_EQ(__hoxGetBrngProperties(id, &p), 0);
    EXPECT_TRUE(p.InitStream && p.sBRng && p.dBRng && p.iBRng) << id;
  }
}

// A generator of our own: MCG31M1's functions behind a new row, with a larger record.
BrngProperties mcg31_like() {
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(HOX_BRNG_MCG31, &p), 0);
  p.stateBytes = 64;
  return p;
}

// Registration is process-wide and permanent, so this is the only test that registers.
TEST(Registry, RegistrationChecksInOrderThenAppendsRows) {
  if (__hoxGetNumRegBrngs() != 16) GTEST_SKIP() << "the registry was filled earlier in this process";
  BrngProperties p{};
  EXPECT_EQ(__hoxGetBrngProperties(0x1100000, &p), HOX_ERR_INVALID_BRNG);
  HoxStream s = nullptr;
  EXPECT_EQ(__hoxNewStreamEx(&s, 0x1100000, 0, nullptr), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(s, nullptr);

  // Each check fires with every later field also wrong; the first failing one decides.
  BrngProperties bad = mcg31_like();
  bad.stateBytes = -1, bad.wordBytes = 12, bad.seedWords = 0, bad.outputBits = 0, bad.iBRng = nullptr;
  EXPECT_EQ(__hoxRegisterBrng(&bad), HOX_ERR_REG_STATE_SIZE);
  bad.stateBytes = 0;
  EXPECT_EQ(__hoxRegisterBrng(&bad), HOX_ERR_REG_WORD_SIZE);
  bad.wordBytes = 16;
  EXPECT_EQ(__hoxRegisterBrng(&bad), HOX_ERR_REG_SEED_COUNT);
  bad.seedWords = 1;
  EXPECT_EQ(__hoxRegisterBrng(&bad), HOX_ERR_REG_BIT_COUNT);
  bad.outputBits = 1;
  EXPECT_EQ(__hoxRegisterBrng(&bad), HOX_ERR_NULL_POINTER);
  for (int slot = 0; slot < 4; ++slot) {
    BrngProperties q = mcg31_like();
    if (slot == 0) q.InitStream = nullptr;
    if (slot == 1) q.sBRng = nullptr;
    if (slot == 2) q.dBRng = nullptr;
    if (slot == 3) q.iBRng = nullptr;
    EXPECT_EQ(__hoxRegisterBrng(&q), HOX_ERR_NULL_POINTER) << slot;
  }
  BrngProperties w12 = mcg31_like();
  w12.wordBytes = 12;
  EXPECT_EQ(__hoxRegisterBrng(&w12), HOX_ERR_REG_WORD_SIZE);
  EXPECT_EQ(__hoxGetNumRegBrngs(), 16);

  const BrngProperties mine = mcg31_like();
  ASSERT_EQ(__hoxRegisterBrng(&mine), 0x1100000);
  ASSERT_EQ(__hoxRegisterBrng(&mine), 0x1200000);
  EXPECT_EQ(__hoxGetNumRegBrngs(), 18);
  ASSERT_EQ(__hoxGetBrngProperties(0x1100000, &p), 0);
  EXPECT_EQ(p.stateBytes, 64);
  EXPECT_EQ(__hoxGetBrngProperties(0x1100001, &p), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(__hoxGetBrngProperties(0x1300000, &p), HOX_ERR_INVALID_BRNG);

  // Streams of the new row dispatch to its functions: the MCG31M1 sequence.
  const uint32_t seed = 1;
  ASSERT_EQ(__hoxNewStreamEx(&s, 0x1200000, 1, &seed), 0);
  EXPECT_EQ(__hoxGetStreamStateBrng(s), 0x1200000);
  uint32_t w[2];
  ASSERT_EQ(_hoxiRngUniformBits(0, s, 2, w), 0);
  EXPECT_EQ(w[1], 1132489760u);
  EXPECT_EQ(_hoxiRngUniformBits32(0, s, 2, w), HOX_ERR_BITS32_UNSUPPORTED);  // registered rows never
  __hoxDeleteStream(&s);

  // A generator whose seeded part (100 words of 16 bytes) is larger than other generators'
  // states: a state copy into an MCG59 stream takes only the 16 bytes that stream holds.
  BrngProperties wide = mcg31_like();
  wide.stateBytes = 16 + 1600, wide.wordBytes = 16, wide.seedWords = 100;
  ASSERT_EQ(__hoxRegisterBrng(&wide), 0x1300000);
  ASSERT_EQ(__hoxNewStreamEx(&s, 0x1300000, 1, &seed), 0);
  std::memset(static_cast<unsigned char*>(s) + 16, 0xA5, 1600);
  HoxStream narrow = nullptr;
  ASSERT_EQ(__hoxNewStreamEx(&narrow, HOX_BRNG_MCG59, 1, &seed), 0);
  ASSERT_EQ(__hoxCopyStreamState(narrow, s), 0);
  const std::vector<unsigned char> a5(16, 0xA5);
  EXPECT_EQ(std::memcmp(static_cast<unsigned char*>(narrow) + 16, a5.data(), 16), 0);
  EXPECT_EQ(__hoxGetStreamStateBrng(narrow), HOX_BRNG_MCG59);
  __hoxDeleteStream(&narrow);
  __hoxDeleteStream(&s);

  // The table holds 512 rows; the next registration is refused.
  for (int k = 19; k < 512; ++k) ASSERT_EQ(__hoxRegisterBrng(&mine), (k + 1) << 20);
  EXPECT_EQ(__hoxRegisterBrng(&mine), HOX_ERR_REG_TABLE_FULL);
  EXPECT_EQ(__hoxGetNumRegBrngs(), 512);
}

}  // namespace
