// Rounding kernels on the SSE2 path: Ceil, Floor, Trunc, Round, NearbyInt, Rint, Modf, Abs,
// CopySign, single and double precision. Each serves all three accuracy slots.
#include "vector_math/kernels/rounding/rounding.h"

using namespace qor::vm;

#define QOR_V1(t, T, Func, Family)                                                    \
  extern "C" QOR_API void qor_fnx_kernel_##t##Func##_W7HAynn(int32_t n, const T* a, T* r) { \
    run_v1<Named<Family<T>, "v" #t #Func>>(n, a, r);                                  \
  }
#define QOR_BOTH(Func, Family) QOR_V1(s, float, Func, Family) QOR_V1(d, double, Func, Family)

QOR_BOTH(Ceil, Ceil)
QOR_BOTH(Floor, Floor)
QOR_BOTH(Trunc, Trunc)
QOR_BOTH(Round, Round)
QOR_BOTH(Rint, Rint)
QOR_BOTH(NearbyInt, Rint)  // identical to Rint, inexact flag included
QOR_BOTH(Abs, Abs)

extern "C" QOR_API void qor_fnx_kernel_sModf_W7HAynn(int32_t n, const float* a, float* r1, float* r2) {
  run_v1r2<Named<Modf<float>, "vsModf">>(n, a, r1, r2);
}
extern "C" QOR_API void qor_fnx_kernel_dModf_W7HAynn(int32_t n, const double* a, double* r1, double* r2) {
  run_v1r2<Named<Modf<double>, "vdModf">>(n, a, r1, r2);
}
extern "C" QOR_API void qor_fnx_kernel_sCopySign_W7HAynn(int32_t n, const float* a, const float* b, float* r) {
  run_v2<Named<Binary<float, Op::CopySign>, "vsCopySign">>(n, a, b, r);
}
extern "C" QOR_API void qor_fnx_kernel_dCopySign_W7HAynn(int32_t n, const double* a, const double* b, double* r) {
  run_v2<Named<Binary<double, Op::CopySign>, "vdCopySign">>(n, a, b, r);
}
