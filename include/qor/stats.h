/* Summary statistics: tasks, their parameter editors and the moments/sums/covariance method.
 *
 * A task holds the addresses of the caller's dimension, observation count, observation matrix,
 * weights, variable selection and output arrays; it never copies the data behind them, so a
 * caller may change the observations (or the count) between two compute calls and run the task
 * again. Integers read through a task's addresses are 32-bit, or 64-bit when the task was
 * created with a non-null integer-width indicator. */
#ifndef QOR_STATS_H
#define QOR_STATS_H

#include "qor/qor_api.h"
#include "qor/service.h"

QOR_EXTERN_C_BEGIN

typedef struct HoxSSTask HoxSSTask;

/* ---- storage codes ----------------------------------------------------------------------- */
#define HOX_SS_STORAGE_ROWS     0x10000 /* variable i, observation j at i*n + j */
#define HOX_SS_STORAGE_COLUMNS  0x20000 /* variable i, observation j at j*p + i */
#define HOX_SS_MATRIX_FULL      0       /* all p*p entries */
#define HOX_SS_MATRIX_PACKED_1  1       /* lower triangle row by row: row i holds columns 0..i */
#define HOX_SS_MATRIX_PACKED_2  2       /* upper triangle row by row: row i holds columns i..p-1 */

/* ---- estimate bits (64-bit mask) --------------------------------------------------------- */
#define HOX_SS_EST_MEAN            0x1ULL
#define HOX_SS_EST_RAW2            0x2ULL
#define HOX_SS_EST_RAW3            0x4ULL
#define HOX_SS_EST_RAW4            0x8ULL
#define HOX_SS_EST_CEN2            0x10ULL
#define HOX_SS_EST_CEN3            0x20ULL
#define HOX_SS_EST_CEN4            0x40ULL
#define HOX_SS_EST_KURTOSIS        0x80ULL
#define HOX_SS_EST_SKEWNESS        0x100ULL
#define HOX_SS_EST_VARIATION       0x200ULL
#define HOX_SS_EST_MIN             0x400ULL
#define HOX_SS_EST_MAX             0x800ULL
#define HOX_SS_EST_COV             0x1000ULL
#define HOX_SS_EST_COR             0x2000ULL
#define HOX_SS_EST_POOLED_COV      0x4000ULL
#define HOX_SS_EST_GROUP_COV       0x8000ULL
#define HOX_SS_EST_QUANTILES       0x10000ULL
#define HOX_SS_EST_ORDER_STATS     0x20000ULL
#define HOX_SS_EST_PARTIAL_COV     0x100000ULL
#define HOX_SS_EST_PARTIAL_COR     0x200000ULL
#define HOX_SS_EST_SUM             0x2000000ULL
#define HOX_SS_EST_RAW2_SUM        0x4000000ULL
#define HOX_SS_EST_RAW3_SUM        0x8000000ULL
#define HOX_SS_EST_RAW4_SUM        0x10000000ULL
#define HOX_SS_EST_CEN2_SUM        0x20000000ULL
#define HOX_SS_EST_CEN3_SUM        0x40000000ULL
#define HOX_SS_EST_CEN4_SUM        0x80000000ULL
#define HOX_SS_EST_CROSS_PRODUCT   0x100000000ULL
#define HOX_SS_EST_MEDIAN_ABS_DEV  0x200000000ULL
#define HOX_SS_EST_MEAN_ABS_DEV    0x400000000ULL
#define HOX_SS_EST_POOLED_MEAN     0x800000000ULL
#define HOX_SS_EST_GROUP_MEAN      0x1000000000ULL

/* ---- method bits (64-bit mask; only the low word is read) -------------------------------- */
#define HOX_SS_METHOD_FAST                  0x1ULL
#define HOX_SS_METHOD_ONE_PASS              0x2ULL
#define HOX_SS_METHOD_PARAMETRIZE           0x4ULL
#define HOX_SS_METHOD_TBS                   0x8ULL
#define HOX_SS_METHOD_MULTIPLE_IMPUTATION   0x10ULL
#define HOX_SS_METHOD_BACON                 0x20ULL
#define HOX_SS_METHOD_STREAM_QUANTILES      0x40ULL
#define HOX_SS_METHOD_STREAM_QUANTILES_ALT  0x80ULL
#define HOX_SS_METHOD_GIVEN_MEAN            0x100ULL
#define HOX_SS_METHOD_FROM_CROSS_PRODUCT    0x200ULL
#define HOX_SS_METHOD_FROM_SUMS             0x400ULL
#define HOX_SS_METHOD_RADIX_SORT            0x100000ULL

