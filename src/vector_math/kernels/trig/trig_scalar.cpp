// The per-element routines of the sine family (scalar.h) and the exported one-element routines
// qor_fnx_kernel_{s,d}{Sin,Cos,Tan,SinCos}_SC and _SC_A11 (qor/vm_trig.h).
#include <cmath>
#include <cstdint>

#include "qor/vm.h"
#include "qor/vm_trig.h"
#include "vector_math/frame/kernel_frame.h"
#include "vector_math/kernels/trig/dd.h"
#include "vector_math/kernels/trig/reduce.h"
#include "vector_math/kernels/trig/scalar.h"
#include "vector_math/kernels/trig/trig_tables.h"

namespace qor::vm::trig {
namespace {

constexpr double kInvPio32 = 0x1.45f306dc9c883p+3;  // 10.185916357881302
constexpr double kShifter = 0x1.8p52;
constexpr double kP1 = 0x1.921fb54400000p-4;  // 0.09817477042088285
constexpr double kP2 = 0x1.0b4611a600000p-38; // 3.798187816439979e-12
constexpr double kP3 = 0x1.3198a2e037073p-73; // 1.2639164054974691e-22
constexpr double kS[4] = {-0x1.5555555555555p-3, 0x1.1111111111111p-7, -0x1.a01a01a01a01ap-13,
                          0x1.71de3a556c734p-19};  // -1/6, 1/120, -1/5040, 1/362880
constexpr double kC[4] = {-0.5, 0x1.5555555555555p-5, -0x1.6c16c16c16c17p-10,
                          0x1.a01a01a01a01ap-16};  // -1/2, 1/24, -1/720, 1/40320

// sin(a_idx + r + rc) as hi + lo, a_idx the angle of entry idx of the 128-entry table, sp and cp the
// polynomials at r; the correction rc (which holds the reduction's low part, up to a few ulps of r)
// enters with the slope C_idx.
void combine(int idx, double r, double rc, double sp, double cp, double* hi, double* lo) {
  const double* e = kDSinHA.e[idx];
  const double cm = e[0], shi = e[1], slo = e[2], cc = e[3];
  const double small = slo + ((cc + cm) * rc + (shi * cp + (cc * sp + cm * (r + sp))));
  double s, t;
  fast_two_sum(shi, cc * r, s, t);
  fast_two_sum(s, t + small, *hi, *lo);
}

}  // namespace

void _dSinCosDD(double x, double* sh, double* sl, double* ch, double* cl) {
  const uint32_t e = static_cast<uint32_t>(bits_of(x) >> 52) & 0x7FF;
  double r = x, rlo = 0;
  int32_t q = 0;
  if (e >= 1040) {
    const Reduced red = reduce_pio2(x);
    r = red.hi;
    rlo = red.lo;
    q = red.q;
  }
  const double t = r * kInvPio32 + kShifter;
  const int32_t n = static_cast<int32_t>(static_cast<uint32_t>(bits_of(t)));
  const double k = t - kShifter;
  const double a = r - k * kP1;  // exact
  double rh, e1;
  two_diff(a, k * kP2, rh, e1);
  const double c3 = k * kP3;
  const double rr = rh - c3;
  const double e2 = (rh - rr) - c3;
  const double rc = (e1 + e2) + rlo;
  const double r2 = rr * rr;
  const double sp = rr * r2 * (kS[0] + r2 * (kS[1] + r2 * (kS[2] + r2 * kS[3])));
  const double cp = r2 * (kC[0] + r2 * (kC[1] + r2 * (kC[2] + r2 * kC[3])));
  const int j = (q * 16 + n) & 63;
  combine(2 * j, rr, rc, sp, cp, sh, sl);
  combine(2 * ((j + 16) & 63), rr, rc, sp, cp, ch, cl);
}

namespace {
// x itself with the inexact flag: (2^55 x - x) 2^-55.
double tiny_self(double x) {
  double big = 0x1p55 * x;
  simd::barrier(big);
  double d = big - x;
  simd::barrier(d);
  return d * 0x1p-55;
}
bool tiny(double x) { return ((bits_of(x) >> 52) & 0x7FF) < 771; }  // |x| < 2^-252
}  // namespace

double _dSin(double x) {
  if (tiny(x)) return x == 0 ? x : tiny_self(x);
  double sh, sl, ch, cl;
  _dSinCosDD(x, &sh, &sl, &ch, &cl);
  return sh + sl;
}
double _dCos(double x) {
  double sh, sl, ch, cl;
  _dSinCosDD(x, &sh, &sl, &ch, &cl);
  return ch + cl;
}
void _dSinCos(double x, double* s, double* c) {
  double sh, sl, ch, cl;
  _dSinCosDD(x, &sh, &sl, &ch, &cl);
  *s = tiny(x) ? (x == 0 ? x : tiny_self(x)) : sh + sl;
  *c = ch + cl;
}
// tan = (sh + sl) / (ch + cl): q = sh / ch, then q + (sh - q ch + sl - q cl) / ch with q ch exact.
double _dTan(double x) {
  if (tiny(x)) return x == 0 ? x : tiny_self(x);
  double sh, sl, ch, cl;
  _dSinCosDD(x, &sh, &sl, &ch, &cl);
  const double q = sh / ch;
  double p, pe;
  two_prod(q, ch, p, pe);
  return q + (((sh - p) - pe) + (sl - q * cl)) / ch;
}

namespace {
// +-inf: NaN raising invalid, status 1; NaN: quiet, no report. Returns true when x was special.
bool special(double x, double* r, int* status) {
  if (std::isnan(x)) {
    *r = x * x;
    *status = kOk;
    return true;
  }
  if (std::isinf(x)) {
    *r = mul_rt(x, 0.0);
    *status = kErrDom;
    return true;
  }
  return false;
}
}  // namespace

int dsin_element(const double* x, double* r) {
  int st;
  if (special(*x, r, &st)) return st;
  *r = _dSin(*x);
  return kOk;
}
int dcos_element(const double* x, double* r) {
  int st;
  if (special(*x, r, &st)) return st;
  *r = _dCos(*x);
  return kOk;
}
int dtan_element(const double* x, double* r) {
  int st;
  if (special(*x, r, &st)) return st;
  *r = _dTan(*x);
  return kOk;
}
int dsincos_element(const double* x, double* s, double* c) {
  int st;
  if (special(*x, s, &st)) {
    *c = *s;
    return st;
  }
  _dSinCos(*x, s, c);
  return kOk;
}

// Single precision: the double routine on the widened argument, rounded once. A subnormal float
// is an ordinary double, and sin x = x rounds to x for every |x| < 2^-12.
template <int (*F)(const double*, double*)>
int via_double(const float* x, float* r) {
  const double xd = *x;
  double rd;
  const int st = F(&xd, &rd);
  *r = static_cast<float>(rd);
  return st;
}
int ssin_element(const float* x, float* r) { return via_double<dsin_element>(x, r); }
int scos_element(const float* x, float* r) { return via_double<dcos_element>(x, r); }
int stan_element(const float* x, float* r) { return via_double<dtan_element>(x, r); }
int ssincos_element(const float* x, float* s, float* c) {
  const double xd = *x;
  double sd, cd;
  const int st = dsincos_element(&xd, &sd, &cd);
  *s = static_cast<float>(sd);
  *c = static_cast<float>(cd);
  return st;
}

}  // namespace qor::vm::trig

