// Pack and unpack kernels: gather strided, indexed or masked elements into a contiguous
// vector and scatter a contiguous vector back out. One kernel per function and type serves
// all three accuracy slots.
//
// Elements move as raw bytes (a complex element as one 8- or 16-byte unit) and never pass
// through a floating-point register, so every bit pattern, signalling NaNs included, arrives
// unchanged. The width flag selects the integer layout: 1 means 32-bit index/mask arrays and
// the signed low 32 bits of n and of the increment; any other value means 64-bit arrays and
// the full 64-bit values. n <= 0 does nothing.
#include <cstdint>
#include <cstring>

#include "qor/vm.h"

namespace qor::vm {
namespace {

// A position in an element array: byte arithmetic on a signed 64-bit element offset. On i386
// the offset wraps to the pointer width, as the caller's own address arithmetic would.
template <size_t B>
inline const unsigned char* elem(const void* base, int64_t i) {
  return static_cast<const unsigned char*>(base) + static_cast<intptr_t>(i * static_cast<int64_t>(B));
}
template <size_t B>
inline unsigned char* elem(void* base, int64_t i) {
  return static_cast<unsigned char*>(base) + static_cast<intptr_t>(i * static_cast<int64_t>(B));
}
template <size_t B>
inline void move(void* dst, const void* src) {
  std::memcpy(dst, src, B);
}

enum class Op { PackI, PackV, PackM, UnpackI, UnpackV, UnpackM };

// The six operations for elements of B bytes and index/mask entries of type I. `inc` is the
// increment (I functions), `ix` the index or mask array (V and M functions).
template <Op op, size_t B, class I>
void run(int64_t n, const void* a, void* y, int64_t inc, const void* ix) {
  const I* v = static_cast<const I*>(ix);
  if constexpr (op == Op::PackI) {
    for (int64_t i = 0; i < n; ++i) move<B>(elem<B>(y, i), elem<B>(a, i * inc));
  } else if constexpr (op == Op::UnpackI) {
    for (int64_t i = 0; i < n; ++i) move<B>(elem<B>(y, i * inc), elem<B>(a, i));
  } else if constexpr (op == Op::PackV) {
    for (int64_t i = 0; i < n; ++i) move<B>(elem<B>(y, i), elem<B>(a, static_cast<int64_t>(v[i])));
  } else if constexpr (op == Op::UnpackV) {
    for (int64_t i = 0; i < n; ++i) move<B>(elem<B>(y, static_cast<int64_t>(v[i])), elem<B>(a, i));
  } else if constexpr (op == Op::PackM) {
    int64_t j = 0;
    for (int64_t i = 0; i < n; ++i)
      if (v[i] != 0) move<B>(elem<B>(y, j++), elem<B>(a, i));
  } else {  // UnpackM
    int64_t j = 0;
    for (int64_t i = 0; i < n; ++i)
      if (v[i] != 0) move<B>(elem<B>(y, i), elem<B>(a, j++));
  }
}

// Applies the width flag and dispatches to the 32- or 64-bit layout.
template <Op op, class T>
inline void kernel(int64_t n, const T* a, T* y, int64_t inc, const void* ix, int32_t width) {
  constexpr size_t B = sizeof(T);
  if (width == 1) {
    const int64_t n32 = static_cast<int32_t>(static_cast<uint32_t>(n));
    const int64_t inc32 = static_cast<int32_t>(static_cast<uint32_t>(inc));
    if (n32 > 0) run<op, B, int32_t>(n32, a, y, inc32, ix);
  } else {
    if (n > 0) run<op, B, int64_t>(n, a, y, inc, ix);
  }
}

}  // namespace
}  // namespace qor::vm

#define QOR_PACK_KERNELS(t)                                                                     \
  extern "C" QOR_API void qor_fnx_kernel_##t##PackI_PXHAynn QOR_FNX_KPARAMS_PACKI(              \
      QOR_FNX_T_##t, QOR_FNX_R_##t) {                                                           \
    qor::vm::kernel<qor::vm::Op::PackI>(n, a, y, incra, nullptr, width);                        \
  }                                                                                             \
  extern "C" QOR_API void qor_fnx_kernel_##t##PackV_PXHAynn QOR_FNX_KPARAMS_PACKV(              \
      QOR_FNX_T_##t, QOR_FNX_R_##t) {                                                           \
    qor::vm::kernel<qor::vm::Op::PackV>(n, a, y, 0, ia, width);                                 \
  }                                                                                             \
  extern "C" QOR_API void qor_fnx_kernel_##t##PackM_PXHAynn QOR_FNX_KPARAMS_PACKM(              \
      QOR_FNX_T_##t, QOR_FNX_R_##t) {                                                           \
    qor::vm::kernel<qor::vm::Op::PackM>(n, a, y, 0, ma, width);                                 \
  }                                                                                             \
  extern "C" QOR_API void qor_fnx_kernel_##t##UnpackI_PXHAynn QOR_FNX_KPARAMS_UNPACKI(          \
      QOR_FNX_T_##t, QOR_FNX_R_##t) {                                                           \
    qor::vm::kernel<qor::vm::Op::UnpackI>(n, a, y, incry, nullptr, width);                      \
  }                                                                                             \
  extern "C" QOR_API void qor_fnx_kernel_##t##UnpackV_PXHAynn QOR_FNX_KPARAMS_UNPACKV(          \
      QOR_FNX_T_##t, QOR_FNX_R_##t) {                                                           \
    qor::vm::kernel<qor::vm::Op::UnpackV>(n, a, y, 0, iy, width);                               \
  }                                                                                             \
  extern "C" QOR_API void qor_fnx_kernel_##t##UnpackM_PXHAynn QOR_FNX_KPARAMS_UNPACKM(          \
      QOR_FNX_T_##t, QOR_FNX_R_##t) {                                                           \
    qor::vm::kernel<qor::vm::Op::UnpackM>(n, a, y, 0, my, width);                               \
  }

QOR_PACK_KERNELS(s)
QOR_PACK_KERNELS(d)
QOR_PACK_KERNELS(c)
QOR_PACK_KERNELS(z)
#undef QOR_PACK_KERNELS
