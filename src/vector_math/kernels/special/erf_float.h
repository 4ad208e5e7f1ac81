// Single-precision Erf and Erfc, LA and EP slots: float arithmetic on four lanes (HA keeps the
// widened double formula of erf.h, as do CdfNorm and the per-element routines).
//
// Both read a float table at the grid point r nearest to a = |x| (Erf: to x itself; d = a - r
// exact, |d| <= h/2) and Taylor's series at r (erf^(n) = D (-1)^(n-1) H_(n-1), D = 2/sqrt(pi) e^-r^2, H the Hermite
// polynomials):
//     S = d + c_2 d^2 + c_3 d^3 + ...,  c_2 = -r,  c_3 = (2r^2 - 1) / 3,
//     erf(r + d) = erf r + D S,   erfc(r + d) = erfc r (1 - Q S),   Q = D / erfc r.
// Erf: x itself clamped to [-4, 4] (erf 3.92 already rounds to 1; the series at a negative r is
//   the same: c_2 = -r, c_3 even), rows {erf r, D} from r = -4 (EP: {erf r, D h}, and d in grid
//   steps, 64 x - k, exact), so that no sign operations are needed; erf 0 is stored as -0, so
//   that +-0 come back unchanged (-0 + -0 = -0). LA: h = 1/128, three
//   terms with c_3 taken as -1/3, its value at r = 0 (what that drops, D (2/3) r^2 d^3, is at
//   most 2^-25.6 of erf(r + d), at r = 1; the fourth term, D H_3(r) d^4 / 24, below 2^-36; at r =
//   0 the series is erf's own, whose next term is 2^-35 relative). EP: h = 1/64, one term, S = d
//   (the second, D r d^2, is at most 2^-14.5 of erf(r + d), at r = 0.7; at r = 0 the dropped
//   d^3 / 3 is 2^-15.6 relative). Only the first cells add terms of opposite signs (at r = h,
//   d = -h/2 erf r is twice the result): the LA error peaks there.
// Erfc: h = 1/256, a clamped to 9.19 (the screen's end, so that no lane computes with
//   subnormal numbers, which cost microcode assists), rows {erfc r, Q}. Relative to erfc the
//   n-th term is about (2rd)^n / n!, 2rd <= 0.036 below the underflow threshold 9.194: LA three terms (the
//   fourth 2^-23.8 at the far end, 2^-30 below a = 4), EP two (the third 2^-17.6). Q S is at
//   most 0.036, so the one rounding of 1 - Q S and of the product dominate; the form erfc r
//   (1 - Q S) keeps every intermediate normal down to the threshold (the slope D itself times d
//   would be subnormal there, and flushed in the flush-to-zero mode). erfc(-a) = 2 - erfc(a),
//   formed as (2 and the sign of x) + (erfc a with the sign of x).
// Indices: t = a / h + 1.5 * 2^23 (+ the row offset of r = 0) rounds to the nearest integer k in
// its low bits (round to nearest: the kernel frame sets it), r = (t - 1.5 * 2^23) h exactly.
// Screens: Erf none (the clamp gives +-1 at +-inf and keeps NaNs, which read one of the zero
// rows past the table: its arrays have a row for every 12-bit index; tiny and subnormal
// arguments take the packed formula, D S rounded once); Erfc, as the double formula's, NaN, -inf and x > 9.19
// (results below the normal range, status 4). The flagged lanes take the per-element
// routines of erf.h, except Erfc's up to 10.1: the LA formula on rows scaled by 2^64, its result
// scaled back with one rounding (s_erfc_tail_f; the widened double formula cost about 14 ns a
// lane, 0.8 ns an element on the benchmark's (-4, 10)). An element routine called on an
// ordinary lane gives the packed result.
#pragma once

#include "vector_math/kernels/special/erf.h"

