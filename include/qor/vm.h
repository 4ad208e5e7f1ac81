/* Vector math: per-thread mode, error status and callback; function tables, kernels and
 * entry points of every built function (generated from functions.def). */
#ifndef QOR_VM_H
#define QOR_VM_H

#include "qor/qor_api.h"

QOR_EXTERN_C_BEGIN

/* ---- mode word --------------------------------------------------------------------------- */
#define QOR_FNX_ACCURACY_MASK 0x0000000Fu
#define QOR_FNX_LA 0x1u /* "LA": low accuracy */
#define QOR_FNX_HA 0x2u /* "HA": high accuracy */
#define QOR_FNX_EP 0x3u /* "EP": enhanced performance */
#define QOR_FNX_CONSISTENCY_MASK 0x00000030u /* set only through the environment */
#define QOR_FNX_ERRMODE_MASK 0x0000FF00u
#define QOR_FNX_ERRMODE_IGNORE 0x100u
#define QOR_FNX_ERRMODE_ERRNO 0x200u
#define QOR_FNX_ERRMODE_STDERR 0x400u
#define QOR_FNX_ERRMODE_EXCEPT 0x800u
#define QOR_FNX_ERRMODE_CALLBACK 0x1000u
#define QOR_FNX_ERRMODE_NOERR 0x2000u
#define QOR_FNX_ERRMODE_DEFAULT 0x1A00u
#define QOR_FNX_DENORMAL_MASK 0x003C0000u
#define QOR_FNX_DENORMAL_FLUSH 0x00280000u /* flush denormal results, read denormal inputs as 0 */
#define QOR_FNX_DENORMAL_KEEP 0x00140000u
#define QOR_FNX_TRAP_MASK 0x0F000000u
#define QOR_FNX_TRAP_INVALID 0x1000000u
#define QOR_FNX_TRAP_DIVBYZERO 0x2000000u
#define QOR_FNX_TRAP_OVERFLOW 0x4000000u
#define QOR_FNX_TRAP_UNDERFLOW 0x8000000u
#define QOR_FNX_MODE_DEFAULT 0x1A02u /* HA with ERRMODE_DEFAULT */

/* Environment variable read once per thread (until a mode is set) for the initial mode:
 * a comma-separated list of tokens "FNX_" + keyword, e.g. QOR_FNX_MODE=FNX_EP,FNX_ERRMODE_IGNORE.
 * Keywords: LA HA EP DEFAULT_PRECISION FLOAT_CONSISTENT DOUBLE_CONSISTEN RESTORE ERRMODE_IGNORE
 * ERRMODE_ERRNO ERRMODE_STDERR ERRMODE_EXCEPT ERRMODE_CALLBACK ERRMODE_NOERR ERRMODE_DEFAULT
 * TRAP_INVALID TRAP_DIVBYZERO TRAP_OVERFLOW TRAP_UNDERFLOW. A malformed value is ignored whole. */
#define QOR_FNX_MODE_ENV "QOR_FNX_MODE"

/* ---- status codes ------------------------------------------------------------------------ */
#define QOR_FNX_STATUS_OK 0
#define QOR_FNX_STATUS_BADSIZE (-1)   /* bad size argument */
#define QOR_FNX_STATUS_BADMEM (-2)    /* bad pointer argument */
#define QOR_FNX_STATUS_ERRDOM 1       /* argument outside the domain */
#define QOR_FNX_STATUS_SING 2         /* singularity (pole) */
#define QOR_FNX_STATUS_OVERFLOW 3
#define QOR_FNX_STATUS_UNDERFLOW 4

/* ---- error context and callback ---------------------------------------------------------- */
#pragma pack(push, 1)
typedef struct FnxErrorContext {
  int32_t code;        /* status code */
  int32_t index;       /* element index (relative to the interface input vector if set) */
  double arg1;         /* first argument (real part) */
  double arg2;         /* second argument; equals arg1 for one-argument functions */
  double res1;         /* first result (real part) */
  double res2;         /* second result; equals res1 for one-result functions */
  char funcName[64];   /* e.g. "vsExp", NUL-terminated */
  int32_t funcNameLen; /* characters copied into funcName */
  double arg1Im, arg2Im, res1Im, res2Im; /* imaginary parts (complex functions only) */
} FnxErrorContext;
#pragma pack(pop)

