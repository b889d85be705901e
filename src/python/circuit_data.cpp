// The Circuit as data: length, iteration and indexing in insertion order,
// count_ops, parameters, assign_parameters, copy and pickling, compose,
// inverse, draw.

#include "python/circuit_data.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ir/circuit_ops.hpp"
#include "ir/draw.hpp"
#include "ir/serialize.hpp"
#include "ir/transform.hpp"
#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"
#include "python/circuit.hpp"
#include "python/operation.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using ir::Circuit;

PyObject* text_object(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(),
                                     static_cast<Py_ssize_t>(text.size()));
}

PyObject* wrap_result(ir::IrResult<Circuit>&& result) {
  if (!result) {
    return ir_to_py_err(result.error());
  }
  return new_circuit(std::move(*result));
}

// Sets TypeError `format` with the name of `object`'s type for its %U.
void type_error_naming(const char* format, PyObject* object) {
  PyRef type_name = PyRef::steal(PyObject_GetAttrString(
      reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
  if (type_name) {
    PyErr_Format(PyExc_TypeError, format, type_name.get());
  }
}

// ---- iteration

struct IteratorValue {
  PyRef circuit;
  ir::OperationCursor cursor;
};

ClassDef& iterator_class();

PyObject* iterator_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError,
                  "cannot create 'CircuitIterator' instances: use iter(circuit)");
  return nullptr;
}

PyObject* iterator_self(PyObject* self) { return PyRef::borrow(self).release(); }

PyObject* iterator_next(PyObject* self) {
  auto* it = receive<IteratorValue>(self, iterator_class());
  if (it == nullptr || !it->value.circuit) {
    return nullptr;
  }
  return read_circuit(it->value.circuit.get(), [it](const Circuit& c) {
    const ir::Instruction* next = ir::next_operation(c, it->value.cursor);
    // The end: no error set means StopIteration.
    return next == nullptr ? nullptr : new_operation(*next);
  });
}

ClassDef& iterator_class() {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>("Iterator over a circuit's operations.")},
      {Py_tp_new, reinterpret_cast<void*>(entry<&iterator_new>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<IteratorValue>)},
      {Py_tp_iter, reinterpret_cast<void*>(entry<&iterator_self>)},
      {Py_tp_iternext, reinterpret_cast<void*>(entry<&iterator_next>)},
      {0, nullptr},
  };
  static PyType_Spec spec =
      class_spec<IteratorValue>("builtins.CircuitIterator", slots);
  static ClassDef cls(spec);
  return cls;
}

// ---- methods

PyObject* count_ops(PyObject* self, PyObject*) {
  return read_circuit(self, [](const Circuit& c) -> PyObject* {
    PyRef dict = PyRef::steal(PyDict_New());
    if (!dict) {
      return nullptr;
    }
    for (const auto& [name, count] : ir::count_ops(c)) {
      PyRef key = PyRef::steal(text_object(name));
      PyRef value = PyRef::steal(PyLong_FromUnsignedLongLong(count));
      if (!key || !value ||
          PyDict_SetItem(dict.get(), key.get(), value.get()) != 0) {
        return nullptr;
      }
    }
    return dict.release();
  });
}

// (name, value) pairs of a mapping from str to float, in its order.
std::optional<std::vector<std::pair<std::string, double>>> to_values(
    PyObject* mapping) {
  // A mapping as dict() sees one: something with keys().
  if (!PyMapping_Check(mapping) || PyObject_HasAttrString(mapping, "keys") == 0) {
    type_error_naming(
        "argument 'values': expected a mapping of parameter names to "
        "floats, not '%U'",
        mapping);
    return std::nullopt;
  }
  PyRef items = PyRef::steal(PyMapping_Items(mapping));
  if (!items) {
    return std::nullopt;
  }
  std::vector<std::pair<std::string, double>> values;
  const Py_ssize_t n = PyList_Size(items.get());
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PyList_GetItem(items.get(), i);
    PyObject* key = PyTuple_GetItem(item, 0);
    PyObject* value = PyTuple_GetItem(item, 1);
    if (key == nullptr || value == nullptr) {
      return std::nullopt;
    }
    if (!PyUnicode_Check(key)) {
      PyErr_SetString(PyExc_TypeError,
                      "argument 'values': parameter names must be str");
      return std::nullopt;
    }
    auto name = to_utf8(key, "values");
    auto number = name ? to_f64(value, "values") : std::nullopt;
    if (!number) {
      return std::nullopt;
    }
    values.emplace_back(std::move(*name), *number);
  }
  return values;
}

