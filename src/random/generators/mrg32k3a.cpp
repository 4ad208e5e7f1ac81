// MRG32K3A (L'Ecuyer's combined multiple-recursive generator): two order-3 components
//   y1 = (1403580 x1[1] - 810728 x1[0]) mod m1,  m1 = 2^32 - 209
//   y2 = (527612 x2[2] - 1370589 x2[0]) mod m2,  m2 = 2^32 - 22853
// output z = (y1 - y2) mod m1, scaled by 1/m1. The stream advances first, then outputs.
//
// Short requests and the tails run the two components side by side in the two 64-bit lanes of
// an SSE2 register; longer ones run many chains on consecutive segments, the vector chains
// with one component per register (below).
// The negative term is written as c * (m - x), which keeps every product sum positive and
// below 2^54; it is reduced without division by folding the high word (2^32 = d mod m,
// d = 209 or 22853) and subtracting m at most once.
#include <emmintrin.h>

// The chain loops keep more values live than there are XMM registers; scheduling before
// register allocation with register-pressure tracking cuts their copies and spills and made
// long requests about a sixth faster (GCC only; other compilers just build the same code).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("schedule-insns", "sched-pressure")
#endif

#include "random/generators/output.h"

namespace qor::rng {
namespace {

constexpr uint32_t kM1 = 4294967087u;  // 2^32 - 209
constexpr uint32_t kM2 = 4294944443u;  // 2^32 - 22853

struct State {
  uint32_t x1[3];  // first component, x1[2] newest
  uint32_t x2[3];  // second component, x2[2] newest
  using Word = Word32;
  static constexpr double kScale = 1.0 / double(kM1);
  static constexpr bool kZeroOffsetPath = true;
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

// ---- long requests: chains on consecutive segments --------------------------------------
//
// One step is latency-bound (each second-component value needs the one before), so a request is
// cut into S segments of L elements run side by side as S chains; the segments' start states
// come from the request's start state through jump matrices (powers of the companion matrices
// of both components). Vector chains run two at a time: one register carries the first
// component of two chains, another the second component of the same two, so every multiply
// does useful work and the output difference needs no shuffling. On x86-64 two more chains run
// in general-purpose registers at the same time (scalar_step), which keeps the integer units
// busy while the vector units are saturated. Every element is still the exact value of the
// recurrence, so the output does not depend on how a request is cut.
//
// Long requests use full blocks of S = kSegments segments of kLong elements, their starts from
// precomputed matrices C^(k kLong); what is left (or a request shorter than one full block)
// becomes one block of eight vector chains of L = 2 floor(rest / 16) elements, started by
// C^L = C^(32a) C^(2b) from two small tables, and the last 0 .. 15 elements run one by one.

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

// t - floor(t / 2^32) m = lo(t) + d hi(t): congruent to t mod m = 2^32 - d. The high words
// reach the multiplier's input dwords through a shuffle rather than a shift: the shuffle writes
// a new register, so t needs no copy (SSE2 shifts overwrite their operand).
inline __m128i fold(__m128i t, __m128i m) {
  return _mm_sub_epi64(t, _mm_mul_epu32(_mm_shuffle_epi32(t, _MM_SHUFFLE(3, 3, 3, 1)), m));
}

// t mod m for 0 <= t < 2m.
inline __m128i below(__m128i t, __m128i m) {
  const __m128i u = _mm_sub_epi64(t, m);
  return _mm_add_epi64(u, _mm_and_si128(_mm_shuffle_epi32(u, _MM_SHUFFLE(3, 3, 1, 1)), m));
}

inline Pair to_pair(const Chain& a, const Chain& b) {
  return {_mm_unpacklo_epi64(a.x0, b.x0), _mm_unpacklo_epi64(a.x1, b.x1),
          _mm_unpacklo_epi64(a.x2, b.x2), _mm_unpackhi_epi64(a.x0, b.x0),
          _mm_unpackhi_epi64(a.x1, b.x1), _mm_unpackhi_epi64(a.x2, b.x2)};
}

// One chain in 64-bit general-purpose registers, with the same reductions as the vector form.
struct Scalar {
  uint64_t x0, x1, x2, w0, w1, w2;  // first component, second component; oldest first
};

// The negations m - x are taken in 32 bits, and the conditional subtraction of m from
// t < 2m uses t >= m <=> t + d >= 2^32 (then t - m is the low word of t + d); the output
// (y1 - y2) mod m1 is y1 - y2 in 32 bits, less 209 when y1 < y2 (+ m1 = + 2^32 - 209).
// These forms keep the constants within 32-bit immediates.
inline uint32_t scalar_step(Scalar& s) {
  const uint64_t n1 = uint32_t(kM1 - uint32_t(s.x0));
  uint64_t p1 = 1403580 * s.x1 + 810728 * n1;  // < 2^54
  p1 = uint32_t(p1) + (p1 >> 32) * 209;        // < 2 m1
  const uint64_t q1 = p1 + 209;
  const uint64_t y1 = (q1 >> 32) ? uint32_t(q1) : p1;
  const uint64_t n2 = uint32_t(kM2 - uint32_t(s.w0));
  uint64_t p2 = 527612 * s.w2 + 1370589 * n2;
  p2 = uint32_t(p2) + (p2 >> 32) * 22853;
  p2 = uint32_t(p2) + (p2 >> 32) * 22853;  // < 2 m2
  const uint64_t q2 = p2 + 22853;
  const uint64_t y2 = (q2 >> 32) ? uint32_t(q2) : p2;
  s.x0 = s.x1;
  s.x1 = s.x2;
  s.x2 = y1;
  s.w0 = s.w1;
  s.w1 = s.w2;
  s.w2 = y2;
  const uint32_t d = uint32_t(y1) - uint32_t(y2);
  return y1 >= y2 ? d : d - 209;
}

inline Scalar to_scalar(const Chain& c) {
  State st;
  store(c, &st);
  return {st.x1[0], st.x1[1], st.x1[2], st.x2[0], st.x2[1], st.x2[2]};
}

inline Chain from_scalar(const Scalar& s) {
  return {_mm_set_epi64x(int64_t(s.w0), int64_t(s.x0)), _mm_set_epi64x(int64_t(s.w1), int64_t(s.x1)),
          _mm_set_epi64x(int64_t(s.w2), int64_t(s.x2))};
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

Jump paired(const Mat3& p1, const Mat3& p2) {
  Jump J;
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      J.e[r][c][0] = p1.e[r][c];
      J.e[r][c][1] = p2.e[r][c];
    }
  return J;
}

Jump paired_power(uint64_t e) {
  return paired(companion_power(kRow1, kM1, e), companion_power(kRow2, kM2, e));
}

// Vector chain pairs and scalar chains of a full block and of the rest block. i386 has no
// 64-bit general-purpose registers, so there every chain is a vector chain.
#if defined(__x86_64__)
constexpr int kScalars = 2;
#else
constexpr int kScalars = 0;
#endif
constexpr int kPairs = 4;
constexpr int kRestPairs = 4;
constexpr int kRestScalars = kScalars > 0 ? 2 : 0;
constexpr int kSegments = 2 * kPairs + kScalars;
constexpr int kRestSegments = 2 * kRestPairs + kRestScalars;
constexpr int32_t kLong = 256;
// The rest block has L < kSegments kLong / kRestSegments, at most kMaxRest.
constexpr int32_t kMaxRest = (kSegments * kLong / kRestSegments - 1) / 2 * 2;
static_assert((kSegments * kLong - 1) / (2 * kRestSegments) * 2 <= kMaxRest);

struct JumpTable {
  Jump full[kSegments - 1];  // C^(j kLong), j = 1 .. kSegments - 1
  Jump step[kMaxRest];       // C^(2 h), h = 1 .. kMaxRest: C^(2L) for every rest length L, C^(4L) for L <= kMaxRest / 2
  JumpTable() {
    for (int j = 1; j < kSegments; ++j) full[j - 1] = paired_power(uint64_t(j) * kLong);
    const Mat3 c1 = companion_power(kRow1, kM1, 2), c2 = companion_power(kRow2, kM2, 2);
    Mat3 p1 = c1, p2 = c2;
    for (int h = 1; h <= kMaxRest; ++h) {
      step[h - 1] = paired(p1, p2);
      p1 = mat_mul(p1, c1, kM1);
      p2 = mat_mul(p2, c2, kM2);
    }
  }
};

const JumpTable& jumps() {
  static const JumpTable table;
  return table;
}

// J v mod m in both lanes. Each product (< 2^64) is folded once to lo + d hi
// < 2^32 + 22853 (2^32 - 1); three of them sum to below 68562 * 2^32, so one more fold leaves
// < 2^32 + 22853 * 68562 < 2 m and one conditional subtraction finishes. Kept out of line: inlined
// into generate it changes the register allocation of the chain loops for the worse.
__attribute__((noinline)) Chain jump(const Chain& c, const Jump& J, const Consts& k) {
  const __m128i x[3] = {c.x0, c.x1, c.x2};
  __m128i out[3];
  for (int r = 0; r < 3; ++r) {
    __m128i s = _mm_setzero_si128();
    for (int q = 0; q < 3; ++q) {
      const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(J.e[r][q]));
      s = _mm_add_epi64(s, fold(_mm_mul_epu32(e, x[q]), k.m));
    }
    out[r] = below(fold(s, k.m), k.m);
  }
  return {out[0], out[1], out[2]};
}

// Runs the 2P + K chains started at `starts` for L steps each (L even): vector pair p holds
// segments 2p and 2p + 1, scalar chain j segment 2P + j; segment s writes elements
// i + s L .. i + s L + L - 1. Returns the state after the last segment.
//
// The vector chains' history lives in a small ring in memory (the results of steps t-1 .. t-3
// are stored once and read back as memory operands), and only each pair's newest
// second-component value (the one on the critical path) stays in a register: the full state of
// eight chains (24 registers) does not fit the register file, and letting the compiler spill it
// costs more than the ring.
template <int P, int K, class Sink>
Chain run_segments(const Chain* starts, int32_t i, int32_t L, const Sink& out) {
  const PairConsts pk;
  const Sink o = out;  // a local copy: stores through o.r cannot change o itself
  alignas(16) __m128i ring[4][P][2];  // [step & 3][pair][component]
  __m128i v2[P];
  for (int p = 0; p < P; ++p) {
    const Pair q = to_pair(starts[2 * p], starts[2 * p + 1]);
    ring[1][p][0] = q.u0;  // step -3
    ring[2][p][0] = q.u1;  // step -2
    ring[3][p][0] = q.u2;  // step -1
    ring[1][p][1] = q.v0;
    ring[2][p][1] = q.v1;
    ring[3][p][1] = q.v2;
    v2[p] = q.v2;
  }
  Scalar sc[K > 0 ? K : 1];
  for (int j = 0; j < K; ++j) sc[j] = to_scalar(starts[2 * P + j]);

  // One step of every pair; results go to ring slot `now`, outputs (y1 - y2) mod m1 to z.
  //   first:  p < (1403580 + 810728) 2^32, so hi(p) < 2214308 and one fold leaves
  //           lo + 209 hi < 2^32 + 4.63e8 < 2 m1;
  //   second: p < (527612 + 1370589) 2^32, one fold leaves < 2^32 + 4.34e10 (hi < 11), a
  //           second fold < 2^32 + 11 * 22853 < 2 m2.
  auto step_all = [&](int32_t now, __m128i* z) {
    const int32_t back2 = (now + 2) & 3, back3 = (now + 1) & 3;
    for (int p = 0; p < P; ++p) {
      const __m128i p1 = _mm_add_epi64(_mm_mul_epu32(ring[back2][p][0], pk.a1),
                                       _mm_mul_epu32(_mm_sub_epi64(pk.m1, ring[back3][p][0]), pk.b1));
      const __m128i p2 = _mm_add_epi64(_mm_mul_epu32(v2[p], pk.a2),
                                       _mm_mul_epu32(_mm_sub_epi64(pk.m2, ring[back3][p][1]), pk.b2));
      const __m128i y1 = below(fold(p1, pk.m1), pk.m1);
      const __m128i y2 = below(fold(fold(p2, pk.m2), pk.m2), pk.m2);
      ring[now][p][0] = y1;
      ring[now][p][1] = y2;
      v2[p] = y2;
      const __m128i d = _mm_sub_epi64(y1, y2);  // in (-m2, m1)
      z[p] = _mm_add_epi64(d, _mm_and_si128(_mm_shuffle_epi32(d, _MM_SHUFFLE(3, 3, 1, 1)), pk.m1));
    }
  };
  for (int32_t t = 0; t < L; t += 2) {
    __m128i za[P], zb[P];
    step_all(t & 3, za);
    step_all((t + 1) & 3, zb);
    for (int p = 0; p < P; ++p) {
      o.two(i + 2 * p * L + t, _mm_unpacklo_epi64(za[p], zb[p]));
      o.two(i + (2 * p + 1) * L + t, _mm_unpackhi_epi64(za[p], zb[p]));
    }
    for (int j = 0; j < K; ++j) {
      o.one(i + (2 * P + j) * L + t, scalar_step(sc[j]));
      o.one(i + (2 * P + j) * L + t + 1, scalar_step(sc[j]));
    }
  }
  if (K > 0) return from_scalar(sc[K > 0 ? K - 1 : 0]);
  // Steps L-3, L-2, L-1 of the last pair's lane 1 (slot s & 3 holds step s, s >= -3).
  const int32_t e0 = (L - 3) & 3, e1 = (L - 2) & 3, e2 = (L - 1) & 3;
  return {_mm_unpackhi_epi64(ring[e0][P - 1][0], ring[e0][P - 1][1]),
          _mm_unpackhi_epi64(ring[e1][P - 1][0], ring[e1][P - 1][1]),
          _mm_unpackhi_epi64(ring[e2][P - 1][0], ring[e2][P - 1][1])};
}

// The rest block's chains, out of line: the full-block loop stays inlined in generate, and the
// rest block's copy is compiled on its own (about 1.5% faster at n = 1,000 than a second copy
// inlined beside the first).
template <class Sink>
__attribute__((noinline)) Chain run_rest(const Chain* starts, int32_t i, int32_t L, const Sink& out) {
  return run_segments<kRestPairs, kRestScalars>(starts, i, L, out);
}

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  if (n <= 0) return;
  const Consts k;
  Chain c = load(st);
  int32_t i = 0;
  if (n >= 2 * kRestSegments) {
    const JumpTable& T = jumps();
    for (; n - i >= kSegments * kLong; i += kSegments * kLong) {
      Chain s[kSegments];
      s[0] = c;
      for (int j = 1; j < kSegments; ++j) s[j] = jump(c, T.full[j - 1], k);
      c = run_segments<kPairs, kScalars>(s, i, kLong, out);
    }
    const int32_t L = (n - i) / (2 * kRestSegments) * 2;
    if (L > 0) {
      // Chain j starts at C^(j L) applied to c: C^L gives chain 1, C^(2L) chains 2 and 3 from
      // chains 0 and 1, and C^(4L) (while 4L is in the table) chain j >= 4 from chain j - 4, so
      // the dependent series of jumps is three deep (five with C^(2L) alone).
      const Jump& J1 = T.step[L / 2 - 1];
      const Jump& J2 = T.step[L - 1];
      Chain s[kRestSegments];
      s[0] = c;
      s[1] = jump(c, J1, k);
      if (2 * L <= kMaxRest) {
        const Jump& J4 = T.step[2 * L - 1];
        for (int j = 2; j < kRestSegments; ++j) s[j] = j < 4 ? jump(s[j - 2], J2, k) : jump(s[j - 4], J4, k);
      } else {
        for (int j = 2; j < kRestSegments; ++j) s[j] = jump(s[j - 2], J2, k);
      }
      c = run_rest(s, i, L, out);
      i += kRestSegments * L;
    }
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

inline uint64_t mulmod(uint64_t a, uint64_t b, uint64_t m) { return (a * b) % m; }

int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
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

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

extern "C" {

QOR_API uint32_t __hoxiPowMod(uint32_t base, uint32_t e_lo, uint32_t e_hi, uint32_t modulus) {
  if (modulus == 0) return 0;
  const uint64_t e = (uint64_t(e_hi) << 32) | e_lo;
  const auto mul = [modulus](uint64_t a, uint64_t b) { return mulmod(a, b, modulus); };
  return static_cast<uint32_t>(power<uint64_t>(base % modulus, e, mul) % modulus);  // 1 % 1 = 0
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

}  // extern "C"

QOR_BRNG_EXPORTS(MRG32K3A, State, generate, init)
