#pragma once

#include <atomic>
#include <new>
#include <optional>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

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
// first need and then kept for the life of the process. Every class is
// final (not subclassable), without __dict__ and weak references.
class ClassDef {
 public:
  // `slots` without the sentinel; `qualified_name` ("builtins.Circuit") must
  // outlive the class.
  ClassDef(const char* qualified_name, int basic_size,
           std::vector<PyType_Slot> slots);
  ClassDef(const ClassDef&) = delete;
  ClassDef& operator=(const ClassDef&) = delete;

  // Borrowed reference to the type object, or null with an error set.
  // Inline: every method call asks for it.
  PyTypeObject* type() {
    PyObject* made = type_.load(std::memory_order_acquire);
    return made != nullptr ? reinterpret_cast<PyTypeObject*>(made)
                           : make_type();
  }
  const char* name() const;  // the bare class name, e.g. "Circuit"

 private:
  PyTypeObject* make_type();

  std::vector<PyType_Slot> slots_;
  PyType_Spec spec_;
  std::atomic<PyObject*> type_{nullptr};
};

// The Python name of the module's class that holds a library value of type
// `Value`, empty for a type that no class holds. python/classes.hpp
// specializes it, and declares class_def, for every class.
template <class Value>
inline constexpr std::string_view class_name{};

// The class itself, defined in the class's own file.
template <class Value>
ClassDef& class_def();

template <class Value>
concept BoundClass = !class_name<Value>.empty();

// Error text "'{type}' object cannot be converted to '{Class}'".
void set_conversion_error(PyObject* object, const char* class_name);

// `object` as an instance of the class of `Value`; otherwise null with
// TypeError "'{type}' object cannot be converted to '{Class}'".
template <BoundClass Value>
Instance<Value>* receive(PyObject* object) {
  ClassDef& cls = class_def<Value>();
  PyTypeObject* type = cls.type();
  if (type == nullptr) {
    return nullptr;
  }
  if (!PyObject_TypeCheck(object, type)) {
    set_conversion_error(object, cls.name());
    return nullptr;
  }
  return reinterpret_cast<Instance<Value>*>(object);
}

// `object` as an instance of the class of `Value`, or null when it is not
// one. An error is set only when the class itself could not be made.
template <BoundClass Value>
Instance<Value>* instance_or_null(PyObject* object) {
  PyTypeObject* type = class_def<Value>().type();
  if (type == nullptr || !PyObject_TypeCheck(object, type)) {
    return nullptr;
  }
  return reinterpret_cast<Instance<Value>*>(object);
}

// A copy of the value of an instance, taken under a shared borrow; nothing
// with the borrow error set when the value is being changed.
template <class Value>
std::optional<Value> copy_value(Instance<Value>& instance) {
  SharedBorrow borrow(instance.borrow);
  if (!borrow.held()) {
    return std::nullopt;
  }
  return instance.value;
}

// A new object of the class of `Value` holding `value`, or null with an
// error set. Takes the value by value so that any copy happens before the
// object exists; moving it in cannot fail.
template <BoundClass Value>
PyObject* wrap(Value value) {
  static_assert(std::is_nothrow_move_constructible_v<Value>);
  PyTypeObject* type = class_def<Value>().type();
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

}  // namespace qelto::python
