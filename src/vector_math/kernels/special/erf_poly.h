// Double-precision Erf and Erfc (every slot): piecewise polynomials (tables/erf_poly.inc, from
// tools/gen_erf_poly.cpp) on uniform pieces [c - h/2, c + h/2], c = k h, chosen per lane. With
// a = |x| clamped (NaN to the clamp), k = round(a / h) in the low word of a + 1.5 * 2^52 h,
// c = k h and d = a - c exactly (h is a power of two and c <= 2a; piece 0 is centred at 0, so
// d = a there), one row of coefficients is read per lane and
//
//   Erf:  erf x = sign(x) m f_k(d),  m = min(a, 6),  f_k ~ erf(v) / v on the piece (HA: h = 1/16,
//         degree 8, 2^-59 with c_0 as a pair; LA: h = 1/16, degree 7, 2^-52.97; EP: h = 1/32,
//         degree 3, 2^-30.3).
//         erf(6) rounds to 1, so the clamp gives +-1 beyond 6. The relative error holds down to
//         0 (no cancellation: f stays near 2/sqrt(pi) there).
//   Erfc: erfc a = e^(-a^2) g_k(d),  g_k ~ e^(v^2) erfc(v) on the piece (a <= 26.5; HA h = 1/16,
//         degree 8 with c_0 as a pair, 2^-57.75; EP h = 1/32, degree 3, 2^-26.99), and
//         erfc(-a) = 2 - erfc a, formed as K + (y ^ s) with s the sign bit of x and K = s >> 1
//         (2.0 for a negative x, 0 else; HA: Fast2Sum, at the scale 2^64). LA works on x itself
//         clamped to [-6, 26.5]: erfc x = E e^(-2 max(c, 0) d) (1 + d S(d)) with E = erfc(c) and
//         S of degree 8 per row, h = 1/8, rows from c = -6 (see d_erfc_la; erfc(-6) rounds to 2).
//         HA: a^2 = c^2 + 2cd + d^2 with c^2 = k^2/256 and 2cd = (k/8) d exact (d = a - k/16 has
//         at most 52 - log2 k significant bits) and d^2 rounded (2^-61 at most), N = round(-a^2
//         2^8 / ln 2) from a^2 rounded, r = (((-c^2 - N C1) - 2cd) - N C2) - d^2 (the first
//         difference exact: both multiples of 2^-38 and it is below 4; what follows is below
//         0.01, so its roundings stay near 2^-60), e^-a^2 = 2^n T (1 + q) from the 256-entry
//         table of 27-bit T with its relative error L (q = L + p + L p, p ~ e^r - 1 of degree
//         5). LA: e^(-2cd) from the 1024-entry table of T (q = p of degree 3, T's rounding left
//         in). EP: e^-hi (hi = a^2 rounded) from the 256-entry table with two Taylor terms of
//         2^(f/256) (2^-31; hi's rounding costs 2^-43 at a = 26.5).
//         The packed formula clamps a at 26.5 (e^-702.25 = 2^-1013.1, the result 2^-1018.7).
//         Every slot forms its exponential at the scale 2^64 (N + 64 256 or 64 1024 in the
//         rounding constant: no operation more) and multiplies the result by 2^-64 at the end
//         (exact: it is normal), so that no intermediate is subnormal up to 26.5 (the product of
//         the result and its small correction came below 2^-1022 near 26.5, each a microcode
//         assist: HA 14.7 ns an element on (26.3, 26.5) against 4.8 on (25.8, 26)).
// Erfc's screen (erf.h) flags x > 26.5, +inf and NaN; such blocks take d_erfc_poly<kSlot, true>,
// whose lanes beyond 26.5 (up to 27.3, the tables' rows reach it) scale the exponential (LA: its
// rows there hold erfc(c) 2^128) by 2^128 and their results back by integer operations
// (erfc_down), rounding once also below the normal range; the per-element routine keeps that
// result and reports underflow.
#pragma once

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/special/common.h"

