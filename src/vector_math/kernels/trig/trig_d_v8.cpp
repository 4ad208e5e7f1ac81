// Double-precision trigonometric kernels on the SSSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/sin.h"

using namespace qor::vm::trig;

QOR_FNX_KERNEL(dSin, V8LAynn, DSin<DAcc::LA>)
QOR_FNX_KERNEL(dSin, V8EPnnn, DSin<DAcc::EP>)
QOR_FNX_KERNEL(dCos, V8LAynn, DCos<DAcc::LA>)
QOR_FNX_KERNEL(dCos, V8EPnnn, DCos<DAcc::EP>)
QOR_FNX_KERNEL(dSinCos, V8EPnnn, DSinCos<DAcc::EP>)

#include "vector_math/kernels/trig/atan.h"
QOR_FNX_KERNEL(dAtan, V8EPnnn, DAtan<false>)
