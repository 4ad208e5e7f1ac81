// Double-precision LGamma and TGamma, HA and LA slots (one kernel each), on the SSE2 path: the
// double-double formulas of gamma_dd.h.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/gamma_dd.h"

using namespace qor::vm::special;

QOR_FNX_KERNEL(dLGamma, W7HAynn, DLGammaDD)
QOR_FNX_KERNEL(dTGamma, W7HAynn, DTGammaDD)
