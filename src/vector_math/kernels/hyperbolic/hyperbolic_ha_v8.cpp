// Single Sinh HA on the SSSE3 path, in a file of its own for the same compile options as
// hyperbolic_ha_w7.cpp (the scheduler also run before register allocation).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/tanh.h"
// after the double families it names (sinh.h, cosh.h, tanh.h)
#include "vector_math/kernels/hyperbolic/single_ha.h"

using namespace qor::vm::hyperbolic;

QOR_FNX_KERNEL(sSinh, V8HAynn, SSinhHA)
