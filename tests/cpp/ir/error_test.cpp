#include "ir/error.hpp"

#include <gtest/gtest.h>

namespace qelto::ir {
namespace {

struct DisplayCase {
  IrError error;
  const char* text;
};

TEST(IrErrorTest, displays_fixed_texts) {
  const DisplayCase cases[] = {
      {QubitNotFound{QubitId{7}, std::nullopt},
       "Qubit QubitId(7) not found in circuit"},
      {QubitNotFound{QubitId{5}, "h"},
       "Qubit QubitId(5) not found in circuit (gate: h)"},
      {ClbitNotFound{ClbitId{2}, std::nullopt},
       "Classical bit ClbitId(2) not found in circuit"},
      {ClbitNotFound{ClbitId{2}, "x"},
       "Classical bit ClbitId(2) not found in circuit (gate: x)"},
      {InvalidDag{"cycle"}, "Invalid DAG structure: cycle"},
      {InvalidNodeIndex{}, "Invalid node index"},
      {QubitCountMismatch{"foo", 2, 3}, "Gate 'foo' requires 2 qubits, got 3"},
      {UnboundParameter{"theta"}, "Parameter 'theta' is unbound"},
      {ParameterizedCircuit{},
       "Cannot perform operation on parameterized circuit"},
      {DuplicateQubit{QubitId{0}, "swap"},
       "Duplicate qubit QubitId(0) in operation (gate: swap)"},
      {DuplicateQubit{QubitId{4294967295u}, std::nullopt},
       "Duplicate qubit QubitId(4294967295) in operation"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(to_string(c.error), c.text);
  }
}

TEST(IrErrorTest, variant_order_is_fixed) {
  EXPECT_EQ(IrError(QubitNotFound{}).index(), 0u);
  EXPECT_EQ(IrError(DuplicateQubit{}).index(), 7u);
}

}  // namespace
}  // namespace qelto::ir
