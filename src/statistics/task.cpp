// Statistics tasks: creation, the parameter editors and release.
//
// One table maps every parameter id to its field, the editor kind that accepts it and the
// status for a null address; the generic editors and the convenience editors all go through it.
#include "statistics/task.h"

#include <cstring>

#include "qor/service.h"

namespace qor::ss {
namespace {

enum class Kind : uint8_t { none, real, integer };

struct ParamRow {
  uint16_t offset;   // byte offset of the field in HoxSSTask
  Kind kind;         // which editor accepts the id
  int32_t null_status;
};

#define F(field) static_cast<uint16_t>(offsetof(HoxSSTask, field))
#define FM(k) static_cast<uint16_t>(offsetof(HoxSSTask, moment) + (k) * sizeof(void*))
#define FS(k) static_cast<uint16_t>(offsetof(HoxSSTask, sum) + (k) * sizeof(void*))
constexpr Kind R = Kind::real;
constexpr Kind I = Kind::integer;

// Row id (1..79); row 0 is unused.
constexpr ParamRow kParams[80] = {
    {0, Kind::none, 0},
    {F(dimension), I, -4001},          // 1
    {F(observ_n), I, -4002},           // 2
    {F(observ), R, -4032},             // 3
    {F(observ_storage), I, -4044},     // 4
    {F(indices), I, -4004},            // 5
    {F(weights), R, -4005},            // 6
    {FM(0), R, -4006},                 // 7 mean
    {FM(1), R, -4007},                 // 8
    {FM(2), R, -4008},                 // 9
    {FM(3), R, -4009},                 // 10
    {FM(4), R, -4010},                 // 11
    {FM(5), R, -4011},                 // 12
    {FM(6), R, -4012},                 // 13
    {F(kurtosis), R, -4013},           // 14
    {F(skewness), R, -4014},           // 15
    {F(min), R, -4015},                // 16
    {F(max), R, -4016},                // 17
    {F(variation), R, -4017},          // 18
    {F(cov), R, -4018},                // 19
    {F(cov_storage), I, -4044},        // 20
    {F(cor), R, -4019},                // 21
    {F(cor_storage), I, -4044},        // 22
    {F(accum_weight), R, -4020},       // 23
    {F(quant_order_n), I, -4022},      // 24
    {F(quant_order), R, -4021},        // 25
    {F(quantiles), R, -4023},          // 26
    {F(order_stats), R, -4024},        // 27
    {F(group_indc), I, -4038},         // 28
    {F(pooled_cov_storage), I, -4044}, // 29
    {F(pooled_mean), R, -4035},        // 30
    {F(pooled_cov), R, -4034},         // 31
    {F(group_cov_indc), I, -4038},     // 32
    {F(group_mean), R, -4037},         // 33
    {F(group_cov_storage), I, -4044},  // 34
    {F(group_cov), R, -4036},          // 35
    {F(robust_cov_storage), I, -4044}, // 36
    {F(rcov_params_n), I, -4043},      // 37
    {F(rcov_params), R, -4042},        // 38
    {F(robust_mean), R, -4028},        // 39
    {F(robust_cov), R, -4027},         // 40
    {F(out_params_n), I, -4040},       // 41
    {F(out_params), R, -4039},         // 42
    {F(out_weights), R, -4041},        // 43
    {F(order_stats_storage), I, -4044},// 44
    {F(partial_cov_idx), I, -4045},    // 45
    {F(partial_cov), R, -4046},        // 46
    {F(partial_cov_storage), I, -4044},// 47
    {F(partial_cor), R, -4047},        // 48
    {F(partial_cor_storage), I, -4044},// 49
    {F(mi_params_n), I, -4049},        // 50
    {F(mi_params), R, -4048},          // 51
    {F(mi_init_n), I, -4052},          // 52
    {F(mi_init), R, -4053},            // 53
    {F(mi_simul_n), I, -4055},         // 54
    {F(mi_simul), R, -4054},           // 55
    {F(mi_estimates_n), I, -4056},     // 56
    {F(mi_estimates), R, -4057},       // 57
    {F(mi_prior_n), I, -4061},         // 58
    {F(mi_prior), R, -4062},           // 59
    {F(paramtr_cor), R, -4071},        // 60
    {F(paramtr_cor_storage), I, -4044},// 61
    {F(squant_params_n), I, -4066},    // 62
    {F(squant_params), R, -4065},      // 63
    {F(squant_order_n), I, -4069},     // 64
    {F(squant_order), R, -4068},       // 65
    {F(squantiles), R, -4070},         // 66
    {FS(0), R, -4074},                 // 67 sum
    {FS(1), R, -4075},                 // 68
    {FS(2), R, -4076},                 // 69
    {FS(3), R, -4077},                 // 70
    {FS(4), R, -4078},                 // 71
    {FS(5), R, -4079},                 // 72
    {FS(6), R, -4080},                 // 73
    {F(cp), R, -4081},                 // 74
    {F(cp_storage), I, -4044},         // 75
    {F(mdad), R, -4082},               // 76
    {F(mnad), R, -4083},               // 77
    {F(sorted), R, -4084},             // 78
    {F(sorted_storage), I, -4044},     // 79
};
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
  const uint64_t lo = kind == Kind::real ? 3 : 1, hi = kind == Kind::real ? 78 : 79;
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
    if (s != HOX_SS_STORAGE_ROWS && s != HOX_SS_STORAGE_COLUMNS) return HOX_SS_ERR_BAD_STORAGE;
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

#define QOR_SS_CONVENIENCE_EDITORS(T, t)                                                          \
  extern "C" QOR_API int32_t __hox##t##SSEditMoments(HoxSSTask* task, T* mean, T* raw2, T* raw3, \
                                                     T* raw4, T* cen2, T* cen3, T* cen4) {        \
    const IdAddr l[] = {{7, mean}, {8, raw2}, {9, raw3}, {10, raw4},                              \
                        {11, cen2}, {12, cen3}, {13, cen4}};                                      \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditSums(HoxSSTask* task, T* sum, T* raw2_sum,          \
      T* raw3_sum, T* raw4_sum, T* cen2_sum, T* cen3_sum, T* cen4_sum) {                          \
    const IdAddr l[] = {{67, sum}, {68, raw2_sum}, {69, raw3_sum}, {70, raw4_sum},                \
                        {71, cen2_sum}, {72, cen3_sum}, {73, cen4_sum}};                          \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditCovCor(HoxSSTask* task, T* mean, T* cov,            \
      const void* cov_storage, T* cor, const void* cor_storage) {                                 \
    const IdAddr l[] = {{7, mean}, {19, cov}, {20, cov_storage}, {21, cor}, {22, cor_storage}};   \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditCP(HoxSSTask* task, T* mean, T* sum, T* cp,         \
                                                const void* cp_storage) {                         \
    const IdAddr l[] = {{7, mean}, {67, sum}, {74, cp}, {75, cp_storage}};                        \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditPartialCovCor(HoxSSTask* task, const void* roles,   \
      T* cov, const void* cov_storage, T* cor, const void* cor_storage, T* partial_cov,           \
      const void* partial_cov_storage, T* partial_cor, const void* partial_cor_storage) {         \
    const IdAddr l[] = {{45, roles}, {19, cov}, {20, cov_storage}, {21, cor},                     \
                        {22, cor_storage}, {46, partial_cov}, {47, partial_cov_storage},          \
                        {48, partial_cor}, {49, partial_cor_storage}};                            \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditQuantiles(HoxSSTask* task, const void* order_n,     \
      T* orders, T* quantiles, T* order_stats, const void* order_stats_storage) {                 \
    const IdAddr l[] = {{24, order_n}, {25, orders}, {26, quantiles}, {27, order_stats},          \
                        {44, order_stats_storage}};                                               \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditStreamQuantiles(HoxSSTask* task,                    \
      const void* order_n, T* orders, T* quantiles, const void* params_n, T* params) {            \
    const IdAddr l[] = {{64, order_n}, {65, orders}, {66, quantiles}, {62, params_n},             \
                        {63, params}};                                                            \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditPooledCovariance(HoxSSTask* task,                   \
      const void* groups, T* pooled_mean, T* pooled_cov, const void* group_selection,             \
      T* group_means, T* group_covs) {                                                            \
    const IdAddr l[] = {{28, groups}, {30, pooled_mean}, {31, pooled_cov},                        \
                        {32, group_selection}, {33, group_means}, {35, group_covs}};              \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditMissingVals(HoxSSTask* task, const void* params_n,  \
      T* params, const void* init_estimates_n, T* init_estimates, const void* prior_n, T* prior,  \
      const void* simul_vals_n, T* simul_vals, const void* estimates_n, T* estimates) {           \
    const IdAddr l[] = {{50, params_n}, {51, params}, {52, init_estimates_n},                     \
                        {53, init_estimates}, {58, prior_n}, {59, prior}, {54, simul_vals_n},     \
                        {55, simul_vals}, {56, estimates_n}, {57, estimates}};                    \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditOutDetect(HoxSSTask* task, const void* params_n,    \
                                                       T* params, T* weights) {                   \
    const IdAddr l[] = {{41, params_n}, {42, params}, {43, weights}};                             \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditRCov(HoxSSTask* task, const void* rcov_storage,     \
      const void* params_n, T* params, T* robust_mean, T* robust_cov) {                           \
    const IdAddr l[] = {{36, rcov_storage}, {37, params_n}, {38, params}, {39, robust_mean},      \
                        {40, robust_cov}};                                                        \
    return qor::ss::edit_many(task, l);                                                           \
  }                                                                                               \
  extern "C" QOR_API int32_t __hox##t##SSEditMtxParametrz(HoxSSTask* task, T* cor,               \
      const void* cor_storage, T* param_cor, const void* param_cor_storage) {                     \
    const IdAddr l[] = {{21, cor}, {22, cor_storage}, {60, param_cor},                            \
                        {61, param_cor_storage}};                                                 \
    return qor::ss::edit_many(task, l);                                                           \
  }
QOR_SS_CONVENIENCE_EDITORS(double, d)
QOR_SS_CONVENIENCE_EDITORS(float, s)
