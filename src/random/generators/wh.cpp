// Wichmann-Hill: 273 members, each the sum of four multiplicative congruential generators
// x_i <- a_i x_i mod m_i with its own prime moduli m_i just below 2^24 and multipliers a_i below
// 256 (tables in wh_tables.inc, made by tools/gen_wh_tables.cpp). An element is formed from the
// current x1 .. x4 and then every component advances:
//   iBRng  the four values x1 .. x4 (16 bytes per element);
//   d/s    a + (b - a) u, u = (x1 r1 + x2 r2 + x3 r3 + x4 r4) mod 1, r_i = 1/m_i from the table
//          (summed left to right into s; s - floor(s) is exact, so u < 1).
//
// The member comes from the stream's identifier (current 0x500000 + k or legacy 4 + k). With
// the table's multipliers (a < 2^8, x < 2^24) the product p = a x is below 2^32 and, writing
// m = 2^24 - d, p mod m = (p >> 24) d + (p & (2^24 - 1)) less m once if needed: the sum stays
// below 2m because d < 2^15 for every member. After a leapfrog the multipliers are full residues
// a^s mod m, and the loop falls back to 64-bit remainders.
#include "random/generators/output.h"

// The definitions take their external linkage and export from the declarations in qor/rng.h.
extern "C" {
#include "random/generators/wh_tables.inc"
}

namespace qor::rng {
namespace {

constexpr int32_t kMembers = 273;

struct State {
  uint32_t x[4];  // current component values, 1 <= x_i < m_i
  uint32_t a[4];  // current multipliers (a_i^s mod m_i after a leapfrog with s streams)
};
static_assert(sizeof(StreamHeader) + sizeof(State) == 48);

// The member of a stream (its identifier is valid: the stream was created through the registry).
int32_t member_of(HoxStream s) {
  int32_t row = 0, member = 0;
  __hoxGetBrngBaseOffset(header(s)->brng, &row, &member);
  return member >= 0 && member < kMembers ? member : 0;
}

struct Member {
  uint32_t m[4], d[4];
  const double* r;
  bool small;  // every multiplier below 2^8 (the single-fold reduction applies)
  Member(HoxStream s, State* st) {
    const int32_t g = member_of(s);
    r = _hoxdWH_IM_Tab[g];
    small = true;
    for (int i = 0; i < 4; ++i) {
      m[i] = _hox_WH_M[g][i];
      d[i] = (1u << 24) - m[i];
      // A state read from an image may hold anything: bring it back into range.
      if (st->x[i] >= m[i]) st->x[i] %= m[i];
      if (st->x[i] == 0) st->x[i] = 1;
      small = small && st->a[i] < 256;
    }
  }
};

inline uint32_t step_small(uint32_t a, uint32_t x, uint32_t m, uint32_t d) {
  const uint32_t p = a * x;
  const uint32_t t = (p >> 24) * d + (p & 0xFFFFFF);
  return t >= m ? t - m : t;
}

inline uint32_t step_wide(uint32_t a, uint32_t x, uint32_t m) { return uint32_t(uint64_t(a) * x % m); }

// s lies in [0, 4), so truncation is its floor (SSE2 has no floor instruction: std::floor would
// be a library call per element).
inline double unit(const State* st, const double* r) {
  const double s = double(st->x[0]) * r[0] + double(st->x[1]) * r[1] + double(st->x[2]) * r[2] + double(st->x[3]) * r[3];
  return s - double(int32_t(s));
}

// n elements: put(i, state) for each, then the components advance.
template <class Put>
void run(HoxStream s, int32_t n, Put put) {
  State* st = state_of<State>(s);
  const Member g(s, st);
  State v = *st;
  if (g.small) {
    for (int32_t i = 0; i < n; ++i) {
      put(i, v);
      for (int k = 0; k < 4; ++k) v.x[k] = step_small(v.a[k], v.x[k], g.m[k], g.d[k]);
    }
  } else {
    for (int32_t i = 0; i < n; ++i) {
      put(i, v);
      for (int k = 0; k < 4; ++k) v.x[k] = step_wide(v.a[k], v.x[k], g.m[k]);
    }
  }
  *st = v;
}

int32_t init(int32_t method, HoxStream s, int32_t n, const uint32_t* params) {
  State* st = state_of<State>(s);
  const int32_t g = member_of(s);
  const uint32_t* m = _hox_WH_M[g];
  switch (method) {
    case HOX_INIT_METHOD_STANDARD:
      if (n > 0 && !params) return HOX_ERR_BAD_ARGUMENT;
      for (int i = 0; i < 4; ++i) {
        st->a[i] = _hox_WH_A[g][i];
        st->x[i] = i < n ? params[i] % m[i] : 1;
        if (st->x[i] == 0) st->x[i] = 1;
      }
      return 0;
    case HOX_INIT_METHOD_LEAPFROG: {
      if (!params) return HOX_ERR_BAD_ARGUMENT;
      for (int i = 0; i < 4; ++i) {
        const uint32_t a = st->a[i] % m[i];
        st->x[i] = step_wide(__hoxiPowMod(a, params[0], 0, m[i]), st->x[i] % m[i], m[i]);
        st->a[i] = __hoxiPowMod(a, uint32_t(n), 0, m[i]);
      }
      return 0;
    }
    case HOX_INIT_METHOD_SKIPAHEAD: {
      const uint64_t N = skip_count(n, params);
      for (int i = 0; i < 4; ++i)
        st->x[i] = step_wide(__hoxiPowMod(st->a[i] % m[i], uint32_t(N), uint32_t(N >> 32), m[i]), st->x[i] % m[i], m[i]);
      return 0;
    }
    default:
      return HOX_ERR_BAD_INIT_METHOD;
  }
}

}  // namespace
}  // namespace qor::rng

using namespace qor::rng;

extern "C" QOR_API int32_t __hoxBRngWHInitStream(int32_t method, HoxStream stream, int32_t n, const uint32_t* params) {
  return init(method, stream, n, params);
}

extern "C" QOR_API int32_t __hoxiBRngWH(HoxStream stream, int32_t n, uint32_t* r) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  run(stream, n, [r](int32_t i, const State& v) {
    for (int k = 0; k < 4; ++k) r[4 * ptrdiff_t(i) + k] = v.x[k];
  });
  return 0;
}

extern "C" QOR_API int32_t __hoxdBRngWH(HoxStream stream, int32_t n, double* r, double a, double b) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  const double* rm = _hoxdWH_IM_Tab[member_of(stream)];
  const double c = b - a;
  run(stream, n, [=](int32_t i, const State& v) { r[i] = a + c * unit(&v, rm); });
  return 0;
}

extern "C" QOR_API int32_t __hoxsBRngWH(HoxStream stream, int32_t n, float* r, float a, float b) {
  if (null_output(n, r)) return HOX_ERR_BAD_ARGUMENT;
  const double* rm = _hoxdWH_IM_Tab[member_of(stream)];
  const double lo = a, c = double(b) - double(a);
  run(stream, n, [=](int32_t i, const State& v) { r[i] = float(lo + c * unit(&v, rm)); });
  return 0;
}
