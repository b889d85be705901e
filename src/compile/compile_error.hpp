#pragma once

#include <cstdint>
#include <expected>
#include <string>

namespace qelto::compile {

// Why a compilation pass refused its input. Passes check everything before
// they produce anything, so a refused call has changed nothing.
struct CompileError {
  enum class Kind : std::uint8_t {
    // The property set lacks a coupling map or basis gates.
    MissingTarget,
    // The circuit has more qubits than the device.
    TooManyQubits,
    // Qubits that interact cannot all be placed in connected parts of the
    // device.
    DisconnectedDevice,
    // A given layout does not place the circuit's qubits on distinct
    // qubits of the device.
    InvalidLayout,
    // A gate has no expression in the basis (or cannot be unrolled).
    UnsupportedGate,
    // A gate angle names a free parameter, so it has no value.
    UnboundParameter,
  };
  Kind kind;
  // A complete sentence naming what was wrong, e.g. "gate 'ccx' cannot be
  // expressed in the basis [rz, sx]".
  std::string message;
};

template <class T>
using CompileResult = std::expected<T, CompileError>;

// The message, prefixed by nothing: the Python layer adds its own prefix.
[[nodiscard]] inline const std::string& to_string(const CompileError& error) {
  return error.message;
}

}  // namespace qelto::compile
