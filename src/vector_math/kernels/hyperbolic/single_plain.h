// Single-precision hyperbolic functions and their inverses in plain double arithmetic on widened lanes, rounded once
// (every slot). The exponential is the single-precision powers' 2^t (power/spow_core.h: a
// 256-entry table and a degree-4 polynomial, within about 2^-47 relative); a = |x|:
//   Sinh: a < 1/2: a + a^3 P(a^2), the Taylor series to a^13 / 13! (truncation below 2^-45
//         relative); otherwise (E - 1/E) / 2 with E = e^a, which cancels by at most a factor
//         2.2 there.
//   Cosh: (E + 1/E) / 2.
//   Tanh: a < 1/16: the odd Taylor series to a^9 (truncation below 2^-46 relative); otherwise
//         (E2 - 1) / (E2 + 1) with E2 = e^(2 min(a, 20)) (the quotient rounds to 1 in single
//         precision long before 20), which cancels by at most a factor 8.5.
// The inverse functions are logarithms of 1 + t with t formed without cancellation, 1 + t carried
// as an exact sum yh + yl (TwoSum) into the double logarithm's LA core with its low-part
// correction (exp_log/dlog_core.h, ln_la2: below 1.5 double ulp, and relative near 1):
//   Asinh: t = a + a^2 / (1 + sqrt(1 + a^2)) (a^2 cannot overflow for a float a);
//   Acosh: d = a - 1 (exact), t = d + sqrt(d (2 + d)) (d (2 + d) exact: at most 49 bits);
//   Atanh: t = 2a / (1 - a) (1 - a exact), the logarithm halved.
// So every double result is within about 2^-42 relative of the exact value and the float result
// is the correctly rounded one except within that distance of a midpoint between floats, and
// then within 0.5 + 2^-18 ulp. Sinh and Cosh send |x| > 88 (and NaN, infinities) to the double
// formula's per-element routine (e^88 is below the float and 2^t ranges; overflow is judged
// there); the others send what their double formulas' screens send (NaN, infinities, the poles
// and arguments outside the domain). Arguments are clamped inside the domain first, so that the
// lanes sent away raise no spurious flags on the packed path.
#pragma once

#include "vector_math/kernels/hyperbolic/acosh.h"
#include "vector_math/kernels/hyperbolic/asinh.h"
#include "vector_math/kernels/hyperbolic/atanh.h"
#include "vector_math/kernels/hyperbolic/common.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/tanh.h"
#include "vector_math/kernels/power/spow_core.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// e^a for 0 <= a <= 88.7 (two lanes), within about 2^-47 relative.
QOR_SIMD_INLINE f64x2 exp_plain(f64x2 a) {
  f64x2 r;
  spow::exp2_half(a, kc<1.4426950408889634>(), r);
  return r;
}

struct PlainSinh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 a = abs(x);
    const f64x2 e = exp_plain(a);
    const f64x2 big = (e - kc<1.0>() / e) * kc<0.5>();
    const f64x2 z = a * a, z2 = z * z;
    const f64x2 p = (kc<1.0 / 6>() + z * kc<1.0 / 120>()) + z2 * (kc<1.0 / 5040>() + z * kc<1.0 / 362880>()) +
                    (z2 * z2) * (kc<1.0 / 39916800>() + z * kc<1.0 / 6227020800>());
    const f64x2 small = a + (a * z) * p;
    return select(cmp_lt(a, kc<0.5>()), small, big) | sign_bits(x);
  }
};
struct PlainCosh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 e = exp_plain(abs(x));
    return (e + kc<1.0>() / e) * kc<0.5>();
  }
};
struct PlainTanh {
  static QOR_SIMD_INLINE f64x2 half(f64x2 x) {
    const f64x2 a = abs(x);
    const f64x2 e2 = exp_plain(min(a, kc<20.0>()) * kc<2.0>());
    const f64x2 big = (e2 - kc<1.0>()) / (e2 + kc<1.0>());
    const f64x2 z = a * a, z2 = z * z;
    // tanh a = a - a^3/3 + 2a^5/15 - 17a^7/315 + 62a^9/2835 - ...
    const f64x2 p = (kc<-1.0 / 3>() + z * kc<2.0 / 15>()) + z2 * (kc<-17.0 / 315>() + z * kc<62.0 / 2835>());
    const f64x2 small = a + (a * z) * p;
    return select(cmp_lt(a, kc<0.0625>()), small, big) | sign_bits(x);
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
using SSinhPlain = SPlain<PlainSinh, DSinh, AbsAbove<0x42B00000>>;  // |x| > 88
using SCoshPlain = SPlain<PlainCosh, DCosh, AbsAbove<0x42B00000>>;
using STanhPlain = SPlain<PlainTanh, DTanh, NanOrInf>;
using SAsinhPlain = SPlain<PlainAsinh, DAsinh, NanOrInf>;
using SAcoshPlain = SPlain<PlainAcosh, DAcosh, OutsideClosedOpen<1.0f, INFINITY>>;
using SAtanhPlain = SPlain<PlainAtanh, DAtanh, AbsAbove<0x3F7FFFFF>>;  // |x| >= 1, NaN

}  // namespace
}  // namespace qor::vm::hyperbolic