namespace qor::vm::special {
namespace {

#include "vector_math/kernels/special/tables/erf_poly.inc"

constexpr double erf_pow2(int e) { return e >= 0 ? (e == 0 ? 1.0 : 2.0 * erf_pow2(e - 1)) : 0.5 * erf_pow2(e + 1); }

// Row k of a table for both lanes: the byte offsets, and the columns 2j, 2j + 1.
template <int kLog2h>
QOR_SIMD_INLINE f64x2 poly_piece(f64x2 a, size_t row_bytes, const char*& b0, const char*& b1, const char* base,
                                 f64x2& c) {
  // a + 1.5 * 2^(52 + log2 h) rounds a to a multiple of h (its ulp), k in the low word
  const f64x2 sh = row(opaque(Row2<0x1.8p52 * erf_pow2(kLog2h)>::v));
  const f64x2 t = a + sh;
  c = t - sh;
  const __m128i k = t.bits().v;
  b0 = base + static_cast<uint32_t>(_mm_cvtsi128_si32(k)) * row_bytes;
  b1 = base + static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(k, _MM_SHUFFLE(3, 2, 3, 2)))) * row_bytes;
  return a - c;
}
template <int kLog2h>
QOR_SIMD_INLINE f64x2 poly_piece(f64x2 a, size_t row_bytes, const char*& b0, const char*& b1, const char* base) {
  f64x2 c;
  return poly_piece<kLog2h>(a, row_bytes, b0, b1, base, c);
}
QOR_SIMD_INLINE void poly_cols(const char* b0, const char* b1, int j, f64x2& p, f64x2& q) {
  const __m128d e0 = _mm_load_pd(reinterpret_cast<const double*>(b0 + 16 * j));
  const __m128d e1 = _mm_load_pd(reinterpret_cast<const double*>(b1 + 16 * j));
  p = _mm_unpacklo_pd(e0, e1);
  q = _mm_unpackhi_pd(e0, e1);
}
// The 2M coefficients of both lanes' rows.
template <int M>
QOR_SIMD_INLINE void poly_coeffs(const char* b0, const char* b1, f64x2 (&c)[2 * M]) {
#pragma GCC unroll 5
  for (int j = 0; j < M; ++j) poly_cols(b0, b1, j, c[2 * j], c[2 * j + 1]);
}
// c[i0] + c[i0 + 1] d + ... + c[i0 + n - 1] d^(n-1) by Estrin's scheme (n = 4, 6, 7, 8, 9, 10).
template <int n, int i0, int M>
QOR_SIMD_INLINE f64x2 estrin(const f64x2 (&c)[M], f64x2 d) {
  static_assert(n == 4 || n == 6 || n == 7 || n == 8 || n == 9 || n == 10);
  const f64x2 d2 = d * d;
  const f64x2 e0 = c[i0] + c[i0 + 1] * d, e1 = c[i0 + 2] + c[i0 + 3] * d;
  if constexpr (n == 4) {
    return e0 + e1 * d2;
  } else {
    const f64x2 d4 = d2 * d2, e2 = c[i0 + 4] + c[i0 + 5] * d;
    if constexpr (n == 6) {
      return (e0 + e1 * d2) + e2 * d4;
    } else if constexpr (n == 7) {
      return (e0 + e1 * d2) + (e2 + c[i0 + 6] * d2) * d4;
    } else {
      const f64x2 e3 = c[i0 + 6] + c[i0 + 7] * d;
      if constexpr (n == 8) return (e0 + e1 * d2) + (e2 + e3 * d2) * d4;
      else if constexpr (n == 9) return (e0 + e1 * d2) + ((e2 + e3 * d2) + c[i0 + 8] * d4) * d4;
      else return (e0 + e1 * d2) + ((e2 + e3 * d2) + (c[i0 + 8] + c[i0 + 9] * d) * d4) * d4;
    }
  }
}

