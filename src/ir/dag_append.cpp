// The store's own sources for bulk appends: a batch of gathered
// operations, and copies of another store's operations.
#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include "ir/dag.hpp"
#include "ir/dag_append.hpp"
#include "ir/dag_tags.hpp"
#include "ir/operation_batch.hpp"

namespace qelto::ir {
namespace {

using append_detail::num_params;

// Whether `map` takes each of the source's `wires` registered ids (all of
// them below map.size()) to distinct registered ids of the target. An empty
// map (no renaming) is not checked here, unless there is nothing to rename.
template <class Id, class InSource, class InTarget>
bool renames_validly(std::span<const Id> map, std::size_t wires,
                     InSource in_source, InTarget in_target) {
  if (map.empty()) {
    return wires == 0;
  }
  std::size_t covered = 0;
  std::vector<std::uint32_t> images;
  for (std::uint32_t i = 0; i < map.size(); ++i) {
    if (!in_source(Id{i})) {
      continue;
    }
    ++covered;
    if (!in_target(map[i])) {
      return false;
    }
    images.push_back(map[i].index);
  }
  std::sort(images.begin(), images.end());
  return covered == wires &&
         std::adjacent_find(images.begin(), images.end()) == images.end();
}

// The operations of a batch, in order; their parameters and custom gates
// are moved out.
class BatchSource {
 public:
  BatchSource(std::span<const std::uint8_t> tags,
              std::span<const std::uint32_t> qubit_end,
              std::span<const std::uint32_t> clbit_end,
              std::span<const QubitId> qubits, std::span<const ClbitId> clbits,
              std::span<ParameterExpression> params,
              std::span<std::unique_ptr<CustomGate>> customs,
              std::span<const std::uint64_t> delays)
      : tags_(tags),
        qubit_end_(qubit_end),
        clbit_end_(clbit_end),
        qubits_(qubits),
        clbits_(clbits),
        params_(params),
        customs_(customs),
        delays_(delays) {}

  static std::span<const QubitId> qubit_map() { return {}; }
  static std::span<const ClbitId> clbit_map() { return {}; }
  // Gathered operations are checked one by one.
  static bool valid_in(const CircuitDag&) { return false; }

  // Calls visit(SourceOperation) for each operation until it returns
  // false. For a standard gate `at` is its first parameter, for a custom
  // gate its record.
  template <class Visit>
  void each(Visit&& visit) const {
    std::size_t q = 0;
    std::size_t c = 0;
    std::size_t param = 0;
    std::size_t custom = 0;
    std::size_t delay = 0;
    for (std::size_t i = 0; i < tags_.size(); ++i) {
      const std::uint8_t tag = tags_[i];
      SourceOperation op{tag,
                         qubits_.subspan(q, qubit_end_[i] - q),
                         clbits_.subspan(c, clbit_end_[i] - c),
                         nullptr,
                         0,
                         0};
      if (tag < kTagCustom) {
        op.at = param;
        param += num_params(tag);
      } else if (tag == kTagCustom) {
        op.at = custom;
        op.custom = customs_[custom++].get();
      } else if (tag == kTagDelay) {
        op.duration = delays_[delay++];
      }
      if (!visit(op)) {
        return;
      }
      q = qubit_end_[i];
      c = clbit_end_[i];
    }
  }

  void make_params(const SourceOperation& op,
                   std::span<ParameterExpression> out) const noexcept {
    for (std::size_t i = 0; i < out.size(); ++i) {
      out[i] = std::move(params_[op.at + i]);
    }
  }
  std::unique_ptr<CustomGate> make_custom(
      const SourceOperation& op) const noexcept {
    return std::move(customs_[op.at]);
  }

