#include "compile/basis_gates.hpp"

#include <gtest/gtest.h>

namespace qelto::compile {
namespace {

using Names = std::vector<std::string>;

TEST(BasisGatesTest, presets_list_their_names_in_order) {
  EXPECT_EQ(BasisGates::ibm().gates(),
            (Names{"rz", "sx", "x", "cx", "measure", "barrier", "id"}));
  EXPECT_EQ(BasisGates::iqm().gates(),
            (Names{"prx", "cz", "measure", "barrier"}));
  EXPECT_EQ(
      BasisGates::universal().gates(),
      (Names{"id",    "x",   "y",     "z",    "h",       "s",     "sdg",
             "t",     "tdg", "sx",    "sxdg", "rx",      "ry",    "rz",
             "p",     "u",   "cx",    "cy",   "cz",      "ch",    "swap",
             "iswap", "crx", "cry",   "crz",  "cp",      "rxx",   "ryy",
             "rzz",   "ccx", "cswap", "prx",  "cu",      "csx",   "rccx",
             "rc3x",  "c3sqrtx", "c3x", "c4x", "cs",    "csdg",  "ccz",
             "rzx",   "ecr", "dcx",   "measure", "reset", "barrier"}));
}

TEST(BasisGatesTest, contains_compares_exact_bytes) {
  const std::string nul("a\0b", 3);
  const struct {
    BasisGates basis;
    std::string gate;
    bool expected;
  } cases[] = {
      {BasisGates::ibm(), "cx", true},        {BasisGates::ibm(), "CX", false},
      {BasisGates::ibm(), " cx", false},      {BasisGates::ibm(), "c", false},
      {BasisGates::iqm(), "cx", false},       {BasisGates({}), "", false},
      {BasisGates({"h", "h", ""}), "", true}, {BasisGates({nul}), "a", false},
      {BasisGates({nul}), nul, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.basis.contains(c.gate), c.expected) << "'" << c.gate << "'";
  }
}

}  // namespace
}  // namespace qelto::compile
