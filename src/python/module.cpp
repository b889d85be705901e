// The extension module `qelto`: its definition and initialisation.

#include <atomic>
#include <cstdint>

#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"
#include "python/registry.hpp"

namespace qelto::python {
namespace {

constexpr const char* kModuleDoc =
    "Qelto: A native quantum compilation platform.\n"
    "\n"
    "This module provides:\n"
    "- Circuit: Quantum circuit builder with fluent API\n"
    "- QubitId, ClbitId: Qubit and classical bit identifiers\n"
    "- from_qasm, to_qasm: QASM3 parsing and emission\n"
    "- Layout, CouplingMap, BasisGates, PropertySet: Compilation types";

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "qelto",
    kModuleDoc,
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// The interpreter that first initialised the module (-1: none yet). The
// module keeps process-wide state (its type objects), so a second
// interpreter must not share it.
std::atomic<std::int64_t> owning_interpreter{-1};
// The module object, once initialised.
PyObject* cached_module = nullptr;

bool append_to_all(PyObject* module, PyObject* name) {
  PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
      return false;
    }
    PyErr_Clear();
    all = PyRef::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) != 0) {
      return false;
    }
  }
  return PyList_Append(all.get(), name) == 0;
}

// The object to export for one row and its Python name; empty on failure.
PyRef make_export(PyObject* module, const Registration& row, PyRef& name) {
  PyRef object;
  if (row.object != nullptr) {
    if (PyObject* found = row.object()) {
      object = PyRef::borrow(found);
    }
  } else if (row.cls != nullptr) {
    PyTypeObject* type = row.cls().type();
    if (type != nullptr) {
      object = PyRef::borrow(reinterpret_cast<PyObject*>(type));
    }
  } else {
    PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
    if (module_name) {
      object = PyRef::steal(
          PyCMethod_New(row.function, module, module_name.get(), nullptr));
    }
  }
  if (!object) {
    return object;
  }
  name = PyRef::steal(PyObject_GetAttrString(object.get(), "__name__"));
  return name ? std::move(object) : PyRef();
}

bool register_all(PyObject* module) {
  for (const Registration& row : registrations()) {
    PyRef name;
    PyRef object = make_export(module, row, name);
    if (!object) {
      return false;
    }
    const bool is_private =
        PyUnicode_GetLength(name.get()) > 0 && PyUnicode_ReadChar(name.get(), 0) == '_';
    if ((!is_private && !append_to_all(module, name.get())) ||
        PyObject_SetAttr(module, name.get(), object.get()) != 0) {
      return false;
    }
  }
  return true;
}

PyObject* init_module() {
  PyInterpreterState* interpreter = PyInterpreterState_Get();
  if (interpreter == nullptr) {
    return nullptr;
  }
  std::int64_t id = PyInterpreterState_GetID(interpreter);
  if (id == -1 && PyErr_Occurred() != nullptr) {
    return nullptr;
  }
  std::int64_t expected = -1;
  if (!owning_interpreter.compare_exchange_strong(expected, id) &&
      expected != id) {
    PyErr_SetString(PyExc_ImportError,
                    "qelto does not support sub-interpreters: it can only be "
                    "imported once per process");
    return nullptr;
  }
  if (cached_module != nullptr) {
    return PyRef::borrow(cached_module).release();
  }
  PyRef module = PyRef::steal(PyModule_Create(&module_def));
  if (!module || !register_all(module.get()) ||
      PyModule_AddStringConstant(module.get(), "__version__",
                                 QELTO_VERSION) != 0) {
    return nullptr;
  }
  cached_module = PyRef::borrow(module.get()).release();
  return module.release();
}

}  // namespace
}  // namespace qelto::python

extern "C" __attribute__((visibility("default"))) PyObject* PyInit_qelto() {
  return qelto::python::entry<&qelto::python::init_module>();
}
