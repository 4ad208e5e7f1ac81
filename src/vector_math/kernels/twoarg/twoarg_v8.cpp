// LinearFrac on the SSSE3 path, single and double precision (one kernel in all three slots).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/twoarg/twoarg.h"

using namespace qor::vm;
using namespace qor::vm::twoarg;

QOR_FNX_KERNEL(sLinearFrac, V8HAynn, LinearFrac<float>)
QOR_FNX_KERNEL(dLinearFrac, V8HAynn, LinearFrac<double>)