/* ---- parameter identifiers of the editors ------------------------------------------------ */
#define HOX_SS_ED_DIMEN              1
#define HOX_SS_ED_OBSERV_N           2
#define HOX_SS_ED_OBSERV             3
#define HOX_SS_ED_OBSERV_STORAGE     4
#define HOX_SS_ED_INDC               5
#define HOX_SS_ED_WEIGHTS            6
#define HOX_SS_ED_MEAN               7
#define HOX_SS_ED_2R_MOM             8
#define HOX_SS_ED_3R_MOM             9
#define HOX_SS_ED_4R_MOM             10
#define HOX_SS_ED_2C_MOM             11
#define HOX_SS_ED_3C_MOM             12
#define HOX_SS_ED_4C_MOM             13
#define HOX_SS_ED_KURTOSIS           14
#define HOX_SS_ED_SKEWNESS           15
#define HOX_SS_ED_MIN                16
#define HOX_SS_ED_MAX                17
#define HOX_SS_ED_VARIATION          18
#define HOX_SS_ED_COV                19
#define HOX_SS_ED_COV_STORAGE        20
#define HOX_SS_ED_COR                21
#define HOX_SS_ED_COR_STORAGE        22
#define HOX_SS_ED_ACCUM_WEIGHT       23
#define HOX_SS_ED_QUANT_ORDER_N      24
#define HOX_SS_ED_QUANT_ORDER        25
#define HOX_SS_ED_QUANT_QUANTILES    26
#define HOX_SS_ED_ORDER_STATS        27
#define HOX_SS_ED_GROUP_INDC         28
#define HOX_SS_ED_POOLED_COV_STORAGE 29
#define HOX_SS_ED_POOLED_MEAN        30
#define HOX_SS_ED_POOLED_COV         31
#define HOX_SS_ED_GROUP_COV_INDC     32
#define HOX_SS_ED_GROUP_MEAN         33
#define HOX_SS_ED_GROUP_COV_STORAGE  34
#define HOX_SS_ED_GROUP_COV          35
#define HOX_SS_ED_ROBUST_COV_STORAGE 36
#define HOX_SS_ED_ROBUST_COV_PARAMS_N 37
#define HOX_SS_ED_ROBUST_COV_PARAMS  38
#define HOX_SS_ED_ROBUST_MEAN        39
#define HOX_SS_ED_ROBUST_COV         40
#define HOX_SS_ED_OUTLIERS_PARAMS_N  41
#define HOX_SS_ED_OUTLIERS_PARAMS    42
#define HOX_SS_ED_OUTLIERS_WEIGHT    43
#define HOX_SS_ED_ORDER_STATS_STORAGE 44
#define HOX_SS_ED_PARTIAL_COV_IDX    45
#define HOX_SS_ED_PARTIAL_COV        46
#define HOX_SS_ED_PARTIAL_COV_STORAGE 47
#define HOX_SS_ED_PARTIAL_COR        48
#define HOX_SS_ED_PARTIAL_COR_STORAGE 49
#define HOX_SS_ED_MI_PARAMS_N        50
#define HOX_SS_ED_MI_PARAMS          51
#define HOX_SS_ED_MI_INIT_ESTIMATES_N 52
#define HOX_SS_ED_MI_INIT_ESTIMATES  53
#define HOX_SS_ED_MI_SIMUL_VALS_N    54
#define HOX_SS_ED_MI_SIMUL_VALS      55
#define HOX_SS_ED_MI_ESTIMATES_N     56
#define HOX_SS_ED_MI_ESTIMATES       57
#define HOX_SS_ED_MI_PRIOR_N         58
#define HOX_SS_ED_MI_PRIOR           59
#define HOX_SS_ED_PARAMTR_COR        60
#define HOX_SS_ED_PARAMTR_COR_STORAGE 61
#define HOX_SS_ED_STREAM_QUANT_PARAMS_N 62
#define HOX_SS_ED_STREAM_QUANT_PARAMS 63
#define HOX_SS_ED_STREAM_QUANT_ORDER_N 64
#define HOX_SS_ED_STREAM_QUANT_ORDER 65
#define HOX_SS_ED_STREAM_QUANT_QUANTILES 66
#define HOX_SS_ED_SUM                67
#define HOX_SS_ED_2R_SUM             68
#define HOX_SS_ED_3R_SUM             69
#define HOX_SS_ED_4R_SUM             70
#define HOX_SS_ED_2C_SUM             71
#define HOX_SS_ED_3C_SUM             72
#define HOX_SS_ED_4C_SUM             73
#define HOX_SS_ED_CP                 74
#define HOX_SS_ED_CP_STORAGE         75
#define HOX_SS_ED_MDAD               76
#define HOX_SS_ED_MNAD               77
#define HOX_SS_ED_SORTED_OBSERV      78
#define HOX_SS_ED_SORTED_OBSERV_STORAGE 79

