// Philox4x32x10 (Salmon, Moraes, Dror and Shaw, SC'11): the block of counter c under key
// (k0, k1) is ten rounds of
//   (x0, x1, x2, x3) <- (hi(M1 x2) ^ x1 ^ k0, lo(M1 x2), hi(M0 x0) ^ x3 ^ k1, lo(M0 x0)),
// M0 = 0xD2511F53, M1 = 0xCD9E8D57, the key bumped by (0x9E3779B9, 0xBB67AE85) between rounds.
//
// Long requests run eight counters at once on SSE2 (see blocks8). The scalar form serves the
// last blocks and skip-ahead; both give the same words.
#include <emmintrin.h>

#include "random/generators/counter.h"
#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint32_t kM0 = 0xD2511F53, kM1 = 0xCD9E8D57;
constexpr uint32_t kW0 = 0x9E3779B9, kW1 = 0xBB67AE85;

struct State {
  uint32_t key[2];  // k0, k1
  uint32_t c[4];    // counter, c[0] least significant
  uint32_t p;       // next word of buf (0: none waiting)
  uint32_t buf[4];  // the partly used block
  using Word = Word32;
  static constexpr double kScale = 0x1p-32;
  static constexpr bool kZeroOffsetPath = true;  // a second loop for doubles on [+0, b)
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 60);

void block(const uint32_t k[2], const uint32_t c[4], uint32_t w[4]) {
  uint32_t x0 = c[0], x1 = c[1], x2 = c[2], x3 = c[3], k0 = k[0], k1 = k[1];
  for (int r = 0; r < 10; ++r) {
    if (r) k0 += kW0, k1 += kW1;
    const uint64_t p0 = uint64_t(kM0) * x0, p1 = uint64_t(kM1) * x2;
    x0 = uint32_t(p1 >> 32) ^ x1 ^ k0;
    x1 = uint32_t(p1);
    x2 = uint32_t(p0 >> 32) ^ x3 ^ k1;
    x3 = uint32_t(p0);
  }
  w[0] = x0, w[1] = x1, w[2] = x2, w[3] = x3;
}

// Eight blocks in four groups of two: register v[g][k] holds word k of counters c + 2g and
// c + 2g + 1 in the low halves of its two 64-bit lanes. _mm_mul_epu32 then gives each lane's
// whole product, lo in the low half and hi in the high half; the high halves of the other words
// carry junk that no multiply reads and the output masks off. The rounds are unrolled, so the
// word rotation is a renaming rather than register copies (2.4 -> 1.9 ns per double).
void blocks8(const uint32_t k[2], const uint32_t c[4], __m128i out[8]) {
  alignas(16) uint64_t w[4][8];
  uint32_t t[4] = {c[0], c[1], c[2], c[3]};
  for (int j = 0; j < 8; ++j) {
    for (int q = 0; q < 4; ++q) w[q][j] = t[q];
    counter::add(t, 1);
  }
  __m128i v[4][4];
  for (int g = 0; g < 4; ++g)
    for (int q = 0; q < 4; ++q) v[g][q] = _mm_load_si128(reinterpret_cast<const __m128i*>(&w[q][2 * g]));
  const __m128i m0 = _mm_set1_epi64x(kM0), m1 = _mm_set1_epi64x(kM1);
  uint32_t k0 = k[0], k1 = k[1];
#pragma GCC unroll 10
  for (int r = 0; r < 10; ++r) {
    if (r) k0 += kW0, k1 += kW1;
    const __m128i vk0 = _mm_set1_epi64x(k0), vk1 = _mm_set1_epi64x(k1);
    for (auto& x : v) {
      const __m128i p0 = _mm_mul_epu32(x[0], m0), p1 = _mm_mul_epu32(x[2], m1);
      x[0] = _mm_xor_si128(_mm_xor_si128(_mm_srli_epi64(p1, 32), x[1]), vk0);
      x[1] = p1;
      x[2] = _mm_xor_si128(_mm_xor_si128(_mm_srli_epi64(p0, 32), x[3]), vk1);
      x[3] = p0;
    }
  }
  // Block-major: words 0 .. 3 of each block in one register.
  const __m128i low = _mm_set1_epi64x(0xFFFFFFFF);
  for (int g = 0; g < 4; ++g) {
    const __m128i a01 = _mm_and_si128(_mm_unpacklo_epi64(v[g][0], v[g][1]), low);  // block 2g, words 0, 1
    const __m128i a23 = _mm_and_si128(_mm_unpacklo_epi64(v[g][2], v[g][3]), low);
    const __m128i b01 = _mm_and_si128(_mm_unpackhi_epi64(v[g][0], v[g][1]), low);  // block 2g + 1
    const __m128i b23 = _mm_and_si128(_mm_unpackhi_epi64(v[g][2], v[g][3]), low);
    out[2 * g] = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a01), _mm_castsi128_ps(a23), _MM_SHUFFLE(2, 0, 2, 0)));
    out[2 * g + 1] = _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(b01), _mm_castsi128_ps(b23), _MM_SHUFFLE(2, 0, 2, 0)));
  }
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  counter::generate(
      st, n, out, [st](const uint32_t* c, uint32_t* w) { block(st->key, c, w); },
      [st](const uint32_t* c, __m128i* b) { blocks8(st->key, c, b); });
}

// Seeding: k0, k1, c0 .. c3 from the seed words in that order (0 for words not given).
int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  return counter::init<2>(method, st, n, params, no_check, [](State* s) {
    return [s](const uint32_t* c, uint32_t* w) { block(s->key, c, w); };
  });
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_BRNG_EXPORTS(PHILOX4X32X10, State, generate, init)
