// CircuitDag at scale: apply, topological_ops and depth on a
// 1,000,000-operation circuit (a mix of h, cx, rz and measure), the memory
// a single-qubit operation costs, and a 10,000,000-operation chain on one
// wire (the walks are iterative, so it must not overflow the stack).
//
// Usage: bench_ir_dag [operations] [one-wire operations]
#include <malloc.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "ir/circuit.hpp"

namespace {

using qelto::ir::Circuit;
using qelto::ir::CircuitDag;
using qelto::ir::ClbitId;
using qelto::ir::Gate;
using qelto::ir::Instruction;
using qelto::ir::Measure;
using qelto::ir::ParameterExpression;
using qelto::ir::QubitId;
using qelto::ir::StandardGate;

// Process CPU time, not wall time: the machines these run on are shared,
// and waiting for a core is not the library's cost.
struct Clock {
  using duration = std::chrono::nanoseconds;
  using time_point = std::chrono::time_point<Clock, duration>;
  static time_point now() noexcept {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return time_point(duration(std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec));
  }
};

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start)
      .count();
}

// Bytes the allocator has handed out (heap arena plus mmapped blocks).
std::size_t heap_bytes() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Resident set size in bytes.
std::size_t rss_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t pages = 0;
  std::size_t resident = 0;
  statm >> pages >> resident;
  return resident * 4096;
}

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "bench_ir_dag: %s failed\n", what);
    std::exit(1);
  }
}

constexpr std::uint32_t kWires = 64;

