// Ln: double precision (HA, EP) and single precision (LA, HA, EP).
#pragma once

#include <cmath>

#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/exp_log/slog_core.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

using DLnHA = DLogFamily<BaseE, dlogk::Flavour::HA>;
using DLnEP = DLogFamily<BaseE, dlogk::Flavour::EP>;

// ==== single precision ======================================================================

using SLnLA = SLogPolyFamily<BaseE, SLogPolyEval<0, true, false>>;
using SLnEP = SLogPolyFamily<BaseE, SLogPolyEval<0, false, false>>;

// The per-element routine of single-precision Ln HA (SLnHA below): a complete scalar logarithm in
// double precision (65-entry table, polynomial of degree 8 near 1), rounded once (within 0.51
// ulp); it serves the flagged lanes (special values and subnormal inputs). Ordinary lanes take
// the packed formula wherever they sit, so a result never depends on its neighbours.
inline float sln_scalar(float xf, int* status) {
  const uint32_t ix = bits_of(xf), ax = ix & 0x7FFFFFFFu;
  *status = kOk;
  if (ax >= 0x7F800000u) {
    if (ix == 0xFF800000u) {
      *status = kErrDom;
      return nan_invalid_f();
    }
    return xf * xf;
  }
  double x = static_cast<double>(xf);
  int corr = 0;
  if (ax != 0 && ax < 0x00800000u) {  // subnormal single: scale by 2^60
    x *= 1152921504606846976.0;
    corr = -60;
  }
  if (x > 0.0) {
    auto poly = [](double u) {  // u^2 * (-1/2 + u (1/3 + ...)), degree 8 in all
      return (u * u) *
             (-0.5 + u * (0.33333333333334386 +
                          u * (-0.25000000000003386 +
                               u * (0.19999999911565072 +
                                    u * (-0.1666666651884978 + u * (0.1428756883852146 + u * (-0.1250214602960357)))))));
    };
    if (std::fabs(x - 1.0) <= 0.009765625) {
      const double u = x - 1.0;
      return static_cast<float>(u + poly(u));
    }
    const uint64_t bx = bits_of(x);
    const double e = static_cast<double>(static_cast<int>((bx >> 52) & 0x7FF) - 1023 + corr);
    const double m = double_of((bx & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const int j = static_cast<int>(bits_of(70368744177665.0 + m) & 0x7F);
    const double mh = (m + 2097152.0) - 2097152.0;
    const double ml = m - mh;
    const double* t = kSLn.e[j];
    const double u = (mh * t[0] - 1.0) + ml * t[0];
    const double r = poly(u) + (e * 0.6931471805598903 + t[1]) + (e * 5.497923018708371e-14 + t[2]) + u;
    return static_cast<float>(r);
  }
  if (x == 0.0) {
    *status = kSing;
    return minus_inf_divzero_f();
  }
  *status = kErrDom;
  return nan_invalid_f();
}

// Ln: the per-element routine is the complete scalar logarithm above (double precision,
// rounded once) for special values and subnormal inputs.
struct SLnHA : SLogDivFamily<BaseE, 0> {
  __attribute__((noinline)) static int element(const float* px, float* out) {
    int status;
    *out = sln_scalar(*px, &status);
    return status;
  }
};

}  // namespace qor::vm::exp_log
