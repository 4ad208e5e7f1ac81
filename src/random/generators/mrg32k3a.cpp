// MRG32K3A (L'Ecuyer's combined multiple-recursive generator): two order-3 components
//   y1 = (1403580 x1[1] - 810728 x1[0]) mod m1,  m1 = 2^32 - 209
//   y2 = (527612 x2[2] - 1370589 x2[0]) mod m2,  m2 = 2^32 - 22853
// output z = (y1 - y2) mod m1, scaled by 1/m1. The stream advances first, then outputs.
//
// Short requests and the tails run the two components side by side in the two 64-bit lanes of
// an SSE2 register; long requests run eight chains with one component per register (below).
// The negative term is written as c * (m - x), which keeps every product sum positive and
// below 2^54; it is reduced without division by folding the high word (2^32 = d mod m,
// d = 209 or 22853) and subtracting m at most once.
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

// Lane constants: lane 0 belongs to the first component, lane 1 to the second.
struct Consts {
  __m128i a1, a2, b, m, d, lo32, m1;
  Consts()
      : a1(_mm_set_epi64x(0, 1403580)),
        a2(_mm_set_epi64x(527612, 0)),
        b(_mm_set_epi64x(1370589, 810728)),
        m(_mm_set_epi64x(kM2, kM1)),
        d(_mm_set_epi64x(22853, 209)),
        lo32(_mm_set_epi32(0, -1, 0, -1)),
        m1(_mm_set1_epi64x(kM1)) {}
};

// The three state words of both components, oldest first.
struct Chain {
  __m128i x0, x1, x2;
};

Chain load(const State* st) {
  return {_mm_set_epi64x(st->x2[0], st->x1[0]), _mm_set_epi64x(st->x2[1], st->x1[1]),
          _mm_set_epi64x(st->x2[2], st->x1[2])};
}

void store(const Chain& c, State* st) {
  alignas(16) uint64_t v[6];
  _mm_store_si128(reinterpret_cast<__m128i*>(v), c.x0);
  _mm_store_si128(reinterpret_cast<__m128i*>(v + 2), c.x1);
  _mm_store_si128(reinterpret_cast<__m128i*>(v + 4), c.x2);
  for (int k = 0; k < 3; ++k) {
    st->x1[k] = static_cast<uint32_t>(v[2 * k]);
    st->x2[k] = static_cast<uint32_t>(v[2 * k + 1]);
  }
}

// t mod m for t < 2^54: fold the high word twice (2^32 = d mod m), then subtract m once.
inline __m128i reduce(__m128i t, const Consts& k) {
  t = _mm_add_epi64(_mm_and_si128(t, k.lo32), _mm_mul_epu32(_mm_srli_epi64(t, 32), k.d));
  t = _mm_add_epi64(_mm_and_si128(t, k.lo32), _mm_mul_epu32(_mm_srli_epi64(t, 32), k.d));  // < 2m
  const __m128i u = _mm_sub_epi64(t, k.m);
  return _mm_add_epi64(u, _mm_and_si128(_mm_shuffle_epi32(u, _MM_SHUFFLE(3, 3, 1, 1)), k.m));
}

// One step of both components; returns (y1, y2).
inline __m128i step(Chain& c, const Consts& k) {
  __m128i p = _mm_add_epi64(_mm_mul_epu32(c.x1, k.a1), _mm_mul_epu32(c.x2, k.a2));
  p = _mm_add_epi64(p, _mm_mul_epu32(_mm_sub_epi64(k.m, c.x0), k.b));  // < 2^54
  const __m128i y = reduce(p, k);
  c.x0 = c.x1;
  c.x1 = c.x2;
  c.x2 = y;
  return y;
}

// Outputs of two steps: lane 0 from `ya`, lane 1 from `yb`, each (y1 - y2) mod m1.
inline __m128i combine(__m128i ya, __m128i yb, const Consts& k) {
  const __m128i diff = _mm_sub_epi64(_mm_unpacklo_epi64(ya, yb), _mm_unpackhi_epi64(ya, yb));
  const __m128i neg = _mm_shuffle_epi32(diff, _MM_SHUFFLE(3, 3, 1, 1));
  return _mm_add_epi64(diff, _mm_and_si128(neg, k.m1));
}

// ---- long requests: eight chains on consecutive segments -----------------------------------
//
// One step is latency-bound (each second-component value needs the one before), so a block of
// 2P L elements is cut into 2P segments of L; the segments' start states come from the block's
// start state through precomputed matrices C^L, ..., C^((2P-1) L) of both components. Inside
// the block the lanes hold chains rather than components: one register carries the first
// component of two chains, another the second component of the same two chains, so every
// multiply does useful work and the output difference needs no shuffling. Every element is
// still the exact value of the recurrence.

// Two chains side by side: u = first component (lane j = chain j), v = second component.
struct Pair {
  __m128i u0, u1, u2, v0, v1, v2;  // oldest first
};

