#include "compile/layout.hpp"

#include <cassert>
#include <utility>

namespace qelto::compile {
namespace {

std::optional<std::uint32_t> lookup(const Layout::Map& map, std::uint32_t key) {
  const auto found = map.find(key);
  if (found == map.end()) {
    return std::nullopt;
  }
  return found->second;
}

// Overwrites the value of a key that the inverse map guarantees is present;
// unlike operator[] this can never allocate.
void overwrite(Layout::Map& map, std::uint32_t key, std::uint32_t value) {
  const auto found = map.find(key);
  assert(found != map.end() && "layout directions out of step");
  found->second = value;
}

// Removes a key that the inverse map guarantees maps back to `value`.
void erase_back_reference(Layout::Map& map, std::uint32_t key,
                          [[maybe_unused]] std::uint32_t value) {
  const auto found = map.find(key);
  assert(found != map.end() && found->second == value &&
         "layout directions out of step");
  map.erase(found);
}

}  // namespace

Layout Layout::trivial(std::uint32_t num_qubits) {
  Layout layout;
  // Asking for all the room first makes an impossible size fail at once.
  layout.logical_to_physical_.reserve(num_qubits);
  layout.physical_to_logical_.reserve(num_qubits);
  for (std::uint32_t i = 0; i < num_qubits; ++i) {
    layout.logical_to_physical_.emplace(i, i);
    layout.physical_to_logical_.emplace(i, i);
  }
  return layout;
}

void Layout::add(ir::QubitId logical_id, PhysicalQubit physical_qubit) {
  const std::uint32_t logical = logical_id.index;
  const std::uint32_t physical = physical_qubit.index;
  const auto [to_physical, logical_is_new] =
      logical_to_physical_.try_emplace(logical, physical);
  std::pair<Map::iterator, bool> inserted;
  try {
    inserted = physical_to_logical_.try_emplace(physical, logical);
  } catch (...) {
    if (logical_is_new) {
      logical_to_physical_.erase(to_physical);
    }
    throw;
  }
  const auto [to_logical, physical_is_new] = inserted;
  // Nothing below allocates. Placements superseded by this one go, so that
  // the two directions stay inverse and a later swap cannot move a logical
  // qubit through a physical qubit that no longer holds it.
  if (!logical_is_new && to_physical->second != physical) {
    erase_back_reference(physical_to_logical_, to_physical->second, logical);
  }
  if (!physical_is_new && to_logical->second != logical) {
    erase_back_reference(logical_to_physical_, to_logical->second, physical);
  }
  to_physical->second = physical;
  to_logical->second = logical;
}

std::optional<PhysicalQubit> Layout::get_physical(ir::QubitId logical) const {
  const auto physical = lookup(logical_to_physical_, logical.index);
  return physical ? std::optional(PhysicalQubit{*physical}) : std::nullopt;
}

std::optional<ir::QubitId> Layout::get_logical(PhysicalQubit physical) const {
  const auto logical = lookup(physical_to_logical_, physical.index);
  return logical ? std::optional(ir::QubitId{*logical}) : std::nullopt;
}

void Layout::swap(PhysicalQubit first, PhysicalQubit second) {
  const std::uint32_t p1 = first.index;
  const std::uint32_t p2 = second.index;
  const auto l1 = lookup(physical_to_logical_, p1);
  const auto l2 = lookup(physical_to_logical_, p2);
  if (p1 == p2 || (!l1 && !l2)) {
    return;
  }
  if (l1 && l2) {
    overwrite(physical_to_logical_, p1, *l2);
    overwrite(physical_to_logical_, p2, *l1);
    overwrite(logical_to_physical_, *l1, p2);
    overwrite(logical_to_physical_, *l2, p1);
    return;
  }
  const auto [from, to] = l1 ? std::pair{p1, p2} : std::pair{p2, p1};
  const std::uint32_t moving = l1 ? *l1 : *l2;
  // The one insertion comes first: if it throws, nothing has changed yet.
  physical_to_logical_.emplace(to, moving);
  erase_back_reference(physical_to_logical_, from, moving);
  overwrite(logical_to_physical_, moving, to);
}

}  // namespace qelto::compile
