// Double-precision logarithms: the edges of the table rows and of the reduction's split, every
// slot against MPFR (the whole domain is in the accuracy test).
#include "accuracy_harness.h"

namespace {
using namespace vm_test;

// Inputs at the edges of the reduction: m = 1 + (2j + 1)/1024 (where the row changes from j to
// j + 1) and its neighbours, at several exponents; the exponent split near 0.75; x = 1 +- i 2^-21
// +- a few ulps, where the two halves of m R - 1 nearly cancel; 1 +- 2^-k; the edges of the
// rows next to 1; subnormals.
std::vector<double> reduction_edges() {
  std::vector<double> xs;
  for (int j = 0; j < 512; ++j) {
    const double m = 1.0 + (2 * j + 1) / 1024.0;
    for (int e : {0, -1, 1, 700, -1000}) {
      const double b = std::ldexp(m, e);
      append(xs, consecutive<double>(std::nextafter(std::nextafter(b, 0.0), 0.0), 5));
    }
  }
  for (int e : {0, 1, -5, 1000, -1020}) append(xs, consecutive<double>(std::ldexp(0.74951171875, e) - 3 * std::ldexp(0x1p-53, e), 7));
  for (int i = 1; i <= 64; ++i) {
    for (double b : {1.0 + i * 0x1p-21, 1.0 - i * 0x1p-21, 1.0 - i * 0x1p-22}) append(xs, consecutive<double>(b - 3 * 0x1p-53, 7));
  }
  for (int k = 10; k <= 53; ++k) append(xs, {1.0 + std::ldexp(1.0, -k), 1.0 - std::ldexp(1.0, -k), std::nextafter(1.0 - std::ldexp(1.0, -k), 0.0)});
  // the edges of the rows with k A + H_j = 0 ([1 - 2^-11, 1 + 2^-10)), with whole blocks of four on
  // either side
  append(xs, consecutive<double>(1.0 - 0x1p-11 - 40 * 0x1p-53, 80));
  append(xs, consecutive<double>(1.0 + 0x1p-10 - 40 * 0x1p-52, 80));
  append(xs, log_uniform<double>(-1074, -1022, 2000, 99));
  append(xs, consecutive<double>(0x1p-1074, 20));
  return xs;
}

TEST(DLogReduction, EdgesOfTheTableRowsAndOfTheSplit) {
  const std::vector<double> xs = reduction_edges();
  for (const char* f : {"Ln", "Log2", "Log10"}) sweep_function<double>(f, xs);
  // the same points as 1 + x for Log1p: x = xs - 1 (exact for xs in [0.5, 2]), and small x
  std::vector<double> ps;
  for (double v : xs)
    if (v >= 0.5 && v <= 2.0) ps.push_back(v - 1.0);
  for (int i = 1; i <= 64; ++i) append(ps, {i * 0x1p-22, -i * 0x1p-22, i * 0x1p-40, -i * 0x1p-40, i * 0x1p-53, -i * 0x1p-53});
  for (int k = 10; k <= 60; ++k) append(ps, {std::ldexp(1.0, -k), -std::ldexp(1.0, -k), std::ldexp(1.5, -k), -std::ldexp(1.5, -k)});
  sweep_function<double>("Log1p", ps);
}

}  // namespace
