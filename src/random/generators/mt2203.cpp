// MT2203: a family of 6024 Mersenne twisters with 69 words (period 2^2203 - 1 each), middle
// word 34, upper/lower split 0xFFFFFFE0 / 0x0000001F, tempering shift 12, and per member a
// twist word a and tempering masks b, c from `_hox_mt2203_table` (row = identifier - 0x900000).
// Seeding is the reference array initialisation over 69 words; the member's parameters are
// copied into the state. No leapfrog, no skip-ahead.
//
// The table: rows 0-2 are the published parameter sets; the others come from the
// Dynamic-Creator-style search of tools/mt2203_search.cpp (mt2203_table.inc, generated data).
// All 6024 rows are filled; a row of zeros (never shipped) would make seeding that member fail with
// HOX_ERR_INVALID_BRNG.
#include "random/generators/twister.h"

namespace qor::rng {
namespace {

using Shape = twister::Shape<69, 34, 0xFFFFFFE0u, 12>;
constexpr int kN = Shape::n;

struct State {
  uint32_t mt[kN];
  uint32_t index;  // words of the block already used; 69: regenerate first
  uint32_t a, b, c;
  using Word = Word32;
  static constexpr double kScale = 0x1p-32;
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 308);

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  twister::generate<Shape>(st->mt, &st->index, twister::Masks{st->a, st->b, st->c}, n, out);
}

}  // namespace
}  // namespace qor::rng

extern "C" QOR_API const uint32_t _hox_mt2203_table[6024][3] = {
#include "random/generators/mt2203_table.inc"
};

namespace qor::rng {
namespace {

// Seeds the member's state; the member number comes from the stream header in front of the state.
int32_t seed(State* st, int32_t n, const uint32_t* params) {
  if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
  const int32_t brng = reinterpret_cast<const StreamHeader*>(reinterpret_cast<const unsigned char*>(st) -
                                                             sizeof(StreamHeader))->brng;
  const int32_t member = brng & 0xFFFFF;
  if (member >= 6024 || _hox_mt2203_table[member][0] == 0) return HOX_ERR_INVALID_BRNG;
  twister::seed_by_array<kN>(st->mt, n, params);
  st->index = kN;
  st->a = _hox_mt2203_table[member][0];
  st->b = _hox_mt2203_table[member][1];
  st->c = _hox_mt2203_table[member][2];
  return 0;
}

int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  return seed_only_init(method, [=] { return seed(st, n, params); });
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_BRNG_EXPORTS(MT2203, State, generate, init)
