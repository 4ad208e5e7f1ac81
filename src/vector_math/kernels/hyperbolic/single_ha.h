// Single-precision Sinh, Cosh and Tanh HA. Sinh and Cosh in float arithmetic on four lanes, the
// leading terms carried exactly and the small ones summed once at the end (the LA kernels of
// single_float.h round every term; the widened double formulas of single_plain.h pay for two
// registers). The kernels are bound by the length of their dependency chains and by their
// instruction count alike (two-operand SSE: a value still needed costs a copy), so the formulas
// below are arranged for both; their code-path files (hyperbolic_ha_w7.cpp, _v8.cpp) are also
// scheduled before register allocation, which interleaves the two registers of a block.
//
// a = min(|x|, 86) (the lanes it moves, |x| > 86, infinities and NaN, take the double formula
// per element; one absolute value and one comparison serve the screen and the formula), n =
// round(a / ln 2) through a magic number (0 <= n <= 124), hp = 2^(n-1) and hm = 2^(-n-1) >=
// 2^-125 from its low bits, r = a - n ln 2 as rh + rl (Cody-Waite: ln 2 = A_hi + A_lo with A_hi
// a multiple of 2^-16, so that rh = a - n A_hi is exact; rl = -n A_lo), |r| <= ln 2 / 2, and at
// half scale (no final halving)
//     sinh a = dm C + dp S,  cosh a = dp C + dm S,  dp = hp + hm, dm = hp - hm,
//     C = cosh r = 1 + r^2 cp,  S = sinh r = rh + rl + r^3 sp,
// cp the LA kernels' minimax polynomial (2^-30 of cosh r), sp = 1/3! + r^2/5! + r^4/7! (2^-30.7
// of r) for Sinh, where dp S carries the cancellation at n = 1, and the LA kernels' minimax pair
// (2^-26.2 of sinh r) for Cosh, where dm S is at most 0.2 of the result (+0.04 ulp; the pair costs
// Sinh 0.14 ulp), by Horner's scheme (in pairs, cp's top rounding cost 0.93 ulp for Sinh). dm is
// exact for n <= 12, dp for n <= 11; beyond, they round to hp and their error -hm (+hm) joins
// the small terms (the mask "big").
// The leading terms are formed exactly:
//   - Sinh: dm + head, head = hs rh, hs = max(hp, 1) = dp at n = 0 and hp for n >= 1 (a power of
//     2 times rh, exact), by Fast2Sum (dm >= |head|: dm >= 0.375 2^n, |head| <= 0.35 2^(n-1); at n = 0,
//     dm = 0 and s = rh = a exactly, so that subnormal arguments come back unchanged); hm rh
//     (n >= 1; its factor min(hm, dm) is dm = 0 at n = 0 and hm beyond, where dm >= 3 hm) joins
//     the small terms, last (it is the largest of them: 0.24 of the result at n = 1, r = -ln 2 / 2, where
//     the leading sum cancels by a factor 2.2);
//   - Cosh: dp + hp rh by Fast2Sum, -hm rh among the small terms (at most 0.09 of the result).
// The products of hm with rh (0 or at least 2^-25 for n >= 1) and with rh - 1 (n >= 13) stay
// normal for n <= 124 (the clamp at 86), so that no underflow flag arises. The small terms,
// ((se + dp rl) + r^2 (dm cp + (dp r) sp)) + hm (rh - big) for Sinh and ((se + dm rl) +
// r^2 (dp cp + (dm r) sp)) + hm (big - rh) for Cosh (se the Fast2Sum's error; the two polynomial
// terms, ready last, summed apart), are summed in float and the result rounded once; their
// roundings reach the result most where Sinh cancels (n = 1, |x| a little above ln 2 / 2) and,
// for Cosh, just above |x| = 1.5 ln 2 (n = 2, r near -ln 2 / 2): over every single-precision
// input within 0.8248 (Sinh, x = 0.3527) and 0.7999 ulp (Cosh, x = -3.8128). Sinh takes x's sign
// bit (x ^ |x|, formed with the screen's |x|) onto the result at the end (-0 stays -0).
//
// Tanh HA evaluates one of 325 polynomials chosen per lane (tables/stanh_rows.inc, made by
// tools/gen_tanh_rows with MPFR), all in float: a = min(|x|, 9.125) (tanh rounds to 1 from
// 9.0109 on), row 0 for a < 2^-7 (1 + 1/32), tanh a = a + c3 a^3 (relative error 2^-31.7; a
// subnormal a comes back unchanged); row j >= 1 for the j-th thirty-second of a binade from 2^-7 up to
// [9, 9.25), found from the exponent and the five leading mantissa bits of max(a, 2^-7). Each
// row holds a point m where tanh m is within 2^-11 ulp of the float c0 (near the middle of the
// interval; a little below it for the last two, where tanh changes by less than an ulp across)
// and a degree-4 fit of tanh(m + t) - tanh m:
//     tanh a = c0 + (c1 t + t^2 (c2 + c3 t + c4 t^2)),  t = a - m  (exact: a, m within a factor 2).
// The tail is at most 1/64 of c0 (|t| <= a / 64, tanh' <= tanh a / a), so its rounding errors
// and the fits' (below 2^-27 of the tail) reach the result as a few hundredths of an ulp, and
// the one rounding that counts is the last addition: over every single-precision input within
// 0.5394 ulp (99.989% correctly rounded). The row is gathered as one 16-byte load per lane
// (c0 .. c3, transposed) and one 8-byte load (c4, m) per lane, two lanes to a register. The
// widened double quotient this replaces (0.5664 ulp) took twice the time.
#pragma once

