// Internal access to the per-thread vector-math state.
#pragma once

#include <cstdint>

namespace qor::vm {

// The calling thread's mode word (initialised from the environment or the default).
uint32_t thread_mode();

}  // namespace qor::vm
