#include "qasm3/lexer.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <variant>
#include <vector>

namespace qelto::qasm3 {

void PrintTo(const Token& token, std::ostream* os) {
  *os << "Token#" << static_cast<int>(token.kind) << "(" << to_string(token)
      << ")";
}

namespace {

using K = TokenKind;

Token fixed(K kind) { return Token::of(kind); }
Token ident(std::string text) { return Token::identifier(std::move(text)); }
Token integer(std::uint64_t value) { return Token::int_literal(value); }
Token real(double value) { return Token::float_literal(value); }

using Entry = std::variant<SpannedToken, LexFailure>;

// Tokens and failures merged back into source order.
std::vector<Entry> entries_of(std::string_view source) {
  LexResult lexed = tokenize(source);
  std::vector<Entry> entries;
  std::size_t f = 0;
  for (const LexedToken& token : lexed.tokens) {
    while (f < lexed.failures.size() &&
           lexed.failures[f].span.start < token.span().start) {
      entries.emplace_back(std::move(lexed.failures[f++]));
    }
    entries.emplace_back(token.spanned(source));
  }
  for (; f < lexed.failures.size(); ++f) {
    entries.emplace_back(std::move(lexed.failures[f]));
  }
  return entries;
}

// The tokens of `source`, failing the test if there is any failure.
std::vector<Token> tokens_of(std::string_view source) {
  LexResult lexed = tokenize(source);
  EXPECT_TRUE(lexed.failures.empty()) << "unexpected failure in: " << source;
  std::vector<Token> tokens;
  for (const LexedToken& token : lexed.tokens) {
    tokens.push_back(token.token(source));
  }
  return tokens;
}

struct TokenCase {
  const char* name;
  std::string source;
  std::vector<Token> expected;
};

class LexesTo : public testing::TestWithParam<TokenCase> {};

TEST_P(LexesTo, produces_expected_tokens) {
  EXPECT_EQ(tokens_of(GetParam().source), GetParam().expected);
}

const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Lexer, LexesTo,
    testing::Values(
        TokenCase{"empty", "", {}},
        TokenCase{"only_trivia", " \t\r\n// x\n/* y\n */ //", {}},
        TokenCase{"no_spaces_needed",
                  "qubit[2]q;",
                  {fixed(K::Qubit), fixed(K::LBracket), integer(2),
                   fixed(K::RBracket), ident("q"), fixed(K::Semicolon)}},
        TokenCase{"keyword_needs_whole_run",
                  "measure_all measure qubits Cx u cx OPENQASM3 pi U CX _1",
                  {ident("measure_all"), fixed(K::Measure), ident("qubits"),
                   ident("Cx"), ident("u"), ident("cx"), ident("OPENQASM3"),
                   fixed(K::Pi), fixed(K::U), fixed(K::CX), ident("_1")}},
        TokenCase{"no_three_char_shift_assign",
                  "x <<= 1",
                  {ident("x"), fixed(K::LShift), fixed(K::Equals), integer(1)}},
        TokenCase{
            "no_three_char_power_assign",
            "a**=b",
            {ident("a"), fixed(K::DoubleStar), fixed(K::Equals), ident("b")}},
        TokenCase{"longest_two_char_match",
                  "->= === &&& ||| !== >>= */",
                  {fixed(K::Arrow), fixed(K::Equals), fixed(K::EqEq),
                   fixed(K::Equals), fixed(K::AndAnd), fixed(K::Amp),
                   fixed(K::OrOr), fixed(K::Pipe), fixed(K::NotEq),
                   fixed(K::Equals), fixed(K::RShift), fixed(K::Equals),
                   fixed(K::Star), fixed(K::Slash)}},
        TokenCase{"incomplete_exponent_after_sign",
                  "1e+x",
                  {integer(1), ident("e"), fixed(K::Plus), ident("x")}},
        TokenCase{"incomplete_exponent_after_fraction",
                  "1.5e",
                  {real(1.5), ident("e")}},
        TokenCase{"exponent_sign_without_digit",
                  "2.E-",
                  {real(2.0), ident("E"), fixed(K::Minus)}},
        TokenCase{"no_hex_literals", "0x1F", {integer(0), ident("x1F")}},
        TokenCase{
            "literal_never_starts_with_dot", ".5", {fixed(K::Dot), integer(5)}},
        TokenCase{"float_spellings",
                  "3.0 3. 3e0 3.0E+0 3 2e3 1.e5 1e-7",
                  {real(3.0), real(3.0), real(3.0), real(3.0), integer(3),
                   real(2000.0), real(100000.0), real(1e-7)}},
        TokenCase{"leading_zeros", "007 00.50", {integer(7), real(0.5)}},
        TokenCase{"version_then_dot",
                  "3.0.1",
                  {real(3.0), fixed(K::Dot), integer(1)}},
        TokenCase{"float_range_edges",
                  "1e999 1e-999 0.0000e99999999999999999999 "
                  "1e99999999999999999999999",
                  {real(kInf), real(0.0), real(0.0), real(kInf)}},
        TokenCase{"largest_integer",
                  "18446744073709551615",
                  {integer(18446744073709551615u)}},
        TokenCase{"too_large_integer_is_fine_as_float",
                  "18446744073709551616.0",
                  {real(18446744073709551616.0)}},
        TokenCase{"block_comment_between_words",
                  "a/*x*/b /* / * /* */c",
                  {ident("a"), ident("b"), ident("c")}},
        TokenCase{"line_comment_keeps_carriage_return",
                  "a // c\r\nb//z",
                  {ident("a"), ident("b")}},
        TokenCase{"string_keeps_everything_between_quotes",
                  "include \"a\n/*b*/ 'c\";",
                  {fixed(K::Include), Token::string_literal("a\n/*b*/ 'c"),
                   fixed(K::Semicolon)}},
        TokenCase{"lone_slash_at_end", "a /", {ident("a"), fixed(K::Slash)}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(Lexer, every_fixed_spelling_lexes_to_its_kind) {
  for (std::size_t i = 0; i < kTokenKindCount; ++i) {
    const auto kind = static_cast<TokenKind>(i);
    const std::string_view text = spelling(kind);
    if (text.empty()) {
      continue;
    }
    const std::vector<Entry> entries = entries_of(text);
    ASSERT_EQ(entries.size(), 1u) << text;
    const auto& token = std::get<SpannedToken>(entries[0]);
    EXPECT_EQ(token.token, fixed(kind)) << text;
    EXPECT_EQ(token.span, (Span{0, text.size()})) << text;
  }
}

TEST(Lexer, spans_are_byte_offsets) {
  const std::vector<Entry> entries = entries_of("é qubit\t\"s\"");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(std::get<SpannedToken>(entries[1]).span, (Span{3, 8}));
  EXPECT_EQ(std::get<SpannedToken>(entries[2]).span, (Span{9, 12}));
}

struct FailureCase {
  const char* name;
  std::string source;
  // Every failure entry, in order.
  std::vector<LexFailure> expected;
};

LexFailure failure(std::size_t start, std::size_t end, std::string text) {
  return LexFailure{Span{start, end}, "Invalid token: '" + text + "'"};
}

class FailsWith : public testing::TestWithParam<FailureCase> {};

TEST_P(FailsWith, reports_failing_ranges) {
  const std::vector<LexFailure> failures = tokenize(GetParam().source).failures;
  ASSERT_EQ(failures.size(), GetParam().expected.size());
  for (std::size_t i = 0; i < failures.size(); ++i) {
    EXPECT_EQ(failures[i].span, GetParam().expected[i].span) << i;
    EXPECT_EQ(failures[i].message, GetParam().expected[i].message) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lexer, FailsWith,
    testing::Values(
        FailureCase{
            "hash_after_statement", "qubit q; #", {failure(9, 10, "#")}},
        FailureCase{
            "unterminated_block_comment", "a/*x\n", {failure(1, 5, "/*x\n")}},
        FailureCase{"unterminated_string", "x \"abc", {failure(2, 6, "\"abc")}},
        FailureCase{"integer_one_above_max",
                    "[18446744073709551616]",
                    {failure(1, 21, "18446744073709551616")}},
        FailureCase{"non_ascii_letter_is_one_token",
                    "\xC3\xA9",
                    {failure(0, 2, "\xC3\xA9")}},
        FailureCase{
            "three_and_four_byte_characters",
            "\xE2\x82\xAC"
            "a\xF0\x9F\x98\x80",
            {failure(0, 3, "\xE2\x82\xAC"), failure(4, 8, "\xF0\x9F\x98\x80")}},
        FailureCase{"non_ascii_space_is_not_whitespace",
                    "a\xC2\xA0"
                    "b",
                    {failure(1, 3, "\xC2\xA0")}},
        FailureCase{"truncated_sequence_stops_at_non_continuation",
                    "\xE2\x82x\xE2",
                    {failure(0, 2, "\xE2\x82"), failure(3, 4, "\xE2")}},
        FailureCase{"stray_continuation_bytes_fail_one_by_one",
                    "\x80\xBF",
                    {failure(0, 1, "\x80"), failure(1, 2, "\xBF")}},
        FailureCase{
            "control_and_reserved_ascii",
            std::string("\x00\x01\x0B\x0C\x1F\x7F#$'?\\`", 12),
            {failure(0, 1, std::string(1, '\0')), failure(1, 2, "\x01"),
             failure(2, 3, "\x0B"), failure(3, 4, "\x0C"),
             failure(4, 5, "\x1F"), failure(5, 6, "\x7F"), failure(6, 7, "#"),
             failure(7, 8, "$"), failure(8, 9, "'"), failure(9, 10, "?"),
             failure(10, 11, "\\"), failure(11, 12, "`")}}),
    [](const auto& c) { return std::string(c.param.name); });

TEST(CollectTokens, reports_first_failure_as_lexer_error) {
  const auto result = collect_tokens(tokenize("qubit q; # $"));
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(to_string(result.error()),
            "Lexer error at position 9: Invalid token: '#'");
}

TEST(CollectTokens, keeps_tokens_in_order) {
  const std::string_view source = "h q;";
  const auto result = collect_tokens(tokenize(source));
  ASSERT_TRUE(result.has_value());
  ASSERT_EQ(result->size(), 3u);
  EXPECT_EQ((*result)[1].token(source), ident("q"));
  EXPECT_EQ((*result)[2].span(), (Span{3, 4}));
}

TEST(LineOf, counts_line_feeds_before_offset) {
  const std::string_view source = "a\nb\r\n\nc";
  const std::pair<std::size_t, std::size_t> cases[] = {
      {0, 1}, {1, 1}, {2, 2}, {4, 2}, {5, 3}, {6, 4}, {100, 4}};
  for (const auto& [offset, line] : cases) {
    EXPECT_EQ(line_of(source, offset), line) << offset;
  }
}

// Bytes that steer random input towards interesting lexer states.
constexpr std::string_view kAlphabet =
    "aeEz_09.+-*/<>=!&|%^~@()[]{};:,\"#' \t\r\n\v\xC3\xA9\xE2\x82\xAC\x80\xFF";

std::string random_source(std::mt19937& rng) {
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::bernoulli_distribution any_byte(0.1);
  std::string source;
  for (int n = length(rng); n > 0; --n) {
    source.push_back(any_byte(rng) ? static_cast<char>(byte(rng))
                                   : kAlphabet[pick(rng)]);
  }
  return source;
}

Span span_of(const Entry& entry) {
  if (const auto* token = std::get_if<SpannedToken>(&entry)) {
    return token->span;
  }
  return std::get<LexFailure>(entry).span;
}

// Every byte belongs to exactly one entry or to skipped trivia, and each
// entry lexes the same way when its slice stands alone.
void check_cover(const std::string& source) {
  const std::vector<Entry> entries = entries_of(source);
  std::size_t covered = 0;
  for (const Entry& entry : entries) {
    const Span span = span_of(entry);
    ASSERT_LE(covered, span.start) << source;
    ASSERT_LT(span.start, span.end) << source;
    ASSERT_LE(span.end, source.size()) << source;
    const std::string_view gap(source.data() + covered, span.start - covered);
    EXPECT_TRUE(entries_of(gap).empty()) << source;
    const std::string_view slice(source.data() + span.start,
                                 span.end - span.start);
    const std::vector<Entry> alone = entries_of(slice);
    ASSERT_EQ(alone.size(), 1u) << source;
    EXPECT_EQ(span_of(alone[0]), (Span{0, slice.size()})) << source;
    if (const auto* f = std::get_if<LexFailure>(&entry)) {
      EXPECT_EQ(f->message, "Invalid token: '" + std::string(slice) + "'");
    } else {
      EXPECT_EQ(std::get<SpannedToken>(alone[0]).token,
                std::get<SpannedToken>(entry).token);
    }
    covered = span.end;
  }
  const std::string_view tail(source.data() + covered, source.size() - covered);
  EXPECT_TRUE(entries_of(tail).empty()) << source;
}

TEST(LexerProperty, every_byte_is_covered_exactly_once) {
  std::mt19937 rng(20240611);
  for (int i = 0; i < 20000; ++i) {
    check_cover(random_source(rng));
    if (testing::Test::HasFailure()) {
      return;
    }
  }
}

}  // namespace
}  // namespace qelto::qasm3
