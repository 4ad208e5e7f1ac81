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

struct DCoshFormula {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const HalfExps e = half_exps(abs(x));
    const f64x2 s = e.tp + e.tm;  // Fast2Sum: tp >= tm
    const f64x2 se = (e.tp - s) + e.tm;
    return s + (se + (e.pl + e.ml));
  }
};
using DCosh = HalfExpFamily<DCoshFormula, false>;
using SCosh = SViaD<DCosh, AbsAbove<0x42B20000>>;

}  // namespace
}  // namespace qor::vm::hyperbolic