PyObject* assign_parameters(PyObject* self, PyObject* const* args,
                            Py_ssize_t nargs, PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit.assign_parameters", {"values"}};
  auto converted = convert_args<Any>(kSig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  auto values = to_values(std::get<0>(*converted));
  if (!values) {
    return nullptr;
  }
  return read_circuit(self, [&values](const Circuit& c) {
    return wrap_result(ir::assign_parameters(c, *values));
  });
}

PyObject* copy(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit.copy", {"name"}, 0};
  PyObject* name_arg = nullptr;
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  name_arg = bound[0] == Py_None ? nullptr : bound[0];
  std::optional<std::string> name;
  if (name_arg != nullptr) {
    name = to_utf8(name_arg, "name");
    if (!name) {
      return nullptr;
    }
  }
  return read_circuit(self, [&name](const Circuit& c) {
    return new_circuit(ir::copy(c, name ? *name : c.name()));
  });
}

PyObject* copy_same_name(PyObject* self, PyObject*) {
  return read_circuit(self, [](const Circuit& c) {
    return new_circuit(ir::copy(c, c.name()));
  });
}

PyObject* deepcopy(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                   PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit.__deepcopy__", {"memo"}, 0};
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  return copy_same_name(self, nullptr);
}

PyObject* reduce(PyObject* self, PyObject*) {
  PyRef module = PyRef::steal(PyImport_ImportModule("qelto"));
  if (!module) {
    return nullptr;
  }
  PyRef load = PyRef::steal(
      PyObject_GetAttrString(module.get(), circuit_from_bytes_def()->ml_name));
  if (!load) {
    return nullptr;
  }
  PyRef data = PyRef::steal(read_circuit(self, [](const Circuit& c) {
    const std::string bytes = ir::to_bytes(c);
    return PyBytes_FromStringAndSize(bytes.data(),
                                     static_cast<Py_ssize_t>(bytes.size()));
  }));
  if (!data) {
    return nullptr;
  }
  return Py_BuildValue("(O(O))", load.get(), data.get());
}

PyObject* from_bytes(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames) {
  static constexpr Signature kSig{"_circuit_from_bytes", {"data"}};
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (!PyBytes_Check(bound[0])) {
    PyErr_SetString(PyExc_TypeError, "argument 'data': expected bytes");
    return nullptr;
  }
  if (PyBytes_AsStringAndSize(bound[0], &data, &size) != 0) {
    return nullptr;
  }
  return wrap_result(
      ir::from_bytes(std::string_view(data, static_cast<std::size_t>(size))));
}

// Bits named by an iterable of ids or ints, in order.
template <class Id, auto Convert>
std::optional<std::vector<Id>> to_ids(PyObject* iterable, const char* name) {
  PyRef iterator = PyRef::steal(PyObject_GetIter(iterable));
  if (!iterator) {
    prefix_type_error(name);
    return std::nullopt;
  }
  std::vector<Id> ids;
  while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
    auto id = Convert(item.get());
    if (!id) {
      prefix_type_error(name);
      return std::nullopt;
    }
    ids.push_back(*id);
  }
  if (PyErr_Occurred() != nullptr) {
    return std::nullopt;
  }
  return ids;
}

