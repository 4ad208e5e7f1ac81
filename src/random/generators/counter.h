// What the two counter-based generators (Philox4x32x10, ARS5) share: the 128-bit counter, the
// partly used block and the order in which blocks become output words.
//
// The output is the sequence of block words, block after block; the block of counter c is
// f(c) for the generator's keyed function f, after which the counter is incremented as a
// 128-bit number (c[0] least significant). A block whose words were not all used stays in
// `buf` with the position p of its next word (1 to 3); p = 0 means no word is waiting. The
// counter always points past the block in the buffer.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "random/generators/output.h"

namespace qor::rng::counter {

inline void add(uint32_t c[4], uint64_t k) {
  uint64_t lo = (uint64_t(c[1]) << 32 | c[0]) + k;
  const bool carry = lo < k;
  c[0] = uint32_t(lo);
  c[1] = uint32_t(lo >> 32);
  if (carry && ++c[2] == 0) ++c[3];
}

inline void sub_one(uint32_t c[4]) {
  for (int i = 0; i < 4; ++i)
    if (c[i]-- != 0) break;
}

// Two words of a block (lanes 0 and 2 of `v` after unpacking) in the 64-bit lanes a sink takes.
inline __m128i lo_pair(__m128i block) { return _mm_unpacklo_epi32(block, _mm_setzero_si128()); }
inline __m128i hi_pair(__m128i block) { return _mm_unpackhi_epi32(block, _mm_setzero_si128()); }

// Writes n output words through `out` for a state with members c[4], p, buf[4]:
//   block(c, w)       one block of counter c into w[4];
//   blocks8(c, out4)  eight blocks of counters c, c + 1, ..., c + 7 as eight registers of four
//                     words (block j in out4[j]).
template <class State, class Block, class Blocks8, class Sink>
void generate(State* st, int32_t n, const Sink& out, Block block, Blocks8 blocks8) {
  if (n <= 0) return;
  int32_t i = 0;
  uint32_t p = st->p & 3;
  while (p != 0 && i < n) {
    out.one(i++, st->buf[p]);
    p = (p + 1) & 3;
  }
  for (; n - i >= 32; i += 32) {
    __m128i b[8];
    blocks8(st->c, b);
    add(st->c, 8);
    for (int j = 0; j < 8; ++j) {
      out.two(i + 4 * j, lo_pair(b[j]));
      out.two(i + 4 * j + 2, hi_pair(b[j]));
    }
  }
  for (; n - i >= 4; i += 4) {
    alignas(16) uint32_t w[4];
    block(st->c, w);
    add(st->c, 1);
    for (int j = 0; j < 4; ++j) out.one(i + j, w[j]);
  }
  if (i < n) {
    block(st->c, st->buf);
    add(st->c, 1);
    for (p = 0; i < n; ++p) out.one(i++, st->buf[p]);
  }
  st->p = p;
}

// Skip-ahead by N words: the position in the sequence is 4 (c - 1) + p while a block waits in
// the buffer (p != 0) and 4 c otherwise; it moves on by N, and a new partly used block is
// computed into the buffer when the new position is not on a block boundary.
template <class State, class Block>
void skip(State* st, uint64_t N, Block block) {
  const uint32_t p = st->p & 3;
  if (p != 0) sub_one(st->c);
  add(st->c, N >> 2);
  const uint32_t t = p + uint32_t(N & 3);
  add(st->c, t >> 2);
  st->p = t & 3;
  if (st->p != 0) {
    block(st->c, st->buf);
    add(st->c, 1);
  }
}

// InitStream of a counter-based generator whose State has key[K], c[4], p and buf[4].
// Seeding: the key from seed words 0 .. K - 1, the counter from words K .. K + 3 (0 for words not
// given), nothing buffered. No leapfrog. Skip-ahead: `check()` first (a status, 0 to go on),
// then `skip` with the block function `make_block(st)` returns.
template <int K, class State, class Check, class MakeBlock>
int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params, Check check, MakeBlock make_block) {
  switch (method) {
    case HOX_INIT_METHOD_STANDARD: {
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      uint32_t s[K + 4] = {};
      for (int32_t i = 0; i < n && i < K + 4; ++i) s[i] = params[i];
      for (int i = 0; i < K; ++i) st->key[i] = s[i];
      for (int i = 0; i < 4; ++i) st->c[i] = s[K + i], st->buf[i] = 0;
      st->p = 0;
      return 0;
    }
    case HOX_INIT_METHOD_LEAPFROG:
      return HOX_ERR_LEAPFROG_UNSUPPORTED;
    case HOX_INIT_METHOD_SKIPAHEAD:
      if (const int32_t status = check(); status != 0) return status;
      skip(st, skip_count(n, params), make_block(st));
      return 0;
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

// Eight consecutive counters from c as four registers per group of four: word k of counters
// c + 4g ... c + 4g + 3 in lanes of v[g][k].
inline void spread8(const uint32_t c[4], __m128i v[2][4]) {
  alignas(16) uint32_t w[4][8];
  uint32_t t[4] = {c[0], c[1], c[2], c[3]};
  for (int j = 0; j < 8; ++j) {
    for (int k = 0; k < 4; ++k) w[k][j] = t[k];
    add(t, 1);
  }
  for (int g = 0; g < 2; ++g)
    for (int k = 0; k < 4; ++k) v[g][k] = _mm_load_si128(reinterpret_cast<const __m128i*>(&w[k][4 * g]));
}

// 4 x 4 transpose: from word-major registers (word k of four blocks) to block-major ones.
inline void transpose(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
  const __m128i t0 = _mm_unpacklo_epi32(a, b), t1 = _mm_unpacklo_epi32(c, d);
  const __m128i t2 = _mm_unpackhi_epi32(a, b), t3 = _mm_unpackhi_epi32(c, d);
  a = _mm_unpacklo_epi64(t0, t1);
  b = _mm_unpackhi_epi64(t0, t1);
  c = _mm_unpacklo_epi64(t2, t3);
  d = _mm_unpackhi_epi64(t2, t3);
}

}  // namespace qor::rng::counter
