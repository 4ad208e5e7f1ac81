// Error-function kernels on the SSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/erf.h"

using namespace qor::vm::special;
using SCdfNormHA = CdfNorm<float, kErfHA>;

QOR_FNX_KERNEL(sCdfNorm, T7LAynn, CdfNorm<float>)
QOR_FNX_KERNEL(sCdfNorm, T7HAynn, SCdfNormHA)
