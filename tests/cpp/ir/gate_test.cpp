#include "ir/gate.hpp"

#include <gtest/gtest.h>

#include "describe.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using testing::describe;

struct CatalogueRow {
  StandardGate::Kind kind;
  const char* name;
  std::uint32_t qubits;
  std::uint32_t params;
};

// The catalogue, in enumerator order.
const CatalogueRow kRows[] = {
    {StandardGate::Id, "id", 1, 0},      {StandardGate::X, "x", 1, 0},
    {StandardGate::Y, "y", 1, 0},        {StandardGate::Z, "z", 1, 0},
    {StandardGate::H, "h", 1, 0},        {StandardGate::S, "s", 1, 0},
    {StandardGate::Sdg, "sdg", 1, 0},    {StandardGate::T, "t", 1, 0},
    {StandardGate::Tdg, "tdg", 1, 0},    {StandardGate::Sx, "sx", 1, 0},
    {StandardGate::Sxdg, "sxdg", 1, 0},  {StandardGate::Rx, "rx", 1, 1},
    {StandardGate::Ry, "ry", 1, 1},      {StandardGate::Rz, "rz", 1, 1},
    {StandardGate::P, "p", 1, 1},        {StandardGate::U, "u", 1, 3},
    {StandardGate::Cx, "cx", 2, 0},      {StandardGate::Cy, "cy", 2, 0},
    {StandardGate::Cz, "cz", 2, 0},      {StandardGate::Ch, "ch", 2, 0},
    {StandardGate::Swap, "swap", 2, 0},  {StandardGate::ISwap, "iswap", 2, 0},
    {StandardGate::Crx, "crx", 2, 1},    {StandardGate::Cry, "cry", 2, 1},
    {StandardGate::Crz, "crz", 2, 1},    {StandardGate::Cp, "cp", 2, 1},
    {StandardGate::Rxx, "rxx", 2, 1},    {StandardGate::Ryy, "ryy", 2, 1},
    {StandardGate::Rzz, "rzz", 2, 1},    {StandardGate::Ccx, "ccx", 3, 0},
    {StandardGate::CSwap, "cswap", 3, 0}, {StandardGate::Prx, "prx", 1, 2},
    // The gates added after the first 32.
    {StandardGate::Cu, "cu", 2, 4},      {StandardGate::Csx, "csx", 2, 0},
    {StandardGate::Rccx, "rccx", 3, 0},  {StandardGate::Rc3x, "rc3x", 4, 0},
    {StandardGate::C3sqrtx, "c3sqrtx", 4, 0},
    {StandardGate::C3x, "c3x", 4, 0},    {StandardGate::C4x, "c4x", 5, 0},
    {StandardGate::Cs, "cs", 2, 0},      {StandardGate::Csdg, "csdg", 2, 0},
    {StandardGate::Ccz, "ccz", 3, 0},    {StandardGate::Rzx, "rzx", 2, 1},
    {StandardGate::Ecr, "ecr", 2, 0},    {StandardGate::Dcx, "dcx", 2, 0},
};

std::vector<PE> thetas(std::uint32_t n) {
  const char* names[] = {"p0", "p1", "p2", "p3"};
  std::vector<PE> out;
  for (std::uint32_t i = 0; i < n; ++i) {
    out.push_back(PE::symbol(names[i]));
  }
  return out;
}

TEST(StandardGateTest, catalogue_rows_in_enumerator_order) {
  ASSERT_EQ(std::size(kRows), StandardGate::kNumKinds);
  for (std::size_t i = 0; i < std::size(kRows); ++i) {
    const CatalogueRow& row = kRows[i];
    SCOPED_TRACE(row.name);
    EXPECT_EQ(static_cast<std::size_t>(row.kind), i);
    EXPECT_EQ(StandardGate::name(row.kind), row.name);
    EXPECT_EQ(StandardGate::num_qubits(row.kind), row.qubits);
    EXPECT_EQ(StandardGate::num_params(row.kind), row.params);
    EXPECT_EQ(StandardGate::from_name(row.name), row.kind);
    auto gate = StandardGate::make(row.kind, thetas(row.params));
    ASSERT_TRUE(gate.has_value());
    EXPECT_EQ(gate->kind(), row.kind);
    EXPECT_EQ(gate->name(), row.name);
    EXPECT_EQ(gate->num_qubits(), row.qubits);
    EXPECT_EQ(gate->parameters().size(), row.params);
  }
}

TEST(StandardGateTest, long_names_are_whole) {
  EXPECT_EQ(StandardGate(StandardGate::Sxdg).name(), "sxdg");
  EXPECT_EQ(StandardGate(StandardGate::Swap).name(), "swap");
  EXPECT_EQ(StandardGate(StandardGate::ISwap).name(), "iswap");
  EXPECT_EQ(StandardGate(StandardGate::CSwap).name(), "cswap");
  EXPECT_EQ(StandardGate::from_name("cswap"), StandardGate::CSwap);
  EXPECT_EQ(StandardGate::from_name("CX"), std::nullopt);
  EXPECT_EQ(StandardGate::from_name("cnot"), std::nullopt);
  EXPECT_EQ(StandardGate::from_name(""), std::nullopt);
}

