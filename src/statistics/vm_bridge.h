// The vector-math kernels the statistics methods and their helper routines use, one internal
// function per kernel.
//
// Ln, Exp, Ceil and NearbyInt go through the HA slot of our double function tables. Ln and Exp
// run with the thread's denormal handling set to "keep" and errors not reported (the caller's
// error status is left alone), and the thread's mode is restored afterwards. Sqrt and ErfInv
// have no kernels of ours yet: Sqrt is the correctly rounded SSE2 square root, ErfInv is
// refined from a closed-form start by Halley steps on erf/erfc. Switching one of them to our
// kernels when they land changes only its body here.
#pragma once

#include <cmath>
#include <cstdint>

#include "qor/vm.h"

namespace qor::ss::vm {

namespace detail {
// One element through a slot, under "denormals kept, errors not reported".
template <class Kernel>
inline double call_quiet(Kernel kernel, double x) {
  const uint32_t saved = _fnxSetMode(QOR_FNX_DENORMAL_KEEP | QOR_FNX_ERRMODE_NOERR);
  double r;
  kernel(1, &x, &r);
  _fnxSetMode(saved);
  return r;
}
}  // namespace detail

inline double ln(double x) { return detail::call_quiet(qor_fnx_kernel_dLn_ttab[1], x); }
inline double exp(double x) { return detail::call_quiet(qor_fnx_kernel_dExp_ttab[1], x); }
inline double ceil(double x) {
  double r;
  qor_fnx_kernel_dCeil_ttab[1](1, &x, &r);
  return r;
}
inline double nearbyint(double x) {
  double r;
  qor_fnx_kernel_dNearbyInt_ttab[1](1, &x, &r);
  return r;
}
inline double sqrt(double x) { return std::sqrt(x); }

inline double erfinv(double y) {
  if (!(y > -1.0 && y < 1.0)) {
    if (y == 1.0) return HUGE_VAL;
    if (y == -1.0) return -HUGE_VAL;
    return NAN;
  }
  if (y == 0.0) return y;
  // Start: Winitzki's closed form (relative error below 2e-3).
  const double a = 0.147, pi = 3.14159265358979323846;
  const double l = std::log1p(-y * y);
  const double t = 2.0 / (pi * a) + 0.5 * l;
  double x = std::copysign(std::sqrt(std::sqrt(t * t - l / a) - t), y);
  // Halley steps on erf(x) = y; near |y| = 1 the residual is taken through erfc.
  const double two_over_sqrt_pi = 1.12837916709551257390;
  for (int i = 0; i < 3; ++i) {
    double r;  // erf(x) - y
    if (std::fabs(y) > 0.5) {
      const double v = (1.0 - std::fabs(y)) - std::erfc(std::fabs(x));
      r = y > 0 ? v : -v;
    } else {
      r = std::erf(x) - y;
    }
    const double d = two_over_sqrt_pi * std::exp(-x * x);
    if (d == 0.0) break;
    const double f = r / d;
    x -= f / (1.0 + x * f);
  }
  return x;
}

}  // namespace qor::ss::vm
