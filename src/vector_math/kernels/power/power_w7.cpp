// Power kernels on the SSE2 path: Powr, Pow2o3 (single and double), Powx HA, Hypot LA/HA, the
// LA and EP kernels of dPow3o2. The formulas by flavour: power.h.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/power/power.h"

using namespace qor::vm;
using namespace qor::vm::power_fam;

QOR_FNX_KERNEL(sPowr, W7LAynn, PowFamily<float, Kind::Powr>)
QOR_FNX_KERNEL(sPowr, W7HAynn, PowFamily<float, Kind::Powr>)
QOR_FNX_KERNEL(sPowr, W7EPnnn, PowFamily<float, Kind::Powr>)
QOR_FNX_KERNEL(dPowr, W7LAynn, PowFamily<double, Kind::Powr, Acc::LA>)
QOR_FNX_KERNEL(dPowr, W7HAynn, PowFamily<double, Kind::Powr>)
QOR_FNX_KERNEL(dPowr, W7EPnnn, PowFamily<double, Kind::Powr, Acc::EP>)
QOR_FNX_KERNEL(sPowx, W7HAynn, PowFamily<float, Kind::Pow>)
QOR_FNX_KERNEL(dPowx, W7HAynn, PowFamily<double, Kind::Pow>)
QOR_FNX_KERNEL(sPow2o3, W7LAynn, Pow2o3<float>)
QOR_FNX_KERNEL(sPow2o3, W7HAynn, Pow2o3<float>)
QOR_FNX_KERNEL(sPow2o3, W7EPnnn, Pow2o3<float>)
QOR_FNX_KERNEL(dPow2o3, W7LAynn, Pow2o3<double, Acc::LA>)
QOR_FNX_KERNEL(dPow2o3, W7HAynn, Pow2o3<double>)
QOR_FNX_KERNEL(dPow2o3, W7EPnnn, Pow2o3<double, Acc::EP>)
QOR_FNX_KERNEL(dPow3o2, W7LAynn, Pow3o2<double, Acc::LA>)
QOR_FNX_KERNEL(dPow3o2, W7EPnnn, Pow3o2<double, Acc::EP>)
QOR_FNX_KERNEL(sHypot, W7LAynn, Hypot<float>)
QOR_FNX_KERNEL(sHypot, W7HAynn, Hypot<float>)
QOR_FNX_KERNEL(dHypot, W7HAynn, Hypot<double>)
