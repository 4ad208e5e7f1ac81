/* Scalar and matrix helpers shared by the statistics methods: square root, selection and
 * quicksort of vectors, the chi-square density, distribution function and quantile, ln Gamma,
 * a rank test that repairs a covariance matrix with a non-positive eigenvalue, and the inverse
 * of a symmetric positive-definite matrix. They hold no state.
 *
 * Matrices are p x p in full storage with leading dimension p. The rank test leaves the
 * diagonal and the upper triangle (a[i*p + j], j >= i) meaningful and may overwrite the rest;
 * the inverse reads and writes only the upper triangle. */
#ifndef QOR_STATS_HELPERS_H
#define QOR_STATS_HELPERS_H

#include "qor/qor_api.h"

/* Statuses (the statistics methods pass them up unchanged). */
#ifndef HOX_SS_ERR_NO_MEMORY
#define HOX_SS_ERR_NO_MEMORY                (-4000) /* scratch allocation failed */
#endif
#ifndef HOX_SS_ERR_BAD_DIMENSION
#define HOX_SS_ERR_BAD_DIMENSION            (-4001) /* p < 1 or a null matrix */
#endif
#ifndef HOX_SS_ERR_COV_NOT_PSD
#define HOX_SS_ERR_COV_NOT_PSD              (-4033) /* not positive semi-definite */
#endif
#ifndef HOX_SS_ERR_EIGEN_FAILED
#define HOX_SS_ERR_EIGEN_FAILED             (-5040)
#endif
#ifndef HOX_SS_ERR_CHOLESKY_FAILED
#define HOX_SS_ERR_CHOLESKY_FAILED          (-5041)
#endif
#ifndef HOX_SS_ERR_INVERSE_FAILED
#define HOX_SS_ERR_INVERSE_FAILED           (-5042)
#endif

QOR_EXTERN_C_BEGIN

/* The square root by the processor's square-root instruction. */
QOR_API double __hoxdSqrt(double x);

/* Rearranges a[0..n-1] so that a[k] holds the k-th smallest value (0-based), nothing before it
 * is greater and nothing after it smaller; returns a[k]. NaN (and no change) when a is null,
 * n < 1 or k is outside 0..n-1. */
QOR_API double __hoxdQSortSelect(int32_t n, double* a, int32_t k);
QOR_API float __hoxsQSortSelect(int32_t n, float* a, int32_t k);
/* Ascending in-place quicksort; returns 0 (also for n < 2 or a null array, doing nothing). */
QOR_API int32_t __hoxdQSort(int32_t n, double* a);
QOR_API int32_t __hoxsQSort(int32_t n, float* a);
/* The same on a[0], a[stride], ..., a[(n-1)*stride] (stride in elements, at least 1). */
QOR_API int32_t __hoxdQSortStep(int32_t n, double* a, int32_t stride);
QOR_API int32_t __hoxsQSortStep(int32_t n, float* a, int32_t stride);

/* Chi-square with df degrees of freedom: density at x (0 for x <= 0), distribution function
 * at x (0 for x <= 0 or df <= 0), and the quantile of probability p (0 for p <= 0, +inf for
 * p >= 1). NaN inputs, and df <= 0 where no rule above applies, give NaN. */
QOR_API double __hoxdChi2PDF(double df, double x);
QOR_API double __hoxdChi2CDF(double df, double x);
QOR_API double __hoxdChi2ICDF(double df, double p);
/* ln Gamma(x) for x > 0 (+inf at +inf; NaN for x <= 0 or NaN). */
QOR_API double __hoxdLGamma(double x);

/* Rank test: 0, possibly after adding 1% of the smallest usable eigenvalue to the diagonal;
 * or HOX_SS_ERR_COV_NOT_PSD, HOX_SS_ERR_EIGEN_FAILED, HOX_SS_ERR_NO_MEMORY,
 * HOX_SS_ERR_BAD_DIMENSION. */
QOR_API int32_t __hoxdTestCovRank(int32_t p, double* matrix);
QOR_API int32_t __hoxsTestCovRank(int32_t p, float* matrix);
/* Replaces the upper triangle by that of the inverse; 0, or HOX_SS_ERR_CHOLESKY_FAILED,
 * HOX_SS_ERR_INVERSE_FAILED, HOX_SS_ERR_BAD_DIMENSION. The matrix stays the caller's. */
QOR_API int32_t __hoxdInvCov(int32_t p, double* matrix);
QOR_API int32_t __hoxsInvCov(int32_t p, float* matrix);

QOR_EXTERN_C_END

#endif
