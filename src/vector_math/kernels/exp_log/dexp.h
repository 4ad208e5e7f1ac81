// Double-precision exponentials: Exp (three flavours), Exp2, Exp10, Expm1 (three flavours).
//
// All share one table-driven scheme: N = round(x * 64 / ln 2) (or x * 64, or x * 64 log2 10)
// through the shifter 1.5 * 2^52, a reduced argument r with |r| <= ln 2 / 128, j = N & 63,
// n = N >> 6, and
//     exp(x) = 2^n * (T_hi[j] + (T_lo[j] + (T_hi[j] + T_lo[j]) * p(r))),  p(r) ~ e^r - 1,
// with 2^n built in the exponent field. Inputs the packed formula cannot take (near overflow
// and underflow, special values) go to the per-element routine, which scales in two steps so
// that subnormal results are rounded once.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/common.h"

namespace qor::vm::exp_log {

// ---- reductions ----------------------------------------------------------------------------
// Each gives the shifted value t (N in the low bits of its pattern) and r.
struct RedExp {  // e^x
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const auto& c = kDExp;
    const f64x2 sh = row(c.shifter);
    t = x * row(c.inv_ln2_64) + sh;
    const f64x2 k = t - sh;
    r = (x - k * row(c.c1)) - k * row(c.c2);
  }
};
struct RedExp2 {  // 2^x: r = (x - N/64) * ln 2, the difference exact
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const f64x2 sh = row(kDExp.shifter);
    t = x * f64x2::splat(64.0) + sh;
    const f64x2 k = t - sh;
    r = (x - k * f64x2::splat(0x1p-6)) * f64x2::splat(0x1.62e42fefa39efp-1);
  }
};
struct RedExp10 {  // 10^x: r = ((x - N*D1) - N*D2) * ln 10 with D1 + D2 = log10(2) / 64
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const f64x2 sh = row(kDExp.shifter);
    t = x * f64x2::splat(0x1.a934f0979a371p+7) + sh;  // 64 * log2(10)
    const f64x2 k = t - sh;
    const f64x2 d = (x - k * f64x2::splat(0x1.3441350ap-8)) - k * f64x2::splat(-0x1.0c0219dc1da99p-45);
    r = d * f64x2::splat(0x1.26bb1bbb55516p+1);  // ln 10
  }
};

// p(r) ~ e^r - 1 on |r| <= ln 2 / 128: degree 5 (HA, LA), degree 3 (EP).
QOR_SIMD_INLINE f64x2 expm1_poly5(f64x2 r) {
  const auto& c = kDExp;
  return r + (r * r) * (row(c.p2) + r * (row(c.p3) + r * (row(c.p4) + r * row(c.p5))));
}
QOR_SIMD_INLINE f64x2 expm1_poly3(f64x2 r) {
  return r + (r * r) * (f64x2::splat(0.5) + r * f64x2::splat(0x1.5555555555555p-3));
}

// 2^n for n = N >> 6 in the exponent field: ((N + 1023*64) << 46) & exponent mask.
QOR_SIMD_INLINE f64x2 scale_of(f64x2 t) {
  const auto& c = kDExp;
  return (simd::shl(t.bits() + irow(c.bias), 46).as_f64() & row(c.exp_mask));
}
QOR_SIMD_INLINE i64x2 index_of(f64x2 t) { return t.bits() & i64x2::splat(63); }

// Scales y by 2^n for any n in [-1100, 1100] with one rounding.
inline double scale_two_step(double y, int32_t n) {
  if (n > 1023) return mul_rt(y * double_of(static_cast<uint64_t>(n - 1 + 1023) << 52), 2.0);
  if (n < -1020) return mul_rt(y * double_of(static_cast<uint64_t>(n + 1000 + 1023) << 52), 0x1p-1000);
  return mul_rt(y, double_of(static_cast<uint64_t>(n + 1023) << 52));
}
// n and j of lane 0 of t.
inline int32_t n_of(f64x2 t) { return static_cast<int32_t>(bits_of(lane0(t))) >> 6; }