/* ---- status codes ------------------------------------------------------------------------ */
#define HOX_SS_OK                            0
#define HOX_ERR_BAD_ARGUMENT                (-3)
#define HOX_SS_ERR_NO_MEMORY                (-4000)
#define HOX_SS_ERR_BAD_DIMENSION            (-4001)
#define HOX_SS_ERR_BAD_OBSERV_COUNT         (-4002)
#define HOX_SS_ERR_BAD_STORAGE              (-4003)
#define HOX_SS_ERR_BAD_INDICES              (-4004)
#define HOX_SS_ERR_NULL_WEIGHTS             (-4005)
#define HOX_SS_ERR_NULL_MEAN                (-4006)
#define HOX_SS_ERR_NULL_RAW2                (-4007)
#define HOX_SS_ERR_NULL_RAW3                (-4008)
#define HOX_SS_ERR_NULL_RAW4                (-4009)
#define HOX_SS_ERR_NULL_CEN2                (-4010)
#define HOX_SS_ERR_NULL_CEN3                (-4011)
#define HOX_SS_ERR_NULL_CEN4                (-4012)
#define HOX_SS_ERR_NULL_KURTOSIS            (-4013)
#define HOX_SS_ERR_NULL_SKEWNESS            (-4014)
#define HOX_SS_ERR_NULL_MIN                 (-4015)
#define HOX_SS_ERR_NULL_MAX                 (-4016)
#define HOX_SS_ERR_NULL_VARIATION           (-4017)
#define HOX_SS_ERR_NULL_COV                 (-4018)
#define HOX_SS_ERR_NULL_COR                 (-4019)
#define HOX_SS_ERR_NULL_ACCUM_WEIGHT        (-4020)
#define HOX_SS_ERR_NULL_QUANT_ORDER         (-4021)
#define HOX_SS_ERR_BAD_QUANT_ORDER_N        (-4022)
#define HOX_SS_ERR_NULL_QUANTILES           (-4023)
#define HOX_SS_ERR_NULL_ORDER_STATS         (-4024)
#define HOX_SS_ERR_ROBUST_FAILED            (-4026)
#define HOX_SS_ERR_NULL_ROBUST_COV          (-4027)
#define HOX_SS_ERR_NULL_ROBUST_MEAN         (-4028)
#define HOX_SS_ERR_BAD_METHOD               (-4029)
#define HOX_SS_ERR_NULL_GROUPS              (-4030)
#define HOX_SS_ERR_NULL_TASK                (-4031)
#define HOX_SS_ERR_NULL_OBSERV              (-4032)
#define HOX_SS_ERR_COV_NOT_PSD              (-4033)
#define HOX_SS_ERR_NULL_POOLED_COV          (-4034)
#define HOX_SS_ERR_NULL_POOLED_MEAN         (-4035)
#define HOX_SS_ERR_NULL_GROUP_COV           (-4036)
#define HOX_SS_ERR_NULL_GROUP_MEAN          (-4037)
#define HOX_SS_ERR_BAD_GROUP_INDC           (-4038)
#define HOX_SS_ERR_NULL_OUTLIERS_PARAMS     (-4039)
#define HOX_SS_ERR_BAD_OUTLIERS_PARAMS_N    (-4040)
#define HOX_SS_ERR_NULL_OUTLIERS_WEIGHT     (-4041)
#define HOX_SS_ERR_NULL_ROBUST_COV_PARAMS   (-4042)
#define HOX_SS_ERR_BAD_ROBUST_COV_PARAMS_N  (-4043)
#define HOX_SS_ERR_NULL_STORAGE             (-4044)
#define HOX_SS_ERR_NULL_PARTIAL_COV_IDX     (-4045)
#define HOX_SS_ERR_NULL_PARTIAL_COV         (-4046)
#define HOX_SS_ERR_NULL_PARTIAL_COR         (-4047)
#define HOX_SS_ERR_NULL_MI_PARAMS           (-4048)
#define HOX_SS_ERR_BAD_MI_PARAMS_N          (-4049)
/* -4050 to -4063: missing-value method (parameter values, estimates, priors) */
#define HOX_SS_ERR_BAD_MI_INIT_ESTIMATES_N  (-4052)
#define HOX_SS_ERR_NULL_MI_INIT_ESTIMATES   (-4053)
#define HOX_SS_ERR_NULL_MI_SIMUL_VALS       (-4054)
#define HOX_SS_ERR_BAD_MI_SIMUL_VALS_N      (-4055)
#define HOX_SS_ERR_BAD_MI_ESTIMATES_N       (-4056)
#define HOX_SS_ERR_NULL_MI_ESTIMATES        (-4057)
#define HOX_SS_ERR_BAD_MI_PRIOR_N           (-4061)
#define HOX_SS_ERR_NULL_MI_PRIOR            (-4062)
#define HOX_SS_ERR_NULL_STREAM_QUANT_PARAMS_ALT (-4064)
#define HOX_SS_ERR_NULL_STREAM_QUANT_PARAMS (-4065)
#define HOX_SS_ERR_BAD_STREAM_QUANT_PARAMS_N (-4066)
#define HOX_SS_ERR_BAD_STREAM_QUANT_EPS     (-4067)
#define HOX_SS_ERR_BAD_STREAM_QUANT_ORDER   (-4068)
#define HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N (-4069)
#define HOX_SS_ERR_NULL_STREAM_QUANTILES    (-4070)
#define HOX_SS_ERR_NULL_PARAMTR_COR         (-4071)
#define HOX_SS_ERR_PARAMTR_FLOORED_ALL      (-4072)
#define HOX_SS_ERR_BAD_ROLES                (-4073)
#define HOX_SS_ERR_NULL_SUM                 (-4074)
#define HOX_SS_ERR_NULL_RAW2_SUM            (-4075)
#define HOX_SS_ERR_NULL_RAW3_SUM            (-4076)
#define HOX_SS_ERR_NULL_RAW4_SUM            (-4077)
#define HOX_SS_ERR_NULL_CEN2_SUM            (-4078)
#define HOX_SS_ERR_NULL_CEN3_SUM            (-4079)
#define HOX_SS_ERR_NULL_CEN4_SUM            (-4080)
#define HOX_SS_ERR_NULL_CP                  (-4081)
#define HOX_SS_ERR_NULL_MDAD                (-4082)
#define HOX_SS_ERR_NULL_MNAD                (-4083)
#define HOX_SS_ERR_NULL_SORTED_OBSERV       (-4084)
#define HOX_SS_ERR_SORT_IN_PLACE_WITH_INDC  (-4085)
/* the eigen-decomposition of the correlation parametrization failed */
#define HOX_SS_ERR_PARAMTR_EIGEN_FAILED     (-5030)
/* statuses passed up from the linear-algebra helpers */
#define HOX_SS_ERR_EIGEN_FAILED             (-5040)
#define HOX_SS_ERR_CHOLESKY_FAILED          (-5041)
#define HOX_SS_ERR_INVERSE_FAILED           (-5042)

