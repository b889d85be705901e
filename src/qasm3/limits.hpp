#pragma once

#include <cstdint>
#include <optional>

namespace qelto::qasm3 {

// How much a program may ask the reader to build. Each is a count (no value
// meaning no limit); a program that passes one fails with an error naming
// the limit, at the statement that passes it and before anything of that
// statement is allocated.
//
// The defaults sit far above what real programs use and far below what
// exhausts a machine: a test program of a million qubits is realistic, one
// of a hundred million is not, so the registers stop at 2^24 (16,777,216)
// of each kind; operations stop at 2^27 (134,217,728), some eight per
// allowed qubit and more than any program text below half a gigabyte
// holds. Together they put a ceiling on what a short text can make the
// reader allocate (see read.hpp for the bound).
struct ReadLimits {
  static constexpr std::uint64_t kDefaultMaxQubits = std::uint64_t{1} << 24;
  static constexpr std::uint64_t kDefaultMaxClbits = std::uint64_t{1} << 24;
  static constexpr std::uint64_t kDefaultMaxOperations = std::uint64_t{1}
                                                         << 27;

  // Qubits declared by all registers together.
  std::optional<std::uint64_t> max_qubits = kDefaultMaxQubits;
  // Classical bits declared by all registers together.
  std::optional<std::uint64_t> max_clbits = kDefaultMaxClbits;
  // Operations the circuit receives, counting every application of a
  // broadcast and every operation a call of a gate definition expands to;
  // a barrier counts once per qubit it fences, as its size grows with them.
  std::optional<std::uint64_t> max_operations = kDefaultMaxOperations;
};

}  // namespace qelto::qasm3
