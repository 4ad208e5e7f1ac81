// Double-precision Sinh, Cosh, Tanh, Acosh (LA and EP), Asinh and Atanh (EP). Sinh, Cosh, Tanh:
// plain double arithmetic on the LA exponential (exp_log/exp.h, DExpLACore: within about 1.3 ulp), with a = |x|:
//   Sinh: a < 1: a + a^3 P(a^2), the Taylor series to a^21 / 21! (truncation below 2^-65
//         relative); otherwise (E - 1/E) / 2 with E = e^a, which cancels by at most a factor
//         1.31 there: within about 2.3 ulp.
//   Cosh: (E + 1/E) / 2: within about 1.8 ulp.
//   Tanh: a < 1: the double-double-free form of the HA kernel's small branch on that series,
//         a + (t - s (c - 1) / c) with s = sinh a = a + t and c - 1 = s^2 / (1 + sqrt(1 + s^2))
//         (cancels by a factor below 2); otherwise 1 - 2 / (E2 + 1) with E2 = e^(2 min(a, 22)),
//         where 2 / (E2 + 1) is below a third of the result: within about 1.5 ulp.
// EP of Sinh and Cosh: the split form of single_plain.h in double precision, on x itself for
//   |x| < 708 (blocks with lanes beyond are recomputed per element): e^+-a = 2^(+-N/256) (C +- S)
//   with N = round(256 a / ln 2), u = a - N ln2/256 (one product: its error is below 2^-44),
//   C = 1 + u^2 / 2, S = u + u^3 / 6 (truncation below 2^-42 relative), the two scaled table
//   values from one row of kExpPairT256, and
//     sinh a = dm C + dp S,  cosh a = dp C + dm S,  dp, dm = (2^(N/256) +- 2^(-N/256)) / 2,
//   no division, no selection: at N = 0, dm = 0 and sinh a = S is the series of a itself; at
//   N = 1 dm carries the table roundings against 0.0027, about 2^-44.5. Within about 2^-40
//   relative (26 bits needed). Cosh takes S = u alone (DCoshEPFormula): within about 2^-31.
// Acosh LA: log1p(t) by the LA logarithm (exp_log/log1p.h: 1 + t rounded, its rounding error
//   joined to the reduced argument) with t as for EP below: within about 2.5 ulp.
// EP of Asinh, Acosh, Atanh: log1p(t) by the EP logarithm (the same with a cubic on the row's
//   interval: about 2^-33 relative) of an argument t in plain double arithmetic, both registers
//   of a block inline:
//     Asinh: t = a + (sqrt(1 + a^2) - 1) (absolute error about 2^-52 against t >= a); a < 2^-5:
//            a - a^3 / 6 + 3 a^5 / 40 (truncation below 2^-34 relative);
//     Acosh: d = x - 1, t = d + sqrt(d (2 + d)) (d exact below 2, nothing cancels near 1);
//     Atanh: log1p(2a / (1 - a)) / 2 (1 - a exact from 1/2 on); a < 2^-28: a itself;
//   from 2^28 on (Asinh, Acosh) ln(a) + ln 2, the ln 2 as one more in the logarithm's exponent.
//   About 2^-32 relative (26 bits needed).
// The screens and per-element routines are the HA kernels' (|x| >= 708 for Sinh and Cosh, NaN
// and infinities for Tanh, the domains of the inverse functions), so overflow and the special
// values are handled as there.
#pragma once

#include "vector_math/kernels/exp_log/exp.h"
#include "vector_math/kernels/exp_log/log1p.h"
#include "vector_math/kernels/hyperbolic/acosh.h"
#include "vector_math/kernels/hyperbolic/asinh.h"
#include "vector_math/kernels/hyperbolic/atanh.h"
#include "vector_math/kernels/hyperbolic/common.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/single_plain.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/tanh.h"

