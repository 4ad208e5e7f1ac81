// Searches the parameter rows of the MT2203 family (w = 32, n = 69, m = 34, r = 5), Dynamic
// Creator style, and writes src/random/generators/mt2203_table.inc.
//
// Row k (3 <= k <= 6023; rows 0-2 are the published sets):
//   1. twist word a = 0x80000000 | (15 random bits << 16) | k: the member number in the low 16
//      bits makes the recurrences of different members differ;
//   2. phi = the characteristic polynomial of the untempered recurrence with twist word a, in
//      closed form (affine in the bits of a, see PhiOfA; `--check-phi N` compares it with
//      Berlekamp-Massey over 2 * 2203 output bits for N random twist words; an irreducible
//      phi is also the minimal polynomial of any nonzero output sequence, so the rows are the
//      ones a search by Berlekamp-Massey finds);
//   3. phi irreducible: phi(0) = phi(1) = 1, no factor of degree 2 .. 16 (trial division by
//      products of the small irreducibles), then x^(2^2203) = x mod phi (squarings with
//      carry-less multiplication and Barrett reduction): since 2203 is prime this makes phi
//      irreducible, and since 2^2203 - 1 is a Mersenne prime, primitive (period 2^2203 - 1);
//   4. phi must differ from the polynomials of all earlier rows;
//   5. tempering masks (b with its low 7 bits clear, c with its low 15 bits clear): among four
//      random candidates the one with the largest sum over the bit depths v = 1 .. 12 of k(v),
//      the dimension to which the top v bits of the output are equidistributed (at most
//      floor(2203 / v); the rank of the map from the state to the top v bits of successive
//      outputs, columns in order, sampled on random states), the first on ties.
// Each row's random choices come from a generator seeded with the row number, so a row is the
// same whenever it is searched. The tool is resumable: it reads the rows the file already has,
// continues with the first missing one, and rewrites the file after every row.
//
//   nice -n 19 mt2203_search src/random/generators/mt2203_table.inc [last_row]
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <immintrin.h>
#include <random>
#include <string>
#include <vector>

#include "berlekamp_massey.h"

namespace {

constexpr int kN = 69, kM = 34, kDeg = 2203, kRows = 6024;
constexpr uint32_t kUpper = 0xFFFFFFE0u, kLower = 0x1Fu;
constexpr int kW = (kDeg + 64) / 64 + 1;  // words of a polynomial of degree <= 2203, with room

using Poly = std::vector<uint64_t>;

bool bit(const Poly& p, int i) { return (p[size_t(i / 64)] >> (i % 64)) & 1; }
void flip(Poly& p, int i) { p[size_t(i / 64)] ^= uint64_t(1) << (i % 64); }

// a ^= b << s
void xor_shifted(Poly& a, const Poly& b, int s) {
  const int ws = s / 64, bs = s % 64;
  for (size_t i = 0; i < b.size(); ++i) {
    if (!b[i]) continue;
    if (i + size_t(ws) < a.size()) a[i + size_t(ws)] ^= b[i] << bs;
    if (bs && i + size_t(ws) + 1 < a.size()) a[i + size_t(ws) + 1] ^= b[i] >> (64 - bs);
  }
}

constexpr int Barrett_kPW = (kDeg + 63) / 64;

// ---- carry-less products (PCLMULQDQ; main() checks the processor has it) --------------------
__attribute__((target("pclmul"))) inline unsigned __int128 clmul(uint64_t a, uint64_t b) {
  const __m128i p = _mm_clmulepi64_si128(_mm_cvtsi64_si128(int64_t(a)), _mm_cvtsi64_si128(int64_t(b)), 0x00);
  return (unsigned __int128)uint64_t(_mm_cvtsi128_si64(p)) | (unsigned __int128)uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(p, p))) << 64;
}

