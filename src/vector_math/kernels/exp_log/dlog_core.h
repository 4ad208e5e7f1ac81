// What the double-precision logarithms (ln.h, log2.h, log10.h, log1p.h) share: bases, the
// reductions, the block-wise kernels and the family of Ln, Log2 and Log10.
//
// x = 2^k * m with m in about [0.75, 1.5) (the exponent is taken relative to 0x3FE7FC00);
// j = the top ten fraction bits rounded to nine; R_j ~ 1/(1 + j/512) with 21 significant bits;
// u = m R_j - 1 (|u| <= 2^-10), exact as uhi + ulo (m split at its high word); then
//     log(x) = k A + T_j + C (u + u^2 P(u))
// with A = ln 2 / 1 / log10 2, T_j = -log(R_j) from the tables (H_j + L_j, H_j and k A_hi exact),
// and C = 1 / log2 e / log10 e.
//   HA (Ln, Log2, Log10, Log1p): the leading terms are summed exactly (exact products and
//      Fast2Sums, see ln_ha2 and log_ha2), the small ones first: about 0.58 ulp. In Ln, Log2
//      and Log10, blocks with no element in [1 - 2^-11, 1 + 2^-10), where k A + T_j is not
//      zero and dominates, add the low part of u with the small terms instead of one of the
//      exact sums (kFar).
//   LA: Log2 and Log10 reduce on c_j = 1 + j/512 instead (f = m - c_j exact, built from the
//      bits of x, and a table of (log_b e / c_j, log_b c_j)), with a plain sum: below 2 ulp;
//      Log1p keeps the R_j reduction with a plain sum: below 1 ulp. Ln has no LA kernel of its
//      own (its HA kernel serves the LA slot).
//   EP: u = m R_j - 1 rounded once, H_j alone and a cubic: about 31 correct bits.
// The block-wise kernels (section below) are what the entry points run; dlog_reduce, dlog_ep
// and dlog1p_eval (log1p.h) are the register-at-a-time forms the single-precision kernels use.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/common.h"

