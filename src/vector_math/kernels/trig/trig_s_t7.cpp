// Single-precision trigonometric kernels on the SSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/asin.h"

using namespace qor::vm::trig;

namespace {
struct T7;  // keeps the instantiations shared with other code paths private to this one
}
QOR_FNX_KERNEL(sAsin, T7HAynn, SAsinAcos<InvKind::Asin, false, T7>)
