// Helpers shared by the fuzz targets: decoding sizes and values from the input bytes, and a
// threading table that runs the library's "threads" one after another on the calling thread
// (so a multi-thread split is explored deterministically and without real threads).
#ifndef QOR_FUZZ_COMMON_H
#define QOR_FUZZ_COMMON_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "qor/service.h"

// Guards that steer the targets around faults already known and being fixed (each is marked
// "TEMPORARY GUARD" where it acts). Build with -DQOR_FUZZ_KNOWN_FAULT_GUARDS=0 (CMake option
// QOR_FUZZ_GUARDS=OFF) to drive the targets straight into them; remove the guards once the
// fixes have landed.
#ifndef QOR_FUZZ_KNOWN_FAULT_GUARDS
#define QOR_FUZZ_KNOWN_FAULT_GUARDS 1
#endif

namespace qor_fuzz {

constexpr bool kGuardKnownFaults = QOR_FUZZ_KNOWN_FAULT_GUARDS != 0;

// Integers that sizes, counts and identifiers are checked against: zero, signs, the 32-bit and
// 64-bit edges and values whose products with small factors wrap.
inline int64_t hostile_int(FuzzedDataProvider& in) {
  static const int64_t kValues[] = {0, -1, -2, 1, 2, 3, INT32_MAX, INT32_MIN, int64_t(INT32_MAX) + 1,
                                    int64_t(UINT32_MAX), int64_t(UINT32_MAX) + 2, INT64_MAX, INT64_MIN,
                                    INT64_MIN + 1, (int64_t(1) << 61) + 1, (int64_t(1) << 62) + 1,
                                    (int64_t(1) << 32) + 1, int64_t(1) << 31, (int64_t(1) << 30) + 1,
                                    46341, 65536, 1000000007};
  if (in.ConsumeBool()) return in.PickValueInArray(kValues);
  return in.ConsumeIntegral<int64_t>();
}

// Fills `v` with values taken from the input: raw bit patterns (NaN, infinities, subnormals all
// occur) or small integers and their halves, so that ties, repeats and sorted runs are common.
template <typename T>
void fill(FuzzedDataProvider& in, T* v, size_t count) {
  const int style = in.ConsumeIntegralInRange<int>(0, 3);
  for (size_t i = 0; i < count; ++i) {
    if (in.remaining_bytes() == 0) {
      v[i] = T(double(i % 7) - 3.0);
      continue;
    }
    switch (style) {
      case 0: v[i] = T(in.ConsumeIntegralInRange<int>(-8, 8)) / T(2); break;
      case 1: v[i] = T(i) + T(in.ConsumeIntegralInRange<int>(0, 3)) / T(4); break;  // non-decreasing
      case 2: v[i] = in.ConsumeFloatingPoint<T>(); break;
      default: {
        if constexpr (sizeof(T) == 8) {
          const uint64_t b = in.ConsumeIntegral<uint64_t>();
          std::memcpy(&v[i], &b, 8);
        } else {
          const uint32_t b = in.ConsumeIntegral<uint32_t>();
          std::memcpy(&v[i], &b, 4);
        }
      }
    }
  }
}

// A threading table whose parallel calls run every thread's share in order on this thread.
struct SerialThreads {
  static int32_t& budget() {
    static int32_t b = 1;
    return b;
  }
  static void parallel_for(int32_t count, int32_t, void* context, qor_loop_body body) {
    for (int32_t i = 0; i < count; ++i) body(i, 0, nullptr, context);
  }
  static void parallel_run(int32_t nthreads, void* context, qor_run_body body) {
    for (int32_t t = 0; t < nthreads; ++t) body(t, nullptr, nthreads, context);
  }
  static int32_t max_threads() { return budget(); }
  static const ThreadingServices* table(int32_t threads) {
    static const ThreadingServices t = {&parallel_for, nullptr, &parallel_run, nullptr, &max_threads};
    budget() = threads;
    return &t;
  }
};

// Null, the library's sequential table, or the serial table pretending to run 1..8 threads.
inline const ThreadingServices* pick_threading(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return nullptr;
    case 1: return qor_threading_sequential();
    default: return SerialThreads::table(in.ConsumeIntegralInRange<int32_t>(1, 8));
  }
}

// Runs Harness<float> or Harness<double> (made from the input and `args`) on the input.
template <template <typename> class Harness, typename... Args>
void run_in_precision(bool single, FuzzedDataProvider& in, Args... args) {
  if (single) {
    Harness<float> h(in, args...);
    h.run();
  } else {
    Harness<double> h(in, args...);
    h.run();
  }
}

}  // namespace qor_fuzz

#endif
