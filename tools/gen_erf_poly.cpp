// Piecewise polynomials of the packed double-precision Erf and Erfc LA and EP kernels
// (src/vector_math/kernels/special/erf_poly.h), written to
// src/vector_math/kernels/special/tables/erf_poly.inc:
//
//   gen_erf_poly <out dir>                          the tables of the kernels (below)
//   gen_erf_poly try <f|x> <log2 h> <degree> <end>  one table's largest relative error only
//
// Two functions, each on uniform pieces [c - h/2, c + h/2], c = k h, k = 0 .. K (h a power of two,
// so that the kernel finds k by rounding a / h and d = a - c exactly):
//   f(v) = erf(v) / v on [0, 6]          (the kernel takes erf x = x f(|x|) with |x| clamped at 6);
//   x(v) = e^(v^2) erfc(v) on [0, 27.3]  (the kernel takes erfc a = e^(-a^2) x(a); beyond 26.5
//                                         only in the blocks its screen flags).
// Kinds F and X are f and x with the constant term as a pair (24 leading bits and the rest), for
// the kernels that form m c_0 or 2^n T c_0 exactly. Row 0 of x and X holds x(0) = 1 exactly.
// Kinds r and R (Erfc LA): rows of erfc(c) (R: as a pair) and S(d) = (e^(2cd) erfc(c + d) /
// erfc(c) - 1) / d, so that erfc(c + d) = erfc(c) e^(-2cd) (1 + d S(d)); `degree` counts S's
// coefficients (build_rows). Rows beyond 26.5 (read only in the blocks the kernel's screen flags)
// hold erfc(c) 2^128. Kind s (the table of Erfc LA): kind r with rows from c = -6, those below 0
// without the exponential (1 + d S(d) = erfc(c + d) / erfc(c)). Kind q (for `try`): kind r with
// e^(d^2) taken out of S (1 + d S(d) = erfcx(c + d) / erfcx(c)).
// GEN_ERF_ROW_ERRORS=1 prints each row's error; GEN_ERF_ONLY=<table name> writes that table alone.
// Each piece's polynomial interpolates the function (MPFR, 256 bits) at the Chebyshev nodes of the
// piece (chebyshev_fit), in powers of d = v - c, rounded to double; rows hold the coefficients
// a_0 .. a_n padded with zeros to an even count. The report gives each table's largest relative
// error of the rounded polynomial (evaluated in long double on 401 points a piece).
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
int kPoints = 400;  // error samples a piece (try: 60)