namespace qor::vm::exp_log {

// Base of a logarithm: k multiplier (hi + lo, hi with short significand), its H/L table, and the
// multiplier of u (hi with 26 bits + lo).
struct BaseE {
  static constexpr double a_hi = 0x1.62e42fefa38p-1, a_lo = 0x1.ef35793c7673p-45;
  static constexpr bool kUnit = true;
  static constexpr double c_hi = 1.0, c_lo = 0.0, c = 1.0;
  static constexpr double c1 = 1.0, c2 = 0.0;
  // H and L are the third and fourth doubles of kDLn's rows
  static QOR_SIMD_INLINE void hl(i64x2 j, f64x2& h, f64x2& l) { gather2<2>(kDLn.e, j, h, l); }
};
struct Base2 {
  static constexpr double a_hi = 1.0, a_lo = 0.0;
  static constexpr bool kUnit = false;
  static constexpr double c_hi = 0x1.715476p+0, c_lo = 0x1.4ae0bf85ddf44p-26, c = 0x1.71547652b82fep+0;
  static constexpr double c1 = 0x1.71547p+0, c2 = 0x1.94ae0bf85ddf4p-22;  // c1: 21 bits
  static QOR_SIMD_INLINE void hl(i64x2 j, f64x2& h, f64x2& l) { gather2(kDLog2.e, j, h, l); }
  static const DLogLATable& la_table() { return kDLog2LA; }
};
struct Base10 {
  static constexpr double a_hi = 0x1.34413509f8p-2, a_lo = -0x1.80433b83b532ap-44;  // log10 2
  static constexpr bool kUnit = false;
  static constexpr double c_hi = 0x1.bcb7b1p-2, c_lo = 0x1.49b9438ca9aaep-28, c = 0x1.bcb7b1526e50ep-2;
  static constexpr double c1 = 0x1.bcb7bp-2, c2 = 0x1.526e50e32a6abp-26;  // c1: 21 bits
  static QOR_SIMD_INLINE void hl(i64x2 j, f64x2& h, f64x2& l) { gather2(kDLog10.e, j, h, l); }
  static const DLogLATable& la_table() { return kDLog10LA; }
};

struct LogReduced {
  f64x2 k;  // exponent as a double
  i64x2 j;  // table index (low 32 bits of each lane)
  f64x2 m;  // significand in [1, 2)
  f64x2 R;
};

// x positive, normal, finite.
QOR_SIMD_INLINE LogReduced dlog_reduce(f64x2 x) {
  const auto& c = kDLn;
  LogReduced o;
  const i32x4 h32 = x.bits().as_i32();
  // k = ((h - 0x3FE7FC00) >> 20), placed in the high word of 1.5 * 2^20 and read as a double
  const i32x4 kk = simd::shr_arith(h32 - i32x4::splat(0x3FE7FC00), 20) + i32x4::splat(0x41380000);
  o.k = (kk.as_f64() & row(c.hi_mask)) - row(c.int_conv);
  o.m = (x & row(c.frac_mask)) | row(c.one);
  const i64x2 hl = simd::shr_logical(x.bits(), 32);
  o.j = simd::shr_logical(((hl & i64x2::splat(0xFFC00)) + i64x2::splat(0x400)) & i64x2::splat(0x1FF800), 11);
  f64x2 r2;
  gather2(c.e, o.j, o.R, r2);
  return o;
}

// EP: leading parts only, u = m R - 1 in one step, a cubic.
template <class Base>
QOR_SIMD_INLINE f64x2 dlog_ep(const LogReduced& q) {
  const f64x2 u = q.m * q.R - f64x2::splat(1.0);
  const f64x2 p = u + (u * u) * (f64x2::splat(-0.5) + u * f64x2::splat(0x1.5555555555555p-2));
  f64x2 H, L;
  Base::hl(q.j, H, L);
  const f64x2 hi = q.k * f64x2::splat(Base::a_hi) + H;
  if constexpr (Base::kUnit) return hi + p;
  else return hi + p * f64x2::splat(Base::c);
}

// ---- Block-wise kernels -----------------------------------------------------------------------
// The kernels below take a block of four doubles (two registers) at a time. The high words of
// the four inputs are packed into one integer register, which serves the screen, the exponents
// (converted with cvtdq2pd) and the table offsets at once; each element then needs one index
// extraction and its table rows are read with plain 8- and 16-byte loads. The per-element routine
// runs the same code on one value held in both lanes.

namespace dlogk {

// (h(a[0]), h(a[1]), h(b[0]), h(b[1])): the high words of four doubles.
QOR_SIMD_INLINE i32x4 high_words(f64x2 a, f64x2 b) {
  return _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(a.v), _mm_castpd_ps(b.v), _MM_SHUFFLE(3, 1, 3, 1)));
}

// Lanes (bit per element) whose x is not a positive normal finite number:
// (h - 0x80100000), read as a signed value, at least -2^21.
QOR_SIMD_INLINE int screen_positive_normal4(i32x4 h) {
  const __m128i d = _mm_sub_epi32(h.v, ki<static_cast<int32_t>(0x80100000u)>());
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(d, ki<-2097152>()))) ^ 0xF;
}

// The reduction of four positive normal numbers: exponents k (relative to 0x3FE7FC00, so that
// the significand counted with them lies in about [0.75, 1.5)) and the byte offsets 16 j of
// the table rows, j = the top ten fraction bits rounded to nine (0 ... 512).
// c holds c_j = 1 + j/512 (the LA kernels' reduction point; j = 512 carries into the exponent
// and gives 2).
struct Reduced4 {
  f64x2 k0, k1;
  f64x2 c0, c1;
  uint32_t o[4];
};
template <bool kGprSplit = false>
QOR_SIMD_INLINE Reduced4 reduce4(i32x4 h) {
  Reduced4 q;
  const __m128i kk = _mm_srai_epi32(_mm_sub_epi32(h.v, ki<0x3FE7FC00>()), 20);
  q.k0 = _mm_cvtepi32_pd(kk);
  q.k1 = _mm_cvtepi32_pd(_mm_unpackhi_epi64(kk, kk));
  const __m128i t = _mm_and_si128(_mm_add_epi32(_mm_and_si128(h.v, ki<0xFFC00>()), ki<0x400>()),
                                  ki<0x1FF800>());
  const __m128i cw = _mm_add_epi32(t, ki<0x3FF00000>());
  q.c0 = _mm_castsi128_pd(_mm_unpacklo_epi32(_mm_setzero_si128(), cw));
  q.c1 = _mm_castsi128_pd(_mm_unpackhi_epi32(_mm_setzero_si128(), cw));
  const __m128i o = _mm_srli_epi32(t, 7);
#if defined(__x86_64__)
  // kGprSplit: two 64-bit moves and the halves split in general registers, which measures
  // faster for the Log10 LA kernel only (slower for the others, and a store read back as four
  // integers is no faster for the HA kernels); i386 has no 64-bit moves to general registers
  if constexpr (kGprSplit) {
    const uint64_t o01 = static_cast<uint64_t>(_mm_cvtsi128_si64(o));
    const uint64_t o23 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(o, o)));
    q.o[0] = static_cast<uint32_t>(o01);
    q.o[1] = static_cast<uint32_t>(o01 >> 32);
    q.o[2] = static_cast<uint32_t>(o23);
    q.o[3] = static_cast<uint32_t>(o23 >> 32);
    return q;
  }
