#pragma once

#include <any>
#include <optional>
#include <string>
#include <unordered_map>

#include "compile/basis_gates.hpp"
#include "compile/coupling_map.hpp"
#include "compile/layout.hpp"

namespace qelto::compile {

// The record that compilation passes share: the target (coupling map, basis
// gates), the current layout, and whatever further results passes hand on.
// Owns all of it by value; a field once set is replaced but never cleared.
class PropertySet {
 public:
  // Results that passes store for later passes, by name. Each value is owned
  // here and destroyed through its own type when replaced or when the
  // property set goes.
  using CustomProperties = std::unordered_map<std::string, std::any>;

  PropertySet() = default;

  [[nodiscard]] const std::optional<Layout>& layout() const { return layout_; }
  [[nodiscard]] const std::optional<CouplingMap>& coupling_map() const {
    return coupling_map_;
  }
  [[nodiscard]] const std::optional<BasisGates>& basis_gates() const {
    return basis_gates_;
  }
  // Where compilation placed the circuit's qubits before its first
  // operation (logical -> physical); `layout` is where they end. Absent
  // until a compilation sets it.
  [[nodiscard]] const std::optional<Layout>& initial_layout() const {
    return initial_layout_;
  }
  void set_initial_layout(Layout layout) {
    initial_layout_ = std::move(layout);
  }

  void set_layout(Layout layout) { layout_ = std::move(layout); }
  void set_coupling_map(CouplingMap coupling_map) {
    coupling_map_ = std::move(coupling_map);
  }
  void set_basis_gates(BasisGates basis_gates) {
    basis_gates_ = std::move(basis_gates);
  }

  // Stores both target values, replacing earlier ones; the layout and the
  // custom properties stay. Returns *this so that calls chain.
  PropertySet& with_target(CouplingMap coupling_map, BasisGates basis_gates);

  [[nodiscard]] CustomProperties& custom_properties() {
    return custom_properties_;
  }
  [[nodiscard]] const CustomProperties& custom_properties() const {
    return custom_properties_;
  }

 private:
  std::optional<Layout> layout_;
  std::optional<CouplingMap> coupling_map_;
  std::optional<BasisGates> basis_gates_;
  std::optional<Layout> initial_layout_;
  CustomProperties custom_properties_;
};

}  // namespace qelto::compile
