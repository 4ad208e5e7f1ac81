// Exponential and logarithmic kernels on the SSSE3 path (single and double precision).
#include "vector_math/kernels/exp_log/sexp.h"

using namespace qor::vm;
using namespace qor::vm::exp_log;

extern "C" QOR_API void qor_fnx_kernel_sExp_V8EPnnn(int32_t n, const float* a, float* r) { run_v1<SExpEP>(n, a, r); }

#include "vector_math/kernels/exp_log/dexp.h"

#define QOR_D_KERNEL(name, Family) \
  extern "C" QOR_API void qor_fnx_kernel_##name(int32_t n, const double* a, double* r) { run_v1<Family>(n, a, r); }

QOR_D_KERNEL(dExpm1_V8HAynn, DExpm1HA)
QOR_D_KERNEL(dExpm1_V8LAynn, DExpm1LA)
QOR_D_KERNEL(dExpm1_V8EPnnn, DExpm1EP)

#include "vector_math/kernels/exp_log/dlog.h"

QOR_D_KERNEL(dLog10_V8LAynn, DLog10LA)
QOR_D_KERNEL(dLog1p_V8HAynn, DLog1pHA)
QOR_D_KERNEL(dLog1p_V8LAynn, DLog1pLA)
QOR_D_KERNEL(dLog1p_V8EPnnn, DLog1pEP)

#include "vector_math/kernels/exp_log/s_via_d.h"
#include "vector_math/kernels/exp_log/sexp_more.h"

#define QOR_S_KERNEL(name, Family) \
  extern "C" QOR_API void qor_fnx_kernel_##name(int32_t n, const float* a, float* r) { run_v1<Family>(n, a, r); }

QOR_S_KERNEL(sExpm1_V8HAynn, SExpm1HA)

#include "vector_math/kernels/exp_log/slog_ha.h"

QOR_S_KERNEL(sLn_V8LAynn, SLnLA)
QOR_S_KERNEL(sLn_V8HAynn, SLnHA)
QOR_S_KERNEL(sLn_V8EPnnn, SLnEP)
QOR_S_KERNEL(sLog10_V8LAynn, SLog10LA)
QOR_S_KERNEL(sLog10_V8HAynn, SLog10HA)
QOR_S_KERNEL(sLog1p_V8LAynn, SLog1pLA)
QOR_S_KERNEL(sLog1p_V8HAynn, SLog1pHA)
