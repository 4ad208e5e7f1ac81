// Declarations of the anchors' packed entry points, which their libraries export without a header
// we include: glibc libmvec's SSE variants (4 floats / 2 doubles, one or two arguments) and
// SLEEF's SSE2 variants of accuracy u (u10, u35, u05; empty for the exact functions, e.g.
// QOR_SLEEF2(fmod, ) declares Sleef_fmodf4_sse2 and Sleef_fmodd2_sse2).
#pragma once

#include <emmintrin.h>

#define QOR_MVEC1(fn)                       \
  extern "C" __m128 _ZGVbN4v_##fn##f(__m128); \
  extern "C" __m128d _ZGVbN2v_##fn(__m128d);
#define QOR_MVEC2(fn)                                 \
  extern "C" __m128 _ZGVbN4vv_##fn##f(__m128, __m128); \
  extern "C" __m128d _ZGVbN2vv_##fn(__m128d, __m128d);
#define QOR_SLEEF1(fn, u)                               \
  extern "C" __m128 Sleef_##fn##f4_##u##sse2(__m128);   \
  extern "C" __m128d Sleef_##fn##d2_##u##sse2(__m128d);
#define QOR_SLEEF2(fn, u)                                         \
  extern "C" __m128 Sleef_##fn##f4_##u##sse2(__m128, __m128);     \
  extern "C" __m128d Sleef_##fn##d2_##u##sse2(__m128d, __m128d);
