// Log2: double precision (HA, LA, EP) and single precision (LA, HA, EP).
#pragma once

#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/exp_log/slog_core.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

using DLog2HA = DLogFamily<Base2, dlogk::Flavour::HA>;
using DLog2LA = DLogFamily<Base2, dlogk::Flavour::LA>;
using DLog2EP = DLogFamily<Base2, dlogk::Flavour::EP>;

// ==== single precision ======================================================================

using SLog2LA = SLogPolyFamily<Base2, SLogPolyEval<1, true, false>>;
using SLog2EP = SLogPolyFamily<Base2, SLogPolyEval<1, false, false>>;

using SLog2HA = SLogDivFamily<Base2, 1>;

}  // namespace qor::vm::exp_log
