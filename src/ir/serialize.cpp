#include "ir/serialize.hpp"

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "ir/circuit_ops.hpp"
#include "ir/operation_batch.hpp"
#include "ir/parameter_eval.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;

constexpr std::string_view kTag{"QELTO\x01\x00", 7};

// The most bits of each kind a read may create. A register is a name and a
// size, so its bits cost no bytes of input; without a bound a few forged
// bytes could ask for billions of bits. A bit costs about a hundred bytes
// (its record, its wire nodes and edge), so 2^20 bits take about 100 MB:
// more than any real circuit holds, and a bound on what forged bytes cost.
constexpr std::uint64_t kMaxBits = std::uint64_t{1} << 20;

enum class Step : std::uint8_t { End, Qubits, Clbits, Operation };
enum class OpKind : std::uint8_t { Standard, Custom, Measure, Reset, Barrier, Delay };
enum class Node : std::uint8_t { Constant, Symbol, Pi, Neg, Add, Sub, Mul, Div };

class Writer {
 public:
  void byte(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  template <class E>
  void tag(E value) {
    byte(static_cast<std::uint8_t>(value));
  }
  void u32(std::uint32_t value) { little_endian(value); }
  void u64(std::uint64_t value) { little_endian(value); }
  void f64(double value) { u64(std::bit_cast<std::uint64_t>(value)); }
  void text(std::string_view value) {
    u32(static_cast<std::uint32_t>(value.size()));
    out_.append(value);
  }
  template <class Id>
  void ids(std::span<const Id> list) {
    u32(static_cast<std::uint32_t>(list.size()));
    for (const Id id : list) {
      u32(id.index);
    }
  }
  void parameter(const PE& expression);
  void operation(OperationRef operation);
  std::string take() { return std::move(out_); }

 private:
  template <class T>
  void little_endian(T value) {
    char bytes[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    out_.append(bytes, sizeof(T));
  }

  std::string out_;
};

Node node_kind(const PE& e) { return static_cast<Node>(e.index()); }

void Writer::parameter(const PE& expression) {
  // Most parameters are one constant or one symbol: no walk needed.
  if (const auto* c = expression.get_if<PE::Constant>()) {
    u32(1);
    tag(Node::Constant);
    f64(c->value);
    return;
  }
  if (const auto* s = expression.get_if<PE::Symbol>()) {
    u32(1);
    tag(Node::Symbol);
    text(s->name);
    return;
  }
  std::uint32_t count = 0;
  visit_post_order(expression, [&count](const PE&) { ++count; });
  u32(count);
  visit_post_order(expression, [this](const PE& node) {
    tag(node_kind(node));
    if (const auto* c = node.get_if<PE::Constant>()) {
      f64(c->value);
    } else if (const auto* s = node.get_if<PE::Symbol>()) {
      text(s->name);
    }
  });
}

void Writer::operation(OperationRef operation) {
  tag(Step::Operation);
  switch (operation.kind()) {
    case OperationKind::Gate:
      if (const auto standard = operation.standard_gate()) {
        tag(OpKind::Standard);
        tag(*standard);
      } else {
        const CustomGate* custom = operation.custom_gate();
        tag(OpKind::Custom);
        text(custom->name);
        u32(custom->num_qubits);
        u32(static_cast<std::uint32_t>(operation.parameters().size()));
      }
      for (const PE& p : operation.parameters()) {
        parameter(p);
      }
      break;
    case OperationKind::Measure:
      tag(OpKind::Measure);
      break;
    case OperationKind::Reset:
      tag(OpKind::Reset);
      break;
    case OperationKind::Barrier:
      tag(OpKind::Barrier);
      break;
    case OperationKind::Delay:
      tag(OpKind::Delay);
      u64(operation.delay_duration());
      break;
  }
  ids(operation.qubits());
  ids(operation.clbits());
}

// Reads the bytes front to back; every read checks the bytes left and
// records the first failure.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : rest_(bytes) {}

  bool failed() const { return error_.has_value(); }
  std::string error() const { return error_.value_or(""); }
  bool at_end() const { return rest_.empty(); }
  void fail(std::string message) {
    if (!error_) {
      error_ = std::move(message);
    }
  }

  bool literal(std::string_view expected) {
    if (rest_.substr(0, expected.size()) != expected) {
      fail("not a qelto circuit (unknown header)");
      return false;
    }
    rest_.remove_prefix(expected.size());
    return true;
  }
  std::uint8_t byte() { return little_endian<std::uint8_t>(); }
  std::uint32_t u32() { return little_endian<std::uint32_t>(); }
  std::uint64_t u64() { return little_endian<std::uint64_t>(); }
  double f64() { return std::bit_cast<double>(u64()); }
  std::string text() {
    const std::uint32_t size = u32();
    if (!has(size)) {
      return {};
    }
    std::string value(rest_.substr(0, size));
    rest_.remove_prefix(size);
    return value;
  }
  // A count of items each at least `item_bytes` long: refused when the bytes
  // left cannot hold them, so a forged count cannot reserve memory.
  std::optional<std::uint32_t> count(std::size_t item_bytes) {
    const std::uint32_t n = u32();
    if (failed() || !has(std::uint64_t{n} * item_bytes)) {
      return std::nullopt;
    }
    return n;
  }
  template <class Id>
  OperandList<Id> ids() {
    OperandList<Id> list;
    const auto n = count(4);
    for (std::uint32_t i = 0; n && i < *n; ++i) {
      list.push_back(Id{u32()});
    }
    return list;
  }
  // Reads one parameter onto the end of `out`; false when the bytes are
  // malformed.
  bool parameter(std::vector<PE>& out);
  // Reads one operation into `batch`; false when the bytes are malformed.
  bool operation(OperationBatch& batch);

 private:
  bool has(std::uint64_t size) {
    if (size > rest_.size()) {
      fail("truncated");
      return false;
    }
    return true;
  }
  template <class T>
  T little_endian() {
    if (!has(sizeof(T))) {
      return 0;
    }
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
      value |= static_cast<T>(static_cast<T>(static_cast<std::uint8_t>(rest_[i]))
                              << (8 * i));
    }
    rest_.remove_prefix(sizeof(T));
    return value;
  }

