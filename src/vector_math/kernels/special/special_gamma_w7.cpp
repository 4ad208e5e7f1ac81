// Single-precision LGamma, TGamma and ExpInt1 (one kernel in every slot; LGamma's EP slot has a
// shorter one) and the EP kernels of
// double-precision LGamma and TGamma on the SSE2 path (see gamma_packed.h).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/gamma_packed.h"
#include "vector_math/kernels/special/expint_packed.h"

using namespace qor::vm::special;

QOR_FNX_KERNEL(sLGamma, W7HAynn, SLGammaPacked)
QOR_FNX_KERNEL(sLGamma, W7EPnnn, SLGammaPackedEP)
QOR_FNX_KERNEL(sTGamma, W7HAynn, STGammaPacked)
QOR_FNX_KERNEL(sExpInt1, W7HAynn, SExpInt1Packed)
QOR_FNX_KERNEL(dLGamma, W7EPnnn, DLGammaPackedEP)
QOR_FNX_KERNEL(dTGamma, W7EPnnn, DTGammaPackedEP)
// double-precision ExpInt1, every slot packed (expint_packed.h)
QOR_FNX_KERNEL(dExpInt1, W7HAynn, DExpInt1Packed<kE1HA>)
QOR_FNX_KERNEL(dExpInt1, W7LAynn, DExpInt1Packed<kE1LA>)
QOR_FNX_KERNEL(dExpInt1, W7EPnnn, DExpInt1Packed<kE1EP>)
