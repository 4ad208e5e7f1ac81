// Sinpi, Cospi, Tanpi (the angle in half-turns: sinpi x = sin(pi x)) and Sind, Cosd, Tand (the
// angle in degrees), single and double precision. No argument is reduced by a rounded pi: the
// reduction is exact in the argument's own units.
//
//   Pi-scaled: N = round(2|x|) by the shifter 1.5 2^52, f = |x| - N/2 (exact, |f| <= 1/4), the
//     angle g = pi f as a double-double (Dekker's product with pi in two parts), quadrant N mod 4.
//   Degrees: N = round(|x| / 90), f = |x| - 90 N (exact: 90 N has at most 53 bits for
//     |x| < 2^45, and |x| and 90 N are within a factor two of each other when N > 0), the angle
//     g = f pi/180 as a double-double, quadrant N mod 4. Larger |x| (all integers) are first
//     reduced by fmod(x, 360), which is exact.
//   sin g = g_hi + (g_lo + g^3 S(g^2)) and cos g = 1 - g_hi^2/2 + (...) with the leading product
//   exact, S and the cosine's polynomial the Taylor coefficients to g^17 / g^18 (|g| <= pi/4 + a
//   little: below 2^-60 relative), sin, cos or their negatives picked by the quadrant, and the
//   tangent as the double-double quotient (cotangent in the odd quadrants).
//
// Exact values and signed zeros (chosen to follow the recommendations of IEEE 754-2019 for
// sinPi, cosPi and tanPi, and carried over to the degree functions):
//   sinpi(n) = sind(180 n) = +0 for n >= +0 and -0 for n <= -0 (the zero of x's sign);
//   cospi(n + 1/2) = cosd(90 + 180 n) = +0; cospi(n) = cosd(180 n) = +-1 exactly;
//   tanpi(n) = tand(180 n) = +0 for even n > 0 and odd n < 0, -0 for odd n > 0 and even n < 0
//   (the sign of sinpi / cospi), tanpi(+-0) = +-0;
//   tanpi(n + 1/2) = tand(90 + 180 n) = +inf for even n and -inf for odd n, reported as a
//   singularity (status 2); sinpi and cospi of integers beyond 2^52 are exact too.
// +-inf is a domain error (NaN, status 1); NaN propagates without a report.
// The three slots of a function run the same formula (the HA kernel's accuracy in all three).
#pragma once

#include <cmath>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/trig/dd.h"

