#include "ir/circuit.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace qelto::ir {
namespace {

using Kind = StandardGate::Kind;

// The 64-bit pi that qft divides by powers of two.
constexpr double kPi = 3.141592653589793;

// Room for `extra` more records, growing geometrically.
template <class T>
void reserve_more(std::vector<T>& v, std::size_t extra) {
  const std::size_t need = v.size() + extra;
  if (need > v.capacity()) {
    v.reserve(std::max(need, 2 * v.capacity()));
  }
}

// Ids next .. next + count - 1 must fit in 32 bits.
void check_id_room(std::uint32_t next, std::uint64_t count) {
  if (std::uint64_t{next} + count > (std::uint64_t{1} << 32)) {
    throw std::bad_alloc();
  }
}

}  // namespace

Circuit::Circuit(std::string_view name) : name_(name) {}

Circuit Circuit::empty(std::string_view name) { return Circuit(name); }

Circuit Circuit::clone() const { return clone(name_); }

Circuit Circuit::clone(std::string_view name) const {
  return clone(name, [](const ParameterExpression& p) { return p.clone(); });
}

Circuit Circuit::clone(std::string_view name, const ParameterMap& map) const {
  Circuit copy(name);
  copy.qubits_ = qubits_;
  copy.clbits_ = clbits_;
  copy.dag_ = dag_.clone(map);
  copy.next_qubit_ = next_qubit_;
  copy.next_clbit_ = next_clbit_;
  return copy;
}

Circuit Circuit::with_size(std::string_view name, std::uint32_t num_qubits,
                           std::uint32_t num_clbits) {
  Circuit c(name);
  c.qubits_.reserve(num_qubits);
  c.clbits_.reserve(num_clbits);
  c.dag_.reserve_wires(num_qubits, num_clbits);
  for (std::uint32_t i = 0; i < num_qubits; ++i) {
    c.add_qubit();
  }
  for (std::uint32_t i = 0; i < num_clbits; ++i) {
    c.add_clbit();
  }
  return c;
}

QubitId Circuit::add_qubit() {
  check_id_room(next_qubit_, 1);
  reserve_more(qubits_, 1);
  dag_.reserve_wires(1, 0);
  const QubitId id{next_qubit_};
  qubits_.push_back(QubitInfo{id, std::nullopt, std::nullopt});
  dag_.add_qubit(id);
  ++next_qubit_;
  return id;
}

ClbitId Circuit::add_clbit() {
  check_id_room(next_clbit_, 1);
  reserve_more(clbits_, 1);
  dag_.reserve_wires(0, 1);
  const ClbitId id{next_clbit_};
  clbits_.push_back(ClbitInfo{id, std::nullopt, std::nullopt});
  dag_.add_clbit(id);
  ++next_clbit_;
  return id;
}

namespace {

// add_qreg / add_creg: everything that can throw (the result list, the
// records with their register-name copies, the DAG capacity) happens
// before the DAG changes; a failure while making records removes them
// again, so the circuit is left as it was.
template <class Id, class Info, class AddWire>
std::vector<Id> add_register(std::string_view name, std::uint32_t size,
                             std::vector<Info>& records, std::uint32_t& next,
                             AddWire add_wire, CircuitDag& dag,
                             bool qubits) {
  if (size == 0) {
    return {};
  }
  check_id_room(next, size);
  std::vector<Id> ids;
  ids.reserve(size);
  reserve_more(records, size);
  if (qubits) {
    dag.reserve_wires(size, 0);
  } else {
    dag.reserve_wires(0, size);
  }
  const std::size_t old_size = records.size();
  try {
    for (std::uint32_t i = 0; i < size; ++i) {
      records.push_back(Info{Id{next + i}, std::string(name), i});
    }
  } catch (...) {
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(old_size),
                  records.end());
    throw;
  }
  for (std::uint32_t i = 0; i < size; ++i) {
    const Id id{next + i};
    add_wire(id);
    ids.push_back(id);
  }
  next += size;
  return ids;
}

}  // namespace

std::vector<QubitId> Circuit::add_qreg(std::string_view name,
                                       std::uint32_t size) {
  return add_register<QubitId>(
      name, size, qubits_, next_qubit_,
      [this](QubitId id) { dag_.add_qubit(id); }, dag_, true);
}

std::vector<ClbitId> Circuit::add_creg(std::string_view name,
                                       std::uint32_t size) {
  return add_register<ClbitId>(
      name, size, clbits_, next_clbit_,
      [this](ClbitId id) { dag_.add_clbit(id); }, dag_, false);
}

IrResult<NodeIndex> Circuit::apply(Instruction instruction) {
  return dag_.apply(std::move(instruction));
}

IrResult<void> Circuit::append(OperationBatch& batch) {
  return dag_.append(batch);
}

IrResult<void> Circuit::append_copies(const Circuit& other,
                                      std::span<const QubitId> qubit_map,
                                      std::span<const ClbitId> clbit_map,
                                      const ParameterMap& map) {
  return dag_.append_copies(other.dag_, qubit_map, clbit_map, map);
}

