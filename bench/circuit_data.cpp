// Circuits as data at scale, per operation on a 1,000,000-operation circuit
// (a mix of h, cx, rz with a symbolic angle, and rx with a constant one):
// reading in insertion order, count_ops, parameters, copy, compose onto a
// circuit, inverse, assign_parameters, to_bytes / from_bytes; and drawing a
// 10,000-operation circuit.
//
// Usage: bench_circuit_data [operations] [drawn operations]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "ir/circuit.hpp"
#include "ir/circuit_ops.hpp"
#include "ir/draw.hpp"
#include "ir/serialize.hpp"
#include "ir/transform.hpp"

namespace {

using namespace qelto::ir;
using PE = ParameterExpression;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kQubits = 100;

double ns_per_op(Clock::time_point start, std::size_t ops) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start)
             .count() /
         static_cast<double>(ops);
}

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "bench_circuit_data: %s failed\n", what);
    std::exit(1);
  }
}

Circuit mixed(std::size_t ops) {
  Circuit c = Circuit::with_size("bench", kQubits, 0);
  for (std::size_t i = 0; i < ops / 4; ++i) {
    const QubitId q{static_cast<std::uint32_t>(i % kQubits)};
    const QubitId next{static_cast<std::uint32_t>((i + 1) % kQubits)};
    check(c.h(q) && c.cx(q, next) && c.rz(PE::symbol("theta"), q) &&
              c.rx(PE::constant(0.5), next),
          "build");
  }
  return c;
}

template <class Body>
void report(const char* label, std::size_t ops, Body&& body) {
  const auto start = Clock::now();
  body();
  std::printf("%-28s %8.1f ns/op\n", label, ns_per_op(start, ops));
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t ops = argc > 1 ? std::strtoull(argv[1], nullptr, 10)
                                   : 1'000'000;
  const std::size_t drawn = argc > 2 ? std::strtoull(argv[2], nullptr, 10)
                                     : 10'000;
  const Circuit c = mixed(ops);
  const std::size_t n = num_operations(c);
  std::printf("%zu operations on %u qubits\n", n, kQubits);

  std::size_t seen = 0;
  report("read in insertion order", n, [&] {
    for_each_operation(c, [&seen](OperationRef op) {
      seen += op.qubits().size();
    });
  });
  check(seen > 0, "read");
  report("count_ops", n, [&] { check(count_ops(c).size() == 4, "count_ops"); });
  report("parameters", n, [&] { check(parameters(c).size() == 1, "parameters"); });
  report("copy", n, [&] { check(num_operations(copy(c, "copy")) == n, "copy"); });
  {
    Circuit target = Circuit::with_size("target", kQubits, 0);
    report("compose", n, [&] {
      check(compose(target, c, std::nullopt, std::nullopt).has_value(),
            "compose");
    });
  }
  report("inverse", n, [&] { check(inverse(c).has_value(), "inverse"); });
  const std::pair<std::string, double> values[] = {{"theta", 0.25}};
  report("assign_parameters", n, [&] {
    check(assign_parameters(c, values).has_value(), "assign_parameters");
  });
  std::string bytes;
  report("to_bytes", n, [&] { bytes = to_bytes(c); });
  std::printf("%-28s %8.1f bytes/op\n", "  size",
              static_cast<double>(bytes.size()) / static_cast<double>(n));
  report("from_bytes", n, [&] { check(from_bytes(bytes).has_value(), "from_bytes"); });

  const Circuit small = mixed(drawn);
  const auto start = Clock::now();
  const std::string text = draw(small);
  std::printf("draw %zu operations          %8.1f ms (%zu bytes)\n",
              num_operations(small),
              std::chrono::duration<double, std::milli>(Clock::now() - start)
                  .count(),
              text.size());
  return 0;
}
