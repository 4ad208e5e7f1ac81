// Packed (SSE2) double-precision ExpInt1, E1(x) = integral from x to inf of e^-t / t dt, in its
// three slots. Three formulas, per lane:
//   x < 1/2:        E1 = (-ln x - gamma) + x + x q(x),   q(x) = (Ein(x) - x) / x,
//                   Ein(x) = sum_{k>=1} (-1)^(k+1) x^k / (k k!) (entire): q is a polynomial in
//                   x - 1/4 (degree 11, absolute error 2^-59; EP cut to degree 6, 2^-32).
//                   ln x comes in two parts (the HA logarithm of exp_log/dlog_core.h before its
//                   last sum: leading part v exact against its rest, about 2^-70 relative), and
//                   -v - gamma_hi and then + x are summed exactly (Fast2Sum, TwoSum): -ln x -
//                   gamma is 0.116 at x = 1/2 and nothing of the cancellation is lost; the terms
//                   after the leading sum stay below 0.12 of E1 with errors near 2^-56 of it.
//   1/2 <= x < 32:  E1 itself on 320 pieces [k / m, (k + 1) / m): m = 2^(5-e) on [2^e, 2^(e+1))
//                   for e = -1, 0, 1 (32 pieces a binade), m = 8 on [4, 32); a polynomial in
//                   u = m x - k - 1/2 (m x exact, k = floor(m x) by the shifter, so that the
//                   piece, its row and u come from x with a few operations and no exponential)
//                   of degree 10 (relative error below 2^-56.6, mostly the coefficients'
//                   rounding; LA cut to degree 9, 2^-54.3; EP to degree 5, 2^-30.8), its constant
//                   term E1 at the middle of the piece as a double pair a0 + a0l (rows
//                   kExpInt1D). HA: a0 + a1h u exactly (a1h the leading 6 bits of a1, u has at
//                   most 47), Fast2Sum, then the rest (below 0.004 of E1): below 0.57 ulp.
//                   LA and EP: a0 + (a0l + u P(u)) (below 0.83 ulp; EP 2^-30).
//                   Blocks whose lanes all lie here take this formula alone, with no other
//                   screen (the results are normal).
//   32 <= x < 740:  E1 = e^-x g(x),  g(x) = e^x E1(x) on 80 pieces [2^e (1 + j/16), 2^e (1 +
//                   (j+1)/16)), e = 5 .. 9 (the piece indexed by the high word of x: its
//                   exponent and top four fraction bits), a polynomial in v = x - c (c the
//                   piece's middle, v exact) of degree 11 (relative error below 2^-59.2; EP cut
//                   to degree 6, 2^-35.3), its constant term g(c) as a double pair a0 + a0l
//                   (tables/expint_poly.inc, tools/gen_expint_poly with MPFR). e^-x is the HA
//                   exponential's core (exp_log/dexp_core.h): 2^n (T + rest), T from the table,
//                   2^n built 64 binades higher and the result scaled back by 2^-64 last (subnormal
//                   results are flagged and recomputed per element, rounded once from the sum by
//                   the exponential's scale_subnormal).
//                   HA: T a0 exactly (a0 has 26 significant bits, T is split in halves), then
//                   one sum: below 0.57 ulp.
//                   LA and EP: (T + rest) (a0 + v P(v)) in plain products (below 2 ulp; EP to
//                   about 2^-28).
// Lanes outside [2^-1022, 740] (NaN, zero, negatives, infinities, subnormal arguments, and the
// arguments whose E1 rounds to 0 or the least subnormal) and the lanes whose result is below
// the normal range take the per-element routine: DExpInt1's (expint.h) outside the range, and
// within it this same formula on the lane alone (so the result does not depend on the block),
// reporting underflow (status 4) for results below the normal range.
#pragma once

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/special/expint.h"

