// Double-precision exponentials: Exp (three flavours), Exp2, Exp10, Expm1 (three flavours).
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
struct RedExp2 {  // 2^x: r = (x - N/64) * ln 2, the difference exact
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const f64x2 sh = row(kDExp.shifter);
    t = x * f64x2::splat(64.0) + sh;
    const f64x2 k = t - sh;
    r = (x - k * f64x2::splat(0x1p-6)) * f64x2::splat(0x1.62e42fefa39efp-1);
  }
};
struct RedExp10 {  // 10^x: r = ((x - N*D1) - N*D2) * ln 10 with D1 + D2 = log10(2) / 64
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const f64x2 sh = row(kDExp.shifter);
    t = x * f64x2::splat(0x1.a934f0979a371p+7) + sh;  // 64 * log2(10)
    const f64x2 k = t - sh;
    const f64x2 d = (x - k * f64x2::splat(0x1.3441350ap-8)) - k * f64x2::splat(-0x1.0c0219dc1da99p-45);
    r = d * f64x2::splat(0x1.26bb1bbb55516p+1);  // ln 10
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
struct Red256Exp2 {  // 2^x: the shifter 1.5 * 2^44 rounds x to a multiple of 1/256; r = x - N/256 exact
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const auto& c = opaque(kDExpFast);
    t = x + row(c.sh44);
    r = x - (t - row(c.sh44));
  }
  // 2^r - 1 on |r| <= 1/512: minimax of degree 4, error 2^-58.5
  static QOR_SIMD_INLINE f64x2 poly(f64x2 r) {
    const auto& c = opaque(kDExpFast);
    const f64x2 r2 = r * r;
    return r * ((row(c.p2[0]) + r * row(c.p2[1])) + r2 * (row(c.p2[2]) + r * row(c.p2[3])));
  }
};
struct Red256Exp10 {  // 10^x: d = (x - N*D1) - N*D2, D1 + D2 = log10(2) / 256 (D1 has 33 bits)
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const auto& c = opaque(kDExpFast);
    t = x * row(c.log2_10_256) + row(c.sh52);
    const f64x2 k = t - row(c.sh52);
    r = (x - k * row(c.lg2_256_hi)) - k * row(c.lg2_256_lo);
  }
  // 10^d - 1 on |d| <= log10(2) / 512: minimax of degree 4, error 2^-58.5
  static QOR_SIMD_INLINE f64x2 poly(f64x2 d) {
    const auto& c = opaque(kDExpFast);
    const f64x2 d2 = d * d;
    return d * ((row(c.p10[0]) + d * row(c.p10[1])) + d2 * (row(c.p10[2]) + d * row(c.p10[3])));
  }
};

// 2^n T from the biased entry B and the shifted value t.
QOR_SIMD_INLINE f64x2 t256_scaled(f64x2 b, f64x2 t) { return (b.bits() + simd::shl(t.bits(), 44)).as_f64(); }

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

// Exp LA: the 1024-entry table of T only (dexp_t256.h), N = round(1024 x / ln 2),
// r = (x - N C1) - N C2 with |r| <= ln 2 / 2048, and y = Ts + Ts p(r) with p of degree 3:
// T's rounding and the polynomial's 2^-53.2 are left in (about 1.3 ulp at most).
struct DExpLACore {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = opaque(kDExpFast);
    const f64x2 t = x * row(c.inv_ln2_1024) + row(c.sh52);
    const f64x2 k = t - row(c.sh52);
    const f64x2 r = (x - k * row(c.ln2_1024_hi)) - k * row(c.ln2_1024_lo);
    const __m128i o = _mm_slli_epi32(_mm_and_si128(t.bits().v, _mm_set1_epi32(1023)), 3);
    const char* base = reinterpret_cast<const char*>(kDExpT1024.e);
    const uint32_t o0 = static_cast<uint32_t>(_mm_cvtsi128_si32(o));
    const uint32_t o1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(o, _MM_SHUFFLE(3, 2, 3, 2))));
    const f64x2 b = _mm_loadh_pd(_mm_load_sd(reinterpret_cast<const double*>(base + o0)),
                                 reinterpret_cast<const double*>(base + o1));
    const f64x2 ts = (b.bits() + simd::shl(t.bits(), 42)).as_f64();
    return ts + ts * (r + (r * r) * (row(c.em3[0]) + r * row(c.em3[1])));
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    y0 = eval(x0);
    y1 = eval(x1);
  }
};

