// SFMT19937 (Saito & Matsumoto, the SIMD-oriented Fast Mersenne Twister): 156 blocks of 128
// bits, parameters 122-18-1-11-1, masks dfffffef ddfecb7f bffaffff bffffff6, parity words
// 00000001 00000000 00000000 13c9e684. Block k is regenerated from blocks k, k + 122 and the
// two newest results; the output is the state words in order, untempered.
//
// A call whose count is not a multiple of four takes one more block and keeps its unused words
// in the carry buffer, which the next call serves first; `index` therefore always counts whole
// blocks (a multiple of four words, 624: regenerate first).
//
// Skip-ahead by N words: the carry buffer first, then N / 4 blocks by the polynomial jump
// (gf2_jump.h, the characteristic polynomial of one block step, degree 19968 = the whole state,
// so the jump is exact on every bit; Horner's rule below 19968 blocks, the sliding window
// above), then N mod 4 words through the carry buffer.
#include <emmintrin.h>

#include <algorithm>

#include "random/core/gf2_jump.h"
#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr int kBlocks = 156, kWords = 624, kPos1 = 122;
constexpr uint32_t kParity[4] = {0x00000001u, 0x00000000u, 0x00000000u, 0x13C9E684u};

struct State {
  uint32_t w[kWords];  // 16-byte aligned: the record is 128-byte aligned and w starts at 16
  uint32_t index;        // words of the block array used (a multiple of 4); 624: regenerate first
  uint32_t carry[3];     // unused words of the last block taken
  uint32_t carry_pos;    // read position in carry
  uint32_t carry_fill;   // words left in carry
  using Word = Word32;
  static constexpr double kScale = 0x1p-32;
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 2536);

inline __m128i recursion(__m128i a, __m128i b, __m128i c, __m128i d) {
  const __m128i mask = _mm_set_epi32(int32_t(0xBFFFFFF6u), int32_t(0xBFFAFFFFu), int32_t(0xDDFECB7Fu),
                                     int32_t(0xDFFFFFEFu));
  const __m128i x = _mm_slli_si128(a, 1);
  const __m128i y = _mm_srli_si128(c, 1);
  const __m128i z = _mm_and_si128(_mm_srli_epi32(b, 11), mask);
  const __m128i v = _mm_slli_epi32(d, 18);
  return _mm_xor_si128(_mm_xor_si128(_mm_xor_si128(a, x), _mm_xor_si128(z, y)), v);
}

inline __m128i* blocks(uint32_t* w) { return reinterpret_cast<__m128i*>(w); }

void regenerate(uint32_t* w) {
  __m128i* s = blocks(w);
  __m128i r1 = _mm_load_si128(s + kBlocks - 2), r2 = _mm_load_si128(s + kBlocks - 1);
  int i = 0;
  for (; i < kBlocks - kPos1; ++i) {
    const __m128i t = recursion(_mm_load_si128(s + i), _mm_load_si128(s + i + kPos1), r1, r2);
    _mm_store_si128(s + i, t);
    r1 = r2;
    r2 = t;
  }
  for (; i < kBlocks; ++i) {
    const __m128i t = recursion(_mm_load_si128(s + i), _mm_load_si128(s + i + kPos1 - kBlocks), r1, r2);
    _mm_store_si128(s + i, t);
    r1 = r2;
    r2 = t;
  }
}