namespace qor::vm::special {
namespace {

// Constant rows (each value four times), read through opaque() as memory operands.
struct alignas(16) SErfRows {
  float magic[4];           // 1.5 * 2^23
  float erf_top[4], erf_bottom[4];  // 4, -4
  float erf_scale[2][4], erf_magic[2][4], erf_step[4];  // 64, 128; 1.5 * 2^23 + 256, + 512 (EP, LA); 1/128
  float erfc_top[4], erfc_scale[4], erfc_step[4];     // 9.19, 256, 1/256
  float two3[4], third[4];  // 2/3, 1/3
  float one[4], two[4];
  uint32_t idx[4];          // 0xFFF: k from t's bits
};
#define QOR_R4(v) {v, v, v, v}
inline constexpr SErfRows kSErfRows = {
    QOR_R4(0x1.8p23f), QOR_R4(4.0f), QOR_R4(-4.0f), {QOR_R4(64.0f), QOR_R4(128.0f)},
    {QOR_R4(0x1.8p23f + 256.0f), QOR_R4(0x1.8p23f + 512.0f)}, QOR_R4(0x1p-7f),
    QOR_R4(ErfcLimits<float>::kErfcUnder), QOR_R4(256.0f), QOR_R4(0x1p-8f), QOR_R4(0x1.555556p-1f),
    QOR_R4(0x1.555556p-2f), QOR_R4(1.0f), QOR_R4(2.0f), QOR_R4(0xFFFu)};
#undef QOR_R4

// The rows (f, g) of a table of float pairs at the lanes' indices j: the second pair of each
// half loaded into the upper half of the first (movhps), then two shuffles.
QOR_SIMD_INLINE void gather_pairs_f(const float (*tab)[2], i32x4 j, f32x4& f, f32x4& g) {
  uint32_t k[4];
  lane_indices(j, k);
  const __m128 p01 = _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(tab[k[0]]))),
                                  reinterpret_cast<const __m64*>(tab[k[1]]));
  const __m128 p23 = _mm_loadh_pi(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(tab[k[2]]))),
                                  reinterpret_cast<const __m64*>(tab[k[3]]));
  f = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(2, 0, 2, 0));
  g = _mm_shuffle_ps(p01, p23, _MM_SHUFFLE(3, 1, 3, 1));
}
// The row (f, g) of a's grid point r and d = a - r (exact), for 0 <= a <= top.
QOR_SIMD_INLINE f32x4 erf_cell_f(const SErfRows& c, const float (*tab)[2], f32x4 a, f32x4 scale, f32x4 step,
                                  f32x4& r, f32x4& f, f32x4& g) {
  const f32x4 t = a * scale + row(c.magic);
  r = (t - row(c.magic)) * step;
  gather_pairs_f(tab, t.bits() & irow(c.idx), f, g);
  return a - r;
}
// d + c_2 d^2 + c_3 d^3 (LA) or d (EP).
template <bool kEP>
QOR_SIMD_INLINE f32x4 erf_series_f(const SErfRows& c, f32x4 r, f32x4 d) {
  if constexpr (kEP) {
    return d;
  } else {
    const f32x4 c3 = (r * r) * row(c.two3) - row(c.third);
    return d + (d * d) * (d * c3 - r);
  }
}

template <bool kEP>
QOR_SIMD_INLINE f32x4 s_erf_f(f32x4 x) {
  const SErfRows& c = opaque(kSErfRows);
  // clamped with NaN kept (minps and maxps return their second operand when one is NaN): a NaN
  // lane reads some row of the 4096 (its index from the NaN's bits) and gives NaN through d
  const f32x4 xc = _mm_max_ps(row(c.erf_bottom).v, _mm_min_ps(row(c.erf_top).v, x.v));
  // u = x / h, t holds k + the row offset of r = 0 in its low bits, k = t - magic exactly
  const f32x4 u = xc * row(c.erf_scale[!kEP]);
  const f32x4 t = u + row(c.erf_magic[!kEP]);
  const f32x4 kf = t - row(c.erf_magic[!kEP]);
  f32x4 e, dl;
  gather_pairs_f(kEP ? kErfF64 : kErfF128, t.bits() & irow(c.idx), e, dl);
  if constexpr (kEP) {  // in grid steps (the rows' slope is D h)
    return e + dl * (u - kf);
  } else {
    const f32x4 r = kf * row(c.erf_step), d = xc - r;
    return e + dl * (d - (d * d) * (r + d * row(c.third)));  // c_3 = -1/3 (see the head of the file)
  }
}

