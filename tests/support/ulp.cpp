#include "support/ulp.h"

#include <cmath>
#include <cstdio>

namespace qor::test {
namespace {

// Target format parameters: significand bits p, least normal exponent emin, largest exponent emax.
struct Format {
  int p;
  long emin;  // 2^emin is the least normal number
  long emax;  // the largest finite number is (2 - 2^(1-p)) * 2^emax
};
constexpr Format kFloat{24, -126, 127};
constexpr Format kDouble{53, -1022, 1023};

// MPFR numbers with a wide exponent range for the duration of a measurement.
struct WideRange {
  mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
  WideRange() {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
  }
  ~WideRange() {
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
  }
};

// Round-to-nearest-even image of `exact` in the format, carried in a double:
// returns +-inf on overflow, honours the subnormal spacing.
double round_to_format(mpfr_srcptr exact, const Format& f) {
  if (mpfr_nan_p(exact)) return std::numeric_limits<double>::quiet_NaN();
  if (mpfr_inf_p(exact)) return mpfr_sgn(exact) > 0 ? HUGE_VAL : -HUGE_VAL;
  if (mpfr_zero_p(exact)) return mpfr_signbit(exact) ? -0.0 : 0.0;
  // Exponent of exact in the convention 2^e <= |x| < 2^(e+1).
  const long e = static_cast<long>(mpfr_get_exp(exact)) - 1;
  // Number of significant bits available at this magnitude.
  long bits = f.p;
  if (e < f.emin) bits = f.p - (f.emin - e);
  mpfr_t r;
  if (bits < 1) {
    // Below half the least subnormal spacing region: round against the spacing directly.
    // |x| < 2^(emin - p + 1) * 2^0: the result is 0 or the least subnormal.
    mpfr_init2(r, kExactBits);
    mpfr_abs(r, exact, MPFR_RNDN);
    mpfr_mul_2si(r, r, -(f.emin - f.p + 1), MPFR_RNDN);  // in units of the least subnormal
    const bool above_half = mpfr_cmp_d(r, 0.5) > 0;     // exactly 0.5 ties to even, i.e. to 0
    mpfr_clear(r);
    const double tiny = std::ldexp(1.0, static_cast<int>(f.emin - f.p + 1));
    double v = above_half ? tiny : 0.0;
    return mpfr_signbit(exact) ? -v : v;
  }
  mpfr_init2(r, bits);
  mpfr_set(r, exact, MPFR_RNDN);
  double v;
  const long er = static_cast<long>(mpfr_get_exp(r)) - 1;
  if (er > f.emax) {
    v = mpfr_sgn(r) > 0 ? HUGE_VAL : -HUGE_VAL;
  } else {
    v = mpfr_get_d(r, MPFR_RNDN);  // exact: at most 53 bits, within double's range
  }
  mpfr_clear(r);
  return v;
}

UlpError measure(mpfr_srcptr exact, double computed, const Format& f) {
  const double inf = std::numeric_limits<double>::infinity();
  UlpError out;
  if (mpfr_nan_p(exact)) {
    out.ulps = std::isnan(computed) ? 0.0 : inf;
    out.correctly_rounded = std::isnan(computed);
    return out;
  }
  if (std::isnan(computed)) return UlpError{inf, false};
  const double rounded = round_to_format(exact, f);
  if (std::isinf(rounded) || std::isinf(computed)) {
    const bool same = rounded == computed;
    if (same) return UlpError{0.0, true};
    if (std::isinf(computed)) return UlpError{inf, false};
    // Finite computed value against an exact value that overflows: measured below.
  }
  if (mpfr_zero_p(exact)) {
    if (computed == 0.0) {
      const bool same_sign = std::signbit(computed) == static_cast<bool>(mpfr_signbit(exact));
      return UlpError{same_sign ? 0.0 : inf, same_sign};
    }
  }
  WideRange wide;
  // ulp(exact): 2^(max(e, emin) - p + 1).
  long e = mpfr_zero_p(exact) ? f.emin : static_cast<long>(mpfr_get_exp(exact)) - 1;
  if (e < f.emin) e = f.emin;
  if (e > f.emax) e = f.emax;  // beyond the largest binade, measure in its spacing
  mpfr_t diff;
  mpfr_init2(diff, kExactBits + 64);
  mpfr_set_d(diff, computed, MPFR_RNDN);
  mpfr_sub(diff, diff, exact, MPFR_RNDN);
  mpfr_abs(diff, diff, MPFR_RNDN);
  mpfr_mul_2si(diff, diff, -(e - f.p + 1), MPFR_RNDN);
  out.ulps = mpfr_get_d(diff, MPFR_RNDU);
  mpfr_clear(diff);
  out.correctly_rounded = computed == rounded && std::signbit(computed) == std::signbit(rounded);
  return out;
}

template <class T>
UlpError eval_and_measure(MpfrFn1 fn, T x, T computed, const Format& f) {
  WideRange wide;
  mpfr_t a, y;
  mpfr_init2(a, kExactBits);
  mpfr_init2(y, kExactBits);
  mpfr_set_d(a, static_cast<double>(x), MPFR_RNDN);
  fn(y, a, MPFR_RNDN);
  const UlpError e = measure(y, static_cast<double>(computed), f);
  mpfr_clear(a);
  mpfr_clear(y);
  return e;
}

template <class T>
double reference(MpfrFn1 fn, T x, const Format& f) {
  WideRange wide;
  mpfr_t a, y;
  mpfr_init2(a, kExactBits);
  mpfr_init2(y, kExactBits);
  mpfr_set_d(a, static_cast<double>(x), MPFR_RNDN);
  fn(y, a, MPFR_RNDN);
  const double v = round_to_format(y, f);
  mpfr_clear(a);
  mpfr_clear(y);
  return v;
}

}  // namespace

UlpError ulp_error(mpfr_srcptr exact, float computed) {
  WideRange wide;
  return measure(exact, static_cast<double>(computed), kFloat);
}
UlpError ulp_error(mpfr_srcptr exact, double computed) {
  WideRange wide;
  return measure(exact, computed, kDouble);
}
UlpError ulp_error(MpfrFn1 f, float x, float computed) { return eval_and_measure(f, x, computed, kFloat); }
UlpError ulp_error(MpfrFn1 f, double x, double computed) { return eval_and_measure(f, x, computed, kDouble); }
float mpfr_reference(MpfrFn1 f, float x) { return static_cast<float>(reference(f, x, kFloat)); }
double mpfr_reference(MpfrFn1 f, double x) { return reference(f, x, kDouble); }

void UlpAccumulator::add(double input, double computed, const UlpError& e) {
  ++count_;
  if (e.correctly_rounded) ++rounded_;
  if (std::isfinite(e.ulps)) sum_ += e.ulps;
  if (count_ == 1 || e.ulps > max_) {
    max_ = e.ulps;
    worst_input_ = input;
    worst_computed_ = computed;
  }
}

void UlpAccumulator::merge(const UlpAccumulator& o) {
  if (o.count_ && (count_ == 0 || o.max_ > max_)) {
    max_ = o.max_;
    worst_input_ = o.worst_input_;
    worst_computed_ = o.worst_computed_;
  }
  count_ += o.count_;
  rounded_ += o.rounded_;
  sum_ += o.sum_;
}

std::string UlpAccumulator::summary() const {
  char buf[256];
  std::snprintf(buf, sizeof buf, "max %.4g ulp at x = %.17g (computed %.17g), mean %.4g ulp, %.3f%% correctly rounded, n = %ld",
                max_, worst_input_, worst_computed_, mean_ulps(), 100.0 * correctly_rounded_share(), count_);
  return buf;
}

}  // namespace qor::test
