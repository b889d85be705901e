// libFuzzer target over the OpenQASM 3 reader, `qasm3::parse`.
//
// Besides what the sanitizers find, it checks the round trip: whatever reads
// is written with `emit`, and that text must read back into a circuit with
// the same qubits, bits and depth and the same operations on every wire.
// The writer keeps six decimals of a constant angle and writes a few
// constants as "pi/2" and the like, which read back as expressions, so the
// first round trip compares the operations without their parameters. From
// the second round trip on, the text is a fixed point: every wire must see
// the same lines, parameters included. Once angles are written without loss,
// the first comparison can take the parameters too (kFirstTripParameters).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ir/circuit.hpp"
#include "qasm3/emitter.hpp"
#include "qasm3/read.hpp"

namespace {

namespace qasm3 = qelto::qasm3;
using qelto::ir::Circuit;

// Inputs declaring more bits than this are skipped. The reader does not yet
// bound declarations (`qubit[100000000] q;` asks for gigabytes), and the
// cost of an operation grows with the square of its width, so one such
// input would stall the run. Once the reader has its own limits they can
// replace this gate.
constexpr std::uint64_t kMaxDeclaredBits = 256;

// Whether the first round trip compares parameters as well.
constexpr bool kFirstTripParameters = false;

bool is_word_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::uint64_t saturating_add(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}

// The bits the text declares, at most: every statement that starts with a
// declaring word counts the integers written in it, and at least one. The
// scan skips comments and strings as the lexer does, so a declaration cannot
// hide from it; it may count too much, which only skips an input.
std::uint64_t declared_bits(std::string_view text) {
  std::uint64_t total = 0;
  std::uint64_t statement = 0;
  bool declaring = false;
  auto end_statement = [&] {
    if (declaring) {
      total = saturating_add(total, std::max<std::uint64_t>(statement, 1));
    }
    declaring = false;
    statement = 0;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("//") || rest.starts_with("/*") || c == '"') {
      const std::string_view close =
          c == '"' ? "\"" : (rest[1] == '/' ? "\n" : "*/");
      const std::size_t found = text.find(close, i + 1 + (c != '"'));
      if (found == std::string_view::npos) {
        break;
      }
      i = found + close.size();
      continue;
    }
    if (is_word_start(c)) {
      const std::size_t start = i;
      while (i < text.size() && (is_word_start(text[i]) || is_digit(text[i]))) {
        ++i;
      }
      const std::string_view word = text.substr(start, i - start);
      if (word == "qubit" || word == "bit" || word == "qreg" ||
          word == "creg") {
        end_statement();
        declaring = true;
      }
      continue;
    }
    if (is_digit(c)) {
      std::uint64_t value = 0;
      for (; i < text.size() && is_digit(text[i]); ++i) {
        value = value > std::numeric_limits<std::uint64_t>::max() / 10
                    ? std::numeric_limits<std::uint64_t>::max()
                    : saturating_add(value * 10,
                                     static_cast<std::uint64_t>(text[i] - '0'));
      }
      if (declaring) {
        statement = saturating_add(statement, value);
      }
      continue;
    }
    if (c == ';') {
      end_statement();
    }
    ++i;
  }
  end_statement();
  return total;
}

// The operation lines of written text, per wire ("q[3]", "c[0]"; lines
// without operands under ""), in order. Without parameters, a gate's
// parenthesised parameter list is left out of its line.
using WireSequences = std::map<std::string, std::vector<std::string>>;

std::string without_parameters(std::string_view line) {
  std::size_t name_end = 0;
  while (name_end < line.size() &&
         (is_word_start(line[name_end]) || is_digit(line[name_end]))) {
    ++name_end;
  }
  if (name_end == 0 || name_end == line.size() || line[name_end] != '(') {
    return std::string(line);
  }
  std::size_t depth = 0;
  for (std::size_t i = name_end; i < line.size(); ++i) {
    depth += line[i] == '(';
    depth -= line[i] == ')';
    if (depth == 0) {
      return std::string(line.substr(0, name_end)) +
             std::string(line.substr(i + 1));
    }
  }
  return std::string(line);
}

WireSequences wire_sequences(std::string_view text, bool parameters) {
  WireSequences wires;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (line.empty() || line.starts_with("OPENQASM ") ||
        line.starts_with("qubit[") || line.starts_with("bit[")) {
      continue;
    }
    const std::string entry =
        parameters ? std::string(line) : without_parameters(line);
    bool has_wire = false;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
      const bool operand = (line[i] == 'q' || line[i] == 'c') &&
                           line[i + 1] == '[' &&
                           (i == 0 || line[i - 1] == ' ');
      if (!operand) {
        continue;
      }
      const std::size_t close = line.find(']', i);
      wires[std::string(line.substr(i, close + 1 - i))].push_back(entry);
      has_wire = true;
    }
    if (!has_wire) {
      wires[""].push_back(entry);
    }
  }
  return wires;
}

[[noreturn]] void fail(std::string_view what, std::string_view first,
                       std::string_view second) {
  std::fprintf(stderr, "round trip: %.*s\n--- first\n%.*s--- second\n%.*s",
               static_cast<int>(what.size()), what.data(),
               static_cast<int>(first.size()), first.data(),
               static_cast<int>(second.size()), second.data());
  std::abort();
}

std::string write(const Circuit& circuit) {
  auto text = qasm3::emit(circuit);
  if (!text) {
    fail("the writer failed: " + qasm3::to_string(text.error()), "", "");
  }
  return std::move(*text);
}

struct Trip {
  Circuit circuit;
  std::string text;
};

// Reads `text`, which the writer produced from `circuit`, and checks the
// result against it; returns the result and the text written from it.
Trip read_back(const Circuit& circuit, const std::string& text,
               bool parameters) {
  auto again = qasm3::parse(text);
  if (!again) {
    fail("written text does not read: " + qasm3::to_string(again.error()),
         text, "");
  }
  std::string rewritten = write(*again);
  if (again->num_qubits() != circuit.num_qubits() ||
      again->num_clbits() != circuit.num_clbits() ||
      again->depth() != circuit.depth()) {
    fail("qubits, bits or depth differ", text, rewritten);
  }
  if (wire_sequences(text, parameters) !=
      wire_sequences(rewritten, parameters)) {
    fail("the operations on some wire differ", text, rewritten);
  }
  return Trip{std::move(*again), std::move(rewritten)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  if (declared_bits(source) > kMaxDeclaredBits) {
    // Kept out of the corpus.
    return -1;
  }
  auto circuit = qasm3::parse(source);
  if (!circuit) {
    // The display text must be buildable for every error.
    (void)qasm3::to_string(circuit.error());
    return 0;
  }
  const std::string first = write(*circuit);
  const Trip second = read_back(*circuit, first, kFirstTripParameters);
  (void)read_back(second.circuit, second.text, true);
  return 0;
}
