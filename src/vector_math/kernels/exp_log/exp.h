// Exp: double precision (HA, LA, EP) and single precision (HA, LA, EP).
//
// Double precision: HA is the 64-entry core of dexp_core.h; LA and EP have their own packed
// formulas (below) and the HA per-element routine.
//
// Single precision:
//
// HA and LA: t = x * 128/ln2 + 1.375 * 2^23 gives N = round(x * 128/ln2) in t's low bits;
// r = (x - N*C1) - N*C2 with C1 + C2 = ln2/128; j = N & 127, m = N >> 7, S = 2^m built in the
// exponent field. HA: S * (T_hi + T_hi * (T_lo + r + r^2/2)); LA: (S | F[j]) * (1 + r + r^2/2).
// Both screen |x| >= 87.33655 and patch the flagged lanes only (the other lanes of the block
// keep their packed results) with the per-element routine, which handles overflow, the
// underflow range (computed in double and rounded once, so subnormal results are correctly
// rounded) and the special values.
//
// EP: 2^(x log2 e) with N = round(x log2 e), f = x log2 e - N, a cubic for 2^f and N added to
// the exponent field; |x| > 87.33654 is patched lane by lane by the rare-value routine.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp_core.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

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
    f64x2 ts, f;
    ep256_reduce(c, x, ts, f);
    return ts + ts * (f * (row(c.ep256[0]) + f * row(c.ep256[1])));
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    y0 = eval(x0);
    y1 = eval(x1);
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

// ==== single precision ======================================================================

// ---- shared steps of HA and LA -------------------------------------------------------------
struct SExpReduced {
  f32x4 r;
  i32x4 j, m;
};

template <class Table>
QOR_SIMD_INLINE SExpReduced sexp_reduce(f32x4 x, const Table& c) {
  const f32x4 shifter = row(c.shifter);
  const f32x4 t = x * row(c.inv_ln2_128) + shifter;
  const i32x4 n = t.bits() - shifter.bits();
  const f32x4 k = t - shifter;
  SExpReduced o;
  o.r = (x - k * row(c.c1)) - k * row(c.c2);
  o.j = n & i32x4::splat(127);
  o.m = simd::shr_arith(n, 7);
  return o;
}

// Scalar twins of the reduction (same operations, same roundings).
struct SExpScalar {
  float r;
  int32_t j, m;
};
inline SExpScalar sexp_reduce_scalar(float x) {
  const float shifter = float_of(0x4B300000u);
  const float t = x * float_of(0x4338AA3Bu) + shifter;
  const int32_t n = static_cast<int32_t>(bits_of(t) - 0x4B300000u);
  const float k = t - shifter;
  return SExpScalar{(x - k * float_of(0x3BB18000u)) - k * float_of(0xB5DE8083u), n & 127, n >> 7};
}

// Underflow range of the per-element routines (-103.97 < x <= -87.33): exp(x) evaluated in
// double as 2^n * 2^f, f = x log2 e - n, and rounded once to single precision.
inline float sexp_underflow_double(float x) {
  const auto& c = kSExpHA;
  const double y = static_cast<double>(x) * c.log2e;
  const double t = y + c.shifter52;
  const double n = t - c.shifter52;
  const double f = y - n;
  double p = c.p2f[10];
  for (int i = 9; i >= 0; --i) p = p * f + c.p2f[i];
  const int64_t e = static_cast<int64_t>(n) + 1023;
  const double scale = double_of(static_cast<uint64_t>(e) << 52);
  double v = p * scale;
  simd::barrier(v);
  return static_cast<float>(v);
}

