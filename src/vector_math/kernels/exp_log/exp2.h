// Exp2: double precision (one kernel for every flavour) and single precision (HA).
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/exp_log/sexp_tab.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

struct RedExp2 {  // 2^x: r = (x - N/64) * ln 2, the difference exact
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const f64x2 sh = row(kDExp.shifter);
    t = x * f64x2::splat(64.0) + sh;
    const f64x2 k = t - sh;
    r = (x - k * f64x2::splat(0x1p-6)) * f64x2::splat(0x1.62e42fefa39efp-1);
  }
};

struct Red256Exp2 {  // 2^x: the shifter 1.5 * 2^44 rounds x to a multiple of 1/256; r = x - N/256 exact
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const auto& c = opaque(kDExpFast);
    t = x + row(c.sh44);
    r = x - (t - row(c.sh44));
  }
  // 2^r - 1 on |r| <= 1/512: minimax of degree 4, error 2^-58.5
  static QOR_SIMD_INLINE f64x2 poly(f64x2 r) {
    const auto& c = opaque(kDExpFast);
    const f64x2 r2 = r * r;
    return r * ((row(c.p2[0]) + r * row(c.p2[1])) + r2 * (row(c.p2[2]) + r * row(c.p2[3])));
  }
};

// One kernel for every flavour: the 256-entry formula for |x| < 1012, where 2^n T L is still a
// normal number (nearer the underflow threshold its rounding would cost a quarter ulp).
struct DExp2HA : PairFamily<DExpT256Core<Red256Exp2>, 0x408F9FFF> {
  static constexpr bool kInlineBlocks = true;  // about 2-3% faster
  static int element(const double* px, double* out) {
    const double x = *px;
    return dexp_base_element<DExp2HA, RedExp2>(x, out, /*overflows=*/x >= 1024.0, /*zero=*/x <= -1075.0);
  }
};

// ==== single precision ======================================================================

inline constexpr SExp2Table kSExp2Rows = {
    QOR_ROW4(0x4B400000u), QOR_ROW4(0x43000000u), QOR_ROW4(0u), QOR_ROW4(0u),
    {QOR_ROW4(0x3BB17218u), QOR_ROW4(0x3775FDF0u), QOR_ROW4(0x32E35847u)},  // (ln 2 / 128)^i / i!
    QOR_ROW4(127u), QOR_ROW4(0xFF800000u),
};

struct SExp2Eval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExp2Table& c = opaque(kSExp2Rows);
    const f32x4 sh = row(c.shifter);
    const f32x4 u = x * row(c.scale);  // 128 x, exact
    const f32x4 t = u + sh;
    const f32x4 d = u - (t - sh);  // exact, |d| <= 1/2; 2^(d/128) - 1 = d (a1 + d (a2 + d a3))
    return sexp_tab_finish(c, t, d);
  }
};

// Packed domains (in 1/64): Exp2 -126 < x < 127.984375 (2^m normal for every N rounded from
// there), Exp10 -37.90625 < x < 38.5.
struct SExp2HA : SExpBase<SExp2Eval, DExpCoreEP<RedExp2>, -126 * 64, 8191, 128, -152> {};

}  // namespace qor::vm::exp_log
