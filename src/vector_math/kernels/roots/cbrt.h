// Cbrt: the real cube root, odd.
//   single (every slot): in double precision, the seed and two Halley steps (about 45 correct
//     bits), rounded once to single: within 0.5 ulp plus 2^-20. Subnormal floats are normal
//     doubles; zeros, infinities and NaNs go to the per-element routine (themselves).
//   double (HA, and the LA kernel in the LA and EP slots: one kernel of HA accuracy):
//     y0 = |x| z^2 with z ~ |x|^(-1/3) from the division-free seed and steps of common.h, then
//     y0 - (y0^3 - |x|) z^2 / 3 with the residual formed almost exactly (cbrt_correct): within
//     0.5 ulp plus about 2^-16 ulp (the Dekker residual before: a few 2^-90); the sign of x put
//     back. No division and no two-products (the Halley steps and Dekker residual it replaced
//     took three divisions): about 1.3x faster. |x| outside [2^-900, 2^993) goes to the
//     per-element routine, which scales it by 2^+-300 (results by 2^-+100).
#pragma once

#include "vector_math/kernels/roots/common.h"

namespace qor::vm::roots {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

struct SCbrt : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 half(f64x2 x) {
    const f64x2 s = sign_bits(x);
    return cbrt45(abs(x)) | s;
  }
  static f32x4 packed(f32x4 x) { return narrow(half(widen_lo(x)), half(widen_hi(x))); }
  static int screen(f32x4 x) { return zero_inf_nan_lanes(x); }
  static int element(const float* x, float* r) {
    *r = *x + *x;  // +-0, +-inf, NaN (quiet)
    return kOk;
  }
};

struct DCbrt : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    return cbrt_correct(a, inv_cbrt52(a)) | sign_bits(x);
  }
  static int screen(f64x2 x) { return abs_high_outside(x, 0x07B00000, 0x7E0FFFFF); }
  static int element(const double* px, double* r) {
    const double x = *px;
    const double a = std::fabs(x);
    if (std::isnan(x) || std::isinf(x) || x == 0.0) *r = x + x;
    else if (a < 0x1p-900) *r = packed_one<DCbrt>(x * 0x1p300) * 0x1p-100;
    else if (a >= 0x1p993) *r = packed_one<DCbrt>(x * 0x1p-300) * 0x1p100;
    else *r = packed_one<DCbrt>(x);
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::roots
