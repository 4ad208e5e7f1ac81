// The shared piece of every distribution generator that transforms uniforms with our vector
// kernels. A generator is a short transform over a block:
//
//   return dist::generate(stream, n, r, dist::Draw<T>{}, dist::ln_callback<T, Exponential>,
//                            [=](T* u, int32_t m, T* out) {
//                              dist::Ln(m, u);                       // kernel, in place
//                              for (int32_t i = 0; i < m; ++i) out[i] = ...u[i]...;
//                            });
//
// generate() sets up the frame (Frame below), then per block of at most Block results
// draws PerResult * m uniforms on [lo, hi) (the Draw) into a stack array through the
// stream's registry row (the uniform generator, method 0), hands them to the transform with the
// block's output, and stops at the first failing draw. The frame is undone before the status
// (0 or the draw's negative status) is returned.
//
// The frame: the x87 control word and MXCSR get all six exception masks (each only when one is
// missing), the vector-math mode is set to 0x1000 (errors go to the callback only) with the
// generator's own error callback installed (or nothing installed when the callback is null),
// every kernel call runs under mode 0x140000 (denormals kept) restored right after it, and the
// exit restores the callback, the mode, MXCSR and the x87 control word (what was changed), in
// the reverse order of setting them. Kernels run through the function tables: the EP slot for
// double precision, the LA slot for single precision, always on whole blocks.
#pragma once

#include <xmmintrin.h>

#include <algorithm>
#include <cstdint>

#include "qor/rng.h"
#include "qor/vm.h"
#include "random/core/stream.h"
#include "random/distributions/vm_bridge.h"

namespace qor::rng::dist {

class Frame {
 public:
  explicit Frame(FnxErrorCallBack callback) {
    uint16_t cw;
    asm volatile("fnstcw %0" : "=m"(cw));
    if ((cw & 0x3F) != 0x3F) {
      x87_saved_ = cw;
      x87_changed_ = true;
      const uint16_t masked = static_cast<uint16_t>(cw | 0x3F);
      asm volatile("fldcw %0" : : "m"(masked));
    }
    mxcsr_saved_ = _mm_getcsr();
    if ((mxcsr_saved_ & 0x1F80u) != 0x1F80u) {
      mxcsr_changed_ = true;
      _mm_setcsr(mxcsr_saved_ | 0x1F80u);
    }
    asm volatile("" ::: "memory");
    if (callback) {
      installed_ = true;
      mode_saved_ = qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_CALLBACK);
      callback_saved_ = qor_fnx_kernel_SetErrorCallBack(callback);
    }
  }
  ~Frame() {
    asm volatile("" ::: "memory");
    if (installed_) {
      qor_fnx_kernel_SetErrorCallBack(callback_saved_);
      qor_fnx_kernel_SetMode(mode_saved_);
    }
    if (mxcsr_changed_) _mm_setcsr(mxcsr_saved_ | (_mm_getcsr() & 0x3Fu));  // flags raised stay
    if (x87_changed_) asm volatile("fldcw %0" : : "m"(x87_saved_));
  }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

 private:
  bool installed_ = false;
  uint32_t mode_saved_ = 0;
  FnxErrorCallBack callback_saved_ = nullptr;
  uint16_t x87_saved_ = 0;
  bool x87_changed_ = false;
  uint32_t mxcsr_saved_ = 0;
  bool mxcsr_changed_ = false;
};

// Slot of the function tables a distribution of precision T uses.
template <class T>
constexpr int kSlot = sizeof(T) == sizeof(double) ? 2 : 0;

