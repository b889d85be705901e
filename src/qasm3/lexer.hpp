#pragma once

#include <cstddef>
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

// Everything the lexer read from one source. Each lexeme of the source is
// exactly one entry of one of the two lists; each list is in source order,
// so merging them by span start gives the lexemes in order. Whitespace and
// comments produce no entry. Entries own their texts and do not refer to the
// source.
struct LexResult {
  std::vector<SpannedToken> tokens;
  std::vector<LexFailure> failures;
};

// Lexes the whole source. Never stops early: after a failure it resumes, so
// there may be several failures.
[[nodiscard]] LexResult tokenize(std::string_view source);

// The tokens, moved out without copying, or a LexerError for the first
// failure (its message, and the start of its range as position).
[[nodiscard]] ParseResult<std::vector<SpannedToken>> collect_tokens(
    LexResult&& lexed);

// 1-based line of the byte at `offset`: one more than the number of line
// feeds before it. Offsets past the end count the whole source.
[[nodiscard]] std::size_t line_of(std::string_view source, std::size_t offset);

}  // namespace qelto::qasm3
