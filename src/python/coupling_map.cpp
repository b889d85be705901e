#include "python/classes.hpp"
#include "python/physical.hpp"

#include <string>

#include "python/binding/entry.hpp"
#include "python/binding/method.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {

// An edge goes back as the tuple (q1, q2).
template <>
struct ToPython<compile::Edge> {
  static PyObject* convert(compile::Edge edge) {
    PyRef q1 = PyRef::steal(to_python(edge.q1));
    PyRef q2 = PyRef::steal(to_python(edge.q2));
    if (!q1 || !q2) {
      return nullptr;
    }
    return PyTuple_Pack(2, q1.get(), q2.get());
  }
};

namespace {

using compile::CouplingMap;

CouplingMap make(std::uint32_t num_qubits) { return CouplingMap(num_qubits); }

std::string map_text(const CouplingMap& map) {
  return "CouplingMap(num_qubits=" + std::to_string(map.num_qubits()) +
         ", edges=" + std::to_string(map.edges().size()) + ")";
}

using New = Constructor<CouplingMap, &make,
                        "Target device coupling map.\n"
                        "\n"
                        "The coupling map defines which pairs of physical "
                        "qubits can\n"
                        "interact with two-qubit gates.",
                        Param<"num_qubits", U32>>;

PyMethodDef methods[] = {
    Method<"add_edge", Changes<CouplingMap>, &CouplingMap::add_edge,
           "Add an edge between two qubits (bidirectional).",
           Param<"q1", Physical>, Param<"q2", Physical>>::def(),
    Method<"is_connected", Reads<CouplingMap>, &CouplingMap::is_connected,
           "Check if two qubits are directly connected.",
           Param<"q1", Physical>, Param<"q2", Physical>>::def(),
    Method<"edges", Reads<CouplingMap>, &CouplingMap::edges,
           "Get the coupling edges as a list of tuples.">::def(),
    Method<"distance", Reads<CouplingMap>, &CouplingMap::distance,
           "Calculate shortest path distance between two qubits.\n\n"
           "Returns None if the qubits are not connected.",
           Param<"from", Physical>, Param<"to", Physical>>::def(),
    Method<"linear", Static<CouplingMap>, &CouplingMap::linear,
           "Create a linear coupling map (0-1-2-3-...).",
           Param<"n", U32>>::def(),
    Method<"full", Static<CouplingMap>, &CouplingMap::full,
           "Create a fully connected coupling map.", Param<"n", U32>>::def(),
    Method<"star", Static<CouplingMap>, &CouplingMap::star,
           "Create a star topology (center qubit connected to all others).",
           Param<"n", U32>>::def(),
    {},
};

PyGetSetDef getset[] = {
    Getter<"num_qubits", CouplingMap, &CouplingMap::num_qubits,
           "Get the number of physical qubits.">::def(),
    {},
};

}  // namespace

template <>
ClassDef& class_def<CouplingMap>() {
  static ClassDef& cls =
      define_class<CouplingMap, New, &map_text>(methods, getset);
  return cls;
}

}  // namespace qelto::python
