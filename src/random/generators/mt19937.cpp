// MT19937 (Matsumoto & Nishimura 1998): 624 words, middle word 397, twist word 0x9908B0DF,
// tempering masks 0x9D2C5680 / 0xEFC60000, seeded by the reference array initialisation.
//
// Skip-ahead by N: generate and discard (2048 words at a time) below 2^20, the polynomial jump
// above (gf2_jump.h; the sliding-window form, Horner's rule from 2^63 on). The jump works on
// the window mt[0..623] = x_s .. x_(s+623) of the output sequence (the block holds the last
// `index` outputs and the next 624 - index), whose one-element step is the incremental twist:
// the oldest word is replaced by the next one. The step reads only the top bit of the oldest
// word, so P (degree 19937) annihilates the 19937 live bits and leaves the low 31 bits of the
// oldest word undefined; with index >= 1 that word has already been output and only its top bit
// is read again, so a stream positioned at index 0 first outputs one word (ProcessIdx).
#include <algorithm>

#include "random/core/gf2_jump.h"
#include "random/generators/twister.h"

namespace qor::rng {
namespace {

using Shape = twister::Shape<624, 397, 0x80000000u, 11>;
constexpr twister::Masks kMasks{0x9908B0DFu, 0x9D2C5680u, 0xEFC60000u};
constexpr int kN = Shape::n;

struct State {
  uint32_t mt[kN];
  uint32_t index;  // words of the block already used; 624: regenerate first
  using Word = Word32;
  static constexpr double kScale = 0x1p-32;
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 2516);

template <class Sink>
void generate(State* st, int32_t n, const Sink& out) {
  twister::generate<Shape>(st->mt, &st->index, kMasks, n, out);
}

struct Discard {
  void one(int32_t, uint64_t) const {}
  void two(int32_t, __m128i) const {}
};

void discard(State* st, uint64_t n) {
  while (n) {
    const int32_t k = int32_t(std::min<uint64_t>(n, 2048));
    generate(st, k, Discard{});
    n -= uint64_t(k);
  }
}

// ---- the six state operations of the jump --------------------------------------------------
struct Work {
  uint32_t w[kN];
  uint32_t p;  // position of the oldest word
};

// to[(pt + i) % n] ^= from[(pf + i) % n] for all i, in contiguous runs.
void add_rotated(uint32_t* to, uint32_t pt, const uint32_t* from, uint32_t pf, int n) {
  int i = 0;
  while (i < n) {
    const int run = std::min(n - int(pt), n - int(pf));
    for (int k = 0; k < run && i < n; ++k, ++i) to[pt + k] ^= from[pf + k];
    pt = (pt + uint32_t(run)) % uint32_t(n);
    pf = (pf + uint32_t(run)) % uint32_t(n);
  }
}

void zero_state(void* w) { std::memset(w, 0, sizeof(Work)); }
void add_state(void* to, const void* from) {
  auto* t = static_cast<Work*>(to);
  const auto* f = static_cast<const Work*>(from);
  add_rotated(t->w, t->p, f->w, f->p, kN);
}
void copy_state1(void* w, const void* state) {
  auto* t = static_cast<Work*>(w);
  std::memcpy(t->w, static_cast<const State*>(state)->mt, sizeof t->w);
  t->p = 0;
}
void update_s(void* w) {
  auto* t = static_cast<Work*>(w);
  const uint32_t p = t->p;
  const uint32_t q = p + 1 == kN ? 0 : p + 1, r = p + Shape::m >= kN ? p + Shape::m - kN : p + Shape::m;
  t->w[p] = twister::twist<Shape>(t->w[p], t->w[q], t->w[r], kMasks.a);
  t->p = q;
}
void copy_state2(void* state, const void* w) {
  const auto* t = static_cast<const Work*>(w);
  auto* st = static_cast<State*>(state);
  for (int i = 0; i < kN; ++i) st->mt[i] = t->w[(t->p + uint32_t(i)) % kN];
}
int32_t process_idx(void* state, uint64_t* n) {
  auto* st = static_cast<State*>(state);
  if (st->index > uint32_t(kN)) st->index = kN;
  if (st->index == 0 && *n) {
    discard(st, 1);
    --*n;
  }
  return *n != 0;
}

int32_t init(int32_t method, State* st, int32_t n, const uint32_t* params) {
  switch (method) {
    case HOX_INIT_METHOD_STANDARD:
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      twister::seed_by_array<kN>(st->mt, n, params);
      st->index = kN;
      return 0;
    case HOX_INIT_METHOD_LEAPFROG:
      return HOX_ERR_LEAPFROG_UNSUPPORTED;
    case HOX_INIT_METHOD_SKIPAHEAD: {
      const uint64_t N = skip_count(n, params);
      if (N < (uint64_t(1) << 20)) {
        discard(st, N);
        return 0;
      }
      const uint32_t lo = uint32_t(N), hi = uint32_t(N >> 32);
      return (N >> 63) ? __hox_SkipAheadHorner(st, zero_state, add_state, copy_state1, update_s, copy_state2,
                                               process_idx, lo, hi, kN, 19937, int32_t(sizeof(Work)), 135,
                                               _hox_mt19937_poly)
                       : __hox_SkipAheadSWin(st, zero_state, add_state, copy_state1, update_s, copy_state2,
                                             process_idx, lo, hi, kN, 19937, int32_t(sizeof(Work)), 135,
                                             _hox_mt19937_poly);
    }
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

QOR_BRNG_EXPORTS(MT19937, State, generate, init)
