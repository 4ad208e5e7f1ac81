// Inv: 1/x.
//   single HA and LA: blocks take the packed IEEE quotient 1/x (correctly rounded); zero lanes
//     (the pattern with the sign cleared equal to 0) are then finished one by one: 1/x (+-inf),
//     status 2 (singularity). Nothing else is reported: the quotient of a subnormal that
//     overflows is +-inf without a status, as the IEEE quotient gives it.
//   single EP: the packed approximate reciprocal (rcpps, relative error at most 1.5 * 2^-12)
//     without refinement. It holds where the argument and its reciprocal are normal numbers:
//     biased exponent 1 ... 252. Lanes outside (found with an integer subtraction, a mask and a
//     compare on the pattern) are finished by _fnxsInv_11_scalar.
//   double HA, LA, EP: the packed IEEE quotient, zero lanes as in single precision.
#pragma once

#include "vector_math/kernels/roots/common.h"

namespace qor::vm::roots {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// 1/x for one element: +-inf with status 2 for +-0, the IEEE quotient otherwise.
template <class T>
inline int inv_element(const T* x, T* r) {
  *r = div_rt(T(1), *x);
  return *x == T(0) ? kSing : kOk;
}

template <class T>
struct InvDiv : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static V packed(V x) { return V::splat(T(1)) / x; }
  static int screen(f32x4 x) { return mask(cmp_eq(abs(x).bits(), i32x4())); }
  static int screen(f64x2 x) {
    // both 32-bit halves of |x| zero
    const __m128i z = _mm_cmpeq_epi32(abs(x).bits().v, _mm_setzero_si128());
    return _mm_movemask_pd(_mm_castsi128_pd(_mm_and_si128(z, _mm_shuffle_epi32(z, _MM_SHUFFLE(2, 3, 0, 1)))));
  }
  static int element(const T* x, T* r) { return inv_element(x, r); }
};
using SInvHA = InvDiv<float>;
using DInv = InvDiv<double>;

// The scalar routine of single-precision Inv EP: the scalar approximate reciprocal (rcpss) of an
// ordinary value; +-0: 1/x (+-inf), status 2; other values (subnormal, huge, infinite, NaN): the
// exact quotient 1/x without a report.
inline float _fnxsInv_11_scalar(float x, int* status) {
  const uint32_t e = bits_of(x) & 0x7F800000u;
  *status = kOk;
  if (e - 0x00800000u <= 0x7D800000u) return _mm_cvtss_f32(_mm_rcp_ss(_mm_set_ss(x)));
  if (x == 0.0f) *status = kSing;
  return div_rt(1.0f, x);
}

struct SInvEP : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Patch;
  static f32x4 packed(f32x4 x) { return _mm_rcp_ps(x.v); }
  // biased exponent outside 1 ... 252: (pattern & exponent mask) - 2^23 outside [0, 0x7D800000]
  static int screen(f32x4 x) {
    const i32x4 d = (x.bits() & i32x4::splat(0x7F800000)) - i32x4::splat(0x00800000);
    return mask(cmp_gt(i32x4(), d)) | mask(cmp_gt(d, i32x4::splat(0x7D800000)));
  }
  static int element(const float* x, float* r) {
    int status;
    *r = _fnxsInv_11_scalar(*x, &status);
    return status;
  }
};

}  // namespace
}  // namespace qor::vm::roots
