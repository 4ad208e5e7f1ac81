// Error-function kernels on the SSSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/erf.h"

using namespace qor::vm::special;
using DErfHA = Erf<double, true>;
using DCdfNormHA = CdfNorm<double, true>;

QOR_FNX_KERNEL(sErf, V8LAynn, Erf<float>)
QOR_FNX_KERNEL(sErf, V8HAynn, Erf<float>)
QOR_FNX_KERNEL(sErf, V8EPnnn, Erf<float>)
QOR_FNX_KERNEL(dErf, V8LAynn, Erf<double>)
QOR_FNX_KERNEL(dErf, V8HAynn, DErfHA)
QOR_FNX_KERNEL(dErf, V8EPnnn, Erf<double>)
QOR_FNX_KERNEL(dCdfNorm, V8HAynn, DCdfNormHA)
QOR_FNX_KERNEL(dCdfNorm, V8EPnnn, CdfNorm<double>)
