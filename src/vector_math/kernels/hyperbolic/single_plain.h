// The HA slots of single-precision Asinh, Acosh and Atanh: plain double arithmetic on widened
// lanes, rounded once to float, with a table-free logarithm (ln_poly below; Atanh shares its
// division with the quotient of its argument). Tanh HA is in single_ha.h (float reduction,
// double tail), Sinh and Cosh HA compute in float with their leading terms carried exactly
// (single_ha.h); the LA and EP slots are float kernels (single_float.h).
//   Asinh: ln(a + sqrt(1 + a^2)), a = |x| (a^2 exact: at most 48 bits); below 2^-12,
//          a - a^3/6 (the next term is 2^-50 of a; above 2^-12 the rounding of y = a + sqrt(..)
//          costs at most 2^-41 relative of the result);
//   Acosh: ln(x + sqrt((x - 1)(x + 1))) ((x - 1)(x + 1) exact: at most 49 bits; the result
//          is at least 2^-11.5, so the rounding of y costs at most 2^-42 of it);
//   Atanh: k from the float quotient (1 + a) / (1 - a), P = 2^k,
//          s = ((1 - P) + a (1 + P)) / ((1 + P) + a (1 - P))  (= (m - 1) / (m + 1) for
//          m = (1 + a) / (1 - a) 2^-k; the products exact, each sum rounded once),
//          atanh a = k ln2 / 2 + s (1 + z/3 + ... + z^6/13), z = s^2: at k = 0, s = a itself,
//          so the formula is the series near 0 (subnormal arguments come back unchanged).
// Each double result is within about 2^-39 relative of the exact value, so the float result is
// the correctly rounded one except within 2^-15 ulp of a midpoint between floats: over all
// single-precision inputs the three slots are within 0.5000 ulp (every result correctly
// rounded, qor_accuracy --single-only).
// The kernels send what their double formulas' screens send (NaN, infinities, the poles and
// arguments outside the domain) to the double formula's per-element routine. Arguments are
// clamped inside the domain first, so that the lanes sent away raise no spurious flags on the
// packed path.
#pragma once

#include "vector_math/kernels/hyperbolic/acosh.h"
#include "vector_math/kernels/hyperbolic/asinh.h"
#include "vector_math/kernels/hyperbolic/atanh.h"
#include "vector_math/kernels/hyperbolic/common.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// 2^(N/256) and 2^(-N/256) for N mod 256 in one 16-byte row (the double LA and EP kernels'
// split exponential, double_la.h): the exponentials' table entry biased by its index (see
// dexp_t256.h) and that of 2^(-N/256 mod 1), both halved, scaled by adding N << 44 to the first
// and subtracting it from the second.
struct alignas(16) ExpPairT256 {
  double e[256][2];  // {B_j, B_(-j mod 256)} / 2: the biased patterns of 2^(j/256), 2^(-j/256 mod 1), halved
};
constexpr ExpPairT256 make_exp_pair_t256() {
  ExpPairT256 t{};
  for (int j = 0; j < 256; ++j) {
    t.e[j][0] = exp_log::kDExpT256.e[j][0] * 0.5;  // exact: the patterns' exponent fields step down
    t.e[j][1] = exp_log::kDExpT256.e[(256 - j) & 255][0] * 0.5;
  }
  return t;
}
inline constexpr ExpPairT256 kExpPairT256 = make_exp_pair_t256();

// t (1 + z/3 + z^2/5 + ... + z^6/13) for t = 2s or s, z = s^2: the series of 2 atanh s (ln_poly) or
// atanh s (Atanh), truncated below 2^-39.5 relative for z <= 0.0295.
QOR_SIMD_INLINE f64x2 atanh_series(f64x2 t, f64x2 s) {
  const f64x2 z = s * s;
  const f64x2 p = z * (kc<1.0 / 3>() + z * (kc<1.0 / 5>() + z * (kc<1.0 / 7>() + z * (kc<1.0 / 9>() + z * (kc<1.0 / 11>() + z * kc<1.0 / 13>())))));
  return t + t * p;
}

