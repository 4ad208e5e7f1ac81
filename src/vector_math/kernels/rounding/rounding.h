// Rounding and exact arithmetic kernels, float and double.
//
// The rounding direction comes from the MXCSR rounding control the kernel sets, not from
// branches: for |x| < 2^23 (2^52 for double), (x + S) - S with S = 2^23 carrying x's sign
// rounds x to an integer in the current direction; the result then takes x's sign (an exact
// zero difference is -0 when rounding down, so the sign is replaced, not ORed): Ceil(-0.5) = -0,
// Floor(0.5) = +0. Larger |x|, infinities and NaN go to the per-element path:
// NaN and infinities give x + x, values that are already integers are returned unchanged.
//
// Direction per kernel: Ceil up, Floor down, Trunc toward zero, Round and Frac to nearest,
// Rint and NearbyInt the caller's own direction (and the caller's denormal settings). With the
// mode's denormal field at "flush", denormal inputs read as zero and denormal results flush.
//
// Choices where several answers are defensible: Frac(±inf) = ±0 and Modf(±inf) = (±inf, ±0),
// as the C library's modf; Abs and CopySign are bit operations and keep subnormal inputs as
// they are even under "flush".
//
// Included by one source file per code path; everything here is private to that file.
#pragma once

#include <cstdint>

#include "vector_math/frame/kernel_frame.h"
#include "vector_math/frame/lanes.h"

