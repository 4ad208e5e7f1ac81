// Fuzz target: summary-statistics tasks. The input decodes into a task creation (double or
// single, 32- or 64-bit integers, sizes valid or hostile, any storage, optional weights and
// variable selection) followed by up to 24 calls: the generic editors with any parameter id,
// the convenience editors with any mix of null and non-null addresses, the moments method with
// any estimate and method bits and a threading table, changes of the integers and data behind
// the task's addresses, and the statistical helpers (selection, sorting, chi-square, ln Gamma,
// rank test, inverse).
//
// Every array the harness hands over is exactly as large as the parameter it stands for needs
// at the dimension and count the task was made with (sizes read through the task later change
// only to smaller valid values, or to values the library must refuse), so AddressSanitizer
// reports only accesses the library makes beyond what a caller owes it.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "fuzz_common.h"
#include "qor/stats.h"
#include "qor/stats_helpers.h"

namespace {

using qor_fuzz::fill;
using qor_fuzz::hostile_int;

template <typename T>
struct Api;
#define QOR_FUZZ_SS_API(T, t)                                                                       \
  template <>                                                                                      \
  struct Api<T> {                                                                                  \
    static constexpr auto NewTask = __hox##t##SSNewTask;                                           \
    static constexpr auto EditTask = __hox##t##SSEditTask;                                         \
    static constexpr auto EditMoments = __hox##t##SSEditMoments;                                   \
    static constexpr auto EditSums = __hox##t##SSEditSums;                                         \
    static constexpr auto EditCovCor = __hox##t##SSEditCovCor;                                     \
    static constexpr auto EditCP = __hox##t##SSEditCP;                                             \
    static constexpr auto EditPartialCovCor = __hox##t##SSEditPartialCovCor;                       \
    static constexpr auto EditQuantiles = __hox##t##SSEditQuantiles;                               \
    static constexpr auto EditStreamQuantiles = __hox##t##SSEditStreamQuantiles;                   \
    static constexpr auto EditPooledCovariance = __hox##t##SSEditPooledCovariance;                 \
    static constexpr auto EditMissingVals = __hox##t##SSEditMissingVals;                           \
    static constexpr auto EditOutDetect = __hox##t##SSEditOutDetect;                               \
    static constexpr auto EditRCov = __hox##t##SSEditRCov;                                         \
    static constexpr auto EditMtxParametrz = __hox##t##SSEditMtxParametrz;                         \
    static constexpr auto Basic = _hox##t##SSBasic;                                                \
    static constexpr auto QSortSelect = __hox##t##QSortSelect;                                     \
    static constexpr auto QSort = __hox##t##QSort;                                                 \
    static constexpr auto QSortStep = __hox##t##QSortStep;                                         \
    static constexpr auto TestCovRank = __hox##t##TestCovRank;                                     \
    static constexpr auto InvCov = __hox##t##InvCov;                                               \
  };
QOR_FUZZ_SS_API(double, d)
QOR_FUZZ_SS_API(float, s)
#undef QOR_FUZZ_SS_API

constexpr int kIds = 80;
constexpr int64_t kMaxP = 12, kMaxN = 400;

bool is_integer_id(int id) {
  static const int kInt[] = {1, 2, 4, 5, 20, 22, 24, 28, 29, 32, 34, 36, 37, 41, 44, 45, 47, 49,
                             50, 52, 54, 56, 58, 61, 62, 64, 75, 79};
  return std::find(std::begin(kInt), std::end(kInt), id) != std::end(kInt);
}

template <typename T>
struct Harness {
  FuzzedDataProvider& in;
  bool wide;
  int64_t p0, n0;  // the dimension and count every buffer is sized for
  std::vector<T> real[kIds];
  std::vector<unsigned char> ints[kIds];  // integer cells and arrays, 4 or 8 bytes per entry
  HoxSSTask* task = nullptr;