template <bool kEP>
QOR_SIMD_INLINE f32x4 s_erfc_f(f32x4 x) {
  const SErfRows& c = opaque(kSErfRows);
  const f32x4 a = min(abs(x), row(c.erfc_top));  // NaN: 9.19 (the lane is patched)
  f32x4 r, e, q;
  const f32x4 d = erf_cell_f(c, kErfcF256, a, row(c.erfc_scale), row(c.erfc_step), r, e, q);
  f32x4 s;
  if constexpr (kEP) s = d - r * (d * d);
  else s = erf_series_f<false>(c, r, d);
  const f32x4 y = e * (row(c.one) - q * s);  // normal (e - e (q s) is not near the threshold)
  const f32x4 neg = sign_bits(x);
  return (f32x4(_mm_castsi128_ps(_mm_srai_epi32(x.bits().v, 31))) & row(c.two)) + (y | neg);
}

// Erf and Erfc in float on the packed path; flagged lanes take the widened double families'
// per-element routines (Erf<float> / Erfc<float>), ordinary ones the packed formula.
template <bool kEP>
struct SErfF : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kInlineBlocks = kEP;
  static f32x4 packed(f32x4 x) { return s_erf_f<kEP>(x); }
  // Nothing to screen: the clamp gives +-1 for +-inf and keeps NaNs (quieted by the products,
  // as x + x would), the rows' erf 0 = -0 keeps the sign of +-0 and of the tiniest arguments
  // (subnormal ones included, rounded once by the product D S).
  static int screen(f32x4) { return 0; }
  static int element(const float* px, float* r) {
    if (screen(f32x4::splat(*px)) == 0) {
      *r = packed_one<SErfF>(*px);
      return kOk;
    }
    return Erf<float>::element(px, r);
  }
};
// erfc x for 9.19 < x <= 10.1 (results below the normal range; erfc 10.1 rounds to 0): the LA
// formula on the rows beyond the packed path's, which hold erfc r 2^64, scaled back with one
// rounding (rows before kErfcF256Scaled are not scaled).
inline float s_erfc_tail_f(float x) {
  const SErfRows& c = opaque(kSErfRows);
  f32x4 r, e, q;
  const f32x4 d = erf_cell_f(c, kErfcF256, f32x4::splat(x), row(c.erfc_scale), row(c.erfc_step), r, e, q);
  const float y = lane0(e * (row(c.one) - q * erf_series_f<false>(c, r, d)));
  // scaled back in double (exact) and rounded once by the narrowing: a float product with a
  // subnormal result takes a microcode assist (about 45 cycles measured), the narrowing not
  if (x * 256.0f + 0.5f < static_cast<float>(kErfcF256Scaled)) return y;
  double yd = static_cast<double>(y) * 0x1p-64;
  simd::barrier(yd);  // not folded into a float product
  return static_cast<float>(yd);
}
// A float Erfc family: Packed on the packed path, Tail for the lanes in (9.19, 10.1] (subnormal
// results, status 4), the double routine of Erfc<float> for the rest.
template <f32x4 (*Packed)(f32x4), float (*Tail)(float)>
struct SErfcFloat : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return Packed(x); }
  static int screen(f32x4 x) { return Erfc<float>::screen(x); }
  static int element(const float* px, float* r) {
    const float x = *px;
    if (screen(f32x4::splat(x)) == 0) {
      *r = packed_one<SErfcFloat>(x);
      return kOk;
    }
    if (x > 0.0f && x <= 10.1f) {  // > 9.19 (not -inf; NaN fails both tests)
      *r = Tail(x);
      return underflow_status(*r);
    }
    return Erfc<float>::element(px, r);
  }
};
template <bool kEP>
using SErfcF = SErfcFloat<s_erfc_f<kEP>, s_erfc_tail_f>;

