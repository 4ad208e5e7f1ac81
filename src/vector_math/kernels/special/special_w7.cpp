// Error-function kernels and ExpInt1 EP on the SSE2 path (single and double precision).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/erf.h"
#include "vector_math/kernels/special/erfinv.h"
#include "vector_math/kernels/special/expint.h"

using namespace qor::vm::special;

QOR_FNX_KERNEL(sErfc, W7LAynn, Erfc<float>)
QOR_FNX_KERNEL(sErfc, W7HAynn, Erfc<float>)
QOR_FNX_KERNEL(sErfc, W7EPnnn, Erfc<float>)
QOR_FNX_KERNEL(dErfc, W7HAynn, Erfc<double>)
QOR_FNX_KERNEL(sCdfNorm, W7EPnnn, CdfNorm<float>)
QOR_FNX_KERNEL(dCdfNorm, W7LAynn, CdfNorm<double>)
QOR_FNX_KERNEL(sErfInv, W7LAynn, SErfInv)
QOR_FNX_KERNEL(sErfInv, W7HAynn, SErfInv)
QOR_FNX_KERNEL(sErfInv, W7EPnnn, SErfInv)
QOR_FNX_KERNEL(dErfInv, W7LAynn, DErfInv)
QOR_FNX_KERNEL(dErfInv, W7HAynn, DErfInv)
QOR_FNX_KERNEL(dErfInv, W7EPnnn, DErfInv)
QOR_FNX_KERNEL(sErfcInv, W7LAynn, InvErfc<float, false>)
QOR_FNX_KERNEL(sErfcInv, W7HAynn, InvErfc<float, false>)
QOR_FNX_KERNEL(sErfcInv, W7EPnnn, InvErfc<float, false>)
QOR_FNX_KERNEL(dErfcInv, W7LAynn, InvErfc<double, false>)
QOR_FNX_KERNEL(dErfcInv, W7HAynn, InvErfc<double, false>)
QOR_FNX_KERNEL(dErfcInv, W7EPnnn, InvErfc<double, false>)
QOR_FNX_KERNEL(sCdfNormInv, W7LAynn, InvErfc<float, true>)
QOR_FNX_KERNEL(sCdfNormInv, W7HAynn, InvErfc<float, true>)
QOR_FNX_KERNEL(sCdfNormInv, W7EPnnn, InvErfc<float, true>)
QOR_FNX_KERNEL(dCdfNormInv, W7LAynn, InvErfc<double, true>)
QOR_FNX_KERNEL(dCdfNormInv, W7HAynn, InvErfc<double, true>)
QOR_FNX_KERNEL(dCdfNormInv, W7EPnnn, InvErfc<double, true>)
QOR_FNX_KERNEL(dExpInt1, W7EPnnn, DExpInt1)
