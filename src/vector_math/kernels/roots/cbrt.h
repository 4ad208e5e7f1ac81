// Cbrt: the real cube root, odd.
//   single (SCbrtF below): in float on four lanes, a 5-bit seed from the bits and one Halley step
//     (about 15.5 correct bits: the EP result), then LA one Newton step in float (within 0.97
//     ulp), HA one Newton step in float whose residual is formed almost exactly from an 8-bit
//     split of the approximation (within 0.5 ulp plus about 2^-7 ulp). |x| outside [2^-120,
//     2^120) (zeros, subnormals, infinities, NaNs included) goes to the per-element routine,
//     which scales x by 2^+-72 and the result by 2^-+24 (exactly). Replaced: two Halley steps
//     in double on the widened lanes in every slot (1.3-1.9x slower); then HA as one Halley
//     step in double on the widened lanes (correctly rounded but for about 2^-22 ulp, 1.1-1.5x
//     libmvec's time against 0.8-1.0x now).
//   double (one kernel per slot, DCbrtF below): z0 ~ |x|^(-1/3) from the bits, w = |x| z0^2 and
//     e = 1 - |x| z0^3 (|e| < 0.103), then y0 = w Q(e) with Q a polynomial for (1 - e)^(-2/3):
//     EP y0 (degree 6: 2^-30.4 relative); LA one Newton step y0 - (y0^3 - |x|) f, f = z0^2 Q / 3
//     ~ 1 / (3 y0^2), with y0^3 in plain products (below 0.96 ulp); HA Q of degree 7 (2^-34.7)
//     and the residual formed almost exactly (y0 split into 17 + 36 bits: within 0.5 ulp plus
//     about 2^-15 ulp). No division. Replaced: one kernel of HA accuracy in every slot (two
//     series steps for |x|^(-1/3) to 2^-52, then the same correction: 1.3-1.9x libmvec's time).
//     |x| outside [2^-900, 2^993) goes to the per-element routine, which scales it by 2^+-300
//     (results by 2^-+100).
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
//   HA:     y = t1 - r / (3 t1^2) in float with the residual r = t1^3 - a nearly exact: t1 = th +
//           tl with th its top 8 bits, th^3 (24 bits) exact and within 3 2^-7 of a, so th^3 - a is
//           exact too (Sterbenz), and t1^3 - th^3 = tl (th^2 + th t1 + t1^2) (below 2^-5.4 a)
//           adds roundings near 2^-29 a; the step leaves about (2^-15.5)^2: within 0.5 ulp plus about
//           2^-7 ulp. (t1^2 is rounded in the divisor only, where it moves the correction by a
//           relative 2^-23.)
// A division-free form (inverse cube root steps as in double Cbrt, then y = a z^2 and a residual
// correction) was measured 1.7-2.2x slower here: divps is cheap on this processor.
// Measured on every float of [2^-120, 2^120) (the exhaustive table of the accuracy tool).
struct alignas(16) SCbrtRows {
  float third[4];
  uint32_t k[4];
  float lo[4], hi[4];
  float three[4];
  uint32_t top8[4];
};
#define QOR_R4(v) {v, v, v, v}
inline constexpr SCbrtRows kSCbrtRows = {QOR_R4(1.0f / 3.0f), QOR_R4(0x2A510600u), QOR_R4(0x1p-120f),
                                         QOR_R4(0x1p120f), QOR_R4(3.0f), QOR_R4(0xFFFF0000u)};
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
      const f32x4 yh = y & row(c.top8), yl = y - yh;
      const f32x4 h2 = yh * yh, y2 = y * y;
      const f32x4 r = (h2 * yh - a) + yl * ((h2 + yh * y) + y2);
      y = y - y * (r / (row(c.three) * (y2 * y) - r));
    }
    return y | sign_bits(x);
  }
  // |x| outside [2^-120, 2^120), HA [2^-90, 2^90)
  static constexpr bool kHA = kSlot == SCbrtSlot::kHA;
  static int screen(f32x4 x) {
    const i32x4 a = abs(x).bits();
    return mask(cmp_gt(i32x4::splat(kHA ? 0x12800000 : 0x03800000), a)) |
           mask(cmp_gt(a, i32x4::splat(kHA ? 0x6C7FFFFF : 0x7B7FFFFF)));
  }
  static int element(const float* px, float* r) {
    *r = scaled_cbrt_element<SCbrtF>(*px, kHA ? 0x1p-90f : 0x1p-120f, kHA ? 0x1p90f : 0x1p120f, 0x1p24f);
    return kOk;
  }
};
using SCbrtEP = SCbrtF<SCbrtSlot::kEP>;
using SCbrtLA = SCbrtF<SCbrtSlot::kLA>;
using SCbrtHA = SCbrtF<SCbrtSlot::kHA>;

