// Jump-ahead over GF(2): x^N mod P by square-and-multiply, and the Horner and sliding-window
// applications of the remainder to a generator state (see gf2_jump.h).
//
// Polynomials are little-endian bit vectors in 64-bit words (bit i of word i / 64 is the
// coefficient of x^i). Squaring spreads the bits (a square over GF(2) has no cross terms): one
// carry-less multiply of a word by itself where the processor has it, a 256-entry table of
// 16-bit spreads otherwise. Reduction modulo P:
//   - sparse (few terms, MT19937's 135): each word of bits at or above the degree is folded
//     back once per term of P (x^d = sum of the lower terms), from the top word down;
//   - Barrett (many terms, SFMT19937's 6711, with the carry-less multiply): with
//     mu = floor(x^2d / P), a square A (degree < 2d) reduces to
//     A + floor(floor(A / x^d) mu / x^d) P taken mod x^d, two dense products.
// Both give the same remainder; tests compare them and an independent bitwise version.
#include "random/core/gf2_jump.h"

#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>

#include <algorithm>
#include <cstring>

#include "qor/service.h"

namespace qor::rng::gf2 {
namespace {

bool g_allow_clmul = true;

bool detect_clmul() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  return (c & (1u << 1)) != 0 && (d & (1u << 26)) != 0;  // PCLMULQDQ and SSE2
}

bool use_clmul() { return g_allow_clmul && cpu_has_clmul(); }

// Memory from the allocation service, released at scope exit.
struct Buffer {
  uint64_t* p = nullptr;
  explicit Buffer(size_t words) { p = static_cast<uint64_t*>(qor_serv_allocate(std::max<size_t>(words, 1) * 8, 128)); }
  ~Buffer() { qor_serv_deallocate(p); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
};

// ---- squaring ----------------------------------------------------------------------------
struct SpreadTable {
  uint16_t t[256];
  SpreadTable() {
    for (int v = 0; v < 256; ++v) {
      uint16_t s = 0;
      for (int b = 0; b < 8; ++b) s |= uint16_t(((v >> b) & 1) << (2 * b));
      t[v] = s;
    }
  }
};
const SpreadTable kSpread;

void square_portable(const uint64_t* a, int nw, uint64_t* out) {
  for (int i = 0; i < nw; ++i) {
    const uint64_t w = a[i];
    uint64_t lo = 0, hi = 0;
    for (int k = 0; k < 4; ++k) {
      lo |= uint64_t(kSpread.t[(w >> (8 * k)) & 0xFF]) << (16 * k);
      hi |= uint64_t(kSpread.t[(w >> (32 + 8 * k)) & 0xFF]) << (16 * k);
    }
    out[2 * i] = lo;
    out[2 * i + 1] = hi;
  }
}

__attribute__((target("pclmul"))) void square_clmul(const uint64_t* a, int nw, uint64_t* out) {
  for (int i = 0; i < nw; ++i) {
    const __m128i w = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_clmulepi64_si128(w, w, 0x00));
  }
}

// r (na + nb words) = a * b.
__attribute__((target("pclmul"))) void mul_clmul(const uint64_t* a, int na, const uint64_t* b, int nb, uint64_t* r) {
  std::memset(r, 0, size_t(na + nb) * 8);
  for (int i = 0; i < na; ++i) {
    if (!a[i]) continue;
    const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i));
    uint64_t* row = r + i;
    int j = 0;
    for (; j + 2 <= nb; j += 2) {
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + j));
      const __m128i p0 = _mm_clmulepi64_si128(x, y, 0x00);  // a[i] b[j]
      const __m128i p1 = _mm_clmulepi64_si128(x, y, 0x10);  // a[i] b[j+1]
      // p0 covers words j, j+1; p1 covers j+1, j+2.
      __m128i* q = reinterpret_cast<__m128i*>(row + j);
      _mm_storeu_si128(q, _mm_xor_si128(_mm_loadu_si128(q), _mm_xor_si128(p0, _mm_slli_si128(p1, 8))));
      uint64_t hi;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(&hi), _mm_srli_si128(p1, 8));
      row[j + 2] ^= hi;
    }
    for (; j < nb; ++j) {
      const __m128i y = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + j));
      __m128i* q = reinterpret_cast<__m128i*>(row + j);
      _mm_storeu_si128(q, _mm_xor_si128(_mm_loadu_si128(q), _mm_clmulepi64_si128(x, y, 0x00)));
    }
  }
}

