#include "qasm3/lower.hpp"

#include <algorithm>
#include <limits>
#include <type_traits>

namespace qelto::qasm3 {
namespace {

constexpr std::uint64_t kMaxBits = std::numeric_limits<std::uint32_t>::max();

// Adds a declaration to its namespace. Sizes and totals are checked at full
// width: a size or sum beyond 32 bits would otherwise wrap silently into a
// much smaller circuit.
ParseResult<void> add_register(std::unordered_map<std::string, Register>& map,
                               std::uint32_t& total, const std::string& name,
                               std::optional<std::uint64_t> declared,
                               std::string_view kind) {
  std::uint64_t size = declared.value_or(1);
  if (size > kMaxBits) {
    return std::unexpected(Other{"Register size " + std::to_string(size) +
                                 " of '" + name + "' is out of range"});
  }
  if (total + size > kMaxBits) {
    return std::unexpected(Other{"Too many " + std::string(kind) +
                                 " declared (more than " +
                                 std::to_string(kMaxBits) + ")"});
  }
  map.insert_or_assign(name, Register{total, static_cast<std::uint32_t>(size)});
  total += static_cast<std::uint32_t>(size);
  return {};
}

ParseResult<void> resolve(const std::unordered_map<std::string, Register>& map,
                          const std::vector<BitRef>& refs, BitRuns& out) {
  for (const BitRef& ref : refs) {
    auto found = map.find(ref.name);
    if (found == map.end()) {
      return std::unexpected(UndefinedIdentifier{ref.name});
    }
    const Register& reg = found->second;
    if (!ref.index) {
      out.append(reg.first, reg.size);
      continue;
    }
    if (*ref.index >= reg.size) {
      return std::unexpected(IndexOutOfBounds{*ref.index, ref.name, reg.size});
    }
    out.append(reg.first + static_cast<std::uint32_t>(*ref.index), 1);
  }
  return {};
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

std::vector<std::uint32_t> BitRuns::first(std::size_t n) const {
  std::vector<std::uint32_t> out;
  out.reserve(n);
  for (const Run& run : runs_) {
    for (std::uint32_t i = 0; i < run.count && out.size() < n; ++i) {
      out.push_back(run.first + i);
    }
  }
  return out;
}

ParseResult<void> Lowerer::resolve_qubits(const std::vector<BitRef>& refs,
                                          BitRuns& out) const {
  return resolve(qubit_registers_, refs, out);
}

ParseResult<void> Lowerer::resolve_clbits(const std::vector<BitRef>& refs,
                                          BitRuns& out) const {
  return resolve(clbit_registers_, refs, out);
}

ParseResult<ir::Circuit> Lowerer::lower(const Program& program) {
  *this = Lowerer();
  for (const Statement& statement : program.statements) {
    if (auto declared = declare(statement); !declared) {
      return std::unexpected(std::move(declared.error()));
    }
  }
  ir::Circuit circuit =
      ir::Circuit::with_size("qasm_circuit", num_qubits_, num_clbits_);
  for (const Statement& statement : program.statements) {
    if (auto lowered = lower_statement(circuit, statement); !lowered) {
      return std::unexpected(std::move(lowered.error()));
    }
  }
  return circuit;
}

ParseResult<void> Lowerer::declare(const Statement& statement) {
  if (const auto* decl = std::get_if<stmt::QubitDecl>(&statement.node)) {
    return add_register(qubit_registers_, num_qubits_, decl->name, decl->size,
                        "qubits");
  }
  if (const auto* decl = std::get_if<stmt::BitDecl>(&statement.node)) {
    return add_register(clbit_registers_, num_clbits_, decl->name, decl->size,
                        "classical bits");
  }
  return {};
}

ParseResult<void> Lowerer::lower_statement(ir::Circuit& circuit,
                                           const Statement& statement) {
  return std::visit(
      [&](const auto& s) -> ParseResult<void> {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, stmt::GateCall>) {
          return lower_gate(circuit, s);
        } else if constexpr (std::is_same_v<S, stmt::Measure>) {
          return lower_measure(circuit, s);
        } else if constexpr (std::is_same_v<S, stmt::Reset>) {
          return lower_reset(circuit, s);
        } else if constexpr (std::is_same_v<S, stmt::Barrier>) {
          return lower_barrier(circuit, s);
        } else if constexpr (std::is_same_v<S, stmt::If>) {
          return std::unexpected(Other{"If statements not yet supported"});
        } else if constexpr (std::is_same_v<S, stmt::For>) {
          return std::unexpected(Other{"For loops not yet supported"});
        } else if constexpr (std::is_same_v<S, stmt::GateDef>) {
          return std::unexpected(
              Other{"Custom gate definitions not yet supported"});
        } else {
          // Declarations were laid out in pass 1; includes are never read
          // and classical assignments have no effect on the circuit.
          return {};
        }
      },
      statement.node);
}

// Pairs qubits with classical bits in order; the surplus of the longer list
// is ignored, so `measure q;` without a target measures nothing.
ParseResult<void> Lowerer::lower_measure(ir::Circuit& circuit,
                                         const stmt::Measure& measure) {
  qubits_.clear();
  clbits_.clear();
  if (auto q = resolve_qubits(measure.qubits, qubits_); !q) {
    return q;
  }
  if (auto c = resolve_clbits(measure.bits, clbits_); !c) {
    return c;
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
                                       const stmt::Reset& reset) {
  qubits_.clear();
  if (auto q = resolve_qubits(reset.qubits, qubits_); !q) {
    return q;
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

// A barrier naming nothing, or only empty registers, fences every qubit.
ParseResult<void> Lowerer::lower_barrier(ir::Circuit& circuit,
                                         const stmt::Barrier& barrier) {
  qubits_.clear();
  if (auto q = resolve_qubits(barrier.qubits, qubits_); !q) {
    return q;
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
