// The Circuit class: constructor, properties, bits and registers, non-gate
// operations and the ready-made circuits. The gate family lives in
// circuit_gates.cpp.

#include "python/circuit.hpp"

#include "python/classes.hpp"

#include <cassert>
#include <string>
#include <string_view>
#include <vector>

#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/method.hpp"
#include "python/circuit_data.hpp"
#include "python/error.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using ir::Circuit;

std::string circuit_text(const Circuit& c) {
  return "Circuit('" + c.name() + "', num_qubits=" +
         std::to_string(c.num_qubits()) +
         ", num_clbits=" + std::to_string(c.num_clbits()) +
         ", depth=" + std::to_string(c.depth()) + ")";
}

// The identifier objects for the next `size` bits, made before the bits
// exist: identifiers are handed out densely, so they are known in advance,
// and running out of memory here leaves the circuit unchanged. `Id` is the
// bit's identifier type, `first` the count of such bits so far.
template <class Id>
PyRef next_ids(std::uint64_t first, std::uint32_t size) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(size)));
  if (!list) {
    return list;
  }
  for (std::uint32_t i = 0; i < size; ++i) {
    PyObject* item = wrap(Id{static_cast<std::uint32_t>(first + i)});
    if (item == nullptr ||
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item) != 0) {
      return PyRef();
    }
  }
  return list;
}

// A register: its identifier objects first (see next_ids), then the bits.
// `Count` is the circuit's count of such bits, `Add` add_qreg or add_creg.
template <auto Count, auto Add>
PyRef add_register(Circuit& c, std::string_view name, std::uint32_t size) {
  using Id = typename decltype((c.*Add)(name, size))::value_type;
  PyRef ids = next_ids<Id>((c.*Count)(), size);
  if (ids) {
    (c.*Add)(name, size);
  }
  return ids;
}

// A single bit: its identifier object first, then the bit.
template <auto Count, auto Add>
PyRef add_bit(Circuit& c) {
  using Id = decltype((c.*Add)());
  const std::uint64_t count = (c.*Count)();
  PyRef id = PyRef::steal(wrap(Id{static_cast<std::uint32_t>(count)}));
  if (id) {
    [[maybe_unused]] const Id added = (c.*Add)();
    assert(added.index == count);
  }
  return id;
}

using New = Constructor<
    Circuit, &Circuit::with_size,
    "A quantum circuit.\n"
    "\n"
    "This class provides a high-level API for building quantum circuits\n"
    "with a fluent interface that supports method chaining.\n"
    "\n"
    "Example:\n"
    "    >>> qc = Circuit(\"bell\", num_qubits=2)\n"
    "    >>> qc.h(0).cx(0, 1).measure_all()\n"
    "    >>> print(qc.depth())\n"
    "    3",
    Param<"name", Str>, Param<"num_qubits", OrDefault<U32, 0u, "0">>,
    Param<"num_clbits", OrDefault<U32, 0u, "0">>>;

const PyMethodDef leading_methods[] = {
    Method<"depth", Reads<Circuit>, &Circuit::depth,
           "Get the depth of the circuit.">::def(),
    Method<"add_qubit", Changes<Circuit>, &add_bit<&Circuit::num_qubits, &Circuit::add_qubit>,
           "Add a qubit to the circuit.\n\nReturns:\n"
           "    The QubitId of the new qubit.">::def(),
    Method<"add_clbit", Changes<Circuit>, &add_bit<&Circuit::num_clbits, &Circuit::add_clbit>,
           "Add a classical bit to the circuit.\n\n"
           "Returns:\n    The ClbitId of the new classical bit.">::def(),
    Method<"add_qreg", Changes<Circuit>,
           &add_register<&Circuit::num_qubits, &Circuit::add_qreg>,
           "Add a quantum register with multiple qubits.\n\nArgs:\n"
           "    name: The name of the register.\n"
           "    size: The number of qubits in the register.\n\nReturns:\n"
           "    A list of QubitIds for the new qubits.",
           Param<"name", Str>, Param<"size", U32>>::def(),
    Method<"add_creg", Changes<Circuit>,
           &add_register<&Circuit::num_clbits, &Circuit::add_creg>,
           "Add a classical register with multiple bits.\n\nArgs:\n"
           "    name: The name of the register.\n"
           "    size: The number of classical bits in the register.\n\n"
           "Returns:\n    A list of ClbitIds for the new classical bits.",
           Param<"name", Str>, Param<"size", U32>>::def(),
};

