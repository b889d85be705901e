#pragma once

#include <array>
#include <complex>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "compile/flat_circuit.hpp"
#include "compile/rotation.hpp"

namespace qelto::compile {

// A two-qubit operator as a 4x4 matrix, row-major. The basis state with
// index b0 + 2 b1 has b0 on the pair's first qubit and b1 on its second.
struct Matrix4 {
  std::array<std::complex<double>, 16> m{};

  [[nodiscard]] static Matrix4 identity();
  [[nodiscard]] std::complex<double>& operator()(int row, int col) {
    return m[static_cast<std::size_t>(4 * row + col)];
  }
  [[nodiscard]] const std::complex<double>& operator()(int row,
                                                       int col) const {
    return m[static_cast<std::size_t>(4 * row + col)];
  }
};

[[nodiscard]] Matrix4 operator*(const Matrix4& a, const Matrix4& b);
[[nodiscard]] Matrix4 adjoint(const Matrix4& a);
[[nodiscard]] Matrix4 transpose(const Matrix4& a);
[[nodiscard]] std::complex<double> determinant(const Matrix4& a);

// `u` followed by the rotation on the pair's qubit `k` (0 or 1).
void then_one_qubit(Matrix4& u, const Rotation& r, int k);
// `u` followed by cx from the pair's qubit `control` to the other.
void then_cx(Matrix4& u, int control);

// The largest entry-wise distance between `a` and `b` once `b` is turned
// by the global phase that brings it closest to `a`.
[[nodiscard]] double distance_up_to_phase(const Matrix4& a, const Matrix4& b);

// The matrix of standard gates (one- and two-qubit, in the order they act)
// that all act on one pair of qubits, `first` being the pair's first;
// nullopt for a gate without an expression in cx and one-qubit gates.
// `scratch` is working space.
[[nodiscard]] std::optional<Matrix4> unitary_of(std::span<const FlatOp> ops,
                                                std::uint32_t first,
                                                std::vector<FlatOp>& scratch);

}  // namespace qelto::compile
