// Generator of the tables of LGamma: near its negative zeros, and the series of lgamma(2 + z)
// (src/vector_math/kernels/special/tables/lgamma_tables.inc), with MPFR.
//
// On (-n-1, -n), n >= 2, ln|Gamma| comes down from +inf at both poles to a minimum below 0 and
// crosses 0 twice. Near a zero x0 the result is a small difference of terms of order 1, so no
// fixed-precision formula keeps its relative accuracy there; the kernel evaluates instead
//   lgamma(x) = (x - x0) g(x),   or (x - x0)(x - x1) g(x) for a region holding both zeros,
// with each zero given as two long doubles (128 bits: x - x0h is exact, so u = (x - x0h) - x0l
// has a relative error of 2^-64 however close x lies to x0) and g, smooth and without zeros on
// the region, as a Chebyshev series in t = (x - c) / h. A region is the interval around its
// zero(s) where |lgamma| < kT; outside it the kernel's general formula is accurate enough
// (its absolute error is a few 2^-64). Where the minimum lies above -kT, one region holds both
// zeros. Intervals from n = 2 to kLast; beyond, the zeros lie closer to the poles than one
// double-precision spacing, and no double comes near a zero.
//
// Each region's degree is the least that brings the relative error of g, measured in long
// double Clenshaw on 4000 points against MPFR, below 2^-62 (printed on stderr).
//
//   gen_lgamma_zeros <destination folder>
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "table_out.h"

