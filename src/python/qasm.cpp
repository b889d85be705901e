#include "python/qasm.hpp"

#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/circuit.hpp"
#include "python/error.hpp"
#include "qasm3/emitter.hpp"
#include "qasm3/parser.hpp"

namespace qelto::python {
namespace {

PyObject* parse_to_py_err(const qasm3::ParseError& error) {
  return raise_runtime_error("Parse Error: ", qasm3::to_string(error));
}

PyObject* from_qasm(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames) {
  static constexpr Signature kSig{"from_qasm", {"qasm"}};
  auto converted = convert_args<Str>(kSig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  auto circuit = qasm3::parse(std::get<0>(*converted));
  if (!circuit) {
    return parse_to_py_err(circuit.error());
  }
  return new_circuit(std::move(*circuit));
}

PyObject* to_qasm(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                  PyObject* kwnames) {
  static constexpr Signature kSig{"to_qasm", {"circuit"}};
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  PyCircuit* circuit = circuit_argument(bound[0], "circuit");
  if (circuit == nullptr) {
    return nullptr;
  }
  SharedBorrow borrow(circuit->borrow);
  if (!borrow.held()) {
    return nullptr;
  }
  auto text = qasm3::emit(circuit->value);
  if (!text) {
    return parse_to_py_err(text.error());
  }
  return PyUnicode_FromStringAndSize(text->data(),
                                     static_cast<Py_ssize_t>(text->size()));
}

PyMethodDef from_qasm_method = {
    "from_qasm", fastcall<&from_qasm>(), kFastCall,
    "from_qasm(qasm)\n--\n\n"
    "Parse an OpenQASM 3 string into a Circuit.\n\n"
    "Args:\n    qasm: The QASM3 source code as a string.\n\n"
    "Returns:\n    A Circuit object representing the parsed circuit.\n\n"
    "Raises:\n    RuntimeError: If parsing fails due to syntax errors or "
    "unsupported features.\n\n"
    "Example:\n    >>> qasm = '''\n    ... OPENQASM 3.0;\n    ... qubit[2] q;\n"
    "    ... h q[0];\n    ... cx q[0], q[1];\n    ... '''\n"
    "    >>> qc = from_qasm(qasm)\n    >>> qc.num_qubits\n    2"};

PyMethodDef to_qasm_method = {
    "to_qasm", fastcall<&to_qasm>(), kFastCall,
    "to_qasm(circuit)\n--\n\n"
    "Emit a Circuit as an OpenQASM 3 string.\n\n"
    "Args:\n    circuit: The Circuit to convert to QASM.\n\n"
    "Returns:\n    A string containing the QASM3 representation of the "
    "circuit.\n\n"
    "Example:\n    >>> qc = Circuit(\"test\", num_qubits=2)\n"
    "    >>> qc.h(0).cx(0, 1)\n    >>> print(to_qasm(qc))\n"
    "    OPENQASM 3.0;\n    qubit[2] q;\n    h q[0];\n    cx q[0], q[1];"};

}  // namespace

PyMethodDef* from_qasm_def() { return &from_qasm_method; }
PyMethodDef* to_qasm_def() { return &to_qasm_method; }

}  // namespace qelto::python
