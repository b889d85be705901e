#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ir/circuit.hpp"
#include "ir/parameter.hpp"
#include "qasm3/error.hpp"
#include "qasm3/read_options.hpp"
#include "qasm3/syntax.hpp"

namespace qelto::qasm3 {

// The bits a list of register references denotes, in order, duplicates kept.
// Held as runs of consecutive indexes, so naming a whole register costs no
// memory per bit.
class BitRuns {
 public:
  struct Run {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
  };

  void clear() {
    runs_.clear();
    size_ = 0;
  }
  void append(std::uint32_t first, std::uint32_t count);
  [[nodiscard]] std::uint64_t size() const { return size_; }
  [[nodiscard]] bool empty() const { return size_ == 0; }
  [[nodiscard]] const std::vector<Run>& runs() const { return runs_; }

 private:
  std::vector<Run> runs_;
  std::uint64_t size_ = 0;
};

// Where a register lies on the flat range of its kind.
struct Register {
  std::uint32_t first = 0;
  std::uint32_t size = 0;
};

// Hashes names looked up by view in maps keyed by owned strings.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

// The registers of one kind by name; a later declaration of a name replaces
// the earlier one.
class RegisterTable {
 public:
  void assign(std::string_view name, Register reg);
  // The register named `name`, or nullptr. Valid until the next assign.
  [[nodiscard]] const Register* find(std::string_view name) const;

 private:
  using Map =
      std::unordered_map<std::string, Register, NameHash, std::equal_to<>>;

  Map map_;
  // Programs name the same register over and over; the last one found is
  // checked before hashing.
  mutable const Map::value_type* last_ = nullptr;
};

// A catalogue gate as the reader names it.
struct CatalogueGate {
  // The name count errors show (an alias reports its catalogue name).
  std::string_view check_name;
  ir::StandardGate::Kind kind = ir::StandardGate::Kind::H;
  std::uint32_t params = 0;
  std::uint32_t qubits = 0;
  // False for the identity, which is read and dropped unless the reader
  // keeps it (ReadOptions::keep_identity).
  bool applied = true;
  // The gate table's alias the name is, or 0xff.
  std::uint8_t alias = 0xff;
};

// The catalogue gate a name in a program denotes (in any mix of cases), if
// any.
[[nodiscard]] std::optional<CatalogueGate> find_catalogue_gate(
    std::string_view name);

// The parameters of the gate `gate` names, in catalogue order, built from
// the call's `params` (whose count has been checked) into `out`: copies of
// them, or the originals for the `last` gate built from them; an alias that
// maps its parameters builds its target's.
using CatalogueParams =
    std::array<ir::ParameterExpression, ir::StandardGate::kMaxParams>;
[[nodiscard]] std::span<ir::ParameterExpression> make_catalogue_params(
    const CatalogueGate& gate, std::vector<ir::ParameterExpression>& params,
    bool last, CatalogueParams& out);

// The error for a call of a gate that is neither defined nor in the
// catalogue.
[[nodiscard]] ParseError unknown_gate(std::string_view name);

// The most operations that expanding calls of gate definitions may add to
// one program: 2^20, far beyond programs that people or other toolkits
// write with definitions (a 1000-qubit Fourier transform is half a million),
// while the circuit it makes stays within a few hundred megabytes. A call
// that would pass it is refused before anything of it is expanded, so a
// chain of definitions that doubles at each level fails in time
// proportional to its text. A call of a definition that makes no operation
// counts as one, or a chain over an empty definition would expand forever.
inline constexpr std::uint64_t kMaxExpandedOperations = std::uint64_t{1}
                                                        << 20;
// The deepest chain of definitions calling definitions. Expansion keeps its
// own stack, so this bounds memory, not the machine stack; it matches the
// parser's nesting limit.
inline constexpr std::uint32_t kMaxGateDepth = 256;

// The parameters of a gate definition bound to the values of one call.
// Which parameter a name in the body denotes was resolved once, when the
// definition was recorded: `slots` holds, per expression of the body's
// syntax, the position of the parameter it names, or kUnbound. Looking
// names up at each call would cost the product of a wide definition's
// parameters and its uses of them, at every call.
struct Bindings {
  static constexpr std::uint32_t kUnbound = 0xFFFFFFFF;
  std::span<const std::uint32_t> slots;
  std::span<const ir::ParameterExpression> values;

  // The value bound to the name at expression `expression`, if any.
  [[nodiscard]] const ir::ParameterExpression* find(
      std::uint32_t expression) const {
    if (expression >= slots.size() || slots[expression] == kUnbound) {
      return nullptr;
    }
    return &values[slots[expression]];
  }
};

// Lowers a program into a Circuit one top-level statement at a time, in two
// passes over the statements: `declare` lays the declared registers out on
// one flat range of qubits and one of classical bits (pass 1), and `lower`
// applies each statement once every declaration is known (pass 2).
class Lowerer {
 public:
  explicit Lowerer(const ReadOptions& options = {}) : options_(options) {}

