#include "python/property_set.hpp"

#include <optional>
#include <string>
#include <utility>

#include "python/basis_gates.hpp"
#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"
#include "python/coupling_map.hpp"
#include "python/layout.hpp"

namespace qelto::python {
namespace {

using compile::BasisGates;
using compile::CouplingMap;
using compile::Layout;
using compile::PropertySet;

template <class Body>
PyObject* read_set(PyObject* self, Body&& body) {
  return read_value<PropertySet>(self, property_set_class(), body);
}

template <class Body>
PyObject* change_set(PyObject* self, Body&& body) {
  return change_value<PropertySet>(self, property_set_class(), body);
}

// A class-typed parameter: an instance of the class, copied deeply under a
// shared borrow, so that the property set never shares a value with the
// object it was given.
template <class Stored, ClassDef& (*Class)()>
struct CopyOf {
  using Value = Stored;
  static std::optional<Value> convert(PyObject* argument, const char* name) {
    Instance<Stored>* object = receive<Stored>(argument, Class());
    if (object == nullptr) {
      prefix_type_error(name);
      return std::nullopt;
    }
    SharedBorrow borrow(object->borrow);
    if (!borrow.held()) {
      return std::nullopt;
    }
    return object->value;
  }
};

using LayoutCopy = CopyOf<Layout, &layout_class>;
using CouplingMapCopy = CopyOf<CouplingMap, &coupling_map_class>;
using BasisGatesCopy = CopyOf<BasisGates, &basis_gates_class>;

PyObject* property_set_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  static constexpr Signature kSig{"PropertySet.__new__", {}};
  BoundArgs bound;
  if (!bind(kSig, args, kwargs, bound)) {
    return nullptr;
  }
  return wrap(property_set_class(), PropertySet());
}

template <const Signature& Sig, class Kind, auto Setter>
PyObject* set_field(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames) {
  return change_set(self, [&](PropertySet& set) -> PyObject* {
    auto converted = convert_args<Kind>(Sig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    (set.*Setter)(std::move(std::get<0>(*converted)));
    return new_none();
  });
}

// Hands out a copy, so that changing the returned object cannot reach the
// property set.
template <auto Field, auto Wrap>
PyObject* get_field(PyObject* self, PyObject*) {
  return read_set(self, [](const PropertySet& set) -> PyObject* {
    const auto& field = (set.*Field)();
    if (!field) {
      return new_none();
    }
    auto copy = *field;
    return Wrap(std::move(copy));
  });
}

constexpr Signature kSetLayout{"PropertySet.set_layout", {"layout"}};
constexpr Signature kSetCouplingMap{"PropertySet.set_coupling_map",
                                    {"coupling_map"}};
constexpr Signature kSetBasisGates{"PropertySet.set_basis_gates",
                                   {"basis_gates"}};

PyObject* with_target(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                      PyObject* kwnames) {
  static constexpr Signature kSig{"PropertySet.with_target",
                                  {"coupling_map", "basis_gates"}};
  return change_set(self, [&](PropertySet& set) -> PyObject* {
    auto converted = convert_args<CouplingMapCopy, BasisGatesCopy>(
        kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    auto& [coupling_map, basis_gates] = *converted;
    set.with_target(std::move(coupling_map), std::move(basis_gates));
    return PyRef::borrow(self).release();
  });
}

PyObject* property_set_repr(PyObject* self) {
  return read_set(self, [](const PropertySet& set) {
    auto flag = [](bool present) { return present ? "true" : "false"; };
    const std::string text =
        std::string("PropertySet(layout=") + flag(set.layout().has_value()) +
        ", coupling_map=" + flag(set.coupling_map().has_value()) +
        ", basis_gates=" + flag(set.basis_gates().has_value()) + ")";
    return PyUnicode_FromStringAndSize(text.data(),
                                       static_cast<Py_ssize_t>(text.size()));
  });
}

PyMethodDef methods[] = {
    {"set_layout",
     fastcall<&set_field<kSetLayout, LayoutCopy, &PropertySet::set_layout>>(),
     kFastCall, "set_layout($self, layout)\n--\n\nSet the layout."},
    {"get_layout",
     noargs<&get_field<&PropertySet::layout, &new_layout>>(), METH_NOARGS,
     "get_layout($self)\n--\n\nGet the layout."},
    {"set_coupling_map",
     fastcall<&set_field<kSetCouplingMap, CouplingMapCopy,
                         &PropertySet::set_coupling_map>>(),
     kFastCall,
     "set_coupling_map($self, coupling_map)\n--\n\nSet the coupling map."},
    {"get_coupling_map",
     noargs<&get_field<&PropertySet::coupling_map, &new_coupling_map>>(),
     METH_NOARGS, "get_coupling_map($self)\n--\n\nGet the coupling map."},
    {"set_basis_gates",
     fastcall<&set_field<kSetBasisGates, BasisGatesCopy,
                         &PropertySet::set_basis_gates>>(),
     kFastCall,
     "set_basis_gates($self, basis_gates)\n--\n\nSet the basis gates."},
    {"get_basis_gates",
     noargs<&get_field<&PropertySet::basis_gates, &new_basis_gates>>(),
     METH_NOARGS, "get_basis_gates($self)\n--\n\nGet the basis gates."},
    {"with_target", fastcall<&with_target>(), kFastCall,
     "with_target($self, coupling_map, basis_gates)\n--\n\n"
     "Configure the property set with target hardware.\n\n"
     "Args:\n    coupling_map: The device coupling map.\n"
     "    basis_gates: The native gate set.\n\n"
     "Returns:\n    self for method chaining."},
    {"get_initial_layout",
     noargs<&get_field<&PropertySet::initial_layout, &new_layout>>(),
     METH_NOARGS,
     "get_initial_layout($self)\n--\n\n"
     "Get the layout a compilation started from.\n\n"
     "Returns:\n    Where compile() placed each logical qubit before the\n"
     "    first operation (get_layout() is where each one ends), or None\n"
     "    before a compilation."},
    {},
};

constexpr const char* kClassDoc =
    "PropertySet()\n--\n\n"
    "Properties shared between compilation passes.\n"
    "\n"
    "The PropertySet allows passes to communicate by storing target\n"
    "configuration and intermediate results.";

}  // namespace

ClassDef& property_set_class() {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(kClassDoc)},
      {Py_tp_new, reinterpret_cast<void*>(entry<&property_set_new>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<PropertySet>)},
      {Py_tp_repr, reinterpret_cast<void*>(entry<&property_set_repr>)},
      {Py_tp_methods, methods},
      {0, nullptr},
  };
  static PyType_Spec spec =
      class_spec<PropertySet>("builtins.PropertySet", slots);
  static ClassDef cls(spec);
  return cls;
}

}  // namespace qelto::python
