// Sin, Cos, Tan and SinCos: double precision (HA, LA, EP) and single precision (HA, LA, EP).
//
// Double precision: the packed formulas of dsin_core.h over |x| < 90112; lanes at or above that
// screen stay in the block up to 2^30 (by_range below), and only |x| >= 2^30, infinities and NaNs
// are patched one by one by the per-element routines of scalar.h (which reduce with
// qor_fnx_kernel_reduce_pio2d). The other lanes of a block keep their packed results.
//
// Single precision:
//   Sin HA and Cos HA: N = round(|x| 128/pi) by the shifter 1.5 2^23 in single precision, j = N &
//     255 (+64 for the cosine) indexes (S_hi, S_lo, C_hi, C_lo) of the angle j pi/128 (four floats,
//     one 16-byte load per lane), r = |x| - N pi/128 with pi/128 in four single-precision pieces
//     (0xBCC90FDB, 0x303BC000, 0xA9346000, 0xA18D3132, added with their signs),
//     sin r - r = r^3 (-0.16666667 + r^2 0.008333292) and cos r - 1 = r^2 (-0.5 + r^2 0.041666493),
//     sin = S cos r + C sin r. The reduction's products and everything after it are evaluated on the
//     lanes widened to double precision (N has at most 20 bits, so N times every piece is exact
//     there) and the result is rounded once to single precision: about 0.5 ulp.
//   Sin, Cos and SinCos LA and EP: a table-free formula in single precision (below).
//   Tan (every slot) and SinCos HA widen the lanes and take the double-precision packed formulas
//     (HA: the LA formula, about 2^-52 before the one rounding to single; LA and EP: the EP
//     formula, 2^-28).
//   Every single-precision kernel screens |x| >= 10000.0 (0x461C4000), infinities and NaNs; the
//   flagged lanes go to the per-element routine, the double-precision one on the widened argument
//   (full-range reduction), rounded once. +-inf gives NaN with status 1 (as double precision).
#pragma once

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/kernels/trig/dsin_core.h"
#include "vector_math/kernels/trig/dsin_medium.h"
#include "vector_math/kernels/trig/scalar.h"