// 2^n T for N = 1024 n + j in the low bits of t (the biased 1024-entry table of exp_log).
// m1023: 1023 in every 32-bit word (a memory operand).
QOR_SIMD_INLINE f64x2 t1024_scaled_impl(f64x2 t, const int32_t (&m1023)[4]) {
  const __m128i o =
      _mm_slli_epi32(_mm_and_si128(t.bits().v, _mm_load_si128(reinterpret_cast<const __m128i*>(m1023))), 3);
  const char* base = reinterpret_cast<const char*>(exp_log::kDExpT1024.e);
  const uint32_t o0 = static_cast<uint32_t>(_mm_cvtsi128_si32(o));
  const uint32_t o1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(o, _MM_SHUFFLE(3, 2, 3, 2))));
  const f64x2 b = _mm_loadh_pd(_mm_load_sd(reinterpret_cast<const double*>(base + o0)),
                               reinterpret_cast<const double*>(base + o1));
  return (b.bits() + simd::shl(t.bits(), 42)).as_f64();
}

// The constants of double Erfc in one object (one base register, each a memory operand): LA's
// clamps 26.5 and -6, 1.5 * 2^49 (a + it rounds a to a multiple of 1/8) and -2; the rounding
// constants 1.5 * 2^52 + 64 1024 (LA) and + 64 256 (HA, EP), which put 64 into the exponential's
// exponent, and 2^-64, which takes it out of the result; 80 in the low 16 bits of each 64-bit
// lane (pmaddwd: the byte offset of row k of kErfcRowsLA) and 1023 (the 1024-entry table's
// index); HA's -256 / ln 2 and the odd coefficients of kDExpFast.xm1 negated (its reduced
// argument is formed negated).
struct alignas(16) ErfcConst {
  double clamp[2], lo[2], sh49[2], m2[2], sh52_64[2], down64[2], sh52_256[2];
  int16_t stride[8];
  int32_t m1023[4];
  double neg_inv_ln2_256[2], neg_xm1_1[2], neg_xm1_3[2];
};
inline constexpr ErfcConst kErfcConst = {{26.5, 26.5},
                                         {-6.0, -6.0},
                                         {0x1.8p49, 0x1.8p49},
                                         {-2.0, -2.0},
                                         {0x1.8p52 + 0x1p16, 0x1.8p52 + 0x1p16},
                                         {0x1p-64, 0x1p-64},
                                         {0x1.8p52 + 0x1p14, 0x1.8p52 + 0x1p14},
                                         {80, 0, 0, 0, 80, 0, 0, 0},
                                         {1023, 1023, 1023, 1023},
                                         {-exp_log::kDExpFast.inv_ln2_256[0], -exp_log::kDExpFast.inv_ln2_256[0]},
                                         {-exp_log::kDExpFast.xm1[1][0], -exp_log::kDExpFast.xm1[1][0]},
                                         {-exp_log::kDExpFast.xm1[3][0], -exp_log::kDExpFast.xm1[3][0]}};

inline constexpr int kErfPolyHASlot = 1, kErfPolyEPSlot = 2;  // kErfHA, kErfEP of erf.h

