#include "compile/block_writer.hpp"

#include <algorithm>
#include <cassert>

#include "compile/decompose.hpp"
#include "compile/two_qubit_unitary.hpp"

namespace qelto::compile {
namespace {

using Kind = ir::StandardGate::Kind;

}  // namespace

BlockWriter::BlockWriter(GateWriter& writer, const BasisGates& basis,
                         std::uint32_t num_qubits, bool enabled,
                         double tolerance)
    : writer_(writer), entangler_(cx_entangler(basis)), tolerance_(tolerance) {
  for (std::size_t k = 0; k < ir::StandardGate::kNumKinds; ++k) {
    in_basis_[k] = basis.contains(ir::StandardGate::name(Kind(k)));
  }
  enabled_ = enabled && entangler_ && one_qubit_basis(basis);
  if (enabled_) {
    open_.assign(num_qubits, kNone);
  }
}

void BlockWriter::one_qubit(const FlatOp& op, const Rotation& rotation) {
  if (enabled_ && open_[op.q[0]] != kNone) {
    blocks_[open_[op.q[0]]].ops.push_back(op);
    return;
  }
  writer_.one_qubit(op, rotation, in_basis(gate_kind(op.code)));
}

void BlockWriter::two_qubit(const FlatOp& op) {
  // Left out before it joins a block, so that it neither opens nor closes
  // one (a block round it could only be re-synthesised approximately).
  if (writer_.approximately_identity(op)) {
    return;
  }
  if (!enabled_) {
    writer_.two_qubit(op);
    return;
  }
  const std::uint32_t a = op.q[0];
  const std::uint32_t b = op.q[1];
  if (open_[a] == kNone || open_[a] != open_[b]) {
    if (open_[a] != kNone) {
      close(open_[a]);
    }
    if (open_[b] != kNone) {
      close(open_[b]);
    }
    std::uint32_t slot;
    if (free_.empty()) {
      slot = static_cast<std::uint32_t>(blocks_.size());
      blocks_.emplace_back();
    } else {
      slot = free_.back();
      free_.pop_back();
    }
    Block& block = blocks_[slot];
    block.first = a;
    block.second = b;
    block.cost = 0;
    open_[a] = open_[b] = slot;
  }
  Block& block = blocks_[open_[a]];
  block.cost += cost(op);
  block.ops.push_back(op);
}

void BlockWriter::other(const FlatOp& op,
                        std::span<const std::uint32_t> qubits) {
  if (enabled_) {
    for (const std::uint32_t q : qubits) {
      if (open_[q] != kNone) {
        close(open_[q]);
      }
    }
  }
  writer_.other(op, qubits);
}

void BlockWriter::finish() {
  for (std::uint32_t q = 0; q < open_.size(); ++q) {
    if (open_[q] != kNone) {
      close(open_[q]);
    }
  }
}

std::uint32_t BlockWriter::cost(const FlatOp& op) {
  const Kind kind = gate_kind(op.code);
  if (in_basis(kind)) {
    return 1;
  }
  std::uint8_t& known = cx_cost_[static_cast<std::size_t>(kind)];
  if (known == 0) {
    // The expression's shape does not depend on the angles.
    scratch_.clear();
    if (decompose_to_cx(op, scratch_)) {
      known = static_cast<std::uint8_t>(std::count_if(
          scratch_.begin(), scratch_.end(),
          [](const FlatOp& g) { return g.num_qubits == 2; }));
    }
    // A gate without an expression is never re-synthesised away.
    known = std::max<std::uint8_t>(known, 1);
  }
  return known;
}

void BlockWriter::close(std::uint32_t slot) {
  Block& block = blocks_[slot];
  open_[block.first] = kNone;
  open_[block.second] = kNone;
  // A block of cost one cannot lose its gate exactly: its matrix is not
  // local. Within a tolerance it may (a tiny controlled phase).
  const std::uint32_t least = tolerance_ > 0 ? 1 : 2;
  if (block.cost < least || !write_resynthesised(block)) {
    write_as_given(block);
  }
  block.ops.clear();
  free_.push_back(slot);
}

void BlockWriter::write_as_given(const Block& block) {
  for (const FlatOp& op : block.ops) {
    if (op.num_qubits == 1) {
      const Kind kind = gate_kind(op.code);
      writer_.one_qubit(op, *rotation_of(kind, op.params), in_basis(kind));
    } else {
      writer_.two_qubit(op);
    }
  }
}

bool BlockWriter::write_resynthesised(const Block& block) {
  const auto u = unitary_of(block.ops, block.first, scratch_);
  if (!u ||
      !may_need_fewer_cx(
          *u, static_cast<int>(std::min<std::uint32_t>(block.cost, 4)),
          tolerance_)) {
    return false;
  }
  steps_.clear();
  const auto cx = synthesize_two_qubit(*u, steps_, tolerance_);
  if (!cx || static_cast<std::uint32_t>(*cx) >= block.cost) {
    return false;
  }
  const std::uint32_t qubits[2] = {block.first, block.second};
  for (const TwoQubitStep& step : steps_) {
    const std::uint32_t q = qubits[step.qubit];
    if (step.kind == TwoQubitStep::Kind::Cx) {
      write_cx(q, qubits[1 - step.qubit]);
      continue;
    }
    const ZyzAngles zyz = zyz_angles(step.rotation);
    const double params[3] = {zyz.theta, zyz.a, zyz.b};
    writer_.one_qubit(make_gate(Kind::U, {&q, 1}, params), step.rotation,
                      false);
  }
  return true;
}

void BlockWriter::write_cx(std::uint32_t control, std::uint32_t target) {
  scratch_.clear();
  const bool made = cx_from(*entangler_, control, target, scratch_);
  assert(made && "cx_entangler names only gates cx_from knows");
  (void)made;
  for (const FlatOp& g : scratch_) {
    const Kind kind = gate_kind(g.code);
    if (g.num_qubits == 1) {
      writer_.one_qubit(g, *rotation_of(kind, g.params), in_basis(kind));
    } else {
      writer_.two_qubit(g);
    }
  }
}

}  // namespace qelto::compile
