// MCG59: x(k+1) = a * x(k) mod 2^59, a = 13^13; output x * 2^-59.
//
// The stream outputs its current x and then advances. Blocks run 4 independent lanes, each
// multiplied by a^4 per pass (64-bit products, low 59 bits kept). A 59-bit integer becomes a
// double as hi * 2^32 + lo, both halves converted by the exponent-bias trick, so the sum is
// the correctly rounded value of x (one rounding, the same in every path).
#include <emmintrin.h>

#include "random/core/stream.h"
#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint64_t kMask = (uint64_t(1) << 59) - 1;
constexpr uint64_t kA = 302875106592253ull;  // 13^13

struct State {
  uint64_t x;  // current value, 0 < x < 2^59
  uint64_t a;  // current multiplier
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 32);

inline uint64_t mulmod(uint64_t a, uint64_t x) { return (a * x) & kMask; }

uint64_t powmod(uint64_t base, uint64_t e) {
  uint64_t r = 1, b = base & kMask;
  while (e) {
    if (e & 1) r = mulmod(r, b);
    b = mulmod(b, b);
    e >>= 1;
  }
  return r;
}

inline double to_double(uint64_t x) {
  return u52_to_double(x >> 32) * 0x1p32 + u52_to_double(x & 0xFFFFFFFFu);
}

struct Words64 {
  uint32_t* r;
  void put(int32_t i, uint64_t x) const {
    r[2 * i] = static_cast<uint32_t>(x);
    r[2 * i + 1] = static_cast<uint32_t>(x >> 32);
  }
};
struct Doubles {
  double* r;
  double c, a;
  void put(int32_t i, uint64_t x) const { r[i] = to_double(x) * c + a; }
};
struct Singles {
  float* r;
  double c, a;
  void put(int32_t i, uint64_t x) const { r[i] = static_cast<float>(to_double(x) * c + a); }
};

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
      out.put(i, x0);
      out.put(i + 1, x1);
      out.put(i + 2, x2);
      out.put(i + 3, x3);
      x0 = mulmod(a4, x0);
      x1 = mulmod(a4, x1);
      x2 = mulmod(a4, x2);
      x3 = mulmod(a4, x3);
    }
    x = x0;
  }
  for (; i < n; ++i) {
    out.put(i, x);
    x = mulmod(a, x);
  }
  st->x = x;
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

extern "C" {

QOR_API uint64_t __hoxiPowMod2P59(uint32_t b_lo, uint32_t b_hi, uint32_t e_lo, uint32_t e_hi) {
  return powmod((uint64_t(b_hi & 0x7FFFFFF) << 32) | b_lo, (uint64_t(e_hi) << 32) | e_lo);
}

QOR_API int32_t __hoxBRngMCG59InitStream(int32_t method, HoxStream stream, int32_t n,
                                         const uint32_t* params) {
  State* st = state_of<State>(stream);
  switch (method) {
    case HOX_INIT_METHOD_STANDARD: {
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      uint64_t x = 0;
      if (n >= 1) x = params[0];
      if (n >= 2) x |= uint64_t(params[1] & 0x7FFFFFF) << 32;
      st->x = x == 0 ? 1 : x;
      st->a = kA;
      return 0;
    }
    default:
      return mcg_split(method, st, n, params, mulmod, powmod);
  }
}

QOR_API int32_t __hoxiBRngMCG59(HoxStream stream, int32_t n, uint32_t* r) {
  generate(state_of<State>(stream), n, Words64{r});
  return 0;
}

QOR_API int32_t __hoxdBRngMCG59(HoxStream stream, int32_t n, double* r, double a, double b) {
  generate(state_of<State>(stream), n, Doubles{r, (b - a) * 0x1p-59, a});
  return 0;
}

QOR_API int32_t __hoxsBRngMCG59(HoxStream stream, int32_t n, float* r, float a, float b) {
  generate(state_of<State>(stream), n, Singles{r, (double(b) - double(a)) * 0x1p-59, a});
  return 0;
}

}  // extern "C"
