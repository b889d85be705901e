// tokenize reserves room for as many tokens as the text has bytes, which
// costs address space only. Where even that cannot be had it must still
// list every token. Allocations above a size limit are made to fail through
// the test program's replaced global operator new.
#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>

#include "qasm3/lexer.hpp"
#include "support/failing_allocator.hpp"

namespace qelto::qasm3 {
namespace {

TEST(TokenizeMemory, lists_every_token_when_the_length_bound_is_refused) {
  const std::string source =
      "OPENQASM 3.0; qubit[2] q; // two\nh q[0]; cx q[0], q[1]; # x = 1.5;";
  const LexResult expected = tokenize(source);
  testing_support::fail_above(expected.tokens.size() * sizeof(LexedToken));
  const LexResult limited = tokenize(source);
  testing_support::allow_all();
  EXPECT_EQ(limited.tokens, expected.tokens);
  EXPECT_EQ(limited.failures, expected.failures);
}

}  // namespace
}  // namespace qelto::qasm3
