// Calls of our vector-math kernels from the other areas of the library (the distribution
// generators, the statistics routines): a kernel runs through its function table on a block of
// n elements, with the thread's vector-math mode set once for the block and restored after it.
//
// The distributions run their kernels in place under "denormals kept" inside their own frame
// (random/distributions/frame.h). The statistics routines use the quiet calls below: Ln, Exp,
// Ceil and NearbyInt through the HA slot of our double function tables, Ln and Exp under
// "denormals kept, errors not reported" (the caller's error status is left alone), and ErfInv
// through its HA slot the same way. Sqrt is the SSE2 square root, inline: it is correctly
// rounded, as our HA Sqrt kernel is, so the two give the same results.
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
inline void erfinv(int32_t n, const double* x, double* r) { run(kQuiet, qor_fnx_kernel_dErfInv_ttab[1], n, x, r); }
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

inline double erfinv(double y) { return one<erfinv>(y); }

}  // namespace qor::vm_bridge