namespace qor::vm::trig {

struct alignas(16) PiRows {
  double shifter[2];     // 1.5 2^52
  double pi_hi[2], pi_lo[2];
  double d2r_hi[2], d2r_lo[2];  // pi/180
  double inv90[2];
  double ninety[2];
  double s[8][2];        // sin g - g = g^3 (s3 + g^2 (s5 + ... + g^2 s17))
  double c[8][2];        // cos g - 1 + g^2/2 = g^4 (c4 + g^2 (c6 + ... + g^2 c18))
  double one[2];
  double half[2];
};
inline constexpr PiRows kPi = {
    QOR_ROW2(0x1.8p52),
    QOR_ROW2(0x1.921fb54442d18p+1), QOR_ROW2(0x1.1a62633145c07p-53),
    QOR_ROW2(0x1.1df46a2529d39p-6), QOR_ROW2(0x1.5c1d8becdd291p-62),
    QOR_ROW2(1.0 / 90.0),
    QOR_ROW2(90.0),
    {QOR_ROW2(-0x1.5555555555555p-3), QOR_ROW2(0x1.1111111111111p-7), QOR_ROW2(-0x1.a01a01a01a01ap-13),
     QOR_ROW2(0x1.71de3a556c734p-19), QOR_ROW2(-0x1.ae64567f544e4p-26), QOR_ROW2(0x1.6124613a86d09p-33),
     QOR_ROW2(-0x1.ae7f3e733b81fp-41), QOR_ROW2(0x1.952c77030ad4ap-49)},
    {QOR_ROW2(0x1.5555555555555p-5), QOR_ROW2(-0x1.6c16c16c16c17p-10), QOR_ROW2(0x1.a01a01a01a01ap-16),
     QOR_ROW2(-0x1.27e4fb7789f5cp-22), QOR_ROW2(0x1.1eed8eff8d898p-29), QOR_ROW2(-0x1.93974a8c07c9dp-37),
     QOR_ROW2(0x1.ae7f3e733b81fp-45), QOR_ROW2(-0x1.6827863b97d97p-53)},
    QOR_ROW2(1.0),
    QOR_ROW2(0.5),
};

// All ones in the lanes whose count n (low 32 bits of each 64-bit lane) is odd.
QOR_SIMD_INLINE f64x2 odd_mask(i64x2 n) {
  const __m128i e = _mm_cmpeq_epi32(_mm_and_si128(n.v, _mm_set1_epi32(1)), _mm_set1_epi32(1));
  return _mm_castsi128_pd(_mm_shuffle_epi32(e, _MM_SHUFFLE(2, 2, 0, 0)));
}

// sin g and cos g (g = gh + gl, |g| <= pi/4 + a little) as double-doubles.
QOR_SIMD_INLINE void sincos_small(f64x2 gh, f64x2 gl, f64x2& sh, f64x2& sl, f64x2& ch, f64x2& cl) {
  const PiRows& k = opaque(kPi);
  const f64x2 g2 = gh * gh;
  f64x2 ps = row(k.s[7]);
  for (int i = 6; i >= 1; --i) ps = row(k.s[i]) + g2 * ps;
  f64x2 pc = row(k.c[7]);
  for (int i = 6; i >= 0; --i) pc = row(k.c[i]) + g2 * pc;
  // p + pe = gh^2 and q + qe = gh p exactly
  f64x2 p, pe, q, qe;
  two_prod(gh, gh, p, pe);
  two_prod(gh, p, q, qe);
  // sin: gh - q/6 summed exactly (near pi/4 the cube's term is a tenth of the result), then the
  // rest: the cube's low parts, gl cos g (to g^2), and g^5 (1/120 - ...)
  f64x2 s1, s1e;
  fast_two_sum(gh, q * row(k.s[0]), s1, s1e);
  const f64x2 srest = s1e + ((gl - gl * p * row(k.half)) + ((qe + gh * pe) * row(k.s[0]) + (q * g2) * ps));
  fast_two_sum(s1, srest, sh, sl);
  // cos: 1 - p/2, then the rest
  f64x2 c1, c1e;
  fast_two_sum(row(k.one), p * f64x2::splat(-0.5), c1, c1e);
  const f64x2 rest = c1e - (pe * row(k.half) + gh * gl) + (g2 * g2) * pc;
  fast_two_sum(c1, rest, ch, cl);
}

enum class PiKind { Sin, Cos, Tan };

// The function of the quadrant q (low bits of N) on (sin g, cos g) of |x|'s reduced angle; the
// sign and zero rules are applied by the callers.
template <PiKind K>
QOR_SIMD_INLINE f64x2 pick(i64x2 n0, f64x2 sh, f64x2 sl, f64x2 ch, f64x2 cl) {
  // cos y = sin(y + pi/2): the cosine is the sine one quadrant on
  const i64x2 n = K == PiKind::Cos ? n0 + i64x2(_mm_set1_epi64x(1)) : n0;
  const f64x2 oddm = odd_mask(n);
  // swap sin and cos in odd quadrants
  const f64x2 ah = select(oddm, ch, sh), al = select(oddm, cl, sl);
  const f64x2 bh = select(oddm, sh, ch), bl = select(oddm, sl, cl);
  if constexpr (K == PiKind::Tan) {
    // even: s / c, odd: -c / s
    const f64x2 q = ah / bh;
    f64x2 p, pe;
    two_prod(q, bh, p, pe);
    const f64x2 t = q + (((ah - p) - pe) + (al - q * bl)) / bh;
    return flip(t, oddm & f64x2::from_bits(0x8000000000000000ull));
  } else {
    // quadrants 0 1 2 3 -> s, c, -s, -c
    const i64x2 neg = _mm_slli_epi64(_mm_srli_epi64(n.v, 1), 63);
    return flip(ah + al, neg.as_f64());
  }
}

// The function of |x| (pi-scaled: |x| < 2^50, degrees: |x| < 2^45) and the quadrant count N.
template <PiKind K, bool kDeg>
QOR_SIMD_INLINE f64x2 unit_core(f64x2 ax, i64x2& n_out) {
  const PiRows& k = opaque(kPi);
  const f64x2 t = (kDeg ? ax * row(k.inv90) : ax + ax) + row(k.shifter);
  const f64x2 nd = t - row(k.shifter);
  const f64x2 f = ax - nd * (kDeg ? row(k.ninety) : row(k.half));
  f64x2 gh, gl;
  two_prod(f, kDeg ? row(k.d2r_hi) : row(k.pi_hi), gh, gl);
  gl = gl + f * (kDeg ? row(k.d2r_lo) : row(k.pi_lo));
  f64x2 h, l;
  fast_two_sum(gh, gl, h, l);
  f64x2 sh, sl, ch, cl;
  sincos_small(h, l, sh, sl, ch, cl);
  n_out = t.bits();
  return pick<K>(t.bits(), sh, sl, ch, cl);
}

// The zero and sign rules on the value v of |x|: odd functions take x's sign, exact zeros follow
// the rules above.
template <PiKind K>
QOR_SIMD_INLINE f64x2 pi_finish(f64x2 x, f64x2 v, i64x2 n) {
  const f64x2 sx = sign_bits(x);
  if constexpr (K == PiKind::Cos) {
    return v + f64x2();  // -0 + 0 = +0; other values unchanged
  } else if constexpr (K == PiKind::Sin) {
    const f64x2 r = flip(v, sx);
    return select(cmp_eq(v, f64x2()), sx, r);  // an exact zero: the zero of x's sign
  } else {
    // zero: sign of x flipped in quadrant 2 (odd n); infinities and other values: odd function
    const f64x2 q2 = _mm_castsi128_pd(_mm_slli_epi64(_mm_srli_epi64(n.v, 1), 63));
    const f64x2 z = flip(sx, q2 & f64x2::from_bits(0x8000000000000000ull));
    return select(cmp_eq(v, f64x2()), z, flip(v, sx));
  }
}

template <PiKind K, bool kDeg>
QOR_SIMD_INLINE f64x2 pi_packed(f64x2 x) {
  const f64x2 ax = _mm_min_pd(abs(x).v, _mm_set1_pd(0x1p52));  // flagged lanes: no exceptions
  i64x2 n;
  const f64x2 v = unit_core<K, kDeg>(ax, n);
  return pi_finish<K>(x, v, n);
}

// Screens: pi-scaled |x| >= 2^50, degrees |x| >= 2^45 (infinities and NaNs with them), for the
// sines and tangents |x| < 2^-900; the tangents also flag their poles (f = 0 in an odd quadrant).
template <PiKind K, bool kDeg>
QOR_SIMD_INLINE int pi_screen(f64x2 x) {
  int m = simd::mask_abs_high_above(x, kDeg ? 0x42CFFFFFu : 0x430FFFFFu);
  if constexpr (K != PiKind::Cos) {
    // |x| < 2^-900 (zeros included): the product with pi or pi/180 would round twice in the
    // subnormal range; the per-element routine scales it
    const __m128i h = _mm_shuffle_epi32(abs(x).bits().v, _MM_SHUFFLE(3, 3, 1, 1));
    m |= _mm_movemask_pd(_mm_castsi128_pd(_mm_cmplt_epi32(h, _mm_set1_epi32(0x07B00000))));
  }
  if constexpr (K == PiKind::Tan) {
    const PiRows& k = opaque(kPi);
    const f64x2 ax = _mm_min_pd(abs(x).v, _mm_set1_pd(0x1p52));
    f64x2 t, f;
    if constexpr (kDeg) {
      t = ax * row(k.inv90) + row(k.shifter);
      f = ax - (t - row(k.shifter)) * row(k.ninety);
    } else {
      t = (ax + ax) + row(k.shifter);
      f = ax - (t - row(k.shifter)) * row(k.half);
    }
    m |= mask(cmp_eq(f, f64x2()) & odd_mask(t.bits()));
  }
  return m;
}

// The quadrant N mod 4 of |x| (|x| < 2^50 pi-scaled, 2^45 degrees) and whether the reduced angle
// is exactly 0.
template <bool kDeg>
inline int quadrant(double ax, bool* zero) {
  const double t = kDeg ? ax * kPi.inv90[0] + kPi.shifter[0] : (ax + ax) + kPi.shifter[0];
  const double nd = t - kPi.shifter[0];
  *zero = (kDeg ? ax - nd * 90.0 : ax - nd * 0.5) == 0.0;
  return static_cast<int>(bits_of(t) & 3);
}

// The per-element routine: special values, poles, huge arguments, then the packed formula.
template <PiKind K, bool kDeg>
inline int pi_element(const double* px, double* out) {
  double x = *px;
  if (std::isnan(x)) {
    *out = x + x;
    return kOk;
  }
  if (std::isinf(x)) {
    *out = mul_rt(x, 0.0);
    return kErrDom;
  }
  const double ax = std::fabs(x);
  if (K != PiKind::Cos && ax < 0x1p-900) {
    // sin and tan of a tiny angle: the angle itself, scaled so that it is rounded once
    const double xs = x * 0x1p600;
    const double c_hi = kDeg ? kPi.d2r_hi[0] : kPi.pi_hi[0], c_lo = kDeg ? kPi.d2r_lo[0] : kPi.pi_lo[0];
    if (x == 0) {
      *out = x;
      return kOk;
    }
    double p, e;
    two_prod(xs, c_hi, p, e);
    *out = mul_rt(p + (e + xs * c_lo), 0x1p-600);
    return kOk;
  }
  if (kDeg && ax >= 0x1p45) {
    x = std::fmod(x, 360.0);  // exact; keeps x's sign (a zero of x's sign for multiples of 360)
  } else if (!kDeg && ax >= 0x1p50) {
    if (ax >= 0x1p52) {  // an integer; even from 2^53 on
      const bool odd = ax < 0x1p53 && std::fmod(ax, 2.0) != 0.0;
      if constexpr (K == PiKind::Sin) *out = std::copysign(0.0, x);
      else if constexpr (K == PiKind::Cos) *out = odd ? -1.0 : 1.0;
      else *out = std::copysign(0.0, odd ? -x : x);
      return kOk;
    }
    x = std::copysign(std::fmod(ax, 4.0), x);  // exact; the same quadrant
  }
  if constexpr (K == PiKind::Tan) {
    bool zero;
    const int q = quadrant<kDeg>(std::fabs(x), &zero);
    if (zero && (q & 1)) {  // the pole: +inf after an even multiple (q = 1), -inf after an odd one
      const double s = (q == 1) != std::signbit(x) ? 1.0 : -1.0;
      *out = div_rt(s, 0.0);
      return kSing;
    }
  }
  *out = lane0(pi_packed<K, kDeg>(f64x2::splat(x)));
  return kOk;
}

template <PiKind K, bool kDeg>
struct DPi : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f64x2 packed(f64x2 x) { return pi_packed<K, kDeg>(x); }
  static int screen(f64x2 x) { return pi_screen<K, kDeg>(x); }
  static int element(const double* x, double* r) { return pi_element<K, kDeg>(x, r); }
};
// Single precision: the double-precision formula on the widened lanes, rounded once.
template <PiKind K, bool kDeg>
struct SPi : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) {
    return narrow(pi_packed<K, kDeg>(widen_lo(x)), pi_packed<K, kDeg>(widen_hi(x)));
  }
  static int screen(f32x4 x) {
    return pi_screen<K, kDeg>(widen_lo(x)) | (pi_screen<K, kDeg>(widen_hi(x)) << 2);
  }
  static int element(const float* x, float* r) {
    const double xd = *x;
    double rd;
    const int st = pi_element<K, kDeg>(&xd, &rd);
    *r = static_cast<float>(rd);
    return st;
  }
};

}  // namespace qor::vm::trig
