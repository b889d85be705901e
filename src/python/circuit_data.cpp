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
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/method.hpp"
#include "python/binding/ref.hpp"
#include "python/classes.hpp"
#include "python/error.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using ir::Circuit;

// Sets TypeError `format` with the name of `object`'s type for its %U.
void type_error_naming(const char* format, PyObject* object) {
  PyRef type_name = PyRef::steal(PyObject_GetAttrString(
      reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
  if (type_name) {
    PyErr_Format(PyExc_TypeError, format, type_name.get());
  }
}

// ---- iteration: the iterator keeps its circuit and a cursor

struct CircuitIterator {
  PyRef circuit;
  // The circuit's object, kept alive by `circuit`: checked once, when the
  // iterator is made, rather than on every step.
  Instance<Circuit>* instance;
  ir::OperationCursor cursor;
};

}  // namespace

template <>
inline constexpr std::string_view class_name<CircuitIterator> =
    "CircuitIterator";

namespace {

struct IteratorNotConstructed {
  static constexpr Text kDoc = "Iterator over a circuit's operations.";
  static PyObject* call(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(
        PyExc_TypeError,
        "cannot create 'CircuitIterator' instances: use iter(circuit)");
    return nullptr;
  }
};

std::string iterator_text(const CircuitIterator&) {
  return "<CircuitIterator>";
}

PyObject* iterator_self(PyObject* self) { return PyRef::borrow(self).release(); }

PyObject* iterator_next(PyObject* self) {
  auto* it = receive<CircuitIterator>(self);
  if (it == nullptr) {
    return nullptr;
  }
  Instance<Circuit>* circuit = it->value.instance;
  SharedBorrow borrow(circuit->borrow);
  if (!borrow.held()) {
    return nullptr;
  }
  const auto next = ir::next_operation(circuit->value, it->value.cursor);
  // The end: no error set means StopIteration.
  return next ? wrap(OperationValue::of(*next)) : nullptr;
}

}  // namespace

template <>
ClassDef& class_def<CircuitIterator>() {
  static ClassDef& cls =
      define_class<CircuitIterator, IteratorNotConstructed, &iterator_text>(
          nullptr, nullptr,
          {{Py_tp_iter, reinterpret_cast<void*>(entry<&iterator_self>)},
           {Py_tp_iternext, reinterpret_cast<void*>(entry<&iterator_next>)}});
  return cls;
}

namespace {

// ---- converters

// A mapping from parameter name (str) to value (float), as its items in
// order; anything dict() would not take as a mapping is refused.
struct ParameterValues {
  using Value = std::vector<std::pair<std::string, double>>;
  static std::optional<Value> convert(PyObject* mapping, const char* name) {
    if (!PyMapping_Check(mapping) ||
        PyObject_HasAttrString(mapping, "keys") == 0) {
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
    Value values;
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
      auto text = to_utf8(key, name);
      auto number = text ? to_f64(value, name) : std::nullopt;
      if (!number) {
        return std::nullopt;
      }
      values.emplace_back(std::move(*text), *number);
    }
    return values;
  }
};

// A str, or None (the default) for no value.
struct OptionalStr : OrNone<Str> {
  static constexpr std::string_view kDefault = "None";
};

// Any object, unused (IPython's cycle flag).
struct Ignored {
  using Value = bool;
  static std::optional<Value> convert(PyObject*, const char*) { return true; }
};
// The same, and None when omitted (a deepcopy memo).
struct IgnoredOrNone : Ignored {
  static constexpr std::string_view kDefault = "None";
};

// Any object, borrowed for the call.
struct Object {
  using Value = PyObject*;
  static std::optional<Value> convert(PyObject* v, const char*) { return v; }
};

// A Circuit, snapshot by a deep copy under a shared borrow: what compose
// appends, even when it is the circuit being changed.
struct CircuitSnapshot {
  using Value = Circuit;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    auto shared = Borrowed<Circuit>::convert(v, name);
    if (!shared) {
      return std::nullopt;
    }
    return shared->get().clone();
  }
};

// Bits named by an iterable of ids or ints, in order; None (the default)
// for the same indices.
template <class Id, auto ToId>
struct BitList {
  using Value = std::optional<std::vector<Id>>;
  static constexpr std::string_view kDefault = "None";
  static constexpr bool kAfterValues = true;
  static std::optional<Value> convert(PyObject* iterable, const char* name) {
    if (iterable == nullptr || iterable == Py_None) {
      return Value();
    }
    PyRef iterator = PyRef::steal(PyObject_GetIter(iterable));
    if (!iterator) {
      return argument_failed(name);
    }
    std::vector<Id> ids;
    while (PyRef item = PyRef::steal(PyIter_Next(iterator.get()))) {
      auto id = ToId(item.get());
      if (!id) {
        return argument_failed(name);
      }
      ids.push_back(*id);
    }
    if (PyErr_Occurred() != nullptr) {
      return std::nullopt;
    }
    return Value(std::move(ids));
  }
};

// `fold`: an int; 0 or less turns folding off.
struct Fold {
  using Value = std::int64_t;
  static constexpr std::string_view kDefault = "80";
  static std::optional<Value> convert(PyObject* value, const char* name) {
    if (value == nullptr) {
      return 80;
    }
    PyRef index = PyRef::steal(PyNumber_Index(value));
    if (!index) {
      return argument_failed(name);
    }
    int overflow = 0;
    const long long fold =
        PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (fold == -1 && PyErr_Occurred() != nullptr) {
      return std::nullopt;
    }
    // Beyond any width: a huge fold never folds, a hugely negative one turns
    // folding off; both draw one part.
    return overflow != 0 ? 0 : fold;
  }
};

// bytes only.
struct Bytes {
  using Value = std::string_view;
  static std::optional<Value> convert(PyObject* v, const char*) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (!PyBytes_Check(v)) {
      PyErr_SetString(PyExc_TypeError, "argument 'data': expected bytes");
      return std::nullopt;
    }
    if (PyBytes_AsStringAndSize(v, &data, &size) != 0) {
      return std::nullopt;
    }
    return Value(data, static_cast<std::size_t>(size));
  }
};

