// Reciprocal and root kernels on the SSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/roots/sqrt.h"

using namespace qor::vm::roots;

QOR_FNX_KERNEL(sSqrt, T7HAynn, SSqrt)
