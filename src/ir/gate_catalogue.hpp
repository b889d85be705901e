#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "ir/gate.hpp"
#include "ir/gate_macros.hpp"
#include "ir/parameter.hpp"

namespace qelto::ir {

// Everything the gate table (src/ir/gates.def) says about the catalogue
// beyond StandardGate's queries, as compile-time data: the parameter and
// qubit names, whether stdgates.inc declares the gate, the portable
// definition body, the exact inverse (as text and as parsed steps) and the
// reader's aliases. The texts are parsed while compiling, so a row whose
// inverse or alias names an unknown gate or parameter does not build.

// One argument of a gate in an inverse or an alias: an optional minus, then
// a parameter of the gate being described, pi / N, or an integer.
struct GateArgument {
  enum class Source : std::uint8_t { Param, PiOver, Integer };
  Source source = Source::Integer;
  bool negated = false;
  // The parameter's index, the denominator N of pi / N, or the integer.
  std::int32_t value = 0;

  // The argument as an expression, cloning the parameter it names from
  // `params` (which must be long enough). A negated constant is folded.
  [[nodiscard]] ParameterExpression make(
      std::span<const ParameterExpression> params) const;
};

// One gate of an inverse sequence: its kind, its arguments (the first
// num_params(kind) are used) and its operands as positions among the
// described gate's qubits.
struct GateStep {
  StandardGate::Kind kind = StandardGate::Id;
  std::array<GateArgument, StandardGate::kMaxParams> args{};
  std::array<std::uint8_t, StandardGate::kMaxQubits> operands{};
};

// One catalogue row.
struct GateInfo {
  StandardGate::Kind kind;
  std::string_view name;
  std::uint8_t num_params;
  std::uint8_t num_qubits;
  std::array<std::string_view, StandardGate::kMaxParams> param_names;
  std::array<std::string_view, StandardGate::kMaxQubits> qubit_names;
  // Whether stdgates.inc declares this gate with this meaning.
  bool in_stdgates;
  // For gates stdgates.inc lacks: an OpenQASM gate body over the names
  // above, using stdgates.inc gates, U and gates of earlier rows, exact up to
  // global phase. Empty for stdgates.inc gates.
  std::string_view definition;
  // The exact inverse (global phase included) over the names above.
  std::string_view inverse;
};

inline constexpr std::array<GateInfo, StandardGate::kNumKinds> kGateInfos = {{
#define QELTO_GATE(Enum, name, params, qubits, in_stdgates, definition,    \
                   inverse, doc)                                          \
  {StandardGate::Enum,                                                    \
   #name,                                                                 \
   QELTO_PP_LIST_COUNT(params),                                           \
   QELTO_PP_LIST_COUNT(qubits),                                           \
   {QELTO_PP_LIST_STRINGS(params)},                                       \
   {QELTO_PP_LIST_STRINGS(qubits)},                                       \
   in_stdgates,                                                           \
   definition,                                                            \
   inverse},
#include "ir/gates.def"
}};

[[nodiscard]] constexpr const GateInfo& gate_info(
    StandardGate::Kind kind) noexcept {
  return kGateInfos[static_cast<std::size_t>(kind)];
}

// A further name the reader accepts for a catalogue gate.
struct GateAlias {
  std::string_view name;
  StandardGate::Kind target;
  // The parameters the alias takes.
  std::uint8_t num_params;
  // False: the alias's parameters pass to the target unchanged (any beyond
  // the target's count are dropped). True: `params` gives the target's.
  bool maps_params;
  std::array<GateArgument, StandardGate::kMaxParams> params;
};

namespace gate_text {

// A compile-time reader of the table's small argument and statement texts.
// Any mistake sets `failed`, which the static_asserts below turn into a
// build error.
struct Cursor {
  std::string_view text;
  std::size_t pos = 0;
  bool failed = false;

  constexpr void skip_spaces() {
    while (pos < text.size() && text[pos] == ' ') {
      ++pos;
    }
  }
  constexpr bool at_end() {
    skip_spaces();
    return pos >= text.size();
  }
  constexpr bool take(char c) {
    skip_spaces();
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  constexpr void expect(char c) {
    if (!take(c)) {
      failed = true;
    }
  }
  constexpr std::string_view word() {
    skip_spaces();
    const std::size_t start = pos;
    while (pos < text.size() &&
           (text[pos] == '_' || text[pos] == '$' ||
            (text[pos] >= 'a' && text[pos] <= 'z') ||
            (text[pos] >= 'A' && text[pos] <= 'Z') ||
            (text[pos] >= '0' && text[pos] <= '9'))) {
      ++pos;
    }
    if (pos == start) {
      failed = true;
    }
    return text.substr(start, pos - start);
  }
};

constexpr std::int32_t integer(std::string_view digits, bool& failed) {
  std::int32_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9' || value > 100000) {
      failed = true;
      return 0;
    }
    value = value * 10 + (c - '0');
  }
  return value;
}

// One argument; parameter names are `names`, or `$k` when `names` is empty.
constexpr GateArgument argument(
    Cursor& in, std::span<const std::string_view> names) {
  GateArgument arg;
  arg.negated = in.take('-');
  const std::string_view w = in.word();
  if (w == "pi") {
    arg.source = GateArgument::Source::PiOver;
    arg.value = in.take('/') ? integer(in.word(), in.failed) : 1;
    in.failed = in.failed || arg.value == 0;
    return arg;
  }
  if (!w.empty() && w[0] >= '0' && w[0] <= '9') {
    arg.value = integer(w, in.failed);
    return arg;
  }
  arg.source = GateArgument::Source::Param;
  if (names.empty()) {
    in.failed = in.failed || w.size() != 2 || w[0] != '$';
    arg.value = w.size() == 2 ? w[1] - '0' : 0;
    return arg;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == w) {
      arg.value = static_cast<std::int32_t>(i);
      return arg;
    }
  }
  in.failed = true;
  return arg;
}

