// Single-precision Ln, Log2, Log10 and Log1p, computed in single precision.
//
// HA: slog_ha.h (table-free, one division).
//
// LA and EP (no table, no division). x = 2^k m with m in [sqrt(1/2), sqrt(2)), f = m - 1
// (exact), log_b(x) = k log_b(2) + f (C_b + f Q_b(f)) with Q_b a minimax polynomial computed
// with MPFR for the relative error of log1p on [sqrt(1/2) - 1, sqrt(2) - 1]: degree 7 for LA
// (2^-25), degree 3 for EP (2^-14).
//
// Log1p LA (also the EP slot) takes f = x when k = 0 and drops the rounding error of 1 + x
// elsewhere (below 2^-24.5 relative to 1 + x, where |log1p(x)| > 0.34).
//
// All kernels patch flagged lanes (zero, negative, subnormal, infinite and NaN inputs, and for
// Log1p |x| < 2^-60 (2^-40 for HA) and x >= 2^125) through their per-element routine, so an
// ordinary element gets the packed result wherever it sits in the vector.
#pragma once

#include "vector_math/kernels/exp_log/s_via_d.h"

namespace qor::vm::exp_log {

// ---- Shared pieces -------------------------------------------------------------------------

// A constant in every lane, emitted as one 16-byte literal (a packed memory operand).
template <float V>
QOR_SIMD_INLINE f32x4 cst() {
  return f32x4::splat(V);
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

// Not positive, subnormal, or not finite: bits as a signed integer below 0x00800000 or above
// 0x7F7FFFFF.
QOR_SIMD_INLINE int screen_not_positive_normal(f32x4 x) {
  const i32x4 b = x.bits();
  const i32x4 bad = simd::cmp_gt(i32x4::splat(0x00800000), b) | simd::cmp_gt(b, i32x4::splat(0x7F7FFFFF));
  return simd::mask(bad);
}

// log_b(2) = A_hi + A_lo with A_hi a multiple of 2^-16 (k A_hi is exact for |k| < 2^8), and
// C_b = 1 / ln(b) = C_hi + C_lo with C_hi of 12 bits (C_hi r_hi is exact).
template <int kB>
struct SLogBase;
template <>
struct SLogBase<0> {
  static constexpr float kAHi = 0x1.62e4p-1f, kALo = 0x1.7f7d1cp-20f;
  static constexpr float kC = 1.0f, kCHi = 1.0f, kCLo = 0.0f;
};
template <>
struct SLogBase<1> {
  static constexpr float kAHi = 1.0f, kALo = 0.0f;
  static constexpr float kC = 0x1.715476p+0f, kCHi = 0x1.714p+0f, kCLo = 0x1.47652cp-12f;
};
template <>
struct SLogBase<2> {
  static constexpr float kAHi = 0x1.344p-2f, kALo = 0x1.3509f8p-18f;
  static constexpr float kC = 0x1.bcb7b2p-2f, kCHi = 0x1.bccp-2f, kCLo = -0x1.09d5b2p-15f;
};

// ---- LA and EP cores -----------------------------------------------------------------------
template <int kB, bool kLA>
struct SLogPolyCoef;
// Q_b(f) = C_b (log1p(f) - f) / f^2, minimax for relative error; coefficients of f^0, f^1, ...
template <>
struct SLogPolyCoef<0, true> {
  static constexpr float q[8] = {-0x1.fffffap-2f, 0x1.5556f4p-2f, -0x1.00049ap-2f, 0x1.98d2cp-3f,
                                 -0x1.535d3p-3f,  0x1.318524p-3f, -0x1.25049ep-3f, 0x1.65c77cp-4f};
};
template <>
struct SLogPolyCoef<1, true> {
  static constexpr float q[8] = {-0x1.715472p-1f, 0x1.ec72f4p-2f, -0x1.715b1ap-2f, 0x1.26e754p-2f,
                                 -0x1.e9994ap-3f, 0x1.b8c5b6p-3f, -0x1.a6bc56p-3f, 0x1.02154ap-3f};
};
template <>
struct SLogPolyCoef<2, true> {
  static constexpr float q[8] = {-0x1.bcb7acp-3f, 0x1.287bdep-3f, -0x1.bcbfbp-4f,  0x1.63197p-4f,
                                 -0x1.26c49p-4f,  0x1.095f12p-4f, -0x1.fd0644p-5f, 0x1.36c35ap-5f};
};
template <>
struct SLogPolyCoef<0, false> {
  static constexpr float q[4] = {-0x1.ff865ap-2f, 0x1.57c3ap-2f, -0x1.146466p-2f, 0x1.6d6038p-3f};
};
template <>
struct SLogPolyCoef<1, false> {
  static constexpr float q[4] = {-0x1.70fcb6p-1f, 0x1.eff264p-2f, -0x1.8ebfe8p-2f, 0x1.07901ep-2f};
};
template <>
struct SLogPolyCoef<2, false> {
  static constexpr float q[4] = {-0x1.bc4e08p-3f, 0x1.2a96fap-3f, -0x1.e02474p-4f, 0x1.3d5c86p-4f};
};

template <int kB, bool kLA, bool kLog1p>
struct SLogPolyEval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    using K = SLogBase<kB>;
    using Q = SLogPolyCoef<kB, kLA>;
    const f32x4 u = kLog1p ? x + cst<1.0f>() : x;
    const i32x4 t = u.bits() - i32x4::splat(0x3F3504F3);
    const i32x4 k = simd::shr_arith(t, 23);
    const f32x4 m = ((t & i32x4::splat(0x007FFFFF)) + i32x4::splat(0x3F3504F3)).as_f32();
    f32x4 f = m - cst<1.0f>();  // exact
    if constexpr (kLog1p) {
      // k = 0: 1 + x = 1 + f exactly with f = x. Elsewhere the rounding error of 1 + x is
      // dropped: below 2^-24.5 relative to u, where |log1p(x)| > 0.34.
      const f32x4 k0 = simd::cmp_eq(k, i32x4()).as_f32();
      f = simd::select(k0, x, f);
    }
    const f32x4 kf = simd::to_float(k);
    f32x4 P;
    if constexpr (kLA) {
      // Estrin on the upper half, Horner below
      const f32x4 f2 = f * f;
      const f32x4 hi = (cst<Q::q[4]>() + f * cst<Q::q[5]>()) +
                       f2 * (cst<Q::q[6]>() + f * cst<Q::q[7]>());
      const f32x4 mid = (cst<Q::q[2]>() + f * cst<Q::q[3]>()) + f2 * hi;
      P = (cst<Q::q[0]>() + f * cst<Q::q[1]>()) + f2 * mid;
    } else {
      P = cst<Q::q[0]>() +
          f * (cst<Q::q[1]>() + f * (cst<Q::q[2]>() + f * cst<Q::q[3]>()));
    }
    // k log_b(2) rounded once (within half an ulp of the result when k != 0)
    const f32x4 w = (kB == 0) ? f + (f * f) * P : f * (cst<K::kC>() + f * P);
    if constexpr (kB == 1) return kf + w;
    else return kf * cst<K::kAHi + K::kALo>() + w;
  }
};

