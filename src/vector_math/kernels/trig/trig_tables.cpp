// The trigonometric tables of trig_tables.h.
#include "vector_math/kernels/trig/trig_tables.h"

namespace qor::vm::trig {

#define QOR_R2(x) {x, x}
#define QOR_R4(x) {x, x, x, x}

const DSinHATable kDSinHA = {
    QOR_R2(0x1.45f306dc9c883p+4),  // 20.371832715762604
    QOR_R2(0x1.8p52),
    QOR_R2(0x1.921fb54400000p-5),  // 0.049087385210441425
    QOR_R2(0x1.0b4611a600000p-39), // 1.8990939082199894e-12
    QOR_R2(0x1.3198a2e037073p-74), // 6.319582027487346e-23
    QOR_R2(-0x1.5555555555555p-3), QOR_R2(0x1.1111111111111p-7), QOR_R2(-0x1.a01a01a01a01ap-13),
    QOR_R2(-0.5), QOR_R2(0x1.5555555555555p-5), QOR_R2(-0x1.6c16c16c16c17p-10),
    QOR_R2(0x7FFFFFFFFFFFFFFFull),
    {
#include "vector_math/kernels/trig/tables/dsin_pi64.inc"
    },
};

const SSinHATable kSSinHA = {
    QOR_R4(0x4222F983u),  // 40.743664 = 128/pi
    QOR_R4(0x4B400000u),  // 12582912.0
    QOR_R4(0xBCC90FDBu), QOR_R4(0x303BC000u), QOR_R4(0xA9346000u), QOR_R4(0xA18D3132u),
    QOR_R4(0xBE2AAAABu), QOR_R4(0x3C08885Cu),
    QOR_R4(0xBF000000u), QOR_R4(0x3D2AAA7Cu),
    QOR_R4(0x7FFFFFFFu),
    QOR_R4(0x461C4000u),
    {
#include "vector_math/kernels/trig/tables/ssin_pi128.inc"
    },
};

const double kAtanJ64[65][2] = {
#include "vector_math/kernels/trig/tables/atan_j64.inc"
};

#undef QOR_R2
#undef QOR_R4

}  // namespace qor::vm::trig
