// Rank test and inverse of a symmetric covariance matrix (p x p, full storage, leading
// dimension p), in double and float.
//
// LAPACK sees the row-major array as its transpose, so its "U" triangle is our lower one and
// its "L" triangle our upper one: the eigenvalue call may overwrite our lower triangle
// (the diagonal is saved and restored), and the inverse works on our upper triangle only.
#include <cstddef>

#include "qor/service.h"
#include "service/size_math.h"
#include "qor/stats_helpers.h"

namespace qor::ss::helpers {
namespace {

template <class T>
struct Real;
template <>
struct Real<double> {
  static constexpr double kTiny = 4.94e-321;  // smallest value a variance may be raised to
  static void syev(const qor_int* n, double* a, double* w, double* work, const qor_int* lwork, qor_int* info) {
    qor_lapack_dsyev("N", "U", n, a, n, w, work, lwork, info);
  }
  static void potrf(const qor_int* n, double* a, qor_int* info) { qor_lapack_dpotrf("L", n, a, n, info); }
  static void potri(const qor_int* n, double* a, qor_int* info) { qor_lapack_dpotri("L", n, a, n, info); }
};
template <>
struct Real<float> {
  static constexpr float kTiny = 1.4e-42f;  // the same thousand times the smallest subnormal
  static void syev(const qor_int* n, float* a, float* w, float* work, const qor_int* lwork, qor_int* info) {
    qor_lapack_ssyev("N", "U", n, a, n, w, work, lwork, info);
  }
  static void potrf(const qor_int* n, float* a, qor_int* info) { qor_lapack_spotrf("L", n, a, n, info); }
  static void potri(const qor_int* n, float* a, qor_int* info) { qor_lapack_spotri("L", n, a, n, info); }
};

constexpr double kPositive = 1e-15;  // smallest eigenvalue that needs no repair

template <class T>
int32_t test_cov_rank(int32_t p, T* m) {
  if (!m || p < 1) return HOX_SS_ERR_BAD_DIMENSION;
  if (p == 1) {
    if (m[0] > 0) return 0;
    if (m[0] < -Real<T>::kTiny) return HOX_SS_ERR_COV_NOT_PSD;
    m[0] = Real<T>::kTiny;
    return 0;
  }
  const size_t n = static_cast<size_t>(p);
  size_t bytes;
  if (!serv::checked_mul(n, 5 * sizeof(T), &bytes) || p > INT32_MAX / 3) return HOX_SS_ERR_NO_MEMORY;
  T* const scratch = static_cast<T*>(qor_serv_allocate(bytes, 128));
  if (!scratch) return HOX_SS_ERR_NO_MEMORY;
  T* const diag = scratch;
  T* const w = scratch + n;
  T* const work = scratch + 2 * n;
  for (size_t i = 0; i < n; ++i) diag[i] = m[i * n + i];
  const qor_int lwork = 3 * p;
  qor_int info = 0;
  Real<T>::syev(&p, m, w, work, &lwork, &info);
  for (size_t i = 0; i < n; ++i) m[i * n + i] = diag[i];
  if (info != 0) {
    qor_serv_deallocate(scratch);
    return HOX_SS_ERR_EIGEN_FAILED;
  }
  int32_t status = 0;
  if (!(w[0] > kPositive)) {
    size_t k = 1;
    while (k < n && !(w[k] >= Real<T>::kTiny)) ++k;
    if (k == n) {
      status = HOX_SS_ERR_COV_NOT_PSD;
    } else {
      const T shift = static_cast<T>(0.01) * w[k];
      for (size_t i = 0; i < n; ++i) m[i * n + i] += shift;
    }
  }
  qor_serv_deallocate(scratch);
  return status;
}

template <class T>
int32_t inverse1(T* a) {
  a[0] = 1 / a[0];
  return 0;
}

template <class T>
int32_t inverse2(T* a) {
  const T a00 = a[0], a01 = a[1], a11 = a[3];
  const T det = a00 * a11 - a01 * a01;
  a[0] = a11 / det;
  a[1] = -a01 / det;
  a[3] = a00 / det;
  return 0;
}

template <class T>
int32_t inverse3(T* a) {
  const T a00 = a[0], a01 = a[1], a02 = a[2], a11 = a[4], a12 = a[5], a22 = a[8];
  const T c00 = a11 * a22 - a12 * a12, c01 = a02 * a12 - a01 * a22, c02 = a01 * a12 - a02 * a11;
  const T det = a00 * c00 + a01 * c01 + a02 * c02;
  a[0] = c00 / det;
  a[1] = c01 / det;
  a[2] = c02 / det;
  a[4] = (a00 * a22 - a02 * a02) / det;
  a[5] = (a01 * a02 - a00 * a12) / det;
  a[8] = (a00 * a11 - a01 * a01) / det;
  return 0;
}

template <class T>
int32_t inverse_lapack(int32_t p, T* a) {
  qor_int info = 0;
  Real<T>::potrf(&p, a, &info);
  if (info != 0) return HOX_SS_ERR_CHOLESKY_FAILED;  // the matrix stays the caller's
  Real<T>::potri(&p, a, &info);
  if (info != 0) return HOX_SS_ERR_INVERSE_FAILED;
  return 0;
}

template <class T>
int32_t inv_cov(int32_t p, T* a) {
  using Small = int32_t (*)(T*);
  static constexpr Small kSmall[4] = {nullptr, inverse1<T>, inverse2<T>, inverse3<T>};
  if (!a || p < 1) return HOX_SS_ERR_BAD_DIMENSION;
  if (p < 4) return kSmall[p](a);
  return inverse_lapack(p, a);
}

}  // namespace
}  // namespace qor::ss::helpers

using namespace qor::ss::helpers;

extern "C" QOR_API int32_t __hoxdTestCovRank(int32_t p, double* m) { return test_cov_rank(p, m); }
extern "C" QOR_API int32_t __hoxsTestCovRank(int32_t p, float* m) { return test_cov_rank(p, m); }
extern "C" QOR_API int32_t __hoxdInvCov(int32_t p, double* m) { return inv_cov(p, m); }
extern "C" QOR_API int32_t __hoxsInvCov(int32_t p, float* m) { return inv_cov(p, m); }
