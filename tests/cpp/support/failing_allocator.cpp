#include "failing_allocator.hpp"

#include <cstdlib>
#include <limits>
#include <new>

namespace {

// Allocations still allowed before every one fails; negative when unlimited.
thread_local std::int64_t allocations_left = -1;
// Allocations larger than this fail.
thread_local std::size_t largest_allowed =
    std::numeric_limits<std::size_t>::max();

void* allocate(std::size_t size) {
  if (allocations_left == 0 || size > largest_allowed) {
    throw std::bad_alloc();
  }
  if (allocations_left > 0) {
    --allocations_left;
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}

}  // namespace

namespace qelto::testing_support {

void fail_after(std::int64_t allocations) { allocations_left = allocations; }
void fail_above(std::size_t bytes) { largest_allowed = bytes; }
void allow_all() {
  allocations_left = -1;
  largest_allowed = std::numeric_limits<std::size_t>::max();
}

}  // namespace qelto::testing_support

// These replacements pair malloc with free; GCC cannot see that and, once it
// inlines them, reports each delete as a mismatch.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
// The nothrow forms (std::stable_sort's temporary buffer uses them) come from
// the same allocator, so their deletes above free what malloc gave.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