BuildResult Circuit::finish(IrResult<NodeIndex> applied) {
  if (!applied) {
    return BuildResult(std::unexpect, std::move(applied.error()));
  }
  return std::ref(*this);
}

#define QELTO_GATE(Enum, name, params, qubits, ...)                         \
  BuildResult Circuit::name(                                                \
      QELTO_PP_LIST_DECLS(ParameterExpression, params)                      \
          QELTO_PP_LIST_COMMA_IF(params)                                    \
              QELTO_PP_LIST_DECLS(QubitId, qubits)) {                       \
    return gate_on_qubits(                                                  \
        gate_of(Kind::Enum QELTO_PP_LIST_COMMA_IF(params)                   \
                    QELTO_PP_UNPAREN params),                               \
        QELTO_PP_UNPAREN qubits);                                           \
  }
#include "ir/gates.def"

BuildResult Circuit::measure(QubitId qubit, ClbitId clbit) {
  return finish(dag_.apply(Instruction{{qubit}, {clbit}, Measure{}}));
}

BuildResult Circuit::reset(QubitId qubit) {
  return finish(dag_.apply(Instruction{{qubit}, {}, Reset{}}));
}

BuildResult Circuit::delay(QubitId qubit, std::uint64_t duration) {
  return finish(dag_.apply(Instruction{{qubit}, {}, Delay{duration}}));
}

BuildResult Circuit::barrier_all() {
  QubitList all;
  for (const QubitInfo& q : qubits_) {
    all.push_back(q.id);
  }
  return finish(dag_.apply(Instruction{std::move(all), {}, Barrier{}}));
}

BuildResult Circuit::measure_all() {
  const std::size_t n = qubits_.size();
  const std::size_t missing = n > clbits_.size() ? n - clbits_.size() : 0;
  // The operand lists and the room for the new bits are made first, so an
  // allocation failure leaves the circuit untouched; the new bits' ids are
  // known in advance (next_clbit_, next_clbit_ + 1, ...).
  check_id_room(next_clbit_, missing);
  QubitList qubits;
  ClbitList clbits;
  for (std::size_t k = 0; k < n; ++k) {
    qubits.push_back(qubits_[k].id);
    clbits.push_back(k < clbits_.size()
                         ? clbits_[k].id
                         : ClbitId{static_cast<std::uint32_t>(
                               next_clbit_ + (k - clbits_.size()))});
  }
  reserve_more(clbits_, missing);
  dag_.reserve_wires(0, missing);
  for (std::size_t k = 0; k < missing; ++k) {
    add_clbit();
  }
  return finish(
      dag_.apply(Instruction{std::move(qubits), std::move(clbits), Measure{}}));
}

IrResult<Circuit> Circuit::bell() {
  Circuit c = with_size("bell", 2, 2);
  const QubitId q0{0};
  const QubitId q1{1};
  BuildResult r = c.h(q0);
  if (r) {
    r = c.cx(q0, q1);
  }
  if (r) {
    r = c.measure(q0, ClbitId{0});
  }
  if (r) {
    r = c.measure(q1, ClbitId{1});
  }
  if (!r) {
    return IrResult<Circuit>(std::unexpect, std::move(r.error()));
  }
  return c;
}

IrResult<Circuit> Circuit::ghz(std::uint32_t n) {
  if (n == 0) {
    return Circuit("ghz_0");
  }
  Circuit c = with_size("ghz", n, n);
  if (auto r = c.h(QubitId{0}); !r) {
    return IrResult<Circuit>(std::unexpect, std::move(r.error()));
  }
  for (std::uint32_t i = 1; i < n; ++i) {
    if (auto r = c.cx(QubitId{i - 1}, QubitId{i}); !r) {
      return IrResult<Circuit>(std::unexpect, std::move(r.error()));
    }
  }
  for (std::uint32_t j = 0; j < n; ++j) {
    if (auto r = c.measure(QubitId{j}, ClbitId{j}); !r) {
      return IrResult<Circuit>(std::unexpect, std::move(r.error()));
    }
  }
  return c;
}

IrResult<Circuit> Circuit::qft(std::uint32_t n) {
  if (n == 0) {
    return Circuit("qft_0");
  }
  Circuit c = with_size("qft", n, 0);
  for (std::uint32_t i = 0; i < n; ++i) {
    if (auto r = c.h(QubitId{i}); !r) {
      return IrResult<Circuit>(std::unexpect, std::move(r.error()));
    }
    for (std::uint32_t j = 1; j < n - i; ++j) {
      // pi / 2^j in floating point (0 once 2^j overflows to infinity).
      const double angle = kPi / std::pow(2.0, static_cast<double>(j));
      if (auto r = c.cp(ParameterExpression::constant(angle), QubitId{i + j},
                        QubitId{i});
          !r) {
        return IrResult<Circuit>(std::unexpect, std::move(r.error()));
      }
    }
  }
  for (std::uint32_t i = 0; i < n / 2; ++i) {
    if (auto r = c.swap(QubitId{i}, QubitId{n - 1 - i}); !r) {
      return IrResult<Circuit>(std::unexpect, std::move(r.error()));
    }
  }
  return c;
}

}  // namespace qelto::ir
