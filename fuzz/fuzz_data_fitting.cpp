// Fuzz target: data-fitting tasks. The input decodes into a task creation (double or single,
// 32- or 64-bit integers, any partition, function count, storage hints — valid sizes or hostile
// ones the library must refuse or only store) followed by up to 24 calls: every editor and
// query with any parameter id, index and value, spline descriptions of every order, type and
// condition kind, linear, quadratic and cubic construction (six types), cell search by the task entry point (with
// and without a user callback) and by each per-method function, interpolation with every
// request type, derivative list, result layout and callback mix, the per-kind evaluators, and
// integration with every limit hint, result hint and callback mix.
//
// The harness keeps its arrays sized for the partition, function count and order the task was
// made with (nx0, ny0, kMaxOrder). A call that changes one of those to something larger is
// allowed (the editors must cope), but then compute calls are skipped until a valid value is
// back, since the library is entitled to read that much of the caller's arrays.
//
// Cells found by a search of a strictly increasing partition are checked against
// std::upper_bound (ordinary sites only; a user callback may place sites as it likes).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz_common.h"
#include "qor/df.h"

namespace {

using qor_fuzz::fill;
using qor_fuzz::hostile_int;

constexpr int64_t kMaxOrder = 8;

template <typename T>
struct Api;
#define QOR_FUZZ_DF_API(T, t, P, SCB, ICB, NCB)                                                     \
  template <>                                                                                      \
  struct Api<T> {                                                                                  \
    using Part = P;                                                                                \
    using SearchCB = SCB;                                                                          \
    using InterpCB = ICB;                                                                          \
    using IntegrCB = NCB;                                                                          \
    static constexpr auto NewTask = qor_df_kernel_##t##NewTask1D;                                  \
    static constexpr auto EditPP = qor_df_kernel_##t##EditPPSpline1D;                              \
    static constexpr auto EditPtr = qor_df_kernel_##t##EditPtr;                                    \
    static constexpr auto EditIdxPtr = qor_df_kernel_##t##EditIdxPtr;                              \
    static constexpr auto QueryPtr = qor_df_kernel_##t##QueryPtr;                                  \
    static constexpr auto QueryIdxPtr = qor_df_kernel_##t##QueryIdxPtr;                            \
    static constexpr auto Linear = qor_df_kernel_##t##DFLinearSpline1D;                            \
    static constexpr auto Quadratic = qor_df_kernel_##t##DFQuadraticSpline1D;                      \
    static constexpr decltype(&qor_df_kernel_##t##DFLinearSpline1D) Cubic[6] = {                   \
        qor_df_kernel_##t##DFDefaultCubicSpline1D, qor_df_kernel_##t##DFNaturalCubicSpline1D,      \
        qor_df_kernel_##t##DFHermiteCubicSpline1D, qor_df_kernel_##t##DFBesselCubicSpline1D,       \
        qor_df_kernel_##t##DFAkimaCubicSpline1D,   qor_df_kernel_##t##DFHymanCubicSpline1D};       \
    static constexpr auto Integrate = qor_df_kernel_##t##DFIntegrate1D;                            \
    static constexpr auto Search = qor_df_kernel_##t##DFSearch1D;                                  \
    static constexpr auto Interpolate = qor_df_kernel_##t##DFInterpolate1D;                        \
    static constexpr auto Uniform = qor_df_kernel_##t##DFUniformSearch1D;                         \
    static constexpr auto QuasiUniform = qor_df_kernel_##t##DFQuasiUniformSearch1D32;              \
    static constexpr auto Peak = qor_df_kernel_##t##DFPeakSearch1D;                               \
    static constexpr auto Hybrid = qor_df_kernel_##t##DFHybridSearch1D;                           \
    static constexpr auto Sorted = qor_df_kernel_##t##DFSortedSearch1D;                           \
    static constexpr auto UserDef = qor_df_kernel_##t##DFUserDefSearch1D;                         \
    static constexpr auto UniUserDef = qor_df_kernel_##t##DFUniUserDefSearch1D;                   \
    static constexpr decltype(&qor_df_kernel_##t##_LinearSplineEval32) Eval[8] = {                 \
        qor_df_kernel_##t##_LinearSplineEval32,    qor_df_kernel_##t##_QuadraticSplineEval32,      \
        qor_df_kernel_##t##_CubicSplineEval32,     qor_df_kernel_##t##_QuadSubbSplineEval32,       \
        qor_df_kernel_##t##_ArbitrSplineEval32,    qor_df_kernel_##t##_StepLeftSplineEval32,       \
        qor_df_kernel_##t##_StepRightSplineEval32, qor_df_kernel_##t##_LookUpSplineEval32};        \
  };
QOR_FUZZ_DF_API(double, d, DfdEvalPartition, DfdSearchCallBack, DfdInterpCallBack, DfdIntegrCallBack)
QOR_FUZZ_DF_API(float, s, DfsEvalPartition, DfsSearchCallBack, DfsInterpCallBack, DfsIntegrCallBack)
#undef QOR_FUZZ_DF_API

// State the callbacks read: how many values per site they must write, the partition size.
struct CallbackState {
  int64_t nder = 1;
  int64_t nx = 2;
  int32_t status = 0;
};
CallbackState g_cb;

template <typename T>
int32_t integr_callback(int64_t* n, int64_t, const T* a, const T* b, T* r, const void*, int64_t) {
  for (int64_t i = 0; i < *n; ++i) r[i] = b[i] - a[i];
  return g_cb.status;
}

template <typename T>
int32_t interp_callback(int64_t* n, int64_t, const int64_t*, const T* site, T* r, const void*, int64_t) {
  for (int64_t i = 0; i < *n * g_cb.nder; ++i) r[i] = site[i / g_cb.nder];
  return g_cb.status;
}

template <typename T>
int32_t search_callback(int64_t* n, const T*, int64_t* cell, int32_t* flag, const void*, int64_t) {
  for (int64_t i = 0; i < *n; ++i) {
    cell[i] = (i * 7) % (g_cb.nx + 1);  // a valid cell, not necessarily the right one
    flag[i] = int32_t(i & 1);
  }
  return g_cb.status;
}

template <typename T>
struct Harness {
  using A = Api<T>;
  FuzzedDataProvider& in;
  bool wide;
  int64_t nx0, ny0;
  std::vector<T> x, y, bc, ic, coeff;
  std::vector<std::vector<T>> yf, cf;  // per-function arrays
  DfTask1D* task = nullptr;
  // what the task holds, as far as the harness knows; `safe` is false while something exceeds
  // the harness's arrays
  int64_t nx, ny, order = 0;
  bool x_sorted = true;
  // Whether the task's coefficient pointers lie inside the harness's arrays. The task fills its
  // packed coefficient table when the array is handed over, with the order of that moment, and
  // keeps it when the order changes later: an array handed over while the order exceeded
  // kMaxOrder leaves pointers the library is entitled to follow beyond that array, until the
  // coefficients are handed over again.
  bool coeff_ok = true;

  void note_coeff_handed_over(int32_t status) {
    if (status == DfOk && task) coeff_ok = order <= kMaxOrder;
  }

  Harness(FuzzedDataProvider& input, bool w, int64_t n_x, int64_t n_y)
      : in(input), wide(w), nx0(n_x), ny0(n_y), nx(n_x), ny(n_y) {
    x.resize(size_t(nx0));
    const int style = in.ConsumeIntegralInRange<int>(0, 7);
    if (style == 0) {
      fill(in, x.data(), x.size());
      x_sorted = std::is_sorted(x.begin(), x.end()) && std::adjacent_find(x.begin(), x.end()) == x.end() &&
                 std::all_of(x.begin(), x.end(), [](T v) { return std::isfinite(v); });
    } else {
      T v = T(in.ConsumeIntegralInRange<int>(-50, 50));
      for (auto& e : x) {
        e = v;
        v += style == 1 ? T(1) : T(in.ConsumeIntegralInRange<int>(1, 16)) / T(4);
      }
    }
    y.resize(size_t(nx0 * ny0));
    fill(in, y.data(), y.size());
    bc.resize(2);
    fill(in, bc.data(), 2);
    ic.resize(size_t(std::max<int64_t>(nx0 + 1, 2)));  // a Subbotin sub-grid given with its ends: nx + 1 points
    for (size_t i = 0; i < ic.size(); ++i) ic[i] = i < size_t(nx0) - 1 ? (x[i] + x[i + 1]) / T(2) : x[0];
    if (in.ConsumeBool()) fill(in, ic.data(), ic.size());
    coeff.assign(size_t(ny0 * kMaxOrder * nx0), T(0));
    yf.assign(size_t(ny0), std::vector<T>(size_t(nx0)));
    cf.assign(size_t(ny0), std::vector<T>(size_t(kMaxOrder * nx0)));
    // Entry 0 of a pointer table is also what the task reads if the hint later changes to a
    // contiguous layout, so it is as large as the contiguous arrays.
    yf[0].resize(y.size());
    cf[0].resize(coeff.size());
    for (auto& f : yf) fill(in, f.data(), f.size());
  }

  // The last value handed to the task for nx, ny and order (the constructor, iEditVal or the
  // spline editor), which refresh() needs when a 32-bit query returns only its low half.
  int64_t handed[3] = {0, 0, 0};
  void hand(int k, int64_t v) { handed[k] = v; }

  // Reads back the sizes the task holds (an editor that fails may still have stored a value). A
  // task with 32-bit integers answers with the low 32 bits of a 64-bit field: when they are those
  // of the value last handed over, that value is the one the task holds.
  void refresh() {
    if (!task) return;
    const int64_t params[3] = {DfParamNx, DfParamNy, DfParamOrder};
    int64_t* fields[3] = {&nx, &ny, &order};
    for (int k = 0; k < 3; ++k) {
      int64_t v64 = 0;
      int32_t v32 = 0;
      if (qor_df_kernel_iQueryVal(task, params[k], wide ? static_cast<void*>(&v64) : &v32) == DfOk)
        *fields[k] = wide ? v64 : (int32_t(handed[k]) == v32 ? handed[k] : v32);
    }
  }

  bool safe() const { return nx >= 2 && nx <= nx0 && ny >= 1 && ny <= ny0 && order >= 0 && order <= kMaxOrder; }
  // Calls that read or write coefficients need the coefficient pointers inside the arrays too.
  bool coeff_safe() const { return safe() && coeff_ok; }

  int64_t size_value(int64_t valid_max, int64_t valid_min) {
    if (in.ConsumeIntegralInRange<int>(0, 3) != 0) return in.ConsumeIntegralInRange<int64_t>(valid_min, valid_max);
    int64_t v = hostile_int(in);
    // The library allocates tables of 8 bytes per function: a count between 2^20 and 2^41 is a
    // legitimate request for up to terabytes (the run would measure the machine, not the library), so
    // it is lowered to 2^20; beyond 2^41 the allocation fails at once and must be reported.
    if (v > (int64_t(1) << 20) && v < (int64_t(1) << 41)) v = int64_t(1) << 20;
    return v;
  }

  // A partition size: valid for x, or one the library must refuse (fewer than two points). A
  // larger partition than x holds would be the caller's fault: the library reads x[nx - 1]
  // when it builds the bucket table.
  int64_t partition_size() {
    if (in.ConsumeIntegralInRange<int>(0, 3) != 0) return in.ConsumeIntegralInRange<int64_t>(2, nx0);
    const int64_t v = hostile_int(in);
    return v < 2 ? v : in.ConsumeIntegralInRange<int64_t>(-1, 1);
  }

  int64_t hint_value(std::initializer_list<int64_t> valid) {
    if (in.ConsumeIntegralInRange<int>(0, 4) == 0) return hostile_int(in);
    return valid.begin()[in.ConsumeIntegralInRange<size_t>(0, valid.size() - 1)];
  }

  void create() {
    nx = in.ConsumeIntegralInRange<int>(0, 5) ? nx0 : partition_size();
    ny = size_value(ny0, 1);
    hand(0, nx);
    hand(1, ny);
    hand(2, 0);
    const int64_t xhint = hint_value({0, 1, 2, 4});
    const int64_t yhint = hint_value({0, 16, 32, 128});
    const T* yp = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? nullptr : (yhint == 128 ? yf[0].data() : y.data());
    const T* xp = in.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : x.data();
    g_cb.nx = nx0;
    if (A::NewTask(in.ConsumeIntegralInRange<int>(0, 31) == 0 ? nullptr : &task, nx, xp, xhint, ny, yp, yhint,
                   wide ? 1 : 0) != DfOk) {
      nx = nx0;  // the record may exist anyway; the harness keeps using whatever was stored
    }
    order = 0;
    coeff_ok = true;
    if (yhint == 128 && task)
      for (int64_t j = 1; j < ny0; ++j) A::EditIdxPtr(task, DfParamY, j, yf[size_t(j)].data());
    refresh();
  }

  const T* pointer_for(int64_t param) {
    switch (param) {
      case DfParamX: return x.data();
      case DfParamY: return y.data();
      case DfParamIc: return ic.data();
      case DfParamBc: return bc.data();
      case DfParamCoeff: return coeff.data();
      default: return nullptr;
    }
  }

  void edit() {
    const int64_t param = in.ConsumeBool() ? in.ConsumeIntegralInRange<int64_t>(0, 24) : hostile_int(in);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
      case 0: {
        const int32_t st = A::EditPtr(task, param, in.ConsumeIntegralInRange<int>(0, 7) ? pointer_for(param) : nullptr);
        if (param == DfParamCoeff) note_coeff_handed_over(st);
        break;
      }
      case 1: {
        const int64_t idx = in.ConsumeBool() ? in.ConsumeIntegralInRange<int64_t>(-1, ny0) : hostile_int(in);
        const T* ptr = nullptr;
        if (idx >= 0 && idx < ny0) ptr = param == DfParamCoeff ? cf[size_t(idx)].data() : yf[size_t(idx)].data();
        if (in.ConsumeIntegralInRange<int>(0, 7) == 0) ptr = nullptr;
        A::EditIdxPtr(task, param, idx, ptr);
        break;
      }
      default: {
        int64_t value;
        switch (param) {
          case DfParamNx: hand(0, value = partition_size()); break;
          case DfParamNy: hand(1, value = size_value(ny0, 1)); break;
          case DfParamOrder: hand(2, value = size_value(kMaxOrder, 0)); break;
          case DfParamXHint: value = hint_value({0, 1, 2, 4}); break;
          case DfParamYHint:
          case DfParamCoeffHint: value = hint_value({0, 16, 32, 128}); break;
          default: value = in.ConsumeBool() ? in.ConsumeIntegralInRange<int64_t>(-1, 130) : hostile_int(in);
        }
        qor_df_kernel_iEditVal(task, param, value);
      }
    }
    refresh();
  }

  void query() {
    const int64_t param = in.ConsumeBool() ? in.ConsumeIntegralInRange<int64_t>(0, 24) : hostile_int(in);
    const T* out = nullptr;
    int64_t value = 0;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
      case 0: A::QueryPtr(task, param, in.ConsumeBool() ? &out : nullptr); break;
      case 1: A::QueryIdxPtr(task, param, hostile_int(in) % (ny0 + 2), in.ConsumeBool() ? &out : nullptr); break;
      default: qor_df_kernel_iQueryVal(task, param, in.ConsumeBool() ? &value : nullptr);
    }
  }