// ---- HA ------------------------------------------------------------------------------------
struct SExpHA : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;

  static f32x4 packed(f32x4 x) {
    const auto& c = kSExpHA;
    const SExpReduced q = sexp_reduce(x, c);
    f32x4 th, tl;
    gather_pairs(c.t, q.j, th, tl);
    const f32x4 s = simd::shl(q.m + irow(c.bias), 23).as_f32();
    const f32x4 r = q.r;
    return ((row(c.half) * (r * r) + (tl + r)) * th + th) * s;
  }
  static int screen(f32x4 x) { return simd::mask_abs_above(x, 0x42AEAC4Fu); }

  // 2^(j/128) * (1 + r + r^2/2) before scaling, scalar.
  static float body(const SExpScalar& q) {
    const float th = float_of(kSExpHA.t[q.j][0]), tl = float_of(kSExpHA.t[q.j][1]);
    return (0.5f * (q.r * q.r) + (tl + q.r)) * th + th;
  }

  // _ScalarExp: computes one element completely.
  static int element(const float* px, float* out) {
    const float x = *px;
    const uint32_t ix = bits_of(x), ax = ix & 0x7FFFFFFFu;
    if (ax > 0x7F800000u) {  // NaN
      *out = x + x;
      return kOk;
    }
    if (ax == 0x7F800000u) {  // exp(+inf) = +inf, exp(-inf) = +0
      *out = (ix >> 31) ? 0.0f : x;
      return kOk;
    }
    if (ax < 0x42AEAC50u) {  // |x| < 87.33655: the ordinary formula
      *out = packed_one<SExpHA>(x);
      return kOk;
    }
    if (!(ix >> 31)) {
      if (ix >= 0x42B17218u) {  // x >= 88.72284: overflow
        *out = mul_rt(0x1p127f, 0x1p127f);
        return kOverflow;
      }
      const SExpScalar q = sexp_reduce_scalar(x);
      const float y = body(q);
      if (q.m + 127 > 254) {  // 2^m is not a normal float: scale in two steps
        *out = mul_rt(y * 0x1p127f, 2.0f);
      } else {
        *out = mul_rt(y, float_of(static_cast<uint32_t>(q.m + 127) << 23));
      }
      return kOk;
    }
    if (ix < 0xC2CE8ED1u) {  // -103.27894 < x <= -87.33655: subnormal or tiny result
      *out = sexp_underflow_double(x);
      return kUnderflow;
    }
    *out = mul_rt(0x1p-126f, 0x1p-126f);  // +0, raising underflow and inexact
    return kUnderflow;
  }
};

// ---- LA ------------------------------------------------------------------------------------
struct SExpLA : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;

  // The shifter's low 20 bits are zero, so t's low bits hold N: j = t & 127, and t << 16 is
  // N << 16 = (m << 23) | (j << 16), whose top nine bits are m's exponent field.
  static f32x4 packed(f32x4 x) {
    const auto& c = kSExpLA;
    const auto& h = kSExpHA;  // same constant rows
    const f32x4 shifter = row(h.shifter);
    const f32x4 t = x * row(h.inv_ln2_128) + shifter;
    const f32x4 k = t - shifter;
    const f32x4 r = (x - k * row(h.c1)) - k * row(h.c2);
    const i32x4 tb = t.bits();
    uint32_t jj[4];
    lane_indices(tb & i32x4::splat(127), jj);
    const __m128i f01 = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int32_t>(c.f[jj[0]][0])),
                                           _mm_cvtsi32_si128(static_cast<int32_t>(c.f[jj[1]][0])));
    const __m128i f23 = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int32_t>(c.f[jj[2]][0])),
                                           _mm_cvtsi32_si128(static_cast<int32_t>(c.f[jj[3]][0])));
    const i32x4 f = _mm_unpacklo_epi64(f01, f23);
    const i32x4 s = (simd::shl(tb, 16) & i32x4::splat(static_cast<int32_t>(0xFF800000u))) + i32x4::splat(0x7F << 23);
    const f32x4 one = row(h.one);
    return (s | f).as_f32() * (one + r * (one + row(h.half) * r));
  }
  static int screen(f32x4 x) { return simd::mask_abs_above(x, 0x42AEAC4Fu); }

  static int element(const float* px, float* out) {
    const float x = *px;
    const uint32_t ix = bits_of(x), ax = ix & 0x7FFFFFFFu;
    if (ax > 0x7F800000u) {
      *out = x + x;
      return kOk;
    }
    if (ax == 0x7F800000u) {
      *out = (ix >> 31) ? 0.0f : x;
      return kOk;
    }
    if (ax < 0x42AEAC50u) {
      *out = packed_one<SExpLA>(x);
      return kOk;
    }
    if (!(ix >> 31)) {
      if (ix >= 0x42B17218u) {
        *out = mul_rt(0x1p127f, 0x1p127f);
        return kOverflow;
      }
      const SExpScalar q = sexp_reduce_scalar(x);
      const float p = 1.0f + q.r * (1.0f + 0.5f * q.r);
      const uint32_t f = kSExpLA.f[q.j][0];
      if (q.m + 127 > 254) {  // (2 | F[j]) * p * 2^127
        *out = mul_rt(float_of(0x40000000u | f) * p, 0x1p127f);
      } else {
        *out = mul_rt(float_of((static_cast<uint32_t>(q.m + 127) << 23) | f), p);
      }
      return kOk;
    }
    if (ix < 0xC2CE8ED1u) {
      *out = sexp_underflow_double(x);
      return kUnderflow;
    }
    *out = mul_rt(0x1p-126f, 0x1p-126f);
    return kUnderflow;
  }
};


