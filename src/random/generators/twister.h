// The Mersenne twisters MT19937 and MT2203 (Matsumoto & Nishimura): one template over the word
// count n, the middle word m, the upper/lower split and the tempering shift, with the twist word
// and the tempering masks taken from the generator's parameters (constants for MT19937, the
// member's row for MT2203).
//
//   block regeneration  mt[k] = mt[k+m] ^ (((mt[k] & upper) | (mt[k+1] & lower)) >> 1)
//                               ^ (a if mt[k+1] is odd), indices modulo n;
//   output              temper(mt[index++]), the block regenerated when index reaches n.
//
// Regeneration and tempering run four words at a time on SSE2 registers; the scalar form
// covers the seams (k = n - m and the last word) and both compute the same words.
#pragma once

#include <emmintrin.h>

#include <algorithm>

#include "random/generators/output.h"

namespace qor::rng::twister {

struct Masks {
  uint32_t a, b, c;  // twist word, tempering masks
};

template <int N, int M, uint32_t Upper, int Shift1>
struct Shape {
  static constexpr int n = N, m = M, shift1 = Shift1;
  static constexpr uint32_t upper = Upper, lower = ~Upper;
};

template <class S>
inline uint32_t twist(uint32_t x, uint32_t y, uint32_t far, uint32_t a) {
  const uint32_t v = (x & S::upper) | (y & S::lower);
  return far ^ (v >> 1) ^ ((0u - (y & 1u)) & a);
}

template <class S>
inline __m128i twist4(__m128i x, __m128i y, __m128i far, __m128i a) {
  const __m128i v = _mm_or_si128(_mm_and_si128(x, _mm_set1_epi32(int32_t(S::upper))),
                                 _mm_and_si128(y, _mm_set1_epi32(int32_t(S::lower))));
  const __m128i odd = _mm_sub_epi32(_mm_setzero_si128(), _mm_and_si128(y, _mm_set1_epi32(1)));
  return _mm_xor_si128(_mm_xor_si128(far, _mm_srli_epi32(v, 1)), _mm_and_si128(odd, a));
}

// Regenerates all n words in place.
template <class S>
void regenerate(uint32_t* mt, uint32_t a) {
  constexpr int n = S::n, m = S::m;
  static_assert(n - m >= 4, "four-word steps read only words already regenerated");
  const __m128i va = _mm_set1_epi32(int32_t(a));
  auto ld = [&](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(mt + k)); };
  int k = 0;
  for (; k + 4 <= n - m; k += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mt + k), twist4<S>(ld(k), ld(k + 1), ld(k + m), va));
  for (; k < n - m; ++k) mt[k] = twist<S>(mt[k], mt[k + 1], mt[k + m], a);
  for (; k + 4 <= n - 1; k += 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(mt + k), twist4<S>(ld(k), ld(k + 1), ld(k + m - n), va));
  for (; k < n - 1; ++k) mt[k] = twist<S>(mt[k], mt[k + 1], mt[k + m - n], a);
  mt[n - 1] = twist<S>(mt[n - 1], mt[0], mt[m - 1], a);
}

template <class S>
inline uint32_t temper(uint32_t y, const Masks& p) {
  y ^= y >> S::shift1;
  y ^= (y << 7) & p.b;
  y ^= (y << 15) & p.c;
  return y ^ (y >> 18);
}

template <class S>
inline __m128i temper4(__m128i y, __m128i b, __m128i c) {
  y = _mm_xor_si128(y, _mm_srli_epi32(y, S::shift1));
  y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 7), b));
  y = _mm_xor_si128(y, _mm_and_si128(_mm_slli_epi32(y, 15), c));
  return _mm_xor_si128(y, _mm_srli_epi32(y, 18));
}

// Four 32-bit words to a sink as two pairs of 64-bit lanes.
template <class Sink>
inline void put4(const Sink& out, int32_t i, __m128i w) {
  const __m128i z = _mm_setzero_si128();
  out.two(i, _mm_unpacklo_epi32(w, z));
  out.two(i + 2, _mm_unpackhi_epi32(w, z));
}

// Writes n tempered outputs, regenerating blocks as needed. `index` is the number of words of
// the current block already used (n: regenerate first); values above n count as n.
template <class S, class Sink>
void generate(uint32_t* mt, uint32_t* index, const Masks& p, int32_t n, const Sink& out) {
  if (n <= 0) return;
  const __m128i b = _mm_set1_epi32(int32_t(p.b)), c = _mm_set1_epi32(int32_t(p.c));
  uint32_t idx = std::min<uint32_t>(*index, S::n);
  int32_t i = 0;
  while (i < n) {
    if (idx >= uint32_t(S::n)) {
      regenerate<S>(mt, p.a);
      idx = 0;
    }
    const int32_t take = std::min<int32_t>(int32_t(S::n - idx), n - i);
    const uint32_t* src = mt + idx;
    int32_t j = 0;
    for (; j + 4 <= take; j += 4)
      put4(out, i + j, temper4<S>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j)), b, c));
    for (; j < take; ++j) out.one(i + j, temper<S>(src[j], p));
    idx += uint32_t(take);
    i += take;
  }
  *index = idx;
}

// The reference array initialisation over n words, then mt[0] = 0x80000000 (n <= 0 seed words
// act as the one word 1).
template <int N>
void seed_by_array(uint32_t* mt, int32_t n, const uint32_t* s) {
  static const uint32_t kOne = 1;
  if (n <= 0) {
    n = 1;
    s = &kOne;
  }
  mt[0] = 19650218u;
  for (int i = 1; i < N; ++i) mt[i] = 1812433253u * (mt[i - 1] ^ (mt[i - 1] >> 30)) + uint32_t(i);
  int i = 1;
  int32_t j = 0;
  for (int64_t k = std::max<int64_t>(N, n); k > 0; --k) {
    mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1664525u)) + s[j] + uint32_t(j);
    ++i;
    ++j;
    if (i >= N) {
      mt[0] = mt[N - 1];
      i = 1;
    }
    if (j >= n) j = 0;
  }
  for (int k = N - 1; k > 0; --k) {
    mt[i] = (mt[i] ^ ((mt[i - 1] ^ (mt[i - 1] >> 30)) * 1566083941u)) - uint32_t(i);
    ++i;
    if (i >= N) {
      mt[0] = mt[N - 1];
      i = 1;
    }
  }
  mt[0] = 0x80000000u;
}

}  // namespace qor::rng::twister
