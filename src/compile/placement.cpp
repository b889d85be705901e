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

// A long simple path through the part `members` (in breadth-first order),
// then its other qubits in that order. Depth-first from a qubit of least
// degree, trying first the free neighbour with the fewest free neighbours
// (Warnsdorff's rule, which leaves few dead ends behind), backtracking from
// dead ends within a budget of steps; the longest path seen wins.
std::vector<std::uint32_t> path_order(const Device& device,
                                      const std::vector<std::uint32_t>& members) {
  if (members.empty()) {
    return {};
  }
  // Enough for the heavy-hex and grid maps to reach nearly every qubit,
  // while the cost stays linear in the device.
  const std::size_t budget = 20 * members.size();
  std::vector<char> used(device.size(), 0);
  const auto free_degree = [&](std::uint32_t p) {
    std::uint32_t n = 0;
    for (const std::uint32_t q : device.neighbours(p)) {
      n += used[q] ? 0 : 1;
    }
    return n;
  };
  // Per path position: the neighbours still to try, best last.
  std::vector<std::vector<std::uint32_t>> untried;
  std::vector<std::uint32_t> path;
  std::vector<std::uint32_t> longest;
  const auto enter = [&](std::uint32_t p) {
    used[p] = 1;
    path.push_back(p);
    std::vector<std::uint32_t> next;
    for (const std::uint32_t q : device.neighbours(p)) {
      if (!used[q]) {
        next.push_back(q);
      }
    }
    std::sort(next.begin(), next.end(), [&](std::uint32_t a, std::uint32_t b) {
      const std::uint32_t da = free_degree(a);
      const std::uint32_t db = free_degree(b);
      return da != db ? da > db : a > b;
    });
    untried.push_back(std::move(next));
    if (path.size() > longest.size()) {
      longest = path;
    }
  };
  std::uint32_t start = members.front();
  for (const std::uint32_t p : members) {
    if (device.neighbours(p).size() < device.neighbours(start).size()) {
      start = p;
    }
  }
  enter(start);
  for (std::size_t step = 0; !path.empty() && step < budget &&
                             longest.size() < members.size();
       ++step) {
    if (untried.back().empty()) {
      used[path.back()] = 0;
      path.pop_back();
      untried.pop_back();
      continue;
    }
    const std::uint32_t q = untried.back().back();
    untried.back().pop_back();
    if (!used[q]) {
      enter(q);
    }
  }
  std::fill(used.begin(), used.end(), 0);
  for (const std::uint32_t p : longest) {
    used[p] = 1;
  }
  for (const std::uint32_t p : members) {
    if (!used[p]) {
      longest.push_back(p);
    }
  }
  return longest;
}

// Each part's qubits in the order a trial fills them: breadth first for
// the first trial (a compact placement), along a long path for the second
// (circuits whose qubits interact in a chain, such as the QFT, route with
// merged swaps there), shuffled for the others.
std::vector<std::vector<std::uint32_t>> starting_order(
    const Device& device, std::uint32_t trial, std::mt19937_64& rng) {
  std::vector<std::vector<std::uint32_t>> order = device.parts();
  for (auto& members : order) {
    if (trial == 1) {
      members = path_order(device, members);
    } else if (trial > 1) {
      std::shuffle(members.begin(), members.end(), rng);
    }
  }
  return order;
}

// Only the two-qubit gates matter to the search: swaps (which routing
// follows by renaming) and the others, all written as cx.
FlatCircuit interactions(const FlatCircuit& circuit, std::uint64_t max_gates) {
  FlatCircuit out;
  out.num_qubits = circuit.num_qubits;
  const OpCode swap = gate_code(ir::StandardGate::Swap);
  for (const FlatOp& op : circuit.ops) {
    if (out.ops.size() >= max_gates) {
      break;
    }
    if (op.is_gate() && op.num_qubits == 2) {
      FlatOp gate = op;
      if (gate.code != swap) {
        gate.code = gate_code(ir::StandardGate::Cx);
      }
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
  const FlatCircuit forward = interactions(circuit, options.max_gates);
  FlatCircuit backward = forward.empty_like();
  backward.ops.assign(forward.ops.rbegin(), forward.ops.rend());
  RouteOptions counting;
  counting.emit = false;

  Placement best;
  std::uint64_t best_cost = ~std::uint64_t{0};
  // A forward pass from a placement scores it.
  const auto score = [&](Placement placement, std::uint64_t route_seed) {
    Placement start = placement;
    Routed routed =
        route(forward, device, std::move(placement), route_seed, counting);
    if (swap_cost(routed) < best_cost) {
      best_cost = swap_cost(routed);
      best = std::move(start);
    }
    return std::move(routed.final_placement);
  };
  const std::uint32_t trials = std::max<std::uint32_t>(options.trials, 1);
  for (std::uint32_t trial = 0; trial < trials; ++trial) {
    std::mt19937_64 rng(seed + 0x9E3779B97F4A7C15ULL * (trial + 1));
    Placement placement = place(*parts, starting_order(device, trial, rng),
                                device);
    for (std::uint32_t it = 0; it < options.iterations; ++it) {
      placement = score(std::move(placement), rng());
      placement =
          route(backward, device, std::move(placement), rng(), counting)
              .final_placement;
    }
    (void)score(std::move(placement), rng());
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
