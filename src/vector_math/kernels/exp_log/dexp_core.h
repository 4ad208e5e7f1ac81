// What the double-precision exponentials (exp.h, exp2.h, exp10.h, expm1.h) share, and the cores
// of the single-precision kernels that evaluate in double precision.
//
// Exp HA: N = round(x * 64 / ln 2) through the shifter 1.5 * 2^52, r = (x - N C1) - N C2,
// j = N & 63, n = N >> 6 and
//     exp(x) = 2^n * (T_hi[j] + (T_lo[j] + (T_hi[j] + T_lo[j]) * p(r))),  p(r) ~ e^r - 1,
// with 2^n built in the exponent field and multiplied in. The same 64-entry formula serves the
// per-element routines of the others (two-step scaling, subnormal results rounded once).
//
// Exp LA, Exp2, Exp10 and Expm1 LA/HA use N = round(256 x / ln 2) (or 256 x, 256 x log2 10) and
// a 256-entry table whose entries are pre-biased so that 2^n T is one integer addition (see
// dexp_t256.h); their EP kernels take y = 256 x / ln 2 itself apart (no Cody-Waite steps) and
// need only two or three Taylor terms of 2^(f/256).
// Every kernel screens both registers of a block at once on the high words of |x|; a flagged
// block is recomputed element by element, and an element the screen passes gets the packed
// formula there too, so results never depend on neighbours.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/common.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"

namespace qor::vm::exp_log {

// Constant rows of those kernels, each value twice (one packed operand). Kernels reach them
// through opaque(), so that the compiler keeps them as memory operands instead of building the
// vectors from scalars inside the loop.
struct alignas(16) DExpFastRows {
  double sh52[2];         // 1.5 * 2^52
  double sh44[2];         // 1.5 * 2^44: rounds to multiples of 1/256
  double inv_ln2_256[2];  // 256 / ln 2
  double ln2_256_hi[2];   // ln 2 / 256 = hi + lo, hi with 29 significant bits
  double ln2_256_lo[2];
  double em1[3][2];       // e^r - 1 = r + r^2 (c2 + c3 r + c4 r^2) on |r| <= ln 2 / 512
  double p2[4][2];        // 2^r - 1 = r (c1 + c2 r + c3 r^2 + c4 r^3) on |r| <= 1/512
  double log2_10_256[2];  // 256 log2 10
  double lg2_256_hi[2];   // log10(2) / 256 = hi + lo, hi with 33 significant bits
  double lg2_256_lo[2];
  double p10[4][2];       // 10^d - 1 = d (c1 + ... + c4 d^3) on |d| <= log10(2) / 512
  double one[2];
  double xm1[4][2];       // e^r - 1 = r + r^2 (c2 + ... + c5 r^3) on |r| <= ln 2 / 512, relative
  double minus_one[2];
  uint64_t split26[2];    // keeps 26 significant bits
  double ep256[3][2];     // 2^(f/256) - 1 ~ f (c1 + c2 f + c3 f^2), |f| <= 1/2: Taylor terms
  double inv_ln2_1024[2]; // 1024 / ln 2
  double ln2_1024_hi[2];  // ln 2 / 1024 = hi + lo, hi with 29 significant bits
  double ln2_1024_lo[2];
  double em3[2][2];       // e^r - 1 = r + r^2 (c2 + c3 r) on |r| <= ln 2 / 2048, error 2^-53.2
};
inline constexpr DExpFastRows kDExpFast = {
    QOR_ROW2(0x1.8p52),
    QOR_ROW2(0x1.8p44),
    QOR_ROW2(0x1.71547652b82fep+8),
    QOR_ROW2(0x1.62e42ffp-9),
    QOR_ROW2(-0x1.718432a1b0e26p-43),
    {QOR_ROW2(0x1.fffffffffffd4p-2), QOR_ROW2(0x1.5555571d6ba56p-3), QOR_ROW2(0x1.5555576990418p-5)},
    {QOR_ROW2(0x1.62e42fefa39b9p-1), QOR_ROW2(0x1.ebfbdff82c58ap-3), QOR_ROW2(0x1.c6b090da3291fp-5),
     QOR_ROW2(0x1.3b2ab7eea1c36p-7)},
    QOR_ROW2(0x1.a934f0979a371p+9),
    QOR_ROW2(0x1.3441350ap-10),
    QOR_ROW2(-0x1.0c0219dc1da99p-47),
    {QOR_ROW2(0x1.26bb1bbb554e8p+1), QOR_ROW2(0x1.53524c73cea65p+1), QOR_ROW2(0x1.04705b127246dp+1),
     QOR_ROW2(0x1.2bd7618705967p+0)},
    QOR_ROW2(1.0),
    {QOR_ROW2(0x1.fffffffffffe6p-2), QOR_ROW2(0x1.5555555555562p-3), QOR_ROW2(0x1.5555570aa1b56p-5),
     QOR_ROW2(0x1.111111416aae5p-7)},
    QOR_ROW2(-1.0),
    QOR_ROW2(0xFFFFFFFFF8000000ull),
    {QOR_ROW2(0x1.62e42fefa39efp-9), QOR_ROW2(0x1.ebfbdff82c58fp-19), QOR_ROW2(0x1.c6b08d704a0c0p-29)},
    QOR_ROW2(0x1.71547652b82fep+10),
    QOR_ROW2(0x1.62e42ffp-11),
    QOR_ROW2(-0x1.718432a1b0e26p-45),
    {QOR_ROW2(0x1.00000021f6d4ep-1), QOR_ROW2(0x1.5555557621dfdp-3)},
};

// High words of |x0| and |x1| above `hi` (signed compare), one bit per lane of the block.
QOR_SIMD_INLINE int mask_pair_abs_high_above(f64x2 x0, f64x2 x1, int32_t hi) {
  const __m128 h = _mm_shuffle_ps(_mm_castpd_ps(x0.v), _mm_castpd_ps(x1.v), _MM_SHUFFLE(3, 1, 3, 1));
  const __m128i a = _mm_and_si128(_mm_castps_si128(h), _mm_set1_epi32(0x7FFFFFFF));
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(a, _mm_set1_epi32(hi))));
}

