/* Data fitting: one-dimensional spline tasks, their parameter editors, spline construction
 * (linear, quadratic, cubic), cell search, interpolation with derivatives
 * and integration.
 *
 * Sizes, counts, hints and parameter values are signed 64-bit. Every function returns a
 * 32-bit status: DfOk (0) or one of the negative codes below. On failure no output is
 * written unless the function's comment says otherwise. */
#ifndef QOR_DF_H
#define QOR_DF_H

#include "qor/qor_api.h"
#include "qor/service.h"

QOR_EXTERN_C_BEGIN

/* ---- status codes ------------------------------------------------------------------------ */
#define DfOk 0
#define DfErrNullTask      (-1000)  /* task handle null */
#define DfErrMemory        (-1001)  /* an allocation failed */
#define DfErrMethod        (-1002)  /* method not 0, or quadratic type not 0 or 1 */
#define DfErrNx            (-1004)  /* too few breakpoints */
#define DfErrNullX         (-1005)  /* partition pointer null */
#define DfErrXHint         (-1006)  /* bad partition hint */
#define DfErrNy            (-1007)  /* bad number of functions */
#define DfErrNullY         (-1008)  /* function values missing */
#define DfErrYHint         (-1009)  /* bad y storage hint, or per-function access to columns */
#define DfErrOrder         (-1010)  /* spline order negative */
#define DfErrType          (-1011)  /* type invalid, or order and type form no spline */
#define DfErrIcType        (-1012)  /* bad internal-condition type */
#define DfErrNullIc        (-1013)  /* internal-condition values missing or invalid */
#define DfErrBcType        (-1014)  /* bad boundary-condition type */
#define DfErrNullBc        (-1015)  /* boundary-condition values missing */
#define DfErrNullCoeff     (-1016)  /* coefficient pointer null */
#define DfErrCoeffHint     (-1017)  /* bad coefficient storage hint */
#define DfErrPeriodic      (-1018)  /* periodic conditions with y[0] != y[nx-1] */
#define DfErrParam         (-1019)  /* parameter identifier not recognised */
#define DfErrIndex         (-1020)  /* function index out of range */
#define DfErrLookUpSite    (-1022)  /* look-up asked at a site that is no breakpoint */
#define DfErrLookUpOrders  (-1024)  /* look-up asked for more than one order */
#define DfErrLookUpValue   (-1025)  /* look-up asked without the value */
#define DfErrDataHint      (-1026)  /* bad search data hint */
#define DfErrResultHint    (-1028)  /* bad interpolation result hint */
#define DfErrIntegralHint  (-1034)  /* bad integration result hint */
#define DfErrCheckFlag     (-1036)  /* check flag not 0 or 1 */
#define DfErrNullOut       (-1037)  /* output pointer null */
#define DfErrSolver        (-1500)  /* a tridiagonal solver reported failure */

