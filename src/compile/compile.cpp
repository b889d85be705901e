#include "compile/compile.hpp"

#include <algorithm>
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
constexpr std::uint64_t kSearchBudget = 400'000;

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

CompileResult<Placement> initial_placement(const FlatCircuit& circuit,
                                           const Device& device,
                                           const PropertySet& properties,
                                           std::uint64_t seed,
                                           const CompileOptions& options) {
  if (properties.layout()) {
    return given_placement(circuit, device, *properties.layout());
  }
  const std::uint64_t gates = count_two_qubit(circuit);
  LayoutOptions layout = options.layout;

  // Each trial routes 2 * iterations + 1 times.
  layout.trials = scaled(layout.trials, gates * (2 * layout.iterations + 1),
                         1);
  if (gates * (2 * layout.iterations + 1) > kSearchBudget) {
    layout.iterations = 1;
  }
  return sabre_placement(circuit, device, seed, layout);
}

}  // namespace

CompileResult<ir::Circuit> compile(const ir::Circuit& circuit,
                                   PropertySet& properties, std::uint64_t seed,
                                   const CompileOptions& options) {
  if (!properties.coupling_map() || !properties.basis_gates()) {
    return std::unexpected(CompileError{
        CompileError::Kind::MissingTarget,
        properties.coupling_map()
            ? "the property set has no basis gates to compile for"
            : "the property set has no coupling map to compile for"});
  }
  const BasisGates& basis = *properties.basis_gates();
  auto flat = flatten(circuit);
  if (!flat) {
    return std::unexpected(std::move(flat.error()));
  }
  auto unrolled = unroll(*flat);
  if (!unrolled) {
    return std::unexpected(std::move(unrolled.error()));
  }
  // Simplifying first spares routing the gates that cancel or vanish.
  // Blocks wait until after routing, where the swaps join them.
  *unrolled = simplify(*unrolled, basis, {.resynthesize_blocks = false});
  const Device device(*properties.coupling_map());
  auto start =
      initial_placement(*unrolled, device, properties, seed, options);
  if (!start) {
    return std::unexpected(std::move(start.error()));
  }

  // Routing trials only count; the best seed then writes the circuit.
  const std::uint32_t trials =
      scaled(options.routing_trials, count_two_qubit(*unrolled), 1);
  RouteOptions counting;
  counting.emit = false;
  std::uint64_t best_seed = seed;
  std::uint64_t best_cost = ~std::uint64_t{0};
  for (std::uint32_t t = 0; trials > 1 && t < trials; ++t) {
    const std::uint64_t trial_seed = seed + 0x51ED27F1ULL * (t + 1);
    const std::uint64_t cost =
        swap_cost(route(*unrolled, device, *start, trial_seed, counting));
    if (cost < best_cost) {
      best_cost = cost;
      best_seed = trial_seed;
    }
  }
  RouteOptions writing = counting;
  writing.emit = true;
  Routed routed = route(*unrolled, device, *start, best_seed, writing);

  auto translated = translate_to_basis(routed.circuit, basis);
  if (!translated) {
    return std::unexpected(std::move(translated.error()));
  }
  ir::Circuit out = to_circuit(simplify(*translated, basis));
  Layout initial = to_layout(*start, flat->num_qubits);
  Layout final_layout = to_layout(routed.final_placement, flat->num_qubits);
  properties.set_initial_layout(std::move(initial));
  properties.set_layout(std::move(final_layout));
  return out;
}

}  // namespace qelto::compile
