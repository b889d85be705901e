// Limits on what a program may make the reader build: each is refused at
// the statement that passes it, with the limit named, before the memory is
// spent; lifting a limit restores the reading it refused.
#include <gtest/gtest.h>

#include <string>

#include "qasm3/read.hpp"

namespace qelto::qasm3 {
namespace {

struct LimitCase {
  const char* name;
  std::string source;
  ReadLimits limits;
  // The limit the error names.
  const char* limit;
  std::size_t line;
  std::size_t column;
};

std::string case_label(const testing::TestParamInfo<LimitCase>& info) {
  return info.param.name;
}

ReadLimits qubits(std::uint64_t n) { return {n, {}, {}}; }
ReadLimits clbits(std::uint64_t n) { return {{}, n, {}}; }
ReadLimits operations(std::uint64_t n) { return {{}, {}, n}; }

class Passing : public testing::TestWithParam<LimitCase> {};

TEST_P(Passing, fails_at_the_statement_naming_the_limit) {
  const LimitCase& c = GetParam();
  auto read_back = read(c.source, c.limits);
  ASSERT_FALSE(read_back.has_value());
  const std::string message = to_string(read_back.error().error);
  EXPECT_NE(message.find(c.limit), std::string::npos) << message;
  EXPECT_EQ(read_back.error().line, c.line) << message;
  EXPECT_EQ(read_back.error().column, c.column) << message;
}

TEST_P(Passing, reads_once_the_limit_is_lifted) {
  const LimitCase& c = GetParam();
  EXPECT_TRUE(read(c.source, ReadLimits{{}, {}, {}}).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Limits, Passing,
    testing::Values(
        LimitCase{"qubits_over_two_registers",
                  "qubit[3] a;\nqubit[2] b;", qubits(4), "max_qubits", 2, 1},
        LimitCase{"clbits_of_one_register", "qubit q;\n  bit[9] c;",
                  clbits(8), "max_clbits", 2, 3},
        LimitCase{"operations_of_a_broadcast",
                  "qubit[8] q;\nh q[0];\nh q;", operations(8),
                  "max_operations", 3, 1},
        LimitCase{"operations_of_measurements",
                  "qubit[4] q; bit[4] c;\nc = measure q;", operations(3),
                  "max_operations", 2, 1},
        LimitCase{"operations_of_resets", "qubit[4] q;\nreset q;",
                  operations(3), "max_operations", 2, 1},
        LimitCase{"operations_of_a_wide_barrier",
                  "qubit[4] q;\nbarrier q;", operations(3),
                  "max_operations", 2, 1},
        LimitCase{"operations_of_a_barrier_on_everything",
                  "qubit[4] q;\nbarrier;", operations(3), "max_operations",
                  2, 1},
        // Each call counts once, and its two gates.
        LimitCase{"operations_of_a_definition_expansion",
                  "gate g a { h a; x a; } qubit[2] q;\ng q;", operations(5),
                  "max_operations", 2, 1},
        // Three symbolic angles of five nodes each count 3 * (1 + 5).
        LimitCase{"operations_of_a_symbolic_angle_broadcast",
                  "qubit[3] q;\nrx(a * b + c) q;", operations(17),
                  "max_operations", 2, 1},
        // A barrier naming no qubit fences the definition's three.
        LimitCase{"operations_of_a_barrier_on_a_whole_definition",
                  "gate g a, b, c { barrier; } qubit[3] q;\ng q[0], q[1], q[2];",
                  operations(3), "max_operations", 2, 1},
        // Each expansion copies the body's angle of three nodes:
        // 2 * (1 + 1 + 3).
        LimitCase{"operations_of_a_definition_copying_an_angle",
                  "gate g a { rx(1 + b) a; } qubit[2] q;\ng q;",
                  operations(9), "max_operations", 2, 1},
        // Each level holds a copy of the angle it passes down: 1 + 2 for
        // the outer call, 1 + 2 for the inner, 1 + 2 for the rotation.
        LimitCase{"operations_of_angles_passed_down",
                  "gate inner(t) a { rx(t) a; }\n"
                  "gate outer(t) a { inner(t) a; }\n"
                  "qubit q;\nouter(-b) q;",
                  operations(8), "max_operations", 4, 1},
        // Calls of a definition that makes nothing still count.
        LimitCase{"operations_of_calls_that_make_nothing",
                  "gate e a { } qubit[4] q;\ne q;", operations(3),
                  "max_operations", 2, 1}),
    case_label);

TEST(DefaultLimits, refuse_a_hundred_million_qubits_before_allocating) {
  auto read_back = read("OPENQASM 3.0; qubit[100000000] q;");
  ASSERT_FALSE(read_back.has_value());
  EXPECT_NE(to_string(read_back.error().error).find("max_qubits"),
            std::string::npos);
  EXPECT_EQ(read_back.error().column, 15u);
}

TEST(DefaultLimits, leave_a_million_qubit_program_readable) {
  auto read_back = read("qubit[1000000] q; bit[1000000] c; h q[999999];");
  ASSERT_TRUE(read_back.has_value());
  EXPECT_EQ(read_back->num_qubits(), 1000000u);
}

TEST(Limits, at_exactly_the_limit_read) {
  EXPECT_TRUE(read("qubit[4] q; bit[4] c; c = measure q;",
                   ReadLimits{4, 4, 4})
                  .has_value());
}

}  // namespace
}  // namespace qelto::qasm3
