// Atanh on (-1, 1), odd; a = |x|.
//   double (every slot): ln((1 + a) / (1 - a)) / 2 with the sum, the difference and the quotient
//     as double-doubles, through the logarithm of common.h: within about 0.52 ulp, also near 0
//     and near 1. a < 2^-28: a itself.
// Per element: |x| = 1: +-inf, status 2; |x| > 1 (and infinities): NaN, status 1; NaN: itself.
//   single: HA a plain double formula on widened lanes (single_plain.h), LA and EP float
//     (single_float.h); the lanes
//     they send away take this double formula per element, rounded once.
#pragma once

#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct DAtanh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    f64x2 nh, nl, dh, dl, p, pe;
    two_sum(kc<1.0>(), a, nh, nl);
    two_sum(kc<1.0>(), kc<0.0>() - a, dh, dl);
    const f64x2 qh = nh / dh;
    two_prod(qh, dh, p, pe);
    const f64x2 ql = (((nh - p) - pe) + nl - qh * dl) / dh;
    const f64x2 r = ln_dd(qh, ql) * kc<0.5>();
    return select(cmp_lt(a, kc<0x1p-28>()), a, r) | sign_bits(x);
  }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x3FEFFFFF); }  // |x| >= 1, NaN
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (std::fabs(x) == 1.0) {
      *r = div_rt(x, 0.0);
      return kSing;
    } else if (std::fabs(x) > 1.0) {
      *r = nan_invalid_d();
      return kErrDom;
    } else *r = packed_one<DAtanh>(x);
    return kOk;
  }
};
using SAtanh = SViaD<DAtanh, AbsAbove<0x3F7FFFFF>>;

}  // namespace
}  // namespace qor::vm::hyperbolic
