#include "qasm3/number.hpp"

#include <algorithm>
#include <cassert>
#include <charconv>
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

// End of a complete exponent starting at `i`, or `i` if there is none.
std::size_t exponent_end(std::string_view s, std::size_t i) {
  if (i >= s.size() || (s[i] != 'e' && s[i] != 'E')) {
    return i;
  }
  std::size_t j = i + 1;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
    ++j;
  }
  if (j >= s.size() || !is_digit(s[j])) {
    return i;
  }
  return skip_digits(s, j);
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

NumberLexeme scan_number(std::string_view source, std::size_t start) {
  std::size_t end = skip_digits(source, start);
  if (end < source.size() && source[end] == '.') {
    return {exponent_end(source, skip_digits(source, end + 1)), true};
  }
  const std::size_t exp_end = exponent_end(source, end);
  return {exp_end, exp_end != end};
}

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

std::optional<std::uint64_t> parse_u64(std::string_view digits) {
  std::uint64_t value = 0;
  for (const char c : digits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (__builtin_mul_overflow(value, 10u, &value) ||
        __builtin_add_overflow(value, digit, &value)) {
      return std::nullopt;
    }
  }
  return value;
}

}  // namespace qelto::qasm3
