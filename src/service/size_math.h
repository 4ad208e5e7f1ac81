// Overflow-checked arithmetic for sizes computed from caller integers. Each function stores the
// exact result and returns true, or returns false (leaving *out alone) when the result does not
// fit T. T is the type the size is used in: size_t for byte counts (32 bits on i386), int32_t for
// counts handed on to 32-bit interfaces.
#pragma once

#include <cstddef>

namespace qor::serv {

template <class T, class A, class B>
[[nodiscard]] inline bool checked_mul(A a, B b, T* out) {
  T r;
  if (__builtin_mul_overflow(a, b, &r)) return false;
  *out = r;
  return true;
}

template <class T, class A, class B>
[[nodiscard]] inline bool checked_add(A a, B b, T* out) {
  T r;
  if (__builtin_add_overflow(a, b, &r)) return false;
  *out = r;
  return true;
}

// count * size bytes, or false when that does not fit size_t (or count is negative).
template <class N>
[[nodiscard]] inline bool checked_bytes(N count, size_t size, size_t* out) {
  if (count < 0) return false;
  return checked_mul(count, size, out);
}

}  // namespace qor::serv
