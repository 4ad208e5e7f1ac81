// What the two quasi-random generators (Sobol, Niederreiter) share: the stream state, the
// Gray-code generation of d-dimensional points, the period limit, the coordinate-selecting
// leapfrog, skip-ahead by elements, the parsing of the user-parameter forms and the user-table
// chunks. Each generator adds only how it builds its direction numbers (sobol.cpp, niederr.cpp).
//
// Points. Point i (i = 0, 1, ...) has, in coordinate j, the 32-bit value
//   x_j(i) = XOR of v_j[b] over the set bits b of the Gray code g(i) = i ^ (i >> 1),
// v_j[b] being dimension j's direction number of bit b (its leading bit aligned to bit 31), so
// point i + 1 is point i with every coordinate XOR-ed with v_j[c], c the lowest zero bit of i.
// A stream of dimension d emits the coordinates of points 1, 2, 3, ... one after another
// (point 1 coordinate 0, ..., coordinate d - 1, then point 2, ...). The origin (point 0) is not
// emitted: every dimension's generator matrix is nonsingular, so no later point before 2^32
// has a zero coordinate, which is what the registry's mayReturnZero = 0 says; the outputs lie
// in (0, 1) scaled to the interval. Doubles are a + (b - a) * x * 2^-32 (singles computed so
// and rounded); integer output is x itself.
//
// Period. Point indices stop at 2^32 - 1 (the Gray-code step from 2^32 - 1 would need bit 32):
// a call, or a skip-ahead, that would need a point beyond it is refused as a whole, with
// HOX_ERR_QRNG_PERIOD_ELAPSED (generation) or HOX_ERR_SKIPAHEAD_UNSUPPORTED (skip-ahead), and
// changes nothing. So a stream gives at most (2^32 - 1) * d elements.
//
// Tables. Direction numbers are kept bit-major (v[b][j], the d numbers of one bit contiguous),
// so a step XORs d contiguous words. Streams whose tables fit the state (d up to kMaxDim: 40
// for Sobol, 318 for Niederreiter) keep them there, built-in or user-supplied alike; larger
// user-supplied tables go to two chunks:
//   kind 9   the direction numbers, 32 * d words (bit-major), read-only and keyed, so copies
//            and loaded images of the stream share one block (shared read-only table);
//   kind 13  the current point, d words, private to the stream.
// When both chunks are present the output functions use them (the user-table variant);
// otherwise they use the state (the built-in-table variant).
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "qor/rng.h"
#include "qor/service.h"
#include "random/core/stream.h"
#include "random/generators/output.h"

