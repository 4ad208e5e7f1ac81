// Hyperbolic kernels on the SSE2 path (single and double precision).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/hyperbolic/acosh.h"
#include "vector_math/kernels/hyperbolic/asinh.h"
#include "vector_math/kernels/hyperbolic/atanh.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/double_la.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/single_float.h"
#include "vector_math/kernels/hyperbolic/single_plain.h"
#include "vector_math/kernels/hyperbolic/tanh.h"

using namespace qor::vm::hyperbolic;

QOR_FNX_KERNEL(sAcosh, W7LAynn, SAcoshLA)
QOR_FNX_KERNEL(sAcosh, W7EPnnn, SAcoshF)
QOR_FNX_KERNEL(sAsinh, W7LAynn, SAsinhF)
QOR_FNX_KERNEL(sAsinh, W7EPnnn, SAsinhF)
QOR_FNX_KERNEL(sAtanh, W7LAynn, SAtanhF)
QOR_FNX_KERNEL(sAtanh, W7HAynn, SAtanhPlain)
QOR_FNX_KERNEL(sAtanh, W7EPnnn, SAtanhF)
QOR_FNX_KERNEL(sTanh, W7EPnnn, STanhF<true>)
QOR_FNX_KERNEL(dCosh, W7HAynn, DCosh)
QOR_FNX_KERNEL(dCosh, W7EPnnn, DCoshEP)
QOR_FNX_KERNEL(dSinh, W7LAynn, DSinhLA)
QOR_FNX_KERNEL(dSinh, W7HAynn, DSinh)
QOR_FNX_KERNEL(dSinh, W7EPnnn, DSinhEP)
QOR_FNX_KERNEL(dTanh, W7LAynn, DTanhLA)
QOR_FNX_KERNEL(dAcosh, W7LAynn, DAcoshLA)
QOR_FNX_KERNEL(dAcosh, W7HAynn, DAcosh)
QOR_FNX_KERNEL(dAcosh, W7EPnnn, DAcoshEP)
QOR_FNX_KERNEL(dAsinh, W7LAynn, DAsinh)
QOR_FNX_KERNEL(dAsinh, W7HAynn, DAsinh)
QOR_FNX_KERNEL(dAsinh, W7EPnnn, DAsinhEP)
QOR_FNX_KERNEL(dAtanh, W7LAynn, DAtanh)
QOR_FNX_KERNEL(dAtanh, W7HAynn, DAtanh)
QOR_FNX_KERNEL(dAtanh, W7EPnnn, DAtanhEP)