namespace qor::vm::trig {

// ==== double precision ======================================================================
// The packed formula's screen (|x| >= 90112) picks the lanes that leave the formula as the
// interface writes it. Below 2^23 they take the same formula with the wide reduction (five pieces
// of pi/64, dsin_core.h); from 2^23 to 2^30 the per-element routine's arithmetic, two lanes at a
// time (dsin_medium.h, bit for bit the per-element result); only |x| >= 2^30, infinities and NaNs
// leave for the per-element routine itself. A register takes only the formulas its lanes need.
// sin (kSin) and cos (kCos) of x as the per-element routines form them (|x| clamped to 2^30 so
// that lanes beyond, which the screen flags, raise nothing).
template <bool kSin, bool kCos>
QOR_SIMD_INLINE void dmedium(f64x2 x, f64x2* sh, f64x2* sl, f64x2* ch, f64x2* cl) {
  f64x2 r, rlo;
  __m128i q;
  dsin_first_step(flip(min(abs(x), kc<0x1p30>()), sign_bits(x)), r, rlo, q);
  dsin_second_step<kSin, kCos>(r, rlo, q, sh, sl, ch, cl);
}

// Sine and cosine of a register, for SinCos.
struct SinCosPair {
  f64x2 s, c;
};
QOR_SIMD_INLINE f64x2 select_lanes(f64x2 m, f64x2 a, f64x2 b) { return select(m, a, b); }
QOR_SIMD_INLINE SinCosPair select_lanes(f64x2 m, SinCosPair a, SinCosPair b) {
  return {select(m, a.s, b.s), select(m, a.c, b.c)};
}

// The packed formula `packed` below 90112, `wide` below 2^23, `far` (the per-element arithmetic)
// up to 2^30, per lane; each computed only where a lane needs it.
template <class Packed, class Wide, class Far>
QOR_SIMD_INLINE auto by_range(f64x2 x, Packed packed, Wide wide, Far far) {
  const f64x2 ax = abs(x);
  const f64x2 m1 = cmp_le(kc<90112.0>(), ax);
  const int mm1 = mask(m1);
  if (mm1 == 0) return packed(x);
  const f64x2 m2 = cmp_le(kc<0x1p23>(), ax);
  const int mm2 = mask(m2);
  decltype(packed(x)) res;
  if (mm2 != 3) res = mm1 == 3 ? wide(x) : select_lanes(m1, wide(x), packed(x));
  if (mm2 != 0) res = mm2 == 3 ? far(x) : select_lanes(m2, far(x), res);
  return res;
}

struct DPatch : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x41CFFFFFu); }  // |x| >= 2^30
};
template <DAcc A>
struct DSin : DPatch {
  static f64x2 packed(f64x2 x) {
    return by_range(
        x, [](f64x2 v) { return dsin_packed<A>(v); }, [](f64x2 v) { return dsin_packed<A, true>(v); },
        [](f64x2 v) {
          f64x2 sh, sl;
          dmedium<true, false>(v, &sh, &sl, nullptr, nullptr);
          return sh + sl;
        });
  }
  static int element(const double* x, double* r) { return dsin_element(x, r); }
};
template <DAcc A>
struct DCos : DPatch {
  static f64x2 packed(f64x2 x) {
    return by_range(
        x, [](f64x2 v) { return dcos_packed<A>(v); }, [](f64x2 v) { return dcos_packed<A, true>(v); },
        [](f64x2 v) {
          f64x2 ch, cl;
          dmedium<false, true>(v, nullptr, nullptr, &ch, &cl);
          return ch + cl;
        });
  }
  static int element(const double* x, double* r) { return dcos_element(x, r); }
};
template <DAcc A>
struct DTan : DPatch {
  static f64x2 packed(f64x2 x) {
    return by_range(
        x, [](f64x2 v) { return dtan_packed<A>(v); }, [](f64x2 v) { return dtan_packed<A, true>(v); },
        [](f64x2 v) {
          f64x2 sh, sl, ch, cl;
          dmedium<true, true>(v, &sh, &sl, &ch, &cl);
          return tan_of_dd(sh, sl, ch, cl);
        });
  }
  static int element(const double* x, double* r) { return dtan_element(x, r); }
};
template <DAcc A>
struct DSinCos : DPatch {
  static constexpr int kOut = 2;
  static void packed(f64x2 x, f64x2& s, f64x2& c) {
    const SinCosPair p = by_range(
        x,
        [](f64x2 v) {
          SinCosPair r;
          dsincos_packed<A>(v, r.s, r.c);
          return r;
        },
        [](f64x2 v) {
          SinCosPair r;
          dsincos_packed<A, true>(v, r.s, r.c);
          return r;
        },
        [](f64x2 v) {
          f64x2 sh, sl, ch, cl;
          dmedium<true, true>(v, &sh, &sl, &ch, &cl);
          return SinCosPair{sh + sl, ch + cl};
        });
    s = p.s;
    c = p.c;
  }
  static int element(const double* x, double* s, double* c) { return dsincos_element(x, s, c); }
};

// ==== single precision ======================================================================
struct SPatch : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static int screen(f32x4 x) { return simd::mask_abs_above(x, 0x461C3FFFu); }
};

