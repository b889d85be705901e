#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <utility>

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
  // Both directions are kept by bare index: the standard library treats a
  // hash of an integer as cheap and stores no hash codes in the nodes, which
  // it would for a hash of the wrapper types.
  using Map = std::unordered_map<std::uint32_t, std::uint32_t>;

  // Walks the placements, giving each as (logical, physical).
  class Iterator {
   public:
    using value_type = std::pair<ir::QubitId, PhysicalQubit>;
    using difference_type = std::ptrdiff_t;

    Iterator() = default;
    explicit Iterator(Map::const_iterator at) : at_(at) {}
    value_type operator*() const {
      return {ir::QubitId{at_->first}, PhysicalQubit{at_->second}};
    }
    Iterator& operator++() {
      ++at_;
      return *this;
    }
    Iterator operator++(int) { return Iterator(at_++); }
    friend bool operator==(const Iterator&, const Iterator&) = default;

   private:
    Map::const_iterator at_;
  };

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
  [[nodiscard]] Iterator begin() const {
    return Iterator(logical_to_physical_.begin());
  }
  [[nodiscard]] Iterator end() const {
    return Iterator(logical_to_physical_.end());
  }

 private:
  Map logical_to_physical_;
  Map physical_to_logical_;
};

}  // namespace qelto::compile
