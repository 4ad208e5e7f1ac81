// Single-precision Ln, Log2, Log10 and Log1p HA: no table, one division.
//
// x = 2^k m with m in [sqrt(1/2), sqrt(2)) from the float's bits, f = m - 1 (exact), and
//     s = f / (2 + f),  z = s^2,  log1p(f) = 2 atanh(s) = f - f^2/2 + s (f^2/2 + R(z)),
// with R(z) = 2 (atanh(s) - s) / s a minimax polynomial z (c1 + c2 z + c3 z^2) on
// [0, 0.0300] (absolute error 2^-29; |s| < 0.1716). The terms that limit a plain single-precision
// evaluation are made exact:
//   f^2/2 = H + Hl with f_hi = f rounded down to 12 bits, H = (f_hi/2) f_hi exact and
//         Hl = f_lo (f + f_hi)/2 (2^-11 of H, its rounding error negligible);
//   f - H = S1 + e1 (Fast2Sum: |H| <= 0.21 |f|), so that log1p(f) = S1 + t with the small tail
//         t = e1 - Hl + s (H + Hl + R);
//   k log_b(2) = A_hi k + A_lo k with A_hi k exact, summed with the leading term by Fast2Sum
//         (|k A_hi| exceeds the leading term whenever k != 0).
// For base e the leading term is S1 itself; for bases 2 and 10 it is C_hi S1_hi (C_b = 1/ln(b) =
// C_hi + C_lo, both factors of 12 bits so the product is exact) and the rest of C_b log1p(f)
// joins the tail. Everything small is summed before the one final rounding; the error before
// that rounding stays a few hundredths of an ulp.
//
// Log1p reduces u = 1 + x with its rounding error e recovered exactly (Fast2Sum of max(x, 1) and
// min(x, 1)). For k = 0, f = x itself (u - 1 + e); elsewhere 1 + x = 2^k (m + d), d = 2^-k e,
// and d / m is added to the tail (|d| <= 2^-24 m, 1/m = (1 - s)/(1 + s) ~ (1 - s)(1 - s + z)
// within 0.5%).
#pragma once

#include "vector_math/kernels/exp_log/slog.h"

namespace qor::vm::exp_log {

template <int kB, bool kLog1p>
struct SLogDivEval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    using K = SLogBase<kB>;
    f32x4 u = x, corr;
    if constexpr (kLog1p) {
      const f32x4 one = cst<1.0f>();
      const f32x4 a = simd::max(x, one), b = simd::min(x, one);
      u = a + b;
      corr = (a - u) + b;  // exact: 1 + x = u + corr
    }
    const i32x4 t = u.bits() - i32x4::splat(0x3F3504F3);
    const i32x4 k = simd::shr_arith(t, 23);
    const f32x4 m = ((t & i32x4::splat(0x007FFFFF)) + i32x4::splat(0x3F3504F3)).as_f32();
    f32x4 f = m - cst<1.0f>();  // exact
    f32x4 d;
    if constexpr (kLog1p) {
      const f32x4 k0 = simd::cmp_eq(k, i32x4()).as_f32();
      f = simd::select(k0, x, f);
      const f32x4 scale = (i32x4::splat(0x3F800000) - simd::shl(k, 23)).as_f32();
      d = simd::andnot(k0, corr * scale);
    }
    const f32x4 kf = simd::to_float(k);
    const f32x4 s = f / (cst<2.0f>() + f);
    const f32x4 z = s * s;
    const f32x4 R = z * (cst<0x1.55557cp-1f>() + z * (cst<0x1.995c66p-2f>() + z * cst<0x1.32266ap-2f>()));
    const f32x4 f_hi = f & f32x4::from_bits(0xFFFFF000u);
    const f32x4 f_lo = f - f_hi;
    const f32x4 H = (cst<0.5f>() * f_hi) * f_hi;                // exact
    const f32x4 Hl = f_lo * (cst<0.5f>() * (f + f_hi));         // f^2/2 - H
    const f32x4 S1 = f - H;
    const f32x4 e1 = (f - S1) - H;
    f32x4 tail = (e1 - Hl) + s * ((H + Hl) + R);
    if constexpr (kLog1p) {
      const f32x4 a = cst<1.0f>() - s;
      tail = tail + d * (a * (a + z));
    }
    if constexpr (kB == 0) {
      const f32x4 T = kf * cst<K::kAHi>();  // exact
      const f32x4 S = T + S1;
      const f32x4 e2 = (T - S) + S1;
      return S + (e2 + (tail + kf * cst<K::kALo>()));
    } else {
      const f32x4 T = (kB == 1) ? kf : kf * cst<K::kAHi>();  // exact
      const f32x4 S1_hi = S1 & f32x4::from_bits(0xFFFFF000u);
      const f32x4 q = S1_hi * cst<K::kCHi>();  // exact
      const f32x4 S = T + q;
      const f32x4 e2 = (T - S) + q;
      const f32x4 lo = ((S1 - S1_hi) * cst<K::kCHi>() + S1 * cst<K::kCLo>()) + tail * cst<K::kC>();
      if constexpr (kB == 1) return S + (e2 + lo);
      else return S + (e2 + (lo + kf * cst<K::kALo>()));
    }
  }
};


