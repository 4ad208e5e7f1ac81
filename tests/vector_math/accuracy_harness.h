// Shared pieces of the vector-math accuracy tests: input generators, the slots of a function read
// from its table, and sweeps that measure every slot against MPFR and apply the slot's contract.
#pragma once

#include <gtest/gtest.h>
#include <mpfr.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "qor/vm.h"
#include "support/scale.h"
#include "support/ulp.h"
#include "support/vm_reference.h"

namespace vm_test {

using namespace qor::test::vm;

template <class T>
using Kernel = void (*)(int32_t, const T*, T*);
using SKernel = Kernel<float>;
using DKernel = Kernel<double>;

template <class T>
constexpr char type_letter = sizeof(T) == 4 ? 's' : 'd';

// ---- inputs ----------------------------------------------------------------------------------
// Random bit patterns (every class of input: NaNs, infinities, zeros, subnormals).
template <class T>
std::vector<T> random_bits(long n, uint32_t seed) {
  using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
  std::conditional_t<sizeof(T) == 4, std::mt19937, std::mt19937_64> g(seed);
  std::vector<T> v(n);
  for (auto& x : v) {
    const Bits u = static_cast<Bits>(g());
    std::memcpy(&x, &u, sizeof x);
  }
  return v;
}
template <class T>
std::vector<T> uniform(double lo, double hi, long n, uint32_t seed) {
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> d(lo, hi);
  std::vector<T> v(n);
  for (auto& x : v) x = static_cast<T>(d(g));
  return v;
}
// Positive values with a uniformly distributed binary exponent in [e0, e1).
template <class T>
std::vector<T> log_uniform(int e0, int e1, long n, uint32_t seed) {
  std::vector<T> v;
  for (double e : uniform<double>(e0, e1, n, seed)) v.push_back(static_cast<T>(std::exp2(e)));
  return v;
}
// n consecutive representable values upward from lo.
template <class T>
std::vector<T> consecutive(T lo, long n) {
  std::vector<T> v;
  v.reserve(n);
  T x = lo;
  for (long i = 0; i < n; ++i) {
    v.push_back(x);
    x = std::nextafter(x, static_cast<T>(INFINITY));
  }
  return v;
}
template <class T>
void append(std::vector<T>& a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
}

// The inputs a reference row describes; random pieces use seed, seed + 1, ... and are scaled by
// QOR_TEST_SCALE. arg: 0 for the first argument, 1 for the second (the part of a QOR_PAIR).
template <class T>
std::vector<T> inputs(const std::vector<Piece>& pieces, uint32_t seed, int arg = 0) {
  std::vector<T> xs;
  for (const Piece& p : pieces) {
    switch (p.kind) {
      case Piece::Pair: {  // both parts, cut to the shorter one's count
        std::vector<T> first = inputs<T>({p.parts[0]}, seed), second = inputs<T>({p.parts[1]}, seed + 1);
        seed += 2;
        const size_t m = std::min(first.size(), second.size());
        first.resize(m);
        second.resize(m);
        append(xs, arg == 0 ? first : second);
        break;
      }
      case Piece::Bits: append(xs, random_bits<T>(qor::test::scaled(p.n), seed++)); break;
      case Piece::Uniform: append(xs, uniform<T>(p.a, p.b, qor::test::scaled(p.n), seed++)); break;
      case Piece::Log2:
      case Piece::NegLog2: {
        std::vector<T> v = log_uniform<T>(static_cast<int>(p.a), static_cast<int>(p.b), qor::test::scaled(p.n), seed++);
        if (p.kind == Piece::NegLog2)
          for (T& x : v) x = -x;
        append(xs, v);
        break;
      }
      case Piece::Run: append(xs, consecutive<T>(static_cast<T>(p.a), p.n)); break;
      case Piece::Steps:
        for (long i = 0; p.a + static_cast<double>(i) * p.step <= p.b; ++i) xs.push_back(static_cast<T>(p.a + static_cast<double>(i) * p.step));
        break;
      case Piece::Values:
        for (double v : p.values) xs.push_back(static_cast<T>(v));
        break;
    }
  }
  return xs;
}

// A fixed seed per function name (FNV-1a), so every function draws its own inputs.
inline uint32_t seed_of(const std::string& name) {
  uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

// ---- slot contracts --------------------------------------------------------------------------
enum class Contract { HA, LA, EP };

template <class T>
struct Flavour {
  const char* name;
  Kernel<T> kernel;
  Contract contract;
  double bound = 1.0;  // HA: the bound in ulps (1 is the contract)
};

struct Outcome {
  qor::test::UlpAccumulator acc;
  double max_rel = 0;  // EP: relative error beyond one least-subnormal spacing
  double worst_rel_input = 0;
};

// The built function `{t}{func}` (it must exist).
template <class T>
const Function& function(const char* func) {
  const Function* f = find_function(type_letter<T>, func);
  if (!f) {
    ADD_FAILURE() << type_letter<T> << func << " is not a built function";
    std::abort();
  }
  return *f;
}

// The kernel in one slot of a function, read from its table.
template <class T>
Kernel<T> kernel(const char* func, int slot) {
  return function<T>(func).template slot<Kernel<T>>(slot);
}

// Every slot of func on the block x raises none of the invalid, divide-by-zero and overflow
// flags (arguments whose results are ordinary must not raise them on the way).
template <class T>
void expect_no_spurious_flags(const char* func, const std::vector<T>& x) {
  for (int slot : {LA, HA, EP}) {
    std::vector<T> r(x.size());
    std::feclearexcept(FE_ALL_EXCEPT);
    kernel<T>(func, slot)(static_cast<int32_t>(x.size()), x.data(), r.data());
    EXPECT_EQ(std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW), 0) << func << " " << slot_name(slot) << " " << sizeof(T);
  }
}

// The three slots of a one-argument function with their contracts; HA held to `ha` ulps.
template <class T>
std::vector<Flavour<T>> slots(const char* func, double ha) {
  std::vector<Flavour<T>> v;
  for (int s : {LA, HA, EP})
    v.push_back({slot_name(s), kernel<T>(func, s), s == LA ? Contract::LA : s == HA ? Contract::HA : Contract::EP, ha});
  return v;
}
// ... with the HA bound of the function's reference row.
template <class T>
std::vector<Flavour<T>> slots(const char* func) {
  const Reference* r = find_reference(func);
  if (!r) {
    ADD_FAILURE() << func << " has no reference row";
    std::abort();
  }
  return slots<T>(func, r->of(type_letter<T>).ha);
}

// Measures one computed result against the exact value y (NaN, infinities and zeros included).
template <class T>
void record(Outcome& o, Contract c, mpfr_srcptr y, T computed, double input) {
  const double tiny = sizeof(T) == 4 ? 0x1p-149 : 0x1p-1074;
  const qor::test::UlpError e = qor::test::ulp_error(y, computed);
  o.acc.add(input, static_cast<double>(computed), e);
  if (c != Contract::EP) return;
  const double yd = mpfr_get_d(y, MPFR_RNDN), cd = static_cast<double>(computed);
  double rel = 0;
  if (std::isnan(yd) || std::isnan(cd)) {
    rel = (std::isnan(yd) && std::isnan(cd)) ? 0 : INFINITY;
  } else if (std::isinf(cd) || std::isinf(yd)) {
    rel = e.ulps == 0 ? 0 : (e.ulps < 2 ? 0 : INFINITY);
  } else {
    const double excess = std::fabs(cd - yd) - tiny;
    rel = excess <= 0 ? 0 : excess / std::fabs(yd);
  }
  if (rel > o.max_rel) {
    o.max_rel = rel;
    o.worst_rel_input = input;
  }
}

// Prints the outcome and checks the contract:
//   HA: <= `bound` ulp (at most 1, the contract; lower where the function promises more);
//   LA: <= 4 ulp;
//   EP: |computed - exact| <= 2^-11 (float) / 2^-26 (double) of |exact| plus the least subnormal.
template <class T>
void check(const char* fname, const char* slot, Contract c, double bound, const Outcome& o) {
  std::printf("  %-8s %-3s %s\n", fname, slot, o.acc.summary().c_str());
  switch (c) {
    case Contract::HA: EXPECT_LE(o.acc.max_ulps(), bound) << fname << " " << slot << ": " << o.acc.summary(); break;
    case Contract::LA: EXPECT_LE(o.acc.max_ulps(), 4.0) << fname << " " << slot << ": " << o.acc.summary(); break;
    case Contract::EP:
      EXPECT_LE(o.max_rel, sizeof(T) == 4 ? 0x1p-11 : 0x1p-26)
          << fname << " " << slot << ": relative error " << o.max_rel << " at x = " << o.worst_rel_input;
      break;
  }
}

// MPFR numbers at the exact precision with the widest exponent range, for one sweep.
class Exact {
 public:
  explicit Exact(int n) : v_(n) {
    emin_ = mpfr_get_emin();
    emax_ = mpfr_get_emax();
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    for (auto& m : v_) mpfr_init2(m.x, qor::test::kExactBits);
  }
  ~Exact() {
    for (auto& m : v_) mpfr_clear(m.x);
    mpfr_set_emin(emin_);
    mpfr_set_emax(emax_);
  }
  mpfr_ptr operator[](int i) { return v_[i].x; }

