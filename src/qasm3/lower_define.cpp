// Gate definitions: recording them, and expanding their calls into the
// catalogue gates of their bodies.
#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "qasm3/lower.hpp"

namespace qelto::qasm3 {
namespace {

// Positions of names, the first of each where a name repeats.
std::unordered_map<std::string_view, std::uint32_t> positions(
    std::span<const std::string_view> names) {
  std::unordered_map<std::string_view, std::uint32_t> found;
  found.reserve(names.size());
  for (std::uint32_t i = 0; i < names.size(); ++i) {
    found.emplace(names[i], i);
  }
  return found;
}

// Per element of `items`, the position its name has in `names`, or
// Bindings::kUnbound; `named` tells which elements name something.
template <class Item, class Named>
std::vector<std::uint32_t> slots(std::span<const Item> items,
                                 std::span<const std::string_view> names,
                                 Named named) {
  std::vector<std::uint32_t> found(items.size(), Bindings::kUnbound);
  if (names.empty()) {
    return found;
  }
  const auto position = positions(names);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (named(items[i])) {
      if (const auto it = position.find(items[i].name); it != position.end()) {
        found[i] = it->second;
      }
    }
  }
  return found;
}

std::uint64_t saturated(std::uint64_t value) {
  return std::min(value, kMaxExpandedOperations + 1);
}

// Weights saturate far above any limit on operations, so that sums of
// them stay within 64 bits.
std::uint64_t saturated_weight(std::uint64_t value) {
  return std::min(value, std::uint64_t{1} << 40);
}

std::uint64_t weight_product(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) {
    return saturated_weight(std::numeric_limits<std::uint64_t>::max());
  }
  return saturated_weight(product);
}

// Saturated a + b * c, for weights.
std::uint64_t add_product(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  return saturated_weight(a + weight_product(b, c));
}

// The nodes of one angle written in a definition's body: each use of one
// of the definition's parameters (by its position; each becomes a copy of
// the angle a call gives), and the count of all the others. Counted with
// an explicit stack, as the tree may be as tall as its text.
struct AngleNodes {
  std::uint64_t others = 0;
  std::vector<std::size_t> uses;
};

AngleNodes angle_nodes(const SyntaxTree& tree, std::uint32_t root,
                       std::span<const std::uint32_t> param_slots) {
  AngleNodes nodes;
  std::vector<std::uint32_t> pending{root};
  while (!pending.empty()) {
    const std::uint32_t node = pending.back();
    const SyntaxExpr& e = tree.expressions[node];
    pending.pop_back();
    switch (e.kind) {
      case SyntaxExprKind::Identifier:
        if (param_slots[node] != Bindings::kUnbound) {
          nodes.uses.push_back(param_slots[node]);
        } else {
          ++nodes.others;
        }
        break;
      case SyntaxExprKind::Neg:
      case SyntaxExprKind::Paren:
        ++nodes.others;
        pending.push_back(e.left);
        break;
      case SyntaxExprKind::BinOp:
        ++nodes.others;
        pending.push_back(e.left);
        pending.push_back(e.right);
        break;
      case SyntaxExprKind::FnCall:
        ++nodes.others;
        for (std::uint32_t i = 0; i < e.args.count; ++i) {
          pending.push_back(tree.expression_lists[e.args.first + i]);
        }
        break;
      default:
        ++nodes.others;
        break;
    }
  }
  return nodes;
}

const SyntaxStmt& body_statement(const SyntaxTree& tree, SyntaxRange body,
                                 std::uint32_t i) {
  return tree.statements[tree.statement_lists[body.first + i]];
}

}  // namespace

void Lowerer::forget_definitions() {
  definitions_.clear();
  expanded_ = 0;
  operations_ = 0;
}

