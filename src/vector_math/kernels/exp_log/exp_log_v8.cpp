// Exponential and logarithmic kernels on the SSSE3 path (single and double precision).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/exp_log/exp.h"
#include "vector_math/kernels/exp_log/expm1.h"
#include "vector_math/kernels/exp_log/ln.h"
#include "vector_math/kernels/exp_log/log10.h"
#include "vector_math/kernels/exp_log/log1p.h"

using namespace qor::vm::exp_log;

QOR_FNX_KERNEL(sExp, V8EPnnn, SExpEP)
QOR_FNX_KERNEL(dExpm1, V8HAynn, DExpm1HA)
QOR_FNX_KERNEL(dExpm1, V8LAynn, DExpm1LA)
QOR_FNX_KERNEL(dExpm1, V8EPnnn, DExpm1EP)
QOR_FNX_KERNEL(dLog10, V8LAynn, DLog10LA)
QOR_FNX_KERNEL(dLog1p, V8HAynn, DLog1pHA)
QOR_FNX_KERNEL(dLog1p, V8LAynn, DLog1pLA)
QOR_FNX_KERNEL(dLog1p, V8EPnnn, DLog1pEP)
QOR_FNX_KERNEL(sExpm1, V8HAynn, SExpm1HA)
QOR_FNX_KERNEL(sLn, V8LAynn, SLnLA)
QOR_FNX_KERNEL(sLn, V8HAynn, SLnHA)
QOR_FNX_KERNEL(sLn, V8EPnnn, SLnEP)
QOR_FNX_KERNEL(sLog10, V8LAynn, SLog10LA)
QOR_FNX_KERNEL(sLog10, V8HAynn, SLog10HA)
QOR_FNX_KERNEL(sLog1p, V8LAynn, SLog1pLA)
QOR_FNX_KERNEL(sLog1p, V8HAynn, SLog1pHA)
