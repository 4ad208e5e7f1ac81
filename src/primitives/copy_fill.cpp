// Byte copier and fill routines behind the typed Copy/Set/Zero primitives, and the cache-size
// query that decides when they switch to non-temporal stores.
//
// Plan shared by the copier and the fills: below 64 bytes a plain loop; otherwise one
// unaligned 16-byte store at the start, then 16-byte stores from the destination's next
// 16-byte boundary, and one unaligned 16-byte store that ends exactly at the end (it may
// overlap bytes already written with the same values). Transfers of at least 1 MiB that are
// also at least half the largest cache bypass the cache: the copier first reads one word of
// every 64 bytes of a 256 KiB chunk to bring it in, then streams it out; a store fence ends
// the run.
#include <cpuid.h>
#include <emmintrin.h>

#include <atomic>
#include <cstring>

#include "primitives/owns.h"

namespace qor::prim {
namespace {

constexpr size_t kSmall = 64;
constexpr size_t kLarge = size_t(1) << 20;  // 1 MiB
constexpr size_t kChunk = 0x40000;          // 256 KiB

// Cache descriptors of the processor-identification leaf 2, with the size coded as
// (code >> 4) << ((code & 15) + 18) bytes. Only second- and third-level caches of at least
// 256 KiB are listed: the smaller ones never decide the non-temporal threshold.
struct Descriptor {
  uint8_t descriptor, code;
};
constexpr Descriptor kDescriptors[] = {
    {0x21, 0x10}, {0x22, 0x11}, {0x23, 0x12}, {0x25, 0x13}, {0x29, 0x14}, {0x3C, 0x10},
    {0x3E, 0x11}, {0x42, 0x10}, {0x43, 0x11}, {0x44, 0x12}, {0x45, 0x13}, {0x46, 0x14},
    {0x47, 0x15}, {0x48, 0x32}, {0x49, 0x14}, {0x4A, 0x33}, {0x4B, 0x15}, {0x4C, 0x34},
    {0x4D, 0x16}, {0x4E, 0x33}, {0x78, 0x12}, {0x7A, 0x10}, {0x7B, 0x11}, {0x7C, 0x12},
    {0x7D, 0x13}, {0x7F, 0x11}, {0x80, 0x11}, {0x82, 0x10}, {0x83, 0x11}, {0x84, 0x12},
    {0x85, 0x13}, {0x86, 0x11}, {0x87, 0x12}, {0xD0, 0x11}, {0xD1, 0x12}, {0xD2, 0x13},
    {0xD6, 0x12}, {0xD7, 0x13}, {0xD8, 0x14}, {0xDC, 0x31}, {0xDD, 0x32}, {0xDE, 0x33},
    {0xE2, 0x13}, {0xE3, 0x14}, {0xE4, 0x15}, {0xEA, 0x34}, {0xEB, 0x93}, {0xEC, 0x35},
};

size_t descriptor_size(unsigned d) {
  for (const Descriptor& e : kDescriptors)
    if (e.descriptor == d) return size_t(e.code >> 4) << ((e.code & 15) + 18);
  return 0;
}

size_t query_cache_size() {
  unsigned a, b, c, d;
  if (!__get_cpuid(0, &a, &b, &c, &d)) return 0;
  const unsigned max_leaf = a;
  const bool intel = b == 0x756e6547u && d == 0x49656e69u && c == 0x6c65746eu;  // GenuineIntel
  size_t best = 0;
  if (intel && max_leaf >= 2) {
    __cpuid(2, a, b, c, d);
    const unsigned regs[4] = {a, b, c, d};
    bool deterministic = false;  // descriptor 0xFF: the sizes are in leaf 4
    for (int r = 0; r < 4; ++r) {
      if (regs[r] & 0x80000000u) continue;  // register holds no descriptors
      for (int i = (r == 0 ? 1 : 0); i < 4; ++i) {
        const unsigned desc = (regs[r] >> (8 * i)) & 0xFFu;
        if (desc == 0xFF) deterministic = true;
        const size_t s = descriptor_size(desc);
        if (s > best) best = s;
      }
    }
    if (best == 0 && deterministic && max_leaf >= 4) {
      for (unsigned sub = 0; sub < 16; ++sub) {
        __cpuid_count(4, sub, a, b, c, d);
        if ((a & 31) == 0) break;
        const size_t ways = (b >> 22) + 1, parts = ((b >> 12) & 0x3FF) + 1, line = (b & 0xFFF) + 1;
        const size_t s = ways * parts * line * (size_t(c) + 1);
        if (s > best) best = s;
      }
    }
  }
  if (best == 0 && __get_cpuid(0x80000000u, &a, &b, &c, &d) && a >= 0x80000006u) {
    __cpuid(0x80000006u, a, b, c, d);
    const size_t l2 = size_t(c >> 16) << 10, l3 = size_t(d >> 18) << 19;
    best = l2 > l3 ? l2 : l3;
  }
  return best;
}

std::atomic<long long> g_override{-1};

bool bypass_cache(size_t bytes) {
  if (bytes < kLarge) return false;
  const size_t cs = cache_size();
  return cs != 0 && bytes >= cs / 2;
}

// 16-byte pattern stores over [dst, dst + bytes), bytes >= 64. `pat` holds 32 bytes of the
// repeating element (element size e divides 16), so pat + k for k < e is the pattern seen
// from an address k bytes into an element.
void fill_pattern(const uint8_t* pat, size_t e, uint8_t* dst, size_t bytes) {
  uint8_t* const end = dst + bytes;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat)));
  const size_t adv = (16 - (reinterpret_cast<uintptr_t>(dst) & 15)) & 15;
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat + adv % e));
  uint8_t* p = dst + adv;
  const size_t body = (bytes - adv) & ~size_t(15);
  uint8_t* const stop = p + body;
  if (bypass_cache(bytes)) {
    for (; p + 64 <= stop; p += 64) {
      _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
      _mm_stream_si128(reinterpret_cast<__m128i*>(p + 16), v);
      _mm_stream_si128(reinterpret_cast<__m128i*>(p + 32), v);
      _mm_stream_si128(reinterpret_cast<__m128i*>(p + 48), v);
    }
    for (; p < stop; p += 16) _mm_stream_si128(reinterpret_cast<__m128i*>(p), v);
    _mm_sfence();
  } else {
    for (; p + 64 <= stop; p += 64) {
      _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
      _mm_store_si128(reinterpret_cast<__m128i*>(p + 16), v);
      _mm_store_si128(reinterpret_cast<__m128i*>(p + 32), v);
      _mm_store_si128(reinterpret_cast<__m128i*>(p + 48), v);
    }
    for (; p < stop; p += 16) _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
  }
  if (p < end)  // the last 16 bytes start at a whole element: the pattern from its start
    _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 16), _mm_loadu_si128(reinterpret_cast<const __m128i*>(pat)));
}