// Sin HA / Cos HA (kOffset 0 / 64): the 256-entry scheme above, on |x| (sign reattached for the
// sine).
template <int kOffset>
QOR_SIMD_INLINE f32x4 ssin_ha_packed(f32x4 x) {
  const SSinHATable& c = opaque(kSSinHA);
  const f32x4 ax = _mm_min_ps(abs(x).v, _mm_set1_ps(16384.0f));
  const f32x4 t = ax * row(c.inv_pio128) + row(c.shifter);
  const f32x4 k = t - row(c.shifter);
  i32x4 j = t.bits();
  if constexpr (kOffset != 0) j = j + i32x4::splat(kOffset);
  j = j & i32x4::splat(255);
  uint32_t idx[4];
  lane_indices(j, idx);
  __m128 e0 = _mm_load_ps(reinterpret_cast<const float*>(c.e[idx[0]]));
  __m128 e1 = _mm_load_ps(reinterpret_cast<const float*>(c.e[idx[1]]));
  __m128 e2 = _mm_load_ps(reinterpret_cast<const float*>(c.e[idx[2]]));
  __m128 e3 = _mm_load_ps(reinterpret_cast<const float*>(c.e[idx[3]]));
  _MM_TRANSPOSE4_PS(e0, e1, e2, e3);  // e0 = S_hi, e1 = S_lo, e2 = C_hi, e3 = C_lo
  const f32x4 p1 = row(c.p1), p2 = row(c.p2), p3 = row(c.p3), p4 = row(c.p4);
  const f32x4 s3 = row(c.s3), s5 = row(c.s5), c2 = row(c.c2), c4 = row(c.c4);
  auto half = [&](f64x2 axd, f64x2 kd, f64x2 sh, f64x2 sl, f64x2 ch, f64x2 cl) {
    const f64x2 r = (((axd + kd * widen_lo(p1)) + kd * widen_lo(p2)) + kd * widen_lo(p3)) + kd * widen_lo(p4);
    const f64x2 sv = sh + sl, cv = ch + cl;
    const f64x2 r2 = r * r;
    const f64x2 sp = r * r2 * (widen_lo(s3) + r2 * widen_lo(s5));
    const f64x2 cp = r2 * (widen_lo(c2) + r2 * widen_lo(c4));
    return sv + (cv * r + (sv * cp + cv * sp));
  };
  const f64x2 lo = half(widen_lo(ax), widen_lo(k), widen_lo(e0), widen_lo(e1), widen_lo(e2), widen_lo(e3));
  const f64x2 hi = half(widen_hi(ax), widen_hi(k), widen_hi(e0), widen_hi(e1), widen_hi(e2), widen_hi(e3));
  const f32x4 res = narrow(lo, hi);
  if constexpr (kOffset == 0) return flip(res, sign_bits(x));
  else return res;
}

struct SSinHA : SPatch {
  static f32x4 packed(f32x4 x) { return ssin_ha_packed<0>(x); }
  static int element(const float* x, float* r) { return ssin_element(x, r); }
};
struct SCosHA : SPatch {
  static f32x4 packed(f32x4 x) { return ssin_ha_packed<64>(x); }
  static int element(const float* x, float* r) { return scos_element(x, r); }
};

