// Generates the lookup tables of the exponential and logarithmic kernels from MPFR at 256 bits.
// Run by hand; the output is committed under src/vector_math/kernels/exp_log/tables/:
//
//   gen_exp_log_tables <output directory>
//
// Tables (each file is the body of a brace-initialiser, one entry per line):
//   sexp_ha_t128.inc  {T_hi, T_lo} bit patterns of floats: T_hi = RN(2^(j/128)),
//                     T_lo = RN((2^(j/128) - T_hi) / T_hi), j = 0..127
//   sexp_la_f128.inc  {F, 0}: the 23 fraction bits of RN(2^(j/128)) as a float, j = 0..127
//   dexp_t64.inc      {T_hi, T_lo} doubles: T_hi = RN(2^(j/64)), T_lo = RN(2^(j/64) - T_hi)
//   dexp_t256.inc     {B, L} doubles, j = 0..255: B has the bit pattern of T = RN(2^(j/256))
//                     minus j << 44 (so that adding N << 44, N = 256 n + j, to it gives 2^n T);
//                     L = RN((2^(j/256) - T) / T), the relative error of T
//   dexpm1_t256.inc   the same with T = 2^(j/256) rounded to 27 significant bits
//   sln_t65.inc       {R, H, L} doubles, j = 0..64: R = 1/(1 + j/64) rounded to 8 significant
//                     bits; H = -ln R rounded to a multiple of 2^-42, L = RN(-ln R - H)
//   dln_t513.inc      {R, R, H, L} doubles, j = 0..512: R = 1/(1 + j/512) rounded to 21
//                     significant bits; H + L = -ln R (j < 256) or -ln R - ln 2 (j >= 256), H a
//                     multiple of 2^-42
//   dlog2_t513.inc    {H, L}: the same for -log2 R (minus 1 for j >= 256)
//   dlog10_t513.inc   {H, L}: the same for -log10 R (minus log10 2 for j >= 256)
//   dlog2_la513.inc   {Q, G} doubles, j = 0..512, for the LA kernels of Log2 and Log10: with
//   dlog10_la513.inc  c = 1 + j/512, Q = RN(log_b(e) / c) and G = RN(log_b c) (j < 256) or
//                     RN(log_b(c/2)) (j >= 256), b = 2 and 10
#include <mpfr.h>

#include "table_out.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr mpfr_prec_t kBits = 256;

FILE* open_out(const std::string& dir, const char* name) {
  return qor::tools::open_out(dir, name, "tools/gen_exp_log_tables.cpp", static_cast<int>(kBits));
}
using qor::tools::bits_of;

// v rounded to nearest with `bits` significant bits, as a double (bits <= 53).
double round_sig(mpfr_srcptr v, int bits) {
  mpfr_t t;
  mpfr_init2(t, bits);
  mpfr_set(t, v, MPFR_RNDN);
  const double d = mpfr_get_d(t, MPFR_RNDN);
  mpfr_clear(t);
  return d;
}

// v rounded to the nearest multiple of 2^-q (|v| < 2^10), as a double.
double round_multiple(mpfr_srcptr v, int q) {
  mpfr_t t;
  mpfr_init2(t, kBits);
  mpfr_mul_2si(t, v, q, MPFR_RNDN);
  mpfr_rint(t, t, MPFR_RNDN);
  mpfr_div_2si(t, t, q, MPFR_RNDN);
  const double d = mpfr_get_d(t, MPFR_RNDN);  // exact: at most 52 bits
  mpfr_clear(t);
  return d;
}

// Splits v into H (multiple of 2^-42) and L = RN(v - H).
void split42(mpfr_srcptr v, double* h, double* l) {
  *h = round_multiple(v, 42);
  mpfr_t t;
  mpfr_init2(t, kBits);
  mpfr_sub_d(t, v, *h, MPFR_RNDN);
  *l = mpfr_get_d(t, MPFR_RNDN);
  mpfr_clear(t);
}

