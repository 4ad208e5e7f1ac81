// Shared pieces of the exponential/logarithmic kernel tests: kernel declarations, input
// generators, and a sweep that measures every flavour of a function against MPFR.
#pragma once

#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qor/vm.h"
#include "support/scale.h"
#include "support/ulp.h"

extern "C" {
#define QOR_EL_S(name) void qor_fnx_kernel_##name(int32_t, const float*, float*);
#define QOR_EL_D(name) void qor_fnx_kernel_##name(int32_t, const double*, double*);
QOR_EL_S(sExp_W7LAynn) QOR_EL_S(sExp_W7HAynn) QOR_EL_S(sExp_V8EPnnn)
QOR_EL_S(sExp2_W7HAynn) QOR_EL_S(sExp10_W7HAynn) QOR_EL_S(sExpm1_V8HAynn)
QOR_EL_S(sLn_V8LAynn) QOR_EL_S(sLn_V8HAynn) QOR_EL_S(sLn_V8EPnnn)
QOR_EL_S(sLog2_W7LAynn) QOR_EL_S(sLog2_W7HAynn) QOR_EL_S(sLog2_W7EPnnn)
QOR_EL_S(sLog10_V8LAynn) QOR_EL_S(sLog10_V8HAynn) QOR_EL_S(sLog10_W7EPnnn)
QOR_EL_S(sLog1p_V8LAynn) QOR_EL_S(sLog1p_V8HAynn) QOR_EL_S(sLogb_W7HAynn)
QOR_EL_D(dExp_W7LAynn) QOR_EL_D(dExp_W7HAynn) QOR_EL_D(dExp_W7EPnnn)
QOR_EL_D(dExp2_W7HAynn) QOR_EL_D(dExp10_W7HAynn)
QOR_EL_D(dExpm1_V8LAynn) QOR_EL_D(dExpm1_V8HAynn) QOR_EL_D(dExpm1_V8EPnnn)
QOR_EL_D(dLn_W7HAynn) QOR_EL_D(dLn_W7EPnnn)
QOR_EL_D(dLog2_W7LAynn) QOR_EL_D(dLog2_W7HAynn) QOR_EL_D(dLog2_W7EPnnn)
QOR_EL_D(dLog10_V8LAynn) QOR_EL_D(dLog10_W7HAynn)
QOR_EL_D(dLog1p_V8LAynn) QOR_EL_D(dLog1p_V8HAynn) QOR_EL_D(dLog1p_V8EPnnn) QOR_EL_D(dLogb_W7HAynn)
#undef QOR_EL_S
#undef QOR_EL_D
}