#include "vector_math/kernels/hyperbolic/single_float.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

#include "vector_math/kernels/hyperbolic/tables/stanh_rows.inc"

// Constant rows (each value four times), read through opaque() as memory operands.
struct alignas(16) SSinhCoshHARows {
  float log2e[4];
  float ln2_hi[4], nln2_lo[4];  // ln 2 = A_hi + A_lo, A_hi a multiple of 2^-16 (the row holds -A_lo)
  float s[3][4];                // sinh r - r = r^3 (s[0] + s[1] r^2 + s[2] r^4): 1/3!, 1/5!, 1/7!
  float c[3][4];                // cosh r - 1 = r^2 (c[0] + c[1] r^2 + c[2] r^4), minimax (2^-30)
  float s2[2][4];               // Cosh: sinh r - r = r^3 (s2[0] + s2[1] r^2), minimax (2^-26.2 of sinh r)
  // a / ln 2 + magic rounds to n + 126 in the low bits (its ulp 1), which shifted by 23 is
  // 2^(n-1); 252 << 23 less that is 2^(-n-1) (at least 2^-125: n <= 124).
  float magic[4];
  uint32_t bias2[4];
  uint32_t hp12[4], hp11[4];  // the bits of 2^(n-1) at n = 12 and 11
  float one[4];
};
#define QOR_R4(v) {v, v, v, v}
inline constexpr SSinhCoshHARows kSSinhCoshHARows = {
    QOR_R4(0x1.715476p0f),
    QOR_R4(0x1.62e4p-1f),
    QOR_R4(-0x1.7f7d1cp-20f),
    {QOR_R4(0x1.555556p-3f), QOR_R4(0x1.111112p-7f), QOR_R4(0x1.a01a02p-13f)},
    {QOR_R4(0x1p-1f), QOR_R4(0x1.55548p-5f), QOR_R4(0x1.6d9626p-10f)},
    {QOR_R4(0x1.5554bp-3f), QOR_R4(0x1.12278ap-7f)},
    QOR_R4(0x1.8p23f + 126.0f),
    QOR_R4(252u << 23),
    QOR_R4((126u + 12u) << 23),
    QOR_R4((126u + 11u) << 23),
    QOR_R4(1.0f)};
#undef QOR_R4