namespace qor::vm::hyperbolic {
// private to each code-path file that includes it (see kernel_frame.h)
namespace {

// sinh(a) - a for 0 <= a < 1: a^3 (1/3! + a^2/5! + ... + a^18/21!).
QOR_SIMD_INLINE f64x2 sinh_tail1(f64x2 a) {
  const f64x2 z = a * a;
  const f64x2 z2 = z * z, z4 = z2 * z2;
  const f64x2 p01 = kc<1.0 / 6>() + z * kc<1.0 / 120>();
  const f64x2 p23 = kc<1.0 / 5040>() + z * kc<1.0 / 362880>();
  const f64x2 p45 = kc<1.0 / 39916800>() + z * kc<1.0 / 6227020800>();
  const f64x2 p67 = kc<1.0 / 1307674368000>() + z * kc<1.0 / 355687428096000>();
  const f64x2 p89 = kc<1.0 / 121645100408832000>() + z * kc<1.0 / 51090942171709440000.0>();
  const f64x2 p = (p01 + z2 * p23) + z4 * ((p45 + z2 * p67) + z4 * p89);
  return (a * z) * p;
}

// The HA family's screen and per-element routine (which handles only the lanes the screen
// flags: Patch, so that every other lane, in a block or in the tail, takes the LA formula).
template <class HA>
struct LAOf : HA {
  static constexpr Scheme kScheme = Scheme::Patch;
  // not the HA formula's pair: a family of its own gives its own or takes packed() twice
  static void packed_pair(f64x2, f64x2, f64x2&, f64x2&) = delete;
  static constexpr bool kInlineBlocks = false;  // as measured for these formulas
};

struct DSinhLA : LAOf<DSinh> {
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    const f64x2 e = exp_log::DExpLACore::eval(min(a, kc<709.0>()));
    f64x2 r = (e - kc<1.0>() / e) * kc<0.5>();
    const f64x2 small = cmp_lt(a, kc<1.0>());
    if (mask(small)) r = select(small, a + sinh_tail1(a), r);  // the series only where a lane needs it
    return r | sign_bits(x);
  }
};
struct DCoshLA : LAOf<DCosh> {
  static f64x2 packed(f64x2 x) {
    const f64x2 e = exp_log::DExpLACore::eval(min(abs(x), kc<709.0>()));
    return (e + kc<1.0>() / e) * kc<0.5>();
  }
};
struct DTanhLA : LAOf<DTanh> {
  static f64x2 packed(f64x2 x) {
    const f64x2 a = abs(x);
    const f64x2 e2 = exp_log::DExpLACore::eval(min(a, kc<22.0>()) * kc<2.0>());
    f64x2 r = kc<1.0>() - kc<2.0>() / (e2 + kc<1.0>());
    const f64x2 small = cmp_lt(a, kc<1.0>());
    if (mask(small)) {  // the series only where a lane needs it
      const f64x2 am = min(a, kc<1.0>());
      const f64x2 t = sinh_tail1(am);
      const f64x2 s = am + t;
      const f64x2 s2 = s * s;
      const f64x2 cm1 = s2 / (kc<1.0>() + roots::sqrt(kc<1.0>() + s2));
      r = select(small, am + (t - s * cm1 / (kc<1.0>() + cm1)), r);
    }
    return r | sign_bits(x);
  }
};

// Constant rows of the EP kernels (each value twice).
struct alignas(16) DHypEPRows {
  double inv_ln2_256[2];  // 256 / ln 2
  double sh52[2];         // 1.5 * 2^52
  double ln2_256[2];      // ln 2 / 256
  double sixth[2];
  double half[2];
};
inline constexpr DHypEPRows kDHypEP = {
    QOR_ROW2(0x1.71547652b82fep+8), QOR_ROW2(0x1.8p52), QOR_ROW2(0x1.62e42fefa39efp-9),
    QOR_ROW2(1.0 / 6), QOR_ROW2(0.5),
};
// dp, dm and the reduced u's S and C - 1 (above), on x itself rather than |x|: N and u change
// sign with x (the shifter rounds symmetrically), the row of N mod 256 and the scales 2^(+-N/256)
// follow, and so do dm and S, so that both forms hold for either sign with no absolute value
// and no sign restored at the end.
// The difference is kept as nm = -dm = tm - tp, so that at N = 0 Sinh subtracts +0 from S:
// -0 stays -0.
// The reduction and the scaled rows: u, tp = 2^(N/256) / 2 and tm = 2^(-N/256) / 2.
struct RowsEP {
  f64x2 u, tp, tm;
};
QOR_SIMD_INLINE RowsEP rows_ep(const DHypEPRows& c, f64x2 x) {
  const f64x2 sp = x * row(c.inv_ln2_256) + row(c.sh52);
  RowsEP o;
  o.u = x - (sp - row(c.sh52)) * row(c.ln2_256);
  f64x2 bp, bm;
  gather_rows<255>(kExpPairT256.e, sp, bp, bm);
  const __m128i sh = _mm_slli_epi64(sp.bits().v, 44);
  o.tp = _mm_castsi128_pd(_mm_add_epi64(bp.bits().v, sh));
  o.tm = _mm_castsi128_pd(_mm_sub_epi64(bm.bits().v, sh));
  return o;
}
struct SplitEP {
  f64x2 dp, nm, s, h;
};
QOR_SIMD_INLINE SplitEP split_ep(f64x2 x) {
  const auto& c = opaque(kDHypEP);
  const RowsEP r = rows_ep(c, x);
  const f64x2 u2 = r.u * r.u;
  SplitEP o;
  o.dp = r.tp + r.tm;
  o.nm = r.tm - r.tp;
  o.s = r.u + (r.u * u2) * row(c.sixth);
  o.h = u2 * row(c.half);
  return o;
}
// EP: the split formula below 708 (packed, per element in a flagged block and in the tail), the HA
// routine beyond and for NaN.
struct DSinhEPFormula {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const SplitEP e = split_ep(x);
    return e.dp * e.s - (e.nm + e.nm * e.h);
  }
};
// Cosh: dp C + dm S with S = u alone (dm u^3 / 6 is below 2^-31 of the result, dm <= dp) and C
// = 1 + u^2 / 2, as dp + u (dp (u / 2) - nm): three products and four sums after the rows.
struct DCoshEPFormula {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = opaque(kDHypEP);
    const RowsEP r = rows_ep(c, x);
    const f64x2 dp = r.tp + r.tm, nm = r.tm - r.tp;
    return dp + r.u * (dp * (r.u * row(c.half)) - nm);
  }
};
using DSinhEP = HalfExpFamily<DSinhEPFormula, true>;
using DCoshEP = HalfExpFamily<DCoshEPFormula, false>;


