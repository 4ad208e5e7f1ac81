// Single-precision trigonometric kernels on the SSE2 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/sin.h"

using namespace qor::vm::trig;

QOR_FNX_KERNEL(sSin, W7HAynn, SSinHA)
QOR_FNX_KERNEL(sSin, W7LAynn, SSinPlain<true>)
QOR_FNX_KERNEL(sSin, W7EPnnn, SSinPlain<false>)
QOR_FNX_KERNEL(sCos, W7HAynn, SCosHA)
QOR_FNX_KERNEL(sCos, W7LAynn, SCosPlain<true>)
QOR_FNX_KERNEL(sCos, W7EPnnn, SCosPlain<false>)
QOR_FNX_KERNEL(sTan, W7HAynn, STan<DAcc::LA>)
QOR_FNX_KERNEL(sTan, W7LAynn, STan<DAcc::EP>)
QOR_FNX_KERNEL(sTan, W7EPnnn, STan<DAcc::EP>)
QOR_FNX_KERNEL(sSinCos, W7HAynn, SSinCos<DAcc::LA>)
QOR_FNX_KERNEL(sSinCos, W7LAynn, SSinCosPlain<true>)

#include "vector_math/kernels/trig/atan.h"
QOR_FNX_KERNEL(sAtan, W7HAynn, SAtan<false>)
QOR_FNX_KERNEL(sAtan, W7LAynn, SAtan<false>)
QOR_FNX_KERNEL(sAtan, W7EPnnn, SAtan<false>)
QOR_FNX_KERNEL(sAtanpi, W7HAynn, SAtan<true>)
QOR_FNX_KERNEL(sAtanpi, W7LAynn, SAtan<true>)
QOR_FNX_KERNEL(sAtanpi, W7EPnnn, SAtan<true>)

#include "vector_math/kernels/trig/asin.h"
#include "vector_math/kernels/trig/atan2.h"
namespace {
struct W7;  // keeps the instantiations shared with other code paths private to this one
}
QOR_FNX_KERNEL(sAsin, W7LAynn, SAsinAcos<InvKind::Asin, false, W7>)
QOR_FNX_KERNEL(sAsin, W7EPnnn, SAsinAcos<InvKind::Asin, false, W7>)
QOR_FNX_KERNEL(sAcos, W7EPnnn, SAsinAcos<InvKind::Acos, false, W7>)
QOR_FNX_KERNEL(sAtan2, W7EPnnn, SAtan2<false, W7>)
