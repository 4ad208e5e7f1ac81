// Double-precision gamma-function kernels on the portable path: scalar
// evaluations in extended precision, lane by lane (single precision: special_gamma_w7.cpp).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/gamma.h"

using namespace qor::vm::special;

QOR_FNX_KERNEL(dLGamma, PXHAynn, LGamma<double>)
QOR_FNX_KERNEL(dTGamma, PXHAynn, TGamma<double>)
