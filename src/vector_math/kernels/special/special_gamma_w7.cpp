// Single-precision LGamma, TGamma and ExpInt1 on the SSE2 path (one kernel in every slot; see
// gamma_packed.h).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/gamma_packed.h"

using namespace qor::vm::special;

QOR_FNX_KERNEL(sLGamma, W7HAynn, SLGammaPacked)
QOR_FNX_KERNEL(sTGamma, W7HAynn, STGammaPacked)
QOR_FNX_KERNEL(sExpInt1, W7HAynn, SExpInt1Packed)