/* ---- task creation and release ----------------------------------------------------------- */

/* Creates a task. p, n and xstorage are addresses of integers (32-bit, or 64-bit when wide_int
 * is non-null); x, weights and indices may be null. Checks: p (-4001); when x is non-null the
 * storage address (-4044), its value ROWS or COLUMNS (-4003) and n (-4002); memory (-4000, and
 * *task is set to null). */
QOR_API int32_t __hoxdSSNewTask(HoxSSTask** task, const void* p, const void* n,
                                const void* xstorage, const double* x, const double* weights,
                                const void* indices, const void* wide_int);
QOR_API int32_t __hoxsSSNewTask(HoxSSTask** task, const void* p, const void* n,
                                const void* xstorage, const float* x, const float* weights,
                                const void* indices, const void* wide_int);

/* Releases the task behind *task (and what compute calls kept in it) and sets *task to null.
 * A null task address (or a null task) returns -4031. */
QOR_API int32_t __hoxSSDeleteTask(HoxSSTask** task);

/* ---- generic editors --------------------------------------------------------------------- */
/* Store `address` in the field of parameter `id`. Null task: -4031; id not accepted by the
 * editor (real editors 3..78 of the real kind, integer editor 1..79 of the integer kind): -3;
 * null address: the parameter's own status (the field keeps its value). */