LD target_ld(char kind, LD v) {
  mpfr_t m, y, t;
  mpfr_inits2(kBits, m, y, t, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(m, v, MPFR_RNDN);
  if (kind == 'f' || kind == 'F') {  // F, X: the same functions, c_0 as a pair
    if (v == 0) {
      mpfr_const_pi(t, MPFR_RNDN);
      mpfr_rec_sqrt(y, t, MPFR_RNDN);
      mpfr_mul_2si(y, y, 1, MPFR_RNDN);
    } else {
      mpfr_erf(y, m, MPFR_RNDN);
      mpfr_div(y, y, m, MPFR_RNDN);
    }
  } else {
    mpfr_erfc(y, m, MPFR_RNDN);
    mpfr_sqr(t, m, MPFR_RNDN);
    mpfr_exp(t, t, MPFR_RNDN);
    mpfr_mul(y, y, t, MPFR_RNDN);
  }
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(m, y, t, static_cast<mpfr_ptr>(nullptr));
  return r;
}

// erfc(c) and S(d) = (R(d) - 1) / d, R(d) = e^(2cd) erfc(c + d) / erfc(c) (c = k h, v = c + d
// given as its long double; d = v - c is exact there, and a node within 2^-40 of c takes S(0) =
// R'(0) = 2c - 2 / (sqrt(pi) erfcx(c)), off by about d S'(0)).
LD erfc_at(LD c) {
  mpfr_t m, y;
  mpfr_inits2(kBits, m, y, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(m, c, MPFR_RNDN);
  mpfr_erfc(y, m, MPFR_RNDN);
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(m, y, static_cast<mpfr_ptr>(nullptr));
  return r;
}
constexpr LD kSignedFrom = 6;  // kind s: rows from c = -6 (erfc(-6) rounds to 2)
bool g_ratio = false;  // kinds q, Q: S with e^(d^2) taken out (erfcx(c + d) / erfcx(c) = 1 + d S)
LD rows_s(LD c, LD v) {
  mpfr_t m, y, t, e, dd;
  mpfr_inits2(kBits, m, y, t, e, dd, static_cast<mpfr_ptr>(nullptr));
  LD d = v - c;
  if (std::fabs(d) < 0x1p-40L) d = 0;
  mpfr_set_ld(m, c, MPFR_RNDN);
  mpfr_erfc(e, m, MPFR_RNDN);  // erfc(c)
  const bool plain = c < 0;  // kind s below 0: R(d) = erfc(c + d) / erfc(c), no exponential
  if (d == 0) {  // R'(0) = 2c - 2 e^(-c^2) / (sqrt(pi) erfc(c))  (plain: without 2c)
    mpfr_sqr(t, m, MPFR_RNDN);
    mpfr_neg(t, t, MPFR_RNDN);
    mpfr_exp(t, t, MPFR_RNDN);
    mpfr_const_pi(y, MPFR_RNDN);
    mpfr_sqrt(y, y, MPFR_RNDN);
    mpfr_mul(y, y, e, MPFR_RNDN);
    mpfr_div(y, t, y, MPFR_RNDN);
    mpfr_mul_2si(y, y, 1, MPFR_RNDN);
    mpfr_mul_2si(t, m, 1, MPFR_RNDN);
    if (plain) mpfr_set_zero(t, 1);
    mpfr_sub(y, t, y, MPFR_RNDN);
  } else {
    mpfr_set_ld(dd, d, MPFR_RNDN);
    mpfr_add(y, m, dd, MPFR_RNDN);  // c + d exactly
    mpfr_erfc(y, y, MPFR_RNDN);
    mpfr_div(y, y, e, MPFR_RNDN);
    mpfr_mul(t, m, dd, MPFR_RNDN);
    mpfr_mul_2si(t, t, 1, MPFR_RNDN);
    if (g_ratio) {
      mpfr_t q;
      mpfr_init2(q, kBits);
      mpfr_sqr(q, dd, MPFR_RNDN);
      mpfr_add(t, t, q, MPFR_RNDN);
      mpfr_clear(q);
    }
    if (plain) mpfr_set_zero(t, 1);
    mpfr_exp(t, t, MPFR_RNDN);
    mpfr_mul(y, y, t, MPFR_RNDN);  // R(d)
    mpfr_sub_ui(y, y, 1, MPFR_RNDN);
    mpfr_div(y, y, dd, MPFR_RNDN);
  }
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(m, y, t, e, dd, static_cast<mpfr_ptr>(nullptr));
  return r;
}

// x rounded to its `bits` leading bits (for normal and tiny doubles alike).
double round_bits(double x, int bits) {
  if (x == 0) return 0;
  int e;
  const double f = std::frexp(x, &e);
  return std::ldexp(std::nearbyint(std::ldexp(f, bits)), e - bits);
}

struct Table {
  char kind;
  int log2h, degree;
  LD end;
  std::vector<std::vector<double>> rows;
  LD err = 0;
  int worst = 0;
};

// Kinds r and R: rows [E, s_1 .. s_n] and [E_h, E_l, s_1 .. s_n] (E = erfc(c), E_h its 24
// leading bits), erfc(c + d) = E e^(-2cd) (1 + d (s_1 + s_2 d + ... + s_n d^(n-1))); `degree` is n.
// The error reported is that of 1 + d S(d) against R(d) (E's own rounding not included).
void build_rows(Table& t) {
  const LD h = std::ldexp(1.0L, t.log2h);
  const int kmax = static_cast<int>(std::ceil(t.end / h));
  const bool split = t.kind == 'R';
  g_ratio = t.kind == 'q';
  const bool is_signed = t.kind == 's';  // rows from c = -6 (kSignedFrom), plain below 0
  const bool per_row = std::getenv("GEN_ERF_ROW_ERRORS") != nullptr;
  const int n = t.degree, width = (n + 2 + split) / 2 * 2;
  const int kmin = is_signed ? -static_cast<int>(std::lround(kSignedFrom / h)) : 0;
  for (int k = kmin; k <= kmax; ++k) {
    const LD c = k * h;
    const std::vector<LD> mono = qor::tools::chebyshev_fit(n, c, h / 2, [&](LD v) { return rows_s(c, v); });
    std::vector<double> row(width, 0.0);
    const LD e = erfc_at(c) * (c > 26.5L ? 0x1p128L : 1.0L);  // beyond the packed range: scaled by 2^128
    const int off = 1 + split;
    for (int i = 0; i < n; ++i) row[off + i] = static_cast<double>(mono[i]);
    if (split) {
      row[0] = round_bits(static_cast<double>(e), 24);
      row[1] = static_cast<double>(e - row[0]);
    } else {
      row[0] = static_cast<double>(e);
    }
    LD row_err = 0;
    for (int g = 0; g <= kPoints; ++g) {
      const LD d = -h / 2 + h * g / kPoints;
      if ((c + d < 0 && !is_signed) || d == 0) continue;
      LD s = 0;
      for (int i = n - 1; i >= 0; --i) s = s * d + row[off + i];
      const LD want = 1 + d * rows_s(c, c + d);
      const LD err = std::fabs((1 + d * s) / want - 1);
      if (err > row_err) row_err = err;
      if (err > t.err) {
        t.err = err;
        t.worst = k;
      }
    }
    if (per_row) std::printf("row %d c %.4Lf 2^%.2f\n", k, c, static_cast<double>(std::log2(row_err)));
    t.rows.push_back(row);
  }
}

void build(Table& t) {
  if (t.kind == 'r' || t.kind == 'R' || t.kind == 'q' || t.kind == 's') return build_rows(t);
  const LD h = std::ldexp(1.0L, t.log2h);
  const int kmax = static_cast<int>(std::ceil(t.end / h));
  const bool split = t.kind == 'F' || t.kind == 'X';  // c_0 as a pair: 24 leading bits and the rest
  const int width = (t.degree + 2 + split) / 2 * 2;
  for (int k = 0; k <= kmax; ++k) {
    const LD c = k * h;
    const std::vector<LD> mono = qor::tools::chebyshev_fit(t.degree + 1, c, h / 2, [&](LD v) { return target_ld(t.kind, v); });
    std::vector<double> row(width, 0.0);
    for (int i = 0; i <= t.degree; ++i) row[i + (i > 0 && split)] = static_cast<double>(mono[i]);
    if (split) {
      const double h0 = static_cast<double>(mono[0]);
      row[0] = static_cast<double>(static_cast<float>(h0));  // 24 bits: m_hi c_0 is exact
      row[1] = static_cast<double>(mono[0] - row[0]);
    }
    if (t.kind != 'f' && t.kind != 'F' && k == 0) {  // erfc 0 = 1 exactly (the interpolant's value moves by its error)
      row[0] = 1.0;
      if (split) row[1] = 0.0;
    }
    for (int g = 0; g <= kPoints; ++g) {
      const LD d = -h / 2 + h * g / kPoints;
      if (c + d < 0) continue;
      LD s = 0;
      for (int i = t.degree; i >= 1; --i) s = s * d + row[i + split];
      s = s * d + (split ? static_cast<LD>(row[0]) + row[1] : static_cast<LD>(row[0]));
      const LD e = std::fabs(s / target_ld(t.kind, c + d) - 1);
      if (e > t.err) {
        t.err = e;
        t.worst = k;
      }
    }
    t.rows.push_back(row);
  }
}

void report(FILE* f, const Table& t) {
  std::fprintf(f, "// %c: h = 2^%d, degree %d, %zu rows up to %Lg: relative error 2^%.2f (worst row %d)\n", t.kind, t.log2h,
               t.degree, t.rows.size(), t.end, static_cast<double>(std::log2(t.err)), t.worst);
}

void write(FILE* f, const char* name, const Table& t) {
  report(f, t);
  std::fprintf(f, "alignas(64) inline constexpr double %s[%zu][%zu] = {\n", name, t.rows.size(), t.rows[0].size());
  for (const auto& row : t.rows) {
    std::fprintf(f, "    {");
    for (size_t i = 0; i < row.size(); ++i) std::fprintf(f, i ? ", %a" : "%a", row[i]);
    std::fprintf(f, "},\n");
  }
  std::fprintf(f, "};\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && !std::strcmp(argv[1], "try")) {
    kPoints = 60;
    Table t{argv[2][0], std::atoi(argv[3]), std::atoi(argv[4]), std::strtold(argv[5], nullptr), {}};
    build(t);
    report(stdout, t);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_erf_poly <out dir> | gen_erf_poly try <f|x> <log2 h> <degree> <end>\n");
    return 1;
  }
  FILE* f = qor::tools::open_out(argv[1], "erf_poly.inc", "tools/gen_erf_poly", kBits);
  struct Spec {
    const char* name;
    Table t;
  };
  Spec specs[] = {
      {"kErfPolyHA", {'F', -4, 8, 6.0L, {}}},
      {"kErfPolyLA", {'f', -4, 7, 6.0L, {}}},
      {"kErfPolyEP", {'f', -5, 3, 6.0L, {}}},
      {"kErfcRowsLA", {'s', -3, 9, 27.3L, {}}},
      {"kErfcxPolyEP", {'x', -5, 3, 27.3L, {}}},
      {"kErfcxPolyHA", {'X', -4, 8, 27.3L, {}}},
  };
  const char* only = std::getenv("GEN_ERF_ONLY");  // one table alone (to splice by hand)
  for (auto& s : specs) {
    if (only && std::strcmp(only, s.name)) continue;
    build(s.t);
    write(f, s.name, s.t);
  }
  std::fclose(f);
  return 0;
}
