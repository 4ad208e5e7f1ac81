// MCG31M1: x(k+1) = a * x(k) mod (2^31 - 1), a = 1132489760; output x / (2^31 - 1).
//
// The stream outputs its current x and then advances. Blocks run 8 lanes at once (four SSE2
// registers of two 64-bit lanes), each lane multiplied by a^8 per pass; the reduction of a
// product p < 2^62 is (p & m) + (p >> 31) minus m when that reaches m, with no division.
#include <emmintrin.h>

#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint32_t kM = 0x7FFFFFFF;
constexpr uint32_t kA = 1132489760;

struct State {
  uint32_t x;  // current value, 1 <= x < m
  uint32_t a;  // current multiplier (a^s after a leapfrog with s streams)
  using Word = Word32;
  static constexpr double kScale = 1.0 / double(kM);
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 24);

inline uint32_t mulmod(uint32_t a, uint32_t x) {
  const uint64_t p = uint64_t(a) * x;
  uint64_t t = (p & kM) + (p >> 31);
  if (t >= kM) t -= kM;
  return static_cast<uint32_t>(t);
}

uint32_t powmod(uint32_t base, uint64_t e) {
  return power(base, e, [](uint32_t p, uint32_t q) { return mulmod(p, q); });
}

// Lane-wise a8 * v mod m for two 64-bit lanes holding values below m.
inline __m128i mulmod2(__m128i v, __m128i a8, __m128i m) {
  const __m128i p = _mm_mul_epu32(v, a8);
  const __m128i t = _mm_add_epi64(_mm_and_si128(p, m), _mm_srli_epi64(p, 31));  // < 2^32
  const __m128i u = _mm_sub_epi64(t, m);
  const __m128i neg = _mm_shuffle_epi32(u, _MM_SHUFFLE(3, 3, 1, 1));  // all ones where t < m
  return _mm_add_epi64(u, _mm_and_si128(neg, m));
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  if (n <= 0) return;
  const uint32_t a = st->a;
  uint32_t x = st->x;
  alignas(16) uint64_t lane[8];
  int32_t i = 0;
  const int32_t head = n < 8 ? n : 8;
  for (; i < head; ++i) {
    out.one(i, x);
    lane[i] = x;
    x = mulmod(a, x);
  }
  if (n - i >= 8) {
    const uint32_t a8 = powmod(a, 8);
    const __m128i va8 = _mm_set1_epi64x(a8), m = _mm_set1_epi64x(kM);
    __m128i v0 = _mm_load_si128(reinterpret_cast<const __m128i*>(lane));
    __m128i v1 = _mm_load_si128(reinterpret_cast<const __m128i*>(lane + 2));
    __m128i v2 = _mm_load_si128(reinterpret_cast<const __m128i*>(lane + 4));
    __m128i v3 = _mm_load_si128(reinterpret_cast<const __m128i*>(lane + 6));
    for (; n - i >= 8; i += 8) {
      v0 = mulmod2(v0, va8, m);
      v1 = mulmod2(v1, va8, m);
      v2 = mulmod2(v2, va8, m);
      v3 = mulmod2(v3, va8, m);
      out.two(i, v0);
      out.two(i + 2, v1);
      out.two(i + 4, v2);
      out.two(i + 6, v3);
    }
    x = mulmod(a, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(v3, v3))));
  }
  for (; i < n; ++i) {
    out.one(i, x);
    x = mulmod(a, x);
  }
  st->x = x;
}

int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  return mcg_init(method, st, n, params, kA, [](int32_t n, const uint32_t* p) { return n > 0 ? p[0] % kM : 1u; },
                  mulmod, powmod);
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

extern "C" QOR_API uint32_t __hoxiPowMod2P31M1(uint32_t base, uint32_t e_lo, uint32_t e_hi) {
  return powmod(base % kM, (uint64_t(e_hi) << 32) | e_lo);
}

QOR_BRNG_EXPORTS(MCG31M1, State, generate, init)
