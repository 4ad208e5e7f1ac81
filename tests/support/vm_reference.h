// The vector-math functions joined with their references, for the consumers that have MPFR (the
// accuracy test and the accuracy tool): the built rows of functions.def with their function tables,
// and the rows of vector_math/frame/reference.def with their MPFR and C++ library references.
// Header only (the accuracy tool includes it without the test support library).
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "qor/vm.h"
#include "vector_math/frame/reference_libm.h"

namespace qor::test::vm {

// ---- MPFR adapters named by reference.def -------------------------------------------------------
// floor(log2 |x|), exact; logb(+-0) = -inf, logb(+-inf) = +inf.
inline int ref_logb(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t) {
  if (mpfr_nan_p(x)) mpfr_set_nan(y);
  else if (mpfr_inf_p(x)) mpfr_set_inf(y, 1);
  else if (mpfr_zero_p(x)) mpfr_set_inf(y, -1);
  else mpfr_set_si(y, static_cast<long>(mpfr_get_exp(x)) - 1, MPFR_RNDN);
  return 0;
}
// The fractional part with the sign of x; of an infinity, the zero of its sign (MPFR: NaN).
inline int ref_frac(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) {
  if (mpfr_inf_p(x)) return mpfr_set_zero(y, mpfr_sgn(x)), 0;
  return mpfr_frac(y, x, r);
}
// Integer and fractional parts as C's modf (an infinity: itself and the zero of its sign).
inline int ref_modf(mpfr_ptr i, mpfr_ptr f, mpfr_srcptr x, mpfr_rnd_t r) {
  if (mpfr_inf_p(x)) {
    mpfr_set(i, x, r);
    return mpfr_set_zero(f, mpfr_sgn(x)), 0;
  }
  return mpfr_modf(i, f, x, r);
}

// Degree functions: sin, cos and tan of x degrees (MPFR's functions of x / 360 turns).
inline int ref_sind(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_sinu(y, x, 360, r); }
inline int ref_cosd(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_cosu(y, x, 360, r); }
inline int ref_tand(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_tanu(y, x, 360, r); }

// ---- the reference list -------------------------------------------------------------------------
enum class Shape { V1, V2, V1R2, Pack, Other };  // Pack: the strided pack/unpack rows
enum Slot { LA = 0, HA = 1, EP = 2 };
inline const char* slot_name(int s) { return s == LA ? "LA" : s == HA ? "HA" : "EP"; }

struct Range {
  double lo = 0, hi = 0;
  bool log_uniform = false;  // values 2^u, u uniform in [lo, hi)
};

// One piece of a sweep's inputs (see reference.def).
struct Piece {
  enum Kind { Bits, Uniform, Log2, NegLog2, Run, Steps, Values } kind;
  double a = 0, b = 0, step = 0;
  long n = 0;
  std::vector<double> values;
};

struct Precision {
  double ha = 1;          // the HA slot's bound in ulps
  Range sample;           // double only: the accuracy tool's sampling range
  std::vector<Piece> inputs;
};

using Mpfr1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using Mpfr2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
using Mpfr1R2 = int (*)(mpfr_ptr, mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

// The MPFR column; its type gives the shape it serves.
struct MpfrRef {
  Mpfr1 f1 = nullptr;
  Mpfr2 f2 = nullptr;
  Mpfr1R2 f1r2 = nullptr;
  MpfrRef(Mpfr1 f) : f1(f) {}
  MpfrRef(Mpfr2 f) : f2(f) {}
  MpfrRef(Mpfr1R2 f) : f1r2(f) {}
  Shape shape() const { return f1 ? Shape::V1 : f2 ? Shape::V2 : Shape::V1R2; }
};

struct Reference {
  const char* func;
  MpfrRef mpfr;
  double (*libm_x)(double);          // one argument, one result (else null)
  double (*libm_xy)(double, double);  // two arguments (else null)
  Precision s, d;
  const Precision& of(char type) const { return type == 's' ? s : d; }
};

inline const std::vector<Reference>& references() {
  static const std::vector<Reference> rows = [] {
#define QOR_REF(F, mpfr, libm, bench, s, d) Reference{#F, MpfrRef(mpfr), libm, s, d},
#define QOR_X(e) [](double x) -> double { return e; }, nullptr
#define QOR_XY(e) nullptr, [](double x, double y) -> double { return e; }
#define QOR_X2(e1, e2) nullptr, nullptr
#define QOR_S(ha, inputs) Precision{ha, Range{}, {inputs}}
#define QOR_D(ha, sample, inputs) Precision{ha, sample, {inputs}}
#define QOR_RANGE(lo, hi, dist) Range{lo, hi, QOR_REF_DIST_##dist}
#define QOR_REF_DIST_uniform false
#define QOR_REF_DIST_log_uniform true
#define QOR_BITS(n) Piece{Piece::Bits, 0, 0, 0, n, {}},
#define QOR_UNIFORM(lo, hi, n) Piece{Piece::Uniform, lo, hi, 0, n, {}},
#define QOR_LOG2(e0, e1, n) Piece{Piece::Log2, e0, e1, 0, n, {}},
#define QOR_NEG_LOG2(e0, e1, n) Piece{Piece::NegLog2, e0, e1, 0, n, {}},
#define QOR_RUN(x, n) Piece{Piece::Run, x, 0, 0, n, {}},
#define QOR_STEPS(lo, hi, step) Piece{Piece::Steps, lo, hi, step, 0, {}},
#define QOR_VALUES(...) Piece{Piece::Values, 0, 0, 0, 0, {__VA_ARGS__}},
    return std::vector<Reference>{
#include "vector_math/frame/reference.def"
    };
#undef QOR_REF
#undef QOR_X
#undef QOR_XY
#undef QOR_X2
#undef QOR_S
#undef QOR_D
#undef QOR_RANGE
#undef QOR_REF_DIST_uniform
#undef QOR_REF_DIST_log_uniform
#undef QOR_BITS
#undef QOR_UNIFORM
#undef QOR_LOG2
#undef QOR_NEG_LOG2
#undef QOR_RUN
#undef QOR_STEPS
#undef QOR_VALUES
  }();
  return rows;
}

inline const Reference* find_reference(const std::string& func) {
  for (const Reference& r : references())
    if (func == r.func) return &r;
  return nullptr;
}

// ---- the built functions ------------------------------------------------------------------------
struct Function {
  char type;  // s, d, c, z
  const char* func;
  Shape shape;
  const void* ttab;      // the function table: three kernel pointers, LA, HA, EP
  const char* kernel[3];  // their suffixes in functions.def
  std::string name() const { return std::string(1, type) + func; }
  // The kernel in a slot, read from the table at the call (a rewritten slot takes effect).
  template <class K>
  K slot(int s) const {
    return static_cast<const K*>(ttab)[s];
  }
};

inline const std::vector<Function>& built_functions() {
  static const std::vector<Function> rows = {
#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) QOR_REF_ROW_##built(t, F, shape, la, ha, ep)
#define QOR_REF_ROW_0(...)
#define QOR_REF_ROW_1(t, F, shape, la, ha, ep) \
  Function{#t[0], #F, QOR_REF_SHAPE_##shape, qor_fnx_kernel_##t##F##_ttab, {#la, #ha, #ep}},
#define QOR_REF_SHAPE_V1 Shape::V1
#define QOR_REF_SHAPE_V2 Shape::V2
#define QOR_REF_SHAPE_V1R2 Shape::V1R2
#define QOR_REF_SHAPE_VX Shape::Other
#define QOR_REF_SHAPE_LF Shape::Other
#define QOR_REF_SHAPE_CIS Shape::Other
#define QOR_REF_SHAPE_CR Shape::Other
#define QOR_REF_SHAPE_PACKI Shape::Pack
#define QOR_REF_SHAPE_PACKV Shape::Pack
#define QOR_REF_SHAPE_PACKM Shape::Pack
#define QOR_REF_SHAPE_UNPACKI Shape::Pack
#define QOR_REF_SHAPE_UNPACKV Shape::Pack
#define QOR_REF_SHAPE_UNPACKM Shape::Pack
#include "qor/functions.def"
#undef QOR_FN
#undef QOR_REF_ROW_0
#undef QOR_REF_ROW_1
  };
  return rows;
}

inline const Function* find_function(char type, const std::string& func) {
  for (const Function& f : built_functions())
    if (f.type == type && func == f.func) return &f;
  return nullptr;
}

}  // namespace qor::test::vm
