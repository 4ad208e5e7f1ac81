// What every basic generator shares: the output sinks, the export macro that turns a
// generator's generate template and init routine into its four registry functions, and the
// modular helpers of the congruential generators.
//
// A generator produces integers one at a time (sink.one(i, v), v a uint64_t) or two at a time
// in the 64-bit lanes of an SSE2 register (sink.two(i, v)), and the sink turns them into raw
// words, doubles or singles on [a, b). How an integer becomes a raw word and a double is the
// generator's word kind (`State::Word`):
//   Word32  integers below 2^32: one 32-bit word each; exact doubles by the exponent-bias trick
//           (or-ing into the mantissa of 2^52 and subtracting 2^52);
//   Word64  integers below 2^64 (MCG59's 59 bits): two 32-bit words each, low word first (word
//           indices in pointer width: 2i does not fit 32 bits for i >= 2^30);
//           doubles as hi * 2^32 + lo, both halves by the bias trick, so one rounding.
// The scalar and the paired forms compute the same values, so block output equals one-by-one
// output bit for bit.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "qor/rng.h"
#include "random/core/stream.h"

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

struct Word32 {
  static double real(uint64_t v) { return u52_to_double(v); }
  static __m128d real2(__m128i v) { return u52x2_to_double(v); }
  static void put(uint32_t* r, int32_t i, uint64_t v) { r[i] = static_cast<uint32_t>(v); }
  static void put2(uint32_t* r, int32_t i, __m128i v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(r + i), _mm_shuffle_epi32(v, _MM_SHUFFLE(3, 1, 2, 0)));
  }
};

struct Word64 {
  static double real(uint64_t x) { return u52_to_double(x >> 32) * 0x1p32 + u52_to_double(x & 0xFFFFFFFFu); }
  static void put(uint32_t* r, int32_t i, uint64_t x) {
    r[2 * ptrdiff_t(i)] = static_cast<uint32_t>(x);
    r[2 * ptrdiff_t(i) + 1] = static_cast<uint32_t>(x >> 32);
  }
  static void put2(uint32_t* r, int32_t i, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(r + 2 * ptrdiff_t(i)), v); }
};

template <class W>
struct WordSink {
  uint32_t* r;
  void one(int32_t i, uint64_t v) const { W::put(r, i, v); }
  void two(int32_t i, __m128i v) const { W::put2(r, i, v); }
};

// r = v * c + a with c = (b - a) * scale computed once.
template <class W>
struct DoubleSink {
  double* r;
  double c, a;
  DoubleSink(double* out, double lo, double hi, double scale) : r(out), c((hi - lo) * scale), a(lo) {}
  void one(int32_t i, uint64_t v) const { r[i] = W::real(v) * c + a; }
  void two(int32_t i, __m128i v) const {
    _mm_storeu_pd(r + i, _mm_add_pd(_mm_mul_pd(W::real2(v), _mm_set1_pd(c)), _mm_set1_pd(a)));
  }
};

// Doubles on [+0, b) with a positive scale: v * c + (+0.0) is v * c itself in every rounding
// mode (v * c is +0 or positive), so the addition is left out and the results are unchanged.
template <class W>
struct ScaledSink {
  double* r;
  double c;
  void one(int32_t i, uint64_t v) const { r[i] = W::real(v) * c; }
  void two(int32_t i, __m128i v) const { _mm_storeu_pd(r + i, _mm_mul_pd(W::real2(v), _mm_set1_pd(c))); }
};

// Singles: computed in double as above, each result rounded to single.
template <class W>
struct SingleSink {
  float* r;
  double c, a;
  SingleSink(float* out, float lo, float hi, double scale)
      : r(out), c((double(hi) - double(lo)) * scale), a(lo) {}
  void one(int32_t i, uint64_t v) const { r[i] = static_cast<float>(W::real(v) * c + a); }
  void two(int32_t i, __m128i v) const {
    const __m128d d = _mm_add_pd(_mm_mul_pd(W::real2(v), _mm_set1_pd(c)), _mm_set1_pd(a));
    _mm_storel_pi(reinterpret_cast<__m64*>(r + i), _mm_cvtpd_ps(d));
  }
};

inline bool is_positive_zero(double a) {
  uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  return bits == 0;
}

// A generator whose State sets kZeroOffsetPath = true gets a second copy of its loop for
// doubles on [+0, b) (the most common call), without the addition of a.
template <class State>
constexpr bool zero_offset_path() {
  if constexpr (requires { State::kZeroOffsetPath; })
    return State::kZeroOffsetPath;
  else
    return false;
}

template <class State, class Generate>
int32_t put_doubles_two_paths(HoxStream stream, int32_t n, double* r, double a, double b, Generate generate) {
  const DoubleSink<typename State::Word> sink(r, a, b, State::kScale);
  if (is_positive_zero(a) && sink.c > 0)
    generate(state_of<State>(stream), n, ScaledSink<typename State::Word>{r, sink.c});
  else
    generate(state_of<State>(stream), n, sink);
  return 0;
}

