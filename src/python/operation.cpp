// The Operation class: one operation of a circuit as an immutable value.

#include "python/operation.hpp"

#include <functional>
#include <type_traits>

#include "ir/circuit_ops.hpp"
#include "ir/parameter_eval.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"
#include "python/qubits.hpp"
#include "qasm3/param_text.hpp"

namespace qelto::python {
namespace {

using Param = std::variant<double, std::string>;

template <class Body>
PyObject* read_operation(PyObject* self, Body&& body) {
  return read_value<OperationValue>(self, operation_class(), body);
}

PyObject* text_object(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(),
                                     static_cast<Py_ssize_t>(text.size()));
}

PyObject* param_object(const Param& param) {
  if (const double* value = std::get_if<double>(&param)) {
    return PyFloat_FromDouble(*value);
  }
  return text_object(std::get<std::string>(param));
}

// A tuple of `count` new objects made by `make(i)`, or null.
template <class Make>
PyObject* tuple_of(std::size_t count, Make&& make) {
  PyRef tuple = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(count)));
  if (!tuple) {
    return nullptr;
  }
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* item = make(i);
    if (item == nullptr ||
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), item) != 0) {
      return nullptr;
    }
  }
  return tuple.release();
}

PyObject* get_name(PyObject* self, void*) {
  return read_operation(
      self, [](const OperationValue& op) { return text_object(op.name); });
}

PyObject* get_qubits(PyObject* self, void*) {
  return read_operation(self, [](const OperationValue& op) {
    return tuple_of(op.qubits.size(),
                    [&op](std::size_t i) { return new_qubit_id(op.qubits[i]); });
  });
}

PyObject* get_clbits(PyObject* self, void*) {
  return read_operation(self, [](const OperationValue& op) {
    return tuple_of(op.clbits.size(),
                    [&op](std::size_t i) { return new_clbit_id(op.clbits[i]); });
  });
}

PyObject* get_params(PyObject* self, void*) {
  return read_operation(self, [](const OperationValue& op) {
    return tuple_of(op.params.size(),
                    [&op](std::size_t i) { return param_object(op.params[i]); });
  });
}

PyObject* get_duration(PyObject* self, void*) {
  return read_operation(self, [](const OperationValue& op) {
    return op.duration ? PyLong_FromUnsignedLongLong(*op.duration) : new_none();
  });
}

PyObject* operation_repr(PyObject* self) {
  return read_operation(self, [self](const OperationValue& op) -> PyObject* {
    PyRef name = PyRef::steal(get_name(self, nullptr));
    PyRef qubits = PyRef::steal(get_qubits(self, nullptr));
    PyRef clbits = PyRef::steal(get_clbits(self, nullptr));
    PyRef params = PyRef::steal(get_params(self, nullptr));
    if (!name || !qubits || !clbits || !params) {
      return nullptr;
    }
    if (op.duration) {
      return PyUnicode_FromFormat(
          "Operation(name=%R, qubits=%R, clbits=%R, params=%R, duration=%llu)",
          name.get(), qubits.get(), clbits.get(), params.get(),
          static_cast<unsigned long long>(*op.duration));
    }
    return PyUnicode_FromFormat(
        "Operation(name=%R, qubits=%R, clbits=%R, params=%R)", name.get(),
        qubits.get(), clbits.get(), params.get());
  });
}

PyObject* operation_richcompare(PyObject* self, PyObject* other, int op) {
  PyTypeObject* type = operation_class().type();
  if (type == nullptr) {
    return nullptr;
  }
  if ((op != Py_EQ && op != Py_NE) || !PyObject_TypeCheck(other, type)) {
    return PyRef::borrow(Py_NotImplemented).release();
  }
  const auto& a = reinterpret_cast<Instance<OperationValue>*>(self)->value;
  const auto& b = reinterpret_cast<Instance<OperationValue>*>(other)->value;
  const bool equal = a == b;
  return PyBool_FromLong((op == Py_EQ) == equal ? 1 : 0);
}

