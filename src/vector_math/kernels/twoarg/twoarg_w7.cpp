// The exact two-argument kernels on the SSE2 path: Div (its three slots), Fmod, Remainder,
// NextAfter, Fdim, Fmax, Fmin, MaxMag, MinMag, single and double precision.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/twoarg/twoarg.h"

using namespace qor::vm;
using namespace qor::vm::twoarg;

// one exact division serves the three accuracy slots
QOR_FNX_KERNEL(sDiv, W7LAynn, Div<float>)
QOR_FNX_KERNEL(sDiv, W7HAynn, Div<float>)
QOR_FNX_KERNEL(sDiv, W7EPnnn, Div<float>)
QOR_FNX_KERNEL(dDiv, W7LAynn, Div<double>)
QOR_FNX_KERNEL(dDiv, W7HAynn, Div<double>)
QOR_FNX_KERNEL(dDiv, W7EPnnn, Div<double>)
QOR_FNX_KERNEL(sFmod, W7HAynn, Fmod<float>)
QOR_FNX_KERNEL(dFmod, W7HAynn, Fmod<double>)
QOR_FNX_KERNEL(sRemainder, W7HAynn, Remainder<float>)
QOR_FNX_KERNEL(dRemainder, W7HAynn, Remainder<double>)
QOR_FNX_KERNEL(sNextAfter, W7HAynn, NextAfter<float>)
QOR_FNX_KERNEL(dNextAfter, W7HAynn, NextAfter<double>)
QOR_FNX_KERNEL(sFdim, W7HAynn, Select<float, Pick::Fdim>)
QOR_FNX_KERNEL(dFdim, W7HAynn, Select<double, Pick::Fdim>)
QOR_FNX_KERNEL(sFmax, W7HAynn, Select<float, Pick::Fmax>)
QOR_FNX_KERNEL(dFmax, W7HAynn, Select<double, Pick::Fmax>)
QOR_FNX_KERNEL(sFmin, W7HAynn, Select<float, Pick::Fmin>)
QOR_FNX_KERNEL(dFmin, W7HAynn, Select<double, Pick::Fmin>)
QOR_FNX_KERNEL(sMaxMag, W7HAynn, Select<float, Pick::MaxMag>)
QOR_FNX_KERNEL(dMaxMag, W7HAynn, Select<double, Pick::MaxMag>)
QOR_FNX_KERNEL(sMinMag, W7HAynn, Select<float, Pick::MinMag>)
QOR_FNX_KERNEL(dMinMag, W7HAynn, Select<double, Pick::MinMag>)
