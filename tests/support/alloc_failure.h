// Failure injection for qor_serv_allocate: reach every allocation site of an operation.
#pragma once

#include <gtest/gtest.h>

#include "service/testing.h"

namespace qor::test {

// Runs `call` again and again with the k-th allocation failing, k = 1, 2, ..., until a run no
// longer reaches the armed failure. `call` performs the whole operation, releases whatever it
// created and returns the status of the step that failed (or of the last step). Each failing
// run must return `memory_status` and leave no block allocated. Returns the number of
// allocation sites reached (the k of the last failing run).
template <class Call>
int sweep_allocation_failures(Call&& call, int memory_status) {
  const long base = qor::serv::live_allocations();
  for (int k = 1;; ++k) {
    qor::serv::fail_allocation_number(k);
    const int status = call();
    const bool reached = !qor::serv::allocation_failure_pending();
    qor::serv::fail_allocation_number(0);
    EXPECT_EQ(qor::serv::live_allocations(), base) << "blocks leaked with allocation " << k << " failing";
    if (!reached) return k - 1;
    EXPECT_EQ(status, memory_status) << "with allocation " << k << " failing";
    if (k > 10000) {
      ADD_FAILURE() << "allocation sweep did not terminate";
      return k;
    }
  }
}

}  // namespace qor::test