// The four registry functions of generator `Name` (__hoxBRng<Name>InitStream, __hoxsBRng<Name>,
// __hoxdBRng<Name>, __hoxiBRng<Name>) from
//   State     its state after the stream header, with `using Word` (Word32 or Word64) and
//             `static constexpr double kScale` (integer output times kScale lies in [0, 1));
//   generate  a template (State*, int32_t n, const Sink&) writing n outputs through the sink
//             and advancing the state;
//   init      int32_t (int32_t method, State*, int32_t n, const uint32_t* params).
// Each output function refuses a null buffer for n > 0 (null_output) before touching the stream.
// Use at global scope, after the generator's namespace. Doubles go to `generate` directly with a
// temporary sink unless the generator asks for the zero-offset copy: a wrapper around that call
// changed the register allocation of the inlined loops.
#define QOR_BRNG_EXPORTS(Name, State, generate, init) \
  QOR_BRNG_EXPORTS_CHECKED(Name, State, generate, init, ::qor::rng::no_check)

// As above, with `check()` (a status, 0 to go on) run first by each output function: ARS5
// refuses to run without the AES instructions. no_check() is a constant 0 and compiles away.
constexpr int32_t no_check() { return 0; }
#define QOR_BRNG_EXPORTS_CHECKED(Name, State, generate, init, check)                               \
  extern "C" QOR_API int32_t __hoxBRng##Name##InitStream(int32_t method, HoxStream stream, int32_t n, \
                                                         const uint32_t* params) {                  \
    return init(method, ::qor::rng::state_of<State>(stream), n, params);                            \
  }                                                                                                 \
  extern "C" QOR_API int32_t __hoxiBRng##Name(HoxStream stream, int32_t n, uint32_t* r) {          \
    if (const int32_t status = check(); status != 0) return status;                                 \
    if (::qor::rng::null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;                                 \
    generate(::qor::rng::state_of<State>(stream), n, ::qor::rng::WordSink<State::Word>{r});         \
    return 0;                                                                                       \
  }                                                                                                 \
  extern "C" QOR_API int32_t __hoxdBRng##Name(HoxStream stream, int32_t n, double* r, double a,     \
                                              double b) {                                           \
    if (const int32_t status = check(); status != 0) return status;                                 \
    if (::qor::rng::null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;                                 \
    if constexpr (::qor::rng::zero_offset_path<State>())                                            \
      return ::qor::rng::put_doubles_two_paths<State>(stream, n, r, a, b, [](State* st, int32_t m, const auto& out) { \
        generate(st, m, out);                                                                       \
      });                                                                                           \
    generate(::qor::rng::state_of<State>(stream), n,                                                \
             ::qor::rng::DoubleSink<State::Word>(r, a, b, State::kScale));                          \
    return 0;                                                                                       \
  }                                                                                                 \
  extern "C" QOR_API int32_t __hoxsBRng##Name(HoxStream stream, int32_t n, float* r, float a, float b) { \
    if (const int32_t status = check(); status != 0) return status;                                 \
    if (::qor::rng::null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;                                 \
    generate(::qor::rng::state_of<State>(stream), n,                                                \
             ::qor::rng::SingleSink<State::Word>(r, a, b, State::kScale));                          \
    return 0;                                                                                       \
  }

// 64-bit count from the skip-ahead parameter words (low word first).
inline uint64_t skip_count(int32_t n, const uint32_t* params) {
  if (n <= 0 || !params) return 0;
  uint64_t v = params[0];
  if (n >= 2) v |= uint64_t(params[1]) << 32;
  return v;
}

// base^e by squaring, with the generator's own modular product (pass it as a lambda: a function
// pointer, once inlined into a generate loop, changed that loop's register allocation).
template <class T, class MulMod>
T power(T base, uint64_t e, MulMod mulmod) {
  T r = 1, b = base;
  while (e) {
    if (e & 1) r = mulmod(r, b);
    b = mulmod(b, b);
    e >>= 1;
  }
  return r;
}

// InitStream of a generator that can only be seeded (no leapfrog, no skip-ahead): method 0 runs
// `seed()` and returns its status.
template <class Seed>
int32_t seed_only_init(int32_t method, Seed seed) {
  switch (method) {
    case HOX_INIT_METHOD_STANDARD:
      return seed();
    case HOX_INIT_METHOD_LEAPFROG:
      return HOX_ERR_LEAPFROG_UNSUPPORTED;
    case HOX_INIT_METHOD_SKIPAHEAD:
      return HOX_ERR_SKIPAHEAD_UNSUPPORTED;
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

// InitStream of a multiplicative congruential stream x <- a x whose state keeps the current
// value `x` and the current multiplier `a`, with the generator's own modular product and power.
// Standard: x = seed(n, params), 0 replaced by 1, a = a0. Leapfrog k of s (k = params[0],
// s = n): x <- a^k x and a <- a^s; skip-ahead by N (params, low word first): x <- a^N x.
template <class State, class Seed, class MulMod, class PowMod>
int32_t mcg_init(int32_t method, State* st, int32_t n, const uint32_t* params, decltype(State::a) a0,
                 Seed seed, MulMod mulmod, PowMod powmod) {
  switch (method) {
    case HOX_INIT_METHOD_STANDARD: {
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      const decltype(State::x) x = seed(n, params);
      st->x = x == 0 ? 1 : x;
      st->a = a0;
      return 0;
    }
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
