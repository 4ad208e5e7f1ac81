// Abstract streams: the numbers come from a caller-owned ring buffer that a caller-supplied
// callback refills on demand. Three kinds (32-bit words, doubles, singles), each a registry
// row whose only working output is its own type.
#include <algorithm>
#include <cmath>
#include <type_traits>

#include "random/core/abstract.h"

namespace qor::rng {
namespace {

// Copies `count` numbers from ring position `p` (wrapping at `size`) through `map`.
template <class T, class Out, class Map>
void copy_ring(const T* buffer, int32_t size, int32_t p, int32_t count, Out* out, Map map) {
  for (int32_t i = 0; i < count; ++i) {
    out[i] = map(buffer[p]);
    if (++p == size) p = 0;
  }
}

// Delivers n numbers: first the unread ones, then refills until enough were produced.
template <class State, class T, class Map>
int32_t draw(HoxStream stream, State* st, int32_t n, T* r, Map map) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  if (!st->callback) return HOX_ERR_NULL_POINTER;
  const int32_t size = st->n;
  int32_t p = st->p, c = st->c, done = 0;
  const int32_t take = std::min(size - c, n);
  if (take > 0) {
    copy_ring(st->buffer, size, p, take, r, map);
    p = int32_t((int64_t(p) + take) % size);
    c += take;
    done = take;
  }
  int32_t status = 0;
  while (done < n) {
    int32_t nbuf = size, wanted = std::min(size, n - done), most = size, pos = p;
    const int32_t k = st->callback(stream, &nbuf, st->buffer, &wanted, &most, &pos);
    if (k < 0 || k > size) {
      status = HOX_ERR_ABSTRACT_CALLBACK;
      break;
    }
    if (k == 0) {
      status = HOX_ERR_ABSTRACT_CALLBACK_EMPTY;
      break;
    }
    const int32_t t = std::min(k, n - done);
    copy_ring(st->buffer, size, p, t, r + done, map);
    p = int32_t((int64_t(p) + t) % size);
    c = size - (k - t);
    done += t;
  }
  st->p = p;
  st->c = c;
  return status;
}

int32_t wrong_type(int32_t n, const void* r) {
  return null_output(n, r) ? HOX_ERR_BAD_ARGUMENT : HOX_ERR_ABSTRACT_WRONG_TYPE;
}

// Parameter block of the abstract rows' standard initialisation:
// {&n, buffer, &a or null, &b or null, callback}.
template <class State, class T, class CB>
int32_t init_common(int32_t method, HoxStream stream, const uint32_t* params) {
  if (method == HOX_INIT_METHOD_LEAPFROG) return HOX_ERR_LEAPFROG_UNSUPPORTED;
  if (method == HOX_INIT_METHOD_SKIPAHEAD) return HOX_ERR_SKIPAHEAD_UNSUPPORTED;
  if (method != HOX_INIT_METHOD_STANDARD) return HOX_ERR_BAD_INIT_METHOD;
  if (!params) return HOX_ERR_BAD_ARGUMENT;
  void* const* block = reinterpret_cast<void* const*>(params);
  State* st = state_of<State>(stream);
  st->n = *static_cast<const int32_t*>(block[0]);
  st->p = 0;
  st->c = st->n;
  st->buffer = static_cast<T*>(block[1]);
  if constexpr (!std::is_same_v<State, IAbstractState>) {
    st->a = *static_cast<const T*>(block[2]);
    st->b = *static_cast<const T*>(block[3]);
  }
  st->callback = reinterpret_cast<CB>(block[4]);
  return 0;
}

template <class T, class CB>
int32_t create(HoxStream* stream, int32_t brng, int32_t n, T* buffer, const T* a, const T* b,
               CB callback) {
  if (!stream) return HOX_ERR_BAD_ARGUMENT;
  *stream = nullptr;
  if (n <= 0 || !buffer || !callback || (a && !(*a < *b))) return HOX_ERR_BAD_ARGUMENT;
  int32_t row = 0, member = 0;
  const BrngProperties* table = __hoxGetBrngBaseOffset(brng, &row, &member);
  int32_t status = __hoxAllocateStream(stream, table, brng, row, member);
  if (status != 0) return status;
  void* block[5] = {&n, buffer, const_cast<T*>(a), const_cast<T*>(b), reinterpret_cast<void*>(callback)};
  status = table[row].InitStream(HOX_INIT_METHOD_STANDARD, *stream, 0,
                                 reinterpret_cast<const uint32_t*>(block));
  if (status != 0) __hoxDeleteStream(stream);
  return status;
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

namespace {
// (u - A) * (b - a) / (B - A) + a. A stream interval wider than the largest finite number
// (B - A overflows) is rescaled in halves, (u/2 - A/2) * ((b - a) / (B/2 - A/2)), so that
// neither difference overflows and no result is inf * 0; other intervals keep the direct form.
template <class T, class State>
int32_t rescaled_draw(HoxStream stream, State* st, int32_t n, T* r, T a, T b) {
  const T A = st->a;
  if (std::isinf(st->b - st->a)) {
    const T h = T(0.5), f = (b - a) / (st->b * h - A * h);
    return draw(stream, st, n, r, [=](T u) { return (u * h - A * h) * f + a; });
  }
  const T f = (b - a) / (st->b - A);
  return draw(stream, st, n, r, [=](T u) { return (u - A) * f + a; });
}

}  // namespace

extern "C" {

QOR_API int32_t __hoxiNewAbstractStream(HoxStream* stream, int32_t n, uint32_t* buffer,
                                        HoxiAbstractCallBack callback) {
  return create<uint32_t>(stream, HOX_BRNG_IABSTRACT, n, buffer, nullptr, nullptr, callback);
}
QOR_API int32_t __hoxdNewAbstractStream(HoxStream* stream, int32_t n, double* buffer, double a,
                                        double b, HoxdAbstractCallBack callback) {
  return create<double>(stream, HOX_BRNG_DABSTRACT, n, buffer, &a, &b, callback);
}
QOR_API int32_t __hoxsNewAbstractStream(HoxStream* stream, int32_t n, float* buffer, float a, float b,
                                        HoxsAbstractCallBack callback) {
  return create<float>(stream, HOX_BRNG_SABSTRACT, n, buffer, &a, &b, callback);
}

QOR_API int32_t __hoxBRngiAbstractInitStream(int32_t method, HoxStream stream, int32_t, const uint32_t* params) {
  return init_common<IAbstractState, uint32_t, HoxiAbstractCallBack>(method, stream, params);
}
QOR_API int32_t __hoxBRngdAbstractInitStream(int32_t method, HoxStream stream, int32_t, const uint32_t* params) {
  return init_common<DAbstractState, double, HoxdAbstractCallBack>(method, stream, params);
}
QOR_API int32_t __hoxBRngsAbstractInitStream(int32_t method, HoxStream stream, int32_t, const uint32_t* params) {
  return init_common<SAbstractState, float, HoxsAbstractCallBack>(method, stream, params);
}

QOR_API int32_t __hoxiBRngiAbstract(HoxStream stream, int32_t n, uint32_t* r) {
  return draw(stream, state_of<IAbstractState>(stream), n, r, [](uint32_t u) { return u; });
}
QOR_API int32_t __hoxdBRngdAbstract(HoxStream stream, int32_t n, double* r, double a, double b) {
  return rescaled_draw(stream, state_of<DAbstractState>(stream), n, r, a, b);
}
QOR_API int32_t __hoxsBRngsAbstract(HoxStream stream, int32_t n, float* r, float a, float b) {
  return rescaled_draw(stream, state_of<SAbstractState>(stream), n, r, a, b);
}

// Outputs of another type than the stream's own (a null buffer is refused first, as everywhere).
QOR_API int32_t __hoxsBRngiAbstract(HoxStream, int32_t n, float* r, float, float) { return wrong_type(n, r); }
QOR_API int32_t __hoxdBRngiAbstract(HoxStream, int32_t n, double* r, double, double) { return wrong_type(n, r); }
QOR_API int32_t __hoxsBRngdAbstract(HoxStream, int32_t n, float* r, float, float) { return wrong_type(n, r); }
QOR_API int32_t __hoxiBRngdAbstract(HoxStream, int32_t n, uint32_t* r) { return wrong_type(n, r); }
QOR_API int32_t __hoxdBRngsAbstract(HoxStream, int32_t n, double* r, double, double) { return wrong_type(n, r); }
QOR_API int32_t __hoxiBRngsAbstract(HoxStream, int32_t n, uint32_t* r) { return wrong_type(n, r); }

}  // extern "C"
