// Requirements of a compute method: which of the task's arrays each requested estimate needs.
//
// A method numbers the estimates it computes 0, 1, ... (compact bits) and the arrays it reads or
// writes 0, 1, ... (presence bits; a bit that no array sets stands for a requirement that can not
// be met, such as an estimate the chosen method does not compute). Its tables give, per compact
// bit, the estimate bit of the 64-bit request and the presence bits it needs; per presence bit,
// the status reported when it is missing. The first missing presence bit (the lowest) decides.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qor::ss {

constexpr uint32_t bit(int b) { return 1u << b; }
template <class... B>
constexpr uint32_t bits(B... b) {
  return (bit(b) | ...);
}

// The compact mask of a 64-bit estimate request: bit b when the request has est_bit[b].
template <size_t N>
uint32_t compact_mask(uint64_t estimates, const uint64_t (&est_bit)[N]) {
  uint32_t req = 0;
  for (size_t b = 0; b < N; ++b)
    if (estimates & est_bit[b]) req |= bit(static_cast<int>(b));
  return req;
}

// The presence bits the requested compact bits need: the OR of their table rows.
template <size_t N>
uint32_t needed_mask(uint32_t req, const uint32_t (&table)[N]) {
  uint32_t need = 0;
  for (size_t b = 0; b < N; ++b)
    if (req & bit(static_cast<int>(b))) need |= table[b];
  return need;
}

// 0 when every needed presence bit is present, else the status of the lowest missing one.
template <size_t M>
int32_t first_missing(uint32_t need, uint32_t present, const int32_t (&status)[M]) {
  const uint32_t missing = need & ~present;
  return missing ? status[__builtin_ctz(missing)] : 0;
}

}  // namespace qor::ss