  std::string_view rest_;
  std::optional<std::string> error_;
  // The standard gate's parameters being read, kept between operations.
  std::vector<PE> params_;
};

template <class T>
std::optional<T> pop(std::vector<T>& stack) {
  if (stack.empty()) {
    return std::nullopt;
  }
  std::optional<T> value(std::move(stack.back()));
  stack.pop_back();
  return value;
}

bool Reader::parameter(std::vector<PE>& out) {
  const auto n = count(1);
  if (n == 1u) {
    // Most parameters are one constant or one symbol: read in place.
    const auto kind = static_cast<Node>(byte());
    switch (kind) {
      case Node::Constant:
        out.emplace_back(PE::Constant{f64()});
        break;
      case Node::Symbol:
        out.emplace_back(PE::Symbol{text()});
        break;
      case Node::Pi:
        out.emplace_back(PE::Pi{});
        break;
      default:
        fail(kind > Node::Div ? "unknown parameter node"
                              : "parameter operator without its operands");
        break;
    }
    return !failed();
  }
  std::vector<PE> stack;
  for (std::uint32_t i = 0; n && i < *n && !failed(); ++i) {
    const auto kind = static_cast<Node>(byte());
    switch (kind) {
      case Node::Constant:
        stack.push_back(PE::constant(f64()));
        continue;
      case Node::Symbol:
        stack.push_back(PE::symbol(text()));
        continue;
      case Node::Pi:
        stack.push_back(PE::pi());
        continue;
      default:
        break;
    }
    if (kind > Node::Div) {
      fail("unknown parameter node");
      break;
    }
    std::optional<PE> right =
        kind == Node::Neg ? std::optional<PE>(PE()) : pop(stack);
    std::optional<PE> left = pop(stack);
    if (!left || !right) {
      fail("parameter operator without its operands");
      break;
    }
    switch (kind) {
      case Node::Neg:
        stack.push_back(PE::neg(std::move(*left)));
        break;
      case Node::Add:
        stack.push_back(PE::add(std::move(*left), std::move(*right)));
        break;
      case Node::Sub:
        stack.push_back(PE::sub(std::move(*left), std::move(*right)));
        break;
      case Node::Mul:
        stack.push_back(PE::mul(std::move(*left), std::move(*right)));
        break;
      default:
        stack.push_back(PE::div(std::move(*left), std::move(*right)));
        break;
    }
  }
  if (failed()) {
    return false;
  }
  if (stack.size() != 1) {
    fail("a parameter is not one expression");
    return false;
  }
  out.push_back(std::move(stack.back()));
  return true;
}

