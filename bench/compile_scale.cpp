// Time and quality of the compile pipeline and its stages on large
// circuits: a 100-qubit QFT on a heavy-hex device, random two-qubit-heavy
// circuits, and a 1,000-qubit circuit of 1,000,000 gates.
#include <algorithm>
#include <bit>
#include <chrono>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include <sys/resource.h>

#include "compile/basis_translate.hpp"
#include "compile/compile.hpp"
#include "compile/device.hpp"
#include "compile/route.hpp"
#include "compile/simplify.hpp"
#include "compile/unroll.hpp"
#include "ir/circuit.hpp"

namespace {

using namespace qelto;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// `gates` gates on n qubits: a share `two_qubit` of cx between random
// qubits at most `reach` apart in index (reach 0: anywhere), the rest random
// one-qubit rotations.
ir::Circuit random_circuit(std::uint32_t n, std::uint32_t gates,
                           double two_qubit, std::uint32_t reach,
                           std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  ir::Circuit c = ir::Circuit::with_size("random", n, 0);
  c.reserve_operations(gates, 2 * std::size_t{gates});
  std::uniform_int_distribution<std::uint32_t> qubit(0, n - 1);
  std::uniform_real_distribution<double> unit(0, 1);
  for (std::uint32_t g = 0; g < gates; ++g) {
    const ir::QubitId a{qubit(rng)};
    if (unit(rng) < two_qubit) {
      ir::QubitId b{qubit(rng)};
      if (reach != 0) {
        const std::uint32_t lo = a.index >= reach ? a.index - reach : 0;
        const std::uint32_t hi = std::min(n - 1, a.index + reach);
        std::uniform_int_distribution<std::uint32_t> near(lo, hi);
        b = ir::QubitId{near(rng)};
      }
      if (b == a) {
        b = ir::QubitId{(a.index + 1) % n};
      }
      (void)c.cx(a, b);
    } else {
      (void)c.rz(ir::ParameterExpression::constant(unit(rng) * 6.28), a);
    }
  }
  return c;
}

struct Counts {
  std::uint64_t two_qubit = 0;
  std::uint64_t total = 0;
};

// A fingerprint of a compiled circuit (FNV-1a over its flat operations),
// so that a change meant to keep every output the same can be checked.
std::uint64_t fingerprint(const ir::Circuit& c) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  const auto mix = [&](std::uint64_t v) {
    for (int k = 0; k < 8; ++k) {
      h = (h ^ ((v >> (8 * k)) & 0xFF)) * 0x100000001b3ULL;
    }
  };
  const auto flat = compile::flatten(c);
  if (!flat) {
    return 0;
  }
  for (const compile::FlatOp& op : flat->ops) {
    mix(static_cast<std::uint64_t>(op.code));
    for (const std::uint32_t q : flat->qubits(op)) {
      mix(q);
    }
    mix(op.aux);
    for (const double p : op.params) {
      mix(std::bit_cast<std::uint64_t>(p));
    }
  }
  return h;
}

Counts count(const ir::Circuit& c) {
  Counts k;
  for (const ir::OpRef& ref : c.dag().topological_ops()) {
    ++k.total;
    if (ref.operation.qubits().size() == 2) {
      ++k.two_qubit;
    }
  }
  return k;
}

void run_case(const std::string& name, const ir::Circuit& circuit,
              const compile::CouplingMap& map) {
  compile::PropertySet props;
  props.with_target(map, compile::BasisGates::ibm());
  const auto start = Clock::now();
  const std::clock_t cpu_start = std::clock();
  auto out = compile::compile(circuit, props, 1);
  const double elapsed = seconds_since(start);
  // Processor time too: on a shared machine the wall time also counts
  // other programs' turns.
  const double cpu = static_cast<double>(std::clock() - cpu_start) /
                     CLOCKS_PER_SEC;
  // The process's peak so far: the input circuits and the compile, before
  // the counting below adds its own.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const long peak_mb = usage.ru_maxrss / 1024;
  if (!out) {
    std::printf("%-34s error: %s\n", name.c_str(), out.error().message.c_str());
    return;
  }
  const Counts in = count(circuit);
  const Counts k = count(*out);
  std::printf(
      "%-34s in %8llu ops %7llu 2q | out 2q %9llu depth %8llu | %8.3f s wall "
      "%8.3f s cpu %5ld MB peak | %016llx\n",
              name.c_str(), static_cast<unsigned long long>(in.total),
              static_cast<unsigned long long>(in.two_qubit),
              static_cast<unsigned long long>(k.two_qubit),
              static_cast<unsigned long long>(out->depth()), elapsed, cpu,
              peak_mb, static_cast<unsigned long long>(fingerprint(*out)));
}

double cpu_seconds(std::clock_t since) {
  return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

// The processor time of each stage of compile, run one by one on the flat
// circuit (one routing pass stands for the layout search's and the
// trials' passes, which cost about as much each).
void run_stages(const ir::Circuit& circuit, const compile::CouplingMap& map) {
  const compile::BasisGates basis = compile::BasisGates::ibm();
  std::clock_t t = std::clock();
  const auto lap = [&](const char* stage) {
    std::printf("  %-28s %8.3f s cpu\n", stage, cpu_seconds(t));
    t = std::clock();
  };
  auto flat = compile::flatten(circuit);
  lap("flatten");
  auto unrolled = compile::unroll(*flat);
  lap("unroll");
  const compile::FlatCircuit simple =
      compile::simplify(*unrolled, basis, {.resynthesize_blocks = false});
  lap("simplify (no blocks)");
  const compile::Device device(map);
  lap("device");
  compile::PropertySet target;
  target.with_target(map, basis);
  (void)compile::choose_layout(to_circuit(simple), target, 1);
  lap("layout search (from a circuit)");
  const auto start = compile::trivial_placement(simple, device);
  compile::RouteOptions counting;
  counting.emit = false;
  (void)compile::route(simple, device, *start, 1, counting);
  lap("one routing pass (counting)");
  compile::Routed routed = compile::route(simple, device, *start, 1);
  lap("routing pass (writing)");
  auto translated = compile::translate_to_basis(routed.circuit, basis);
  lap("translate");
  const compile::FlatCircuit out = compile::simplify(*translated, basis);
  lap("simplify (blocks)");
  const ir::Circuit result = compile::to_circuit(out);
  lap("to_circuit");
}

}  // namespace

// With an argument, only the cases whose name contains it; with a second
// argument "stages", also the time of each stage.
int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  const bool stages = argc > 2 && std::string(argv[2]) == "stages";
  const auto run = [&](const std::string& name, const ir::Circuit& circuit,
                       const compile::CouplingMap& map) {
    if (name.find(only) != std::string::npos) {
      run_case(name, circuit, map);
      if (stages) {
        run_stages(circuit, map);
      }
    }
  };
  run("qft 100 on heavy_hex(7)", *ir::Circuit::qft(100),
      *compile::CouplingMap::heavy_hex(7));
  run("random 100q 10k (50% 2q) grid 10x10",
      random_circuit(100, 10'000, 0.5, 0, 1),
      *compile::CouplingMap::grid(10, 10));
  run("random 500q 100k (50% 2q) grid 23x23",
      random_circuit(500, 100'000, 0.5, 0, 2),
      *compile::CouplingMap::grid(23, 23));
  run("1000q 1M (30% 2q, reach 8) grid 32x32",
      random_circuit(1000, 1'000'000, 0.3, 8, 3),
      *compile::CouplingMap::grid(32, 32));
}