// erf x. EP: m f(d) with f of degree 3. LA: m c_0 + m (d R(d)), R of degree 6 (f not rounded
// itself; 8 coefficients, 2^-52.97). HA: f = c_0h + c_0l + d R(d) (c_0h of 24 bits,
// R of degree 7: 2^-59 with the pair), m = m_h + m_l (m_h its 26 leading bits, by a mask), and
//     erf = m_h c_0h + (m_l c_0h + m (c_0l + d R))
// with both products by c_0h exact: the one rounding that matters is the last sum's (|d R| is
// at most 0.03 of f on pieces of 1/16), so the error stays near half an ulp.
template <int kSlot>
QOR_SIMD_INLINE f64x2 d_erf_poly(f64x2 x) {
  // xm = x clamped to [-6, 6] (NaN to 6) carries the sign through the products (each rounds
  // symmetrically), so that erf(-x) = -erf(x) without a sign mask; m = |xm| picks the row.
  const f64x2 xm = max(min(x, row(opaque(Row2<6.0>::v))), row(opaque(Row2<-6.0>::v))), m = abs(xm);
  const char *b0, *b1;
  if constexpr (kSlot == kErfPolyEPSlot) {
    const f64x2 d = poly_piece<-5>(m, sizeof(kErfPolyEP[0]), b0, b1, reinterpret_cast<const char*>(kErfPolyEP));
    f64x2 c[4];
    poly_coeffs<2>(b0, b1, c);
    return xm * estrin<4, 0>(c, d);
  } else if constexpr (kSlot != kErfPolyHASlot) {
    const f64x2 d = poly_piece<-4>(m, sizeof(kErfPolyLA[0]), b0, b1, reinterpret_cast<const char*>(kErfPolyLA));
    f64x2 c[8];
    poly_coeffs<4>(b0, b1, c);
    return xm * c[0] + xm * (d * estrin<7, 1>(c, d));  // f's constant added after the product
  } else {
    const f64x2 d = poly_piece<-4>(m, sizeof(kErfPolyHA[0]), b0, b1, reinterpret_cast<const char*>(kErfPolyHA));
    f64x2 c[10];
    poly_coeffs<5>(b0, b1, c);
    const f64x2 r = estrin<8, 2>(c, d);
    const f64x2 mh = xm & row(opaque(exp_log::kDExpFast).split26), ml = xm - mh;  // 26 bits and the rest
    return mh * c[0] + (ml * c[0] + xm * (c[1] + d * r));
  }
}

