// Every built vector-math function against its reference row (vector_math/frame/reference.def):
// each slot of its function table over the row's inputs, measured against MPFR at 256 bits and
// held to the slot's contract (HA <= 1 ulp or the row's tighter bound, LA <= 4 ulp, EP relative
// error <= 2^-11 single / 2^-26 double). A function enters this test by its rows alone.
#include <algorithm>

#include "accuracy_harness.h"

namespace {
using namespace vm_test;

// Every row name of functions.def, built or not.
const std::vector<std::string>& listed_names() {
  static const std::vector<std::string> names = {
#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) #F,
#include "qor/functions.def"
#undef QOR_FN
  };
  return names;
}

// The shape of the MPFR column a row of shape s needs (a scalar second argument is a second
// argument).
Shape mpfr_shape(Shape s) { return s == Shape::VX ? Shape::V2 : s; }

TEST(ReferenceList, EveryComputingBuiltRowHasAReferenceRowOfItsShape) {
  int checked = 0;
  for (const Function& f : built_functions()) {
    if (f.shape == Shape::Pack) continue;  // pack/unpack move elements (pack_test)
    if (f.shape == Shape::LF) continue;    // the linear fraction: twoarg_exact_test
    ++checked;
    const Reference* r = find_reference(f.func);
    if (!r) {
      ADD_FAILURE() << f.name() << " is built but has no row in vector_math/frame/reference.def";
      continue;
    }
    EXPECT_TRUE(f.type == 's' || f.type == 'd') << f.name() << ": the accuracy test has no complex references yet";
    EXPECT_TRUE(f.shape == Shape::V1 || f.shape == Shape::V2 || f.shape == Shape::V1R2 || f.shape == Shape::VX)
        << f.name() << ": the accuracy test drives the shapes V1, V2, VX and V1R2";
    EXPECT_TRUE(r->mpfr.shape() == mpfr_shape(f.shape)) << f.name() << ": the MPFR reference has another shape";
    EXPECT_FALSE(r->of(f.type).inputs.empty()) << f.name() << ": no inputs";
    EXPECT_TRUE(r->of(f.type).ha >= 0 && r->of(f.type).ha <= 1) << f.name() << ": the HA bound is at most the contract";
  }
  EXPECT_GE(checked, 46);
  for (const Reference& r : references()) {
    EXPECT_NE(std::find(listed_names().begin(), listed_names().end(), r.func), listed_names().end())
        << r.func << " in reference.def is not a function of functions.def";
    EXPECT_EQ(std::count_if(references().begin(), references().end(), [&](const Reference& o) { return !std::strcmp(o.func, r.func); }), 1)
        << r.func << " has several reference rows";
  }
}

// The C++ library column (the accuracy tool's single-precision reference and `qor vm`'s) agrees
// with MPFR to within 2 ulps of double (glibc's log10 reaches 1.6) over the row's double inputs,
// at most 300 from each random piece or run: far below an ulp of float. The tool, `qor vm` and
// the benchmarks are x86-64 programs, so the check runs there: on i386 it would measure a C
// library nothing of ours uses, at qemu's speed.
TEST(ReferenceList, LibmColumnAgreesWithMpfr) {
#if defined(__i386__)
  GTEST_SKIP() << "the library column serves the x86-64 tools";
#endif
  for (const Reference& r : references()) {
    if (!r.libm_x && !r.libm_xy) continue;
    std::vector<Piece> pieces = r.d.inputs;
    for (Piece& p : pieces) {
      p.n = std::min(p.n, 300L);
      for (Piece& q : p.parts) q.n = std::min(q.n, 300L);
    }
    const std::vector<double> a = inputs<double>(pieces, seed_of(r.func));
    const std::vector<double> b = inputs<double>(pieces, seed_of(r.func) + 7919, 1);
    qor::test::UlpAccumulator acc;
    Exact m(3);
    for (size_t i = 0; i < a.size(); ++i) {
      set_exact(m[0], a[i]);
      set_exact(m[1], b[i]);
      double c;
      if (r.libm_x) {
        r.mpfr.f1(m[2], m[0], MPFR_RNDN);
        c = r.libm_x(a[i]);
      } else {
        r.mpfr.f2(m[2], m[0], m[1], MPFR_RNDN);
        c = r.libm_xy(a[i], b[i]);
      }
      acc.add(a[i], c, qor::test::ulp_error(m[2], c));
    }
    EXPECT_LE(acc.max_ulps(), 2.0) << r.func << ": " << acc.summary();
  }
}

template <class T>
using Kernel2 = void (*)(int32_t, const T*, const T*, T*);
template <class T>
using Kernel1R2 = void (*)(int32_t, const T*, T*, T*);
template <class T>
using KernelX = void (*)(int32_t, const T*, T, T*);

Contract contract_of(int slot) { return slot == LA ? Contract::LA : slot == HA ? Contract::HA : Contract::EP; }

// Two arguments: the second drawn from the same pieces with another seed.
template <class T>
void sweep_two_arguments(const Function& f, const Reference& r) {
  const std::vector<T> a = inputs<T>(r.of(f.type).inputs, seed_of(f.name()));
  const std::vector<T> b = inputs<T>(r.of(f.type).inputs, seed_of(f.name()) + 7919, 1);
  const int32_t n = static_cast<int32_t>(a.size());
  std::vector<std::vector<T>> out(3, std::vector<T>(a.size()));
  ref_element_type = f.type;
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (int s : {LA, HA, EP}) f.slot<Kernel2<T>>(s)(n, a.data(), b.data(), out[s].data());
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
  std::vector<Outcome> res(3);
  {
    Exact m(3);
    for (int32_t i = 0; i < n; ++i) {
      set_exact(m[0], static_cast<double>(a[i]));
      set_exact(m[1], static_cast<double>(b[i]));
      r.mpfr.f2(m[2], m[0], m[1], MPFR_RNDN);
      for (int s : {LA, HA, EP}) record(res[s], contract_of(s), m[2], out[s][i], static_cast<double>(a[i]));
    }
  }
  for (int s : {LA, HA, EP}) check<T>(f.name().c_str(), slot_name(s), contract_of(s), r.of(f.type).ha, res[s]);
}

// A scalar second argument: every fixed value of the row's inputs (QOR_VALUES) in turn, with the
// whole input list as the vector.
template <class T>
void sweep_scalar_argument(const Function& f, const Reference& r) {
  const std::vector<T> a = inputs<T>(r.of(f.type).inputs, seed_of(f.name()));
  std::vector<T> bs;
  for (const Piece& p : r.of(f.type).inputs)
    if (p.kind == Piece::Values)
      for (double v : p.values) bs.push_back(static_cast<T>(v));
  ASSERT_FALSE(bs.empty()) << f.name() << ": a scalar-argument row needs fixed values (QOR_VALUES)";
  const int32_t n = static_cast<int32_t>(a.size());
  std::vector<Outcome> res(3);
  std::vector<std::vector<T>> out(3, std::vector<T>(a.size()));
  Exact m(3);
  for (T b : bs) {
    qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
    for (int s : {LA, HA, EP}) f.slot<KernelX<T>>(s)(n, a.data(), b, out[s].data());
    qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
    set_exact(m[1], static_cast<double>(b));
    for (int32_t i = 0; i < n; ++i) {
      set_exact(m[0], static_cast<double>(a[i]));
      r.mpfr.f2(m[2], m[0], m[1], MPFR_RNDN);
      for (int s : {LA, HA, EP}) record(res[s], contract_of(s), m[2], out[s][i], static_cast<double>(a[i]));
    }
  }
  for (int s : {LA, HA, EP}) check<T>(f.name().c_str(), slot_name(s), contract_of(s), r.of(f.type).ha, res[s]);
}

// Two results: each measured against its own exact value.
template <class T>
void sweep_two_results(const Function& f, const Reference& r) {
  const std::vector<T> x = inputs<T>(r.of(f.type).inputs, seed_of(f.name()));
  const int32_t n = static_cast<int32_t>(x.size());
  std::vector<std::vector<T>> out1(3, std::vector<T>(x.size())), out2 = out1;
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (int s : {LA, HA, EP}) f.slot<Kernel1R2<T>>(s)(n, x.data(), out1[s].data(), out2[s].data());
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
  std::vector<Outcome> res1(3), res2(3);
  {
    Exact m(3);
    for (int32_t i = 0; i < n; ++i) {
      set_exact(m[0], static_cast<double>(x[i]));
      r.mpfr.f1r2(m[1], m[2], m[0], MPFR_RNDN);
      for (int s : {LA, HA, EP}) {
        record(res1[s], contract_of(s), m[1], out1[s][i], static_cast<double>(x[i]));
        record(res2[s], contract_of(s), m[2], out2[s][i], static_cast<double>(x[i]));
      }
    }
  }
  for (int s : {LA, HA, EP}) {
    check<T>((f.name() + "[1]").c_str(), slot_name(s), contract_of(s), r.of(f.type).ha, res1[s]);
    check<T>((f.name() + "[2]").c_str(), slot_name(s), contract_of(s), r.of(f.type).ha, res2[s]);
  }
}

template <class T>
void sweep_row(const Function& f, const Reference& r) {
  switch (f.shape) {
    case Shape::V1:
      sweep<T>(f.name().c_str(), r.mpfr.f1, inputs<T>(r.of(f.type).inputs, seed_of(f.name())), slots<T>(f.func));
      break;
    case Shape::V2: sweep_two_arguments<T>(f, r); break;
    case Shape::VX: sweep_scalar_argument<T>(f, r); break;
    case Shape::V1R2: sweep_two_results<T>(f, r); break;
    default: FAIL() << f.name() << ": shape not driven here";
  }
}

class SlotContracts : public ::testing::TestWithParam<const Function*> {};

TEST_P(SlotContracts, EverySlotOverTheReferenceInputs) {
  const Function& f = *GetParam();
  const Reference* r = find_reference(f.func);
  ASSERT_NE(r, nullptr) << f.name() << " is built but has no row in vector_math/frame/reference.def";
  ASSERT_TRUE(r->mpfr.shape() == mpfr_shape(f.shape)) << f.name() << ": the MPFR reference has another shape";
  if (f.type == 's') sweep_row<float>(f, *r);
  else if (f.type == 'd') sweep_row<double>(f, *r);
  else FAIL() << f.name() << ": no complex references yet";
}

std::vector<const Function*> computing_rows() {
  std::vector<const Function*> v;
  for (const Function& f : built_functions())
    if (f.shape != Shape::Pack && f.shape != Shape::LF) v.push_back(&f);
  return v;
}

INSTANTIATE_TEST_SUITE_P(BuiltFunctions, SlotContracts, ::testing::ValuesIn(computing_rows()),
                         [](const ::testing::TestParamInfo<const Function*>& i) { return i.param->name(); });

// What the frame promises: a lane's result does not depend on where block boundaries fall. Every
// slot of every function over its reference inputs (a second argument drawn as the accuracy sweep
// draws it; a scalar second argument at each of the row's fixed values), in one call and in calls
// of 1 to 9 elements (tails of every length, blocks starting at every offset, lanes meeting other
// neighbours): the results must be the same bits (NaNs: any NaN). `run(s, i, m, r1, r2)` computes
// elements i to i + m - 1 with slot s into r1 (and r2, for two results).
template <class T, class Run>
void same_in_pieces(const std::string& name, int32_t n, int results, Run run) {
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_IGNORE);
  for (int s : {LA, HA, EP}) {
    std::vector<T> whole1(n), whole2(n), pieces1(n), pieces2(n);
    run(s, 0, n, whole1.data(), whole2.data());
    for (int32_t i = 0, m = 1; i < n; i += m, m = m % 9 + 1) run(s, i, std::min(m, n - i), pieces1.data(), pieces2.data());
    for (int k = 0; k < results; ++k) {
      const std::vector<T>& whole = k ? whole2 : whole1;
      const std::vector<T>& pieces = k ? pieces2 : pieces1;
      int32_t bad = 0, first = -1;
      for (int32_t i = 0; i < n; ++i)
        if (std::memcmp(&whole[i], &pieces[i], sizeof(T)) != 0 && !(std::isnan(whole[i]) && std::isnan(pieces[i])))
          if (bad++ == 0) first = i;
      EXPECT_EQ(bad, 0) << name << (results > 1 ? (k ? "[2]" : "[1]") : "") << " " << slot_name(s)
                        << ": first at element " << first << ", one call " << (bad ? whole[first] : T(0))
                        << ", in pieces " << (bad ? pieces[first] : T(0));
    }
  }
  qor_fnx_kernel_SetMode(QOR_FNX_ERRMODE_DEFAULT);
}

