// Single-precision exponential and logarithmic kernels on the SSE2 path.
#include "vector_math/kernels/exp_log/sexp.h"

using namespace qor::vm;
using namespace qor::vm::exp_log;

extern "C" QOR_API void qor_fnx_kernel_sExp_W7HAynn(int32_t n, const float* a, float* r) { run_v1<SExpHA>(n, a, r); }
extern "C" QOR_API void qor_fnx_kernel_sExp_W7LAynn(int32_t n, const float* a, float* r) { run_v1<SExpLA>(n, a, r); }
