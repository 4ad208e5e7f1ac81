// Double-precision logarithms: Ln, Log2, Log10, Log1p, Logb.
//
// x = 2^k * m with m in about [0.75, 1.5) (the exponent is taken relative to 0x3FE7FC00);
// j = the top ten fraction bits rounded to nine; R_j ~ 1/(1 + j/512) with 21 significant bits;
// u = m R_j - 1 (|u| < 2^-9.9) evaluated exactly up to the last product; then
//     log(x) = k A + T_j + C (u + u^2 P(u))
// with A = ln 2 / 1 / log10 2, T_j = -log(R_j) from the tables (H_j + L_j, H_j and k A_hi exact),
// and C = 1 / log2 e / log10 e. HA sums the leading terms exactly (Fast2Sum) and the small
// ones first; EP keeps only the leading parts and a cubic.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/common.h"

namespace qor::vm::exp_log {

// Base of a logarithm: k multiplier (hi + lo, hi with short significand), its H/L table, and the
// multiplier of u (hi with 26 bits + lo).
struct BaseE {
  static constexpr double a_hi = 0x1.62e42fefa38p-1, a_lo = 0x1.ef35793c7673p-45;
  static constexpr bool kUnit = true;
  static constexpr double c_hi = 1.0, c_lo = 0.0, c = 1.0;
  static QOR_SIMD_INLINE void hl(i64x2 j, f64x2& h, f64x2& l) { gather2_hi(kDLn.e, j, h, l); }
};
struct Base2 {
  static constexpr double a_hi = 1.0, a_lo = 0.0;
  static constexpr bool kUnit = false;
  static constexpr double c_hi = 0x1.715476p+0, c_lo = 0x1.4ae0bf85ddf44p-26, c = 0x1.71547652b82fep+0;
  static QOR_SIMD_INLINE void hl(i64x2 j, f64x2& h, f64x2& l) { gather2(kDLog2.e, j, h, l); }
};
struct Base10 {
  static constexpr double a_hi = 0x1.34413509f8p-2, a_lo = -0x1.80433b83b532ap-44;  // log10 2
  static constexpr bool kUnit = false;
  static constexpr double c_hi = 0x1.bcb7b1p-2, c_lo = 0x1.49b9438ca9aaep-28, c = 0x1.bcb7b1526e50ep-2;
  static QOR_SIMD_INLINE void hl(i64x2 j, f64x2& h, f64x2& l) { gather2(kDLog10.e, j, h, l); }
};

struct LogReduced {
  f64x2 k;  // exponent as a double
  i64x2 j;  // table index (low 32 bits of each lane)
  f64x2 m;  // significand in [1, 2)
  f64x2 R;
};

// x positive, normal, finite.
QOR_SIMD_INLINE LogReduced dlog_reduce(f64x2 x) {
  const auto& c = kDLn;
  LogReduced o;
  const i32x4 h32 = x.bits().as_i32();
  // k = ((h - 0x3FE7FC00) >> 20), placed in the high word of 1.5 * 2^20 and read as a double
  const i32x4 kk = simd::shr_arith(h32 - i32x4::splat(0x3FE7FC00), 20) + i32x4::splat(0x41380000);
  o.k = (kk.as_f64() & row(c.hi_mask)) - row(c.int_conv);
  o.m = (x & row(c.frac_mask)) | row(c.one);
  const i64x2 hl = simd::shr_logical(x.bits(), 32);
  o.j = simd::shr_logical(((hl & i64x2::splat(0xFFC00)) + i64x2::splat(0x400)) & i64x2::splat(0x1FF800), 11);
  f64x2 r2;
  gather2(c.e, o.j, o.R, r2);
  return o;
}

// HA: log_base(x) (with k adjusted by kadj, and du added to u: used for subnormal inputs and
// for Log1p's correction).
template <class Base, bool kHasDu = false>
QOR_SIMD_INLINE f64x2 dlog_ha(const LogReduced& q, f64x2 kadj, f64x2 du) {
  const auto& c = kDLn;
  const f64x2 one = row(c.one);
  const f64x2 mhi = q.m & row(c.hi_mask);
  const f64x2 mlo = q.m - mhi;
  const f64x2 uhi = mhi * q.R - one;  // exact
  const f64x2 ulo = mlo * q.R;        // exact (32 x 21 bits)
  // u + uerr = uhi + ulo exactly (2Sum); du (Log1p's correction) joins the error term
  f64x2 u = uhi + ulo;
  const f64x2 bv = u - uhi;
  const f64x2 uerr = (uhi - (u - bv)) + (ulo - bv);
  const f64x2 k = q.k + kadj;
  const f64x2 uf = kHasDu ? u + (uerr + du) : u;
  const f64x2 P = (uf * uf) * (row(c.p2) + uf * (row(c.p3) + uf * (row(c.p4) + uf * row(c.p5))));
  f64x2 H, L;
  Base::hl(q.j, H, L);
  const f64x2 hi = k * f64x2::splat(Base::a_hi) + H;  // exact
  f64x2 lo = L;
  if constexpr (Base::a_lo != 0.0) lo = k * f64x2::splat(Base::a_lo) + L;
  f64x2 t1, t2;
  if constexpr (Base::kUnit) {
    t1 = u;
    t2 = uerr + P;
  } else {
    const f64x2 uh = u & f64x2::from_bits(0xFFFFFFFFF8000000ull);
    const f64x2 ul = (u - uh) + uerr;
    t1 = uh * f64x2::splat(Base::c_hi);  // exact
    t2 = (ul * f64x2::splat(Base::c_hi) + u * f64x2::splat(Base::c_lo)) + P * f64x2::splat(Base::c);
  }
  const f64x2 s = hi + t1;
  const f64x2 e = (hi - s) + t1;  // |hi| >= |t1| or hi = 0
  if constexpr (kHasDu) {  // |s| >= |du| or s = 0
    const f64x2 s2 = s + du;
    const f64x2 e2 = (s - s2) + du;
    return s2 + ((e + e2) + (t2 + lo));
  }
  return s + (e + (t2 + lo));
}

// EP: leading parts only, u = m R - 1 in one step, a cubic.
template <class Base>
QOR_SIMD_INLINE f64x2 dlog_ep(const LogReduced& q) {
  const f64x2 u = q.m * q.R - f64x2::splat(1.0);
  const f64x2 p = u + (u * u) * (f64x2::splat(-0.5) + u * f64x2::splat(0x1.5555555555555p-2));
  f64x2 H, L;
  Base::hl(q.j, H, L);
  const f64x2 hi = q.k * f64x2::splat(Base::a_hi) + H;
  if constexpr (Base::kUnit) return hi + p;
  else return hi + p * f64x2::splat(Base::c);
}

// Lanes whose x is not a positive normal finite number: (h - 0x80100000) >= -2^21 (signed).
QOR_SIMD_INLINE int screen_positive_normal(f64x2 x) {
  const __m128i h = _mm_shuffle_epi32(x.bits().v, _MM_SHUFFLE(3, 3, 1, 1));
  const __m128i d = _mm_sub_epi32(h, _mm_set1_epi32(static_cast<int32_t>(0x80100000u)));
  const __m128i ok = _mm_cmplt_epi32(d, _mm_set1_epi32(-2097152));
  return _mm_movemask_pd(_mm_castsi128_pd(ok)) ^ 3;
}

// Special values of a logarithm of x (non-positive, subnormal, infinite, NaN). Returns true
// when it set *out and *status; otherwise x is subnormal and the caller scales it.
inline bool dlog_special(double x, double* out, int* status) {
  if (std::isnan(x)) {
    *out = x + x;
    *status = 0;
    return true;
  }
  if (x == 0.0) {
    *out = minus_inf_divzero_d();
    *status = 2;
    return true;
  }
  if (x < 0.0) {
    *out = nan_invalid_d();
    *status = 1;
    return true;
  }
  if (x == HUGE_VAL) {
    *out = x;
    *status = 0;
    return true;
  }
  return false;
}

template <class Base, bool kEP, const char* const* kNameP>
struct DLogFamily : FamilyBase<double> {
  static constexpr const char* kName = *kNameP;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const LogReduced q = dlog_reduce(x);
    if constexpr (kEP) return dlog_ep<Base>(q);
    else return dlog_ha<Base>(q, f64x2(), f64x2());
  }
  static int screen(f64x2 x) { return screen_positive_normal(x); }
  // _dLn_Scalar and its twins: special values; subnormal inputs scaled by 2^60.
  static int element(const double* px, double* out) {
    const double x = *px;
    int status = 0;
    if (dlog_special(x, out, &status)) return status;
    if (x < 0x1p-1022) {
      const double xs = x * 0x1p60;
      if (xs == 0.0) {  // denormal read as zero
        *out = minus_inf_divzero_d();
        return 2;
      }
      const LogReduced q = dlog_reduce(f64x2::splat(xs));
      *out = lane0(dlog_ha<Base>(q, f64x2::splat(-60.0), f64x2()));
      return 0;
    }
    *out = lane0(packed(f64x2::splat(x)));
    return 0;
  }
};