  Harness(FuzzedDataProvider& input, bool w, int64_t p, int64_t n) : in(input), wide(w), p0(p), n0(n) {
    const size_t P = size_t(p), N = size_t(n), big = std::max(P * N, P * P) + 8;
    for (int id = 3; id < kIds; ++id) {
      if (is_integer_id(id)) continue;
      size_t size = big;
      if ((id >= 7 && id <= 18) || (id >= 67 && id <= 73) || id == 76 || id == 77) size = P;
      if (id == 19 || id == 21 || id == 74) size = P * P;
      if (id == 3 || id == 78) size = P * N;
      if (id == 6) size = N;
      if (id == 23) size = 2;
      real[id].assign(size, T(0));
    }
    const size_t width = wide ? 8 : 4;
    for (int id = 1; id < kIds; ++id) {
      if (!is_integer_id(id)) continue;
      size_t count = 1;
      if (id == 5 || id == 45) count = P;
      if (id == 28 || id == 32) count = std::max<size_t>(N, 1);
      ints[id].assign(count * width, 0);
    }
    set_int(1, 0, p);
    set_int(2, 0, n);
    set_int(4, 0, HOX_SS_STORAGE_ROWS);
  }

  void set_int(int id, size_t i, int64_t v) {
    if (wide) {
      std::memcpy(ints[id].data() + 8 * i, &v, 8);
    } else {
      const int32_t w = int32_t(v);
      std::memcpy(ints[id].data() + 4 * i, &w, 4);
    }
  }
  size_t int_count(int id) const { return ints[id].size() / (wide ? 8 : 4); }

  // A value for an integer cell: a valid size no larger than the buffers, a storage code, or a
  // value the library must refuse (negative, zero, or beyond 32 bits in a 64-bit task).
  int64_t cell_value(int id) {
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
      case 0: return id == 1 ? in.ConsumeIntegralInRange<int64_t>(1, p0) : in.ConsumeIntegralInRange<int64_t>(0, n0);
      case 1: {
        static const int64_t kCodes[] = {HOX_SS_STORAGE_ROWS, HOX_SS_STORAGE_COLUMNS, HOX_SS_MATRIX_FULL,
                                         HOX_SS_MATRIX_PACKED_1, HOX_SS_MATRIX_PACKED_2, 3, 0x30000};
        return in.PickValueInArray(kCodes);
      }
      case 2: return in.ConsumeIntegralInRange<int64_t>(-3, 0);
      case 3: return wide ? (int64_t(1) << 31) + in.ConsumeIntegralInRange<int64_t>(0, 3) : -1;
      default: return in.ConsumeIntegralInRange<int64_t>(0, 8);
    }
  }

  // The integer cells that hold sizes accept only values that keep within the buffers.
  void set_cell(int id) {
    int64_t v = cell_value(id);
    if (id == 1 && v > p0) v = p0;
    if (id == 2 && v > n0) v = n0;
    if ((id == 1 || id == 2) && !wide && v > INT32_MAX) v = -1;
    if ((id == 1 || id == 2) && v > 0 && v > INT32_MAX) v = INT64_MAX;  // refused as too large
    set_int(id, 0, v);
  }

  void fill_indices(int id) {
    for (size_t i = 0; i < int_count(id); ++i)
      set_int(id, i, in.ConsumeBool() ? int64_t(in.ConsumeBool()) : in.ConsumeIntegral<int32_t>());
  }

  const void* int_addr(int id) { return id > 0 && id < kIds && !ints[id].empty() ? ints[id].data() : nullptr; }
  T* real_addr(int id) { return id > 0 && id < kIds && !real[id].empty() ? real[id].data() : nullptr; }
  // An address for a convenience-editor argument: the parameter's buffer or null.
  T* maybe(int id) { return in.ConsumeBool() ? real_addr(id) : nullptr; }
  const void* maybe_int(int id) { return in.ConsumeBool() ? int_addr(id) : nullptr; }

  void create() {
    fill(in, real[3].data(), real[3].size());
    fill(in, real[6].data(), real[6].size());
    fill_indices(5);
    const int flags = in.ConsumeIntegral<uint8_t>();
    const void* p = flags & 1 ? nullptr : int_addr(1);
    const void* n = flags & 2 ? nullptr : int_addr(2);
    const void* st = flags & 4 ? nullptr : int_addr(4);
    const T* x = flags & 8 ? nullptr : real_addr(3);
    const T* w = flags & 16 ? real_addr(6) : nullptr;
    const void* idx = flags & 32 ? int_addr(5) : nullptr;
    static const int64_t one = 1;
    if (flags & 64) set_cell(4);
    Api<T>::NewTask(flags & 128 ? nullptr : &task, p, n, st, x, w, idx, wide ? &one : nullptr);
  }

