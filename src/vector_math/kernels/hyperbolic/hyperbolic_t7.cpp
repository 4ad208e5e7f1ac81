// Hyperbolic kernels on the SSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/hyperbolic/acosh.h"
#include "vector_math/kernels/hyperbolic/asinh.h"
#include "vector_math/kernels/hyperbolic/single_plain.h"
#include "vector_math/kernels/hyperbolic/tanh.h"

using namespace qor::vm::hyperbolic;

QOR_FNX_KERNEL(sAcosh, T7HAynn, SAcoshPlain)
QOR_FNX_KERNEL(sAsinh, T7HAynn, SAsinhPlain)
QOR_FNX_KERNEL(dTanh, T7HAynn, DTanh)
