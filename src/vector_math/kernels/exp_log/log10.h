// Log10: double precision (HA, LA) and single precision (LA, HA, EP).
#pragma once

#include "vector_math/kernels/exp_log/dlog_core.h"
#include "vector_math/kernels/exp_log/slog_core.h"

namespace qor::vm::exp_log {

// ==== double precision ======================================================================

using DLog10HA = DLogFamily<Base10, dlogk::Flavour::HA>;
using DLog10LA = DLogFamily<Base10, dlogk::Flavour::LA>;

// ==== single precision ======================================================================

using SLog10LA = SLogPolyFamily<Base10, SLogPolyEval<2, true, false>>;
using SLog10EP = SLogPolyFamily<Base10, SLogPolyEval<2, false, false>>;

using SLog10HA = SLogDivFamily<Base10, 2>;

}  // namespace qor::vm::exp_log
