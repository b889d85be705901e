#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>


namespace qelto::qasm3 {

// The reader's one syntax form, for one top-level statement at a time: flat
// arrays whose entries refer to each other by position, so that parsing a
// statement allocates nothing once the arrays have grown to fit the largest
// one. Lowering, constant folding and error texts all read this form;
// syntax_text.hpp prints it for debugging.
//
// Names and texts are views into the source text: a SyntaxTree is only valid
// while that text lives, and its entries only until the parser clears it for
// the next statement.

// Binary operators, in declaration order. The parser never produces LShift
// or RShift.
enum class BinOp : std::uint8_t {
  Add,
  Sub,
  Mul,
  Div,
  Mod,
  Pow,
  Eq,
  NotEq,
  Lt,
  LtEq,
  Gt,
  GtEq,
  And,
  Or,
  BitAnd,
  BitOr,
  BitXor,
  LShift,
  RShift,
};

// Positions [first, first + count) of one of the list arrays.
struct SyntaxRange {
  std::uint32_t first = 0;
  std::uint32_t count = 0;
};

// The kinds of expression node.
enum class SyntaxExprKind : std::uint8_t {
  Int,
  Float,
  Bool,
  Identifier,
  Pi,
  Tau,
  Euler,
  Neg,
  BinOp,
  FnCall,
  Paren,
};

struct SyntaxExpr {
  SyntaxExprKind kind = SyntaxExprKind::Int;
  // BinOp only.
  BinOp op = BinOp::Add;
  // Bool only.
  bool truth = false;
  // Neg and Paren: the operand; BinOp: the left operand.
  std::uint32_t left = 0;
  // BinOp: the right operand.
  std::uint32_t right = 0;
  // FnCall: the argument roots, in `SyntaxTree::expression_lists`.
  SyntaxRange args;
  // Int only; the literal's full 64 bits.
  std::uint64_t integer = 0;
  // Float only.
  double real = 0.0;
  // Identifier and FnCall.
  std::string_view name;
};

struct SyntaxRef {
  std::string_view name;
  std::optional<std::uint64_t> index;
  // Byte offset of the name in the source.
  std::size_t offset = 0;
};

// The kinds of statement.
enum class SyntaxStmtKind : std::uint8_t {
  Include,
  QubitDecl,
  BitDecl,
  GateCall,
  Measure,
  Reset,
  Barrier,
  If,
  For,
  GateDef,
  Assign,
  Delay,
};

// The parts of the rarer statements, kept apart so that the records of the
// common ones stay small.
struct SyntaxDetail {
  // If: the condition; For: start, end and (when `has_step`) step; Assign:
  // the value.
  std::uint32_t expr[3] = {0, 0, 0};
  bool has_step = false;
  // If: the then branch; For and GateDef: the body; in `statement_lists`.
  SyntaxRange body;
  std::optional<SyntaxRange> else_body;
  // GateDef: the parameter and qubit names, in `names`.
  SyntaxRange gate_params;
  SyntaxRange gate_qubits;
};

struct SyntaxStmt {
  SyntaxStmtKind kind = SyntaxStmtKind::Include;
  // If, For, GateDef and Assign: their parts, in `details`.
  std::uint32_t detail = 0;
  // Include: the path; declarations, GateCall, GateDef and Assign: the
  // name; For: the loop variable.
  std::string_view name;
  // Declarations: the size; Assign: the index; Delay: the duration.
  std::optional<std::uint64_t> number;
  // Byte offset of the statement's first token in the source.
  std::size_t offset = 0;
  // GateCall: the parameter roots, in `expression_lists`.
  SyntaxRange params;
  // GateCall, Measure, Reset, Barrier, Delay: the qubit references, in
  // `refs`.
  SyntaxRange qubits;
  // Measure: the targets, in `refs`.
  SyntaxRange bits;
};

// One top-level statement and everything below it. A node's children come
// before it in its array; list arrays hold positions in the node arrays.
struct SyntaxTree {
  std::vector<SyntaxExpr> expressions;
  std::vector<std::uint32_t> expression_lists;
  std::vector<SyntaxRef> refs;
  std::vector<SyntaxStmt> statements;
  std::vector<SyntaxDetail> details;
  std::vector<std::uint32_t> statement_lists;
  std::vector<std::string_view> names;

  // Empties every array, keeping its capacity.
  void clear() noexcept;
};

}  // namespace qelto::qasm3
