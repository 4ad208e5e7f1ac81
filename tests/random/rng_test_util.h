// Helpers shared by the random-number tests: an owning stream handle and independent
// modular arithmetic (no code of the library under test).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

#include "qor/rng.h"
#include "qor/service.h"

namespace qor::test {

// Owns a stream; deletes it when it goes out of scope.
struct Stream {
  HoxStream s = nullptr;
  Stream() = default;
  Stream(int32_t brng, std::vector<uint32_t> seed) {
    EXPECT_EQ(__hoxNewStreamEx(&s, brng, int32_t(seed.size()), seed.data()), 0);
  }
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;
  ~Stream() {
    if (s) __hoxDeleteStream(&s);
  }
  operator HoxStream() const { return s; }
};

// A generator and its seed words, for tests run on every generator.
struct Gen {
  const char* name;
  int32_t brng;
  std::vector<uint32_t> seed;
};
inline std::ostream& operator<<(std::ostream& o, const Gen& g) { return o << g.name; }

// Every generator of the registry list that this build has (the abstract kinds, which have no
// tool name, left out), with one seed for all: each takes the words it needs. The hardware
// generator is left out too, since its output cannot be reproduced (counter_test.cpp checks it),
// and ARS5 on a processor without AES.
inline std::vector<Gen> built_generators() {
  std::vector<Gen> v;
#define QOR_BRNG(row, Name, bytes, seeds, zero, word, bits, members, built, ubits, cli) \
  if (built && cli[0] != '\0' && (row) != 13 && ((row) != 14 || __hoxCPUisAES())) v.push_back(Gen{#Name, ((row) + 1) << 20, {777, 12, 2, 3, 4, 5}});
#include "random/core/generators.def"
#undef QOR_BRNG
  return v;
}

// The quasi-random generators: their points are evenly spread by design, so tests of
// randomness (too even a spread, correlation of neighbours) do not apply to them.
inline bool is_quasi(int32_t brng) { return brng == HOX_BRNG_SOBOL || brng == HOX_BRNG_NIEDERREITER; }

// Independent 64 x 64 -> 128-bit product from 32-bit pieces (works on both targets).
inline void mul128(uint64_t a, uint64_t b, uint64_t* hi, uint64_t* lo) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  *lo = (mid << 32) | (p00 & 0xFFFFFFFFu);
  *hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
}

// a * b mod m for m < 2^63 by shift-and-add (slow, obviously right).
inline uint64_t mulmod_slow(uint64_t a, uint64_t b, uint64_t m) {
  a %= m;
  b %= m;
  uint64_t r = 0;
  while (b) {
    if (b & 1) r = (r + a) % m;
    a = (a << 1) % m;
    b >>= 1;
  }
  return r;
}

inline uint64_t powmod_slow(uint64_t base, uint64_t e, uint64_t m) {
  uint64_t r = 1 % m;
  base %= m;
  while (e) {
    if (e & 1) r = mulmod_slow(r, base, m);
    base = mulmod_slow(base, base, m);
    e >>= 1;
  }
  return r;
}

// Upper (z > 0) or lower (z < 0) quantile of chi-square with k degrees of freedom at the
// normal deviate z (Wilson-Hilferty).
inline double chi2_quantile(double k, double z) {
  const double t = 2.0 / (9.0 * k);
  return k * std::pow(1.0 - t + z * std::sqrt(t), 3.0);
}
// Normal deviate of a one-sided tail probability of 1e-6 / 2 (two-sided 1e-6).
constexpr double kZ1e6 = 4.8916;

}  // namespace qor::test
