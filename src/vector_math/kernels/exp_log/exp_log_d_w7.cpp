// Double-precision exponential and logarithmic kernels on the SSE2 path.
#include "vector_math/kernels/exp_log/dexp.h"

using namespace qor::vm;
using namespace qor::vm::exp_log;

#define QOR_D_KERNEL(name, Family) \
  extern "C" QOR_API void qor_fnx_kernel_##name(int32_t n, const double* a, double* r) { run_v1<Family>(n, a, r); }

QOR_D_KERNEL(dExp_W7HAynn, DExpHA)
QOR_D_KERNEL(dExp_W7LAynn, DExpHA)
QOR_D_KERNEL(dExp_W7EPnnn, DExpEP)
QOR_D_KERNEL(dExp2_W7HAynn, DExp2HA)
QOR_D_KERNEL(dExp10_W7HAynn, DExp10HA)
