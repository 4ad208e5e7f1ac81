// Calls of our vector-math kernels from the other areas of the library (the distribution
// generators, the statistics routines): a kernel runs through its function table on a block of
// n elements, with the thread's vector-math mode set once for the block and restored after it.
//
// The distributions run their kernels in place under "denormals kept" inside their own frame
// (random/distributions/frame.h). The statistics routines use the quiet calls below: Ln, Exp,
// Ceil and NearbyInt through the HA slot of our double function tables, Ln and Exp under
// "denormals kept, errors not reported" (the caller's error status is left alone). Sqrt and
// ErfInv have no kernels of ours yet: Sqrt is the correctly rounded SSE2 square root, ErfInv is
// refined from a closed-form start by Halley steps on erf/erfc. Switching one of them to our
// kernels when they land changes only its body here.
//
// Each quiet call has a block form (n, x, r), x and r may be the same array, and a one-element
// form for values that are truly scalar.
#pragma once

#include <cmath>
#include <cstdint>

#include "qor/vm.h"

namespace qor::vm_bridge {

// kernel(n, x, r) with the thread's mode set to `mode` (its non-zero fields replace the
// current ones), then the previous mode set again.
template <class Kernel, class T>
inline void run(uint32_t mode, Kernel kernel, int32_t n, const T* x, T* r) {
  const uint32_t saved = qor_fnx_kernel_SetMode(mode);
  kernel(n, x, r);
  qor_fnx_kernel_SetMode(saved);
}

constexpr uint32_t kQuiet = QOR_FNX_DENORMAL_KEEP | QOR_FNX_ERRMODE_NOERR;

inline void ln(int32_t n, const double* x, double* r) { run(kQuiet, qor_fnx_kernel_dLn_ttab[1], n, x, r); }
inline void exp(int32_t n, const double* x, double* r) { run(kQuiet, qor_fnx_kernel_dExp_ttab[1], n, x, r); }
inline void ceil(int32_t n, const double* x, double* r) { qor_fnx_kernel_dCeil_ttab[1](n, x, r); }
inline void nearbyint(int32_t n, const double* x, double* r) { qor_fnx_kernel_dNearbyInt_ttab[1](n, x, r); }
inline void sqrt(int32_t n, const double* x, double* r) {
  for (int32_t i = 0; i < n; ++i) r[i] = std::sqrt(x[i]);
}

// One element through a block call.
template <void (*Block)(int32_t, const double*, double*)>
inline double one(double x) {
  double r;
  Block(1, &x, &r);
  return r;
}
inline double ln(double x) { return one<ln>(x); }
inline double exp(double x) { return one<exp>(x); }
inline double ceil(double x) { return one<ceil>(x); }
inline double nearbyint(double x) { return one<nearbyint>(x); }
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

}  // namespace qor::vm_bridge