// ---- the exported one-element routines ---------------------------------------------------------
// They run under the kernel frame's floating-point environment (the mode's denormal handling, round
// to nearest) and report a bad element with the given name ("{t}{Func}_HA" when none is given) or,
// for _SC_A11, with "{t}{Func}_A11".
namespace {
using namespace qor::vm;

template <class T, int (*F)(const T*, T*)>
void one(int32_t index, const T* a, T* r, const char* name) {
  FpEnvGuard env([](uint32_t mode, uint32_t) { return mxcsr_control_for_mode(mode); });
  const T x = a[index];
  const int st = F(&x, r + index);
  if (st != kOk) report_error(static_cast<T*>(nullptr), st, index, a, a, r, r, name);
}
template <class T, int (*F)(const T*, T*, T*)>
void one2(int32_t index, const T* a, T* r1, T* r2, const char* name) {
  FpEnvGuard env([](uint32_t mode, uint32_t) { return mxcsr_control_for_mode(mode); });
  const T x = a[index];
  const int st = F(&x, r1 + index, r2 + index);
  if (st != kOk) report_error(static_cast<T*>(nullptr), st, index, a, a, r1, r2, name);
}
}  // namespace

#define QOR_TRIG_SC(t, T, F, f)                                                                      \
  extern "C" QOR_API void qor_fnx_kernel_##t##F##_SC(int32_t index, const T* a, T* r, const char* name) { \
    one<T, qor::vm::trig::t##f##_element>(index, a, r, name ? name : #t #F "_HA");                  \
  }                                                                                                 \
  extern "C" QOR_API void qor_fnx_kernel_##t##F##_SC_A11(int32_t index, const T* a, T* r) {         \
    one<T, qor::vm::trig::t##f##_element>(index, a, r, #t #F "_A11");                               \
  }
QOR_TRIG_SC(d, double, Sin, sin)
QOR_TRIG_SC(d, double, Cos, cos)
QOR_TRIG_SC(d, double, Tan, tan)
QOR_TRIG_SC(s, float, Sin, sin)
QOR_TRIG_SC(s, float, Cos, cos)
QOR_TRIG_SC(s, float, Tan, tan)
#undef QOR_TRIG_SC

#define QOR_TRIG_SC2(t, T)                                                                                   \
  extern "C" QOR_API void qor_fnx_kernel_##t##SinCos_SC(int32_t index, const T* a, T* r1, T* r2, const char* name) { \
    one2<T, qor::vm::trig::t##sincos_element>(index, a, r1, r2, name ? name : #t "SinCos_HA");              \
  }                                                                                                          \
  extern "C" QOR_API void qor_fnx_kernel_##t##SinCos_SC_A11(int32_t index, const T* a, T* r1, T* r2) {      \
    one2<T, qor::vm::trig::t##sincos_element>(index, a, r1, r2, #t "SinCos_A11");                           \
  }
QOR_TRIG_SC2(d, double)
QOR_TRIG_SC2(s, float)
#undef QOR_TRIG_SC2
