#pragma once

#include <cstddef>
#include <cstdint>

// Every C++ test program links a replacement of the global operator new that
// a test can tell to fail, to check that running out of memory surfaces as
// std::bad_alloc and leaves values as they were.
namespace qelto::testing_support {

// The next `allocations` allocations succeed, every later one throws.
void fail_after(std::int64_t allocations);
// Allocations larger than `bytes` throw.
void fail_above(std::size_t bytes);
// Every allocation succeeds again (the state a test program starts in).
void allow_all();

}  // namespace qelto::testing_support