#endif
  q.o[0] = static_cast<uint32_t>(_mm_cvtsi128_si32(o));
  q.o[1] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(o, _MM_SHUFFLE(1, 1, 1, 1))));
  q.o[2] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(o, o)));
  q.o[3] = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(o, _MM_SHUFFLE(3, 3, 3, 3))));
  return q;
}

// Lanes (bit per element) where k = 0 and H_j = 0, i.e. x in [1 - 2^-11, 1 + 2^-10) (row 512
// with exponent -1, row 0 with exponent 0): high word h - 0x3FEFFC00 below 0x800, unsigned.
// Elsewhere |log x| > 2^-11 |log_b e|.
QOR_SIMD_INLINE int near_one4(i32x4 h) {
  const __m128i d = _mm_add_epi32(h.v, ki<static_cast<int32_t>(0x80000000u - 0x3FEFFC00u)>());
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(d, ki<static_cast<int32_t>(0x80000800u)>())));
}

// Row j of a table of 16-byte rows (offset o = 16 j), and of the 32-byte rows of kDLn.
QOR_SIMD_INLINE const double* row16(const void* t, uint32_t o) {
  return reinterpret_cast<const double*>(static_cast<const char*>(t) + o);
}
QOR_SIMD_INLINE const double* ln_row(uint32_t o) {
  return reinterpret_cast<const double*>(reinterpret_cast<const char*>(kDLn.e) + 2 * static_cast<size_t>(o));
}

// (R_a, R_b) from the rows (R, R, H, L) of kDLn.
QOR_SIMD_INLINE f64x2 load_r(uint32_t oa, uint32_t ob) {
  return _mm_loadh_pd(_mm_load_sd(ln_row(oa)), ln_row(ob));
}
// (H_a, H_b) and (L_a, L_b) from two rows starting (H, L).
QOR_SIMD_INLINE void load_hl(const double* pa, const double* pb, f64x2& h, f64x2& l) {
  const __m128d ea = _mm_load_pd(pa), eb = _mm_load_pd(pb);
  h = _mm_unpacklo_pd(ea, eb);
  l = _mm_unpackhi_pd(ea, eb);
}
// (H_a, H_b) only.
QOR_SIMD_INLINE f64x2 load_h(const double* pa, const double* pb) { return _mm_loadh_pd(_mm_load_sd(pa), pb); }

template <class Base>
QOR_SIMD_INLINE const double* hl_row(uint32_t o) {
  if constexpr (Base::kUnit) return ln_row(o) + 2;
  else if constexpr (Base::a_lo == 0.0) return row16(kDLog2.e, o);
  else return row16(kDLog10.e, o);
}

// m = the significand of x in [1, 2), split at its high word: m = mhi + mlo; then
// u = m R - 1 = uhi + ulo with both parts exact (uhi: 20 + 21 bits, ulo: 32 x 21 bits).
struct USplit {
  f64x2 uhi, ulo;
};
QOR_SIMD_INLINE USplit u_split(f64x2 x, f64x2 R) {
  const auto& c = kDLn;
  const f64x2 m = (x & row(c.frac_mask)) | row(c.one);
  const f64x2 mhi = m & row(c.hi_mask);
  const f64x2 mlo = m - mhi;
  return {mhi * R - row(c.one), mlo * R};
}