 private:
  struct M {
    mpfr_t x;
  };
  std::vector<M> v_;
  mpfr_exp_t emin_, emax_;
};

// x exactly, and a NaN with its sign (which CopySign's second argument passes on).
inline void set_exact(mpfr_ptr m, double x) {
  mpfr_set_d(m, x, MPFR_RNDN);
  if (std::isnan(x)) mpfr_setsign(m, m, std::signbit(x), MPFR_RNDN);
}

// Runs every flavour on `xs` (in one call each, so blocks, screens and the tail all take part),
// measures each result against f at 256 bits and checks the flavour's contract.
template <class T>
std::vector<Outcome> sweep(const char* fname, Mpfr1 f, const std::vector<T>& xs, const std::vector<Flavour<T>>& flavours) {
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  std::vector<std::vector<T>> outs;
  for (const auto& fl : flavours) {
    outs.emplace_back(xs.size());
    fl.kernel(static_cast<int32_t>(xs.size()), xs.data(), outs.back().data());
  }
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
  std::vector<Outcome> res(flavours.size());
  {
    Exact m(2);
    for (size_t i = 0; i < xs.size(); ++i) {
      set_exact(m[0], static_cast<double>(xs[i]));
      f(m[1], m[0], MPFR_RNDN);
      for (size_t k = 0; k < flavours.size(); ++k) record(res[k], flavours[k].contract, m[1], outs[k][i], static_cast<double>(xs[i]));
    }
  }
  for (size_t k = 0; k < flavours.size(); ++k) check<T>(fname, flavours[k].name, flavours[k].contract, flavours[k].bound, res[k]);
  return res;
}

// Sweeps every slot of the one-argument function `func` against its reference row's MPFR
// function; HA held to the row's bound, or to `ha` when given.
template <class T>
std::vector<Outcome> sweep_function(const char* func, const std::vector<T>& xs) {
  const std::string name = std::string(1, type_letter<T>) + func;
  return sweep<T>(name.c_str(), find_reference(func)->mpfr.f1, xs, slots<T>(func));
}
template <class T>
std::vector<Outcome> sweep_function(const char* func, const std::vector<T>& xs, double ha) {
  const std::string name = std::string(1, type_letter<T>) + func;
  return sweep<T>(name.c_str(), find_reference(func)->mpfr.f1, xs, slots<T>(func, ha));
}

// Calls a kernel on one element.
template <class T>
T one(Kernel<T> k, T x) {
  T r;
  k(1, &x, &r);
  return r;
}

// Records every report of the error routine (mode: callback only).
struct Report {
  int code;
  int index;
  double arg, res;
  double arg2;       // the second argument (the first again for one-argument functions)
  std::string name;  // the reporting function's name
};
inline std::vector<Report>& reports() {
  static thread_local std::vector<Report> r;
  return r;
}
inline int record_callback(FnxErrorContext* c) {
  reports().push_back(Report{c->code, c->index, c->arg1, c->res1, c->arg2, std::string(c->funcName, c->funcNameLen)});
  return 0;
}

// Installs the recording callback for the lifetime of the object and restores the mode.
class Recording {
 public:
  Recording() {
    reports().clear();
    old_mode_ = qor_fnx_kernel_GetMode();
    old_cb_ = qor_fnx_kernel_SetErrorCallBack(record_callback);
    qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_CALLBACK);
    qor_fnx_kernel_ClearErrStatus();
  }
  ~Recording() {
    qor_fnx_kernel_SetErrorCallBack(old_cb_);
    qor_fnx_kernel_SetMode((old_mode_ & QOR_FNX_ERRMODE_MASK) ? (old_mode_ & QOR_FNX_ERRMODE_MASK) : QOR_FNX_ERRMODE_DEFAULT);
  }

