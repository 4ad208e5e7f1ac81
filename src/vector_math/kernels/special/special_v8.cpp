// Error-function kernels on the SSSE3 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/erf.h"
#include "vector_math/kernels/special/erf_float.h"

using namespace qor::vm::special;
using SErfHA = SErfHAF;
using DErfHA = Erf<double, kErfHA>;
using DErfEP = Erf<double, kErfEP>;
using DCdfNormHA = CdfNorm<double, kErfHA>;
using DCdfNormEP = CdfNorm<double, kErfEP>;

QOR_FNX_KERNEL(sErf, V8LAynn, SErfF<false>)
QOR_FNX_KERNEL(sErf, V8HAynn, SErfHA)
QOR_FNX_KERNEL(sErf, V8EPnnn, SErfF<true>)
QOR_FNX_KERNEL(dErf, V8LAynn, Erf<double>)
QOR_FNX_KERNEL(dErf, V8HAynn, DErfHA)
QOR_FNX_KERNEL(dErf, V8EPnnn, DErfEP)
QOR_FNX_KERNEL(dCdfNorm, V8HAynn, DCdfNormHA)
QOR_FNX_KERNEL(dCdfNorm, V8EPnnn, DCdfNormEP)