  void describe() {
    static const int64_t kBc[] = {0, 1, 2, 4, 8, 12, 16, 24, 32, 36, 48, 64, 128};
    static const int64_t kIc[] = {0, 1, 2, 8, 12};
    const int64_t o = in.ConsumeBool() ? in.PickValueInArray({0, 2, 3, 4}) : size_value(kMaxOrder, 0);
    hand(2, o);
    const int64_t type = in.ConsumeBool() ? in.ConsumeIntegralInRange<int64_t>(0, 9) : hostile_int(in);
    const int64_t bcType = in.ConsumeBool() ? in.PickValueInArray(kBc) : hostile_int(in);
    const int64_t icType = in.ConsumeBool() ? in.PickValueInArray(kIc) : hostile_int(in);
    const int64_t coeffHint = hint_value({0, 16, 32, 128});
    T* sc = coeffHint == 128 ? cf[0].data() : coeff.data();
    const int nulls = in.ConsumeIntegral<uint8_t>();
    const int32_t st = A::EditPP(task, o, type, bcType, nulls & 1 ? nullptr : bc.data(), icType,
                                 nulls & 2 ? nullptr : ic.data(), nulls & 4 ? nullptr : sc, coeffHint);
    if (st == DfOk && task && coeffHint == 128)
      for (int64_t j = 1; j < ny0; ++j) A::EditIdxPtr(task, DfParamCoeff, j, cf[size_t(j)].data());
    refresh();
    if (!(nulls & 4)) note_coeff_handed_over(st);
  }