// ---- Double-precision evaluation after the single-precision reduction ----------------------
template <int kB>
struct SLogDblConst;
// log_b(1 + f) = s (a0 + z (a1 + z (a2 + z a3))), a_i = 2 C_b c_i, c_0 = 1
#define QOR_SLOG_DBL_CONST(B, C, L)                                      \
  template <>                                                            \
  struct SLogDblConst<B> {                                               \
    static constexpr double kC = C, kL = L;                              \
    static constexpr double a0 = 2.0 * kC, a1 = 2.0 * kC * 0.3333340082077619, \
                            a2 = 2.0 * kC * 0.1998717584457538, a3 = 2.0 * kC * 0.14979926976433705; \
  };
QOR_SLOG_DBL_CONST(0, 1.0, 0.69314718055994530942)
QOR_SLOG_DBL_CONST(1, 1.4426950408889634074, 1.0)
QOR_SLOG_DBL_CONST(2, 0.43429448190325182765, 0.30102999566398119521)
#undef QOR_SLOG_DBL_CONST

template <int kB, bool kLog1p>
struct SLogDblEval {
  // m: the reduced argument (f = m - 1); kd: k
  static QOR_SIMD_INLINE f64x2 half(f64x2 m, f64x2 kd) {
    using K = SLogDblConst<kB>;
    const f64x2 one = f64x2::splat(1.0);
    const f64x2 s = (m - one) / (m + one);
    const f64x2 z = s * s;
    const f64x2 w = s * z;
    const f64x2 hi = f64x2::splat(K::a2) + z * f64x2::splat(K::a3);
    const f64x2 lo = (kd * f64x2::splat(K::kL) + s * f64x2::splat(K::a0)) + w * f64x2::splat(K::a1);
    return lo + (w * z) * hi;
  }
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    f32x4 u = x;
    if constexpr (kLog1p) u = x + cst<1.0f>();
    const i32x4 t = u.bits() - i32x4::splat(0x3F3504F3);
    const i32x4 k = simd::shr_arith(t, 23);
    f64x2 m0, m1;
    if constexpr (kLog1p) {
      const f32x4 scale = (i32x4::splat(0x3F800000) - simd::shl(k, 23)).as_f32();
      const f64x2 one = f64x2::splat(1.0);
      m0 = (widen_lo(x) + one) * widen_lo(scale);
      m1 = (widen_hi(x) + one) * widen_hi(scale);
    } else {
      const f32x4 m = ((t & i32x4::splat(0x007FFFFF)) + i32x4::splat(0x3F3504F3)).as_f32();
      m0 = widen_lo(m);
      m1 = widen_hi(m);
    }
    const f64x2 k0 = _mm_cvtepi32_pd(k.v), k1 = _mm_cvtepi32_pd(_mm_shuffle_epi32(k.v, 0xEE));
    return narrow(half(m0, k0), half(m1, k1));
  }
};

