// Time to write a 1,000,000-operation circuit as OpenQASM 3 text.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ir/circuit.hpp"
#include "qasm3/emitter.hpp"

namespace {

using qelto::ir::Circuit;
using qelto::ir::ClbitId;
using qelto::ir::ParameterExpression;
using qelto::ir::QubitId;

// A mix of one- and two-qubit gates, angles (named and plain) and
// measurements spread over 64 wires.
Circuit make_circuit(std::uint32_t operations) {
  constexpr std::uint32_t kQubits = 64;
  Circuit circuit = Circuit::with_size("bench", kQubits, kQubits);
  for (std::uint32_t i = 0; i < operations; ++i) {
    const QubitId a{i % kQubits};
    const QubitId b{(i * 7 + 3) % kQubits == a.index ? (a.index + 1) % kQubits
                                                     : (i * 7 + 3) % kQubits};
    bool ok = false;
    switch (i % 5) {
      case 0:
        ok = circuit.h(a).has_value();
        break;
      case 1:
        ok = circuit.cx(a, b).has_value();
        break;
      case 2:
        ok =
            circuit.rz(ParameterExpression::constant(0.001 * i), a).has_value();
        break;
      case 3:
        ok = circuit.rz(ParameterExpression::constant(1.5707963267948966), b)
                 .has_value();
        break;
      default:
        ok = circuit.measure(a, ClbitId{a.index}).has_value();
        break;
    }
    if (!ok) {
      std::fprintf(stderr, "building the circuit failed at %u\n", i);
      std::exit(1);
    }
  }
  return circuit;
}

}  // namespace

int main() {
  constexpr std::uint32_t kOperations = 1'000'000;
  const Circuit circuit = make_circuit(kOperations);
  constexpr int kRuns = 5;
  double best = 1e300;
  std::size_t bytes = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const auto text = qelto::qasm3::emit(circuit);
    const auto stop = std::chrono::steady_clock::now();
    bytes = text->size();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  double order = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const auto ops = circuit.dag().topological_ops();
    const auto stop = std::chrono::steady_clock::now();
    order =
        std::min(order, std::chrono::duration<double>(stop - start).count());
  }
  const double mb = static_cast<double>(bytes) / 1e6;
  std::printf(
      "emit: %u operations, %.2f MB of text, best of %d: %.4f s, "
      "%.1f MB/s\n",
      kOperations, mb, kRuns, best, mb / best);
  std::printf("  of which the DAG's topological order: %.4f s\n", order);
  double portable = 1e300;
  std::size_t portable_bytes = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const auto text = qelto::qasm3::emit(circuit, {.portable = true});
    const auto stop = std::chrono::steady_clock::now();
    portable_bytes = text->size();
    portable =
        std::min(portable, std::chrono::duration<double>(stop - start).count());
  }
  const double portable_mb = static_cast<double>(portable_bytes) / 1e6;
  std::printf("emit portable: %.2f MB of text, best of %d: %.4f s, %.1f MB/s\n",
              portable_mb, kRuns, portable, portable_mb / portable);
  return 0;
}