  void edit_generic(bool integer) {
    int64_t id = in.ConsumeBool() ? in.ConsumeIntegralInRange<int64_t>(0, kIds) : hostile_int(in);
    const int k = id >= 0 && id < kIds ? int(id) : 0;
    const bool null_address = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    HoxSSTask* t = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : task;
    if (integer) {
      Api<T>::EditTask(t, id, nullptr);  // the real editor must refuse or ignore what is not its
      __hoxiSSEditTask(t, id, null_address ? nullptr : int_addr(k));
    } else {
      // A real id gets its own buffer; an integer id gets the integer cell, which the real
      // editor must refuse without storing it.
      const T* address = real_addr(k) ? real_addr(k) : static_cast<const T*>(int_addr(k));
      Api<T>::EditTask(t, id, null_address ? nullptr : address);
    }
  }

  void edit_convenience() {
    switch (in.ConsumeIntegralInRange<int>(0, 11)) {
      case 0: Api<T>::EditMoments(task, maybe(7), maybe(8), maybe(9), maybe(10), maybe(11), maybe(12), maybe(13)); break;
      case 1: Api<T>::EditSums(task, maybe(67), maybe(68), maybe(69), maybe(70), maybe(71), maybe(72), maybe(73)); break;
      case 2: Api<T>::EditCovCor(task, maybe(7), maybe(19), maybe_int(20), maybe(21), maybe_int(22)); break;
      case 3: Api<T>::EditCP(task, maybe(7), maybe(67), maybe(74), maybe_int(75)); break;
      case 4:
        Api<T>::EditPartialCovCor(task, maybe_int(45), maybe(19), maybe_int(20), maybe(21), maybe_int(22), maybe(46),
                                  maybe_int(47), maybe(48), maybe_int(49));
        break;
      case 5: Api<T>::EditQuantiles(task, maybe_int(24), maybe(25), maybe(26), maybe(27), maybe_int(44)); break;
      case 6: Api<T>::EditStreamQuantiles(task, maybe_int(64), maybe(65), maybe(66), maybe_int(62), maybe(63)); break;
      case 7:
        Api<T>::EditPooledCovariance(task, maybe_int(28), maybe(30), maybe(31), maybe_int(32), maybe(33), maybe(35));
        break;
      case 8:
        Api<T>::EditMissingVals(task, maybe_int(50), maybe(51), maybe_int(52), maybe(53), maybe_int(58), maybe(59),
                                maybe_int(54), maybe(55), maybe_int(56), maybe(57));
        break;
      case 9: Api<T>::EditOutDetect(task, maybe_int(41), maybe(42), maybe(43)); break;
      case 10: Api<T>::EditRCov(task, maybe_int(36), maybe_int(37), maybe(38), maybe(39), maybe(40)); break;
      default: Api<T>::EditMtxParametrz(task, maybe(21), maybe_int(22), maybe(60), maybe_int(61)); break;
    }
  }

  void compute() {
    static const uint64_t kMethods[] = {HOX_SS_METHOD_FAST, HOX_SS_METHOD_ONE_PASS, HOX_SS_METHOD_GIVEN_MEAN,
                                        HOX_SS_METHOD_FROM_SUMS, HOX_SS_METHOD_FROM_CROSS_PRODUCT,
                                        HOX_SS_METHOD_FROM_SUMS | HOX_SS_METHOD_FROM_CROSS_PRODUCT,
                                        HOX_SS_METHOD_TBS, HOX_SS_METHOD_RADIX_SORT};
    uint64_t estimates = in.ConsumeIntegral<uint64_t>();
    if (in.ConsumeBool()) estimates &= 0x1FFE0FFFFFULL;  // mostly known bits
    const uint64_t method = in.ConsumeBool() ? in.PickValueInArray(kMethods) : in.ConsumeIntegral<uint64_t>();
    const ThreadingServices* threads = qor_fuzz::pick_threading(in);
    if (in.ConsumeBool()) {  // the accumulated weights decide whether a call continues
      real[23][0] = in.ConsumeBool() ? T(0) : T(in.ConsumeIntegralInRange<int>(0, 50));
      real[23][1] = real[23][0];
    }
    Api<T>::Basic(in.ConsumeIntegralInRange<int>(0, 31) == 0 ? nullptr : task, estimates, method, threads);
  }