// ---- the library calls

PyRef count_ops(const Circuit& c) {
  PyRef dict = PyRef::steal(PyDict_New());
  if (!dict) {
    return dict;
  }
  for (const auto& [name, count] : ir::count_ops(c)) {
    PyRef key = PyRef::steal(to_python(name));
    PyRef value = PyRef::steal(to_python(count));
    if (!key || !value ||
        PyDict_SetItem(dict.get(), key.get(), value.get()) != 0) {
      return PyRef();
    }
  }
  return dict;
}

ir::IrResult<Circuit> assign_parameters(
    const Circuit& c, std::vector<std::pair<std::string, double>> values) {
  return ir::assign_parameters(c, values);
}

Circuit copy_named(const Circuit& c, std::optional<std::string> name) {
  return ir::copy(c, name ? *name : c.name());
}

Circuit copy_same(const Circuit& c) { return c.clone(); }

Circuit deepcopy(const Circuit& c, bool) { return c.clone(); }

ir::IrResult<Circuit> from_bytes(std::string_view data) {
  return ir::from_bytes(data);
}

PyMethodDef from_bytes_method = Method<
    "_circuit_from_bytes", Module, &from_bytes,
    "The Circuit stored by Circuit.__reduce__ (pickle support).",
    Param<"data", Bytes>>::def();

// Pickles as (qelto._circuit_from_bytes, (bytes,)), so loading depends on
// the module's name only.
PyRef reduce(const Circuit& c) {
  PyRef module = PyRef::steal(PyImport_ImportModule("qelto"));
  if (!module) {
    return module;
  }
  PyRef load = PyRef::steal(
      PyObject_GetAttrString(module.get(), from_bytes_method.ml_name));
  if (!load) {
    return load;
  }
  const std::string bytes = ir::to_bytes(c);
  PyRef data = PyRef::steal(PyBytes_FromStringAndSize(
      bytes.data(), static_cast<Py_ssize_t>(bytes.size())));
  if (!data) {
    return data;
  }
  return PyRef::steal(Py_BuildValue("(O(O))", load.get(), data.get()));
}

ir::IrResult<std::reference_wrapper<Circuit>> compose(
    Circuit& target, Circuit other,
    std::optional<std::vector<ir::QubitId>> qubits,
    std::optional<std::vector<ir::ClbitId>> clbits) {
  return ir::compose(
      target, other,
      qubits ? std::optional<std::span<const ir::QubitId>>(*qubits)
             : std::nullopt,
      clbits ? std::optional<std::span<const ir::ClbitId>>(*clbits)
             : std::nullopt);
}

std::string draw(const Circuit& c, std::int64_t fold) {
  return ir::draw(c, fold);
}

PyRef repr_pretty(const Circuit& c, PyObject* printer, bool) {
  PyRef text = PyRef::steal(to_python(ir::draw(c, 80)));
  if (!text) {
    return text;
  }
  return PyRef::steal(PyObject_CallMethod(printer, "text", "O", text.get()));
}

