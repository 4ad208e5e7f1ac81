// Double-precision trigonometric kernels on the SSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/sin.h"

using namespace qor::vm::trig;

QOR_FNX_KERNEL(dSin, T7HAynn, DSin<DAcc::HA>)
QOR_FNX_KERNEL(dCos, T7HAynn, DCos<DAcc::HA>)
QOR_FNX_KERNEL(dSinCos, T7HAynn, DSinCos<DAcc::HA>)
