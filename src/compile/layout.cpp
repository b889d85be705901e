#include "compile/layout.hpp"

#include <cassert>
#include <utility>

namespace qelto::compile {
namespace {

template <class Map>
std::optional<typename Map::mapped_type> lookup(const Map& map,
                                               typename Map::key_type key) {
  const auto found = map.find(key);
  if (found == map.end()) {
    return std::nullopt;
  }
  return found->second;
}

// Overwrites the value of a key that the inverse map guarantees is present;
// unlike operator[] this can never allocate.
template <class Map>
void overwrite(Map& map, typename Map::key_type key,
               typename Map::mapped_type value) {
  const auto found = map.find(key);
  assert(found != map.end() && "layout directions out of step");
  found->second = value;
}

// Removes a key that the inverse map guarantees maps back to `value`.
template <class Map>
void erase_back_reference(Map& map, typename Map::key_type key,
                          [[maybe_unused]] typename Map::mapped_type value) {
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
    layout.logical_to_physical_.emplace(ir::QubitId{i}, PhysicalQubit{i});
    layout.physical_to_logical_.emplace(PhysicalQubit{i}, ir::QubitId{i});
  }
  return layout;
}

void Layout::add(ir::QubitId logical, PhysicalQubit physical) {
  const auto [to_physical, logical_is_new] =
      logical_to_physical_.try_emplace(logical, physical);
  std::pair<InverseMap::iterator, bool> inserted;
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
  return lookup(logical_to_physical_, logical);
}

std::optional<ir::QubitId> Layout::get_logical(PhysicalQubit physical) const {
  return lookup(physical_to_logical_, physical);
}

void Layout::swap(PhysicalQubit p1, PhysicalQubit p2) {
  const auto l1 = get_logical(p1);
  const auto l2 = get_logical(p2);
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
  const ir::QubitId moving = l1 ? *l1 : *l2;
  // The one insertion comes first: if it throws, nothing has changed yet.
  physical_to_logical_.emplace(to, moving);
  erase_back_reference(physical_to_logical_, from, moving);
  overwrite(logical_to_physical_, moving, to);
}

}  // namespace qelto::compile
