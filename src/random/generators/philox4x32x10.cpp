// Philox4x32x10 (Salmon, Moraes, Dror and Shaw, SC'11): the block of counter c under key
// (k0, k1) is ten rounds of
//   (x0, x1, x2, x3) <- (hi(M1 x2) ^ x1 ^ k0, lo(M1 x2), hi(M0 x0) ^ x3 ^ k1, lo(M0 x0)),
// M0 = 0xD2511F53, M1 = 0xCD9E8D57, the key bumped by (0x9E3779B9, 0xBB67AE85) between rounds.
//
// Long requests run eight counters at once on SSE2: two groups of four counters, each word of
// a group in one register, the 32 x 32 -> 64-bit products by _mm_mul_epu32 on the even and the
// odd lanes. The scalar form serves the last blocks and skip-ahead; both give the same words.
#include <emmintrin.h>

#include "random/generators/counter.h"
#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint32_t kM0 = 0xD2511F53, kM1 = 0xCD9E8D57;
constexpr uint32_t kW0 = 0x9E3779B9, kW1 = 0xBB67AE85;

struct State {
  uint32_t k[2];
  uint32_t c[4];    // counter, c[0] least significant
  uint32_t p;       // next word of buf (0: none waiting)
  uint32_t buf[4];  // the partly used block
  using Word = Word32;
  static constexpr double kScale = 0x1p-32;
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

// hi and lo halves of the four lane products m * x.
inline void mulhilo(__m128i x, __m128i m, __m128i& hi, __m128i& lo) {
  const __m128i even = _mm_mul_epu32(x, m), odd = _mm_mul_epu32(_mm_srli_epi64(x, 32), m);
  const __m128i low32 = _mm_set_epi32(0, -1, 0, -1);
  lo = _mm_or_si128(_mm_and_si128(even, low32), _mm_slli_epi64(odd, 32));
  hi = _mm_or_si128(_mm_srli_epi64(even, 32), _mm_andnot_si128(low32, odd));
}

void blocks8(const uint32_t k[2], const uint32_t c[4], __m128i out[8]) {
  __m128i v[2][4];
  counter::spread8(c, v);
  const __m128i m0 = _mm_set1_epi32(int(kM0)), m1 = _mm_set1_epi32(int(kM1));
  uint32_t k0 = k[0], k1 = k[1];
  for (int r = 0; r < 10; ++r) {
    if (r) k0 += kW0, k1 += kW1;
    const __m128i vk0 = _mm_set1_epi32(int(k0)), vk1 = _mm_set1_epi32(int(k1));
    for (auto& x : v) {
      __m128i hi0, lo0, hi1, lo1;
      mulhilo(x[0], m0, hi0, lo0);
      mulhilo(x[2], m1, hi1, lo1);
      x[0] = _mm_xor_si128(_mm_xor_si128(hi1, x[1]), vk0);
      x[1] = lo1;
      x[2] = _mm_xor_si128(_mm_xor_si128(hi0, x[3]), vk1);
      x[3] = lo0;
    }
  }
  for (int g = 0; g < 2; ++g) {
    counter::transpose(v[g][0], v[g][1], v[g][2], v[g][3]);
    for (int j = 0; j < 4; ++j) out[4 * g + j] = v[g][j];
  }
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  counter::generate(
      st, n, out, [st](const uint32_t* c, uint32_t* w) { block(st->k, c, w); },
      [st](const uint32_t* c, __m128i* b) { blocks8(st->k, c, b); });
}

// Seeding: k0, k1, c0 .. c3 from the seed words in that order (0 for words not given).
int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  switch (method) {
    case HOX_INIT_METHOD_STANDARD: {
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      uint32_t s[6] = {};
      for (int32_t i = 0; i < n && i < 6; ++i) s[i] = params[i];
      *st = State{{s[0], s[1]}, {s[2], s[3], s[4], s[5]}, 0, {}};
      return 0;
    }
    case HOX_INIT_METHOD_LEAPFROG:
      return HOX_ERR_LEAPFROG_UNSUPPORTED;
    case HOX_INIT_METHOD_SKIPAHEAD:
      counter::skip(st, skip_count(n, params), [st](const uint32_t* c, uint32_t* w) { block(st->k, c, w); });
      return 0;
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_BRNG_EXPORTS(PHILOX4X32X10, State, generate, init)
