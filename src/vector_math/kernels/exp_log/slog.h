// Single-precision Ln, Log2, Log10 and Log1p, computed in single precision.
//
// HA: slog_ha.h (table-free, one division).
//
// LA and EP (no table). x = 2^k m with m in [sqrt(1/2), sqrt(2)), f = m - 1 (exact). Ln and
// Log10 LA: log_b(x) = k log_b(2) + f (C_b + f Q_b(f)) with Q_b a minimax polynomial of degree 7
// computed with MPFR for the relative error of log1p on [sqrt(1/2) - 1, sqrt(2) - 1] (2^-25),
// evaluated by Estrin's scheme (short dependency chains). Log2 LA: log2(x) = k + z + z v P(v)
// with z = 2 C f / (2 + f) = C 2 atanh(f / (2 + f)), v = z^2 and P of 3 terms (relative error
// 2^-29.8); the roundings of 2 + f, 2 C f and the quotient dominate. EP: log_b(x) =
// k log_b(2) + f R_b(f) with R_b of degree 3, minimax for the relative error of f R_b(f)
// (2^-11.48). The minimax polynomials of the atanh forms and of EP come from
// tools/gen_log_poly.cpp. Constants are rows of a table read through opaque(), so that the loop
// takes them as memory operands; the screen is one compare per register on the bits, and both
// registers of a block are computed together.
//
// Log1p LA (also the EP slot) takes k from u = RN(1 + x) and f = (1 + x) 2^-k - 1 =
// x 2^-k + (2^-k - 1) from x itself (exact for |k| <= 24), then ln(1 + f) = z + z v P(v) with
// z = 2f / (2 + f), v = z^2 (|z| <= 0.344) and P of 3 terms (relative error 2^-30); the
// roundings of 2 + f and of the quotient dominate.
//
// All kernels patch flagged lanes (zero, negative, subnormal, infinite and NaN inputs, and for
// Log1p |x| < 2^-60 (2^-40 for HA) and x >= 2^125) through their per-element routine, so an
// ordinary element gets the packed result wherever it sits in the vector.
#pragma once

#include "vector_math/kernels/exp_log/s_via_d.h"

