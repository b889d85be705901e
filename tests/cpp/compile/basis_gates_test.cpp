#include "compile/basis_gates.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
             "rzz",   "ccx", "cswap", "prx",  "measure", "reset", "barrier"}));
}

struct ContainsCase {
  const char* name;
  BasisGates basis;
  std::string gate;
  bool expected;
};

TEST(BasisGatesTest, contains_compares_exact_bytes) {
  const ContainsCase cases[] = {
      {"ibm has cx", BasisGates::ibm(), "cx", true},
      {"case-sensitive", BasisGates::ibm(), "CX", false},
      {"no trimming", BasisGates::ibm(), " cx", false},
      {"no prefix match", BasisGates::ibm(), "c", false},
      {"iqm has prx", BasisGates::iqm(), "prx", true},
      {"iqm lacks cx", BasisGates::iqm(), "cx", false},
      {"universal has sxdg", BasisGates::universal(), "sxdg", true},
      {"universal has reset", BasisGates::universal(), "reset", true},
      {"universal lacks delay", BasisGates::universal(), "delay", false},
      {"empty list", BasisGates({}), "", false},
      {"empty name", BasisGates({"h", ""}), "", true},
      {"embedded NUL", BasisGates({std::string("a\0b", 3)}), "a", false},
      {"embedded NUL exact", BasisGates({std::string("a\0b", 3)}),
       std::string("a\0b", 3), true},
      {"non-ASCII", BasisGates({"\xc3\xa9t\xc3\xa9"}), "\xc3\xa9t\xc3\xa9",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.basis.contains(c.gate), c.expected);
  }
}

TEST(BasisGatesTest, keeps_duplicates_and_order) {
  EXPECT_EQ(BasisGates({"h", "h"}).gates(), (Names{"h", "h"}));
  EXPECT_EQ(BasisGates({"z", "", "a"}).gates(), (Names{"z", "", "a"}));
  EXPECT_TRUE(BasisGates({}).gates().empty());
}

}  // namespace
}  // namespace qelto::compile
