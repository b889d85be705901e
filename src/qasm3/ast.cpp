#include "qasm3/ast.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <type_traits>
#include <utility>

namespace qelto::qasm3 {
namespace {

constexpr std::array<std::string_view, 19> kBinOpNames = {
    "Add",    "Sub",   "Mul",    "Div",    "Mod",    "Pow", "Eq",
    "NotEq",  "Lt",    "LtEq",   "Gt",     "GtEq",   "And", "Or",
    "BitAnd", "BitOr", "BitXor", "LShift", "RShift",
};

constexpr double kPi = 3.141592653589793;
constexpr double kTau = 6.283185307179586;
constexpr double kEuler = 2.718281828459045;

// Quotes and escapes a text the way the derived debug form does.
std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          std::array<char, 12> buf{};
          std::snprintf(buf.data(), buf.size(), "\\u{%x}",
                        static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += buf.data();
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string chars(double value, std::chars_format format) {
  std::array<char, 64> buf{};
  auto [end, ec] =
      std::to_chars(buf.data(), buf.data() + buf.size(), value, format);
  return std::string(buf.data(), end);
}

// "1e+16" -> "1e16", "1.5e-07" -> "1.5e-7".
std::string tidy_exponent(std::string text) {
  auto e = text.find('e');
  std::string mantissa = text.substr(0, e);
  std::string_view exponent = std::string_view(text).substr(e + 1);
  bool negative = exponent.front() == '-';
  if (exponent.front() == '+' || negative) {
    exponent.remove_prefix(1);
  }
  while (exponent.size() > 1 && exponent.front() == '0') {
    exponent.remove_prefix(1);
  }
  return mantissa + (negative ? "e-" : "e") + std::string(exponent);
}

std::string debug_float(double value) {
  if (std::isnan(value)) {
    return "NaN";
  }
  if (std::isinf(value)) {
    return value < 0 ? "-inf" : "inf";
  }
  double magnitude = std::fabs(value);
  if (magnitude != 0.0 && (magnitude >= 1e16 || magnitude < 1e-4)) {
    return tidy_exponent(chars(value, std::chars_format::scientific));
  }
  std::string text = chars(value, std::chars_format::fixed);
  if (text.find('.') == std::string::npos) {
    text += ".0";
  }
  return text;
}

template <class T, class Show>
std::string list(const std::vector<T>& items, Show show) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += i == 0 ? "" : ", ";
    out += show(items[i]);
  }
  return out + "]";
}

template <class T, class Show>
std::string maybe(const std::optional<T>& value, Show show) {
  return value ? "Some(" + show(*value) + ")" : "None";
}

std::string number(std::uint64_t value) { return std::to_string(value); }

std::string expressions(const std::vector<Expression>& items) {
  return list(items, [](const Expression& e) { return to_string(e); });
}

std::string statements(const std::vector<Statement>& items) {
  return list(items, [](const Statement& s) { return to_string(s); });
}

std::string bit_refs(const std::vector<BitRef>& items) {
  return list(items, [](const BitRef& r) { return to_string(r); });
}

std::string texts(const std::vector<std::string>& items) {
  return list(items, [](const std::string& t) { return quoted(t); });
}

std::string expression_text(const expr::Int& e) {
  return "Int(" + number(e.value) + ")";
}
std::string expression_text(const expr::Float& e) {
  return "Float(" + debug_float(e.value) + ")";
}
std::string expression_text(const expr::Bool& e) {
  return e.value ? "Bool(true)" : "Bool(false)";
}
std::string expression_text(const expr::Identifier& e) {
  return "Identifier(" + quoted(e.name) + ")";
}
std::string expression_text(const expr::Pi&) { return "Pi"; }
std::string expression_text(const expr::Tau&) { return "Tau"; }
std::string expression_text(const expr::Euler&) { return "Euler"; }
std::string expression_text(const expr::Neg& e) {
  return "Neg(" + to_string(*e.operand) + ")";
}
std::string expression_text(const expr::BinOp& e) {
  return "BinOp { left: " + to_string(*e.left) + ", op: " + to_string(e.op) +
         ", right: " + to_string(*e.right) + " }";
}
std::string expression_text(const expr::FnCall& e) {
  return "FnCall { name: " + quoted(e.name) + ", args: " + expressions(e.args) +
         " }";
}
std::string expression_text(const expr::Index& e) {
  return "Index { target: " + to_string(*e.target) +
         ", index: " + to_string(*e.index) + " }";
}
std::string expression_text(const expr::Paren& e) {
  return "Paren(" + to_string(*e.inner) + ")";
}

std::string statement_text(const stmt::Include& s) {
  return "Include { path: " + quoted(s.path) + " }";
}
std::string statement_text(const stmt::QubitDecl& s) {
  return "QubitDecl { name: " + quoted(s.name) +
         ", size: " + maybe(s.size, number) + " }";
}
std::string statement_text(const stmt::BitDecl& s) {
  return "BitDecl { name: " + quoted(s.name) +
         ", size: " + maybe(s.size, number) + " }";
}
std::string statement_text(const stmt::GateCall& s) {
  return "GateCall { name: " + quoted(s.name) +
         ", params: " + expressions(s.params) +
         ", qubits: " + bit_refs(s.qubits) + ", modifiers: " +
         list(s.modifiers, [](const GateModifier& m) { return to_string(m); }) +
         " }";
}
std::string statement_text(const stmt::Measure& s) {
  return "Measure { qubits: " + bit_refs(s.qubits) +
         ", bits: " + bit_refs(s.bits) + " }";
}
std::string statement_text(const stmt::Reset& s) {
  return "Reset { qubits: " + bit_refs(s.qubits) + " }";
}
std::string statement_text(const stmt::Barrier& s) {
  return "Barrier { qubits: " + bit_refs(s.qubits) + " }";
}
std::string statement_text(const stmt::Delay& s) {
  return "Delay { duration: " + to_string(*s.duration) +
         ", qubits: " + bit_refs(s.qubits) + " }";
}
std::string statement_text(const stmt::If& s) {
  return "If { condition: " + to_string(*s.condition) +
         ", then_body: " + statements(s.then_body) +
         ", else_body: " + maybe(s.else_body, statements) + " }";
}
std::string statement_text(const stmt::For& s) {
  std::string step = s.step ? "Some(" + to_string(*s.step) + ")" : "None";
  return "For { variable: " + quoted(s.variable) +
         ", start: " + to_string(*s.start) + ", end: " + to_string(*s.end) +
         ", step: " + step + ", body: " + statements(s.body) + " }";
}
std::string statement_text(const stmt::GateDef& s) {
  return "GateDef { name: " + quoted(s.name) + ", params: " + texts(s.params) +
         ", qubits: " + texts(s.qubits) + ", body: " + statements(s.body) +
         " }";
}
std::string statement_text(const stmt::Assign& s) {
  return "Assign { name: " + quoted(s.name) +
         ", index: " + maybe(s.index, number) +
         ", value: " + to_string(*s.value) + " }";
}

std::string modifier_text(const modifier::Inv&) { return "Inv"; }
std::string modifier_text(const modifier::Pow& m) {
  return "Pow(" + to_string(m.exponent) + ")";
}
std::string modifier_text(const modifier::Ctrl& m) {
  return "Ctrl(" + maybe(m.count, number) + ")";
}
std::string modifier_text(const modifier::NegCtrl& m) {
  return "NegCtrl(" + maybe(m.count, number) + ")";
}

std::optional<double> fold(BinOp op, double left, double right) {
  switch (op) {
    case BinOp::Add:
      return left + right;
    case BinOp::Sub:
      return left - right;
    case BinOp::Mul:
      return left * right;
    case BinOp::Div:
      return left / right;
    case BinOp::Mod:
      return std::fmod(left, right);
    case BinOp::Pow:
      return std::pow(left, right);
    default:
      return std::nullopt;
  }
}

// The one-argument functions a gate angle may apply to a number.
std::optional<double> fold(const expr::FnCall& e) {
  if (e.args.size() != 1) {
    return std::nullopt;
  }
  using Function = double (*)(double);
  static constexpr std::array<std::pair<std::string_view, Function>, 6>
      kFunctions = {{
          {"sin", [](double x) { return std::sin(x); }},
          {"cos", [](double x) { return std::cos(x); }},
          {"tan", [](double x) { return std::tan(x); }},
          {"exp", [](double x) { return std::exp(x); }},
          {"ln", [](double x) { return std::log(x); }},
          {"sqrt", [](double x) { return std::sqrt(x); }},
      }};
  for (const auto& [name, function] : kFunctions) {
    if (name != e.name) {
      continue;
    }
    auto argument = e.args.front().as_f64();
    return argument ? std::optional(function(*argument)) : std::nullopt;
  }
  return std::nullopt;
}

std::optional<double> fold(const expr::BinOp& e) {
  auto left = e.left->as_f64();
  if (!left) {
    return std::nullopt;
  }
  auto right = e.right->as_f64();
  if (!right) {
    return std::nullopt;
  }
  return fold(e.op, *left, *right);
}

}  // namespace

