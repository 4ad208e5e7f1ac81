// Tanh, odd; a = |x|.
//   double HA: a >= 1/4: sinh a / cosh a with both from one reduction (common.h, half_exps:
//     e^a / 2 and e^-a / 2, a clamped to 22, where the result is 1 to the last bit), the
//     numerator's and denominator's table values combined exactly (Fast2Sum), the denominator
//     normalised, then one reciprocal, the quotient cut to 26 bits (qc) and one correction
//     formed exactly where it matters (quotient() below), rounded once; the numerator's error
//     (about 2^-60 of e^a) grows by coth a <= 4.1 against the result.
//     a < 1/4 (taken only when a lane of the register needs it): M / (M + 2) with M = e^2a - 1,
//     so that nothing cancels near 0:
//     - M = mh + ml from the HA Expm1's core (exp_log/expm1.h: the sum before its last
//       rounding is within about 2^-59.5 of e^2a - 1), normalised by Fast2Sum;
//     - D = M + 2 = dh + dl (TwoSum), and the same quotient; M's error reaches the quotient
//       scaled by 2 / (M + 2) <= 1; below 2^-27 tanh a rounds to a itself (a^3 / 3 is below
//       2^-55 a).
//     Within about 0.51 ulp. NaN and infinities go to the per-element routine.
//   double LA and EP: double_la.h.
//   single: HA a float reduction with a double tail (single_ha.h), LA and EP float
//     (single_float.h); the lanes
//     they send away take this double formula per element, rounded once.
#pragma once

#include "vector_math/kernels/exp_log/exp.h"
#include "vector_math/kernels/exp_log/expm1.h"
#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// Constant rows of double Tanh HA (each value twice).
struct alignas(16) DTanhRows {
  double tiny[2];   // 2^-27
  double clamp[2];  // 22
  double two[2];
  double one[2];
  double quarter[2];
};
inline constexpr DTanhRows kDTanh = {QOR_ROW2(0x1p-27), QOR_ROW2(22.0), QOR_ROW2(2.0), QOR_ROW2(1.0), QOR_ROW2(0.25)};

// e^x - 1 = mh + ml (|ml| <= ulp(mh) / 2) for 2^-54 <= x < 708: the HA Expm1's steps before
// its last rounding (exp_log/expm1.h, DExpm1HACore::finish), the last sum made a Fast2Sum.
QOR_SIMD_INLINE void expm1_dd(f64x2 x, f64x2& mh, f64x2& ml) {
  using exp_log::DExpm1HACore;
  const auto& c = opaque(exp_log::kDExpFast);
  f64x2 t, rh, kc2, b, l;
  DExpm1HACore::reduce(x, t, rh, kc2);
  gather_rows<255>(exp_log::kDExpm1T256.e, t, b, l);
  const f64x2 r = rh - kc2;
  const f64x2 r2 = r * r;
  const f64x2 q2 = r2 * ((row(c.xm1[0]) + r * row(c.xm1[1])) + r2 * (row(c.xm1[2]) + r * row(c.xm1[3])));
  const f64x2 ts = exp_log::t256_scaled(b, t);
  const f64x2 am = ts + row(c.minus_one);
  const f64x2 ae = (ts - (am - row(c.minus_one))) + (simd::cmp_eq(am, ts) & row(c.minus_one));
  const f64x2 rhi = rh & row(c.split26);
  const f64x2 pp = ts * rhi;
  const f64x2 s = am + pp;
  const f64x2 e = (am - s) + pp;
  const f64x2 lo = ((rh - rhi) - kc2) + (l + l * r);
  const f64x2 rest = (e + ae) + ts * (lo + q2 * (row(c.one) + l));
  mh = s + rest;  // Fast2Sum: |rest| is far below |s|
  ml = (s - mh) + rest;
}

struct DTanh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr bool kInlineBlocks = true;
  static int screen_pair(f64x2 x0, f64x2 x1) { return exp_log::mask_pair_abs_high_above(x0, x1, 0x7FEFFFFF); }
  static f64x2 packed(f64x2 x) { return eval(x); }
  // Both registers of a block inline, so that their independent chains interleave.
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    r0 = eval(x0);
    r1 = eval(x1);
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& k = opaque(kDTanh);
    const auto& c = opaque(exp_log::kDExpFast);
    const f64x2 a = abs(x);
    // a >= 1/4: sinh a / cosh a from e^a / 2 and e^-a / 2 (common.h, half_exps)
    const HalfExps e = half_exps(min(a, row(k.clamp)));
    const f64x2 ns = e.tp - e.tm;  // Fast2Sums: tp >= tm
    const f64x2 nl = ((e.tp - ns) - e.tm) + (e.pl - e.ml);
    const f64x2 ds = e.tp + e.tm;
    const f64x2 d0 = ((e.tp - ds) + e.tm) + (e.pl + e.ml);
    const f64x2 dh = ds + d0;
    const f64x2 dl = (ds - dh) + d0;
    f64x2 y = quotient(ns, nl, dh, dl, k, c);
    const f64x2 small = cmp_lt(a, row(k.quarter));
    if (mask(small)) {  // M / (M + 2) only where a lane needs it
      f64x2 mh, ml, mdh, mde;
      expm1_dd(a * row(k.two), mh, ml);
      two_sum(mh, row(k.two), mdh, mde);
      const f64x2 ys = quotient(mh, ml, mdh, mde + ml, k, c);
      y = select(small, select(cmp_lt(a, row(k.tiny)), a, ys), y);
    }
    return y | sign_bits(x);
  }
  // (nh + nl) / (dh + dl) for |dl| <= ulp(dh) / 2 and |nl| well below nh: one reciprocal, the
  // quotient cut to 26 bits (qc) and one correction whose leading terms are exact (qc dc with
  // dc = dh cut to 26 bits is a 52-bit product, nh - qc dc a Sterbenz difference).
  static QOR_SIMD_INLINE f64x2 quotient(f64x2 nh, f64x2 nl, f64x2 dh, f64x2 dl, const DTanhRows& k,
                                        const exp_log::DExpFastRows& c) {
    const f64x2 rcp = row(k.one) / dh;
    const f64x2 qc = (nh * rcp) & row(c.split26);
    const f64x2 dc = dh & row(c.split26);
    const f64x2 res = ((nh - qc * dc) - qc * ((dh - dc) + dl)) + nl;
    return qc + res * rcp;
  }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x7FEFFFFF); }  // NaN, +-inf
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::isinf(x)) *r = std::copysign(1.0, x);
    else *r = packed_one<DTanh>(x);
    return kOk;
  }
};
using STanh = SViaD<DTanh, NanOrInf>;

}  // namespace
}  // namespace qor::vm::hyperbolic
