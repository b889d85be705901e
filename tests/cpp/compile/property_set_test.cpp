#include "compile/property_set.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qelto::compile {
namespace {

TEST(PropertySetTest, starts_with_nothing_set) {
  const PropertySet properties;
  EXPECT_FALSE(properties.layout());
  EXPECT_FALSE(properties.coupling_map());
  EXPECT_FALSE(properties.basis_gates());
  EXPECT_TRUE(properties.custom_properties().empty());
}

TEST(PropertySetTest, with_target_replaces_target_and_keeps_layout) {
  PropertySet properties;
  properties.set_layout(Layout::trivial(2));
  properties.with_target(CouplingMap::star(3), BasisGates::ibm());
  PropertySet& chained =
      properties.with_target(CouplingMap::linear(4), BasisGates::iqm());
  EXPECT_EQ(&chained, &properties);
  ASSERT_TRUE(properties.layout());
  EXPECT_EQ(properties.layout()->len(), 2u);
  ASSERT_TRUE(properties.coupling_map());
  EXPECT_EQ(properties.coupling_map()->num_qubits(), 4u);
  EXPECT_EQ(properties.coupling_map()->edges().size(), 3u);
  ASSERT_TRUE(properties.basis_gates());
  EXPECT_EQ(properties.basis_gates()->gates(), BasisGates::iqm().gates());
}

TEST(PropertySetTest, setters_store_their_own_copy) {
  PropertySet properties;
  Layout layout;
  layout.add(0, 3);
  properties.set_layout(layout);
  layout.add(1, 4);
  properties.set_basis_gates(BasisGates({"h"}));
  properties.set_basis_gates(BasisGates({"x", "y"}));
  EXPECT_EQ(properties.layout()->len(), 1u);
  EXPECT_EQ(properties.basis_gates()->gates().size(), 2u);
  EXPECT_FALSE(properties.coupling_map());
}

TEST(PropertySetTest, custom_properties_are_destroyed_with_the_set) {
  const auto witness = std::make_shared<int>(5);
  {
    PropertySet properties;
    properties.custom_properties()["depth"] = witness;
    properties.custom_properties()["order"] = std::vector<int>{2, 1};
    EXPECT_EQ(witness.use_count(), 2);
    PropertySet copy = properties;
    EXPECT_EQ(witness.use_count(), 3);
  }
  EXPECT_EQ(witness.use_count(), 1);
}

}  // namespace
}  // namespace qelto::compile