std::vector<std::string> parameters(const Circuit& c) {
  return ir::parameters(c);
}

const PyMethodDef kMethods[] = {
    Method<"count_ops", Reads<Circuit>, &count_ops,
           "Count the operations by name.\n\nReturns:\n"
           "    A dict from operation name to count, in order of first "
           "appearance.">::def(),
    Method<"assign_parameters", Reads<Circuit>, &assign_parameters,
           "Bind free parameters to values.\n\nArgs:\n"
           "    values: A mapping from parameter name to float.\n\n"
           "Returns:\n    A new circuit in which those symbols are replaced by "
           "their values; the\n    others stay symbolic.\n\nRaises:\n"
           "    KeyError: If a name is not a parameter of the circuit.\n"
           "    ValueError: If a value is NaN or infinite.",
           Param<"values", ParameterValues>>::def(),
    Method<"copy", Reads<Circuit>, &copy_named,
           "An independent deep copy of the circuit, named `name` if given.",
           Param<"name", OptionalStr>>::def(),
    Method<"__copy__", Reads<Circuit>, &copy_same,
           "An independent deep copy of the circuit.">::def(),
    Method<"__deepcopy__", Reads<Circuit>, &deepcopy,
           "An independent deep copy of the circuit.",
           Param<"memo", IgnoredOrNone>>::def(),
    Method<"__reduce__", Reads<Circuit>, &reduce,
           "Pickle support: the circuit as bytes.">::def(),
    Method<"compose", Builds<Circuit>, &compose,
           "Append the operations of another circuit.\n\nArgs:\n"
           "    other: The circuit whose operations are appended, in order.\n"
           "    qubits: Where other's qubit i goes: qubits[i] (QubitId or "
           "int).\n"
           "        Default: the same indices.\n"
           "    clbits: Likewise for classical bits.\n\nReturns:\n"
           "    This circuit, changed in place.\n\nRaises:\n"
           "    ValueError: If a mapping has the wrong length, names a bit "
           "this\n"
           "        circuit lacks, or names a bit twice (the circuit is then "
           "unchanged).",
           Param<"other", CircuitSnapshot>,
           Param<"qubits", BitList<ir::QubitId, &to_qubit_id>>,
           Param<"clbits", BitList<ir::ClbitId, &to_clbit_id>>>::def(),
    Method<"inverse", Reads<Circuit>, &ir::inverse,
           "The inverse circuit: the operations in reverse order, each "
           "replaced by\nits exact inverse; barriers stay.\n\nRaises:\n"
           "    ValueError: If the circuit has a measurement, reset, delay or "
           "custom gate.">::def(),
    Method<"draw", Reads<Circuit>, &draw,
           "The circuit as a text diagram.\n\nArgs:\n"
           "    fold: The widest a line may be before the diagram is folded; "
           "0 or\n        less never folds.\n\nReturns:\n"
           "    The diagram as a str.",
           Param<"fold", Fold>>::def(),
    Method<"_repr_pretty_", Reads<Circuit>, &repr_pretty,
           "IPython display: the diagram.", Param<"p", Object>,
           Param<"cycle", Ignored>>::def(),
};

}  // namespace

std::span<const PyMethodDef> circuit_data_methods() { return kMethods; }

PyGetSetDef circuit_parameters_def() {
  return Getter<"parameters", Circuit, &parameters,
                "The names of the circuit's free parameters, sorted.">::def();
}

Py_ssize_t circuit_length(PyObject* self) {
  auto* circuit = receive<Circuit>(self);
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
  auto* circuit = receive<Circuit>(self);
  if (circuit == nullptr) {
    return nullptr;
  }
  SharedBorrow borrow(circuit->borrow);
  if (!borrow.held()) {
    return nullptr;
  }
  const auto length =
      static_cast<Py_ssize_t>(ir::num_operations(circuit->value));
  const Py_ssize_t position = index < 0 ? index + length : index;
  if (position < 0 || position >= length) {
    PyErr_SetString(PyExc_IndexError, "operation index out of range");
    return nullptr;
  }
  return wrap(OperationValue::of(*ir::operation_at(
      circuit->value, static_cast<std::size_t>(position))));
}

PyObject* circuit_iter(PyObject* self) {
  Instance<Circuit>* circuit = receive<Circuit>(self);
  if (circuit == nullptr) {
    return nullptr;
  }
  return wrap(CircuitIterator{PyRef::borrow(self), circuit, {}});
}

PyMethodDef* circuit_from_bytes_def() { return &from_bytes_method; }

}  // namespace qelto::python
