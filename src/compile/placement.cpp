#include "compile/placement.hpp"

#include <algorithm>
#include <numeric>
#include <random>
#include <string>

namespace qelto::compile {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFF;

CompileError error(CompileError::Kind kind, std::string message) {
  return CompileError{kind, std::move(message)};
}

// Groups of qubits joined by two-qubit gates: the representative of each.
class Groups {
 public:
  explicit Groups(const FlatCircuit& circuit) : parent_(circuit.num_qubits) {
    std::iota(parent_.begin(), parent_.end(), 0u);
    for (const FlatOp& op : circuit.ops) {
      if (op.is_gate() && op.num_qubits == 2) {
        parent_[find(op.q[0])] = find(op.q[1]);
      }
    }
  }
  std::uint32_t find(std::uint32_t q) {
    while (parent_[q] != q) {
      parent_[q] = parent_[parent_[q]];
      q = parent_[q];
    }
    return q;
  }

 private:
  std::vector<std::uint32_t> parent_;
};

CompileResult<void> check_size(const FlatCircuit& circuit,
                               const Device& device) {
  if (circuit.num_qubits > device.size()) {
    return std::unexpected(error(
        CompileError::Kind::TooManyQubits,
        "the circuit has " + std::to_string(circuit.num_qubits) +
            " qubits but the coupling map has only " +
            std::to_string(device.size())));
  }
  return {};
}

CompileError disconnected(std::uint32_t a, std::uint32_t b) {
  return error(CompileError::Kind::DisconnectedDevice,
               "qubits " + std::to_string(a) + " and " + std::to_string(b) +
                   " interact but sit in parts of the coupling map that no "
                   "path joins");
}

// Fills the physical qubits that no circuit qubit took with the idle
// logical qubits, in increasing order.
Placement complete(std::vector<std::uint32_t> placed, const Device& device) {
  std::vector<bool> taken(device.size());
  for (const std::uint32_t p : placed) {
    taken[p] = true;
  }
  for (std::uint32_t p = 0; p < device.size(); ++p) {
    if (!taken[p]) {
      placed.push_back(p);
    }
  }
  return placed;
}

CompileResult<Placement> check_parts(const FlatCircuit& circuit,
                                     const Device& device,
                                     Placement placement) {
  for (const FlatOp& op : circuit.ops) {
    if (op.is_gate() && op.num_qubits == 2 &&
        device.part_of(placement[op.q[0]]) !=
            device.part_of(placement[op.q[1]])) {
      return std::unexpected(disconnected(op.q[0], op.q[1]));
    }
  }
  return placement;
}

// Which connected part of the device each circuit qubit goes to: all into
// the largest part when it holds them all, else whole groups of interacting
// qubits, largest first, each into the part with the most room.
CompileResult<std::vector<std::uint32_t>> choose_parts(
    const FlatCircuit& circuit, const Device& device) {
  const auto& parts = device.parts();
  std::uint32_t largest = 0;
  for (std::uint32_t k = 0; k < parts.size(); ++k) {
    if (parts[k].size() > parts[largest].size()) {
      largest = k;
    }
  }
  std::vector<std::uint32_t> part(circuit.num_qubits, largest);
  if (circuit.num_qubits == 0 ||
      parts[largest].size() >= circuit.num_qubits) {
    return part;
  }
  Groups groups(circuit);
  std::vector<std::vector<std::uint32_t>> members(circuit.num_qubits);
  for (std::uint32_t q = 0; q < circuit.num_qubits; ++q) {
    members[groups.find(q)].push_back(q);
  }
  std::erase_if(members, [](const auto& m) { return m.empty(); });
  std::stable_sort(members.begin(), members.end(),
                   [](const auto& a, const auto& b) {
                     return a.size() > b.size();
                   });
  std::vector<std::size_t> room(parts.size());
  for (std::size_t k = 0; k < parts.size(); ++k) {
    room[k] = parts[k].size();
  }
  for (const auto& group : members) {
    const auto best = static_cast<std::uint32_t>(
        std::max_element(room.begin(), room.end()) - room.begin());
    if (room[best] < group.size()) {
      return std::unexpected(error(
          CompileError::Kind::DisconnectedDevice,
          "a group of " + std::to_string(group.size()) +
              " interacting qubits does not fit in any connected part of "
              "the coupling map (the largest free part has " +
              std::to_string(room[best]) + " qubits)"));
    }
    room[best] -= group.size();
    for (const std::uint32_t q : group) {
      part[q] = best;
    }
  }
  return part;
}

// Places each circuit qubit on the next free qubit of its part, in the
// order `order` lists each part's qubits.
Placement place(const std::vector<std::uint32_t>& part_of_qubit,
                const std::vector<std::vector<std::uint32_t>>& order,
                const Device& device) {
  std::vector<std::size_t> used(order.size());
  std::vector<std::uint32_t> placed;
  placed.reserve(device.size());
  for (const std::uint32_t part : part_of_qubit) {
    placed.push_back(order[part][used[part]++]);
  }
  return complete(std::move(placed), device);
}

// Only the two-qubit gates matter to the search.
FlatCircuit interactions(const FlatCircuit& circuit) {
  FlatCircuit out;
  out.num_qubits = circuit.num_qubits;
  for (const FlatOp& op : circuit.ops) {
    if (op.is_gate() && op.num_qubits == 2) {
      FlatOp gate = op;
      gate.code = gate_code(ir::StandardGate::Cx);
      out.ops.push_back(gate);
    }
  }
  return out;
}

}  // namespace

