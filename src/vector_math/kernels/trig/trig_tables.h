// Tables of the trigonometric kernels whose layout is fixed: the constant rows and the
// 128-entry table of double-precision Sin HA (the lookup entries at byte offset 192), the 256-entry
// table of single-precision Sin HA, and the atan table of the inverse functions. Entries come from
// tools/gen_trig_tables.cpp (MPFR); defined once in trig_tables.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qor::vm::trig {

// Double-precision Sin HA: rows of two equal doubles, then for the angle j pi/64, j = 0..127,
// (C_j - c_j, S_j high, S_j low, c_j) with S_j = sin (the low part rounded to 24 significant bits,
// sin to 2^-80 relative), C_j = cos and c_j = +1 or -1, the sign of C_j (+1 where C_j = 0).
struct alignas(16) DSinHATable {
  double inv_pio64[2];  // 64/pi
  double shifter[2];    // 1.5 * 2^52
  double p1[2];         // pi/64 = p1 + p2 + p3; k p1 and k p2 exact for k < 2^21
  double p2[2];
  double p3[2];
  double s3[2], s5[2], s7[2];  // sin r - r = r^3 (s3 + r^2 (s5 + r^2 s7))
  double c2[2], c4[2], c6[2];  // cos r - 1 = r^2 (c2 + r^2 (c4 + r^2 c6))
  uint64_t abs_mask[2];
  double e[128][4];
};
static_assert(offsetof(DSinHATable, e) == 192, "the lookup entries start at byte 192");
extern const DSinHATable kDSinHA;

// Single-precision Sin HA: rows of four equal floats (as bit patterns), then for the angle
// j pi/128, j = 0..255, (S_hi, S_lo, C_hi, C_lo) with S = sin, C = cos.
struct alignas(16) SSinHATable {
  uint32_t inv_pio128[4];  // 128/pi
  uint32_t shifter[4];     // 1.5 * 2^23
  uint32_t p1[4], p2[4], p3[4], p4[4];  // -pi/128 in four pieces (added)
  uint32_t s3[4], s5[4];   // sin r - r = r^3 (s3 + r^2 s5)
  uint32_t c2[4], c4[4];   // cos r - 1 = r^2 (c2 + r^2 c4)
  uint32_t abs_mask[4];
  uint32_t screen[4];      // 10000.0: the last |x| bits below it take the packed formula
  uint32_t e[256][4];
};
static_assert(offsetof(SSinHATable, e) == 192, "the lookup entries start at byte 192");
extern const SSinHATable kSSinHA;

// atan(j/64) = hi + lo, j = 0..64.
extern const double kAtanJ64[65][2];

}  // namespace qor::vm::trig
