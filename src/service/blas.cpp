// Dense linear algebra under the family's names: thin wrappers over the Fortran BLAS/LAPACK
// symbols (OpenBLAS on x86-64, the reference BLAS/LAPACK on i386), plus the triangular
// product with a packed factor (qor_blas4fnx_{d,s}ptrmm), which is our own code.
//
// Calling convention of the Fortran symbols: every argument by address, and one hidden
// character-length argument (size_t, gfortran's type since GCC 8) per CHARACTER argument,
// appended after the visible ones in order. We always pass those lengths, as 1: some LAPACK
// builds compiled with newer gfortran read them (or reuse their stack slots for tail calls),
// and passing them is harmless for BLAS kernels written in C that ignore them.
#include <cstddef>
#include <cstdint>

#include "qor/service.h"

namespace {
using fchar = const char*;
using flen = size_t;
constexpr flen L1 = 1;
}  // namespace

extern "C" {
#define QOR_FORTRAN_DECLS(T, p)                                                                \
  void p##gemm_(fchar, fchar, const qor_int*, const qor_int*, const qor_int*, const T*,        \
                const T*, const qor_int*, const T*, const qor_int*, const T*, T*,              \
                const qor_int*, flen, flen);                                                   \
  void p##gemv_(fchar, const qor_int*, const qor_int*, const T*, const T*, const qor_int*,     \
                const T*, const qor_int*, const T*, T*, const qor_int*, flen);                 \
  void p##syr_(fchar, const qor_int*, const T*, const T*, const qor_int*, T*, const qor_int*,  \
               flen);                                                                          \
  void p##syrk_(fchar, fchar, const qor_int*, const qor_int*, const T*, const T*,              \
                const qor_int*, const T*, T*, const qor_int*, flen, flen);                     \
  void p##symm_(fchar, fchar, const qor_int*, const qor_int*, const T*, const T*,              \
                const qor_int*, const T*, const qor_int*, const T*, T*, const qor_int*, flen,  \
                flen);                                                                         \
  void p##trmm_(fchar, fchar, fchar, fchar, const qor_int*, const qor_int*, const T*,          \
                const T*, const qor_int*, T*, const qor_int*, flen, flen, flen, flen);         \
  void p##potrf_(fchar, const qor_int*, T*, const qor_int*, qor_int*, flen);                   \
  void p##potri_(fchar, const qor_int*, T*, const qor_int*, qor_int*, flen);                   \
  void p##trtri_(fchar, fchar, const qor_int*, T*, const qor_int*, qor_int*, flen, flen);      \
  void p##syev_(fchar, fchar, const qor_int*, T*, const qor_int*, T*, T*, const qor_int*,      \
                qor_int*, flen, flen);                                                         \
  void p##spevd_(fchar, fchar, const qor_int*, T*, T*, T*, const qor_int*, T*,                 \
                 const qor_int*, qor_int*, const qor_int*, qor_int*, flen, flen);
QOR_FORTRAN_DECLS(double, d)
QOR_FORTRAN_DECLS(float, s)
#undef QOR_FORTRAN_DECLS
}