// A definition matching a catalogue gate in name and counts is that gate
// (other writers define the gates some readers lack), so its body is not
// read; any other definition is kept to be expanded at each call.
ParseResult<void> Lowerer::define(const SyntaxTree& tree,
                                  const SyntaxStmt& statement) {
  const SyntaxDetail& detail = tree.details[statement.detail];
  if (auto gate = find_catalogue_gate(statement.name);
      gate && gate->params == detail.gate_params.count &&
      gate->qubits == detail.gate_qubits.count) {
    return {};
  }
  if (definitions_.contains(statement.name)) {
    return std::unexpected(DuplicateDeclaration{std::string(statement.name)});
  }
  Definition definition;
  definition.tree = tree;
  definition.statement =
      static_cast<std::uint32_t>(&statement - tree.statements.data());
  const auto names = [&](SyntaxRange range) {
    return std::vector<std::string_view>(
        tree.names.begin() + range.first,
        tree.names.begin() + range.first + range.count);
  };
  definition.params = names(detail.gate_params);
  definition.qubits = names(detail.gate_qubits);
  definition.weight_per_param.assign(definition.params.size(), 0);
  definition.param_slots = slots(
      std::span<const SyntaxExpr>(tree.expressions), definition.params,
      [](const SyntaxExpr& e) { return e.kind == SyntaxExprKind::Identifier; });
  definition.qubit_slots =
      slots(std::span<const SyntaxRef>(tree.refs), definition.qubits,
            [](const SyntaxRef&) { return true; });
  if (auto checked = check_body(definition); !checked) {
    return checked;
  }
  definitions_.emplace(std::string(statement.name), std::move(definition));
  return {};
}

// Every statement of a body is a barrier or a call of a catalogue gate or an
// earlier definition, on the definition's qubit names, with the counts the
// callee takes. Sums the operations one call expands to and the depth.
ParseResult<void> Lowerer::check_body(Definition& definition) const {
  const SyntaxTree& tree = definition.tree;
  const SyntaxRange body =
      tree.details[tree.statements[definition.statement].detail].body;
  for (std::uint32_t i = 0; i < body.count; ++i) {
    const SyntaxStmt& statement = body_statement(tree, body, i);
    if (statement.kind != SyntaxStmtKind::GateCall &&
        statement.kind != SyntaxStmtKind::Barrier) {
      return std::unexpected(
          Other{"Only gate calls and barriers are supported in a gate body"});
    }
    for (std::uint32_t r = 0; r < statement.qubits.count; ++r) {
      const SyntaxRef& ref = tree.refs[statement.qubits.first + r];
      if (ref.index || definition.qubit_slots[statement.qubits.first + r] ==
                           Bindings::kUnbound) {
        return std::unexpected(UndefinedIdentifier{std::string(ref.name)});
      }
    }
    if (statement.kind == SyntaxStmtKind::Barrier) {
      // A barrier naming no qubit fences every qubit of the definition.
      const std::uint64_t fenced = statement.qubits.count != 0
                                       ? statement.qubits.count
                                       : definition.qubits.size();
      definition.operations = saturated(definition.operations + 1);
      definition.weight_base =
          saturated_weight(definition.weight_base + fenced);
      continue;
    }
    auto callee = find_callee(statement.name);
    if (!callee) {
      return std::unexpected(std::move(callee.error()));
    }
    if (auto counted = check_param_count(callee->name(), statement.params.count,
                                         callee->params());
        !counted) {
      return counted;
    }
    std::uint64_t times = statement.qubits.count;
    if (callee->qubits() != 1) {
      if (auto counted = check_qubit_count(
              callee->name(), statement.qubits.count, callee->qubits());
          !counted) {
        return counted;
      }
      times = 1;
    }
    const std::uint64_t cost =
        callee->definition != nullptr ? callee->definition->expansion_cost()
                                      : (callee->gate.applied ? 1 : 0);
    definition.operations = saturated(definition.operations + times * cost);
    add_call_weight(definition, *callee, statement, times);
    if (callee->definition != nullptr) {
      definition.depth =
          std::max(definition.depth, callee->definition->depth + 1);
    }
  }
  if (definition.depth > kMaxGateDepth) {
    return std::unexpected(Other{"Gate definitions nested deeper than " +
                                 std::to_string(kMaxGateDepth) +
                                 " levels are not supported"});
  }
  return {};
}

// A call of a definition counts once itself and holds a copy of each angle
// given until its body is expanded; a catalogue gate holds its own copy of
// each angle.
std::uint64_t Lowerer::weight_base(const Callee& callee) {
  if (callee.definition != nullptr) {
    return saturated_weight(callee.definition->weight_base + 1);
  }
  return callee.gate.applied ? 1 : 0;
}

std::uint64_t Lowerer::weight_per_node(const Callee& callee,
                                       std::size_t param) {
  if (callee.definition != nullptr) {
    return saturated_weight(callee.definition->weight_per_param[param] + 1);
  }
  return callee.gate.applied ? 1 : 0;
}

std::uint64_t Lowerer::call_weight(const Callee& callee,
                                   std::span<const std::uint64_t> sizes) {
  std::uint64_t weight = weight_base(callee);
  for (std::size_t j = 0; j < sizes.size(); ++j) {
    weight = add_product(weight, weight_per_node(callee, j), sizes[j]);
  }
  return weight;
}

