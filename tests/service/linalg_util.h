// Shared helpers of the dense linear-algebra tests: column-major matrices with a leading
// dimension, seeded random fill, and the precision traits that name the d/s routines.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "qor/service.h"

namespace qor::test {

template <class T>
struct Dense {
  int rows = 0, cols = 0, ld = 1;
  std::vector<T> v;
  Dense() = default;
  Dense(int r, int c, int pad = 0) : rows(r), cols(c), ld((r > 0 ? r : 1) + pad), v(size_t(ld) * (c > 0 ? c : 1), T(0)) {}
  T& operator()(int i, int j) { return v[size_t(i) + size_t(j) * ld]; }
  T operator()(int i, int j) const { return v[size_t(i) + size_t(j) * ld]; }
  T* data() { return v.data(); }
};

template <class T>
void fill_random(std::vector<T>& v, std::mt19937& g, T lo = T(-1), T hi = T(1)) {
  std::uniform_real_distribution<double> u(lo, hi);
  for (T& x : v) x = static_cast<T>(u(g));
}

// Tolerance for sums of `terms` products of numbers of magnitude about 1.
template <class T>
double tol(int terms) {
  const double eps = std::is_same_v<T, float> ? 1.2e-7 : 2.3e-16;
  return 8.0 * eps * (terms + 4);
}

template <class T>
struct LA;

#define QOR_TEST_LA_TRAITS(T, p)                                                           \
  template <>                                                                              \
  struct LA<T> {                                                                           \
    static constexpr auto gemm = qor_blas_##p##gemm;                                       \
    static constexpr auto xgemm = qor_blas_x##p##gemm;                                     \
    static constexpr auto gemv = qor_blas_##p##gemv;                                       \
    static constexpr auto syr = qor_blas_##p##syr;                                         \
    static constexpr auto xsyr = qor_blas_x##p##syr;                                       \
    static constexpr auto syrk = qor_blas_##p##syrk;                                       \
    static constexpr auto xsyrk = qor_blas_x##p##syrk;                                     \
    static constexpr auto xsymm = qor_blas_x##p##symm;                                     \
    static constexpr auto trmm = qor_blas_##p##trmm;                                       \
    static constexpr auto xtrmm = qor_blas_x##p##trmm_4fnx;                                \
    static constexpr auto trmm4 = qor_blas4fnx_##p##trmm;                                  \
    static constexpr auto ptrmm = qor_blas4fnx_##p##ptrmm;                                 \
    static constexpr auto potrf = qor_lapack_##p##potrf;                                   \
    static constexpr auto potri = qor_lapack_##p##potri;                                   \
    static constexpr auto trtri = qor_lapack_##p##trtri;                                   \
    static constexpr auto syev = qor_lapack_##p##syev;                                     \
    static constexpr auto spevd = qor_lapack_##p##spevd;                                   \
    static constexpr auto dttrf = p##dttrfb_4dfl;                                          \
    static constexpr auto dttrs = p##dttrsb_4dfl;                                          \
    static constexpr auto dtsv = p##dtsvb_4dfl;                                            \
  };
QOR_TEST_LA_TRAITS(double, d)
QOR_TEST_LA_TRAITS(float, s)
#undef QOR_TEST_LA_TRAITS

}  // namespace qor::test