namespace qor::vm::special {
namespace {

#include "vector_math/kernels/special/tables/expint_poly.inc"

inline constexpr int kE1HA = 0, kE1LA = 1, kE1EP = 2;
constexpr int kE1RowLen = 16;  // {c, a0, a0l, a1l, a1 .. a11, 0}: a_i in column i + 3
static_assert(sizeof(kExpInt1G[0]) == kE1RowLen * sizeof(double));

// Constant rows of the packed formula (read through opaque(): packed memory operands, not
// scalars broadcast at each use).
struct alignas(16) E1Rows {
  double eight[2], half[2], sh[2], below32[2], x32[2], least[2], max_arg[2], one[2];
  uint64_t exp_field[2], m_base[2], a1h_mask[2];
};
inline constexpr E1Rows kE1Rows = {
    {8.0, 8.0}, {0.5, 0.5},
    {0x1.8p52 + 32896.0, 0x1.8p52 + 32896.0},  // round to integer; 32896 in the low word (e1_mid)
    {0x1.fffffffffffffp4, 0x1.fffffffffffffp4}, {32.0, 32.0}, {0x1p-1022, 0x1p-1022}, {740.0, 740.0}, {1.0, 1.0},
    {0x7FF0000000000000, 0x7FF0000000000000}, {2051ull << 52, 2051ull << 52},
    {0xFFF8000000000000, 0xFFF8000000000000}};  // sign, exponent and 6 significant bits

// ln x = v + lo for positive normal x (both lanes): the HA logarithm of dlog_core.h (ln_ha2)
// before its final sum, v and the exact error of its leading sum kept apart.
QOR_SIMD_INLINE f64x2 e1_ln_two(f64x2 x, f64x2& lo) {
  using namespace exp_log::dlogk;
  const exp_log::DLnTable& c = exp_log::kDLn;
  const Reduced4 q = reduce4(high_words(x, x));
  const char* base = reinterpret_cast<const char*>(c.e);
  const double* ra = reinterpret_cast<const double*>(base + 2 * static_cast<size_t>(q.o[0]));
  const double* rb = reinterpret_cast<const double*>(base + 2 * static_cast<size_t>(q.o[1]));
  const f64x2 R = _mm_loadh_pd(_mm_load_sd(ra), rb);
  f64x2 H, L;
  load_hl(ra + 2, rb + 2, H, L);
  const USplit w = u_split(x, R);
  const f64x2 u = w.uhi + w.ulo, u2 = u * u;
  const f64x2 P = u2 * ((row(c.p2) + u * row(c.p3)) + u2 * (row(c.p4) + u * row(c.p5)));
  const f64x2 s = (q.k0 * row(c.ln2_hi) + H) + w.uhi;  // exact
  const f64x2 v = s + w.ulo;
  lo = (((s - v) + w.ulo) + (q.k0 * row(c.ln2_lo) + L)) + P;
  return v;
}

// E1 for 2^-1022 <= x < 1/2 (other lanes: any positive normal value).
template <int kSlot>
QOR_SIMD_INLINE f64x2 e1_small(f64x2 x) {
  constexpr int kDeg = kSlot == kE1EP ? 6 : 11;
  const auto& a = kExpInt1Q;
  const f64x2 v = x - kc<0.25>();
  f64x2 p = kc<a[kDeg + 3]>();
#pragma GCC unroll 16
  for (int i = kDeg - 1; i >= 1; --i) p = p * v + f64x2::splat(a[i + 3]);
  const f64x2 xq = x * (kc<a[1]>() + (kc<a[2]>() + v * p));
  f64x2 ll;
  const f64x2 lh = e1_ln_two(x, ll);
  const f64x2 g = kc<0x1.2788cfc6fb619p-1>();  // Euler's gamma = g + gl
  const f64x2 s1 = (f64x2() - lh) - g;         // -ln x > ln 2 > g: Fast2Sum
  const f64x2 e1 = ((f64x2() - lh) - s1) - g;
  const f64x2 s2 = s1 + x, b = s2 - s1;  // TwoSum
  const f64x2 e2 = (s1 - (s2 - b)) + (x - b);
  return s2 + ((e1 + e2) + ((kc<0x1.6cb90701fbfabp-58>() - ll) + xq));
}

// The table rows of both lanes (byte offsets oa, ob from base), read by columns.
struct E1RowPair {
  const double* ra;
  const double* rb;
  QOR_SIMD_INLINE E1RowPair(const void* base, uint32_t oa, uint32_t ob)
      : ra(reinterpret_cast<const double*>(static_cast<const char*>(base) + oa)),
        rb(reinterpret_cast<const double*>(static_cast<const char*>(base) + ob)) {}
  QOR_SIMD_INLINE f64x2 col(int k) const { return _mm_loadh_pd(_mm_load_sd(ra + k), rb + k); }
  QOR_SIMD_INLINE void col2(int k, f64x2& p, f64x2& q) const {  // columns k, k + 1 (k even: aligned)
    const __m128d ea = _mm_load_pd(ra + k), eb = _mm_load_pd(rb + k);
    p = _mm_unpacklo_pd(ea, eb);
    q = _mm_unpackhi_pd(ea, eb);
  }
};

// Horner's sum of columns kLow .. kTop (kLow even) in powers of v, two columns per aligned pair.
template <int kLow, int kTop>
QOR_SIMD_INLINE f64x2 e1_horner(const E1RowPair& r, f64x2 v) {
  static_assert(kLow % 2 == 0);
  f64x2 p;
  if constexpr (kTop % 2 == 0) {
    p = r.col(kTop);
  } else {
    f64x2 lo, hi;
    r.col2(kTop - 1, lo, hi);
    p = hi * v + lo;
  }
#pragma GCC unroll 8
  for (int k = kTop % 2 == 0 ? kTop - 2 : kTop - 3; k >= kLow; k -= 2) {
    f64x2 lo, hi;
    r.col2(k, lo, hi);  // columns k, k + 1
    p = (p * v + hi) * v + lo;
  }
  return p;
}

// E1 for 1/2 <= x < 32 (other lanes: any value in that range): E1 itself on the piece of x,
// a0 + a0l + u (a1 + u (a2 + ...)) in u = m x - k - 1/2 in [-1/2, 1/2] (m = 2^(5-e) on [2^e,
// 2^(e+1)), at least 8, so that m x is exact; k = floor(m x)); a0 + a0l is E1 at the middle of
// the piece. Degree 10 (HA), 9 (LA), 5 (EP): tables/expint_poly.inc, tools/gen_expint_poly.
template <int kSlot>
QOR_SIMD_INLINE f64x2 e1_mid(f64x2 x) {
  constexpr int kDeg = kSlot == kE1HA ? 10 : kSlot == kE1LA ? 9 : 5;
  const E1Rows& c = opaque(kE1Rows);
  // m = 2^(5-e): exponent field 2051 - E for E = 1023 + e the field of x
  const f64x2 m = max((irow(c.m_base) - (x.bits() & irow(c.exp_field))).as_f64(), row(c.eight));
  // k = round(m x - 1/2) (m x and the differences exact); the shifter's low word adds 32896 to
  // k, so that the row k - 32 + 32 b (b = 1029 - M, M the exponent field of m: the binade from
  // 1/2, and 3 from 4 on) is the low word of t less 32 M
  const f64x2 z = x * m - row(c.half);
  const f64x2 t = z + row(c.sh);
  const f64x2 u = z - (t - row(c.sh));
  const __m128i ri = _mm_sub_epi32(_mm_castpd_si128(t.v), _mm_srli_epi64(_mm_castpd_si128(m.v), 47));
  const __m128i r32 = _mm_slli_epi32(ri, 5);
  const __m128i o = _mm_add_epi32(r32, _mm_add_epi32(r32, r32));  // 96 bytes a row
  const E1RowPair r(kExpInt1D, static_cast<uint32_t>(_mm_cvtsi128_si32(o)),
                    static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(o, 8))));
  // columns: a0, a0l, a1 .. a10; a_i in column i + 1
  const f64x2 p = e1_horner<4, kDeg + 1>(r, u);  // a3 + a4 u + ...
  f64x2 a0, a0l, a1, a2;
  r.col2(0, a0, a0l);
  r.col2(2, a1, a2);
  if constexpr (kSlot == kE1HA) {
    // a0 + a1 u with its error: a1 = a1h + a1l, a1h of 6 bits, so that a1h u is exact (u has
    // at most 47 bits: a multiple of 2^-48 of magnitude at most 1/2), and its sum with a0 by
    // Fast2Sum (a1 u is below 0.1 of a0); the rest is below 2^-5 of the first-order term
    const f64x2 a1h = a1 & row(c.a1h_mask);
    const f64x2 p1 = a1h * u, s = a0 + p1, e = (a0 - s) + p1;
    return s + (e + (a0l + u * ((a1 - a1h) + u * (p * u + a2))));
  }
  return a0 + (a0l + u * ((p * u + a2) * u + a1));
}