struct PairConsts {
  __m128i a1, b1, m1, a2, b2, m2;
  PairConsts()
      : a1(_mm_set1_epi64x(1403580)),
        b1(_mm_set1_epi64x(810728)),
        m1(_mm_set1_epi64x(kM1)),
        a2(_mm_set1_epi64x(527612)),
        b2(_mm_set1_epi64x(1370589)),
        m2(_mm_set1_epi64x(kM2)) {}
};

// t - floor(t / 2^32) m = lo(t) + d hi(t): congruent to t mod m = 2^32 - d.
inline __m128i fold(__m128i t, __m128i m) {
  return _mm_sub_epi64(t, _mm_mul_epu32(_mm_srli_epi64(t, 32), m));
}

// t mod m for 0 <= t < 2m.
inline __m128i below(__m128i t, __m128i m) {
  const __m128i u = _mm_sub_epi64(t, m);
  return _mm_add_epi64(u, _mm_and_si128(_mm_shuffle_epi32(u, _MM_SHUFFLE(3, 3, 1, 1)), m));
}

// One step of two chains; returns their outputs (y1 - y2) mod m1.
//   first:  p < (1403580 + 810728) 2^32, so hi(p) < 2214308 and one fold leaves
//           lo + 209 hi < 2^32 + 4.63e8 < 2 m1;
//   second: p < (527612 + 1370589) 2^32, one fold leaves < 2^32 + 4.34e10 (hi < 11), a second
//           fold < 2^32 + 11 * 22853 < 2 m2.
inline __m128i pair_step(Pair& c, const PairConsts& k) {
  const __m128i p1 =
      _mm_add_epi64(_mm_mul_epu32(c.u1, k.a1), _mm_mul_epu32(_mm_sub_epi64(k.m1, c.u0), k.b1));
  const __m128i p2 =
      _mm_add_epi64(_mm_mul_epu32(c.v2, k.a2), _mm_mul_epu32(_mm_sub_epi64(k.m2, c.v0), k.b2));
  const __m128i y1 = below(fold(p1, k.m1), k.m1);
  const __m128i y2 = below(fold(fold(p2, k.m2), k.m2), k.m2);
  c.u0 = c.u1;
  c.u1 = c.u2;
  c.u2 = y1;
  c.v0 = c.v1;
  c.v1 = c.v2;
  c.v2 = y2;
  const __m128i z = _mm_sub_epi64(y1, y2);  // in (-m2, m1)
  return _mm_add_epi64(z, _mm_and_si128(_mm_shuffle_epi32(z, _MM_SHUFFLE(3, 3, 1, 1)), k.m1));
}

inline Pair to_pair(const Chain& a, const Chain& b) {
  return {_mm_unpacklo_epi64(a.x0, b.x0), _mm_unpacklo_epi64(a.x1, b.x1),
          _mm_unpacklo_epi64(a.x2, b.x2), _mm_unpackhi_epi64(a.x0, b.x0),
          _mm_unpackhi_epi64(a.x1, b.x1), _mm_unpackhi_epi64(a.x2, b.x2)};
}

// The chain in lane 1, back in the component-per-lane form.
inline Chain second_of(const Pair& p) {
  return {_mm_unpackhi_epi64(p.u0, p.v0), _mm_unpackhi_epi64(p.u1, p.v1),
          _mm_unpackhi_epi64(p.u2, p.v2)};
}

struct Mat3 {
  uint64_t e[3][3];
};

Mat3 mat_mul(const Mat3& a, const Mat3& b, uint64_t m) {
  Mat3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      uint64_t s = 0;
      for (int k = 0; k < 3; ++k) s += (a.e[i][k] * b.e[k][j]) % m;  // < 3m < 2^34
      c.e[i][j] = s % m;
    }
  return c;
}

Mat3 companion_power(const uint32_t row[3], uint64_t m, uint64_t e) {
  Mat3 c{{{0, 1, 0}, {0, 0, 1}, {row[2] % m, row[1] % m, row[0] % m}}};
  Mat3 r{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  for (; e; e >>= 1) {
    if (e & 1) r = mat_mul(r, c, m);
    if (e > 1) c = mat_mul(c, c, m);
  }
  return r;
}

constexpr uint32_t kRow1[3] = {0, 1403580, kM1 - 810728};
constexpr uint32_t kRow2[3] = {527612, 0, kM2 - 1370589};

// Paired-lane matrix: entry (i, j) of the first component's matrix in lane 0, the second's in 1.
struct Jump {
  uint64_t e[3][3][2];
};

// Block levels: 2 * pairs segments of L elements each, largest blocks first.
struct Level {
  int pairs;
  int32_t L;
};
constexpr int kMaxPairs = 4;
constexpr int kLevels = 4;
constexpr Level kLevel[kLevels] = {{4, 256}, {4, 32}, {4, 8}, {2, 8}};

struct JumpTable {
  Jump j[kLevels][2 * kMaxPairs - 1];  // C^(k L) for k = 1 .. 2 pairs - 1
  JumpTable() {
    for (int l = 0; l < kLevels; ++l)
      for (int k = 1; k < 2 * kLevel[l].pairs; ++k) {
        const Mat3 p1 = companion_power(kRow1, kM1, uint64_t(k) * kLevel[l].L);
        const Mat3 p2 = companion_power(kRow2, kM2, uint64_t(k) * kLevel[l].L);
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 3; ++c) {
            j[l][k - 1].e[r][c][0] = p1.e[r][c];
            j[l][k - 1].e[r][c][1] = p2.e[r][c];
          }
      }
  }
};

