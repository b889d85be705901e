#include "ir/gate_catalogue.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "describe.hpp"
#include "ir/circuit.hpp"

namespace qelto::ir {
namespace {

using PE = ParameterExpression;
using Kind = StandardGate::Kind;
using testing::describe;

std::string lower(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

std::vector<PE> symbols(std::size_t n) {
  std::vector<PE> out;
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(PE::symbol("p" + std::to_string(i)));
  }
  return out;
}

// "name(args) operand positions; ..." of a gate's parsed inverse, with its
// parameters as p0, p1, ...
std::string inverse_text(Kind kind) {
  const std::vector<PE> params = symbols(gate_info(kind).num_params);
  std::string out;
  for (const GateStep& step : inverse_steps(kind)) {
    const GateInfo& gate = gate_info(step.kind);
    out += std::string(gate.name);
    for (std::size_t i = 0; i < gate.num_params; ++i) {
      out += (i == 0 ? "(" : ",") + describe(step.args[i].make(params));
    }
    out += gate.num_params > 0 ? ")" : "";
    for (std::size_t i = 0; i < gate.num_qubits; ++i) {
      out += " " + std::to_string(step.operands[i]);
    }
    out += ";";
  }
  return out;
}

// The names and counts themselves are checked against a hand-written list
// in gate_test.cpp.
TEST(GateCatalogueTest, rows_name_their_operands_and_say_how_to_write_them) {
  for (const GateInfo& gate : kGateInfos) {
    SCOPED_TRACE(gate.name);
    EXPECT_EQ(&gate_info(gate.kind), &gate);
    // Names are given for exactly the counted parameters and qubits.
    for (std::size_t k = 0; k < StandardGate::kMaxParams; ++k) {
      EXPECT_EQ(gate.param_names[k].empty(), k >= gate.num_params);
    }
    for (std::size_t k = 0; k < StandardGate::kMaxQubits; ++k) {
      EXPECT_EQ(gate.qubit_names[k].empty(), k >= gate.num_qubits);
    }
    // A portable definition exactly for the gates stdgates.inc lacks.
    EXPECT_EQ(gate.definition.empty(), gate.in_stdgates);
  }
}

TEST(GateCatalogueTest, names_and_aliases_are_unique_in_any_case) {
  std::set<std::string> seen;
  for (const GateInfo& gate : kGateInfos) {
    EXPECT_TRUE(seen.insert(lower(gate.name)).second) << gate.name;
    EXPECT_EQ(gate.name, lower(gate.name));
  }
  for (const GateAlias& alias : kGateAliases.aliases) {
    EXPECT_TRUE(seen.insert(lower(alias.name)).second) << alias.name;
    EXPECT_EQ(StandardGate::from_name(alias.name), std::nullopt);
  }
}

TEST(GateCatalogueTest, aliases_map_their_parameters_onto_the_target) {
  struct Row {
    std::string_view alias;
    Kind target;
    std::string params;  // the target's parameters, from p0, p1, ...
  };
  const Row rows[] = {
      {"i", Kind::Id, ""},          {"u0", Kind::Id, ""},
      {"u1", Kind::P, "p0"},        {"phase", Kind::P, "p0"},
      {"u2", Kind::U, "(pi/2),p0,p1"},
      {"u3", Kind::U, "p0,p1,p2"},  {"r", Kind::Prx, "p0,p1"},
      {"cnot", Kind::Cx, ""},       {"cu1", Kind::Cp, "p0"},
      {"cphase", Kind::Cp, "p0"},   {"cu3", Kind::Cu, "p0,p1,p2,0"},
      {"toffoli", Kind::Ccx, ""},   {"fredkin", Kind::CSwap, ""},
      {"c3sx", Kind::C3sqrtx, ""},
  };
  ASSERT_EQ(std::size(rows), kGateAliases.aliases.size());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.alias);
    const GateAlias* alias = nullptr;
    for (const GateAlias& a : kGateAliases.aliases) {
      alias = a.name == row.alias ? &a : alias;
    }
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(alias->target, row.target);
    const std::vector<PE> given = symbols(alias->num_params);
    std::string mapped;
    for (std::size_t i = 0; i < gate_info(row.target).num_params; ++i) {
      mapped += (i == 0 ? "" : ",") +
                describe(alias->maps_params ? alias->params[i].make(given)
                                            : given[i].clone());
    }
    EXPECT_EQ(mapped, row.params);
  }
}