// ---- bit helpers ---------------------------------------------------------------------------
inline int words_for(int64_t bits) { return int((bits + 63) / 64); }
inline bool bit(const uint64_t* a, int64_t i) { return (a[i >> 6] >> (i & 63)) & 1; }

// a ^= h << pos (pos may be negative, down to -63: the bits shifted below 0 are zero by use).
inline void xor_at(uint64_t* a, int64_t pos, uint64_t h) {
  if (pos < 0) {
    a[0] ^= h >> (-pos);
    return;
  }
  const int64_t w = pos >> 6;
  const int s = int(pos & 63);
  a[w] ^= h << s;
  if (s) a[w + 1] ^= h >> (64 - s);
}

// The polynomial: degree d and its lower terms (exponents below d, deduplicated by parity).
struct Poly {
  int32_t d = 0;
  const int32_t* low = nullptr;  // exponents e < d with coefficient 1, ascending
  int32_t nlow = 0;
  const int32_t* begin() const { return low; }
  const int32_t* end() const { return low + nlow; }
};

// a (words up to the one holding bit top) reduced mod P in place, top = highest possible bit.
void reduce_sparse(uint64_t* a, int64_t top, const Poly& P) {
  const int64_t d = P.d;
  for (int64_t w = top >> 6; w * 64 + 63 >= d; --w) {
    const uint64_t mask = w * 64 >= d ? ~uint64_t(0) : ~uint64_t(0) << (d - w * 64);
    for (;;) {
      const uint64_t h = a[w] & mask;
      if (!h) break;
      a[w] ^= h;
      const int64_t base = w * 64 - d;
      for (int32_t e : P) xor_at(a, base + e, h);
    }
    if (w == 0) break;
  }
}

// Barrett reduction with precomputed mu = floor(x^2d / P) (d + 1 bits) and the dense P.
struct Barrett {
  int nw = 0;              // words of a remainder (d bits)
  int pw = 0;              // words of mu and of the dense P (d + 1 bits)
  uint64_t* mu = nullptr;  // floor(x^2d / P)
  uint64_t* p = nullptr;   // P
  static size_t words(int32_t d) { return size_t(2 * words_for(d + 1) + words_for(2 * int64_t(d) + 1) + 2); }
};

// floor(x^2d / P) by long division (once per jump), in `space` (Barrett::words(d) words).
void make_barrett(const Poly& P, Barrett& B, uint64_t* space) {
  const int64_t d = P.d;
  B.nw = words_for(d);
  B.pw = words_for(d + 1);
  std::memset(space, 0, Barrett::words(P.d) * 8);
  B.p = space;
  B.mu = space + B.pw;
  uint64_t* r = B.mu + B.pw;
  B.p[d >> 6] |= uint64_t(1) << (d & 63);
  for (int32_t e : P) B.p[e >> 6] ^= uint64_t(1) << (e & 63);
  r[(2 * d) >> 6] |= uint64_t(1) << ((2 * d) & 63);
  for (int64_t i = 2 * d; i >= d; --i) {
    if (!bit(r, i)) continue;
    const int64_t sh = i - d;
    B.mu[sh >> 6] |= uint64_t(1) << (sh & 63);
    for (int k = 0; k < B.pw; ++k)  // r ^= P << sh
      if (B.p[k]) xor_at(r, sh + int64_t(k) * 64, B.p[k]);
  }
}

