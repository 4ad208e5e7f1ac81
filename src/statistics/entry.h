// The two exported forms (double, single) of a compute entry point that takes (task, estimates,
// method, threading), from one template `fn<T>`.
#pragma once

#include "qor/stats.h"

#define QOR_SS_COMPUTE_ENTRY(name, fn)                                                             \
  extern "C" QOR_API int32_t _hoxdSS##name(HoxSSTask* t, uint64_t e, uint64_t m,                 \
                                           const ThreadingServices* th) {                         \
    return fn<double>(t, e, m, th);                                                                \
  }                                                                                                \
  extern "C" QOR_API int32_t _hoxsSS##name(HoxSSTask* t, uint64_t e, uint64_t m,                 \
                                           const ThreadingServices* th) {                         \
    return fn<float>(t, e, m, th);                                                                 \
  }
