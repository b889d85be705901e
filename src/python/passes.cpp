#include "python/passes.hpp"

#include <cstdint>
#include <optional>
#include <string_view>

#include "compile/basis_translate.hpp"
#include "compile/compile.hpp"
#include "compile/simplify.hpp"
#include "compile/unroll.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/method.hpp"
#include "python/classes.hpp"
#include "python/error.hpp"

namespace qelto::python {
namespace {

using compile::BasisGates;
using compile::CompileResult;
using compile::Layout;
using compile::PropertySet;
using Circuit = SharedValue<ir::Circuit>;
using CircuitParam = Param<"circuit", Borrowed<ir::Circuit>>;
using BasisParam = Param<"basis", Borrowed<BasisGates>>;

// An int, or None for 0: the seed that fixes a pass's random choices.
struct SeedOrNone {
  using Value = std::uint64_t;
  static constexpr std::string_view kDefault = "None";
  static std::optional<Value> convert(PyObject* v, const char* name) {
    if (v == nullptr || v == Py_None) {
      return 0;
    }
    return to_u64(v, name);
  }
};
using SeedParam = Param<"seed", KeywordOnly<SeedOrNone>>;

CompileResult<ir::Circuit> unroll(const Circuit& circuit) {
  return compile::unroll(circuit.get());
}

CompileResult<Layout> layout(const Circuit& circuit,
                             const SharedValue<PropertySet>& target,
                             std::uint64_t seed) {
  return compile::choose_layout(circuit.get(), target.get(), seed);
}

CompileResult<ir::Circuit> route(const Circuit& circuit,
                                 const ExclusiveValue<PropertySet>& target,
                                 std::uint64_t seed) {
  return compile::route(circuit.get(), target.get(), seed);
}

CompileResult<ir::Circuit> translate(const Circuit& circuit,
                                     const SharedValue<BasisGates>& basis) {
  return compile::translate_to_basis(circuit.get(), basis.get());
}

CompileResult<ir::Circuit> simplify(const Circuit& circuit,
                                    const SharedValue<BasisGates>& basis,
                                    bool resynthesize, double tolerance) {
  return compile::simplify(
      circuit.get(), basis.get(),
      {.resynthesize_blocks = resynthesize, .tolerance = tolerance});
}

PyMethodDef unroll_method = Method<
    "unroll", Module, &unroll,
    "Rewrite every gate on three or more qubits into one- and two-qubit "
    "gates.\n\n"
    "The first pass of compile(). Each such gate (ccx, cswap, c3x, ...) is\n"
    "replaced, on the same qubits, by cx and one-qubit gates with the same\n"
    "action up to global phase; everything else is kept as it is.\n\n"
    "Args:\n"
    "    circuit: The Circuit to unroll; it is left unchanged.\n\n"
    "Returns:\n"
    "    A new Circuit with gates on at most two qubits.\n\n"
    "Raises:\n"
    "    RuntimeError: 'Compile Error: ...' for a gate on three or more\n"
    "        qubits without such an expression (a custom gate), or an angle\n"
    "        without a value.",
    CircuitParam>::def();

PyMethodDef layout_method = Method<
    "layout", Module, &layout,
    "Choose where each qubit of a circuit starts on the target's device.\n\n"
    "The placement compile() uses when the target has no layout: a SABRE\n"
    "search (forward and backward routing passes from compact, path-shaped\n"
    "and random starts), keeping the placement whose routing costs least.\n"
    "Pass the result to target.set_layout() before route().\n\n"
    "Args:\n"
    "    circuit: The Circuit to place, with gates on at most two qubits\n"
    "        (see unroll); it is left unchanged.\n"
    "    target: A PropertySet holding a coupling map; it is left\n"
    "        unchanged.\n"
    "    seed: An int that fixes the random choices; None uses seed 0.\n\n"
    "Returns:\n"
    "    A Layout placing every qubit of the circuit on a distinct physical\n"
    "    qubit.\n\n"
    "Raises:\n"
    "    RuntimeError: 'Compile Error: ...' when the target has no coupling\n"
    "        map, a gate acts on three or more qubits, the circuit has more\n"
    "        qubits than the device or interacting qubits cannot be placed\n"
    "        together, or an angle has no value.",
    CircuitParam,
    Param<"target", Borrowed<PropertySet>>,
    SeedParam>::def();

PyMethodDef route_method = Method<
    "route", Module, &route,
    "Insert swaps so that every two-qubit gate acts on coupled qubits.\n\n"
    "Routing as compile() does it: qubits start where the target's layout\n"
    "places them (qubit i on physical qubit i without one); gates run as\n"
    "soon as their qubits are coupled, otherwise the swap that best brings\n"
    "the waiting gates and those after them together is inserted. The\n"
    "circuit's own swap gates are not written: the qubits are renamed\n"
    "instead, which the final layout records. Measurements, resets,\n"
    "barriers and delays move with their qubits.\n\n"
    "Args:\n"
    "    circuit: The Circuit to route, with gates on at most two qubits\n"
    "        (see unroll); it is left unchanged.\n"
    "    target: A PropertySet holding a coupling map and, if wanted, the\n"
    "        starting layout.\n"
    "    seed: An int that fixes the random choices; None uses seed 0.\n\n"
    "Returns:\n"
    "    A new Circuit on the device's physical qubits (as many qubits as\n"
    "    the coupling map has). Afterwards target.get_initial_layout() is\n"
    "    where each qubit starts and target.get_layout() where it ends.\n\n"
    "Raises:\n"
    "    RuntimeError: 'Compile Error: ...' when the target has no coupling\n"
    "        map, a gate acts on three or more qubits, the layout does not\n"
    "        place every qubit on a distinct physical qubit, the circuit has\n"
    "        more qubits than the device, interacting qubits sit in parts of\n"
    "        the device no path joins, or an angle has no value. The target\n"
    "        is then unchanged.",
    CircuitParam,
    Param<"target", BorrowedToChange<PropertySet>>,
    SeedParam>::def();

PyMethodDef translate_method = Method<
    "translate", Module, &translate,
    "Rewrite every gate with the gates of a basis.\n\n"
    "Gates the basis holds are kept; other two-qubit gates are written with\n"
    "cx and one-qubit gates, cx with the basis's two-qubit gate and\n"
    "one-qubit gates with its one-qubit gates, exactly up to global phase.\n"
    "Runs of one-qubit gates are merged on the way and adjacent inverse\n"
    "pairs cancel. Measurements, resets, barriers and delays pass\n"
    "unchanged.\n\n"
    "Args:\n"
    "    circuit: The Circuit to translate; it is left unchanged.\n"
    "    basis: The BasisGates to write the circuit with.\n\n"
    "Returns:\n"
    "    A new Circuit whose gates are all in the basis.\n\n"
    "Raises:\n"
    "    RuntimeError: 'Compile Error: gate ... cannot be expressed in the\n"
    "        basis [...]' for a gate the basis cannot express, or an angle\n"
    "        without a value.",
    CircuitParam,
    BasisParam>::def();

PyMethodDef simplify_method = Method<
    "simplify", Module, &simplify,
    "Remove and merge gates without changing the circuit's action.\n\n"
    "Adjacent inverse two-qubit gates cancel and rotations of one kind on\n"
    "the same qubits merge; each run of one-qubit gates on a qubit becomes\n"
    "one rotation, dropped when it is the identity, else written with the\n"
    "fewest of the basis's one-qubit gates when that is shorter or the run\n"
    "holds gates outside the basis. With resynthesize, each run of gates on\n"
    "one pair of qubits is written anew with the fewest two-qubit gates\n"
    "(0 to 3 cx, or the basis's gate that makes cx) when that needs fewer\n"
    "two-qubit gates than the run; a swap next to a cx or cp then costs one\n"
    "cx more instead of three. The action is kept up to global phase.\n\n"
    "Args:\n"
    "    circuit: The Circuit to simplify; it is left unchanged.\n"
    "    basis: The BasisGates whose gates new gates are written with.\n"
    "    resynthesize: Whether runs on a pair of qubits are re-synthesised\n"
    "        (compile() leaves them for after routing).\n"
    "    tolerance: A float >= 0; 0.0 (the default) keeps the action exact.\n"
    "        Above 0, a run of one-qubit gates or a two-qubit rotation\n"
    "        within tolerance of the identity is dropped, and a run on a\n"
    "        pair may be re-synthesised with fewer cx within tolerance of\n"
    "        its matrix. Distances are operator norms up to global phase;\n"
    "        they add along a circuit, so the result is within tolerance\n"
    "        times the number of pieces replaced. 1e-6 drops controlled\n"
    "        phases below about 2e-6 rad.\n\n"
    "Returns:\n"
    "    A new Circuit with the same action (within the tolerance). A run\n"
    "    is only re-synthesised when that leaves fewer two-qubit gates than\n"
    "    writing the run in the basis would (a cp counts as the two cx it\n"
    "    takes), so a circuit already in the basis never gains two-qubit\n"
    "    gates.\n\n"
    "Raises:\n"
    "    RuntimeError: 'Compile Error: ...' for an angle without a value.\n"
    "    TypeError: tolerance is not a real number (or is a bool).\n"
    "    ValueError: tolerance is negative, infinite or NaN.",
    CircuitParam,
    BasisParam,
    Param<"resynthesize", KeywordOnly<OrDefault<Truth, true, "True">>>,
    Param<"tolerance",
          KeywordOnly<OrDefault<Amount, 0.0, "0.0">>>>::def();

}  // namespace

PyMethodDef* unroll_def() { return &unroll_method; }
PyMethodDef* layout_def() { return &layout_method; }
PyMethodDef* route_def() { return &route_method; }
PyMethodDef* translate_def() { return &translate_method; }
PyMethodDef* simplify_def() { return &simplify_method; }

}  // namespace qelto::python