void exp_tables(const std::string& dir) {
  mpfr_t v, t;
  mpfr_inits2(kBits, v, t, static_cast<mpfr_ptr>(nullptr));
  FILE* ha = open_out(dir, "sexp_ha_t128.inc");
  FILE* la = open_out(dir, "sexp_la_f128.inc");
  for (int j = 0; j < 128; ++j) {
    mpfr_set_si(v, j, MPFR_RNDN);
    mpfr_div_si(v, v, 128, MPFR_RNDN);
    mpfr_exp2(v, v, MPFR_RNDN);
    const float hi = mpfr_get_flt(v, MPFR_RNDN);
    mpfr_sub_d(t, v, hi, MPFR_RNDN);
    mpfr_div_d(t, t, hi, MPFR_RNDN);
    const float lo = mpfr_get_flt(t, MPFR_RNDN);
    std::fprintf(ha, "{0x%08Xu, 0x%08Xu},  // j = %d: %a, %a\n", bits_of(hi), bits_of(lo), j, hi, lo);
    std::fprintf(la, "{0x%06Xu, 0u},  // j = %d\n", bits_of(hi) & 0x7FFFFFu, j);
  }
  std::fclose(ha);
  std::fclose(la);
  FILE* d = open_out(dir, "dexp_t64.inc");
  for (int j = 0; j < 64; ++j) {
    mpfr_set_si(v, j, MPFR_RNDN);
    mpfr_div_si(v, v, 64, MPFR_RNDN);
    mpfr_exp2(v, v, MPFR_RNDN);
    const double hi = mpfr_get_d(v, MPFR_RNDN);
    mpfr_sub_d(t, v, hi, MPFR_RNDN);
    const double lo = mpfr_get_d(t, MPFR_RNDN);
    std::fprintf(d, "{%a, %a},  // j = %d\n", hi, lo, j);
  }
  std::fclose(d);
  for (const int bits : {53, 27}) {
    FILE* d256 = open_out(dir, bits == 53 ? "dexp_t256.inc" : "dexpm1_t256.inc");
    for (int j = 0; j < 256; ++j) {
      mpfr_set_si(v, j, MPFR_RNDN);
      mpfr_div_si(v, v, 256, MPFR_RNDN);
      mpfr_exp2(v, v, MPFR_RNDN);
      const double hi = round_sig(v, bits);
      mpfr_sub_d(t, v, hi, MPFR_RNDN);
      mpfr_div_d(t, t, hi, MPFR_RNDN);
      const double lo = mpfr_get_d(t, MPFR_RNDN);
      uint64_t b;
      std::memcpy(&b, &hi, 8);
      b -= static_cast<uint64_t>(j) << 44;
      double biased;
      std::memcpy(&biased, &b, 8);
      std::fprintf(d256, "{%a, %a},  // j = %d: T = %a\n", biased, lo, j, hi);
    }
    std::fclose(d256);
  }
  // 2^(j/1024) for Exp LA and 2^(j/2048) for single Expm1: T only, biased by j << 42 (j << 41).
  for (const int size : {1024, 2048}) {
    const int shift = size == 1024 ? 42 : 41;
    FILE* f = open_out(dir, size == 1024 ? "dexp_t1024.inc" : "sexpm1_t2048.inc");
    for (int j = 0; j < size; ++j) {
      mpfr_set_si(v, j, MPFR_RNDN);
      mpfr_div_si(v, v, size, MPFR_RNDN);
      mpfr_exp2(v, v, MPFR_RNDN);
      const double hi = mpfr_get_d(v, MPFR_RNDN);
      uint64_t b;
      std::memcpy(&b, &hi, 8);
      b -= static_cast<uint64_t>(j) << shift;
      double biased;
      std::memcpy(&biased, &b, 8);
      std::fprintf(f, "%a,  // j = %d: T = %a\n", biased, j, hi);
    }
    std::fclose(f);
  }
  mpfr_clears(v, t, static_cast<mpfr_ptr>(nullptr));
}

