#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "ir/error.hpp"
#include "ir/graph.hpp"
#include "ir/instruction.hpp"
#include "ir/parameter_pool.hpp"
#include "ir/pod_array.hpp"
#include "ir/qubit.hpp"
#include "ir/wire_map.hpp"

namespace qelto::ir {

// The wire an edge belongs to.
struct QubitWire {
  QubitId qubit;
  friend bool operator==(QubitWire, QubitWire) = default;
};
struct ClbitWire {
  ClbitId clbit;
  friend bool operator==(ClbitWire, ClbitWire) = default;
};
using Wire = std::variant<QubitWire, ClbitWire>;

// The start and the end of a wire (nodes without an operation).
struct WireIn {
  Wire wire;
};
struct WireOut {
  Wire wire;
};

class CircuitDag;
class OperationBatch;
template <class Source>
class BulkAppend;

// A rule that makes a new parameter from a stored one (see
// CircuitDag::clone). May throw std::bad_alloc.
using ParameterMap =
    std::function<ParameterExpression(const ParameterExpression&)>;

// The kind of a stored operation, in the order of InstructionKind's
// alternatives.
enum class OperationKind : std::uint8_t { Gate, Measure, Reset, Barrier, Delay };

// Everything OperationRef tells about one operation, read at once (see
// its members of the same names).
struct OperationFields {
  OperationKind kind;
  std::optional<StandardGate::Kind> standard_gate;
  std::string_view gate_name;
  std::span<const QubitId> qubits;
  std::span<const ClbitId> clbits;
  std::span<const ParameterExpression> parameters;
  std::uint64_t delay_duration;
};

// A read-only view of one operation of a CircuitDag. Cheap to copy (a
// pointer and a number). Valid until the DAG is next changed, moved or
// destroyed; the spans it hands out likewise.
class OperationRef {
 public:
  [[nodiscard]] OperationKind kind() const noexcept;
  [[nodiscard]] std::span<const QubitId> qubits() const noexcept;
  [[nodiscard]] std::span<const ClbitId> clbits() const noexcept;
  // The standard gate's kind; nullopt for custom gates and non-gates.
  [[nodiscard]] std::optional<StandardGate::Kind> standard_gate()
      const noexcept;
  // The custom gate record, or nullptr.
  [[nodiscard]] const CustomGate* custom_gate() const noexcept;
  // A gate's name (as Gate::name); empty for the other kinds.
  [[nodiscard]] std::string_view gate_name() const noexcept;
  // A gate's parameters in order (as Gate::parameters); empty otherwise.
  [[nodiscard]] std::span<const ParameterExpression> parameters()
      const noexcept;
  // The duration of a Delay; 0 for the other kinds.
  [[nodiscard]] std::uint64_t delay_duration() const noexcept;
  // All of the above in one read, for callers that need most of it.
  [[nodiscard]] inline OperationFields fields() const noexcept;
  // A deep copy as an owned Instruction. May throw std::bad_alloc.
  [[nodiscard]] Instruction to_instruction() const;

 private:
  friend class CircuitDag;
  OperationRef(const CircuitDag* dag, std::uint32_t op) noexcept
      : dag_(dag), op_(op) {}
  const CircuitDag* dag_;
  std::uint32_t op_;
};

// What a node is: the start of a wire, the end of a wire, or one operation.
using DagNode = std::variant<WireIn, WireOut, OperationRef>;

// One entry of topological_ops: an operation and its node.
struct OpRef {
  NodeIndex node;
  OperationRef operation;
};

// The operations of a circuit as a DAG over qubit and classical-bit wires.
// Every wire runs WireIn -> operations in application order -> WireOut; an
// operation has one incoming and one outgoing edge per operand. All
// structural validation of the IR happens in `apply`.
//
// Numbering: nodes are numbered in the order they were added; a wire
// takes two numbers (WireIn, then WireOut), an operation one. Edge lists
// run newest edge first, where an edge counts as made when the operation
// at its far end (for outgoing lists) was applied, or, for an edge into a
// WireOut node, when its source was; within one operation, operands in
// order. These orders fix the topological order.
//
// Storage: nothing is ever removed, so operations live in flat arrays in
// insertion order (kind, operand offsets, one shared qubit pool and one
// classical-bit pool, parameters in a side pool), and each operand records
// the previous operation on its wire; edges and their list orders are
// derived from those links when asked for. Applying an operation costs
// time proportional to its operand count.
//
// Move-only (deep copies through `clone`); a moved-from DAG is empty.
//
// Exceptions: bad input never throws (it is an IrError). Running out of
// memory throws std::bad_alloc, always before anything changes: every
// mutating operation reserves all capacity it needs first, so the DAG is
// left exactly as it was.
class CircuitDag {
 public:
  CircuitDag() noexcept;
  CircuitDag(CircuitDag&& other) noexcept;
  CircuitDag& operator=(CircuitDag&& other) noexcept;
  CircuitDag(const CircuitDag&) = delete;
  CircuitDag& operator=(const CircuitDag&) = delete;
  ~CircuitDag();

