// The error-function lookup table of erf_table.h.
#include "vector_math/kernels/special/erf_table.h"

namespace qor::vm::special {

alignas(32) const double kErfT128[kErfRows][4] = {
#include "vector_math/kernels/special/tables/erf_t128.inc"
};

alignas(16) const double kErfDlo[kErfRows] = {
#include "vector_math/kernels/special/tables/erf_dlo128.inc"
};

alignas(16) const double kErfSmall[15] = {
#include "vector_math/kernels/special/tables/erf_small.inc"
};

}  // namespace qor::vm::special
