// The vector-math functions joined with their references, for the consumers that have MPFR (the
// accuracy test and the accuracy tool): the built rows of functions.def with their function tables,
// and the rows of vector_math/frame/reference.def with their MPFR and C++ library references.
// The two lists are defined in vm_reference.cpp, which the accuracy tool compiles as well.
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qor/vm.h"
#include "vector_math/frame/reference_libm.h"

namespace qor::test::vm {

// ---- MPFR adapters named by reference.def -------------------------------------------------------
// floor(log2 |x|), exact; logb(+-0) = -inf, logb(+-inf) = +inf.
inline int ref_logb(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t) {
  if (mpfr_nan_p(x)) mpfr_set_nan(y);
  else if (mpfr_inf_p(x)) mpfr_set_inf(y, 1);
  else if (mpfr_zero_p(x)) mpfr_set_inf(y, -1);
  else mpfr_set_si(y, static_cast<long>(mpfr_get_exp(x)) - 1, MPFR_RNDN);
  return 0;
}
// The fractional part with the sign of x; of an infinity, the zero of its sign (MPFR: NaN).
inline int ref_frac(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  if (mpfr_inf_p(x)) return mpfr_set_zero(y, mpfr_sgn(x)), 0;
  return mpfr_frac(y, x, r);
}
// Integer and fractional parts as C's modf (an infinity: itself and the zero of its sign).
inline int ref_modf(mpfr_ptr i, mpfr_ptr f, mpfr_srcptr x, mpfr_rnd_t r) {
  if (mpfr_inf_p(x)) {
    mpfr_set(i, x, r);
    return mpfr_set_zero(f, mpfr_sgn(x)), 0;
  }
  return mpfr_modf(i, f, x, r);
}

// The element type a two-argument sweep measures ('s' or 'd'): the adapters whose exact value
// depends on the format (NextAfter's step) read it; the sweeps set it.
inline thread_local char ref_element_type = 'd';

// C's nextafter in the element type being measured.
inline int ref_nextafter(mpfr_ptr y, mpfr_srcptr a, mpfr_srcptr b, mpfr_rnd_t) {
  const double x = mpfr_get_d(a, MPFR_RNDN), t = mpfr_get_d(b, MPFR_RNDN);
  const double r = ref_element_type == 's' ? static_cast<double>(std::nextafter(static_cast<float>(x), static_cast<float>(t)))
                                           : std::nextafter(x, t);
  mpfr_set_d(y, r, MPFR_RNDN);
  if (std::isnan(r)) mpfr_set_nan(y);
  return 0;
}
// IEEE 754-2019 maximumMagnitudeNumber / minimumMagnitudeNumber: the operand of larger (smaller)
// magnitude, mpfr_max (mpfr_min) of equal magnitudes; a NaN gives the other operand.
inline int ref_maxmag(mpfr_ptr y, mpfr_srcptr a, mpfr_srcptr b, mpfr_rnd_t r) {
  if (mpfr_nan_p(a) || mpfr_nan_p(b) || mpfr_cmpabs(a, b) == 0) return mpfr_max(y, a, b, r);
  return mpfr_set(y, mpfr_cmpabs(a, b) > 0 ? a : b, r);
}
inline int ref_minmag(mpfr_ptr y, mpfr_srcptr a, mpfr_srcptr b, mpfr_rnd_t r) {
  if (mpfr_nan_p(a) || mpfr_nan_p(b) || mpfr_cmpabs(a, b) == 0) return mpfr_min(y, a, b, r);
  return mpfr_set(y, mpfr_cmpabs(a, b) < 0 ? a : b, r);
}
// |x|^(2/3) (the real cube root of x^2) and x^(3/2).
inline int ref_pow2o3(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  mpfr_t s;
  mpfr_init2(s, 2 * mpfr_get_prec(x) + 2);
  mpfr_sqr(s, x, MPFR_RNDN);  // exact
  const int t = mpfr_cbrt(y, s, r);
  mpfr_clear(s);
  return t;
}
inline int ref_pow3o2(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  mpfr_t e;
  mpfr_init2(e, 8);
  mpfr_set_d(e, 1.5, MPFR_RNDN);
  const int t = mpfr_pow(y, x, e, r);
  mpfr_clear(e);
  return t;
}

// 1/x and 1/cbrt(x), the reciprocal and root functions MPFR lacks (exact at the working precision
// but for the one rounding of each step, far below the ulps measured).
inline int ref_inv(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_ui_div(y, 1, x, r); }
// 1/sqrt(x) with 1/sqrt(-0) = -inf (the sign of the zero kept, as 1/x does; MPFR gives +inf).
inline int ref_invsqrt(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  if (mpfr_zero_p(x)) return mpfr_set_inf(y, mpfr_signbit(x) ? -1 : 1), 0;
  return mpfr_rec_sqrt(y, x, r);
}
inline int ref_invcbrt(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  mpfr_cbrt(y, x, r);
  return mpfr_ui_div(y, 1, y, r);
}

// erfc and the functions built on it are evaluated at 160 bits (about 2^-155 relative, far below
// a millionth of an ulp of a double): beyond about 200 bits MPFR's erfc slows by two orders of
// magnitude at large arguments (milliseconds per value near 20), which made these references the
// slowest part of the suite.
inline constexpr mpfr_prec_t kErfcBits = 160;
inline int ref_erfc(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  mpfr_t t;
  mpfr_init2(t, kErfcBits);
  mpfr_erfc(t, x, MPFR_RNDN);
  const int i = mpfr_set(y, t, r);
  mpfr_clear(t);
  return i;
}
// The standard normal distribution function Phi(x) = erfc(-x / sqrt 2) / 2 (x / sqrt 2 is not
// rounded to the precision of x).
inline int ref_cdfnorm(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  mpfr_t t;
  mpfr_init2(t, kErfcBits);
  mpfr_set_ui(t, 2, MPFR_RNDN);
  mpfr_sqrt(t, t, MPFR_RNDN);
  mpfr_div(t, x, t, MPFR_RNDN);
  mpfr_neg(t, t, MPFR_RNDN);
  mpfr_erfc(t, t, MPFR_RNDN);
  const int i = mpfr_div_2ui(y, t, 1, r);
  mpfr_clear(t);
  return i;
}
// y with erfc y = q for 0 < q <= 1 (q exact), solved at kErfcBits (about 2^-150 relative). A
// start from the C library's erf and erfc (Newton in double precision, about 50 correct bits), then Halley's steps in MPFR on
// erf y = 1 - q (q > 1/2) or erfc y = q, each tripling the correct bits; a step whose
// correction d is small enough that the next one (about (1 + y^2) d^3) is below the working
// precision ends the solve without another evaluation.
inline void ref_solve_erfc(mpfr_ptr y, mpfr_srcptr q) {
  constexpr mpfr_prec_t p = kErfcBits;
  const double qd = mpfr_get_d(q, MPFR_RNDN);
  const bool body = qd > 0.5;
  mpfr_t a, g, e, t;
  mpfr_inits2(p, a, g, e, t, static_cast<mpfr_ptr>(nullptr));
  mpfr_ui_sub(a, 1, q, MPFR_RNDN);  // exact for q > 1/2 (q has at most p - 2 bits there)
  const double ad = mpfr_get_d(a, MPFR_RNDN);
  double yd = body ? ad * 0.886226925452758 : std::sqrt(-std::log(qd));
  for (int i = 0; i < 100; ++i) {
    const double gd = body ? std::erf(yd) - ad : qd - std::erfc(yd);
    const double next = yd - gd / (1.1283791670955126 * std::exp(-yd * yd));
    if (next == yd || !std::isfinite(next)) break;
    yd = next;
  }
  mpfr_t w;
  mpfr_init2(w, p);
  mpfr_set_d(w, yd, MPFR_RNDN);
  for (int i = 0; i < 8; ++i) {
    if (body) {
      mpfr_erf(g, w, MPFR_RNDN);
      mpfr_sub(g, g, a, MPFR_RNDN);
    } else {
      mpfr_erfc(g, w, MPFR_RNDN);
      mpfr_sub(g, q, g, MPFR_RNDN);
    }
    if (mpfr_zero_p(g)) break;
    mpfr_sqr(e, w, MPFR_RNDN);
    mpfr_neg(e, e, MPFR_RNDN);
    mpfr_exp(e, e, MPFR_RNDN);
    mpfr_const_pi(t, MPFR_RNDN);
    mpfr_sqrt(t, t, MPFR_RNDN);
    mpfr_div(e, e, t, MPFR_RNDN);
    mpfr_mul_2ui(e, e, 1, MPFR_RNDN);  // F'(y), the slope of erf at y; F'' = -2 y F'
    mpfr_div(g, g, e, MPFR_RNDN);      // d = F / F'
    mpfr_mul(t, g, w, MPFR_RNDN);
    mpfr_add_ui(t, t, 1, MPFR_RNDN);
    mpfr_div(g, g, t, MPFR_RNDN);  // Halley: d / (1 - F F'' / (2 F'^2)) = d / (1 + y d)
    mpfr_sub(w, w, g, MPFR_RNDN);
    // The next correction is about (1 + y^2) d^3: stop once that is below 2^-p |y|.
    const double dd = std::fabs(mpfr_get_d(g, MPFR_RNDN)), wd = std::fabs(mpfr_get_d(w, MPFR_RNDN));
    if ((1 + wd * wd) * dd * dd * dd < std::ldexp(wd, -static_cast<int>(p))) break;
  }
  mpfr_set(y, w, MPFR_RNDN);
  mpfr_clears(a, g, e, t, w, static_cast<mpfr_ptr>(nullptr));
}
// erfc^-1(q): +inf at 0, -inf at 2, NaN outside [0, 2]; -erfc^-1(2 - q) above 1.
inline int ref_erfcinv(mpfr_ptr y, mpfr_srcptr q, mpfr_rnd_t r) {
  if (mpfr_nan_p(q) || mpfr_cmp_ui(q, 2) > 0 || mpfr_sgn(q) < 0) return mpfr_set_nan(y), 0;
  if (mpfr_zero_p(q)) return mpfr_set_inf(y, 1), 0;
  if (mpfr_cmp_ui(q, 2) == 0) return mpfr_set_inf(y, -1), 0;
  if (mpfr_cmp_ui(q, 1) == 0) return mpfr_set_zero(y, 1), 0;
  mpfr_t u, w;
  mpfr_init2(u, mpfr_get_prec(q) + 2);
  mpfr_init2(w, mpfr_get_prec(y) + 64);
  const bool upper = mpfr_cmp_ui(q, 1) > 0;
  if (upper) mpfr_ui_sub(u, 2, q, MPFR_RNDN);  // exact
  else mpfr_set(u, q, MPFR_RNDN);
  ref_solve_erfc(w, u);
  if (upper) mpfr_neg(w, w, MPFR_RNDN);
  const int i = mpfr_set(y, w, r);
  mpfr_clears(u, w, static_cast<mpfr_ptr>(nullptr));
  return i;
}
// erf^-1(x) = erfc^-1(1 - x) (1 - x exact at the working precision), odd.
inline int ref_erfinv(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  if (mpfr_zero_p(x)) return mpfr_set(y, x, r);
  mpfr_t q;
  mpfr_init2(q, mpfr_get_prec(x) + 2100);  // 1 - x exact for any double x
  mpfr_ui_sub(q, 1, x, MPFR_RNDN);
  const int i = ref_erfcinv(y, q, r);
  mpfr_clear(q);
  return i;
}
// Phi^-1(p) = -sqrt(2) erfc^-1(2p).
inline int ref_cdfnorminv(mpfr_ptr y, mpfr_srcptr p, mpfr_rnd_t r) {
  mpfr_t q, w;
  mpfr_init2(q, mpfr_get_prec(p));
  mpfr_init2(w, mpfr_get_prec(y) + 64);
  mpfr_mul_2ui(q, p, 1, MPFR_RNDN);
  ref_erfcinv(w, q, MPFR_RNDN);
  mpfr_set_ui(q, 2, MPFR_RNDN);
  mpfr_prec_round(q, mpfr_get_prec(w), MPFR_RNDN);
  mpfr_set_ui(q, 2, MPFR_RNDN);
  mpfr_sqrt(q, q, MPFR_RNDN);
  mpfr_mul(w, w, q, MPFR_RNDN);
  const int i = mpfr_neg(y, w, r);
  mpfr_clears(q, w, static_cast<mpfr_ptr>(nullptr));
  return i;
}
// ln|Gamma(x)| (MPFR's sign discarded): +inf at the poles.
inline int ref_lgamma(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  int sign;
  return mpfr_lgamma(y, &sign, x, r);
}
// E1(x) = -Ei(-x) for x > 0 (MPFR's eint of a negative argument); +inf at 0, NaN below 0, 0 at +inf.
inline int ref_expint1(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  if (mpfr_nan_p(x) || mpfr_sgn(x) < 0) return mpfr_set_nan(y), 0;
  if (mpfr_zero_p(x)) return mpfr_set_inf(y, 1), 0;
  if (mpfr_inf_p(x)) return mpfr_set_zero(y, 1), 0;
  mpfr_t m;
  mpfr_init2(m, mpfr_get_prec(x));
  mpfr_neg(m, x, MPFR_RNDN);
  const int i = mpfr_eint(y, m, r);
  mpfr_neg(y, y, MPFR_RNDN);
  mpfr_clear(m);
  return -i;
}
// Degree functions: sin, cos and tan of x degrees (MPFR's functions of x / 360 turns).
inline int ref_sind(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_sinu(y, x, 360, r); }
inline int ref_cosd(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_cosu(y, x, 360, r); }
inline int ref_tand(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_tanu(y, x, 360, r); }

// ---- the reference list -------------------------------------------------------------------------
// Pack: the strided pack/unpack rows; VX: a scalar second argument (an MPFR column of two
// arguments); LF: the linear fraction (its own grouped test, no reference row).
enum class Shape { V1, V2, V1R2, VX, LF, Pack, Other };
enum Slot { LA = 0, HA = 1, EP = 2 };
inline const char* slot_name(int s) { return s == LA ? "LA" : s == HA ? "HA" : "EP"; }

struct Range {
  double lo = 0, hi = 0;
  bool log_uniform = false;  // values 2^u, u uniform in [lo, hi)
};

// One piece of a sweep's inputs (see reference.def).
// Pair: the first argument drawn from parts[0], the second from parts[1] (two-argument rows;
// both cut to the shorter part's count); a one-argument sweep takes parts[0].
struct Piece {
  enum Kind { Bits, Uniform, Log2, NegLog2, Run, Steps, Values, Pair } kind;
  double a = 0, b = 0, step = 0;
  long n = 0;
  std::vector<double> values;
  std::vector<Piece> parts;
};

struct Precision {
  double ha = 1;          // the HA slot's bound in ulps
  Range sample;           // double only: the accuracy tool's sampling range
  std::vector<Piece> inputs;
};

using Mpfr1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using Mpfr2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
using Mpfr1R2 = int (*)(mpfr_ptr, mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

// The MPFR column; its type gives the shape it serves.
struct MpfrRef {
  Mpfr1 f1 = nullptr;
  Mpfr2 f2 = nullptr;
  Mpfr1R2 f1r2 = nullptr;
  MpfrRef(Mpfr1 f) : f1(f) {}
  MpfrRef(Mpfr2 f) : f2(f) {}
  MpfrRef(Mpfr1R2 f) : f1r2(f) {}
  Shape shape() const { return f1 ? Shape::V1 : f2 ? Shape::V2 : Shape::V1R2; }
};

struct Reference {
  const char* func;
  MpfrRef mpfr;
  double (*libm_x)(double);          // one argument, one result (else null)
  double (*libm_xy)(double, double);  // two arguments (else null)
  Precision s, d;
  const Precision& of(char type) const { return type == 's' ? s : d; }
};

// The rows of reference.def (built once, on first use). Defined in vm_reference.cpp: expanding
// the list is the costliest thing the test build compiles, so it is compiled once.
const std::vector<Reference>& references();
const Reference* find_reference(const std::string& func);

// ---- the built functions ------------------------------------------------------------------------
struct Function {
  char type;  // s, d, c, z
  const char* func;
  Shape shape;
  const void* ttab;      // the function table: three kernel pointers, LA, HA, EP
  const char* kernel[3];  // their suffixes in functions.def
  std::string name() const { return std::string(1, type) + func; }
  // The kernel in a slot, read from the table at the call (a rewritten slot takes effect).
  template <class K>
  K slot(int s) const {
    return static_cast<const K*>(ttab)[s];
  }
};

// The built rows of functions.def with their tables (vm_reference.cpp).
const std::vector<Function>& built_functions();
const Function* find_function(char type, const std::string& func);

}  // namespace qor::test::vm
