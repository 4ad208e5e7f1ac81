// Berlekamp-Massey over GF(2), word-parallel, for the generator tools (gen_gf2_polys,
// mt2203_search).
#pragma once

#include <cstdint>
#include <vector>

namespace qor_tools {

// Berlekamp-Massey over GF(2): returns the connection polynomial C (C[0] = 1, degree L) with
// s[n] = sum_{i=1..L} C[i] s[n-i].
inline std::vector<uint8_t> berlekamp_massey(const std::vector<uint8_t>& s, int* L_out) {
  const size_t N = s.size();
  std::vector<uint64_t> C((N + 64) / 64 + 1, 0), B = C, T;
  // The sequence reversed, so that the discrepancy is a word-wise dot product.
  std::vector<uint64_t> R((N + 64) / 64 + 2, 0);
  for (size_t k = 0; k < N; ++k)
    if (s[N - 1 - k]) R[k / 64] |= uint64_t(1) << (k % 64);
  C[0] = B[0] = 1;
  int L = 0;
  size_t m = 1;
  auto get = [&](size_t pos) {  // 64 bits of R starting at bit pos
    const size_t w = pos / 64, b = pos % 64;
    return b ? (R[w] >> b) | (R[w + 1] << (64 - b)) : R[w];
  };
  for (size_t n = 0; n < N; ++n) {
    // d = sum_{i=0..L} C[i] s[n-i] = sum_i C[i] R[N-1-n+i]
    const size_t off = N - 1 - n;
    uint64_t acc = 0;
    for (size_t w = 0; w * 64 <= size_t(L); ++w) {
      uint64_t c = C[w];
      if ((w + 1) * 64 > size_t(L) + 1) c &= (size_t(L) + 1 - w * 64 >= 64) ? ~0ull : ((uint64_t(1) << (size_t(L) + 1 - w * 64)) - 1);
      acc ^= c & get(off + w * 64);
    }
    if (!__builtin_parityll(acc)) {
      ++m;
      continue;
    }
    T = C;
    // C ^= B << m
    for (size_t w = 0; w < B.size(); ++w) {
      if (!B[w]) continue;
      const size_t pos = w * 64 + m, tw = pos / 64, tb = pos % 64;
      if (tw < C.size()) C[tw] ^= B[w] << tb;
      if (tb && tw + 1 < C.size()) C[tw + 1] ^= B[w] >> (64 - tb);
    }
    if (2 * size_t(L) <= n) {
      L = int(n + 1) - L;
      B = T;
      m = 1;
    } else {
      ++m;
    }
  }
  std::vector<uint8_t> out(size_t(L) + 1);
  for (int i = 0; i <= L; ++i) out[size_t(i)] = (C[size_t(i) / 64] >> (i % 64)) & 1;
  *L_out = L;
  return out;
}

// Exponents of P(x) = x^L C(1/x), ascending.
inline std::vector<int> char_poly(const std::vector<uint8_t>& C, int L) {
  std::vector<int> e;
  for (int k = 0; k <= L; ++k)
    if (C[size_t(L - k)]) e.push_back(k);
  return e;
}

}  // namespace qor_tools