  void construct() {
    if (!coeff_safe()) return;
    const int64_t method = in.ConsumeIntegralInRange<int>(0, 7) ? 0 : hostile_int(in);
    const int64_t format = in.ConsumeIntegral<int64_t>();
    const ThreadingServices* th = qor_fuzz::pick_threading(in);
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
      case 0: A::Linear(task, format, method, th); break;
      case 1: A::Quadratic(task, format, method, th); break;
      default: A::Cubic[in.ConsumeIntegralInRange<int>(0, 5)](task, format, method, th);
    }
  }

  // Integrals over limit pairs with every hint and callback mix.
  void integrate() {
    if (!coeff_safe()) return;
    const int64_t n = site_count();
    std::vector<T> l = sites(n), rl = sites(n);
    std::vector<T> r(size_t(std::max<int64_t>(n, 1) * ny));
    const int64_t lhint = hint_value({0, QOR_DF_SITES_SORTED, QOR_DF_SITES_UNIFORM, 0});
    const int64_t rhint = hint_value({0, QOR_DF_SITES_SORTED, QOR_DF_SITES_UNIFORM, 0});
    const int64_t reshint = hint_value({0, 16, 32, 128});
    std::vector<T> ldh = datahint(), rdh = datahint();
    const int cbs = in.ConsumeIntegral<uint8_t>();
    g_cb.status = in.ConsumeIntegralInRange<int>(0, 7) ? 0 : -7;
    typename A::IntegrCB cb = &integr_callback<T>;
    A::Integrate(task, 0, n, in.ConsumeIntegralInRange<int>(0, 15) ? l.data() : nullptr, lhint,
                 in.ConsumeIntegralInRange<int>(0, 15) ? rl.data() : nullptr, rhint,
                 in.ConsumeBool() ? ldh.data() : nullptr, in.ConsumeBool() ? rdh.data() : nullptr,
                 in.ConsumeIntegralInRange<int>(0, 15) ? r.data() : nullptr, reshint, cbs & 1 ? cb : nullptr, nullptr,
                 cbs & 2 ? cb : nullptr, nullptr, cbs & 4 ? cb : nullptr, nullptr,
                 cbs & 8 ? &search_callback<T> : nullptr, nullptr, qor_fuzz::pick_threading(in));
  }

