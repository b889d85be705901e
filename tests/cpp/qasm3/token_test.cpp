#include "qasm3/token.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <limits>
#include <string>

namespace qelto::qasm3 {
namespace {

struct DisplayCase {
  Token token;
  std::string text;
};

class TokenDisplay : public testing::TestWithParam<DisplayCase> {};

TEST_P(TokenDisplay, matches_display_text) {
  EXPECT_EQ(to_string(GetParam().token), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Token, TokenDisplay,
    testing::Values(
        DisplayCase{Token::of(TokenKind::OpenQasm), "OPENQASM"},
        DisplayCase{Token::of(TokenKind::OrOr), "||"},
        DisplayCase{Token::of(TokenKind::Pipe), "|"},
        DisplayCase{Token::float_literal(3.0), "3"},
        DisplayCase{Token::float_literal(0.5), "0.5"},
        DisplayCase{Token::float_literal(0.1), "0.1"},
        DisplayCase{Token::float_literal(3.1), "3.1"},
        DisplayCase{Token::float_literal(1e-7), "0.0000001"},
        DisplayCase{Token::float_literal(1e21), "1000000000000000000000"},
        DisplayCase{Token::float_literal(123456789.125), "123456789.125"},
        DisplayCase{
            Token::float_literal(std::numeric_limits<double>::infinity()),
            "inf"},
        DisplayCase{Token::int_literal(18446744073709551615u),
                    "18446744073709551615"},
        DisplayCase{Token::string_literal("a b"), "\"a b\""},
        DisplayCase{Token::identifier("q0"), "q0"}));

TEST(TokenDisplay, shortest_digits_read_back_exactly) {
  const double values[] = {0.1 + 0.2, 1.0 / 3.0, 5e-324,
                           std::numeric_limits<double>::max()};
  for (const double value : values) {
    const std::string text = format_float(value);
    double back = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(back, value) << text;
    EXPECT_EQ(format_float(value).find_first_of("eE"), std::string::npos);
  }
}

TEST(TokenKind, bare_kind_displays_with_default_payload) {
  EXPECT_EQ(to_string(TokenKind::Identifier), "");
  EXPECT_EQ(to_string(TokenKind::StringLiteral), "\"\"");
  EXPECT_EQ(to_string(TokenKind::RBracket), "]");
  EXPECT_EQ(spelling(TokenKind::IntLiteral), "");
}

TEST(Token, same_kind_ignores_payload) {
  EXPECT_TRUE(
      same_kind(Token::identifier("a"), Token::of(TokenKind::Identifier)));
  EXPECT_FALSE(same_kind(Token::identifier("pi"), Token::of(TokenKind::Pi)));
  EXPECT_NE(Token::identifier("a"), Token::identifier("b"));
}

}  // namespace
}  // namespace qelto::qasm3
