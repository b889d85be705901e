// The gate family of the Circuit class. Each gate method is one row: its
// Python name, its docstring, the builder operation, and the Python names of
// the builder's parameters in order. The converter of each parameter follows
// from the builder's own parameter type (an angle or a qubit).

#include <optional>

#include "python/binding/convert.hpp"
#include "python/binding/method.hpp"
#include "python/circuit.hpp"
#include "python/classes.hpp"
#include "python/error.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using ir::Circuit;

// An angle parameter: a float (or int, or anything with __float__) taken as
// a constant expression. The expression is made only as the builder's
// argument, so that it is never moved on the way.
struct ConstantAngle {
  double radians;
  // Implicit: the builder operation takes the expression by value.
  operator ir::ParameterExpression() const {
    return ir::ParameterExpression::constant(radians);
  }
};

struct Angle {
  using Value = ConstantAngle;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    const auto number = to_f64(v, name);
    if (!number) {
      return std::nullopt;
    }
    return ConstantAngle{*number};
  }
};

template <class T>
struct GateParameter;
template <>
struct GateParameter<ir::ParameterExpression> {
  using Convert = Angle;
};
template <>
struct GateParameter<ir::QubitId> {
  using Convert = Qubit;
};

// The builder of a gate row: a Circuit member, or a function taking the
// circuit first; its parameters are angles, then qubits.
template <class Builder>
struct GateBuilder;
template <class... Args>
struct GateBuilder<ir::BuildResult (Circuit::*)(Args...)> {
  template <Text Name, Text Doc, auto Build, Text... Names>
  using Method =
      python::Method<Name, Builds<Circuit>, Build, Doc,
                     Param<Names, typename GateParameter<Args>::Convert>...>;
};
template <class... Args>
struct GateBuilder<ir::BuildResult (*)(Circuit&, Args...)>
    : GateBuilder<ir::BuildResult (Circuit::*)(Args...)> {};

// The method for one gate row: `Build` is the builder operation, `Names` the
// Python names of its parameters, one per builder parameter after the
// circuit.
template <Text Name, Text Doc, auto Build, Text... Names>
using GateMethod = typename GateBuilder<decltype(Build)>::template Method<
    Name, Doc, Build, Names...>;

const PyMethodDef gate_methods[] = {
    GateMethod<"h",
               "Apply a Hadamard gate.\n\nArgs:\n"
               "    qubit: The qubit to apply the gate to (QubitId or "
               "int).\n\nReturns:\n    self for method chaining.",
               &Circuit::h, "qubit">::def(),
    GateMethod<"x", "Apply a Pauli-X gate.", &Circuit::x, "qubit">::def(),
    GateMethod<"y", "Apply a Pauli-Y gate.", &Circuit::y, "qubit">::def(),
    GateMethod<"z", "Apply a Pauli-Z gate.", &Circuit::z, "qubit">::def(),
    GateMethod<"s", "Apply an S gate (sqrt(Z)).", &Circuit::s, "qubit">::def(),
    GateMethod<"sdg", "Apply an S-dagger gate.", &Circuit::sdg,
               "qubit">::def(),
    GateMethod<"t", "Apply a T gate (fourth root of Z).", &Circuit::t,
               "qubit">::def(),
    GateMethod<"tdg", "Apply a T-dagger gate.", &Circuit::tdg,
               "qubit">::def(),
    GateMethod<"sx", "Apply a sqrt(X) gate.", &Circuit::sx, "qubit">::def(),
    GateMethod<"rx",
               "Apply an Rx rotation gate.\n\nArgs:\n"
               "    theta: The rotation angle in radians.\n"
               "    qubit: The qubit to apply the gate to.",
               &Circuit::rx, "theta", "qubit">::def(),
    GateMethod<"ry",
               "Apply an Ry rotation gate.\n\nArgs:\n"
               "    theta: The rotation angle in radians.\n"
               "    qubit: The qubit to apply the gate to.",
               &Circuit::ry, "theta", "qubit">::def(),
    GateMethod<"rz",
               "Apply an Rz rotation gate.\n\nArgs:\n"
               "    theta: The rotation angle in radians.\n"
               "    qubit: The qubit to apply the gate to.",
               &Circuit::rz, "theta", "qubit">::def(),
    GateMethod<"p",
               "Apply a phase gate.\n\nArgs:\n"
               "    theta: The phase angle in radians.\n"
               "    qubit: The qubit to apply the gate to.",
               &Circuit::p, "theta", "qubit">::def(),
    GateMethod<"u",
               "Apply a universal U gate.\n\nArgs:\n"
               "    theta: The first rotation angle.\n"
               "    phi: The second rotation angle.\n"
               "    lam: The third rotation angle (lambda).\n"
               "    qubit: The qubit to apply the gate to.",
               &Circuit::u, "theta", "phi", "lam", "qubit">::def(),
    GateMethod<"cx",
               "Apply a CNOT (CX) gate.\n\nArgs:\n"
               "    control: The control qubit.\n"
               "    target: The target qubit.",
               &Circuit::cx, "control", "target">::def(),
    GateMethod<"cy", "Apply a CY gate.", &Circuit::cy, "control",
               "target">::def(),
    GateMethod<"cz", "Apply a CZ gate.", &Circuit::cz, "control",
               "target">::def(),
    GateMethod<"swap", "Apply a SWAP gate.", &Circuit::swap, "q1",
               "q2">::def(),
    GateMethod<"iswap", "Apply an iSWAP gate.", &Circuit::iswap, "q1",
               "q2">::def(),
    GateMethod<"crz", "Apply a controlled-Rz gate.", &Circuit::crz, "theta",
               "control", "target">::def(),
    GateMethod<"cp", "Apply a controlled-phase gate.", &Circuit::cp, "theta",
               "control", "target">::def(),
    GateMethod<"prx",
               "Apply a phased RX gate (IQM native).\n\n"
               "PRX(\u03b8, \u03c6) = RZ(\u03c6) \u00b7 RX(\u03b8) "
               "\u00b7 RZ(-\u03c6)",
               &Circuit::prx, "theta", "phi", "qubit">::def(),
    GateMethod<"ccx", "Apply a Toffoli (CCX) gate.", &Circuit::ccx, "c1",
               "c2", "target">::def(),
    GateMethod<"cswap", "Apply a Fredkin (CSWAP) gate.", &Circuit::cswap,
               "control", "t1", "t2">::def(),
};

}  // namespace

std::span<const PyMethodDef> circuit_gate_methods() { return gate_methods; }

}  // namespace qelto::python
