// What the hyperbolic kernels (cosh.h, sinh.h, tanh.h, acosh.h, asinh.h, atanh.h) share.
//
// Double precision works on double-double intermediates (a value as hi + lo) built with exact
// sums and products, so that the result is rounded once at the end:
//   - e^a from the exponential's core (exp_log/dexp_core.h: 2^n (T + rest), T + rest within
//     about 0.01 ulp) and its reciprocal 2^-n / (T + rest) with its residual;
//   - the logarithm of hi + lo through the logarithm's HA core (exp_log/dlog_core.h: ln_ha2,
//     with lo joining the reduced argument as Log1p's correction does), so that ln(1 + tiny)
//     and ln of a sum that rounds loses nothing.
// Single precision evaluates the double-precision packed formulas on widened lanes and rounds
// once (SViaD): within 0.5 ulp plus about 2^-20.
#pragma once

#include <emmintrin.h>

#include <cmath>

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/roots/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

using exp_log::DExpCore;
using exp_log::RedExp;
using roots::split;
using roots::two_prod;

// s + e = a + b exactly (Knuth's TwoSum, no condition on the magnitudes).
QOR_SIMD_INLINE void two_sum(f64x2 a, f64x2 b, f64x2& s, f64x2& e) {
  s = a + b;
  const f64x2 bb = s - a;
  e = (a - (s - bb)) + (b - bb);
}

// e^a = eh + el and e^-a = ih + il (double-doubles: |el| <= ulp(eh) / 2) for 0 <= a <= 709 (eh + el within about 2^-60 relative;
// ih + il likewise, except below 2^-1022 where it is negligible beside e^a or flushed to 0).
struct ExpPair {
  f64x2 eh, el, ih, il;
};
QOR_SIMD_INLINE ExpPair exp_pair(f64x2 a) {
  f64x2 t, th;
  const f64x2 rest = DExpCore<RedExp>::parts(a, t, th);
  const f64x2 sc = exp_log::scale_of(t);
  // 2^-n: the exponent field mirrored (0 for n = 1023)
  const f64x2 isc = (kl<0x7FE0000000000000ll>() - (sc.bits() & kl<0x7FF0000000000000ll>())).as_f64();
  const f64x2 m = th + rest;
  const f64x2 ml = (th - m) + rest;  // Fast2Sum: |rest| < th
  const f64x2 ih = kc<1.0>() / m;
  f64x2 p, pe;
  two_prod(ih, th, p, pe);
  const f64x2 res = ((kc<1.0>() - p) - pe) - ih * rest;  // 1 - ih (th + rest)
  ExpPair o;
  o.eh = m * sc;
  o.el = ml * sc;
  o.ih = ih * isc;
  o.il = (ih * res) * isc;
  return o;
}

// e^a / 2 for one element, 709 <= a <= 710.5, rounded once (+inf beyond the range).
inline double half_exp_large(double a) {
  f64x2 t, th;
  const f64x2 rest = DExpCore<RedExp>::parts(f64x2::splat(a), t, th);
  return exp_log::scale_two_step(lane0(th + rest), exp_log::n_of(t) - 1);
}

// ln(yh + yl) + k ln 2 for yh positive normal and |yl| at most about an ulp of yh.
QOR_SIMD_INLINE f64x2 ln_dd(f64x2 yh, f64x2 yl, f64x2 kadd = f64x2()) {
  const exp_log::dlogk::Reduced4 q = exp_log::dlogk::reduce4(exp_log::dlogk::high_words(yh, yh));
  // yl 2^-e (e the exponent of yh), times the row's reciprocal: the correction of u
  const f64x2 inv = (kl<0x7FE0000000000000ll>() - (yh.bits() & kl<0x7FF0000000000000ll>())).as_f64();
  const f64x2 du = (yl * inv) * exp_log::dlogk::load_r(q.o[0], q.o[1]);
  return exp_log::dlogk::ln_ha2<true>(yh, q.k0 + kadd, q.o[0], q.o[1], du);
}

