#include "python/coupling_map.hpp"

#include <cstdint>
#include <string>
#include <utility>

#include "python/binding/args.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {
namespace {

using compile::CouplingMap;

template <class Body>
PyObject* read_map(PyObject* self, Body&& body) {
  return read_value<CouplingMap>(self, coupling_map_class(), body);
}

template <class Body>
PyObject* change_map(PyObject* self, Body&& body) {
  return change_value<CouplingMap>(self, coupling_map_class(), body);
}

PyObject* coupling_map_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  static constexpr Signature kSig{"CouplingMap.__new__", {"num_qubits"}};
  auto converted = convert_args<U32>(kSig, args, kwargs);
  if (!converted) {
    return nullptr;
  }
  return new_coupling_map(CouplingMap(std::get<0>(*converted)));
}

PyObject* add_edge(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                   PyObject* kwnames) {
  static constexpr Signature kSig{"CouplingMap.add_edge", {"q1", "q2"}};
  return change_map(self, [&](CouplingMap& map) -> PyObject* {
    auto converted = convert_args<U32, U32>(kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    auto [q1, q2] = *converted;
    map.add_edge(q1, q2);
    return PyRef::borrow(Py_None).release();
  });
}

PyObject* is_connected(PyObject* self, PyObject* const* args,
                       Py_ssize_t nargs, PyObject* kwnames) {
  static constexpr Signature kSig{"CouplingMap.is_connected", {"q1", "q2"}};
  return read_map(self, [&](const CouplingMap& map) -> PyObject* {
    auto converted = convert_args<U32, U32>(kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    auto [q1, q2] = *converted;
    return PyBool_FromLong(map.is_connected(q1, q2));
  });
}

PyObject* get_num_qubits(PyObject* self, void*) {
  return read_map(self, [](const CouplingMap& map) {
    return PyLong_FromUnsignedLong(map.num_qubits());
  });
}

PyObject* edge_tuple(compile::Edge edge) {
  PyRef q1 = PyRef::steal(PyLong_FromUnsignedLong(edge.q1));
  PyRef q2 = PyRef::steal(PyLong_FromUnsignedLong(edge.q2));
  if (!q1 || !q2) {
    return nullptr;
  }
  PyRef pair = PyRef::steal(PyTuple_New(2));
  if (!pair || PyTuple_SetItem(pair.get(), 0, q1.release()) != 0 ||
      PyTuple_SetItem(pair.get(), 1, q2.release()) != 0) {
    return nullptr;
  }
  return pair.release();
}

PyObject* edges(PyObject* self, PyObject*) {
  return read_map(self, [](const CouplingMap& map) -> PyObject* {
    const auto all = map.edges();
    PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(all.size())));
    if (!list) {
      return nullptr;
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
      PyObject* pair = edge_tuple(all[i]);
      if (pair == nullptr ||
          PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), pair) != 0) {
        return nullptr;
      }
    }
    return list.release();
  });
}

PyObject* distance(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                   PyObject* kwnames) {
  static constexpr Signature kSig{"CouplingMap.distance", {"from", "to"}};
  return read_map(self, [&](const CouplingMap& map) -> PyObject* {
    auto converted = convert_args<U32, U32>(kSig, args, nargs, kwnames);
    if (!converted) {
      return nullptr;
    }
    auto [from, to] = *converted;
    const auto found = map.distance(from, to);
    if (!found) {
      return PyRef::borrow(Py_None).release();
    }
    return PyLong_FromUnsignedLong(*found);
  });
}