  // An independent deep copy with the same numbering and orders, reserved
  // to its exact size. May throw std::bad_alloc.
  [[nodiscard]] CircuitDag clone() const;
  // The same, with every gate parameter (standard or custom) replaced by
  // `map(parameter)`. May throw std::bad_alloc (from `map` too).
  [[nodiscard]] CircuitDag clone(const ParameterMap& map) const;

  // Registers a qubit wire: if `qubit` is already registered nothing
  // happens; otherwise adds node WireIn, node WireOut (the next index) and
  // an edge between them.
  void add_qubit(QubitId qubit);
  // The same for a classical bit.
  void add_clbit(ClbitId clbit);

  // Ensures capacity for `qubits` more qubit wires and `clbits` more
  // classical-bit wires, so that as many add_qubit / add_clbit calls of new
  // ids cannot throw. May throw std::bad_alloc (nothing visible changes).
  void reserve_wires(std::size_t qubits, std::size_t clbits);

  // Ensures capacity for `ops` more operations with `operands` qubit and
  // classical-bit operands among them. Only a hint: fewer or more may
  // follow. May throw std::bad_alloc (nothing visible changes).
  void reserve_operations(std::size_t ops, std::size_t operands);

  // Validates `instruction` and appends it after the last operation of
  // each of its wires; returns the new node's index. Checks, in order (the
  // first failing one decides):
  //   1. Gate only: operand count == gate qubit count, else
  //      QubitCountMismatch{gate name, expected, got};
  //   2. every qubit registered, else QubitNotFound (first unknown);
  //   3. every classical bit registered, else ClbitNotFound (first unknown);
  //   4. no qubit repeated, else DuplicateQubit (first repeat);
  //   5. (qelto's own rule) no classical bit repeated, else InvalidDag
  //      "Duplicate classical bit ClbitId(k) in operation": a repeated
  //      classical operand would make the node its own successor (a cycle).
  // gate_name in 2-4 is the gate's name for Gate instructions, absent for
  // Measure/Reset/Barrier/Delay (which get no count check). On error the DAG
  // is unchanged. Takes ownership of the instruction on success; on error
  // the instruction is dropped. O(operands).
  [[nodiscard]] IrResult<NodeIndex> apply(Instruction instruction);

  // Appends every operation of `batch` in its order, exactly as applying
  // them one by one would (same node numbers, edge lists, orders and
  // depth), in time proportional to their operands. Checks every operation
  // first, with apply's checks and errors; when one fails, the first
  // failing one decides and nothing changes. Then reserves all room at once
  // (std::bad_alloc, if thrown, leaves the DAG unchanged too). On success
  // the batch is left empty; on failure it is unchanged.
  [[nodiscard]] IrResult<void> append(OperationBatch& batch);

  // Appends, in the same way, a copy of every operation of `source` (which
  // may be this DAG: then its operations as they were before the call),
  // with qubit q renamed qubit_map[q.index] and classical bit c renamed
  // clbit_map[c.index] (an empty map keeps those operands; a non-empty one
  // must cover every operand) and every gate parameter p made by map(p)
  // (an empty map copies them).
  // The renamed operations get apply's checks. Fails, changing nothing,
  // with the first failing check; may throw std::bad_alloc (from `map`
  // too), changing nothing.
  [[nodiscard]] IrResult<void> append_copies(const CircuitDag& source,
                                             std::span<const QubitId> qubit_map,
                                             std::span<const ClbitId> clbit_map,
                                             const ParameterMap& map);

  // The bulk append behind append and append_copies, for any source of
  // operations (what a source provides: ir/dag_append.hpp, which defines
  // this and must be included where it is used). The same guarantees.
  template <class Source>
  [[nodiscard]] IrResult<void> append_from(Source& source);

  // The catalogue gate `kind` on `qubits` with `params` (in catalogue
  // order; exactly its parameter count): the same checks, errors, node and
  // order as apply of that gate's Instruction, without building one. The
  // parameters are moved from only on success.
  [[nodiscard]] IrResult<NodeIndex> apply_gate(
      StandardGate::Kind kind, std::span<const QubitId> qubits,
      std::span<ParameterExpression> params);

