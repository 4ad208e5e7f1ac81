// __hoxCPUisAES and __hoxCPUisRDRAND: CPUID leaf 1, read once per process.
#include "random/core/cpu.h"

#include <cpuid.h>

#include <atomic>

#include "qor/rng.h"

namespace qor::rng::cpu {
namespace {

struct Leaf1 {
  unsigned c = 0, d = 0;
  Leaf1() {
    unsigned a, b;
    if (!__get_cpuid(1, &a, &b, &c, &d)) c = d = 0;
  }
};

const Leaf1& leaf1() {
  static const Leaf1 leaf;
  return leaf;
}

std::atomic<bool> g_missing{false};

}  // namespace

bool has_aes() {
  return !g_missing.load(std::memory_order_relaxed) && ((leaf1().c >> 25) & 1) && ((leaf1().d >> 26) & 1);
}
bool has_rdrand() { return !g_missing.load(std::memory_order_relaxed) && ((leaf1().c >> 30) & 1); }
void pretend_missing(bool missing) { g_missing.store(missing, std::memory_order_relaxed); }

}  // namespace qor::rng::cpu

extern "C" QOR_API int32_t __hoxCPUisAES(void) { return qor::rng::cpu::has_aes() ? 1 : 0; }
extern "C" QOR_API int32_t __hoxCPUisRDRAND(void) { return qor::rng::cpu::has_rdrand() ? 1 : 0; }