namespace qor::rng::qrng {

constexpr int kBits = 32;
constexpr uint32_t kNoLeap = 0xFFFFFFFFu;
constexpr int32_t kChunkDirections = 9;
constexpr int32_t kChunkPoint = 13;
constexpr uint64_t kLastPoint = 0xFFFFFFFFull;  // highest point index
// Largest dimension of a user table: its 32 * d direction words must fit a chunk's 32-bit size.
constexpr uint32_t kMaxUserDim = 0xFFFFFFu;
constexpr int32_t kLeapfrogAll = 2147483647;  // the only stream count leapfrog accepts

// The state after the stream header; Bytes is the registry's stateBytes - 16. Its first four
// words are the point counter, the dimension, the position in the current point and the
// leapfrog coordinate; the rest of the area after the tables is reserved (zero).
template <uint32_t MaxDim, uint32_t Bytes>
struct State {
  uint32_t counter;  // index of the current point, whose coordinates are in x
  uint32_t dim;      // d
  uint32_t pos;      // coordinates of the current point already emitted (1 ... count; see below)
  uint32_t leap;     // coordinate selected by leapfrog, or kNoLeap for all d
  uint32_t x[MaxDim];
  uint32_t v[kBits][MaxDim];
  unsigned char reserved[Bytes - 16 - 4 * MaxDim * (kBits + 1)];
  static constexpr uint32_t kMaxDim = MaxDim;
};
// A fresh stream has counter 0 and pos = count (the origin counts as emitted). Elements
// emitted so far: E = (counter - 1) * count + pos, with count = d, or 1 after leapfrog.

// Where the tables of a stream are: in its state (stride kMaxDim) or in its chunks (stride d).
struct Tables {
  uint32_t* x = nullptr;
  const uint32_t* v = nullptr;  // v[b * stride + j]
  uint32_t stride = 0;
};

inline uint32_t count_of(uint32_t dim, uint32_t leap) { return leap == kNoLeap ? dim : 1; }
inline uint32_t first_of(uint32_t leap) { return leap == kNoLeap ? 0 : leap; }
inline uint64_t emitted(uint32_t counter, uint32_t pos, uint32_t count) {
  return counter == 0 ? 0 : (uint64_t(counter) - 1) * count + pos;
}

// The data of the first chunk of a kind when it holds at least `bytes` bytes, else null.
inline void* chunk_data(HoxStream stream, int32_t kind, uint64_t bytes) {
  for (const Chunk* c = header(stream)->chunks; c; c = c->next)
    if (c->kind == kind) return c->size >= 0 && uint64_t(c->size) >= bytes ? c->data : nullptr;
  return nullptr;
}

// The tables of a stream, or {null} when its state is not one seeding makes (a forged or
// damaged image: no dimension, a leapfrog coordinate or position out of range, chunks too small
// for the dimension), which every operation refuses with HOX_ERR_BAD_ARGUMENT.
template <class S>
Tables tables_of(HoxStream stream, S* st) {
  const uint32_t d = st->dim;
  if (d == 0 || (st->leap != kNoLeap && st->leap >= d) || st->pos > count_of(d, st->leap)) return Tables{};
  auto* v = static_cast<const uint32_t*>(chunk_data(stream, kChunkDirections, uint64_t(d) * kBits * 4));
  auto* x = static_cast<uint32_t*>(chunk_data(stream, kChunkPoint, uint64_t(d) * 4));
  if (v && x) return Tables{x, v, d};
  if (d > S::kMaxDim) return Tables{};
  return Tables{st->x, &st->v[0][0], S::kMaxDim};
}

// x = point i, for the coordinates [0, d).
inline void set_point(const Tables& t, uint32_t dim, uint32_t i) {
  const uint32_t g = i ^ (i >> 1);
  for (uint32_t j = 0; j < dim; ++j) t.x[j] = 0;
  for (int b = 0; b < kBits; ++b)
    if (g >> b & 1) {
      const uint32_t* vb = t.v + size_t(b) * t.stride;
      for (uint32_t j = 0; j < dim; ++j) t.x[j] ^= vb[j];
    }
}

// The low and the high pair of four 32-bit words, each word zero-extended into a 64-bit lane.
inline __m128i low_pair(__m128i w) { return _mm_unpacklo_epi32(w, _mm_setzero_si128()); }
inline __m128i high_pair(__m128i w) { return _mm_unpackhi_epi32(w, _mm_setzero_si128()); }

// n elements through the sink, from the position (counter, pos) of the coordinates
// [first, first + count). The caller has checked the period limit. Whole points are stepped and
// emitted in one pass, four coordinates at a time; one-coordinate streams two points at a time.
template <class Sink>
void generate(const Tables& t, uint32_t* counter_io, uint32_t* pos_io, uint32_t first, uint32_t count,
              int32_t n, const Sink& out) {
  uint32_t counter = *counter_io, pos = *pos_io;
  uint32_t* x = t.x + first;
  const uint32_t* v = t.v + first;
  const size_t stride = t.stride;
  int32_t i = 0;
  if (count == 1) {
    uint32_t x0 = x[0];
    for (; i + 2 <= n; i += 2) {
      const uint32_t x1 = x0 ^ v[size_t(__builtin_ctz(~counter)) * stride];
      x0 = x1 ^ v[size_t(__builtin_ctz(~(counter + 1))) * stride];
      counter += 2;
      out.two(i, _mm_set_epi64x(x0, x1));
    }
    if (i < n) {
      x0 ^= v[size_t(__builtin_ctz(~counter)) * stride];
      ++counter;
      out.one(i, x0);
    }
    x[0] = x0;
    if (n > 0) pos = 1;
    *counter_io = counter;
    *pos_io = pos;
    return;
  }
  auto step = [&] {
    const uint32_t* vc = v + size_t(__builtin_ctz(~counter)) * stride;
    for (uint32_t j = 0; j < count; ++j) x[j] ^= vc[j];
    ++counter;
    pos = 0;
  };
  // The rest of the current point.
  if (pos < count) {
    const uint32_t m = count - pos < uint32_t(n) ? count - pos : uint32_t(n);
    for (uint32_t j = 0; j < m; ++j) out.one(int32_t(j), x[pos + j]);
    i = int32_t(m);
    pos += m;
  }
  // Whole points.
  while (uint32_t(n - i) >= count) {
    const uint32_t* vc = v + size_t(__builtin_ctz(~counter)) * stride;
    uint32_t j = 0;
    for (; j + 4 <= count; j += 4) {
      const __m128i w = _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + j)),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(vc + j)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(x + j), w);
      out.two(i + int32_t(j), low_pair(w));
      out.two(i + int32_t(j) + 2, high_pair(w));
    }
    for (; j < count; ++j) {
      x[j] ^= vc[j];
      out.one(i + int32_t(j), x[j]);
    }
    ++counter;
    i += int32_t(count);
  }
  // The start of the next point.
  if (i < n) {
    step();
    const uint32_t m = uint32_t(n - i);
    for (uint32_t j = 0; j < m; ++j) out.one(i + int32_t(j), x[j]);
    pos = m;
  }
  *counter_io = counter;
  *pos_io = pos;
}

