// What the single-precision logarithms (ln.h, log2.h, log10.h, log1p.h) share, computed in single
// precision: constant rows, the LA/EP polynomial cores, the HA division cores and their families.
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
//
// HA: no table, one division, single precision.
//
// x = 2^k m with m in [sqrt(1/2), sqrt(2)) from the float's bits, f = m - 1 (exact), and
//     s = f / (2 + f),  z = s^2,  log1p(f) = 2 atanh(s) = f - f^2/2 + s (f^2/2 + R(z)),
// with R(z) = 2 (atanh(s) - s) / s ~ z (c1 + c2 z + c3 z^2), minimax on [0, 0.0300] (absolute
// error 2^-29; |s| <= 0.1716). The rounding errors of s only reach the last, small term. The
// result is assembled as an unevaluated sum whose head is summed exactly:
//   base e:   S = k A_hi + f             (A_hi k exact; Fast2Sum, |k A_hi| > |f| when k != 0)
//             S2 = S - h, h = RN(f/2 f)  (Fast2Sum, |h| <= 0.21 |S|)
//   base 2, 10: C_b = 1/ln(b) = C_hi + C_lo (C_hi of 12 bits), f_hi = f to 12 bits, q = C_hi f_hi
//             exact, C f = q + l with l = C_hi (f - f_hi) + C_lo f; S = k A_hi + q (Fast2Sum),
//             S2 = S - h with h = RN(f/2 q) (Fast2Sum), C f^2/2 = h + (f/2) l + RN error;
// and everything small (the two Fast2Sum errors, k A_lo, l, the s term) is added to S2 in one
// final rounding. The rounding of h (at most 2^-28 against results of magnitude >= 0.34 when
// |f| is large) and the rounding errors of s dominate: over all single-precision inputs the
// results are within 0.72 ulp (Ln), 0.80 ulp (Log2), 0.75 ulp (Log10).
//
// Log1p reduces u = 1 + x with its rounding error e recovered exactly (Fast2Sum of max(x, 1) and
// min(x, 1)). For k = 0, f = x itself (u - 1 + e, exact); elsewhere 1 + x = 2^k (m + d) with
// d = 2^-k e, |d| <= 2^-24 m, and d / m joins the small terms, 1/m = (1 - s)/(1 + s) taken as
// (1 - s)(1 - s + z) (within 0.5%). Results are within 0.72 ulp.
//
// Constants are rows of a table read through opaque(), so that the loop takes them as memory
// operands; both registers of a block are computed together.
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

struct alignas(16) SLogDivRows {
  uint32_t off[4];    // 0x3F3504F3: x's bits minus this give k (top) and m's fraction (bottom)
  uint32_t frac[4];   // 0x007FFFFF
  uint32_t hi12[4];   // 0xFFFFF000: keeps 12 significant bits
  uint32_t bias[4];   // screen: 0x7F800000
  uint32_t limit[4];  // 0xFEFFFFFF
  float one[4];
  float two[4];
  float half[4];
  float a_hi[4], a_lo[4];  // log_b(2) = A_hi + A_lo, A_hi a multiple of 2^-16
  float c_hi[4], c_lo[4];  // C_b = C_hi + C_lo, C_hi of 12 bits
  float r[3][4];           // C_b R(z) = z (r0 + r1 z + r2 z^2)
  float m_one[4];          // Log1p screen: -1, 2^125, 2^-40, |.|
  float big[4];
  float tiny[4];
  uint32_t abs[4];
};
#define QOR_SLOGD_ROWS(kB)                                                                                      \
  {QOR_ROW4(0x3F3504F3u), QOR_ROW4(0x007FFFFFu), QOR_ROW4(0xFFFFF000u), QOR_ROW4(0x7F800000u), \
   QOR_ROW4(0xFEFFFFFFu), QOR_ROW4(1.0f), QOR_ROW4(2.0f), QOR_ROW4(0.5f),                      \
   QOR_ROW4(SLogBase<kB>::kAHi), QOR_ROW4(SLogBase<kB>::kALo), QOR_ROW4(SLogBase<kB>::kCHi),          \
   QOR_ROW4(SLogBase<kB>::kCLo),                                                                            \
   {QOR_ROW4(SLogBase<kB>::kC * 0x1.55557cp-1f), QOR_ROW4(SLogBase<kB>::kC * 0x1.995c66p-2f),            \
    QOR_ROW4(SLogBase<kB>::kC * 0x1.32266ap-2f)},                                                           \
   QOR_ROW4(-1.0f), QOR_ROW4(0x1p125f), QOR_ROW4(0x1p-40f), QOR_ROW4(0x7FFFFFFFu)}
