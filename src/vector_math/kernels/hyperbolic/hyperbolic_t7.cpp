// Hyperbolic kernels on the SSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/hyperbolic/acosh.h"
#include "vector_math/kernels/hyperbolic/asinh.h"
#include "vector_math/kernels/hyperbolic/tanh.h"

using namespace qor::vm::hyperbolic;

QOR_FNX_KERNEL(sAcosh, T7HAynn, SAcosh)
QOR_FNX_KERNEL(sAsinh, T7HAynn, SAsinh)
QOR_FNX_KERNEL(dTanh, T7HAynn, DTanh)
