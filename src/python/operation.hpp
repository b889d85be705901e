#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ir/dag.hpp"
#include "ir/ids.hpp"
#include "ir/instruction.hpp"

namespace qelto::python {

// What an Operation object holds: a snapshot of one stored operation in the
// forms Python reads, so the object stays valid and unchanged whatever
// happens to its circuit afterwards.
struct OperationValue {
  std::string name;
  // Inline for up to three operands: reading a circuit makes one of these
  // per operation, mostly without a heap block.
  ir::QubitList qubits;
  ir::ClbitList clbits;
  // A parameter without free symbols as its value, otherwise its text as
  // the OpenQASM writer prints it.
  std::vector<std::variant<double, std::string>> params;
  std::optional<std::uint64_t> duration;

  [[nodiscard]] static OperationValue of(ir::OperationRef operation);
  friend bool operator==(const OperationValue&,
                         const OperationValue&) = default;
};

}  // namespace qelto::python
