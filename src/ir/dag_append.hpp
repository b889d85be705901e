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
inline constexpr std::array<std::uint8_t, StandardGate::kNumKinds> kNumParams = {{
#define QELTO_GATE(Enum, name, params, ...) QELTO_PP_LIST_COUNT(params),
#include "ir/gates.def"
}};

// The parameter count of a standard gate's tag.
inline std::uint32_t num_params(std::uint8_t tag) noexcept { return kNumParams[tag]; }

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

// `ids` renamed into `out` (reused), or `ids` itself without a map.
template <class Id>
std::span<const Id> renamed_all(std::span<const Id> ids,
                                std::span<const Id> map,
                                std::vector<Id>& out) {
  if (map.empty()) {
    return ids;
  }
  if (out.size() < ids.size()) {
    out.resize(ids.size());
  }
  for (std::size_t i = 0; i < ids.size(); ++i) {
    out[i] = renamed(ids[i], map);
  }
  return std::span<const Id>(out.data(), ids.size());
}

}  // namespace append_detail

template <class Source>
IrResult<void> CircuitDag::append_from(Source& source) {
  using append_detail::gate_name;
  using append_detail::gate_qubits;
  using append_detail::num_params;
  using append_detail::renamed;
  using append_detail::renamed_all;
  const std::span<const QubitId> qubit_map = source.qubit_map();
  const std::span<const ClbitId> clbit_map = source.clbit_map();

  // 1. Every operation passes apply's checks, in order, with its operands
  // renamed (unless the source vouches for them); the totals size the room.
  const bool valid = source.valid_in(*this);
  std::size_t count = 0;
  std::size_t nq = 0;
  std::size_t nc = 0;
  std::size_t widest = 0;
  std::size_t customs = 0;
  std::size_t delays = 0;
  std::uint64_t params_end = params_.size();
  std::vector<QubitId> qubits;
  std::vector<ClbitId> clbits;
  IrResult<void> checked;
  source.each([&](const SourceOperation& op) {
    if (op.tag < kTagCustom) {
      if (const std::uint32_t n = num_params(op.tag); n != 0) {
        params_end = ParameterPool::size_after(params_end, n);
      }
    } else if (op.tag == kTagCustom) {
      ++customs;
    } else if (op.tag == kTagDelay) {
      ++delays;
    }
    if (!valid) {
      checked = check(
          OperandCheck{op.tag <= kTagCustom, gate_name(op), gate_qubits(op),
                       renamed_all(op.qubits, qubit_map, qubits),
                       renamed_all(op.clbits, clbit_map, clbits)},
          nullptr);
      if (!checked) {
        return false;
      }
    }
    ++count;
    nq += op.qubits.size();
    nc += op.clbits.size();
    widest = std::max(widest, op.qubits.size() + op.clbits.size());
    return true;
  });
  if (!checked || count == 0) {
    return checked;
  }

  // 2. All room, before the first change.
  check_room(node_count(), count);
  check_room(edge_count(), nq + nc);
  std::vector<WireMap::Ends*> ends(widest);
  std::vector<std::unique_ptr<CustomGate>> made;
  made.reserve(customs);
  tags_.reserve_more(count);
  qubit_begin_.reserve_more(count);
  clbit_begin_.reserve_more(count);
  extra_.reserve_more(count);
  qubits_.reserve_more(nq);
  clbits_.reserve_more(nc);
  links_.reserve_more(nq + nc);
  params_.reserve_until(params_end);
  if (customs != 0) {
    customs_.reserve(
        std::max(customs_.size() + customs, 2 * customs_.capacity()));
  }
  delays_.reserve_more(delays);

  // 3. The parameters, into the pool's spare room, and the custom gates.
  // Making them may throw; the DAG still shows nothing of them.
  std::uint64_t at = params_.size();
  source.each([&](const SourceOperation& op) {
    if (op.tag < kTagCustom) {
      const std::uint32_t n = num_params(op.tag);
      if (n != 0) {
        const std::uint64_t first = ParameterPool::start_of(at, n);
        source.make_params(op, params_.staged(first, n));
        at = first + n;
      }
    } else if (op.tag == kTagCustom) {
      made.push_back(source.make_custom(op));
    }
    return true;
  });

  // 4. The operations, in order; nothing below throws.
  at = params_.size();
  std::size_t custom = 0;
  source.each([&](const SourceOperation& op) {
    qubit_begin_.push_back(static_cast<std::uint32_t>(qubits_.size()));
    clbit_begin_.push_back(static_cast<std::uint32_t>(clbits_.size()));
    std::size_t k = 0;
    for (const QubitId q : op.qubits) {
      const QubitId id = renamed(q, qubit_map);
      qubits_.push_back(id);
      ends[k++] = qubit_wires_.find(id.index);
    }
    for (const ClbitId c : op.clbits) {
      const ClbitId id = renamed(c, clbit_map);
      clbits_.push_back(id);
      ends[k++] = clbit_wires_.find(id.index);
    }
    link(ends.data(), k);
    std::uint32_t extra = 0;
    if (op.tag < kTagCustom) {
      const std::uint32_t n = num_params(op.tag);
      if (n != 0) {
        const std::uint64_t first = ParameterPool::start_of(at, n);
        extra = static_cast<std::uint32_t>(first);
        at = first + n;
      }
    } else if (op.tag == kTagCustom) {
      extra = static_cast<std::uint32_t>(customs_.size());
      customs_.push_back(std::move(made[custom++]));
    } else if (op.tag == kTagDelay) {
      extra = static_cast<std::uint32_t>(delays_.size());
      delays_.push_back(op.duration);
    }
    tags_.push_back(op.tag);
    extra_.push_back(extra);
    return true;
  });
  params_.adopt_until(at);
  return {};
}

}  // namespace qelto::ir
