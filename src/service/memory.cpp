// qor_serv_allocate / qor_serv_deallocate: aligned allocation with a failure-injection hook.
//
// Every record, buffer and task that outlives a call comes from here, so the hook (see
// testing.h) lets a test make exactly the k-th allocation fail and check that every caller
// turns a null block into its memory-error status without leaking.
#include "service/testing.h"

#include <atomic>
#include <cstdlib>
#include <cstdint>

#include "qor/service.h"

namespace qor::serv {
namespace {
std::atomic<long> g_fail_countdown{0};   // > 0: allocations left before the failing one
std::atomic<long> g_live{0};             // blocks handed out and not yet released
std::atomic<long> g_calls{0};            // allocation calls since the process started
}  // namespace

void fail_allocation_number(long k) { g_fail_countdown.store(k > 0 ? k : 0); }
bool allocation_failure_pending() { return g_fail_countdown.load() > 0; }
long live_allocations() { return g_live.load(); }
long allocation_calls() { return g_calls.load(); }

}  // namespace qor::serv

extern "C" QOR_API void* qor_serv_allocate(size_t size, int32_t alignment) {
  using namespace qor::serv;
  g_calls.fetch_add(1);
  long c = g_fail_countdown.load();
  while (c > 0) {
    if (g_fail_countdown.compare_exchange_weak(c, c - 1)) {
      if (c == 1) return nullptr;  // this is the k-th allocation: it fails
      break;
    }
  }
  size_t align = alignment > 0 ? static_cast<size_t>(alignment) : 16;
  if (align < sizeof(void*) || (align & (align - 1)) != 0) align = 16;
  if (size == 0) size = 1;
  void* p = nullptr;
  if (posix_memalign(&p, align, size) != 0) return nullptr;
  g_live.fetch_add(1);
  return p;
}

extern "C" QOR_API void qor_serv_deallocate(void* block) {
  if (!block) return;
  qor::serv::g_live.fetch_sub(1);
  std::free(block);
}
