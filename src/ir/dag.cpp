#include "ir/dag.hpp"

#include <algorithm>
#include <cassert>
#include <string>
#include <unordered_set>
#include <utility>

#include "ir/dag_tags.hpp"

namespace qelto::ir {
namespace {

// Operand counts up to this are checked for repeats pairwise (no
// allocation); longer lists (measure_all, wide barriers) use a hash set.
constexpr std::size_t kPairwiseLimit = 16;

// Position of the first operand that repeats an earlier one, or nullopt.
template <class Id>
std::optional<std::size_t> first_repeat(std::span<const Id> ids) {
  const std::size_t n = ids.size();
  if (n <= kPairwiseLimit) {
    for (std::size_t i = 1; i < n; ++i) {
      for (std::size_t j = 0; j < i; ++j) {
        if (ids[j] == ids[i]) {
          return i;
        }
      }
    }
    return std::nullopt;
  }
  std::unordered_set<std::uint32_t> seen;
  seen.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!seen.insert(ids[i].index).second) {
      return i;
    }
  }
  return std::nullopt;
}

// The wire-map entries of an instruction's operands, found while
// validating and used while appending, so that each operand costs one hash
// lookup. Inline for small operand counts.
class EndsBuffer {
 public:
  explicit EndsBuffer(std::size_t n) : size_(n) {
    if (n > kInline) {
      heap_.resize(n);
    }
  }
  WireMap::Ends** data() noexcept {
    return size_ > kInline ? heap_.data() : inline_;
  }

 private:
  static constexpr std::size_t kInline = 8;
  std::size_t size_;
  WireMap::Ends* inline_[kInline] = {};
  std::vector<WireMap::Ends*> heap_;
};

}  // namespace

// Numbers handed out as node and slot numbers must stay below kNoIndex.
void CircuitDag::check_room(std::size_t used, std::size_t extra) {
  if (extra > kNoIndex || used > kNoIndex - extra) {
    throw std::bad_alloc();
  }
}

CircuitDag::CircuitDag() noexcept = default;
CircuitDag::~CircuitDag() = default;

CircuitDag::CircuitDag(CircuitDag&& other) noexcept : CircuitDag() {
  swap(other);
}

CircuitDag& CircuitDag::operator=(CircuitDag&& other) noexcept {
  if (this != &other) {
    CircuitDag taken(std::move(other));
    swap(taken);
  }
  return *this;
}

void CircuitDag::swap(CircuitDag& other) noexcept {
  std::swap(tags_, other.tags_);
  std::swap(qubit_begin_, other.qubit_begin_);
  std::swap(clbit_begin_, other.clbit_begin_);
  std::swap(extra_, other.extra_);
  std::swap(qubits_, other.qubits_);
  std::swap(clbits_, other.clbits_);
  std::swap(links_, other.links_);
  std::swap(params_, other.params_);
  std::swap(customs_, other.customs_);
  std::swap(delays_, other.delays_);
  std::swap(wires_, other.wires_);
  std::swap(runs_, other.runs_);
  std::swap(qubit_wires_, other.qubit_wires_);
  std::swap(clbit_wires_, other.clbit_wires_);
  std::swap(depth_, other.depth_);
}

CircuitDag CircuitDag::clone() const {
  return clone([](const ParameterExpression& p) { return p.clone(); });
}

CircuitDag CircuitDag::clone(const ParameterMap& map) const {
  CircuitDag copy;
  copy.tags_ = tags_.clone();
  copy.qubit_begin_ = qubit_begin_.clone();
  copy.clbit_begin_ = clbit_begin_.clone();
  copy.extra_ = extra_.clone();
  copy.qubits_ = qubits_.clone();
  copy.clbits_ = clbits_.clone();
  copy.links_ = links_.clone();
  copy.params_ = params_.clone(map);
  copy.customs_.reserve(customs_.size());
  for (const auto& custom : customs_) {
    std::vector<ParameterExpression> params;
    params.reserve(custom->params.size());
    for (const ParameterExpression& p : custom->params) {
      params.push_back(map(p));
    }
    copy.customs_.push_back(std::make_unique<CustomGate>(
        CustomGate{custom->name, custom->num_qubits, std::move(params)}));
  }
  copy.delays_ = delays_.clone();
  copy.wires_ = wires_.clone();
  copy.runs_ = runs_.clone();
  copy.qubit_wires_ = qubit_wires_.clone();
  copy.clbit_wires_ = clbit_wires_.clone();
  copy.depth_ = depth_;
  return copy;
}

void CircuitDag::add_qubit(QubitId qubit) { add_wire(qubit.index, false); }

void CircuitDag::add_clbit(ClbitId clbit) { add_wire(clbit.index, true); }

