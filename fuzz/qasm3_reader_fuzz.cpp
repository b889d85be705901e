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
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// What one input may make the reader build: enough for every shape an
// input of a few kilobytes takes, little enough that no input stalls the
// run. The identity is kept, so that it takes the round trip too. What the
// writer writes is read back with the default limits, which bound it as
// well: it holds no more than the first reading built.
constexpr qasm3::ReadOptions kInputOptions{.max_qubits = 256,
                                           .max_clbits = 256,
                                           .max_operations = 1 << 16,
                                           .keep_identity = true};
constexpr qasm3::ReadOptions kRereadOptions{.keep_identity = true};

// Whether the first round trip compares parameters as well.
constexpr bool kFirstTripParameters = false;

bool is_word_start(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

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
  auto again = qasm3::parse(text, kRereadOptions);
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
  auto circuit = qasm3::parse(source, kInputOptions);
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