// ---- Exp EP --------------------------------------------------------------------------------
// EP with the 256-entry table (first column only): y = 256 x / ln 2 (its rounding error is far
// below 2^-26 of the result), N = round(y), f = y - N in [-1/2, 1/2] exactly, and
// e^x = 2^n T (1 + f c1 + f^2 c2) with the leading Taylor terms of 2^(f/256): 2^-31 relative.
struct DExpEPTabCore {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = opaque(kDExpFast);
    const f64x2 y = x * row(c.inv_ln2_256);
    const f64x2 t = y + row(c.sh52);
    const f64x2 f = y - (t - row(c.sh52));
    const f64x2 ts = t256_scaled(gather_first<255>(kDExpT256.e, t), t);
    return ts + ts * (f * (row(c.ep256[0]) + f * row(c.ep256[1])));
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    y0 = eval(x0);
    y1 = eval(x1);
  }
};

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

// ---- Exp -----------------------------------------------------------------------------------
// Per-element routine of double Exp: the thresholds compare the whole 64-bit pattern.
template <class Core>
inline int dexp_special(const double* px, double* out) {
  const double x = *px;
  const uint64_t ix = bits_of(x), ax = ix & 0x7FFFFFFFFFFFFFFFull;
  if (ax > 0x7FF0000000000000ull) {  // NaN
    *out = x + x;
    return kOk;
  }
  if (ax == 0x7FF0000000000000ull) {
    *out = (ix >> 63) ? 0.0 : x;
    return kOk;
  }
  if (ix >> 63) {
    if (ix >= 0xC0874910D52D3052ull) {  // x <= -745.1332191019412: +0
      *out = mul_rt(0x1p-1022, 0x1p-1022);
      return kUnderflow;
    }
    if (ix >= 0xC086232BDD7ABCD3ull) {  // x <= -708.3964185322642: subnormal result
      *out = Core::scalar(x);
      return kUnderflow;
    }
  } else {
    if (ix >= 0x40862E42FEFA39F0ull) {  // x >= 709.7827128933841: +inf
      *out = mul_rt(0x1p1023, 0x1p1023);
      return kOverflow;
    }
    if (ix >= 0x40862E37E7D8BA72ull) {  // x >= 709.7772976810359: 2^1024 scaled in two steps
      *out = Core::scalar(x);
      return kOk;
    }
  }
  *out = lane0(Core::eval(f64x2::splat(x)));
  return kOk;
}

// HA: the packed formula above with the 64-entry table, |x| < 708.396 (high word of |x| at most
// 0x4086232A; infinities and NaNs included in the rest).
struct DExpHA : PairFamily<DExpCore<RedExp>, 0x4086232A> {
  static int element(const double* px, double* out) { return dexp_special<DExpCore<RedExp>>(px, out); }
};
// LA (0.51 ulp all the same, with a cheaper scale) and EP: their own packed formulas; the
// elements they do not take go to the HA per-element routine.
struct DExpLA : PairFamily<DExpLACore, 0x4086232A> {
  static constexpr bool kInlineBlocks = true;
  static int element(const double* px, double* out) {
    if (packed_one(*px, out)) return kOk;
    return dexp_special<DExpCore<RedExp>>(px, out);
  }
};
struct DExpEP : PairFamily<DExpEPTabCore, 0x4085FFFF> {  // |x| < 708
  static constexpr bool kInlineBlocks = true;
  static int element(const double* px, double* out) {
    if (packed_one(*px, out)) return kOk;
    return dexp_special<DExpCore<RedExp>>(px, out);
  }
};

// ---- Exp2 and Exp10 ------------------------------------------------------------------------
// One kernel for every flavour: the 256-entry formula for |x| < 1012, where 2^n T L is still a
// normal number (nearer the underflow threshold its rounding would cost a quarter ulp).
struct DExp2HA : PairFamily<DExpT256Core<Red256Exp2>, 0x408F9FFF> {
  static constexpr bool kInlineBlocks = true;  // about 2-3% faster
  static int element(const double* px, double* out) {
    const double x = *px;
    if (packed_one(x, out)) return kOk;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    if (std::isinf(x)) {
      *out = x > 0 ? x : 0.0;
      return kOk;
    }
    if (x >= 1024.0) {
      *out = mul_rt(0x1p1023, 0x1p1023);
      return kOverflow;
    }
    if (x <= -1075.0) {
      *out = mul_rt(0x1p-1022, 0x1p-1022);
      return kUnderflow;
    }
    *out = DExpCore<RedExp2>::scalar(x);
    return exp_status(*out);
  }
};

