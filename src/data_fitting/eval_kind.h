// The evaluation kinds of a task's spline (from its order and type), shared by interpolation and
// integration.
#pragma once

#include "data_fitting/task.h"

namespace qor::df {

enum Kind : int32_t { kLinear, kQuadratic, kCubic, kSubbotin, kArbitrary, kStepLeft, kStepRight, kLookUp };

// Spline kind from order and type: DfOk or DfErrType.
inline int32_t select_kind(int64_t order, int64_t type, bool all_callbacks, Kind* kind) {
  if (order == QOR_DF_ORDER_LINEAR) { *kind = kLinear; return DfOk; }
  if (order == QOR_DF_ORDER_QUADRATIC) {
    if (type == QOR_DF_TYPE_DEFAULT) { *kind = kQuadratic; return DfOk; }
    if (type == QOR_DF_TYPE_SUBBOTIN) { *kind = kSubbotin; return DfOk; }
    return DfErrType;
  }
  if (order == QOR_DF_ORDER_CUBIC) {
    switch (type) {
      case QOR_DF_TYPE_DEFAULT: case QOR_DF_TYPE_NATURAL: case QOR_DF_TYPE_HERMITE: case QOR_DF_TYPE_BESSEL:
      case QOR_DF_TYPE_AKIMA: case QOR_DF_TYPE_HYMAN:
        *kind = kCubic;
        return DfOk;
      default: return DfErrType;
    }
  }
  if (order > QOR_DF_ORDER_CUBIC) { *kind = kArbitrary; return DfOk; }
  if (order == QOR_DF_ORDER_NONE) {
    if (type == QOR_DF_TYPE_LOOKUP) { *kind = kLookUp; return DfOk; }
    if (type == QOR_DF_TYPE_STEP_RIGHT) { *kind = kStepRight; return DfOk; }
    if (type == QOR_DF_TYPE_STEP_LEFT) { *kind = kStepLeft; return DfOk; }
    if (all_callbacks) { *kind = kArbitrary; return DfOk; }
  }
  return DfErrType;
}

}  // namespace qor::df
