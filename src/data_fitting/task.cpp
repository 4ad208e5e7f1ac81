// Data-fitting task: constructors, deletion, the spline description editor, and the pointer,
// indexed-pointer and value editors and queries, all driven by one table of parameters.
#include "data_fitting/task.h"

#include <cmath>
#include <cstring>

#include "qor/service.h"
#include "service/size_math.h"

namespace qor::df {

// ---- pointer tables with an entry count -------------------------------------------------------

namespace {
constexpr size_t kTablePrefix = 16;
}

namespace {
// Bytes of a table of `entries` pointers with its prefix; false when that does not fit size_t.
bool table_bytes(int64_t entries, size_t* bytes) {
  return serv::checked_mul(entries < 1 ? 1 : entries, sizeof(void*), bytes) &&
         serv::checked_add(*bytes, kTablePrefix, bytes);
}
}  // namespace

void** table_allocate(int64_t entries) {
  if (entries < 1) entries = 1;
  size_t bytes;
  if (!table_bytes(entries, &bytes)) return nullptr;
  auto* block = static_cast<unsigned char*>(qor_serv_allocate(bytes, 128));
  if (!block) return nullptr;
  std::memset(block, 0, bytes);
  std::memcpy(block, &entries, sizeof entries);
  return reinterpret_cast<void**>(block + kTablePrefix);
}

void table_release(void* table) {
  if (table) qor_serv_deallocate(static_cast<unsigned char*>(table) - kTablePrefix);
}

int64_t table_entries(const void* table) {
  if (!table) return 0;
  int64_t n;
  std::memcpy(&n, static_cast<const unsigned char*>(table) - kTablePrefix, sizeof n);
  return n;
}

// ---- quasi-uniform bucket table -------------------------------------------------------------------

namespace {

template <class T>
void build_buckets(DfTask1D* task) {
  const T* x = static_cast<const T*>(task->x);
  const int64_t nx = task->nx;
  uint32_t* tab = task->bucketTable;
  int64_t b = nx / 16;
  if (b < 16) b = 16;
  if (b > 1024) b = 1024;
  task->bucketCount = b;
  std::memset(tab, 0, kBucketTableBytes);
  uint32_t* lo = tab;      // lo of bucket k: tab[2k]
  uint32_t* hi = tab + 1;  // hi of bucket k: tab[2k+1]
  for (int64_t k = 0; k < b; ++k) lo[2 * k] = hi[2 * k] = kUnset;
  const T scale = T(T(b) / T(x[nx - 1] - x[0]));
  if (sizeof(T) == sizeof(double))
    task->bucketScale.d = static_cast<double>(scale);
  else
    task->bucketScale.f = static_cast<float>(scale);
  lo[0] = 0;
  for (int64_t i = 1; i < nx; ++i) {
    const T v = T((x[i] - x[0]) * scale);
    if (!(v >= T(1))) continue;  // bucket 0 (or not a number)
    int64_t k = v >= T(b) ? b : static_cast<int64_t>(v);
    if (hi[2 * (k - 1)] == kUnset) hi[2 * (k - 1)] = static_cast<uint32_t>(i);
    lo[2 * (k + 1)] = static_cast<uint32_t>(i);
  }
  hi[2 * (b - 1)] = static_cast<uint32_t>(nx - 1);
  for (int64_t k = 1; k < b; ++k)
    if (lo[2 * k] == kUnset) lo[2 * k] = lo[2 * (k - 1)];
  for (int64_t k = b - 2; k >= 0; --k)
    if (hi[2 * k] == kUnset) hi[2 * k] = hi[2 * (k + 1)];
  lo[2 * b] = lo[2 * (b - 1)];
  hi[2 * b] = hi[2 * (b - 1)];
}

}  // namespace

void build_bucket_table(DfTask1D* task) {
  if (!task->bucketTable || !task->x || task->nx < 2) return;
  if (task->isDouble)
    build_buckets<double>(task);
  else
    build_buckets<float>(task);
}

namespace {

// ---- y and coefficient tables ------------------------------------------------------------------

// Whether the y table for ny functions fits size_t and, for row storage (ny rows of nx values
// addressed from one pointer), whether that array could exist.
bool y_sizes_fit(int64_t nx, int64_t ny, int64_t yhint, size_t value_bytes) {
  size_t bytes;
  if (!table_bytes(yhint == QOR_DF_STORAGE_COLS ? 1 : ny, &bytes)) return false;
  if (yhint == QOR_DF_STORAGE_COLS || yhint == QOR_DF_STORAGE_PER_FUNCTION) return true;
  int64_t values;
  return serv::checked_mul(ny, nx, &values) && serv::checked_mul(values, value_bytes, &bytes);
}

template <class T>
int32_t set_y_table(DfTask1D* task, const T* y) {
  if (!y_sizes_fit(task->nx, task->ny, task->yhint, sizeof(T))) return DfErrMemory;
  const int64_t entries = task->yhint == QOR_DF_STORAGE_COLS ? 1 : task->ny;
  void** tab = table_allocate(entries);
  if (!tab) return DfErrMemory;
  table_release(task->yTable);
  task->yTable = const_cast<const void**>(tab);
  if (task->yhint == QOR_DF_STORAGE_COLS || task->yhint == QOR_DF_STORAGE_PER_FUNCTION) {
    tab[0] = const_cast<T*>(y);
  } else {
    for (int64_t j = 0; j < entries; ++j) tab[j] = const_cast<T*>(y + j * task->nx);
  }
  return DfOk;
}

template <class T>
int32_t set_coeff_table(DfTask1D* task, T* c, int64_t hint) {
  // Packed storage addresses ny blocks of order * cells coefficients: that array must be able
  // to exist.
  const bool packed = !(hint & QOR_DF_STORAGE_PER_FUNCTION);
  const int64_t cells = task->type == QOR_DF_TYPE_SUBBOTIN ? task->nx : task->nx - 1;
  int64_t stride = 0, values;
  size_t bytes;
  if (packed && !(serv::checked_mul(task->order, cells, &stride) && serv::checked_mul(stride, task->ny, &values) &&
                  serv::checked_mul(values, sizeof(T), &bytes)))
    return DfErrMemory;
  void** tab = table_allocate(task->ny);
  if (!tab) return DfErrMemory;
  table_release(task->coeffTable);
  task->coeffTable = tab;
  if (!packed) {
    tab[0] = c;
  } else {
    for (int64_t j = 0; j < task->ny; ++j) tab[j] = c + j * stride;
  }
  return DfOk;
}

// ---- the parameter table ------------------------------------------------------------------------

bool at_least_2(int64_t v) { return v >= 2; }
bool positive(int64_t v) { return v > 0; }
bool not_negative(int64_t v) { return v >= 0; }
bool partition_hint(int64_t v) {
  return v == QOR_DF_HINT_NONE || v == QOR_DF_HINT_NON_UNIFORM || v == QOR_DF_HINT_QUASI_UNIFORM ||
         v == QOR_DF_HINT_UNIFORM;
}
bool storage_hint(int64_t v) { return valid_storage_hint(v); }
// The types parameter DfParamType accepts (the order-less kinds are set with the spline editor).
bool value_type(int64_t v) {
  switch (v) {
    case QOR_DF_TYPE_DEFAULT: case QOR_DF_TYPE_SUBBOTIN: case QOR_DF_TYPE_NATURAL: case QOR_DF_TYPE_HERMITE:
    case QOR_DF_TYPE_BESSEL: case QOR_DF_TYPE_AKIMA: case QOR_DF_TYPE_HYMAN:
      return true;
    default: return false;
  }
}
bool ic_type(int64_t v) {
  return v == QOR_DF_IC_NONE || v == QOR_DF_IC_1ST_DER || v == QOR_DF_IC_2ND_DER || (v & QOR_DF_IC_SUBGRID) != 0;
}
bool zero_or_one(int64_t v) { return v == 0 || v == 1; }

void rebuild_on_non_uniform(DfTask1D* task, int64_t value) {
  if (value == QOR_DF_HINT_NON_UNIFORM) build_bucket_table(task);
}

enum class Field { None, X, YTable, Ic, Bc, CoeffTable };

struct Param {
  int64_t id;
  // pointer parameters
  Field field;
  int32_t null_status;
  // value parameters
  int64_t DfTask1D::*value64;
  int32_t DfTask1D::*value32;
  bool (*valid)(int64_t);
  int32_t invalid_status;
  void (*after)(DfTask1D*, int64_t);
};

constexpr Param kParams[] = {
    {DfParamX, Field::X, DfErrNullX, nullptr, nullptr, nullptr, 0, nullptr},
    {DfParamY, Field::YTable, DfErrNullY, nullptr, nullptr, nullptr, 0, nullptr},
    {DfParamIc, Field::Ic, DfErrNullIc, nullptr, nullptr, nullptr, 0, nullptr},
    {DfParamBc, Field::Bc, DfErrNullBc, nullptr, nullptr, nullptr, 0, nullptr},
    {DfParamCoeff, Field::CoeffTable, DfErrNullCoeff, nullptr, nullptr, nullptr, 0, nullptr},
    {DfParamNx, Field::None, 0, &DfTask1D::nx, nullptr, at_least_2, DfErrNx, nullptr},
    {DfParamXHint, Field::None, 0, &DfTask1D::xhint, nullptr, partition_hint, DfErrXHint, rebuild_on_non_uniform},
    {DfParamNy, Field::None, 0, &DfTask1D::ny, nullptr, positive, DfErrNy, nullptr},
    {DfParamYHint, Field::None, 0, &DfTask1D::yhint, nullptr, storage_hint, DfErrYHint, nullptr},
    {DfParamOrder, Field::None, 0, &DfTask1D::order, nullptr, not_negative, DfErrOrder, nullptr},
    {DfParamType, Field::None, 0, &DfTask1D::type, nullptr, value_type, DfErrType, nullptr},
    {DfParamIcType, Field::None, 0, &DfTask1D::icType, nullptr, ic_type, DfErrIcType, nullptr},
    {DfParamBcType, Field::None, 0, &DfTask1D::bcType, nullptr, not_negative, DfErrBcType, nullptr},
    {DfParamCoeffHint, Field::None, 0, &DfTask1D::coeffHint, nullptr, storage_hint, DfErrCoeffHint, nullptr},
    {DfParamCheckFlag, Field::None, 0, nullptr, &DfTask1D::checkFlag, zero_or_one, DfErrCheckFlag, nullptr},
};

const Param* find_param(int64_t id) {
  for (const Param& p : kParams)
    if (p.id == id) return &p;
  return nullptr;
}

const Param* find_pointer_param(int64_t id) {
  const Param* p = find_param(id);
  return p && p->field != Field::None ? p : nullptr;
}

const Param* find_value_param(int64_t id) {
  const Param* p = find_param(id);
  return p && p->field == Field::None ? p : nullptr;
}

// ---- operations shared by both precisions -------------------------------------------------------

template <class T>
int32_t new_task(DfTask1D** out, int64_t nx, const T* x, int64_t xhint, int64_t ny, const T* y,
                 int64_t yhint, int64_t intWidth) {
  if (!out) return DfErrNullTask;
  if (nx < 2) return DfErrNx;
  if (!x) return DfErrNullX;
  if (!partition_hint(xhint)) return DfErrXHint;
  if (ny <= 0 && y) return DfErrNy;
  if (ny != 0 && !y) return DfErrNullY;
  if (!valid_storage_hint(yhint)) return DfErrYHint;
  // Sizes that can not exist are refused before the record is made.
  if (y && !y_sizes_fit(nx, ny, yhint, sizeof(T))) return DfErrMemory;
  auto* task = static_cast<DfTask1D*>(qor_serv_allocate(sizeof(DfTask1D), 128));
  if (!task) return DfErrMemory;
  std::memset(static_cast<void*>(task), 0, sizeof(DfTask1D));
  *out = task;
  task->nx = nx;
  task->x = x;
  task->xhint = xhint;
  task->ny = ny;
  task->yhint = yhint;
  task->intWidth = intWidth != 0 ? 1 : 0;
  task->kindTag = kKindTag;
  task->isDouble = sizeof(T) == sizeof(double) ? 1 : 0;
  task->dimension = 1;
  if (y) {
    const int32_t st = set_y_table(task, y);
    if (st != DfOk) return st;
  }
  task->bucketTable = static_cast<uint32_t*>(qor_serv_allocate(kBucketTableBytes, 128));
  if (!task->bucketTable) return DfErrMemory;
  std::memset(task->bucketTable, 0, kBucketTableBytes);
  if (xhint != QOR_DF_HINT_UNIFORM) build_bucket_table(task);
  return DfOk;
}

template <class T>
int32_t edit_spline(DfTask1D* task, int64_t order, int64_t type, int64_t bcType, const T* bc,
                    int64_t icType, const T* ic, T* scoeff, int64_t coeffHint) {
  if (!task) return DfErrNullTask;
  if (order < 0) return DfErrOrder;
  if (type < 0) return DfErrType;
  task->order = order;
  task->type = type;
  const bool valueless_bc = bcType == QOR_DF_BC_NONE || bcType == QOR_DF_BC_NOT_A_KNOT ||
                            bcType == QOR_DF_BC_FREE_END || bcType == QOR_DF_BC_PERIODIC;
  if (!valueless_bc && !bc) return DfErrNullBc;
  task->bcType = bcType;
  task->bc = bc;
  if (icType != QOR_DF_IC_NONE && !ic) return DfErrNullIc;
  if (icType == QOR_DF_IC_NONE && ic) return DfErrIcType;
  task->icType = icType;
  task->ic = ic;
  if (scoeff) {
    if (task->ny <= 0) return DfErrNy;
    const int32_t st = set_coeff_table(task, scoeff, coeffHint);
    if (st != DfOk) return st;
  }
  task->coeffHint = coeffHint;
  return DfOk;
}

template <class T>
int32_t edit_ptr(DfTask1D* task, int64_t param, const T* ptr) {
  if (!task) return DfErrNullTask;
  if (task->dimension != 1) return DfOk;
  const Param* p = find_pointer_param(param);
  if (!p) return DfErrParam;
  if (!ptr) return p->null_status;
  switch (p->field) {
    case Field::X: task->x = ptr; return DfOk;
    case Field::Ic: task->ic = ptr; return DfOk;
    case Field::Bc: task->bc = ptr; return DfOk;
    case Field::YTable:
      if (task->ny <= 0) return DfErrNy;
      return set_y_table(task, ptr);
    case Field::CoeffTable:
      if (task->ny <= 0) return DfErrNy;
      return set_coeff_table(task, const_cast<T*>(ptr), task->coeffHint);
    case Field::None: break;
  }
  return DfErrParam;
}

int32_t edit_idx_ptr(DfTask1D* task, int64_t param, int64_t idx, const void* ptr) {
  if (!task) return DfErrNullTask;
  if (task->dimension != 1) return DfOk;
  if (param == DfParamY) {
    if (task->yhint == QOR_DF_STORAGE_COLS) return DfErrYHint;
    if (idx < 0 || idx >= task->ny) return DfErrIndex;
    if (!ptr) return DfErrNullY;
    if (idx >= table_entries(task->yTable)) return DfErrNullY;  // no table of that size yet
    task->yTable[idx] = ptr;
    return DfOk;
  }
  if (param == DfParamCoeff) {
    if (idx < 0 || idx >= task->ny) return DfErrIndex;
    if (!ptr) return DfErrNullCoeff;
    if (idx >= table_entries(task->coeffTable)) return DfErrNullCoeff;  // no table of that size
    task->coeffTable[idx] = const_cast<void*>(ptr);
    return DfOk;
  }
  return DfErrParam;
}

int32_t query_ptr(DfTask1D* task, int64_t param, const void** out) {
  if (!task) return DfErrNullTask;
  if (!out) return DfErrNullOut;
  if (task->dimension != 1) return DfOk;
  const Param* p = find_pointer_param(param);
  if (!p) return DfErrParam;
  switch (p->field) {
    case Field::X: *out = task->x; break;
    case Field::Ic: *out = task->ic; break;
    case Field::Bc: *out = task->bc; break;
    case Field::YTable: *out = table_entries(task->yTable) ? task->yTable[0] : nullptr; break;
    case Field::CoeffTable: *out = table_entries(task->coeffTable) ? task->coeffTable[0] : nullptr; break;
    case Field::None: return DfErrParam;
  }
  return DfOk;
}

int32_t query_idx_ptr(DfTask1D* task, int64_t param, int64_t idx, const void** out) {
  if (!task) return DfErrNullTask;
  if (!out) return DfErrNullOut;
  if (idx < 0 || idx >= task->ny) return DfErrIndex;
  if (task->dimension != 1) return DfOk;
  if (param == DfParamY) {
    if (task->yhint == QOR_DF_STORAGE_COLS) return DfErrYHint;
    *out = idx < table_entries(task->yTable) ? task->yTable[idx] : nullptr;
    return DfOk;
  }
  if (param == DfParamCoeff) {
    *out = idx < table_entries(task->coeffTable) ? task->coeffTable[idx] : nullptr;
    return DfOk;
  }
  return DfErrParam;
}

}  // namespace
}  // namespace qor::df

