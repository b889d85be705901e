#include "python/binding/object.hpp"

#include <cstring>
#include <string>

#include "python/binding/ref.hpp"

namespace qelto::python {

PyTypeObject* ClassDef::type() {
  PyObject* type = type_.load(std::memory_order_acquire);
  if (type != nullptr) {
    return reinterpret_cast<PyTypeObject*>(type);
  }
  PyObject* created = PyType_FromSpec(&spec_);
  if (created == nullptr) {
    return nullptr;
  }
  PyObject* expected = nullptr;
  if (!type_.compare_exchange_strong(expected, created)) {
    // Another thread stored its type first; use that one.
    Py_DecRef(created);
    return reinterpret_cast<PyTypeObject*>(expected);
  }
  return reinterpret_cast<PyTypeObject*>(created);
}

const char* ClassDef::name() const {
  const char* dot = std::strrchr(spec_.name, '.');
  return dot == nullptr ? spec_.name : dot + 1;
}

void set_conversion_error(PyObject* object, const char* class_name) {
  PyRef type_name = PyRef::steal(PyObject_GetAttrString(
      reinterpret_cast<PyObject*>(Py_TYPE(object)), "__name__"));
  if (!type_name) {
    return;
  }
  PyErr_Format(PyExc_TypeError, "'%U' object cannot be converted to '%s'",
               type_name.get(), class_name);
}

}  // namespace qelto::python