template <size_t E>
void fill(const void* element, void* dst, size_t count) {
  uint8_t* d = static_cast<uint8_t*>(dst);
  const size_t bytes = count * E;
  if (bytes < kSmall) {
    for (size_t i = 0; i < count; ++i) std::memcpy(d + i * E, element, E);
    return;
  }
  alignas(16) uint8_t pat[32];
  for (size_t i = 0; i < 32; i += E) std::memcpy(pat + i, element, E);
  fill_pattern(pat, E, d, bytes);
}

template <bool SrcAligned>
inline __m128i load16(const uint8_t* p) {
  if constexpr (SrcAligned)
    return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
  else
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// dst is 16-byte aligned; copies whole 16-byte blocks, returns the bytes copied.
template <bool SrcAligned>
size_t copy_blocks(const uint8_t* src, uint8_t* dst, size_t n) {
  size_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m128i a = load16<SrcAligned>(src + i), b = load16<SrcAligned>(src + i + 16);
    const __m128i c = load16<SrcAligned>(src + i + 32), d = load16<SrcAligned>(src + i + 48);
    _mm_store_si128(reinterpret_cast<__m128i*>(dst + i), a);
    _mm_store_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
    _mm_store_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
    _mm_store_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
  }
  for (; i + 16 <= n; i += 16) _mm_store_si128(reinterpret_cast<__m128i*>(dst + i), load16<SrcAligned>(src + i));
  return i;
}

