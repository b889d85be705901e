#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "ir/instruction.hpp"
#include "python/binding/object.hpp"

namespace qelto::python {

// What an Operation object holds: a snapshot of one instruction in the
// forms Python reads, so the object stays valid and unchanged whatever
// happens to its circuit afterwards.
struct OperationValue {
  std::string name;
  ir::QubitList qubits;
  ir::ClbitList clbits;
  // A parameter without free symbols as its value, otherwise its text as
  // the OpenQASM writer prints it.
  std::vector<std::variant<double, std::string>> params;
  std::optional<std::uint64_t> duration;

  [[nodiscard]] static OperationValue of(const ir::Instruction& instruction);
  friend bool operator==(const OperationValue&,
                         const OperationValue&) = default;
};

ClassDef& operation_class();

// A new Operation object for `instruction`, or null with an error set.
PyObject* new_operation(const ir::Instruction& instruction);

}  // namespace qelto::python
