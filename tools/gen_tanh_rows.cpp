// The interval polynomials of single Tanh HA (src/vector_math/kernels/hyperbolic/single_ha.h),
// written to src/vector_math/kernels/hyperbolic/tables/stanh_rows.inc:
//
//   gen_tanh_rows src/vector_math/kernels/hyperbolic/tables      (about ten seconds)
//
// The rows cover [0, 9.25) (the kernel clamps |x| to 9.125):
//   - row 0, [0, t0), t0 = 2^-7 (1 + 1/32): tanh t = t + c3 t^3, c3 = g(t0^2 / 2) with
//     g(y) = (tanh sqrt y - sqrt y) / sqrt(y)^3 (the degree-0 Chebyshev interpolant of g on
//     [0, t0^2], one node at the middle);
//   - row j >= 1, [lo, hi): the j-th thirty-second of a binade from 2^-7 up, lo the float whose
//     bits are ((bits(2^-7) >> 18) + j) << 18, so that the kernel finds j from the exponent and
//     the five leading mantissa bits of a; the last row is the one holding 9.125.
// Each row j >= 1 holds a float m where tanh m is within 2^-11 ulp of the float c0, searched as
// follows (`centre`): candidates every span / 8192 floats (at least every float) of
// [start, hi), start = lo less ext half-widths (in float steps), plus, for ext = 0, the 1024
// floats around the middle of the interval; the candidate whose tanh is nearest a float (in
// ulps of that float, the first on a tie) is taken as soon as that distance is below 1/2000
// ulp, ext = 0, 1, .. 8 until then. So m is near the middle except for the last two rows
// ([8.75, 9.25): tanh changes by less than an ulp across them), where it lies a little below.
// c0 = tanh m rounded to float, checked to be within 2^-11 ulp. c1 .. c4 interpolate
//     h(t) = (tanh(m + t) - tanh m) / t
// at the four Chebyshev nodes of [lo - m, hi - m] (Newton's divided differences, expanded into
// powers of t), so that
//     tanh a = c0 + (c1 t + t^2 (c2 + c3 t + c4 t^2)),  t = a - m (exact: a, m within a factor 2).
// Every value is computed with MPFR at 256 bits (the search at 80) and rounded to double, then
// to float. The report gives the largest distance of tanh m from c0 and the largest error of
// each row's rounded polynomial (exact arithmetic on the stored floats, 257 points a row),
// in ulps of the result.
// Columns: c0, c1, c2, c3, c4, m, 0, 0 (32 bytes a row).
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "table_out.h"