// ---- HA ------------------------------------------------------------------------------------
// The same Taylor steps with the table values carried to about 48 bits and one more term where
// it matters, the result rounded once from a sum whose small part carries every other error:
//   Erf:  h = 1/128 on x itself clamped to [-4, 4], S = d - r d^2 + c_3 d^3 (c_3 = (2r^2 - 1)/3
//         from r; the fourth term is below 2^-36 of erf), two formulas by rows:
//           |r| >= 1/16: erf x = E_hi + (E_lo + D S)                   (E_hi + E_lo = erf r),
//           |r| <= 7/128: erf x = s + ((E_lo + e) + (d D' + D d^2 (c_3 d - r)))
//                                 (s + e = 9x/8, E_lo = erf r - 9r/8, D' = D - 9/8),
//         9x/8 formed exactly as a sum s + e (x/8 exact, Fast2Sum). The rounded part (E_lo + D S)
//         stays below 0.067 of erf x in the first kind (|D S| <= D/256 against erf x >=
//         erf(1/16 - 1/256)), below 0.01 in the second (erf x - 9x/8 = (2/sqrt(pi) - 9/8) x - x^3
//         / (3 sqrt(pi)) ...), where E_hi + D S would nearly cancel in the first cells (E_hi + D S
//         alone reaches 0.73 ulp at r = 1/32 and 0.91 at 3/128; x + (erf x - x), the rounded part
//         0.11 of the result, 0.72 ulp). A register whose four lanes all lie beyond 15/256 (so in
//         rows of the first kind; about 94% of the registers on uniform arguments over (-4, 4))
//         takes the first formula alone: three operations after the rows arrive, one compare
//         for the choice and the screen. Any other register takes both, out of line, each lane
//         the formula of its row (E_hi is +-0 in the rows of the second kind, told apart by
//         |r| <= 7/128, and the 9x/8 sum 0 in the others), so a lane's result never depends on
//         its neighbours. NaN and |x| < 2^-40 go to the per-element routine, 2/sqrt(pi) x rounded
//         once (there d^3 would underflow and raise a spurious underflow flag, and below 2^-123
//         rounding x/8 or the small part to the subnormal grid would cost up to 1/4 ulp); in the
//         packed formulas their d is 0 and their 9x/8 sum 0, so that they raise no flag.
//   Erfc: h = 1/256 on x itself clamped to [-4, 10.1] (rows from r = -4: erfc(-4) already
//         rounds to 2), four terms (the fifth, about (2rd)^5 / 5! relative, is below 2^-30 up to
//         10.1), erfc x = (H + H t) 2^-64 with t = L - Q S (erfc r 2^64 = H (1 + L)): every
//         intermediate normal up to 10.1, and the final scaling exact wherever the result is
//         normal (x <= 9.19, the screen's end). |x| below 2^-40 is taken as 0 (erfc rounds to 1
//         from 2^-25 on; d^2 would underflow). The flagged lanes (9.19 < x <= 10.1) form H + H
//         t and the scaling in double and round once (s_erfc_ha_tail_f).
struct alignas(16) SErfHARows {
  float erf_top[4], erf_bottom[4], erf_magic[4];     // 4, -4, 1.5 * 2^16 + 4 (its ulp 1/128)
  float erfc_top[4], erfc_bottom[4], erfc_magic[4], erfc_under[4];  // 10.1, -4, 1.5 * 2^15 + 4 (its ulp 1/256), 9.19
  float two3[4], third[4], half[4], tiny[4], unscale[4], erf_tiny[4], eighth[4];  // 2/3, 1/3, 1/2, 2^-40, 2^-64, 2^-40, 1/8
  float erf_outer[4], erf_head[4];  // 15/256: |x| above it reads a row with |r| >= 1/16; 7/128
  uint32_t idx[4];                                         // 0xFFF
};
#define QOR_R4(v) {v, v, v, v}
inline constexpr SErfHARows kSErfHARows = {
    QOR_R4(4.0f), QOR_R4(-4.0f), QOR_R4(0x1.8p16f + 4.0f),
    QOR_R4(10.1f), QOR_R4(-4.0f), QOR_R4(0x1.8p15f + 4.0f), QOR_R4(ErfcLimits<float>::kErfcUnder),
    QOR_R4(0x1.555556p-1f), QOR_R4(0x1.555556p-2f), QOR_R4(0.5f), QOR_R4(0x1p-40f), QOR_R4(0x1p-64f),
    QOR_R4(0x1p-40f), QOR_R4(0.125f), QOR_R4(0x1.ep-5f), QOR_R4(0x1.cp-5f), QOR_R4(0xFFFu)};