// a (2 nw words, degree < 2d) reduced mod P into out (nw words). Scratch: 3 * (nw + 2) * 2 words.
void reduce_barrett(const uint64_t* a, const Poly& P, const Barrett& B, uint64_t* out, uint64_t* scratch) {
  const int64_t d = P.d;
  const int nw = B.nw, mw = B.pw, pw = B.pw;
  // H = a >> d (nw words)
  uint64_t* H = scratch;
  const int64_t w0 = d >> 6;
  const int s = int(d & 63);
  for (int i = 0; i < nw + 1; ++i) {
    const int64_t k = w0 + i;
    uint64_t lo = k < 2 * nw ? a[k] : 0, hi = k + 1 < 2 * nw ? a[k + 1] : 0;
    H[i] = s ? (lo >> s) | (hi << (64 - s)) : lo;
  }
  uint64_t* HM = H + nw + 1;  // (nw + 1) + mw words
  mul_clmul(H, nw + 1, B.mu, mw, HM);
  // q = HM >> d (nw + 1 words)
  uint64_t* q = HM + nw + 1 + mw;
  const int hmw = nw + 1 + mw;
  for (int i = 0; i < nw + 1; ++i) {
    const int64_t k = w0 + i;
    uint64_t lo = k < hmw ? HM[k] : 0, hi = k + 1 < hmw ? HM[k + 1] : 0;
    q[i] = s ? (lo >> s) | (hi << (64 - s)) : lo;
  }
  uint64_t* qp = q + nw + 1;  // (nw + 1) + pw words
  mul_clmul(q, nw + 1, B.p, pw, qp);
  for (int i = 0; i < nw; ++i) out[i] = a[i] ^ qp[i];
  if (d & 63) out[nw - 1] &= (uint64_t(1) << (d & 63)) - 1;
}

}  // namespace

bool cpu_has_clmul() {
  static const bool has = detect_clmul();
  return has;
}

void allow_clmul(bool allow) { g_allow_clmul = allow; }

// x^N mod P into r (words_for(d) words). Returns false when memory runs out.
static bool poly_rem(uint64_t N, const Poly& P, uint64_t* r) {
  const int64_t d = P.d;
  const int nw = words_for(d);
  std::memset(r, 0, size_t(nw) * 8);
  if (d == 0) return true;  // everything is 0 mod 1
  if (N < uint64_t(d)) {
    r[N >> 6] = uint64_t(1) << (N & 63);
    return true;
  }
  const bool barrett = use_clmul() && P.nlow > 512;
  Buffer sq(size_t(2 * nw + 2)), scratch(barrett ? size_t(8 * (nw + 4)) + Barrett::words(P.d) : 1);
  if (!sq.p || !scratch.p) return false;
  Barrett B;
  if (barrett) make_barrett(P, B, scratch.p + 8 * (nw + 4));
  // Start from the longest prefix of N's bits that is below d, then square (and multiply by
  // x) per remaining bit.
  int b = 63;
  while (!((N >> b) & 1)) --b;
  uint64_t prefix = 0;
  while (b >= 0 && ((prefix << 1) | ((N >> b) & 1)) < uint64_t(d)) {
    prefix = (prefix << 1) | ((N >> b) & 1);
    --b;
  }
  r[prefix >> 6] = uint64_t(1) << (prefix & 63);
  const bool clmul = use_clmul();
  for (; b >= 0; --b) {
    std::memset(sq.p, 0, size_t(2 * nw + 2) * 8);
    if (clmul)
      square_clmul(r, nw, sq.p);
    else
      square_portable(r, nw, sq.p);
    if (barrett) {
      reduce_barrett(sq.p, P, B, r, scratch.p);
    } else {
      reduce_sparse(sq.p, 2 * d - 2, P);
      std::memcpy(r, sq.p, size_t(nw) * 8);
    }
    if ((N >> b) & 1) {
      // r = x r mod P: shift by one, fold the bit that reaches x^d.
      uint64_t carry = 0;
      for (int i = 0; i < nw; ++i) {
        const uint64_t w = r[i];
        r[i] = (w << 1) | carry;
        carry = w >> 63;
      }
      const bool top = (d & 63) ? ((r[nw - 1] >> (d & 63)) & 1) : carry;
      if (d & 63) r[nw - 1] &= (uint64_t(1) << (d & 63)) - 1;
      if (top)
        for (int32_t e : P) r[e >> 6] ^= uint64_t(1) << (e & 63);
    }
  }
  return true;
}