  int64_t site_count() { return in.ConsumeIntegralInRange<int64_t>(in.ConsumeBool() ? -2 : 0, in.ConsumeBool() ? 40 : 300); }

  std::vector<T> sites(int64_t n) {
    std::vector<T> s(size_t(std::max<int64_t>(n, 2)));
    const T lo = x[0] - T(2), hi = x[size_t(nx0 - 1)] + T(2);
    const int style = in.ConsumeIntegralInRange<int>(0, 3);
    for (size_t i = 0; i < s.size(); ++i) {
      if (style == 0) s[i] = x[size_t(in.ConsumeIntegralInRange<int64_t>(0, nx0 - 1))];  // on breakpoints
      else if (style == 1) s[i] = lo + (hi - lo) * T(in.ConsumeProbability<float>());
      else if (style == 2) s[i] = lo + (hi - lo) * T(i) / T(s.size());                   // sorted
      else fill(in, &s[i], 1);
    }
    return s;
  }

  std::vector<T> datahint() {
    std::vector<T> d(5, T(0));
    d[1] = in.ConsumeBool() ? T(in.ConsumeIntegralInRange<int>(0, 1)) : T(in.ConsumeIntegralInRange<int>(-1, 3));
    d[4] = T(in.ConsumeIntegralInRange<int64_t>(-2, nx0 + 2));
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0) fill(in, d.data(), d.size());
    return d;
  }

  // Cells of ordinary sites must be the conventional ones when x is strictly increasing.
  void check_cells(const std::vector<T>& s, int64_t n, const void* cell) {
    if (!x_sorted || nx != nx0 || !task) return;
    int64_t xhint = 0;
    qor_df_kernel_iQueryVal(task, DfParamXHint, wide ? static_cast<void*>(&xhint) : nullptr);
    if (!wide || xhint == QOR_DF_HINT_UNIFORM) return;
    for (int64_t i = 0; i < n; ++i) {
      if (!std::isfinite(s[size_t(i)])) continue;
      int64_t want = std::upper_bound(x.begin(), x.end(), s[size_t(i)]) - x.begin();
      if (s[size_t(i)] == x[size_t(nx0 - 1)]) want = nx0 - 1;
      const int64_t got = static_cast<const int64_t*>(cell)[i];
      if (got != want) {
        fprintf(stderr, "wrong cell: site %d = %.17g, cell %lld, expected %lld\n", int(i), double(s[size_t(i)]),
                (long long)got, (long long)want);
        std::abort();
      }
    }
  }

  void search() {
    if (!safe()) return;
    const int64_t n = site_count();
    std::vector<T> s = sites(n);
    std::vector<int64_t> cell(size_t(std::max<int64_t>(n, 1)));
    const int64_t sitehint = hint_value({0, QOR_DF_SITES_SORTED, QOR_DF_SITES_UNIFORM, 0});
    std::vector<T> dh = datahint();
    const bool use_dh = in.ConsumeBool();
    const bool callback = in.ConsumeIntegralInRange<int>(0, 3) == 0;
    g_cb.status = in.ConsumeBool() ? 0 : in.PickValueInArray({-1, 1, 1000, 5});
    g_cb.nx = nx;
    const int32_t st = A::Search(task, in.ConsumeIntegralInRange<int>(0, 7) ? 0 : hostile_int(in), n, s.data(),
                                 sitehint, use_dh ? dh.data() : nullptr, cell.data(),
                                 callback ? &search_callback<T> : nullptr, nullptr, qor_fuzz::pick_threading(in));
    if (st == DfOk && !callback && sitehint != QOR_DF_SITES_UNIFORM) check_cells(s, n, cell.data());
  }

  void search_direct() {
    const int64_t n = site_count();
    std::vector<T> s = sites(n);
    std::vector<int32_t> cell(size_t(std::max<int64_t>(n, 1)));
    std::vector<int32_t> flag(size_t(std::max<int64_t>(n, 1)));
    const int64_t m = in.ConsumeIntegralInRange<int64_t>(in.ConsumeBool() ? -1 : 2, nx0);
    const T scale = in.ConsumeIntegralInRange<int>(0, 3) ? T(m - 1) / (x[size_t(nx0 - 1)] - x[0]) : in.ConsumeFloatingPoint<T>();
    int64_t running = in.ConsumeIntegralInRange<int64_t>(0, std::max<int64_t>(m - 1, 0));
    std::vector<uint32_t> buckets(2 * 1026);
    for (auto& b : buckets) b = in.ConsumeIntegralInRange<uint32_t>(0, uint32_t(std::max<int64_t>(m - 1, 0)));
    g_cb.status = in.ConsumeBool() ? 0 : 1000;
    g_cb.nx = std::max<int64_t>(m, 0);
    const T peak = in.ConsumeIntegralInRange<int>(0, 7) ? T(in.ConsumeIntegralInRange<int64_t>(-1, nx0 + 1)) : in.ConsumeFloatingPoint<T>();
    switch (in.ConsumeIntegralInRange<int>(0, 6)) {
      case 0: {  // the uniform method reads only the two ends
        const T ends[2] = {x[0], x[size_t(nx0 - 1)]};
        A::Uniform(m, ends, n, s.data(), 0, scale, 0, 0, 0, cell.data());
        break;
      }
      case 1: A::QuasiUniform(m, x.data(), n, s.data(), 0, scale, 0, 0, 0, cell.data()); break;
      // Known fault, not guarded: on a NaN site with a peak index at or beyond nx the peak
      // method returns cell 0 (a wrong cell, not a crash; cells are not compared here).
      case 2: A::Peak(m, x.data(), n, s.data(), 0, peak, 0, 0, 0, cell.data()); break;
      case 3: A::Hybrid(m, x.data(), n, s.data(), 0, scale, 0, 0, buckets.data(), cell.data()); break;
      case 4: A::Sorted(m, x.data(), n, s.data(), in.ConsumeBool() ? &running : nullptr, 0, 0, 0, 0, 0, cell.data()); break;
      case 5:
        A::UserDef(m, x.data(), n, s.data(), 0, 0, 0, 0, 0, 0, cell.data(), 0,
                   in.ConsumeBool() ? &search_callback<T> : nullptr, nullptr, 0, flag.data());
        break;
      default:
        A::UniUserDef(m, x.data(), n, s.data(), 0, scale, 0, 0, 0, cell.data(), 0,
                      in.ConsumeBool() ? &search_callback<T> : nullptr, nullptr, 0, flag.data());
    }
  }

  void interpolate() {
    if (!coeff_safe()) return;
    const int64_t n = site_count();
    std::vector<T> s = sites(n);
    const int64_t ndorder = in.ConsumeIntegralInRange<int64_t>(-1, 8);
    std::vector<int64_t> dorder64(8);
    std::vector<int32_t> dorder32(8);
    int64_t nder = 0;
    for (int k = 0; k < 8; ++k) {
      dorder64[size_t(k)] = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 1) : in.ConsumeIntegral<int32_t>();
      dorder32[size_t(k)] = int32_t(dorder64[size_t(k)]);
      if (k < ndorder && dorder64[size_t(k)] != 0) ++nder;
    }
    const bool null_dorder = in.ConsumeIntegralInRange<int>(0, 3) == 0;
    if (null_dorder || ndorder <= 0) nder = 1;
    g_cb.nder = nder;
    g_cb.status = in.ConsumeIntegralInRange<int>(0, 7) ? 0 : -7;
    std::vector<T> r(size_t(std::max<int64_t>(n, 1) * ny * nder));
    std::vector<int64_t> cell(size_t(std::max<int64_t>(n, 1)));
    static const int64_t kTypes[] = {1, 2, 3, 4, 5, 6, 0, 8};
    const int64_t type = in.ConsumeBool() ? in.PickValueInArray(kTypes) : hostile_int(in);
    for (size_t i = 0; i < cell.size(); ++i) {  // given cells: any cell from 0 to nx
      const int64_t c = in.ConsumeIntegralInRange<int64_t>(0, nx);
      if (wide) cell[i] = c;
      else reinterpret_cast<int32_t*>(cell.data())[i] = int32_t(c);
    }
    const int64_t sitehint = hint_value({0, QOR_DF_SITES_SORTED, QOR_DF_SITES_UNIFORM, 0});
    const int64_t rhint = hint_value({0, 16, 32, 128, 256, 512});
    std::vector<T> dh = datahint();
    const int cbs = in.ConsumeIntegral<uint8_t>();
    typename A::InterpCB cb = &interp_callback<T>;
    const void* dorder = null_dorder ? nullptr : (wide ? static_cast<const void*>(dorder64.data()) : dorder32.data());
    A::Interpolate(task, type, in.ConsumeIntegralInRange<int>(0, 7) ? 0 : hostile_int(in), n,
                   in.ConsumeIntegralInRange<int>(0, 15) ? s.data() : nullptr, sitehint, ndorder, dorder,
                   in.ConsumeBool() ? dh.data() : nullptr, in.ConsumeIntegralInRange<int>(0, 15) ? r.data() : nullptr,
                   rhint, in.ConsumeIntegralInRange<int>(0, 15) ? cell.data() : nullptr, cbs & 1 ? cb : nullptr,
                   nullptr, cbs & 2 ? cb : nullptr, nullptr, cbs & 4 ? cb : nullptr, nullptr,
                   cbs & 8 ? &search_callback<T> : nullptr, nullptr, qor_fuzz::pick_threading(in));
  }

  void evaluate() {
    typename A::Part part{};
    part.nx = in.ConsumeIntegralInRange<int64_t>(2, nx0);
    part.x = x.data();
    part.flags = in.ConsumeBool() ? 4 : 0;
    part.h = (x[1] - x[0]) / T(part.nx - 1);
    part.order = in.ConsumeIntegralInRange<int64_t>(0, kMaxOrder);
    part.icType = in.PickValueInArray({0, 8, 12});
    part.ic = in.ConsumeBool() ? ic.data() : nullptr;
    const int64_t n = in.ConsumeIntegralInRange<int64_t>(-1, 64);
    std::vector<T> s = sites(n);
    std::vector<int32_t> cell(size_t(std::max<int64_t>(n, 1)));
    for (auto& c : cell) c = in.ConsumeIntegralInRange<int32_t>(0, int32_t(part.nx));
    int32_t ders[kMaxOrder];
    int64_t nder = 0;
    for (int k = 0; k < kMaxOrder; ++k)
      if (in.ConsumeBool()) ders[nder++] = k;
    std::vector<T> data(size_t(kMaxOrder * (nx0 + 1)));
    fill(in, data.data(), data.size());
    std::vector<T> out(size_t(std::max<int64_t>(n, 1) * std::max<int64_t>(nder, 1)));
    A::Eval[in.ConsumeIntegralInRange<int>(0, 7)](&part, n, s.data(), cell.data(), data.data(), 1, 0, nder, ders,
                                                  out.data());
  }

  void run() {
    create();
    for (int op = 0; op < 24 && in.remaining_bytes() > 0; ++op) {
      switch (in.ConsumeIntegralInRange<int>(0, 11)) {
        case 0:
        case 1: edit(); break;
        case 2: query(); break;
        case 3: describe(); break;
        case 4: construct(); break;
        case 5: search(); break;
        case 6: search_direct(); break;
        case 7:
        case 8: interpolate(); break;
        case 9: evaluate(); break;
        case 10: integrate(); break;
        default:
          qor_df_kernel_DeleteTask(in.ConsumeIntegralInRange<int>(0, 7) ? &task : nullptr);
          if (!task) create();
      }
    }
    qor_df_kernel_DeleteTask(&task);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool single = in.ConsumeBool();
  const bool wide = in.ConsumeBool();
  const int64_t nx = in.ConsumeIntegralInRange<int64_t>(2, in.ConsumeBool() ? 12 : 600);
  const int64_t ny = in.ConsumeIntegralInRange<int64_t>(1, 4);
  qor_fuzz::run_in_precision<Harness>(single, in, wide, nx, ny);
  return 0;
}
