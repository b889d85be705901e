#pragma once

// The bulk append of a CircuitDag (CircuitDag::append_from) and what a
// source of operations provides to it. Include this header where a source
// is appended; the store's own sources (a batch, copies of another store)
// are in dag_append.cpp.
//
// A source hands over its operations, in order, as SourceOperation values.
// It provides:
//   std::span<const QubitId> qubit_map() const;
//   std::span<const ClbitId> clbit_map() const;
//       Renamings of the operands (qubit q becomes qubit_map()[q.index]);
//       empty for none. A non-empty map covers every operand.
//   bool valid_in(const CircuitDag& target) const;
//       True only when every renamed operation passes apply's checks in
//       `target` (then they are not checked one by one); false asks for the
//       checks.
//   template <class Visit> void each(Visit&& visit) const;
//       Calls visit(const SourceOperation&) for each operation in order,
//       until it returns false; the same operations on every call.
//   void make_params(const SourceOperation&,
//                    std::span<ParameterExpression> out) const;
//       Writes a standard gate's parameters into `out` (its size is the
//       gate's count). May throw std::bad_alloc.
//   std::unique_ptr<CustomGate> make_custom(const SourceOperation&) const;
//       A custom gate's record. May throw std::bad_alloc.

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "ir/dag.hpp"
#include "ir/dag_tags.hpp"
#include "ir/gate_macros.hpp"

namespace qelto::ir {

// One operation as a source hands it to the append: its store tag
// (dag_tags.hpp), its operands before renaming (valid during the call), its
// custom gate (for the checks' name and width) or duration, and where the
// source finds the rest of it (`at`: the source's own position).
struct SourceOperation {
  std::uint8_t tag;
  std::span<const QubitId> qubits;
  std::span<const ClbitId> clbits;
  const CustomGate* custom;
  std::uint64_t duration;
  std::size_t at;
};

// Helpers of append_from.
namespace append_detail {

// Each standard gate's parameter count, read from the gate table like
// StandardGate::num_params, without a call for every operation of every
// pass.
inline constexpr std::array<std::uint8_t, StandardGate::kNumKinds>
    kNumParams = {{
#define QELTO_GATE(Enum, name, params, ...) QELTO_PP_LIST_COUNT(params),
#include "ir/gates.def"
}};

// The parameter count of a standard gate's tag.
inline std::uint32_t num_params(std::uint8_t tag) noexcept {
  return kNumParams[tag];
}

// A gate's name and width for apply's checks (empty and 0 for the other
// kinds, which the checks do not count or name).
inline std::string_view gate_name(const SourceOperation& op) noexcept {
  if (op.tag < kTagCustom) {
    return StandardGate::name(static_cast<StandardGate::Kind>(op.tag));
  }
  return op.tag == kTagCustom ? std::string_view(op.custom->name)
                              : std::string_view();
}
inline std::uint32_t gate_qubits(const SourceOperation& op) noexcept {
  if (op.tag < kTagCustom) {
    return StandardGate::num_qubits(static_cast<StandardGate::Kind>(op.tag));
  }
  return op.tag == kTagCustom ? op.custom->num_qubits : 0;
}

template <class Id>
Id renamed(Id id, std::span<const Id> map) noexcept {
  assert((map.empty() || id.index < map.size()) &&
         "an operand map does not cover an operand");
  return map.empty() ? id : map[id.index];
}

// `ids` renamed into `out` (reused).
template <class Id>
std::span<const Id> renamed_into(std::span<const Id> ids,
                                 std::span<const Id> map,
                                 std::vector<Id>& out) {
  if (out.size() < ids.size()) {
    out.resize(ids.size());
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    out[i] = renamed(ids[i], map);
  }
  return std::span<const Id>(out.data(), ids.size());
}

// `ids` renamed into `out` (reused), or `ids` itself without a map (tested
// inline: most operations checked one by one are renamed by nothing).
template <class Id>
inline std::span<const Id> renamed_all(std::span<const Id> ids,
                                       std::span<const Id> map,
                                       std::vector<Id>& out) {
  return map.empty() ? ids : renamed_into(ids, map, out);
}

}  // namespace append_detail

// One bulk append of a source's operations to a DAG, in four steps: check
// and count them, reserve all room, make their parameters and custom gates,
// then store and link them. Only the last changes what the DAG shows, and
// it cannot fail.
template <class Source>
class BulkAppend {
 public:
  BulkAppend(CircuitDag& dag, Source& source)
      : dag_(dag),
        source_(source),
        qubit_map_(source.qubit_map()),
        clbit_map_(source.clbit_map()) {}

  IrResult<void> run() {
    IrResult<void> planned = plan();
    if (!planned || count_ == 0) {
      return planned;
    }
    reserve();
    make();
    commit();
    return {};
  }