namespace {

constexpr int kPrec = 400;
constexpr int kLast = 17;
constexpr double kT = 0.25;
constexpr int kNodes = 128;
constexpr int kSeries = 40;

struct M {
  mpfr_t v;
  M() { mpfr_init2(v, kPrec); }
  M(const M& o) {
    mpfr_init2(v, kPrec);
    mpfr_set(v, o.v, MPFR_RNDN);
  }
  M& operator=(const M& o) {
    mpfr_set(v, o.v, MPFR_RNDN);
    return *this;
  }
  ~M() { mpfr_clear(v); }
};

void lgam(M& y, const M& x) {
  int s;
  mpfr_lgamma(y.v, &s, x.v, MPFR_RNDN);
}
double lgam_d(const M& x) {
  M y;
  lgam(y, x);
  return mpfr_get_d(y.v, MPFR_RNDN);
}

// Bisection for f(x) = target on [a, b] where f - target changes sign (iters halvings).
template <class F>
M bisect(F f, M a, M b, int iters) {
  const bool up = f(a) < 0;
  for (int i = 0; i < iters; ++i) {
    M m;
    mpfr_add(m.v, a.v, b.v, MPFR_RNDN);
    mpfr_div_2ui(m.v, m.v, 1, MPFR_RNDN);
    if ((f(m) < 0) == up) a = m;
    else b = m;
  }
  return a;
}

// The sign of lgamma at full precision (for the zeros).
int lgam_sign(const M& x) {
  M y;
  lgam(y, x);
  return mpfr_sgn(y.v);
}

struct Region {
  long double lo, hi, c, h;
  int nz;
  long double zh[2], zl[2];
  std::vector<long double> coef;
};

long double to_ld(const M& x) { return mpfr_get_ld(x.v, MPFR_RNDN); }

// g(x) = lgamma(x) / prod (x - z)
void g_of(M& out, const M& x, const std::vector<M>& zs) {
  lgam(out, x);
  for (const M& z : zs) {
    M d;
    mpfr_sub(d.v, x.v, z.v, MPFR_RNDN);
    mpfr_div(out.v, out.v, d.v, MPFR_RNDN);
  }
}

long double clenshaw(const std::vector<long double>& c, long double t) {
  long double b1 = 0, b2 = 0;
  for (size_t j = c.size(); j-- > 1;) {
    const long double b0 = 2 * t * b1 - b2 + c[j];
    b2 = b1;
    b1 = b0;
  }
  return t * b1 - b2 + c[0];
}

Region make_region(const M& a, const M& b, const std::vector<M>& zs) {
  Region r{};
  M c, h;
  mpfr_add(c.v, a.v, b.v, MPFR_RNDN);
  mpfr_div_2ui(c.v, c.v, 1, MPFR_RNDN);
  mpfr_sub(h.v, b.v, a.v, MPFR_RNDN);
  mpfr_div_2ui(h.v, h.v, 1, MPFR_RNDN);
  r.lo = to_ld(a);
  r.hi = to_ld(b);
  r.c = to_ld(c);
  r.h = to_ld(h);
  // the series is in t = (x - c) / h with c and h as the kernel holds them (long doubles): a
  // rounded centre would shift t by a sizeable part of a narrow region
  mpfr_set_ld(c.v, r.c, MPFR_RNDN);
  mpfr_set_ld(h.v, r.h, MPFR_RNDN);
  r.nz = static_cast<int>(zs.size());
  for (int i = 0; i < r.nz; ++i) {
    r.zh[i] = to_ld(zs[i]);
    M l;
    mpfr_set_ld(l.v, r.zh[i], MPFR_RNDN);
    mpfr_sub(l.v, zs[i].v, l.v, MPFR_RNDN);
    r.zl[i] = to_ld(l);
  }
  // Chebyshev coefficients from kNodes Chebyshev-Gauss nodes
  std::vector<M> f(kNodes);
  M pi;
  mpfr_const_pi(pi.v, MPFR_RNDN);
  for (int k = 0; k < kNodes; ++k) {
    M t, x;
    mpfr_mul_d(t.v, pi.v, (k + 0.5) / kNodes, MPFR_RNDN);
    mpfr_cos(t.v, t.v, MPFR_RNDN);
    mpfr_mul(x.v, t.v, h.v, MPFR_RNDN);
    mpfr_add(x.v, x.v, c.v, MPFR_RNDN);
    g_of(f[k], x, zs);
  }
  std::vector<M> cf(kNodes);
  for (int j = 0; j < kNodes; ++j) {
    M s;
    mpfr_set_zero(s.v, 1);
    for (int k = 0; k < kNodes; ++k) {
      M t;
      mpfr_mul_d(t.v, pi.v, j * (k + 0.5) / kNodes, MPFR_RNDN);
      mpfr_cos(t.v, t.v, MPFR_RNDN);
      mpfr_mul(t.v, t.v, f[k].v, MPFR_RNDN);
      mpfr_add(s.v, s.v, t.v, MPFR_RNDN);
    }
    mpfr_mul_d(s.v, s.v, (j == 0 ? 1.0 : 2.0) / kNodes, MPFR_RNDN);
    cf[j] = s;
  }
  // the least degree meeting 2^-66 on 4000 points
  for (int deg = 4; deg < kNodes - 8; ++deg) {
    std::vector<long double> co(deg + 1);
    for (int j = 0; j <= deg; ++j) co[j] = to_ld(cf[j]);
    double worst = 0;
    for (int i = 0; i <= 4000; ++i) {
      const long double t = -1 + i / 2000.0L;
      M x, g;
      mpfr_set_ld(x.v, t, MPFR_RNDN);
      mpfr_mul(x.v, x.v, h.v, MPFR_RNDN);
      mpfr_add(x.v, x.v, c.v, MPFR_RNDN);
      g_of(g, x, zs);
      const long double v = clenshaw(co, t);
      M e;
      mpfr_set_ld(e.v, v, MPFR_RNDN);
      mpfr_sub(e.v, e.v, g.v, MPFR_RNDN);
      mpfr_div(e.v, e.v, g.v, MPFR_RNDN);
      worst = std::fmax(worst, std::fabs(mpfr_get_d(e.v, MPFR_RNDN)));
    }
    if (worst < 0x1p-62) {
      r.coef = co;
      std::fprintf(stderr, "region [%.6Lf, %.6Lf] zeros %d degree %d error 2^%.1f\n", r.lo, r.hi, r.nz, deg,
                   std::log2(worst));
      return r;
    }
  }
  std::fprintf(stderr, "no degree fits [%.6Lf, %.6Lf]\n", r.lo, r.hi);
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_lgamma_zeros <destination folder>\n");
    return 2;
  }
  std::vector<Region> regions;
  std::vector<int> first;
  for (int n = 2; n <= kLast; ++n) {
    first.push_back(static_cast<int>(regions.size()));
    // the minimum: digamma = 0 between the poles
    M lo, hi;
    mpfr_set_si(lo.v, -n - 1, MPFR_RNDN);
    mpfr_set_si(hi.v, -n, MPFR_RNDN);
    M elo = lo, ehi = hi;  // stay off the poles
    mpfr_add_d(elo.v, elo.v, 1e-100, MPFR_RNDN);
    mpfr_sub_d(ehi.v, ehi.v, 1e-100, MPFR_RNDN);
    auto dig = [](const M& x) {
      M y;
      mpfr_digamma(y.v, x.v, MPFR_RNDN);
      return mpfr_get_d(y.v, MPFR_RNDN);
    };
    const M mn = bisect(dig, elo, ehi, 200);
    auto sgn = [](const M& x) { return static_cast<double>(lgam_sign(x)); };
    const M z0 = bisect(sgn, elo, mn, kPrec - 10);
    const M z1 = bisect(sgn, mn, ehi, kPrec - 10);
    auto above = [](const M& x) { return lgam_d(x) - kT; };
    const M a = bisect(above, elo, z0, 120);
    const M b = bisect(above, z1, ehi, 120);
    if (lgam_d(mn) > -kT) {
      regions.push_back(make_region(a, b, {z0, z1}));
    } else {
      auto below = [](const M& x) { return lgam_d(x) + kT; };
      const M a1 = bisect(below, z0, mn, 120);
      const M b0 = bisect(below, mn, z1, 120);
      regions.push_back(make_region(a, a1, {z0}));
      regions.push_back(make_region(b0, b, {z1}));
    }
  }
  first.push_back(static_cast<int>(regions.size()));
  FILE* f = qor::tools::open_out(argv[1], "lgamma_tables.inc", "tools/gen_lgamma_zeros.cpp", kPrec);
  std::fprintf(f, "// LGamma near its negative zeros, intervals (-n-1, -n) for n = 2 to %d (see the generator).\n", kLast);
  std::fprintf(f, "#define QOR_LGAMMA_ZERO_LAST %d\n", kLast);
  std::fprintf(f, "static constexpr int kLgammaZeroFirst[] = {");
  for (size_t i = 0; i < first.size(); ++i) std::fprintf(f, "%s%d", i ? ", " : "", first[i]);
  std::fprintf(f, "};\n");
  std::vector<long double> all;
  std::fprintf(f, "static constexpr LgammaZeroRegion kLgammaZeroRegions[] = {\n");
  for (const Region& r : regions) {
    std::fprintf(f, "    {%LaL, %LaL, %LaL, %LaL, %d, {%LaL, %LaL}, {%LaL, %LaL}, %zu, %zu},\n", r.lo, r.hi, r.c, r.h, r.nz,
                 r.zh[0], r.nz > 1 ? r.zh[1] : 0.0L, r.zl[0], r.nz > 1 ? r.zl[1] : 0.0L, all.size(), r.coef.size());
    all.insert(all.end(), r.coef.begin(), r.coef.end());
  }
  std::fprintf(f, "};\nstatic constexpr long double kLgammaZeroCoef[] = {\n");
  for (size_t i = 0; i < all.size(); ++i) std::fprintf(f, "    %LaL,\n", all[i]);
  std::fprintf(f, "};\n");
  // lgamma(2 + z) = sum a_k z^k, a_1 = 1 - gamma, a_k = (-1)^k (zeta(k) - 1) / k
  std::fprintf(f, "// lgamma(2 + z) = sum of a_k z^k, k = 1 to %d: a_1 = 1 - Euler's gamma, a_k = (-1)^k (zeta(k) - 1) / k.\n", kSeries);
  std::fprintf(f, "static constexpr long double kLgamma2Series[] = {\n");
  for (int k = 1; k <= kSeries; ++k) {
    M a;
    if (k == 1) {
      mpfr_const_euler(a.v, MPFR_RNDN);
      mpfr_ui_sub(a.v, 1, a.v, MPFR_RNDN);
    } else {
      mpfr_zeta_ui(a.v, k, MPFR_RNDN);
      mpfr_sub_ui(a.v, a.v, 1, MPFR_RNDN);
      mpfr_div_ui(a.v, a.v, k, MPFR_RNDN);
      if (k % 2) mpfr_neg(a.v, a.v, MPFR_RNDN);
    }
    std::fprintf(f, "    %LaL,\n", to_ld(a));
  }
  std::fprintf(f, "};\n");
  std::fclose(f);
  return 0;
}