  // Pass 1. Adds a QubitDecl or BitDecl to its namespace and ignores every
  // other statement. Fails when a size or a running total exceeds 32 bits.
  [[nodiscard]] ParseResult<void> declare(const SyntaxStmt& statement);

  // The circuit "qasm_circuit" with every qubit and classical bit declared
  // so far. Throws std::bad_alloc when they cannot be allocated.
  [[nodiscard]] ir::Circuit make_circuit() const;

  // Pass 2 for one statement of `tree`: applies gates, measurements,
  // resets, barriers and delays to `circuit` and records gate definitions;
  // includes, declarations and assignments do nothing; if and for fail.
  // Within a gate call the first failure among qubit references,
  // parameters, the gate name and the counts is reported, in that order.
  [[nodiscard]] ParseResult<void> lower(ir::Circuit& circuit,
                                        const SyntaxTree& tree,
                                        const SyntaxStmt& statement);

  // True for the statements pass 2 does something with (applies or fails).
  [[nodiscard]] static bool is_operation(const SyntaxStmt& statement);
  // True for the declarations of registers.
  [[nodiscard]] static bool is_register(const SyntaxStmt& statement);

  // The byte offset in the source of what the last error was found at.
  [[nodiscard]] std::size_t error_offset() const noexcept {
    return error_offset_;
  }

  // Drops every gate definition recorded so far and the count of
  // operations, before the operations are lowered again.
  void forget_definitions();

 private:
  // One gate definition: its statement, kept in a copy of the syntax form
  // that held it, and what expanding one call of it costs.
  struct Definition {
    SyntaxTree tree;
    std::uint32_t statement = 0;
    std::vector<std::string_view> params;
    std::vector<std::string_view> qubits;
    // Resolved once by check_body, as Bindings::slots explains: per
    // expression of `tree`, the parameter it names (or Bindings::kUnbound);
    // per qubit reference of `tree`, the position of the qubit it names.
    std::vector<std::uint32_t> param_slots;
    std::vector<std::uint32_t> qubit_slots;
    // Operations one call expands to, saturated past the limit.
    std::uint64_t operations = 0;
    // What one call counts against kMaxExpandedOperations: its operations,
    // and at least one, as expanding a call takes work even when it makes
    // nothing (a body of identities or of calls of empty definitions).
    [[nodiscard]] std::uint64_t expansion_cost() const {
      return std::max<std::uint64_t>(operations, 1);
    }
    // What one call costs against the limit on operations (see
    // ReadOptions::max_operations): its operations, each counted once more
    // per node of the angles it holds. Those angles are the body's, with a
    // copy of the call's angle at each use of a parameter, so the cost is
    // `weight_base` plus, per parameter, the size (in nodes) of the angle
    // given times `weight_per_param`: exact for any depth of definitions
    // calling definitions. The call itself, which holds its angles until
    // its body is expanded, counts too (see weight_base). Saturated.
    std::uint64_t weight_base = 0;
    std::vector<std::uint64_t> weight_per_param;
    // 1 for a body of catalogue gates only.
    std::uint32_t depth = 1;
  };
  // One qubit argument of a call: a run of qubits, and whether it names a
  // whole register (which broadcasts) or one qubit.
  struct Argument {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    bool whole = false;
  };
  // The gate a call names: a definition, or else a catalogue gate.
  struct Callee {
    const Definition* definition = nullptr;
    CatalogueGate gate;
    [[nodiscard]] std::string_view name() const;
    [[nodiscard]] std::uint32_t params() const;
    [[nodiscard]] std::uint32_t qubits() const;
  };

