// Test-size scaling: QOR_TEST_SCALE (default 1) shrinks random sweeps on slow targets
// (the i386 build runs under an emulator, the sanitizer build is slower too).
#pragma once

#include <cstdlib>

namespace qor::test {

inline double scale() {
  const char* s = std::getenv("QOR_TEST_SCALE");
  double v = s ? std::atof(s) : 1.0;
  return v > 0 ? v : 1.0;
}

// n scaled, at least `floor`.
inline long scaled(long n, long floor = 1) {
  long v = static_cast<long>(static_cast<double>(n) * scale());
  return v < floor ? floor : v;
}

}  // namespace qor::test