namespace qor::vm::exp_log {

// ---- Shared pieces -------------------------------------------------------------------------

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
// Constant rows of the table-free kernels (each value four times, one packed operand), read
// through opaque() so that the loop uses them as memory operands instead of keeping copies in
// registers (which the patch call would force onto the stack) or rebuilding them.
struct alignas(16) SLogPolyRows {
  uint32_t off[4];     // 0x3F3504F3: x's bits minus this give k (top) and m's fraction (bottom)
  uint32_t frac[4];    // 0x007FFFFF
  uint32_t expo[4];    // 0xFF800000
  float one[4];
  float lb2[4];        // log_b(2), rounded once
  float cb[4];         // C_b = log_b(e)
  float two[4];
  float two_cb[4];     // 2 C_b
  uint32_t bias[4];    // screens (below): 0x7F800000
  uint32_t limit[4];   // 0xFEFFFFFF
  uint32_t abs[4];     // 0x7FFFFFFF
  uint32_t tiny[4];    // 0x217FFFFF: |x| below 2^-60
  uint32_t bias1p[4];  // 0x7FFFFFFF
  uint32_t limit1p[4]; // 0xFDFFFFFE
  float c[8][4];       // Q_b (f^0 .. f^7), R_b (f^0 .. f^3) or P (v^0 .. v^2)
};
#define QOR_SLOG_HEAD(kB)                                                                          \
  QOR_ROW4(0x3F3504F3u), QOR_ROW4(0x007FFFFFu), QOR_ROW4(0xFF800000u), QOR_ROW4(1.0f),   \
      QOR_ROW4(SLogBase<kB>::kAHi + SLogBase<kB>::kALo), QOR_ROW4(SLogBase<kB>::kC), QOR_ROW4(2.0f), \
      QOR_ROW4(2.0f * SLogBase<kB>::kC),                                                             \
      QOR_ROW4(0x7F800000u), QOR_ROW4(0xFEFFFFFFu), QOR_ROW4(0x7FFFFFFFu),                     \
      QOR_ROW4(0x217FFFFFu), QOR_ROW4(0x7FFFFFFFu), QOR_ROW4(0xFDFFFFFEu)
// Ln and Log10 LA: Q_b(f) = C_b (log1p(f) - f) / f^2, minimax for the relative error of log1p on
// [sqrt(1/2) - 1, sqrt(2) - 1] (2^-25).
#define QOR_SLOG_Q8(a, b, c, d, e, f, g, h)                                                        \
  {QOR_ROW4(a), QOR_ROW4(b), QOR_ROW4(c), QOR_ROW4(d), QOR_ROW4(e), QOR_ROW4(f), \
   QOR_ROW4(g), QOR_ROW4(h)}
inline constexpr SLogPolyRows kSLnLARows = {
    QOR_SLOG_HEAD(0),
    QOR_SLOG_Q8(-0x1.fffffap-2f, 0x1.5556f4p-2f, -0x1.00049ap-2f, 0x1.98d2cp-3f, -0x1.535d3p-3f, 0x1.318524p-3f,
                -0x1.25049ep-3f, 0x1.65c77cp-4f)};
inline constexpr SLogPolyRows kSLog10LARows = {
    QOR_SLOG_HEAD(2),
    QOR_SLOG_Q8(-0x1.bcb7acp-3f, 0x1.287bdep-3f, -0x1.bcbfbp-4f, 0x1.63197p-4f, -0x1.26c49p-4f, 0x1.095f12p-4f,
                -0x1.fd0644p-5f, 0x1.36c35ap-5f)};
// EP: R_b(f) ~ log_b(1 + f) / f, minimax for the relative error of f R_b(f) on
// [sqrt(1/2) - 1, sqrt(2) - 1] (tools/gen_log_poly.cpp, degree 3: 2^-11.48).
#define QOR_SLOG_R4(a, b, c, d) {QOR_ROW4(a), QOR_ROW4(b), QOR_ROW4(c), QOR_ROW4(d)}
inline constexpr SLogPolyRows kSLnEPRows = {
    QOR_SLOG_HEAD(0),
    QOR_SLOG_R4(0x1.ffd96cp-1f, -0x1.010bf6p-1f, 0x1.6ae47ep-2f, -0x1.d14ac4p-3f)};
inline constexpr SLogPolyRows kSLog2EPRows = {
    QOR_SLOG_HEAD(1), QOR_SLOG_R4(0x1.7138a2p+0f, -0x1.72d70cp-1f, 0x1.05c58ap-1f, -0x1.4fa324p-2f)};
inline constexpr SLogPolyRows kSLog10EPRows = {
    QOR_SLOG_HEAD(2),
    QOR_SLOG_R4(0x1.bc963p-2f, -0x1.be893p-3f, 0x1.3b3458p-3f, -0x1.9425c6p-4f)};
// Log1p LA: ln(1 + f) = z + z v P(v), z = 2f / (2 + f), v = z^2 <= 0.1178; P minimax for the
// relative error (tools/gen_log_poly.cpp, 3 coefficients: 2^-30.2).
inline constexpr SLogPolyRows kSLog1pLARows = {
    QOR_SLOG_HEAD(0), QOR_SLOG_R4(0x1.55557ap-4f, 0x1.995ec6p-7f, 0x1.31e1fcp-9f, 0.0f)};
// Log2 LA: log2(1 + f) = z + z v P(v) with z = 2 C f / (2 + f), v = z^2 <= 0.2453 (C = log2(e));
// P minimax for the relative error (tools/gen_log_poly.cpp, 3 coefficients: 2^-29.8).
inline constexpr SLogPolyRows kSLog2LARows = {
    QOR_SLOG_HEAD(1), QOR_SLOG_R4(0x1.47fd64p-5f, 0x1.79fcfp-9f, 0x1.0f6476p-12f, 0.0f)};
#undef QOR_SLOG_R4
#undef QOR_SLOG_Q8
#undef QOR_SLOG_HEAD

template <int kB, bool kLA, bool kLog1p = false>
QOR_SIMD_INLINE const SLogPolyRows& slog_poly_rows() {
  if constexpr (kLog1p) return kSLog1pLARows;
  else if constexpr (kLA) return kB == 0 ? kSLnLARows : kB == 1 ? kSLog2LARows : kSLog10LARows;
  else return kB == 0 ? kSLnEPRows : kB == 1 ? kSLog2EPRows : kSLog10EPRows;
}


// Lanes whose bits b are outside [0x00800000, 0x7F7FFFFF] (not a positive normal number): the
// unsigned test b - 0x00800000 >= 0x7F000000 as one signed compare of b + 0x7F800000.
QOR_SIMD_INLINE i32x4 slog_bad_lanes(const SLogPolyRows& c, f32x4 x) {
  return simd::cmp_gt(x.bits() + irow(c.bias), irow(c.limit));
}
// Both registers of a block; the per-lane masks are formed only when a lane is flagged.
QOR_SIMD_INLINE int slog_screen_pair(const SLogPolyRows& c, f32x4 x0, f32x4 x1) {
  const i32x4 b0 = slog_bad_lanes(c, x0), b1 = slog_bad_lanes(c, x1);
  if (__builtin_expect(simd::mask(b0 | b1) == 0, 1)) return 0;
  return simd::mask(b0) | (simd::mask(b1) << 4);
}

template <int kB, bool kLA, bool kLog1p>
struct SLogPolyEval {
  static QOR_SIMD_INLINE const SLogPolyRows& rows() { return opaque(slog_poly_rows<kB, kLA, kLog1p>()); }
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) { return eval(rows(), x); }
  static QOR_SIMD_INLINE f32x4 eval(const SLogPolyRows& c, f32x4 x) {
    const f32x4 one = row(c.one);
    const f32x4 u = kLog1p ? x + one : x;
    const i32x4 t = u.bits() - irow(c.off);
    const i32x4 k = simd::shr_arith(t, 23);
    f32x4 f;
    if constexpr (kLog1p) {
      // k from u = RN(1 + x), f = (1 + x) 2^-k - 1 = x 2^-k + (2^-k - 1) from x itself: exact
      // for |k| <= 24 (x 2^-k and 2^-k - 1 are exact and their sum is a multiple of the
      // smaller one's ulp below 1/2); for k >= 25 the error stays below 2^-24 in f, far below
      // the result's ulp. x < 2^125 keeps 2^-k normal.
      const f32x4 s = (one.bits() - (t & irow(c.expo))).as_f32();  // 2^-k
      f = x * s + (s - one);
    } else {
      f = ((t & irow(c.frac)) + irow(c.off)).as_f32() - one;  // m - 1, exact
    }
    const f32x4 kf = simd::to_float(k);
    f32x4 w;
    if constexpr (kB == 1 && kLA) {
      // log2(1 + f) = z + z v P(v) with z = 2 C f / (2 + f): three roundings (2 + f, 2 C f,
      // the quotient) before the sum
      const f32x4 z = (f * row(c.two_cb)) / (f + row(c.two));
      const f32x4 v = z * z;
      w = z + z * (v * (row(c.c[0]) + v * (row(c.c[1]) + v * row(c.c[2]))));
    } else if constexpr (kLog1p) {
      const f32x4 z = (f + f) / (f + row(c.two));
      const f32x4 v = z * z;
      w = z + z * (v * (row(c.c[0]) + v * (row(c.c[1]) + v * row(c.c[2]))));
    } else if constexpr (kLA) {
      // Estrin: short dependency chains
      const f32x4 f2 = f * f, f4 = f2 * f2;
      const f32x4 lo = (row(c.c[0]) + f * row(c.c[1])) + f2 * (row(c.c[2]) + f * row(c.c[3]));
      const f32x4 hi = (row(c.c[4]) + f * row(c.c[5])) + f2 * (row(c.c[6]) + f * row(c.c[7]));
      const f32x4 P = lo + f4 * hi;
      w = (kB == 0) ? f + f2 * P : f * (row(c.cb) + f * P);
    } else {
      w = f * (row(c.c[0]) + f * (row(c.c[1]) + f * (row(c.c[2]) + f * row(c.c[3]))));
    }
    // k log_b(2) rounded once (within half an ulp of the result when k != 0)
    if constexpr (kB == 1) return kf + w;
    else return kf * row(c.lb2) + w;
  }
};

