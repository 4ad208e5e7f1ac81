// Expm1: double precision (HA, LA, EP) and single precision (HA, in double precision).
//
// Double precision: the 256-entry table core (dexp_core.h) with the cores below.
//
// Single precision works in double precision: the four floats are widened to two pairs of doubles,
//     y = 2048 x / ln 2,  N = round(y) = 2048 n + j,  f = y - N (exact, |f| <= 1/2),
//     e^x - 1 = 2^n T_j (1 + q) - 1 = Ts q - (1 - Ts),  q = f (c1 + c2 f) ~ 2^(f/2048) - 1,
// with T_j = RN(2^(j/2048)) from a 2048-entry table (Ts = 2^n T_j by one integer addition) and
// q a relative minimax quadratic (2^-28.6). 1 - Ts is exact for the n that occur (|x| < 88), Ts q
// carries a relative error near 2^-28.6 for N = 0 (then Ts = 1 and the result is q) and far less
// elsewhere, so the double result is within 2^-28 of e^x - 1 and the narrowing rounds it once:
// measured over all 2^32 inputs, 0.540 ulp at most on this path (0.558 ulp overall, at the
// overflow edge) and 99.86% of results correctly rounded. For x = -0 the last subtraction
// gives -0 - (+0) = -0. |x| >= 88 and NaN go to the per-element routine (overflow near 88.72,
// and -1 for large negative x); a flagged block is recomputed element by element, so the
// packed formula (and its cvtpd2dq) only sees finite arguments below 88 in magnitude.
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dexp_core.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

// The kernels below take -708 < x < 708 and |x| >= 2^-54 (the rest is the per-element routine's):
// the screen is one unsigned range test on the high word of |x|.
QOR_SIMD_INLINE int expm1_screen_pair(f64x2 x0, f64x2 x1) {
  // high word h outside [0x3C900000, 0x4085FFFF]: (h - 0x3C900000) as unsigned above the width,
  // done as a signed compare with the sign bit flipped
  const __m128 h = _mm_shuffle_ps(_mm_castpd_ps(x0.v), _mm_castpd_ps(x1.v), _MM_SHUFFLE(3, 1, 3, 1));
  const __m128i a = _mm_and_si128(_mm_castps_si128(h), _mm_set1_epi32(0x7FFFFFFF));
  const __m128i u = _mm_add_epi32(a, _mm_set1_epi32(static_cast<int32_t>(0x80000000u - 0x3C900000u)));
  const __m128i k = _mm_set1_epi32(static_cast<int32_t>((0x4085FFFFu - 0x3C900000u) ^ 0x80000000u));
  return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(u, k)));
}

// e^r - 1 on |r| <= ln 2 / 512 with relative error 2^-61 (for N = 0 it is the result).
QOR_SIMD_INLINE f64x2 expm1_poly(f64x2 r) {
  const auto& c = opaque(kDExpFast);
  const f64x2 r2 = r * r;
  return r + r2 * ((row(c.xm1[0]) + r * row(c.xm1[1])) + r2 * (row(c.xm1[2]) + r * row(c.xm1[3])));
}

// LA: e^x - 1 = 2^n T (1 + L) (1 + p(r)) - 1 = (Ts - 1) + Ts (L + p), with the 53-bit table.
// Ts - 1 is exact for -1 <= n <= 52 and the sum carries no cancellation error beyond the
// rounding of the small term; near N = +-1 that term is as large as the result: 2 ulp at most.
struct DExpm1LACore {
  static QOR_SIMD_INLINE f64x2 finish(f64x2 t, f64x2 r, f64x2 b, f64x2 l) {
    const f64x2 ts = t256_scaled(b, t);
    return (ts - row(opaque(kDExpFast).one)) + ts * (l + expm1_poly(r));
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, r, b, l;
    Red256Exp::reduce(x, t, r);
    gather_rows<255>(kDExpT256.e, t, b, l);
    return finish(t, r, b, l);
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    f64x2 t0, t1, r0, r1, b0, l0, b1, l1;
    Red256Exp::reduce(x0, t0, r0);
    Red256Exp::reduce(x1, t1, r1);
    gather_rows_pair<255>(kDExpT256.e, t0, t1, b0, l0, b1, l1);
    y0 = finish(t0, r0, b0, l0);
    y1 = finish(t1, r1, b1, l1);
  }
};

