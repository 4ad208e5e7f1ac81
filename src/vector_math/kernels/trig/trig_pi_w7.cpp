// The pi-scaled and degree trigonometric kernels (single and double precision) on the SSE2 path.
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/trig/trigpi.h"

using namespace qor::vm::trig;

#define QOR_TRIG_PI(F, K, deg)                                    \
  QOR_FNX_KERNEL(d##F, W7HAynn, DPi<PiKind::K, deg>)              \
  QOR_FNX_KERNEL(d##F, W7LAynn, DPi<PiKind::K, deg>)              \
  QOR_FNX_KERNEL(d##F, W7EPnnn, DPi<PiKind::K, deg>)              \
  QOR_FNX_KERNEL(s##F, W7HAynn, SPi<PiKind::K, deg>)              \
  QOR_FNX_KERNEL(s##F, W7LAynn, SPi<PiKind::K, deg>)              \
  QOR_FNX_KERNEL(s##F, W7EPnnn, SPi<PiKind::K, deg>)
QOR_TRIG_PI(Sinpi, Sin, false)
QOR_TRIG_PI(Cospi, Cos, false)
QOR_TRIG_PI(Tanpi, Tan, false)
QOR_TRIG_PI(Sind, Sin, true)
QOR_TRIG_PI(Cosd, Cos, true)
QOR_TRIG_PI(Tand, Tan, true)
#undef QOR_TRIG_PI

#include "vector_math/kernels/trig/asin.h"
#define QOR_TRIG_INV_PI(F, K)                                         \
  QOR_FNX_KERNEL(d##F, W7HAynn, DAsinAcos<InvKind::K, true>)         \
  QOR_FNX_KERNEL(d##F, W7LAynn, DAsinAcos<InvKind::K, true>)         \
  QOR_FNX_KERNEL(d##F, W7EPnnn, DAsinAcos<InvKind::K, true>)         \
  QOR_FNX_KERNEL(s##F, W7HAynn, SAsinAcos<InvKind::K, true>)         \
  QOR_FNX_KERNEL(s##F, W7LAynn, SAsinAcos<InvKind::K, true>)         \
  QOR_FNX_KERNEL(s##F, W7EPnnn, SAsinAcos<InvKind::K, true>)
QOR_TRIG_INV_PI(Asinpi, Asin)
QOR_TRIG_INV_PI(Acospi, Acos)
#undef QOR_TRIG_INV_PI