QOR_API int32_t __hoxdSSEditTask(HoxSSTask* task, int64_t id, const double* address);
QOR_API int32_t __hoxsSSEditTask(HoxSSTask* task, int64_t id, const float* address);
QOR_API int32_t __hoxiSSEditTask(HoxSSTask* task, int64_t id, const void* address);

/* ---- convenience editors: store every non-null address; null ones leave the field alone --- */
#define QOR_SS_CONVENIENCE_EDITORS(T, t)                                                          \
  QOR_API int32_t __hox##t##SSEditMoments(HoxSSTask* task, T* mean, T* raw2,         \
      T* raw3, T* raw4, T* cen2, T* cen3, T* cen4);                 \
  QOR_API int32_t __hox##t##SSEditSums(HoxSSTask* task, T* sum, T* raw2_sum,         \
      T* raw3_sum, T* raw4_sum, T* cen2_sum, T* cen3_sum,                 \
      T* cen4_sum);                                                                         \
  QOR_API int32_t __hox##t##SSEditCovCor(HoxSSTask* task, T* mean, T* cov,           \
      const void* cov_storage, T* cor, const void* cor_storage);                            \
  QOR_API int32_t __hox##t##SSEditCP(HoxSSTask* task, T* mean, T* sum, T* cp,  \
      const void* cp_storage);                                                                    \
  QOR_API int32_t __hox##t##SSEditPartialCovCor(HoxSSTask* task, const void* roles,              \
      T* cov, const void* cov_storage, T* cor, const void* cor_storage,               \
      T* partial_cov, const void* partial_cov_storage, T* partial_cor,                \
      const void* partial_cor_storage);                                                           \
  QOR_API int32_t __hox##t##SSEditQuantiles(HoxSSTask* task, const void* order_n,                \
      T* orders, T* quantiles, T* order_stats, const void* order_stats_storage); \
  QOR_API int32_t __hox##t##SSEditStreamQuantiles(HoxSSTask* task, const void* order_n,          \
      T* orders, T* quantiles, const void* params_n, T* params);                \
  QOR_API int32_t __hox##t##SSEditPooledCovariance(HoxSSTask* task, const void* groups,          \
      T* pooled_mean, T* pooled_cov, const void* group_selection,                     \
      T* group_means, T* group_covs);                                                 \
  QOR_API int32_t __hox##t##SSEditMissingVals(HoxSSTask* task, const void* params_n,             \
      T* params, const void* init_estimates_n, T* init_estimates,                     \
      const void* prior_n, T* prior, const void* simul_vals_n, T* simul_vals,         \
      const void* estimates_n, T* estimates);                                               \
  QOR_API int32_t __hox##t##SSEditOutDetect(HoxSSTask* task, const void* params_n,               \
      T* params, T* weights);                                                         \
  QOR_API int32_t __hox##t##SSEditRCov(HoxSSTask* task, const void* rcov_storage,                \
      const void* params_n, T* params, T* robust_mean, T* robust_cov);          \
  QOR_API int32_t __hox##t##SSEditMtxParametrz(HoxSSTask* task, T* cor,                    \
      const void* cor_storage, T* param_cor, const void* param_cor_storage);
QOR_SS_CONVENIENCE_EDITORS(double, d)
QOR_SS_CONVENIENCE_EDITORS(float, s)
#undef QOR_SS_CONVENIENCE_EDITORS