// A kernel on a whole block in place, under mode 0x140000: `dist::Name(m, x)` for T = double or
// float. One line per kernel a distribution uses.
#define QOR_DIST_KERNEL(Name)                                                                            \
  inline void Name(int32_t m, double* x) {                                                              \
    ::qor::vm_bridge::run(QOR_FNX_DENORMAL_KEEP, qor_fnx_kernel_d##Name##_ttab[kSlot<double>], m, x, x); \
  }                                                                                                     \
  inline void Name(int32_t m, float* x) {                                                               \
    ::qor::vm_bridge::run(QOR_FNX_DENORMAL_KEEP, qor_fnx_kernel_s##Name##_ttab[kSlot<float>], m, x, x);  \
  }
QOR_DIST_KERNEL(Ln)
QOR_DIST_KERNEL(Exp)
QOR_DIST_KERNEL(Sqrt)
QOR_DIST_KERNEL(Sin)
QOR_DIST_KERNEL(Tan)
QOR_DIST_KERNEL(ErfInv)
#undef QOR_DIST_KERNEL

// sin and cos of a block (x is left as it was), and x^b in place.
inline void SinCos(int32_t m, const double* x, double* s, double* c) {
  const uint32_t saved = qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_KEEP);
  qor_fnx_kernel_dSinCos_ttab[kSlot<double>](m, x, s, c);
  qor_fnx_kernel_SetMode(saved);
}
inline void SinCos(int32_t m, const float* x, float* s, float* c) {
  const uint32_t saved = qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_KEEP);
  qor_fnx_kernel_sSinCos_ttab[kSlot<float>](m, x, s, c);
  qor_fnx_kernel_SetMode(saved);
}
inline void Powx(int32_t m, double* x, double b) {
  const uint32_t saved = qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_KEEP);
  qor_fnx_kernel_dPowx_ttab[kSlot<double>](m, x, b, x);
  qor_fnx_kernel_SetMode(saved);
}
inline void Powx(int32_t m, float* x, float b) {
  const uint32_t saved = qor_fnx_kernel_SetMode(QOR_FNX_DENORMAL_KEEP);
  qor_fnx_kernel_sPowx_ttab[kSlot<float>](m, x, b, x);
  qor_fnx_kernel_SetMode(saved);
}

// What a generator draws: `PerResult` uniforms on [lo, hi) for each result, at most `Block`
// results per block (the uniforms live in a stack array of PerResult * Block).
template <class T, int32_t PerResult = 1, int32_t Block = 1024>
struct Draw {
  T lo = 0, hi = 1;
};

inline int32_t uniforms(HoxStream stream, int32_t m, double* u, double lo, double hi) {
  return _hoxdRngUniform(0, stream, m, u, lo, hi);
}
inline int32_t uniforms(HoxStream stream, int32_t m, float* u, float lo, float hi) {
  return _hoxsRngUniform(0, stream, m, u, lo, hi);
}

// The frame around blocks of uniforms handed to `transform(u, m, out)`: u holds PerResult * m
// uniforms, out is r advanced to the block's first result.
template <class T, int32_t PerResult, int32_t Block, class Transform>
int32_t generate(HoxStream stream, int32_t n, T* r, Draw<T, PerResult, Block> draw, FnxErrorCallBack callback,
                 Transform transform) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  const Frame frame(callback);
  alignas(16) T u[PerResult * Block];
  for (int32_t done = 0; done < n;) {
    const int32_t m = std::min(Block, n - done);
    const int32_t status = uniforms(stream, PerResult * m, u, draw.lo, draw.hi);
    if (status < 0) return status;
    transform(u, m, r + done);
    done += m;
  }
  return 0;
}

// The ln(0) error callbacks: the result becomes the logarithm of the smallest positive value
// of the precision (-744.44... in double, -103.27893 in single) instead of -infinity. One copy
// per generator (instantiate with the generator's own tag type).
template <class T, class Generator>
int ln_callback(FnxErrorContext* c) {
  const double v = sizeof(T) == sizeof(double) ? -744.4400719213812 : -103.2789306640625;
  c->res1 = v;
  c->res2 = v;
  return 0;
}

// The Gaussian generators' error callback: ln 0 (singularity with argument 0) gives the
// logarithm of the smallest positive value; erfinv(-1) and erfinv(1) (singularities, or domain
// errors, by the sign of the argument) give -/+5.8635847487551676 in double (-/+3.832507 in
// single), the inverse error function of the uniform nearest to the end of the interval; other
// codes leave the result. The kernels run in place and store an element's result before they
// report it, so arg1 holds the result (-inf for both ln 0 and erfinv(-1)), not the argument:
// a report of a logarithm kernel (the name ends in "Ln") is taken as ln 0 whatever arg1 says,
// and the sign of arg1 decides the others.
template <class T>
int gauss_callback(FnxErrorContext* c) {
  const bool d = sizeof(T) == sizeof(double);
  const double lmin = d ? -744.4400719213812 : -103.2789306640625;
  const double edge = d ? 5.8635847487551676 : double(3.832507f);
  const bool sing = c->code == QOR_FNX_STATUS_SING, dom = c->code == QOR_FNX_STATUS_ERRDOM;
  const int32_t len = c->funcNameLen;
  const bool ln = len >= 2 && len <= 63 && c->funcName[len - 2] == 'L' && c->funcName[len - 1] == 'n';
  if (sing && (c->arg1 == 0.0 || ln))
    c->res1 = lmin;
  else if ((sing || dom) && c->arg1 < 0.0)
    c->res1 = -edge;
  else if ((sing && c->arg1 > 0.0) || (dom && c->arg1 >= 0.0))
    c->res1 = edge;
  return 0;
}

}  // namespace qor::rng::dist
