// Statistics tasks: creation, the parameter editors and release.
//
// One table maps every parameter id to its field, the editor kind that accepts it and the
// status for a null address; the generic editors and the convenience editors all go through it.
#include "statistics/task.h"

#include <array>
#include <cstring>

#include "qor/service.h"
#include "statistics/storage.h"

namespace qor::ss {
namespace {

enum class Kind : uint8_t { none, real, integer };

struct ParamRow {
  uint16_t offset;   // byte offset of the field in HoxSSTask
  Kind kind;         // which editor accepts the id
  int32_t null_status;
};
constexpr size_t kParamRows = HOX_SS_ED_SORTED_OBSERV_STORAGE + 1;

#define F(field) static_cast<uint16_t>(offsetof(HoxSSTask, field))
#define FM(k) static_cast<uint16_t>(offsetof(HoxSSTask, moment) + (k) * sizeof(void*))
#define FS(k) static_cast<uint16_t>(offsetof(HoxSSTask, sum) + (k) * sizeof(void*))
constexpr Kind R = Kind::real;
constexpr Kind I = Kind::integer;

// Row id (HOX_SS_ED_DIMEN .. HOX_SS_ED_SORTED_OBSERV_STORAGE); row 0 is unused.
constexpr std::array<ParamRow, kParamRows> make_params() {
  std::array<ParamRow, kParamRows> r{};
  r[HOX_SS_ED_DIMEN] = {F(dimension), I, HOX_SS_ERR_BAD_DIMENSION};
  r[HOX_SS_ED_OBSERV_N] = {F(observ_n), I, HOX_SS_ERR_BAD_OBSERV_COUNT};
  r[HOX_SS_ED_OBSERV] = {F(observ), R, HOX_SS_ERR_NULL_OBSERV};
  r[HOX_SS_ED_OBSERV_STORAGE] = {F(observ_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_INDC] = {F(indices), I, HOX_SS_ERR_BAD_INDICES};
  r[HOX_SS_ED_WEIGHTS] = {F(weights), R, HOX_SS_ERR_NULL_WEIGHTS};
  r[HOX_SS_ED_MEAN] = {FM(0), R, HOX_SS_ERR_NULL_MEAN};
  r[HOX_SS_ED_2R_MOM] = {FM(1), R, HOX_SS_ERR_NULL_RAW2};
  r[HOX_SS_ED_3R_MOM] = {FM(2), R, HOX_SS_ERR_NULL_RAW3};
  r[HOX_SS_ED_4R_MOM] = {FM(3), R, HOX_SS_ERR_NULL_RAW4};
  r[HOX_SS_ED_2C_MOM] = {FM(4), R, HOX_SS_ERR_NULL_CEN2};
  r[HOX_SS_ED_3C_MOM] = {FM(5), R, HOX_SS_ERR_NULL_CEN3};
  r[HOX_SS_ED_4C_MOM] = {FM(6), R, HOX_SS_ERR_NULL_CEN4};
  r[HOX_SS_ED_KURTOSIS] = {F(kurtosis), R, HOX_SS_ERR_NULL_KURTOSIS};
  r[HOX_SS_ED_SKEWNESS] = {F(skewness), R, HOX_SS_ERR_NULL_SKEWNESS};
  r[HOX_SS_ED_MIN] = {F(min), R, HOX_SS_ERR_NULL_MIN};
  r[HOX_SS_ED_MAX] = {F(max), R, HOX_SS_ERR_NULL_MAX};
  r[HOX_SS_ED_VARIATION] = {F(variation), R, HOX_SS_ERR_NULL_VARIATION};
  r[HOX_SS_ED_COV] = {F(cov), R, HOX_SS_ERR_NULL_COV};
  r[HOX_SS_ED_COV_STORAGE] = {F(cov_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_COR] = {F(cor), R, HOX_SS_ERR_NULL_COR};
  r[HOX_SS_ED_COR_STORAGE] = {F(cor_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_ACCUM_WEIGHT] = {F(accum_weight), R, HOX_SS_ERR_NULL_ACCUM_WEIGHT};
  r[HOX_SS_ED_QUANT_ORDER_N] = {F(quant_order_n), I, HOX_SS_ERR_BAD_QUANT_ORDER_N};
  r[HOX_SS_ED_QUANT_ORDER] = {F(quant_order), R, HOX_SS_ERR_NULL_QUANT_ORDER};
  r[HOX_SS_ED_QUANT_QUANTILES] = {F(quantiles), R, HOX_SS_ERR_NULL_QUANTILES};
  r[HOX_SS_ED_ORDER_STATS] = {F(order_stats), R, HOX_SS_ERR_NULL_ORDER_STATS};
  r[HOX_SS_ED_GROUP_INDC] = {F(group_indc), I, HOX_SS_ERR_BAD_GROUP_INDC};
  r[HOX_SS_ED_POOLED_COV_STORAGE] = {F(pooled_cov_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_POOLED_MEAN] = {F(pooled_mean), R, HOX_SS_ERR_NULL_POOLED_MEAN};
  r[HOX_SS_ED_POOLED_COV] = {F(pooled_cov), R, HOX_SS_ERR_NULL_POOLED_COV};
  r[HOX_SS_ED_GROUP_COV_INDC] = {F(group_cov_indc), I, HOX_SS_ERR_BAD_GROUP_INDC};
  r[HOX_SS_ED_GROUP_MEAN] = {F(group_mean), R, HOX_SS_ERR_NULL_GROUP_MEAN};
  r[HOX_SS_ED_GROUP_COV_STORAGE] = {F(group_cov_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_GROUP_COV] = {F(group_cov), R, HOX_SS_ERR_NULL_GROUP_COV};
  r[HOX_SS_ED_ROBUST_COV_STORAGE] = {F(robust_cov_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_ROBUST_COV_PARAMS_N] = {F(rcov_params_n), I, HOX_SS_ERR_BAD_ROBUST_COV_PARAMS_N};
  r[HOX_SS_ED_ROBUST_COV_PARAMS] = {F(rcov_params), R, HOX_SS_ERR_NULL_ROBUST_COV_PARAMS};
  r[HOX_SS_ED_ROBUST_MEAN] = {F(robust_mean), R, HOX_SS_ERR_NULL_ROBUST_MEAN};
  r[HOX_SS_ED_ROBUST_COV] = {F(robust_cov), R, HOX_SS_ERR_NULL_ROBUST_COV};
  r[HOX_SS_ED_OUTLIERS_PARAMS_N] = {F(out_params_n), I, HOX_SS_ERR_BAD_OUTLIERS_PARAMS_N};
  r[HOX_SS_ED_OUTLIERS_PARAMS] = {F(out_params), R, HOX_SS_ERR_NULL_OUTLIERS_PARAMS};
  r[HOX_SS_ED_OUTLIERS_WEIGHT] = {F(out_weights), R, HOX_SS_ERR_NULL_OUTLIERS_WEIGHT};
  r[HOX_SS_ED_ORDER_STATS_STORAGE] = {F(order_stats_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_PARTIAL_COV_IDX] = {F(partial_cov_idx), I, HOX_SS_ERR_NULL_PARTIAL_COV_IDX};
  r[HOX_SS_ED_PARTIAL_COV] = {F(partial_cov), R, HOX_SS_ERR_NULL_PARTIAL_COV};
  r[HOX_SS_ED_PARTIAL_COV_STORAGE] = {F(partial_cov_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_PARTIAL_COR] = {F(partial_cor), R, HOX_SS_ERR_NULL_PARTIAL_COR};
  r[HOX_SS_ED_PARTIAL_COR_STORAGE] = {F(partial_cor_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_MI_PARAMS_N] = {F(mi_params_n), I, HOX_SS_ERR_BAD_MI_PARAMS_N};
  r[HOX_SS_ED_MI_PARAMS] = {F(mi_params), R, HOX_SS_ERR_NULL_MI_PARAMS};
  r[HOX_SS_ED_MI_INIT_ESTIMATES_N] = {F(mi_init_n), I, HOX_SS_ERR_BAD_MI_INIT_ESTIMATES_N};
  r[HOX_SS_ED_MI_INIT_ESTIMATES] = {F(mi_init), R, HOX_SS_ERR_NULL_MI_INIT_ESTIMATES};
  r[HOX_SS_ED_MI_SIMUL_VALS_N] = {F(mi_simul_n), I, HOX_SS_ERR_BAD_MI_SIMUL_VALS_N};
  r[HOX_SS_ED_MI_SIMUL_VALS] = {F(mi_simul), R, HOX_SS_ERR_NULL_MI_SIMUL_VALS};
  r[HOX_SS_ED_MI_ESTIMATES_N] = {F(mi_estimates_n), I, HOX_SS_ERR_BAD_MI_ESTIMATES_N};
  r[HOX_SS_ED_MI_ESTIMATES] = {F(mi_estimates), R, HOX_SS_ERR_NULL_MI_ESTIMATES};
  r[HOX_SS_ED_MI_PRIOR_N] = {F(mi_prior_n), I, HOX_SS_ERR_BAD_MI_PRIOR_N};
  r[HOX_SS_ED_MI_PRIOR] = {F(mi_prior), R, HOX_SS_ERR_NULL_MI_PRIOR};
  r[HOX_SS_ED_PARAMTR_COR] = {F(paramtr_cor), R, HOX_SS_ERR_NULL_PARAMTR_COR};
  r[HOX_SS_ED_PARAMTR_COR_STORAGE] = {F(paramtr_cor_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_STREAM_QUANT_PARAMS_N] = {F(squant_params_n), I, HOX_SS_ERR_BAD_STREAM_QUANT_PARAMS_N};
  r[HOX_SS_ED_STREAM_QUANT_PARAMS] = {F(squant_params), R, HOX_SS_ERR_NULL_STREAM_QUANT_PARAMS};
  r[HOX_SS_ED_STREAM_QUANT_ORDER_N] = {F(squant_order_n), I, HOX_SS_ERR_BAD_STREAM_QUANT_ORDER_N};
  r[HOX_SS_ED_STREAM_QUANT_ORDER] = {F(squant_order), R, HOX_SS_ERR_BAD_STREAM_QUANT_ORDER};
  r[HOX_SS_ED_STREAM_QUANT_QUANTILES] = {F(squantiles), R, HOX_SS_ERR_NULL_STREAM_QUANTILES};
  r[HOX_SS_ED_SUM] = {FS(0), R, HOX_SS_ERR_NULL_SUM};
  r[HOX_SS_ED_2R_SUM] = {FS(1), R, HOX_SS_ERR_NULL_RAW2_SUM};
  r[HOX_SS_ED_3R_SUM] = {FS(2), R, HOX_SS_ERR_NULL_RAW3_SUM};
  r[HOX_SS_ED_4R_SUM] = {FS(3), R, HOX_SS_ERR_NULL_RAW4_SUM};
  r[HOX_SS_ED_2C_SUM] = {FS(4), R, HOX_SS_ERR_NULL_CEN2_SUM};
  r[HOX_SS_ED_3C_SUM] = {FS(5), R, HOX_SS_ERR_NULL_CEN3_SUM};
  r[HOX_SS_ED_4C_SUM] = {FS(6), R, HOX_SS_ERR_NULL_CEN4_SUM};
  r[HOX_SS_ED_CP] = {F(cp), R, HOX_SS_ERR_NULL_CP};
  r[HOX_SS_ED_CP_STORAGE] = {F(cp_storage), I, HOX_SS_ERR_NULL_STORAGE};
  r[HOX_SS_ED_MDAD] = {F(mdad), R, HOX_SS_ERR_NULL_MDAD};
  r[HOX_SS_ED_MNAD] = {F(mnad), R, HOX_SS_ERR_NULL_MNAD};
  r[HOX_SS_ED_SORTED_OBSERV] = {F(sorted), R, HOX_SS_ERR_NULL_SORTED_OBSERV};
  r[HOX_SS_ED_SORTED_OBSERV_STORAGE] = {F(sorted_storage), I, HOX_SS_ERR_NULL_STORAGE};
  return r;
}
constexpr std::array<ParamRow, kParamRows> kParams = make_params();
#undef F
#undef FM
#undef FS

// Every parameter field is one address-sized word.
inline void store_field(HoxSSTask* t, int id, const void* address) {
  std::memcpy(reinterpret_cast<char*>(t) + kParams[id].offset, &address, sizeof(address));
}

int32_t edit(HoxSSTask* t, int64_t id, const void* address, Kind kind) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  const uint64_t uid = static_cast<uint64_t>(id);
  // The real editors' ids run from the observations to the sorted observations, the integer
  // editor's from the dimension to the sorted observations' storage.
  const uint64_t lo = kind == Kind::real ? HOX_SS_ED_OBSERV : HOX_SS_ED_DIMEN;
  const uint64_t hi = kind == Kind::real ? HOX_SS_ED_SORTED_OBSERV : HOX_SS_ED_SORTED_OBSERV_STORAGE;
  if (uid < lo || uid > hi || kParams[uid].kind != kind) return HOX_ERR_BAD_ARGUMENT;
  if (!address) return kParams[uid].null_status;
  store_field(t, static_cast<int>(uid), address);
  return 0;
}

// Convenience editors: (id, address) pairs; null addresses are passed over.
struct IdAddr {
  int id;
  const void* address;
};
template <size_t N>
int32_t edit_many(HoxSSTask* t, const IdAddr (&list)[N]) {
  if (!t) return HOX_SS_ERR_NULL_TASK;
  for (const IdAddr& e : list)
    if (e.address) store_field(t, e.id, e.address);
  return 0;
}

int32_t new_task(HoxSSTask** out, const void* p, const void* n, const void* xstorage,
                 const void* x, const void* weights, const void* indices, const void* wide_int,
                 int32_t precision) {
  if (!out) return HOX_SS_ERR_NULL_TASK;
  auto rd = [&](const void* a) -> int64_t {
    return wide_int ? *static_cast<const int64_t*>(a) : *static_cast<const int32_t*>(a);
  };
  if (!p || rd(p) < 1) return HOX_SS_ERR_BAD_DIMENSION;
  if (x) {
    if (!xstorage) return HOX_SS_ERR_NULL_STORAGE;
    const int64_t s = rd(xstorage);
    if (!observ_storage_exact(s)) return HOX_SS_ERR_BAD_STORAGE;
    if (!n || rd(n) < 1) return HOX_SS_ERR_BAD_OBSERV_COUNT;
  }
  void* block = qor_serv_allocate(sizeof(HoxSSTask), 128);
  if (!block) {
    *out = nullptr;
    return HOX_SS_ERR_NO_MEMORY;
  }
  std::memset(block, 0, sizeof(HoxSSTask));
  HoxSSTask* t = static_cast<HoxSSTask*>(block);
  t->wide_int = wide_int;
  t->kind = kTaskKind;
  t->precision = precision;
  t->dimension = p;
  t->observ_n = n;
  t->indices = indices;
  t->observ = x;
  t->weights = weights;
  t->accum_weight = nullptr;
  t->observ_storage = xstorage;
  *out = t;
  return 0;
}

}  // namespace
}  // namespace qor::ss

using qor::ss::IdAddr;
using qor::ss::Kind;

extern "C" {

QOR_API int32_t __hoxdSSNewTask(HoxSSTask** task, const void* p, const void* n,
                                const void* xstorage, const double* x, const double* weights,
                                const void* indices, const void* wide_int) {
  return qor::ss::new_task(task, p, n, xstorage, x, weights, indices, wide_int, 1);
}

QOR_API int32_t __hoxsSSNewTask(HoxSSTask** task, const void* p, const void* n,
                                const void* xstorage, const float* x, const float* weights,
                                const void* indices, const void* wide_int) {
  return qor::ss::new_task(task, p, n, xstorage, x, weights, indices, wide_int, 0);
}

QOR_API int32_t __hoxSSDeleteTask(HoxSSTask** task) {
  if (!task || !*task) return HOX_SS_ERR_NULL_TASK;
  HoxSSTask* t = *task;
  if (t->internal) qor_serv_deallocate(t->internal);
  t->internal = nullptr;
  if (t->release_count > 0 && t->release) t->release(t);
  qor_serv_deallocate(t);
  *task = nullptr;
  return 0;
}

QOR_API int32_t __hoxdSSEditTask(HoxSSTask* task, int64_t id, const double* address) {
  return qor::ss::edit(task, id, address, Kind::real);
}
QOR_API int32_t __hoxsSSEditTask(HoxSSTask* task, int64_t id, const float* address) {
  return qor::ss::edit(task, id, address, Kind::real);
}
QOR_API int32_t __hoxiSSEditTask(HoxSSTask* task, int64_t id, const void* address) {
  return qor::ss::edit(task, id, address, Kind::integer);
}

}  // extern "C"

// Each convenience editor is its list of (parameter id, address) pairs.
#define QOR_SS_CONVENIENCE_EDITORS(T, t)                                                          \
  extern "C" QOR_API int32_t __hox##t##SSEditMoments(HoxSSTask* task, T* mean, T* raw2, T* raw3, \
                                                     T* raw4, T* cen2, T* cen3, T* cen4) {        \
    const IdAddr l[] = {{HOX_SS_ED_MEAN, mean},   {HOX_SS_ED_2R_MOM, raw2},                       \
                        {HOX_SS_ED_3R_MOM, raw3}, {HOX_SS_ED_4R_MOM, raw4},                       \
                        {HOX_SS_ED_2C_MOM, cen2}, {HOX_SS_ED_3C_MOM, cen3},                       \
                        {HOX_SS_ED_4C_MOM, cen4}};                                                \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditSums(HoxSSTask* task, T* sum, T* raw2_sum,          \
      T* raw3_sum, T* raw4_sum, T* cen2_sum, T* cen3_sum, T* cen4_sum) {                          \
    const IdAddr l[] = {{HOX_SS_ED_SUM, sum},         {HOX_SS_ED_2R_SUM, raw2_sum},               \
                        {HOX_SS_ED_3R_SUM, raw3_sum}, {HOX_SS_ED_4R_SUM, raw4_sum},               \
                        {HOX_SS_ED_2C_SUM, cen2_sum}, {HOX_SS_ED_3C_SUM, cen3_sum},               \
                        {HOX_SS_ED_4C_SUM, cen4_sum}};                                            \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditCovCor(HoxSSTask* task, T* mean, T* cov,            \
      const void* cov_storage, T* cor, const void* cor_storage) {                                 \
    const IdAddr l[] = {{HOX_SS_ED_MEAN, mean}, {HOX_SS_ED_COV, cov},                             \
                        {HOX_SS_ED_COV_STORAGE, cov_storage}, {HOX_SS_ED_COR, cor},               \
                        {HOX_SS_ED_COR_STORAGE, cor_storage}};                                    \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditCP(HoxSSTask* task, T* mean, T* sum, T* cp,         \
                                                const void* cp_storage) {                         \
    const IdAddr l[] = {{HOX_SS_ED_MEAN, mean}, {HOX_SS_ED_SUM, sum}, {HOX_SS_ED_CP, cp},         \
                        {HOX_SS_ED_CP_STORAGE, cp_storage}};                                      \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditPartialCovCor(HoxSSTask* task, const void* roles,   \
      T* cov, const void* cov_storage, T* cor, const void* cor_storage, T* partial_cov,           \
      const void* partial_cov_storage, T* partial_cor, const void* partial_cor_storage) {         \
    const IdAddr l[] = {{HOX_SS_ED_PARTIAL_COV_IDX, roles},                                       \
                        {HOX_SS_ED_COV, cov},                                                     \
                        {HOX_SS_ED_COV_STORAGE, cov_storage},                                     \
                        {HOX_SS_ED_COR, cor},                                                     \
                        {HOX_SS_ED_COR_STORAGE, cor_storage},                                     \
                        {HOX_SS_ED_PARTIAL_COV, partial_cov},                                     \
                        {HOX_SS_ED_PARTIAL_COV_STORAGE, partial_cov_storage},                     \
                        {HOX_SS_ED_PARTIAL_COR, partial_cor},                                     \
                        {HOX_SS_ED_PARTIAL_COR_STORAGE, partial_cor_storage}};                    \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditQuantiles(HoxSSTask* task, const void* order_n,     \
      T* orders, T* quantiles, T* order_stats, const void* order_stats_storage) {                 \
    const IdAddr l[] = {{HOX_SS_ED_QUANT_ORDER_N, order_n},                                       \
                        {HOX_SS_ED_QUANT_ORDER, orders},                                          \
                        {HOX_SS_ED_QUANT_QUANTILES, quantiles},                                   \
                        {HOX_SS_ED_ORDER_STATS, order_stats},                                     \
                        {HOX_SS_ED_ORDER_STATS_STORAGE, order_stats_storage}};                    \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditStreamQuantiles(HoxSSTask* task,                    \
      const void* order_n, T* orders, T* quantiles, const void* params_n, T* params) {            \
    const IdAddr l[] = {{HOX_SS_ED_STREAM_QUANT_ORDER_N, order_n},                                \
                        {HOX_SS_ED_STREAM_QUANT_ORDER, orders},                                   \
                        {HOX_SS_ED_STREAM_QUANT_QUANTILES, quantiles},                            \
                        {HOX_SS_ED_STREAM_QUANT_PARAMS_N, params_n},                              \
                        {HOX_SS_ED_STREAM_QUANT_PARAMS, params}};                                 \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditPooledCovariance(HoxSSTask* task,                   \
      const void* groups, T* pooled_mean, T* pooled_cov, const void* group_selection,             \
      T* group_means, T* group_covs) {                                                            \
    const IdAddr l[] = {{HOX_SS_ED_GROUP_INDC, groups},                                           \
                        {HOX_SS_ED_POOLED_MEAN, pooled_mean},                                     \
                        {HOX_SS_ED_POOLED_COV, pooled_cov},                                       \
                        {HOX_SS_ED_GROUP_COV_INDC, group_selection},                              \
                        {HOX_SS_ED_GROUP_MEAN, group_means},                                      \
                        {HOX_SS_ED_GROUP_COV, group_covs}};                                       \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditMissingVals(HoxSSTask* task, const void* params_n,  \
      T* params, const void* init_estimates_n, T* init_estimates, const void* prior_n, T* prior,  \
      const void* simul_vals_n, T* simul_vals, const void* estimates_n, T* estimates) {           \
    const IdAddr l[] = {{HOX_SS_ED_MI_PARAMS_N, params_n},                                        \
                        {HOX_SS_ED_MI_PARAMS, params},                                            \
                        {HOX_SS_ED_MI_INIT_ESTIMATES_N, init_estimates_n},                        \
                        {HOX_SS_ED_MI_INIT_ESTIMATES, init_estimates},                            \
                        {HOX_SS_ED_MI_PRIOR_N, prior_n},                                          \
                        {HOX_SS_ED_MI_PRIOR, prior},                                              \
                        {HOX_SS_ED_MI_SIMUL_VALS_N, simul_vals_n},                                \
                        {HOX_SS_ED_MI_SIMUL_VALS, simul_vals},                                    \
                        {HOX_SS_ED_MI_ESTIMATES_N, estimates_n},                                  \
                        {HOX_SS_ED_MI_ESTIMATES, estimates}};                                     \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditOutDetect(HoxSSTask* task, const void* params_n,    \
                                                       T* params, T* weights) {                   \
    const IdAddr l[] = {{HOX_SS_ED_OUTLIERS_PARAMS_N, params_n},                                  \
                        {HOX_SS_ED_OUTLIERS_PARAMS, params},                                      \
                        {HOX_SS_ED_OUTLIERS_WEIGHT, weights}};                                    \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditRCov(HoxSSTask* task, const void* rcov_storage,     \
      const void* params_n, T* params, T* robust_mean, T* robust_cov) {                           \
    const IdAddr l[] = {{HOX_SS_ED_ROBUST_COV_STORAGE, rcov_storage},                             \
                        {HOX_SS_ED_ROBUST_COV_PARAMS_N, params_n},                                \
                        {HOX_SS_ED_ROBUST_COV_PARAMS, params},                                    \
                        {HOX_SS_ED_ROBUST_MEAN, robust_mean},                                     \
                        {HOX_SS_ED_ROBUST_COV, robust_cov}};                                      \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditMtxParametrz(HoxSSTask* task, T* cor,               \
      const void* cor_storage, T* param_cor, const void* param_cor_storage) {                     \
    const IdAddr l[] = {{HOX_SS_ED_COR, cor}, {HOX_SS_ED_COR_STORAGE, cor_storage},               \
                        {HOX_SS_ED_PARAMTR_COR, param_cor},                                       \
                        {HOX_SS_ED_PARAMTR_COR_STORAGE, param_cor_storage}};                      \
    return qor::ss::edit_many(task, l);                                                           \
  }
QOR_SS_CONVENIENCE_EDITORS(double, d)
QOR_SS_CONVENIENCE_EDITORS(float, s)
