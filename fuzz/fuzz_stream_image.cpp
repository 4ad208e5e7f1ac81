// Fuzz target: the stream memory loader, the first thing a hostile image reaches. The input is
// the image itself (the loader is the bounded one, so nothing past the input is read); a stream
// that loads is then driven: every output type through its registry row, skip-ahead, leapfrog,
// its chunks searched and counted, saved again to memory and loaded back (which must succeed
// and continue alike), copied and deleted.
#include <cstdint>
#include <cstring>
#include <vector>

#include "qor/rng.h"
#include "random/core/save_load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HoxStream s = nullptr;
  const int32_t status = qor::rng::load_stream_image(&s, data, size);
  if (status != 0) {
    if (s) __builtin_trap();  // a refused image leaves a null handle
    return 0;
  }
  BrngProperties p{};
  if (__hoxGetBrngProperties(__hoxGetStreamStateBrng(s), &p) != 0) __builtin_trap();
  // The tail of the input steers what is done with the stream (its last bytes).
  const uint8_t steer = size ? data[size - 1] : 0;
  const int32_t n = 1 + (steer & 0x3F) * 17;
  std::vector<uint32_t> w(size_t(n) * size_t(p.wordBytes / 4) + 4);
  std::vector<double> d(static_cast<size_t>(n));
  std::vector<float> f(static_cast<size_t>(n));
  p.iBRng(s, n, w.data());
  p.dBRng(s, n, d.data(), -1.0, 2.0);
  p.sBRng(s, n, f.data(), 0.0f, 1.0f);
  if (steer & 0x40) __hoxSkipAheadStream(s, (steer & 0x80) ? (uint64_t(1) << 40) + steer : uint64_t(steer) * 1001);
  if ((steer & 0xC0) == 0xC0) __hoxLeapfrogStream(s, 1, 3);
  __hoxGetNumChunks(s);
  __hoxSearchChunk(s, int32_t(steer & 7));
  // Save and load again: the same continuation.
  const int32_t bytes = __hoxGetStreamSize(s);
  if (bytes > 0) {
    std::vector<uint8_t> img(static_cast<size_t>(bytes));
    if (__hoxSaveStreamM(s, img.data()) == 0) {
      HoxStream t = nullptr;
      if (qor::rng::load_stream_image(&t, img.data(), img.size()) != 0) __builtin_trap();
      std::vector<uint32_t> a(w.size()), b(w.size());
      p.iBRng(s, n, a.data());
      p.iBRng(t, n, b.data());
      if (a != b) __builtin_trap();
      __hoxDeleteStream(&t);
    }
  }
  HoxStream c = nullptr;
  if (__hoxCopyStream(&c, s) == 0) __hoxDeleteStream(&c);
  __hoxDeleteStream(&s);
  return 0;
}
