// Polynomials of the packed inverse error functions (src/vector_math/kernels/special/erfinv.h),
// written to src/vector_math/kernels/special/tables/erfinv_poly.inc:
//
//   gen_erfinv_poly <out dir>                    the tables of the kernels (the pieces and the rows
//                                                below: erfinv_poly.inc, erfinv_rows.inc,
//                                                erfinv_frows.inc)
//   gen_erfinv_poly try <w|s> <lo> <hi> <degree> [f|z]  one piece, its error only (f: float
//                                                     coefficients, z: float, in powers of v - lo)
//   gen_erfinv_poly frows <degree>               the float rows' errors at that degree only
//   gen_erfinv_poly rows <degree> <sub> <centred 0|1|2> <split c_0 0|1> <cdf 0|1>
//                                                one double row set's error only (2^sub rows a
//                                                binade; centred 2: in powers of q itself)
//
// With w = -ln((1 - x)(1 + x)) and s = sqrt(w), erfinv x is approximated
//   central (w in [0, 6.25]):  x P(w - c),  P ~ erfinv(x) / x (sqrt(pi)/2 at w = 0);
//   tails   (s in [lo, hi]):   P(s - c)     (no factor x: x is within 0.2 % of 1 there),
// c the middle of the piece. Each P interpolates its function at the Chebyshev nodes of the
// piece (values from the test support's MPFR erfc^-1 at 256 bits), converted to powers of v - c
// in long double and rounded to double. The report gives the largest relative error of the
// rounded polynomial (evaluated in long double) on 2001 points of the piece.
//
// The rows of the double-precision kernels (erfinv_rows.inc) take q = 1 - |x| instead (exact
// where it matters: ErfcInv's q or 2 - q, ErfInv's 1 - |x| from |x| = 1/2 on): the binades
// [2^e, 2^(e+1)), e = -kRowBinades .. -1, each cut into 2^sub equal rows, and on each row a
// polynomial of g(q) = erfinv(1 - q) / (1 - q) (the kernel multiplies by the signed argument), in
// powers of q itself (EP) or of q - mid (LA and HA: the row's middle, formed exactly from the
// bits of q). EP has 128 rows a binade (degree 2, 2^-29.5), LA and HA share one set of 128 (degree 5, HA
// with c_0 in two parts). The singularity (at q = 0) is 2^(sub + 1) half-widths from every row of
// a set, so one degree serves the whole table, and each doubling of the rows buys about degree
// + 1 bits (degree 6 at 32 rows 2^-52.6, degree 5 at 64 rows 2^-51.4, at 128 rows 2^-57.5; with
// powers of q - lo and c_0 rounded to one double 2^-53.1).
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
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
  bool dd = false;        // a_0 and a_1 in two parts each (the double HA/LA sets)
  double a0l = 0, a1l = 0;
  bool fl = false;        // float coefficients and centre (the single LA/EP sets)
  LD scale = 1;           // the function times this (sqrt 2: CdfNormInv's sets)
  bool at_lo = false;     // powers of v - lo (the float pieces: no cancellation near w = 0)
  bool split0 = true;     // float a_0 in two parts (LA)
};

