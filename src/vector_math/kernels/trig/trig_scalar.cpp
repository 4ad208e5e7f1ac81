// The per-element routines of the sine family (scalar.h) and the exported one-element routines
// qor_fnx_kernel_{s,d}{Sin,Cos,Tan,SinCos}_SC and _SC_A11 (qor/vm_trig.h).
#include <cmath>
#include <cstdint>

#include "qor/vm.h"
#include "qor/vm_trig.h"
#include "vector_math/frame/kernel_frame.h"
#include "vector_math/kernels/trig/dd.h"
#include "vector_math/kernels/trig/dsin_medium.h"
#include "vector_math/kernels/trig/reduce.h"
#include "vector_math/kernels/trig/scalar.h"
#include "vector_math/kernels/trig/trig_tables.h"

namespace qor::vm::trig {

void _dSinCosDD(double x, double* sh, double* sl, double* ch, double* cl) {
  const uint32_t e = static_cast<uint32_t>(bits_of(x) >> 52) & 0x7FF;
  f64x2 r, rlo;
  __m128i q;
  if (e >= 1053) {  // |x| >= 2^30: the 4/pi chunk table
    const Reduced red = reduce_pio2(x);
    r = f64x2::splat(red.hi);
    rlo = f64x2::splat(red.lo);
    q = _mm_set1_epi32(red.q);
  } else {
    dsin_first_step(f64x2::splat(x), r, rlo, q);
  }
  f64x2 a, b, c, d;
  dsin_second_step<true, true>(r, rlo, q, &a, &b, &c, &d);
  *sh = lane0(a);
  *sl = lane0(b);
  *ch = lane0(c);
  *cl = lane0(d);
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
// tan = (sh + sl) / (ch + cl) (tan_of_dd).
double _dTan(double x) {
  if (tiny(x)) return x == 0 ? x : tiny_self(x);
  double sh, sl, ch, cl;
  _dSinCosDD(x, &sh, &sl, &ch, &cl);
  return tan_of_dd(sh, sl, ch, cl);
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
