#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "compile/rotation.hpp"
#include "compile/two_qubit_unitary.hpp"

namespace qelto::compile {

// One gate of a synthesised two-qubit operator, on the pair's qubits 0
// and 1 (see Matrix4).
struct TwoQubitStep {
  enum class Kind : std::uint8_t { OneQubit, Cx };
  Kind kind = Kind::OneQubit;
  // OneQubit: the qubit it turns. Cx: the control (the other is the
  // target).
  std::uint8_t qubit = 0;
  Rotation rotation;
};

// Writes `u` with the fewest cx gates any circuit of cx and one-qubit gates
// needs for it (0 to 3), from its canonical decomposition
//   u = (A1 x B1) exp(i (a XX + b YY + c ZZ)) (A2 x B2)
// up to global phase: the coordinates (a, b, c), taken modulo pi/2, say how
// many (0 for all zero, 1 for a single one at pi/4, 2 when one is zero, 3
// otherwise). A coordinate within 1e-10 of such a value counts as it, so
// the result matches `u` entry by entry within 1e-9 (checked before
// returning). Appends the steps in the order they act and returns the
// number of cx, or nullopt, appending nothing, when `u` is not unitary or
// the check fails.
//
// With a `tolerance` above zero, coordinates within tolerance / 2 of such
// a value count as it first, and that cheaper circuit is kept when its
// matrix is within `tolerance` of `u` in Frobenius norm up to global phase
// (which bounds the operator-norm distance); else `u` is written as
// without a tolerance.
[[nodiscard]] std::optional<int> synthesize_two_qubit(
    const Matrix4& u, std::vector<TwoQubitStep>& out, double tolerance = 0);

// Whether synthesize_two_qubit, with the same tolerance, might write `u`
// with fewer than `cx` cx (1 to 3): false only when the invariants of `u`
// (the trace of its magic-basis square) clearly rule that out. Costs a
// fraction of the synthesis, so that runs that cannot shrink are passed
// over cheaply.
[[nodiscard]] bool may_need_fewer_cx(const Matrix4& u, int cx,
                                     double tolerance = 0);

}  // namespace qelto::compile
