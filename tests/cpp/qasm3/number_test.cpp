#include "qasm3/number.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace qelto::qasm3 {
namespace {

// The six-decimal rule stated directly: the fixed text with six decimals
// when it reads back as the same bits, the shortest exact text otherwise.
std::string six_decimals_by_definition(double value) {
  std::array<char, 400> buffer;
  const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                     value, std::chars_format::fixed, 6);
  double back = 0;
  std::from_chars(buffer.data(), written.ptr, back);
  if (std::bit_cast<std::uint64_t>(back) == std::bit_cast<std::uint64_t>(value)) {
    return std::string(buffer.data(), written.ptr);
  }
  std::string shortest;
  append_shortest(shortest, value);
  return shortest;
}

std::string six_decimals(double value) {
  std::string text;
  append_six_decimals_or_shortest(text, value);
  return text;
}

// splitmix64: the same values on every platform.
std::uint64_t next(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

TEST(Number, six_decimals_follow_their_definition_for_millionths) {
  // Values the six-decimal text holds exactly, on both sides of 2^20 where
  // the writer changes method, and their neighbours, which it does not.
  std::uint64_t state = 1;
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t r = next(state);
    const auto millionths = static_cast<double>(r % 4'000'000'000'000ull);
    double value = (r >> 63) != 0 ? -millionths / 1e6 : millionths / 1e6;
    if (i % 3 == 1) {
      value = std::nextafter(value, 1e300);
    }
    SCOPED_TRACE(value);
    ASSERT_EQ(six_decimals(value), six_decimals_by_definition(value));
  }
}

TEST(Number, six_decimals_follow_their_definition_for_any_bits) {
  std::uint64_t state = 2;
  for (int i = 0; i < 200000; ++i) {
    const double value = std::bit_cast<double>(next(state));
    if (!std::isfinite(value)) {
      continue;
    }
    SCOPED_TRACE(value);
    ASSERT_EQ(six_decimals(value), six_decimals_by_definition(value));
  }
}

TEST(Number, six_decimals_at_the_edges) {
  for (const double value :
       {0.0, -0.0, 1048576.0, -1048576.0, 1048575.999999, 1048576.000001,
        std::nextafter(1048576.0, 0.0), 0.000001, -0.000001, 0.0000005,
        1e15, 1.7976931348623157e308, -1.7976931348623157e308, 5e-324}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(six_decimals(value), six_decimals_by_definition(value));
  }
  // The writer's own buffer holds the longest text of all.
  std::array<char, kMaxNumberText> buffer;
  const char* end =
      write_six_decimals_or_shortest(buffer.data(), -1.7976931348623157e308);
  EXPECT_EQ(static_cast<std::size_t>(end - buffer.data()), kMaxNumberText);
}

}  // namespace
}  // namespace qelto::qasm3
