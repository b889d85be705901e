#include "compile/property_set.hpp"

#include <type_traits>
#include <utility>

namespace qelto::compile {

// Callers copy their values before handing them over; moving them in must
// then not fail, or with_target could store one value and lose the other.
static_assert(std::is_nothrow_move_constructible_v<CouplingMap> &&
              std::is_nothrow_move_assignable_v<CouplingMap>);
static_assert(std::is_nothrow_move_constructible_v<BasisGates> &&
              std::is_nothrow_move_assignable_v<BasisGates>);
static_assert(std::is_nothrow_move_constructible_v<Layout> &&
              std::is_nothrow_move_assignable_v<Layout>);

PropertySet& PropertySet::with_target(CouplingMap coupling_map,
                                      BasisGates basis_gates) {
  coupling_map_ = std::move(coupling_map);
  basis_gates_ = std::move(basis_gates);
  return *this;
}

}  // namespace qelto::compile
