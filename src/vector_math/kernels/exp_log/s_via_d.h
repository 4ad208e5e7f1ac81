// Single-precision Ln, Log2, Log10, Log1p and Logb (Exp2, Exp10 and Expm1 are in sexp_more.h).
//
// The packed formulas widen four floats to two pairs of doubles, evaluate the double-precision
// cores (relative error below 2^-33, far below half a float ulp) and round once to single
// precision, so results are correctly rounded except within 2^-9 ulp of a midpoint. Subnormal
// inputs are ordinary doubles, and results in the float subnormal range are rounded once by the
// narrowing. The screens send what needs a status or special value to the per-element routines.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp.h"
#include "vector_math/kernels/exp_log/dlog.h"
#include "vector_math/kernels/exp_log/sexp.h"

namespace qor::vm::exp_log {

template <class DEval>
QOR_SIMD_INLINE f32x4 via_double(f32x4 x) {
  return narrow(DEval::eval(widen_lo(x)), DEval::eval(widen_hi(x)));
}

// Double cores as DEval types.
template <class Base>
struct LogEvalEP {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) { return dlog_ep<Base>(dlog_reduce(x)); }
};
struct Log1pEvalEP {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) { return dlog1p_eval<true>(x); }
};

// Lanes whose |x| bits are >= lo_bits, or < tiny_bits.
QOR_SIMD_INLINE int screen_abs_range(f32x4 x, uint32_t big_bits, uint32_t tiny_bits) {
  const i32x4 ax = simd::abs(x).bits();
  const i32x4 big = simd::cmp_gt(ax, i32x4::splat(static_cast<int32_t>(big_bits - 1)));
  const i32x4 tiny = simd::cmp_gt(i32x4::splat(static_cast<int32_t>(tiny_bits)), ax);
  return simd::mask(big | tiny);
}

// ---- Ln, Log2, Log10 -----------------------------------------------------------------------
// Not positive or not finite: bits as a signed integer <= 0 or >= 0x7F800000.
QOR_SIMD_INLINE int screen_not_positive_finite(f32x4 x) {
  const i32x4 b = x.bits();
  const i32x4 bad = simd::cmp_gt(i32x4::splat(1), b) | simd::cmp_gt(b, i32x4::splat(0x7F7FFFFF));
  return simd::mask(bad);
}

// Special values of a single-precision logarithm; false when x is positive and finite.
inline bool slog_special(float x, float* out, int* status) {
  if (std::isnan(x)) {
    *out = x + x;
    *status = 0;
    return true;
  }
  if (x == 0.0f) {
    *out = minus_inf_divzero_f();
    *status = 2;
    return true;
  }
  if (x < 0.0f) {
    *out = nan_invalid_f();
    *status = 1;
    return true;
  }
  if (x == INFINITY) {
    *out = x;
    *status = 0;
    return true;
  }
  return false;
}

