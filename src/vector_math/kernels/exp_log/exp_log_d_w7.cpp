// Double-precision exponential and logarithmic kernels on the SSE2 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/exp_log/exp.h"
#include "vector_math/kernels/exp_log/exp10.h"
#include "vector_math/kernels/exp_log/exp2.h"
#include "vector_math/kernels/exp_log/ln.h"
#include "vector_math/kernels/exp_log/log10.h"
#include "vector_math/kernels/exp_log/log2.h"
#include "vector_math/kernels/exp_log/logb.h"

using namespace qor::vm::exp_log;

QOR_FNX_KERNEL(dExp, W7HAynn, DExpHA)
QOR_FNX_KERNEL(dExp, W7LAynn, DExpLA)
QOR_FNX_KERNEL(dExp, W7EPnnn, DExpEP)
QOR_FNX_KERNEL(dExp2, W7HAynn, DExp2HA)
QOR_FNX_KERNEL(dExp10, W7HAynn, DExp10HA)
QOR_FNX_KERNEL(dLn, W7HAynn, DLnHA)
QOR_FNX_KERNEL(dLn, W7EPnnn, DLnEP)
QOR_FNX_KERNEL(dLog2, W7HAynn, DLog2HA)
QOR_FNX_KERNEL(dLog2, W7LAynn, DLog2LA)
QOR_FNX_KERNEL(dLog2, W7EPnnn, DLog2EP)
QOR_FNX_KERNEL(dLog10, W7HAynn, DLog10HA)
QOR_FNX_KERNEL(dLogb, W7HAynn, DLogb)
