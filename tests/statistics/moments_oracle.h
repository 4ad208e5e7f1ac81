// Test data sets and a long-double two-pass oracle for the moments method.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "qor/stats.h"

namespace qor::test::ss {

// p variables, n observations, stored as the library expects (rows or columns).
struct DataSet {
  int32_t p = 0, n = 0;
  bool rows = true;
  std::vector<double> x;  // rows: x[i*n + j]; columns: x[j*p + i]
  std::vector<double> w;  // empty: unweighted
  double at(int i, int j) const { return rows ? x[size_t(i) * n + j] : x[size_t(j) * p + i]; }
  std::vector<float> xf() const { return std::vector<float>(x.begin(), x.end()); }
  std::vector<float> wf() const { return std::vector<float>(w.begin(), w.end()); }
  // Rounds the data to float so that double and single tasks see the same numbers.
  void round_to_float() {
    for (double& v : x) v = static_cast<float>(v);
    for (double& v : w) v = static_cast<float>(v);
  }
};

enum class Shape { normal, offset_1e9, mixed_scales, skewed, small_offset };

inline const char* shape_name(Shape s) {
  switch (s) {
    case Shape::normal: return "normal";
    case Shape::offset_1e9: return "1e9+noise";
    case Shape::mixed_scales: return "mixed-scales";
    case Shape::skewed: return "exponential";
    default: return "1e4+noise";
  }
}

// Correlated data: variable i = offset_i + scale_i * (z_i + 0.5 z_{i-1}).
inline DataSet make_data(Shape shape, int32_t p, int32_t n, bool rows, bool weighted,
                         uint64_t seed) {
  DataSet d;
  d.p = p;
  d.n = n;
  d.rows = rows;
  d.x.resize(size_t(p) * n);
  std::mt19937_64 g(seed);
  std::normal_distribution<double> nd(0.0, 1.0);
  std::exponential_distribution<double> ed(1.0);
  std::vector<double> z(p);
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < p; ++i) z[i] = shape == Shape::skewed ? ed(g) : nd(g);
    for (int i = 0; i < p; ++i) {
      double v = z[i] + (i ? 0.5 * z[i - 1] : 0.0);
      switch (shape) {
        case Shape::offset_1e9: v = 1e9 + v; break;
        case Shape::mixed_scales: v = (i % 3 == 0 ? 1e-3 : i % 3 == 1 ? 1e6 : 1.0) * v + (i % 3 == 1 ? -3e7 : 0.0); break;
        case Shape::small_offset: v = 1e4 + v; break;
        default: v = 2.0 + v; break;
      }
      (rows ? d.x[size_t(i) * n + j] : d.x[size_t(j) * p + i]) = v;
    }
  }
  if (weighted) {
    std::uniform_real_distribution<double> ud(0.25, 2.0);
    d.w.resize(n);
    for (double& v : d.w) v = ud(g);
  }
  return d;
}

// Everything the method can output, in long double, from a two-pass computation over the
// observations of `d` with selection `sel` (empty: all).
struct Expected {
  long double W = 0, V = 0;
  std::vector<long double> mean, raw[5], cen_sum[5], sum[5], c2, c3, c4, kurt, skew, var;
  std::vector<long double> C;  // p x p about the mean (sums)
  long double cov(int i, int j) const { return C[size_t(i) * mean.size() + j] / (W - V / W); }
  long double cor(int i, int j) const {
    const size_t p = mean.size();
    return C[size_t(i) * p + j] / std::sqrt(C[size_t(i) * p + i] * C[size_t(j) * p + j]);
  }
};

// With `center`, central quantities are taken about it instead of the data's mean (the
// given-mean method), and it stands as the mean.
inline Expected oracle(const DataSet& d, int j0 = 0, int j1 = -1,
                       const std::vector<double>* center = nullptr) {
  if (j1 < 0) j1 = d.n;
  Expected e;
  const int p = d.p;
  auto wt = [&](int j) -> long double { return d.w.empty() ? 1.0L : (long double)d.w[j]; };
  for (int j = j0; j < j1; ++j) {
    e.W += wt(j);
    e.V += wt(j) * wt(j);
  }
  e.mean.assign(p, 0);
  for (int k = 0; k < 5; ++k) e.raw[k].assign(p, 0), e.cen_sum[k].assign(p, 0), e.sum[k].assign(p, 0);
  // Central quantities from y = x - x0 (x0 the variable's first value; exact), so that long
  // double keeps every digit of the deviations even on data with large offsets.
  std::vector<long double> my(p);
  for (int i = 0; i < p; ++i) {
    const long double x0 = d.at(i, j0);
    long double s = 0;
    for (int j = j0; j < j1; ++j) s += wt(j) * ((long double)d.at(i, j) - x0);
    long double m = s / e.W, corr = 0;
    for (int j = j0; j < j1; ++j) corr += wt(j) * (((long double)d.at(i, j) - x0) - m);
    m += corr / e.W;
    if (center) m = (long double)(*center)[i] - x0;
    my[i] = m;
    e.mean[i] = center ? (long double)(*center)[i] : x0 + m;
    for (int j = j0; j < j1; ++j) {
      const long double x = d.at(i, j), dv = (x - x0) - m, w = wt(j);
      long double xk = 1, dk = 1;
      for (int k = 1; k <= 4; ++k) {
        xk *= x;
        dk *= dv;
        e.sum[k][i] += w * xk;
        e.cen_sum[k][i] += w * dk;
      }
    }
    for (int k = 1; k <= 4; ++k) e.raw[k][i] = e.sum[k][i] / e.W;
  }
  e.c2.resize(p), e.c3.resize(p), e.c4.resize(p), e.kurt.resize(p), e.skew.resize(p), e.var.resize(p);
  for (int i = 0; i < p; ++i) {
    e.c2[i] = e.cen_sum[2][i] * e.W / (e.W * e.W - e.V);
    e.c3[i] = e.cen_sum[3][i] / e.W;
    e.c4[i] = e.cen_sum[4][i] / e.W;
    e.kurt[i] = e.c4[i] / (e.c2[i] * e.c2[i]) - 3;
    e.skew[i] = e.c3[i] / std::sqrt(e.c2[i] * e.c2[i] * e.c2[i]);
    e.var[i] = std::sqrt(e.c2[i]) / e.mean[i];
  }
  e.C.assign(size_t(p) * p, 0);
  for (int i = 0; i < p; ++i)
    for (int k = i; k < p; ++k) {
      const long double xi0 = d.at(i, j0), xk0 = d.at(k, j0);
      long double s = 0;
      for (int j = j0; j < j1; ++j)
        s += wt(j) * (((long double)d.at(i, j) - xi0) - my[i]) * (((long double)d.at(k, j) - xk0) - my[k]);
      e.C[size_t(i) * p + k] = e.C[size_t(k) * p + i] = s;
    }
  return e;
}

// Relative error with a floor: |got - want| / max(|want|, floor).
inline double rel(long double got, long double want, long double floor = 0) {
  long double den = std::fabs(want);
  if (den < floor) den = floor;
  if (den == 0) return got == 0 ? 0.0 : INFINITY;
  return (double)(std::fabs(got - want) / den);
}

}  // namespace qor::test::ss
