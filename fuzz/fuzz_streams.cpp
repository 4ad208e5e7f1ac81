// Fuzz target: random-number streams. The input decodes into up to 32 calls on four stream
// slots: creation with any identifier (valid rows and members, unbuilt and abstract rows, the
// legacy table, arbitrary values) and any seed words; abstract streams of the three kinds with
// refill callbacks that write too little, too much or fail; copy, copy-state, deletion,
// skip-ahead by any count, leapfrog with any index and stream count; chunks (private and keyed,
// search, count, deletion by kind, copy); the registry queries and refused registrations;
// generation through the uniform distributions (any method bits, bounds and count) and through
// the stream's row functions; and the modular-power helpers.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <type_traits>
#include <utility>
#include <vector>

#include "fuzz_common.h"
#include "qor/rng.h"

namespace {

using qor_fuzz::hostile_int;

constexpr int kSlots = 4;
constexpr int32_t kMaxN = 3000;

// Abstract refill callbacks: write `write` numbers (clamped by the harness to the ring's size
// unless `overrun` is set, which the library must refuse) or return a chosen status.
struct Refill {
  int32_t mode = 0;  // 0: fill all, 1: fill one, 2: return 0, 3: return -1, 4: return n + 1
  uint32_t counter = 1;
  // the bounds [a, b) each real ring buffer's numbers must lie in, by buffer address
  std::map<const void*, std::pair<double, double>> bounds;
};
Refill g_refill;

template <typename T>
int32_t refill(HoxStream, int32_t* n, T* buffer, int32_t*, int32_t*, int32_t* position) {
  const int32_t size = *n;
  int32_t count = size;
  switch (g_refill.mode) {
    case 1: count = 1; break;
    case 2: return 0;
    case 3: return -1;
    case 4: return size + 1;
    default: break;
  }
  for (int32_t k = 0; k < count; ++k) {
    const int32_t i = (*position + k) % size;
    const uint32_t v = g_refill.counter++ * 2654435761u;
    if constexpr (std::is_floating_point_v<T>) {
      // a number of the stream's interval, as the refill protocol requires
      const auto [a, b] = g_refill.bounds[buffer];
      T x = std::min(T(a + (b - a) * (double(v) / 4294967296.0)), std::nextafter(T(b), T(a)));
      buffer[i] = x >= T(a) ? x : T(a);
    } else {
      buffer[i] = T(v);
    }
  }
  return count;
}

struct Harness {
  FuzzedDataProvider& in;
  HoxStream slot[kSlots] = {};
  // ring buffers of abstract streams; they must outlive the streams (and their copies)
  std::vector<std::vector<uint32_t>> ibuf;
  std::vector<std::vector<double>> dbuf;
  std::vector<std::vector<float>> sbuf;
  std::vector<void*> blocks;  // chunk blocks the library did not take

  explicit Harness(FuzzedDataProvider& input) : in(input) {}

  int pick() { return in.ConsumeIntegralInRange<int>(0, kSlots - 1); }

  // A stream for the calls that take an existing stream: empty slots (null handles) are passed
  // too; every call refuses them or finds them empty.
  static constexpr bool kNullStreams = true;
  bool usable(HoxStream st) const { return kNullStreams || st != nullptr; }

  int32_t brng_id() {
    static const int32_t kIds[] = {HOX_BRNG_MCG31,    HOX_BRNG_MCG59,      HOX_BRNG_MRG32K3A,   HOX_BRNG_MT19937,
                                   HOX_BRNG_R250,     HOX_BRNG_IABSTRACT,  HOX_BRNG_DABSTRACT,  HOX_BRNG_SABSTRACT,
                                   HOX_BRNG_MT2203 + 5, HOX_BRNG_WH + 272, HOX_BRNG_PHILOX4X32X10, 0x1100000,
                                   0x20000000, 1,     2,                   3,                   -1};
    static const int32_t kBuilt[] = {HOX_BRNG_MCG31, HOX_BRNG_MCG59, HOX_BRNG_MRG32K3A};
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0: return in.ConsumeIntegral<int32_t>();
      case 1: return in.PickValueInArray(kIds) + in.ConsumeIntegralInRange<int32_t>(0, 2);  // members
      case 2:
      case 3: return in.PickValueInArray(kIds);
      default: return in.PickValueInArray(kBuilt);
    }
  }

