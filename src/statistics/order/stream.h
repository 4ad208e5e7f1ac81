// The streaming-quantile state a task keeps (field 54), for the entry point and for tests that
// look at its memory.
//
// Per variable: its segments, consecutive stretches of the stream of fixed sizes (segment s
// holds floor((2^(s+2) - 1)/eps) - floor((2^(s+1) - 1)/eps) observations). A segment is
// summarised by a multi-level structure: a block of up to b raw observations, and levels
// 0 .. L-1 each holding either nothing or b sorted values that stand for 2^l observations each.
// A full block is sorted and carried up the levels like a binary counter: two summaries of
// level l are merged (2b values) and every other value is kept (alternately the odd and the
// even positions), giving one summary of level l + 1.
//
// Rank error. Compressing two merged summaries of weight w changes the estimated count of
// values <= v (and < v) by at most w for every v; a level-l summary therefore carries an error of
// at most l 2^(l-1) over the 2^l b observations it stands for. A segment with k full blocks has
// summaries at the levels of the binary digits of k, so its error is at most (l_max / 2) k
// <= (l_max / (2 b)) m for its m observations, l_max = floor(log2(k)). The block size is
// b = floor(log2(eps d) / eps); it is raised (rarely, only for eps close to 1) until
// floor(log2(floor(d / b))) <= 2 eps b, so every segment's error is at most eps m and the sum over
// segments at most eps N. A query takes the smallest summary value v whose estimated count of
// values <= v reaches the target rank r: its true rank range then comes within eps N of r.
#pragma once

#include <cstddef>
#include <cstdint>

#include "statistics/task.h"

namespace qor::ss::order {

struct StreamSegment {
  int64_t size;      // d: observations the segment takes
  int64_t seen;      // observations added so far
  int32_t block;     // b: block capacity (and values per level summary)
  int32_t levels;    // L: level summaries the segment can hold
  int32_t fill;      // observations in the current block
  int32_t parity;    // which positions the next compression keeps (0 even, 1 odd)
  uint64_t occupied; // bit l: level l holds a summary
  void* values;      // block (b), levels (L b), merge scratch (2 b): (L + 3) b reals
};

struct StreamVariable {
  int32_t segments;  // number of segment records
  int32_t current;   // index of the current segment, -1 before the first
  int32_t active;    // 1 when the variable is processed by the streaming computation
  StreamSegment* seg;
};

struct StreamState {
  int64_t p;
  int32_t precision;  // 1 double, 0 single
  int32_t mode;       // the mode flag of method 0x40 (both method bits run the same summary)
  StreamVariable var[1];  // p records
};

// Reals held by the summaries of variable i (blocks, levels and merge scratch), and the number
// of observations they summarise; 0 when the task has no streaming state.
size_t stream_summary_reals(const HoxSSTask* t, int64_t i, int64_t* observations);

}  // namespace qor::ss::order