PyObject* compose(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                  PyObject* kwnames) {
  static constexpr Signature kSig{
      "Circuit.compose", {"other", "qubits", "clbits"}, 1};
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  PyCircuit* other = circuit_argument(bound[0], "other");
  if (other == nullptr) {
    return nullptr;
  }
  std::optional<std::vector<ir::QubitId>> qubits;
  if (bound[1] != nullptr && bound[1] != Py_None) {
    qubits = to_ids<ir::QubitId, &to_qubit_id>(bound[1], "qubits");
    if (!qubits) {
      return nullptr;
    }
  }
  std::optional<std::vector<ir::ClbitId>> clbits;
  if (bound[2] != nullptr && bound[2] != Py_None) {
    clbits = to_ids<ir::ClbitId, &to_clbit_id>(bound[2], "clbits");
    if (!clbits) {
      return nullptr;
    }
  }
  return change_value<Circuit>(self, circuit_class(), [&](Circuit& target) -> PyObject* {
    // Composing a circuit onto itself reads it under this same borrow.
    std::optional<SharedBorrow> other_borrow;
    if (&other->value != &target) {
      other_borrow.emplace(other->borrow);
      if (!other_borrow->held()) {
        return nullptr;
      }
    }
    auto composed = ir::compose(
        target, other->value,
        qubits ? std::optional<std::span<const ir::QubitId>>(*qubits)
               : std::nullopt,
        clbits ? std::optional<std::span<const ir::ClbitId>>(*clbits)
               : std::nullopt);
    if (!composed) {
      return ir_to_py_err(composed.error());
    }
    return PyRef::borrow(self).release();
  });
}

PyObject* inverse(PyObject* self, PyObject*) {
  return read_circuit(
      self, [](const Circuit& c) { return wrap_result(ir::inverse(c)); });
}

// `fold`: an int; 0 or less turns folding off.
std::optional<std::int64_t> to_fold(PyObject* value) {
  PyRef index = PyRef::steal(PyNumber_Index(value));
  if (!index) {
    prefix_type_error("fold");
    return std::nullopt;
  }
  int overflow = 0;
  const long long fold = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
  if (fold == -1 && PyErr_Occurred() != nullptr) {
    return std::nullopt;
  }
  if (overflow != 0) {
    // Beyond any width: a huge fold never folds, a hugely negative one
    // turns folding off; both draw one part.
    return 0;
  }
  return fold;
}

PyObject* draw(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit.draw", {"fold"}, 0};
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  std::int64_t fold = 80;
  if (bound[0] != nullptr) {
    auto converted = to_fold(bound[0]);
    if (!converted) {
      return nullptr;
    }
    fold = *converted;
  }
  return read_circuit(self, [fold](const Circuit& c) {
    return text_object(ir::draw(c, fold));
  });
}

PyObject* repr_pretty(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) {
  static constexpr Signature kSig{"Circuit._repr_pretty_", {"p", "cycle"}};
  BoundArgs bound;
  if (!bind(kSig, args, nargs, kwnames, bound)) {
    return nullptr;
  }
  PyRef text = PyRef::steal(read_circuit(self, [](const Circuit& c) {
    return text_object(ir::draw(c, 80));
  }));
  if (!text) {
    return nullptr;
  }
  return PyObject_CallMethod(bound[0], "text", "O", text.get());
}

