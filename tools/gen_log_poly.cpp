// Minimax polynomials for the table-free logarithm kernels, for the relative error of the result.
// Run by hand; prints the coefficients (rounded to the working format) to paste into the kernel:
//
//   gen_log_poly <base: e|2|10> <degree n> <lo> <hi> [float|double]
//   gen_log_poly atanh <degree n> <zmax> [e|2|10] [float|double]
//   gen_log_poly sinh|cosh <degree n> <rmax> [float|double]
//
// The first form fits h(f) = log_b(1 + f) / f on [lo, hi] (h(0) = 1 / ln b), so that
// log_b(1 + f) = f R(f) with R(f) = c_0 + c_1 f + ... + c_n f^n, and minimises
// max |R(f) / h(f) - 1|, the relative error of f R(f). The second fits, for z = 2f / (2 + f)
// (ln(1 + f) = 2 atanh(z / 2)) and v = z^2 in [0, zmax^2], g(v) = 2 atanh(z / 2) / z by
// 1 + v (c_1 + c_2 v + ... + c_n v^(n-1)), minimising the relative error of z (1 + v P(v)); the
// printed coefficients are c_1 .. c_n, or for base 2 or 10 (log_b(1 + f) = C z (1 + v P(v)),
// C = 1 / ln b, computed as z_C + z_C v_C P_C(v_C) with z_C = C z, v_C = z_C^2) those of
// P_C(v_C) = P(v_C / C^2) / C^2: c_i / C^(2i). The functions are evaluated with MPFR at 256 bits; the
// sinh and cosh forms fit g(v) = sinh(r) / r or cosh(r) (r = sqrt(v), v in [0, rmax^2]) by
// 1 + v (c_1 + ... + c_n v^(n-1)) the same way (the hyperbolic kernels' split exponential). The
// Remez exchange itself runs in long double (the error sought is far above its precision), on a
// grid of 2^16 + 1 points plus a local refinement of every extremum. The report gives the error
// of the exact minimax polynomial and of the one with coefficients rounded to the format.
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using LD = long double;

int g_base = 0;  // 0: e, 1: 2, 2: 10, 3: the atanh form, 4: sinh(r) / r, 5: cosh(r)
int g_first = 0;  // power of the first basis function (1 in the atanh form)

