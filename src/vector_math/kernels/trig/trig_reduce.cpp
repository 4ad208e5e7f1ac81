// The argument reduction by pi/2 (reduce.h) and its exported form qor_fnx_kernel_reduce_pio2d.
#include <cmath>
#include <cstdint>

#include "qor/vm_trig.h"
#include "vector_math/kernels/trig/dd.h"
#include "vector_math/kernels/trig/dsin_medium.h"
#include "vector_math/kernels/trig/reduce.h"

namespace qor::vm::trig {
namespace {

// 4/pi = sum g_i 2^(-24 i).
constexpr double kChunks[64] = {
#include "vector_math/kernels/trig/tables/pio4_chunks.inc"
};

// pi/4 in double-double
constexpr double kPio4Hi = 0x1.921fb54442d18p-1, kPio4Lo = 0x1.1a62633145c07p-55;

// |x| >= 2^30: returns r (unsigned) and n = k/2 mod 4.
Reduced large(uint64_t ax) {
  const int e = static_cast<int>(ax >> 52) - 1075;  // |x| = M 2^e, e >= -22
  const uint64_t m = (ax & 0xFFFFFFFFFFFFFull) | (1ull << 52);
  const double x0 = static_cast<double>(m >> 48);
  const double x1 = static_cast<double>((m >> 24) & 0xFFFFFF);
  const double x2 = static_cast<double>(m & 0xFFFFFF);
  // Column c (the products x_a g_(c-a)) weighs 2^(e + 48 - 24c). The top column kept is the last
  // whose weight is at least 2: weight 2^s_top with 1 <= s_top <= 24.
  const int c_top = (e + 48 + 23) / 24 - 1;
  const int s_top = e + 48 - 24 * c_top;
  int64_t z[9];
  for (int j = 0; j < 9; ++j) {
    const int c = c_top + j;
    double q = x0 * kChunks[c];
    if (c >= 1) q += x1 * kChunks[c - 1];
    if (c >= 2) q += x2 * kChunks[c - 2];
    z[j] = static_cast<int64_t>(q);  // exact: below 2^50
  }
  for (int j = 8; j >= 1; --j) {
    z[j - 1] += z[j] >> 24;
    z[j] &= 0xFFFFFF;
  }
  // Value: z0 2^s_top + z1 2^(s_top - 24) + ...; w fraction bits in z1.
  const int w = 24 - s_top;
  const uint32_t ip = static_cast<uint32_t>((((z[0] & 7) << s_top) + (w < 24 ? (z[1] >> w) : 0)) & 7);
  // The fraction as 24-bit limbs fr[0..7] (fr[0] the most significant).
  uint32_t fr[8];
  for (int i = 0; i < 8; ++i) {
    const uint64_t a = i + 1 <= 8 ? static_cast<uint64_t>(z[i + 1]) : 0;
    const uint64_t b = i + 2 <= 8 ? static_cast<uint64_t>(z[i + 2]) : 0;
    fr[i] = w == 0 ? static_cast<uint32_t>(b) : static_cast<uint32_t>(((a << (24 - w)) | (b >> w)) & 0xFFFFFF);
  }
  // k = trunc(y) rounded up to even: when the integer part is odd, f = F - 1 = -(1 - F).
  uint32_t n = ip >> 1;
  const bool up = (ip & 1) != 0;
  if (up) {
    n += 1;
    uint32_t carry = 1;
    for (int i = 7; i >= 0; --i) {
      const uint32_t v = (0xFFFFFF - fr[i]) + carry;
      fr[i] = v & 0xFFFFFF;
      carry = v >> 24;
    }
  }
  int a = 0;
  while (a < 8 && fr[a] == 0) ++a;
  Reduced r{0.0, 0.0, static_cast<int32_t>(n & 3)};
  if (a == 8) return r;
  auto limb = [&](int i) { return i < 8 ? static_cast<double>(fr[i]) : 0.0; };
  const double A = limb(a) * 0x1p24 + limb(a + 1);            // exact (48 bits)
  const double B = limb(a + 2) * 0x1p-24 + limb(a + 3) * 0x1p-48;  // exact (48 bits)
  const double C = limb(a + 4) * 0x1p-48 + limb(a + 5) * 0x1p-72;  // exact (48 bits)
  double fh, fl;
  fast_two_sum(A, B, fh, fl);
  fl += C * 0x1p-24;
  const double scale = std::ldexp(1.0, -24 * (a + 2));
  fh *= scale;
  fl *= scale;
  if (up) {
    fh = -fh;
    fl = -fl;
  }
  // r = f pi/4
  double p, pe;
  two_prod(fh, kPio4Hi, p, pe);
  pe += fh * kPio4Lo + fl * kPio4Hi;
  fast_two_sum(p, pe, r.hi, r.lo);
  return r;
}

}  // namespace

Reduced reduce_pio2(double x) {
  const uint64_t ix = bits_of(x);
  const uint64_t ax = ix & 0x7FFFFFFFFFFFFFFFull;
  const bool neg = (ix >> 63) != 0;
  const uint32_t e = static_cast<uint32_t>(ax >> 52);
  if (e >= 2047) return Reduced{x - x, 0.0, 0};
  Reduced r;
  int32_t n;
  if (e <= 1052) {
    f64x2 hi, lo;
    __m128i nv;
    reduce_pio2_medium(f64x2::splat(double_of(ax)), hi, lo, nv);
    r = Reduced{lane0(hi), lane0(lo), 0};
    n = _mm_cvtsi128_si32(nv);
  } else {
    r = large(ax);
    n = r.q;
  }
  if (neg) {
    r.hi = -r.hi;
    r.lo = -r.lo;
    n = -n;
  }
  r.q = n & 3;
  return r;
}

}  // namespace qor::vm::trig

extern "C" QOR_API int32_t qor_fnx_kernel_reduce_pio2d(double x, double* rec) {
  const qor::vm::trig::Reduced r = qor::vm::trig::reduce_pio2(x);
  rec[0] = r.hi;
  rec[1] = r.lo;
  return r.q;
}
