// Throughput of the OpenQASM 3 lexer over a generated ~10 MB program.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>

#include "qasm3/lexer.hpp"
#include "qasm3/scanner.hpp"

namespace {

// A program shaped like real output: gate calls with and without angles,
// measurements, comments and a few longer names.
std::string generate_program(std::size_t target_bytes) {
  std::string text = "OPENQASM 3.0;\ninclude \"stdgates.inc\";\n";
  text += "qubit[64] q;\nbit[64] c;\n";
  const char* gates[] = {"h", "x", "sdg", "measure_all_helper"};
  for (std::size_t i = 0; text.size() < target_bytes; ++i) {
    const std::size_t a = i % 64;
    const std::size_t b = (i * 7 + 3) % 64;
    switch (i % 6) {
      case 0:
        text +=
            "cx q[" + std::to_string(a) + "], q[" + std::to_string(b) + "];\n";
        break;
      case 1:
        text += "rz(" + std::to_string(0.001 * static_cast<double>(i)) +
                ") q[" + std::to_string(a) + "];\n";
        break;
      case 2:
        text += "c[" + std::to_string(a) + "] = measure q[" +
                std::to_string(a) + "];\n";
        break;
      case 3:
        text += "// layer " + std::to_string(i) + "\n";
        break;
      case 4:
        text +=
            "u(pi/2, -pi/4, 2.5e-3 * theta) q[" + std::to_string(b) + "];\n";
        break;
      default:
        text += std::string(gates[i % 4]) + " q[" + std::to_string(a) + "];\n";
        break;
    }
  }
  return text;
}

}  // namespace

template <class F>
double best_seconds(int runs, F&& run) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  return best;
}

int main() {
  const std::string program = generate_program(10 * 1000 * 1000);
  const double mb = static_cast<double>(program.size()) / 1e6;
  constexpr int kRuns = 5;

  std::size_t lexemes = 0;
  const double scan = best_seconds(kRuns, [&] {
    qelto::qasm3::Scanner scanner(program);
    qelto::qasm3::Lexeme lexeme;
    lexemes = 0;
    while (scanner.next(lexeme)) {
      ++lexemes;
    }
  });
  std::printf(
      "scan only: %.2f MB, %zu lexemes, best of %d: %.4f s, %.1f MB/s\n", mb,
      lexemes, kRuns, scan, mb / scan);

  // Each run frees the previous list before its clock starts.
  qelto::qasm3::LexResult result;
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    result = {};
    const auto start = std::chrono::steady_clock::now();
    result = qelto::qasm3::tokenize(program);
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  std::printf(
      "tokenize:  %.2f MB, %zu tokens (%zu bytes each), best of %d: "
      "%.4f s, %.1f MB/s\n",
      mb, result.tokens.size(), sizeof(qelto::qasm3::LexedToken), kRuns, best,
      mb / best);
  return 0;
}