// Double cube root, a = |x| in [2^-900, 2^993):
//   seed:  the bits of z0 are 0x553EE940 2^32 - h (2^32 + 2) / 3, h the high word of a (one
//          pmuludq: the classical inverse-cube-root bit trick with the fraction of h / 3 kept in
//          the low word; the bias centres e): e = 1 - a z0^3 lies in [-0.10196, 0.10209] (every
//          high word of three binades, either extreme low word; the pattern repeats every third
//          binade up to a drift below 2^-21 relative in z0);
//   Q:     minimax (Remez, relative error) for (1 - e)^(-2/3) on [-0.1022, 0.1023], evaluated
//          in Estrin's scheme: degree 6 within 2^-30.40, degree 7 within 2^-34.74 (with the
//          coefficients rounded to double), so y0 = w Q(e) carries that error plus a few
//          roundings (EP: about 2^-29.5 measured);
//   LA:    y = y0 - (y0^3 - a) f, f = z0^2 Q / 3: the residual's two roundings give about
//          2^-52 a, a third of an ulp in y; the step leaves (2^-30)^2;
//   HA:    y0 = yh + yl with yh its top 17 bits: yh^3 (51 bits) is exact and within 2^-16 of a
//          (yh^3 - a exact), the terms with yl add roundings near 2^-69 a; f is within 2^-34
//          of 1 / (3 y0^2), so the correction (about 2^-34 y) is off by about 2^-67 y: within
//          0.5 ulp plus about 2^-15 ulp.
// (Two Halley steps from a cube-root seed were measured 1.2x slower for EP: two divisions; the
// same polynomial in Horner's scheme 1.25x slower: one long chain of dependent operations.)
struct alignas(16) DCbrtRows {
  uint64_t abs[2];
  uint64_t bias[2];   // 0x553EE940 in the high words
  uint64_t third[2];  // (2^32 + 2) / 3 in the low words
  double one[2];
  double q6[7][2];
  double q7[8][2];
  uint64_t top17[2];
  double three[2], one_third[2];
};
inline constexpr DCbrtRows kDCbrtRows = {
    QOR_ROW2(0x7FFFFFFFFFFFFFFFull), QOR_ROW2(0x553EE94000000000ull), QOR_ROW2(0x55555556ull), QOR_ROW2(1.0),
    {QOR_ROW2(0x1.ffffffffcc31ap-1), QOR_ROW2(0x1.555556f4efeaep-1), QOR_ROW2(0x1.1c71ca1328181p-1),
     QOR_ROW2(0x1.f9a423f7df1b4p-2), QOR_ROW2(0x1.cf7dd36faccfcp-2), QOR_ROW2(0x1.b7d8714e9006ap-2),
     QOR_ROW2(0x1.a0416576e9d85p-2)},
    {QOR_ROW2(0x1.ffffffffb39d2p-1), QOR_ROW2(0x1.555555545594ep-1), QOR_ROW2(0x1.1c71caacad909p-1),
     QOR_ROW2(0x1.f9addf01fd657p-2), QOR_ROW2(0x1.cf7cb92e9bbb2p-2), QOR_ROW2(0x1.b092c3731097ap-2),
     QOR_ROW2(0x1.a081ca02f5ca2p-2), QOR_ROW2(0x1.8d8074a6b987ep-2)},
    QOR_ROW2(0xFFFFFFF000000000ull), QOR_ROW2(3.0), QOR_ROW2(1.0 / 3.0)};

enum class DCbrtSlot { kEP, kLA, kHA };
template <DCbrtSlot kSlot>
struct DCbrtF : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  // EP: the block loop keeps the rows in registers (about 2% faster measured; LA and HA no faster)
  static constexpr bool kInlineBlocks = kSlot == DCbrtSlot::kEP;
  static f64x2 packed(f64x2 x) {
    const DCbrtRows& c = opaque(kDCbrtRows);
    const f64x2 a = x & row(c.abs);
    const __m128i h3 = _mm_mul_epu32(_mm_srli_epi64(a.bits().v, 32), irow(c.third).v);
    const f64x2 z0 = _mm_castsi128_pd(_mm_sub_epi64(irow(c.bias).v, h3));
    const f64x2 z02 = z0 * z0;
    const f64x2 w = a * z02;
    const f64x2 e = row(c.one) - (a * z0) * z02;
    const f64x2 e2 = e * e, e4 = e2 * e2;
    f64x2 q;
    if constexpr (kSlot == DCbrtSlot::kHA) {
      const auto& k = c.q7;
      q = ((row(k[0]) + e * row(k[1])) + e2 * (row(k[2]) + e * row(k[3]))) +
          e4 * ((row(k[4]) + e * row(k[5])) + e2 * (row(k[6]) + e * row(k[7])));
    } else {
      const auto& k = c.q6;
      q = ((row(k[0]) + e * row(k[1])) + e2 * (row(k[2]) + e * row(k[3]))) +
          e4 * ((row(k[4]) + e * row(k[5])) + e2 * row(k[6]));
    }
    const f64x2 y0 = w * q;
    f64x2 y = y0;
    if constexpr (kSlot != DCbrtSlot::kEP) {
      const f64x2 f = (z02 * row(c.one_third)) * q;
      if constexpr (kSlot == DCbrtSlot::kLA) {
        y = y0 - ((y0 * y0) * y0 - a) * f;
      } else {
        const f64x2 yh = y0 & row(c.top17);
        const f64x2 yl = y0 - yh;
        const f64x2 h2 = yh * yh;
        const f64x2 three = row(c.three);
        const f64x2 r = (h2 * yh - a) + yl * (three * h2 + yl * (three * yh + yl));
        y = y0 - r * f;
      }
    }
    return y | andnot(row(c.abs), x);
  }
  static int screen(f64x2 x) { return abs_high_outside(x, 0x07B00000, 0x7DFFFFFF); }
  static int element(const double* px, double* r) {
    *r = scaled_cbrt_element<DCbrtF>(*px, 0x1p-900, 0x1p993, 0x1p100);
    return kOk;
  }
};
using DCbrtEP = DCbrtF<DCbrtSlot::kEP>;
using DCbrtLA = DCbrtF<DCbrtSlot::kLA>;
using DCbrtHA = DCbrtF<DCbrtSlot::kHA>;

}  // namespace
}  // namespace qor::vm::roots