const JumpTable& jumps() {
  static const JumpTable table;
  return table;
}

// J v mod m in both lanes: each product (< 2^64) folded once, three summed (< 2^49), reduced.
Chain jump(const Chain& c, const Jump& J, const Consts& k) {
  const __m128i x[3] = {c.x0, c.x1, c.x2};
  __m128i out[3];
  for (int r = 0; r < 3; ++r) {
    __m128i s = _mm_setzero_si128();
    for (int q = 0; q < 3; ++q) {
      const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(J.e[r][q]));
      const __m128i p = _mm_mul_epu32(e, x[q]);
      s = _mm_add_epi64(s, _mm_add_epi64(_mm_and_si128(p, k.lo32), _mm_mul_epu32(_mm_srli_epi64(p, 32), k.d)));
    }
    out[r] = reduce(s, k);
  }
  return {out[0], out[1], out[2]};
}

// Blocks of 2P L elements while they fit; c is left at the state after the last block.
template <int P, class Sink>
int32_t blocks(Chain& c, int32_t i, int32_t n, int32_t L, const Jump* J, const Consts& k,
               const Sink& out) {
  const PairConsts pk;
  for (; n - i >= 2 * P * L; i += 2 * P * L) {
    Chain s[2 * P];
    s[0] = c;
    for (int j = 1; j < 2 * P; ++j) s[j] = jump(c, J[j - 1], k);
    Pair q[P];
    for (int p = 0; p < P; ++p) q[p] = to_pair(s[2 * p], s[2 * p + 1]);
    for (int32_t t = 0; t < L; t += 2) {
      __m128i za[P], zb[P];
      for (int p = 0; p < P; ++p) za[p] = pair_step(q[p], pk);
      for (int p = 0; p < P; ++p) zb[p] = pair_step(q[p], pk);
      for (int p = 0; p < P; ++p) {
        out.two(i + 2 * p * L + t, _mm_unpacklo_epi64(za[p], zb[p]));
        out.two(i + (2 * p + 1) * L + t, _mm_unpackhi_epi64(za[p], zb[p]));
      }
    }
    c = second_of(q[P - 1]);
  }
  return i;
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  if (n <= 0) return;
  const Consts k;
  Chain c = load(st);
  int32_t i = 0;
  for (int l = 0; l < kLevels; ++l) {
    const int32_t L = kLevel[l].L;
    if (n - i < 2 * kLevel[l].pairs * L) continue;
    const Jump* J = jumps().j[l];
    i = kLevel[l].pairs == 4 ? blocks<4>(c, i, n, L, J, k, out) : blocks<2>(c, i, n, L, J, k, out);
  }
  for (; n - i >= 2; i += 2) {
    const __m128i ya = step(c, k);
    const __m128i yb = step(c, k);
    out.two(i, combine(ya, yb, k));
  }
  if (i < n) {
    const __m128i y = step(c, k);
    out.one(i, static_cast<uint32_t>(_mm_cvtsi128_si32(combine(y, y, k))));
  }
  store(c, st);
}

// Doubles on [+0, b) with a positive scale: v * c + (+0.0) is v * c itself in every rounding
// mode (v * c is +0 or positive), so the addition is left out and the results are unchanged.
struct ScaledSink {
  double* r;
  double c;
  void one(int32_t i, uint64_t v) const { r[i] = u52_to_double(v) * c; }
  void two(int32_t i, __m128i v) const { _mm_storeu_pd(r + i, _mm_mul_pd(u52x2_to_double(v), _mm_set1_pd(c))); }
};

inline bool is_positive_zero(double a) {
  uint64_t bits;
  std::memcpy(&bits, &a, sizeof bits);
  return bits == 0;
}

inline uint64_t mulmod(uint64_t a, uint64_t b, uint64_t m) { return (a * b) % m; }

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
  const Mat3 r = companion_power(row, m, (uint64_t(e_hi) << 32) | e_lo);
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
      __hoxiVect3PowMod(st->x1, kRow1, 209, static_cast<uint32_t>(N), static_cast<uint32_t>(N >> 32));
      __hoxiVect3PowMod(st->x2, kRow2, 22853, static_cast<uint32_t>(N), static_cast<uint32_t>(N >> 32));
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
  const DoubleSink sink(r, a, b, 1.0 / double(kM1));
  if (is_positive_zero(a) && sink.c > 0)
    generate(state_of<State>(stream), n, ScaledSink{r, sink.c});
  else
    generate(state_of<State>(stream), n, sink);
  return 0;
}

QOR_API int32_t __hoxsBRngMRG32K3A(HoxStream stream, int32_t n, float* r, float a, float b) {
  generate(state_of<State>(stream), n, SingleSink(r, a, b, 1.0 / double(kM1)));
  return 0;
}

}  // extern "C"