// HA: the same decomposition with T of 27 bits, carried so that only terms far below the result
// are rounded before the last addition. With rh = x - N C1 (exact) and r = rh - N C2:
//   A + Ae = Ts - 1 exactly (Fast2Sum with -1 first, and Ae = -1 where A = Ts),
//   P = Ts * r_hi exact (r_hi = rh cut to 26 bits),
//   s + e = A + P exactly (Fast2Sum: |A| >= |P| whenever A != 0, since |N| >= 1 there),
//   result = s + ((e + Ae) + Ts * ((rh - r_hi - N C2) + r^2 q(r) + L (1 + p))),
// with no case split on n. Measured: 0.511 ulp at most over 2^20 samples plus the tests' hard
// regions, 99.999% correctly rounded.
struct DExpm1HACore {
  static QOR_SIMD_INLINE void reduce(f64x2 x, f64x2& t, f64x2& rh, f64x2& kc2) {
    const auto& c = opaque(kDExpFast);
    t = x * row(c.inv_ln2_256) + row(c.sh52);
    const f64x2 k = t - row(c.sh52);
    rh = x - k * row(c.ln2_256_hi);  // exact
    kc2 = k * row(c.ln2_256_lo);
  }
  static QOR_SIMD_INLINE f64x2 finish(f64x2 t, f64x2 rh, f64x2 kc2, f64x2 b, f64x2 l) {
    const auto& c = opaque(kDExpFast);
    const f64x2 r = rh - kc2;
    const f64x2 r2 = r * r;
    const f64x2 q2 = r2 * ((row(c.xm1[0]) + r * row(c.xm1[1])) + r2 * (row(c.xm1[2]) + r * row(c.xm1[3])));
    const f64x2 ts = t256_scaled(b, t);
    // A + Ae = Ts - 1: Fast2Sum with -1 as the larger term (exact for Ts <= 1; Ae = 0 for
    // 1 < Ts < 2^53, where A is exact), and -1 for Ts >= 2^53, where A = Ts (and A + 1 = Ts):
    // T has 27 bits, so Ts - 1 and Ts + 1 are ties that round to Ts
    const f64x2 a = ts + row(c.minus_one);
    const f64x2 ae = (ts - (a - row(c.minus_one))) + (simd::cmp_eq(a, ts) & row(c.minus_one));
    const f64x2 rhi = rh & row(c.split26);
    const f64x2 pp = ts * rhi;
    const f64x2 s = a + pp;
    const f64x2 e = (a - s) + pp;
    // L (1 + p) = L + L r + L r^2 q, regrouped so that q2 is used last
    const f64x2 lo = ((rh - rhi) - kc2) + (l + l * r);
    const f64x2 small = lo + q2 * (row(c.one) + l);
    return s + ((e + ae) + ts * small);
  }
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    f64x2 t, rh, kc2, b, l;
    reduce(x, t, rh, kc2);
    gather_rows<255>(kDExpm1T256.e, t, b, l);
    return finish(t, rh, kc2, b, l);
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    f64x2 t0, t1, rh0, rh1, kc0, kc1, b0, l0, b1, l1;
    reduce(x0, t0, rh0, kc0);
    reduce(x1, t1, rh1, kc1);
    gather_rows_pair<255>(kDExpm1T256.e, t0, t1, b0, l0, b1, l1);
    y0 = finish(t0, rh0, kc0, b0, l0);
    y1 = finish(t1, rh1, kc1, b1, l1);
  }
};

