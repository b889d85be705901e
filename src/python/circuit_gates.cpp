// The gate family of the Circuit class: one method per builder gate, all
// bound, converted and applied the same way.

#include <array>
#include <cstddef>

#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/circuit.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using ir::Circuit;
using ir::ParameterExpression;
using ir::QubitId;

ParameterExpression angle(double value) {
  return ParameterExpression::constant(value);
}

// A gate method whose signature lists `Angles` float parameters, then
// `Qubits` qubit parameters. Floats convert while binding, qubits after, and
// the circuit is borrowed only once every conversion has succeeded.
template <const Signature& Sig, std::size_t Angles, std::size_t Qubits,
          auto Build>
PyObject* gate_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) {
  static_assert(Angles + Qubits == Sig.count);
  BoundArgs bound;
  if (!bind(Sig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  PyCircuit* circuit = receive<Circuit>(self, circuit_class());
  if (circuit == nullptr) {
    return nullptr;
  }
  std::array<double, Angles> angles{};
  for (std::size_t i = 0; i < Angles; ++i) {
    auto value = to_f64(bound[i], Sig.names[i]);
    if (!value) {
      return nullptr;
    }
    angles[i] = *value;
  }
  std::array<QubitId, Qubits> qubits{};
  for (std::size_t i = 0; i < Qubits; ++i) {
    auto qubit = to_qubit_id(bound[Angles + i]);
    if (!qubit) {
      return nullptr;
    }
    qubits[i] = *qubit;
  }
  return apply_to_circuit(self, *circuit, [&](Circuit& c) {
    return Build(c, angles, qubits);
  });
}

template <const Signature& Sig, std::size_t Angles, std::size_t Qubits,
          auto Build>
PyMethodDef gate_def(const char* doc) {
  return {Sig.method_name(),
          fastcall<&gate_method<Sig, Angles, Qubits, Build>>(), kFastCall,
          doc};
}

using A0 = std::array<double, 0>;
using A1 = std::array<double, 1>;
using A2 = std::array<double, 2>;
using A3 = std::array<double, 3>;
using Q1 = std::array<QubitId, 1>;
using Q2 = std::array<QubitId, 2>;
using Q3 = std::array<QubitId, 3>;

constexpr Signature kH{"Circuit.h", {"qubit"}};
constexpr Signature kX{"Circuit.x", {"qubit"}};
constexpr Signature kY{"Circuit.y", {"qubit"}};
constexpr Signature kZ{"Circuit.z", {"qubit"}};
constexpr Signature kS{"Circuit.s", {"qubit"}};
constexpr Signature kSdg{"Circuit.sdg", {"qubit"}};
constexpr Signature kT{"Circuit.t", {"qubit"}};
constexpr Signature kTdg{"Circuit.tdg", {"qubit"}};
constexpr Signature kSx{"Circuit.sx", {"qubit"}};
constexpr Signature kRx{"Circuit.rx", {"theta", "qubit"}};
constexpr Signature kRy{"Circuit.ry", {"theta", "qubit"}};
constexpr Signature kRz{"Circuit.rz", {"theta", "qubit"}};
constexpr Signature kP{"Circuit.p", {"theta", "qubit"}};
constexpr Signature kU{"Circuit.u", {"theta", "phi", "lam", "qubit"}};
constexpr Signature kCx{"Circuit.cx", {"control", "target"}};
constexpr Signature kCy{"Circuit.cy", {"control", "target"}};
constexpr Signature kCz{"Circuit.cz", {"control", "target"}};
constexpr Signature kSwap{"Circuit.swap", {"q1", "q2"}};
constexpr Signature kISwap{"Circuit.iswap", {"q1", "q2"}};
constexpr Signature kCrz{"Circuit.crz", {"theta", "control", "target"}};
constexpr Signature kCp{"Circuit.cp", {"theta", "control", "target"}};
constexpr Signature kPrx{"Circuit.prx", {"theta", "phi", "qubit"}};
constexpr Signature kCcx{"Circuit.ccx", {"c1", "c2", "target"}};
constexpr Signature kCSwap{"Circuit.cswap", {"control", "t1", "t2"}};

#define QELTO_ONE_QUBIT(sig, op, doc)                                       \
  gate_def<sig, 0, 1, [](Circuit& c, const A0&, const Q1& q) {              \
    return c.op(q[0]);                                                      \
  }>(doc)
#define QELTO_ROTATION(sig, op, doc)                                        \
  gate_def<sig, 1, 1, [](Circuit& c, const A1& a, const Q1& q) {            \
    return c.op(angle(a[0]), q[0]);                                         \
  }>(doc)
#define QELTO_TWO_QUBIT(sig, op, doc)                                       \
  gate_def<sig, 0, 2, [](Circuit& c, const A0&, const Q2& q) {              \
    return c.op(q[0], q[1]);                                                \
  }>(doc)
#define QELTO_CONTROLLED_ROTATION(sig, op, doc)                             \
  gate_def<sig, 1, 2, [](Circuit& c, const A1& a, const Q2& q) {            \
    return c.op(angle(a[0]), q[0], q[1]);                                   \
  }>(doc)
#define QELTO_THREE_QUBIT(sig, op, doc)                                     \
  gate_def<sig, 0, 3, [](Circuit& c, const A0&, const Q3& q) {              \
    return c.op(q[0], q[1], q[2]);                                          \
  }>(doc)

const PyMethodDef gate_methods[] = {
    QELTO_ONE_QUBIT(kH, h,
                    "h($self, qubit)\n--\n\nApply a Hadamard gate.\n\nArgs:\n"
                    "    qubit: The qubit to apply the gate to (QubitId or "
                    "int).\n\nReturns:\n    self for method chaining."),
    QELTO_ONE_QUBIT(kX, x, "x($self, qubit)\n--\n\nApply a Pauli-X gate."),
    QELTO_ONE_QUBIT(kY, y, "y($self, qubit)\n--\n\nApply a Pauli-Y gate."),
    QELTO_ONE_QUBIT(kZ, z, "z($self, qubit)\n--\n\nApply a Pauli-Z gate."),
    QELTO_ONE_QUBIT(kS, s, "s($self, qubit)\n--\n\nApply an S gate (sqrt(Z))."),
    QELTO_ONE_QUBIT(kSdg, sdg,
                    "sdg($self, qubit)\n--\n\nApply an S-dagger gate."),
    QELTO_ONE_QUBIT(kT, t,
                    "t($self, qubit)\n--\n\nApply a T gate (fourth root of Z)."),
    QELTO_ONE_QUBIT(kTdg, tdg,
                    "tdg($self, qubit)\n--\n\nApply a T-dagger gate."),
    QELTO_ONE_QUBIT(kSx, sx, "sx($self, qubit)\n--\n\nApply a sqrt(X) gate."),
    QELTO_ROTATION(kRx, rx,
                   "rx($self, theta, qubit)\n--\n\nApply an Rx rotation gate."
                   "\n\nArgs:\n    theta: The rotation angle in radians.\n"
                   "    qubit: The qubit to apply the gate to."),
    QELTO_ROTATION(kRy, ry,
                   "ry($self, theta, qubit)\n--\n\nApply an Ry rotation gate."
                   "\n\nArgs:\n    theta: The rotation angle in radians.\n"
                   "    qubit: The qubit to apply the gate to."),
    QELTO_ROTATION(kRz, rz,
                   "rz($self, theta, qubit)\n--\n\nApply an Rz rotation gate."
                   "\n\nArgs:\n    theta: The rotation angle in radians.\n"
                   "    qubit: The qubit to apply the gate to."),
    QELTO_ROTATION(kP, p,
                   "p($self, theta, qubit)\n--\n\nApply a phase gate.\n\n"
                   "Args:\n    theta: The phase angle in radians.\n"
                   "    qubit: The qubit to apply the gate to."),
    gate_def<kU, 3, 1, [](Circuit& c, const A3& a, const Q1& q) {
      return c.u(angle(a[0]), angle(a[1]), angle(a[2]), q[0]);
    }>("u($self, theta, phi, lam, qubit)\n--\n\nApply a universal U gate.\n\n"
       "Args:\n    theta: The first rotation angle.\n"
       "    phi: The second rotation angle.\n"
       "    lam: The third rotation angle (lambda).\n"
       "    qubit: The qubit to apply the gate to."),
    QELTO_TWO_QUBIT(kCx, cx,
                    "cx($self, control, target)\n--\n\nApply a CNOT (CX) "
                    "gate.\n\nArgs:\n    control: The control qubit.\n"
                    "    target: The target qubit."),
    QELTO_TWO_QUBIT(kCy, cy, "cy($self, control, target)\n--\n\nApply a CY gate."),
    QELTO_TWO_QUBIT(kCz, cz, "cz($self, control, target)\n--\n\nApply a CZ gate."),
    QELTO_TWO_QUBIT(kSwap, swap, "swap($self, q1, q2)\n--\n\nApply a SWAP gate."),
    QELTO_TWO_QUBIT(kISwap, iswap,
                    "iswap($self, q1, q2)\n--\n\nApply an iSWAP gate."),
    QELTO_CONTROLLED_ROTATION(
        kCrz, crz,
        "crz($self, theta, control, target)\n--\n\nApply a controlled-Rz gate."),
    QELTO_CONTROLLED_ROTATION(
        kCp, cp,
        "cp($self, theta, control, target)\n--\n\nApply a controlled-phase "
        "gate."),
    gate_def<kPrx, 2, 1, [](Circuit& c, const A2& a, const Q1& q) {
      return c.prx(angle(a[0]), angle(a[1]), q[0]);
    }>("prx($self, theta, phi, qubit)\n--\n\nApply a phased RX gate (IQM "
       "native).\n\nPRX(\u03b8, \u03c6) = RZ(\u03c6) \u00b7 RX(\u03b8) "
       "\u00b7 RZ(-\u03c6)"),
    QELTO_THREE_QUBIT(kCcx, ccx,
                      "ccx($self, c1, c2, target)\n--\n\nApply a Toffoli (CCX) "
                      "gate."),
    QELTO_THREE_QUBIT(kCSwap, cswap,
                      "cswap($self, control, t1, t2)\n--\n\nApply a Fredkin "
                      "(CSWAP) gate."),
};

#undef QELTO_ONE_QUBIT
#undef QELTO_ROTATION
#undef QELTO_TWO_QUBIT
#undef QELTO_CONTROLLED_ROTATION
#undef QELTO_THREE_QUBIT

}  // namespace

std::span<const PyMethodDef> circuit_gate_methods() { return gate_methods; }

}  // namespace qelto::python
