// MRG32K3A (L'Ecuyer's combined multiple-recursive generator): two order-3 components
//   y1 = (1403580 x1[1] - 810728 x1[0]) mod m1,  m1 = 2^32 - 209
//   y2 = (527612 x2[2] - 1370589 x2[0]) mod m2,  m2 = 2^32 - 22853
// output z = (y1 - y2) mod m1, scaled by 1/m1. The stream advances first, then outputs.
//
// The two components run side by side in the two 64-bit lanes of an SSE2 register. The
// negative term is written as c * (m - x), which keeps every product sum positive and below
// 2^54; it is reduced without division by folding the high word (2^32 = d mod m, d = 209 or
// 22853) twice and subtracting m at most once.
#include <emmintrin.h>

#include "random/core/stream.h"
#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint32_t kM1 = 4294967087u;  // 2^32 - 209
constexpr uint32_t kM2 = 4294944443u;  // 2^32 - 22853

struct State {
  uint32_t x1[3];  // first component, x1[2] newest
  uint32_t x2[3];  // second component, x2[2] newest
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 40);

struct Lanes {
  __m128i x0, x1, x2;  // lane 0: first component, lane 1: second component
  __m128i a1, a2, b, m, d, lo32;

  explicit Lanes(const State* st) {
    x0 = _mm_set_epi64x(st->x2[0], st->x1[0]);
    x1 = _mm_set_epi64x(st->x2[1], st->x1[1]);
    x2 = _mm_set_epi64x(st->x2[2], st->x1[2]);
    a1 = _mm_set_epi64x(0, 1403580);
    a2 = _mm_set_epi64x(527612, 0);
    b = _mm_set_epi64x(1370589, 810728);
    m = _mm_set_epi64x(kM2, kM1);
    d = _mm_set_epi64x(22853, 209);
    lo32 = _mm_set_epi32(0, -1, 0, -1);
  }

  void store(State* st) const {
    alignas(16) uint64_t v[6];
    _mm_store_si128(reinterpret_cast<__m128i*>(v), x0);
    _mm_store_si128(reinterpret_cast<__m128i*>(v + 2), x1);
    _mm_store_si128(reinterpret_cast<__m128i*>(v + 4), x2);
    for (int k = 0; k < 3; ++k) {
      st->x1[k] = static_cast<uint32_t>(v[2 * k]);
      st->x2[k] = static_cast<uint32_t>(v[2 * k + 1]);
    }
  }

  // One step of both components; returns (y1, y2).
  inline __m128i step() {
    __m128i p = _mm_add_epi64(_mm_mul_epu32(x1, a1), _mm_mul_epu32(x2, a2));
    p = _mm_add_epi64(p, _mm_mul_epu32(_mm_sub_epi64(m, x0), b));  // < 2^54
    __m128i t = _mm_add_epi64(_mm_and_si128(p, lo32), _mm_mul_epu32(_mm_srli_epi64(p, 32), d));
    t = _mm_add_epi64(_mm_and_si128(t, lo32), _mm_mul_epu32(_mm_srli_epi64(t, 32), d));  // < 2m
    const __m128i u = _mm_sub_epi64(t, m);
    const __m128i y = _mm_add_epi64(u, _mm_and_si128(_mm_shuffle_epi32(u, _MM_SHUFFLE(3, 3, 1, 1)), m));
    x0 = x1;
    x1 = x2;
    x2 = y;
    return y;
  }
};

// (y1a - y1b, ...) for two steps: lane 0 from `ya`, lane 1 from `yb`, each (y1 - y2) mod m1.
inline __m128i combine(__m128i ya, __m128i yb) {
  const __m128i diff = _mm_sub_epi64(_mm_unpacklo_epi64(ya, yb), _mm_unpackhi_epi64(ya, yb));
  const __m128i neg = _mm_shuffle_epi32(diff, _MM_SHUFFLE(3, 3, 1, 1));
  return _mm_add_epi64(diff, _mm_and_si128(neg, _mm_set1_epi64x(kM1)));
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  if (n <= 0) return;
  Lanes g(st);
  int32_t i = 0;
  for (; n - i >= 2; i += 2) {
    const __m128i ya = g.step();
    const __m128i yb = g.step();
    out.two(i, combine(ya, yb));
  }
  if (i < n) {
    const __m128i y = g.step();
    out.one(i, static_cast<uint32_t>(_mm_cvtsi128_si32(combine(y, y))));
  }
  g.store(st);
}

