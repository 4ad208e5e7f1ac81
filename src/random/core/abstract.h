// State of the three abstract stream kinds (after the 16-byte header).
#pragma once

#include <cstddef>
#include <cstdint>

#include "random/core/stream.h"

namespace qor::rng {

struct IAbstractState {
  int32_t n;         // ring buffer size
  int32_t p;         // ring position of the next unread number
  int32_t c;         // numbers of the ring already consumed (n: all)
  uint32_t* buffer;
  HoxiAbstractCallBack callback;
};
struct DAbstractState {
  int32_t n, p, c;
  double a, b;       // the interval the buffered numbers lie on
  double* buffer;
  HoxdAbstractCallBack callback;
};
struct SAbstractState {
  int32_t n, p, c;
  float a, b;
  float* buffer;
  HoxsAbstractCallBack callback;
};

constexpr int32_t kIAbstractBytes = int32_t(sizeof(StreamHeader) + sizeof(IAbstractState));
constexpr int32_t kDAbstractBytes = int32_t(sizeof(StreamHeader) + sizeof(DAbstractState));
constexpr int32_t kSAbstractBytes = int32_t(sizeof(StreamHeader) + sizeof(SAbstractState));
#if defined(__i386__)
static_assert(kIAbstractBytes == 36 && kDAbstractBytes == 52 && kSAbstractBytes == 44);
static_assert(offsetof(DAbstractState, a) == 12 && offsetof(DAbstractState, buffer) == 28);
#endif

}  // namespace qor::rng
