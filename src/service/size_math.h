// Overflow-checked arithmetic for sizes computed from caller integers.
//
// checked_mul(a, b, &out) and checked_add(a, b, &out) compute a * b or a + b exactly and store
// it in *out when it fits out's type (size_t for byte counts, 32 bits on i386; int64_t; int32_t
// for counts handed on to 32-bit interfaces), returning true; they return false, leaving *out
// alone, when the exact result does not fit (a negative result for an unsigned out included).
// Mixed operand types are fine: checked_mul(int64_t(n), sizeof(double), &bytes) refuses a
// negative n and any n whose byte count exceeds size_t on the target.
#pragma once

#include <cstddef>

namespace qor::serv {

template <class T, class A, class B>
[[nodiscard]] constexpr inline bool checked_mul(A a, B b, T* out) {
  T r{};
  if (__builtin_mul_overflow(a, b, &r)) return false;
  *out = r;
  return true;
}

template <class T, class A, class B>
[[nodiscard]] constexpr inline bool checked_add(A a, B b, T* out) {
  T r{};
  if (__builtin_add_overflow(a, b, &r)) return false;
  *out = r;
  return true;
}

// count * size bytes, or false when that does not fit size_t (or count is negative).
template <class N>
[[nodiscard]] constexpr inline bool checked_bytes(N count, size_t size, size_t* out) {
  if (count < 0) return false;
  return checked_mul(count, size, out);
}

}  // namespace qor::serv