// ---- reductions ----------------------------------------------------------------------------
// Each gives the shifted value t (N in the low bits of its pattern) and r.
struct RedExp {  // e^x
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const auto& c = kDExp;
    const f64x2 sh = row(c.shifter);
    t = x * row(c.inv_ln2_64) + sh;
    const f64x2 k = t - sh;
    r = (x - k * row(c.c1)) - k * row(c.c2);
  }
};

// p(r) ~ e^r - 1 on |r| <= ln 2 / 128: degree 5 (HA, LA), degree 3 (EP).
QOR_SIMD_INLINE f64x2 expm1_poly5(f64x2 r) {
  const auto& c = kDExp;
  const f64x2 r2 = r * r;  // paired terms (Estrin): a shorter dependency chain than Horner's
  return r + r2 * ((row(c.p2) + r * row(c.p3)) + r2 * (row(c.p4) + r * row(c.p5)));
}
QOR_SIMD_INLINE f64x2 expm1_poly3(f64x2 r) {
  return r + (r * r) * (f64x2::splat(0.5) + r * f64x2::splat(0x1.5555555555555p-3));
}

// 2^n for n = N >> 6 in the exponent field: ((N + 1023*64) << 46) & exponent mask.
QOR_SIMD_INLINE f64x2 scale_of(f64x2 t) {
  const auto& c = kDExp;
  return (simd::shl(t.bits() + irow(c.bias), 46).as_f64() & row(c.exp_mask));
}
QOR_SIMD_INLINE i64x2 index_of(f64x2 t) { return t.bits() & i64x2::splat(63); }

// Scales y by 2^n for any n in [-1100, 1100] with one rounding.
inline double scale_two_step(double y, int32_t n) {
  if (n > 1023) return mul_rt(y * double_of(static_cast<uint64_t>(n - 1 + 1023) << 52), 2.0);
  if (n < -1020) return mul_rt(y * double_of(static_cast<uint64_t>(n + 1000 + 1023) << 52), 0x1p-1000);
  return mul_rt(y, double_of(static_cast<uint64_t>(n + 1023) << 52));
}
// n and j of lane 0 of t.
inline int32_t n_of(f64x2 t) { return static_cast<int32_t>(bits_of(lane0(t))) >> 6; }

