#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qelto::qasm3 {

// The nearest double to a float lexeme (digits, optional `.` and fraction,
// optional exponent). Magnitudes beyond the double range give infinity,
// magnitudes below the smallest subnormal give zero.
[[nodiscard]] double parse_float(std::string_view lexeme);

// Appends the shortest decimal text that reads back as exactly `value`
// (finite), sign included: std::to_chars's shortest form ("0.5", "1e-07",
// "0.3333333333333333", "2", "-0"). A whole number too long for the
// reader's 64-bit integer literals is written in scientific form instead
// ("1.2345678901234568e+21").
void append_shortest(std::string& out, double value);

// The longest text the two functions below write: a sign, 309 integer
// digits, the point and six decimals.
inline constexpr std::size_t kMaxNumberText = 317;

// The same as append_shortest, written at `out`; returns the end of the
// text (at most 24 characters).
char* write_shortest(char* out, double value);

// Appends `value` (finite) with six decimals ("0.500000", "-0.000000")
// when that text reads back as exactly `value` (same bits, so the sign of
// zero counts), and its shortest exact text (as append_shortest) otherwise.
void append_six_decimals_or_shortest(std::string& out, double value);

// The same, written at `out` (room for kMaxNumberText); returns the end.
char* write_six_decimals_or_shortest(char* out, double value);

}  // namespace qelto::qasm3