// ---- One division, no split ----------------------------------------------------------------
template <int kB, bool kLog1p>
struct SLogDivAEval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    using K = SLogBase<kB>;
    constexpr float C = K::kC;
    f32x4 u = x, corr;
    if constexpr (kLog1p) {
      const f32x4 one = cst<1.0f>();
      const f32x4 a = simd::max(x, one), b = simd::min(x, one);
      u = a + b;
      corr = (a - u) + b;  // exact: 1 + x = u + corr
    }
    const i32x4 t = u.bits() - i32x4::splat(0x3F3504F3);
    const i32x4 k = simd::shr_arith(t, 23);
    f32x4 f = ((t & i32x4::splat(0x007FFFFF)) + i32x4::splat(0x3F3504F3)).as_f32() - cst<1.0f>();
    f32x4 d;
    if constexpr (kLog1p) {
      const f32x4 k0 = simd::cmp_eq(k, i32x4()).as_f32();
      f = simd::select(k0, x, f);
      const f32x4 scale = (i32x4::splat(0x3F800000) - simd::shl(k, 23)).as_f32();
      d = simd::andnot(k0, corr * scale);
    }
    const f32x4 kf = simd::to_float(k);
    const f32x4 s = f / (cst<2.0f>() + f);
    const f32x4 z = s * s;
    // C R(z), C f^2/2
    const f32x4 R = z * (cst<C * 0x1.55557cp-1f>() + z * (cst<C * 0x1.995c66p-2f>() + z * cst<C * 0x1.32266ap-2f>()));
    if constexpr (kB == 0) {
      const f32x4 hfsq = (cst<0.5f>() * f) * f;
      const f32x4 T = kf * cst<K::kAHi>();  // exact
      const f32x4 S = T + f;
      const f32x4 e = (T - S) + f;
      const f32x4 S2 = S - hfsq;
      const f32x4 e2 = (S - S2) - hfsq;
      f32x4 lo = e + kf * cst<K::kALo>();
      if constexpr (kLog1p) {
        const f32x4 a = cst<1.0f>() - s;
        lo = lo + d * (a * (a + z));  // d / m
      }
      return S2 + (lo + (e2 + s * (hfsq + R)));
    } else {
      const f32x4 T = (kB == 1) ? kf : kf * cst<K::kAHi>();  // exact
      const f32x4 f_hi = f & f32x4::from_bits(0xFFFFF000u);
      const f32x4 q = f_hi * cst<K::kCHi>();  // exact
      const f32x4 S = T + q;
      const f32x4 e = (T - S) + q;
      f32x4 lo1 = (f - f_hi) * cst<K::kCHi>() + f * cst<K::kCLo>();  // C f - q
      const f32x4 hf = cst<0.5f>() * f;
      const f32x4 hq = hf * q;
      const f32x4 hl = hf * lo1;
      const f32x4 S2 = S - hq;
      const f32x4 e2 = (S - S2) - hq;
      if constexpr (kB == 2) lo1 = lo1 + kf * cst<K::kALo>();
      return S2 + ((e + lo1) + ((e2 - hl) + s * ((hq + hl) + R)));
    }
  }
};

namespace ha {

using SLog2HA = SLogF32Family<Base2, SLogDivAEval<1, false>, "vsLog2">;
using SLog10HA = SLogF32Family<Base10, SLogDivAEval<2, false>, "vsLog10">;

struct SLnHA : FamilyBase<float> {
  static constexpr const char* kName = "vsLn";
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return SLogDivAEval<0, false>::eval(x); }
  static int screen(f32x4 x) { return screen_not_positive_normal(x); }
  __attribute__((noinline)) static int element(const float* px, float* out) {
    int status;
    *out = sln_scalar(*px, &status);
    return status;
  }
};

// Log1p: the screen of the other flavours, with the tiny end raised to 2^-40 so that no
// intermediate underflows (below 2^-24 the element routine's result x is the rounded log1p).
struct SLog1pHA : SLog1pFamily<SLogDivAEval<0, true>> {
  static int screen(f32x4 x) {
    const f32x4 ok = simd::cmp_lt(cst<-1.0f>(), x) & simd::cmp_lt(x, cst<0x1p125f>()) &
                     simd::cmp_le(cst<0x1p-40f>(), simd::abs(x));
    return simd::mask(ok) ^ 0xF;
  }
};

}  // namespace ha

}  // namespace qor::vm::exp_log