// Sin, Cos and SinCos LA/EP: no table, single precision throughout. |x| is clamped to 10000
// (the screen flags those lanes, NaN included) and reduced by pi (Cody and Waite):
//   sine:   k = round(|x| / pi) (the shifter 1.5 2^23), r = |x| - k pi, sin |x| = (-1)^k sin r;
//   cosine: k = round(|x| / pi - 1/2), h = k + 1/2, r = h pi - |x|, cos |x| = (-1)^k sin r;
// with pi in pieces 0x1.92p+1, 0x1.fb4p-11, 0x1.444p-23 (7 and 10 significant bits: k or h,
// below 2^12, times each is exact) and 0x1.68cp-38 with 0x1.1a6264p-53 (LA; the rest of pi is
// below 2^-77) or 0x1.68c234p-38 (EP; below 2^-62). Where r is small the subtractions of the
// exact products are exact, so r keeps its relative accuracy: the float nearest a multiple of
// pi/2 below 10000 is 2^-27.8 from it (252.898208, for the cosine), and the error left is about
// k 2^-77 (LA) or k 2^-62 (EP). (-1)^k goes into r's sign bit (the low bit of k in the shifted
// sum). sin r is an odd polynomial r + r^3 P(r^2), fitted for relative error on [0, pi/2] (an
// iteratively reweighted least-squares fit, coefficients rounded to single precision; errors
// with the rounded coefficients): LA P of degree 3 (2^-26.6), EP of degree 1 (2^-12.55, fitted
// under the constraint that r = RN(pi/2) gives exactly 1, so that cos 0 = 1 and sin(RN(pi/2)) =
// 1 as in the other slots). The sine's sign of x is reattached last (sin(-0) = -0).
// Every float in [0.5, 10000) checked against the double-precision sine and cosine: LA within
// 2.48 ulp, EP 12.55 correct bits (the sampled sweeps of docs/accuracy.md cover the rest).
template <bool kCos, bool kLA>
QOR_SIMD_INLINE f32x4 ssin_plain(f32x4 x) {
  const f32x4 ax = min(abs(x), cst<10000.0f>());
  f32x4 y = ax * cst<0x1.45f306p-2f>();
  if constexpr (kCos) y = y - cst<0.5f>();
  const f32x4 t = y + cst<0x1.8p23f>();
  f32x4 k = t - cst<0x1.8p23f>();
  // the fourth piece: 10 bits followed by a fifth (LA), or 24 bits (EP)
  const f32x4 p4 = kLA ? cst<0x1.68cp-38f>() : cst<0x1.68c234p-38f>();
  f32x4 r;
  if constexpr (kCos) {
    k = k + cst<0.5f>();
    r = (((k * cst<0x1.92p+1f>() - ax) + k * cst<0x1.fb4p-11f>()) + k * cst<0x1.444p-23f>()) + k * p4;
    if constexpr (kLA) r = r + k * cst<0x1.1a6264p-53f>();
  } else {
    r = (((ax - k * cst<0x1.92p+1f>()) - k * cst<0x1.fb4p-11f>()) - k * cst<0x1.444p-23f>()) - k * p4;
    if constexpr (kLA) r = r - k * cst<0x1.1a6264p-53f>();
  }
  r = f32x4(_mm_xor_ps(r.v, shl(t.bits(), 31).as_f32().v));
  const f32x4 r2 = r * r;
  f32x4 p;
  if constexpr (kLA) {
    p = ((cst<0x1.5dbep-19f>() * r2 + cst<-0x1.9f7p-13f>()) * r2 + cst<0x1.110ed4p-7f>()) * r2 +
        cst<-0x1.55554cp-3f>();
  } else {
    p = cst<0x1.f2d94ep-8f>() * r2 + cst<-0x1.54141p-3f>();
  }
  const f32x4 res = r + (r * r2) * p;
  if constexpr (kCos) return res;
  else return f32x4(_mm_xor_ps(res.v, sign_bits(x).v));  // last, so that sin(-0) = -0
}
template <bool kLA>
struct SSinPlain : SPatch {
  static constexpr bool kInlineBlocks = true;
  static f32x4 packed(f32x4 x) { return ssin_plain<false, kLA>(x); }
  static int element(const float* x, float* r) { return ssin_element(x, r); }
};
template <bool kLA>
struct SCosPlain : SPatch {
  static constexpr bool kInlineBlocks = true;
  static f32x4 packed(f32x4 x) { return ssin_plain<true, kLA>(x); }
  static int element(const float* x, float* r) { return scos_element(x, r); }
};
template <bool kLA>
struct SSinCosPlain : SPatch {
  static constexpr int kOut = 2;
  static void packed(f32x4 x, f32x4& s, f32x4& c) {
    s = ssin_plain<false, kLA>(x);
    c = ssin_plain<true, kLA>(x);
  }
  static int element(const float* x, float* s, float* c) { return ssincos_element(x, s, c); }
};

// The others: the double-precision packed formula of accuracy A on the widened lanes.
template <DAcc A>
struct SSin : SPatch {
  static f32x4 packed(f32x4 x) { return narrow(dsin_packed<A>(widen_lo(x)), dsin_packed<A>(widen_hi(x))); }
  static int element(const float* x, float* r) { return ssin_element(x, r); }
};
template <DAcc A>
struct SCos : SPatch {
  static f32x4 packed(f32x4 x) { return narrow(dcos_packed<A>(widen_lo(x)), dcos_packed<A>(widen_hi(x))); }
  static int element(const float* x, float* r) { return scos_element(x, r); }
};
template <DAcc A>
struct STan : SPatch {
  static f32x4 packed(f32x4 x) { return narrow(dtan_packed<A>(widen_lo(x)), dtan_packed<A>(widen_hi(x))); }
  static int element(const float* x, float* r) { return stan_element(x, r); }
};
template <DAcc A>
struct SSinCos : SPatch {
  static constexpr int kOut = 2;
  static void packed(f32x4 x, f32x4& s, f32x4& c) {
    f64x2 s0, c0, s1, c1;
    dsincos_packed<A>(widen_lo(x), s0, c0);
    dsincos_packed<A>(widen_hi(x), s1, c1);
    s = narrow(s0, s1);
    c = narrow(c0, c1);
  }
  static int element(const float* x, float* s, float* c) { return ssincos_element(x, s, c); }
};

}  // namespace qor::vm::trig
