// The reader's options. Limits on what a program may make the reader
// build: each is refused at the statement that passes it, with the limit
// named, before the memory is spent; lifting a limit restores the reading
// it refused. Keeping the identity: `id` and its aliases read as the
// catalogue's identity operation wherever a gate is called, and are dropped
// by default.
#include <gtest/gtest.h>

#include <string>

#include "circuit_text.hpp"
#include "qasm3/read.hpp"

namespace qelto::qasm3 {
namespace {

struct LimitCase {
  const char* name;
  std::string source;
  ReadOptions limits;
  // The limit the error names.
  const char* limit;
  std::size_t line;
  std::size_t column;
};

std::string case_label(const testing::TestParamInfo<LimitCase>& info) {
  return info.param.name;
}

ReadOptions qubits(std::uint64_t n) { return {n, {}, {}}; }
ReadOptions clbits(std::uint64_t n) { return {{}, n, {}}; }
ReadOptions operations(std::uint64_t n) { return {{}, {}, n}; }

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
  EXPECT_TRUE(read(c.source, ReadOptions{{}, {}, {}}).has_value());
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
                   ReadOptions{4, 4, 4})
                  .has_value());
}

struct IdentityCase {
  const char* name;
  std::string body;
  // The operations read with the identity kept; by default every `id` of
  // them is missing.
  std::string kept;
  std::string dropped;
};

std::string identity_label(const testing::TestParamInfo<IdentityCase>& info) {
  return info.param.name;
}

class Identity : public testing::TestWithParam<IdentityCase> {};

TEST_P(Identity, reads_as_the_catalogue_gate_only_when_kept) {
  const IdentityCase& c = GetParam();
  ReadOptions keep;
  keep.keep_identity = true;
  EXPECT_EQ(testing_support::lowered(c.body, keep), c.kept);
  EXPECT_EQ(testing_support::lowered(c.body), c.dropped);
}

INSTANTIATE_TEST_SUITE_P(
    KeepIdentity, Identity,
    testing::Values(
        IdentityCase{"named_id", "qubit[2] q; id q[1];", "q=2 c=0 | id 1;",
                     "q=2 c=0 |"},
        IdentityCase{"in_any_case", "qubit[2] q; ID q[0]; Id q[1];",
                     "q=2 c=0 | id 0; id 1;", "q=2 c=0 |"},
        IdentityCase{"alias_i_broadcast", "qubit[2] q; i q; x q[0];",
                     "q=2 c=0 | id 0; id 1; x 0;", "q=2 c=0 | x 0;"},
        // u0 takes a duration in OpenQASM 2, which the identity drops.
        IdentityCase{"alias_u0", "qreg q[1]; u0(0.5) q[0];", "q=1 c=0 | id 0;",
                     "q=1 c=0 |"},
        IdentityCase{"in_a_definition", "gate g a { id a; h a; } qubit q; g q;",
                     "q=1 c=0 | id 0; h 0;", "q=1 c=0 | h 0;"}),
    identity_label);

TEST(KeepIdentity, counts_each_identity_against_max_operations) {
  ReadOptions options;
  options.keep_identity = true;
  options.max_operations = 2;
  EXPECT_FALSE(read("qubit[3] q; id q;", options).has_value());
  options.keep_identity = false;
  EXPECT_TRUE(read("qubit[3] q; id q;", options).has_value());
}

}  // namespace
}  // namespace qelto::qasm3