namespace qor::vm {
namespace {

// Per-type constants and helpers.
template <class T> struct RoundTraits;
template <> struct RoundTraits<float> {
  using V = f32x4;
  using Bits = uint32_t;
  static constexpr float kShift = 0x1p23f;
  static constexpr int kMantBits = 23;
  static constexpr Bits kSign = 0x80000000u, kAbs = 0x7FFFFFFFu, kExpMask = 0x7F800000u;
  static constexpr Bits kShiftBits = 0x4B000000u;  // 2^23
  // lanes with |x| > 2^23, including infinities and NaN
  static int screen(V x) { return simd::mask_abs_above(x, kShiftBits); }
};
template <> struct RoundTraits<double> {
  using V = f64x2;
  using Bits = uint64_t;
  static constexpr double kShift = 0x1p52;
  static constexpr int kMantBits = 52;
  static constexpr Bits kSign = 0x8000000000000000ull, kAbs = 0x7FFFFFFFFFFFFFFFull,
                        kExpMask = 0x7FF0000000000000ull;
  static constexpr Bits kShiftBits = 0x4330000000000000ull;  // 2^52
  // lanes with |x| >= 2^52, including infinities and NaN (a high-word compare)
  static int screen(V x) { return simd::mask_abs_high_above(x, 0x432FFFFFu); }
};

// Scalar classification for the per-element path.
template <class T>
inline bool is_inf_or_nan(T x) {
  using R = RoundTraits<T>;
  return (bits_of(x) & R::kExpMask) == R::kExpMask;
}
template <class T>
inline bool is_integral_already(T x) {  // exponent at least that of the shift constant
  using R = RoundTraits<T>;
  return (bits_of(x) & R::kAbs) >= R::kShiftBits;
}

// Rounds x (|x| <= 2^23 / 2^52) in the current direction, keeping the sign of zero results.
template <class T>
inline T round_current(T x) {
  using R = RoundTraits<T>;
  const typename R::Bits s = bits_of(x) & R::kSign;
  T shift = from_bits<T>(bits_of(R::kShift) | s);
  T y = x + shift;
  simd::barrier(y);
  y = y - shift;
  return from_bits<T>((bits_of(y) & R::kAbs) | s);
}
template <class V, class T>
inline V round_current(V x) {
  using R = RoundTraits<T>;
  const V s = simd::sign_bits(x);
  const V shift = V::splat(R::kShift) | s;
  V y = x + shift;
  simd::barrier(y);
  return simd::abs(y - shift) | s;
}

// The nearest integer to a = |x| (a <= 2^23 / 2^52) under round-to-nearest, ties to even.
template <class T>
inline T nearest_abs(T a) {
  T t = a + RoundTraits<T>::kShift;
  simd::barrier(t);
  return t - RoundTraits<T>::kShift;
}
template <class V, class T>
inline V nearest_abs(V a) {
  V t = a + V::splat(RoundTraits<T>::kShift);
  simd::barrier(t);
  return t - V::splat(RoundTraits<T>::kShift);
}

// Floor of a = |x| under round-to-nearest: the nearest integer, less one if it lies above a.
template <class T>
inline T floor_abs_nearest(T a) {
  const T t = nearest_abs(a);
  return t > a ? t - T(1) : t;
}
template <class V, class T>
inline V floor_abs_nearest(V a) {
  const V t = nearest_abs<V, T>(a);
  return t - (simd::cmp_lt(a, t) & V::splat(T(1)));
}

// ---- families --------------------------------------------------------------------------------

// Ceil, Floor, Trunc, Rint, NearbyInt: the same formula under a different MXCSR direction.
template <class T, uint32_t kControl, bool kCallerDirection>
struct DirectedRound : FamilyBase<T> {
  using V = typename RoundTraits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static uint32_t mxcsr_control(uint32_t mode, uint32_t caller) {
    if constexpr (kCallerDirection) return (caller & 0xFFC0u) | 0x1F80u;
    return (mode & QOR_FNX_DENORMAL_MASK) == QOR_FNX_DENORMAL_FLUSH ? (kControl | 0x8040u) : kControl;
  }
  static int screen(V x) { return RoundTraits<T>::screen(x); }
  static V packed(V x) { return round_current<V, T>(x); }
  static int element(const T* x, T* r) {
    const T v = *x;
    if (is_inf_or_nan(v)) *r = v + v;
    else if (is_integral_already(v)) *r = v;
    else *r = round_current(v);
    return kOk;
  }
};

// Round: half away from zero, under round-to-nearest.
template <class T>
struct RoundHalfAway : FamilyBase<T> {
  using V = typename RoundTraits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static int screen(V x) { return RoundTraits<T>::screen(x); }
  static V packed(V x) {
    const V a = simd::abs(x);
    V t = nearest_abs<V, T>(a);
    t = t + (simd::cmp_eq(a - t, V::splat(T(0.5))) & V::splat(T(1)));  // a tie that went down
    return t | simd::sign_bits(x);
  }
  static int element(const T* x, T* r) {
    using R = RoundTraits<T>;
    const T v = *x;
    if (is_inf_or_nan(v)) { *r = v + v; return kOk; }
    if (is_integral_already(v)) { *r = v; return kOk; }
    const T a = from_bits<T>(bits_of(v) & R::kAbs);
    T t = nearest_abs(a);
    if (a - t == T(0.5)) t = t + T(1);
    *r = from_bits<T>(bits_of(t) | (bits_of(v) & R::kSign));
    return kOk;
  }
};

// Frac: x - Trunc(x), with x's sign, computed under round-to-nearest.
template <class T>
struct Frac : FamilyBase<T> {
  using V = typename RoundTraits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static int screen(V x) { return RoundTraits<T>::screen(x); }
  static V packed(V x) {
    const V a = simd::abs(x);
    return (a - floor_abs_nearest<V, T>(a)) | simd::sign_bits(x);
  }
  static int element(const T* x, T* r) {
    using R = RoundTraits<T>;
    const T v = *x;
    const typename R::Bits s = bits_of(v) & R::kSign;
    if (v != v) { *r = v + v; return kOk; }
    if (is_integral_already(v)) { *r = from_bits<T>(s); return kOk; }  // also +-inf
    const T a = from_bits<T>(bits_of(v) & R::kAbs);
    *r = from_bits<T>(bits_of(T(a - floor_abs_nearest(a))) | s);
    return kOk;
  }
};

// Modf: integer part (toward zero) and fraction, both with x's sign.
template <class T>
struct Modf : FamilyBase<T> {
  using V = typename RoundTraits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr int kOut = 2;
  static uint32_t mxcsr_control(uint32_t mode, uint32_t) {
    return (mode & QOR_FNX_DENORMAL_MASK) == QOR_FNX_DENORMAL_FLUSH ? 0xFFC0u : 0x7F80u;
  }
  static int screen(V x) { return RoundTraits<T>::screen(x); }
  static void packed(V x, V& ip, V& fp) {
    ip = round_current<V, T>(x);
    fp = (x - ip) | simd::sign_bits(x);
  }
  static int element(const T* x, T* ip, T* fp) {
    using R = RoundTraits<T>;
    const T v = *x;
    const typename R::Bits s = bits_of(v) & R::kSign;
    if (v != v) { *ip = v + v; *fp = v + v; return kOk; }
    if (is_integral_already(v)) { *ip = v; *fp = from_bits<T>(s); return kOk; }  // also +-inf
    const T i = round_current(v);
    *ip = i;
    *fp = from_bits<T>(bits_of(T(v - i)) | s);
    return kOk;
  }
};

// Element-wise exact operations: nothing to screen.
template <class T>
struct Abs : FamilyBase<T> {
  using V = typename RoundTraits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static int screen(V) { return 0; }
  static V packed(V x) { return simd::abs(x); }
  static int element(const T* x, T* r) {
    *r = from_bits<T>(bits_of(*x) & RoundTraits<T>::kAbs);
    return kOk;
  }
};

template <class T>
struct Sqr : FamilyBase<T> {
  using V = typename RoundTraits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static int screen(V) { return 0; }
  static V packed(V x) { return x * x; }
  static int element(const T* x, T* r) { *r = *x * *x; return kOk; }
};

enum class Op { Add, Sub, Mul, CopySign };

template <class T, Op kOp>
struct Binary : FamilyBase<T> {
  using V = typename RoundTraits<T>::V;
  static constexpr Scheme kScheme = Scheme::Recompute;
  static constexpr int kIn = 2;
  static int screen(V, V) { return 0; }
  static V packed(V x, V y) {
    if constexpr (kOp == Op::Add) return x + y;
    else if constexpr (kOp == Op::Sub) return x - y;
    else if constexpr (kOp == Op::Mul) return x * y;
    else return simd::abs(x) | simd::sign_bits(y);
  }
  static int element(const T* x, const T* y, T* r) {
    using R = RoundTraits<T>;
    if constexpr (kOp == Op::Add) *r = *x + *y;
    else if constexpr (kOp == Op::Sub) *r = *x - *y;
    else if constexpr (kOp == Op::Mul) *r = *x * *y;
    else *r = from_bits<T>((bits_of(*x) & R::kAbs) | (bits_of(*y) & R::kSign));
    return kOk;
  }
};

// MXCSR control values by direction (all exceptions masked).
constexpr uint32_t kMxcsrUp = 0x5F80u, kMxcsrDown = 0x3F80u, kMxcsrZero = 0x7F80u, kMxcsrNearest = 0x1F80u;

template <class T> using Ceil = DirectedRound<T, kMxcsrUp, false>;
template <class T> using Floor = DirectedRound<T, kMxcsrDown, false>;
template <class T> using Trunc = DirectedRound<T, kMxcsrZero, false>;
template <class T> using Rint = DirectedRound<T, kMxcsrNearest, true>;

template <class T> using Round = RoundHalfAway<T>;  // under round-to-nearest, the mode's default

}  // namespace
}  // namespace qor::vm
