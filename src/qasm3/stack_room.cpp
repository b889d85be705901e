#include "qasm3/stack_room.hpp"

#include <pthread.h>

#include <cstdint>
#include <string>

#include "qasm3/parser.hpp"

namespace qelto::qasm3 {
namespace {

// The lowest and highest address of the calling thread's stack, looked up
// once per thread (for the main thread the lookup reads the process's
// memory map, too slow to repeat on every read). Both zero when unknown.
struct StackBounds {
  std::uintptr_t low = 0;
  std::uintptr_t high = 0;
};

StackBounds find_stack_bounds() noexcept {
  StackBounds bounds;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) {
    return bounds;
  }
  void* address = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attributes, &address, &size) == 0) {
    bounds.low = reinterpret_cast<std::uintptr_t>(address);
    bounds.high = bounds.low + size;
  }
  pthread_attr_destroy(&attributes);
  return bounds;
}

}  // namespace

bool stack_room_left() noexcept {
  thread_local const StackBounds bounds = find_stack_bounds();
  // The address of a local stands for the current frame; the stack grows
  // downwards on every platform the reader is built for.
  const auto current =
      reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
  if (current <= bounds.low || current > bounds.high) {
    return true;
  }
  return current - bounds.low >= kStackReserve;
}

ParseError nesting_too_deep() {
  return Other{"Nesting deeper than " + std::to_string(kMaxNestingDepth) +
               " levels is not supported"};
}

}  // namespace qelto::qasm3