// -log_base(R) minus log_base(2) when `shift`; base: 0 = e, 1 = 2, 2 = 10.
void neg_log(mpfr_ptr out, double r, int base, bool shift) {
  mpfr_t t;
  mpfr_init2(t, kBits);
  mpfr_set_d(t, r, MPFR_RNDN);
  if (shift) mpfr_mul_2si(t, t, 1, MPFR_RNDN);  // -log(R) - log(2) = -log(2R)
  if (base == 0) mpfr_log(out, t, MPFR_RNDN);
  else if (base == 1) mpfr_log2(out, t, MPFR_RNDN);
  else mpfr_log10(out, t, MPFR_RNDN);
  mpfr_neg(out, out, MPFR_RNDN);
  if (mpfr_zero_p(out)) mpfr_set_zero(out, 1);  // +0, not -0, for R = 1 and 2R = 1
  mpfr_clear(t);
}

void log_tables(const std::string& dir) {
  mpfr_t v, w;
  mpfr_inits2(kBits, v, w, static_cast<mpfr_ptr>(nullptr));
  FILE* s = open_out(dir, "sln_t65.inc");
  for (int j = 0; j <= 64; ++j) {
    mpfr_set_si(v, 64, MPFR_RNDN);
    mpfr_div_si(v, v, 64 + j, MPFR_RNDN);
    const double r = round_sig(v, 8);
    neg_log(w, r, 0, false);
    double h, l;
    split42(w, &h, &l);
    std::fprintf(s, "{%a, %a, %a},  // j = %d\n", r, h, l, j);
  }
  std::fclose(s);
  FILE* e = open_out(dir, "dln_t513.inc");
  FILE* b2 = open_out(dir, "dlog2_t513.inc");
  FILE* b10 = open_out(dir, "dlog10_t513.inc");
  for (int j = 0; j <= 512; ++j) {
    mpfr_set_si(v, 512, MPFR_RNDN);
    mpfr_div_si(v, v, 512 + j, MPFR_RNDN);
    const double r = round_sig(v, 21);
    double h, l;
    neg_log(w, r, 0, j >= 256);
    split42(w, &h, &l);
    std::fprintf(e, "{%a, %a, %a, %a},  // j = %d\n", r, r, h, l, j);
    neg_log(w, r, 1, j >= 256);
    split42(w, &h, &l);
    std::fprintf(b2, "{%a, %a},  // j = %d\n", h, l, j);
    neg_log(w, r, 2, j >= 256);
    split42(w, &h, &l);
    std::fprintf(b10, "{%a, %a},  // j = %d\n", h, l, j);
  }
  std::fclose(e);
  std::fclose(b2);
  std::fclose(b10);
  FILE* la2 = open_out(dir, "dlog2_la513.inc");
  FILE* la10 = open_out(dir, "dlog10_la513.inc");
  for (int j = 0; j <= 512; ++j) {
    double q[2];
    for (int b = 0; b < 2; ++b) {  // log_b e / c = 512 / ((512 + j) ln b)
      mpfr_set_si(v, b == 0 ? 2 : 10, MPFR_RNDN);
      mpfr_log(v, v, MPFR_RNDN);
      mpfr_mul_si(v, v, 512 + j, MPFR_RNDN);
      mpfr_si_div(v, 512, v, MPFR_RNDN);
      q[b] = mpfr_get_d(v, MPFR_RNDN);
    }
    mpfr_set_si(v, 512 + j, MPFR_RNDN);
    mpfr_div_si(v, v, j >= 256 ? 1024 : 512, MPFR_RNDN);  // c or c/2, exact
    mpfr_log2(w, v, MPFR_RNDN);
    std::fprintf(la2, "{%a, %a},  // j = %d\n", q[0], mpfr_get_d(w, MPFR_RNDN) + 0.0, j);
    mpfr_log10(w, v, MPFR_RNDN);
    std::fprintf(la10, "{%a, %a},  // j = %d\n", q[1], mpfr_get_d(w, MPFR_RNDN) + 0.0, j);
  }
  std::fclose(la2);
  std::fclose(la10);
  mpfr_clears(v, w, static_cast<mpfr_ptr>(nullptr));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  exp_tables(argv[1]);
  log_tables(argv[1]);
  return 0;
}
