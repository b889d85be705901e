#include "python/layout.hpp"

#include <string>
#include <utility>

#include "ir/qubit.hpp"
#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using compile::Layout;

template <class Body>
PyObject* read_layout(PyObject* self, Body&& body) {
  return read_value<Layout>(self, layout_class(), body);
}

template <class Body>
PyObject* change_layout(PyObject* self, Body&& body) {
  return change_value<Layout>(self, layout_class(), body);
}

PyObject* layout_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  static constexpr Signature kSig{"Layout.__new__", {}};
  BoundArgs bound;
  if (!bind(kSig, args, kwargs, bound)) {
    return nullptr;
  }
  return new_layout(Layout());
}

PyObject* trivial(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                  PyObject* kwnames) {
  static constexpr Signature kSig{"Layout.trivial", {"num_qubits"}};
  auto converted = convert_args<U32>(kSig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  return new_layout(Layout::trivial(std::get<0>(*converted)));
}

PyObject* add(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
              PyObject* kwnames) {
  static constexpr Signature kSig{"Layout.add", {"logical", "physical"}};
  return change_layout(self, [&](Layout& layout) -> PyObject* {
    auto converted = convert_args<U32, U32>(kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    auto [logical, physical] = *converted;
    layout.add(ir::QubitId{logical}, compile::PhysicalQubit{physical});
    return new_none();
  });
}

PyObject* get_physical(PyObject* self, PyObject* const* args,
                       Py_ssize_t nargs, PyObject* kwnames) {
  static constexpr Signature kSig{"Layout.get_physical", {"logical"}};
  return read_layout(self, [&](const Layout& layout) -> PyObject* {
    auto converted = convert_args<U32>(kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    const auto physical = layout.get_physical(ir::QubitId{std::get<0>(*converted)});
    return physical ? PyLong_FromUnsignedLong(physical->index) : new_none();
  });
}

PyObject* get_logical(PyObject* self, PyObject* const* args,
                      Py_ssize_t nargs, PyObject* kwnames) {
  static constexpr Signature kSig{"Layout.get_logical", {"physical"}};
  return read_layout(self, [&](const Layout& layout) -> PyObject* {
    auto converted = convert_args<U32>(kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    const auto logical = layout.get_logical(compile::PhysicalQubit{std::get<0>(*converted)});
    return logical ? new_qubit_id(*logical) : new_none();
  });
}

PyObject* swap(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames) {
  static constexpr Signature kSig{"Layout.swap", {"p1", "p2"}};
  return change_layout(self, [&](Layout& layout) -> PyObject* {
    auto converted = convert_args<U32, U32>(kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    auto [p1, p2] = *converted;
    layout.swap(compile::PhysicalQubit{p1}, compile::PhysicalQubit{p2});
    return new_none();
  });
}

Py_ssize_t layout_len(PyObject* self) {
  PyLayout* layout = receive<Layout>(self, layout_class());
  if (layout == nullptr) {
    return -1;
  }
  SharedBorrow borrow(layout->borrow);
  if (!borrow.held()) {
    return -1;
  }
  // At most 2^32 entries, which always fits.
  return static_cast<Py_ssize_t>(layout->value.len());
}

PyObject* layout_repr(PyObject* self) {
  return read_layout(self, [](const Layout& layout) {
    std::string text = "Layout({";
    const char* separator = "";
    for (const auto& [logical, physical] : layout) {
      text += separator;
      text += std::to_string(logical.index);
      text += "\u2192";
      text += std::to_string(physical.index);
      separator = ", ";
    }
    text += "})";
    return PyUnicode_FromStringAndSize(text.data(),
                                       static_cast<Py_ssize_t>(text.size()));
  });
}

PyMethodDef methods[] = {
    {"trivial", fastcall<&trivial>(), kFastCall | METH_STATIC,
     "trivial(num_qubits)\n--\n\n"
     "Create a trivial layout (logical qubit i maps to physical qubit i).\n\n"
     "Args:\n    num_qubits: The number of qubits.\n\n"
     "Returns:\n    A Layout with trivial mapping."},
    {"add", fastcall<&add>(), kFastCall,
     "add($self, logical, physical)\n--\n\n"
     "Add a mapping from logical to physical qubit.\n\n"
     "Args:\n    logical: The logical qubit (QubitId or int).\n"
     "    physical: The physical qubit index."},
    {"get_physical", fastcall<&get_physical>(), kFastCall,
     "get_physical($self, logical)\n--\n\n"
     "Get the physical qubit for a logical qubit.\n\n"
     "Args:\n    logical: The logical qubit index.\n\n"
     "Returns:\n    The physical qubit index, or None if not mapped."},
    {"get_logical", fastcall<&get_logical>(), kFastCall,
     "get_logical($self, physical)\n--\n\n"
     "Get the logical qubit for a physical qubit.\n\n"
     "Args:\n    physical: The physical qubit index.\n\n"
     "Returns:\n    The logical QubitId, or None if not mapped."},
    {"swap", fastcall<&swap>(), kFastCall,
     "swap($self, p1, p2)\n--\n\nSwap two physical qubits in the layout."},
    {},
};

constexpr const char* kClassDoc =
    "Layout()\n--\n\n"
    "A mapping from logical qubits to physical qubits.\n"
    "\n"
    "The layout defines how logical qubits in a circuit map to physical\n"
    "qubits on the target hardware.";

}  // namespace

ClassDef& layout_class() {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(kClassDoc)},
      {Py_tp_new, reinterpret_cast<void*>(entry<&layout_new>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<Layout>)},
      {Py_tp_repr, reinterpret_cast<void*>(entry<&layout_repr>)},
      {Py_mp_length, reinterpret_cast<void*>(entry<&layout_len>)},
      {Py_tp_methods, methods},
      {0, nullptr},
  };
  static PyType_Spec spec = class_spec<Layout>("builtins.Layout", slots);
  static ClassDef cls(spec);
  return cls;
}

PyObject* new_layout(Layout&& layout) {
  return wrap(layout_class(), std::move(layout));
}

}  // namespace qelto::python