// |x| clamped to 86 (NaN gives 86: minps returns its second operand) and the lanes the clamp
// moves (|x| > 86, infinities, NaN): one absolute value, one minimum and one comparison for the
// screen and the formula together.
struct AbsClampMoves {
  static f32x4 clamp(f32x4 x) { return min(abs(x), cst<86.0f>()); }
  static int moved(f32x4 x, f32x4 a) { return mask(f32x4(_mm_cmpneq_ps(abs(x).v, a.v))); }
  static int screen(f32x4 x) { return moved(x, clamp(x)); }
};

// The shared reduction of a = |x| (0 <= a <= 86), at half scale.
struct SplitHA {
  i32x4 hpi;       // the bits of hp
  f32x4 hp, hm;    // 2^(n-1), 2^(-n-1)
  f32x4 dp, dm;    // hp + hm, hp - hm (rounded: dm for n >= 13, dp for n >= 12)
  f32x4 rh, rl;    // a - n A_hi (exact), -n A_lo
  f32x4 r, r2;     // r = rh + rl, r^2
  f32x4 cp, sp;    // cosh r - 1 = r^2 cp, sinh r - r = r^3 sp (kShortS: sp of two terms)
};
template <bool kShortS>
QOR_SIMD_INLINE SplitHA split_ha(const SSinhCoshHARows& c, f32x4 a) {
  SplitHA o;
  const f32x4 t = a * row(c.log2e) + row(c.magic);
  o.hpi = simd::shl(t.bits(), 23);
  o.hp = o.hpi.as_f32();
  o.hm = (irow(c.bias2) - o.hpi).as_f32();
  const f32x4 nf = t - row(c.magic);  // n (exact)
  o.rh = a - nf * row(c.ln2_hi);
  o.rl = nf * row(c.nln2_lo);
  o.r = o.rh + o.rl;
  o.r2 = o.r * o.r;
  o.cp = row(c.c[0]) + o.r2 * (row(c.c[1]) + o.r2 * row(c.c[2]));
  if constexpr (kShortS) o.sp = row(c.s2[0]) + o.r2 * row(c.s2[1]);
  else o.sp = row(c.s[0]) + o.r2 * (row(c.s[1]) + o.r2 * row(c.s[2]));
  o.dp = o.hp + o.hm;
  o.dm = o.hp - o.hm;
  return o;
}

struct FSinhHA {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) { return eval_clamped(x, AbsClampMoves::clamp(x)); }
  static QOR_SIMD_INLINE f32x4 eval_clamped(f32x4 x, f32x4 a) {
    const SSinhCoshHARows& c = opaque(kSSinhCoshHARows);
    // x's sign bit, taken while |x| is at hand (x itself need not live to the end)
    const f32x4 sgn = _mm_xor_ps(x.v, abs(x).v);
    const SplitHA e = split_ha<false>(c, a);
    // 1 where dm is rounded (n >= 13: to hp, its error -hm joins the rest)
    const f32x4 big = simd::cmp_gt(e.hpi, irow(c.hp12)).as_f32() & row(c.one);
    // the exact head: dp rh = rh at n = 0, hp rh beyond (hm rh joins the rest, 0 at n = 0:
    // min(hm, dm) is dm = 0 there and hm beyond, where dm >= 3 hm)
    const f32x4 head = max(e.hp, row(c.one)) * e.rh;
    const f32x4 hmz = min(e.hm, e.dm);
    const f32x4 s = e.dm + head;  // Fast2Sum: dm >= |head|, or dm = 0
    const f32x4 se = (e.dm - s) + head;
    // the two polynomial terms summed apart (they are ready last), hm (rh - big) last
    const f32x4 rest = ((se + e.dp * e.rl) + e.r2 * (e.dm * e.cp + (e.dp * e.r) * e.sp)) + hmz * (e.rh - big);
    return (s + rest) | sgn;
  }
};
struct FCoshHA {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) { return eval_clamped(AbsClampMoves::clamp(x)); }
  static QOR_SIMD_INLINE f32x4 eval_clamped(f32x4 a) {
    const SSinhCoshHARows& c = opaque(kSSinhCoshHARows);
    const SplitHA e = split_ha<true>(c, a);
    // 1 where dp is rounded (n >= 12: to hp, its error hm joins the rest)
    const f32x4 big = simd::cmp_gt(e.hpi, irow(c.hp11)).as_f32() & row(c.one);
    const f32x4 head = e.hp * e.rh;  // exact
    const f32x4 s = e.dp + head;     // Fast2Sum: dp > |head|
    const f32x4 se = (e.dp - s) + head;
    const f32x4 rest = ((se + e.dm * e.rl) + e.r2 * (e.dp * e.cp + (e.dm * e.r) * e.sp)) + e.hm * (big - e.rh);
    return s + rest;
  }
};

