#include "compile/compile.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "compile/basis_translate.hpp"
#include "compile/device.hpp"
#include "compile/route.hpp"
#include "compile/simplify.hpp"
#include "compile/unroll.hpp"

namespace qelto::compile {
namespace {

// Above this many two-qubit gates the searches repeat less, so that their
// cost stays near a fixed multiple of one routing pass.
constexpr std::uint64_t kSearchBudget = 200'000;
// The layout search looks at no more two-qubit gates than this (see
// LayoutOptions::max_gates), and for circuits that have more it makes one
// trial of one iteration: where so long a circuit starts matters little
// to what routing it all costs.
constexpr std::uint64_t kLayoutGates = 20'000;

std::uint64_t count_two_qubit(const FlatCircuit& circuit) {
  return static_cast<std::uint64_t>(
      std::count_if(circuit.ops.begin(), circuit.ops.end(),
                    [](const FlatOp& op) {
                      return op.is_gate() && op.num_qubits == 2;
                    }));
}

std::uint32_t scaled(std::uint32_t wanted, std::uint64_t gates,
                     std::uint64_t per_unit) {
  const std::uint64_t affordable = kSearchBudget / std::max(gates, per_unit);
  return static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(affordable, 1, wanted));
}

CompileError missing_coupling_map() {
  return CompileError{CompileError::Kind::MissingTarget,
                      "the property set has no coupling map to compile for"};
}

// The circuit flattened for placing or routing on the target: refused
// without a coupling map, or with a gate on more than two qubits.
CompileResult<FlatCircuit> routable_flat(const ir::Circuit& circuit,
                                         const PropertySet& target) {
  if (!target.coupling_map()) {
    return std::unexpected(missing_coupling_map());
  }
  auto flat = flatten(circuit);
  if (!flat) {
    return flat;
  }
  for (const FlatOp& op : flat->ops) {
    if (op.is_gate() && op.num_qubits > 2) {
      return std::unexpected(CompileError{
          CompileError::Kind::UnsupportedGate,
          "gate '" + std::string(flat->op_name(op)) + "' acts on " +
              std::to_string(op.num_qubits) +
              " qubits; unroll it before placing or routing"});
    }
  }
  return flat;
}

CompileResult<Layout> search_layout(const FlatCircuit& circuit,
                                    const Device& device, std::uint64_t seed,
                                    const CompileOptions& options) {
  LayoutOptions layout = options.layout;
  const std::uint64_t gates = count_two_qubit(circuit);
  if (gates > kLayoutGates) {
    layout.max_gates = std::min(layout.max_gates, kLayoutGates);
    layout.trials = 1;
    layout.iterations = 1;
  }
  // Each trial routes 2 * iterations + 1 times.
  const std::uint64_t searched = std::min(gates, layout.max_gates);
  layout.trials = scaled(layout.trials,
                         searched * (2 * layout.iterations + 1), 1);
  if (searched * (2 * layout.iterations + 1) > kSearchBudget) {
    layout.iterations = 1;
  }
  auto placement = sabre_placement(circuit, device, seed, layout);
  if (!placement) {
    return std::unexpected(std::move(placement.error()));
  }
  return to_layout(*placement, circuit.num_qubits);
}

// Moves the circuit out, leaving an empty one, so that its memory is freed
// as soon as the stage reading it is done.
FlatCircuit release(FlatCircuit& circuit) {
  return std::exchange(circuit, FlatCircuit{});
}

struct RoutedCircuit {
  FlatCircuit circuit;
  Layout initial;
  Layout final_layout;
};

// Routes from `start` (the trivial placement when null), keeping the
// cheapest of the routing trials.
CompileResult<RoutedCircuit> route_flat(const FlatCircuit& circuit,
                                        const Device& device,
                                        const Layout* start_layout,
                                        std::uint64_t seed,
                                        const CompileOptions& options) {
  auto start = start_layout != nullptr
                   ? given_placement(circuit, device, *start_layout)
                   : trivial_placement(circuit, device);
  if (!start) {
    return std::unexpected(std::move(start.error()));
  }
  // Trials only count; the best seed then writes the circuit.
  const std::uint32_t trials =
      scaled(options.routing_trials, count_two_qubit(circuit), 1);
  RouteOptions counting;
  counting.emit = false;
  std::uint64_t best_seed = seed;
  std::uint64_t best_cost = ~std::uint64_t{0};
  for (std::uint32_t t = 0; trials > 1 && t < trials; ++t) {
    const std::uint64_t trial_seed = seed + 0x51ED27F1ULL * (t + 1);
    const std::uint64_t cost =
        swap_cost(route(circuit, device, *start, trial_seed, counting));
    if (cost < best_cost) {
      best_cost = cost;
      best_seed = trial_seed;
    }
  }
  Routed routed = route(circuit, device, *start, best_seed);
  return RoutedCircuit{std::move(routed.circuit),
                       to_layout(*start, circuit.num_qubits),
                       to_layout(routed.final_placement, circuit.num_qubits)};
}

// The circuit flattened, unrolled and simplified without blocks, ready for
// routing. Simplifying first spares routing the gates that cancel or
// vanish; blocks wait until after routing, where the swaps join them.
CompileResult<FlatCircuit> unrolled_and_simplified(
    const ir::Circuit& circuit, const BasisGates& basis,
    const CompileOptions& options) {
  auto flat = flatten(circuit);
  if (!flat) {
    return flat;
  }
  auto unrolled = unroll(release(*flat));
  if (!unrolled) {
    return unrolled;
  }
  return simplify(release(*unrolled), basis,
                  {.resynthesize_blocks = false,
                   .tolerance = options.tolerance});
}

}  // namespace

