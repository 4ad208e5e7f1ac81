/* Array primitives: copy, set and zero over typed arrays, and least-significant-digit radix
 * sorts of keys (in place, with a caller-supplied buffer) or of index arrays.
 *
 * Every function returns a signed 32-bit status: QOR_PRIM_STATUS_OK, or one of the errors
 * below. Pointers are checked before sizes; nothing is written when a check fails. */
#ifndef QOR_PRIM_H
#define QOR_PRIM_H

#include "qor/qor_api.h"

#define QOR_PRIM_STATUS_OK 0
#define QOR_PRIM_STATUS_SIZE_ERR (-6)    /* length < 1, or a stride smaller than the key size */
#define QOR_PRIM_STATUS_NULL_PTR (-8)    /* a pointer argument is null */

/* Pair element types (real part first). The float pairs are QorComplex8 / QorComplex16. */
typedef struct QorPrim16sc { int16_t re, im; } QorPrim16sc;
typedef struct QorPrim32sc { int32_t re, im; } QorPrim32sc;
typedef struct QorPrim64sc { int64_t re, im; } QorPrim64sc;

QOR_EXTERN_C_BEGIN

/* ---- copy, zero, set: (source, destination, length) / (destination, length) /
 *      (value, destination, length); length counts elements ------------------------------- */
#define QOR_PRIM_CZS_DECLS(sfx, T)                                                              \
  QOR_API int32_t qor_dft_e8r_ochaCopy_##sfx(const T* src, T* dst, int32_t len);                \
  QOR_API int32_t qor_dft_e8r_ochaZero_##sfx(T* dst, int32_t len);                              \
  QOR_API int32_t qor_dft_e8r_ochaSet_##sfx(T val, T* dst, int32_t len);

QOR_PRIM_CZS_DECLS(8u, uint8_t)
QOR_PRIM_CZS_DECLS(16s, int16_t)
QOR_PRIM_CZS_DECLS(16sc, QorPrim16sc)
QOR_PRIM_CZS_DECLS(32s, int32_t)
QOR_PRIM_CZS_DECLS(32sc, QorPrim32sc)
QOR_PRIM_CZS_DECLS(32f, float)
QOR_PRIM_CZS_DECLS(32fc, QorComplex8)
QOR_PRIM_CZS_DECLS(64s, int64_t)
QOR_PRIM_CZS_DECLS(64sc, QorPrim64sc)
QOR_PRIM_CZS_DECLS(64f, double)
QOR_PRIM_CZS_DECLS(64fc, QorComplex16)
#undef QOR_PRIM_CZS_DECLS

/* ---- radix sorts ---------------------------------------------------------------------------
 * In place: sorts keys[0..len-1]; `buffer` holds len keys of scratch (the 8u sorts only need it
 * non-null). Ascending order of floats is -NaN < -inf < negative < -0 < +0 < positive < +inf
 * < +NaN (by bit pattern among NaNs); descending is its exact reverse.
 *
 * Index: writes to `index` the numbers 0..len-1 ordered by key, where key i is read at
 * (const char*)keys + i*stride (stride in bytes, at least the key size); equal keys keep
 * ascending index order in both directions. `index_buffer` holds len 32-bit entries. */
#define QOR_PRIM_SORT_DECLS(sfx, T)                                                             \
  QOR_API int32_t qor_dft_e8r_ochaSortRadixAscend_##sfx##_I(T* keys, T* buffer, int32_t len);   \
  QOR_API int32_t qor_dft_e8r_ochaSortRadixDescend_##sfx##_I(T* keys, T* buffer, int32_t len);
#define QOR_PRIM_INDEX_DECLS(sfx, T)                                                            \
  QOR_API int32_t qor_dft_e8r_ochaSortRadixIndexAscend_##sfx(const T* keys, int32_t stride,     \
      int32_t* index, int32_t* index_buffer, int32_t len);                                      \
  QOR_API int32_t qor_dft_e8r_ochaSortRadixIndexDescend_##sfx(const T* keys, int32_t stride,    \
      int32_t* index, int32_t* index_buffer, int32_t len);

QOR_PRIM_SORT_DECLS(32f, float)
QOR_PRIM_SORT_DECLS(32s, int32_t)
QOR_PRIM_SORT_DECLS(32u, uint32_t)
QOR_PRIM_SORT_DECLS(16s, int16_t)
QOR_PRIM_SORT_DECLS(16u, uint16_t)
QOR_PRIM_SORT_DECLS(8u, uint8_t)
QOR_PRIM_SORT_DECLS(64f, double)
QOR_PRIM_INDEX_DECLS(32f, float)
QOR_PRIM_INDEX_DECLS(32s, int32_t)
QOR_PRIM_INDEX_DECLS(32u, uint32_t)
QOR_PRIM_INDEX_DECLS(16s, int16_t)
QOR_PRIM_INDEX_DECLS(16u, uint16_t)
QOR_PRIM_INDEX_DECLS(8u, uint8_t)
#undef QOR_PRIM_SORT_DECLS
#undef QOR_PRIM_INDEX_DECLS

QOR_EXTERN_C_END

#endif
