// Internal entry points shared by the statistical helper sources.
#pragma once

namespace qor::ss::helpers {

// ln Gamma(x) for x > 0 (NaN for x <= 0 or NaN, +inf at +inf).
double ln_gamma(double x);
// Lower and upper regularised incomplete gamma functions P(a, x) and Q(a, x).
double gamma_p(double a, double x);
double gamma_q(double a, double x);

}  // namespace qor::ss::helpers