inline constexpr const char* kNameDLn = "vdLn";
inline constexpr const char* kNameDLog2 = "vdLog2";
inline constexpr const char* kNameDLog10 = "vdLog10";
using DLnHA = DLogFamily<BaseE, false, &kNameDLn>;
using DLnEP = DLogFamily<BaseE, true, &kNameDLn>;
using DLog2HA = DLogFamily<Base2, false, &kNameDLog2>;
using DLog2EP = DLogFamily<Base2, true, &kNameDLog2>;
using DLog10HA = DLogFamily<Base10, false, &kNameDLog10>;

// ---- Log1p ---------------------------------------------------------------------------------
// y = 1 + x rounded, c = x - (y - 1) its rounding error; log(1 + x) = log(y) + c/y, and c/y is
// added to u as c R_j 2^-(E - 1023) (E the biased exponent of y).
template <bool kEP>
QOR_SIMD_INLINE f64x2 dlog1p_eval(f64x2 x) {
  const f64x2 one = f64x2::splat(1.0);
  const f64x2 y = x + one;
  const LogReduced q = dlog_reduce(y);
  if constexpr (kEP) {
    const f64x2 c = x - (y - one);
    const f64x2 inv = (i64x2::splat(0x7FE0000000000000ll) - (y.bits() & i64x2::splat(0x7FF0000000000000ll))).as_f64();
    const f64x2 u = (q.m * q.R - one) + c * q.R * inv;
    const f64x2 p = u + (u * u) * (f64x2::splat(-0.5) + u * f64x2::splat(0x1.5555555555555p-2));
    f64x2 H, L;
    BaseE::hl(q.j, H, L);
    return (q.k * f64x2::splat(BaseE::a_hi) + H) + p;
  } else {
    const f64x2 c = x - (y - one);
    const f64x2 inv = (i64x2::splat(0x7FE0000000000000ll) - (y.bits() & i64x2::splat(0x7FF0000000000000ll))).as_f64();
    return dlog_ha<BaseE, true>(q, f64x2(), c * q.R * inv);
  }
}