 private:
  uint32_t old_mode_;
  FnxErrorCallBack old_cb_;
};

// Runs every slot of `func` on xs in one call and checks each result and report against the
// element computed alone (same bits, same statuses at the same indices).
template <class T>
void expect_same_alone(const char* func, const std::vector<T>& xs) {
  for (int s : {LA, HA, EP}) {
    const Kernel<T> kern = kernel<T>(func, s);
    std::vector<T> r(xs.size());
    std::vector<std::pair<int, int>> got, want;  // (index, status)
    {
      Recording rec;
      kern(static_cast<int32_t>(xs.size()), xs.data(), r.data());
      for (const Report& p : reports()) got.push_back({p.index, p.code});
    }
    for (size_t i = 0; i < xs.size(); ++i) {
      Recording rec;
      const T alone = one<T>(kern, xs[i]);
      for (const Report& p : reports()) want.push_back({static_cast<int>(i), p.code});
      EXPECT_TRUE(std::memcmp(&alone, &r[i], sizeof alone) == 0 || (std::isnan(alone) && std::isnan(r[i])))
          << func << " " << slot_name(s) << " x = " << xs[i] << ": " << r[i] << " in a block, " << alone << " alone";
    }
    EXPECT_EQ(got, want) << func << " " << slot_name(s);
  }
}

