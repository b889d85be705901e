#include "python/qasm.hpp"

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "python/binding/convert.hpp"
#include "python/binding/method.hpp"
#include "python/classes.hpp"
#include "python/error.hpp"
#include "qasm3/emitter.hpp"
#include "qasm3/read.hpp"

namespace qelto::python {
namespace {

// The source line holding the error and a caret under its column.
std::string caret_note(std::string_view source,
                       const qasm3::SourceError& error) {
  const std::size_t start =
      source.substr(0, error.offset).rfind('\n') + 1;  // npos + 1 == 0
  std::size_t end = source.find('\n', error.offset);
  end = end == std::string_view::npos ? source.size() : end;
  std::string_view line = source.substr(start, end - start);
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  return std::string(line) + "\n" + std::string(error.column - 1, ' ') + "^";
}

std::expected<ir::Circuit, ReadFailure> parse(
    std::string_view qasm, std::optional<std::uint64_t> max_qubits,
    std::optional<std::uint64_t> max_clbits,
    std::optional<std::uint64_t> max_operations, bool keep_identity) {
  auto circuit = qasm3::read(qasm, {.max_qubits = max_qubits,
                                    .max_clbits = max_clbits,
                                    .max_operations = max_operations,
                                    .keep_identity = keep_identity});
  if (!circuit) {
    return std::unexpected(
        ReadFailure{circuit.error(), caret_note(qasm, circuit.error())});
  }
  return std::move(*circuit);
}

qasm3::ParseResult<std::string> emit(const SharedValue<ir::Circuit>& circuit,
                                     bool portable) {
  return qasm3::emit(circuit.get(), {.portable = portable});
}

// A limit on what a program may ask for: a count, or None for no limit,
// `Default` when omitted (the reader's own default, shown as `Shown`).
template <std::uint64_t Default, Text Shown>
using Limit = KeywordOnly<OrDefault<OrNone<U64>, Default, Shown>>;

// The text signature shows the reader's defaults as written here.
static_assert(qasm3::ReadOptions::kDefaultMaxQubits == 16777216);
static_assert(qasm3::ReadOptions::kDefaultMaxClbits == 16777216);
static_assert(qasm3::ReadOptions::kDefaultMaxOperations == 33554432);

PyMethodDef from_qasm_method = Method<
    "from_qasm", Module, &parse,
    "Parse an OpenQASM 3 string into a Circuit.\n\n"
    "Args:\n    qasm: The QASM3 source code as a string.\n"
    "    max_qubits: The most qubits all registers together may declare\n"
    "        (default 2**24), or None for no limit.\n"
    "    max_clbits: The most classical bits all registers together may\n"
    "        declare (default 2**24), or None for no limit.\n"
    "    max_operations: The most operations the circuit may receive,\n"
    "        counting each application of a broadcast and each operation\n"
    "        a gate definition expands to (default 2**25), or None for no\n"
    "        limit. A barrier counts once per qubit it fences, each call of\n"
    "        a gate definition once, and every copy of an angle expression\n"
    "        that reading makes once per node (a symbolic angle, the angles\n"
    "        in a definition's body and those a call of one is given).\n"
    "    keep_identity: Read `id` (and its aliases `i` and `u0`) as the\n"
    "        identity operation instead of dropping it, so that the text\n"
    "        to_qasm(circuit, portable=True) writes reads back into the same\n"
    "        text whatever gates the circuit holds.\n\n"
    "Returns:\n    A Circuit object representing the parsed circuit.\n\n"
    "Raises:\n    RuntimeError: If parsing fails due to syntax errors or "
    "unsupported features.\n"
    "    QasmError: (a RuntimeError) If the program passes a limit, at the\n"
    "        statement that passes it and before its memory is spent. With\n"
    "        the default limits, reading a text of N bytes uses at most\n"
    "        about 200 * N bytes plus 5 GiB.\n\n"
    "Example:\n    >>> qasm = '''\n    ... OPENQASM 3.0;\n    ... qubit[2] q;\n"
    "    ... h q[0];\n    ... cx q[0], q[1];\n    ... '''\n"
    "    >>> qc = from_qasm(qasm)\n    >>> qc.num_qubits\n    2",
    Param<"qasm", Str>,
    Param<"max_qubits",
          Limit<qasm3::ReadOptions::kDefaultMaxQubits, "16777216">>,
    Param<"max_clbits",
          Limit<qasm3::ReadOptions::kDefaultMaxClbits, "16777216">>,
    Param<"max_operations",
          Limit<qasm3::ReadOptions::kDefaultMaxOperations, "33554432">>,
    Param<"keep_identity", KeywordOnly<OrDefault<Truth, false, "False">>>>::
    def();

PyMethodDef to_qasm_method = Method<
    "to_qasm", Module, &emit,
    "Emit a Circuit as an OpenQASM 3 string.\n\n"
    "Args:\n    circuit: The Circuit to convert to QASM.\n"
    "    portable: Write text that other OpenQASM 3 readers (Qiskit, the\n"
    "        reference parser) take as it is: include \"stdgates.inc\",\n"
    "        call u as the built-in U, define every gate stdgates.inc\n"
    "        lacks before its first use, write delays in dt, write every\n"
    "        angle exactly, and keep the operations in the order they\n"
    "        were added. Reading that text (with keep_identity=True when\n"
    "        it holds id) and writing it again with portable=True gives the\n"
    "        same text.\n\n"
    "Returns:\n    A string containing the QASM3 representation of the "
    "circuit.\n\n"
    "Example:\n    >>> qc = Circuit(\"test\", num_qubits=2)\n"
    "    >>> qc.h(0).cx(0, 1)\n    >>> print(to_qasm(qc))\n"
    "    OPENQASM 3.0;\n    qubit[2] q;\n    h q[0];\n    cx q[0], q[1];",
    Param<"circuit", Borrowed<ir::Circuit>>,
    Param<"portable", KeywordOnly<OrDefault<Truth, false, "False">>>>::def();

}  // namespace

PyMethodDef* from_qasm_def() { return &from_qasm_method; }
PyMethodDef* to_qasm_def() { return &to_qasm_method; }

}  // namespace qelto::python