template <bool kEP>
struct DLog1pFamily : FamilyBase<double> {
  static constexpr const char* kName = "vdLog1p";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return dlog1p_eval<kEP>(x); }
  // x <= -1, infinities, NaNs, and |x| < 2^-54 (the result is x)
  static int screen(f64x2 x) {
    const __m128i h = _mm_shuffle_epi32(x.bits().v, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128i ah = _mm_and_si128(h, _mm_set1_epi32(0x7FFFFFFF));
    const __m128i big = _mm_cmpgt_epi32(ah, _mm_set1_epi32(0x7FEFFFFF));
    const __m128i tiny = _mm_cmplt_epi32(ah, _mm_set1_epi32(0x3C900000));
    const __m128i neg1 = _mm_cmpgt_epi32(_mm_xor_si128(h, _mm_set1_epi32(static_cast<int32_t>(0x80000000u))),
                                         _mm_set1_epi32(0x3FEFFFFF));
    return _mm_movemask_pd(_mm_castsi128_pd(_mm_or_si128(_mm_or_si128(big, tiny), neg1)));
  }
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (x == -1.0) {
      *out = minus_inf_divzero_d();
      return 2;
    }
    if (x < -1.0) {
      *out = nan_invalid_d();
      return 1;
    }
    if (x == HUGE_VAL) {
      *out = x;
      return 0;
    }
    if (std::fabs(x) < 0x1p-54) {  // log1p(x) rounds to x (keeps the sign of zero)
      *out = x;
      return 0;
    }
    *out = lane0(dlog1p_eval<kEP>(f64x2::splat(x)));
    return 0;
  }
};
using DLog1pHA = DLog1pFamily<false>;
using DLog1pEP = DLog1pFamily<true>;

// ---- Logb ----------------------------------------------------------------------------------
// floor(log2 |x|): the unbiased exponent; zeros -inf (singularity), infinities +inf, NaN NaN;
// subnormal inputs through the per-element routine.
struct DLogb : FamilyBase<double> {
  static constexpr const char* kName = "vdLogb";
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) {
    const i64x2 e = simd::shr_logical(x.bits() & i64x2::splat(0x7FF0000000000000ll), 52);
    // exponent into the low bits of 2^52 + e, minus 2^52 + 1023
    return (e | f64x2::splat(0x1p52).bits()).as_f64() - f64x2::splat(0x1p52 + 1023.0);
  }
  // zero, subnormal, infinite or NaN: exponent field 0 or 0x7FF
  static int screen(f64x2 x) {
    const __m128i h = _mm_shuffle_epi32(x.bits().v, _MM_SHUFFLE(3, 3, 1, 1));
    const __m128i e = _mm_and_si128(h, _mm_set1_epi32(0x7FF00000));
    const __m128i lo = _mm_cmpeq_epi32(e, _mm_setzero_si128());
    const __m128i hi = _mm_cmpeq_epi32(e, _mm_set1_epi32(0x7FF00000));
    return _mm_movemask_pd(_mm_castsi128_pd(_mm_or_si128(lo, hi)));
  }
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return 0;
    }
    if (std::isinf(x)) {
      *out = HUGE_VAL;
      return 0;
    }
    if (x == 0.0) {
      *out = minus_inf_divzero_d();
      return 2;
    }
    const uint64_t ax = bits_of(x) & 0x7FFFFFFFFFFFFFFFull;
    if (ax < 0x0010000000000000ull) {  // subnormal: position of the leading bit
      *out = static_cast<double>(63 - __builtin_clzll(ax) - 1074);
      return 0;
    }
    *out = lane0(packed(f64x2::splat(x)));
    return 0;
  }
};

}  // namespace qor::vm::exp_log
