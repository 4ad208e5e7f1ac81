// Polynomials of the packed inverse error functions (src/vector_math/kernels/special/erfinv.h),
// written to src/vector_math/kernels/special/tables/erfinv_poly.inc:
//
//   gen_erfinv_poly <out dir>                    the table of the kernels (the pieces below)
//   gen_erfinv_poly try <w|s> <lo> <hi> <degree> one piece, its error only
//
// With w = -ln((1 - x)(1 + x)) and s = sqrt(w), erfinv x is approximated
//   central (w in [0, 6.25]):  x P(w - c),  P ~ erfinv(x) / x (sqrt(pi)/2 at w = 0);
//   tails   (s in [lo, hi]):   P(s - c)     (no factor x: x is within 0.2 % of 1 there),
// c the middle of the piece. Each P interpolates its function at the Chebyshev nodes of the
// piece (values from the test support's MPFR erfc^-1 at 256 bits), converted to powers of v - c
// in long double and rounded to double. The report gives the largest relative error of the
// rounded polynomial (evaluated in long double) on 2001 points of the piece.
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/vm_reference.h"
#include "table_out.h"

namespace {

using LD = long double;
constexpr int kBits = 256;

// The approximated function at v: erfinv(x) / x (central, v = w) or erfinv(x) (tails, v = s).
LD target(bool central, LD v) {
  if (central && v == 0) return 0.886226925452758013649083741671L;  // sqrt(pi) / 2
  mpfr_t w, e, q, y;
  mpfr_inits2(kBits, w, e, q, y, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(w, v, MPFR_RNDN);
  if (!central) mpfr_sqr(w, w, MPFR_RNDN);
  mpfr_neg(e, w, MPFR_RNDN);
  mpfr_exp(e, e, MPFR_RNDN);  // (1 - x)(1 + x) = e^-w
  mpfr_ui_sub(q, 1, e, MPFR_RNDN);
  mpfr_sqrt(q, q, MPFR_RNDN);  // x
  mpfr_add_ui(y, q, 1, MPFR_RNDN);
  mpfr_div(q, e, y, MPFR_RNDN);  // q = 1 - x = e^-w / (1 + x), without cancellation
  qor::test::vm::ref_erfcinv(y, q, MPFR_RNDN);
  if (central) {
    mpfr_ui_sub(q, 1, q, MPFR_RNDN);
    mpfr_div(y, y, q, MPFR_RNDN);
  }
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(w, e, q, y, static_cast<mpfr_ptr>(nullptr));
  return r;
}

struct Piece {
  bool central;
  LD lo, hi;
  int degree;
  std::vector<double> a;  // coefficients of (v - c)^k
  LD c = 0, err = 0;
};

void fit(Piece& p) {
  const int n = p.degree + 1;
  const LD c = (p.lo + p.hi) / 2, h = (p.hi - p.lo) / 2;
  p.c = c;
  std::vector<LD> f(n), cheb(n, 0);
  for (int j = 0; j < n; ++j) f[j] = target(p.central, c + h * std::cos(M_PIl * (j + 0.5L) / n));
  for (int k = 0; k < n; ++k) {
    LD s = 0;
    for (int j = 0; j < n; ++j) s += f[j] * std::cos(M_PIl * k * (j + 0.5L) / n);
    cheb[k] = s * 2 / n;
  }
  cheb[0] /= 2;
  // sum cheb_k T_k(u) in powers of u, T_{k+1} = 2u T_k - T_{k-1}
  std::vector<LD> mono(n, 0), t0(n, 0), t1(n, 0), t2(n, 0);
  t0[0] = 1;
  if (n > 1) t1[1] = 1;
  for (int k = 0; k < n; ++k) {
    const std::vector<LD>& t = k == 0 ? t0 : t1;
    for (int i = 0; i < n; ++i) mono[i] += cheb[k] * t[i];
    if (k >= 1) {
      for (int i = 0; i < n; ++i) t2[i] = (i ? 2 * t1[i - 1] : 0) - t0[i];
      t0 = t1;
      t1 = t2;
    }
  }
  p.a.resize(n);
  LD hp = 1;
  for (int i = 0; i < n; ++i, hp *= h) p.a[i] = static_cast<double>(mono[i] / hp);
  p.err = 0;
  for (int g = 0; g <= 2000; ++g) {
    const LD v = p.lo + (p.hi - p.lo) * g / 2000;
    LD s = 0;
    for (int i = n; i-- > 0;) s = s * (v - c) + p.a[i];
    p.err = std::fmax(p.err, std::fabs(s / target(p.central, v) - 1));
  }
}

void report(FILE* f, const Piece& p) {
  std::fprintf(f, "// %s in [%Lg, %Lg], degree %d around %Lg: relative error 2^%.1f\n", p.central ? "w" : "s", p.lo,
               p.hi, p.degree, p.c, static_cast<double>(std::log2(p.err)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && !std::strcmp(argv[1], "try")) {
    Piece p{argv[2][0] == 'w', std::strtold(argv[3], nullptr), std::strtold(argv[4], nullptr), std::atoi(argv[5]), {}};
    fit(p);
    report(stdout, p);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_erfinv_poly <out dir> | gen_erfinv_poly try <w|s> <lo> <hi> <degree>\n");
    return 1;
  }
  struct Table {
    const char* name;
    Piece p;
  };
  // Single precision, evaluated in double: per slot, relative errors of about 2^-28 (HA), 2^-23
  // (LA) and 2^-13 (EP); central piece, then the tails s in [2.5, 4.1] (every float ErfInv
  // argument below 1) and [4.1, 10.2] (down to ErfcInv(2^-149)).
  std::vector<Table> tables = {
      {"kSErfinvHA_W", {true, 0, 6.25, 12, {}}},  {"kSErfinvHA_S1", {false, 2.5, 4.1, 8, {}}},
      {"kSErfinvHA_S2", {false, 4.1, 10.2, 10, {}}}, {"kSErfinvLA_W", {true, 0, 6.25, 9, {}}},
      {"kSErfinvLA_S1", {false, 2.5, 4.1, 6, {}}},  {"kSErfinvLA_S2", {false, 4.1, 10.2, 8, {}}},
      {"kSErfinvEP_W", {true, 0, 6.25, 4, {}}},     {"kSErfinvEP_S1", {false, 2.5, 4.1, 3, {}}},
      {"kSErfinvEP_S2", {false, 4.1, 10.2, 4, {}}},
  };
  FILE* f = qor::tools::open_out(argv[1], "erfinv_poly.inc", "tools/gen_erfinv_poly", kBits);
  for (Table& t : tables) {
    fit(t.p);
    report(f, t.p);
    report(stdout, t.p);
    std::fprintf(f, "constexpr double %s_c = %a;\nconstexpr double %s[%zu] = {", t.name, static_cast<double>(t.p.c), t.name,
                 t.p.a.size());
    for (size_t i = 0; i < t.p.a.size(); ++i) std::fprintf(f, "%s%a", i ? ", " : "", t.p.a[i]);
    std::fprintf(f, "};\n");
  }
  std::fclose(f);
  return 0;
}