static bool valid_poly(int32_t degree, int32_t nterms, const int32_t* terms) {
  return degree >= 0 && nterms >= 0 && (nterms == 0 || terms);
}

// P's lower terms (ascending, each exponent below the degree whose count is odd) into `space`
// (nterms int32 plus words_for(degree) 64-bit words).
static Poly make_poly(int32_t degree, int32_t nterms, const int32_t* terms, uint64_t* space) {
  uint64_t* seen = space;
  auto* low = reinterpret_cast<int32_t*>(space + words_for(degree));
  std::memset(seen, 0, size_t(words_for(degree)) * 8);
  for (int32_t i = 0; i < nterms; ++i)
    if (terms[i] >= 0 && terms[i] < degree) seen[terms[i] >> 6] ^= uint64_t(1) << (terms[i] & 63);
  Poly P;
  P.d = degree;
  P.low = low;
  for (int32_t e = 0; e < degree; ++e)
    if (bit(seen, e)) low[P.nlow++] = e;
  return P;
}
static size_t poly_words(int32_t degree, int32_t nterms) {
  return size_t(words_for(degree)) + (size_t(nterms) + 1) / 2;
}

int32_t jump(void* state, const Ops& ops, uint64_t N, Form form, int32_t degree, int32_t nterms,
             const int32_t* terms) {
  if (N == 0) return 0;
  if (!state || ops.state_bytes <= 0 || !valid_poly(degree, nterms, terms)) return HOX_ERR_BAD_ARGUMENT;
  const size_t sb = size_t(ops.state_bytes);
  const int entries = form == Form::SlidingWindow ? 128 : 1;
  // Work areas: the polynomial and the remainder, W, and the start state (Horner) or the
  // window table.
  Buffer rem(size_t(words_for(degree)) + poly_words(degree, nterms));
  auto* work = static_cast<unsigned char*>(qor_serv_allocate(sb * size_t(entries + 1), 128));
  if (!rem.p || !work) {
    qor_serv_deallocate(work);
    return HOX_ERR_NO_MEMORY;
  }
  if (!ops.process_idx(state, &N)) {
    qor_serv_deallocate(work);
    return 0;
  }
  const Poly P = make_poly(degree, nterms, terms, rem.p + words_for(degree));
  if (!poly_rem(N, P, rem.p)) {
    qor_serv_deallocate(work);
    return HOX_ERR_NO_MEMORY;
  }
  int64_t top = int64_t(words_for(degree)) * 64 - 1;
  while (top >= 0 && !bit(rem.p, top)) --top;
  void* W = work;
  unsigned char* table = work + sb;
  ops.zero(W);
  if (form == Form::Horner) {
    void* S = table;
    ops.copy_in(S, state);
    for (int64_t i = top; i >= 0; --i) {
      if (i != top) ops.update(W);
      if (bit(rem.p, i)) ops.add(W, S);
    }
  } else {
    // table[j] = j(T) s for the 128 polynomials j of degree below 7.
    auto entry = [&](int j) { return static_cast<void*>(table + sb * size_t(j)); };
    ops.zero(entry(0));
    ops.copy_in(entry(1), state);
    for (int k = 1; k < 7; ++k) {
      std::memcpy(entry(1 << k), entry(1 << (k - 1)), sb);
      ops.update(entry(1 << k));
    }
    for (int j = 3; j < 128; ++j) {
      if (!(j & (j - 1))) continue;
      const int low = j & -j;
      std::memcpy(entry(j), entry(j - low), sb);
      ops.add(entry(j), entry(low));
    }
    const int64_t windows = (top + 7) / 7;  // top + 1 bits
    for (int64_t w = windows - 1; w >= 0; --w) {
      if (w != windows - 1)
        for (int k = 0; k < 7; ++k) ops.update(W);
      int j = 0;
      for (int k = 6; k >= 0; --k) {
        const int64_t i = 7 * w + k;
        j = (j << 1) | ((i <= top && bit(rem.p, i)) ? 1 : 0);
      }
      if (j) ops.add(W, entry(j));
    }
  }
  ops.copy_out(state, W);
  qor_serv_deallocate(work);
  return 0;
}

}  // namespace qor::rng::gf2

