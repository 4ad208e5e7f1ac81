// Sinh, odd; a = |x|.
//   double HA: a < 1/4: a + a^3 P(a^2), P the Taylor polynomial to a^13 / 13! (truncation below
//     2^-68 relative; the tail is below a / 96, so its roundings stay below 0.03 ulp), taken only
//     when a lane of the register needs it; otherwise e^a / 2 - e^-a / 2 from one reduction
//     (common.h, half_exps: the two table values and their unevaluated corrections), the
//     difference of the table values formed exactly (Fast2Sum) and the corrections added
//     before the one rounding. The corrections' error (about 2^-60 of e^a) grows by coth a
//     <= 4.1 against the result: within about 0.52 ulp. a >= 708 (and NaN) goes to the
//     per-element routine: e^a / 2 with two-step scaling up to the overflow threshold
//     710.4758600739439, beyond it +-inf with status 3.
//   double LA and EP: double_la.h.
//   single: float arithmetic on four lanes (single_float.h LA and EP, single_ha.h HA); the
//     lanes they send away (|x| > 87.5, NaN, infinities) take this double formula per element,
//     rounded once (overflow beyond 89.41599, status 3).
#pragma once

#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// The per-element routine of Sinh and Cosh beyond the packed range (a >= 708, where e^-a is
// far below e^a's ulp): sign * e^a / 2.
inline int large_half_exp(double x, double sign, double* r) {
  if (std::isnan(x)) {
    *r = x + x;
    return kOk;
  }
  if (std::isinf(x)) {
    *r = sign * INFINITY;
    return kOk;
  }
  const double a = std::fabs(x);
  const double y = a > 710.5 ? mul_rt(0x1p1023, 0x1p1023) : half_exp_large(a);
  *r = sign * y;
  return std::isinf(y) ? kOverflow : kOk;
}

// Constant rows of double Sinh HA's series branch (each value twice).
struct alignas(16) DSinhRows {
  double quarter[2];
  double p[6][2];  // 1/3!, 1/5!, ..., 1/13!
};
inline constexpr DSinhRows kDSinh = {
    QOR_ROW2(0.25),
    {QOR_ROW2(1.0 / 6), QOR_ROW2(1.0 / 120), QOR_ROW2(1.0 / 5040), QOR_ROW2(1.0 / 362880), QOR_ROW2(1.0 / 39916800),
     QOR_ROW2(1.0 / 6227020800)},
};

// A double Sinh or Cosh family: Formula::eval below 708, packed (both registers of a block inline,
// so that their independent chains interleave) and per element alike; the large-argument routine
// beyond and for NaN. Odd: the large routine takes x's sign.
template <class Formula, bool kOdd>
struct HalfExpFamily : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr bool kInlineBlocks = true;
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x40862000 - 1); }  // |x| >= 708
  static int screen_pair(f64x2 x0, f64x2 x1) { return exp_log::mask_pair_abs_high_above(x0, x1, 0x40862000 - 1); }
  static f64x2 packed(f64x2 x) { return Formula::eval(x); }
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    r0 = Formula::eval(x0);
    r1 = Formula::eval(x1);
  }
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::fabs(x) < 708.0) {
      *r = packed_one<HalfExpFamily>(x);
      return kOk;
    }
    return large_half_exp(x, kOdd && std::signbit(x) ? -1.0 : 1.0, r);
  }
};

struct DSinhFormula {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = opaque(kDSinh);
    const f64x2 a = abs(x);
    const HalfExps e = half_exps(a);
    const f64x2 s = e.tp - e.tm;  // Fast2Sum: tp >= tm
    const f64x2 se = (e.tp - s) - e.tm;
    f64x2 y = s + (se + (e.pl - e.ml));
    const f64x2 small = cmp_lt(a, row(c.quarter));
    if (mask(small)) {  // the series only where a lane needs it
      const f64x2 z = a * a;
      const f64x2 z2 = z * z;
      const f64x2 p = (row(c.p[0]) + z * row(c.p[1])) +
                      z2 * ((row(c.p[2]) + z * row(c.p[3])) + z2 * (row(c.p[4]) + z * row(c.p[5])));
      y = select(small, a + (a * z) * p, y);
    }
    return y | sign_bits(x);
  }
};
using DSinh = HalfExpFamily<DSinhFormula, true>;
using SSinh = SViaD<DSinh, AbsAbove<0x42B20000>>;  // |x| > 89

}  // namespace
}  // namespace qor::vm::hyperbolic
