#pragma once

#include <utility>

#include "python/binding/python.hpp"

namespace qelto::python {

// Owns one strong reference (or none). Move-only; binding code never calls
// Py_DecRef by hand.
class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference; a null pointer makes an empty handle.
  static PyRef steal(PyObject* object) { return PyRef(object); }
  // Adds a reference to a borrowed pointer.
  static PyRef borrow(PyObject* object) {
    Py_IncRef(object);
    return PyRef(object);
  }

  PyRef(PyRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  PyRef& operator=(PyRef&& other) noexcept {
    PyRef(std::move(other)).swap(*this);
    return *this;
  }
  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  ~PyRef() { Py_DecRef(object_); }

  PyObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference to the caller (for returning to the interpreter).
  PyObject* release() { return std::exchange(object_, nullptr); }
  void swap(PyRef& other) noexcept { std::swap(object_, other.object_); }

 private:
  explicit PyRef(PyObject* object) : object_(object) {}
  PyObject* object_ = nullptr;
};

// A new reference to None.
inline PyObject* new_none() { return PyRef::borrow(Py_None).release(); }

}  // namespace qelto::python
