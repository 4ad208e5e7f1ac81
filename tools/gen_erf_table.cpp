// Generates the lookup table of the packed error-function kernels (special/erf_table.h) from
// MPFR at 256 bits. Run by hand; the output is committed under
// src/vector_math/kernels/special/tables/:
//
//   gen_erf_table <output directory>
//
//   erf_t128.inc  {C_hi, D, C_lo, E_lo} doubles for r = k/128, k = 0..3495 (r up to 27.3):
//                 C_hi = RN(erfc r), C_lo = RN(erfc r - C_hi), D = RN(2/sqrt(pi) e^(-r^2)) (the
//                 slope of erf at r), E_lo = RN(erf r - RN(1 - C_hi)), so that erf r is
//                 RN(1 - C_hi) + E_lo to about 2^-106 absolute. From k = 3328 (r = 26) on, where
//                 erfc nears the subnormal range, erfc r and the slope are scaled by 2^128 (C_hi,
//                 C_lo, D and D_lo; E_lo is 0 there): the Erfc kernel scales its result back.
//   erf_dlo128.inc D_lo = RN(2/sqrt(pi) e^(-r^2) - D) for the same r (the double-precision HA
//                 kernels carry the slope as D + D_lo).
//   erf_taylor128.inc  for r = k/128, k = 0..3495 (r up to 27.3), the Taylor coefficients c_2 ... c_9
//                 of erf(r + d) = erf r + 2/sqrt(pi) e^(-r^2) (d + c_2 d^2 + ... ), c_n =
//                 (-1)^(n-1) H_(n-1)(r) / n! (H the Hermite polynomials), as doubles.
//   erf_f64.inc, erf_f128.inc  the float rows of single-precision Erf EP and LA (erf_float.h):
//                 for r = k/64, k = -256..256, and r = k/128, k = -512..512 (r from -4 to 4),
//                 {RN(erf r), RN(2/sqrt(pi) e^(-r^2) s)} as floats, s = 1/64 for EP (the
//                 slope per grid step), 1 for LA; erf 0 as -0.
//   erfc_f256.inc the float rows of single-precision Erfc LA and EP: for r = k/256, k =
//                 0..2586 (r up to 10.1), {RN(erfc r), RN(2/sqrt(pi) e^(-r^2) / erfc r)} as
//                 floats (the slope relative to erfc, so that the kernels' products stay
//                 normal down to erfc's underflow threshold). From k = 2354 on (r = 9.1953,
//                 erfc r below the normal range) erfc r is scaled by 2^64.
//   erf_fha128.inc the float rows of single-precision Erf HA: for r = k/128, k = -512..512 (row
//                 0 at r = -4), {E_hi, E_lo, D', D}, D = RN(2/sqrt(pi) e^(-r^2)): where |r| <= 7/128
//                 (the rows whose kernel adds 9x/8) E_hi = 0 (-0 at r <= 0), E_lo =
//                 RN(erf r - 9r/8), D' = RN(D_exact - 9/8); elsewhere E_hi = RN(erf r), E_lo =
//                 RN(erf r - E_hi), D' = D.
//   erfc_fha256.inc the float rows of single-precision Erfc HA: for r = k/256, k = -1024..2586
//                 (r from -4 to 10.1, row 0 at r = -4), {H, L, Q, 0}: H = RN(erfc r 2^64), L =
//                 RN((erfc r 2^64 - H) / H), Q = RN(2/sqrt(pi) e^(-r^2) / erfc r).
#include <mpfr.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "table_out.h"