// 2^128 ts in the lanes of `far`: the exponent field of ts plus 128 (modulo 2^64, so also where
// ts itself left the normal range: t256_scaled adds n to the table entry's bits the same way).
QOR_SIMD_INLINE f64x2 erfc_up128(f64x2 ts, f64x2 far) {
  const __m128i e = _mm_and_si128(_mm_castpd_si128(far.v), _mm_set_epi32(0x08000000, 0, 0x08000000, 0));
  return _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(ts.v), e));
}
// The bits of v less `base` where `sub`, else v with its exponent field less e (the result
// normal there).
QOR_SIMD_INLINE f64x2 erfc_down(f64x2 v, f64x2 sub, uint64_t base, int e) {
  const uint64_t n = static_cast<uint64_t>(e) << 52;
  const __m128i s = _mm_castpd_si128(sub.v);
  const __m128i bb = _mm_set_epi32(static_cast<int>(base >> 32), static_cast<int>(base), static_cast<int>(base >> 32),
                                   static_cast<int>(base));
  const __m128i nn = _mm_set_epi32(static_cast<int>(n >> 32), static_cast<int>(n), static_cast<int>(n >> 32),
                                   static_cast<int>(n));
  const __m128i k = _mm_or_si128(_mm_and_si128(s, bb), _mm_andnot_si128(s, nn));
  return _mm_castsi128_pd(_mm_sub_epi64(_mm_castpd_si128(v.v), k));
}
// y 2^-128 in the lanes of `far`, rounded once by integer operations (see erfc_down): below
// 2^-894 (a subnormal result) y 2^946 + 2^52 rounds y 2^946 to an integer m, whose bits less
// those of 2^52 are m's.
QOR_SIMD_INLINE f64x2 erfc_down128(f64x2 y, f64x2 far) {
  const f64x2 sub = cmp_lt(y, row(opaque(Row2<0x1p-894>::v)));
  const f64x2 ym = y * row(opaque(Row2<0x1p946>::v)) + row(opaque(Row2<0x1p52>::v));
  return select(far, erfc_down(select(sub, ym, y), sub, 0x4330000000000000ull, 128), y);
}
// erfc x in LA on x itself, a = x clamped to [-6, 26.5] (erfc(-6) rounds to 2; NaN to 26.5):
// rows of E = erfc(c) and S for c = k/8 from -6 to 27.375 (row 0 of kErfcRowsLA at c = -6),
//     erfc a = E e^w (1 + u),  w = -2 max(c, 0) d,  u = d S(d),
// S(d) = (e^(2cd) erfc(c + d) / erfc(c) - 1) / d of degree 8 from c = 0 on (2^-54.9 for 1 + u)
// and (erfc(c + d) / erfc(c) - 1) / d below (w = 0: the exponential factor e^(2cd) would need
// many more terms at c = -6), so that a negative x needs no 2 - erfc |x|. w is one exact product
// (d has at most 52 - log2 k significant bits) and |w| <= 3.32, so a^2 needs no split; e^w =
// 2^n T (1 + q) from the 1024-entry table, erfc = U + U ((q + u) + q u), U = 2^n T E rounded.
// Flagged blocks (kFlagged): see d_erfc_poly.
template <bool kFlagged>
QOR_SIMD_INLINE f64x2 d_erfc_la(f64x2 x, const exp_log::DExpFastRows& c, const ErfcConst& kc) {
  f64x2 a = max(min(x, row(kc.clamp)), row(kc.lo)), far = f64x2();
  if constexpr (kFlagged) {
    far = cmp_lt(row(kc.clamp), x);
    a = select(far, min(x, row(opaque(Row2<27.3>::v))), a);
  }
  // k = round(8a) in the low word of a + 1.5 * 2^49 (its ulp 1/8; two's complement below 0),
  // c = k/8, d = a - c and w = (-2 max(c, 0)) d, both exact; the row's byte offset 80k by one
  // pmaddwd on the signed low 16 bits (|k| < 2^15)
  const f64x2 sh = row(kc.sh49);
  const f64x2 tk = a + sh;
  const f64x2 cf = tk - sh;
  const f64x2 d = a - cf;
  const f64x2 w = (max(cf, f64x2()) * row(kc.m2)) * d;
  static_assert(sizeof(kErfcRowsLA[0]) == 80 && sizeof(kErfcRowsLA) / 80 == 48 + 220);
  const __m128i ko = _mm_madd_epi16(tk.bits().v, _mm_load_si128(reinterpret_cast<const __m128i*>(kc.stride)));
  const char* base = reinterpret_cast<const char*>(kErfcRowsLA[48]);
  const char* b0 = base + _mm_cvtsi128_si32(ko);
  const char* b1 = base + _mm_cvtsi128_si32(_mm_shuffle_epi32(ko, _MM_SHUFFLE(3, 2, 3, 2)));
  // N = round(w 1024 / ln 2) + 65536 in t: 2^64 e^w, so that nothing below is subnormal for a
  // up to 26.5 (ue times the small correction came to 2^-1023 there: microcode assists)
  const f64x2 t = w * row(c.inv_ln2_1024) + row(kc.sh52_64);
  const f64x2 n = t - row(kc.sh52_64);
  const f64x2 r = (w - n * row(c.ln2_1024_hi)) - n * row(c.ln2_1024_lo);
  f64x2 k[10];
  poly_coeffs<5>(b0, b1, k);
  f64x2 ts = t1024_scaled_impl(t, kc.m1023);
  // far lanes: rows beyond 26.5 hold E 2^128; those of row c = 26.5 (26.5 < a < 26.5625) scale T
  if constexpr (kFlagged) ts = erfc_up128(ts, far & cmp_lt(cf, row(opaque(Row2<26.5625>::v))));
  const f64x2 q = r + (r * r) * (row(c.em3[0]) + r * row(c.em3[1]));
  const f64x2 u = d * estrin<9, 1>(k, d);
  const f64x2 ue = ts * k[0];
  const f64x2 y = (ue + ue * ((q + u) + q * u)) * row(kc.down64);  // exact: the result is normal
  if constexpr (kFlagged) return erfc_down128(y, far);
  return y;
}

