// Helpers the C++ library column of reference.def names (expressions in x evaluated by the
// accuracy tool, the tests and `qor vm`): the library's own functions cannot be written as one
// C++ library call.
#pragma once

#include <cmath>

namespace qor::test::vm {

// The C++ library column of the pi-scaled and degree functions: an exact remainder (x mod one
// turn, u half-turns to the turn's half), folded so the angle handed to sin is at most a quarter
// turn, in long double; exact zeros follow the sign rules of the kernels (and MPFR).
template <class T>
T libm_sinu(T x, T half) {  // sin(pi x / half)
  T r = std::remainder(x, 2 * half);             // [-half, half], exact
  if (std::fabs(r) > half / 2) r = std::copysign(half, r) - r;  // exact
  if (r == 0) return std::copysign(T(0), x);
  return std::sin(3.14159265358979323846264338327950288L * static_cast<long double>(r) / static_cast<long double>(half));
}
template <class T>
T libm_cosu(T x, T half) {  // cos(pi x / half) = sin(pi (half/2 - |r|) / half)
  const T r = half / 2 - std::fabs(std::remainder(x, 2 * half));  // exact
  if (r == 0) return T(0);
  return std::sin(3.14159265358979323846264338327950288L * static_cast<long double>(r) / static_cast<long double>(half));
}
template <class T>
T libm_tanu(T x, T half) {
  const long double s = libm_sinu<long double>(x, half), c = libm_cosu<long double>(x, half);
  return static_cast<T>(s / c);
}

}  // namespace qor::test::vm
