// tokenize reserves room for as many tokens as the text has bytes, which
// costs address space only. Where even that cannot be had it must still
// list every token. Allocations above a size limit are made to fail by
// replacing the global operator new of this test program.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "qasm3/lexer.hpp"

namespace {
// Allocations larger than this fail.
std::size_t largest_allowed = std::numeric_limits<std::size_t>::max();
}  // namespace

// These replacements pair malloc with free; GCC cannot see that and, once it
// inlines them, reports each delete as a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
  if (size > largest_allowed) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace qelto::qasm3 {
namespace {

TEST(TokenizeMemory, lists_every_token_when_the_length_bound_is_refused) {
  const std::string source =
      "OPENQASM 3.0; qubit[2] q; // two\nh q[0]; cx q[0], q[1]; # x = 1.5;";
  const LexResult expected = tokenize(source);
  largest_allowed = expected.tokens.size() * sizeof(LexedToken);
  const LexResult limited = tokenize(source);
  largest_allowed = std::numeric_limits<std::size_t>::max();
  EXPECT_EQ(limited.tokens, expected.tokens);
  EXPECT_EQ(limited.failures, expected.failures);
}

}  // namespace
}  // namespace qelto::qasm3
