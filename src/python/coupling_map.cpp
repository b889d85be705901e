#include "python/classes.hpp"
#include "python/physical.hpp"

#include <cstdint>
#include <expected>
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

// A device shape that cannot be built (an even heavy-hex distance, a size
// beyond 32-bit qubit indices) is a ValueError.
struct ShapeError {
  std::string message;
};

template <>
struct LibraryError<ShapeError> {
  static PyObject* raise(const ShapeError& error) {
    PyErr_SetString(PyExc_ValueError, error.message.c_str());
    return nullptr;
  }
};

namespace {

using compile::CouplingMap;

std::expected<CouplingMap, ShapeError> grid(std::uint32_t rows,
                                            std::uint32_t cols) {
  auto map = CouplingMap::grid(rows, cols);
  if (!map) {
    return std::unexpected(ShapeError{
        "a grid of " + std::to_string(rows) + " x " + std::to_string(cols) +
        " qubits needs more than 2^32 - 1 qubits"});
  }
  return std::move(*map);
}

std::expected<CouplingMap, ShapeError> heavy_hex(std::uint32_t d) {
  auto map = CouplingMap::heavy_hex(d);
  if (!map) {
    return std::unexpected(ShapeError{
        "heavy_hex needs an odd distance whose lattice fits in 2^32 - 1 "
        "qubits, got " +
        std::to_string(d)});
  }
  return std::move(*map);
}

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
    Method<"ring", Static<CouplingMap>, &CouplingMap::ring,
           "Create a ring (0-1-2-...-(n-1)-0).\n\n"
           "Edges (i, i+1) in order, then the closing (n-1, 0) for n >= 3.",
           Param<"n", U32>>::def(),
    Method<"grid", Static<CouplingMap>, &grid,
           "Create a rows x cols grid; qubit (r, c) is r * cols + c.\n\n"
           "For each qubit in increasing order: its edge to the right, then\n"
           "its edge down, where that neighbour exists.\n\n"
           "Raises:\n    ValueError: If rows * cols does not fit in 32 bits.",
           Param<"rows", U32>, Param<"cols", U32>>::def(),
    Method<"heavy_hex", Static<CouplingMap>, &heavy_hex,
           "Create the heavy-hexagon lattice of distance d (odd).\n\n"
           "(5d^2 - 2d - 1) / 2 qubits of degree at most 3: d rows of 2d-1\n"
           "qubits joined in chains, with (d+1)/2 bridge qubits between\n"
           "neighbouring rows (under columns 1, 5, 9, ... and the last\n"
           "column below even rows; under column 0 and columns 3, 7, 11, ...\n"
           "below odd rows). Numbered row by row, each row followed by the\n"
           "bridges below it, left to right. Edges: each row's chain left to\n"
           "right, then for each bridge below it (above, bridge) and\n"
           "(bridge, below).\n\n"
           "Raises:\n    ValueError: If d is even or the lattice is too "
           "large.",
           Param<"d", U32>>::def(),
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