// A state read from a caller's image may hold anything: positions out of range are brought
// back into it (the sequence of such a state is whatever it is, but nothing is read outside
// the record).
inline void sanitize(State* st) {
  if (st->index > uint32_t(kWords)) st->index = kWords;
  st->index &= ~3u;
  if (st->carry_pos > 3 || st->carry_fill > 3 - st->carry_pos) st->carry_pos = st->carry_fill = 0;
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  if (n <= 0) return;
  sanitize(st);
  int32_t i = 0;
  while (st->carry_fill && i < n) {
    out.one(i++, st->carry[st->carry_pos++]);
    --st->carry_fill;
  }
  if (!st->carry_fill) st->carry_pos = 0;
  uint32_t idx = st->index;
  const __m128i z = _mm_setzero_si128();
  while (n - i >= 4) {
    if (idx >= uint32_t(kWords)) {
      regenerate(st->w);
      idx = 0;
    }
    const int32_t take = std::min<int32_t>(int32_t(kWords - idx), (n - i) & ~3);
    for (int32_t j = 0; j < take; j += 4) {
      const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(st->w + idx + j));
      out.two(i + j, _mm_unpacklo_epi32(v, z));
      out.two(i + j + 2, _mm_unpackhi_epi32(v, z));
    }
    idx += uint32_t(take);
    i += take;
  }
  if (i < n) {
    if (idx >= uint32_t(kWords)) {
      regenerate(st->w);
      idx = 0;
    }
    const uint32_t* b = st->w + idx;
    idx += 4;
    const int32_t r = n - i;
    for (int32_t j = 0; j < r; ++j) out.one(i + j, b[j]);
    st->carry_pos = 0;
    st->carry_fill = uint32_t(4 - r);
    for (int32_t j = r; j < 4; ++j) st->carry[j - r] = b[j];
  }
  st->index = idx;
}

inline uint32_t func1(uint32_t x) { return (x ^ (x >> 27)) * 1664525u; }
inline uint32_t func2(uint32_t x) { return (x ^ (x >> 27)) * 1566083941u; }

void certify_period(uint32_t* w) {
  uint32_t inner = 0;
  for (int i = 0; i < 4; ++i) inner ^= w[i] & kParity[i];
  for (int i = 16; i > 0; i >>= 1) inner ^= inner >> i;
  if (inner & 1) return;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 32; ++j)
      if ((uint32_t(1) << j) & kParity[i]) {
        w[i] ^= uint32_t(1) << j;
        return;
      }
}

// The reference array initialisation of the SIMD variant.
void seed_by_array(uint32_t* w, int32_t n, const uint32_t* key) {
  static const uint32_t kOne = 1;
  if (n <= 0) {
    n = 1;
    key = &kOne;
  }
  constexpr int lag = 11, mid = (kWords - lag) / 2;
  std::memset(w, 0x8B, kWords * 4);
  const int64_t count = std::max<int64_t>(int64_t(n) + 1, kWords);
  uint32_t r = func1(w[0] ^ w[mid] ^ w[kWords - 1]);
  w[mid] += r;
  r += uint32_t(n);
  w[mid + lag] += r;
  w[0] = r;
  int i = 1;
  int64_t j = 0;
  for (; j < count - 1; ++j) {
    r = func1(w[i] ^ w[(i + mid) % kWords] ^ w[(i + kWords - 1) % kWords]);
    w[(i + mid) % kWords] += r;
    r += (j < n ? key[j] : 0u) + uint32_t(i);
    w[(i + mid + lag) % kWords] += r;
    w[i] = r;
    i = (i + 1) % kWords;
  }
  for (j = 0; j < kWords; ++j) {
    r = func2(w[i] + w[(i + mid) % kWords] + w[(i + kWords - 1) % kWords]);
    w[(i + mid) % kWords] ^= r;
    r -= uint32_t(i);
    w[(i + mid + lag) % kWords] ^= r;
    w[i] = r;
    i = (i + 1) % kWords;
  }
  certify_period(w);
}

// ---- the six state operations of the jump (one element = one 128-bit block) ---------------
struct Work {
  alignas(16) uint32_t w[kWords];
  uint32_t p;  // block position of the oldest block
  uint32_t pad[3];
};

