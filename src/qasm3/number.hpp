#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qelto::qasm3 {

// Where a numeric literal starting with a digit at `start` ends, and whether
// it is a float (it has a `.` or a complete exponent). An `e` not followed by
// digits (optionally after one sign) is left for the next token.
struct NumberLexeme {
  std::size_t end = 0;
  bool is_float = false;
};

[[nodiscard]] NumberLexeme scan_number(std::string_view source,
                                       std::size_t start);

// The nearest double to a float lexeme (digits, optional `.` and fraction,
// optional exponent). Magnitudes beyond the double range give infinity,
// magnitudes below the smallest subnormal give zero.
[[nodiscard]] double parse_float(std::string_view lexeme);

// A decimal digit run as an unsigned 64-bit value; nullopt above
// 18446744073709551615.
[[nodiscard]] std::optional<std::uint64_t> parse_u64(std::string_view digits);

}  // namespace qelto::qasm3
