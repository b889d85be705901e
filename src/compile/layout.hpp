#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "compile/physical_qubit.hpp"
#include "ir/ids.hpp"

namespace qelto::compile {

// Where the logical qubits of a circuit sit on the physical qubits of a
// device, kept in both directions. A plain value: copies are deep and
// independent.
//
// The two directions are always exact inverses: each logical qubit sits on at
// most one physical qubit and each physical qubit holds at most one logical
// qubit. Every 32-bit value is a valid index on either side; nothing is range
// checked and no operation reports an error. The only exception that can
// leave an operation is std::bad_alloc, and a mutation that throws it leaves
// the layout as it was.
class Layout {
 public:
  using Map = std::unordered_map<ir::QubitId, PhysicalQubit>;
  using InverseMap = std::unordered_map<PhysicalQubit, ir::QubitId>;

  Layout() = default;

  // Logical i on physical i for every i < num_qubits.
  [[nodiscard]] static Layout trivial(std::uint32_t num_qubits);

  // Places `logical` on `physical`. A placement either qubit had before is
  // dropped, so the logical qubit that `physical` held becomes unplaced and
  // the physical qubit that `logical` sat on becomes free.
  void add(ir::QubitId logical, PhysicalQubit physical);

  [[nodiscard]] std::optional<PhysicalQubit> get_physical(
      ir::QubitId logical) const;
  [[nodiscard]] std::optional<ir::QubitId> get_logical(
      PhysicalQubit physical) const;

  // Exchanges the logical qubits held by two physical qubits. When only one
  // of them is occupied, its logical qubit moves to the other and it becomes
  // free; when neither is, nothing changes. Never changes len().
  void swap(PhysicalQubit p1, PhysicalQubit p2);

  // Number of placed logical qubits.
  [[nodiscard]] std::size_t len() const { return logical_to_physical_.size(); }

  // The (logical, physical) placements in the hash map's own order, which is
  // not sorted. Iterators stay valid until the next mutation.
  [[nodiscard]] Map::const_iterator begin() const {
    return logical_to_physical_.begin();
  }
  [[nodiscard]] Map::const_iterator end() const {
    return logical_to_physical_.end();
  }

 private:
  Map logical_to_physical_;
  InverseMap physical_to_logical_;
};

}  // namespace qelto::compile
