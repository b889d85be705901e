#pragma once

#include <string_view>

namespace qelto::qasm3 {

// The nearest double to a float lexeme (digits, optional `.` and fraction,
// optional exponent). Magnitudes beyond the double range give infinity,
// magnitudes below the smallest subnormal give zero.
[[nodiscard]] double parse_float(std::string_view lexeme);

}  // namespace qelto::qasm3