using namespace qor::df;

extern "C" {

QOR_API int32_t qor_df_kernel_dNewTask1D(DfTask1D** task, int64_t nx, const double* x, int64_t xhint,
                                         int64_t ny, const double* y, int64_t yhint, int64_t intWidth) {
  return new_task(task, nx, x, xhint, ny, y, yhint, intWidth);
}
QOR_API int32_t qor_df_kernel_sNewTask1D(DfTask1D** task, int64_t nx, const float* x, int64_t xhint,
                                         int64_t ny, const float* y, int64_t yhint, int64_t intWidth) {
  return new_task(task, nx, x, xhint, ny, y, yhint, intWidth);
}

QOR_API int32_t qor_df_kernel_DeleteTask(DfTask1D** task) {
  if (!task || !*task) return DfErrNullTask;
  DfTask1D* t = *task;
  table_release(t->yTable);
  table_release(t->coeffTable);
  qor_serv_deallocate(t->bucketTable);
  qor_serv_deallocate(t);
  *task = nullptr;
  return DfOk;
}

QOR_API int32_t qor_df_kernel_dEditPPSpline1D(DfTask1D* task, int64_t order, int64_t type, int64_t bcType,
                                              const double* bc, int64_t icType, const double* ic,
                                              double* scoeff, int64_t coeffHint) {
  return edit_spline(task, order, type, bcType, bc, icType, ic, scoeff, coeffHint);
}
QOR_API int32_t qor_df_kernel_sEditPPSpline1D(DfTask1D* task, int64_t order, int64_t type, int64_t bcType,
                                              const float* bc, int64_t icType, const float* ic,
                                              float* scoeff, int64_t coeffHint) {
  return edit_spline(task, order, type, bcType, bc, icType, ic, scoeff, coeffHint);
}

QOR_API int32_t qor_df_kernel_dEditPtr(DfTask1D* task, int64_t param, const double* ptr) {
  return edit_ptr(task, param, ptr);
}
QOR_API int32_t qor_df_kernel_sEditPtr(DfTask1D* task, int64_t param, const float* ptr) {
  return edit_ptr(task, param, ptr);
}
QOR_API int32_t qor_df_kernel_dEditIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const double* ptr) {
  return edit_idx_ptr(task, param, idx, ptr);
}
QOR_API int32_t qor_df_kernel_sEditIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const float* ptr) {
  return edit_idx_ptr(task, param, idx, ptr);
}

