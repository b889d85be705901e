#include "qasm3/gate_definitions.hpp"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "ir/gate_catalogue.hpp"

namespace qelto::qasm3 {
namespace {

using Kind = ir::StandardGate::Kind;
constexpr std::size_t kNumKinds = ir::StandardGate::kNumKinds;

bool is_word_char(char c) {
  return c == '_' || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9');
}

// Calls `visit(word)` for every identifier-like word of `text` and
// `between(piece)` for the text around them, in order.
template <class Word, class Between>
void for_each_word(std::string_view text, Word visit, Between between) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && is_word_char(text[end])) {
      ++end;
    }
    if (end > i) {
      visit(text.substr(i, end - i));
      i = end;
      continue;
    }
    while (end < text.size() && !is_word_char(text[end])) {
      ++end;
    }
    between(text.substr(i, end - i));
    i = end;
  }
}

// The statements of a table body, trimmed, without their semicolons.
std::vector<std::string_view> statements(std::string_view body) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t semi = body.find(';'); semi != std::string_view::npos;
       start = semi + 1, semi = body.find(';', start)) {
    std::string_view statement = body.substr(start, semi - start);
    while (!statement.empty() && statement.front() == ' ') {
      statement.remove_prefix(1);
    }
    out.push_back(statement);
  }
  return out;
}

// The gate a body statement calls, when it is a catalogue gate.
std::optional<Kind> called_gate(std::string_view statement) {
  std::size_t end = 0;
  while (end < statement.size() && is_word_char(statement[end])) {
    ++end;
  }
  return ir::StandardGate::from_name(statement.substr(0, end));
}

bool needs_definition(Kind kind) {
  return !ir::gate_info(kind).in_stdgates && kind != Kind::U;
}

// Words an operand name must not be: OpenQASM keywords a table name could
// plausibly spell.
constexpr std::array<std::string_view, 12> kKeywords = {
    "qubit", "bit", "gate", "angle", "float", "int",
    "reset", "measure", "barrier", "delay", "ctrl", "inv"};

std::string operand_name(std::string_view name) {
  std::string out(name);
  if (std::ranges::find(kKeywords, name) != kKeywords.end()) {
    out += '_';
  }
  return out;
}

// The parameter and qubit names of `info` as a definition writes them.
struct Names {
  std::array<std::string, ir::StandardGate::kMaxParams> params;
  std::array<std::string, ir::StandardGate::kMaxQubits> qubits;
};

Names definition_names(const ir::GateInfo& info) {
  Names names;
  const std::span<const std::string_view> params(info.param_names.data(),
                                                 info.num_params);
  const bool sorted =
      std::ranges::adjacent_find(params, std::ranges::greater_equal()) ==
      params.end();
  for (std::size_t i = 0; i < params.size(); ++i) {
    names.params[i] = sorted ? std::string()
                             : std::string{static_cast<char>('a' + i), '_'};
    names.params[i] += params[i];
  }
  for (std::size_t i = 0; i < info.num_qubits; ++i) {
    names.qubits[i] = operand_name(info.qubit_names[i]);
  }
  return names;
}

// `word` renamed if it is one of `info`'s parameter or qubit names.
std::string_view renamed(const ir::GateInfo& info, const Names& names,
                         std::string_view word) {
  for (std::size_t i = 0; i < info.num_params; ++i) {
    if (info.param_names[i] == word) {
      return names.params[i];
    }
  }
  for (std::size_t i = 0; i < info.num_qubits; ++i) {
    if (info.qubit_names[i] == word) {
      return names.qubits[i];
    }
  }
  return word;
}

}  // namespace

std::vector<Kind> GateDefinitions::kinds_to_define() const {
  std::array<bool, kNumKinds> needed{};
  // From the last row down: a row's body only calls earlier rows, so one
  // pass marks everything reachable.
  for (std::size_t row = kNumKinds; row-- > 0;) {
    const auto kind = static_cast<Kind>(row);
    needed[row] = needed[row] || (used_[row] && needs_definition(kind));
    if (!needed[row]) {
      continue;
    }
    for (std::string_view statement :
         statements(ir::gate_info(kind).definition)) {
      const std::optional<Kind> callee = called_gate(statement);
      if (callee && needs_definition(*callee)) {
        assert(static_cast<std::size_t>(*callee) < row &&
               "a definition body calls a later row");
        needed[static_cast<std::size_t>(*callee)] = true;
      }
    }
  }
  std::vector<Kind> kinds;
  for (std::size_t row = 0; row < kNumKinds; ++row) {
    if (needed[row]) {
      kinds.push_back(static_cast<Kind>(row));
    }
  }
  return kinds;
}

GateDefinition portable_definition(Kind kind) {
  const ir::GateInfo& info = ir::gate_info(kind);
  assert(!info.definition.empty() && "a stdgates.inc gate needs no definition");
  const Names names = definition_names(info);
  GateDefinition out;
  out.head = "gate ";
  out.head += info.name;
  if (info.num_params > 0) {
    out.head += '(';
    for (std::size_t i = 0; i < info.num_params; ++i) {
      out.head += i == 0 ? "" : ", ";
      out.head += names.params[i];
    }
    out.head += ')';
  }
  for (std::size_t i = 0; i < info.num_qubits; ++i) {
    out.head += i == 0 ? " " : ", ";
    out.head += names.qubits[i];
  }
  for (std::string_view statement : statements(info.definition)) {
    std::string line;
    for_each_word(
        statement,
        [&](std::string_view word) { line += renamed(info, names, word); },
        [&](std::string_view piece) { line += piece; });
    line += ';';
    out.statements.push_back(std::move(line));
  }
  return out;
}

std::string_view portable_name(Kind kind) noexcept {
  return kind == Kind::U ? std::string_view("U") : ir::gate_info(kind).name;
}

}  // namespace qelto::qasm3
