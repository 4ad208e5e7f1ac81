// The construction kernel tables.
//
// Every spline kind has one table of the same shape: a kernel per boundary-condition kind, storage
// of y (rows, columns), kind of partition (non-uniform, uniform) and kind of Subbotin sub-grid
// (non-uniform, uniform). The entries are instantiations of the kind's one kernel template,
// generated here; a kind only says which boundary kinds it builds and which choices its kernel
// depends on. Entries for what a kind does not build are null, and so is every lookup with a
// code outside the table, so an entry point turns them into its documented status.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "data_fitting/task.h"

namespace qor::df {

// The spline kinds that are constructed: (order, type) pairs.
enum class SplineKind : uint8_t {
  linear,         // order 2
  quadratic,      // order 3, QOR_DF_TYPE_DEFAULT
  subbotin,       // order 3, QOR_DF_TYPE_SUBBOTIN
  cubic_default,  // order 4, QOR_DF_TYPE_DEFAULT
  cubic_natural,  // order 4, QOR_DF_TYPE_NATURAL
  cubic_hermite,  // order 4, QOR_DF_TYPE_HERMITE
  cubic_bessel,   // order 4, QOR_DF_TYPE_BESSEL
  cubic_akima,    // order 4, QOR_DF_TYPE_AKIMA
  cubic_hyman,    // order 4, QOR_DF_TYPE_HYMAN
};

// Boundary-condition kinds, numbered by their boundary index (the cubic kernels and end-slope
// functions are chosen by it); midpoint_value is the standard quadratic's own condition.
enum class BcKind : uint8_t {
  not_a_knot,     // QOR_DF_BC_NOT_A_KNOT
  free_end,       // QOR_DF_BC_FREE_END
  first_first,    // first derivative at both ends
  first_second,   // first derivative left, second right
  second_first,   // second derivative left, first right
  second_second,  // second derivative at both ends
  periodic,       // QOR_DF_BC_PERIODIC
  none,           // QOR_DF_BC_NONE
  midpoint_value, // QOR_DF_BC_MIDPOINT_VALUE
  count
};

// The kind of a bcType code; BcKind::count for any other code.
constexpr BcKind bc_kind(int64_t bc_type) {
  switch (bc_type) {
    case QOR_DF_BC_NOT_A_KNOT: return BcKind::not_a_knot;
    case QOR_DF_BC_FREE_END: return BcKind::free_end;
    case QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_1ST: return BcKind::first_first;
    case QOR_DF_BC_LEFT_1ST | QOR_DF_BC_RIGHT_2ND: return BcKind::first_second;
    case QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_1ST: return BcKind::second_first;
    case QOR_DF_BC_LEFT_2ND | QOR_DF_BC_RIGHT_2ND: return BcKind::second_second;
    case QOR_DF_BC_PERIODIC: return BcKind::periodic;
    case QOR_DF_BC_NONE: return BcKind::none;
    case QOR_DF_BC_MIDPOINT_VALUE: return BcKind::midpoint_value;
    default: return BcKind::count;
  }
}
// Which end conditions prescribe a second derivative (the others of the derivative pairs: a first).
constexpr bool left_second(BcKind b) { return b == BcKind::second_first || b == BcKind::second_second; }
constexpr bool right_second(BcKind b) { return b == BcKind::first_second || b == BcKind::second_second; }

// A construction kernel: the task (checked by the entry point), the method argument and the
// caller's threading table.
using ConstructKernel = int32_t (*)(const DfTask1D*, int64_t, const ThreadingServices*);

// A kind provides a specialisation of Construct<kind> with
//   static constexpr bool builds(BcKind b)       the boundary kinds it has kernels for;
//   static constexpr BcKind kernel_bc(BcKind b)  the boundary kind its kernel for b is instantiated
//                                                with (a kernel that takes the condition at run time
//                                                maps every b to one kind, so it exists once);
//   static constexpr bool by_subgrid             whether the sub-grid kind selects the kernel;
//   template <class T, BcKind B, bool Cols, bool UniformGrid, bool UniformSubgrid>
//   static int32_t run(const DfTask1D*, int64_t method, const ThreadingServices*).
// The specialisation lives in the source of the kind's entry point, the only user of its table;
// it may inherit ConstructDefaults (one kernel per boundary kind built, no sub-grid choice).
template <SplineKind K>
struct Construct;

struct ConstructDefaults {
  static constexpr BcKind kernel_bc(BcKind b) { return b; }
  static constexpr bool by_subgrid = false;
};

namespace construct_table {

constexpr size_t kChoices = 8;  // y storage x partition x sub-grid
constexpr size_t kEntries = static_cast<size_t>(BcKind::count) * kChoices;

constexpr size_t index(BcKind b, bool cols, bool uniform_grid, bool uniform_subgrid) {
  return static_cast<size_t>(b) * kChoices + (cols ? 4 : 0) + (uniform_grid ? 2 : 0) + (uniform_subgrid ? 1 : 0);
}

template <SplineKind K, class T, size_t I>
constexpr ConstructKernel entry() {
  using C = Construct<K>;
  constexpr BcKind b = static_cast<BcKind>(I / kChoices);
  if constexpr (!C::builds(b)) {
    return nullptr;
  } else {
    constexpr bool cols = (I & 4) != 0, uniform_grid = (I & 2) != 0;
    constexpr bool uniform_subgrid = C::by_subgrid && (I & 1) != 0;
    return &C::template run<T, C::kernel_bc(b), cols, uniform_grid, uniform_subgrid>;
  }
}

template <SplineKind K, class T, size_t... I>
constexpr std::array<ConstructKernel, kEntries> make(std::index_sequence<I...>) {
  return {entry<K, T, I>()...};
}

template <SplineKind K, class T>
inline constexpr std::array<ConstructKernel, kEntries> kTable = make<K, T>(std::make_index_sequence<kEntries>{});

}  // namespace construct_table

// The kernel of kind K for boundary kind b and the task's storage, partition and sub-grid kinds;
// null when the kind builds no spline for b (b outside the table included).
template <SplineKind K, class T>
ConstructKernel construct_kernel(BcKind b, bool cols, bool uniform_grid, bool uniform_subgrid) {
  if (static_cast<size_t>(b) >= static_cast<size_t>(BcKind::count)) return nullptr;
  return construct_table::kTable<K, T>[construct_table::index(b, cols, uniform_grid, uniform_subgrid)];
}

}  // namespace qor::df
