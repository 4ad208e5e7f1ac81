// The exact two-argument kernels, float and double: Div, Fmod, Remainder, NextAfter, Fdim, Fmax,
// Fmin, MaxMag, MinMag, and LinearFrac (the LF shape). Each result is the IEEE one: a single
// correctly rounded operation, or (Fmod, Remainder, NextAfter) a value computed exactly.
//
// Choices where several answers are defensible:
//   Fmax, Fmin   IEEE 754-2019 maximumNumber / minimumNumber: a NaN operand gives the other
//                operand (two NaNs give a quiet NaN), and -0 < +0, so Fmax(-0, +0) = +0 and
//                Fmin(-0, +0) = -0.
//   MaxMag,      IEEE 754-2019 maximumMagnitudeNumber / minimumMagnitudeNumber: the operand of
//   MinMag       larger (smaller) magnitude; equal magnitudes give Fmax (Fmin) of the two
//                (MaxMag(-2, 2) = 2, MinMag(-2, 2) = -2); NaNs as in Fmax.
//   Fdim         C's fdim: a - b when a > b, +0 otherwise, NaN when either is NaN; no report,
//                an overflowing difference gives +inf.
//   NextAfter    C's nextafter: b when a = b (no step, no report), a NaN operand gives a + b,
//                a zero a steps to the least subnormal with b's sign. A step reports status 4
//                when the result is subnormal or zero and 3 when it reaches an infinity, the
//                result stored first.
//   Fmod         the remainder a - n b with n = trunc(a / b), exact, with a's sign; b = 0 or
//                a = +-inf give NaN with status 2; a NaN operand gives a * b, status 0.
//   Remainder    IEEE remainder a - n b with n = a / b rounded to nearest, ties to even, exact;
//                a zero result has a's sign; a NaN a gives a * 1.7 (quiet), a NaN b gives
//                a * b; b = 0 or a = +-inf give NaN with status 2, as Fmod.
//   Div          the IEEE quotient; a zero divisor (after denormals-are-zero, when the mode
//                reads denormal inputs as zero) is reported with status 2, 0/0 and NaN/0
//                included.
//   LinearFrac   (scalea a + shifta) / (scaleb b + shiftb), nothing reported. Single precision:
//                scaleb = 0 divides by the constant shiftb (a division, so that dividing by 2
//                is exact) and scalea = 0 takes the constant shifta as numerator; otherwise the
//                reciprocal of the denominator is rcpps refined by one Newton step,
//                y = 2 y0 - d y0^2, and the numerator is multiplied by it (about 2 ulp). Double
//                precision divides in every case (the IEEE quotient of the rounded numerator
//                and denominator).
//
// Included by one source file per code path; everything here is private to that file.
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"
#include "vector_math/kernels/trig/dd.h"

