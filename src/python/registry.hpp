#pragma once

#include <span>

#include "python/binding/object.hpp"

namespace qelto::python {

// One row of the module's registration table: a class, a module function,
// or another object (an exception class).
struct Registration {
  ClassDef& (*cls)();       // set for a class row
  PyMethodDef* function;    // set for a function row
  PyObject* (*object)() = nullptr;  // set for an object row; null on failure
};

// Every name the module exports, in registration (and `__all__`) order. A
// name starting with an underscore is set on the module but stays out of
// `__all__` (it is private, e.g. a function that pickling finds by name).
std::span<const Registration> registrations();

}  // namespace qelto::python
