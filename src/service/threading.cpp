// Default ThreadingServices tables: one over OpenMP, one that runs everything on the caller's
// thread. The library itself never starts threads; these tables are for programs (the tool,
// tests, benchmarks) that call it without a front library of their own.
#include <omp.h>

#include "qor/service.h"

namespace qor::serv {
namespace {

void omp_parallel_for(int32_t count, int32_t nthreads, void* context, qor_loop_body body) {
  if (count <= 0) return;
  if (nthreads < 1) nthreads = 1;
  if (nthreads > count) nthreads = count;
#pragma omp parallel for num_threads(nthreads) schedule(static)
  for (int32_t i = 0; i < count; ++i) body(i, omp_get_thread_num(), nullptr, context);
}

void omp_parallel_run(int32_t nthreads, void* context, qor_run_body body) {
  if (nthreads < 1) nthreads = 1;
  // Every thread index runs exactly once, even if the runtime grants fewer threads.
#pragma omp parallel for num_threads(nthreads) schedule(static, 1)
  for (int32_t t = 0; t < nthreads; ++t) body(t, nullptr, nthreads, context);
}

int32_t omp_max_threads() { return omp_get_max_threads(); }

void seq_parallel_for(int32_t count, int32_t, void* context, qor_loop_body body) {
  for (int32_t i = 0; i < count; ++i) body(i, 0, nullptr, context);
}

void seq_parallel_run(int32_t nthreads, void* context, qor_run_body body) {
  if (nthreads < 1) nthreads = 1;
  for (int32_t t = 0; t < nthreads; ++t) body(t, nullptr, nthreads, context);
}

int32_t seq_max_threads() { return 1; }

const ThreadingServices kOpenMP = {omp_parallel_for, nullptr, omp_parallel_run, nullptr, omp_max_threads};
const ThreadingServices kSequential = {seq_parallel_for, nullptr, seq_parallel_run, nullptr, seq_max_threads};

}  // namespace
}  // namespace qor::serv

extern "C" QOR_API const ThreadingServices* qor_threading_openmp(void) { return &qor::serv::kOpenMP; }
extern "C" QOR_API const ThreadingServices* qor_threading_sequential(void) { return &qor::serv::kSequential; }
