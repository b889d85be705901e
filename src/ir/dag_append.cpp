// Appending a batch of operations to a CircuitDag at once: check them all,
// reserve once, then link them exactly as apply links one.
#include <algorithm>
#include <utility>
#include <vector>

#include "ir/dag.hpp"
#include "ir/dag_tags.hpp"
#include "ir/operation_batch.hpp"

namespace qelto::ir {

IrResult<void> CircuitDag::append(OperationBatch& batch) {
  const std::size_t count = batch.size();
  const std::size_t nq = batch.qubits_.size();
  const std::size_t nc = batch.clbits_.size();
  if (count == 0) {
    return {};
  }

  // 1. Every operation passes apply's checks, in order; `ends` keeps the
  // wire entry of every operand (slot order: per operation its qubits, then
  // its classical bits), so that linking looks up no wire twice.
  std::vector<WireMap::Ends*> ends(nq + nc);
  std::uint64_t params_end = params_.size();
  std::size_t custom = 0;
  for (std::size_t i = 0, q = 0, c = 0; i < count; ++i) {
    const std::uint8_t tag = batch.tags_[i];
    const std::size_t q_end = batch.qubit_end_[i];
    const std::size_t c_end = batch.clbit_end_[i];
    OperandCheck operation{false, {}, 0,
                           std::span(batch.qubits_).subspan(q, q_end - q),
                           std::span(batch.clbits_).subspan(c, c_end - c)};
    if (tag < kTagCustom) {
      const auto kind = static_cast<StandardGate::Kind>(tag);
      operation.gate = true;
      operation.gate_name = StandardGate::name(kind);
      operation.gate_qubits = StandardGate::num_qubits(kind);
      if (const std::uint32_t n = StandardGate::num_params(kind); n != 0) {
        params_end = ParameterPool::size_after(params_end, n);
      }
    } else if (tag == kTagCustom) {
      const CustomGate& gate = *batch.customs_[custom++];
      operation.gate = true;
      operation.gate_name = gate.name;
      operation.gate_qubits = gate.num_qubits;
    }
    if (auto checked = check(operation, ends.data() + q + c); !checked) {
      return checked;
    }
    q = q_end;
    c = c_end;
  }

  // 2. All room, before the first change.
  check_room(node_count(), count);
  check_room(edge_count(), nq + nc);
  tags_.reserve_more(count);
  qubit_begin_.reserve_more(count);
  clbit_begin_.reserve_more(count);
  extra_.reserve_more(count);
  qubits_.reserve_more(nq);
  clbits_.reserve_more(nc);
  links_.reserve_more(nq + nc);
  params_.reserve_until(params_end);
  if (!batch.customs_.empty()) {
    customs_.reserve(std::max(customs_.size() + batch.customs_.size(),
                              2 * customs_.capacity()));
  }
  delays_.reserve_more(batch.delays_.size());

  // 3. The operations, in order; nothing below throws.
  const auto q_base = static_cast<std::uint32_t>(qubits_.size());
  const auto c_base = static_cast<std::uint32_t>(clbits_.size());
  std::size_t param = 0;
  std::size_t delay = 0;
  custom = 0;
  for (std::size_t i = 0, q = 0, c = 0; i < count; ++i) {
    const std::uint8_t tag = batch.tags_[i];
    const std::size_t q_end = batch.qubit_end_[i];
    const std::size_t c_end = batch.clbit_end_[i];
    qubit_begin_.push_back(q_base + static_cast<std::uint32_t>(q));
    clbit_begin_.push_back(c_base + static_cast<std::uint32_t>(c));
    link(ends.data() + q + c, (q_end - q) + (c_end - c));
    std::uint32_t extra = 0;
    if (tag < kTagCustom) {
      const std::uint32_t n =
          StandardGate::num_params(static_cast<StandardGate::Kind>(tag));
      if (n != 0) {
        extra = params_.place(std::span(batch.params_).subspan(param, n));
        param += n;
      }
    } else if (tag == kTagCustom) {
      extra = static_cast<std::uint32_t>(customs_.size());
      customs_.push_back(std::move(batch.customs_[custom++]));
    } else if (tag == kTagDelay) {
      extra = static_cast<std::uint32_t>(delays_.size());
      delays_.push_back(batch.delays_[delay++]);
    }
    tags_.push_back(tag);
    extra_.push_back(extra);
    q = q_end;
    c = c_end;
  }
  qubits_.append(batch.qubits_.data(), nq);
  clbits_.append(batch.clbits_.data(), nc);
  batch.clear();
  return {};
}

}  // namespace qelto::ir