// u^2 (p2 + u (p3 + u (p4 + u p5))) times S (S = 1: the table's coefficients), evaluated as
// u^2 ((p2 + u p3) + u^2 (p4 + u p5)) for a shorter chain.
template <bool kScaled, double S = 1.0>
QOR_SIMD_INLINE f64x2 poly5(f64x2 u) {
  const auto& c = kDLn;
  const f64x2 u2 = u * u;
  if constexpr (!kScaled) {
    return u2 * ((row(c.p2) + u * row(c.p3)) + u2 * (row(c.p4) + u * row(c.p5)));
  } else {
    return u2 * ((kc<S * -0.49999999999995254>() + u * kc<S * 0.3333333333332741>()) +
                 u2 * (kc<S * -0.2500001988694339>() + u * kc<S * 0.2000001934420511>()));
  }
}

// Constant rows of the HA kernels in base 2 and 10 (each value twice): read through hidden(),
// so that the compiler keeps them as memory operands instead of rebuilding the vectors from
// scalars inside the loop.
struct alignas(16) BaseRows {
  double p2[2], p3[2], p4[2], p5[2];  // C p_i: the polynomial times C = log_b e
  double c1[2], c2[2];                // C = c1 + c2, c1 with 21 bits
  double a_hi[2], a_lo[2];            // log_b 2 = a_hi + a_lo
  uint64_t frac_mask[2], hi_mask[2];  // as in kDLn
  double one[2];
};
template <class Base>
inline constexpr BaseRows kBaseRows = {
    QOR_ROW2(Base::c * -0.49999999999995254), QOR_ROW2(Base::c * 0.3333333333332741),
    QOR_ROW2(Base::c * -0.2500001988694339),  QOR_ROW2(Base::c * 0.2000001934420511),
    QOR_ROW2(Base::c1), QOR_ROW2(Base::c2), QOR_ROW2(Base::a_hi), QOR_ROW2(Base::a_lo),
    QOR_ROW2(0x000FFFFFFFFFFFFFull), QOR_ROW2(0xFFFFFFFF00000000ull), QOR_ROW2(1.0)};

// HA natural logarithm of two elements (x positive normal with exponent k and rows oa, ob);
// du is added to the reduced argument (Log1p's correction of 1 + x; zero otherwise). The
// kernel passes kDLn through hidden() for each pair, so that its constant rows are memory
// operands (held in registers across the block they spilled).
//   hi = k ln2_hi + H_j, and hi + uhi, are exact (multiples of 2^-42 below 2^10);
//   v + e = (hi + uhi) + ulo exactly (Fast2Sum: |hi + uhi| >= |ulo| unless it is zero);
//   ln x = v + ((e + (k ln2_lo + L_j)) + u^2 P(u)), u = uhi + ulo + du,
// with du (at most half an ulp of 1 + x, against v of at least one ulp) joined to v by a
// second Fast2Sum.
// Where hi = 0 (x near 1) u is x - 1 exactly; elsewhere |hi| >= 2 |u|. The small terms carry
// errors of about 2^-70 against results of at least 2^-11, so the result is within half an
// ulp plus the polynomial's error.
// kFar (no element with hi = 0, see near_one4): |s| > 2^-11 - 2^-20 against |ulo| < 2^-20, so
// ulo joins the small terms instead, ln x = s + ((ulo + lo) + u^2 P(u)); their rounding errors
// (below 2^-72) stay under 2^-9 ulp of the result.
// tail (full sum, no du): the result is split, ln x = v + *tail (a double-double; the gamma
// functions' double kernels, special/gamma_dd.h); kLong: u^2 P(u) by the Taylor terms to u^7
// instead (error below 2^-80 against about 2^-64 of the fitted quintic).
template <bool kHasDu, bool kFar = false, bool kLong = false>
QOR_SIMD_INLINE f64x2 ln_ha2(f64x2 x, f64x2 k, uint32_t oa, uint32_t ob, f64x2 du, const DLnTable& c = kDLn,
                             f64x2* tail = nullptr) {
  const char* base = reinterpret_cast<const char*>(c.e);
  const double* ra = reinterpret_cast<const double*>(base + 2 * static_cast<size_t>(oa));
  const double* rb = reinterpret_cast<const double*>(base + 2 * static_cast<size_t>(ob));
  const f64x2 R = _mm_loadh_pd(_mm_load_sd(ra), rb);
  f64x2 H, L;
  load_hl(ra + 2, rb + 2, H, L);
  const f64x2 m = (x & row(c.frac_mask)) | row(c.one);
  const f64x2 mhi = m & row(c.hi_mask);
  const f64x2 mlo = m - mhi;
  const USplit w{mhi * R - row(c.one), mlo * R};
  f64x2 u = w.uhi + w.ulo;
  if constexpr (kHasDu) u = u + du;
  const f64x2 u2 = u * u;
  f64x2 P;
  if constexpr (kLong)
    P = u2 * ((kc<-0.5>() + u * kc<1.0 / 3>()) +
              u2 * ((kc<-0.25>() + u * kc<0.2>()) + u2 * (kc<-1.0 / 6>() + u * kc<1.0 / 7>())));
  else P = u2 * ((row(c.p2) + u * row(c.p3)) + u2 * (row(c.p4) + u * row(c.p5)));
  const f64x2 s = (k * row(c.ln2_hi) + H) + w.uhi;  // exact
  if constexpr (kFar) return s + ((w.ulo + (k * row(c.ln2_lo) + L)) + P);
  const f64x2 v = s + w.ulo;
  const f64x2 e = (s - v) + w.ulo;
  const f64x2 lo = k * row(c.ln2_lo) + L;
  // the polynomial (the longest chain) is added last
  if constexpr (kHasDu) {  // v2 + e2 = v + du exactly: |v| >= |du| unless v = 0
    const f64x2 v2 = v + du;
    const f64x2 e2 = (v - v2) + du;
    return v2 + (((e + e2) + lo) + P);
  }
  if (tail) {
    *tail = (e + lo) + P;
    return v;
  }
  return v + ((e + lo) + P);
}

