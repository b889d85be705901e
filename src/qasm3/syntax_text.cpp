#include "qasm3/syntax_text.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "qasm3/parser.hpp"
#include "qasm3/stack_room.hpp"

namespace qelto::qasm3 {
namespace {

constexpr std::array<std::string_view, 19> kBinOpNames = {
    "Add",    "Sub",   "Mul",    "Div",    "Mod",    "Pow", "Eq",
    "NotEq",  "Lt",    "LtEq",   "Gt",     "GtEq",   "And", "Or",
    "BitAnd", "BitOr", "BitXor", "LShift", "RShift",
};

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

template <class Show>
std::string list(SyntaxRange range, Show show) {
  std::string out = "[";
  for (std::uint32_t i = 0; i < range.count; ++i) {
    out += i == 0 ? "" : ", ";
    out += show(range.first + i);
  }
  return out + "]";
}

std::string maybe(const std::optional<std::uint64_t>& value) {
  return value ? "Some(" + std::to_string(*value) + ")" : "None";
}

std::string expressions(const SyntaxTree& tree, SyntaxRange range) {
  return list(range, [&](std::uint32_t i) {
    return expression_text(tree, tree.expression_lists[i]);
  });
}

std::string statements(const SyntaxTree& tree, SyntaxRange range) {
  return list(range, [&](std::uint32_t i) {
    return statement_text(tree, tree.statements[tree.statement_lists[i]]);
  });
}

std::string refs(const SyntaxTree& tree, SyntaxRange range) {
  return list(range, [&](std::uint32_t i) {
    const SyntaxRef& ref = tree.refs[i];
    return "BitRef { name: " + quoted(ref.name) +
           ", index: " + maybe(ref.index) + " }";
  });
}

std::string names(const SyntaxTree& tree, SyntaxRange range) {
  return list(range, [&](std::uint32_t i) { return quoted(tree.names[i]); });
}

std::string declaration(std::string_view kind, const SyntaxStmt& s) {
  return std::string(kind) + " { name: " + quoted(s.name) +
         ", size: " + maybe(s.number) + " }";
}

std::string rare_statement(const SyntaxTree& tree, const SyntaxStmt& s) {
  const SyntaxDetail& d = tree.details[s.detail];
  switch (s.kind) {
    case SyntaxStmtKind::If:
      return "If { condition: " + expression_text(tree, d.expr[0]) +
             ", then_body: " + statements(tree, d.body) + ", else_body: " +
             (d.else_body ? "Some(" + statements(tree, *d.else_body) + ")"
                          : "None") +
             " }";
    case SyntaxStmtKind::For:
      return "For { variable: " + quoted(s.name) +
             ", start: " + expression_text(tree, d.expr[0]) +
             ", end: " + expression_text(tree, d.expr[1]) + ", step: " +
             (d.has_step ? "Some(" + expression_text(tree, d.expr[2]) + ")"
                         : "None") +
             ", body: " + statements(tree, d.body) + " }";
    case SyntaxStmtKind::GateDef:
      return "GateDef { name: " + quoted(s.name) +
             ", params: " + names(tree, d.gate_params) +
             ", qubits: " + names(tree, d.gate_qubits) +
             ", body: " + statements(tree, d.body) + " }";
    default:
      return "Assign { name: " + quoted(s.name) +
             ", index: " + maybe(s.number) +
             ", value: " + expression_text(tree, d.expr[0]) + " }";
  }
}

}  // namespace

std::string to_string(BinOp op) {
  return std::string(kBinOpNames[static_cast<std::size_t>(op)]);
}

// Without recursion: an explicit stack of nodes still to print and of the
// closing texts that follow them, so any nesting prints in linear time.
std::string expression_text(const SyntaxTree& tree, std::uint32_t expression) {
  struct Step {
    std::uint32_t node = 0;
    // Appended as it is when the step holds no node.
    std::string_view text;
    bool is_text = false;
  };
  const auto text = [](std::string_view piece) {
    return Step{0, piece, true};
  };
  const auto node = [](std::uint32_t index) {
    return Step{index, {}, false};
  };
  std::string out;
  std::vector<Step> steps{node(expression)};
  while (!steps.empty()) {
    const Step step = steps.back();
    steps.pop_back();
    if (step.is_text) {
      out += step.text;
      continue;
    }
    const SyntaxExpr& e = tree.expressions[step.node];
    switch (e.kind) {
      case SyntaxExprKind::Int:
        out += "Int(" + std::to_string(e.integer) + ")";
        break;
      case SyntaxExprKind::Float:
        out += "Float(" + debug_float(e.real) + ")";
        break;
      case SyntaxExprKind::Bool:
        out += e.truth ? "Bool(true)" : "Bool(false)";
        break;
      case SyntaxExprKind::Identifier:
        out += "Identifier(" + quoted(e.name) + ")";
        break;
      case SyntaxExprKind::Pi:
        out += "Pi";
        break;
      case SyntaxExprKind::Tau:
        out += "Tau";
        break;
      case SyntaxExprKind::Euler:
        out += "Euler";
        break;
      case SyntaxExprKind::Neg:
      case SyntaxExprKind::Paren:
        out += e.kind == SyntaxExprKind::Neg ? "Neg(" : "Paren(";
        steps.push_back(text(")"));
        steps.push_back(node(e.left));
        break;
      case SyntaxExprKind::BinOp:
        out += "BinOp { left: ";
        steps.push_back(text(" }"));
        steps.push_back(node(e.right));
        steps.push_back(text(", right: "));
        steps.push_back(text(kBinOpNames[static_cast<std::size_t>(e.op)]));
        steps.push_back(text(", op: "));
        steps.push_back(node(e.left));
        break;
      case SyntaxExprKind::FnCall:
        out += "FnCall { name: " + quoted(e.name) + ", args: [";
        steps.push_back(text("] }"));
        for (std::uint32_t i = e.args.count; i-- > 0;) {
          steps.push_back(node(tree.expression_lists[e.args.first + i]));
          if (i != 0) {
            steps.push_back(text(", "));
          }
        }
        break;
    }
  }
  return out;
}

std::string statement_text(const SyntaxTree& tree, const SyntaxStmt& s) {
  if (!stack_room_left()) {
    return "...";
  }
  switch (s.kind) {
    case SyntaxStmtKind::Include:
      return "Include { path: " + quoted(s.name) + " }";
    case SyntaxStmtKind::QubitDecl:
      return declaration("QubitDecl", s);
    case SyntaxStmtKind::BitDecl:
      return declaration("BitDecl", s);
    case SyntaxStmtKind::GateCall:
      return "GateCall { name: " + quoted(s.name) +
             ", params: " + expressions(tree, s.params) +
             ", qubits: " + refs(tree, s.qubits) + ", modifiers: [] }";
    case SyntaxStmtKind::Measure:
      return "Measure { qubits: " + refs(tree, s.qubits) +
             ", bits: " + refs(tree, s.bits) + " }";
    case SyntaxStmtKind::Reset:
      return "Reset { qubits: " + refs(tree, s.qubits) + " }";
    case SyntaxStmtKind::Barrier:
      return "Barrier { qubits: " + refs(tree, s.qubits) + " }";
    case SyntaxStmtKind::Delay:
      return "Delay { duration: " + maybe(s.number) +
             ", qubits: " + refs(tree, s.qubits) + " }";
    default:
      return rare_statement(tree, s);
  }
}

ParseResult<std::string> program_text(std::string_view source) {
  Parser parser(source);
  auto version = parser.parse_header();
  if (!version) {
    return std::unexpected(std::move(version.error()));
  }
  std::string out = "Program { version: " + quoted(*version) + ", statements: [";
  for (bool first = true;; first = false) {
    auto statement = parser.next_statement();
    if (!statement) {
      return std::unexpected(std::move(statement.error()));
    }
    if (*statement == nullptr) {
      return out + "] }";
    }
    out += first ? "" : ", ";
    out += statement_text(parser.syntax(), **statement);
  }
}

}  // namespace qelto::qasm3