// out[from .. to) = those words of a * b (na, nb words; out has at least `to` words): the
// word products a_i b_j with from - 1 <= i + j < to, accumulated 128 bits wide.
__attribute__((target("pclmul"))) void mul_words(const uint64_t* a, int na, const uint64_t* b, int nb, uint64_t* out, int from,
                                                 int to) {
  __m128i acc[2 * Barrett_kPW + 1];
  for (int k = 0; k <= na + nb; ++k) acc[k] = _mm_setzero_si128();
  for (int i = 0; i < na; ++i) {
    if (!a[i]) continue;
    const __m128i x = _mm_cvtsi64_si128(int64_t(a[i]));
    const int j0 = std::max(0, from - 1 - i), j1 = std::min(nb, to - i);
    for (int j = j0; j < j1; ++j)
      acc[i + j] = _mm_xor_si128(acc[i + j], _mm_clmulepi64_si128(x, _mm_cvtsi64_si128(int64_t(b[j])), 0x00));
  }
  for (int k = from; k < to; ++k)
    out[k] = uint64_t(_mm_cvtsi128_si64(acc[k])) ^ (k ? uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc[k - 1], acc[k - 1]))) : 0);
}

// Squaring modulo a fixed phi of degree n = 2203 by Barrett reduction: with mu = x^(2n) div
// phi and A = a^2 (degree <= 2n - 2), q = ((A div x^n) * mu) div x^n is exactly A div phi (for
// polynomials the estimate needs no correction), and A mod phi = (A + q * phi) mod x^n.
struct Barrett {
  static constexpr int kPW = Barrett_kPW;  // 35 words hold a remainder
  uint64_t phi[kPW] = {}, mu[kPW] = {};
  explicit Barrett(const Poly& p) {
    for (int i = 0; i < kPW; ++i) phi[i] = p[size_t(i)];
    Poly r(2 * kPW + 1, 0);  // x^(2n) by long division
    flip(r, 2 * kDeg);
    Poly q(kPW, 0);
    for (int i = 2 * kDeg; i >= kDeg; --i)
      if (bit(r, i)) {
        xor_shifted(r, p, i - kDeg);
        flip(q, i - kDeg);
      }
    for (int i = 0; i < kPW; ++i) mu[i] = q[size_t(i)];
  }
  // bits [n, n + 64 * kPW) of A (2 * kPW words) as kPW words.
  static void shift_down(const uint64_t* A, uint64_t* out) {
    constexpr int w = kDeg / 64, s = kDeg % 64;
    for (int i = 0; i < kPW; ++i) out[i] = (A[w + i] >> s) | (w + i + 1 < 2 * kPW ? A[w + i + 1] << (64 - s) : 0);
  }
  __attribute__((target("pclmul"))) void square(uint64_t* a) const {
    uint64_t A[2 * kPW], A1[kPW], P[2 * kPW], q[kPW], qphi[kPW];
    for (int i = 0; i < kPW; ++i) {
      const unsigned __int128 s = clmul(a[i], a[i]);
      A[2 * i] = uint64_t(s);
      A[2 * i + 1] = uint64_t(s >> 64);
    }
    shift_down(A, A1);
    mul_words(A1, kPW, mu, kPW, P, kDeg / 64, 2 * kPW);  // only the words shift_down reads
    shift_down(P, q);
    mul_words(q, kPW, phi, kPW, qphi, 0, kPW);
    for (int i = 0; i < kPW; ++i) a[i] = A[i] ^ qphi[i];
    a[kPW - 1] &= (uint64_t(1) << (kDeg % 64)) - 1;
  }
};

// Trial division by every irreducible polynomial of degree 2 .. kSieveDeg at once: they are
// multiplied into moduli P of degree <= 63 (ascending degree, so most reducible phi leave at
// the first few), and phi has a factor in P iff gcd(phi mod P, P) != 1. phi mod P is the sum
// of phi's words times x^(64 i) mod P, reduced once.
constexpr int kSieveDeg = 16;

int deg64(uint64_t a) { return a ? 63 - __builtin_clzll(a) : -1; }
uint64_t mod64(unsigned __int128 a, uint64_t p) {
  const int d = deg64(p);
  for (;;) {
    const uint64_t hi = uint64_t(a >> 64), lo = uint64_t(a);
    const int da = hi ? 127 - __builtin_clzll(hi) : deg64(lo);
    if (da < d) return lo;
    a ^= (unsigned __int128)p << (da - d);
  }
}
uint64_t gcd64(uint64_t a, uint64_t b) {
  while (b) {
    a = mod64(a, b);
    std::swap(a, b);
  }
  return a;
}
unsigned __int128 mul64(uint64_t a, uint64_t b) {  // portable: only used to set up
  unsigned __int128 r = 0;
  for (int i = 0; i < 64; ++i)
    if ((b >> i) & 1) r ^= (unsigned __int128)a << i;
  return r;
}

