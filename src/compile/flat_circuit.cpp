#include "compile/flat_circuit.hpp"

#include <cassert>
#include <utility>
#include <variant>

namespace qelto::compile {
namespace {

using ir::ParameterExpression;
using Kind = ir::StandardGate::Kind;

constexpr double kPi = 3.141592653589793;

// The value of an angle, or the name of the first free parameter in it.
// Iterative (post-order with an explicit stack), since the reader can build
// expressions nested far deeper than the call stack allows.
std::expected<double, std::string> evaluate(const ParameterExpression& root) {
  struct Frame {
    const ParameterExpression* node;
    bool expanded;
  };
  std::vector<Frame> stack{{&root, false}};
  std::vector<double> values;
  while (!stack.empty()) {
    Frame& frame = stack.back();
    const ParameterExpression& e = *frame.node;
    if (const auto* c = e.get_if<ParameterExpression::Constant>()) {
      values.push_back(c->value);
      stack.pop_back();
      continue;
    }
    if (e.get_if<ParameterExpression::Pi>() != nullptr) {
      values.push_back(kPi);
      stack.pop_back();
      continue;
    }
    if (const auto* s = e.get_if<ParameterExpression::Symbol>()) {
      return std::unexpected(s->name);
    }
    if (const auto* n = e.get_if<ParameterExpression::Neg>()) {
      if (!frame.expanded) {
        frame.expanded = true;
        stack.push_back({n->operand.get(), false});
        continue;
      }
      values.back() = -values.back();
      stack.pop_back();
      continue;
    }
    // The four binary forms share their layout.
    const ParameterExpression* left = nullptr;
    const ParameterExpression* right = nullptr;
    std::visit(
        [&](const auto& node) {
          if constexpr (requires { node.left; }) {
            left = node.left.get();
            right = node.right.get();
          }
        },
        e.node());
    if (!frame.expanded) {
      frame.expanded = true;
      // Right pushed first, so the left operand is evaluated first.
      stack.push_back({right, false});
      stack.push_back({left, false});
      continue;
    }
    const double b = values.back();
    values.pop_back();
    double& a = values.back();
    switch (e.index()) {
      case 4:
        a += b;
        break;
      case 5:
        a -= b;
        break;
      case 6:
        a *= b;
        break;
      default:
        a /= b;
        break;
    }
    stack.pop_back();
  }
  return values.back();
}

CompileError unbound(std::string_view gate, const std::string& symbol) {
  return CompileError{CompileError::Kind::UnboundParameter,
                      "gate '" + std::string(gate) + "' uses parameter '" +
                          symbol + "', which has no value"};
}

// Splits a measure / reset / delay over several qubits into one operation
// per qubit.
void add_per_qubit(FlatCircuit& flat, OpCode code, const ir::Instruction& in,
                   std::uint64_t aux) {
  for (std::size_t i = 0; i < in.qubits.size(); ++i) {
    FlatOp op;
    op.code = code;
    op.num_qubits = 1;
    op.q[0] = in.qubits[i].index;
    if (code == OpCode::kMeasure) {
      // The reader never builds one, but the graph accepts a measurement
      // without its classical bit.
      op.aux = i < in.clbits.size() ? in.clbits[i].index : FlatOp::kNoClbit;
    } else {
      op.aux = aux;
    }
    flat.ops.push_back(op);
  }
}

void add_barrier(FlatCircuit& flat, const ir::Instruction& in) {
  FlatOp op;
  op.code = OpCode::kBarrier;
  if (in.qubits.size() <= FlatOp::kInline) {
    op.num_qubits = static_cast<std::uint8_t>(in.qubits.size());
    for (std::size_t i = 0; i < in.qubits.size(); ++i) {
      op.q[i] = in.qubits[i].index;
    }
  } else {
    op.num_qubits = FlatOp::kWide;
    op.q[0] = static_cast<std::uint32_t>(flat.wide_qubits.size());
    op.q[1] = static_cast<std::uint32_t>(in.qubits.size());
    for (const ir::QubitId q : in.qubits) {
      flat.wide_qubits.push_back(q.index);
    }
  }
  flat.ops.push_back(op);
}

std::expected<void, CompileError> add_gate(FlatCircuit& flat,
                                           const ir::Instruction& in,
                                           const ir::Gate& gate) {
  FlatOp op;
  op.num_qubits = static_cast<std::uint8_t>(in.qubits.size());
  for (std::size_t i = 0; i < in.qubits.size() && i < FlatOp::kInline;
       ++i) {
    op.q[i] = in.qubits[i].index;
  }
  if (const ir::StandardGate* standard = gate.standard()) {
    op.code = gate_code(standard->kind());
    const auto params = standard->parameters();
    for (std::size_t i = 0;
         i < params.size() && i < ir::StandardGate::kMaxParams; ++i) {
      auto value = evaluate(params[i]);
      if (!value) {
        return std::unexpected(unbound(standard->name(), value.error()));
      }
      op.params[i] = *value;
    }
    flat.ops.push_back(op);
    return {};
  }
  if (in.qubits.size() > FlatOp::kInline) {
    return std::unexpected(CompileError{
        CompileError::Kind::UnsupportedGate,
        "gate '" + std::string(gate.name()) + "' acts on " +
            std::to_string(in.qubits.size()) +
            " qubits and has no definition to unroll"});
  }
  op.code = OpCode::kCustom;
  op.aux = flat.customs.size();
  flat.customs.push_back(gate.custom()->clone());
  flat.ops.push_back(op);
  return {};
}

ir::Instruction to_instruction(const FlatCircuit& flat, const FlatOp& op) {
  ir::QubitList qubits;
  for (const std::uint32_t q : flat.qubits(op)) {
    qubits.push_back(ir::QubitId{q});
  }
  switch (op.code) {
    case OpCode::kMeasure: {
      ir::ClbitList clbits;
      if (op.aux != FlatOp::kNoClbit) {
        clbits.push_back(ir::ClbitId{static_cast<std::uint32_t>(op.aux)});
      }
      return ir::Instruction{std::move(qubits), std::move(clbits),
                             ir::Measure{}};
    }
    case OpCode::kReset:
      return ir::Instruction{std::move(qubits), {}, ir::Reset{}};
    case OpCode::kBarrier:
      return ir::Instruction{std::move(qubits), {}, ir::Barrier{}};
    case OpCode::kDelay:
      return ir::Instruction{std::move(qubits), {}, ir::Delay{op.aux}};
    case OpCode::kCustom:
      return ir::Instruction{std::move(qubits), {},
                             ir::Gate(flat.customs[op.aux].clone())};
    default:
      break;
  }
  const Kind kind = gate_kind(op.code);
  std::vector<ParameterExpression> params;
  for (std::uint32_t i = 0; i < ir::StandardGate::num_params(kind); ++i) {
    params.push_back(ParameterExpression::constant(op.params[i]));
  }
  auto gate = ir::StandardGate::make(kind, std::move(params));
  assert(gate && "parameter count comes from the catalogue");
  return ir::Instruction{std::move(qubits), {}, ir::Gate(std::move(*gate))};
}

}  // namespace

std::string_view FlatCircuit::op_name(const FlatOp& op) const {
  switch (op.code) {
    case OpCode::kMeasure:
      return "measure";
    case OpCode::kReset:
      return "reset";
    case OpCode::kBarrier:
      return "barrier";
    case OpCode::kDelay:
      return "delay";
    case OpCode::kCustom:
      return customs[op.aux].name;
    default:
      return ir::StandardGate::name(gate_kind(op.code));
  }
}

FlatCircuit FlatCircuit::empty_like() const {
  FlatCircuit out;
  out.name = name;
  out.num_qubits = num_qubits;
  out.num_clbits = num_clbits;
  for (const ir::CustomGate& c : customs) {
    out.customs.push_back(c.clone());
  }
  return out;
}

FlatOp make_gate(Kind kind, std::span<const std::uint32_t> qubits,
                 std::span<const double> params) {
  FlatOp op;
  op.code = gate_code(kind);
  op.num_qubits = static_cast<std::uint8_t>(qubits.size());
  for (std::size_t i = 0; i < qubits.size() && i < FlatOp::kInline; ++i) {
    op.q[i] = qubits[i];
  }
  for (std::size_t i = 0;
       i < params.size() && i < ir::StandardGate::kMaxParams; ++i) {
    op.params[i] = params[i];
  }
  return op;
}

CompileResult<FlatCircuit> flatten(const ir::Circuit& circuit) {
  FlatCircuit flat;
  flat.name = circuit.name();
  flat.num_qubits = static_cast<std::uint32_t>(circuit.num_qubits());
  flat.num_clbits = static_cast<std::uint32_t>(circuit.num_clbits());
  // Insertion order is an order that respects every wire, costs no graph
  // walk, and makes flatten(to_circuit(flat)) give `flat` back, so that
  // passes run one by one on circuits meet the same operations as inside
  // compile.
  const ir::CircuitDag& dag = circuit.dag();
  flat.ops.reserve(dag.num_operations());
  for (std::size_t i = 0; i < dag.num_operations(); ++i) {
    const ir::Instruction in = dag.operation(i).to_instruction();
    if (const ir::Gate* gate = in.gate()) {
      if (auto added = add_gate(flat, in, *gate); !added) {
        return std::unexpected(std::move(added.error()));
      }
      continue;
    }
    std::visit(
        [&](const auto& kind) {
          using K = std::decay_t<decltype(kind)>;
          if constexpr (std::is_same_v<K, ir::Measure>) {
            add_per_qubit(flat, OpCode::kMeasure, in, 0);
          } else if constexpr (std::is_same_v<K, ir::Reset>) {
            add_per_qubit(flat, OpCode::kReset, in, 0);
          } else if constexpr (std::is_same_v<K, ir::Delay>) {
            add_per_qubit(flat, OpCode::kDelay, in, kind.duration);
          } else if constexpr (std::is_same_v<K, ir::Barrier>) {
            add_barrier(flat, in);
          }
        },
        in.kind);
  }
  return flat;
}

ir::Circuit to_circuit(const FlatCircuit& flat) {
  ir::Circuit circuit =
      ir::Circuit::with_size(flat.name, flat.num_qubits, flat.num_clbits);
  circuit.reserve_operations(flat.ops.size(), 2 * flat.ops.size());
  for (const FlatOp& op : flat.ops) {
    auto applied = circuit.apply(to_instruction(flat, op));
    assert(applied && "passes produce only valid operations");
    (void)applied;
  }
  return circuit;
}

}  // namespace qelto::compile
