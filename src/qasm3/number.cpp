#include "qasm3/number.hpp"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstddef>
#include <limits>
#include <system_error>

namespace qelto::qasm3 {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::size_t skip_digits(std::string_view s, std::size_t i) {
  while (i < s.size() && is_digit(s[i])) {
    ++i;
  }
  return i;
}

// Decimal exponent of the leading significant digit of a nonzero float
// lexeme, saturated far beyond the double range. Only its sign matters: it
// tells an overflow from an underflow.
long long decimal_magnitude(std::string_view lexeme) {
  // Saturating here keeps absurd exponents like 1e999999999999999999999
  // from wrapping while staying far outside the double range.
  constexpr long long kCap = 1'000'000'000'000'000LL;
  std::size_t i = 0;
  long long magnitude = 0;
  while (i < lexeme.size() && lexeme[i] == '0') {
    ++i;
  }
  const std::size_t int_end = skip_digits(lexeme, i);
  magnitude =
      static_cast<long long>(std::min<std::size_t>(int_end - i, kCap)) - 1;
  i = int_end;
  if (magnitude < 0 && i < lexeme.size() && lexeme[i] == '.') {
    std::size_t j = i + 1;
    while (j < lexeme.size() && lexeme[j] == '0') {
      ++j;
    }
    magnitude = -static_cast<long long>(std::min<std::size_t>(j - i, kCap));
  }
  const std::size_t e = lexeme.find_first_of("eE");
  if (e == std::string_view::npos) {
    return magnitude;
  }
  std::size_t j = e + 1;
  const bool negative = lexeme[j] == '-';
  if (lexeme[j] == '+' || lexeme[j] == '-') {
    ++j;
  }
  long long exponent = 0;
  for (; j < lexeme.size(); ++j) {
    exponent = std::min(kCap, exponent * 10 + (lexeme[j] - '0'));
  }
  return magnitude + (negative ? -exponent : exponent);
}

}  // namespace

double parse_float(std::string_view lexeme) {
  double value = 0.0;
  const auto [ptr, ec] =
      std::from_chars(lexeme.data(), lexeme.data() + lexeme.size(), value);
  assert(ptr == lexeme.data() + lexeme.size() && "not a float lexeme");
  if (ec != std::errc::result_out_of_range) {
    return value;
  }
  return decimal_magnitude(lexeme) > 0 ? std::numeric_limits<double>::infinity()
                                       : 0.0;
}

}  // namespace qelto::qasm3
