/* The trigonometric routines exported beside the kernels of the function tables: the argument
 * reduction shared by the double-precision per-element routines, and the one-element routines
 * of Sin, Cos, SinCos and Tan. */
#ifndef QOR_VM_TRIG_H
#define QOR_VM_TRIG_H

#include "qor/qor_api.h"

QOR_EXTERN_C_BEGIN

/* x = s (k pi/4 + r) with s the sign of x, k even and |r| <= pi/4 (a little more for |x| < 2^30,
 * where k comes from a rounded product): writes s r as rec[0] + rec[1] (high and low part) and
 * returns (s k/2) mod 4, the quadrant. NaN and infinities give a NaN record and quadrant 0. */
QOR_API int32_t qor_fnx_kernel_reduce_pio2d(double x, double* rec);

/* One element: r[index] = f(a[index]), a bad element reported with `name` (a null name reports
 * as "{t}{Func}_HA"); the _SC_A11 twins report as "{t}{Func}_A11". SinCos writes r1 (sine) and
 * r2 (cosine). All compute with the high-accuracy per-element routine of the function. */
#define QOR_FNX_TRIG_SC(t, T)                                                                          \
  QOR_API void qor_fnx_kernel_##t##Sin_SC(int32_t index, const T* a, T* r, const char* name);         \
  QOR_API void qor_fnx_kernel_##t##Sin_SC_A11(int32_t index, const T* a, T* r);                       \
  QOR_API void qor_fnx_kernel_##t##Cos_SC(int32_t index, const T* a, T* r, const char* name);         \
  QOR_API void qor_fnx_kernel_##t##Cos_SC_A11(int32_t index, const T* a, T* r);                       \
  QOR_API void qor_fnx_kernel_##t##Tan_SC(int32_t index, const T* a, T* r, const char* name);         \
  QOR_API void qor_fnx_kernel_##t##Tan_SC_A11(int32_t index, const T* a, T* r);                       \
  QOR_API void qor_fnx_kernel_##t##SinCos_SC(int32_t index, const T* a, T* r1, T* r2, const char* name); \
  QOR_API void qor_fnx_kernel_##t##SinCos_SC_A11(int32_t index, const T* a, T* r1, T* r2);
QOR_FNX_TRIG_SC(s, float)
QOR_FNX_TRIG_SC(d, double)
#undef QOR_FNX_TRIG_SC

QOR_EXTERN_C_END

#endif
