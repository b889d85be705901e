#pragma once

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

#include "python/binding/borrow.hpp"
#include "python/binding/python.hpp"

namespace qelto::python {

// The layout of every object of the module: the interpreter's header, the
// borrow flag, and exactly one library value owned by value.
template <class Value>
struct Instance {
  PyObject_HEAD
  BorrowFlag borrow;
  Value value;
};

// A class of the module: its type spec, and the type object made from it on
// first need and then kept for the life of the process.
class ClassDef {
 public:
  explicit ClassDef(PyType_Spec& spec) : spec_(spec) {}
  // Borrowed reference to the type object, or null with an error set.
  PyTypeObject* type();
  const char* name() const;  // the bare class name, e.g. "Circuit"

 private:
  PyType_Spec& spec_;
  std::atomic<PyObject*> type_{nullptr};
};

// Error text "'{type}' object cannot be converted to '{Class}'".
void set_conversion_error(PyObject* object, const char* class_name);

// The receiver of a method when it is an instance of `cls`; otherwise null
// with TypeError "'{type}' object cannot be converted to '{Class}'".
template <class Value>
Instance<Value>* receive(PyObject* self, ClassDef& cls) {
  PyTypeObject* type = cls.type();
  if (type == nullptr) {
    return nullptr;
  }
  if (!PyObject_TypeCheck(self, type)) {
    set_conversion_error(self, cls.name());
    return nullptr;
  }
  return reinterpret_cast<Instance<Value>*>(self);
}

// Runs `body` on the receiver's value under a shared borrow; null with an
// error set when the receiver is wrong or the value is being changed.
template <class Value, class Body>
PyObject* read_value(PyObject* self, ClassDef& cls, Body&& body) {
  Instance<Value>* instance = receive<Value>(self, cls);
  if (instance == nullptr) {
    return nullptr;
  }
  SharedBorrow borrow(instance->borrow);
  if (!borrow.held()) {
    return nullptr;
  }
  return body(std::as_const(instance->value));
}

// Runs `body` on the receiver's value under an exclusive borrow taken as the
// receiver is bound, so Python code that runs inside a later argument
// conversion and reaches the same object meets the borrow instead of a value
// changing underneath it.
template <class Value, class Body>
PyObject* change_value(PyObject* self, ClassDef& cls, Body&& body) {
  Instance<Value>* instance = receive<Value>(self, cls);
  if (instance == nullptr) {
    return nullptr;
  }
  ExclusiveBorrow borrow(instance->borrow);
  if (!borrow.held()) {
    return nullptr;
  }
  return body(instance->value);
}

// A new object of `cls` holding `value`, or null with an error set. Takes the
// value by value so that any copy happens before the object exists; moving
// it in cannot fail.
template <class Value>
PyObject* wrap(ClassDef& cls, Value value) {
  static_assert(std::is_nothrow_move_constructible_v<Value>);
  PyTypeObject* type = cls.type();
  if (type == nullptr) {
    return nullptr;
  }
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* object = alloc(type, 0);
  if (object == nullptr) {
    return nullptr;
  }
  auto* instance = reinterpret_cast<Instance<Value>*>(object);
  new (&instance->borrow) BorrowFlag();
  new (&instance->value) Value(std::move(value));
  return object;
}

// tp_dealloc of every class: drops the library value, frees the memory and
// the reference that a heap-type instance holds on its type.
template <class Value>
void dealloc(PyObject* object) {
  auto* instance = reinterpret_cast<Instance<Value>*>(object);
  instance->value.~Value();
  instance->borrow.~BorrowFlag();
  PyTypeObject* type = Py_TYPE(object);
  auto free = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free(object);
  Py_DecRef(reinterpret_cast<PyObject*>(type));
}

// Type spec fields shared by every class: "builtins.X", the instance size,
// no base-type flag (not subclassable), no __dict__, no weak references.
template <class Value>
constexpr PyType_Spec class_spec(const char* qualified_name,
                                 PyType_Slot* slots) {
  return PyType_Spec{qualified_name, static_cast<int>(sizeof(Instance<Value>)),
                     0, Py_TPFLAGS_DEFAULT, slots};
}

}  // namespace qelto::python
