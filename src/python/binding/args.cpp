#include "python/binding/args.hpp"

#include <algorithm>
#include <string>

namespace qelto::python {
namespace {

std::string quoted_list(const Signature& sig, const BoundArgs& bound) {
  std::size_t missing = 0;
  for (std::size_t i = 0; i < sig.required; ++i) {
    missing += bound[i] == nullptr ? 1 : 0;
  }
  std::string text;
  std::size_t written = 0;
  for (std::size_t i = 0; i < sig.required; ++i) {
    if (bound[i] != nullptr) {
      continue;
    }
    if (written > 0) {
      text += missing == 2 ? " and " : ", ";
      if (missing > 2 && written + 1 == missing) {
        text += "and ";
      }
    }
    text += '\'';
    text += sig.names[i];
    text += '\'';
    ++written;
  }
  return text;
}

bool check_missing(const Signature& sig, const BoundArgs& bound) {
  std::size_t missing = 0;
  for (std::size_t i = 0; i < sig.required; ++i) {
    missing += bound[i] == nullptr ? 1 : 0;
  }
  if (missing == 0) {
    return true;
  }
  PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional %s: %s",
               sig.function, missing, missing == 1 ? "argument" : "arguments",
               quoted_list(sig, bound).c_str());
  return false;
}

bool check_positional_count(const Signature& sig, Py_ssize_t nargs) {
  if (static_cast<std::size_t>(nargs) <= sig.positional) {
    return true;
  }
  const char* was = nargs == 1 ? "was" : "were";
  if (sig.required == sig.positional) {
    PyErr_Format(PyExc_TypeError,
                 "%s() takes %zu positional arguments but %zd %s given",
                 sig.function, sig.positional, nargs, was);
  } else {
    PyErr_Format(PyExc_TypeError,
                 "%s() takes from %zu to %zu positional arguments but %zd %s "
                 "given",
                 sig.function, sig.required, sig.positional, nargs, was);
  }
  return false;
}

// Places one keyword argument; false with the TypeError set when the name is
// unknown or its parameter already has a value.
bool bind_keyword(const Signature& sig, PyObject* name, PyObject* value,
                  BoundArgs& out) {
  for (std::size_t i = 0; i < sig.count; ++i) {
    if (PyUnicode_CompareWithASCIIString(name, sig.names[i]) != 0) {
      continue;
    }
    if (out[i] != nullptr) {
      PyErr_Format(PyExc_TypeError,
                   "%s() got multiple values for argument '%s'", sig.function,
                   sig.names[i]);
      return false;
    }
    out[i] = value;
    return true;
  }
  PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'",
               sig.function, name);
  return false;
}

}  // namespace

bool bind(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
          PyObject* kwnames, BoundArgs& out) {
  // The usual call gives every parameter by position: nothing to match.
  if (kwnames == nullptr && static_cast<std::size_t>(nargs) == sig.count &&
      sig.count <= sig.positional) {
    std::copy_n(args, nargs, out.begin());
    return true;
  }
  out.fill(nullptr);
  if (!check_positional_count(sig, nargs)) {
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) {
    out[static_cast<std::size_t>(i)] = args[i];
  }
  if (kwnames != nullptr) {
    Py_ssize_t nkw = PyTuple_Size(kwnames);
    for (Py_ssize_t i = 0; i < nkw; ++i) {
      if (!bind_keyword(sig, PyTuple_GetItem(kwnames, i), args[nargs + i],
                        out)) {
        return false;
      }
    }
  }
  return check_missing(sig, out);
}

bool bind(const Signature& sig, PyObject* args, PyObject* kwargs,
          BoundArgs& out) {
  out.fill(nullptr);
  Py_ssize_t nargs = args == nullptr ? 0 : PyTuple_Size(args);
  if (!check_positional_count(sig, nargs)) {
    return false;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) {
    out[static_cast<std::size_t>(i)] = PyTuple_GetItem(args, i);
  }
  if (kwargs != nullptr) {
    Py_ssize_t pos = 0;
    PyObject* name = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &pos, &name, &value)) {
      if (!bind_keyword(sig, name, value, out)) {
        return false;
      }
    }
  }
  return check_missing(sig, out);
}

}  // namespace qelto::python
