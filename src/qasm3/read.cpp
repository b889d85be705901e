// `parse`: reading a whole program into a circuit, as a pipeline of
// scanner -> statement parser -> lowering, one statement at a time.
//
// The outcome must be that of three stages run one after the other: lexing
// the whole text, parsing the whole program, then lowering it in two passes
// (every declaration, then every operation). Holding the whole program
// between the stages would cost far more memory than the text, so each
// statement is lowered as soon as it is parsed and nothing is kept.
#include "qasm3/read.hpp"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "qasm3/lower.hpp"
#include "qasm3/parser.hpp"

namespace qelto::qasm3 {
namespace {

// Room for the operations the text announces, so that the circuit's arrays
// are not moved as they grow. Most statements are one operation on one or
// two operands; one statement may broadcast over a whole register (a final
// `c = measure q;` is the usual one), so room for that is added, up to as
// many operations as statements so that a short text naming a huge
// register reserves little. It is only a head start: one that cannot be had
// is skipped.
void reserve_operations(ir::Circuit& circuit, std::string_view source) {
  const std::size_t statements = statement_hint(source);
  const std::size_t broadcast = std::min<std::size_t>(
      std::max(circuit.num_qubits(), circuit.num_clbits()), statements);
  try {
    circuit.reserve_operations(statements + broadcast,
                               2 * (statements + broadcast));
  } catch (const std::bad_alloc&) {
    // Growing on demand still works.
  }
}

template <class T>
using Located = std::expected<T, SourceError>;

// Parses `source` and hands each top-level statement, in program order, to
// `take(tree, statement)`. Fails with the first lexing or syntax error.
template <class Take>
Located<void> each_statement(std::string_view source, Take&& take) {
  Parser parser(source);
  if (auto header = parser.parse_header(); !header) {
    return std::unexpected(locate(source, std::move(header.error()),
                                  parser.error_offset()));
  }
  for (;;) {
    auto statement = parser.next_statement();
    if (!statement) {
      return std::unexpected(locate(source, std::move(statement.error()),
                                    parser.error_offset()));
    }
    if (*statement == nullptr) {
      return {};
    }
    take(parser.syntax(), **statement);
  }
}

// What the one reading that every text gets leaves behind: every
// declaration, and every operation lowered as long as the registers it may
// name were all declared before it.
struct Reading {
  explicit Reading(const ReadOptions& options) : lowerer(options) {}

  Lowerer lowerer;
  std::optional<ir::Circuit> circuit;
  // The first declaration error; final, as declarations are all laid out
  // before any operation is lowered.
  std::optional<SourceError> declaration_error;
  // The first operation error; final unless the operations are lowered
  // again.
  std::optional<SourceError> operation_error;
  bool operation_seen = false;
  // A register was declared after an operation (which may then have meant
  // another register), or memory ran out while lowering (where a syntax
  // error later in the text would have won).
  bool lower_again = false;

  void take(std::string_view source, const SyntaxTree& tree,
            const SyntaxStmt& statement);
  void declare(std::string_view source, const SyntaxStmt& statement);
  void operate(std::string_view source, const SyntaxTree& tree,
               const SyntaxStmt& statement);
};

void Reading::take(std::string_view source, const SyntaxTree& tree,
                   const SyntaxStmt& statement) {
  if (declaration_error) {
    return;
  }
  if (Lowerer::is_operation(statement)) {
    operate(source, tree, statement);
  } else {
    declare(source, statement);
  }
}

void Reading::declare(std::string_view source, const SyntaxStmt& statement) {
  if (auto declared = lowerer.declare(statement); !declared) {
    declaration_error = locate(source, std::move(declared.error()),
                               lowerer.error_offset());
    circuit.reset();
    return;
  }
  if (operation_seen && Lowerer::is_register(statement)) {
    lower_again = true;
    circuit.reset();
  }
}

void Reading::operate(std::string_view source, const SyntaxTree& tree,
                      const SyntaxStmt& statement) {
  operation_seen = true;
  if (lower_again || operation_error) {
    return;
  }
  try {
    if (!circuit) {
      circuit = lowerer.make_circuit();
      reserve_operations(*circuit, source);
    }
    if (auto lowered = lowerer.lower(*circuit, tree, statement); !lowered) {
      operation_error = locate(source, std::move(lowered.error()),
                               lowerer.error_offset());
      circuit.reset();
    }
  } catch (const std::bad_alloc&) {
    lower_again = true;
    circuit.reset();
  }
}

// Every operation of `source` lowered into a fresh circuit, with every
// declaration already known to `lowerer`.
Located<ir::Circuit> lower_operations(std::string_view source,
                                     Lowerer& lowerer) {
  lowerer.forget_definitions();
  ir::Circuit circuit = lowerer.make_circuit();
  reserve_operations(circuit, source);
  std::optional<SourceError> error;
  auto read = each_statement(
      source, [&](const SyntaxTree& tree, const SyntaxStmt& statement) {
        if (!error && Lowerer::is_operation(statement)) {
          if (auto lowered = lowerer.lower(circuit, tree, statement);
              !lowered) {
            error = locate(source, std::move(lowered.error()),
                           lowerer.error_offset());
          }
        }
      });
  if (!read) {
    return std::unexpected(std::move(read.error()));
  }
  if (error) {
    return std::unexpected(std::move(*error));
  }
  return circuit;
}

}  // namespace

std::expected<ir::Circuit, SourceError> read(std::string_view source,
                                             const ReadOptions& options) {
  Reading reading(options);
  auto read = each_statement(
      source, [&](const SyntaxTree& tree, const SyntaxStmt& statement) {
        reading.take(source, tree, statement);
      });
  if (!read) {
    return std::unexpected(std::move(read.error()));
  }
  if (reading.declaration_error) {
    return std::unexpected(std::move(*reading.declaration_error));
  }
  if (reading.lower_again) {
    // Why the text is read a second time here: a register declared after an
    // operation may rename what that operation meant, and keeping every
    // statement's syntax to lower it later would cost many times the text.
    return lower_operations(source, reading.lowerer);
  }
  if (reading.operation_error) {
    return std::unexpected(std::move(*reading.operation_error));
  }
  if (!reading.circuit) {
    return reading.lowerer.make_circuit();
  }
  return std::move(*reading.circuit);
}

ParseResult<ir::Circuit> parse(std::string_view source,
                               const ReadOptions& options) {
  auto circuit = read(source, options);
  if (!circuit) {
    return std::unexpected(std::move(circuit.error().error));
  }
  return std::move(*circuit);
}

}  // namespace qelto::qasm3