CompileResult<Layout> choose_layout(const ir::Circuit& circuit,
                                    const PropertySet& target,
                                    std::uint64_t seed,
                                    const CompileOptions& options) {
  auto flat = routable_flat(circuit, target);
  if (!flat) {
    return std::unexpected(std::move(flat.error()));
  }
  return search_layout(*flat, Device(*target.coupling_map()), seed, options);
}

CompileResult<ir::Circuit> route(const ir::Circuit& circuit,
                                 PropertySet& target, std::uint64_t seed,
                                 const CompileOptions& options) {
  auto flat = routable_flat(circuit, target);
  if (!flat) {
    return std::unexpected(std::move(flat.error()));
  }
  auto routed =
      route_flat(*flat, Device(*target.coupling_map()),
                 target.layout() ? &*target.layout() : nullptr, seed, options);
  if (!routed) {
    return std::unexpected(std::move(routed.error()));
  }
  ir::Circuit out = to_circuit(routed->circuit);
  target.set_initial_layout(std::move(routed->initial));
  target.set_layout(std::move(routed->final_layout));
  return out;
}

CompileResult<ir::Circuit> compile(const ir::Circuit& circuit,
                                   PropertySet& properties, std::uint64_t seed,
                                   const CompileOptions& options) {
  if (!properties.coupling_map() || !properties.basis_gates()) {
    return std::unexpected(
        properties.coupling_map()
            ? CompileError{CompileError::Kind::MissingTarget,
                           "the property set has no basis gates to compile "
                           "for"}
            : missing_coupling_map());
  }
  const BasisGates& basis = *properties.basis_gates();
  auto unrolled = unrolled_and_simplified(circuit, basis, options);
  if (!unrolled) {
    return std::unexpected(std::move(unrolled.error()));
  }
  const Device device(*properties.coupling_map());
  std::optional<Layout> searched;
  if (!properties.layout()) {
    auto layout = search_layout(*unrolled, device, seed, options);
    if (!layout) {
      return std::unexpected(std::move(layout.error()));
    }
    searched = std::move(*layout);
  }
  auto routed = route_flat(
      release(*unrolled), device,
      searched ? &*searched : &*properties.layout(), seed, options);
  if (!routed) {
    return std::unexpected(std::move(routed.error()));
  }
  // Each stage's input is released once read: on large circuits these
  // copies dominate the memory a compile holds.
  auto translated = translate_to_basis(release(routed->circuit), basis);
  if (!translated) {
    return std::unexpected(std::move(translated.error()));
  }
  const FlatCircuit simplified = simplify(release(*translated), basis,
                                          {.tolerance = options.tolerance});
  ir::Circuit out = to_circuit(simplified);
  properties.set_initial_layout(std::move(routed->initial));
  properties.set_layout(std::move(routed->final_layout));
  return out;
}

}  // namespace qelto::compile