// E1 for 32 <= x <= 740 (other lanes: any value in that range) as 2^n (hi + returned), t the
// exponential's shifted value (n = N >> 6 in its low bits).
template <int kSlot>
QOR_SIMD_INLINE f64x2 e1_large_parts(f64x2 x, f64x2& hi, f64x2& t) {
  constexpr int kDeg = kSlot == kE1EP ? 6 : 11;
  // rows: (high word - high word of 32) >> 16, 128 bytes each
  const __m128i h = _mm_shuffle_epi32(_mm_castpd_si128(x.v), _MM_SHUFFLE(3, 1, 3, 1));
  const __m128i o = _mm_slli_epi32(_mm_srli_epi32(_mm_sub_epi32(h, ki<0x40400000>()), 16), 7);
  const E1RowPair r(kExpInt1G, static_cast<uint32_t>(_mm_cvtsi128_si32(o)),
                    static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(o, 4))));
  f64x2 c, a0, a0l, a1l, a1, a2;
  r.col2(0, c, a0);
  r.col2(2, a0l, a1l);
  r.col2(4, a1, a2);
  const f64x2 v = x - c;
  const f64x2 p = e1_horner<6, kDeg + 3>(r, v);  // a3 + a4 v + ...
  const f64x2 gl = (a0l + v * a1l) + v * (a1 + v * (p * v + a2));  // g - a0
  // e^-x = 2^(n+64) (T + rest) 2^-64
  f64x2 th;
  const f64x2 rest = exp_log::DExpCore<exp_log::RedExp>::parts(f64x2() - x, t, th);
  if constexpr (kSlot == kE1HA) {
    // T a0 exactly: T split in halves of 26 and 27 bits (Veltkamp), each product with the
    // 26-bit a0 exact, their sum with its error (Fast2Sum)
    const f64x2 ga = th * kc<134217729.0>(), thh = ga - (ga - th), thl = th - thh;
    const f64x2 p1 = thh * a0, p2 = thl * a0;
    hi = p1 + p2;
    return ((p1 - hi) + p2) + (th * gl + rest * (a0 + gl));
  }
  hi = (th + rest) * (a0 + gl);
  return f64x2();
}
// The sum scaled by 2^(n+64) (built in the exponent field), then by 2^-64.
template <int kSlot>
QOR_SIMD_INLINE f64x2 e1_large(f64x2 x) {
  f64x2 hi, t;
  const f64x2 lo = e1_large_parts<kSlot>(x, hi, t);
  const f64x2 sc = simd::shl(t.bits() + i64x2::splat((1023 + 64) * 64), 46).as_f64() & row(exp_log::kDExp.exp_mask);
  return ((hi + lo) * sc) * kc<0x1p-64>();
}

