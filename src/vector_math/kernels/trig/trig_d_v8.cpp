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
QOR_FNX_KERNEL(dAtan, V8EPnnn, DAtan<false, true>)

#include "vector_math/kernels/trig/asin.h"
#include "vector_math/kernels/trig/atan2.h"
namespace {
struct V8;  // keeps the instantiations shared with other code paths private to this one
}
QOR_FNX_KERNEL(dAsin, V8LAynn, DAsinAcos<InvKind::Asin, false, void, false>)
QOR_FNX_KERNEL(dAsin, V8HAynn, DAsinAcos<InvKind::Asin, false>)
QOR_FNX_KERNEL(dAsin, V8EPnnn, DAsinAcos<InvKind::Asin, false, void, false>)
QOR_FNX_KERNEL(dAcos, V8LAynn, DAsinAcos<InvKind::Acos, false, void, false>)
QOR_FNX_KERNEL(dAcos, V8HAynn, DAsinAcos<InvKind::Acos, false>)
QOR_FNX_KERNEL(dAcos, V8EPnnn, DAsinAcos<InvKind::Acos, false, void, false>)
QOR_FNX_KERNEL(dAtan2, V8EPnnn, DAtan2<false, V8>)