// Status of a finite input's result: overflow 3 (inf), underflow 4 (below the normal range).
inline int exp_status(double r) {
  if (r == HUGE_VAL) return kOverflow;
  if (r < 0x1p-1022) return kUnderflow;
  return kOk;
}

// Subnormal results rounded once: 2^n * (th + rest) for n < -1020. The sum is formed at the
// scale 2^1022 (so that the result is below 1), rounded at the granularity 2^-52 by adding and
// removing 1 (which is the least subnormal once scaled back), and scaled back exactly.
inline double scale_subnormal(double th, double rest, int32_t n) {
  if (n < -1080) return mul_rt(0x1p-1022, 0x1p-1022);
  const double s = double_of(static_cast<uint64_t>(n + 1022 + 1023) << 52);
  const double a = s * th, b = s * rest;
  double y = a + b;
  if (y < 1.0) {
    const double lo0 = (a - y) + b;
    const double hi = 1.0 + y;
    const double lo = ((1.0 - hi) + y) + lo0;
    y = (hi + lo) - 1.0;
  }
  return mul_rt(y, 0x1p-1022);
}

// ---- HA/LA core: y = T_hi + (T_lo + T * p) -------------------------------------------------
template <class Red>
struct DExpCore {
  static QOR_SIMD_INLINE f64x2 parts(f64x2 x, f64x2& t, f64x2& th) {
    f64x2 r;
    Red::reduce(x, t, r);
    const f64x2 p = expm1_poly5(r);
    f64x2 tl;
    gather2(kDExp.t, index_of(t), th, tl);
    return tl + (th + tl) * p;
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, th;
    const f64x2 rest = parts(x, t, th);
    return (th + rest) * scale_of(t);
  }
  // Both registers of a block, with one extraction of the four table indices.
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    f64x2 t0, t1, r0, r1;
    Red::reduce(x0, t0, r0);
    Red::reduce(x1, t1, r1);
    const f64x2 p0 = expm1_poly5(r0), p1 = expm1_poly5(r1);
    f64x2 th0, tl0, th1, tl1;
    gather_rows_pair<63>(kDExp.t, t0, t1, th0, tl0, th1, tl1);
    y0 = (th0 + (tl0 + (th0 + tl0) * p0)) * scale_of(t0);
    y1 = (th1 + (tl1 + (th1 + tl1) * p1)) * scale_of(t1);
  }
  // One element for any n: two-step scaling, subnormal results rounded once.
  static double scalar(double x) {
    f64x2 t, th;
    const f64x2 rest = parts(f64x2::splat(x), t, th);
    const int32_t n = n_of(t);
    if (n < -1020) return scale_subnormal(lane0(th), lane0(rest), n);
    return scale_two_step(lane0(th + rest), n);
  }
};

// Degree-3 variant (about 2^-40 relative), used by single-precision kernels that evaluate in
// double precision.
template <class Red>
struct DExpCoreEP {
  static QOR_SIMD_INLINE f64x2 parts(f64x2 x, f64x2& t) {
    f64x2 r;
    Red::reduce(x, t, r);
    const f64x2 p = expm1_poly3(r);
    f64x2 th, tl;
    gather2(kDExp.t, index_of(t), th, tl);
    return th + th * p;
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t;
    const f64x2 y = parts(x, t);
    return y * scale_of(t);
  }
  static double scalar(double x) {
    f64x2 t;
    const f64x2 y = parts(f64x2::splat(x), t);
    return scale_two_step(lane0(y), n_of(t));
  }
};

