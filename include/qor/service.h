/* Services the library relies on: memory, environment, messages, dense linear algebra,
 * tridiagonal solvers and the threading table that statistics and data-fitting calls take. */
#ifndef QOR_SERVICE_H
#define QOR_SERVICE_H

#include "qor/qor_api.h"

QOR_EXTERN_C_BEGIN

/* ---- memory, environment, messages ---------------------------------------------------- */

/* Returns a block of at least `size` bytes aligned to `alignment` (a power of two; the library
 * always asks for 128), or null when memory is exhausted. */
QOR_API void* qor_serv_allocate(size_t size, int32_t alignment);
/* Releases a block from qor_serv_allocate; null is accepted and ignored. */
QOR_API void qor_serv_deallocate(void* block);
/* Terminates the process with the given status; does not return. */
QOR_API void qor_serv_exit(int32_t status);
/* Copies the value of environment variable `name` into `buffer` (NUL-terminated, truncated to
 * `length` - 1 characters) and returns its length; returns 0 when the variable is not set. */
QOR_API int32_t qor_serv_getenv(const char* name, char* buffer, int32_t length);
/* Copies `count` bytes; returns 0, or -1 (copying nothing) when a pointer is null or
 * `count` exceeds `dest_size`. */
QOR_API int32_t qor_serv_memcpy_s(void* dest, size_t dest_size, const void* src, size_t count);
/* Prints catalogue message `number` (735..753) to stderr. `selector` must be 1; `nargs` is the
 * number of message arguments that follow (see the catalogue in the documentation). Returns
 * the number of characters written, or -1 for an unknown message or selector. */
QOR_API int32_t qor_serv_print(int32_t selector, int32_t number, int32_t nargs, ...);

/* ---- threading ------------------------------------------------------------------------- */

/* A work function reports failure by storing a negative status in its context. */
typedef void (*qor_loop_body)(int32_t item, int32_t thread, void* arg, void* context);
typedef void (*qor_run_body)(int32_t thread, void* unused, int32_t nthreads, void* context);

typedef struct ThreadingServices {
  /* slot 0: run body(item, thread, null, context) for item = 0 .. count-1 on up to nthreads */
  void (*parallel_for)(int32_t count, int32_t nthreads, void* context, qor_loop_body body);
  void* reserved1;
  /* slot 2: run body(thread, null, nthreads, context) once for each thread 0 .. nthreads-1 */
  void (*parallel_run)(int32_t nthreads, void* context, qor_run_body body);
  void* reserved3;
  /* slot 4: the largest number of threads the caller allows */
  int32_t (*max_threads)(void);
} ThreadingServices;

/* Default tables for programs that call the library directly: one over OpenMP (thread
 * budget = omp_get_max_threads()), one that runs everything on the calling thread. */
QOR_API const ThreadingServices* qor_threading_openmp(void);
QOR_API const ThreadingServices* qor_threading_sequential(void);

/* ---- dense linear algebra (reference BLAS/LAPACK argument lists, all by address) ------- */

typedef int32_t qor_int;