#undef QOR_R4

// x clamped to [lo, hi], NaN lanes to hi (minps and maxps return their second operand when one is
// NaN; the LA and EP Erf clamp, its operands the other way round, keeps NaN instead).
QOR_SIMD_INLINE f32x4 clamp_nan_hi_f(f32x4 x, f32x4 lo, f32x4 hi) { return max(min(x, hi), lo); }

// The columns c0, c1, c2 (and c3) of the rows of a table of float quadruples at the lanes'
// indices j (four 16-byte loads and a transposition).
QOR_SIMD_INLINE void gather_quads_f(const float (*tab)[4], i32x4 j, f32x4& c0, f32x4& c1, f32x4& c2,
                                    f32x4* c3 = nullptr) {
  uint32_t k[4];
  lane_indices(shl(j, 4), k);  // byte offsets (one shift for the four lanes)
  const char* b = reinterpret_cast<const char*>(tab);
  const __m128 e0 = _mm_load_ps(reinterpret_cast<const float*>(b + k[0]));
  const __m128 e1 = _mm_load_ps(reinterpret_cast<const float*>(b + k[1]));
  const __m128 e2 = _mm_load_ps(reinterpret_cast<const float*>(b + k[2]));
  const __m128 e3 = _mm_load_ps(reinterpret_cast<const float*>(b + k[3]));
  const __m128 l01 = _mm_unpacklo_ps(e0, e1), l23 = _mm_unpacklo_ps(e2, e3);  // a0 a1 b0 b1, a2 a3 b2 b3
  const __m128 h01 = _mm_unpackhi_ps(e0, e1), h23 = _mm_unpackhi_ps(e2, e3);  // c0 c1 d0 d1, c2 c3 d2 d3
  c0 = _mm_movelh_ps(l01, l23);
  c1 = _mm_movehl_ps(l23, l01);
  c2 = _mm_movelh_ps(h01, h23);
  if (c3 != nullptr) *c3 = _mm_movehl_ps(h23, h01);
}

// The same as two pairs of columns (c0, c1) and (c2, c3): eight 8-byte loads, four shuffles.
QOR_SIMD_INLINE void gather_quads_as_pairs_f(const float (*tab)[4], i32x4 j, f32x4& c0, f32x4& c1, f32x4& c2,
                                             f32x4& c3) {
  uint32_t k[4];
  lane_indices(j, k);
  const float(*p)[2] = reinterpret_cast<const float(*)[2]>(tab);  // rows 2k, 2k + 1 of pairs
  auto lo = [&](int i, int h) { return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p[2 * k[i] + h]))); };
  auto hi = [&](__m128 v, int i, int h) { return _mm_loadh_pi(v, reinterpret_cast<const __m64*>(p[2 * k[i] + h])); };
  const __m128 a01 = hi(lo(0, 0), 1, 0), a23 = hi(lo(2, 0), 3, 0);
  const __m128 b01 = hi(lo(0, 1), 1, 1), b23 = hi(lo(2, 1), 3, 1);
  c0 = _mm_shuffle_ps(a01, a23, _MM_SHUFFLE(2, 0, 2, 0));
  c1 = _mm_shuffle_ps(a01, a23, _MM_SHUFFLE(3, 1, 3, 1));
  c2 = _mm_shuffle_ps(b01, b23, _MM_SHUFFLE(2, 0, 2, 0));
  c3 = _mm_shuffle_ps(b01, b23, _MM_SHUFFLE(3, 1, 3, 1));
}

