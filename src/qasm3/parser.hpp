#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "qasm3/error.hpp"
#include "qasm3/scanner.hpp"
#include "qasm3/syntax.hpp"
#include "qasm3/token.hpp"

namespace qelto::qasm3 {

// The deepest nesting of statement bodies (if / else / for / gate bodies)
// the parser reads. Bodies recurse in the parser and in printing, at a few
// frames per level, which at 256 levels fits easily in the 8 MiB that Linux
// gives the main thread and new threads, while hand-written programs never
// come near it; on a smaller stack they stop earlier with the same error
// (see stack_room.hpp). Expressions have no bound: they are parsed,
// folded, converted and printed without recursion.
inline constexpr std::size_t kMaxNestingDepth = 256;

// The outcome of one private step of the parser. Parsing stops at the first
// error and the parser keeps that error itself, so a step only says whether
// it succeeded and its result stays small enough to pass in registers.
struct ParseFailed {};
template <class T>
using ParseStep = std::expected<T, ParseFailed>;

// Recursive-descent parser over the tokens of one source text. It pulls
// tokens from the lexer's scanner one at a time instead of holding the whole
// token list, which for a large program would be many times the size of the
// text, and hands out one top-level statement at a time in the flat form of
// syntax.hpp, so that a reader that consumes statements as they come never
// holds the whole program.
//
// The observable order of errors is the same as tokenizing first: every
// error the parser returns is replaced by the first lexing failure of the
// whole text, if there is one. One parser parses one program; the source
// must outlive it.
class Parser {
 public:
  explicit Parser(std::string_view source);

  // The version line (`OPENQASM`, the version number, `;`) if the text
  // starts with one; returns the version text, empty when there is no
  // version line. Must come first.
  [[nodiscard]] ParseResult<std::string> parse_header();

  // The next top-level statement, or nullptr when no token is left. The
  // statement and everything it refers to stay in `syntax()` until the next
  // call. The first error ends parsing.
  [[nodiscard]] ParseResult<const SyntaxStmt*> next_statement();

  [[nodiscard]] const SyntaxTree& syntax() const noexcept { return syntax_; }

  // The byte offset where the error last returned was found.
  [[nodiscard]] std::size_t error_offset() const noexcept {
    return error_offset_;
  }

 private:
  // What waits, while an expression is parsed, for the operand being read:
  // a binary operator (its left operand done), a negation, an open
  // parenthesis, or a call (its name and arguments so far in `calls_`).
  // Three bytes, as the text may nest a level per byte.
  struct Waiting {
    enum class Kind : std::uint8_t { Binary, Negation, Group, Call };
    Kind kind = Kind::Binary;
    BinOp op = BinOp::Add;
    std::uint8_t precedence = 0;
  };
  struct OpenCall {
    // Where its arguments start on `pending_expressions_`.
    std::size_t mark = 0;
    std::string_view name;
  };

  // Counts one open body or operand for as long as it lives.
  class DepthGuard {
   public:
    explicit DepthGuard(std::size_t& depth) : depth_(depth) { ++depth_; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    ~DepthGuard() { --depth_; }

   private:
    std::size_t& depth_;
  };

  // Loads the next lexeme as the current token, noting the first failure.
  // Inline: it runs once per token.
  void advance() {
    if (!scanner_.next(lexeme_)) {
      at_end_ = true;
    } else if (lexeme_.failed) {
      note_failure();
    }
  }
  void note_failure();
  // False at the end of input and on a lexeme that failed to lex.
  [[nodiscard]] bool readable() const { return !at_end_ && !lexeme_.failed; }
  [[nodiscard]] bool at_end() const { return at_end_; }
  [[nodiscard]] bool next_is(TokenKind kind) const {
    return readable() && lexeme_.kind == kind;
  }
  [[nodiscard]] std::string_view text() const;
  [[nodiscard]] Token current_token() const;
  [[nodiscard]] bool consume(TokenKind kind);
  [[nodiscard]] ParseStep<void> expect(TokenKind kind);
  [[nodiscard]] ParseError unexpected(std::string expected) const;
  [[nodiscard]] ParseError too_deep() const;
  // Refuses the statement at the current token: `feature` is not read.
  [[nodiscard]] std::unexpected<ParseFailed> unsupported(
      std::string_view feature);
  // Keeps `error` as the error that ends parsing.
  [[nodiscard]] std::unexpected<ParseFailed> fail(ParseError error);
  // The error that ended parsing, unless the text holds a lexing failure,
  // which wins.
  [[nodiscard]] ParseError reported_error();
  [[nodiscard]] std::optional<LexerError> first_lexer_failure();

