#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <variant>

#include "ir/qubit.hpp"

namespace qelto::ir {

struct QubitNotFound {
  QubitId qubit;
  std::optional<std::string> gate_name;
};

struct ClbitNotFound {
  ClbitId clbit;
  std::optional<std::string> gate_name;
};

struct InvalidDag {
  std::string message;
};

struct InvalidNodeIndex {};

struct QubitCountMismatch {
  std::string gate_name;
  std::uint32_t expected = 0;
  std::uint32_t got = 0;
};

struct UnboundParameter {
  std::string name;
};

struct ParameterizedCircuit {};

struct DuplicateQubit {
  QubitId qubit;
  std::optional<std::string> gate_name;
};

// The IR library's only error type. Owns its texts; a plain value.
using IrError =
    std::variant<QubitNotFound, ClbitNotFound, InvalidDag, InvalidNodeIndex,
                 QubitCountMismatch, UnboundParameter, ParameterizedCircuit,
                 DuplicateQubit>;

template <class T>
using IrResult = std::expected<T, IrError>;

// The fixed display text of an error, e.g.
// "Qubit QubitId(5) not found in circuit (gate: h)".
std::string to_string(const IrError& error);

}  // namespace qelto::ir