/* A non-zero return tells the error routine that the callback has dealt with the element
 * (the results are then not written back); on 0 the routine writes res1/res2 back. */
typedef int (*FnxErrorCallBack)(FnxErrorContext* context);

/* ---- services (both name sets behave identically) ---------------------------------------- */
#define QOR_FNX_SERVICES(p)                                                   \
  QOR_API uint32_t p##SetMode(uint32_t mode);                                 \
  QOR_API uint32_t p##GetMode(void);                                          \
  QOR_API int32_t p##SetErrStatus(int32_t status);                            \
  QOR_API int32_t p##GetErrStatus(void);                                      \
  QOR_API int32_t p##ClearErrStatus(void);                                    \
  QOR_API FnxErrorCallBack p##SetErrorCallBack(FnxErrorCallBack callback);    \
  QOR_API FnxErrorCallBack p##GetErrorCallBack(void);                         \
  QOR_API FnxErrorCallBack p##ClearErrorCallBack(void);                       \
  QOR_API void p##SetInterfInputVectorPointer(const void* pointer);
QOR_FNX_SERVICES(_fnx)
QOR_FNX_SERVICES(qor_fnx_kernel_)
#undef QOR_FNX_SERVICES

/* Slot index of the thread's mode: 0 LA, 1 HA, 2 EP (0xFFFFFFFF when the accuracy is 0). */
QOR_API uint32_t qor_fnx_kernel_GetTTableIndex(void);
QOR_API uint32_t qor_fnx_kernel_GetTTableIndexM(uint32_t ignored, uint64_t mode);
/* Low word: mode parsed from QOR_FNX_MODE; high word 0. Both 0xFFFFFFFF: no valid setting. */
QOR_API uint64_t qor_fnx_kernel_ReadEnvVarMode(void);

/* The error routine, one per element type: report element `index` of the argument vectors
 * arg1/arg2 and result vectors res1/res2 (base addresses) with status `code`. */
#define QOR_FNX_ERROR_DECL(t)                                                                    \
  QOR_API void qor_fnx_kernel_##t##Error(int32_t code, int32_t index, const void* arg1,           \
                                         const void* arg2, void* res1, void* res2, const char* name);
QOR_FNX_ERROR_DECL(s)
QOR_FNX_ERROR_DECL(d)
QOR_FNX_ERROR_DECL(c)
QOR_FNX_ERROR_DECL(z)
#undef QOR_FNX_ERROR_DECL

QOR_API int dll_cpu_version(void);

/* ---- functions: tables, kernels, entry points -------------------------------------------- */
#include "qor/vm_shapes.h"

#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) QOR_FNX_DECLARE_##built(t, F, shape, la, ha, ep)
#define QOR_FNX_DECLARE_0(t, F, shape, la, ha, ep)
#define QOR_FNX_DECLARE_1(t, F, shape, la, ha, ep)                                               \
  typedef void(*qor_fnx_##t##F##_kernel) QOR_FNX_KPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t); \
  QOR_API extern qor_fnx_##t##F##_kernel qor_fnx_kernel_##t##F##_ttab[3];                      \
  QOR_API extern float qor_fnx_kernel_##t##F##_ctab[3];                                        \
  QOR_API void qor_fnx_kernel_##t##F##_##la QOR_FNX_KPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t); \
  QOR_API void qor_fnx_kernel_##t##F##_##ha QOR_FNX_KPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t); \
  QOR_API void qor_fnx_kernel_##t##F##_##ep QOR_FNX_KPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t); \
  QOR_API void _fnx##t##F QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t);                 \
  QOR_API void _fnx##t##F##_HA QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t);            \
  QOR_API void QOR_FNX_ENTRY_LA_##t(F) QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t);    \
  QOR_API void QOR_FNX_ENTRY_EP_##t(F) QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t);
#include "qor/functions.def"
#undef QOR_FN

QOR_EXTERN_C_END

#endif