size_t copy_streaming(const uint8_t* src, uint8_t* dst, size_t n) {
  size_t done = 0;
  while (n - done >= 16) {
    size_t chunk = n - done < kChunk ? n - done : kChunk;
    chunk &= ~size_t(15);
    // Bring the chunk into the cache with one read per 64 bytes.
    unsigned sink = 0;
    for (size_t k = 0; k < chunk; k += 64) sink += *reinterpret_cast<const volatile uint8_t*>(src + done + k);
    asm volatile("" : : "r"(sink));
    const uint8_t* s = src + done;
    uint8_t* d = dst + done;
    size_t i = 0;
    for (; i + 64 <= chunk; i += 64) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 32));
      const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 48));
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + i), a);
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 16), b);
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 32), c);
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + i + 48), e);
    }
    for (; i < chunk; i += 16)
      _mm_stream_si128(reinterpret_cast<__m128i*>(d + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
    done += chunk;
  }
  _mm_sfence();
  return done;
}

}  // namespace

size_t cache_size() {
  const long long o = g_override.load(std::memory_order_relaxed);
  if (o >= 0) return static_cast<size_t>(o);
  static const size_t s = query_cache_size();
  return s;
}

void set_cache_size_for_testing(long long bytes) { g_override.store(bytes < 0 ? -1 : bytes); }

}  // namespace qor::prim

using namespace qor::prim;

extern "C" void qor_dft_e8r_ownsCopy_8u(const void* s, void* d, size_t n) {
  const uint8_t* src = static_cast<const uint8_t*>(s);
  uint8_t* dst = static_cast<uint8_t*>(d);
  if (n < kSmall) {
    for (size_t i = 0; i < n; ++i) dst[i] = src[i];
    return;
  }
  const uint8_t* const src_end = src + n;
  uint8_t* const dst_end = dst + n;
  const size_t total = n;
  if (const size_t mis = reinterpret_cast<uintptr_t>(dst) & 15) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
    const size_t adv = 16 - mis;
    src += adv;
    dst += adv;
    n -= adv;
  }
  size_t done;
  if (bypass_cache(total))
    done = copy_streaming(src, dst, n);
  else if ((reinterpret_cast<uintptr_t>(src) & 15) == 0)
    done = copy_blocks<true>(src, dst, n);
  else
    done = copy_blocks<false>(src, dst, n);
  if (done < n)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst_end - 16), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src_end - 16)));
}

extern "C" void qor_dft_e8r_ownsSet_8u(uint8_t value, void* dst, size_t count) { fill<1>(&value, dst, count); }
extern "C" void qor_dft_e8r_ownsSet_16u(uint16_t value, void* dst, size_t count) { fill<2>(&value, dst, count); }
extern "C" void qor_dft_e8r_ownsSet_32s(int32_t value, void* dst, size_t count) { fill<4>(&value, dst, count); }
extern "C" void qor_dft_e8r_ownsSet_64s(int64_t value, void* dst, size_t count) { fill<8>(&value, dst, count); }
extern "C" void qor_dft_e8r_ownsSet_64sc(int64_t lo, int64_t hi, void* dst, size_t count) {
  const int64_t v[2] = {lo, hi};
  fill<16>(v, dst, count);
}
extern "C" void qor_dft_e8r_ownsZero_8u(void* dst, size_t bytes) { fill<1>("", dst, bytes); }