// log1p(t) + add ln 2 for both registers of a block (t >= 0, add 0 or 1), by the LA or EP core.
template <exp_log::dlogk::Flavour kF>
QOR_SIMD_INLINE void log1p_pair(f64x2 t0, f64x2 t1, f64x2 add0, f64x2 add1, f64x2& r0, f64x2& r1) {
  using namespace exp_log::dlogk;
  const f64x2 y0 = t0 + kc<1.0>(), y1 = t1 + kc<1.0>();
  const Reduced4 q = reduce4(high_words(y0, y1));
  r0 = log1p2<kF>(t0, y0, q.k0 + add0, q.o[0], q.o[1]);
  r1 = log1p2<kF>(t1, y1, q.k1 + add1, q.o[2], q.o[3]);
}

// An inverse hyperbolic function's LA or EP family: Arg::arg gives log1p's argument and the ln 2
// count of a register, Arg::finish the result from the logarithm.
template <class HA, class Arg, exp_log::dlogk::Flavour kF = exp_log::dlogk::Flavour::EP>
struct InverseViaLog1p : LAOf<HA> {
  static constexpr bool kInlineBlocks = true;
  static QOR_SIMD_INLINE void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) {
    f64x2 t0, t1, k0, k1;
    Arg::arg(x0, t0, k0);
    Arg::arg(x1, t1, k1);
    log1p_pair<kF>(t0, t1, k0, k1, r0, r1);
    r0 = Arg::finish(x0, r0);
    r1 = Arg::finish(x1, r1);
  }
  static f64x2 packed(f64x2 x) {
    f64x2 r0, r1;
    packed_pair(x, x, r0, r1);
    return r0;
  }
};

struct AsinhEPArg {
  static QOR_SIMD_INLINE void arg(f64x2 x, f64x2& t, f64x2& k) {
    const f64x2 a = abs(x);
    t = a + (roots::sqrt(a * a + kc<1.0>()) - kc<1.0>());
    k = f64x2();
    const f64x2 huge = cmp_le(kc<0x1p28>(), a);
    if (mask(huge)) {  // only where a lane needs it
      t = select(huge, min(a, kc<0x1.fffffffffffffp1023>()) - kc<1.0>(), t);
      k = huge & kc<1.0>();
    }
  }
  static QOR_SIMD_INLINE f64x2 finish(f64x2 x, f64x2 r) {
    const f64x2 a = abs(x);
    const f64x2 z = a * a;
    const f64x2 series = a + (a * z) * (kc<-1.0 / 6>() + z * kc<3.0 / 40>());
    return select(cmp_lt(a, kc<0x1p-5>()), series, r) | sign_bits(x);
  }
};
struct AcoshArg {
  // Lanes below 1 (flagged) give NaN here and raise invalid, as their per-element result does.
  static QOR_SIMD_INLINE void arg(f64x2 x, f64x2& t, f64x2& k) {
    const f64x2 d = x - kc<1.0>();
    t = d + roots::sqrt(d * (kc<2.0>() + d));
    k = f64x2();
    const f64x2 huge = cmp_le(kc<0x1p28>(), x);
    if (mask(huge)) {  // only where a lane needs it
      t = select(huge, min(x, kc<0x1.fffffffffffffp1023>()) - kc<1.0>(), t);
      k = huge & kc<1.0>();
    }
  }
  static QOR_SIMD_INLINE f64x2 finish(f64x2, f64x2 r) { return r; }
};
struct AtanhEPArg {
  static QOR_SIMD_INLINE void arg(f64x2 x, f64x2& t, f64x2& k) {
    const f64x2 a = min(abs(x), kc<0x1.fffffffffffffp-1>());  // flagged lanes |x| >= 1: no division by 0
    t = (a + a) / (kc<1.0>() - a);
    k = f64x2();
  }
  static QOR_SIMD_INLINE f64x2 finish(f64x2 x, f64x2 r) {
    const f64x2 a = abs(x);
    return select(cmp_lt(a, kc<0x1p-28>()), a, r * kc<0.5>()) | sign_bits(x);
  }
};
using DAsinhEP = InverseViaLog1p<DAsinh, AsinhEPArg>;
using DAcoshEP = InverseViaLog1p<DAcosh, AcoshArg>;
using DAcoshLA = InverseViaLog1p<DAcosh, AcoshArg, exp_log::dlogk::Flavour::LA>;
using DAtanhEP = InverseViaLog1p<DAtanh, AtanhEPArg>;

}  // namespace
}  // namespace qor::vm::hyperbolic