struct SmallFactorSieve {
  struct Modulus {
    uint64_t p;
    uint64_t x64i[kW];  // x^(64 i) mod p
  };
  std::vector<Modulus> moduli;
  SmallFactorSieve() {
    // Irreducibles of degree <= kSieveDeg by a sieve over products.
    const uint32_t lim = uint32_t(1) << (kSieveDeg + 1);
    std::vector<uint8_t> composite(lim, 0);
    std::vector<uint64_t> irr;
    for (uint32_t f = 2; f < lim; ++f) {
      if (composite[f]) continue;
      irr.push_back(f);
      for (uint32_t g = 2; g < lim; ++g) {
        if (deg64(f) + deg64(g) > kSieveDeg) break;
        composite[uint32_t(mul64(f, g))] = 1;
      }
    }
    uint64_t cur = 1;
    auto flush = [&] {
      if (cur == 1) return;
      Modulus m{cur, {}};
      uint64_t t = 1, x64 = mod64((unsigned __int128)1 << 64, cur);
      for (int i = 0; i < kW; ++i, t = mod64(mul64(t, x64), cur)) m.x64i[i] = t;
      moduli.push_back(m);
      cur = 1;
    };
    for (uint64_t f : irr) {
      if (deg64(f) < 2) continue;  // x and x + 1 are tested directly
      if (deg64(cur) + deg64(f) > 63) flush();
      cur = uint64_t(mul64(cur, f));
    }
    flush();
  }
  __attribute__((target("pclmul"))) bool has_factor(const Poly& phi) const {
    for (const Modulus& m : moduli) {
      unsigned __int128 acc = 0;
      for (int i = 0; i < kW; ++i) acc ^= clmul(phi[size_t(i)], m.x64i[i]);
      if (gcd64(m.p, mod64(acc, m.p)) != 1) return true;
    }
    return false;
  }
};

// The untempered recurrence in its one-word-at-a-time form.
struct Raw {
  uint32_t mt[kN];
  int i = 0;
  uint32_t a;
  uint32_t next() {
    const uint32_t y = (mt[i] & kUpper) | (mt[(i + 1) % kN] & kLower);
    const uint32_t v = mt[(i + kM) % kN] ^ (y >> 1) ^ ((y & 1) ? a : 0u);
    mt[i] = v;
    i = (i + 1) % kN;
    return v;
  }
};

Poly phi_of(uint32_t a) {
  Raw g;
  g.a = a;
  std::mt19937 init(12345);
  for (uint32_t& w : g.mt) w = uint32_t(init());
  std::vector<uint8_t> bits(2 * kDeg);
  for (auto& b : bits) b = g.next() & 1;
  int L = 0;
  const auto C = qor_tools::berlekamp_massey(bits, &L);
  if (L != kDeg) return Poly();
  Poly P(kW, 0);
  for (int e : qor_tools::char_poly(C, L)) flip(P, e);
  return P;
}

// phi as a function of the twist word: the determinant of t I - B is linear in the one column
// of B that a fills, so with U = t^n + t^m and V = t^(n-1) + t^(m-1),
//   phi_a = U^(w-r) V^r + sum_j a_j P_j,  P_j = U^(w-r) V^(r-1-j) (j < r), U^(w-1-j) (j >= r),
// a_j being bit j of a (Matsumoto and Nishimura 1998, for the recurrence on n w - r bits).
// phi_of (Berlekamp-Massey) is the check: both agree whenever its linear complexity is full.
struct PhiOfA {
  Poly base;
  std::vector<Poly> term;  // term[j]: bit j of a
  static Poly mul(const Poly& x, const Poly& y) {
    Poly r(kW, 0);
    for (int i = 0; i < kW * 64; ++i)
      if (bit(x, i)) xor_shifted(r, y, i);
    return r;
  }
  PhiOfA() : term(32) {
    Poly U(kW, 0), V(kW, 0), one(kW, 0);
    flip(U, kN), flip(U, kM), flip(V, kN - 1), flip(V, kM - 1), flip(one, 0);
    constexpr int w = 32, r = 5;  // word size, bits below the upper/lower split
    std::vector<Poly> Up(w + 1, one), Vp(r + 1, one);
    for (int i = 1; i <= w; ++i) Up[size_t(i)] = mul(Up[size_t(i - 1)], U);
    for (int i = 1; i <= r; ++i) Vp[size_t(i)] = mul(Vp[size_t(i - 1)], V);
    base = mul(Up[w - r], Vp[r]);
    for (int j = 0; j < w; ++j)
      term[size_t(j)] = j < r ? mul(Up[w - r], Vp[size_t(r - 1 - j)]) : Up[size_t(w - 1 - j)];
  }
  Poly operator()(uint32_t a) const {
    Poly p = base;
    for (int b = 0; b < 32; ++b)
      if ((a >> b) & 1)
        for (int i = 0; i < kW; ++i) p[size_t(i)] ^= term[size_t(b)][size_t(i)];
    return p;
  }
};