/* ---- moments, sums, covariance, correlation ---------------------------------------------- */
/* Computes the estimates named in `estimates` for the selected variables with the method in
 * `method` (one of FAST, ONE_PASS, GIVEN_MEAN; or FROM_SUMS / FROM_CROSS_PRODUCT to convert
 * sums already in the task). With the accumulated-weights array set, a call continues from the
 * estimates the task's arrays hold when its first entry (W) is non-zero. Parallel work runs
 * through `threading` (null: on the calling thread). Returns 0 or a negative status; on failure
 * no output array is written. */
QOR_API int32_t _hoxdSSBasic(HoxSSTask* task, uint64_t estimates, uint64_t method,
                             const ThreadingServices* threading);
QOR_API int32_t _hoxsSSBasic(HoxSSTask* task, uint64_t estimates, uint64_t method,
                             const ThreadingServices* threading);

/* ---- order statistics -------------------------------------------------------------------- */
/* Quantiles (linear interpolation between order statistics: h = q (n-1)) and order statistics
 * (the sorted observations in the order-statistics storage) of the selected variables. */
QOR_API int32_t _hoxdSSQuantiles(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                 const ThreadingServices* threading);
QOR_API int32_t _hoxsSSQuantiles(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                 const ThreadingServices* threading);
/* Epsilon-approximate quantiles over data arriving block by block: each call adds the n
 * observations behind the task to per-variable summaries kept in the task (released with it)
 * and writes the quantiles of all observations seen so far, with rank error at most eps N. */
QOR_API int32_t _hoxdSSStreamQuantiles(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                       const ThreadingServices* threading);
QOR_API int32_t _hoxsSSStreamQuantiles(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                       const ThreadingServices* threading);
/* Sorted observations of the selected variables (or of all, in place). */
QOR_API int32_t _hoxdSSSort(HoxSSTask* task, uint64_t estimates, uint64_t method,
                            const ThreadingServices* threading);
QOR_API int32_t _hoxsSSSort(HoxSSTask* task, uint64_t estimates, uint64_t method,
                            const ThreadingServices* threading);
/* Median absolute deviation (about the median) and mean absolute deviation (about the
 * weighted mean, or the caller's mean with GIVEN_MEAN). */
QOR_API int32_t _hoxdSSMAD(HoxSSTask* task, uint64_t estimates, uint64_t method,
                           const ThreadingServices* threading);
QOR_API int32_t _hoxsSSMAD(HoxSSTask* task, uint64_t estimates, uint64_t method,
                           const ThreadingServices* threading);
/* Weighted median (of the task's first quantile order) of every variable, into the quantile
 * array. */
QOR_API int32_t _hoxdSSWMedian(HoxSSTask* task);
QOR_API int32_t _hoxsSSWMedian(HoxSSTask* task);
/* Minimum and maximum, continuing from what the minimum and maximum arrays hold. */
QOR_API int32_t _hoxdSSMinmax(HoxSSTask* task, uint64_t estimates, uint64_t method,
                              const ThreadingServices* threading);
QOR_API int32_t _hoxsSSMinmax(HoxSSTask* task, uint64_t estimates, uint64_t method,
                              const ThreadingServices* threading);

/* ---- partial and pooled covariance, distances, parametrization --------------------------- */
/* Partial covariance and correlation of the role-1 variables given the role -1 variables, from
 * the covariance (or else correlation) matrix in the task. */
QOR_API int32_t _hoxdSSPartialCovariance(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                         const ThreadingServices* threading);
QOR_API int32_t _hoxsSSPartialCovariance(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                         const ThreadingServices* threading);
/* Group means and covariances and the pooled mean and covariance of grouped observations. */
QOR_API int32_t _hoxdSSPooledCovariance(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                        const ThreadingServices* threading);
QOR_API int32_t _hoxsSSPooledCovariance(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                        const ThreadingServices* threading);
/* Mahalanobis distances of a range of observations (inner tasks of the library's own
 * methods). */
QOR_API int32_t _hoxdSSMahDistance(HoxSSTask* task);
QOR_API int32_t _hoxsSSMahDistance(HoxSSTask* task);
/* The nearest valid correlation matrix of the task's correlation matrix, by raising its
 * eigenvalues to a floor. */
QOR_API int32_t _hoxdSSCorParametrization(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                          const ThreadingServices* threading);
QOR_API int32_t _hoxsSSCorParametrization(HoxSSTask* task, uint64_t estimates, uint64_t method,
                                          const ThreadingServices* threading);

QOR_EXTERN_C_END

#endif