// The row named `name`, or kGateInfos.size(). An index rather than a
// pointer: with -fsanitize=undefined, GCC 12 cannot compare the address of
// an array element with null in a constant expression.
constexpr std::size_t find(std::string_view name) {
  for (std::size_t row = 0; row < kGateInfos.size(); ++row) {
    if (kGateInfos[row].name == name) {
      return row;
    }
  }
  return kGateInfos.size();
}

// The statements `name(args) operand, ...;` of `text` over `gate`'s names,
// into `out`; returns how many, or sets `failed`.
constexpr std::size_t steps(const GateInfo& gate, std::string_view text,
                            std::span<GateStep> out, bool& failed) {
  Cursor in{text};
  std::size_t count = 0;
  const std::span<const std::string_view> params(gate.param_names.data(),
                                                 gate.num_params);
  while (!in.at_end() && !in.failed) {
    const std::size_t step_row = find(in.word());
    if (step_row == kGateInfos.size() || count >= out.size()) {
      failed = true;
      return count;
    }
    GateStep& step = out[count++];
    step.kind = kGateInfos[step_row].kind;
    std::size_t num_args = 0;
    if (in.take('(')) {
      do {
        if (num_args >= StandardGate::kMaxParams) {
          failed = true;
          return count;
        }
        step.args[num_args++] = argument(in, params);
      } while (in.take(','));
      in.expect(')');
    }
    std::size_t num_operands = 0;
    do {
      const std::string_view operand = in.word();
      std::size_t position = gate.num_qubits;
      for (std::size_t i = 0; i < gate.num_qubits; ++i) {
        position = gate.qubit_names[i] == operand ? i : position;
      }
      if (position == gate.num_qubits ||
          num_operands >= StandardGate::kMaxQubits) {
        failed = true;
        return count;
      }
      step.operands[num_operands++] = static_cast<std::uint8_t>(position);
    } while (in.take(','));
    in.expect(';');
    if (num_args != kGateInfos[step_row].num_params ||
        num_operands != kGateInfos[step_row].num_qubits) {
      failed = true;
    }
  }
  failed = failed || in.failed;
  return count;
}

constexpr std::size_t count_statements(std::string_view text) {
  std::size_t n = 0;
  for (char c : text) {
    n += c == ';' ? 1 : 0;
  }
  return n;
}

}  // namespace gate_text

inline constexpr std::size_t kInverseStepCount = [] {
  std::size_t n = 0;
  for (const GateInfo& info : kGateInfos) {
    n += gate_text::count_statements(info.inverse);
  }
  return n;
}();

// Every row's inverse steps, one row after the other, and where each row's
// steps start (entry kNumKinds is the end).
struct InverseSteps {
  std::array<GateStep, kInverseStepCount> steps{};
  std::array<std::uint16_t, StandardGate::kNumKinds + 1> first{};
  // The first row whose inverse text does not read, or kNumKinds.
  std::size_t failed_row = StandardGate::kNumKinds;
};

inline constexpr InverseSteps kInverseSteps = [] {
  InverseSteps out;
  std::size_t next = 0;
  for (std::size_t row = 0; row < kGateInfos.size(); ++row) {
    out.first[row] = static_cast<std::uint16_t>(next);
    bool failed = false;
    next += gate_text::steps(kGateInfos[row], kGateInfos[row].inverse,
                             std::span(out.steps).subspan(next), failed);
    if (failed && out.failed_row == StandardGate::kNumKinds) {
      out.failed_row = row;
    }
  }
  out.first[kGateInfos.size()] = static_cast<std::uint16_t>(next);
  return out;
}();
static_assert(kInverseSteps.failed_row == StandardGate::kNumKinds,
              "an inverse in gates.def does not read (see failed_row)");

// The exact inverse of `kind` as catalogue gates (applied in order).
[[nodiscard]] constexpr std::span<const GateStep> inverse_steps(
    StandardGate::Kind kind) noexcept {
  const auto row = static_cast<std::size_t>(kind);
  return std::span(kInverseSteps.steps)
      .subspan(kInverseSteps.first[row],
               kInverseSteps.first[row + 1] - kInverseSteps.first[row]);
}

namespace gate_text {

constexpr GateAlias alias(std::string_view name, StandardGate::Kind target,
                          std::uint8_t num_params, std::string_view params,
                          bool& failed) {
  GateAlias out{name, target, num_params, !params.empty(), {}};
  if (params.empty()) {
    return out;
  }
  Cursor in{params};
  std::size_t n = 0;
  do {
    if (n >= StandardGate::kMaxParams) {
      failed = true;
      return out;
    }
    out.params[n] = argument(in, {});
    failed = failed || (out.params[n].source == GateArgument::Source::Param &&
                        out.params[n].value >= num_params);
    ++n;
  } while (in.take(','));
  failed = failed || in.failed || !in.at_end() ||
           n != gate_info(target).num_params;
  return out;
}

}  // namespace gate_text

struct GateAliases {
  std::array<GateAlias, 0
#define QELTO_ALIAS(...) +1
#include "ir/gates.def"
             >
      aliases;
  bool failed = false;
};

inline constexpr GateAliases kGateAliases = [] {
  GateAliases out{};
  std::size_t i = 0;
#define QELTO_ALIAS(name, Target, num_params, params) \
  out.aliases[i++] = gate_text::alias(name, StandardGate::Target,     \
                                      num_params, params, out.failed);
#include "ir/gates.def"
  return out;
}();
static_assert(!kGateAliases.failed,
              "an alias in gates.def does not read");

}  // namespace qelto::ir
