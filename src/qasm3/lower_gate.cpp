#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "qasm3/lower.hpp"

namespace qelto::qasm3 {
namespace {

using Kind = ir::StandardGate::Kind;

enum class Action : std::uint8_t {
  // Applied once to each resolved qubit, in order.
  Broadcast,
  // Applied once to the whole resolved list.
  Once,
  // Resolved and converted, then dropped.
  Nothing,
};

constexpr std::uint8_t kNoCheck = 0xff;

struct GateRow {
  std::string_view name;
  // The name the count errors show (aliases report their canonical name).
  std::string_view check_name;
  Action action;
  Kind kind;
  std::uint8_t params;
  std::uint8_t qubits;
};

// Every gate name the reader accepts, with its aliases. Catalogue gates
// missing here (sxdg, ch, crx, cry, rxx, ryy, rzz) are unknown to it.
constexpr std::array kGateTable = {
    GateRow{"h", "h", Action::Broadcast, Kind::H, kNoCheck, kNoCheck},
    GateRow{"x", "x", Action::Broadcast, Kind::X, kNoCheck, kNoCheck},
    GateRow{"y", "y", Action::Broadcast, Kind::Y, kNoCheck, kNoCheck},
    GateRow{"z", "z", Action::Broadcast, Kind::Z, kNoCheck, kNoCheck},
    GateRow{"s", "s", Action::Broadcast, Kind::S, kNoCheck, kNoCheck},
    GateRow{"t", "t", Action::Broadcast, Kind::T, kNoCheck, kNoCheck},
    GateRow{"sdg", "sdg", Action::Broadcast, Kind::Sdg, kNoCheck, kNoCheck},
    GateRow{"tdg", "tdg", Action::Broadcast, Kind::Tdg, kNoCheck, kNoCheck},
    GateRow{"sx", "sx", Action::Broadcast, Kind::Sx, kNoCheck, kNoCheck},
    GateRow{"id", "id", Action::Nothing, Kind::Id, kNoCheck, kNoCheck},
    GateRow{"i", "id", Action::Nothing, Kind::Id, kNoCheck, kNoCheck},
    GateRow{"rx", "rx", Action::Broadcast, Kind::Rx, 1, kNoCheck},
    GateRow{"ry", "ry", Action::Broadcast, Kind::Ry, 1, kNoCheck},
    GateRow{"rz", "rz", Action::Broadcast, Kind::Rz, 1, kNoCheck},
    GateRow{"p", "p", Action::Broadcast, Kind::P, 1, kNoCheck},
    GateRow{"phase", "p", Action::Broadcast, Kind::P, 1, kNoCheck},
    GateRow{"u", "u", Action::Broadcast, Kind::U, 3, kNoCheck},
    GateRow{"u3", "u", Action::Broadcast, Kind::U, 3, kNoCheck},
    GateRow{"prx", "prx", Action::Broadcast, Kind::Prx, 2, kNoCheck},
    GateRow{"cx", "cx", Action::Once, Kind::Cx, kNoCheck, 2},
    GateRow{"cnot", "cx", Action::Once, Kind::Cx, kNoCheck, 2},
    GateRow{"cy", "cy", Action::Once, Kind::Cy, kNoCheck, 2},
    GateRow{"cz", "cz", Action::Once, Kind::Cz, kNoCheck, 2},
    GateRow{"swap", "swap", Action::Once, Kind::Swap, kNoCheck, 2},
    GateRow{"iswap", "iswap", Action::Once, Kind::ISwap, kNoCheck, 2},
    GateRow{"cp", "cp", Action::Once, Kind::Cp, 1, 2},
    GateRow{"cphase", "cp", Action::Once, Kind::Cp, 1, 2},
    GateRow{"crz", "crz", Action::Once, Kind::Crz, 1, 2},
    GateRow{"ccx", "ccx", Action::Once, Kind::Ccx, kNoCheck, 3},
    GateRow{"toffoli", "ccx", Action::Once, Kind::Ccx, kNoCheck, 3},
    GateRow{"cswap", "cswap", Action::Once, Kind::CSwap, kNoCheck, 3},
    GateRow{"fredkin", "cswap", Action::Once, Kind::CSwap, kNoCheck, 3},
};

constexpr char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lower_case(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    c = lower(c);
  }
  return out;
}

// Every gate name fits in eight bytes, so a name packs into one number
// (lower case, first byte lowest) and a lookup compares numbers. Identifier
// bytes are never zero, so equal keys mean equal names.
constexpr std::size_t kLongestGateName = 8;

static_assert(std::all_of(kGateTable.begin(), kGateTable.end(),
                          [](const GateRow& row) {
                            return row.name.size() <= kLongestGateName;
                          }));

constexpr std::uint64_t lower_key(std::string_view name) {
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    key |= std::uint64_t{static_cast<unsigned char>(lower(name[i]))} << (8 * i);
  }
  return key;
}

