// Hyperbolic kernels on the SSSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/tanh.h"

using namespace qor::vm::hyperbolic;

QOR_FNX_KERNEL(sCosh, V8LAynn, SCosh)
QOR_FNX_KERNEL(sCosh, V8EPnnn, SCosh)
QOR_FNX_KERNEL(sSinh, V8LAynn, SSinh)
QOR_FNX_KERNEL(sSinh, V8HAynn, SSinh)
QOR_FNX_KERNEL(sSinh, V8EPnnn, SSinh)
QOR_FNX_KERNEL(sTanh, V8LAynn, STanh)
QOR_FNX_KERNEL(sTanh, V8HAynn, STanh)
QOR_FNX_KERNEL(dCosh, V8LAynn, DCosh)