// EP with the 256-entry table: (Ts - 1) + Ts q, q = 2^(f/256) - 1 by its Taylor terms to the
// cube (relative error 2^-33, so also for N = 0), T's rounding (2^-53 of Ts) far below 2^-26 of
// the result even where Ts - 1 cancels.
struct DExpm1EPTabCore {
  static QOR_SIMD_INLINE f64x2 eval(f64x2 x) {
    const auto& c = opaque(kDExpFast);
    f64x2 ts, f;
    ep256_reduce(c, x, ts, f);
    const f64x2 q = f * (row(c.ep256[0]) + f * (row(c.ep256[1]) + f * row(c.ep256[2])));
    return (ts - row(c.one)) + ts * q;
  }
  static QOR_SIMD_INLINE void eval_pair(f64x2 x0, f64x2 x1, f64x2& y0, f64x2& y1) {
    y0 = eval(x0);
    y1 = eval(x1);
  }
};

template <class Core>
struct DExpm1Fam : FamilyBase<double> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f64x2 packed(f64x2 x) { return Core::eval(x); }
  static void packed_pair(f64x2 x0, f64x2 x1, f64x2& r0, f64x2& r1) { Core::eval_pair(x0, x1, r0, r1); }
  static int screen_pair(f64x2 x0, f64x2 x1) { return expm1_screen_pair(x0, x1); }
  static int screen(f64x2 x) { return expm1_screen_pair(x, x) & 3; }
  static int element(const double* px, double* out) {
    const double x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    const double ax = std::fabs(x);
    if (ax < 0x1p-54) {  // expm1(x) rounds to x
      *out = x;
      return kOk;
    }
    if (x < -40.0) {  // -1 + e^x rounds to -1
      *out = (x == -HUGE_VAL) ? -1.0 : mul_rt(0x1p-60, 0x1p-60) - 1.0;
      return kOk;
    }
    if (x == HUGE_VAL) {
      *out = x;
      return kOk;
    }
    if (x >= 709.7827128933841) {
      *out = mul_rt(0x1p1023, 0x1p1023);
      return kOverflow;
    }
    if (x >= 708.0) {  // e^x - 1 = e^x here; two-step scaling near the top
      *out = DExpCore<RedExp>::scalar(x);
      return exp_status(*out);
    }
    *out = lane0(Core::eval(f64x2::splat(x)));
    return kOk;
  }
};
using DExpm1HA = DExpm1Fam<DExpm1HACore>;
using DExpm1LA = DExpm1Fam<DExpm1LACore>;
using DExpm1EP = DExpm1Fam<DExpm1EPTabCore>;

// ==== single precision ======================================================================

// Constant rows of Expm1 (each value twice).
struct alignas(16) SExpm1Rows {
  double inv_ln2_2048[2];  // 2048 / ln 2
  double c[2][2];          // 2^(f/2048) - 1 = f (c1 + c2 f), relative minimax on |f| <= 1/2: 2^-28.6
  double one[2];
};
inline constexpr SExpm1Rows kSExpm1 = {
    {0x1.71547652b82fep+11, 0x1.71547652b82fep+11},
    {{0x1.62e42ffdd9236p-12, 0x1.62e42ffdd9236p-12}, {0x1.ebfbe006f2598p-25, 0x1.ebfbe006f2598p-25}},
    {1.0, 1.0},
};

// 2^(j/2048), j = 0..2047, each entry the pattern of T = RN(2^(j/2048)) minus j << 41, so that
// adding N << 41 (N = 2048 n + j) gives the pattern of 2^n T. Generated by
// tools/gen_exp_log_tables.cpp (MPFR).
struct alignas(16) SExpm1T2048Table {
  double b[2048];
};
inline constexpr SExpm1T2048Table kSExpm1T = {{
#include "vector_math/kernels/exp_log/tables/sexpm1_t2048.inc"
}};

