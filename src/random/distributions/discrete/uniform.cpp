// Discrete uniform on [a, b) and the raw-bit generators.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "random/core/stream.h"
#include "service/size_math.h"

using namespace qor::rng;

extern "C" QOR_API int32_t _hoxiRngUniform(int32_t method, HoxStream stream, int32_t n, int32_t* r,
                                         int32_t a, int32_t b) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  constexpr int32_t kBlock = 1024;
  double u[kBlock];
  for (int32_t done = 0; done < n;) {
    const int32_t m = std::min(kBlock, n - done);
    const int32_t status = _hoxdRngUniform(0, stream, m, u, double(a), double(b));
    if (status < 0) return status;
    for (int32_t i = 0; i < m; ++i) {
      // floor(u) as truncation, minus one where truncation went up (negative u). A value no
      // 32-bit integer holds (only an abstract stream's callback can produce one: NaN, or a
      // number outside the stream's own interval) is taken as a, or as the nearest end of the
      // 32-bit range, instead of an undefined conversion (below -2^31 included: its floor is
      // out of range even where the truncation is not).
      double v = u[i];
      if (!(v >= -2147483648.0 && v < 2147483648.0)) v = std::isnan(v) ? double(a) : v < 0 ? -2147483648.0 : 2147483647.0;
      int32_t t = static_cast<int32_t>(v);
      if (double(t) > v) --t;
      r[done + i] = t;
    }
    done += m;
  }
  return 0;
}

extern "C" QOR_API int32_t _hoxiRngUniformBits(int32_t method, HoxStream stream, int32_t n, uint32_t* r) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  const BrngProperties* row = row_of_stream(stream);
  if (!row || !row->iBRng) return HOX_ERR_INVALID_BRNG;
  return row->iBRng(stream, n, r);
}

namespace {

enum class Bits { none, top, words };

// The bits column of the registry list: what each built-in row's integer output gives for 32 or
// 64 uniform bits.
#define QOR_BRNG(row, Name, bytes, seeds, zero, word, bits, members, built, ubits, cli) Bits::ubits,
constexpr Bits kUniformBits[] = {
#include "random/core/generators.def"
};
#undef QOR_BRNG

Bits bits_kind(HoxStream stream, const BrngProperties** row) {
  int32_t index = -1;
  *row = row_of_stream(stream, &index);
  if (!*row || index < 0 || index >= int32_t(std::size(kUniformBits)) || !(*row)->iBRng) return Bits::none;
  return kUniformBits[index];
}

// Draws `count` 64-bit outputs of `bits` significant bits in blocks and hands the top 32 bits
// of each to `put` (bits 27..58 of MCG59's outputs).
template <class Put>
int32_t top_bits(HoxStream stream, int32_t bits, int64_t count, Put put) {
  constexpr int32_t kBlock = 2048;
  uint64_t w[kBlock];
  for (int64_t done = 0; done < count;) {
    const int32_t m = static_cast<int32_t>(std::min<int64_t>(kBlock, count - done));
    const int32_t status = _hoxiRngUniformBits(0, stream, m, reinterpret_cast<uint32_t*>(w));
    if (status < 0) return status;
    for (int32_t i = 0; i < m; ++i) put(done + i, static_cast<uint32_t>(w[i] >> (bits - 32)));
    done += m;
  }
  return 0;
}

}  // namespace

extern "C" QOR_API int32_t _hoxiRngUniformBits32(int32_t method, HoxStream stream, int32_t n, uint32_t* r) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  const BrngProperties* row = nullptr;
  switch (bits_kind(stream, &row)) {
    case Bits::top:
      return top_bits(stream, row->outputBits, n, [r](int64_t i, uint32_t v) { r[i] = v; });
    case Bits::words:
      return n > 0 ? row->iBRng(stream, n, r) : 0;
    default:
      return HOX_ERR_BITS32_UNSUPPORTED;
  }
}

extern "C" QOR_API int32_t _hoxiRngUniformBits64(int32_t method, HoxStream stream, int32_t n, uint64_t* r) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  const BrngProperties* row = nullptr;
  switch (bits_kind(stream, &row)) {
    case Bits::top: {
      uint32_t* w = reinterpret_cast<uint32_t*>(r);  // little-endian: low half first
      return top_bits(stream, row->outputBits, int64_t(n) * 2, [w](int64_t i, uint32_t v) { w[i] = v; });
    }
    case Bits::words:
      int32_t words;
      if (n <= 0) return 0;
      if (!qor::serv::checked_mul(n, 2, &words)) return HOX_ERR_BAD_ARGUMENT;
      return row->iBRng(stream, words, reinterpret_cast<uint32_t*>(r));
    default:
      return HOX_ERR_BITS32_UNSUPPORTED;
  }
}
