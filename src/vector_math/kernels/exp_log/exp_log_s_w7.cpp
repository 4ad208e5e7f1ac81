// Single-precision exponential and logarithmic kernels on the SSE2 path.
#include "vector_math/kernels/exp_log/sexp.h"

using namespace qor::vm;
using namespace qor::vm::exp_log;

extern "C" QOR_API void qor_fnx_kernel_sExp_W7HAynn(int32_t n, const float* a, float* r) { run_v1<SExpHA>(n, a, r); }
extern "C" QOR_API void qor_fnx_kernel_sExp_W7LAynn(int32_t n, const float* a, float* r) { run_v1<SExpLA>(n, a, r); }

#include "vector_math/kernels/exp_log/s_via_d.h"
#include "vector_math/kernels/exp_log/sexp_more.h"

#define QOR_S_KERNEL(name, Family) \
  extern "C" QOR_API void qor_fnx_kernel_##name(int32_t n, const float* a, float* r) { run_v1<Family>(n, a, r); }

QOR_S_KERNEL(sExp2_W7HAynn, SExp2HA)
QOR_S_KERNEL(sExp10_W7HAynn, SExp10HA)
QOR_S_KERNEL(sLogb_W7HAynn, SLogb)

#include "vector_math/kernels/exp_log/slog_ha.h"

QOR_S_KERNEL(sLog2_W7LAynn, SLog2LA)
QOR_S_KERNEL(sLog2_W7HAynn, SLog2HA)
QOR_S_KERNEL(sLog2_W7EPnnn, SLog2EP)
QOR_S_KERNEL(sLog10_W7EPnnn, SLog10EP)
