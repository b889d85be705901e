// `parse`: reading a whole program into a circuit.
//
// The result must be that of three stages run one after the other: lexing
// the whole text, parsing the whole program, then lowering it in two passes
// (every declaration, then every operation). Holding the whole program
// between the stages would cost far more memory than the text, so the
// reader lowers each statement as soon as it is parsed and keeps nothing.
// That gives the same circuit and the same first error as the staged order
// whenever every declaration comes before the first operation, which is how
// programs are written. Otherwise, and when memory runs out midway, the
// early work is thrown away once parsing has succeeded, and the operations
// are lowered again from a second parse of the text, with every declaration
// known.
#include <new>
#include <optional>
#include <utility>

#include "qasm3/lower.hpp"
#include "qasm3/parser.hpp"

namespace qelto::qasm3 {
namespace {

// Room for the operations the text announces, so that the circuit's arrays
// are not moved as they grow. Most statements are one operation on one or
// two operands. It is only a head start: one that cannot be had is skipped.
void reserve_operations(ir::Circuit& circuit, std::size_t statements) {
  try {
    circuit.reserve_operations(statements, 2 * statements);
  } catch (const std::bad_alloc&) {
    // Growing on demand still works.
  }
}

class Reader {
 public:
  // `statements`: how many top-level statements the text holds at most.
  explicit Reader(std::size_t statements) : statements_(statements) {}

  // One top-level statement, in program order.
  void take(const SyntaxTree& tree, const SyntaxStmt& statement);
  // The outcome once the whole text has parsed.
  [[nodiscard]] ParseResult<ir::Circuit> finish(std::string_view source);

 private:
  void declare(const SyntaxStmt& statement);
  void operate(const SyntaxTree& tree, const SyntaxStmt& statement);
  // Every operation again, from a fresh parse, into a fresh circuit.
  [[nodiscard]] ParseResult<ir::Circuit> replay(std::string_view source);

  std::size_t statements_;
  Lowerer lowerer_;
  std::optional<ir::Circuit> circuit_;
  // The first error of the statements so far. A declaration error is final
  // (pass 1 runs entirely before pass 2); an operation error holds only if
  // no declaration follows.
  std::optional<ParseError> error_;
  bool declaration_failed_ = false;
  bool operation_seen_ = false;
  bool replay_ = false;
};

void Reader::take(const SyntaxTree& tree, const SyntaxStmt& statement) {
  if (declaration_failed_) {
    return;
  }
  if (Lowerer::is_operation(statement)) {
    operate(tree, statement);
  } else {
    declare(statement);
  }
}

void Reader::declare(const SyntaxStmt& statement) {
  if (auto declared = lowerer_.declare(statement); !declared) {
    error_ = std::move(declared.error());
    declaration_failed_ = true;
    circuit_.reset();
    return;
  }
  if (operation_seen_ && (statement.kind == SyntaxStmtKind::QubitDecl ||
                          statement.kind == SyntaxStmtKind::BitDecl)) {
    // Earlier operations were lowered without this register.
    replay_ = true;
    circuit_.reset();
  }
}

void Reader::operate(const SyntaxTree& tree, const SyntaxStmt& statement) {
  operation_seen_ = true;
  if (replay_ || error_) {
    return;
  }
  try {
    if (!circuit_) {
      circuit_ = lowerer_.make_circuit();
      reserve_operations(*circuit_, statements_);
    }
    if (auto lowered = lowerer_.lower(*circuit_, tree, statement); !lowered) {
      error_ = std::move(lowered.error());
      circuit_.reset();
    }
  } catch (const std::bad_alloc&) {
    // A syntax error later in the text would win over running out of
    // memory, so the failure waits for the replay to meet it again.
    replay_ = true;
    circuit_.reset();
  }
}

ParseResult<ir::Circuit> Reader::finish(std::string_view source) {
  if (declaration_failed_) {
    return std::unexpected(std::move(*error_));
  }
  if (replay_) {
    return replay(source);
  }
  if (error_) {
    return std::unexpected(std::move(*error_));
  }
  if (!circuit_) {
    return lowerer_.make_circuit();
  }
  return std::move(*circuit_);
}

ParseResult<ir::Circuit> Reader::replay(std::string_view source) {
  ir::Circuit circuit = lowerer_.make_circuit();
  reserve_operations(circuit, statements_);
  Parser parser(source);
  auto header = parser.parse_header();
  if (!header) {
    return std::unexpected(std::move(header.error()));
  }
  for (;;) {
    auto statement = parser.next_statement();
    if (!statement) {
      return std::unexpected(std::move(statement.error()));
    }
    if (*statement == nullptr) {
      return circuit;
    }
    if (auto lowered = lowerer_.lower(circuit, parser.syntax(), **statement);
        !lowered) {
      return std::unexpected(std::move(lowered.error()));
    }
  }
}

}  // namespace

ParseResult<ir::Circuit> parse(std::string_view source) {
  Parser parser(source);
  if (auto header = parser.parse_header(); !header) {
    return std::unexpected(std::move(header.error()));
  }
  Reader reader(parser.statement_hint());
  for (;;) {
    auto statement = parser.next_statement();
    if (!statement) {
      return std::unexpected(std::move(statement.error()));
    }
    if (*statement == nullptr) {
      return reader.finish(source);
    }
    reader.take(parser.syntax(), **statement);
  }
}

}  // namespace qelto::qasm3
