// Overflow-checked size arithmetic for sizes computed from caller integers.
//
// checked_mul(a, b, &out) and checked_add(a, b, &out) compute a * b or a + b exactly and store
// it in out when it fits out's type (size_t, int64_t, ...), returning true; they return false,
// leaving out unspecified, when the exact result does not fit (including a negative result for an
// unsigned out). Mixed operand types are fine: checked_mul(int64_t(n), sizeof(double), &bytes)
// refuses a negative n and any n whose byte count exceeds size_t on the target (32 bits on
// i386).
#pragma once

namespace qor::serv {

template <class A, class B, class R>
constexpr inline bool checked_mul(A a, B b, R* out) {
  return !__builtin_mul_overflow(a, b, out);
}

template <class A, class B, class R>
constexpr inline bool checked_add(A a, B b, R* out) {
  return !__builtin_add_overflow(a, b, out);
}

}  // namespace qor::serv