template <class T>
void same_in_pieces(const Function& f, const Reference& r) {
  const std::vector<T> a = inputs<T>(r.of(f.type).inputs, seed_of(f.name()));
  const int32_t n = static_cast<int32_t>(a.size());
  switch (f.shape) {
    case Shape::V1:
      same_in_pieces<T>(f.name(), n, 1, [&](int s, int32_t i, int32_t m, T* r1, T*) {
        f.slot<Kernel<T>>(s)(m, a.data() + i, r1 + i);
      });
      break;
    case Shape::V2: {
      const std::vector<T> b = inputs<T>(r.of(f.type).inputs, seed_of(f.name()) + 7919, 1);
      same_in_pieces<T>(f.name(), n, 1, [&](int s, int32_t i, int32_t m, T* r1, T*) {
        f.slot<Kernel2<T>>(s)(m, a.data() + i, b.data() + i, r1 + i);
      });
      break;
    }
    case Shape::VX:
      for (const Piece& p : r.of(f.type).inputs)
        if (p.kind == Piece::Values)
          for (double v : p.values)
            same_in_pieces<T>(f.name() + " b = " + std::to_string(v), n, 1, [&](int s, int32_t i, int32_t m, T* r1, T*) {
              f.slot<KernelX<T>>(s)(m, a.data() + i, static_cast<T>(v), r1 + i);
            });
      break;
    case Shape::V1R2:
      same_in_pieces<T>(f.name(), n, 2, [&](int s, int32_t i, int32_t m, T* r1, T* r2) {
        f.slot<Kernel1R2<T>>(s)(m, a.data() + i, r1 + i, r2 + i);
      });
      break;
    default: FAIL() << f.name() << ": shape not driven here";
  }
}

class BlockBoundaries : public ::testing::TestWithParam<const Function*> {};

TEST_P(BlockBoundaries, ResultsDoNotDependOnWhereBlocksFall) {
  const Function& f = *GetParam();
  const Reference* r = find_reference(f.func);
  ASSERT_NE(r, nullptr);
  if (f.type == 's') same_in_pieces<float>(f, *r);
  else same_in_pieces<double>(f, *r);
}

std::vector<const Function*> real_computing_rows() {
  std::vector<const Function*> v;
  for (const Function* f : computing_rows())
    if (f->type == 's' || f->type == 'd') v.push_back(f);
  return v;
}

INSTANTIATE_TEST_SUITE_P(BuiltFunctions, BlockBoundaries, ::testing::ValuesIn(real_computing_rows()),
                         [](const ::testing::TestParamInfo<const Function*>& i) { return i.param->name(); });

}  // namespace