// Packed single-precision logarithm of positive normal finite x: x = 2^k m, m in [1, 2) from the
// float's bits (four lanes at once), j = round((m - 1) * 128), then in double
//     log_b(x) = k log_b(2) - log_b(R_j) + C_b (u - u^2/2 + u^3/3 - u^4/4),  u = m R_j - 1 (exact),
// |u| <= 2^-8, error below 2^-40 relative; j = 0 and j = 128 make log(1) exactly 0.
template <int kB>  // 0: e, 1: 2, 2: 10
struct SLogFastEval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    constexpr double kA[3] = {0x1.62e42fefa39efp-1, 1.0, 0x1.34413509f79ffp-2};
    constexpr double kC[3] = {1.0, 0x1.71547652b82fep+0, 0x1.bcb7b1526e50ep-2};
    const i32x4 b = x.bits();
    const i32x4 k = simd::shr_logical(b, 23) - i32x4::splat(127);
    const i32x4 frac = b & i32x4::splat(0x7FFFFF);
    const i32x4 j = simd::shr_logical(frac + i32x4::splat(0x8000), 16);
    const f32x4 m = (frac | i32x4::splat(0x3F800000)).as_f32();
    alignas(16) int32_t jj[4];
    j.store(jj);
    const __m128d e0 = _mm_load_pd(&kSLog.e[jj[0]][2 * kB]);
    const __m128d e1 = _mm_load_pd(&kSLog.e[jj[1]][2 * kB]);
    const __m128d e2 = _mm_load_pd(&kSLog.e[jj[2]][2 * kB]);
    const __m128d e3 = _mm_load_pd(&kSLog.e[jj[3]][2 * kB]);
    const f64x2 k01 = _mm_cvtepi32_pd(k.v);
    const f64x2 k23 = _mm_cvtepi32_pd(_mm_shuffle_epi32(k.v, _MM_SHUFFLE(3, 2, 3, 2)));
    const f64x2 r01 = half(widen_lo(m), k01, _mm_unpacklo_pd(e0, e1), _mm_unpackhi_pd(e0, e1), kA[kB], kC[kB]);
    const f64x2 r23 = half(widen_hi(m), k23, _mm_unpacklo_pd(e2, e3), _mm_unpackhi_pd(e2, e3), kA[kB], kC[kB]);
    return narrow(r01, r23);
  }
  static QOR_SIMD_INLINE f64x2 half(f64x2 m, f64x2 k, f64x2 R, f64x2 H, double a, double c) {
    const f64x2 u = m * R - f64x2::splat(1.0);
    const f64x2 p = u + (u * u) * (f64x2::splat(-0.5) + u * (f64x2::splat(0x1.5555555555555p-2) + u * f64x2::splat(-0.25)));
    const f64x2 hi = (kB == 1) ? k + H : k * f64x2::splat(a) + H;
    return (kB == 0) ? hi + p : hi + p * f64x2::splat(c);
  }
};

// Not positive, subnormal, or not finite: bits as a signed integer below 0x00800000 or above
// 0x7F7FFFFF.
QOR_SIMD_INLINE int screen_not_positive_normal(f32x4 x) {
  const i32x4 b = x.bits();
  const i32x4 bad = simd::cmp_gt(i32x4::splat(0x00800000), b) | simd::cmp_gt(b, i32x4::splat(0x7F7FFFFF));
  return simd::mask(bad);
}

template <class Base, int kB, const char* const* kNameP>
struct SLogFamily : FamilyBase<float> {
  static constexpr const char* kName = *kNameP;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) { return SLogFastEval<kB>::eval(x); }
  static int screen(f32x4 x) { return screen_not_positive_normal(x); }
  // special values; subnormal x through the double core (exact widening)
  static int element(const float* px, float* out) {
    int status = 0;
    if (slog_special(*px, out, &status)) return status;
    if (*px < 0x1p-126f) *out = lane0(via_double<LogEvalEP<Base>>(f32x4::splat(*px)));
    else *out = packed_one<SLogFamily>(*px);
    return 0;
  }
};
// LA and EP single-precision logarithms, in single precision: x = 2^k m with m in
// [sqrt(1/2), sqrt(2)) from the bits, f = m - 1, s = f/(2 + f) (|s| < 0.1716) and
// log(m) = f - (f^2/2 - s (f^2/2 + R(s^2))), R with two terms for EP and four for LA, k log_b(2) split so that its leading part is
// exact. Lanes are patched (not whole blocks recomputed), so every ordinary element gets the
// packed result wherever it sits.
template <int kB, bool kLA>
struct SLogFloatEval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const i32x4 b = x.bits();
    const i32x4 k = simd::shr_arith(b - i32x4::splat(0x3F3504F3), 23);
    const f32x4 m = (b - simd::shl(k, 23)).as_f32();
    const f32x4 one = f32x4::splat(1.0f);
    const f32x4 f = m - one;  // exact
    const f32x4 s = f / (f32x4::splat(2.0f) + f);
    const f32x4 z = s * s;
    f32x4 R;  // z (2/3 + 2z/5 + ...): log(1 + f) = f - (f^2/2 - s (f^2/2 + R))
    if constexpr (kLA) {
      R = z * (f32x4::splat(0x1.555556p-1f) +
               z * (f32x4::splat(0x1.99999ap-2f) + z * (f32x4::splat(0x1.24924ap-2f) + z * f32x4::splat(0x1.c71c72p-3f))));
    } else {
      R = z * (f32x4::splat(0x1.555556p-1f) + z * f32x4::splat(0x1.99999ap-2f));
    }
    const f32x4 hfsq = f32x4::splat(0.5f) * (f * f);
    const f32x4 kf = simd::to_float(k);
    if constexpr (kB == 0) {
      return kf * f32x4::splat(0x1.62e4p-1f) + (f - (hfsq - (s * (hfsq + R) + kf * f32x4::splat(0x1.7f7d1cp-20f))));
    } else {
      const f32x4 w = f - (hfsq - s * (hfsq + R));
      if constexpr (kB == 1) return kf + w * f32x4::splat(0x1.715476p+0f);
      else return kf * f32x4::splat(0x1.344p-2f) + (w * f32x4::splat(0x1.bcb7b2p-2f) + kf * f32x4::splat(0x1.3509f8p-18f));
    }
  }
};

