// The pi-scaled and degree trigonometric kernels (single and double precision) on the SSE2 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/asin.h"
#include "vector_math/kernels/trig/trigpi.h"

using namespace qor::vm::trig;

// Function F in every slot of both precisions: the families D<K, arg> and S<K, arg>.
#define QOR_TRIG_PI(F, D, S, K, arg)                              \
  QOR_FNX_KERNEL(d##F, W7HAynn, D<K, arg>)                        \
  QOR_FNX_KERNEL(d##F, W7LAynn, D<K, arg>)                        \
  QOR_FNX_KERNEL(d##F, W7EPnnn, D<K, arg>)                        \
  QOR_FNX_KERNEL(s##F, W7HAynn, S<K, arg>)                        \
  QOR_FNX_KERNEL(s##F, W7LAynn, S<K, arg>)                        \
  QOR_FNX_KERNEL(s##F, W7EPnnn, S<K, arg>)
QOR_TRIG_PI(Sinpi, DPi, SPi, PiKind::Sin, false)
QOR_TRIG_PI(Cospi, DPi, SPi, PiKind::Cos, false)
QOR_TRIG_PI(Tanpi, DPi, SPi, PiKind::Tan, false)
QOR_TRIG_PI(Sind, DPi, SPi, PiKind::Sin, true)
QOR_TRIG_PI(Cosd, DPi, SPi, PiKind::Cos, true)
QOR_TRIG_PI(Tand, DPi, SPi, PiKind::Tan, true)
QOR_TRIG_PI(Asinpi, DAsinAcos, SAsinAcos, InvKind::Asin, true)
QOR_TRIG_PI(Acospi, DAsinAcos, SAsinAcos, InvKind::Acos, true)
#undef QOR_TRIG_PI