template <const Signature& Sig, auto Build>
PyObject* construction(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
  auto converted = convert_args<U32>(Sig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  return new_coupling_map(Build(std::get<0>(*converted)));
}

constexpr Signature kLinear{"CouplingMap.linear", {"n"}};
constexpr Signature kFull{"CouplingMap.full", {"n"}};
constexpr Signature kStar{"CouplingMap.star", {"n"}};

constexpr Signature kRing{"CouplingMap.ring", {"n"}};

PyObject* grid(PyObject*, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames) {
  static constexpr Signature kSig{"CouplingMap.grid", {"rows", "cols"}};
  auto converted = convert_args<U32, U32>(kSig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  auto [rows, cols] = *converted;
  auto map = CouplingMap::grid(rows, cols);
  if (!map) {
    PyErr_Format(PyExc_ValueError,
                 "a grid of %u x %u qubits needs more than 2^32 - 1 qubits",
                 rows, cols);
    return nullptr;
  }
  return new_coupling_map(std::move(*map));
}

PyObject* heavy_hex(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                    PyObject* kwnames) {
  static constexpr Signature kSig{"CouplingMap.heavy_hex", {"d"}};
  auto converted = convert_args<U32>(kSig, args, nargs, kwnames);
  if (!converted) {
    return nullptr;
  }
  const std::uint32_t d = std::get<0>(*converted);
  auto map = CouplingMap::heavy_hex(d);
  if (!map) {
    PyErr_Format(PyExc_ValueError,
                 "heavy_hex needs an odd distance whose lattice fits in "
                 "2^32 - 1 qubits, got %u",
                 d);
    return nullptr;
  }
  return new_coupling_map(std::move(*map));
}

PyObject* coupling_map_repr(PyObject* self) {
  return read_map(self, [](const CouplingMap& map) {
    const std::string text =
        "CouplingMap(num_qubits=" + std::to_string(map.num_qubits()) +
        ", edges=" + std::to_string(map.edges().size()) + ")";
    return PyUnicode_FromStringAndSize(text.data(),
                                       static_cast<Py_ssize_t>(text.size()));
  });
}

PyMethodDef methods[] = {
    {"add_edge", fastcall<&add_edge>(), kFastCall,
     "add_edge($self, q1, q2)\n--\n\n"
     "Add an edge between two qubits (bidirectional)."},
    {"is_connected", fastcall<&is_connected>(), kFastCall,
     "is_connected($self, q1, q2)\n--\n\n"
     "Check if two qubits are directly connected."},
    {"edges", noargs<&edges>(), METH_NOARGS,
     "edges($self)\n--\n\nGet the coupling edges as a list of tuples."},
    {"distance", fastcall<&distance>(), kFastCall,
     "distance($self, from, to)\n--\n\n"
     "Calculate shortest path distance between two qubits.\n\n"
     "Returns None if the qubits are not connected."},
    {"linear", fastcall<&construction<kLinear, &CouplingMap::linear>>(),
     kFastCall | METH_STATIC,
     "linear(n)\n--\n\nCreate a linear coupling map (0-1-2-3-...)."},
    {"full", fastcall<&construction<kFull, &CouplingMap::full>>(),
     kFastCall | METH_STATIC,
     "full(n)\n--\n\nCreate a fully connected coupling map."},
    {"star", fastcall<&construction<kStar, &CouplingMap::star>>(),
     kFastCall | METH_STATIC,
     "star(n)\n--\n\n"
     "Create a star topology (center qubit connected to all others)."},
    {"ring", fastcall<&construction<kRing, &CouplingMap::ring>>(),
     kFastCall | METH_STATIC,
     "ring(n)\n--\n\n"
     "Create a ring (0-1-2-...-(n-1)-0).\n\n"
     "Edges (i, i+1) in order, then the closing (n-1, 0) for n >= 3."},
    {"grid", fastcall<&grid>(), kFastCall | METH_STATIC,
     "grid(rows, cols)\n--\n\n"
     "Create a rows x cols grid; qubit (r, c) is r * cols + c.\n\n"
     "For each qubit in increasing order: its edge to the right, then its\n"
     "edge down, where that neighbour exists.\n\n"
     "Raises:\n    ValueError: If rows * cols does not fit in 32 bits."},
    {"heavy_hex", fastcall<&heavy_hex>(), kFastCall | METH_STATIC,
     "heavy_hex(d)\n--\n\n"
     "Create the heavy-hexagon lattice of distance d (odd).\n\n"
     "(5d^2 - 2d - 1) / 2 qubits of degree at most 3: d rows of 2d-1\n"
     "qubits joined in chains, with (d+1)/2 bridge qubits between\n"
     "neighbouring rows (under columns 1, 5, 9, ... and the last column\n"
     "below even rows; under column 0 and columns 3, 7, 11, ... below odd\n"
     "rows). Numbered row by row, each row followed by the bridges below\n"
     "it, left to right. Edges: each row's chain left to right, then for\n"
     "each bridge below it (above, bridge) and (bridge, below).\n\n"
     "Raises:\n    ValueError: If d is even or the lattice is too large."},
    {},
};

PyGetSetDef getset[] = {
    {"num_qubits", entry<&get_num_qubits>, nullptr,
     "Get the number of physical qubits.", nullptr},
    {},
};

constexpr const char* kClassDoc =
    "CouplingMap(num_qubits)\n--\n\n"
    "Target device coupling map.\n"
    "\n"
    "The coupling map defines which pairs of physical qubits can\n"
    "interact with two-qubit gates.";

}  // namespace

ClassDef& coupling_map_class() {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(kClassDoc)},
      {Py_tp_new, reinterpret_cast<void*>(entry<&coupling_map_new>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<CouplingMap>)},
      {Py_tp_repr, reinterpret_cast<void*>(entry<&coupling_map_repr>)},
      {Py_tp_methods, methods},
      {Py_tp_getset, getset},
      {0, nullptr},
  };
  static PyType_Spec spec =
      class_spec<CouplingMap>("builtins.CouplingMap", slots);
  static ClassDef cls(spec);
  return cls;
}

PyObject* new_coupling_map(CouplingMap&& map) {
  return wrap(coupling_map_class(), std::move(map));
}

}  // namespace qelto::python
