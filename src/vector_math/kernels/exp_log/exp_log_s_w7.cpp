// Single-precision exponential and logarithmic kernels on the SSE2 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/exp_log/exp.h"
#include "vector_math/kernels/exp_log/exp10.h"
#include "vector_math/kernels/exp_log/exp2.h"
#include "vector_math/kernels/exp_log/log10.h"
#include "vector_math/kernels/exp_log/log2.h"
#include "vector_math/kernels/exp_log/logb.h"

using namespace qor::vm::exp_log;

QOR_FNX_KERNEL(sExp, W7HAynn, SExpHA)
QOR_FNX_KERNEL(sExp, W7LAynn, SExpLA)
QOR_FNX_KERNEL(sExp2, W7HAynn, SExp2HA)
QOR_FNX_KERNEL(sExp10, W7HAynn, SExp10HA)
QOR_FNX_KERNEL(sLogb, W7HAynn, SLogb)
QOR_FNX_KERNEL(sLog2, W7LAynn, SLog2LA)
QOR_FNX_KERNEL(sLog2, W7HAynn, SLog2HA)
QOR_FNX_KERNEL(sLog2, W7EPnnn, SLog2EP)
QOR_FNX_KERNEL(sLog10, W7EPnnn, SLog10EP)
