#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ir/gate_catalogue.hpp"
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
constexpr std::uint8_t kNoAlias = 0xff;

struct GateRow {
  std::string_view name;
  // The name the count errors show (aliases that take the target's
  // parameters unchanged report their canonical name).
  std::string_view check_name;
  Action action;
  Kind kind;
  std::uint8_t params;
  std::uint8_t qubits;
  // Index into ir::kGateAliases for an alias, else kNoAlias.
  std::uint8_t alias;
};

// The reader's rules for a gate of the catalogue: one-qubit gates apply to
// each listed qubit and take any qubit count, wider gates apply once to
// exactly their count; parameters are checked for gates that take some
// (the others ignore any given); `id` is read and dropped.
constexpr GateRow catalogue_row(const ir::GateInfo& gate) {
  const Action action = gate.kind == Kind::Id ? Action::Nothing
                        : gate.num_qubits == 1 ? Action::Broadcast
                                               : Action::Once;
  return GateRow{gate.name,
                 gate.name,
                 action,
                 gate.kind,
                 gate.num_params > 0 ? gate.num_params : kNoCheck,
                 gate.num_qubits > 1 ? gate.num_qubits : kNoCheck,
                 kNoAlias};
}

// Every gate name the reader accepts: the catalogue's names, then its
// aliases, all from the gate table.
constexpr auto kGateTable = [] {
  const auto& aliases = ir::kGateAliases.aliases;
  std::array<GateRow, ir::kGateInfos.size() + aliases.size()> rows{};
  std::size_t n = 0;
  for (const ir::GateInfo& gate : ir::kGateInfos) {
    rows[n++] = catalogue_row(gate);
  }
  for (std::size_t i = 0; i < aliases.size(); ++i) {
    const ir::GateAlias& alias = aliases[i];
    GateRow row = catalogue_row(ir::gate_info(alias.target));
    row.name = alias.name;
    if (alias.maps_params ||
        alias.num_params != ir::gate_info(alias.target).num_params) {
      row.check_name = alias.name;
    }
    row.params = alias.num_params > 0 ? alias.num_params : kNoCheck;
    row.alias = static_cast<std::uint8_t>(i);
    rows[n++] = row;
  }
  return rows;
}();

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
    if (row.alias != kNoAlias &&
        ir::kGateAliases.aliases[row.alias].maps_params) {
      return ir::kGateAliases.aliases[row.alias].params[i].make(params);
    }
    return last ? std::move(params[i]) : params[i].clone();
  };
  switch (ir::StandardGate::num_params(row.kind)) {
    case 0:
      return ir::StandardGate(row.kind);
    case 1:
      return ir::StandardGate(row.kind, take(0));
    case 2:
      return ir::StandardGate(row.kind, take(0), take(1));
    case 3:
      return ir::StandardGate(row.kind, take(0), take(1), take(2));
    default:
      return ir::StandardGate(row.kind, take(0), take(1), take(2), take(3));
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
