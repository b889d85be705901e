#include "qasm3/number.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
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

namespace {

// Shortest round-trip text is at most 24 characters
// ("-2.2250738585072014e-308").
using ShortestBuffer = std::array<char, 32>;

// The shortest exact text of `value` in `buffer`, as the reader can take
// it: a digit run without `.` or exponent is a 64-bit integer to the
// reader, and 19 digits always fit where 20 may not.
bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::string_view shortest_text(ShortestBuffer& buffer, double value) {
  auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  assert(result.ec == std::errc() && "shortest buffer too small");
  std::string_view text(buffer.data(),
                        static_cast<std::size_t>(result.ptr - buffer.data()));
  constexpr std::size_t kSafeIntegerDigits = 19;
  const std::size_t digits = text.size() - (value < 0 ? 1 : 0);
  if (digits > kSafeIntegerDigits &&
      text.find_first_of(".e") == std::string_view::npos) {
    result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                           std::chars_format::scientific);
    assert(result.ec == std::errc() && "shortest buffer too small");
    text = std::string_view(
        buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  }
  return text;
}

}  // namespace

char* write_shortest(char* out, double value) {
  ShortestBuffer buffer;
  const std::string_view text = shortest_text(buffer, value);
  return std::copy(text.begin(), text.end(), out);
}

void append_shortest(std::string& out, double value) {
  ShortestBuffer buffer;
  out += shortest_text(buffer, value);
}

namespace {

// |m| / 10^6 with six decimals, after a minus sign when `negative`.
char* write_millionths(char* out, std::uint64_t m, bool negative) {
  constexpr std::uint64_t kMillion = 1'000'000;
  if (negative) {
    *out++ = '-';
  }
  out = std::to_chars(out, out + 20, m / kMillion).ptr;
  *out++ = '.';
  std::uint64_t fraction = m % kMillion;
  for (int i = 5; i >= 0; --i) {
    out[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  return out + 6;
}

}  // namespace

char* write_six_decimals_or_shortest(char* out, double value) {
  constexpr int kDecimals = 6;
  // The six-decimal text is M / 10^6 for the integer M nearest to
  // value * 10^6, and the double it reads back as is M / 1e6 correctly
  // rounded: one division. Below 2^20 the product rounded in floating point
  // still has M as its nearest integer whenever the text reads back exactly
  // (both errors stay under a thousandth), so the check needs no text at
  // all, and the text is M's digits around a point (value lies within
  // 2^-33 of M / 10^6, far closer than the half millionth that rounding
  // to six decimals could cross); beyond, the text is made and parsed.
  constexpr double kMillion = 1e6;
  constexpr double kCheapBelow = 1048576.0;
  if (std::fabs(value) < kCheapBelow) {
    const double m = std::nearbyint(value * kMillion);
    if (!same_bits(m / kMillion, value)) {
      return write_shortest(out, value);
    }
    return write_millionths(out, static_cast<std::uint64_t>(std::fabs(m)),
                            std::signbit(value));
  }
  const auto written = std::to_chars(out, out + kMaxNumberText, value,
                                     std::chars_format::fixed, kDecimals);
  assert(written.ec == std::errc() && "fixed text longer than kMaxNumberText");
  double back = value;
  std::from_chars(out, written.ptr, back);
  if (!same_bits(back, value)) {
    return write_shortest(out, value);
  }
  return written.ptr;
}

void append_six_decimals_or_shortest(std::string& out, double value) {
  std::array<char, kMaxNumberText> buffer;
  out.append(buffer.data(), write_six_decimals_or_shortest(buffer.data(), value));
}

}  // namespace qelto::qasm3