namespace qor::vm {
namespace {
namespace twoarg {

template <class T> struct Bits;
template <> struct Bits<float> {
  using U = uint32_t;
  using V = f32x4;
  static constexpr int kMant = 23, kExpMax = 0xFF, kBias = 127;
  static constexpr U kSign = 0x80000000u, kAbs = 0x7FFFFFFFu, kInf = 0x7F800000u, kMinNormal = 0x00800000u;
  static V unord(V a, V b) { return _mm_cmpunord_ps(a.v, b.v); }
  static V from_u(U u) { return V::from_bits(u); }
};
template <> struct Bits<double> {
  using U = uint64_t;
  using V = f64x2;
  static constexpr int kMant = 52, kExpMax = 0x7FF, kBias = 1023;
  static constexpr U kSign = 0x8000000000000000ull, kAbs = 0x7FFFFFFFFFFFFFFFull, kInf = 0x7FF0000000000000ull,
                     kMinNormal = 0x0010000000000000ull;
  static V unord(V a, V b) { return _mm_cmpunord_pd(a.v, b.v); }
  static V from_u(U u) { return V::from_bits(u); }
};

// ---- Div -------------------------------------------------------------------------------------
template <class T>
struct Div : FamilyBase<T> {
  using V = typename Bits<T>::V;
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr int kIn = 2;
  static int screen(V, V y) { return simd::mask(simd::cmp_eq(y, V())); }
  static V packed(V x, V y) { return x / y; }
  static int element(const T* x, const T* y, T* r) {
    *r = div_rt(*x, *y);
    return *y == T(0) ? kSing : kOk;
  }
};

// ---- NextAfter: every element through the exact routine --------------------------------------
template <class T>
struct ElementOnly : FamilyBase<T> {
  using V = typename Bits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr int kIn = 2;
  static int screen(V, V) { return (1 << (16 / sizeof(T))) - 1; }
  static V packed(V x, V) { return x; }
};

// ---- Fmod and Remainder per element: exact long division of the significands ----------------
// |a| mod |b| for finite non-zero a, b with |a| >= |b|, with a's sign, exactly.
template <class T>
T fmod_finite(T a, T b) {
  using B = Bits<T>;
  using U = typename B::U;
  const U ua = bits_of(a), ub = bits_of(b);
  const U sign = ua & B::kSign;
  U ma = ua & B::kAbs, mb = ub & B::kAbs;
  // significands with the implicit bit, exponents of their last bit (subnormals normalised)
  auto split = [](U m, int& e) {
    e = static_cast<int>(m >> B::kMant);
    m &= (U(1) << B::kMant) - 1;
    if (e == 0) {
      e = 1;
      while (m < (U(1) << B::kMant)) {
        m <<= 1;
        --e;
      }
    } else {
      m |= U(1) << B::kMant;
    }
    return m;
  };
  int ea, eb;
  uint64_t xa = split(ma, ea), xb = split(mb, eb);
  // long division: the remainder of xa 2^(ea - eb) by xb, a few bits at a time (x < 2^53, so
  // shifts by up to 11 bits keep it below 2^64)
  int d = ea - eb;
  xa %= xb;
  constexpr int kStep = 63 - (B::kMant + 1);
  while (d > 0 && xa != 0) {
    const int s = d < kStep ? d : kStep;
    xa = (xa << s) % xb;
    d -= s;
  }
  if (xa == 0) return from_bits<T>(sign);
  // xa 2^(eb - bias - mant) with xa < xb: normalise, or shift into the subnormal range (exact:
  // the remainder is a multiple of b's last place)
  int e = eb;
  while (xa < (uint64_t(1) << B::kMant)) {
    xa <<= 1;
    --e;
  }
  U r;
  if (e >= 1) r = (static_cast<U>(e) << B::kMant) | (static_cast<U>(xa) & ((U(1) << B::kMant) - 1));
  else r = static_cast<U>(xa >> (1 - e));  // subnormal
  return from_bits<T>(r | sign);
}

// ---- Fmod and Remainder, packed: lanes whose quotient is small -------------------------------
// |a| mod |b| (kRem: the IEEE remainder) of two double lanes with x = |a| < 2^kQ y, y = |b|:
// q = trunc(RN(x / y)) is the true quotient's integer part or one more (RN may round up to an
// integer, never down past one), q has at most kQ bits, and r = x - q y is exact: p + e = q y
// exactly (kQ + 24 <= 53 bits for widened floats: p alone; doubles: Dekker's product with y
// split, e = (q y_hi - p) + q y_lo), x - p is exact by Sterbenz's lemma (q y is within y of x),
// and the remainder, representable, is what (x - p) - e rounds to. r < 0 (q one too large) adds
// y back. Remainder then subtracts y when r > y/2, or r = y/2 with q odd. The sign is a's.
template <bool kRem, bool kDekker>
QOR_SIMD_INLINE f64x2 fmod_lanes(f64x2 a, f64x2 b) {
  const f64x2 x = simd::abs(a), y = simd::abs(b);
  const f64x2 big = kc<0x1p52>();
  const f64x2 v = x / y;
  f64x2 q = (v + big) - big;                      // v rounded to an integer (v < 2^29)
  q = q - (simd::cmp_lt(v, q) & kc<1.0>());        // truncated
  const f64x2 p = q * y;
  f64x2 r = x - p;
  if constexpr (kDekker) {
    f64x2 yh, yl;
    trig::split(y, yh, yl);
    r = r - ((q * yh - p) + q * yl);
  }
  const f64x2 over = simd::cmp_lt(r, f64x2());
  r = r + (over & y);
  if constexpr (kRem) {
    q = q - (over & kc<1.0>());
    const f64x2 h = q * kc<0.5>();
    const f64x2 odd = _mm_cmpneq_pd(h.v, ((h + big) - big).v);  // q/2 not an integer (q < 2^29)
    const f64x2 half = y * kc<0.5>();
    const f64x2 sub = simd::cmp_lt(half, r) | (simd::cmp_eq(r, half) & odd);
    r = r - (sub & y);
  }
  return _mm_xor_pd(r.v, _mm_and_pd(a.v, _mm_set1_pd(-0.0)));
}

// The lanes the packed formula takes: x = |a| >= the least normal (no denormal input, which a
// denormals-are-zero mode would read as zero; zeros go to the element routine too), y = |b| in
// [2^-960, 2^990) for doubles (Dekker's split and its exact error terms stay in range) or a
// finite float at least the least normal, and x < 2^kQ y (NaNs fail every comparison). Returns
// the mask of the others.
template <int kQ, bool kDouble>
QOR_SIMD_INLINE int fmod_out_of_range(f64x2 a, f64x2 b) {
  const f64x2 x = simd::abs(a), y = simd::abs(b);
  const f64x2 xmin = kDouble ? kc<0x1p-1022>() : kc<0x1p-126>();
  const f64x2 ymin = kDouble ? kc<0x1p-960>() : kc<0x1p-126>();
  const f64x2 ymax = kDouble ? kc<0x1p990>() : kc<0x1p128>();
  const f64x2 ok = simd::cmp_le(xmin, x) & simd::cmp_le(ymin, y) & simd::cmp_lt(y, ymax) &
                   simd::cmp_lt(x, y * kc<static_cast<double>(1 << kQ)>());
  return simd::mask(ok) ^ 3;
}

template <class T, bool kRem>
struct FmodPacked : FamilyBase<T> {
  using V = typename Bits<T>::V;
  static constexpr Scheme kScheme = Scheme::Patch;
  static constexpr int kIn = 2;
  static QOR_SIMD_INLINE int packed_checked(V a, V b, V& r) {
    if constexpr (sizeof(T) == 8) {
      r = fmod_lanes<kRem, true>(a, b);
      return fmod_out_of_range<26, true>(a, b);
    } else {
      const f64x2 a0 = widen_lo(a), a1 = widen_hi(a), b0 = widen_lo(b), b1 = widen_hi(b);
      r = narrow(fmod_lanes<kRem, false>(a0, b0), fmod_lanes<kRem, false>(a1, b1));  // exact
      return fmod_out_of_range<28, false>(a0, b0) | (fmod_out_of_range<28, false>(a1, b1) << 2);
    }
  }
};

template <class T>
struct Fmod : FmodPacked<T, false> {
  static int element(const T* px, const T* py, T* r) {
    const T a = *px, b = *py;
    if (std::isnan(a) || std::isnan(b)) { *r = a * b; return kOk; }
    if (b == T(0) || std::isinf(a)) { *r = nan_invalid<T>(); return kSing; }
    if (std::isinf(b) || std::fabs(a) < std::fabs(b)) { *r = a; return kOk; }
    *r = fmod_finite(a, b);
    return kOk;
  }
  template <class U>
  static U nan_invalid() {
    if constexpr (sizeof(U) == 4) return nan_invalid_f();
    else return nan_invalid_d();
  }
};

template <class T>
struct Remainder : FmodPacked<T, true> {
  static int element(const T* px, const T* py, T* r) {
    const T a = *px, b = *py;
    if (std::isnan(a)) { *r = a * T(1.7); return kOk; }
    if (std::isnan(b)) { *r = a * b; return kOk; }
    if (b == T(0) || std::isinf(a)) { *r = Fmod<T>::template nan_invalid<T>(); return kSing; }
    const T sign = std::signbit(a) ? T(-1) : T(1);
    T x = std::fabs(a);
    const T p = std::fabs(b);
    if (std::isinf(p)) { *r = a; return kOk; }
    // x mod 2p first (exact), then at most two subtractions of p, each exact
    if (p <= std::numeric_limits<T>::max() / 2 && x >= p + p) x = fmod_finite(x, p + p);
    if (x == p) { *r = sign * T(0); return kOk; }
    if (p < std::numeric_limits<T>::min() * 2) {
      if (x + x > p) {
        x -= p;
        if (x + x >= p) x -= p;
      }
    } else {
      const T half = p * T(0.5);
      if (x > half) {
        x -= p;
        if (x >= half) x -= p;
      }
    }
    *r = x == T(0) ? sign * T(0) : sign * x;
    return kOk;
  }
};

// ---- NextAfter -------------------------------------------------------------------------------
template <class T>
struct NextAfter : ElementOnly<T> {
  using B = Bits<T>;
  using U = typename B::U;
  static int element(const T* px, const T* py, T* r) {
    const T a = *px, b = *py;
    if (std::isnan(a) || std::isnan(b)) { *r = a + b; return kOk; }
    if (a == b) { *r = b; return kOk; }
    U u = bits_of(a);
    if (a == T(0)) u = (bits_of(b) & B::kSign) | 1;
    else if ((a < b) == (a > T(0))) ++u;  // away from zero
    else --u;
    const T v = from_bits<T>(u);
    *r = v;
    const U m = u & B::kAbs;
    if (m == B::kInf) return kOverflow;
    if (m < B::kMinNormal) return kUnderflow;
    return kOk;
  }
};

// ---- Fdim, Fmax, Fmin, MaxMag, MinMag -------------------------------------------------------
enum class Pick { Fdim, Fmax, Fmin, MaxMag, MinMag };

template <class T, Pick kP>
struct Select : FamilyBase<T> {
  using B = Bits<T>;
  using V = typename B::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr int kIn = 2;
  static int screen(V, V) { return 0; }
  // maximumNumber / minimumNumber of x and y: equal values (+-0 included) combine their bits,
  // AND for the maximum (+0 wins), OR for the minimum (-0 wins); a NaN gives the other.
  static V max_number(V x, V y) {
    V r = simd::select(simd::cmp_lt(x, y), y, simd::select(simd::cmp_lt(y, x), x, x & y));
    return nan_rule(x, y, r);
  }
  static V min_number(V x, V y) {
    V r = simd::select(simd::cmp_lt(x, y), x, simd::select(simd::cmp_lt(y, x), y, x | y));
    return nan_rule(x, y, r);
  }
  static V nan_rule(V x, V y, V r) {
    const V nx = B::unord(x, x), ny = B::unord(y, y);
    r = simd::select(nx, y, r);
    r = simd::select(ny, x, r);
    return simd::select(nx & ny, x + y, r);
  }
  static V packed(V x, V y) {
    if constexpr (kP == Pick::Fdim) {
      const V d = (x - y) & simd::cmp_lt(y, x);
      return simd::select(B::unord(x, y), x + y, d);
    } else if constexpr (kP == Pick::Fmax) {
      return max_number(x, y);
    } else if constexpr (kP == Pick::Fmin) {
      return min_number(x, y);
    } else {
      const V ax = simd::abs(x), ay = simd::abs(y);
      const V tie = kP == Pick::MaxMag ? max_number(x, y) : min_number(x, y);
      const V big = kP == Pick::MaxMag ? simd::cmp_lt(ay, ax) : simd::cmp_lt(ax, ay);  // x wins
      const V small = kP == Pick::MaxMag ? simd::cmp_lt(ax, ay) : simd::cmp_lt(ay, ax);  // y wins
      return simd::select(big, x, simd::select(small, y, tie));
    }
  }
  static int element(const T* x, const T* y, T* r) {
    *r = packed_one2(*x, *y);
    return kOk;
  }
  static T packed_one2(T x, T y) { return lane0(packed(V::splat(x), V::splat(y))); }
};

// ---- LinearFrac ------------------------------------------------------------------------------
template <class T>
struct LinearFrac : FamilyBase<T> {
  using V = typename Bits<T>::V;
  static constexpr bool kLinearFrac = true;
  template <LfCase C>
  static QOR_SIMD_INLINE V linear_frac(V x, V y, const LfCoeffs<T>& c) {
    const V num = C == LfCase::ConstNumerator || C == LfCase::Constant ? V::splat(c.shifta)
                                                                       : x * V::splat(c.scalea) + V::splat(c.shifta);
    if constexpr (C == LfCase::ConstDenominator || C == LfCase::Constant) {
      return num / V::splat(c.shiftb);
    } else {
      const V d = y * V::splat(c.scaleb) + V::splat(c.shiftb);
      if constexpr (sizeof(T) == 8) {
        return num / d;
      } else {
        if constexpr (C == LfCase::ConstNumerator) return num / d;
        // one Newton step on the 12-bit reciprocal: y = 2 y0 - d y0^2
        const V y0 = _mm_rcp_ps(d.v);
        const V r = (y0 + y0) - d * (y0 * y0);
        return num * r;
      }
    }
  }
};

}  // namespace twoarg
}  // namespace
}  // namespace qor::vm