// phi irreducible: no factor x or x + 1, none of degree 2 .. kSieveDeg, then
// x^(2^2203) = x mod phi (which alone decides it, 2203 being prime: x^(2^2203) - x is the
// product of the irreducibles of degrees 1 and 2203).
bool primitive(const Poly& phi, const SmallFactorSieve& sieve) {
  if (!bit(phi, 0)) return false;  // x divides phi
  int terms = 0;
  for (uint64_t w : phi) terms += __builtin_popcountll(w);
  if (!(terms & 1)) return false;  // x + 1 divides phi
  if (sieve.has_factor(phi)) return false;
  const Barrett red(phi);
  uint64_t t[Barrett::kPW] = {2};
  for (int k = 1; k <= kDeg; ++k) red.square(t);
  if (t[0] != 2) return false;
  for (int i = 1; i < Barrett::kPW; ++i)
    if (t[i]) return false;
  return true;
}

uint32_t temper(uint32_t y, uint32_t b, uint32_t c) {
  y ^= y >> 12;
  y ^= (y << 7) & b;
  y ^= (y << 15) & c;
  return y ^ (y >> 18);
}

// The number of leading columns that are independent (columns taken in order; rows are
// samples of the linear map, so with a few more rows than columns a dependency seen is real
// except with probability about 2^-8). m holds nrows rows of `stride` words.
//
// Elimination eight columns at a time: the block's pivots are found and made the identity on
// the block's columns, then each row below clears its block bits with one XOR from a table of
// the 256 combinations of the pivot rows. Column c is dependent exactly when no row at or below
// c has its bit after the eliminations, which is where the count stops.
int independent_prefix(std::vector<uint64_t>& m, int nrows, int stride, int cols) {
  std::vector<uint64_t*> row(size_t(nrows), nullptr);
  for (int i = 0; i < nrows; ++i) row[size_t(i)] = m.data() + size_t(i) * size_t(stride);
  std::vector<uint64_t> table(size_t(256) * size_t(stride), 0);
  auto xor_into = [stride](uint64_t* dst, const uint64_t* src, int from) {
    for (int w = from; w < stride; ++w) dst[w] ^= src[w];
  };
  for (int c0 = 0; c0 < cols; c0 += 8) {
    const int kb = std::min(8, cols - c0), w0 = c0 / 64, sh = c0 % 64;
    auto win = [&](const uint64_t* r) { return unsigned(r[w0] >> sh) & ((1u << kb) - 1); };
    for (int j = 0; j < kb; ++j) {
      const int c = c0 + j;
      int p = -1;
      for (int q = c; q < nrows && p < 0; ++q) {
        unsigned x = win(row[size_t(q)]);
        for (int i = 0; i < j; ++i)
          if ((x >> i) & 1) x ^= win(row[size_t(c0 + i)]);
        if ((x >> j) & 1) p = q;
      }
      if (p < 0) return c;
      std::swap(row[size_t(p)], row[size_t(c)]);
      for (int i = 0; i < j; ++i)
        if ((win(row[size_t(c)]) >> i) & 1) xor_into(row[size_t(c)], row[size_t(c0 + i)], w0);
    }
    for (int j = kb - 1; j > 0; --j)
      for (int i = 0; i < j; ++i)
        if ((win(row[size_t(c0 + i)]) >> j) & 1) xor_into(row[size_t(c0 + i)], row[size_t(c0 + j)], w0);
    for (unsigned x = 1; x < (1u << kb); ++x) {
      uint64_t* t = table.data() + size_t(x) * size_t(stride);
      const uint64_t* prev = table.data() + size_t(x & (x - 1)) * size_t(stride);
      const uint64_t* piv = row[size_t(c0 + __builtin_ctz(x))];
      for (int w = w0; w < stride; ++w) t[w] = prev[w] ^ piv[w];
    }
    for (int q = c0 + kb; q < nrows; ++q) {
      const unsigned x = win(row[size_t(q)]);
      if (x) xor_into(row[size_t(q)], table.data() + size_t(x) * size_t(stride), w0);
    }
  }
  return cols;
}

