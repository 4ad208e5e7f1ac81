// Test hooks of the allocation service. Not part of the C interface.
#pragma once

namespace qor::serv {

// Makes the k-th qor_serv_allocate call from now on return null (k >= 1); k <= 0 disarms.
// Only that one call fails; later calls succeed again.
void fail_allocation_number(long k);
// True while an armed failure has not been reached yet.
bool allocation_failure_pending();
// Number of blocks allocated and not yet released (for leak checks around a call).
long live_allocations();
// Number of allocation calls made so far.
long allocation_calls();

}  // namespace qor::serv

#include <cstdio>

namespace qor::serv {
// Sends qor_serv_print output to `stream` instead of stderr (null restores stderr).
void set_print_stream(FILE* stream);
// printf format of catalogue message `number`, or null.
const char* message_format(int number);
}  // namespace qor::serv
