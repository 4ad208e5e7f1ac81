// What the hyperbolic kernels (cosh.h, sinh.h, tanh.h, acosh.h, asinh.h, atanh.h) share.
//
// Double precision works on intermediates carried as unevaluated sums (a value as hi + lo) built
// with exact sums and products, so that the result is rounded once at the end:
//   - e^a / 2 and e^-a / 2 from one reduction and one table row (half_exps below);
//   - the logarithm of hi + lo through the logarithm's HA core (exp_log/dlog_core.h: ln_ha2,
//     with lo joining the reduced argument as Log1p's correction does), so that ln(1 + tiny)
//     and ln of a sum that rounds loses nothing.
// Single precision evaluates the double-precision packed formulas on widened lanes and rounds
// once (SViaD): within 0.5 ulp plus about 2^-20.
#pragma once

#include <emmintrin.h>

#include <cmath>

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/roots/common.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

using exp_log::DExpCore;
using exp_log::RedExp;
using roots::split;
using roots::two_prod;

// s + e = a + b exactly (Knuth's TwoSum, no condition on the magnitudes).
QOR_SIMD_INLINE void two_sum(f64x2 a, f64x2 b, f64x2& s, f64x2& e) {
  s = a + b;
  const f64x2 bb = s - a;
  e = (a - (s - bb)) + (b - bb);
}

// ---- e^a / 2 and e^-a / 2 from one reduction (double Sinh and Cosh, HA and EP) -------------
// N = round(256 a / ln 2) = 256 n + j through the shifter, r = (a - N C1) - N C2 (C1 + C2 =
// ln 2 / 256, N C1 exact), |r| <= ln 2 / 512. Then e^a = 2^n T_j (1 + L_j) e^r and, as -N =
// 256 m + (-j mod 256), e^-a = 2^m T_(-j mod 256) (1 + L') e^-r: one 32-byte row of kHalfExpPair
// holds both table entries (the exponentials' biased patterns of dexp_t256.h, halved, and their
// relative errors L), so that the scales are one integer addition of N << 44 and one
// subtraction. Valid for 0 <= a < 708 (the screens send the rest away): 2^m T / 2 is then
// normal or, for m = -1022, a pattern with a zero exponent field, far below e^a's ulp.
struct alignas(16) HalfExpPairTable {
  double e[256][4];  // {B_j / 2, L_j, B_(-j mod 256) / 2, L_(-j mod 256)}
};
constexpr HalfExpPairTable make_half_exp_pair() {
  HalfExpPairTable t{};
  for (int j = 0; j < 256; ++j) {
    const int k = (256 - j) & 255;
    t.e[j][0] = exp_log::kDExpT256.e[j][0] * 0.5;  // exact: the pattern's exponent field steps down
    t.e[j][1] = exp_log::kDExpT256.e[j][1];
    t.e[j][2] = exp_log::kDExpT256.e[k][0] * 0.5;
    t.e[j][3] = exp_log::kDExpT256.e[k][1];
  }
  return t;
}
inline constexpr HalfExpPairTable kHalfExpPair = make_half_exp_pair();

// The rows' two scaled table values 2^(N/256) / 2 and 2^(-N/256) / 2 (rounded), with their
// columns L, for the two lanes of the shifted value t.
QOR_SIMD_INLINE void half_exp_rows(f64x2 t, f64x2& tp, f64x2& lp, f64x2& tm, f64x2& lm) {
  const __m128i o = _mm_slli_epi32(_mm_and_si128(t.bits().v, _mm_set1_epi32(255)), 5);
  const uint32_t o0 = static_cast<uint32_t>(_mm_cvtsi128_si32(o));
  const uint32_t o1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(o, _MM_SHUFFLE(3, 2, 3, 2))));
  const char* base = reinterpret_cast<const char*>(kHalfExpPair.e);
  const __m128d p0 = _mm_load_pd(reinterpret_cast<const double*>(base + o0));
  const __m128d m0 = _mm_load_pd(reinterpret_cast<const double*>(base + o0 + 16));
  const __m128d p1 = _mm_load_pd(reinterpret_cast<const double*>(base + o1));
  const __m128d m1 = _mm_load_pd(reinterpret_cast<const double*>(base + o1 + 16));
  const __m128i sh = _mm_slli_epi64(t.bits().v, 44);
  tp = _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(_mm_unpacklo_pd(p0, p1)), sh));
  tm = _mm_castsi128_pd(_mm_sub_epi64(_mm_castpd_si128(_mm_unpacklo_pd(m0, m1)), sh));
  lp = _mm_unpackhi_pd(p0, p1);
  lm = _mm_unpackhi_pd(m0, m1);
}

