// Double-precision exponential-integral kernel on the portable path: scalar evaluations in
// extended precision, lane by lane (the gamma functions: special_gamma_w7.cpp, special_gamma_dd_w7.cpp).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/expint.h"
#include "vector_math/kernels/special/gamma.h"

using namespace qor::vm::special;

QOR_FNX_KERNEL(dExpInt1, PXHAynn, DExpInt1)
