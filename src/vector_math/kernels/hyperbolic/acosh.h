// Acosh on [1, +inf).
//   double (every slot): ln(y) with y = x + sqrt(x^2 - 1) as a double-double (x^2 - 1 formed
//     exactly, so that nothing cancels near 1, and its root with the residual), through the
//     logarithm of common.h: within about 0.52 ulp. x >= 2^28: y = 2 (x - 1 / (4x)), the factor
//     2 as one more ln 2.
// Per element: x < 1 (and -inf): NaN, status 1; NaN: itself; +inf: +inf.
//   single (every slot): a plain double formula on widened lanes (single_plain.h); the lanes it
//     sends away take this double formula per element, rounded once.
#pragma once

#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct DAcosh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 huge = cmp_le(kc<0x1p28>(), x);
    const f64x2 xm = min(x, kc<0x1p28>());
    f64x2 ph, pl, bh, be, sh, sl, yh, ye;
    two_prod(xm, xm, ph, pl);
    two_sum(ph, kc<-1.0>(), bh, be);
    const f64x2 bl = be + pl;
    // bh + bl = x^2 - 1 > 0 (x = 1 gives 0: the root is 0 and y = 1)
    const f64x2 zero = cmp_eq(bh, f64x2());
    sqrt_dd(select(zero, kc<1.0>(), bh), bl, sh, sl);
    sh = andnot(zero, sh);
    sl = andnot(zero, sl);
    two_sum(xm, sh, yh, ye);
    const f64x2 hi = select(huge, x, yh);
    const f64x2 lo = select(huge, kc<-0.25>() / x, ye + sl);
    return ln_dd(hi, lo, huge & kc<1.0>());
  }
  // x outside [1, 2^1024) (NaN included)
  static int screen(f64x2 x) {
    return mask(cmp_le(kc<1.0>(), x) & cmp_lt(x, f64x2::from_bits(0x7FF0000000000000ull))) ^ 3;
  }
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (x < 1.0) {
      *r = nan_invalid_d();
      return kErrDom;
    } else if (std::isinf(x)) *r = x;
    else *r = packed_one<DAcosh>(x);
    return kOk;
  }
};
using SAcosh = SViaD<DAcosh, OutsideClosedOpen<1.0f, INFINITY>>;

}  // namespace
}  // namespace qor::vm::hyperbolic
