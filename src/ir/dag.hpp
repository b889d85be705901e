#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "ir/error.hpp"
#include "ir/graph.hpp"
#include "ir/instruction.hpp"
#include "ir/qubit.hpp"
#include "ir/wire_map.hpp"

namespace qelto::ir {

// Edge payload: the wire an edge belongs to.
struct QubitWire {
  QubitId qubit;
  friend bool operator==(QubitWire, QubitWire) = default;
};
struct ClbitWire {
  ClbitId clbit;
  friend bool operator==(ClbitWire, ClbitWire) = default;
};
using Wire = std::variant<QubitWire, ClbitWire>;

// Node payload: the start of a wire, the end of a wire, or one operation
// (owned by the node).
struct WireIn {
  Wire wire;
};
struct WireOut {
  Wire wire;
};
struct Op {
  Instruction instruction;
};
using DagNode = std::variant<WireIn, WireOut, Op>;

using DagGraph = Graph<DagNode, Wire>;

// One entry of topological_ops: an Op node and its instruction (never
// null; valid until the DAG is next changed).
struct OpRef {
  NodeIndex node;
  const Instruction* instruction;
};

// The operations of a circuit as a DAG over qubit and classical-bit wires
// Every wire runs WireIn -> ops in application order ->
// WireOut; an Op node has one incoming and one outgoing edge per operand.
// All structural validation of the IR happens in `apply`.
//
// Move-only; a moved-from DAG is empty.
//
// Exceptions: bad input never throws (it is an IrError). Running out of
// memory throws std::bad_alloc, always before anything changes: every
// mutating operation reserves all capacity it needs (nodes, edges, maps)
// first, so the DAG is left exactly as it was.
class CircuitDag {
 public:
  CircuitDag() = default;
  CircuitDag(CircuitDag&& other) noexcept;
  CircuitDag& operator=(CircuitDag&& other) noexcept;
  CircuitDag(const CircuitDag&) = delete;
  CircuitDag& operator=(const CircuitDag&) = delete;

  // Registers a qubit wire: if `qubit` is already registered nothing
  // happens; otherwise adds node WireIn, node WireOut (the next index), an
  // edge between them, and records both.
  void add_qubit(QubitId qubit);
  // The same for a classical bit.
  void add_clbit(ClbitId clbit);

  // Ensures capacity for `qubits` more qubit wires and `clbits` more
  // classical-bit wires, so that as many add_qubit / add_clbit calls of new
  // ids cannot throw. May throw std::bad_alloc (nothing visible changes).
  void reserve_wires(std::size_t qubits, std::size_t clbits);

  // Ensures capacity for `ops` more operations with `operands` qubit and
  // classical-bit operands among them, so that the graph's arrays are not
  // moved while they are applied. Only a hint: fewer or more may follow.
  // May throw std::bad_alloc (nothing visible changes).
  void reserve_operations(std::size_t ops, std::size_t operands);

  // Validates `instruction` and splices it in after the last operation of
  // each of its wires; returns the new node's index. Checks, in order (the
  // first failing one decides):
  //   1. Gate only: operand count == gate qubit count, else
  //      QubitCountMismatch{gate name, expected, got};
  //   2. every qubit registered, else QubitNotFound (first unknown);
  //   3. every classical bit registered, else ClbitNotFound (first unknown);
  //   4. no qubit repeated, else DuplicateQubit (first repeat);
  //   5. (qelto's own rule) no classical bit repeated, else InvalidDag
  //      "Duplicate classical bit ClbitId(k) in operation": a repeated
  //      classical operand would splice the node onto itself (a cycle).
  // gate_name in 2-4 is the gate's name for Gate instructions, absent for
  // Measure/Reset/Barrier/Delay (which get no count check). On error the DAG
  // is unchanged. Takes ownership of the instruction on success; on error
  // the instruction is dropped.
  [[nodiscard]] IrResult<NodeIndex> apply(Instruction instruction);

  // The Op nodes in the fixed topological order (the reverse
  // finishing order of the fixed depth-first search), each with its
  // instruction. Empty when the graph has a cycle (apply never lets one
  // form). O(nodes + edges), iterative (explicit stack, bit-set marks). The
  // pointers stay valid until the DAG is next changed.
  [[nodiscard]] std::vector<OpRef> topological_ops() const;

  // All nodes (wire ends included) in that topological order, or nullopt
  // when the graph has a cycle.
  [[nodiscard]] std::optional<std::vector<NodeIndex>> topological_order()
      const;

  // Circuit depth: the number of Op nodes on the longest path (every
  // instruction kind counts one layer; WireIn/WireOut count none); 0 for an
  // empty DAG. O(1): kept up to date by apply (see dag.cpp for why this
  // equals a longest-path walk over the topological order).
  [[nodiscard]] std::uint64_t depth() const noexcept { return depth_; }

  // ---- Read access ----
  [[nodiscard]] std::size_t node_count() const noexcept {
    return graph_.node_count();
  }
  [[nodiscard]] std::size_t edge_count() const noexcept {
    return graph_.edge_count();
  }
  // The node's payload, or nullptr when `node` is out of range.
  [[nodiscard]] const DagNode* node(NodeIndex node) const noexcept;
  // Targets of the node's outgoing edges / sources of its incoming edges,
  // in list order (newest edge first). Empty when out of range.
  [[nodiscard]] std::vector<NodeIndex> successors(NodeIndex node) const;
  [[nodiscard]] std::vector<NodeIndex> predecessors(NodeIndex node) const;
  // WireIn / WireOut node of a registered wire, nullopt if not registered.
  [[nodiscard]] std::optional<NodeIndex> qubit_input(QubitId q) const noexcept;
  [[nodiscard]] std::optional<NodeIndex> qubit_output(QubitId q) const noexcept;
  [[nodiscard]] std::optional<NodeIndex> clbit_input(ClbitId c) const noexcept;
  [[nodiscard]] std::optional<NodeIndex> clbit_output(ClbitId c) const noexcept;
  [[nodiscard]] std::size_t num_qubit_wires() const noexcept {
    return qubit_wires_.size();
  }
  [[nodiscard]] std::size_t num_clbit_wires() const noexcept {
    return clbit_wires_.size();
  }
  // The graph store itself (node/edge arrays and lists).
  [[nodiscard]] const DagGraph& graph() const noexcept { return graph_; }

 private:
  std::optional<std::vector<NodeIndex>> search() const;
  void add_wire(Wire wire, WireMap& map, std::uint32_t key);
  void splice(NodeIndex n, NodeIndex out, const Wire& wire) noexcept;
  bool is_acyclic_order(const std::vector<NodeIndex>& order) const;

  DagGraph graph_;
  // The input and output node of every qubit wire, as one map QubitId -> (in, out)
  // (both are always filled together); likewise for classical bits.
  WireMap qubit_wires_;
  WireMap clbit_wires_;
  // Largest depth of any Op node.
  std::uint32_t depth_ = 0;
};

}  // namespace qelto::ir
