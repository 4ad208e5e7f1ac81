#include "moments_runner.h"

namespace qor::test::ss {
namespace {
int g_count = 1;
int32_t budget() { return g_count; }
ThreadingServices g_table;
}  // namespace

const ThreadingServices* threads_table(int count) {
  g_count = count;
  g_table = *qor_threading_openmp();
  g_table.max_threads = budget;
  return &g_table;
}

}  // namespace qor::test::ss
