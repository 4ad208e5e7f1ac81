// Single-precision Tanh (HA) and the inverse hyperbolic functions (the HA slots they hold) in plain
// double arithmetic on widened lanes, rounded once. Tanh takes a split exponential (exp_split
// below: e^a and e^-a as table values times cosh u +- sinh u of a reduced u), a = |x| clamped to
// 20, as the quotient (dm C + dp S) / (dp C + dm S) = sinh a / cosh a. No series of a, no
// selection and no reciprocal of e^a: near 0 the formula is the series of a itself, so nothing
// cancels. (Sinh and Cosh HA compute in float with their leading terms carried exactly,
// single_ha.h.)
// The inverse functions are logarithms of 1 + t with t formed without cancellation, 1 + t carried
// as an exact sum yh + yl (TwoSum) into the double logarithm's LA core with its low-part
// correction (exp_log/dlog_core.h, ln_la2: below 1.5 double ulp, and relative near 1):
//   Asinh: t = a + a^2 / (1 + sqrt(1 + a^2)) (a^2 cannot overflow for a float a);
//   Acosh: d = a - 1 (exact), t = d + sqrt(d (2 + d)) (d (2 + d) exact: at most 49 bits);
//   Atanh: t = 2a / (1 - a) (1 - a exact), the logarithm halved.
// So every double result is within about 2^-42 relative of the exact value and the float result
// is the correctly rounded one except within that distance of a midpoint between floats, and
// then within 0.5 + 2^-18 ulp. The kernels send what their double formulas' screens send (NaN,
// infinities, the poles and arguments outside the domain) to the double formula's per-element
// routine. Arguments are clamped inside the domain first, so that the lanes sent away raise no
// spurious flags on the packed path.
#pragma once

#include "vector_math/kernels/hyperbolic/acosh.h"
#include "vector_math/kernels/hyperbolic/asinh.h"
#include "vector_math/kernels/hyperbolic/atanh.h"
#include "vector_math/kernels/hyperbolic/common.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/tanh.h"
#include "vector_math/kernels/exp_log/dexp_t256.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// e^a and e^-a for 0 <= a <= 88.5 (two lanes) in the split form
//     e^+-a = 2^(+-N/256) (C +- S),  C = cosh u, S = sinh u,
// with N = round(256 a / ln 2) through the shifter and u = a - N ln2/256 (Cody-Waite, ln2/256 in
// a 36-bit part and the rest, so that N times the first part is exact; |u| <= ln2/512).
// 2^(N/256) and 2^(-N/256) come from one 16-byte row of kExpPairT256 (below): the rounding of
// 2^(N/256 mod 1) (the exponentials' table entry biased by its index, see dexp_t256.h) and that of
// 2^(-N/256 mod 1), scaled by adding N << 44 to the first and subtracting it from the second
// (-N rounds like N: the shifter's rounding is symmetric). The polynomials are the Taylor
// series to u^3 / 3! and u^4 / 4! (truncation below 2^-45 and 2^-66 relative). Returned as
//     dp = (2^(N/256) + 2^(-N/256)) / 2,  dm = (2^(N/256) - 2^(-N/256)) / 2,
// so that sinh a = dm C + dp S, cosh a = dp C + dm S, tanh a = sinh a / cosh a, with no
// division (but Tanh's), no series of a and no selection: at N = 0, dm = 0 and sinh a = S is
// the series of a itself (u = a exactly); at |N| = 1 the difference dm has the largest relative
// error, about 2^-44.5 (the two table roundings against 0.0027); elsewhere the error is about
// 2^-45 relative. Float results are therefore correctly rounded except within about 2^-44 of a
// midpoint between floats, and then within 0.5 + 2^-20 ulp.
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

struct ExpSplit {
  f64x2 dp, dm, c, s;
};
QOR_SIMD_INLINE ExpSplit exp_split(f64x2 a) {
  const f64x2 sp = a * kc<369.3299304675746>() + kc<0x1.8p52>();
  const f64x2 n = sp - kc<0x1.8p52>();
  const f64x2 u = (a - n * kc<0x1.62e42fefa0000p-9>()) - n * kc<0x1.cf79abc9e3b3ap-48>();
  f64x2 bp, bm;
  gather_rows<255>(kExpPairT256.e, sp, bp, bm);
  const __m128i sh = _mm_slli_epi64(sp.bits().v, 44);
  const f64x2 tp = _mm_castsi128_pd(_mm_add_epi64(bp.bits().v, sh));
  const f64x2 tm = _mm_castsi128_pd(_mm_sub_epi64(bm.bits().v, sh));
  const f64x2 u2 = u * u;
  ExpSplit o;
  o.dp = tp + tm;  // the table halves: tp = 2^(N/256) / 2, tm = 2^(-N/256) / 2
  o.dm = tp - tm;
  o.s = u + (u * u2) * kc<1.0 / 6>();
  o.c = kc<1.0>() + u2 * (kc<0.5>() + u2 * kc<1.0 / 24>());
  return o;
}

struct PlainTanh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    // beyond 20 the quotient rounds to 1 in single precision
    const ExpSplit e = exp_split(min(abs(x), kc<20.0>()));
    return ((e.dm * e.c + e.dp * e.s) / (e.dp * e.c + e.dm * e.s)) | sign_bits(x);
  }
};

struct PlainAsinh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 a = min(abs(x), kc<0x1.fffffep127>());
    const f64x2 a2 = a * a;
    return log1p_plain(a + a2 / (kc<1.0>() + roots::sqrt(kc<1.0>() + a2))) | sign_bits(x);
  }
};
struct PlainAcosh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 d = max(min(x, kc<0x1.fffffep127>()) - kc<1.0>(), f64x2());
    return log1p_plain(d + roots::sqrt(d * (kc<2.0>() + d)));
  }
};
struct PlainAtanh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 a = min(abs(x), kc<0x1.fffffep-1>());
    return (log1p_plain((a + a) / (kc<1.0>() - a)) * kc<0.5>()) | sign_bits(x);
  }
};

// The plain formula on the packed path; the screen and per-element routine of SViaD (the double
// formula, rounded once).
template <class Plain, class D, class Screen>
struct SPlain : SViaD<D, Screen> {
  static f32x4 packed(f32x4 x) { return narrow(Plain::half(widen_lo(x)), Plain::half(widen_hi(x))); }
};
using STanhPlain = SPlain<PlainTanh, DTanh, NanOrInf>;
using SAsinhPlain = SPlain<PlainAsinh, DAsinh, NanOrInf>;
using SAcoshPlain = SPlain<PlainAcosh, DAcosh, OutsideClosedOpen<1.0f, INFINITY>>;
using SAtanhPlain = SPlain<PlainAtanh, DAtanh, AbsAbove<0x3F7FFFFF>>;  // |x| >= 1, NaN

}  // namespace
}  // namespace qor::vm::hyperbolic