void fit(Piece& p) {
  const int n = p.degree + 1;
  // the centre a double (the kernel subtracts it exactly), the half-width covering the piece
  const LD mid = (p.lo + p.hi) / 2;
  const LD c = p.at_lo ? p.lo : p.fl ? static_cast<float>(mid) : static_cast<double>(mid);
  p.c = c;
  // the Chebyshev nodes of the piece, the powers taken around c
  const std::vector<LD> around_mid =
      qor::tools::chebyshev_fit(n, mid, (p.hi - p.lo) / 2, [&](LD v) { return p.scale * target(p.central, v); });
  std::vector<LD> mono(n, 0);  // the same polynomial in powers of v - c (Taylor shift by mid - c)
  {
    std::vector<LD> b = around_mid;
    const LD d = mid - c;
    for (int k = 0; k < n; ++k)
      for (int j = n - 2; j >= k; --j) b[j] -= d * b[j + 1];
    mono = b;
  }
  p.a.resize(n);
  std::vector<LD> al(n);  // the coefficients as evaluated (a_0, a_1 in two parts where dd)
  for (int i = 0; i < n; ++i) {
    const LD m = mono[i];
    p.a[i] = p.fl ? static_cast<float>(m) : static_cast<double>(m);
    al[i] = p.a[i];
    if (p.dd && i < 2) {
      const double lo = static_cast<double>(m - p.a[i]);
      (i ? p.a1l : p.a0l) = lo;
      al[i] += lo;
    }
    if (p.fl && p.split0 && i == 0) {  // a_0 in two floats
      p.a0l = static_cast<float>(m - p.a[0]);
      al[0] += p.a0l;
    }
  }
  p.err = 0;
  for (int g = 0; g <= 2000; ++g) {
    const LD v = p.lo + (p.hi - p.lo) * g / 2000;
    LD s = 0;
    for (int i = n; i-- > 0;) s = s * (v - c) + al[i];
    p.err = std::fmax(p.err, std::fabs(s / (p.scale * target(p.central, v)) - 1));
  }
}

void report(FILE* f, const Piece& p) {
  std::fprintf(f, "// %s in [%Lg, %Lg], degree %d around %Lg: relative error 2^%.1f\n", p.central ? "w" : "s", p.lo,
               p.hi, p.degree, p.c, static_cast<double>(std::log2(p.err)));
}


// ---- Rows of the double-precision kernels ---------------------------------------------------
constexpr int kRowBinades = 20, kRowSub = 5, kRows = kRowBinades << kRowSub;

