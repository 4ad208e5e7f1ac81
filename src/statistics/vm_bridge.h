// The vector-math kernels the statistics methods use, one internal function per kernel.
//
// Today each one calls the C++ standard library; when our own double kernels are available
// through the function tables, only these bodies change.
#pragma once

#include <cmath>

namespace qor::ss::vm {

inline double sqrt(double x) { return std::sqrt(x); }
inline double exp(double x) { return std::exp(x); }
inline double ln(double x) { return std::log(x); }

}  // namespace qor::ss::vm
