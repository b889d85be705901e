#include "python/binding/convert.hpp"

#include <cmath>
#include <limits>

#include "python/binding/object.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {

void prefix_type_error(const char* name) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) {
    return;
  }
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  PyRef owned_type = PyRef::steal(type);
  PyRef owned_value = PyRef::steal(value);
  PyRef owned_traceback = PyRef::steal(traceback);
  PyRef message = PyRef::steal(PyObject_Str(value));
  if (!message) {
    return;
  }
  PyErr_Format(PyExc_TypeError, "argument '%s': %U", name, message.get());
}

std::nullopt_t argument_failed(const char* name) {
  prefix_type_error(name);
  return std::nullopt;
}

std::nullopt_t argument_refused(PyObject* value, const char* expected,
                                const char* name) {
  set_conversion_error(value, expected);
  return argument_failed(name);
}

std::optional<std::uint32_t> to_u32(PyObject* value, const char* name) {
  long number = 0;
  if (PyLong_Check(value)) {
    number = PyLong_AsLong(value);
  } else {
    PyRef index = PyRef::steal(PyNumber_Index(value));
    if (!index) {
      return argument_failed(name);
    }
    number = PyLong_AsLong(index.get());
  }
  if (number == -1 && PyErr_Occurred() != nullptr) {
    return argument_failed(name);
  }
  if (number < 0 || number > std::numeric_limits<std::uint32_t>::max()) {
    PyErr_SetString(PyExc_OverflowError,
                    "out of range integral type conversion attempted");
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(number);
}

std::optional<std::uint64_t> to_u64(PyObject* value, const char* name) {
  PyRef index = PyRef::steal(PyNumber_Index(value));
  if (!index) {
    return argument_failed(name);
  }
  unsigned long long number = PyLong_AsUnsignedLongLong(index.get());
  if (number == static_cast<unsigned long long>(-1) &&
      PyErr_Occurred() != nullptr) {
    return argument_failed(name);
  }
  return number;
}

std::optional<double> to_f64(PyObject* value, const char* name) {
  double number = PyFloat_AsDouble(value);
  if (number == -1.0 && PyErr_Occurred() != nullptr) {
    return argument_failed(name);
  }
  return number;
}

std::optional<double> to_amount(PyObject* value, const char* name) {
  if (PyBool_Check(value)) {
    return argument_refused(value, "float", name);
  }
  const auto number = to_f64(value, name);
  if (!number) {
    return std::nullopt;
  }
  if (!std::isfinite(*number) || *number < 0) {
    PyErr_Format(PyExc_ValueError,
                 "argument '%s': must be a finite number >= 0, not %R", name,
                 value);
    return std::nullopt;
  }
  return number;
}

std::optional<std::string> to_utf8(PyObject* value, const char* name) {
  if (!PyUnicode_Check(value)) {
    return argument_refused(value, "PyString", name);
  }
  PyRef bytes = PyRef::steal(PyUnicode_AsUTF8String(value));
  if (!bytes) {
    return argument_failed(name);
  }
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) != 0) {
    return std::nullopt;
  }
  return std::string(data, static_cast<std::size_t>(size));
}

}  // namespace qelto::python
