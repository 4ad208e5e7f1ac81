// Tanh, odd; a = |x|.
//   double HA: tanh a = M / (M + 2) with M = e^2a - 1 (a clamped to 22, where the result is 1
//     to the last bit), so that nothing cancels anywhere and no case split on a is needed:
//     - M = mh + ml from the HA Expm1's core (exp_log/expm1.h: the sum before its last
//       rounding is within about 2^-59.5 of e^2a - 1), normalised by Fast2Sum;
//     - D = M + 2 = dh + dl (TwoSum);
//     - one reciprocal 1/dh, q = mh / dh cut to 26 bits (qc) and one correction:
//       M - qc D = (mh - qc dc) - qc ((dh - dc) + dl) + ml with dc = dh cut to 26 bits, where
//       qc dc is exact and the first difference is exact (Sterbenz), then
//       tanh a = qc + (M - qc D) / dh, rounded once.
//     M's error reaches the quotient scaled by 2 / (M + 2) <= 1: within about 0.51 ulp.
//     a < 2^-27: tanh a rounds to a itself (a^3 / 3 is below 2^-55 a). NaN and infinities go
//     to the per-element routine.
//   double LA and EP: double_la.h.
//   single (every slot): a plain double formula on widened lanes (single_plain.h); the lanes it
//     sends away take this double formula per element, rounded once.
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
};
inline constexpr DTanhRows kDTanh = {QOR_ROW2(0x1p-27), QOR_ROW2(22.0), QOR_ROW2(2.0), QOR_ROW2(1.0)};

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
    const f64x2 a2 = min(a, row(k.clamp)) * row(k.two);
    f64x2 mh, ml, dh, de;
    expm1_dd(a2, mh, ml);
    two_sum(mh, row(k.two), dh, de);
    const f64x2 dl = de + ml;
    const f64x2 rcp = row(k.one) / dh;
    const f64x2 qc = (mh * rcp) & row(c.split26);
    const f64x2 dc = dh & row(c.split26);
    const f64x2 res = ((mh - qc * dc) - qc * ((dh - dc) + dl)) + ml;
    const f64x2 y = qc + res * rcp;
    return select(cmp_lt(a, row(k.tiny)), a, y) | sign_bits(x);
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