uint32_t reverse_bits(uint32_t y) {
  y = ((y >> 1) & 0x55555555u) | ((y & 0x55555555u) << 1);
  y = ((y >> 2) & 0x33333333u) | ((y & 0x33333333u) << 2);
  y = ((y >> 4) & 0x0F0F0F0Fu) | ((y & 0x0F0F0F0Fu) << 4);
  y = ((y >> 8) & 0x00FF00FFu) | ((y & 0x00FF00FFu) << 8);
  return (y >> 16) | (y << 16);
}

// Sum over the bit depths v = 1..12 of k(v), the largest dimension in which the tempered
// output's top v bits are equidistributed (at most floor(2203 / v)). Row r of the sampled
// matrix: column t * v + j is bit 31 - j of the tempered output t after a full block from
// random state r (the recurrence run as one array, x[i + n] from x[i], x[i + 1], x[i + m]).
// Eight rows are computed side by side (lane loops the compiler vectorises); their states
// still take the random words row after row.
int equidistribution_score(uint32_t a, uint32_t b, uint32_t c, std::mt19937& g) {
  constexpr int kLanes = 8;
  int score = 0;
  std::vector<std::array<uint32_t, kLanes>> x(static_cast<size_t>(2 * kN + kDeg));
  std::vector<uint64_t> m;
  for (int v = 1; v <= 12; ++v) {
    const int k = kDeg / v, cols = k * v, nrows = cols + 8, stride = (cols + 63) / 64;
    const uint32_t vmask = (1u << v) - 1;
    m.assign(size_t(nrows) * size_t(stride), 0);
    for (int r0 = 0; r0 < nrows; r0 += kLanes) {
      const int lanes = std::min(kLanes, nrows - r0);
      for (int l = 0; l < kLanes; ++l)
        for (int i = 0; i < kN; ++i) x[size_t(i)][size_t(l)] = l < lanes ? uint32_t(g()) : 0u;
      for (int i = 0; i < kN + k; ++i) {
        const auto &xi = x[size_t(i)], &xi1 = x[size_t(i + 1)], &xm = x[size_t(i + kM)];
        auto& xn = x[size_t(i + kN)];
        for (int l = 0; l < kLanes; ++l) {
          const uint32_t y = (xi[size_t(l)] & kUpper) | (xi1[size_t(l)] & kLower);
          xn[size_t(l)] = xm[size_t(l)] ^ (y >> 1) ^ ((0u - (y & 1)) & a);
        }
      }
      // The top v bits of each tempered output, reversed so that bit 31 comes first, packed
      // v bits at a time into the rows' words.
      uint64_t* out[kLanes];
      for (int l = 0; l < kLanes; ++l) out[l] = l < lanes ? m.data() + size_t(r0 + l) * size_t(stride) : nullptr;
      uint64_t acc[kLanes] = {};
      int fill = 0, w = 0;
      for (int t = 0; t < k; ++t) {
        uint64_t top[kLanes];
        const auto& xt = x[size_t(2 * kN + t)];
        for (int l = 0; l < kLanes; ++l) top[l] = reverse_bits(temper(xt[size_t(l)], b, c)) & vmask;
        for (int l = 0; l < kLanes; ++l) acc[l] |= top[l] << fill;
        fill += v;
        if (fill >= 64) {
          fill -= 64;
          for (int l = 0; l < lanes; ++l) out[l][w] = acc[l];
          for (int l = 0; l < kLanes; ++l) acc[l] = fill ? top[l] >> (v - fill) : 0;
          ++w;
        }
      }
      if (fill)
        for (int l = 0; l < lanes; ++l) out[l][w] = acc[l];
    }
    score += independent_prefix(m, nrows, stride, cols) / v;
  }
  return score;
}

