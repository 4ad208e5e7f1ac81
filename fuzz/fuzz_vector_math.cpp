// Fuzz target: vector math. Each input is a sequence of up to 16 calls; each call picks a
// built function of the function list (every type and argument shape), one of its four entry
// points or one of its three kernels through the function table, a mode word (accuracy, error
// mode, denormal handling; traps stay masked so that an unmasked exception does not end the
// run), an error callback that accepts or declines elements, an interface input-vector pointer,
// a count n (negative, zero, odd, block-crossing, up to 4,096; for pack/unpack also counts whose
// high 32 bits must be ignored) and the arguments' bits, in place or in separate arrays.
// Direct calls of the error routines and of the mode/status services are mixed in.
//
// After every call the x87 control word and the MXCSR control bits must be as before.
#include <xmmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_common.h"
#include "qor/vm.h"

namespace {

using qor_fuzz::fill;

enum Shape { kShape_V1, kShape_V2, kShape_VX, kShape_V1R2, kShape_LF, kShape_CIS, kShape_CR,
             kShape_PACKI, kShape_PACKV, kShape_PACKM, kShape_UNPACKI, kShape_UNPACKV, kShape_UNPACKM };

struct Fn {
  const char* name;
  char type;
  Shape shape;
  void* entry[4];   // _fnx{t}{F}, _HA, LA suffix, EP suffix
  void** kernels;   // the function table: LA, HA, EP kernels
};

#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) QOR_FUZZ_ROW_##built(t, F, shape)
#define QOR_FUZZ_ROW_0(t, F, shape)
#define QOR_FUZZ_ROW_1(t, F, shape)                                                                  \
  {#t #F, #t[0], kShape_##shape,                                                                    \
   {reinterpret_cast<void*>(&_fnx##t##F), reinterpret_cast<void*>(&_fnx##t##F##_HA),                \
    reinterpret_cast<void*>(&QOR_FNX_ENTRY_LA_##t(F)), reinterpret_cast<void*>(&QOR_FNX_ENTRY_EP_##t(F))}, \
   reinterpret_cast<void**>(qor_fnx_kernel_##t##F##_ttab)},
const Fn kFns[] = {
#include "qor/functions.def"
};
#undef QOR_FN

uint16_t x87_control() {
  uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

int g_callback_result = 0;
int error_callback(FnxErrorContext* c) {
  if (c->funcNameLen < 0 || c->funcNameLen > 64) std::abort();
  c->res1 = c->arg1;
  return g_callback_result;
}

template <typename T>
struct Real { using type = T; };
template <> struct Real<QorComplex8> { using type = float; };
template <> struct Real<QorComplex16> { using type = double; };

template <typename T>
void fill_elems(FuzzedDataProvider& in, std::vector<T>& v) {
  using R = typename Real<T>::type;
  fill(in, reinterpret_cast<R*>(v.data()), v.size() * (sizeof(T) / sizeof(R)));
}

template <typename T>
void call(FuzzedDataProvider& in, const Fn& f) {
  using R = typename Real<T>::type;
  const int slot = in.ConsumeIntegralInRange<int>(0, 6);  // 0..3 entry points, 4..6 table kernels
  void* target = slot < 4 ? f.entry[slot] : f.kernels[slot - 4];
  const bool kernel = slot >= 4;
  if (f.shape >= kShape_PACKI) {
    // Counts: with the width flag 1 only the signed low 32 bits of n count.
    int32_t width = 1;
    if (kernel) width = in.PickValueInArray({1, 0, 2, -1});
    const int64_t low = in.ConsumeIntegralInRange<int64_t>(-3, 600);
    int64_t n = low;
    if (width == 1 && in.ConsumeBool())  // high half set: the sum wraps in unsigned arithmetic
      n = int64_t((uint64_t(in.ConsumeIntegralInRange<uint32_t>(1, 0xFFFFFFFFu)) << 32) + uint64_t(low));
    const int64_t m = std::max<int64_t>(low, 0);
    const int64_t inc = in.ConsumeIntegralInRange<int64_t>(0, 4);
    const size_t strided = size_t(m > 0 ? (m - 1) * inc + 1 : 1);
    std::vector<T> a(std::max<size_t>(strided, size_t(std::max<int64_t>(m, 1))));
    std::vector<T> y(a.size());
    fill_elems(in, a);
    std::vector<int32_t> i32(size_t(std::max<int64_t>(m, 1)));
    std::vector<int64_t> i64(i32.size());
    const bool mask = f.shape == kShape_PACKM || f.shape == kShape_UNPACKM;
    for (size_t i = 0; i < i32.size(); ++i) {
      int64_t v = mask ? (in.ConsumeBool() ? 0 : in.ConsumeIntegral<int32_t>()) : in.ConsumeIntegralInRange<int64_t>(0, int64_t(a.size()) - 1);
      if (mask && in.ConsumeIntegralInRange<int>(0, 7) == 0) v = int64_t(1) << 32;  // set only as 64-bit
      i32[i] = int32_t(v);
      i64[i] = v;
    }
    const void* idx = width == 1 ? static_cast<const void*>(i32.data()) : i64.data();
    const int64_t incr = inc;
    if (!kernel) {  // entry points take no width argument: they pass 1 themselves
      switch (f.shape) {
        case kShape_PACKI: reinterpret_cast<void (*)(int64_t, const T*, int64_t, T*)>(target)(n, a.data(), incr, y.data()); break;
        case kShape_PACKV:
        case kShape_PACKM: reinterpret_cast<void (*)(int64_t, const T*, const void*, T*)>(target)(n, a.data(), idx, y.data()); break;
        case kShape_UNPACKI: reinterpret_cast<void (*)(int64_t, const T*, T*, int64_t)>(target)(n, y.data(), a.data(), incr); break;
        default: reinterpret_cast<void (*)(int64_t, const T*, T*, const void*)>(target)(n, y.data(), a.data(), idx);
      }
      return;
    }
    switch (f.shape) {
      case kShape_PACKI: reinterpret_cast<void (*)(int64_t, const T*, int64_t, T*, int32_t)>(target)(n, a.data(), incr, y.data(), width); break;
      case kShape_PACKV: reinterpret_cast<void (*)(int64_t, const T*, const void*, T*, int32_t)>(target)(n, a.data(), idx, y.data(), width); break;
      case kShape_PACKM: reinterpret_cast<void (*)(int64_t, const T*, const void*, T*, int32_t)>(target)(n, a.data(), idx, y.data(), width); break;
      case kShape_UNPACKI: reinterpret_cast<void (*)(int64_t, const T*, T*, int64_t, int32_t)>(target)(n, y.data(), a.data(), incr, width); break;
      case kShape_UNPACKV: reinterpret_cast<void (*)(int64_t, const T*, T*, const void*, int32_t)>(target)(n, y.data(), a.data(), idx, width); break;
      default: reinterpret_cast<void (*)(int64_t, const T*, T*, const void*, int32_t)>(target)(n, y.data(), a.data(), idx, width);
    }
    return;
  }
  const int32_t n = in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-3, 40) : in.ConsumeIntegralInRange<int32_t>(0, 4096);
  const size_t size = size_t(std::max(n, 1));
  std::vector<T> a(size), b(size), r1(size), r2(size);
  fill_elems(in, a);
  fill_elems(in, b);
  const int alias = in.ConsumeIntegralInRange<int>(0, 3);  // 1: r1 is a, 2: r1 is b
  T* out = alias == 1 ? a.data() : alias == 2 ? b.data() : r1.data();
  const T* input = a.data();
  if (in.ConsumeBool()) _fnxSetInterfInputVectorPointer(in.ConsumeBool() ? static_cast<const void*>(input) : nullptr);
  switch (f.shape) {
    case kShape_V1: reinterpret_cast<void (*)(int32_t, const T*, T*)>(target)(n, input, out); break;
    case kShape_V2: reinterpret_cast<void (*)(int32_t, const T*, const T*, T*)>(target)(n, input, b.data(), out); break;
    case kShape_VX: reinterpret_cast<void (*)(int32_t, const T*, T, T*)>(target)(n, input, b[0], out); break;
    case kShape_V1R2: reinterpret_cast<void (*)(int32_t, const T*, T*, T*)>(target)(n, input, out, r2.data()); break;
    case kShape_LF:
      reinterpret_cast<void (*)(int32_t, const T*, const T*, T, T, T, T, T*)>(target)(n, input, b.data(), b[0], a[0], a[size - 1], b[size - 1], out);
      break;
    case kShape_CIS: {
      std::vector<R> ra(size);
      fill(in, ra.data(), size);
      reinterpret_cast<void (*)(int32_t, const R*, T*)>(target)(n, ra.data(), out);
      break;
    }
    default: {
      std::vector<R> rr(size);
      reinterpret_cast<void (*)(int32_t, const T*, R*)>(target)(n, input, rr.data());
    }
  }
}

void services(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: _fnxSetErrStatus(in.ConsumeIntegral<int32_t>()); break;
    case 1: _fnxClearErrStatus(); _fnxGetErrStatus(); break;
    case 2: qor_fnx_kernel_GetTTableIndexM(0, in.ConsumeIntegral<uint64_t>()); qor_fnx_kernel_GetTTableIndex(); break;
    case 3: _fnxClearErrorCallBack(); break;
    default: {  // the error routines on a valid element with any code and name
      double a[2] = {in.ConsumeFloatingPoint<double>(), 1.0}, r[2] = {0.0, 0.0};
      const std::string name = in.ConsumeRandomLengthString(100);
      const int32_t code = in.ConsumeIntegralInRange<int32_t>(-3, 6);
      const int32_t index = in.ConsumeIntegralInRange<int32_t>(0, 1);
      _fnxSetInterfInputVectorPointer(in.ConsumeBool() ? a : nullptr);
      switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: qor_fnx_kernel_sError(code, index, a, a, r, r, name.c_str()); break;
        case 1: qor_fnx_kernel_dError(code, index, a, a, r, r, name.c_str()); break;
        case 2: qor_fnx_kernel_cError(code, 0, a, a, r, r, name.c_str()); break;
        default: qor_fnx_kernel_zError(code, 0, a, a, r, r, name.c_str());
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  constexpr size_t kCount = sizeof(kFns) / sizeof(kFns[0]);
  for (int op = 0; op < 16 && in.remaining_bytes() > 0; ++op) {
    // Mode: accuracy, error mode and denormal fields from the input; no traps, and no messages
    // on stderr (they would drown the fuzzer's own output).
    uint32_t mode = in.ConsumeIntegral<uint32_t>();
    mode &= ~(QOR_FNX_TRAP_MASK | QOR_FNX_ERRMODE_STDERR);
    _fnxSetMode(mode);
    if ((_fnxGetMode() & QOR_FNX_ERRMODE_STDERR) != 0) _fnxSetMode(QOR_FNX_ERRMODE_IGNORE);
    g_callback_result = in.ConsumeBool();
    if (in.ConsumeBool()) _fnxSetErrorCallBack(in.ConsumeBool() ? &error_callback : nullptr);
    const unsigned csr = _mm_getcsr() & ~0x3Fu;
    const uint16_t cw = x87_control();
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
      services(in);
    } else {
      const Fn& f = kFns[in.ConsumeIntegralInRange<size_t>(0, kCount - 1)];
      switch (f.type) {
        case 's': call<float>(in, f); break;
        case 'd': call<double>(in, f); break;
        case 'c': call<QorComplex8>(in, f); break;
        default: call<QorComplex16>(in, f);
      }
    }
    if ((_mm_getcsr() & ~0x3Fu) != csr || x87_control() != cw) {
      std::fprintf(stderr, "floating-point control changed: MXCSR %#x -> %#x, x87 %#x -> %#x\n", csr,
                   _mm_getcsr() & ~0x3Fu, cw, x87_control());
      std::abort();
    }
  }
  _fnxSetInterfInputVectorPointer(nullptr);
  return 0;
}