// The least double in (a, b] whose `func` (its reference row's MPFR function, decreasing there,
// normal at a) is below the normal range, by bisection. Around it every slot reports underflow
// (status 4) exactly at its results below the normal range, and the HA slot's results are below
// it exactly from that double on. Returns the double.
inline double expect_underflow_from(const char* func, double a, double b) {
  const Mpfr1 f = find_reference(func)->mpfr.f1;
  {
    Exact m(2);
    while (std::nextafter(a, b) != b) {
      const double h = a + (b - a) / 2;
      mpfr_set_d(m[0], h, MPFR_RNDN);
      f(m[1], m[0], MPFR_RNDN);
      (mpfr_cmp_d(m[1], 0x1p-1022) >= 0 ? a : b) = h;
    }
  }
  std::vector<double> xs = consecutive<double>(b, 9);
  for (int i = 0; i < 8; ++i) xs.insert(xs.begin(), std::nextafter(xs.front(), 0.0));
  for (int s : {LA, HA, EP}) {
    std::vector<double> r(xs.size());
    Recording rec;
    kernel<double>(func, s)(static_cast<int32_t>(xs.size()), xs.data(), r.data());
    std::vector<int> want, got;
    for (size_t i = 0; i < xs.size(); ++i) {
      if (r[i] < 0x1p-1022) want.push_back(static_cast<int>(i));
      if (s == HA) {
        EXPECT_EQ(r[i] < 0x1p-1022, xs[i] >= b) << func << " x = " << xs[i] << ": " << r[i];
      }
    }
    for (const Report& p : reports()) {
      EXPECT_EQ(p.code, 4);
      got.push_back(p.index);
    }
    EXPECT_EQ(got, want) << func << " " << slot_name(s);
  }
  return b;
}

}  // namespace vm_test
