// Hyperbolic kernels on the SSSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/double_la.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/single_float.h"
#include "vector_math/kernels/hyperbolic/single_ha.h"
#include "vector_math/kernels/hyperbolic/single_plain.h"
#include "vector_math/kernels/hyperbolic/tanh.h"

using namespace qor::vm::hyperbolic;

QOR_FNX_KERNEL(sCosh, V8LAynn, SCoshF<false>)
QOR_FNX_KERNEL(sCosh, V8EPnnn, SCoshF<true>)
QOR_FNX_KERNEL(sSinh, V8LAynn, SSinhF<false>)
QOR_FNX_KERNEL(sSinh, V8EPnnn, SSinhF<true>)
QOR_FNX_KERNEL(sTanh, V8LAynn, STanhF<false>)
QOR_FNX_KERNEL(sTanh, V8HAynn, STanhHA)
QOR_FNX_KERNEL(dCosh, V8LAynn, DCoshLA)
