// Power kernels on the SSE3 path: sPow (its LA and HA slots).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/power/power.h"

using namespace qor::vm;
using namespace qor::vm::power_fam;

QOR_FNX_KERNEL(sPow, T7HAynn, PowFamily<float, Kind::Pow>)