  void change_values() {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
      case 0: set_cell(in.ConsumeBool() ? 1 : 2); break;
      case 1: {
        static const int kCells[] = {4, 20, 22, 75};
        const int id = in.PickValueInArray(kCells);
        set_int(id, 0, cell_value(id));
        break;
      }
      case 2: fill_indices(5); break;
      default: {
        const int id = in.PickValueInArray({3, 6, 7, 8, 11, 19, 67, 74});
        fill(in, real[id].data(), real[id].size());
      }
    }
  }

  void helpers() {
    const int64_t n = in.ConsumeIntegralInRange<int64_t>(0, 64);
    std::vector<T> a(size_t(std::max<int64_t>(n, 1)));
    fill(in, a.data(), a.size());
    switch (in.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: Api<T>::QSortSelect(int32_t(n), in.ConsumeBool() ? a.data() : nullptr, int32_t(hostile_int(in) % 80)); break;
      case 1: Api<T>::QSort(int32_t(n), in.ConsumeBool() ? a.data() : nullptr); break;
      case 2: {
        const int32_t stride = in.ConsumeIntegralInRange<int32_t>(1, 4);
        std::vector<T> b(size_t(std::max<int64_t>(n, 1)) * size_t(stride));
        fill(in, b.data(), b.size());
        Api<T>::QSortStep(int32_t(n), b.data(), stride);
        break;
      }
      case 3: {
        double df = in.ConsumeFloatingPoint<double>(), x = in.ConsumeFloatingPoint<double>();
        if (in.ConsumeBool()) {
          df = in.ConsumeFloatingPointInRange<double>(-2.0, 400.0);
          x = in.ConsumeFloatingPointInRange<double>(-2.0, 800.0);
        }
        __hoxdChi2PDF(df, x);
        __hoxdChi2CDF(df, x);
        __hoxdChi2ICDF(df, in.ConsumeProbability<double>());
        __hoxdLGamma(in.ConsumeFloatingPoint<double>());
        __hoxdSqrt(x);
        break;
      }
      default: {  // rank test and inverse of a p x p matrix
        const int32_t p = in.ConsumeIntegralInRange<int32_t>(-1, 12);
        std::vector<T> m(size_t(std::max(p, 1)) * size_t(std::max(p, 1)));
        fill(in, m.data(), m.size());
        if (in.ConsumeBool()) {  // symmetric, often positive definite
          for (int32_t i = 0; i < p; ++i)
            for (int32_t j = 0; j < i; ++j) m[size_t(i) * p + j] = m[size_t(j) * p + i];
          for (int32_t i = 0; i < p; ++i) m[size_t(i) * p + i] += T(p);
        }
        if (in.ConsumeBool()) Api<T>::TestCovRank(p, m.data());
        else Api<T>::InvCov(p, m.data());
      }
    }
  }

  void run() {
    create();
    for (int op = 0; op < 24 && in.remaining_bytes() > 0; ++op) {
      switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: edit_generic(false); break;
        case 1: edit_generic(true); break;
        case 2: edit_convenience(); break;
        case 3:
        case 4: compute(); break;
        case 5: change_values(); break;
        case 6: helpers(); break;
        default:
          if (in.ConsumeBool()) {
            __hoxSSDeleteTask(&task);
            create();
          } else {
            __hoxSSDeleteTask(nullptr);
          }
      }
    }
    __hoxSSDeleteTask(&task);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool single = in.ConsumeBool();
  const bool wide = in.ConsumeBool();
  const int64_t p = in.ConsumeIntegralInRange<int64_t>(1, kMaxP);
  const int64_t n = in.ConsumeIntegralInRange<int64_t>(0, kMaxN);
  qor_fuzz::run_in_precision<Harness>(single, in, wide, p, n);
  return 0;
}
