/* Argument shapes of the vector-math functions, used with the rows of functions.def.
 * KPARAMS: the kernel's parameters; EPARAMS: the entry point's; EARGS: what an entry point
 * passes on to the kernel (pack/unpack entry points add the width flag 1). */
#ifndef QOR_VM_SHAPES_H
#define QOR_VM_SHAPES_H

#include "qor/qor_api.h"

/* element type and its real counterpart, by type letter */
#define QOR_FNX_T_s float
#define QOR_FNX_T_d double
#define QOR_FNX_T_c QorComplex8
#define QOR_FNX_T_z QorComplex16
#define QOR_FNX_R_s float
#define QOR_FNX_R_d double
#define QOR_FNX_R_c float
#define QOR_FNX_R_z double

/* entry-point names of the LA and EP slots, by type letter */
#define QOR_FNX_ENTRY_LA_s(F) _fnxs##F##_21
#define QOR_FNX_ENTRY_EP_s(F) _fnxs##F##_11
#define QOR_FNX_ENTRY_LA_c(F) _fnxc##F##_21
#define QOR_FNX_ENTRY_EP_c(F) _fnxc##F##_11
#define QOR_FNX_ENTRY_LA_d(F) _fnxd##F##_50
#define QOR_FNX_ENTRY_EP_d(F) _fnxd##F##_26
#define QOR_FNX_ENTRY_LA_z(F) _fnxz##F##_50
#define QOR_FNX_ENTRY_EP_z(F) _fnxz##F##_26

/* one argument, one result */
#define QOR_FNX_KPARAMS_V1(T, R) (int32_t n, const T* a, T* r)
#define QOR_FNX_EPARAMS_V1(T, R) (int32_t n, const T* a, T* r)
#define QOR_FNX_EARGS_V1 (n, a, r)
/* two arguments */
#define QOR_FNX_KPARAMS_V2(T, R) (int32_t n, const T* a, const T* b, T* r)
#define QOR_FNX_EPARAMS_V2(T, R) (int32_t n, const T* a, const T* b, T* r)
#define QOR_FNX_EARGS_V2 (n, a, b, r)
/* scalar second argument */
#define QOR_FNX_KPARAMS_VX(T, R) (int32_t n, const T* a, T b, T* r)
#define QOR_FNX_EPARAMS_VX(T, R) (int32_t n, const T* a, T b, T* r)
#define QOR_FNX_EARGS_VX (n, a, b, r)
/* one argument, two results */
#define QOR_FNX_KPARAMS_V1R2(T, R) (int32_t n, const T* a, T* r1, T* r2)
#define QOR_FNX_EPARAMS_V1R2(T, R) (int32_t n, const T* a, T* r1, T* r2)
#define QOR_FNX_EARGS_V1R2 (n, a, r1, r2)
/* linear fraction (scalea*a + shifta) / (scaleb*b + shiftb) */
#define QOR_FNX_KPARAMS_LF(T, R) \
  (int32_t n, const T* a, const T* b, T scalea, T shifta, T scaleb, T shiftb, T* r)
#define QOR_FNX_EPARAMS_LF(T, R) QOR_FNX_KPARAMS_LF(T, R)
#define QOR_FNX_EARGS_LF (n, a, b, scalea, shifta, scaleb, shiftb, r)
/* real argument, complex result */
#define QOR_FNX_KPARAMS_CIS(T, R) (int32_t n, const R* a, T* r)
#define QOR_FNX_EPARAMS_CIS(T, R) (int32_t n, const R* a, T* r)
#define QOR_FNX_EARGS_CIS (n, a, r)
/* complex argument, real result */
#define QOR_FNX_KPARAMS_CR(T, R) (int32_t n, const T* a, R* r)
#define QOR_FNX_EPARAMS_CR(T, R) (int32_t n, const T* a, R* r)
#define QOR_FNX_EARGS_CR (n, a, r)

/* Strided pack/unpack. Index and mask arrays hold 32-bit integers when width == 1 (and the
 * signed low 32 bits of n and of the increment count), 64-bit integers otherwise. */
#define QOR_FNX_KPARAMS_PACKI(T, R) (int64_t n, const T* a, int64_t incra, T* y, int32_t width)
#define QOR_FNX_EPARAMS_PACKI(T, R) (int64_t n, const T* a, int64_t incra, T* y)
#define QOR_FNX_EARGS_PACKI (n, a, incra, y, 1)
#define QOR_FNX_KPARAMS_PACKV(T, R) (int64_t n, const T* a, const void* ia, T* y, int32_t width)
#define QOR_FNX_EPARAMS_PACKV(T, R) (int64_t n, const T* a, const void* ia, T* y)
#define QOR_FNX_EARGS_PACKV (n, a, ia, y, 1)
#define QOR_FNX_KPARAMS_PACKM(T, R) (int64_t n, const T* a, const void* ma, T* y, int32_t width)
#define QOR_FNX_EPARAMS_PACKM(T, R) (int64_t n, const T* a, const void* ma, T* y)
#define QOR_FNX_EARGS_PACKM (n, a, ma, y, 1)
#define QOR_FNX_KPARAMS_UNPACKI(T, R) (int64_t n, const T* a, T* y, int64_t incry, int32_t width)
#define QOR_FNX_EPARAMS_UNPACKI(T, R) (int64_t n, const T* a, T* y, int64_t incry)
#define QOR_FNX_EARGS_UNPACKI (n, a, y, incry, 1)
#define QOR_FNX_KPARAMS_UNPACKV(T, R) (int64_t n, const T* a, T* y, const void* iy, int32_t width)
#define QOR_FNX_EPARAMS_UNPACKV(T, R) (int64_t n, const T* a, T* y, const void* iy)
#define QOR_FNX_EARGS_UNPACKV (n, a, y, iy, 1)
#define QOR_FNX_KPARAMS_UNPACKM(T, R) (int64_t n, const T* a, T* y, const void* my, int32_t width)
#define QOR_FNX_EPARAMS_UNPACKM(T, R) (int64_t n, const T* a, T* y, const void* my)
#define QOR_FNX_EARGS_UNPACKM (n, a, y, my, 1)

#endif