// Tanh HA: a = min(|x|, 9.125) (tanh 9.125 rounds to 1; NaN gives 9.125, so that every lane
// reads a row of the table), the row j of kSTanhRows from the bits of max(a, 2^-7) (exponent and
// five leading mantissa bits, less those of 2^-7), t = a - m (exact),
//     tanh a = c0 + (c1 t + t^2 (c2 + c3 t + c4 t^2)),
// x's sign put back. The row's first four columns come as one 16-byte load per lane, transposed;
// c4 and m as 8-byte loads, two lanes to a register, and two shuffles (through __m128i and
// __m64 pointers, which may alias the floats). The powers of t are formed from tp, t with the
// lanes a < 2^-40 cleared (in row 0: m = 0, t = a): there a + c3 a^3 rounds to a, but a^2 (below
// 2^-63) and a^3 (below 2^-41.5) would underflow and raise the underflow flag for a normal
// result; from 2^-40 up every power and product stays normal.
struct FTanhHA {
  template <int kLane>
  static QOR_SIMD_INLINE const float* row_of(__m128i off, const char* base) {
    if constexpr (kLane != 0) off = _mm_shuffle_epi32(off, kLane);
    return reinterpret_cast<const float*>(base + _mm_cvtsi128_si32(off));
  }
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const f32x4 a = min(abs(x), cst<9.125f>());
    const __m128i j = _mm_sub_epi32(_mm_srli_epi32(max(a, cst<0x1p-7f>()).bits().v, 18), _mm_set1_epi32(0x3C000000 >> 18));
    const __m128i off = _mm_slli_epi32(j, 5);  // 32 bytes a row
    const char* base = reinterpret_cast<const char*>(&kSTanhRows[0][0]);
    const float *p0 = row_of<0>(off, base), *p1 = row_of<1>(off, base), *p2 = row_of<2>(off, base), *p3 = row_of<3>(off, base);
    __m128 c0 = _mm_load_ps(p0), c1 = _mm_load_ps(p1), c2 = _mm_load_ps(p2), c3 = _mm_load_ps(p3);
    _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
    const __m128 lo = _mm_loadh_pi(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p0 + 4))), reinterpret_cast<const __m64*>(p1 + 4));
    const __m128 hi = _mm_loadh_pi(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p2 + 4))), reinterpret_cast<const __m64*>(p3 + 4));
    const f32x4 c4 = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
    const f32x4 m = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
    const f32x4 t = a - m;
    const f32x4 tp = t & cmp_le(cst<0x1p-40f>(), a);
    const f32x4 t2 = tp * tp;
    const f32x4 q = (f32x4(c2) + f32x4(c3) * tp) + c4 * t2;
    return (f32x4(c0) + (f32x4(c1) * t + t2 * q)) | sign_bits(x);
  }
};

using SSinhHA = SFloat<FSinhHA, SSinh, AbsClampMoves>;  // |x| > 86, NaN
using SCoshHA = SFloat<FCoshHA, SCosh, AbsClampMoves>;
using STanhHA = SFloat<FTanhHA, STanh, NanOnly>;

}  // namespace
}  // namespace qor::vm::hyperbolic
