#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace qelto::qasm3::testing_support {

// One row of a table-driven test: a named source text and the outcome
// expected from it, as text.
struct Case {
  std::string name;
  std::string input;
  std::string expected;
};

// Shows the source text when a row fails.
inline void PrintTo(const Case& c, std::ostream* os) { *os << c.input; }

inline std::string case_name(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

}  // namespace qelto::qasm3::testing_support
