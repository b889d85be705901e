#pragma once

// Test helper: compact text of instructions and expressions, so that
// expected operation lists read as tables ("h q0", "cx q0 q1",
// "measure q1 -> c1", "rz(0.5) q0").

#include <sstream>
#include <string>
#include <vector>

#include "ir/circuit.hpp"
#include "ir/dag.hpp"

namespace qelto::ir::testing {

inline std::string describe(const ParameterExpression& e) {
  using PE = ParameterExpression;
  std::ostringstream out;
  if (const auto* c = e.get_if<PE::Constant>()) {
    out << c->value;
  } else if (const auto* s = e.get_if<PE::Symbol>()) {
    out << s->name;
  } else if (e.get_if<PE::Pi>() != nullptr) {
    out << "pi";
  } else if (const auto* n = e.get_if<PE::Neg>()) {
    out << "-(" << describe(*n->operand) << ")";
  } else if (const auto* a = e.get_if<PE::Add>()) {
    out << "(" << describe(*a->left) << "+" << describe(*a->right) << ")";
  } else if (const auto* b = e.get_if<PE::Sub>()) {
    out << "(" << describe(*b->left) << "-" << describe(*b->right) << ")";
  } else if (const auto* m = e.get_if<PE::Mul>()) {
    out << "(" << describe(*m->left) << "*" << describe(*m->right) << ")";
  } else if (const auto* d = e.get_if<PE::Div>()) {
    out << "(" << describe(*d->left) << "/" << describe(*d->right) << ")";
  }
  return out.str();
}

inline std::string describe(const Instruction& inst) {
  std::ostringstream out;
  if (const Gate* g = inst.gate()) {
    out << g->name();
    auto params = g->parameters();
    if (!params.empty()) {
      out << "(";
      for (std::size_t i = 0; i < params.size(); ++i) {
        out << (i ? "," : "") << describe(params[i]);
      }
      out << ")";
    }
  } else if (std::holds_alternative<Measure>(inst.kind)) {
    out << "measure";
  } else if (std::holds_alternative<Reset>(inst.kind)) {
    out << "reset";
  } else if (std::holds_alternative<Barrier>(inst.kind)) {
    out << "barrier";
  } else if (const auto* d = std::get_if<Delay>(&inst.kind)) {
    out << "delay[" << d->duration << "]";
  }
  for (QubitId q : inst.qubits) {
    out << " q" << q.index;
  }
  if (!inst.clbits.empty()) {
    out << " ->";
    for (ClbitId c : inst.clbits) {
      out << " c" << c.index;
    }
  }
  return out.str();
}

inline std::vector<std::string> ops_of(const CircuitDag& dag) {
  std::vector<std::string> out;
  for (const OpRef& op : dag.topological_ops()) {
    out.push_back(describe(op.operation.to_instruction()));
  }
  return out;
}

inline std::vector<std::string> ops_of(const Circuit& c) {
  return ops_of(c.dag());
}

inline std::vector<std::uint32_t> indexes(const std::vector<NodeIndex>& v) {
  std::vector<std::uint32_t> out;
  for (NodeIndex n : v) {
    out.push_back(n.index);
  }
  return out;
}

}  // namespace qelto::ir::testing
