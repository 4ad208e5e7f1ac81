// Internal byte-level movers of the array primitives: the copier and the fill routines that
// the typed Copy/Set/Zero entry points forward to, and the cache-size query behind their
// non-temporal path. Not exported from the shared library.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {
// Copies `bytes` bytes; the ranges must not overlap.
void qor_dft_e8r_ownsCopy_8u(const void* src, void* dst, size_t bytes);
// Fill `count` elements of the given width with `value`.
void qor_dft_e8r_ownsSet_8u(uint8_t value, void* dst, size_t count);
void qor_dft_e8r_ownsSet_16u(uint16_t value, void* dst, size_t count);
void qor_dft_e8r_ownsSet_32s(int32_t value, void* dst, size_t count);
void qor_dft_e8r_ownsSet_64s(int64_t value, void* dst, size_t count);
// 16-byte elements given as their two 8-byte halves (low address first).
void qor_dft_e8r_ownsSet_64sc(int64_t lo, int64_t hi, void* dst, size_t count);
void qor_dft_e8r_ownsZero_8u(void* dst, size_t bytes);
}

namespace qor::prim {

// Size in bytes of the largest cache the processor reports (0 when unknown). Queried once.
size_t cache_size();
// Test hook: pretend the largest cache has `bytes` bytes (0 = unknown); a negative value
// restores the processor's answer.
void set_cache_size_for_testing(long long bytes);

}  // namespace qor::prim