// erfc x for x <= 26.5. HA: g = c_0h + c_0l + w (c_0h of 24 bits, w = d R(d), R of degree 7:
// 2^-57.75), e^-a^2 = 2^n T (1 + q) with T of 27 bits (exp_log's Expm1 table, q = L + p + L p,
// p of degree 5), so that the leading product 2^n T c_0h is exact and
//     erfc a = 2^n T c_0h + 2^n T (c_0l + w + q g),
// the second part at most 0.08 of the first; erfc(-a) = 2 - that with Fast2Sum. EP: u + u q with
// u = 2^n T g, g of degree 3 (Horner's scheme). LA: d_erfc_la.
// kFlagged (the blocks the screen flags): the lanes of x > 26.5 (`far`) take a up to 27.3 (the
// tables' rows reach it) at the scale 2^128, the result scaled back with one rounding, also
// below the normal range; the other lanes as without it, bit for bit.
template <int kSlot, bool kFlagged = false>
QOR_SIMD_INLINE f64x2 d_erfc_poly(f64x2 x) {
  using exp_log::kDExpFast;
  using exp_log::kDExpT256;
  const auto& c = opaque(kDExpFast);
  const auto& kc = opaque(kErfcConst);
  if constexpr (kSlot != kErfPolyHASlot && kSlot != kErfPolyEPSlot) return d_erfc_la<kFlagged>(x, c, kc);
  const f64x2 sgn = sign_bits(x);
  f64x2 a = min(abs(x), row(opaque(Row2<26.5>::v))), far = f64x2();  // NaN: 26.5
  if constexpr (kFlagged) {
    far = cmp_lt(row(opaque(Row2<26.5>::v)), x);
    a = select(far, min(x, row(opaque(Row2<27.3>::v))), a);
  }
  const char *b0, *b1;
  f64x2 y;
  if constexpr (kSlot == kErfPolyHASlot) {
    const f64x2 hi = a * a;
    f64x2 cp;
    const f64x2 d =
        poly_piece<-4>(a, sizeof(kErfcxPolyHA[0]), b0, b1, reinterpret_cast<const char*>(kErfcxPolyHA), cp);
    f64x2 k[10];
    poly_coeffs<5>(b0, b1, k);
    const f64x2 d2 = d * d, w2 = d2 * estrin<7, 3>(k, d);  // c_2 d^2 + ... (c_1 d rounds on its own)
    // a^2 = c^2 + 2cd + d^2 with c^2 and 2cd = (k/8) d exact (see the head of this file)
    const f64x2 v1 = (cp + cp) * d;
    // N + 64 256 in t: 2^64 e^(-a^2) (nothing below subnormal up to 26.5; scaled back at the end)
    const f64x2 t = hi * row(kc.neg_inv_ln2_256) + row(kc.sh52_256);
    const f64x2 n = t - row(kc.sh52_256);
    // rn = -r (the reduced argument negated: no sign change of c^2), each step -x - y = -(x + y)
    const f64x2 rn = ((((cp * cp) + n * row(c.ln2_256_hi)) + v1) + n * row(c.ln2_256_lo)) + d2;
    f64x2 bt, lt;
    gather_rows<255>(exp_log::kDExpm1T256.e, t, bt, lt);
    f64x2 ts = exp_log::t256_scaled(bt, t);  // 2^n T, T of 27 bits
    if constexpr (kFlagged) ts = erfc_up128(ts, far);
    // p(r) = r + r^2 ((c_2 + c_3 r) + r^2 (c_4 + c_5 r)) with r = -rn
    const f64x2 r2 = rn * rn;
    const f64x2 p = r2 * ((row(c.xm1[0]) + rn * row(kc.neg_xm1_1)) + r2 * (row(c.xm1[2]) + rn * row(kc.neg_xm1_3))) - rn;
    const f64x2 q = (lt + p) + lt * p;
    const f64x2 big = ts * k[0];  // exact
    const f64x2 w = k[2] * d + w2;
    const f64x2 kw = k[1] + w;  // c_0l is up to 2^-25 of c_0: q g needs it
    const f64x2 rest = ts * ((k[2] * d + (k[1] + w2)) + q * (k[0] + kw));
    f64x2 yf = f64x2();
    if constexpr (kFlagged) {
      // far lanes: big + rest at 2^128 moved to 2^1022 (exactly): below 1 the sum with 1 rounds
      // it once to the subnormal grid (2^-52 there), and the bits of 1 + m 2^-52 less those of 1
      // are those of m 2^-1074 (2^-1022 where the sum rounds to 2); from 1 on the exponent field
      // less 1022. Integer operations: no floating-point operation has a subnormal result.
      const f64x2 ss = big * row(opaque(Row2<0x1p830>::v)), es = rest * row(opaque(Row2<0x1p830>::v));
      const f64x2 ys = ss + es, one = row(opaque(Row2<1.0>::v));
      const f64x2 hs = one + ys, ls = ((one - hs) + ys) + ((ss - ys) + es);
      yf = erfc_down(select(cmp_lt(ys, one), hs + ls, ys), cmp_lt(ys, one), 0x3FF0000000000000ull, 1022);
    }
    // erfc a = big + rest; erfc -a = 2 - big - rest (Fast2Sum: 2 >= big)
    // (2^65 for a negative x: the bits of 2 and of 2^64 / 2^-1 from the sign bit)
    const __m128i sb = _mm_castpd_si128(sgn.v);
    const f64x2 kk = _mm_castsi128_pd(_mm_or_si128(_mm_srli_epi64(sb, 1), _mm_srli_epi64(sb, 5)));
    const f64x2 bs = _mm_xor_pd(big.v, sgn.v), rs = _mm_xor_pd(rest.v, sgn.v);
    const f64x2 h = kk + bs, l = (kk - h) + bs;
    const f64x2 ys = (h + (l + rs)) * row(kc.down64);  // exact: the result is normal
    if constexpr (kFlagged) return select(far, yf, ys);
    return ys;
  } else if constexpr (kSlot == kErfPolyEPSlot) {
    const f64x2 d = poly_piece<-5>(a, sizeof(kErfcxPolyEP[0]), b0, b1, reinterpret_cast<const char*>(kErfcxPolyEP));
    f64x2 k[4];
    poly_coeffs<2>(b0, b1, k);
    const f64x2 g = k[0] + d * (k[1] + d * (k[2] + d * k[3]));  // Horner: one operation fewer
    // e^(-a^2): -256 a^2 / ln 2 = N + f (N in t, |f| <= 1/2), 2^(N/256) from the table
    const f64x2 ye = (a * a) * row(opaque(Row2<-0x1.71547652b82fep+8>::v));
    // N + 64 256 in t: 2^64 e^(-a^2), scaled back below (no subnormal intermediate up to 26.5)
    const f64x2 t = ye + row(kc.sh52_256), f = ye - (t - row(kc.sh52_256));
    f64x2 ts = exp_log::t256_scaled(gather_first<255>(exp_log::kDExpT256.e, t), t);
    if constexpr (kFlagged) ts = erfc_up128(ts, far);
    const f64x2 u = ts * g;
    y = (u + u * (f * (row(c.ep256[0]) + f * row(c.ep256[1])))) * row(kc.down64);
    if constexpr (kFlagged) {
      // far lanes: y 2^-128 rounded once, by integer operations (see erfc_down): below 2^-894
      // (a subnormal result) y 2^946 + 2^52 rounds y 2^946 to an integer m, whose bits less
      // those of 2^52 are m's
      y = erfc_down128(y, far);
    }
  }
  const f64x2 kk = _mm_castsi128_pd(_mm_srli_epi64(_mm_castpd_si128(sgn.v), 1));
  return kk + f64x2(_mm_xor_pd(y.v, sgn.v));
}

}  // namespace
}  // namespace qor::vm::special
