// QOR_FNX_KERNEL: the one line that defines and exports a vector-math kernel in its code-path
// file (the kernels/<family>/*_w7.cpp, *_t7.cpp, *_v8.cpp that choose the instruction set).
//
//   QOR_FNX_KERNEL(dExp, W7HAynn, DExpHA)
//
// defines extern "C" qor_fnx_kernel_dExp_W7HAynn with the parameters of the row's kernel type
// (qor_fnx_dExp_kernel in qor/vm.h: the row dExp of functions.def gives the element type and
// the shape), runs the family DExpHA through the runner of its arity (run<> in kernel_frame.h)
// and reports errors under the name "vdExp". The family may be a template-id with commas
// (Binary<float, Op::Add>). The row's type letter and shape come from function_rows.h, which the
// build generates from functions.def (src/CMakeLists.txt), so the line repeats nothing of its
// row; a family whose arity disagrees with the row's shape does not compile (no run<> takes the
// row's parameters).
#pragma once

#include "qor/vm.h"
#include "vector_math/frame/function_rows.h"
#include "vector_math/frame/kernel_frame.h"

#define QOR_FNX_KERNEL(row, path, ...) QOR_FNX_KERNEL_AT(QOR_FNX_ROW_##row, row, path, __VA_ARGS__)
#define QOR_FNX_KERNEL_AT(...) QOR_FNX_KERNEL_DEF(__VA_ARGS__)
#define QOR_FNX_KERNEL_DEF(t, shape, row, path, ...)                                  \
  extern "C" QOR_API void qor_fnx_kernel_##row##_##path QOR_FNX_KPARAMS_##shape(     \
      QOR_FNX_T_##t, QOR_FNX_R_##t) {                                                \
    ::qor::vm::run<::qor::vm::Named<__VA_ARGS__, "v" #row>> QOR_FNX_EARGS_##shape; \
  }
