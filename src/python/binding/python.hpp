#pragma once

// Every file of the module includes the interpreter's headers through here so
// that the limited API is always in force.
#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x03090000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

// The limited API headers for 3.9 hide the fast calling convention, but every
// interpreter from 3.9 on accepts it: the flag value and the function shape
// have been stable since then. It avoids building an argument tuple and a
// keyword dict per call.
#ifndef METH_FASTCALL
#define METH_FASTCALL 0x0080
#endif

namespace qelto::python {

using FastCallFunction = PyObject* (*)(PyObject* self, PyObject* const* args,
                                       Py_ssize_t nargs, PyObject* kwnames);

}  // namespace qelto::python