// ---- Families ------------------------------------------------------------------------------
// Ln, Log2, Log10: the packed formula handles positive normal x; the element routine handles
// special values and subnormal x (through the double core, exact widening).
template <class Base, class Eval>
struct SLogF32Family : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return Eval::eval(x); }
  static int screen(f32x4 x) { return screen_not_positive_normal(x); }
  __attribute__((noinline)) static int element(const float* px, float* out) {
    int status = kOk;
    if (log_special(*px, out, &status)) return status;
    *out = lane0(via_double<LogEvalEP<Base>>(f32x4::splat(*px)));
    return kOk;
  }
};

// LA and EP: the same element routine, the cheaper screen on both registers at once.
template <class Base, class Eval>
struct SLogPolyFamily : SLogF32Family<Base, Eval> {
  static int screen(f32x4 x) { return simd::mask(slog_bad_lanes(Eval::rows(), x)); }
  static int screen_pair(f32x4 x0, f32x4 x1) { return slog_screen_pair(Eval::rows(), x0, x1); }
  static void packed_pair(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
    const SLogPolyRows& c = Eval::rows();
    r0 = Eval::eval(c, x0);
    r1 = Eval::eval(c, x1);
  }
};

using SLog2LA = SLogPolyFamily<Base2, SLogPolyEval<1, true, false>>;
using SLog2EP = SLogPolyFamily<Base2, SLogPolyEval<1, false, false>>;
using SLog10LA = SLogPolyFamily<Base10, SLogPolyEval<2, true, false>>;
using SLog10EP = SLogPolyFamily<Base10, SLogPolyEval<2, false, false>>;
using SLnLA = SLogPolyFamily<BaseE, SLogPolyEval<0, true, false>>;
using SLnEP = SLogPolyFamily<BaseE, SLogPolyEval<0, false, false>>;

