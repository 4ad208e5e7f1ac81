// Constant tables of the exponential and logarithmic kernels (see exp_log_tables.h).
#include "vector_math/kernels/exp_log/exp_log_tables.h"

#include <cstddef>

#include "vector_math/frame/lanes.h"

namespace qor::vm::exp_log {

const SExpHATable kSExpHA = {
    QOR_ROW4(0x4338AA3Bu), QOR_ROW4(0x3BB18000u), QOR_ROW4(0xB5DE8083u), QOR_ROW4(0x4B300000u),
    QOR_ROW4(0x3F800000u), QOR_ROW4(0x3F000000u), QOR_ROW4(0x7FFFFFFFu), QOR_ROW4(0x7Fu),
    QOR_ROW4(0x42AEAC50u),
    {},
    {
#include "vector_math/kernels/exp_log/tables/sexp_ha_t128.inc"
    },
    0x1.71547652b82fep+0,  // log2 e = 1.4426950408889634
    0x1.8p+52,             // 6755399441055744.0
    {0x1.0000000000000p+0, 0x1.62e42fefa39efp-1, 0x1.ebfbdff82c58ep-3, 0x1.c6b08d704a0bfp-5,
     0x1.3b2ab6fba4e77p-7, 0x1.5d87fe78a6730p-10, 0x1.430912f86c786p-13, 0x1.ffcbfc588b0c5p-17,
     0x1.62c0223a5c822p-20, 0x1.b5253d395e7c1p-24, 0x1.e4cf5158b8ec7p-28},
};
static_assert(offsetof(SExpHATable, t) == 256);

const SExpLATable kSExpLA = {
    {QOR_ROW4(0x4338AA3Bu), QOR_ROW4(0x3BB18000u), QOR_ROW4(0xB5DE8083u), QOR_ROW4(0x4B300000u),
     QOR_ROW4(0x3F800000u), QOR_ROW4(0x3F000000u), QOR_ROW4(0x7FFFFFFFu), QOR_ROW4(0x7Fu),
     QOR_ROW4(0x42AEAC50u)},
    {},
    {
#include "vector_math/kernels/exp_log/tables/sexp_la_f128.inc"
    },
};
static_assert(offsetof(SExpLATable, f) == 256);

const DExpTable kDExp = {
    QOR_ROW2(0x1.8p+52),
    QOR_ROW2(92.33248261689366),
    QOR_ROW2(0.010830424695086549),
    QOR_ROW2(1.162596423439437e-12),
    QOR_ROW2(0.008333343728805863),
    QOR_ROW2(0.04166672515731616),
    QOR_ROW2(0.16666666666653376),
    QOR_ROW2(0.49999999999945266),
    QOR_ROW2(0xFFC0ull),
    QOR_ROW2(0x7FF0000000000000ull),
    {
#include "vector_math/kernels/exp_log/tables/dexp_t64.inc"
    },
};
static_assert(offsetof(DExpTable, t) == 160);

const SLnTable kSLn = {{
#include "vector_math/kernels/exp_log/tables/sln_t65.inc"
}};

const DLnTable kDLn = {
    {
#include "vector_math/kernels/exp_log/tables/dln_t513.inc"
    },
    QOR_ROW2(0x000FFFFFFFFFFFFFull),
    QOR_ROW2(0x3FE7FC0000000000ull),
    QOR_ROW2(1.0),
    QOR_ROW2(0xFFFFFFFF00000000ull),
    QOR_ROW2(1572864.0),
    QOR_ROW2(0.2000001934420511),
    QOR_ROW2(-0.2500001988694339),
    QOR_ROW2(0.3333333333332741),
    QOR_ROW2(-0.49999999999995254),
    QOR_ROW2(0.6931471805598903),
    QOR_ROW2(5.497923018708371e-14),
};

const DLogBaseTable kDLog2 = {{
#include "vector_math/kernels/exp_log/tables/dlog2_t513.inc"
}};
const DLogBaseTable kDLog10 = {{
#include "vector_math/kernels/exp_log/tables/dlog10_t513.inc"
}};
const DLogLATable kDLog2LA = {{
#include "vector_math/kernels/exp_log/tables/dlog2_la513.inc"
}};
const DLogLATable kDLog10LA = {{
#include "vector_math/kernels/exp_log/tables/dlog10_la513.inc"
}};

}  // namespace qor::vm::exp_log
