#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qasm3/error.hpp"
#include "qasm3/token.hpp"

namespace qelto::qasm3 {

// A range the lexer could not read. `message` is
// "Invalid token: '{text}'" with the source slice copied byte for byte.
struct LexFailure {
  Span span;
  std::string message;

  friend bool operator==(const LexFailure&, const LexFailure&) = default;
};

// One entry of a token list, in 16 bytes: the token's kind and its span.
// Nothing is copied out of the source: the text of an Identifier is the
// slice of its span, that of a StringLiteral the slice without its quotes,
// and the value of a literal is read from its slice, so the source must be
// at hand to read them.
class LexedToken {
 public:
  LexedToken(TokenKind kind, Span span) noexcept;

  [[nodiscard]] TokenKind kind() const noexcept {
    return static_cast<TokenKind>(end_and_kind_ >> kKindShift);
  }
  [[nodiscard]] Span span() const noexcept {
    return Span{start_, end_and_kind_ & kEndMask};
  }

  // Reading a token needs `source`, the text the list was made from.
  // Payload accessors; calling one on a token of another kind is a bug.
  [[nodiscard]] std::uint64_t int_value(std::string_view source) const;
  [[nodiscard]] double float_value(std::string_view source) const;
  // The text of an Identifier or a StringLiteral (without quotes), as a
  // view into `source`.
  [[nodiscard]] std::string_view text(std::string_view source) const;
  // The token with its payload read and its text copied out.
  [[nodiscard]] Token token(std::string_view source) const;
  [[nodiscard]] SpannedToken spanned(std::string_view source) const;

  friend bool operator==(const LexedToken&, const LexedToken&) = default;

 private:
  // The kind sits in the top byte of the end offset; no text reaches 2^56
  // bytes.
  static constexpr int kKindShift = 56;
  static constexpr std::uint64_t kEndMask = (std::uint64_t{1} << 56) - 1;

  [[nodiscard]] std::string_view slice(std::string_view source) const;

  std::uint64_t start_;
  std::uint64_t end_and_kind_;
};

// Everything the lexer read from one source. Each lexeme of the source is
// exactly one entry of one of the two lists; each list is in source order,
// so merging them by span start gives the lexemes in order. Whitespace and
// comments produce no entry. Failures own their messages; tokens refer to
// the source for their texts and values.
struct LexResult {
  std::vector<LexedToken> tokens;
  std::vector<LexFailure> failures;
};

// Lexes the whole source. Never stops early: after a failure it resumes, so
// there may be several failures.
[[nodiscard]] LexResult tokenize(std::string_view source);

// The tokens, moved out without copying, or a LexerError for the first
// failure (its message, and the start of its range as position).
[[nodiscard]] ParseResult<std::vector<LexedToken>> collect_tokens(
    LexResult&& lexed);

// The reader's text for a range the lexer could not read: LexFailure's
// message, followed by ": {feature} are not supported" where the range starts
// a feature the reader lacks (a physical qubit `$0`, a directive `#pragma`,
// a character outside ASCII).
[[nodiscard]] std::string lex_failure_message(std::string_view source,
                                              Span span);

// 1-based line of the byte at `offset`: one more than the number of line
// feeds before it. Offsets past the end count the whole source.
[[nodiscard]] std::size_t line_of(std::string_view source, std::size_t offset);

}  // namespace qelto::qasm3
