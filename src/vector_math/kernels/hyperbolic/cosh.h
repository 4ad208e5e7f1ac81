// Cosh, even; a = |x|.
//   double (every slot): (e^a + e^-a) / 2 on the double-double exponentials of common.h, the
//     sum formed exactly and rounded once: within about 0.51 ulp. a >= 709 (and NaN) goes to
//     the per-element routine of sinh.h: e^a / 2, overflow beyond 710.4758600739439 (status 3).
//   single (every slot): a plain double formula on widened lanes (single_plain.h); the lanes it
//     sends away take this double formula per element, rounded once (overflow beyond
//     89.41599, status 3).
#pragma once

#include "vector_math/kernels/hyperbolic/sinh.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct DCosh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const ExpPair e = exp_pair(abs(x));
    f64x2 s, se;
    two_sum(e.eh, e.ih, s, se);
    return (s + ((se + e.el) + e.il)) * kc<0.5>();
  }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x40862000 - 1); }
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::fabs(x) < 709.0) {
      *r = packed_one<DCosh>(x);
      return kOk;
    }
    return large_half_exp(x, 1.0, r);
  }
};
using SCosh = SViaD<DCosh, AbsAbove<0x42B20000>>;

}  // namespace
}  // namespace qor::vm::hyperbolic
