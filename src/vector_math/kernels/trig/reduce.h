// The argument reduction by pi/2 shared by the per-element routines of the double-precision
// (and, through a widened argument, single-precision) sine, cosine, tangent and SinCos:
// qor_fnx_kernel_reduce_pio2d (qor/vm_trig.h).
//
// |x| = k pi/4 + r with k even and |r| <= pi/4, in two regimes:
//   |x| < 2^30: k = trunc(|x| 4/pi) rounded up to even, r = |x| - k pi/4 with pi/4 in four pieces
//     (|x| < 2^23: 27, 28 and 27 significant bits and a full double) or five (2^23 <= |x| < 2^30:
//     20, 21, 20, 20 bits and a full double), so that k times every piece but the last is exact;
//     the differences are carried in double-double (reduce_pio2_medium in dsin_medium.h, for a
//     pair of doubles);
//   |x| >= 2^30: the 53-bit integer mantissa M (|x| = M 2^E) times the 4/pi chunk table (4/pi =
//     sum g_i 2^-24i, g_i integers below 2^24 held as doubles, generated with MPFR by
//     tools/gen_trig_tables.cpp). M is cut into three 24-bit pieces, so every product of a piece and
//     a chunk is exact and every column of the schoolbook product (three products) is an exact
//     double. Only the columns that can reach |x| 4/pi mod 8 are formed: the first is chosen from E
//     (its weight 2^s, 1 <= s <= 24), nine columns in all, so the dropped ones weigh below 2^-142.
//     The columns are carried in 24-bit limbs (integers); the three bits above the binary point
//     give k/2 mod 4, the fraction (or its complement to 1 when k was rounded up) becomes a
//     double-double of about 100 significant bits, and r = f pi/4 with pi/4 in double-double.
// The closest a double comes to a multiple of pi/2 is about 2^-61 (6381956970095103 * 2^797), so
// r keeps at least 70 correct bits everywhere (below 2^30 the pieces of pi/4 hold about 137 bits,
// so the error there is about k 2^-140; above, about 2^-100 relative).
#pragma once

#include <cstdint>

namespace qor::vm::trig {

struct Reduced {
  double hi, lo;  // s r
  int32_t q;      // (s k/2) mod 4
};

// The reduction of a finite x (NaN and infinities give a NaN and 0).
Reduced reduce_pio2(double x);

}  // namespace qor::vm::trig