void CircuitDag::add_wire(std::uint32_t id, bool clbit) {
  WireMap& map = clbit ? clbit_wires_ : qubit_wires_;
  if (map.find(id) != nullptr) {
    return;
  }
  // Everything that can throw comes first; the additions below cannot.
  check_room(node_count(), 2);
  check_room(edge_count(), 1);
  wires_.reserve_more(1);
  runs_.reserve_more(1);
  map.reserve(map.size() + 1);
  const auto wire = static_cast<std::uint32_t>(wires_.size());
  const auto ops = static_cast<std::uint32_t>(tags_.size());
  wires_.push_back(
      WireRecord{id, static_cast<std::uint32_t>(node_count()), clbit});
  if (runs_.empty() || runs_[runs_.size() - 1].ops_before != ops) {
    runs_.push_back(WireRun{ops, wire + 1});
  } else {
    runs_[runs_.size() - 1].wires = wire + 1;
  }
  map.insert(id, WireMap::Ends{wire, WireMap::kNoSlot, 0});
}

void CircuitDag::reserve_wires(std::size_t qubits, std::size_t clbits) {
  wires_.reserve_more(qubits + clbits);
  runs_.reserve_more(1);
  qubit_wires_.reserve(qubit_wires_.size() + qubits);
  clbit_wires_.reserve(clbit_wires_.size() + clbits);
}

// A hint, usually given once with the final size: reserved exactly.
void CircuitDag::reserve_operations(std::size_t ops, std::size_t operands) {
  tags_.reserve_total(tags_.size() + ops);
  qubit_begin_.reserve_total(qubit_begin_.size() + ops);
  clbit_begin_.reserve_total(clbit_begin_.size() + ops);
  extra_.reserve_total(extra_.size() + ops);
  qubits_.reserve_total(qubits_.size() + operands);
  links_.reserve_total(links_.size() + operands);
}

void CircuitDag::reserve_one(std::size_t qubits, std::size_t clbits,
                             std::uint32_t params) {
  check_room(node_count(), 1);
  check_room(edge_count(), qubits + clbits);
  tags_.reserve_more(1);
  qubit_begin_.reserve_more(1);
  clbit_begin_.reserve_more(1);
  extra_.reserve_more(1);
  qubits_.reserve_more(qubits);
  clbits_.reserve_more(clbits);
  links_.reserve_more(qubits + clbits);
  if (params > 0) {
    params_.reserve(params);
  }
}

void CircuitDag::reserve_for(const Instruction& instruction,
                             [[maybe_unused]] std::size_t operands) {
  assert(operands == instruction.qubits.size() + instruction.clbits.size());
  const Gate* gate = instruction.gate();
  const StandardGate* standard = gate != nullptr ? gate->standard() : nullptr;
  reserve_one(instruction.qubits.size(), instruction.clbits.size(),
              standard != nullptr ? StandardGate::num_params(standard->kind())
                                  : 0);
  if (gate != nullptr && standard == nullptr) {
    if (customs_.size() == customs_.capacity()) {
      customs_.reserve(std::max<std::size_t>(4, 2 * customs_.size()));
    }
  } else if (std::holds_alternative<Delay>(instruction.kind)) {
    delays_.reserve_more(1);
  }
}

// Moves the instruction's kind into the side pools (room reserved by
// reserve_for); returns the tag and fills extra_.
std::uint32_t CircuitDag::store_kind(Instruction& instruction) noexcept {
  std::uint32_t extra = 0;
  std::uint8_t tag = 0;
  if (Gate* gate = std::get_if<Gate>(&instruction.kind)) {
    if (auto* custom = std::get_if<std::unique_ptr<CustomGate>>(&gate->kind)) {
      tag = kTagCustom;
      extra = static_cast<std::uint32_t>(customs_.size());
      customs_.push_back(std::move(*custom));
    } else {
      const StandardGate& standard = std::get<StandardGate>(gate->kind);
      tag = static_cast<std::uint8_t>(standard.kind());
      const std::span<const ParameterExpression> params =
          standard.parameters();
      if (!params.empty()) {
        // StandardGate lends its parameters read-only; they are not const
        // objects and the instruction is dropped after this, so they are
        // moved out instead of copied.
        extra = params_.place(std::span<ParameterExpression>(
            const_cast<ParameterExpression*>(params.data()), params.size()));
      }
    }
  } else if (const Delay* delay = std::get_if<Delay>(&instruction.kind)) {
    tag = kTagDelay;
    extra = static_cast<std::uint32_t>(delays_.size());
    delays_.push_back(delay->duration);
  } else {
    tag = tag_of(static_cast<OperationKind>(instruction.kind.index()));
  }
  tags_.push_back(tag);
  extra_.push_back(extra);
  return tag;
}

