// Output sinks shared by the generators: a generator produces integers (below 2^52) one at a
// time or two at a time in the 64-bit lanes of an SSE2 register, and the sink turns them into
// 32-bit words, doubles or singles on [a, b). Integers become doubles by the exponent-bias
// trick (or-ing into the mantissa of 2^52 and subtracting 2^52), exactly and identically in
// the scalar and the paired form, so block output equals one-by-one output bit for bit.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "qor/rng.h"

namespace qor::rng {

constexpr uint64_t kBias52 = 0x4330000000000000ull;  // the bit pattern of 2^52

inline double u52_to_double(uint64_t v) {
  const uint64_t bits = kBias52 | v;
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d - 0x1p52;
}

inline __m128d u52x2_to_double(__m128i v) {
  const __m128i bias = _mm_set1_epi64x(static_cast<long long>(kBias52));
  return _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(v, bias)), _mm_set1_pd(0x1p52));
}

struct WordSink {
  uint32_t* r;
  void one(int32_t i, uint64_t v) const { r[i] = static_cast<uint32_t>(v); }
  void two(int32_t i, __m128i v) const {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r + i), _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0)));
  }
};

// r = v * c + a with c = (b - a) * scale computed once.
struct DoubleSink {
  double* r;
  double c, a;
  DoubleSink(double* out, double lo, double hi, double scale) : r(out), c((hi - lo) * scale), a(lo) {}
  double value(double v) const { return v * c + a; }
  void one(int32_t i, uint64_t v) const { r[i] = value(u52_to_double(v)); }
  void two(int32_t i, __m128i v) const {
    _mm_storeu_pd(r + i, _mm_add_pd(_mm_mul_pd(u52x2_to_double(v), _mm_set1_pd(c)), _mm_set1_pd(a)));
  }
};

// Singles: computed in double as above, each result rounded to single.
struct SingleSink {
  float* r;
  double c, a;
  SingleSink(float* out, float lo, float hi, double scale)
      : r(out), c((double(hi) - double(lo)) * scale), a(lo) {}
  void one(int32_t i, uint64_t v) const { r[i] = static_cast<float>(u52_to_double(v) * c + a); }
  void two(int32_t i, __m128i v) const {
    const __m128d d = _mm_add_pd(_mm_mul_pd(u52x2_to_double(v), _mm_set1_pd(c)), _mm_set1_pd(a));
    _mm_storel_pi(reinterpret_cast<__m64*>(r + i), _mm_cvtpd_ps(d));
  }
};

// 64-bit count from the skip-ahead parameter words (low word first).
inline uint64_t skip_count(int32_t n, const uint32_t* params) {
  if (n <= 0 || !params) return 0;
  uint64_t v = params[0];
  if (n >= 2) v |= uint64_t(params[1]) << 32;
  return v;
}

// Leapfrog and skip-ahead of a multiplicative congruential stream x <- a x whose state keeps
// the current value `x` and the current multiplier `a`, with the generator's own modular
// product and power. Leapfrog k of s (k = params[0], s = n): x <- a^k x and a <- a^s;
// skip-ahead by N (params, low word first): x <- a^N x. Other methods are not splitting methods.
template <class State, class MulMod, class PowMod>
int32_t mcg_split(int32_t method, State* st, int32_t n, const uint32_t* params, MulMod mulmod,
                  PowMod powmod) {
  switch (method) {
    case HOX_INIT_METHOD_LEAPFROG:
      if (!params) return HOX_ERR_BAD_ARGUMENT;
      st->x = mulmod(powmod(st->a, params[0]), st->x);
      st->a = powmod(st->a, static_cast<uint64_t>(static_cast<int64_t>(n)));
      return 0;
    case HOX_INIT_METHOD_SKIPAHEAD:
      st->x = mulmod(powmod(st->a, skip_count(n, params)), st->x);
      return 0;
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

}  // namespace qor::rng
