// The lookup table of the packed error-function kernels (erf.h), from tools/gen_erf_table.cpp
// (MPFR): for r = k/128, k = 0..3495, the row {C_hi, D, C_lo, E_lo}:
//   C_hi + C_lo = erfc r (C_lo the rounding error of C_hi),
//   D           = 2/sqrt(pi) e^(-r^2) rounded (the slope of erf at r),
//   E_lo        = erf r - RN(1 - C_hi) rounded, so that erf r = RN(1 - C_hi) + E_lo;
// D_lo = the rounding error of D (for the double-precision HA kernels). From r = 26 on
// (kErfScaledRow) erfc r and the slope are scaled by 2^128 (and E_lo is 0). For every r also the Taylor coefficients c_2 ... c_9 of erf(r + d) = erf r +
// D (d + c_2 d^2 + ...), c_n = (-1)^(n-1) H_(n-1)(r) / n!. Defined once in erf_table.cpp.
// The float rows of single-precision Erf and Erfc LA and EP (erf_float.h): {erf r, D / 64} for
// r = k/64 (EP) and {erf r, D} for r = k/128 (LA) from -4 to 4 (row 0 at r = -4), {erfc r, D / erfc r} for r = k/256 up to 10.1, each rounded to float once;
// from row kErfcF256Scaled on (erfc r below the normal range) erfc r is scaled by 2^64.
#pragma once

namespace qor::vm::special {

inline constexpr int kErfRows = 3496;
inline constexpr int kErfScaledRow = 3328;
alignas(32) extern const double kErfT128[kErfRows][4];
alignas(16) extern const double kErfDlo[kErfRows];
inline constexpr int kErfTaylorRows = kErfRows;
alignas(64) extern const double kErfTaylor[kErfTaylorRows][8];
inline constexpr int kErfF64Rows = 513, kErfF128Rows = 1025, kErfcF256Rows = 2587, kErfcF256Scaled = 2354;
// The Erf arrays have 4096 rows, every index of 12 bits: the rows past the table (zeros) are
// read by NaN lanes only, whose index comes from the NaN's bits (the kernels need no screen).
inline constexpr int kErfFIndexRows = 4096;
alignas(64) extern const float kErfF64[kErfFIndexRows][2];
alignas(64) extern const float kErfF128[kErfFIndexRows][2];
alignas(64) extern const float kErfcF256[kErfcF256Rows][2];
// The float rows of single-precision Erf and Erfc HA (erf_float.h): Erf {E_hi, E_lo, D', D} for
// r = k/128 from -4 to 4 (row 0 at r = -4; E_hi = +-0, E_lo = erf r - 9r/8 and D' = D - 9/8 where
// |r| <= 7/128, whose kernel adds 9x/8; elsewhere erf r = E_hi + E_lo and D' = D); Erfc {erfc r 2^64 = H + H L, Q = D / erfc r, 0} for r = k/256 from -4
// to 10.1 (row 0 at r = -4).
inline constexpr int kErfFHARows = 1025, kErfcFHARows = 3611;
alignas(64) extern const float kErfFHA128[kErfFHARows][4];
alignas(64) extern const float kErfcFHA256[kErfcFHARows][4];

}  // namespace qor::vm::special