template <class Base, int kB, bool kLA, const char* const* kNameP>
struct SLogFloatFamily : FamilyBase<float> {
  static constexpr const char* kName = *kNameP;
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return SLogFloatEval<kB, kLA>::eval(x); }
  static int screen(f32x4 x) { return screen_not_positive_normal(x); }
  // rare values only: special values, and subnormal x through the double core
  static int element(const float* px, float* out) {
    int status = 0;
    if (slog_special(*px, out, &status)) return status;
    *out = lane0(via_double<LogEvalEP<Base>>(f32x4::splat(*px)));
    return 0;
  }
};

inline constexpr const char* kNameSLog2 = "vsLog2";
inline constexpr const char* kNameSLog10 = "vsLog10";
using SLog2 = SLogFamily<Base2, 1, &kNameSLog2>;
using SLog10 = SLogFamily<Base10, 2, &kNameSLog10>;
inline constexpr const char* kNameSLnF = "vsLn";
using SLnLA = SLogFloatFamily<BaseE, 0, true, &kNameSLnF>;
using SLnEP = SLogFloatFamily<BaseE, 0, false, &kNameSLnF>;
using SLog2LA = SLogFloatFamily<Base2, 1, true, &kNameSLog2>;
using SLog2EP = SLogFloatFamily<Base2, 1, false, &kNameSLog2>;
using SLog10LA = SLogFloatFamily<Base10, 2, true, &kNameSLog10>;
using SLog10EP = SLogFloatFamily<Base10, 2, false, &kNameSLog10>;

