// Acosh on [1, +inf).
//   double (every slot): ln(y) with y = x + sqrt(x^2 - 1) as a double-double (x^2 - 1 formed
//     exactly, so that nothing cancels near 1, and its root with the residual), through the
//     logarithm of common.h: within about 0.52 ulp. x >= 2^28: y = 2 (x - 1 / (4x)), the factor
//     2 as one more ln 2.
// Per element: x < 1 (and -inf): NaN, status 1; NaN: itself; +inf: +inf; 1: +0 (so that the
//   packed formula, whose root would be 0 there, needs no select around it).
//   single: HA a plain double formula on widened lanes (single_plain.h), LA and EP float
//     (single_float.h); the lanes they send away take this double formula per element, rounded
//     once.
#pragma once

#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct DAcosh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 split = f64x2::from_bits(0xFFFFFFFFF8000000ull);  // the leading 26 bits
    const f64x2 huge = cmp_le(kc<0x1p28>(), x);
    const f64x2 xm = min(x, kc<0x1p28>());
    // x^2 = ph + pl (Dekker's square on a 26-bit split), x^2 - 1 = bh + bl (Fast2Sum: ph >= 1)
    const f64x2 x1 = xm & split, x2 = xm - x1;
    const f64x2 ph = xm * xm;
    const f64x2 pl = ((x1 * x1 - ph) + (x1 + x1) * x2) + x2 * x2;
    const f64x2 bh = ph - kc<1.0>();
    const f64x2 bl = ((ph - bh) - kc<1.0>()) + pl;
    // sqrt(bh + bl) = sh + sl: the root and its residual (bh - s1^2 exact, s1 the root's leading
    // 26 bits). One division serves the residual and, for x >= 2^28, the term -1 / (4x).
    // x > 1 (x = 1 is the per-element routine's), so x^2 >= 1 + 2^-51 and bh > 0.
    const f64x2 sh = roots::sqrt(bh);
    const f64x2 s1 = sh & split, s2 = sh - s1;
    const f64x2 res = (((bh - s1 * s1) - (s1 + s1) * s2) - s2 * s2) + bl;
    const f64x2 q = kc<1.0>() / select(huge, x, sh + sh);
    const f64x2 sl = res * q;
    // y = x + sh + sl, x >= sh (Fast2Sum)
    const f64x2 yh = xm + sh;
    const f64x2 ye = sh - (yh - xm);
    const f64x2 hi = select(huge, x, yh);
    const f64x2 lo = select(huge, kc<-0.25>() * q, ye + sl);
    return ln_dd(hi, lo, huge & kc<1.0>());
  }
  // x outside (1, 2^1024) (NaN included)
  static int screen(f64x2 x) {
    return mask(cmp_lt(kc<1.0>(), x) & cmp_lt(x, f64x2::from_bits(0x7FF0000000000000ull))) ^ 3;
  }
  static int element(const double* px, double* r) {
    const double x = *px;
    if (std::isnan(x)) *r = x + x;
    else if (x < 1.0) {
      *r = nan_invalid_d();
      return kErrDom;
    } else if (std::isinf(x)) *r = x;
    else if (x == 1.0) *r = 0.0;
    else *r = packed_one<DAcosh>(x);
    return kOk;
  }
};
using SAcosh = SViaD<DAcosh, OutsideClosedOpen<1.0f, INFINITY>>;

}  // namespace
}  // namespace qor::vm::hyperbolic