void zero_state(void* w) { std::memset(w, 0, sizeof(Work)); }
void add_state(void* to, const void* from) {
  auto* t = static_cast<Work*>(to);
  const auto* f = static_cast<const Work*>(from);
  __m128i* a = blocks(t->w);
  const __m128i* b = reinterpret_cast<const __m128i*>(f->w);
  uint32_t pt = t->p, pf = f->p;
  int i = 0;
  while (i < kBlocks) {
    const int run = std::min({kBlocks - int(pt), kBlocks - int(pf), kBlocks - i});
    for (int k = 0; k < run; ++k) _mm_store_si128(a + pt + k, _mm_xor_si128(_mm_load_si128(a + pt + k), _mm_load_si128(b + pf + k)));
    i += run;
    pt = (pt + uint32_t(run)) % kBlocks;
    pf = (pf + uint32_t(run)) % kBlocks;
  }
}
void copy_state1(void* w, const void* state) {
  auto* t = static_cast<Work*>(w);
  std::memcpy(t->w, static_cast<const State*>(state)->w, sizeof t->w);
  t->p = 0;
}
void update_s(void* w) {
  auto* t = static_cast<Work*>(w);
  __m128i* s = blocks(t->w);
  const uint32_t p = t->p;
  const auto at = [&](uint32_t k) { return _mm_load_si128(s + (p + k) % kBlocks); };
  _mm_store_si128(s + p, recursion(at(0), at(kPos1), at(kBlocks - 2), at(kBlocks - 1)));
  t->p = p + 1 == kBlocks ? 0 : p + 1;
}
void copy_state2(void* state, const void* w) {
  const auto* t = static_cast<const Work*>(w);
  auto* st = static_cast<State*>(state);
  for (int i = 0; i < kBlocks; ++i) std::memcpy(st->w + 4 * i, t->w + 4 * ((t->p + uint32_t(i)) % kBlocks), 16);
}
int32_t process_idx(void* state, uint64_t* n) {
  sanitize(static_cast<State*>(state));
  return *n != 0;
}

struct Discard {
  void one(int32_t, uint64_t) const {}
  void two(int32_t, __m128i) const {}
};

int32_t skip(State* st, uint64_t N) {
  sanitize(st);
  // The jump may fail for memory only, before anything changed: take the carry words after it.
  const uint64_t from_carry = std::min<uint64_t>(N, st->carry_fill);
  const uint64_t rest = N - from_carry;
  const uint64_t B = rest / 4;
  if (B) {
    const uint32_t lo = uint32_t(B), hi = uint32_t(B >> 32);
    const int32_t status =
        B < 19968 ? __hox_SkipAheadHorner(st, zero_state, add_state, copy_state1, update_s, copy_state2, process_idx,
                                          lo, hi, kWords, 19968, int32_t(sizeof(Work)), 6711, _hox_sfmt19937_poly)
                  : __hox_SkipAheadSWin(st, zero_state, add_state, copy_state1, update_s, copy_state2, process_idx,
                                        lo, hi, kWords, 19968, int32_t(sizeof(Work)), 6711, _hox_sfmt19937_poly);
    if (status != 0) return status;
  }
  st->carry_pos += uint32_t(from_carry);
  st->carry_fill -= uint32_t(from_carry);
  if (!st->carry_fill) st->carry_pos = 0;
  if (rest % 4) {
    st->carry_fill = 0;  // used up above: rest > 0 only when the carry was emptied
    st->carry_pos = 0;
    generate(st, int32_t(rest % 4), Discard{});
  }
  return 0;
}

int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  switch (method) {
    case HOX_INIT_METHOD_STANDARD:
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      seed_by_array(st->w, n, params);
      st->index = kWords;
      st->carry[0] = st->carry[1] = st->carry[2] = 0;
      st->carry_pos = st->carry_fill = 0;
      return 0;
    case HOX_INIT_METHOD_LEAPFROG:
      return HOX_ERR_LEAPFROG_UNSUPPORTED;
    case HOX_INIT_METHOD_SKIPAHEAD:
      return skip(st, skip_count(n, params));
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_BRNG_EXPORTS(SFMT19937, State, generate, init)
