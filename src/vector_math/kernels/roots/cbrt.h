// Cbrt: the real cube root, odd.
//   single (SCbrtF below): in float on four lanes, a 5-bit seed from the bits and one Halley step
//     (about 15.5 correct bits: the EP result), then LA one Newton step in float (within 0.97
//     ulp), HA one more Halley step in double on the widened lanes, rounded once (about 2^-46
//     relative before the rounding: correctly rounded but within about 2^-22 ulp of a
//     midpoint). |x| outside [2^-120, 2^120) (zeros, subnormals, infinities, NaNs included) goes
//     to the per-element routine, which scales x by 2^+-72 and the result by 2^-+24 (exactly).
//     Replaced: two Halley steps in double on the widened lanes in every slot (1.3-1.9x slower).
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

// The per-element routine of a cube-root kernel F whose packed range is [lo, hi): zeros,
// infinities and NaNs give themselves; arguments below lo are scaled by s^3 and their results by
// 1/s, arguments from hi on by 1/s^3 and s (powers of 2: exact); the rest takes F's packed
// formula on its own.
template <class F, class T>
inline T scaled_cbrt_element(T x, T lo, T hi, T s) {
  const T a = std::fabs(x);
  if (std::isnan(x) || std::isinf(x) || x == T(0)) return x + x;
  if (a < lo) return packed_one<F>(x * (s * s * s)) / s;
  if (a >= hi) return packed_one<F>(x / (s * s * s)) * s;
  return packed_one<F>(x);
}

// Float cube root on four lanes, a = |x| clamped into [2^-120, 2^120] (so that the lanes the
// screen sends away raise no flag here; t^3 and 2 t^3 + a stay normal and finite inside):
//   seed:   the bits of t0 = trunc(float(bits(a)) / 3) + K, K = 0x2A510600 (chosen for the smallest
//           relative error over [1, 8), about 2^-5 with the rounding of the float conversion);
//   Halley: t1 = t0 (t0^3 + 2a) / (2 t0^3 + a), about 2^-15.5 relative (the EP result);
//   LA:     y = t1 - (t1^3 - a) / (3 t1^2) in float: 0.9615 ulp at worst over every float (the
//           residual's roundings, not the step, bound it);
//   HA:     y = t1 (t1^3 + 2a) / (2 t1^3 + a) in double (t1^2 exact), rounded once.
// A division-free form (inverse cube root steps as in double Cbrt, then y = a z^2 and a residual
// correction) was measured 1.7-2.2x slower here: divps is cheap on this processor.
// Measured on every float of [2^-120, 2^120) (the exhaustive table of the accuracy tool).
struct alignas(16) SCbrtRows {
  float third[4];
  uint32_t k[4];
  float lo[4], hi[4];
  float three[4];
};
#define QOR_R4(v) {v, v, v, v}
inline constexpr SCbrtRows kSCbrtRows = {QOR_R4(1.0f / 3.0f), QOR_R4(0x2A510600u), QOR_R4(0x1p-120f),
                                         QOR_R4(0x1p120f), QOR_R4(3.0f)};
#undef QOR_R4

enum class SCbrtSlot { kEP, kLA, kHA };
template <SCbrtSlot kSlot>
struct SCbrtF : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) {
    const SCbrtRows& c = opaque(kSCbrtRows);
    const f32x4 a = min(max(abs(x), row(c.lo)), row(c.hi));  // NaN lanes become 2^-120
    const i32x4 q = _mm_cvttps_epi32((to_float(a.bits()) * row(c.third)).v);
    const f32x4 t0 = (q + irow(c.k)).as_f32();
    const f32x4 t03 = (t0 * t0) * t0;
    f32x4 y = t0 * (((t03 + a) + a) / ((t03 + t03) + a));
    if constexpr (kSlot == SCbrtSlot::kLA) {
      const f32x4 y2 = y * y;
      y = y - (y2 * y - a) / (row(c.three) * y2);
    } else if constexpr (kSlot == SCbrtSlot::kHA) {
      y = narrow(halley_cbrt(widen_lo(y), widen_lo(a)), halley_cbrt(widen_hi(y), widen_hi(a)));
    }
    return y | sign_bits(x);
  }
  static int screen(f32x4 x) {
    const i32x4 a = abs(x).bits();
    return mask(cmp_gt(i32x4::splat(0x03800000), a)) | mask(cmp_gt(a, i32x4::splat(0x7B7FFFFF)));
  }
  static int element(const float* px, float* r) {
    *r = scaled_cbrt_element<SCbrtF>(*px, 0x1p-120f, 0x1p120f, 0x1p24f);
    return kOk;
  }
};
using SCbrtEP = SCbrtF<SCbrtSlot::kEP>;
using SCbrtLA = SCbrtF<SCbrtSlot::kLA>;
using SCbrtHA = SCbrtF<SCbrtSlot::kHA>;

struct DCbrt : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    return cbrt_correct(a, inv_cbrt52(a)) | sign_bits(x);
  }
  static int screen(f64x2 x) { return abs_high_outside(x, 0x07B00000, 0x7E0FFFFF); }
  static int element(const double* px, double* r) {
    *r = scaled_cbrt_element<DCbrt>(*px, 0x1p-900, 0x1p993, 0x1p100);
    return kOk;
  }
};

}  // namespace
}  // namespace qor::vm::roots
