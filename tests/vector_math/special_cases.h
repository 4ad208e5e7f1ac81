// Special values of one-argument functions, checked in every slot: (function, x, expected
// result, status). A NaN expectation accepts any NaN; a zero or infinite one also checks the sign.
// The single-precision check takes x and the expectation rounded to float.
#pragma once

#include "accuracy_harness.h"

namespace vm_test {

struct SpecialCase {
  const char* func;
  double x;
  double expect;
  int status;
};

template <class T>
void check_special(const SpecialCase& c) {
  for (int s : {LA, HA, EP}) {
    Recording rec;
    const T r = one<T>(kernel<T>(c.func, s), static_cast<T>(c.x));
    const std::string what = std::string(1, type_letter<T>) + c.func + " " + slot_name(s) + " x = " + std::to_string(c.x);
    if (std::isnan(c.expect)) {
      EXPECT_TRUE(std::isnan(r)) << what << " gave " << r;
    } else {
      EXPECT_EQ(r, static_cast<T>(c.expect)) << what;
      EXPECT_EQ(std::signbit(r), std::signbit(c.expect)) << what;
    }
    if (c.status) {
      ASSERT_EQ(reports().size(), 1u) << what;
      EXPECT_EQ(reports()[0].code, c.status) << what;
      EXPECT_EQ(reports()[0].index, 0) << what;
    } else {
      EXPECT_TRUE(reports().empty()) << what << " reported " << (reports().empty() ? 0 : reports()[0].code);
    }
  }
}

// Every case in both precisions.
inline void check_specials(std::initializer_list<SpecialCase> cases) {
  for (const SpecialCase& c : cases) {
    check_special<float>(c);
    check_special<double>(c);
  }
}

}  // namespace vm_test
