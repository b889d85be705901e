// The Circuit class: constructor, properties, bits and registers, non-gate
// operations and the ready-made circuits. The gate family lives in
// circuit_gates.cpp.

#include "python/circuit.hpp"

#include <cassert>
#include <string>
#include <string_view>
#include <vector>

#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/circuit_data.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using ir::Circuit;

PyObject* from_text(const std::string& text) {
  return PyUnicode_FromStringAndSize(text.data(),
                                     static_cast<Py_ssize_t>(text.size()));
}

PyObject* circuit_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  static constexpr Signature kSig{
      "Circuit.__new__", {"name", "num_qubits", "num_clbits"}, 1};
  auto converted =
      convert_args<Str, Optional<U32>, Optional<U32>>(kSig, args, kwargs);
  if (!converted) {
    return nullptr;
  }
  auto& [name, num_qubits, num_clbits] = *converted;
  return new_circuit(
      Circuit::with_size(name, num_qubits.value_or(0), num_clbits.value_or(0)));
}

PyObject* get_name(PyObject* self, void*) {
  return read_circuit(self, [](const Circuit& c) { return from_text(c.name()); });
}

PyObject* get_num_qubits(PyObject* self, void*) {
  return read_circuit(self, [](const Circuit& c) {
    return PyLong_FromUnsignedLongLong(c.num_qubits());
  });
}

PyObject* get_num_clbits(PyObject* self, void*) {
  return read_circuit(self, [](const Circuit& c) {
    return PyLong_FromUnsignedLongLong(c.num_clbits());
  });
}

PyObject* depth(PyObject* self, PyObject*) {
  return read_circuit(self, [](const Circuit& c) {
    return PyLong_FromUnsignedLongLong(c.depth());
  });
}

PyObject* circuit_repr(PyObject* self) {
  return read_circuit(self, [](const Circuit& c) {
    return from_text("Circuit('" + c.name() +
                     "', num_qubits=" + std::to_string(c.num_qubits()) +
                     ", num_clbits=" + std::to_string(c.num_clbits()) +
                     ", depth=" + std::to_string(c.depth()) + ")");
  });
}

template <class Body>
PyObject* change_bits(PyObject* self, Body&& body) {
  return change_value<Circuit>(self, circuit_class(), body);
}

// What differs between adding qubits and adding classical bits.
struct QubitBits {
  using Id = ir::QubitId;
  static std::uint64_t count(const Circuit& c) { return c.num_qubits(); }
  static Id add_one(Circuit& c) { return c.add_qubit(); }
  static std::vector<Id> add_register(Circuit& c, std::string_view name,
                                      std::uint32_t size) {
    return c.add_qreg(name, size);
  }
  static PyObject* make(Id id) { return new_qubit_id(id); }
};

struct ClbitBits {
  using Id = ir::ClbitId;
  static std::uint64_t count(const Circuit& c) { return c.num_clbits(); }
  static Id add_one(Circuit& c) { return c.add_clbit(); }
  static std::vector<Id> add_register(Circuit& c, std::string_view name,
                                      std::uint32_t size) {
    return c.add_creg(name, size);
  }
  static PyObject* make(Id id) { return new_clbit_id(id); }
};

// The identifier objects for the next `size` bits. Identifiers are handed
// out densely, so they are known before the bits exist; making the objects
// first means running out of memory here leaves the circuit unchanged.
template <class Bits>
PyRef next_ids(const Circuit& c, std::uint32_t size) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(size)));
  if (!list) {
    return list;
  }
  const std::uint64_t first = Bits::count(c);
  for (std::uint32_t i = 0; i < size; ++i) {
    PyObject* item =
        Bits::make(typename Bits::Id{static_cast<std::uint32_t>(first + i)});
    if (item == nullptr ||
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item) != 0) {
      return PyRef();
    }
  }
  return list;
}

template <class Bits>
PyObject* add_bit(PyObject* self, PyObject*) {
  return change_bits(self, [](Circuit& c) -> PyObject* {
    PyRef ids = next_ids<Bits>(c, 1);
    if (!ids) {
      return nullptr;
    }
    [[maybe_unused]] const auto id = Bits::add_one(c);
    assert(id.index == Bits::count(c) - 1);
    return PyRef::borrow(PyList_GetItem(ids.get(), 0)).release();
  });
}

