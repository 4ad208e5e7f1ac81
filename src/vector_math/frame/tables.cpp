// Function tables, cost tables and entry points, generated from functions.def for every built
// row.
//
// Each row is one record in writable data: three kernel pointers (slots LA, HA, EP) followed
// immediately by three float cost figures. The exported names qor_fnx_kernel_{t}{F}_ttab and
// _ctab are assembler aliases of the record's start and of its cost part, so the cost table
// sits right after the function table as the front library expects.
//
// Entry points are tail calls through a slot, read at every call: rewriting a slot at run time
// redirects the entry points that use it at once. Pack/unpack entry points pass the width flag
// 1 as the kernel's last argument.
#include "qor/vm.h"

namespace {
template <class Fn>
struct TableRow {
  Fn slot[3];
  float cost[3];
};
}  // namespace

#define QOR_STR2(x) #x
#define QOR_STR(x) QOR_STR2(x)

#define QOR_FN(t, F, shape, la, ha, ep, c0, c1, c2, built) QOR_FNX_DEFINE_##built(t, F, shape, la, ha, ep, c0, c1, c2)
#define QOR_FNX_DEFINE_0(...)
#define QOR_FNX_DEFINE_1(t, F, shape, la, ha, ep, c0, c1, c2)                                        \
  extern "C" {                                                                                    \
  __attribute__((used, visibility("hidden"))) TableRow<qor_fnx_##t##F##_kernel> qor_fnx_row_##t##F = \
      {{qor_fnx_kernel_##t##F##_##la, qor_fnx_kernel_##t##F##_##ha, qor_fnx_kernel_##t##F##_##ep},  \
       {c0, c1, c2}};                                                                             \
  }                                                                                               \
  asm(".globl qor_fnx_kernel_" #t #F "_ttab\n"                                                     \
      ".type qor_fnx_kernel_" #t #F "_ttab, @object\n"                                             \
      ".size qor_fnx_kernel_" #t #F "_ttab, 3*" QOR_STR(__SIZEOF_POINTER__) "\n"                   \
      ".set qor_fnx_kernel_" #t #F "_ttab, qor_fnx_row_" #t #F "\n"                                \
      ".globl qor_fnx_kernel_" #t #F "_ctab\n"                                                     \
      ".type qor_fnx_kernel_" #t #F "_ctab, @object\n"                                             \
      ".size qor_fnx_kernel_" #t #F "_ctab, 12\n"                                                  \
      ".set qor_fnx_kernel_" #t #F "_ctab, qor_fnx_row_" #t #F " + 3*" QOR_STR(__SIZEOF_POINTER__) "\n"); \
  extern "C" QOR_API void _fnx##t##F QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t) {        \
    return qor_fnx_kernel_##t##F##_ttab[1] QOR_FNX_EARGS_##shape;                                  \
  }                                                                                               \
  extern "C" QOR_API void _fnx##t##F##_HA QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t) {   \
    return qor_fnx_kernel_##t##F##_ttab[1] QOR_FNX_EARGS_##shape;                                  \
  }                                                                                               \
  extern "C" QOR_API void QOR_FNX_ENTRY_LA_##t(F) QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t) { \
    return qor_fnx_kernel_##t##F##_ttab[0] QOR_FNX_EARGS_##shape;                                  \
  }                                                                                               \
  extern "C" QOR_API void QOR_FNX_ENTRY_EP_##t(F) QOR_FNX_EPARAMS_##shape(QOR_FNX_T_##t, QOR_FNX_R_##t) { \
    return qor_fnx_kernel_##t##F##_ttab[2] QOR_FNX_EARGS_##shape;                                  \
  }

#include "qor/functions.def"
