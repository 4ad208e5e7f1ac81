// The GF(2) jump machinery on its own: x^N mod P against a bitwise square-and-multiply written
// here, on both the carry-less and the portable path, and the two application forms with a
// small linear generator of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "random/core/gf2_jump.h"
#include "rng_test_util.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

namespace {

using Bits = std::vector<uint8_t>;

// a mod P, bit by bit from the top (P given densely, degree d).
void reduce_bitwise(Bits& a, const Bits& P, int d) {
  for (int i = int(a.size()) - 1; i >= d; --i)
    if (a[size_t(i)])
      for (int k = 0; k <= d; ++k) a[size_t(i - d + k)] ^= P[size_t(k)];
  a.resize(size_t(d));
}

Bits xn_mod_bitwise(uint64_t N, const Bits& P, int d) {
  Bits r(size_t(d), 0);
  if (d == 0) return r;
  Bits base(size_t(d) + 1, 0);  // x mod P
  base[1] = 1;
  reduce_bitwise(base, P, d);
  Bits acc(size_t(d), 0);
  acc[0] = 1;
  Bits b = base;
  auto mul = [&](const Bits& x, const Bits& y) {
    Bits p(size_t(2 * d), 0);
    for (int i = 0; i < d; ++i)
      if (x[size_t(i)])
        for (int j = 0; j < d; ++j) p[size_t(i + j)] ^= y[size_t(j)];
    reduce_bitwise(p, P, d);
    return p;
  };
  for (uint64_t e = N; e; e >>= 1) {
    if (e & 1) acc = mul(acc, b);
    if (e > 1) b = mul(b, b);
  }
  return acc;
}

struct RandomPoly {
  int d;
  std::vector<int32_t> terms;
  Bits dense;
};

RandomPoly random_poly(std::mt19937& g, int d, double density) {
  RandomPoly p{d, {}, Bits(size_t(d) + 1, 0)};
  std::bernoulli_distribution coin(density);
  p.dense[0] = p.dense[size_t(d)] = 1;
  for (int e = 1; e < d; ++e) p.dense[size_t(e)] = coin(g);
  for (int e = 0; e <= d; ++e)
    if (p.dense[size_t(e)]) p.terms.push_back(e);
  std::shuffle(p.terms.begin(), p.terms.end(), g);  // any order is accepted
  return p;
}

Bits library_rem(uint64_t N, const RandomPoly& p) {
  std::vector<uint32_t> r(size_t((p.d + 31) / 32) + 1, 0xDEADBEEF);
  EXPECT_EQ(__hoxPolyRem(N, p.d, int32_t(p.terms.size()), p.terms.data(), int32_t(r.size()), r.data()), 0);
  Bits b(size_t(p.d));
  for (int i = 0; i < p.d; ++i) b[size_t(i)] = (r[size_t(i / 32)] >> (i % 32)) & 1;
  for (size_t w = size_t(p.d + 31) / 32; w < r.size(); ++w) EXPECT_EQ(r[w], 0u);
  return b;
}

// Sparse and dense polynomials (the dense ones take the Barrett path where the processor has
// the carry-less multiply), degrees on and off word boundaries, counts below and above the degree.
TEST(Gf2, PolyRemMatchesBitwiseSquareAndMultiply) {
  std::mt19937 g(11);
  const bool small = qor::test::scale() < 1;
  for (int d : {1, 5, 63, 64, 65, 128, 600, 1100, 1152}) {
    for (double density : {0.01, 0.6}) {
      const RandomPoly p = random_poly(g, d, density);
      std::vector<uint64_t> Ns = {0, 1, uint64_t(d - 1), uint64_t(d), uint64_t(d) + 1, 12345,
                                  0xFFFFFFFFFFFFFFFFull, 0x8000000000000001ull};
      if (d > 600) Ns = {uint64_t(d) + 1, small ? uint64_t(5000) : uint64_t(1000003)};
      if (d == 1152 && density > 0.5 && !small) Ns.push_back(0xFFFFFFFFFFFFFFFFull);  // the Barrett path
      for (uint64_t N : Ns) {
        const Bits expect = xn_mod_bitwise(N, p.dense, d);
        for (bool clmul : {true, false}) {
          qor::rng::gf2::allow_clmul(clmul);
          ASSERT_EQ(library_rem(N, p), expect)
              << "clmul " << clmul << " degree " << d << " terms " << p.terms.size() << " N " << N;
        }
      }
    }
  }
  qor::rng::gf2::allow_clmul(true);
  // A term listed twice cancels; terms at or above the degree are ignored.
  const int32_t twice[] = {0, 3, 3, 2, 7, 9};
  std::vector<uint32_t> a(1), b(1);
  const int32_t once[] = {0, 2};
  ASSERT_EQ(__hoxPolyRem(100, 7, 6, twice, 1, a.data()), 0);
  ASSERT_EQ(__hoxPolyRem(100, 7, 2, once, 1, b.data()), 0);
  EXPECT_EQ(a, b);
  EXPECT_EQ(__hoxPolyRem(100, 64, 2, once, 1, a.data()), HOX_ERR_BAD_ARGUMENT);  // 1 word < 64 bits
  EXPECT_EQ(__hoxPolyRem(100, 7, 2, nullptr, 1, a.data()), HOX_ERR_BAD_ARGUMENT);
  EXPECT_EQ(__hoxPolyRem(100, 7, 2, once, 1, nullptr), HOX_ERR_BAD_ARGUMENT);
}

TEST(Gf2, PolyRemWithoutMemory) {
  std::mt19937 g(3);
  const RandomPoly p = random_poly(g, 2000, 0.5);
  std::vector<uint32_t> r(63);
  qor::test::sweep_allocation_failures(
      [&] { return __hoxPolyRem(uint64_t(1) << 50, p.d, int32_t(p.terms.size()), p.terms.data(), 63, r.data()); },
      HOX_ERR_NO_MEMORY);
}

// A 64-bit xorshift generator (linear over GF(2)) as the test's own client of the six state
// operations: its polynomial found by brute force over its matrix is not needed, because
// x^N mod (any annihilating polynomial) works; the test uses the characteristic polynomial of
// the 64 x 64 step matrix, computed here by Berlekamp-Massey-free means: the minimal polynomial
// of the sequence of bit 0, found by solving for the shortest recurrence with Gaussian
// elimination over GF(2).
struct XorShift {
  uint64_t s;
  uint32_t pad[2];
};
uint64_t step(uint64_t x) {
  x ^= x << 13;
  x ^= x >> 7;
  return x ^ (x << 17);
}
void xs_zero(void* w) { static_cast<XorShift*>(w)->s = 0; }
void xs_add(void* to, const void* from) { static_cast<XorShift*>(to)->s ^= static_cast<const XorShift*>(from)->s; }
void xs_copy1(void* w, const void* st) { static_cast<XorShift*>(w)->s = *static_cast<const uint64_t*>(st); }
void xs_update(void* w) { static_cast<XorShift*>(w)->s = step(static_cast<XorShift*>(w)->s); }
void xs_copy2(void* st, const void* w) { *static_cast<uint64_t*>(st) = static_cast<const XorShift*>(w)->s; }
int32_t xs_process(void*, uint64_t* n) { return *n != 0; }

// The characteristic polynomial of the xorshift step: columns x, Tx, ..., T^64 x of a random
// start; the dependency T^64 x = sum c_i T^i x gives x^64 + sum c_i x^i (the step is invertible
// and its minimal polynomial has degree 64, as the elimination confirms).
std::vector<int32_t> xorshift_poly() {
  uint64_t v[65];
  v[0] = 0x9E3779B97F4A7C15ull;
  for (int i = 1; i <= 64; ++i) v[i] = step(v[i - 1]);
  // Solve sum_{i<64} c_i v[i] = v[64] by elimination on the 64 x 64 system (rows = bits).
  uint64_t rows[64];
  uint8_t rhs[64];
  for (int b = 0; b < 64; ++b) {
    rows[b] = 0;
    for (int i = 0; i < 64; ++i) rows[b] |= ((v[i] >> b) & 1) << i;
    rhs[b] = (v[64] >> b) & 1;
  }
  int r = 0;
  int pivot_col[64];
  for (int c = 0; c < 64 && r < 64; ++c) {
    int p = r;
    while (p < 64 && !((rows[p] >> c) & 1)) ++p;
    if (p == 64) continue;
    std::swap(rows[p], rows[r]);
    std::swap(rhs[p], rhs[r]);
    for (int k = 0; k < 64; ++k)
      if (k != r && ((rows[k] >> c) & 1)) {
        rows[k] ^= rows[r];
        rhs[k] ^= rhs[r];
      }
    pivot_col[r++] = c;
  }
  EXPECT_EQ(r, 64);
  std::vector<int32_t> terms = {64};
  for (int k = 0; k < r; ++k)
    if (rhs[k]) terms.push_back(pivot_col[k]);
  return terms;
}

TEST(Gf2, HornerAndWindowFormsEqualStepping) {
  const auto terms = xorshift_poly();
  for (uint64_t N : {uint64_t(1), uint64_t(2), uint64_t(7), uint64_t(63), uint64_t(64), uint64_t(65), uint64_t(1000),
                     uint64_t(123457)}) {
    uint64_t walk = 0x0123456789ABCDEFull;
    for (uint64_t k = 0; k < N; ++k) walk = step(walk);
    for (auto* form : {__hox_SkipAheadHorner, __hox_SkipAheadSWin}) {
      uint64_t st = 0x0123456789ABCDEFull;
      ASSERT_EQ(form(&st, xs_zero, xs_add, xs_copy1, xs_update, xs_copy2, xs_process, uint32_t(N), uint32_t(N >> 32), 2,
                     64, int32_t(sizeof(XorShift)), int32_t(terms.size()), terms.data()),
                0);
      ASSERT_EQ(st, walk) << "N " << N;
    }
  }
  // Large N: both forms agree, and a jump by 2^40 equals two by 2^39.
  uint64_t a = 5, b = 5, c = 5;
  const auto H = __hox_SkipAheadHorner;
  const auto W = __hox_SkipAheadSWin;
  const int32_t nt = int32_t(terms.size());
  ASSERT_EQ(H(&a, xs_zero, xs_add, xs_copy1, xs_update, xs_copy2, xs_process, 0, 256, 2, 64, 16, nt, terms.data()), 0);
  ASSERT_EQ(W(&b, xs_zero, xs_add, xs_copy1, xs_update, xs_copy2, xs_process, 0, 256, 2, 64, 16, nt, terms.data()), 0);
  ASSERT_EQ(W(&c, xs_zero, xs_add, xs_copy1, xs_update, xs_copy2, xs_process, 0, 128, 2, 64, 16, nt, terms.data()), 0);
  ASSERT_EQ(H(&c, xs_zero, xs_add, xs_copy1, xs_update, xs_copy2, xs_process, 0, 128, 2, 64, 16, nt, terms.data()), 0);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  // Missing operations are refused; N = 0 changes nothing.
  uint64_t d = 9;
  EXPECT_EQ(H(&d, xs_zero, nullptr, xs_copy1, xs_update, xs_copy2, xs_process, 5, 0, 2, 64, 16, nt, terms.data()),
            HOX_ERR_NULL_POINTER);
  EXPECT_EQ(W(&d, xs_zero, xs_add, xs_copy1, xs_update, xs_copy2, xs_process, 0, 0, 2, 64, 16, nt, terms.data()), 0);
  EXPECT_EQ(d, 9u);
}

}  // namespace