std::optional<double> Expression::as_f64() const {
  return std::visit(
      [](const auto& e) -> std::optional<double> {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, expr::Int>) {
          return static_cast<double>(e.value);
        } else if constexpr (std::is_same_v<E, expr::Float>) {
          return e.value;
        } else if constexpr (std::is_same_v<E, expr::Pi>) {
          return kPi;
        } else if constexpr (std::is_same_v<E, expr::Tau>) {
          return kTau;
        } else if constexpr (std::is_same_v<E, expr::Euler>) {
          return kEuler;
        } else if constexpr (std::is_same_v<E, expr::Neg>) {
          auto value = e.operand->as_f64();
          return value ? std::optional(-*value) : std::nullopt;
        } else if constexpr (std::is_same_v<E, expr::Paren>) {
          return e.inner->as_f64();
        } else if constexpr (std::is_same_v<E, expr::BinOp> ||
                             std::is_same_v<E, expr::FnCall>) {
          return fold(e);
        } else {
          return std::nullopt;
        }
      },
      node);
}

Expression make_neg(Expression operand) {
  return {expr::Neg{std::make_unique<Expression>(std::move(operand))}};
}

Expression make_binop(Expression left, BinOp op, Expression right) {
  return {expr::BinOp{std::make_unique<Expression>(std::move(left)), op,
                      std::make_unique<Expression>(std::move(right))}};
}

Expression make_paren(Expression inner) {
  return {expr::Paren{std::make_unique<Expression>(std::move(inner))}};
}

std::string to_string(BinOp op) {
  return std::string(kBinOpNames[static_cast<std::size_t>(op)]);
}

std::string to_string(const Expression& expression) {
  return std::visit([](const auto& e) { return expression_text(e); },
                    expression.node);
}

std::string to_string(const BitRef& ref) {
  return "BitRef { name: " + quoted(ref.name) +
         ", index: " + maybe(ref.index, number) + " }";
}

std::string to_string(const GateModifier& modifier) {
  return std::visit([](const auto& m) { return modifier_text(m); }, modifier);
}

std::string to_string(const Statement& statement) {
  return std::visit([](const auto& s) { return statement_text(s); },
                    statement.node);
}

std::string to_string(const Program& program) {
  return "Program { version: " + quoted(program.version) +
         ", statements: " + statements(program.statements) + " }";
}

}  // namespace qelto::qasm3