CompileResult<Placement> trivial_placement(const FlatCircuit& circuit,
                                           const Device& device) {
  if (auto fits = check_size(circuit, device); !fits) {
    return std::unexpected(std::move(fits.error()));
  }
  std::vector<std::uint32_t> placed(circuit.num_qubits);
  std::iota(placed.begin(), placed.end(), 0u);
  return check_parts(circuit, device, complete(std::move(placed), device));
}

CompileResult<Placement> given_placement(const FlatCircuit& circuit,
                                         const Device& device,
                                         const Layout& layout) {
  if (auto fits = check_size(circuit, device); !fits) {
    return std::unexpected(std::move(fits.error()));
  }
  std::vector<std::uint32_t> placed;
  std::vector<bool> taken(device.size());
  for (std::uint32_t q = 0; q < circuit.num_qubits; ++q) {
    const auto placed_on = layout.get_physical(ir::QubitId{q});
    const std::uint32_t p = placed_on ? placed_on->index : device.size();
    if (p >= device.size() || taken[p]) {
      return std::unexpected(error(
          CompileError::Kind::InvalidLayout,
          "the layout does not place qubit " + std::to_string(q) +
              " on a free physical qubit of the coupling map"));
    }
    taken[p] = true;
    placed.push_back(p);
  }
  return check_parts(circuit, device, complete(std::move(placed), device));
}

CompileResult<Placement> sabre_placement(const FlatCircuit& circuit,
                                         const Device& device,
                                         std::uint64_t seed,
                                         const LayoutOptions& options) {
  if (auto fits = check_size(circuit, device); !fits) {
    return std::unexpected(std::move(fits.error()));
  }
  auto parts = choose_parts(circuit, device);
  if (!parts) {
    return std::unexpected(std::move(parts.error()));
  }
  const FlatCircuit forward = interactions(circuit);
  FlatCircuit backward = forward.empty_like();
  backward.ops.assign(forward.ops.rbegin(), forward.ops.rend());
  RouteOptions counting;
  counting.emit = false;

  Placement best;
  std::uint64_t best_swaps = ~std::uint64_t{0};
  const std::uint32_t trials = std::max<std::uint32_t>(options.trials, 1);
  for (std::uint32_t trial = 0; trial < trials; ++trial) {
    std::mt19937_64 rng(seed + 0x9E3779B97F4A7C15ULL * (trial + 1));
    std::vector<std::vector<std::uint32_t>> order = device.parts();
    if (trial > 0) {
      for (auto& members : order) {
        std::shuffle(members.begin(), members.end(), rng);
      }
    }
    Placement placement = place(*parts, order, device);
    for (std::uint32_t it = 0; it < options.iterations; ++it) {
      placement =
          route(forward, device, std::move(placement), rng(), counting)
              .final_placement;
      placement =
          route(backward, device, std::move(placement), rng(), counting)
              .final_placement;
    }
    const std::uint64_t swaps =
        route(forward, device, placement, rng(), counting).swaps;
    if (swaps < best_swaps) {
      best_swaps = swaps;
      best = std::move(placement);
    }
  }
  return best;
}

Layout to_layout(const Placement& placement,
                 std::uint32_t num_circuit_qubits) {
  Layout layout;
  for (std::uint32_t l = 0; l < num_circuit_qubits; ++l) {
    layout.add(ir::QubitId{l}, PhysicalQubit{placement[l]});
  }
  return layout;
}

}  // namespace qelto::compile
