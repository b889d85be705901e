#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace qelto::qasm3 {

// Every token kind of the reader, in the order of token_kind.def. The lexer
// produces all of them, including keywords and operators the parser rejects.
enum class TokenKind : std::uint8_t {
#define QELTO_KEYWORD(Name, spelling) Name,
#define QELTO_LITERAL(Name) Name,
#define QELTO_SYMBOL(Name, spelling) Name,
#include "qasm3/token_kind.def"
};

inline constexpr std::size_t kTokenKindCount = 0
#define QELTO_KEYWORD(Name, spelling) +1
#define QELTO_LITERAL(Name) +1
#define QELTO_SYMBOL(Name, spelling) +1
#include "qasm3/token_kind.def"
    ;

// Each kind's fixed spelling, indexed by kind; empty for the payload kinds.
inline constexpr std::array<std::string_view, kTokenKindCount> kTokenSpellings =
    {
#define QELTO_KEYWORD(Name, spelling) spelling,
#define QELTO_LITERAL(Name) "",
#define QELTO_SYMBOL(Name, spelling) spelling,
#include "qasm3/token_kind.def"
};

// The exact source spelling of a keyword, operator or punctuation kind, e.g.
// "OPENQASM", "**", "||". Empty for the four kinds that carry a payload
// (FloatLiteral, IntLiteral, StringLiteral, Identifier).
[[nodiscard]] constexpr std::string_view spelling(TokenKind kind) {
  return kTokenSpellings[static_cast<std::size_t>(kind)];
}

// One token: its kind and, for the four literal/name kinds, its payload.
// FloatLiteral holds a double, IntLiteral a std::uint64_t, StringLiteral and
// Identifier an owned std::string; every other kind holds std::monostate.
// Copies are deep.
struct Token {
  TokenKind kind = TokenKind::OpenQasm;
  std::variant<std::monostate, double, std::uint64_t, std::string> value;

  // A token of `kind` with the default payload of that kind (0.0, 0 or
  // empty text). Used where a kind alone is named, e.g. "expected ;".
  [[nodiscard]] static Token of(TokenKind kind);
  [[nodiscard]] static Token float_literal(double value);
  [[nodiscard]] static Token int_literal(std::uint64_t value);
  [[nodiscard]] static Token string_literal(std::string text);
  [[nodiscard]] static Token identifier(std::string text);

  // Payload accessors; calling one on a token of another kind is a bug.
  [[nodiscard]] double float_value() const;
  [[nodiscard]] std::uint64_t int_value() const;
  // The text of a StringLiteral (without quotes) or an Identifier.
  [[nodiscard]] const std::string& text() const;

  // Kind and payload equal. The parser compares kinds only (`same_kind`).
  friend bool operator==(const Token&, const Token&) = default;
};

// Tokens are of the same kind when their kinds are equal; payloads are
// ignored, so an expected Identifier accepts any identifier.
[[nodiscard]] inline bool same_kind(const Token& a, const Token& b) {
  return a.kind == b.kind;
}

// Display text used in every message that names a token: the spelling for
// keywords and operators, the float in shortest round-trip digits without
// exponent (3.0 -> "3", 1e-7 -> "0.0000001"), the integer in decimal, a
// string literal between double quotes, an identifier as its name.
[[nodiscard]] std::string to_string(const Token& token);

// Display text of a token of `kind` with the default payload.
[[nodiscard]] std::string to_string(TokenKind kind);

// Shortest decimal digits that read back to `value`, written without
// exponent and without a fractional part when the value is integral.
// Infinities display as "inf" / "-inf", not-a-number as "nan".
[[nodiscard]] std::string format_float(double value);

// Half-open byte range [start, end) into the source text.
struct Span {
  std::size_t start = 0;
  std::size_t end = 0;

  friend bool operator==(Span, Span) = default;
};

// One lexed token with its place in the source.
struct SpannedToken {
  Token token;
  Span span;

  friend bool operator==(const SpannedToken&, const SpannedToken&) = default;
};

}  // namespace qelto::qasm3
