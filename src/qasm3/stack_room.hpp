#pragma once

#include <cstddef>

#include "qasm3/error.hpp"

namespace qelto::qasm3 {

// How the reader stays within the stack of whatever thread calls it.
//
// Expressions, which nest deepest and which the writer may nest deeper than
// the text it read, are parsed and walked with explicit stacks. Statement
// bodies (if, else, for, gate bodies) still recurse in the parser and in
// printing, at a few frames per level, up to the nesting bound of 256
// levels set for the 8 MiB of a main thread; no body the reader lowers
// nests (a gate body holds only gate calls and barriers), so rewriting them
// with explicit stacks would buy nothing but texts that are refused anyway.
// Instead each recursive step first asks whether the calling thread's
// stack still has kStackReserve bytes below the current frame and, when it
// does not, fails with the same error as nesting past the bound. On a
// thread of 64 KiB that means deeply nested bodies are refused sooner; it
// never means a crash.

// Bytes that must remain below a frame before the reader descends further:
// enough for one more level of any recursive step and the library calls it
// makes (number formatting, building a parameter, growing an array), with
// room to spare in an unoptimised or sanitized build.
inline constexpr std::size_t kStackReserve = 24 * 1024;

// False when fewer than kStackReserve bytes of the calling thread's stack
// remain below the caller. True when the bounds of the stack cannot be
// known (then the nesting bound alone applies), including when the caller
// runs on a stack other than its thread's own.
[[nodiscard]] bool stack_room_left() noexcept;

// The error for a program nested deeper than the reader goes, whether by
// the nesting bound or by the stack.
[[nodiscard]] ParseError nesting_too_deep();

}  // namespace qelto::qasm3
