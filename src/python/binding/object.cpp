#include "python/binding/object.hpp"

#include <cstring>
#include <utility>

#include "python/binding/ref.hpp"

namespace qelto::python {

ClassDef::ClassDef(const char* qualified_name, int basic_size,
                   std::vector<PyType_Slot> slots)
    : slots_(std::move(slots)),
      spec_{qualified_name, basic_size, 0, Py_TPFLAGS_DEFAULT, nullptr} {
  slots_.push_back({0, nullptr});
  spec_.slots = slots_.data();
}

PyTypeObject* ClassDef::make_type() {
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
