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
// (the others ignore any given); `id` is read and dropped (unless the
// reader keeps it: ReadOptions::keep_identity).
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

// The rows by key in an open-addressing table, so that a lookup probes a
// slot or two instead of comparing against every row. A slot holds a row
// number plus one (0: empty); a name that two rows share finds the first,
// as a scan in table order would.
constexpr std::size_t kGateSlots = 256;
static_assert(kGateSlots >= 2 * kGateTable.size() && kGateTable.size() < 255);

constexpr std::size_t gate_slot(std::uint64_t key) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 56);
}

constexpr auto kGateSlotTable = [] {
  std::array<std::uint8_t, kGateSlots> slots{};
  for (std::size_t i = 0; i < kGateTable.size(); ++i) {
    std::size_t slot = gate_slot(kGateKeys[i]);
    while (slots[slot] != 0 && kGateKeys[slots[slot] - 1] != kGateKeys[i]) {
      slot = (slot + 1) % kGateSlots;
    }
    if (slots[slot] == 0) {
      slots[slot] = static_cast<std::uint8_t>(i + 1);
    }
  }
  return slots;
}();

// The row of a gate name in any mix of cases, or nullptr.
const GateRow* find_gate(std::string_view name) {
  if (name.size() > kLongestGateName) {
    return nullptr;
  }
  const std::uint64_t key = lower_key(name);
  for (std::size_t slot = gate_slot(key);; slot = (slot + 1) % kGateSlots) {
    const std::uint8_t row = kGateSlotTable[slot];
    if (row == 0) {
      return nullptr;
    }
    if (kGateKeys[row - 1] == key) {
      return &kGateTable[row - 1];
    }
  }
}

}  // namespace

ParseError unknown_gate(std::string_view name) {
  if (lower_case(name) == "gphase") {
    return Other{"global phase (gphase) is not supported"};
  }
  return UnknownGate{lower_case(name)};
}

// A call must give exactly the parameters the name takes (an alias may take
// other parameters than its target).
std::optional<CatalogueGate> find_catalogue_gate(std::string_view name) {
  const GateRow* row = find_gate(name);
  if (row == nullptr) {
    return std::nullopt;
  }
  const std::uint32_t params =
      row->alias != kNoAlias ? ir::kGateAliases.aliases[row->alias].num_params
                             : ir::StandardGate::num_params(row->kind);
  return CatalogueGate{row->check_name,
                       row->kind,
                       params,
                       ir::StandardGate::num_qubits(row->kind),
                       row->action != Action::Nothing,
                       row->alias};
}

std::span<ir::ParameterExpression> make_catalogue_params(
    const CatalogueGate& gate, std::vector<ir::ParameterExpression>& params,
    bool last, CatalogueParams& out) {
  auto take = [&](std::size_t i) {
    if (gate.alias != kNoAlias &&
        ir::kGateAliases.aliases[gate.alias].maps_params) {
      return ir::kGateAliases.aliases[gate.alias].params[i].make(params);
    }
    return last ? std::move(params[i]) : params[i].clone();
  };
  const std::uint32_t count = ir::StandardGate::num_params(gate.kind);
  for (std::uint32_t i = 0; i < count; ++i) {
    out[i] = take(i);
  }
  return {out.data(), count};
}

}  // namespace qelto::qasm3
