// Log1p: double precision (HA, LA, EP) and single precision (LA, HA).
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/exp_log/slog_core.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

// ---- Log1p ---------------------------------------------------------------------------------
// y = 1 + x rounded, c = x - (y - 1) its rounding error (exact); with y = 2^e m and the row j
// of m, (y + c) R_j 2^-e = 1 + u + du exactly for du = c R_j 2^-e, so that
// log(1 + x) = k ln 2 + H_j + L_j + log(1 + u + du): the logarithm of y with du joining u.
// EP form (leading parts, a cubic): the double core of the single-precision Log1p's rare inputs.
QOR_SIMD_INLINE f64x2 dlog1p_eval(f64x2 x) {
  const f64x2 one = f64x2::splat(1.0);
  const f64x2 y = x + one;
  const LogReduced q = dlog_reduce(y);
  const f64x2 c = x - (y - one);
  const f64x2 inv = (i64x2::splat(0x7FE0000000000000ll) - (y.bits() & i64x2::splat(0x7FF0000000000000ll))).as_f64();
  const f64x2 u = (q.m * q.R - one) + c * q.R * inv;
  const f64x2 p = u + (u * u) * (f64x2::splat(-0.5) + u * f64x2::splat(0x1.5555555555555p-2));
  f64x2 H, L;
  BaseE::hl(q.j, H, L);
  return (q.k * f64x2::splat(BaseE::a_hi) + H) + p;
}

namespace dlogk {

// Lanes with x <= -1, |x| infinite or NaN, or |x| < 2^-54 (where the result is x).
QOR_SIMD_INLINE int screen_log1p4(i32x4 h) {
  const __m128i ah = _mm_and_si128(h.v, ki<0x7FFFFFFF>());
  // |x| outside [2^-54, 2^1024): (ah - 0x3C900000) unsigned >= 0x7FF00000 - 0x3C900000
  const __m128i d = _mm_sub_epi32(ah, ki<static_cast<int32_t>(0x3C900000u + 0x80000000u)>());
  const __m128i out = _mm_cmpgt_epi32(d, ki<static_cast<int32_t>(0x7FF00000u - 0x3C900000u - 0x80000001u)>());
  const __m128i neg1 = _mm_cmpgt_epi32(_mm_xor_si128(h.v, ki<static_cast<int32_t>(0x80000000u)>()),
                                       ki<0x3FEFFFFF>());
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(out, neg1)));
}

// du / R: the rounding error c of y = 1 + x times 2^-e (e the exponent of y).
QOR_SIMD_INLINE f64x2 log1p_c(f64x2 x, f64x2 y) {
  const f64x2 one = kc<1.0>();
  const f64x2 c = x - (y - one);
  const f64x2 inv = (kl<0x7FE0000000000000ll>() - (y.bits() & kl<0x7FF0000000000000ll>())).as_f64();
  return c * inv;
}

template <Flavour kF>
QOR_SIMD_INLINE f64x2 log1p2(f64x2 x, f64x2 y, f64x2 k, uint32_t oa, uint32_t ob) {
  const f64x2 cs = log1p_c(x, y);
  if constexpr (kF == Flavour::EP) return log_ep2<BaseE, true>(y, k, oa, ob, cs);
  else if constexpr (kF == Flavour::LA) return ln_la2(y, k, oa, ob, cs * load_r(oa, ob));
  else return ln_ha2<true>(y, k, oa, ob, cs * load_r(oa, ob));
}

}  // namespace dlogk

template <dlogk::Flavour kF>
struct DLog1pFamily : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static int screen_pair(f64x2 x0, f64x2 x1) { return dlogk::screen_log1p4(dlogk::high_words(x0, x1)); }
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    const f64x2 one = kc<1.0>();
    const f64x2 y0 = x0 + one, y1 = x1 + one;
    const dlogk::Reduced4 q = dlogk::reduce4(dlogk::high_words(y0, y1));
    r0 = dlogk::log1p2<kF>(x0, y0, q.k0, q.o[0], q.o[1]);
    r1 = dlogk::log1p2<kF>(x1, y1, q.k1, q.o[2], q.o[3]);
  }
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    if (x == -1.0) {
      *out = minus_inf_divzero_d();
      return kSing;
    }
    if (x < -1.0) {
      *out = nan_invalid_d();
      return kErrDom;
    }
    if (x == HUGE_VAL) {
      *out = x;
      return kOk;
    }
    if (std::fabs(x) < 0x1p-54) {  // log1p(x) rounds to x (keeps the sign of zero)
      *out = x;
      return kOk;
    }
    const f64x2 v = f64x2::splat(x);
    const f64x2 y = v + f64x2::splat(1.0);
    const dlogk::Reduced4 q = dlogk::reduce4(dlogk::high_words(y, y));
    *out = lane0(dlogk::log1p2<kF>(v, y, q.k0, q.o[0], q.o[1]));
    return kOk;
  }
};
using DLog1pHA = DLog1pFamily<dlogk::Flavour::HA>;
using DLog1pLA = DLog1pFamily<dlogk::Flavour::LA>;
using DLog1pEP = DLog1pFamily<dlogk::Flavour::EP>;

// ==== single precision ======================================================================

struct Log1pEvalEP {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) { return dlog1p_eval(x); }
};

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
