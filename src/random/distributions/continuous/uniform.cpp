// Continuous uniform on [a, b): the stream's own generator through its registry row, with an
// optional clamp to [a, b] (the accurate method bit) for intervals where rounding of
// v * (b - a) / m + a could step outside.
#include <algorithm>

#include "random/core/stream.h"

using namespace qor::rng;

namespace {

template <class T, class Fetch>
int32_t uniform(int32_t method, HoxStream stream, int32_t n, T* r, T a, T b, Fetch fetch) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  const BrngProperties* row = row_of_stream(stream);
  if (!row) return HOX_ERR_INVALID_BRNG;
  const int32_t status = fetch(row);
  if (status < 0) return status;
  if (method & HOX_RNG_METHOD_ACCURATE)
    for (int32_t i = 0; i < n; ++i) r[i] = std::min(b, std::max(a, r[i]));
  return status;
}

}  // namespace

extern "C" QOR_API int32_t _hoxdRngUniform(int32_t method, HoxStream stream, int32_t n, double* r,
                                         double a, double b) {
  return uniform(method, stream, n, r, a, b, [&](const BrngProperties* row) {
    return row->dBRng ? row->dBRng(stream, n, r, a, b) : HOX_ERR_INVALID_BRNG;
  });
}

extern "C" QOR_API int32_t _hoxsRngUniform(int32_t method, HoxStream stream, int32_t n, float* r,
                                         float a, float b) {
  return uniform(method, stream, n, r, a, b, [&](const BrngProperties* row) {
    return row->sBRng ? row->sBRng(stream, n, r, a, b) : HOX_ERR_INVALID_BRNG;
  });
}
