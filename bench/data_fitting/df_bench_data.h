// Inputs shared by the data-fitting benchmarks.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace qor_bench_df {

// nx increasing breakpoints with random gaps in [0.2, 1).
inline std::vector<double> partition(int64_t nx, uint64_t seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(0.2, 1.0);
  std::vector<double> x(nx);
  double acc = 0;
  for (auto& v : x) v = (acc += u(g));
  return x;
}

// n sites uniform on [a, b), unsorted.
inline std::vector<double> sites(int64_t n, double a, double b, uint64_t seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(a, b);
  std::vector<double> s(n);
  for (auto& v : s) v = u(g);
  return s;
}

}  // namespace qor_bench_df
