#include <string>

#include "python/binding/convert.hpp"
#include "python/binding/method.hpp"
#include "python/classes.hpp"

namespace qelto::python {
namespace {

using compile::BasisGates;
using compile::CouplingMap;
using compile::Layout;
using compile::PropertySet;

PropertySet make() { return PropertySet(); }

std::string set_text(const PropertySet& set) {
  auto flag = [](bool present) { return present ? "true" : "false"; };
  return std::string("PropertySet(layout=") + flag(set.layout().has_value()) +
         ", coupling_map=" + flag(set.coupling_map().has_value()) +
         ", basis_gates=" + flag(set.basis_gates().has_value()) + ")";
}

using New = Constructor<PropertySet, &make,
                        "Properties shared between compilation passes.\n"
                        "\n"
                        "The PropertySet allows passes to communicate by "
                        "storing target\n"
                        "configuration and intermediate results.">;

// Values go in as copies and come out as copies (the getters convert the
// stored optional value back into a new object), so that no object shares a
// value with the property set.
PyMethodDef methods[] = {
    Method<"set_layout", Changes<PropertySet>, &PropertySet::set_layout,
           "Set the layout.", Param<"layout", CopyOf<Layout>>>::def(),
    Method<"get_layout", Reads<PropertySet>, &PropertySet::layout,
           "Get the layout.">::def(),
    Method<"set_coupling_map", Changes<PropertySet>,
           &PropertySet::set_coupling_map, "Set the coupling map.",
           Param<"coupling_map", CopyOf<CouplingMap>>>::def(),
    Method<"get_coupling_map", Reads<PropertySet>, &PropertySet::coupling_map,
           "Get the coupling map.">::def(),
    Method<"set_basis_gates", Changes<PropertySet>,
           &PropertySet::set_basis_gates, "Set the basis gates.",
           Param<"basis_gates", CopyOf<BasisGates>>>::def(),
    Method<"get_basis_gates", Reads<PropertySet>, &PropertySet::basis_gates,
           "Get the basis gates.">::def(),
    Method<"get_initial_layout", Reads<PropertySet>,
           &PropertySet::initial_layout,
           "Get the layout a compilation started from.\n\n"
           "Returns:\n    Where compile() placed each logical qubit before "
           "the\n    first operation (get_layout() is where each one ends), "
           "or None\n    before a compilation.">::def(),
    Method<"with_target", Changes<PropertySet>, &PropertySet::with_target,
           "Configure the property set with target hardware.\n\n"
           "Args:\n    coupling_map: The device coupling map.\n"
           "    basis_gates: The native gate set.\n\n"
           "Returns:\n    self for method chaining.",
           Param<"coupling_map", CopyOf<CouplingMap>>,
           Param<"basis_gates", CopyOf<BasisGates>>>::def(),
    {},
};

}  // namespace

template <>
ClassDef& class_def<PropertySet>() {
  static ClassDef& cls =
      define_class<PropertySet, New, &set_text>(methods);
  return cls;
}

}  // namespace qelto::python
