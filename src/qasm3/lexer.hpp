#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
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

// One lexeme: a token or a failure.
using LexEntry = std::variant<SpannedToken, LexFailure>;

// Lexes the whole source, in order, one entry per lexeme; whitespace and
// comments produce none. Never stops early: after a failure it resumes, so
// the list may hold several failures. Entries own their texts and do not
// refer to `source`.
[[nodiscard]] std::vector<LexEntry> tokenize(std::string_view source);

// The tokens of `entries` in order, or a LexerError for the first failure
// entry (its message, and the start of its range as position).
[[nodiscard]] ParseResult<std::vector<SpannedToken>> collect_tokens(
    std::vector<LexEntry>&& entries);

// 1-based line of the byte at `offset`: one more than the number of line
// feeds before it. Offsets past the end count the whole source.
[[nodiscard]] std::size_t line_of(std::string_view source, std::size_t offset);

}  // namespace qelto::qasm3
