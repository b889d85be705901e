#include "ir/operation_batch.hpp"

#include <algorithm>
#include <cassert>
#include <new>
#include <utility>

#include "ir/dag_tags.hpp"

namespace qelto::ir {
namespace {

// The rare growth, kept out of line so that the check below stays small.
template <class T>
[[gnu::noinline]] void grow(std::vector<T>& items, std::size_t extra) {
  items.reserve(std::max(items.size() + extra, 2 * items.capacity()));
}

// Room for `extra` more items, growing geometrically so that adding
// operations one at a time stays amortised O(1). The check is inline: it
// runs for every array of every operation added.
template <class T>
inline void room_for(std::vector<T>& items, std::size_t extra) {
  if (extra > items.capacity() - items.size()) [[unlikely]] {
    grow(items, extra);
  }
}

// Operand offsets are 32-bit, like the store's.
void check_offsets(std::size_t used, std::size_t extra) {
  if (extra > UINT32_MAX || used > UINT32_MAX - extra) {
    throw std::bad_alloc();
  }
}

}  // namespace

OperationBatch::~OperationBatch() = default;

void OperationBatch::reserve_one(std::size_t qubits, std::size_t clbits,
                                 std::size_t params, bool custom,
                                 bool delay) {
  check_offsets(qubits_.size(), qubits);
  check_offsets(clbits_.size(), clbits);
  room_for(tags_, 1);
  room_for(qubit_end_, 1);
  room_for(clbit_end_, 1);
  room_for(qubits_, qubits);
  room_for(clbits_, clbits);
  room_for(params_, params);
  if (custom) {
    room_for(customs_, 1);
  }
  if (delay) {
    room_for(delays_, 1);
  }
}

void OperationBatch::push(std::uint8_t tag, std::span<const QubitId> qubits,
                          std::span<const ClbitId> clbits) noexcept {
  tags_.push_back(tag);
  qubits_.insert(qubits_.end(), qubits.begin(), qubits.end());
  clbits_.insert(clbits_.end(), clbits.begin(), clbits.end());
  qubit_end_.push_back(static_cast<std::uint32_t>(qubits_.size()));
  clbit_end_.push_back(static_cast<std::uint32_t>(clbits_.size()));
}

void OperationBatch::add_gate(StandardGate::Kind kind,
                              std::span<ParameterExpression> params,
                              std::span<const QubitId> qubits,
                              std::span<const ClbitId> clbits) {
  const std::uint32_t count = StandardGate::num_params(kind);
  assert(params.size() >= count && "fewer parameters than the gate takes");
  reserve_one(qubits.size(), clbits.size(), count, false, false);
  for (std::uint32_t i = 0; i < count; ++i) {
    params_.push_back(std::move(params[i]));
  }
  push(static_cast<std::uint8_t>(kind), qubits, clbits);
}

void OperationBatch::add_custom(CustomGate gate,
                                std::span<const QubitId> qubits,
                                std::span<const ClbitId> clbits) {
  auto boxed = std::make_unique<CustomGate>(std::move(gate));
  reserve_one(qubits.size(), clbits.size(), 0, true, false);
  customs_.push_back(std::move(boxed));
  push(kTagCustom, qubits, clbits);
}

void OperationBatch::add(OperationKind kind, std::span<const QubitId> qubits,
                         std::span<const ClbitId> clbits) {
  assert(kind != OperationKind::Gate && kind != OperationKind::Delay &&
         "gates and delays have their own add");
  reserve_one(qubits.size(), clbits.size(), 0, false, false);
  push(tag_of(kind), qubits, clbits);
}

void OperationBatch::add_delay(std::uint64_t duration,
                               std::span<const QubitId> qubits,
                               std::span<const ClbitId> clbits) {
  reserve_one(qubits.size(), clbits.size(), 0, false, true);
  delays_.push_back(duration);
  push(kTagDelay, qubits, clbits);
}

void OperationBatch::clear() noexcept {
  tags_.clear();
  qubit_end_.clear();
  clbit_end_.clear();
  qubits_.clear();
  clbits_.clear();
  params_.clear();
  customs_.clear();
  delays_.clear();
}

}  // namespace qelto::ir
