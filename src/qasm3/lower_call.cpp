// Gate calls: finding the gate a call names, broadcasting it over
// registers, and applying it.
#include <algorithm>
#include <string>
#include <utility>

#include "qasm3/lower.hpp"

namespace qelto::qasm3 {
namespace {

ParseResult<void> applied(const ir::IrResult<ir::NodeIndex>& result) {
  if (!result) {
    return std::unexpected(to_parse_error(result.error()));
  }
  return {};
}

}  // namespace

std::string_view Lowerer::Callee::name() const {
  if (definition != nullptr) {
    return definition->tree.statements[definition->statement].name;
  }
  return gate.check_name;
}

std::uint32_t Lowerer::Callee::params() const {
  return definition != nullptr
             ? static_cast<std::uint32_t>(definition->params.size())
             : gate.params;
}

std::uint32_t Lowerer::Callee::qubits() const {
  return definition != nullptr
             ? static_cast<std::uint32_t>(definition->qubits.size())
             : gate.qubits;
}

ParseResult<Lowerer::Callee> Lowerer::find_callee(
    std::string_view name) const {
  // Most programs define no gates; they skip hashing every call's name.
  if (!definitions_.empty()) {
    if (auto found = definitions_.find(name); found != definitions_.end()) {
      return Callee{&found->second, {}};
    }
  }
  if (auto gate = find_catalogue_gate(name)) {
    if (gate->kind == ir::StandardGate::Kind::Id) {
      gate->applied = options_.keep_identity;
    }
    return Callee{nullptr, *gate};
  }
  return std::unexpected(unknown_gate(name));
}

ParseResult<void> Lowerer::resolve_arguments(const SyntaxTree& tree,
                                             SyntaxRange refs) {
  arguments_.clear();
  arguments_total_ = 0;
  for (std::uint32_t i = 0; i < refs.count; ++i) {
    qubits_.clear();
    if (auto q = resolve_qubits(tree, SyntaxRange{refs.first + i, 1}, qubits_);
        !q) {
      return q;
    }
    const bool whole = !tree.refs[refs.first + i].index;
    const auto size = static_cast<std::uint32_t>(qubits_.size());
    const std::uint32_t first = size == 0 ? 0 : qubits_.runs().front().first;
    arguments_.push_back(Argument{first, size, whole});
    arguments_total_ += size;
  }
  return {};
}

// A gate of one qubit applies to every qubit its arguments name, in order.
// A wider gate applies once when its arguments name exactly as many qubits
// as it takes; otherwise, given one argument per qubit, it applies once per
// position of the registers among them, which must be of one size, with
// the single qubits repeated.
ParseResult<std::uint64_t> Lowerer::applications(const Callee& callee,
                                                 std::uint64_t params) const {
  if (auto counted = check_param_count(callee.name(), params, callee.params());
      !counted) {
    return std::unexpected(std::move(counted.error()));
  }
  const std::uint64_t total = arguments_total_;
  if (callee.qubits() == 1) {
    return total;
  }
  if (total == callee.qubits()) {
    return 1;
  }
  if (arguments_.size() != callee.qubits()) {
    if (auto counted = check_qubit_count(callee.name(), total, callee.qubits());
        !counted) {
      return std::unexpected(std::move(counted.error()));
    }
  }
  std::optional<std::uint32_t> width;
  for (const Argument& argument : arguments_) {
    if (!argument.whole || argument.count == 1) {
      continue;
    }
    if (width && *width != argument.count) {
      return std::unexpected(Other{
          "Registers of different sizes (" + std::to_string(*width) + " and " +
          std::to_string(argument.count) + ") in one call of '" +
          std::string(callee.name()) + "'"});
    }
    width = argument.count;
  }
  return width.value_or(1);
}

void Lowerer::operands(const Callee& callee, std::uint64_t i,
                       std::vector<ir::QubitId>& out) const {
  out.clear();
  const std::uint64_t total = arguments_total_;
  if (callee.qubits() == 1) {
    for (const Argument& argument : arguments_) {
      if (i < argument.count) {
        out.push_back(
            ir::QubitId{argument.first + static_cast<std::uint32_t>(i)});
        return;
      }
      i -= argument.count;
    }
    return;
  }
  for (const Argument& argument : arguments_) {
    if (total == callee.qubits()) {
      for (std::uint32_t k = 0; k < argument.count; ++k) {
        out.push_back(ir::QubitId{argument.first + k});
      }
      continue;
    }
    const bool spread = argument.whole && argument.count != 1;
    out.push_back(ir::QubitId{
        argument.first + (spread ? static_cast<std::uint32_t>(i) : 0)});
  }
}

ParseResult<void> Lowerer::apply(ir::Circuit& circuit, const Callee& callee,
                                 std::vector<ir::ParameterExpression>& params,
                                 std::span<const ir::QubitId> qubits,
                                 bool last) {
  if (callee.definition != nullptr) {
    std::vector<ir::ParameterExpression> bound;
    bound.reserve(params.size());
    for (auto& param : params) {
      bound.push_back(last ? std::move(param) : param.clone());
    }
    return expand(circuit, *callee.definition, std::move(bound),
                  std::vector<ir::QubitId>(qubits.begin(), qubits.end()));
  }
  if (!callee.gate.applied) {
    return {};
  }
  CatalogueParams made;
  return applied(circuit.apply_gate(
      callee.gate.kind, qubits,
      make_catalogue_params(callee.gate, params, last, made)));
}

// Qubit references, then parameters, then the name, then the counts: the
// first failure in that order is the one reported.
ParseResult<void> Lowerer::lower_gate(ir::Circuit& circuit,
                                      const SyntaxTree& tree,
                                      const SyntaxStmt& call) {
  if (auto q = resolve_arguments(tree, call.qubits); !q) {
    return q;
  }
  std::vector<ir::ParameterExpression>& params = params_;
  if (auto converted = params_to_list(tree, call.params, {}, params);
      !converted) {
    return converted;
  }
  auto callee = find_callee(call.name);
  if (!callee) {
    return std::unexpected(std::move(callee.error()));
  }
  auto times = applications(*callee, params.size());
  if (!times) {
    return std::unexpected(std::move(times.error()));
  }
  if (callee->definition != nullptr) {
    const std::uint64_t cost = callee->definition->expansion_cost();
    if (*times > kMaxExpandedOperations / cost ||
        expanded_ + cost * *times > kMaxExpandedOperations) {
      return std::unexpected(Other{
          "Gate definitions expand to more than " +
          std::to_string(kMaxExpandedOperations) + " operations"});
    }
    expanded_ += cost * *times;
  }
  // Counted before any of the call is built, whatever its width. Every
  // operation made keeps its own copy of an angle that stays an expression,
  // so such a call counts once more per node of its angles: a long
  // expression broadcast over a wide register is as costly as that many
  // operations. A catalogue gate given plain numbers holds no expression.
  const bool symbolic = std::any_of(
      params.begin(), params.end(), [](const ir::ParameterExpression& p) {
        return p.get_if<ir::ParameterExpression::Constant>() == nullptr &&
               p.get_if<ir::ParameterExpression::Pi>() == nullptr;
      });
  std::uint64_t each = weight_base(*callee);
  if (callee->definition != nullptr) {
    sizes_.clear();
    for (const ir::ParameterExpression& p : params) {
      sizes_.push_back(angle_size(p));
    }
    each = call_weight(*callee, sizes_);
  } else if (symbolic && each != 0) {
    // The statement's syntax holds at least as many nodes as its angles.
    each += tree.expressions.size();
  }
  if (auto counted = count_operations(each, *times); !counted) {
    return counted;
  }
  if (callee->definition == nullptr && !callee->gate.applied) {
    // Dropped however wide the broadcast, at no cost per qubit.
    return {};
  }
  for (std::uint64_t i = 0; i < *times; ++i) {
    operands(*callee, i, operands_);
    if (auto done = apply(circuit, *callee, params, operands_, i + 1 == *times);
        !done) {
      return done;
    }
  }
  return {};
}

}  // namespace qelto::qasm3
