// Rounding and arithmetic kernels on the SSSE3 path: Frac, Sqr, Add, Sub, Mul, single and
// double precision. Each serves all three accuracy slots.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/rounding/rounding.h"

using namespace qor::vm;

QOR_FNX_KERNEL(sFrac, V8HAynn, Frac<float>)
QOR_FNX_KERNEL(dFrac, V8HAynn, Frac<double>)
QOR_FNX_KERNEL(sSqr, V8HAynn, Sqr<float>)
QOR_FNX_KERNEL(dSqr, V8HAynn, Sqr<double>)
QOR_FNX_KERNEL(sAdd, V8HAynn, Binary<float, Op::Add>)
QOR_FNX_KERNEL(dAdd, V8HAynn, Binary<double, Op::Add>)
QOR_FNX_KERNEL(sSub, V8HAynn, Binary<float, Op::Sub>)
QOR_FNX_KERNEL(dSub, V8HAynn, Binary<double, Op::Sub>)
QOR_FNX_KERNEL(sMul, V8HAynn, Binary<float, Op::Mul>)
QOR_FNX_KERNEL(dMul, V8HAynn, Binary<double, Op::Mul>)
