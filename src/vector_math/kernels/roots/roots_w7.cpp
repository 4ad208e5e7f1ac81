// Reciprocal and root kernels on the SSE2 path (single and double precision).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/roots/cbrt.h"
#include "vector_math/kernels/roots/inv.h"
#include "vector_math/kernels/roots/invcbrt.h"
#include "vector_math/kernels/roots/invsqrt.h"
#include "vector_math/kernels/roots/sqrt.h"

using namespace qor::vm::roots;

QOR_FNX_KERNEL(sInv, W7HAynn, SInvHA)
QOR_FNX_KERNEL(sInv, W7LAynn, SInvHA)
QOR_FNX_KERNEL(sInv, W7EPnnn, SInvEP)
QOR_FNX_KERNEL(dInv, W7HAynn, DInv)
QOR_FNX_KERNEL(dInv, W7LAynn, DInv)
QOR_FNX_KERNEL(dInv, W7EPnnn, DInv)
QOR_FNX_KERNEL(sSqrt, W7LAynn, SSqrt)
QOR_FNX_KERNEL(sSqrt, W7EPnnn, SSqrt)
QOR_FNX_KERNEL(dSqrt, W7HAynn, DSqrt)
QOR_FNX_KERNEL(dSqrt, W7LAynn, DSqrt)
QOR_FNX_KERNEL(dSqrt, W7EPnnn, DSqrt)
QOR_FNX_KERNEL(sInvSqrt, W7HAynn, SInvSqrt)
QOR_FNX_KERNEL(sInvSqrt, W7LAynn, SInvSqrt)
QOR_FNX_KERNEL(sInvSqrt, W7EPnnn, SInvSqrt)
QOR_FNX_KERNEL(dInvSqrt, W7HAynn, DInvSqrtHA)
QOR_FNX_KERNEL(dInvSqrt, W7LAynn, DInvSqrtHA)
QOR_FNX_KERNEL(sCbrt, W7HAynn, SCbrtHA)
QOR_FNX_KERNEL(sCbrt, W7LAynn, SCbrtLA)
QOR_FNX_KERNEL(sCbrt, W7EPnnn, SCbrtEP)
QOR_FNX_KERNEL(dCbrt, W7HAynn, DCbrtHA)
QOR_FNX_KERNEL(dCbrt, W7LAynn, DCbrtLA)
QOR_FNX_KERNEL(dCbrt, W7EPnnn, DCbrtEP)
QOR_FNX_KERNEL(sInvCbrt, W7HAynn, SInvCbrt)
QOR_FNX_KERNEL(sInvCbrt, W7LAynn, SInvCbrt)
QOR_FNX_KERNEL(sInvCbrt, W7EPnnn, SInvCbrt)
QOR_FNX_KERNEL(dInvCbrt, W7HAynn, DInvCbrt)