/* ---- hints, kinds and parameter identifiers ---------------------------------------------- */
/* partition hint */
#define QOR_DF_HINT_NONE 0
#define QOR_DF_HINT_NON_UNIFORM 1
#define QOR_DF_HINT_QUASI_UNIFORM 2
#define QOR_DF_HINT_UNIFORM 4
/* storage hints of y, coefficients and results */
#define QOR_DF_STORAGE_ROWS 16
#define QOR_DF_STORAGE_COLS 32
#define QOR_DF_RESULT_FUNC_SITE_ORDER 16
#define QOR_DF_RESULT_FUNC_ORDER_SITE 32
#define QOR_DF_RESULT_SITE_FUNC_ORDER 256
#define QOR_DF_RESULT_SITE_ORDER_FUNC 512
#define QOR_DF_STORAGE_PER_FUNCTION 128 /* separate pointer per function */
/* site hints */
#define QOR_DF_SITES_SORTED 64
#define QOR_DF_SITES_UNIFORM 4
/* spline orders */
#define QOR_DF_ORDER_NONE 0
#define QOR_DF_ORDER_LINEAR 2
#define QOR_DF_ORDER_QUADRATIC 3
#define QOR_DF_ORDER_CUBIC 4
/* spline types */
#define QOR_DF_TYPE_DEFAULT 0
#define QOR_DF_TYPE_SUBBOTIN 1
#define QOR_DF_TYPE_NATURAL 2
#define QOR_DF_TYPE_HERMITE 3
#define QOR_DF_TYPE_BESSEL 4
#define QOR_DF_TYPE_AKIMA 5
#define QOR_DF_TYPE_LOOKUP 6
#define QOR_DF_TYPE_STEP_RIGHT 7 /* right variant */
#define QOR_DF_TYPE_STEP_LEFT 8 /* left variant */
#define QOR_DF_TYPE_HYMAN 9
/* boundary-condition bits */
#define QOR_DF_BC_NONE 0
#define QOR_DF_BC_NOT_A_KNOT 1
#define QOR_DF_BC_FREE_END 2
#define QOR_DF_BC_LEFT_1ST 4
#define QOR_DF_BC_RIGHT_1ST 8
#define QOR_DF_BC_LEFT_2ND 16
#define QOR_DF_BC_RIGHT_2ND 32
#define QOR_DF_BC_PERIODIC 64
#define QOR_DF_BC_MIDPOINT_VALUE 128
/* internal-condition types */
#define QOR_DF_IC_NONE 0
#define QOR_DF_IC_1ST_DER 1
#define QOR_DF_IC_2ND_DER 2
#define QOR_DF_IC_SUBGRID 8
#define QOR_DF_IC_UNIFORM 4 /* the bit that, with QOR_DF_IC_SUBGRID, marks a uniform sub-grid */
#define QOR_DF_IC_SUBGRID_UNIFORM 12 /* Subbotin sub-grid given by its first and last interior points */
/* interpolation request */
#define QOR_DF_REQUEST_VALUES 1
#define QOR_DF_REQUEST_CELLS 2
#define QOR_DF_REQUEST_GIVEN_CELLS 4
/* method argument of construction, search and interpolation */
#define QOR_DF_METHOD_DEFAULT 0
/* parameter identifiers of the editors and queries */
#define DfParamX 1
#define DfParamY 2
#define DfParamIc 3
#define DfParamBc 4
#define DfParamCoeff 5
#define DfParamNx 14
#define DfParamXHint 15
#define DfParamNy 16
#define DfParamYHint 17
#define DfParamOrder 18
#define DfParamType 19
#define DfParamIcType 20
#define DfParamBcType 21
#define DfParamCoeffHint 22
#define DfParamCheckFlag 23

/* ---- task ---------------------------------------------------------------------------------- */
/* The task record. Its fields are private to the library; it holds only addresses of the
 * caller's arrays (x, y, conditions, coefficients), never copies. */
typedef struct DfTask1D DfTask1D;

/* Creates a task over nx breakpoints x (with QOR_DF_HINT_UNIFORM, x holds only the two ends)
 * and ny functions y stored as yhint says. intWidth 0: integers exchanged with the caller
 * (queried values, cells, derivative orders) are 32-bit; non-zero: 64-bit. On an allocation
 * failure after the record was made, the record stays allocated and its handle is stored. */
QOR_API int32_t qor_df_kernel_dNewTask1D(DfTask1D** task, int64_t nx, const double* x, int64_t xhint,
    int64_t ny, const double* y, int64_t yhint, int64_t intWidth);
QOR_API int32_t qor_df_kernel_sNewTask1D(DfTask1D** task, int64_t nx, const float* x, int64_t xhint,
    int64_t ny, const float* y, int64_t yhint, int64_t intWidth);
/* Releases the task and its tables and stores null in *task. */
QOR_API int32_t qor_df_kernel_DeleteTask(DfTask1D** task);

/* Describes the spline: order, type, boundary and internal conditions, and the coefficient
 * storage (function j at scoeff + j * order * (nx - 1), Subbotin: order * nx). */
QOR_API int32_t qor_df_kernel_dEditPPSpline1D(DfTask1D* task, int64_t order, int64_t type,
    int64_t bcType, const double* bc, int64_t icType, const double* ic, double* scoeff,
    int64_t coeffHint);
QOR_API int32_t qor_df_kernel_sEditPPSpline1D(DfTask1D* task, int64_t order, int64_t type,
    int64_t bcType, const float* bc, int64_t icType, const float* ic, float* scoeff,
    int64_t coeffHint);

