// MCG59: x(k+1) = a * x(k) mod 2^59, a = 13^13; output x * 2^-59.
//
// The stream outputs its current x and then advances. Blocks run 4 independent lanes, each
// multiplied by a^4 per pass (64-bit products, low 59 bits kept). Outputs are 64-bit words
// (Word64: two 32-bit words each; doubles correctly rounded from hi * 2^32 + lo).
#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint64_t kMask = (uint64_t(1) << 59) - 1;
constexpr uint64_t kA = 302875106592253ull;  // 13^13

struct State {
  uint64_t x;  // current value, 0 < x < 2^59
  uint64_t a;  // current multiplier
  using Word = Word64;
  static constexpr double kScale = 0x1p-59;
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 32);

inline uint64_t mulmod(uint64_t a, uint64_t x) { return (a * x) & kMask; }

uint64_t powmod(uint64_t base, uint64_t e) {
  return power(base & kMask, e, [](uint64_t p, uint64_t q) { return mulmod(p, q); });
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  if (n <= 0) return;
  const uint64_t a = st->a;
  uint64_t x = st->x;
  int32_t i = 0;
  if (n >= 8) {
    const uint64_t a4 = powmod(a, 4);
    uint64_t x0 = x, x1 = mulmod(a, x0), x2 = mulmod(a, x1), x3 = mulmod(a, x2);
    for (; n - i >= 4; i += 4) {
      out.one(i, x0);
      out.one(i + 1, x1);
      out.one(i + 2, x2);
      out.one(i + 3, x3);
      x0 = mulmod(a4, x0);
      x1 = mulmod(a4, x1);
      x2 = mulmod(a4, x2);
      x3 = mulmod(a4, x3);
    }
    x = x0;
  }
  for (; i < n; ++i) {
    out.one(i, x);
    x = mulmod(a, x);
  }
  st->x = x;
}

int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  return mcg_init(method, st, n, params, kA,
                  [](int32_t n, const uint32_t* p) {
                    uint64_t x = 0;
                    if (n >= 1) x = p[0];
                    if (n >= 2) x |= uint64_t(p[1] & 0x7FFFFFF) << 32;
                    return x;
                  },
                  mulmod, powmod);
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

extern "C" QOR_API uint64_t __hoxiPowMod2P59(uint32_t b_lo, uint32_t b_hi, uint32_t e_lo, uint32_t e_hi) {
  return powmod((uint64_t(b_hi & 0x7FFFFFF) << 32) | b_lo, (uint64_t(e_hi) << 32) | e_lo);
}

QOR_BRNG_EXPORTS(MCG59, State, generate, init)
