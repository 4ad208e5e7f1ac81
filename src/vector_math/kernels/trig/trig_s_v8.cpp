// Single-precision trigonometric kernels on the SSSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/asin.h"
#include "vector_math/kernels/trig/atan2.h"

using namespace qor::vm::trig;

namespace {
struct V8;  // keeps the instantiations shared with other code paths private to this one
}
QOR_FNX_KERNEL(sAcos, V8LAynn, SAsinAcos<InvKind::Acos, false, V8>)
QOR_FNX_KERNEL(sAcos, V8HAynn, SAsinAcos<InvKind::Acos, false, V8>)
QOR_FNX_KERNEL(sAtan2, V8LAynn, SAtan2<false, V8>)
QOR_FNX_KERNEL(sAtan2, V8HAynn, SAtan2<false, V8>)
