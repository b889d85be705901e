#include "qasm3/lower.hpp"

#include <algorithm>
#include <limits>
#include <string>

namespace qelto::qasm3 {
namespace {

constexpr std::uint64_t kMaxBits = std::numeric_limits<std::uint32_t>::max();

// Adds a declaration to its namespace. Sizes and totals are checked at full
// width: a size or sum beyond 32 bits would otherwise wrap silently into a
// much smaller circuit.
ParseResult<void> add_register(RegisterTable& table, std::uint32_t& total,
                               std::string_view name,
                               std::optional<std::uint64_t> declared,
                               std::string_view kind,
                               std::optional<std::uint64_t> limit,
                               std::string_view limit_name) {
  std::uint64_t size = declared.value_or(1);
  if (size > kMaxBits) {
    return std::unexpected(Other{"Register size " + std::to_string(size) +
                                 " of '" + std::string(name) +
                                 "' is out of range"});
  }
  // Checked on the running total, before the circuit is allocated.
  if (limit && total + size > *limit) {
    return std::unexpected(Other{
        "More than " + std::to_string(*limit) + " " + std::string(kind) +
        " declared (the limit " + std::string(limit_name) + ")"});
  }
  if (total + size > kMaxBits) {
    return std::unexpected(Other{"Too many " + std::string(kind) +
                                 " declared (more than " +
                                 std::to_string(kMaxBits) + ")"});
  }
  table.assign(name, Register{total, static_cast<std::uint32_t>(size)});
  total += static_cast<std::uint32_t>(size);
  return {};
}

// On failure, `offset` is that of the reference at fault.
ParseResult<void> resolve(const RegisterTable& table, const SyntaxTree& tree,
                          SyntaxRange refs, BitRuns& out, std::size_t& offset) {
  for (std::uint32_t i = 0; i < refs.count; ++i) {
    const SyntaxRef& ref = tree.refs[refs.first + i];
    const Register* found = table.find(ref.name);
    if (found == nullptr) {
      offset = ref.offset;
      return std::unexpected(UndefinedIdentifier{std::string(ref.name)});
    }
    const Register& reg = *found;
    if (!ref.index) {
      out.append(reg.first, reg.size);
      continue;
    }
    if (*ref.index >= reg.size) {
      offset = ref.offset;
      return std::unexpected(
          IndexOutOfBounds{*ref.index, std::string(ref.name), reg.size});
    }
    out.append(reg.first + static_cast<std::uint32_t>(*ref.index), 1);
  }
  return {};
}

// Register names are short: comparing bytes in line beats calling memcmp.
bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  return true;
}

ParseResult<void> circuit_result(const ir::BuildResult& result) {
  if (!result) {
    return std::unexpected(to_parse_error(result.error()));
  }
  return {};
}

ParseResult<void> circuit_result(const ir::IrResult<ir::NodeIndex>& result) {
  if (!result) {
    return std::unexpected(to_parse_error(result.error()));
  }
  return {};
}

}  // namespace

void BitRuns::append(std::uint32_t first, std::uint32_t count) {
  if (count == 0) {
    return;
  }
  size_ += count;
  if (!runs_.empty() &&
      runs_.back().first + std::uint64_t{runs_.back().count} == first) {
    runs_.back().count += count;
    return;
  }
  runs_.push_back(Run{first, count});
}

void RegisterTable::assign(std::string_view name, Register reg) {
  auto found = map_.find(name);
  if (found != map_.end()) {
    found->second = reg;
    return;
  }
  map_.emplace(std::string(name), reg);
}

const Register* RegisterTable::find(std::string_view name) const {
  if (last_ != nullptr && same_name(last_->first, name)) {
    return &last_->second;
  }
  auto found = map_.find(name);
  if (found == map_.end()) {
    return nullptr;
  }
  last_ = &*found;
  return &found->second;
}

ParseResult<void> Lowerer::resolve_qubits(const SyntaxTree& tree,
                                          SyntaxRange refs,
                                          BitRuns& out) {
  return resolve(qubit_registers_, tree, refs, out, error_offset_);
}

ParseResult<void> Lowerer::resolve_clbits(const SyntaxTree& tree,
                                          SyntaxRange refs,
                                          BitRuns& out) {
  return resolve(clbit_registers_, tree, refs, out, error_offset_);
}

ParseResult<void> Lowerer::declare(const SyntaxStmt& statement) {
  error_offset_ = statement.offset;
  if (statement.kind == SyntaxStmtKind::QubitDecl) {
    return add_register(qubit_registers_, num_qubits_, statement.name,
                        statement.number, "qubits", options_.max_qubits,
                        "max_qubits");
  }
  if (statement.kind == SyntaxStmtKind::BitDecl) {
    return add_register(clbit_registers_, num_clbits_, statement.name,
                        statement.number, "classical bits", options_.max_clbits,
                        "max_clbits");
  }
  return {};
}

ParseResult<void> Lowerer::count_operations(std::uint64_t added,
                                            std::uint64_t times) {
  const bool overflows = __builtin_mul_overflow(added, times, &added);
  if (options_.max_operations &&
      (overflows || added > *options_.max_operations ||
       operations_ > *options_.max_operations - added)) {
    return std::unexpected(
        Other{"More than " + std::to_string(*options_.max_operations) +
              " operations (the limit max_operations)"});
  }
  operations_ += added;
  return {};
}

ir::Circuit Lowerer::make_circuit() const {
  return ir::Circuit::with_size("qasm_circuit", num_qubits_, num_clbits_);
}

bool Lowerer::is_operation(const SyntaxStmt& statement) {
  switch (statement.kind) {
    case SyntaxStmtKind::Include:
    case SyntaxStmtKind::QubitDecl:
    case SyntaxStmtKind::BitDecl:
    case SyntaxStmtKind::Assign:
      return false;
    default:
      return true;
  }
}

