// Double-precision exponential and logarithmic kernels on the SSE2 path.
#include "vector_math/kernels/exp_log/dexp.h"

using namespace qor::vm;
using namespace qor::vm::exp_log;

#define QOR_D_KERNEL(name, Family) \
  extern "C" QOR_API void qor_fnx_kernel_##name(int32_t n, const double* a, double* r) { run_v1<Family>(n, a, r); }

QOR_D_KERNEL(dExp_W7HAynn, DExpHA)
QOR_D_KERNEL(dExp_W7LAynn, DExpLA)
QOR_D_KERNEL(dExp_W7EPnnn, DExpEP)
QOR_D_KERNEL(dExp2_W7HAynn, DExp2HA)
QOR_D_KERNEL(dExp10_W7HAynn, DExp10HA)

#include "vector_math/kernels/exp_log/dlog.h"

QOR_D_KERNEL(dLn_W7HAynn, DLnHA)
QOR_D_KERNEL(dLn_W7EPnnn, DLnEP)
QOR_D_KERNEL(dLog2_W7HAynn, DLog2HA)
QOR_D_KERNEL(dLog2_W7LAynn, DLog2LA)
QOR_D_KERNEL(dLog2_W7EPnnn, DLog2EP)
QOR_D_KERNEL(dLog10_W7HAynn, DLog10HA)
QOR_D_KERNEL(dLogb_W7HAynn, DLogb)
