#include "python/qubits.hpp"

#include <string>

#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {
namespace {

// What differs between the two identifier classes.
template <class Id>
struct IdTraits;

template <>
struct IdTraits<ir::QubitId> {
  static constexpr const char* kName = "QubitId";
  static constexpr const char* kQualifiedName = "builtins.QubitId";
  static constexpr const char* kNewName = "QubitId.__new__";
  static constexpr char kPrefix = 'q';
  static constexpr const char* kConversionError = "Expected QubitId or int";
  static constexpr const char* kIndexDoc = "Get the integer index of this qubit.";
  static constexpr const char* kDoc =
      "QubitId(index)\n--\n\n"
      "Unique identifier for a qubit within a circuit.\n"
      "\n"
      "QubitId is a lightweight wrapper around a u32 index that identifies\n"
      "a specific qubit in a quantum circuit.";
};

template <>
struct IdTraits<ir::ClbitId> {
  static constexpr const char* kName = "ClbitId";
  static constexpr const char* kQualifiedName = "builtins.ClbitId";
  static constexpr const char* kNewName = "ClbitId.__new__";
  static constexpr char kPrefix = 'c';
  static constexpr const char* kConversionError = "Expected ClbitId or int";
  static constexpr const char* kIndexDoc =
      "Get the integer index of this classical bit.";
  static constexpr const char* kDoc =
      "ClbitId(index)\n--\n\n"
      "Unique identifier for a classical bit within a circuit.\n"
      "\n"
      "ClbitId is a lightweight wrapper around a u32 index that identifies\n"
      "a specific classical bit in a quantum circuit.";
};

template <class Id>
ClassDef& id_class();

template <class Id>
PyObject* make_text(PyObject* self, bool diagnostic) {
  auto* id = receive<Id>(self, id_class<Id>());
  if (id == nullptr) {
    return nullptr;
  }
  SharedBorrow borrow(id->borrow);
  if (!borrow.held()) {
    return nullptr;
  }
  std::string index = std::to_string(id->value.index);
  std::string text = diagnostic ? std::string(IdTraits<Id>::kName) + "(" +
                                      index + ")"
                                : IdTraits<Id>::kPrefix + index;
  return PyUnicode_FromStringAndSize(text.data(),
                                     static_cast<Py_ssize_t>(text.size()));
}

template <class Id>
PyObject* id_repr(PyObject* self) {
  return make_text<Id>(self, true);
}

template <class Id>
PyObject* id_str(PyObject* self) {
  return make_text<Id>(self, false);
}

// The index under a shared borrow, or nothing with an error set.
template <class Id>
std::optional<std::uint32_t> read_index(PyObject* self) {
  auto* id = receive<Id>(self, id_class<Id>());
  if (id == nullptr) {
    return std::nullopt;
  }
  SharedBorrow borrow(id->borrow);
  if (!borrow.held()) {
    return std::nullopt;
  }
  return id->value.index;
}

template <class Id>
PyObject* id_int(PyObject* self) {
  auto index = read_index<Id>(self);
  return index ? PyLong_FromUnsignedLongLong(*index) : nullptr;
}

template <class Id>
PyObject* id_index_getter(PyObject* self, void*) {
  return id_int<Id>(self);
}

template <class Id>
Py_hash_t id_hash(PyObject* self) {
  auto index = read_index<Id>(self);
  return index ? static_cast<Py_hash_t>(*index) : -1;
}

template <class Id>
PyObject* id_richcompare(PyObject* self, PyObject* other, int op) {
  if (op == Py_NE) {
    PyRef equal = PyRef::steal(PyObject_RichCompare(self, other, Py_EQ));
    if (!equal) {
      return nullptr;
    }
    int truth = PyObject_IsTrue(equal.get());
    if (truth < 0) {
      return nullptr;
    }
    return PyBool_FromLong(!truth);
  }
  PyTypeObject* type = id_class<Id>().type();
  if (op != Py_EQ || type == nullptr || !PyObject_TypeCheck(other, type)) {
    return PyRef::borrow(Py_NotImplemented).release();
  }
  auto left = read_index<Id>(self);
  auto right = read_index<Id>(other);
  if (!left || !right) {
    return nullptr;
  }
  return PyBool_FromLong(*left == *right);
}

template <class Id>
PyObject* id_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  static constexpr Signature kSignature{IdTraits<Id>::kNewName, {"index"}};
  auto converted = convert_args<U32>(kSignature, args, kwargs);
  if (!converted) {
    return nullptr;
  }
  return wrap(id_class<Id>(), Id{std::get<0>(*converted)});
}

template <class Id>
std::optional<Id> to_id(PyObject* value) {
  PyTypeObject* type = id_class<Id>().type();
  if (type == nullptr) {
    return std::nullopt;
  }
  if (PyObject_TypeCheck(value, type)) {
    auto index = read_index<Id>(value);
    return index ? std::optional<Id>(Id{*index}) : std::nullopt;
  }
  if (auto index = to_u32(value, "")) {
    return Id{*index};
  }
  PyErr_SetString(PyExc_TypeError, IdTraits<Id>::kConversionError);
  return std::nullopt;
}

template <class Id>
ClassDef& id_class() {
  using Traits = IdTraits<Id>;
  static PyGetSetDef getset[] = {
      {"index", entry<&id_index_getter<Id>>, nullptr, Traits::kIndexDoc,
       nullptr},
      {},
  };
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(Traits::kDoc)},
      {Py_tp_new, reinterpret_cast<void*>(entry<&id_new<Id>>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<Id>)},
      {Py_tp_repr, reinterpret_cast<void*>(entry<&id_repr<Id>>)},
      {Py_tp_str, reinterpret_cast<void*>(entry<&id_str<Id>>)},
      {Py_tp_hash, reinterpret_cast<void*>(entry<&id_hash<Id>>)},
      {Py_tp_richcompare, reinterpret_cast<void*>(entry<&id_richcompare<Id>>)},
      {Py_nb_int, reinterpret_cast<void*>(entry<&id_int<Id>>)},
      {Py_tp_getset, getset},
      {0, nullptr},
  };
  static PyType_Spec spec = class_spec<Id>(Traits::kQualifiedName, slots);
  static ClassDef cls(spec);
  return cls;
}

}  // namespace

ClassDef& qubit_id_class() { return id_class<ir::QubitId>(); }

ClassDef& clbit_id_class() { return id_class<ir::ClbitId>(); }

std::optional<ir::QubitId> to_qubit_id(PyObject* value) {
  return to_id<ir::QubitId>(value);
}

std::optional<ir::ClbitId> to_clbit_id(PyObject* value) {
  return to_id<ir::ClbitId>(value);
}

PyObject* new_qubit_id(ir::QubitId qubit) {
  return wrap(qubit_id_class(), qubit);
}

PyObject* new_clbit_id(ir::ClbitId clbit) {
  return wrap(clbit_id_class(), clbit);
}

}  // namespace qelto::python