// ---- Families ------------------------------------------------------------------------------
// Ln, Log2, Log10: the packed formula handles positive normal x; the element routine handles
// special values and subnormal x (through the double core, exact widening).
template <class Base, class Eval, FixedName kN>
struct SLogF32Family : FamilyBase<float> {
  static constexpr const char* kName = kN.text;
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return Eval::eval(x); }
  static int screen(f32x4 x) { return screen_not_positive_normal(x); }
  __attribute__((noinline)) static int element(const float* px, float* out) {
    int status = 0;
    if (slog_special(*px, out, &status)) return status;
    *out = lane0(via_double<LogEvalEP<Base>>(f32x4::splat(*px)));
    return 0;
  }
};

using SLog2LA = SLogF32Family<Base2, SLogPolyEval<1, true, false>, "vsLog2">;
using SLog2EP = SLogF32Family<Base2, SLogPolyEval<1, false, false>, "vsLog2">;
using SLog10LA = SLogF32Family<Base10, SLogPolyEval<2, true, false>, "vsLog10">;
using SLog10EP = SLogF32Family<Base10, SLogPolyEval<2, false, false>, "vsLog10">;
using SLnLA = SLogF32Family<BaseE, SLogPolyEval<0, true, false>, "vsLn">;
using SLnEP = SLogF32Family<BaseE, SLogPolyEval<0, false, false>, "vsLn">;

// The per-element routine of single-precision Ln HA (slog_ha.h): a complete scalar logarithm in
// double precision (65-entry table, polynomial of degree 8 near 1), rounded once (within 0.51
// ulp); it serves the flagged lanes (special values and subnormal inputs). Ordinary lanes take
// the packed formula wherever they sit, so a result never depends on its neighbours.
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

// ---- Log1p ---------------------------------------------------------------------------------
// x <= -1, infinities, NaNs, x >= 2^125 (2^-k would leave the normal range) and |x| < 2^-60
// (the result is x, which keeps the sign of zero; x^2 would underflow).
QOR_SIMD_INLINE int screen_log1p(f32x4 x) {
  // ordered compares: a NaN fails all three
  const f32x4 ok = simd::cmp_lt(cst<-1.0f>(), x) & simd::cmp_lt(x, cst<0x1p125f>()) &
                   simd::cmp_le(cst<0x1p-60f>(), simd::abs(x));
  return simd::mask(ok) ^ 0xF;
}

template <class Eval>
struct SLog1pFamily : FamilyBase<float> {
  static constexpr const char* kName = "vsLog1p";
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return Eval::eval(x); }
  static int screen(f32x4 x) { return screen_log1p(x); }
  __attribute__((noinline)) static int element(const float* px, float* out) {
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
    if (x == INFINITY || std::fabs(x) < 0x1p-60f) {
      *out = x;
      return 0;
    }
    // x >= 2^125: the double core
    *out = lane0(via_double<Log1pEvalEP>(f32x4::splat(x)));
    return 0;
  }
};
using SLog1pLA = SLog1pFamily<SLogPolyEval<0, true, true>>;

}  // namespace qor::vm::exp_log