// HA logarithm in base 2 or 10 of two elements. With C = log_b e = C1 + C2 (C1 of 21 bits):
//   hi = k A_hi + H_j (exact), t1 = C1 uhi (exact: 32 x 21 bits), s + e1 = hi + t1 (Fast2Sum);
//   p = C1 ulo (exact where hi = 0: R_j is 1 or 1/2 there and ulo has 32 bits),
//   v + e2 = s + p (Fast2Sum: |s| >= |p| unless s = 0);
//   log x = v + (((e1 + e2) + (C2 u + (k A_lo + L_j))) + C u^2 P(u)), u = uhi + ulo.
// Where hi = 0 (x near 1) v + e2 is C1 u exactly, so nothing cancels; elsewhere the terms
// after v are below 2^-19 |v| and carry errors near 2^-72 |v|: within half an ulp plus the
// polynomial's error.
// kFar (no element with hi = 0, see near_one4): |s| > 2^-11 C - |p| against |p| < 2^-20 C, so
// p joins the small terms instead of a second Fast2Sum,
//   log x = s + ((e1 + (p + (C2 u + lo))) + C u^2 P(u)),
// whose rounding errors (near 2^-73) stay under 2^-8 ulp of the result.
template <class Base, bool kFar = false>
QOR_SIMD_INLINE f64x2 log_ha2(f64x2 x, f64x2 k, uint32_t oa, uint32_t ob) {
  const BaseRows& t = hidden(kBaseRows<Base>);
  const f64x2 R = load_r(oa, ob);
  f64x2 H, L;
  load_hl(hl_row<Base>(oa), hl_row<Base>(ob), H, L);
  const f64x2 m = (x & row(t.frac_mask)) | row(t.one);
  const f64x2 mhi = m & row(t.hi_mask);
  const f64x2 mlo = m - mhi;
  const USplit w{mhi * R - row(t.one), mlo * R};
  const f64x2 u = w.uhi + w.ulo;
  const f64x2 u2 = u * u;
  const f64x2 P = u2 * ((row(t.p2) + u * row(t.p3)) + u2 * (row(t.p4) + u * row(t.p5)));
  const f64x2 c1 = row(t.c1);
  f64x2 hi = k + H, lo = L;
  if constexpr (Base::a_lo != 0.0) {
    hi = k * row(t.a_hi) + H;  // exact
    lo = k * row(t.a_lo) + L;
  }
  const f64x2 t1 = w.uhi * c1;  // exact
  const f64x2 s = hi + t1;
  const f64x2 e1 = (hi - s) + t1;
  const f64x2 p = w.ulo * c1;
  if constexpr (kFar) return s + ((e1 + (p + (u * row(t.c2) + lo))) + P);
  const f64x2 v = s + p;
  const f64x2 e2 = (s - v) + p;
  return v + (((e1 + e2) + (u * row(t.c2) + lo)) + P);
}

