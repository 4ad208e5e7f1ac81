// Generates the lookup tables of the trigonometric kernels from MPFR at 2048 bits (enough for the
// 1400 bits of 4/pi the large-argument reduction reads). Run by hand; the output is committed
// under src/vector_math/kernels/trig/tables/:
//
//   gen_trig_tables <output directory>
//
// Tables (each file is the body of a brace-initialiser, one entry per line):
//   pio4_chunks.inc   g_i as doubles, i = 0..63: 4/pi = sum g_i 2^(-24 i), g_0 = 1, each g_i an
//                     integer below 2^24 (the chunks of the large-argument reduction)
//   dsin_pi64.inc     {C_j - c_j, S_hi, S_lo, c_j}, j = 0..127, for the angle j pi/64:
//                     S_hi = RN(sin), S_lo = sin - S_hi rounded to 24 significant bits (the
//                     published entries have it so; S_hi + S_lo is sin to 2^-80), c_j = +1 when cos >= 0 else -1,
//                     C_j - c_j = RN(cos - c_j)
//   ssin_pi128.inc    {S_hi, S_lo, C_hi, C_lo} floats as bit patterns, j = 0..255, for the angle
//                     j pi/128: S_hi = RN(sin), S_lo = RN(sin - S_hi), the same for cos
//   atan_j64.inc      {A_hi, A_lo} doubles, j = 0..64: A_hi = RN(atan(j/64)), A_lo = RN(atan - A_hi)
#include <mpfr.h>

#include "table_out.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr mpfr_prec_t kBits = 2048;

FILE* open_out(const std::string& dir, const char* name) {
  return qor::tools::open_out(dir, name, "tools/gen_trig_tables.cpp", static_cast<int>(kBits));
}
using qor::tools::bits_of;

// 4/pi in chunks of 24 bits.
void pio4_chunks(const std::string& dir) {
  mpfr_t v, g;
  mpfr_inits2(kBits, v, g, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_pi(v, MPFR_RNDN);
  mpfr_ui_div(v, 4, v, MPFR_RNDN);
  FILE* f = open_out(dir, "pio4_chunks.inc");
  for (int i = 0; i < 64; ++i) {
    mpfr_rint_trunc(g, v, MPFR_RNDN);  // the integer part: the chunk
    const double d = mpfr_get_d(g, MPFR_RNDN);
    std::fprintf(f, "%.1f,  // g_%d = 0x%06llX\n", d, i, static_cast<unsigned long long>(d));
    mpfr_sub(v, v, g, MPFR_RNDN);
    mpfr_mul_2ui(v, v, 24, MPFR_RNDN);
  }
  std::fclose(f);
  mpfr_clears(v, g, static_cast<mpfr_ptr>(nullptr));
}

// sin and cos of j pi / den.
void angle(mpfr_ptr s, mpfr_ptr c, int j, int den) {
  mpfr_t a;
  mpfr_init2(a, kBits);
  mpfr_const_pi(a, MPFR_RNDN);
  mpfr_mul_si(a, a, j, MPFR_RNDN);
  mpfr_div_si(a, a, den, MPFR_RNDN);
  mpfr_sin_cos(s, c, a, MPFR_RNDN);
  mpfr_clear(a);
}

void sin_tables(const std::string& dir) {
  mpfr_t s, c, t;
  mpfr_inits2(kBits, s, c, t, static_cast<mpfr_ptr>(nullptr));
  FILE* d = open_out(dir, "dsin_pi64.inc");
  for (int j = 0; j < 128; ++j) {
    angle(s, c, j, 64);
    // Exact zeros of the multiples of pi/2 (MPFR's values there are below 2^-2000).
    if (j % 32 == 0) {
      mpfr_set_si(s, j == 32 ? 1 : j == 96 ? -1 : 0, MPFR_RNDN);
      mpfr_set_si(c, j == 0 ? 1 : j == 64 ? -1 : 0, MPFR_RNDN);
    }
    const double cj = mpfr_sgn(c) >= 0 ? 1.0 : -1.0;
    const double shi = mpfr_get_d(s, MPFR_RNDN);
    mpfr_sub_d(t, s, shi, MPFR_RNDN);
    const double slo = static_cast<double>(mpfr_get_flt(t, MPFR_RNDN));  // 24 bits, as published
    mpfr_sub_d(t, c, cj, MPFR_RNDN);
    const double cm = mpfr_get_d(t, MPFR_RNDN);
    std::fprintf(d, "{%a, %a, %a, %.1f},  // j = %d\n", cm, shi, slo, cj, j);
  }
  std::fclose(d);
  FILE* f = open_out(dir, "ssin_pi128.inc");
  for (int j = 0; j < 256; ++j) {
    angle(s, c, j, 128);
    if (j % 64 == 0) {
      mpfr_set_si(s, j == 64 ? 1 : j == 192 ? -1 : 0, MPFR_RNDN);
      mpfr_set_si(c, j == 0 ? 1 : j == 128 ? -1 : 0, MPFR_RNDN);
    }
    const float shi = mpfr_get_flt(s, MPFR_RNDN);
    mpfr_sub_d(t, s, shi, MPFR_RNDN);
    const float slo = mpfr_get_flt(t, MPFR_RNDN);
    const float chi = mpfr_get_flt(c, MPFR_RNDN);
    mpfr_sub_d(t, c, chi, MPFR_RNDN);
    const float clo = mpfr_get_flt(t, MPFR_RNDN);
    std::fprintf(f, "{0x%08Xu, 0x%08Xu, 0x%08Xu, 0x%08Xu},  // j = %d: %a %a %a %a\n", bits_of(shi), bits_of(slo),
                 bits_of(chi), bits_of(clo), j, shi, slo, chi, clo);
  }
  std::fclose(f);
  mpfr_clears(s, c, t, static_cast<mpfr_ptr>(nullptr));
}

void atan_table(const std::string& dir) {
  mpfr_t a, t;
  mpfr_inits2(kBits, a, t, static_cast<mpfr_ptr>(nullptr));
  FILE* f = open_out(dir, "atan_j64.inc");
  for (int j = 0; j <= 64; ++j) {
    mpfr_set_si(a, j, MPFR_RNDN);
    mpfr_div_si(a, a, 64, MPFR_RNDN);
    mpfr_atan(a, a, MPFR_RNDN);
    const double hi = mpfr_get_d(a, MPFR_RNDN);
    mpfr_sub_d(t, a, hi, MPFR_RNDN);
    std::fprintf(f, "{%a, %a},  // j = %d\n", hi, mpfr_get_d(t, MPFR_RNDN), j);
  }
  std::fclose(f);
  mpfr_clears(a, t, static_cast<mpfr_ptr>(nullptr));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  pio4_chunks(argv[1]);
  sin_tables(argv[1]);
  atan_table(argv[1]);
  return 0;
}
