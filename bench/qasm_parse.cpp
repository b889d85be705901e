// Throughput of reading OpenQASM 3 into a circuit over generated programs of
// 10^4, 10^5 and 10^6 operations, and of the parts of the work: the token
// list, and parsing statement by statement into the flat syntax form (what
// reading does before lowering each statement).
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qasm3/lexer.hpp"
#include "qasm3/parser.hpp"
#include "qasm3/read.hpp"

namespace {

constexpr std::size_t kQubits = 64;

// One operation per line, cycling through the shapes real programs have:
// single-qubit gates, two-qubit gates, angles (numeric and symbolic),
// measurements in both spellings, resets and barriers.
std::string generate_program(std::size_t operations) {
  std::string text = "OPENQASM 3.0;\ninclude \"stdgates.inc\";\n";
  text += "qubit[" + std::to_string(kQubits) + "] q;\nbit[" +
          std::to_string(kQubits) + "] c;\n";
  for (std::size_t i = 0; i < operations; ++i) {
    const std::string a = std::to_string(i % kQubits);
    const std::string b = std::to_string((i * 7 + 3) % kQubits);
    switch (i % 8) {
      case 0:
        text += "h q[" + a + "];\n";
        break;
      case 1:
        text += "cx q[" + a + "], q[" + (a == b ? "0" : b) + "];\n";
        break;
      case 2:
        text += "rz(" + std::to_string(0.001 * static_cast<double>(i)) +
                ") q[" + a + "];\n";
        break;
      case 3:
        text += "u(pi/2, -pi/4, 2.5e-3 * theta) q[" + b + "];\n";
        break;
      case 4:
        text += "c[" + a + "] = measure q[" + a + "];\n";
        break;
      case 5:
        text += "measure q[" + b + "] -> c[" + b + "];\n";
        break;
      case 6:
        text += (i % 16 == 6 ? "reset q[" + a + "];\n"
                             : "barrier q[" + a + "], q[" + b + "];\n");
        break;
      default:
        text += "sdg q[" + b + "];\n";
        break;
    }
  }
  return text;
}

// Parses statement by statement without building a tree.
std::size_t count_statements(const std::string& program) {
  qelto::qasm3::Parser parser(program);
  std::size_t count = 0;
  if (!parser.parse_header()) {
    return count;
  }
  for (auto statement = parser.next_statement(); statement && *statement;
       statement = parser.next_statement()) {
    ++count;
  }
  return count;
}

// Best wall time of `runs` calls of `run`. What `run` returns is dropped
// after the clock stops: freeing a result is not part of reading it.
template <class F>
double best_seconds(int runs, F&& run) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    [[maybe_unused]] auto result = run();
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  return best;
}

void report(const char* stage, double mb, int runs, double seconds) {
  std::printf("  %-22s best of %d: %.4f s, %7.1f MB/s\n", stage, runs, seconds,
              mb / seconds);
}

}  // namespace

int main() {
  for (std::size_t operations : {10'000u, 100'000u, 1'000'000u}) {
    const std::string program = generate_program(operations);
    const double mb = static_cast<double>(program.size()) / 1e6;
    const int runs = operations >= 1'000'000 ? 3 : 5;

    auto check = qelto::qasm3::parse(program);
    if (!check || check->dag().node_count() == 0) {
      std::fprintf(stderr, "generated program does not read: %s\n",
                   check ? "no operations"
                         : qelto::qasm3::to_string(check.error()).c_str());
      return EXIT_FAILURE;
    }
    std::printf("%zu operations, %.2f MB:\n", operations, mb);

    report("token list", mb, runs,
           best_seconds(runs, [&] { return qelto::qasm3::tokenize(program); }));
    report("statements", mb, runs,
           best_seconds(runs, [&] { return count_statements(program); }));
    report("from text to circuit", mb, runs,
           best_seconds(runs, [&] { return qelto::qasm3::parse(program); }));
  }
  return EXIT_SUCCESS;
}
