// ARS5 (Salmon, Moraes, Dror and Shaw, SC'11): the block of counter c under key K is
//   v = c ^ r0; v = AESENC(v, r1) ... AESENC(v, r4); v = AESENCLAST(v, r5),
// with round keys r0 = K and r(i+1) = r(i) + (0x9E3779B97F4A7C15, 0xBB67AE8584CAA73B) added as
// two 64-bit lanes (low lane first). 128-bit values are four 32-bit words, word 0 least
// significant.
//
// This is the one file compiled with the AES instructions (src/CMakeLists.txt). Every entry
// that would run one checks __hoxCPUisAES first and returns HOX_ERR_NO_AES without it: the
// three output functions (before anything else) and skip-ahead. Seeding runs no AES code.
// Long requests run eight counters at once, which hides the latency of the AES rounds.
#include <emmintrin.h>
#include <wmmintrin.h>

#include "random/core/cpu.h"
#include "random/generators/counter.h"
#include "random/generators/output.h"

namespace qor::rng {
namespace {

struct State {
  uint32_t key[4];
  uint32_t c[4];    // counter: c[0], c[1] the low 64-bit half
  uint32_t p;       // next word of buf (0: none waiting)
  uint32_t buf[4];  // the partly used block
  using Word = Word32;
  static constexpr double kScale = 0x1p-32;
  static constexpr bool kZeroOffsetPath = true;  // a second loop for doubles on [+0, b)
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 68);

struct RoundKeys {
  __m128i r[6];
  explicit RoundKeys(const uint32_t key[4]) {
    const __m128i w = _mm_set_epi64x(static_cast<long long>(0xBB67AE8584CAA73Bull),
                                     static_cast<long long>(0x9E3779B97F4A7C15ull));
    r[0] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(key));
    for (int i = 1; i < 6; ++i) r[i] = _mm_add_epi64(r[i - 1], w);
  }
};

inline __m128i load(const uint32_t c[4]) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(c)); }

void block(const RoundKeys& k, const uint32_t c[4], uint32_t w[4]) {
  __m128i v = _mm_xor_si128(load(c), k.r[0]);
  for (int i = 1; i < 5; ++i) v = _mm_aesenc_si128(v, k.r[i]);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(w), _mm_aesenclast_si128(v, k.r[5]));
}

void blocks8(const RoundKeys& k, const uint32_t c[4], __m128i out[8]) {
  uint32_t t[4] = {c[0], c[1], c[2], c[3]};
  __m128i v[8];
  for (auto& x : v) {
    x = _mm_xor_si128(load(t), k.r[0]);
    counter::add(t, 1);
  }
  for (int i = 1; i < 5; ++i)
    for (auto& x : v) x = _mm_aesenc_si128(x, k.r[i]);
  for (int j = 0; j < 8; ++j) out[j] = _mm_aesenclast_si128(v[j], k.r[5]);
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  const RoundKeys k(st->key);
  counter::generate(
      st, n, out, [&k](const uint32_t* c, uint32_t* w) { block(k, c, w); },
      [&k](const uint32_t* c, __m128i* b) { blocks8(k, c, b); });
}

int32_t check_aes() { return cpu::has_aes() ? 0 : HOX_ERR_NO_AES; }

// Seeding: key words from seed words 0 .. 3, counter words from 4 .. 7 (0 for words not given).
int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  return counter::init<4>(method, st, n, params, check_aes, [](State* s) {
    return [k = RoundKeys(s->key)](const uint32_t* c, uint32_t* w) { block(k, c, w); };
  });
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_BRNG_EXPORTS_CHECKED(ARS5, State, generate, init, check_aes)