// Status of a finite input's result: overflow 3 (inf), underflow 4 (below the normal range).
inline int exp_status(double r) {
  if (r == HUGE_VAL) return 3;
  if (r < 0x1p-1022) return 4;
  return 0;
}

// Subnormal results rounded once: 2^n * (th + rest) for n < -1020. The sum is formed at the
// scale 2^1022 (so that the result is below 1), rounded at the granularity 2^-52 by adding and
// removing 1 (which is the least subnormal once scaled back), and scaled back exactly.
inline double scale_subnormal(double th, double rest, int32_t n) {
  if (n < -1080) return mul_rt(0x1p-1022, 0x1p-1022);
  const double s = double_of(static_cast<uint64_t>(n + 1022 + 1023) << 52);
  const double a = s * th, b = s * rest;
  double y = a + b;
  if (y < 1.0) {
    const double lo0 = (a - y) + b;
    const double hi = 1.0 + y;
    const double lo = ((1.0 - hi) + y) + lo0;
    y = (hi + lo) - 1.0;
  }
  return mul_rt(y, 0x1p-1022);
}

// ---- HA/LA core: y = T_hi + (T_lo + T * p) -------------------------------------------------
template <class Red>
struct DExpCore {
  static QOR_SIMD_INLINE f64x2 parts(f64x2 x, f64x2& t, f64x2& th) {
    f64x2 r;
    Red::reduce(x, t, r);
    const f64x2 p = expm1_poly5(r);
    f64x2 tl;
    gather2(kDExp.t, index_of(t), th, tl);
    return tl + (th + tl) * p;
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, th;
    const f64x2 rest = parts(x, t, th);
    return (th + rest) * scale_of(t);
  }
  // One element for any n: two-step scaling, subnormal results rounded once.
  static double scalar(double x) {
    f64x2 t, th;
    const f64x2 rest = parts(f64x2::splat(x), t, th);
    const int32_t n = n_of(t);
    if (n < -1020) return scale_subnormal(lane0(th), lane0(rest), n);
    return scale_two_step(lane0(th + rest), n);
  }
};

template <class Red>
struct DExpCoreEP {
  static QOR_SIMD_INLINE f64x2 parts(f64x2 x, f64x2& t) {
    f64x2 r;
    Red::reduce(x, t, r);
    const f64x2 p = expm1_poly3(r);
    f64x2 th, tl;
    gather2(kDExp.t, index_of(t), th, tl);
    return th + th * p;
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t;
    const f64x2 y = parts(x, t);
    return y * scale_of(t);
  }
  static double scalar(double x) {
    f64x2 t;
    const f64x2 y = parts(f64x2::splat(x), t);
    return scale_two_step(lane0(y), n_of(t));
  }
};

// ---- Exp -----------------------------------------------------------------------------------
// Per-element routine of double Exp: the thresholds compare the whole 64-bit pattern.
template <class Core>
inline int dexp_special(const double* px, double* out) {
  const double x = *px;
  const uint64_t ix = bits_of(x), ax = ix & 0x7FFFFFFFFFFFFFFFull;
  if (ax > 0x7FF0000000000000ull) {  // NaN
    *out = x + x;
    return 0;
  }
  if (ax == 0x7FF0000000000000ull) {
    *out = (ix >> 63) ? 0.0 : x;
    return 0;
  }
  if (ix >> 63) {
    if (ix >= 0xC0874910D52D3052ull) {  // x <= -745.1332191019412: +0
      *out = mul_rt(0x1p-1022, 0x1p-1022);
      return 4;
    }
    if (ix >= 0xC086232BDD7ABCD3ull) {  // x <= -708.3964185322642: subnormal result
      *out = Core::scalar(x);
      return 4;
    }
  } else {
    if (ix >= 0x40862E42FEFA39F0ull) {  // x >= 709.7827128933841: +inf
      *out = mul_rt(0x1p1023, 0x1p1023);
      return 3;
    }
    if (ix >= 0x40862E37E7D8BA72ull) {  // x >= 709.7772976810359: 2^1024 scaled in two steps
      *out = Core::scalar(x);
      return 0;
    }
  }
  *out = lane0(Core::eval(f64x2::splat(x)));
  return 0;
}