constexpr std::array<std::uint64_t, kGateTable.size()> make_gate_keys() {
  std::array<std::uint64_t, kGateTable.size()> keys{};
  for (std::size_t i = 0; i < kGateTable.size(); ++i) {
    keys[i] = lower_key(kGateTable[i].name);
  }
  return keys;
}

constexpr std::array<std::uint64_t, kGateTable.size()> kGateKeys =
    make_gate_keys();

// The row of a gate name in any mix of cases, or nullptr.
const GateRow* find_gate(std::string_view name) {
  if (name.size() > kLongestGateName) {
    return nullptr;
  }
  const std::uint64_t key = lower_key(name);
  for (std::size_t i = 0; i < kGateTable.size(); ++i) {
    if (kGateKeys[i] == key) {
      return &kGateTable[i];
    }
  }
  return nullptr;
}

ParseResult<void> check_counts(const GateRow& row, std::size_t params,
                               std::uint64_t qubits) {
  if (row.params != kNoCheck) {
    if (auto checked = check_param_count(row.check_name, params, row.params);
        !checked) {
      return checked;
    }
  }
  if (row.qubits != kNoCheck) {
    return check_qubit_count(row.check_name, qubits, row.qubits);
  }
  return {};
}

// The gate of `row`, taking its parameters from `params`: copies of them,
// or the originals themselves for the last gate built from them (most calls
// build only one). The counts have been checked.
ir::StandardGate make_gate(const GateRow& row,
                           std::vector<ir::ParameterExpression>& params,
                           bool last) {
  auto take = [&](std::size_t i) {
    return last ? std::move(params[i]) : params[i].clone();
  };
  switch (ir::StandardGate::num_params(row.kind)) {
    case 0:
      return ir::StandardGate(row.kind);
    case 1:
      return ir::StandardGate(row.kind, take(0));
    case 2:
      return ir::StandardGate(row.kind, take(0), take(1));
    default:
      return ir::StandardGate(row.kind, take(0), take(1), take(2));
  }
}

ParseResult<void> applied(const ir::IrResult<ir::NodeIndex>& result) {
  if (!result) {
    return std::unexpected(to_parse_error(result.error()));
  }
  return {};
}

}  // namespace

// Qubit references, then parameters, then the name, then the counts: the
// first failure in that order is the one reported.
ParseResult<void> Lowerer::lower_gate(ir::Circuit& circuit,
                                      const SyntaxTree& tree,
                                      const SyntaxStmt& call) {
  qubits_.clear();
  if (auto q = resolve_qubits(tree, call.qubits, qubits_); !q) {
    return q;
  }
  std::vector<ir::ParameterExpression>& params = params_;
  params.clear();
  for (std::uint32_t i = 0; i < call.params.count; ++i) {
    auto param =
        expr_to_param(tree, tree.expression_lists[call.params.first + i]);
    if (!param) {
      return std::unexpected(std::move(param.error()));
    }
    params.push_back(std::move(*param));
  }
  const GateRow* row = find_gate(call.name);
  if (row == nullptr) {
    return std::unexpected(UnknownGate{lower_case(call.name)});
  }
  if (auto counts = check_counts(*row, params.size(), qubits_.size());
      !counts) {
    return counts;
  }
  if (row->action == Action::Nothing) {
    return {};
  }
  if (row->action == Action::Once) {
    ir::QubitList operands;
    for (const BitRuns::Run& run : qubits_.runs()) {
      for (std::uint32_t i = 0; i < run.count && operands.size() < row->qubits;
           ++i) {
        operands.push_back(ir::QubitId{run.first + i});
      }
    }
    return applied(circuit.apply(ir::Instruction{
        std::move(operands), {}, ir::Gate{make_gate(*row, params, true)}}));
  }
  std::uint64_t remaining = qubits_.size();
  for (const BitRuns::Run& run : qubits_.runs()) {
    for (std::uint32_t i = 0; i < run.count; ++i) {
      auto instruction = ir::Instruction::single_qubit_gate(
          make_gate(*row, params, --remaining == 0),
          ir::QubitId{run.first + i});
      if (auto result = applied(circuit.apply(std::move(instruction)));
          !result) {
        return result;
      }
    }
  }
  return {};
}

}  // namespace qelto::qasm3
