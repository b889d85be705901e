#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "compile/basis_gates.hpp"
#include "compile/flat_circuit.hpp"
#include "ir/gate.hpp"

namespace qelto::compile {

// A one-qubit gate up to global phase, as the unit quaternion (w, x, y, z)
// of the matrix w·I − i(x·X + y·Y + z·Z). A phase on one qubit is a phase of
// the whole circuit, so one-qubit runs can be merged and re-expressed in
// this form without tracking it. q and −q are the same gate.
struct Rotation {
  double w = 1;
  double x = 0;
  double y = 0;
  double z = 0;
};

// The gate `a` applied after `b` (the matrix product a·b).
[[nodiscard]] Rotation operator*(const Rotation& a, const Rotation& b);

// The rotation of a one-qubit catalogue gate with its parameters, or nullopt
// for a gate on more qubits.
[[nodiscard]] std::optional<Rotation> rotation_of(ir::StandardGate::Kind kind,
                                                  const double* params);

// Whether the rotation is the identity up to phase within rounding
// (a rotation angle below 1e-9).
[[nodiscard]] bool is_identity(const Rotation& r);

// How far the rotation is from the identity, up to phase: the least
// operator-norm distance |R - e^(i phi) I| over phases, sqrt(2 - 2 |w|)
// for a unit rotation.
[[nodiscard]] double distance_from_identity(const Rotation& r);

// The angles of r = Rz(a) · Ry(theta) · Rz(b), theta in [0, pi].
struct ZyzAngles {
  double a = 0;
  double theta = 0;
  double b = 0;
};
[[nodiscard]] ZyzAngles zyz_angles(const Rotation& r);

// How one-qubit gates are written in a basis, from the basis's own gates.
// Families in order of preference (fewest gates per rotation): u; prx
// (two at most); a z rotation with ry, or with rx (three at most); a z
// rotation with sx (five at most, three for a quarter turn); a z rotation
// with h (five at most). The z rotation is rz, or p where the basis has no
// rz (they differ by a phase only).
struct OneQubitBasis {
  enum class Family : std::uint8_t { U, Prx, Zyz, Zxz, Zsx, Zh };
  Family family = Family::U;
  ir::StandardGate::Kind z_gate = ir::StandardGate::Rz;
  // Whether x is available for half turns in the Zsx family.
  bool has_x = false;
};
[[nodiscard]] std::optional<OneQubitBasis> one_qubit_basis(
    const BasisGates& basis);

// Appends the fewest gates of `basis` that make `r` on `qubit` (none for the
// identity), in the order they act.
void synthesize(const Rotation& r, const OneQubitBasis& basis,
                std::uint32_t qubit, std::vector<FlatOp>& out);

}  // namespace qelto::compile