template <const Signature& Sig, class Bits>
PyObject* add_register(PyObject* self, PyObject* const* args,
                       Py_ssize_t nargs, PyObject* kwnames) {
  return change_bits(self, [&](Circuit& c) -> PyObject* {
    auto converted = convert_args<Str, U32>(Sig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    auto& [name, size] = *converted;
    PyRef ids = next_ids<Bits>(c, size);
    if (!ids) {
      return nullptr;
    }
    Bits::add_register(c, name, size);
    return ids.release();
  });
}

constexpr Signature kAddQreg{"Circuit.add_qreg", {"name", "size"}};
constexpr Signature kAddCreg{"Circuit.add_creg", {"name", "size"}};

PyObject* measure(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                  PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit.measure", {"qubit", "clbit"}};
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  PyCircuit* circuit = receive<Circuit>(self, circuit_class());
  if (circuit == nullptr) {
    return nullptr;
  }
  auto qubit = to_qubit_id(bound[0]);
  if (!qubit) {
    return nullptr;
  }
  auto clbit = to_clbit_id(bound[1]);
  if (!clbit) {
    return nullptr;
  }
  return apply_to_circuit(self, *circuit, [&](Circuit& c) {
    return c.measure(*qubit, *clbit);
  });
}

PyObject* reset(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit.reset", {"qubit"}};
  auto converted = convert_args<Any>(kSig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  PyCircuit* circuit = receive<Circuit>(self, circuit_class());
  if (circuit == nullptr) {
    return nullptr;
  }
  auto qubit = to_qubit_id(std::get<0>(*converted));
  if (!qubit) {
    return nullptr;
  }
  return apply_to_circuit(self, *circuit,
                          [&](Circuit& c) { return c.reset(*qubit); });
}

PyObject* delay(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit.delay", {"qubit", "duration"}};
  auto converted = convert_args<Any, U64>(kSig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  PyCircuit* circuit = receive<Circuit>(self, circuit_class());
  if (circuit == nullptr) {
    return nullptr;
  }
  auto& [qubit_arg, duration] = *converted;
  auto qubit = to_qubit_id(qubit_arg);
  if (!qubit) {
    return nullptr;
  }
  return apply_to_circuit(self, *circuit, [&](Circuit& c) {
    return c.delay(*qubit, duration);
  });
}

template <auto Operation>
PyObject* whole_circuit_operation(PyObject* self, PyObject*) {
  PyCircuit* circuit = receive<Circuit>(self, circuit_class());
  if (circuit == nullptr) {
    return nullptr;
  }
  return apply_to_circuit(self, *circuit,
                          [](Circuit& c) { return (c.*Operation)(); });
}

PyObject* wrap_built(ir::IrResult<Circuit>&& built) {
  if (!built) {
    return ir_to_py_err(built.error());
  }
  return new_circuit(std::move(*built));
}

PyObject* bell(PyObject*, PyObject*) { return wrap_built(Circuit::bell()); }

template <const Signature& Sig, auto Build>
PyObject* sized_circuit(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames) {
  auto converted = convert_args<U32>(Sig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  return wrap_built(Build(std::get<0>(*converted)));
}

constexpr Signature kGhz{"Circuit.ghz", {"n"}};
constexpr Signature kQft{"Circuit.qft", {"n"}};

std::vector<PyMethodDef> make_method_table() {
  std::vector<PyMethodDef> table = {
      {"depth", noargs<&depth>(), METH_NOARGS,
       "depth($self)\n--\n\nGet the depth of the circuit."},
      {"add_qubit", noargs<&add_bit<QubitBits>>(), METH_NOARGS,
       "add_qubit($self)\n--\n\nAdd a qubit to the circuit.\n\nReturns:\n"
       "    The QubitId of the new qubit."},
      {"add_clbit", noargs<&add_bit<ClbitBits>>(), METH_NOARGS,
       "add_clbit($self)\n--\n\nAdd a classical bit to the circuit.\n\n"
       "Returns:\n    The ClbitId of the new classical bit."},
      {"add_qreg",
       fastcall<&add_register<kAddQreg, QubitBits>>(),
       kFastCall,
       "add_qreg($self, name, size)\n--\n\nAdd a quantum register with "
       "multiple qubits.\n\nArgs:\n    name: The name of the register.\n"
       "    size: The number of qubits in the register.\n\nReturns:\n"
       "    A list of QubitIds for the new qubits."},
      {"add_creg",
       fastcall<&add_register<kAddCreg, ClbitBits>>(),
       kFastCall,
       "add_creg($self, name, size)\n--\n\nAdd a classical register with "
       "multiple bits.\n\nArgs:\n    name: The name of the register.\n"
       "    size: The number of classical bits in the register.\n\n"
       "Returns:\n    A list of ClbitIds for the new classical bits."},
  };
  for (const PyMethodDef& gate : circuit_gate_methods()) {
    table.push_back(gate);
  }
  const PyMethodDef rest[] = {
      {"measure", fastcall<&measure>(), kFastCall,
       "measure($self, qubit, clbit)\n--\n\nMeasure a qubit to a classical "
       "bit.\n\nArgs:\n    qubit: The qubit to measure.\n"
       "    clbit: The classical bit to store the result."},
      {"measure_all",
       noargs<&whole_circuit_operation<&Circuit::measure_all>>(), METH_NOARGS,
       "measure_all($self)\n--\n\nMeasure all qubits to corresponding "
       "classical bits.\n\nIf there are not enough classical bits, they will "
       "be added."},
      {"reset", fastcall<&reset>(), kFastCall,
       "reset($self, qubit)\n--\n\nReset a qubit to |0\u27e9."},
      {"barrier_all",
       noargs<&whole_circuit_operation<&Circuit::barrier_all>>(), METH_NOARGS,
       "barrier_all($self)\n--\n\nApply a barrier to all qubits."},
      {"delay", fastcall<&delay>(), kFastCall,
       "delay($self, qubit, duration)\n--\n\nApply a delay to a qubit."},
      {"bell", noargs<&bell>(), METH_NOARGS | METH_STATIC,
       "bell()\n--\n\nCreate a Bell state circuit.\n\nReturns:\n"
       "    A 2-qubit circuit that creates a Bell state."},
      {"ghz", fastcall<&sized_circuit<kGhz, &Circuit::ghz>>(),
       kFastCall | METH_STATIC,
       "ghz(n)\n--\n\nCreate a GHZ state circuit.\n\nArgs:\n"
       "    n: The number of qubits.\n\nReturns:\n"
       "    An n-qubit circuit that creates a GHZ state."},
      {"qft", fastcall<&sized_circuit<kQft, &Circuit::qft>>(),
       kFastCall | METH_STATIC,
       "qft(n)\n--\n\nCreate a QFT circuit (without measurements).\n\nArgs:\n"
       "    n: The number of qubits.\n\nReturns:\n    An n-qubit QFT circuit."},
  };
  table.insert(table.end(), std::begin(rest), std::end(rest));
  for (const PyMethodDef& method : circuit_data_methods()) {
    table.push_back(method);
  }
  table.push_back({});
  return table;
}

PyGetSetDef getset[] = {
    {"name", entry<&get_name>, nullptr, "Get the name of the circuit.",
     nullptr},
    {"num_qubits", entry<&get_num_qubits>, nullptr,
     "Get the number of qubits in the circuit.", nullptr},
    {"num_clbits", entry<&get_num_clbits>, nullptr,
     "Get the number of classical bits in the circuit.", nullptr},
    {"parameters", entry<&circuit_parameters>, nullptr,
     "The names of the circuit's free parameters, sorted.", nullptr},
    {},
};

constexpr const char* kClassDoc =
    "Circuit(name, num_qubits=0, num_clbits=0)\n--\n\n"
    "A quantum circuit.\n"
    "\n"
    "This class provides a high-level API for building quantum circuits\n"
    "with a fluent interface that supports method chaining.\n"
    "\n"
    "Example:\n"
    "    >>> qc = Circuit(\"bell\", num_qubits=2)\n"
    "    >>> qc.h(0).cx(0, 1).measure_all()\n"
    "    >>> print(qc.depth())\n"
    "    2";

}  // namespace

ClassDef& circuit_class() {
  static std::vector<PyMethodDef> methods = make_method_table();
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(kClassDoc)},
      {Py_tp_new, reinterpret_cast<void*>(entry<&circuit_new>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<Circuit>)},
      {Py_tp_repr, reinterpret_cast<void*>(entry<&circuit_repr>)},
      {Py_tp_str, reinterpret_cast<void*>(entry<&circuit_repr>)},
      {Py_tp_methods, methods.data()},
      {Py_tp_getset, getset},
      {Py_sq_length, reinterpret_cast<void*>(entry<&circuit_length>)},
      {Py_mp_length, reinterpret_cast<void*>(entry<&circuit_length>)},
      {Py_mp_subscript, reinterpret_cast<void*>(entry<&circuit_subscript>)},
      {Py_tp_iter, reinterpret_cast<void*>(entry<&circuit_iter>)},
      {0, nullptr},
  };
  static PyType_Spec spec = class_spec<Circuit>("builtins.Circuit", slots);
  static ClassDef cls(spec);
  return cls;
}

PyObject* new_circuit(Circuit&& circuit) {
  return wrap(circuit_class(), std::move(circuit));
}

PyCircuit* circuit_argument(PyObject* value, const char* name) {
  PyTypeObject* type = circuit_class().type();
  if (type == nullptr) {
    return nullptr;
  }
  if (!PyObject_TypeCheck(value, type)) {
    set_conversion_error(value, "Circuit");
    prefix_type_error(name);
    return nullptr;
  }
  return reinterpret_cast<PyCircuit*>(value);
}

}  // namespace qelto::python