// One kernel for every flavour: the 256-entry formula for |x| < 304, whose results are normal.
struct DExp10HA : PairFamily<DExpT256Core<Red256Exp10>, 0x4072FFFF> {
  static constexpr bool kInlineBlocks = true;  // about 2-3% faster
  static int element(const double* px, double* out) {
    const double x = *px;
    if (packed_one(x, out)) return kOk;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    if (std::isinf(x)) {
      *out = x > 0 ? x : 0.0;
      return kOk;
    }
    if (x > 308.25471555991675) {
      *out = mul_rt(0x1p1023, 0x1p1023);
      return kOverflow;
    }
    if (x < -323.6072453387798) {
      *out = mul_rt(0x1p-1022, 0x1p-1022);
      return kUnderflow;
    }
    *out = DExpCore<RedExp10>::scalar(x);
    return exp_status(*out);
  }
};

// ---- Expm1 ---------------------------------------------------------------------------------
// n >= -1: (2^n T_hi - 1) is exact, and the rest 2^n (T_lo + T p) is added to it;
// n <= -2: e^x <= 1/2 is formed first and 1 subtracted.
template <bool kEP>
struct DExpm1Core;

// EP: e^x - 1 = (2^n T_hi - 1) + 2^n T_hi p(r), p of degree 4.
template <>
struct DExpm1Core<true> {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, r;
    RedExp::reduce(x, t, r);
    f64x2 th, tl;
    gather2(kDExp.t, index_of(t), th, tl);
    const f64x2 s = scale_of(t);
    const f64x2 one = f64x2::splat(1.0);
    const f64x2 p = r + (r * r) * (f64x2::splat(0.5) + r * (f64x2::splat(0x1.5555555555555p-3) +
                                                            r * f64x2::splat(0x1.5555555555555p-5)));
    const f64x2 rest = th * p;
    const f64x2 a = (s * th - one) + s * rest;  // n >= -1
    const f64x2 b = s * (th + rest) - one;      // n <= -2
    const f64x2 small = simd::cmp_lt(t, row(kDExp.shifter) - f64x2::splat(64.0));
    return simd::select(small, b, a);
  }
};

// HA: the product T_hi * r is carried exactly (both split in halves) and added to the exact
// 2^n T_hi - 1 without rounding, so that only small terms are rounded before the final sum.
template <>
struct DExpm1Core<false> {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = kDExp;
    const f64x2 sh = row(c.shifter);
    f64x2 t = x * row(c.inv_ln2_64) + sh;
    f64x2 k = t - sh;
    // |x| < ln 2 / 64: no table step (N = 0, r = x)
    const f64x2 near0 = simd::cmp_lt(simd::abs(x), f64x2::splat(0x1.62e42fefa39efp-7));
    t = simd::select(near0, sh, t);
    k = andnot(near0, k);
    const f64x2 rh = x - k * row(c.c1);  // exact
    const f64x2 kc2 = k * row(c.c2);
    const f64x2 r = rh - kc2;
    const f64x2 rlo = (rh - r) - kc2;
    // q = e^r - 1 - r, Taylor to degree 7 (|r| <= ln 2 / 64)
    const f64x2 q = (r * r) * (f64x2::splat(0.5) +
                               r * (f64x2::splat(0x1.5555555555555p-3) +
                                    r * (f64x2::splat(0x1.5555555555555p-5) +
                                         r * (f64x2::splat(0x1.1111111111111p-7) +
                                              r * (f64x2::splat(0x1.6c16c16c16c17p-10) +
                                                   r * f64x2::splat(0x1.a01a01a01a01ap-13))))));
    f64x2 th, tl;
    gather2(c.t, index_of(t), th, tl);
    const f64x2 s = scale_of(t);
    const f64x2 one = f64x2::splat(1.0);
    const f64x2 split = f64x2::from_bits(0xFFFFFFFFF8000000ull);
    const f64x2 thh = th & split, thl = th - thh;
    const f64x2 rhh = r & split, rhl = r - rhh;
    const f64x2 p1 = thh * rhh;                                  // exact
    const f64x2 rest = (thh * rhl + thl * r) + th * (q + rlo) + tl * (one + r);
    // hi + he = 2^n T_hi - 1 exactly (2Sum); (hi + 2^n p1) by Fast2Sum; then the small terms
    const f64x2 big = s * th;
    const f64x2 mone = f64x2::splat(-1.0);
    const f64x2 hi = big + mone;
    const f64x2 bv = hi - big;
    const f64x2 he = (big - (hi - bv)) + (mone - bv);
    const f64x2 a1 = s * p1;
    const f64x2 u = hi + a1;
    const f64x2 e = (hi - u) + a1;
    return u + ((e + he) + s * rest);
  }
};

