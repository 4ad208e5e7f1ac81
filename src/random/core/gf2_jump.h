// Jump-ahead for generators that are linear over GF(2) (MT19937, SFMT19937): polynomial
// arithmetic on bit vectors and the two ways of applying a remainder polynomial to a state.
//
// A generator supplies its characteristic polynomial P (a sparse list of exponents) and six
// operations on work states (opaque blocks of `stateBytes` bytes, see qor/rng.h). Skipping N
// elements computes g(x) = x^N mod P(x) (__hoxPolyRem) and replaces the state s by g(T) s, T the
// one-element transition: g(T) s = T^N s because P(T) = 0 on the state space.
#pragma once

#include <cstdint>

#include "qor/rng.h"

namespace qor::rng::gf2 {

// Whether the processor has the carry-less multiply (CPUID leaf 1, ECX bit 1).
bool cpu_has_clmul();
// Tests switch the carry-less path off to check the portable one (true: use it when present).
void allow_clmul(bool allow);

// The generator-side entry: skip N elements of `state` with the form the generator asks for.
enum class Form { Horner, SlidingWindow };
struct Ops {
  HoxZeroStateFn zero;
  HoxAddStateFn add;
  HoxCopyState1Fn copy_in;
  HoxUpdateSFn update;
  HoxCopyState2Fn copy_out;
  HoxProcessIdxFn process_idx;
  int32_t state_bytes;  // bytes of one work state
};
int32_t jump(void* state, const Ops& ops, uint64_t N, Form form, int32_t degree, int32_t nterms,
             const int32_t* terms);

}  // namespace qor::rng::gf2
