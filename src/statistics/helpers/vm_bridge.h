// The vector-math kernels the statistical helpers use, one internal function per kernel:
// the HA double Ln, Exp, ErfInv and Sqrt, and the double Ceil and NearbyInt.
//
// Today each one calls the C++ standard library (ErfInv, which it lacks, is refined from a
// closed-form start by Halley steps on std::erf/std::erfc); when our own double kernels are
// reachable through the function tables, only these bodies change (Ln and Exp then run with
// the thread's mode set to 0x140000 and restored after the call).
#pragma once

#include <cmath>

namespace qor::ss::helpers::vm {

inline double ln(double x) { return std::log(x); }
inline double exp(double x) { return std::exp(x); }
inline double sqrt(double x) { return std::sqrt(x); }
inline double ceil(double x) { return std::ceil(x); }
inline double nearbyint(double x) { return std::nearbyint(x); }

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

}  // namespace qor::ss::helpers::vm