namespace qor::serv {
namespace {

inline bool is(const char* c, char upper) {
  return c && (*c == upper || *c == static_cast<char>(upper + ('a' - 'A')));
}

// B := alpha * op(A) * B  or  B := alpha * B * op(A), with the triangular A (order k) held in
// packed column storage: upper A(i,j), i <= j, at ap[i + j(j+1)/2]; lower A(i,j), i >= j, at
// ap[i + j(2k-j-1)/2]. Columns of A are contiguous in ap in both layouts, so every loop below
// walks one column of A at a time. Argument errors return without touching B.
template <class T>
void ptrmm(const char* side, const char* uplo, const char* transa, const char* diag,
           const qor_int* pm, const qor_int* pn, const T* palpha, const T* ap, T* b,
           const qor_int* pldb) {
  if (!pm || !pn || !palpha || !pldb) return;
  const bool left = is(side, 'L');
  const bool upper = is(uplo, 'U');
  const bool trans = is(transa, 'T') || is(transa, 'C');
  const bool unit = is(diag, 'U');
  if ((!left && !is(side, 'R')) || (!upper && !is(uplo, 'L')) ||
      (!trans && !is(transa, 'N')) || (!unit && !is(diag, 'N')))
    return;
  const int64_t m = *pm, n = *pn, ldb = *pldb;
  if (m < 0 || n < 0 || ldb < (m > 1 ? m : 1)) return;
  if (m == 0 || n == 0) return;
  if (!b) return;
  const T alpha = *palpha;
  auto col = [&](int64_t j) { return b + j * ldb; };
  if (alpha == T(0)) {
    for (int64_t j = 0; j < n; ++j)
      for (int64_t i = 0; i < m; ++i) col(j)[i] = T(0);
    return;
  }
  if (!ap) return;
  const int64_t k = left ? m : n;
  // start of column j of A in ap, and the index of A(i,j) within that column's run
  auto cstart = [&](int64_t j) { return upper ? j * (j + 1) / 2 : j * (2 * k - j + 1) / 2; };
  // A(i,j) for i in the stored triangle of column j
  auto at = [&](int64_t i, int64_t j) { return upper ? ap[cstart(j) + i] : ap[cstart(j) + i - j]; };

  if (left) {
    for (int64_t j = 0; j < n; ++j) {
      T* x = col(j);
      if (!trans && upper) {  // x := alpha * U x, k ascending (axpy with column k of U)
        for (int64_t c = 0; c < m; ++c) {
          const T t = alpha * x[c];
          const T* a = ap + cstart(c);
          for (int64_t i = 0; i < c; ++i) x[i] += t * a[i];
          x[c] = unit ? t : t * a[c];
        }
      } else if (!trans) {  // x := alpha * L x, k descending
        for (int64_t c = m - 1; c >= 0; --c) {
          const T t = alpha * x[c];
          const T* a = ap + cstart(c) - c;  // a[i] = A(i,c) for i >= c
          x[c] = unit ? t : t * a[c];
          for (int64_t i = c + 1; i < m; ++i) x[i] += t * a[i];
        }
      } else if (upper) {  // x := alpha * U^T x: x[i] = sum_{c<=i} U(c,i) x[c], i descending
        for (int64_t i = m - 1; i >= 0; --i) {
          const T* a = ap + cstart(i);
          T t = unit ? x[i] : x[i] * a[i];
          for (int64_t c = 0; c < i; ++c) t += a[c] * x[c];
          x[i] = alpha * t;
        }
      } else {  // x := alpha * L^T x: x[i] = sum_{c>=i} L(c,i) x[c], i ascending
        for (int64_t i = 0; i < m; ++i) {
          const T* a = ap + cstart(i) - i;
          T t = unit ? x[i] : x[i] * a[i];
          for (int64_t c = i + 1; c < m; ++c) t += a[c] * x[c];
          x[i] = alpha * t;
        }
      }
    }
    return;
  }

  // Right side: column j of the result is sum_c B(:,c) op(A)(c,j); the order of j keeps the
  // columns still needed unmodified.
  auto scale = [&](int64_t j, T s) {
    T* x = col(j);
    for (int64_t i = 0; i < m; ++i) x[i] *= s;
  };
  auto axpy = [&](int64_t dst, int64_t src, T s) {
    T* y = col(dst);
    const T* x = col(src);
    for (int64_t i = 0; i < m; ++i) y[i] += s * x[i];
  };
  if (!trans && upper) {  // op(A)(c,j) = U(c,j), c <= j: j descending
    for (int64_t j = n - 1; j >= 0; --j) {
      scale(j, unit ? alpha : alpha * at(j, j));
      for (int64_t c = 0; c < j; ++c) {
        const T a = at(c, j);
        if (a != T(0)) axpy(j, c, alpha * a);
      }
    }
  } else if (!trans) {  // op(A)(c,j) = L(c,j), c >= j: j ascending
    for (int64_t j = 0; j < n; ++j) {
      scale(j, unit ? alpha : alpha * at(j, j));
      for (int64_t c = j + 1; c < n; ++c) {
        const T a = at(c, j);
        if (a != T(0)) axpy(j, c, alpha * a);
      }
    }
  } else if (upper) {  // op(A)(c,j) = U(j,c), j <= c: spread column c, c ascending
    for (int64_t c = 0; c < n; ++c) {
      for (int64_t j = 0; j < c; ++j) {
        const T a = at(j, c);
        if (a != T(0)) axpy(j, c, alpha * a);
      }
      scale(c, unit ? alpha : alpha * at(c, c));
    }
  } else {  // op(A)(c,j) = L(j,c), j >= c: c descending
    for (int64_t c = n - 1; c >= 0; --c) {
      for (int64_t j = c + 1; j < n; ++j) {
        const T a = at(j, c);
        if (a != T(0)) axpy(j, c, alpha * a);
      }
      scale(c, unit ? alpha : alpha * at(c, c));
    }
  }
}

}  // namespace
}  // namespace qor::serv

