// Power kernels on the SSSE3 path: sPow EP, dPow, the LA and EP kernels of Powx, sPow3o2 and
// dPow3o2 HA, the EP kernels of Hypot. The formulas by flavour: power.h.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/power/power.h"

using namespace qor::vm;
using namespace qor::vm::power_fam;

QOR_FNX_KERNEL(sPow, V8EPnnn, PowFamily<float, Kind::Pow>)
QOR_FNX_KERNEL(dPow, V8LAynn, PowFamily<double, Kind::Pow, Acc::LA>)
QOR_FNX_KERNEL(dPow, V8HAynn, PowFamily<double, Kind::Pow>)
QOR_FNX_KERNEL(dPow, V8EPnnn, PowFamily<double, Kind::Pow, Acc::EP>)
QOR_FNX_KERNEL(sPowx, V8EPnnn, PowFamily<float, Kind::Pow>)
QOR_FNX_KERNEL(dPowx, V8LAynn, PowFamily<double, Kind::Pow, Acc::LA>)
QOR_FNX_KERNEL(dPowx, V8EPnnn, PowFamily<double, Kind::Pow, Acc::EP>)
QOR_FNX_KERNEL(sPow3o2, V8LAynn, Pow3o2<float>)
QOR_FNX_KERNEL(sPow3o2, V8HAynn, Pow3o2<float>)
QOR_FNX_KERNEL(sPow3o2, V8EPnnn, Pow3o2<float>)
QOR_FNX_KERNEL(dPow3o2, V8HAynn, Pow3o2<double>)
QOR_FNX_KERNEL(sHypot, V8EPnnn, Hypot<float>)
QOR_FNX_KERNEL(dHypot, V8EPnnn, Hypot<double>)