TEST(GateCatalogueTest, inverses_read_into_catalogue_steps) {
  const std::pair<Kind, std::string> rows[] = {
      {Kind::S, "sdg 0;"},
      {Kind::Sx, "sxdg 0;"},
      {Kind::Rx, "rx(-(p0)) 0;"},
      {Kind::U, "u(-(p0),-(p2),-(p1)) 0;"},
      {Kind::Prx, "prx(-(p0),p1) 0;"},
      {Kind::ISwap, "rxx((pi/2)) 0 1;ryy((pi/2)) 0 1;"},
      {Kind::Cu, "cu(-(p0),-(p2),-(p1),-(p3)) 0 1;"},
      {Kind::Csx, "h 1;cp(-((pi/2))) 0 1;h 1;"},
      {Kind::Dcx, "dcx 1 0;"},
      {Kind::C4x, "c4x 0 1 2 3 4;"},
  };
  for (const auto& [kind, expected] : rows) {
    EXPECT_EQ(inverse_text(kind), expected) << StandardGate::name(kind);
  }
}

TEST(GateCatalogueTest, every_inverse_step_has_distinct_operands_in_range) {
  for (const GateInfo& gate : kGateInfos) {
    SCOPED_TRACE(gate.name);
    EXPECT_FALSE(inverse_steps(gate.kind).empty());
    for (const GateStep& step : inverse_steps(gate.kind)) {
      const std::uint32_t n = StandardGate::num_qubits(step.kind);
      std::set<std::uint8_t> operands(step.operands.begin(),
                                      step.operands.begin() + n);
      EXPECT_EQ(operands.size(), n);
      EXPECT_LT(*operands.rbegin(), gate.num_qubits);
    }
  }
}

TEST(GateCatalogueTest, negated_constants_fold_and_pi_stays_symbolic) {
  const std::vector<PE> params = symbols(1);
  GateArgument minus_two{GateArgument::Source::Integer, true, 2};
  EXPECT_EQ(describe(minus_two.make(params)), "-2");
  GateArgument pi{GateArgument::Source::PiOver, false, 1};
  EXPECT_EQ(describe(pi.make(params)), "pi");
  GateArgument minus_param{GateArgument::Source::Param, true, 0};
  EXPECT_EQ(describe(minus_param.make(params)), "-(p0)");
}

// Calls the builder `Method` with p0, p1, ... and qubits 0, 1, ...
template <auto Method, std::size_t Angles, std::size_t Qubits>
BuildResult call_builder(Circuit& c) {
  return [&]<std::size_t... A, std::size_t... Q>(std::index_sequence<A...>,
                                                 std::index_sequence<Q...>) {
    return (c.*Method)(PE::symbol("p" + std::to_string(A))...,
                       QubitId{static_cast<std::uint32_t>(Q)}...);
  }(std::make_index_sequence<Angles>{}, std::make_index_sequence<Qubits>{});
}

TEST(GateCatalogueTest, every_builder_applies_its_gate_in_table_order) {
  struct Row {
    Kind kind;
    BuildResult (*build)(Circuit&);
  };
  const Row rows[] = {
#define QELTO_GATE(Enum, name, params, qubits, ...)                      \
  {Kind::Enum, &call_builder<&Circuit::name, QELTO_PP_LIST_COUNT(params), \
                             QELTO_PP_LIST_COUNT(qubits)>},
#include "ir/gates.def"
  };
  for (const Row& row : rows) {
    const GateInfo& gate = gate_info(row.kind);
    SCOPED_TRACE(gate.name);
    Circuit c = Circuit::with_size("c", 5, 0);
    ASSERT_TRUE(row.build(c).has_value());
    std::string expected(gate.name);
    for (std::size_t i = 0; i < gate.num_params; ++i) {
      expected += (i == 0 ? "(p" : ",p") + std::to_string(i);
    }
    expected += gate.num_params > 0 ? ")" : "";
    for (std::size_t i = 0; i < gate.num_qubits; ++i) {
      expected += " q" + std::to_string(i);
    }
    const auto ops = c.dag().topological_ops();
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(describe(*ops[0].instruction), expected);
  }
}

}  // namespace
}  // namespace qelto::ir
