#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qelto::qasm3 {

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

struct Expression;

// The variants of Expression. Every node owns its children exclusively; the
// tree has no sharing.
namespace expr {

// An integer literal as written. Literals carry no sign (negation is a Neg
// node), so the full unsigned 64-bit range is kept rather than folding
// literals above 2^63 - 1 into negative numbers.
struct Int {
  std::uint64_t value = 0;
};

struct Float {
  double value = 0.0;
};

struct Bool {
  bool value = false;
};

struct Identifier {
  std::string name;
};

struct Pi {};
struct Tau {};
struct Euler {};

// Arithmetic negation; `!` parses into this node too.
struct Neg {
  std::unique_ptr<Expression> operand;
};

struct BinOp {
  std::unique_ptr<Expression> left;
  qasm3::BinOp op = qasm3::BinOp::Add;
  std::unique_ptr<Expression> right;
};

struct FnCall {
  std::string name;
  std::vector<Expression> args;
};

// Never produced by the parser.
struct Index {
  std::unique_ptr<Expression> target;
  std::unique_ptr<Expression> index;
};

struct Paren {
  std::unique_ptr<Expression> inner;
};

}  // namespace expr

// Trees built by the parser are at most kMaxNestingDepth deep (see
// parser.hpp), so the recursive walks over them stay shallow.
struct Expression {
  std::variant<expr::Int, expr::Float, expr::Bool, expr::Identifier, expr::Pi,
               expr::Tau, expr::Euler, expr::Neg, expr::BinOp, expr::FnCall,
               expr::Index, expr::Paren>
      node;

  // Folds the expression to a number where it can: literals, the three
  // constants, Neg, Paren, BinOp of Add, Sub, Mul, Div, Mod (remainder with
  // the sign of the left operand) and Pow over foldable operands, and a call
  // of sin, cos, tan, exp, ln or sqrt with one foldable argument. Everything
  // else (Bool, Identifier, Index, other calls and operators) yields
  // nothing.
  [[nodiscard]] std::optional<double> as_f64() const;
};

// Convenience constructors for the nodes that own children.
[[nodiscard]] Expression make_neg(Expression operand);
[[nodiscard]] Expression make_binop(Expression left, BinOp op,
                                    Expression right);
[[nodiscard]] Expression make_paren(Expression inner);

// A reference to a declared register, or to one bit of it. Indexes are kept
// at full width so that an index beyond 32 bits is reported, not wrapped.
struct BitRef {
  std::string name;
  std::optional<std::uint64_t> index;
};

// The modifiers a gate call may carry. The parser never fills them.
namespace modifier {
struct Inv {};
struct Pow {
  Expression exponent;
};
struct Ctrl {
  std::optional<std::uint32_t> count;
};
struct NegCtrl {
  std::optional<std::uint32_t> count;
};
}  // namespace modifier

using GateModifier = std::variant<modifier::Inv, modifier::Pow, modifier::Ctrl,
                                  modifier::NegCtrl>;

struct Statement;

// The variants of Statement, in declaration order.
namespace stmt {

struct Include {
  std::string path;
};

// Sizes are kept at full width; the lowering rejects those beyond 32 bits.
struct QubitDecl {
  std::string name;
  std::optional<std::uint64_t> size;
};

struct BitDecl {
  std::string name;
  std::optional<std::uint64_t> size;
};

struct GateCall {
  std::string name;
  std::vector<Expression> params;
  std::vector<BitRef> qubits;
  std::vector<GateModifier> modifiers;
};

struct Measure {
  std::vector<BitRef> qubits;
  std::vector<BitRef> bits;
};

struct Reset {
  std::vector<BitRef> qubits;
};

struct Barrier {
  std::vector<BitRef> qubits;
};

// The expressions of the rarer statements are boxed: a Statement is as
// large as its largest variant, and a program holds one per line.

// Never produced by the parser. `duration` is never null.
struct Delay {
  std::unique_ptr<Expression> duration;
  std::vector<BitRef> qubits;
};

// `condition` is never null.
struct If {
  std::unique_ptr<Expression> condition;
  std::vector<Statement> then_body;
  std::optional<std::vector<Statement>> else_body;
};

// `start` and `end` are never null; a null `step` means none was written.
struct For {
  std::string variable;
  std::unique_ptr<Expression> start;
  std::unique_ptr<Expression> end;
  std::unique_ptr<Expression> step;
  std::vector<Statement> body;
};

struct GateDef {
  std::string name;
  std::vector<std::string> params;
  std::vector<std::string> qubits;
  std::vector<Statement> body;
};

// `value` is never null.
struct Assign {
  std::string name;
  std::optional<std::uint64_t> index;
  std::unique_ptr<Expression> value;
};

}  // namespace stmt

struct Statement {
  std::variant<stmt::Include, stmt::QubitDecl, stmt::BitDecl, stmt::GateCall,
               stmt::Measure, stmt::Reset, stmt::Barrier, stmt::Delay, stmt::If,
               stmt::For, stmt::GateDef, stmt::Assign>
      node;
};

struct Program {
  // The version number after OPENQASM, e.g. "3.0".
  std::string version;
  std::vector<Statement> statements;
};

// Debug texts in the derived form: "Pow", "Bool(true)", "Neg(Int(1))",
// "Identifier(\"theta\")", "BinOp { left: Int(1), op: Eq, right: Int(2) }",
// "FnCall { name: \"f\", args: [Int(1), Pi] }". Floats show at least one
// fractional digit and switch to exponent form at magnitudes of 1e16 and
// above or below 1e-4. Optional fields print as "None" / "Some(..)".
[[nodiscard]] std::string to_string(BinOp op);
[[nodiscard]] std::string to_string(const Expression& expression);
[[nodiscard]] std::string to_string(const BitRef& ref);
[[nodiscard]] std::string to_string(const GateModifier& modifier);
[[nodiscard]] std::string to_string(const Statement& statement);
[[nodiscard]] std::string to_string(const Program& program);

}  // namespace qelto::qasm3
