// Polynomials of the packed double-precision ExpInt1 (src/vector_math/kernels/special/expint_packed.h),
// written to src/vector_math/kernels/special/tables/expint_poly.inc:
//
//   gen_expint_poly <out dir>                     the table of the kernels (below)
//   gen_expint_poly try <g|q> <lo> <hi> <degree> [<cut LA> <cut EP>]  one piece, its errors only
//
// Three functions are approximated (values from MPFR at 256 bits):
//   E1(x) itself on [1/2, 32), on the pieces [k / m, (k + 1) / m): m = 2^(5-e) on [2^e, 2^(e+1)),
//          e = -1, 0, 1 (32 pieces a binade, k = 32 .. 63), then m = 8 on [4, 32) (k = 32 .. 255),
//          as polynomials in u = m x - k - 1/2 on [-1/2, 1/2] (the kernel finds k and u from x
//          alone, with no exponential): rows {a0, a0l, a1, .., a10}, a0 + a0l = E1(c) as a double
//          pair, c = (k + 1/2) / m the middle of the piece;
//   g(x) = e^x E1(x) on the pieces [2^e (1 + j/16), 2^e (1 + (j+1)/16)], e = 5 .. 9, j = 0 .. 15
//          (x from 32 to 1024; the kernel takes E1 = e^-x g(x));
//   q(x) = (Ein(x) - x) / x on [0, 1/2], Ein(x) = sum_{k>=1} (-1)^(k+1) x^k / (k k!) (the entire part
//          of E1 = -gamma - ln x + Ein(x); the kernel takes Ein = x + x q(x)).
// Each polynomial interpolates its function at the Chebyshev nodes of the piece, converted to
// powers of v = x - c (c the middle of the piece, a double, so that v is exact) in long double
// and rounded to double; the constant term is g(c) itself as a pair a0 + a0l (a0 of 26 bits), and the
// linear one a pair a1 + a1l (its rounding alone would cost 2^-57 of g at the pieces' ends). The report
// gives each piece's largest relative error (absolute for q) (the rounded polynomial evaluated in long double on
// 1001 points), and that of the polynomial cut to the lower degrees of the LA and EP kernels.
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "table_out.h"