// Angle j of `statement` has `others` nodes plus a copy of the angle given
// to one of `definition`'s parameters at each use; put into the callee's
// weight, base + sum of per_node(j) * size(angle j), that adds to the
// definition's base and to its factor per node of each parameter used.
void Lowerer::add_call_weight(Definition& definition, const Callee& callee,
                              const SyntaxStmt& statement,
                              std::uint64_t times) {
  const SyntaxTree& tree = definition.tree;
  std::uint64_t base = weight_base(callee);
  for (std::uint32_t j = 0; j < statement.params.count; ++j) {
    const AngleNodes nodes =
        angle_nodes(tree, tree.expression_lists[statement.params.first + j],
                    definition.param_slots);
    const std::uint64_t per_node = weight_per_node(callee, j);
    base = add_product(base, per_node, nodes.others);
    for (const std::size_t i : nodes.uses) {
      definition.weight_per_param[i] =
          add_product(definition.weight_per_param[i], per_node, times);
    }
  }
  definition.weight_base = add_product(definition.weight_base, base, times);
}

// Iterative, on a stack of the calls being expanded. The definition was
// checked when recorded and the operations counted against the limit, so
// only parameters (whose values are known only now) and the circuit can
// fail.
ParseResult<void> Lowerer::expand(ir::Circuit& circuit,
                                  const Definition& definition,
                                  std::vector<ir::ParameterExpression> params,
                                  std::vector<ir::QubitId> qubits) {
  struct Frame {
    const Definition* definition;
    std::uint32_t next;
    std::vector<ir::ParameterExpression> params;
    std::vector<ir::QubitId> qubits;
  };
  std::vector<Frame> stack;
  stack.push_back(Frame{&definition, 0, std::move(params), std::move(qubits)});
  std::vector<ir::ParameterExpression> call_params;
  std::vector<ir::QubitId> call_qubits;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const Definition& current = *frame.definition;
    const SyntaxTree& tree = current.tree;
    const SyntaxRange body =
        tree.details[tree.statements[current.statement].detail].body;
    if (frame.next == body.count) {
      stack.pop_back();
      continue;
    }
    const SyntaxStmt& statement = body_statement(tree, body, frame.next++);
    call_qubits.clear();
    for (std::uint32_t r = 0; r < statement.qubits.count; ++r) {
      call_qubits.push_back(
          frame.qubits[current.qubit_slots[statement.qubits.first + r]]);
    }
    if (statement.kind == SyntaxStmtKind::Barrier) {
      const auto& fenced = call_qubits.empty() ? frame.qubits : call_qubits;
      auto fence = circuit.apply(ir::Instruction{
          ir::QubitList(fenced), {}, ir::Barrier{}});
      if (!fence) {
        return std::unexpected(to_parse_error(fence.error()));
      }
      continue;
    }
    if (auto converted =
            params_to_list(tree, statement.params,
                           Bindings{current.param_slots, frame.params}, call_params);
        !converted) {
      return converted;
    }
    auto callee = find_callee(statement.name);
    if (!callee) {
      return std::unexpected(std::move(callee.error()));
    }
    // One application per qubit for a one-qubit gate, else one on all.
    const std::size_t times = callee->qubits() == 1 ? call_qubits.size() : 1;
    if (callee->definition == nullptr) {
      for (std::size_t t = 0; t < times; ++t) {
        const auto operands =
            times == 1 ? std::span<const ir::QubitId>(call_qubits)
                       : std::span<const ir::QubitId>(&call_qubits[t], 1);
        if (auto done = apply(circuit, *callee, call_params, operands,
                              t + 1 == times);
            !done) {
          return done;
        }
      }
      continue;
    }
    // Pushed last first, so that the first application runs first.
    for (std::size_t t = times; t-- > 0;) {
      std::vector<ir::ParameterExpression> bound;
      bound.reserve(call_params.size());
      for (auto& param : call_params) {
        bound.push_back(t == 0 ? std::move(param) : param.clone());
      }
      std::vector<ir::QubitId> operands =
          times == 1 ? call_qubits
                     : std::vector<ir::QubitId>{call_qubits[t]};
      stack.push_back(Frame{callee->definition, 0, std::move(bound),
                            std::move(operands)});
    }
  }
  return {};
}

}  // namespace qelto::qasm3
