// The ulp meter: error of a computed float/double against an exact value held by MPFR.
//
// The error is |computed - exact| / ulp(exact), where ulp(exact) is the spacing of the target
// format's numbers in the binade of the exact value (2^(e-23) for float, 2^(e-52) for double
// when 2^e <= |exact| < 2^(e+1)) and the subnormal spacing 2^-149 / 2^-1074 below the normal
// range. Special values:
//   - exact NaN: 0 when the computed value is a NaN, infinite error otherwise;
//   - exact infinity, or a finite exact value whose round-to-nearest image overflows: 0 when
//     the computed value is the infinity of the same sign; a computed infinity against an exact
//     value that rounds to a finite number is an infinite error;
//   - zeros: an exact zero against a computed zero of the other sign is an infinite error;
//   - a computed NaN against a non-NaN exact value is an infinite error.
#pragma once

#include <mpfr.h>

#include <cstdint>
#include <limits>
#include <string>

namespace qor::test {

// Precision of every exact evaluation.
inline constexpr mpfr_prec_t kExactBits = 256;

struct UlpError {
  double ulps = 0;               // error in ulps of the target format (may be +inf)
  bool correctly_rounded = true; // computed equals the round-to-nearest-even image of exact
};

UlpError ulp_error(mpfr_srcptr exact, float computed);
UlpError ulp_error(mpfr_srcptr exact, double computed);

// An MPFR function of one argument, e.g. mpfr_exp, mpfr_log1p.
using MpfrFn1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

// Evaluates f(x) at kExactBits bits (exponent range widened so nothing overflows) and measures
// `computed` against it.
UlpError ulp_error(MpfrFn1 f, float x, float computed);
UlpError ulp_error(MpfrFn1 f, double x, double computed);

// The round-to-nearest image of f(x) in the target format (an independent reference value).
float mpfr_reference(MpfrFn1 f, float x);
double mpfr_reference(MpfrFn1 f, double x);

// Collects errors over a sweep: max and mean error, share of correctly rounded results and the
// input that gave the largest error.
class UlpAccumulator {
 public:
  void add(double input, double computed, const UlpError& e);
  long count() const { return count_; }
  double max_ulps() const { return max_; }
  double mean_ulps() const { return count_ ? sum_ / static_cast<double>(count_) : 0.0; }
  double correctly_rounded_share() const {
    return count_ ? static_cast<double>(rounded_) / static_cast<double>(count_) : 1.0;
  }
  double worst_input() const { return worst_input_; }
  double worst_computed() const { return worst_computed_; }
  void merge(const UlpAccumulator& other);
  // "max 0.51 ulp at x = ... (computed ...), mean 0.25, 99.1% correctly rounded, n = ..."
  std::string summary() const;

 private:
  long count_ = 0;
  long rounded_ = 0;
  double sum_ = 0;  // sum of finite errors
  double max_ = 0;
  double worst_input_ = 0;
  double worst_computed_ = 0;
};

}  // namespace qor::test
