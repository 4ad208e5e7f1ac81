// Gamma-function and exponential-integral kernels on the portable path (single and double
// precision): scalar evaluations in extended precision, lane by lane.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/expint.h"
#include "vector_math/kernels/special/gamma.h"

using namespace qor::vm::special;

QOR_FNX_KERNEL(sLGamma, PXHAynn, LGamma<float>)
QOR_FNX_KERNEL(dLGamma, PXHAynn, LGamma<double>)
QOR_FNX_KERNEL(sTGamma, PXHAynn, TGamma<float>)
QOR_FNX_KERNEL(dTGamma, PXHAynn, TGamma<double>)
QOR_FNX_KERNEL(sExpInt1, PXHAynn, SExpInt1)
QOR_FNX_KERNEL(dExpInt1, PXHAynn, DExpInt1)
