// Sinh, odd; a = |x|.
//   double (every slot): a < 1/4: a + (sinh(a) - a) (Taylor tail, no cancellation); otherwise
//     (e^a - e^-a) / 2 on the double-double exponentials of common.h, the difference formed
//     exactly and rounded once: within about 0.51 ulp. a >= 709 (and NaN) goes to the
//     per-element routine: e^a / 2 with two-step scaling up to the overflow threshold
//     710.4758600739439, beyond it +-inf with status 3.
//   single (every slot): a plain double formula on widened lanes (single_plain.h); the lanes it
//     sends away take this double formula per element, rounded once (overflow beyond
//     89.41599, status 3).
#pragma once

#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// The per-element routine of Sinh and Cosh beyond the packed range: sign * e^a / 2.
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

struct DSinh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    const ExpPair e = exp_pair(a);
    f64x2 s, se;
    two_sum(e.eh, kc<0.0>() - e.ih, s, se);
    const f64x2 big = (s + ((se + e.el) - e.il)) * kc<0.5>();
    const f64x2 small = a + sinh_tail(a);
    return select(cmp_lt(a, kc<0.25>()), small, big) | sign_bits(x);
  }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x40862000 - 1); }  // |x| >= 709
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::fabs(x) < 709.0) {
      *r = packed_one<DSinh>(x);
      return kOk;
    }
    return large_half_exp(x, std::signbit(x) ? -1.0 : 1.0, r);
  }
};
using SSinh = SViaD<DSinh, AbsAbove<0x42B20000>>;  // |x| > 89

}  // namespace
}  // namespace qor::vm::hyperbolic
