#pragma once

#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <variant>
#include <vector>

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

// assign_parameters was given names that no operation of the circuit uses
// (all of them, in the order given).
struct UnknownParameters {
  std::vector<std::string> names;
};

// assign_parameters was given a value that is NaN or infinite.
struct NonFiniteParameterValue {
  std::string name;
  double value = 0.0;
};

// compose was given a bit mapping that does not fit: wrong length, a bit the
// target circuit lacks, or a bit named twice.
struct InvalidBitMapping {
  std::string message;
};

// inverse met an operation without an inverse (measure, reset, delay, a
// custom gate); `position` counts operations in insertion order from 0.
struct NotInvertible {
  std::string operation;
  std::uint64_t position = 0;
};

// A serialised circuit that cannot be read back.
struct MalformedCircuitData {
  std::string message;
};

// The IR library's only error type. Owns its texts; a plain value. New kinds
// are appended, so the index of every existing kind stays.
using IrError =
    std::variant<QubitNotFound, ClbitNotFound, InvalidDag, InvalidNodeIndex,
                 QubitCountMismatch, UnboundParameter, ParameterizedCircuit,
                 DuplicateQubit, UnknownParameters, NonFiniteParameterValue,
                 InvalidBitMapping, NotInvertible, MalformedCircuitData>;

template <class T>
using IrResult = std::expected<T, IrError>;

// The fixed display text of an error, e.g.
// "Qubit QubitId(5) not found in circuit (gate: h)".
std::string to_string(const IrError& error);

}  // namespace qelto::ir
