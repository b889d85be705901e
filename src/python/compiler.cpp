#include "python/compiler.hpp"

#include <cstdint>
#include <optional>
#include <string>

#include "compile/compile.hpp"
#include "python/binding/args.hpp"
#include "python/binding/borrow.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/object.hpp"
#include "python/classes.hpp"
#include "python/error.hpp"

namespace qelto::python {
namespace {

// An instance of the class for parameter `name`, or null with the
// TypeError set.
template <class Value>
Instance<Value>* argument(PyObject* object, const char* name) {
  Instance<Value>* instance = receive<Value>(object);
  if (instance == nullptr) {
    argument_failed(name);
  }
  return instance;
}

PyObject* compile_circuit(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
  static constexpr Signature kSig{
      "compile", {"circuit", "target", "seed", "tolerance"}, 2};
  // `seed` and `tolerance` are keyword-only.
  if (nargs > 2) {
    PyErr_Format(PyExc_TypeError,
                 "compile() takes 2 positional arguments but %zd were given",
                 nargs);
    return nullptr;
  }
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  auto* circuit = argument<ir::Circuit>(bound[0], "circuit");
  if (circuit == nullptr) {
    return nullptr;
  }
  auto* target = argument<compile::PropertySet>(bound[1], "target");
  if (target == nullptr) {
    return nullptr;
  }
  std::uint64_t seed = 0;
  if (bound[2] != nullptr && bound[2] != Py_None) {
    const auto converted = to_u64(bound[2], "seed");
    if (!converted) {
      return nullptr;
    }
    seed = *converted;
  }
  compile::CompileOptions options;
  if (bound[3] != nullptr) {
    const auto converted = to_amount(bound[3], "tolerance");
    if (!converted) {
      return nullptr;
    }
    options.tolerance = *converted;
  }
  SharedBorrow reading(circuit->borrow);
  if (!reading.held()) {
    return nullptr;
  }
  ExclusiveBorrow writing(target->borrow);
  if (!writing.held()) {
    return nullptr;
  }
  auto compiled = compile::compile(circuit->value, target->value, seed, options);
  if (!compiled) {
    return LibraryError<compile::CompileError>::raise(compiled.error());
  }
  return wrap(std::move(*compiled));
}

PyMethodDef compile_method = {
    "compile", fastcall<&compile_circuit>(), kFastCall,
    "compile(circuit, target, *, seed=None, tolerance=0.0)\n--\n\n"
    "Compile a circuit for the device a PropertySet describes.\n\n"
    "Unrolls gates on three or more qubits, places the qubits (the\n"
    "target's layout if it has one, else a SABRE layout search), routes\n"
    "with swaps so that every two-qubit gate acts on coupled qubits,\n"
    "translates into the basis gates and simplifies.\n\n"
    "Args:\n"
    "    circuit: The Circuit to compile; it is left unchanged.\n"
    "    target: A PropertySet holding a coupling map and basis gates.\n"
    "    seed: An int that fixes the random choices; None uses seed 0,\n"
    "        so equal inputs always give equal outputs.\n"
    "    tolerance: A float >= 0 bounding approximation; 0.0 (the default)\n"
    "        compiles exactly (up to global phase). Above 0, one-qubit runs\n"
    "        and two-qubit rotations within tolerance of the identity are\n"
    "        left out (before routing too, which then has fewer gates to\n"
    "        place), and runs on a pair may be written with fewer cx within\n"
    "        tolerance of their matrix. Distances are operator norms up to\n"
    "        global phase and add along the circuit: the result is within\n"
    "        tolerance times the number of pieces left out or rewritten.\n"
    "        1e-6 leaves out controlled phases below about 2e-6 rad, much\n"
    "        as Qiskit's optimisation levels 2 and 3 do.\n\n"
    "Returns:\n"
    "    A new Circuit on the device's physical qubits (as many qubits as\n"
    "    the coupling map has). Afterwards target.get_initial_layout() is\n"
    "    where each logical qubit starts and target.get_layout() where it\n"
    "    ends.\n\n"
    "Raises:\n"
    "    RuntimeError: 'Compile Error: ...' when the target lacks a\n"
    "        coupling map or basis gates, the circuit has more qubits than\n"
    "        the device or interacting qubits cannot be placed together, the\n"
    "        layout is invalid, a gate cannot be expressed in the basis, or\n"
    "        an angle has no value. The target is then unchanged.\n"
    "    TypeError: tolerance is not a real number (or is a bool).\n"
    "    ValueError: tolerance is negative, infinite or NaN."};

}  // namespace

PyMethodDef* compile_def() { return &compile_method; }

}  // namespace qelto::python