namespace {

using LD = long double;
constexpr int kBits = 256;
// Degrees of the kernels: HA (the table's), LA and EP (the same coefficients cut short).
constexpr int kDegHA = 11, kDegLA = 11, kDegEP = 6;
constexpr int kQDegHA = 11, kQDegLA = 11, kQDegEP = 6;
constexpr int kDDegHA = 10, kDDegLA = 9, kDDegEP = 5;  // the direct pieces of E1
constexpr int kGFirstBinade = 5;                       // g from 2^5 = 32 on

// g(x) = e^x E1(x) or q(x) = (Ein(x) - x) / x at v, in y (256 bits).
void target(char kind, const mpfr_t v, mpfr_t y) {
  mpfr_t a, b, t;
  mpfr_inits2(kBits, a, b, t, static_cast<mpfr_ptr>(nullptr));
  if (kind == 'g') {
    mpfr_neg(a, v, MPFR_RNDN);
    mpfr_eint(b, a, MPFR_RNDN);  // Ei(-x) = -E1(x)
    mpfr_exp(a, v, MPFR_RNDN);
    mpfr_mul(y, a, b, MPFR_RNDN);
    mpfr_neg(y, y, MPFR_RNDN);
  } else {  // sum_{k>=2} (-1)^(k+1) x^(k-1) / (k k!)
    mpfr_set_si(t, 1, MPFR_RNDN);  // (-1)^(k+1) x^(k-1) / k!
    mpfr_set_zero(y, 1);
    for (int k = 2; k < 200; ++k) {
      mpfr_mul(t, t, v, MPFR_RNDN);
      mpfr_div_si(t, t, -k, MPFR_RNDN);
      mpfr_div_si(a, t, k, MPFR_RNDN);
      mpfr_add(y, y, a, MPFR_RNDN);
      if (mpfr_zero_p(t) || mpfr_get_exp(t) < -300) break;
    }
  }
  mpfr_clears(a, b, t, static_cast<mpfr_ptr>(nullptr));
}
LD target_ld(char kind, LD v) {
  mpfr_t m, y;
  mpfr_inits2(kBits, m, y, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(m, v, MPFR_RNDN);
  target(kind, m, y);
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(m, y, static_cast<mpfr_ptr>(nullptr));
  return r;
}

struct Piece {
  char kind;
  LD lo, hi;
  int degree;
  std::vector<double> a;  // a[0] = a0 (high part), a[1] = a0l, a[2] = a1l, a[3..] the coefficients of v^1 ...
  double c = 0;
  LD err[3] = {0, 0, 0};  // full degree, LA degree, EP degree
};

LD eval(const Piece& p, int degree, LD v) {
  LD s = 0;
  for (int i = degree; i >= 1; --i) s = s * v + p.a[i + 2];
  return (static_cast<LD>(p.a[0]) + p.a[1]) + (s + p.a[2]) * v;
}

void fit(Piece& p, int deg_la, int deg_ep) {
  const int n = p.degree + 1;
  const double c = static_cast<double>((p.lo + p.hi) / 2);
  const LD h = std::fmax(p.hi - c, c - p.lo);
  p.c = c;
  const std::vector<LD> mono = qor::tools::chebyshev_fit(n, c, h, [&](LD v) { return target_ld(p.kind, v); });
  p.a.assign(n + 2, 0.0);
  // the constant term: the function at c, as a pair: a0 of 26 significant bits (so that the
  // kernel's products of a0 with a double split in halves are exact) and the rest rounded
  mpfr_t m, y;
  mpfr_inits2(kBits, m, y, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_d(m, c, MPFR_RNDN);
  target(p.kind, m, y);
  mpfr_set(m, y, MPFR_RNDN);
  mpfr_prec_round(m, 26, MPFR_RNDN);
  p.a[0] = mpfr_get_d(m, MPFR_RNDN);
  mpfr_sub_d(y, y, p.a[0], MPFR_RNDN);
  p.a[1] = mpfr_get_d(y, MPFR_RNDN);
  mpfr_clears(m, y, static_cast<mpfr_ptr>(nullptr));
  for (int i = 1; i < n; ++i) {
    const LD ai = mono[i];
    p.a[i + 2] = static_cast<double>(ai);
    if (i == 1) p.a[2] = static_cast<double>(ai - p.a[3]);  // a1 as a pair too
  }
  const int degs[3] = {p.degree, deg_la, deg_ep};
  for (int g = 0; g <= 1000; ++g) {
    const LD x = p.lo + (p.hi - p.lo) * g / 1000;
    const LD t = target_ld(p.kind, x);
    for (int d = 0; d < 3; ++d) p.err[d] = std::fmax(p.err[d], p.kind == 'q' ? std::fabs(eval(p, degs[d], x - c) - t) : std::fabs(eval(p, degs[d], x - c) / t - 1));
  }
}

// E1 on the piece [k / m, (k + 1) / m), in powers of u = m x - k - 1/2 on [-1/2, 1/2].
struct Direct {
  int k, m;
  std::vector<double> a;  // a0, a0l, a1 .. a_kDDegHA
  LD err[3] = {0, 0, 0};  // relative error at the HA, LA and EP degrees
};

LD e1_ld(LD x) {
  mpfr_t m, y;
  mpfr_inits2(kBits, m, y, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(m, -x, MPFR_RNDN);
  mpfr_eint(y, m, MPFR_RNDN);
  const LD r = -mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(m, y, static_cast<mpfr_ptr>(nullptr));
  return r;
}

LD eval_direct(const Direct& d, int degree, LD u) {
  LD s = 0;
  for (int i = degree; i >= 1; --i) s = s * u + d.a[i + 1];
  return (static_cast<LD>(d.a[0]) + d.a[1]) + s * u;
}

Direct fit_direct(int k, int m) {
  Direct d{k, m, {}};
  const LD c = (k + 0.5L) / m;
  const std::vector<LD> mono = qor::tools::chebyshev_fit(kDDegHA + 1, 0, 0.5L, [&](LD u) { return e1_ld(c + u / m); });
  d.a.assign(kDDegHA + 2, 0.0);
  mpfr_t x, y;
  mpfr_inits2(kBits, x, y, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_si(x, -2 * k - 1, MPFR_RNDN);
  mpfr_div_si(x, x, 2 * m, MPFR_RNDN);  // -c, exact
  mpfr_eint(y, x, MPFR_RNDN);
  mpfr_neg(y, y, MPFR_RNDN);
  d.a[0] = mpfr_get_d(y, MPFR_RNDN);
  mpfr_sub_d(y, y, d.a[0], MPFR_RNDN);
  d.a[1] = mpfr_get_d(y, MPFR_RNDN);
  mpfr_clears(x, y, static_cast<mpfr_ptr>(nullptr));
  for (int i = 1; i <= kDDegHA; ++i) d.a[i + 1] = static_cast<double>(mono[i]);
  const int degs[3] = {kDDegHA, kDDegLA, kDDegEP};
  for (int g = 0; g <= 400; ++g) {
    const LD u = -0.5L + g / 400.0L, t = e1_ld(c + u / m);
    for (int j = 0; j < 3; ++j) d.err[j] = std::fmax(d.err[j], std::fabs(eval_direct(d, degs[j], u) / t - 1));
  }
  return d;
}

void report(FILE* f, const Piece& p) {
  std::fprintf(f, "// %c on [%Lg, %Lg] around %a: relative error 2^%.1f (degree %d), 2^%.1f (LA), 2^%.1f (EP)\n", p.kind,
               p.lo, p.hi, p.c, static_cast<double>(std::log2(p.err[0])), p.degree,
               static_cast<double>(std::log2(p.err[1])), static_cast<double>(std::log2(p.err[2])));
}

void write_piece(FILE* f, const Piece& p, bool braces) {
  std::fprintf(f, braces ? "    {%a," : "    %a,", p.c);
  for (double v : p.a) std::fprintf(f, " %a,", v);
  std::fprintf(f, braces ? " 0.0},\n" : " 0.0\n");
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 6 || argc == 8) && !std::strcmp(argv[1], "try")) {
    Piece p{argv[2][0], std::strtold(argv[3], nullptr), std::strtold(argv[4], nullptr), std::atoi(argv[5]), {}};
    fit(p, argc == 8 ? std::atoi(argv[6]) : p.degree - 2, argc == 8 ? std::atoi(argv[7]) : p.degree / 2);
    report(stdout, p);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_expint_poly <out dir> | gen_expint_poly try <g|q> <lo> <hi> <degree>\n");
    return 1;
  }
  FILE* f = qor::tools::open_out(argv[1], "expint_poly.inc", "tools/gen_expint_poly", kBits);
  std::fprintf(f,
               "// kExpInt1G rows {c, a0, a0l, a1l, a1, ..., a%d, 0}: the polynomial a0 + a0l + (a1 + a1l) v + a2 v^2\n"
               "// + ... in v = x - c (16 doubles a row); kExpInt1D rows {a0, a0l, a1, ..., a%d}: E1 = a0 + a0l + a1 u\n"
               "// + ... in u = m x - k.\n"
               "// Degrees: HA %d, LA %d, EP %d (g); HA %d, LA %d, EP %d (q); HA %d, LA %d, EP %d (E1).\n",
               kDegHA, kDDegHA, kDegHA, kDegLA, kDegEP, kQDegHA, kQDegLA, kQDegEP, kDDegHA, kDDegLA, kDDegEP);
  LD worst[3] = {0, 0, 0};
  std::vector<Piece> pieces;
  for (int e = kGFirstBinade; e <= 9; ++e) {
    for (int j = 0; j < 16; ++j) {
      const LD lo = std::ldexp(1.0L + j / 16.0L, e), hi = std::ldexp(1.0L + (j + 1) / 16.0L, e);
      Piece p{'g', lo, hi, kDegHA, {}};
      fit(p, kDegLA, kDegEP);
      report(f, p);
      for (int d = 0; d < 3; ++d) worst[d] = std::fmax(worst[d], p.err[d]);
      pieces.push_back(p);
    }
  }
  std::printf("g: worst 2^%.1f (HA), 2^%.1f (LA), 2^%.1f (EP)\n", static_cast<double>(std::log2(worst[0])),
              static_cast<double>(std::log2(worst[1])), static_cast<double>(std::log2(worst[2])));
  std::vector<Direct> direct;
  LD dworst[3] = {0, 0, 0};
  for (int m : {64, 32, 16})
    for (int k = 32; k < 64; ++k) direct.push_back(fit_direct(k, m));
  for (int k = 32; k < 256; ++k) direct.push_back(fit_direct(k, 8));
  for (const Direct& d : direct) {
    std::fprintf(f, "// E1 on [%d, %d] / %d: relative error 2^%.1f (HA), 2^%.1f (LA), 2^%.1f (EP)\n", d.k, d.k + 1, d.m,
                 static_cast<double>(std::log2(d.err[0])), static_cast<double>(std::log2(d.err[1])),
                 static_cast<double>(std::log2(d.err[2])));
    for (int j = 0; j < 3; ++j) dworst[j] = std::fmax(dworst[j], d.err[j]);
  }
  std::printf("E1: worst 2^%.1f (HA), 2^%.1f (LA), 2^%.1f (EP)\n", static_cast<double>(std::log2(dworst[0])),
              static_cast<double>(std::log2(dworst[1])), static_cast<double>(std::log2(dworst[2])));
  Piece q{'q', 0, 0.5L, kQDegHA, {}};
  fit(q, kQDegLA, kQDegEP);
  report(f, q);
  report(stdout, q);
  std::fprintf(f, "alignas(16) inline constexpr double kExpInt1G[%zu][%d] = {\n", pieces.size(), kDegHA + 5);
  for (const Piece& p : pieces) write_piece(f, p, true);
  std::fprintf(f, "};\nalignas(16) inline constexpr double kExpInt1Q[%d] = {\n", kQDegHA + 5);
  write_piece(f, q, false);
  std::fprintf(f, "};\nalignas(16) inline constexpr double kExpInt1D[%zu][%d] = {\n", direct.size(), kDDegHA + 2);
  for (const Direct& d : direct) {
    std::fprintf(f, "    {");
    for (size_t i = 0; i < d.a.size(); ++i) std::fprintf(f, i ? ", %a" : "%a", d.a[i]);
    std::fprintf(f, "},\n");
  }
  std::fprintf(f, "};\n");
  std::fclose(f);
  return 0;
}