namespace {

constexpr int kBits = 256;
constexpr int kSearchBits = 80;
constexpr int kShift = 18;  // 23 - 5 mantissa bits
constexpr float kLow = 0x1p-7f;
constexpr float kClamp = 9.125f;

using qor::tools::bits_of;

// The ulp of float c (of its binade; 2^-24 in [0.5, 1)).
double ulp_of(float c) {
  int e;
  std::frexp(c, &e);
  return std::ldexp(1.0, e - 24);
}

// A float rounded from an MPFR value as from a double (to nearest twice).
float to_f32(mpfr_srcptr v) { return static_cast<float>(mpfr_get_d(v, MPFR_RNDN)); }

// |tanh m - c| / ulp(c), c = tanh m rounded to float.
double frac_ulp(float m) {
  static mpfr_t x, y;
  static bool init = false;
  if (!init) {
    mpfr_inits2(kSearchBits, x, y, static_cast<mpfr_ptr>(nullptr));
    init = true;
  }
  mpfr_set_flt(x, m, MPFR_RNDN);
  mpfr_tanh(y, x, MPFR_RNDN);
  const float c = mpfr_get_flt(y, MPFR_RNDN);
  mpfr_sub_d(y, y, c, MPFR_RNDN);  // exact: y and c agree in their leading bits
  return std::fabs(mpfr_get_d(y, MPFR_RNDN)) / ulp_of(c);
}

// A float m in [lo, hi) (or below lo) where tanh m is nearly a float.
float centre(float lo, float hi) {
  const int64_t width = static_cast<int64_t>(bits_of(hi)) - bits_of(lo);
  double best = 1;
  float best_m = 0;
  for (int ext = 0; ext < 9; ++ext) {
    const int64_t start = static_cast<int64_t>(bits_of(lo)) - ext * width / 2;
    const int64_t span = static_cast<int64_t>(bits_of(hi)) - start;
    auto visit = [&](int64_t k) {
      const float m = std::bit_cast<float>(static_cast<uint32_t>(start + k));
      const double fr = frac_ulp(m);
      if (fr < best) best = fr, best_m = m;
    };
    const int64_t step = span / 8192 > 1 ? span / 8192 : 1;
    for (int64_t k = 0; k < span; k += step) visit(k);
    if (ext == 0)
      for (int64_t k = span / 2 - 512; k < span / 2 + 512; ++k) visit(k);
    if (best < 0.0005) return best_m;
  }
  std::fprintf(stderr, "no centre for [%a, %a)\n", lo, hi);
  std::exit(1);
}

struct Mp {
  mpfr_t v;
  Mp() {
    mpfr_init2(v, kBits);
    mpfr_set_zero(v, 1);
  }
  Mp(const Mp& o) {
    mpfr_init2(v, kBits);
    mpfr_set(v, o.v, MPFR_RNDN);
  }
  Mp& operator=(const Mp& o) {
    mpfr_set(v, o.v, MPFR_RNDN);
    return *this;
  }
  ~Mp() { mpfr_clear(v); }
};

// Row j >= 1 of [lo, hi): c0, c1 .. c4, m. Also the distance of tanh m from c0 (ulps of c0).
std::vector<float> fit_row(float lo, float hi, double& centre_ulp) {
  const float m = centre(lo, hi);
  Mp mm, tm, d;
  mpfr_set_flt(mm.v, m, MPFR_RNDN);
  mpfr_tanh(tm.v, mm.v, MPFR_RNDN);
  const float c0 = to_f32(tm.v);
  mpfr_sub_d(d.v, tm.v, c0, MPFR_RNDN);
  centre_ulp = std::fabs(mpfr_get_d(d.v, MPFR_RNDN)) / ulp_of(c0);
  if (centre_ulp > 0x1p-11) {
    std::fprintf(stderr, "centre check failed at %a\n", m);
    std::exit(1);
  }
  // The Chebyshev nodes of [a, b] = [lo - m, hi - m] and h at them.
  constexpr int n = 4;
  Mp a, b, mid, half, x[n], f[n], pi;
  mpfr_set_flt(a.v, lo, MPFR_RNDN);
  mpfr_sub(a.v, a.v, mm.v, MPFR_RNDN);
  mpfr_set_flt(b.v, hi, MPFR_RNDN);
  mpfr_sub(b.v, b.v, mm.v, MPFR_RNDN);
  mpfr_add(mid.v, a.v, b.v, MPFR_RNDN);
  mpfr_div_2ui(mid.v, mid.v, 1, MPFR_RNDN);
  mpfr_sub(half.v, b.v, a.v, MPFR_RNDN);
  mpfr_div_2ui(half.v, half.v, 1, MPFR_RNDN);
  mpfr_const_pi(pi.v, MPFR_RNDN);
  for (int k = 0; k < n; ++k) {
    Mp c;
    mpfr_mul_d(c.v, pi.v, (k + 0.5) / n, MPFR_RNDN);  // (k + 1/2) / 4: exact in double
    mpfr_cos(c.v, c.v, MPFR_RNDN);
    mpfr_mul(x[k].v, c.v, half.v, MPFR_RNDN);
    mpfr_add(x[k].v, x[k].v, mid.v, MPFR_RNDN);
    mpfr_add(c.v, mm.v, x[k].v, MPFR_RNDN);
    mpfr_tanh(c.v, c.v, MPFR_RNDN);
    mpfr_sub(c.v, c.v, tm.v, MPFR_RNDN);
    mpfr_div(f[k].v, c.v, x[k].v, MPFR_RNDN);
  }
  // Divided differences in place: f[k] = h[x_0 .. x_k].
  for (int l = 1; l < n; ++l)
    for (int k = n - 1; k >= l; --k) {
      Mp dx;
      mpfr_sub(f[k].v, f[k].v, f[k - 1].v, MPFR_RNDN);
      mpfr_sub(dx.v, x[k].v, x[k - l].v, MPFR_RNDN);
      mpfr_div(f[k].v, f[k].v, dx.v, MPFR_RNDN);
    }
  // Horner on the Newton form: p = f[n-1]; p = p (t - x_k) + f[k], k = n - 2 .. 0 (p[i] the
  // coefficient of t^i, zero above the degree so far).
  std::vector<Mp> p(n);
  mpfr_set(p[0].v, f[n - 1].v, MPFR_RNDN);
  int deg = 0;
  for (int k = n - 2; k >= 0; --k) {
    ++deg;
    for (int i = deg; i >= 1; --i) {
      Mp t;
      mpfr_mul(t.v, p[i].v, x[k].v, MPFR_RNDN);
      mpfr_sub(p[i].v, p[i - 1].v, t.v, MPFR_RNDN);
    }
    mpfr_mul(p[0].v, p[0].v, x[k].v, MPFR_RNDN);
    mpfr_sub(p[0].v, f[k].v, p[0].v, MPFR_RNDN);
  }
  std::vector<float> row{c0};
  for (int i = 0; i < n; ++i) row.push_back(to_f32(p[i].v));
  row.push_back(m);
  return row;
}

// The largest error, in ulps of tanh a, of row r's polynomial on [lo, hi) (exact arithmetic on
// the stored floats).
double row_error(const std::vector<float>& r, float lo, float hi, bool odd) {
  double worst = 0;
  Mp a, t, s, y, q;
  for (int i = 0; i <= 256; ++i) {
    const float af = i == 256 ? std::nextafter(hi, 0.0f) : lo + (hi - lo) * (i / 256.0f);
    mpfr_set_flt(a.v, af, MPFR_RNDN);
    if (odd) {  // a + c3 a^3
      mpfr_pow_ui(s.v, a.v, 3, MPFR_RNDN);
      mpfr_mul_d(s.v, s.v, r[3], MPFR_RNDN);
      mpfr_add(s.v, s.v, a.v, MPFR_RNDN);
    } else {  // c0 + sum c_k t^k
      mpfr_sub_d(t.v, a.v, r[5], MPFR_RNDN);
      mpfr_set_d(s.v, r[4], MPFR_RNDN);
      for (int k = 3; k >= 0; --k) {
        mpfr_mul(s.v, s.v, t.v, MPFR_RNDN);
        mpfr_add_d(s.v, s.v, r[k], MPFR_RNDN);
      }
    }
    mpfr_tanh(y.v, a.v, MPFR_RNDN);
    if (mpfr_zero_p(y.v)) continue;
    const double ulp = ulp_of(mpfr_get_flt(y.v, MPFR_RNDN));
    mpfr_sub(q.v, s.v, y.v, MPFR_RNDN);
    worst = std::fmax(worst, std::fabs(mpfr_get_d(q.v, MPFR_RNDN)) / ulp);
  }
  return worst;
}

void fmt(FILE* f, float v) {
  if (v == 0)
    std::fputs("0.0f", f);
  else
    std::fprintf(f, "%af", static_cast<double>(v));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <out dir>\n", argv[0]);
    return 2;
  }
  std::vector<std::vector<float>> rows;
  // Row 0: c3 = g(t0^2 / 2).
  {
    Mp t0, y, s, g;
    mpfr_set_flt(t0.v, kLow, MPFR_RNDN);
    mpfr_mul_d(t0.v, t0.v, 1 + 0x1p-5, MPFR_RNDN);
    mpfr_sqr(y.v, t0.v, MPFR_RNDN);
    mpfr_div_2ui(y.v, y.v, 1, MPFR_RNDN);
    mpfr_sqrt(s.v, y.v, MPFR_RNDN);
    mpfr_tanh(g.v, s.v, MPFR_RNDN);
    mpfr_sub(g.v, g.v, s.v, MPFR_RNDN);
    mpfr_pow_ui(s.v, s.v, 3, MPFR_RNDN);
    mpfr_div(g.v, g.v, s.v, MPFR_RNDN);
    rows.push_back({0.0f, 1.0f, 0.0f, to_f32(g.v), 0.0f, 0.0f});
  }
  const uint32_t base = bits_of(kLow) >> kShift;
  double worst_centre = 0, worst_fit = row_error(rows[0], 0x1p-149f, std::bit_cast<float>((base + 1) << kShift), true);
  int worst_row = 0;
  for (uint32_t j = 1;; ++j) {
    const float lo = std::bit_cast<float>((base + j) << kShift), hi = std::bit_cast<float>((base + j + 1) << kShift);
    if (lo > kClamp) break;
    double cu;
    rows.push_back(fit_row(lo, hi, cu));
    worst_centre = std::fmax(worst_centre, cu);
    const double e = row_error(rows.back(), lo, hi, false);
    if (e > worst_fit) worst_fit = e, worst_row = static_cast<int>(j);
  }
  char line[200];
  std::snprintf(line, sizeof line, "// %zu rows; |tanh m - c0| at most 2^%.1f ulp; polynomial error at most %.2e ulp (row %d)\n",
                rows.size(), std::log2(worst_centre), worst_fit, worst_row);
  std::fputs(line + 3, stdout);
  FILE* f = qor::tools::open_out(argv[1], "stanh_rows.inc", "tools/gen_tanh_rows", kBits);
  std::fputs(
      "// The interval polynomials of single Tanh HA (single_ha.h). Row 0: [0, 2^-7 (1 + 1/32)), tanh a = a + c3 a^3;\n"
      "// row j >= 1: the j-th thirty-second of a binade from 2^-7 up, columns c0, c1 .. c4, m:\n"
      "// tanh a = c0 + (c1 t + t^2 (c2 + c3 t + c4 t^2)), t = a - m.\n",
      f);
  std::fputs(line, f);
  std::fprintf(f, "inline constexpr int kSTanhRowCount = %zu;\n", rows.size());
  std::fputs("alignas(32) inline constexpr float kSTanhRows[kSTanhRowCount][8] = {\n", f);
  for (const auto& r : rows) {
    std::fputs("    {", f);
    for (int k = 0; k < 8; ++k) {
      if (k) std::fputs(", ", f);
      fmt(f, k < 6 ? r[k] : 0.0f);
    }
    std::fputs("},\n", f);
  }
  std::fputs("};\n", f);
  std::fclose(f);
  return 0;
}
