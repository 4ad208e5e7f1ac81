// The processor tests of the counter-based and hardware generators, with a switch for tests.
#pragma once

#include <cstdint>

namespace qor::rng::cpu {

// CPUID leaf 1: AES (ECX bit 25) together with SSE2 (EDX bit 26); RDRAND (ECX bit 30). Read once.
bool has_aes();
bool has_rdrand();

// Tests only: pretend the processor lacks AES and RDRAND (true) so that HOX_ERR_NO_AES and
// HOX_ERR_NO_RDRAND can be checked on a machine that has both; false restores the real answer.
// __hoxCPUisAES, __hoxCPUisRDRAND and every check built on them (generation, skip-ahead,
// loading a saved stream) follow the switch.
void pretend_missing(bool missing);

// Tests only: the hardware generator draws its words through `step` (returns 1 and stores a
// word on success, 0 on failure) instead of the instruction; null restores the instruction.
using Rdrand32 = int (*)(uint32_t* word);
void use_rdrand_source(Rdrand32 step);

}  // namespace qor::rng::cpu
