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

#include "vector_math/kernels/trig/atan2.h"
namespace {
struct W7;  // keeps the instantiations shared with other code paths private to this one
}
QOR_FNX_KERNEL(dAtan2, W7LAynn, DAtan2<false, W7>)
QOR_FNX_KERNEL(dAtan2, W7HAynn, DAtan2<false, W7>)
QOR_FNX_KERNEL(dAtan2pi, W7LAynn, DAtan2<true>)
QOR_FNX_KERNEL(dAtan2pi, W7HAynn, DAtan2<true>)
QOR_FNX_KERNEL(dAtan2pi, W7EPnnn, DAtan2<true>)
QOR_FNX_KERNEL(sAtan2pi, W7LAynn, SAtan2<true>)
QOR_FNX_KERNEL(sAtan2pi, W7HAynn, SAtan2<true>)
QOR_FNX_KERNEL(sAtan2pi, W7EPnnn, SAtan2<true>)
