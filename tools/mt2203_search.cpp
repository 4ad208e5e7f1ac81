// Searches the parameter rows of the MT2203 family (w = 32, n = 69, m = 34, r = 5), Dynamic
// Creator style, and writes src/random/generators/mt2203_table.inc.
//
// Row k (3 <= k <= 6023; rows 0-2 are the published sets):
//   1. twist word a = 0x80000000 | (15 random bits << 16) | k: the member number in the low 16
//      bits makes the recurrences of different members differ;
//   2. phi = the characteristic polynomial of the untempered recurrence with twist word a, by
//      Berlekamp-Massey over 2 * 2203 bits of its output (linear complexity must be 2203);
//   3. phi(0) = phi(1) = 1, no factor of degree k <= 16 (gcd(phi, x^(2^k) - x) = 1, Ben-Or),
//      then x^(2^2203) = x mod phi: since 2203 is prime this makes phi irreducible, and since
//      2^2203 - 1 is a Mersenne prime, primitive (period 2^2203 - 1);
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
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "berlekamp_massey.h"

namespace {

constexpr int kN = 69, kM = 34, kDeg = 2203, kRows = 6024;
constexpr uint32_t kUpper = 0xFFFFFFE0u, kLower = 0x1Fu;
constexpr int kW = (kDeg + 64) / 64 + 1;  // words of a polynomial of degree <= 2203, with room

using Poly = std::vector<uint64_t>;

int degree(const Poly& p) {
  for (int w = int(p.size()) - 1; w >= 0; --w)
    if (p[size_t(w)]) return w * 64 + 63 - __builtin_clzll(p[size_t(w)]);
  return -1;
}
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

// Reduction modulo a fixed monic phi eight bits at a time: table[t] is the multiple of phi
// (degree d + 7) whose bits d .. d + 7 equal t, so XOR-ing table[t] << (q - d) clears bits
// q .. q + 7 of a polynomial whose top byte there is t.
struct Reducer {
  int d;
  Poly phi;
  std::vector<Poly> table;
  Reducer(const Poly& p, int d_) : d(d_), phi(p), table(256) {
    for (int b = 0; b < 256; ++b) {
      Poly m(phi.size() + 1, 0);
      for (int k = 0; k < 8; ++k)
        if ((b >> k) & 1) xor_shifted(m, phi, k);
      int t = 0;
      for (int k = 0; k < 8; ++k) t |= int(bit(m, d + k)) << k;
      table[size_t(t)] = m;
    }
  }
  // a (degree < 2d) mod phi, into a's first words.
  void reduce(Poly& a) const {
    int q = 2 * d - 9;  // bits q .. q + 7, the square's top bit is at most 2d - 2
    for (; q >= d; q -= 8) {
      int t = 0;
      for (int k = 0; k < 8; ++k) t |= int(bit(a, q + k)) << k;
      if (t) xor_shifted(a, table[size_t(t)], q - d);
    }
    for (int i = d + 7; i >= d; --i)
      if (i < int(a.size()) * 64 && bit(a, i)) xor_shifted(a, phi, i - d);
  }
};

// a^2 mod phi by bit spreading.
Poly square_mod(const Poly& a, const Reducer& r) {
  Poly s(2 * a.size() + 1, 0);
  for (size_t i = 0; i < a.size(); ++i) {
    uint64_t w = a[i];
    for (int half = 0; half < 2; ++half, w >>= 32) {
      uint64_t x = w & 0xFFFFFFFFu;
      x = (x | (x << 16)) & 0x0000FFFF0000FFFFull;
      x = (x | (x << 8)) & 0x00FF00FF00FF00FFull;
      x = (x | (x << 4)) & 0x0F0F0F0F0F0F0F0Full;
      x = (x | (x << 2)) & 0x3333333333333333ull;
      x = (x | (x << 1)) & 0x5555555555555555ull;
      s[2 * i + size_t(half)] = x;
    }
  }
  r.reduce(s);
  s.resize(a.size());
  return s;
}

Poly gcd(Poly a, Poly b) {
  while (degree(b) >= 0) {
    const int db = degree(b);
    for (int i = degree(a); i >= db; i = degree(a)) xor_shifted(a, b, i - db);
    std::swap(a, b);
  }
  return a;
}

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

bool primitive(const Poly& phi) {
  if (!bit(phi, 0)) return false;  // x divides phi
  int terms = 0;
  for (uint64_t w : phi) terms += __builtin_popcountll(w);
  if (!(terms & 1)) return false;  // x + 1 divides phi
  Poly x(kW, 0);
  flip(x, 1);
  Poly t = x;
  const Reducer red(phi, kDeg);
  for (int k = 1; k <= kDeg; ++k) {
    t = square_mod(t, red);
    if (k <= 16) {
      Poly u = t;
      flip(u, 1);  // x^(2^k) - x
      if (degree(gcd(phi, u)) > 0) return false;
    }
  }
  return t == x;
}

uint32_t temper(uint32_t y, uint32_t b, uint32_t c) {
  y ^= y >> 12;
  y ^= (y << 7) & b;
  y ^= (y << 15) & c;
  return y ^ (y >> 18);
}

// The number of leading columns that are independent (columns taken in order; rows are
// samples of the linear map, so with a few more rows than columns a dependency seen is real
// except with probability about 2^-8).
int independent_prefix(std::vector<std::vector<uint64_t>>& rows, int cols) {
  int r = 0;
  for (int c = 0; c < cols; ++c) {
    const size_t w = size_t(c / 64);
    const uint64_t mask = uint64_t(1) << (c % 64);
    size_t p = size_t(r);
    while (p < rows.size() && !(rows[p][w] & mask)) ++p;
    if (p == rows.size()) return c;
    std::swap(rows[p], rows[size_t(r)]);
    for (size_t k = size_t(r) + 1; k < rows.size(); ++k)
      if (rows[k][w] & mask)
        for (size_t j = w; j < rows[k].size(); ++j) rows[k][j] ^= rows[size_t(r)][j];
    ++r;
  }
  return cols;
}

// Sum over the bit depths v = 1..12 of k(v), the largest dimension in which the tempered
// output's top v bits are equidistributed (at most floor(2203 / v)).
int equidistribution_score(uint32_t a, uint32_t b, uint32_t c, std::mt19937& g) {
  int score = 0;
  for (int v = 1; v <= 12; ++v) {
    const int k = kDeg / v, cols = k * v;
    std::vector<std::vector<uint64_t>> rows(size_t(cols) + 8, std::vector<uint64_t>(size_t(cols + 63) / 64, 0));
    for (auto& row : rows) {
      Raw s;
      s.a = a;
      for (uint32_t& w : s.mt) w = uint32_t(g());
      for (int i = 0; i < kN; ++i) s.next();  // a full block from the random state
      int col = 0;
      for (int t = 0; t < k; ++t) {
        const uint32_t y = temper(s.next(), b, c);
        for (int j = 0; j < v; ++j, ++col)
          if ((y >> (31 - j)) & 1) row[size_t(col / 64)] |= uint64_t(1) << (col % 64);
      }
    }
    score += independent_prefix(rows, cols) / v;
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
  std::vector<Poly> seen;
  for (const Row& r : rows) seen.push_back(phi_of(r.a));
  for (int k = int(rows.size()); k <= last && k < kRows; ++k) {
    std::mt19937 g(uint32_t(k) * 2654435761u + 1);
    Row row{};
    int tried = 0;
    for (;;) {
      ++tried;
      const uint32_t a = 0x80000000u | ((uint32_t(g()) & 0x7FFFu) << 16) | uint32_t(k);
      const Poly phi = phi_of(a);
      if (phi.empty() || !primitive(phi)) continue;
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
