// Accuracy table of the vector-math kernels: every built one-argument function of functions.def
// that has a row in the reference list (vector_math/frame/reference.def), in that list's order.
//
//   qor_accuracy [--single-step K] [--double-samples N] [--single-only | --double-only] [--only sExp2]
//
// Single precision: every one of the 2^32 inputs (or every K-th with --single-step) goes through
// each kernel; the reference is the row's C library expression on the widened input in double
// (error far below 2^-20 float ulp), and MPFR at 256 bits decides the few cases whose reference
// lies within 10^-6 ulp of a rounding midpoint. Double precision: N sampled inputs (random bit
// patterns and the row's sampling range) against MPFR at 256 bits.
//
// Two exceptions, when the tool is built with GSL: the single sweeps of ExpInt1 and CdfNorm take
// their references for finite inputs from GSL's E1 and erfc in double (relative error about
// 2^-50, far below the 10^-6 ulp window): the rows' long double expint and erfc cost microseconds
// per call, hours for 2^32 inputs.
//
// Prints a Markdown table: function, flavour, kernel, max ulp (and where), mean ulp, share of
// correctly rounded results.
#include <mpfr.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "qor/vm.h"
#include "support/vm_reference.h"

#if QOR_ACCURACY_GSL
#include <gsl/gsl_errno.h>
#include <gsl/gsl_sf_erf.h>
#include <gsl/gsl_sf_expint.h>
#endif

