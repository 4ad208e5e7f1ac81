// Rounding and arithmetic kernels on the SSSE3 path: Frac, Sqr, Add, Sub, Mul, single and
// double precision. Each serves all three accuracy slots.
#include "vector_math/kernels/rounding/rounding.h"

using namespace qor::vm;

#define QOR_V1(t, T, Func, Family)                                                    \
  extern "C" QOR_API void qor_fnx_kernel_##t##Func##_V8HAynn(int32_t n, const T* a, T* r) { \
    run_v1<Named<Family<T>, "v" #t #Func>>(n, a, r);                                  \
  }
#define QOR_V2(t, T, Func, kOp)                                                                    \
  extern "C" QOR_API void qor_fnx_kernel_##t##Func##_V8HAynn(int32_t n, const T* a, const T* b, T* r) { \
    run_v2<Named<Binary<T, kOp>, "v" #t #Func>>(n, a, b, r);                                        \
  }

QOR_V1(s, float, Frac, Frac)
QOR_V1(d, double, Frac, Frac)
QOR_V1(s, float, Sqr, Sqr)
QOR_V1(d, double, Sqr, Sqr)
QOR_V2(s, float, Add, Op::Add)
QOR_V2(d, double, Add, Op::Add)
QOR_V2(s, float, Sub, Op::Sub)
QOR_V2(d, double, Sub, Op::Sub)
QOR_V2(s, float, Mul, Op::Mul)
QOR_V2(d, double, Mul, Op::Mul)