// LA logarithm in base 2 or 10 of two elements, on its own table: with c = c_j = 1 + j/512
// (built from the bits of x), f = m - c is exact and w = f Q_j = C f / c_j (C = log_b e) is
// within 2^-52 relative; log_b(1 + f/c) = w + w^2 P'(w) with P' the polynomial of the natural
// logarithm rescaled (p_i / C^(i-1)), and
//   log_b x = (k A + G_j) + (w + w^2 P'(w)).
// Error below 3 ulp by the bound (the roundings of G_j, k A, w, the inner and the final sum;
// |k A + G_j| >= 2 |w| wherever G_j or k is non-zero, and w = C (x - 1) rounded once near 1),
// about 2 ulp seen.
template <class Base>
QOR_SIMD_INLINE f64x2 log_la2(f64x2 x, f64x2 k, f64x2 c, uint32_t oa, uint32_t ob) {
  const auto& cn = kDLn;
  const DLogLATable& t = Base::la_table();
  f64x2 Q, G;
  load_hl(row16(t.e, oa), row16(t.e, ob), Q, G);
  const f64x2 m = (x & row(cn.frac_mask)) | row(cn.one);
  const f64x2 w = (m - c) * Q;
  constexpr double ic = 1.0 / Base::c;
  constexpr double q2 = -0.49999999999995254 * ic, q3 = 0.3333333333332741 * ic * ic;
  constexpr double q4 = -0.2500001988694339 * ic * ic * ic, q5 = 0.2000001934420511 * ic * ic * ic * ic;
  const f64x2 w2 = w * w;
  const f64x2 P = w2 * ((kc<q2>() + w * kc<q3>()) + w2 * (kc<q4>() + w * kc<q5>()));
  constexpr double a = Base::a_hi + Base::a_lo;
  if constexpr (a == 1.0) return (k + G) + (w + P);
  else return (k * kc<a>() + G) + (w + P);
}

// LA natural logarithm with du (Log1p): u = uhi + ulo rounded once (exact where H_j = 0, and
// there |u| may be far below |uhi|), then the plain sum
//   ln x = hi + ((uhi + ulo) + (du + (u^2 P(u) + lo))), u = uhi + ulo + du;
// below 1.5 ulp (half an ulp each for the rounding of uhi + ulo, the inner and the final sum).
QOR_SIMD_INLINE f64x2 ln_la2(f64x2 x, f64x2 k, uint32_t oa, uint32_t ob, f64x2 du) {
  const auto& c = kDLn;
  const f64x2 R = load_r(oa, ob);
  f64x2 H, L;
  load_hl(ln_row(oa) + 2, ln_row(ob) + 2, H, L);
  const USplit w = u_split(x, R);
  const f64x2 u0 = w.uhi + w.ulo;
  const f64x2 u = u0 + du;
  const f64x2 P = poly5<false>(u);
  const f64x2 hi = k * row(c.ln2_hi) + H;
  return hi + (u0 + (du + (P + (k * row(c.ln2_lo) + L))));
}

// EP: u = m R - 1 rounded once (absolute error 2^-53, exact where H_j = 0), a cubic, H_j alone:
//   log x = (k A + H_j) + c (u - u^2/2 + u^3/3); relative error below 2^-31. dus (Log1p) is
// du / R_j.
template <class Base, bool kHasDu>
QOR_SIMD_INLINE f64x2 log_ep2(f64x2 x, f64x2 k, uint32_t oa, uint32_t ob, f64x2 dus) {
  const auto& c = kDLn;
  const f64x2 R = load_r(oa, ob);
  const f64x2 H = load_h(hl_row<Base>(oa), hl_row<Base>(ob));
  const f64x2 m = (x & row(c.frac_mask)) | row(c.one);
  f64x2 u = m * R - row(c.one);
  if constexpr (kHasDu) u = u + dus * R;
  const f64x2 u2 = u * u;
  constexpr double cc = Base::c, cc2 = cc * -0.5, cc3 = cc / 3.0;
  constexpr double a = Base::a_hi + Base::a_lo;
  if constexpr (Base::kUnit) {
    const f64x2 p = u + u2 * (kc<-0.5>() + u * kc<0x1.5555555555555p-2>());
    return (k * kc<a>() + H) + p;
  } else {
    const f64x2 p = u * kc<cc>() + u2 * (kc<cc2>() + u * kc<cc3>());
    if constexpr (a == 1.0) return (k + H) + p;
    else return (k * kc<a>() + H) + p;
  }
}

