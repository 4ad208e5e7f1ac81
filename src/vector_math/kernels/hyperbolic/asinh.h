// Asinh, odd; a = |x|.
//   double (every slot): ln(y) with y = a + sqrt(a^2 + 1) as a double-double (a^2 and the root
//     with their residuals, the sum exact), through the logarithm of common.h, which keeps
//     ln(1 + small) accurate near 0: within about 0.52 ulp. a >= 2^28: y = 2 (a + 1 / (4a)),
//     the factor 2 added as one more ln 2 (no overflow up to the largest double). a < 2^-28:
//     a itself (the next term is below 2^-56 a). NaN and infinities per element (themselves).
//   single: HA a plain double formula on widened lanes (single_plain.h), LA and EP float
//     (single_float.h); the lanes
//     they send away take this double formula per element, rounded once.
#pragma once

#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct DAsinh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    const f64x2 huge = cmp_le(kc<0x1p28>(), a);
    const f64x2 am = min(a, kc<0x1p28>());
    f64x2 ph, pl, bh, be, sh, sl, yh, ye;
    two_prod(am, am, ph, pl);
    two_sum(ph, kc<1.0>(), bh, be);
    sqrt_dd(bh, be + pl, sh, sl);
    two_sum(am, sh, yh, ye);
    const f64x2 hi = select(huge, a, yh);
    const f64x2 lo = select(huge, kc<0.25>() / a, ye + sl);
    const f64x2 r = ln_dd(hi, lo, huge & kc<1.0>());
    return select(cmp_lt(a, kc<0x1p-28>()), a, r) | sign_bits(x);
  }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x7FEFFFFF); }
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::isnan(x) || std::isinf(x)) *r = x + x;
    else *r = packed_one<DAsinh>(x);
    return kOk;
  }
};
using SAsinh = SViaD<DAsinh, NanOrInf>;

}  // namespace
}  // namespace qor::vm::hyperbolic
