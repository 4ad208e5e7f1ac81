// Single Cosh HA on the SSE2 path, in a file of its own: it is compiled with the scheduler run
// before register allocation as well (-fschedule-insns -fsched-pressure, src/CMakeLists.txt),
// which interleaves the two registers of a block with fewer copies and takes about 5% off the
// kernel (bench/vector_math/README-special.md, `wave2-fhyp15`).
#include "vector_math/frame/kernel_export.h"
#include "vector_math/kernels/hyperbolic/cosh.h"
#include "vector_math/kernels/hyperbolic/sinh.h"
#include "vector_math/kernels/hyperbolic/tanh.h"
// after the double families it names (sinh.h, cosh.h, tanh.h)
#include "vector_math/kernels/hyperbolic/single_ha.h"

using namespace qor::vm::hyperbolic;

QOR_FNX_KERNEL(sCosh, W7HAynn, SCoshHA)