  // The operations in the fixed topological order (the reverse finishing
  // order of the fixed depth-first search over the edge lists above).
  // O(nodes + edges), plus a sort of the outgoing edges of operations with
  // more than one operand; iterative (explicit stack, bit-set marks).
  [[nodiscard]] std::vector<OpRef> topological_ops() const;

  // The same order as numbers of operations (see `operation`): cheaper when
  // the node numbers are not needed.
  [[nodiscard]] std::vector<std::uint32_t> operation_order() const;

  // All nodes (wire ends included) in that topological order. Never
  // nullopt: apply never lets a cycle form (kept optional for callers
  // written against a store that could hold one).
  [[nodiscard]] std::optional<std::vector<NodeIndex>> topological_order()
      const;

  // Circuit depth: the number of operations on the longest path (every
  // instruction kind counts one layer; wire ends count none); 0 for an
  // empty DAG. O(1): kept up to date by apply.
  [[nodiscard]] std::uint64_t depth() const noexcept { return depth_; }

  // ---- Operations in insertion order ----
  [[nodiscard]] std::size_t num_operations() const noexcept {
    return tags_.size();
  }
  // Operation `i` (0 <= i < num_operations()) in the order applied.
  [[nodiscard]] OperationRef operation(std::size_t i) const noexcept {
    return OperationRef(this, static_cast<std::uint32_t>(i));
  }
  // The node number of operation `i`.
  [[nodiscard]] NodeIndex operation_node(std::size_t i) const noexcept;

  // ---- Read access ----
  [[nodiscard]] std::size_t node_count() const noexcept {
    return 2 * wires_.size() + tags_.size();
  }
  [[nodiscard]] std::size_t edge_count() const noexcept {
    return wires_.size() + links_.size();
  }
  // What node `node` is, or nullopt when it is out of range. O(log of the
  // number of times wires were added after operations).
  [[nodiscard]] std::optional<DagNode> node(NodeIndex node) const noexcept;
  // Targets of the node's outgoing edges / sources of its incoming edges,
  // in list order (newest edge first). Empty when out of range. Derived:
  // successors costs O(operands applied after the node), predecessors
  // O(operands of the node * log operations).
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

 private:
  friend class OperationRef;
  friend class DagWalk;
  template <class Source>
  friend class BulkAppend;

  // One registered wire, by registration number.
  struct WireRecord {
    std::uint32_t id;
    // Its WireIn node (WireOut is the next number).
    std::uint32_t in;
    bool clbit;
  };
  // Wires registered while the operation count was `ops_before`; `wires`
  // counts all wires registered up to the end of this run.
  struct WireRun {
    std::uint32_t ops_before;
    std::uint32_t wires;
  };
  // Node decoded: an operation, or a wire end.
  struct Decoded {
    bool is_op;
    std::uint32_t index;  // operation number, or wire number
    bool out;             // for a wire end: WireOut
  };

  // What apply checks of one operation: a gate (counted against
  // gate_qubits, named in errors) or another kind, and its operands.
  struct OperandCheck {
    bool gate;
    std::string_view gate_name;
    std::uint32_t gate_qubits;
    std::span<const QubitId> qubits;
    std::span<const ClbitId> clbits;
  };
  // apply's checks 1-5 (see there). On success `ends`, unless null, holds
  // the wire-map entry of every operand, qubits first.
  [[nodiscard]] IrResult<void> check(const OperandCheck& operation,
                                     WireMap::Ends** ends);

  // Links a new operation after the last operation of each of its wires
  // (the entries of its operands, in slot order) and returns its depth.
  // Requires room in links_ for `count` slots.
  std::uint32_t link(WireMap::Ends* const* ends, std::size_t count) noexcept;

  // Throws std::bad_alloc unless `extra` more numbers after `used` stay
  // below kNoIndex (node and slot numbers are 32-bit).
  static void check_room(std::size_t used, std::size_t extra);
  void add_wire(std::uint32_t id, bool clbit);
  void swap(CircuitDag& other) noexcept;
  // Room for one more operation with these operand and parameter counts
  // (parameters of a standard gate; other side pools are not reserved).
  void reserve_one(std::size_t qubits, std::size_t clbits,
                   std::uint32_t params);
  void reserve_for(const Instruction& instruction, std::size_t operands);
  std::uint32_t store_kind(Instruction& instruction) noexcept;