// g(q) = erfinv(1 - q) / (1 - q) for 0 < q <= 1 (q a long double, exact in MPFR).
LD row_target(LD q) {
  mpfr_t m, y, a;
  mpfr_inits2(kBits, m, y, a, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(m, q, MPFR_RNDN);
  if (q == 1) {
    mpfr_const_pi(y, MPFR_RNDN);
    mpfr_sqrt(y, y, MPFR_RNDN);
    mpfr_div_2ui(y, y, 1, MPFR_RNDN);  // the limit sqrt(pi) / 2
  } else {
    qor::test::vm::ref_erfcinv(y, m, MPFR_RNDN);
    mpfr_ui_sub(a, 1, m, MPFR_RNDN);
    mpfr_div(y, y, a, MPFR_RNDN);
  }
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(m, y, a, static_cast<mpfr_ptr>(nullptr));
  return r;
}

struct RowSet {
  const char* name;
  int degree;
  bool centred;  // powers of q - mid (else q - lo, or of q itself: at0)
  bool split0;   // c_0 as c0h (26 significant bits) + c0l
  LD scale;      // the function times this (sqrt 2: CdfNormInv's rows)
  int width;     // doubles per row (coefficients, then zeros)
  bool at0 = false;  // powers of q (EP: no subtraction in the kernel; the terms cancel to a few
                     // bits, far below EP's accuracy)
  bool half = false;  // in u = q / 2 (CdfNormInv's p' = min(p, 1 - p)): b_k 2^k
  int sub = kRowSub;  // 2^sub rows a binade
  bool low_last = false;  // with split0: c_0 whole first (LA reads c_0 .. c_degree), c0l after
                          // c_degree (HA: c0h = c_0 with its low 27 bits cleared, plus c0l)
};

// q in row i of 2^sub rows a binade: [lo, lo + 2^(e - sub)).
LD row_lo(int i, int sub = kRowSub) {
  return std::ldexp(1.0L + static_cast<LD>(i & ((1 << sub) - 1)) / (1 << sub), (i >> sub) - kRowBinades);
}
LD row_width(int i, int sub = kRowSub) { return std::ldexp(1.0L, (i >> sub) - kRowBinades - sub); }

// the check points of every row of 2^sub rows a binade (shared by the sets): 33 across the row,
// its upper end included
constexpr int kChecks = 33;
const std::vector<LD>& row_checks(int sub) {
  static std::vector<LD> cache[10];
  std::vector<LD>& checks = cache[sub];
  if (checks.empty()) {
    const int rows = kRowBinades << sub;
    checks.resize(static_cast<size_t>(rows) * kChecks);
    for (int i = 0; i < rows; ++i) {
      const LD lo = row_lo(i, sub), w = row_width(i, sub);
      for (int g = 0; g < kChecks; ++g) checks[static_cast<size_t>(i) * kChecks + g] = row_target(lo + w * g / (kChecks - 1));
    }
  }
  return checks;
}

// One set's rows (out: each row's doubles) and its report line.
std::string fit_rows(const RowSet& rs, std::vector<std::vector<double>>& out) {
  const int n = rs.degree + 1, rows = kRowBinades << rs.sub;
  const std::vector<LD>& checks = row_checks(rs.sub);
  out.assign(rows, {});
  LD worst = 0, worst_q = 0, terms = 0;
  for (int i = 0; i < rows; ++i) {
    const LD lo = row_lo(i, rs.sub), w = row_width(i, rs.sub);
    const LD mid = lo + w / 2, ref = rs.centred ? mid : rs.at0 ? 0 : lo;
    std::vector<LD> b = qor::tools::chebyshev_fit(n, mid, w / 2, [&](LD q) { return rs.scale * row_target(q); });
    const LD d = mid - ref;  // powers of q - ref (a Taylor shift by mid - ref)
    for (int k = 0; k < n; ++k)
      for (int j = n - 2; j >= k; --j) b[j] -= d * b[j + 1];
    if (rs.half)
      for (int k = 1; k < n; ++k) b[k] = std::ldexp(b[k], k);
    std::vector<double>& o = out[i];
    std::vector<LD> ev(n);  // as evaluated
    for (int k = 0; k < n; ++k) ev[k] = static_cast<double>(b[k]);
    if (rs.split0) {
      const double c0 = static_cast<double>(b[0]);
      const double c0h = std::bit_cast<double>(std::bit_cast<uint64_t>(c0) & ~uint64_t{0x7FFFFFF});
      const double c0l = static_cast<double>(b[0] - c0h);
      o.push_back(rs.low_last ? c0 : c0h);
      if (!rs.low_last) o.push_back(c0l);
      ev[0] = static_cast<LD>(c0h) + c0l;
    } else {
      o.push_back(static_cast<double>(b[0]));
    }
    for (int k = 1; k < n; ++k) o.push_back(static_cast<double>(b[k]));
    if (rs.split0 && rs.low_last) o.push_back(static_cast<double>(b[0] - std::bit_cast<double>(std::bit_cast<uint64_t>(o[0]) & ~uint64_t{0x7FFFFFF})));
    while (static_cast<int>(o.size()) < rs.width) o.push_back(0.0);
    for (int g = 0; g < kChecks; ++g) {
      const LD q = lo + w * g / (kChecks - 1), t = rs.half ? (q - ref) / 2 : q - ref;
      LD s = 0;
      for (int k = n; k-- > 1;) s = s * t + ev[k];
      LD p = ev[0] + s * t;
      if (rs.at0) {  // evaluated in double as the kernel does (Horner's scheme)
        double dd = o[rs.degree];
        for (int k = rs.degree; k-- > 0;) dd = o[k] + dd * static_cast<double>(rs.half ? q / 2 : q);
        p = dd;
      }
      const LD ft = rs.scale * checks[static_cast<size_t>(i) * kChecks + g];
      const LD e = std::fabs(p / ft - 1);
      if (e > worst) worst = e, worst_q = q;
      terms = std::fmax(terms, std::fabs(s * t / ft));
    }
  }
  char line[240];
  std::snprintf(line, sizeof line, "// %s: degree %d, %d rows a binade, relative error 2^%.1f (at q = %Lg), |c_0 - P| / P at most %.4f\n",
                rs.name, rs.degree, 1 << rs.sub, static_cast<double>(std::log2(worst)), worst_q, static_cast<double>(terms));
  return line;
}

void write_rows(const char* dir) {
  constexpr LD kS2 = 1.414213562373095048801688724209698079L;
  const RowSet sets[] = {
      {"DErfinvEP_Rows", 2, false, false, 1, 4, true, false, 7},
      {"DCdfinvEP_Rows", 2, false, false, 2 * kS2, 4, true, true, 7},
      {"DErfinv_Rows", 5, true, true, 1, 8, false, false, 7},
      {"DCdfinv_Rows", 5, true, true, 2 * kS2, 8, false, true, 7},
      {"DErfinvLA_Rows", 4, false, false, 1, 5, false, false, 8},
      {"DCdfinvLA_Rows", 4, false, false, 2 * kS2, 5, false, true, 8},
  };
  FILE* f = qor::tools::open_out(dir, "erfinv_rows.inc", "tools/gen_erfinv_poly", kBits);
  std::fprintf(f,
               "// Rows of the double-precision ErfInv, ErfcInv, CdfNormInv: q = 1 - |x| in [2^e, 2^(e+1)), e = -%d .. -1,\n"
               "// 2^sub rows a binade (sub: each set's _Sub; kRowSub the EP rows' and the screens'), row i covering\n"
               "// [lo_i, lo_i + 2^(e-sub)) (i = (e + %d) * 2^sub + the top sub fraction bits of q); each row the\n"
               "// coefficients of q^k (EP rows), of (q - lo_i - 2^(e-sub-1))^k (the rows of HA: c0h, c0l, c_1 .. c_5,\n"
               "// then a zero, c0h being c_0 with its low 27 bits cleared and c0l = c_0 - c0h) or of (q - lo_i)^k\n"
               "// (the rows of LA: c_0 .. c_4, 40 bytes) of\n"
               "// erfinv(1 - q) / (1 - q). CdfNormInv's rows: the same ones in u = q / 2\n"
               "// (p' = min(p, 1 - p), one binade lower), of 2 sqrt 2 erfinv(1 - 2u) / (1 - 2u).\n",
               kRowBinades, kRowBinades);
  std::fprintf(f, "inline constexpr int kRowBinades = %d, kRowSub = %d, kRows = %d;\n", kRowBinades, kRowSub, kRows);
  for (const RowSet& rs : sets) {
    std::vector<std::vector<double>> out;
    const std::string line = fit_rows(rs, out);
    std::fputs(line.c_str(), f);
    std::fputs(line.c_str(), stdout);
    const int kRows = kRowBinades << rs.sub;
    std::fprintf(f, "inline constexpr int %s_Sub = %d;\n", rs.name, rs.sub);
    std::fprintf(f, "alignas(64) inline constexpr double %s[%d][%d] = {\n", rs.name, kRows, rs.width);
    for (int i = 0; i < kRows; ++i) {
      std::fprintf(f, "    {");
      for (int k = 0; k < rs.width; ++k) std::fprintf(f, "%s%a", k ? ", " : "", out[i][k]);
      std::fprintf(f, "},\n");
    }
    std::fprintf(f, "};\n");
  }
  std::fclose(f);
}


// ---- Rows of the single-precision HA and LA kernels -------------------------------------------
// The same g(q') in float: q' in [2^-20, 1] (plus one row at q' = 1 itself: the binade above,
// where g, even in 1 - q', goes on smoothly), 2^kFRowSub rows a binade, each the coefficients of
// (q' - lo)^k in float with c_0 = c0h + c0l (c0h of 12 significant bits: t c0h is exact for a
// t of 12 bits), four floats a row: c0h, c0l, c_1, c_2 (degree 2). CdfNormInv's rows in u =
// q' / 2 as the double ones.
constexpr int kFRowSub = 7, kFRows = (kRowBinades << kFRowSub) + 1;

LD frow_lo(int i) {
  return std::ldexp(1.0L + static_cast<LD>(i & ((1 << kFRowSub) - 1)) / (1 << kFRowSub), (i >> kFRowSub) - kRowBinades);
}

struct FRowFit {
  std::vector<float> c;  // c0h, c0l, c_1 .. c_degree
  LD err = 0, terms = 0;
};

// One float row of degree d on [lo, lo + w) of scale * g (in u = q / 2: half).
FRowFit fit_frow(LD lo, LD w, int d, LD scale, bool half) {
  const int n = d + 1;
  const LD mid = lo + w / 2;
  std::vector<LD> b = qor::tools::chebyshev_fit(n, mid, w / 2, [&](LD q) { return scale * row_target(q); });
  for (int k = 0; k < n; ++k)  // powers of q - lo
    for (int j = n - 2; j >= k; --j) b[j] -= (mid - lo) * b[j + 1];
  if (half)
    for (int k = 1; k < n; ++k) b[k] = std::ldexp(b[k], k);
  FRowFit r;
  const float c0 = static_cast<float>(b[0]);
  const float c0h = std::bit_cast<float>(std::bit_cast<uint32_t>(c0) & ~uint32_t{0xFFF});  // 12 significant bits
  const float c0l = static_cast<float>(b[0] - c0h);
  r.c = {c0h, c0l};
  for (int k = 1; k < n; ++k) r.c.push_back(static_cast<float>(b[k]));
  constexpr int kChecks = 65;
  for (int g = 0; g < kChecks; ++g) {
    const LD q = lo + w * g / (kChecks - 1), v = half ? (q - lo) / 2 : q - lo;
    LD s = 0;
    for (int k = n; k-- > 1;) s = s * v + r.c[k + 1];
    const LD p = (static_cast<LD>(c0h) + c0l) + s * v, f = scale * row_target(q);
    r.err = std::fmax(r.err, std::fabs(p / f - 1));
    r.terms = std::fmax(r.terms, std::fabs(s * v / f));
  }
  return r;
}

void write_frows(const char* dir, int degree) {
  constexpr LD kS2 = 1.414213562373095048801688724209698079L;
  FILE* f = dir ? qor::tools::open_out(dir, "erfinv_frows.inc", "tools/gen_erfinv_poly", kBits) : nullptr;
  if (f) {
    std::fprintf(f,
                 "// Rows of the single-precision ErfInv, ErfcInv, CdfNormInv (HA, LA): q' = 1 - |t| in [2^e, 2^(e+1)),\n"
                 "// e = -%d .. -1, %d rows a binade, row i covering [lo_i, lo_i + 2^(e-%d)) (i = (e + %d) * %d + the top\n"
                 "// %d fraction bits of q'), and row %d at q' = 1; each row c0h, c0l, c_1, c_2: g(q') = erfinv(1 - q') /\n"
                 "// (1 - q') = (c0h + c0l) + c_1 v + c_2 v^2, v = q' - lo_i, c0h of 12 significant bits. CdfNormInv's\n"
                 "// rows: the same ones in u = q' / 2 (p', one binade lower), of 2 sqrt 2 erfinv(1 - 2u) / (1 - 2u).\n",
                 kRowBinades, 1 << kFRowSub, kFRowSub, kRowBinades, 1 << kFRowSub, kFRowSub, kFRows - 1);
    std::fprintf(f, "inline constexpr int kFRowSub = %d, kFRowCount = %d;\n", kFRowSub, kFRows);
  }
  for (int cdf = 0; cdf < 2; ++cdf) {
    const char* name = cdf ? "SCdfinv_FRows" : "SErfinv_FRows";
    std::vector<FRowFit> rows;
    LD worst = 0, worst_q = 0, terms = 0;
    for (int i = 0; i < kFRows; ++i) {
      const LD lo = frow_lo(i), w = std::ldexp(1.0L, (i >> kFRowSub) - kRowBinades - kFRowSub);
      rows.push_back(fit_frow(lo, w, degree, cdf ? 2 * kS2 : 1, cdf));
      if (rows.back().err > worst) worst = rows.back().err, worst_q = lo;
      terms = std::fmax(terms, rows.back().terms);
    }
    char line[200];
    std::snprintf(line, sizeof line, "// %s: degree %d, relative error 2^%.1f (row from q = %Lg), |P - c_0| / P at most %.4f\n",
                  name, degree, static_cast<double>(std::log2(worst)), worst_q, static_cast<double>(terms));
    std::fputs(line, stdout);
    if (!f) continue;
    std::fputs(line, f);
    std::fprintf(f, "alignas(64) inline constexpr float %s[%d][%d] = {\n", name, kFRows, degree + 2);
    for (const FRowFit& r : rows) {
      std::fprintf(f, "    {");
      for (size_t k = 0; k < r.c.size(); ++k) std::fprintf(f, "%s%af", k ? ", " : "", static_cast<double>(r.c[k]));
      std::fprintf(f, "},\n");
    }
    std::fprintf(f, "};\n");
  }
  if (f) std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 6 || argc == 7) && !std::strcmp(argv[1], "try")) {
    Piece p{argv[2][0] == 'w', std::strtold(argv[3], nullptr), std::strtold(argv[4], nullptr), std::atoi(argv[5]), {}};
    p.fl = argc == 7 && (argv[6][0] == 'f' || argv[6][0] == 'z');
    p.at_lo = argc == 7 && argv[6][0] == 'z';
    p.dd = !p.fl;
    fit(p);
    report(stdout, p);
    return 0;
  }
  if (argc == 7 && !std::strcmp(argv[1], "rows")) {  // one row set's error only: degree sub centred split0 cdf
    RowSet rs{"try", std::atoi(argv[2]), argv[4][0] == '1', argv[5][0] == '1', 1, 16};
    rs.sub = std::atoi(argv[3]);
    rs.at0 = argv[4][0] == '2';  // 2: in powers of q itself
    if (argv[6][0] == '1') rs.scale = 2 * 1.414213562373095048801688724209698079L, rs.half = true;
    std::vector<std::vector<double>> out;
    std::fputs(fit_rows(rs, out).c_str(), stdout);
    return 0;
  }
  if (argc == 3 && !std::strcmp(argv[1], "frows")) {  // the float rows' errors at a degree, no output
    write_frows(nullptr, std::atoi(argv[2]));
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_erfinv_poly <out dir> | gen_erfinv_poly try <w|s> <lo> <hi> <degree> [f|z] |\n"
                         "       gen_erfinv_poly rows <degree> <sub> <centred 0|1|2> <split c_0 0|1> <cdf 0|1>\n");
    return 1;
  }
  struct Table {
    const char* name;
    Piece p;
  };
  // Per slot set: the central piece, then the tails (each up to the next one's lower end, the
  // last one up to the end of the domain).
  //   double precision tails (the rows above cover q from 2^-20 on): HA, also serving LA (about
  //     2^-59, a_0 and a_1 in two parts: the kernel's double-double last step) and EP (about
  //     2^-29), up to s = 27.3 (ErfcInv of 2^-1020; below it the per-element routine).
  std::vector<Table> tables = {
      {"DErfinvHA_S1", {false, 2.5, 4.1, 19, {}, 0, 0, true}},
      {"DErfinvHA_S2", {false, 4.1, 6.1, 17, {}, 0, 0, true}},
      {"DErfinvHA_S3", {false, 6.1, 10.2, 18, {}, 0, 0, true}},
      {"DErfinvHA_S4", {false, 10.2, 17, 17, {}, 0, 0, true}},
      {"DErfinvHA_S5", {false, 17, 27.3, 16, {}, 0, 0, true}},
      {"DErfinvEP_S1", {false, 2.5, 4.1, 9, {}}},
      {"DErfinvEP_S2", {false, 4.1, 10.2, 11, {}}}, {"DErfinvEP_S3", {false, 10.2, 27.3, 10, {}}},
  };
  // Single EP, float coefficients evaluated in float, in powers of v - lo; the CdfNormInv sets are
  // the same functions times sqrt 2 (no rounding of a product with sqrt 2 afterwards). (Single HA
  // and LA take the float rows of write_frows.)
  constexpr LD kS2 = 1.414213562373095048801688724209698079L;
  struct FPiece {
    const char* name;  // after "SErfinv" / "SCdfinv"
    Piece p;
  };
  const FPiece fpieces[] = {
      {"EP_W", {true, 0, 5, 4, {}}},   {"EP_S1", {false, 2.2, 4.1, 3, {}}}, {"EP_S2", {false, 4.1, 9.4, 4, {}}},
  };
  std::vector<std::string> fnames;
  std::vector<Table> ftables;
  for (int cdf = 0; cdf < 2; ++cdf)
    for (const FPiece& fp : fpieces) {
      fnames.push_back(std::string(cdf ? "SCdfinv" : "SErfinv") + fp.name);
      Piece p = fp.p;
      p.fl = true;
      p.at_lo = true;
      p.scale = cdf ? kS2 : 1;
      p.split0 = false;
      ftables.push_back({nullptr, p});
    }
  for (size_t k = 0; k < ftables.size(); ++k) ftables[k].name = fnames[k].c_str();
  FILE* f = qor::tools::open_out(argv[1], "erfinv_poly.inc", "tools/gen_erfinv_poly", kBits);
  std::fprintf(f, "// Each piece: the centre c of its variable, its upper end hi, the coefficients a[i] of (v - c)^i\n"
                  "// (each twice, one aligned row per coefficient).\n");
  for (size_t k = 0; k < tables.size(); ++k) {
    Table& t = tables[k];
    fit(t.p);
    report(f, t.p);
    report(stdout, t.p);
    // the last piece of its set: the next one is central or of another set (name up to '_')
    const auto set = [](const char* name) { return std::string(name, std::strchr(name, '_')); };
    const bool last = k + 1 == tables.size() || (tables[k + 1].p.central && !t.p.central) ||
                      set(tables[k + 1].name) != set(t.name);
    char hi[64];
    if (last) std::snprintf(hi, sizeof hi, "__builtin_inf()");
    else std::snprintf(hi, sizeof hi, "%a", static_cast<double>(t.p.hi));
    std::fprintf(f, "struct %s {\n  static constexpr double c = %a, hi = %s;\n", t.name, static_cast<double>(t.p.c), hi);
    if (t.p.dd) std::fprintf(f, "  static constexpr double a0l = %a, a1l = %a;\n", t.p.a0l, t.p.a1l);
    std::fprintf(f, "  alignas(16) static constexpr double a[%zu][2] = {\n", t.p.a.size());
    for (size_t i = 0; i < t.p.a.size(); ++i) std::fprintf(f, "      {%a, %a},\n", t.p.a[i], t.p.a[i]);
    std::fprintf(f, "  };\n};\n");
  }
  std::fprintf(f, "// Single precision EP (float coefficients of (v - c)^i, each four times).\n");
  for (size_t k = 0; k < ftables.size(); ++k) {
    Table& t = ftables[k];
    fit(t.p);
    report(f, t.p);
    report(stdout, t.p);
    const bool last = k + 1 == ftables.size() || ftables[k + 1].p.central;
    char hi[64];
    if (last) std::snprintf(hi, sizeof hi, "__builtin_inff()");
    else std::snprintf(hi, sizeof hi, "%af", static_cast<double>(static_cast<float>(t.p.hi)));
    std::fprintf(f, "struct %s {\n  static constexpr float c = %af, hi = %s, a0l = %af;\n", t.name,
                 static_cast<double>(t.p.c), hi, t.p.a0l);
    std::fprintf(f, "  alignas(16) static constexpr float a[%zu][4] = {\n", t.p.a.size());
    for (size_t i = 0; i < t.p.a.size(); ++i)
      std::fprintf(f, "      {%af, %af, %af, %af},\n", t.p.a[i], t.p.a[i], t.p.a[i], t.p.a[i]);
    std::fprintf(f, "  };\n};\n");
  }
  std::fclose(f);
  write_rows(argv[1]);
  write_frows(argv[1], 2);
  return 0;
}
