// The hardware generator: words from the processor's RDRAND instruction.
//
// State: a word that is always 0 and the retry limit R (10 unless seed word 1 gives another
// non-zero value). Words are drawn two at a time; a pair is kept only when both instructions
// report success, otherwise the pair is drawn again, up to R more times, after which the call
// fails with HOX_ERR_RDRAND_FAILED (the words already written stay written). An odd last word
// is drawn alone under the same rule. Doubles take one accepted pair each as a 64-bit integer
// (first word low), singles one word each.
//
// Every function checks __hoxCPUisRDRAND first (HOX_ERR_NO_RDRAND); seeding too, so that a
// stream of this generator cannot be made on a processor that could never feed it. This is the
// one file compiled with the RDRAND instruction (src/CMakeLists.txt).
#include <immintrin.h>

#include <cstring>

#include "random/core/cpu.h"
#include "random/generators/output.h"

namespace qor::rng {
namespace {

struct State {
  uint32_t zero;   // always 0
  uint32_t retry;  // R
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 24);

constexpr uint32_t kDefaultRetry = 10;

int instruction(uint32_t* v) {
  unsigned int u;
  const int ok = _rdrand32_step(&u);
  *v = u;
  return ok;
}
cpu::Rdrand32 g_source = instruction;

State* state(HoxStream s) { return state_of<State>(s); }

// `count` (1 or 2) words into w, with up to R retries of the whole group.
int32_t draw(uint32_t retry, int count, uint32_t* w) {
  const cpu::Rdrand32 step = g_source;
  for (uint64_t t = 0; t <= retry; ++t) {
    int ok = step(&w[0]);
    if (count == 2) ok &= step(&w[1]);
    if (ok) return 0;
  }
  return HOX_ERR_RDRAND_FAILED;
}

int32_t words(HoxStream s, int32_t n, uint32_t* r) {
  const uint32_t retry = state(s)->retry;
  int32_t i = 0;
  for (; n - i >= 2; i += 2)
    if (const int32_t status = draw(retry, 2, r + i); status != 0) return status;
  if (i < n) return draw(retry, 1, r + i);
  return 0;
}

int32_t precheck(int32_t n, const void* r) {
  if (!cpu::has_rdrand()) return HOX_ERR_NO_RDRAND;
  return null_output(n, r) ? HOX_ERR_BAD_ARGUMENT : 0;
}

}  // namespace

void cpu::use_rdrand_source(Rdrand32 step) { g_source = step ? step : instruction; }

}  // namespace qor::rng

using namespace qor::rng;

extern "C" QOR_API int32_t __hoxBRngTRNGInitStream(int32_t method, HoxStream stream, int32_t n,
                                                   const uint32_t* params) {
  return seed_only_init(method, [=] {
    if (!cpu::has_rdrand()) return HOX_ERR_NO_RDRAND;
    if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
    state(stream)->zero = 0;
    state(stream)->retry = n >= 2 && params[1] != 0 ? params[1] : kDefaultRetry;
    return 0;
  });
}

extern "C" QOR_API int32_t __hoxiBRngTRNG(HoxStream stream, int32_t n, uint32_t* r) {
  if (const int32_t status = precheck(n, r); status != 0) return status;
  return n > 0 ? words(stream, n, r) : 0;
}

// a + (b - a) x 2^-64 for the 64-bit integer x of one accepted pair; x converted as a signed
// integer plus 2^64 when its top bit is set.
extern "C" QOR_API int32_t __hoxdBRngTRNG(HoxStream stream, int32_t n, double* r, double a, double b) {
  if (const int32_t status = precheck(n, r); status != 0) return status;
  const uint32_t retry = state(stream)->retry;
  const double c = b - a;
  for (int32_t i = 0; i < n; ++i) {
    uint32_t w[2];
    if (const int32_t status = draw(retry, 2, w); status != 0) return status;
    double x = double(int64_t(uint64_t(w[1]) << 32 | w[0]));
    if (x < 0) x += 0x1p64;
    r[i] = a + c * (x * 0x1p-64);
  }
  return 0;
}

// a + (b - a) y 2^-32 in single precision for one word y each.
extern "C" QOR_API int32_t __hoxsBRngTRNG(HoxStream stream, int32_t n, float* r, float a, float b) {
  if (const int32_t status = precheck(n, r); status != 0) return status;
  const float c = b - a;
  constexpr int32_t kBlock = 256;
  uint32_t w[kBlock];
  for (int32_t i = 0; i < n; i += kBlock) {
    const int32_t m = n - i < kBlock ? n - i : kBlock;
    if (const int32_t status = words(stream, m, w); status != 0) return status;
    for (int32_t j = 0; j < m; ++j) r[i + j] = a + c * (float(w[j]) * 2.3283064365386963e-10f);
  }
  return 0;
}
