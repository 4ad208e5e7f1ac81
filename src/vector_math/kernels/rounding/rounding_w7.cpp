// Rounding kernels on the SSE2 path: Ceil, Floor, Trunc, Round, NearbyInt, Rint, Modf, Abs,
// CopySign, single and double precision. Each serves all three accuracy slots.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/rounding/rounding.h"

using namespace qor::vm;

QOR_FNX_KERNEL(sCeil, W7HAynn, Ceil<float>)
QOR_FNX_KERNEL(dCeil, W7HAynn, Ceil<double>)
QOR_FNX_KERNEL(sFloor, W7HAynn, Floor<float>)
QOR_FNX_KERNEL(dFloor, W7HAynn, Floor<double>)
QOR_FNX_KERNEL(sTrunc, W7HAynn, Trunc<float>)
QOR_FNX_KERNEL(dTrunc, W7HAynn, Trunc<double>)
QOR_FNX_KERNEL(sRound, W7HAynn, Round<float>)
QOR_FNX_KERNEL(dRound, W7HAynn, Round<double>)
QOR_FNX_KERNEL(sRint, W7HAynn, Rint<float>)
QOR_FNX_KERNEL(dRint, W7HAynn, Rint<double>)
QOR_FNX_KERNEL(sNearbyInt, W7HAynn, Rint<float>)  // identical to Rint, inexact flag included
QOR_FNX_KERNEL(dNearbyInt, W7HAynn, Rint<double>)
QOR_FNX_KERNEL(sAbs, W7HAynn, Abs<float>)
QOR_FNX_KERNEL(dAbs, W7HAynn, Abs<double>)
QOR_FNX_KERNEL(sModf, W7HAynn, Modf<float>)
QOR_FNX_KERNEL(dModf, W7HAynn, Modf<double>)
QOR_FNX_KERNEL(sCopySign, W7HAynn, Binary<float, Op::CopySign>)
QOR_FNX_KERNEL(dCopySign, W7HAynn, Binary<double, Op::CopySign>)