/* Pointer parameters (DfParamX, DfParamY, DfParamIc, DfParamBc, DfParamCoeff). The coefficient array is written by the
 * construction functions. */
QOR_API int32_t qor_df_kernel_dEditPtr(DfTask1D* task, int64_t param, const double* ptr);
QOR_API int32_t qor_df_kernel_sEditPtr(DfTask1D* task, int64_t param, const float* ptr);
/* One entry of the y or coefficient pointer table (DfParamY, DfParamCoeff). */
QOR_API int32_t qor_df_kernel_dEditIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const double* ptr);
QOR_API int32_t qor_df_kernel_sEditIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const float* ptr);
/* Integer parameters DfParamNx .. DfParamCheckFlag. */
QOR_API int32_t qor_df_kernel_iEditVal(DfTask1D* task, int64_t param, int64_t value);

QOR_API int32_t qor_df_kernel_dQueryPtr(DfTask1D* task, int64_t param, const double** out);
QOR_API int32_t qor_df_kernel_sQueryPtr(DfTask1D* task, int64_t param, const float** out);
QOR_API int32_t qor_df_kernel_dQueryIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const double** out);
QOR_API int32_t qor_df_kernel_sQueryIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const float** out);
/* Writes an int32_t (intWidth 0) or an int64_t (intWidth non-zero) into *out. */
QOR_API int32_t qor_df_kernel_iQueryVal(DfTask1D* task, int64_t param, void* out);

/* ---- construction -------------------------------------------------------------------------- */
/* Linear (order 2), standard quadratic (order 3, type 0, bcType 128: bc[0] is the
 * value at the middle of the first cell) and Subbotin quadratic (order 3, type 1, icType with
 * bit 8, bcType 12, 24, 36 or 48) coefficients for every function of the task. format
 * is not read; method must be 0 for the linear spline. */
QOR_API int32_t qor_df_kernel_dDFLinearSpline1D(DfTask1D* task, int64_t format, int64_t method,
    const ThreadingServices* threading);
QOR_API int32_t qor_df_kernel_sDFLinearSpline1D(DfTask1D* task, int64_t format, int64_t method,
    const ThreadingServices* threading);
QOR_API int32_t qor_df_kernel_dDFQuadraticSpline1D(DfTask1D* task, int64_t format, int64_t method,
    const ThreadingServices* threading);
QOR_API int32_t qor_df_kernel_sDFQuadraticSpline1D(DfTask1D* task, int64_t format, int64_t method,
    const ThreadingServices* threading);

/* Cubic splines (order 4): default (type 0), natural (2), Hermite (3, interior slopes in ic),
 * Bessel (4), Akima (5) and Hyman monotone (9). bcType 1 (not-a-knot), 2 (free end), 12, 36,
 * 24, 48 (first/second derivative pairs, bc[0] left, bc[1] right), 64 (periodic; default and
 * Hermite read bc[0]), and 0 for Akima only. Fewest breakpoints: natural 2 (3 with not-a-knot),
 * default and Hermite 3, Bessel and Hyman 4, Akima 5. method must be 0 for the natural type. */
#define QOR_DF_CUBIC_DECLS(p, T)                                                                       \
  QOR_API int32_t qor_df_kernel_##p##DFDefaultCubicSpline1D(DfTask1D* task, int64_t format,          \
      int64_t method, const ThreadingServices* threading);                                           \
  QOR_API int32_t qor_df_kernel_##p##DFNaturalCubicSpline1D(DfTask1D* task, int64_t format,          \
      int64_t method, const ThreadingServices* threading);                                           \
  QOR_API int32_t qor_df_kernel_##p##DFHermiteCubicSpline1D(DfTask1D* task, int64_t format,          \
      int64_t method, const ThreadingServices* threading);                                           \
  QOR_API int32_t qor_df_kernel_##p##DFBesselCubicSpline1D(DfTask1D* task, int64_t format,           \
      int64_t method, const ThreadingServices* threading);                                           \
  QOR_API int32_t qor_df_kernel_##p##DFAkimaCubicSpline1D(DfTask1D* task, int64_t format,            \
      int64_t method, const ThreadingServices* threading);                                           \
  QOR_API int32_t qor_df_kernel_##p##DFHymanCubicSpline1D(DfTask1D* task, int64_t format,            \
      int64_t method, const ThreadingServices* threading);