IrResult<void> CircuitDag::check(const OperandCheck& operation,
                                 WireMap::Ends** ends) {
  const std::span<const QubitId> qubits = operation.qubits;
  const std::span<const ClbitId> clbits = operation.clbits;
  const std::size_t nq = qubits.size();
  // Errors name a gate, and other kinds not at all.
  auto gate_name = [&operation]() -> std::optional<std::string> {
    if (operation.gate) {
      return std::string(operation.gate_name);
    }
    return std::nullopt;
  };
  // 1. Operand count of a gate.
  if (operation.gate && operation.gate_qubits != nq) {
    return std::unexpected(QubitCountMismatch{
        std::string(operation.gate_name), operation.gate_qubits,
        static_cast<std::uint32_t>(std::min<std::size_t>(nq, UINT32_MAX))});
  }
  // 2. Known qubits.
  for (std::size_t i = 0; i < nq; ++i) {
    WireMap::Ends* found = qubit_wires_.find(qubits[i].index);
    if (found == nullptr) {
      return std::unexpected(QubitNotFound{qubits[i], gate_name()});
    }
    if (ends != nullptr) {
      ends[i] = found;
    }
  }
  // 3. Known classical bits.
  for (std::size_t i = 0; i < clbits.size(); ++i) {
    WireMap::Ends* found = clbit_wires_.find(clbits[i].index);
    if (found == nullptr) {
      return std::unexpected(ClbitNotFound{clbits[i], gate_name()});
    }
    if (ends != nullptr) {
      ends[nq + i] = found;
    }
  }
  // 4. Distinct qubits.
  if (auto repeat = first_repeat(qubits)) {
    return std::unexpected(DuplicateQubit{qubits[*repeat], gate_name()});
  }
  // 5. Distinct classical bits (qelto's rule, see the header).
  if (auto repeat = first_repeat(clbits)) {
    return std::unexpected(
        InvalidDag{"Duplicate classical bit " + to_string(clbits[*repeat]) +
                   " in operation"});
  }
  return {};
}

std::uint32_t CircuitDag::link(WireMap::Ends* const* ends,
                               std::size_t count) noexcept {
  // The new operation's predecessors are exactly the last operations (or
  // WireIn nodes) of its wires, so its depth is one more than the deepest
  // of them; operations never gain predecessors later. Keeping the depth
  // of each wire's last operation therefore yields the longest-path depth.
  std::uint32_t node_depth = 0;
  for (std::size_t i = 0; i < count; ++i) {
    node_depth = std::max(node_depth, ends[i]->depth);
  }
  ++node_depth;
  const auto first = static_cast<std::uint32_t>(links_.size());
  for (std::size_t i = 0; i < count; ++i) {
    links_.push_back(ends[i]->last);
    ends[i]->last = first + static_cast<std::uint32_t>(i);
    ends[i]->depth = node_depth;
  }
  depth_ = std::max(depth_, node_depth);
  return node_depth;
}

IrResult<NodeIndex> CircuitDag::apply(Instruction instruction) {
  const QubitList& qubits = instruction.qubits;
  const ClbitList& clbits = instruction.clbits;
  const std::size_t nq = qubits.size();
  const std::size_t nc = clbits.size();
  const Gate* gate = instruction.gate();
  EndsBuffer ends(nq + nc);
  if (auto checked = check(
          OperandCheck{gate != nullptr,
                       gate != nullptr ? gate->name() : std::string_view(),
                       gate != nullptr ? gate->num_qubits() : 0,
                       std::span<const QubitId>(qubits.data(), nq),
                       std::span<const ClbitId>(clbits.data(), nc)},
          ends.data());
      !checked) {
    return std::unexpected(std::move(checked.error()));
  }

  // All allocation happens here, before the first change.
  reserve_for(instruction, nq + nc);

  qubit_begin_.push_back(static_cast<std::uint32_t>(qubits_.size()));
  clbit_begin_.push_back(static_cast<std::uint32_t>(clbits_.size()));
  qubits_.append(qubits.data(), nq);
  clbits_.append(clbits.data(), nc);
  link(ends.data(), nq + nc);
  store_kind(instruction);
  return NodeIndex{static_cast<std::uint32_t>(node_count() - 1)};
}

IrResult<NodeIndex> CircuitDag::apply_gate(
    StandardGate::Kind kind, std::span<const QubitId> qubits,
    std::span<ParameterExpression> params) {
  assert(params.size() == StandardGate::num_params(kind) &&
         "a catalogue gate takes its own parameter count");
  const std::size_t nq = qubits.size();
  EndsBuffer ends(nq);
  if (auto checked = check(OperandCheck{true, StandardGate::name(kind),
                                        StandardGate::num_qubits(kind),
                                        qubits, {}},
                           ends.data());
      !checked) {
    return std::unexpected(std::move(checked.error()));
  }
  // All allocation happens here, before the first change.
  reserve_one(nq, 0, static_cast<std::uint32_t>(params.size()));
  // The rest is apply's, for a gate without classical operands.
  qubit_begin_.push_back(static_cast<std::uint32_t>(qubits_.size()));
  clbit_begin_.push_back(static_cast<std::uint32_t>(clbits_.size()));
  qubits_.append(qubits.data(), nq);
  link(ends.data(), nq);
  tags_.push_back(static_cast<std::uint8_t>(kind));
  extra_.push_back(params.empty() ? 0 : params_.place(params));
  return NodeIndex{static_cast<std::uint32_t>(node_count() - 1)};
}

}  // namespace qelto::ir