namespace exp_log_test {

using SKernel = void (*)(int32_t, const float*, float*);
using DKernel = void (*)(int32_t, const double*, double*);

template <class T>
using Kernel = void (*)(int32_t, const T*, T*);

// floor(log2 |x|) as MPFR computes it exactly: logb.
inline int mpfr_logb(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t) {
  if (mpfr_nan_p(x)) {
    mpfr_set_nan(y);
  } else if (mpfr_inf_p(x)) {
    mpfr_set_inf(y, 1);
  } else if (mpfr_zero_p(x)) {
    mpfr_set_inf(y, -1);
  } else {
    mpfr_set_si(y, static_cast<long>(mpfr_get_exp(x)) - 1, MPFR_RNDN);
  }
  return 0;
}

// ---- inputs ----------------------------------------------------------------------------------
inline std::vector<float> random_bits_f(long n, uint32_t seed) {
  std::mt19937 g(seed);
  std::vector<float> v(n);
  for (auto& x : v) {
    const uint32_t u = g();
    std::memcpy(&x, &u, 4);
  }
  return v;
}
inline std::vector<double> random_bits_d(long n, uint32_t seed) {
  std::mt19937_64 g(seed);
  std::vector<double> v(n);
  for (auto& x : v) {
    const uint64_t u = g();
    std::memcpy(&x, &u, 8);
  }
  return v;
}
template <class T>
std::vector<T> uniform(double lo, double hi, long n, uint32_t seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> d(lo, hi);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(d(g));
  return v;
}
// Positive values with a uniformly distributed binary exponent in [e0, e1).
template <class T>
std::vector<T> log_uniform(int e0, int e1, long n, uint32_t seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> d(e0, e1);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(std::exp2(d(g)));
  return v;
}
// Every representable value in [lo, hi] upward, at most n of them.
template <class T>
std::vector<T> consecutive(T lo, long n) {
  std::vector<T> v;
  v.reserve(n);
  T x = lo;
  for (long i = 0; i < n; ++i) {
    v.push_back(x);
    x = std::nextafter(x, static_cast<T>(INFINITY));
  }
  return v;
}
template <class T>
void append(std::vector<T>& a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
}

// ---- flavour contracts -----------------------------------------------------------------------
enum class Contract { HA, LA, EP };

template <class T>
struct Flavour {
  const char* name;
  Kernel<T> kernel;
  Contract contract;
};

struct Outcome {
  qor::test::UlpAccumulator acc;
  double max_rel = 0;  // EP: relative error beyond one least-subnormal spacing
  double worst_rel_input = 0;
};

// Runs every flavour on `xs` (in one call each, so blocks, screens and the tail all take part),
// measures each result against f at 256 bits, and checks the flavour's contract:
//   HA: <= 1 ulp (and < `ha_aim` ulp, the figure this library promises for the function);
//   LA: <= 4 ulp;
//   EP: |computed - exact| <= 2^-11 (float) / 2^-26 (double) of |exact| plus the least subnormal.
template <class T>
std::vector<Outcome> sweep(const char* fname, qor::test::MpfrFn1 f, const std::vector<T>& xs,
                           std::initializer_list<Flavour<T>> flavours, double ha_aim = 1.0) {
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  std::vector<std::vector<T>> outs;
  for (const auto& fl : flavours) {
    outs.emplace_back(xs.size());
    fl.kernel(static_cast<int32_t>(xs.size()), xs.data(), outs.back().data());
  }
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
  std::vector<Outcome> res(flavours.size());
  const bool is_float = sizeof(T) == 4;
  const double ep_rel = is_float ? 0x1p-11 : 0x1p-26;
  const double tiny = is_float ? 0x1p-149 : 0x1p-1074;
  mpfr_t a, y;
  mpfr_init2(a, qor::test::kExactBits);
  mpfr_init2(y, qor::test::kExactBits);
  const mpfr_exp_t emin = mpfr_get_emin(), emax = mpfr_get_emax();
  mpfr_set_emin(mpfr_get_emin_min());
  mpfr_set_emax(mpfr_get_emax_max());
  for (size_t i = 0; i < xs.size(); ++i) {
    mpfr_set_d(a, static_cast<double>(xs[i]), MPFR_RNDN);
    f(y, a, MPFR_RNDN);
    const double yd = mpfr_get_d(y, MPFR_RNDN);
    size_t k = 0;
    for (const auto& fl : flavours) {
      const T c = outs[k][i];
      const qor::test::UlpError e = qor::test::ulp_error(y, c);
      res[k].acc.add(static_cast<double>(xs[i]), static_cast<double>(c), e);
      if (fl.contract == Contract::EP) {
        double rel = 0;
        if (std::isnan(yd) || std::isnan(static_cast<double>(c))) {
          rel = (std::isnan(yd) && std::isnan(static_cast<double>(c))) ? 0 : INFINITY;
        } else if (std::isinf(static_cast<double>(c)) || std::isinf(yd)) {
          rel = e.ulps == 0 ? 0 : (e.ulps < 2 ? 0 : INFINITY);
        } else {
          const double excess = std::fabs(static_cast<double>(c) - yd) - tiny;
          rel = excess <= 0 ? 0 : excess / std::fabs(yd);
        }
        if (rel > res[k].max_rel) {
          res[k].max_rel = rel;
          res[k].worst_rel_input = static_cast<double>(xs[i]);
        }
      }
      ++k;
    }
  }
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
  mpfr_clear(a);
  mpfr_clear(y);
  size_t k = 0;
  for (const auto& fl : flavours) {
    const Outcome& o = res[k++];
    std::printf("  %-8s %-3s %s\n", fname, fl.name, o.acc.summary().c_str());
    switch (fl.contract) {
      case Contract::HA:
        EXPECT_LE(o.acc.max_ulps(), ha_aim) << fname << " " << fl.name << ": " << o.acc.summary();
        break;
      case Contract::LA:
        EXPECT_LE(o.acc.max_ulps(), 4.0) << fname << " " << fl.name << ": " << o.acc.summary();
        break;
      case Contract::EP:
        EXPECT_LE(o.max_rel, ep_rel) << fname << " " << fl.name << ": relative error " << o.max_rel
                                     << " at x = " << o.worst_rel_input;
        break;
    }
  }
  return res;
}

// Calls a kernel on one element.
template <class T>
T one(Kernel<T> k, T x) {
  T r;
  k(1, &x, &r);
  return r;
}

// Records every report of the error routine (mode: callback only).
struct Report {
  int code;
  int index;
  double arg, res;
};
inline std::vector<Report>& reports() {
  static thread_local std::vector<Report> r;
  return r;
}
inline int record_callback(FnxErrorContext* c) {
  reports().push_back(Report{c->code, c->index, c->arg1, c->res1});
  return 0;
}

// Installs the recording callback for the lifetime of the object and restores the mode.
class Recording {
 public:
  Recording() {
    reports().clear();
    old_mode_ = qor_fnx_kernel_GetMode();
    old_cb_ = qor_fnx_kernel_SetErrorCallBack(record_callback);
    qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_CALLBACK);
    qor_fnx_kernel_ClearErrStatus();
  }
  ~Recording() {
    qor_fnx_kernel_SetErrorCallBack(old_cb_);
    qor_fnx_kernel_SetMode((old_mode_ & QOR_FNX_ERRMODE_MASK) ? (old_mode_ & QOR_FNX_ERRMODE_MASK) : QOR_FNX_ERRMODE_DEFAULT);
  }

 private:
  uint32_t old_mode_;
  FnxErrorCallBack old_cb_;
};

}  // namespace exp_log_test