// ln y for y >= 1 (two lanes; y below 2^130), table-free: y = 2^k m, m in [sqrt(1/2), sqrt(2)),
// f = m - 1 (exact), s = f / (2 + f), ln m = 2 atanh s = 2s (1 + z/3 + ... + z^6/13), z = s^2
// <= 0.0295 (truncation below 2^-39.5 relative); k ln 2 + ln m cancel by at most a factor 2.
QOR_SIMD_INLINE f64x2 ln_poly(f64x2 y) {
  const i64x2 t = y.bits() - kl<0x3FE6A09E667F3BCDll>();  // y >= sqrt(1/2): t >= 0
  const f64x2 k = (shr_logical(t, 52) | kl<0x4330000000000000ll>()).as_f64() - kc<0x1p52>();
  const f64x2 m = ((t & kl<0x000FFFFFFFFFFFFFll>()) + kl<0x3FE6A09E667F3BCDll>()).as_f64();
  const f64x2 f = m - kc<1.0>();
  const f64x2 s = f / (f + kc<2.0>());
  return k * kc<0x1.62e42fefa39efp-1>() + atanh_series(s + s, s);
}

struct PlainAsinh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 a = min(abs(x), kc<0x1.fffffep127>());
    const f64x2 a2 = a * a;
    const f64x2 r = ln_poly(a + roots::sqrt(kc<1.0>() + a2));
    const f64x2 small = a - a * (a2 * kc<1.0 / 6>());
    return select(cmp_lt(a, kc<0x1p-12>()), small, r) | sign_bits(x);
  }
};
struct PlainAcosh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 xc = max(min(x, kc<0x1.fffffep127>()), kc<1.0>());
    return ln_poly(xc + roots::sqrt((xc - kc<1.0>()) * (xc + kc<1.0>())));
  }
};
// Atanh: k from the float quotient (1 + a) / (1 - a) (its bits: any k with m = q 2^-k near
// [sqrt(1/2), sqrt(2)) serves), then with P = 2^k
//   s = ((1 - P) + a (1 + P)) / ((1 + P) + a (1 - P)) = (m - 1) / (m + 1),
//   atanh a = k ln2/2 + atanh s,  atanh s = s (1 + z/3 + ... + z^6/13),
// the products exact and each sum rounded once, so s is within 2^-52 relative; at k = 0, s = a.
struct PlainAtanh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 a, f64x2 p, f64x2 k) {
    const f64x2 one = kc<1.0>();
    const f64x2 pp = one + p, pm = one - p;
    const f64x2 s = (pm + a * pp) / (pp + a * pm);
    return k * kc<0x1.62e42fefa39efp-2>() + atanh_series(s, s);
  }
  static QOR_SIMD_INLINE f32x4 quad(f32x4 x) {
    const f32x4 a = min(abs(x), cst<0x1.fffffep-1f>());
    const f32x4 qf = (cst<1.0f>() + a) / (cst<1.0f>() - a);
    const i32x4 k = simd::shr_arith(qf.bits() - i32x4::splat(0x3F3504F3), 23);
    const f32x4 p = (simd::shl(k, 23) + i32x4::splat(0x3F800000)).as_f32();
    const __m128i kh = _mm_shuffle_epi32(k.v, _MM_SHUFFLE(3, 2, 3, 2));
    const f32x4 r = narrow(half(widen_lo(a), widen_lo(p), _mm_cvtepi32_pd(k.v)),
                           half(widen_hi(a), widen_hi(p), _mm_cvtepi32_pd(kh)));
    return r | sign_bits(x);
  }
};

// The plain formula on the packed path; the screen and per-element routine of SViaD (the double
// formula, rounded once).
template <class Plain, class D, class Screen>
struct SPlain : SViaD<D, Screen> {
  static f32x4 packed(f32x4 x) {
    if constexpr (requires { Plain::quad(x); }) return Plain::quad(x);
    else return narrow(Plain::half(widen_lo(x)), Plain::half(widen_hi(x)));
  }
};
using SAsinhPlain = SPlain<PlainAsinh, DAsinh, NanOrInf>;
using SAcoshPlain = SPlain<PlainAcosh, DAcosh, OutsideClosedOpen<1.0f, INFINITY>>;
using SAtanhPlain = SPlain<PlainAtanh, DAtanh, AbsAbove<0x3F7FFFFF>>;  // |x| >= 1, NaN

}  // namespace
}  // namespace qor::vm::hyperbolic