QOR_DF_CUBIC_DECLS(d, double)
QOR_DF_CUBIC_DECLS(s, float)
#undef QOR_DF_CUBIC_DECLS

/* ---- cell search ------------------------------------------------------------------------------ */
/* Cell of site s for breakpoints x[0] < ... < x[nx-1]: 0 left of x[0]; i when
 * x[i-1] <= s < x[i]; nx-1 for s = x[nx-1]; nx right of x[nx-1].
 *
 * User search callback: called once per block of at most 128 sites with (the block's site
 * count, its sites, a cell array to fill, a flag per site to set non-zero where the cell is
 * final, params, 0). Returns a negative status (stop), 1000 (every written cell is final) or
 * another value (cells of unflagged sites are guesses that the library corrects). */
typedef int32_t (*DfdSearchCallBack)(int64_t* n, const double* site, int64_t* cell, int32_t* flag,
    const void* params, int64_t reserved);
typedef int32_t (*DfsSearchCallBack)(int64_t* n, const float* site, int64_t* cell, int32_t* flag,
    const void* params, int64_t reserved);
#define QOR_DF_SEARCH_CALLBACK_FINAL 1000

/* cell: int32_t[nsite] (intWidth 0) or int64_t[nsite]. datahint: null, or an array whose
 * element 1 chooses the hybrid (0) or peak (1) method and element 4 holds the peak cell. */
QOR_API int32_t qor_df_kernel_dDFSearch1D(DfTask1D* task, int64_t method, int64_t nsite,
    const double* site, int64_t sitehint, const double* datahint, void* cell,
    DfdSearchCallBack searchCallback, const void* searchParams, const ThreadingServices* threading);
QOR_API int32_t qor_df_kernel_sDFSearch1D(DfTask1D* task, int64_t method, int64_t nsite,
    const float* site, int64_t sitehint, const float* datahint, void* cell,
    DfsSearchCallBack searchCallback, const void* searchParams, const ThreadingServices* threading);

/* Per-method searches on the calling thread (32-bit cells). Arguments named rN are reserved
 * and not read. scale: (nx-1)/(x[1]-x[0]) for the uniform method (x holds the two ends),
 * (nx-1)/(x[nx-1]-x[0]) for the quasi-uniform one. The *32 twins are the same functions. */
#define QOR_DF_SEARCH_DECLS(p, T, CB, suffix)                                                         \
  QOR_API int32_t qor_df_kernel_##p##DFUniformSearch1D##suffix(int64_t nx, const T* x, int64_t nsite, \
      const T* site, int64_t r0, T scale, int64_t r1, int64_t r2, int64_t r3, int32_t* cell);         \
  QOR_API int32_t qor_df_kernel_##p##DFQuasiUniformSearch1D##suffix(int64_t nx, const T* x,           \
      int64_t nsite, const T* site, int64_t r0, T scale, int64_t r1, int64_t r2, int64_t r3,         \
      int32_t* cell);                                                                                \
  QOR_API int32_t qor_df_kernel_##p##DFPeakSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,    \
      const T* site, int64_t r0, T peak, int64_t r1, int64_t r2, int64_t r3, int32_t* cell);          \
  QOR_API int32_t qor_df_kernel_##p##DFHybridSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,  \
      const T* site, int64_t r0, T bucketScale, int64_t r1, int64_t r2,                               \
      const uint32_t* bucketTable, int32_t* cell);                                                    \
  QOR_API int32_t qor_df_kernel_##p##DFSortedSearch1D##suffix(int64_t nx, const T* x, int64_t nsite,  \
      const T* site, int64_t* running, int64_t r1, int64_t r2, int64_t r3, int64_t r4, int64_t r5,    \
      int32_t* cell);                                                                                \
  QOR_API int32_t qor_df_kernel_##p##DFUserDefSearch1D##suffix(int64_t nx, const T* x, int64_t nsite, \
      const T* site, int64_t r0, int64_t r1, int64_t r2, int64_t r3, int64_t r4, int64_t r5,          \
      int32_t* cell, int64_t r6, CB callback, const void* params, int64_t r7, int32_t* flag);         \
  QOR_API int32_t qor_df_kernel_##p##DFUniUserDefSearch1D##suffix(int64_t nx, const T* x,             \
      int64_t nsite, const T* site, int64_t r0, T scale, int64_t r1, int64_t r2, int64_t r3,         \
      int32_t* cell, int64_t r6, CB callback, const void* params, int64_t r7, int32_t* flag);
