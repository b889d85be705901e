// The identifier classes QubitId and ClbitId, declared once for both.

#include "python/qubits.hpp"

#include "python/classes.hpp"

#include <limits>
#include <string>

#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/method.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {
namespace {

// What differs between the two identifier classes.
template <class Id>
struct IdTraits;

template <>
struct IdTraits<ir::QubitId> {
  static constexpr char kPrefix = 'q';
  static constexpr const char* kConversionError = "Expected QubitId or int";
  static constexpr Text kIndexDoc{"Get the integer index of this qubit."};
  static constexpr Text kDoc{
      "Unique identifier for a qubit within a circuit.\n"
      "\n"
      "QubitId is a lightweight wrapper around a u32 index that identifies\n"
      "a specific qubit in a quantum circuit."};
};

template <>
struct IdTraits<ir::ClbitId> {
  static constexpr char kPrefix = 'c';
  static constexpr const char* kConversionError = "Expected ClbitId or int";
  static constexpr Text kIndexDoc{
      "Get the integer index of this classical bit."};
  static constexpr Text kDoc{
      "Unique identifier for a classical bit within a circuit.\n"
      "\n"
      "ClbitId is a lightweight wrapper around a u32 index that identifies\n"
      "a specific classical bit in a quantum circuit."};
};

template <class Id>
std::string repr_text(const Id& id) {
  return std::string(class_name<Id>) + "(" +
         std::to_string(id.index) + ")";
}

template <class Id>
std::string str_text(const Id& id) {
  return IdTraits<Id>::kPrefix + std::to_string(id.index);
}

template <class Id>
std::uint32_t index_of(const Id& id) {
  return id.index;
}

template <class Id>
Id make_id(std::uint32_t index) {
  return Id{index};
}

// The index of an identifier object under a shared borrow, or nothing with
// an error set.
template <class Id>
std::optional<std::uint32_t> read_index(PyObject* self) {
  auto* id = receive<Id>(self);
  if (id == nullptr) {
    return std::nullopt;
  }
  const auto copy = copy_value(*id);
  return copy ? std::optional(copy->index) : std::nullopt;
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
  PyTypeObject* type = class_def<Id>().type();
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
std::optional<Id> refuse() {
  PyErr_SetString(PyExc_TypeError, IdTraits<Id>::kConversionError);
  return std::nullopt;
}

// An exact int as an identifier; out of range is the documented TypeError.
template <class Id>
std::optional<Id> id_from_int(PyObject* integer) {
  const long number = PyLong_AsLong(integer);
  if (number == -1 && PyErr_Occurred() != nullptr) {
    PyErr_Clear();
    return refuse<Id>();
  }
  if (number < 0 || number > std::numeric_limits<std::uint32_t>::max()) {
    return refuse<Id>();
  }
  return Id{static_cast<std::uint32_t>(number)};
}

template <class Id>
std::optional<Id> to_id(PyObject* value) {
  // Most identifiers come as plain ints, which are never instances of the
  // identifier class: the same outcome as the checks below, sooner.
  if (Py_TYPE(value) == &PyLong_Type) {
    return id_from_int<Id>(value);
  }
  PyTypeObject* type = class_def<Id>().type();
  if (type == nullptr) {
    return std::nullopt;
  }
  if (PyObject_TypeCheck(value, type)) {
    auto index = read_index<Id>(value);
    return index ? std::optional<Id>(Id{*index}) : std::nullopt;
  }
  if (PyLong_Check(value)) {
    return id_from_int<Id>(value);
  }
  if (!PyIndex_Check(value)) {
    return refuse<Id>();
  }
  // The object's own __index__ runs here; whatever it raises is the
  // caller's to see, unchanged.
  PyRef index = PyRef::steal(PyNumber_Index(value));
  if (!index) {
    return std::nullopt;
  }
  return id_from_int<Id>(index.get());
}

template <class Id>
using IdNew = Constructor<Id, &make_id<Id>, IdTraits<Id>::kDoc,
                          Param<"index", U32>>;

template <class Id>
ClassDef& id_class() {
  static PyGetSetDef getset[] = {
      Getter<"index", Id, &index_of<Id>, IdTraits<Id>::kIndexDoc>::def(),
      {},
  };
  static ClassDef& cls = define_class<Id, IdNew<Id>, &repr_text<Id>>(
      nullptr, getset,
      {
          {Py_tp_str, reinterpret_cast<void*>(
                          entry<&read_slot<Id, &str_text<Id>>>)},
          {Py_tp_hash, reinterpret_cast<void*>(entry<&id_hash<Id>>)},
          {Py_tp_richcompare,
           reinterpret_cast<void*>(entry<&id_richcompare<Id>>)},
          {Py_nb_int, reinterpret_cast<void*>(
                          entry<&read_slot<Id, &index_of<Id>>>)},
      });
  return cls;
}

}  // namespace

template <>
ClassDef& class_def<ir::QubitId>() {
  return id_class<ir::QubitId>();
}

template <>
ClassDef& class_def<ir::ClbitId>() {
  return id_class<ir::ClbitId>();
}

std::optional<ir::QubitId> to_qubit_id(PyObject* value) {
  return to_id<ir::QubitId>(value);
}

std::optional<ir::ClbitId> to_clbit_id(PyObject* value) {
  return to_id<ir::ClbitId>(value);
}

}  // namespace qelto::python
