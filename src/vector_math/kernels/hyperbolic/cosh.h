// Cosh, even; a = |x|.
//   double HA: e^a / 2 + e^-a / 2 from one reduction (common.h, half_exps), the sum of the table
//     values formed exactly (Fast2Sum) and the corrections (about 2^-60 relative) added before
//     the one rounding: within about 0.52 ulp, no case split (at N = 0 the sum is 1 and the
//     corrections are the even part of the series). a >= 708 (and NaN) goes to the
//     per-element routine of sinh.h: e^a / 2, overflow beyond 710.4758600739439 (status 3).
//   double LA and EP: double_la.h.
//   single: float arithmetic on four lanes (single_float.h LA and EP, single_ha.h HA); the
//     lanes they send away (|x| > 87.5, NaN, infinities) take this double formula per element,
//     rounded once (overflow beyond 89.41599, status 3).
#pragma once

#include "vector_math/kernels/hyperbolic/sinh.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct DCosh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr bool kInlineBlocks = true;
  static int screen_pair(f64x2 x0, f64x2 x1) { return exp_log::mask_pair_abs_high_above(x0, x1, 0x40862000 - 1); }
  static f64x2 packed(f64x2 x) { return eval(x); }
  // Both registers of a block inline, so that their independent chains interleave.
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    r0 = eval(x0);
    r1 = eval(x1);
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const HalfExps e = half_exps(abs(x));
    const f64x2 s = e.tp + e.tm;  // Fast2Sum: tp >= tm
    const f64x2 se = (e.tp - s) + e.tm;
    return s + (se + (e.pl + e.ml));
  }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x40862000 - 1); }
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::fabs(x) < 708.0) {
      *r = packed_one<DCosh>(x);
      return kOk;
    }
    return large_half_exp(x, 1.0, r);
  }
};
using SCosh = SViaD<DCosh, AbsAbove<0x42B20000>>;

}  // namespace
}  // namespace qor::vm::hyperbolic