namespace {

namespace ref = qor::test::vm;
using SKernel = void (*)(int32_t, const float*, float*);
using DKernel = void (*)(int32_t, const double*, double*);
using MpfrFn = ref::Mpfr1;

struct Flavour {
  std::string slot;    // "LA", "HA", "EP", "LA, EP", "all" (the slots sharing the kernel)
  std::string kernel;  // e.g. "sExp_W7LAynn"
  SKernel s;
  DKernel d;
};

struct Function {
  std::string name;       // e.g. "sExp"
  double (*ref)(double);  // the C library reference in double (single precision)
  MpfrFn mp;
  std::vector<Flavour> flavours;
  ref::Range sample;  // double: the sampling range
};

// The built one-argument functions of one type with a reference row, their kernels grouped by slot.
std::vector<Function> functions(char type) {
  std::vector<Function> out;
  for (const ref::Reference& r : ref::references()) {
    const ref::Function* f = ref::find_function(type, r.func);
    if (!f || f->shape != ref::Shape::V1 || !r.libm_x) continue;
    Function fn{f->name(), r.libm_x, r.mpfr.f1, {}, r.of(type).sample};
    for (int s = 0; s < 3; ++s) {
      const std::string kernel = f->name() + "_" + f->kernel[s];
      auto it = std::find_if(fn.flavours.begin(), fn.flavours.end(), [&](const Flavour& fl) { return fl.kernel == kernel; });
      if (it != fn.flavours.end()) {
        it->slot += std::string(", ") + ref::slot_name(s);
        continue;
      }
      fn.flavours.push_back({ref::slot_name(s), kernel, type == 's' ? f->slot<SKernel>(s) : nullptr,
                             type == 'd' ? f->slot<DKernel>(s) : nullptr});
    }
    if (fn.flavours.size() == 1) fn.flavours[0].slot = "all";
    out.push_back(fn);
  }
  return out;
}

#if QOR_ACCURACY_GSL
double (*g_e1_row)(double) = nullptr;  // the row's reference, for the inputs GSL does not take
double e1_gsl(double x) {
  // beyond 700, E1 < 2^-1000 rounds to zero in single precision: e^-x / x (1 - 1/x) is enough
  if (x >= 700 && x <= HUGE_VAL) return std::exp(-x) / x * (1 - 1 / x);
  gsl_sf_result r;
  if (!(x > 0) || gsl_sf_expint_E1_e(x, &r) != GSL_SUCCESS) return g_e1_row(x);
  return r.val;
}

// CdfNorm(x) = erfc(t) / 2 with t = -x / sqrt 2 rounded to double; the rounding error d of t joins
// through erfc's slope (relative error of the result about |2 t d|, so 2^-44 at the float
// underflow threshold without it). Below -38 the result is below 2^-1000: zero in single precision.
double (*g_cdfnorm_row)(double) = nullptr;
double cdfnorm_gsl(double x) {
  if (x < -38) return 0;
  const double sh = 0x1.6a09e667f3bcdp+0, sl = -0x1.bdd3413b26456p-54;  // sqrt 2 = sh + sl
  const double t = -x / sh;
  const double d = (std::fma(-t, sh, -x) - t * sl) / sh;
  gsl_sf_result r;
  if (!std::isfinite(x) || gsl_sf_erfc_e(t, &r) != GSL_SUCCESS) return g_cdfnorm_row(x);
  return (r.val - d * 1.1283791670955126 * std::exp(-t * t)) / 2;
}
#endif

// The single sweep's reference of f (see the top of this file).
double (*sweep_reference(const Function& f))(double) {
#if QOR_ACCURACY_GSL
  if (f.name == "sExpInt1") {
    gsl_set_error_handler_off();
    g_e1_row = f.ref;
    return e1_gsl;
  }
  if (f.name == "sCdfNorm") {
    gsl_set_error_handler_off();
    g_cdfnorm_row = f.ref;
    return cdfnorm_gsl;
  }
#endif
  return f.ref;
}

// --only NAME: one function (e.g. sExp2); empty = all.
const char* g_only = "";
bool wanted(const std::string& name) { return !*g_only || name == g_only; }

struct Stats {
  double max = 0, worst_x = 0, worst_r = 0, sum = 0, max_rel = 0;
  uint64_t n = 0, cr = 0;
  // rel: relative error beyond one least-subnormal spacing (for the correct-bits column)
  void add(double x, double r, double e, bool c, double rel = 0) {
    ++n;
    if (rel > max_rel) max_rel = rel;
    if (c) ++cr;
    if (std::isfinite(e)) sum += e;
    if (e > max || n == 1) {
      max = e;
      worst_x = x;
      worst_r = r;
    }
  }
  void merge(const Stats& o) {
    if (o.n && (n == 0 || o.max > max)) {
      max = o.max;
      worst_x = o.worst_x;
      worst_r = o.worst_r;
    }
    if (o.max_rel > max_rel) max_rel = o.max_rel;
    n += o.n;
    cr += o.cr;
    sum += o.sum;
  }
};

// Rounds an MPFR value to the format (p bits, least normal 2^emin) as a double.
double round_fmt(mpfr_srcptr v, int p, int emin) {
  if (mpfr_nan_p(v) || mpfr_inf_p(v) || mpfr_zero_p(v)) return mpfr_get_d(v, MPFR_RNDN);
  const long e = static_cast<long>(mpfr_get_exp(v)) - 1;
  long bits = p;
  if (e < emin) bits = p - (emin - e);
  if (bits < 1) {
    mpfr_t t;
    mpfr_init2(t, 300);
    mpfr_abs(t, v, MPFR_RNDN);
    mpfr_mul_2si(t, t, -(emin - p + 1), MPFR_RNDN);
    const bool up = mpfr_cmp_d(t, 0.5) > 0;
    mpfr_clear(t);
    const double r = up ? std::ldexp(1.0, emin - p + 1) : 0.0;
    return mpfr_signbit(v) ? -r : r;
  }
  mpfr_t t;
  mpfr_init2(t, bits);
  mpfr_set(t, v, MPFR_RNDN);
  double r = mpfr_get_d(t, MPFR_RNDN);
  mpfr_clear(t);
  if (p == 24 && std::fabs(r) > 0x1.fffffep127) r = std::copysign(HUGE_VAL, r);
  return r;
}

// Error of `c` against an exact value known as a double (float format) or as MPFR (any).
double err_of(double exact, double c, int p, int emin, int emax, double rounded, bool* cr) {
  *cr = false;
  if (std::isnan(exact)) {
    *cr = std::isnan(c);
    return *cr ? 0 : HUGE_VAL;
  }
  if (std::isnan(c)) return HUGE_VAL;
  if (std::isinf(rounded) || std::isinf(c)) {
    if (rounded == c) {
      *cr = true;
      return 0;
    }
    if (std::isinf(c)) return HUGE_VAL;
  }
  if (exact == 0 && c == 0) {
    *cr = std::signbit(exact) == std::signbit(c);
    return *cr ? 0 : HUGE_VAL;
  }
  int e = exact == 0 ? emin : std::ilogb(exact);
  if (e < emin) e = emin;
  if (e > emax) e = emax;
  *cr = (c == rounded) && (std::signbit(c) == std::signbit(rounded));
  return std::fabs(c - exact) / std::ldexp(1.0, e - p + 1);
}

void row(const Function& f, const Flavour& fl, const Stats& s, const char* domain) {
  const double bits = s.max_rel > 0 ? -std::log2(s.max_rel) : INFINITY;
  std::printf("| %s | %s | `%s` | %.4f (x = %.9g) | %.4f | %.4f%% | %.1f | %s |\n", f.name.c_str(), fl.slot.c_str(), fl.kernel.c_str(), s.max,
              s.worst_x, s.n ? s.sum / static_cast<double>(s.n) : 0.0,
              s.n ? 100.0 * static_cast<double>(s.cr) / static_cast<double>(s.n) : 0.0, bits, domain);
  std::fflush(stdout);
}

void single_table(uint64_t step) {
  const std::vector<Function> fns = functions('s');
  constexpr uint32_t kChunk = 1u << 16;
  for (const Function& f : fns) {
    if (!wanted(f.name)) continue;
    const auto t0 = std::chrono::steady_clock::now();
    const size_t nf = f.flavours.size();
    double (*const reference)(double) = sweep_reference(f);
    std::vector<Stats> total(nf);
    const int64_t chunks = static_cast<int64_t>((1ull << 32) / (static_cast<uint64_t>(kChunk) * step));
#pragma omp parallel
    {
      mpfr_set_emin(mpfr_get_emin_min());
      mpfr_set_emax(mpfr_get_emax_max());
      mpfr_t a, y, d;
      mpfr_init2(a, 256);
      mpfr_init2(y, 256);
      mpfr_init2(d, 320);
      std::vector<Stats> st(nf);
      std::vector<float> x(kChunk);
      std::vector<std::vector<float>> out(nf, std::vector<float>(kChunk));
#pragma omp for schedule(dynamic, 16)
      for (int64_t ci = 0; ci < chunks; ++ci) {
        const uint64_t base = static_cast<uint64_t>(ci) * kChunk * step;
        for (uint32_t i = 0; i < kChunk; ++i) {
          const uint32_t u = static_cast<uint32_t>(base + static_cast<uint64_t>(i) * step);
          std::memcpy(&x[i], &u, 4);
        }
        for (size_t k = 0; k < nf; ++k) f.flavours[k].s(kChunk, x.data(), out[k].data());
        for (uint32_t i = 0; i < kChunk; ++i) {
          const double ex = reference(static_cast<double>(x[i]));
          double rounded = static_cast<double>(static_cast<float>(ex));
          double ulp = 0x1p-149;
          bool exact_mp = false;
          if (std::isfinite(ex) && ex != 0) {
            uint64_t bits;
            std::memcpy(&bits, &ex, 8);
            int e = static_cast<int>((bits >> 52) & 0x7FF) - 1023;
            if (e < -126) e = -126;
            if (e > 127) e = 127;
            const uint64_t ub = static_cast<uint64_t>(e - 23 + 1023) << 52;
            std::memcpy(&ulp, &ub, 8);
            const double frac = std::fabs(ex - rounded) / ulp;
            const double ax = std::fabs(ex);
            if (std::fabs(frac - 0.5) < 1e-6 || (ax > 0x1.fffffep127 && ax < 0x1.000002p128) || (ax < 0x1p-148 && ax > 0x1p-152))
              exact_mp = true;
          }
          if (exact_mp) {
            mpfr_set_d(a, static_cast<double>(x[i]), MPFR_RNDN);
            f.mp(y, a, MPFR_RNDN);
            rounded = round_fmt(y, 24, -126);
          }
          for (size_t k = 0; k < nf; ++k) {
            const double c = static_cast<double>(out[k][i]);
            bool cr;
            double e;
            double rel = 0;
            if (exact_mp) {
              if (std::isinf(c) || std::isnan(c) || std::isinf(rounded)) {
                e = err_of(mpfr_get_d(y, MPFR_RNDN), c, 24, -126, 127, rounded, &cr);
              } else {
                mpfr_set_d(d, c, MPFR_RNDN);
                mpfr_sub(d, d, y, MPFR_RNDN);
                long ee = mpfr_zero_p(y) ? -126 : static_cast<long>(mpfr_get_exp(y)) - 1;
                if (ee < -126) ee = -126;
                if (ee > 127) ee = 127;
                mpfr_mul_2si(d, d, -(ee - 23), MPFR_RNDN);
                e = std::fabs(mpfr_get_d(d, MPFR_RNDN));
                cr = c == rounded;
              }
            } else if (std::isfinite(ex) && ex != 0 && std::isfinite(c) && std::isfinite(rounded)) {
              e = std::fabs(c - ex) / ulp;  // the common case
              cr = c == rounded;
            } else {
              e = err_of(ex, c, 24, -126, 127, rounded, &cr);
            }
            if (std::isfinite(ex) && ex != 0 && std::isfinite(c)) rel = std::max(0.0, std::fabs(c - ex) - 0x1p-149) / std::fabs(ex);
            else if (e > 0) rel = e > 1 ? HUGE_VAL : 0;
            st[k].add(static_cast<double>(x[i]), c, e, cr, rel);
          }
        }
      }
#pragma omp critical
      for (size_t k = 0; k < nf; ++k) total[k].merge(st[k]);
      mpfr_clear(a);
      mpfr_clear(y);
      mpfr_clear(d);
    }
    for (size_t k = 0; k < nf; ++k) row(f, f.flavours[k], total[k], step == 1 ? "all 2^32 inputs" : "sampled");
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::fprintf(stderr, "%s: %.1f s\n", f.name.c_str(), secs);
  }
}

void double_table(long samples) {
  const std::vector<Function> fns = functions('d');
  mpfr_t a, y;
  mpfr_init2(a, 256);
  mpfr_init2(y, 256);
  std::mt19937_64 g(2024);
  for (const Function& f : fns) {
    if (!wanted(f.name)) continue;
    const ref::Range& df = f.sample;
    std::vector<double> x(static_cast<size_t>(samples));
    std::uniform_real_distribution<double> u(df.lo, df.hi);
    for (long i = 0; i < samples; ++i) {
      if (i % 4 == 0) {
        const uint64_t b = g();
        std::memcpy(&x[i], &b, 8);
      } else if (i % 4 == 3) {
        x[i] = std::uniform_real_distribution<double>(-1.0, 1.0)(g) * (df.log_uniform ? 0.01 : 1.0) + (df.log_uniform ? 1.0 : 0.0);
      } else {
        x[i] = df.log_uniform ? std::exp2(u(g)) : u(g);
      }
    }
    std::vector<Stats> st(f.flavours.size());
    std::vector<std::vector<double>> out(f.flavours.size(), std::vector<double>(x.size()));
    for (size_t k = 0; k < f.flavours.size(); ++k) f.flavours[k].d(static_cast<int32_t>(x.size()), x.data(), out[k].data());
    for (size_t i = 0; i < x.size(); ++i) {
      mpfr_set_d(a, x[i], MPFR_RNDN);
      f.mp(y, a, MPFR_RNDN);
      const double rounded = round_fmt(y, 53, -1022);
      for (size_t k = 0; k < f.flavours.size(); ++k) {
        const double c = out[k][i];
        bool cr;
        double e;
        if (std::isinf(c) || std::isnan(c) || std::isinf(rounded) || mpfr_nan_p(y) || mpfr_inf_p(y) || mpfr_zero_p(y)) {
          e = err_of(mpfr_get_d(y, MPFR_RNDN), c, 53, -1022, 1023, rounded, &cr);
        } else {
          mpfr_t d;
          mpfr_init2(d, 320);
          mpfr_set_d(d, c, MPFR_RNDN);
          mpfr_sub(d, d, y, MPFR_RNDN);
          long ee = static_cast<long>(mpfr_get_exp(y)) - 1;
          if (ee < -1022) ee = -1022;
          if (ee > 1023) ee = 1023;
          mpfr_mul_2si(d, d, -(ee - 52), MPFR_RNDN);
          e = std::fabs(mpfr_get_d(d, MPFR_RNDN));
          mpfr_clear(d);
          cr = c == rounded;
        }
        const double yd = mpfr_get_d(y, MPFR_RNDN);
        double rel = 0;
        if (std::isfinite(yd) && yd != 0 && std::isfinite(c)) rel = std::max(0.0, std::fabs(c - yd) - 0x1p-1074) / std::fabs(yd);
        else if (e > 0) rel = e > 1 ? HUGE_VAL : 0;
        st[k].add(x[i], c, e, cr, rel);
      }
    }
    char dom[64];
    std::snprintf(dom, sizeof dom, "%ld samples", samples);
    for (size_t k = 0; k < f.flavours.size(); ++k) row(f, f.flavours[k], st[k], dom);
  }
  mpfr_clear(a);
  mpfr_clear(y);
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t step = 1;
  long dsamples = 1 << 20;
  bool do_s = true, do_d = true;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--single-step") && i + 1 < argc) step = std::strtoull(argv[++i], nullptr, 10);
    else if (!std::strcmp(argv[i], "--double-samples") && i + 1 < argc) dsamples = std::strtol(argv[++i], nullptr, 10);
    else if (!std::strcmp(argv[i], "--single-only")) do_d = false;
    else if (!std::strcmp(argv[i], "--double-only")) do_s = false;
    else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) g_only = argv[++i];
    else {
      std::fprintf(stderr, "usage: %s [--single-step K] [--double-samples N] [--single-only | --double-only] [--only FUNCTION]\n", argv[0]);
      return 2;
    }
  }
  if (step == 0) step = 1;
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  mpfr_set_emin(mpfr_get_emin_min());
  mpfr_set_emax(mpfr_get_emax_max());
  std::printf("| function | slots | kernel | max ulp (worst input) | mean ulp | correctly rounded | correct bits | inputs |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  if (do_s) single_table(step);
  if (do_d) double_table(dsamples);
  return 0;
}