template <class Core>
struct DExpFamily : FamilyBase<double> {
  static constexpr const char* kName = "vdExp";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return Core::eval(x); }
  // |x| >= 708.396 (high word of |x| at least 0x4086232B), infinities and NaNs
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x4086232Au); }
  static int element(const double* px, double* out) { return dexp_special<Core>(px, out); }
};
using DExpHA = DExpFamily<DExpCore<RedExp>>;
using DExpEP = DExpFamily<DExpCoreEP<RedExp>>;

// ---- Exp2 and Exp10 ------------------------------------------------------------------------
struct DExp2HA : FamilyBase<double> {
  static constexpr const char* kName = "vdExp2";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return DExpCore<RedExp2>::eval(x); }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x408FEFFFu); }  // |x| >= 1022
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (std::isinf(x)) {
      *out = x > 0 ? x : 0.0;
      return 0;
    }
    if (x >= 1024.0) {
      *out = mul_rt(0x1p1023, 0x1p1023);
      return 3;
    }
    if (x <= -1075.0) {
      *out = mul_rt(0x1p-1022, 0x1p-1022);
      return 4;
    }
    *out = DExpCore<RedExp2>::scalar(x);
    return exp_status(*out);
  }
};

struct DExp10HA : FamilyBase<double> {
  static constexpr const char* kName = "vdExp10";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return DExpCore<RedExp10>::eval(x); }
  static int screen(f64x2 x) { return simd::mask_abs_high_above(x, 0x4072FFFFu); }  // |x| >= 304
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (std::isinf(x)) {
      *out = x > 0 ? x : 0.0;
      return 0;
    }
    if (x > 308.25471555991675) {
      *out = mul_rt(0x1p1023, 0x1p1023);
      return 3;
    }
    if (x < -323.6072453387798) {
      *out = mul_rt(0x1p-1022, 0x1p-1022);
      return 4;
    }
    *out = DExpCore<RedExp10>::scalar(x);
    return exp_status(*out);
  }
};

// ---- Expm1 ---------------------------------------------------------------------------------
// n >= -1: (2^n T_hi - 1) is exact, and the rest 2^n (T_lo + T p) is added to it;
// n <= -2: e^x <= 1/2 is formed first and 1 subtracted.
template <bool kEP>
struct DExpm1Core;

// EP: e^x - 1 = (2^n T_hi - 1) + 2^n T_hi p(r), p of degree 4.
template <>
struct DExpm1Core<true> {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, r;
    RedExp::reduce(x, t, r);
    f64x2 th, tl;
    gather2(kDExp.t, index_of(t), th, tl);
    const f64x2 s = scale_of(t);
    const f64x2 one = f64x2::splat(1.0);
    const f64x2 p = r + (r * r) * (f64x2::splat(0.5) + r * (f64x2::splat(0x1.5555555555555p-3) +
                                                            r * f64x2::splat(0x1.5555555555555p-5)));
    const f64x2 rest = th * p;
    const f64x2 a = (s * th - one) + s * rest;  // n >= -1
    const f64x2 b = s * (th + rest) - one;      // n <= -2
    const f64x2 small = simd::cmp_lt(t, row(kDExp.shifter) - f64x2::splat(64.0));
    return simd::select(small, b, a);
  }
};