QOR_DF_SEARCH_DECLS(d, double, DfdSearchCallBack, )
QOR_DF_SEARCH_DECLS(d, double, DfdSearchCallBack, 32)
QOR_DF_SEARCH_DECLS(s, float, DfsSearchCallBack, )
QOR_DF_SEARCH_DECLS(s, float, DfsSearchCallBack, 32)
#undef QOR_DF_SEARCH_DECLS

/* ---- interpolation ----------------------------------------------------------------------- */
/* Extrapolation and interpolation callback: called with (the number of sites, the function
 * index, the sites' cells, the sites, the result buffer, params, 0). It writes, for each site,
 * the requested derivative orders in increasing order (nder values per site, sites one after
 * another) and returns 0 or a negative status that stops the interpolation. */
typedef int32_t (*DfdInterpCallBack)(int64_t* n, int64_t function, const int64_t* cell,
    const double* site, double* r, const void* params, int64_t reserved);
typedef int32_t (*DfsInterpCallBack)(int64_t* n, int64_t function, const int64_t* cell,
    const float* site, float* r, const void* params, int64_t reserved);

/* Evaluates the task's spline at nsite sites for every function.
 * type: QOR_DF_REQUEST_VALUES (values and derivatives), | QOR_DF_REQUEST_CELLS (also cells
 *       into `cell`), or QOR_DF_REQUEST_GIVEN_CELLS (cells read from `cell`, no search).
 * dorder: ndorder integers (32- or 64-bit by intWidth); dorder[k] != 0 requests derivative k.
 *       A null dorder requests the value alone.
 * rhint: 16 (function, site, order), 32 (function, order, site), 256 (site, function, order),
 *       512 (site, order, function); 0 and 128 mean 16. */
QOR_API int32_t qor_df_kernel_dDFInterpolate1D(DfTask1D* task, int64_t type, int64_t method,
    int64_t nsite, const double* site, int64_t sitehint, int64_t ndorder, const void* dorder,
    const double* datahint, double* r, int64_t rhint, void* cell,
    DfdInterpCallBack leftCallback, const void* leftParams,
    DfdInterpCallBack rightCallback, const void* rightParams,
    DfdInterpCallBack interpCallback, const void* interpParams,
    DfdSearchCallBack searchCallback, const void* searchParams, const ThreadingServices* threading);
QOR_API int32_t qor_df_kernel_sDFInterpolate1D(DfTask1D* task, int64_t type, int64_t method,
    int64_t nsite, const float* site, int64_t sitehint, int64_t ndorder, const void* dorder,
    const float* datahint, float* r, int64_t rhint, void* cell,
    DfsInterpCallBack leftCallback, const void* leftParams,
    DfsInterpCallBack rightCallback, const void* rightParams,
    DfsInterpCallBack interpCallback, const void* interpParams,
    DfsSearchCallBack searchCallback, const void* searchParams, const ThreadingServices* threading);

/* ---- integration --------------------------------------------------------------------------- */
/* Integration callback: called with (the number of intervals n, the function index, their left
 * ends a, their right ends b (a[k] <= b[k]), the result buffer, params, 0); it writes the integral
 * of the function over [a[k], b[k]] into r[k] and returns 0 or a negative status that stops the
 * integration. The left callback serves the parts of the intervals left of x[0], the right one
 * the parts right of x[nx-1], the interpolation callback the rest for the arbitrary kind. */
typedef int32_t (*DfdIntegrCallBack)(int64_t* n, int64_t function, const double* a, const double* b,
    double* r, const void* params, int64_t reserved);
typedef int32_t (*DfsIntegrCallBack)(int64_t* n, int64_t function, const float* a, const float* b,
    float* r, const void* params, int64_t reserved);

