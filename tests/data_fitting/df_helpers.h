// Helpers of the data-fitting tests: tasks that clean up after themselves, random partitions.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "data_fitting/task.h"
#include "qor/df.h"
#include "support/scale.h"

namespace qor::test::df {

struct Task {
  DfTask1D* t = nullptr;
  Task() = default;
  Task(const Task&) = delete;
  Task& operator=(const Task&) = delete;
  ~Task() {
    if (t) qor_df_kernel_DeleteTask(&t);
  }
  DfTask1D* operator->() const { return t; }
  operator DfTask1D*() const { return t; }
};

// Strictly increasing breakpoints on [a, b] with random gaps (ratio of gaps up to ~20).
inline std::vector<double> random_partition(int64_t nx, std::mt19937_64& g, double a = -3.0, double b = 5.0) {
  std::uniform_real_distribution<double> u(0.05, 1.0);
  std::vector<double> gaps(nx - 1);
  double sum = 0;
  for (auto& v : gaps) sum += (v = u(g));
  std::vector<double> x(nx);
  x[0] = a;
  double acc = 0;
  for (int64_t i = 1; i < nx; ++i) x[i] = a + (b - a) * ((acc += gaps[i - 1]) / sum);
  x[nx - 1] = b;
  for (int64_t i = 1; i < nx; ++i)
    if (!(x[i] > x[i - 1])) x[i] = std::nextafter(x[i - 1], 1e300);
  return x;
}

// The breakpoints a task of partition hint 4 stands for (x holds the two ends).
template <class T>
std::vector<T> uniform_breakpoints(T a, T b, int64_t nx) {
  std::vector<T> x(nx);
  const T h = T((b - a) / T(nx - 1));
  for (int64_t i = 0; i < nx; ++i) x[i] = T(a + T(i) * h);
  x[nx - 1] = b;
  return x;
}

// Cell of s by the documented convention, from the breakpoints themselves.
template <class T>
int64_t reference_cell(const std::vector<T>& x, T s) {
  const int64_t nx = static_cast<int64_t>(x.size());
  if (s == x[nx - 1]) return nx - 1;
  return std::upper_bound(x.begin(), x.end(), s) - x.begin();
}

}  // namespace qor::test::df
