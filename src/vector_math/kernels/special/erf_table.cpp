// The error-function lookup table of erf_table.h.
#include "vector_math/kernels/special/erf_table.h"

namespace qor::vm::special {

alignas(32) const double kErfT128[kErfRows][4] = {
#include "vector_math/kernels/special/tables/erf_t128.inc"
};

alignas(16) const double kErfDlo[kErfRows] = {
#include "vector_math/kernels/special/tables/erf_dlo128.inc"
};

alignas(64) const double kErfTaylor[kErfTaylorRows][8] = {
#include "vector_math/kernels/special/tables/erf_taylor128.inc"
};

alignas(64) const float kErfF64[kErfFIndexRows][2] = {
#include "vector_math/kernels/special/tables/erf_f64.inc"
};

alignas(64) const float kErfF128[kErfFIndexRows][2] = {
#include "vector_math/kernels/special/tables/erf_f128.inc"
};

alignas(64) const float kErfcF256[kErfcF256Rows][2] = {
#include "vector_math/kernels/special/tables/erfc_f256.inc"
};

alignas(64) const float kErfFHA128[kErfFHARows][4] = {
#include "vector_math/kernels/special/tables/erf_fha128.inc"
};

alignas(64) const float kErfcFHA256[kErfcFHARows][4] = {
#include "vector_math/kernels/special/tables/erfc_fha256.inc"
};

}  // namespace qor::vm::special