// The per-element routine of single-precision Ln HA (slog_ha.h): a complete scalar logarithm in
// double precision (65-entry table, polynomial of degree 8 near 1), rounded once (within 0.51
// ulp); it serves the flagged lanes (special values and subnormal inputs). Ordinary lanes take
// the packed formula wherever they sit, so a result never depends on its neighbours.
inline float sln_scalar(float xf, int* status) {
  const uint32_t ix = bits_of(xf), ax = ix & 0x7FFFFFFFu;
  *status = kOk;
  if (ax >= 0x7F800000u) {
    if (ix == 0xFF800000u) {
      *status = kErrDom;
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
    *status = kSing;
    return minus_inf_divzero_f();
  }
  *status = kErrDom;
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
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return Eval::eval(x); }
  static int screen(f32x4 x) { return screen_log1p(x); }
  __attribute__((noinline)) static int element(const float* px, float* out) {
    const float x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    if (x == -1.0f) {
      *out = minus_inf_divzero_f();
      return kSing;
    }
    if (x < -1.0f) {
      *out = nan_invalid_f();
      return kErrDom;
    }
    if (x == INFINITY || std::fabs(x) < 0x1p-60f) {
      *out = x;
      return kOk;
    }
    // x >= 2^125: the double core
    *out = lane0(via_double<Log1pEvalEP>(f32x4::splat(x)));
    return kOk;
  }
};
// Log1p LA: the same lanes flagged, found with integer compares on the bits of u = 1 + x (the
// packed formula's own sum: x > -1 and x < 2^125 exactly when u's bits are in [1, 0x7DFFFFFF])
// and of |x|.
QOR_SIMD_INLINE f32x4 slog1p_ok_lanes(const SLogPolyRows& c, f32x4 x) {
  const f32x4 u = x + row(c.one);
  const i32x4 out = simd::cmp_gt(u.bits() + irow(c.bias1p), irow(c.limit1p));
  const i32x4 big = simd::cmp_gt(x.bits() & irow(c.abs), irow(c.tiny));
  return simd::andnot(out.as_f32(), big.as_f32());
}
struct SLog1pLA : SLog1pFamily<SLogPolyEval<0, true, true>> {
  static int screen(f32x4 x) {
    return simd::mask(slog1p_ok_lanes(opaque(kSLog1pLARows), x)) ^ 0xF;
  }
  static int screen_pair(f32x4 x0, f32x4 x1) {
    const SLogPolyRows& c = opaque(kSLog1pLARows);
    const f32x4 ok0 = slog1p_ok_lanes(c, x0), ok1 = slog1p_ok_lanes(c, x1);
    if (__builtin_expect(simd::mask(ok0 & ok1) == 0xF, 1)) return 0;
    return (simd::mask(ok0) | (simd::mask(ok1) << 4)) ^ 0xFF;
  }
  static void packed_pair(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
    const SLogPolyRows& c = opaque(kSLog1pLARows);
    r0 = SLogPolyEval<0, true, true>::eval(c, x0);
    r1 = SLogPolyEval<0, true, true>::eval(c, x1);
  }
};


}  // namespace qor::vm::exp_log
