// Double-precision trigonometric kernels on the SSE2 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/sin.h"

using namespace qor::vm::trig;

QOR_FNX_KERNEL(dTan, W7HAynn, DTan<DAcc::HA>)
QOR_FNX_KERNEL(dTan, W7LAynn, DTan<DAcc::LA>)
QOR_FNX_KERNEL(dTan, W7EPnnn, DTan<DAcc::EP>)
QOR_FNX_KERNEL(dSinCos, W7LAynn, DSinCos<DAcc::LA>)

#include "vector_math/kernels/trig/atan.h"
QOR_FNX_KERNEL(dAtan, W7HAynn, DAtan<false>)
QOR_FNX_KERNEL(dAtanpi, W7HAynn, DAtan<true>)
QOR_FNX_KERNEL(dAtanpi, W7LAynn, DAtan<true>)
QOR_FNX_KERNEL(dAtanpi, W7EPnnn, DAtan<true>)