// Operation i of the mix: 40% h, 30% cx, 20% rz, 10% measure, on wires
// spread by a fixed LCG.
struct Mix {
  std::uint32_t state = 12345;
  std::uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

Instruction mix_instruction(std::uint32_t i, Mix& mix) {
  const QubitId a{mix.next() % kWires};
  QubitId b{mix.next() % kWires};
  if (b == a) {
    b = QubitId{(a.index + 1) % kWires};
  }
  switch (i % 10) {
    case 0:
    case 1:
    case 2:
    case 3:
      return Instruction::single_qubit_gate(StandardGate(StandardGate::H), a);
    case 4:
    case 5:
    case 6:
      return Instruction{{a, b}, {}, Gate(StandardGate(StandardGate::Cx))};
    case 7:
    case 8:
      return Instruction::single_qubit_gate(
          StandardGate(StandardGate::Rz,
                       ParameterExpression::constant(0.001 * i)),
          a);
    default:
      return Instruction{{a}, {ClbitId{a.index}}, Measure{}};
  }
}

void build_with_builders(Circuit& circuit, std::uint32_t ops) {
  Mix mix;
  for (std::uint32_t i = 0; i < ops; ++i) {
    const QubitId a{mix.next() % kWires};
    QubitId b{mix.next() % kWires};
    if (b == a) {
      b = QubitId{(a.index + 1) % kWires};
    }
    bool ok = false;
    switch (i % 10) {
      case 0:
      case 1:
      case 2:
      case 3:
        ok = circuit.h(a).has_value();
        break;
      case 4:
      case 5:
      case 6:
        ok = circuit.cx(a, b).has_value();
        break;
      case 7:
      case 8:
        ok = circuit.rz(ParameterExpression::constant(0.001 * i), a)
                 .has_value();
        break;
      default:
        ok = circuit.measure(a, ClbitId{a.index}).has_value();
        break;
    }
    check(ok, "builder");
  }
}

void mixed_circuit(std::uint32_t ops) {
  std::printf("== %u operations (40%% h, 30%% cx, 20%% rz, 10%% measure) on "
              "%u qubits and %u bits\n",
              ops, kWires, kWires);

  // apply alone: instructions made beforehand.
  {
    Mix mix;
    std::vector<Instruction> instructions;
    instructions.reserve(ops);
    for (std::uint32_t i = 0; i < ops; ++i) {
      instructions.push_back(mix_instruction(i, mix));
    }
    Circuit circuit = Circuit::with_size("bench", kWires, kWires);
    const auto start = Clock::now();
    for (Instruction& inst : instructions) {
      check(circuit.apply(std::move(inst)).has_value(), "apply");
    }
    const double ms = ms_since(start);
    std::printf("apply (prebuilt instructions): %8.1f ms  %6.2f M ops/s  "
                "%5.0f ns/op\n",
                ms, ops / ms / 1000.0, ms * 1e6 / ops);
  }

  // Builder calls (instruction construction + apply), then the walks.
  Circuit circuit = Circuit::with_size("bench", kWires, kWires);
  auto start = Clock::now();
  build_with_builders(circuit, ops);
  double ms = ms_since(start);
  std::printf("builder calls (h/cx/rz/measure): %8.1f ms  %6.2f M ops/s  "
              "%5.0f ns/op\n",
              ms, ops / ms / 1000.0, ms * 1e6 / ops);

  start = Clock::now();
  const auto listed = circuit.dag().topological_ops();
  ms = ms_since(start);
  check(listed.size() == ops, "topological_ops size");
  std::printf("topological_ops:                 %8.1f ms  %6.2f M ops/s\n", ms,
              ops / ms / 1000.0);

  start = Clock::now();
  const std::uint64_t depth = circuit.depth();
  ms = ms_since(start);
  std::printf("depth:                           %8.1f ms  (depth %llu; aim: "
              "well under 500 ms)\n",
              ms, static_cast<unsigned long long>(depth));
}

void single_qubit_memory(std::uint32_t ops) {
  std::printf("\n== memory of %u single-qubit operations (h) on one qubit\n",
              ops);
  // The store keeps per operation a one-byte kind and three 32-bit words
  // (qubit offset, classical-bit offset, parameter or side-pool index), and
  // per operand the id and the link to the previous operand on its wire.
  std::printf("store: 13 bytes per operation + 8 bytes per operand (+ %zu "
              "bytes per gate parameter)\n",
              sizeof(ParameterExpression));
  const std::size_t heap0 = heap_bytes();
  const std::size_t rss0 = rss_bytes();
  {
    Circuit circuit = Circuit::with_size("mem", 1, 0);
    for (std::uint32_t i = 0; i < ops; ++i) {
      check(circuit.h(QubitId{0}).has_value(), "h");
    }
    const std::size_t heap1 = heap_bytes();
    const std::size_t rss1 = rss_bytes();
    std::printf("allocated (incl. array growth slack): %6.1f bytes/op\n",
                static_cast<double>(heap1 - heap0) / ops);
    std::printf("resident (RSS growth):                %6.1f bytes/op  (aim: "
                "at most 48)\n",
                static_cast<double>(rss1 - rss0) / ops);
  }
  const std::size_t heap2 = heap_bytes();
  const std::size_t rss2 = rss_bytes();
  {
    Circuit circuit = Circuit::with_size("mem", 1, 0);
    for (std::uint32_t i = 0; i < ops; ++i) {
      check(circuit.rz(ParameterExpression::constant(0.25), QubitId{0})
                .has_value(),
            "rz");
    }
    std::printf("rz(0.25), allocated:                  %6.1f bytes/op\n",
                static_cast<double>(heap_bytes() - heap2) / ops);
    std::printf("rz(0.25), resident (RSS growth):      %6.1f bytes/op\n",
                static_cast<double>(rss_bytes() - rss2) / ops);
  }
}

void one_wire(std::uint32_t ops) {
  std::printf("\n== %u operations on one wire (iterative walks)\n", ops);
  Circuit circuit = Circuit::with_size("chain", 1, 0);
  auto start = Clock::now();
  for (std::uint32_t i = 0; i < ops; ++i) {
    check(circuit.x(QubitId{0}).has_value(), "x");
  }
  std::printf("build:           %8.1f ms\n", ms_since(start));
  start = Clock::now();
  const std::size_t listed = circuit.dag().topological_ops().size();
  std::printf("topological_ops: %8.1f ms (%zu ops)\n", ms_since(start), listed);
  start = Clock::now();
  const std::uint64_t depth = circuit.depth();
  std::printf("depth:           %8.1f ms (depth %llu)\n", ms_since(start),
              static_cast<unsigned long long>(depth));
  check(listed == ops && depth == ops, "one-wire results");
}

}  // namespace

int main(int argc, char** argv) {
  const auto ops = static_cast<std::uint32_t>(
      argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1'000'000);
  const auto chain = static_cast<std::uint32_t>(
      argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 10'000'000);
  single_qubit_memory(ops);
  std::printf("\n");
  mixed_circuit(ops);
  if (chain > 0) {
    one_wire(chain);
  }
  return 0;
}