// ln(1 + t) for t >= 0 (two lanes): 1 + t = yh + yl exactly, then the LA logarithm of yh with
// yl joining its reduced argument.
QOR_SIMD_INLINE f64x2 log1p_plain(f64x2 t) {
  f64x2 yh, yl;
  two_sum(kc<1.0>(), t, yh, yl);
  const exp_log::dlogk::Reduced4 q = exp_log::dlogk::reduce4(exp_log::dlogk::high_words(yh, yh));
  // yl 2^-e (e the exponent of yh), times the row's reciprocal: the correction of u
  const f64x2 inv = (kl<0x7FE0000000000000ll>() - (yh.bits() & kl<0x7FF0000000000000ll>())).as_f64();
  const f64x2 du = (yl * inv) * exp_log::dlogk::load_r(q.o[0], q.o[1]);
  return exp_log::dlogk::ln_la2(yh, q.k0, q.o[0], q.o[1], du);
}

// sqrt(bh + bl) = sh + sl for bh positive normal, |bl| small against bh.
QOR_SIMD_INLINE void sqrt_dd(f64x2 bh, f64x2 bl, f64x2& sh, f64x2& sl) {
  sh = roots::sqrt(bh);
  f64x2 p, pe;
  two_prod(sh, sh, p, pe);
  sl = (((bh - p) - pe) + bl) / (sh + sh);
}

// sinh(a) - a for 0 <= a < 1/2: a^3 (1/3! + a^2 (1/5! + ... + a^14 / 17!)) (Taylor; the next
// term is below 2^-64 a).
QOR_SIMD_INLINE f64x2 sinh_tail(f64x2 a) {
  const f64x2 z = a * a;
  const f64x2 z2 = z * z;
  const f64x2 p01 = kc<1.0 / 6>() + z * kc<1.0 / 120>();
  const f64x2 p23 = kc<1.0 / 5040>() + z * kc<1.0 / 362880>();
  const f64x2 p45 = kc<1.0 / 39916800>() + z * kc<1.0 / 6227020800>();
  const f64x2 p67 = kc<1.0 / 1307674368000>() + z * kc<1.0 / 355687428096000>();
  const f64x2 p = (p01 + z2 * p23) + (z2 * z2) * (p45 + z2 * p67);
  return (a * z) * p;
}

// ---- single precision through double precision --------------------------------------------
// Family D's packed formula on widened lanes, rounded once; the float screen Screen sends what
// D's packed formula does not cover (and what overflows in single precision) to D's element
// routine, whose result is rounded and whose status gains overflow when a finite argument's
// result overflows in single precision.
template <class D, class Screen>
struct SViaD : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return narrow(D::packed(widen_lo(x)), D::packed(widen_hi(x))); }
  static int screen(f32x4 x) { return Screen::screen(x); }
  static int element(const float* px, float* r) {
    const double x = *px;
    double rd;
    int status = D::element(&x, &rd);
    *r = static_cast<float>(rd);
    if (status == kOk && std::isinf(*r) && !std::isinf(rd)) status = kOverflow;
    return status;
  }
};

// Float screens: |x| above a bound (NaNs and infinities included), NaNs only, x outside a
// range (NaN included).
template <uint32_t kBits>
struct AbsAbove {
  static int screen(f32x4 x) { return mask_abs_above(x, kBits); }
  static i32x4 lanes(f32x4 x) { return simd::cmp_gt(abs(x).bits(), i32x4::splat(static_cast<int32_t>(kBits))); }
};
using NanOrInf = AbsAbove<0x7F7FFFFF>;
template <float kLo, float kHi>
struct OutsideClosedOpen {  // flags x outside [kLo, kHi)
  static int screen(f32x4 x) { return mask(simd::cmp_le(cst<kLo>(), x) & simd::cmp_lt(x, cst<kHi>())) ^ 0xF; }
};

}  // namespace
}  // namespace qor::vm::hyperbolic