/* Integrals of the task's spline from llim[k] to rlim[k], k = 0 .. nlim-1, for every function.
 * llimhint, rlimhint: 0, 64 (sorted) or 4 (uniform: the array holds the first and last limit).
 * ldatahint, rdatahint: search data hints as in qor_df_kernel_dDFSearch1D.
 * rhint: 0, 16 or 128: r[j * nlim + k]; 32: r[k * ny + j]. Parts outside the partition
 * integrate the end pieces, extended, unless the left or right callback is given. */
#define QOR_DF_INTEGRATE_DECLS(p, T, ICB, SCB)                                                         \
  QOR_API int32_t qor_df_kernel_##p##DFIntegrate1D(DfTask1D* task, int64_t method, int64_t nlim,       \
      const T* llim, int64_t llimhint, const T* rlim, int64_t rlimhint, const T* ldatahint,           \
      const T* rdatahint, T* r, int64_t rhint, ICB leftCallback, const void* leftParams,              \
      ICB rightCallback, const void* rightParams, ICB interpCallback, const void* interpParams,       \
      SCB searchCallback, const void* searchParams, const ThreadingServices* threading);
QOR_DF_INTEGRATE_DECLS(d, double, DfdIntegrCallBack, DfdSearchCallBack)
QOR_DF_INTEGRATE_DECLS(s, float, DfsIntegrCallBack, DfsSearchCallBack)
#undef QOR_DF_INTEGRATE_DECLS

/* One evaluator per spline kind, for one block of sites of one function.
 * part: the partition and spline; data: the function's coefficients (or its y values for the
 * step and look-up kinds, read with stride `inc`); nder orders listed in ders (ascending);
 * out: nder values per site, sites one after another. */
typedef struct DfdEvalPartition {
  int64_t nx;
  const double* x;
  int64_t flags;       /* bit 4 (value 4): uniform partition, x holds the two ends */
  double h;            /* step of a uniform partition */
  int64_t order;
  int64_t icType;      /* Subbotin sub-grid kind */
  const double* ic;    /* Subbotin sub-grid */
} DfdEvalPartition;
typedef struct DfsEvalPartition {
  int64_t nx;
  const float* x;
  int64_t flags;
  float h;
  int64_t order;
  int64_t icType;
  const float* ic;
} DfsEvalPartition;

#define QOR_DF_EVAL_DECLS(p, T, P, CB, kind)                                                          \
  QOR_API int32_t qor_df_kernel_##p##_##kind##Eval32(const P* part, int64_t n, const T* site,          \
      const int32_t* cell, const T* data, int64_t inc, int64_t function, int64_t nder,                \
      const int32_t* ders, T* out);                                                                   \
  QOR_API int32_t qor_df_kernel_##p##_##kind##Eval32CB(const P* part, int64_t n, const T* site,        \
      const int32_t* cell, const T* data, int64_t inc, int64_t function, int64_t nder,                \
      const int32_t* ders, T* out, CB callback, const void* params);
#define QOR_DF_EVAL_ALL(p, T, P, CB)                   \
  QOR_DF_EVAL_DECLS(p, T, P, CB, LinearSpline)         \
  QOR_DF_EVAL_DECLS(p, T, P, CB, QuadraticSpline)      \
  QOR_DF_EVAL_DECLS(p, T, P, CB, CubicSpline)          \
  QOR_DF_EVAL_DECLS(p, T, P, CB, QuadSubbSpline)       \
  QOR_DF_EVAL_DECLS(p, T, P, CB, ArbitrSpline)         \
  QOR_DF_EVAL_DECLS(p, T, P, CB, StepLeftSpline)       \
  QOR_DF_EVAL_DECLS(p, T, P, CB, StepRightSpline)      \
  QOR_DF_EVAL_DECLS(p, T, P, CB, LookUpSpline)
QOR_DF_EVAL_ALL(d, double, DfdEvalPartition, DfdInterpCallBack)
QOR_DF_EVAL_ALL(s, float, DfsEvalPartition, DfsInterpCallBack)
#undef QOR_DF_EVAL_ALL
#undef QOR_DF_EVAL_DECLS

QOR_EXTERN_C_END

#endif