// HA: the product T_hi * r is carried exactly (both split in halves) and added to the exact
// 2^n T_hi - 1 without rounding, so that only small terms are rounded before the final sum.
template <>
struct DExpm1Core<false> {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = kDExp;
    const f64x2 sh = row(c.shifter);
    f64x2 t = x * row(c.inv_ln2_64) + sh;
    f64x2 k = t - sh;
    // |x| < ln 2 / 64: no table step (N = 0, r = x)
    const f64x2 near0 = simd::cmp_lt(simd::abs(x), f64x2::splat(0x1.62e42fefa39efp-7));
    t = simd::select(near0, sh, t);
    k = andnot(near0, k);
    const f64x2 rh = x - k * row(c.c1);  // exact
    const f64x2 kc2 = k * row(c.c2);
    const f64x2 r = rh - kc2;
    const f64x2 rlo = (rh - r) - kc2;
    // q = e^r - 1 - r, Taylor to degree 7 (|r| <= ln 2 / 64)
    const f64x2 q = (r * r) * (f64x2::splat(0.5) +
                               r * (f64x2::splat(0x1.5555555555555p-3) +
                                    r * (f64x2::splat(0x1.5555555555555p-5) +
                                         r * (f64x2::splat(0x1.1111111111111p-7) +
                                              r * (f64x2::splat(0x1.6c16c16c16c17p-10) +
                                                   r * f64x2::splat(0x1.a01a01a01a01ap-13))))));
    f64x2 th, tl;
    gather2(c.t, index_of(t), th, tl);
    const f64x2 s = scale_of(t);
    const f64x2 one = f64x2::splat(1.0);
    const f64x2 split = f64x2::from_bits(0xFFFFFFFFF8000000ull);
    const f64x2 thh = th & split, thl = th - thh;
    const f64x2 rhh = r & split, rhl = r - rhh;
    const f64x2 p1 = thh * rhh;                                  // exact
    const f64x2 rest = (thh * rhl + thl * r) + th * (q + rlo) + tl * (one + r);
    // hi + he = 2^n T_hi - 1 exactly (2Sum); (hi + 2^n p1) by Fast2Sum; then the small terms
    const f64x2 big = s * th;
    const f64x2 mone = f64x2::splat(-1.0);
    const f64x2 hi = big + mone;
    const f64x2 bv = hi - big;
    const f64x2 he = (big - (hi - bv)) + (mone - bv);
    const f64x2 a1 = s * p1;
    const f64x2 u = hi + a1;
    const f64x2 e = (hi - u) + a1;
    return u + ((e + he) + s * rest);
  }
};

template <bool kEP>
struct DExpm1Family : FamilyBase<double> {
  static constexpr const char* kName = "vdExpm1";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return DExpm1Core<kEP>::eval(x); }
  // |x| >= 708.396 (and special values), or |x| < 2^-54 (result x, keeps the sign of zero)
  static int screen(f64x2 x) {
    const __m128i h = _mm_shuffle_epi32(simd::abs(x).bits().v, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128i big = _mm_cmpgt_epi32(h, _mm_set1_epi32(0x4086232A));
    const __m128i tiny = _mm_cmplt_epi32(h, _mm_set1_epi32(0x3C900000));
    return _mm_movemask_pd(_mm_castsi128_pd(_mm_or_si128(big, tiny)));
  }
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    const double ax = std::fabs(x);
    if (ax < 0x1p-54) {  // expm1(x) rounds to x
      *out = x;
      return 0;
    }
    if (x < -40.0) {  // -1 + e^x rounds to -1
      *out = (x == -HUGE_VAL) ? -1.0 : mul_rt(0x1p-60, 0x1p-60) - 1.0;
      return 0;
    }
    if (x == HUGE_VAL) {
      *out = x;
      return 0;
    }
    if (x >= 709.7827128933841) {
      *out = mul_rt(0x1p1023, 0x1p1023);
      return 3;
    }
    if (x >= 708.0) {  // e^x - 1 = e^x here; two-step scaling near the top
      *out = DExpCore<RedExp>::scalar(x);
      return exp_status(*out);
    }
    *out = lane0(DExpm1Core<kEP>::eval(f64x2::splat(x)));
    return 0;
  }
};
using DExpm1HA = DExpm1Family<false>;
using DExpm1EP = DExpm1Family<true>;

}  // namespace qor::vm::exp_log
