// InvCbrt: 1 / cbrt(x), odd.
//   single (every slot): in double precision, 1 / (the 45-bit cube root of cbrt.h), rounded
//     once to single: within 0.5 ulp plus 2^-20.
//   double (one kernel in every slot): z0 = 1 / y0 from the 45-bit cube root, then
//     z0 - z0 (|x| z0^3 - 1) / 3 with the residual formed exactly: within 0.5 ulp plus a few
//     2^-90. |x| outside [2^-900, 2^993) is scaled by 2^+-300 in the per-element routine.
// Per element: NaN itself; +-0: +-inf, status 2; +-inf: +-0.
#pragma once

#include "vector_math/kernels/roots/common.h"

namespace qor::vm::roots {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

template <class T>
inline bool invcbrt_special(T x, T* r, int* status) {
  *status = kOk;
  if (std::isnan(x)) *r = x + x;
  else if (x == T(0)) {
    *r = div_rt(T(1), x);
    *status = kSing;
  } else if (std::isinf(x)) *r = T(1) / x;
  else return false;
  return true;
}

struct SInvCbrt : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 half(f64x2 x) { return (kc<1.0>() / cbrt45(abs(x))) | sign_bits(x); }
  static f32x4 packed(f32x4 x) { return narrow(half(widen_lo(x)), half(widen_hi(x))); }
  static int screen(f32x4 x) { return zero_inf_nan_lanes(x); }
  static int element(const float* x, float* r) {
    int status;
    if (!invcbrt_special(*x, r, &status)) *r = packed_one<SInvCbrt>(*x);
    return status;
  }
};

struct DInvCbrt : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    const f64x2 z0 = kc<1.0>() / cbrt45(a);
    f64x2 s, sl, c, cl, p, pl;
    two_prod(z0, z0, s, sl);
    two_prod(s, z0, c, cl);
    two_prod(c, a, p, pl);
    const f64x2 e = (p - kc<1.0>()) + (pl + a * (cl + sl * z0));
    return (z0 - z0 * e * kc<1.0 / 3.0>()) | sign_bits(x);
  }
  static int screen(f64x2 x) { return abs_high_outside(x, 0x07B00000, 0x7DFFFFFF); }
  static int element(const double* px, double* r) {
    const double x = *px;
    int status;
    if (invcbrt_special(x, r, &status)) return status;
    const double a = std::fabs(x);
    if (a < 0x1p-900) *r = packed_one<DInvCbrt>(x * 0x1p300) * 0x1p100;
    else if (a >= 0x1p993) *r = packed_one<DInvCbrt>(x * 0x1p-300) * 0x1p-100;
    else *r = packed_one<DInvCbrt>(x);
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::roots
