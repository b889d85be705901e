#include "python/classes.hpp"

#include <optional>
#include <string>

#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/method.hpp"
#include "python/physical.hpp"
#include "python/qubits.hpp"

namespace qelto::python {
namespace {

using compile::Layout;

// A logical qubit given as an index (int or __index__).
using LogicalIndex = As<U32, ir::QubitId>;

// A logical qubit given as a QubitId object or an index; anything else is
// refused as an index would be.
struct LogicalQubit {
  using Value = ir::QubitId;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    if (auto* id = instance_or_null<ir::QubitId>(v)) {
      return copy_value(*id);
    }
    if (PyErr_Occurred() != nullptr) {
      return std::nullopt;
    }
    return LogicalIndex::convert(v, name);
  }
};

Layout make() { return Layout(); }

std::string layout_text(const Layout& layout) {
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
  return text;
}

// At most 2^32 entries, which always fits.
Py_ssize_t layout_len(PyObject* self) {
  auto* layout = receive<Layout>(self);
  if (layout == nullptr) {
    return -1;
  }
  SharedBorrow borrow(layout->borrow);
  return borrow.held() ? static_cast<Py_ssize_t>(layout->value.len()) : -1;
}

using New = Constructor<Layout, &make,
                        "A mapping from logical qubits to physical qubits.\n"
                        "\n"
                        "The layout defines how logical qubits in a circuit "
                        "map to physical\n"
                        "qubits on the target hardware.">;

PyMethodDef methods[] = {
    Method<"trivial", Static<Layout>, &Layout::trivial,
           "Create a trivial layout (logical qubit i maps to physical qubit "
           "i).\n\n"
           "Args:\n    num_qubits: The number of qubits.\n\n"
           "Returns:\n    A Layout with trivial mapping.",
           Param<"num_qubits", U32>>::def(),
    Method<"add", Changes<Layout>, &Layout::add,
           "Add a mapping from logical to physical qubit.\n\n"
           "Args:\n    logical: The logical qubit (QubitId or int).\n"
           "    physical: The physical qubit index.",
           Param<"logical", LogicalQubit>, Param<"physical", Physical>>::def(),
    Method<"get_physical", Reads<Layout>, &Layout::get_physical,
           "Get the physical qubit for a logical qubit.\n\n"
           "Args:\n    logical: The logical qubit index.\n\n"
           "Returns:\n    The physical qubit index, or None if not mapped.",
           Param<"logical", LogicalIndex>>::def(),
    Method<"get_logical", Reads<Layout>, &Layout::get_logical,
           "Get the logical qubit for a physical qubit.\n\n"
           "Args:\n    physical: The physical qubit index.\n\n"
           "Returns:\n    The logical QubitId, or None if not mapped.",
           Param<"physical", Physical>>::def(),
    Method<"swap", Changes<Layout>, &Layout::swap,
           "Swap two physical qubits in the layout.", Param<"p1", Physical>,
           Param<"p2", Physical>>::def(),
    {},
};

}  // namespace

template <>
ClassDef& class_def<Layout>() {
  static ClassDef& cls = define_class<Layout, New, &layout_text>(
      methods, nullptr,
      {{Py_mp_length, reinterpret_cast<void*>(entry<&layout_len>)}});
  return cls;
}

}  // namespace qelto::python