// ---- EP ------------------------------------------------------------------------------------
struct alignas(16) SExpEPTable {
  uint32_t log2e[4];      // 0x3FB8AA3B 1.4426950
  uint32_t shifter[4];    // 0x4B400000 1.5 * 2^23
  uint32_t a1[4];         // 0x3F317422 0.69317830
  uint32_t a2[4];         // 0x3E77D66A 0.24202886
  uint32_t a3[4];         // 0x3D63582B 0.05550401
  uint32_t one[4];        // 1.0
  uint32_t threshold[4];  // 0x42AEAC4F 87.33654
  uint32_t filler[4];     // 0.75, for absent lanes of a partial block
};
inline constexpr SExpEPTable kSExpEP = {
    {0x3FB8AA3Bu, 0x3FB8AA3Bu, 0x3FB8AA3Bu, 0x3FB8AA3Bu}, {0x4B400000u, 0x4B400000u, 0x4B400000u, 0x4B400000u},
    {0x3F317422u, 0x3F317422u, 0x3F317422u, 0x3F317422u}, {0x3E77D66Au, 0x3E77D66Au, 0x3E77D66Au, 0x3E77D66Au},
    {0x3D63582Bu, 0x3D63582Bu, 0x3D63582Bu, 0x3D63582Bu}, {0x3F800000u, 0x3F800000u, 0x3F800000u, 0x3F800000u},
    {0x42AEAC4Fu, 0x42AEAC4Fu, 0x42AEAC4Fu, 0x42AEAC4Fu}, {0x3F400000u, 0x3F400000u, 0x3F400000u, 0x3F400000u},
};

struct SExpEP : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr bool kAlignPeel = true;

  static f32x4 packed(f32x4 x) {
    const auto& c = kSExpEP;
    const f32x4 y = x * row(c.log2e);
    const f32x4 shifter = row(c.shifter);
    const f32x4 t = y + shifter;
    const i32x4 n = t.bits() - shifter.bits();
    const f32x4 f = y - (t - shifter);
    const f32x4 p = row(c.one) + f * (row(c.a1) + f * (row(c.a2) + f * row(c.a3)));
    return (p.bits() + simd::shl(n, 23)).as_f32();
  }
  static int screen(f32x4 x) { return simd::mask_abs_above(x, 0x42AEAC4Fu); }

  // vsexp_cout_rare
  static int element(const float* px, float* out) {
    const float x = *px;
    const uint32_t ix = bits_of(x), ax = ix & 0x7FFFFFFFu;
    if (ax >= 0x7F800000u) {
      *out = (ix == 0xFF800000u) ? 0.0f : x * x;
      return kOk;
    }
    if (!(ix >> 31) && ix > 0x42B17217u) {  // x > 88.72283
      *out = mul_rt(0x1.fffffep127f, 0x1.fffffep127f);
      return kOverflow;
    }
    if ((ix >> 31) && ix > 0xC2CFF1B4u) {  // x < -103.97208
      *out = mul_rt(0x1p-149f, 0x1p-149f);
      return kUnderflow;
    }
    const float shifter = float_of(0x4B400000u);
    const float t = x * 1.442695f + shifter;
    const int32_t k = static_cast<int32_t>(bits_of(t) - 0x4B400000u);
    const float kf = t - shifter;
    const float r = (x - kf * float_of(0x3F317200u)) - kf * float_of(0x35BFBE8Eu);
    const float p =
        float_of(0x3F800001u) +
        r * (float_of(0x3F800001u) +
             r * (float_of(0x3EFFFE85u) + r * (float_of(0x3E2AA9C6u) + r * (float_of(0x3D2BB1B6u) + r * float_of(0x3C0950EFu)))));
    if ((ix >> 31) && ix > 0xC2AEAC4Fu) {  // x < -87.33654: subnormal result
      const float s = float_of(static_cast<uint32_t>(k + 60 + 127) << 23);
      *out = mul_rt(p * s, 0x1p-60f);
      return kUnderflow;
    }
    if (k < -127 || k > 127) {
      *out = mul_rt(p * float_of(static_cast<uint32_t>(k - 1 + 127) << 23), 2.0f);
      return kOk;
    }
    *out = mul_rt(p, float_of(static_cast<uint32_t>(k + 127) << 23));
    return kOk;
  }
};

}  // namespace qor::vm::exp_log
