// The Mersenne twisters against published known answers and an independent straightforward
// implementation, their characteristic polynomials against their own output, and skip-ahead
// (polynomial jump) against generate-and-discard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "../../tools/berlekamp_massey.h"
#include "rng_test_util.h"
#include "support/alloc_failure.h"
#include "support/scale.h"

using qor::test::Stream;

namespace {

std::vector<uint32_t> words(HoxStream s, int32_t n) {
  std::vector<uint32_t> w(size_t(std::max(n, 1)));
  EXPECT_EQ(_hoxiRngUniformBits(0, s, n, w.data()), 0);
  w.resize(size_t(n));
  return w;
}

void discard(HoxStream s, uint64_t n) {
  std::vector<uint32_t> w(1 << 16);
  while (n) {
    const int32_t k = int32_t(std::min<uint64_t>(n, w.size()));
    ASSERT_EQ(_hoxiRngUniformBits(0, s, k, w.data()), 0);
    n -= uint64_t(k);
  }
}

// A plain MT of n words (the textbook form: one word at a time, indices modulo n), seeded by
// the reference array initialisation; written for the test, sharing nothing with the library.
struct PlainMT {
  int n, m, shift1;
  uint32_t upper, a, b, c;
  std::vector<uint32_t> mt;
  int i;
  PlainMT(int n_, int m_, int r, int s1, uint32_t a_, uint32_t b_, uint32_t c_, const std::vector<uint32_t>& key)
      : n(n_), m(m_), shift1(s1), upper(~((1u << r) - 1)), a(a_), b(b_), c(c_), mt(size_t(n_)), i(n_) {
    mt[0] = 19650218u;
    for (int k = 1; k < n; ++k) mt[k] = 1812433253u * (mt[k - 1] ^ (mt[k - 1] >> 30)) + uint32_t(k);
    int p = 1, q = 0;
    const int len = int(key.size());
    for (int k = std::max(n, len); k; --k) {
      mt[p] = (mt[p] ^ ((mt[p - 1] ^ (mt[p - 1] >> 30)) * 1664525u)) + key[q] + uint32_t(q);
      if (++p >= n) {
        mt[0] = mt[n - 1];
        p = 1;
      }
      if (++q >= len) q = 0;
    }
    for (int k = n - 1; k; --k) {
      mt[p] = (mt[p] ^ ((mt[p - 1] ^ (mt[p - 1] >> 30)) * 1566083941u)) - uint32_t(p);
      if (++p >= n) {
        mt[0] = mt[n - 1];
        p = 1;
      }
    }
    mt[0] = 0x80000000u;
  }
  uint32_t next() {
    if (i == n) {
      for (int k = 0; k < n; ++k) {
        const uint32_t y = (mt[k] & upper) | (mt[(k + 1) % n] & ~upper);
        mt[k] = mt[(k + m) % n] ^ (y >> 1) ^ ((y & 1) ? a : 0u);
      }
      i = 0;
    }
    uint32_t y = mt[i++];
    y ^= y >> shift1;
    y ^= (y << 7) & b;
    y ^= (y << 15) & c;
    return y ^ (y >> 18);
  }
};

TEST(Mt19937, KnownAnswersOfTheArrayInitialisation) {
  Stream s(HOX_BRNG_MT19937, {0x123, 0x234, 0x345, 0x456});
  const auto w = words(s, 1005);
  EXPECT_EQ(std::vector<uint32_t>(w.begin(), w.begin() + 10),
            (std::vector<uint32_t>{1067595299, 955945823, 477289528, 4107218783, 4228976476, 3344332714, 3355579695,
                                   227628506, 810200273, 2591290167}));
  EXPECT_EQ(std::vector<uint32_t>(w.begin() + 990, w.begin() + 1000),
            (std::vector<uint32_t>{988064871, 3515461600, 4089077232, 2225147448, 1249609188, 2643151863, 3896204135,
                                   2416995901, 1397735321, 3460025646}));
  EXPECT_EQ(std::vector<uint32_t>(w.begin() + 1000, w.end()),
            (std::vector<uint32_t>{3276005344, 4252045284, 4237864172, 435643333, 1199718579}));
  // Against the plain form over several blocks, for key lengths below, at and above 624.
  for (size_t len : {size_t(1), size_t(624), size_t(700)}) {
    std::vector<uint32_t> key(len);
    for (size_t k = 0; k < len; ++k) key[k] = uint32_t(k * 2654435761u + 7);
    Stream t(HOX_BRNG_MT19937, key);
    PlainMT ref(624, 397, 31, 11, 0x9908B0DFu, 0x9D2C5680u, 0xEFC60000u, key);
    const auto got = words(t, 3000);
    for (int k = 0; k < 3000; ++k) ASSERT_EQ(got[size_t(k)], ref.next()) << "key length " << len << " output " << k;
  }
}

TEST(Mt19937, NoSeedWordsActAsTheOneWordOne) {
  Stream a(HOX_BRNG_MT19937, {}), b(HOX_BRNG_MT19937, {1});
  EXPECT_EQ(words(a, 700), words(b, 700));
}

TEST(Sfmt19937, KnownAnswersOfTheArrayInitialisation) {
  Stream s(HOX_BRNG_SFMT19937, {0x1234, 0x5678, 0x9abc, 0xdef0});
  const auto w = words(s, 1000);
  EXPECT_EQ(std::vector<uint32_t>(w.begin(), w.begin() + 10),
            (std::vector<uint32_t>{2920711183, 3885745737, 3501893680, 856470934, 1421864068, 277361036, 1518638004,
                                   2328404353, 3355513634, 64329189}));
  EXPECT_EQ(std::vector<uint32_t>(w.begin() + 990, w.end()),
            (std::vector<uint32_t>{3742362450, 2951174585, 4204621084, 1109373893, 3668075775, 2750138839, 3518055702,
                                   733072558, 4169325400, 788493625}));
}

TEST(Mt2203, MembersZeroToTwoFollowThePlainForm) {
  const uint32_t rows[3][3] = {{0xAF81055F, 0xDD7EEF80, 0xEFD78000},
                               {0x832604E1, 0x66AD7F80, 0xEBD58000},
                               {0x92F70739, 0x656D7780, 0xEFC50000}};
  std::vector<std::vector<uint32_t>> seen;
  for (int k = 0; k < 3; ++k) {
    const std::vector<uint32_t> key = {20261206, 5, 77};
    Stream s(HOX_BRNG_MT2203 + k, key);
    PlainMT ref(69, 34, 5, 12, rows[k][0], rows[k][1], rows[k][2], key);
    const auto got = words(s, 500);
    for (int i = 0; i < 500; ++i) ASSERT_EQ(got[size_t(i)], ref.next()) << "member " << k << " output " << i;
    seen.push_back(got);
  }
  EXPECT_NE(seen[0], seen[1]);
  EXPECT_NE(seen[1], seen[2]);
  Stream t(HOX_BRNG_MT2203, {1});
  EXPECT_EQ(__hoxSkipAheadStream(t, 5), HOX_ERR_SKIPAHEAD_UNSUPPORTED);
  EXPECT_EQ(__hoxLeapfrogStream(t, 0, 2), HOX_ERR_LEAPFROG_UNSUPPORTED);
  HoxStream u = nullptr;
  EXPECT_EQ(__hoxNewStreamEx(&u, HOX_BRNG_MT2203 + 6024, 0, nullptr), HOX_ERR_INVALID_BRNG);
  EXPECT_EQ(u, nullptr);
}

// Any way of splitting a sequence into calls gives the same sequence, for every output type
// (SFMT's carry buffer serves the words of a partly used block).
TEST(Twisters, SplitCallsEqualOneCall) {
  std::mt19937 cuts(5);
  for (int32_t id : {HOX_BRNG_MT19937, HOX_BRNG_MT2203 + 1, HOX_BRNG_SFMT19937}) {
    Stream whole(id, {9, 8, 7}), pieces(id, {9, 8, 7}), dw(id, {9, 8, 7}), dp(id, {9, 8, 7});
    const int32_t total = 4000;
    const auto ref = words(whole, total);
    std::vector<double> dref(total);
    ASSERT_EQ(_hoxdRngUniform(0, dw, total, dref.data(), 0.0, 1.0), 0);
    std::vector<uint32_t> got;
    std::vector<double> dgot;
    while (int32_t(got.size()) < total) {
      int32_t k = int32_t(cuts() % 13);
      if (cuts() % 8 == 0) k = int32_t(cuts() % 900);
      k = std::min<int32_t>(k, total - int32_t(got.size()));
      const auto part = words(pieces, k);
      got.insert(got.end(), part.begin(), part.end());
      std::vector<double> d(size_t(std::max(k, 1)));
      ASSERT_EQ(_hoxdRngUniform(0, dp, k, d.data(), 0.0, 1.0), 0);
      dgot.insert(dgot.end(), d.begin(), d.begin() + k);
    }
    ASSERT_EQ(got, ref) << id;
    ASSERT_EQ(dgot, dref) << id;
    for (int32_t i = 0; i < total; ++i) ASSERT_EQ(dref[size_t(i)], double(ref[size_t(i)]) * 0x1p-32) << i;
  }
}

// Skip-ahead equals generate-and-discard (below 2^20 MT19937 discards, above it jumps; SFMT
// always jumps).
TEST(Twisters, SkipAheadEqualsGenerateAndDiscard) {
  const uint64_t big = qor::test::scale() < 1 ? 2000000 : 10000000;
  for (int32_t id : {HOX_BRNG_MT19937, HOX_BRNG_SFMT19937}) {
    for (uint64_t N : {uint64_t(0), uint64_t(1), uint64_t(5), uint64_t(623), uint64_t(624), uint64_t(625),
                       (uint64_t(1) << 20) - 1, uint64_t(1) << 20, (uint64_t(1) << 20) + 1, big}) {
      for (int32_t pre : {0, 3}) {  // from a fresh stream, and from a partly used block
        Stream jump(id, {0x123, 0x234, 0x345, 0x456}), walk(id, {0x123, 0x234, 0x345, 0x456});
        words(jump, pre);
        words(walk, pre);
        ASSERT_EQ(__hoxSkipAheadStream(jump, N), 0);
        discard(walk, N);
        ASSERT_EQ(words(jump, 1300), words(walk, 1300)) << "generator " << id << " N = " << N << " pre " << pre;
      }
    }
  }
}

// The sliding-window and Horner forms agree: MT19937 jumps by 2^63 with Horner's rule and by
// 2^62 with the window; SFMT19937 jumps by fewer than 19968 blocks with Horner's rule.
TEST(Twisters, HornerAndSlidingWindowFormsAgree) {
  {
    Stream one(HOX_BRNG_MT19937, {42}), two(HOX_BRNG_MT19937, {42});
    ASSERT_EQ(__hoxSkipAheadStream(one, uint64_t(1) << 63), 0);
    ASSERT_EQ(__hoxSkipAheadStream(two, uint64_t(1) << 62), 0);
    ASSERT_EQ(__hoxSkipAheadStream(two, uint64_t(1) << 62), 0);
    EXPECT_EQ(words(one, 1000), words(two, 1000));
  }
  {
    Stream one(HOX_BRNG_SFMT19937, {42}), two(HOX_BRNG_SFMT19937, {42});
    ASSERT_EQ(__hoxSkipAheadStream(one, 4 * 30000 + 2), 0);       // window
    ASSERT_EQ(__hoxSkipAheadStream(two, 4 * 15000 + 1), 0);       // Horner
    ASSERT_EQ(__hoxSkipAheadStream(two, 4 * 15000 + 1), 0);       // Horner, through the carry
    EXPECT_EQ(words(one, 1000), words(two, 1000));
  }
  if (qor::test::scale() >= 1) {  // a split large jump (slow under emulation)
    Stream one(HOX_BRNG_SFMT19937, {43}), two(HOX_BRNG_SFMT19937, {43});
    const uint64_t N = 0xFEDCBA9876543210ull;
    ASSERT_EQ(__hoxSkipAheadStream(one, N), 0);
    ASSERT_EQ(__hoxSkipAheadStream(two, N - 1000001), 0);
    ASSERT_EQ(__hoxSkipAheadStream(two, 1000001), 0);
    EXPECT_EQ(words(one, 1000), words(two, 1000));
  }
}

// The stored characteristic polynomials annihilate the bit sequences they were computed from:
// sum over the terms e of P of s[n + e] = 0 for every n (a different check from the
// Berlekamp-Massey that produced them), with the published degrees and term counts.
TEST(Twisters, CharacteristicPolynomialsAnnihilateTheOutputBits) {
  struct Case {
    int32_t id;
    const int32_t* poly;
    int terms, degree, stride;
  };
  for (const Case& c : {Case{HOX_BRNG_MT19937, _hox_mt19937_poly, 135, 19937, 1},
                        Case{HOX_BRNG_SFMT19937, _hox_sfmt19937_poly, 6711, 19968, 4}}) {
    EXPECT_EQ(c.poly[0], 0);
    EXPECT_EQ(c.poly[c.terms - 1], c.degree);
    EXPECT_TRUE(std::is_sorted(c.poly, c.poly + c.terms));
    const bool small = qor::test::scale() < 1;
    const int checks = small ? 200 : 3000;
    for (uint32_t seed : {1u, 20261206u}) {
      if (small && seed != 1u) break;
      Stream s(c.id, {seed});
      const auto w = words(s, (c.degree + checks) * c.stride);
      for (int bit : {0, 17, 31}) {
        for (int n = 0; n < checks; ++n) {
          uint32_t sum = 0;
          for (int t = 0; t < c.terms; ++t) sum ^= w[size_t(n + c.poly[t]) * size_t(c.stride)] >> bit;
          ASSERT_EQ(sum & 1, 0u) << "generator " << c.id << " bit " << bit << " n " << n;
        }
      }
    }
  }
}

// A failing allocation in the jump leaves the stream as it was.
TEST(Twisters, JumpWithoutMemoryChangesNothing) {
  for (int32_t id : {HOX_BRNG_MT19937, HOX_BRNG_SFMT19937}) {
    Stream s(id, {7});
    words(s, 5);
    BrngProperties p{};
    ASSERT_EQ(__hoxGetBrngProperties(id, &p), 0);
    std::vector<unsigned char> before(size_t(p.stateBytes - 16));
    std::memcpy(before.data(), static_cast<unsigned char*>(s.s) + 16, before.size());
    const int sites = qor::test::sweep_allocation_failures(
        [&] {
          const int32_t status = __hoxSkipAheadStream(s, (uint64_t(1) << 40) + 3);
          if (status == 0) return status;
          EXPECT_EQ(std::memcmp(before.data(), static_cast<unsigned char*>(s.s) + 16, before.size()), 0);
          return status;
        },
        HOX_ERR_NO_MEMORY);
    EXPECT_GE(sites, 2);
  }
}

// ---- the MT2203 parameter table ------------------------------------------------------------
// phi of a row: the characteristic polynomial of its untempered recurrence, from the bits of
// the recurrence written here; bit vectors of 64-bit words, bit i = coefficient of x^i.
using Poly = std::vector<uint64_t>;
constexpr int kDeg2203 = 2203;

Poly phi_2203(uint32_t a) {
  uint32_t mt[69];
  for (int i = 0; i < 69; ++i) mt[i] = 0x9E3779B9u * uint32_t(i + 1);
  std::vector<uint8_t> bits(2 * kDeg2203);
  for (int k = 0, i = 0; k < 2 * kDeg2203; ++k, i = (i + 1) % 69) {
    const uint32_t y = (mt[i] & 0xFFFFFFE0u) | (mt[(i + 1) % 69] & 0x1Fu);
    mt[i] = mt[(i + 34) % 69] ^ (y >> 1) ^ ((y & 1) ? a : 0u);
    bits[size_t(k)] = mt[i] & 1;
  }
  int L = 0;
  const auto C = qor_tools::berlekamp_massey(bits, &L);
  Poly P(35, 0);
  if (L != kDeg2203) return P;
  for (int e : qor_tools::char_poly(C, L)) P[size_t(e / 64)] |= uint64_t(1) << (e % 64);
  return P;
}

// x^(2^2203) mod phi == x, by repeated squaring reduced bit by bit (written here).
bool squares_back_to_x(const Poly& phi) {
  Poly t(70, 0);
  t[0] = 2;
  for (int k = 0; k < kDeg2203; ++k) {
    Poly s(70, 0);
    for (int i = 0; i < kDeg2203; ++i)
      if ((t[size_t(i / 64)] >> (i % 64)) & 1) s[size_t(2 * i / 64)] |= uint64_t(1) << ((2 * i) % 64);
    for (int i = 2 * kDeg2203 - 2; i >= kDeg2203; --i) {
      if (!((s[size_t(i / 64)] >> (i % 64)) & 1)) continue;
      const int sh = i - kDeg2203;
      for (int w = 0; w < 35; ++w) {
        if (!phi[size_t(w)]) continue;
        s[size_t(w + sh / 64)] ^= phi[size_t(w)] << (sh % 64);
        if (sh % 64) s[size_t(w + sh / 64 + 1)] ^= phi[size_t(w)] >> (64 - sh % 64);
      }
    }
    t = s;
  }
  Poly x(70, 0);
  x[0] = 2;
  return t == x;
}

// The characteristic polynomial in closed form (Matsumoto and Nishimura 1998): with
// U = t^69 + t^34 and V = t^68 + t^33, phi_a = U^27 V^5 + sum over the bits a_j of a of
// a_j U^27 V^(4-j) (j < 5) or a_j U^(31-j) (j >= 5), a_j being bit j of a (the determinant of
// t I - B is linear in the column of B that a fills).
struct ClosedForm2203 {
  Poly base = Poly(35, 0);
  std::vector<Poly> term = std::vector<Poly>(32, Poly(35, 0));
  static Poly mul(const Poly& x, const Poly& y) {
    Poly r(35, 0);  // x * y, both of degree < 2240 together
    for (int i = 0; i < 35 * 64; ++i) {
      if (!((x[size_t(i / 64)] >> (i % 64)) & 1)) continue;
      const int ws = i / 64, bs = i % 64;
      for (int w = 0; w + ws < 35; ++w) {
        r[size_t(w + ws)] ^= y[size_t(w)] << bs;
        if (bs && w + ws + 1 < 35) r[size_t(w + ws + 1)] ^= y[size_t(w)] >> (64 - bs);
      }
    }
    return r;
  }
  ClosedForm2203() {
    Poly U(35, 0), V(35, 0), one(35, 0);
    U[1] = uint64_t(1) << (69 - 64), U[0] = uint64_t(1) << 34;
    V[1] = uint64_t(1) << (68 - 64), V[0] = uint64_t(1) << 33;
    one[0] = 1;
    std::vector<Poly> Up(32, one), Vp(6, one);
    for (int i = 1; i < 32; ++i) Up[size_t(i)] = mul(Up[size_t(i - 1)], U);
    for (int i = 1; i < 6; ++i) Vp[size_t(i)] = mul(Vp[size_t(i - 1)], V);
    base = mul(Up[27], Vp[5]);
    for (int j = 0; j < 32; ++j) term[size_t(j)] = j < 5 ? mul(Up[27], Vp[size_t(4 - j)]) : Up[size_t(31 - j)];
  }
  Poly operator()(uint32_t a) const {
    Poly p = base;
    for (int j = 0; j < 32; ++j)
      if ((a >> j) & 1)
        for (size_t w = 0; w < 35; ++w) p[w] ^= term[size_t(j)][w];
    return p;
  }
};

// Every row is present (not all zero); the rows have distinct characteristic polynomials of full
// degree; a sample of them is irreducible (so, 2^2203 - 1 being prime, of maximal period).
TEST(Mt2203, TableRowsAreDistinctPrimitiveParameterSets) {
  std::vector<int> present;
  for (int k = 0; k < 6024; ++k)
    if (_hox_mt2203_table[k][0] != 0) present.push_back(k);
  ASSERT_GE(present.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(present[size_t(k)], k);
  // Berlekamp-Massey on about 50 rows spread over the table (8 under emulation), so the run
  // time stays put as the table fills: full linear complexity and agreement with the closed
  // form; the closed form then tells every present row apart.
  const size_t budget = qor::test::scale() < 1 ? 8 : 50;
  const size_t stride = std::max<size_t>(1, (present.size() + budget - 1) / budget);
  const ClosedForm2203 closed;
  std::vector<int> checked;
  for (size_t i = 0; i < present.size(); i += stride) checked.push_back(present[i]);
  if (checked.back() != present.back()) checked.push_back(present.back());
  for (int k : checked) {
    const uint32_t a = _hox_mt2203_table[k][0];
    const Poly phi = phi_2203(a);
    ASSERT_NE(phi, Poly(35, 0)) << "row " << k << ": linear complexity below 2203";
    EXPECT_EQ(phi, closed(a)) << "row " << k;
  }
  std::vector<Poly> phis;
  for (int k : present) phis.push_back(closed(_hox_mt2203_table[k][0]));
  std::sort(phis.begin(), phis.end());
  EXPECT_EQ(std::adjacent_find(phis.begin(), phis.end()), phis.end()) << "two rows share a polynomial";
  std::vector<int> sample = {0, present[present.size() / 2], present.back()};
  if (qor::test::scale() < 1) sample = {present.back()};
  for (int k : sample) EXPECT_TRUE(squares_back_to_x(phi_2203(_hox_mt2203_table[k][0]))) << "row " << k;
  // Tempering masks leave the bits the shifts clear.
  for (int k : present) {
    EXPECT_EQ(_hox_mt2203_table[k][1] & 0x7Fu, 0u) << k;
    EXPECT_EQ(_hox_mt2203_table[k][2] & 0x7FFFu, 0u) << k;
  }
  EXPECT_EQ(present.size(), 6024u) << "every member has its parameter set";
}

}  // namespace