inline constexpr SLogDivRows kSLogDivRows[3] = {QOR_SLOGD_ROWS(0), QOR_SLOGD_ROWS(1), QOR_SLOGD_ROWS(2)};
#undef QOR_SLOGD_ROWS

template <int kB, bool kLog1p>
struct SLogDivEval {
  static QOR_SIMD_INLINE const SLogDivRows& rows() { return opaque(kSLogDivRows[kB]); }
  static QOR_SIMD_INLINE f32x4 row(const float (&r)[4]) { return _mm_load_ps(r); }

  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) { return eval(rows(), x); }
  static QOR_SIMD_INLINE f32x4 eval(const SLogDivRows& c, f32x4 x) {
    const f32x4 one = row(c.one);
    f32x4 u = x, corr;
    if constexpr (kLog1p) {
      const f32x4 a = simd::max(x, one), b = simd::min(x, one);
      u = a + b;
      corr = (a - u) + b;  // exact: 1 + x = u + corr
    }
    const i32x4 t = u.bits() - irow(c.off);
    const i32x4 k = simd::shr_arith(t, 23);
    f32x4 f = ((t & irow(c.frac)) + irow(c.off)).as_f32() - one;  // exact
    f32x4 d;
    if constexpr (kLog1p) {
      const f32x4 k0 = simd::cmp_eq(k, i32x4()).as_f32();
      f = simd::select(k0, x, f);
      const f32x4 scale = (one.bits() - simd::shl(k, 23)).as_f32();  // 2^-k
      d = simd::andnot(k0, corr * scale);
    }
    const f32x4 kf = simd::to_float(k);
    const f32x4 s = f / (row(c.two) + f);
    const f32x4 z = s * s;
    const f32x4 R = z * (row(c.r[0]) + z * (row(c.r[1]) + z * row(c.r[2])));  // C R(z)
    const f32x4 hf = row(c.half) * f;
    if constexpr (kB == 0) {
      const f32x4 h = hf * f;
      const f32x4 T = kf * row(c.a_hi);  // exact
      const f32x4 S = T + f;
      const f32x4 e = (T - S) + f;
      const f32x4 S2 = S - h;
      const f32x4 e2 = (S - S2) - h;
      f32x4 lo = e + kf * row(c.a_lo);
      if constexpr (kLog1p) {
        const f32x4 a = one - s;
        lo = lo + d * (a * (a + z));  // d / m
      }
      return S2 + (lo + (e2 + s * (h + R)));
    } else {
      const f32x4 T = (kB == 1) ? kf : kf * row(c.a_hi);  // exact
      const f32x4 f_hi = f & row(c.hi12);
      const f32x4 q = f_hi * row(c.c_hi);  // exact
      const f32x4 S = T + q;
      const f32x4 e = (T - S) + q;
      f32x4 l = (f - f_hi) * row(c.c_hi) + f * row(c.c_lo);  // C f - q
      const f32x4 h = hf * q;
      const f32x4 hl = hf * l;
      const f32x4 S2 = S - h;
      const f32x4 e2 = (S - S2) - h;
      if constexpr (kB == 2) l = l + kf * row(c.a_lo);
      return S2 + ((e + l) + ((e2 - hl) + s * ((h + hl) + R)));
    }
  }
  static QOR_SIMD_INLINE f32x4 row(const uint32_t (&r)[4]) { return _mm_load_ps(reinterpret_cast<const float*>(r)); }
};

// Ln, Log2, Log10: flagged lanes (bits outside [0x00800000, 0x7F7FFFFF], i.e. not a positive
// normal number: the unsigned test b - 0x00800000 >= 0x7F000000 as one signed compare of
// b + 0x7F800000) go to the per-element routine.
template <class Base, int kB>
struct SLogDivFamily : SLogF32Family<Base, SLogDivEval<kB, false>> {
  using E = SLogDivEval<kB, false>;
  static QOR_SIMD_INLINE i32x4 bad(const SLogDivRows& c, f32x4 x) {
    return simd::cmp_gt(x.bits() + irow(c.bias), irow(c.limit));
  }
  static int screen(f32x4 x) { return simd::mask(bad(E::rows(), x)); }
  static int screen_pair(f32x4 x0, f32x4 x1) {
    const SLogDivRows& c = E::rows();
    const i32x4 b0 = bad(c, x0), b1 = bad(c, x1);
    if (__builtin_expect(simd::mask(b0 | b1) == 0, 1)) return 0;
    return simd::mask(b0) | (simd::mask(b1) << 4);
  }
  static void packed_pair(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
    const SLogDivRows& c = E::rows();
    r0 = E::eval(c, x0);
    r1 = E::eval(c, x1);
  }
};

}  // namespace qor::vm::exp_log
