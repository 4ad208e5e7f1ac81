// The two lists of vm_reference.h: the reference rows of vector_math/frame/reference.def and the
// built rows of functions.def.
#include "support/vm_reference.h"

namespace qor::test::vm {

const std::vector<Reference>& references() {
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
#define QOR_BITS(n) Piece{Piece::Bits, 0, 0, 0, n, {}, {}},
#define QOR_UNIFORM(lo, hi, n) Piece{Piece::Uniform, lo, hi, 0, n, {}, {}},
#define QOR_LOG2(e0, e1, n) Piece{Piece::Log2, e0, e1, 0, n, {}, {}},
#define QOR_NEG_LOG2(e0, e1, n) Piece{Piece::NegLog2, e0, e1, 0, n, {}, {}},
#define QOR_RUN(x, n) Piece{Piece::Run, x, 0, 0, n, {}, {}},
#define QOR_STEPS(lo, hi, step) Piece{Piece::Steps, lo, hi, step, 0, {}, {}},
#define QOR_VALUES(...) Piece{Piece::Values, 0, 0, 0, 0, {__VA_ARGS__}, {}},
#define QOR_PAIR(first, second) Piece{Piece::Pair, 0, 0, 0, 0, {}, std::vector<Piece>{first second}},
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
#undef QOR_PAIR
  }();
  return rows;
}

const Reference* find_reference(const std::string& func) {
  for (const Reference& r : references())
    if (func == r.func) return &r;
  return nullptr;
}

const std::vector<Function>& built_functions() {
  static const std::vector<Function> rows = {
#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) QOR_REF_ROW_##built(t, F, shape, la, ha, ep)
#define QOR_REF_ROW_0(...)
#define QOR_REF_ROW_1(t, F, shape, la, ha, ep) \
  Function{#t[0], #F, QOR_REF_SHAPE_##shape, qor_fnx_kernel_##t##F##_ttab, {#la, #ha, #ep}},
#define QOR_REF_SHAPE_V1 Shape::V1
#define QOR_REF_SHAPE_V2 Shape::V2
#define QOR_REF_SHAPE_V1R2 Shape::V1R2
#define QOR_REF_SHAPE_VX Shape::VX
#define QOR_REF_SHAPE_LF Shape::LF
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

const Function* find_function(char type, const std::string& func) {
  for (const Function& f : built_functions())
    if (f.type == type && func == f.func) return &f;
  return nullptr;
}

}  // namespace qor::test::vm