void mix(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

Py_hash_t operation_hash(PyObject* self) {
  const auto* instance = receive<OperationValue>(self, operation_class());
  if (instance == nullptr) {
    return -1;
  }
  const OperationValue& op = instance->value;
  std::size_t seed = std::hash<std::string>{}(op.name);
  for (const ir::QubitId q : op.qubits) {
    mix(seed, q.index);
  }
  mix(seed, 0xC1);
  for (const ir::ClbitId c : op.clbits) {
    mix(seed, c.index);
  }
  for (const Param& p : op.params) {
    if (const double* value = std::get_if<double>(&p)) {
      // Equal values hash equally: 0.0 == -0.0.
      mix(seed, std::hash<double>{}(*value == 0.0 ? 0.0 : *value));
    } else {
      mix(seed, std::hash<std::string>{}(std::get<std::string>(p)));
    }
  }
  mix(seed, op.duration.value_or(~std::uint64_t{0}));
  const auto hash = static_cast<Py_hash_t>(seed);
  return hash == -1 ? -2 : hash;
}

PyObject* operation_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError,
                  "cannot create 'Operation' instances: read them from a "
                  "Circuit");
  return nullptr;
}

// An Operation never changes, so a copy is the object itself.
PyObject* same_object(PyObject* self, PyObject*) {
  return PyRef::borrow(self).release();
}

PyObject* deepcopy_same_object(PyObject* self, PyObject* const*, Py_ssize_t,
                               PyObject*) {
  return PyRef::borrow(self).release();
}

PyMethodDef methods[] = {
    {"__copy__", noargs<&same_object>(), METH_NOARGS,
     "__copy__($self)\n--\n\nThe operation itself (operations are "
     "immutable)."},
    {"__deepcopy__", fastcall<&deepcopy_same_object>(), kFastCall,
     "__deepcopy__($self, memo)\n--\n\nThe operation itself (operations are "
     "immutable)."},
    {},
};

PyGetSetDef getset[] = {
    {"name", entry<&get_name>, nullptr,
     "The OpenQASM name of the gate, or \"measure\", \"reset\", \"barrier\", "
     "\"delay\".",
     nullptr},
    {"qubits", entry<&get_qubits>, nullptr,
     "The qubits, in operand order (a tuple of QubitId).", nullptr},
    {"clbits", entry<&get_clbits>, nullptr,
     "The classical bits (a tuple of ClbitId); a measurement's qubit k is "
     "measured into its bit k.",
     nullptr},
    {"params", entry<&get_params>, nullptr,
     "The gate parameters: a float for a parameter without free symbols, "
     "otherwise its expression as OpenQASM text.",
     nullptr},
    {"duration", entry<&get_duration>, nullptr,
     "A delay's duration; None for other operations.", nullptr},
    {},
};

constexpr const char* kClassDoc =
    "One operation of a circuit, as an immutable value.\n"
    "\n"
    "Iterating a Circuit, or indexing it, yields Operations in the order\n"
    "they were added. Operations compare equal when every field is equal.\n"
    "\n"
    "Example:\n"
    "    >>> qc = Circuit(\"c\", 2).h(0).cx(0, 1)\n"
    "    >>> [op.name for op in qc]\n"
    "    ['h', 'cx']";

}  // namespace

OperationValue OperationValue::of(const ir::Instruction& instruction) {
  OperationValue op{std::string(ir::operation_name(instruction)),
                    instruction.qubits,
                    instruction.clbits,
                    {},
                    std::nullopt};
  if (const ir::Gate* gate = instruction.gate()) {
    op.params.reserve(gate->parameters().size());
    for (const ir::ParameterExpression& p : gate->parameters()) {
      if (const auto value = ir::evaluate(p)) {
        op.params.emplace_back(*value);
      } else {
        op.params.emplace_back(qasm3::emit_param(p));
      }
    }
  } else if (const auto* delay = std::get_if<ir::Delay>(&instruction.kind)) {
    op.duration = delay->duration;
  }
  return op;
}

ClassDef& operation_class() {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(kClassDoc)},
      {Py_tp_new, reinterpret_cast<void*>(entry<&operation_new>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<OperationValue>)},
      {Py_tp_repr, reinterpret_cast<void*>(entry<&operation_repr>)},
      {Py_tp_richcompare, reinterpret_cast<void*>(entry<&operation_richcompare>)},
      {Py_tp_hash, reinterpret_cast<void*>(entry<&operation_hash>)},
      {Py_tp_methods, methods},
      {Py_tp_getset, getset},
      {0, nullptr},
  };
  static PyType_Spec spec =
      class_spec<OperationValue>("builtins.Operation", slots);
  static ClassDef cls(spec);
  return cls;
}

PyObject* new_operation(const ir::Instruction& instruction) {
  return wrap(operation_class(), OperationValue::of(instruction));
}

}  // namespace qelto::python