QOR_API int32_t qor_df_kernel_iEditVal(DfTask1D* task, int64_t param, int64_t value) {
  if (!task) return DfErrNullTask;
  if (task->dimension != 1) return DfOk;
  const Param* p = find_value_param(param);
  if (!p) return DfErrParam;
  if (!p->valid(value)) return p->invalid_status;
  if (p->value64)
    task->*(p->value64) = value;
  else
    task->*(p->value32) = static_cast<int32_t>(value);
  if (p->after) p->after(task, value);
  return DfOk;
}

QOR_API int32_t qor_df_kernel_dQueryPtr(DfTask1D* task, int64_t param, const double** out) {
  return query_ptr(task, param, reinterpret_cast<const void**>(out));
}
QOR_API int32_t qor_df_kernel_sQueryPtr(DfTask1D* task, int64_t param, const float** out) {
  return query_ptr(task, param, reinterpret_cast<const void**>(out));
}
QOR_API int32_t qor_df_kernel_dQueryIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const double** out) {
  return query_idx_ptr(task, param, idx, reinterpret_cast<const void**>(out));
}
QOR_API int32_t qor_df_kernel_sQueryIdxPtr(DfTask1D* task, int64_t param, int64_t idx, const float** out) {
  return query_idx_ptr(task, param, idx, reinterpret_cast<const void**>(out));
}

QOR_API int32_t qor_df_kernel_iQueryVal(DfTask1D* task, int64_t param, void* out) {
  if (!task) return DfErrNullTask;
  if (!out) return DfErrNullOut;
  if (task->dimension != 1) return DfOk;
  const Param* p = find_value_param(param);
  if (!p) return DfErrParam;
  const int64_t v = p->value64 ? task->*(p->value64) : static_cast<int64_t>(task->*(p->value32));
  if (task->intWidth) {
    std::memcpy(out, &v, sizeof v);
  } else {
    const int32_t v32 = static_cast<int32_t>(v);
    std::memcpy(out, &v32, sizeof v32);
  }
  return DfOk;
}

}  // extern "C"