namespace {

constexpr mpfr_prec_t kBits = 256;
constexpr int kRows = 3496;
constexpr int kScaledFrom = 3328;  // rows scaled by 2^128
constexpr int kTaylorRows = kRows;  // r = 0 ... 27.3 (single precision reads up to 10.1)
constexpr int kTaylorLast = 9;    // c_2 ... c_9

void table(const std::string& dir) {
  FILE* f = qor::tools::open_out(dir, "erf_t128.inc", "tools/gen_erf_table.cpp", static_cast<int>(kBits));
  FILE* g = qor::tools::open_out(dir, "erf_dlo128.inc", "tools/gen_erf_table.cpp", static_cast<int>(kBits));
  mpfr_t r, c, e, d, t, s;
  mpfr_inits2(kBits, r, c, e, d, t, s, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_pi(s, MPFR_RNDN);
  mpfr_sqrt(s, s, MPFR_RNDN);
  mpfr_ui_div(s, 2, s, MPFR_RNDN);  // 2/sqrt(pi)
  for (int k = 0; k < kRows; ++k) {
    mpfr_set_si(r, k, MPFR_RNDN);
    mpfr_div_2ui(r, r, 7, MPFR_RNDN);
    mpfr_erfc(c, r, MPFR_RNDN);
    mpfr_erf(e, r, MPFR_RNDN);
    mpfr_sqr(d, r, MPFR_RNDN);
    mpfr_neg(d, d, MPFR_RNDN);
    mpfr_exp(d, d, MPFR_RNDN);
    mpfr_mul(d, d, s, MPFR_RNDN);
    const bool scaled = k >= kScaledFrom;
    if (scaled) {
      mpfr_mul_2ui(c, c, 128, MPFR_RNDN);
      mpfr_mul_2ui(d, d, 128, MPFR_RNDN);
    }
    const double chi = mpfr_get_d(c, MPFR_RNDN);
    mpfr_sub_d(t, c, chi, MPFR_RNDN);
    const double clo = mpfr_get_d(t, MPFR_RNDN);
    const double ehi = 1.0 - chi;  // as the kernels form it
    mpfr_sub_d(t, e, ehi, MPFR_RNDN);
    const double elo = scaled ? 0.0 : mpfr_get_d(t, MPFR_RNDN);
    const double dd = mpfr_get_d(d, MPFR_RNDN);
    std::fprintf(f, "{%a, %a, %a, %a},\n", chi, dd, clo, elo);
    mpfr_sub_d(t, d, dd, MPFR_RNDN);
    std::fprintf(g, "%a,\n", mpfr_get_d(t, MPFR_RNDN));
  }
  mpfr_clears(r, c, e, d, t, s, static_cast<mpfr_ptr>(nullptr));
  std::fclose(f);
  std::fclose(g);
}

void taylor(const std::string& dir) {
  FILE* f = qor::tools::open_out(dir, "erf_taylor128.inc", "tools/gen_erf_table.cpp", static_cast<int>(kBits));
  mpfr_t r, hp, hc, hn, c, fact;
  mpfr_inits2(kBits, r, hp, hc, hn, c, fact, static_cast<mpfr_ptr>(nullptr));
  for (int k = 0; k < kTaylorRows; ++k) {
    mpfr_set_si(r, k, MPFR_RNDN);
    mpfr_div_2ui(r, r, 7, MPFR_RNDN);
    mpfr_set_ui(hp, 1, MPFR_RNDN);     // H_0
    mpfr_mul_2ui(hc, r, 1, MPFR_RNDN);  // H_1
    mpfr_set_ui(fact, 2, MPFR_RNDN);    // 2!
    std::fprintf(f, "{");
    for (int n = 2; n <= kTaylorLast; ++n) {  // c_n = (-1)^(n-1) H_(n-1) / n!, H_(n-1) in hc
      mpfr_div(c, hc, fact, MPFR_RNDN);
      if (n % 2 == 0) mpfr_neg(c, c, MPFR_RNDN);
      std::fprintf(f, "%a%s", mpfr_get_d(c, MPFR_RNDN), n < kTaylorLast ? ", " : "},\n");
      // H_n = 2r H_(n-1) - 2(n-1) H_(n-2)
      mpfr_mul(hn, hc, r, MPFR_RNDN);
      mpfr_mul_2ui(hn, hn, 1, MPFR_RNDN);
      mpfr_mul_ui(c, hp, 2 * (n - 1), MPFR_RNDN);
      mpfr_sub(hn, hn, c, MPFR_RNDN);
      mpfr_swap(hp, hc);
      mpfr_swap(hc, hn);
      mpfr_mul_ui(fact, fact, n + 1, MPFR_RNDN);
    }
  }
  mpfr_clears(r, hp, hc, hn, c, fact, static_cast<mpfr_ptr>(nullptr));
  std::fclose(f);
}

// s = 2/sqrt(pi).
void two_over_sqrt_pi(mpfr_t s) {
  mpfr_const_pi(s, MPFR_RNDN);
  mpfr_sqrt(s, s, MPFR_RNDN);
  mpfr_ui_div(s, 2, s, MPFR_RNDN);
}
// r = k 2^-shift and d = s e^(-r^2), the slope of erf at r (s = 2/sqrt(pi)).
void grid_point_and_slope(mpfr_t r, mpfr_t d, mpfr_t s, int k, int shift) {
  mpfr_set_si(r, k, MPFR_RNDN);
  mpfr_div_2ui(r, r, shift, MPFR_RNDN);
  mpfr_sqr(d, r, MPFR_RNDN);
  mpfr_neg(d, d, MPFR_RNDN);
  mpfr_exp(d, d, MPFR_RNDN);
  mpfr_mul(d, d, s, MPFR_RNDN);
}

// Float rows {f(r), g(r)} for r = k / 2^shift, k = 0..last: Erf f = erf, g = the slope;
// Erfc f = erfc, g = the slope / erfc.
// Rows from k = scaled_from on hold f(r) 2^64; g is multiplied by 2^-gshift.
void float_rows(const std::string& dir, const char* name, int shift, int first, int last, bool complement,
                int scaled_from, int gshift = 0) {
  FILE* f = qor::tools::open_out(dir, name, "tools/gen_erf_table.cpp", static_cast<int>(kBits));
  mpfr_t r, v, d, s;
  mpfr_inits2(kBits, r, v, d, s, static_cast<mpfr_ptr>(nullptr));
  two_over_sqrt_pi(s);
  for (int k = first; k <= last; ++k) {
    grid_point_and_slope(r, d, s, k, shift);
    mpfr_div_2ui(d, d, gshift, MPFR_RNDN);
    if (complement) {
      mpfr_erfc(v, r, MPFR_RNDN);
      mpfr_div(d, d, v, MPFR_RNDN);
      if (k >= scaled_from) mpfr_mul_2ui(v, v, 64, MPFR_RNDN);
    } else {
      mpfr_erf(v, r, MPFR_RNDN);
    }
    // mpfr_get_flt rounds once, subnormal results included; erf 0 is written as -0, so that the
    // kernels' sum erf r + D S keeps the sign of S = +-0 (-0 + +0 = +0, -0 + -0 = -0)
    const float fv = !complement && k == 0 ? -0.0f : mpfr_get_flt(v, MPFR_RNDN);
    std::fprintf(f, "{%af, %af},\n", static_cast<double>(fv), static_cast<double>(mpfr_get_flt(d, MPFR_RNDN)));
  }
  mpfr_clears(r, v, d, s, static_cast<mpfr_ptr>(nullptr));
  std::fclose(f);
}

// The HA rows (see the head of the file): Erf (complement false) from k = -512, Erfc from -1024.
void float_rows_ha(const std::string& dir, const char* name, int shift, int first, int last, bool complement) {
  FILE* f = qor::tools::open_out(dir, name, "tools/gen_erf_table.cpp", static_cast<int>(kBits));
  mpfr_t r, v, d, s, w;
  mpfr_inits2(kBits, r, v, d, s, w, static_cast<mpfr_ptr>(nullptr));
  two_over_sqrt_pi(s);
  for (int k = first; k <= last; ++k) {
    grid_point_and_slope(r, d, s, k, shift);  // the slope D
    float c0, c1, c2, c3;
    if (complement) {
      mpfr_erfc(v, r, MPFR_RNDN);
      mpfr_div(w, d, v, MPFR_RNDN);
      c2 = mpfr_get_flt(w, MPFR_RNDN);
      mpfr_mul_2ui(v, v, 64, MPFR_RNDN);
      c0 = mpfr_get_flt(v, MPFR_RNDN);
      mpfr_sub_d(w, v, c0, MPFR_RNDN);
      mpfr_div_d(w, w, c0, MPFR_RNDN);
      c1 = mpfr_get_flt(w, MPFR_RNDN);
      c3 = 0.0f;
    } else {
      mpfr_erf(v, r, MPFR_RNDN);
      c3 = mpfr_get_flt(d, MPFR_RNDN);
      if (std::abs(k) <= 7) {  // |r| <= 7/128: erf r - 9r/8 and D - 9/8, the kernel adds 9x/8
        c0 = k <= 0 ? -0.0f : 0.0f;
        mpfr_mul_d(w, r, 1.125, MPFR_RNDN);
        mpfr_sub(w, v, w, MPFR_RNDN);
        c1 = k == 0 ? -0.0f : mpfr_get_flt(w, MPFR_RNDN);
        mpfr_sub_d(w, d, 1.125, MPFR_RNDN);
        c2 = mpfr_get_flt(w, MPFR_RNDN);
      } else {
        c0 = mpfr_get_flt(v, MPFR_RNDN);
        mpfr_sub_d(w, v, c0, MPFR_RNDN);
        c1 = mpfr_get_flt(w, MPFR_RNDN);
        c2 = c3;
      }
    }
    std::fprintf(f, "{%af, %af, %af, %af},\n", static_cast<double>(c0), static_cast<double>(c1),
                 static_cast<double>(c2), static_cast<double>(c3));
  }
  mpfr_clears(r, v, d, s, w, static_cast<mpfr_ptr>(nullptr));
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  table(argv[1]);
  taylor(argv[1]);
  float_rows(argv[1], "erf_f64.inc", 6, -256, 256, false, 257, 6);
  float_rows(argv[1], "erf_f128.inc", 7, -512, 512, false, 513);
  float_rows(argv[1], "erfc_f256.inc", 8, 0, 2586, true, 2354);
  float_rows_ha(argv[1], "erf_fha128.inc", 7, -512, 512, false);
  float_rows_ha(argv[1], "erfc_fha256.inc", 8, -1024, 2586, true);
  return 0;
}
