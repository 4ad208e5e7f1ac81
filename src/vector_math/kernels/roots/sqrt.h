// Sqrt: the packed IEEE square root (sqrtps, sqrtpd: correctly rounded) in every slot. Lanes
// with the sign bit set go to the per-element routine: -0 gives -0, a NaN itself (quiet), a
// negative number NaN with status 1 (outside the domain). +inf and positive NaNs pass through
// the packed root unchanged.
#pragma once

#include "vector_math/kernels/roots/common.h"

namespace qor::vm::roots {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

template <class T>
struct Sqrt : FamilyBase<T> {
  using V = typename VecOf<T>::type;
  static constexpr Scheme kScheme = Scheme::Patch;
  static V packed(V x) { return sqrt(x); }
  static int screen(V x) { return sign_lanes(x); }
  static int element(const T* px, T* r) {
    const T x = *px;
    if (std::isnan(x) || x == T(0)) {
      *r = std::isnan(x) ? x + x : x;
      return kOk;
    }
    *r = div_rt(T(0), T(0));
    return kErrDom;
  }
};
using SSqrt = Sqrt<float>;
using DSqrt = Sqrt<double>;

}  // namespace
}  // namespace qor::vm::roots