  // Appends a default entry to one of the syntax tree's arrays. Positions in
  // the tree are 32-bit, so a statement that needs more entries is refused
  // like one that exhausts memory (at tens of bytes an entry, it would need
  // far more memory than that anyway).
  template <class T>
  static T& append(std::vector<T>& array) {
    if (array.size() >= std::numeric_limits<std::uint32_t>::max()) {
      throw std::bad_alloc();
    }
    return array.emplace_back();
  }
  // Appends a record of `kind` to the syntax tree, to be filled in place:
  // copying in a record just built stalls on memory still being written.
  // The new record is the last of its array.
  SyntaxExpr& new_expression(SyntaxExprKind kind);
  SyntaxStmt& new_statement(SyntaxStmtKind kind);
  [[nodiscard]] std::uint32_t last_expression() const {
    return static_cast<std::uint32_t>(syntax_.expressions.size() - 1);
  }
  [[nodiscard]] std::uint32_t last_statement() const {
    return static_cast<std::uint32_t>(syntax_.statements.size() - 1);
  }
  // Appends a statement of a kind with its parts in `SyntaxTree::details`;
  // returns its position.
  std::uint32_t add(SyntaxStmt statement, const SyntaxDetail& detail);
  // Lists whose items are parsed recursively are gathered on a stack first
  // and moved to their array when complete, so each list is contiguous.
  // `mark` is the stack height when the list began.
  SyntaxRange take_expressions(std::size_t mark);
  SyntaxRange take_statements(std::size_t mark);

  [[nodiscard]] ParseStep<std::string> parse_version();
  [[nodiscard]] ParseStep<std::string_view> parse_identifier();
  [[nodiscard]] ParseStep<std::uint64_t> parse_int_literal();
  [[nodiscard]] ParseStep<std::uint64_t> parse_bracketed_int();
  [[nodiscard]] ParseStep<SyntaxRange> parse_identifier_list();
  [[nodiscard]] ParseStep<void> parse_bit_ref();
  [[nodiscard]] ParseStep<SyntaxRange> parse_qubit_refs();
  [[nodiscard]] ParseStep<SyntaxRange> parse_operands();
  [[nodiscard]] ParseStep<std::optional<std::uint64_t>> parse_optional_size();

  [[nodiscard]] ParseStep<std::uint32_t> parse_statement();
  [[nodiscard]] ParseStep<std::uint32_t> parse_include();
  [[nodiscard]] ParseStep<std::uint32_t> parse_declaration(TokenKind kind);
  [[nodiscard]] ParseStep<std::uint32_t> parse_register(SyntaxStmtKind kind);
  [[nodiscard]] ParseStep<std::uint32_t> parse_delay();
  [[nodiscard]] ParseStep<std::uint32_t> parse_statement_at(TokenKind kind);
  [[nodiscard]] ParseStep<std::uint32_t> parse_measure();
  [[nodiscard]] ParseStep<std::uint32_t> parse_reset();
  [[nodiscard]] ParseStep<std::uint32_t> parse_barrier();
  [[nodiscard]] ParseStep<std::uint32_t> parse_gate_def();
  [[nodiscard]] ParseStep<std::uint32_t> parse_if();
  [[nodiscard]] ParseStep<std::uint32_t> parse_for();
  [[nodiscard]] ParseStep<std::uint32_t> parse_identifier_statement();
  [[nodiscard]] ParseStep<std::uint32_t> parse_assignment(
      std::string_view name, std::optional<std::uint64_t> index);
  [[nodiscard]] ParseStep<std::uint32_t> parse_gate_call(
      std::string_view name, SyntaxRange params);
  [[nodiscard]] ParseStep<SyntaxRange> parse_block_or_statement();
  [[nodiscard]] ParseStep<SyntaxRange> parse_block_rest();

  // Expressions are parsed without recursion (see parser_expr.cpp), on the
  // two stacks below.
  [[nodiscard]] ParseStep<std::uint32_t> parse_expression();
  [[nodiscard]] ParseStep<SyntaxRange> parse_expression_list();
  [[nodiscard]] ParseStep<std::uint32_t> parse_expression_tree();
  [[nodiscard]] ParseStep<void> parse_operand();
  void apply_negations();
  void reduce_binary(std::uint8_t min_precedence);
  [[nodiscard]] ParseStep<bool> close_group();
  [[nodiscard]] ParseStep<void> finish_call();
  void wrap_operand(SyntaxExprKind kind);

  std::string_view source_;
  Scanner scanner_;
  // The current token; its kind is valid when readable().
  Lexeme lexeme_;
  bool at_end_ = false;
  std::optional<LexerError> first_failure_;
  std::optional<ParseError> error_;
  std::size_t error_offset_ = 0;
  // Statement bodies currently open; bounds the recursion.
  std::size_t depth_ = 0;
  SyntaxTree syntax_;
  // The expression being parsed: what waits for operands, and the operands
  // done (kept between statements for their capacity).
  std::vector<Waiting> waiting_;
  std::vector<OpenCall> calls_;
  std::vector<std::uint32_t> operands_;
  std::vector<std::uint32_t> pending_expressions_;
  std::vector<std::uint32_t> pending_statements_;
};

// How many statements `source` holds at most, judged by its semicolons and
// capped in proportion to its length.
[[nodiscard]] std::size_t statement_hint(std::string_view source);

}  // namespace qelto::qasm3