// e^a / 2 = tp + pl and e^-a / 2 = tm + ml for 0 <= a < 708, the sums unevaluated: tp, tm the
// scaled table values, pl = tp (L + p(r)), ml = tm (L' + p(-r)) with p the exponential's
// degree-5 e^r - 1 (exp_log/expm1.h: relative error 2^-61), its odd and even parts formed once.
// Each sum is within about 2^-60 of its value (relative).
struct HalfExps {
  f64x2 tp, pl, tm, ml;
};
QOR_SIMD_INLINE HalfExps half_exps(f64x2 a) {
  const auto& c = opaque(exp_log::kDExpFast);
  const f64x2 t = a * row(c.inv_ln2_256) + row(c.sh52);
  const f64x2 k = t - row(c.sh52);
  const f64x2 r = (a - k * row(c.ln2_256_hi)) - k * row(c.ln2_256_lo);
  HalfExps o;
  f64x2 lp, lm;
  half_exp_rows(t, o.tp, lp, o.tm, lm);
  const f64x2 r2 = r * r;
  const f64x2 ev = r2 * (row(c.xm1[0]) + r2 * row(c.xm1[2]));
  const f64x2 od = r + (r * r2) * (row(c.xm1[1]) + r2 * row(c.xm1[3]));
  o.pl = o.tp * (lp + (ev + od));
  o.ml = o.tm * (lm + (ev - od));
  return o;
}

// e^a / 2 for one element, 708 <= a <= 710.5, rounded once (+inf beyond the range).
inline double half_exp_large(double a) {
  f64x2 t, th;
  const f64x2 rest = DExpCore<RedExp>::parts(f64x2::splat(a), t, th);
  return exp_log::scale_two_step(lane0(th + rest), exp_log::n_of(t) - 1);
}

// ln(yh + yl) + k ln 2 for yh positive normal and |yl| at most about an ulp of yh.
QOR_SIMD_INLINE f64x2 ln_dd(f64x2 yh, f64x2 yl, f64x2 kadd = f64x2()) {
  const exp_log::dlogk::Reduced4 q = exp_log::dlogk::reduce4(exp_log::dlogk::high_words(yh, yh));
  // yl 2^-e (e the exponent of yh), times the row's reciprocal: the correction of u
  const f64x2 inv = (kl<0x7FE0000000000000ll>() - (yh.bits() & kl<0x7FF0000000000000ll>())).as_f64();
  const f64x2 du = (yl * inv) * exp_log::dlogk::load_r(q.o[0], q.o[1]);
  return exp_log::dlogk::ln_ha2<true>(yh, q.k0 + kadd, q.o[0], q.o[1], du);
}

// ln(1 + t) for t >= 0 (two lanes): 1 + t = yh + yl exactly, then the LA logarithm of yh with
// yl joining its reduced argument.
QOR_SIMD_INLINE f64x2 log1p_plain(f64x2 t) {
  f64x2 yh, yl;
  two_sum(kc<1.0>(), t, yh, yl);
  const exp_log::dlogk::Reduced4 q = exp_log::dlogk::reduce4(exp_log::dlogk::high_words(yh, yh));
  // yl 2^-e (e the exponent of yh), times the row's reciprocal: the correction of u
  const f64x2 inv = (kl<0x7FE0000000000000ll>() - (yh.bits() & kl<0x7FF0000000000000ll>())).as_f64();
  const f64x2 du = (yl * inv) * exp_log::dlogk::load_r(q.o[0], q.o[1]);
  return exp_log::dlogk::ln_la2(yh, q.k0, q.o[0], q.o[1], du);
}

// sqrt(bh + bl) = sh + sl for bh positive normal, |bl| small against bh.
QOR_SIMD_INLINE void sqrt_dd(f64x2 bh, f64x2 bl, f64x2& sh, f64x2& sl) {
  sh = roots::sqrt(bh);
  f64x2 p, pe;
  two_prod(sh, sh, p, pe);
  sl = (((bh - p) - pe) + bl) / (sh + sh);
}

// ---- single precision through double precision --------------------------------------------
// Family D's packed formula on widened lanes, rounded once; the float screen Screen sends what
// D's packed formula does not cover (and what overflows in single precision) to D's element
// routine, whose result is rounded and whose status gains overflow when a finite argument's
// result overflows in single precision.
template <class D, class Screen>
struct SViaD : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return narrow(D::packed(widen_lo(x)), D::packed(widen_hi(x))); }
  static int screen(f32x4 x) { return Screen::screen(x); }
  static int element(const float* px, float* r) {
    const double x = *px;
    double rd;
    int status = D::element(&x, &rd);
    *r = static_cast<float>(rd);
    if (status == kOk && std::isinf(*r) && !std::isinf(rd)) status = kOverflow;
    return status;
  }
};

// Float screens: |x| above a bound (NaNs and infinities included), NaNs only, x outside a
// range (NaN included).
template <uint32_t kBits>
struct AbsAbove {
  static int screen(f32x4 x) { return mask_abs_above(x, kBits); }
  static i32x4 lanes(f32x4 x) { return simd::cmp_gt(abs(x).bits(), i32x4::splat(static_cast<int32_t>(kBits))); }
};
using NanOrInf = AbsAbove<0x7F7FFFFF>;
template <float kLo, float kHi>
struct OutsideClosedOpen {  // flags x outside [kLo, kHi)
  static int screen(f32x4 x) { return mask(simd::cmp_le(cst<kLo>(), x) & simd::cmp_lt(x, cst<kHi>())) ^ 0xF; }
};

}  // namespace
}  // namespace qor::vm::hyperbolic
