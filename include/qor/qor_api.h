/* Common definitions of the public C interface of libqor_fnx_e8r. */
#ifndef QOR_QOR_API_H
#define QOR_QOR_API_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define QOR_API __attribute__((visibility("default")))
#else
#define QOR_API
#endif

#ifdef __cplusplus
#define QOR_EXTERN_C_BEGIN extern "C" {
#define QOR_EXTERN_C_END }
#else
#define QOR_EXTERN_C_BEGIN
#define QOR_EXTERN_C_END
#endif

/* Complex elements: real part first. */
typedef struct QorComplex8 { float re, im; } QorComplex8;
typedef struct QorComplex16 { double re, im; } QorComplex16;

#endif