#define QOR_BLAS_DECLS(T, p)                                                                      \
  QOR_API void qor_blas_##p##gemm(const char* transa, const char* transb, const qor_int* m,       \
      const qor_int* n, const qor_int* k, const T* alpha, const T* a, const qor_int* lda,         \
      const T* b, const qor_int* ldb, const T* beta, T* c, const qor_int* ldc);                   \
  QOR_API void qor_blas_##p##gemv(const char* trans, const qor_int* m, const qor_int* n,          \
      const T* alpha, const T* a, const qor_int* lda, const T* x, const qor_int* incx,            \
      const T* beta, T* y, const qor_int* incy);                                                  \
  QOR_API void qor_blas_##p##syr(const char* uplo, const qor_int* n, const T* alpha, const T* x,  \
      const qor_int* incx, T* a, const qor_int* lda);                                             \
  QOR_API void qor_blas_##p##syrk(const char* uplo, const char* trans, const qor_int* n,          \
      const qor_int* k, const T* alpha, const T* a, const qor_int* lda, const T* beta, T* c,      \
      const qor_int* ldc);                                                                        \
  QOR_API void qor_blas_##p##trmm(const char* side, const char* uplo, const char* transa,         \
      const char* diag, const qor_int* m, const qor_int* n, const T* alpha, const T* a,           \
      const qor_int* lda, T* b, const qor_int* ldb);                                              \
  QOR_API void qor_lapack_##p##potrf(const char* uplo, const qor_int* n, T* a,                    \
      const qor_int* lda, qor_int* info);                                                         \
  QOR_API void qor_lapack_##p##potri(const char* uplo, const qor_int* n, T* a,                    \
      const qor_int* lda, qor_int* info);                                                         \
  QOR_API void qor_lapack_##p##trtri(const char* uplo, const char* diag, const qor_int* n, T* a,  \
      const qor_int* lda, qor_int* info);                                                         \
  QOR_API void qor_lapack_##p##syev(const char* jobz, const char* uplo, const qor_int* n, T* a,   \
      const qor_int* lda, T* w, T* work, const qor_int* lwork, qor_int* info);                    \
  QOR_API void qor_lapack_##p##spevd(const char* jobz, const char* uplo, const qor_int* n, T* ap, \
      T* w, T* z, const qor_int* ldz, T* work, const qor_int* lwork, qor_int* iwork,              \
      const qor_int* liwork, qor_int* info);                                                      \
  QOR_API void qor_blas_x##p##gemm(const char* transa, const char* transb, const qor_int* m,      \
      const qor_int* n, const qor_int* k, const T* alpha, const T* a, const qor_int* lda,         \
      const T* b, const qor_int* ldb, const T* beta, T* c, const qor_int* ldc);                   \
  QOR_API void qor_blas_x##p##symm(const char* side, const char* uplo, const qor_int* m,          \
      const qor_int* n, const T* alpha, const T* a, const qor_int* lda, const T* b,               \
      const qor_int* ldb, const T* beta, T* c, const qor_int* ldc);                               \
  QOR_API void qor_blas_x##p##syr(const char* uplo, const qor_int* n, const T* alpha, const T* x, \
      const qor_int* incx, T* a, const qor_int* lda);                                             \
  QOR_API void qor_blas_x##p##syrk(const char* uplo, const char* trans, const qor_int* n,         \
      const qor_int* k, const T* alpha, const T* a, const qor_int* lda, const T* beta, T* c,      \
      const qor_int* ldc);                                                                        \
  QOR_API void qor_blas_x##p##trmm_4fnx(const char* side, const char* uplo, const char* transa,   \
      const char* diag, const qor_int* m, const qor_int* n, const T* alpha, const T* a,           \
      const qor_int* lda, T* b, const qor_int* ldb);                                              \
  QOR_API void qor_blas4fnx_##p##trmm(const char* side, const char* uplo, const char* transa,     \
      const char* diag, const qor_int* m, const qor_int* n, const T* alpha, const T* a,           \
      const qor_int* lda, T* b, const qor_int* ldb);                                              \
  /* dtrmm with the triangular factor in packed storage (column-packed, as dtpmv) */             \
  QOR_API void qor_blas4fnx_##p##ptrmm(const char* side, const char* uplo, const char* transa,    \
      const char* diag, const qor_int* m, const qor_int* n, const T* alpha, const T* ap, T* b,    \
      const qor_int* ldb);                                                                        \
  /* tridiagonal solvers without pivoting; info = i > 0 when the i-th pivot is zero */           \
  QOR_API void p##dttrfb_4dfl(const qor_int* n, T* dl, T* d, T* du, qor_int* info);               \
  QOR_API void p##dttrsb_4dfl(const char* trans, const qor_int* n, const qor_int* nrhs,           \
      const T* dl, const T* d, const T* du, T* b, const qor_int* ldb, qor_int* info);             \
  QOR_API void p##dtsvb_4dfl(const qor_int* n, const qor_int* nrhs, T* dl, T* d, T* du, T* b,     \
      const qor_int* ldb, qor_int* info);

QOR_BLAS_DECLS(double, d)
QOR_BLAS_DECLS(float, s)
#undef QOR_BLAS_DECLS

QOR_EXTERN_C_END

#endif
