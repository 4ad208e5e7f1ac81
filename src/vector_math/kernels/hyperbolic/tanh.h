// Tanh, odd; a = |x|.
//   double (every slot): a < 1/4: a + (tanh(a) - a), the tail formed from s = sinh a = a + t
//     (t the Taylor tail of common.h) and c - 1 = s^2 / (1 + sqrt(1 + s^2)) as
//     t - s (c - 1) / c, which cancels by a factor of about 1.5 only and is below a^2 / 3 < 1/48
//     against the result; otherwise 1 - 2 / (e^2a + 1) with the quotient as a double-double
//     and the difference formed exactly (a clamped to 22, where the result is 1 to the last
//     bit): within about 0.51 ulp. NaN goes to the per-element routine.
//   single (every slot): a plain double formula on widened lanes (single_plain.h); the lanes it
//     sends away take this double formula per element, rounded once.
#pragma once

#include "vector_math/kernels/hyperbolic/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct DTanh : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    // small: tanh a = a + (t - s (c - 1) / c)
    const f64x2 t = sinh_tail(a);
    const f64x2 s = a + t;
    const f64x2 s2 = s * s;
    const f64x2 cm1 = s2 / (kc<1.0>() + roots::sqrt(kc<1.0>() + s2));
    const f64x2 small = a + (t - s * cm1 / (kc<1.0>() + cm1));
    // large: 1 - 2 / (e^2a + 1)
    const ExpPair e = exp_pair(min(a, kc<22.0>()) * kc<2.0>());
    f64x2 dh, de;
    two_sum(e.eh, kc<1.0>(), dh, de);
    const f64x2 dl = de + e.el;
    const f64x2 qh = kc<2.0>() / dh;
    f64x2 p, pe;
    two_prod(qh, dh, p, pe);
    const f64x2 ql = (((kc<2.0>() - p) - pe) - qh * dl) / dh;
    f64x2 u, ue;
    two_sum(kc<1.0>(), kc<0.0>() - qh, u, ue);
    const f64x2 big = u + (ue - ql);
    return select(cmp_lt(a, kc<0.25>()), small, big) | sign_bits(x);
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
