// Exp10: double precision (one kernel for every flavour) and single precision (HA).
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp_core.h"
#include "vector_math/kernels/exp_log/sexp_tab.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

struct RedExp10 {  // 10^x: r = ((x - N*D1) - N*D2) * ln 10 with D1 + D2 = log10(2) / 64
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const f64x2 sh = row(kDExp.shifter);
    t = x * f64x2::splat(0x1.a934f0979a371p+7) + sh;  // 64 * log2(10)
    const f64x2 k = t - sh;
    const f64x2 d = (x - k * f64x2::splat(0x1.3441350ap-8)) - k * f64x2::splat(-0x1.0c0219dc1da99p-45);
    r = d * f64x2::splat(0x1.26bb1bbb55516p+1);  // ln 10
  }
};

struct Red256Exp10 {  // 10^x: d = (x - N*D1) - N*D2, D1 + D2 = log10(2) / 256 (D1 has 33 bits)
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& r) {
    const auto& c = opaque(kDExpFast);
    t = x * row(c.log2_10_256) + row(c.sh52);
    const f64x2 k = t - row(c.sh52);
    r = (x - k * row(c.lg2_256_hi)) - k * row(c.lg2_256_lo);
  }
  // 10^d - 1 on |d| <= log10(2) / 512: minimax of degree 4, error 2^-58.5
  static QOR_SIMD_INLINE f64x2 poly(f64x2 d) {
    const auto& c = opaque(kDExpFast);
    const f64x2 d2 = d * d;
    return d * ((row(c.p10[0]) + d * row(c.p10[1])) + d2 * (row(c.p10[2]) + d * row(c.p10[3])));
  }
};

// One kernel for every flavour: the 256-entry formula for |x| < 304, whose results are normal.
struct DExp10HA : PairFamily<DExpT256Core<Red256Exp10>, 0x4072FFFF> {
  static constexpr bool kInlineBlocks = true;  // about 2-3% faster
  static int element(const double* px, double* out) {
    const double x = *px;
    return dexp_base_element<DExp10HA, RedExp10>(x, out, /*overflows=*/x > 308.25471555991675,
                                                 /*zero=*/x < -323.6072453387798);
  }
};

// ==== single precision ======================================================================

inline constexpr SExp2Table kSExp10Rows = {
    QOR_ROW4(0x4B400000u), QOR_ROW4(0x43D49A78u), QOR_ROW4(0x3B1A4000u), QOR_ROW4(0xB5FB2BD8u),
    {QOR_ROW4(0x40135D8Eu), QOR_ROW4(0x4029A926u), QOR_ROW4(0x4002382Du)},  // (ln 10)^i / i!
    QOR_ROW4(127u), QOR_ROW4(0xFF800000u),
};

struct SExp10Eval {
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExp2Table& c = opaque(kSExp10Rows);
    const f32x4 sh = row(c.shifter);
    const f32x4 t = x * row(c.scale) + sh;
    const f32x4 k = t - sh;
    // d = x - N log10(2)/128 (the first difference exact); 10^d - 1 = d (b1 + d (b2 + d b3))
    const f32x4 d = (x - k * row(c.d1)) - k * row(c.d2);
    return sexp_tab_finish(c, t, d);
  }
};

// Packed domain (in 1/64): -37.90625 < x < 38.5.
struct SExp10HA : SExpBase<SExp10Eval, DExpCoreEP<RedExp10>, -2426, 38 * 64 + 32, 39, -46> {};

}  // namespace qor::vm::exp_log