  // Counts `added` * `times` more operations, or fails when they would
  // pass the limit on operations.
  [[nodiscard]] ParseResult<void> count_operations(std::uint64_t added,
                                                   std::uint64_t times = 1);
  [[nodiscard]] ParseResult<void> define(const SyntaxTree& tree,
                                         const SyntaxStmt& definition);
  [[nodiscard]] ParseResult<void> check_body(Definition& definition) const;
  // What one call of `callee` costs against the limit on operations:
  // weight_base plus, for each angle given, its size in nodes times
  // weight_per_node.
  [[nodiscard]] static std::uint64_t weight_base(const Callee& callee);
  [[nodiscard]] static std::uint64_t weight_per_node(const Callee& callee,
                                                     std::size_t param);
  [[nodiscard]] static std::uint64_t call_weight(
      const Callee& callee, std::span<const std::uint64_t> sizes);
  static void add_call_weight(Definition& definition, const Callee& callee,
                              const SyntaxStmt& statement,
                              std::uint64_t times);
  [[nodiscard]] ParseResult<Callee> find_callee(std::string_view name) const;
  [[nodiscard]] ParseResult<void> resolve_arguments(const SyntaxTree& tree,
                                                    SyntaxRange refs);
  // How many times a call of `callee` on `arguments_` applies it
  // (broadcast), after checking the counts.
  [[nodiscard]] ParseResult<std::uint64_t> applications(
      const Callee& callee, std::uint64_t params) const;
  // The operands of application `i` of a call on `arguments_`.
  void operands(const Callee& callee, std::uint64_t i,
                std::vector<ir::QubitId>& out) const;
  [[nodiscard]] ParseResult<void> apply(ir::Circuit& circuit,
                                        const Callee& callee,
                                        std::vector<ir::ParameterExpression>& params,
                                        std::span<const ir::QubitId> qubits,
                                        bool last);
  [[nodiscard]] ParseResult<void> expand(
      ir::Circuit& circuit, const Definition& definition,
      std::vector<ir::ParameterExpression> params,
      std::vector<ir::QubitId> qubits);
  [[nodiscard]] ParseResult<void> lower_delay(ir::Circuit& circuit,
                                              const SyntaxTree& tree,
                                              const SyntaxStmt& delay);

  [[nodiscard]] ParseResult<void> resolve_qubits(const SyntaxTree& tree,
                                                 SyntaxRange refs,
                                                 BitRuns& out);
  [[nodiscard]] ParseResult<void> resolve_clbits(const SyntaxTree& tree,
                                                 SyntaxRange refs,
                                                 BitRuns& out);
  [[nodiscard]] ParseResult<void> lower_gate(ir::Circuit& circuit,
                                             const SyntaxTree& tree,
                                             const SyntaxStmt& call);
  [[nodiscard]] ParseResult<void> lower_measure(ir::Circuit& circuit,
                                                const SyntaxTree& tree,
                                                const SyntaxStmt& measure);
  [[nodiscard]] ParseResult<void> lower_reset(ir::Circuit& circuit,
                                              const SyntaxTree& tree,
                                              const SyntaxStmt& reset);
  [[nodiscard]] ParseResult<void> lower_barrier(ir::Circuit& circuit,
                                                const SyntaxTree& tree,
                                                const SyntaxStmt& barrier);

  ReadOptions options_;
  // Operations counted against the limit so far.
  std::uint64_t operations_ = 0;
  RegisterTable qubit_registers_;
  RegisterTable clbit_registers_;
  std::uint32_t num_qubits_ = 0;
  std::uint32_t num_clbits_ = 0;
  // Reused by every statement so that lowering one needs no allocation.
  BitRuns qubits_;
  BitRuns clbits_;
  std::vector<ir::ParameterExpression> params_;
  // The size in nodes of each of `params_`.
  std::vector<std::uint64_t> sizes_;
  std::vector<Argument> arguments_;
  // The qubits `arguments_` name, all told.
  std::uint64_t arguments_total_ = 0;
  std::vector<ir::QubitId> operands_;
  std::unordered_map<std::string, Definition, NameHash, std::equal_to<>>
      definitions_;
  // Operations added by expanding definitions so far.
  std::uint64_t expanded_ = 0;
  std::size_t error_offset_ = 0;
};

// A gate parameter from a parsed expression of `tree`: numbers become
// Constants (tau and euler too), names Symbols (or a copy of their value
// when `bindings` binds them), pi Pi, negation Neg, parentheses vanish, and
// +, -, *, / the matching node. A call of sin, cos, tan, exp, ln or sqrt
// becomes the Constant of its value when its one argument folds to a
// number. A number that is not finite (an overflowing literal, or a value
// folded from a division by zero, an overflow or a function outside its
// domain) and every other form are Other errors.
[[nodiscard]] ParseResult<ir::ParameterExpression> expr_to_param(
    const SyntaxTree& tree, std::uint32_t expression,
    const Bindings& bindings = {});

// How many nodes `angle` has. Without recursion.
[[nodiscard]] std::uint64_t angle_size(const ir::ParameterExpression& angle);

// Replaces `out` with the parameters of the expression list `params` of
// `tree`, in order; the first failure stops.
[[nodiscard]] ParseResult<void> params_to_list(
    const SyntaxTree& tree, SyntaxRange params, const Bindings& bindings,
    std::vector<ir::ParameterExpression>& out);

// Succeed when `got == expected`; otherwise WrongParamCount /
// WrongQubitCount naming `gate`.
[[nodiscard]] ParseResult<void> check_param_count(std::string_view gate,
                                                  std::uint64_t got,
                                                  std::uint64_t expected);
[[nodiscard]] ParseResult<void> check_qubit_count(std::string_view gate,
                                                  std::uint64_t got,
                                                  std::uint64_t expected);

}  // namespace qelto::qasm3
