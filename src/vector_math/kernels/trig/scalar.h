// The double-precision per-element routines of the sine family: `_dSin`, `_dCos`, `_dTan` and
// `_dSinCos` compute one finite double completely (any size), and the status-returning routines
// (`dsin_element` ...) add the special values: +-inf is a domain error with a NaN result (status
// 1), NaN propagates quietly without a report.
//
// The scalar formula: |x| >= 2^17 is first reduced by qor_fnx_kernel_reduce_pio2d to quadrant q
// and r = hi + lo; then N = round(r 32/pi), j = (16 q + N) mod 64,
// r' = ((r - N P1) - N P2) - N P3 (pi/32 in three pieces, the first two multiplied exactly for
// |N| < 2^21) carried as a high part and a correction (which also takes the reduction's low part),
// sin r' - r' and cos r' - 1 by degree-9 and degree-8 polynomials (Taylor coefficients; |r'| <=
// pi/64), and
//   sin(x) = S_j cos r' + C_j sin r' = S_hi + c_j r' + (S_lo + S_j (cos r' - 1) + c_j (sin r' - r')
//            + (C_j - c_j) sin r' + C_j r'_corr)
// with (S_hi + c_j r') formed exactly. The angles j pi/32 are the even entries of the 128-entry
// table of the packed formula (trig_tables.h). Cosine takes j + 16, the tangent divides the two
// double-double values. Below 2^30 the arithmetic is that of dsin_medium.h (written for a pair of
// doubles and run here on one lane), which the packed kernels run on their medium lanes. |x| < 2^-252 returns x itself (raising inexact) for sine and tangent.
#pragma once

#include <cstdint>

namespace qor::vm::trig {

// sin and cos of x (finite) as double-double (hi + lo).
void _dSinCosDD(double x, double* sh, double* sl, double* ch, double* cl);
double _dSin(double x);
double _dCos(double x);
double _dTan(double x);
void _dSinCos(double x, double* s, double* c);

// With the special values; return a status (kOk or kErrDom).
int dsin_element(const double* x, double* r);
int dcos_element(const double* x, double* r);
int dtan_element(const double* x, double* r);
int dsincos_element(const double* x, double* s, double* c);
// The same for a float argument, computed in double and rounded once.
int ssin_element(const float* x, float* r);
int scos_element(const float* x, float* r);
int stan_element(const float* x, float* r);
int ssincos_element(const float* x, float* s, float* c);

}  // namespace qor::vm::trig