// The rows of |r| >= 1/16: erf x = E_hi + (E_lo + D S), S = d - r d^2 + c_3 d^3 formed before the
// rows arrive, three operations after them. xc is x clamped to [-4, 4]; live (kLive: registers
// with other lanes) clears d of the lanes the per-element routine takes.
template <bool kLive>
QOR_SIMD_INLINE f32x4 s_erf_ha_outer_f(const SErfHARows& c, f32x4 xc, f32x4 live) {
  const f32x4 t = xc + row(c.erf_magic);
  f32x4 eh, el, dp, dd;
  gather_quads_as_pairs_f(kErfFHA128, t.bits() & irow(c.idx), eh, el, dp, dd);
  const f32x4 r = t - row(c.erf_magic), d = kLive ? (xc - r) & live : xc - r;
  const f32x4 s = d + d * (d * (((r * r) * row(c.two3) - row(c.third)) * d - r));
  return eh + (el + dd * s);
}
// The formula of every row, the 9x/8 sum in those of |r| <= 7/128 (the registers with a lane at or
// below 15/256, or NaN, take it for those lanes).
QOR_SIMD_INLINE f32x4 s_erf_ha_f(f32x4 x) {
  const SErfHARows& c = opaque(kSErfHARows);
  // the kernel's speed is the latency of x -> index -> rows -> sum: t = x + 1.5 * 2^16 + 4 rounds to
  // the grid k/128 (its low bits hold k + 512), no product on the way; NaN lanes read r = 4
  const f32x4 xc = clamp_nan_hi_f(x, row(c.erf_bottom), row(c.erf_top));
  const f32x4 t = xc + row(c.erf_magic);
  f32x4 eh, el, dp, dd;
  gather_quads_as_pairs_f(kErfFHA128, t.bits() & irow(c.idx), eh, el, dp, dd);
  // everything but the rows' values is formed while the rows load: d^2 (c_3 d - r), and 9x/8 = s +
  // e exactly (Fast2Sum) in the rows that add it (|r| <= 7/128), 0 in the others; the screened lanes
  // (NaN, |x| < 2^-40) with d = 0 and no 9x/8, so that they raise no flag
  const f32x4 live = cmp_le(row(c.erf_tiny), abs(x)), r = t - row(c.erf_magic), d = (xc - r) & live;
  const f32x4 q2 = d * (d * (((r * r) * row(c.two3) - row(c.third)) * d - r));
  const f32x4 xm = xc & (cmp_le(abs(r), row(c.erf_head)) & live), x8 = xm * row(c.eighth), s = xm + x8;
  const f32x4 e = (xm - s) + x8;
  return (s + eh) + ((el + e) + (d * dp + dd * q2));
}
// erfc x = (H + H t) 2^-64 for -4 <= x <= top: H and t. The packed path clamps at 9.19 (the
// screen's end), so that its last product has no subnormal result (a microcode assist, measured
// at about 1.8 ns an element on (-4, 10)); the per-element routine of the flagged lanes at 10.1.
template <bool kTail = false>
QOR_SIMD_INLINE f32x4 s_erfc_ha_parts_f(f32x4 x, f32x4& t) {
  const SErfHARows& c = opaque(kSErfHARows);
  const f32x4 top = kTail ? row(c.erfc_top) : row(c.erfc_under);
  const f32x4 xc = clamp_nan_hi_f(x, row(c.erfc_bottom), top);  // NaN: top (flagged)
  const f32x4 u = xc + row(c.erfc_magic);  // rounded to k/256, k + 1024 in the low bits
  const f32x4 r = u - row(c.erfc_magic);
  const f32x4 d = (xc & cmp_le(row(c.tiny), abs(xc))) - r;  // tiny x: r = 0, d = 0
  f32x4 h, l, q;
  gather_quads_f(kErfcFHA256, u.bits() & irow(c.idx), h, l, q);
  const f32x4 r2 = r * r;
  const f32x4 c4 = r * (row(c.half) - r2 * row(c.third));  // r (3 - 2 r^2) / 6
  const f32x4 c3 = r2 * row(c.two3) - row(c.third);         // (2 r^2 - 1) / 3
  const f32x4 p = d * (c3 + d * c4) - r;                     // c_2 + c_3 d + c_4 d^2
  const f32x4 s = d + (d * d) * p;
  t = l - q * s;
  return h;
}
QOR_SIMD_INLINE f32x4 s_erfc_ha_f(f32x4 x) {
  f32x4 t;
  const f32x4 h = s_erfc_ha_parts_f(x, t);
  return (h + h * t) * row(opaque(kSErfHARows).unscale);
}
// erfc x for 9.19 < x <= 10.1 (results at and below the normal range's end): H + H t and the
// scaling in double (both exact but for one rounding of the sum), narrowed once.
inline float s_erfc_ha_tail_f(float x) {
  f32x4 t;
  const f32x4 h = s_erfc_ha_parts_f<true>(f32x4::splat(x), t);
  const double hd = static_cast<double>(lane0(h));
  double yd = (hd + hd * static_cast<double>(lane0(t))) * 0x1p-64;
  simd::barrier(yd);
  return static_cast<float>(yd);
}

