#include "compile/property_set.hpp"

#include <gtest/gtest.h>

namespace qelto::compile {
namespace {

TEST(PropertySetTest, with_target_replaces_the_target_and_keeps_the_rest) {
  PropertySet properties;
  EXPECT_FALSE(properties.layout() || properties.coupling_map() ||
               properties.basis_gates());
  properties.set_layout(Layout::trivial(2));
  properties.custom_properties()["depth"] = 3;
  properties.with_target(CouplingMap::star(3), BasisGates::ibm());
  PropertySet& chained =
      properties.with_target(CouplingMap::linear(4), BasisGates::iqm());
  EXPECT_EQ(&chained, &properties);
  EXPECT_EQ(properties.layout()->len(), 2u);
  EXPECT_EQ(properties.custom_properties().size(), 1u);
  EXPECT_EQ(properties.coupling_map()->num_qubits(), 4u);
  EXPECT_EQ(properties.basis_gates()->gates(), BasisGates::iqm().gates());
}

}  // namespace
}  // namespace qelto::compile
