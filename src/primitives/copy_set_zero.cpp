// Typed Copy, Zero and Set entry points. Copy and Zero forward to the byte routines with
// length x element size bytes (types of equal size share one body); Set packs a pair into one
// value of twice the width and uses the fill routine of that width.
#include <cstring>

#include "primitives/owns.h"
#include "qor/prim.h"
#include "service/size_math.h"

namespace qor::prim {
namespace {

template <size_t E>
int32_t copy_body(const void* src, void* dst, int32_t len) {
  if (!src || !dst) return QOR_PRIM_STATUS_NULL_PTR;
  if (len < 1) return QOR_PRIM_STATUS_SIZE_ERR;
  size_t bytes;
  if (!qor::serv::checked_bytes(len, E, &bytes)) return QOR_PRIM_STATUS_SIZE_ERR;  // i386: len * E > 4 GB
  qor_dft_e8r_ownsCopy_8u(src, dst, bytes);
  return QOR_PRIM_STATUS_OK;
}

template <size_t E>
int32_t zero_body(void* dst, int32_t len) {
  if (!dst) return QOR_PRIM_STATUS_NULL_PTR;
  if (len < 1) return QOR_PRIM_STATUS_SIZE_ERR;
  size_t bytes;
  if (!qor::serv::checked_bytes(len, E, &bytes)) return QOR_PRIM_STATUS_SIZE_ERR;  // i386: len * E > 4 GB
  qor_dft_e8r_ownsZero_8u(dst, bytes);
  return QOR_PRIM_STATUS_OK;
}

// The element's bytes as an unsigned value of its width.
template <class U, class T>
U bits(const T& v) {
  static_assert(sizeof(U) == sizeof(T));
  U u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

template <class T>
int32_t set_body(const T& v, void* dst, int32_t len) {
  if (!dst) return QOR_PRIM_STATUS_NULL_PTR;
  if (len < 1) return QOR_PRIM_STATUS_SIZE_ERR;
  size_t bytes;
  if (!qor::serv::checked_bytes(len, sizeof(T), &bytes)) return QOR_PRIM_STATUS_SIZE_ERR;  // i386: len * size > 4 GB
  const size_t n = static_cast<size_t>(len);
  if constexpr (sizeof(T) == 1) {
    qor_dft_e8r_ownsSet_8u(bits<uint8_t>(v), dst, n);
  } else if constexpr (sizeof(T) == 2) {
    qor_dft_e8r_ownsSet_16u(bits<uint16_t>(v), dst, n);
  } else if constexpr (sizeof(T) == 4) {
    qor_dft_e8r_ownsSet_32s(static_cast<int32_t>(bits<uint32_t>(v)), dst, n);
  } else if constexpr (sizeof(T) == 8) {
    qor_dft_e8r_ownsSet_64s(static_cast<int64_t>(bits<uint64_t>(v)), dst, n);
  } else {
    static_assert(sizeof(T) == 16);
    int64_t half[2];
    std::memcpy(half, &v, sizeof half);
    qor_dft_e8r_ownsSet_64sc(half[0], half[1], dst, n);
  }
  return QOR_PRIM_STATUS_OK;
}

}  // namespace
}  // namespace qor::prim

#define QOR_PRIM_CZS_DEFS(sfx, T)                                                                \
  extern "C" QOR_API int32_t qor_dft_e8r_ochaCopy_##sfx(const T* src, T* dst, int32_t len) {    \
    return qor::prim::copy_body<sizeof(T)>(src, dst, len);                                       \
  }                                                                                              \
  extern "C" QOR_API int32_t qor_dft_e8r_ochaZero_##sfx(T* dst, int32_t len) {                  \
    return qor::prim::zero_body<sizeof(T)>(dst, len);                                            \
  }                                                                                              \
  extern "C" QOR_API int32_t qor_dft_e8r_ochaSet_##sfx(T val, T* dst, int32_t len) {            \
    return qor::prim::set_body(val, dst, len);                                                   \
  }

QOR_PRIM_CZS_DEFS(8u, uint8_t)
QOR_PRIM_CZS_DEFS(16s, int16_t)
QOR_PRIM_CZS_DEFS(16sc, QorPrim16sc)
QOR_PRIM_CZS_DEFS(32s, int32_t)
QOR_PRIM_CZS_DEFS(32sc, QorPrim32sc)
QOR_PRIM_CZS_DEFS(32f, float)
QOR_PRIM_CZS_DEFS(32fc, QorComplex8)
QOR_PRIM_CZS_DEFS(64s, int64_t)
QOR_PRIM_CZS_DEFS(64sc, QorPrim64sc)
QOR_PRIM_CZS_DEFS(64f, double)
QOR_PRIM_CZS_DEFS(64fc, QorComplex16)