// The kernels below take -708 < x < 708 and |x| >= 2^-54 (the rest is the per-element routine's):
// the screen is one unsigned range test on the high word of |x|.
QOR_SIMD_INLINE int expm1_screen_pair(f64x2 x0, f64x2 x1) {
  // high word h outside [0x3C900000, 0x4085FFFF]: (h - 0x3C900000) as unsigned above the width,
  // done as a signed compare with the sign bit flipped
  const __m128 h = _mm_shuffle_ps(_mm_castpd_ps(x0.v), _mm_castpd_ps(x1.v), _MM_SHUFFLE(3, 1, 3, 1));
  const __m128i a = _mm_and_si128(_mm_castps_si128(h), _mm_set1_epi32(0x7FFFFFFF));
  const __m128i u = _mm_add_epi32(a, _mm_set1_epi32(static_cast<int32_t>(0x80000000u - 0x3C900000u)));
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>((0x4085FFFFu - 0x3C900000u) ^ 0x80000000u));
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(u, k)));
}

// e^r - 1 on |r| <= ln 2 / 512 with relative error 2^-61 (for N = 0 it is the result).
QOR_SIMD_INLINE f64x2 expm1_poly(f64x2 r) {
  const auto& c = opaque(kDExpFast);
  const f64x2 r2 = r * r;
  return r + r2 * ((row(c.xm1[0]) + r * row(c.xm1[1])) + r2 * (row(c.xm1[2]) + r * row(c.xm1[3])));
}

// LA: e^x - 1 = 2^n T (1 + L) (1 + p(r)) - 1 = (Ts - 1) + Ts (L + p), with the 53-bit table.
// Ts - 1 is exact for -1 <= n <= 52 and the sum carries no cancellation error beyond the
// rounding of the small term; near N = +-1 that term is as large as the result: 2 ulp at most.
struct DExpm1LACore {
  static QOR_SIMD_INLINE f64x2 finish(f64x2 t, f64x2 r, f64x2 b, f64x2 l) {
    const f64x2 ts = t256_scaled(b, t);
    return (ts - row(opaque(kDExpFast).one)) + ts * (l + expm1_poly(r));
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, r, b, l;
    Red256Exp::reduce(x, t, r);
    gather_rows<255>(kDExpT256.e, t, b, l);
    return finish(t, r, b, l);
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    f64x2 t0, t1, r0, r1, b0, l0, b1, l1;
    Red256Exp::reduce(x0, t0, r0);
    Red256Exp::reduce(x1, t1, r1);
    gather_rows_pair<255>(kDExpT256.e, t0, t1, b0, l0, b1, l1);
    y0 = finish(t0, r0, b0, l0);
    y1 = finish(t1, r1, b1, l1);
  }
};