bool Reader::operation(OperationBatch& batch) {
  const auto kind = static_cast<OpKind>(byte());
  params_.clear();
  std::optional<CustomGate> custom;
  std::uint8_t gate = 0;
  std::uint64_t duration = 0;
  switch (kind) {
    case OpKind::Standard: {
      gate = byte();
      if (gate >= StandardGate::kNumKinds) {
        fail("unknown gate");
        return false;
      }
      const auto gate_kind = static_cast<StandardGate::Kind>(gate);
      for (std::uint32_t i = 0; i < StandardGate::num_params(gate_kind); ++i) {
        if (!parameter(params_)) {
          return false;
        }
      }
      break;
    }
    case OpKind::Custom: {
      custom.emplace();
      custom->name = text();
      custom->num_qubits = u32();
      const auto n = count(4);
      for (std::uint32_t i = 0; n && i < *n; ++i) {
        if (!parameter(custom->params)) {
          return false;
        }
      }
      break;
    }
    case OpKind::Measure:
    case OpKind::Reset:
    case OpKind::Barrier:
      break;
    case OpKind::Delay:
      duration = u64();
      break;
    default:
      fail("unknown operation kind");
      return false;
  }
  const QubitList qubits = ids<QubitId>();
  const ClbitList clbits = ids<ClbitId>();
  if (failed()) {
    return false;
  }
  switch (kind) {
    case OpKind::Standard:
      batch.add_gate(static_cast<StandardGate::Kind>(gate), params_, qubits,
                     clbits);
      break;
    case OpKind::Custom:
      batch.add_custom(std::move(*custom), qubits, clbits);
      break;
    case OpKind::Measure:
      batch.add(OperationKind::Measure, qubits, clbits);
      break;
    case OpKind::Reset:
      batch.add(OperationKind::Reset, qubits, clbits);
      break;
    case OpKind::Barrier:
      batch.add(OperationKind::Barrier, qubits, clbits);
      break;
    default:
      batch.add_delay(duration, qubits, clbits);
      break;
  }
  return true;
}

// Reads one register or lone bit step into a circuit that has `existing`
// bits of the kind.
template <class Add, class AddRegister>
void read_bits(Reader& reader, std::uint64_t existing, Add add,
               AddRegister add_register) {
  const bool lone = reader.byte() == 0;
  if (reader.failed()) {
    return;
  }
  if (lone) {
    if (existing >= kMaxBits) {
      reader.fail("too many bits");
      return;
    }
    add();
    return;
  }
  const std::string name = reader.text();
  const std::uint32_t size = reader.u32();
  if (reader.failed()) {
    return;
  }
  if (size == 0) {
    reader.fail("empty register");
    return;
  }
  if (existing + size > kMaxBits) {
    reader.fail("too many bits");
    return;
  }
  add_register(name, size);
}

IrResult<Circuit> malformed(std::string message) {
  return std::unexpected(MalformedCircuitData{std::move(message)});
}

}  // namespace

std::string to_bytes(const Circuit& circuit) {
  Writer writer;
  for (char c : kTag) {
    writer.byte(static_cast<std::uint8_t>(c));
  }
  writer.text(circuit.name());
  for_each_creation_step(circuit, [&writer](const auto& step) {
    using S = std::decay_t<decltype(step)>;
    if constexpr (std::is_same_v<S, OperationRef>) {
      writer.operation(step);
    } else {
      writer.tag(std::is_same_v<S, QubitStep> ? Step::Qubits : Step::Clbits);
      writer.byte(step.register_name != nullptr ? 1 : 0);
      if (step.register_name != nullptr) {
        writer.text(*step.register_name);
        writer.u32(step.size);
      }
    }
  });
  writer.tag(Step::End);
  return writer.take();
}

IrResult<Circuit> from_bytes(std::string_view bytes) {
  Reader reader(bytes);
  if (!reader.literal(kTag)) {
    return malformed(reader.error());
  }
  Circuit circuit(reader.text());
  // Operations are gathered until bits are added or the bytes end, then
  // appended at once; the append checks them in order as applying each
  // would, so the first invalid one is reported, before anything malformed
  // that follows it.
  OperationBatch batch;
  while (!reader.failed()) {
    const auto step = static_cast<Step>(reader.byte());
    if (reader.failed() || step == Step::End) {
      break;
    }
    if (step == Step::Operation) {
      reader.operation(batch);
      continue;
    }
    if (auto appended = circuit.append(batch); !appended) {
      return malformed(to_string(appended.error()));
    }
    switch (step) {
      case Step::Qubits:
        read_bits(
            reader, circuit.num_qubits(), [&] { circuit.add_qubit(); },
            [&](const std::string& name, std::uint32_t size) {
              circuit.add_qreg(name, size);
            });
        break;
      case Step::Clbits:
        read_bits(
            reader, circuit.num_clbits(), [&] { circuit.add_clbit(); },
            [&](const std::string& name, std::uint32_t size) {
              circuit.add_creg(name, size);
            });
        break;
      default:
        reader.fail("unknown step");
        break;
    }
  }
  if (auto appended = circuit.append(batch); !appended) {
    return malformed(to_string(appended.error()));
  }
  if (reader.failed()) {
    return malformed(reader.error());
  }
  if (!reader.at_end()) {
    return malformed("bytes after the end");
  }
  return circuit;
}

}  // namespace qelto::ir