#define QOR_BLAS_WRAPPERS(T, p)                                                                \
  extern "C" QOR_API void qor_blas_##p##gemm(const char* transa, const char* transb,           \
      const qor_int* m, const qor_int* n, const qor_int* k, const T* alpha, const T* a,        \
      const qor_int* lda, const T* b, const qor_int* ldb, const T* beta, T* c,                 \
      const qor_int* ldc) {                                                                    \
    p##gemm_(transa, transb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, L1, L1);            \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_x##p##gemm(const char* transa, const char* transb,          \
      const qor_int* m, const qor_int* n, const qor_int* k, const T* alpha, const T* a,        \
      const qor_int* lda, const T* b, const qor_int* ldb, const T* beta, T* c,                 \
      const qor_int* ldc) {                                                                    \
    p##gemm_(transa, transb, m, n, k, alpha, a, lda, b, ldb, beta, c, ldc, L1, L1);            \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_##p##gemv(const char* trans, const qor_int* m,              \
      const qor_int* n, const T* alpha, const T* a, const qor_int* lda, const T* x,            \
      const qor_int* incx, const T* beta, T* y, const qor_int* incy) {                         \
    p##gemv_(trans, m, n, alpha, a, lda, x, incx, beta, y, incy, L1);                          \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_##p##syr(const char* uplo, const qor_int* n, const T* alpha, \
      const T* x, const qor_int* incx, T* a, const qor_int* lda) {                             \
    p##syr_(uplo, n, alpha, x, incx, a, lda, L1);                                              \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_x##p##syr(const char* uplo, const qor_int* n,               \
      const T* alpha, const T* x, const qor_int* incx, T* a, const qor_int* lda) {             \
    p##syr_(uplo, n, alpha, x, incx, a, lda, L1);                                              \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_##p##syrk(const char* uplo, const char* trans,              \
      const qor_int* n, const qor_int* k, const T* alpha, const T* a, const qor_int* lda,      \
      const T* beta, T* c, const qor_int* ldc) {                                               \
    p##syrk_(uplo, trans, n, k, alpha, a, lda, beta, c, ldc, L1, L1);                          \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_x##p##syrk(const char* uplo, const char* trans,             \
      const qor_int* n, const qor_int* k, const T* alpha, const T* a, const qor_int* lda,      \
      const T* beta, T* c, const qor_int* ldc) {                                               \
    p##syrk_(uplo, trans, n, k, alpha, a, lda, beta, c, ldc, L1, L1);                          \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_x##p##symm(const char* side, const char* uplo,              \
      const qor_int* m, const qor_int* n, const T* alpha, const T* a, const qor_int* lda,      \
      const T* b, const qor_int* ldb, const T* beta, T* c, const qor_int* ldc) {               \
    p##symm_(side, uplo, m, n, alpha, a, lda, b, ldb, beta, c, ldc, L1, L1);                   \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_##p##trmm(const char* side, const char* uplo,               \
      const char* transa, const char* diag, const qor_int* m, const qor_int* n,                \
      const T* alpha, const T* a, const qor_int* lda, T* b, const qor_int* ldb) {              \
    p##trmm_(side, uplo, transa, diag, m, n, alpha, a, lda, b, ldb, L1, L1, L1, L1);           \
  }                                                                                            \
  extern "C" QOR_API void qor_blas_x##p##trmm_4fnx(const char* side, const char* uplo,         \
      const char* transa, const char* diag, const qor_int* m, const qor_int* n,                \
      const T* alpha, const T* a, const qor_int* lda, T* b, const qor_int* ldb) {              \
    p##trmm_(side, uplo, transa, diag, m, n, alpha, a, lda, b, ldb, L1, L1, L1, L1);           \
  }                                                                                            \
  extern "C" QOR_API void qor_blas4fnx_##p##trmm(const char* side, const char* uplo,           \
      const char* transa, const char* diag, const qor_int* m, const qor_int* n,                \
      const T* alpha, const T* a, const qor_int* lda, T* b, const qor_int* ldb) {              \
    p##trmm_(side, uplo, transa, diag, m, n, alpha, a, lda, b, ldb, L1, L1, L1, L1);           \
  }                                                                                            \
  extern "C" QOR_API void qor_blas4fnx_##p##ptrmm(const char* side, const char* uplo,          \
      const char* transa, const char* diag, const qor_int* m, const qor_int* n,                \
      const T* alpha, const T* ap, T* b, const qor_int* ldb) {                                 \
    qor::serv::ptrmm<T>(side, uplo, transa, diag, m, n, alpha, ap, b, ldb);                    \
  }                                                                                            \
  extern "C" QOR_API void qor_lapack_##p##potrf(const char* uplo, const qor_int* n, T* a,      \
      const qor_int* lda, qor_int* info) {                                                     \
    p##potrf_(uplo, n, a, lda, info, L1);                                                      \
  }                                                                                            \
  extern "C" QOR_API void qor_lapack_##p##potri(const char* uplo, const qor_int* n, T* a,      \
      const qor_int* lda, qor_int* info) {                                                     \
    p##potri_(uplo, n, a, lda, info, L1);                                                      \
  }                                                                                            \
  extern "C" QOR_API void qor_lapack_##p##trtri(const char* uplo, const char* diag,            \
      const qor_int* n, T* a, const qor_int* lda, qor_int* info) {                             \
    p##trtri_(uplo, diag, n, a, lda, info, L1, L1);                                            \
  }                                                                                            \
  extern "C" QOR_API void qor_lapack_##p##syev(const char* jobz, const char* uplo,             \
      const qor_int* n, T* a, const qor_int* lda, T* w, T* work, const qor_int* lwork,         \
      qor_int* info) {                                                                         \
    p##syev_(jobz, uplo, n, a, lda, w, work, lwork, info, L1, L1);                             \
  }                                                                                            \
  extern "C" QOR_API void qor_lapack_##p##spevd(const char* jobz, const char* uplo,            \
      const qor_int* n, T* ap, T* w, T* z, const qor_int* ldz, T* work, const qor_int* lwork,  \
      qor_int* iwork, const qor_int* liwork, qor_int* info) {                                  \
    p##spevd_(jobz, uplo, n, ap, w, z, ldz, work, lwork, iwork, liwork, info, L1, L1);         \
  }

QOR_BLAS_WRAPPERS(double, d)
QOR_BLAS_WRAPPERS(float, s)
#undef QOR_BLAS_WRAPPERS
