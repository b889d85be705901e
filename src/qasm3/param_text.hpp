#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ir/parameter.hpp"

namespace qelto::qasm3 {

// How the numbers of a parameter are written. Both read back as exactly the
// value written.
enum class NumberStyle : std::uint8_t {
  // The writer's long-standing form: a constant equal to pi, pi/2, pi/4,
  // -pi/2 or -pi/4 (the exact doubles those texts denote, nothing near
  // them) prints as that text; a constant whose six-decimal text reads back
  // as exactly the same double keeps it ("0.500000", "-0.000000" for
  // negative zero); any other finite constant prints in its shortest exact
  // text ("1e-07", "0.3333333333333333", "3.141592653689793"); "NaN",
  // "inf", "-inf" for the special values. A negation prints as "-(a)".
  Fixed,
  // Every constant in its shortest exact text ("0.5", "2", "1e-07"), and
  // the negation of a constant with a clear sign bit as that constant with
  // a minus ("-0.5"), which the reader takes back as the same negation, so
  // written, read and written again the text stays the same. Non-finite
  // constants have no text here (see `has_finite_constants`).
  Shortest,
};

// OpenQASM text of a gate parameter in `style`. Symbols print by name and
// pi as "pi". Compound expressions are fully parenthesised: "-(a)",
// "(a + b)", "(a - b)", "(a * b)", "(a / b)"; a named angle written with a
// slash as the right operand of `*` or `/` is parenthesised too
// ("(a / (pi/2))"), so that the text reads back as the same expression.
// Works without recursion, so any nesting depth is safe.
[[nodiscard]] std::string emit_param(const ir::ParameterExpression& expression,
                                     NumberStyle style = NumberStyle::Fixed);

// Appends the text of `expression` to `out`.
void append_param(std::string& out, const ir::ParameterExpression& expression,
                  NumberStyle style = NumberStyle::Fixed);

// Appends the text of one constant to `out`.
void append_constant(std::string& out, double value,
                     NumberStyle style = NumberStyle::Fixed);

// The longest text of one constant (see kMaxNumberText).
inline constexpr std::size_t kMaxConstantText = 317;

// The text of one constant written at `out`, which has room for
// kMaxConstantText characters; returns the end of the text.
char* write_constant(char* out, double value,
                     NumberStyle style = NumberStyle::Fixed);

// Whether every constant of `expression` is finite, so that the Shortest
// style can write it. Iterative.
[[nodiscard]] bool has_finite_constants(
    const ir::ParameterExpression& expression);

}  // namespace qelto::qasm3