enum class Flavour { HA, LA, EP };

// Two elements (the pair p of the block) of the logarithm in Base, flavour kF.
// kFar (HA): no element lies where k A_hi + H_j = 0 (see near_one4).
template <class Base, Flavour kF, int p, bool kAdj = false, bool kFar = false>
QOR_SIMD_INLINE f64x2 log2x(f64x2 x, const Reduced4& q, f64x2 kadj = f64x2()) {
  f64x2 k = p == 0 ? q.k0 : q.k1;
  if constexpr (kAdj) k = k + kadj;
  const uint32_t oa = q.o[2 * p], ob = q.o[2 * p + 1];
  if constexpr (kF == Flavour::EP) return log_ep2<Base, false>(x, k, oa, ob, f64x2());
  else if constexpr (Base::kUnit) return ln_ha2<false, kFar>(x, k, oa, ob, f64x2(), hidden(kDLn));
  else if constexpr (kF == Flavour::HA) return log_ha2<Base, kFar>(x, k, oa, ob);
  else return log_la2<Base>(x, k, p == 0 ? q.c0 : q.c1, oa, ob);
}

}  // namespace dlogk

template <class Base, dlogk::Flavour kF>
struct DLogFamily : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  // the block loop inlined: faster for HA and EP, slower for the LA kernels (Log10 LA by 30%)
  static constexpr bool kInlineBlocks = kF != dlogk::Flavour::LA;
  static int screen_pair(f64x2 x0, f64x2 x1) {
    return dlogk::screen_positive_normal4(dlogk::high_words(x0, x1));
  }
  static QOR_SIMD_INLINE void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    constexpr bool kGpr = kF == dlogk::Flavour::LA && Base::a_lo != 0.0;  // Log10 LA
    const i32x4 h = dlogk::high_words(x0, x1);
    const dlogk::Reduced4 q = dlogk::reduce4<kGpr>(h);
    if constexpr (kF == dlogk::Flavour::HA) {
      // away from 1 the exact leading sum dominates and the reduced argument's low part joins
      // the small terms (see ln_ha2, log_ha2); blocks with an element near 1 take the full sum
      if (__builtin_expect(dlogk::near_one4(h) == 0, 1)) {
        r0 = dlogk::log2x<Base, kF, 0, false, true>(x0, q);
        simd::barrier(r0);
        r1 = dlogk::log2x<Base, kF, 1, false, true>(x1, q);
        return;
      }
    }
    r0 = dlogk::log2x<Base, kF, 0>(x0, q);
    simd::barrier(r0);  // keeps the two pairs apart: fewer spills
    r1 = dlogk::log2x<Base, kF, 1>(x1, q);
  }
  // One positive normal value (in both lanes), its exponent adjusted by kadj.
  static double one(double x, double kadj) {
    const f64x2 v = f64x2::splat(x);
    const dlogk::Reduced4 q = dlogk::reduce4(dlogk::high_words(v, v));
    return lane0(dlogk::log2x<Base, kF == dlogk::Flavour::EP ? dlogk::Flavour::HA : kF, 0, true>(v, q, f64x2::splat(kadj)));
  }
  // Special values; subnormal inputs scaled by 2^60.
  static int element(const double* px, double* out) {
    const double x = *px;
    int status = kOk;
    if (log_special(x, out, &status)) return status;
    if (x < 0x1p-1022) {
      const double xs = x * 0x1p60;
      if (xs == 0.0) {  // denormal read as zero
        *out = minus_inf_divzero_d();
        return kSing;
      }
      *out = one(xs, -60.0);
      return kOk;
    }
    const f64x2 v = f64x2::splat(x);
    const dlogk::Reduced4 q = dlogk::reduce4(dlogk::high_words(v, v));
    *out = lane0(dlogk::log2x<Base, kF, 0>(v, q));
    return kOk;
  }
};

}  // namespace qor::vm::exp_log
