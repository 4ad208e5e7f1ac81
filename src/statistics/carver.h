// One scratch allocation carved into pieces of 128-byte-aligned arrays.
#pragma once

#include <cstddef>
#include <cstdint>

#include "service/size_math.h"

namespace qor::ss {

// Carves one allocation into pieces; counts the bytes first when `base` is null (`overflow`
// is set when the count does not fit size_t).
struct Carver {
  char* base = nullptr;
  size_t used = 0;
  bool overflow = false;
  template <class U>
  U* take(uint64_t count) {
    U* r = base ? reinterpret_cast<U*>(base + used) : nullptr;
    size_t bytes;
    if (!serv::checked_mul(count, sizeof(U), &bytes) || !serv::checked_add(bytes, 127, &bytes) ||
        !serv::checked_add(used, bytes & ~size_t(127), &used))
      overflow = true;
    return r;
  }
};

}  // namespace qor::ss
