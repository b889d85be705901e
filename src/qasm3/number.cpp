#include "qasm3/number.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <charconv>
#include <cstddef>
#include <cstdint>
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

void append_shortest(std::string& out, double value) {
  // Shortest round-trip text is at most 24 characters
  // ("-2.2250738585072014e-308").
  std::array<char, 32> buffer;
  auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  assert(result.ec == std::errc() && "shortest buffer too small");
  const std::string_view text(
      buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  // The reader takes a digit run without `.` or exponent as a 64-bit
  // integer; 19 digits always fit, 20 may not.
  constexpr std::size_t kSafeIntegerDigits = 19;
  const std::size_t digits = text.size() - (value < 0 ? 1 : 0);
  if (digits > kSafeIntegerDigits &&
      text.find_first_of(".e") == std::string_view::npos) {
    result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                           std::chars_format::scientific);
    assert(result.ec == std::errc() && "shortest buffer too small");
  }
  out.append(buffer.data(), result.ptr);
}

bool append_six_decimals_if_exact(std::string& out, double value) {
  // Sign, up to 309 integer digits, the point and six decimals.
  std::array<char, 330> buffer;
  const auto written =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                    std::chars_format::fixed, 6);
  assert(written.ec == std::errc() && "fixed buffer too small");
  double back = 0.0;
  const auto read = std::from_chars(buffer.data(), written.ptr, back);
  if (read.ec != std::errc() || std::bit_cast<std::uint64_t>(back) !=
                                    std::bit_cast<std::uint64_t>(value)) {
    return false;
  }
  out.append(buffer.data(), written.ptr);
  return true;
}

}  // namespace qelto::qasm3
