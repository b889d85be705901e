#pragma once

#include <cstdint>
#include <optional>

namespace qelto::qasm3 {

// How the reader reads a program.
//
// Limits: how much a program may ask the reader to build. Each is a count
// (no value meaning no limit); a program that passes one fails with an
// error naming the limit, at the statement that passes it and before
// anything of that statement is allocated.
//
// The defaults sit far above what real programs use and far below what
// exhausts a machine: a test program of a million qubits is realistic, one
// of a hundred million is not, so the registers stop at 2^24 (16,777,216)
// of each kind, about 1.6 GiB each as the circuit holds them. Operations
// stop at 2^25 (33,554,432): a program that spells that many out is some
// 200 MB of text, beyond what people or other toolkits write, and the
// limit keeps a short text that broadcasts or expands from building more
// than about 1.7 GiB of them. Together they put a ceiling on what a short
// text can make the reader allocate (see read.hpp for the bound).
struct ReadOptions {
  static constexpr std::uint64_t kDefaultMaxQubits = std::uint64_t{1} << 24;
  static constexpr std::uint64_t kDefaultMaxClbits = std::uint64_t{1} << 24;
  static constexpr std::uint64_t kDefaultMaxOperations = std::uint64_t{1}
                                                         << 25;

  // Qubits declared by all registers together.
  std::optional<std::uint64_t> max_qubits = kDefaultMaxQubits;
  // Classical bits declared by all registers together.
  std::optional<std::uint64_t> max_clbits = kDefaultMaxClbits;
  // Operations the circuit receives, counting every application of a
  // broadcast and every operation a call of a gate definition expands to;
  // a barrier counts once per qubit it fences, as its size grows with them.
  // What reading builds besides operations counts alike: each call of a
  // definition counts once (expanding it takes work even when it makes
  // nothing), and every copy of an angle expression that reading makes
  // counts once per node: the angles of an operation that keeps its own (a
  // symbolic angle, or any angle in a definition's body), and those a call
  // of a definition holds until its body is expanded.
  std::optional<std::uint64_t> max_operations = kDefaultMaxOperations;

  // Whether `id` (and its aliases `i` and `u0`) reads as the catalogue's
  // identity operation. By default it is read and dropped, as it has no
  // effect; kept, the portable text of any circuit reads back into the
  // same text.
  bool keep_identity = false;
};

}  // namespace qelto::qasm3