bool Lowerer::is_register(const SyntaxStmt& statement) {
  return statement.kind == SyntaxStmtKind::QubitDecl ||
         statement.kind == SyntaxStmtKind::BitDecl;
}

ParseResult<void> Lowerer::lower(ir::Circuit& circuit, const SyntaxTree& tree,
                                 const SyntaxStmt& statement) {
  error_offset_ = statement.offset;
  switch (statement.kind) {
    case SyntaxStmtKind::GateCall:
      return lower_gate(circuit, tree, statement);
    case SyntaxStmtKind::Measure:
      return lower_measure(circuit, tree, statement);
    case SyntaxStmtKind::Reset:
      return lower_reset(circuit, tree, statement);
    case SyntaxStmtKind::Barrier:
      return lower_barrier(circuit, tree, statement);
    case SyntaxStmtKind::If:
      return std::unexpected(Other{"If statements not yet supported"});
    case SyntaxStmtKind::For:
      return std::unexpected(Other{"For loops not yet supported"});
    case SyntaxStmtKind::Delay:
      return lower_delay(circuit, tree, statement);
    case SyntaxStmtKind::GateDef:
      return define(tree, statement);
    default:
      // Declarations were laid out in pass 1; includes are never read and
      // classical assignments have no effect on the circuit.
      return {};
  }
}

// Pairs qubits with classical bits in order. A measurement without a
// target, or whose lists differ in length, is refused rather than dropping
// the surplus.
ParseResult<void> Lowerer::lower_measure(ir::Circuit& circuit,
                                         const SyntaxTree& tree,
                                         const SyntaxStmt& measure) {
  qubits_.clear();
  clbits_.clear();
  if (auto q = resolve_qubits(tree, measure.qubits, qubits_); !q) {
    return q;
  }
  if (measure.bits.count == 0) {
    return std::unexpected(
        Other{"A measurement needs a target: 'c = measure q;' or "
              "'measure q -> c;'"});
  }
  if (auto c = resolve_clbits(tree, measure.bits, clbits_); !c) {
    return c;
  }
  if (qubits_.size() != clbits_.size()) {
    return std::unexpected(Other{
        "A measurement of " + std::to_string(qubits_.size()) +
        " qubits into " + std::to_string(clbits_.size()) + " bits"});
  }
  if (auto counted = count_operations(qubits_.size()); !counted) {
    return counted;
  }
  auto qrun = qubits_.runs().begin();
  auto crun = clbits_.runs().begin();
  std::uint32_t qoff = 0;
  std::uint32_t coff = 0;
  while (qrun != qubits_.runs().end() && crun != clbits_.runs().end()) {
    auto applied = circuit.measure(ir::QubitId{qrun->first + qoff},
                                   ir::ClbitId{crun->first + coff});
    if (!applied) {
      return circuit_result(applied);
    }
    if (++qoff == qrun->count) {
      ++qrun;
      qoff = 0;
    }
    if (++coff == crun->count) {
      ++crun;
      coff = 0;
    }
  }
  return {};
}

ParseResult<void> Lowerer::lower_reset(ir::Circuit& circuit,
                                       const SyntaxTree& tree,
                                       const SyntaxStmt& reset) {
  qubits_.clear();
  if (auto q = resolve_qubits(tree, reset.qubits, qubits_); !q) {
    return q;
  }
  if (auto counted = count_operations(qubits_.size()); !counted) {
    return counted;
  }
  for (const BitRuns::Run& run : qubits_.runs()) {
    for (std::uint32_t i = 0; i < run.count; ++i) {
      ir::Instruction instruction{
          {ir::QubitId{run.first + i}}, {}, ir::Reset{}};
      if (auto applied = circuit.apply(std::move(instruction)); !applied) {
        return circuit_result(applied);
      }
    }
  }
  return {};
}

ParseResult<void> Lowerer::lower_delay(ir::Circuit& circuit,
                                       const SyntaxTree& tree,
                                       const SyntaxStmt& delay) {
  qubits_.clear();
  if (auto q = resolve_qubits(tree, delay.qubits, qubits_); !q) {
    return q;
  }
  if (auto counted = count_operations(qubits_.size()); !counted) {
    return counted;
  }
  for (const BitRuns::Run& run : qubits_.runs()) {
    for (std::uint32_t i = 0; i < run.count; ++i) {
      if (auto applied =
              circuit.delay(ir::QubitId{run.first + i}, *delay.number);
          !applied) {
        return circuit_result(applied);
      }
    }
  }
  return {};
}

// A barrier naming nothing, or only empty registers, fences every qubit.
ParseResult<void> Lowerer::lower_barrier(ir::Circuit& circuit,
                                         const SyntaxTree& tree,
                                         const SyntaxStmt& barrier) {
  qubits_.clear();
  if (auto q = resolve_qubits(tree, barrier.qubits, qubits_); !q) {
    return q;
  }
  if (auto counted = count_operations(
          std::max<std::uint64_t>(1, qubits_.empty() ? num_qubits_
                                                     : qubits_.size()));
      !counted) {
    return counted;
  }
  if (qubits_.empty()) {
    return circuit_result(circuit.barrier_all());
  }
  ir::QubitList operands;
  for (const BitRuns::Run& run : qubits_.runs()) {
    for (std::uint32_t i = 0; i < run.count; ++i) {
      operands.push_back(ir::QubitId{run.first + i});
    }
  }
  return circuit_result(
      circuit.apply(ir::Instruction{std::move(operands), {}, ir::Barrier{}}));
}

}  // namespace qelto::qasm3