using namespace qor::rng;

extern "C" QOR_API int32_t __hoxPolyRem(uint64_t n, int32_t degree, int32_t nterms, const int32_t* terms,
                                      int32_t stateWords, uint32_t* result) {
  if (!result || !gf2::valid_poly(degree, nterms, terms) || int64_t(stateWords) * 32 < degree)
    return HOX_ERR_BAD_ARGUMENT;
  const int nw = (degree + 63) / 64;
  gf2::Buffer r(size_t(nw) + gf2::poly_words(degree, nterms));
  if (!r.p) return HOX_ERR_NO_MEMORY;
  const gf2::Poly P = gf2::make_poly(degree, nterms, terms, r.p + nw);
  if (!gf2::poly_rem(n, P, r.p)) return HOX_ERR_NO_MEMORY;
  std::memset(result, 0, size_t(stateWords) * 4);
  for (int32_t i = 0; i < (degree + 31) / 32; ++i) result[i] = uint32_t(r.p[i / 2] >> (32 * (i & 1)));
  return 0;
}

namespace {
int32_t skip_with(gf2::Form form, void* state, HoxZeroStateFn zero, HoxAddStateFn add, HoxCopyState1Fn copy1,
                  HoxUpdateSFn update, HoxCopyState2Fn copy2, HoxProcessIdxFn process, uint32_t n_lo,
                  uint32_t n_hi, int32_t degree, int32_t stateBytes, int32_t nterms, const int32_t* terms) {
  if (!zero || !add || !copy1 || !update || !copy2 || !process) return HOX_ERR_NULL_POINTER;
  const gf2::Ops ops{zero, add, copy1, update, copy2, process, stateBytes};
  return gf2::jump(state, ops, (uint64_t(n_hi) << 32) | n_lo, form, degree, nterms, terms);
}
}  // namespace

extern "C" QOR_API int32_t __hox_SkipAheadHorner(void* state, HoxZeroStateFn zero, HoxAddStateFn add,
                                               HoxCopyState1Fn copy1, HoxUpdateSFn update,
                                               HoxCopyState2Fn copy2, HoxProcessIdxFn process,
                                               uint32_t n_lo, uint32_t n_hi, int32_t, int32_t degree,
                                               int32_t stateBytes, int32_t nterms, const int32_t* terms) {
  return skip_with(gf2::Form::Horner, state, zero, add, copy1, update, copy2, process, n_lo, n_hi, degree,
                   stateBytes, nterms, terms);
}

extern "C" QOR_API int32_t __hox_SkipAheadSWin(void* state, HoxZeroStateFn zero, HoxAddStateFn add,
                                             HoxCopyState1Fn copy1, HoxUpdateSFn update,
                                             HoxCopyState2Fn copy2, HoxProcessIdxFn process,
                                             uint32_t n_lo, uint32_t n_hi, int32_t, int32_t degree,
                                             int32_t stateBytes, int32_t nterms, const int32_t* terms) {
  return skip_with(gf2::Form::SlidingWindow, state, zero, add, copy1, update, copy2, process, n_lo, n_hi,
                   degree, stateBytes, nterms, terms);
}