// Single-precision Ln: packed as above; the per-element routine is a complete scalar logarithm
// in double precision (65-entry table, polynomial of degree 8 near 1), rounded once.
inline float sln_scalar(float xf, int* status) {
  const uint32_t ix = bits_of(xf), ax = ix & 0x7FFFFFFFu;
  *status = 0;
  if (ax >= 0x7F800000u) {
    if (ix == 0xFF800000u) {
      *status = 1;
      return nan_invalid_f();
    }
    return xf * xf;
  }
  double x = static_cast<double>(xf);
  int corr = 0;
  if (ax != 0 && ax < 0x00800000u) {  // subnormal single: scale by 2^60
    x *= 1152921504606846976.0;
    corr = -60;
  }
  if (x > 0.0) {
    auto poly = [](double u) {  // u^2 * (-1/2 + u (1/3 + ...)), degree 8 in all
      return (u * u) *
             (-0.5 + u * (0.33333333333334386 +
                          u * (-0.25000000000003386 +
                               u * (0.19999999911565072 +
                                    u * (-0.1666666651884978 + u * (0.1428756883852146 + u * (-0.1250214602960357)))))));
    };
    if (std::fabs(x - 1.0) <= 0.009765625) {
      const double u = x - 1.0;
      return static_cast<float>(u + poly(u));
    }
    const uint64_t bx = bits_of(x);
    const double e = static_cast<double>(static_cast<int>((bx >> 52) & 0x7FF) - 1023 + corr);
    const double m = double_of((bx & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const int j = static_cast<int>(bits_of(70368744177665.0 + m) & 0x7F);
    const double mh = (m + 2097152.0) - 2097152.0;
    const double ml = m - mh;
    const double* t = kSLn.e[j];
    const double u = (mh * t[0] - 1.0) + ml * t[0];
    const double r = poly(u) + (e * 0.6931471805598903 + t[1]) + (e * 5.497923018708371e-14 + t[2]) + u;
    return static_cast<float>(r);
  }
  if (x == 0.0) {
    *status = 2;
    return minus_inf_divzero_f();
  }
  *status = 1;
  return nan_invalid_f();
}

inline constexpr const char* kNameSLn = "vsLn";
template <class Base>
struct SLnFamily : FamilyBase<float> {
  static constexpr const char* kName = "vsLn";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) { return SLogFastEval<0>::eval(x); }
  static int screen(f32x4 x) { return screen_not_positive_normal(x); }
  static int element(const float* px, float* out) {
    int status;
    *out = sln_scalar(*px, &status);
    return status;
  }
};
using SLn = SLnFamily<BaseE>;

// ---- Log1p ---------------------------------------------------------------------------------
struct SLog1p : FamilyBase<float> {
  static constexpr const char* kName = "vsLog1p";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) { return via_double<Log1pEvalEP>(x); }
  // x <= -1, infinities, NaNs, |x| < 2^-25 (the result is x)
  static int screen(f32x4 x) {
    const i32x4 b = x.bits();
    const i32x4 ax = b & i32x4::splat(0x7FFFFFFF);
    const i32x4 big = simd::cmp_gt(ax, i32x4::splat(0x7F7FFFFF));
    const i32x4 tiny = simd::cmp_gt(i32x4::splat(0x33000000), ax);
    const i32x4 neg1 = simd::cmp_gt(b ^ i32x4::splat(static_cast<int32_t>(0x80000000u)), i32x4::splat(0x3F7FFFFF));
    return simd::mask(big | tiny | neg1);
  }
  static int element(const float* px, float* out) {
    const float x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (x == -1.0f) {
      *out = minus_inf_divzero_f();
      return 2;
    }
    if (x < -1.0f) {
      *out = nan_invalid_f();
      return 1;
    }
    if (x == INFINITY || std::fabs(x) < 0x1p-25f) {
      *out = x;
      return 0;
    }
    *out = packed_one<SLog1p>(x);
    return 0;
  }
};

// ---- Logb ----------------------------------------------------------------------------------
struct SLogb : FamilyBase<float> {
  static constexpr const char* kName = "vsLogb";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) {
    const i32x4 e = simd::shr_logical(x.bits() & i32x4::splat(0x7F800000), 23) - i32x4::splat(127);
    return simd::to_float(e);
  }
  static int screen(f32x4 x) {
    const i32x4 e = x.bits() & i32x4::splat(0x7F800000);
    return simd::mask(simd::cmp_eq(e, i32x4()) | simd::cmp_eq(e, i32x4::splat(0x7F800000)));
  }
  static int element(const float* px, float* out) {
    const float x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (std::isinf(x)) {
      *out = INFINITY;
      return 0;
    }
    if (x == 0.0f) {
      *out = minus_inf_divzero_f();
      return 2;
    }
    const uint32_t ax = bits_of(x) & 0x7FFFFFFFu;
    if (ax < 0x00800000u) {
      *out = static_cast<float>(31 - __builtin_clz(ax) - 149);
      return 0;
    }
    *out = packed_one<SLogb>(x);
    return 0;
  }
};

}  // namespace qor::vm::exp_log