TEST(StandardGateTest, parameters_come_in_catalogue_order) {
  StandardGate u(StandardGate::U, PE::symbol("a"), PE::symbol("b"),
                 PE::symbol("c"));
  auto up = u.parameters();
  ASSERT_EQ(up.size(), 3u);
  EXPECT_EQ(describe(up[0]), "a");
  EXPECT_EQ(describe(up[1]), "b");
  EXPECT_EQ(describe(up[2]), "c");

  StandardGate prx(StandardGate::Prx, PE::symbol("theta"), PE::symbol("phi"));
  auto pp = prx.parameters();
  ASSERT_EQ(pp.size(), 2u);
  EXPECT_EQ(describe(pp[0]), "theta");
  EXPECT_EQ(describe(pp[1]), "phi");

  EXPECT_TRUE(StandardGate(StandardGate::Swap).parameters().empty());
}

TEST(StandardGateTest, make_rejects_wrong_parameter_count) {
  EXPECT_FALSE(StandardGate::make(StandardGate::Rx, {}).has_value());
  EXPECT_FALSE(StandardGate::make(StandardGate::H, thetas(1)).has_value());
  EXPECT_FALSE(StandardGate::make(StandardGate::U, thetas(2)).has_value());
  EXPECT_TRUE(StandardGate::make(StandardGate::U, thetas(3)).has_value());
  EXPECT_FALSE(StandardGate::make(StandardGate::Cu, thetas(3)).has_value());
}

TEST(StandardGateTest, four_parameters_keep_their_order_through_clone) {
  StandardGate cu(StandardGate::Cu, PE::symbol("a"), PE::symbol("b"),
                  PE::symbol("c"), PE::symbol("d"));
  StandardGate copy = cu.clone();
  ASSERT_EQ(copy.parameters().size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(describe(copy.parameters()[i]), std::string(1, "abcd"[i]));
  }
}

TEST(StandardGateTest, clone_is_deep) {
  auto original = std::make_unique<StandardGate>(
      StandardGate::Crz, PE::add(PE::pi(), PE::symbol("t")));
  StandardGate copy = original->clone();
  EXPECT_EQ(copy.kind(), StandardGate::Crz);
  EXPECT_NE(&copy.parameters()[0], &original->parameters()[0]);
  original.reset();
  EXPECT_EQ(describe(copy.parameters()[0]), "(pi+t)");
}

TEST(StandardGateTest, moved_from_gate_is_id) {
  StandardGate g(StandardGate::Rz, PE::constant(0.5));
  StandardGate h = std::move(g);
  EXPECT_EQ(h.kind(), StandardGate::Rz);
  EXPECT_EQ(describe(h.parameters()[0]), "0.5");
  EXPECT_EQ(g.kind(), StandardGate::Id);  // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(g.parameters().empty());
}

TEST(GateTest, standard_gate_reports_catalogue_values) {
  Gate g(StandardGate(StandardGate::Cp, PE::constant(0.25)));
  ASSERT_NE(g.standard(), nullptr);
  EXPECT_EQ(g.custom(), nullptr);
  EXPECT_EQ(g.name(), "cp");
  EXPECT_EQ(g.num_qubits(), 2u);
  ASSERT_EQ(g.parameters().size(), 1u);
  EXPECT_EQ(describe(g.parameters()[0]), "0.25");
}

TEST(GateTest, custom_gate_reports_its_record) {
  std::vector<PE> params;
  params.push_back(PE::symbol("a"));
  params.push_back(PE::neg(PE::pi()));
  Gate g(CustomGate{"foo", 2, std::move(params)});
  EXPECT_EQ(g.standard(), nullptr);
  ASSERT_NE(g.custom(), nullptr);
  EXPECT_EQ(g.name(), "foo");
  EXPECT_EQ(g.num_qubits(), 2u);
  ASSERT_EQ(g.parameters().size(), 2u);
  EXPECT_EQ(describe(g.parameters()[1]), "-(pi)");

  Gate copy = g.clone();
  EXPECT_NE(copy.custom(), g.custom());
  EXPECT_EQ(copy.name(), "foo");
  EXPECT_EQ(copy.num_qubits(), 2u);
  EXPECT_EQ(copy.parameters()[0], g.parameters()[0]);
  EXPECT_EQ(copy.parameters()[1], g.parameters()[1]);
}

TEST(GateTest, default_gate_is_id) {
  Gate g;
  EXPECT_EQ(g.name(), "id");
}

}  // namespace
}  // namespace qelto::ir