struct SErfHAF : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  // A register whose lanes all lie beyond 15/256 (the common case) takes the shorter formula of
  // those rows alone; any other register both formulas, each lane the one of its row (so a lane's
  // result never depends on its neighbours). Returned: the lanes NaN or below 2^-40, where erf x =
  // 2/sqrt(pi) x (1 - x^2/3 ...) is the product rounded once (in double, then narrowed: subnormal
  // results rounded once, and no underflow flag for normal ones).
  static QOR_SIMD_INLINE int packed_checked(f32x4 x, f32x4& y) {
    const SErfHARows& c = opaque(kSErfHARows);
    const f32x4 ax = abs(x);
    const f32x4 outer = cmp_lt(row(c.erf_outer), ax);  // NaN: false
    if (__builtin_expect(mask(outer) == 0xF, 1)) {
      y = s_erf_ha_outer_f<false>(c, clamp_nan_hi_f(x, row(c.erf_bottom), row(c.erf_top)), outer);
      return 0;
    }
    y = mixed(x);
    return mask(cmp_le(row(c.erf_tiny), ax)) ^ 0xF;
  }
  // Out of line (about one register in seventeen on uniform arguments over (-4, 4)).
  static __attribute__((noinline)) f32x4 mixed(f32x4 x) {
    const SErfHARows& c = opaque(kSErfHARows);
    const f32x4 ax = abs(x);
    const f32x4 outer = cmp_lt(row(c.erf_outer), ax), live = cmp_le(row(c.erf_tiny), ax);
    const f32x4 xc = clamp_nan_hi_f(x, row(c.erf_bottom), row(c.erf_top));
    return select(outer, s_erf_ha_outer_f<true>(c, xc, live), s_erf_ha_f(x));
  }
  static f32x4 packed(f32x4 x) {
    f32x4 y;
    packed_checked(x, y);
    return y;
  }
  static int element(const float* px, float* r) {
    const float x = *px;
    if (x != x) {
      *r = x + x;
    } else if (!(std::fabs(x) < 0x1p-40f)) {
      *r = packed_one<SErfHAF>(x);
    } else {
      double y = static_cast<double>(x) * 0x1.20dd750429b6dp+0;  // 2/sqrt(pi)
      simd::barrier(y);
      *r = static_cast<float>(y);
    }
    return kOk;
  }
};
using SErfcHAF = SErfcFloat<s_erfc_ha_f, s_erfc_ha_tail_f>;

}  // namespace
}  // namespace qor::vm::special
