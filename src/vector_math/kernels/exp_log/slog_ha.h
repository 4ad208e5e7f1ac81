// Single-precision Ln, Log2, Log10 and Log1p HA: no table, one division, single precision.
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

#include "vector_math/kernels/exp_log/slog.h"

namespace qor::vm::exp_log {

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

using SLog2HA = SLogDivFamily<Base2, 1>;
using SLog10HA = SLogDivFamily<Base10, 2>;

// Ln: the per-element routine is the complete scalar logarithm of slog.h (double precision,
// rounded once) for special values and subnormal inputs.
struct SLnHA : SLogDivFamily<BaseE, 0> {
  __attribute__((noinline)) static int element(const float* px, float* out) {
    int status;
    *out = sln_scalar(*px, &status);
    return status;
  }
};

// Log1p: the lanes of the other flavours' screen, with the tiny end raised to 2^-40 so that no
// intermediate underflows (below 2^-24 the per-element routine's result x is the rounded
// log1p; between 2^-60 and 2^-40 it takes the double core).
struct SLog1pHA : SLog1pFamily<SLogDivEval<0, true>> {
  using E = SLogDivEval<0, true>;
  static QOR_SIMD_INLINE f32x4 ok(const SLogDivRows& c, f32x4 x) {
    // ordered compares: a NaN fails all three
    const f32x4 ax = x & E::row(c.abs);
    return simd::cmp_lt(E::row(c.m_one), x) & simd::cmp_lt(x, E::row(c.big)) & simd::cmp_le(E::row(c.tiny), ax);
  }
  static int screen(f32x4 x) { return simd::mask(ok(E::rows(), x)) ^ 0xF; }
  static int screen_pair(f32x4 x0, f32x4 x1) {
    const SLogDivRows& c = E::rows();
    const f32x4 ok0 = ok(c, x0), ok1 = ok(c, x1);
    if (__builtin_expect(simd::mask(ok0 & ok1) == 0xF, 1)) return 0;
    return (simd::mask(ok0) | (simd::mask(ok1) << 4)) ^ 0xFF;
  }
  static void packed_pair(f32x4 x0, f32x4 x1, f32x4& r0, f32x4& r1) {
    const SLogDivRows& c = E::rows();
    r0 = E::eval(c, x0);
    r1 = E::eval(c, x1);
  }
};

}  // namespace qor::vm::exp_log