// E1 on lanes in [2^-1022, 740].
template <int kSlot>
QOR_SIMD_INLINE f64x2 e1_packed(f64x2 x) {
  const E1Rows& c = opaque(kE1Rows);
  const f64x2 small = cmp_lt(x, row(c.half)), big = cmp_le(row(c.x32), x);
  const int ms = mask(small), mb = mask(big);
  if (__builtin_expect((ms | mb) == 0, 1)) return e1_mid<kSlot>(x);
  f64x2 y;
  if ((ms | mb) != 3) y = e1_mid<kSlot>(min(max(x, row(c.half)), row(c.below32)));
  if (mb) y = select(big, e1_large<kSlot>(max(x, row(c.x32))), y);
  if (ms) y = select(small, e1_small<kSlot>(min(x, row(c.half))), y);
  return y;
}

template <int kSlot>
struct DExpInt1Packed : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static QOR_SIMD_INLINE f64x2 in_range(f64x2 x) {
    const E1Rows& c = opaque(kE1Rows);
    return cmp_le(row(c.least), x) & cmp_le(x, row(c.max_arg));
  }
  static QOR_SIMD_INLINE int packed_checked(f64x2 x, f64x2& r) {
    const E1Rows& c = opaque(kE1Rows);
    if (__builtin_expect(mask(cmp_le(row(c.half), x) & cmp_lt(x, row(c.x32))) == 3, 1)) {
      r = e1_mid<kSlot>(x);  // both lanes in [1/2, 32): normal results
      return 0;
    }
    const f64x2 in = in_range(x);
    r = e1_packed<kSlot>(select(in, x, row(opaque(kE1Rows).one)));
    return (mask(in) ^ 0x3) | mask(cmp_lt(r, kc<0x1p-1022>()));
  }
  static int element(const double* px, double* r) {
    const f64x2 x = f64x2::splat(*px);
    if (mask(in_range(x)) == 0) return DExpInt1::element(px, r);
    *r = lane0(e1_packed<kSlot>(x));
    if (*r < 0x1p-1022) {  // below the normal range: the sum rounded once (the packed path rounds twice)
      f64x2 hi, t;
      const f64x2 lo = e1_large_parts<kSlot>(x, hi, t);
      *r = exp_log::scale_subnormal(lane0(hi), lane0(lo), exp_log::n_of(t));
    }
    return underflow_status(*r);
  }
};

}  // namespace
}  // namespace qor::vm::special