// The output functions' common part: checks, the period limit, then generation.
template <class S, class Sink>
int32_t draw(HoxStream stream, int32_t n, const void* r, const Sink& out) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  S* st = state_of<S>(stream);
  const Tables t = tables_of(stream, st);
  if (!t.x) return HOX_ERR_BAD_ARGUMENT;
  const uint32_t count = count_of(st->dim, st->leap);
  if (emitted(st->counter, st->pos, count) + uint64_t(n) > kLastPoint * count) return HOX_ERR_QRNG_PERIOD_ELAPSED;
  generate(t, &st->counter, &st->pos, first_of(st->leap), count, n, out);
  return 0;
}

// ---- user parameters -----------------------------------------------------------------------

// Degree of a polynomial over GF(2) given as bits (bit i the coefficient of x^i); -1 for 0.
inline int degree(uint64_t p) { return p ? 63 - __builtin_clzll(p) : -1; }

// What the seed words ask for. Built-in tables: n < 1 gives d = 1; otherwise d = params[0]
// when 1 <= d <= kMaxDim, else 1. A user form: n >= 4, params[1] = 1, params[2] the form, and
// the form's length condition and content checks (done by the generator) met; a form that
// fails them, or an unknown form, falls back to the built-in tables as above.
inline uint32_t builtin_dim(int32_t n, const uint32_t* params, uint32_t max_dim) {
  if (n < 1) return 1;
  return params[0] >= 1 && params[0] <= max_dim ? params[0] : 1;
}
inline bool user_form(int32_t n, const uint32_t* params, uint32_t* form) {
  if (n < 4 || params[1] != 1) return false;
  *form = params[2];
  return params[0] >= 1 && params[0] <= kMaxUserDim;
}
// Length condition "need <= n", computed without overflow.
inline bool fits(uint64_t need, int32_t n) { return need <= uint64_t(int64_t(n)); }

// Seeding with direction numbers built by `build(v, stride)` (which fills v[b * stride + j] for
// j < dim). Tables that fit the state go there; larger ones to chunks 9 and 13, attached before
// the old ones are released so that an allocation failure (HOX_ERR_NO_MEMORY) leaves the
// stream as it was.
template <class S, class Build>
int32_t install(HoxStream stream, S* st, uint32_t dim, Build build) {
  if (dim <= S::kMaxDim) {
    __hoxDeleteChunksById(stream, kChunkDirections);
    __hoxDeleteChunksById(stream, kChunkPoint);
    std::memset(st, 0, sizeof(S));
    build(&st->v[0][0], S::kMaxDim);
  } else {
    const size_t vbytes = size_t(dim) * kBits * 4, xbytes = size_t(dim) * 4;
    auto* v = static_cast<uint32_t*>(qor_serv_allocate(vbytes, 128));
    auto* x = static_cast<uint32_t*>(qor_serv_allocate(xbytes, 128));
    if (!v || !x) {
      qor_serv_deallocate(v);
      qor_serv_deallocate(x);
      return HOX_ERR_NO_MEMORY;
    }
    build(v, dim);
    std::memset(x, 0, xbytes);
    StreamHeader* h = header(stream);
    if (__hoxAddChunk(stream, kChunkPoint, nullptr, x, int32_t(xbytes)) != 0) {
      qor_serv_deallocate(v);
      qor_serv_deallocate(x);
      return HOX_ERR_NO_MEMORY;
    }
    uint32_t key[4];
    __hoxGenerateNewGlobalRODataTableEntryId(key, uint32_t(header(stream)->brng));
    if (__hoxAddChunk(stream, kChunkDirections, key, v, int32_t(vbytes)) != 0) {
      Chunk* c = h->chunks;  // the point chunk just attached
      h->chunks = c->next;
      h->chunkAux = 0;
      release_chunk(c);
      qor_serv_deallocate(v);
      return HOX_ERR_NO_MEMORY;
    }
    // Release the stream's earlier table chunks (those after the two new ones).
    Chunk* point_chunk = h->chunks->next;
    for (Chunk** link = &point_chunk->next; Chunk* c = *link;) {
      if (c->kind == kChunkDirections || c->kind == kChunkPoint) {
        *link = c->next;
        release_chunk(c);
      } else {
        link = &c->next;
      }
    }
    h->chunkAux = 0;
    std::memset(st, 0, sizeof(S));
  }
  st->dim = dim;
  st->counter = 0;
  st->pos = dim;
  st->leap = kNoLeap;
  return 0;
}