// g(v) = 2 atanh(sqrt(v) / 2) / sqrt(v), through MPFR.
LD g_of(LD v) {
  if (v == 0) return 1.0L;
  mpfr_t z, y;
  mpfr_inits2(256, z, y, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(z, v, MPFR_RNDN);
  mpfr_sqrt(z, z, MPFR_RNDN);
  if (g_base == 4) {
    mpfr_sinh(y, z, MPFR_RNDN);
    mpfr_div(y, y, z, MPFR_RNDN);
  } else if (g_base == 5) {
    mpfr_cosh(y, z, MPFR_RNDN);
  } else {
    mpfr_div_2ui(y, z, 1, MPFR_RNDN);
    mpfr_atanh(y, y, MPFR_RNDN);
    mpfr_mul_2ui(y, y, 1, MPFR_RNDN);
    mpfr_div(y, y, z, MPFR_RNDN);
  }
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(z, y, static_cast<mpfr_ptr>(nullptr));
  return r;
}

// h(f) = log_b(1 + f) / f, through MPFR (or g in the atanh form).
LD h_of(LD f) {
  if (g_base >= 3) return g_of(f);
  if (f == 0) {
    if (g_base == 0) return 1.0L;
    if (g_base == 1) return 1.0L / std::log(2.0L);
    return 1.0L / std::log(10.0L);
  }
  mpfr_t x, y, t;
  mpfr_inits2(256, x, y, t, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_ld(x, f, MPFR_RNDN);
  if (g_base == 0) mpfr_log1p(y, x, MPFR_RNDN);
  else {
    mpfr_log1p(y, x, MPFR_RNDN);
    mpfr_set_ui(t, g_base == 1 ? 2 : 10, MPFR_RNDN);
    mpfr_log(t, t, MPFR_RNDN);
    mpfr_div(y, y, t, MPFR_RNDN);
  }
  mpfr_div(y, y, x, MPFR_RNDN);
  const LD r = mpfr_get_ld(y, MPFR_RNDN);
  mpfr_clears(x, y, t, static_cast<mpfr_ptr>(nullptr));
  return r;
}

// The approximant: sum c_i f^(i + g_first), plus 1 in the atanh form.
LD poly(const std::vector<LD>& c, LD f) {
  LD s = 0;
  for (size_t i = c.size(); i-- > 0;) s = s * f + c[i];
  return g_first ? 1 + f * s : s;
}
LD rel_err(const std::vector<LD>& c, LD f) { return poly(c, f) / h_of(f) - 1; }

// Solves a (m x m, row-major) z = rhs by Gaussian elimination with partial pivoting.
std::vector<LD> solve(std::vector<LD> a, std::vector<LD> rhs) {
  const size_t m = rhs.size();
  for (size_t col = 0; col < m; ++col) {
    size_t p = col;
    for (size_t r = col + 1; r < m; ++r)
      if (std::fabs(a[r * m + col]) > std::fabs(a[p * m + col])) p = r;
    for (size_t k = 0; k < m; ++k) std::swap(a[col * m + k], a[p * m + k]);
    std::swap(rhs[col], rhs[p]);
    for (size_t r = col + 1; r < m; ++r) {
      const LD q = a[r * m + col] / a[col * m + col];
      for (size_t k = col; k < m; ++k) a[r * m + k] -= q * a[col * m + k];
      rhs[r] -= q * rhs[col];
    }
  }
  std::vector<LD> z(m);
  for (size_t r = m; r-- > 0;) {
    LD s = rhs[r];
    for (size_t k = r + 1; k < m; ++k) s -= a[r * m + k] * z[k];
    z[r] = s / a[r * m + r];
  }
  return z;
}

// Maximises |rel_err| near x on [lo, hi] by golden-section search in [x - d, x + d].
LD refine(const std::vector<LD>& c, LD x, LD d, LD lo, LD hi) {
  LD a = std::fmax(lo, x - d), b = std::fmin(hi, x + d);
  const LD g = (std::sqrt(5.0L) - 1) / 2;
  for (int it = 0; it < 80; ++it) {
    const LD u = b - g * (b - a), v = a + g * (b - a);
    if (std::fabs(rel_err(c, u)) > std::fabs(rel_err(c, v))) b = v;
    else a = u;
  }
  return (a + b) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const bool v_form = !std::strcmp(argv[argc > 1 ? 1 : 0], "atanh") || !std::strcmp(argv[argc > 1 ? 1 : 0], "sinh") ||
                      !std::strcmp(argv[argc > 1 ? 1 : 0], "cosh");
  if (argc < 4 || (argc < 5 && !v_form)) {
    std::fprintf(stderr, "usage: gen_log_poly <e|2|10> <degree> <lo> <hi> [float|double]\n       gen_log_poly atanh <degree> <zmax> [e|2|10] [float|double]\n       gen_log_poly sinh|cosh <degree> <rmax> [float|double]\n");
    return 1;
  }
  const char* label = argv[1];
  g_base = !std::strcmp(argv[1], "2")       ? 1
           : !std::strcmp(argv[1], "10")    ? 2
           : !std::strcmp(argv[1], "atanh") ? 3
           : !std::strcmp(argv[1], "sinh")  ? 4
           : !std::strcmp(argv[1], "cosh")  ? 5
                                            : 0;
  const bool at = v_form;
  g_first = at ? 1 : 0;
  int n = std::atoi(argv[2]);
  LD lo = std::strtold(argv[3], nullptr), hi = at ? 0 : std::strtold(argv[4], nullptr);
  if (at) {
    hi = lo * lo;  // v = z^2 in [0, zmax^2]
    lo = 0;
  }
  int at_base = 0;
  if (at && argc > 4 && std::strcmp(argv[4], "float") && std::strcmp(argv[4], "double")) {
    at_base = !std::strcmp(argv[4], "2") ? 2 : !std::strcmp(argv[4], "10") ? 10 : 0;
    --argc;
    ++argv;
  }
  const bool dbl = argc > (at ? 4 : 5) && !std::strcmp(argv[at ? 4 : 5], "double");
  if (at) --n;  // c_1 .. c_n are n coefficients: indices 0 .. n-1 of the vector
  const int m = n + 2;  // unknowns (n + 1 coefficients) and the levelled error E

  // Chebyshev extrema as the first reference.
  std::vector<LD> ref(m);
  // (in the atanh form the error vanishes at v = 0, which therefore is not a reference point)
  for (int j = 0; j < m; ++j)
    ref[j] = at ? lo + (hi - lo) / 2 * (1 - std::cos(M_PIl * (j + 1) / m))
                : (lo + hi) / 2 - (hi - lo) / 2 * std::cos(M_PIl * j / (m - 1));
  std::vector<LD> c(n + 1);
  LD E = 0;
  const int kGrid = 65536;
  for (int iter = 0; iter < 60; ++iter) {
    // R(x_j) - h(x_j) = (-1)^j E h(x_j)
    std::vector<LD> a(m * m), rhs(m);
    for (int j = 0; j < m; ++j) {
      const LD hx = h_of(ref[j]);
      LD p = g_first ? ref[j] : 1;
      for (int i = 0; i <= n; ++i, p *= ref[j]) a[j * m + i] = p;
      a[j * m + n + 1] = -((j & 1) ? -1 : 1) * hx;
      rhs[j] = g_first ? hx - 1 : hx;
    }
    const std::vector<LD> z = solve(a, rhs);
    for (int i = 0; i <= n; ++i) c[i] = z[i];
    E = z[n + 1];
    // New reference: the extremum of each sign run on the grid, refined.
    std::vector<LD> xs, es;
    LD best_x = lo, best_e = 0;
    int sign = 0;
    for (int g = 0; g <= kGrid; ++g) {
      const LD x = lo + (hi - lo) * g / kGrid;
      const LD e = rel_err(c, x);
      const int s = e >= 0 ? 1 : -1;
      if (sign != 0 && s != sign) {
        xs.push_back(best_x);
        es.push_back(best_e);
        best_e = 0;
      }
      sign = s;
      if (std::fabs(e) >= std::fabs(best_e)) {
        best_e = e;
        best_x = x;
      }
    }
    xs.push_back(best_x);
    es.push_back(best_e);
    for (size_t k = 0; k < xs.size(); ++k) xs[k] = refine(c, xs[k], (hi - lo) / kGrid, lo, hi);
    // Keep m alternating extrema: drop the smaller end while there are too many.
    while (static_cast<int>(xs.size()) > m) {
      if (std::fabs(rel_err(c, xs.front())) < std::fabs(rel_err(c, xs.back()))) xs.erase(xs.begin());
      else xs.pop_back();
    }
    if (static_cast<int>(xs.size()) < m) {
      std::fprintf(stderr, "exchange lost alternation at iteration %d\n", iter);
      break;
    }
    LD emax = 0;
    for (LD x : xs) emax = std::fmax(emax, std::fabs(rel_err(c, x)));
    ref = xs;
    if (emax - std::fabs(E) < 1e-6L * emax) break;
  }
  // scale[i]: the factor of the printed coefficient i, (ln b)^(2(i+1)) for the scaled atanh form
  std::vector<LD> scale(n + 1, 1.0L);
  if (at_base) {
    const LD l2 = std::log(static_cast<LD>(at_base)) * std::log(static_cast<LD>(at_base));
    LD p = l2;
    for (int i = 0; i <= n; ++i, p *= l2) scale[i] = p;
  }
  LD emax = 0, emax_r = 0;
  std::vector<LD> cr(n + 1), printed(n + 1);
  for (int i = 0; i <= n; ++i) {
    const LD v = c[i] * scale[i];
    printed[i] = dbl ? static_cast<LD>(static_cast<double>(v)) : static_cast<LD>(static_cast<float>(v));
    cr[i] = printed[i] / scale[i];  // the rounded coefficient in the unscaled form
  }
  for (int g = 0; g <= 4 * kGrid; ++g) {
    const LD x = lo + (hi - lo) * g / (4 * kGrid);
    emax = std::fmax(emax, std::fabs(rel_err(c, x)));
    emax_r = std::fmax(emax_r, std::fabs(rel_err(cr, x)));
  }
  std::printf("// %s, %d coefficients on [%Lg, %Lg]: relative error 2^%.2f (levelled 2^%.2f), "
              "rounded coefficients 2^%.2f\n",
              at_base ? (at_base == 2 ? "atanh, base 2" : "atanh, base 10") : label, n + 1, lo, hi, static_cast<double>(std::log2(emax)), static_cast<double>(std::log2(std::fabs(E))),
              static_cast<double>(std::log2(emax_r)));
  for (int i = 0; i <= n; ++i) {
    if (dbl) std::printf("%a,\n", static_cast<double>(printed[i]));
    else std::printf("%af,\n", static_cast<float>(printed[i]));
  }
  return 0;
}
