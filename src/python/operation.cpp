// The Operation class: one operation of a circuit as an immutable value.

#include "python/operation.hpp"

#include <functional>

#include "ir/circuit_ops.hpp"
#include "ir/parameter_eval.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/method.hpp"
#include "python/binding/ref.hpp"
#include "python/classes.hpp"
#include "qasm3/param_text.hpp"

namespace qelto::python {
namespace {

using Param = std::variant<double, std::string>;

PyObject* param_object(const Param& param) {
  if (const double* value = std::get_if<double>(&param)) {
    return PyFloat_FromDouble(*value);
  }
  return to_python(std::string_view(std::get<std::string>(param)));
}

// A tuple of the objects `make(item)` for each of `items`, or empty.
template <class Items, class Make>
PyRef tuple_of(const Items& items, Make&& make) {
  PyRef tuple = PyRef::steal(PyTuple_New(static_cast<Py_ssize_t>(items.size())));
  if (!tuple) {
    return tuple;
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    PyObject* item = make(items[i]);
    if (item == nullptr ||
        PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), item) != 0) {
      return PyRef();
    }
  }
  return tuple;
}

const std::string& name_of(const OperationValue& op) { return op.name; }

PyRef qubits_of(const OperationValue& op) {
  return tuple_of(op.qubits, [](ir::QubitId q) { return wrap(q); });
}

PyRef clbits_of(const OperationValue& op) {
  return tuple_of(op.clbits, [](ir::ClbitId c) { return wrap(c); });
}

PyRef params_of(const OperationValue& op) {
  return tuple_of(op.params, &param_object);
}

std::optional<std::uint64_t> duration_of(const OperationValue& op) {
  return op.duration;
}

PyRef operation_repr(const OperationValue& op) {
  PyRef name = PyRef::steal(to_python(std::string_view(op.name)));
  PyRef qubits = qubits_of(op);
  PyRef clbits = clbits_of(op);
  PyRef params = params_of(op);
  if (!name || !qubits || !clbits || !params) {
    return PyRef();
  }
  if (op.duration) {
    return PyRef::steal(PyUnicode_FromFormat(
        "Operation(name=%R, qubits=%R, clbits=%R, params=%R, duration=%llu)",
        name.get(), qubits.get(), clbits.get(), params.get(),
        static_cast<unsigned long long>(*op.duration)));
  }
  return PyRef::steal(PyUnicode_FromFormat(
      "Operation(name=%R, qubits=%R, clbits=%R, params=%R)", name.get(),
      qubits.get(), clbits.get(), params.get()));
}

PyObject* operation_richcompare(PyObject* self, PyObject* other, int op) {
  auto* a = instance_or_null<OperationValue>(self);
  auto* b = instance_or_null<OperationValue>(other);
  if (PyErr_Occurred() != nullptr) {
    return nullptr;
  }
  if ((op != Py_EQ && op != Py_NE) || a == nullptr || b == nullptr) {
    return PyRef::borrow(Py_NotImplemented).release();
  }
  // Operations never change, so no borrow is needed to compare them.
  const bool equal = a->value == b->value;
  return PyBool_FromLong((op == Py_EQ) == equal ? 1 : 0);
}

void mix(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

Py_hash_t operation_hash(PyObject* self) {
  const auto* instance = receive<OperationValue>(self);
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

// Operations are only read from a circuit: the class has no constructor.
struct NotConstructed {
  static constexpr Text kDoc =
      "One operation of a circuit, as an immutable value.\n"
      "\n"
      "Iterating a Circuit, or indexing it, yields Operations in the order\n"
      "they were added. Operations compare equal when every field is equal.\n"
      "\n"
      "Example:\n"
      "    >>> qc = Circuit(\"c\", 2).h(0).cx(0, 1)\n"
      "    >>> \" \".join(op.name for op in qc)\n"
      "    'h cx'";
  static PyObject* call(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError,
                    "cannot create 'Operation' instances: read them from a "
                    "Circuit");
    return nullptr;
  }
};

// An Operation never changes, so a copy is the object itself.
PyObject* same_object(PyObject* self, PyObject*) {
  return PyRef::borrow(self).release();
}

PyObject* same_object_memo(PyObject* self, PyObject* const*, Py_ssize_t,
                           PyObject*) {
  return PyRef::borrow(self).release();
}

PyMethodDef methods[] = {
    {"__copy__", noargs<&same_object>(), METH_NOARGS,
     "__copy__($self)\n--\n\nThe operation itself (operations are "
     "immutable)."},
    {"__deepcopy__", fastcall<&same_object_memo>(), kFastCall,
     "__deepcopy__($self, memo)\n--\n\nThe operation itself (operations are "
     "immutable)."},
    {},
};

}  // namespace

OperationValue OperationValue::of(ir::OperationRef operation) {
  const std::span<const ir::ParameterExpression> params =
      operation.parameters();
  OperationValue op{std::string(ir::operation_name(operation)),
                    operation.qubits(),
                    operation.clbits(),
                    {},
                    std::nullopt};
  op.params.reserve(params.size());
  for (const ir::ParameterExpression& p : params) {
    if (const auto value = ir::evaluate(p)) {
      op.params.emplace_back(*value);
    } else {
      op.params.emplace_back(qasm3::emit_param(p));
    }
  }
  if (operation.kind() == ir::OperationKind::Delay) {
    op.duration = operation.delay_duration();
  }
  return op;
}

template <>
ClassDef& class_def<OperationValue>() {
  static PyGetSetDef getset[] = {
      Getter<"name", OperationValue, &name_of,
             "The OpenQASM name of the gate, or \"measure\", \"reset\", "
             "\"barrier\", \"delay\".">::def(),
      Getter<"qubits", OperationValue, &qubits_of,
             "The qubits, in operand order (a tuple of QubitId).">::def(),
      Getter<"clbits", OperationValue, &clbits_of,
             "The classical bits (a tuple of ClbitId); a measurement's qubit "
             "k is measured into its bit k.">::def(),
      Getter<"params", OperationValue, &params_of,
             "The gate parameters: a float for a parameter without free "
             "symbols, otherwise its expression as OpenQASM text.">::def(),
      Getter<"duration", OperationValue, &duration_of,
             "A delay's duration; None for other operations.">::def(),
      {},
  };
  static ClassDef& cls =
      define_class<OperationValue, NotConstructed, &operation_repr>(
          methods, getset,
          {{Py_tp_richcompare,
            reinterpret_cast<void*>(entry<&operation_richcompare>)},
           {Py_tp_hash, reinterpret_cast<void*>(entry<&operation_hash>)}});
  return cls;
}

}  // namespace qelto::python