const PyMethodDef kMethods[] = {
    {"count_ops", noargs<&count_ops>(), METH_NOARGS,
     "count_ops($self)\n--\n\nCount the operations by name.\n\nReturns:\n"
     "    A dict from operation name to count, in order of first "
     "appearance."},
    {"assign_parameters", fastcall<&assign_parameters>(), kFastCall,
     "assign_parameters($self, values)\n--\n\nBind free parameters to "
     "values.\n\nArgs:\n    values: A mapping from parameter name to float.\n\n"
     "Returns:\n    A new circuit in which those symbols are replaced by their "
     "values; the\n    others stay symbolic.\n\nRaises:\n"
     "    KeyError: If a name is not a parameter of the circuit.\n"
     "    ValueError: If a value is NaN or infinite."},
    {"copy", fastcall<&copy>(), kFastCall,
     "copy($self, name=None)\n--\n\nAn independent deep copy of the circuit, "
     "named `name` if given."},
    {"__copy__", noargs<&copy_same_name>(), METH_NOARGS,
     "__copy__($self)\n--\n\nAn independent deep copy of the circuit."},
    {"__deepcopy__", fastcall<&deepcopy>(), kFastCall,
     "__deepcopy__($self, memo=None)\n--\n\nAn independent deep copy of the "
     "circuit."},
    {"__reduce__", noargs<&reduce>(), METH_NOARGS,
     "__reduce__($self)\n--\n\nPickle support: the circuit as bytes."},
    {"compose", fastcall<&compose>(), kFastCall,
     "compose($self, other, qubits=None, clbits=None)\n--\n\nAppend the "
     "operations of another circuit.\n\nArgs:\n"
     "    other: The circuit whose operations are appended, in order.\n"
     "    qubits: Where other's qubit i goes: qubits[i] (QubitId or int).\n"
     "        Default: the same indices.\n"
     "    clbits: Likewise for classical bits.\n\nReturns:\n"
     "    This circuit, changed in place.\n\nRaises:\n"
     "    ValueError: If a mapping has the wrong length, names a bit this\n"
     "        circuit lacks, or names a bit twice (the circuit is then "
     "unchanged)."},
    {"inverse", noargs<&inverse>(), METH_NOARGS,
     "inverse($self)\n--\n\nThe inverse circuit: the operations in reverse "
     "order, each replaced by\nits exact inverse; barriers stay.\n\nRaises:\n"
     "    ValueError: If the circuit has a measurement, reset, delay or "
     "custom gate."},
    {"draw", fastcall<&draw>(), kFastCall,
     "draw($self, fold=80)\n--\n\nThe circuit as a text diagram.\n\nArgs:\n"
     "    fold: The widest a line may be before the diagram is folded; 0 or\n"
     "        less never folds.\n\nReturns:\n    The diagram as a str."},
    {"_repr_pretty_", fastcall<&repr_pretty>(), kFastCall,
     "_repr_pretty_($self, p, cycle)\n--\n\nIPython display: the diagram."},
};

PyMethodDef from_bytes_method = {
    "_circuit_from_bytes", fastcall<&from_bytes>(), kFastCall,
    "_circuit_from_bytes(data)\n--\n\nThe Circuit stored by Circuit.__reduce__ "
    "(pickle support)."};

}  // namespace

std::span<const PyMethodDef> circuit_data_methods() { return kMethods; }

PyObject* circuit_parameters(PyObject* self, void*) {
  return read_circuit(self, [](const Circuit& c) -> PyObject* {
    const std::vector<std::string> names = ir::parameters(c);
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(names.size())));
    if (!list) {
      return nullptr;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
      PyObject* name = text_object(names[i]);
      if (name == nullptr ||
          PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), name) != 0) {
        return nullptr;
      }
    }
    return list.release();
  });
}

Py_ssize_t circuit_length(PyObject* self) {
  auto* circuit = receive<Circuit>(self, circuit_class());
  if (circuit == nullptr) {
    return -1;
  }
  SharedBorrow borrow(circuit->borrow);
  if (!borrow.held()) {
    return -1;
  }
  return static_cast<Py_ssize_t>(ir::num_operations(circuit->value));
}

PyObject* circuit_subscript(PyObject* self, PyObject* key) {
  if (!PyIndex_Check(key)) {
    type_error_naming("Circuit indices must be integers, not '%U'", key);
    return nullptr;
  }
  const Py_ssize_t index = PyNumber_AsSsize_t(key, PyExc_IndexError);
  if (index == -1 && PyErr_Occurred() != nullptr) {
    return nullptr;
  }
  return read_circuit(self, [index](const Circuit& c) -> PyObject* {
    const auto length = static_cast<Py_ssize_t>(ir::num_operations(c));
    const Py_ssize_t position = index < 0 ? index + length : index;
    if (position < 0 || position >= length) {
      PyErr_SetString(PyExc_IndexError, "operation index out of range");
      return nullptr;
    }
    return new_operation(
        *ir::operation_at(c, static_cast<std::size_t>(position)));
  });
}

PyObject* circuit_iter(PyObject* self) {
  if (receive<Circuit>(self, circuit_class()) == nullptr) {
    return nullptr;
  }
  return wrap(iterator_class(), IteratorValue{PyRef::borrow(self), {}});
}

PyMethodDef* circuit_from_bytes_def() { return &from_bytes_method; }

}  // namespace qelto::python