// HA: the same decomposition with T of 27 bits, carried so that only terms far below the result
// are rounded before the last addition. With rh = x - N C1 (exact) and r = rh - N C2:
//   A + Ae = Ts - 1 exactly (Fast2Sum with -1 first, and Ae = -1 where A = Ts),
//   P = Ts * r_hi exact (r_hi = rh cut to 26 bits),
//   s + e = A + P exactly (Fast2Sum: |A| >= |P| whenever A != 0, since |N| >= 1 there),
//   result = s + ((e + Ae) + Ts * ((rh - r_hi - N C2) + r^2 q(r) + L (1 + p))),
// with no case split on n. Measured: 0.511 ulp at most over 2^20 samples plus the tests' hard
// regions, 99.999% correctly rounded.
struct DExpm1HACore {
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& rh, f64x2& kc2) {
    const auto& c = opaque(kDExpFast);
    t = x * row(c.inv_ln2_256) + row(c.sh52);
    const f64x2 k = t - row(c.sh52);
    rh = x - k * row(c.ln2_256_hi);  // exact
    kc2 = k * row(c.ln2_256_lo);
  }
  static QOR_SIMD_INLINE f64x2 finish(f64x2 t, f64x2 rh, f64x2 kc2, f64x2 b, f64x2 l) {
    const auto& c = opaque(kDExpFast);
    const f64x2 r = rh - kc2;
    const f64x2 r2 = r * r;
    const f64x2 q2 = r2 * ((row(c.xm1[0]) + r * row(c.xm1[1])) + r2 * (row(c.xm1[2]) + r * row(c.xm1[3])));
    const f64x2 ts = t256_scaled(b, t);
    // A + Ae = Ts - 1: Fast2Sum with -1 as the larger term (exact for Ts <= 1; Ae = 0 for
    // 1 < Ts < 2^53, where A is exact), and -1 for Ts >= 2^53, where A = Ts (and A + 1 = Ts):
    // T has 27 bits, so Ts - 1 and Ts + 1 are ties that round to Ts
    const f64x2 a = ts + row(c.minus_one);
    const f64x2 ae = (ts - (a - row(c.minus_one))) + (simd::cmp_eq(a, ts) & row(c.minus_one));
    const f64x2 rhi = rh & row(c.split26);
    const f64x2 pp = ts * rhi;
    const f64x2 s = a + pp;
    const f64x2 e = (a - s) + pp;
    // L (1 + p) = L + L r + L r^2 q, regrouped so that q2 is used last
    const f64x2 lo = ((rh - rhi) - kc2) + (l + l * r);
    const f64x2 small = lo + q2 * (row(c.one) + l);
    return s + ((e + ae) + ts * small);
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, rh, kc2, b, l;
    reduce(x, t, rh, kc2);
    gather_rows<255>(kDExpm1T256.e, t, b, l);
    return finish(t, rh, kc2, b, l);
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    f64x2 t0, t1, rh0, rh1, kc0, kc1, b0, l0, b1, l1;
    reduce(x0, t0, rh0, kc0);
    reduce(x1, t1, rh1, kc1);
    gather_rows_pair<255>(kDExpm1T256.e, t0, t1, b0, l0, b1, l1);
    y0 = finish(t0, rh0, kc0, b0, l0);
    y1 = finish(t1, rh1, kc1, b1, l1);
  }
};

// EP with the 256-entry table: (Ts - 1) + Ts q, q = 2^(f/256) - 1 by its Taylor terms to the
// cube (relative error 2^-33, so also for N = 0), T's rounding (2^-53 of Ts) far below 2^-26 of
// the result even where Ts - 1 cancels.
struct DExpm1EPTabCore {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = opaque(kDExpFast);
    const f64x2 y = x * row(c.inv_ln2_256);
    const f64x2 t = y + row(c.sh52);
    const f64x2 f = y - (t - row(c.sh52));
    const f64x2 ts = t256_scaled(gather_first<255>(kDExpT256.e, t), t);
    const f64x2 q = f * (row(c.ep256[0]) + f * (row(c.ep256[1]) + f * row(c.ep256[2])));
    return (ts - row(c.one)) + ts * q;
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    y0 = eval(x0);
    y1 = eval(x1);
  }
};

template <class Core>
struct DExpm1Fam : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return Core::eval(x); }
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) { Core::eval_pair(x0, x1, r0, r1); }
  static int screen_pair(f64x2 x0, f64x2 x1) { return expm1_screen_pair(x0, x1); }
  static int screen(f64x2 x) { return expm1_screen_pair(x, x) & 3; }
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    const double ax = std::fabs(x);
    if (ax < 0x1p-54) {  // expm1(x) rounds to x
      *out = x;
      return kOk;
    }
    if (x < -40.0) {  // -1 + e^x rounds to -1
      *out = (x == -HUGE_VAL) ? -1.0 : mul_rt(0x1p-60, 0x1p-60) - 1.0;
      return kOk;
    }
    if (x == HUGE_VAL) {
      *out = x;
      return kOk;
    }
    if (x >= 709.7827128933841) {
      *out = mul_rt(0x1p1023, 0x1p1023);
      return kOverflow;
    }
    if (x >= 708.0) {  // e^x - 1 = e^x here; two-step scaling near the top
      *out = DExpCore<RedExp>::scalar(x);
      return exp_status(*out);
    }
    *out = lane0(Core::eval(f64x2::splat(x)));
    return kOk;
  }
};
using DExpm1HA = DExpm1Fam<DExpm1HACore>;
using DExpm1LA = DExpm1Fam<DExpm1LACore>;
using DExpm1EP = DExpm1Fam<DExpm1EPTabCore>;

}  // namespace qor::vm::exp_log
