// Error-function kernels on the SSE2 path (single and double precision).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/special/erf.h"
#include "vector_math/kernels/special/erf_float.h"
#include "vector_math/kernels/special/erfinv.h"

using namespace qor::vm::special;
using SErfcHA = SErfcHAF;
using SCdfNormEP = CdfNorm<float, kErfEP>;
using DErfcHA = Erfc<double, kErfHA>;
using DErfcEP = Erfc<double, kErfEP>;

QOR_FNX_KERNEL(sErfc, W7LAynn, SErfcF<false>)
QOR_FNX_KERNEL(sErfc, W7HAynn, SErfcHA)
QOR_FNX_KERNEL(sErfc, W7EPnnn, SErfcF<true>)
QOR_FNX_KERNEL(dErfc, W7LAynn, Erfc<double>)
QOR_FNX_KERNEL(dErfc, W7HAynn, DErfcHA)
QOR_FNX_KERNEL(dErfc, W7EPnnn, DErfcEP)
QOR_FNX_KERNEL(sCdfNorm, W7EPnnn, SCdfNormEP)
QOR_FNX_KERNEL(dCdfNorm, W7LAynn, CdfNorm<double>)
QOR_FNX_KERNEL(sErfInv, W7LAynn, SRows<0, DErfInv<DRowsEP>>)
QOR_FNX_KERNEL(sErfInv, W7HAynn, SRows<0, DErfInv<DRowsEP>>)
QOR_FNX_KERNEL(sErfInv, W7EPnnn, SErfInv<SErfinvEP>)
QOR_FNX_KERNEL(dErfInv, W7LAynn, DErfInv<DRowsLA>)
QOR_FNX_KERNEL(dErfInv, W7HAynn, DErfInv<DRowsHA>)
QOR_FNX_KERNEL(dErfInv, W7EPnnn, DErfInv<DRowsEP>)
QOR_FNX_KERNEL(sErfcInv, W7LAynn, SRows<1, DInvErfc<false, DRowsEP>>)
QOR_FNX_KERNEL(sErfcInv, W7HAynn, SRows<1, DInvErfc<false, DRowsEP>>)
QOR_FNX_KERNEL(sErfcInv, W7EPnnn, InvErfc<float, false, SErfinvEP>)
QOR_FNX_KERNEL(dErfcInv, W7LAynn, DInvErfc<false, DRowsLA>)
QOR_FNX_KERNEL(dErfcInv, W7HAynn, DInvErfc<false, DRowsHA>)
QOR_FNX_KERNEL(dErfcInv, W7EPnnn, DInvErfc<false, DRowsEP>)
QOR_FNX_KERNEL(sCdfNormInv, W7LAynn, SRows<2, DInvErfc<true, DRowsEP>>)
QOR_FNX_KERNEL(sCdfNormInv, W7HAynn, SRows<2, DInvErfc<true, DRowsEP>>)
QOR_FNX_KERNEL(sCdfNormInv, W7EPnnn, InvErfc<float, true, SErfinvEP>)
QOR_FNX_KERNEL(dCdfNormInv, W7LAynn, DInvErfc<true, DRowsLA>)
QOR_FNX_KERNEL(dCdfNormInv, W7HAynn, DInvErfc<true, DRowsHA>)
QOR_FNX_KERNEL(dCdfNormInv, W7EPnnn, DInvErfc<true, DRowsEP>)