const PyMethodDef trailing_methods[] = {
    Method<"measure", Builds<Circuit>, &Circuit::measure,
           "Measure a qubit to a classical bit.\n\nArgs:\n"
           "    qubit: The qubit to measure.\n"
           "    clbit: The classical bit to store the result.",
           Param<"qubit", Qubit>, Param<"clbit", Clbit>>::def(),
    Method<"measure_all", Builds<Circuit>, &Circuit::measure_all,
           "Measure all qubits to corresponding classical bits.\n\n"
           "If there are not enough classical bits, they will be "
           "added.">::def(),
    Method<"reset", Builds<Circuit>, &Circuit::reset,
           "Reset a qubit to |0\u27e9.", Param<"qubit", Qubit>>::def(),
    Method<"barrier_all", Builds<Circuit>, &Circuit::barrier_all,
           "Apply a barrier to all qubits.">::def(),
    Method<"delay", Builds<Circuit>, &Circuit::delay,
           "Apply a delay to a qubit.", Param<"qubit", Qubit>,
           Param<"duration", U64>>::def(),
    Method<"bell", Static<Circuit>, &Circuit::bell,
           "Create a Bell state circuit.\n\nReturns:\n"
           "    A 2-qubit circuit that creates a Bell state.">::def(),
    Method<"ghz", Static<Circuit>, &Circuit::ghz,
           "Create a GHZ state circuit.\n\nArgs:\n"
           "    n: The number of qubits.\n\nReturns:\n"
           "    An n-qubit circuit that creates a GHZ state.",
           Param<"n", U32>>::def(),
    Method<"qft", Static<Circuit>, &Circuit::qft,
           "Create a QFT circuit (without measurements).\n\nArgs:\n"
           "    n: The number of qubits.\n\nReturns:\n"
           "    An n-qubit QFT circuit.",
           Param<"n", U32>>::def(),
};

std::vector<PyMethodDef> method_table() {
  std::vector<PyMethodDef> table(std::begin(leading_methods),
                                 std::end(leading_methods));
  const auto gates = circuit_gate_methods();
  table.insert(table.end(), gates.begin(), gates.end());
  table.insert(table.end(), std::begin(trailing_methods),
               std::end(trailing_methods));
  const auto data = circuit_data_methods();
  table.insert(table.end(), data.begin(), data.end());
  table.push_back({});
  return table;
}

}  // namespace

template <>
ClassDef& class_def<Circuit>() {
  static std::vector<PyMethodDef> methods = method_table();
  static PyGetSetDef getset[] = {
      Getter<"name", Circuit, &Circuit::name,
             "Get the name of the circuit.">::def(),
      Getter<"num_qubits", Circuit, &Circuit::num_qubits,
             "Get the number of qubits in the circuit.">::def(),
      Getter<"num_clbits", Circuit, &Circuit::num_clbits,
             "Get the number of classical bits in the circuit.">::def(),
      circuit_parameters_def(),
      {},
  };
  static ClassDef& cls = define_class<Circuit, New, &circuit_text>(
      methods.data(), getset,
      {{Py_tp_str, reinterpret_cast<void*>(
                       entry<&read_slot<Circuit, &circuit_text>>)},
       {Py_sq_length, reinterpret_cast<void*>(entry<&circuit_length>)},
       {Py_mp_length, reinterpret_cast<void*>(entry<&circuit_length>)},
       {Py_mp_subscript, reinterpret_cast<void*>(entry<&circuit_subscript>)},
       {Py_tp_iter, reinterpret_cast<void*>(entry<&circuit_iter>)}});
  return cls;
}

}  // namespace qelto::python