inline uint64_t mulmod(uint64_t a, uint64_t b, uint64_t m) { return (a * b) % m; }

struct Mat3 {
  uint64_t e[3][3];
};

Mat3 mul(const Mat3& a, const Mat3& b, uint64_t m) {
  Mat3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      uint64_t s = 0;
      for (int k = 0; k < 3; ++k) s += mulmod(a.e[i][k], b.e[k][j], m);  // < 3m < 2^34
      c.e[i][j] = s % m;
    }
  return c;
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

extern "C" {

QOR_API uint32_t __hoxiPowMod(uint32_t base, uint32_t e_lo, uint32_t e_hi, uint32_t modulus) {
  if (modulus == 0) return 0;
  uint64_t e = (uint64_t(e_hi) << 32) | e_lo, r = 1 % modulus, b = base % modulus;
  while (e) {
    if (e & 1) r = mulmod(r, b, modulus);
    b = mulmod(b, b, modulus);
    e >>= 1;
  }
  return static_cast<uint32_t>(r);
}

QOR_API void __hoxiVect3PowMod(uint32_t* v, const uint32_t* row, uint32_t mdist, uint32_t e_lo,
                               uint32_t e_hi) {
  const uint64_t m = (uint64_t(1) << 32) - mdist;
  // Companion matrix on (oldest, middle, newest): shift up, newest = row . (newest, middle, oldest).
  Mat3 c{{{0, 1, 0}, {0, 0, 1}, {row[2] % m, row[1] % m, row[0] % m}}};
  Mat3 r{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  for (uint64_t e = (uint64_t(e_hi) << 32) | e_lo; e; e >>= 1) {
    if (e & 1) r = mul(r, c, m);
    if (e > 1) c = mul(c, c, m);
  }
  uint64_t out[3];
  for (int i = 0; i < 3; ++i) {
    uint64_t s = 0;
    for (int k = 0; k < 3; ++k) s += mulmod(r.e[i][k], v[k] % m, m);
    out[i] = s % m;
  }
  for (int i = 0; i < 3; ++i) v[i] = static_cast<uint32_t>(out[i]);
}

QOR_API int32_t __hoxBRngMRG32K3AInitStream(int32_t method, HoxStream stream, int32_t n,
                                            const uint32_t* params) {
  State* st = state_of<State>(stream);
  switch (method) {
    case HOX_INIT_METHOD_STANDARD: {
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      uint32_t w[6] = {1, 1, 1, 1, 1, 1};
      for (int32_t k = 0; k < n && k < 6; ++k) w[k] = params[k];
      for (int k = 0; k < 3; ++k) {
        st->x1[k] = w[k] >= kM1 ? w[k] - kM1 : w[k];
        st->x2[k] = w[3 + k] >= kM2 ? w[3 + k] - kM2 : w[3 + k];
      }
      if ((st->x1[0] | st->x1[1] | st->x1[2]) == 0) st->x1[0] = 1;
      if ((st->x2[0] | st->x2[1] | st->x2[2]) == 0) st->x2[0] = 1;
      return 0;
    }
    case HOX_INIT_METHOD_LEAPFROG:
      return HOX_ERR_LEAPFROG_UNSUPPORTED;
    case HOX_INIT_METHOD_SKIPAHEAD: {
      const uint64_t N = skip_count(n, params);
      const uint32_t row1[3] = {0, 1403580, kM1 - 810728};
      const uint32_t row2[3] = {527612, 0, kM2 - 1370589};
      __hoxiVect3PowMod(st->x1, row1, 209, static_cast<uint32_t>(N), static_cast<uint32_t>(N >> 32));
      __hoxiVect3PowMod(st->x2, row2, 22853, static_cast<uint32_t>(N), static_cast<uint32_t>(N >> 32));
      return 0;
    }
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

QOR_API int32_t __hoxiBRngMRG32K3A(HoxStream stream, int32_t n, uint32_t* r) {
  generate(state_of<State>(stream), n, WordSink{r});
  return 0;
}

QOR_API int32_t __hoxdBRngMRG32K3A(HoxStream stream, int32_t n, double* r, double a, double b) {
  generate(state_of<State>(stream), n, DoubleSink(r, a, b, 1.0 / double(kM1)));
  return 0;
}

QOR_API int32_t __hoxsBRngMRG32K3A(HoxStream stream, int32_t n, float* r, float a, float b) {
  generate(state_of<State>(stream), n, SingleSink(r, a, b, 1.0 / double(kM1)));
  return 0;
}

}  // extern "C"
