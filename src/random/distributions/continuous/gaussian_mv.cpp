// Multivariate normal vectors: r holds n vectors of dimen values, r_k = mean + L z_k with z_k
// standard normal (drawn by the Gaussian method given) and L the lower-triangular factor of the
// covariance L L^T, given as
//   mstorage 0  full: dimen x dimen, row by row (T[i * dimen + j] = L(i, j), j <= i; the upper
//               part is not read): one triangular product over all n vectors (side L, uplo U,
//               trans T, diag N on the column-major view, which is L stored by rows), through
//               qor_blas4fnx_?trmm for dimen > 10 and qor_blas_x?trmm_4fnx for smaller ones;
//   mstorage 1  packed: L column by column, the standard lower packed layout
//               (L(i, j) at j (2 dimen - j + 1) / 2 + i - j), through qor_blas4fnx_?ptrmm;
//   mstorage 2  diagonal: T[j] = L(j, j);
//   other       the standard normals are left unmultiplied.
// dimen = 1 is the plain Gaussian with mean a[0] and deviation T[0]. Methods as Gaussian (others
// give HOX_ERR_BAD_ARGUMENT, nothing drawn); dimen < 1, null mean or factor, or n * dimen beyond
// 32 bits give HOX_ERR_BAD_ARGUMENT.
#include "qor/service.h"
#include "random/core/stream.h"
#include "random/distributions/continuous/normal.h"
#include "service/size_math.h"

using namespace qor::rng;

namespace {

void trmm(const qor_int* m, const qor_int* n, const double* a, double* b, bool big) {
  const double one = 1.0;
  (big ? qor_blas4fnx_dtrmm : qor_blas_xdtrmm_4fnx)("L", "U", "T", "N", m, n, &one, a, m, b, m);
}
void trmm(const qor_int* m, const qor_int* n, const float* a, float* b, bool big) {
  const float one = 1.0f;
  (big ? qor_blas4fnx_strmm : qor_blas_xstrmm_4fnx)("L", "U", "T", "N", m, n, &one, a, m, b, m);
}
void ptrmm(const qor_int* m, const qor_int* n, const double* a, double* b) {
  const double one = 1.0;
  qor_blas4fnx_dptrmm("L", "L", "N", "N", m, n, &one, a, b, m);
}
void ptrmm(const qor_int* m, const qor_int* n, const float* a, float* b) {
  const float one = 1.0f;
  qor_blas4fnx_sptrmm("L", "L", "N", "N", m, n, &one, a, b, m);
}

template <class T>
int32_t gaussian_mv(int32_t method, HoxStream stream, int32_t n, T* r, int32_t dimen, int32_t mstorage, const T* mean,
                    const T* factor) {
  if (method < 0 || method > 2) return HOX_ERR_BAD_ARGUMENT;
  if (n <= 0) return 0;
  int32_t total = 0;
  if (dimen < 1 || !mean || !factor || !qor::serv::checked_mul(n, dimen, &total)) return HOX_ERR_BAD_ARGUMENT;
  if (!r) return HOX_ERR_BAD_ARGUMENT;
  if (dimen == 1) return dist::gaussian(method, stream, n, r, mean[0], factor[0]);
  const int32_t status = dist::gaussian(method, stream, total, r, T(0), T(1));
  if (status < 0) return status;
  const qor_int m = dimen, cols = n;
  if (mstorage == 0) {
    trmm(&m, &cols, factor, r, dimen > 10);
  } else if (mstorage == 1) {
    ptrmm(&m, &cols, factor, r);
  } else if (mstorage == 2) {
    for (int32_t k = 0; k < n; ++k)
      for (int32_t j = 0; j < dimen; ++j) r[int64_t(k) * dimen + j] *= factor[j];
  }
  for (int32_t k = 0; k < n; ++k)
    for (int32_t j = 0; j < dimen; ++j) r[int64_t(k) * dimen + j] += mean[j];
  return 0;
}

}  // namespace

extern "C" QOR_API int32_t _hoxdRngGaussianMV(int32_t method, HoxStream stream, int32_t n, double* r, int32_t dimen,
                                              int32_t mstorage, const double* a, const double* t) {
  return gaussian_mv(method, stream, n, r, dimen, mstorage, a, t);
}

extern "C" QOR_API int32_t _hoxsRngGaussianMV(int32_t method, HoxStream stream, int32_t n, float* r, int32_t dimen,
                                              int32_t mstorage, const float* a, const float* t) {
  return gaussian_mv(method, stream, n, r, dimen, mstorage, a, t);
}