// ---- 256-entry table kernels: y = 2^n T (1 + L + p(r)) -----------------------------------
// N = round(x * 256 / ln 2) (or x * 256, x * 256 log2 10), j = N & 255, n = N >> 8; 2^n T comes
// from the table entry by integer addition (see kDExpT256) and
//     y = Ts + Ts * (L + p(r)),   Ts = 2^n T,
// where only the small term is rounded before the last addition: about 0.51 ulp, for normal
// results (the screens send the rest to the per-element routines).
struct Red256Exp {  // e^x: r = (x - N*C1) - N*C2, C1 + C2 = ln 2 / 256 (C1 has 29 bits)
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const auto& c = opaque(kDExpFast);
    t = x * row(c.inv_ln2_256) + row(c.sh52);
    const f64x2 k = t - row(c.sh52);
    r = (x - k * row(c.ln2_256_hi)) - k * row(c.ln2_256_lo);
  }
  // e^r - 1 on |r| <= ln 2 / 512: minimax with r + r^2 (c2 + c3 r + c4 r^2), error 2^-57.4
  static QOR_SIMD_INLINE f64x2 poly(f64x2 r) {
    const auto& c = opaque(kDExpFast);
    const f64x2 r2 = r * r;
    return r + r2 * ((row(c.em1[0]) + r * row(c.em1[1])) + r2 * row(c.em1[2]));
  }
};

// 2^n T from the biased entry B and the shifted value t.
QOR_SIMD_INLINE f64x2 t256_scaled(f64x2 b, f64x2 t) { return (b.bits() + simd::shl(t.bits(), 44)).as_f64(); }

// The EP reduction on the 256-entry table: y = 256 x / ln 2 taken apart into N = round(y) (in
// the shifted value t) and f = y - N in [-1/2, 1/2] exactly; Ts = 2^n T from the first column.
QOR_SIMD_INLINE void ep256_reduce(const DExpFastRows& c, f64x2 x, f64x2& ts, f64x2& f) {
  const f64x2 y = x * row(c.inv_ln2_256);
  const f64x2 t = y + row(c.sh52);
  f = y - (t - row(c.sh52));
  ts = t256_scaled(gather_first<255>(kDExpT256.e, t), t);
}

template <class Red>
struct DExpT256Core {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, r, b, l;
    Red::reduce(x, t, r);
    gather_rows<255>(kDExpT256.e, t, b, l);
    const f64x2 ts = t256_scaled(b, t);
    return ts + ts * (l + Red::poly(r));
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    f64x2 t0, t1, r0, r1, b0, l0, b1, l1;
    Red::reduce(x0, t0, r0);
    Red::reduce(x1, t1, r1);
    gather_rows_pair<255>(kDExpT256.e, t0, t1, b0, l0, b1, l1);
    const f64x2 ts0 = t256_scaled(b0, t0), ts1 = t256_scaled(b1, t1);
    y0 = ts0 + ts0 * (l0 + Red::poly(r0));
    y1 = ts1 + ts1 * (l1 + Red::poly(r1));
  }
};

// Per-element routine of a b^x family F (Exp2, Exp10) with its 64-entry reduction Red: the packed
// formula where F's screen passes, NaN and infinities, +inf where `overflows`, +0 where `zero`,
// and in between the 64-entry core with two-step scaling.
template <class F, class Red>
inline int dexp_base_element(double x, double* out, bool overflows, bool zero) {
  if (F::packed_one(x, out)) return kOk;
  if (std::isnan(x)) {
    *out = x + x;
    return kOk;
  }
  if (std::isinf(x)) {
    *out = x > 0 ? x : 0.0;
    return kOk;
  }
  if (overflows) {
    *out = mul_rt(0x1p1023, 0x1p1023);
    return kOverflow;
  }
  if (zero) {
    *out = mul_rt(0x1p-1022, 0x1p-1022);
    return kUnderflow;
  }
  *out = DExpCore<Red>::scalar(x);
  return exp_status(*out);
}

// A family whose packed formula (Core) holds for |x| with high word at most kHigh; the screen
// takes both registers of a block at once.
template <class Core, int32_t kHigh>
struct PairFamily : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return Core::eval(x); }
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) { Core::eval_pair(x0, x1, r0, r1); }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, static_cast<uint32_t>(kHigh)); }
  static int screen_pair(f64x2 x0, f64x2 x1) { return mask_pair_abs_high_above(x0, x1, kHigh); }
  // The packed formula on one element that the screen passes (elements of a recomputed block
  // and of the tail get the same result as in a clean block).
  static bool packed_one(double x, double* out) {
    const f64x2 v = f64x2::splat(x);
    if (screen(v)) return false;
    *out = lane0(Core::eval(v));
    return true;
  }
};

}  // namespace qor::vm::exp_log