struct Row {
  uint32_t a, b, c;
};

std::vector<Row> read_table(const char* path) {
  std::vector<Row> rows;
  FILE* f = std::fopen(path, "r");
  if (!f) return rows;
  char line[256];
  while (std::fgets(line, sizeof line, f)) {
    unsigned a, b, c;
    if (std::sscanf(line, " {0x%xu, 0x%xu, 0x%xu}", &a, &b, &c) == 3) rows.push_back({a, b, c});
  }
  std::fclose(f);
  return rows;
}

void write_table(const char* path, const std::vector<Row>& rows) {
  const std::string tmp = std::string(path) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) std::exit(1);
  std::fprintf(f,
               "// Generated by tools/mt2203_search.cpp: MT2203 parameter rows (a, b, c) by member number.\n"
               "// Rows 0-2 are the published sets; rows not listed are not generated yet (all zero).\n");
  for (const Row& r : rows) std::fprintf(f, "{0x%08Xu, 0x%08Xu, 0x%08Xu},\n", r.a, r.b, r.c);
  if (std::fclose(f) != 0 || std::rename(tmp.c_str(), path) != 0) std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--check-phi") == 0) {
    // The closed form against Berlekamp-Massey on random twist words.
    const PhiOfA phi_a;
    std::mt19937 g(7);
    int full = 0, bad = 0;
    for (int i = 0, n = std::atoi(argv[2]); i < n; ++i) {
      const uint32_t a = uint32_t(g());
      const Poly bm = phi_of(a);
      if (bm.empty()) continue;
      ++full;
      if (bm != phi_a(a)) ++bad;
    }
    std::printf("%d twist words of full linear complexity, %d disagree\n", full, bad);
    return bad != 0;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: mt2203_search TABLE.inc [last_row]\n");
    return 2;
  }
  const int last = argc > 2 ? std::atoi(argv[2]) : kRows - 1;
  std::vector<Row> rows = read_table(argv[1]);
  if (rows.size() < 3) {
    rows = {{0xAF81055Fu, 0xDD7EEF80u, 0xEFD78000u}, {0x832604E1u, 0x66AD7F80u, 0xEBD58000u},
            {0x92F70739u, 0x656D7780u, 0xEFC50000u}};
    write_table(argv[1], rows);
  }
  if (!__builtin_cpu_supports("pclmul")) {
    std::fprintf(stderr, "mt2203_search needs a processor with PCLMULQDQ\n");
    return 2;
  }
  const SmallFactorSieve sieve;
  const PhiOfA phi_a;
  std::vector<Poly> seen;
  for (const Row& r : rows) seen.push_back(phi_of(r.a));
  for (int k = int(rows.size()); k <= last && k < kRows; ++k) {
    std::mt19937 g(uint32_t(k) * 2654435761u + 1);
    Row row{};
    int tried = 0;
    for (;;) {
      ++tried;
      const uint32_t a = 0x80000000u | ((uint32_t(g()) & 0x7FFFu) << 16) | uint32_t(k);
      const Poly phi = phi_a(a);
      if (!primitive(phi, sieve)) continue;
      bool dup = false;
      for (const Poly& s : seen) dup = dup || s == phi;
      if (dup) continue;
      seen.push_back(phi);
      row.a = a;
      break;
    }
    int best = -1;
    for (int t = 0; t < 4; ++t) {
      const uint32_t b = uint32_t(g()) & ~0x7Fu, c = uint32_t(g()) & ~0x7FFFu;
      const int s = equidistribution_score(row.a, b, c, g);
      if (s > best) {
        best = s;
        row.b = b;
        row.c = c;
      }
    }
    rows.push_back(row);
    write_table(argv[1], rows);
    std::fprintf(stderr, "row %d: a %08X b %08X c %08X (%d candidates, sum of k(v), v <= 12: %d)\n", k, row.a, row.b, row.c, tried,
                 best);
  }
  return 0;
}