  void create() {
    const int s = pick();
    __hoxDeleteStream(&slot[s]);
    uint32_t seeds[16];
    for (auto& w : seeds) w = in.ConsumeIntegral<uint32_t>();
    const int32_t n = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-2, 16) : int32_t(std::clamp<int64_t>(hostile_int(in), INT32_MIN, 0));
    const uint32_t* params = in.ConsumeIntegralInRange<int>(0, 7) ? seeds : nullptr;
    __hoxNewStreamEx(in.ConsumeIntegralInRange<int>(0, 31) ? &slot[s] : nullptr, brng_id(), n, params);
  }

  // Bounds of a real abstract stream: [0, 1), a finite interval, or one that must be refused
  // (empty, reversed, NaN).
  template <typename T>
  std::pair<T, T> interval() {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
      case 0: return {T(0), T(1)};
      case 1: {
        const T a = T(in.ConsumeIntegralInRange<int32_t>(-1000000, 1000000));
        return {a, a + T(in.ConsumeIntegralInRange<int32_t>(1, 1000000))};
      }
      case 2: return {T(1), in.PickValueInArray({T(1), T(0), T(NAN), T(-INFINITY)})};
      default: {
        const T a = in.ConsumeFloatingPoint<T>(), b = in.ConsumeFloatingPoint<T>();
        return {a, b};
      }
    }
  }

  void create_abstract() {
    const int s = pick();
    __hoxDeleteStream(&slot[s]);
    const int32_t n = in.ConsumeIntegralInRange<int32_t>(-1, 64);
    const size_t size = size_t(std::max(n, 1));
    const bool null_buffer = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    const bool null_callback = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
      case 0:
        ibuf.emplace_back(size);
        __hoxiNewAbstractStream(&slot[s], n, null_buffer ? nullptr : ibuf.back().data(),
                                null_callback ? nullptr : &refill<uint32_t>);
        break;
      case 1: {
        dbuf.emplace_back(size);
        const auto [a, b] = interval<double>();
        g_refill.bounds[dbuf.back().data()] = {a, b};
        __hoxdNewAbstractStream(&slot[s], n, null_buffer ? nullptr : dbuf.back().data(), a, b,
                                null_callback ? nullptr : &refill<double>);
        break;
      }
      default: {
        sbuf.emplace_back(size);
        const auto [a, b] = interval<float>();
        g_refill.bounds[sbuf.back().data()] = {a, b};
        __hoxsNewAbstractStream(&slot[s], n, null_buffer ? nullptr : sbuf.back().data(), a, b,
                                null_callback ? nullptr : &refill<float>);
      }
    }
  }

  void copy() {
    const int d = pick(), s = pick();
    if (in.ConsumeBool()) {
      if (d == s) return;
      __hoxDeleteStream(&slot[d]);
      __hoxCopyStream(&slot[d], slot[s]);
      return;
    }
    if (!slot[d] || !slot[s]) {
      __hoxCopyStreamState(slot[d], slot[s]);
      return;
    }
    __hoxCopyStreamState(slot[d], slot[s]);
  }

  void jump() {
    HoxStream st = slot[pick()];
    if (!usable(st)) return;
    if (in.ConsumeBool()) {
      const uint64_t nskip = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint64_t>(0, 100000) : in.ConsumeIntegral<uint64_t>();
      __hoxSkipAheadStream(st, nskip);
    } else {
      const int32_t k = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-1, 8) : int32_t(hostile_int(in));
      const int32_t ns = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-1, 8) : int32_t(hostile_int(in));
      __hoxLeapfrogStream(st, k, ns);
    }
  }

  void chunks() {
    HoxStream st = slot[pick()];
    if (!usable(st)) return;
    const int32_t kind = in.ConsumeIntegralInRange<int32_t>(-1, 4);
    switch (in.ConsumeIntegralInRange<int>(0, 5)) {
      case 0: {
        if (!st) return;
        const int32_t size = in.ConsumeIntegralInRange<int32_t>(0, 256);
        void* data = qor_serv_allocate(size_t(std::max(size, 1)), 128);
        uint32_t key[4] = {0, 0, 0, 0};
        const bool keyed = in.ConsumeBool();
        if (keyed) key[in.ConsumeIntegralInRange<int>(0, 3)] = in.ConsumeIntegralInRange<uint32_t>(1, 3);
        if (__hoxAddChunk(st, kind, keyed ? key : nullptr, data, size) != 0 || __hoxSearchChunk(st, kind) != data)
          qor_serv_deallocate(data);  // not taken (error, or a block with that key was shared instead)
        break;
      }
      case 1: __hoxSearchChunk(st, kind); __hoxGetNumChunks(st); break;
      case 2: __hoxDeleteChunksById(st, kind); break;
      case 3: __hoxDeleteChunks(st); break;
      case 4: {
        // A copy adds the source's chunks to the destination's, so repeated copies (a stream into
        // itself above all) double a list: past a thousand chunks the run would measure the
        // machine's memory, not the library.
        HoxStream d = slot[pick()];
        if (usable(d) && __hoxGetNumChunks(d) + __hoxGetNumChunks(st) <= 1024) __hoxCopyChunks(d, st);
        break;
      }
      default: {
        uint32_t key[4] = {in.ConsumeIntegralInRange<uint32_t>(0, 3), 0, 0, 0};
        HoxRODataEntry e;
        __hoxFindGlobRODataTableEntry(&e, in.ConsumeBool() ? key : nullptr);
        __hoxGenerateNewGlobalRODataTableEntryId(key, in.ConsumeIntegral<uint32_t>());
      }
    }
  }

  void registry() {
    BrngProperties p{};
    int32_t row = 0, member = 0;
    const int32_t id = brng_id();
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
      // A null properties record is refused after the identifier check.
      case 0: __hoxGetBrngProperties(id, kNullStreams && in.ConsumeBool() ? nullptr : &p); break;
      case 1: {
        const BrngProperties* table = __hoxGetBrngBaseOffset(id, &row, &member);
        __hoxIsBrngValid(table, row, member);
        __hoxGetNumRegBrngs();
        break;
      }
      default: {
        // Only registrations the registry must refuse: its 512 rows are process-wide and would
        // fill up over a fuzzing run.
        __hoxGetBrngProperties(HOX_BRNG_MCG31, &p);
        switch (in.ConsumeIntegralInRange<int>(0, 4)) {
          case 0: p.stateBytes = -1 - in.ConsumeIntegralInRange<int32_t>(0, 100); break;
          case 1: p.wordBytes = in.PickValueInArray({0, 1, 2, 3, 12, 32, -4}); break;
          case 2: p.seedWords = in.ConsumeIntegralInRange<int32_t>(INT32_MIN, 0); break;
          case 3: p.outputBits = in.ConsumeIntegralInRange<int32_t>(INT32_MIN, 0); break;
          default: p.iBRng = nullptr; break;
        }
        __hoxRegisterBrng(in.ConsumeIntegralInRange<int>(0, 15) ? &p : nullptr);
      }
    }
    if (HoxStream st = slot[pick()]; usable(st)) __hoxGetStreamStateBrng(st);
  }

  void generate() {
    HoxStream st = slot[pick()];
    if (!usable(st)) return;
    const int32_t n = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-2, 40) : in.ConsumeIntegralInRange<int32_t>(0, kMaxN);
    const size_t size = size_t(std::max(n, 1));
    const int32_t method = in.ConsumeBool() ? in.PickValueInArray({0, HOX_RNG_METHOD_ACCURATE}) : in.ConsumeIntegral<int32_t>();
    g_refill.mode = in.ConsumeIntegralInRange<int>(0, 7) > 4 ? in.ConsumeIntegralInRange<int>(1, 4) : 0;
    const bool null_out = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    switch (in.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: {
        std::vector<float> r(size);
        float a = in.ConsumeFloatingPoint<float>(), b = in.ConsumeFloatingPoint<float>();
        if (in.ConsumeBool()) a = 0.0f, b = 1.0f;
        _hoxsRngUniform(method, st, n, null_out ? nullptr : r.data(), a, b);
        break;
      }
      case 1: {
        std::vector<double> r(size);
        double a = in.ConsumeFloatingPoint<double>(), b = in.ConsumeFloatingPoint<double>();
        if (in.ConsumeBool()) a = -1.0, b = 1e-300;
        _hoxdRngUniform(method, st, n, null_out ? nullptr : r.data(), a, b);
        break;
      }
      case 2: {
        std::vector<int32_t> r(size);
        int32_t a = int32_t(hostile_int(in)), b = int32_t(hostile_int(in));
        if (in.ConsumeBool()) a = -5, b = 5;
        _hoxiRngUniform(method, st, n, null_out ? nullptr : r.data(), a, b);
        break;
      }
      case 3: {
        std::vector<uint32_t> r(size * 4);  // words of up to 16 bytes
        _hoxiRngUniformBits(method, st, n, null_out ? nullptr : r.data());
        break;
      }
      case 4: {
        std::vector<uint32_t> r(size);
        _hoxiRngUniformBits32(method, st, n, null_out ? nullptr : r.data());
        break;
      }
      case 5: {
        std::vector<uint64_t> r(size);
        _hoxiRngUniformBits64(method, st, n, null_out ? nullptr : r.data());
        break;
      }
      default: {  // the row's own functions, on a stream of that row
        BrngProperties p{};
        if (!st || __hoxGetBrngProperties(__hoxGetStreamStateBrng(st), &p) != 0) return;
        const int32_t m = std::max(n, 0);
        std::vector<uint32_t> r(size_t(std::max(m, 1)) * 4);
        const int which = in.ConsumeIntegralInRange<int>(0, 2);
        if (which == 0 && p.sBRng) p.sBRng(st, m, reinterpret_cast<float*>(r.data()), 0.0f, 1.0f);
        if (which == 1 && p.dBRng) p.dBRng(st, m / 2, reinterpret_cast<double*>(r.data()), -2.0, 3.0);
        if (which == 2 && p.iBRng) p.iBRng(st, m / 4, r.data());
      }
    }
  }

  void powers() {
    const uint32_t a = in.ConsumeIntegral<uint32_t>(), b = in.ConsumeIntegral<uint32_t>();
    const uint32_t lo = in.ConsumeIntegral<uint32_t>(), hi = in.ConsumeIntegral<uint32_t>();
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
      case 0: __hoxiPowMod2P31M1(a, lo, hi); break;
      case 1: __hoxiPowMod2P59(a, b, lo, hi); break;
      case 2: __hoxiPowMod(a, lo, hi, std::max<uint32_t>(b, 2)); break;
      default: {
        uint32_t v[3] = {a % 4294967087u, b % 4294967087u, lo % 4294967087u};
        const uint32_t row[3] = {0, 1403580, 4294156359u};
        __hoxiVect3PowMod(v, row, in.PickValueInArray({209u, 22853u}), lo, hi);
      }
    }
  }

  void run() {
    for (int op = 0; op < 32 && in.remaining_bytes() > 0; ++op) {
      switch (in.ConsumeIntegralInRange<int>(0, 9)) {
        case 0: create(); break;
        case 1: create_abstract(); break;
        case 2: copy(); break;
        case 3: jump(); break;
        case 4: chunks(); break;
        case 5: registry(); break;
        case 6: powers(); break;
        case 7: __hoxDeleteStream(in.ConsumeBool() ? &slot[pick()] : nullptr); break;
        default: generate();
      }
    }
    for (auto& s : slot) __hoxDeleteStream(&s);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  g_refill = Refill{};
  Harness h(in);
  h.run();
  return 0;
}
