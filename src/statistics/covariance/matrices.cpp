// Partial covariance and correlation, Mahalanobis distances and the correlation
// parametrization (double and single). They run on the calling thread; the linear algebra is
// done in double for both precisions through the BLAS/LAPACK wrappers (inputs are widened,
// outputs rounded to the task's precision when written).
//
// Matrices here are p x p symmetric arrays in full storage (row i, column j at i p + j, so
// LAPACK sees the transpose, which for a symmetric matrix is the same matrix) or in one of the
// packed forms (statistics/storage.h).
#include <cmath>
#include <cstring>
#include <limits>

#include "qor/service.h"
#include "service/size_math.h"
#include "statistics/entry.h"
#include "statistics/storage.h"
#include "statistics/task.h"

namespace qor::ss::matrices {
namespace {

// A block of doubles from the allocation service, released with the scope.
struct Doubles {
  double* v = nullptr;
  ~Doubles() { qor_serv_deallocate(v); }
  bool get(uint64_t count) {
    size_t bytes;
    if (!serv::checked_mul(count, sizeof(double), &bytes)) return false;
    v = static_cast<double*>(qor_serv_allocate(bytes ? bytes : 1, 128));
    return v != nullptr;
  }
};

// Entry (i, j) of a symmetric matrix held in storage st.
template <class T>
double entry(const T* a, Mat st, int64_t p, int64_t i, int64_t j) {
  return i <= j ? a[mat_pos(st, p, i, j)] : a[mat_pos(st, p, j, i)];
}

// A matrix storage code that must be 0, 1 or 2.
bool matrix_code(const HoxSSTask* t, const void* addr, Mat* st) {
  const int64_t c = read_int(t, addr);
  if (c == HOX_SS_MATRIX_FULL) *st = Mat::full;
  else if (c == HOX_SS_MATRIX_PACKED_1) *st = Mat::packed1;
  else if (c == HOX_SS_MATRIX_PACKED_2) *st = Mat::packed2;
  else return false;
  return true;
}

int32_t dimension(const HoxSSTask* t, int64_t* p) {
  if (!t->dimension) return HOX_SS_ERR_BAD_DIMENSION;
  *p = read_int(t, t->dimension);
  if (*p < 1 || *p > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_DIMENSION;
  size_t bytes;
  if (!serv::checked_mul(*p, *p, &bytes) || !serv::checked_mul(bytes, sizeof(double), &bytes)) return HOX_SS_ERR_NO_MEMORY;
  return 0;
}

// ---- partial covariance and correlation ------------------------------------------------------------
template <class T>
int32_t partial(HoxSSTask* t, uint64_t estimates, uint64_t method, const ThreadingServices*) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  const T* in;
  const void* in_storage;
  if (t->cov) {
    if (!t->cov_storage) return HOX_SS_ERR_NULL_STORAGE;
    in = static_cast<const T*>(t->cov);
    in_storage = t->cov_storage;
  } else if (t->cor) {
    if (!t->cor_storage) return HOX_SS_ERR_NULL_STORAGE;
    in = static_cast<const T*>(t->cor);
    in_storage = t->cor_storage;
  } else {
    return HOX_SS_ERR_NULL_COV;
  }
  if (!t->partial_cov_idx) return HOX_SS_ERR_NULL_PARTIAL_COV_IDX;
  const bool want_cov = estimates & HOX_SS_EST_PARTIAL_COV, want_cor = estimates & HOX_SS_EST_PARTIAL_COR;
  if (want_cov) {
    if (!t->partial_cov) return HOX_SS_ERR_NULL_PARTIAL_COV;
    if (!t->partial_cov_storage) return HOX_SS_ERR_NULL_STORAGE;
  }
  if (want_cor) {
    if (!t->partial_cor) return HOX_SS_ERR_NULL_PARTIAL_COR;
    if (!t->partial_cor_storage) return HOX_SS_ERR_NULL_STORAGE;
  }
  if (!(method & HOX_SS_METHOD_FAST)) return HOX_SS_ERR_BAD_METHOD;
  if (!t->dimension) return HOX_SS_ERR_BAD_DIMENSION;
  int64_t p = read_int(t, t->dimension);
  if (p < 1) return HOX_SS_ERR_BAD_ROLES;
  if (int32_t st = dimension(t, &p)) return st;
  int64_t k = 0, l = 0;
  for (int64_t i = 0; i < p; ++i) {
    const int64_t r = read_int_at(t, t->partial_cov_idx, i);
    k += r == 1;
    l += r == -1;
  }
  if (k == 0 || l == 0) return HOX_SS_ERR_BAD_ROLES;
  if (!want_cov && !want_cor) return 0;
  // one block: Y and Z variable lists, S_ZZ (l x l), S_ZY (l x k), S_ZZ^-1 S_ZY (l x k), P (k x k)
  Doubles buf;
  const uint64_t K = static_cast<uint64_t>(k), L = static_cast<uint64_t>(l);
  if (!buf.get(K + L + L * L + 2 * L * K + K * K)) return HOX_SS_ERR_NO_MEMORY;
  double* yv = buf.v;  // variable numbers, as doubles (exact below 2^53)
  double* zv = yv + K;
  double* szz = zv + L;
  double* szy = szz + L * L;
  double* b = szy + L * K;
  double* P = b + L * K;
  {
    int64_t a = 0, c = 0;
    for (int64_t i = 0; i < p; ++i) {
      const int64_t r = read_int_at(t, t->partial_cov_idx, i);
      if (r == 1) yv[a++] = static_cast<double>(i);
      if (r == -1) zv[c++] = static_cast<double>(i);
    }
  }
  const Mat st = decode_matrix(t, in_storage);
  auto S = [&](double i, double j) { return entry(in, st, p, static_cast<int64_t>(i), static_cast<int64_t>(j)); };
  for (int64_t j = 0; j < l; ++j)
    for (int64_t i = 0; i < l; ++i) szz[i + j * l] = S(zv[i], zv[j]);
  for (int64_t j = 0; j < k; ++j)
    for (int64_t i = 0; i < l; ++i) szy[i + j * l] = S(zv[i], yv[j]);
  for (int64_t j = 0; j < k; ++j)
    for (int64_t i = 0; i < k; ++i) P[i + j * k] = S(yv[i], yv[j]);
  // S_ZZ^-1 by Cholesky factorisation and inversion (upper triangle), then B = S_ZZ^-1 S_ZY and
  // P = S_YY - S_ZY^T B
  const qor_int li = static_cast<qor_int>(l), ki = static_cast<qor_int>(k);
  qor_int info = 0;
  qor_lapack_dpotrf("U", &li, szz, &li, &info);
  if (info != 0) return HOX_SS_ERR_CHOLESKY_FAILED;
  qor_lapack_dpotri("U", &li, szz, &li, &info);
  if (info != 0) return HOX_SS_ERR_INVERSE_FAILED;
  const double one = 1, zero = 0, minus = -1;
  qor_blas_xdsymm("L", "U", &li, &ki, &one, szz, &li, szy, &li, &zero, b, &li);
  qor_blas_dgemm("T", "N", &ki, &ki, &li, &minus, szy, &li, b, &li, &one, P, &ki);
  // write the Y variables' entries (upper triangle of P, symmetrised by the writers)
  int32_t* sel = reinterpret_cast<int32_t*>(szz);  // S_ZZ^-1 is no longer needed: k ints fit in l^2 + l k doubles
  for (int64_t a = 0; a < k; ++a) sel[a] = static_cast<int32_t>(yv[a]);
  if (want_cov)
    write_matrix(static_cast<T*>(t->partial_cov), decode_matrix(t, t->partial_cov_storage), p, sel, k, P, k, 1.0);
  if (want_cor) {
    T* out = static_cast<T*>(t->partial_cor);
    const Mat so = decode_matrix(t, t->partial_cor_storage);
    for (int64_t c = 0; c < k; ++c)
      for (int64_t a = 0; a <= c; ++a) {
        const T v = static_cast<T>(P[a + c * k] / std::sqrt(P[a + a * k] * P[c + c * k]));
        out[mat_pos(so, p, sel[a], sel[c])] = v;
        if (so == Mat::full) out[static_cast<int64_t>(sel[c]) * p + sel[a]] = v;
      }
  }
  return 0;
}

// ---- Mahalanobis distances -------------------------------------------------------------------------
constexpr int64_t kDistanceBlock = 256;  // observations centred and multiplied per block

template <class T>
int32_t mahalanobis(HoxSSTask* t) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  int64_t p;
  if (int32_t st = dimension(t, &p)) return st;
  if (!t->observ_n) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  const int64_t n = read_int(t, t->observ_n);
  if (n < 1 || n > std::numeric_limits<int32_t>::max()) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  if (!t->observ) return HOX_SS_ERR_NULL_OBSERV;
  if (!t->observ_storage) return HOX_SS_ERR_NULL_STORAGE;
  const bool rows = read_int(t, t->observ_storage) == HOX_SS_STORAGE_ROWS || p == 1;
  if (!t->mahal_first || !t->mahal_end) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  const int64_t first = read_int(t, t->mahal_first), end = read_int(t, t->mahal_end);
  if (first < 0 || end < first || end > n) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  if (!t->mahal_mean) return HOX_SS_ERR_NULL_MEAN;
  if (!t->mahal_inv_cov) return HOX_SS_ERR_NULL_COV;
  if (!t->mahal_out) return HOX_SS_ERR_NULL_OUTLIERS_WEIGHT;
  if (end == first) return 0;
  const T* x = static_cast<const T*>(t->observ);
  const T* m = static_cast<const T*>(t->mahal_mean);
  const T* S = static_cast<const T*>(t->mahal_inv_cov);
  T* out = static_cast<T*>(t->mahal_out);
  const uint64_t P = static_cast<uint64_t>(p), B = kDistanceBlock;
  // the inverse in double (p^2), the centred block Z (p x B) and S^-1 Z (p x B)
  Doubles buf;
  if (!buf.get(P * P + 2 * P * B)) return HOX_SS_ERR_NO_MEMORY;
  double* Sd = buf.v;
  double* Z = Sd + P * P;
  double* Y = Z + P * B;
  for (uint64_t i = 0; i < P * P; ++i) Sd[i] = S[i];
  const qor_int pi = static_cast<qor_int>(p);
  const double one = 1, zero = 0;
  for (int64_t j0 = first; j0 < end; j0 += kDistanceBlock) {
    const int64_t nb = std::min<int64_t>(kDistanceBlock, end - j0);
    for (int64_t j = 0; j < nb; ++j)
      for (int64_t i = 0; i < p; ++i) {
        const T v = rows ? x[i * n + j0 + j] : x[(j0 + j) * p + i];
        Z[i + j * p] = static_cast<double>(v) - m[i];
      }
    const qor_int nbi = static_cast<qor_int>(nb);
    qor_blas_xdsymm("L", "U", &pi, &nbi, &one, Sd, &pi, Z, &pi, &zero, Y, &pi);
    for (int64_t j = 0; j < nb; ++j) {
      double q = 0;
      for (int64_t i = 0; i < p; ++i) q += Z[i + j * p] * Y[i + j * p];
      out[j0 + j - first] = static_cast<T>(std::sqrt(q));
    }
  }
  return 0;
}

// ---- correlation parametrization ---------------------------------------------------------------------
constexpr double kEigenFloor = 1e-14;

template <class T>
int32_t parametrize(HoxSSTask* t, uint64_t, uint64_t method, const ThreadingServices*) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  if (!t->dimension) return HOX_SS_ERR_BAD_DIMENSION;
  const int64_t p0 = read_int(t, t->dimension);
  if (p0 < 1) return HOX_SS_ERR_BAD_DIMENSION;
  if (!t->cor) return HOX_SS_ERR_NULL_COR;
  if (!t->cor_storage) return HOX_SS_ERR_NULL_STORAGE;
  Mat in_st, out_st;
  if (!matrix_code(t, t->cor_storage, &in_st)) return HOX_SS_ERR_BAD_STORAGE;
  if (!t->paramtr_cor) return HOX_SS_ERR_NULL_PARAMTR_COR;
  if (!t->paramtr_cor_storage) return HOX_SS_ERR_NULL_STORAGE;
  if (!matrix_code(t, t->paramtr_cor_storage, &out_st)) return HOX_SS_ERR_BAD_STORAGE;
  if (out_st == Mat::full && in_st != Mat::full && t->paramtr_cor == t->cor) return HOX_SS_ERR_BAD_STORAGE;
  if (!(method & HOX_SS_METHOD_PARAMETRIZE)) return HOX_SS_ERR_BAD_METHOD;
  int64_t p;
  if (int32_t st = dimension(t, &p)) return st;
  const uint64_t P = static_cast<uint64_t>(p);
  // A (p^2, then the eigenvectors), the rebuilt matrix C (p^2), eigenvalues (p), work (3p)
  Doubles buf;
  if (!buf.get(2 * P * P + 4 * P)) return HOX_SS_ERR_NO_MEMORY;
  double* A = buf.v;
  double* C = A + P * P;
  double* w = C + P * P;
  double* work = w + P;
  const T* in = static_cast<const T*>(t->cor);
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = 0; i < p; ++i) A[i + j * p] = entry(in, in_st, p, i, j);
  const qor_int pi = static_cast<qor_int>(p), lwork = static_cast<qor_int>(3 * p);
  qor_int info = 0;
  qor_lapack_dsyev("V", "U", &pi, A, &pi, w, work, &lwork, &info);
  if (info != 0) return HOX_SS_ERR_PARAMTR_EIGEN_FAILED;
  int64_t raised = 0;
  for (int64_t k = 0; k < p; ++k)
    if (!(w[k] >= kEigenFloor)) {
      w[k] = kEigenFloor;
      ++raised;
    }
  if (raised == p) return HOX_SS_ERR_PARAMTR_FLOORED_ALL;
  // C = (V diag(sqrt(w))) (V diag(sqrt(w)))^T by a rank-p update
  for (int64_t k = 0; k < p; ++k) {
    const double s = std::sqrt(w[k]);
    for (int64_t i = 0; i < p; ++i) A[i + k * p] *= s;
  }
  const double one = 1, zero = 0;
  qor_blas_dsyrk("U", "N", &pi, &pi, &one, A, &pi, &zero, C, &pi);
  T* out = static_cast<T*>(t->paramtr_cor);
  for (int64_t j = 0; j < p; ++j)
    for (int64_t i = 0; i <= j; ++i) {
      const T v = static_cast<T>(i == j ? 1.0 : C[i + j * p] / std::sqrt(C[i + i * p] * C[j + j * p]));
      out[mat_pos(out_st, p, i, j)] = v;
      if (out_st == Mat::full) out[j * p + i] = v;
    }
  return 0;
}

}  // namespace
}  // namespace qor::ss::matrices

using namespace qor::ss::matrices;

QOR_SS_COMPUTE_ENTRY(PartialCovariance, partial)
QOR_SS_COMPUTE_ENTRY(CorParametrization, parametrize)

extern "C" QOR_API int32_t _hoxdSSMahDistance(HoxSSTask* t) { return mahalanobis<double>(t); }
extern "C" QOR_API int32_t _hoxsSSMahDistance(HoxSSTask* t) { return mahalanobis<float>(t); }
