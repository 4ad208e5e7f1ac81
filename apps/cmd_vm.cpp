// qor vm: evaluate a vector-math function over a range, with its accuracy on a sample and its
// throughput; and the vector-math part of the tour.
#include <xmmintrin.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "commands.h"
#include "qor/vm.h"
#include "vector_math/frame/reference_libm.h"

namespace {

// Every built real function of one or two arguments, from the function list: its three entry
// points.
struct Function {
  const char* name;  // e.g. "Exp"
  char type;         // 's' or 'd'
  void (*la)(), (*ha)(), (*ep)();
  int args = 1;      // 2: (n, a, b, r)
};

#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) QOR_APP_ROW_##built(t, F, shape)
#define QOR_APP_ROW_0(t, F, shape)
#define QOR_APP_ROW_1(t, F, shape) QOR_APP_SHAPE_##shape(t, F)
#define QOR_APP_SHAPE_V1(t, F) QOR_APP_TYPE_##t(F, 1)
#define QOR_APP_TYPE_s(F, k)                                                                       \
  {#F, 's', reinterpret_cast<void (*)()>(_fnxs##F##_21), reinterpret_cast<void (*)()>(_fnxs##F##_HA), \
   reinterpret_cast<void (*)()>(_fnxs##F##_11), k},
#define QOR_APP_TYPE_d(F, k)                                                                       \
  {#F, 'd', reinterpret_cast<void (*)()>(_fnxd##F##_50), reinterpret_cast<void (*)()>(_fnxd##F##_HA), \
   reinterpret_cast<void (*)()>(_fnxd##F##_26), k},
#define QOR_APP_TYPE_c(F, k)
#define QOR_APP_TYPE_z(F, k)
#define QOR_APP_SHAPE_V2(t, F) QOR_APP_TYPE_##t(F, 2)
#define QOR_APP_SHAPE_VX(t, F)
#define QOR_APP_SHAPE_V1R2(t, F)
#define QOR_APP_SHAPE_LF(t, F)
#define QOR_APP_SHAPE_CIS(t, F)
#define QOR_APP_SHAPE_CR(t, F)
#define QOR_APP_SHAPE_PACKI(t, F)
#define QOR_APP_SHAPE_PACKV(t, F)
#define QOR_APP_SHAPE_PACKM(t, F)
#define QOR_APP_SHAPE_UNPACKI(t, F)
#define QOR_APP_SHAPE_UNPACKV(t, F)
#define QOR_APP_SHAPE_UNPACKM(t, F)
const Function kFunctions[] = {
#include "qor/functions.def"
};
#undef QOR_FN

const Function* find(const std::string& name, char type) {
  for (const Function& f : kFunctions)
    if (type == f.type && strcasecmp(name.c_str(), f.name) == 0) return &f;
  return nullptr;
}

// The long-double reference of each function of one or two arguments of the reference list (the
// library's own tests check every function against MPFR; this is a quick look on the user's
// range).
struct Reference {
  const char* name;
  long double (*f)(long double);                 // null: not a one-argument function
  long double (*f2)(long double, long double);  // null: not a two-argument function
};
#define QOR_REF(F, mpfr, libm, bench, s, d) {#F, libm},
#define QOR_X(e) [](long double x) -> long double { return e; }, nullptr
#define QOR_XY(e) nullptr, [](long double x, long double y) -> long double { return e; }
#define QOR_X2(e1, e2) nullptr, nullptr
const Reference kReferences[] = {
#include "vector_math/frame/reference.def"
};
#undef QOR_REF
#undef QOR_X
#undef QOR_XY
#undef QOR_X2

const Reference* reference_row(const char* name) {
  for (const Reference& r : kReferences)
    if (!strcmp(name, r.name)) return &r;
  return nullptr;
}
long double (*reference(const char* name))(long double) {
  const Reference* r = reference_row(name);
  return r ? r->f : nullptr;
}

template <class T>
double ulp_error(T computed, long double exact) {
  if (std::isnan(computed) && std::isnan(exact)) return 0;
  if (std::isnan(computed) || std::isnan(exact)) return INFINITY;
  const T rounded = static_cast<T>(exact);
  if (std::isinf(rounded) || std::isinf(computed)) return computed == rounded ? 0 : INFINITY;
  const long double ax = fabsl(exact);
  int e;
  frexpl(ax, &e);  // ax = m * 2^e, m in [0.5, 1)
  const int digits = std::numeric_limits<T>::digits;
  int ulp_exp = e - digits;
  const int min_exp = std::numeric_limits<T>::min_exponent - digits;  // subnormal spacing
  if (ulp_exp < min_exp) ulp_exp = min_exp;
  return static_cast<double>(fabsl(static_cast<long double>(computed) - exact) / ldexpl(1.0L, ulp_exp));
}

template <class T>
int evaluate(const Function& f, const char* mode, long n, double from, double to) {
  using Fn = void (*)(int32_t, const T*, T*);
  Fn fn = reinterpret_cast<Fn>(!strcmp(mode, "la") ? f.la : !strcmp(mode, "ep") ? f.ep : f.ha);
  std::vector<T> a(static_cast<size_t>(n)), r(static_cast<size_t>(n));
  for (long i = 0; i < n; ++i) a[i] = static_cast<T>(from + (to - from) * (n > 1 ? double(i) / double(n - 1) : 0.0));

  // Throughput: repeat for at least 0.3 s.
  long reps = 0;
  const auto t0 = std::chrono::steady_clock::now();
  double seconds = 0;
  do {
    fn(static_cast<int32_t>(n), a.data(), r.data());
    ++reps;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  } while (seconds < 0.3);
  const double ns = seconds * 1e9 / (double(reps) * double(n));

  std::printf("v%c%s (%s) on [%g, %g], n = %ld\n", f.type, f.name, mode, from, to, n);
  std::printf("  throughput  %.3f ns/element  (%.1f M elements/s)\n", ns, 1e3 / ns);
  if (auto ref = reference(f.name)) {
    double worst = 0, sum = 0;
    T worst_x = a[0];
    long count = 0;
    const long step = n > 100000 ? n / 100000 : 1;
    for (long i = 0; i < n; i += step) {
      const double e = ulp_error<T>(r[i], ref(static_cast<long double>(a[i])));
      sum += e;
      ++count;
      if (e > worst) {
        worst = e;
        worst_x = a[i];
      }
    }
    std::printf("  accuracy    max %.3f ulp at x = %.9g, mean %.3f ulp (%ld samples, long-double reference)\n",
                worst, static_cast<double>(worst_x), sum / double(count), count);
  }
  return 0;
}

// A two-argument function: a sampled over [from, to] and b over [bfrom, bto], each pair drawn
// independently (a fixed-seed generator), so that both arguments vary over their ranges.
template <class T>
int evaluate2(const Function& f, const char* mode, long n, double from, double to, double bfrom, double bto) {
  using Fn = void (*)(int32_t, const T*, const T*, T*);
  Fn fn = reinterpret_cast<Fn>(!strcmp(mode, "la") ? f.la : !strcmp(mode, "ep") ? f.ep : f.ha);
  std::vector<T> a(static_cast<size_t>(n)), b(a.size()), r(a.size());
  uint64_t s = 0x9E3779B97F4A7C15ull;
  auto next = [&s] {  // uniform in [0, 1)
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s >> 11) * 0x1p-53;
  };
  for (long i = 0; i < n; ++i) {
    a[i] = static_cast<T>(from + (to - from) * next());
    b[i] = static_cast<T>(bfrom + (bto - bfrom) * next());
  }
  const uint32_t old_mode = _fnxSetMode(QOR_FNX_ERRMODE_IGNORE);
  long reps = 0;
  const auto t0 = std::chrono::steady_clock::now();
  double seconds = 0;
  do {
    fn(static_cast<int32_t>(n), a.data(), b.data(), r.data());
    ++reps;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  } while (seconds < 0.3);
  _fnxSetMode(old_mode);
  const double ns = seconds * 1e9 / (double(reps) * double(n));
  std::printf("v%c%s (%s) with a on [%g, %g] and b on [%g, %g], n = %ld\n", f.type, f.name, mode, from, to, bfrom,
              bto, n);
  std::printf("  throughput  %.3f ns/element  (%.1f M elements/s)\n", ns, 1e3 / ns);
  const Reference* ref = reference_row(f.name);
  if (ref && ref->f2) {
    double worst = 0, sum = 0;
    long worst_i = 0, count = 0;
    const long step = n > 100000 ? n / 100000 : 1;
    for (long i = 0; i < n; i += step) {
      const double e = ulp_error<T>(r[i], ref->f2(static_cast<long double>(a[i]), static_cast<long double>(b[i])));
      sum += e;
      ++count;
      if (e > worst) {
        worst = e;
        worst_i = i;
      }
    }
    std::printf("  accuracy    max %.3f ulp at (%.17g, %.17g), mean %.3f ulp (%ld samples, long-double reference)\n",
                worst, static_cast<double>(a[worst_i]), static_cast<double>(b[worst_i]), sum / double(count), count);
  }
  return 0;
}

void list_functions() {
  std::printf("built functions of one argument:");
  for (const Function& f : kFunctions)
    if (f.type == 's' && f.args == 1) std::printf(" %s", f.name);
  std::printf("\nbuilt functions of two arguments (--bfrom, --bto: the range of b):");
  for (const Function& f : kFunctions)
    if (f.type == 's' && f.args == 2) std::printf(" %s", f.name);
  std::printf("\n");
}

// The tour's error callback: report the element and replace its result by 0.
int tour_callback(FnxErrorContext* c) {
  std::printf("  callback: %s reported status %d for element %d (argument %g, result %g); result replaced by 0\n",
              c->funcName, c->code, c->index, c->arg1, c->res1);
  c->res1 = 0;
  return 0;
}

}  // namespace

int qor_cmd_vm(int argc, char** argv) {
  if (argc < 2 || !strcmp(argv[1], "--help") || !strcmp(argv[1], "-h")) {
    std::printf("usage: qor vm FUNC [--type s|d] [--mode ha|la|ep] [--n N] [--from A] [--to B] [--bfrom C] [--bto D]\n");
    list_functions();
    return argc < 2 ? 2 : 0;
  }
  std::string func = argv[1];
  char type = 's';
  std::string mode = "ha";
  long n = 1000000;
  double from = -10, to = 10;
  double bfrom = NAN, bto = NAN;  // the second argument's range: a's unless given
  for (int i = 2; i < argc; ++i) {
    auto next = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "qor vm: %s needs a value\n", what);
        std::exit(2);
      }
      return argv[++i];
    };
    if (!strcmp(argv[i], "--type")) type = next("--type")[0];
    else if (!strcmp(argv[i], "--mode")) mode = next("--mode");
    else if (!strcmp(argv[i], "--n")) n = std::atol(next("--n"));
    else if (!strcmp(argv[i], "--from")) from = std::atof(next("--from"));
    else if (!strcmp(argv[i], "--to")) to = std::atof(next("--to"));
    else if (!strcmp(argv[i], "--bfrom")) bfrom = std::atof(next("--bfrom"));
    else if (!strcmp(argv[i], "--bto")) bto = std::atof(next("--bto"));
    else {
      std::fprintf(stderr, "qor vm: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  for (auto& ch : mode) ch = static_cast<char>(std::tolower(ch));
  if ((type != 's' && type != 'd') || (mode != "ha" && mode != "la" && mode != "ep") || n < 1 || n > 100000000) {
    std::fprintf(stderr, "qor vm: --type is s or d, --mode ha, la or ep, --n between 1 and 1e8\n");
    return 2;
  }
  const Function* f = find(func, type);
  if (!f) {
    std::fprintf(stderr, "qor vm: no built function '%s' of type %c\n", func.c_str(), type);
    list_functions();
    return 2;
  }
  if (f->args == 2) {
    if (std::isnan(bfrom)) bfrom = from;
    if (std::isnan(bto)) bto = to;
    return type == 's' ? evaluate2<float>(*f, mode.c_str(), n, from, to, bfrom, bto)
                       : evaluate2<double>(*f, mode.c_str(), n, from, to, bfrom, bto);
  }
  return type == 's' ? evaluate<float>(*f, mode.c_str(), n, from, to)
                     : evaluate<double>(*f, mode.c_str(), n, from, to);
}

void qor_tour_vm() {
  std::printf("== vector math ==\n");
  const uint64_t env = qor_fnx_kernel_ReadEnvVarMode();
  std::printf("mode word 0x%X (%s)\n", _fnxGetMode(),
              env == 0xFFFFFFFFFFFFFFFFull ? "default: " QOR_FNX_MODE_ENV " not set or not valid"
                                            : "from " QOR_FNX_MODE_ENV);

  // Rounding under the caller's MXCSR (round toward zero here), which is left as it was.
  const unsigned saved = _mm_getcsr();
  _mm_setcsr((saved & ~0x6000u) | 0x6000u);
  float x[6] = {-2.5f, -0.5f, 0.5f, 1.5f, 2.5f, 3.7f}, r[6];
  struct { const char* name; void (*f)(int32_t, const float*, float*); } ops[] = {
      {"Ceil", _fnxsCeil}, {"Floor", _fnxsFloor}, {"Trunc", _fnxsTrunc}, {"Round", _fnxsRound}, {"Rint", _fnxsRint}};
  std::printf("%-6s", "x");
  for (float v : x) std::printf(" %6g", v);
  std::printf("\n");
  for (auto& op : ops) {
    op.f(6, x, r);
    std::printf("%-6s", op.name);
    for (float v : r) std::printf(" %6g", v);
    std::printf("\n");
  }
  const unsigned after = _mm_getcsr();
  _mm_setcsr(saved);
  std::printf("caller's MXCSR rounding control before and after: %s (Rint follows it: toward zero)\n",
              (after & 0x6000u) == 0x6000u ? "toward zero, kept" : "changed!");

  // An error callback catching a bad element, when a function that reports errors is built.
  if (const Function* ln = find("Ln", 's')) {
    const uint32_t old = _fnxSetMode(QOR_FNX_ERRMODE_CALLBACK);
    _fnxSetErrorCallBack(tour_callback);
    float a[4] = {1.0f, 2.718281828f, -1.0f, 10.0f}, out[4];
    reinterpret_cast<void (*)(int32_t, const float*, float*)>(ln->ha)(4, a, out);
    std::printf("vsLn(1, e, -1, 10) = %g %g %g %g, status %d\n", out[0], out[1], out[2], out[3], _fnxGetErrStatus());
    _fnxClearErrorCallBack();
    _fnxSetMode(old);
    _fnxClearErrStatus();
  }
  std::printf("\n");
}