struct SExpm1Eval {
  // y = 2048 x / ln 2, N = round(y) (cvtpd2dq under the kernel's round-to-nearest; N in lanes 0
  // and 1), f = y - N exactly
  static QOR_SIMD_INLINE f64x2 reduce(const SExpm1Rows& c, f64x2 x, __m128i& n) {
    const f64x2 y = x * row(c.inv_ln2_2048);
    n = _mm_cvtpd_epi32(y.v);
    return y - f64x2(_mm_cvtepi32_pd(n));
  }
  // Ts = 2^n T from the biased entry and N; (2^n T) (1 + q) - 1 = Ts q - (1 - Ts), which for
  // x = -0 is -0 - (+0) = -0.
  static QOR_SIMD_INLINE f64x2 finish(const SExpm1Rows& c, __m128i n, f64x2 f, f64x2 b) {
    const __m128i n41 = _mm_slli_epi64(_mm_shuffle_epi32(n, _MM_SHUFFLE(1, 1, 0, 0)), 41);
    const f64x2 ts = _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(b.v), n41));
    const f64x2 q = f * (row(c.c[0]) + f * row(c.c[1]));
    return ts * q - (row(c.one) - ts);
  }
  static QOR_SIMD_INLINE f32x4 eval(f32x4 x) {
    const SExpm1Rows& c = opaque(kSExpm1);
    __m128i n0, n1;
    const f64x2 f0 = reduce(c, widen_lo(x), n0);
    const f64x2 f1 = reduce(c, widen_hi(x), n1);
    const __m128i w = _mm_unpacklo_epi64(n0, n1);  // N of the four lanes; j = N & 2047
    const double* tab = opaque(kSExpm1T).b;
#if defined(__x86_64__)
    const uint64_t w01 = static_cast<uint64_t>(_mm_cvtsi128_si64(w));
    const uint64_t w23 = static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(w, w)));
    const uint32_t j0 = static_cast<uint32_t>(w01) & 2047u, j1 = static_cast<uint32_t>(w01 >> 32) & 2047u;
    const uint32_t j2 = static_cast<uint32_t>(w23) & 2047u, j3 = static_cast<uint32_t>(w23 >> 32) & 2047u;
#else
    const uint32_t j0 = static_cast<uint32_t>(_mm_cvtsi128_si32(w)) & 2047u;
    const uint32_t j1 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 1))) & 2047u;
    const uint32_t j2 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 2))) & 2047u;
    const uint32_t j3 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(w, 3))) & 2047u;
#endif
    const f64x2 b0 = _mm_loadh_pd(_mm_load_sd(tab + j0), tab + j1);
    const f64x2 b1 = _mm_loadh_pd(_mm_load_sd(tab + j2), tab + j3);
    return narrow(finish(c, n0, f0, b0), finish(c, n1, f1, b1));
  }
};

struct SExpm1HA : FamilyBase<float> {
  static constexpr Scheme kScheme = Scheme::Recompute;
  static f32x4 packed(f32x4 x) { return SExpm1Eval::eval(x); }
  static int screen(f32x4 x) { return simd::mask_abs_above(x, 0x42AFFFFFu); }  // |x| >= 88, NaN
  static int element(const float* px, float* out) {
    const float x = *px;
    if (std::isnan(x)) {
      *out = x + x;
      return kOk;
    }
    if (x <= -88.0f) {  // -1 + e^x rounds to -1
      *out = (x == -INFINITY) ? -1.0f : mul_rt(0x1p-60f, 0x1p-60f) - 1.0f;
      return kOk;
    }
    if (x >= 88.0f) return SExpHA::element(px, out);  // e^x - 1 rounds as e^x; +inf, overflow
    *out = packed_one<SExpm1HA>(x);
    return kOk;
  }
};

}  // namespace qor::vm::exp_log