  // Operands of operation `op`: its first slot and its counts.
  [[nodiscard]] std::uint32_t first_slot(std::uint32_t op) const noexcept {
    return qubit_begin_[op] + clbit_begin_[op];
  }
  [[nodiscard]] std::uint32_t qubit_count(std::uint32_t op) const noexcept {
    const std::size_t end =
        op + 1 < tags_.size() ? qubit_begin_[op + 1] : qubits_.size();
    return static_cast<std::uint32_t>(end - qubit_begin_[op]);
  }
  [[nodiscard]] std::uint32_t clbit_count(std::uint32_t op) const noexcept {
    const std::size_t end =
        op + 1 < tags_.size() ? clbit_begin_[op + 1] : clbits_.size();
    return static_cast<std::uint32_t>(end - clbit_begin_[op]);
  }
  // The operation an operand slot belongs to (binary search).
  [[nodiscard]] std::uint32_t op_of_slot(std::uint32_t slot) const noexcept;
  // The wire of operand `i` of operation `op` (a hash lookup).
  [[nodiscard]] std::uint32_t wire_of(std::uint32_t op,
                                      std::uint32_t i) const noexcept;
  [[nodiscard]] Decoded decode(std::uint32_t node) const noexcept;
  [[nodiscard]] Wire wire_value(std::uint32_t wire) const noexcept;
  // WireIn (or, with `out`, WireOut) node of a registered wire.
  [[nodiscard]] std::optional<NodeIndex> wire_end(const WireMap& map,
                                                  std::uint32_t key,
                                                  bool out) const noexcept;

  // ---- Per operation, in insertion order ----
  // OpTag (see dag.cpp): a standard gate's kind, or another kind.
  PodArray<std::uint8_t> tags_;
  // Offsets of the operation's operands in qubits_ / clbits_; counts are
  // the distance to the next operation's offsets (or the pool's end).
  PodArray<std::uint32_t> qubit_begin_;
  PodArray<std::uint32_t> clbit_begin_;
  // First parameter in params_, custom gate in customs_, or duration in
  // delays_; unused for the other kinds.
  PodArray<std::uint32_t> extra_;

  // ---- Per operand ----
  PodArray<QubitId> qubits_;
  PodArray<ClbitId> clbits_;
  // Per operand slot (operation by operation, qubits then classical bits):
  // the slot of the previous operand on the same wire, or kNoSlot when
  // the operand is the wire's first.
  PodArray<std::uint32_t> links_;

  // ---- Side pools ----
  ParameterPool params_;
  std::vector<std::unique_ptr<CustomGate>> customs_;
  PodArray<std::uint64_t> delays_;

  // ---- Wires ----
  PodArray<WireRecord> wires_;
  PodArray<WireRun> runs_;
  WireMap qubit_wires_;
  WireMap clbit_wires_;
  // Largest depth of any operation.
  std::uint32_t depth_ = 0;
};

// ---- OperationRef, inline: the writer calls these for every operation ----

inline OperationKind OperationRef::kind() const noexcept {
  // Tags up to kNumKinds are gates (see dag_tags.hpp); the other kinds
  // follow in OperationKind's order.
  const std::uint8_t tag = dag_->tags_[op_];
  constexpr auto kCustom = static_cast<std::uint8_t>(StandardGate::kNumKinds);
  return tag <= kCustom ? OperationKind::Gate
                        : static_cast<OperationKind>(tag - kCustom);
}

inline std::span<const QubitId> OperationRef::qubits() const noexcept {
  return dag_->qubits_.span(dag_->qubit_begin_[op_], dag_->qubit_count(op_));
}

inline std::span<const ClbitId> OperationRef::clbits() const noexcept {
  return dag_->clbits_.span(dag_->clbit_begin_[op_], dag_->clbit_count(op_));
}

inline std::optional<StandardGate::Kind> OperationRef::standard_gate()
    const noexcept {
  const std::uint8_t tag = dag_->tags_[op_];
  if (tag >= StandardGate::kNumKinds) {
    return std::nullopt;
  }
  return static_cast<StandardGate::Kind>(tag);
}

inline OperationFields OperationRef::fields() const noexcept {
  OperationFields fields{kind(), standard_gate(), {}, qubits(), clbits(),
                         {},     0};
  const std::uint32_t extra = dag_->extra_[op_];
  if (fields.standard_gate) {
    const StandardGate::Kind standard = *fields.standard_gate;
    fields.gate_name = StandardGate::name(standard);
    if (const std::uint32_t count = StandardGate::num_params(standard)) {
      fields.parameters = dag_->params_.get(extra, count);
    }
  } else if (const CustomGate* custom = custom_gate()) {
    fields.gate_name = custom->name;
    fields.parameters = custom->params;
  } else if (fields.kind == OperationKind::Delay) {
    fields.delay_duration = dag_->delays_[extra];
  }
  return fields;
}

}  // namespace qelto::ir
