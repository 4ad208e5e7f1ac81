// R250 (Kirkpatrick and Stoll 1981): a generalized feedback shift register over 250 words,
// y = x[k] ^ x[j]; x[k] = y; output y; k and j advance by one, wrapping from 249 to 0 (j runs
// 103 ahead of k).
//
// Seeding from fewer than 250 words fills the table with t 69069^(i+1) mod 2^32 (t the first
// word, 1 when it is 0 or none is given), two at a time with 69069 and 69069^2, then sets bit
// 31 - i and clears the bits above it in x[7i + 3] for i = 0 .. 31, so that those 32 words are
// linearly independent; 250 or more words are used unchanged.
//
// Generation runs in stretches over which neither k nor j wraps, x[k + t] ^= x[j + t] in order:
// the word-by-word recurrence without its wrap tests, so any request (long ones as blocks of up
// to 250 words) gives the same sequence however it is split.
#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint32_t kN = 250, kLag = 103;

struct State {
  uint32_t x[kN];
  uint32_t k;  // position of the next word
  uint32_t j;  // (k + 103) mod 250
  using Word = Word32;
  static constexpr double kScale = 0x1p-32;
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 1024);

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  if (n <= 0) return;
  uint32_t k = st->k < kN ? st->k : 0;  // an image may hold anything
  uint32_t j = k + kLag < kN ? k + kLag : k + kLag - kN;
  uint32_t* x = st->x;
  for (int32_t i = 0; i < n;) {
    uint32_t run = kN - (k > j ? k : j);
    if (uint32_t(n - i) < run) run = uint32_t(n - i);
    for (uint32_t t = 0; t < run; ++t) {
      const uint32_t y = x[k + t] ^ x[j + t];
      x[k + t] = y;
      out.one(i + int32_t(t), y);
    }
    i += int32_t(run);
    k += run;
    j += run;
    if (k == kN) k = 0;
    if (j == kN) j = 0;
  }
  st->k = k;
  st->j = j;
}

int32_t seed(State* st, int32_t n, const uint32_t* params) {
  if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
  if (n >= int32_t(kN)) {
    for (uint32_t i = 0; i < kN; ++i) st->x[i] = params[i];
  } else {
    const uint32_t t = n >= 1 && params[0] != 0 ? params[0] : 1;
    constexpr uint32_t a = 69069u, a2 = 475559465u;  // 69069^2 mod 2^32
    uint32_t even = t * a, odd = t * a2;
    for (uint32_t i = 0; i < kN; i += 2) {
      st->x[i] = even;
      st->x[i + 1] = odd;
      even *= a2;
      odd *= a2;
    }
    for (uint32_t i = 0; i < 32; ++i) st->x[7 * i + 3] = (st->x[7 * i + 3] & (0xFFFFFFFFu >> i)) | (0x80000000u >> i);
  }
  st->k = 0;
  st->j = kLag;
  return 0;
}

int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  return seed_only_init(method, [=] { return seed(st, n, params); });
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_BRNG_EXPORTS(R250, State, generate, init)