// Leapfrog (method 1): only s = 2147483647 with k below d, selecting coordinate k of the
// points; the next output is coordinate k of the first point none of whose coordinates has been
// emitted yet. Skip-ahead (method 2): N elements (one or two words, low first), equal to
// generating and discarding N elements, refused when that would pass the period limit.
template <class S>
int32_t reposition(int32_t method, HoxStream stream, S* st, int32_t n, const uint32_t* params) {
  if (!params && (method == HOX_INIT_METHOD_LEAPFROG || n > 0)) return HOX_ERR_BAD_ARGUMENT;
  const Tables t = tables_of(stream, st);
  if (method == HOX_INIT_METHOD_LEAPFROG) {
    if (n != kLeapfrogAll) return HOX_ERR_LEAPFROG_UNSUPPORTED;
    if (!t.x) return HOX_ERR_BAD_ARGUMENT;
    if (params[0] >= st->dim) return HOX_ERR_LEAPFROG_UNSUPPORTED;
    st->leap = params[0];
    st->pos = 1;
    set_point(t, st->dim, st->counter);
    return 0;
  }
  if (n <= 0) return HOX_ERR_SKIPAHEAD_UNSUPPORTED;
  if (!t.x) return HOX_ERR_BAD_ARGUMENT;
  const uint64_t skip = skip_count(n, params);
  if (skip == 0) return 0;
  const uint32_t count = count_of(st->dim, st->leap);
  const uint64_t e = emitted(st->counter, st->pos, count), limit = kLastPoint * count;
  if (skip > limit - e) return HOX_ERR_SKIPAHEAD_UNSUPPORTED;
  const uint64_t e2 = e + skip;  // >= 1
  st->counter = uint32_t((e2 - 1) / count + 1);
  st->pos = uint32_t((e2 - 1) % count + 1);
  set_point(t, st->dim, st->counter);
  return 0;
}

}  // namespace qor::rng::qrng

// The four registry functions of a quasi-random generator from its state type S and its seeding
// routine seed(stream, S*, n, params).
#define QOR_QRNG_EXPORTS(Name, S, seed)                                                                  \
  extern "C" QOR_API int32_t __hoxBRng##Name##InitStream(int32_t method, HoxStream stream, int32_t n,      \
                                                         const uint32_t* params) {                       \
    S* st = ::qor::rng::state_of<S>(stream);                                                             \
    if (method == HOX_INIT_METHOD_STANDARD) {                                                            \
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;                                                 \
      return seed(stream, st, n, params);                                                                \
    }                                                                                                    \
    if (method == HOX_INIT_METHOD_LEAPFROG || method == HOX_INIT_METHOD_SKIPAHEAD)                       \
      return ::qor::rng::qrng::reposition(method, stream, st, n, params);                                \
    return HOX_ERR_BAD_INIT_METHOD;                                                                      \
  }                                                                                                      \
  extern "C" QOR_API int32_t __hoxiBRng##Name(HoxStream stream, int32_t n, uint32_t* r) {               \
    return ::qor::rng::qrng::draw<S>(stream, n, r, ::qor::rng::WordSink<::qor::rng::Word32>{r});        \
  }                                                                                                      \
  extern "C" QOR_API int32_t __hoxdBRng##Name(HoxStream stream, int32_t n, double* r, double a, double b) { \
    const ::qor::rng::DoubleSink<::qor::rng::Word32> sink(r, a, b, 0x1p-32);                             \
    if (::qor::rng::is_positive_zero(a) && sink.c > 0)                                                   \
      return ::qor::rng::qrng::draw<S>(stream, n, r, ::qor::rng::ScaledSink<::qor::rng::Word32>{r, sink.c}); \
    return ::qor::rng::qrng::draw<S>(stream, n, r, sink);                                                \
  }                                                                                                      \
  extern "C" QOR_API int32_t __hoxsBRng##Name(HoxStream stream, int32_t n, float* r, float a, float b) { \
    return ::qor::rng::qrng::draw<S>(stream, n, r, ::qor::rng::SingleSink<::qor::rng::Word32>(r, a, b, 0x1p-32)); \
  }
