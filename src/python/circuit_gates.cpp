// The gate family of the Circuit class: one method per catalogue gate (the
// gate table, src/ir/gates.def). Each row gives the Python name, the
// docstring, the builder operation and the Python names of the builder's
// parameters in order; the converter of each parameter follows from the
// builder's own parameter type (an angle or a qubit).

#include <cmath>
#include <optional>

#include "ir/gate_macros.hpp"

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

// Nan and the infinities are refused: no circuit holds them (no OpenQASM
// text denotes them).
struct Angle {
  using Value = ConstantAngle;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    const auto number = to_f64(v, name);
    if (!number) {
      return std::nullopt;
    }
    if (!std::isfinite(*number)) {
      PyErr_Format(PyExc_ValueError,
                   "argument '%s': angle must be finite, not %s", name,
                   std::isnan(*number) ? "nan"
                   : *number > 0       ? "inf"
                                       : "-inf");
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

// One method per catalogue gate, in catalogue order.
const PyMethodDef gate_methods[] = {
#define QELTO_GATE(Enum, name, params, qubits, in_stdgates, definition,   \
                   inverse, doc)                                         \
  GateMethod<#name, doc, &Circuit::name, QELTO_PP_LIST_STRINGS(params)   \
                 QELTO_PP_LIST_COMMA_IF(params)                          \
                     QELTO_PP_LIST_STRINGS(qubits)>::def(),
#include "ir/gates.def"
};

}  // namespace

std::span<const PyMethodDef> circuit_gate_methods() { return gate_methods; }

}  // namespace qelto::python