 private:
  std::span<const std::uint8_t> tags_;
  std::span<const std::uint32_t> qubit_end_;
  std::span<const std::uint32_t> clbit_end_;
  std::span<const QubitId> qubits_;
  std::span<const ClbitId> clbits_;
  std::span<ParameterExpression> params_;
  std::span<std::unique_ptr<CustomGate>> customs_;
  std::span<const std::uint64_t> delays_;
};

// Copies of the operations a store held when the source was made, renamed
// through the maps, with parameters made by the parameter map. `at` is the
// operation's number.
class CopySource {
 public:
  CopySource(const CircuitDag& source, std::span<const QubitId> qubit_map,
             std::span<const ClbitId> clbit_map, const ParameterMap& map)
      : source_(source),
        count_(source.num_operations()),
        qubit_map_(qubit_map),
        clbit_map_(clbit_map),
        map_(map) {}

  std::span<const QubitId> qubit_map() const { return qubit_map_; }
  std::span<const ClbitId> clbit_map() const { return clbit_map_; }

  // Whether every renamed operation passes apply's checks in `target`
  // without looking at the operations: each was valid in the source (its
  // operands registered there and distinct), so it is valid in the target
  // when the renaming covers every wire of the source and takes distinct
  // wires to distinct wires of the target. Costs O(wires); false means
  // only that the operations need checking one by one.
  bool valid_in(const CircuitDag& target) const {
    if (&source_ == &target && qubit_map_.empty() && clbit_map_.empty()) {
      return true;
    }
    return renames_validly(
               qubit_map_, source_.num_qubit_wires(),
               [&](QubitId q) { return source_.qubit_input(q).has_value(); },
               [&](QubitId q) { return target.qubit_input(q).has_value(); }) &&
           renames_validly(
               clbit_map_, source_.num_clbit_wires(),
               [&](ClbitId c) { return source_.clbit_input(c).has_value(); },
               [&](ClbitId c) { return target.clbit_input(c).has_value(); });
  }

  template <class Visit>
  void each(Visit&& visit) const {
    for (std::size_t i = 0; i < count_; ++i) {
      const OperationRef stored = source_.operation(i);
      SourceOperation op{0, stored.qubits(), stored.clbits(), nullptr, 0, i};
      if (const auto standard = stored.standard_gate()) {
        op.tag = static_cast<std::uint8_t>(*standard);
      } else if (stored.kind() == OperationKind::Gate) {
        op.tag = kTagCustom;
        op.custom = stored.custom_gate();
      } else {
        op.tag = tag_of(stored.kind());
        if (op.tag == kTagDelay) {
          op.duration = stored.delay_duration();
        }
      }
      if (!visit(op)) {
        return;
      }
    }
  }

  void make_params(const SourceOperation& op,
                   std::span<ParameterExpression> out) const {
    const auto params = source_.operation(op.at).parameters();
    for (std::size_t i = 0; i < out.size(); ++i) {
      out[i] = made(params[i]);
    }
  }
  std::unique_ptr<CustomGate> make_custom(const SourceOperation& op) const {
    std::vector<ParameterExpression> params;
    params.reserve(op.custom->params.size());
    for (const ParameterExpression& p : op.custom->params) {
      params.push_back(made(p));
    }
    return std::make_unique<CustomGate>(CustomGate{
        op.custom->name, op.custom->num_qubits, std::move(params)});
  }

 private:
  ParameterExpression made(const ParameterExpression& p) const {
    return map_ ? map_(p) : p.clone();
  }

  const CircuitDag& source_;
  std::size_t count_;
  std::span<const QubitId> qubit_map_;
  std::span<const ClbitId> clbit_map_;
  const ParameterMap& map_;
};

}  // namespace

IrResult<void> CircuitDag::append(OperationBatch& batch) {
  BatchSource source(batch.tags_, batch.qubit_end_, batch.clbit_end_,
                     batch.qubits_, batch.clbits_, batch.params_,
                     batch.customs_, batch.delays_);
  IrResult<void> appended = append_from(source);
  if (appended) {
    batch.clear();
  }
  return appended;
}

IrResult<void> CircuitDag::append_copies(const CircuitDag& source,
                                         std::span<const QubitId> qubit_map,
                                         std::span<const ClbitId> clbit_map,
                                         const ParameterMap& map) {
  CopySource copies(source, qubit_map, clbit_map, map);
  return append_from(copies);
}

}  // namespace qelto::ir
