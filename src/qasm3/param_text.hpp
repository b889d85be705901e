#pragma once

#include <string>

#include "ir/parameter.hpp"

namespace qelto::qasm3 {

// OpenQASM text of a gate parameter. Constants within 1e-10 of pi, pi/2,
// pi/4, -pi/2 or -pi/4 (checked in that order) print as "pi", "pi/2", ...;
// other constants in fixed notation with six decimals, correctly rounded
// with ties to even ("0.007812" for 0.0078125), keeping the sign of negative
// zero; "NaN", "inf", "-inf" for the special values. Compound expressions
// are fully parenthesised: "-(a)", "(a + b)", "(a - b)", "(a * b)",
// "(a / b)"; a named angle written with a slash as the right operand of
// `*` or `/` is parenthesised too ("(a / (pi/2))"), so that the text reads
// back as the same expression. Works without recursion, so any nesting depth
// is safe.
[[nodiscard]] std::string emit_param(const ir::ParameterExpression& expression);

// Appends the text of `expression` to `out`.
void append_param(std::string& out, const ir::ParameterExpression& expression);

// Appends the text of one constant to `out`.
void append_constant(std::string& out, double value);

}  // namespace qelto::qasm3