 private:
  // 1. Every operation passes apply's checks, in order, with its operands
  // renamed (unless the source vouches for them); the totals size the room.
  IrResult<void> plan() {
    const bool valid = source_.valid_in(dag_);
    std::vector<QubitId> qubits;
    std::vector<ClbitId> clbits;
    IrResult<void> checked;
    params_end_ = dag_.params_.size();
    source_.each([&](const SourceOperation& op) {
      if (op.tag < kTagCustom) {
        if (const std::uint32_t n = append_detail::num_params(op.tag); n != 0) {
          params_end_ = ParameterPool::size_after(params_end_, n);
        }
      } else if (op.tag == kTagCustom) {
        ++customs_;
      } else if (op.tag == kTagDelay) {
        ++delays_;
      }
      if (!valid) {
        checked = dag_.check(
            CircuitDag::OperandCheck{
                op.tag <= kTagCustom, append_detail::gate_name(op),
                append_detail::gate_qubits(op),
                append_detail::renamed_all(op.qubits, qubit_map_, qubits),
                append_detail::renamed_all(op.clbits, clbit_map_, clbits)},
            nullptr);
        if (!checked) {
          return false;
        }
      }
      ++count_;
      qubits_ += op.qubits.size();
      clbits_ += op.clbits.size();
      widest_ = std::max(widest_, op.qubits.size() + op.clbits.size());
      return true;
    });
    return checked;
  }

  // 2. All room, before the first change.
  void reserve() {
    CircuitDag::check_room(dag_.node_count(), count_);
    CircuitDag::check_room(dag_.edge_count(), qubits_ + clbits_);
    ends_.resize(widest_);
    made_.reserve(customs_);
    dag_.tags_.reserve_more(count_);
    dag_.qubit_begin_.reserve_more(count_);
    dag_.clbit_begin_.reserve_more(count_);
    dag_.extra_.reserve_more(count_);
    dag_.qubits_.reserve_more(qubits_);
    dag_.clbits_.reserve_more(clbits_);
    dag_.links_.reserve_more(qubits_ + clbits_);
    dag_.params_.reserve_until(params_end_);
    if (customs_ != 0) {
      dag_.customs_.reserve(std::max(dag_.customs_.size() + customs_,
                                     2 * dag_.customs_.capacity()));
    }
    dag_.delays_.reserve_more(delays_);
  }

  // 3. The parameters, into the pool's spare room, and the custom gates.
  // Making them may throw; the DAG still shows nothing of them.
  void make() {
    std::uint64_t at = dag_.params_.size();
    source_.each([&](const SourceOperation& op) {
      if (op.tag < kTagCustom) {
        if (const std::uint32_t n = append_detail::num_params(op.tag); n != 0) {
          const std::uint64_t first = ParameterPool::start_of(at, n);
          source_.make_params(op, dag_.params_.staged(first, n));
          at = first + n;
        }
      } else if (op.tag == kTagCustom) {
        made_.push_back(source_.make_custom(op));
      }
      return true;
    });
  }

  // 4. The operations, in order, linked as apply links one.
  void commit() noexcept {
    std::uint64_t at = dag_.params_.size();
    std::size_t custom = 0;
    source_.each([&](const SourceOperation& op) {
      dag_.qubit_begin_.push_back(
          static_cast<std::uint32_t>(dag_.qubits_.size()));
      dag_.clbit_begin_.push_back(
          static_cast<std::uint32_t>(dag_.clbits_.size()));
      std::size_t k = 0;
      for (const QubitId q : op.qubits) {
        const QubitId id = append_detail::renamed(q, qubit_map_);
        dag_.qubits_.push_back(id);
        ends_[k++] = dag_.qubit_wires_.find(id.index);
      }
      for (const ClbitId c : op.clbits) {
        const ClbitId id = append_detail::renamed(c, clbit_map_);
        dag_.clbits_.push_back(id);
        ends_[k++] = dag_.clbit_wires_.find(id.index);
      }
      dag_.link(ends_.data(), k);
      std::uint32_t extra = 0;
      if (op.tag < kTagCustom) {
        if (const std::uint32_t n = append_detail::num_params(op.tag); n != 0) {
          const std::uint64_t first = ParameterPool::start_of(at, n);
          extra = static_cast<std::uint32_t>(first);
          at = first + n;
        }
      } else if (op.tag == kTagCustom) {
        extra = static_cast<std::uint32_t>(dag_.customs_.size());
        dag_.customs_.push_back(std::move(made_[custom++]));
      } else if (op.tag == kTagDelay) {
        extra = static_cast<std::uint32_t>(dag_.delays_.size());
        dag_.delays_.push_back(op.duration);
      }
      dag_.tags_.push_back(op.tag);
      dag_.extra_.push_back(extra);
      return true;
    });
    dag_.params_.adopt_until(at);
  }

  CircuitDag& dag_;
  Source& source_;
  std::span<const QubitId> qubit_map_;
  std::span<const ClbitId> clbit_map_;
  // Totals of the operations: their count, operands, widest operand list,
  // custom gates, delays, and the parameter pool's size after them.
  std::size_t count_ = 0;
  std::size_t qubits_ = 0;
  std::size_t clbits_ = 0;
  std::size_t widest_ = 0;
  std::size_t customs_ = 0;
  std::size_t delays_ = 0;
  std::uint64_t params_end_ = 0;
  // The wire entries of one operation's operands while it is linked.
  std::vector<WireMap::Ends*> ends_;
  std::vector<std::unique_ptr<CustomGate>> made_;
};

template <class Source>
IrResult<void> CircuitDag::append_from(Source& source) {
  return BulkAppend<Source>(*this, source).run();
}

}  // namespace qelto::ir
