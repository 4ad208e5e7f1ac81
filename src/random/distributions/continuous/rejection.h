// The loop of the rejection generators (Gamma, Beta): candidates in blocks of at most 512,
// each made from PerCand uniforms that follow each other in the stream. A block has as many
// candidates as results are still wanted (at most 512), so no accepted candidate is ever
// thrown away: the stream is consumed candidate by candidate up to the last accepted one, and a
// sequence of calls gives the numbers of one call for the total count.
#pragma once

#include <algorithm>
#include <cstdint>

#include "random/distributions/frame.h"

namespace qor::rng::dist {

constexpr int32_t kCandidates = 512;

// `accept(u, k, out)` turns the k candidates of u (PerCand * k uniforms on [0, 1)) into
// results, writes the accepted ones to out in order and returns their count.
template <class T, int32_t PerCand, class Accept>
int32_t rejection(HoxStream stream, int32_t n, T* r, FnxErrorCallBack callback, Accept accept) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  const Frame frame(callback);
  alignas(16) T u[PerCand * kCandidates];
  for (int32_t done = 0; done < n;) {
    const int32_t k = std::min(kCandidates, n - done);
    const int32_t status = uniforms(stream, PerCand * k, u, T(0), T(1));
    if (status < 0) return status;
    done += accept(u, k, r + done);
  }
  return 0;
}

}  // namespace qor::rng::dist
